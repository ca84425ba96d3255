// Tarnwick.SendMail: composes a posted message and delivers it locally.
#pragma once

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "text/NarrowText.h"
#include "frame/PageBinding.h"

namespace tarnwick::sendmail {

class SendMail
    : public frame::DispatchObject<ISendMail, &IID_ISendMail> {
public:
    SendMail();
    ~SendMail() override;

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
    BSTR tempPath_ = nullptr;
    frame::ComPtr<IUpload> upload_;   // reads the posted form for us
    frame::PageBinding page_;         // released before the Upload object
};

}  // namespace tarnwick::sendmail
