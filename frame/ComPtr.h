// Move-only owners for the COM resources the classes hold, so every exit
// path releases what it took.
#pragma once

#include <oaidl.h>
#include <oleauto.h>
#include <unknwn.h>

#include <utility>

namespace tarnwick::frame {

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}   // adopts one reference
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
    // For out parameters: releases the current pointer first.
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

// An owned BSTR (null means no string).
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
    BSTR* Put() {
        SysFreeString(std::exchange(s_, nullptr));
        return &s_;
    }

private:
    BSTR s_ = nullptr;
};

// A VARIANT cleared when it goes out of scope.
class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* operator&() { return &v_; }
    VARIANT& Ref() { return v_; }

private:
    VARIANT v_;
};

// Access to a SAFEARRAY's data, unlocked when it goes out of scope.
class SafeArrayData {
public:
    SafeArrayData() = default;
    ~SafeArrayData() { Unlock(); }
    SafeArrayData(const SafeArrayData&) = delete;
    SafeArrayData& operator=(const SafeArrayData&) = delete;
    HRESULT Lock(SAFEARRAY* array) {
        Unlock();
        void* data = nullptr;
        HRESULT hr = SafeArrayAccessData(array, &data);
        if (SUCCEEDED(hr)) {
            array_ = array;
            data_ = data;
        }
        return hr;
    }
    void Unlock() {
        if (array_) SafeArrayUnaccessData(std::exchange(array_, nullptr));
        data_ = nullptr;
    }
    void* Data() const { return data_; }

private:
    SAFEARRAY* array_ = nullptr;
    void* data_ = nullptr;
};

}  // namespace tarnwick::frame
