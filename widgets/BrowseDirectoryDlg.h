#pragma once
// The folder browser: a directory-choosing dialog with a title, a root
// folder, a status line, an initial selection, control over its OK button
// and an event for every change of the highlighted folder. The dialog
// exists only while Execute runs; the setters act on it while it is open.

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include <QFileDialog>
#include <QLabel>

class TBrowseDirectoryDlg : public QObject {
  Q_OBJECT

public:
  // Where browsing starts when no selection is preset.
  enum TRootFolder {
    idDesktop = 0, idDesktopExpanded = 1, idPrograms = 2, idControlPanel = 3, idPrinters = 4, idPersonal = 5,
    idFavorites = 6, idStartup = 7, idRecent = 8, idSendTo = 9, idRecycleBin = 10, idStartMenu = 11,
    idDesktopDirectory = 16, idDrives = 17, idNetwork = 18, idNetHood = 19, idFonts = 20, idTemplates = 21
  };
  enum TBrowseOption { bfDirectoriesOnly = 1, bfDomainOnly = 2, bfAncestors = 8, bfComputers = 4096, bfPrinters = 8192 };
  static constexpr unsigned StatusTextFlag = 4;

  explicit TBrowseDirectoryDlg(QObject* parent = nullptr);
  ~TBrowseDirectoryDlg() override;

  QString Title;
  TRootFolder Root = idDesktopExpanded;
  unsigned Options = 0;  // TBrowseOption flags
  bool Center = true;
  std::function<void(TBrowseDirectoryDlg* sender, const QString& newSel)> OnSelChanged;
  std::function<void(TBrowseDirectoryDlg* sender)> OnCreate;

  const QString& Selection() const { return Selection_; }
  // Stored without a trailing separator ("/" or "\"), the root "/" aside.
  void SetSelection(const QString& path);
  const QString& StatusText() const { return StatusText_; }
  void SetStatusText(const QString& text);
  bool EnableOKButton() const { return EnableOKButton_; }
  void SetEnableOKButton(bool enable);

  // The browse flags the options stand for (plus the status line's).
  unsigned BrowseFlags() const { return Options | (StatusText_.isEmpty() ? 0u : StatusTextFlag); }
  // The folder browsing starts in for Root.
  static QString RootPath(TRootFolder root);

  // Shows the dialog; true when a folder was chosen, which becomes Selection.
  // Cancelled, Selection becomes empty.
  virtual bool Execute();
  // The open dialog (null when closed), for scripted runs and tests.
  QFileDialog* Dialog() const { return Dialog_; }

private:
  // Fires SelChanged when the folder the dialog would give has changed.
  void Refresh();
  void SelChanged(const QString& path);
  void ApplyOkButton();

  QString Selection_;
  QString StatusText_;
  QString LastSel_;
  bool EnableOKButton_ = false;
  QPointer<QFileDialog> Dialog_;
  QPointer<QLabel> Status_;
};
