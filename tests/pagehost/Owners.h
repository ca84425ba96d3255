// Move-only owners for the handles the test host touches, so every exit path
// releases what it took.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <utility>

namespace pagehost {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}  // adopts one reference
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            p_ = std::exchange(other.p_, nullptr);
        }
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** Put() {
        Reset();
        return &p_;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (p_) std::exchange(p_, nullptr)->Release();
    }

private:
    T* p_ = nullptr;
};

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(BSTR s) : s_(s) {}
    ~Bstr() { SysFreeString(s_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : s_(std::exchange(other.s_, nullptr)) {}
    Bstr& operator=(Bstr&& other) noexcept {
        if (this != &other) {
            SysFreeString(s_);
            s_ = std::exchange(other.s_, nullptr);
        }
        return *this;
    }
    BSTR Get() const { return s_; }
    BSTR Detach() { return std::exchange(s_, nullptr); }

private:
    BSTR s_ = nullptr;
};

class VariantOwner {
public:
    VariantOwner() { VariantInit(&v_); }
    ~VariantOwner() { VariantClear(&v_); }
    VariantOwner(const VariantOwner&) = delete;
    VariantOwner& operator=(const VariantOwner&) = delete;
    VARIANT* Get() { return &v_; }
    const VARIANT& operator*() const { return v_; }

private:
    VARIANT v_;
};

class SafeArrayOwner {
public:
    SafeArrayOwner() = default;
    explicit SafeArrayOwner(SAFEARRAY* sa) : sa_(sa) {}
    ~SafeArrayOwner() {
        if (sa_) SafeArrayDestroy(sa_);
    }
    SafeArrayOwner(const SafeArrayOwner&) = delete;
    SafeArrayOwner& operator=(const SafeArrayOwner&) = delete;
    SAFEARRAY* Get() const { return sa_; }
    SAFEARRAY* Detach() { return std::exchange(sa_, nullptr); }

private:
    SAFEARRAY* sa_ = nullptr;
};

// Holds SafeArrayAccessData for the lifetime of the owner.
class SafeArrayAccess {
public:
    explicit SafeArrayAccess(SAFEARRAY* sa) : sa_(sa) {
        if (FAILED(SafeArrayAccessData(sa_, &data_))) {
            sa_ = nullptr;
            data_ = nullptr;
        }
    }
    ~SafeArrayAccess() {
        if (sa_) SafeArrayUnaccessData(sa_);
    }
    SafeArrayAccess(const SafeArrayAccess&) = delete;
    SafeArrayAccess& operator=(const SafeArrayAccess&) = delete;
    bool Ok() const { return sa_ != nullptr; }
    void* Data() const { return data_; }

private:
    SAFEARRAY* sa_ = nullptr;
    void* data_ = nullptr;
};

class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    HKEY Get() const { return k_; }
    HKEY* Put() {
        Reset();
        return &k_;
    }
    void Reset() {
        if (k_) RegCloseKey(std::exchange(k_, nullptr));
    }

private:
    HKEY k_ = nullptr;
};

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (Ok()) CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

class FindHandle {
public:
    explicit FindHandle(HANDLE h) : h_(h) {}
    ~FindHandle() {
        if (Ok()) FindClose(h_);
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    bool Ok() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }

private:
    HANDLE h_;
};

}  // namespace pagehost
