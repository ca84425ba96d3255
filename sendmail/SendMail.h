// Tarnwick.SendMail: composes a posted message and delivers it locally.
#pragma once

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "text/NarrowText.h"
#include "frame/PageBinding.h"
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

private:
    text::NarrowBuffer mailPath_;
    frame::Bstr tempPath_;
    frame::PageBinding page_;
    upload::RequestBody body_;   // the posted bytes the form points into
    upload::PostedForm form_;
    bool hasForm_ = false;       // a page was bound and its form read
};

}  // namespace tarnwick::sendmail
