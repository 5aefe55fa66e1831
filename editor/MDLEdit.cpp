#include "editor/MDLEdit.h"

#include <algorithm>

#include "core/Format.h"
#include "exchange/TriangleFiler.h"
#include "mdl/Prompts.h"

namespace {

TMDLEditor* SharedEditor = nullptr;

// Frees the program-wide editor when the program ends.
struct TEditorFinalizer {
  ~TEditorFinalizer() { TMDLEditor::ReleaseInstance(); }
} EditorFinalizer;

// Clamps to 0 .. count - 1; an empty list gives -1.
int32_t ClampIndex(int32_t i, int count) { return std::min(std::max(i, 0), count - 1); }

}  // namespace

// ---- TMDLObserver ---------------------------------------------------------------

TMDLObserver::~TMDLObserver() {
  if (TMDLEditor* e = TMDLEditor::Peek()) e->RemoveObserver(this);
}

void TMDLObserver::Loaded() {
  if (TMDLEditor* e = TMDLEditor::Peek()) e->AddObserver(this);
}

void TMDLObserver::SetEnabled(bool enabled) {
  Enabled_ = enabled;
  if (enabled) Loaded();
}

bool TMDLObserver::EditorExists() const { return TMDLEditor::Peek() != nullptr; }
bool TMDLObserver::IsValid() const { return TMDLEditor::Instance().IsValid(); }
uint8_t TMDLObserver::CurrentColor() const { return TMDLEditor::Instance().CurrentColor; }
int32_t TMDLObserver::CurrentFrame() const { return TMDLEditor::Instance().CurrentFrame; }
int32_t TMDLObserver::CurrentObject() const { return TMDLEditor::Instance().CurrentObject; }
int32_t TMDLObserver::CurrentScene() const { return TMDLEditor::Instance().CurrentScene; }
std::string TMDLObserver::CurrentSceneName() const { return TMDLEditor::Instance().CurrentSceneName(); }
TMDLFrame* TMDLObserver::CurrentFrameObject() const { return TMDLEditor::Instance().CurrentFrameObject(); }
TMDLBitmap* TMDLObserver::CurrentSkinObject() const { return TMDLEditor::Instance().CurrentSkinObject(); }
TMDLObject* TMDLObserver::CurrentObjectObject() const { return TMDLEditor::Instance().CurrentObjectObject(); }
TPivot* TMDLObserver::CurrentPivot() const { return TMDLEditor::Instance().CurrentPivot(); }
std::string TMDLObserver::ModelFileName() const { return TMDLEditor::Instance().ModelFileName(); }
int32_t TMDLObserver::PenSize() const { return TMDLEditor::Instance().PenSize; }
void TMDLObserver::SetCurrentColor(uint8_t c) { TMDLEditor::Instance().SetCurrentColor(c); }
void TMDLObserver::SetCurrentFrame(int32_t f) { TMDLEditor::Instance().SetCurrentFrame(f); }
void TMDLObserver::SetCurrentObject(int32_t o) { TMDLEditor::Instance().SetCurrentObject(o); }
void TMDLObserver::SetCurrentScene(int32_t s) { TMDLEditor::Instance().SetCurrentScene(s); }
void TMDLObserver::GotoSceneFrame(int32_t s, int32_t f) { TMDLEditor::Instance().GotoSceneFrame(s, f); }
void TMDLObserver::SetCurrentTriangle(int32_t t) { TMDLEditor::Instance().SetCurrentTriangle(t); }
void TMDLObserver::SetPenSize(int32_t n) { TMDLEditor::Instance().SetPenSize(n); }

// ---- instance -----------------------------------------------------------------

TMDLEditor* TMDLEditor::AccessInstance(TInstanceRequest request) {
  switch (request) {
    case TInstanceRequest::Peek:
      return SharedEditor;
    case TInstanceRequest::Access:
      if (!SharedEditor) SharedEditor = new TMDLEditor();
      return SharedEditor;
    case TInstanceRequest::Forget:
      SharedEditor = nullptr;
      return nullptr;
  }
  throw Exception(Format("Illegal request %d in AccessInstance", static_cast<int>(request)));
}

TMDLEditor::TMDLEditor() : Model(std::make_unique<TMDL>()) {
  // The menus follow the history even during long operations.
  History.OnChange = [this] {
    for (size_t i = 0; i < Observers.size(); ++i) {
      TMDLObserver* o = Observers[i];
      if (o->Enabled() && o->OnHistoryChange) o->OnHistoryChange(o);
    }
  };
}

TMDLEditor::~TMDLEditor() {
  if (SharedEditor == this) AccessInstance(TInstanceRequest::Forget);
}

bool TMDLEditor::IsValid() const { return Ready && Model->Frames->Count() > 0 && Model->Skins->Count() > 0; }

// ---- observers ----------------------------------------------------------------

void TMDLEditor::AddObserver(TMDLObserver* o) {
  if (o && std::find(Observers.begin(), Observers.end(), o) == Observers.end()) Observers.push_back(o);
}

void TMDLEditor::RemoveObserver(TMDLObserver* o) { std::erase(Observers, o); }

void TMDLEditor::Broadcast(TMDLObserver::TNotifyEvent TMDLObserver::*event) {
  if (Blocked) return;
  // By index: a handler may unregister an observer (a window closing), and
  // the list must not be walked through a stale iterator.
  for (size_t i = 0; i < Observers.size(); ++i) {
    TMDLObserver* o = Observers[i];
    if (o->Enabled() && o->*event) (o->*event)(o);
  }
}

void TMDLEditor::BroadcastModify(bool modified) {
  if (Blocked) return;
  for (size_t i = 0; i < Observers.size(); ++i) {
    TMDLObserver* o = Observers[i];
    if (o->Enabled() && o->OnModifyChange) o->OnModifyChange(o, modified);
  }
}

// ---- current state --------------------------------------------------------------

void TMDLEditor::SetCurrentColor(uint8_t c) {
  CurrentColor = c;
  Broadcast(&TMDLObserver::OnCurrentColorChange);
}

void TMDLEditor::SetCurrentFrame(int32_t f) {
  if (!IsValid()) return;
  CurrentFrame = ClampIndex(f, SceneFrameCount);
  Broadcast(&TMDLObserver::OnCurrentFrameChange);
}

void TMDLEditor::SetCurrentObject(int32_t o) {
  if (!IsValid()) return;
  CurrentObject = ClampIndex(o, Model->Objects->Count());
  Broadcast(&TMDLObserver::OnCurrentObjectChange);
}

void TMDLEditor::SetCurrentScene(int32_t s) {
  if (!IsValid()) return;
  TMDLFrameList& frames = *Model->Frames;
  CurrentScene = ClampIndex(s, frames.SceneCount());
  SceneFirstFrame = frames.FrameIndex(&frames.Scene(CurrentScene));
  SceneFrameCount = frames.SceneFrameCount(CurrentScene);
  CurrentFrame = 0;
  Broadcast(&TMDLObserver::OnCurrentSceneChange);
}

void TMDLEditor::GotoSceneFrame(int32_t s, int32_t f) {
  if (Blocked) throw EMDLError("Editor is blocked, cannot execute operation");
  const bool sceneChanges = s != CurrentScene;
  {
    TEditorBlock block(*this);
    if (sceneChanges) SetCurrentScene(s);
  }
  if (sceneChanges) Broadcast(&TMDLObserver::OnCurrentSceneChange);
  SetCurrentFrame(f);
}

void TMDLEditor::SetCurrentSkin(int32_t k) {
  if (!IsValid()) return;
  CurrentSkin = ClampIndex(k, Model->Skins->Count());
  Broadcast(&TMDLObserver::OnCurrentSkinChange);
}

void TMDLEditor::SetCurrentTriangle(int32_t t) {
  // Outside the list counts as the nearest end, and past an empty list as
  // no triangle.
  t = std::min(std::max(t, -1), Model->Triangles->Count() - 1);
  if (t == -1) {
    ClearSelection();
  } else if (!IsTriangleSelected(t)) {
    ClearSelection();
    SelectTriangle(t, true);
  }
  CurrentTriangle = t;
  Broadcast(&TMDLObserver::OnCurrentTriangleChange);
}

void TMDLEditor::SetCurrentVertex(int32_t v) {
  v = std::min(std::max(v, -1), Model->Vertices->Count() - 1);
  if (v == -1) {
    ClearVertexSelection();
  } else if (!IsVertexSelected(v)) {
    ClearVertexSelection();
    SelectVertex(v, true);
  }
  CurrentVertex = v;
  Broadcast(&TMDLObserver::OnCurrentVertexChange);
}

void TMDLEditor::SetGamma(int32_t g) {
  Gamma = g;
  if (!IsValid()) return;
  TMDLBitmapList& skins = *Model->Skins;
  for (int k = 0; k < skins.Count(); ++k) skins.Skin(k).SetGamma(static_cast<uint8_t>(g));
  Broadcast(&TMDLObserver::OnGammaChange);
}

void TMDLEditor::SetModified(bool m) {
  Modified = m;
  BroadcastModify(m);
}

void TMDLEditor::SetReady(bool r) {
  Ready = r;
  Broadcast(&TMDLObserver::OnMDLChange);
}

void TMDLEditor::SetApplicationHint(const std::string& s) {
  ApplicationHint = s;
  // The hint reaches the status bar even during long operations.
  for (size_t i = 0; i < Observers.size(); ++i) {
    TMDLObserver* o = Observers[i];
    if (o->Enabled() && o->OnApplicationHintChange) o->OnApplicationHintChange(o);
  }
}

// ---- selection ------------------------------------------------------------------

void TMDLEditor::EndSelect() {
  if (SelectUpdateCount > 0) --SelectUpdateCount;
  if (SelectUpdateCount == 0) Broadcast(&TMDLObserver::OnSelectionChange);
}

void TMDLEditor::SelectTriangle(int32_t t, bool on) {
  const TMDLTriangleList& tris = *Model->Triangles;
  if (t < 0 || t >= tris.Count()) return;
  SelectedTriangles.Set(t, on);
  const TTriangle& tri = tris.Items()[static_cast<size_t>(t)];
  for (int c = 0; c < 3; ++c)
    if (tri.Vertex[c] >= 0 && tri.Vertex[c] < Model->Vertices->Count()) SelectedVertices.Set(tri.Vertex[c], on);
}

void TMDLEditor::SelectVertex(int32_t v, bool on) {
  if (v < 0 || v >= Model->Vertices->Count()) return;
  SelectedVertices.Set(v, on);
}

void TMDLEditor::ClearSelection() {
  SelectedTriangles.Clear();
  SelectedVertices.Clear();
  CurrentTriangle = -1;
  CurrentVertex = -1;
}

void TMDLEditor::ClearVertexSelection() {
  SelectedVertices.Clear();
  CurrentVertex = -1;
}

int TMDLEditor::SelectedTriangleCount() const { return SelectedTriangles.CountBelow(Model->Triangles->Count()); }

int TMDLEditor::SelectedVertexCount() const { return SelectedVertices.CountBelow(Model->Vertices->Count()); }

void TMDLEditor::ForEachSelectedVertex(const std::function<void(int)>& f) const {
  const int n = Model->Vertices->Count();
  for (int v = SelectedVertices.NextSet(0); v >= 0 && v < n; v = SelectedVertices.NextSet(v + 1)) f(v);
}

std::vector<bool> TMDLEditor::SelectedVertexMarks() const {
  std::vector<bool> marks(static_cast<size_t>(Model->Vertices->Count()), false);
  ForEachSelectedVertex([&](int v) { marks[static_cast<size_t>(v)] = true; });
  return marks;
}

// ---- visibility ------------------------------------------------------------------

void TMDLEditor::SetObjectVisible(int32_t o, bool visible) {
  TMDLObjectList& objects = *Model->Objects;
  if (o < 0 || o >= objects.Count()) return;
  HiddenObjects.Set(o, !visible);
  TMDLObject& object = objects.Object(o);
  object.CollectVertices();
  object.CollectTriangles();
  for (int32_t t : object.TriangleIndices) HiddenTriangles.Set(t, !visible);
  Broadcast(&TMDLObserver::OnObjectVisibilityChange);
}

void TMDLEditor::ApplyObjectTreeVisibility(int32_t o, bool visible) {
  TMDLObjectList& objects = *Model->Objects;
  if (o < 0 || o >= objects.Count()) return;
  // The object and its descendants, depth first with the children in order.
  // The tree is walked with a work list and a guard, as a damaged parent
  // chain must not loop.
  std::vector<bool> inTree(static_cast<size_t>(objects.Count()), false);
  std::vector<TMDLObject*> work{&objects.Object(o)};
  while (!work.empty()) {
    TMDLObject* obj = work.back();
    work.pop_back();
    if (obj->Index < 0 || obj->Index >= objects.Count() || inTree[static_cast<size_t>(obj->Index)]) continue;
    inTree[static_cast<size_t>(obj->Index)] = true;
    HiddenObjects.Set(obj->Index, !visible);
    for (auto it = obj->Children.rbegin(); it != obj->Children.rend(); ++it) work.push_back(*it);
  }
  // Setting each object in turn marks every triangle with a corner in any
  // of them; one pass over the triangles gives the same bits.
  const TMDLVertexList& verts = *Model->Vertices;
  const int nv = verts.Count();
  const auto& tris = Model->Triangles->Items();
  for (size_t t = 0; t < tris.size(); ++t) {
    for (int c = 0; c < 3; ++c) {
      const int32_t v = tris[t].Vertex[c];
      if (v < 0 || v >= nv) continue;
      const uint16_t owner = verts.ObjectIndex(v);
      if (owner < inTree.size() && inTree[owner]) {
        HiddenTriangles.Set(static_cast<int>(t), !visible);
        break;
      }
    }
  }
}

void TMDLEditor::HideObjectTree(int32_t o) {
  {
    TEditorBlock block(*this);
    ApplyObjectTreeVisibility(o, false);
  }
  Broadcast(&TMDLObserver::OnCurrentObjectChange);
}

void TMDLEditor::ShowObjectTree(int32_t o) {
  {
    TEditorBlock block(*this);
    ApplyObjectTreeVisibility(o, true);
  }
  Broadcast(&TMDLObserver::OnCurrentObjectChange);
}

void TMDLEditor::HideAllObjects() {
  const int n = Model->Objects->Count();
  HiddenObjects.Clear();
  for (int o = 0; o < n; ++o) HiddenObjects.Set(o, true);
  const int nt = Model->Triangles->Count();
  for (int t = 0; t < nt; ++t) HiddenTriangles.Set(t, true);
  Broadcast(&TMDLObserver::OnObjectVisibilityChange);
}

void TMDLEditor::ShowAllObjects() {
  HiddenObjects.Clear();
  HiddenTriangles.Clear();
  Broadcast(&TMDLObserver::OnObjectVisibilityChange);
}

bool TMDLEditor::IsObjectVisible(int32_t o) const { return IsValid() && !HiddenObjects.Get(o); }

void TMDLEditor::RecomputeHiddenTriangles(int oldTriangleCount) {
  // Object by object, each of its triangles takes the object's bit; so a
  // triangle ends with the bit of the highest object among its corners'
  // owners, and one with no owner keeps its bit.
  const TMDLVertexList& verts = *Model->Vertices;
  const int nv = verts.Count();
  const int objectCount = Model->Objects->Count();
  const auto& tris = Model->Triangles->Items();
  for (size_t t = 0; t < tris.size(); ++t) {
    int owner = -1;
    for (int c = 0; c < 3; ++c) {
      const int32_t v = tris[t].Vertex[c];
      if (v < 0 || v >= nv) continue;
      const int o = verts.ObjectIndex(v);
      if (o < objectCount) owner = std::max(owner, o);
    }
    if (owner >= 0) HiddenTriangles.Set(static_cast<int>(t), HiddenObjects.Get(owner));
  }
  for (int t = static_cast<int>(tris.size()); t < oldTriangleCount; ++t) HiddenTriangles.Set(t, false);
}

// ---- getters ------------------------------------------------------------------------

int TMDLEditor::SceneCount() const { return IsValid() ? Model->Frames->SceneCount() : 0; }

int TMDLEditor::FrameCount() const { return IsValid() ? SceneFrameCount : 0; }

int TMDLEditor::ObjectCount() const { return IsValid() ? Model->Objects->Count() : 0; }

int TMDLEditor::SkinCount() const { return IsValid() ? Model->Skins->Count() : 0; }

TMDLFrame* TMDLEditor::CurrentFrameObject() const {
  if (!IsValid()) return nullptr;
  const int k = AbsoluteFrame();
  return k >= 0 && k < Model->Frames->Count() ? &Model->Frames->Frame(k) : nullptr;
}

TMDLBitmap* TMDLEditor::CurrentSkinObject() const {
  if (!IsValid() || CurrentSkin < 0 || CurrentSkin >= Model->Skins->Count()) return nullptr;
  return &Model->Skins->Skin(CurrentSkin);
}

TMDLObject* TMDLEditor::CurrentObjectObject() const {
  if (!IsValid() || CurrentObject < 0 || CurrentObject >= Model->Objects->Count()) return nullptr;
  return &Model->Objects->Object(CurrentObject);
}

TPivot* TMDLEditor::CurrentPivot() const {
  TMDLFrame* frame = CurrentFrameObject();
  if (!frame || CurrentObject < 0 || CurrentObject >= frame->PivotCount()) return nullptr;
  return &frame->Pivot(CurrentObject);
}

std::string TMDLEditor::SceneName(int32_t s) const {
  if (!IsValid() || s < 0 || s >= Model->Frames->SceneCount()) return std::string();
  return Model->Frames->SceneName(s);
}

std::string TMDLEditor::CurrentSceneName() const { return SceneName(CurrentScene); }

std::string TMDLEditor::SkinName(int32_t k) const {
  if (!IsValid() || k < 0 || k >= Model->Skins->Count()) return std::string();
  return Model->Skins->SkinName(k);
}

std::string TMDLEditor::ObjectName(int32_t o) const {
  if (!IsValid() || o < 0 || o >= Model->Objects->Count()) return std::string();
  return Model->Objects->Object(o).Name;
}

uint8_t TMDLEditor::ShirtColor() const {
  return IsValid() && Model->Skins->Count() > 0 ? Model->Skins->Skin(0).TopColor : 0;
}

uint8_t TMDLEditor::PantsColor() const {
  return IsValid() && Model->Skins->Count() > 0 ? Model->Skins->Skin(0).BottomColor : 0;
}

TSkinVertex TMDLEditor::SkinVertex(int32_t v) const {
  if (!IsValid() || v < 0 || v >= Model->Vertices->Count()) return TSkinVertex{};
  return Model->Vertices->Get(v);
}

uint16_t TMDLEditor::VertexObject(int32_t v) const {
  if (!IsValid() || v < 0 || v >= Model->Vertices->Count()) return 0;
  return Model->Vertices->ObjectIndex(v);
}

std::string TMDLEditor::ModelFileName() const { return Model->FileName; }

// ---- model lifecycle ------------------------------------------------------------------

void TMDLEditor::Reset() {
  CurrentScene = 0;
  SceneFirstFrame = 0;
  SceneFrameCount = 0;
  CurrentFrame = 0;
  CurrentSkin = 0;
  CurrentObject = 0;
  ShowAllObjects();
  ClearSelection();
  Model->Clear();
  // The empty model the editor shows: one blank skin and one scene holding
  // an empty "base" frame, the frame a new model's geometry is imported into.
  Model->Skins->EnsureSkin();
  if (Model->Frames->Count() == 0) Model->Frames->CreateBaseFrame();
}

void TMDLEditor::LoadFromFile(const std::string& name) {
  History.Clear();
  SetReady(false);
  std::exception_ptr failure;
  {
    TEditorBlock block(*this);
    try {
      Model->LoadFromFile(name);
    } catch (...) {
      failure = std::current_exception();
      Reset();
    }
    SetReady(true);
    SetCurrentScene(CurrentScene);
    SetCurrentSkin(CurrentSkin);
    SetCurrentVertex(-1);
    SetCurrentTriangle(-1);
    SetCurrentObject(0);
    SetGamma(Gamma);
  }
  Broadcast(&TMDLObserver::OnMDLChange);
  SetModified(false);
  ShowAllObjects();
  if (failure) std::rethrow_exception(failure);
}

void TMDLEditor::SaveToFile(const std::string& name, bool withExtensions) {
  SetReady(false);
  try {
    Model->SaveToFile(name, withExtensions);
    History.MarkSaved();
    SetModified(false);
  } catch (...) {
    SetReady(true);
    throw;
  }
  SetReady(true);
}

void TMDLEditor::Clear() {
  History.Clear();
  SetReady(false);
  Reset();
  SetModified(false);
  SetReady(true);
}

void TMDLEditor::NewFromBaseFrame(const std::string& name) {
  // The geometry goes into the empty model's base frame, as "New" leaves
  // it: imported into a frame of a loaded model it would change the mesh
  // under the other frames. A model with content is emptied first, with the
  // views told to let go of it.
  TMDLFrameList& frames = *Model->Frames;
  const bool empty = Model->Vertices->Count() == 0 && Model->Triangles->Count() == 0 && frames.Count() == 1 &&
                     frames.Frame(0).Name() == "base" && Model->Skins->Count() > 0;
  // A new model: the steps of the old one go.
  History.Clear(false);
  if (!empty) {
    SetReady(false);
    try {
      {
        TEditorBlock block(*this);
        Reset();
      }
      frames.Frame(0).ImportFrame(name);
    } catch (...) {
      SetReady(true);
      throw;
    }
    Ready = true;
  } else {
    frames.Frame(0).ImportFrame(name);
  }
  // A skin picture that came with the geometry (an OBJ file's material)
  // already shows the layout; only a fresh skin gets the mesh drawn on it.
  if (TTriangleFiler::Instance().SkinPictureFile.empty()) Model->Skins->PaintTriangles(0);
  History.Clear(false);
  SetModified(true);
  Broadcast(&TMDLObserver::OnMDLChange);
  SetCurrentSkin(CurrentSkin);
  SetCurrentScene(CurrentScene);
  SetCurrentObject(0);
  SetCurrentVertex(-1);
  SetCurrentTriangle(-1);
}

void TMDLEditor::MergeModel(const std::string& name) {
  if (!IsValid()) return;
  TUndoStep step(*this, "Merge");
  {
    TEditorBlock block(*this);
    Model->Merge(name);
  }
  Broadcast(&TMDLObserver::OnMDLChange);
  SetModified(true);
}

bool TMDLEditor::Confirm(const std::string& text) { return Prompts().Confirm(text, "Confirm"); }

// ---- undo and redo ---------------------------------------------------------------------

TEditorPlace TMDLEditor::CurrentPlace() const {
  TEditorPlace p;
  p.Scene = CurrentScene;
  p.Frame = CurrentFrame;
  p.Skin = CurrentSkin;
  p.Object = CurrentObject;
  p.Triangle = CurrentTriangle;
  p.Vertex = CurrentVertex;
  const int nt = Model->Triangles->Count(), nv = Model->Vertices->Count();
  for (int t = SelectedTriangles.NextSet(0); t >= 0 && t < nt; t = SelectedTriangles.NextSet(t + 1))
    p.SelectedTriangles.push_back(t);
  for (int v = SelectedVertices.NextSet(0); v >= 0 && v < nv; v = SelectedVertices.NextSet(v + 1))
    p.SelectedVertices.push_back(v);
  return p;
}

void TMDLEditor::Undo() { RestoreStep(true); }

void TMDLEditor::Redo() { RestoreStep(false); }

void TMDLEditor::RestoreStep(bool undo) {
  if (undo ? !History.CanUndo() : !History.CanRedo()) return;
  if (Blocked) throw EMDLError("Editor is blocked, cannot execute operation");
  const int oldObjects = Model->Objects->Count();
  // The player colours the skins are shown with are the windows' choice,
  // not part of the model: they stay as they are.
  const bool colours = Model->Skins->Count() > 0;
  const uint8_t shirt = colours ? Model->Skins->Skin(0).TopColor : 0;
  const uint8_t pants = colours ? Model->Skins->Skin(0).BottomColor : 0;
  // As for a load: the windows let go of the model first.
  SetReady(false);
  {
    TEditorBlock block(*this);
    TEditorPlace place;
    try {
      place = undo ? History.Undo() : History.Redo();
    } catch (...) {
      // No memory for the model's state: the step stays where it was, and
      // the windows show the model again once the block is over.
      Ready = true;
      Blocked = false;
      Broadcast(&TMDLObserver::OnMDLChange);
      throw;
    }
    TMDLBitmapList& skins = *Model->Skins;
    if (colours)
      for (int k = 0; k < skins.Count(); ++k) {
        TMDLBitmap& skin = skins.Skin(k);
        if (skin.TopColor != shirt) skin.SetTopColor(shirt);
        if (skin.BottomColor != pants) skin.SetBottomColor(pants);
      }
    SetReady(true);
    SetCurrentScene(place.Scene);
    SetCurrentFrame(place.Frame);
    SetCurrentSkin(place.Skin);
    SetCurrentObject(place.Object);
    SelectedTriangles.Clear();
    SelectedVertices.Clear();
    const int nt = Model->Triangles->Count(), nv = Model->Vertices->Count();
    for (int32_t t : place.SelectedTriangles)
      if (t < nt) SelectedTriangles.Set(t, true);
    for (int32_t v : place.SelectedVertices)
      if (v < nv) SelectedVertices.Set(v, true);
    CurrentTriangle = place.Triangle < nt ? place.Triangle : -1;
    CurrentVertex = place.Vertex < nv ? place.Vertex : -1;
    // Hidden objects stay hidden while the objects are the same ones; the
    // triangles follow the objects as they now are.
    if (Model->Objects->Count() != oldObjects) HiddenObjects.Clear();
    HiddenTriangles.Clear();
    RecomputeHiddenTriangles(0);
    SetGamma(Gamma);
  }
  Broadcast(&TMDLObserver::OnMDLChange);
  SetModified(!History.AtSaved());
  Broadcast(&TMDLObserver::OnObjectVisibilityChange);
  Broadcast(&TMDLObserver::OnSelectionChange);
}
