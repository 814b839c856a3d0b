#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

#include "common/Result.h"
#include "export/Sink.h"
#include "formats/BankModel.h"
#include "formats/MultiModel.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::exporting {

// How a bank sound is turned into samples.
enum class SoundForm { Adpcm, Pcm, Unknown };

// The form ExportBANK_PCM gives a Compression value; a kind-0 bank is always ADPCM.
SoundForm FormOfCompression(std::uint32_t compression);

// The form of sound n of an opened bank: always ADPCM in a bank with animations, else as its
// record's Compression says (Unknown past the last sound).
SoundForm FormOfSound(const workspace::OpenedBank& bank, std::uint32_t n);

// Writes sound n of a bank as a mono 16-bit WAV. ADPCM: the header declares Size * 4 bytes
// and StatesCount whole blocks are decoded after it (coded bytes past the end of the image
// decode as zero bytes). PCM: Size bytes copied, refused when they run past the end of the
// image. Unknown: a header that declares no data. The bank is not changed.
Status ExportBankSound(std::span<const std::uint8_t> image, const formats::TBankAudio& bank, std::uint32_t n,
                       SoundForm form, ByteSink& out, workspace::UiPort* port = nullptr);

// Writes every channel of a multichannel file, interleaved, as one 16-bit WAV. Refuses a file
// whose blocks or chunks lie past the end of the image, or whose audio no WAV can hold.
Status ExportMultichannel(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi, ByteSink& out,
                          workspace::UiPort* port = nullptr);

// Whether every block and chunk the file's layout names lies inside the image, as the export
// needs it: the check a rebuild makes before it keeps anything of the old layout.
Status CheckMultiBlocks(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi);

// Writes what entry n of the workspace's opened file exports to: sound n of a bank in its form,
// or the whole multichannel file. Nothing opened is refused.
Status ExportOpened(const workspace::Workspace& ws, std::uint32_t n, ByteSink& out, workspace::UiPort* port = nullptr);

// The exports of the workspace's opened file, to a path; nothing is left at the path on failure.
Status ExportBANK_PCM(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                      std::uint32_t c, workspace::UiPort& port);
Status ExportMULTI_ADPCM(const workspace::Workspace& ws, const std::filesystem::path& path, workspace::UiPort& port);

// Writes entry n of the opened file (or the whole multichannel file) by its kind.
Status ExportEntry(const workspace::Workspace& ws, const std::filesystem::path& path, std::uint32_t n,
                   workspace::UiPort& port);

}  // namespace brenzo::exporting
