#pragma once
// The desktop's clipboard for the editing commands. A skin goes on it twice:
// in our own format, which keeps the 8-bit indices and the colour table
// exactly, and as an ordinary picture other programs can paste. Reading
// prefers our format; a picture from elsewhere is brought into the game
// palette (nearest colour).

#include <QByteArray>
#include <QString>

#include "editor/Clipboard.h"

class QImage;

class TQtClipboard : public TClipboard {
public:
  // The MIME type of our own format.
  static const QString kSkinMimeType;

  bool HasText() const override;
  std::string Text() const override;
  void SetText(const std::string& text) override;
  bool HasBitmap() const override;
  bool GetBitmap(TWinGBitmap& bitmap) const override;
  void SetBitmap(const TWinGBitmap& bitmap) override;

  // The two forms SetBitmap puts on the clipboard, and their readers; the
  // readers refuse (false, `bitmap` untouched) what is damaged or outside
  // the bitmap limits.
  static QByteArray EncodeSkin(const TWinGBitmap& bitmap);
  static bool DecodeSkin(const QByteArray& data, TWinGBitmap& bitmap);
  static QImage ToImage(const TWinGBitmap& bitmap);
  static bool FromImage(const QImage& image, TWinGBitmap& bitmap);
};
