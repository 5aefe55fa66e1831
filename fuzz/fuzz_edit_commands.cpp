// The editing commands on arbitrary small meshes (degenerate and
// non-manifold ones included) in arbitrary order: no crash, and the model
// stays consistent and saveable whatever is done to it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "mdl/Prompts.h"

namespace {

class TAnswers : public TPrompts {
public:
  void Information(const std::string&, const std::string&) override {}
  bool Confirm(const std::string&, const std::string&) override { return Yes; }
  bool Yes = true;
};

class TBytes {
public:
  TBytes(const uint8_t* data, size_t size) : Data_(data), Size_(size) {}
  bool More() const { return Pos_ < Size_; }
  int Next() { return Pos_ < Size_ ? Data_[Pos_++] : 0; }

private:
  const uint8_t* Data_;
  size_t Size_;
  size_t Pos_ = 0;
};

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckConsistent(TMDL& m) {
  const int nv = m.Vertices->Count();
  for (int k = 0; k < m.Frames->Count(); ++k) {
    Check(m.Frames->Frame(k).Count() == nv);
    Check(m.Frames->Frame(k).PivotCount() == m.Objects->Count());
  }
  for (const TTriangle& t : m.Triangles->Items())
    for (int c = 0; c < 3; ++c) Check(t.Vertex[c] >= 0 && t.Vertex[c] < nv);
  for (int v = 0; v < nv; ++v) Check(m.Vertices->ObjectIndex(v) < m.Objects->Count());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TAnswers answers;
  SetPrompts(&answers);
  TBytes in(data, size);
  TMDLEditor e;
  e.Clear();
  TMDL& m = *e.Model;
  m.Header->SkinWidth = 8 + 4 * (in.Next() % 8);
  m.Header->SkinHeight = 8 + in.Next() % 16;
  m.Skins->SetGroupCount(0);
  m.Skins->InsertSkin(0);
  m.Frames->Clear();
  const int scenes = 1 + in.Next() % 3;
  for (int s = 0; s < scenes; ++s) {
    TMDLFrameGroup& scene = m.Frames->NewScene();
    const int frames = 1 + in.Next() % 3;
    for (int f = 0; f < frames; ++f) {
      auto frame = std::make_unique<TMDLFrame>(&m);
      frame->SetPivotCount(m.Objects->Count());
      frame->SetName("s" + std::string(1, static_cast<char>('a' + s)) + std::to_string(f + 1));
      scene.Add(std::move(frame));
    }
  }
  m.Frames->RebuildIndex();
  const int vertices = 3 + in.Next() % 40;
  for (int v = 0; v < vertices; ++v) {
    m.Vertices->Add(TSkinVertex{(in.Next() & 1) ? kOnSeam : 0, in.Next() % 40, in.Next() % 30}, 0);
    const float x = static_cast<float>(in.Next() % 16), y = static_cast<float>(in.Next() % 16);
    const float z = static_cast<float>(in.Next() % 16);
    for (int k = 0; k < m.Frames->Count(); ++k) m.Frames->Frame(k).Add(TFrameVertex{x + k, y, z, 0});
  }
  const int triangles = in.Next() % 60;
  for (int t = 0; t < triangles; ++t)
    m.Triangles->Add(TTriangle{in.Next() & 1, {in.Next() % vertices, in.Next() % vertices, in.Next() % vertices}});
  m.Objects->Reconstruct();
  e.SetCurrentScene(0);

  try {
    for (int steps = 0; in.More() && steps < 64; ++steps) {
      const int op = in.Next();
      const int a = in.Next() - 8, b = in.Next() - 8;
      answers.Yes = (op & 0x80) == 0;
      switch (op % 43) {
        case 0: e.DeleteFrame(); break;
        case 1: e.CopyFrame(); break;
        case 2: e.CutFrame(); break;
        case 3: e.PasteFrame(); break;
        case 4: e.DuplicateFrame(a % 3); break;
        case 5: e.DeleteScene(); break;
        case 6: e.DuplicateScene(1); break;
        case 7: e.MoveFrame(a % 4, b % 4, in.Next() % 4, in.Next() % 4); break;
        case 8: e.MoveScene(a % 4, b % 5); break;
        case 9: e.SplitScene(); break;
        case 10: e.AppendSceneToPrevious(); break;
        case 11: e.NewObject(); break;
        case 12: e.DeleteObject(); break;
        case 13: e.AssignTrianglesToNewObject(); break;
        case 14: e.SelectVertex(a, true); break;
        case 15: e.SelectTriangle(a, true); break;
        case 16: e.SetCurrentTriangle(a); break;
        case 17: e.SetCurrentVertex(a); break;
        case 18: e.DeleteSelectedTriangles(); break;
        case 19: e.DeleteSelectedVertices(); break;
        case 20: e.FlipSelectedTriangles(); break;
        case 21: e.AlignTriangles(); break;
        case 22: e.MakeTriangle(); break;
        case 23: e.MergeVertices(); break;
        case 24: e.SplitVertices(); break;
        case 25: e.AddVertex(MakeVector(static_cast<float>(a), static_cast<float>(b), 1), a % 4); break;
        case 26: e.GotoSceneFrame(a % 5, b % 5); break;
        case 27: e.SetCurrentObject(a); break;
        case 28: e.HideObjectTree(a % 4); break;
        case 29: e.ReconstructObjects(); break;
        case 30: e.ResetObjectPivots(); break;
        case 31: e.AddSkin(); break;
        case 32: e.DeleteSkin(); break;
        case 33: e.ReassignObjectVertices(a % 4); break;
        case 34: e.SetSkinSize(a, b); break;
        case 35: e.RecalculateSkinVertices(); break;
        case 36: e.RearrangeObjectSkins(); break;
        case 37: e.AssignVerticesToNewObject(); break;
        case 38: e.SelectObjectTriangles(); break;
        case 39: e.MoveSelectedSkinVertices(a, b); break;
        // The history puts back whatever the commands above did.
        case 40: e.Undo(); break;
        case 41: e.Redo(); break;
        case 42: {
          e.TransformScope = a & 3;
          const float diff[9] = {static_cast<float>(a), 0, static_cast<float>(b), static_cast<float>(b), 0, 0, 0, 0, 0};
          e.TransformObject(diff);
          break;
        }
      }
      CheckConsistent(m);
      Check(!e.Blocked);
    }
    TMemoryStream out;
    m.SaveToStream(out, true);
  } catch (const Exception&) {
  }
  SetPrompts(nullptr);
  return 0;
}
