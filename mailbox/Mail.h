// Tarnwick.Mail: read access to one user's mailbox for a page.
#pragma once

#include <string>

#include "Tarnwick_h.h"
#include "frame/ComBoundary.h"
#include "frame/ComPtr.h"
#include "frame/DispatchObject.h"
#include "frame/PageBinding.h"
#include "mailbox/AttachmentType.h"
#include "mailbox/MailboxIndex.h"

namespace tarnwick::mailbox {

// IMail's members, offered on Itf: IMail itself (Tarnwick.Mail) or an
// interface derived from it (Tarnwick.MailReader's IMailReader, whose IID
// and IMail's are both answered).
template <class Itf, const IID* Iid, const IID*... BaseIids>
class MailMembers : public frame::DispatchObject<Itf, Iid, BaseIids...> {
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

protected:
    // The four members that read a message, written once over Rules, which
    // say how the message is read and what the results are (Mail's rules
    // and MailReader's differ only there):
    //   Rules::Tree                    the part tree built over the message's bytes
    //   HRESULT Summary(const Tree&, BSTR*), Body(...), AttachmentList(...)
    //                                  a new string for the result, or a failure
    //   const Part* Find(const Tree&, BSTR name)  the attachment GetFile sends
    //   std::string ContentType(const Part&)      the media type the part declares
    //                                  (sent only as SentAttachmentType allows)
    // Part is one of the tree types that mime's DecodedCapacity and
    // DecodeBodyInto take.
    template <class Rules>
    HRESULT TitleInfoBy(long nIndex, BSTR* saTitleInfo) {
        if (!saTitleInfo) return E_POINTER;
        *saTitleInfo = nullptr;
        return frame::Guarded([&] {
            return ReadMessage<typename Rules::Tree>(
                nIndex, [&](const typename Rules::Tree& root) { return Rules::Summary(root, saTitleInfo); },
                MessageExtent::Header);
        });
    }

    template <class Rules>
    HRESULT BodyBy(long nIndex, BSTR* sReturnBody) {
        if (!sReturnBody) return E_POINTER;
        *sReturnBody = nullptr;
        try {
            return ReadMessage<typename Rules::Tree>(nIndex, [&](const typename Rules::Tree& root) -> HRESULT {
                BSTR text = nullptr;
                HRESULT hr = Rules::Body(root, &text);
                if (FAILED(hr)) throw hr;
                *sReturnBody = text;
                return S_OK;
            });
        } catch (...) {
            // A page cannot tell a failed decode from an empty body; every
            // handle of the call is closed by now.
            SysFreeString(*sReturnBody);
            *sReturnBody = SysAllocString(L"");
            return S_OK;
        }
    }

    template <class Rules>
    HRESULT AllFileNameBy(long nIndex, BSTR* sListFile) {
        if (!sListFile) return E_POINTER;
        *sListFile = SysAllocString(L"");   // the answer when there is no such message
        if (!*sListFile) return E_OUTOFMEMORY;
        const HRESULT hr = frame::Guarded([&] {
            return ReadMessage<typename Rules::Tree>(nIndex, [&](const typename Rules::Tree& root) -> HRESULT {
                BSTR list = nullptr;
                HRESULT made = Rules::AttachmentList(root, &list);
                if (FAILED(made)) return made;
                SysFreeString(*sListFile);
                *sListFile = list;
                return S_OK;
            });
        });
        if (hr != S_OK) {
            // An unopenable message leaves the result unassigned.
            SysFreeString(*sListFile);
            *sListFile = nullptr;
        }
        return hr;
    }

    template <class Rules>
    HRESULT FileBy(long nIndex, BSTR sFileName, long* bSucceed) {
        if (!bSucceed) return E_POINTER;
        *bSucceed = 0;
        return frame::Guarded([&] {
            return ReadMessage<typename Rules::Tree>(nIndex, [&](const typename Rules::Tree& root) -> HRESULT {
                const auto* part = Rules::Find(root, sFileName);
                if (!part) return S_OK;
                // Decoded straight into the array that is sent. The codec
                // functions are found in the tree's namespace, for either tree.
                frame::Variant bytes;
                if (FAILED(frame::MakeByteArray(
                        DecodedCapacity(*part), [part](char* out) { return DecodeBodyInto(*part, out); }, &bytes)))
                    return S_OK;   // nothing can be sent
                // Never a type that could run in the site's pages.
                SendToPage(bytes.Ref(), SentAttachmentType(Rules::ContentType(*part)));
                *bSucceed = 1;
                return S_OK;
            });
        });
    }

private:
    MailboxIndex Index() const;
    // The common frame of the reading members: find message nIndex, open
    // it, build the tree over it, let work read it, close everything. S_OK
    // without work when there is no such message, S_FALSE when it cannot be
    // opened.
    template <class Tree, class Work>
    HRESULT ReadMessage(long nIndex, Work work, MessageExtent extent = MessageExtent::Whole) {
        HRESULT result = S_OK;
        switch (Index().template ReadMessage<Tree>(nIndex, [&](const Tree& root) { result = work(root); }, extent)) {
        case ReadOutcome::NoMessage:
            return S_OK;
        case ReadOutcome::Unopenable:
            return S_FALSE;
        case ReadOutcome::Opened:
            break;
        }
        return result;
    }

    // GetFile's response for a found attachment: bytes as one binary
    // response of contentType, unless bDebug is set or no page is bound.
    void SendToPage(VARIANT& bytes, const std::string& contentType);

    frame::PageBinding page_;
    frame::Bstr mailPath_;
    frame::Bstr passWord_;
    frame::Bstr userName_;
    long debug_ = 0;
};

// Instantiated once, in Mail.cpp.
extern template class MailMembers<IMail, &IID_IMail>;
extern template class MailMembers<IMailReader, &IID_IMailReader, &IID_IMail>;

// Tarnwick.Mail.
class Mail : public MailMembers<IMail, &IID_IMail> {};

}  // namespace tarnwick::mailbox
