#include "sendmail/SendMail.h"

#include "frame/StringConversion.h"
#include "platform/FileSystem.h"

namespace tarnwick::sendmail {

SendMail::SendMail() {
    // A failed conversion leaves the path unset (null), which reads as empty.
    frame::ToWide(platform::TemporaryDirectory(), &tempPath_);
}

SendMail::~SendMail() {
    // Page objects go first (by the binding's own destructor order), then
    // the temp path and the private Upload object.
    SysFreeString(tempPath_);
}

HRESULT SendMail::OnStartPage(IUnknown* piUnk) {
    frame::ComPtr<IScriptingContext> context;
    HRESULT hr = page_.Bind(piUnk, context);
    if (FAILED(hr)) return hr;
    upload_.Reset();   // an earlier page's form is done with
    hr = CoCreateInstance(CLSID_Upload, nullptr, CLSCTX_INPROC_SERVER, IID_IUpload,
                          reinterpret_cast<void**>(upload_.Put()));
    if (FAILED(hr)) {
        page_.Unbind();
        return hr;
    }
    upload_->OnStartPage(piUnk);   // it reports its own failures to the page
    pageStarted_ = true;
    return S_OK;
}

HRESULT SendMail::OnEndPage() {
    pageStarted_ = false;
    page_.Unbind();
    if (upload_) upload_->OnEndPage();
    return S_OK;
}

HRESULT SendMail::Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) {
    if (!upload_) return E_UNEXPECTED;
    return upload_->Form(i_bsFieldName, o_pbsFieldValue);
}

HRESULT SendMail::get_sTempPath(BSTR* pVal) { return frame::CopyOut(tempPath_, pVal); }
HRESULT SendMail::put_sTempPath(BSTR newVal) { return frame::StoreCopy(newVal, tempPath_); }

HRESULT SendMail::get_sMailPath(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    return frame::ToWide(mailPath_.Value(), pVal);
}

HRESULT SendMail::put_sMailPath(BSTR newVal) {
    try {
        mailPath_.Assign(frame::ToNarrow(newVal));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Composing and delivering come with the message composer.
HRESULT SendMail::Send(long*) { return E_NOTIMPL; }

}  // namespace tarnwick::sendmail
