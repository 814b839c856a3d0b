#pragma once

#include <filesystem>
#include <memory>

#include "engine/Decoder.h"

namespace brenzo::engine::windows {

// OGG Vorbis through stb_vorbis. A chained file (streams one after another) is read to its end
// when every part has the first part's rate and channel count, and refused otherwise.
Result<std::unique_ptr<Decoder>> OpenVorbis(const std::filesystem::path& file);

}  // namespace brenzo::engine::windows
