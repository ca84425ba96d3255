#include "sendmail/Posting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "tests/unit/TestFiles.h"
#include "text/FileNames.h"
#include "upload/FileSaving.h"

namespace tarnwick::sendmail {
namespace {

// A posted form: its entries written as a multipart/form-data body, parsed
// the way a page's body is.
class FakeForm : public upload::PostedForm {
public:
    struct Entry {
        std::string name, value, fileBytes;   // value: the file name of a file field
        bool isFile;
    };
    std::vector<Entry> entries;

    // The form of the entries as they are now.
    upload::PostedForm& Posted() {
        body_ = "";
        for (const Entry& e : entries) {
            body_ += "--B7\r\nContent-Disposition: form-data; name=\"" + e.name + "\"";
            if (e.isFile) body_ += "; filename=\"" + e.value + "\"\r\nContent-Type: application/octet-stream";
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
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

TEST(TimeDigits, AreSevenPlainNumbers) {
    EXPECT_EQ(TimeDigits({2001, 3, 5, 7, 8, 9, 12}), "20013578912");
    EXPECT_EQ(TimeDigits({2026, 12, 31, 23, 59, 59, 999}), "20261231235959999");
    EXPECT_NE(UniqueTimeDigits(), UniqueTimeDigits());
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
    };
    for (const Case& c : cases) EXPECT_EQ(LocalUserOf(c.address, Domains()), c.user) << c.address;
}

class PostFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        temp = scratch.Path() + "tmp/";
        mail = scratch.Path() + "mail";
        test::MakeDirs(temp);
        test::MakeDirs(mail + "/ann");
        test::MakeDirs(mail + "/Bob");
    }
    test::ScratchDir scratch;
    std::string temp, mail;
};

TEST_F(PostFormTest, DeliversToLocalUsersAndCleansUp) {
    FakeForm form;
    form.entries = {{"From", "me@x", "", false},
                    {"To", "ann@127.0.0.1;bob@MAIL.EXAMPLE,carol@elsewhere.org;ann@192.168.0.1;ghost@127.0.0.1", "", false},
                    {"Subject", "Hi", "", false},
                    {"Body", "Hello", "", false},
                    {"file", "C:\\docs\\report.txt", "report bytes", true}};
    std::string tempPath = temp;
    ASSERT_TRUE(PostForm(form.Posted(), tempPath, mail, Domains()));
    EXPECT_EQ(tempPath.rfind(temp, 0), 0u);
    EXPECT_GT(tempPath.size(), temp.size()) << "the working directory follows the temp path directly";
    EXPECT_EQ(form.TargetDir(), tempPath);
    EXPECT_TRUE(Files(temp).empty()) << "working directory, message and uploads are removed";

    std::vector<std::string> annFiles = Files(mail + "/ann");
    ASSERT_EQ(annFiles.size(), 1u) << "the same user twice gets one copy";
    EXPECT_EQ(annFiles[0].rfind("qvr", 0), 0u);
    EXPECT_EQ(annFiles[0].substr(annFiles[0].size() - 3), ".in");
    EXPECT_TRUE(Files(mail + "/Bob").empty()) << "the user name keeps its case: 'bob' has no directory";
    std::string copy = test::ReadFile(mail + "/ann/" + annFiles[0]);
    EXPECT_NE(copy.find("To: <ann@127.0.0.1>,<bob@MAIL.EXAMPLE>,<carol@elsewhere.org>,<ann@192.168.0.1>,"
                        "<ghost@127.0.0.1>\r\n"),
              std::string::npos);
    EXPECT_NE(copy.find("Content-Disposition: attachment; filename=report.txt\r\n"), std::string::npos);
    EXPECT_NE(copy.find("cmVwb3J0IGJ5dGVz\r\n"), std::string::npos);
    EXPECT_EQ(copy.substr(copy.size() - 5), "\r\n.\r\n");
}

TEST_F(PostFormTest, WithoutRecipientsNothingIsSentAndNothingStays) {
    FakeForm form;
    form.entries = {{"To", "x <y", "", false}, {"f", "a.txt", "data", true}};
    std::string tempPath = temp;
    EXPECT_FALSE(PostForm(form.Posted(), tempPath, mail, Domains()));
    EXPECT_EQ(form.TargetDir(), tempPath) << "the temp path still names the working directory";
    EXPECT_TRUE(Files(temp).empty()) << "working directory and saved upload are removed";
}

TEST_F(PostFormTest, EmptyToTextIsOneEmptyRecipient) {
    FakeForm form;
    std::string tempPath = temp;
    EXPECT_TRUE(PostForm(form.Posted(), tempPath, mail, Domains())) << "offered to one empty address";
    EXPECT_TRUE(Files(temp).empty()) << "a form without files makes and removes an empty directory";
}

TEST_F(PostFormTest, HostileUploadNamesStayInsideTheWorkingDirectory) {
    FakeForm form;
    form.entries = {{"To", "ann@127.0.0.1", "", false}, {"f", "..\\..\\evil.txt", "x", true}};
    std::string tempPath = temp;
    ASSERT_TRUE(PostForm(form.Posted(), tempPath, mail, Domains()));
    EXPECT_FALSE(test::Exists(scratch.Path() + "evil.txt"));
    std::vector<std::string> annFiles = Files(mail + "/ann");
    ASSERT_EQ(annFiles.size(), 1u);
    EXPECT_NE(test::ReadFile(mail + "/ann/" + annFiles[0]).find("filename=evil.txt\r\n"), std::string::npos);
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

TEST_F(PostFormTest, EachUploadIsAttachedOnce) {
    FakeForm form;
    form.entries = {{"To", "ann@127.0.0.1", "", false}, {"f", "C:\\a\\big.bin", std::string(100000, 'x'), true}};
    // Empty fields of the same name and file name, as a hostile client sends them.
    for (int i = 0; i < 50; ++i) form.entries.push_back({"f", "C:\\a\\big.bin", "", true});
    // Another field saved to the same file: Windows ignores the case.
    form.entries.push_back({"g", "BIG.BIN", "y", true});
    std::string tempPath = temp;
    ASSERT_TRUE(PostForm(form.Posted(), tempPath, mail, Domains()));
    std::vector<std::string> annFiles = Files(mail + "/ann");
    ASSERT_EQ(annFiles.size(), 1u);
    const std::string copy = test::ReadFile(mail + "/ann/" + annFiles[0]);
    std::size_t attachments = 0;
    for (std::size_t at = copy.find("filename="); at != std::string::npos; at = copy.find("filename=", at + 1))
        ++attachments;
    EXPECT_EQ(attachments, 1u);
    EXPECT_LT(copy.size(), 200000u);
    EXPECT_TRUE(Files(temp).empty());
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
    EXPECT_FALSE(PostForm(form.Posted(), tempPath, mail, Domains()));
    EXPECT_EQ(tempPath, "") << "no working directory";
    EXPECT_TRUE(Files(mail + "/ann").empty());
}

}  // namespace
}  // namespace tarnwick::sendmail
