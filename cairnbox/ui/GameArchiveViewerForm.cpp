#include "cairnbox/ui/GameArchiveViewerForm.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QStatusBar>
#include <QToolBar>
#include <QTreeView>
#include <algorithm>
#include <numeric>

#include "cairnbox/ui/DumpDialogs.h"
#include "core/Format.h"
#include "widgets/BrowseDirectoryDlg.h"
#include "widgets/FileDialogs.h"
#include "widgets/Icons.h"
#include "widgets/MRUFileList.h"

// ---- The list's model ---------------------------------------------------------

namespace {

const char* const kColumnTitles[] = {"Name", "Type", "Size", "Path"};
const int kColumnWidths[] = {150, 45, 75, 350};

// Names in archives are 8-bit text; every byte shows as one character.
QString Text8(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

int TArchiveListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(Order_.size());
}

int TArchiveListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 4; }

QVariant TArchiveListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(Order_.size())) return QVariant();
  if (role == Qt::DisplayRole) return Text8(Row(index.row()).Column(index.column()));
  if (role == Qt::TextAlignmentRole && index.column() == acSize)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return QVariant();
}

QVariant TArchiveListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
    return QString(kColumnTitles[section]);
  if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole && section == acSize)
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  return QAbstractTableModel::headerData(section, orientation, role);
}

bool TArchiveListModel::Load(const std::string& fileName) {
  if (ArchiveKindOf(fileName) == akNone) return false;
  // Listed aside first: a file that cannot be opened leaves the rows, their
  // order and the selection as they were.
  TArchiveList fresh;
  try {
    ListArchive(fileName, fresh);
  } catch (...) {
    // It opened but could not be read: the old rows are gone, as the
    // status text says.
    if (!fresh.FileName.empty()) {
      beginResetModel();
      List.Rows.clear();
      List.StatusText.clear();
      List.FileName = fresh.FileName;
      List.Sorted = false;
      Order_.clear();
      endResetModel();
    }
    throw;
  }
  beginResetModel();
  List.Rows = std::move(fresh.Rows);
  List.StatusText = std::move(fresh.StatusText);
  List.FileName = std::move(fresh.FileName);
  List.Sorted = false;
  Order_.resize(List.Rows.size());
  std::iota(Order_.begin(), Order_.end(), 0);
  endResetModel();
  return true;
}

void TArchiveListModel::Sort() {
  if (List.SortColumn < acName || List.SortColumn > acPath) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  std::vector<int> old = Order_;
  std::stable_sort(Order_.begin(), Order_.end(),
                   [this](int a, int b) { return List.Compare(List.Rows[a], List.Rows[b]) < 0; });
  // Selections and the current row follow their rows.
  std::vector<int> newPlace(Order_.size());
  for (size_t i = 0; i < Order_.size(); ++i) newPlace[Order_[i]] = static_cast<int>(i);
  const QModelIndexList from = persistentIndexList();
  QModelIndexList to;
  to.reserve(from.size());
  for (const QModelIndex& i : from) to << index(newPlace[old[i.row()]], i.column());
  changePersistentIndexList(from, to);
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

// ---- The window -------------------------------------------------------------

const QString TGameArchiveViewerForm::OpenFilter =
    "All Archives (*.pak *.gob *.PAK *.GOB);;Quake Archives (*.pak *.PAK);;JediKnight Archives (*.gob *.GOB)";

std::function<void(QWidget*, const QString&)> TGameArchiveViewerForm::ShowError = [](QWidget* parent,
                                                                                      const QString& text) {
  QMessageBox::critical(parent, QApplication::applicationDisplayName(), text);
};

namespace {

QString DefaultAskExport(QWidget* parent, const QString& title, const QString& fileName, const QString& filter,
                         const QString& defaultExt) {
  QFileDialog dialog(parent, title, QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  dialog.setDefaultSuffix(defaultExt);
  dialog.selectFile(fileName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().first();
}

// "Export File (*.mdl)|*.mdl|All Files (*.*)|*.*" in the file dialog's own
// notation, "Export File (*.mdl);;All Files (*)".
QString DialogFilter(const std::string& filter) {
  const QStringList parts = QString::fromLatin1(filter).split('|');
  QStringList out;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QString title = parts[i];
    if (parts[i + 1] == "*.*") title.replace("(*.*)", "(*)");
    out << title;
  }
  return out.join(";;");
}

bool IsLocalArchive(const QUrl& url) {
  return url.isLocalFile() && ArchiveKindOf(QFile::encodeName(url.toLocalFile()).toStdString()) != akNone;
}

}  // namespace

TGameArchiveViewerForm::TGameArchiveViewerForm(QWidget* parent)
    : QMainWindow(parent), AskExportFileName(DefaultAskExport) {
  setObjectName("GameArchiveViewerForm");
  setWindowTitle("Cairnbox");
  setWindowIcon(ProgramIcon("cairnbox"));
  resize(652, 485);
  move(200, 110);
  setAcceptDrops(true);

  Model = new TArchiveListModel(this);
  Lst = new QTreeView(this);
  Lst->setObjectName("Lst");
  Lst->setModel(Model);
  Lst->setRootIsDecorated(false);
  Lst->setItemsExpandable(false);
  Lst->setUniformRowHeights(true);
  Lst->setAllColumnsShowFocus(true);
  Lst->setSelectionMode(QAbstractItemView::ExtendedSelection);
  Lst->setSelectionBehavior(QAbstractItemView::SelectRows);
  Lst->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Lst->setContextMenuPolicy(Qt::CustomContextMenu);
  QHeaderView* header = Lst->header();
  header->setStretchLastSection(false);
  header->setSectionsClickable(true);
  header->setSortIndicatorShown(false);
  for (int c = 0; c < 4; ++c) header->resizeSection(c, kColumnWidths[c]);
  connect(header, &QHeaderView::sectionClicked, this, [this](int c) { Guard([&] { LstColumnClick(c); }); });
  setCentralWidget(Lst);

  StatusText = new QLabel(this);
  StatusText->setObjectName("StatusText");
  statusBar()->setObjectName("StatusBar");
  statusBar()->addWidget(StatusText, 1);

  FileDlgs = new TFileDialogs(this);
  FileDlgs->SetDescription("Game Archives");
  FileDlgs->SetExtension("pak");
  FileDlgs->OnLoad = [this](TFileDialogs*, const QString& name) { FileDlgsLoad(name); };
  FileDlgs->OnFileNameChange = [this](TFileDialogs*) { FileDlgsFileNameChange(); };

  BrowseDlg = new TBrowseDirectoryDlg(this);
  BrowseDlg->Title = "Select a base folder for extracting";
  BrowseDlg->SetStatusText("...");
  BrowseDlg->SetEnableOKButton(false);
  BrowseDlg->OnSelChanged = [this](TBrowseDirectoryDlg*, const QString& sel) { BrowseDlgSelChanged(sel); };

  CreateActions();
  CreateMenus();
  connect(Lst, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { PopupMenu1->popup(Lst->viewport()->mapToGlobal(at)); });
  connect(Lst, &QAbstractItemView::doubleClicked, this, [this] { Guard([&] { ShowasHex1Click(); }); });

  MRUFileList = new TMRUFileList(this);
  MRUFileList->AutoSaveKey = "MRU Items";
  MRUFileList->AutoSaveName = "\\Software\\Hollin\\Cairnbox10";
  MRUFileList->CreateBreak = false;
  MRUFileList->SetMaximum(10);
  MRUFileList->SetSubmenuName("&Reopen");
  MRUFileList->SetUseSubmenu(true);
  MRUFileList->SetFileMenu(Save1);
  MRUFileList->OnMRUItemClick = [this](QObject*, const QString& name) {
    Guard([&] { MRUFileListMRUItemClick(name); });
  };
  MRUFileList->LoadFromRegistry();
}

TGameArchiveViewerForm::~TGameArchiveViewerForm() = default;

void TGameArchiveViewerForm::Guard(const std::function<void()>& action) {
  try {
    action();
  } catch (const std::exception& e) {
    ShowError(this, QString::fromLocal8Bit(e.what()));
  }
}

void TGameArchiveViewerForm::CreateActions() {
  auto make = [this](const QString& text, const char* icon, const char* theme, void (TGameArchiveViewerForm::*fn)()) {
    auto* a = new QAction(text, this);
    if (icon) a->setIcon(ProgramIcon(icon, theme));
    connect(a, &QAction::triggered, this, [this, fn] { Guard([&] { (this->*fn)(); }); });
    return a;
  };
  New1 = new QAction("&New", this);
  New1->setVisible(false);
  Open1 = make("&Open...", "open", "document-open", &TGameArchiveViewerForm::Open1Click);
  Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  Open1->setToolTip("Open archive");
  Save1 = new QAction("&Save", this);
  Save1->setVisible(false);
  SaveAs1 = new QAction("Save &As...", this);
  SaveAs1->setVisible(false);
  Extract1 = make("&Extract Files from Archive...", "extract", nullptr, &TGameArchiveViewerForm::ToolButton5Click);
  Extract1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  Extract1->setToolTip("Extract files from archive");
  Exit1 = make("E&xit", "exit", "application-exit", &TGameArchiveViewerForm::Exit1Click);
  ShowasHex1 = make("Show as hex", "hexdump", nullptr, &TGameArchiveViewerForm::ShowasHex1Click);
  ShowasHex1->setToolTip("Show as hex");
  Showastext1 = make("Show as text", "textdump", nullptr, &TGameArchiveViewerForm::Showastext1Click);
  Showastext1->setToolTip("Show as text");
}

void TGameArchiveViewerForm::CreateMenus() {
  File1 = menuBar()->addMenu("&File");
  File1->setObjectName("File1");
  File1->addAction(New1);
  File1->addAction(Open1);
  File1->addAction(Save1);
  File1->addAction(SaveAs1);
  File1->addAction(Extract1);
  File1->addSeparator();
  File1->addAction(Exit1);

  ToolBar1 = addToolBar("Tool bar");
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setMovable(false);
  ToolBar1->setIconSize(QSize(16, 16));
  ToolBar1->addAction(Open1);
  ToolBar1->addAction(Extract1);
  ToolBar1->addAction(Showastext1);
  ToolBar1->addAction(ShowasHex1);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  PopupMenu1->addAction(ShowasHex1);
  PopupMenu1->addAction(Showastext1);
}

std::string TGameArchiveViewerForm::ArchiveName() const {
  return QFile::encodeName(FileDlgs->FileName()).toStdString();
}

void TGameArchiveViewerForm::Open1Click() {
  // The component's own filter names only ".pak"; this window offers both
  // kinds, whatever asks the question.
  const auto ask = FileDlgs->AskOpenFileName;
  FileDlgs->AskOpenFileName = [ask](QWidget* p, const QString& title, const QString& start, const QString&) {
    return ask(p, title, start, OpenFilter);
  };
  struct TRestore {
    TFileDialogs* D;
    decltype(D->AskOpenFileName) Ask;
    ~TRestore() { D->AskOpenFileName = Ask; }
  } restore{FileDlgs, ask};
  FileDlgs->Open();
}

void TGameArchiveViewerForm::FileDlgsLoad(const QString& fileName) {
  const std::string name = QFile::encodeName(fileName).toStdString();
  // The file dialogs have taken the name already; refusing puts the old one
  // back, so views never read another file by the rows of this one.
  if (ArchiveKindOf(name) == akNone)
    throw EArchiveError(Format("\"%s\" is not an archive: the name ends in neither .pak nor .gob", name.c_str()));
  MRUFileList->AddItem(fileName);
  try {
    Model->Load(name);
  } catch (...) {
    StatusText->setText(Text8(Model->List.StatusText));
    throw;
  }
  StatusText->setText(Text8(Model->List.StatusText));
  Lst->header()->setSortIndicatorShown(false);
}

void TGameArchiveViewerForm::FileDlgsFileNameChange() {
  const QString name = FileDlgs->FileName();
  setWindowTitle(name.isEmpty() ? QString("Cairnbox") : "Cairnbox - " + name);
}

void TGameArchiveViewerForm::LstColumnClick(int column) {
  TArchiveList& list = Model->List;
  list.SortDescending = column == list.SortColumn ? !list.SortDescending : false;
  list.SortColumn = column;
  list.Sorted = true;
  Model->Sort();
  Lst->header()->setSortIndicatorShown(true);
  Lst->header()->setSortIndicator(column, list.SortDescending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void TGameArchiveViewerForm::MRUFileListMRUItemClick(const QString& fileName) { FileDlgs->OpenFile(fileName); }

void TGameArchiveViewerForm::Exit1Click() {
  if (FileDlgs->CanClose() == TFileDialogs::kDone) close();
}

std::vector<int> TGameArchiveViewerForm::SelectedRows() const {
  std::vector<int> rows;
  for (const QModelIndex& i : Lst->selectionModel()->selectedRows()) rows.push_back(i.row());
  std::sort(rows.begin(), rows.end());
  return rows;
}

std::unique_ptr<THexViewDialog> TGameArchiveViewerForm::MakeHexView() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return nullptr;
  return std::make_unique<THexViewDialog>(ReadArchiveMember(ArchiveName(), Model->Row(rows.front())), this);
}

std::unique_ptr<TTextViewDialog> TGameArchiveViewerForm::MakeTextView() {
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) return nullptr;
  return std::make_unique<TTextViewDialog>(ReadArchiveMember(ArchiveName(), Model->Row(rows.front())), this);
}

void TGameArchiveViewerForm::ShowasHex1Click() {
  if (auto dialog = MakeHexView()) dialog->exec();
}

void TGameArchiveViewerForm::Showastext1Click() {
  if (auto dialog = MakeTextView()) dialog->exec();
}

void TGameArchiveViewerForm::ToolButton5Click() {
  const std::vector<int> rows = SelectedRows();
  if (rows.size() == 1)
    ExportMember(rows.front());
  else if (rows.size() > 1)
    ExtractMembers(rows);
}

void TGameArchiveViewerForm::BrowseDlgSelChanged(const QString& newSel) {
  BaseFolder_ = newSel;
  BrowseDlg->SetStatusText(newSel);
  BrowseDlg->SetEnableOKButton(!newSel.isEmpty() && QFileInfo(newSel).isDir());
}

void TGameArchiveViewerForm::ExportMember(int viewRow) {
  const TArchiveEntryRow& row = Model->Row(viewRow);
  const QString target = AskExportFileName(this, "Export File", Text8(ExportFileName(row)),
                                           DialogFilter(ExportFilter(row)), Text8(ExportDefaultExt(row)));
  if (target.isEmpty()) return;
  ExportArchiveMember(ArchiveName(), row, QFile::encodeName(target).toStdString());
}

void TGameArchiveViewerForm::ExtractMembers(const std::vector<int>& viewRows) {
  BrowseDlg->SetSelection(BaseFolder_);
  if (!BrowseDlg->Execute()) return;
  BaseFolder_ = BrowseDlg->Selection();
  const std::string base = QFile::encodeName(BaseFolder_).toStdString();
  const std::string archive = ArchiveName();
  // The rows themselves, not their places: the list may change while the
  // progress window lets events through.
  std::vector<TArchiveEntryRow> rows;
  rows.reserve(viewRows.size());
  for (int r : viewRows) rows.push_back(Model->Row(r));
  LastExtract_ = TExtractResult();
  LastExtractCancelled_ = false;

  QProgressDialog progress("Extracting files", "Cancel", 0, static_cast<int>(viewRows.size()), this);
  progress.setWindowTitle("Extract Files from Archive");
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(ProgressDelayMs);
  progress.setAutoClose(false);
  progress.setAutoReset(false);
  Progress_ = &progress;
  struct TReset {
    QProgressDialog*& P;
    ~TReset() { P = nullptr; }
  } reset{Progress_};

  // One member at a time, so that a cancel takes effect between members and
  // every file written is whole.
  for (size_t i = 0; i < viewRows.size(); ++i) {
    if (progress.wasCanceled()) {
      LastExtractCancelled_ = true;
      break;
    }
    const TArchiveEntryRow& row = rows[i];
    progress.setLabelText("Extracting " + Text8(row.StoredName));
    TExtractResult one = ExtractArchiveMembers(archive, {row}, base);
    LastExtract_.Extracted += one.Extracted;
    LastExtract_.Bytes += one.Bytes;
    LastExtract_.Written.insert(LastExtract_.Written.end(), one.Written.begin(), one.Written.end());
    LastExtract_.Failures.insert(LastExtract_.Failures.end(), one.Failures.begin(), one.Failures.end());
    if (OnMemberExtracted) OnMemberExtracted(static_cast<int>(i));
    progress.setValue(static_cast<int>(i + 1));
  }
  progress.close();

  const QString summary = QString("Extracted %1 of %2 files to %3%4")
                              .arg(LastExtract_.Extracted)
                              .arg(viewRows.size())
                              .arg(BaseFolder_)
                              .arg(LastExtractCancelled_ ? " (cancelled)" : "");
  statusBar()->showMessage(summary, 10000);
  if (!LastExtract_.Failures.empty()) {
    // Name every member that failed, up to a screenful.
    constexpr size_t kShown = 20;
    QStringList lines;
    lines << QString("%1 of %2 files could not be extracted:").arg(LastExtract_.Failures.size()).arg(viewRows.size());
    for (size_t i = 0; i < LastExtract_.Failures.size() && i < kShown; ++i)
      lines << QString::fromLocal8Bit(LastExtract_.Failures[i].Message);
    if (LastExtract_.Failures.size() > kShown) lines << QString("... and %1 more").arg(LastExtract_.Failures.size() - kShown);
    ShowError(this, lines.join('\n'));
  }
}

void TGameArchiveViewerForm::dragEnterEvent(QDragEnterEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (mime && mime->hasUrls())
    for (const QUrl& url : mime->urls())
      if (IsLocalArchive(url)) {
        event->acceptProposedAction();
        return;
      }
  event->ignore();
}

void TGameArchiveViewerForm::dropEvent(QDropEvent* event) {
  const QMimeData* mime = event->mimeData();
  if (!mime || !mime->hasUrls()) return;
  // The first archive among the dropped files is opened.
  for (const QUrl& url : mime->urls())
    if (IsLocalArchive(url)) {
      event->acceptProposedAction();
      const QString name = url.toLocalFile();
      Guard([&] { FileDlgs->OpenFile(name); });
      return;
    }
}
