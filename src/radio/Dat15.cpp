#include "radio/Dat15.h"

#include <array>
#include <cstring>

#include "common/ByteReader.h"
#include "common/ByteWriter.h"

namespace brenzo::radio {
namespace {

// Whether [pos, pos + n) lies inside `size` bytes; compared by subtraction so that a hostile
// position cannot overflow the check.
bool fits(std::uint64_t size, std::uint64_t pos, std::uint64_t n) { return pos <= size && size - pos >= n; }

Error outsideImage() { return Error{"the bytes asked for lie outside the file"}; }

// Reads through a ByteSource, telling "not in the file" (the walk stops) from "the read
// failed" (an error to report).
class Cursor {
public:
    explicit Cursor(ByteSource& file) : file_(file), size_(file.size()) {}

    std::uint64_t size() const { return size_; }
    bool failed() const { return !failure_.isOk(); }
    const Status& failure() const { return failure_; }

    bool bytes(std::uint64_t pos, std::span<std::uint8_t> out) {
        if (failed() || !fits(size_, pos, out.size())) return false;
        failure_ = file_.Read(pos, out);
        return !failed();
    }
    bool u8(std::uint64_t pos, std::uint8_t& v) { return bytes(pos, std::span(&v, 1)); }
    bool u32(std::uint64_t pos, std::uint32_t& v) {
        std::array<std::uint8_t, 4> b{};
        if (!bytes(pos, b)) return false;
        v = loadU32(b.data());
        return true;
    }
    bool i32(std::uint64_t pos, std::int32_t& v) {
        std::uint32_t u = 0;
        if (!u32(pos, u)) return false;
        v = static_cast<std::int32_t>(u);
        return true;
    }

private:
    ByteSource& file_;
    std::uint64_t size_;
    Status failure_;
};

std::string ofCount(std::int64_t i, std::int64_t count) {
    return std::to_string(i + 1) + " of " + std::to_string(count);
}

// A record usable for showing or writing a duration: a non-negative D with every byte up to
// the end of the duration inside the file.
bool recordFits(std::uint64_t size, std::int32_t position) {
    return position >= 0 && fits(size, static_cast<std::uint64_t>(position), kRecordMinimumSize);
}

Error recordOutside(std::int32_t position) {
    return Error{"the record at " + std::to_string(position) + " lies outside the file"};
}

}  // namespace

Status ImageSource::Read(std::uint64_t pos, std::span<std::uint8_t> out) {
    if (!fits(image_.size(), pos, out.size())) return outsideImage();
    if (!out.empty()) std::memcpy(out.data(), image_.data() + pos, out.size());
    return {};
}

Status ImageStore::Read(std::uint64_t pos, std::span<std::uint8_t> out) { return ImageSource(image_).Read(pos, out); }

Status ImageStore::Write(std::uint64_t pos, std::span<const std::uint8_t> bytes) {
    if (!fits(image_.size(), pos, bytes.size())) return outsideImage();
    if (!bytes.empty()) std::memcpy(image_.data() + pos, bytes.data(), bytes.size());
    return {};
}

Result<Dat15Listing> ReadDat15Entries(ByteSource& file) {
    Dat15Listing listing;
    Cursor in(file);
    auto stop = [&](std::string why) -> Result<Dat15Listing> {
        if (in.failed()) return in.failure().error();
        listing.damage = std::move(why);
        return std::move(listing);
    };

    // Positions are computed in 64 bits: A, B and D are at most 2^31 - 1, so no sum overflows.
    std::int32_t a = 0, b = 0, count = 0;
    if (!in.i32(4, a)) return stop("the file is too short to hold a track table");
    if (a < 0) return stop("the first block has a negative length");
    const std::uint64_t bAt = 8 + static_cast<std::uint64_t>(a);
    if (!in.i32(bAt, b)) return stop("the first block runs past the end of the file");
    if (b < 0) return stop("the second block has a negative length");
    const std::uint64_t countAt = bAt + 4 + static_cast<std::uint64_t>(b);
    if (!in.i32(countAt, count)) return stop("the second block runs past the end of the file");

    // The loop needs no cap of its own: every entry takes at least 9 bytes of the file, and the
    // walk ends at the first one that the file does not hold, however large the count.
    std::uint64_t pos = countAt + 4;
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint8_t length = 0;
        if (!in.u8(pos, length)) return stop("entry " + ofCount(i, count) + " runs past the end of the file");
        std::string name(length, '\0');
        if (!in.bytes(pos + 1, std::span(reinterpret_cast<std::uint8_t*>(name.data()), name.size())))
            return stop("entry " + ofCount(i, count) + " runs past the end of the file");
        std::int32_t position = 0;
        if (!in.i32(pos + 1 + length, position))
            return stop("entry " + ofCount(i, count) + " runs past the end of the file");
        if (position < 0) return stop("entry " + ofCount(i, count) + " has a negative record position");
        // The four bytes after D are not read: the last entry may end without them.
        pos += 1 + length + 4 + 4;

        std::uint32_t marker = 0;
        const bool markerRead = in.u32(static_cast<std::uint64_t>(position) + kRecordMarkerOffset, marker);
        if (in.failed()) return in.failure().error();
        if (markerRead && marker != RadioTrackMarker) continue;
        if (markerRead && recordFits(in.size(), position))
            listing.entries.push_back({std::move(name), position});
        else
            listing.outside.push_back({std::move(name), position});
    }
    return listing;
}

Dat15Listing ReadDat15Entries(std::span<const std::uint8_t> image) {
    ImageSource source(image);
    // Reads from memory never fail, so the walk cannot end in an error.
    return std::move(ReadDat15Entries(source).value());
}

Result<std::uint32_t> ReadTrackDuration(ByteSource& file, std::int32_t position) {
    if (!recordFits(file.size(), position)) return recordOutside(position);
    Cursor in(file);
    std::uint32_t ms = 0;
    if (!in.u32(static_cast<std::uint64_t>(position) + kRecordDurationOffset, ms)) return in.failure().error();
    return ms;
}

Status WriteTrackDuration(ByteStore& file, std::int32_t position, std::uint32_t ms) {
    if (!recordFits(file.size(), position)) return recordOutside(position);
    const auto at = static_cast<std::uint64_t>(position);
    // Checked again here, not only by the walk, so that a stale or made-up position never
    // lets four bytes land in a record of another kind.
    Cursor in(file);
    std::uint32_t marker = 0;
    if (!in.u32(at + kRecordMarkerOffset, marker)) return in.failure();
    if (marker != RadioTrackMarker) return Error{"the record at " + std::to_string(position) + " is not a radio track"};
    std::array<std::uint8_t, 4> bytes{};
    storeU32(bytes.data(), ms);
    return file.Write(at + kRecordDurationOffset, bytes);
}

}  // namespace brenzo::radio
