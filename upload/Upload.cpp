#include "upload/Upload.h"

#include "frame/StringConversion.h"
#include "platform/FileSystem.h"

namespace tarnwick::upload {

Upload::Upload() { targetDir_.Assign(platform::TemporaryDirectory()); }

HRESULT Upload::OnStartPage(IUnknown* piUnk) {
    frame::ComPtr<IScriptingContext> context;
    return page_.Bind(piUnk, context);
}

HRESULT Upload::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

HRESULT Upload::get_TargetDir(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return frame::ToWideExact(targetDir_.Value().c_str(), pVal);
}

HRESULT Upload::put_TargetDir(BSTR newVal) {
    try {
        targetDir_.Assign(frame::ToNarrow(newVal));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// The form operations come with the form-data parser.
HRESULT Upload::SaveFile(BSTR) { return E_NOTIMPL; }
HRESULT Upload::Form(VARIANT, BSTR*) { return E_NOTIMPL; }
HRESULT Upload::IsFile(BSTR, VARIANT_BOOL*) { return E_NOTIMPL; }
HRESULT Upload::FileSize(BSTR, long*) { return E_NOTIMPL; }
HRESULT Upload::GetFileData(BSTR, VARIANT*) { return E_NOTIMPL; }
HRESULT Upload::FormName(long, BSTR*) { return E_NOTIMPL; }
HRESULT Upload::get_TotalCount(long*) { return E_NOTIMPL; }

}  // namespace tarnwick::upload
