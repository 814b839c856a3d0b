// brenzo-bench KERNEL SECONDS: times one of our kernels on SECONDS of 44.1 kHz audio, in this
// process, and prints the median of several runs in seconds.
//   decode      the block decoder (DecodeStateBlocks), a piece of an export at a time
//   decode-portable, decode-avx2, decode-avx512   the same on one path
//   decode-whole the block decoder into one buffer of the whole sound
//   nibble      the plain per-nibble decoder, for reference
//   encode      ADPCMEncodeStream
//   encode-pair two channels of stereo frames encoded side by side (ADPCMEncodeChannels)
//   encode-apart the same two channels one after the other
//   makeima F   writes an IMA ADPCM WAV (ffmpeg's block layout) of the same audio to F
//   makepcm F   writes the same audio as a 16-bit PCM WAV to F
//   makebank F  writes a plain ADPCM bank holding the same audio as one sound to F
//   makemulti F writes a 2-channel ADPCM multichannel file of the same audio to F
//   makeima2 F  writes a stereo IMA ADPCM WAV of the same samples to F
//   makelist N BANK INI   writes a bank of N tiny sounds and a "Hashes.ini" naming all of them
//   makebig N MB BANK     writes a plain ADPCM bank of N sounds, MB megabytes in all
//   rebuild BANK N        replaces sound N of an opened bank with 10 s of audio and prints the
//                         seconds of the rebuild and of the save (the open and the encoding
//                         are not timed)
//   makestereo F          writes SECONDS of stereo 16-bit PCM WAV to F (the replace input)
//   exportall BANK DIR [copy]  exports every sound of BANK into DIR as "Export all" does,
//                         through a scratch folder of its own, and prints the seconds (the open
//                         not timed); "copy": each sound written into the cache, then copied
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>
#include <vector>

#include "codec/IMAADPCM.h"
#include "codec/Wav.h"
#include "common/ByteWriter.h"
#include "export/ExportCommands.h"
#include "formats/BankFile.h"
#include "formats/MultiWriter.h"
#ifdef BRENZO_HAVE_ENGINE
#include "engine/Engine.h"
#endif
#include "platform/Files.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "workspace/Scratch.h"
#include "workspace/Workspace.h"

using namespace brenzo::codec;
using brenzo::storeI16;

namespace {

std::vector<std::uint8_t> pcmOf(std::size_t samples) {
    std::vector<std::uint8_t> pcm(samples * 2);
    std::uint32_t noise = 1;
    for (std::size_t i = 0; i < samples; ++i) {
        noise = noise * 1664525u + 1013904223u;
        double t = static_cast<double>(i) / 44100.0;
        double v = 0.5 * std::sin(2 * M_PI * 220 * t) + 0.3 * std::sin(2 * M_PI * 1375 * t) +
                   0.05 * (static_cast<double>(noise >> 16) / 32768.0 - 1.0);
        storeI16(&pcm[2 * i], static_cast<std::int16_t>(v * 26000));
    }
    return pcm;
}

// Wall time, or with BRENZO_BENCH_CPU set the CPU time of this thread (steadier on a loaded
// machine, where the wall time also counts the time other programs run).
double now() {
    static const bool cpu = std::getenv("BRENZO_BENCH_CPU") != nullptr;
    if (cpu) {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

template <class F>
double median(F f, int runs = 7) {
    std::vector<double> t;
    for (int r = 0; r < runs; ++r) {
        const double a = now();
        f();
        t.push_back(now() - a);
    }
    std::sort(t.begin(), t.end());
    return t[t.size() / 2];
}

void put(std::ofstream& out, std::uint32_t v, int n) {
    std::uint8_t b[4];
    brenzo::storeU32(b, v);
    out.write(reinterpret_cast<const char*>(b), n);
}

// An IMA ADPCM WAV in the common block layout (1024 bytes a block and channel), holding as
// many samples per channel as ours; for ffmpeg to decode.
void writeImaWav(const char* path, const std::vector<std::uint8_t>& coded, std::uint16_t channels) {
    const std::uint32_t blockAlign = 1024 * channels, perChannel = 1020;
    const std::uint32_t samplesPerBlock = perChannel * 2 + 1;
    const std::size_t blocks = coded.size() / perChannel;
    std::ofstream out(path, std::ios::binary);
    const std::uint32_t dataSize = static_cast<std::uint32_t>(blocks * blockAlign);
    out.write("RIFF", 4);
    put(out, 4 + 28 + 8 + 8 + dataSize, 4);
    out.write("WAVEfmt ", 8);
    put(out, 20, 4);
    put(out, 0x11, 2);
    put(out, channels, 2);
    put(out, 44100, 4);
    put(out, 44100 * blockAlign / samplesPerBlock, 4);
    put(out, blockAlign, 2);
    put(out, 4, 2);
    put(out, 2, 2);
    put(out, samplesPerBlock, 2);
    out.write("data", 4);
    put(out, dataSize, 4);
    for (std::size_t b = 0; b < blocks; ++b) {
        for (std::uint16_t c = 0; c < channels; ++c) put(out, 0, 4);  // first sample, index
        // 4-byte groups of 8 samples, channel after channel.
        for (std::uint32_t g = 0; g < perChannel / 4; ++g)
            for (std::uint16_t c = 0; c < channels; ++c)
                out.write(reinterpret_cast<const char*>(coded.data() + b * perChannel + 4 * g), 4);
    }
}

void writeFile(const char* path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::uint32_t hashOf(std::uint32_t i) { return i * 2654435761u + 12345u; }

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: brenzo-bench decode|nibble|encode|makeima SECONDS [FILE]\n");
        return 1;
    }
    const std::string kernel = argv[1];
    if (kernel == "makelist" && argc > 4) {
        using namespace brenzo::formats;
        const std::uint32_t n = static_cast<std::uint32_t>(std::atol(argv[2]));
        TBankAudio bank;
        std::vector<std::uint8_t> tiny;  // empty sounds: the listing, not the file size, is measured
        std::string ini = "[Hashes]\r\n";
        BankSources sources;
        for (std::uint32_t i = 0; i < n; ++i) {
            bank.BanksHeadInfo.push_back({0, hashOf(i), 0});
            TBankChannelInfo info;
            info.Size = 0;
            info.Frequency = 22050;
            info.Compression = kCompressionPcm;
            bank.BanksInfo.push_back(info);
            sources.samples.emplace_back(tiny);
            ini += std::to_string(hashOf(i)) + "=sound_number_" + std::to_string(i) + "\r\n";
        }
        (void)LayoutBank(bank, BankKind::Plain, RecordForm::Pcm);
        writeFile(argv[3], *WriteBank(bank, BankKind::Plain, RecordForm::Pcm, sources));
        writeFile(argv[4], std::vector<std::uint8_t>(ini.begin(), ini.end()));
        return 0;
    }
    if (kernel == "makebig" && argc > 4) {
        using namespace brenzo::formats;
        const std::uint32_t n = static_cast<std::uint32_t>(std::atol(argv[2]));
        const std::size_t total = static_cast<std::size_t>(std::atol(argv[3])) << 20;
        const std::uint32_t each = static_cast<std::uint32_t>(total / n / 2048 * 2048 - 1000);
        std::vector<std::uint8_t> coded(each);
        std::uint32_t x = 7;
        for (auto& b : coded) b = static_cast<std::uint8_t>((x = x * 1103515245u + 12345u) >> 24);
        TBankAudio bank;
        BankSources sources;
        for (std::uint32_t i = 0; i < n; ++i) {
            bank.BanksHeadInfo.push_back({0, hashOf(i), 0});
            TBankChannelInfo info;
            info.Size = each;
            info.Frequency = 22050;
            info.Compression = kCompressionAdpcm;
            info.States.assign((each + 2047) / 2048, TADPCMState{0, 10});
            bank.BanksInfo.push_back(info);
            sources.samples.emplace_back(coded);
        }
        (void)LayoutBank(bank, BankKind::Plain, RecordForm::Adpcm);
        writeFile(argv[4], *WriteBank(bank, BankKind::Plain, RecordForm::Adpcm, sources));
        return 0;
    }
#ifdef BRENZO_HAVE_ENGINE
    if (kernel == "convert" && argc > 3) {
        auto converter = brenzo::engine::MakeConverter();
        auto start = std::chrono::steady_clock::now();
        auto r = converter->Convert(
            brenzo::platform::PathFromUtf8(argv[2]), brenzo::platform::PathFromUtf8(argv[3]),
            [](std::uint32_t rate) { return rate >= 65536 ? 48000u : rate; }, [] {});
        if (!r) return 1;
        std::printf("%.6f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        return 0;
    }
#endif
    if (kernel == "exportall" && argc > 3) {
        // "Export all" of a bank into a folder, through a scratch folder of its own in the
        // user's temporary directory, as the window runs it.
        using namespace brenzo;
        auto scratch = workspace::ScratchFolders::Create();
        if (!scratch) return 1;
        workspace::SilentPort port;
        int status = 1;
        {
            workspace::Workspace ws(workspace::HashNames(), &*scratch);
            if (ws.Open(platform::PathFromUtf8(argv[2]), port) == workspace::OpenOutcome::Loaded) {
                const auto folder = platform::PathFromUtf8(argv[3]);
                auto start = std::chrono::steady_clock::now();
                bool done = true;
                if (argc > 4 && std::string(argv[4]) == "copy") {
                    // Each sound written into the cache, then copied to its target.
                    const auto names = exporting::ExportAllFileNames(ws);
                    for (std::size_t i = 0; i < names.size() && done; ++i) {
                        auto cache = exporting::EnsureCacheWav(ws, i, port);
                        done = cache && platform::CopyFileAtomically(*cache, folder / platform::PathFromUtf8(names[i]),
                                                                     platform::Durability::Cached);
                    }
                } else {
                    done = exporting::ExportAllInto(ws, folder, port).isOk();
                }
                if (done) {
                    std::printf("%.6f\n",
                                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
                    status = 0;
                }
            }
        }
        scratch->Remove();
        return status;
    }
    if (kernel == "rebuild" && argc > 3) {
        using namespace brenzo;
        workspace::Workspace ws(workspace::HashNames(), nullptr);
        workspace::SilentPort port;
        if (ws.Open(platform::PathFromUtf8(argv[2]), port) != workspace::OpenOutcome::Loaded) return 1;
        auto pcm = pcmOf(441000);
        std::vector<std::uint8_t> coded, states;
        ADPCMEncodeStream(pcm, coded, states, static_cast<std::int32_t>(pcm.size()));
        const auto n = static_cast<std::uint32_t>(std::atol(argv[3]));
        auto start = std::chrono::steady_clock::now();
        auto rebuilt = replace::RebuildBankAdpcm(*ws.CurrentBank(), formats::BankKind::Plain, ws.SourceImage, n, coded,
                                                 states, 44100);
        if (!rebuilt) return 1;
        auto built = std::chrono::steady_clock::now();
        if (!replace::SaveOverOpenedFile(ws, rebuilt->plan)) return 1;
        auto saved = std::chrono::steady_clock::now();
        std::printf("%.6f %.6f\n", std::chrono::duration<double>(built - start).count(),
                    std::chrono::duration<double>(saved - built).count());
        return 0;
    }
    const std::size_t samples = static_cast<std::size_t>(std::atof(argv[2]) * 44100) / 4096 * 4096;
    auto pcm = pcmOf(samples);
    std::vector<std::uint8_t> coded, stateBytes;
    ADPCMEncodeStream(pcm, coded, stateBytes, static_cast<std::int32_t>(pcm.size()));
    auto states = ParseStoredStates(stateBytes);
    std::vector<std::int16_t> out(states.size() * kStateBlockSamples);

    // The decoders write into a buffer of one export piece (64 blocks, 512 KiB) used again and
    // again, as an export does: a buffer of the whole sound would time first touches of fresh
    // pages and the memory bus instead of the decoding.
    constexpr std::size_t kPieceBlocks = 64;
    std::vector<std::int16_t> piece(kPieceBlocks * kStateBlockSamples);
    auto decodeInPieces = [&](auto decodePiece) {
        for (std::size_t k = 0; k < states.size(); k += kPieceBlocks) {
            const std::size_t count = std::min(kPieceBlocks, states.size() - k);
            decodePiece(std::span<const std::uint8_t>(coded).subspan(k * kStateBlockBytes, count * kStateBlockBytes),
                        std::span<const TADPCMState>(states).subspan(k, count));
        }
    };
    double seconds = 0;
    if (kernel == "decode") {
        seconds = median([&] { decodeInPieces([&](auto c, auto s) { DecodeStateBlocks(c, s, piece.data()); }); });
    } else if (kernel == "decode-portable" || kernel == "decode-avx2" || kernel == "decode-avx512") {
        const LanePath path = kernel == "decode-portable" ? LanePath::Portable
                              : kernel == "decode-avx2"   ? LanePath::Avx2
                                                          : LanePath::Avx512;
        seconds =
            median([&] { decodeInPieces([&](auto c, auto s) { DecodeStateBlocksOn(path, c, s, piece.data()); }); });
    } else if (kernel == "decode-whole") {
        seconds = median([&] { DecodeStateBlocks(std::span<const std::uint8_t>(coded), states, out.data()); });
    } else if (kernel == "nibble") {
        seconds = median([&] {
            for (std::size_t k = 0; k < states.size(); ++k) {
                TADPCMState s = states[k];
                for (std::size_t i = 0; i < kStateBlockBytes; ++i) {
                    std::uint8_t b = coded[k * kStateBlockBytes + i];
                    std::int16_t* o = piece.data() + k % kPieceBlocks * kStateBlockSamples;
                    o[2 * i] = ADPCMDecodeNibble(b & 15, s);
                    o[2 * i + 1] = ADPCMDecodeNibble(b >> 4, s);
                }
            }
        });
    } else if (kernel == "encode") {
        seconds = median([&] {
            std::vector<std::uint8_t> c, st;
            ADPCMEncodeStream(pcm, c, st, static_cast<std::int32_t>(pcm.size()));
        });
    } else if (kernel == "encode-pair" || kernel == "encode-apart") {
        // The stereo frames of a replace: the samples above beside themselves reversed.
        std::vector<std::uint8_t> frames(2 * pcm.size());
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            std::memcpy(&frames[2 * i], &pcm[i], 2);
            std::memcpy(&frames[2 * i + 2], &pcm[pcm.size() - 2 - i], 2);
        }
        const bool pair = kernel == "encode-pair";
        seconds = median([&] {
            std::vector<std::vector<std::uint8_t>> c(2), st(2);
            const auto bytes = static_cast<std::int32_t>(pcm.size());
            if (pair) {
                ADPCMEncodeChannels(frames, 2, 0, c, st, bytes);
            } else {
                for (std::size_t j = 0; j < 2; ++j)
                    ADPCMEncodeChannels(frames, 2, j, std::span(c).subspan(j, 1), std::span(st).subspan(j, 1), bytes);
            }
        });
    } else if (kernel == "makeima" && argc > 3) {
        writeImaWav(argv[3], coded, 1);
        return 0;
    } else if (kernel == "makeima2" && argc > 3) {
        writeImaWav(argv[3], coded, 2);
        return 0;
    } else if (kernel == "makestereo" && argc > 3) {
        std::vector<std::uint8_t> wav;
        WriteWavHeader(wav, 2, 44100, static_cast<std::uint32_t>(2 * pcm.size()));
        for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
            wav.insert(wav.end(), {pcm[i], pcm[i + 1], pcm[pcm.size() - 2 - i], pcm[pcm.size() - 1 - i]});
        }
        writeFile(argv[3], wav);
        return 0;
    } else if (kernel == "makepcm" && argc > 3) {
        std::vector<std::uint8_t> wav;
        WriteWavHeader(wav, 1, 44100, static_cast<std::uint32_t>(pcm.size()));
        wav.insert(wav.end(), pcm.begin(), pcm.end());
        writeFile(argv[3], wav);
        return 0;
    } else if (kernel == "makebank" && argc > 3) {
        using namespace brenzo::formats;
        TBankAudio bank;
        bank.BanksHeadInfo.push_back({0, 1, 0});
        TBankChannelInfo info;
        info.Size = static_cast<std::uint32_t>(coded.size());
        info.Frequency = 44100;
        info.Compression = kCompressionAdpcm;
        info.States = states;
        bank.BanksInfo.push_back(info);
        (void)LayoutBank(bank, BankKind::Plain, RecordForm::Adpcm);
        BankSources sources;
        sources.samples.emplace_back(coded);
        writeFile(argv[3], *WriteBank(bank, BankKind::Plain, RecordForm::Adpcm, sources));
        return 0;
    } else if (kernel == "makemulti" && argc > 3) {
        using namespace brenzo::formats;
        TMultiADPCM multi;
        multi.Channels = 2;
        multi.BlockSize = 256 * 2048;
        for (std::uint32_t c = 0; c < 2; ++c) {
            multi.ChHeadSizes.push_back({0, 0x10 + c, 0});
            TADPCMChannel ch;
            ch.Size = static_cast<std::uint32_t>(coded.size());
            ch.Length = ch.Samples = 2 * ch.Size;
            ch.Frequency = 44100;
            ch.Compression = kMultiCompressionAdpcm;
            ch.States = states;
            multi.ChHeaders.push_back(ch);
        }
        (void)LayoutMulti(multi);
        std::vector<std::span<const std::uint8_t>> streams = {coded, coded};
        writeFile(argv[3], *WriteMulti(multi, 44100, streams));
        return 0;
    } else {
        std::fprintf(stderr, "unknown kernel %s\n", kernel.c_str());
        return 1;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}
