#include "replace/MultiReplace.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <thread>

#include "codec/IMAADPCM.h"
#include "common/Parallel.h"
#include "export/Export.h"
#include "export/ExportCommands.h"
#include "formats/MultiWriter.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "replace/BankReplace.h"
#include "replace/Conversion.h"
#include "replace/EncodePipeline.h"
#include "workspace/Loaders.h"

namespace brenzo::replace {

using workspace::Workspace;

Result<RebuiltMulti> RebuildMulti(const formats::TMultiADPCM& multi, std::span<const std::uint8_t> frames,
                                  std::uint32_t dataSize, std::uint16_t rate, workspace::UiPort* port) {
    const std::uint32_t n = multi.Channels;
    if (n == 0 || multi.ChHeaders.size() != n) return Error{"the file has no channels"};
    const bool adpcm = multi.IsAdpcm();
    const std::size_t frameCount = dataSize / n / 2;

    const std::size_t present = std::min(frameCount, frames.size() / (2 * std::size_t{n}));
    std::vector<std::vector<std::uint8_t>> streams(n), states(n);
    auto pump = [port] {
        if (port) port->Pump();
    };
    if (adpcm) {
        // The channels are independent: each is encoded on a core of its own, straight from
        // the frames (frames the data lacks are silence). With more channels than cores, two
        // at a time share a core, their predictor chains side by side.
        const auto whole = frames.first(present * 2 * n);
        const std::size_t group = std::thread::hardware_concurrency() >= n ? 1 : 2;
        ParallelFor((n + group - 1) / group,
                    [&](std::size_t g) {
                        const std::size_t first = g * group, count = std::min<std::size_t>(group, n - first);
                        codec::ADPCMEncodeChannels(whole, n, first, std::span(streams).subspan(first, count),
                                                   std::span(states).subspan(first, count),
                                                   static_cast<std::int32_t>(dataSize / n));
                    },
                    pump);
    } else {
        // Each channel's samples taken out of the frames; frames the data lacks stay silent.
        for (std::uint32_t j = 0; j < n; ++j) {
            streams[j].assign(frameCount * 2, 0);
            std::uint8_t* out = streams[j].data();
            const std::uint8_t* in = frames.data() + 2 * j;
            const std::size_t stride = 2 * std::size_t{n};
            for (std::size_t f = 0; f < present; ++f) std::memcpy(out + 2 * f, in + f * stride, 2);
        }
    }
    return RebuildMultiFromStreams(multi, std::move(streams), states, rate);
}

Result<RebuiltMulti> RebuildMultiFromStreams(const formats::TMultiADPCM& multi,
                                             std::vector<std::vector<std::uint8_t>> streams,
                                             const std::vector<std::vector<std::uint8_t>>& states, std::uint16_t rate) {
    const std::uint32_t n = multi.Channels;
    const bool adpcm = multi.IsAdpcm();
    if (n == 0 || multi.ChHeaders.size() != n || streams.size() != n || (adpcm && states.size() != n))
        return Error{"the file has no channels"};
    RebuiltMulti rebuilt{multi, std::move(streams), {}};
    formats::TMultiADPCM& model = rebuilt.model;
    const auto& streamsOut = rebuilt.streams;
    for (std::uint32_t j = 0; j < n; ++j) {
        formats::TADPCMChannel& ch = model.ChHeaders[j];
        ch.Frequency = rate;
        ch.Size = static_cast<std::uint32_t>(streamsOut[j].size());
        if (adpcm) {
            ch.Length = 2 * ch.Size;
            ch.States = codec::ParseStoredStates(states[j]);
            ch.StatesCount = static_cast<std::uint32_t>(ch.States.size());
        } else {
            ch.Length = ch.Size / 2;
        }
        ch.Samples = ch.Length;
    }
    if (Status s = formats::LayoutMulti(model); !s) return s.error();
    std::vector<std::span<const std::uint8_t>> spans(streamsOut.begin(), streamsOut.end());
    if (Status s = formats::WriteMultiPlan(model, rate, spans, rebuilt.plan); !s) return s.error();
    return rebuilt;
}

Status CheckMultiRebuildable(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi) {
    auto refuse = [](const std::string& why) { return Status{Error{why}}; };
    auto shape = formats::ShapeFor(multi.IsAdpcm(), multi.Channels);
    if (!shape) return refuse(shape.message());
    if (multi.BlockSize < shape->fullBlockContent())
        return refuse("its blocks of " + std::to_string(multi.BlockSize) + " bytes cannot hold a full block of " +
                      std::to_string(shape->fullBlockContent()) + " bytes");
    if (multi.ChInfoOffset != formats::kMultiHeaderSize)
        return refuse("its channel directory is not where the header ends");
    // The rebuild keeps the old BlockSize: a damaged one would size the new file. Only blocks
    // that stand whole in the file bear it out, so a file without one cannot be rebuilt (a
    // 152-byte file would otherwise grow to gigabytes).
    if (multi.BlocksCount == 0)
        return refuse("the file is damaged (it holds no block to bear out its block size of " +
                      std::to_string(multi.BlockSize) + " bytes)");
    if (Status s = exporting::CheckMultiBlocks(image, multi); !s)
        return refuse("the file is damaged (" + s.message() + ")");
    for (const auto& ch : multi.ChHeaders)
        if ((ch.Compression == formats::kMultiCompressionAdpcm) != multi.IsAdpcm())
            return refuse("its channels do not all share one sample format");
    return {};
}

Status CheckMultiReplaceable(const Workspace& ws) {
    if (!ws.CurrentMulti()) return Error{"no multichannel file is loaded"};
    if (Status s = CheckMultiRebuildable(ws.SourceImage, *ws.CurrentMulti()); !s)
        return Error{"The channels of " + ws.FileName + " cannot be replaced: " + s.message() + "."};
    // A file that cannot be saved is found out before the conversion, not after it.
    return platform::CheckReplaceable(ws.OpenedPath);
}

Status ReplaceMULTI_ADPCM(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                          const std::filesystem::path& newFile, const ReplaceOptions& options) {
    if (Status s = CheckMultiReplaceable(ws); !s) return s;
    if (!ws.Scratch()) return Error{"there is no scratch folder to convert the file in"};
    port.Pump();
    const auto converted = ws.Scratch()->ConvertedWav();
    const std::uint32_t n = ws.CurrentMulti()->Channels;
    // ADPCM channels taken as they are converted are encoded while the conversion runs, from the
    // samples it hands over, and so is a mono source copied to every channel (encoded once: each
    // channel would hold the same). Audio that must be fitted otherwise (loudness, which needs
    // the whole sound measured first) is read back from the converted file and encoded after it.
    std::optional<EncodePipeline> pipeline;
    if (ws.CurrentMulti()->IsAdpcm() && !options.matchLoudness) pipeline.emplace(n);
    engine::ConvertedFormat format;
    converter.SendSamplesTo(pipeline ? &*pipeline : nullptr);
    Status convertedOk = Convert2Wav(converter, newFile, converted, port, &format);
    converter.SendSamplesTo(nullptr);
    if (!convertedOk) return convertedOk;
    port.SetStatus("Replacing...");
    port.SetMarquee(true);

    std::optional<Result<RebuiltMulti>> rebuilt;
    // The cache keeps the converted file only when the file holds exactly its samples.
    bool asConverted = true;
    if (pipeline) {
        auto encoded = pipeline->Finish([&] { port.Pump(); });
        if (encoded && n <= 0xFFFF && encoded->coded.size() == format.channels &&
            encoded->sampleBytes == format.frames * 2 * format.channels &&
            format.frames * 2 * n <= kMaxConvertedBytes && format.rate < 0x10000) {
            if (format.channels != n) {
                // A mono source for several channels, asked about or refused as the fitting would.
                if (Status s = AgreeChannelFit(format.channels, static_cast<std::uint16_t>(n), true, options, port,
                                               platform::FileNameUtf8(newFile));
                    !s)
                    return s;
                encoded->coded.reserve(n);
                encoded->states.reserve(n);
                while (encoded->coded.size() < n) {
                    encoded->coded.push_back(encoded->coded[0]);
                    encoded->states.push_back(encoded->states[0]);
                }
                asConverted = false;
            }
            rebuilt = RebuildMultiFromStreams(*ws.CurrentMulti(), std::move(encoded->coded), encoded->states,
                                              static_cast<std::uint16_t>(format.rate));
        }
    }
    if (!rebuilt) {
        auto image = LoadConvertedWav(converted);
        if (!image) return image.status();
        if (Status s = CheckConvertedSize(image->info); !s) return s;
        if (n > 0xFFFF) return Error{"WAV-file should have " + std::to_string(n) + " channels"};
        auto fitted = FitConverted(*image, static_cast<std::uint16_t>(n), true, options, ws, 0, port,
                                   platform::FileNameUtf8(newFile));
        if (!fitted) return fitted.status();
        asConverted = fitted->owned.empty();
        rebuilt = RebuildMulti(*ws.CurrentMulti(), fitted->bytes, fitted->dataSize, fitted->rate, &port);
    }
    if (!*rebuilt) return rebuilt->status();
    RebuiltMulti& made = **rebuilt;
    if (Status s = BackUpAndSave(ws, made.plan, options); !s) return s;
    *ws.CurrentMulti() = std::move(made.model);

    // The cache now plays what the file holds: the converted audio.
    const auto cache = exporting::CacheWavPath(ws, 0);
    if (!cache.empty()) {
        if (!platform::RemoveFile(cache) || (asConverted && !platform::LinkOrCopyFile(converted, cache)))
            ws.StaleCache.insert(0);
    }
    for (std::uint32_t i = 0; i < n; ++i) port.RowChanged(i);
    return {};
}

}  // namespace brenzo::replace
