#include "replace/BankReplace.h"

#include <algorithm>

#include "codec/IMAADPCM.h"
#include "export/ExportCommands.h"
#include "formats/BankFile.h"
#include "common/ByteReader.h"
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
        const std::uint64_t at = std::uint64_t{bank.HeaderFullSize} + info.Offset;
        sources.samples.push_back(fitsIn(image.size(), at, info.Size)
                                      ? image.subspan(static_cast<std::size_t>(at), info.Size)
                                      : std::span<const std::uint8_t>{});
    }
    if (kind == BankKind::WithAnimations) {
        const std::uint64_t animBase = std::uint64_t{bank.HeaderSize} + 16ull * bank.AudioCount;
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
                                   formats::BankSources sources) {
    if (Status s = formats::LayoutBank(model, kind, form); !s) return s.error();
    auto image = formats::WriteBank(model, kind, form, sources);
    if (!image) return image.error();
    return RebuiltBank{std::move(model), std::move(*image)};
}

BankKind kindOf(const Workspace& ws) {
    return ws.FileKind == workspace::kKindBankWithAnimations ? BankKind::WithAnimations : BankKind::Plain;
}

// The converted file, checked as a bank replace needs it: uncompressed PCM, one channel.
Result<ConvertedImage> convertForBank(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                                      const std::filesystem::path& newFile) {
    port.Pump();
    if (!ws.Scratch()) return Error{"there is no scratch folder to convert the file in"};
    const auto target = ws.Scratch()->ConvertedWav();
    if (Status s = Convert2Wav(converter, newFile, target, port); !s) return s.error();
    auto converted = LoadConvertedWav(target);
    if (!converted) return converted.error();
    if (converted->info.wFormatTag != 1) return Error{"WAV-file should be uncompressed PCM"};
    if (converted->info.nChannels != 1) return Error{"WAV-file should have 1 channel"};
    if (Status s = CheckConvertedSize(converted->info); !s) return s.error();
    return converted;
}

// After a successful save: the sound's row shows its new length and rate, and its cached WAV
// is dropped so that the next preview or export decodes what the container now holds.
void refreshSound(Workspace& ws, workspace::UiPort& port, std::uint32_t n) {
    const auto cache = exporting::CacheWavPath(ws, n);
    if (!cache.empty() && !platform::RemoveFile(cache)) ws.StaleCache.insert(n);
    port.RowChanged(n);
}

Status finish(Workspace& ws, workspace::UiPort& port, std::uint32_t n, Result<RebuiltBank> rebuilt) {
    if (!rebuilt) return rebuilt.status();
    if (Status s = SaveOverOpenedFile(ws, rebuilt->image); !s) return s;
    ws.CurrentBank = std::move(rebuilt->model);
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
    return layOutAndWrite(std::move(model), BankKind::Plain, RecordForm::Pcm, std::move(sources));
}

Status CheckBankReplaceable(const Workspace& ws) {
    if (!ws.CurrentBank) return Error{"no sound bank is loaded"};
    auto refuse = [&](const std::string& why) {
        return Status{Error{"Sounds of " + ws.FileName + " cannot be replaced: " + why + "."}};
    };
    if (!ws.Damage.empty()) return refuse("the file is damaged (" + ws.Damage.front() + ")");
    const auto& bank = *ws.CurrentBank;
    if (ws.FileKind == workspace::kKindPlainBank && !bank.BanksInfo.empty()) {
        const std::uint32_t c = bank.BanksInfo[0].Compression;
        if (c != formats::kCompressionAdpcm && c != formats::kCompressionPcm)
            return refuse("its sample format " + std::to_string(c) + " is neither PCM (1) nor IMA ADPCM (1024)");
    }
    if (Status s = formats::CheckRebuildable(bank, kindOf(ws), ws.SourceImage); !s) return refuse(s.message());
    // A file that cannot be saved is found out before the conversion, not after it.
    return platform::CheckReplaceable(ws.OpenedPath);
}

Status SaveOverOpenedFile(Workspace& ws, Bytes& image) {
    auto file = platform::AtomicFile::Create(ws.OpenedPath);
    if (!file) return file.status();
    if (ws.OpenedIdentity) (*file)->ExpectUnchanged(*ws.OpenedIdentity);
    if (Status s = (*file)->Write(image); !s) return s;
    if (Status s = (*file)->Commit(); !s) return s;
    ws.OpenedIdentity = (*file)->written();
    // The file now holds exactly these bytes.
    ws.SourceImage = std::move(image);
    return {};
}

Status ReplaceBANK_ADPCM(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                         const std::filesystem::path& newFile, std::uint32_t n) {
    if (n >= ws.EntryCount()) return Error{"the bank has no sound " + std::to_string(n)};
    if (Status s = CheckBankReplaceable(ws); !s) return s;
    auto converted = convertForBank(ws, port, converter, newFile);
    if (!converted) return converted.status();
    if (ws.StopPreview) ws.StopPreview();
    std::vector<std::uint8_t> coded, states;
    codec::ADPCMEncodeStream(converted->samples(), coded, states, static_cast<std::int32_t>(converted->info.DataSize));
    return finish(ws, port, n,
                  RebuildBankAdpcm(*ws.CurrentBank, kindOf(ws), ws.SourceImage, n, coded, states, converted->info.Rate));
}

Status ReplaceBANK_PCM(Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                       const std::filesystem::path& newFile, std::uint32_t n, std::uint32_t c) {
    if (c == formats::kCompressionAdpcm) return ReplaceBANK_ADPCM(ws, port, converter, newFile, n);
    if (n >= ws.EntryCount()) return Error{"the bank has no sound " + std::to_string(n)};
    if (Status s = CheckBankReplaceable(ws); !s) return s;
    auto converted = convertForBank(ws, port, converter, newFile);
    if (!converted) return converted.status();
    if (ws.StopPreview) ws.StopPreview();
    return finish(ws, port, n,
                  RebuildBankPcm(*ws.CurrentBank, ws.SourceImage, n, converted->samples(), converted->info.DataSize,
                                 converted->info.Rate));
}

}  // namespace brenzo::replace
