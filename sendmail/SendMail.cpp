#include "sendmail/SendMail.h"

#include "frame/StringConversion.h"
#include "platform/FileSystem.h"
#include "sendmail/Posting.h"

namespace tarnwick::sendmail {

SendMail::SendMail() {
    // A failed conversion leaves the path unset (null), which reads as empty.
    frame::ToWide(platform::TemporaryDirectory(), &tempPath_);
}

SendMail::~SendMail() {
    // The members then release the page objects and, last, the private
    // Upload object.
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
    return S_OK;
}

HRESULT SendMail::OnEndPage() {
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

namespace {

// The posted form as read through the private Upload object. Failed calls
// read as a missing field, a count of 0 or a field that is no file.
class UploadForm : public PostedForm {
public:
    explicit UploadForm(IUpload* upload) : upload_(upload) {}

    std::string Field(const std::string& name) override {
        frame::Bstr wideName;
        if (FAILED(frame::ToWide(name, wideName.Put()))) return std::string();
        VARIANT key;
        VariantInit(&key);
        key.vt = VT_BSTR;
        key.bstrVal = wideName.Get();
        return Value(key);
    }
    void SetTargetDir(const std::string& dir) override {
        frame::Bstr wide;
        if (SUCCEEDED(frame::ToWide(dir, wide.Put()))) upload_->put_TargetDir(wide.Get());
    }
    long FieldCount() override {
        long count = 0;
        return SUCCEEDED(upload_->get_TotalCount(&count)) ? count : 0;
    }
    std::string NameAt(long index) override {
        frame::Bstr name;
        if (upload_->FormName(index, name.Put()) != S_OK) return std::string();
        return frame::ToNarrow(name.Get());
    }
    bool IsFile(const std::string& name) override {
        frame::Bstr wide;
        VARIANT_BOOL isFile = VARIANT_FALSE;
        return SUCCEEDED(frame::ToWide(name, wide.Put())) &&
               SUCCEEDED(upload_->IsFile(wide.Get(), &isFile)) && isFile != VARIANT_FALSE;
    }
    void SaveFile(const std::string& name) override {
        frame::Bstr wide;
        if (SUCCEEDED(frame::ToWide(name, wide.Put()))) upload_->SaveFile(wide.Get());
    }
    std::string ValueAt(long index) override {
        VARIANT key;
        VariantInit(&key);
        key.vt = VT_I4;
        key.lVal = index;
        return Value(key);
    }

private:
    std::string Value(const VARIANT& key) {
        frame::Bstr value;
        if (upload_->Form(key, value.Put()) != S_OK) return std::string();
        return frame::ToNarrow(value.Get());
    }

    IUpload* upload_;
};

}  // namespace

HRESULT SendMail::Send(long* bSendSucceed) {
    if (!bSendSucceed) return E_POINTER;
    *bSendSucceed = 0;
    if (!upload_) return S_OK;   // no page, no form: nothing to send
    try {
        LocalDomains domains;
        domains.lan = TARNWICK_LAN_DOMAIN;
        domains.host = TARNWICK_HOST_DOMAIN;
        // A null path is an empty one: nothing is made, nothing is sent.
        std::string tempPath = frame::ToNarrow(tempPath_);
        UploadForm form(upload_.Get());
        bool sent = PostForm(form, tempPath, mailPath_.Value(), domains);
        frame::Bstr working;
        if (SUCCEEDED(frame::ToWide(tempPath, working.Put()))) {
            SysFreeString(tempPath_);
            tempPath_ = working.Detach();
        }
        *bSendSucceed = sent ? 1 : 0;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

}  // namespace tarnwick::sendmail
