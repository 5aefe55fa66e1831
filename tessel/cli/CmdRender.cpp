// tessel render MODEL.mdl -o OUT.bmp|png [options]: draws one frame (or
// every frame, or a contact sheet of them) of a model with the frame view's
// own paint box, off screen, and writes 8-bit pictures in the display colours.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Format.h"
#include "core/SafeSave.h"
#include "core/Streams.h"
#include "editor/MDLEdit.h"
#include "exchange/PngFormat.h"
#include "mdl/Mdl.h"
#include "raster/WinGBitmap.h"
#include "render/ContactSheet.h"
#include "render/MDLFramePaintBox.h"
#include "tessel/cli/CmdArgs.h"
#include "render/RenderCamera.h"
#include "core/CommandTable.h"

namespace {

constexpr const char* kUsage =
    "usage: tessel render MODEL.mdl -o OUT.bmp|png [--scene N] [--frame N | --name NAME | --all-frames |\n"
    "                     --sheet [COLS]] [--view V] [--mode M] [--lighting] [--backsides] [--size WxH]\n"
    "                     [--skin N]\n";

constexpr const char* kHelp =
    "Draws a frame of MODEL.mdl as the frame view does and writes it as an 8-bit BMP\n"
    "or PNG (by the name's ending) in the display colours.\n"
    "\n"
    "  -o OUT.bmp|png    the picture to write\n"
    "  --scene N         the scene, from 0 (default 0)\n"
    "  --frame N         the frame within the scene, from 0 (default 0)\n"
    "  --name NAME       the frame with this name instead (\"walk3\")\n"
    "  --all-frames      one picture per frame: of the model, or of --scene N. The\n"
    "                    pictures go beside OUT, named after it: OUT.bmp gives\n"
    "                    OUT_000_stand1.bmp, OUT_001_stand2.bmp, ... (the frame's\n"
    "                    number over all scenes and its name, letters, digits, '-'\n"
    "                    and '_' only; OUT.png gives .png pictures)\n"
    "  --sheet [COLS]    one contact sheet of every frame of the model, or of\n"
    "                    --scene N, in rows of COLS (default: about as many rows\n"
    "                    as columns), each frame's name under its picture; written\n"
    "                    as PNG. Each picture is --size big, default 160x120\n"
    "  --view V          oblique (default), front, back, left, right, top, bottom,\n"
    "                    weapon\n"
    "  --mode M          textured (default), solid, wire\n"
    "  --lighting        shade by the light, which comes from the eye\n"
    "  --backsides       also draw the faces turned away (dark red)\n"
    "  --size WxH        picture size, default 640x480; at most 4096x1024\n"
    "  --skin N          the skin, from 0 (default 0)\n"
    "\n"
    "The camera is fitted once to the box over the frames drawn (one frame: the\n"
    "model's box over all frames), so the frames of --all-frames and --sheet line\n"
    "up (the weapon view keeps its own narrow field).\n";

constexpr int kMaxWidth = 4096;
constexpr int kMaxHeight = 1024;
constexpr int kSheetCellWidth = 160;
constexpr int kSheetCellHeight = 120;

struct TRenderOptions {
  std::string Model;
  std::string Output;
  std::optional<int> Scene;
  std::optional<int> Frame;
  std::optional<std::string> Name;
  bool AllFrames = false;
  bool Sheet = false;
  int Columns = 0;  // 0: chosen from the number of frames
  int View = 0;
  std::string ViewName = "oblique";
  uint8_t Mode = vmTextured;
  std::string ModeName = "textured";
  bool Lighting = false;
  bool Backsides = false;
  int Width = 640;
  int Height = 480;
  bool SizeGiven = false;
  int Skin = 0;
};

int ViewIndex(const std::string& name) {
  static const std::pair<const char*, int> kViews[] = {{"oblique", 0}, {"front", 1}, {"back", 2},
                                                       {"right", 3},   {"left", 4},  {"top", 5},
                                                       {"bottom", 6},  {"weapon", 7}};
  for (const auto& [n, i] : kViews)
    if (name == n) return i;
  return -1;
}

bool ParseSize(const std::string& s, int& w, int& h) {
  const size_t x = s.find_first_of("xX");
  if (x == std::string::npos) return false;
  const auto pw = cmdargs::ParseIndex(s.substr(0, x)), ph = cmdargs::ParseIndex(s.substr(x + 1));
  if (!pw || !ph) return false;
  w = *pw;
  h = *ph;
  return true;
}

// Fills `o` from the arguments; on a mistake returns the message to show.
std::optional<std::string> ParseOptions(const std::vector<std::string>& args, TRenderOptions& o) {
  std::vector<std::string> seen;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.size() < 2 || a[0] != '-') {
      if (!o.Model.empty()) return "more than one model named";
      o.Model = a;
      continue;
    }
    if (std::find(seen.begin(), seen.end(), a) != seen.end()) return a + " given twice";
    seen.push_back(a);
    if (a == "--lighting") {
      o.Lighting = true;
      continue;
    }
    if (a == "--backsides") {
      o.Backsides = true;
      continue;
    }
    if (a == "--all-frames") {
      o.AllFrames = true;
      continue;
    }
    if (a == "--sheet") {
      o.Sheet = true;
      // The number of columns may follow; a model's name never reads as one.
      if (i + 1 < args.size()) {
        if (const auto n = cmdargs::ParseIndex(args[i + 1])) {
          if (*n < 1) return "--sheet takes at least 1 column, not '" + args[i + 1] + "'";
          o.Columns = *n;
          ++i;
        }
      }
      continue;
    }
    static const char* const kValued[] = {"-o", "--scene", "--frame", "--name", "--view", "--mode", "--size", "--skin"};
    if (std::none_of(std::begin(kValued), std::end(kValued), [&a](const char* v) { return a == v; }))
      return "unknown option " + a;
    if (i + 1 >= args.size()) return a + " needs a value";
    const std::string& v = args[++i];
    auto number = [&v, &a](int& out) -> std::optional<std::string> {
      const auto n = cmdargs::ParseIndex(v);
      if (!n || *n < 0) return a + " takes a number from 0, not '" + v + "'";
      out = *n;
      return std::nullopt;
    };
    if (a == "-o") {
      if (v.empty()) return std::string("-o needs a file name");
      o.Output = v;
    } else if (a == "--scene") {
      int n = 0;
      if (auto e = number(n)) return e;
      o.Scene = n;
    } else if (a == "--frame") {
      int n = 0;
      if (auto e = number(n)) return e;
      o.Frame = n;
    } else if (a == "--skin") {
      if (auto e = number(o.Skin)) return e;
    } else if (a == "--name") {
      if (v.empty()) return std::string("--name needs a frame name");
      o.Name = v;
    } else if (a == "--view") {
      o.View = ViewIndex(v);
      if (o.View < 0) return "unknown view '" + v + "' (oblique, front, back, left, right, top, bottom, weapon)";
      o.ViewName = v;
    } else if (a == "--mode") {
      if (v == "textured") o.Mode = vmTextured;
      else if (v == "solid") o.Mode = vmSolid;
      else if (v == "wire") o.Mode = vmWireFrame;
      else return "unknown mode '" + v + "' (textured, solid, wire)";
      o.ModeName = v;
    } else if (a == "--size") {
      if (!ParseSize(v, o.Width, o.Height)) return "--size takes WIDTHxHEIGHT, not '" + v + "'";
      o.SizeGiven = true;
      if (o.Width < 1 || o.Height < 1) return "the picture needs at least one pixel each way";
      if (o.Width > kMaxWidth || o.Height > kMaxHeight)
        return Format("pictures are at most %d x %d pixels", kMaxWidth, kMaxHeight);
    }
  }
  if (o.Model.empty()) return std::string("no model named");
  if (o.Output.empty()) return std::string("no picture named (-o OUT.bmp or OUT.png)");
  if (!cmdargs::HasExtension(o.Output, {".bmp", ".png"}))
    return o.Output + ": pictures are written as .bmp or .png only";
  if (o.Name && (o.Scene || o.Frame)) return std::string("--name cannot go with --scene or --frame");
  if (o.AllFrames && (o.Name || o.Frame)) return std::string("--all-frames cannot go with --frame or --name");
  if (o.Sheet && (o.Name || o.Frame || o.AllFrames))
    return std::string("--sheet cannot go with --frame, --name or --all-frames");
  if (o.Sheet && !cmdargs::HasExtension(o.Output, {".png"}))
    return o.Output + ": contact sheets are written as .png only";
  if (o.Sheet && !o.SizeGiven) {
    o.Width = kSheetCellWidth;
    o.Height = kSheetCellHeight;
  }
  return std::nullopt;
}

// A frame to draw: its scene, its number there and over all scenes.
struct TShot {
  int Scene = 0;
  int Frame = 0;
  int Flat = 0;
};

// The frame name as a piece of a file name: letters, digits, '-' and '_'
// only, so a name read from the model cannot lead anywhere else.
std::string SafeName(const std::string& name) {
  std::string out;
  for (char c : name)
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_') out += c;
  return out;
}

// The picture's file for one frame of --all-frames: beside OUT, named after it.
std::string ShotFileName(const std::string& out, const TShot& shot, const std::string& frameName) {
  namespace fs = std::filesystem;
  const fs::path p(out);
  std::string name = p.stem().string() + Format("_%03d", shot.Flat);
  const std::string safe = SafeName(frameName);
  if (!safe.empty()) name += "_" + safe;
  const std::string ext = cmdargs::HasExtension(out, {".png"}) ? ".png" : ".bmp";
  return (p.parent_path() / (name + ext)).string();
}

// The colour-table entry nearest to (r, g, b).
uint8_t NearestEntry(const uint8_t* table, int r, int g, int b) {
  int best = 0, bestDistance = 1 << 30;
  for (int i = 0; i < kColorTableEntries; ++i) {
    const int dr = table[4 * i + 2] - r, dg = table[4 * i + 1] - g, db = table[4 * i] - b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) bestDistance = d, best = i;
  }
  return static_cast<uint8_t>(best);
}

// Writes the first w x h pixels of the picture (the surface rounds its
// width up to whole words) with its colour table, as PNG or BMP by the
// name's ending.
void WritePicture(const TWinGBitmap& picture, int w, int h, const std::string& fileName) {
  if (cmdargs::HasExtension(fileName, {".png"})) {
    TPngIndexed png;
    png.Width = w;
    png.Height = h;
    png.Pixels = picture.ScanLine(0);
    png.Stride = h > 1 ? picture.ScanLine(1) - picture.ScanLine(0) : 0;
    png.ColorTable = picture.ColorTable();
    SafeSave(fileName, [&](TStream& stream) { WritePng(stream, png); });
    return;
  }
  TWinGBitmap out;
  out.SetSize(w, h);
  std::memcpy(out.ColorTable(), picture.ColorTable(), kColorTableSize);
  for (int y = 0; y < h; ++y) std::memcpy(out.ScanLine(y), picture.ScanLine(y), static_cast<size_t>(w));
  TMemoryStream bytes;
  out.SaveToStream(bytes);
  const std::vector<uint8_t> data = bytes.Bytes();
  SafeSaveBytes(fileName, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

int RunRender(const std::vector<std::string>& args) {
  if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
    std::fputs(kUsage, stdout);
    std::fputs("\n", stdout);
    std::fputs(kHelp, stdout);
    return 0;
  }
  TRenderOptions o;
  if (auto error = ParseOptions(args, o)) {
    std::fprintf(stderr, "tessel render: %s\n", error->c_str());
    std::fputs(kUsage, stderr);
    return 2;
  }

  TMDLEditor editor;
  editor.LoadFromFile(o.Model);
  TMDL& m = *editor.Model;
  if (m.Frames->Count() == 0) throw EMDLError(Format("%s has no frame to draw", o.Model.c_str()));
  if (m.Skins->Count() == 0) throw EMDLError(Format("%s has no skin to draw with", o.Model.c_str()));
  if (!editor.IsValid()) throw EMDLError(Format("%s could not be opened for drawing", o.Model.c_str()));

  // Which frames.
  std::vector<TShot> shots;
  if (o.Name) {
    for (int k = 0; k < m.Frames->Count() && shots.empty(); ++k)
      if (m.Frames->Frame(k).Name() == *o.Name) {
        const TFlatEntry e = m.Frames->IndexEntry(k);
        shots.push_back({e.Group, e.Member, k});
      }
    if (shots.empty()) {
      std::fprintf(stderr, "tessel render: no frame named '%s' in %s\n", o.Name->c_str(), o.Model.c_str());
      return 1;
    }
  } else {
    const int s = o.Scene.value_or(0);
    if (s >= m.Frames->SceneCount()) {
      std::fprintf(stderr, "tessel render: no scene %d in %s (it has %d scenes)\n", s, o.Model.c_str(),
                   m.Frames->SceneCount());
      return 1;
    }
    if (o.AllFrames || o.Sheet) {
      for (int k = 0; k < m.Frames->Count(); ++k) {
        const TFlatEntry e = m.Frames->IndexEntry(k);
        if (!o.Scene || e.Group == s) shots.push_back({e.Group, e.Member, k});
      }
    } else {
      const int f = o.Frame.value_or(0);
      if (f >= m.Frames->SceneFrameCount(s)) {
        std::fprintf(stderr, "tessel render: no frame %d in scene %d of %s (it has %d frames)\n", f, s,
                     o.Model.c_str(), m.Frames->SceneFrameCount(s));
        return 1;
      }
      shots.push_back({s, f, m.Frames->FrameIndex(&m.Frames->Scene(s)) + f});
    }
  }
  if (o.Skin >= m.Skins->Count()) {
    std::fprintf(stderr, "tessel render: no skin %d in %s (it has %d skins)\n", o.Skin, o.Model.c_str(),
                 m.Skins->Count());
    return 1;
  }

  TOffscreenSurfaceHost host;
  host.Bounds = TRect{0, 0, o.Width, o.Height};
  TMDLFramePaintBox box(&editor, &host);
  box.SetBitmapFitting(bfNone);
  box.SetBackgroundIndex(box.BackgroundIndex());
  box.SetViewMode(o.Mode);
  box.Lighting = o.Lighting;
  box.ShowBacksides = o.Backsides;
  editor.SetCurrentSkin(o.Skin);
  editor.SetCurrentScene(shots.front().Scene);
  editor.SetCurrentFrame(shots.front().Frame);
  box.PlayFrame = shots.front().Frame;

  // The camera, once for all frames.
  box.SetResolution(o.Width, o.Height);
  box.SetView(o.View);
  box.CenterView();
  if (o.View == 7) {
    box.SetView(7);  // its own field of view and centre
  } else if (o.Sheet || o.AllFrames) {
    // A series of frames shares the box over the frames it shows, so the
    // figure fills the pictures and moves in them as it does in the scene.
    TFrameVertex lo = m.Frames->Frame(shots.front().Flat).BBoxMin, hi = m.Frames->Frame(shots.front().Flat).BBoxMax;
    for (const TShot& shot : shots) {
      const TMDLFrame& f = m.Frames->Frame(shot.Flat);
      lo = {std::min(lo.X, f.BBoxMin.X), std::min(lo.Y, f.BBoxMin.Y), std::min(lo.Z, f.BBoxMin.Z)};
      hi = {std::max(hi.X, f.BBoxMax.X), std::max(hi.Y, f.BBoxMax.Y), std::max(hi.Z, f.BBoxMax.Z)};
    }
    FitCamera(box, lo, hi, box.Bitmap().GetWidth(), box.Bitmap().GetHeight());
  } else {
    FitCamera(box, m, box.Bitmap().GetWidth(), box.Bitmap().GetHeight());
  }
  box.LightFromCamera();

  std::optional<TContactSheet> sheet;
  if (o.Sheet) {
    const int n = static_cast<int>(shots.size());
    const int columns = o.Columns > 0 ? o.Columns : static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const uint8_t* table = box.Bitmap().ColorTable();
    sheet.emplace(LayoutSheet(n, columns, o.Width, o.Height), table, NearestEntry(table, 40, 40, 40),
                  NearestEntry(table, 255, 255, 255));
  }

  for (size_t k = 0; k < shots.size(); ++k) {
    const TShot& shot = shots[k];
    editor.SetCurrentScene(shot.Scene);
    editor.SetCurrentFrame(shot.Frame);
    box.PlayFrame = shot.Frame;
    box.Paint();
    const std::string name = m.Frames->Frame(shot.Flat).Name();
    if (sheet) {
      sheet->Place(static_cast<int>(k), box.Bitmap(), name);
      continue;
    }
    const std::string file = o.AllFrames ? ShotFileName(o.Output, shot, name) : o.Output;
    WritePicture(box.Bitmap(), o.Width, o.Height, file);
    std::printf("%s: frame %d \"%s\" (scene %d, frame %d), %s view, %s%s%s, %d x %d\n", file.c_str(), shot.Flat,
                name.c_str(), shot.Scene, shot.Frame, o.ViewName.c_str(), o.ModeName.c_str(),
                o.Lighting ? ", lit" : "", o.Backsides ? ", back faces" : "", o.Width, o.Height);
  }
  if (sheet) {
    TPngIndexed png;
    png.Width = sheet->Width();
    png.Height = sheet->Height();
    png.Pixels = sheet->Pixels();
    png.Stride = sheet->Width();
    png.ColorTable = sheet->ColorTable();
    SafeSave(o.Output, [&](TStream& stream) { WritePng(stream, png); });
    const std::string which = o.Scene ? Format("scene %d", *o.Scene) : std::string("all scenes");
    std::printf("%s: contact sheet of %d frames (%s) in %d columns, %s view, %s%s%s, %d x %d each, %d x %d\n",
                o.Output.c_str(), static_cast<int>(shots.size()), which.c_str(), sheet->Layout().Columns,
                o.ViewName.c_str(), o.ModeName.c_str(), o.Lighting ? ", lit" : "", o.Backsides ? ", back faces" : "",
                o.Width, o.Height, sheet->Width(), sheet->Height());
  }
  return 0;
}

}  // namespace

TESSEL_COMMAND("render",
               "MODEL.mdl -o OUT.bmp|png [--scene N --frame N | --name NAME | --all-frames | --sheet [COLS]] "
               "[--view V] [--mode M] [--lighting] [--backsides] [--size WxH] [--skin N]  draw a frame, or a "
               "contact sheet of frames, as a picture "
               "(tessel render --help tells more)",
               RunRender);
