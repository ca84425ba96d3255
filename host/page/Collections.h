// Collection objects handed to page scripts: read-only text collections
// (Request.QueryString, Form, Cookies, ServerVariables), a view of a
// Session's or Application's values, and a key enumerator for For Each.
#pragma once

#include "host/page/AspInterfaces.h"

#include <string>
#include <utility>
#include <vector>

#include "host/page/ScriptObject.h"
#include "host/page/VariantDictionary.h"

namespace tarnwick::host {

using WideValues = std::vector<std::pair<std::wstring, std::wstring>>;

// The value of a key in a text collection: all values of that name joined
// with ", " (as a repeated form field reads), or Empty when there is none.
// A number picks the n-th pair (from 1).
HRESULT LookUpValue(const WideValues& items, const VARIANT& key, VARIANT* result);

// One pair per distinct name (compared without case), in the order names
// first appear, each value joining that name's values with ", ".
WideValues GroupByName(const WideValues& items);

// Makes an enumerator over the given keys (IEnumVARIANT).
HRESULT MakeKeyEnumerator(std::vector<std::wstring> keys, IUnknown** out);

class TextCollection final : public ScriptObject<IRequestDictionary, &IID_IRequestDictionary> {
public:
    // `whole` is what the collection reads as when used as a value
    // (the raw query string, the raw form body).
    // A name given more than once is one entry whose value joins them all.
    TextCollection(const WideValues& items, std::wstring whole) : items_(GroupByName(items)), whole_(std::move(whole)) {}

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT key, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** out) override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) override;
    HRESULT STDMETHODCALLTYPE get_Key(VARIANT index, VARIANT* result) override;

protected:
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    WideValues items_;
    std::wstring whole_;
};

// Session.Contents and Application.Contents.
class ValuesView final : public ScriptObject<IVariantDictionary, &IID_IVariantDictionary> {
public:
    // `owner` keeps the dictionary alive as long as this view; `writer` is
    // the page its writes are made for.
    ValuesView(VariantDictionary& values, IUnknown* owner, PageKey writer)
        : values_(values), owner_(owner), writer_(writer) {
        owner_->AddRef();
    }

    HRESULT STDMETHODCALLTYPE get_Item(VARIANT key, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE put_Item(VARIANT key, VARIANT value) override;
    HRESULT STDMETHODCALLTYPE putref_Item(VARIANT key, VARIANT value) override { return put_Item(key, value); }
    HRESULT STDMETHODCALLTYPE get_Key(VARIANT index, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Count(int* count) override;
    HRESULT STDMETHODCALLTYPE get__NewEnum(IUnknown** out) override;
    HRESULT STDMETHODCALLTYPE Remove(VARIANT key) override;
    HRESULT STDMETHODCALLTYPE RemoveAll() override;

protected:
    ~ValuesView() override { owner_->Release(); }
    const Member* Members(size_t& count) const override;
    HRESULT Call(const Invocation& call) override;

private:
    VariantDictionary& values_;
    IUnknown* owner_;
    PageKey writer_;
};

// Reads a value by a key that may be a name or a 1-based number.
HRESULT GetStoredValue(const VariantDictionary& values, const VARIANT& key, VARIANT* result);

}  // namespace tarnwick::host
