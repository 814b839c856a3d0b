#include "ui/qt/RowsModel.h"

namespace brenzo::ui {

int RowsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(ws_.ListRowCount() - 1);
}

int RowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid()) return {};
    const auto row = static_cast<std::size_t>(index.row());
    if (row >= ws_.EntryCount()) return QString();
    const workspace::ListRow r = ws_.Row(row);
    const std::string& text = index.column() == 0 ? r.name : index.column() == 1 ? r.duration : r.rate;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant RowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return {};
    static const char* const titles[] = {"Name", "Duration", "Sample Rate"};
    return section >= 0 && section < 3 ? QString::fromLatin1(titles[section]) : QVariant();
}

void RowsModel::Reset() {
    beginResetModel();
    endResetModel();
}

void RowsModel::RowChanged(std::size_t entry) {
    const int row = static_cast<int>(entry);
    emit dataChanged(index(row, 0), index(row, 2));
}

}  // namespace brenzo::ui
