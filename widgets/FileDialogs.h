#pragma once
// The pair of file dialogs behind a document program's File menu: new,
// open, save and save as, each asking first whether to save a modified
// document. The program binds the events to its document; this class only
// asks the questions and keeps the file name.

#include <QObject>
#include <QString>
#include <functional>

class QWidget;

class TFileDialogs : public QObject {
  Q_OBJECT

public:
  // Results of the operations.
  static constexpr int kDone = 1;
  static constexpr int kCancelled = 2;

  enum TAnswer { aYes, aNo, aCancel };

  explicit TFileDialogs(QWidget* parent = nullptr);
  ~TFileDialogs() override;

  QString DefaultFileName;
  // Extension without the dot ("MDL").
  const QString& Extension() const { return Extension_; }
  void SetExtension(const QString& extension);
  // At most 40 characters; sets the dialogs' titles and filters.
  const QString& Description() const { return Description_; }
  void SetDescription(const QString& description);
  const QString& FileName() const { return FileName_; }
  // A different name raises OnFileNameChange.
  void SetFileName(const QString& name);

  QString OpenTitle() const { return "Open " + Description_; }
  QString SaveTitle() const { return "Save " + Description_; }
  // The dialogs' filter, "Quake Model Files (*.MDL *.mdl)": the description
  // and the extension in both cases, since names here are case-sensitive.
  QString Filter() const;

  std::function<void(TFileDialogs* sender, bool& modified)> OnCheckModified;
  std::function<void(TFileDialogs* sender)> OnClear;
  std::function<void(TFileDialogs* sender)> OnFileNameChange;
  std::function<void(TFileDialogs* sender, const QString& fileName)> OnLoad;
  std::function<void(TFileDialogs* sender, const QString& fileName)> OnStore;

  // Each returns kDone or kCancelled. Errors of OnLoad and OnStore pass to
  // the caller; OnLoad failing puts the old file name back, and SaveAs
  // takes the new name only once OnStore has succeeded.
  int CanClose();
  int New();
  int Open();
  int OpenFile(const QString& name);
  int Save();
  int SaveAs();

  // The question, "<Description> modified, save changes ?".
  QString SaveQuestion() const { return Description_ + " modified, save changes ?"; }

  // What the dialogs and the question use; tests and scripted runs replace
  // them. An empty name means the dialog was cancelled.
  std::function<QString(QWidget* parent, const QString& title, const QString& start, const QString& filter)>
      AskOpenFileName;
  std::function<QString(QWidget* parent, const QString& title, const QString& start, const QString& filter)>
      AskSaveFileName;
  std::function<TAnswer(QWidget* parent, const QString& text)> AskSaveChanges;

private:
  // True when the document may be replaced: unmodified, answered No, or
  // saved after Yes.
  bool QueryModified();
  void Load(const QString& name);
  QString StartName() const { return FileName_.isEmpty() ? DefaultFileName : FileName_; }
  QWidget* ParentWidget() const;

  QString Description_;
  QString Extension_;
  QString FileName_;
};
