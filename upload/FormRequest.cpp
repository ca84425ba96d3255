#include "upload/FormRequest.h"

#include "frame/ComBoundary.h"
#include "frame/ComPtr.h"
#include "frame/StringConversion.h"
#include "text/Charsets.h"

namespace tarnwick::upload {
namespace {

// The two failure texts shown in the page (GBK: "\xCA\xA7\xB0\xDC" = "failed").
constexpr char kInitPostFailed[] = "InitPost()\xCA\xA7\xB0\xDC";
constexpr char kInitMimeFailed[] = "InitMime()\xCA\xA7\xB0\xDC";

}  // namespace

bool RequestBody::Read(IRequest* request) {
    Release();
    long count = 0;
    frame::Variant result;
    frame::Variant wanted;
    if (!request || FAILED(request->get_TotalBytes(&count)) || count < 0) return false;
    wanted.Ref().vt = VT_I4;
    wanted.Ref().lVal = count;
    if (FAILED(request->BinaryRead(&wanted, &result))) return false;
    if (!(result.Ref().vt & VT_ARRAY) || !result.Ref().parray)
        return count == 0;   // no array: only an empty body reads as read
    SAFEARRAY* array = result.Ref().parray;
    void* data = nullptr;
    if (SafeArrayGetDim(array) != 1 || SafeArrayGetElemsize(array) != 1 || FAILED(SafeArrayAccessData(array, &data)))
        return false;
    // Never parse past the bytes actually handed back.
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    const long available = upper >= lower ? upper - lower + 1 : 0;
    result.Ref().vt = VT_EMPTY;   // the array is ours now
    array_ = array;
    data_ = static_cast<const char*>(data);
    length_ = count < available ? count : available;
    return true;
}

void RequestBody::Release() {
    if (array_) {
        SafeArrayUnaccessData(array_);
        SafeArrayDestroy(array_);
    }
    array_ = nullptr;
    data_ = nullptr;
    length_ = 0;
}

HRESULT ReadPostedForm(frame::PageBinding& page, RequestBody& body, PostedForm& form) {
    form.Parse(nullptr, 0);   // a new page brings a new body
    const char* failure = nullptr;
    if (!body.Read(page.Request())) {
        page.ReleaseRequest();
        failure = kInitPostFailed;
    } else if (!form.Parse(body.Data(), body.Length())) {
        failure = kInitMimeFailed;
    }
    if (!failure) return S_OK;
    page.WriteText(failure);
    if (page.Response()) page.Response()->End();
    return S_FALSE;
}

HRESULT FormValue(const PostedForm& form, const VARIANT& key, BSTR* out, FormCharset charset) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const bool utf8 = charset == FormCharset::kUtf8;
    const auto text = [&](const FieldText& value) {
        return utf8 ? frame::ToBstr(text::RawTextToUnicode(TextOf(value)), out)
                    : frame::ToWideExact(TextOf(value).c_str(), out);
    };
    return frame::Guarded([&]() -> HRESULT {
        if (key.vt == VT_BSTR) {
            FieldText value = form.Value(utf8 ? frame::ToUtf8(key.bstrVal) : frame::ToNarrow(key.bstrVal));
            // An old form posted in the system code page names its fields so.
            if (utf8 && value.length == 0) value = form.Value(frame::ToNarrow(key.bstrVal));
            if (value.length == 0) return S_FALSE;
            return text(value);
        }
        long index = 0;
        HRESULT hr = frame::VariantToLong(key, index);
        if (FAILED(hr)) return hr;
        const FieldText value = form.ValueAt(index);
        if (value.length == 0) {
            *out = SysAllocString(L"");
            return *out ? S_FALSE : E_OUTOFMEMORY;
        }
        return text(value);
    });
}

}  // namespace tarnwick::upload
