#include "editor/MDLEdit.h"

#include <gtest/gtest.h>

#include "editor/tests/EditorFixtures.h"
#include "raster/WinGPalette.h"

using namespace edtest;

// ---- the program-wide instance ---------------------------------------------------

TEST(MDLEditorInstance, IsMadeOnFirstUseAndForgottenWhenFreed) {
  TMDLEditor::ReleaseInstance();
  EXPECT_EQ(TMDLEditor::AccessInstance(TInstanceRequest::Peek), nullptr);
  TMDLEditor* e = TMDLEditor::AccessInstance(TInstanceRequest::Access);
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(TMDLEditor::AccessInstance(TInstanceRequest::Access), e);
  EXPECT_EQ(TMDLEditor::Peek(), e);
  EXPECT_EQ(&TMDLEditor::Instance(), e);
  // A new editor: no model shown yet, no triangle or vertex, no pen size.
  EXPECT_FALSE(e->IsValid());
  EXPECT_EQ(e->CurrentTriangle, -1);
  EXPECT_EQ(e->CurrentVertex, -1);
  EXPECT_EQ(e->PenSize, -1);
  EXPECT_EQ(e->HiddenObjects.Size(), 65536);
  EXPECT_EQ(e->SelectedVertices.Size(), 40000);
  TMDLEditor::ReleaseInstance();
  EXPECT_EQ(TMDLEditor::Peek(), nullptr);
  // Forget lets go without freeing.
  TMDLEditor* f = TMDLEditor::AccessInstance(TInstanceRequest::Access);
  EXPECT_EQ(TMDLEditor::AccessInstance(TInstanceRequest::Forget), nullptr);
  EXPECT_EQ(TMDLEditor::Peek(), nullptr);
  delete f;
}

TEST(MDLEditorInstance, RefusesUnknownRequests) {
  try {
    TMDLEditor::AccessInstance(static_cast<TInstanceRequest>(3));
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Illegal request 3 in AccessInstance");
  }
  EXPECT_THROW(TMDLEditor::AccessInstance(static_cast<TInstanceRequest>(-1)), Exception);
}

TEST(MDLEditorInstance, AnEditorOtherThanTheInstanceLeavesItAlone) {
  TMDLEditor::ReleaseInstance();
  TMDLEditor* shared = &TMDLEditor::Instance();
  { TMDLEditor other; }
  EXPECT_EQ(TMDLEditor::Peek(), shared);
  TMDLEditor::ReleaseInstance();
}

// ---- observers ------------------------------------------------------------------------

TEST_F(EditorTest, ObserversHearEventsInRegistrationOrderOnceEach) {
  std::vector<std::string> log;
  TRecorder a(log, "a"), b(log, "b");
  a.Observer.Loaded();  // registering again does not duplicate it
  Editor->SetCurrentColor(7);
  EXPECT_EQ(log, (Events{"a:Color", "b:Color"}));
  EXPECT_EQ(Editor->CurrentColor, 7);
  EXPECT_EQ(Editor->Observers.size(), 2u);
}

TEST_F(EditorTest, ADisabledObserverReceivesNothingUntilEnabled) {
  std::vector<std::string> log;
  TRecorder a(log, "a"), b(log, "b");
  a.Observer.SetEnabled(false);
  Editor->SetCurrentColor(1);
  Editor->SetModified(true);
  EXPECT_EQ(log, (Events{"b:Color", "b:Modified(1)"}));
  log.clear();
  a.Observer.SetEnabled(true);
  Editor->SetCurrentColor(2);
  EXPECT_EQ(log, (Events{"a:Color", "b:Color"}));
}

TEST_F(EditorTest, AnObserverUnregistersWhenDestroyed) {
  std::vector<std::string> log;
  auto a = std::make_unique<TRecorder>(log, "a");
  TRecorder b(log, "b");
  a.reset();
  EXPECT_EQ(Editor->Observers.size(), 1u);
  Editor->SetCurrentColor(1);
  EXPECT_EQ(log, (Events{"b:Color"}));
}

TEST_F(EditorTest, AHandlerMayRemoveAnObserverDuringABroadcast) {
  std::vector<std::string> log;
  TRecorder a(log, "a");
  auto b = std::make_unique<TRecorder>(log, "b");
  a.Observer.OnCurrentColorChange = [&](TMDLObserver*) {
    log.push_back("a:Color");
    b.reset();
  };
  Editor->SetCurrentColor(3);
  EXPECT_EQ(log, (Events{"a:Color"}));
}

TEST_F(EditorTest, AnObserverMadeBeforeTheEditorRegistersOnlyWhenLoadedAgain) {
  TMDLEditor::ReleaseInstance();
  std::vector<std::string> log;
  TRecorder early(log);
  Editor = &TMDLEditor::Instance();
  Editor->SetCurrentColor(1);
  EXPECT_TRUE(log.empty());
  early.Observer.Loaded();
  Editor->SetCurrentColor(2);
  EXPECT_EQ(log, (Events{"Color"}));
}

TEST_F(EditorTest, ObserverForwardsToTheEditor) {
  Open();
  TMDLObserver o;
  EXPECT_TRUE(o.EditorExists());
  EXPECT_TRUE(o.IsValid());
  o.SetCurrentScene(1);
  o.SetCurrentFrame(2);
  EXPECT_EQ(o.CurrentScene(), 1);
  EXPECT_EQ(o.CurrentFrame(), 2);
  EXPECT_EQ(o.CurrentSceneName(), "walk");
  EXPECT_EQ(o.CurrentFrameObject(), &Editor->Model->Frames->Frame(3));
  EXPECT_EQ(o.CurrentSkinObject(), &Editor->Model->Skins->Skin(0));
  o.SetCurrentObject(2);
  EXPECT_EQ(o.CurrentObjectObject(), &Editor->Model->Objects->Object(2));
  EXPECT_EQ(o.CurrentPivot(), &Editor->Model->Frames->Frame(3).Pivot(2));
  o.GotoSceneFrame(2, 1);
  EXPECT_EQ(Editor->AbsoluteFrame(), 5);
  o.SetCurrentColor(9);
  EXPECT_EQ(o.CurrentColor(), 9);
  o.SetPenSize(4);
  EXPECT_EQ(o.PenSize(), 4);
  o.SetCurrentTriangle(3);
  EXPECT_EQ(Editor->CurrentTriangle, 3);
}

// ---- current state -----------------------------------------------------------------------

TEST_F(EditorTest, ASceneAfterTheLastSelectsTheLastWithOnlyTheSceneEvent) {
  Open();
  Editor->SetCurrentScene(1);
  Editor->SetCurrentFrame(2);
  Record();
  Editor->SetCurrentScene(99);
  EXPECT_EQ(Log, (Events{"Scene"}));
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->CurrentFrame, 0);
  EXPECT_EQ(Editor->SceneFirstFrame, 4);
  EXPECT_EQ(Editor->SceneFrameCount, 2);
}

TEST_F(EditorTest, SettersClampToTheLists) {
  Open();
  Editor->SetCurrentScene(1);
  Editor->SetCurrentFrame(-5);
  EXPECT_EQ(Editor->CurrentFrame, 0);
  Editor->SetCurrentFrame(10);
  EXPECT_EQ(Editor->CurrentFrame, 2);
  Editor->SetCurrentObject(100);
  EXPECT_EQ(Editor->CurrentObject, 2);
  Editor->SetCurrentSkin(-4);
  EXPECT_EQ(Editor->CurrentSkin, 0);
  Editor->SetCurrentScene(-1);
  EXPECT_EQ(Editor->CurrentScene, 0);
}

TEST_F(EditorTest, AnInvalidEditorChangesNothingAndRaisesNothing) {
  Record();
  ASSERT_FALSE(Editor->IsValid());
  Editor->SetCurrentFrame(3);
  Editor->SetCurrentScene(2);
  Editor->SetCurrentObject(1);
  Editor->SetCurrentSkin(1);
  Editor->SetGamma(5);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->CurrentFrame, 0);
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(Editor->Gamma, 5);  // kept for the next model
  EXPECT_FALSE(Editor->IsObjectVisible(0));
  EXPECT_EQ(Editor->CurrentFrameObject(), nullptr);
  EXPECT_EQ(Editor->SceneCount(), 0);
  EXPECT_EQ(Editor->ShirtColor(), 0);
}

TEST_F(EditorTest, SetModifiedAlwaysRaisesItsEvent) {
  Record();
  Editor->SetModified(false);
  Editor->SetModified(false);
  Editor->SetModified(true);
  EXPECT_EQ(Log, (Events{"Modified(0)", "Modified(0)", "Modified(1)"}));
}

TEST_F(EditorTest, GotoSceneFrameRaisesTheSceneEventOnlyWhenTheSceneChanges) {
  Open();
  Record();
  Editor->GotoSceneFrame(1, 2);
  EXPECT_EQ(Log, (Events{"Scene", "Frame"}));
  EXPECT_EQ(Editor->AbsoluteFrame(), 3);
  Log.clear();
  Editor->GotoSceneFrame(1, 0);
  EXPECT_EQ(Log, (Events{"Frame"}));
  EXPECT_EQ(Editor->AbsoluteFrame(), 1);
  EXPECT_FALSE(Editor->Blocked);
}

TEST_F(EditorTest, GotoSceneFrameIsRefusedWhileBlocked) {
  Open();
  Editor->SetCurrentScene(1);
  Record();
  Editor->Blocked = true;
  try {
    Editor->GotoSceneFrame(2, 1);
    FAIL() << "no exception";
  } catch (const EMDLError& e) {
    EXPECT_STREQ(e.what(), "Editor is blocked, cannot execute operation");
  }
  EXPECT_TRUE(Editor->Blocked);
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->CurrentFrame, 0);
  Editor->Blocked = false;
  EXPECT_TRUE(Log.empty());
}

TEST_F(EditorTest, BlockedDropsEverythingButTheHint) {
  Open();
  Record();
  Editor->Blocked = true;
  Editor->SetCurrentColor(3);
  Editor->SetModified(true);
  Editor->SetApplicationHint("busy");
  Editor->Blocked = false;
  EXPECT_EQ(Log, (Events{"Hint"}));
  EXPECT_EQ(Editor->ApplicationHint, "busy");
  EXPECT_TRUE(Editor->Modified);
}

TEST_F(EditorTest, GammaReachesEverySkin) {
  Open();
  Editor->AddSkin();
  Record();
  Editor->SetGamma(12);
  EXPECT_EQ(Log, (Events{"Gamma"}));
  for (int k = 0; k < Editor->Model->Skins->Count(); ++k) EXPECT_EQ(Editor->Model->Skins->Skin(k).Gamma, 12);
}

TEST_F(EditorTest, NegativeGammaDarkensAndPositiveLightens) {
  Open();
  TMDLBitmap& skin = Editor->Model->Skins->Skin(0);
  auto brightness = [&](int g) {
    Editor->SetGamma(g);
    const TRGBQuad q = skin.DisplayImage().GetColorEntry(100);
    return QuadRed(q) + QuadGreen(q) + QuadBlue(q);
  };
  const int normal = brightness(0);
  EXPECT_LT(brightness(-20), normal);
  EXPECT_GT(brightness(20), normal);
}

// ---- selection ------------------------------------------------------------------------------

TEST_F(EditorTest, ACurrentTriangleSelectsItAndItsCorners) {
  Open();
  Record();
  Editor->SetCurrentTriangle(2);
  EXPECT_EQ(Log, (Events{"Triangle"}));  // no selection event
  EXPECT_TRUE(Editor->IsTriangleSelected(2));
  EXPECT_EQ(Editor->SelectedTriangleCount(), 1);
  EXPECT_EQ(Editor->SelectedVertexCount(), 3);
  for (int c = 0; c < 3; ++c) EXPECT_TRUE(Editor->IsVertexSelected(Editor->Model->Triangles->Get(2).Vertex[c]));
  Editor->SetCurrentTriangle(5);
  EXPECT_FALSE(Editor->IsTriangleSelected(2));
  EXPECT_EQ(Editor->SelectedTriangleCount(), 1);
}

TEST_F(EditorTest, ClickingAMemberOfASelectionKeepsTheOthers) {
  Open();
  Editor->BeginSelect();
  Editor->SelectTriangle(1, true);
  Editor->SelectTriangle(4, true);
  Editor->SelectTriangle(7, true);
  Editor->EndSelect();
  Editor->SetCurrentTriangle(4);
  EXPECT_EQ(Editor->CurrentTriangle, 4);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 3);
  Editor->SetCurrentTriangle(-1);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 0);
  EXPECT_EQ(Editor->SelectedVertexCount(), 0);
  EXPECT_EQ(Editor->CurrentVertex, -1);
}

TEST_F(EditorTest, ACurrentVertexWorksOnTheVertexSetOnly) {
  Open();
  Editor->SetCurrentTriangle(0);
  Record();
  Editor->SetCurrentVertex(9);
  EXPECT_EQ(Log, (Events{"Vertex"}));
  EXPECT_EQ(Editor->SelectedVertexCount(), 1);
  EXPECT_TRUE(Editor->IsTriangleSelected(0));
  Editor->SelectVertex(10, true);
  Editor->SetCurrentVertex(10);
  EXPECT_EQ(Editor->SelectedVertexCount(), 2);
  // Outside the list: the nearest end.
  Editor->SetCurrentVertex(1000);
  EXPECT_EQ(Editor->CurrentVertex, 15);
}

TEST_F(EditorTest, OnlyTheOutermostEndSelectRaisesTheSelectionEvent) {
  Open();
  Record();
  Editor->BeginSelect();
  Editor->BeginSelect();
  Editor->SelectVertex(1, true);
  Editor->EndSelect();
  EXPECT_TRUE(Log.empty());
  Editor->EndSelect();
  EXPECT_EQ(Log, (Events{"Selection"}));
  EXPECT_EQ(Editor->SelectUpdateCount, 0);
}

// ---- visibility --------------------------------------------------------------------------------

TEST_F(EditorTest, HidingAnObjectHidesItsTriangles) {
  Open();
  Record();
  Editor->SetObjectVisible(2, false);
  EXPECT_EQ(Log, (Events{"Visibility"}));
  EXPECT_FALSE(Editor->IsObjectVisible(2));
  EXPECT_TRUE(Editor->IsObjectVisible(1));
  for (int t = 0; t < 12; ++t) EXPECT_TRUE(Editor->IsTriangleVisible(t));
  for (int t = 12; t < 24; ++t) EXPECT_FALSE(Editor->IsTriangleVisible(t));
  Editor->SetObjectVisible(2, true);
  EXPECT_TRUE(Editor->IsTriangleVisible(20));
}

TEST_F(EditorTest, HidingATreeHidesTheDescendantsWithOneObjectEvent) {
  Open();
  TMDLObjectList& objects = *Editor->Model->Objects;
  objects.Object(2).SetParent(&objects.Object(1));
  Record();
  Editor->HideObjectTree(1);
  EXPECT_EQ(Log, (Events{"Object"}));
  EXPECT_FALSE(Editor->IsObjectVisible(1));
  EXPECT_FALSE(Editor->IsObjectVisible(2));
  EXPECT_TRUE(Editor->IsObjectVisible(0));
  for (int t = 0; t < 24; ++t) EXPECT_FALSE(Editor->IsTriangleVisible(t));
  EXPECT_FALSE(Editor->Blocked);
  Log.clear();
  Editor->ShowObjectTree(2);
  EXPECT_EQ(Log, (Events{"Object"}));
  EXPECT_FALSE(Editor->IsObjectVisible(1));
  EXPECT_TRUE(Editor->IsObjectVisible(2));
  EXPECT_TRUE(Editor->IsTriangleVisible(12));
  EXPECT_FALSE(Editor->IsTriangleVisible(0));
}

TEST_F(EditorTest, HideAllAndShowAll) {
  Open();
  Editor->HiddenObjects.Set(10);  // beyond the objects: cleared by HideAll
  Record();
  Editor->HideAllObjects();
  EXPECT_EQ(Log, (Events{"Visibility"}));
  EXPECT_EQ(Editor->HiddenObjects.Count(), 3);
  for (int t = 0; t < 24; ++t) EXPECT_FALSE(Editor->IsTriangleVisible(t));
  Editor->ShowAllObjects();
  EXPECT_EQ(Editor->HiddenObjects.Count(), 0);
  EXPECT_EQ(Editor->HiddenTriangles.Count(), 0);
}

// ---- lifecycle ----------------------------------------------------------------------------------

TEST_F(EditorTest, ClearGivesAnEmptyValidModelWithAllEvents) {
  Open();
  Editor->SetCurrentScene(2);
  Editor->SetCurrentTriangle(3);
  Editor->HideAllObjects();
  Editor->SetModified(true);
  Record();
  Editor->Clear();
  EXPECT_EQ(Log, (Events{"MDL", "Visibility", "Modified(0)", "MDL"}));
  EXPECT_TRUE(Editor->IsValid());
  EXPECT_EQ(Editor->Model->Skins->Count(), 1);
  EXPECT_EQ(Editor->Model->Frames->Count(), 1);
  EXPECT_EQ(Editor->Model->Frames->Frame(0).Name(), "base");
  EXPECT_EQ(Editor->Model->Vertices->Count(), 0);
  EXPECT_EQ(Editor->Model->Objects->Count(), 1);
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(Editor->CurrentTriangle, -1);
  EXPECT_EQ(Editor->HiddenTriangles.Count(), 0);
  EXPECT_FALSE(Editor->Modified);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, LoadRaisesItsEventsInTheOrderTheViewsNeed) {
  Open();
  Editor->Model->Skins->Skin(0).SetTopColor(3);
  Editor->SaveToFile(Path("a.mdl"), true);
  Editor->SetCurrentScene(1);
  Editor->SetCurrentFrame(1);
  Editor->SetCurrentTriangle(4);
  Editor->SetCurrentObject(2);
  Editor->SetGamma(7);
  Editor->HideAllObjects();
  Editor->SetModified(true);
  Record();
  // A view that looks at the model while it is not ready sees nothing.
  bool readyDuringFirst = true;
  Recorders.back()->Observer.OnMDLChange = [&](TMDLObserver*) {
    if (Log.empty()) readyDuringFirst = Editor->Ready;
    Log.push_back("MDL");
  };
  Editor->LoadFromFile(Path("a.mdl"));
  EXPECT_EQ(Log, (Events{"MDL", "MDL", "Modified(0)", "Visibility"}));
  EXPECT_FALSE(readyDuringFirst);
  EXPECT_TRUE(Editor->Ready);
  EXPECT_FALSE(Editor->Blocked);
  // The scene is kept (clamped), the frame, object and selection start over.
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->CurrentFrame, 0);
  EXPECT_EQ(Editor->CurrentObject, 0);
  EXPECT_EQ(Editor->CurrentTriangle, -1);
  EXPECT_EQ(Editor->SelectedTriangleCount(), 0);
  EXPECT_EQ(Editor->HiddenObjects.Count(), 0);
  EXPECT_EQ(Editor->Model->Skins->Skin(0).Gamma, 7);
  EXPECT_EQ(Editor->Model->Skins->Skin(0).TopColor, 3);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, AFailedLoadLeavesAnEmptyValidModel) {
  Open();
  Editor->SetCurrentScene(2);
  Editor->SetModified(true);
  {
    FILE* f = std::fopen(Path("bad.mdl").c_str(), "wb");
    std::fputs("IDPO but not a model", f);
    std::fclose(f);
  }
  Record();
  EXPECT_THROW(Editor->LoadFromFile(Path("bad.mdl")), Exception);
  EXPECT_EQ(Log, (Events{"MDL", "MDL", "Modified(0)", "Visibility"}));
  EXPECT_TRUE(Editor->IsValid());
  EXPECT_FALSE(Editor->Modified);
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_EQ(Editor->Model->Vertices->Count(), 0);
  EXPECT_EQ(Editor->Model->Frames->Count(), 1);
  EXPECT_TRUE(Consistent(*Editor->Model));
  // A file that is not there fails the same way.
  EXPECT_THROW(Editor->LoadFromFile(Path("missing.mdl")), EStreamError);
  EXPECT_TRUE(Editor->IsValid());
}

TEST_F(EditorTest, SaveClearsModifiedAndAFailedSaveKeepsIt) {
  Open();
  Editor->SetModified(true);
  Record();
  Editor->SaveToFile(Path("ok.mdl"), false);
  EXPECT_EQ(Log, (Events{"MDL", "Modified(0)", "MDL"}));
  EXPECT_FALSE(Editor->Modified);
  Editor->SetModified(true);
  Log.clear();
  EXPECT_THROW(Editor->SaveToFile(Path("no/such/folder/x.mdl"), true), Exception);
  EXPECT_EQ(Log, (Events{"MDL", "MDL"}));
  EXPECT_TRUE(Editor->Modified);
  EXPECT_TRUE(Editor->Ready);
  EXPECT_EQ(Editor->Model->Vertices->Count(), 16);
}

TEST_F(EditorTest, MergeAddsTheOtherModelAndMarksModified) {
  Open();
  Editor->SaveToFile(Path("m.mdl"), true);
  Record();
  Editor->MergeModel(Path("m.mdl"));
  EXPECT_EQ(Log, (Events{"MDL", "Modified(1)"}));
  EXPECT_EQ(Editor->Model->Vertices->Count(), 32);
  EXPECT_EQ(Editor->Model->Objects->Count(), 5);
  EXPECT_TRUE(Consistent(*Editor->Model));
  // A merge that fails leaves the model and the flags as they were.
  Editor->SetModified(false);
  Log.clear();
  EXPECT_THROW(Editor->MergeModel(Path("missing.mdl")), Exception);
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_EQ(Editor->Model->Vertices->Count(), 32);
}

TEST_F(EditorTest, NewFromBaseFrameBuildsAModelFromATriangleFile) {
  Open();
  Editor->Model->Frames->Frame(0).ExportFrame(Path("boxes.dxf"));
  Editor->Clear();  // as "New" does first
  Record();
  Editor->NewFromBaseFrame(Path("boxes.dxf"));
  EXPECT_EQ(Log, (Events{"Modified(1)", "MDL", "Skin", "Scene", "Object", "Vertex", "Triangle"}));
  TMDL& m = *Editor->Model;
  EXPECT_EQ(m.Frames->Count(), 1);
  EXPECT_EQ(m.Frames->Frame(0).Name(), "base");
  EXPECT_EQ(m.Triangles->Count(), 24);
  EXPECT_EQ(m.Vertices->Count(), 16);
  EXPECT_EQ(m.Objects->Count(), 3);  // two separate boxes under the root
  EXPECT_GT(m.Header->SkinWidth, 0);
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_TRUE(Editor->Modified);
  EXPECT_TRUE(Consistent(m));
  Editor->SaveToFile(Path("new.mdl"), true);
  Editor->LoadFromFile(Path("new.mdl"));
  EXPECT_EQ(Editor->Model->Triangles->Count(), 24);
}

TEST_F(EditorTest, NewFromBaseFrameKeepsTheSkinPictureAnObjFileBrings) {
  Open();
  TMDL& old = *Editor->Model;
  const int w = old.Header->SkinWidth, h = old.Header->SkinHeight;
  std::vector<uint8_t> pixels;
  for (int y = 0; y < h; ++y) pixels.insert(pixels.end(), old.Skins->Skin(0).Row(y), old.Skins->Skin(0).Row(y) + w);
  old.Frames->Frame(0).ExportFrame(Path("boxes.obj"));
  Editor->Clear();
  Editor->NewFromBaseFrame(Path("boxes.obj"));
  // The picture is the skin, without the mesh drawn over it.
  TMDL& m = *Editor->Model;
  ASSERT_EQ(m.Header->SkinWidth, w);
  ASSERT_EQ(m.Header->SkinHeight, h);
  for (int y = 0; y < h; ++y)
    ASSERT_EQ(std::vector<uint8_t>(m.Skins->Skin(0).Row(y), m.Skins->Skin(0).Row(y) + w),
              std::vector<uint8_t>(pixels.begin() + y * w, pixels.begin() + (y + 1) * w))
        << "row " << y;
  EXPECT_EQ(m.Triangles->Count(), old.Triangles->Count());
  EXPECT_TRUE(Consistent(m));

  // Without its picture the OBJ's layout gets a fresh skin with the mesh
  // drawn on it, as any other geometry file does.
  std::filesystem::remove(Path("boxes.png"));
  Editor->Clear();
  Editor->NewFromBaseFrame(Path("boxes.obj"));
  const TMDLBitmap& fresh = Editor->Model->Skins->Skin(0);
  int drawn = 0;
  for (int y = 0; y < fresh.Height; ++y)
    for (int x = 0; x < fresh.Width; ++x) drawn += fresh.Row(y)[x] != 0;
  EXPECT_GT(drawn, 0);
}

TEST_F(EditorTest, NewFromBaseFrameOnAModelWithContentStartsAfresh) {
  Open();
  Editor->Model->Frames->Frame(0).ExportFrame(Path("boxes.dxf"));
  Editor->SetCurrentScene(2);
  Record();
  Editor->NewFromBaseFrame(Path("boxes.dxf"));
  EXPECT_EQ(Log, (Events{"MDL", "Modified(1)", "MDL", "Skin", "Scene", "Object", "Vertex", "Triangle"}));
  EXPECT_EQ(Editor->Model->Frames->Count(), 1);
  EXPECT_EQ(Editor->Model->Triangles->Count(), 24);
  EXPECT_EQ(Editor->CurrentScene, 0);
  EXPECT_TRUE(Consistent(*Editor->Model));
}

TEST_F(EditorTest, AFailedNewFromBaseFrameLeavesTheEmptyModelShown) {
  Open();
  Record();
  EXPECT_THROW(Editor->NewFromBaseFrame(Path("missing.dxf")), Exception);
  // The views were told the old model went.
  EXPECT_EQ(Log, (Events{"MDL", "MDL"}));
  EXPECT_TRUE(Editor->IsValid());
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_EQ(Editor->Model->Vertices->Count(), 0);
  // After "New" a failure changes nothing and raises nothing.
  Editor->Clear();
  Log.clear();
  EXPECT_THROW(Editor->NewFromBaseFrame(Path("missing.dxf")), Exception);
  EXPECT_TRUE(Log.empty());
  EXPECT_TRUE(Consistent(*Editor->Model));
}
