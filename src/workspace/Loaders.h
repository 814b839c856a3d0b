#pragma once

#include <cstdint>

#include "formats/BankModel.h"
#include "formats/MultiModel.h"
#include "workspace/HashNames.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::workspace {

// The three list texts of sound i.
ListRow BankRow(const formats::TBankAudio& bank, std::uint32_t i, const HashNames& names);
// The three list texts of channel i.
ListRow MultiRow(const formats::TMultiADPCM& multi, std::uint32_t i, const HashNames& names);

// "Loading... - N%" with N = trunc(index * 100 / count).
std::string LoadingText(std::uint64_t index, std::uint64_t count);

// The loaders: read SourceImage into the model, fill the list, set the caption and menus.
void LoadBANK_ADPCM(Workspace& ws, UiPort& port);
void LoadBANK_PCM(Workspace& ws, UiPort& port);
void LoadMULTI_ADPCM(Workspace& ws, UiPort& port);

// The caption of a loaded bank or multichannel file.
std::string BankCaption(const formats::TBankAudio& bank, formats::BankKind kind, std::string_view fileName);
std::string MultiCaption(const formats::TMultiADPCM& multi, std::string_view fileName);

// Whether the block writer can rebuild a multichannel file of this kind and channel count.
bool MultiReplaceSupported(const formats::TMultiADPCM& multi);

}  // namespace brenzo::workspace
