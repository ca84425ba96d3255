// One move-only owner for the system handles the host opens (files, events,
// processes, sockets, address lists), so that every exit path closes what
// it took. The handle's type, its "none" value and its close function are
// template parameters; the aliases below are the kinds the host uses.
// (SAFEARRAY locks and BSTRs have the frame's owners: frame/ComPtr.h.)
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <type_traits>
#include <utility>

namespace tarnwick::host {

// Invalid is an integer because INVALID_HANDLE_VALUE, a cast, cannot be a
// template argument of a pointer type.
template <class T, std::intptr_t Invalid, void (*Close)(T)>
class Owned {
public:
    Owned() = default;
    explicit Owned(T value) : value_(value) {}
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    Owned(Owned&& other) noexcept : value_(other.release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    static T none() {
        if constexpr (std::is_pointer_v<T>)
            return reinterpret_cast<T>(Invalid);
        else
            return static_cast<T>(Invalid);
    }
    T get() const { return value_; }
    explicit operator bool() const { return value_ != none(); }
    // Closes the handle held (if any) and takes value.
    void reset(T value = none()) {
        const T old = std::exchange(value_, value);
        if (old != none()) Close(old);
    }
    // Gives the handle up without closing it.
    T release() { return std::exchange(value_, none()); }
    // For a function that writes a new handle through a pointer.
    T* put() {
        reset();
        return &value_;
    }

private:
    T value_ = none();
};

namespace owned {
inline void CloseKernelHandle(HANDLE h) { CloseHandle(h); }
inline void CloseSocket(SOCKET s) { closesocket(s); }
inline void FreeAddressList(addrinfo* list) { freeaddrinfo(list); }
inline void FreeLocal(HLOCAL memory) { LocalFree(memory); }
}  // namespace owned

// Events, processes, threads, jobs, the Server API's queue: null when none.
using OwnedHandle = Owned<HANDLE, 0, owned::CloseKernelHandle>;
// Files and snapshots: INVALID_HANDLE_VALUE when none.
using OwnedFile = Owned<HANDLE, -1, owned::CloseKernelHandle>;
using OwnedSocket = Owned<SOCKET, static_cast<std::intptr_t>(INVALID_SOCKET), owned::CloseSocket>;
using OwnedAddrInfo = Owned<addrinfo*, 0, owned::FreeAddressList>;
// Memory the system allocated for the caller (FormatMessage).
using OwnedLocal = Owned<HLOCAL, 0, owned::FreeLocal>;

}  // namespace tarnwick::host
