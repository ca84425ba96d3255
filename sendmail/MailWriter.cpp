#include "sendmail/MailWriter.h"

#include "sendmail/Utf8Message.h"
#include "upload/FormRequest.h"

namespace tarnwick::sendmail {

HRESULT MailWriter::Form(VARIANT i_bsFieldName, BSTR* o_pbsFieldValue) {
    if (!hasForm_) return E_UNEXPECTED;
    return upload::FormValue(form_, i_bsFieldName, o_pbsFieldValue, upload::FormCharset::kUtf8);
}

std::unique_ptr<FormMessage> MailWriter::NewMessage(const LocalDomains& domains) const {
    return std::make_unique<Utf8FormMessage>(domains.host);
}

}  // namespace tarnwick::sendmail
