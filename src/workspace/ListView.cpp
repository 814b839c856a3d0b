#include "workspace/ListView.h"

#include <algorithm>
#include <cstdio>

#include "formats/Layout.h"

namespace brenzo::workspace {
namespace {

constexpr std::size_t kHidden = static_cast<std::size_t>(-1);

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string folded(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = foldAscii(c);
    return out;
}

std::string hexHash(std::uint32_t hash) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hash));
    return text;
}

// A name as one cell of a tab-separated line.
std::string oneCell(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return out;
}

// Durations compared exactly: a / ra against b / rb without division. A rate of 0 is no
// duration at all, as the list shows it.
bool shorter(const ListItem& a, const ListItem& b) {
    const std::uint64_t na = a.rate ? a.samples : 0, da = a.rate ? a.rate : 1;
    const std::uint64_t nb = b.rate ? b.samples : 0, db = b.rate ? b.rate : 1;
    return na * db < nb * da;
}

}  // namespace

std::vector<ListItem> ListItems(const Workspace& ws) {
    std::vector<ListItem> items(ws.EntryCount());
    for (std::size_t i = 0; i < items.size(); ++i) {
        ListItem& item = items[i];
        item.name = ws.RowName(i);
        if (ws.CurrentBank()) {
            const auto& info = ws.CurrentBank()->BanksInfo[i];
            item.hash = ws.CurrentBank()->BanksHeadInfo[i].Hash;
            item.samples = info.Size2;
            item.rate = info.Frequency;
            item.size = info.Size;
        } else if (ws.CurrentMulti()) {
            const auto& ch = ws.CurrentMulti()->ChHeaders[i];
            item.hash = ws.CurrentMulti()->ChHeadSizes[i].HeadHash;
            item.samples = ch.Length;
            item.rate = ch.Frequency;
            item.size = ch.Size;
        }
    }
    return items;
}

std::string GroupThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

void ListView::SetItems(std::vector<ListItem> items) {
    items_ = std::move(items);
    haystacks_.clear();
    haystacks_.reserve(items_.size());
    nameLength_.clear();
    nameLength_.reserve(items_.size());
    for (const ListItem& item : items_) {
        // The unit separator keeps a filter from matching across two fields.
        std::string hay = folded(item.name);
        nameLength_.push_back(hay.size());
        hay += '\x1f';
        hay += folded(hexHash(item.hash));
        hay += '\x1f';
        hay += std::to_string(item.hash);
        haystacks_.push_back(std::move(hay));
    }
    rebuild();
}

void ListView::SetFilter(std::string_view text) {
    filter_ = std::string(text);
    foldedFilter_ = folded(text);
    rebuild();
}

void ListView::ClickHeader(int column) {
    if (column < 0 || column > 2) return;
    const SortColumn clicked = column == 0 ? SortColumn::Name : column == 1 ? SortColumn::Duration : SortColumn::Rate;
    if (sortColumn_ != clicked)
        SortBy(clicked, false);
    else if (!descending_)
        SortBy(clicked, true);
    else
        SortBy(SortColumn::None, false);
}

void ListView::SortBy(SortColumn column, bool descending) {
    sortColumn_ = column;
    descending_ = column != SortColumn::None && descending;
    rebuild();
}

void ListView::rebuild() {
    rows_.clear();
    rowOf_.assign(items_.size(), kHidden);
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (foldedFilter_.empty() || haystacks_[i].find(foldedFilter_) != std::string::npos) rows_.push_back(i);

    if (sortColumn_ != SortColumn::None) {
        auto less = [&](std::size_t a, std::size_t b) {
            const ListItem& x = items_[a];
            const ListItem& y = items_[b];
            switch (sortColumn_) {
                case SortColumn::Name: {
                    return std::string_view(haystacks_[a]).substr(0, nameLength_[a]) <
                           std::string_view(haystacks_[b]).substr(0, nameLength_[b]);
                }
                case SortColumn::Duration:
                    return shorter(x, y);
                case SortColumn::Rate:
                    return x.rate < y.rate;
                case SortColumn::None:
                    break;
            }
            return false;
        };
        // Descending reverses the keys, not the file's order of equal keys.
        if (descending_)
            std::stable_sort(rows_.begin(), rows_.end(), [&](std::size_t a, std::size_t b) { return less(b, a); });
        else
            std::stable_sort(rows_.begin(), rows_.end(), less);
    }
    for (std::size_t r = 0; r < rows_.size(); ++r) rowOf_[rows_[r]] = r;
}

std::optional<std::size_t> ListView::EntryAt(std::size_t row) const {
    if (row >= rows_.size()) return std::nullopt;
    return rows_[row];
}

std::optional<std::size_t> ListView::RowOf(std::size_t entry) const {
    if (entry >= rowOf_.size() || rowOf_[entry] == kHidden) return std::nullopt;
    return rowOf_[entry];
}

std::vector<std::size_t> ListView::EntriesOf(std::span<const std::size_t> rows) const {
    std::vector<std::size_t> sorted(rows.begin(), rows.end());
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<std::size_t> entries;
    entries.reserve(sorted.size());
    for (std::size_t row : sorted)
        if (row < rows_.size()) entries.push_back(rows_[row]);
    return entries;
}

std::string ListView::Caption(std::string_view fileCaption) const {
    if (!Filtered()) return std::string(fileCaption);
    // The count the loaders wrote, "(2000 sounds)" or "(5 channels)", becomes "(12 of 2,000 sounds)".
    for (std::size_t open = fileCaption.find('('); open != std::string_view::npos;
         open = fileCaption.find('(', open + 1)) {
        std::size_t end = open + 1;
        while (end < fileCaption.size() && fileCaption[end] >= '0' && fileCaption[end] <= '9') ++end;
        if (end == open + 1) continue;
        const std::string_view rest = fileCaption.substr(end);
        for (std::string_view unit : {std::string_view(" sounds)"), std::string_view(" channels)")}) {
            if (rest.substr(0, unit.size()) != unit) continue;
            return std::string(fileCaption.substr(0, open)) + "(" + GroupThousands(rows_.size()) + " of " +
                   GroupThousands(items_.size()) + std::string(unit) + std::string(rest.substr(unit.size()));
        }
    }
    // A caption without a count ("Loading... - b.bin") stays as it is.
    return std::string(fileCaption);
}

std::string ListView::CopyText(std::span<const std::size_t> rows) const {
    std::string text;
    for (std::size_t entry : EntriesOf(rows)) {
        const ListItem& item = items_[entry];
        text += std::to_string(entry);
        text += '\t';
        text += oneCell(item.name);
        text += '\t';
        text += std::to_string(item.hash);
        text += '\t';
        text += formats::FormatDuration(item.samples, item.rate);
        text += '\t';
        text += formats::FormatRate(item.rate);
        text += '\n';
    }
    return text;
}

std::string ListView::ToolTip(std::size_t row) const {
    const auto entry = EntryAt(row);
    if (!entry) return {};
    const ListItem& item = items_[*entry];
    return item.name + "\nHash: " + hexHash(item.hash) + " (" + std::to_string(item.hash) +
           ")\nSize: " + GroupThousands(item.size) + " bytes";
}

std::optional<ListRow> ListView::RowTexts(std::size_t row) const {
    const auto entry = EntryAt(row);
    if (!entry) return std::nullopt;
    const ListItem& item = items_[*entry];
    return ListRow{item.name, formats::FormatDuration(item.samples, item.rate), formats::FormatRate(item.rate)};
}

}  // namespace brenzo::workspace
