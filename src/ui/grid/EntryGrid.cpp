#include "ui/grid/EntryGrid.h"

#include <QFontMetrics>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QStyledItemDelegate>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>

#include "archive/RowOrder.h"
#include "ui/grid/ChangeMarks.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/grid/SortHeader.h"
#include "ui/grid/WorkbenchModel.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

constexpr int kRowHeight = Scaled(21);
constexpr int kColumnStep = 20;  // pixels the columns move per step of the scroll bar
constexpr int kClipColumnWidth = 70;
constexpr int kFitMargin = 8;
constexpr size_t kFitMeasured = 256;  // cells measured exactly when fitting a column
constexpr qreal kFitSlack = 4;        // how far an estimate may fall short of the measure

// Paints the focused cell like the rest of its selected row.
class RowDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    option->state &= ~QStyle::State_HasFocus;
  }
};

QFont DataFont() {
  return DesignFont(QStringLiteral("Tahoma"), 9);
}
QFont FixedFont() {
  return DesignFont(QStringLiteral("Tahoma"), 8, true);
}

void SetUpView(QTableView* view, SortHeader* header) {
  view->setHorizontalHeader(header);
  header->setFont(FixedFont());
  view->verticalHeader()->hide();
  view->verticalHeader()->setMinimumSectionSize(1);
  view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  view->verticalHeader()->setDefaultSectionSize(kRowHeight);
  view->setEditTriggers(QAbstractItemView::NoEditTriggers);
  view->setDragDropMode(QAbstractItemView::NoDragDrop);
  view->setCornerButtonEnabled(false);
  view->setWordWrap(false);
  view->setTextElideMode(Qt::ElideNone);
  view->setShowGrid(true);
  // Rows scroll whole; columns by pixels, since scrolling by columns counts the hidden ones and
  // loses its place.
  view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  view->setItemDelegate(new RowDelegate(view));
  header->setDefaultSectionSize(EntryTable::kDefaultColumnWidth);
}

}  // namespace

EntryGrid::EntryGrid(EntryTable& table, QWidget* parent)
    : QTableView(parent),
      table_(table),
      model_(new EntryTableModel(table, this)),
      view_(new WorkbenchModel(table, model_, this)),
      header_(new SortHeader(this)),
      fixed_(new QTableView(this)),
      fixedHeader_(new SortHeader(fixed_)) {
  setObjectName(QStringLiteral("ASFGrid"));
  setFont(DataFont());
  SetUpView(this, header_);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  // The selection keeps its colours when the grid loses the focus.
  QPalette selection = palette();
  for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
    selection.setColor(QPalette::Inactive, role, selection.color(QPalette::Active, role));
  setPalette(selection);
  setModel(view_);

  // The fixed column: the grid hides column 0 and keeps its row header, as wide as column 0,
  // to the left of the scrolling columns; a second view over the same model that shows only
  // column 0 lies on top of it and follows the grid's vertical scrolling.
  QHeaderView* rows = verticalHeader();
  rows->show();
  rows->setSectionsClickable(false);
  rows->setHighlightSections(false);
  fixed_->setObjectName(QStringLiteral("ASFGridFixedColumn"));
  fixed_->setFont(FixedFont());
  SetUpView(fixed_, fixedHeader_);
  fixed_->setFocusPolicy(Qt::NoFocus);
  fixed_->setSelectionMode(QAbstractItemView::NoSelection);
  fixed_->setFrameShape(QFrame::NoFrame);
  fixed_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  fixed_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // Drawn like buttons, in each state's colours (greyed while the window is disabled).
  QPalette fixedColours = fixed_->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    fixedColours.setColor(group, QPalette::Base, fixedColours.color(group, QPalette::Button));
    fixedColours.setColor(group, QPalette::Text, fixedColours.color(group, QPalette::ButtonText));
  }
  fixed_->setPalette(fixedColours);
  fixed_->setModel(view_);
  fixed_->raise();  // above the header, which setHorizontalHeader() raised
  fixed_->show();

  connect(fixed_->verticalScrollBar(), &QScrollBar::valueChanged, verticalScrollBar(),
          &QScrollBar::setValue);
  connect(verticalScrollBar(), &QScrollBar::valueChanged, fixed_->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(fixedHeader_, &QHeaderView::sectionResized, this, [this](int column) {
    if (column == 0) UpdateFixedColumn();
  });
  for (SortHeader* header : {header_, fixedHeader_}) {
    connect(header, &SortHeader::SortRequested, this, &EntryGrid::SortBy);
    connect(header, &SortHeader::FitRequested, this, &EntryGrid::FitColumn);
  }

  ApplyTableWidths(true);
  UpdateFixedColumn();
  UpdateSortMarks();
}

int EntryGrid::DataRows() const {
  return std::max(table_.RowCount() - 1, 0);
}

bool EntryGrid::SortMarkShown() const {
  return DataRows() >= 2;
}

void EntryGrid::Sync() {
  switch (model_->Sync()) {
    case EntryTableModel::Change::Shape:
      // A new or reset table is in listing or file order, which is "#" ascending.
      sortColumn_ = 0;
      sortDescending_ = false;
      ApplyTableWidths(true);
      ApplyClipWidths();
      UpdateFixedColumn();
      break;
    case EntryTableModel::Change::Content:
      ApplyTableWidths(false);
      break;
    case EntryTableModel::Change::None:
      break;
  }
  UpdateSortMarks();
}

int EntryGrid::NumberColumnWidth(int tableWidth) const {
  if (tableWidth <= 0) return 0;
  // The table's width holds four digits beside a change mark; larger tables need more, or the
  // marked rows' numbers are cut. Measured as the view measures a marked cell holding the
  // widest digit as often as the last row's number has digits.
  QStyleOptionViewItem option;
  option.initFrom(fixed_);
  option.font = fixed_->font();
  option.fontMetrics = QFontMetrics(option.font);
  QChar widest = QLatin1Char('0');
  for (char digit = '1'; digit <= '9'; ++digit)
    if (option.fontMetrics.horizontalAdvance(QLatin1Char(digit)) >
        option.fontMetrics.horizontalAdvance(widest))
      widest = QLatin1Char(digit);
  option.text = QString(QString::number(DataRows()).size(), widest);
  option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
  option.icon = ChangeMarks::Icon(true);
  const int icon = fixed_->style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, fixed_);
  option.decorationSize = fixed_->iconSize().isValid() ? fixed_->iconSize() : QSize(icon, icon);
  option.decorationPosition = QStyleOptionViewItem::Left;
  option.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
  const int need =
      fixed_->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), fixed_).width();
  return std::max(tableWidth, need + (fixed_->showGrid() ? 1 : 0));
}

void EntryGrid::ApplyColumnWidth(int column, int width) {
  if (column == 0) {
    fixed_->setColumnWidth(0, NumberColumnWidth(width));
    return;
  }
  // A width of 0 hides the column, as the grid's layout intends.
  setColumnHidden(column, width <= 0);
  if (width > 0) setColumnWidth(column, width);
}

int EntryGrid::ShownColumnWidth(int column) const {
  if (column == 0) return fixed_->isVisible() ? fixed_->columnWidth(0) : 0;
  return isColumnHidden(column) ? 0 : columnWidth(column);
}

void EntryGrid::ApplyTableWidths(bool force) {
  // Widths the user dragged stay until the table's own widths change.
  std::vector<int> widths(static_cast<size_t>(table_.ColumnCount()));
  for (int c = 0; c < table_.ColumnCount(); ++c)
    widths[static_cast<size_t>(c)] = table_.ColumnWidth(c);
  if (!force && widths == appliedWidths_) return;
  for (int c = 0; c < static_cast<int>(widths.size()); ++c)
    ApplyColumnWidth(c, widths[static_cast<size_t>(c)]);
  appliedWidths_ = std::move(widths);
}

void EntryGrid::ApplyClipWidths() {
  const int first = view_->FirstClipColumn();
  if (first < 0) return;
  // The codec column holds the longest names ("PCM S16LE", "MicroTalk"): wide enough for them.
  const int codecWidth = fontMetrics().horizontalAdvance(QStringLiteral("PCM S16LE")) + 12;
  for (int c = first; c < view_->columnCount(); ++c) {
    setColumnHidden(c, false);
    setColumnWidth(c, c == first ? std::max(kClipColumnWidth, codecWidth) : kClipColumnWidth);
  }
}

int EntryGrid::CurrentTableRow() const {
  const QModelIndex current = currentIndex();
  if (current.isValid() && selectionModel()->isRowSelected(current.row(), {}))
    return view_->TableRow(current.row());
  // Keys that move the current cell without selecting (Ctrl+Home) leave the row shown selected:
  // that one is meant.
  const std::vector<int> selected = SelectedTableRows();
  return selected.empty() ? -1 : selected.front();
}

std::vector<int> EntryGrid::SelectedTableRows() const {
  std::vector<int> rows;
  for (const QModelIndex& index : selectionModel()->selectedRows())
    rows.push_back(view_->TableRow(index.row()));
  std::sort(rows.begin(), rows.end(),
            [this](int a, int b) { return view_->ViewRow(a) < view_->ViewRow(b); });
  return rows;
}

void EntryGrid::UpdateFixedColumn() {
  setColumnHidden(0, true);
  for (int c = 1; c < view_->columnCount(); ++c) fixed_->setColumnHidden(c, true);
  int width = fixed_->columnWidth(0);
  fixed_->setVisible(width > 0);
  verticalHeader()->setVisible(width > 0);
  verticalHeader()->setFixedWidth(width);
  fixed_->setGeometry(frameWidth(), frameWidth(), width,
                      viewport()->height() + horizontalHeader()->height());
  fixedHeader_->setFixedHeight(horizontalHeader()->height());
}

void EntryGrid::UpdateSortMarks() {
  for (SortHeader* header : {header_, fixedHeader_})
    header->SetSortMark(sortColumn_, sortDescending_, SortMarkShown());
}

void EntryGrid::SortBy(int column) {
  Sync();
  if (DataRows() < 2 || column < 0 || column >= view_->columnCount()) return;
  if (column == sortColumn_) {
    sortDescending_ = !sortDescending_;
  } else {
    sortColumn_ = column;
    sortDescending_ = false;
  }
  // The clip columns after the table's own sort by the records the view holds.
  table_.PermuteDataRows(column < table_.ColumnCount()
                             ? SortedDataRows(table_, sortColumn_, sortDescending_)
                             : view_->ClipOrder(column, sortDescending_));
  Sync();
}

void EntryGrid::KeepClipSort() {
  // Not while a command runs: the table is the command's then.
  if (!isEnabled() || sortColumn_ < table_.ColumnCount() || DataRows() < 2) return;
  table_.PermuteDataRows(view_->ClipOrder(sortColumn_, sortDescending_));
  Sync();
}

void EntryGrid::FitColumn(int column) {
  if (column <= 0 || column >= table_.ColumnCount()) return;
  // Measuring every cell's text is slow on large tables, so each text is first estimated from
  // its characters' advances, and only the widest few estimates are measured exactly.
  QFontMetricsF cells(font());
  std::array<qreal, 128> advance;
  advance.fill(-1);
  std::vector<std::pair<qreal, int>> estimates;  // (estimated width, row)
  estimates.reserve(static_cast<size_t>(table_.RowCount()));
  for (int row = 1; row < table_.RowCount(); ++row) {
    qreal width = 0;
    for (unsigned char byte : table_.Cell(column, row)) {
      if (byte >= advance.size()) {
        width = std::numeric_limits<qreal>::max();  // not ASCII: always measured
        break;
      }
      if (advance[byte] < 0) advance[byte] = cells.horizontalAdvance(QChar(byte));
      width += advance[byte];
    }
    estimates.emplace_back(width, row);
  }
  const size_t measured = std::min<size_t>(estimates.size(), kFitMeasured);
  std::partial_sort(estimates.begin(), estimates.begin() + static_cast<ptrdiff_t>(measured),
                    estimates.end(), std::greater<>());
  qreal widest =
      QFontMetricsF(header_->font()).horizontalAdvance(FromBytes(table_.Cell(column, 0)));
  for (size_t i = 0; i < measured; ++i) {
    if (estimates[i].first != std::numeric_limits<qreal>::max() &&
        estimates[i].first + kFitSlack < widest)
      break;
    widest = std::max(widest,
                      cells.horizontalAdvance(FromBytes(table_.Cell(column, estimates[i].second))));
  }
  setColumnHidden(column, false);
  setColumnWidth(column, static_cast<int>(std::ceil(widest)) + kFitMargin);
}

void EntryGrid::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  UpdateFixedColumn();
}

void EntryGrid::updateGeometries() {
  QTableView::updateGeometries();
  horizontalScrollBar()->setSingleStep(kColumnStep);
  if (fixed_) UpdateFixedColumn();
}

void EntryGrid::scrollTo(const QModelIndex& given, ScrollHint hint) {
  // An index of the table's own model is taken to the row the grid shows it in.
  const QModelIndex index = given.model() == model_ ? view_->mapFromSource(given) : given;
  // Column 0 is shown by the fixed view; scrolling to one of its cells brings its row in.
  if (index.isValid() && index.column() == 0) {
    int column = horizontalHeader()->logicalIndexAt(0);
    if (column < 0) return;
    QTableView::scrollTo(index.sibling(index.row(), column), hint);
    return;
  }
  QTableView::scrollTo(index, hint);
}

}  // namespace tessaly::ui
