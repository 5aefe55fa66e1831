#include "tessel/ui/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "raster/ColorTables.h"
#include "raster/WinGBitmap.h"

const QString TQtClipboard::kSkinMimeType = QStringLiteral("application/x-tessel-skin");

namespace {

// Our format: "TSKN", a version, width and height (32-bit little-endian
// each), the 256 colour-table quads (blue, green, red, flags), then the
// indices row by row from the top, without padding.
constexpr char kMagic[4] = {'T', 'S', 'K', 'N'};
constexpr uint32_t kVersion = 1;
constexpr int kHeaderSize = 16;

void PutU32(QByteArray& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.append(static_cast<char>((v >> (8 * i)) & 0xFF));
}

uint32_t GetU32(const char* p) {
  const auto* b = reinterpret_cast<const uint8_t*>(p);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

bool SizeAllowed(int64_t w, int64_t h) {
  return w >= 1 && h >= 1 && w <= TWinGBitmap::kMaxWidth && h <= TWinGBitmap::kMaxHeight;
}

QClipboard* Board() { return QGuiApplication::clipboard(); }

// A palette object made of a colour table's 256 quads.
TPaletteHandle PaletteOf(const uint8_t* quads) {
  TPaletteEntry entries[256];
  for (int i = 0; i < 256; ++i) entries[i] = {quads[i * 4 + 2], quads[i * 4 + 1], quads[i * 4], quads[i * 4 + 3]};
  return std::make_shared<const TPaletteObject>(entries, 256);
}

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
  const int w = bitmap.GetWidth(), h = bitmap.GetHeight();
  QByteArray out;
  out.reserve(kHeaderSize + kColorTableSize + w * h);
  out.append(kMagic, 4);
  PutU32(out, kVersion);
  PutU32(out, static_cast<uint32_t>(w));
  PutU32(out, static_cast<uint32_t>(h));
  out.append(reinterpret_cast<const char*>(bitmap.ColorTable()), kColorTableSize);
  for (int y = 0; y < h; ++y) out.append(reinterpret_cast<const char*>(bitmap.ScanLine(y)), w);
  return out;
}

bool TQtClipboard::DecodeSkin(const QByteArray& data, TWinGBitmap& bitmap) {
  if (data.size() < kHeaderSize + kColorTableSize) return false;
  const char* p = data.constData();
  if (std::memcmp(p, kMagic, 4) != 0 || GetU32(p + 4) != kVersion) return false;
  const int64_t w = GetU32(p + 8), h = GetU32(p + 12);
  if (!SizeAllowed(w, h)) return false;
  // The sizes are bounded, so this product cannot overflow; the data must
  // hold exactly the pixels it announces.
  if (data.size() != kHeaderSize + kColorTableSize + w * h) return false;
  const auto* table = reinterpret_cast<const uint8_t*>(p + kHeaderSize);
  const auto* pixels = table + kColorTableSize;
  TWinGBitmap result;
  result.SetSize(static_cast<int>(w), static_cast<int>(h));
  result.SetPalette(PaletteOf(table));
  for (int y = 0; y < h; ++y) std::memcpy(result.ScanLine(y), pixels + y * w, static_cast<size_t>(w));
  bitmap.Assign(result);
  return true;
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
