#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "workspace/Worker.h"

namespace brenzo::testing {

// A front end's thread for the worker's tests: the test's own thread, running what was posted
// to it.
class FrontThread {
public:
    workspace::Worker::Post Poster() {
        return [this](std::function<void()> fn) {
            std::lock_guard lock(mutex_);
            posted_.push_back(std::move(fn));
            wake_.notify_one();
        };
    }
    // Runs posted functions until `done` holds; false after 10 s (a deadlock fails, not hangs).
    bool RunUntil(const std::function<bool()>& done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!done()) {
            std::unique_lock lock(mutex_);
            if (!wake_.wait_until(lock, deadline, [&] { return !posted_.empty(); })) return false;
            auto fn = std::move(posted_.front());
            posted_.pop_front();
            lock.unlock();
            fn();
        }
        return true;
    }
    bool HasPosted() {
        std::lock_guard lock(mutex_);
        return !posted_.empty();
    }

private:
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace brenzo::testing
