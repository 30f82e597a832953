// Finds, on a thread of its own, which entries of an unpack folder differ from the archive and
// what is wrong with them, so the window answers while a large folder is compared. Each check
// works on a copy of the table; a newer check or Clear stops an older one, whose result is never
// delivered.
#pragma once

#include <QObject>

#include <atomic>
#include <cstdint>
#include <string>

#include "archive/EntryTable.h"
#include "base/Background.h"
#include "clips/FolderStatus.h"

namespace tessaly::ui {

class FolderStatusWorker : public QObject {
  Q_OBJECT

 public:
  explicit FolderStatusWorker(QObject* parent = nullptr);
  ~FolderStatusWorker() override;

  // Stops a running check and starts one of `folder` against `table`.
  void Start(std::string folder, EntryTable table);
  // Stops a running check (it ends at its next entry) and waits until it has let go of the
  // folder's files; its result is never delivered.
  void Clear();
  bool Checking() const { return checking_; }
  // How far the running check is: entries compared of the table's.
  int Done() const { return done_; }
  int Total() const { return total_; }
  // Waits until the current check is done (for tests and benchmarks).
  void WaitUntilChecked();

 Q_SIGNALS:
  void Checked(const tessaly::FolderStatus& status);
  // The check's progress moved (at most a few times a second).
  void Progressed();

 private:
  void Check(const std::stop_token& stop, const std::string& folder, const EntryTable& table,
             uint64_t run);

  BackgroundWork worker_;
  uint64_t run_ = 0;
  bool checking_ = false;
  std::atomic<int> done_{0}, total_{0};
};

}  // namespace tessaly::ui
