#pragma once
// Dockable tool bars on QMainWindow's own docking: the user drags a bar to
// another side or off the sides to float it, double-clicks its body to
// switch between docked and floating. What QToolBar lacks is added here:
// allowed sides as a set, visibility and dock notifications as events, and
// a remembered place in the user's settings (QSettings, user scope):
//
//   <RegistryKey>/<objectName>/DockedTo   "TopDocks", "BottomDocks",
//                                         "LeftDocks", "RightDocks", or ""
//                                         when floating
//                             /DockLine   the row of bars in that side, from 0
//                             /DockPos    the offset along the row, pixels
//                             /Left, Top, Width, Height   a floating bar's window
//
// Qt keeps no free offset within a row, so DockPos restores the order of
// the bars in their row; rows are rebuilt with tool-bar breaks.

#include <QMainWindow>
#include <QRect>
#include <QToolBar>
#include <functional>
#include <initializer_list>
#include <optional>

#include "core/Exception.h"

TESSEL_DECLARE_EXCEPTION(EDockError, Exception);

enum TDockPos { dpTop, dpBottom, dpLeft, dpRight };

// A set of sides.
class TUsedPos {
public:
  TUsedPos() = default;
  TUsedPos(std::initializer_list<TDockPos> sides) {
    for (TDockPos p : sides) Bits_ |= 1u << p;
  }
  static TUsedPos All() { return {dpTop, dpBottom, dpLeft, dpRight}; }
  bool Contains(TDockPos p) const { return Bits_ & (1u << p); }
  bool operator==(const TUsedPos&) const = default;

private:
  unsigned Bits_ = 0;
};

// The layout metrics all bars of the program share. Setting one applies to
// every bar at once; the main window sets 24 x 24 controls and a horizontal
// spacing of 3.
struct TDockMetrics {
  static int ControlHeight;      // 22
  static int ControlWidth;       // 22
  static int HorizontalSpacing;  // 6
  static int VerticalSpacing;    // 3
  static int LineHeight() { return 2 * VerticalSpacing + ControlHeight; }
  static int ColumnWidth() { return 2 * HorizontalSpacing + ControlWidth; }
  static void SetControlSize(int width, int height);
  static void SetSpacing(int horizontal, int vertical);
};

// Where a bar is: docked on a side (row and offset) or floating.
struct TBarPlace {
  std::optional<TDockPos> DockedTo;  // none: floating
  int DockLine = 0;
  int DockPos = 0;
  QRect Floating;  // the floating window, when floating
};

class TXToolBar : public QToolBar {
  Q_OBJECT

public:
  // The dock areas' names in the settings.
  static QString DockName(TDockPos side);
  static std::optional<TDockPos> DockFromName(const QString& name);

  // `owner` must be a QMainWindow (otherwise EDockError "<name> XToolBar
  // must be owned by a form"). The bar starts in the top area.
  TXToolBar(const QString& name, QWidget* owner, const QString& caption = QString());
  ~TXToolBar() override;

  QMainWindow* Form() const { return Form_; }

  QString Caption() const { return windowTitle(); }
  void SetCaption(const QString& caption);

  TUsedPos AllowedDock() const { return AllowedDock_; }
  void SetAllowedDock(TUsedPos sides);

  // The side the bar sits on; none while floating.
  std::optional<TDockPos> DockedTo() const;
  // Docks into `side` (at DockLine and DockPos) or floats; a side the bar
  // may not use floats it.
  void SetDockedTo(std::optional<TDockPos> side);
  int DockLine() const { return Place().DockLine; }
  int DockPos() const { return Place().DockPos; }
  void SetDockLine(int line) { WantLine_ = line; }
  void SetDockPos(int pos) { WantPos_ = pos; }
  // The bar's place now.
  TBarPlace Place() const;
  // Moves the bar; the other bars of the side keep their order.
  void SetPlace(const TBarPlace& place);

  // "Software\MyCompany\MyApp\ToolBars" unless set; "\" and "/" both part
  // the groups.
  const QString& RegistryKey() const { return RegistryKey_; }
  void SetRegistryKey(const QString& key) { RegistryKey_ = key; }
  bool AutoSavePosition() const { return AutoSavePosition_; }
  // The bar saves its place whenever its form is asked to close; the form
  // loads the places at start (LoadPositions).
  void SetAutoSavePosition(bool on) { AutoSavePosition_ = on; }

  void SavePosition() const;
  // Restores the saved place; nothing saved, or a side the form does not
  // have, leaves the bar where it is. Out-of-range numbers are limited.
  void LoadPosition();
  bool HasSavedPosition() const;
  // The saved place (nothing when none or unusable).
  std::optional<TBarPlace> SavedPlace() const;

  // Every bar of `form` in one call: loading restores the saved rows
  // together, so their order does not depend on the order of loading.
  static void LoadPositions(QMainWindow* form);
  static void SavePositions(QMainWindow* form);
  static QList<TXToolBar*> BarsOf(QMainWindow* form);
  // Places several bars of one form at once.
  static void ApplyPlaces(QMainWindow* form, const QList<QPair<TXToolBar*, TBarPlace>>& places);

  // Told when the bar is shown or hidden (for View-menu check marks), when
  // it changes side or floats, and when it turns between horizontal and
  // vertical.
  std::function<void(TXToolBar* sender)> OnVisibleChanged;
  std::function<void(TXToolBar* sender)> OnDockChanged;
  std::function<void(TXToolBar* sender)> OnVerticalDock;

  void ApplyMetrics();

signals:
  void visibleChanged(bool visible);
  void dockChanged();

protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
  static QMainWindow* CheckOwner(const QString& name, QWidget* owner);
  QString SettingsGroup() const;
  void TellVisibility();
  void TellDock();

  QMainWindow* Form_;
  TUsedPos AllowedDock_ = TUsedPos::All();
  QString RegistryKey_ = QStringLiteral("Software\\MyCompany\\MyApp\\ToolBars");
  bool AutoSavePosition_ = false;
  int WantLine_ = 0;
  int WantPos_ = 0;
  TDockPos LastSide_ = dpTop;  // for toggling back from floating
  QRect LastFloating_;
  bool Moving_ = false;  // our own re-docking hides and shows the bar
  bool ToldVisible_ = true;
  std::optional<TDockPos> ToldSide_ = dpTop;
};
