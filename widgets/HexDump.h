#pragma once
// A scrolling control that shows a memory buffer as rows of hex bytes, with
// an optional address column and character column. The layout, scrolling
// and keyboard rules live in archive/HexDump's THexDumpLayout; this widget
// measures its font, feeds sizes and events in and paints only the rows
// that are visible, so a buffer of any size repaints in constant time.

#include <QAbstractScrollArea>
#include <QColor>
#include <cstdint>

#include "archive/HexDump.h"

class THexDump : public QAbstractScrollArea {
  Q_OBJECT

public:
  enum TBorder { bsNone, bsSingle };

  explicit THexDump(QWidget* parent = nullptr);

  // The data is not owned and must outlive the control (or be replaced).
  // A null pointer shows only the background and ignores keys and clicks.
  void SetData(const uint8_t* data);
  void SetDataSize(int64_t bytes);
  const uint8_t* Data() const { return Layout_.Data(); }
  int64_t DataSize() const { return Layout_.DataSize(); }

  QColor AddressColor() const { return Colors_[0]; }
  QColor HexDataColor() const { return Colors_[1]; }
  QColor AnsiCharColor() const { return Colors_[2]; }
  QColor Color() const { return Background_; }
  void SetAddressColor(const QColor& c);
  void SetHexDataColor(const QColor& c);
  void SetAnsiCharColor(const QColor& c);
  void SetColor(const QColor& c);

  TBorder Border() const { return Border_; }
  void SetBorder(TBorder border);
  bool ShowAddress() const { return Layout_.ShowAddress(); }
  bool ShowAddressFromZero() const { return Layout_.ShowAddressFromZero(); }
  bool ShowCharacters() const { return Layout_.ShowCharacters(); }
  void SetShowAddress(bool v);
  void SetShowAddressFromZero(bool v);
  void SetShowCharacters(bool v);

  // Rows, bytes per row, top and current row, as laid out now.
  const THexDumpLayout& Layout() const { return Layout_; }

  QSize sizeHint() const override { return QSize(300, 200); }

protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

private:
  void MeasureFont();
  void Relayout();
  // Shows a change of the top row: a change of one row moves the picture
  // and repaints the uncovered row, any other repaints everything.
  void ShowTopRowChange(int64_t delta);
  void SyncScrollBar();

  THexDumpLayout Layout_;
  QColor Colors_[3] = {Qt::black, Qt::black, Qt::black};
  QColor Background_ = Qt::white;
  TBorder Border_ = bsSingle;
  bool Syncing_ = false;
};
