#include "module/ClassTable.h"

#include "Tarnwick_h.h"
#include "hanzi/HanZi.h"
#include "mailbox/Mail.h"
#include "mailbox/MailReader.h"
#include "sendmail/MailWriter.h"
#include "sendmail/SendMail.h"
#include "upload/Upload.h"

namespace tarnwick::module {
namespace {

frame::ClassFactory mailFactory(&mailbox::Mail::Create<mailbox::Mail>);
frame::ClassFactory hanZiFactory(&hanzi::HanZi::Create<hanzi::HanZi>);
frame::ClassFactory sendMailFactory(&sendmail::SendMail::Create<sendmail::SendMail>);
frame::ClassFactory uploadFactory(&upload::Upload::Create<upload::Upload>);
frame::ClassFactory mailReaderFactory(&mailbox::MailReader::Create<mailbox::MailReader>);
frame::ClassFactory mailWriterFactory(&sendmail::SendMail::Create<sendmail::MailWriter>);

const ClassEntry classTable[] = {
    {&CLSID_Mail, "Mail", &mailFactory},
    {&CLSID_HanZi, "HanZi", &hanZiFactory},
    {&CLSID_SendMail, "SendMail", &sendMailFactory},
    {&CLSID_Upload, "Upload", &uploadFactory},
    {&CLSID_MailReader, "MailReader", &mailReaderFactory},
    {&CLSID_MailWriter, "MailWriter", &mailWriterFactory},
};

}  // namespace

const ClassEntry* ClassTableBegin() { return classTable; }
const ClassEntry* ClassTableEnd() { return classTable + sizeof classTable / sizeof classTable[0]; }

const ClassEntry* FindClass(REFCLSID clsid) {
    for (const ClassEntry* e = ClassTableBegin(); e != ClassTableEnd(); ++e)
        if (*e->clsid == clsid) return e;
    return nullptr;
}

}  // namespace tarnwick::module
