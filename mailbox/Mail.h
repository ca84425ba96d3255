// Tarnwick.Mail: read access to one user's mailbox for a page.
#pragma once

#include "Tarnwick_h.h"
#include "frame/DispatchObject.h"
#include "frame/PageBinding.h"
#include "mailbox/MailboxIndex.h"

namespace tarnwick::mailbox {

class Mail : public frame::DispatchObject<IMail, &IID_IMail> {
public:
    HRESULT STDMETHODCALLTYPE OnStartPage(IUnknown* piUnk) override;
    HRESULT STDMETHODCALLTYPE OnEndPage() override;
    HRESULT STDMETHODCALLTYPE GetTitleInfo(long nIndex, BSTR* saTitleInfo) override;
    HRESULT STDMETHODCALLTYPE get_sUserName(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_sUserName(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_sPassWord(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_sPassWord(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE get_sMailPath(BSTR* pVal) override;
    HRESULT STDMETHODCALLTYPE put_sMailPath(BSTR newVal) override;
    HRESULT STDMETHODCALLTYPE GetBody(long nIndex, BSTR* sReturnBody) override;
    HRESULT STDMETHODCALLTYPE GetAllFileName(long nIndex, BSTR* sListFile) override;
    HRESULT STDMETHODCALLTYPE GetFile(long nIndex, BSTR sFileName, long* bSucceed) override;
    HRESULT STDMETHODCALLTYPE get_bDebug(long* pVal) override;
    HRESULT STDMETHODCALLTYPE put_bDebug(long newVal) override;
    HRESULT STDMETHODCALLTYPE get_MailCount(long* pVal) override;
    HRESULT STDMETHODCALLTYPE Encode(BSTR bsOriginalText, BSTR* bsOutEncodeText) override;
    HRESULT STDMETHODCALLTYPE Decode(BSTR bsEncodeText, BSTR* bsOriginalText) override;
    HRESULT STDMETHODCALLTYPE Login(long* bLoginSucceed) override;
    HRESULT STDMETHODCALLTYPE About() override;
    HRESULT STDMETHODCALLTYPE ChangePassWD(BSTR bsOldPassWD, BSTR bsNewPassWd, BSTR bsCheck,
                                           long* nReturn) override;
    HRESULT STDMETHODCALLTYPE AddUser(BSTR bsUserID, BSTR bsPassWD, BSTR bsCheck,
                                      long* nReturn) override;
    HRESULT STDMETHODCALLTYPE DelUser(BSTR bsUserID, long bDelUserOnly, long* nReturn) override;
    HRESULT STDMETHODCALLTYPE DeleteMail(long nIndex) override;

private:
    MailboxIndex Index() const;
    // The common frame of the reading methods: find message nIndex, open
    // it, parse it, let work read it, close everything. S_OK without work
    // when there is no such message, S_FALSE when it cannot be opened.
    template <class Work>
    HRESULT ReadMessage(long nIndex, Work work);

    frame::PageBinding page_;
    frame::Bstr mailPath_;
    frame::Bstr passWord_;
    frame::Bstr userName_;
    long debug_ = 0;
};

}  // namespace tarnwick::mailbox
