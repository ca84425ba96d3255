// Tarnwick.MailReader: Tarnwick.Mail for mail as it is written today. The
// same members, mailbox and results, but a message is read by today's header
// rules and its text converted from its own charsets to UTF-16
// (mailbox/current/Reading.h), so names and text outside the system code
// page survive. Its own interface IMailReader adds, after IMail's members, a
// message's HTML and its inline parts by Content-ID; the class's default
// interface stays IMail, and a page reaches every member by name.
#pragma once

#include "mailbox/Mail.h"

namespace tarnwick::mailbox {

class MailReader : public MailMembers<IMailReader, &IID_IMailReader, &IID_IMail> {
public:
    HRESULT STDMETHODCALLTYPE GetTitleInfo(long nIndex, BSTR* saTitleInfo) override;
    HRESULT STDMETHODCALLTYPE GetBody(long nIndex, BSTR* sReturnBody) override;
    HRESULT STDMETHODCALLTYPE GetAllFileName(long nIndex, BSTR* sListFile) override;
    HRESULT STDMETHODCALLTYPE GetFile(long nIndex, BSTR sFileName, long* bSucceed) override;
    // The markup of the first text/html part (current::HtmlBody); results as
    // GetBody's.
    HRESULT STDMETHODCALLTYPE GetHtmlBody(long nIndex, BSTR* sHtmlBody) override;
    // Sends the part whose Content-ID is <sContentId> (the brackets may be
    // left out) as GetFile sends an attachment; results as GetFile's.
    HRESULT STDMETHODCALLTYPE GetInlineFile(long nIndex, BSTR sContentId, long* bSucceed) override;
};

}  // namespace tarnwick::mailbox
