// The page threads' order: one session's requests one at a time, in
// arrival order; other sessions and visitors without one beside them.
#include "host/site/KeyedQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using tarnwick::host::KeyedQueue;

namespace {

TEST(KeyedQueue, OneKeyRunsOneAtATimeInArrivalOrder) {
    KeyedQueue<int> q;
    EXPECT_TRUE(q.Push("s", 1));
    EXPECT_FALSE(q.Push("s", 2));
    EXPECT_FALSE(q.Push("s", 3));
    std::string key;
    int job = 0;
    ASSERT_TRUE(q.Pop(key, job));
    EXPECT_EQ(1, job);
    EXPECT_EQ("s", key);
    EXPECT_FALSE(q.Pop(key, job));   // 2 waits while 1 runs
    EXPECT_TRUE(q.Done("s"));
    ASSERT_TRUE(q.Pop(key, job));
    EXPECT_EQ(2, job);
    EXPECT_TRUE(q.Done("s"));
    ASSERT_TRUE(q.Pop(key, job));
    EXPECT_EQ(3, job);
    EXPECT_FALSE(q.Done("s"));
    EXPECT_EQ(0u, q.BusyKeys());
    EXPECT_TRUE(q.Push("s", 4));   // the key is free again
}

TEST(KeyedQueue, OtherKeysAndNoKeyAreNotHeldBack) {
    KeyedQueue<int> q;
    EXPECT_TRUE(q.Push("a", 1));
    EXPECT_FALSE(q.Push("a", 2));
    EXPECT_TRUE(q.Push("b", 3));
    EXPECT_TRUE(q.Push("", 4));
    EXPECT_TRUE(q.Push("", 5));
    std::vector<int> order;
    std::string key;
    int job = 0;
    while (q.Pop(key, job)) order.push_back(job);
    EXPECT_EQ((std::vector<int>{1, 3, 4, 5}), order);
    EXPECT_FALSE(q.Done(""));
    EXPECT_FALSE(q.Done("b"));
    EXPECT_TRUE(q.Done("a"));
    ASSERT_TRUE(q.Pop(key, job));
    EXPECT_EQ(2, job);
}

// Four threads take jobs the way the host's page threads do: no two jobs of
// one key overlap, each key's jobs run in the order they were pushed, and
// jobs of different keys do overlap.
TEST(KeyedQueue, ThreadsKeepEachKeyInOrder) {
    struct Job {
        int key = 0;
        int serial = 0;
    };
    constexpr int kKeys = 4, kPerKey = 50, kThreads = 4;
    KeyedQueue<Job> q;
    std::mutex mutex;
    std::condition_variable ready;
    int pending = kKeys * kPerKey;
    std::vector<int> running(kKeys, 0), next(kKeys, 0);
    std::atomic<int> overlaps{0}, outOfOrder{0}, together{0}, busy{0};
    for (int i = 0; i < kPerKey; ++i)
        for (int k = 0; k < kKeys; ++k) q.Push("session" + std::to_string(k), Job{k, i});

    auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            std::string key;
            Job job;
            ready.wait(lock, [&] { return pending == 0 || q.ReadyCount() > 0; });
            if (!q.Pop(key, job)) return;   // nothing left
            if (running[job.key]++ != 0) ++overlaps;
            if (next[job.key]++ != job.serial) ++outOfOrder;
            lock.unlock();
            if (++busy > 1) ++together;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            --busy;
            lock.lock();
            --running[job.key];
            --pending;
            q.Done(key);
            ready.notify_all();
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker);
    for (auto& t : threads) t.join();
    EXPECT_EQ(0, pending);
    EXPECT_EQ(0, overlaps.load());
    EXPECT_EQ(0, outOfOrder.load());
    EXPECT_GT(together.load(), 0);
}

}  // namespace
