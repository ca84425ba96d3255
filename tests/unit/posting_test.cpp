#include "sendmail/Posting.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "mime/Codecs.h"
#include "sendmail/Utf8Message.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::sendmail {
namespace {

// A posted form: its entries written as a multipart/form-data body, parsed
// the way a page's body is.
class FakeForm : public upload::PostedForm {
public:
    struct Entry {
        std::string name, value, fileBytes;   // value: the file name of a file field
        bool isFile;
        std::string fileType = "application/octet-stream";
    };
    std::vector<Entry> entries;

    // The form of the entries as they are now.
    upload::PostedForm& Posted() {
        body_ = "";
        for (const Entry& e : entries) {
            body_ += "--B7\r\nContent-Disposition: form-data; name=\"" + e.name + "\"";
            if (e.isFile) body_ += "; filename=\"" + e.value + "\"\r\nContent-Type: " + e.fileType;
            body_ += "\r\n\r\n" + (e.isFile ? e.fileBytes : e.value) + "\r\n";
        }
        body_ += "--B7--\r\n";
        Parse(body_.data(), static_cast<std::int32_t>(body_.size()));
        return *this;
    }

private:
    std::string body_;
};

LocalDomains Domains() {
    LocalDomains d;
    d.lan = "192.168.0.1";
    d.host = "mail.example";
    return d;
}

std::vector<std::string> Files(const std::string& dir) {
    std::vector<std::string> names;
    if (!std::filesystem::exists(dir)) return names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename() != kMailboxFolder) names.push_back(e.path().filename().string());
    return names;
}

TEST(TimeDigits, AreSevenPlainNumbers) {
    EXPECT_EQ(TimeDigits({2001, 3, 5, 7, 8, 9, 12}), "20013578912");
    EXPECT_EQ(TimeDigits({2026, 12, 31, 23, 59, 59, 999}), "20261231235959999");
    EXPECT_NE(UniqueTimeDigits(), UniqueTimeDigits());
}

// The user an address is delivered to: local and deliverable, or "".
std::string LocalUserOf(const std::string& address, const LocalDomains& domains) {
    std::string user;
    return IsLocalAddress(address, domains, user) && IsDeliverableUserName(user) ? user : std::string();
}

TEST(LocalUserOf, AcceptsOnlyLocalDomainsAndSafeNames) {
    struct Case { const char* address; const char* user; } cases[] = {
        {"ann@127.0.0.1", "ann"},
        {"ann@192.168.0.1", "ann"},
        {"Ann@MAIL.Example", "Ann"},
        {"ann@example.com", ""},
        {"mail.example", ""},            // no "@": the whole address is the domain, no user
        {" bob@mail.example", "bob"},
        {"..@mail.example", ""},
        {"..\\..\\x@mail.example", ""},
        {"a/b@mail.example", ""},
        {"c:x@mail.example", ""},
        {"@mail.example", ""},
        {"\xD6\xD0@mail.example", "\xD6\xD0"},
        {"ann.@mail.example", ""},       // Windows would open ann's folder
        {"ann @mail.example", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(LocalUserOf(c.address, Domains()), c.user) << c.address;
}

class PostFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp = scratch.Path() + "tmp/";
        mail = scratch.Path() + "mail";
        test::MakeDirs(temp);
        test::MakeDirs(mail + "/ann/mailbox");
        test::MakeDirs(mail + "/Bob/mailbox");
    }
    test::ScratchDir scratch;
    std::string temp, mail;
};

// The one copy a user got, or "" when there is none (a failure is reported).
std::string OnlyCopy(const std::string& userDir) {
    const std::vector<std::string> names = Files(userDir);
    EXPECT_EQ(names.size(), 1u) << userDir;
    return names.size() == 1 ? test::ReadFile(userDir + "/" + names[0]) : std::string();
}

// A delivered copy's attachments in message order: each quoted file name
// and the decoded bytes.
std::vector<std::pair<std::string, std::string>> Attachments(const std::string& copy) {
    std::vector<std::pair<std::string, std::string>> found;
    const std::string marker = "Content-Disposition: attachment; filename=\"";
    for (std::size_t at = copy.find(marker); at != std::string::npos; at = copy.find(marker, at + 1)) {
        const std::size_t nameBegin = at + marker.size();
        const std::size_t dataBegin = copy.find("\r\n\r\n", nameBegin) + 4;
        const std::size_t dataEnd = copy.find("--", dataBegin);
        std::string bytes(dataEnd - dataBegin, '\0');
        bytes.resize(mime::Base64DecodeRange(copy.data() + dataBegin, copy.data() + dataEnd, bytes.data()));
        found.emplace_back(copy.substr(nameBegin, copy.find("\"\r\n", nameBegin) - nameBegin), bytes);
    }
    return found;
}

TEST_F(PostFormTest, DeliversToLocalUsersAndCleansUp) {
    FakeForm form;
    form.entries = {{"From", "me@x", "", false},
                    {"To", "ann@127.0.0.1;Bob@MAIL.EXAMPLE, carol@elsewhere.org;ann@192.168.0.1", "", false},
                    {"Subject", "Hi", "", false},
                    {"Body", "Hello", "", false},
                    {"file", "C:\\docs\\report (1).txt", "report bytes", true}};
    std::string tempPath = temp;
    ASSERT_EQ(PostForm(form.Posted(), tempPath, mail, Domains()), PostOutcome::kSent);
    EXPECT_EQ(tempPath.rfind(temp, 0), 0u);
    EXPECT_GT(tempPath.size(), temp.size()) << "the working directory follows the temp path directly";
    EXPECT_TRUE(Files(temp).empty()) << "working directory and message are removed";

    const std::string copy = OnlyCopy(mail + "/ann");   // the same user twice gets one copy
    EXPECT_EQ(OnlyCopy(mail + "/Bob"), copy);
    EXPECT_EQ(Files(mail + "/ann")[0].rfind("qvr", 0), 0u);
    EXPECT_NE(copy.find("To: <ann@127.0.0.1>,<Bob@MAIL.EXAMPLE>,< carol@elsewhere.org>,<ann@192.168.0.1>\r\n"),
              std::string::npos);
    EXPECT_EQ(Attachments(copy), (std::vector<std::pair<std::string, std::string>>{{"report (1).txt", "report bytes"}}));
    EXPECT_EQ(copy.substr(copy.size() - 5), "\r\n.\r\n");
}

// Every recipient is checked before anything is made: one that cannot be
// read or cannot get a copy refuses the whole post.
TEST_F(PostFormTest, RecipientsAreCheckedBeforeAnyDelivery) {
    struct Row { const char* to; PostOutcome outcome; } rows[] = {
        {"ann@127.0.0.1, <carol@127.0.0.1", PostOutcome::kUnreadableAddress},
        {"x <y", PostOutcome::kUnreadableAddress},
        {"ann@127.0.0.1,bbo@127.0.0.1", PostOutcome::kUnknownLocalUser},
        {"ann@127.0.0.1;..@mail.example", PostOutcome::kUnknownLocalUser},
        {"ann@127.0.0.1;mail.example", PostOutcome::kUnknownLocalUser},
        {"ann@127.0.0.1,zed@127.0.0.1", PostOutcome::kUnknownLocalUser},   // a file, not a user's directory
        {"ann@127.0.0.1,tmp@127.0.0.1", PostOutcome::kUnknownLocalUser},   // a folder without a mailbox
        {"ann.@127.0.0.1", PostOutcome::kUnknownLocalUser},
        {"", PostOutcome::kNoRecipient},
        {" , ;", PostOutcome::kNoRecipient},
    };
    test::WriteFile(mail + "/zed", "");
    test::MakeDirs(mail + "/tmp");
    for (const Row& row : rows) {
        SCOPED_TRACE(row.to);
        FakeForm form;
        form.entries = {{"To", row.to, "", false}, {"f", "a.txt", "data", true}};
        std::string tempPath = temp;
        EXPECT_EQ(PostForm(form.Posted(), tempPath, mail, Domains()), row.outcome);
        EXPECT_TRUE(Files(mail + "/ann").empty());
        EXPECT_TRUE(Files(temp).empty());
    }
}

// A directory nobody can write into while it lives, not even root: marked
// immutable (ext4 and most Linux file systems know the flag).
class ImmutableDir {
public:
    explicit ImmutableDir(const std::string& path) : fd_(open(path.c_str(), O_RDONLY | O_DIRECTORY)) {
        int flags = 0;
        made_ = fd_ >= 0 && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0 &&
                (flags |= FS_IMMUTABLE_FL, ioctl(fd_, FS_IOC_SETFLAGS, &flags) == 0);
    }
    ~ImmutableDir() {
        int flags = 0;
        if (made_ && ioctl(fd_, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ioctl(fd_, FS_IOC_SETFLAGS, &flags);
        }
        if (fd_ >= 0) close(fd_);
    }
    bool made() const { return made_; }

private:
    int fd_;
    bool made_ = false;
};

TEST_F(PostFormTest, ACopyThatCannotBeMadeFailsThePostAndMadeCopiesStay) {
    test::MakeDirs(mail + "/zed/mailbox");
    const ImmutableDir locked(mail + "/zed");
    if (!locked.made()) GTEST_SKIP() << "this file system cannot make a directory immutable";
    FakeForm form;
    form.entries = {{"To", "ann@127.0.0.1,zed@127.0.0.1", "", false}, {"Body", "x", "", false}};
    std::string tempPath = temp;
    EXPECT_EQ(PostForm(form.Posted(), tempPath, mail, Domains()), PostOutcome::kCopyFailed);
    EXPECT_NE(OnlyCopy(mail + "/ann"), "");
    EXPECT_TRUE(Files(temp).empty());
}

// Each upload by its place in the form, whatever its field and file name.
TEST_F(PostFormTest, EveryUploadIsAttachedOnceInFormOrder) {
    using Attached = std::vector<std::pair<std::string, std::string>>;
    struct Row { const char* name; std::vector<FakeForm::Entry> files; Attached attached; } rows[] = {
        {"two fields, one file name",
         {{"photo1", "photo.jpg", "first", true}, {"photo2", "C:\\pics\\photo.jpg", "second", true}},
         {{"photo.jpg", "first"}, {"photo.jpg", "second"}}},
        {"one field holding three files",
         {{"attach", "a.txt", "A", true}, {"attach", "b.txt", "B", true}, {"attach", "c.txt", "C", true}},
         {{"a.txt", "A"}, {"b.txt", "B"}, {"c.txt", "C"}}},
        {"empty file inputs give nothing",
         {{"attach", "", "", true}, {"attach", "x.txt", "", true}, {"other", "BIG.BIN", "y", true}},
         {{"BIG.BIN", "y"}}},
        {"names Windows could not store are header text",
         {{"f", "Why?.pdf", "1", true}, {"f", "a|b \\\"c\\\".txt", "2", true}, {"f", "..\\..\\evil.txt", "3", true}},
         {{"Why?.pdf", "1"}, {"a|b \\\"c\\\".txt", "2"}, {"evil.txt", "3"}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeForm form;
        form.entries = {{"To", "ann@127.0.0.1", "", false}};
        form.entries.insert(form.entries.end(), row.files.begin(), row.files.end());
        std::string tempPath = temp;
        ASSERT_EQ(PostForm(form.Posted(), tempPath, mail, Domains()), PostOutcome::kSent);
        EXPECT_EQ(Attachments(OnlyCopy(mail + "/ann")), row.attached);
        EXPECT_FALSE(test::Exists(scratch.Path() + "evil.txt"));
        EXPECT_TRUE(Files(temp).empty());
        for (const std::string& name : Files(mail + "/ann")) std::filesystem::remove(mail + "/ann/" + name);
    }
}

TEST(LocalUserOf, IgnoresSpacesAndTabsAroundTheAddress) {
    struct Case { const char* address; const char* user; } cases[] = {
        {"\t ann@127.0.0.1", "ann"},
        {"ann@mail.example \t", "ann"},
        {" \xD6\xD0@192.168.0.1 ", "\xD6\xD0"},
        {" ..@mail.example", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(LocalUserOf(c.address, Domains()), c.user) << c.address;
}

TEST_F(PostFormTest, ACopyNameAnotherMessageHoldsGivesWayToTheNextFreeOne) {
    test::WriteFile(temp + "message.in", "new message");
    test::WriteFile(mail + "/ann/qvr123.in", "older message");
    ASSERT_TRUE(DeliverCopy(temp + "message.in", mail + "/ann", "123"));
    std::vector<std::string> annFiles = Files(mail + "/ann");
    ASSERT_EQ(annFiles.size(), 2u);
    EXPECT_EQ(test::ReadFile(mail + "/ann/qvr123.in"), "older message");
    const std::string other = annFiles[0] == "qvr123.in" ? annFiles[1] : annFiles[0];
    EXPECT_EQ(other.rfind("qvr", 0), 0u);
    EXPECT_EQ(test::ReadFile(mail + "/ann/" + other), "new message");
    EXPECT_FALSE(DeliverCopy(temp + "message.in", mail + "/nobody", "123")) << "a user without a directory";
}

TEST_F(PostFormTest, WithoutATempPathNothingIsMadeOrSent) {
    FakeForm form;
    form.entries = {{"To", "ann@127.0.0.1", "", false}, {"f", "a.txt", "data", true}};
    std::string tempPath;
    EXPECT_EQ(PostForm(form.Posted(), tempPath, mail, Domains()), PostOutcome::kNoWorkingDirectory);
    EXPECT_EQ(tempPath, "") << "no working directory";
    EXPECT_TRUE(Files(mail + "/ann").empty());
}

// MailWriter's message: To, Cc and Bcc each deliver, a user once, and no
// copy names the Bcc recipients; any recipient that cannot be read or get a
// copy refuses the whole post, From included.
TEST_F(PostFormTest, Utf8MessageDeliversToCcAndBccOnceAndWritesNoBcc) {
    test::MakeDirs(mail + "/carol/mailbox");
    FakeForm form;
    form.entries = {{"From", "Ann <ann@127.0.0.1>", "", false},
                    {"To", "Bob@mail.example", "", false},
                    {"Cc", "\"Carol, C.\" <carol@mail.example>", "", false},
                    {"Bcc", "ann@mail.example; Bob@mail.example", "", false}};
    std::string tempPath = temp;
    Utf8FormMessage message("mail.example");
    ASSERT_EQ(PostForm(form.Posted(), message, tempPath, mail, Domains()), PostOutcome::kSent);
    const std::string copy = OnlyCopy(mail + "/Bob");
    EXPECT_EQ(OnlyCopy(mail + "/carol"), copy);
    EXPECT_EQ(OnlyCopy(mail + "/ann"), copy);
    EXPECT_NE(copy.find("\r\nCc: \"Carol, C.\" <carol@mail.example>\r\n"), std::string::npos);
    EXPECT_EQ(copy.find("ann@mail.example"), std::string::npos) << "the Bcc recipient is not written";
    EXPECT_NE(copy.find("@mail.example>\r\n"), std::string::npos) << "the Message-ID names the host";

    const struct Row { const char* field; const char* value; PostOutcome outcome; } rows[] = {
        {"Bcc", "x <y@mail.example", PostOutcome::kUnreadableAddress},
        {"Cc", "ann@mail.example, \"x <ann@mail.example>\\", PostOutcome::kUnreadableAddress},
        {"Cc", "ann@mail.example, b c@example.com", PostOutcome::kUnreadableAddress},
        {"Cc", "nobody@mail.example", PostOutcome::kUnknownLocalUser},
        {"From", "", PostOutcome::kUnreadableAddress},
        {"To", "", PostOutcome::kNoRecipient},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.value);
        FakeForm refused;
        refused.entries = {{"From", "ann@127.0.0.1", "", false}, {"To", "carol@mail.example", "", false}};
        for (FakeForm::Entry& e : refused.entries)
            if (e.name == row.field) e.value = row.value;
        if (std::string(row.field) != "From" && std::string(row.field) != "To")
            refused.entries.push_back({row.field, row.value, "", false});
        Utf8FormMessage refusedMessage("mail.example");
        tempPath = temp;
        EXPECT_EQ(PostForm(refused.Posted(), refusedMessage, tempPath, mail, Domains()), row.outcome);
        EXPECT_EQ(Files(mail + "/carol").size(), 1u);
    }
}

// What the UTF-8 writer keeps: text past a zero byte (which becomes
// U+FFFD), a file name with a colon; a message or multipart file goes as
// plain bytes, since base64 may not carry those types.
TEST_F(PostFormTest, Utf8MessageKeepsTextPastAZeroByteAndSendsContainersAsBytes) {
    FakeForm form;
    form.entries = {{"From", "ann@127.0.0.1", "", false},
                    {"To", "ann@mail.example", "", false},
                    {"Subject", std::string("a\0b", 3), "", false},
                    {"Body", std::string("one\0two", 7), "", false},
                    {"f", "a:b.eml", "From: x\r\n\r\nhi\r\n", true, "message/rfc822"},
                    {"g", "m.mht", "x", true, "Multipart/Related"},
                    {"h", "p.png", "x", true, "image/png"}};
    std::string tempPath = temp;
    Utf8FormMessage message("mail.example");
    ASSERT_EQ(PostForm(form.Posted(), message, tempPath, mail, Domains()), PostOutcome::kSent);
    const std::string copy = OnlyCopy(mail + "/ann");
    for (const char* expected : {"\r\nSubject: =?UTF-8?B?Ye+/vWI=?=\r\n", "\r\none=EF=BF=BDtwo",
                                 "Content-Type: application/octet-stream; name=\"a:b.eml\"",
                                 "Content-Type: application/octet-stream; name=\"m.mht\"",
                                 "Content-Type: image/png; name=\"p.png\""})
        EXPECT_NE(copy.find(expected), std::string::npos) << expected << "\n" << copy;
}

// Message-IDs made in one burst (one second, one process) never repeat.
TEST(NewMessageId, IsUniqueAndNamesTheHost) {
    std::set<std::string> seen;
    for (int i = 0; i < 300; ++i) {
        const std::string id = NewMessageId("mail.example");
        ASSERT_EQ(id.substr(id.size() - 13), "@mail.example");
        EXPECT_TRUE(seen.insert(id).second) << id;
    }
}

}  // namespace
}  // namespace tarnwick::sendmail
