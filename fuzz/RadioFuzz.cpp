// The ".dat15" track table walk, the duration read and write, the name conversion and the
// duration texts, over any bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzSeeds.h"
#include "common/ByteReader.h"
#include "common/ByteWriter.h"
#include "radio/Dat15.h"
#include "radio/TrackDuration.h"
#include "radio/Windows1252.h"

using namespace brenzo;

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> image(data, size);
    const radio::Dat15Listing listing = radio::ReadDat15Entries(image);

    // Every listed track can be read and written, and a write changes its four bytes only.
    std::vector<std::uint8_t> copy(image.begin(), image.end());
    radio::ImageStore store(copy);
    for (const auto& entry : listing.entries) {
        check(entry.position >= 0 && static_cast<std::uint64_t>(entry.position) + 30 <= size);
        auto ms = radio::ReadTrackDuration(store, entry.position);
        check(ms.isOk());
        const std::string shown = radio::FormatTrackDuration(*ms);
        check(shown.size() == 8 && radio::ParseTrackDuration(shown).isOk());
        (void)radio::Windows1252ToUtf8(entry.name);
        check(radio::WriteTrackDuration(store, entry.position, ~*ms).isOk());
        const auto at = static_cast<std::size_t>(entry.position) + 26;
        check(loadU32(copy.data() + at) == ~*ms);
        std::memcpy(copy.data() + at, data + at, 4);
    }
    check(copy.size() == size && (size == 0 || std::memcmp(copy.data(), data, size) == 0));
    for (const auto& entry : listing.outside) check(!radio::WriteTrackDuration(store, entry.position, 0).isOk());

    // The first bytes as a typed duration.
    const std::string_view text(reinterpret_cast<const char*>(data), size < 8 ? size : 8);
    if (auto ms = radio::ParseTrackDuration(text)) check(*ms <= 99u * 3600000 + 99u * 60000 + 99u * 1000);
    return 0;
}

std::vector<std::vector<std::uint8_t>> FuzzSeeds() {
    std::vector<std::vector<std::uint8_t>> seeds;
    const auto demo = radio::BuildDemoDat15();
    seeds.push_back(demo);

    // A table of one track with a 200-byte name whose record lies inside the first block.
    std::vector<std::uint8_t> longName = {0, 0, 0, 0, 40, 0, 0, 0};
    longName.resize(8 + 40, 0x33);
    storeU32(&longName[8 + 12], radio::RadioTrackMarker);
    storeU32(&longName[8 + 26], 185000);
    for (int b : {0, 0, 0, 0, 1, 0, 0, 0}) longName.push_back(static_cast<std::uint8_t>(b));  // B = 0, C = 1
    longName.push_back(200);
    longName.resize(longName.size() + 200, 0xE9);
    for (int b : {8, 0, 0, 0, 0, 0, 0, 0}) longName.push_back(static_cast<std::uint8_t>(b));
    seeds.push_back(longName);

    // The demo with its count raised far beyond what the file holds.
    auto huge = demo;
    const std::size_t countAt = 12 + loadU32(huge.data() + 4) + loadU32(huge.data() + 8 + loadU32(huge.data() + 4));
    if (countAt + 4 <= huge.size()) storeU32(&huge[countAt], 0x7FFFFFFF);
    seeds.push_back(huge);
    return seeds;
}
