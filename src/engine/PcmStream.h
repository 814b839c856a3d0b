#pragma once

// What a playing stream knows of its sound without its device: the whole sound decoded to
// 16-bit samples in the machine's order, its length, where a seek lands and how long a byte
// count plays. SDL2 and waveOut each add only their device.

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Engine.h"

namespace brenzo::engine {

class PcmStream : public Stream {
public:
    std::uint64_t LengthBytes() const final { return samples_.size() * 2; }

    double BytesToSeconds(std::uint64_t bytes) const final {
        return static_cast<double>(bytes) / (2.0 * channels_ * rate_);
    }

protected:
    PcmStream(std::vector<std::int16_t> samples, std::uint32_t rate, std::uint16_t channels)
        : samples_(std::move(samples)), rate_(rate), channels_(channels) {}

    // A seek lands at the start of a whole frame, never past the end.
    std::uint64_t SeekTarget(std::uint64_t position) const {
        const std::uint64_t frameBytes = 2ull * channels_;
        position = std::min(position, LengthBytes());
        return position - position % frameBytes;
    }

    const std::uint8_t* Bytes() const { return reinterpret_cast<const std::uint8_t*>(samples_.data()); }

    std::vector<std::int16_t> samples_;
    std::uint32_t rate_;
    std::uint16_t channels_;
};

// A stream of `DeviceStream` (a PcmStream with OpenDevice) over the decoder's whole sound, its
// device opened, not yet started.
template <class DeviceStream>
Result<std::unique_ptr<Stream>> OpenDecoded(Decoder& decoder, const std::filesystem::path& file) {
    auto samples = ReadAllPcm16(decoder, file);
    if (!samples) return samples.error();
    const SourceFormat& format = decoder.format();
    auto stream = std::make_unique<DeviceStream>(std::move(*samples), format.rate, format.channels);
    if (Status s = stream->OpenDevice(file); !s) return s.error();
    return std::unique_ptr<Stream>(std::move(stream));
}

}  // namespace brenzo::engine
