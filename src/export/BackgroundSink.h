#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "export/Sink.h"

namespace brenzo::exporting {

// Hands the bytes written to it to another sink on a thread of its own, so that producing the
// next piece (decoding) overlaps writing the last one. Each Write copies its bytes into one of
// a few buffers and returns at once unless all of them wait to be written. A failure of the
// target is returned by the next Write or by Finish; nothing is written after it.
class BackgroundSink : public ByteSink {
public:
    explicit BackgroundSink(ByteSink& target, std::size_t buffers = 3);
    ~BackgroundSink() override;
    BackgroundSink(const BackgroundSink&) = delete;
    BackgroundSink& operator=(const BackgroundSink&) = delete;

    Status Write(std::span<const std::uint8_t> bytes) override;
    // Waits until everything is written; the target's first failure, if any.
    Status Finish();

private:
    void run();

    ByteSink& target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> queued_;  // waiting to be written, oldest first
    std::vector<std::vector<std::uint8_t>> spare_;  // written, to be filled again
    std::size_t buffers_;
    std::size_t inUse_ = 0;  // buffers queued or being written
    bool stopping_ = false;
    Status failure_;
    std::thread writer_;
};

}  // namespace brenzo::exporting
