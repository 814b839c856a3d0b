#include "engine/PcmWavReader.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/Path.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;

std::uint16_t u16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
}

constexpr std::uint16_t kPcm = 1;
constexpr std::uint16_t kFloat = 3;
constexpr std::uint16_t kExtensible = 0xFFFE;

class PcmWavDecoder final : public Decoder {
public:
    PcmWavDecoder(fs::path file, const PcmWavLayout& layout) : file_(std::move(file)), layout_(layout) {
        format_.rate = layout.rate;
        format_.channels = layout.channels;
        format_.frames = layout.frames;
    }

    Status Open() {
        in_.open(file_, std::ios::binary);
        if (!in_) return Error{"cannot read " + platform::FileNameUtf8(file_) + ": it cannot be opened", true};
        in_.seekg(static_cast<std::streamoff>(layout_.dataOffset));
        return {};
    }

    Result<std::size_t> Read(std::span<float> out) override {
        auto got = readFrames(out.size());
        if (!got) return got;
        const std::size_t sampleBytes = layout_.bits / 8u;
        for (std::size_t i = 0; i < *got * layout_.channels; ++i)
            out[i] = PcmWavSample(bytes_.data() + i * sampleBytes, layout_.bits, layout_.isFloat);
        return got;
    }

    bool Holds16BitSamples() const override { return layout_.bits == 16 && !layout_.isFloat; }

    Result<std::size_t> ReadPcm16(std::span<std::int16_t> out) override {
        if (!Holds16BitSamples()) return Decoder::ReadPcm16(out);
        auto got = readFrames(out.size());
        if (!got) return got;
        for (std::size_t i = 0; i < *got * layout_.channels; ++i)
            out[i] = static_cast<std::int16_t>(u16(bytes_.data() + 2 * i));
        return got;
    }

private:
    // The next frames' bytes, at most `samples` samples' worth, into bytes_.
    Result<std::size_t> readFrames(std::size_t samples) {
        const std::size_t frameBytes = layout_.bits / 8u * std::size_t{layout_.channels};
        const std::size_t frames =
            static_cast<std::size_t>(std::min<std::uint64_t>(samples / layout_.channels, layout_.frames - done_));
        if (frames == 0) return std::size_t{0};
        bytes_.resize(frames * frameBytes);
        in_.read(reinterpret_cast<char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
        const std::size_t got = static_cast<std::size_t>(in_.gcount()) / frameBytes;
        if (got == 0) return Error{"cannot read " + platform::FileNameUtf8(file_) + ": the file ended early", true};
        done_ += got;
        return got;
    }

    fs::path file_;
    PcmWavLayout layout_;
    std::ifstream in_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t done_ = 0;
};

}  // namespace

float PcmWavSample(const std::uint8_t* p, std::uint16_t bits, bool isFloat) {
    if (isFloat) {
        if (bits == 32) {
            float f;
            const std::uint32_t v = u32(p);
            std::memcpy(&f, &v, 4);
            return f;
        }
        const std::uint64_t v = u32(p) | (std::uint64_t{u32(p + 4)} << 32);
        double d;
        std::memcpy(&d, &v, 8);
        return static_cast<float>(d);
    }
    switch (bits) {
        case 8:
            return static_cast<float>(static_cast<int>(p[0]) - 128) * (1.0f / 128.0f);
        case 16:
            return static_cast<float>(static_cast<std::int16_t>(u16(p))) * (1.0f / 32768.0f);
        case 24: {
            const auto v = static_cast<std::int32_t>((std::uint32_t{p[0]} << 8) | (std::uint32_t{p[1]} << 16) |
                                                     (std::uint32_t{p[2]} << 24));
            return static_cast<float>(v) * (1.0f / 2147483648.0f);
        }
        default:
            return static_cast<float>(static_cast<std::int32_t>(u32(p))) * (1.0f / 2147483648.0f);
    }
}

std::optional<PcmWavLayout> ReadPcmWavLayout(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
    if (head.size() < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0)
        return std::nullopt;
    PcmWavLayout layout;
    bool haveFormat = false;
    std::size_t at = 12;
    while (at + 8 <= head.size()) {
        const std::uint8_t* chunk = head.data() + at;
        const std::uint32_t size = u32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || at + 8 + 16 > head.size()) return std::nullopt;
            const std::uint8_t* f = chunk + 8;
            std::uint16_t tag = u16(f);
            layout.channels = u16(f + 2);
            layout.rate = u32(f + 4);
            const std::uint16_t blockAlign = u16(f + 12);
            layout.bits = u16(f + 14);
            if (tag == kExtensible) {
                if (size < 40 || at + 8 + 40 > head.size()) return std::nullopt;
                tag = u16(f + 24);  // the first two bytes of the sub-format's GUID
                static const std::uint8_t kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
                if (std::memcmp(f + 26, kGuidTail, 14) != 0) return std::nullopt;
            }
            if (tag != kPcm && tag != kFloat) return std::nullopt;
            layout.isFloat = tag == kFloat;
            const bool sizeOk = layout.isFloat
                                    ? (layout.bits == 32 || layout.bits == 64)
                                    : (layout.bits == 8 || layout.bits == 16 || layout.bits == 24 || layout.bits == 32);
            if (!sizeOk || layout.channels == 0 || layout.rate == 0) return std::nullopt;
            if (blockAlign != layout.bits / 8u * layout.channels) return std::nullopt;
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) return std::nullopt;
            layout.dataOffset = at + 8;
            const std::uint64_t present = fileSize > layout.dataOffset ? fileSize - layout.dataOffset : 0;
            const std::uint64_t frameBytes = layout.bits / 8u * layout.channels;
            layout.frames = std::min<std::uint64_t>(size, present) / frameBytes;
            return layout;
        }
        at += 8 + std::uint64_t{size} + (size & 1);
    }
    return std::nullopt;
}

Result<std::unique_ptr<Decoder>> OpenPcmWav(const fs::path& file, const PcmWavLayout& layout) {
    auto d = std::make_unique<PcmWavDecoder>(file, layout);
    if (Status s = d->Open(); !s) return s.error();
    return std::unique_ptr<Decoder>(std::move(d));
}

}  // namespace brenzo::engine
