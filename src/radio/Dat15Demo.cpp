// The demo ".dat15" file written by `brenzo-cli samples`.
#include <string>

#include "common/ByteWriter.h"
#include "radio/Dat15.h"

namespace brenzo::radio {
namespace {

struct DemoEntry {
    std::string name;  // Windows-1252 bytes
    std::uint32_t marker;
    std::uint32_t ms;
};

void appendFiller(std::vector<std::uint8_t>& out, std::size_t n, std::uint8_t seed) {
    for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(seed + i * 37));
}

}  // namespace

std::vector<std::uint8_t> BuildDemoDat15() {
    // Records of other kinds carry markers that differ from a radio track's in one byte or
    // in order, so that a reader comparing loosely would list them.
    const std::vector<DemoEntry> entries = {
        {"Radio R\xE9tro - Midnight Drive", RadioTrackMarker, 185000},
        {"ambience_harbor", 0x00000002u, 61000},
        {"Caf\xE9 Lounge", RadioTrackMarker, 247500},
        {"menu_theme", 0xAAAAAA01u, 95000},
        {"Zo\xEB\x92s Night Show", RadioTrackMarker, 3723999},
        {"jingle_news", 0x00AAAAAAu, 8000},
        {"Static \x96 Interlude", RadioTrackMarker, 42000},
    };
    constexpr std::size_t kFirstBlock = 24, kSecondBlock = 40, kRecordSize = 48;

    std::vector<std::uint8_t> out = {'D', '1', '5', 0x01};
    ByteWriter w(out);
    w.u32(kFirstBlock);
    appendFiller(out, kFirstBlock, 0x11);
    w.u32(kSecondBlock);
    appendFiller(out, kSecondBlock, 0x5C);
    w.u32(static_cast<std::uint32_t>(entries.size()));

    std::vector<std::size_t> positionAt;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        out.push_back(static_cast<std::uint8_t>(entries[i].name.size()));
        out.insert(out.end(), entries[i].name.begin(), entries[i].name.end());
        positionAt.push_back(out.size());
        w.u32(0);  // D, set once the records are placed
        w.u32(0x1000u + static_cast<std::uint32_t>(i));
    }
    appendFiller(out, 16, 0xA7);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t record = out.size();
        w.patchU32(positionAt[i], static_cast<std::uint32_t>(record));
        appendFiller(out, kRecordSize, static_cast<std::uint8_t>(0x30 + 11 * i));
        w.patchU32(record + kRecordMarkerOffset, entries[i].marker);
        w.patchU32(record + kRecordDurationOffset, entries[i].ms);
    }
    return out;
}

}  // namespace brenzo::radio
