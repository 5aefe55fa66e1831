// The program's own icons and cursors: every one named in the code is in the
// resources, draws something legible at toolbar sizes, and every tool
// cursor's hot spot sits on its drawing.
//
// TESSEL_ART_SHEET=out.png draws every icon (16, 24, 48 px, on light and
// dark ground) and cursor (with its hot spot in red) onto one picture.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPalette>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QSet>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <cstdlib>
#include <cstring>

#include "widgets/Cursors.h"
#include "widgets/Icons.h"

namespace {

struct TInk {
  int Opaque = 0;     // pixels of alpha 128 and more
  int Colours = 0;    // distinct colours among them
  bool Dark = false;  // an opaque pixel darker than mid grey
  bool Light = false; // an opaque pixel lighter than mid grey
};

TInk Measure(const QImage& picture) {
  const QImage img = picture.convertToFormat(QImage::Format_ARGB32);
  TInk ink;
  QSet<QRgb> colours;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QRgb px = img.pixel(x, y);
      if (qAlpha(px) < 128) continue;
      ++ink.Opaque;
      colours.insert(px);
      if (qGray(px) < 96) ink.Dark = true;
      if (qGray(px) >= 160) ink.Light = true;
    }
  ink.Colours = colours.size();
  return ink;
}

QString IconFile(const char* name) { return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)); }

QString CursorFile(TCursorId id) {
  return QStringLiteral(":/cursors/%1.svg").arg(QString::fromLatin1(ToolCursorName(id)).toLower());
}

TEST(ArtTest, EveryIconIsDrawnLegiblyAtToolbarSizes) {
  ASSERT_GE(ProgramIcons().size(), 50u);
  for (const TProgramIconInfo& info : ProgramIcons()) {
    SCOPED_TRACE(info.Name);
    ASSERT_TRUE(QFile::exists(IconFile(info.Name)));
    QSvgRenderer renderer(IconFile(info.Name));
    ASSERT_TRUE(renderer.isValid());
    // One grid for the tool bars; the programs' own icons are drawn larger.
    const bool program = !std::strcmp(info.Name, "tessel") || !std::strcmp(info.Name, "cairnbox");
    EXPECT_EQ(renderer.viewBox(), program ? QRect(0, 0, 48, 48) : QRect(0, 0, 24, 24));

    const QIcon icon = ProgramIcon(info.Name);
    ASSERT_FALSE(icon.isNull());
    for (int size : {16, 24}) {
      SCOPED_TRACE(size);
      const QImage img = icon.pixmap(size, size).toImage();
      ASSERT_EQ(img.size(), QSize(size, size));
      const TInk ink = Measure(img);
      // A mark a user can see, not a speck and not a filled square.
      EXPECT_GE(ink.Opaque, size * size / 10);
      EXPECT_LT(ink.Opaque, size * size);
      EXPECT_GE(ink.Colours, 2);
    }
  }
}

TEST(ArtTest, IconTableAndResourcesAgree) {
  QSet<QString> named;
  for (const TProgramIconInfo& info : ProgramIcons()) {
    EXPECT_FALSE(named.contains(QLatin1String(info.Name))) << info.Name << " listed twice";
    named.insert(QLatin1String(info.Name));
  }
  // A drawing nobody can ask for is a misspelt name in the table.
  const QStringList files = QDir(QStringLiteral(":/icons")).entryList({QStringLiteral("*.svg")});
  ASSERT_FALSE(files.isEmpty());
  for (const QString& file : files)
    EXPECT_TRUE(named.contains(file.chopped(4))) << file.toStdString() << " is not in the icon table";
  for (const char* required : {"new", "open", "save", "saveas", "merge", "modelprops", "frameeditor",
                               "skineditor", "coloreditor", "jointeditor", "exit", "tool-pointer",
                               "tool-vertex", "tool-triangle", "tool-pen", "tool-dropper", "tool-fill",
                               "tool-move", "tool-rotate", "tool-scale", "tile-vertical",
                               "tile-horizontal", "cascade", "about", "options", "import", "export",
                               "zoom-in", "zoom-out", "play", "stop", "first", "prev", "next", "last",
                               "copy", "cut", "paste", "delete", "undo", "redo", "snapshot",
                               "view-single", "view-three", "hexdump", "textdump", "extract",
                               "archive", "tessel", "cairnbox"})
    EXPECT_TRUE(named.contains(QLatin1String(required))) << required;

  EXPECT_STREQ(ProgramIconThemeName("save"), "document-save");
  EXPECT_STREQ(ProgramIconThemeName("play"), "media-playback-start");
  EXPECT_EQ(ProgramIconThemeName("tool-pen"), nullptr);
  EXPECT_EQ(ProgramIconThemeName("no-such-icon"), nullptr);
  EXPECT_EQ(ProgramIconThemeName(nullptr), nullptr);
  EXPECT_TRUE(ProgramIcon("no-such-icon").isNull());
}

TEST(ArtTest, ThemeIconIsPreferredWhereTheThemeHasOne) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("arttest/scalable/actions")));
  {
    QFile index(dir.filePath(QStringLiteral("arttest/index.theme")));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=ArtTest\nDirectories=scalable/actions\n\n"
                "[scalable/actions]\nSize=24\nMinSize=8\nMaxSize=256\nType=Scalable\n");
  }
  // The theme's save icon: a plain red square, unlike ours.
  {
    QFile svg(dir.filePath(QStringLiteral("arttest/scalable/actions/document-save.svg")));
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 24 24\">"
              "<rect width=\"24\" height=\"24\" fill=\"#ff0000\"/></svg>");
  }
  const QStringList oldPaths = QIcon::themeSearchPaths();
  const QString oldTheme = QIcon::themeName();
  QIcon::setThemeSearchPaths({dir.path()});
  QIcon::setThemeName(QStringLiteral("arttest"));

  const QImage themed = ProgramIcon("save", "document-save").pixmap(24, 24).toImage();
  const QImage own = ProgramIcon("open", "document-open").pixmap(24, 24).toImage();

  QIcon::setThemeName(oldTheme);
  QIcon::setThemeSearchPaths(oldPaths);

  ASSERT_FALSE(themed.isNull());
  EXPECT_EQ(themed.pixel(12, 12), qRgb(255, 0, 0));
  // Without a theme icon of that name ours is used.
  ASSERT_FALSE(own.isNull());
  EXPECT_GE(Measure(own).Colours, 2);
}

TEST(ArtTest, OutlinesTurnLightUnderADarkPalette) {
  // "merge" is outline and blue only: no light pixel unless the outline is.
  const QPalette old = QGuiApplication::palette();
  EXPECT_FALSE(Measure(ProgramIcon("merge").pixmap(24, 24).toImage()).Light);
  QPalette dark = old;
  dark.setColor(QPalette::Window, QColor(40, 40, 44));
  QGuiApplication::setPalette(dark);
  const TInk onDark = Measure(ProgramIcon("merge").pixmap(24, 24).toImage());
  const TInk saveOnDark = Measure(ProgramIcon("save").pixmap(16, 16).toImage());
  QGuiApplication::setPalette(old);
  EXPECT_TRUE(onDark.Light);
  EXPECT_GE(onDark.Opaque, 24 * 24 / 10);
  EXPECT_GE(saveOnDark.Colours, 2);
}

TEST(ArtTest, EveryToolCursorIsDrawnAndPointsWithItsHotSpot) {
  QSet<QString> names;
  for (TCursorId id = 1; id <= 16; ++id) {
    SCOPED_TRACE(ToolCursorName(id));
    ASSERT_STRNE(ToolCursorName(id), "");
    names.insert(QLatin1String(ToolCursorName(id)));
    ASSERT_TRUE(QFile::exists(CursorFile(id)));
    QSvgRenderer renderer(CursorFile(id));
    EXPECT_EQ(renderer.viewBox(), QRect(0, 0, 32, 32));

    const QCursor cursor = ToolCursor(id);
    ASSERT_EQ(cursor.shape(), Qt::BitmapCursor);
    const QImage img = cursor.pixmap().toImage().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(img.size(), QSize(32, 32));
    const TInk ink = Measure(img);
    EXPECT_GE(ink.Opaque, 32 * 32 / 12);
    // Black edge and white body, so the cursor reads on any background.
    EXPECT_TRUE(ink.Dark);
    EXPECT_TRUE(ink.Light);

    const QPoint hot = cursor.hotSpot();
    ASSERT_TRUE(img.rect().contains(hot)) << hot.x() << "," << hot.y();
    EXPECT_GE(qAlpha(img.pixel(hot)), 192) << "hot spot " << hot.x() << "," << hot.y() << " is off the drawing";
  }
  EXPECT_EQ(names.size(), 16);
  const QStringList files = QDir(QStringLiteral(":/cursors")).entryList({QStringLiteral("*.svg")});
  EXPECT_EQ(files.size(), 16);
  for (const QString& file : files) EXPECT_TRUE(names.contains(file.chopped(4).toUpper())) << file.toStdString();
}

TEST(ArtTest, ZeroNegativeAndUnknownIdsGiveSystemCursors) {
  struct TCase {
    TCursorId Id;
    Qt::CursorShape Shape;
  };
  for (const TCase& c : {TCase{0, Qt::ArrowCursor}, TCase{-2, Qt::ArrowCursor}, TCase{-3, Qt::CrossCursor},
                         TCase{-4, Qt::IBeamCursor}, TCase{-11, Qt::WaitCursor},
                         TCase{-21, Qt::PointingHandCursor}, TCase{-22, Qt::SizeAllCursor},
                         TCase{-1000, Qt::ArrowCursor}, TCase{17, Qt::ArrowCursor}}) {
    SCOPED_TRACE(c.Id);
    EXPECT_EQ(ToolCursor(c.Id).shape(), c.Shape);
  }
  for (TCursorId id : {0, -1, 17, 1000}) EXPECT_STREQ(ToolCursorName(id), "") << id;
  EXPECT_STREQ(ToolCursorName(1), "BRUSH");
  EXPECT_STREQ(ToolCursorName(16), "ROTOBJ");
}

TEST(ArtTest, ContactSheet) {
  const char* out = std::getenv("TESSEL_ART_SHEET");
  if (!out || !*out) GTEST_SKIP() << "set TESSEL_ART_SHEET=out.png to draw the contact sheet";
  const int cell = 80, perRow = 10;
  const auto icons = ProgramIcons();
  const int iconRows = (int(icons.size()) + perRow - 1) / perRow;
  QImage sheet(perRow * cell * 2, (iconRows + 2) * cell, QImage::Format_ARGB32);
  sheet.fill(QColor(240, 240, 240));
  QPainter p(&sheet);
  p.fillRect(perRow * cell, 0, perRow * cell, iconRows * cell, QColor(50, 54, 62));
  const QPalette light = QGuiApplication::palette();
  QPalette dark = light;
  dark.setColor(QPalette::Window, QColor(50, 54, 62));
  for (int side = 0; side < 2; ++side) {
    QGuiApplication::setPalette(side ? dark : light);
    for (int i = 0; i < int(icons.size()); ++i) {
      const QIcon icon = ProgramIcon(icons[i].Name);
      const int x = side * perRow * cell + (i % perRow) * cell, y = (i / perRow) * cell;
      p.drawPixmap(x + 2, y + 2, icon.pixmap(16, 16));
      p.drawPixmap(x + 2, y + 22, icon.pixmap(24, 24));
      p.drawPixmap(x + 30, y + 2, icon.pixmap(48, 48));
    }
  }
  QGuiApplication::setPalette(light);
  for (TCursorId id = 1; id <= 16; ++id) {
    const QCursor c = ToolCursor(id);
    const int x = (id - 1) % 8 * cell * 2 + 4, y = (iconRows + (id - 1) / 8) * cell;
    p.fillRect(x, y, 32, 32, QColor(50, 54, 62));
    p.drawPixmap(x, y, c.pixmap());
    p.drawPixmap(x + 36, y, c.pixmap().scaled(64, 64));
    p.fillRect(x + 36 + c.hotSpot().x() * 2, y + c.hotSpot().y() * 2, 2, 2, Qt::red);
    p.fillRect(x, y + 34, 32, 28, Qt::white);
    p.drawPixmap(x, y + 34, c.pixmap().copy(0, 0, 32, 28));
  }
  p.end();
  ASSERT_TRUE(sheet.save(QString::fromLocal8Bit(out)));
}

}  // namespace
