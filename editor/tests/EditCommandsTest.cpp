// The editing commands on models built in code: preconditions, questions,
// the current indices afterwards and the events in their order.

#include <gtest/gtest.h>

#include <fstream>

#include <cmath>

#include "editor/MDLEdit.h"
#include "editor/tests/EditorFixtures.h"
#include "mdl/MdlEditOps.h"
#include "raster/WinGBitmap.h"

using namespace edtest;

namespace {

std::vector<std::string> FrameNames(TMDL& m) {
  std::vector<std::string> names;
  for (int k = 0; k < m.Frames->Count(); ++k) names.push_back(m.Frames->Frame(k).Name());
  return names;
}

std::vector<int> SceneSizes(TMDL& m) {
  std::vector<int> sizes;
  for (int s = 0; s < m.Frames->SceneCount(); ++s) sizes.push_back(m.Frames->SceneFrameCount(s));
  return sizes;
}

}  // namespace

using Names = std::vector<std::string>;
using Sizes = std::vector<int>;

// ---- frames --------------------------------------------------------------------------

TEST_F(EditorTest, DeleteFrameOnTheLastFrameOfTheLastSceneLandsOnTheNewLastScene) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->SplitScene(2, 1);  // scenes: stand, walk, run (run1), run (run2)
  Editor->SetCurrentScene(3);
  Record();
  Prompts.Answer(true);
  Editor->DeleteFrame();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete frame 'run2'"}));
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "FrameCount", "SceneCount", "Modified(1)"}));
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->CurrentFrame, 0);
  EXPECT_EQ(SceneSizes(m), (Sizes{1, 3, 1}));
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, DeleteFrameOnTheLastOfThreeSelectsTheNewLast) {
  Open();
  Editor->GotoSceneFrame(1, 2);
  Record();
  Prompts.Answer(true);
  Editor->DeleteFrame();
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "FrameCount", "Modified(1)"}));
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->CurrentFrame, 1);
  EXPECT_EQ(FrameNames(*Editor->Model), (Names{"stand1", "walk1", "walk2", "run1", "run2"}));
}

TEST_F(EditorTest, DeleteFrameInTheMiddleKeepsThePlaceAndALoneSceneGoes) {
  Open();
  Editor->GotoSceneFrame(1, 0);
  Prompts.Answer(true, 2);
  Editor->DeleteFrame();
  EXPECT_EQ(Editor->CurrentFrame, 0);
  EXPECT_EQ(Editor->Model->Frames->Frame(Editor->AbsoluteFrame()).Name(), "walk2");
  Editor->SetCurrentScene(0);
  Editor->DeleteFrame();  // "stand" is alone in its scene: scene 0 is now walk
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(Editor->CurrentSceneName(), "walk");
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{2, 2}));
}

TEST_F(EditorTest, DeleteFrameIsRefusedSilentlyOrDeclined) {
  Open();
  Record();
  Prompts.Answer(false);
  Editor->DeleteFrame();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete frame 'stand1'"}));
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Frames->Count(), 6);
  // The only frame of the only scene is never deleted, nor asked about.
  Editor->Clear();
  Prompts.Questions.clear();
  Prompts.Answer(true);
  Log.clear();
  Editor->DeleteFrame();
  EXPECT_TRUE(Prompts.Questions.empty());
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Frames->Count(), 1);
}

TEST_F(EditorTest, CutAndPasteMoveAFrame) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->Frame(2).Item(0).X = 42;  // walk2
  Editor->GotoSceneFrame(1, 1);
  Prompts.Answer(true);
  Editor->CutFrame();
  EXPECT_EQ(FrameNames(m), (Names{"stand1", "walk1", "walk3", "run1", "run2"}));
  Editor->GotoSceneFrame(2, 1);
  Record();
  Editor->PasteFrame();
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "FrameCount", "Modified(1)"}));
  EXPECT_EQ(FrameNames(m), (Names{"stand1", "walk1", "walk3", "run1", "walk2", "run2"}));
  EXPECT_EQ(m.Frames->Frame(4).Get(0).X, 42);
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->CurrentFrame, 1);
  EXPECT_EQ(Editor->SceneFrameCount, 3);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, PasteWithoutACopiedFrameDoesNothingAtAll) {
  Open();
  Record();
  Editor->PasteFrame();
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Frames->Count(), 6);
}

TEST_F(EditorTest, AFrameCopiedBeforeTheMeshChangedIsNotPasted) {
  Open();
  Editor->SaveToFile(Path("other.mdl"), true);
  Editor->CopyFrame();
  Editor->MergeModel(Path("other.mdl"));  // twice the vertices now
  Record();
  Editor->PasteFrame();
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Frames->Count(), 6);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, AFrameCopiedBeforeTheObjectsChangedIsPastedOnlyWhileItFits) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->CopyFrame();
  Editor->SetCurrentObject(1);
  Editor->NewObject();  // one pivot more in every frame but the copy
  Editor->PasteFrame();
  EXPECT_EQ(m.Frames->Count(), 6);
  // Made anew, in the same number: the pasted frame's pivots move today's
  // objects.
  Editor->ReconstructObjects();
  Editor->CopyFrame();
  Editor->ReconstructObjects();
  Editor->PasteFrame();
  ASSERT_EQ(m.Frames->Count(), 7);
  EXPECT_TRUE(Consistent(m));
  TMDLObject& box = m.Objects->Object(2);
  ASSERT_GT(box.CollectVertices(), 0);
  const int v = box.VertexIndices.front();
  const float x = m.Frames->Frame(0).Get(v).X;
  TPivot& p = m.Frames->Frame(0).Pivot(2);
  p.SetChannelsNotify(p.Channel(0) + 2, p.Channel(1), p.Channel(2), p.Channel(3), p.Channel(4), p.Channel(5),
                      p.Channel(6), p.Channel(7), p.Channel(8));
  EXPECT_NEAR(m.Frames->Frame(0).Get(v).X, x + 2, 1e-4);
}

TEST_F(EditorTest, ACopiedFrameFollowsVerticesDeletedAfterIt) {
  Open();
  Editor->CopyFrame();
  Editor->SelectVertex(0, true);
  Prompts.Answer(true);
  Editor->DeleteSelectedVertices();
  Editor->PasteFrame();
  EXPECT_EQ(Editor->Model->Frames->Count(), 7);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, DuplicateFrameCopiesTheCurrentFrameInPlace) {
  Open();
  Editor->GotoSceneFrame(2, 1);
  Record();
  Editor->DuplicateFrame(3);
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "FrameCount", "Modified(1)"}));
  EXPECT_EQ(FrameNames(*Editor->Model), (Names{"stand1", "walk1", "walk2", "walk3", "run1", "run2", "run2", "run2", "run2"}));
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->CurrentFrame, 1);
  EXPECT_EQ(Editor->SceneFrameCount, 5);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

// ---- scenes ------------------------------------------------------------------------------

TEST_F(EditorTest, DeleteTheLastSceneLandsOnTheOneBefore) {
  Open();
  Editor->SetCurrentScene(2);
  Record();
  Prompts.Answer(true);
  Editor->DeleteScene();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete scene 'run'"}));
  EXPECT_EQ(Log, (Events{"Scene", "FrameCount", "SceneCount", "Modified(1)"}));
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{1, 3}));
  Prompts.Answer(true);
  Editor->DeleteScene();
  Prompts.Answer(false);
  Editor->DeleteScene();  // declined
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{1}));
}

TEST_F(EditorTest, DeletingTheOnlySceneOfSeveralFramesLeavesNoFrames) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->JoinScene(2);
  m.Frames->JoinScene(1);
  Editor->SetCurrentScene(0);
  ASSERT_EQ(SceneSizes(m), (Sizes{6}));
  Prompts.Answer(true);
  Editor->DeleteScene();
  EXPECT_EQ(m.Frames->Count(), 0);
  EXPECT_FALSE(Editor->IsValid());
}

TEST_F(EditorTest, DuplicateSceneInsertsCopiesBeforeIt) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->SetSceneType(1, true);
  m.Frames->SetSceneFrameDuration(1, 1, 0.5f);
  Editor->SetCurrentScene(1);
  Record();
  Editor->DuplicateScene(2);
  EXPECT_EQ(Log, (Events{"SceneCount", "Modified(1)", "Scene"}));
  EXPECT_EQ(SceneSizes(m), (Sizes{1, 3, 3, 3, 2}));
  for (int s = 1; s <= 3; ++s) {
    EXPECT_TRUE(m.Frames->SceneIsGroup(s));
    EXPECT_FLOAT_EQ(m.Frames->SceneFrameDuration(s, 1), 0.5f);
    EXPECT_EQ(m.Frames->SceneName(s), "walk");
  }
  EXPECT_NE(&m.Frames->Scene(1).Frame(0), &m.Frames->Scene(2).Frame(0));
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, MoveFrameAcrossScenes) {
  Open();
  TMDL& m = *Editor->Model;
  Record();
  // walk3 to the front of run.
  EXPECT_TRUE(Editor->MoveFrame(1, 2, 2, 0));
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "Modified(1)"}));
  EXPECT_EQ(FrameNames(m), (Names{"stand1", "walk1", "walk2", "walk3", "run1", "run2"}));
  EXPECT_EQ(SceneSizes(m), (Sizes{1, 2, 3}));
  // The lone "stand" into walk: its scene goes away.
  Log.clear();
  EXPECT_TRUE(Editor->MoveFrame(0, 0, 1, 1));
  EXPECT_EQ(Log, (Events{"Scene", "Frame", "Modified(1)", "SceneCount"}));
  EXPECT_EQ(SceneSizes(m), (Sizes{3, 3}));
  EXPECT_EQ(FrameNames(m), (Names{"walk1", "stand1", "walk2", "walk3", "run1", "run2"}));
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->CurrentFrame, 1);
  // Nothing to move: no change and no events.
  Log.clear();
  EXPECT_FALSE(Editor->MoveFrame(1, 1, 1, 1));
  EXPECT_FALSE(Editor->MoveFrame(5, 0, 0, 0));
  EXPECT_FALSE(Editor->MoveFrame(0, 7, 0, 0));
  EXPECT_TRUE(Log.empty());
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, MoveSceneReordersTheScenes) {
  Open();
  Record();
  EXPECT_TRUE(Editor->MoveScene(2, 0));
  EXPECT_EQ(Log, (Events{"Modified(1)", "Scene"}));
  EXPECT_EQ(Editor->CurrentSceneName(), "run");
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{2, 1, 3}));
  EXPECT_FALSE(Editor->MoveScene(1, 1));
  EXPECT_FALSE(Editor->MoveScene(-1, 1));
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, SplitSceneBeforeTheCurrentFrame) {
  Open();
  Editor->GotoSceneFrame(1, 2);
  Record();
  Editor->SplitScene();
  EXPECT_EQ(Log, (Events{"Scene", "SceneCount", "Modified(1)"}));
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{1, 2, 1, 2}));
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->Model->Frames->Frame(Editor->AbsoluteFrame()).Name(), "walk3");
  // At the first frame there is nothing to split off.
  Log.clear();
  Editor->SplitScene();
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Frames->SceneCount(), 4);
}

TEST_F(EditorTest, AppendSceneToPreviousJoinsTheScenes) {
  Open();
  Editor->SetCurrentScene(2);
  Record();
  Editor->AppendSceneToPrevious();
  EXPECT_EQ(Log, (Events{"Scene", "Scene", "SceneCount", "Modified(1)"}));
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{1, 5}));
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->SceneFrameCount, 5);
  // From scene 0 the next scene is appended to it.
  Editor->SetCurrentScene(0);
  Editor->AppendSceneToPrevious();
  EXPECT_EQ(SceneSizes(*Editor->Model), (Sizes{6}));
  // A single scene has nothing to append.
  Log.clear();
  Editor->AppendSceneToPrevious();
  EXPECT_TRUE(Log.empty());
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, RenumberAndGroupTheCurrentScene) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->Frame(2).SetName("walk9");
  m.Frames->Frame(3).SetName("other");
  Editor->SetCurrentScene(1);
  Record();
  Editor->RenumberScene();
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  EXPECT_EQ(FrameNames(m), (Names{"stand1", "walk1", "walk2", "walk3", "run1", "run2"}));
  Editor->SetSceneGrouped(true);
  EXPECT_TRUE(m.Frames->SceneIsGroup(1));
  Editor->SetSceneGrouped(false);
  EXPECT_FALSE(m.Frames->SceneIsGroup(1));
}

// ---- objects --------------------------------------------------------------------------------

TEST_F(EditorTest, NewObjectIsAChildOfTheCurrentObject) {
  Open();
  Editor->SetCurrentObject(2);
  Record();
  Editor->NewObject();
  EXPECT_EQ(Log, (Events{"ObjectCount", "Object", "Modified(1)"}));
  TMDL& m = *Editor->Model;
  ASSERT_EQ(m.Objects->Count(), 4);
  EXPECT_EQ(Editor->CurrentObject, 3);
  EXPECT_EQ(m.Objects->Object(3).ParentIndex, 2);
  EXPECT_EQ(m.Objects->Object(3).Name, "object3");
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, DeleteObjectTakesItsGeometryAndShiftsTheHiddenBits) {
  Open();
  TMDL& m = *Editor->Model;
  m.Objects->Object(2).SetParent(&m.Objects->Object(1));
  Editor->SetCurrentObject(1);
  Editor->NewObject();  // object 3, child of 1
  Editor->SetObjectVisible(3, false);
  Editor->SetCurrentObject(1);
  Editor->SetCurrentTriangle(0);
  Record();
  Prompts.Answer(true);
  Editor->DeleteObject();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete object 'object1'"}));
  EXPECT_EQ(Log, (Events{"ObjectCount", "Modified(1)"}));
  ASSERT_EQ(m.Objects->Count(), 3);
  EXPECT_EQ(m.Vertices->Count(), 8);
  EXPECT_EQ(m.Triangles->Count(), 12);
  // The children moved up to the root and down by one index.
  EXPECT_EQ(m.Objects->Object(1).ParentIndex, 0);
  EXPECT_EQ(m.Objects->Object(2).ParentIndex, 0);
  EXPECT_EQ(m.Vertices->ObjectIndex(0), 1);
  EXPECT_EQ(Editor->CurrentObject, 1);
  EXPECT_EQ(Editor->CurrentTriangle, -1);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 0);
  EXPECT_TRUE(Editor->IsObjectVisible(1));
  EXPECT_FALSE(Editor->IsObjectVisible(2));  // the old object 3
  EXPECT_FALSE(Editor->HiddenObjects.Get(3));
  for (int t = 0; t < 12; ++t) EXPECT_TRUE(Editor->IsTriangleVisible(t));
  EXPECT_EQ(Editor->HiddenTriangles.Count(), 0);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, DeleteObjectRefusesTheRootWithoutAsking) {
  Open();
  Prompts.Answer(true);
  Record();
  Editor->DeleteObject();
  EXPECT_TRUE(Prompts.Questions.empty());
  EXPECT_TRUE(Log.empty());
  Editor->SetCurrentObject(1);
  Prompts.Answers.clear();
  Prompts.Answer(false);
  Log.clear();
  Editor->DeleteObject();
  EXPECT_EQ(Prompts.Questions.size(), 1u);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Objects->Count(), 3);
}

TEST_F(EditorTest, AssigningTrianglesToANewObjectRaisesOnlyTheCountEvent) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SetCurrentTriangle(14);
  Record();
  Editor->AssignTrianglesToNewObject();
  EXPECT_EQ(Log, (Events{"ObjectCount"}));
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_TRUE(Editor->Modified);
  ASSERT_EQ(m.Objects->Count(), 4);
  EXPECT_EQ(Editor->CurrentObject, 3);
  int moved = 0;
  for (int v = 0; v < m.Vertices->Count(); ++v) moved += m.Vertices->ObjectIndex(v) == 3;
  EXPECT_EQ(moved, 3);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m.Vertices->ObjectIndex(m.Triangles->Get(14).Vertex[c]), 3);
}

TEST_F(EditorTest, AssigningVerticesChangesOwnersOnly) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->BeginSelect();
  Editor->SelectVertex(1, true);
  Editor->SelectVertex(9, true);
  Editor->EndSelect();
  Record();
  Editor->AssignVerticesToObject(2);
  EXPECT_EQ(m.Vertices->ObjectIndex(1), 2);
  EXPECT_EQ(m.Vertices->ObjectIndex(9), 2);
  EXPECT_EQ(m.Vertices->ObjectIndex(0), 1);
  Editor->AssignVerticesToObject(17);  // no such object
  EXPECT_EQ(m.Vertices->ObjectIndex(1), 2);
  Editor->SetCurrentTriangle(0);
  Log.clear();
  Editor->AssignTrianglesToObject(0);
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m.Vertices->ObjectIndex(m.Triangles->Get(0).Vertex[c]), 0);
  Editor->AssignVerticesToNewObject();
  EXPECT_EQ(Log, (Events{"ObjectCount"}));
  for (int c = 0; c < 3; ++c) EXPECT_EQ(m.Vertices->ObjectIndex(m.Triangles->Get(0).Vertex[c]), 3);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, ReassignMovesEveryVertexOfTheCurrentObject) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SetCurrentObject(1);
  Editor->SetModified(false);
  Record();
  Editor->ReassignObjectVertices(1);  // the same object: nothing
  Editor->ReassignObjectVertices(2);
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(Editor->Modified);
  for (int v = 0; v < 16; ++v) EXPECT_EQ(m.Vertices->ObjectIndex(v), 2);
}

TEST_F(EditorTest, RenameAndReconstructObjects) {
  Open();
  Record();
  Editor->RenameObject(2, "arm");
  EXPECT_EQ(Log, (Events{"ObjectNames"}));
  EXPECT_EQ(Editor->ObjectName(2), "arm");
  EXPECT_FALSE(Editor->Modified);
  Editor->SetCurrentObject(2);
  Log.clear();
  Editor->ReconstructObjects();
  EXPECT_EQ(Log, (Events{"ObjectCount"}));
  EXPECT_EQ(Editor->CurrentObject, 0);
  EXPECT_EQ(Editor->ObjectName(2), "object2");
}

TEST_F(EditorTest, ResetObjectPivotsCentresThemAndLeavesTheVertices) {
  Open();
  TMDL& m = *Editor->Model;
  TMDLObject& box = m.Objects->Object(2);
  box.Pivot(1).SetChannel(5, 30);  // turned in frame 1
  box.Pivot(1).SetChannel(7, 2);
  std::vector<TFrameVertex> before;
  for (int v = 0; v < 16; ++v) before.push_back(m.Frames->Frame(1).Get(v));
  Editor->SetCurrentObject(2);
  Record();
  Editor->ResetObjectPivots();
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  for (int f = 0; f < m.Frames->Count(); ++f) {
    const TPivot& p = box.Pivot(f);
    for (int k = 0; k < 3; ++k) {
      EXPECT_FLOAT_EQ(p.Rotation()[k], 0);
      EXPECT_FLOAT_EQ(p.Scale()[k], 1);
    }
    const TVector c = box.Bounds(f);
    EXPECT_NEAR(p.Matrix()(0, 3), c.x, 1e-4);
    EXPECT_NEAR(p.Matrix()(1, 3), c.y, 1e-4);
    EXPECT_NEAR(p.Matrix()(2, 3), c.z, 1e-4);
  }
  for (int v = 0; v < 16; ++v) EXPECT_EQ(m.Frames->Frame(1).Get(v), before[static_cast<size_t>(v)]);
}

TEST_F(EditorTest, SelectObjectTrianglesAndVertices) {
  Open();
  Editor->SetCurrentObject(2);
  Editor->SetCurrentTriangle(0);
  Record();
  Editor->SelectObjectTriangles();
  EXPECT_EQ(Log, (Events{"Selection"}));
  EXPECT_EQ(Editor->SelectedTriangleCount(), 12);
  EXPECT_FALSE(Editor->IsTriangleSelected(0));
  EXPECT_EQ(Editor->CurrentTriangle, 12);
  EXPECT_EQ(Editor->SelectedVertexCount(), 8);
  Editor->SetCurrentObject(1);
  Log.clear();
  Editor->SelectObjectVertices();
  EXPECT_EQ(Log, (Events{"Selection"}));
  EXPECT_EQ(Editor->SelectedVertexCount(), 8);
  EXPECT_TRUE(Editor->IsVertexSelected(0));
  EXPECT_FALSE(Editor->IsVertexSelected(8));
  EXPECT_EQ(Editor->CurrentVertex, 0);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 12);  // the triangle set is left alone
}

// ---- triangles and vertices --------------------------------------------------------------

TEST_F(EditorTest, DeleteSelectedTrianglesAsksOnceAndDropsLooseVertices) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SetObjectVisible(2, false);
  Editor->BeginSelect();
  for (int t = 0; t < 12; ++t) Editor->SelectTriangle(t, true);
  Editor->EndSelect();
  Prompts.Answer(false);
  Editor->DeleteSelectedTriangles();
  EXPECT_EQ(m.Triangles->Count(), 24);
  Record();
  Prompts.Answer(true);
  Editor->DeleteSelectedTriangles();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete selected triangles ?", "Delete selected triangles ?"}));
  EXPECT_EQ(Log, (Events{"Modified(1)", "Triangle"}));
  EXPECT_EQ(m.Triangles->Count(), 12);
  EXPECT_EQ(m.Vertices->Count(), 8);
  // The second box's triangles are now 0..11, and still hidden.
  for (int t = 0; t < 12; ++t) EXPECT_FALSE(Editor->IsTriangleVisible(t));
  EXPECT_EQ(Editor->HiddenTriangles.Count(), 12);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 0);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, DeletingWithNothingSelectedKeepsNewVertices) {
  Open();
  Editor->AddVertex(MakeVector(5, 5, 5), 1);
  Editor->SetModified(false);
  Record();
  Prompts.Answer(true, 2);
  Editor->DeleteSelectedTriangles();
  Editor->DeleteSelectedVertices();
  EXPECT_TRUE(Prompts.Questions.empty());
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->Model->Vertices->Count(), 17);
  EXPECT_FALSE(Editor->Modified);
}

TEST_F(EditorTest, DeleteSelectedVerticesTakesTheirTriangles) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SetCurrentTriangle(20);
  Editor->BeginSelect();
  Editor->SelectVertex(0, true);
  Editor->EndSelect();
  Record();
  Prompts.Answer(true);
  Editor->DeleteSelectedVertices();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete selected vertices ?"}));
  EXPECT_EQ(Log, (Events{"Modified(1)", "Vertex"}));
  // Vertex 0 is a corner of 6 of the first box's triangles and the vertices
  // of triangle 20 (selected with it) of 6 more of the second box.
  EXPECT_LT(m.Triangles->Count(), 24);
  EXPECT_EQ(Editor->SelectedVertexCount(), 0);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 0);
  EXPECT_EQ(Editor->CurrentTriangle, -1);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, FlipThenAlignRestoresAConsistentBox) {
  Open();
  TMDL& m = *Editor->Model;
  std::vector<TTriangle> before(m.Triangles->Items());
  Editor->BeginSelect();
  Editor->SelectTriangle(3, true);
  Editor->SelectTriangle(7, true);
  Editor->EndSelect();
  Record();
  Editor->FlipSelectedTriangles();
  EXPECT_EQ(Log, (Events{"Modified(1)", "Triangle"}));
  EXPECT_EQ(m.Triangles->Get(3).Vertex[0], before[3].Vertex[2]);
  Editor->SetCurrentTriangle(0);
  Log.clear();
  Editor->AlignTriangles();
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  EXPECT_EQ(Editor->CurrentTriangle, -1);
  EXPECT_EQ(std::vector<TTriangle>(m.Triangles->Items()), before);
  // Aligning a consistent mesh flips nothing; without a current triangle
  // nothing happens at all.
  Editor->SetCurrentTriangle(13);
  Editor->AlignTriangles();
  EXPECT_EQ(std::vector<TTriangle>(m.Triangles->Items()), before);
  Log.clear();
  Editor->AlignTriangles();
  EXPECT_TRUE(Log.empty());
}

TEST_F(EditorTest, MakeTriangleNeedsThreeVerticesAndWindsLikeItsNeighbour) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->BeginSelect();
  Editor->SelectVertex(0, true);
  Editor->SelectVertex(3, true);
  Editor->EndSelect();
  Record();
  Editor->MakeTriangle();
  EXPECT_EQ(Log, (Events{"Vertex"}));
  EXPECT_EQ(m.Triangles->Count(), 24);
  EXPECT_EQ(Editor->SelectedVertexCount(), 0);
  // 0, 2, 3 is triangle 0 itself: the new one runs along the same edges
  // and is turned round to wind like it.
  Editor->BeginSelect();
  for (int v : {3, 2, 0}) Editor->SelectVertex(v, true);
  Editor->EndSelect();
  Log.clear();
  Editor->MakeTriangle();
  EXPECT_EQ(Log, (Events{"Modified(1)", "Vertex"}));
  ASSERT_EQ(m.Triangles->Count(), 25);
  EXPECT_EQ(m.Triangles->Get(24), (TTriangle{0, {3, 2, 0}}));
  EXPECT_EQ(SharedEdge(m.Triangles->Get(0), m.Triangles->Get(24)), TEdgeShare::Reversed);
}

TEST_F(EditorTest, MergeVerticesJoinsThemIntoTheCurrentOne) {
  Open();
  TMDL& m = *Editor->Model;
  // Vertices 1 and 3 of the first box into vertex 0: the triangles that
  // had two of them collapse.
  Editor->BeginSelect();
  Editor->SelectVertex(1, true);
  Editor->SelectVertex(3, true);
  Editor->EndSelect();
  Editor->SetCurrentVertex(1);
  Editor->SelectVertex(0, true);
  Editor->CurrentVertex = 0;
  Record();
  Editor->MergeVertices();
  EXPECT_EQ(Log, (Events{"Modified(1)", "Vertex"}));
  EXPECT_EQ(m.Vertices->Count(), 14);
  for (const TTriangle& t : m.Triangles->Items())
    EXPECT_TRUE(t.Vertex[0] != t.Vertex[1] && t.Vertex[1] != t.Vertex[2] && t.Vertex[0] != t.Vertex[2]);
  EXPECT_TRUE(Consistent(m));
  // Without a current vertex: nothing.
  Log.clear();
  Editor->MergeVertices();
  EXPECT_TRUE(Log.empty());
}

TEST_F(EditorTest, SplitAVertexSharedByThreeTriangles) {
  Editor->Clear();
  TMDL& m = *Editor->Model;
  // A fan of three triangles around vertex 0.
  for (int i = 0; i < 5; ++i) {
    m.Vertices->Add(TSkinVertex{0, i, i}, 0);
    m.Frames->Frame(0).Add(TFrameVertex{static_cast<float>(i), 0, 0, 0});
  }
  m.Triangles->Add(TTriangle{1, {0, 1, 2}});
  m.Triangles->Add(TTriangle{1, {0, 2, 3}});
  m.Triangles->Add(TTriangle{1, {0, 3, 4}});
  Editor->SelectVertex(0, true);
  Record();
  Editor->SplitVertices();
  EXPECT_EQ(Log, (Events{"Modified(1)", "Vertex"}));
  EXPECT_EQ(m.Vertices->Count(), 7);  // 4 kept, 3 copies, the split one gone
  for (int i = 0; i < 3; ++i) {
    const TTriangle t = m.Triangles->Get(i);
    EXPECT_EQ(t.Vertex[0], 4 + i);
    EXPECT_EQ(m.Frames->Frame(0).Get(t.Vertex[0]).X, 0);
    EXPECT_EQ(m.Vertices->Get(t.Vertex[0]).S, 0);
  }
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, SplittingPastTheVertexLimitIsRefusedBeforeAnythingChanges) {
  Editor->Clear();
  TMDL& m = *Editor->Model;
  // A fan of 30000 triangles around vertex 0 over 30001 rim vertices.
  m.Vertices->SetCount(30002);
  m.Frames->Frame(0).SetCount(30002);
  for (int i = 0; i < 30000; ++i) m.Triangles->Add(TTriangle{1, {0, i + 1, i + 2}});
  m.Objects->Reconstruct();
  Editor->SelectVertex(0, true);
  Editor->SelectVertex(1, true);
  Record();
  EXPECT_THROW(Editor->SplitVertices(), EMDLError);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(m.Vertices->Count(), 30002);
  EXPECT_EQ(m.Triangles->Get(5).Vertex[0], 0);
}

TEST_F(EditorTest, AddVertexAppendsToEveryFrame) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->CopyFrame();
  Record();
  Editor->AddVertex(MakeVector(1, 2, 3), 2);
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  ASSERT_EQ(m.Vertices->Count(), 17);
  EXPECT_EQ(m.Vertices->Get(16), (TSkinVertex{0, 0, 0}));
  EXPECT_EQ(m.Vertices->ObjectIndex(16), 2);
  for (int k = 0; k < m.Frames->Count(); ++k) EXPECT_EQ(m.Frames->Frame(k).Get(16), (TFrameVertex{1, 2, 3, 0}));
  EXPECT_TRUE(Consistent(m));
  Editor->AddVertex(MakeVector(0, 0, 0), 99);  // no such object: the root's
  EXPECT_EQ(m.Vertices->ObjectIndex(17), 0);
  // The copied frame grew with the mesh and still pastes.
  Editor->PasteFrame();
  EXPECT_EQ(m.Frames->Count(), 7);
  EXPECT_TRUE(Consistent(m));
}

TEST_F(EditorTest, MovingSkinVerticesStaysOnTheSkin) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SelectVertex(2, true);
  Editor->MoveSelectedSkinVertices(100, -100);
  EXPECT_EQ(m.Vertices->Get(2).S, 7);
  EXPECT_EQ(m.Vertices->Get(2).T, 0);
  EXPECT_EQ(m.Vertices->Get(3).S, 3);
  Editor->MoveSkinVertices(1, 1);
  EXPECT_EQ(m.Vertices->Get(3).S, 4);
  EXPECT_EQ(m.Vertices->Get(3).T, 4);
  EXPECT_EQ(m.Vertices->Get(2).S, 7);
  EXPECT_FALSE(Editor->Modified);  // the caller marks it
}

// ---- skins ------------------------------------------------------------------------------------

TEST_F(EditorTest, AddAndDeleteSkins) {
  Open();
  TMDL& m = *Editor->Model;
  Record();
  EXPECT_EQ(Editor->AddSkin(), 0);
  EXPECT_EQ(Log, (Events{"SkinCount"}));
  ASSERT_EQ(m.Skins->Count(), 2);
  EXPECT_EQ(m.Skins->Skin(1).Name, "skin0");  // the new one went in front
  Editor->SetCurrentSkin(1);
  Log.clear();
  Prompts.Answer(true);
  Editor->DeleteSkin();
  EXPECT_EQ(Prompts.Questions, (Names{"Delete skin 'skin0'"}));
  EXPECT_EQ(Log, (Events{"Skin", "SkinCount", "Modified(1)"}));
  EXPECT_EQ(Editor->CurrentSkin, 0);
  ASSERT_EQ(m.Skins->Count(), 1);
  EXPECT_EQ(m.Skins->Skin(0).Name, "");
  // The last skin: asked, then kept.
  Log.clear();
  Prompts.Answer(true);
  Editor->DeleteSkin();
  EXPECT_EQ(Prompts.Questions.size(), 2u);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(m.Skins->Count(), 1);
}

TEST_F(EditorTest, CutAndPasteASkinThroughTheClipboard) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->AddSkin();
  Editor->SetCurrentSkin(1);
  TMDLBitmap& skin = m.Skins->Skin(1);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) skin.Row(y)[x] = static_cast<uint8_t>(y * 8 + x);
  skin.RecountColors();
  Prompts.Answer(true);
  Editor->CutSkin();
  ASSERT_EQ(m.Skins->Count(), 1);
  ASSERT_TRUE(Clipboard_.HasBitmap());
  Editor->SetGamma(3);
  Record();
  Editor->PasteSkin();
  EXPECT_EQ(Log, (Events{"SkinCount", "Gamma", "Modified(1)"}));
  ASSERT_EQ(m.Skins->Count(), 2);
  TMDLBitmap& pasted = m.Skins->Skin(Editor->CurrentSkin);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) EXPECT_EQ(pasted.Pixel(x, y), y * 8 + x) << x << "," << y;
  EXPECT_EQ(pasted.Gamma, 3);
  EXPECT_EQ(pasted.ColorCount()[0], 1);
  // Without a picture on the clipboard, only the blank skin.
  Clipboard_.SetText("words");
  Log.clear();
  Editor->PasteSkin();
  EXPECT_EQ(Log, (Events{"SkinCount"}));
  EXPECT_EQ(m.Skins->Count(), 3);
}

TEST_F(EditorTest, ImportSkinFromAPicture) {
  Open();
  TMDL& m = *Editor->Model;
  TMDLBitmap& skin = m.Skins->Skin(0);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) skin.Row(y)[x] = static_cast<uint8_t>(100 + x);
  skin.ExportPicture(Path("skin.bmp"));
  Record();
  Editor->ImportSkin(Path("skin.bmp"));
  EXPECT_EQ(Log, (Events{"SkinCount", "Gamma", "SkinCount", "Modified(1)"}));
  ASSERT_EQ(m.Skins->Count(), 2);
  EXPECT_EQ(m.Skins->Skin(0).Pixel(5, 5), 105);
  // A picture that cannot be read adds no skin and leaves the current one.
  Editor->SetCurrentSkin(1);
  std::ofstream(Path("bad.bmp"), std::ios::binary) << "BM\x10garbage";
  for (const char* bad : {"missing.bmp", "bad.bmp"}) {
    EXPECT_THROW(Editor->ImportSkin(Path(bad)), Exception) << bad;
    EXPECT_EQ(m.Skins->Count(), 2) << bad;
    EXPECT_EQ(Editor->CurrentSkin, 1) << bad;
  }
}

TEST_F(EditorTest, SkinSizeIsCappedAndWrittenToTheHeader) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->AddSkin();
  Editor->SetSkinSize(4000, 600);
  EXPECT_EQ(m.Header->SkinWidth, 3072);
  EXPECT_EQ(m.Header->SkinHeight, 512);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(m.Skins->Skin(k).Width, 3072);
    EXPECT_EQ(m.Skins->Skin(k).Height, 512);
  }
  // A width the skins round up: the header takes the skins' width.
  Editor->SetSkinSize(101, 50);
  EXPECT_EQ(m.Header->SkinWidth, 104);
  EXPECT_EQ(m.Skins->Skin(0).Width, 104);
  Editor->SetSkinSize(0, 50);  // refused
  EXPECT_EQ(m.Header->SkinWidth, 104);
  Editor->SaveToFile(Path("sized.mdl"), true);
  Editor->LoadFromFile(Path("sized.mdl"));
  EXPECT_EQ(Editor->Model->Skins->Skin(1).Width, 104);
}

TEST_F(EditorTest, PlayerColoursReachEverySkin) {
  Open();
  Editor->AddSkin();
  Record();
  Editor->SetShirtColor(13);
  Editor->SetPantsColor(2);
  EXPECT_EQ(Log, (Events{"Shirt", "Pants"}));
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(Editor->Model->Skins->Skin(k).TopColor, 13);
    EXPECT_EQ(Editor->Model->Skins->Skin(k).BottomColor, 2);
  }
  EXPECT_EQ(Editor->ShirtColor(), 13);
  EXPECT_EQ(Editor->PantsColor(), 2);
}

// ---- base frame --------------------------------------------------------------------------

TEST_F(EditorTest, RecalculateSkinVerticesFromTheBaseFrame) {
  Open();
  TMDL& m = *Editor->Model;
  m.Frames->Frame(2).SetName("base");
  m.Vertices->Item(5).S = 77;
  Record();
  Editor->RecalculateSkinVertices();
  EXPECT_TRUE(Prompts.Questions.empty());
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  EXPECT_NE(m.Vertices->Get(5).S, 77);
}

TEST_F(EditorTest, WithoutABaseFrameRecalculatingAsksToReconstructIt) {
  Open();
  TMDL& m = *Editor->Model;
  Editor->SetCurrentScene(2);
  Record();
  Prompts.Answer(false);
  Editor->RecalculateSkinVertices();
  EXPECT_EQ(Prompts.Questions, (Names{"Cannot locate 'base' frame, shall I reconstruct it ?"}));
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(m.Frames->Count(), 6);
  Prompts.Answer(true);
  Editor->RecalculateSkinVertices();
  EXPECT_EQ(Log, (Events{"Scene", "SceneCount", "Modified(1)", "Modified(1)"}));
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(SceneSizes(m), (Sizes{1, 1, 3, 2}));
  EXPECT_EQ(m.Frames->Frame(0).Name(), "base");
  EXPECT_EQ(m.Frames->Frame(1).Name(), "stand1");
  EXPECT_TRUE(Consistent(m));
  for (int v = 0; v < m.Vertices->Count(); ++v) {
    EXPECT_GE(m.Vertices->Get(v).S, 0);
    EXPECT_LT(m.Vertices->Get(v).S, m.Header->SkinWidth);
  }
}
