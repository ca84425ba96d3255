#include "mailbox/MailboxIndex.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "mailbox/current/Reading.h"
#include "mailbox/stored/Reading.h"
#include "mime/current/Part.h"
#include "mime/stored/Part.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::mailbox {
namespace {

using test::ScratchDir;
using test::WriteFile;

// Reads message n of index as Mail does; its body, when wanted.
ReadOutcome Read(const MailboxIndex& index, long n, std::string* body = nullptr) {
    return index.ReadMessage<mime::stored::Part>(n, [&](const mime::stored::Part& root) {
        if (body) body->assign(root.bodyBegin, root.bodyEnd);
    });
}

class MailboxIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        box = store.Path() + "alice/mailbox/";
        test::MakeDirs(box);
    }
    MailboxIndex Index() const { return MailboxIndex(store.Path(), "alice"); }

    // The entry names in index order, as the index itself reports them.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        MailboxIndex index = Index();
        for (long i = 0;; ++i) {
            std::string name;
            if (!index.FindMessageEntry(i, name)) break;
            names.push_back(name);
        }
        return names;
    }

    ScratchDir store;
    std::string box;
};

TEST(MailboxPaths, AreConcatenatedWithoutAddingSeparators) {
    EXPECT_EQ(MailboxIndex("D:\\mail\\", "alice").Pattern(), "D:\\mail\\alice\\mailbox\\*.*");
    EXPECT_EQ(MailboxIndex("D:\\mail", "alice").Pattern(), "D:\\mailalice\\mailbox\\*.*");
    EXPECT_EQ(MailboxIndex("", "").Directory(), "\\mailbox\\");
}

TEST_F(MailboxIndexTest, CountsEveryEntryNotStartingWithDot) {
    WriteFile(box + "a.in", "From: x\r\n\r\nhi\r\n");
    WriteFile(box + ".hidden", "x");
    test::MakeDirs(box + "old");
    test::MakeDirs(box + ".trash");
    EXPECT_EQ(Index().MailCount(), 2);
    std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 2u);
    EXPECT_NE(names[0][0], '.');
    EXPECT_NE(names[1][0], '.');
}

TEST_F(MailboxIndexTest, SubdirectoryCountsButCannotBeOpened) {
    WriteFile(box + "a.in", "From: x\r\n\r\nhi\r\n");
    test::MakeDirs(box + "old");
    std::vector<std::string> names = Names();
    ASSERT_EQ(names.size(), 2u);
    long dirIndex = names[0] == "old" ? 0 : 1;
    EXPECT_EQ(Read(Index(), dirIndex), ReadOutcome::Unopenable);
    std::string body;
    EXPECT_EQ(Read(Index(), 1 - dirIndex, &body), ReadOutcome::Opened);
    EXPECT_EQ(body, "hi\r\n");
}

TEST_F(MailboxIndexTest, MissingMailboxHasNoMessages) {
    MailboxIndex index(store.Path(), "nobody");
    EXPECT_EQ(index.MailCount(), 0);
    EXPECT_EQ(Read(index, 0), ReadOutcome::NoMessage);
    index.DeleteMail(0);   // nothing to delete, nothing happens
}

TEST_F(MailboxIndexTest, IndexOutsideTheMailboxNamesNoMessage) {
    WriteFile(box + "a.in", "x\r\n");
    WriteFile(box + "b.in", "y\r\n");
    EXPECT_EQ(Read(Index(), -1), ReadOutcome::NoMessage);
    EXPECT_EQ(Read(Index(), 2), ReadOutcome::NoMessage);
    EXPECT_EQ(Read(Index(), 1), ReadOutcome::Opened);
}

TEST_F(MailboxIndexTest, EmptyFileCannotBeOpened) {
    WriteFile(box + "empty.in", "");
    EXPECT_EQ(Read(Index(), 0), ReadOutcome::Unopenable);
}

TEST_F(MailboxIndexTest, MessagesReadWholeOrMappedGiveTheirBytes) {
    // Small files are read into memory, larger ones mapped: around the border.
    const std::string head = "Subject: s\r\n\r\n";
    for (size_t size : {size_t(100), size_t(platform::MappedFile::kReadWholeBytes),
                        size_t(platform::MappedFile::kReadWholeBytes) + 1, size_t(3) << 20}) {
        std::string body(size - head.size(), 'x');
        for (size_t i = 0; i < body.size(); i += 997) body[i] = static_cast<char>('a' + i % 26);
        WriteFile(box + "m", head + body);
        std::string read;
        EXPECT_EQ(Read(Index(), 0, &read), ReadOutcome::Opened) << size;
        EXPECT_TRUE(read == body) << size;
    }
}

TEST_F(MailboxIndexTest, DeleteShiftsLaterMessagesDown) {
    WriteFile(box + "1.in", "one\r\n");
    WriteFile(box + "2.in", "two\r\n");
    WriteFile(box + "3.in", "three\r\n");
    std::vector<std::string> before = Names();
    ASSERT_EQ(before.size(), 3u);
    Index().DeleteMail(0);
    EXPECT_EQ(Index().MailCount(), 2);
    EXPECT_FALSE(test::Exists(box + before[0]));
    std::vector<std::string> after = Names();
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0], before[1]);
    EXPECT_EQ(after[1], before[2]);
}

TEST_F(MailboxIndexTest, DeletePastTheEndChangesNothing) {
    WriteFile(box + "1.in", "one\r\n");
    Index().DeleteMail(1);
    Index().DeleteMail(-1);
    EXPECT_EQ(Index().MailCount(), 1);
}

TEST_F(MailboxIndexTest, PathOverTheLimitIsNeverOpenedOrDeleted) {
    // Directory + name must fit 255 bytes; pad the name past that limit.
    std::string dir = Index().Directory();
    std::string longName(text::kMaxPathBytes + 1 - dir.size(), 'x');
    ASSERT_LT(longName.size(), 256u);   // still a legal file name here
    WriteFile(box + longName, "x\r\n");
    std::string path;
    EXPECT_FALSE(Index().MailboxFilePath(longName, path));
    EXPECT_TRUE(Index().MailboxFilePath(longName.substr(1), path));
    EXPECT_EQ(path.size(), text::kMaxPathBytes);
    EXPECT_EQ(Read(Index(), 0), ReadOutcome::Unopenable);
    Index().DeleteMail(0);
    EXPECT_TRUE(test::Exists(box + longName));
}

}  // namespace
}  // namespace tarnwick::mailbox

namespace tarnwick::mailbox {
namespace {

// Both readings' summary lines of the message at path, read whole and read
// up to the end of its header.
std::pair<std::string, std::string> SummariesOf(const std::string& path, MessageExtent extent) {
    std::pair<std::string, std::string> lines;
    const auto stored = [&](const mime::stored::Part& root) {
        lines.first = stored::SummaryLine(root, [](const std::string& v) { return v; });
    };
    const auto current = [&](const mime::current::Part& root) {
        const std::u16string line = current::SummaryLine(root);
        lines.second.assign(reinterpret_cast<const char*>(line.data()), line.size() * 2);
    };
    if (extent == MessageExtent::Header) {
        EXPECT_TRUE(WithMessageHead<mime::stored::Part>(path, stored)) << path;
        EXPECT_TRUE(WithMessageHead<mime::current::Part>(path, current)) << path;
    } else {
        EXPECT_TRUE(WithMessageTree<mime::stored::Part>(path, stored)) << path;
        EXPECT_TRUE(WithMessageTree<mime::current::Part>(path, current)) << path;
    }
    return lines;
}

// A summary comes from the header alone, so reading only up to the header's
// end gives the summary of the whole message: for every corpus message and
// for headers that end oddly or past the first piece read.
TEST(MessageHead, GivesTheSummaryOfTheWholeMessage) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(std::string(TARNWICK_CORPUS_DIR) + "/mail"))
        if (entry.is_regular_file()) paths.push_back(entry.path().string());
    ASSERT_GT(paths.size(), 100u);
    ScratchDir dir;
    const std::string longHeader = "Subject: " + std::string(platform::kFirstHeadPieceBytes * 3, 'x') + "\r\n";
    const std::string crafted[] = {
        "From: a\nSubject: bare line feeds\n\nbody\n",
        "From: a\r\nSubject: s\r\n\r\nbody\r\n",
        "From: a\r\nSubject: no empty line\r\n",
        "\r\nSubject: after an empty first line\r\n",
        "From: a\r\nSubject: an empty line of a lone carriage return\r\n\r\r\nDate: in the body\r\n",
        "From: a\r\nSubject: folded\r\n  on\r\n\tlines\r\n\r\nbody",
        longHeader + "From: past the first piece\r\n\r\nbody",
    };
    // Lines that would be header fields if the header went on, past the
    // first pieces read.
    const std::string fieldsAfter = test::Times("X-Filler: " + std::string(200, 'y') + "\r\n", 400) + "Date: late\r\n";
    int n = 0;
    for (const std::string& bytes : crafted) {
        paths.push_back(dir.Path() + "m" + std::to_string(n++));
        WriteFile(paths.back(), bytes + fieldsAfter + "\r\nbody");
    }
    for (const std::string& path : paths) {
        EXPECT_EQ(SummariesOf(path, MessageExtent::Header), SummariesOf(path, MessageExtent::Whole)) << path;
    }
}

}  // namespace
}  // namespace tarnwick::mailbox
