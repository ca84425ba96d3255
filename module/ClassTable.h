// The module's class table: one row per class, in the order Mail, HanZi,
// SendMail, Upload, MailReader, MailWriter. Registration, class-object
// look-up and creation all go through it.
#pragma once

#include "frame/ClassFactory.h"

namespace tarnwick::module {

struct ClassEntry {
    const CLSID* clsid;
    const char* name;          // "Mail" gives Tarnwick.Mail, Tarnwick.Mail.1, "Mail Class"
    frame::ClassFactory* factory;
};

const ClassEntry* ClassTableBegin();
const ClassEntry* ClassTableEnd();
const ClassEntry* FindClass(REFCLSID clsid);

}  // namespace tarnwick::module
