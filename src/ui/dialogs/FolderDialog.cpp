#include "ui/dialogs/FolderDialog.h"

#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QTreeView>

#include "ui/dialogs/NextAnswers.h"
#include "ui/dialogs/Trash.h"
#include "ui/settings/WorkFolders.h"
#include "ui/widgets/Design.h"

namespace tessaly::ui {
namespace {

struct Remembered {
  QSize size;
  bool maximized = false;
};

Remembered& Memory() {
  static Remembered memory;
  return memory;
}

}  // namespace

FolderDialog::FolderDialog(QWidget* parent, Use use)
    : QDialog(parent),
      model_(new QFileSystemModel(this)),
      tree_(new QTreeView(this)),
      status_(new QLabel(this)),
      pathField_(new QLineEdit(this)),
      createButton_(new QToolButton(this)),
      deleteButton_(new QToolButton(this)),
      use_(use) {
  setObjectName(QStringLiteral("RzSelectFolderDialog1"));
  setWindowTitle(QStringLiteral("Browse for Folder"));
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setSizeGripEnabled(true);
  setFont(WindowFont());

  status_->setObjectName(QStringLiteral("StatusLine"));
  createButton_->setObjectName(QStringLiteral("CreateFolderButton"));
  createButton_->setToolTip(QStringLiteral("Create Folder"));
  createButton_->setIcon(style()->standardIcon(QStyle::SP_FileDialogNewFolder));
  createButton_->setAutoRaise(true);
  deleteButton_->setObjectName(QStringLiteral("DeleteButton"));
  deleteButton_->setToolTip(QStringLiteral("Delete"));
  deleteButton_->setIcon(style()->standardIcon(QStyle::SP_TrashIcon));
  deleteButton_->setAutoRaise(true);

  // Folders only, hidden ones included; names can be edited so a new folder can be named.
  model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::Drives);
  model_->setReadOnly(false);
  model_->setRootPath(QDir::rootPath());
  tree_->setObjectName(QStringLiteral("FolderTree"));
  tree_->setModel(model_);
  for (int column = 1; column < model_->columnCount(); ++column) tree_->hideColumn(column);
  tree_->setHeaderHidden(true);
  tree_->setEditTriggers(QAbstractItemView::EditKeyPressed);
  tree_->setContextMenuPolicy(Qt::CustomContextMenu);
  tree_->setAutoScroll(true);
  pathField_->setObjectName(QStringLiteral("PathField"));
  pathField_->setClearButtonEnabled(true);
  auto* completer = new QCompleter(this);
  auto* completions = new QFileSystemModel(completer);
  completions->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Hidden);
  completions->setRootPath(QString());
  completer->setModel(completions);
  pathField_->setCompleter(completer);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->addWidget(status_, 0, 0);
  layout->addWidget(createButton_, 0, 1);
  layout->addWidget(deleteButton_, 0, 2);
  layout->addWidget(tree_, 1, 0, 1, 3);
  layout->addWidget(pathField_, 2, 0, 1, 3);
  layout->addWidget(buttons, 3, 0, 1, 3);
  layout->setColumnStretch(0, 1);

  connect(createButton_, &QToolButton::clicked, this, &FolderDialog::CreateFolder);
  connect(deleteButton_, &QToolButton::clicked, this, &FolderDialog::DeleteFolder);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
    UpdateButtons();
    // A folder just named stays the choice while the model reads it under its new name (its
    // rows move and the selection with them) until the user picks another.
    if (!renamed_.isEmpty() && SelectedPath() != renamed_) {
      QMetaObject::invokeMethod(this, &FolderDialog::SelectRenamed, Qt::QueuedConnection);
      return;
    }
    ShowSelectedPath();
  });
  // The model reads folders in the background and sorts them late; each time the rows above the
  // selection change, the selection moves, so it is brought back into view until the user acts.
  connect(model_, &QFileSystemModel::directoryLoaded, this, &FolderDialog::KeepSelectionInView);
  // A folder renamed in the tree (a new one being named) is selected under its new name, and the
  // path field shows that name rather than the old one.
  connect(model_, &QFileSystemModel::fileRenamed, this,
          [this](const QString& folder, const QString&, const QString& newName) {
            // The model shows the renamed folder a moment later: the field names it at once,
            // and it is selected once the model has it.
            renamed_ = QDir::cleanPath(QDir(folder).filePath(newName));
            pathField_->setText(QDir::toNativeSeparators(renamed_));
            QMetaObject::invokeMethod(this, &FolderDialog::SelectRenamed, Qt::QueuedConnection);
          });
  connect(model_, &QAbstractItemModel::rowsInserted, this, &FolderDialog::SelectRenamed,
          Qt::QueuedConnection);
  connect(pathField_, &QLineEdit::textEdited, this, [this] { renamed_.clear(); });
  tree_->installEventFilter(this);
  tree_->viewport()->installEventFilter(this);
  connect(model_, &QAbstractItemModel::layoutChanged, this, &FolderDialog::KeepSelectionInView);
  connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this] { keepInView_ = false; });
  connect(tree_, &QAbstractItemView::pressed, this, [this] { keepInView_ = false; });
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QMenu menu(this);
    menu.addAction(createButton_->toolTip(), this, &FolderDialog::CreateFolder)
        ->setEnabled(createButton_->isEnabled());
    menu.addAction(deleteButton_->toolTip(), this, &FolderDialog::DeleteFolder)
        ->setEnabled(deleteButton_->isEnabled());
    menu.exec(tree_->viewport()->mapToGlobal(pos));
  });
  connect(this, &QDialog::finished, this, &FolderDialog::Remember);

  // The first showing's client area is the smallest the window may get.
  setMinimumSize(kFirstSize);
  resize(Memory().size.isValid() ? Memory().size : kFirstSize);
  const QString start =
      use == Use::ExportTarget ? WorkFolders::ExportFolder() : WorkFolders::StartFolder();
  SelectPath(start.isEmpty() ? QDir::homePath() : start);
  UpdateButtons();
}

FolderDialog::~FolderDialog() = default;

std::optional<QString> FolderDialog::Execute(QWidget* parent, Use use) {
  std::optional<QString> chosen;
  if (!NextAnswers::Take(kName, chosen)) {
    FolderDialog dialog(parent, use);
    QRect screen =
        (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())
            ->availableGeometry();
    dialog.move(screen.center() - dialog.rect().center());
    if (Memory().maximized) dialog.setWindowState(Qt::WindowMaximized);
    if (dialog.exec() == QDialog::Accepted) chosen = dialog.ChosenPath();
  }
  if (chosen && !chosen->isEmpty())
    (use == Use::ExportTarget ? WorkFolders::NoteExported : WorkFolders::NotePacked)(*chosen);
  return chosen;
}

void FolderDialog::ForgetRemembered() {
  Memory() = Remembered();
}

QString FolderDialog::SelectedPath() const {
  QModelIndex current = tree_->currentIndex();
  if (!current.isValid() || !model_->isDir(current)) return {};
  return QDir::cleanPath(model_->filePath(current));
}

void FolderDialog::SelectPath(const QString& path) {
  QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  for (QModelIndex above = index.parent(); above.isValid(); above = above.parent())
    tree_->expand(above);
  tree_->setCurrentIndex(index);
  tree_->expand(index);
  keepInView_ = true;
  KeepSelectionInView();
}

void FolderDialog::SelectRenamed() {
  if (renamed_.isEmpty() || !model_->index(renamed_).isValid()) return;
  if (SelectedPath() != renamed_) SelectPath(renamed_);
  pathField_->setText(QDir::toNativeSeparators(renamed_));
}

bool FolderDialog::eventFilter(QObject* watched, QEvent* event) {
  // A click or a key in the tree is the user choosing: a folder just named no longer holds.
  if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)
    renamed_.clear();
  return QDialog::eventFilter(watched, event);
}

void FolderDialog::KeepSelectionInView() {
  if (keepInView_ && tree_->currentIndex().isValid())
    tree_->scrollTo(tree_->currentIndex(), QAbstractItemView::PositionAtCenter);
}

void FolderDialog::ShowSelectedPath() {
  pathField_->setText(QDir::toNativeSeparators(SelectedPath()));
}

void FolderDialog::accept() {
  // A path typed or pasted into the field is taken when it names a folder.
  const QString typed = QDir::fromNativeSeparators(pathField_->text().trimmed());
  QString chosen = SelectedPath();
  if (!typed.isEmpty() && QDir::cleanPath(typed) != chosen) {
    const QFileInfo folder(QDir::isAbsolutePath(typed) ? typed
                                                       : QDir::home().absoluteFilePath(typed));
    if (!folder.exists() && use_ == Use::ExportTarget && QDir::isAbsolutePath(typed)) {
      // An export creates its folder.
      chosen_ = QDir::cleanPath(typed);
      QDialog::accept();
      return;
    }
    if (!folder.isDir()) {
      QMessageBox::warning(this, windowTitle(),
                           QStringLiteral("The folder %1 does not exist.").arg(typed));
      return;
    }
    chosen = QDir::cleanPath(folder.absoluteFilePath());
    SelectPath(chosen);
  }
  chosen_ = chosen;
  QDialog::accept();
}

void FolderDialog::UpdateButtons() {
  QModelIndex current = tree_->currentIndex();
  bool folder = current.isValid() && model_->isDir(current);
  createButton_->setEnabled(folder);
  // The tree's root can't be deleted.
  deleteButton_->setEnabled(folder && current.parent().isValid());
}

void FolderDialog::CreateFolder() {
  QModelIndex parent = tree_->currentIndex();
  if (!parent.isValid() || !model_->isDir(parent)) return;
  QDir dir(model_->filePath(parent));
  QString name = QStringLiteral("New Folder");
  for (int n = 2; dir.exists(name); ++n) name = QStringLiteral("New Folder (%1)").arg(n);
  QModelIndex created = model_->mkdir(parent, name);
  if (!created.isValid()) {
    QMessageBox::warning(this, windowTitle(),
                         QStringLiteral("Cannot create a folder in %1.").arg(dir.path()));
    return;
  }
  tree_->expand(parent);
  tree_->setCurrentIndex(created);
  tree_->edit(created);
}

void FolderDialog::DeleteFolder() {
  QModelIndex current = tree_->currentIndex();
  if (!current.isValid() || !current.parent().isValid() || !model_->isDir(current)) return;
  const QString path = QDir::cleanPath(model_->filePath(current));
  const QModelIndex parent = current.parent();
  QMessageBox ask(QMessageBox::Question, QStringLiteral("Delete"),
                  QStringLiteral("Move the folder %1 and everything in it to the trash?")
                      .arg(QDir::toNativeSeparators(path)),
                  QMessageBox::Yes | QMessageBox::Cancel, this);
  ask.setObjectName(QStringLiteral("DeleteQuestion"));
  ask.button(QMessageBox::Yes)->setText(QStringLiteral("Move to Trash"));
  ask.setDefaultButton(QMessageBox::Cancel);
  if (ask.exec() != QMessageBox::Yes) return;
  const QString failure = MoveToTrash(path);
  if (!failure.isEmpty()) {
    QMessageBox::warning(
        this, windowTitle(),
        QStringLiteral("%1 was not moved to the trash, and nothing was deleted: %2.")
            .arg(QDir::toNativeSeparators(path), failure));
    return;
  }
  tree_->setCurrentIndex(parent);
}

void FolderDialog::Remember() {
  Memory().maximized = isMaximized();
  if (!isMaximized()) Memory().size = size();
}

}  // namespace tessaly::ui
