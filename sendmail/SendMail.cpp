#include "sendmail/SendMail.h"

#include "frame/ComBoundary.h"
#include "frame/StringConversion.h"
#include "platform/FileSystem.h"

namespace tarnwick::sendmail {

SendMail::SendMail() {
    // A failed conversion leaves the path unset (null), which reads as empty.
    frame::ToWide(platform::TemporaryDirectory(), tempPath_.Put());
}

HRESULT SendMail::OnStartPage(IUnknown* piUnk) {
    HRESULT hr = page_.Bind(piUnk);
    if (FAILED(hr)) return hr;
    hasForm_ = true;
    upload::ReadPostedForm(page_, body_, form_);   // it reports its own failures to the page
    return S_OK;
}

HRESULT SendMail::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

HRESULT SendMail::Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) {
    if (!hasForm_) return E_UNEXPECTED;
    return upload::FormValue(form_, i_bsFieldName, o_pbsFieldValue);
}

HRESULT SendMail::get_sTempPath(BSTR* pVal) { return frame::CopyOut(tempPath_.Get(), pVal); }
HRESULT SendMail::put_sTempPath(BSTR newVal) { return frame::StoreCopy(newVal, tempPath_); }

HRESULT SendMail::get_sMailPath(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return frame::ToWide(mailPath_.Value(), pVal);
}

HRESULT SendMail::put_sMailPath(BSTR newVal) {
    return frame::Guarded([&] {
        mailPath_.Assign(frame::ToNarrow(newVal));
        return S_OK;
    });
}

std::unique_ptr<FormMessage> SendMail::NewMessage(const LocalDomains&) const {
    return std::make_unique<CodePageFormMessage>();
}

HRESULT SendMail::Send(long* bSendSucceed) {
    if (!bSendSucceed) return E_POINTER;
    *bSendSucceed = 0;
    if (!hasForm_) return S_OK;   // no page, no form: nothing to send
    return frame::Guarded([&] {
        LocalDomains domains;
        domains.lan = TARNWICK_LAN_DOMAIN;
        domains.host = TARNWICK_HOST_DOMAIN;
        // A null path is an empty one: nothing is made, nothing is sent.
        std::string tempPath = frame::ToNarrow(tempPath_.Get());
        const std::unique_ptr<FormMessage> message = NewMessage(domains);
        const bool sent = PostForm(form_, *message, tempPath, mailPath_.Value(), domains) == PostOutcome::kSent;
        frame::Bstr working;
        if (SUCCEEDED(frame::ToWide(tempPath, working.Put()))) tempPath_ = std::move(working);
        *bSendSucceed = sent ? 1 : 0;
        return S_OK;
    });
}

}  // namespace tarnwick::sendmail
