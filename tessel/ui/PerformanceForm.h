#pragma once
// "Rendering Performance": the timings of a frame view's last picture
// (whole frame, triangles), the achievable frame rate and the renderer's
// counters, refreshed twice a second while the window is shown.

#include <QPointer>
#include <QWidget>

class QLabel;
class QTimer;
class TMDLFramePaintBox;

class TPerformanceForm : public QWidget {
  Q_OBJECT

public:
  explicit TPerformanceForm(QWidget* parent = nullptr);

  // The view to watch (not owned; null: none). The owner detaches or
  // destroys this window before the view goes.
  void SetView(TMDLFramePaintBox* view);
  // Reads the view's figures into the labels.
  void Refresh();
  // The texts shown, by row: "Frame", "Triangles", "Rate", "Counters".
  QString Text(const QString& row) const;

  // "%.2f fps" for a time in milliseconds; "0.00 fps" when nothing was measured.
  static QString RateText(double ms);

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

private:
  TMDLFramePaintBox* View_ = nullptr;
  QTimer* Timer_ = nullptr;
  QLabel* Frame_ = nullptr;
  QLabel* Triangles_ = nullptr;
  QLabel* Rate_ = nullptr;
  QLabel* Counters_ = nullptr;
};
