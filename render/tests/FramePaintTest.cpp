// The frame paint box's picture: rendering properties on models built in
// code, the editor's events, and every real model in every mode and view.

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "render/tests/FrameFixtures.h"

using namespace rendertest;

namespace {

constexpr uint8_t kSkinColor = 100;

// A 64 x 64 square facing the eye, mapped onto the whole 16 x 16 skin.
void OneSquare(TMDL& m) {
  MakeSkin(m, 16, 16, kSkinColor);
  AddMesh(m, Square(0, 32, 0, 16, 16), SquareFaces(0));
}

// A host that counts what the surface asks of it.
class TCountingHost : public TOffscreenSurfaceHost {
public:
  void Invalidate() override { ++Invalidates; }
  void Repaint() override { ++Repaints; }
  int Invalidates = 0;
  int Repaints = 0;
};

}  // namespace

// ---- colours ------------------------------------------------------------------------

TEST(FramePaint, SingleColourSkinShowsOnlyThatColoursShades) {
  // Corners with different normals give a gradient of light levels.
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    std::vector<TCorner> c = Square(0, 32, 0, 16, 16);
    c[0].Normal = NormalAlong(1, 0, 0);
    c[1].Normal = NormalAlong(0, 1, 0);
    c[2].Normal = NormalAlong(-1, 0, 0);
    c[3].Normal = NormalAlong(0, 0, 1);
    AddMesh(m, c, SquareFaces(0));
  });
  std::set<uint8_t> shades;
  for (int row = 0; row < 64; ++row) shades.insert(v.Shade(row, kSkinColor));
  for (bool lit : {false, true}) {
    v.Box->Lighting = lit;
    v.Paint();
    const std::set<uint8_t> drawn = v.DrawnColors();
    ASSERT_FALSE(drawn.empty());
    for (uint8_t p : drawn) EXPECT_TRUE(shades.count(p)) << "colour " << int(p) << " lit " << lit;
    if (lit) {
      EXPECT_GT(drawn.size(), 3u) << "the light levels should vary over the square";
    }
  }
}

TEST(FramePaint, LightingOffUsesTheMiddleRowEverywhere) {
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    // Stripes of many colours, every corner's normal facing the light.
    TMDLBitmap& skin = m.Skins->Skin(0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) skin.Row(y)[x] = static_cast<uint8_t>(96 + x);
    AddMesh(m, Square(0, 32, 0, 16, 16, NormalAlong(1, 0, 0)), SquareFaces(0));
  });
  v.Box->LightVector = {-1, 0, 0, 0};
  v.Paint();
  std::set<uint8_t> row32;
  for (int x = 0; x < 16; ++x) row32.insert(v.Shade(32, static_cast<uint8_t>(96 + x)));
  const std::set<uint8_t> unlit = v.DrawnColors();
  ASSERT_GE(unlit.size(), 8u);
  for (uint8_t p : unlit) EXPECT_TRUE(row32.count(p)) << int(p);

  // Lit head-on the same square takes the brightest row instead, which
  // differs: the picture above really was the middle row.
  std::set<uint8_t> row0;
  for (int x = 0; x < 16; ++x) row0.insert(v.Shade(0, static_cast<uint8_t>(96 + x)));
  ASSERT_NE(row0, row32);
  v.Box->Lighting = true;
  v.Paint();
  for (uint8_t p : v.DrawnColors()) EXPECT_TRUE(row0.count(p)) << int(p);
}

TEST(FramePaint, GammaFourNeverShadesDarkerThanRow28) {
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    AddMesh(m, Square(0, 32, 0, 16, 16, NormalAlong(1, 0, 0)), SquareFaces(0));
  });
  v.Skin().SetGamma(4);
  v.Box->Lighting = true;
  // The light travels along +X, away from the lit side: the darkest level.
  v.Box->LightVector = {1, 0, 0, 0};
  v.Paint();
  ASSERT_NE(v.Shade(28, kSkinColor), v.Shade(63, kSkinColor));
  const std::set<uint8_t> drawn = v.DrawnColors();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(*drawn.begin(), v.Shade(28, kSkinColor));
  for (const TVertexRecord& r : v.Box->VertexRecords()) EXPECT_EQ(r.L, 28);
}

TEST(FramePaint, ExtremeGammaStaysInsideTheColourMap) {
  TView v(OneSquare);
  v.Skin().SetGamma(static_cast<uint8_t>(-100));
  v.Box->Lighting = true;
  v.Box->LightVector = {1, 0, 0, 0};
  v.Paint();
  for (const TVertexRecord& r : v.Box->VertexRecords()) {
    EXPECT_GE(r.L, 0);
    EXPECT_LE(r.L, 63);
  }
}

// ---- depth ------------------------------------------------------------------------------

TEST(FramePaint, NearerOfTwoOverlappingSquaresWinsWhateverTheOrder) {
  for (bool nearFirst : {true, false}) {
    TView v([&](TMDL& m) {
      MakeSkin(m, 16, 16, 0);
      TMDLBitmap& skin = m.Skins->Skin(0);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) skin.Row(y)[x] = x < 8 ? 100 : 200;
      // The eye is on +X: the square at x = 5 is the nearer one.
      std::vector<TCorner> nearSq = Square(5, 20, 0, 7, 15);
      std::vector<TCorner> farSq = Square(-5, 30, 8, 15, 15);
      std::vector<TCorner> all = nearFirst ? nearSq : farSq;
      const std::vector<TCorner>& second = nearFirst ? farSq : nearSq;
      all.insert(all.end(), second.begin(), second.end());
      std::vector<TFace> faces = SquareFaces(0);
      const std::vector<TFace> more = SquareFaces(4);
      faces.insert(faces.end(), more.begin(), more.end());
      AddMesh(m, all, faces);
    });
    v.Paint();
    const uint8_t nearColor = v.Shade(32, 100);
    const uint8_t farColor = v.Shade(32, 200);
    ASSERT_NE(nearColor, farColor);
    EXPECT_EQ(v.Pixel(64, 48), nearColor) << "near first " << nearFirst;
    // Where only the far square lies it shows.
    EXPECT_EQ(v.Pixel(64 - 25, 48), farColor) << "near first " << nearFirst;
    // The depth buffer holds the nearer depth: Rho - 5 units, 25 per unit.
    EXPECT_EQ(v.Box->Raster().Depth(64, 48), (1000 - 5) * 25);
  }
}

TEST(FramePaint, BackFacesOnlyWhenAskedAndBehindFrontFaces) {
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    // A front square nearer the eye, and a larger back face behind it.
    std::vector<TCorner> c = Square(5, 10, 0, 16, 16);
    const std::vector<TCorner> back = Square(-5, 30, 0, 16, 16);
    c.insert(c.end(), back.begin(), back.end());
    std::vector<TFace> f = SquareFaces(0);
    const std::vector<TFace> bf = SquareFaces(4, true);
    f.insert(f.end(), bf.begin(), bf.end());
    AddMesh(m, c, f);
  });
  const uint8_t darkRed = Display(79);
  const uint8_t front = v.Shade(32, kSkinColor);
  ASSERT_NE(darkRed, front);
  for (uint8_t mode : {vmTextured, vmSolid}) {
    v.Box->SetViewMode(mode);
    v.Box->ShowBacksides = false;
    v.Paint();
    EXPECT_EQ(v.Pixel(64 - 25, 48), v.Background()) << "mode " << int(mode);
    EXPECT_EQ(v.DrawnColors().count(darkRed), 0u);
    v.Box->ShowBacksides = true;
    v.Paint();
    EXPECT_EQ(v.Pixel(64 - 25, 48), darkRed) << "mode " << int(mode);
    // The front face keeps its colour where the back face lies behind it.
    EXPECT_EQ(v.Pixel(66, 44), mode == vmTextured ? front : Display(254)) << "mode " << int(mode);
  }
}

TEST(FramePaint, WireFrameShowsBackFacesButNotDegenerateTriangles) {
  // Two pictures over the same corners (so the same bounding box): one with
  // a degenerate triangle, one without; they must be identical.
  auto build = [](bool degenerate) {
    return [degenerate](TMDL& m) {
      MakeSkin(m, 16, 16, kSkinColor);
      std::vector<TCorner> c = Square(0, 30, 0, 16, 16);
      c.push_back({0, 0, 0, 0, 0});
      c.push_back({0, 10, 10, 0, 0});
      std::vector<TFace> f;
      if (degenerate) {
        f.push_back({4, 5, 5});
        f.push_back({0, 4, 2});  // three corners on one line
      }
      f.push_back({0, 4, 5});
      AddMesh(m, c, f);
    };
  };
  TView with(build(true)), without(build(false));
  for (TView* v : {&with, &without}) {
    v->Box->SetViewMode(vmWireFrame);
    v->Paint();
  }
  EXPECT_EQ(with.Pixels(), without.Pixels());

  // A back face does draw in wire frame.
  TView back([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    AddMesh(m, Square(0, 20, 0, 16, 16), SquareFaces(0, true));
  });
  back.Box->SetViewMode(vmWireFrame);
  back.Box->GroundColor = 15;  // the bounding box, drawn first, in another colour
  back.Paint();
  EXPECT_EQ(back.Pixel(64 - 20, 48), Display(0));
}

// ---- texture ------------------------------------------------------------------------------

TEST(FramePaint, ClippedSquareKeepsItsTextureInPlace) {
  // Vertical stripes one texel wide; 64 pixels over 16 texels.
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, 0);
    TMDLBitmap& skin = m.Skins->Skin(0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) skin.Row(y)[x] = static_cast<uint8_t>(96 + x);
    AddMesh(m, Square(0, 32, 0, 16, 16), SquareFaces(0));
  });
  v.Paint();
  const std::vector<uint8_t> whole = v.Pixels();
  const int w = v.Box->Bitmap().GetWidth();
  // Panning moves every vertex by whole pixels; 40 to the left puts the
  // square's left part off the picture.
  const int shift = 40;
  v.Box->CenterX -= shift;
  v.Paint();
  const std::vector<uint8_t> clipped = v.Pixels();
  // Stepping to the first visible pixel at once rather than pixel by pixel
  // may round a rare texel boundary differently; a shifted texture differs
  // nearly everywhere.
  int compared = 0, differ = 0;
  for (int y = 0; y < v.Box->Bitmap().GetHeight(); ++y)
    for (int x = 0; x + shift < w; ++x) {
      const uint8_t expect = whole[size_t(y * w + x + shift)];
      if (expect == v.Background()) continue;
      ++compared;
      differ += clipped[size_t(y * w + x)] != expect;
    }
  EXPECT_GT(compared, 1000);
  EXPECT_LE(differ, compared / 100) << differ << " of " << compared;
  // The left edge of the picture shows the stripe that lies there, not the first one.
  EXPECT_NE(v.Pixel(0, 48), v.Shade(32, 96));
}

TEST(FramePaint, SeamCornersOfBackTrianglesSampleTheSkinsOtherHalf) {
  for (int32_t facesFront : {0, 1}) {
    TView v([&](TMDL& m) {
      MakeSkin(m, 16, 16, 0);
      TMDLBitmap& skin = m.Skins->Skin(0);
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) skin.Row(y)[x] = x < 8 ? 100 : 200;
      std::vector<TCorner> c = Square(0, 30, 0, 7, 15);
      for (TCorner& k : c) k.Flags = kOnSeam;
      AddMesh(m, c, SquareFaces(0, false, facesFront));
    });
    v.Paint();
    EXPECT_EQ(v.Pixel(64, 48), v.Shade(32, facesFront == 0 ? 200 : 100)) << "faces front " << facesFront;
  }
}

TEST(FramePaint, SkinCoordinatesOutsideTheSkinReadItsEdge) {
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, 0);
    TMDLBitmap& skin = m.Skins->Skin(0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) skin.Row(y)[x] = x == 0 ? 100 : (x == 15 ? 200 : 150);
    std::vector<TCorner> c = Square(0, 30, -5000, 5000, 99999);
    c[3].T = -99999;
    for (TCorner& k : c) k.Flags = kOnSeam;
    std::vector<TFace> f = SquareFaces(0);
    const std::vector<TFace> seam = SquareFaces(0, false, 0);
    f.insert(f.end(), seam.begin(), seam.end());
    AddMesh(m, c, f);
  });
  v.Paint();
  const std::set<uint8_t> drawn = v.DrawnColors();
  ASSERT_FALSE(drawn.empty());
  for (uint8_t p : drawn) EXPECT_TRUE(p == v.Shade(32, 100) || p == v.Shade(32, 200) || p == v.Shade(32, 150)) << int(p);
  EXPECT_TRUE(drawn.count(v.Shade(32, 100)));
  EXPECT_TRUE(drawn.count(v.Shade(32, 200)));
}

TEST(FramePaint, SkinRecorderWritesShadedGameColoursWhereTexelsAreSeen) {
  TView v([](TMDL& m) {
    MakeSkin(m, 16, 16, kSkinColor);
    // Only the left half of the skin is mapped onto the square.
    AddMesh(m, Square(0, 32, 0, 7, 15), SquareFaces(0));
  });
  v.Box->SetViewMode(vmSkinRecorder);
  v.Paint();
  const TWinGBitmap& rec = v.Box->RecordBitmap;
  ASSERT_EQ(rec.GetWidth(), v.Skin().Image.GetWidth());
  ASSERT_EQ(rec.GetHeight(), v.Skin().Image.GetHeight());
  const uint8_t shaded = GameColormap()[32 * 256 + kSkinColor];
  EXPECT_EQ(rec.ScanLine(4)[3], shaded);
  EXPECT_EQ(rec.ScanLine(4)[12], 0) << "texels no pixel showed stay clear";
  // The picture itself is textured as usual.
  EXPECT_EQ(v.Pixel(64, 48), v.Shade(32, kSkinColor));

  // Leaving and entering the recorder starts a new recording.
  v.Box->SetViewMode(vmTextured);
  v.Box->SetViewMode(vmSkinRecorder);
  EXPECT_EQ(v.Box->RecordBitmap.GetWidth(), 0);
}

// ---- marks and overlays ---------------------------------------------------------------------

TEST(FramePaint, VertexToolMarksVerticesAndSelectedOnesInBlue) {
  TView v(OneSquare);
  v.Box->SetToolMode(tmVertex);
  v.Editor.SelectVertex(1, true);
  v.Paint();
  // Corner 0 at (32, 16), corner 1 at (96, 16) on the picture; the marks'
  // outlines run two pixels around them.
  EXPECT_EQ(v.Pixel(32 - 2, 16), Display(0));
  EXPECT_EQ(v.Pixel(96 + 2, 16), Display(208));
  EXPECT_EQ(v.Pixel(96 + 1, 16 + 1), Display(208)) << "the mark is filled off the surface";
  // Without the vertex tool no marks.
  v.Box->SetToolMode(tmView);
  v.Paint();
  EXPECT_EQ(v.Pixel(96 + 2, 16), v.Background());
}

TEST(FramePaint, TriangleToolFillsSelectedTrianglesBlue) {
  TView v(OneSquare);
  v.Box->SetToolMode(tmTriangle);
  v.Editor.SelectTriangle(0, true);
  v.Paint();
  // Triangle 0 is the upper right half of the square.
  EXPECT_EQ(v.Pixel(64 + 20, 48 - 20), Display(208));
  EXPECT_EQ(v.Pixel(64 - 20, 48 + 20), v.Shade(32, kSkinColor));
  // In the other tools a selected triangle is not drawn at all.
  v.Box->SetToolMode(tmView);
  v.Editor.SelectTriangle(0, true);
  v.Paint();
  EXPECT_EQ(v.Pixel(64 + 20, 48 - 20), v.Background());
}

TEST(FramePaint, HiddenTrianglesAreNotDrawn) {
  TView v(OneSquare);
  v.Editor.HiddenTriangles.Set(0, true);
  v.Paint();
  EXPECT_EQ(v.Pixel(64 + 20, 48 - 20), v.Background());
  EXPECT_EQ(v.Pixel(64 - 20, 48 + 20), v.Shade(32, kSkinColor));
}

TEST(FramePaint, ObjectToolsDrawAxesAndRecordTheirLetters) {
  TView v(OneSquare);
  auto axisLabels = [&] {
    std::vector<TViewLabel> out;
    for (const TViewLabel& l : v.Box->Labels())
      if (l.Text == "X" || l.Text == "Y" || l.Text == "Z") out.push_back(l);
    return out;
  };
  v.Paint();
  EXPECT_TRUE(axisLabels().empty());
  v.Box->SetToolMode(tmMovePivot);
  v.Paint();
  const std::vector<TViewLabel> labels = axisLabels();
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0].Text, "X");
  EXPECT_EQ(labels[1].Text, "Y");
  EXPECT_EQ(labels[2].Text, "Z");
  // Front view, one pixel per unit: Y points right, Z up.
  EXPECT_EQ(labels[1].X, 64 + 7);
  EXPECT_EQ(labels[1].Y, 48);
  EXPECT_EQ(labels[2].X, 64);
  EXPECT_EQ(labels[2].Y, 48 - 7);
  TWinGCanvas& canvas = v.Box->Bitmap().Canvas();
  EXPECT_EQ(labels[2].Color, canvas.ColorIndex(MakeColorRef(255, 0, 0)));
}

TEST(FramePaint, SelectedPaneGetsAWhiteFrame) {
  TView v(OneSquare);
  v.Paint();
  const uint8_t white = static_cast<uint8_t>(v.Box->Bitmap().Canvas().ColorIndex(MakeColorRef(255, 255, 255)));
  EXPECT_NE(v.Pixel(1, 1), white);
  v.Box->SetSelected(true);
  EXPECT_TRUE(v.Box->IgnoreNextClick);
  v.Paint();
  EXPECT_EQ(v.Pixel(0, 0), white);
  EXPECT_EQ(v.Pixel(1, 1), white);
  EXPECT_EQ(v.Pixel(127, 95), white);
  EXPECT_NE(v.Pixel(2, 48), white);
}

TEST(FramePaint, GroundGridLiesUnderTheModel) {
  TView v(OneSquare);
  v.Box->ShowGroundPlane = true;
  v.Box->GroundColor = 15;
  v.Box->SetView(5);  // from above: the grid is seen flat
  v.Flat();
  v.Editor.Model->Header->EyePosition[2] = -40;
  v.Paint();
  const std::vector<uint8_t> px = v.Pixels();
  EXPECT_GT(std::count(px.begin(), px.end(), Display(15)), 100);
}

// ---- frame, dirty rectangle, timings ----------------------------------------------------------

TEST(FramePaint, DirtyRectangleCoversTheModel) {
  TView v(OneSquare);
  v.Paint();
  // Corners at x 32..96 and y 16..80, grown by a pixel.
  EXPECT_EQ(v.Box->LastRect(), (TRect{31, 15, 98, 82}));
}

TEST(FramePaint, PaintTimesComeFromTheTickSource) {
  TView v(OneSquare);
  uint32_t now = 0xFFFFFFF0u;  // the counter wraps during the paint
  v.Box->TickSource = [&] { return now += 7; };
  v.Box->Performance.Counters[2] = 9;
  v.Paint();
  const TPerformanceInfo& p = v.Box->Performance;
  EXPECT_EQ(p.Counters[2], 0);
  EXPECT_GT(p.FramePaintTime, 0.0f);
  EXPECT_LT(p.FramePaintTime, 100.0f);
  EXPECT_GE(p.FramePaintTime, p.TrianglePaintTime);
  EXPECT_EQ(p.TrianglePaintStart - p.FramePaintStart, 7u);
}

TEST(FramePaint, NothingIsDrawnWithoutAValidEditor) {
  TMDLEditor editor;
  TMDLFramePaintBox box(&editor);
  box.SetResolution(64, 48);
  box.Paint();
  TWinGBitmap& b = box.Bitmap();
  const uint8_t bg = static_cast<uint8_t>(b.Canvas().ColorIndex(box.BackgroundColor()));
  for (int y = 0; y < b.GetHeight(); ++y)
    for (int x = 0; x < b.GetWidth(); ++x) ASSERT_EQ(b.ScanLine(y)[x], bg);
}

TEST(FramePaint, PicturesTallerThan1024RowsAreRefused) {
  TView v(OneSquare);
  const float distance = v.Box->ScreenDistance;
  EXPECT_THROW(v.Box->SetResolution(320, 1025), EWinGError);
  EXPECT_EQ(v.Box->Bitmap().GetHeight(), 96);
  EXPECT_EQ(v.Box->ScreenDistance, distance);
  v.Box->SetResolution(320, 1024);
  v.Paint();
  EXPECT_EQ(v.Box->Bitmap().GetHeight(), 1024);
}

TEST(FramePaint, BackgroundIndexSetsAPaletteRelativeColour) {
  TView v(OneSquare);
  const TColorRef before = v.Box->BackgroundColor();
  EXPECT_EQ(v.Box->BackgroundIndex(), 10);
  v.Box->SetBackgroundIndex(254);
  EXPECT_NE(v.Box->BackgroundColor(), before);
  EXPECT_EQ(RefFlags(v.Box->BackgroundColor()), 2);
  v.Paint();
  EXPECT_EQ(v.Pixel(0, 0), v.Box->Bitmap().Canvas().ColorIndex(MakeColorRef(255, 255, 255)));
}

// ---- editor events ------------------------------------------------------------------------------

TEST(FramePaint, EditorEventsMoveThePlayFrameAndRepaint) {
  TView v([](TMDL& m) {
    OneSquare(m);
    // A second frame in the scene, the square moved right by 10.
    auto f = std::make_unique<TMDLFrame>(&m);
    f->Assign(m.Frames->Frame(0));
    for (int i = 0; i < f->Count(); ++i) f->Item(i).Y += 10;
    m.Frames->Scene(0).Add(std::move(f));
    m.Frames->RebuildIndex();
  });
  TCountingHost host;
  host.Bounds = {0, 0, 128, 96};
  v.Box->SetHost(&host);
  v.Editor.SetCurrentScene(0);
  EXPECT_EQ(v.Box->PlayFrame, 0);
  v.Editor.SetCurrentFrame(1);
  EXPECT_EQ(v.Box->PlayFrame, 1);
  EXPECT_EQ(host.Repaints, 1);
  EXPECT_TRUE(v.Box->PartialPaint());
  v.Paint();
  EXPECT_EQ(v.Pixel(64 + 32 + 5, 48), v.Shade(32, kSkinColor));

  const int before = host.Invalidates;
  v.Editor.BeginSelect();
  v.Editor.SelectVertex(0, true);
  v.Editor.EndSelect();
  EXPECT_GT(host.Invalidates, before);

  // In the vertex tool the whole picture is copied.
  v.Box->SetToolMode(tmVertex);
  v.Paint();
  v.Editor.SetCurrentFrame(0);
  EXPECT_FALSE(v.Box->PartialPaint());
  v.Box->SetHost(nullptr);
}

TEST(FramePaint, PlayFramePastTheSceneShowsItsLastFrame) {
  TView v(OneSquare);
  v.Box->PlayFrame = 7;
  v.Paint();
  EXPECT_EQ(v.Pixel(64, 48), v.Shade(32, kSkinColor));
}

// ---- real models ---------------------------------------------------------------------------------

TEST(FramePaint, EveryRealModelRendersInEveryModeAndView) {
  const std::vector<std::string> models = RealModels();
  if (models.empty()) GTEST_SKIP() << "no real models in " << TESSEL_DATA_DIR;
  for (const std::string& path : models) {
    TMDLEditor editor;
    editor.LoadFromFile(path);
    ASSERT_TRUE(editor.IsValid()) << path;
    TMDLFramePaintBox box(&editor);
    box.SetResolution(160, 120);
    // The eye about 4.6 radii from the model, which then fills about half
    // the picture at 60 degrees (the distance CenterView sets is Radius + 150
    // + DistanceOffset).
    const float radius = editor.Model->Header->Radius;
    box.DistanceOffset = static_cast<int32_t>(radius * 3.6f) - 150;
    box.SetFieldOfView(60);
    box.SetBackgroundIndex(10);  // grey, so black outlines count as drawn
    box.Loaded();
    const int frames = editor.Model->Frames->Count();
    for (int view = 0; view < 8; ++view) {
      box.SetView(view);
      if (view != 7) box.CenterView();
      for (uint8_t mode : {vmTextured, vmSolid, vmWireFrame, vmSkinRecorder}) {
        box.SetViewMode(mode);
        box.Lighting = view % 2 == 0;
        box.ShowBacksides = view % 3 == 0;
        box.SetToolMode(static_cast<uint8_t>(view == 7 ? tmVertex : (view == 6 ? tmTriangle : tmView)));
        // A frame from the middle of the model.
        editor.GotoSceneFrame(editor.Model->Frames->IndexEntry(frames / 2).Group,
                              editor.Model->Frames->IndexEntry(frames / 2).Member);
        box.Paint();
        TWinGBitmap& b = box.Bitmap();
        const uint8_t bg = static_cast<uint8_t>(b.Canvas().ColorIndex(box.BackgroundColor()));
        int drawn = 0;
        for (int y = 0; y < b.GetHeight(); ++y)
          for (int x = 0; x < b.GetWidth(); ++x) drawn += b.ScanLine(y)[x] != bg;
        // The oblique view sees every model; the others may see a flat one
        // edge on, and the weapon view looks past models that are not weapons.
        if (view == 0) {
          EXPECT_GT(drawn, 20) << path << " view " << view << " mode " << int(mode);
        }
      }
    }
  }
}
