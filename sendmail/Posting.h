// Posting a composed form: the message is written into a fresh working
// directory under the temporary path and copied into the directory of every
// recipient whose domain is local.
#pragma once

#include <string>

#include "platform/Clock.h"
#include "upload/PostedForm.h"

namespace tarnwick::sendmail {

// The domains delivered to locally, compared in this order.
struct LocalDomains {
    std::string lan;
    std::string loopback = "127.0.0.1";
    std::string host;
};

// The user name of an address whose domain is local (the text before the
// first "@"), or empty; spaces and tabs around the address do not count. A
// name that could leave the mail store (a path separator, a drive colon, "."
// or "..") is never a local user.
std::string LocalUserOf(const std::string& address, const LocalDomains& domains);

// Year, month, day, hour, minute, second and milliseconds as plain decimal
// numbers without separators ("%i" seven times).
std::string TimeDigits(const platform::UtcTime& time);

// The current time's digits, different from the previous result in this
// process: two posts in one millisecond must not share names.
std::string UniqueTimeDigits();

// Copies the message file into userDir as "qvr" + digits + ".in". When a file
// of that name exists already (another message's), the copy takes the next
// free time name instead, so no message is lost. False when the user has no
// directory or the copy cannot be made.
bool DeliverCopy(const std::string& messageFile, const std::string& userDir, std::string digits);

// Composes the form's message and delivers it. tempPath becomes the working
// directory of this post. Each uploaded file is saved there and attached once.
// Returns false, making nothing, when tempPath is empty or no working
// directory can be made there (a name another post holds gives way to the
// next millisecond's), and false when the message has no recipient or its
// file cannot be written. Whatever it made (the saved uploads, the message file and the
// working directory) is removed again in every case; tempPath still names the
// working directory afterwards.
bool PostForm(upload::PostedForm& form, std::string& tempPath, const std::string& mailPath,
                 const LocalDomains& domains);

}  // namespace tarnwick::sendmail
