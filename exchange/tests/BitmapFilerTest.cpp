#include "exchange/BitmapFiler.h"

#include <gtest/gtest.h>

#include <cstring>

#include "ExchangeTestUtil.h"
#include "exchange/BmpFormat.h"
#include "exchange/PcxFormat.h"

using namespace exchange_test;

namespace {

class SharedBitmapFiler : public ::testing::Test {
protected:
  void SetUp() override { TBitmapFiler::ReleaseInstance(); }
  void TearDown() override { TBitmapFiler::ReleaseInstance(); }
};

void Paint(TWinGBitmap& b, int w, int h) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.ScanLine(y)[x] = uint8_t(x * 7 + y * 13);
  for (int i = 0; i < 256; ++i) b.SetColorEntry(i, MakeRGBQuad(uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)));
}

}  // namespace

TEST(BmpImpExpFormat, BaseRefusesEverything) {
  TBmpImpExpFormat base;
  TBitmapFiler filer;
  TMemoryStream stream;
  EXPECT_FALSE(base.CanImport());
  EXPECT_FALSE(base.CanExport());
  EXPECT_EQ(ErrorOf([&] { (void)base.Description(); }), "Description not available");
  EXPECT_EQ(ErrorOf([&] { (void)base.Extension(); }), "Extension not available");
  EXPECT_EQ(ErrorOf([&] { base.Import(stream, filer); }), "Import not supported");
  EXPECT_EQ(ErrorOf([&] { base.Export(stream, filer); }), "Export not supported");
}

TEST_F(SharedBitmapFiler, AccessInstanceAndRegisteredFormats) {
  EXPECT_EQ(TBitmapFiler::AccessInstance(0), nullptr);
  TBitmapFiler& filer = TBitmapFiler::Instance();
  EXPECT_EQ(TBitmapFiler::AccessInstance(1), &filer);
  EXPECT_EQ(filer.GetImportFilter(),
            "Windows Bitmap (BMP)|*.BMP|Zsoft Paintbrush (PCX)|*.PCX|Portable Network Graphics (PNG)|*.PNG");
  EXPECT_EQ(filer.GetExportFilter(), filer.GetImportFilter());
  for (const char* ext : {"bmp", ".Bmp", "PCX", ".pcx", "png", ".PNG"}) EXPECT_TRUE(filer.IsKnownExtension(ext)) << ext;
  for (const char* ext : {"", "dxf", ".gif"}) EXPECT_FALSE(filer.IsKnownExtension(ext)) << ext;
  try {
    TBitmapFiler::AccessInstance(7);
    FAIL() << "request 7 accepted";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Illegal request 7 in AccessInstance");
  }
  EXPECT_EQ(TBitmapFiler::AccessInstance(2), nullptr);
  EXPECT_EQ(TBitmapFiler::AccessInstance(0), nullptr);
  delete &filer;
}

TEST_F(SharedBitmapFiler, DestroyingTheSharedFilerForgetsIt) {
  TBitmapFiler::Instance();
  TBitmapFiler::ReleaseInstance();
  EXPECT_EQ(TBitmapFiler::AccessInstance(0), nullptr);
}

TEST(BitmapFiler, RoundTripThroughFilesInEveryFormat) {
  TTempDir dir;
  for (const char* name : {"skin.bmp", "skin.pcx", "SKIN.PNG"}) {
    SCOPED_TRACE(name);
    TBitmapFiler filer;
    RegisterBitmapFormats(filer);
    // Odd sizes: rows of BMP and PCX files are padded.
    Paint(filer.Bitmap(), 37, 11);
    filer.ExportToFile(dir.File(name));

    TBitmapFiler back;
    RegisterBitmapFormats(back);
    back.ImportFromFile(dir.File(name));
    ASSERT_EQ(back.Bitmap().GetWidth(), 37);
    ASSERT_EQ(back.Bitmap().GetHeight(), 11);
    if (std::string(name) == "SKIN.PNG") continue;  // read in game colours: see PngFormatTest
    for (int y = 0; y < 11; ++y)
      EXPECT_EQ(std::memcmp(back.Bitmap().ScanLine(y), filer.Bitmap().ScanLine(y), 37), 0) << y;
    for (int i = 0; i < 256; ++i)
      EXPECT_EQ(back.Bitmap().GetColorEntry(i) & 0xFFFFFF, filer.Bitmap().GetColorEntry(i) & 0xFFFFFF) << i;
  }
}

TEST(BitmapFiler, UnknownExtensionsAndRefusedExports) {
  TTempDir dir;
  TBitmapFiler filer;
  RegisterBitmapFormats(filer);
  Paint(filer.Bitmap(), 4, 4);
  // No format: an empty file, and importing it changes nothing.
  filer.ExportToFile(dir.File("skin.gif"));
  EXPECT_EQ(std::filesystem::file_size(dir.File("skin.gif")), 0u);
  filer.ImportFromFile(dir.File("skin.gif"));
  EXPECT_EQ(filer.Bitmap().GetWidth(), 4);
  // A format that cannot write is refused, and no file made.
  filer.RegisterFormat([]() -> std::unique_ptr<TBmpImpExpFormat> {
    struct TReadOnly : TBmpImpExpFormat {
      std::string Extension() const override { return ".RO"; }
    };
    return std::make_unique<TReadOnly>();
  });
  EXPECT_EQ(ErrorOf([&] { filer.ExportToFile(dir.File("skin.ro")); }), "Export not supported");
  EXPECT_FALSE(std::filesystem::exists(dir.File("skin.ro")));
  EXPECT_THROW(filer.ImportFromFile(dir.File("absent.bmp")), EFOpenError);
}

TEST(BitmapFiler, DamagedBmpRaisesTheBitmapError) {
  TTempDir dir;
  TBitmapFiler filer;
  RegisterBitmapFormats(filer);
  Paint(filer.Bitmap(), 5, 3);
  WriteFile(dir.File("bad.bmp"), Bytes("BM this is not a bitmap at all, but long enough to read a header from"));
  EXPECT_THROW(filer.ImportFromFile(dir.File("bad.bmp")), EBitmapFormatError);
  EXPECT_EQ(filer.Bitmap().GetWidth(), 5);
}
