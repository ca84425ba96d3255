#include "frame/NarrowText.h"

#include <gtest/gtest.h>

namespace tarnwick::frame {
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
}  // namespace tarnwick::frame
