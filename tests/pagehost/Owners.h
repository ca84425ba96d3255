// Move-only owners for the handles the test host touches, so every exit path
// releases what it took.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <oleauto.h>

#include <utility>

#include "frame/ComPtr.h"

namespace pagehost {

// The component's own owners serve here too.
using tarnwick::frame::Bstr;
using tarnwick::frame::ComPtr;

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
