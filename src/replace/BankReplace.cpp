#include "replace/BankReplace.h"

#include <algorithm>
#include <new>
#include <optional>

#include "codec/IMAADPCM.h"
#include "common/ByteReader.h"
#include "common/Parallel.h"
#include "export/ExportCommands.h"
#include "formats/BankFile.h"
#include "platform/Backup.h"
#include "platform/Files.h"
#include "platform/Path.h"
#include "replace/Conversion.h"
#include "workspace/Loaders.h"

namespace brenzo::replace {

using formats::BankKind;
using formats::RecordForm;
using workspace::Workspace;

namespace {

// The bytes every sound and animation block has now, located through the loaded model.
formats::BankSources currentSources(const formats::TBankAudio& bank, BankKind kind,
                                    std::span<const std::uint8_t> image) {
    formats::BankSources sources;
    for (const auto& info : bank.BanksInfo) {
        const std::uint64_t at = formats::SoundDataStart(bank, info);
        sources.samples.push_back(fitsIn(image.size(), at, info.Size)
                                      ? image.subspan(static_cast<std::size_t>(at), info.Size)
                                      : std::span<const std::uint8_t>{});
    }
    if (kind == BankKind::WithAnimations) {
        const std::uint64_t animBase = formats::AnimationBase(bank);
        for (const auto& anim : bank.AnimsInfo) {
            const std::uint64_t at = animBase + static_cast<std::uint64_t>(anim.Offset);
            sources.animations.push_back(anim.Offset >= 0 && fitsIn(image.size(), at, anim.Size)
                                             ? image.subspan(static_cast<std::size_t>(at), anim.Size)
                                             : std::span<const std::uint8_t>{});
        }
    }
    return sources;
}

Result<RebuiltBank> layOutAndWrite(formats::TBankAudio model, BankKind kind, RecordForm form,
                                   formats::BankSources sources, std::vector<std::uint8_t> kept = {}) {
    if (Status s = formats::LayoutBank(model, kind, form); !s) return s.error();
    RebuiltBank rebuilt{std::move(model), {}, std::move(kept)};
    if (Status s = formats::WriteBankPlan(rebuilt.model, kind, form, sources, rebuilt.plan); !s) return s.error();
    return rebuilt;
}

const workspace::OpenedBank* openedBank(const Workspace& ws) { return std::get_if<workspace::OpenedBank>(&ws.Model()); }

BankKind kindOf(const Workspace& ws) {
    const auto* opened = openedBank(ws);
    return opened ? opened->kind : BankKind::Plain;
}

// The sample format every sound of a plain bank shares (its first sound's); a bank with
// animations, or an empty one, has none to choose.
std::optional<std::uint32_t> plainCompression(const Workspace& ws) {
    const auto* opened = openedBank(ws);
    if (!opened || opened->kind != BankKind::Plain || opened->model.BanksInfo.empty()) return std::nullopt;
    return opened->model.BanksInfo[0].Compression;
}

// The converted file, checked as a bank replace needs it: uncompressed PCM, one channel.
Result<ConvertedImage> convertForBank(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                                      const std::filesystem::path& newFile, bool anyChannels = false) {
    port.Pump();
    if (!ws.Scratch()) return Error{"there is no scratch folder to convert the file in"};
    const auto target = ws.Scratch()->ConvertedWav();
    if (Status s = Convert2Wav(converter, newFile, target, port); !s) return s.error();
    auto converted = LoadConvertedWav(target);
    if (!converted) return converted.error();
    if (converted->info.wFormatTag != 1) return Error{"WAV-file should be uncompressed PCM"};
    if (converted->info.nChannels != 1 && !anyChannels) return Error{"WAV-file should have 1 channel"};
    if (Status s = CheckConvertedSize(converted->info); !s) return s.error();
    return converted;
}

// The converted file fitted to sound n: one channel, and the loudness when asked for.
Result<FittedPcm> convertAndFit(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                                const std::filesystem::path& newFile, std::uint32_t n, const ReplaceOptions& options,
                                ConvertedImage& holder) {
    auto converted = convertForBank(ws, port, converter, newFile, true);
    if (!converted) return converted.error();
    holder = std::move(*converted);
    return FitConverted(holder, 1, false, options, ws, n, port, platform::FileNameUtf8(newFile));
}

// After a successful save: the sound's row shows its new length and rate, and its cached WAV
// is dropped so that the next preview or export decodes what the container now holds.
void refreshSound(Workspace& ws, workspace::UiPort& port, std::uint32_t n) {
    const auto cache = exporting::CacheWavPath(ws, n);
    if (!cache.empty() && !platform::RemoveFile(cache)) ws.StaleCache.insert(n);
    port.RowChanged(n);
}

// The steps before a sound's rebuild, whatever the bank stores: the checks, the conversion
// fitted to sound n, and the preview stopped.
Result<FittedPcm> prepareSound(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                               const std::filesystem::path& newFile, std::uint32_t n, const ReplaceOptions& options,
                               ConvertedImage& holder) {
    if (n >= ws.EntryCount()) return Error{"the bank has no sound " + std::to_string(n)};
    if (Status s = CheckBankReplaceable(ws); !s) return s.error();
    auto fitted = convertAndFit(ws, port, converter, newFile, n, options, holder);
    if (!fitted) return fitted.error();
    if (ws.StopPreview) ws.StopPreview();
    // The conversion's marquee ended with it; the encode, rebuild and save (seconds on a big
    // bank) keep one running. The command that asked for the replace ends it.
    port.SetMarquee(true);
    return fitted;
}

Status finish(Workspace& ws, workspace::UiPort& port, std::uint32_t n, Result<RebuiltBank> rebuilt,
              const ReplaceOptions& options) {
    if (!rebuilt) return rebuilt.status();
    if (Status s = BackUpAndSave(ws, rebuilt->plan, options); !s) return s;
    *ws.CurrentBank() = std::move(rebuilt->model);
    refreshSound(ws, port, n);
    return {};
}

}  // namespace

Result<RebuiltBank> RebuildBankAdpcm(const formats::TBankAudio& bank, BankKind kind,
                                     std::span<const std::uint8_t> image, std::uint32_t n,
                                     std::span<const std::uint8_t> coded, std::span<const std::uint8_t> states,
                                     std::uint16_t rate) {
    if (n >= bank.BanksInfo.size()) return Error{"the bank has no sound " + std::to_string(n)};
    formats::TBankAudio model = bank;
    formats::TBankChannelInfo& info = model.BanksInfo[n];
    const auto length = static_cast<std::uint32_t>(coded.size());
    info.Size = length;
    info.Size2 = 2 * length;
    info.Frequency = rate;
    info.Samples = 2 * length;
    info.States = codec::ParseStoredStates(states);
    info.StatesCount = static_cast<std::uint32_t>(info.States.size());
    formats::BankSources sources = currentSources(bank, kind, image);
    sources.samples[n] = coded;
    return layOutAndWrite(std::move(model), kind, RecordForm::Adpcm, std::move(sources));
}

Result<RebuiltBank> RebuildBankPcm(const formats::TBankAudio& bank, std::span<const std::uint8_t> image,
                                   std::uint32_t n, std::span<const std::uint8_t> pcm, std::uint32_t dataSize,
                                   std::uint16_t rate) {
    if (n >= bank.BanksInfo.size()) return Error{"the bank has no sound " + std::to_string(n)};
    formats::TBankAudio model = bank;
    formats::TBankChannelInfo& info = model.BanksInfo[n];
    info.Size = dataSize;
    info.Size2 = dataSize / 2;
    info.Frequency = rate;
    info.Samples = info.Size2;
    // Samples the converted file lacks are silence.
    std::vector<std::uint8_t> padded;
    std::span<const std::uint8_t> samples = pcm.first(std::min<std::size_t>(pcm.size(), dataSize));
    if (samples.size() < dataSize) {
        padded.assign(samples.begin(), samples.end());
        padded.resize(dataSize, 0);
        samples = padded;
    }
    formats::BankSources sources = currentSources(bank, BankKind::Plain, image);
    sources.samples[n] = samples;
    // The padded copy moves into the result; its bytes stay where the plan points.
    return layOutAndWrite(std::move(model), BankKind::Plain, RecordForm::Pcm, std::move(sources), std::move(padded));
}

Status CheckBankReplaceable(const Workspace& ws) {
    if (!ws.CurrentBank()) return Error{"no sound bank is loaded"};
    auto refuse = [&](const std::string& why) {
        return Status{Error{"Sounds of " + ws.FileName + " cannot be replaced: " + why + "."}};
    };
    if (!ws.Damage.empty()) return refuse("the file is damaged (" + ws.Damage.front() + ")");
    if (const auto c = plainCompression(ws); c && *c != formats::kCompressionAdpcm && *c != formats::kCompressionPcm)
        return refuse("its sample format " + std::to_string(*c) + " is neither PCM (1) nor IMA ADPCM (1024)");
    if (Status s = formats::CheckRebuildable(*ws.CurrentBank(), kindOf(ws), ws.SourceImage); !s)
        return refuse(s.message());
    // A file that cannot be saved is found out before the conversion, not after it.
    return platform::CheckReplaceable(ws.OpenedPath);
}

Status SaveOverOpenedFile(Workspace& ws, const formats::ImagePlan& plan) {
    // Where the image cannot become the new file in place, the memory for the new one is
    // taken before anything is written: once the file is renamed, the workspace must follow.
    const bool inPlace = plan.CanUpdateInPlace(ws.SourceImage);
    Bytes fresh;
    if (!inPlace) {
        try {
            fresh.reserve(static_cast<std::size_t>(plan.size()));
        } catch (const std::bad_alloc&) {
            return Error{"there is not enough memory to save " + ws.FileName};
        }
    }
    auto file = platform::AtomicFile::Create(ws.OpenedPath);
    if (!file) return file.status();
    if (ws.OpenedIdentity) (*file)->ExpectUnchanged(*ws.OpenedIdentity);
    if (Status s = plan.ForEach([&](std::span<const std::uint8_t> bytes) { return (*file)->Write(bytes); }); !s)
        return s;
    if (Status s = (*file)->Commit(); !s) return s;
    ws.OpenedIdentity = (*file)->written();
    // The file now holds exactly these bytes. Mapped, it becomes the image without a copy;
    // otherwise the image is made into it in memory.
    if (auto written = (*file)->MapCommitted()) {
        ws.SourceImage = std::move(*written);
    } else if (inPlace) {
        plan.UpdateInPlace(ws.SourceImage);
    } else {
        plan.FlattenInto(fresh);
        ws.SourceImage = std::move(fresh);
    }
    return {};
}

Status ReplaceBANK_ADPCM(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                         const std::filesystem::path& newFile, std::uint32_t n, const ReplaceOptions& options) {
    ConvertedImage converted;
    auto fitted = prepareSound(ws, port, converter, newFile, n, options, converted);
    if (!fitted) return fitted.status();
    std::vector<std::uint8_t> coded, states;
    codec::ADPCMEncodeStream(fitted->bytes, coded, states, static_cast<std::int32_t>(fitted->dataSize));
    return finish(ws, port, n,
                  RebuildBankAdpcm(*ws.CurrentBank(), kindOf(ws), ws.SourceImage, n, coded, states, fitted->rate),
                  options);
}

Status ReplaceBANK_PCM(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                       const std::filesystem::path& newFile, std::uint32_t n, std::uint32_t c,
                       const ReplaceOptions& options) {
    if (c == formats::kCompressionAdpcm) return ReplaceBANK_ADPCM(ws, port, converter, newFile, n, options);
    ConvertedImage converted;
    auto fitted = prepareSound(ws, port, converter, newFile, n, options, converted);
    if (!fitted) return fitted.status();
    return finish(ws, port, n,
                  RebuildBankPcm(*ws.CurrentBank(), ws.SourceImage, n, fitted->bytes, fitted->dataSize, fitted->rate),
                  options);
}

Status BackUpAndSave(Workspace& ws, const formats::ImagePlan& plan, const ReplaceOptions& options) {
    if (options.keepBackup)
        if (Status s = platform::KeepBackup(ws.OpenedPath); !s) return s;
    return SaveOverOpenedFile(ws, plan);
}

formats::BankKind BankKindOf(const Workspace& ws) { return kindOf(ws); }

formats::RecordForm RebuildFormOf(const Workspace& ws) {
    return plainCompression(ws) == formats::kCompressionPcm ? RecordForm::Pcm : RecordForm::Adpcm;
}

Result<RebuiltBank> RebuildBankSounds(const formats::TBankAudio& bank, BankKind kind, RecordForm form,
                                      std::span<const std::uint8_t> image, std::span<const NewSound> sounds,
                                      workspace::UiPort* port) {
    for (const NewSound& s : sounds)
        if (s.n >= bank.BanksInfo.size()) return Error{"the bank has no sound " + std::to_string(s.n)};
    formats::TBankAudio model = bank;
    std::vector<std::vector<std::uint8_t>> stored(sounds.size());
    // The sounds are independent: each is encoded on a core of its own.
    ParallelFor(
        sounds.size(),
        [&](std::size_t k) {
            const NewSound& s = sounds[k];
            formats::TBankChannelInfo& info = model.BanksInfo[s.n];
            info.Frequency = s.rate;
            if (form == RecordForm::Adpcm) {
                std::vector<std::uint8_t> states;
                codec::ADPCMEncodeStream(s.pcm, stored[k], states, static_cast<std::int32_t>(s.dataSize));
                const auto length = static_cast<std::uint32_t>(stored[k].size());
                info.Size = length;
                info.Size2 = info.Samples = 2 * length;
                info.States = codec::ParseStoredStates(states);
                info.StatesCount = static_cast<std::uint32_t>(info.States.size());
            } else {
                stored[k].assign(s.pcm.begin(), s.pcm.begin() + std::min<std::size_t>(s.pcm.size(), s.dataSize));
                stored[k].resize(s.dataSize, 0);
                info.Size = s.dataSize;
                info.Size2 = info.Samples = s.dataSize / 2;
            }
        },
        [port] {
            if (port) port->Pump();
        });
    // The plan points at the new bytes: they are kept in one buffer that the rebuilt bank owns
    // (a moved vector keeps its storage, so the spans stay valid).
    std::size_t total = 0;
    for (const auto& bytes : stored) total += bytes.size();
    std::vector<std::uint8_t> kept;
    kept.reserve(total);
    std::vector<std::size_t> starts;
    for (auto& bytes : stored) {
        starts.push_back(kept.size());
        kept.insert(kept.end(), bytes.begin(), bytes.end());
        bytes = {};
    }
    formats::BankSources sources = currentSources(bank, kind, image);
    for (std::size_t k = 0; k < sounds.size(); ++k) {
        const std::size_t end = k + 1 < starts.size() ? starts[k + 1] : kept.size();
        sources.samples[sounds[k].n] = std::span<const std::uint8_t>(kept).subspan(starts[k], end - starts[k]);
    }
    return layOutAndWrite(std::move(model), kind, form, std::move(sources), std::move(kept));
}

}  // namespace brenzo::replace
