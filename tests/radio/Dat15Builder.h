#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "radio/Dat15.h"

namespace brenzo::testing {

struct TestEntry {
    std::string name;  // Windows-1252 bytes
    std::uint32_t marker = radio::RadioTrackMarker;
    std::uint32_t ms = 0;
};

struct BuiltDat15 {
    std::vector<std::uint8_t> image;
    std::size_t countAt = 0;              // C
    std::vector<std::size_t> entryAt;     // where each table entry starts (its L)
    std::vector<std::size_t> entryEnd;    // the end of each entry's D: the walk needs no more
    std::vector<std::int32_t> positions;  // each entry's D
};

// A ".dat15" image: the 4 unread bytes, blocks of the given lengths filled with non-zero
// bytes, the table, then one 30-byte record per entry (the last one ends the file). Every
// byte that the reader must not touch is non-zero, so a stray write shows.
BuiltDat15 BuildDat15(const std::vector<TestEntry>& entries, std::size_t firstBlock = 5, std::size_t secondBlock = 3);

void PutI32(std::vector<std::uint8_t>& bytes, std::size_t pos, std::int32_t value);

// The few entries most tests use: radio tracks around entries of other kinds.
std::vector<TestEntry> MixedEntries();

}  // namespace brenzo::testing
