#include "widgets/BrowseDirectoryDlg.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>

TBrowseDirectoryDlg::TBrowseDirectoryDlg(QObject* parent) : QObject(parent) {}

TBrowseDirectoryDlg::~TBrowseDirectoryDlg() = default;

void TBrowseDirectoryDlg::SetSelection(const QString& path) {
  QString p = path;
  while (p.size() > 1 && (p.endsWith('/') || p.endsWith('\\'))) p.chop(1);
  if (p == Selection_) return;
  Selection_ = p;
  if (Dialog_ && !p.isEmpty()) Dialog_->setDirectory(p);
}

void TBrowseDirectoryDlg::SetStatusText(const QString& text) {
  if (text == StatusText_) return;
  StatusText_ = text;
  if (Status_) {
    Status_->setText(text);
    Status_->setVisible(!text.isEmpty());
  }
}

void TBrowseDirectoryDlg::SetEnableOKButton(bool enable) {
  if (enable == EnableOKButton_) return;
  EnableOKButton_ = enable;
  ApplyOkButton();
}

QString TBrowseDirectoryDlg::RootPath(TRootFolder root) {
  switch (root) {
    case idDesktop:
    case idDesktopExpanded:
    case idDesktopDirectory: {
      const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
      return QDir(desktop).exists() ? desktop : QDir::homePath();
    }
    case idPersonal: return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case idFonts: return QStandardPaths::writableLocation(QStandardPaths::FontsLocation);
    case idDrives: return QDir::rootPath();
    default: return QDir::homePath();
  }
}

void TBrowseDirectoryDlg::ApplyOkButton() {
  if (!Dialog_) return;
  if (auto* box = Dialog_->findChild<QDialogButtonBox*>())
    for (QAbstractButton* b : box->buttons())
      if (box->buttonRole(b) == QDialogButtonBox::AcceptRole) b->setEnabled(EnableOKButton_);
}

void TBrowseDirectoryDlg::Refresh() {
  if (!Dialog_) return;
  const QStringList chosen = Dialog_->selectedFiles();
  const QString path = chosen.isEmpty() ? Dialog_->directory().absolutePath() : chosen.first();
  if (path == LastSel_) return;
  LastSel_ = path;
  SelChanged(path);
}

void TBrowseDirectoryDlg::SelChanged(const QString& path) {
  if (OnSelChanged) OnSelChanged(this, path);
  // The dialog sets its own button state on the same change; ours comes after.
  QMetaObject::invokeMethod(this, [this] { ApplyOkButton(); }, Qt::QueuedConnection);
}

bool TBrowseDirectoryDlg::Execute() {
  QWidget* parentWidget = qobject_cast<QWidget*>(parent());
  if (!parentWidget) parentWidget = QApplication::activeWindow();
  QFileDialog dialog(parentWidget, Title);
  // Our own dialog rather than the desktop's: the status line and the OK
  // button's state need its widgets.
  dialog.setOption(QFileDialog::DontUseNativeDialog, true);
  dialog.setOption(QFileDialog::ShowDirsOnly, true);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setDirectory(Selection_.isEmpty() ? RootPath(Root) : Selection_);
  Dialog_ = &dialog;
  auto* status = new QLabel(StatusText_, &dialog);
  status->setObjectName("StatusText");
  status->setVisible(!StatusText_.isEmpty());
  status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
    grid->addWidget(status, grid->rowCount(), 0, 1, grid->columnCount());
  Status_ = status;
  // The highlighted folder changes through the views, the name field and
  // the navigation; all lead to the one the dialog would give on OK.
  LastSel_.clear();
  auto refresh = [this] { Refresh(); };
  connect(&dialog, &QFileDialog::currentChanged, this, refresh);
  connect(&dialog, &QFileDialog::directoryEntered, this, refresh);
  for (QAbstractItemView* view : dialog.findChildren<QAbstractItemView*>())
    if (view->selectionModel() && (view->objectName() == "listView" || view->objectName() == "treeView"))
      connect(view->selectionModel(), &QItemSelectionModel::selectionChanged, this, refresh);
  if (auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit")) connect(edit, &QLineEdit::textChanged, this, refresh);
  if (Center) {
    dialog.adjustSize();
    if (QScreen* screen = parentWidget ? parentWidget->screen() : QApplication::primaryScreen()) {
      const QRect area = screen->geometry();
      dialog.move((area.width() - dialog.width()) / 2, (area.height() - dialog.height()) / 2);
    }
  }
  ApplyOkButton();
  // The preset selection counts as the first change, as in the desktop's own browsers.
  Refresh();
  if (OnCreate) OnCreate(this);
  const bool ok = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  const QString chosen = ok ? dialog.selectedFiles().first() : QString();
  Dialog_ = nullptr;
  Status_ = nullptr;
  Selection_.clear();
  SetSelection(chosen);
  return ok;
}
