#pragma once
// The editor's undo history: one step for every change to the model, each
// with the short name the Edit menu shows ("Undo Delete Frame").
//
// A step is recorded before its change runs. It holds the model's state
// (mdl/MdlState.h) and where the editor was: scene, frame, skin, object and
// selection. Undo takes the model's state as it is then (what redo goes back
// to) and puts the step's state back; redo the other way round. Steps are
// opened and closed in pairs and may nest: a command run by another, or the
// many small changes of one drag, belong to the outermost step. A step whose
// change left the model as it was is dropped when it closes.
//
// States share whatever they have in common, so a step costs about what it
// changed. The history keeps within a memory budget by dropping its oldest
// steps; a step that alone costs more than the budget empties the history.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TMDLEditor;
class TMDLSkinState;
class TMDLState;
struct TMDLStateMemory;

// Where the editor is: what is current and what is selected.
struct TEditorPlace {
  int32_t Scene = 0;
  int32_t Frame = 0;
  int32_t Skin = 0;
  int32_t Object = 0;
  int32_t Triangle = -1;
  int32_t Vertex = -1;
  std::vector<int32_t> SelectedTriangles;
  std::vector<int32_t> SelectedVertices;
};

class TUndoHistory {
public:
  static constexpr size_t kDefaultBudget = size_t{256} << 20;

  explicit TUndoHistory(TMDLEditor& editor);
  ~TUndoHistory();
  TUndoHistory(const TUndoHistory&) = delete;
  TUndoHistory& operator=(const TUndoHistory&) = delete;

  // ---- recording
  // Opens a step named `name` (or joins the one open) and returns the token
  // End takes. `skin` >= 0 makes a step that only paints on that skin: it
  // keeps that skin alone. Nothing is opened while a step is being undone
  // or redone (the token is then 0).
  uint64_t Begin(const std::string& name, int skin = -1);
  // Closes what Begin opened; the outermost close keeps the step when the
  // model changed. A token from before Clear is ignored.
  void End(uint64_t token);
  bool Recording() const { return Depth_ > 0; }

  // ---- undo and redo (the editor's Undo and Redo tell the windows)
  bool CanUndo() const { return !Done_.empty() && Depth_ == 0 && !Restoring_; }
  bool CanRedo() const { return !Undone_.empty() && Depth_ == 0 && !Restoring_; }
  // The name of the step Undo (Redo) would take back (do again); empty
  // when there is none.
  std::string UndoName() const;
  std::string RedoName() const;
  int UndoCount() const { return static_cast<int>(Done_.size()); }
  int RedoCount() const { return static_cast<int>(Undone_.size()); }
  // Put the model back one step (forward one step) and give the place the
  // editor was at then. Only when CanUndo (CanRedo).
  TEditorPlace Undo();
  TEditorPlace Redo();

  // ---- life
  // Forgets every step (a model was loaded, made or closed). The model as
  // it is counts as the one in its file when `saved`.
  void Clear(bool saved = true);
  // The model as it is now is the one in its file.
  void MarkSaved();
  // Whether undo and redo have brought the model back to the one in its
  // file (as far as the history knows).
  bool AtSaved() const;

  // ---- memory
  size_t Budget() const { return Budget_; }
  // Drops the oldest steps until the rest fit.
  void SetBudget(size_t bytes);
  // What the steps hold now.
  size_t MemoryUsed() const;

  // Told after every change to what Undo and Redo would do.
  std::function<void()> OnChange;

private:
  struct TStep;
  void Trim();
  void DropOldest();
  void Changed();
  size_t PlaceBytes(const TEditorPlace& p) const;

  TMDLEditor& Editor_;
  std::shared_ptr<TMDLStateMemory> Memory_;
  // The model's most recent state: what the next one is taken against.
  std::shared_ptr<TMDLState> Latest_;
  std::deque<std::unique_ptr<TStep>> Done_;
  // The last one is the next to redo.
  std::vector<std::unique_ptr<TStep>> Undone_;
  std::unique_ptr<TStep> Open_;
  int Depth_ = 0;
  uint64_t Token_ = 0;
  uint64_t OpenToken_ = 0;
  bool Restoring_ = false;
  // Steps done when the model was as in its file; -1: no longer reachable.
  int64_t Saved_ = 0;
  size_t Budget_ = kDefaultBudget;
  // Memory of the steps' own lists and places.
  size_t StepBytes_ = 0;
};

// One step for as long as it lives: made before a change to the model.
class TUndoStep {
public:
  TUndoStep(TMDLEditor& editor, const std::string& name, int skin = -1);
  ~TUndoStep();
  TUndoStep(const TUndoStep&) = delete;
  TUndoStep& operator=(const TUndoStep&) = delete;
  // Lets go without closing (the editor is gone).
  void Dismiss() { Editor_ = nullptr; }

private:
  TMDLEditor* Editor_;
  uint64_t Token_;
};
