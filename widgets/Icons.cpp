#include "widgets/Icons.h"

#include <cstring>

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QString>
#include <QSvgRenderer>

namespace {

constexpr TProgramIconInfo kIcons[] = {
    // Files and program
    {"new", "document-new"},
    {"open", "document-open"},
    {"save", "document-save"},
    {"saveas", "document-save-as"},
    {"merge", nullptr},
    {"import", "document-import"},
    {"export", "document-export"},
    {"exit", "application-exit"},
    {"options", "preferences-system"},
    {"about", "help-about"},
    // Editor windows
    {"modelprops", nullptr},
    {"frameeditor", nullptr},
    {"skineditor", nullptr},
    {"coloreditor", nullptr},
    {"jointeditor", nullptr},
    // Tool palette
    {"tool-pointer", nullptr},
    {"tool-vertex", nullptr},
    {"tool-triangle", nullptr},
    {"tool-pen", nullptr},
    {"tool-dropper", nullptr},
    {"tool-fill", nullptr},
    {"tool-move", nullptr},
    {"tool-rotate", nullptr},
    {"tool-scale", nullptr},
    // Window arrangement and views
    {"tile-vertical", nullptr},
    {"tile-horizontal", nullptr},
    {"cascade", nullptr},
    {"view-single", nullptr},
    {"view-three", nullptr},
    {"zoom-in", "zoom-in"},
    {"zoom-out", "zoom-out"},
    {"snapshot", "camera-photo"},
    // Playback
    {"play", "media-playback-start"},
    {"stop", "media-playback-stop"},
    {"first", "go-first"},
    {"prev", "media-seek-backward"},
    {"next", "media-seek-forward"},
    {"last", "go-last"},
    // Editing
    {"copy", "edit-copy"},
    {"cut", "edit-cut"},
    {"paste", "edit-paste"},
    {"delete", "edit-delete"},
    {"undo", "edit-undo"},
    {"redo", "edit-redo"},
    // Frame editor
    {"render-wire", nullptr},
    {"render-solid", nullptr},
    {"render-texture", nullptr},
    {"resolution", nullptr},
    {"perspective", nullptr},
    {"spotlight", nullptr},
    {"snaplight", nullptr},
    {"skinrecorder", nullptr},
    {"backsides", nullptr},
    {"view-front", nullptr},
    {"view-back", nullptr},
    {"view-top", nullptr},
    {"view-bottom", nullptr},
    {"view-left", nullptr},
    {"view-right", nullptr},
    {"view-player", nullptr},
    // Skin texture editor
    {"paint-triangles", nullptr},
    {"recalc-skin", nullptr},
    {"rearrange-skin", nullptr},
    {"show-triangles", nullptr},
    {"shirt", nullptr},
    {"pants", nullptr},
    // Archive viewer
    {"archive", nullptr},
    {"extract", nullptr},
    {"hexdump", nullptr},
    {"textdump", nullptr},
    // The programs themselves
    {"tessel", nullptr},
    {"cairnbox", nullptr},
};

// The outline colour of the drawings, and what it becomes on a dark desktop,
// where the dark outline would vanish into the window.
constexpr char kInk[] = "#2e3440";
constexpr char kInkOnDark[] = "#d8dee9";

bool DarkPalette() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) &&
         QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

QIcon OwnIcon(const QString& file) {
  if (!QFile::exists(file)) return QIcon();
  if (!DarkPalette()) return QIcon(file);
  QFile in(file);
  if (!in.open(QIODevice::ReadOnly)) return QIcon();
  QSvgRenderer renderer(in.readAll().replace(kInk, kInkOnDark));
  if (!renderer.isValid()) return QIcon();
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 96, 128}) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    renderer.render(&p, QRectF(0, 0, size, size));
    p.end();
    icon.addPixmap(pm);
  }
  return icon;
}

}  // namespace

QIcon ProgramIcon(const char* name, const char* themeName) {
  const QString file = QStringLiteral(":/icons/%1.svg").arg(QString::fromLatin1(name));
  QIcon own = OwnIcon(file);
  if (themeName && QIcon::hasThemeIcon(QString::fromLatin1(themeName)))
    return QIcon::fromTheme(QString::fromLatin1(themeName), own);
  return own;
}

std::span<const TProgramIconInfo> ProgramIcons() { return kIcons; }

const char* ProgramIconThemeName(const char* name) {
  if (!name) return nullptr;
  for (const TProgramIconInfo& info : kIcons)
    if (std::strcmp(info.Name, name) == 0) return info.ThemeName;
  return nullptr;
}
