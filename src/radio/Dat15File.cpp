#include "radio/Dat15File.h"

#include "platform/Files.h"
#include "platform/Path.h"

namespace brenzo::radio {

// The open file seen as a ByteStore. The size is the one found at opening: while the file
// is held no other Brenzo can change it.
class Dat15File::Store final : public ByteStore {
public:
    explicit Store(std::unique_ptr<platform::LockedFile> file) : file_(std::move(file)) {}

    std::uint64_t size() const override { return file_->size(); }

    Status Read(std::uint64_t pos, std::span<std::uint8_t> out) override {
        if (pos > size() || size() - pos < out.size()) return outside("read");
        auto got = file_->ReadAt(pos, out);
        if (!got) return got.status();
        // Fewer bytes than the size promised: the file was cut behind our back.
        if (*got != out.size())
            return Error{"cannot read " + platform::FileNameUtf8(file_->path()) + ": the file ended early", true};
        return {};
    }

    Status Write(std::uint64_t pos, std::span<const std::uint8_t> bytes) override {
        if (pos > size() || size() - pos < bytes.size()) return outside("write");
        return file_->WriteAt(pos, bytes);
    }

private:
    Error outside(const char* verb) const {
        return Error{std::string("cannot ") + verb + " " + platform::FileNameUtf8(file_->path()) +
                     ": the bytes lie outside the file"};
    }

    std::unique_ptr<platform::LockedFile> file_;
};

Result<Dat15File> Dat15File::Open(const std::filesystem::path& path) {
    auto locked = platform::LockedFile::Open(path);
    if (!locked) return locked.error();
    return Dat15File(std::make_unique<Store>(std::move(*locked)), path);
}

Dat15File::Dat15File(std::unique_ptr<Store> file, std::filesystem::path path)
    : file_(std::move(file)), path_(std::move(path)) {}
Dat15File::Dat15File(Dat15File&&) noexcept = default;
Dat15File& Dat15File::operator=(Dat15File&&) noexcept = default;
Dat15File::~Dat15File() = default;

void Dat15File::Close() { file_.reset(); }

Error Dat15File::closed() const { return Error{platform::FileNameUtf8(path_) + " is not open"}; }

Result<Dat15Listing> Dat15File::ReadEntries() {
    if (!file_) return closed();
    return ReadDat15Entries(*file_);
}

Result<std::uint32_t> Dat15File::ReadDuration(std::int32_t position) {
    if (!file_) return closed();
    return ReadTrackDuration(*file_, position);
}

Status Dat15File::WriteDuration(std::int32_t position, std::uint32_t ms) {
    if (!file_) return closed();
    return WriteTrackDuration(*file_, position, ms);
}

}  // namespace brenzo::radio
