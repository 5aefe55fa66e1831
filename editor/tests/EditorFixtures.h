#pragma once
// Shared by the editor's tests: a fresh program-wide editor per test, an
// observer that writes down the events it receives, scripted answers to
// the editor's questions, models built in code and a consistency check.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "editor/Clipboard.h"
#include "editor/MDLEdit.h"
#include "mdl/Prompts.h"

namespace edtest {

// Answers Confirm from a script (No when the script has run out) and keeps
// every question and notice.
class TScriptedPrompts : public TPrompts {
public:
  TScriptedPrompts() { Previous_ = SetPrompts(this); }
  ~TScriptedPrompts() override { SetPrompts(Previous_); }
  void Information(const std::string& text, const std::string&) override { Notices.push_back(text); }
  bool Confirm(const std::string& text, const std::string&) override {
    Questions.push_back(text);
    if (Answers.empty()) return false;
    const bool a = Answers.front();
    Answers.pop_front();
    return a;
  }
  void Answer(bool yes, int times = 1) {
    for (int i = 0; i < times; ++i) Answers.push_back(yes);
  }
  std::deque<bool> Answers;
  std::vector<std::string> Questions;
  std::vector<std::string> Notices;

private:
  TPrompts* Previous_ = nullptr;
};

// An observer with every event bound to a line in `Log`.
class TRecorder {
public:
  explicit TRecorder(std::vector<std::string>& log, const std::string& tag = "") : Log_(log) {
    auto bind = [&](TMDLObserver::TNotifyEvent& e, const char* name) {
      std::string line = tag.empty() ? std::string(name) : tag + ":" + name;
      e = [this, line](TMDLObserver* sender) {
        EXPECT_EQ(sender, &Observer);
        Log_.push_back(line);
      };
    };
    bind(Observer.OnApplicationHintChange, "Hint");
    bind(Observer.OnCurrentColorChange, "Color");
    bind(Observer.OnCurrentFrameChange, "Frame");
    bind(Observer.OnCurrentObjectChange, "Object");
    bind(Observer.OnCurrentSceneChange, "Scene");
    bind(Observer.OnCurrentSceneNameChange, "SceneName");
    bind(Observer.OnCurrentSkinChange, "Skin");
    bind(Observer.OnCurrentTriangleChange, "Triangle");
    bind(Observer.OnCurrentVertexChange, "Vertex");
    bind(Observer.OnFrameCountChange, "FrameCount");
    bind(Observer.OnGammaChange, "Gamma");
    bind(Observer.OnJointsChange, "Joints");
    bind(Observer.OnMDLChange, "MDL");
    bind(Observer.OnObjectCountChange, "ObjectCount");
    bind(Observer.OnObjectNamesChange, "ObjectNames");
    bind(Observer.OnObjectVisibilityChange, "Visibility");
    bind(Observer.OnPantsColorChange, "Pants");
    bind(Observer.OnSceneCountChange, "SceneCount");
    bind(Observer.OnSelectionChange, "Selection");
    bind(Observer.OnShirtColorChange, "Shirt");
    bind(Observer.OnSkinCountChange, "SkinCount");
    Observer.OnModifyChange = [this, tag](TMDLObserver*, bool m) {
      Log_.push_back((tag.empty() ? std::string() : tag + ":") + (m ? "Modified(1)" : "Modified(0)"));
    };
    Observer.Loaded();
  }
  TMDLObserver Observer;

private:
  std::vector<std::string>& Log_;
};

// Appends a closed box (8 vertices, 12 consistently wound triangles) with
// its centre at (cx, 0, 0) and half size h, placed in every frame (moved by
// `drift` per frame along x). The skin coordinates spread over an 8 x 8 skin.
inline void AddBox(TMDL& m, float cx, float h, float drift = 0) {
  const int base = m.Vertices->Count();
  for (int i = 0; i < 8; ++i) {
    m.Vertices->Add(TSkinVertex{0, i, i % 4}, kNoObject);
    for (int k = 0; k < m.Frames->Count(); ++k)
      m.Frames->Frame(k).Add(TFrameVertex{cx + drift * static_cast<float>(k) + ((i & 1) ? h : -h),
                                          (i & 2) ? h : -h, (i & 4) ? h : -h, 0});
  }
  static const int faces[12][3] = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
                                   {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
  for (const auto& f : faces) m.Triangles->Add(TTriangle{1, {base + f[0], base + f[1], base + f[2]}});
}

// A scene of n frames named <base>1 .. <base>n.
inline void AddScene(TMDL& m, const std::string& base, int n) {
  TMDLFrameGroup& s = m.Frames->NewScene();
  for (int i = 0; i < n; ++i) {
    auto f = std::make_unique<TMDLFrame>(&m);
    f->SetCount(m.Vertices->Count());
    f->SetPivotCount(m.Objects->Count());
    f->SetName(base + std::to_string(i + 1));
    s.Add(std::move(f));
  }
  m.Frames->RebuildIndex();
}

// Scenes "stand" (1 frame), "walk" (3 frames) and "run" (2 frames), one
// 8 x 8 skin named "skin0", two boxes (objects 1 and 2, under the root).
inline void MakeModel(TMDL& m) {
  m.Clear();
  m.Header->SkinWidth = 8;
  m.Header->SkinHeight = 8;
  m.Skins->InsertSkin(0);
  m.Skins->SetSkinName(0, "skin0");
  AddScene(m, "stand", 1);
  AddScene(m, "walk", 3);
  AddScene(m, "run", 2);
  AddBox(m, 0, 1, 0.5f);
  AddBox(m, 10, 2, -0.25f);
  m.Objects->Reconstruct();
  m.Frames->ComputeBounds();
}

// Every frame has a position per vertex and a pivot per object, every
// corner is a vertex, every vertex belongs to an object, the flat indexes
// list the scenes' frames and the skin groups' skins in order.
inline ::testing::AssertionResult Consistent(TMDL& m) {
  const int nv = m.Vertices->Count();
  const int no = m.Objects->Count();
  int k = 0;
  for (int s = 0; s < m.Frames->SceneCount(); ++s) {
    if (m.Frames->SceneFrameCount(s) == 0) return ::testing::AssertionFailure() << "scene " << s << " is empty";
    for (int i = 0; i < m.Frames->SceneFrameCount(s); ++i, ++k) {
      if (k >= m.Frames->Count() || &m.Frames->Frame(k) != &m.Frames->Scene(s).Frame(i))
        return ::testing::AssertionFailure() << "flat frame " << k << " is not frame " << i << " of scene " << s;
      TMDLFrame& f = m.Frames->Frame(k);
      if (f.Count() != nv)
        return ::testing::AssertionFailure() << "frame " << k << " has " << f.Count() << " positions for " << nv
                                             << " vertices";
      if (f.PivotCount() != no)
        return ::testing::AssertionFailure() << "frame " << k << " has " << f.PivotCount() << " pivots for " << no
                                             << " objects";
    }
  }
  if (k != m.Frames->Count()) return ::testing::AssertionFailure() << "flat frame count " << m.Frames->Count();
  int j = 0;
  for (int g = 0; g < m.Skins->GroupCount(); ++g)
    for (int i = 0; i < m.Skins->Group(g).Count(); ++i, ++j)
      if (j >= m.Skins->Count() || &m.Skins->Skin(j) != &m.Skins->Group(g).Bitmap(i))
        return ::testing::AssertionFailure() << "flat skin " << j;
  if (j != m.Skins->Count()) return ::testing::AssertionFailure() << "flat skin count " << m.Skins->Count();
  for (int t = 0; t < m.Triangles->Count(); ++t)
    for (int c = 0; c < 3; ++c) {
      const int v = m.Triangles->Get(t).Vertex[c];
      if (v < 0 || v >= nv) return ::testing::AssertionFailure() << "triangle " << t << " uses vertex " << v;
    }
  for (int v = 0; v < nv; ++v)
    if (m.Vertices->ObjectIndex(v) >= no)
      return ::testing::AssertionFailure() << "vertex " << v << " belongs to object " << m.Vertices->ObjectIndex(v);
  for (int o = 0; o < no; ++o) {
    TMDLObject& obj = m.Objects->Object(o);
    if (obj.Index != o) return ::testing::AssertionFailure() << "object " << o << " has index " << obj.Index;
    if (o > 0 && (!obj.Parent || obj.ParentIndex != obj.Parent->Index))
      return ::testing::AssertionFailure() << "object " << o << " has a broken parent link";
  }
  return ::testing::AssertionSuccess();
}

// A fresh program-wide editor for each test, and a temporary folder.
class EditorTest : public ::testing::Test {
protected:
  void SetUp() override {
    TMDLEditor::ReleaseInstance();
    Editor = &TMDLEditor::Instance();
    Dir = std::filesystem::temp_directory_path() /
          ("tessel-editor-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(Dir);
    Clipboard_.Clear();
    PreviousClipboard_ = SetClipboard(&Clipboard_);
  }
  void TearDown() override {
    SetClipboard(PreviousClipboard_);
    Recorders.clear();
    TMDLEditor::ReleaseInstance();
    std::error_code ec;
    std::filesystem::remove_all(Dir, ec);
  }
  // The editor showing MakeModel's model, nothing modified, events logged
  // from here on.
  void Open() {
    Editor->Clear();
    MakeModel(*Editor->Model);
    Editor->SetCurrentScene(0);
    Editor->SetCurrentSkin(0);
    Editor->SetModified(false);
  }
  void Record() {
    Log.clear();
    Recorders.push_back(std::make_unique<TRecorder>(Log));
  }
  std::string Path(const std::string& name) const { return (Dir / name).string(); }

  TMDLEditor* Editor = nullptr;
  std::filesystem::path Dir;
  std::vector<std::string> Log;
  std::vector<std::unique_ptr<TRecorder>> Recorders;
  TScriptedPrompts Prompts;
  TMemoryClipboard Clipboard_;

private:
  TClipboard* PreviousClipboard_ = nullptr;
};

using Events = std::vector<std::string>;

}  // namespace edtest
