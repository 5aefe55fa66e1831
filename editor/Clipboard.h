#pragma once
// The clipboard as the editing commands see it: a text and an 8-bit picture.
// The program installs one that talks to the desktop's clipboard; until then
// (batch work, tests) a clipboard inside the process serves.

#include <memory>
#include <string>

class TWinGBitmap;

class TClipboard {
public:
  virtual ~TClipboard() = default;
  virtual bool HasText() const = 0;
  // Empty when the clipboard holds no text.
  virtual std::string Text() const = 0;
  virtual void SetText(const std::string& text) = 0;
  virtual bool HasBitmap() const = 0;
  // Copies the clipboard's picture (pixels and colour table) into `bitmap`;
  // false, with `bitmap` untouched, when there is none.
  virtual bool GetBitmap(TWinGBitmap& bitmap) const = 0;
  virtual void SetBitmap(const TWinGBitmap& bitmap) = 0;
};

// Holds what was put on it for as long as it lives. Putting a text replaces
// the picture and the other way round, as on the desktop.
class TMemoryClipboard : public TClipboard {
public:
  TMemoryClipboard();
  ~TMemoryClipboard() override;
  bool HasText() const override { return HasText_; }
  std::string Text() const override { return HasText_ ? Text_ : std::string(); }
  void SetText(const std::string& text) override;
  bool HasBitmap() const override { return Bitmap_ != nullptr; }
  bool GetBitmap(TWinGBitmap& bitmap) const override;
  void SetBitmap(const TWinGBitmap& bitmap) override;
  void Clear();

private:
  bool HasText_ = false;
  std::string Text_;
  std::unique_ptr<TWinGBitmap> Bitmap_;
};

// The clipboard in use.
TClipboard& Clipboard();
// Installs `clipboard` (not owned; it must outlive its use) and returns the
// one it replaces; null goes back to the in-process clipboard.
TClipboard* SetClipboard(TClipboard* clipboard);
