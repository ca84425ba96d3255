#include "sendmail/Posting.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/FileSystem.h"
#include "sendmail/MessageText.h"
#include "text/NarrowText.h"

namespace tarnwick::sendmail {
namespace {

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

bool IsLocalAddress(const std::string& rawAddress, const LocalDomains& domains, std::string& user) {
    const std::string address = WithoutBlanks(rawAddress);
    const std::size_t at = address.find('@');
    const std::string domain = at == std::string::npos ? address : address.substr(at + 1);
    if (!text::EqualIgnoringCaseByCharacter(domain, domains.lan) &&
        !text::EqualIgnoringCaseByCharacter(domain, domains.loopback) &&
        !text::EqualIgnoringCaseByCharacter(domain, domains.host))
        return false;
    user = at == std::string::npos ? std::string() : address.substr(0, at);
    return true;
}

bool IsDeliverableUserName(const std::string& user) {
    // Windows drops a trailing dot or space from a name: "ann." would open ann.
    if (user.empty() || user.back() == '.' || user.back() == ' ') return false;
    return user.find_first_of("\\/:") == std::string::npos;
}

bool IsLocalUser(const std::string& mailPath, const std::string& user) {
    return IsDeliverableUserName(user) && platform::DirectoryExists(mailPath + "\\" + user + "\\" + kMailboxFolder);
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
    if (!platform::DirectoryExists(userDir)) return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string target = userDir + "\\qvr" + digits + ".in";
        if (platform::CopyFileNoReplace(messageFile, target)) return true;
        if (!platform::FileExists(target)) return false;
        digits = UniqueTimeDigits();
    }
    return false;
}

namespace {

// The name an upload is attached under: the last component of the name the
// client sent (never a file name here, so no character is refused).
std::string AttachmentName(const char* clientFileName) {
    std::string name = AttachmentBaseName(clientFileName);
    return name.empty() ? std::string(kUnnamedAttachment) : name;
}

// Writes the message into a new file of workDir; false when it cannot be
// written whole. fileName and digits name it.
bool WriteMessageFile(const FormMessage& message, const std::string& workDir, std::string& fileName,
                      std::string& digits) {
    do {
        digits = UniqueTimeDigits();
        fileName = workDir + "\\" + digits + ".in";
    } while (platform::FileExists(fileName));
    std::FILE* file = platform::OpenStdioFile(fileName, "w+b");
    if (file == nullptr) return false;
    message.WriteTo(file);
    const bool written = std::ferror(file) == 0;
    return std::fclose(file) == 0 && written;
}

}  // namespace

PostOutcome CodePageFormMessage::ReadFields(const upload::PostedForm& form) {
    message_.SetFrom(upload::TextOf(form.Value("From")));
    if (!message_.ParseRecipients(upload::TextOf(form.Value("To")))) return PostOutcome::kUnreadableAddress;
    message_.SetSubject(upload::TextOf(form.Value("Subject")));
    message_.SetBody(upload::TextOf(form.Value("Body")));
    return message_.RecipientCount() == 0 ? PostOutcome::kNoRecipient : PostOutcome::kSent;
}

std::vector<std::string> CodePageFormMessage::Addresses() const {
    std::vector<std::string> addresses;
    std::string address, displayName;
    for (long r = 0; message_.GetRecipient(r, address, displayName); ++r) addresses.push_back(address);
    return addresses;
}

void CodePageFormMessage::Attach(const upload::FormField& upload) {
    message_.AddAttachment(AttachmentName(upload.fileName),
                           std::string_view(upload.dataStart, static_cast<std::size_t>(upload.dataLength)));
}

PostOutcome ComposeForm(const upload::PostedForm& form, FormMessage& message) {
    const PostOutcome read = message.ReadFields(form);
    if (read != PostOutcome::kSent) return read;
    // Each upload by its place in the form: two fields, or two files of one
    // field, are two attachments even under one name.
    for (const upload::FormField* field = form.Fields(); field != nullptr; field = field->nextField.get())
        if (field->isFile && field->fileName[0] != '\0' && field->dataLength > 0) message.Attach(*field);
    return PostOutcome::kSent;
}

PostOutcome PostForm(const upload::PostedForm& form, FormMessage& message, std::string& tempPath,
                     const std::string& mailPath, const LocalDomains& domains) {
    const PostOutcome composed = ComposeForm(form, message);
    if (composed != PostOutcome::kSent) return composed;

    // Every local recipient must be able to get a copy before anything is
    // made; a user named twice gets one.
    std::vector<std::string> users;
    std::set<std::string> seenUsers;
    std::string user;
    for (const std::string& address : message.Addresses()) {
        if (!IsLocalAddress(address, domains, user)) continue;   // the mail server's to deliver
        if (!IsLocalUser(mailPath, user)) return PostOutcome::kUnknownLocalUser;
        if (seenUsers.insert(text::FoldCaseByCharacter(user)).second) users.push_back(user);
    }

    // Without a temporary path the working directory would land in the
    // server's current directory.
    std::string workDir;
    if (tempPath.empty() || !CreateFreshDirectory(tempPath, workDir)) return PostOutcome::kNoWorkingDirectory;
    tempPath = workDir;

    std::string messageFile, digits;
    PostOutcome outcome = PostOutcome::kSent;
    if (!WriteMessageFile(message, workDir, messageFile, digits)) {
        outcome = PostOutcome::kWriteFailed;
    } else {
        // Each user gets the copy that can be made; one that cannot fails the post.
        for (const std::string& u : users)
            if (!DeliverCopy(messageFile, mailPath + "\\" + u, digits)) outcome = PostOutcome::kCopyFailed;
    }
    platform::DeleteFileAt(messageFile);
    platform::RemoveDirectoryAt(workDir);
    return outcome;
}

PostOutcome PostForm(const upload::PostedForm& form, std::string& tempPath, const std::string& mailPath,
                     const LocalDomains& domains) {
    CodePageFormMessage message;
    return PostForm(form, message, tempPath, mailPath, domains);
}

}  // namespace tarnwick::sendmail
