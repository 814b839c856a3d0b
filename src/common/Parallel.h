#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <exception>
#include <future>
#include <thread>
#include <vector>

namespace brenzo {

// Runs work(i) for i in [0, count) on up to one thread per core, while the calling thread
// keeps calling pump() (so that a window stays responsive) until all of it is done. work must
// not touch what pump touches. The first exception thrown by a piece of work is rethrown.
template <class Work, class Pump>
void ParallelFor(std::size_t count, Work work, Pump pump) {
    const std::size_t threads = std::min<std::size_t>(count, std::max(1u, std::thread::hardware_concurrency()));
    if (threads <= 1) {
        for (std::size_t i = 0; i < count; ++i) {
            pump();
            work(i);
        }
        return;
    }
    std::atomic<std::size_t> next{0};
    std::vector<std::future<void>> running;
    for (std::size_t t = 0; t < threads; ++t) {
        running.push_back(std::async(std::launch::async, [&] {
            for (std::size_t i; (i = next.fetch_add(1)) < count;) work(i);
        }));
    }
    for (auto& r : running) {
        while (r.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) pump();
    }
    for (auto& r : running) r.get();
}

}  // namespace brenzo
