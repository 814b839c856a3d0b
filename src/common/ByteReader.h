#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace brenzo {

// One little-endian value from bytes the caller knows are there.
inline std::uint16_t loadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | static_cast<unsigned>(p[1]) << 8);
}
inline std::uint32_t loadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::int16_t loadI16(const std::uint8_t* p) { return static_cast<std::int16_t>(loadU16(p)); }

// Little-endian reader over an untrusted image. Bytes past the end read as zero and
// the reader remembers that it ran short; nothing is ever read outside the span.
class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data, std::size_t pos = 0) : data_(data), pos_(pos) {}

    std::size_t pos() const { return pos_; }
    std::size_t size() const { return data_.size(); }
    bool ranShort() const { return short_; }
    // Positions past the end are allowed; reads from there give zeros.
    void seek(std::size_t pos) { pos_ = pos; }
    void skip(std::size_t n) { pos_ = n > SIZE_MAX - pos_ ? SIZE_MAX : pos_ + n; }
    std::size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
    bool canRead(std::size_t n) const { return pos_ <= data_.size() && data_.size() - pos_ >= n; }

    std::uint8_t u8() { return static_cast<std::uint8_t>(take(1)); }
    std::uint16_t u16() { return static_cast<std::uint16_t>(take(2)); }
    std::uint32_t u32() { return static_cast<std::uint32_t>(take(4)); }
    std::uint64_t u64() { return take(8); }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    std::int64_t i64() { return static_cast<std::int64_t>(u64()); }

    // Copies up to out.size() bytes; the missing tail is zero-filled. Returns the bytes really read.
    std::size_t bytes(std::span<std::uint8_t> out) {
        std::size_t n = remaining() < out.size() ? remaining() : out.size();
        if (n) std::memcpy(out.data(), data_.data() + pos_, n);
        if (n < out.size()) {
            std::memset(out.data() + n, 0, out.size() - n);
            short_ = true;
        }
        skip(out.size());
        return n;
    }

    // The bytes [pos, pos + n) when all of them lie inside the image, else an empty span.
    std::span<const std::uint8_t> view(std::size_t n) const {
        return canRead(n) ? data_.subspan(pos_, n) : std::span<const std::uint8_t>{};
    }

private:
    std::uint64_t take(std::size_t n) {
        if (pos_ < data_.size() && data_.size() - pos_ >= n) {
            // The common case: all bytes present, one load on a little-endian machine.
            std::uint64_t v = 0;
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(&v, data_.data() + pos_, n);
            } else {
                const std::uint8_t* p = data_.data() + pos_;
                for (std::size_t i = 0; i < n; ++i) v |= static_cast<std::uint64_t>(p[i]) << (8 * i);
            }
            pos_ += n;
            return v;
        }
        if (pos_ >= data_.size()) {
            // Wholly past the end, as every field of a record that a damaged file points
            // beyond is: zero, without a look at each byte.
            short_ = true;
            skip(n);
            return 0;
        }
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t p = pos_ + i;
            if (pos_ <= SIZE_MAX - i && p < data_.size())
                v |= static_cast<std::uint64_t>(data_[p]) << (8 * i);
            else
                short_ = true;
        }
        skip(n);
        return v;
    }

    std::span<const std::uint8_t> data_;
    std::size_t pos_;
    bool short_ = false;
};

// Reads one little-endian value at an absolute position; zero past the end.
inline std::uint32_t peekU32(std::span<const std::uint8_t> data, std::size_t pos) {
    ByteReader r(data, pos);
    return r.u32();
}
inline std::uint16_t peekU16(std::span<const std::uint8_t> data, std::size_t pos) {
    ByteReader r(data, pos);
    return r.u16();
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes (no overflow).
constexpr bool fitsIn(std::uint64_t size, std::uint64_t offset, std::uint64_t length) {
    return offset <= size && size - offset >= length;
}

}  // namespace brenzo
