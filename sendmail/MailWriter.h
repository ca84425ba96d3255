// Tarnwick.MailWriter: Tarnwick.SendMail for mail as it is written today.
// The same members, page binding and delivery, but the posted form is read
// as UTF-8 (a value that is not valid UTF-8 read in the system code page),
// Cc and Bcc are read besides To, and the message is written in UTF-8 with
// ASCII header lines (sendmail/Utf8Message.h).
#pragma once

#include "sendmail/SendMail.h"

namespace tarnwick::sendmail {

class MailWriter : public SendMail {
public:
    HRESULT STDMETHODCALLTYPE Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) override;

protected:
    std::unique_ptr<FormMessage> NewMessage(const LocalDomains& domains) const override;
};

}  // namespace tarnwick::sendmail
