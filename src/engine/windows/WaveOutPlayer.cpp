// Playing on Windows through waveOut: a file's whole sound decoded to 16 bits, handed to the
// device in a few short buffers that a feeding thread refills as the device returns them.
#include <windows.h>
#include <mmreg.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Engine.h"
#include "engine/PcmStream.h"
#include "platform/Path.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;

// KSDATAFORMAT_SUBTYPE_PCM, defined here rather than through a library of GUIDs.
const GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

std::string waveOutText(MMRESULT code) {
    wchar_t text[MAXERRORLENGTH] = {};
    if (waveOutGetErrorTextW(code, text, MAXERRORLENGTH) != MMSYSERR_NOERROR) return "error " + std::to_string(code);
    std::u16string u(reinterpret_cast<const char16_t*>(text));
    return platform::Utf8FromUtf16(u);
}

class WaveOutStream final : public PcmStream {
public:
    WaveOutStream(std::vector<std::int16_t> samples, std::uint32_t rate, std::uint16_t channels)
        : PcmStream(std::move(samples), rate, channels) {}

    ~WaveOutStream() override {
        if (device_) {
            {
                std::lock_guard lock(mutex_);
                quit_ = true;
                waveOutReset(device_);
            }
            SetEvent(event_);
            if (feeder_.joinable()) feeder_.join();
            for (auto& h : headers_)
                if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &h, sizeof h);
            waveOutClose(device_);
        }
        if (event_) CloseHandle(event_);
    }

    Status OpenDevice(const fs::path& file) {
        event_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        if (!event_) return Error{"cannot play " + platform::FileNameUtf8(file) + ": no event"};
        WAVEFORMATEXTENSIBLE format{};
        format.Format.wFormatTag = channels_ > 2 ? WAVE_FORMAT_EXTENSIBLE : WAVE_FORMAT_PCM;
        format.Format.nChannels = channels_;
        format.Format.nSamplesPerSec = rate_;
        format.Format.wBitsPerSample = 16;
        format.Format.nBlockAlign = static_cast<WORD>(2 * channels_);
        format.Format.nAvgBytesPerSec = rate_ * format.Format.nBlockAlign;
        if (channels_ > 2) {
            format.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
            format.Samples.wValidBitsPerSample = 16;
            format.dwChannelMask = 0;
            format.SubFormat = kSubtypePcm;
        }
        const MMRESULT rc =
            waveOutOpen(&device_, WAVE_MAPPER, &format.Format, reinterpret_cast<DWORD_PTR>(event_), 0, CALLBACK_EVENT);
        if (rc != MMSYSERR_NOERROR) {
            device_ = nullptr;
            return Error{"cannot play " + platform::FileNameUtf8(file) + ": " + waveOutText(rc)};
        }
        const std::size_t bufferBytes = std::max<std::size_t>(4096, (rate_ / 20) * 2u * channels_);  // 50 ms
        for (auto& b : buffers_) b.resize(bufferBytes);
        feeder_ = std::thread([this] { feed(); });
        return {};
    }

    // While paused nothing is queued and the position is the one kept; playing starts the
    // device afresh from there, its count from zero.
    void Play() override {
        std::lock_guard lock(mutex_);
        if (playing_) return;
        waveOutReset(device_);
        base_ = next_ = paused_;
        playing_ = true;
        waveOutRestart(device_);
        SetEvent(event_);
    }

    void Pause() override {
        std::lock_guard lock(mutex_);
        if (!playing_) return;
        paused_ = positionLocked();
        playing_ = false;
        waveOutReset(device_);
    }

    void Stop() override {
        Pause();
        SetPositionBytes(0);
    }

    std::uint64_t PositionBytes() const override {
        std::lock_guard lock(mutex_);
        return positionLocked();
    }

    void SetPositionBytes(std::uint64_t position) override {
        position = SeekTarget(position);
        std::lock_guard lock(mutex_);
        if (!playing_) {
            paused_ = position;
            return;
        }
        // A reset hands every queued buffer back and sets the device's count to zero.
        waveOutReset(device_);
        base_ = next_ = position;
        SetEvent(event_);
    }

private:
    std::uint64_t positionLocked() const {
        if (!playing_) return paused_;
        MMTIME time{};
        time.wType = TIME_BYTES;
        std::uint64_t played = 0;
        if (waveOutGetPosition(device_, &time, sizeof time) == MMSYSERR_NOERROR && time.wType == TIME_BYTES)
            played = time.u.cb;
        // Never ahead of what was handed over, and at the end once everything handed over is back.
        std::uint64_t position = std::min(base_ + played, next_);
        if (next_ == LengthBytes() && allDoneLocked()) position = next_;
        return std::min(position, LengthBytes());
    }

    bool allDoneLocked() const {
        for (const auto& h : headers_)
            if ((h.dwFlags & WHDR_PREPARED) && !(h.dwFlags & WHDR_DONE)) return false;
        return true;
    }

    void feed() {
        for (;;) {
            WaitForSingleObject(event_, 50);
            std::lock_guard lock(mutex_);
            if (quit_) return;
            for (std::size_t i = 0; i < headers_.size(); ++i) {
                WAVEHDR& h = headers_[i];
                if ((h.dwFlags & WHDR_PREPARED) && !(h.dwFlags & WHDR_DONE)) continue;
                if (h.dwFlags & WHDR_PREPARED) waveOutUnprepareHeader(device_, &h, sizeof h);
                if (!playing_ || next_ >= LengthBytes()) continue;
                const std::size_t n =
                    static_cast<std::size_t>(std::min<std::uint64_t>(buffers_[i].size(), LengthBytes() - next_));
                std::memcpy(buffers_[i].data(), Bytes() + next_, n);
                h = WAVEHDR{};
                h.lpData = buffers_[i].data();
                h.dwBufferLength = static_cast<DWORD>(n);
                if (waveOutPrepareHeader(device_, &h, sizeof h) != MMSYSERR_NOERROR) continue;
                if (waveOutWrite(device_, &h, sizeof h) != MMSYSERR_NOERROR) {
                    waveOutUnprepareHeader(device_, &h, sizeof h);
                    continue;
                }
                next_ += n;
            }
        }
    }

    HWAVEOUT device_ = nullptr;
    HANDLE event_ = nullptr;
    std::thread feeder_;
    mutable std::mutex mutex_;
    std::array<WAVEHDR, 4> headers_{};
    std::array<std::vector<char>, 4> buffers_;
    std::uint64_t base_ = 0;    // the position the device's count starts from
    std::uint64_t next_ = 0;    // the first byte not yet handed to the device
    std::uint64_t paused_ = 0;  // the position while not playing
    bool playing_ = false;
    bool quit_ = false;
};

class WaveOutPlayer final : public Player {
public:
    Result<std::unique_ptr<Stream>> Open(const fs::path& file) override {
        auto decoder = Decoder::Open(file);
        if (!decoder) return decoder.error();
        return OpenDecoded<WaveOutStream>(**decoder, file);
    }
};

std::mutex gAudioMutex;
bool gAudioStarted = false;

}  // namespace

std::unique_ptr<Player> MakePlayer() { return std::make_unique<WaveOutPlayer>(); }

Status StartAudioOutput() {
    std::lock_guard lock(gAudioMutex);
    if (gAudioStarted) return {};
    // waveOut needs no start of its own. A machine without an output device still edits; each
    // preview then says why it cannot play.
    gAudioStarted = true;
    return {};
}

void StopAudioOutput() {
    std::lock_guard lock(gAudioMutex);
    gAudioStarted = false;
}

// waveOut is a part of Windows itself.
std::vector<Library> PlayerLibraries() { return {{"waveOut", "(Windows)"}}; }

}  // namespace brenzo::engine
