#include "ui/qt/RowsModel.h"

namespace brenzo::ui {
namespace {

QString q(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

int RowsModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    if (view_.EntryCount() == 0) return 1;
    return static_cast<int>(view_.RowCount());
}

int RowsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant RowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
    // Only the view is read: a command on the worker's thread may be changing the workspace.
    const auto row = static_cast<std::size_t>(index.row());
    const auto texts = view_.RowTexts(row);
    if (!texts) return role == Qt::DisplayRole ? QVariant(QString()) : QVariant();
    if (role == Qt::ToolTipRole) return q(view_.ToolTip(row));
    return q(index.column() == 0 ? texts->name : index.column() == 1 ? texts->duration : texts->rate);
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

void RowsModel::RowChanged(std::size_t row) {
    const int r = static_cast<int>(row);
    emit dataChanged(index(r, 0), index(r, 2));
}

}  // namespace brenzo::ui
