#include "export/Sink.h"

#include <algorithm>
#include <bit>

namespace brenzo::exporting {

static_assert(std::endian::native == std::endian::little, "samples are written as they lie in memory");

std::span<std::int16_t> ByteSink::SampleRoom(std::size_t count) {
    if (room_.size() < count) room_.resize(count);
    return std::span(room_).first(count);
}

Status ByteSink::WriteSamples(std::size_t count) {
    return Write({reinterpret_cast<const std::uint8_t*>(room_.data()), std::min(count, room_.size()) * 2});
}

Result<std::unique_ptr<FileSink>> FileSink::Create(const std::filesystem::path& target) {
    auto file = platform::AtomicFile::Create(target, platform::Durability::Cached);
    if (!file) return file.error();
    return std::unique_ptr<FileSink>(new FileSink(std::move(*file)));
}

}  // namespace brenzo::exporting
