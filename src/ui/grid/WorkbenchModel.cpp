#include "ui/grid/WorkbenchModel.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>
#include <string_view>

#include "archive/RowOrder.h"
#include "ui/grid/ChangeMarks.h"
#include "ui/grid/ClipColumns.h"
#include "ui/grid/EntryTableModel.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

// ASCII letters in lower case, every other byte as it is.
struct FoldTable {
  unsigned char lower[256];
  constexpr FoldTable() : lower() {
    for (int c = 0; c < 256; ++c)
      lower[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
};
constexpr FoldTable kFold;

// `needle` (lower case) in `text`, ignoring the case of ASCII letters.
bool ContainsFolded(std::string_view text, const QByteArray& needle) {
  const size_t size = static_cast<size_t>(needle.size());
  if (size == 0 || size > text.size()) return size == 0;
  const auto* hay = reinterpret_cast<const unsigned char*>(text.data());
  const auto* pin = reinterpret_cast<const unsigned char*>(needle.constData());
  for (size_t at = 0; at + size <= text.size(); ++at) {
    size_t i = 0;
    while (i < size && kFold.lower[hay[at + i]] == pin[i]) ++i;
    if (i == size) return true;
  }
  return false;
}

}  // namespace

WorkbenchModel::WorkbenchModel(const EntryTable& table, EntryTableModel* source, QObject* parent)
    : QAbstractProxyModel(parent), table_(table), source_(source) {
  QAbstractProxyModel::setSourceModel(source);
  connect(source, &QAbstractItemModel::modelAboutToBeReset, this, [this] {
    if (!resetting_) beginResetModel();
  });
  connect(source, &QAbstractItemModel::modelReset, this, [this] {
    if (resetting_) return;
    Refilter();
    endResetModel();
  });
  connect(
      source, &QAbstractItemModel::dataChanged, this,
      [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
        if (Filtering()) {
          // The rows may have moved (a sort) or their texts changed: filter them again.
          RelayoutWith([] {});
          return;
        }
        Q_EMIT dataChanged(mapFromSource(topLeft), mapFromSource(bottomRight), roles);
      });
  connect(source, &QAbstractItemModel::headerDataChanged, this,
          [this](Qt::Orientation orientation, int first, int last) {
            Q_EMIT headerDataChanged(orientation, first, last);
          });
}

void WorkbenchModel::SetClipColumns(const ClipColumns* clips) {
  ResetWith([&] { clips_ = clips; });
}

void WorkbenchModel::SetChangeMarks(const ChangeMarks* marks) {
  ResetWith([&] { marks_ = marks; });
}

void WorkbenchModel::ResetWith(const std::function<void()>& change) {
  beginResetModel();
  resetting_ = true;
  change();
  Refilter();
  resetting_ = false;
  endResetModel();
}

void WorkbenchModel::RelayoutWith(const std::function<void()>& change) {
  Q_EMIT layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<int> tableRows;
  tableRows.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) tableRows.push_back(TableRow(index.row()));
  change();
  Refilter();
  QModelIndexList after;
  after.reserve(before.size());
  for (qsizetype i = 0; i < before.size(); ++i) {
    const int row = ViewRow(tableRows[static_cast<size_t>(i)]);
    after.push_back(row < 0 ? QModelIndex() : index(row, before[i].column()));
  }
  changePersistentIndexList(before, after);
  Q_EMIT layoutChanged();
}

void WorkbenchModel::SetFilterText(const QString& text) {
  if (text == filterText_) return;
  RelayoutWith([&] {
    filterText_ = text;
    needle_ = text.toLower().toUtf8();
  });
}

void WorkbenchModel::SetChangedOnly(bool changedOnly) {
  if (changedOnly == changedOnly_) return;
  RelayoutWith([&] { changedOnly_ = changedOnly; });
}

void WorkbenchModel::ClipsChanged() {
  // Codecs take part in the filter; otherwise only the clip columns need painting again.
  if (!needle_.isEmpty()) {
    RelayoutWith([] {});
    return;
  }
  const int first = FirstClipColumn();
  if (first >= 0 && rowCount() > 0)
    Q_EMIT dataChanged(index(0, first), index(rowCount() - 1, columnCount() - 1),
                       {Qt::DisplayRole});
}

void WorkbenchModel::MarksChanged() {
  if (changedOnly_) {
    RelayoutWith([] {});
    return;
  }
  if (rowCount() > 0 && columnCount() > 0)
    Q_EMIT dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1),
                       {Qt::DecorationRole, Qt::BackgroundRole, Qt::ToolTipRole});
}

std::vector<int> WorkbenchModel::ClipOrder(int column, bool descending) const {
  if (!HasClipColumns()) return SortedDataRows(table_, -1, false);
  return clips_->SortedRows(table_, column - kEntryColumnCount, descending);
}

bool WorkbenchModel::HasClipColumns() const {
  return clips_ && source_->columnCount() == kEntryColumnCount;
}

int WorkbenchModel::FirstClipColumn() const {
  return HasClipColumns() ? kEntryColumnCount : -1;
}

bool WorkbenchModel::Accepts(int tableRow) const {
  const std::string_view name = table_.Cell(kColName, tableRow);
  if (changedOnly_ && !(marks_ && marks_->Find(name))) return false;
  if (needle_.isEmpty()) return true;
  for (int column : {kColName, kColId, kColBlock})
    if (ContainsFolded(table_.Cell(column, tableRow), needle_)) return true;
  if (codecsMatch_) {
    const QByteArray codec = clips_->Text(name, 0).toUtf8();
    if (ContainsFolded(std::string_view(codec.constData(), static_cast<size_t>(codec.size())),
                       needle_))
      return true;
  }
  return false;
}

void WorkbenchModel::Refilter() {
  rows_.clear();
  if (!Filtering()) return;
  // Codecs are few: when none holds the text, no row's codec is looked up.
  codecsMatch_ = false;
  if (HasClipColumns() && !needle_.isEmpty())
    for (const std::string& codec : clips_->CodecNames())
      codecsMatch_ = codecsMatch_ || ContainsFolded(codec, needle_);
  const int count = source_->rowCount();
  for (int row = 0; row < count; ++row)
    if (Accepts(row + 1)) rows_.push_back(row);
}

int WorkbenchModel::TableRow(int viewRow) const {
  if (viewRow < 0 || viewRow >= rowCount()) return -1;
  return (Filtering() ? rows_[static_cast<size_t>(viewRow)] : viewRow) + 1;
}

int WorkbenchModel::ViewRow(int tableRow) const {
  const int sourceRow = tableRow - 1;
  if (sourceRow < 0 || sourceRow >= source_->rowCount()) return -1;
  if (!Filtering()) return sourceRow;
  auto found = std::lower_bound(rows_.begin(), rows_.end(), sourceRow);
  return found != rows_.end() && *found == sourceRow ? static_cast<int>(found - rows_.begin()) : -1;
}

QModelIndex WorkbenchModel::index(int row, int column, const QModelIndex& parent) const {
  if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
    return {};
  return createIndex(row, column);
}

QModelIndex WorkbenchModel::parent(const QModelIndex&) const {
  return {};
}

// The clip columns have no source cells, so these stay within this model.
QModelIndex WorkbenchModel::sibling(int row, int column, const QModelIndex&) const {
  return index(row, column);
}

QModelIndex WorkbenchModel::buddy(const QModelIndex& index) const {
  return index;
}

bool WorkbenchModel::hasChildren(const QModelIndex& parent) const {
  return !parent.isValid() && rowCount() > 0 && columnCount() > 0;
}

int WorkbenchModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return Filtering() ? static_cast<int>(rows_.size()) : source_->rowCount();
}

int WorkbenchModel::columnCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return source_->columnCount() + (HasClipColumns() ? ClipColumns::kCount : 0);
}

QModelIndex WorkbenchModel::mapToSource(const QModelIndex& proxyIndex) const {
  if (!proxyIndex.isValid() || proxyIndex.column() >= source_->columnCount()) return {};
  const int tableRow = TableRow(proxyIndex.row());
  if (tableRow < 1) return {};
  return source_->index(tableRow - 1, proxyIndex.column());
}

QModelIndex WorkbenchModel::mapFromSource(const QModelIndex& sourceIndex) const {
  if (!sourceIndex.isValid()) return {};
  const int row = ViewRow(sourceIndex.row() + 1);
  return row < 0 ? QModelIndex() : index(row, sourceIndex.column());
}

QVariant WorkbenchModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) return {};
  const int tableRow = TableRow(index.row());
  const std::string_view name = table_.Cell(kColName, tableRow);
  const ChangeMarks::Mark* mark = marks_ ? marks_->Find(name) : nullptr;
  switch (role) {
    case Qt::DecorationRole:
      // In the fixed "#" column, which has room beside the row's number and always shows.
      if (mark && index.column() == kColNumber) return ChangeMarks::Icon(!mark->problems.isEmpty());
      return {};
    case Qt::BackgroundRole:
      if (mark) return ChangeMarks::Tint(QApplication::palette(), !mark->problems.isEmpty());
      return {};
    case Qt::ToolTipRole:
      if (!mark) return {};
      if (!mark->problems.isEmpty()) return mark->problems;
      return mark->note.isEmpty() ? QStringLiteral("Changed") : mark->note;
    default:
      break;
  }
  if (index.column() < source_->columnCount()) return source_->data(mapToSource(index), role);
  const int clipColumn = index.column() - kEntryColumnCount;
  switch (role) {
    case Qt::DisplayRole:
      return clips_->Text(name, clipColumn);
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
      return {};
  }
}

QVariant WorkbenchModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && section >= source_->columnCount() &&
      section < columnCount()) {
    if (role == Qt::DisplayRole) return ClipColumns::Title(section - kEntryColumnCount);
    if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
  }
  return source_->headerData(section, orientation, role);
}

Qt::ItemFlags WorkbenchModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace tessaly::ui
