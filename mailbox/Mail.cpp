#include "mailbox/Mail.h"

#include <cstring>

#include "frame/ComBoundary.h"
#include "frame/StringConversion.h"
#include "mailbox/MessageReader.h"
#include "mime/MimePart.h"

namespace tarnwick::mailbox {

using frame::CopyOut;
using frame::StoreCopy;
using frame::ToNarrow;

MailboxIndex Mail::Index() const { return MailboxIndex(ToNarrow(mailPath_.Get()), ToNarrow(userName_.Get())); }

HRESULT Mail::OnStartPage(IUnknown* piUnk) {
    frame::ComPtr<IScriptingContext> context;
    return page_.Bind(piUnk, context);
}

HRESULT Mail::OnEndPage() {
    page_.Unbind();
    return S_OK;
}

HRESULT Mail::get_sUserName(BSTR* pVal) { return CopyOut(userName_.Get(), pVal); }
HRESULT Mail::put_sUserName(BSTR newVal) { return StoreCopy(newVal, userName_); }
HRESULT Mail::get_sPassWord(BSTR* pVal) { return CopyOut(passWord_.Get(), pVal); }
HRESULT Mail::put_sPassWord(BSTR newVal) { return StoreCopy(newVal, passWord_); }
HRESULT Mail::get_sMailPath(BSTR* pVal) { return CopyOut(mailPath_.Get(), pVal); }
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
    return frame::Guarded([&] {
        *pVal = Index().MailCount();
        return S_OK;
    });
}

HRESULT Mail::DeleteMail(long nIndex) {
    return frame::Guarded([&] {
        Index().DeleteMail(nIndex);
        return S_OK;
    });
}

template <class Work>
HRESULT Mail::ReadMessage(long nIndex, Work work) {
    MessageView view;   // closed on every path by its destructor
    switch (Index().OpenMessage(nIndex, view)) {
    case ReadOutcome::NoMessage:
        return S_OK;
    case ReadOutcome::Unopenable:
        return S_FALSE;
    case ReadOutcome::Opened:
        break;
    }
    mime::MimePart root(view.Begin(), view.End());
    return work(root);
}

HRESULT Mail::GetTitleInfo(long nIndex, BSTR* saTitleInfo) {
    if (!saTitleInfo) return E_POINTER;
    *saTitleInfo = nullptr;
    return frame::Guarded([&] {
        return ReadMessage(nIndex, [&](const mime::MimePart& root) -> HRESULT {
            // Each value is converted on its own, so a value that ends in half
            // a double-byte character cannot swallow the separator.
            std::wstring summary;
            for (const std::string& value : SummaryValues(root)) {
                frame::Bstr wide;
                HRESULT hr = frame::ToWide(value, wide.Put());
                if (FAILED(hr)) return hr;
                summary.append(wide.Get(), SysStringLen(wide.Get()));
                summary += L"||||";
            }
            BSTR result = SysAllocStringLen(summary.data(), static_cast<UINT>(summary.size()));
            if (!result) return E_OUTOFMEMORY;
            *saTitleInfo = result;
            return S_OK;
        });
    });
}

HRESULT Mail::GetBody(long nIndex, BSTR* sReturnBody) {
    if (!sReturnBody) return E_POINTER;
    *sReturnBody = nullptr;
    try {
        return ReadMessage(nIndex, [&](const mime::MimePart& root) -> HRESULT {
            BSTR text = nullptr;
            HRESULT hr = frame::ToWide(BodyText(root), &text);
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

HRESULT Mail::GetAllFileName(long nIndex, BSTR* sListFile) {
    if (!sListFile) return E_POINTER;
    *sListFile = SysAllocString(L"");   // the answer when there is no such message
    if (!*sListFile) return E_OUTOFMEMORY;
    const HRESULT hr = frame::Guarded([&] {
        return ReadMessage(nIndex, [&](const mime::MimePart& root) -> HRESULT {
            BSTR list = nullptr;
            HRESULT converted = frame::ToWide(AttachmentList(root), &list);
            if (FAILED(converted)) return converted;
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

HRESULT Mail::GetFile(long nIndex, BSTR sFileName, long* bSucceed) {
    if (!bSucceed) return E_POINTER;
    *bSucceed = 0;
    return frame::Guarded([&] {
        return ReadMessage(nIndex, [&](const mime::MimePart& root) -> HRESULT {
            const mime::MimePart* part = FindAttachmentByName(root, ToNarrow(sFileName));
            if (!part) return S_OK;
            // Decoded straight into the array that is sent.
            frame::Variant bytes;
            if (FAILED(frame::MakeByteArray(
                    mime::DecodedCapacity(*part), [part](char* out) { return mime::DecodeBodyInto(*part, out); },
                    &bytes)))
                return S_OK;   // nothing can be sent

            IResponse* response = page_.Response();
            if (debug_ == 0 && response) {
                frame::Bstr type;
                if (SUCCEEDED(frame::ToWide(AttachmentContentType(*part), type.Put()))) {
                    response->Clear();
                    response->put_Buffer(VARIANT_FALSE);
                    response->put_ContentType(type.Get());
                    response->BinaryWrite(bytes.Ref());
                    response->Flush();
                }
            }
            *bSucceed = 1;
            return S_OK;
        });
    });
}

HRESULT Mail::Encode(BSTR bsOriginalText, BSTR* bsOutEncodeText) {
    if (!bsOutEncodeText) return E_POINTER;
    *bsOutEncodeText = nullptr;
    return frame::Guarded([&] { return frame::ToWide(EncodeText(ToNarrow(bsOriginalText)), bsOutEncodeText); });
}

HRESULT Mail::Decode(BSTR bsEncodeText, BSTR* bsOriginalText) {
    if (!bsOriginalText) return E_POINTER;
    *bsOriginalText = nullptr;
    return frame::Guarded([&] { return frame::ToWide(DecodeText(ToNarrow(bsEncodeText)), bsOriginalText); });
}

HRESULT Mail::About() {
    page_.WriteText(AboutFragment());
    return S_OK;
}

// The account operations answer fixed results: the site authenticates users
// and manages accounts by its own means.
HRESULT Mail::Login(long* bLoginSucceed) {
    if (!bLoginSucceed) return E_POINTER;
    *bLoginSucceed = 1;
    return S_OK;
}

HRESULT Mail::ChangePassWD(BSTR, BSTR, BSTR, long* nReturn) {
    if (!nReturn) return E_POINTER;
    *nReturn = 0;
    return S_OK;
}

HRESULT Mail::AddUser(BSTR bsUserID, BSTR bsPassWD, BSTR bsCheck, long* nReturn) {
    return ChangePassWD(bsUserID, bsPassWD, bsCheck, nReturn);
}

HRESULT Mail::DelUser(BSTR, long, long*) { return S_OK; }

}  // namespace tarnwick::mailbox
