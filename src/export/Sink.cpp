#include "export/Sink.h"

namespace brenzo::exporting {

Result<std::unique_ptr<FileSink>> FileSink::Create(const std::filesystem::path& target) {
    auto file = platform::AtomicFile::Create(target, platform::Durability::Cached);
    if (!file) return file.error();
    return std::unique_ptr<FileSink>(new FileSink(std::move(*file)));
}

}  // namespace brenzo::exporting
