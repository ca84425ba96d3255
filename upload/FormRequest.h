// Reading a page's posted form, shared by the Upload and SendMail objects:
// the body as the Request object hands it over, its parse, the failure texts
// a page shows, and Form's look-up by name or position.
#pragma once

#include <windows.h>
#include <asptlb.h>

#include <cstdint>

#include "frame/PageBinding.h"
#include "upload/PostedForm.h"

namespace tarnwick::upload {

// The posted bytes: Request.TotalBytes, then BinaryRead of that many bytes,
// kept as the array BinaryRead returned, locked while held.
class RequestBody {
public:
    RequestBody() = default;
    ~RequestBody() { Release(); }
    RequestBody(const RequestBody&) = delete;
    RequestBody& operator=(const RequestBody&) = delete;

    // False when the body cannot be read. Never more bytes are taken than
    // the array holds.
    bool Read(IRequest* request);
    void Release();
    const char* Data() const { return data_; }
    std::int32_t Length() const { return data_ ? length_ : 0; }

private:
    SAFEARRAY* array_ = nullptr;
    const char* data_ = nullptr;
    std::int32_t length_ = 0;
};

// Reads and parses the bound page's body into body and form. When either
// fails, the failure text ("InitPost()" or "InitMime()" and the word for
// "failed") is written into the page, the response is ended, and S_FALSE is
// returned; S_OK otherwise.
HRESULT ReadPostedForm(frame::PageBinding& page, RequestBody& body, PostedForm& form);

// How a form's bytes are read: in the system code page, or as UTF-8 (a
// name or value that is not valid UTF-8 then read in the system code page).
enum class FormCharset { kSystemCodePage, kUtf8 };

// Form(name or index): a text key looks up by name (S_FALSE, out null, when
// the field is missing or empty); any other key is coerced to an index (an
// empty string with S_FALSE for a missing or empty field).
HRESULT FormValue(const PostedForm& form, const VARIANT& key, BSTR* out,
                  FormCharset charset = FormCharset::kSystemCodePage);

}  // namespace tarnwick::upload
