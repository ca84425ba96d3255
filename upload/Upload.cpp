#include "upload/Upload.h"

#include <cstring>
#include <string>

#include "frame/ComBoundary.h"
#include "frame/StringConversion.h"

namespace tarnwick::upload {

HRESULT Upload::OnStartPage(IUnknown* piUnk) {
    HRESULT hr = page_.Bind(piUnk);
    if (FAILED(hr)) return hr;
    return ReadPostedForm(page_, body_, form_);
}

HRESULT Upload::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

HRESULT Upload::SaveFile(BSTR i_bsFieldName) {
    return frame::Guarded([&] { return form_.SaveFile(frame::ToNarrow(i_bsFieldName)) ? S_OK : S_FALSE; });
}

HRESULT Upload::Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) {
    return FormValue(form_, i_bsFieldName, o_pbsFieldValue);
}

HRESULT Upload::IsFile(BSTR i_bsFieldName, VARIANT_BOOL* o_pvb) {
    if (!o_pvb) return E_POINTER;
    return frame::Guarded([&] {
        *o_pvb = form_.IsFile(frame::ToNarrow(i_bsFieldName)) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Upload::FileSize(BSTR i_bsFieldName, long* o_plSize) {
    if (!o_plSize) return E_POINTER;
    return frame::Guarded([&] {
        FieldText fileName, data;
        if (!form_.UploadedFile(frame::ToNarrow(i_bsFieldName), fileName, data)) return S_FALSE;
        *o_plSize = data.length;
        return S_OK;
    });
}

HRESULT Upload::GetFileData(BSTR i_bsFieldName, VARIANT* caFileData) {
    if (!caFileData) return E_POINTER;
    return frame::Guarded([&] {
        FieldText fileName, data;
        if (!form_.UploadedFile(frame::ToNarrow(i_bsFieldName), fileName, data)) return S_FALSE;
        const std::size_t size = static_cast<std::size_t>(data.length);
        return frame::MakeByteArray(size, [&](char* out) {
            std::memcpy(out, data.data, size);   // one copy of the whole upload
            return size;
        }, caFileData);
    });
}

HRESULT Upload::FormName(long i, BSTR* o_pbsFieldName) {
    if (!o_pbsFieldName) return E_POINTER;
    *o_pbsFieldName = nullptr;
    const FieldText name = form_.NameAt(i);
    if (name.length == 0) return S_FALSE;
    return frame::Guarded([&] { return frame::ToWideExact(TextOf(name).c_str(), o_pbsFieldName); });
}

HRESULT Upload::get_TotalCount(long* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = form_.FieldCount();
    return S_OK;
}

HRESULT Upload::get_TargetDir(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return frame::ToWideExact(form_.TargetDir().c_str(), pVal);
}

HRESULT Upload::put_TargetDir(BSTR newVal) {
    return frame::Guarded([&] {
        form_.SetTargetDir(frame::ToNarrow(newVal));
        return S_OK;
    });
}

}  // namespace tarnwick::upload
