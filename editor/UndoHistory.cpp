#include "editor/UndoHistory.h"

#include <cstdint>

#include "editor/MDLEdit.h"
#include "mdl/MdlState.h"

struct TUndoHistory::TStep {
  std::string Name;
  // A step of the whole model...
  std::shared_ptr<TMDLState> Before;
  std::shared_ptr<TMDLState> After;
  // ... or of one skin.
  std::unique_ptr<TMDLSkinState> SkinBefore;
  std::unique_ptr<TMDLSkinState> SkinAfter;
  TEditorPlace PlaceBefore;
  TEditorPlace PlaceAfter;
  // What this step holds of its own, beside the shared sections.
  size_t Bytes = 0;
};

TUndoHistory::TUndoHistory(TMDLEditor& editor)
    : Editor_(editor), Memory_(std::make_shared<TMDLStateMemory>()) {}

TUndoHistory::~TUndoHistory() = default;

size_t TUndoHistory::PlaceBytes(const TEditorPlace& p) const {
  return sizeof p + (p.SelectedTriangles.capacity() + p.SelectedVertices.capacity()) * sizeof(int32_t);
}

// ---- recording ------------------------------------------------------------------------

uint64_t TUndoHistory::Begin(const std::string& name, int skin) {
  if (Restoring_) return 0;
  if (Depth_++ > 0) return OpenToken_;
  OpenToken_ = ++Token_;
  // A model changed since it was loaded or saved, with no step to show for
  // it, is not the one in its file at this point of the history.
  if (Saved_ == static_cast<int64_t>(Done_.size()) && Editor_.Modified) Saved_ = -1;
  TMDL& model = *Editor_.Model;
  std::unique_ptr<TStep> step;
  size_t added = 0;
  try {
    step = std::make_unique<TStep>();
    step->Name = name;
    const size_t before = Memory_->Bytes;
    if (skin >= 0 && skin < model.Skins->Count())
      step->SkinBefore = std::make_unique<TMDLSkinState>(model, skin, Memory_);
    else
      step->Before = std::make_shared<TMDLState>(model, Latest_.get(), nullptr, Memory_);
    // What this step costs: the sections it could not share.
    added = Memory_->Bytes - before;
    if (step->Before) Latest_ = step->Before;
    step->PlaceBefore = Editor_.CurrentPlace();
    step->Bytes = PlaceBytes(step->PlaceBefore) + (step->Before ? step->Before->ListBytes() : 0);
  } catch (const std::exception&) {
    // No memory for the copy: as for a step over the budget.
    added = SIZE_MAX;
  }
  if (added == SIZE_MAX || !step || added + step->Bytes > Budget_) {
    // More than the whole budget: the history gives way and the change runs
    // without a step (the step stays open, empty, for nested steps to join).
    step.reset();
    Done_.clear();
    Undone_.clear();
    Latest_.reset();
    StepBytes_ = 0;
    Saved_ = -1;
    Changed();
    return OpenToken_;
  }
  Open_ = std::move(step);
  return OpenToken_;
}

void TUndoHistory::End(uint64_t token) {
  if (token == 0 || token != OpenToken_ || Depth_ == 0) return;
  if (--Depth_ > 0) return;
  std::unique_ptr<TStep> step = std::move(Open_);
  if (!step) return;  // the history gave way to this step
  TMDL& model = *Editor_.Model;
  const bool unchanged = step->SkinBefore ? step->SkinBefore->Matches(model) : step->Before->Matches(model);
  if (unchanged) return;
  for (auto& s : Undone_) StepBytes_ -= s->Bytes;
  Undone_.clear();
  // The state saved last was in the steps just dropped.
  if (Saved_ > static_cast<int64_t>(Done_.size())) Saved_ = -1;
  StepBytes_ += step->Bytes;
  Done_.push_back(std::move(step));
  Trim();
  Changed();
}

// ---- undo and redo ---------------------------------------------------------------------

std::string TUndoHistory::UndoName() const { return Done_.empty() ? std::string() : Done_.back()->Name; }

std::string TUndoHistory::RedoName() const { return Undone_.empty() ? std::string() : Undone_.back()->Name; }

namespace {

// Set for as long as it lives, or until cleared.
struct TFlag {
  explicit TFlag(bool& flag) : Flag(flag) { Flag = true; }
  ~TFlag() { Flag = false; }
  bool& Flag;
};

}  // namespace

TEditorPlace TUndoHistory::Undo() {
  if (!CanUndo()) return Editor_.CurrentPlace();
  TFlag restoring(Restoring_);
  // Taken off the list only once it has been undone: a failure (no memory
  // for the model's state) leaves it where it was.
  TStep* const step = Done_.back().get();
  TMDL& model = *Editor_.Model;
  step->PlaceAfter = Editor_.CurrentPlace();
  if (step->SkinBefore) {
    step->SkinAfter = std::make_unique<TMDLSkinState>(model, step->SkinBefore->Skin(), Memory_);
    step->SkinBefore->RestoreTo(model);
  } else {
    // The model as it is, for redo: what it shares with the state to go
    // back to stays where it is.
    auto now = std::make_shared<TMDLState>(model, step->Before.get(), step->After.get(), Memory_);
    step->Before = step->Before->RestoreTo(model, *now);
    step->After = std::move(now);
    Latest_ = step->Before;
  }
  StepBytes_ -= step->Bytes;
  step->Bytes = PlaceBytes(step->PlaceBefore) + PlaceBytes(step->PlaceAfter) +
                (step->Before ? step->Before->ListBytes() : 0) + (step->After ? step->After->ListBytes() : 0);
  StepBytes_ += step->Bytes;
  TEditorPlace place = step->PlaceBefore;
  Undone_.push_back(std::move(Done_.back()));
  Done_.pop_back();
  // Done: the windows told of the change may ask what to undo next.
  Restoring_ = false;
  Trim();
  Changed();
  return place;
}

TEditorPlace TUndoHistory::Redo() {
  if (!CanRedo()) return Editor_.CurrentPlace();
  TFlag restoring(Restoring_);
  TStep* const step = Undone_.back().get();
  TMDL& model = *Editor_.Model;
  step->PlaceBefore = Editor_.CurrentPlace();
  if (step->SkinAfter) {
    step->SkinBefore = std::make_unique<TMDLSkinState>(model, step->SkinAfter->Skin(), Memory_);
    step->SkinAfter->RestoreTo(model);
  } else {
    auto now = std::make_shared<TMDLState>(model, step->After.get(), step->Before.get(), Memory_);
    step->After = step->After->RestoreTo(model, *now);
    step->Before = std::move(now);
    Latest_ = step->After;
  }
  StepBytes_ -= step->Bytes;
  step->Bytes = PlaceBytes(step->PlaceBefore) + PlaceBytes(step->PlaceAfter) +
                (step->Before ? step->Before->ListBytes() : 0) + (step->After ? step->After->ListBytes() : 0);
  StepBytes_ += step->Bytes;
  TEditorPlace place = step->PlaceAfter;
  Done_.push_back(std::move(Undone_.back()));
  Undone_.pop_back();
  Restoring_ = false;
  Trim();
  Changed();
  return place;
}

// ---- life --------------------------------------------------------------------------------

void TUndoHistory::Clear(bool saved) {
  Done_.clear();
  Undone_.clear();
  Open_.reset();
  Latest_.reset();
  // A step still open belongs to the model that is gone: its close is
  // ignored (the token no longer matches).
  Depth_ = 0;
  OpenToken_ = ++Token_;
  StepBytes_ = 0;
  Saved_ = saved ? 0 : -1;
  Changed();
}

void TUndoHistory::MarkSaved() {
  Saved_ = static_cast<int64_t>(Done_.size());
  Changed();
}

bool TUndoHistory::AtSaved() const { return Saved_ == static_cast<int64_t>(Done_.size()); }

// ---- memory ------------------------------------------------------------------------------

size_t TUndoHistory::MemoryUsed() const { return Memory_->Bytes + StepBytes_; }

void TUndoHistory::SetBudget(size_t bytes) {
  Budget_ = bytes;
  Trim();
  Changed();
}

void TUndoHistory::DropOldest() {
  StepBytes_ -= Done_.front()->Bytes;
  Done_.pop_front();
  Saved_ = Saved_ > 0 ? Saved_ - 1 : -1;
}

void TUndoHistory::Trim() {
  // The oldest steps go first, then the redo steps farthest away. The
  // newest step and the model's latest state stay: the next step is taken
  // against that, and it holds what the newest step's undo needs anyway.
  while (MemoryUsed() > Budget_ && Done_.size() > 1) DropOldest();
  while (MemoryUsed() > Budget_ && !Undone_.empty()) {
    StepBytes_ -= Undone_.front()->Bytes;
    Undone_.erase(Undone_.begin());
  }
}

void TUndoHistory::Changed() {
  if (OnChange) OnChange();
}

// ---- TUndoStep -----------------------------------------------------------------------------

TUndoStep::TUndoStep(TMDLEditor& editor, const std::string& name, int skin)
    : Editor_(&editor), Token_(editor.History.Begin(name, skin)) {}

TUndoStep::~TUndoStep() {
  if (!Editor_) return;
  try {
    Editor_->History.End(Token_);
  } catch (...) {
    // Comparing a state only reads; a failure here loses this step alone.
  }
}
