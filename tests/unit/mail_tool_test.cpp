// tarnwick-mail run in-process: on every corpus message it prints exactly what
// the mailbox reader returns; its command line, exit statuses and count.
#include "mailtool/MailTool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "mailbox/stored/Reading.h"
#include "mime/stored/Part.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::mailtool {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

std::string Contents(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string bytes;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) != 0;) bytes.append(buffer, n);
    return bytes;
}

// Runs the tool on args (without the program name), into temporary files.
Result RunTool(std::vector<std::string> args, std::FILE* out = nullptr) {
    args.insert(args.begin(), "tarnwick-mail");
    std::vector<char*> argv;
    for (std::string& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::FILE* tmpOut = out ? nullptr : std::tmpfile();
    std::FILE* err = std::tmpfile();
    if ((!out && !tmpOut) || !err) throw std::runtime_error("tmpfile failed");
    Result result{RunMailTool(static_cast<int>(args.size()), argv.data(), out ? out : tmpOut, err), "", ""};
    if (tmpOut) {
        result.out = Contents(tmpOut);
        std::fclose(tmpOut);
    }
    result.err = Contents(err);
    std::fclose(err);
    return result;
}

std::vector<std::string> CorpusMessages() {
    std::vector<std::string> paths;
    const fs::path dir = fs::path(TARNWICK_CORPUS_DIR) / "mail";
    if (!fs::is_directory(dir)) return paths;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        if (entry.is_regular_file()) paths.push_back(entry.path().string());
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<std::string> SplitList(const std::string& list) {
    const std::string separator = mailbox::kAttachmentSeparator;
    std::vector<std::string> names;
    std::size_t at = 0;
    for (std::size_t next; (next = list.find(separator, at)) != std::string::npos; at = next + separator.size())
        names.push_back(list.substr(at, next - at));
    return names;
}

TEST(MailToolCorpus, PrintsWhatTheMailboxReaderReturns) {
    const std::vector<std::string> paths = CorpusMessages();
    ASSERT_GE(paths.size(), 400u) << "no corpus under " << TARNWICK_CORPUS_DIR;
    std::size_t extracted = 0;
    for (const std::string& path : paths) {
        SCOPED_TRACE(path);
        const test::ExactBytes message(test::ReadFile(path));
        const mime::stored::Part root(message.begin(), message.end());

        std::string summary;
        for (const std::string& value : mailbox::stored::SummaryValues(root))
            summary += value + mailbox::kSummarySeparator;
        const std::string list = mailbox::stored::AttachmentList(root);
        const struct {
            const char* command;
            std::string expected;
        } texts[] = {{"summary", summary}, {"body", mailbox::stored::BodyText(root)}, {"list", list}};
        for (const auto& text : texts) {
            const Result result = RunTool({text.command, path});
            EXPECT_EQ(result.status, kExitOk) << text.command << ": " << result.err;
            EXPECT_EQ(result.out, text.expected) << text.command;
            EXPECT_EQ(result.err, "") << text.command;
        }

        for (const std::string& name : SplitList(list)) {
            const mime::stored::Part* part = mailbox::stored::FindAttachmentByName(root, name);
            ASSERT_NE(part, nullptr) << name;
            const mime::stored::DecodedBody body = mime::stored::DecodeBody(*part);
            const Result result = RunTool({"extract", path, name});
            EXPECT_EQ(result.status, kExitOk) << name << ": " << result.err;
            EXPECT_TRUE(result.out == std::string(body.bytes.data(), std::min(body.count, body.bytes.size())))
                << "extract " << name << ": " << result.out.size() << " bytes";
            ++extracted;
        }
    }
    EXPECT_GT(extracted, 300u);
}

class MailToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        message = dir.Path() + "m.eml";
        test::WriteFile(message,
                        "From: ann@example.com\r\nSubject: hi\r\n"
                        "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                        "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n"
                        "--b\r\nContent-Disposition: attachment; filename=\"a.txt\"\r\n"
                        "Content-Transfer-Encoding: base64\r\n\r\nQUJD\r\n--b--\r\n");
    }
    test::ScratchDir dir;
    std::string message;
};

TEST_F(MailToolTest, CommandLineErrorsAndExitStatuses) {
    const std::string usage = "usage: tarnwick-mail";
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{}, kExitUsage},
        {{"frobnicate", message}, kExitUsage},
        {{"summary"}, kExitUsage},
        {{"summary", message, "extra"}, kExitUsage},
        {{"extract", message}, kExitUsage},
        {{"extract", message, "a.txt", "-o"}, kExitUsage},
        {{"extract", "-o", "x", "-o", "y", message, "a.txt"}, kExitUsage},
        {{"extract", "-x", message, "a.txt"}, kExitUsage},
        {{"body", "-o", dir.Path() + "out", message}, kExitUsage},
        {{"--reader", "ascii", "summary", message}, kExitUsage},
        {{"summary", message, "--reader"}, kExitUsage},
        {{"summary", dir.Path() + "missing.eml"}, kExitFailure},
        {{"summary", dir.Path()}, kExitFailure},
        {{"extract", message, "b.txt"}, kExitFailure},
        {{"extract", "-o", dir.Path() + "no/such/dir/a.txt", message, "a.txt"}, kExitFailure},
        {{"count", dir.Path() + "missing"}, kExitFailure},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& arg : c.args) shown += " " + arg;
        SCOPED_TRACE(shown);
        const Result result = RunTool(c.args);
        EXPECT_EQ(result.status, c.status);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.rfind("tarnwick-mail: ", 0), 0u) << result.err;
        EXPECT_EQ(result.err.find(usage) != std::string::npos, c.status == kExitUsage) << result.err;
    }
    for (const char* help : {"--help", "-h"}) {
        const Result result = RunTool({help});
        EXPECT_EQ(result.status, kExitOk);
        EXPECT_EQ(result.out.rfind(usage, 0), 0u) << result.out;
        EXPECT_EQ(result.err, "");
    }
    EXPECT_FALSE(test::Exists(dir.Path() + "out"));
}

TEST_F(MailToolTest, ExtractWritesTheAttachmentToAFileWithDashO) {
    const std::string target = dir.Path() + "a.bin";
    const Result result = RunTool({"extract", message, "-o", target, "A.TXT"});
    EXPECT_EQ(result.status, kExitOk) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(test::ReadFile(target), "ABC");
    // "--" ends the options: a name may begin with '-'.
    EXPECT_EQ(RunTool({"extract", "--", message, "-o"}).status, kExitFailure);
}

TEST_F(MailToolTest, AWriteErrorOnTheOutputFails) {
    std::FILE* readOnly = std::fopen(message.c_str(), "rb");
    ASSERT_NE(readOnly, nullptr);
    const Result result = RunTool({"summary", message}, readOnly);
    std::fclose(readOnly);
    EXPECT_EQ(result.status, kExitFailure);
    EXPECT_NE(result.err.find("cannot write standard output"), std::string::npos) << result.err;
    if (test::Exists("/dev/full")) {
        EXPECT_EQ(RunTool({"extract", "-o", "/dev/full", message, "a.txt"}).status, kExitFailure);
    }
}

// Every byte but letters, digits and '.' as <escape>XX: the message carries
// the text Q-encoded (RFC 2047, escape '=') or percent-encoded (RFC 2231).
std::string Encoded(const std::string& text, char escape) {
    std::string out;
    for (unsigned char c : text) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%c%02X", escape, c);
        out += (c < 0x80 && std::isalnum(c)) || c == '.' ? std::string(1, static_cast<char>(c)) : hex;
    }
    return out;
}

TEST(MailToolReader, UnicodePrintsWhatMailReaderReturnsAsUtf8) {
    test::ScratchDir dir;
    const std::string subject = u8"회의 자료", body = u8"안녕하세요", name = u8"보고서 초안.txt";
    const std::string message = dir.Path() + "k.eml";
    test::WriteFile(message, "From: ann@example.com\r\nSubject: =?UTF-8?Q?" + Encoded(subject, '=') +
                                 "?=\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                                 "--b\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" +
                                 body +
                                 "\r\n--b\r\nContent-Type: application/octet-stream\r\n"
                                 "Content-Disposition: attachment; filename*=UTF-8''" +
                                 Encoded(name, '%') +
                                 "\r\nContent-Transfer-Encoding: base64\r\n\r\nQUJD\r\n--b--\r\n");
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"--reader", "unicode", "summary", message}, "ann@example.com||||||||" + subject + "||||||||"},
        {{"--reader", "unicode", "body", message}, body},
        {{"--reader", "unicode", "list", message}, name + "||"},
        {{"--reader", "unicode", "extract", message, name}, "ABC"},
        {{"--reader", "exact", "summary", message}, RunTool({"summary", message}).out},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1] + " " + c.args[2]);
        const Result result = RunTool(c.args);
        EXPECT_EQ(result.status, kExitOk) << result.err;
        EXPECT_EQ(result.out, c.out);
    }
}

TEST(MailToolCount, CountsEntriesNotBeginningWithADot) {
    test::ScratchDir dir;
    const std::string box = dir.Path() + "mailbox";
    test::MakeDirs(box + "/old");
    test::WriteFile(box + "/1.in", "From: a\r\n\r\nx\r\n");
    test::WriteFile(box + "/2.in", "From: b\r\n\r\ny\r\n");
    test::WriteFile(box + "/.hidden", "z");
    for (const std::string& arg : {box, box + "/"}) {
        const Result result = RunTool({"count", arg});
        EXPECT_EQ(result.status, kExitOk) << result.err;
        EXPECT_EQ(result.out, "3\n") << arg;
    }
}

}  // namespace
}  // namespace tarnwick::mailtool
