#include "exchange/ObjFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/Format.h"
#include "core/Paths.h"
#include "core/Progress.h"
#include "core/SafeSave.h"
#include "core/Streams.h"

namespace {

// Bytes read at a time. The buffer starts at the size of a small file (or
// one block) and grows while a statement fills more than half of it, up to
// the longest statement and one block more.
constexpr size_t kReadBlock = 256 * 1024;
constexpr size_t kSmallestBuffer = 4096;
// Text written is handed to the stream in pieces of about this size.
constexpr size_t kWriteFlush = 1 << 16;
// What a message quotes of a bad token.
constexpr size_t kQuoteLength = 40;
constexpr const char* kMaterialName = "skin";

// A number as OBJ writes it: fixed or exponent notation with an optional
// sign, read straight to the nearest float (a float written in its shortest
// text comes back bit for bit). Infinities, NaNs and values beyond a float
// are refused.
bool ParseObjFloat(std::string_view s, float& value) {
  if (!s.empty() && s.front() == '+') {
    s.remove_prefix(1);
    if (!s.empty() && (s.front() == '-' || s.front() == '+')) return false;
  }
  if (s.empty()) return false;
  const char* const last = s.data() + s.size();
  float v = 0;
  const auto [end, ec] = std::from_chars(s.data(), last, v, std::chars_format::general);
  if (end != last) return false;
  if (ec == std::errc::result_out_of_range) {
    // Too small for a float is as good as 0; too large is refused.
    double d = 0;
    const auto [dend, dec] = std::from_chars(s.data(), last, d, std::chars_format::general);
    if (dend != last || !(std::fabs(d) < 1)) return false;
    v = static_cast<float>(dec == std::errc() ? d : 0.0);
  } else if (ec != std::errc() || !std::isfinite(v)) {
    return false;
  }
  value = v;
  return true;
}

bool IsObjBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

// A token for a message: printable, and not too long.
std::string Quote(std::string_view token) {
  std::string out;
  for (char c : token.substr(0, kQuoteLength)) out += (c >= 32 && c < 127) ? c : '?';
  if (token.size() > kQuoteLength) out += "...";
  return out;
}

// The tokens of one statement, separated by blanks; a "#" at the start of
// a token begins a comment that ends the statement.
class TObjTokens {
public:
  TObjTokens(const char* begin, const char* end) : P_(begin), E_(end) {}
  std::string_view Next() {
    while (P_ < E_ && IsObjBlank(*P_)) ++P_;
    if (P_ == E_ || *P_ == '#') {
      P_ = E_;
      return {};
    }
    const char* start = P_;
    while (P_ < E_ && !IsObjBlank(*P_)) ++P_;
    return std::string_view(start, static_cast<size_t>(P_ - start));
  }
  // The rest of the statement without the blanks around it.
  std::string_view Rest() {
    while (P_ < E_ && IsObjBlank(*P_)) ++P_;
    const char* e = E_;
    while (e > P_ && IsObjBlank(e[-1])) --e;
    const std::string_view rest(P_, static_cast<size_t>(e - P_));
    P_ = E_;
    return rest;
  }

private:
  const char* P_;
  const char* E_;
};

struct TObjPoint {
  float X, Y, Z;
};

class TOBJReader {
public:
  TOBJReader(TStream& stream, TTriangleStore& store) : Stream_(stream), Store_(store) {}

  void Run() {
    Store_.SetCount(0);
    Store_.SkinPictureFile.clear();
    const int64_t size = Stream_.Size() - Stream_.Position();
    TProgressor& progress = Progressor();
    constexpr size_t kLargestBuffer = static_cast<size_t>(kObjMaxLineLength) + kReadBlock;
    std::vector<char> buffer(static_cast<size_t>(std::clamp<int64_t>(size + 1, kSmallestBuffer, kReadBlock)));
    char* base = buffer.data();
    size_t pos = 0, scan = 0, end = 0;
    int64_t consumed = 0;
    bool eof = false;
    int64_t joined = 0;  // physical lines joined into the current statement
    for (;;) {
      char* nl = scan < end ? static_cast<char*>(std::memchr(base + scan, '\n', end - scan)) : nullptr;
      if (nl) {
        const size_t lineEnd = static_cast<size_t>(nl - base);
        size_t k = lineEnd;
        if (k > pos && base[k - 1] == '\r') --k;
        if (k > pos && base[k - 1] == '\\') {
          // A continued line: the backslash and the line break become
          // blanks and the statement goes on.
          std::memset(base + k - 1, ' ', lineEnd + 1 - (k - 1));
          ++joined;
          scan = lineEnd + 1;
          if (scan - pos > static_cast<size_t>(kObjMaxLineLength)) TooLong();
          continue;
        }
        if (lineEnd - pos > static_cast<size_t>(kObjMaxLineLength)) TooLong();
        Statement(base + pos, base + lineEnd);
        Line_ += 1 + joined;
        joined = 0;
        pos = scan = lineEnd + 1;
        continue;
      }
      if (end - pos > static_cast<size_t>(kObjMaxLineLength)) TooLong();
      if (eof) {
        // The last line has no line break; a backslash there continues
        // nothing.
        size_t e = end;
        while (e > pos && IsObjBlank(base[e - 1])) --e;
        if (e > pos && base[e - 1] == '\\') --e;
        if (e > pos) Statement(base + pos, base + e);
        break;
      }
      std::memmove(base, base + pos, end - pos);
      end -= pos;
      pos = 0;
      scan = end;
      if (end > buffer.size() / 2 && buffer.size() < kLargestBuffer) {
        buffer.resize(std::min(2 * buffer.size(), kLargestBuffer));
        base = buffer.data();
      }
      const int64_t got = Stream_.Read(base + end, static_cast<int64_t>(buffer.size() - end));
      if (got <= 0) {
        eof = true;
      } else {
        end += static_cast<size_t>(got);
        consumed += got;
        if (size > 0) progress.SetPosition(static_cast<int32_t>(std::min<int64_t>(100, consumed * 100 / size)));
      }
    }
    if (AllCornersTextured_ && !Skin_.empty()) Store_.SetSkinCoords(std::move(Skin_));
    FindSkinPicture();
  }

private:
  [[noreturn]] void Fail(const std::string& what) const {
    throw EImportExportError(Format("Error in OBJ file on line %lld: %s", static_cast<long long>(Line_), what.c_str()));
  }
  [[noreturn]] void TooLong() const {
    Fail(Format("the line is longer than %d bytes", kObjMaxLineLength));
  }

  float Number(TObjTokens& tokens) {
    const std::string_view t = tokens.Next();
    if (t.empty()) Fail("a number is missing");
    float v = 0;
    if (!ParseObjFloat(t, v)) Fail("'" + Quote(t) + "' is not a valid floating point value");
    return v;
  }
  float Coordinate(TObjTokens& tokens) {
    const std::string_view t = tokens.Next();
    if (t.empty()) Fail("a coordinate is missing");
    float v = 0;
    if (!ParseObjFloat(t, v)) Fail("'" + Quote(t) + "' is not a valid floating point value");
    if (!IsImportCoordinate(v))
      Fail("'" + Quote(t) + "' is too large for a coordinate: " + kImportCoordinateRange);
    return v;
  }

  void Statement(const char* b, const char* e) {
    TObjTokens tokens(b, e);
    const std::string_view keyword = tokens.Next();
    if (keyword == "v") {
      if (Points_.size() >= static_cast<size_t>(kMaxImportVertices))
        Fail(Format("import is limited to %d vertices", kMaxImportVertices));
      const float x = Coordinate(tokens), y = Coordinate(tokens), z = Coordinate(tokens);
      // The model's x, y, z are OBJ's X, -Z, Y.
      Points_.push_back(TObjPoint{x, -z, y});
    } else if (keyword == "f" || keyword == "fo") {
      Face(tokens);
    } else if (keyword == "vt") {
      if (TexCoords_.size() >= static_cast<size_t>(kObjMaxTexCoords))
        Fail(Format("import is limited to %d texture coordinates", kObjMaxTexCoords));
      const float u = Number(tokens);
      // v may be left out (a one-dimensional texture): 0.
      float v = 0;
      const std::string_view t = tokens.Next();
      if (!t.empty() && !ParseObjFloat(t, v)) Fail("'" + Quote(t) + "' is not a valid floating point value");
      TexCoords_.push_back(TStoreSkinCoord{u, static_cast<float>(1.0 - static_cast<double>(v))});
    } else if (keyword == "vn") {
      if (NormalCount_ >= kObjMaxNormals) Fail(Format("import is limited to %d normals", kObjMaxNormals));
      for (int k = 0; k < 3; ++k) Number(tokens);
      ++NormalCount_;
    } else if (keyword == "mtllib") {
      if (Library_.empty()) Library_ = std::string(tokens.Rest());
    } else if (keyword == "usemtl") {
      if (Material_.empty()) Material_ = std::string(tokens.Rest());
    }
    // Everything else (o, g, s, l, p, curves, attributes) has no place in
    // a triangle mesh.
  }

  // A 1-based index, or a negative one counting back from the last of
  // `count` defined so far; gives the 0-based index.
  int Index(std::string_view t, int count, const char* what) {
    bool negative = false;
    size_t i = 0;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
    if (i == t.size()) Fail("'" + Quote(t) + "' is not a valid " + what + " index");
    int64_t n = 0;
    for (; i < t.size(); ++i) {
      const char c = t[i];
      if (c < '0' || c > '9') Fail("'" + Quote(t) + "' is not a valid " + what + " index");
      n = n * 10 + (c - '0');
      if (n > INT32_MAX) n = INT32_MAX;  // out of range anyway
    }
    const int64_t resolved = negative ? count - n : n - 1;
    if (n == 0 || resolved < 0 || resolved >= count)
      Fail(Format("%s index %s%lld is out of range (%d defined so far)", what, negative ? "-" : "",
                  static_cast<long long>(n), count));
    return static_cast<int>(resolved);
  }

  struct TCorner {
    int Point = 0;
    int Tex = -1;
  };

  TCorner Corner(std::string_view t) {
    TCorner c;
    if (std::count(t.begin(), t.end(), '/') > 2) Fail("'" + Quote(t) + "' is not a valid face corner");
    const size_t s1 = t.find('/');
    if (s1 == std::string_view::npos) {
      c.Point = Index(t, static_cast<int>(Points_.size()), "vertex");
      return c;
    }
    c.Point = Index(t.substr(0, s1), static_cast<int>(Points_.size()), "vertex");
    const std::string_view rest = t.substr(s1 + 1);
    const size_t s2 = rest.find('/');
    const std::string_view tex = rest.substr(0, s2);
    if (!tex.empty()) c.Tex = Index(tex, static_cast<int>(TexCoords_.size()), "texture coordinate");
    if (s2 != std::string_view::npos) {
      const std::string_view normal = rest.substr(s2 + 1);
      if (!normal.empty()) Index(normal, NormalCount_, "normal");
      else if (tex.empty()) Fail("'" + Quote(t) + "' is not a valid face corner");
    }
    return c;
  }

  void Face(TObjTokens& tokens) {
    TCorner first, previous;
    int n = 0;
    for (std::string_view t = tokens.Next(); !t.empty(); t = tokens.Next(), ++n) {
      const TCorner c = Corner(t);
      if (c.Tex < 0) AllCornersTextured_ = false;
      if (n == 0) first = c;
      if (n >= 2) {
        if (Store_.Count() >= kMaxImportTriangles)
          Fail(Format("import is limited to %d triangles", kMaxImportTriangles));
        // Anticlockwise in the file, clockwise in the model.
        const TCorner* order[3] = {&first, &c, &previous};
        TStoreTriangle& tri = Store_.AddTriangle();
        TStoreSkinTriangle skin;
        for (int k = 0; k < 3; ++k) {
          const TObjPoint& p = Points_[static_cast<size_t>(order[k]->Point)];
          tri[k] = TStoreVertex{{p.X, p.Y, p.Z, 0}};
          if (order[k]->Tex >= 0) skin[k] = TexCoords_[static_cast<size_t>(order[k]->Tex)];
        }
        if (AllCornersTextured_) Skin_.push_back(skin);
      }
      previous = c;
    }
    if (n < 3) Fail(Format("a face needs at least three corners, this one has %d", n));
  }

  // The picture of the material the faces use, beside the file; only
  // names inside the file's folder are followed.
  void FindSkinPicture() {
    if (Store_.FileName.empty() || Library_.empty() || !Store_.HasSkinCoords()) return;
    const std::string folder = ExtractFilePath(Store_.FileName);
    const std::string library = SafeRelativeName(Library_);
    if (library.empty()) return;
    std::string text;
    try {
      TFileStream in(folder + library, fmOpenRead);
      const int64_t size = in.Size();
      if (size <= 0 || size > kObjMaxMaterialLibrarySize) return;
      text.resize(static_cast<size_t>(size));
      in.ReadBuffer(text.data(), size);
    } catch (const Exception&) {
      // A library that is missing or unreadable leaves the picture out;
      // the geometry is still good.
      return;
    }
    const std::string picture = SafeRelativeName(ObjMaterialPicture(text, Material_));
    if (!picture.empty()) Store_.SkinPictureFile = ExtractFilePath(folder + library) + picture;
  }

  // The name with "/" as separator; "" when it is absolute or climbs out
  // of its folder.
  static std::string SafeRelativeName(std::string name) {
    for (char& c : name)
      if (c == '\\') c = '/';
    if (name.empty() || name.front() == '/' || name.find(':') != std::string::npos) return {};
    size_t start = 0;
    for (;;) {
      const size_t slash = name.find('/', start);
      if (name.compare(start, slash == std::string::npos ? std::string::npos : slash - start, "..") == 0) return {};
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    return name;
  }

  TStream& Stream_;
  TTriangleStore& Store_;
  int64_t Line_ = 1;
  std::vector<TObjPoint> Points_;
  std::vector<TStoreSkinCoord> TexCoords_;
  int NormalCount_ = 0;
  std::vector<TStoreSkinTriangle> Skin_;
  bool AllCornersTextured_ = true;
  std::string Library_;
  std::string Material_;
};

class TOBJWriter {
public:
  explicit TOBJWriter(TStream& stream) : Stream_(stream) { Text_.reserve(kWriteFlush + 256); }

  void Line(std::string_view text) {
    Text_ += text;
    Text_ += '\n';
    Flush(false);
  }
  // A keyword followed by numbers, each in the shortest text that reads
  // back as the same float.
  void Numbers(const char* keyword, std::initializer_list<float> values) {
    Text_ += keyword;
    char buf[32];
    for (float v : values) {
      Text_ += ' ';
      const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
      (void)ec;
      Text_.append(buf, end);
    }
    Text_ += '\n';
    Flush(false);
  }
  void Face(const int (&point)[3], const int (&tex)[3], bool textured) {
    Text_ += 'f';
    char buf[16];
    for (int k = 0; k < 3; ++k) {
      Text_ += ' ';
      Text_.append(buf, std::to_chars(buf, buf + sizeof buf, point[k] + 1).ptr);
      if (textured) {
        Text_ += '/';
        Text_.append(buf, std::to_chars(buf, buf + sizeof buf, tex[k] + 1).ptr);
      }
    }
    Text_ += '\n';
    Flush(false);
  }
  void Flush(bool always) {
    if (!always && Text_.size() < kWriteFlush) return;
    Stream_.WriteBuffer(Text_.data(), static_cast<int64_t>(Text_.size()));
    Text_.clear();
  }

private:
  TStream& Stream_;
  std::string Text_;
};

uint32_t Bits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  return u;
}

// The base name of a file: no folder, no extension.
std::string StemOf(const std::string& fileName) {
  std::string name = fileName.substr(ExtractFilePath(fileName).size());
  const std::string ext = ExtractFileExt(name);
  return name.substr(0, name.size() - ext.size());
}

}  // namespace

void TOBJFormat::Import(TStream& stream, TTriangleStore& store) {
  TOBJReader reader(stream, store);
  reader.Run();
}

void TOBJFormat::Export(TStream& stream, const TTriangleStore& store) {
  const bool textured = store.HasSkinCoords();
  // Each distinct position and texture coordinate once, in order of use.
  struct TKey {
    uint32_t A, B, C;
    bool operator==(const TKey&) const = default;
  };
  struct THash {
    size_t operator()(const TKey& k) const {
      return (static_cast<size_t>(k.A) * 0x9E3779B97F4A7C15ull) ^ (static_cast<size_t>(k.B) * 0xC2B2AE3D27D4EB4Full) ^
             (static_cast<size_t>(k.C) * 0x165667B19E3779F9ull);
    }
  };
  std::unordered_map<TKey, int, THash> points, texCoords;
  std::vector<const TStoreVertex*> pointList;
  std::vector<TStoreSkinCoord> texList;
  const size_t n = static_cast<size_t>(store.Count());
  std::vector<int> pointIndex(3 * n), texIndex(textured ? 3 * n : 0);
  for (int i = 0; i < store.Count(); ++i) {
    const TStoreTriangle& t = *store.Triangle(i);
    for (int c = 0; c < 3; ++c) {
      const auto [it, fresh] = points.try_emplace(TKey{Bits(t[c][0]), Bits(t[c][1]), Bits(t[c][2])},
                                                  static_cast<int>(pointList.size()));
      if (fresh) pointList.push_back(&t[c]);
      pointIndex[3 * static_cast<size_t>(i) + static_cast<size_t>(c)] = it->second;
      if (!textured) continue;
      const TStoreSkinCoord& s = store.SkinTriangle(i)[c];
      const auto [tt, freshTex] = texCoords.try_emplace(TKey{Bits(s.U), Bits(s.V), 0}, static_cast<int>(texList.size()));
      if (freshTex) texList.push_back(s);
      texIndex[3 * static_cast<size_t>(i) + static_cast<size_t>(c)] = tt->second;
    }
  }

  TOBJWriter w(stream);
  w.Line(Format("# %d vertices, %d triangles", static_cast<int>(pointList.size()), store.Count()));
  std::string stem;
  if (textured && !store.FileName.empty()) {
    stem = StemOf(store.FileName);
    w.Line("mtllib " + stem + ".mtl");
  }
  for (const TStoreVertex* p : pointList) w.Numbers("v", {(*p)[0], (*p)[2], -(*p)[1]});
  for (const TStoreSkinCoord& s : texList) w.Numbers("vt", {s.U, static_cast<float>(1.0 - static_cast<double>(s.V))});
  if (!stem.empty()) w.Line(std::string("usemtl ") + kMaterialName);
  for (size_t i = 0; i < n; ++i) {
    // Clockwise in the model, anticlockwise in the file.
    const int p[3] = {pointIndex[3 * i], pointIndex[3 * i + 2], pointIndex[3 * i + 1]};
    int t[3] = {0, 0, 0};
    if (textured) t[0] = texIndex[3 * i], t[1] = texIndex[3 * i + 2], t[2] = texIndex[3 * i + 1];
    w.Face(p, t, textured);
  }
  w.Flush(true);

  if (!stem.empty()) {
    const std::string folder = ExtractFilePath(store.FileName);
    std::string mtl = std::string("newmtl ") + kMaterialName + "\n";
    mtl += "Ka 0 0 0\nKd 1 1 1\nKs 0 0 0\nillum 1\n";
    mtl += "map_Kd " + stem + ".png\n";
    SafeSaveBytes(folder + stem + ".mtl", mtl);
    store.SkinPictureFile = folder + stem + ".png";
  }
}

std::string ObjMaterialPicture(const std::string& libraryText, const std::string& material) {
  std::string current, first, wanted;
  size_t pos = 0;
  while (pos < libraryText.size()) {
    size_t eol = libraryText.find('\n', pos);
    if (eol == std::string::npos) eol = libraryText.size();
    TObjTokens tokens(libraryText.data() + pos, libraryText.data() + eol);
    pos = eol + 1;
    const std::string_view keyword = tokens.Next();
    if (keyword == "newmtl") {
      current = std::string(tokens.Rest());
    } else if (keyword == "map_Kd") {
      std::string_view rest = tokens.Rest();
      // Options ("-s 1 1 1", "-clamp on", ...) come first; the file name
      // is then the last word.
      if (!rest.empty() && rest.front() == '-') {
        const size_t blank = rest.find_last_of(" \t");
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
      }
      if (rest.empty()) continue;
      if (first.empty()) first = std::string(rest);
      if (!material.empty() && current == material && wanted.empty()) wanted = std::string(rest);
    }
  }
  return wanted.empty() ? first : wanted;
}
