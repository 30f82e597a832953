// The folder dialog (object name RzSelectFolderDialog1): a small "Browse for Folder" window over
// the file system's folders, with buttons to create a folder and to move one to the trash and a
// field where a path can be typed or pasted. It opens on the folder of the last Unpack or Pack,
// kept across runs, and remembers its size and state while the program runs.
#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QFileSystemModel;
class QLabel;
class QLineEdit;
class QToolButton;
class QTreeView;

namespace tessaly::ui {

class FolderDialog : public QDialog {
  Q_OBJECT

 public:
  // What a folder is chosen for: a work folder (Pack, Open Folder) or an export target. Each
  // starts at, and remembers, its own last folder.
  enum class Use { WorkFolder, ExportTarget };

  explicit FolderDialog(QWidget* parent = nullptr, Use use = Use::WorkFolder);
  ~FolderDialog() override;

  // Makes a window, shows it modally and releases it: the chosen folder's path after "OK"
  // (empty when the selection is no folder), nullopt after "Cancel" or the close button.
  static std::optional<QString> Execute(QWidget* parent, Use use = Use::WorkFolder);

  // The selected folder's path without a trailing separator (the root keeps its "/"), or empty.
  QString SelectedPath() const;
  // What "OK" chose: the selected or typed folder, or for an export target, a typed folder that
  // doesn't exist yet (the export creates it).
  QString ChosenPath() const { return chosen_; }
  void SelectPath(const QString& path);

  QTreeView* Tree() const { return tree_; }
  QLineEdit* PathField() const { return pathField_; }
  QToolButton* CreateFolderButton() const { return createButton_; }
  QToolButton* DeleteButton() const { return deleteButton_; }

  // Its object name: tests queue its answers under it (NextAnswers).
  static inline const QString kName = QStringLiteral("RzSelectFolderDialog1");
  // Forgets the remembered size and state.
  static void ForgetRemembered();

  void accept() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

  static constexpr QSize kFirstSize{358, 313};

 private:
  void UpdateButtons();
  void CreateFolder();
  void DeleteFolder();
  void Remember();
  void ShowSelectedPath();
  // Keeps the selected folder in view while the tree loads the folders above it.
  void KeepSelectionInView();
  // Selects the folder just named in the tree once the model shows it under its new name.
  void SelectRenamed();

  QFileSystemModel* model_;
  QTreeView* tree_;
  QLabel* status_;
  QLineEdit* pathField_;
  bool keepInView_ = true;  // until the user moves in the tree
  QToolButton* createButton_;
  QToolButton* deleteButton_;
  Use use_;
  QString chosen_;   // set by "OK"
  QString renamed_;  // a folder named in the tree that the model doesn't show yet
};

}  // namespace tessaly::ui
