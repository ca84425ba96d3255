#include "upload/Upload.h"

#include <cstring>
#include <string>

#include "frame/StringConversion.h"
#include "platform/FileSystem.h"
#include "text/FileNames.h"
#include "upload/FileSaving.h"

namespace tarnwick::upload {
namespace {

// The two failure texts shown in the page (GBK: "\xCA\xA7\xB0\xDC" = "failed").
constexpr char kInitPostFailed[] = "InitPost()\xCA\xA7\xB0\xDC";
constexpr char kInitMimeFailed[] = "InitMime()\xCA\xA7\xB0\xDC";

// A value handed out: the bytes up to the length, cut at the first zero byte.
HRESULT HandOut(const FieldText& text, BSTR* out) {
    std::string narrow(text.data, static_cast<std::size_t>(text.length));
    return frame::ToWideExact(narrow.c_str(), out);
}

std::string Narrow(const FieldText& text) {
    return std::string(text.data, static_cast<std::size_t>(text.length));
}

}  // namespace

Upload::Upload() { targetDir_.Assign(platform::TemporaryDirectory()); }

Upload::~Upload() { ReleaseBody(); }

void Upload::ReleaseBody() {
    parser_.reset();
    if (bodyArray_) {
        SafeArrayUnaccessData(bodyArray_);
        SafeArrayDestroy(bodyArray_);
    }
    bodyArray_ = nullptr;
    bodyData_ = nullptr;
    bodyLength_ = 0;
}

HRESULT Upload::OnStartPage(IUnknown* piUnk) {
    frame::ComPtr<IScriptingContext> context;
    HRESULT hr = page_.Bind(piUnk, context);
    if (FAILED(hr)) return hr;
    ReleaseBody();   // a new page brings a new body
    const char* failure = nullptr;
    if (!InitPost())
        failure = kInitPostFailed;
    else if (!InitMime())
        failure = kInitMimeFailed;
    if (!failure) return S_OK;
    page_.WriteText(failure);
    if (page_.Response()) page_.Response()->End();
    return S_FALSE;
}

bool Upload::InitPost() {
    IRequest* request = page_.Request();
    long count = 0;
    frame::Variant result;
    frame::Variant wanted;
    bool ok = request && SUCCEEDED(request->get_TotalBytes(&count)) && count >= 0;
    if (ok) {
        wanted.Ref().vt = VT_I4;
        wanted.Ref().lVal = count;
        ok = SUCCEEDED(request->BinaryRead(&wanted, &result));
    }
    SAFEARRAY* array = nullptr;
    if (ok && (result.Ref().vt & VT_ARRAY) && result.Ref().parray) {
        array = result.Ref().parray;
        void* data = nullptr;
        ok = SafeArrayGetDim(array) == 1 && SafeArrayGetElemsize(array) == 1 &&
             SUCCEEDED(SafeArrayAccessData(array, &data));
        if (ok) {
            // Never parse past the bytes actually handed back.
            LONG lower = 0, upper = -1;
            SafeArrayGetLBound(array, 1, &lower);
            SafeArrayGetUBound(array, 1, &upper);
            long available = upper >= lower ? upper - lower + 1 : 0;
            result.Ref().vt = VT_EMPTY;   // the array is ours now
            bodyArray_ = array;
            bodyData_ = static_cast<const char*>(data);
            bodyLength_ = count < available ? count : available;
        }
    } else if (ok) {
        ok = count == 0;   // no array: only an empty body reads as read
    }
    if (!ok) page_.ReleaseRequest();
    return ok;
}

bool Upload::InitMime() {
    parser_.reset(new (std::nothrow) FormDataParser());
    if (!parser_) return false;
    try {
        return parser_->Parse(bodyData_, bodyData_ ? bodyLength_ : 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

HRESULT Upload::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

bool Upload::UploadedFile(BSTR fieldName, FieldText& fileName, FieldText& data) const {
    if (!parser_) return false;
    std::string name = frame::ToNarrow(fieldName);
    if (!parser_->FieldIsFile(name)) return false;
    fileName = parser_->FieldValue(name);
    if (fileName.length == 0) return false;
    data = parser_->FileData(name, std::string_view(fileName.data, static_cast<std::size_t>(fileName.length)));
    return data.length > 0;
}

HRESULT Upload::SaveFile(BSTR i_bsFieldName) {
    try {
        FieldText fileName, data;
        if (!UploadedFile(i_bsFieldName, fileName, data)) return S_FALSE;
        std::string baseName = text::SaveBaseName(Narrow(fileName));
        if (baseName.empty()) return S_FALSE;
        targetDir_.Assign(TrimTrailingBackslash(targetDir_.Value()));
        std::string path;
        if (!SavePath(targetDir_.Value(), baseName, path)) return S_FALSE;
        return WriteWholeFile(path, data.data, data.length) ? S_OK : S_FALSE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Upload::Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) {
    if (!o_pbsFieldValue) return E_POINTER;
    *o_pbsFieldValue = nullptr;
    try {
        if (i_bsFieldName.vt == VT_BSTR) {
            FieldText value;
            if (parser_) value = parser_->FieldValue(frame::ToNarrow(i_bsFieldName.bstrVal));
            if (value.length == 0) return S_FALSE;
            return HandOut(value, o_pbsFieldValue);
        }
        long index = 0;
        HRESULT hr = frame::VariantToLong(i_bsFieldName, index);
        if (FAILED(hr)) return hr;
        FieldText value;
        if (parser_) value = parser_->ValueAt(index);
        if (value.length == 0) {
            *o_pbsFieldValue = SysAllocString(L"");
            return *o_pbsFieldValue ? S_FALSE : E_OUTOFMEMORY;
        }
        return HandOut(value, o_pbsFieldValue);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Upload::IsFile(BSTR i_bsFieldName, VARIANT_BOOL* o_pvb) {
    if (!o_pvb) return E_POINTER;
    try {
        *o_pvb = parser_ && parser_->FieldIsFile(frame::ToNarrow(i_bsFieldName)) ? VARIANT_TRUE
                                                                                  : VARIANT_FALSE;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Upload::FileSize(BSTR i_bsFieldName, long* o_plSize) {
    if (!o_plSize) return E_POINTER;
    try {
        FieldText fileName, data;
        if (!UploadedFile(i_bsFieldName, fileName, data)) return S_FALSE;
        *o_plSize = data.length;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Upload::GetFileData(BSTR i_bsFieldName, VARIANT* caFileData) {
    if (!caFileData) return E_POINTER;
    try {
        FieldText fileName, data;
        if (!UploadedFile(i_bsFieldName, fileName, data)) return S_FALSE;
        SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(data.length));
        if (!array) return E_OUTOFMEMORY;
        // One copy of the whole upload rather than one call per byte.
        void* target = nullptr;
        if (FAILED(SafeArrayAccessData(array, &target))) {
            SafeArrayDestroy(array);
            return E_OUTOFMEMORY;
        }
        std::memcpy(target, data.data, static_cast<std::size_t>(data.length));
        SafeArrayUnaccessData(array);
        caFileData->vt = VT_ARRAY | VT_UI1;
        caFileData->parray = array;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Upload::FormName(long i, BSTR* o_pbsFieldName) {
    if (!o_pbsFieldName) return E_POINTER;
    *o_pbsFieldName = nullptr;
    if (!parser_) return S_FALSE;
    FieldText name = parser_->NameAt(i);
    if (name.length == 0) return S_FALSE;
    try {
        return HandOut(name, o_pbsFieldName);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

HRESULT Upload::get_TotalCount(long* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = parser_ ? parser_->FieldCount() : 0;
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

}  // namespace tarnwick::upload
