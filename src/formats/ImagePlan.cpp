#include "formats/ImagePlan.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/Layout.h"

namespace brenzo::formats {

namespace {
constexpr std::size_t kReferAbove = 4096;
}

std::span<const std::uint8_t> ImagePlan::zeroSlice() {
    static const std::vector<std::uint8_t> zeros(std::size_t{1} << 20, 0);
    return zeros;
}

void ImagePlan::Refer(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    size_ += bytes.size();
    if (!pieces_.empty() && pieces_.back().data && pieces_.back().data + pieces_.back().size == bytes.data()) {
        pieces_.back().size += bytes.size();
        return;
    }
    pieces_.push_back({bytes.data(), bytes.size()});
}

void ImagePlan::Copy(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return;
    kept_.emplace_back(bytes.begin(), bytes.end());
    size_ += bytes.size();
    pieces_.push_back({kept_.back().data(), bytes.size()});
}

void ImagePlan::Zeros(std::size_t count) {
    if (count == 0) return;
    size_ += count;
    if (!pieces_.empty() && !pieces_.back().data) {
        pieces_.back().size += count;
        return;
    }
    pieces_.push_back({nullptr, count});
}

Bytes ImagePlan::Flatten() const {
    Bytes out;
    FlattenInto(out);
    return out;
}

void ImagePlan::FlattenInto(Bytes& out) const {
    out.resize(static_cast<std::size_t>(size_));
    std::size_t at = 0;
    for (const Piece& p : pieces_) {
        if (p.data)
            std::memcpy(out.data() + at, p.data, p.size);
        else
            std::memset(out.data() + at, 0, p.size);
        at += p.size;
    }
}

namespace {
bool inside(const Bytes& image, const std::uint8_t* p) {
    return !image.empty() && std::less_equal<>()(image.data(), p) && std::less<>()(p, image.data() + image.size());
}
}  // namespace

bool ImagePlan::CanUpdateInPlace(const Bytes& image) const {
    if (size_ > image.capacity()) return false;
    const std::uint8_t* end = nullptr;
    for (const Piece& p : pieces_) {
        if (!p.data || !inside(image, p.data)) continue;
        if (p.size > static_cast<std::size_t>(image.data() + image.size() - p.data)) return false;
        if (end && std::less<>()(p.data, end)) return false;
        end = p.data + p.size;
    }
    return true;
}

void ImagePlan::UpdateInPlace(Bytes& image) const {
    struct Move {
        std::size_t from, to, size;
    };
    std::vector<Move> moves;
    std::vector<std::size_t> others;  // indexes of pieces copied or zeroed last
    std::vector<std::size_t> destination(pieces_.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < pieces_.size(); ++i) {
        destination[i] = at;
        const Piece& p = pieces_[i];
        if (p.data && inside(image, p.data))
            moves.push_back({static_cast<std::size_t>(p.data - image.data()), at, p.size});
        else
            others.push_back(i);
        at += p.size;
    }
    // Growing stays within the capacity, so the memory does not move; new bytes are not set.
    if (at > image.size()) image.resize(at);
    std::uint8_t* base = image.data();
    for (const Move& m : moves)
        if (m.to <= m.from) std::memmove(base + m.to, base + m.from, m.size);
    for (auto m = moves.rbegin(); m != moves.rend(); ++m)
        if (m->to > m->from) std::memmove(base + m->to, base + m->from, m->size);
    for (std::size_t i : others) {
        const Piece& p = pieces_[i];
        if (p.data)
            std::memcpy(base + destination[i], p.data, p.size);
        else
            std::memset(base + destination[i], 0, p.size);
    }
    image.resize(at);
}

void PlanWriter::bytes(std::span<const std::uint8_t> b) {
    if (b.size() >= kReferAbove) {
        flush();
        plan_.Refer(b);
        return;
    }
    pending_.insert(pending_.end(), b.begin(), b.end());
}

void PlanWriter::zeros(std::uint64_t n) {
    if (n >= kReferAbove) {
        flush();
        plan_.Zeros(static_cast<std::size_t>(n));
        return;
    }
    pending_.resize(pending_.size() + static_cast<std::size_t>(n), 0);
}

void PlanWriter::padTo2048() { zeros(AlignTo2048(size()) - size()); }

void PlanWriter::flush() {
    if (pending_.empty()) return;
    plan_.Copy(pending_);
    pending_.clear();
}

}  // namespace brenzo::formats
