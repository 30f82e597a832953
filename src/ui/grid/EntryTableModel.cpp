#include "ui/grid/EntryTableModel.h"

#include <algorithm>

#include "ui/widgets/Design.h"

namespace tessaly::ui {

EntryTableModel::EntryTableModel(const EntryTable& table, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      rows_(std::max(table.RowCount() - 1, 0)),
      columns_(table.ColumnCount()),
      shapeRevision_(table.ShapeRevision()),
      contentRevision_(table.ContentRevision()) {}

int EntryTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : rows_;
}

int EntryTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : columns_;
}

QVariant EntryTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_ || index.column() >= columns_) return {};
  switch (role) {
    case Qt::DisplayRole:
      // Cell() reads empty outside the table, so a view that paints between a change of the
      // table and the next Sync() never reads out of bounds.
      return FromBytes(table_.Cell(index.column(), index.row() + 1));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant EntryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= columns_) return {};
  switch (role) {
    case Qt::DisplayRole:
      return FromBytes(table_.Cell(section, 0));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

Qt::ItemFlags EntryTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

EntryTableModel::Change EntryTableModel::Sync() {
  if (table_.ShapeRevision() != shapeRevision_) {
    beginResetModel();
    rows_ = std::max(table_.RowCount() - 1, 0);
    columns_ = table_.ColumnCount();
    shapeRevision_ = table_.ShapeRevision();
    contentRevision_ = table_.ContentRevision();
    endResetModel();
    return Change::Shape;
  }
  if (table_.ContentRevision() != contentRevision_) {
    contentRevision_ = table_.ContentRevision();
    if (rows_ > 0 && columns_ > 0)
      Q_EMIT dataChanged(index(0, 0), index(rows_ - 1, columns_ - 1), {Qt::DisplayRole});
    if (columns_ > 0) Q_EMIT headerDataChanged(Qt::Horizontal, 0, columns_ - 1);
    return Change::Content;
  }
  return Change::None;
}

}  // namespace tessaly::ui
