#include "text/NarrowText.h"

#include <gtest/gtest.h>

namespace tarnwick::text {
namespace {

TEST(NarrowBuffer, KeepsUpTo255BytesWhole) {
    NarrowBuffer buffer;
    std::string value(255, 'a');
    buffer.Assign(value);
    EXPECT_EQ(buffer.Value(), value);
    buffer.Assign("");
    EXPECT_EQ(buffer.Value(), "");
}

TEST(NarrowBuffer, CutsLongValuesWithoutSplittingACharacter) {
    struct Case { std::string value; std::string expected; } cases[] = {
        {std::string(300, 'a'), std::string(255, 'a')},
        // 254 ASCII bytes, then a double-byte character would straddle byte 255.
        {std::string(254, 'a') + "\xD6\xD0" + "b", std::string(254, 'a')},
        {std::string(253, 'a') + "\xD6\xD0" + "b", std::string(253, 'a') + "\xD6\xD0"},
        // 128 double-byte characters: 127 fit (254 bytes).
        {[] { std::string s; for (int i = 0; i < 128; ++i) s += "\xCE\xC4"; return s; }(),
         [] { std::string s; for (int i = 0; i < 127; ++i) s += "\xCE\xC4"; return s; }()},
    };
    for (const Case& c : cases) {
        NarrowBuffer buffer;
        buffer.Assign(c.value);
        EXPECT_EQ(buffer.Value(), c.expected);
        EXPECT_LE(buffer.Value().size(), NarrowBuffer::kCapacity);
    }
}

TEST(CutAtCharBoundary, TrailBytesAreNotMistakenForLeadBytes) {
    // "\x81\x81" is one character whose trail byte is also in the lead range.
    std::string text = "a\x81\x81\x81\x81";
    EXPECT_EQ(CutAtCharBoundary(text, 4), "a\x81\x81");
    EXPECT_EQ(CutAtCharBoundary(text, 5), text);
    EXPECT_EQ(CutAtCharBoundary(text, 0), "");
}

}  // namespace
}  // namespace tarnwick::text

namespace tarnwick::text {
namespace {

TEST(CaseInsensitiveComparison, ByteWiseFoldsEveryByteByCharacterKeepsTrailBytes) {
    struct Case { const char* a; const char* b; bool byByte; bool byCharacter; } cases[] = {
        {"Report.PDF", "report.pdf", true, true},
        {"abc", "abd", false, false},
        {"ab", "abc", false, false},
        // 0xD6 0x41 and 0xD6 0x61: the second byte is a letter only when read byte by byte.
        {"\xD6\x41", "\xD6\x61", true, false},
        {"\xD6\xD0.TXT", "\xD6\xD0.txt", true, true},
        {"", "", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EqualIgnoringAsciiCase(c.a, c.b), c.byByte) << c.a;
        EXPECT_EQ(EqualIgnoringCaseByCharacter(c.a, c.b), c.byCharacter) << c.a;
    }
}

}  // namespace
}  // namespace tarnwick::text
