// The order in which the page threads take requests: jobs of one key (a
// session's cookie) run one at a time, in the order they arrived; jobs of
// different keys, and jobs without a key, may run side by side. Portable
// and without locks of its own: the pool guards it and runs the threads.
#pragma once

#include <deque>
#include <map>
#include <string>
#include <utility>

namespace tarnwick::host {

template <class Job>
class KeyedQueue {
public:
    // Adds a job; true when it is ready to run now (nothing of its key is
    // running or waiting), false when it waits behind one of its key.
    bool Push(const std::string& key, Job job) {
        if (!key.empty()) {
            auto found = behind_.find(key);
            if (found != behind_.end()) {
                found->second.push_back(std::move(job));
                return false;
            }
            behind_[key];   // from now on a job of this key runs
        }
        ready_.emplace_back(key, std::move(job));
        return true;
    }

    // Takes the oldest ready job; false when none is ready.
    bool Pop(std::string& key, Job& job) {
        if (ready_.empty()) return false;
        key = std::move(ready_.front().first);
        job = std::move(ready_.front().second);
        ready_.pop_front();
        return true;
    }

    // The job of that key has ended. True when the next one of the key
    // became ready.
    bool Done(const std::string& key) {
        if (key.empty()) return false;
        auto found = behind_.find(key);
        if (found == behind_.end()) return false;
        if (found->second.empty()) {
            behind_.erase(found);
            return false;
        }
        ready_.emplace_back(key, std::move(found->second.front()));
        found->second.pop_front();
        return true;
    }

    size_t ReadyCount() const { return ready_.size(); }
    // Keys with a job running or ready.
    size_t BusyKeys() const { return behind_.size(); }

private:
    std::deque<std::pair<std::string, Job>> ready_;
    // A key is here while one of its jobs is ready or running; its value
    // holds the jobs waiting behind that one, oldest first.
    std::map<std::string, std::deque<Job>> behind_;
};

}  // namespace tarnwick::host
