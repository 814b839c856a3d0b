#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <vector>

#include "common/ByteWriter.h"
#include "common/Bytes.h"
#include "common/Result.h"

namespace brenzo::formats {

// A file laid out as a list of pieces instead of one buffer: bytes the plan keeps (headers,
// directories), bytes it only points at (unchanged sounds in the opened image, a new sound's
// coded bytes; their owners must outlive the plan) and runs of zeros. A save streams the pieces
// into its temporary file, so a rebuilt container never exists twice in memory.
class ImagePlan {
public:
    // Points at `bytes`; a piece that continues the previous one in memory extends it.
    void Refer(std::span<const std::uint8_t> bytes);
    // Keeps a copy of `bytes`.
    void Copy(std::span<const std::uint8_t> bytes);
    void Zeros(std::size_t count);

    std::uint64_t size() const { return size_; }

    // Hands every piece to `write` in file order, zeros in slices of at most 1 MiB; stops at
    // the first failure and returns it.
    template <class Write>
    Status ForEach(Write write) const {
        for (const Piece& p : pieces_) {
            if (p.data) {
                if (Status s = write(std::span<const std::uint8_t>(p.data, p.size)); !s) return s;
                continue;
            }
            for (std::size_t done = 0; done < p.size;) {
                const std::size_t n = std::min(p.size - done, zeroSlice().size());
                if (Status s = write(zeroSlice().first(n)); !s) return s;
                done += n;
            }
        }
        return {};
    }

    // The whole file in one buffer (for tests, demo files, small containers).
    Bytes Flatten() const;
    // The same into `out`, replacing what it held (a buffer reserved beforehand is not moved).
    void FlattenInto(Bytes& out) const;

    // Whether UpdateInPlace can turn `image` into this plan: every piece this plan points at
    // inside `image` lies after the previous one, and the new size fits image's capacity.
    bool CanUpdateInPlace(const Bytes& image) const;
    // Rewrites `image` into the file this plan describes, within its own memory: pieces of
    // `image` move (those moving towards the start first, front to back, then the others, back
    // to front, so that no piece is overwritten before it has moved), then the other pieces are
    // copied in. Only when CanUpdateInPlace(image).
    void UpdateInPlace(Bytes& image) const;

private:
    struct Piece {
        const std::uint8_t* data;  // null: zeros
        std::size_t size;
    };
    static std::span<const std::uint8_t> zeroSlice();

    std::vector<Piece> pieces_;
    std::deque<std::vector<std::uint8_t>> kept_;
    std::uint64_t size_ = 0;
};

// Writes little-endian values into a plan: small values gather in a buffer that the plan keeps;
// spans of 4 KiB and more are referred to, not copied.
class PlanWriter : public LittleEndianValues<PlanWriter> {
public:
    explicit PlanWriter(ImagePlan& plan) : plan_(plan) {}
    ~PlanWriter() { flush(); }
    PlanWriter(const PlanWriter&) = delete;
    PlanWriter& operator=(const PlanWriter&) = delete;

    std::uint64_t size() const { return plan_.size() + pending_.size(); }
    void u8(std::uint8_t v) { pending_.push_back(v); }
    void bytes(std::span<const std::uint8_t> b);
    void zeros(std::uint64_t n);
    // Zeros up to the next multiple of 2048 of the file position.
    void padTo2048();
    // Hands what is gathered to the plan.
    void flush();

private:
    ImagePlan& plan_;
    std::vector<std::uint8_t> pending_;
};

}  // namespace brenzo::formats
