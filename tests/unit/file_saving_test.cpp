#include "upload/FileSaving.h"

#include <gtest/gtest.h>

#include "tests/unit/TestFiles.h"

namespace tarnwick::upload {
namespace {

TEST(SaveBaseName, KeepsOnlyTheLastComponent) {
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
    };
    for (const Case& c : cases) EXPECT_EQ(SaveBaseName(c.sent), c.saved) << c.sent;
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
    EXPECT_EQ(path.size(), kMaxSavePathBytes);
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
