// Named values kept by Session and Application: keys compare without case,
// values are VARIANT copies (objects keep a reference).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

namespace tarnwick::host {

class VariantDictionary {
public:
    VariantDictionary() = default;
    ~VariantDictionary() { Clear(); }
    VariantDictionary(const VariantDictionary&) = delete;
    VariantDictionary& operator=(const VariantDictionary&) = delete;

    // Copies the value into result; Empty when the key is unknown.
    HRESULT Get(const std::wstring& key, VARIANT* result) const;
    HRESULT Set(const std::wstring& key, const VARIANT& value);
    void Remove(const std::wstring& key);
    void Clear();
    size_t Count() const { return entries_.size(); }
    // 1-based, as scripts count.
    const std::wstring* KeyAt(size_t index) const;
    std::vector<std::wstring> Keys() const;

private:
    struct Entry {
        std::wstring key;
        VARIANT value;
    };
    Entry* Find(const std::wstring& key);
    const Entry* Find(const std::wstring& key) const;

    std::vector<Entry> entries_;
};

}  // namespace tarnwick::host
