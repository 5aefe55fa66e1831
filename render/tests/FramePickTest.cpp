// Picking and the editing tools of the frame paint box, driven through the
// surface's mouse entry points at bitmap coordinates.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>

#include "render/ZSorter.h"
#include "render/tests/FramePickFixtures.h"

using namespace picktest;

namespace {

// The front view (eye on +X): model +Y is to the right, +Z up, and larger
// x is nearer the eye.
// The eye is put 150 units from the origin, so a point at x = 0 lies 150
// deep and one pixel there spans 0.15 units.
void FrontView(TView& v) {
  v.Box->SetView(1);
  v.Box->CenterView();
  v.Box->Rho = 150.0f;
  v.Box->UpdateCamera();
  v.Box->Paint();
}

TPoint Centroid(TView& v, int tri) {
  const TTriangle t = v.Editor.Model->Triangles->Get(tri);
  int x = 0, y = 0;
  for (int k = 0; k < 3; ++k) {
    const TPoint p = v.Pixel(t.Vertex[k]);
    x += p.X;
    y += p.Y;
  }
  return {x / 3, y / 3};
}

TPoint Offset(TPoint p, int dx, int dy) { return {p.X + dx, p.Y + dy}; }

std::vector<uint8_t> SkinPixels(TMDLEditor& ed) {
  TMDLBitmap& skin = *ed.CurrentSkinObject();
  std::vector<uint8_t> out;
  for (int y = 0; y < skin.Height; ++y) out.insert(out.end(), skin.Row(y), skin.Row(y) + skin.Width);
  return out;
}

int CountColor(TMDLEditor& ed, uint8_t c) {
  const std::vector<uint8_t> px = SkinPixels(ed);
  return static_cast<int>(std::count(px.begin(), px.end(), c));
}

}  // namespace

// ---- vertex tool --------------------------------------------------------------------------

TEST(FramePickVertex, ToleranceIsStrictAndFollowsTheBitmapWidth) {
  TView v(320, 200);
  StartModel(*v.Editor.Model);
  AddFrontTriangle(*v.Editor.Model, 0, 5);
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmVertex);
  const TPoint a = v.Pixel(0);

  // Up and to the left of corner 0 lies nothing else.
  v.Click(ssLeft, a.X - 2, a.Y - 2);
  EXPECT_EQ(v.Box->HitTolerance, 3);
  EXPECT_EQ(v.Editor.CurrentVertex, 0);
  v.Click(ssLeft, a.X - 3, a.Y - 3);
  EXPECT_EQ(v.Editor.CurrentVertex, -1);
  v.Click(ssLeft, a.X - 2, a.Y - 3);
  EXPECT_EQ(v.Editor.CurrentVertex, -1) << "both directions must lie within the tolerance";
  v.Click(ssLeft, a.X - 3, a.Y);
  EXPECT_EQ(v.Editor.CurrentVertex, -1);

  // Twice the width, a wider reach.
  TView wide(640, 400);
  StartModel(*wide.Editor.Model);
  AddFrontTriangle(*wide.Editor.Model, 0, 5);
  wide.Open();
  FrontView(wide);
  wide.Box->SetToolMode(tmVertex);
  const TPoint w = wide.Pixel(0);
  wide.Click(ssLeft, w.X - 4, w.Y - 4);
  EXPECT_EQ(wide.Box->HitTolerance, 5);
  EXPECT_EQ(wide.Editor.CurrentVertex, 0);
  wide.Click(ssLeft, w.X - 5, w.Y);
  EXPECT_EQ(wide.Editor.CurrentVertex, -1);
}

TEST(FramePickVertex, NearerOfTwoVerticesOnOnePixelWinsWhateverTheirOrder) {
  for (bool nearFirst : {true, false}) {
    TView v;
    TMDL& m = *v.Editor.Model;
    StartModel(m);
    AddFrontTriangle(m, 0, 5, 0, 8);
    // Both on the eye's axis: the same pixel, different depths.
    const int first = AddVertex(m, nearFirst ? 3.0f : -3.0f, 0, 0);
    const int second = AddVertex(m, nearFirst ? -3.0f : 3.0f, 0, 0);
    v.Open();
    FrontView(v);
    ASSERT_EQ(v.Pixel(first).X, v.Pixel(second).X);
    ASSERT_EQ(v.Pixel(first).Y, v.Pixel(second).Y);
    v.Box->SetToolMode(tmVertex);
    const TPoint p = v.Pixel(first);
    v.Click(ssLeft, p.X + 1, p.Y);
    EXPECT_EQ(v.Editor.CurrentVertex, nearFirst ? first : second);

    int nearest = -2;
    EXPECT_EQ(v.Box->PickVertex(p.X, p.Y, nearest), nearFirst ? first : second);
    EXPECT_EQ(nearest, nearFirst ? first : second);
  }
}

// The picker sorts plain pairs instead of a container; ties (and keys that
// compare with nothing) must still come out exactly as the sorter has them.
TEST(FramePickVertex, DepthSortLeavesTiesInTheSortersOrder) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    const int n = 1 + static_cast<int>(rng() % 400);
    const unsigned spread = round % 3 == 0 ? 3 : (round % 3 == 1 ? 40 : 100000);
    std::vector<TDepthPair> pairs(static_cast<size_t>(n));
    TZSorter sorter(n);
    for (int i = 0; i < n; ++i) {
      float key = static_cast<float>(rng() % spread) * 0.5f - 7.0f;
      if (round % 10 == 9 && rng() % 16 == 0) key = std::numeric_limits<float>::quiet_NaN();
      pairs[static_cast<size_t>(i)] = {key, i};
      sorter.AddPair(i, key);
    }
    SortDepthPairs(pairs.data(), 0, n - 1);
    sorter.Sort();
    for (int i = 0; i < n; ++i)
      ASSERT_EQ(pairs[static_cast<size_t>(i)].Index, sorter.Pair(i).Index) << "round " << round << " place " << i;
  }
}

TEST(FramePickVertex, ShiftClickTogglesOneVertexAndKeepsTheRest) {
  TView v;
  StartModel(*v.Editor.Model);
  AddFrontTriangle(*v.Editor.Model, 0, 5);
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmVertex);
  v.Click(ssLeft, v.Pixel(0).X, v.Pixel(0).Y);
  v.Click(ssLeft | ssShift, v.Pixel(1).X, v.Pixel(1).Y);
  EXPECT_TRUE(v.Editor.IsVertexSelected(0));
  EXPECT_TRUE(v.Editor.IsVertexSelected(1));
  v.Click(ssLeft | ssShift, v.Pixel(0).X, v.Pixel(0).Y);
  EXPECT_FALSE(v.Editor.IsVertexSelected(0));
  EXPECT_TRUE(v.Editor.IsVertexSelected(1));
  // Shift on empty space keeps the selection; a plain click there drops it.
  v.Click(ssLeft | ssShift, 5, 5);
  EXPECT_TRUE(v.Editor.IsVertexSelected(1));
  v.Click(ssLeft, 5, 5);
  EXPECT_EQ(v.Editor.SelectedVertexCount(), 0);
}

TEST(FramePickVertex, DragsMoveInWholeGridStepsAndSlowDragsAccumulate) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m);
  AddFrontTriangle(m, 0, 5);
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmVertex);
  v.Box->SetGridX(1.0f);
  v.Box->SetGridY(1.0f);
  v.Box->SetGridZ(1.0f);
  const TFrameVertex before = m.Frames->Frame(0).Get(0);
  const TPoint a = v.Pixel(0);
  // At the vertex's depth 150 and 1000 pixels to the picture plane one
  // pixel is 0.15 units: 4 pixels are 0.6 of a step.
  v.Box->MouseDown(mbLeft, ssLeft, a.X, a.Y);
  ASSERT_EQ(v.Editor.CurrentVertex, 0);
  v.Box->MouseMove(ssLeft, a.X + 4, a.Y);
  TFrameVertex now = m.Frames->Frame(0).Get(0);
  EXPECT_EQ(now.Y, before.Y) << "less than one step moves nothing";
  v.Box->MouseMove(ssLeft, a.X + 8, a.Y);
  now = m.Frames->Frame(0).Get(0);
  EXPECT_FLOAT_EQ(now.Y, before.Y + 1.0f) << "two short moves of one press make one step";
  EXPECT_FLOAT_EQ(now.X, before.X);
  EXPECT_FLOAT_EQ(now.Z, before.Z);
  EXPECT_NEAR(v.Box->MoveRemainder.y, 0.2f, 0.01f);
  v.Box->MouseUp(mbLeft, TShiftState(), a.X + 8, a.Y);
  EXPECT_TRUE(v.Editor.Modified);
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).BBoxMin.Y, before.Y + 1.0f) << "the frame's box follows the move";

  // A new press starts from nothing: one short drag moves nothing.
  const TPoint b = v.Pixel(0);
  v.Drag(ssLeft, {b, Offset(b, 4, 0)});
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).Get(0).Y, before.Y + 1.0f);
  // The other vertices were not selected.
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).Get(1).Y, 5.0f);
}

TEST(FramePickVertex, RubberBandSelectsOnlyTowardsTheLowerRightAndOnlyVisibleObjects) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m);
  AddFrontTriangle(m, 0, 3, -6, 0);
  AddFrontTriangle(m, 0, 3, 6, 0);
  m.Objects->Reconstruct();
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmVertex);
  int minX = 10000, minY = 10000, maxX = -10000, maxY = -10000;
  for (int i = 0; i < 6; ++i) {
    const TPoint p = v.Pixel(i);
    minX = std::min(minX, p.X), maxX = std::max(maxX, p.X);
    minY = std::min(minY, p.Y), maxY = std::max(maxY, p.Y);
  }
  const TPoint topLeft{minX - 5, minY - 5}, bottomRight{maxX + 5, maxY + 5};

  v.Drag(ssLeft | ssShift, {bottomRight, {maxX - 20, maxY - 20}, topLeft});
  EXPECT_EQ(v.Editor.SelectedVertexCount(), 0) << "a band dragged up and left holds nothing";
  EXPECT_EQ(v.Editor.CurrentVertex, -1);

  v.Drag(ssLeft | ssShift, {topLeft, {minX + 20, minY + 20}, bottomRight});
  EXPECT_EQ(v.Editor.SelectedVertexCount(), 6);
  EXPECT_EQ(v.Editor.CurrentVertex, 0) << "the first vertex in the band becomes current";
  EXPECT_EQ(v.Box->RubberBand, TRect{}) << "no band is left to draw after the release";

  v.Click(ssLeft, 2, 2);
  ASSERT_EQ(v.Editor.SelectedVertexCount(), 0);
  v.Editor.SetObjectVisible(v.Editor.VertexObject(0), false);
  v.Drag(ssLeft | ssShift, {topLeft, bottomRight});
  EXPECT_EQ(v.Editor.SelectedVertexCount(), 3);
  EXPECT_FALSE(v.Editor.IsVertexSelected(0));
  EXPECT_TRUE(v.Editor.IsVertexSelected(3));
  EXPECT_EQ(v.Editor.CurrentVertex, 3);
}

TEST(FramePickVertex, AltClickAddsAVertexUnderTheCursorInEitherProjection) {
  for (bool parallel : {false, true}) {
    TView v;
    TMDL& m = *v.Editor.Model;
    StartModel(m);
    // Well in front of the origin, where the two projections part most.
    AddFrontTriangle(m, 30, 5, 0, 0);
    m.Objects->Reconstruct();
    v.Open();
    FrontView(v);
    v.Box->Parallel = parallel;
    v.Box->SetToolMode(tmVertex);
    const TPoint b = v.Pixel(1);
    const TPoint at = Offset(b, 12, -9);
    v.Click(ssLeft | ssAlt, at.X, at.Y);
    ASSERT_EQ(m.Vertices->Count(), 4) << "parallel " << parallel;
    const TFrameVertex added = m.Frames->Frame(0).Get(3);
    const TPoint p = v.Pixel(added);
    EXPECT_LE(std::abs(p.X - at.X), 1) << "parallel " << parallel;
    EXPECT_LE(std::abs(p.Y - at.Y), 1) << "parallel " << parallel;
    // As deep as the vertex nearest on the screen, and in its object.
    EXPECT_NEAR(added.X, 30.0f, 1e-3f);
    EXPECT_EQ(m.Vertices->ObjectIndex(3), m.Vertices->ObjectIndex(1));
    EXPECT_TRUE(v.Editor.Modified);
  }
}

// ---- triangle tool ------------------------------------------------------------------------

TEST(FramePickTriangle, TriangleToolReachesBackFacesAndPaintToolsDoNot) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m);
  const int front = AddFrontTriangle(m, 0, 4, -6, 0);
  // The same shape wound the other way: seen from its back.
  const int a = AddVertex(m, 0, 2, 4, 0, 0), b = AddVertex(m, 0, 10, 4, 15, 0), c = AddVertex(m, 0, 6, -4, 8, 15);
  const int back = AddTriangle(m, a, c, b);
  v.Open();
  FrontView(v);
  const TPoint pf = Centroid(v, front), pb = Centroid(v, back);

  v.Box->SetToolMode(tmTriangle);
  v.Click(ssLeft, pb.X, pb.Y);
  EXPECT_EQ(v.Editor.CurrentTriangle, back);
  v.Click(ssLeft, pf.X, pf.Y);
  EXPECT_EQ(v.Editor.CurrentTriangle, front);
  v.Click(ssLeft, 2, 2);
  EXPECT_EQ(v.Editor.CurrentTriangle, -1);

  const std::vector<uint8_t> skin = SkinPixels(v.Editor);
  v.Editor.SetCurrentColor(99);
  for (uint8_t tool : {tmPen, tmColorReplace, tmFloodFill}) {
    v.Box->SetToolMode(tool);
    v.Click(tool == tmColorReplace ? ssLeft | ssAlt : TShiftState(ssLeft), pb.X, pb.Y);
    EXPECT_EQ(SkinPixels(v.Editor), skin) << "tool " << int(tool) << " painted through a back face";
  }
  EXPECT_FALSE(v.Editor.Modified);
  v.Box->SetToolMode(tmFloodFill);
  v.Click(ssLeft, pf.X, pf.Y);
  EXPECT_EQ(CountColor(v.Editor, 99), 32 * 32) << "a front face is painted";
}

TEST(FramePickTriangle, NearestTriangleWinsWhateverTheListOrder) {
  for (bool nearFirst : {true, false}) {
    TView v;
    TMDL& m = *v.Editor.Model;
    StartModel(m);
    const int t0 = AddFrontTriangle(m, nearFirst ? 2.0f : -2.0f, 5);
    const int t1 = AddFrontTriangle(m, nearFirst ? -2.0f : 2.0f, 5);
    v.Open();
    FrontView(v);
    v.Box->SetToolMode(tmTriangle);
    const TPoint p = Centroid(v, 0);
    v.Click(ssLeft, p.X, p.Y);
    EXPECT_EQ(v.Editor.CurrentTriangle, nearFirst ? t0 : t1);
  }
}

TEST(FramePickTriangle, ShiftTogglesCtrlFlipsAndSeamCornersSampleTheBackHalf) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m, 1, 32, 32);
  const int t0 = AddFrontTriangle(m, 0, 4, -6, 0);
  // A triangle facing back on the skin: its seam corners read 16 further right.
  const int a = AddVertex(m, 0, 2, 4, 2, 2, 1), b = AddVertex(m, 0, 10, 4, 2, 2, 1),
            c = AddVertex(m, 0, 6, -4, 2, 2, 1);
  const int t1 = AddTriangle(m, a, b, c, 0);
  v.Open();
  FrontView(v);
  int s = -1, t = -1;
  const TPoint p1 = Centroid(v, t1);
  ASSERT_EQ(v.Box->PickTriangle(p1.X, p1.Y, s, t), t1);
  EXPECT_EQ(s, 2 + 16);
  EXPECT_EQ(t, 2);

  v.Box->SetToolMode(tmTriangle);
  const TPoint p0 = Centroid(v, t0);
  v.Click(ssLeft, p0.X, p0.Y);
  v.Click(ssLeft | ssShift, p1.X, p1.Y);
  EXPECT_TRUE(v.Editor.IsTriangleSelected(t0));
  EXPECT_TRUE(v.Editor.IsTriangleSelected(t1));
  v.Click(ssLeft | ssShift, p1.X, p1.Y);
  EXPECT_FALSE(v.Editor.IsTriangleSelected(t1));

  const TTriangle before = m.Triangles->Get(t0);
  v.Click(ssLeft | ssCtrl, p0.X, p0.Y);
  const TTriangle after = m.Triangles->Get(t0);
  EXPECT_EQ(after.Vertex[0], before.Vertex[2]);
  EXPECT_EQ(after.Vertex[2], before.Vertex[0]);
  EXPECT_TRUE(v.Editor.Modified);
}

TEST(FramePickTriangle, TriangleDragMovesItsCornersAndSettingAnotherToolDropsTheSelection) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m);
  AddFrontTriangle(m, 0, 4, -6, 0);
  AddFrontTriangle(m, 0, 4, 6, 0);
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmTriangle);
  v.Box->SetGridY(0.5f);
  const TPoint p = Centroid(v, 1);
  // 22 pixels at depth 150 are 3.3 units: six half-unit steps, in two moves.
  v.Drag(ssLeft, {p, Offset(p, 11, 0), Offset(p, 22, 0)});
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).Get(3).Y, 6.0f - 4.0f + 3.0f);
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).Get(5).Y, 6.0f + 3.0f);
  EXPECT_FLOAT_EQ(m.Frames->Frame(0).Get(0).Y, -6.0f - 4.0f) << "the other triangle stays";

  ASSERT_EQ(v.Editor.CurrentTriangle, 1);
  v.Box->SetToolMode(tmTriangle);
  EXPECT_EQ(v.Editor.CurrentTriangle, 1) << "the same tool keeps the selection";
  v.Box->SetToolMode(tmVertex);
  EXPECT_EQ(v.Editor.CurrentTriangle, -1);
  EXPECT_EQ(v.Editor.SelectedTriangleCount(), 0);
  EXPECT_EQ(v.Editor.SelectedVertexCount(), 0);
}

// ---- painting tools -----------------------------------------------------------------------

TEST(FramePickPaint, PenDotsAndStrokesTheCurrentColourAtTheSkinPointUnderTheCursor) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m, 1, 32, 32, 7);
  AddFrontTriangle(m, 0, 8);
  v.Open();
  FrontView(v);
  v.Editor.SetCurrentColor(100);
  v.Editor.SetPenSize(1);
  v.Box->SetToolMode(tmPen);
  const TPoint c = Centroid(v, 0);
  int s = 0, t = 0;
  ASSERT_EQ(v.Box->PickTriangle(c.X, c.Y, s, t), 0);
  v.Click(ssLeft, c.X, c.Y);
  EXPECT_EQ(v.Editor.CurrentSkinObject()->Pixel(s, t), 100);
  EXPECT_EQ(CountColor(v.Editor, 100), 1) << "pen size 1 paints one pixel";
  EXPECT_TRUE(v.Editor.Modified);

  // A stroke joins the points it passes with lines.
  const TPoint far = Offset(c, -25, -20);
  int s2 = 0, t2 = 0;
  ASSERT_EQ(v.Box->PickTriangle(far.X, far.Y, s2, t2), 0);
  ASSERT_GT(std::abs(s2 - s) + std::abs(t2 - t), 3);
  v.Drag(ssLeft, {c, far});
  EXPECT_EQ(v.Editor.CurrentSkinObject()->Pixel(s2, t2), 100);
  EXPECT_GE(CountColor(v.Editor, 100), std::max(std::abs(s2 - s), std::abs(t2 - t)) + 1);

  // The right button takes the colour instead.
  v.Editor.CurrentSkinObject()->Row(t)[s] = 42;
  v.Click(ssRight, c.X, c.Y, mbRight);
  EXPECT_EQ(v.Editor.CurrentColor, 42);
  EXPECT_EQ(v.Editor.CurrentSkinObject()->Pixel(s, t), 42);
}

TEST(FramePickPaint, FloodFillStopsAtOtherColoursAndReplaceReachesEveryPixelOfTheColour) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m, 1, 32, 32, 7);
  AddFrontTriangle(m, 0, 8);
  // A wall of colour 9 down column 20 parts the skin in two.
  TMDLBitmap& skin = m.Skins->Skin(0);
  for (int y = 0; y < 32; ++y) skin.Row(y)[20] = 9;
  skin.RecountColors();
  v.Open();
  FrontView(v);
  const TPoint c = Centroid(v, 0);
  int s = 0, t = 0;
  ASSERT_EQ(v.Box->PickTriangle(c.X, c.Y, s, t), 0);
  ASSERT_LT(s, 20);

  v.Editor.SetCurrentColor(50);
  v.Box->SetToolMode(tmFloodFill);
  v.Click(ssLeft, c.X, c.Y);
  EXPECT_EQ(CountColor(v.Editor, 50), 20 * 32) << "only the part left of the wall";
  EXPECT_EQ(CountColor(v.Editor, 9), 32);
  EXPECT_TRUE(v.Editor.Modified);

  // The replace tool without Alt only takes the colour.
  v.Editor.SetModified(false);
  v.Editor.SetCurrentColor(7);
  v.Box->SetToolMode(tmColorReplace);
  v.Click(ssLeft, c.X, c.Y);
  EXPECT_EQ(v.Editor.CurrentColor, 50);
  EXPECT_EQ(CountColor(v.Editor, 50), 20 * 32);
  EXPECT_FALSE(v.Editor.Modified);

  // With Alt every pixel of the clicked colour changes, joined or not.
  skin.Row(0)[31] = 50;
  skin.RecountColors();
  v.Editor.SetCurrentColor(60);
  v.Click(ssLeft | ssAlt, c.X, c.Y);
  EXPECT_EQ(CountColor(v.Editor, 60), 20 * 32 + 1);
  EXPECT_EQ(CountColor(v.Editor, 50), 0);
  EXPECT_EQ(CountColor(v.Editor, 9), 32);
  EXPECT_TRUE(v.Editor.Modified);
  EXPECT_EQ(skin.ColorCount()[60], 20 * 32 + 1) << "the skin's colour counts stay right";

  // Flood fill's right button picks the colour.
  v.Box->SetToolMode(tmFloodFill);
  v.Click(ssRight, c.X, c.Y, mbRight);
  EXPECT_EQ(v.Editor.CurrentColor, 60);
}

// ---- object tools -------------------------------------------------------------------------

TEST(FramePickPivot, RootPivotCannotBeDraggedButAnObjectMovesWithItsPivot) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m, 2);
  AddFrontTriangle(m, 0, 3, -10, 0);
  AddFrontTriangle(m, 0, 3, 10, 0);
  m.Objects->Reconstruct();
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmMovePivot);
  const std::vector<TFrameVertex> before(m.Frames->Frame(0).Data(), m.Frames->Frame(0).Data() + 6);

  // Empty space: the root becomes current and the drag pans the camera.
  const int cx = v.Box->CenterX;
  v.Drag(ssLeft, {{20, 180}, {30, 180}});
  EXPECT_EQ(v.Editor.CurrentObject, 0);
  EXPECT_EQ(v.Box->CenterX, cx + 10);
  for (int i = 0; i < 6; ++i) EXPECT_EQ(m.Frames->Frame(0).Get(i).Y, before[i].Y);
  EXPECT_FALSE(v.Editor.Modified);

  const int obj = v.Editor.VertexObject(3);
  ASSERT_NE(obj, 0);
  const TPoint p = Centroid(v, 1);
  v.Drag(ssLeft, {p, Offset(p, 10, 0)});
  EXPECT_EQ(v.Editor.CurrentObject, obj);
  // Ten pixels at the pivot's depth are 1.5 units to the right (+Y).
  for (int i = 3; i < 6; ++i) EXPECT_NEAR(m.Frames->Frame(0).Get(i).Y, before[i].Y + 1.5f, 1e-3f);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(m.Frames->Frame(0).Get(i).Y, before[i].Y);
  EXPECT_NEAR(m.Frames->Frame(0).Pivot(obj).Translation()[1], before[3].Y + 3.0f + 1.5f, 1e-3f);
  EXPECT_FLOAT_EQ(m.Frames->Frame(1).Get(3).Y, before[3].Y) << "the frame scope changes one frame";
  EXPECT_TRUE(v.Editor.Modified);
}

TEST(FramePickPivot, EveryDragIsOneUndoStepAndAPanNone) {
  struct TCase {
    const char* Step;  // null: no step
    uint8_t Tool;
    bool OnObject;
  };
  const TCase cases[] = {{"Move Object", tmMovePivot, true},  {"Rotate Object", tmRotatePivot, true},
                         {"Scale Object", tmScalePivot, true}, {"Move Vertices", tmTriangle, true},
                         {nullptr, tmMovePivot, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Step ? c.Step : "a pan");
    TView v;
    TMDL& m = *v.Editor.Model;
    StartModel(m, 2);
    AddFrontTriangle(m, 0, 3, -10, 0);
    AddFrontTriangle(m, 0, 3, 10, 0);
    m.Objects->Reconstruct();
    v.Open();
    FrontView(v);
    v.Box->SetToolMode(c.Tool);
    const auto positions = [&m] {
      return std::vector<TFrameVertex>(m.Frames->Frame(0).Data(), m.Frames->Frame(0).Data() + 6);
    };
    const std::vector<TFrameVertex> before = positions();
    const TPoint p = c.OnObject ? Centroid(v, 1) : TPoint{20, 180};
    v.Drag(ssLeft, {p, Offset(p, 4, 2), Offset(p, 10, 5), Offset(p, 16, 9)});
    if (!c.Step) {
      EXPECT_FALSE(v.Editor.CanUndo());
      continue;
    }
    ASSERT_EQ(v.Editor.History.UndoCount(), 1);
    EXPECT_EQ(v.Editor.History.UndoName(), c.Step);
    const std::vector<TFrameVertex> after = positions();
    ASSERT_NE(after, before);
    v.Editor.Undo();
    EXPECT_EQ(positions(), before);
    EXPECT_FALSE(v.Editor.Modified);
    v.Editor.Redo();
    EXPECT_EQ(positions(), after);
  }
}

TEST(FramePickPivot, AxisHandlesTurnAboutTheOtherAxesAndScaleFollowsTheDrag) {
  TView v;
  TMDL& m = *v.Editor.Model;
  StartModel(m, 1);
  AddFrontTriangle(m, 0, 2, -12, -6);
  m.Objects->Reconstruct();
  v.Open();
  FrontView(v);
  v.Box->SetToolMode(tmRotatePivot);
  const TPoint p = Centroid(v, 0);
  v.Click(ssLeft, p.X, p.Y);
  ASSERT_EQ(v.Editor.CurrentObject, 1);
  TPivot& pivot = m.Frames->Frame(0).Pivot(1);

  // The end of the pivot's Y axis, five units to its right.
  const TPoint yEnd = v.Box->ProjectPoint(Transform(pivot.Matrix(), MakeVector(0, 5, 0)));
  ASSERT_TRUE(v.Box->PickPivotAxis(yEnd.X + 1, yEnd.Y - 1));
  EXPECT_EQ(v.Box->PivotAxis, 2);
  v.Box->PivotAxis = 0;
  v.Drag(ssLeft, {yEnd, Offset(yEnd, 5, 7)});
  EXPECT_EQ(v.Box->PivotAxis, 2);
  EXPECT_NEAR(pivot.Rotation()[0], 7.0f, 1e-4f);
  EXPECT_NEAR(pivot.Rotation()[1], 0.0f, 1e-4f);
  EXPECT_NEAR(pivot.Rotation()[2], -5.0f, 1e-4f);
  EXPECT_EQ(v.Editor.CurrentObject, 1) << "taking a handle keeps the object";

  // Scaling: a tenth of the drag in model units, here 20 pixels = 3 units up (+Z).
  v.Box->SetToolMode(tmScalePivot);
  const TPoint q = Centroid(v, 0);
  v.Drag(ssLeft, {q, Offset(q, 0, -20)});
  EXPECT_NEAR(pivot.Scale()[0], 1.0f, 1e-4f);
  EXPECT_NEAR(pivot.Scale()[1], 1.0f, 1e-4f);
  EXPECT_NEAR(pivot.Scale()[2], 1.3f, 1e-3f);
}

// ---- view tool, pop-up, labels, no model ---------------------------------------------------------

TEST(FramePickView, ClicksZoomUnlessIgnoredOrDragged) {
  TView v;
  StartModel(*v.Editor.Model);
  AddFrontTriangle(*v.Editor.Model, 0, 5);
  v.Open();
  ASSERT_EQ(v.Box->GetFieldOfView(), 18);
  v.Click(ssLeft, 100, 100);
  EXPECT_EQ(v.Box->GetFieldOfView(), 8);
  v.Click(ssLeft, 100, 100);
  EXPECT_EQ(v.Box->GetFieldOfView(), 5) << "never below 5 degrees";
  v.Click(ssRight, 100, 100, mbRight);
  EXPECT_EQ(v.Box->GetFieldOfView(), 15);
  v.Box->SetSelected(true);
  v.Click(ssLeft, 100, 100);
  EXPECT_EQ(v.Box->GetFieldOfView(), 15) << "the click that selects the pane does not zoom";
  v.Drag(ssLeft, {{100, 100}, {101, 100}});
  EXPECT_EQ(v.Box->GetFieldOfView(), 15) << "a drag is no click";
  v.Click(ssLeft, 100, 100);
  EXPECT_EQ(v.Box->GetFieldOfView(), 5);
}

TEST(FramePickView, RightClickWithoutMoveOpensTheMenuAtTheReleasePoint) {
  TView v;
  StartModel(*v.Editor.Model);
  AddFrontTriangle(*v.Editor.Model, 0, 5);
  v.Open();
  v.Box->SetToolMode(tmVertex);
  v.Click(ssRight, 40, 50, mbRight);
  EXPECT_TRUE(v.Host.Menus.empty()) << "no menu assigned";
  v.Box->PopupMenuName = "VertexMenu";
  v.Click(ssRight, 40, 50, mbRight);
  ASSERT_EQ(v.Host.Menus.size(), 1u);
  EXPECT_EQ(v.Host.Menus[0].Name, "VertexMenu");
  EXPECT_EQ(v.Host.Menus[0].At, (TPoint{40, 50}));
  v.Drag(ssRight, {{40, 50}, {45, 50}}, mbRight);
  EXPECT_EQ(v.Host.Menus.size(), 1u) << "a right drag turns the camera instead";
  EXPECT_FALSE(v.Box->RightClickPending);
}

TEST(FramePickView, StandardViewNameIsWrittenAfterThePaint) {
  TView v;
  StartModel(*v.Editor.Model);
  AddFrontTriangle(*v.Editor.Model, 0, 5);
  v.Open();
  auto named = [&](const std::string& text) {
    for (const TViewLabel& l : v.Box->Labels())
      if (l.Text == text && l.X == 10 && l.Y == 10 && l.Bold) return true;
    return false;
  };
  v.Box->SetView(6);
  v.Box->Paint();
  EXPECT_TRUE(named("bottom"));
  v.Box->SetView(1);
  v.Box->Paint();
  EXPECT_TRUE(named("front"));
  EXPECT_FALSE(named("bottom"));
  v.Box->SetView(0);
  v.Box->Paint();
  for (const TViewLabel& l : v.Box->Labels()) EXPECT_FALSE(l.Bold) << l.Text;
}

TEST(FramePickView, WithoutAModelOnlyTheEventsRun) {
  TView v;
  int presses = 0, releases = 0;
  v.Box->OnHitSurface = [&](TWinGSurface&, TShiftState, int, int, bool&) { ++presses; };
  v.Box->OnHitRelease = [&](TWinGSurface&, TShiftState, int, int) { ++releases; };
  for (uint8_t tool = 0; tool <= tmScalePivot; ++tool) {
    v.Box->SetToolMode(tool);
    v.Drag(ssLeft | ssAlt, {{10, 10}, {30, 30}});
  }
  EXPECT_EQ(presses, 9);
  EXPECT_EQ(releases, 0) << "nothing asked to follow the mouse";
  EXPECT_FALSE(v.Box->Capturing());
  int nearest = 0, s = 0, t = 0;
  EXPECT_EQ(v.Box->PickVertex(10, 10, nearest), -1);
  EXPECT_EQ(nearest, -1);
  EXPECT_EQ(v.Box->PickTriangle(10, 10, s, t), -1);
  EXPECT_EQ(v.Editor.Model->Vertices->Count(), 0);
}

// ---- real models ----------------------------------------------------------------------------------

// The one-pixel pick gives what the full depth-tested scan gives, for every
// sampled pixel, in several views, with and without back faces.
TEST(FramePickRealModels, QuickPickEqualsTheFullScan) {
  const std::vector<std::string> models = RealModels();
  if (models.empty()) GTEST_SKIP() << "no models in " << ModelsDir();
  int hits = 0;
  for (const std::string& path : models) {
    TView v(160, 100);
    if (!v.Load(path)) continue;
    for (int view : {0, 1, 5}) {
      v.Box->SetView(view);
      v.Box->CenterView();
      // Off the vertices' rectangle both answer nothing; the samples go
      // where the answers can differ, and a little around it.
      v.Box->Paint();
      int x0 = 160, y0 = 100, x1 = 0, y1 = 0;
      for (const TVertexRecord& r : v.Box->VertexRecords())
        x0 = std::min(x0, r.X), y0 = std::min(y0, r.Y), x1 = std::max(x1, r.X), y1 = std::max(y1, r.Y);
      x0 = std::max(x0 - 3, 0), y0 = std::max(y0 - 3, 0), x1 = std::min(x1 + 3, 159), y1 = std::min(y1 + 3, 99);
      const int step = (x1 - x0) * (y1 - y0) > 2500 ? 4 : 1;
      for (uint8_t tool : {tmView, tmTriangle}) {
        v.Box->SetToolMode(tool);
        for (int y = y0; y <= y1; y += step)
          for (int x = x0; x <= x1; x += step) {
            int s1 = 0, t1 = 0, s2 = 0, t2 = 0;
            const int quick = v.Box->PickTriangle(x, y, s1, t1);
            const int full = v.Box->PickTriangleScan(x, y, s2, t2);
            ASSERT_EQ(quick, full) << path << " view " << view << " tool " << int(tool) << " at " << x << "," << y;
            if (full < 0) continue;
            ++hits;
            ASSERT_EQ(s1, s2) << path << " at " << x << "," << y;
            ASSERT_EQ(t1, t2) << path << " at " << x << "," << y;
          }
      }
    }
  }
  EXPECT_GT(hits, 1000) << "the models should cover much of the samples";
}

// Vertex picks against a plain search: the nearest vertex within the
// tolerance, or none and the one closest on the screen.
TEST(FramePickRealModels, VertexPickAgreesWithABruteForceSearch) {
  const std::vector<std::string> models = RealModels();
  if (models.empty()) GTEST_SKIP() << "no models in " << ModelsDir();
  for (const std::string& path : models) {
    TView v(320, 200);
    if (!v.Load(path)) continue;
    v.Box->SetToolMode(tmVertex);
    v.Click(TShiftState(ssMiddle), 0, 0, mbMiddle);  // sets the tolerance
    ASSERT_EQ(v.Box->HitTolerance, 3);
    TMDLFrame& frame = *v.Editor.CurrentFrameObject();
    const int n = frame.Count();
    std::vector<TPoint> px(static_cast<size_t>(n));
    std::vector<float> depth(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
      const TFrameVertex p = frame.Get(i);
      px[size_t(i)] = v.Pixel(p);
      depth[size_t(i)] = v.Box->EyeCoordinates(p.X, p.Y, p.Z).z;
    }
    int found = 0;
    for (int y = 0; y < 200; y += 4)
      for (int x = 0; x < 320; x += 4) {
        float bestDepth = 1e30f;
        int64_t bestDistance = INT64_MAX;
        for (int i = 0; i < n; ++i) {
          const int64_t dx = std::abs(px[size_t(i)].X - x), dy = std::abs(px[size_t(i)].Y - y);
          if (dx < 3 && dy < 3) bestDepth = std::min(bestDepth, depth[size_t(i)]);
          bestDistance = std::min(bestDistance, dx + dy);
        }
        int nearest = -2;
        const int got = v.Box->PickVertex(x, y, nearest);
        if (bestDepth < 1e30f) {
          ASSERT_GE(got, 0) << path << " at " << x << "," << y;
          EXPECT_LT(std::abs(px[size_t(got)].X - x), 3);
          EXPECT_LT(std::abs(px[size_t(got)].Y - y), 3);
          EXPECT_EQ(depth[size_t(got)], bestDepth) << path << " at " << x << "," << y;
          ++found;
        } else {
          ASSERT_EQ(got, -1) << path << " at " << x << "," << y;
          ASSERT_GE(nearest, 0);
          EXPECT_EQ(std::abs(px[size_t(nearest)].X - x) + std::abs(px[size_t(nearest)].Y - y), bestDistance);
        }
      }
    EXPECT_GT(found, 0) << path;
  }
}

TEST(FramePickRealModels, ClicksPickWhatTheScanShowsAndPaintTheSkin) {
  const std::string path = ModelsDir() + "oq_player.mdl";
  if (!std::filesystem::exists(path)) GTEST_SKIP() << path << " is absent";
  TView v(320, 200);
  ASSERT_TRUE(v.Load(path));
  // The middle of the model's rectangle on the picture.
  const TRect r = [&] {
    int x0 = 1 << 20, y0 = 1 << 20, x1 = -(1 << 20), y1 = -(1 << 20);
    TMDLFrame& f = *v.Editor.CurrentFrameObject();
    for (int i = 0; i < f.Count(); ++i) {
      const TPoint p = v.Pixel(f.Get(i));
      x0 = std::min(x0, p.X), y0 = std::min(y0, p.Y), x1 = std::max(x1, p.X), y1 = std::max(y1, p.Y);
    }
    return TRect{x0, y0, x1, y1};
  }();
  TPoint at{(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
  int s = 0, t = 0, tri = v.Box->PickTriangleScan(at.X, at.Y, s, t);
  for (int k = 0; tri < 0 && k < 40; ++k) {
    at.Y += 1;
    tri = v.Box->PickTriangleScan(at.X, at.Y, s, t);
  }
  ASSERT_GE(tri, 0) << "nothing under the model's middle";

  v.Box->SetToolMode(tmTriangle);
  v.Click(ssLeft, at.X, at.Y);
  EXPECT_EQ(v.Editor.CurrentTriangle, tri);

  TMDLBitmap& skin = *v.Editor.CurrentSkinObject();
  const uint8_t old = skin.Pixel(std::clamp(s, 0, skin.Width - 1), std::clamp(t, 0, skin.Height - 1));
  const uint8_t paint = static_cast<uint8_t>(old == 251 ? 250 : 251);
  v.Editor.SetCurrentColor(paint);
  v.Editor.SetPenSize(3);
  v.Box->SetToolMode(tmPen);
  v.Click(ssLeft, at.X, at.Y);
  EXPECT_EQ(skin.Pixel(std::clamp(s, 0, skin.Width - 1), std::clamp(t, 0, skin.Height - 1)), paint);
  EXPECT_TRUE(v.Editor.Modified);
}
