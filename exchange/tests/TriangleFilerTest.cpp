#include "exchange/TriangleFiler.h"

#include <gtest/gtest.h>

#include "ExchangeTestUtil.h"
#include "core/Progress.h"
#include "exchange/3dsFormat.h"
#include "exchange/DxfFormat.h"

using namespace exchange_test;

namespace {

// A format that counts its calls and puts one marker triangle in the store.
struct TCountingFormat : TTriImpExpFormat {
  static inline int Imports = 0;
  static inline int Exports = 0;
  static inline std::string LastProgress;
  bool CanImport() const override { return true; }
  bool CanExport() const override { return true; }
  std::string Description() const override { return "Counting (TST)"; }
  std::string Extension() const override { return ".TST"; }
  void Import(TStream& stream, TTriangleStore& store) override {
    ++Imports;
    LastProgress = Progressor().Description();
    store.SetCount(0);
    store.AddTriangle()[0][0] = float(stream.Size());
  }
  void Export(TStream& stream, const TTriangleStore& store) override {
    ++Exports;
    const std::string text = std::to_string(store.Count());
    stream.WriteBuffer(text.data(), int64_t(text.size()));
  }
};

struct TFailingFormat : TCountingFormat {
  std::string Extension() const override { return ".BAD"; }
  void Import(TStream&, TTriangleStore& store) override {
    store.AddTriangle();
    throw EImportExportError("broken");
  }
};

struct TNoExtensionFormat : TTriImpExpFormat {};

class SharedFiler : public ::testing::Test {
protected:
  void SetUp() override { TTriangleFiler::ReleaseInstance(); }
  void TearDown() override { TTriangleFiler::ReleaseInstance(); }
};

}  // namespace

TEST(TriImpExpFormat, BaseRefusesEverything) {
  TTriImpExpFormat base;
  TTriangleStore store;
  TMemoryStream stream;
  EXPECT_FALSE(base.CanImport());
  EXPECT_FALSE(base.CanExport());
  EXPECT_EQ(ErrorOf([&] { (void)base.Description(); }), "Description not available");
  EXPECT_EQ(ErrorOf([&] { (void)base.Extension(); }), "Extension not available");
  EXPECT_EQ(ErrorOf([&] { base.Import(stream, store); }), "Import not supported");
  EXPECT_EQ(ErrorOf([&] { base.Export(stream, store); }), "Export not supported");
}

TEST_F(SharedFiler, AccessInstanceRequests) {
  EXPECT_EQ(TTriangleFiler::AccessInstance(0), nullptr);
  TTriangleFiler* filer = TTriangleFiler::AccessInstance(1);
  ASSERT_NE(filer, nullptr);
  EXPECT_EQ(TTriangleFiler::AccessInstance(1), filer);
  EXPECT_EQ(&TTriangleFiler::Instance(), filer);
  EXPECT_EQ(TTriangleFiler::AccessInstance(0), filer);
  // Forgetting does not free: the caller still holds it.
  EXPECT_EQ(TTriangleFiler::AccessInstance(2), nullptr);
  EXPECT_EQ(TTriangleFiler::AccessInstance(0), nullptr);
  delete filer;
  try {
    TTriangleFiler::AccessInstance(3);
    FAIL() << "request 3 accepted";
  } catch (const EImportExportError&) {
    FAIL() << "wrong exception class";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Illegal request 3 in AccessInstance");
  }
  EXPECT_THROW(TTriangleFiler::AccessInstance(-1), Exception);
}

TEST_F(SharedFiler, DestroyingTheSharedFilerForgetsIt) {
  TTriangleFiler::Instance();
  TTriangleFiler::ReleaseInstance();
  EXPECT_EQ(TTriangleFiler::AccessInstance(0), nullptr);
  // A filer that is not the shared one leaves the shared one alone.
  TTriangleFiler& shared = TTriangleFiler::Instance();
  { TTriangleFiler other; }
  EXPECT_EQ(TTriangleFiler::AccessInstance(0), &shared);
}

TEST_F(SharedFiler, SharedFilerHasTheFiveFormatsInOrder) {
  const TTriangleFiler& filer = TTriangleFiler::Instance();
  ASSERT_EQ(filer.Formats().Count(), 5);
  EXPECT_EQ(filer.Formats().Key(0), ".DXF");
  EXPECT_EQ(filer.Formats().Key(1), ".3DS");
  EXPECT_EQ(filer.Formats().Key(2), ".LWO");
  EXPECT_EQ(filer.Formats().Key(3), ".CAD");
  EXPECT_EQ(filer.Formats().Key(4), ".OBJ");
  EXPECT_EQ(filer.GetImportFilter(),
            "AutoCAD (DXF)|*.DXF|3D Studio (3DS)|*.3DS|LightWave (LWO)|*.LWO|Breeze Designer (CAD)|*.CAD|"
            "Wavefront (OBJ)|*.OBJ");
  EXPECT_EQ(filer.GetExportFilter(), "AutoCAD (DXF)|*.DXF|Breeze Designer (CAD)|*.CAD|Wavefront (OBJ)|*.OBJ");
  for (const char* ext : {"dxf", ".dxf", ".DXF", "3ds", "Lwo", ".cad", "obj"}) EXPECT_TRUE(filer.IsKnownExtension(ext)) << ext;
  for (const char* ext : {"", ".", "dx", ".DXF ", "..DXF", ".bmp"}) EXPECT_FALSE(filer.IsKnownExtension(ext)) << ext;
}

TEST(TriangleFiler, NewFilerIsEmptyAndRegistersInOrder) {
  TTriangleFiler filer;
  EXPECT_EQ(filer.Formats().Count(), 0);
  EXPECT_EQ(filer.GetImportFilter(), "");
  filer.RegisterFormat<T3DSFormat>();
  filer.RegisterFormat<TCountingFormat>();
  filer.RegisterFormat<TDXFFormat>();
  EXPECT_EQ(filer.GetImportFilter(), "3D Studio (3DS)|*.3DS|Counting (TST)|*.TST|AutoCAD (DXF)|*.DXF");
  EXPECT_EQ(filer.GetExportFilter(), "Counting (TST)|*.TST|AutoCAD (DXF)|*.DXF");
  // A class without an extension cannot be registered.
  EXPECT_EQ(ErrorOf([&] { filer.RegisterFormat<TNoExtensionFormat>(); }), "Extension not available");
  EXPECT_EQ(filer.Formats().Count(), 3);
}

TEST(TriangleFiler, ImportPicksTheFormatByExtensionWithoutCase) {
  TTempDir dir;
  TTriangleFiler filer;
  filer.RegisterFormat<TCountingFormat>();
  const std::string lower = dir.File("shape.tst");
  WriteFile(lower, Bytes("12345"));
  TCountingFormat::Imports = 0;
  filer.ImportFromFile(lower);
  EXPECT_EQ(TCountingFormat::Imports, 1);
  ASSERT_EQ(filer.Count(), 1);
  EXPECT_EQ((*filer.Triangle(0))[0][0], 5.0f);
  // The import runs inside a progress step of its own.
  EXPECT_EQ(TCountingFormat::LastProgress, ">Loading Triangles...");
  EXPECT_FALSE(Progressor().Active());

  // No extension, an unknown one, or a dot in a folder name: the store stays.
  for (const char* name : {"noext", "shape.xyz", "dir.tst/file"}) {
    const std::string path = dir.File(name);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, Bytes("1"));
    filer.ImportFromFile(path);
    EXPECT_EQ(TCountingFormat::Imports, 1) << name;
    EXPECT_EQ(filer.Count(), 1) << name;
    EXPECT_EQ((*filer.Triangle(0))[0][0], 5.0f) << name;
  }
}

TEST(TriangleFiler, ImportOfAMissingFileRaisesTheStreamError) {
  TTempDir dir;
  TTriangleFiler filer;
  filer.RegisterFormat<TCountingFormat>();
  EXPECT_THROW(filer.ImportFromFile(dir.File("absent.tst")), EFOpenError);
  // The file is opened before a format is looked for.
  EXPECT_THROW(filer.ImportFromFile(dir.File("absent.xyz")), EFOpenError);
}

TEST(TriangleFiler, FailedImportKeepsWhatWasAppendedAndFinishesProgress) {
  TTempDir dir;
  TTriangleFiler filer;
  filer.RegisterFormat<TFailingFormat>();
  WriteFile(dir.File("x.bad"), Bytes("data"));
  EXPECT_EQ(ErrorOf([&] { filer.ImportFromFile(dir.File("x.bad")); }), "broken");
  EXPECT_EQ(filer.Count(), 1);
  EXPECT_FALSE(Progressor().Active());
}

TEST(TriangleFiler, ExportWritesWithTheMatchingFormatOrLeavesAnEmptyFile) {
  TTempDir dir;
  TTriangleFiler filer;
  filer.RegisterFormat<TCountingFormat>();
  filer.RegisterFormat<T3DSFormat>();
  filer.SetCount(3);
  TCountingFormat::Exports = 0;
  const std::string out = dir.File("OUT.Tst");
  WriteFile(out, Bytes("old contents that are longer"));
  filer.ExportToFile(out);
  EXPECT_EQ(TCountingFormat::Exports, 1);
  EXPECT_EQ(ReadFile(out), Bytes("3"));

  const std::string unknown = dir.File("out.xyz");
  filer.ExportToFile(unknown);
  EXPECT_TRUE(std::filesystem::exists(unknown));
  EXPECT_EQ(std::filesystem::file_size(unknown), 0u);

  // A format that cannot export still gets asked, by its key alone.
  const std::string studio = dir.File("out.3ds");
  EXPECT_EQ(ErrorOf([&] { filer.ExportToFile(studio); }), "Export not supported");
  EXPECT_FALSE(std::filesystem::exists(studio));  // a refused export leaves nothing
}
