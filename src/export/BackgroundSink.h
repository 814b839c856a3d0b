#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "export/Sink.h"

namespace brenzo::exporting {

// Hands the bytes written to it to another sink on a thread of its own, so that producing the
// next piece (decoding) overlaps writing the last one. Each Write copies its bytes into one of
// a few buffers and returns at once unless all of them wait to be written; SampleRoom lends
// one of those buffers to be decoded into, so that samples are not copied at all. A failure of
// the target is returned by the next Write or by Finish; nothing is written after it.
class BackgroundSink : public ByteSink {
public:
    explicit BackgroundSink(ByteSink& target, std::size_t buffers = 3);
    ~BackgroundSink() override;
    BackgroundSink(const BackgroundSink&) = delete;
    BackgroundSink& operator=(const BackgroundSink&) = delete;

    Status Write(std::span<const std::uint8_t> bytes) override;
    std::span<std::int16_t> SampleRoom(std::size_t count) override;
    Status WriteSamples(std::size_t count) override;
    // Waits until everything is written; the target's first failure, if any.
    Status Finish();

private:
    // Kept as 16-bit samples, so that a lent buffer is decoded into as what it holds; never
    // cleared when it grows, since it is filled whole before it is written.
    struct Piece {
        std::unique_ptr<std::int16_t[]> samples;
        std::size_t capacity = 0;  // samples
        std::size_t bytes = 0;     // to be written
        std::int16_t* room(std::size_t count) {
            if (capacity < count) {
                samples.reset(new std::int16_t[count]);
                capacity = count;
            }
            return samples.get();
        }
    };
    // A buffer to fill, once one is free; the failure that stops the export instead.
    Status take(Piece& piece);
    void queue(Piece piece);
    void run();

    // The buffers of the last sink on this thread, handed to the next one: "Export all" makes a
    // sink for each of thousands of sounds, and fresh memory from the system for each cost more
    // than decoding the sound.
    static thread_local std::vector<Piece> kept_;

    ByteSink& target_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Piece> queued_;  // waiting to be written, oldest first
    std::vector<Piece> spare_;  // written, to be filled again
    std::size_t buffers_;
    std::size_t inUse_ = 0;  // buffers lent, queued or being written
    bool stopping_ = false;
    Status failure_;
    Piece lent_;  // the room SampleRoom gave out
    bool lending_ = false;
    Status lendFailure_;  // why SampleRoom could not lend a buffer
    std::thread writer_;
};

}  // namespace brenzo::exporting
