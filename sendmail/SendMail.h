// Tarnwick.SendMail: composes a posted message and delivers it locally.
#pragma once

#include <memory>

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "text/NarrowText.h"
#include "frame/PageBinding.h"
#include "sendmail/Posting.h"
#include "upload/FormRequest.h"
#include "upload/PostedForm.h"

namespace tarnwick::sendmail {

class SendMail
    : public frame::DispatchObject<ISendMail, &IID_ISendMail> {
public:
    SendMail();

    HRESULT STDMETHODCALLTYPE OnStartPage(IUnknown* piUnk) override;
    HRESULT STDMETHODCALLTYPE OnEndPage() override;
    HRESULT STDMETHODCALLTYPE Send(long* bSendSucceed) override;
    HRESULT STDMETHODCALLTYPE Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) override;
    HRESULT STDMETHODCALLTYPE get_sTempPath(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_sTempPath(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_sMailPath(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_sMailPath(BSTR newVal) override;

protected:
    // The message a post is made into: the form's text in the system code
    // page, as this class has always written it.
    virtual std::unique_ptr<FormMessage> NewMessage(const LocalDomains& domains) const;

    upload::PostedForm form_;
    bool hasForm_ = false;       // a page was bound and its form read

private:
    text::NarrowBuffer mailPath_;
    frame::Bstr tempPath_;
    frame::PageBinding page_;
    upload::RequestBody body_;   // the posted bytes the form points into
};

}  // namespace tarnwick::sendmail
