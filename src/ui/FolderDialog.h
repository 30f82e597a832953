// The folder dialog (object name RzSelectFolderDialog1): a small "Browse for Folder" window over
// the file system's folders, with buttons to create a folder and to move one to the trash. It
// remembers its size and state and the folder last chosen with "OK" while the program runs.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QFileSystemModel;
class QLabel;
class QToolButton;
class QTreeView;

namespace tessaly::ui {

class FolderDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FolderDialog(QWidget* parent = nullptr);
  ~FolderDialog() override;

  // Makes a window, shows it modally and releases it: the chosen folder's path after "OK"
  // (empty when the selection is no folder), nullopt after "Cancel" or the close button.
  static std::optional<QString> Execute(QWidget* parent);

  // The selected folder's path without a trailing separator (the root keeps its "/"), or empty.
  QString SelectedPath() const;
  void SelectPath(const QString& path);

  QTreeView* Tree() const { return tree_; }
  QToolButton* CreateFolderButton() const { return createButton_; }
  QToolButton* DeleteButton() const { return deleteButton_; }

  // Tests queue the answers of the next showings (nullopt cancels).
  static void SetNextAnswer(std::optional<QString> answer);
  static void ClearNextAnswers();
  // Forgets the remembered size, state and folder.
  static void ForgetRemembered();

  static constexpr QSize kFirstSize{358, 313};

 private:
  void UpdateButtons();
  void CreateFolder();
  void DeleteFolder();
  void Remember();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* status_;
  QToolButton* createButton_;
  QToolButton* deleteButton_;
};

}  // namespace tessaly::ui
