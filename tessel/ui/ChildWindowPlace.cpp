#include "tessel/ui/ChildWindowPlace.h"

#include <QMdiSubWindow>
#include <exception>

#include "core/IniFile.h"

const QWidget* ChildFrameOf(const QWidget* view) {
  return qobject_cast<QMdiSubWindow*>(view->parentWidget()) ? view->parentWidget() : view;
}

void WriteChildWindowBounds(TIniFile& ini, std::string_view section, const QWidget* view) {
  const QWidget* frame = ChildFrameOf(view);
  const bool maximized = frame->isMaximized();
  if (!maximized) {
    const QRect g = frame->geometry();
    ini.WriteInteger(section, "Left", g.left());
    ini.WriteInteger(section, "Top", g.top());
    ini.WriteInteger(section, "Width", g.width());
    ini.WriteInteger(section, "Height", g.height());
  }
  ini.WriteBool(section, "Maximized", maximized);
}

void PlaceChildWindow(QWidget* view, const QRect& bounds, bool maximized) {
  auto* frame = qobject_cast<QMdiSubWindow*>(view->parentWidget());
  if (!frame) return;
  if (bounds.width() >= 100 && bounds.height() >= 80) frame->setGeometry(bounds);
  if (maximized) frame->showMaximized();
}

void SaveChildWindowSettings(QWidget* view, const std::function<void(TIniFile&)>& write,
                             const std::function<void(QWidget*, const QString&)>& showError) {
  if (ChildFrameOf(view)->isMinimized()) return;
  try {
    TIniFile ini(SettingsFileName());
    write(ini);
    ini.UpdateFile();
  } catch (const std::exception& e) {
    showError(view, QString("The settings could not be saved: ") + QString::fromUtf8(e.what()));
  }
}
