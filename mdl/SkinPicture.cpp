// Skins to and from picture files, through the shared bitmap filer.

#include "core/Format.h"
#include "exchange/BitmapFiler.h"
#include "mdl/Mdl.h"
#include "raster/ColorTables.h"

void TMDLBitmap::ImportPicture(const std::string& fileName) {
  TBitmapFiler& filer = TBitmapFiler::Instance();
  // The filer leaves its last picture in place for a file no format reads;
  // that picture must not land on this skin.
  if (!filer.IsKnownExtension(ExtractFileExt(fileName)))
    throw EImportExportError(Format("Cannot import \"%s\": not a known picture format", fileName.c_str()));
  filer.ImportFromFile(fileName);
  // Worked on in a copy, so a failure leaves the skin and the filer's
  // picture as they were.
  TWinGBitmap picture;
  picture.Assign(filer.Bitmap());
  RemapToGamePalette(picture);
  StretchFrom(picture);
}

void TMDLBitmap::ExportPicture(const std::string& fileName) {
  Image.SetPalette(GamePalette().NewHandle());
  ColorMapValid = false;
  TBitmapFiler& filer = TBitmapFiler::Instance();
  filer.Bitmap().Assign(Image);
  filer.ExportToFile(fileName);
}

