#include "sendmail/Posting.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "frame/NarrowText.h"
#include "platform/FileSystem.h"
#include "sendmail/MultipartMessage.h"
#include "sendmail/PartEncoder.h"
#include "upload/FileSaving.h"

namespace tarnwick::sendmail {
namespace {

bool IsSafeUserName(const std::string& user) {
    if (user.empty() || user == "." || user == "..") return false;
    return user.find_first_of("\\/:") == std::string::npos;
}

}  // namespace

std::string LocalUserOf(const std::string& address, const LocalDomains& domains) {
    std::size_t at = address.find('@');
    std::string domain = at == std::string::npos ? address : address.substr(at + 1);
    if (!frame::EqualIgnoringCaseByCharacter(domain, domains.lan) && !frame::EqualIgnoringCaseByCharacter(domain, domains.loopback) &&
        !frame::EqualIgnoringCaseByCharacter(domain, domains.host))
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

bool PostForm(PostedForm& form, std::string& tempPath, const std::string& mailPath,
                 const LocalDomains& domains) {
    MultipartMessage message;
    message.SetFrom(form.Field("From"));
    message.ParseRecipients(form.Field("To"));
    message.SetSubject(form.Field("Subject"));
    message.SetBody(form.Field("Body"));

    const std::string workDir = tempPath + UniqueTimeDigits();
    platform::CreateDirectoryAt(workDir);
    tempPath = workDir;
    form.SetTargetDir(workDir);

    // Save every uploaded file and attach it under the name saving gave it.
    const long count = form.FieldCount();
    std::vector<std::string> saved;
    for (long i = 0; i < count; ++i) {
        std::string name = form.NameAt(i);
        if (!form.IsFile(name)) continue;
        form.SaveFile(name);
        std::string baseName = upload::SaveBaseName(form.ValueAt(i));
        if (baseName.empty()) continue;
        std::string path = workDir + "\\" + baseName;
        message.AddPart(path, kAttachmentCode, "");
        saved.push_back(path);
    }
    if (message.RecipientCount() == 0) return false;

    const std::string digits = UniqueTimeDigits();
    const std::string messageFile = workDir + "\\" + digits + ".in";
    std::FILE* file = platform::OpenStdioFile(messageFile, "w+b");
    bool written = file != nullptr;
    if (file) {
        message.WriteTo(file);
        written = std::ferror(file) == 0;
        written = std::fclose(file) == 0 && written;
    }
    if (written) {
        std::string address, displayName;
        for (long r = 0; r < message.RecipientCount(); ++r) {
            if (!message.GetRecipient(r, address, displayName)) continue;
            std::string user = LocalUserOf(address, domains);
            if (user.empty()) continue;
            // Refused when the copy exists already (the same user named
            // twice) or the user has no directory.
            platform::CopyFileNoReplace(messageFile, mailPath + "\\" + user + "\\qvr" + digits + ".in");
        }
    }
    platform::DeleteFileAt(messageFile);
    for (const std::string& path : saved) platform::DeleteFileAt(path);
    platform::RemoveDirectoryAt(workDir);
    return written;
}

}  // namespace tarnwick::sendmail
