#include "sendmail/Posting.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "text/NarrowText.h"
#include "platform/FileSystem.h"
#include "sendmail/MultipartMessage.h"
#include "text/FileNames.h"
#include "upload/FileSaving.h"

namespace tarnwick::sendmail {
namespace {

bool IsSafeUserName(const std::string& user) {
    if (user.empty() || user == "." || user == "..") return false;
    return user.find_first_of("\\/:") == std::string::npos;
}

// address without the spaces and tabs around it: "ann; bob" parses as
// " bob". (A blank after a lead byte could only end a domain that is not
// local anyway.)
std::string WithoutBlanks(const std::string& address) {
    const std::size_t begin = address.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    return address.substr(begin, address.find_last_not_of(" \t") + 1 - begin);
}

// Tries a few names more than two posts in one process could take at once.
constexpr int kNameAttempts = 1000;

// A new directory named base + time digits; a name another post took (in this
// process or another) gives way to the next millisecond's. False when no
// directory can be made there.
bool CreateFreshDirectory(const std::string& base, std::string& made) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string path = base + UniqueTimeDigits();
        if (platform::CreateDirectoryAt(path)) {
            made = path;
            return true;
        }
        if (!platform::FileExists(path)) return false;
    }
    return false;
}

}  // namespace

std::string LocalUserOf(const std::string& rawAddress, const LocalDomains& domains) {
    const std::string address = WithoutBlanks(rawAddress);
    std::size_t at = address.find('@');
    std::string domain = at == std::string::npos ? address : address.substr(at + 1);
    if (!text::EqualIgnoringCaseByCharacter(domain, domains.lan) && !text::EqualIgnoringCaseByCharacter(domain, domains.loopback) &&
        !text::EqualIgnoringCaseByCharacter(domain, domains.host))
        return std::string();
    std::string user = at == std::string::npos ? std::string() : address.substr(0, at);
    return IsSafeUserName(user) ? user : std::string();
}

std::string TimeDigits(const platform::UtcTime& t) {
    char text[96];
    std::snprintf(text, sizeof text, "%i%i%i%i%i%i%i", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    return text;
}

std::string UniqueTimeDigits() {
    static std::mutex lock;
    static std::string previous;
    std::lock_guard<std::mutex> guard(lock);
    std::string digits = TimeDigits(platform::CurrentUtcTime());
    while (digits == previous) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        digits = TimeDigits(platform::CurrentUtcTime());
    }
    previous = digits;
    return digits;
}

bool DeliverCopy(const std::string& messageFile, const std::string& userDir, std::string digits) {
    if (!platform::FileExists(userDir)) return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string target = userDir + "\\qvr" + digits + ".in";
        if (platform::CopyFileNoReplace(messageFile, target)) return true;
        if (!platform::FileExists(target)) return false;
        digits = UniqueTimeDigits();
    }
    return false;
}

bool PostForm(upload::PostedForm& form, std::string& tempPath, const std::string& mailPath,
                 const LocalDomains& domains) {
    MultipartMessage message;
    message.SetFrom(upload::TextOf(form.Value("From")));
    message.ParseRecipients(upload::TextOf(form.Value("To")));
    message.SetSubject(upload::TextOf(form.Value("Subject")));
    message.SetBody(upload::TextOf(form.Value("Body")));

    // Without a temporary path the working directory would land in the
    // server's current directory.
    if (tempPath.empty()) return false;
    std::string workDir;
    if (!CreateFreshDirectory(tempPath, workDir)) return false;
    tempPath = workDir;
    form.SetTargetDir(workDir);

    // Save every uploaded file and attach it under the name saving gave it.
    // SaveFile saves the first field of a name, so a name is handled once (its
    // first field is the one at hand); two uploads saved to one file are
    // attached once.
    const std::int32_t count = form.FieldCount();
    std::vector<std::string> saved;   // removed again at the end
    std::set<std::string> handledNames, attachedPaths;
    for (std::int32_t i = 0; i < count; ++i) {
        std::string name = upload::TextOf(form.NameAt(i));
        if (!handledNames.insert(name).second || !form.IsFile(name)) continue;
        form.SaveFile(name);
        std::string baseName = text::SaveBaseName(upload::TextOf(form.ValueAt(i)));
        if (baseName.empty()) continue;
        std::string path = workDir + "\\" + baseName;
        saved.push_back(path);
        if (attachedPaths.insert(text::FoldCaseByCharacter(path)).second) message.AddPart(path, kAttachmentCode, "");
    }

    // Without a recipient nothing is written, and the clean-up below still
    // removes the uploads and the working directory.
    bool written = false;
    std::string digits, messageFile;   // a name no upload took
    do {
        digits = UniqueTimeDigits();
        messageFile = workDir + "\\" + digits + ".in";
    } while (platform::FileExists(messageFile));
    if (message.RecipientCount() > 0) {
        std::FILE* file = platform::OpenStdioFile(messageFile, "w+b");
        written = file != nullptr;
        if (file) {
            message.WriteTo(file);
            written = std::ferror(file) == 0;
            written = std::fclose(file) == 0 && written;
        }
    }
    if (written) {
        std::string address, displayName;
        std::set<std::string> deliveredUsers;   // a user named twice gets one copy
        for (long r = 0; r < message.RecipientCount(); ++r) {
            if (!message.GetRecipient(r, address, displayName)) continue;
            std::string user = LocalUserOf(address, domains);
            if (user.empty() || !deliveredUsers.insert(text::FoldCaseByCharacter(user)).second) continue;
            DeliverCopy(messageFile, mailPath + "\\" + user, digits);
        }
    }
    platform::DeleteFileAt(messageFile);
    for (const std::string& path : saved) platform::DeleteFileAt(path);
    platform::RemoveDirectoryAt(workDir);
    return written;
}

}  // namespace tarnwick::sendmail
