#pragma once

#include <QAbstractTableModel>

#include "workspace/Workspace.h"

namespace brenzo::ui {

// The sound list as a model over the workspace's rows, so that a bank of 100,000 sounds opens
// and scrolls without a cell being filled by hand. An empty list shows one empty row.
class RowsModel : public QAbstractTableModel {
public:
    explicit RowsModel(const workspace::Workspace& ws, QObject* parent = nullptr) : QAbstractTableModel(parent), ws_(ws) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Reset();
    void RowChanged(std::size_t entry);

private:
    const workspace::Workspace& ws_;
};

}  // namespace brenzo::ui
