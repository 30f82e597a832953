// The core's EntryTable as a Qt table model: row 0 of the table is the horizontal header, rows
// 1 to N are the model's rows 0 to N - 1. No item per cell; the model reads the table directly.
#pragma once

#include <QAbstractTableModel>

#include <cstdint>

#include "archive/EntryTable.h"

namespace tessaly::ui {

class EntryTableModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit EntryTableModel(const EntryTable& table, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  enum class Change { None, Content, Shape };
  // Brings views up to date after the core changed the table: one model reset when its shape
  // changed, otherwise one dataChanged over everything when any cell changed.
  Change Sync();

 private:
  const EntryTable& table_;
  int rows_ = 0;     // data rows as the views know them
  int columns_ = 0;  // columns as the views know them
  uint64_t shapeRevision_ = 0;
  uint64_t contentRevision_ = 0;
};

}  // namespace tessaly::ui
