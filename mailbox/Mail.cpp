#include "mailbox/Mail.h"

#include <string>

#include "frame/ComBoundary.h"
#include "frame/StringConversion.h"
#include "mailbox/stored/Reading.h"
#include "mime/stored/Part.h"

namespace tarnwick::mailbox {

using frame::CopyOut;
using frame::StoreCopy;
using frame::ToNarrow;

template <class Itf, const IID* Iid, const IID*... BaseIids>
MailboxIndex MailMembers<Itf, Iid, BaseIids...>::Index() const {
    return MailboxIndex(ToNarrow(mailPath_.Get()), ToNarrow(userName_.Get()));
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::OnStartPage(IUnknown* piUnk) {
    return page_.Bind(piUnk);
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::get_sUserName(BSTR* pVal) { return CopyOut(userName_.Get(), pVal); }
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::put_sUserName(BSTR newVal) { return StoreCopy(newVal, userName_); }
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::get_sPassWord(BSTR* pVal) { return CopyOut(passWord_.Get(), pVal); }
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::put_sPassWord(BSTR newVal) { return StoreCopy(newVal, passWord_); }
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::get_sMailPath(BSTR* pVal) { return CopyOut(mailPath_.Get(), pVal); }
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::put_sMailPath(BSTR newVal) { return StoreCopy(newVal, mailPath_); }

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::get_bDebug(long* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = debug_;
    return S_OK;
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::put_bDebug(long newVal) {
    debug_ = newVal;
    return S_OK;
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::get_MailCount(long* pVal) {
    if (!pVal) return E_POINTER;
    return frame::Guarded([&] {
        *pVal = Index().MailCount();
        return S_OK;
    });
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::DeleteMail(long nIndex) {
    return frame::Guarded([&] {
        Index().DeleteMail(nIndex);
        return S_OK;
    });
}

namespace {

// How Tarnwick.Mail reads a message (see MailMembers::TitleInfoBy): the part tree
// of stored::Part, results in the system code page converted to UTF-16.
struct NarrowRules {
    using Tree = mime::stored::Part;

    static HRESULT Summary(const Tree& root, BSTR* out) {
        std::wstring summary;
        try {
            summary = stored::SummaryLine(root, [](const std::string& value) {
                frame::Bstr wide;
                const HRESULT hr = frame::ToWide(value, wide.Put());
                if (FAILED(hr)) throw hr;
                return std::wstring(wide.Get(), SysStringLen(wide.Get()));
            });
        } catch (HRESULT hr) {
            return hr;
        }
        BSTR result = SysAllocStringLen(summary.data(), static_cast<UINT>(summary.size()));
        if (!result) return E_OUTOFMEMORY;
        *out = result;
        return S_OK;
    }
    static HRESULT Body(const Tree& root, BSTR* out) { return frame::ToWide(stored::BodyText(root), out); }
    static HRESULT AttachmentList(const Tree& root, BSTR* out) {
        return frame::ToWide(stored::AttachmentList(root), out);
    }
    static const mime::stored::Part* Find(const Tree& root, BSTR name) {
        return stored::FindAttachmentByName(root, ToNarrow(name));
    }
    static std::string ContentType(const mime::stored::Part& part) { return stored::AttachmentContentType(part); }
};

}  // namespace

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::GetTitleInfo(long nIndex, BSTR* saTitleInfo) {
    return TitleInfoBy<NarrowRules>(nIndex, saTitleInfo);
}
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::GetBody(long nIndex, BSTR* sReturnBody) {
    return BodyBy<NarrowRules>(nIndex, sReturnBody);
}
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::GetAllFileName(long nIndex, BSTR* sListFile) {
    return AllFileNameBy<NarrowRules>(nIndex, sListFile);
}
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::GetFile(long nIndex, BSTR sFileName, long* bSucceed) {
    return FileBy<NarrowRules>(nIndex, sFileName, bSucceed);
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
void MailMembers<Itf, Iid, BaseIids...>::SendToPage(VARIANT& bytes, const std::string& contentType) {
    IResponse* response = page_.Response();
    if (debug_ != 0 || !response) return;
    frame::Bstr type;
    if (FAILED(frame::ToWide(contentType, type.Put()))) return;
    response->Clear();
    response->put_Buffer(VARIANT_FALSE);
    response->put_ContentType(type.Get());
    response->BinaryWrite(bytes);
    response->Flush();
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::Encode(BSTR bsOriginalText, BSTR* bsOutEncodeText) {
    if (!bsOutEncodeText) return E_POINTER;
    *bsOutEncodeText = nullptr;
    return frame::Guarded([&] { return frame::ToWide(stored::EncodeText(ToNarrow(bsOriginalText)), bsOutEncodeText); });
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::Decode(BSTR bsEncodeText, BSTR* bsOriginalText) {
    if (!bsOriginalText) return E_POINTER;
    *bsOriginalText = nullptr;
    return frame::Guarded([&] { return frame::ToWide(stored::DecodeText(ToNarrow(bsEncodeText)), bsOriginalText); });
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::About() {
    page_.WriteText(stored::AboutFragment());
    return S_OK;
}

// The account operations answer fixed results: the site authenticates users
// and manages accounts by its own means.
template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::Login(long* bLoginSucceed) {
    if (!bLoginSucceed) return E_POINTER;
    *bLoginSucceed = 1;
    return S_OK;
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::ChangePassWD(BSTR, BSTR, BSTR, long* nReturn) {
    if (!nReturn) return E_POINTER;
    *nReturn = 0;
    return S_OK;
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::AddUser(BSTR bsUserID, BSTR bsPassWD, BSTR bsCheck, long* nReturn) {
    return ChangePassWD(bsUserID, bsPassWD, bsCheck, nReturn);
}

template <class Itf, const IID* Iid, const IID*... BaseIids>
HRESULT MailMembers<Itf, Iid, BaseIids...>::DelUser(BSTR, long, long*) { return S_OK; }

template class MailMembers<IMail, &IID_IMail>;
template class MailMembers<IMailReader, &IID_IMailReader, &IID_IMail>;

}  // namespace tarnwick::mailbox
