#include "host/VariantDictionary.h"

#include <oleauto.h>

#include "host/Automation.h"

namespace tarnwick::host {

VariantDictionary::Entry* VariantDictionary::Find(const std::wstring& key) {
    return const_cast<Entry*>(static_cast<const VariantDictionary*>(this)->Find(key));
}

const VariantDictionary::Entry* VariantDictionary::Find(const std::wstring& key) const {
    for (const Entry& e : entries_)
        if (EqualsNoCase(e.key, key)) return &e;
    return nullptr;
}

HRESULT VariantDictionary::Get(const std::wstring& key, VARIANT* result) const {
    VariantInit(result);
    const Entry* e = Find(key);
    return e ? VariantCopy(result, const_cast<VARIANT*>(&e->value)) : S_OK;
}

HRESULT VariantDictionary::Set(const std::wstring& key, const VARIANT& value) {
    VARIANT copy;
    VariantInit(&copy);
    HRESULT hr = VariantCopyInd(&copy, const_cast<VARIANT*>(&value));
    if (FAILED(hr)) return hr;
    if (Entry* e = Find(key)) {
        VariantClear(&e->value);
        e->value = copy;
        return S_OK;
    }
    entries_.push_back(Entry{key, copy});
    return S_OK;
}

void VariantDictionary::Remove(const std::wstring& key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (EqualsNoCase(it->key, key)) {
            VARIANT old = it->value;
            entries_.erase(it);
            VariantClear(&old);   // after the erase: releasing an object may call back
            return;
        }
    }
}

void VariantDictionary::Clear() {
    std::vector<Entry> old;
    old.swap(entries_);
    for (Entry& e : old) VariantClear(&e.value);
}

const std::wstring* VariantDictionary::KeyAt(size_t index) const {
    if (index < 1 || index > entries_.size()) return nullptr;
    return &entries_[index - 1].key;
}

std::vector<std::wstring> VariantDictionary::Keys() const {
    std::vector<std::wstring> keys;
    for (const Entry& e : entries_) keys.push_back(e.key);
    return keys;
}

}  // namespace tarnwick::host
