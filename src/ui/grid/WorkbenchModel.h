// What the grid shows of the entry table: its columns, then the clip columns (once the table has
// its 17), rows marked when their file changed, and only the rows that pass the filter. Sits
// between the table's own model and the grid's views; the table and its file keep 17 columns.
#pragma once

#include <QAbstractProxyModel>
#include <QByteArray>

#include <functional>
#include <vector>

#include "archive/EntryTable.h"

namespace tessaly::ui {

class ChangeMarks;
class ClipColumns;
class EntryTableModel;

class WorkbenchModel : public QAbstractProxyModel {
  Q_OBJECT

 public:
  WorkbenchModel(const EntryTable& table, EntryTableModel* source, QObject* parent = nullptr);

  void SetClipColumns(const ClipColumns* clips);
  void SetChangeMarks(const ChangeMarks* marks);

  // Rows whose "Name", "ID", "Block" or codec holds `text`, ignoring case; empty shows all.
  void SetFilterText(const QString& text);
  QString FilterText() const { return filterText_; }
  // Only the rows that carry a change mark.
  void SetChangedOnly(bool changedOnly);
  bool ChangedOnly() const { return changedOnly_; }
  bool Filtering() const { return !needle_.isEmpty() || changedOnly_; }

  // The table row (1 to N) a view row shows, and back (-1 when it is filtered out).
  int TableRow(int viewRow) const;
  int ViewRow(int tableRow) const;
  // The first clip column, or -1 while there are none.
  int FirstClipColumn() const;

  // The table's data rows in the order of clip column `column` of this view.
  std::vector<int> ClipOrder(int column, bool descending) const;

  // Filters again after the clip records or marks changed, and repaints the clip columns.
  void ClipsChanged();
  void MarksChanged();

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  QModelIndex sibling(int row, int column, const QModelIndex& index) const override;
  QModelIndex buddy(const QModelIndex& index) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QModelIndex mapToSource(const QModelIndex& proxyIndex) const override;
  QModelIndex mapFromSource(const QModelIndex& sourceIndex) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  bool HasClipColumns() const;
  bool Accepts(int tableRow) const;
  void Refilter();
  void ResetWith(const std::function<void()>& change);
  // Filters again after `change` as a change of layout, so column widths and the selected rows
  // that stay in view are kept.
  void RelayoutWith(const std::function<void()>& change);

  const EntryTable& table_;
  EntryTableModel* source_;
  const ClipColumns* clips_ = nullptr;
  const ChangeMarks* marks_ = nullptr;
  QString filterText_;
  QByteArray needle_;  // the filter text in lower case UTF-8
  bool changedOnly_ = false;
  bool codecsMatch_ = false;  // some codec holds the filter text: rows' codecs are looked up
  bool resetting_ = false;
  std::vector<int> rows_;  // the source rows shown, while filtering
};

}  // namespace tessaly::ui
