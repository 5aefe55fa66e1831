#include "exchange/TriangleFiler.h"


#include "core/Format.h"
#include "core/Progress.h"
#include "core/SafeSave.h"
#include "core/Streams.h"
#include "exchange/3dsFormat.h"
#include "exchange/CadFormat.h"
#include "exchange/DxfFormat.h"
#include "exchange/LwoFormat.h"
#include "exchange/ObjFormat.h"

std::string TTriImpExpFormat::Description() const { throw EImportExportError("Description not available"); }
std::string TTriImpExpFormat::Extension() const { throw EImportExportError("Extension not available"); }
void TTriImpExpFormat::Import(TStream&, TTriangleStore&) { throw EImportExportError("Import not supported"); }
void TTriImpExpFormat::Export(TStream&, const TTriangleStore&) { throw EImportExportError("Export not supported"); }

namespace {
TTriangleFiler* SharedTriangleFiler = nullptr;
}

TTriangleFiler* TTriangleFiler::AccessInstance(int request) {
  switch (request) {
    case 0:
      return SharedTriangleFiler;
    case 1:
      if (!SharedTriangleFiler) {
        auto filer = std::make_unique<TTriangleFiler>();
        RegisterTriangleFormats(*filer);
        SharedTriangleFiler = filer.release();
      }
      return SharedTriangleFiler;
    case 2:
      SharedTriangleFiler = nullptr;
      return nullptr;
    default:
      throw Exception(Format("Illegal request %d in AccessInstance", request));
  }
}

TTriangleFiler::~TTriangleFiler() {
  if (SharedTriangleFiler == this) AccessInstance(2);
}

std::string TTriangleFiler::GetImportFilter() const {
  return Formats_.Filter([](const TTriImpExpFormat& f) { return f.CanImport(); });
}

std::string TTriangleFiler::GetExportFilter() const {
  return Formats_.Filter([](const TTriImpExpFormat& f) { return f.CanExport(); });
}

void TTriangleFiler::ImportFromFile(const std::string& fileName) {
  TFileStream stream(fileName, fmOpenRead);
  if (TTriImpExpFormat* format = Formats_.Find(ExtractFileExt(fileName))) {
    TProgressScope progress(0, ">Loading Triangles...");
    FileName = fileName;
    SkinPictureFile.clear();
    format->Import(stream, *this);
  }
}

void TTriangleFiler::ExportToFile(const std::string& fileName) {
  // Without a format the file is left empty; a failed export leaves the
  // old file, or none.
  TTriImpExpFormat* format = Formats_.Find(ExtractFileExt(fileName));
  FileName = fileName;
  SkinPictureFile.clear();
  SafeSave(fileName, [&](TStream& stream) {
    if (format) format->Export(stream, *this);
  });
}

void RegisterTriangleFormats(TTriangleFiler& filer) {
  filer.RegisterFormat<TDXFFormat>();
  filer.RegisterFormat<T3DSFormat>();
  filer.RegisterFormat<TLWOFormat>();
  filer.RegisterFormat<TCADFormat>();
  filer.RegisterFormat<TOBJFormat>();
}
