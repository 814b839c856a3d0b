#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "common/Bytes.h"

namespace brenzo {

// A file image and a plain vector of the same bytes compare equal in the tests.
inline bool operator==(const Bytes& a, const std::vector<std::uint8_t>& b) { return SameBytes(a, b); }

}  // namespace brenzo

namespace brenzo::testing {

// A fresh folder under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // `name` is UTF-8, as every name in the tests is.
    std::filesystem::path operator/(const std::string& name) const;

private:
    std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
void WriteText(const std::filesystem::path& path, const std::string& text);

}  // namespace brenzo::testing
