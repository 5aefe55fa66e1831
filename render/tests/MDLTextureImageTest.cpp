// The skin texture image: hit tests on the front and seam copies, zoom
// clicks, the vertex tool's selection and drags, the pen, dropper and fill,
// and the picture of a real model's skin.

#include "render/MDLTextureImage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "raster/ColorTables.h"
#include "render/tests/FrameFixtures.h"

namespace {

using rendertest::AddMesh;
using rendertest::Display;
using rendertest::MakeSkin;

// An editor of the test's own with a 300 x 200 skin of colour 3 and one
// triangle: vertex 0 at (10, 20), vertex 1 on the seam at (5, 100), vertex 2
// at (100, 150).
struct TTextureFixture {
  TTextureFixture() {
    MakeSkin(*Editor.Model, 300, 200, 3);
    AddMesh(*Editor.Model,
            {{0, 0, 0, 10, 20}, {0, 1, 0, 5, 100, kOnSeam}, {0, 0, 1, 100, 150}},
            {{0, 1, 2, 0}});
    Editor.SetReady(true);
    Editor.SetCurrentScene(0);
    Editor.SetCurrentSkin(0);
    Image = std::make_unique<TMDLTextureImage>(&Editor);
    Image->Observer().OnModifyChange = [this, old = Image->Observer().OnModifyChange](TMDLObserver* o, bool m) {
      ++ModifyEvents;
      old(o, m);
    };
    Image->Loaded();
    Fit();
  }
  // Control as large as the bitmap, so control and bitmap points agree.
  void Fit() {
    Image->SetBounds(0, 0, Image->BitmapWidth(), Image->BitmapHeight());
    Image->Paint();
  }
  void Click(TShiftState shift, int x, int y) {
    const TMouseButton b = shift.Contains(ssRight) ? mbRight : mbLeft;
    Image->MouseDown(b, shift, x, y);
    Image->MouseUp(b, shift, x, y);
  }
  TSkinVertex Vertex(int v) const { return Editor.Model->Vertices->Get(v); }
  uint8_t SkinPixel(int s, int t) const { return Editor.Model->Skins->Skin(0).Pixel(s, t); }

  TMDLEditor Editor;
  std::unique_ptr<TMDLTextureImage> Image;
  int ModifyEvents = 0;
};

}  // namespace

TEST(MDLTextureImage, BitmapFollowsTheSkinSize) {
  TTextureFixture f;
  EXPECT_EQ(f.Image->BitmapWidth(), 300);
  EXPECT_EQ(f.Image->BitmapHeight(), 200);
  f.Editor.Model->Skins->Resize(160, 120);
  f.Editor.SetModified(true);
  EXPECT_EQ(f.Image->BitmapWidth(), 160);
  EXPECT_EQ(f.Image->BitmapHeight(), 120);
}

TEST(MDLTextureImage, HitTestsFrontAndSeamCopies) {
  TTextureFixture f;
  struct Case {
    int X, Y, Vertex;
    bool Back;
  } cases[] = {
      {11, 21, 0, false}, {10, 20, 0, false}, {9, 19, 0, false},  {12, 20, -1, false}, {10, 22, -1, false},
      {5, 100, 1, false}, {155, 100, 1, true}, {156, 101, 1, true}, {157, 100, -1, false},
      // The back-copy test ignores the seam flag.
      {160, 20, 0, true}, {99, 149, 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "(" << c.X << ", " << c.Y << ")");
    bool back = !c.Back;
    EXPECT_EQ(f.Image->FindVertex(c.X, c.Y, back), c.Vertex);
    if (c.Vertex >= 0) {
      EXPECT_EQ(back, c.Back);
    }
  }
}

TEST(MDLTextureImage, ViewToolZoomsInStepsWithinBounds) {
  TTextureFixture f;
  f.Image->SetMode(0);
  f.Image->SetAutoSize(true);
  struct Step {
    TShiftState Shift;
    int Expected;
  } steps[] = {{ssRight, 100}, {ssLeft, 200}, {ssLeft, 300}, {ssRight, 200}};
  for (const Step& s : steps) {
    f.Click(s.Shift, 1, 1);
    EXPECT_EQ(f.Image->AutoSizeZoomPctg(), s.Expected);
  }
  for (int i = 0; i < 12; ++i) f.Click(ssLeft, 1, 1);
  EXPECT_EQ(f.Image->AutoSizeZoomPctg(), 1000);
  for (int i = 0; i < 12; ++i) f.Click(ssRight, 1, 1);
  EXPECT_EQ(f.Image->AutoSizeZoomPctg(), 100);
}

TEST(MDLTextureImage, VertexToolSelectsTogglesAndBands) {
  TTextureFixture f;
  f.Image->SetMode(1);
  f.Click(ssLeft, 11, 21);
  EXPECT_EQ(f.Editor.CurrentVertex, 0);
  EXPECT_TRUE(f.Editor.IsVertexSelected(0));
  f.Click(ssLeft | ssShift, 100, 150);
  EXPECT_TRUE(f.Editor.IsVertexSelected(2));
  EXPECT_TRUE(f.Editor.IsVertexSelected(0));
  f.Click(ssLeft | ssShift, 10, 20);
  EXPECT_FALSE(f.Editor.IsVertexSelected(0)) << "shift-click deselects";
  // Empty space without shift clears the selection.
  f.Click(ssLeft, 250, 10);
  EXPECT_EQ(f.Editor.SelectedVertexCount(), 0);
  EXPECT_EQ(f.Editor.CurrentVertex, -1);

  // A band dragged to the lower right selects what it covers.
  f.Image->MouseDown(mbLeft, ssLeft, 0, 0);
  f.Image->MouseMove(ssLeft, 50, 120);
  EXPECT_EQ(f.Image->RubberBand(), (TRect{0, 0, 50, 120}));
  f.Image->MouseUp(mbLeft, ssLeft, 50, 120);
  EXPECT_TRUE(f.Editor.IsVertexSelected(0));
  EXPECT_TRUE(f.Editor.IsVertexSelected(1));
  EXPECT_FALSE(f.Editor.IsVertexSelected(2));
  EXPECT_EQ(f.Editor.CurrentVertex, 0);
  EXPECT_EQ(f.Image->RubberBand(), TRect{});
  // The seam copy's marker counts too.
  f.Click(ssLeft, 250, 10);
  f.Image->MouseDown(mbLeft, ssLeft, 140, 90);
  f.Image->MouseMove(ssLeft, 170, 110);
  f.Image->MouseUp(mbLeft, ssLeft, 170, 110);
  EXPECT_TRUE(f.Editor.IsVertexSelected(1));
  EXPECT_EQ(f.Editor.SelectedVertexCount(), 1);
}

TEST(MDLTextureImage, VertexDragsMoveTheSelectionAndMarkModifiedOnce) {
  TTextureFixture f;
  f.Image->SetMode(1);
  // The seam vertex grabbed at its back copy moves by the offset from x - 150.
  f.Image->MouseDown(mbLeft, ssLeft, 155, 100);
  EXPECT_TRUE(f.Image->BackSide());
  EXPECT_TRUE(f.Image->RepaintTimerRunning());
  f.Image->MouseMove(ssLeft, 160, 104);
  f.Image->MouseMove(ssLeft, 162, 106);
  EXPECT_EQ(f.ModifyEvents, 0);
  f.Image->MouseUp(mbLeft, ssLeft, 162, 106);
  EXPECT_EQ(f.Vertex(1).S, 12);
  EXPECT_EQ(f.Vertex(1).T, 106);
  EXPECT_EQ(f.ModifyEvents, 1);
  EXPECT_FALSE(f.Image->RepaintTimerRunning());
  EXPECT_EQ(f.Vertex(0), (TSkinVertex{0, 10, 20})) << "only the selected vertex moves";
  // With ctrl every vertex moves.
  f.Image->MouseDown(mbLeft, ssLeft, 10, 20);
  f.Image->MouseMove(ssLeft | ssCtrl, 13, 22);
  f.Image->MouseUp(mbLeft, ssLeft | ssCtrl, 13, 22);
  EXPECT_EQ(f.Vertex(0).S, 13);
  EXPECT_EQ(f.Vertex(1).S, 15);
  EXPECT_EQ(f.Vertex(2).T, 152);
}

TEST(MDLTextureImage, PenStrokePaintsAndMarksModifiedOnceAtButtonUp) {
  TTextureFixture f;
  f.Image->SetMode(3);
  f.Editor.SetCurrentColor(77);
  f.Editor.PenSize = 1;
  f.Image->MouseDown(mbLeft, ssLeft, 20, 50);
  f.Image->MouseMove(ssLeft, 40, 50);
  f.Image->MouseMove(ssLeft, 400, 50);  // beyond the right edge: drawn to it
  EXPECT_EQ(f.ModifyEvents, 0);
  EXPECT_TRUE(f.Image->StrokeDirty());
  f.Image->MouseUp(mbLeft, ssLeft, 400, 50);
  EXPECT_EQ(f.ModifyEvents, 1);
  EXPECT_FALSE(f.Image->StrokeDirty());
  for (int s : {20, 30, 40, 200, 299}) EXPECT_EQ(f.SkinPixel(s, 50), 77) << s;
  EXPECT_EQ(f.SkinPixel(19, 50), 3);
  EXPECT_EQ(f.SkinPixel(30, 51), 3);
  // What was painted is in the picture, in display colours.
  f.Image->Paint();
  EXPECT_EQ(f.Image->Bitmap().ScanLine(50)[250], Display(77));
  EXPECT_EQ(f.Image->Bitmap().ScanLine(60)[250], Display(3));
}

TEST(MDLTextureImage, RightClicksPickColoursAndPaintNothing) {
  TTextureFixture f;
  f.Editor.Model->Skins->Skin(0).Row(30)[40] = 99;
  for (uint8_t mode : {3, 4, 5}) {
    SCOPED_TRACE(static_cast<int>(mode));
    f.Image->SetMode(mode);
    f.Editor.SetCurrentColor(5);
    f.Click(ssRight, 40, 30);
    EXPECT_EQ(f.Editor.CurrentColor, 99);
    EXPECT_EQ(f.SkinPixel(41, 30), 3);
    EXPECT_EQ(f.ModifyEvents, 0);
  }
  // The dropper's left click picks as well.
  f.Image->SetMode(4);
  f.Click(ssLeft, 100, 100);
  EXPECT_EQ(f.Editor.CurrentColor, 3);
}

TEST(MDLTextureImage, DropperWithAltReplacesAndFillFloods) {
  TTextureFixture f;
  TMDLBitmap& skin = f.Editor.Model->Skins->Skin(0);
  for (int s = 0; s < 300; ++s) skin.Row(100)[s] = 8;  // splits the skin in two
  skin.RecountColors();
  f.Image->SetMode(5);
  f.Editor.SetCurrentColor(40);
  f.Click(ssLeft, 10, 10);
  EXPECT_EQ(f.SkinPixel(10, 10), 40);
  EXPECT_EQ(f.SkinPixel(12, 11), 40);
  EXPECT_EQ(f.SkinPixel(10, 150), 3) << "the fill stops at the line";
  EXPECT_EQ(f.ModifyEvents, 1);
  f.Image->SetMode(4);
  f.Editor.SetCurrentColor(50);
  f.Click(ssLeft | ssAlt, 10, 150);
  EXPECT_EQ(f.SkinPixel(200, 199), 50);
  EXPECT_EQ(f.SkinPixel(10, 10), 40);
  EXPECT_EQ(f.ModifyEvents, 2);
}

TEST(MDLTextureImage, EveryStrokeFillAndDragIsOneUndoStep) {
  // What a gesture changes: the skin's pixels and the skin vertices.
  const auto content = [](TTextureFixture& f) {
    std::vector<int> c;
    const TMDLBitmap& skin = f.Editor.Model->Skins->Skin(0);
    for (int t = 0; t < skin.Height; ++t)
      for (int s = 0; s < skin.Width; ++s) c.push_back(skin.Pixel(s, t));
    for (int v = 0; v < f.Editor.Model->Vertices->Count(); ++v) {
      c.push_back(f.Vertex(v).S);
      c.push_back(f.Vertex(v).T);
    }
    return c;
  };
  struct TGesture {
    const char* Step;  // null: no step
    uint8_t Mode;
    std::function<void(TTextureFixture&)> Do;
  };
  const TGesture gestures[] = {
      {"Pen", 3,
       [](TTextureFixture& f) {
         f.Image->MouseDown(mbLeft, ssLeft, 20, 50);
         for (int x = 30; x <= 120; x += 10) f.Image->MouseMove(ssLeft, x, 50 + x / 10);
         f.Image->MouseUp(mbLeft, ssLeft, 120, 62);
       }},
      {"Flood Fill", 5, [](TTextureFixture& f) { f.Click(ssLeft, 10, 10); }},
      {"Replace Color", 4, [](TTextureFixture& f) { f.Click(ssLeft | ssAlt, 150, 150); }},
      {"Move Skin Vertices", 1,
       [](TTextureFixture& f) {
         f.Image->MouseDown(mbLeft, ssLeft, 100, 150);
         f.Image->MouseMove(ssLeft, 104, 151);
         f.Image->MouseMove(ssLeft, 110, 155);
         f.Image->MouseUp(mbLeft, ssLeft, 110, 155);
       }},
      {nullptr, 3, [](TTextureFixture& f) { f.Click(ssRight, 40, 30); }},
      {nullptr, 1, [](TTextureFixture& f) { f.Click(ssLeft, 100, 150); }},
  };
  for (const TGesture& g : gestures) {
    SCOPED_TRACE(g.Step ? g.Step : "no step");
    TTextureFixture f;
    f.Image->SetMode(g.Mode);
    f.Editor.SetCurrentColor(77);
    f.Editor.PenSize = 2;
    const std::vector<int> before = content(f);
    g.Do(f);
    if (!g.Step) {
      EXPECT_FALSE(f.Editor.CanUndo());
      EXPECT_EQ(content(f), before);
      continue;
    }
    ASSERT_EQ(f.Editor.History.UndoCount(), 1);
    EXPECT_EQ(f.Editor.History.UndoName(), g.Step);
    const std::vector<int> after = content(f);
    ASSERT_NE(after, before);
    f.Editor.Undo();
    EXPECT_EQ(content(f), before);
    f.Editor.Redo();
    EXPECT_EQ(content(f), after);
  }
}

TEST(MDLTextureImage, PicturesTheMeshMarkersAndNothingWithoutAModel) {
  TTextureFixture f;
  f.Image->SetMode(1);
  f.Editor.SetCurrentVertex(2);
  f.Image->Paint();
  const TWinGBitmap& b = f.Image->Bitmap();
  EXPECT_EQ(b.ScanLine(20)[10], Display(0)) << "marker of vertex 0";
  EXPECT_EQ(b.ScanLine(150)[101], Display(208)) << "selected marker";
  EXPECT_EQ(b.ScanLine(100)[155], Display(0)) << "seam copy's marker";
  // The triangle faces back: its edge runs to the seam copy at s = 155.
  EXPECT_EQ(b.ScanLine(60)[82], Display(254));
  f.Image->SetShowTriangles(false);
  f.Image->Paint();
  EXPECT_EQ(b.ScanLine(60)[82], Display(3));

  TMDLEditor empty;
  TMDLTextureImage none(&empty);
  none.SetBitmapWidth(160);
  none.SetBitmapHeight(100);
  none.SetMode(3);
  none.MouseDown(mbLeft, ssLeft, 5, 5);
  none.MouseUp(mbLeft, ssLeft, 5, 5);
  none.Paint();
  EXPECT_EQ(none.Bitmap().ScanLine(5)[5], none.Bitmap().Canvas().ColorIndex(none.BackgroundColor()));
}

// The sample model: the skin with its player colours shown, and timings of
// a pen stroke and of a skin switch.
TEST(MDLTextureImage, RealModelSkinWithPlayerColours) {
  namespace fs = std::filesystem;
  const fs::path sample = fs::path(TESSEL_TEST_SOURCE_DIR) / ".." / ".." / "resources" / "sample.mdl";
  if (!fs::exists(sample)) GTEST_SKIP() << "resources/sample.mdl not found";
  TMDLEditor editor;
  editor.LoadFromFile(sample.string());
  ASSERT_TRUE(editor.IsValid());
  TMDLTextureImage image(&editor);
  image.Loaded();
  TMDLBitmap& skin = *editor.CurrentSkinObject();
  ASSERT_EQ(image.BitmapWidth(), skin.Width);
  skin.Row(0)[0] = 20;  // a shirt-row colour
  skin.Row(0)[1] = 130;
  editor.SetShirtColor(0);
  image.Paint();
  const uint8_t plain = image.Bitmap().ScanLine(0)[0];
  EXPECT_EQ(image.Bitmap().ScanLine(0)[1], Display(130));
  editor.SetShirtColor(4);
  image.Paint();
  EXPECT_NE(image.Bitmap().ScanLine(0)[0], plain) << "the shirt colour changes the shirt rows";
  EXPECT_EQ(image.Bitmap().ScanLine(0)[1], Display(130));
}
