// Drives the engine from the command line, so that the Linux and the Windows builds can be run
// over the same inputs and their results compared (tests/engine/compare-engines):
//   engine-probe convert IN OUT   converts as the editor does (rates of 65536 Hz and above
//                                 become 48000 Hz); prints "RATE CHANNELS FRAMES"
//   engine-probe play IN          plays IN to the end, pausing, seeking back and resuming on
//                                 the way; prints the positions it saw
//   engine-probe play-through IN  plays IN once to its end
// A failure prints the engine's message and exits with 1.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "engine/Engine.h"
#include "platform/Files.h"
#include "platform/Path.h"

using namespace brenzo;

namespace {

int fail(const std::string& message) {
    std::printf("error: %s\n", message.c_str());
    return 1;
}

int convert(const char* in, const char* out) {
    auto converter = engine::MakeConverter();
    auto result = converter->Convert(
        platform::PathFromUtf8(in), platform::PathFromUtf8(out),
        [](std::uint32_t rate) { return rate >= 65536 ? 48000u : rate; }, [] {});
    if (!result) return fail(result.message());
    std::printf("%u %u %llu\n", result->rate, static_cast<unsigned>(result->channels),
                static_cast<unsigned long long>(result->frames));
    return 0;
}

bool waitFor(engine::Stream& s, std::uint64_t position, int seconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (s.PositionBytes() < position) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// Plays the whole file once, without a pause.
int playThrough(const char* in) {
    if (Status s = engine::StartAudioOutput(); !s) return fail(s.message());
    auto opened = engine::MakePlayer()->Open(platform::PathFromUtf8(in));
    if (!opened) return fail(opened.message());
    engine::Stream& s = **opened;
    s.Play();
    if (!waitFor(s, s.LengthBytes(), 30)) return fail("the position did not reach the end");
    // What the device still holds is heard before the stream closes.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::printf("end %llu\n", static_cast<unsigned long long>(s.PositionBytes()));
    opened->reset();
    engine::StopAudioOutput();
    return 0;
}

int play(const char* in) {
    if (Status s = engine::StartAudioOutput(); !s) return fail(s.message());
    auto opened = engine::MakePlayer()->Open(platform::PathFromUtf8(in));
    if (!opened) return fail(opened.message());
    engine::Stream& s = **opened;
    const std::uint64_t length = s.LengthBytes();
    std::printf("length %llu\n", static_cast<unsigned long long>(length));
    std::printf("before play %llu\n", static_cast<unsigned long long>(s.PositionBytes()));
    s.Play();
    if (!waitFor(s, length / 2, 20)) return fail("the position did not reach the middle");
    s.Pause();
    const std::uint64_t paused = s.PositionBytes();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::uint64_t later = s.PositionBytes();
    std::printf("paused %s\n",
                later == paused
                    ? "and still"
                    : ("but moved from " + std::to_string(paused) + " to " + std::to_string(later)).c_str());
    s.SetPositionBytes(length / 4 + 1);
    std::printf("after seek %llu\n", static_cast<unsigned long long>(s.PositionBytes()));
    s.Play();
    if (!waitFor(s, length, 20)) return fail("the position did not reach the end");
    std::printf("end %llu\n", static_cast<unsigned long long>(s.PositionBytes()));
    opened->reset();
    engine::StopAudioOutput();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    platform::SetBinaryStdout();  // the same bytes on both systems
    if (argc == 4 && std::strcmp(argv[1], "convert") == 0) return engine::FinishProcess(convert(argv[2], argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "play") == 0) return engine::FinishProcess(play(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "play-through") == 0) return engine::FinishProcess(playThrough(argv[2]));
    std::fprintf(stderr, "usage: engine-probe convert IN OUT | engine-probe play IN | engine-probe play-through IN\n");
    return 2;
}
