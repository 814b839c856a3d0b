#include "export/BackgroundSink.h"

namespace brenzo::exporting {

BackgroundSink::BackgroundSink(ByteSink& target, std::size_t buffers)
    : target_(target), buffers_(buffers == 0 ? 1 : buffers), writer_([this] { run(); }) {}

BackgroundSink::~BackgroundSink() { (void)Finish(); }

Status BackgroundSink::Write(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return {};
    std::vector<std::uint8_t> buffer;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return !failure_.isOk() || inUse_ < buffers_ || stopping_; });
        if (!failure_.isOk()) return failure_;
        if (stopping_) return Error{"the export has already finished"};
        ++inUse_;
        if (!spare_.empty()) {
            buffer = std::move(spare_.back());
            spare_.pop_back();
        }
    }
    buffer.assign(bytes.begin(), bytes.end());
    {
        std::lock_guard lock(mutex_);
        queued_.push_back(std::move(buffer));
    }
    changed_.notify_all();
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
        std::vector<std::uint8_t> buffer;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return !queued_.empty() || stopping_; });
            if (queued_.empty()) return;  // stopping, and everything is written
            buffer = std::move(queued_.front());
            queued_.pop_front();
        }
        // After a failure the rest is dropped: the export is abandoned.
        Status s = failure_.isOk() ? target_.Write(buffer) : Status{};
        {
            std::lock_guard lock(mutex_);
            if (!s && failure_.isOk()) failure_ = s;
            --inUse_;
            spare_.push_back(std::move(buffer));
        }
        changed_.notify_all();
    }
}

}  // namespace brenzo::exporting
