#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenzo::workspace {

// The [Hashes] section of an INI text, read with the Windows profile rules: section and key
// names compare without regard to case, blanks around keys and values are dropped, one pair
// of surrounding quotes is removed, the first matching key counts, and a value is cut to
// 2047 characters. Keys are hashes in unsigned decimal.
class HashTable {
public:
    static HashTable Parse(std::span<const std::uint8_t> text);
    std::optional<std::string_view> Find(std::uint32_t hash) const;
    std::size_t size() const { return names_.size(); }

private:
    struct Name {
        std::uint32_t hash;
        std::string_view name;
    };
    // The names are views into the file's text, kept here whole; sorted by hash, the first
    // of equal keys in file order.
    std::shared_ptr<const std::string> text_;
    std::vector<Name> names_;
};

// "0x" and the hash in upper-case hexadecimal, at least four digits.
std::string DefaultHashName(std::uint32_t hash);

// Name lookup over "Hashes.ini". The file is read afresh on every Refresh (each open): an
// edit shows on the next open without restarting. It is parsed again only when its bytes
// changed. Its size and time would not do: an edit of the same size within the same second
// keeps both on Windows, whose file times the standard library reads to the second. A missing
// or unreadable file gives the default names.
class HashNames {
public:
    HashNames() = default;
    explicit HashNames(std::filesystem::path file) : file_(std::move(file)) {}

    void Refresh();
    std::string NameForHash(std::uint32_t hash) const;
    const std::filesystem::path& file() const { return file_; }

private:
    std::filesystem::path file_;
    HashTable table_;
    std::optional<std::vector<std::uint8_t>> bytes_;  // as last parsed
};

}  // namespace brenzo::workspace
