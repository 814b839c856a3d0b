#include "engine/windows/VorbisDecoder.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Path.h"

// The implementation is compiled here, in this file only.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wall"
#pragma GCC diagnostic ignored "-Wextra"
#pragma GCC diagnostic ignored "-Wpedantic"
#pragma GCC diagnostic ignored "-Wconversion"
#pragma GCC diagnostic ignored "-Wshadow"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-value"
#pragma GCC diagnostic ignored "-Wmisleading-indentation"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_vorbis.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace brenzo::engine::windows {
namespace {

namespace fs = std::filesystem;

Error refused(const fs::path& file, const std::string& reason) { return Decoder::Refused(file, reason); }

std::string reasonOf(int error) {
    switch (error) {
        case VORBIS_outofmem:
            return "out of memory";
        case VORBIS_too_many_channels:
            return "the file has too many channels";
        case VORBIS_file_open_failure:
            return "the file cannot be opened";
        case VORBIS_unexpected_eof:
            return "the file is cut short";
        case VORBIS_invalid_setup:
        case VORBIS_invalid_stream:
        case VORBIS_invalid_first_page:
        case VORBIS_invalid_stream_structure_version:
        case VORBIS_missing_capture_pattern:
        case VORBIS_continued_packet_flag_invalid:
        case VORBIS_incorrect_stream_serial_number:
        case VORBIS_bad_packet_type:
        case VORBIS_cant_find_last_page:
        case VORBIS_seek_failed:
            return "the OGG Vorbis stream is damaged";
        case VORBIS_ogg_skeleton_not_supported:
            return "OGG files with a skeleton stream are not supported";
        default:
            return "the OGG Vorbis stream cannot be decoded (stb_vorbis error " + std::to_string(error) + ")";
    }
}

// Where each part of a chained file begins: the offsets of the pages that begin a stream (an
// Ogg page header is 27 bytes, then a table of segment lengths, then the segments).
std::vector<long> partStarts(std::FILE* f) {
    std::vector<long> starts;
    long at = 0;
    for (;;) {
        std::uint8_t h[27 + 255];
        if (std::fseek(f, at, SEEK_SET) != 0 || std::fread(h, 1, 27, f) != 27) break;
        if (std::memcmp(h, "OggS", 4) != 0) break;
        const std::size_t segments = h[26];
        if (std::fread(h + 27, 1, segments, f) != segments) break;
        long body = 0;
        for (std::size_t i = 0; i < segments; ++i) body += h[27 + i];
        if (h[5] & 0x02) starts.push_back(at);
        at += 27 + static_cast<long>(segments) + body;
    }
    if (starts.empty()) starts.push_back(0);
    std::fseek(f, 0, SEEK_SET);
    return starts;
}

class VorbisDecoder final : public Decoder {
public:
    static Result<std::unique_ptr<Decoder>> Open(const fs::path& file) {
        std::unique_ptr<VorbisDecoder> d(new VorbisDecoder(file));
        d->file_ = _wfopen(file.c_str(), L"rb");
        if (!d->file_) return Decoder::Unreadable(file, std::strerror(errno));
        d->starts_ = partStarts(d->file_);
        int error = 0;
        d->vorbis_ = stb_vorbis_open_file(d->file_, 0, &error, nullptr);
        if (!d->vorbis_) return refused(file, reasonOf(error));
        const stb_vorbis_info info = stb_vorbis_get_info(d->vorbis_);
        if (Status s = Decoder::CheckShape(file, info.channels, info.sample_rate); !s) return s.error();
        d->format_.rate = info.sample_rate;
        d->format_.channels = static_cast<std::uint16_t>(info.channels);
        // The length of the first part (or, for a chained file, the granule of its last page):
        // an estimate that the reading corrects.
        const unsigned int length = stb_vorbis_stream_length_in_samples(d->vorbis_);
        if (length > 0) d->format_.frames = length;
        stb_vorbis_seek_start(d->vorbis_);
        return std::unique_ptr<Decoder>(std::move(d));
    }

    ~VorbisDecoder() override {
        if (vorbis_) stb_vorbis_close(vorbis_);
        if (file_) std::fclose(file_);
    }

    Result<std::size_t> Read(std::span<float> out) override {
        const int channels = format_.channels;
        for (;;) {
            const int got =
                stb_vorbis_get_samples_float_interleaved(vorbis_, channels, out.data(), static_cast<int>(out.size()));
            if (got > 0) return static_cast<std::size_t>(got);
            const int error = stb_vorbis_get_error(vorbis_);
            if (error != VORBIS__no_error && error != VORBIS_unexpected_eof) return refused(path_, reasonOf(error));
            // The end of this part; another may follow.
            auto next = nextPart();
            if (!next) return next.error();
            if (!*next) return std::size_t{0};
        }
    }

private:
    explicit VorbisDecoder(fs::path path) : path_(std::move(path)) {}

    // Opens the part that follows the current one: true when there is one.
    Result<bool> nextPart() {
        if (part_ + 1 >= starts_.size()) return false;
        const long start = starts_[++part_];
        if (std::fseek(file_, start, SEEK_SET) != 0) return false;
        int error = 0;
        stb_vorbis* next = stb_vorbis_open_file(file_, 0, &error, nullptr);
        if (!next) return refused(path_, "a later part of this chained OGG file cannot be read: " + reasonOf(error));
        const stb_vorbis_info info = stb_vorbis_get_info(next);
        if (info.channels != format_.channels || info.sample_rate != format_.rate) {
            stb_vorbis_close(next);
            return refused(path_, "the parts of this chained OGG file differ in rate or channel count");
        }
        stb_vorbis_close(vorbis_);
        vorbis_ = next;
        return true;
    }

    fs::path path_;
    std::FILE* file_ = nullptr;
    stb_vorbis* vorbis_ = nullptr;
    std::vector<long> starts_;
    std::size_t part_ = 0;
};

}  // namespace

Result<std::unique_ptr<Decoder>> OpenVorbis(const fs::path& file) { return VorbisDecoder::Open(file); }

}  // namespace brenzo::engine::windows
