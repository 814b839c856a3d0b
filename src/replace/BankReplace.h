#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "engine/Engine.h"
#include "formats/BankFile.h"
#include "formats/BankModel.h"
#include "formats/ImagePlan.h"
#include "replace/Fit.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

// A bank laid out anew: its model and the plan of the whole file, which points into the opened
// image and the new sound's bytes (both must outlive it).
struct RebuiltBank {
    formats::TBankAudio model;
    formats::ImagePlan plan;
    std::vector<std::uint8_t> kept;  // new bytes the rebuild made itself (a sound padded with silence)

    Bytes Image() const { return plan.Flatten(); }
};

// Sound n takes new ADPCM bytes and states (3 bytes each) at `rate`; every other sound and
// every animation block is copied from `image` where the loaded model says it lies. Every
// record is written in the ADPCM form.
Result<RebuiltBank> RebuildBankAdpcm(const formats::TBankAudio& bank, formats::BankKind kind,
                                     std::span<const std::uint8_t> image, std::uint32_t n,
                                     std::span<const std::uint8_t> coded, std::span<const std::uint8_t> states,
                                     std::uint16_t rate);

// Sound n of a plain PCM bank takes dataSize bytes of 16-bit PCM (those missing from `pcm`
// are silence); every record is written in the 32-byte PCM form.
Result<RebuiltBank> RebuildBankPcm(const formats::TBankAudio& bank, std::span<const std::uint8_t> image,
                                   std::uint32_t n, std::span<const std::uint8_t> pcm, std::uint32_t dataSize,
                                   std::uint16_t rate);

// Why the opened bank cannot be rebuilt, if it cannot: damaged, misplaced data, mixed or
// unknown sample formats.
Status CheckBankReplaceable(const workspace::Workspace& ws);

// The replace routines. They convert `newFile`, check it, rebuild and save the bank over the
// opened file, and on success update SourceImage, CurrentBank, the list row and the cache.
// On any failure nothing changes, on disk or in memory, and the reason is returned.
// The options fit the input (mix down, loudness) and keep the backup before the save.
Status ReplaceBANK_ADPCM(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                         const std::filesystem::path& newFile, std::uint32_t n, const ReplaceOptions& options = {});
Status ReplaceBANK_PCM(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                       const std::filesystem::path& newFile, std::uint32_t n, std::uint32_t c,
                       const ReplaceOptions& options = {});

// One new sound of a bank: entry n takes 16-bit mono PCM (dataSize bytes; those `pcm` lacks
// are silence) at `rate`.
struct NewSound {
    std::uint32_t n = 0;
    std::vector<std::uint8_t> pcm;
    std::uint32_t dataSize = 0;
    std::uint16_t rate = 0;
};

// Every listed sound replaced in one rebuild, encoded in `form` (ADPCM on several cores);
// every other sound and animation block is copied from `image`.
Result<RebuiltBank> RebuildBankSounds(const formats::TBankAudio& bank, formats::BankKind kind, formats::RecordForm form,
                                      std::span<const std::uint8_t> image, std::span<const NewSound> sounds,
                                      workspace::UiPort* port = nullptr);

// The record form the opened bank's rebuild writes: ADPCM for a bank with animations, else
// the form of its first sound.
formats::RecordForm RebuildFormOf(const workspace::Workspace& ws);
formats::BankKind BankKindOf(const workspace::Workspace& ws);

// Saves a rebuilt container over the opened file: the plan is streamed into a temporary file,
// flushed, and renamed over the opened file; then the workspace's image is turned into the
// new file within its own memory where it can be (otherwise in a buffer reserved before the
// save began). On failure the file and the workspace are as they were.
Status SaveOverOpenedFile(workspace::Workspace& ws, const formats::ImagePlan& plan);

// The backup of the opened file when the options keep one, then SaveOverOpenedFile.
Status BackUpAndSave(workspace::Workspace& ws, const formats::ImagePlan& plan, const ReplaceOptions& options);

}  // namespace brenzo::replace
