// Decoding on Windows: OGG Vorbis through stb_vorbis, everything else Windows decodes (WAV, MP3,
// FLAC, AAC) through Media Foundation's source reader, asked for 32-bit float so that the one
// rounding to 16 bits is ours, as on Linux.
#include <windows.h>
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Mp3Gapless.h"
#include "engine/PcmWavReader.h"
#include "engine/SoundKind.h"
#include "engine/windows/MediaFoundation.h"
#include "engine/windows/VorbisDecoder.h"
#include "platform/Path.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;
using windows::ComPtr;

Error refused(const fs::path& file, const std::string& reason) { return Decoder::Refused(file, reason); }
Error unreadable(const fs::path& file, const std::string& reason) { return Decoder::Unreadable(file, reason); }

// The file's first bytes; more when an ID3 tag longer than that comes first.
std::optional<std::vector<std::uint8_t>> readStart(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> bytes(8192);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() >= 10 && std::memcmp(bytes.data(), "ID3", 3) == 0) {
        const std::size_t tag = (std::size_t{bytes[6]} & 0x7F) << 21 | (std::size_t{bytes[7]} & 0x7F) << 14 |
                                (std::size_t{bytes[8]} & 0x7F) << 7 | (std::size_t{bytes[9]} & 0x7F);
        const std::size_t want = std::min<std::size_t>(tag + 20 + 8192, 64u << 20);
        if (want > bytes.size()) {
            const std::size_t had = bytes.size();
            bytes.resize(want);
            in.clear();
            in.read(reinterpret_cast<char*>(bytes.data() + had), static_cast<std::streamsize>(want - had));
            bytes.resize(had + static_cast<std::size_t>(in.gcount()));
        }
    }
    return bytes;
}

const wchar_t* mimeType(SoundKind kind) {
    switch (kind) {
        case SoundKind::Wav:
            return L"audio/wav";
        case SoundKind::Mp3:
            return L"audio/mpeg";
        case SoundKind::Flac:
            return L"audio/flac";
        case SoundKind::Aac:
            return L"audio/aac";
        case SoundKind::Mp4:
            return L"audio/mp4";
        default:
            return nullptr;
    }
}

class MfDecoder final : public Decoder {
public:
    static Result<std::unique_ptr<Decoder>> Open(const fs::path& file, SoundKind kind,
                                                 std::optional<Mp3Gapless> gapless) {
        if (Status s = windows::StartMediaFoundation(); !s) return refused(file, s.message());
        std::unique_ptr<MfDecoder> d(new MfDecoder(file));
        ComPtr<IMFByteStream> stream;
        HRESULT hr = MFCreateFile(MF_ACCESSMODE_READ, MF_OPENMODE_FAIL_IF_NOT_EXIST, MF_FILEFLAGS_NONE, file.c_str(),
                                  stream.put());
        if (FAILED(hr)) return unreadable(file, windows::DescribeHResult(hr));
        // The kind found by content decides the decoder, whatever the file is called.
        ComPtr<IMFAttributes> streamAttributes;
        if (SUCCEEDED(stream->QueryInterface(IID_PPV_ARGS(streamAttributes.put()))))
            streamAttributes->SetString(MF_BYTESTREAM_CONTENT_TYPE, mimeType(kind));
        hr = MFCreateSourceReaderFromByteStream(stream.get(), nullptr, d->reader_.put());
        if (FAILED(hr)) return refused(file, "Windows cannot decode this file (" + windows::DescribeHResult(hr) + ")");

        d->reader_->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE);
        hr = d->reader_->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), TRUE);
        if (FAILED(hr)) return refused(file, "the file holds no sound");
        ComPtr<IMFMediaType> want;
        MFCreateMediaType(want.put());
        want->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio);
        want->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float);
        hr = d->reader_->SetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), nullptr,
                                             want.get());
        if (FAILED(hr))
            return refused(file,
                           "Windows has no decoder for this kind of sound (" + windows::DescribeHResult(hr) + ")");
        ComPtr<IMFMediaType> got;
        hr = d->reader_->GetCurrentMediaType(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), got.put());
        if (FAILED(hr)) return refused(file, windows::DescribeHResult(hr));
        UINT32 channels = 0, rate = 0, bits = 0;
        got->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels);
        got->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate);
        got->GetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, &bits);
        GUID subtype{};
        got->GetGUID(MF_MT_SUBTYPE, &subtype);
        if (subtype != MFAudioFormat_Float || bits != 32)
            return refused(file, "Windows does not give it as float samples");
        if (Status s = CheckShape(file, channels, rate); !s) return s.error();
        d->format_.rate = rate;
        d->format_.channels = static_cast<std::uint16_t>(channels);

        if (gapless && gapless->rate == rate && gapless->frames > 0) {
            d->skip_ = gapless->Skip();
            d->limit_ = gapless->Length();
            d->format_.frames = gapless->Length();
        } else {
            PROPVARIANT duration;
            PropVariantInit(&duration);
            if (SUCCEEDED(d->reader_->GetPresentationAttribute(static_cast<DWORD>(MF_SOURCE_READER_MEDIASOURCE),
                                                               MF_PD_DURATION, &duration)) &&
                duration.vt == VT_UI8 && duration.uhVal.QuadPart > 0) {
                // In units of 100 ns: an estimate, which the reading corrects. A length of 0 is
                // not taken at its word: a decoder that gives nothing is then a failure.
                const unsigned long long units = duration.uhVal.QuadPart;
                d->format_.frames = (units * rate + 5'000'000ull) / 10'000'000ull;
            }
            PropVariantClear(&duration);
        }
        return std::unique_ptr<Decoder>(std::move(d));
    }

    ~MfDecoder() override { reader_.reset(); }

    Result<std::size_t> Read(std::span<float> out) override {
        const std::size_t channels = format_.channels;
        const std::size_t wanted = out.size() / channels;
        std::size_t done = 0;
        while (done < wanted) {
            if (pendingAt_ == pending_.size()) {
                if (ended_) break;
                if (Status s = fill(); !s) return s.error();
                continue;
            }
            std::size_t frames = std::min(wanted - done, (pending_.size() - pendingAt_) / channels);
            if (limit_) frames = static_cast<std::size_t>(std::min<std::uint64_t>(frames, *limit_ - given_));
            if (frames == 0) break;
            std::memcpy(out.data() + done * channels, pending_.data() + pendingAt_, frames * channels * sizeof(float));
            pendingAt_ += frames * channels;
            done += frames;
            given_ += frames;
        }
        return done;
    }

private:
    explicit MfDecoder(fs::path file) : file_(std::move(file)) {}

    // Reads the next decoded piece into `pending_`, less the frames still to be skipped.
    Status fill() {
        pending_.clear();
        pendingAt_ = 0;
        if (limit_ && given_ >= *limit_) {
            ended_ = true;
            return {};
        }
        DWORD flags = 0;
        DWORD index = 0;
        LONGLONG time = 0;
        ComPtr<IMFSample> sample;
        const HRESULT hr = reader_->ReadSample(static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM), 0, &index,
                                               &flags, &time, sample.put());
        if (FAILED(hr)) return refused(file_, "decoding failed (" + windows::DescribeHResult(hr) + ")");
        if (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED)
            return refused(file_, "the stream changes its format midway");
        if (flags & MF_SOURCE_READERF_ENDOFSTREAM) ended_ = true;
        if (!sample) return {};
        ComPtr<IMFMediaBuffer> buffer;
        if (FAILED(sample->ConvertToContiguousBuffer(buffer.put()))) return refused(file_, "decoding failed");
        BYTE* data = nullptr;
        DWORD length = 0;
        if (FAILED(buffer->Lock(&data, nullptr, &length))) return refused(file_, "decoding failed");
        const std::size_t frameBytes = sizeof(float) * format_.channels;
        std::size_t frames = length / frameBytes;
        std::size_t first = 0;
        if (skip_ > 0) {
            first = static_cast<std::size_t>(std::min<std::uint64_t>(skip_, frames));
            skip_ -= first;
        }
        pending_.resize((frames - first) * format_.channels);
        if (!pending_.empty()) std::memcpy(pending_.data(), data + first * frameBytes, pending_.size() * sizeof(float));
        buffer->Unlock();
        return {};
    }

    fs::path file_;
    ComPtr<IMFSourceReader> reader_;
    std::vector<float> pending_;
    std::size_t pendingAt_ = 0;
    bool ended_ = false;
    std::uint64_t skip_ = 0;
    std::optional<std::uint64_t> limit_;
    std::uint64_t given_ = 0;
};

}  // namespace

Result<std::unique_ptr<Decoder>> Decoder::Open(const fs::path& file) {
    if (Status s = CheckReadable(file); !s) return s.error();
    std::error_code ec;
    auto start = readStart(file);
    if (!start) return unreadable(file, "it cannot be opened");
    const SoundKind kind = SniffSoundKind(*start);
    switch (kind) {
        case SoundKind::OggVorbis:
            return windows::OpenVorbis(file);
        case SoundKind::OggOpus:
            return refused(file, "Opus files cannot be decoded on Windows; convert it to OGG Vorbis, MP3 or WAV");
        case SoundKind::OggOther:
            return refused(file, "this OGG file holds no Vorbis sound");
        case SoundKind::Unknown:
            if (start->empty()) return refused(file, "the file is empty");
            // libsndfile's words, so that both builds refuse alike.
            return refused(file, "Format not recognised");
        case SoundKind::Mp3:
            return MfDecoder::Open(file, kind, ReadMp3Gapless(*start));
        case SoundKind::Wav:
            // Plain PCM and float WAV files are read here, exactly; compressed ones go to Windows.
            if (auto layout = ReadPcmWavLayout(*start, static_cast<std::uint64_t>(fs::file_size(file, ec))))
                return OpenPcmWav(file, *layout);
            return MfDecoder::Open(file, kind, std::nullopt);
        default:
            return MfDecoder::Open(file, kind, std::nullopt);
    }
}

}  // namespace brenzo::engine
