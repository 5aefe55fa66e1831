#include "exchange/DxfFormat.h"

#include <cmath>
#include <string>
#include <string_view>

#include "core/Format.h"
#include "core/Progress.h"
#include "core/Streams.h"
#include "core/TextCase.h"
#include "exchange/TextNumbers.h"

namespace {

constexpr int kReadBufferSize = 4096;
constexpr uint8_t LF = 10;
constexpr uint8_t CR = 13;
// A fourth corner that differs from the third by more than this makes the
// face a quadrilateral.
constexpr float kCornerTolerance = 0.001f;

// DXF X, Y, Z go to these store components.
constexpr int kAxisX = 1;
constexpr int kAxisY = 0;
constexpr int kAxisZ = 2;

// Groups text groups: codes 0-9 and 999-1009 may carry an empty value.
bool IsTextGroup(int32_t code) { return code < 10 || (code >= 999 && code <= 1009); }

class TDXFReader {
public:
  TDXFReader(TStream& stream, TTriangleStore& store) : Stream_(stream), Store_(store) {
    Size_ = stream.Size() - stream.Position();
  }

  void Run() {
    Store_.SetCount(0);
    TProgressor& progress = Progressor();
    for (;;) {
      ReadGroup();
      if (LineCounter_ % 5 == 0) progress.SetDescription(Format(">Reading Line %d", LineCounter_));
      if (SameText(Value_, "EOF")) break;
      if (SameText(Value_, "3DFACE")) ReadFace();
      if (Size_ > 0) progress.SetPosition(static_cast<int32_t>(std::lround(double(Consumed_) / double(Size_) * 100.0)));
    }
  }

private:
  // ---- bytes ----

  bool Refill() {
    const int64_t got = Stream_.Read(Buffer_, kReadBufferSize);
    Pos_ = 0;
    Len_ = got > 0 ? static_cast<size_t>(got) : 0;
    Consumed_ += static_cast<int64_t>(Len_);
    if (Len_ == 0) Exhausted_ = true;
    return Len_ > 0;
  }
  bool Exhausted() {
    if (Pos_ < Len_) return false;
    return Exhausted_ || !Refill();
  }

  // ---- lines: CR LF, LF and CR each end one line ----

  // Reads the next line into Line_: a view into the read buffer when the line
  // lies wholly inside it, else into Spill_. The view lasts until the next
  // read.
  void ReadLine() {
    if (LineCounter_ < INT32_MAX) ++LineCounter_;
    if (Exhausted()) {
      Line_ = {};
      return;
    }
    bool spilled = false;
    for (;;) {
      const uint8_t* start = Buffer_ + Pos_;
      const uint8_t* end = Buffer_ + Len_;
      const uint8_t* p = start;
      while (p < end && *p != LF && *p != CR) ++p;
      const std::string_view part(reinterpret_cast<const char*>(start), static_cast<size_t>(p - start));
      Pos_ = static_cast<size_t>(p - Buffer_);
      if (p == end) {
        // The line goes on in the next block (or the input ends here).
        if (!spilled) Spill_.clear();
        Spill_.append(part);
        spilled = true;
        if (Exhausted()) break;
        continue;
      }
      ++Pos_;
      const bool checkForLF = *p == CR;
      if (checkForLF && Pos_ == Len_) {
        // Looking for the LF refills the buffer: keep the line first.
        if (!spilled) Spill_.clear();
        Spill_.append(part);
        spilled = true;
      } else if (spilled) {
        Spill_.append(part);
      } else {
        Line_ = part;
      }
      if (checkForLF && !Exhausted() && Buffer_[Pos_] == LF) ++Pos_;
      if (!spilled) return;
      break;
    }
    Line_ = Spill_;
  }

  // ---- groups ----

  void ReadGroup() {
    if (Pending_) {
      Pending_ = false;
      return;
    }
    while (Line_.empty() && !Exhausted()) ReadLine();
    if (!ParseTextInt(Line_, Code_))
      throw EImportExportError(Format("Error in DXF file, group code expected at line %d", LineCounter_));
    ReadLine();
    if (!IsTextGroup(Code_))
      while (Line_.empty() && !Exhausted()) ReadLine();
    // Copied: the read-ahead below may move the buffer under the view.
    Value_.assign(Line_);
    ValueLine_ = LineCounter_;
    ReadLine();
  }

  float Number() {
    float v = 0;
    if (!ParseTextFloat(Value_, v))
      throw EImportExportError(Format("Error in DXF file, invalid group token at line %d", LineCounter_));
    if (!IsImportCoordinate(v))
      throw EImportExportError(Format("Error in DXF file, coordinate %s at line %d is too large: %s",
                                      std::string(TrimBlanks(Value_)).c_str(), ValueLine_, kImportCoordinateRange));
    return v;
  }

  [[noreturn]] static void Limit() {
    throw EImportExportError(Format("Import is limited to %d triangles", kMaxImportTriangles));
  }

  void ReadFace() {
    if (Store_.Count() >= kMaxImportTriangles) Limit();
    TStoreTriangle face;
    bool fourthGiven = false;
    for (;;) {
      ReadGroup();
      switch (Code_) {
        case 10: face[0][kAxisX] = Number(); break;
        case 20: face[0][kAxisY] = Number(); break;
        case 30: face[0][kAxisZ] = Number(); break;
        case 11: face[1][kAxisX] = Number(); break;
        case 21: face[1][kAxisY] = Number(); break;
        case 31: face[1][kAxisZ] = Number(); break;
        case 12: face[2][kAxisX] = Number(); break;
        case 22: face[2][kAxisY] = Number(); break;
        case 32: face[2][kAxisZ] = Number(); break;
        case 13: Extra_[kAxisX] = Number(); fourthGiven = true; break;
        case 23: Extra_[kAxisY] = Number(); fourthGiven = true; break;
        case 33: Extra_[kAxisZ] = Number(); fourthGiven = true; break;
        default: break;
      }
      if (Code_ == 33) break;
      // The next entity begins: this face gave no complete fourth corner,
      // and the group belongs to the main loop.
      if (Code_ == 0) {
        Pending_ = true;
        break;
      }
    }
    // A face without a fourth corner is a triangle.
    if (!fourthGiven) Extra_ = face[2];
    Store_.AddTriangle() = face;
    bool quad = false;
    for (int k = 0; k < 3; ++k)
      if (std::fabs(Extra_[k] - face[2][k]) > kCornerTolerance) quad = true;
    if (quad) {
      // The whole face counts against the limit, so a quadrilateral can
      // never take the store past it.
      if (Store_.Count() >= kMaxImportTriangles) Limit();
      TStoreTriangle& second = Store_.AddTriangle();
      second[0] = face[2];
      second[1] = Extra_;
      second[2] = face[0];
    }
  }

  TStream& Stream_;
  TTriangleStore& Store_;
  int64_t Size_ = 0;
  int64_t Consumed_ = 0;
  uint8_t Buffer_[kReadBufferSize];
  size_t Pos_ = 0;
  size_t Len_ = 0;
  bool Exhausted_ = false;

  int32_t LineCounter_ = 0;
  std::string_view Line_;
  std::string Spill_;
  int32_t Code_ = 0;
  std::string Value_;
  int32_t ValueLine_ = 0;  // the value's own line; the counter is one ahead
  bool Pending_ = false;
  TStoreVertex Extra_;
};

class TDXFWriter {
public:
  explicit TDXFWriter(TStream& stream) : Stream_(stream) { Text_.reserve(kFlushAt + 256); }

  void WriteGroup(int code, std::string_view value) {
    char buf[16];
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, code);
    (void)ec;
    Text_.append(buf, end);
    Text_ += "\r\n";
    Text_ += value;
    Text_ += "\r\n";
    if (Text_.size() >= kFlushAt) Flush();
  }
  void WriteGroup(int code, float value) {
    Number_.clear();
    AppendFixed(Number_, value, 6);
    WriteGroup(code, Number_);
  }
  void Flush() {
    Stream_.WriteBuffer(Text_.data(), static_cast<int64_t>(Text_.size()));
    Text_.clear();
  }

private:
  static constexpr size_t kFlushAt = 1 << 16;
  TStream& Stream_;
  std::string Text_;
  std::string Number_;
};

}  // namespace

void TDXFFormat::Import(TStream& stream, TTriangleStore& store) {
  TDXFReader reader(stream, store);
  reader.Run();
}

void TDXFFormat::Export(TStream& stream, const TTriangleStore& store) {
  TDXFWriter w(stream);
  w.WriteGroup(0, "SECTION");
  w.WriteGroup(2, "HEADER");
  w.WriteGroup(0, "ENDSEC");
  w.WriteGroup(0, "SECTION");
  w.WriteGroup(2, "ENTITIES");
  for (int i = 0; i < store.Count(); ++i) {
    const TStoreTriangle& t = *store.Triangle(i);
    w.WriteGroup(0, "3DFACE");
    // The fourth corner repeats the third: a triangle.
    static constexpr int kCorner[4] = {0, 1, 2, 2};
    for (int c = 0; c < 4; ++c) {
      const TStoreVertex& v = t[kCorner[c]];
      w.WriteGroup(10 + c, v[kAxisX]);
      w.WriteGroup(20 + c, v[kAxisY]);
      w.WriteGroup(30 + c, v[kAxisZ]);
    }
  }
  w.WriteGroup(0, "ENDSEC");
  w.WriteGroup(0, "EOF");
  w.Flush();
}
