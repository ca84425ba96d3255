// Every stored message of the shared corpus (TARNWICK_CORPUS_DIR/mail, all
// sub-folders) through the whole MIME engine: the tree is built, every known
// field is looked up on every part, every part's body is decoded, and the
// attachment and text-part searches are run. Each file is copied into an
// exactly-sized heap buffer first, so AddressSanitizer reports any read past
// the end of a message.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "mime/stored/Part.h"

namespace tarnwick::mime::stored {
namespace {

namespace fs = std::filesystem;

struct CorpusMessage {
    std::string path;
    std::size_t size = 0;
    std::unique_ptr<char[]> bytes;   // exactly size bytes
};

CorpusMessage Load(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CorpusMessage m;
    m.path = path.string();
    m.size = content.size();
    m.bytes.reset(new char[m.size]);
    if (m.size != 0) std::memcpy(m.bytes.get(), content.data(), m.size);
    return m;
}

std::vector<fs::path> MailFiles() {
    std::vector<fs::path> files;
    const fs::path root = fs::path(TARNWICK_CORPUS_DIR) / "mail";
    if (!fs::is_directory(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

struct Totals {
    std::size_t parts = 0;
    std::size_t splitParts = 0;
    std::size_t fields = 0;
    std::size_t attachments = 0;
    std::size_t base64Bytes = 0;   // decoded bytes of base64 parts
    std::size_t qpParts = 0;
};

bool EqualsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b))) return false;
    return *a == *b;
}

// Checks one part and its subtree, adding to the totals.
void CheckPart(const stored::Part& part, const CorpusMessage& m, int depth, Totals& totals) {
    const char* begin = m.bytes.get();
    const char* end = begin + m.size;
    ++totals.parts;
    ASSERT_LE(depth, kMaxNestingDepth) << m.path;

    for (const auto& field : part.fields) {
        ASSERT_TRUE(stored::Field::IsKnownName(field->Name())) << m.path;
        ASSERT_LT(std::strlen(field->Value()), kValueBytes) << m.path;
    }
    totals.fields += part.fields.size();
    for (const auto& name : KnownFieldNames) {
        char value[kValueBytes];
        std::memset(value, 'X', sizeof value);
        if (GetField(part, name, value)) {
            ASSERT_LE(std::strlen(value), kMaxTextBytes) << m.path << " " << name;
        } else {
            ASSERT_EQ(value[0], 'X') << "a failed look-up changed the buffer";
        }
    }

    if (part.bodyBegin == nullptr) {
        ASSERT_EQ(part.bodyEnd, nullptr) << m.path;
        ++totals.splitParts;
        char boundary[kValueBytes];
        ASSERT_TRUE(GetField(part, "boundary", boundary)) << "only a part with a boundary is split: " << m.path;
    } else {
        ASSERT_GE(part.bodyBegin, begin) << m.path;
        ASSERT_LE(part.bodyBegin, part.bodyEnd) << m.path;
        ASSERT_LE(part.bodyEnd, end) << m.path;
        ASSERT_TRUE(part.children.empty()) << m.path;
    }

    DecodedBody decoded = DecodeBody(part);
    ASSERT_EQ(decoded.bytes.size(), part.bodyBegin == nullptr ? 0u : part.BodySize()) << m.path;
    ASSERT_LE(decoded.count, decoded.bytes.size()) << m.path;
    char encoding[kValueBytes];
    if (GetField(part, "Content-Transfer-Encoding", encoding)) {
        if (EqualsIgnoringCase(encoding, "base64")) totals.base64Bytes += decoded.count;
        if (EqualsIgnoringCase(encoding, "quoted-printable") && part.BodySize() != 0) ++totals.qpParts;
    }

    for (const auto& child : part.children) {
        ASSERT_NE(child, nullptr);
        CheckPart(*child, m, depth + 1, totals);
    }
}

TEST(MimeCorpus, EveryMessageParsesSearchesAndDecodesInsideItsBytes) {
    const std::vector<fs::path> files = MailFiles();
    ASSERT_GE(files.size(), 400u) << "corpus not found under " << TARNWICK_CORPUS_DIR;
    Totals totals;
    for (const auto& file : files) {
        const CorpusMessage m = Load(file);
        stored::Part root(m.bytes.get(), m.bytes.get() + m.size);
        CheckPart(root, m, 0, totals);

        // The attachment walk of the mailbox reader ends, and finds each part at most once.
        std::vector<const stored::Part*> seen;
        bool passed = false;
        for (const stored::Part* a = FindPart(root, passed, nullptr, "Content-Disposition", "attachment"); a != nullptr;
             passed = false, a = FindPart(root, passed, a, "Content-Disposition", "attachment")) {
            ASSERT_EQ(std::find(seen.begin(), seen.end(), a), seen.end()) << m.path;
            seen.push_back(a);
            ASSERT_LE(seen.size(), totals.parts) << m.path;
        }
        totals.attachments += seen.size();

        // The body search of the mailbox reader.
        passed = false;
        if (const stored::Part* text = FindPart(root, passed, nullptr, "Content-Type", "text/plain")) {
            char value[kValueBytes];
            ASSERT_TRUE(GetField(*text, "Content-Type", value));
            ASSERT_STREQ(value, "text/plain");
        }
        if (HasFailure()) return;
    }
    // The corpus exercises the engine broadly, not just its headers.
    EXPECT_GT(totals.splitParts, 100u);
    EXPECT_GT(totals.attachments, 20u);
    EXPECT_GT(totals.base64Bytes, 100000u);
    EXPECT_GT(totals.qpParts, 20u);
    EXPECT_GT(totals.fields, 2000u);
}

// Known messages of the corpus, byte for byte.
class MimeCorpusLetters : public ::testing::Test {
protected:
    static CorpusMessage Letter(const char* name) {
        return Load(fs::path(TARNWICK_CORPUS_DIR) / "mail" / "letters" / name);
    }
    static std::string Field(const stored::Part& part, const char* name) {
        char value[kValueBytes];
        return GetField(part, name, value) ? std::string(value) : std::string("<none>");
    }
};

TEST_F(MimeCorpusLetters, GbkBase64PlainTextMessage) {
    const CorpusMessage m = Letter("test_chinese_plaintext_gbk_over_base64.txt");
    ASSERT_GT(m.size, 0u);
    stored::Part root(m.bytes.get(), m.bytes.get() + m.size);
    // The first encoded word of each value is decoded, charset ignored; the
    // folded continuation lines are not joined.
    EXPECT_EQ(Field(root, "Subject"), "\xf0\x9f\x93\xa7 Test");
    EXPECT_EQ(Field(root, "From"), "\xb0\xac\xc0\xf2\xbdz \xb7\xa2\xbc\xfe\xc8\xcb <alice.fajianren@example.com>,");
    EXPECT_EQ(Field(root, "Message-ID"), "<Message-Id-1@example.com>");
    // "TEXT/PLAIN" is not "text/plain": the search fails, the root is used.
    EXPECT_EQ(Field(root, "Content-Type"), "TEXT/PLAIN");
    bool passed = false;
    EXPECT_EQ(FindPart(root, passed, nullptr, "Content-Type", "text/plain"), nullptr);
    // "BASE64" matches ignoring case; the body (no final line feed) decodes to
    // 235 bytes of GBK text starting with "石室诗士".
    EXPECT_EQ(Field(root, "Content-Transfer-Encoding"), "BASE64");
    DecodedBody body = DecodeBody(root);
    EXPECT_EQ(body.count, 235u);
    EXPECT_EQ(std::string(body.bytes.data(), 8), "\xca\xaf\xca\xd2\xca\xab\xca\xbf");
}

TEST_F(MimeCorpusLetters, QEncodedWordsKeepTheirUnderscores) {
    const CorpusMessage m = Letter("test_chinese_multipart_mixed_gbk_over_quoted-printable.txt");
    ASSERT_GT(m.size, 0u);
    stored::Part root(m.bytes.get(), m.bytes.get() + m.size);
    EXPECT_EQ(Field(root, "From"), "\xb0\xac\xc0\xf2\xbdz_\xb7\xa2\xbc\xfe\xc8\xcb <alice.fajianren@example.com>,");
    // Its parameter is written "BoUNDARY": names are case-sensitive, so the
    // message is not split and its whole multipart text is the root's body.
    char boundary[kValueBytes];
    EXPECT_FALSE(GetField(root, "boundary", boundary));
    EXPECT_TRUE(root.children.empty());
    ASSERT_NE(root.bodyBegin, nullptr);
    EXPECT_EQ(std::string(root.bodyBegin, 23), "\n--MixedBoundaryString\n");
}

}  // namespace
}  // namespace tarnwick::mime::stored
