#include "sendmail/Posting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <vector>

#include "tests/unit/TestFiles.h"
#include "upload/FileSaving.h"

namespace tarnwick::sendmail {
namespace {

// A posted form held in memory; SaveFile writes like the Upload object does.
class FakeForm : public PostedForm {
public:
    struct Entry {
        std::string name, value, fileBytes;
        bool isFile;
    };
    std::vector<Entry> entries;
    std::string targetDir;

    std::string Field(const std::string& name) override {
        for (const Entry& e : entries)
            if (e.name == name) return e.value;
        return "";
    }
    void SetTargetDir(const std::string& dir) override { targetDir = dir; }
    long FieldCount() override { return static_cast<long>(entries.size()); }
    std::string NameAt(long i) override { return entries[static_cast<std::size_t>(i)].name; }
    bool IsFile(const std::string& name) override {
        for (const Entry& e : entries)
            if (e.name == name) return e.isFile;
        return false;
    }
    void SaveFile(const std::string& name) override {
        for (const Entry& e : entries) {
            if (e.name != name || !e.isFile || e.fileBytes.empty()) continue;
            std::string path;
            if (upload::SavePath(upload::TrimTrailingBackslash(targetDir), upload::SaveBaseName(e.value), path))
                upload::WriteWholeFile(path, e.fileBytes.data(), static_cast<std::int32_t>(e.fileBytes.size()));
            return;
        }
    }
    std::string ValueAt(long i) override { return entries[static_cast<std::size_t>(i)].value; }
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
        {" bob@mail.example", " bob"},   // kept as parsed
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
    ASSERT_TRUE(PostForm(form, tempPath, mail, Domains()));
    EXPECT_EQ(tempPath.rfind(temp, 0), 0u);
    EXPECT_GT(tempPath.size(), temp.size()) << "the working directory follows the temp path directly";
    EXPECT_EQ(form.targetDir, tempPath);
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

TEST_F(PostFormTest, WithoutRecipientsNothingIsSentAndUploadsStay) {
    FakeForm form;
    form.entries = {{"To", "x <y", "", false}, {"f", "a.txt", "data", true}};
    std::string tempPath = temp;
    EXPECT_FALSE(PostForm(form, tempPath, mail, Domains()));
    EXPECT_EQ(Files(tempPath), std::vector<std::string>{"a.txt"});
}

TEST_F(PostFormTest, EmptyToTextIsOneEmptyRecipient) {
    FakeForm form;
    std::string tempPath = temp;
    EXPECT_TRUE(PostForm(form, tempPath, mail, Domains())) << "offered to one empty address";
    EXPECT_TRUE(Files(temp).empty()) << "a form without files makes and removes an empty directory";
}

TEST_F(PostFormTest, HostileUploadNamesStayInsideTheWorkingDirectory) {
    FakeForm form;
    form.entries = {{"To", "ann@127.0.0.1", "", false}, {"f", "..\\..\\evil.txt", "x", true}};
    std::string tempPath = temp;
    ASSERT_TRUE(PostForm(form, tempPath, mail, Domains()));
    EXPECT_FALSE(test::Exists(scratch.Path() + "evil.txt"));
    std::vector<std::string> annFiles = Files(mail + "/ann");
    ASSERT_EQ(annFiles.size(), 1u);
    EXPECT_NE(test::ReadFile(mail + "/ann/" + annFiles[0]).find("filename=evil.txt\r\n"), std::string::npos);
}

}  // namespace
}  // namespace tarnwick::sendmail
