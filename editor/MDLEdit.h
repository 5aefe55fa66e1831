#pragma once
// The one editor of the program: it owns the open model, knows what is
// current (scene, frame, object, skin, triangle, vertex, colour), keeps the
// selections and hidden objects, and tells every registered observer of each
// change. Windows never talk to each other about the model: each keeps a
// TMDLObserver, binds its events and calls the editor through it.
//
// Events are delivered to the observers in registration order. While a
// compound operation runs (load, merge, hiding a tree) the editor is
// Blocked and drops events; the operation raises what it needs afterwards.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Vectors.h"
#include "editor/BitSet.h"
#include "editor/UndoHistory.h"
#include "mdl/Mdl.h"

// What a batch of frame imports brought in: the frames read, and how many
// of them had a triangle count other than the model's.
struct TFrameImportCount {
  int Frames = 0;
  int Mismatched = 0;
};

class TMDLEditor;
class TPivot;

// What TMDLEditor::AccessInstance is asked to do with the program-wide editor.
enum class TInstanceRequest {
  // Give the editor, or null when there is none.
  Peek = 0,
  // Give the editor, making it on first use.
  Access = 1,
  // Forget the editor without freeing it (its destructor asks this).
  Forget = 2,
};

class TMDLObserver {
public:
  using TNotifyEvent = std::function<void(TMDLObserver* sender)>;
  using TModifyChangeEvent = std::function<void(TMDLObserver* sender, bool modified)>;

  TMDLObserver() = default;
  // Unregisters from the editor, when there is one.
  ~TMDLObserver();
  TMDLObserver(const TMDLObserver&) = delete;
  TMDLObserver& operator=(const TMDLObserver&) = delete;

  // Called once the owner has bound the events: registers with the editor,
  // when it exists.
  void Loaded();
  bool Enabled() const { return Enabled_; }
  // A disabled observer stays registered but receives nothing; enabling it
  // registers it (when the editor exists).
  void SetEnabled(bool enabled);

  TNotifyEvent OnApplicationHintChange;
  TNotifyEvent OnCurrentColorChange;
  TNotifyEvent OnCurrentFrameChange;
  TNotifyEvent OnCurrentObjectChange;
  TNotifyEvent OnCurrentSceneChange;
  // Declared for the views; the editor never raises it.
  TNotifyEvent OnCurrentSceneNameChange;
  TNotifyEvent OnCurrentSkinChange;
  TNotifyEvent OnCurrentTriangleChange;
  TNotifyEvent OnCurrentVertexChange;
  TNotifyEvent OnFrameCountChange;
  TNotifyEvent OnGammaChange;
  TNotifyEvent OnJointsChange;
  TNotifyEvent OnMDLChange;
  TModifyChangeEvent OnModifyChange;
  TNotifyEvent OnObjectCountChange;
  TNotifyEvent OnObjectNamesChange;
  TNotifyEvent OnObjectVisibilityChange;
  TNotifyEvent OnPantsColorChange;
  TNotifyEvent OnSceneCountChange;
  TNotifyEvent OnSelectionChange;
  TNotifyEvent OnShirtColorChange;
  TNotifyEvent OnSkinCountChange;
  // What undo and redo would do has changed (a step was recorded, undone or
  // redone, or the history emptied). Delivered even while Blocked.
  TNotifyEvent OnHistoryChange;

  // Forwarding to the editor (made on first use), so forms never hold it.
  bool EditorExists() const;
  bool IsValid() const;
  uint8_t CurrentColor() const;
  int32_t CurrentFrame() const;
  int32_t CurrentObject() const;
  int32_t CurrentScene() const;
  std::string CurrentSceneName() const;
  TMDLFrame* CurrentFrameObject() const;
  TMDLBitmap* CurrentSkinObject() const;
  TMDLObject* CurrentObjectObject() const;
  TPivot* CurrentPivot() const;
  std::string ModelFileName() const;
  int32_t PenSize() const;
  void SetCurrentColor(uint8_t c);
  void SetCurrentFrame(int32_t f);
  void SetCurrentObject(int32_t o);
  void SetCurrentScene(int32_t s);
  void GotoSceneFrame(int32_t s, int32_t f);
  void SetCurrentTriangle(int32_t t);
  void SetPenSize(int32_t n);

private:
  bool Enabled_ = true;
};

class TMDLEditor {
public:
  TMDLEditor();
  // Forgets the program-wide instance when this is it.
  ~TMDLEditor();
  TMDLEditor(const TMDLEditor&) = delete;
  TMDLEditor& operator=(const TMDLEditor&) = delete;

  // The program-wide editor, as `request` says. A value outside the enum
  // raises Exception "Illegal request %d in AccessInstance".
  static TMDLEditor* AccessInstance(TInstanceRequest request);
  static TMDLEditor& Instance() { return *AccessInstance(TInstanceRequest::Access); }
  // The program-wide editor, or null while there is none.
  static TMDLEditor* Peek() { return AccessInstance(TInstanceRequest::Peek); }
  // Frees the program-wide editor, if there is one.
  static void ReleaseInstance() { delete Peek(); }

  // ---- state -----------------------------------------------------------------
  std::string ApplicationHint;
  bool Blocked = false;
  uint8_t CurrentColor = 0;
  // Counted from the current scene's first frame.
  int32_t CurrentFrame = 0;
  int32_t CurrentObject = 0;
  int32_t CurrentScene = 0;
  int32_t SceneFrameCount = 0;
  // Flat index of the current scene's first frame.
  int32_t SceneFirstFrame = 0;
  std::vector<std::string> DurationList;
  int32_t CurrentSkin = 0;
  int32_t CurrentTriangle = -1;
  int32_t CurrentVertex = -1;
  int32_t Gamma = 0;
  // Made with the editor and never replaced, only cleared and reloaded.
  const std::unique_ptr<TMDL> Model;
  bool Modified = false;
  TBitSet HiddenObjects{65536};
  // Not owned, in registration order.
  std::vector<TMDLObserver*> Observers;
  int32_t PenSize = -1;
  int32_t SelectUpdateCount = 0;
  int32_t TransformMode = 0;
  int32_t TransformScope = 0;
  int32_t TransformSubject = 0;
  TBitSet HiddenTriangles{kMaxTriangles};
  TBitSet SelectedTriangles{kMaxTriangles};
  bool Ready = false;
  TBitSet SelectedVertices{kMaxVertices};
  // Every change to the model records a step here first.
  TUndoHistory History{*this};

  // Ready, with at least one frame and one skin. Almost every operation does
  // nothing on an editor that is not valid.
  bool IsValid() const;
  // SceneFirstFrame + CurrentFrame.
  int32_t AbsoluteFrame() const { return SceneFirstFrame + CurrentFrame; }

  // ---- observers -------------------------------------------------------------
  void AddObserver(TMDLObserver* o);
  void RemoveObserver(TMDLObserver* o);
  // Calls the event on every enabled observer that has it bound, in
  // registration order; dropped while Blocked.
  void Broadcast(TMDLObserver::TNotifyEvent TMDLObserver::*event);
  void BroadcastModify(bool modified);

  // ---- current state ---------------------------------------------------------
  void SetCurrentColor(uint8_t c);
  void SetCurrentFrame(int32_t f);
  void SetCurrentObject(int32_t o);
  void SetCurrentScene(int32_t s);
  // Raises EMDLError while Blocked.
  void GotoSceneFrame(int32_t s, int32_t f);
  void SetCurrentSkin(int32_t k);
  void SetCurrentTriangle(int32_t t);
  void SetCurrentVertex(int32_t v);
  void SetGamma(int32_t g);
  void SetModified(bool m);
  void SetReady(bool r);
  void SetApplicationHint(const std::string& s);
  void SetPenSize(int32_t n) { PenSize = n; }

  // ---- selection -------------------------------------------------------------
  void BeginSelect() { ++SelectUpdateCount; }
  // The outermost EndSelect raises OnSelectionChange.
  void EndSelect();
  // Also sets the bits of the triangle's three corners.
  void SelectTriangle(int32_t t, bool on);
  void SelectVertex(int32_t v, bool on);
  void ClearSelection();
  void ClearVertexSelection();
  bool IsTriangleSelected(int32_t t) const { return SelectedTriangles.Get(t); }
  bool IsVertexSelected(int32_t v) const { return SelectedVertices.Get(v); }
  // Selected items of the model as it is now.
  int SelectedTriangleCount() const;
  int SelectedVertexCount() const;

  // ---- visibility ------------------------------------------------------------
  void SetObjectVisible(int32_t o, bool visible);
  void HideObjectTree(int32_t o);
  void ShowObjectTree(int32_t o);
  void HideAllObjects();
  void ShowAllObjects();
  bool IsObjectVisible(int32_t o) const;
  bool IsTriangleVisible(int32_t t) const { return !HiddenTriangles.Get(t); }

  // ---- getters for the views (0, empty or null when not valid) ----------------
  int SceneCount() const;
  // Frames of the current scene.
  int FrameCount() const;
  int ObjectCount() const;
  int SkinCount() const;
  TMDLFrame* CurrentFrameObject() const;
  TMDLBitmap* CurrentSkinObject() const;
  TMDLObject* CurrentObjectObject() const;
  TPivot* CurrentPivot() const;
  std::string SceneName(int32_t s) const;
  std::string CurrentSceneName() const;
  std::string SkinName(int32_t k) const;
  std::string ObjectName(int32_t o) const;
  // Top and bottom colours of the first skin.
  uint8_t ShirtColor() const;
  uint8_t PantsColor() const;
  TSkinVertex SkinVertex(int32_t v) const;
  uint16_t VertexObject(int32_t v) const;
  std::string ModelFileName() const;

  // ---- undo and redo -----------------------------------------------------------
  // Where the editor is now, as a step keeps it.
  TEditorPlace CurrentPlace() const;
  bool CanUndo() const { return History.CanUndo(); }
  bool CanRedo() const { return History.CanRedo(); }
  // Put the model back by one step (forward by one step), with the scene,
  // frame, skin, object and selection of that time. The windows are told as
  // after a load; the model is modified unless it is back as last saved.
  // Raise EMDLError while Blocked, as GotoSceneFrame does.
  void Undo();
  void Redo();

  // ---- model lifecycle -------------------------------------------------------
  // Back to the empty model, without events of its own.
  void Reset();
  void LoadFromFile(const std::string& name);
  void SaveToFile(const std::string& name, bool withExtensions);
  void Clear();
  void NewFromBaseFrame(const std::string& name);
  void MergeModel(const std::string& name);

  // ---- editing commands (editor/EditCommands.cpp) ----------------------------
  // Frames and scenes.
  void DeleteFrame();
  void CopyFrame();
  void CutFrame();
  void PasteFrame();
  void DuplicateFrame(int n);
  void DeleteScene();
  void DuplicateScene(int n);
  bool MoveFrame(int fromScene, int fromFrame, int toScene, int toFrame);
  bool MoveScene(int from, int to);
  void SplitScene();
  void AppendSceneToPrevious();
  void RenumberScene();
  void SetSceneGrouped(bool grouped);
  // Objects.
  void NewObject();
  void DeleteObject();
  void AssignTrianglesToNewObject();
  void AssignVerticesToNewObject();
  void AssignTrianglesToObject(int32_t o);
  void AssignVerticesToObject(int32_t o);
  void ReassignObjectVertices(int32_t o);
  void RenameObject(int32_t i, const std::string& name);
  void ReconstructObjects();
  void ResetObjectPivots();
  // Changes the current object's pivot by `diff` (translation x, y, z,
  // rotation x, y, z, scale x, y, z) in the frames TransformScope chooses,
  // as TransformMode and TransformSubject say. Differences of at most 0.001
  // leave each frame's own value. Raises no event and leaves Modified to the
  // caller, which may apply many small changes in one drag.
  void TransformObject(const float diff[9]);
  void SelectObjectTriangles();
  void SelectObjectVertices();
  // Triangles and vertices.
  void DeleteSelectedTriangles();
  void DeleteSelectedVertices();
  void FlipSelectedTriangles();
  void AlignTriangles();
  void MakeTriangle();
  void MergeVertices();
  void SplitVertices();
  void AddVertex(const TVector& position, int32_t object);
  void MoveSkinVertices(int dx, int dy);
  void MoveSelectedSkinVertices(int dx, int dy);
  // Skins.
  int AddSkin();
  void ImportSkin(const std::string& fileName);
  void PasteSkin();
  void CopySkin();
  void CutSkin();
  void DeleteSkin();
  void MoveSkin(int from, int to);
  void SetShirtColor(uint8_t c);
  void SetPantsColor(uint8_t c);
  void SetSkinSize(int w, int h);
  void RearrangeObjectSkins();
  // Base frame.
  void RecalculateSkinVertices();
  TMDLFrame* ReconstructBaseFrame();

  // ---- frame import and scene lists (editor/SceneList.cpp) ---------------------
  // Geometry files become new frames in front of the current scene's first
  // frame, in list order, each named after its file (up to the first ".").
  // A batch raises the triangle-count mismatch notice once, with the count.
  void ImportFrame(const std::string& fileName);
  TFrameImportCount ImportFrames(const std::vector<std::string>& fileNames);
  // Writes the absolute current frame as geometry (format by extension).
  void ExportFrame(const std::string& fileName);
  // Writes the list file and one geometry file per frame beside it, named
  // after the list and the frame's flat number with `extension` (".DXF").
  void SaveScenes(const std::string& listFile, bool allScenes, const std::string& extension);
  // Appends the scenes a list file names; the geometry files are looked up
  // beside the list. Frames whose triangle count is not the model's come in
  // as copies of the first frame; the count tells how many.
  TFrameImportCount LoadScenes(const std::string& listFile);
  // One line per frame of the current scene: its duration, "%8.2f" with "."
  // whatever the locale. Fills and returns DurationList.
  const std::vector<std::string>& GetSceneDurations();
  // Line i is frame i's duration; every line is checked before any is used.
  void SetSceneDurations(const std::vector<std::string>& lines);

  // The hidden-triangle bits again from the hidden objects, for a triangle
  // list that had `oldTriangleCount` triangles before it changed.
  void RecomputeHiddenTriangles(int oldTriangleCount);

private:
  void RestoreStep(bool undo);
  void ApplyObjectTreeVisibility(int32_t o, bool visible);
  void ForEachSelectedVertex(const std::function<void(int)>& f) const;
  std::vector<bool> SelectedVertexMarks() const;
  bool Confirm(const std::string& text);
};

// Answers Blocked for as long as it lives, then puts the old value back.
class TEditorBlock {
public:
  explicit TEditorBlock(TMDLEditor& editor) : Editor_(editor), Old_(editor.Blocked) { editor.Blocked = true; }
  ~TEditorBlock() { Editor_.Blocked = Old_; }
  TEditorBlock(const TEditorBlock&) = delete;
  TEditorBlock& operator=(const TEditorBlock&) = delete;

private:
  TMDLEditor& Editor_;
  bool Old_;
};
