// The window as Pack sees it, with one question more: once the folder is chosen, and before
// anything is written, a folder whose replaced entries can't be packed as they are makes it ask,
// listing the problems, whether to pack all the same. "No" (the default) counts as a cancelled
// folder dialog: nothing is written and the window stays as it was.
#pragma once

#include <QString>

#include <optional>

#include "base/OperationHost.h"

namespace tessaly::ui {

class MainWindow;

class PackQuestion : public OperationHost {
 public:
  explicit PackQuestion(MainWindow& window) : window_(window) {}

  void SetProgressMin(int value) override;
  void SetProgressMax(int value) override;
  void SetProgressPosition(int value) override;
  void SetStatusText(int panel, const std::string& text) override;
  void SetToolbarAndGridEnabled(bool enabled) override;
  void SetWindowEnabled(bool enabled) override;
  void Repaint() override;
  void UpdatePainting() override;
  void ProcessMessages() override;
  std::optional<std::string> PickArchiveFile() override;
  std::optional<std::string> PickFolder() override;
  void ShowMessage(MessageKind kind, const std::string& text) override;

  // Tests queue the answers of the next questions ("Yes" packs; anything else, or nullopt, is No)
  // and read the text of the last one asked.
  static void SetNextAnswer(std::optional<QString> answer);
  static void ClearNextAnswers();
  static QString LastQuestion();

 private:
  // The question's text when entries of `folder` have problems; empty when none has.
  std::string ProblemsOf(const std::string& folder);
  bool Ask(const QString& text);

  MainWindow& window_;
};

}  // namespace tessaly::ui
