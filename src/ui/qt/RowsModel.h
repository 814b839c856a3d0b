#pragma once

#include <QAbstractTableModel>

#include "workspace/ListView.h"

namespace brenzo::ui {

// The sound list as a model over the core's list view (filter, sort) of the workspace's rows
// (never the workspace itself, which a command on the worker's thread may be changing),
// so that a bank of 100,000 sounds opens and scrolls without a cell being filled by hand. An
// empty list shows one empty row.
class RowsModel : public QAbstractTableModel {
public:
    RowsModel(const workspace::ListView& view, QObject* parent = nullptr) : QAbstractTableModel(parent), view_(view) {}

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void Reset();
    void RowChanged(std::size_t row);

private:
    const workspace::ListView& view_;
};

}  // namespace brenzo::ui
