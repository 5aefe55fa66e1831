#pragma once
// The picture format interface and the bitmap filer: the registry of skin
// picture formats and the one 8-bit bitmap every import and export passes
// through. It mirrors the triangle filer.

#include <memory>
#include <string>

#include "exchange/FormatList.h"
#include "exchange/TriangleStore.h"
#include "raster/WinGBitmap.h"

class TStream;
class TBitmapFiler;

// The interface of a picture format. The base class refuses everything.
class TBmpImpExpFormat {
public:
  TBmpImpExpFormat() = default;
  virtual ~TBmpImpExpFormat() = default;
  TBmpImpExpFormat(const TBmpImpExpFormat&) = delete;
  TBmpImpExpFormat& operator=(const TBmpImpExpFormat&) = delete;

  virtual bool CanImport() const { return false; }
  virtual bool CanExport() const { return false; }
  virtual std::string Description() const;
  virtual std::string Extension() const;
  // Read into, resp. write from, the filer's bitmap.
  virtual void Import(TStream& stream, TBitmapFiler& filer);
  virtual void Export(TStream& stream, TBitmapFiler& filer);
};

using TBmpImpExpFormatClass = std::unique_ptr<TBmpImpExpFormat> (*)();

template <class T>
std::unique_ptr<TBmpImpExpFormat> CreateBmpFormat() {
  return std::make_unique<T>();
}

class TBitmapFiler {
public:
  TBitmapFiler();
  ~TBitmapFiler();
  TBitmapFiler(const TBitmapFiler&) = delete;
  TBitmapFiler& operator=(const TBitmapFiler&) = delete;

  // The shared filer, with the requests of TTriangleFiler::AccessInstance;
  // it is made with every picture format registered.
  static TBitmapFiler* AccessInstance(int request);
  static TBitmapFiler& Instance() { return *AccessInstance(1); }
  static void ReleaseInstance() { delete AccessInstance(0); }

  void RegisterFormat(TBmpImpExpFormatClass formatClass) { Formats_.Add(formatClass()); }
  template <class T>
  void RegisterFormat() {
    RegisterFormat(&CreateBmpFormat<T>);
  }

  std::string GetImportFilter() const;
  std::string GetExportFilter() const;
  bool IsKnownExtension(const std::string& extension) const { return Formats_.IsKnownExtension(extension); }

  // Reads the picture into the bitmap with the format of the file's
  // extension; a file no format claims leaves the bitmap as it was.
  void ImportFromFile(const std::string& fileName);
  // Creates the file and writes the bitmap with the format of its extension;
  // without one, the file stays empty.
  void ExportToFile(const std::string& fileName);

  TWinGBitmap& Bitmap() { return *Bitmap_; }
  const TFormatList<TBmpImpExpFormat>& Formats() const { return Formats_; }

private:
  std::unique_ptr<TWinGBitmap> Bitmap_;
  TFormatList<TBmpImpExpFormat> Formats_;
};

// Registers the program's picture formats in their dialog order: BMP, PCX, PNG.
// The shared filer calls it when it is made.
void RegisterBitmapFormats(TBitmapFiler& filer);
