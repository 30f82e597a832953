// ASFGrid: the EntryTable as a grid with a fixed header row and a fixed "#" column, whole-row
// selection, no editing, and sorting by a click on a header cell.
#pragma once

#include <QTableView>

#include <vector>

#include "archive/EntryTable.h"

namespace tessaly::ui {

class EntryTableModel;
class SortHeader;
class WorkbenchModel;

class EntryGrid : public QTableView {
  Q_OBJECT

 public:
  explicit EntryGrid(EntryTable& table, QWidget* parent = nullptr);

  EntryTableModel* Model() const { return model_; }
  // What the views show: the table's columns, the clip columns and marks, filtered.
  WorkbenchModel* ViewModel() const { return view_; }
  // The table row (1 to N) of the selected view row, or -1.
  int CurrentTableRow() const;
  // The table rows of the selected view rows, in view order.
  std::vector<int> SelectedTableRows() const;
  // The overlaid view that keeps column 0 in place while the grid scrolls sideways.
  QTableView* FixedColumnView() const { return fixed_; }
  SortHeader* Header() const { return header_; }

  // Shows what the core changed in the table since the last call.
  void Sync();

  int SortColumn() const { return sortColumn_; }
  bool SortDescending() const { return sortDescending_; }
  bool SortMarkShown() const;

  // A header click on `column`: sorts the data rows, or reverses them when `column` is already
  // the sort column. Nothing happens with fewer than two data rows.
  void SortBy(int column);
  // Sorts again by a clip column that is the sort column, in its direction: records that arrive
  // while the clip columns fill take their places under the sort mark.
  void KeepClipSort();
  // Fits a column other than "#" to its widest text, header included.
  void FitColumn(int column);
  // A column's width as shown (0 when hidden); column 0's is the fixed view's.
  int ShownColumnWidth(int column) const;

  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void updateGeometries() override;

 private:
  void ApplyTableWidths(bool force);
  void ApplyClipWidths();
  void ApplyColumnWidth(int column, int width);
  // Column 0's width as shown: the table's, widened to fit the longest row number with a mark.
  int NumberColumnWidth(int tableWidth) const;
  void UpdateFixedColumn();
  void UpdateSortMarks();
  int DataRows() const;

  EntryTable& table_;
  EntryTableModel* model_;
  WorkbenchModel* view_;
  SortHeader* header_;
  QTableView* fixed_;
  SortHeader* fixedHeader_;
  std::vector<int> appliedWidths_;
  int sortColumn_ = 0;
  bool sortDescending_ = false;
};

}  // namespace tessaly::ui
