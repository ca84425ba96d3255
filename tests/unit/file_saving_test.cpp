#include "upload/FileSaving.h"

#include <gtest/gtest.h>

#include "tests/unit/TestFiles.h"
#include "text/FileNames.h"
#include "text/Limits.h"

namespace tarnwick::upload {
namespace {

// A client's file name and what it is saved as; "" is refused.
TEST(SaveBaseName, ClientNameToSavedName) {
    struct Case { const char* sent; const char* saved; } cases[] = {
        {"D:\\up\\x.txt", "x.txt"},
        {"x.txt", "x.txt"},
        {"/home/ann/report.final.doc", "report.final.doc"},
        {"..\\..\\windows\\win.ini", "win.ini"},
        {"C:boot.ini", "boot.ini"},
        {"C:\\", ""},
        {"dir\\", ""},
        {"..", ""},
        {"a\\.", ""},
        {"", ""},
        {"\xD6\xD0\xCE\xC4.txt", "\xD6\xD0\xCE\xC4.txt"},
        // GBK second bytes of 0x5C are no separators
        {"\x81\x5C\xD5\x5C.txt", "\x81\x5C\xD5\x5C.txt"},
        {"D:\\up\\\x81\x5C\xD5\x5C.txt", "\x81\x5C\xD5\x5C.txt"},
        {"\x81\x5C\\x.txt", "x.txt"},
        {"\xD6\xD0/x.txt", "x.txt"},
        // a '/' is never a second byte, so it still separates after a lead byte
        {"\xF6/x.txt", "x.txt"},
        // device names, in any case and with any extension
        {"COM1", ""}, {"aux.txt", ""}, {"CON", ""}, {"nul", ""}, {"Prn.log", ""},
        {"LPT1.log", ""}, {"COM9.a.b", ""}, {"conin$", ""}, {"CONOUT$.txt", ""},
        {"con .txt", ""}, {"up\\com1.txt", ""},
        {"COM10", "COM10"}, {"COM0", "COM0"}, {"console.txt", "console.txt"}, {"xcon", "xcon"},
        // names Windows would store under another name, or cannot store
        {"a.txt.", ""}, {"a.txt ", ""}, {"...", ""},
        {"a\tb.txt", ""}, {"a\r\nb.txt", ""}, {"\x1F", ""},
        {"a.txt:x", ""}, {"C:a.txt:x", ""},
        {"Why?.pdf", ""}, {"a|b.txt", ""}, {"a<b", ""}, {"a>b", ""}, {"say \"hi\".txt", ""}, {"*.txt", ""},
        // '|' may be the second byte of a double-byte character
        {"\x81\x7C.txt", "\x81\x7C.txt"},
    };
    for (const Case& c : cases) EXPECT_EQ(text::SaveBaseName(c.sent), c.saved) << c.sent;
}

TEST(SavePath, JoinsWithOneBackslashWithinTheLimit) {
    EXPECT_EQ(TrimTrailingBackslash("E:\\work\\"), "E:\\work");
    EXPECT_EQ(TrimTrailingBackslash("E:\\work"), "E:\\work");
    EXPECT_EQ(TrimTrailingBackslash(""), "");
    std::string path;
    ASSERT_TRUE(SavePath("E:\\work", "x.txt", path));
    EXPECT_EQ(path, "E:\\work\\x.txt");
    std::string dir(250, 'd');
    EXPECT_TRUE(SavePath(dir, "abcd", path));   // 255 bytes
    EXPECT_EQ(path.size(), text::kMaxPathBytes);
    EXPECT_FALSE(SavePath(dir, "abcde", path));
}

TEST(WriteWholeFile, CreatesAndReplaces) {
    test::ScratchDir dir;
    std::string path = dir.Path() + "f.bin";
    const char first[] = "first\0data";
    ASSERT_TRUE(WriteWholeFile(path, first, 10));
    EXPECT_EQ(test::ReadFile(path), std::string(first, 10));
    ASSERT_TRUE(WriteWholeFile(path, "2", 1));
    EXPECT_EQ(test::ReadFile(path), "2");
    EXPECT_FALSE(WriteWholeFile(dir.Path() + "missing/f.bin", "x", 1));
}

}  // namespace
}  // namespace tarnwick::upload
