#pragma once
// cairnbox's one window: opens a ".pak" or ".gob" archive, lists its members
// (Name, Type, Size, Path), sorts by any column, shows a member as hex or as
// text, exports one member or extracts several into a folder tree.

#include <QAbstractTableModel>
#include <QMainWindow>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "archive/ArcDirectory.h"
#include "archive/ArcExtract.h"

class QAction;
class QLabel;
class QMenu;
class QProgressDialog;
class QToolBar;
class QTreeView;
class TBrowseDirectoryDlg;
class TFileDialogs;
class TMRUFileList;
class THexViewDialog;
class TTextViewDialog;

// The list's rows as a table. The rows stay in directory order in List;
// sorting permutes a row order of its own so that selections survive it.
class TArchiveListModel : public QAbstractTableModel {
  Q_OBJECT

public:
  using QAbstractTableModel::QAbstractTableModel;

  TArchiveList List;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // The row shown at `viewRow`.
  const TArchiveEntryRow& Row(int viewRow) const { return List.Rows[Order_[viewRow]]; }
  // Lists `fileName` into List (directory order, sorting off). False for a
  // name that is neither ".pak" nor ".gob"; errors pass to the caller.
  bool Load(const std::string& fileName);
  // Sorts the shown order by List's sort column and direction; equal rows
  // keep their order.
  void Sort();

private:
  std::vector<int> Order_;
};

class TGameArchiveViewerForm : public QMainWindow {
  Q_OBJECT

public:
  explicit TGameArchiveViewerForm(QWidget* parent = nullptr);
  // Saves the recent-file list.
  ~TGameArchiveViewerForm() override;

  // The application's error display; the screenshot run and tests replace it.
  static std::function<void(QWidget* parent, const QString& text)> ShowError;
  // Runs `action`, showing any error it raises.
  void Guard(const std::function<void()>& action);

  // Components, under the names the rest of the program knows them by.
  QTreeView* Lst = nullptr;
  TArchiveListModel* Model = nullptr;
  QLabel* StatusText = nullptr;
  QToolBar* ToolBar1 = nullptr;
  TFileDialogs* FileDlgs = nullptr;
  TMRUFileList* MRUFileList = nullptr;
  TBrowseDirectoryDlg* BrowseDlg = nullptr;
  QMenu* File1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* New1 = nullptr;
  QAction* Open1 = nullptr;
  QAction* Save1 = nullptr;
  QAction* SaveAs1 = nullptr;
  QAction* Extract1 = nullptr;
  QAction* Exit1 = nullptr;
  QAction* ShowasHex1 = nullptr;
  QAction* Showastext1 = nullptr;

  // The open dialog's filter, set before every Open.
  static const QString OpenFilter;

  // Asks for the export target: title, proposed name, filter, default
  // extension; an empty answer cancels. Tests and scripted runs replace it.
  std::function<QString(QWidget* parent, const QString& title, const QString& fileName, const QString& filter,
                        const QString& defaultExt)>
      AskExportFileName;
  // Called after each member of an extraction (index into the chosen rows).
  std::function<void(int index)> OnMemberExtracted;
  // The extraction's progress window while it runs.
  QProgressDialog* ExtractProgress() const { return Progress_; }
  // How long an extraction runs before its progress window shows.
  int ProgressDelayMs = 400;

  // The folder last highlighted in the folder browser.
  const QString& BaseFolder() const { return BaseFolder_; }
  // What the last extraction did.
  const TExtractResult& LastExtract() const { return LastExtract_; }
  bool LastExtractCancelled() const { return LastExtractCancelled_; }

  // The rows selected, in list order.
  std::vector<int> SelectedRows() const;

  // The dialogs for the selected member (null when none is selected).
  std::unique_ptr<THexViewDialog> MakeHexView();
  std::unique_ptr<TTextViewDialog> MakeTextView();

  // Handlers.
  void Open1Click();
  void FileDlgsLoad(const QString& fileName);
  void FileDlgsFileNameChange();
  void LstColumnClick(int column);
  void MRUFileListMRUItemClick(const QString& fileName);
  void Exit1Click();
  void ShowasHex1Click();
  void Showastext1Click();
  void ToolButton5Click();
  void BrowseDlgSelChanged(const QString& newSel);

  // Export of one member and extraction of several, as the extract command
  // chooses between them.
  void ExportMember(int viewRow);
  void ExtractMembers(const std::vector<int>& viewRows);

protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

private:
  void CreateActions();
  void CreateMenus();
  // The archive file the views and extractions read (8-bit file name).
  std::string ArchiveName() const;

  QString BaseFolder_;
  TExtractResult LastExtract_;
  bool LastExtractCancelled_ = false;
  QProgressDialog* Progress_ = nullptr;
};
