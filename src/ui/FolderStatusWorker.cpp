#include "ui/FolderStatusWorker.h"

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
  Stop();
}

void FolderStatusWorker::Stop() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  cancel_ = false;
}

void FolderStatusWorker::Clear() {
  Stop();
  ++run_;
  checking_ = false;
}

void FolderStatusWorker::Start(std::string folder, EntryTable table) {
  Clear();
  checking_ = true;
  worker_ =
      std::thread(&FolderStatusWorker::Check, this, std::move(folder), std::move(table), run_);
}

void FolderStatusWorker::WaitUntilChecked() {
  if (worker_.joinable()) worker_.join();
}

void FolderStatusWorker::Check(std::string folder, EntryTable table, uint64_t run) {
  auto status = std::make_shared<FolderStatus>();
  try {
    BackgroundHost host(cancel_);
    *status = CheckFolderStatus(FilesOfUnpackFolder(folder), table, StatusDepth::kAllChanges, host);
  } catch (const CheckCancelled&) {
    return;
  } catch (const std::exception&) {
    // A folder that can't be read marks nothing.
    status = std::make_shared<FolderStatus>();
  }
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
