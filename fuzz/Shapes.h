#pragma once

// Inputs the harnesses start from: valid containers of each kind, and the hostile shapes that
// once cost far more than their size (counts that many records share). Each fits the input
// length that scripts/fuzz-run gives its targets (8 KiB for banks, 16 KiB for multichannel
// files): a longer seed would be cut short when loaded.
#include <cstdint>
#include <vector>

namespace brenzo::fuzz {

using Inputs = std::vector<std::vector<std::uint8_t>>;

// Banks with animations (ADPCM), plain ADPCM and plain PCM, three sounds each; then a plain
// bank whose many directory entries share one record claiming every state the file holds.
Inputs BankShapes();

// ADPCM files of 1, 2 and 5 channels and a PCM stereo file; then files whose hundreds of
// channels share one description (16 KiB: 900 channels).
Inputs MultiShapes();

}  // namespace brenzo::fuzz
