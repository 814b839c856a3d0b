#include "replace/EncodePipeline.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/Memory.h"

namespace brenzo::replace {
namespace {

// Pieces of about 256 KiB, eight in the ring: enough for the encoders to run behind the
// converter without waiting, little enough to stay in the caches, and allocated once.
constexpr std::size_t kPieceTarget = 256 * 1024;
constexpr std::size_t kRingPieces = 8;

}  // namespace

EncodePipeline::EncodePipeline(std::size_t channels) : channels_(channels) {}

EncodePipeline::~EncodePipeline() { stop(true); }

void EncodePipeline::stop(bool abandon) {
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
        abandoned_ = abandoned_ || abandon;
    }
    changed_.notify_all();
    for (auto& t : threads_) t.join();
    threads_.clear();
}

void EncodePipeline::Begin(const engine::ConvertedFormat& format) {
    // A new pass drops what an earlier one gave.
    stop(true);
    encoders_.clear();
    sampleBytes_ = 0;
    fill_ = 0;
    published_ = 0;
    ended_ = abandoned_ = failed_ = false;
    // Mono audio for several channels is encoded once: each channel would hold the same.
    active_ = channels_ > 0 && (format.channels == channels_ || format.channels == 1);
    if (!active_) return;
    const std::size_t channels = format.channels;

    const std::size_t frameBytes = 2 * channels;
    pieceBytes_ = std::max<std::size_t>(1, kPieceTarget / frameBytes) * frameBytes;
    if (ring_.size() != kRingPieces || ring_[0].size() != pieceBytes_)
        ring_.assign(kRingPieces, std::vector<std::uint8_t>(pieceBytes_));
    used_.assign(kRingPieces, 0);

    // One channel an encoder while a core is left for the conversion, else two side by side
    // on one core: two chains on a core together take less than one after the other (a
    // stereo file on two cores: both channels on one, the conversion on the other).
    const std::size_t group = std::thread::hardware_concurrency() > channels ? 1 : 2;
    try {
        for (std::size_t first = 0; first < channels; first += group) {
            encoders_.push_back(
                std::make_unique<codec::ChannelEncoder>(channels, first, std::min(group, channels - first)));
            codec::ChannelEncoder& e = *encoders_.back();
            e.Reserve(format.frames);
            // The coded streams are written once, end to end, in fresh memory.
            for (std::size_t k = 0; k < e.count(); ++k)
                platform::PreferHugePages(e.coded(k).data(), e.coded(k).capacity());
        }
        taken_.assign(encoders_.size(), 0);
        for (std::size_t w = 0; w < encoders_.size(); ++w) threads_.emplace_back([this, w] { work(w); });
    } catch (...) {
        // No memory or no thread to spare: the caller reads the converted file instead.
        stop(true);
        encoders_.clear();
        active_ = false;
    }
}

void EncodePipeline::Write(std::span<const std::uint8_t> samples) {
    if (!active_) return;
    sampleBytes_ += samples.size();
    while (!samples.empty()) {
        if (fill_ == 0) {
            // The next piece's place in the ring is free once every encoder has finished the
            // piece that held it before.
            std::unique_lock lock(mutex_);
            changed_.wait(lock,
                          [&] { return published_ - *std::min_element(taken_.begin(), taken_.end()) < ring_.size(); });
        }
        std::vector<std::uint8_t>& piece = ring_[published_ % ring_.size()];
        const std::size_t n = std::min(samples.size(), pieceBytes_ - fill_);
        std::memcpy(piece.data() + fill_, samples.data(), n);
        fill_ += n;
        samples = samples.subspan(n);
        if (fill_ == pieceBytes_) publish();
    }
}

void EncodePipeline::publish() {
    {
        std::lock_guard lock(mutex_);
        used_[published_ % ring_.size()] = fill_;
        ++published_;
    }
    fill_ = 0;
    changed_.notify_all();
}

void EncodePipeline::work(std::size_t w) {
    for (;;) {
        std::size_t slot = 0, size = 0;
        bool skip = false;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return taken_[w] < published_ || ended_; });
            if (taken_[w] == published_ || abandoned_) return;
            slot = taken_[w] % ring_.size();
            size = used_[slot];
            skip = failed_;
        }
        if (!skip) {
            try {
                encoders_[w]->Add(std::span(ring_[slot]).first(size));
            } catch (...) {
                std::lock_guard lock(mutex_);
                failed_ = true;
            }
        }
        {
            std::lock_guard lock(mutex_);
            ++taken_[w];
        }
        changed_.notify_all();
    }
}

std::optional<EncodePipeline::Encoded> EncodePipeline::Finish(const std::function<void()>& pump) {
    if (!active_) return std::nullopt;
    if (fill_ > 0) publish();
    {
        std::lock_guard lock(mutex_);
        ended_ = true;
    }
    changed_.notify_all();
    for (;;) {
        std::unique_lock lock(mutex_);
        const bool done = changed_.wait_for(lock, std::chrono::milliseconds(10), [&] {
            return std::all_of(taken_.begin(), taken_.end(), [&](std::uint64_t t) { return t == published_; });
        });
        if (done) break;
        lock.unlock();
        if (pump) pump();
    }
    stop(false);
    active_ = false;
    if (failed_) return std::nullopt;
    Encoded out;
    out.sampleBytes = sampleBytes_;
    for (auto& e : encoders_)
        for (std::size_t k = 0; k < e->count(); ++k) {
            out.coded.push_back(std::move(e->coded(k)));
            out.states.push_back(std::move(e->states(k)));
        }
    encoders_.clear();
    return out;
}

}  // namespace brenzo::replace
