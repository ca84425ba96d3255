#include "mailbox/Mail.h"

#include "frame/StringConversion.h"

namespace tarnwick::mailbox {

using frame::CopyOut;
using frame::StoreCopy;
using frame::ToNarrow;

Mail::~Mail() {
    SysFreeString(mailPath_);
    SysFreeString(passWord_);
    SysFreeString(userName_);
}

MailboxIndex Mail::Index() const { return MailboxIndex(ToNarrow(mailPath_), ToNarrow(userName_)); }

HRESULT Mail::OnStartPage(IUnknown* piUnk) {
    frame::ComPtr<IScriptingContext> context;
    return page_.Bind(piUnk, context);
}

HRESULT Mail::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

HRESULT Mail::get_sUserName(BSTR* pVal) { return CopyOut(userName_, pVal); }
HRESULT Mail::put_sUserName(BSTR newVal) { return StoreCopy(newVal, userName_); }
HRESULT Mail::get_sPassWord(BSTR* pVal) { return CopyOut(passWord_, pVal); }
HRESULT Mail::put_sPassWord(BSTR newVal) { return StoreCopy(newVal, passWord_); }
HRESULT Mail::get_sMailPath(BSTR* pVal) { return CopyOut(mailPath_, pVal); }
HRESULT Mail::put_sMailPath(BSTR newVal) { return StoreCopy(newVal, mailPath_); }

HRESULT Mail::get_bDebug(long* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = debug_;
    return S_OK;
}

HRESULT Mail::put_bDebug(long newVal) {
    debug_ = newVal;
    return S_OK;
}

HRESULT Mail::get_MailCount(long* pVal) {
    if (!pVal) return E_POINTER;
    try {
        *pVal = Index().MailCount();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT Mail::DeleteMail(long nIndex) {
    try {
        Index().DeleteMail(nIndex);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Reading methods, the account operations, Encode/Decode and About come with
// the message reader.
HRESULT Mail::GetTitleInfo(long, BSTR*) { return E_NOTIMPL; }
HRESULT Mail::GetBody(long, BSTR*) { return E_NOTIMPL; }
HRESULT Mail::GetAllFileName(long, BSTR*) { return E_NOTIMPL; }
HRESULT Mail::GetFile(long, BSTR, long*) { return E_NOTIMPL; }
HRESULT Mail::Encode(BSTR, BSTR*) { return E_NOTIMPL; }
HRESULT Mail::Decode(BSTR, BSTR*) { return E_NOTIMPL; }
HRESULT Mail::Login(long*) { return E_NOTIMPL; }
HRESULT Mail::About() { return E_NOTIMPL; }
HRESULT Mail::ChangePassWD(BSTR, BSTR, BSTR, long*) { return E_NOTIMPL; }
HRESULT Mail::AddUser(BSTR, BSTR, BSTR, long*) { return E_NOTIMPL; }
HRESULT Mail::DelUser(BSTR, long, long*) { return E_NOTIMPL; }

}  // namespace tarnwick::mailbox
