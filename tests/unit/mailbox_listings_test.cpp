// The kept listings: reused only while the directory's time is unchanged and
// settled, so every change by anyone is seen by the next call.
#include "mailbox/MailboxListings.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "mailbox/MailboxIndex.h"
#include "tests/unit/TestFiles.h"

namespace tarnwick::mailbox {
namespace {

class MailboxListingsTest : public ::testing::Test {
protected:
    // Sets the directory's last-write time to secondsAgo before the test
    // began (the same stamp every time for one number).
    void SetDirectoryAge(const std::string& dir, int secondsAgo) {
        timespec times[2] = {start, start};
        times[0].tv_sec -= secondsAgo;
        times[1].tv_sec -= secondsAgo;
        ASSERT_EQ(utimensat(AT_FDCWD, dir.c_str(), times, 0), 0);
    }
    void SetUp() override {
        clock_gettime(CLOCK_REALTIME, &start);
        box = store.Path() + "ann/mailbox/";
        test::MakeDirs(box);
        test::WriteFile(box + "1.in", "one\r\n");
    }
    long Count() const { return MailboxIndex(store.Path(), "ann").MailCount(); }
    // A file added behind the cache's back, the directory's time put back.
    void AddKeepingTime(const std::string& name, int secondsAgo) {
        test::WriteFile(box + name, "x\r\n");
        SetDirectoryAge(box, secondsAgo);
    }

    timespec start;
    test::ScratchDir store;
    std::string box;
};

TEST_F(MailboxListingsTest, ChangesInTheSameSecondAreSeen) {
    for (int n = 2; n <= 5; ++n) {
        ASSERT_EQ(Count(), n - 1);
        test::WriteFile(box + std::to_string(n) + ".in", "x\r\n");
    }
    EXPECT_EQ(Count(), 5);
    ASSERT_EQ(std::remove((box + "3.in").c_str()), 0);
    EXPECT_EQ(Count(), 4);
}

// The proof that a listing is kept at all: with the time put back, a settled
// listing serves; a changed time is listed again.
TEST_F(MailboxListingsTest, ASettledListingIsReusedUntilTheTimeChanges) {
    SetDirectoryAge(box, 10);
    EXPECT_EQ(Count(), 1);
    AddKeepingTime("2.in", 10);
    EXPECT_EQ(Count(), 1);
    SetDirectoryAge(box, 9);
    EXPECT_EQ(Count(), 2);
}

TEST_F(MailboxListingsTest, AListingTakenWithinTwoSecondsOfAChangeIsTakenAgain) {
    SetDirectoryAge(box, 1);
    EXPECT_EQ(Count(), 1);
    AddKeepingTime("2.in", 1);
    EXPECT_EQ(Count(), 2);
}

TEST_F(MailboxListingsTest, DeleteMailForgetsTheListing) {
    test::WriteFile(box + "2.in", "x\r\n");
    SetDirectoryAge(box, 10);
    const MailboxIndex index(store.Path(), "ann");
    EXPECT_EQ(index.MailCount(), 2);
    index.DeleteMail(0);
    SetDirectoryAge(box, 10);
    EXPECT_EQ(index.MailCount(), 1);
}

TEST_F(MailboxListingsTest, TheLeastRecentlyUsedListingGoesFirst) {
    SetDirectoryAge(box, 10);
    EXPECT_EQ(Count(), 1);
    AddKeepingTime("2.in", 10);
    for (std::size_t i = 0; i < MailboxListings::kMaxDirectories; ++i) {
        const std::string user = "u" + std::to_string(i);
        test::MakeDirs(store.Path() + user + "/mailbox");
        MailboxIndex(store.Path(), user).MailCount();
    }
    EXPECT_EQ(Count(), 2);
}

TEST_F(MailboxListingsTest, AnotherProcessesChangesAreSeen) {
    test::WriteFile(box + "2.in", "x\r\n");
    SetDirectoryAge(box, 10);
    const MailboxIndex index(store.Path(), "ann");
    std::string first;
    ASSERT_TRUE(index.FindMessageEntry(0, first));
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {   // renames one message, delivers another
        const bool ok = std::rename((box + first).c_str(), (box + "9.in").c_str()) == 0;
        if (std::FILE* f = std::fopen((box + "3.in").c_str(), "wb")) std::fclose(f);
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(index.MailCount(), 3);
    std::string name;
    for (long i = 0; index.FindMessageEntry(i, name); ++i) EXPECT_NE(name, first);
}

}  // namespace
}  // namespace tarnwick::mailbox
