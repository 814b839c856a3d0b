#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "engine/Engine.h"
#include "formats/BankModel.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

// A bank laid out anew: its model and the whole file.
struct RebuiltBank {
    formats::TBankAudio model;
    Bytes image;
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
Status ReplaceBANK_ADPCM(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                         const std::filesystem::path& newFile, std::uint32_t n);
Status ReplaceBANK_PCM(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                       const std::filesystem::path& newFile, std::uint32_t n, std::uint32_t c);

// Saves a rebuilt container over the opened file through a temporary file and a rename, then
// makes it the workspace's image. On failure the file and the workspace are as they were.
Status SaveOverOpenedFile(workspace::Workspace& ws, Bytes&& image);

}  // namespace brenzo::replace
