#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "workspace/Workspace.h"

namespace brenzo::workspace {

// What the list knows of one sound or channel, beside the texts it shows.
struct ListItem {
    std::string name;
    std::uint32_t hash = 0;
    std::uint32_t samples = 0;
    std::uint32_t rate = 0;
    std::uint32_t size = 0;  // stored bytes
};

// The items of the opened file, in the file's order (entry i is item i).
std::vector<ListItem> ListItems(const Workspace& ws);

// The columns a list can be sorted by; None is the file's order.
enum class SortColumn { None, Name, Duration, Rate };

// "2,000": digits grouped by three.
std::string GroupThousands(std::uint64_t value);

// The list as the user sees it: filtered by a text, sorted by a column, each shown row
// standing for one entry of the file. Front ends show rows; commands take entries.
class ListView {
public:
    ListView() = default;

    // New items (a file was opened or a sound replaced); filter and sort are kept.
    void SetItems(std::vector<ListItem> items);
    void Refresh(const Workspace& ws) { SetItems(ListItems(ws)); }

    // Rows whose name or hash ("0x8FA807D5" or its decimal form) contains the text, ignoring
    // the case of ASCII letters. An empty text shows every row.
    void SetFilter(std::string_view text);
    const std::string& Filter() const { return filter_; }
    bool Filtered() const { return !filter_.empty(); }

    // A click on a column header (0 name, 1 duration, 2 rate): ascending, then descending, then
    // the file's order again. Another column starts ascending. Equal keys keep the file's order.
    void ClickHeader(int column);
    void SortBy(SortColumn column, bool descending);
    SortColumn SortedBy() const { return sortColumn_; }
    bool Descending() const { return descending_; }

    std::size_t RowCount() const { return rows_.size(); }
    std::size_t EntryCount() const { return items_.size(); }
    // The entry shown at a row; rows past the end have none.
    std::optional<std::size_t> EntryAt(std::size_t row) const;
    // The row that shows an entry, when the filter lets it through.
    std::optional<std::size_t> RowOf(std::size_t entry) const;
    // The entries of some rows, in the order the rows are shown; rows past the end are skipped.
    std::vector<std::size_t> EntriesOf(std::span<const std::size_t> rows) const;
    const ListItem* Item(std::size_t entry) const { return entry < items_.size() ? &items_[entry] : nullptr; }

    // The caption of the list's frame: the file's own caption, with "(12 of 2,000 sounds)"
    // while a filter hides rows.
    std::string Caption(std::string_view fileCaption) const;
    // Lines of "index, name, hash, duration, rate" separated by tabs, one per row, in the order
    // shown; tabs and line breaks in a name become spaces so that each row stays one line.
    std::string CopyText(std::span<const std::size_t> rows) const;
    // The whole name, the hash and the stored size of the row's sound.
    std::string ToolTip(std::size_t row) const;
    // The texts a shown row's cells hold, made from the items alone, so that a front end can
    // paint the list while a command on another thread changes the workspace; nothing for rows
    // past the end.
    std::optional<ListRow> RowTexts(std::size_t row) const;

private:
    void rebuild();

    std::vector<ListItem> items_;
    std::vector<std::string> haystacks_;   // folded name, hex hash, decimal hash
    std::vector<std::size_t> nameLength_;  // of the folded name at the start of each haystack
    std::vector<std::size_t> rows_;        // entry per shown row
    std::vector<std::size_t> rowOf_;       // shown row per entry; hidden ones have none
    std::string filter_;
    std::string foldedFilter_;
    SortColumn sortColumn_ = SortColumn::None;
    bool descending_ = false;
};

}  // namespace brenzo::workspace
