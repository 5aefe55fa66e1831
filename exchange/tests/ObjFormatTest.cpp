#include "exchange/ObjFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "ExchangeTestUtil.h"
#include "core/Format.h"

using namespace exchange_test;

namespace {

std::unique_ptr<TTriangleStore> Import(const std::string& text) {
  auto store = std::make_unique<TTriangleStore>();
  TOBJFormat format;
  ImportBytes(format, Bytes(text), *store);
  return store;
}

std::string ImportError(const std::string& text) {
  return ErrorOf([&] { Import(text); });
}

// The OBJ unit square as positions 1-4 (X right, Y up) and its corners'
// texture coordinates 1-4; what the faces below refer to.
const std::string kSquare =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\n"
    "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "vn 0 0 1\n";

// A stream of `size` bytes whose content is made as it is read: `head`,
// then "v 1 2 3" and blanks for ever, without a line break. It lets the
// reader meet a line of gigabytes without anyone holding it.
class TEndlessLineStream : public TStream {
public:
  TEndlessLineStream(std::string head, int64_t size) : Head_(std::move(head)), Size_(size) {}
  int64_t Read(void* buffer, int64_t count) override {
    const int64_t n = std::min(count, Size_ - Pos_);
    auto* out = static_cast<char*>(buffer);
    static const char kFill[] = "v 1 2 3 ";
    for (int64_t i = 0; i < n; ++i) {
      const int64_t at = Pos_ + i;
      out[i] = at < int64_t(Head_.size()) ? Head_[size_t(at)] : kFill[(at - int64_t(Head_.size())) % 8];
    }
    Pos_ += std::max<int64_t>(n, 0);
    Read_ += std::max<int64_t>(n, 0);
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, int origin) override {
    Pos_ = origin == soFromBeginning ? offset : origin == soFromCurrent ? Pos_ + offset : Size_ + offset;
    return Pos_;
  }
  int64_t Read_ = 0;

private:
  std::string Head_;
  int64_t Size_;
  int64_t Pos_ = 0;
};

}  // namespace

// Every way a face may name its corners, and the statements around faces
// that do not matter, give the same square: two triangles fanned from the
// first corner, clockwise, in the model's axes (OBJ Y up is component 2,
// OBJ Z the negated component 1).
TEST(ObjFormat, FaceFormsAndStatementsAroundThem) {
  struct TCase {
    const char* Name;
    std::string Faces;
    bool Textured;
  };
  const TCase cases[] = {
      {"positions only", "f 1 2 3 4\n", false},
      {"position/texture", "f 1/1 2/2 3/3 4/4\n", true},
      {"position//normal", "f 1//1 2//1 3//1 4//1\n", false},
      {"position/texture/normal", "f 1/1/1 2/2/1 3/3/1 4/4/1\n", true},
      {"negative indices", "f -4/-4/-1 -3/-3/-1 -2/-2/-1 -1/-1/-1\n", true},
      {"mixed signs", "f 1/-4 -3/2 3/-2 -1/4\n", true},
      {"old face keyword", "fo 1/1 2/2 3/3 4/4\n", true},
      {"CR LF and tabs", "\tf\t1/1  2/2\t3/3 4/4 \r\n", true},
      {"continued lines", "f 1/1 2/2 \\\n 3/3 \\\r\n4/4\n", true},
      {"comments", "# square\nf 1/1 2/2 3/3 4/4 # trailing comment\n#f 9 9 9\n", true},
      {"statements passed over",
       "mtllib a.mtl\no square\ng one two\ns 1\nusemtl skin\nl 1 2\np 3\nvp 0.5\ncstype bezier\n"
       "f 1/1 2/2 3/3 4/4\ns off\n",
       true},
      {"no final line break", "f 1/1 2/2 3/3 4/4", true},
      {"final backslash", "f 1/1 2/2 3/3 4/4 \\", true},
      {"blank lines", "\n\n  \n\r\nf 1/1 2/2 3/3 4/4\n\n", true},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    std::unique_ptr<TTriangleStore> read;
    ASSERT_NO_THROW(read = Import(kSquare + c.Faces));
    const TTriangleStore& s = *read;
    ASSERT_EQ(s.Count(), 2);
    // OBJ (1 2 3) anticlockwise is the model's (1 3 2).
    ExpectCorner((*s.Triangle(0))[0], 0, 0, 0);
    ExpectCorner((*s.Triangle(0))[1], 1, 0, 1);
    ExpectCorner((*s.Triangle(0))[2], 1, 0, 0);
    ExpectCorner((*s.Triangle(1))[0], 0, 0, 0);
    ExpectCorner((*s.Triangle(1))[1], 0, 0, 1);
    ExpectCorner((*s.Triangle(1))[2], 1, 0, 1);
    ASSERT_EQ(s.HasSkinCoords(), c.Textured);
    if (!c.Textured) continue;
    // v runs up in the file, V down the skin.
    const TStoreSkinTriangle& t = s.SkinTriangle(0);
    EXPECT_EQ(t[0].U, 0);
    EXPECT_EQ(t[0].V, 1);
    EXPECT_EQ(t[1].U, 1);
    EXPECT_EQ(t[1].V, 0);
    EXPECT_EQ(t[2].U, 1);
    EXPECT_EQ(t[2].V, 1);
  }
}

TEST(ObjFormat, PolygonsFanAndOptionalNumbers) {
  // A pentagon gives three triangles from its first corner; "v" may carry
  // w or colours, "vt" may leave out v (0) or add w.
  const std::unique_ptr<TTriangleStore> read = Import(
      "v 0 0 0 1\nv 2 0 0 0.5 0.5 0.5\nv 2 2 0\nv 1 3 0\nv 0 2 0\n"
      "vt 0.25\nvt 0.5 0.5 0\n"
      "f 1/1 2/2 3/1 4/2 5/1\n");
  const TTriangleStore& s = *read;
  ASSERT_EQ(s.Count(), 3);
  ExpectCorner((*s.Triangle(2))[0], 0, 0, 0);
  ExpectCorner((*s.Triangle(2))[1], 0, 0, 2);
  ExpectCorner((*s.Triangle(2))[2], 1, 0, 3);
  ASSERT_TRUE(s.HasSkinCoords());
  EXPECT_EQ(s.SkinTriangle(0)[0].U, 0.25f);
  EXPECT_EQ(s.SkinTriangle(0)[0].V, 1.0f);
  EXPECT_EQ(s.SkinTriangle(0)[2].V, 0.5f);
}

TEST(ObjFormat, NumbersReadToTheNearestFloat) {
  // Each number is the nearest float, with or without sign and exponent;
  // what is too small for a float is 0 (or the smallest step), not an
  // error.
  const std::unique_ptr<TTriangleStore> read = Import(
      "v 0.33333334 -15.647097 +2.5e-3\nv 1e-50 -1E-60 1.4e-45\nv 1234567.89 9999999 -0\nf 1 2 3\n");
  const TTriangleStore& s = *read;
  ASSERT_EQ(s.Count(), 1);
  // OBJ (X, Y, Z) is the model's (X, -Z, Y); corners 1 and 2 swap.
  EXPECT_EQ((*s.Triangle(0))[0][0], 0.33333334f);
  EXPECT_EQ((*s.Triangle(0))[0][1], -2.5e-3f);
  EXPECT_EQ((*s.Triangle(0))[0][2], -15.647097f);
  EXPECT_EQ((*s.Triangle(0))[2][0], 0.0f);
  EXPECT_EQ((*s.Triangle(0))[2][1], -1.4e-45f);
  EXPECT_EQ((*s.Triangle(0))[1][0], 1234567.89f);
  EXPECT_EQ((*s.Triangle(0))[1][2], 9999999.0f);
}

TEST(ObjFormat, FacesWithoutTextureAnywhereMeanNoSkinCoordinates) {
  const std::unique_ptr<TTriangleStore> read = Import(kSquare + "f 1/1 2/2 3/3\nf 1 3 4\n");
  const TTriangleStore& s = *read;
  EXPECT_EQ(s.Count(), 2);
  EXPECT_FALSE(s.HasSkinCoords());
  // An import replaces what the store held, skin coordinates included.
  TTriangleStore store;
  TOBJFormat format;
  ImportBytes(format, Bytes(kSquare + "f 1/1 2/2 3/3 4/4\n"), store);
  ASSERT_TRUE(store.HasSkinCoords());
  ImportBytes(format, Bytes(kSquare + "f 1 2 3 4\n"), store);
  EXPECT_FALSE(store.HasSkinCoords());
}

// Hostile and broken files: each is refused with a message that names the
// line, and the line is counted right past comments and continued lines.
TEST(ObjFormat, RefusedStatementsNameTheirLine) {
  struct TCase {
    std::string Text;
    const char* Message;
  };
  const std::string two = "# a\nv 0 0 0\n";  // the statement under test is on line 3
  const TCase cases[] = {
      {two + "v 1 2\n", "on line 3: a coordinate is missing"},
      {two + "v 1 nan 2\n", "on line 3: 'nan' is not a valid floating point value"},
      {two + "v 1 2 inf\n", "on line 3: 'inf' is not a valid floating point value"},
      {two + "v -infinity 2 3\n", "on line 3: '-infinity' is not a valid floating point value"},
      {two + "v 1e39 2 3\n", "on line 3: '1e39' is not a valid floating point value"},
      {two + "v 1,5 2 3\n", "on line 3: '1,5' is not a valid floating point value"},
      {two + "v 1 2 1e8\n", "on line 3: '1e8' is too large for a coordinate"},
      {two + "vt nan 0\n", "on line 3: 'nan' is not a valid floating point value"},
      {two + "vt 0 0x1\n", "on line 3: '0x1' is not a valid floating point value"},
      {two + "vn 0 0\n", "on line 3: a number is missing"},
      {two + "f 1 1 2\n", "on line 3: vertex index 2 is out of range (1 defined so far)"},
      {two + "f 1 1 0\n", "on line 3: vertex index 0 is out of range"},
      {two + "f 1 1 -2\n", "on line 3: vertex index -2 is out of range"},
      {two + "f 1 1 99999999999999999999\n", "on line 3: vertex index 2147483647 is out of range"},
      {two + "f 1/1 1 1\n", "on line 3: texture coordinate index 1 is out of range (0 defined so far)"},
      {two + "f 1//1 1 1\n", "on line 3: normal index 1 is out of range (0 defined so far)"},
      {two + "f 1 1 x\n", "on line 3: 'x' is not a valid vertex index"},
      {two + "f 1 1 1/1/1/1\n", "on line 3: '1/1/1/1' is not a valid face corner"},
      {two + "f 1 1 1//\n", "on line 3: '1//' is not a valid face corner"},
      {two + "f /1 1 1\n", "on line 3: '' is not a valid vertex index"},
      {two + "f 1 1\n", "on line 3: a face needs at least three corners, this one has 2"},
      {two + "f\n", "on line 3: a face needs at least three corners, this one has 0"},
      {"v 0 0 0\nf 1 \\\n1 \\\n 1\nf 1 1 2\n", "on line 5: vertex index 2"},
      {"v 0 0 0\r\n\r\n\r\nf 1 1 1\r\nf 1 1 2\r\n", "on line 5: vertex index 2"},
      {two + "v 1 2 \x01\x02\xff\n", "on line 3: '\?\?\?' is not a valid floating point value"},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Text);
    const std::string message = ImportError(c.Text);
    EXPECT_NE(message.find(c.Message), std::string::npos) << message;
    EXPECT_EQ(message.rfind("Error in OBJ file on line ", 0), 0u) << message;
  }
}

TEST(ObjFormat, LineOfGigabytesIsRefusedAfterTheLimit) {
  // Ten gigabytes on line 3: the reader gives up after the longest
  // statement it takes (and one read block), never holding the line.
  TEndlessLineStream stream("v 0 0 0\n\nf 1 1 1 ", int64_t{10} << 30);
  TTriangleStore store;
  TOBJFormat format;
  const std::string message = ErrorOf([&] { format.Import(stream, store); });
  EXPECT_EQ(message, Format("Error in OBJ file on line 3: the line is longer than %d bytes", kObjMaxLineLength));
  EXPECT_LT(stream.Read_, 2 * int64_t{kObjMaxLineLength});
  // Continued lines count whole: many short lines joined are one statement.
  std::string joined = "v 0 0 0\n";
  for (int i = 0; i * 8 <= kObjMaxLineLength; ++i) joined += "1 1 1 \\\n";
  joined += "\n";
  EXPECT_NE(ImportError(joined).find("on line 2: the line is longer than"), std::string::npos);
  // Just within the limit is fine.
  std::string longest = "v 0 0 0\nf 1 1 1";
  longest.append(size_t(kObjMaxLineLength) - 7 - 4, ' ');
  longest += " # \n";
  EXPECT_EQ(Import(longest)->Count(), 1);
}

TEST(ObjFormat, CountsStopAtTheModelLimits) {
  std::string points;
  for (int i = 0; i < kMaxImportVertices; ++i) points += "v 1 2 3\n";
  EXPECT_EQ(ImportError(points + "v 1 2 3\n"),
            Format("Error in OBJ file on line %d: import is limited to %d vertices", kMaxImportVertices + 1,
                   kMaxImportVertices));
  std::string tex;
  for (int i = 0; i <= kObjMaxTexCoords; ++i) tex += "vt 0 0\n";
  EXPECT_NE(ImportError(tex).find(Format("import is limited to %d texture coordinates", kObjMaxTexCoords)),
            std::string::npos);
  // One polygon of 40002 corners is 40000 triangles; one corner more is
  // one triangle too many.
  std::string face = "v 0 0 0\nf";
  for (int i = 0; i < kMaxImportTriangles + 2; ++i) face += " 1";
  EXPECT_EQ(Import(face)->Count(), kMaxImportTriangles);
  EXPECT_EQ(ImportError(face + " 1"),
            Format("Error in OBJ file on line 2: import is limited to %d triangles", kMaxImportTriangles));
}

TEST(ObjFormat, ExportWritesSharedPositionsAndTextureCoordinates) {
  TTriangleStore store;
  store.AddTriangle() = Tri(0, 0, 0, 1, 0, 1, 1, 0, 0);
  store.AddTriangle() = Tri(0, 0, 0, 0, 0, 1, 1, 0, 1);
  TOBJFormat format;
  EXPECT_EQ(ExportText(format, store),
            "# 4 vertices, 2 triangles\n"
            "v 0 0 -0\nv 1 1 -0\nv 1 0 -0\nv 0 1 -0\n"
            "f 1 3 2\nf 1 2 4\n");
  std::vector<TStoreSkinTriangle> skin(2);
  skin[0][0] = {0, 1}, skin[0][1] = {1, 0}, skin[0][2] = {1, 1};
  skin[1][0] = {0, 1}, skin[1][1] = {0, 0}, skin[1][2] = {1, 0};
  store.SetSkinCoords(std::move(skin));
  // A stream has no file name: no material library.
  EXPECT_EQ(ExportText(format, store),
            "# 4 vertices, 2 triangles\n"
            "v 0 0 -0\nv 1 1 -0\nv 1 0 -0\nv 0 1 -0\n"
            "vt 0 0\nvt 1 1\nvt 1 0\nvt 0 1\n"
            "f 1/1 3/3 2/2\nf 1/1 2/2 4/4\n");
  EXPECT_TRUE(store.SkinPictureFile.empty());
}

TEST(ObjFormat, RoundTripKeepsEveryNumberExactly) {
  // Positions of every size a model may have and skin coordinates of
  // every pixel of the widest skin come back bit for bit.
  std::mt19937 rng(5);
  std::uniform_real_distribution<float> coord(-300, 300);
  std::uniform_int_distribution<int> pixel(0, 3072);
  TTriangleStore store;
  std::vector<TStoreSkinTriangle> skin;
  const float special[] = {0.0f, -0.0f, 1e-7f, -9999999.0f, 9999999.0f, 123456.789f, 1.17549435e-38f};
  for (int i = 0; i < 3000; ++i) {
    TStoreTriangle& t = store.AddTriangle();
    TStoreSkinTriangle& s = skin.emplace_back();
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 3; ++k) t[c][k] = i < 7 && c == 0 ? special[i] : coord(rng);
      s[c] = TStoreSkinCoord{float(pixel(rng) / 3072.0), float(pixel(rng) / 1536.0)};
    }
  }
  store.SetSkinCoords(std::move(skin));
  TOBJFormat format;
  TTriangleStore back;
  ImportBytes(format, ExportBytes(format, store), back);
  ASSERT_EQ(back.Count(), store.Count());
  ASSERT_TRUE(back.HasSkinCoords());
  for (int i = 0; i < store.Count(); ++i)
    for (int c = 0; c < 3; ++c) {
      for (int k = 0; k < 3; ++k) ASSERT_EQ((*back.Triangle(i))[c][k], (*store.Triangle(i))[c][k]) << i;
      // v is flipped on the way out and in: within a float's step of the
      // value, which is far less than a pixel of the largest skin.
      EXPECT_EQ(back.SkinTriangle(i)[c].U, store.SkinTriangle(i)[c].U);
      EXPECT_NEAR(back.SkinTriangle(i)[c].V, store.SkinTriangle(i)[c].V, 1e-7);
    }
}

TEST(ObjFormat, FilerWritesAndFindsTheMaterialBeside) {
  TTempDir dir;
  TTriangleFiler filer;
  filer.RegisterFormat<TOBJFormat>();
  filer.AddTriangle() = Tri(0, 0, 0, 1, 0, 1, 1, 0, 0);
  std::vector<TStoreSkinTriangle> skin(1);
  skin[0][1] = {0.5f, 0.25f};
  filer.SetSkinCoords(std::move(skin));
  filer.ExportToFile(dir.File("frame.Obj"));
  EXPECT_EQ(filer.SkinPictureFile, dir.File("frame.png"));
  const std::vector<uint8_t> obj = ReadFile(dir.File("frame.Obj"));
  const std::string text(obj.begin(), obj.end());
  EXPECT_NE(text.find("\nmtllib frame.mtl\n"), std::string::npos);
  EXPECT_NE(text.find("\nusemtl skin\nf "), std::string::npos);
  const std::vector<uint8_t> mtl = ReadFile(dir.File("frame.mtl"));
  EXPECT_EQ(ObjMaterialPicture(std::string(mtl.begin(), mtl.end()), "skin"), "frame.png");

  filer.SetCount(0);
  filer.ImportFromFile(dir.File("frame.Obj"));
  ASSERT_EQ(filer.Count(), 1);
  ASSERT_TRUE(filer.HasSkinCoords());
  EXPECT_EQ(filer.SkinTriangle(0)[1].U, 0.5f);
  EXPECT_EQ(filer.SkinTriangle(0)[1].V, 0.25f);
  EXPECT_EQ(filer.SkinPictureFile, dir.File("frame.png"));

  // Without skin coordinates there is no material, and none is looked for.
  filer.ClearSkinCoords();
  filer.ExportToFile(dir.File("plain.obj"));
  EXPECT_TRUE(filer.SkinPictureFile.empty());
  EXPECT_FALSE(std::filesystem::exists(dir.File("plain.mtl")));
}

TEST(ObjFormat, MaterialPictureIsFollowedOnlyInsideTheFolder) {
  struct TCase {
    std::string Library;  // written as lib.mtl beside the OBJ
    std::string LibraryName;  // as the OBJ names it
    std::string Picture;  // expected, relative to the folder ("" = none)
  };
  const TCase cases[] = {
      {"newmtl a\nmap_Kd a.png\nnewmtl skin\nmap_Kd skin.png\n", "lib.mtl", "skin.png"},
      {"newmtl other\nmap_Kd -s 1 1 1 -clamp on tex/other.png\n", "lib.mtl", "tex/other.png"},
      {"newmtl skin\nmap_Kd tex\\back.png\r\n", "lib.mtl", "tex/back.png"},
      {"newmtl skin\nmap_Kd ../outside.png\n", "lib.mtl", ""},
      {"newmtl skin\nmap_Kd /etc/skin.png\n", "lib.mtl", ""},
      {"newmtl skin\nmap_Kd C:\\skin.png\n", "lib.mtl", ""},
      {"newmtl skin\nKd 1 1 1\n", "lib.mtl", ""},
      {"newmtl skin\nmap_Kd skin.png\n", "../lib.mtl", ""},
      {"newmtl skin\nmap_Kd skin.png\n", "missing.mtl", ""},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Library + " as " + c.LibraryName);
    TTempDir dir;
    WriteFile(dir.File("lib.mtl"), Bytes(c.Library));
    WriteFile(dir.File("m.obj"), Bytes("mtllib " + c.LibraryName + "\n" + kSquare + "usemtl skin\nf 1/1 2/2 3/3\n"));
    TTriangleFiler filer;
    filer.RegisterFormat<TOBJFormat>();
    filer.ImportFromFile(dir.File("m.obj"));
    EXPECT_EQ(filer.SkinPictureFile, c.Picture.empty() ? "" : dir.File(c.Picture));
  }
}
