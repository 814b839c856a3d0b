#include "engine/Decoder.h"

#include <mpg123.h>
#include <sndfile.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>

#include "platform/Path.h"

namespace brenzo::engine {

namespace {

namespace fs = std::filesystem;

// libsndfile's reasons end in a full stop and sometimes a line break; ours do not.
std::string trimmed(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

Error refused(const fs::path& file, const std::string& reason) { return Decoder::Refused(file, reason); }

// libsndfile stops every read at the frame count it announced when the file was opened. For an
// MPEG stream without a Xing header that count is mpg123's guess from the first frame's bit
// rate, so a VBR file would be cut short; such streams are decoded with libmpg123 directly,
// set up as libsndfile sets it up, and read until mpg123 itself reports the end.
class MpegDecoder final : public Decoder {
public:
    static Result<std::unique_ptr<Decoder>> Open(const fs::path& file) {
        static std::once_flag initialised;
        std::call_once(initialised, [] { mpg123_init(); });

        std::unique_ptr<MpegDecoder> d(new MpegDecoder(file));
        int error = MPG123_OK;
        d->handle_ = mpg123_new(nullptr, &error);
        if (!d->handle_) return refused(file, mpg123_plain_strerror(error));
        mpg123_param(d->handle_, MPG123_REMOVE_FLAGS, MPG123_AUTO_RESAMPLE, 0.0);
        // Joined files ("cat a.mp3 b.mp3", each part with its own LAME header) are decoded
        // whole: mpg123 takes the later parts' frames as the stream going on, where
        // MPG123_NO_FRANKENSTEIN would end the sound at the first part's declared length.
        mpg123_param(d->handle_, MPG123_ADD_FLAGS, MPG123_FORCE_FLOAT | MPG123_GAPLESS | MPG123_QUIET, 0.0);
        // mpg123 takes UTF-8 paths on every system (it widens them itself on Windows).
        if (mpg123_open(d->handle_, platform::PathToUtf8(file).c_str()) != MPG123_OK)
            return refused(file, mpg123_strerror(d->handle_));
        d->open_ = true;
        // Walking the frame headers once gives the exact length, so the converter can write the
        // right header the first time; a file that cannot be walked still decodes.
        const bool scanned = mpg123_scan(d->handle_) == MPG123_OK;

        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(d->handle_, &rate, &channels, &encoding) != MPG123_OK)
            return refused(file, mpg123_strerror(d->handle_));
        if (encoding != MPG123_ENC_FLOAT_32) {
            mpg123_format_none(d->handle_);
            if (mpg123_format(d->handle_, rate, channels, MPG123_ENC_FLOAT_32) != MPG123_OK)
                return refused(file, mpg123_strerror(d->handle_));
        }
        if (Status s = CheckShape(file, channels, rate); !s) return s.error();
        d->format_.rate = static_cast<std::uint32_t>(rate);
        d->format_.channels = static_cast<std::uint16_t>(channels);
        if (scanned) {
            const off_t length = mpg123_length(d->handle_);
            if (length >= 0) d->format_.frames = static_cast<std::uint64_t>(length);
        }
        return std::unique_ptr<Decoder>(std::move(d));
    }

    ~MpegDecoder() override {
        if (!handle_) return;
        if (open_) mpg123_close(handle_);
        mpg123_delete(handle_);
    }

    Result<std::size_t> Read(std::span<float> out) override {
        const std::size_t frameBytes = sizeof(float) * format_.channels;
        for (;;) {
            std::size_t done = 0;
            const int rc =
                mpg123_read(handle_, reinterpret_cast<unsigned char*>(out.data()), out.size() * sizeof(float), &done);
            if (rc == MPG123_OK || rc == MPG123_DONE) return done / frameBytes;
            if (rc == MPG123_NEW_FORMAT) {
                // Announced once more at the start; a real change of rate or channels midway
                // cannot go into one WAV.
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                if (rate != static_cast<long>(format_.rate) || channels != format_.channels ||
                    encoding != MPG123_ENC_FLOAT_32)
                    return refused(file_, "the stream changes its format midway");
                if (done > 0) return done / frameBytes;
                continue;
            }
            return refused(file_, mpg123_strerror(handle_));
        }
    }

private:
    explicit MpegDecoder(fs::path file) : file_(std::move(file)) {}
    fs::path file_;
    mpg123_handle* handle_ = nullptr;
    bool open_ = false;
};

// libsndfile ends an Ogg Vorbis file at the end of its first logical stream, but "cat a.ogg
// b.ogg" is one valid file of two chained parts. libvorbisfile walks the whole chain; parts
// of different rates or channel counts cannot go into one WAV and are refused.
class VorbisDecoder final : public Decoder {
public:
    // Nothing when libvorbisfile cannot open the file (a stream cut inside its headers), which
    // libsndfile then decodes as far as it can.
    static std::optional<Result<std::unique_ptr<Decoder>>> Open(const fs::path& file) {
        std::unique_ptr<VorbisDecoder> d(new VorbisDecoder(file));
        if (ov_fopen(platform::PathToUtf8(file).c_str(), &d->vf_) != 0) return std::nullopt;
        d->open_ = true;
        const vorbis_info* first = ov_info(&d->vf_, 0);
        if (!first || first->channels <= 0 || first->rate <= 0) return std::nullopt;
        d->format_.rate = static_cast<std::uint32_t>(first->rate);
        d->format_.channels = static_cast<std::uint16_t>(first->channels);
        for (long link = 1; link < ov_streams(&d->vf_); ++link)
            if (Status s = d->checkLink(link); !s) return Result<std::unique_ptr<Decoder>>(s.error());
        // Opening a chain scans it to its end and can leave the decoder at the last part's
        // start: decoding begins at the first byte of the file.
        if (ov_seekable(&d->vf_) && ov_raw_seek(&d->vf_, 0) != 0) return std::nullopt;
        const ogg_int64_t total = ov_pcm_total(&d->vf_, -1);
        // A length of 0 is what a stream cut inside its headers shows too: it declares nothing.
        if (total > 0) d->format_.frames = static_cast<std::uint64_t>(total);
        return Result<std::unique_ptr<Decoder>>(std::unique_ptr<Decoder>(std::move(d)));
    }

    ~VorbisDecoder() override {
        if (open_) ov_clear(&vf_);
    }

    Result<std::size_t> Read(std::span<float> out) override {
        const std::size_t channels = format_.channels;
        const std::size_t want = out.size() / channels;
        std::size_t done = 0;
        while (done < want) {
            float** pcm = nullptr;
            int link = 0;
            const long got =
                ov_read_float(&vf_, &pcm, static_cast<int>(std::min<std::size_t>(want - done, 4096)), &link);
            if (got == 0) break;
            if (got == OV_HOLE) continue;  // a gap in the pages: what follows still decodes
            if (got < 0) return refused(file_, "the Ogg Vorbis stream is damaged");
            if (Status s = checkLink(link); !s) return s.error();
            for (long f = 0; f < got; ++f)
                for (std::size_t c = 0; c < channels; ++c)
                    out[(done + static_cast<std::size_t>(f)) * channels + c] = pcm[c][f];
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

private:
    explicit VorbisDecoder(fs::path file) : file_(std::move(file)) {}

    static std::string describe(long rate, int channels) {
        return std::to_string(rate) + " Hz, " + std::to_string(channels) + (channels == 1 ? " channel" : " channels");
    }

    Status checkLink(long link) {
        const vorbis_info* info = ov_info(&vf_, static_cast<int>(link));
        if (!info) return refused(file_, "the Ogg Vorbis stream is damaged");
        if (info->rate == static_cast<long>(format_.rate) && info->channels == format_.channels) return {};
        return refused(file_, "its chained parts differ in sample rate or channel count (" +
                                  describe(static_cast<long>(format_.rate), format_.channels) + ", then " +
                                  describe(info->rate, info->channels) + ")");
    }

    fs::path file_;
    OggVorbis_File vf_{};
    bool open_ = false;
};

class SndfileDecoder final : public Decoder {
public:
    static Result<std::unique_ptr<Decoder>> Open(const fs::path& file) {
        SF_INFO info{};
#ifdef _WIN32
        SNDFILE* handle = sf_wchar_open(file.c_str(), SFM_READ, &info);
#else
        SNDFILE* handle = sf_open(platform::PathToUtf8(file).c_str(), SFM_READ, &info);
#endif
        if (!handle) {
            const std::string reason = trimmed(sf_strerror(nullptr));
            if (sf_error(nullptr) == SF_ERR_SYSTEM) {
                static const std::string kPrefix = "System error : ";
                return Unreadable(file, reason.rfind(kPrefix, 0) == 0 ? reason.substr(kPrefix.size()) : reason);
            }
            // Said of a file whose MPEG-looking start mpg123 would not open; the file was
            // checked to exist before, so the user gets the true story.
            if (reason.rfind("File does not exist", 0) == 0)
                return refused(file, "the file is damaged or not a sound file");
            // libsndfile's words for a header whose rate does not fit its signed field (0, or
            // 2^31 and above), which read like a fault of the program.
            if (reason.rfind("Internal error : SF_INFO struct incomplete", 0) == 0)
                return refused(file, "its header declares no usable sample rate (0 Hz, or 2147483648 Hz or more)");
            return refused(file, reason);
        }
        std::unique_ptr<SndfileDecoder> d(new SndfileDecoder(file, handle, info.format));
        if (Status s = CheckShape(file, info.channels, info.samplerate); !s) return s.error();
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_MPEG) {
            d.reset();
            return MpegDecoder::Open(file);
        }
        if ((info.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_OGG &&
            (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_VORBIS) {
            if (auto vorbis = VorbisDecoder::Open(file)) return std::move(*vorbis);
        }
        d->format_.rate = static_cast<std::uint32_t>(info.samplerate);
        d->format_.channels = static_cast<std::uint16_t>(info.channels);
        // SF_COUNT_MAX stands for "unknown" (a cut-off Ogg stream, a FLAC without its count).
        if (info.frames >= 0 && info.frames < SF_COUNT_MAX) d->format_.frames = static_cast<std::uint64_t>(info.frames);
        return std::unique_ptr<Decoder>(std::move(d));
    }

    ~SndfileDecoder() override { sf_close(handle_); }

    Result<std::size_t> Read(std::span<float> out) override {
        const sf_count_t frames = static_cast<sf_count_t>(out.size() / format_.channels);
        return got(sf_readf_float(handle_, out.data(), frames));
    }

    // libsndfile reads a 16-bit sample as itself over 32768, a power of two: ToPcm16 gives the
    // sample back exactly, so reading the integers is the same.
    bool Holds16BitSamples() const override { return sixteen_; }

    Result<std::size_t> ReadPcm16(std::span<std::int16_t> out) override {
        if (!sixteen_) return Decoder::ReadPcm16(out);
        const sf_count_t frames = static_cast<sf_count_t>(out.size() / format_.channels);
        return got(sf_readf_short(handle_, out.data(), frames));
    }

private:
    SndfileDecoder(fs::path file, SNDFILE* handle, int format)
        : file_(std::move(file)), handle_(handle), sixteen_((format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16) {}

    Result<std::size_t> got(sf_count_t frames) {
        if (frames > 0) return static_cast<std::size_t>(frames);
        if (sf_error(handle_) != SF_ERR_NO_ERROR) return refused(file_, trimmed(sf_strerror(handle_)));
        return std::size_t{0};
    }

    fs::path file_;
    SNDFILE* handle_;
    bool sixteen_;
};

}  // namespace

Result<std::unique_ptr<Decoder>> Decoder::Open(const fs::path& file) {
    if (Status s = CheckReadable(file); !s) return s.error();
    return SndfileDecoder::Open(file);
}

}  // namespace brenzo::engine
