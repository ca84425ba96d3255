// Tarnwick.MailReader: Tarnwick.Mail for mail as it is written today. The
// same interface, mailbox and results, but a message is read by today's
// header rules and its text converted from its own charsets to UTF-16
// (mailbox/UnicodeMessageReader.h), so names and text outside the system
// code page survive.
#pragma once

#include "mailbox/Mail.h"

namespace tarnwick::mailbox {

class MailReader : public Mail {
public:
    HRESULT STDMETHODCALLTYPE GetTitleInfo(long nIndex, BSTR* saTitleInfo) override;
    HRESULT STDMETHODCALLTYPE GetBody(long nIndex, BSTR* sReturnBody) override;
    HRESULT STDMETHODCALLTYPE GetAllFileName(long nIndex, BSTR* sListFile) override;
    HRESULT STDMETHODCALLTYPE GetFile(long nIndex, BSTR sFileName, long* bSucceed) override;
};

}  // namespace tarnwick::mailbox
