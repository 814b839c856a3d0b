#include "workspace/HashNames.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "common/ByteReader.h"
#include "common/Utf8.h"
#include "common/Windows1252.h"
#include "platform/Files.h"

namespace brenzo::workspace {
namespace {

constexpr std::size_t kMaxValueCharacters = 2047;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

// A key that names a hash: decimal digits without sign or leading zeros, below 2^32. Any
// other key can never equal the decimal text of a hash, so it is ignored.
bool parseHashKey(std::string_view key, std::uint32_t& hash) {
    if (key.empty() || key.size() > 10 || (key.size() > 1 && key[0] == '0')) return false;
    std::uint64_t v = 0;
    for (char c : key) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (v > 0xFFFFFFFFu) return false;
    hash = static_cast<std::uint32_t>(v);
    return true;
}

// Cuts UTF-8 text after `limit` code points.
std::string_view cutCharacters(std::string_view s, std::size_t limit) {
    if (s.size() <= limit) return s;  // no more characters than bytes
    std::size_t count = 0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
            if (count == limit) return s.substr(0, i);
            ++count;
        }
    }
    return s;
}

bool isUtf16(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

// A UTF-16 file (with its byte order mark) as UTF-8.
std::string fromUtf16(std::span<const std::uint8_t> bytes) {
    const bool little = bytes[0] == 0xFF;
    std::string out;
    out.reserve(bytes.size());
    auto unit = [&](std::size_t i) -> std::uint32_t {
        return little ? loadU16(&bytes[i]) : static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    };
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = unit(i);
        if (cp >= 0xD800 && cp < 0xDC00 && i + 3 < bytes.size()) {
            std::uint32_t low = unit(i + 2);
            if (low >= 0xDC00 && low < 0xE000) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        // A surrogate without its partner stands for no character: it is shown as U+FFFD
        // everywhere (the list, JSON, file names) rather than as bytes no UTF-8 allows.
        if (cp >= 0xD800 && cp < 0xE000) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
}

}  // namespace

HashTable HashTable::Parse(std::span<const std::uint8_t> bytes) {
    Bytes copy;
    copy.resize(bytes.size());
    if (!bytes.empty()) std::memcpy(copy.data(), bytes.data(), bytes.size());
    return Parse(std::move(copy));
}

HashTable HashTable::Parse(Bytes&& bytes) {
    HashTable table;
    auto text = std::make_shared<Text>();
    std::string_view rest;
    text->raw = std::move(bytes);
    if (isUtf16(text->raw)) {
        text->converted = fromUtf16(text->raw);
        rest = text->converted;
    } else {
        rest = std::string_view(reinterpret_cast<const char*>(text->raw.data()), text->raw.size());
        if (rest.starts_with("\xEF\xBB\xBF")) {
            rest.remove_prefix(3);  // a UTF-8 byte order mark
        } else if (!IsValidUtf8(rest)) {
            // Without a mark, text that is not UTF-8 was written in a Windows code page: read as
            // Windows-1252, the game's, so that names saved by Windows tools keep their accents.
            text->converted = Windows1252ToUtf8(rest);
            rest = text->converted;
        }
    }
    table.text_ = text;
    std::size_t lines = 1;
    for (std::size_t at = rest.find('\n'); at != std::string_view::npos; at = rest.find('\n', at + 1)) ++lines;
    // At most half full, whatever the file holds.
    std::size_t slots = 16;
    while (slots < 2 * lines) slots *= 2;
    table.slots_.resize(slots);
    table.names_.reserve(lines);
    enum class Section { Before, Inside, After } section = Section::Before;
    while (!rest.empty() && section != Section::After) {
        std::size_t end = rest.find('\n');
        std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        if (!line.empty() && line.front() == '[') {
            std::size_t close = line.find(']');
            std::string_view name = trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
            // Only the first [Hashes] section is searched.
            if (section == Section::Inside)
                section = Section::After;
            else if (equalsIgnoringCase(name, "Hashes"))
                section = Section::Inside;
            continue;
        }
        if (section != Section::Inside) continue;
        std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) continue;
        std::uint32_t hash;
        if (!parseHashKey(trim(line.substr(0, eq)), hash)) continue;
        std::string_view value = trim(line.substr(eq + 1));
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
            value = value.substr(1, value.size() - 2);
        table.insert(hash, cutCharacters(value, kMaxValueCharacters));
    }
    return table;
}

namespace {
// Spreads hashes that differ only in their high bits (Fibonacci hashing).
std::size_t slotOf(std::uint32_t hash, std::size_t mask) {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(hash) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}
}  // namespace

void HashTable::insert(std::uint32_t hash, std::string_view name) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = slotOf(hash, mask);; at = (at + 1) & mask) {
        Slot& slot = slots_[at];
        if (slot.name == kEmpty) {
            slot = {hash, static_cast<std::uint32_t>(names_.size())};
            names_.push_back(name);
            return;
        }
        if (slot.hash == hash) return;  // the first key counts
    }
}

std::optional<std::string_view> HashTable::Find(std::uint32_t hash) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = slotOf(hash, mask);; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.name == kEmpty) return std::nullopt;
        if (slot.hash == hash) return names_[slot.name];
    }
}

std::string DefaultHashName(std::uint32_t hash) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(hash));
    return text;
}

std::span<const std::uint8_t> HashTable::source() const {
    if (!text_) return {};
    return text_->raw;
}

void HashNames::Refresh() {
    auto bytes = platform::ReadWholeFile(file_);
    if (!bytes) {
        table_ = {};
        return;
    }
    // Compared by content: a file's time is not fine enough everywhere to show an edit.
    if (!table_.source().empty() && SameBytes(table_.source(), *bytes)) return;
    table_ = HashTable::Parse(std::move(*bytes));
}

std::string HashNames::NameForHash(std::uint32_t hash) const {
    auto name = table_.Find(hash);
    return name ? std::string(*name) : DefaultHashName(hash);
}

}  // namespace brenzo::workspace
