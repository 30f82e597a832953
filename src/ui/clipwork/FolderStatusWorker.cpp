#include "ui/clipwork/FolderStatusWorker.h"

#include <QMetaObject>

#include <exception>
#include <memory>

#include "base/SilentHost.h"

namespace tessaly::ui {
namespace {

struct CheckCancelled {};

// Shows nothing and answers no dialog; a cancelled check stops at its next pause for messages.
class BackgroundHost : public SilentHost {
 public:
  explicit BackgroundHost(const std::atomic<bool>& cancel) : cancel_(cancel) {}

  void ProcessMessages() override {
    if (cancel_) throw CheckCancelled{};
  }

 private:
  const std::atomic<bool>& cancel_;
};

}  // namespace

FolderStatusWorker::FolderStatusWorker(QObject* parent) : QObject(parent) {}

FolderStatusWorker::~FolderStatusWorker() {
  ClearAndWait();
}

void FolderStatusWorker::Clear() {
  if (cancel_) *cancel_ = true;
  if (worker_.joinable()) retired_.push_back(std::move(worker_));
  ++run_;
  checking_ = false;
}

void FolderStatusWorker::ClearAndWait() {
  Clear();
  for (std::thread& retired : retired_) retired.join();
  retired_.clear();
}

void FolderStatusWorker::Start(std::string folder, EntryTable table) {
  Clear();
  // Many cancelled checks at once would only compete for the processor: past a few, wait.
  constexpr size_t kMaxRetired = 4;
  if (retired_.size() > kMaxRetired) {
    for (std::thread& retired : retired_) retired.join();
    retired_.clear();
  }
  checking_ = true;
  cancel_ = std::make_shared<std::atomic<bool>>(false);
  worker_ = std::thread(&FolderStatusWorker::Check, this, std::move(folder), std::move(table), run_,
                        cancel_);
}

void FolderStatusWorker::WaitUntilChecked() {
  if (worker_.joinable()) worker_.join();
}

void FolderStatusWorker::Check(std::string folder, EntryTable table, uint64_t run,
                               std::shared_ptr<const std::atomic<bool>> cancel) {
  auto status = std::make_shared<FolderStatus>();
  try {
    BackgroundHost host(*cancel);
    *status =
        CheckFolderStatus(UnpackFolder::ToRead(folder), table, StatusDepth::kAllChanges, host);
  } catch (const CheckCancelled&) {
    return;
  } catch (const std::exception&) {
    // A folder that can't be read marks nothing.
    status = std::make_shared<FolderStatus>();
  }
  if (*cancel) return;
  // Handed to the window's thread; dropped when a newer check started or this object is gone.
  QMetaObject::invokeMethod(
      this,
      [this, run, status] {
        if (run != run_) return;
        if (worker_.joinable()) worker_.join();
        checking_ = false;
        Q_EMIT Checked(*status);
      },
      Qt::QueuedConnection);
}

}  // namespace tessaly::ui
