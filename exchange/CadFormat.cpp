#include "exchange/CadFormat.h"

#include <string>
#include <string_view>

#include "core/Format.h"
#include "core/Streams.h"
#include "core/Tokenizer.h"
#include "exchange/TextNumbers.h"

namespace {

// File units are half the model's.
constexpr float kImportScale = 2.0f;
constexpr double kExportScale = 0.5;
constexpr int kExportDecimals = 2;

// The scene around the exported object: a camera and two lights, then the
// head of the object's point list (three points per face).
constexpr const char* kScenePreamble[] = {
    "version 1.3",       "distance 20.3961",  "_camera _camera0", "  size 0 0 0",
    "  extra -1.33 0 1", "  scale 0 0 0",     "  rotate 0 1 0",   "  move 0 4 20",
    "_light _light0",    "  size 1 1 1",      "  extra -20 35 34", "  scale 1 1 1",
    "  move -20 35 34",  "_light _light1",    "  size 1 1 1",     "  extra 0 0 24",
    "  scale 1 1 1",     "  move 0 0 24",     "points frame",     "3",
};

void SkipRestOfLine(TTokenizer& tok) {
  while (tok.MoreOnLine()) tok.NextToken(false);
}

float NumberToken(TTokenizer& tok) {
  tok.NextToken(false);
  float v = 0;
  if (!ParseTextFloat(tok.Token(), v))
    throw EImportExportError(Format("'%s' is not a valid floating point value on line %d", tok.Token().c_str(),
                                    static_cast<int>(tok.Line())));
  // Checked after scaling: a float near its limit doubles to infinity.
  v *= kImportScale;
  if (!IsImportCoordinate(v))
    throw EImportExportError(Format("'%s' on line %d is too large for a coordinate: %s", tok.Token().c_str(),
                                    static_cast<int>(tok.Line()), kImportCoordinateRange));
  return v;
}

// Returns false when the import stops for good (end of input, or a token
// that is neither a face nor the block's end).
bool ReadFaces(TTokenizer& tok, TTriangleStore& store) {
  bool more = tok.NextToken(true);
  for (;;) {
    if (!more) return false;
    if (tok.Token() == "end") return true;
    if (tok.Token() != "F") return false;
    if (store.Count() >= kMaxImportTriangles)
      throw EImportExportError(Format("Import is limited to %d triangles", kMaxImportTriangles));
    TStoreTriangle face;
    for (int c = 0; c < 3; ++c) {
      // File x, y, z are the model's x, z, y.
      face[c][0] = NumberToken(tok);
      face[c][2] = NumberToken(tok);
      face[c][1] = NumberToken(tok);
    }
    store.AddTriangle() = face;
    more = tok.NextToken(true);
  }
}

void AppendPoint(std::string& line, const TStoreVertex& v) {
  static constexpr int kFileAxis[3] = {0, 2, 1};
  for (int k : kFileAxis) {
    line += ' ';
    AppendFixed(line, static_cast<double>(v[k]) * kExportScale, kExportDecimals);
  }
}

}  // namespace

void TCADFormat::Import(TStream& stream, TTriangleStore& store) {
  // A tokenizer of its own: the program's one may be in the middle of a frame
  // list that asked for this import.
  TTokenizer tok;
  tok.Reset(stream);
  store.SetCount(0);
  for (;;) {
    if (!tok.NextToken(true)) return;
    const bool block = tok.Token() == "points";
    SkipRestOfLine(tok);
    if (!block) continue;
    if (!tok.NextToken(true)) return;
    if (tok.Token() != "3") throw EImportExportError("CAD file contains an object that was not decomposed");
    SkipRestOfLine(tok);
    if (!ReadFaces(tok, store)) return;
  }
}

void TCADFormat::Export(TStream& stream, const TTriangleStore& store) {
  std::string text;
  for (const char* line : kScenePreamble) {
    text += line;
    text += "\r\n";
  }
  for (int i = 0; i < store.Count(); ++i) {
    const TStoreTriangle& t = *store.Triangle(i);
    text += 'F';
    for (int c = 0; c < 3; ++c) AppendPoint(text, t[c]);
    text += "\r\n";
    if (text.size() >= (1 << 16)) {
      stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
      text.clear();
    }
  }
  text += "end\r\nend\r\n";
  stream.WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
}
