#pragma once
// The main window's options dialog ("&Edit" in the Options menu): one page
// per part of the program. The general page is always there; the pages of
// the editor windows join when those windows exist.

#include <QDialog>

class QTabWidget;
class TModelViewerOptions;

class TOptionsDialog : public QDialog {
  Q_OBJECT

public:
  explicit TOptionsDialog(QWidget* parent = nullptr);

  TModelViewerOptions* General() const { return General_; }
  QTabWidget* Pages() const { return Pages_; }
  // Adds an editor window's page after the general one.
  void AddPage(QWidget* page, const QString& caption);

private:
  QTabWidget* Pages_ = nullptr;
  TModelViewerOptions* General_ = nullptr;
};
