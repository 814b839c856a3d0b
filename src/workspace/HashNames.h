#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Bytes.h"

namespace brenzo::workspace {

// The [Hashes] section of an INI text, read with the Windows profile rules: section and key
// names compare without regard to case, blanks around keys and values are dropped, one pair
// of surrounding quotes is removed, the first matching key counts, and a value is cut to
// 2047 characters. Keys are hashes in unsigned decimal. The text is UTF-16 or UTF-8 by its byte
// order mark; without one, UTF-8 when it is valid UTF-8 and Windows-1252 otherwise.
class HashTable {
public:
    static HashTable Parse(std::span<const std::uint8_t> text);
    // The same, keeping the bytes it is given instead of a copy.
    static HashTable Parse(Bytes&& text);
    std::optional<std::string_view> Find(std::uint32_t hash) const;
    std::size_t size() const { return names_.size(); }
    // The bytes the table was parsed from (empty for a table parsed from nothing).
    std::span<const std::uint8_t> source() const;

private:
    // The names are views into the file's text, kept here whole (as read; and converted to
    // UTF-8 when it is UTF-16 or in the Windows code page), found through an open-addressing table of hash -> name:
    // one probe for most lookups, where a sorted list would take seventeen cache misses.
    struct Text {
        Bytes raw;
        std::string converted;
    };
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t name = kEmpty;  // index into names_
    };
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
    void insert(std::uint32_t hash, std::string_view name);

    std::shared_ptr<const Text> text_;
    std::vector<std::string_view> names_;
    std::vector<Slot> slots_;  // a power of two long
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
};

}  // namespace brenzo::workspace
