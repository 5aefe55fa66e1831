// The editing commands: each checks its precondition, asks where it must,
// changes the model and then puts the editor's current indices right and
// raises the events the views need, in that order.

#include <algorithm>
#include <cstring>

#include "core/Format.h"
#include "core/Streams.h"
#include "editor/Clipboard.h"
#include "editor/MDLEdit.h"
#include "mdl/MdlEditOps.h"
#include "raster/ColorTables.h"

namespace {

constexpr int kMaxSkinWidth = 3072;
constexpr int kMaxSkinHeight = 512;
// ObjectIndex is 16 bits and 65535 means "no object".
constexpr int kMaxObjects = kNoObject;

}  // namespace

// ---- frames and scenes ----------------------------------------------------------------

void TMDLEditor::DeleteFrame() {
  if (!IsValid()) return;
  TMDLFrameList& frames = *Model->Frames;
  if (frames.SceneCount() == 1 && frames.SceneFrameCount(0) == 1) return;
  const int k = AbsoluteFrame();
  if (!Confirm(Format("Delete frame '%s'", frames.Frame(k).Name().c_str()))) return;
  TUndoStep step(*this, "Delete Frame");
  int newScene = CurrentScene, newFrame;
  const bool sceneGoes = SceneFrameCount < 2;
  if (sceneGoes) {
    if (CurrentScene == frames.SceneCount() - 1) newScene = frames.SceneCount() - 2;
    newFrame = 0;
  } else {
    newFrame = CurrentFrame == SceneFrameCount - 1 ? SceneFrameCount - 2 : CurrentFrame;
  }
  frames.DeleteFrame(k);
  SetCurrentScene(newScene);
  SetCurrentFrame(newFrame);
  Broadcast(&TMDLObserver::OnFrameCountChange);
  if (sceneGoes) Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
}

void TMDLEditor::CopyFrame() {
  if (!IsValid()) return;
  Model->Frames->CopyFrame(AbsoluteFrame());
}

void TMDLEditor::CutFrame() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Cut Frame");
  CopyFrame();
  DeleteFrame();
}

void TMDLEditor::PasteFrame() {
  if (!IsValid()) return;
  TMDLFrameList& frames = *Model->Frames;
  // A frame copied before the mesh or the objects changed no longer fits
  // them; pasting it would leave a frame with the wrong number of positions
  // or pivots.
  if (frames.CopiedFrame->Count() == 0 || frames.CopiedFrame->Count() != Model->Vertices->Count() ||
      frames.CopiedFrame->PivotCount() != Model->Objects->Count())
    return;
  TUndoStep step(*this, "Paste Frame");
  const int k = AbsoluteFrame();
  const int oldFrame = CurrentFrame;
  char name[kFrameNameSize];
  std::memcpy(name, frames.Frame(k).NameBytes(), sizeof name);
  frames.PasteFrame(k);
  frames.Frame(k + 1).SetNameBytes(name);
  // The copied pivots tell the objects of the time of the copy, which may
  // have been made anew since (reconstructed): the pasted ones tell today's.
  TMDLFrame& pasted = frames.Frame(k);
  for (int o = 0; o < pasted.PivotCount(); ++o) {
    TPivot& p = pasted.Pivot(o);
    if (!p.OnChange) continue;
    TMDLObject* object = &Model->Objects->Object(o);
    p.OnChange = [object](TPivot& changed) { object->PivotChanged(changed); };
  }
  SetCurrentScene(CurrentScene);
  SetCurrentFrame(oldFrame);
  Broadcast(&TMDLObserver::OnFrameCountChange);
  SetModified(true);
}

void TMDLEditor::DuplicateFrame(int n) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Duplicate Frame");
  const int k = AbsoluteFrame();
  const int oldScene = CurrentScene, oldFrame = CurrentFrame;
  for (int i = 0; i < n; ++i) Model->Frames->InsertFrameCopy(k, k);
  SetCurrentScene(oldScene);
  SetCurrentFrame(oldFrame);
  Broadcast(&TMDLObserver::OnFrameCountChange);
  SetModified(true);
}

void TMDLEditor::DeleteScene() {
  if (!IsValid()) return;
  TMDLFrameList& frames = *Model->Frames;
  if (frames.SceneCount() == 1 && frames.SceneFrameCount(0) == 1) return;
  if (!Confirm(Format("Delete scene '%s'", frames.SceneName(CurrentScene).c_str()))) return;
  TUndoStep step(*this, "Delete Scene");
  const bool wasLast = CurrentScene == frames.SceneCount() - 1;
  for (int i = SceneFrameCount - 1; i >= 0; --i) frames.DeleteFrame(SceneFirstFrame + i);
  SetCurrentScene(wasLast ? CurrentScene - 1 : CurrentScene);
  Broadcast(&TMDLObserver::OnFrameCountChange);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
}

void TMDLEditor::DuplicateScene(int n) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Duplicate Scene");
  const int oldScene = CurrentScene;
  for (int i = 0; i < n; ++i) ::DuplicateScene(*Model->Frames, CurrentScene);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
  SetCurrentScene(oldScene);
}

bool TMDLEditor::MoveFrame(int fromScene, int fromFrame, int toScene, int toFrame) {
  if (!IsValid()) return false;
  TMDLFrameList& frames = *Model->Frames;
  const int scenes = frames.SceneCount();
  if (fromScene < 0 || fromScene >= scenes || toScene < 0 || toScene >= scenes) return false;
  if (fromFrame < 0 || fromFrame >= frames.SceneFrameCount(fromScene)) return false;
  // One past a scene's last frame is a place too: the end of the list for
  // the last scene.
  if (toFrame < 0 || toFrame > frames.SceneFrameCount(toScene)) return false;
  const int from = frames.FrameIndex(&frames.Scene(fromScene)) + fromFrame;
  const int to = frames.FrameIndex(&frames.Scene(toScene)) + toFrame;
  TUndoStep step(*this, "Move Frame");
  if (!frames.MoveFrame(from, to)) return false;
  SetCurrentScene(std::min(toScene, frames.SceneCount() - 1));
  SetCurrentFrame(std::min(toFrame, SceneFrameCount - 1));
  SetModified(true);
  if (frames.SceneCount() != scenes) Broadcast(&TMDLObserver::OnSceneCountChange);
  return true;
}

bool TMDLEditor::MoveScene(int from, int to) {
  if (!IsValid()) return false;
  TMDLFrameList& frames = *Model->Frames;
  if (from < 0 || from >= frames.SceneCount() || to < 0 || to > frames.SceneCount()) return false;
  TUndoStep step(*this, "Move Scene");
  if (!frames.MoveScene(from, to)) return false;
  SetModified(true);
  SetCurrentScene(to);
  return true;
}

void TMDLEditor::SplitScene() {
  if (!IsValid()) return;
  // Before the first frame there is nothing to split off.
  if (CurrentFrame < 1) return;
  TUndoStep step(*this, "Split Scene");
  Model->Frames->SplitScene(CurrentScene, CurrentFrame);
  SetCurrentScene(CurrentScene + 1);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
}

void TMDLEditor::AppendSceneToPrevious() {
  if (!IsValid()) return;
  const int landing = std::max(CurrentScene - 1, 0);
  if (landing + 1 >= Model->Frames->SceneCount()) return;
  TUndoStep step(*this, "Append Scene to Previous");
  SetCurrentScene(landing);
  Model->Frames->JoinScene(CurrentScene + 1);
  SetCurrentScene(CurrentScene);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
}

void TMDLEditor::RenumberScene() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Renumber Scene");
  Model->Frames->RenameScene(CurrentScene, Model->Frames->SceneName(CurrentScene));
  SetModified(true);
}

void TMDLEditor::SetSceneGrouped(bool grouped) {
  if (!IsValid()) return;
  TUndoStep step(*this, grouped ? "Group Scene" : "Ungroup Scene");
  Model->Frames->SetSceneType(CurrentScene, grouped);
  SetModified(true);
}

// ---- objects ------------------------------------------------------------------------

void TMDLEditor::NewObject() {
  if (!IsValid()) return;
  TMDLObjectList& objects = *Model->Objects;
  if (objects.Count() >= kMaxObjects || CurrentObject < 0 || CurrentObject >= objects.Count()) return;
  TUndoStep step(*this, "New Object");
  const int index = objects.Add(objects.Object(CurrentObject));
  Broadcast(&TMDLObserver::OnObjectCountChange);
  SetCurrentObject(index);
  SetModified(true);
}

void TMDLEditor::DeleteObject() {
  if (!IsValid()) return;
  TMDLObjectList& objects = *Model->Objects;
  if (CurrentObject <= 0 || CurrentObject >= objects.Count()) return;
  if (!Confirm(Format("Delete object '%s'", objects.Object(CurrentObject).Name.c_str()))) return;
  TUndoStep step(*this, "Delete Object");
  CurrentTriangle = -1;
  CurrentVertex = -1;
  const int oldTriangles = Model->Triangles->Count();
  const int oldObjects = objects.Count();
  const int deleted = CurrentObject;
  objects.Delete(deleted);
  CurrentObject = std::min(CurrentObject, objects.Count() - 1);
  // The object's geometry went from every frame.
  if (TMDLFrame* frame = CurrentFrameObject()) frame->ComputeBoundingBox();
  HiddenObjects.ShiftDown(deleted, oldObjects);
  RecomputeHiddenTriangles(oldTriangles);
  // The triangles and vertices were renumbered: a selection of them would
  // now name others.
  SelectedTriangles.Clear();
  SelectedVertices.Clear();
  Broadcast(&TMDLObserver::OnObjectCountChange);
  SetModified(true);
}

void TMDLEditor::AssignTrianglesToNewObject() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Assign Triangles to New Object");
  {
    TEditorBlock block(*this);
    const int before = Model->Objects->Count();
    NewObject();
    if (Model->Objects->Count() == before) return;
    AssignTrianglesToObject(CurrentObject);
  }
  Broadcast(&TMDLObserver::OnObjectCountChange);
}

void TMDLEditor::AssignVerticesToNewObject() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Assign Vertices to New Object");
  {
    TEditorBlock block(*this);
    const int before = Model->Objects->Count();
    NewObject();
    if (Model->Objects->Count() == before) return;
    AssignVerticesToObject(CurrentObject);
  }
  Broadcast(&TMDLObserver::OnObjectCountChange);
}

void TMDLEditor::AssignTrianglesToObject(int32_t o) {
  if (!IsValid() || o < 0 || o >= Model->Objects->Count()) return;
  TUndoStep step(*this, "Assign Triangles to Object");
  TMDLVertexList& verts = *Model->Vertices;
  const auto& tris = Model->Triangles->Items();
  const int nt = static_cast<int>(tris.size());
  for (int t = SelectedTriangles.NextSet(0); t >= 0 && t < nt; t = SelectedTriangles.NextSet(t + 1))
    for (int c = 0; c < 3; ++c) {
      const int32_t v = tris[static_cast<size_t>(t)].Vertex[c];
      if (v >= 0 && v < verts.Count()) verts.SetObjectIndex(v, static_cast<uint16_t>(o));
    }
}

void TMDLEditor::AssignVerticesToObject(int32_t o) {
  if (!IsValid() || o < 0 || o >= Model->Objects->Count()) return;
  TUndoStep step(*this, "Assign Vertices to Object");
  ForEachSelectedVertex([&](int v) { Model->Vertices->SetObjectIndex(v, static_cast<uint16_t>(o)); });
}

void TMDLEditor::ReassignObjectVertices(int32_t o) {
  if (!IsValid() || o == CurrentObject || o < 0 || o >= Model->Objects->Count()) return;
  TUndoStep step(*this, "Reassign Object Vertices");
  TMDLVertexList& verts = *Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v)
    if (verts.ObjectIndex(v) == CurrentObject) verts.SetObjectIndex(v, static_cast<uint16_t>(o));
}

void TMDLEditor::RenameObject(int32_t i, const std::string& name) {
  if (!IsValid() || i < 0 || i >= Model->Objects->Count()) return;
  TUndoStep step(*this, "Rename Object");
  Model->Objects->SetName(i, name);
  Broadcast(&TMDLObserver::OnObjectNamesChange);
}

void TMDLEditor::ReconstructObjects() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Reconstruct Objects");
  Model->Objects->Reconstruct();
  CurrentObject = 0;
  Broadcast(&TMDLObserver::OnObjectCountChange);
}

void TMDLEditor::ResetObjectPivots() {
  TMDLObject* object = CurrentObjectObject();
  if (!object) return;
  TUndoStep step(*this, "Reset Object Pivots");
  TMDLFrameList& frames = *Model->Frames;
  for (int f = 0; f < frames.Count(); ++f) {
    TPivot& p = object->Pivot(f);
    const TVector c = object->Bounds(f);
    p.MoveTo(c.x, c.y, c.z);
    const float* t = p.Translation();
    p.SetChannels(t[0], t[1], t[2], 0, 0, 0, 1, 1, 1);
    // The children sit on the new transform; their vertices stay where they
    // are.
    object->LinkChildren(f);
  }
  SetModified(true);
}

void TMDLEditor::SelectObjectTriangles() {
  TMDLObject* object = CurrentObjectObject();
  if (!object) return;
  BeginSelect();
  SelectedTriangles.Clear();
  SelectedVertices.Clear();
  CurrentTriangle = -1;
  CurrentVertex = -1;
  object->CollectVertices();
  object->CollectTriangles();
  for (int32_t t : object->TriangleIndices) SelectTriangle(t, true);
  if (!object->TriangleIndices.empty()) CurrentTriangle = object->TriangleIndices.front();
  EndSelect();
}

void TMDLEditor::SelectObjectVertices() {
  TMDLObject* object = CurrentObjectObject();
  if (!object) return;
  BeginSelect();
  SelectedVertices.Clear();
  CurrentVertex = -1;
  const TMDLVertexList& verts = *Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v)
    if (verts.ObjectIndex(v) == CurrentObject) {
      SelectedVertices.Set(v, true);
      if (CurrentVertex == -1) CurrentVertex = v;
    }
  EndSelect();
}

// ---- triangles and vertices --------------------------------------------------------------

void TMDLEditor::DeleteSelectedTriangles() {
  if (!IsValid()) return;
  const int nt = Model->Triangles->Count();
  std::vector<bool> marked(static_cast<size_t>(nt), false);
  bool any = false;
  for (int t = SelectedTriangles.NextSet(0); t >= 0 && t < nt; t = SelectedTriangles.NextSet(t + 1)) {
    marked[static_cast<size_t>(t)] = true;
    any = true;
  }
  // With nothing selected there is nothing to delete; going on would still
  // drop the vertices no triangle uses yet (ones just added, say).
  if (!any || !Confirm("Delete selected triangles ?")) return;
  TUndoStep step(*this, "Delete Selected Triangles");
  DeleteMarkedTriangles(*Model, marked);
  RecomputeHiddenTriangles(nt);
  SetModified(true);
  SetCurrentTriangle(-1);
}

void TMDLEditor::DeleteSelectedVertices() {
  if (!IsValid()) return;
  const std::vector<bool> marked = SelectedVertexMarks();
  if (std::find(marked.begin(), marked.end(), true) == marked.end() || !Confirm("Delete selected vertices ?")) return;
  TUndoStep step(*this, "Delete Selected Vertices");
  const int nt = Model->Triangles->Count();
  DeleteTrianglesUsingVertices(*Model, marked);
  RecomputeHiddenTriangles(nt);
  SetModified(true);
  // The triangles were renumbered: a triangle selection would name others.
  SelectedTriangles.Clear();
  CurrentTriangle = -1;
  SetCurrentVertex(-1);
}

void TMDLEditor::FlipSelectedTriangles() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Flip Triangles");
  TMDLTriangleList& tris = *Model->Triangles;
  const int nt = tris.Count();
  for (int t = SelectedTriangles.NextSet(0); t >= 0 && t < nt; t = SelectedTriangles.NextSet(t + 1))
    FlipTriangle(tris.Item(t));
  SetModified(true);
  SetCurrentTriangle(-1);
}

void TMDLEditor::AlignTriangles() {
  if (!IsValid() || CurrentTriangle < 0 || CurrentTriangle >= Model->Triangles->Count()) return;
  TUndoStep step(*this, "Align Triangles");
  ::AlignTriangles(*Model->Triangles, CurrentTriangle);
  CurrentTriangle = -1;
  SetModified(true);
}

void TMDLEditor::MakeTriangle() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Make Triangle");
  int corners[3], found = 0;
  const int nv = Model->Vertices->Count();
  for (int v = SelectedVertices.NextSet(0); v >= 0 && v < nv && found < 3; v = SelectedVertices.NextSet(v + 1))
    corners[found++] = v;
  // The file reader takes no more triangles than this.
  if (found == 3 && Model->Triangles->Count() < kMaxTriangles) {
    TTriangle t{0, {corners[0], corners[1], corners[2]}};
    OrientLikeNeighbour(*Model->Triangles, t);
    Model->Triangles->Add(t);
    SetModified(true);
  }
  SetCurrentVertex(-1);
}

void TMDLEditor::MergeVertices() {
  if (!IsValid() || CurrentVertex < 0 || CurrentVertex >= Model->Vertices->Count()) return;
  TUndoStep step(*this, "Merge Vertices");
  const int nt = Model->Triangles->Count();
  ::MergeVertices(*Model, SelectedVertexMarks(), CurrentVertex);
  // Degenerate triangles went and the rest were renumbered.
  RecomputeHiddenTriangles(nt);
  SelectedTriangles.Clear();
  CurrentTriangle = -1;
  SetModified(true);
  SetCurrentVertex(-1);
}

void TMDLEditor::SplitVertices() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Split Vertices");
  const std::vector<bool> marked = SelectedVertexMarks();
  const int result = SplitVerticesResult(*Model, marked);
  if (result > kMaxVertices)
    throw EMDLError(Format("Vertex limit of %d reached, cannot split the selected vertices", kMaxVertices));
  ::SplitVertices(*Model, marked);
  SetModified(true);
  // The split vertices are gone and the others renumbered.
  SetCurrentVertex(-1);
}

void TMDLEditor::AddVertex(const TVector& position, int32_t object) {
  if (!IsValid()) return;
  if (Model->Vertices->Count() >= kMaxVertices)
    throw EMDLError(Format("Vertex limit of %d reached, cannot add a vertex", kMaxVertices));
  TUndoStep step(*this, "Add Vertex");
  // Every vertex belongs to an object: one that is not there means the root.
  const uint16_t owner = object >= 0 && object < Model->Objects->Count() ? static_cast<uint16_t>(object) : 0;
  TMDLFrameList& frames = *Model->Frames;
  const int nv = Model->Vertices->Count();
  const TFrameVertex fv{position.x, position.y, position.z, 0};
  Model->Vertices->Add(TSkinVertex{0, 0, 0}, owner);
  frames.AddVertexToAll(fv);
  if (frames.CopiedFrame->Count() == nv && nv > 0) frames.CopiedFrame->Add(fv);
  SetModified(true);
}

namespace {

void MoveSkinVertex(TSkinVertex& v, int dx, int dy, int width, int height) {
  v.S = std::clamp(v.S + dx, 0, std::max(width - 1, 0));
  v.T = std::clamp(v.T + dy, 0, std::max(height - 1, 0));
}

}  // namespace

void TMDLEditor::MoveSkinVertices(int dx, int dy) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Move Skin Vertices");
  TMDLVertexList& verts = *Model->Vertices;
  for (int v = 0; v < verts.Count(); ++v)
    MoveSkinVertex(verts.Item(v), dx, dy, Model->Header->SkinWidth, Model->Header->SkinHeight);
}

void TMDLEditor::MoveSelectedSkinVertices(int dx, int dy) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Move Skin Vertices");
  ForEachSelectedVertex([&](int v) {
    MoveSkinVertex(Model->Vertices->Item(v), dx, dy, Model->Header->SkinWidth, Model->Header->SkinHeight);
  });
}

// ---- skins --------------------------------------------------------------------------

int TMDLEditor::AddSkin() {
  if (!IsValid()) return CurrentSkin;
  TUndoStep step(*this, "Add Skin");
  Model->Skins->InsertSkin(CurrentSkin);
  Broadcast(&TMDLObserver::OnSkinCountChange);
  return CurrentSkin;
}

void TMDLEditor::ImportSkin(const std::string& fileName) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Import Skin");
  const int k = AddSkin();
  try {
    Model->Skins->Skin(k).ImportPicture(fileName);
  } catch (...) {
    // A picture that cannot be read adds nothing: the blank skin made for
    // it goes again before the error is reported.
    Model->Skins->DeleteSkin(k);
    SetCurrentSkin(std::min(k, Model->Skins->Count() - 1));
    Broadcast(&TMDLObserver::OnSkinCountChange);
    throw;
  }
  SetGamma(Gamma);
  Broadcast(&TMDLObserver::OnSkinCountChange);
  SetModified(true);
}

void TMDLEditor::PasteSkin() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Paste Skin");
  const int k = AddSkin();
  TWinGBitmap picture;
  if (!Clipboard().GetBitmap(picture) || picture.GetWidth() <= 0 || picture.GetHeight() <= 0) return;
  TMemoryStream stream;
  picture.SaveToStream(stream);
  Model->Skins->Skin(k).LoadScaled(stream);
  SetGamma(Gamma);
  SetModified(true);
}

void TMDLEditor::CopySkin() {
  TMDLBitmap* skin = CurrentSkinObject();
  if (!skin) return;
  // The pixels in game colours, whatever the skin is shown with.
  TWinGBitmap picture;
  picture.Assign(skin->Image);
  picture.SetPalette(GamePalette().NewHandle());
  Clipboard().SetBitmap(picture);
}

void TMDLEditor::CutSkin() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Cut Skin");
  CopySkin();
  DeleteSkin();
}

void TMDLEditor::DeleteSkin() {
  if (!IsValid()) return;
  TMDLBitmapList& skins = *Model->Skins;
  if (!Confirm(Format("Delete skin '%s'", skins.SkinName(CurrentSkin).c_str()))) return;
  if (skins.Count() <= 1) return;
  TUndoStep step(*this, "Delete Skin");
  if (CurrentSkin >= 1) {
    SetCurrentSkin(CurrentSkin - 1);
    skins.DeleteSkin(CurrentSkin + 1);
  } else {
    skins.DeleteSkin(0);
  }
  Broadcast(&TMDLObserver::OnSkinCountChange);
  SetModified(true);
}

void TMDLEditor::MoveSkin(int from, int to) {
  if (!IsValid()) return;
  const int n = Model->Skins->Count();
  if (from < 0 || from >= n || to < 0 || to > n) return;
  TUndoStep step(*this, "Move Skin");
  Model->Skins->MoveSkin(from, to);
}

void TMDLEditor::SetShirtColor(uint8_t c) {
  if (!IsValid()) return;
  TMDLBitmapList& skins = *Model->Skins;
  for (int k = 0; k < skins.Count(); ++k) skins.Skin(k).SetTopColor(c);
  Broadcast(&TMDLObserver::OnShirtColorChange);
}

void TMDLEditor::SetPantsColor(uint8_t c) {
  if (!IsValid()) return;
  TMDLBitmapList& skins = *Model->Skins;
  for (int k = 0; k < skins.Count(); ++k) skins.Skin(k).SetBottomColor(c);
  Broadcast(&TMDLObserver::OnPantsColorChange);
}

void TMDLEditor::SetSkinSize(int w, int h) {
  if (!IsValid()) return;
  w = std::min(w, kMaxSkinWidth);
  h = std::min(h, kMaxSkinHeight);
  if (w < 1 || h < 1) return;
  TUndoStep step(*this, "Set Skin Size");
  Model->Skins->Resize(w, h);
  // The header gives the size every skin is written with: the skins' own,
  // whose width is rounded up to a multiple of 4.
  Model->Header->SkinWidth = Model->Skins->Skin(0).Width;
  Model->Header->SkinHeight = Model->Skins->Skin(0).Height;
  SetModified(true);
}

void TMDLEditor::RearrangeObjectSkins() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Rearrange Object Skins");
  Model->Skins->RearrangeObjectSkins();
  SetModified(true);
}

// ---- base frame -------------------------------------------------------------------------

void TMDLEditor::RecalculateSkinVertices() {
  if (!IsValid()) return;
  TUndoStep step(*this, "Recalculate Skin Vertices");
  TMDLFrameList& frames = *Model->Frames;
  for (int k = 0; k < frames.Count(); ++k)
    if (frames.Frame(k).Name() == "base") {
      frames.Frame(k).MapSkin();
      SetModified(true);
      return;
    }
  if (!Confirm("Cannot locate 'base' frame, shall I reconstruct it ?")) return;
  if (TMDLFrame* base = ReconstructBaseFrame()) {
    base->MapSkin();
    SetModified(true);
  }
}

TMDLFrame* TMDLEditor::ReconstructBaseFrame() {
  if (!IsValid()) return nullptr;
  TUndoStep step(*this, "Reconstruct Base Frame");
  TMDLFrameList& frames = *Model->Frames;
  frames.InsertFrameCopy(0, 0);
  TMDLFrame& base = frames.Frame(0);
  base.SetName("base");
  frames.SplitScene(0, 1);
  // The base frame is the skin laid out flat: front half facing one way,
  // back half the other.
  base.RebuildFromSkin();
  SetCurrentScene(0);
  Broadcast(&TMDLObserver::OnSceneCountChange);
  SetModified(true);
  return &base;
}
