#pragma once
// The main window of tessel.

#include <QMainWindow>
#include <QStringList>

class QMdiArea;

class TModelViewer : public QMainWindow {
  Q_OBJECT

public:
  // `arguments` are the command line's arguments after the program name.
  explicit TModelViewer(const QStringList& arguments = {}, QWidget* parent = nullptr);
  ~TModelViewer() override;

  QMdiArea* MdiArea() const { return MdiArea_; }

private:
  QMdiArea* MdiArea_ = nullptr;
};
