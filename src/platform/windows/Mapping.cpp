// Windows reads whole files into memory: a mapped view would hold the file open, and a save
// could not rename its new file over the one the view shows.
#include "platform/Internal.h"

namespace brenzo::platform {

namespace detail {
void* takeMappedImage(std::size_t) { return nullptr; }
bool releaseMappedImage(void*, std::size_t) noexcept { return false; }
}  // namespace detail

Result<Bytes> AtomicFile::MapCommitted() const { return Error{"files are not mapped here"}; }

bool ImageIntact(std::span<const std::uint8_t>) { return true; }

}  // namespace brenzo::platform
