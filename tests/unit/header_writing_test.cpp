// Header text written for today's readers: encoded words that stay within
// their lengths and never split a character, and decode back to the text.
#include "mime/HeaderWriting.h"

#include <gtest/gtest.h>

#include "mime/current/Header.h"
#include "text/Charsets.h"

namespace tarnwick::mime {
namespace {

using namespace current;

std::string Joined(const std::vector<std::string>& tokens) {
    std::string out;
    for (const std::string& t : tokens) out += (out.empty() ? "" : " ") + t;
    return out;
}

TEST(HeaderWriting, EncodedWordsKeepTheirLengthsAndDecodeBack) {
    struct Row {
        const char* name;
        std::string text;
        std::size_t firstRoom;
        char encoding;   // 'Q' or 'B': the shorter for this text
    };
    std::string korean, emoji;
    for (int i = 0; i < 12; ++i) korean += "\xEB\xB6\x84\xEA\xB8\xB0 \xEB\xB3\xB4\xEA\xB3\xA0\xEC\x84\x9C ";
    for (int i = 0; i < 60; ++i) emoji += "\xF0\x9F\x8E\x89";
    const Row rows[] = {
        {"Latin, mostly letters", "Caf\xC3\xA9 cr\xC3\xA8me for two people please", 69, 'Q'},
        {"Korean", korean, 69, 'B'},
        {"four-byte characters only", emoji, 20, 'B'},
        {"blanks at both ends", "  padded  ", 74, 'Q'},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::vector<std::string> words = EncodeWords(row.text, row.firstRoom);
        ASSERT_FALSE(words.empty());
        EXPECT_LE(words.front().size(), std::max<std::size_t>(row.firstRoom, 24));
        for (const std::string& w : words) {
            EXPECT_LE(w.size(), kMaxEncodedWordChars);
            EXPECT_EQ(w.compare(0, 10, std::string("=?UTF-8?") + row.encoding + "?"), 0) << w;
            // Each word decodes on its own: no character is split.
            EXPECT_EQ(DecodeHeaderText(w).find(u'\uFFFD'), std::u16string::npos) << w;
        }
        EXPECT_EQ(DecodeHeaderText(Joined(words)), text::FromUtf8(row.text));
    }
}

TEST(HeaderWriting, TokensFoldWithinTheLineAndKeepTheText) {
    const std::string subject = "Re: " + std::string(40, 'a') + " \xED\x95\x9C\xEA\xB5\xAD " + std::string(90, 'b');
    const std::string field = FoldedField("Subject", TextTokens(subject, FirstTokenRoom("Subject")));
    std::size_t start = 0;
    for (std::size_t end; (end = field.find("\r\n", start)) != std::string::npos; start = end + 2)
        EXPECT_LE(end - start, kFoldWidth);
    EXPECT_LE(field.size() - start, kFoldWidth);
    EXPECT_EQ(field.find_first_of("\x80\xFF"), std::string::npos);
    std::string unfolded = field.substr(9);
    for (std::size_t at; (at = unfolded.find("\r\n")) != std::string::npos;) unfolded.erase(at, 2);
    EXPECT_EQ(DecodeHeaderText(unfolded), text::FromUtf8(subject));

    // Plain ASCII words stay as written; one like an encoded word does not.
    EXPECT_EQ(TextTokens("Lunch at noon?", 69), (std::vector<std::string>{"Lunch", "at", "noon?"}));
    EXPECT_EQ(TextTokens("=?utf-8?q?x?=", 69).front().compare(0, 8, "=?UTF-8?"), 0);
}

TEST(HeaderWriting, LongFileNamesGoInSectionsOfWholeCharacters) {
    std::string name;
    for (int i = 0; i < 40; ++i) name += "\xEB\xB3\xB4";   // 보
    name += ".txt";
    const std::vector<std::string> tokens = ParameterTokens("filename", name);
    ASSERT_GT(tokens.size(), 1u);
    std::string decodedBytes;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        EXPECT_LE(tokens[i].size() + 1, kFoldWidth);
        EXPECT_EQ(tokens[i].compare(0, 11 + std::to_string(i).size(), "filename*" + std::to_string(i) + "*="), 0);
    }
    const StructuredValue parsed = ParseStructured("attachment; " + Joined(tokens));
    const Parameter* filename = FindParameter(parsed, "filename");
    ASSERT_NE(filename, nullptr);
    EXPECT_EQ(ParameterText(*filename), text::FromUtf8(name));
    EXPECT_EQ(ParameterTokens("filename", "a\"b;c.txt"), (std::vector<std::string>{"filename=\"a\\\"b;c.txt\""}));
}

}  // namespace
}  // namespace tarnwick::mime
