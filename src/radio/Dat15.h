#pragma once

// The radio track table of a ".dat15" file. All values are little-endian; A, B, C and D are
// signed 32-bit, and every position is absolute:
//
//   4             A   length of the first block (which starts at 8)
//   8 + A         B   length of the second block (which starts at 12 + A)
//   12 + A + B    C   number of table entries
//   16 + A + B        C entries: u8 L, L name bytes (Windows-1252), i32 D, 4 unread bytes
//
// An entry's record starts at D: the u32 at D + 12 says what kind of record it is, and for a
// radio track the u32 at D + 26 is its duration in milliseconds. Nothing else of the file is
// read or written.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/Result.h"

namespace brenzo::radio {

// The kind marker of a record that is a radio music track.
inline constexpr std::uint32_t RadioTrackMarker = 0xAAAAAA00u;

inline constexpr std::uint64_t kRecordMarkerOffset = 12;
inline constexpr std::uint64_t kRecordDurationOffset = 26;
// A record is usable only when every byte we touch, up to the end of the duration, is in
// the file.
inline constexpr std::uint64_t kRecordMinimumSize = kRecordDurationOffset + 4;

// Random access to the bytes of a ".dat15" file, on disk or in memory.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Fills `out` with the bytes at `pos`; a range that is not wholly inside size() is refused.
    virtual Status Read(std::uint64_t pos, std::span<std::uint8_t> out) = 0;
};

// A ByteSource that can also overwrite bytes in place. It never grows the file: a range that
// is not wholly inside size() is refused.
class ByteStore : public ByteSource {
public:
    virtual Status Write(std::uint64_t pos, std::span<const std::uint8_t> bytes) = 0;
};

// A read-only image in memory.
class ImageSource final : public ByteSource {
public:
    explicit ImageSource(std::span<const std::uint8_t> image) : image_(image) {}
    std::uint64_t size() const override { return image_.size(); }
    Status Read(std::uint64_t pos, std::span<std::uint8_t> out) override;

private:
    std::span<const std::uint8_t> image_;
};

// A writable image in memory, of fixed size.
class ImageStore final : public ByteStore {
public:
    explicit ImageStore(std::span<std::uint8_t> image) : image_(image) {}
    std::uint64_t size() const override { return image_.size(); }
    Status Read(std::uint64_t pos, std::span<std::uint8_t> out) override;
    Status Write(std::uint64_t pos, std::span<const std::uint8_t> bytes) override;

private:
    std::span<std::uint8_t> image_;
};

struct Dat15Entry {
    std::string name;       // as stored: Windows-1252 bytes
    std::int32_t position;  // D, where the entry's record starts
};

struct Dat15Listing {
    // The radio tracks in table order; each record lies wholly in the file.
    std::vector<Dat15Entry> entries;
    // Entries that may be radio tracks but whose record runs past the end of the file (the
    // kind marker says so, or lies past the end itself): they can be neither shown nor
    // written, and are kept apart so that asking for one by name can say why.
    std::vector<Dat15Entry> outside;
    // Why the walk stopped before the count said it should; empty when the table is whole.
    std::string damage;
};

// Walks the table. A damaged table is read as far as it goes: a length, count or position
// that the file cannot hold, or a negative A, B or D, ends the walk there with the entries
// read so far. Only a failing read is an error.
Result<Dat15Listing> ReadDat15Entries(ByteSource& file);
// The same over an image in memory, where reads cannot fail.
Dat15Listing ReadDat15Entries(std::span<const std::uint8_t> image);

// The duration of the track whose record is at `position`; refused when the record is not
// wholly in the file.
Result<std::uint32_t> ReadTrackDuration(ByteSource& file, std::int32_t position);

// Overwrites the four bytes of the duration at position + 26 and nothing else. Refused, with
// nothing written, when the record is not wholly in the file or is not a radio track.
Status WriteTrackDuration(ByteStore& file, std::int32_t position, std::uint32_t ms);

// A demo ".dat15" file: a few radio tracks among entries of other kinds, with durations.
std::vector<std::uint8_t> BuildDemoDat15();

}  // namespace brenzo::radio
