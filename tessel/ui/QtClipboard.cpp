#include "tessel/ui/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "editor/SkinTransfer.h"
#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"

const QString TQtClipboard::kSkinMimeType = QStringLiteral("application/x-tessel-skin");

namespace {

bool SizeAllowed(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= TWinGBitmap::kMaxWidth && h <= TWinGBitmap::kMaxHeight;
}

QClipboard* Board() { return QGuiApplication::clipboard(); }

}  // namespace

bool TQtClipboard::HasText() const {
  const QMimeData* m = Board()->mimeData();
  return m && m->hasText();
}

std::string TQtClipboard::Text() const { return HasText() ? Board()->text().toStdString() : std::string(); }

void TQtClipboard::SetText(const std::string& text) { Board()->setText(QString::fromStdString(text)); }

bool TQtClipboard::HasBitmap() const {
  const QMimeData* m = Board()->mimeData();
  return m && (m->hasFormat(kSkinMimeType) || m->hasImage());
}

bool TQtClipboard::GetBitmap(TWinGBitmap& bitmap) const {
  const QMimeData* m = Board()->mimeData();
  if (!m) return false;
  // Our own format is exact, so it wins; when it is damaged the picture
  // beside it is not trusted either (it came from the same place).
  if (m->hasFormat(kSkinMimeType)) return DecodeSkin(m->data(kSkinMimeType), bitmap);
  if (!m->hasImage()) return false;
  return FromImage(qvariant_cast<QImage>(m->imageData()), bitmap);
}

void TQtClipboard::SetBitmap(const TWinGBitmap& bitmap) {
  auto* m = new QMimeData;
  m->setData(kSkinMimeType, EncodeSkin(bitmap));
  m->setImageData(ToImage(bitmap));
  Board()->setMimeData(m);
}

QByteArray TQtClipboard::EncodeSkin(const TWinGBitmap& bitmap) {
  return QByteArray::fromStdString(EncodeSkinTransfer(bitmap));
}

bool TQtClipboard::DecodeSkin(const QByteArray& data, TWinGBitmap& bitmap) {
  return DecodeSkinTransfer(std::string_view(data.constData(), static_cast<size_t>(data.size())), bitmap);
}

QImage TQtClipboard::ToImage(const TWinGBitmap& bitmap) {
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  if (w <= 0 || h <= 0) return QImage();
  QImage image(w, h, QImage::Format_Indexed8);
  QList<QRgb> colors(256);
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad q = bitmap.GetColorEntry(i);
    colors[i] = qRgb(QuadRed(q), QuadGreen(q), QuadBlue(q));
  }
  image.setColorTable(colors);
  for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), bitmap.ScanLine(y), static_cast<size_t>(w));
  return image;
}

bool TQtClipboard::FromImage(const QImage& image, TWinGBitmap& bitmap) {
  if (image.isNull() || !SizeAllowed(image.width(), image.height())) return false;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  if (rgb.isNull()) return false;
  const TPaletteObject& game = GamePalette().Handle();
  const int w = rgb.width(), h = rgb.height();
  TWinGBitmap result;
  result.SetSize(w, h);
  result.SetPalette(GamePalette().NewHandle());
  // Pictures repeat their colours, so each distinct one is searched once.
  std::unordered_map<QRgb, uint8_t> nearest;
  for (int y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    uint8_t* dst = result.ScanLine(y);
    for (int x = 0; x < w; ++x) {
      const QRgb c = src[x] & 0xFFFFFFu;
      auto it = nearest.find(c);
      if (it == nearest.end())
        it = nearest.emplace(c, static_cast<uint8_t>(game.NearestIndex(qRed(c), qGreen(c), qBlue(c)))).first;
      dst[x] = it->second;
    }
  }
  bitmap.Assign(result);
  return true;
}
