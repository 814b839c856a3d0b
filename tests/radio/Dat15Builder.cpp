#include "radio/Dat15Builder.h"

#include "support/Builders.h"

namespace brenzo::testing {

void PutI32(std::vector<std::uint8_t>& bytes, std::size_t pos, std::int32_t value) {
    PutU32(bytes, pos, static_cast<std::uint32_t>(value));
}

BuiltDat15 BuildDat15(const std::vector<TestEntry>& entries, std::size_t firstBlock, std::size_t secondBlock) {
    BuiltDat15 b;
    auto& out = b.image;
    auto filler = [&](std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>(0x41 + (out.size() % 23)));
    };
    auto u32 = [&](std::uint32_t v) {
        out.resize(out.size() + 4);
        PutU32(out, out.size() - 4, v);
    };
    filler(4);
    u32(static_cast<std::uint32_t>(firstBlock));
    filler(firstBlock);
    u32(static_cast<std::uint32_t>(secondBlock));
    filler(secondBlock);
    b.countAt = out.size();
    u32(static_cast<std::uint32_t>(entries.size()));
    std::vector<std::size_t> dAt;
    for (const auto& e : entries) {
        b.entryAt.push_back(out.size());
        out.push_back(static_cast<std::uint8_t>(e.name.size()));
        out.insert(out.end(), e.name.begin(), e.name.end());
        dAt.push_back(out.size());
        u32(0);
        b.entryEnd.push_back(out.size());
        filler(4);
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t record = out.size();
        b.positions.push_back(static_cast<std::int32_t>(record));
        PutU32(out, dAt[i], static_cast<std::uint32_t>(record));
        filler(radio::kRecordMinimumSize);
        PutU32(out, record + radio::kRecordMarkerOffset, entries[i].marker);
        PutU32(out, record + radio::kRecordDurationOffset, entries[i].ms);
    }
    return b;
}

std::vector<TestEntry> MixedEntries() {
    return {
        {"Radio R\xE9tro", radio::RadioTrackMarker, 185000},   {"city_ambience", 0x00000002u, 61000},
        {"Night \x96 Show", radio::RadioTrackMarker, 3723999}, {"menu_theme", 0xAAAAAA01u, 95000},
        {"Last Call", radio::RadioTrackMarker, 42000},
    };
}

}  // namespace brenzo::testing
