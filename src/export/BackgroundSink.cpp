#include "export/BackgroundSink.h"

#include <algorithm>
#include <cstring>

namespace brenzo::exporting {

thread_local std::vector<BackgroundSink::Piece> BackgroundSink::kept_;

BackgroundSink::BackgroundSink(ByteSink& target, std::size_t buffers)
    : target_(target), spare_(std::move(kept_)), buffers_(buffers == 0 ? 1 : buffers), writer_([this] { run(); }) {
    kept_.clear();
}

BackgroundSink::~BackgroundSink() {
    (void)Finish();
    if (lent_.samples) spare_.push_back(std::move(lent_));
    if (spare_.size() > buffers_) spare_.resize(buffers_);
    kept_ = std::move(spare_);
}

Status BackgroundSink::take(Piece& piece) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !failure_.isOk() || inUse_ < buffers_ || stopping_; });
    if (!failure_.isOk()) return failure_;
    if (stopping_) return Error{"the export has already finished"};
    ++inUse_;
    if (!spare_.empty()) {
        piece = std::move(spare_.back());
        spare_.pop_back();
    }
    return {};
}

void BackgroundSink::queue(Piece piece) {
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(piece));
    }
    changed_.notify_all();
}

Status BackgroundSink::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return {};
    Piece piece;
    if (Status s = take(piece); !s) return s;
    std::memcpy(piece.room((bytes.size() + 1) / 2), bytes.data(), bytes.size());
    piece.bytes = bytes.size();
    queue(std::move(piece));
    return {};
}

std::span<std::int16_t> BackgroundSink::SampleRoom(std::size_t count) {
    if (!lending_) {
        lendFailure_ = take(lent_);
        // Without a buffer of its own the room is still given, and WriteSamples says why
        // nothing was written.
        lending_ = lendFailure_.isOk();
    }
    return {lent_.room(count), count};
}

Status BackgroundSink::WriteSamples(std::size_t count) {
    if (!lending_) return lendFailure_.isOk() ? Status{} : lendFailure_;
    lending_ = false;
    lent_.bytes = std::min(count, lent_.capacity) * 2;
    queue(std::move(lent_));
    lent_ = {};
    return {};
}

Status BackgroundSink::Finish() {
    {
        std::unique_lock lock(mutex_);
        if (!writer_.joinable()) return failure_;
        stopping_ = true;
    }
    changed_.notify_all();
    writer_.join();
    std::lock_guard lock(mutex_);
    return failure_;
}

void BackgroundSink::run() {
    for (;;) {
        Piece piece;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return !queued_.empty() || stopping_; });
            if (queued_.empty()) return;  // stopping, and everything is written
            piece = std::move(queued_.front());
            queued_.pop_front();
        }
        // After a failure the rest is dropped: the export is abandoned.
        Status s = failure_.isOk()
                       ? target_.Write({reinterpret_cast<const std::uint8_t*>(piece.samples.get()), piece.bytes})
                       : Status{};
        {
            std::lock_guard lock(mutex_);
            if (!s && failure_.isOk()) failure_ = s;
            --inUse_;
            spare_.push_back(std::move(piece));
        }
        changed_.notify_all();
    }
}

}  // namespace brenzo::exporting
