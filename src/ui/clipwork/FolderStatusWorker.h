// Finds, on a thread of its own, which entries of an unpack folder differ from the archive and
// what is wrong with them, so the window answers while a large folder is compared. Each check
// works on a copy of the table; a newer check or Clear drops the result of an older one.
#pragma once

#include <QObject>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "archive/EntryTable.h"
#include "clips/FolderStatus.h"

namespace tessaly::ui {

class FolderStatusWorker : public QObject {
  Q_OBJECT

 public:
  explicit FolderStatusWorker(QObject* parent = nullptr);
  ~FolderStatusWorker() override;

  // Stops a running check and starts one of `folder` against `table`.
  void Start(std::string folder, EntryTable table);
  // Stops a running check; its result is never delivered.
  void Clear();
  // The same, and waits until every check has let go of the folder's files.
  void ClearAndWait();
  bool Checking() const { return checking_; }
  // Waits until the current check is done (for tests and benchmarks).
  void WaitUntilChecked();

 Q_SIGNALS:
  void Checked(const tessaly::FolderStatus& status);

 private:
  void Check(std::string folder, EntryTable table, uint64_t run,
             std::shared_ptr<const std::atomic<bool>> cancel);

  std::thread worker_;
  std::shared_ptr<std::atomic<bool>> cancel_;
  // Cancelled checks, left to end by themselves: the listing of the source pair can't be stopped
  // halfway, and waiting for it would hold the window up. Joined at the latest on destruction.
  std::vector<std::thread> retired_;
  uint64_t run_ = 0;
  bool checking_ = false;
};

}  // namespace tessaly::ui
