// The undo history on the game's own models: every kind of change undone
// and redone to the byte, the modified flag following the history, the
// memory budget, and a step in the middle of a long session.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "core/Streams.h"
#include "editor/MDLEdit.h"
#include "editor/tests/EditorFixtures.h"

using namespace edtest;

namespace {

const std::string kModels = std::string(TESSEL_DATA_DIR) + "/quake/models/";

bool HaveModel(const std::string& name) { return std::filesystem::exists(kModels + name); }

#define REQUIRE_MODEL(name) \
  if (!HaveModel(name)) GTEST_SKIP() << "no " << (name) << " in " << kModels

// The model as a file with the extension would hold it.
std::vector<uint8_t> Saved(TMDLEditor& e) {
  TMemoryStream s;
  e.Model->SaveToStream(s, true);
  return s.Bytes();
}

class UndoHistory : public EditorTest {
public:
  void Load(const std::string& name) {
    Editor->LoadFromFile(kModels + name);
    ASSERT_TRUE(Editor->IsValid());
  }
  void SelectVertices(std::initializer_list<int> vs) {
    Editor->BeginSelect();
    Editor->SelectedVertices.Clear();
    for (int v : vs) Editor->SelectVertex(v, true);
    Editor->CurrentVertex = *vs.begin();
    Editor->EndSelect();
  }
  void SelectTriangles(int first, int step) {
    Editor->BeginSelect();
    Editor->SelectedTriangles.Clear();
    for (int t = first; t < Editor->Model->Triangles->Count(); t += step) Editor->SelectTriangle(t, true);
    Editor->EndSelect();
  }
  TMDL& Model() { return *Editor->Model; }
};

// One kind of change: what the step is called, how to get there (not a
// step itself) and the change.
struct TChange {
  const char* Name;
  std::function<void(UndoHistory&, TMDLEditor&)> Setup;
  std::function<void(UndoHistory&, TMDLEditor&)> Do;
};

// Runs on sg_knight: 97 frames in several scenes, 5 objects, 4 skins.
std::vector<TChange> Changes(const std::filesystem::path& dir) {
  auto none = [](UndoHistory&, TMDLEditor&) {};
  auto inScene = [](int s, int f) { return [s, f](UndoHistory&, TMDLEditor& e) { e.GotoSceneFrame(s, f); }; };
  return {
      {"Delete Frame", inScene(1, 2), [](UndoHistory&, TMDLEditor& e) { e.DeleteFrame(); }},
      {"Cut Frame", inScene(2, 0), [](UndoHistory&, TMDLEditor& e) { e.CutFrame(); }},
      {"Paste Frame",
       [](UndoHistory&, TMDLEditor& e) {
         e.GotoSceneFrame(0, 0);
         e.CopyFrame();
         e.GotoSceneFrame(3, 1);
       },
       [](UndoHistory&, TMDLEditor& e) { e.PasteFrame(); }},
      {"Duplicate Frame", inScene(1, 1), [](UndoHistory&, TMDLEditor& e) { e.DuplicateFrame(3); }},
      {"Delete Scene", inScene(2, 0), [](UndoHistory&, TMDLEditor& e) { e.DeleteScene(); }},
      {"Duplicate Scene", inScene(1, 0), [](UndoHistory&, TMDLEditor& e) { e.DuplicateScene(2); }},
      {"Move Frame", none, [](UndoHistory&, TMDLEditor& e) { e.MoveFrame(1, 1, 3, 0); }},
      {"Move Scene", none, [](UndoHistory&, TMDLEditor& e) { e.MoveScene(0, 3); }},
      {"Split Scene", inScene(1, 2), [](UndoHistory&, TMDLEditor& e) { e.SplitScene(); }},
      {"Append Scene to Previous", inScene(2, 0), [](UndoHistory&, TMDLEditor& e) { e.AppendSceneToPrevious(); }},
      {"Group Scene", inScene(1, 0), [](UndoHistory&, TMDLEditor& e) { e.SetSceneGrouped(true); }},
      {"Edit Durations",
       [](UndoHistory&, TMDLEditor& e) {
         e.GotoSceneFrame(1, 0);
         e.SetSceneGrouped(true);
       },
       [](UndoHistory&, TMDLEditor& e) {
         std::vector<std::string> lines(static_cast<size_t>(e.SceneFrameCount), "0.25");
         e.SetSceneDurations(lines);
       }},
      {"New Object", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentObject(2); },
       [](UndoHistory&, TMDLEditor& e) { e.NewObject(); }},
      {"Delete Object", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentObject(2); },
       [](UndoHistory&, TMDLEditor& e) { e.DeleteObject(); }},
      {"Assign Triangles to New Object", [](UndoHistory& t, TMDLEditor&) { t.SelectTriangles(0, 3); },
       [](UndoHistory&, TMDLEditor& e) { e.AssignTrianglesToNewObject(); }},
      {"Assign Vertices to Object", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({1, 5, 9, 40}); },
       [](UndoHistory&, TMDLEditor& e) { e.AssignVerticesToObject(3); }},
      {"Reassign Object Vertices", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentObject(1); },
       [](UndoHistory&, TMDLEditor& e) { e.ReassignObjectVertices(2); }},
      {"Rename Object", none, [](UndoHistory&, TMDLEditor& e) { e.RenameObject(1, "shoulder"); }},
      {"Reconstruct Objects", [](UndoHistory&, TMDLEditor& e) { e.RenameObject(1, "x"); },
       [](UndoHistory&, TMDLEditor& e) { e.ReconstructObjects(); }},
      {"Reset Object Pivots", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentObject(2); },
       [](UndoHistory&, TMDLEditor& e) { e.ResetObjectPivots(); }},
      {"Transform Object",
       [](UndoHistory&, TMDLEditor& e) {
         e.SetCurrentObject(1);
         e.TransformScope = 3;
       },
       [](UndoHistory&, TMDLEditor& e) {
         const float diff[9] = {2, -1, 0.5f, 10, 0, 5, 0, 0, 0};
         e.TransformObject(diff);
       }},
      {"Delete Selected Triangles", [](UndoHistory& t, TMDLEditor&) { t.SelectTriangles(2, 7); },
       [](UndoHistory&, TMDLEditor& e) { e.DeleteSelectedTriangles(); }},
      {"Delete Selected Vertices", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({3, 30, 100}); },
       [](UndoHistory&, TMDLEditor& e) { e.DeleteSelectedVertices(); }},
      {"Flip Triangles", [](UndoHistory& t, TMDLEditor&) { t.SelectTriangles(1, 5); },
       [](UndoHistory&, TMDLEditor& e) { e.FlipSelectedTriangles(); }},
      {"Align Triangles",
       [](UndoHistory&, TMDLEditor& e) {
         // Every triangle but the first wound the other way.
         for (int i = 1; i < e.Model->Triangles->Count(); ++i) {
           TTriangle& t = e.Model->Triangles->Item(i);
           std::swap(t.Vertex[0], t.Vertex[2]);
         }
         e.SetCurrentTriangle(0);
       },
       [](UndoHistory&, TMDLEditor& e) { e.AlignTriangles(); }},
      {"Make Triangle", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({0, 50, 200}); },
       [](UndoHistory&, TMDLEditor& e) { e.MakeTriangle(); }},
      {"Merge Vertices", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({7, 8, 9}); },
       [](UndoHistory&, TMDLEditor& e) { e.MergeVertices(); }},
      {"Split Vertices", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({12, 13}); },
       [](UndoHistory&, TMDLEditor& e) { e.SplitVertices(); }},
      {"Add Vertex", none, [](UndoHistory&, TMDLEditor& e) { e.AddVertex(MakeVector(1.5f, -2, 3), 2); }},
      {"Move Skin Vertices", [](UndoHistory& t, TMDLEditor&) { t.SelectVertices({4, 5}); },
       [](UndoHistory&, TMDLEditor& e) { e.MoveSelectedSkinVertices(3, -2); }},
      {"Add Skin", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentSkin(2); },
       [](UndoHistory&, TMDLEditor& e) { e.AddSkin(); }},
      {"Delete Skin", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentSkin(1); },
       [](UndoHistory&, TMDLEditor& e) { e.DeleteSkin(); }},
      {"Move Skin", none, [](UndoHistory&, TMDLEditor& e) { e.MoveSkin(0, 3); }},
      {"Cut Skin", [](UndoHistory&, TMDLEditor& e) { e.SetCurrentSkin(3); },
       [](UndoHistory&, TMDLEditor& e) { e.CutSkin(); }},
      {"Paste Skin",
       [](UndoHistory&, TMDLEditor& e) {
         e.SetCurrentSkin(2);
         e.CopySkin();
       },
       [](UndoHistory&, TMDLEditor& e) { e.PasteSkin(); }},
      {"Import Skin",
       [dir](UndoHistory&, TMDLEditor& e) { e.Model->Skins->Skin(1).ExportPicture((dir / "skin.bmp").string()); },
       [dir](UndoHistory&, TMDLEditor& e) { e.ImportSkin((dir / "skin.bmp").string()); }},
      {"Set Skin Size", none, [](UndoHistory&, TMDLEditor& e) { e.SetSkinSize(200, 100); }},
      {"Rearrange Object Skins", none, [](UndoHistory&, TMDLEditor& e) { e.RearrangeObjectSkins(); }},
      {"Recalculate Skin Vertices", none, [](UndoHistory&, TMDLEditor& e) { e.RecalculateSkinVertices(); }},
      {"Reconstruct Base Frame", none, [](UndoHistory&, TMDLEditor& e) { e.ReconstructBaseFrame(); }},
      {"Import Frame",
       [dir](UndoHistory&, TMDLEditor& e) {
         e.GotoSceneFrame(2, 1);
         e.ExportFrame((dir / "pose.dxf").string());
         e.GotoSceneFrame(1, 0);
       },
       [dir](UndoHistory&, TMDLEditor& e) { e.ImportFrame((dir / "pose.dxf").string()); }},
      {"Merge", none, [](UndoHistory&, TMDLEditor& e) { e.MergeModel(kModels + "sg_gib1.mdl"); }},
      // What the windows do through steps of their own.
      {"Pen",
       none,
       [](UndoHistory&, TMDLEditor& e) {
         TUndoStep step(e, "Pen", 1);
         TMDLBitmap& skin = e.Model->Skins->Skin(1);
         skin.PenSize = 3;
         skin.PenColor = 200;
         skin.MoveTo(10, 10);
         skin.LineTo(60, 40);
       }},
      {"Flood Fill", none,
       [](UndoHistory&, TMDLEditor& e) {
         TUndoStep step(e, "Flood Fill", 0);
         e.Model->Skins->Skin(0).FloodFill(5, 5, 251);
       }},
      {"Edit Model Properties", none,
       [](UndoHistory&, TMDLEditor& e) {
         TUndoStep step(e, "Edit Model Properties");
         e.Model->Header->Flags = 8;
         e.Model->Header->EyePosition[2] = 31.5f;
         e.SetSkinSize(64, 64);
         e.SetModified(true);
       }},
      {"Edit Joints", none,
       [](UndoHistory&, TMDLEditor& e) {
         TUndoStep step(e, "Edit Joints");
         TMDLObject& o = e.Model->Objects->Object(2);
         o.IsJoint[4] = true;
         o.JointNames[4] = "elbow";
         o.JointValuesA[4] = -40;
         o.JointValuesB[4] = 70;
         o.Pivot(5).SetIsKey(4, true);
         o.Pivot(5).SetChannel(4, 33);
       }},
      {"Rename Frame", inScene(1, 0),
       [](UndoHistory&, TMDLEditor& e) {
         TUndoStep step(e, "Rename Frame");
         e.Model->Frames->Frame(e.AbsoluteFrame()).SetName("lunge");
       }},
  };
}

}  // namespace

TEST_F(UndoHistory, EveryKindOfChangeUndoesAndRedoesToTheByte) {
  REQUIRE_MODEL("sg_knight.mdl");
  for (const TChange& c : Changes(Dir)) {
    SCOPED_TRACE(c.Name);
    Load("sg_knight.mdl");
    Prompts.Answer(true, 10);
    c.Setup(*this, *Editor);
    Editor->SetModified(false);
    Editor->History.Clear();
    const std::vector<uint8_t> original = Saved(*Editor);
    const TEditorPlace place = Editor->CurrentPlace();

    c.Do(*this, *Editor);
    ASSERT_TRUE(Editor->CanUndo());
    EXPECT_EQ(Editor->History.UndoName(), c.Name);
    EXPECT_EQ(Editor->History.UndoCount(), 1);
    const std::vector<uint8_t> changed = Saved(*Editor);
    ASSERT_NE(changed, original);
    const int scenes = Model().Frames->SceneCount(), objects = Model().Objects->Count();
    const int skins = Model().Skins->Count(), vertices = Model().Vertices->Count();

    Editor->Undo();
    EXPECT_TRUE(Consistent(Model()));
    EXPECT_EQ(Saved(*Editor), original);
    EXPECT_FALSE(Editor->Modified);
    EXPECT_FALSE(Editor->CanUndo());
    EXPECT_EQ(Editor->History.RedoName(), c.Name);
    EXPECT_EQ(Editor->CurrentScene, place.Scene);
    EXPECT_EQ(Editor->CurrentFrame, place.Frame);
    EXPECT_EQ(Editor->CurrentSkin, place.Skin);
    EXPECT_EQ(Editor->CurrentObject, place.Object);
    EXPECT_EQ(Editor->CurrentPlace().SelectedVertices, place.SelectedVertices);
    EXPECT_EQ(Editor->CurrentPlace().SelectedTriangles, place.SelectedTriangles);

    Editor->Redo();
    EXPECT_TRUE(Consistent(Model()));
    EXPECT_EQ(Saved(*Editor), changed);
    EXPECT_TRUE(Editor->Modified);
    EXPECT_EQ(Model().Frames->SceneCount(), scenes);
    EXPECT_EQ(Model().Objects->Count(), objects);
    EXPECT_EQ(Model().Skins->Count(), skins);
    EXPECT_EQ(Model().Vertices->Count(), vertices);

    // Once more each way: the states taken by undo and redo themselves.
    Editor->Undo();
    EXPECT_EQ(Saved(*Editor), original);
    Editor->Redo();
    EXPECT_EQ(Saved(*Editor), changed);
    EXPECT_FALSE(Editor->CanRedo());
  }
}

TEST_F(UndoHistory, PivotsMoveTheirObjectsAfterTheObjectsCameBack) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Prompts.Answer(true);
  Editor->SetCurrentObject(2);
  Editor->CopyFrame();
  Editor->DeleteObject();
  Editor->Undo();  // the objects are new ones now
  Editor->SetCurrentObject(2);
  Editor->TransformScope = 0;
  TMDLObject& o = Model().Objects->Object(2);
  ASSERT_GT(o.CollectVertices(), 0);
  const int v = o.VertexIndices.front();
  const TFrameVertex before = Model().Frames->Frame(Editor->AbsoluteFrame()).Get(v);
  const float diff[9] = {5, 0, 0, 0, 0, 0, 0, 0, 0};
  Editor->TransformObject(diff);
  EXPECT_NEAR(Model().Frames->Frame(Editor->AbsoluteFrame()).Get(v).X, before.X + 5, 1e-3);
  // The frame clipboard's pivots tell the new objects too.
  Editor->PasteFrame();
  Model().Frames->Frame(Editor->AbsoluteFrame()).Pivot(2).SetChannelsNotify(1, 2, 3, 0, 0, 0, 1, 1, 1);
  EXPECT_TRUE(Consistent(Model()));
}

TEST_F(UndoHistory, TheModifiedFlagFollowsTheHistory) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Record();
  Editor->RenameObject(1, "a");  // a step that does not mark the model modified itself
  EXPECT_FALSE(Editor->Modified);
  Editor->DuplicateFrame(1);
  EXPECT_TRUE(Editor->Modified);
  Editor->SaveToFile(Path("saved.mdl"), true);
  EXPECT_FALSE(Editor->Modified);
  Editor->SetCurrentFrame(1);
  Editor->SplitScene();
  Editor->DuplicateFrame(1);
  EXPECT_TRUE(Editor->Modified);
  ASSERT_EQ(Editor->History.UndoCount(), 4);
  struct TExpect {
    bool Undo;
    bool Modified;
  };
  const TExpect walk[] = {{true, true}, {true, false}, {true, true}, {true, true}, {false, true},
                          {false, false}, {false, true}, {false, true}, {true, true}, {true, false}};
  for (const TExpect& w : walk) {
    if (w.Undo)
      Editor->Undo();
    else
      Editor->Redo();
    EXPECT_EQ(Editor->Modified, w.Modified) << Editor->History.UndoCount() << " steps done";
  }
  // Back at the saved state; a new step there drops the redo steps.
  Editor->RenameObject(2, "b");
  EXPECT_FALSE(Editor->CanRedo());
  Editor->Undo();
  EXPECT_FALSE(Editor->Modified);
  // A new step after undoing past the save: the saved state is gone.
  Editor->Undo();
  Editor->RenameObject(3, "c");
  Editor->Undo();
  EXPECT_TRUE(Editor->Modified);
}

TEST_F(UndoHistory, UndoTellsTheWindowsAsALoadDoes) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Editor->GotoSceneFrame(1, 2);
  Editor->DuplicateFrame(1);
  int history = 0;
  Record();
  // Told once, when undo and redo can be asked for again.
  Recorders.back()->Observer.OnHistoryChange = [&](TMDLObserver*) {
    ++history;
    EXPECT_TRUE(Editor->CanRedo());
    EXPECT_EQ(Editor->History.RedoName(), "Duplicate Frame");
  };
  Editor->Undo();
  EXPECT_EQ(Log, (Events{"MDL", "MDL", "Modified(0)", "Visibility", "Selection"}));
  EXPECT_EQ(history, 1);
  EXPECT_FALSE(Prompts.Questions.size());
}

TEST_F(UndoHistory, ChangesThatChangeNothingAndNestedStepsLeaveOneStepOrNone) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Prompts.Answer(false);
  Editor->DeleteFrame();  // declined
  Editor->SetCurrentScene(0);
  Editor->SplitScene();  // refused: nothing before frame 0
  Editor->MoveSkin(1, 1);
  EXPECT_FALSE(Editor->CanUndo());
  {
    TUndoStep outer(*Editor, "Many Things");
    Editor->DuplicateFrame(1);
    Editor->NewObject();
    EXPECT_FALSE(Editor->CanUndo());  // not before the outermost step closes
  }
  EXPECT_EQ(Editor->History.UndoCount(), 1);
  EXPECT_EQ(Editor->History.UndoName(), "Many Things");
  EXPECT_FALSE(Editor->CanRedo());
}

TEST_F(UndoHistory, LoadingNewAndClosingForgetTheSteps) {
  REQUIRE_MODEL("sg_knight.mdl");
  const std::vector<std::function<void()>> resets = {
      [&] { Editor->LoadFromFile(kModels + "sg_knight.mdl"); },
      [&] { Editor->Clear(); },
  };
  for (const auto& reset : resets) {
    Load("sg_knight.mdl");
    Editor->DuplicateFrame(2);
    Editor->Undo();
    Editor->RenameObject(1, "x");
    Editor->Undo();
    Editor->Redo();
    ASSERT_TRUE(Editor->CanUndo());
    reset();
    EXPECT_FALSE(Editor->CanUndo());
    EXPECT_FALSE(Editor->CanRedo());
    EXPECT_EQ(Editor->History.UndoName(), "");
  }
}

TEST_F(UndoHistory, TheBudgetDropsTheOldestStepsFirst) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  // Each step moves an object in one frame of the 14 of scene 7.
  Editor->SetCurrentObject(1);
  Editor->TransformScope = 0;
  const auto step = [&](int i) {
    Editor->GotoSceneFrame(7, i % 14);
    const float diff[9] = {1, 0, 0.5f, 0, 0, 0, 0, 0, 0};
    Editor->TransformObject(diff);
  };
  step(0);
  const size_t model = Editor->History.MemoryUsed();
  step(1);
  const size_t one = Editor->History.MemoryUsed() - model;
  Editor->History.Clear();
  // The model once and six steps.
  Editor->History.SetBudget(model + 6 * one + one / 2);
  std::vector<std::vector<uint8_t>> states{Saved(*Editor)};
  for (int i = 2; i < 32; ++i) {
    step(i);
    states.push_back(Saved(*Editor));
    EXPECT_LE(Editor->History.MemoryUsed(), Editor->History.Budget());
  }
  const int kept = Editor->History.UndoCount();
  EXPECT_GE(kept, 4);
  EXPECT_LE(kept, 7);
  // Undoing needs room for redoing: older steps may go on the way back.
  int undone = 0;
  while (Editor->CanUndo()) {
    Editor->Undo();
    ++undone;
    EXPECT_EQ(Saved(*Editor), states[states.size() - 1 - static_cast<size_t>(undone)]) << undone;
    EXPECT_LE(Editor->History.MemoryUsed(), Editor->History.Budget());
  }
  EXPECT_GE(undone, kept / 2);
  EXPECT_TRUE(Editor->Modified);  // the loaded state is out of reach
  // And on the way forward, room for undoing again.
  int redone = 0;
  while (Editor->CanRedo()) {
    Editor->Redo();
    ++redone;
    EXPECT_EQ(Saved(*Editor), states[states.size() - 1 - static_cast<size_t>(undone - redone)]) << redone;
  }
  EXPECT_GE(redone, undone / 2);
}

TEST_F(UndoHistory, AStepBiggerThanTheBudgetEmptiesTheHistoryAndStillRuns) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Editor->DuplicateFrame(1);
  Editor->RenameObject(1, "x");
  ASSERT_EQ(Editor->History.UndoCount(), 2);
  Editor->History.SetBudget(64);  // less than any step
  EXPECT_LE(Editor->History.UndoCount(), 1);
  const int frames = Model().Frames->Count();
  Editor->DuplicateFrame(1);
  EXPECT_EQ(Model().Frames->Count(), frames + 1);
  EXPECT_FALSE(Editor->CanUndo());
  EXPECT_FALSE(Editor->CanRedo());
  EXPECT_TRUE(Editor->Modified);
  // A skin step alone fits in a budget that holds the skin.
  Editor->History.SetBudget(size_t{4} << 20);
  {
    TUndoStep step(*Editor, "Pen", 0);
    Model().Skins->Skin(0).FloodFill(1, 1, 77);
  }
  EXPECT_EQ(Editor->History.UndoName(), "Pen");
}

TEST_F(UndoHistory, AStepInTheMiddleOfALongSessionGoesAndComesBack) {
  REQUIRE_MODEL("sg_knight.mdl");
  Load("sg_knight.mdl");
  Prompts.Answer(true, 100);
  std::vector<std::vector<uint8_t>> states{Saved(*Editor)};
  const std::vector<std::function<void()>> session = {
      [&] { Editor->GotoSceneFrame(1, 1); },
      [&] { Editor->DuplicateFrame(2); },
      [&] { Editor->SplitScene(); },
      [&] { Editor->RenameObject(2, "leg"); },
      [&] {
        SelectTriangles(3, 11);
        Editor->DeleteSelectedTriangles();
      },
      [&] {
        TUndoStep step(*Editor, "Pen", 2);
        Model().Skins->Skin(2).FloodFill(0, 0, 13);
      },
      [&] { Editor->SetCurrentObject(1); },
      [&] { Editor->NewObject(); },
      [&] {
        SelectVertices({2, 20, 21});
        Editor->AssignVerticesToObject(Editor->CurrentObject);
      },
      [&] { Editor->SetSkinSize(296, 160); },
      [&] { Editor->MoveScene(0, 2); },
      [&] {
        Editor->TransformScope = 2;
        const float diff[9] = {0, 0, 4, 0, 15, 0, 0.2f, 0, 0};
        Editor->TransformObject(diff);
      },
      [&] { Editor->MergeModel(kModels + "sg_gib1.mdl"); },
      [&] { Editor->DeleteSkin(); },
      [&] {
        Editor->GotoSceneFrame(0, 0);
        Editor->DeleteScene();
      },
  };
  for (const auto& command : session) {
    const int before = Editor->History.UndoCount();
    command();
    if (Editor->History.UndoCount() != before) states.push_back(Saved(*Editor));
  }
  const int steps = Editor->History.UndoCount();
  ASSERT_EQ(static_cast<size_t>(steps) + 1, states.size());
  const int middle = steps / 2;
  for (int k = steps; k > middle; --k) {
    Editor->Undo();
    ASSERT_EQ(Saved(*Editor), states[static_cast<size_t>(k - 1)]) << "undoing step " << k;
  }
  for (int k = middle; k < steps; ++k) {
    Editor->Redo();
    ASSERT_EQ(Saved(*Editor), states[static_cast<size_t>(k + 1)]) << "redoing step " << k + 1;
    ASSERT_TRUE(Consistent(Model()));
  }
  while (Editor->CanUndo()) Editor->Undo();
  EXPECT_EQ(Saved(*Editor), states.front());
  EXPECT_FALSE(Editor->Modified);
}
