#pragma once
// What the editor windows inside the main window share about their place:
// the bounds and maximised state kept in their settings section, applied
// once when first shown, and their settings written when they close.

#include <QRect>
#include <QString>
#include <functional>
#include <string_view>

class QWidget;
class TIniFile;

// The frame a view lives in: its MDI sub-window, or the view itself.
const QWidget* ChildFrameOf(const QWidget* view);

// "Left", "Top", "Width", "Height" (unless maximised) and "Maximized".
void WriteChildWindowBounds(TIniFile& ini, std::string_view section, const QWidget* view);

// Gives the view's sub-window the stored bounds (bounds too small to work
// with, from damaged settings, are not used) and maximises it when stored so.
void PlaceChildWindow(QWidget* view, const QRect& bounds, bool maximized);

// Writes the view's settings through `write` unless the window is minimised
// (it keeps what it had then); a failure goes to `showError`.
void SaveChildWindowSettings(QWidget* view, const std::function<void(TIniFile&)>& write,
                             const std::function<void(QWidget*, const QString&)>& showError);
