// The page threads. Each is a single-threaded apartment of its own, so the
// script engines and the components a page creates live on the thread that
// runs the page, as on a classic server. Requests of one session run one at
// a time in the order they arrived (their Session values need no locks);
// other requests run side by side (KeyedQueue.h).
#pragma once

#include <windows.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "host/site/KeyedQueue.h"

namespace tarnwick::host {

// Two page threads per processor, at least four: a page mostly waits on
// files and components, and a slow one must not hold up the others.
unsigned DefaultPageThreads();

class PagePool {
public:
    PagePool() = default;
    PagePool(const PagePool&) = delete;
    PagePool& operator=(const PagePool&) = delete;

    // Starts the threads; false when none could start.
    bool Start(unsigned threads);
    // Runs the job on a page thread, after the earlier jobs of the same key
    // ("" for a job that waits for nobody).
    void Post(const std::string& key, std::function<void()> job);
    // Waits until every job posted so far has run.
    void WaitIdle();

private:
    void ThreadMain();

    std::mutex mutex_;
    std::condition_variable idle_;
    KeyedQueue<std::function<void()>> queue_;
    size_t unfinished_ = 0;     // posted and not yet run to the end
    HANDLE ready_ = nullptr;    // a semaphore: one count per job ready to run
};

}  // namespace tarnwick::host
