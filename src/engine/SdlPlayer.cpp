#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "engine/Decoder.h"
#include "engine/Engine.h"
#include "engine/PcmStream.h"
#include "platform/Path.h"

namespace brenzo::engine {
namespace {

namespace fs = std::filesystem;

// A file's whole sound, decoded to 16 bits in the machine's order (what AUDIO_S16SYS takes),
// played by SDL's audio thread through `Fill`. The position is what that thread has taken so
// far; the main thread changes it only with the device locked, so a seek never interleaves
// with a callback.
class SdlStream final : public PcmStream {
public:
    SdlStream(std::vector<std::int16_t> samples, std::uint32_t rate, std::uint16_t channels)
        : PcmStream(std::move(samples), rate, channels) {}

    ~SdlStream() override {
        // Closing waits for a running callback, so nothing touches the samples afterwards.
        if (device_ != 0) SDL_CloseAudioDevice(device_);
        if (audioReference_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    Status OpenDevice(const fs::path& file) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Error{"Audio initialization error"};
        audioReference_ = true;
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(rate_);
        want.format = AUDIO_S16SYS;
        want.channels = static_cast<Uint8>(channels_);
        want.samples = 2048;
        want.callback = &SdlStream::Fill;
        want.userdata = this;
        SDL_AudioSpec have{};
        // With no changes allowed SDL converts to whatever the hardware wants by itself.
        device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (device_ == 0) return Error{"cannot play " + platform::FileNameUtf8(file) + ": " + SDL_GetError()};
        return {};
    }

    void Play() override { SDL_PauseAudioDevice(device_, 0); }
    void Pause() override { SDL_PauseAudioDevice(device_, 1); }
    void Stop() override {
        SDL_PauseAudioDevice(device_, 1);
        SetPositionBytes(0);
    }

    std::uint64_t PositionBytes() const override { return position_.load(std::memory_order_acquire); }

    void SetPositionBytes(std::uint64_t position) override {
        position = SeekTarget(position);
        SDL_LockAudioDevice(device_);
        position_.store(position, std::memory_order_release);
        SDL_UnlockAudioDevice(device_);
    }

private:
    static void SDLCALL Fill(void* user, Uint8* out, int length) {
        auto* self = static_cast<SdlStream*>(user);
        const std::uint64_t position = self->position_.load(std::memory_order_acquire);
        const std::size_t wanted = static_cast<std::size_t>(length);
        const std::size_t taken =
            static_cast<std::size_t>(std::min<std::uint64_t>(wanted, self->LengthBytes() - position));
        if (taken > 0) std::memcpy(out, self->Bytes() + position, taken);
        // Past the end the device keeps running on silence, and the position stays at the end.
        std::memset(out + taken, 0, wanted - taken);
        self->position_.store(position + taken, std::memory_order_release);
    }

    std::atomic<std::uint64_t> position_{0};
    SDL_AudioDeviceID device_ = 0;
    bool audioReference_ = false;
};

class SdlPlayer final : public Player {
public:
    Result<std::unique_ptr<Stream>> Open(const fs::path& file) override {
        auto decoder = Decoder::Open(file);
        if (!decoder) return decoder.error();
        const SourceFormat format = (*decoder)->format();
        const std::string name = platform::FileNameUtf8(file);
        if (format.channels > std::numeric_limits<Uint8>::max())
            return Error{"cannot play " + name + ": " + std::to_string(format.channels) + " channels are too many"};
        if (format.rate > static_cast<std::uint32_t>(std::numeric_limits<int>::max()))
            return Error{"cannot play " + name + ": the rate is too high"};
        return OpenDecoded<SdlStream>(**decoder, file);
    }
};

std::mutex gAudioMutex;
bool gAudioStarted = false;

}  // namespace

std::unique_ptr<Player> MakePlayer() { return std::make_unique<SdlPlayer>(); }

Status StartAudioOutput() {
    std::lock_guard lock(gAudioMutex);
    if (gAudioStarted) return {};
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Error{"Audio initialization error"};
    gAudioStarted = true;
    return {};
}

void StopAudioOutput() {
    std::lock_guard lock(gAudioMutex);
    if (!gAudioStarted) return;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    gAudioStarted = false;
}

std::vector<Library> PlayerLibraries() {
    SDL_version sdl{};
    SDL_GetVersion(&sdl);
    return {{"SDL2", std::to_string(sdl.major) + "." + std::to_string(sdl.minor) + "." + std::to_string(sdl.patch)}};
}

}  // namespace brenzo::engine
