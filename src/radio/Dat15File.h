#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>

#include "common/Result.h"
#include "radio/Dat15.h"

namespace brenzo::radio {

// A ".dat15" file held open for reading and writing while the editor works on it, with other
// writers shut out: a second open of the same file, from this process or another Brenzo, is
// refused until this one is closed. Opening needs write access: a file that cannot be
// written (read-only, or held by another editor) is refused and nothing is kept open.
class Dat15File {
public:
    static Result<Dat15File> Open(const std::filesystem::path& path);

    Dat15File(Dat15File&&) noexcept;
    Dat15File& operator=(Dat15File&&) noexcept;
    ~Dat15File();

    bool isOpen() const { return file_ != nullptr; }
    const std::filesystem::path& path() const { return path_; }

    Result<Dat15Listing> ReadEntries();
    Result<std::uint32_t> ReadDuration(std::int32_t position);
    // Writes the four bytes in place and flushes them to the disk before it returns.
    Status WriteDuration(std::int32_t position, std::uint32_t ms);

    // Releases the file (and its lock); later calls are refused.
    void Close();

private:
    class Store;
    explicit Dat15File(std::unique_ptr<Store> file, std::filesystem::path path);
    Error closed() const;

    std::unique_ptr<Store> file_;
    std::filesystem::path path_;
};

}  // namespace brenzo::radio
