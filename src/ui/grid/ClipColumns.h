// What each clip is (codec, channels, rate, duration), read from the entry files' headers on a
// thread of its own after a table is shown, so the window answers while they fill. The records
// belong to the view: they are found by the entry's name, whatever order the rows are in.
#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "archive/EntryTable.h"
#include "audio/ClipInfo.h"
#include "base/Background.h"

namespace tessaly::ui {

class ClipColumns : public QObject {
  Q_OBJECT

 public:
  static constexpr int kCount = 4;  // Codec, Channels, Rate, Duration

  explicit ClipColumns(QObject* parent = nullptr);
  ~ClipColumns() override;

  static QString Title(int column);
  // The column's text for the entry, empty while its header is not read yet.
  QString Text(std::string_view name, int column) const;
  // The record of the entry, once read.
  std::optional<ClipInfo> Find(std::string_view name) const;

  // The table's data rows (1 to N) in the order of clip column `column`: like the table's own
  // columns, ties keep their order, and rows whose header isn't read (or can't be) come last.
  std::vector<int> SortedRows(const EntryTable& table, int column, bool descending) const;

  // The codec names read so far, each once.
  std::vector<std::string> CodecNames() const;

  // Forgets every record and reads the headers of the named entry files in `folder`.
  void Start(std::string folder, std::vector<std::string> names);
  // The same from the streams of the listed archive whose data file is `dataFile`.
  void StartInArchive(std::string dataFile, EntryTable table);
  void Clear();
  // Reads the named entries' headers again (their files were replaced); while the first reading
  // still runs it starts over, so no record read before the replacement can land afterwards.
  void Refresh(const std::string& folder, const std::vector<std::string>& names);
  bool Filling() const { return filling_; }
  // Stops the reading that runs: the records read so far stay, the others stay empty.
  void StopFilling();
  // How far the reading is: records read of the names'.
  int Done() const { return done_; }
  int Total() const { return static_cast<int>(names_.size()); }
  // Waits until the current reading is done (for tests and benchmarks).
  void WaitUntilFilled();

 Q_SIGNALS:
  // More records are there (at most a few times a second), or all of them.
  void RecordsArrived();
  void Filled();

 private:
  struct Origin {
    std::string folder;    // the entry files' folder,
    std::string dataFile;  // or the data file whose streams `table` lists
    EntryTable table;
  };
  void Read(const std::stop_token& stop, const Origin& origin,
            const std::vector<std::string>& names, uint64_t run);
  void StartReading(Origin origin);
  void Publish(uint64_t run, bool done);

  mutable std::mutex mutex_;
  std::unordered_map<std::string, size_t> rowOfName_;  // guarded by mutex_
  std::vector<ClipInfo> records_;                      // guarded by mutex_
  std::vector<char> read_;                             // guarded by mutex_
  std::vector<std::string> codecNames_;                // guarded by mutex_
  std::string folder_;
  std::vector<std::string> names_;  // of the current reading
  std::atomic<int> done_{0};
  BackgroundWork worker_;
  uint64_t run_ = 0;  // counts the readings started; a late notice of an earlier one is dropped
  bool filling_ = false;
};

}  // namespace tessaly::ui
