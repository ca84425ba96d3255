#include "host/page/Collections.h"

#include <oleauto.h>

#include <algorithm>

#include "frame/ComPtr.h"
#include "host/page/PageState.h"
#include "host/page/UnknownObject.h"

namespace tarnwick::host {

namespace {

enum : DISPID { kCount = 1, kKey, kRemove, kRemoveAll };

const Member kTextMembers[] = {
    {L"Item", DISPID_VALUE}, {L"Count", kCount}, {L"Key", kKey}, {L"_NewEnum", DISPID_NEWENUM}};

const Member kViewMembers[] = {{L"Item", DISPID_VALUE}, {L"Count", kCount},         {L"Key", kKey},
                               {L"Remove", kRemove},    {L"RemoveAll", kRemoveAll}, {L"_NewEnum", DISPID_NEWENUM}};

// A key is a number when the script passed a number.
bool IsNumber(const VARIANT& key) {
    switch (V_VT(Deref(&key))) {
    case VT_I1: case VT_I2: case VT_I4: case VT_I8: case VT_UI1: case VT_UI2: case VT_UI4: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

class KeyEnumerator final : public UnknownObject<IEnumVARIANT, &IID_IEnumVARIANT> {
public:
    explicit KeyEnumerator(std::vector<std::wstring> keys) : keys_(std::move(keys)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
        if (!out) return E_POINTER;
        ULONG n = 0;
        while (n < wanted && next_ < keys_.size()) {
            VariantInit(&out[n]);
            HRESULT hr = SetString(&out[n], keys_[next_]);
            if (FAILED(hr)) {
                while (n > 0) VariantClear(&out[--n]);
                if (fetched) *fetched = 0;
                return hr;
            }
            ++n;
            ++next_;
        }
        if (fetched) *fetched = n;
        return n == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ += count;
        if (next_ > keys_.size()) {
            next_ = keys_.size();
            return S_FALSE;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        auto* copy = new (std::nothrow) KeyEnumerator(keys_);
        if (!copy) return E_OUTOFMEMORY;
        copy->next_ = next_;
        *out = copy;
        return S_OK;
    }

private:
    std::vector<std::wstring> keys_;
    size_t next_ = 0;
};

HRESULT ReturnEnumerator(std::vector<std::wstring> keys, VARIANT* result) {
    IUnknown* e = nullptr;
    HRESULT hr = MakeKeyEnumerator(std::move(keys), &e);
    if (FAILED(hr)) return hr;
    V_VT(result) = VT_UNKNOWN;
    V_UNKNOWN(result) = e;
    return S_OK;
}

}  // namespace

WideValues GroupByName(const WideValues& items) {
    WideValues grouped;
    for (const auto& item : items) {
        auto same = std::find_if(grouped.begin(), grouped.end(),
                                 [&](const auto& g) { return EqualsNoCase(g.first, item.first); });
        if (same == grouped.end())
            grouped.push_back(item);
        else
            same->second += L", " + item.second;
    }
    return grouped;
}

HRESULT MakeKeyEnumerator(std::vector<std::wstring> keys, IUnknown** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) KeyEnumerator(std::move(keys));
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT LookUpValue(const WideValues& items, const VARIANT& key, VARIANT* result) {
    VariantInit(result);
    if (IsNumber(key)) {
        long index = 0;
        HRESULT hr = VariantLong(key, index);
        if (FAILED(hr)) return hr;
        if (index < 1 || static_cast<size_t>(index) > items.size()) return DISP_E_BADINDEX;
        return SetString(result, items[index - 1].second);
    }
    std::wstring name;
    HRESULT hr = VariantText(key, name);
    if (FAILED(hr)) return hr;
    bool found = false;
    std::wstring joined;
    for (const auto& item : items) {
        if (!EqualsNoCase(item.first, name)) continue;
        if (found) joined += L", ";
        joined += item.second;
        found = true;
    }
    return found ? SetString(result, joined) : S_OK;
}

HRESULT TextCollection::get_Item(VARIANT key, VARIANT* result) {
    if (!result) return E_POINTER;
    return LookUpValue(items_, key, result);
}

HRESULT TextCollection::get__NewEnum(IUnknown** out) {
    std::vector<std::wstring> keys;
    for (const auto& item : items_) keys.push_back(item.first);
    return MakeKeyEnumerator(std::move(keys), out);
}

HRESULT TextCollection::get_Count(int* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int>(items_.size());
    return S_OK;
}

HRESULT TextCollection::get_Key(VARIANT index, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    long i = 0;
    HRESULT hr = VariantLong(index, i);
    if (FAILED(hr)) return hr;
    if (i < 1 || static_cast<size_t>(i) > items_.size()) return DISP_E_BADINDEX;
    return SetString(result, items_[i - 1].first);
}

const Member* TextCollection::Members(size_t& count) const { return TableOf(kTextMembers, count); }

HRESULT TextCollection::Call(const Invocation& call) {
    if (call.put) return DISP_E_MEMBERNOTFOUND;
    switch (call.id) {
    case DISPID_VALUE:
        if (call.args.Count() == 0) return SetString(call.result, whole_);
        return get_Item(*call.args.Raw(0), call.result);
    case kCount:
        SetLong(call.result, static_cast<long>(items_.size()));
        return S_OK;
    case kKey:
        if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
        return get_Key(*call.args.Raw(0), call.result);
    case DISPID_NEWENUM: {
        std::vector<std::wstring> keys;
        for (const auto& item : items_) keys.push_back(item.first);
        return ReturnEnumerator(std::move(keys), call.result);
    }
    }
    return DISP_E_MEMBERNOTFOUND;
}

namespace {

// A value is named by its key, or by its 1-based place.
HRESULT KeyNamed(const VariantDictionary& values, const VARIANT& key, std::wstring& name) {
    if (!IsNumber(key)) return VariantText(key, name);
    long index = 0;
    HRESULT hr = VariantLong(key, index);
    if (FAILED(hr)) return hr;
    return values.KeyAt(static_cast<size_t>(index < 0 ? 0 : index), name) ? S_OK : DISP_E_BADINDEX;
}

}  // namespace

HRESULT GetStoredValue(const VariantDictionary& values, const VARIANT& key, VARIANT* result) {
    VariantInit(result);
    std::wstring name;
    HRESULT hr = KeyNamed(values, key, name);
    return FAILED(hr) ? hr : values.Get(name, result);
}

HRESULT ValuesView::get_Item(VARIANT key, VARIANT* result) {
    if (!result) return E_POINTER;
    return GetStoredValue(values_, key, result);
}

HRESULT ValuesView::put_Item(VARIANT key, VARIANT value) {
    std::wstring name;
    HRESULT hr = VariantText(key, name);
    if (FAILED(hr)) return hr;
    if (PageEnded(writer_)) return kPageHasEnded;
    return values_.Set(name, value, writer_);
}

HRESULT ValuesView::get_Key(VARIANT index, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    long i = 0;
    HRESULT hr = VariantLong(index, i);
    if (FAILED(hr)) return hr;
    std::wstring name;
    if (!values_.KeyAt(static_cast<size_t>(i < 0 ? 0 : i), name)) return DISP_E_BADINDEX;
    return SetString(result, name);
}

HRESULT ValuesView::get_Count(int* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int>(values_.Count());
    return S_OK;
}

HRESULT ValuesView::get__NewEnum(IUnknown** out) { return MakeKeyEnumerator(values_.Keys(), out); }

HRESULT ValuesView::Remove(VARIANT key) {
    std::wstring name;
    HRESULT hr = KeyNamed(values_, key, name);
    if (FAILED(hr)) return hr;
    if (PageEnded(writer_)) return kPageHasEnded;
    values_.Remove(name, writer_);
    return S_OK;
}

HRESULT ValuesView::RemoveAll() {
    if (PageEnded(writer_)) return kPageHasEnded;
    values_.Clear(writer_);
    return S_OK;
}

const Member* ValuesView::Members(size_t& count) const { return TableOf(kViewMembers, count); }

HRESULT ValuesView::Call(const Invocation& call) {
    switch (call.id) {
    case DISPID_VALUE:
        if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
        if (call.put) {
            HRESULT hr = put_Item(*call.args.Raw(0), *call.value);
            if (hr == kPageHasEnded) return call.Fail(hr, kPageHasEndedMessage);
            return hr == kApartmentObjectRefused ? call.Fail(hr, kApartmentObjectMessage) : hr;
        }
        return get_Item(*call.args.Raw(0), call.result);
    case kCount:
        SetLong(call.result, static_cast<long>(values_.Count()));
        return S_OK;
    case kKey:
        if (call.args.Count() != 1) return DISP_E_BADPARAMCOUNT;
        return get_Key(*call.args.Raw(0), call.result);
    case kRemove:
    case kRemoveAll: {
        if (call.args.Count() != (call.id == kRemove ? 1u : 0u)) return DISP_E_BADPARAMCOUNT;
        HRESULT hr = call.id == kRemove ? Remove(*call.args.Raw(0)) : RemoveAll();
        return hr == kPageHasEnded ? call.Fail(hr, kPageHasEndedMessage) : hr;
    }
    case DISPID_NEWENUM:
        return ReturnEnumerator(values_.Keys(), call.result);
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace tarnwick::host
