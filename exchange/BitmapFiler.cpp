#include "exchange/BitmapFiler.h"


#include "core/Format.h"
#include "core/SafeSave.h"
#include "core/Streams.h"
#include "exchange/BmpFormat.h"
#include "exchange/PcxFormat.h"
#include "exchange/PngFormat.h"

std::string TBmpImpExpFormat::Description() const { throw EImportExportError("Description not available"); }
std::string TBmpImpExpFormat::Extension() const { throw EImportExportError("Extension not available"); }
void TBmpImpExpFormat::Import(TStream&, TBitmapFiler&) { throw EImportExportError("Import not supported"); }
void TBmpImpExpFormat::Export(TStream&, TBitmapFiler&) { throw EImportExportError("Export not supported"); }

namespace {
TBitmapFiler* SharedBitmapFiler = nullptr;
}

TBitmapFiler::TBitmapFiler() : Bitmap_(std::make_unique<TWinGBitmap>()) {}

TBitmapFiler::~TBitmapFiler() {
  if (SharedBitmapFiler == this) AccessInstance(2);
}

TBitmapFiler* TBitmapFiler::AccessInstance(int request) {
  switch (request) {
    case 0:
      return SharedBitmapFiler;
    case 1:
      if (!SharedBitmapFiler) {
        auto filer = std::make_unique<TBitmapFiler>();
        RegisterBitmapFormats(*filer);
        SharedBitmapFiler = filer.release();
      }
      return SharedBitmapFiler;
    case 2:
      SharedBitmapFiler = nullptr;
      return nullptr;
    default:
      throw Exception(Format("Illegal request %d in AccessInstance", request));
  }
}

std::string TBitmapFiler::GetImportFilter() const {
  return Formats_.Filter([](const TBmpImpExpFormat& f) { return f.CanImport(); });
}

std::string TBitmapFiler::GetExportFilter() const {
  return Formats_.Filter([](const TBmpImpExpFormat& f) { return f.CanExport(); });
}

void TBitmapFiler::ImportFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  if (TBmpImpExpFormat* format = Formats_.Find(ExtractFileExt(fileName))) format->Import(stream, *this);
}

void TBitmapFiler::ExportToFile(const std::string& fileName) {
  // Without a format the file is left empty; a failed export leaves the
  // old file, or none.
  TBmpImpExpFormat* format = Formats_.Find(ExtractFileExt(fileName));
  SafeSave(fileName, [&](TStream& stream) {
    if (format) format->Export(stream, *this);
  });
}

void RegisterBitmapFormats(TBitmapFiler& filer) {
  filer.RegisterFormat<TBMPFormat>();
  filer.RegisterFormat<TPCXFormat>();
  filer.RegisterFormat<TPNGFormat>();
}
