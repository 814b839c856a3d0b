#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "common/Bytes.h"
#include "common/Result.h"
#include "engine/Engine.h"
#include "formats/ImagePlan.h"
#include "formats/MultiModel.h"
#include "replace/Fit.h"
#include "workspace/UiPort.h"
#include "workspace/Workspace.h"

namespace brenzo::replace {

// A multichannel file laid out anew: its model, its channels' new streams and the plan of the
// whole file, which points at them.
struct RebuiltMulti {
    formats::TMultiADPCM model;
    std::vector<std::vector<std::uint8_t>> streams;
    formats::ImagePlan plan;

    Bytes Image() const { return plan.Flatten(); }
};

// Every channel of a multichannel file takes its share of `frames` interleaved 16-bit frames
// (frameCount of them; frames the data lacks are silence), encoded to IMA ADPCM when the file
// is ADPCM or kept as PCM, at `rate`. The header, index and blocks are written anew.
Result<RebuiltMulti> RebuildMulti(const formats::TMultiADPCM& multi, std::span<const std::uint8_t> frames,
                                  std::uint32_t dataSize, std::uint16_t rate, workspace::UiPort* port = nullptr);

// The same from channel streams already made: IMA ADPCM with their stored states when the
// file is ADPCM, else 16-bit PCM (no states).
Result<RebuiltMulti> RebuildMultiFromStreams(const formats::TMultiADPCM& multi,
                                             std::vector<std::vector<std::uint8_t>> streams,
                                             const std::vector<std::vector<std::uint8_t>>& states, std::uint16_t rate);

// Why a multichannel file read from `image` cannot be rebuilt, if it cannot ("its channels do
// not all share one sample format").
Status CheckMultiRebuildable(std::span<const std::uint8_t> image, const formats::TMultiADPCM& multi);

// Why the opened multichannel file cannot be rebuilt, if it cannot, or cannot be saved.
Status CheckMultiReplaceable(const workspace::Workspace& ws);

// Replaces all channels of the opened multichannel file with the user's file; on success the
// file, SourceImage, CurrentMulti, the list and the file's cached WAV (now the converted
// audio) agree. On failure nothing changes and the reason is returned.
// The options fit the input (a mono source copied to every channel, loudness) and keep the
// backup before the save.
Status ReplaceMULTI_ADPCM(workspace::Workspace& ws, workspace::UiPort& port, engine::Converter& converter,
                          const std::filesystem::path& newFile, const ReplaceOptions& options = {});

}  // namespace brenzo::replace
