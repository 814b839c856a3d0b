#pragma once

#include <QAbstractTableModel>

#include "workspace/ListView.h"
#include "workspace/Workspace.h"

namespace brenzo::ui {

// The sound list as a model over the core's list view (filter, sort) of the workspace's rows,
// so that a bank of 100,000 sounds opens and scrolls without a cell being filled by hand. An
// empty list shows one empty row.
class RowsModel : public QAbstractTableModel {
public:
    RowsModel(const workspace::Workspace& ws, const workspace::ListView& view, QObject* parent = nullptr)
        : QAbstractTableModel(parent), ws_(ws), view_(view) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Reset();
    void RowChanged(std::size_t row);

private:
    const workspace::Workspace& ws_;
    const workspace::ListView& view_;
};

}  // namespace brenzo::ui
