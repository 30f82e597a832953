#include "ui/grid/ClipColumns.h"

#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <functional>

#include "base/Files.h"
#include "clips/EntryStreams.h"

namespace tessaly::ui {
namespace {

constexpr auto kNoticeInterval = std::chrono::milliseconds(150);
constexpr size_t kBatch = 256;  // records read before they are handed over

ClipInfo ReadEntryInfo(const Folder& folder, const std::string& name) {
  try {
    std::optional<File> file = File::TryOpenRead(folder, name);
    if (!file) {
      ClipInfo missing;
      missing.reason = "no entry file";
      return missing;
    }
    return ReadClipInfo(*file, 0, file->Size());
  } catch (const std::exception& error) {
    ClipInfo failed;
    failed.reason = error.what();
    return failed;
  }
}

}  // namespace

ClipColumns::ClipColumns(QObject* parent) : QObject(parent) {}

ClipColumns::~ClipColumns() {
  worker_.Stop();
}

QString ClipColumns::Title(int column) {
  static const char* const titles[kCount] = {"Codec", "Channels", "Rate", "Duration"};
  return column >= 0 && column < kCount ? QString::fromLatin1(titles[column]) : QString();
}

std::optional<ClipInfo> ClipColumns::Find(std::string_view name) const {
  std::lock_guard lock(mutex_);
  auto found = rowOfName_.find(std::string(name));
  if (found == rowOfName_.end() || !read_[found->second]) return std::nullopt;
  return records_[found->second];
}

std::vector<int> ClipColumns::SortedRows(const EntryTable& table, int column,
                                         bool descending) const {
  struct Key {
    int row;
    bool known;
    double number;
    std::string text;
  };
  std::vector<Key> keys;
  keys.reserve(static_cast<size_t>(std::max(table.RowCount() - 1, 0)));
  {
    std::lock_guard lock(mutex_);
    for (int row = 1; row < table.RowCount(); ++row) {
      Key key{row, false, 0, {}};
      auto found = rowOfName_.find(std::string(table.Cell(kColName, row)));
      if (found != rowOfName_.end() && read_[found->second] && records_[found->second].readable) {
        const ClipInfo& info = records_[found->second];
        key.known = true;
        key.text = info.codecName;  // records stay put until the next Start or Clear
        key.number = column == 1 ? info.channels : column == 2 ? info.sampleRate : info.Seconds();
      }
      keys.push_back(key);
    }
  }
  std::stable_sort(keys.begin(), keys.end(), [column, descending](const Key& a, const Key& b) {
    if (a.known != b.known) return a.known;
    if (!a.known) return false;
    if (column == 0) return descending ? a.text > b.text : a.text < b.text;
    return descending ? a.number > b.number : a.number < b.number;
  });
  std::vector<int> order;
  order.reserve(keys.size());
  for (const Key& key : keys) order.push_back(key.row);
  return order;
}

std::vector<std::string> ClipColumns::CodecNames() const {
  std::lock_guard lock(mutex_);
  return codecNames_;
}

QString ClipColumns::Text(std::string_view name, int column) const {
  std::optional<ClipInfo> info = Find(name);
  if (!info) return {};
  if (!info->readable) return column == 0 ? QStringLiteral("?") : QString();
  switch (column) {
    case 0:
      return QString::fromStdString(info->codecName);
    case 1:
      return QString::number(info->channels);
    case 2:
      return QString::number(info->sampleRate);
    case 3:
      return info->sampleRate > 0 ? QString::number(info->Seconds(), 'f', 2) : QString();
    default:
      return {};
  }
}

void ClipColumns::StopFilling() {
  if (!filling_) return;
  worker_.Stop();
  ++run_;
  filling_ = false;
  Q_EMIT RecordsArrived();
  Q_EMIT Filled();
}

void ClipColumns::Clear() {
  worker_.Stop();
  ++run_;
  filling_ = false;
  folder_.clear();
  names_.clear();
  std::lock_guard lock(mutex_);
  rowOfName_.clear();
  records_.clear();
  read_.clear();
  codecNames_.clear();
}

void ClipColumns::Start(std::string folder, std::vector<std::string> names) {
  Clear();
  folder_ = folder;
  names_ = std::move(names);
  StartReading(Origin{std::move(folder), {}, EntryTable()});
}

void ClipColumns::StartReading(Origin origin) {
  filling_ = true;
  done_ = 0;
  // The thread reads names_, which stays as it is until the thread has ended.
  worker_.Start([this, origin = std::move(origin), run = run_](std::stop_token stop) {
    Read(stop, origin, names_, run);
  });
}

void ClipColumns::Refresh(const std::string& folder, const std::vector<std::string>& names) {
  if (folder.empty() || folder != folder_ || names_.empty()) return;
  if (filling_) {
    Start(folder_, names_);
    return;
  }
  Folder opened;
  try {
    opened = Folder::Open(folder);
  } catch (const std::exception&) {
    return;
  }
  {
    std::lock_guard lock(mutex_);
    for (const std::string& name : names) {
      auto found = rowOfName_.find(name);
      if (found == rowOfName_.end()) continue;
      ClipInfo info = ReadEntryInfo(opened, name);
      if (!info.codecName.empty() &&
          std::find(codecNames_.begin(), codecNames_.end(), info.codecName) == codecNames_.end())
        codecNames_.push_back(info.codecName);
      records_[found->second] = std::move(info);
      read_[found->second] = 1;
    }
  }
  Q_EMIT RecordsArrived();
}

void ClipColumns::WaitUntilFilled() {
  worker_.Wait();
}

void ClipColumns::StartInArchive(std::string dataFile, EntryTable table) {
  Clear();
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(std::max(table.RowCount() - 1, 0)));
  for (int row = 1; row < table.RowCount(); ++row) names.emplace_back(table.Cell(kColName, row));
  names_ = std::move(names);
  StartReading(Origin{std::string(), std::move(dataFile), std::move(table)});
}

void ClipColumns::Read(const std::stop_token& stop, const Origin& origin,
                       const std::vector<std::string>& names, uint64_t run) {
  // The name index is built here too: at 100,000 entries it is worth keeping off the window's
  // thread.
  std::unordered_map<std::string, size_t> rowOfName;
  rowOfName.reserve(names.size());
  for (size_t i = 0; i < names.size(); ++i) rowOfName.emplace(names[i], i);
  {
    std::lock_guard lock(mutex_);
    rowOfName_ = std::move(rowOfName);
    records_.assign(names.size(), ClipInfo{});
    read_.assign(names.size(), 0);
  }
  // From the entry files of a folder, or from the streams of a listed archive's data file.
  Folder folder;
  std::optional<File> data;
  std::optional<EntryStreams> streams;
  try {
    if (origin.dataFile.empty()) {
      folder = Folder::Open(origin.folder);
    } else {
      data = File::OpenRead(origin.dataFile);
      streams.emplace(EntryStreams::InArchive(*data, origin.table));
    }
  } catch (const std::exception&) {
    Publish(run, true);  // nothing to read: the columns stay empty
    return;
  }
  auto lastNotice = std::chrono::steady_clock::now();
  std::vector<ClipInfo> batch;
  batch.reserve(kBatch);
  for (size_t first = 0; first < names.size() && !stop.stop_requested(); first += kBatch) {
    batch.clear();
    const size_t end = std::min(names.size(), first + kBatch);
    for (size_t i = first; i < end && !stop.stop_requested(); ++i)
      batch.push_back(streams ? streams->Info(static_cast<int>(i) + 1)
                              : ReadEntryInfo(folder, names[i]));
    {
      std::lock_guard lock(mutex_);
      for (size_t i = 0; i < batch.size(); ++i) {
        const std::string& codec = batch[i].codecName;
        if (!codec.empty() &&
            std::find(codecNames_.begin(), codecNames_.end(), codec) == codecNames_.end())
          codecNames_.push_back(codec);
        records_[first + i] = std::move(batch[i]);
        read_[first + i] = 1;
      }
    }
    done_ = static_cast<int>(first + batch.size());
    auto now = std::chrono::steady_clock::now();
    if (now - lastNotice >= kNoticeInterval) {
      lastNotice = now;
      Publish(run, false);
    }
  }
  if (!stop.stop_requested()) Publish(run, true);
}

void ClipColumns::Publish(uint64_t run, bool done) {
  // Handed to the window's thread; a notice that arrives after a newer reading started, or after
  // this object is gone, is dropped.
  QMetaObject::invokeMethod(
      this,
      [this, run, done] {
        if (run != run_) return;
        if (done) filling_ = false;
        Q_EMIT RecordsArrived();
        if (done) Q_EMIT Filled();
      },
      Qt::QueuedConnection);
}

}  // namespace tessaly::ui
