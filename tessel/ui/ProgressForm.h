#pragma once
// The progress window: a small tool window on top of the main window that
// shows what a long operation is doing. Main steps go to the first line and
// bar; detail steps (descriptions beginning with ">") to the second.
//
// Making one also routes the progressor's screen cursor to Qt's override
// cursor, so the busy cursor shows while an operation runs.

#include <QWidget>

#include "core/Progress.h"

class QLabel;
class QProgressBar;

class TProgressForm : public QWidget {
  Q_OBJECT

public:
  explicit TProgressForm(QWidget* parent = nullptr);
  ~TProgressForm() override;

  TProgressObserver& Observer() { return Observer_; }
  QLabel* MainLabel() const { return MainLabel_; }
  QProgressBar* MainBar() const { return MainBar_; }
  QLabel* DetailLabel() const { return DetailLabel_; }
  QProgressBar* DetailBar() const { return DetailBar_; }

private:
  void Started();
  void DescriptionChanged();
  void ProgressChanged();
  void Finished();
  // Lets the window draw itself while the operation keeps the thread busy.
  void Pump();
  void ClearLines();

  TProgressObserver Observer_;
  QLabel* MainLabel_ = nullptr;
  QProgressBar* MainBar_ = nullptr;
  QLabel* DetailLabel_ = nullptr;
  QProgressBar* DetailBar_ = nullptr;
  // Which bar position changes move: the line described last.
  bool DetailLast_ = false;
};

// Shows the progressor's screen cursors (core/Progress.h identifiers) as Qt's
// application override cursor; crDefault removes ours again. Installing it
// twice is harmless; RemoveQtCursorHook restores the cursor and detaches.
void InstallQtCursorHook();
void RemoveQtCursorHook();
