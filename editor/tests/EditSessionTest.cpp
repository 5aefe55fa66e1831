// Scripted editing sessions on the game's own models: frames, scenes,
// objects, vertices, triangles and skins edited one step at a time. After
// every step the model must be consistent and must survive a save and a
// reload with the same content.

#include <gtest/gtest.h>

#include <filesystem>

#include "editor/MDLEdit.h"
#include "editor/tests/EditorFixtures.h"

using namespace edtest;

namespace {

const std::string kModels = std::string(TESSEL_DATA_DIR) + "/quake/models/";

std::vector<std::string> ModelFiles() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(kModels, ec))
    if (e.path().extension() == ".mdl") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  return files;
}

struct TShape {
  int Vertices, Triangles, Frames, Objects, Skins;
  bool operator==(const TShape&) const = default;
};

std::ostream& operator<<(std::ostream& os, const TShape& s) {
  return os << s.Vertices << " vertices, " << s.Triangles << " triangles, " << s.Frames << " frames, "
            << s.Objects << " objects, " << s.Skins << " skins";
}

TShape ShapeOf(TMDL& m) {
  return TShape{m.Vertices->Count(), m.Triangles->Count(), m.Frames->Count(), m.Objects->Count(), m.Skins->Count()};
}

class EditSession : public EditorTest {
protected:
  // Runs one step, then checks the model and a save-and-reload of it.
  void Step(const std::string& what, const std::function<void()>& action) {
    SCOPED_TRACE(Current + ": " + what);
    action();
    TMDL& m = *Editor->Model;
    ASSERT_TRUE(Consistent(m));
    EXPECT_FALSE(Editor->Blocked);
    const std::string file = Path("step.mdl");
    const TShape before = ShapeOf(m);
    Editor->SaveToFile(file, true);
    TMDL reloaded;
    reloaded.LoadFromFile(file);
    ASSERT_TRUE(Consistent(reloaded));
    EXPECT_EQ(ShapeOf(reloaded), before);
    for (int t = 0; t < m.Triangles->Count(); ++t) ASSERT_EQ(reloaded.Triangles->Get(t), m.Triangles->Get(t));
    for (int v = 0; v < m.Vertices->Count(); ++v)
      ASSERT_EQ(reloaded.Vertices->ObjectIndex(v), m.Vertices->ObjectIndex(v));
    ++Steps;
  }

  // Selects every n-th vertex (from `first`) and makes the first current.
  void SelectEveryNthVertex(int n, int first = 0) {
    Editor->BeginSelect();
    Editor->SelectedVertices.Clear();
    for (int v = first; v < Editor->Model->Vertices->Count(); v += n) Editor->SelectVertex(v, true);
    Editor->CurrentVertex = Editor->SelectedVertices.NextSet(0);
    Editor->EndSelect();
  }

  void SelectEveryNthTriangle(int n, int first = 0) {
    Editor->BeginSelect();
    Editor->SelectedTriangles.Clear();
    for (int t = first; t < Editor->Model->Triangles->Count(); t += n) Editor->SelectTriangle(t, true);
    Editor->EndSelect();
  }

  std::string Current;
  int Steps = 0;
};

TEST_F(EditSession, FramesAndScenes) {
  const auto files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no game models in " << kModels;
  for (const std::string& file : files) {
    Current = std::filesystem::path(file).filename().string();
    Editor->LoadFromFile(file);
    TMDL& m = *Editor->Model;
    const int frames = m.Frames->Count();
    Prompts.Answer(true, 100);
    Step("duplicate the first frame twice", [&] {
      Editor->GotoSceneFrame(0, 0);
      Editor->DuplicateFrame(2);
      EXPECT_EQ(m.Frames->Count(), frames + 2);
    });
    Step("split the first scene after its first frame", [&] {
      Editor->GotoSceneFrame(0, 1);
      Editor->SplitScene();
      EXPECT_EQ(Editor->CurrentScene, 1);
    });
    Step("cut a frame and paste it into the last scene", [&] {
      Editor->GotoSceneFrame(0, 0);
      const std::string name = m.Frames->Frame(0).Name();
      Editor->CutFrame();
      Editor->GotoSceneFrame(m.Frames->SceneCount() - 1, 0);
      Editor->PasteFrame();
      EXPECT_EQ(m.Frames->Count(), frames + 2);
      EXPECT_EQ(m.Frames->Frame(Editor->AbsoluteFrame()).Name(), name);
    });
    Step("move the last frame to the front", [&] {
      const int last = m.Frames->SceneCount() - 1;
      EXPECT_TRUE(Editor->MoveFrame(last, m.Frames->SceneFrameCount(last) - 1, 0, 0));
    });
    Step("duplicate and delete a scene", [&] {
      const int scenes = m.Frames->SceneCount();
      Editor->SetCurrentScene(scenes - 1);
      Editor->DuplicateScene(1);
      EXPECT_EQ(m.Frames->SceneCount(), scenes + 1);
      Editor->SetCurrentScene(scenes);
      Editor->DeleteScene();
      EXPECT_EQ(m.Frames->SceneCount(), scenes);
      EXPECT_EQ(Editor->CurrentScene, scenes - 1);
    });
    Step("move the first scene to the end", [&] {
      if (m.Frames->SceneCount() > 1) {
        EXPECT_TRUE(Editor->MoveScene(0, m.Frames->SceneCount()));
      }
    });
    Step("append the second scene to the first, group and renumber it", [&] {
      Editor->SetCurrentScene(1);
      Editor->AppendSceneToPrevious();
      Editor->SetSceneGrouped(true);
      Editor->RenumberScene();
      EXPECT_TRUE(m.Frames->SceneIsGroup(Editor->CurrentScene));
    });
    Step("delete frames down to a single one", [&] {
      while (m.Frames->Count() > 1) {
        Editor->SetCurrentScene(m.Frames->SceneCount() / 2);
        Editor->SetCurrentFrame(Editor->SceneFrameCount - 1);
        const int before = m.Frames->Count();
        Editor->DeleteFrame();
        ASSERT_EQ(m.Frames->Count(), before - 1);
        ASSERT_TRUE(Consistent(m));
        ASSERT_LT(Editor->CurrentScene, m.Frames->SceneCount());
        ASSERT_LT(Editor->CurrentFrame, Editor->SceneFrameCount);
      }
      Editor->DeleteFrame();  // refused
      EXPECT_EQ(m.Frames->Count(), 1);
    });
    Step("reconstruct the base frame", [&] {
      Editor->ReconstructBaseFrame();
      EXPECT_EQ(m.Frames->Frame(0).Name(), "base");
      EXPECT_EQ(m.Frames->SceneCount(), 2);
    });
  }
  EXPECT_GT(Steps, 0);
}

TEST_F(EditSession, ObjectsVerticesAndTriangles) {
  const auto files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no game models in " << kModels;
  for (const std::string& file : files) {
    Current = std::filesystem::path(file).filename().string();
    Editor->LoadFromFile(file);
    TMDL& m = *Editor->Model;
    Prompts.Answer(true, 100);
    Step("new object from every third triangle", [&] {
      const int objects = m.Objects->Count();
      SelectEveryNthTriangle(3);
      Editor->AssignTrianglesToNewObject();
      EXPECT_EQ(m.Objects->Count(), objects + 1);
    });
    Step("a child object takes every fifth vertex, then gives them to the root", [&] {
      Editor->NewObject();
      SelectEveryNthVertex(5);
      Editor->AssignVerticesToObject(Editor->CurrentObject);
      Editor->ReassignObjectVertices(0);
      Editor->RenameObject(Editor->CurrentObject, "arm");
    });
    Step("hide the first object's tree, then delete the object", [&] {
      Editor->SetCurrentObject(1);
      Editor->HideObjectTree(1);
      const int objects = m.Objects->Count();
      Editor->DeleteObject();
      EXPECT_EQ(m.Objects->Count(), objects - 1);
    });
    Step("reset the pivots and select an object", [&] {
      Editor->SetCurrentObject(m.Objects->Count() - 1);
      Editor->ResetObjectPivots();
      Editor->SelectObjectTriangles();
      Editor->SelectObjectVertices();
    });
    Step("reconstruct the objects", [&] {
      Editor->ReconstructObjects();
      Editor->ShowAllObjects();
    });
    Step("split every fourth vertex", [&] {
      SelectEveryNthVertex(4);
      Editor->SplitVertices();
    });
    Step("merge every seventh vertex", [&] {
      SelectEveryNthVertex(7, 1);
      Editor->MergeVertices();
    });
    Step("make a triangle", [&] {
      SelectEveryNthVertex(std::max(1, m.Vertices->Count() / 3));
      Editor->MakeTriangle();
    });
    Step("flip and align", [&] {
      SelectEveryNthTriangle(2);
      Editor->FlipSelectedTriangles();
      Editor->SetCurrentTriangle(0);
      Editor->AlignTriangles();
    });
    Step("add a vertex", [&] {
      Editor->AddVertex(MakeVector(1, 2, 3), 0);
    });
    Step("delete every tenth triangle", [&] {
      SelectEveryNthTriangle(10);
      Editor->DeleteSelectedTriangles();
    });
    Step("delete every ninth vertex", [&] {
      SelectEveryNthVertex(9, 2);
      Editor->DeleteSelectedVertices();
    });
  }
  EXPECT_GT(Steps, 0);
}

TEST_F(EditSession, Skins) {
  const auto files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no game models in " << kModels;
  for (const std::string& file : files) {
    Current = std::filesystem::path(file).filename().string();
    Editor->LoadFromFile(file);
    TMDL& m = *Editor->Model;
    Prompts.Answer(true, 100);
    const int skins = m.Skins->Count();
    Step("export the skin and import it as a new one", [&] {
      m.Skins->Skin(0).ExportPicture(Path("skin.bmp"));
      Editor->SetCurrentSkin(0);
      Editor->ImportSkin(Path("skin.bmp"));
      EXPECT_EQ(m.Skins->Count(), skins + 1);
      TMDLBitmap& a = m.Skins->Skin(0);
      TMDLBitmap& b = m.Skins->Skin(1);
      for (int y = 0; y < a.Height; y += 7)
        for (int x = 0; x < a.Width; x += 5) ASSERT_EQ(a.Pixel(x, y), b.Pixel(x, y));
    });
    Step("copy a skin, paste it and move it to the end", [&] {
      Editor->CopySkin();
      Editor->PasteSkin();
      Editor->MoveSkin(0, m.Skins->Count());
      EXPECT_EQ(m.Skins->Count(), skins + 2);
    });
    Step("delete two skins", [&] {
      Editor->SetCurrentSkin(1);
      Editor->DeleteSkin();
      Editor->CutSkin();
      EXPECT_EQ(m.Skins->Count(), skins);
    });
    Step("player colours and gamma", [&] {
      Editor->SetShirtColor(4);
      Editor->SetPantsColor(12);
      Editor->SetGamma(-5);
    });
    Step("recalculate the skin vertices", [&] {
      Editor->RecalculateSkinVertices();
      for (int v = 0; v < m.Vertices->Count(); ++v) {
        ASSERT_GE(m.Vertices->Get(v).S, 0);
        ASSERT_LE(m.Vertices->Get(v).S, m.Header->SkinWidth);
      }
    });
    Step("resize and rearrange the skins", [&] {
      Editor->SetSkinSize(m.Header->SkinWidth + 30, m.Header->SkinHeight / 2 + 1);
      EXPECT_EQ(m.Header->SkinWidth % 4, 0);
      Editor->RearrangeObjectSkins();
      for (int k = 0; k < m.Skins->Count(); ++k) {
        ASSERT_EQ(m.Skins->Skin(k).Width, m.Header->SkinWidth);
        ASSERT_EQ(m.Skins->Skin(k).Height, m.Header->SkinHeight);
      }
    });
  }
  EXPECT_GT(Steps, 0);
}

TEST_F(EditSession, AFrameGoesOutAsDxfAndComesBack) {
  const auto files = ModelFiles();
  if (files.empty()) GTEST_SKIP() << "no game models in " << kModels;
  for (const std::string& file : files) {
    Current = std::filesystem::path(file).filename().string();
    Editor->LoadFromFile(file);
    TMDL& m = *Editor->Model;
    Step("export the first frame, import it over the last", [&] {
      m.Frames->Frame(0).ExportFrame(Path("frame.dxf"));
      TMDLFrame& last = m.Frames->Frame(m.Frames->Count() - 1);
      EXPECT_TRUE(last.ImportFrame(Path("frame.dxf")));
      for (int v = 0; v < m.Vertices->Count(); v += 3) {
        ASSERT_NEAR(last.Get(v).X, m.Frames->Frame(0).Get(v).X, 0.01);
        ASSERT_NEAR(last.Get(v).Z, m.Frames->Frame(0).Get(v).Z, 0.01);
      }
    });
  }
  EXPECT_GT(Steps, 0);
}

}  // namespace
