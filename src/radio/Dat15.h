#pragma once

#include <cstdint>
#include <vector>

namespace brenzo::radio {

// A demo ".dat15" file: a few radio tracks among entries of other kinds, with durations.
std::vector<std::uint8_t> BuildDemoDat15();

}  // namespace brenzo::radio
