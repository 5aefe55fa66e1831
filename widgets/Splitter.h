#pragma once
// Thin panels the user drags to resize the control beside them. While the
// drag lasts a band in SplitColor follows the pointer, kept inside the
// parent's client area; only on release does the neighbour change size.
// The neighbour gets a fixed width (THorzSplit) or height (TVertSplit), so
// the change holds when it sits in a layout.

#include <QColor>
#include <QFrame>
#include <QPointer>
#include <functional>

class TSplitter : public QFrame {
  Q_OBJECT

public:
  // The thickness of a splitter, in pixels.
  static constexpr int kThickness = 5;

  const QColor& SplitColor() const { return SplitColor_; }
  void SetSplitColor(const QColor& color);

  // Told after every completed drag with the distance moved (0 for a drag
  // that ends where it started).
  std::function<void(TSplitter* sender, int delta)> OnSplitChanged;

  // The band while a drag lasts, null otherwise (for tests and styling).
  QWidget* Band() const { return Dragging_ ? Band_ : nullptr; }
  // The band's offset from the splitter's own place during a drag.
  int BandOffset() const { return Offset_; }

signals:
  void splitChanged(int delta);

protected:
  TSplitter(Qt::Orientation orientation, QWidget* parent);

  // Resizes the neighbour by the distance dragged.
  virtual void ApplyDistance(int distance) = 0;

  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

private:
  int Along(const QPointF& p) const;
  void PlaceBand();

  Qt::Orientation Orientation_;
  QColor SplitColor_;
  QWidget* Band_ = nullptr;  // a child of the parent, made on first drag
  bool Dragging_ = false;
  int Grab_ = 0;    // where the button went down, along the drag axis
  int Offset_ = 0;
};

// Between two side-by-side areas; moves left and right. Meant for a
// horizontal layout or the left of its parent.
class THorzSplit : public TSplitter {
  Q_OBJECT

public:
  explicit THorzSplit(QWidget* parent = nullptr);

  // The control whose width follows the drag; cleared when it is destroyed.
  QWidget* LeftControl() const { return LeftControl_; }
  void SetLeftControl(QWidget* control) { LeftControl_ = control; }
  // The control lies on the right: a drag to the right narrows it.
  bool IsRight() const { return IsRight_; }
  void SetIsRight(bool isRight) { IsRight_ = isRight; }

protected:
  void ApplyDistance(int distance) override;

private:
  QPointer<QWidget> LeftControl_;
  bool IsRight_ = false;
};

// Between two stacked areas; moves up and down.
class TVertSplit : public TSplitter {
  Q_OBJECT

public:
  explicit TVertSplit(QWidget* parent = nullptr);

  // The control whose height follows the drag; cleared when it is destroyed.
  QWidget* TopControl() const { return TopControl_; }
  void SetTopControl(QWidget* control) { TopControl_ = control; }

protected:
  void ApplyDistance(int distance) override;

private:
  QPointer<QWidget> TopControl_;
};
