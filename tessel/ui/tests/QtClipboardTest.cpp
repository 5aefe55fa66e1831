// The desktop clipboard as the editing commands use it: texts, skins in our
// own exact format and as pictures for other programs, pictures from other
// programs, and damaged data.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"
#include "tessel/ui/QtClipboard.h"

namespace {

// A w x h bitmap whose pixel (x, y) is (x * 7 + y * 13) & 255, with a
// colour table that is not the game palette (so an exact copy is told apart
// from one remapped into the game colours).
void MakeBitmap(TWinGBitmap& b, int w, int h) {
  b.SetSize(w, h);
  for (int i = 0; i < 256; ++i)
    b.SetColorEntry(i, MakeRGBQuad(static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i / 2)));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = static_cast<uint8_t>((x * 7 + y * 13) & 255);
}

bool SamePixels(const TWinGBitmap& a, const TWinGBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight()) return false;
  for (int y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.ScanLine(y), b.ScanLine(y), static_cast<size_t>(a.GetWidth())) != 0) return false;
  return true;
}

void PutPrivate(const QByteArray& data, const QImage& image = QImage()) {
  auto* m = new QMimeData;
  m->setData(TQtClipboard::kSkinMimeType, data);
  if (!image.isNull()) m->setImageData(image);
  QGuiApplication::clipboard()->setMimeData(m);
}

class QtClipboardTest : public ::testing::Test {
protected:
  void SetUp() override { QGuiApplication::clipboard()->clear(); }
  TQtClipboard Board;
};

TEST_F(QtClipboardTest, TextBothWaysAndReplacesTheSkin) {
  EXPECT_FALSE(Board.HasText());
  EXPECT_EQ(Board.Text(), "");
  TWinGBitmap skin;
  MakeBitmap(skin, 8, 4);
  Board.SetBitmap(skin);
  Board.SetText("frame 12 \xC3\xA9");
  EXPECT_TRUE(Board.HasText());
  EXPECT_EQ(Board.Text(), "frame 12 \xC3\xA9");
  EXPECT_FALSE(Board.HasBitmap());
  EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8("frame 12 \xC3\xA9"));
  // A text another program put there.
  QGuiApplication::clipboard()->setText("from elsewhere");
  EXPECT_EQ(Board.Text(), "from elsewhere");
}

TEST_F(QtClipboardTest, SkinComesBackExactlyAndOthersGetAPicture) {
  TWinGBitmap skin;
  MakeBitmap(skin, 37, 11);  // an odd width: rows are padded inside the bitmap
  Board.SetBitmap(skin);
  EXPECT_TRUE(Board.HasBitmap());

  TWinGBitmap back;
  ASSERT_TRUE(Board.GetBitmap(back));
  EXPECT_TRUE(SamePixels(skin, back));
  for (int i : {0, 1, 100, 255}) EXPECT_EQ(back.GetColorEntry(i), skin.GetColorEntry(i)) << i;

  const QImage picture = QGuiApplication::clipboard()->image();
  ASSERT_FALSE(picture.isNull());
  ASSERT_EQ(picture.size(), QSize(37, 11));
  for (auto [x, y] : {std::pair{0, 0}, {36, 0}, {5, 10}, {36, 10}}) {
    const TRGBQuad q = skin.GetColorEntry(skin.ScanLine(y)[x]);
    EXPECT_EQ(picture.pixel(x, y) & 0xFFFFFFu, qRgb(QuadRed(q), QuadGreen(q), QuadBlue(q)) & 0xFFFFFFu) << x << "," << y;
  }
}

TEST_F(QtClipboardTest, ForeignPictureIsBroughtIntoTheGamePalette) {
  const TWinGPalette& game = GamePalette();
  // Exact game colours and one in between, in a picture with alpha.
  const TRGBQuad c5 = game.GetColor(5), c200 = game.GetColor(200);
  QImage image(3, 2, QImage::Format_ARGB32);
  image.setPixel(0, 0, qRgb(QuadRed(c5), QuadGreen(c5), QuadBlue(c5)));
  image.setPixel(1, 0, qRgb(QuadRed(c200), QuadGreen(c200), QuadBlue(c200)));
  image.setPixel(2, 0, qRgb(QuadRed(c200) + 1 > 255 ? 255 : QuadRed(c200) + 1, QuadGreen(c200), QuadBlue(c200)));
  image.setPixel(0, 1, qRgb(0, 0, 0));
  image.setPixel(1, 1, qRgb(255, 255, 255));
  image.setPixel(2, 1, qRgba(0, 0, 0, 0));
  QGuiApplication::clipboard()->setImage(image);
  ASSERT_TRUE(Board.HasBitmap());

  TWinGBitmap b;
  ASSERT_TRUE(Board.GetBitmap(b));
  ASSERT_EQ(b.GetWidth(), 3);
  ASSERT_EQ(b.GetHeight(), 2);
  const TPaletteObject& nearest = game.Handle();
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const QRgb c = image.pixel(x, y);
      EXPECT_EQ(b.ScanLine(y)[x], nearest.NearestIndex(qRed(c), qGreen(c), qBlue(c))) << x << "," << y;
    }
  EXPECT_EQ(b.GetColorEntry(200) & 0xFFFFFFu, c200 & 0xFFFFFFu);
}

TEST_F(QtClipboardTest, DamagedOrOversizedDataIsRefused) {
  TWinGBitmap skin;
  MakeBitmap(skin, 16, 8);
  const QByteArray good = TQtClipboard::EncodeSkin(skin);
  auto withSize = [&](uint32_t w, uint32_t h) {
    QByteArray d = good;
    for (int i = 0; i < 4; ++i) {
      d[8 + i] = static_cast<char>((w >> (8 * i)) & 0xFF);
      d[12 + i] = static_cast<char>((h >> (8 * i)) & 0xFF);
    }
    return d;
  };
  QByteArray badMagic = good;
  badMagic[0] = 'X';
  QByteArray badVersion = good;
  badVersion[4] = 9;
  const struct {
    const char* Name;
    QByteArray Data;
  } cases[] = {
      {"empty", QByteArray()},
      {"header only", good.left(16)},
      {"truncated pixels", good.left(good.size() - 1)},
      {"trailing bytes", good + QByteArray(1, '\0')},
      {"wrong magic", badMagic},
      {"wrong version", badVersion},
      {"zero width", withSize(0, 8)},
      {"huge width", withSize(0xFFFFFFFFu, 8)},
      {"huge height", withSize(16, 0x7FFFFFFFu)},
      {"claims more than it holds", withSize(32, 8)},
  };
  for (const auto& c : cases) {
    TWinGBitmap target;
    MakeBitmap(target, 2, 2);
    PutPrivate(c.Data, TQtClipboard::ToImage(skin));
    EXPECT_FALSE(Board.GetBitmap(target)) << c.Name;
    EXPECT_EQ(target.GetWidth(), 2) << c.Name << ": the bitmap must stay untouched";
  }
  QGuiApplication::clipboard()->clear();
  EXPECT_FALSE(Board.HasBitmap());
  PutPrivate(good);
  TWinGBitmap back;
  EXPECT_TRUE(Board.GetBitmap(back));
  EXPECT_TRUE(SamePixels(skin, back));
}

TEST_F(QtClipboardTest, PicturesBeyondTheBitmapLimitsAreRefused) {
  TWinGBitmap b;
  EXPECT_FALSE(TQtClipboard::FromImage(QImage(), b));
  EXPECT_FALSE(TQtClipboard::FromImage(QImage(4, TWinGBitmap::kMaxHeight + 1, QImage::Format_RGB32), b));
  QImage tallest(2, TWinGBitmap::kMaxHeight, QImage::Format_RGB32);
  tallest.fill(Qt::black);
  EXPECT_TRUE(TQtClipboard::FromImage(tallest, b));
  EXPECT_EQ(b.GetHeight(), TWinGBitmap::kMaxHeight);
}

}  // namespace
