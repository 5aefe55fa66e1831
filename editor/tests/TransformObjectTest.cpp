// Pivot changes over the frames the transform settings choose.

#include "editor/tests/EditorFixtures.h"
#include "mdl/Mdl.h"
#include "mdl/MdlObjects.h"
#include "mdl/Pivot.h"

using namespace edtest;

namespace {

class TransformObjectTest : public EditorTest {
protected:
  // Walk (frames 1-3), second frame current, object 1 current.
  void OpenAtWalk() {
    Open();
    Editor->SetCurrentScene(1);
    Editor->SetCurrentFrame(1);
    Editor->SetCurrentObject(1);
    Editor->SetModified(false);
  }
  TPivot& PivotAt(int frame, int object = 1) { return Editor->Model->Objects->Object(object).Pivot(frame); }
  float X(int frame, int vertex) { return Editor->Model->Frames->Frame(frame).Get(vertex).X; }
};

TEST_F(TransformObjectTest, ScopesReachTheirFramesOnly) {
  // Frames: 0 stand1, 1-3 walk1..3, 4-5 run1..2; walk2 (flat 2) is current.
  const struct {
    int Scope;
    std::vector<int> Moved;
  } cases[] = {{0, {2}}, {1, {2, 3}}, {2, {1, 2, 3}}, {3, {0, 1, 2, 3, 4, 5}}};
  for (const auto& c : cases) {
    OpenAtWalk();
    Editor->TransformScope = c.Scope;
    std::vector<float> before;
    for (int f = 0; f < 6; ++f) before.push_back(PivotAt(f).Channel(0));
    const float diff[9] = {2, 0, 0, 0, 0, 0, 0, 0, 0};
    Editor->TransformObject(diff);
    for (int f = 0; f < 6; ++f) {
      const bool moved = std::find(c.Moved.begin(), c.Moved.end(), f) != c.Moved.end();
      EXPECT_FLOAT_EQ(PivotAt(f).Channel(0), before[static_cast<size_t>(f)] + (moved ? 2.0f : 0.0f))
          << "scope " << c.Scope << " frame " << f;
    }
    EXPECT_FALSE(Editor->Modified) << "the caller marks the model changed";
    EXPECT_TRUE(Consistent(*Editor->Model));
  }
}

TEST_F(TransformObjectTest, AbsoluteModeGivesEveryFrameTheFirstFramesValues) {
  OpenAtWalk();
  Editor->TransformScope = 2;  // whole walk scene: frames 1-3, pivots at different x
  Editor->TransformMode = 1;
  ASSERT_NE(PivotAt(1).Channel(0), PivotAt(3).Channel(0)) << "the box drifts, so do its pivots";
  const float first = PivotAt(1).Channel(0);
  const float otherY = PivotAt(3).Channel(1);
  const float diff[9] = {1.5f, 0.0005f, 0, 0, 0, 0, 0, 0, 0};
  Editor->TransformObject(diff);
  for (int f = 1; f <= 3; ++f) EXPECT_FLOAT_EQ(PivotAt(f).Channel(0), first + 1.5f) << f;
  // A difference within 0.001 keeps each frame's own value.
  EXPECT_FLOAT_EQ(PivotAt(3).Channel(1), otherY);
}

TEST_F(TransformObjectTest, ObjectSubjectCarriesTheVerticesAndPivotSubjectDoesNot) {
  OpenAtWalk();
  const TMDLObject& box = Editor->Model->Objects->Object(1);
  ASSERT_FALSE(box.VertexIndices.empty());
  const int v = box.VertexIndices.front();
  const float x0 = X(2, v);
  const float move[9] = {3, 0, 0, 0, 0, 0, 0, 0, 0};
  Editor->TransformObject(move);
  EXPECT_NEAR(X(2, v), x0 + 3, 1e-4) << "the object follows its pivot";
  Editor->TransformSubject = 1;
  const float pivotX = PivotAt(2).Channel(0);
  Editor->TransformObject(move);
  EXPECT_NEAR(X(2, v), x0 + 3, 1e-4) << "the pivot moves alone";
  EXPECT_FLOAT_EQ(PivotAt(2).Channel(0), pivotX + 3);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(TransformObjectTest, NothingHappensWithoutAModelOrWithNoRealChange) {
  const float diff[9] = {1, 1, 1, 1, 1, 1, 1, 1, 1};
  Editor->Clear();
  Editor->TransformObject(diff);  // no model: nothing to change, no crash
  OpenAtWalk();
  const TMDL& m = *Editor->Model;
  std::vector<float> before;
  for (int i = 0; i < m.Vertices->Count(); ++i) before.push_back(X(2, i));
  const float none[9] = {0.001f, -0.001f, 0, 0, 0, 0, 0, 0, 0};
  Editor->TransformObject(none);
  for (int i = 0; i < m.Vertices->Count(); ++i) EXPECT_EQ(X(2, i), before[static_cast<size_t>(i)]) << i;
}

}  // namespace
