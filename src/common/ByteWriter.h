#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "common/Bytes.h"

namespace brenzo {

// Stores one little-endian value into bytes the caller has made room for.
inline void storeU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void storeU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void storeI16(std::uint8_t* p, std::int16_t v) { storeU16(p, static_cast<std::uint16_t>(v)); }

// The little-endian values of a writer whose one way in is `Writer::u8`, a byte at a time.
template <class Writer>
class LittleEndianValues {
public:
    void u16(std::uint16_t v) { put(v, 2); }
    void u32(std::uint32_t v) { put(v, 4); }
    void u64(std::uint64_t v) { put(v, 8); }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void i64(std::int64_t v) { u64(static_cast<std::uint64_t>(v)); }

private:
    void put(std::uint64_t v, int n) {
        for (int i = 0; i < n; ++i) static_cast<Writer*>(this)->u8(static_cast<std::uint8_t>(v >> (8 * i)));
    }
};

// Appends little-endian values to a growing byte vector (a Bytes image, or any vector of bytes).
template <class Buffer = Bytes>
class ByteWriter : public LittleEndianValues<ByteWriter<Buffer>> {
public:
    explicit ByteWriter(Buffer& out) : out_(out) {}

    std::size_t size() const { return out_.size(); }
    Buffer& buffer() { return out_; }

    void u8(std::uint8_t v) { out_.push_back(v); }
    // Bulk copies go through memcpy: an image buffer constructs its bytes one by one otherwise.
    void bytes(std::span<const std::uint8_t> b) {
        if (b.empty()) return;
        const std::size_t at = out_.size();
        out_.resize(at + b.size());
        std::memcpy(out_.data() + at, b.data(), b.size());
    }
    void zeros(std::size_t n) {
        const std::size_t at = out_.size();
        out_.resize(at + n);
        if (n) std::memset(out_.data() + at, 0, n);
    }

    // Overwrites a u32 written earlier.
    void patchU32(std::size_t at, std::uint32_t v) { storeU32(out_.data() + at, v); }

private:
    Buffer& out_;
};

}  // namespace brenzo
