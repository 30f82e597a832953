#include "ui/clipwork/OriginalsFlow.h"

#include <QAction>

#include "base/Paths.h"
#include "clips/OriginalClips.h"
#include "packing/UnpackFolder.h"
#include "ui/clipwork/Workbench.h"
#include "ui/dialogs/Question.h"
#include "ui/grid/EntryGrid.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {

OriginalsFlow::OriginalsFlow(WorkbenchHost& window, Workbench& bench)
    : QObject(&bench), window_(window), bench_(bench) {
  revert_ = new QAction(QStringLiteral("Revert to original"), this);
  revert_->setObjectName(QStringLiteral("RevertClipAction"));
  revert_->setToolTip(QStringLiteral("Puts the archive's clip back into the selected entries"));
  revert_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
  revert_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(revert_, &QAction::triggered, this, &OriginalsFlow::OnRevert);
  playOriginal_ = new QAction(QStringLiteral("Play original"), this);
  playOriginal_->setObjectName(QStringLiteral("PlayOriginalAction"));
  playOriginal_->setToolTip(QStringLiteral("Plays the archive's clip of the selected row"));
  playOriginal_->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_Space));
  playOriginal_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(playOriginal_, &QAction::triggered, this, &OriginalsFlow::OnPlayOriginal);
}

void OriginalsFlow::OnRevert() {
  if (!window_.TakesInput()) return;
  if (bench_.Folder().empty()) {
    window_.SetStatusText(3, "Unpack the archive or open its folder to revert its clips.");
    return;
  }
  const std::vector<int> selected = window_.Grid()->SelectedTableRows();
  if (selected.empty()) {
    window_.SetStatusText(3, "Select the rows whose clips to revert.");
    return;
  }
  // The files are compared with the archive now: the marks may be older than a change made
  // outside.
  const std::vector<int> rows =
      EntriesToRevert(UnpackFolder::ToRead(bench_.Folder()), window_.Table(), selected);
  if (rows.empty()) {
    window_.SetStatusText(3, selected.size() == 1 ? "The clip is the archive's already."
                                                  : "The clips are the archive's already.");
    return;
  }
  std::vector<std::string> names;
  for (int row : rows) names.emplace_back(window_.Table().Cell(kColName, row));
  const std::string question =
      (rows.size() == 1 ? "Put the archive's clip back into " + names[0] + "?"
                        : "Put the archive's clips back into " + std::to_string(rows.size()) +
                              " entries?\n" + NameList(names)) +
      "\n\nWhat the entry files hold now is lost.";
  if (Ask({kQuestionName, QStringLiteral("Revert to original"), FromBytes(question)},
          window_.Widget()) != QMessageBox::Yes)
    return;
  window_.RunGuarded([&] {
    bench_.Player().Stop();
    RevertResult result;
    {
      WindowDisabled disabled(window_);
      result = RevertEntries(UnpackFolder::ToRead(bench_.Folder()), window_.Table(), rows, window_);
      window_.SetProgressPosition(0);
    }
    std::vector<std::string> reverted;
    for (const RevertedEntry& entry : result.reverted) reverted.push_back(entry.name);
    if (!reverted.empty()) bench_.EntriesReplaced(reverted);
    if (!result.unusable.empty()) {
      window_.ShowMessage(MessageKind::Error, "Can't revert: " + result.unusable);
      return;
    }
    window_.SetStatusText(
        3, reverted.size() == 1
               ? "Reverted " + reverted[0] + " to the archive's clip"
               : "Reverted " + std::to_string(reverted.size()) + " clips to the archive's");
    if (result.failed.empty()) return;
    std::string text = "Reverted " + std::to_string(reverted.size()) + " of " +
                       std::to_string(rows.size()) + " clips.";
    std::vector<std::string> failed;
    for (const auto& failure : result.failed)
      failed.push_back("Not reverted " + failure.name + ": " + failure.reason);
    text += NameList(failed);
    window_.ShowMessage(MessageKind::Error, text);
  });
}

void OriginalsFlow::OnPlayOriginal() {
  if (!window_.TakesInput()) return;
  const int row = window_.Grid()->CurrentTableRow();
  if (row < 1) {
    window_.SetStatusText(3, "Select a row to play its clip.");
    return;
  }
  if (bench_.Folder().empty()) {
    window_.SetStatusText(3, "Unpack the archive or open its folder to compare its clips.");
    return;
  }
  const std::string name(window_.Table().Cell(kColName, row));
  bench_.PlayStream(
      [&] {
        return OriginalClips(UnpackFolder::ToRead(bench_.Folder()), window_.Table().RowCount() - 1)
            .Clip(row);
      },
      QStringLiteral("the original of ") + FromBytes(name));
}

}  // namespace tessaly::ui
