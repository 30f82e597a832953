#include "ui/clipwork/FolderStatusWorker.h"

#include <QMetaObject>

#include <chrono>
#include <exception>
#include <memory>

#include "base/SilentHost.h"

namespace tessaly::ui {
namespace {

// Shows nothing and answers no dialog; passes the check's progress on, a few times a second.
class BackgroundHost : public SilentHost {
 public:
  BackgroundHost(std::stop_token stop, std::atomic<int>& done, std::atomic<int>& total,
                 std::function<void()> notify)
      : SilentHost(std::move(stop)), done_(done), total_(total), notify_(std::move(notify)) {}

  void SetProgressMax(int value) override { total_ = value; }
  void SetProgressPosition(int value) override {
    if (value == 0) return;  // the end of the check's own progress, not of its work
    done_ = value;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastNotice_ < std::chrono::milliseconds(150)) return;
    lastNotice_ = now;
    notify_();
  }

 private:
  std::atomic<int>& done_;
  std::atomic<int>& total_;
  std::function<void()> notify_;
  std::chrono::steady_clock::time_point lastNotice_{};
};

}  // namespace

FolderStatusWorker::FolderStatusWorker(QObject* parent) : QObject(parent) {}

FolderStatusWorker::~FolderStatusWorker() {
  Clear();
}

void FolderStatusWorker::Clear() {
  worker_.Stop();
  ++run_;
  checking_ = false;
}

void FolderStatusWorker::Start(std::string folder, EntryTable table) {
  Clear();
  checking_ = true;
  done_ = 0;
  total_ = table.RowCount() - 1;
  worker_.Start([this, folder = std::move(folder), table = std::move(table),
                 run = run_](std::stop_token stop) { Check(stop, folder, table, run); });
}

void FolderStatusWorker::WaitUntilChecked() {
  worker_.Wait();
}

void FolderStatusWorker::Check(const std::stop_token& stop, const std::string& folder,
                               const EntryTable& table, uint64_t run) {
  auto status = std::make_shared<FolderStatus>();
  try {
    BackgroundHost host(stop, done_, total_, [this, run] {
      QMetaObject::invokeMethod(
          this,
          [this, run] {
            if (run == run_) Q_EMIT Progressed();
          },
          Qt::QueuedConnection);
    });
    *status =
        CheckFolderStatus(UnpackFolder::ToRead(folder), table, StatusDepth::kAllChanges, host);
  } catch (const std::exception&) {
    // A folder that can't be read marks nothing.
    status = std::make_shared<FolderStatus>();
  }
  if (stop.stop_requested() || status->cancelled) return;
  // Handed to the window's thread; dropped when a newer check started or this object is gone.
  QMetaObject::invokeMethod(
      this,
      [this, run, status] {
        if (run != run_) return;
        worker_.Wait();
        checking_ = false;
        Q_EMIT Checked(*status);
      },
      Qt::QueuedConnection);
}

}  // namespace tessaly::ui
