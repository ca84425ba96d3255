#include "host/page/VariantDictionary.h"

#include <objbase.h>
#include <ocidl.h>
#include <oleauto.h>

#include "frame/ComPtr.h"
#include "host/page/Automation.h"

namespace tarnwick::host {

namespace {

// The class of the free-threaded marshaler: an object that aggregates it
// may be called from any thread.
const CLSID kFreeThreadedMarshaler = {0x0000033A, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

frame::ComPtr<IGlobalInterfaceTable> InterfaceTable() {
    frame::ComPtr<IGlobalInterfaceTable> table;
    CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                     reinterpret_cast<void**>(table.Put()));
    return table;
}

bool IsObject(VARTYPE type) { return type == VT_DISPATCH || type == VT_UNKNOWN; }

// The threading model its class is registered with ("" when unknown).
std::wstring ThreadingModelOf(IUnknown* object) {
    CLSID clsid;
    bool known = false;
    frame::ComPtr<IPersist> persist;
    if (SUCCEEDED(object->QueryInterface(IID_IPersist, reinterpret_cast<void**>(persist.Put()))))
        known = SUCCEEDED(persist->GetClassID(&clsid));
    frame::ComPtr<IProvideClassInfo> info;
    if (!known && SUCCEEDED(object->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(info.Put())))) {
        frame::ComPtr<ITypeInfo> type;
        TYPEATTR* attributes = nullptr;
        if (SUCCEEDED(info->GetClassInfo(type.Put())) && SUCCEEDED(type->GetTypeAttr(&attributes))) {
            clsid = attributes->guid;
            known = true;
            type->ReleaseTypeAttr(attributes);
        }
    }
    if (!known) return std::wstring();
    wchar_t text[40];
    if (!StringFromGUID2(clsid, text, 40)) return std::wstring();
    std::wstring key = std::wstring(L"CLSID\\") + text + L"\\InprocServer32";
    wchar_t model[32] = L"";
    DWORD size = sizeof model;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), L"ThreadingModel", RRF_RT_REG_SZ, nullptr, model, &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    return model;
}

// Whether any thread may call the object: it aggregates the free-threaded
// marshaler, or its class says Both, Free or Neutral.
bool CallableFromAnyThread(IUnknown* object) {
    frame::ComPtr<IMarshal> marshal;
    if (SUCCEEDED(object->QueryInterface(IID_IMarshal, reinterpret_cast<void**>(marshal.Put())))) {
        CLSID unmarshaler;
        if (SUCCEEDED(marshal->GetUnmarshalClass(IID_IUnknown, object, MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL,
                                                 &unmarshaler)) &&
            IsEqualCLSID(unmarshaler, kFreeThreadedMarshaler))
            return true;
    }
    const std::wstring model = ThreadingModelOf(object);
    return EqualsNoCase(model, L"Both") || EqualsNoCase(model, L"Free") || EqualsNoCase(model, L"Neutral");
}

}  // namespace

// An object registered in the Global Interface Table; revoked (and so
// released) when the last value or reader holding it lets go.
struct VariantDictionary::Kept {
    DWORD cookie = 0;
    VARTYPE type = VT_UNKNOWN;
    Kept() = default;
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;
    ~Kept() {
        if (auto table = InterfaceTable()) table->RevokeInterfaceFromGlobal(cookie);
    }
};

VariantDictionary::VariantDictionary(bool agileObjectsOnly) : agileOnly_(agileObjectsOnly) {
    unlocked_.reset(CreateEventW(nullptr, TRUE, TRUE, nullptr));
}

VariantDictionary::~VariantDictionary() {
    Clear();
}

VariantDictionary::Entry* VariantDictionary::Find(const std::wstring& key) {
    return const_cast<Entry*>(static_cast<const VariantDictionary*>(this)->Find(key));
}

std::wstring VariantDictionary::Bucket(const std::wstring& key) {
    // Keys are equal as ordinal text without case (EqualsNoCase). The
    // bucket must be the same for any two such keys: ASCII letters by their
    // upper case; any other unit, and I and S (which dotless i and long s
    // upper-case to), as one mark. Keys in one bucket are then compared.
    std::wstring bucket(key);
    for (wchar_t& c : bucket) {
        if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
        if (c >= 0x80 || c == L'I' || c == L'S') c = 0xFFFF;
    }
    return bucket;
}

std::unordered_multimap<std::wstring, size_t>::const_iterator VariantDictionary::Position(
    const std::wstring& key) const {
    auto range = positions_.equal_range(Bucket(key));
    for (auto it = range.first; it != range.second; ++it)
        if (EqualsNoCase(entries_[it->second].key, key)) return it;
    return positions_.end();
}

const VariantDictionary::Entry* VariantDictionary::Find(const std::wstring& key) const {
    auto found = Position(key);
    return found == positions_.end() ? nullptr : &entries_[found->second];
}

HRESULT VariantDictionary::Get(const std::wstring& key, VARIANT* result) const {
    VariantInit(result);
    std::shared_ptr<Kept> object;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const Entry* e = Find(key);
        if (!e) return S_OK;
        if (!e->object) return VariantCopy(result, const_cast<VARIANT*>(&e->value));
        object = e->object;
    }
    // Outside the lock: reaching an object of another apartment may wait
    // for that apartment's thread.
    auto table = InterfaceTable();
    if (!table) return E_UNEXPECTED;
    const IID& iid = object->type == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
    void* pointer = nullptr;
    HRESULT hr = table->GetInterfaceFromGlobal(object->cookie, iid, &pointer);
    if (FAILED(hr)) return hr;
    V_VT(result) = object->type;
    V_UNKNOWN(result) = static_cast<IUnknown*>(pointer);
    return S_OK;
}

HRESULT VariantDictionary::Set(const std::wstring& key, const VARIANT& value, PageKey writer) {
    Entry entry{key, VARIANT(), nullptr};
    VariantInit(&entry.value);
    HRESULT hr = VariantCopyInd(&entry.value, const_cast<VARIANT*>(&value));
    if (FAILED(hr)) return hr;
    if (IsObject(V_VT(&entry.value)) && V_UNKNOWN(&entry.value)) {
        IUnknown* object = V_UNKNOWN(&entry.value);
        if (agileOnly_ && !CallableFromAnyThread(object)) {
            VariantClear(&entry.value);
            return kApartmentObjectRefused;
        }
        auto table = InterfaceTable();
        auto kept = std::make_shared<Kept>();
        kept->type = V_VT(&entry.value);
        hr = table ? table->RegisterInterfaceInGlobal(object, kept->type == VT_DISPATCH ? IID_IDispatch : IID_IUnknown,
                                                      &kept->cookie)
                   : E_UNEXPECTED;
        VariantClear(&entry.value);
        if (FAILED(hr)) {
            kept->cookie = 0;
            return hr;
        }
        entry.object = std::move(kept);
    }
    Entry old{std::wstring(), VARIANT(), nullptr};
    VariantInit(&old.value);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitForWriters(lock, writer);
        if (Entry* e = Find(key)) {
            std::swap(e->value, old.value);
            std::swap(e->object, old.object);
            e->value = entry.value;
            e->object = std::move(entry.object);
        } else {
            positions_.emplace(Bucket(entry.key), entries_.size());
            entries_.push_back(std::move(entry));
        }
    }
    VariantClear(&old.value);   // after the lock: releasing an object may call back
    return S_OK;
}

void VariantDictionary::Remove(const std::wstring& key, PageKey writer) {
    Entry old{std::wstring(), VARIANT(), nullptr};
    VariantInit(&old.value);
    {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitForWriters(lock, writer);
        auto found = Position(key);
        if (found != positions_.end()) {
            const size_t at = found->second;
            positions_.erase(found);
            old = std::move(entries_[at]);
            entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(at));
            for (auto& position : positions_)
                if (position.second > at) --position.second;
        }
    }
    VariantClear(&old.value);
}

void VariantDictionary::Clear(PageKey writer) {
    std::vector<Entry> old;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        WaitForWriters(lock, writer);
        old.swap(entries_);
        positions_.clear();
    }
    for (Entry& e : old) VariantClear(&e.value);
}

size_t VariantDictionary::Count() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

bool VariantDictionary::KeyAt(size_t index, std::wstring& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (index < 1 || index > entries_.size()) return false;
    key = entries_[index - 1].key;
    return true;
}

std::vector<std::wstring> VariantDictionary::Keys() const {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::wstring> keys;
    for (const Entry& e : entries_) keys.push_back(e.key);
    return keys;
}

void VariantDictionary::WaitForWriters(std::unique_lock<std::mutex>& lock, PageKey writer) {
    while (lockDepth_ > 0 && lockOwner_ != writer) {
        lock.unlock();
        // Calls into this thread's apartment still get through meanwhile.
        DWORD index = 0;
        HANDLE unlocked = unlocked_.get();
        if (FAILED(CoWaitForMultipleHandles(0, INFINITE, 1, &unlocked, &index))) Sleep(1);
        lock.lock();
    }
}

void VariantDictionary::Lock(PageKey page) {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitForWriters(lock, page);
    lockOwner_ = page;
    if (lockDepth_++ == 0) ResetEvent(unlocked_.get());
}

void VariantDictionary::Unlock(PageKey page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lockDepth_ == 0 || lockOwner_ != page) return;
    if (--lockDepth_ == 0) {
        lockOwner_ = nullptr;
        SetEvent(unlocked_.get());
    }
}

void VariantDictionary::ReleaseLock(PageKey page) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (lockDepth_ == 0 || lockOwner_ != page) return;
    lockDepth_ = 0;
    lockOwner_ = nullptr;
    SetEvent(unlocked_.get());
}

}  // namespace tarnwick::host
