// The question before a pack: a folder whose replaced entries can't be packed as they are makes
// the window ask, listing the problems, whether to pack all the same. "No" (the default) counts
// as a cancelled folder dialog: nothing is written and the window stays as it was.
#pragma once

#include <QString>

#include <optional>
#include <string>

namespace tessaly::ui {

class MainWindow;

class PackQuestion {
 public:
  // True when `folder` may be packed: no replaced entry has a problem, or the user said "Yes".
  static bool Allows(MainWindow& window, const std::string& folder);

  // Tests queue the answers of the next questions ("Yes" packs; anything else, or nullopt, is No)
  // and read the text of the last one asked.
  static void SetNextAnswer(std::optional<QString> answer);
  static void ClearNextAnswers();
  static QString LastQuestion();

 private:
  // The question's text when entries of `folder` have problems; empty when none has.
  static std::string ProblemsOf(MainWindow& window, const std::string& folder);
  static bool Ask(MainWindow& window, const QString& text);
};

}  // namespace tessaly::ui
