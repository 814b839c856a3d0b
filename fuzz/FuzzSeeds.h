#pragma once

#include <cstdint>
#include <vector>

// Each harness gives the valid inputs its fuzzing starts from.
std::vector<std::vector<std::uint8_t>> FuzzSeeds();
