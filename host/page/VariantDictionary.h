// Named values kept by Session and Application: keys compare without case,
// values are VARIANT copies. Pages on several threads use them, so every
// call takes the dictionary's own lock, and an object is kept in the Global
// Interface Table: a later page on another thread gets it through a proxy to
// the apartment that made it (or the object itself, when it can be called
// from any thread).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "host/net/Owned.h"

namespace tarnwick::host {

// What Application answers for an object that can only be called on the
// thread that made it, as a classic server does.
constexpr HRESULT kApartmentObjectRefused = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x197);
constexpr const wchar_t* kApartmentObjectMessage =
    L"Disallowed object use: Cannot add object with apartment model behavior to the application intrinsic object.";

struct PageState;
// The page on whose behalf a call is made: Application.Lock belongs to a
// page, not to a thread, since a page may reach Application through an
// object of another page thread. Dictionaries never locked pass nullptr.
using PageKey = const PageState*;

class VariantDictionary {
public:
    // Application's values take only objects that any thread may call.
    explicit VariantDictionary(bool agileObjectsOnly = false);
    ~VariantDictionary();
    VariantDictionary(const VariantDictionary&) = delete;
    VariantDictionary& operator=(const VariantDictionary&) = delete;

    // Copies the value into result; Empty when the key is unknown.
    HRESULT Get(const std::wstring& key, VARIANT* result) const;
    // Writes wait while another page holds Lock.
    HRESULT Set(const std::wstring& key, const VARIANT& value, PageKey writer = nullptr);
    void Remove(const std::wstring& key, PageKey writer = nullptr);
    void Clear(PageKey writer = nullptr);
    size_t Count() const;
    // 1-based, as scripts count; false past the end.
    bool KeyAt(size_t index, std::wstring& key) const;
    std::vector<std::wstring> Keys() const;

    // Application.Lock and UnLock: the page that locks is the only writer
    // until it unlocks as often as it locked, or it ends (ReleaseLock).
    // Waiting pages keep serving calls to their apartment.
    void Lock(PageKey page);
    void Unlock(PageKey page);
    void ReleaseLock(PageKey page);

private:
    struct Kept;   // an object in the Global Interface Table
    struct Entry {
        std::wstring key;
        VARIANT value;                  // anything but an object
        std::shared_ptr<Kept> object;   // or an object
    };
    static std::wstring Bucket(const std::wstring& key);
    // The entry of a key in positions_, or its end.
    std::unordered_multimap<std::wstring, size_t>::const_iterator Position(const std::wstring& key) const;
    Entry* Find(const std::wstring& key);
    const Entry* Find(const std::wstring& key) const;
    // With mutex_ held: waits until no other page holds Lock.
    void WaitForWriters(std::unique_lock<std::mutex>& lock, PageKey writer);

    const bool agileOnly_;
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;                         // in the order first stored
    std::unordered_multimap<std::wstring, size_t> positions_;   // Bucket of a key -> entries_ index
    PageKey lockOwner_ = nullptr;   // the page holding Lock
    int lockDepth_ = 0;
    OwnedHandle unlocked_;   // an event set while nobody holds Lock
};

}  // namespace tarnwick::host
