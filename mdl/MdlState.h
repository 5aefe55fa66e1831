#pragma once
// The state of a model at one moment, and the way back to it: the undo
// history keeps states, and the model is put back into one on undo or redo.
//
// A state holds copies of every section of the model: its own values, the
// header values, the mesh, the objects, every scene with its frames and
// every skin group with its skins (the frame clipboard and the file name
// are not part of it). The classes copy themselves member by member (see
// mdl/MdlCopy.h), so a member added to a section is part of the state
// without being listed here.
//
// A state taken after another shares with it every section that is equal
// to the one it held (frames and skins compare to the bit), so a state
// costs only what changed in between. Sections are never changed once in a
// state.

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

class TMDL;
class TMDLBitmap;
class TMDLBitmapGroup;
class TMDLBitmapList;
class TMDLFrame;
class TMDLFrameGroup;
class TMDLFrameList;
class TMDLObject;
class TMDLTriangleList;
class TMDLVertexList;
struct TMDLHeaderValues;

// The memory held by the sections of a family of states (those of one
// history), counted as sections are made and freed.
struct TMDLStateMemory {
  size_t Bytes = 0;
};

class TMDLState {
public:
  // The model's state now. Sections equal to those of `base` (an earlier
  // state of the same model, or null) are shared with it, and failing that
  // with those of `other` (or null); new sections count in `memory`.
  // Pivots a frame would make on first use are made first: they refer to
  // the model's objects, which the state outlives.
  TMDLState(TMDL& model, const TMDLState* base, const TMDLState* other, std::shared_ptr<TMDLStateMemory> memory);
  TMDLState(TMDL& model, const TMDLState* base, std::shared_ptr<TMDLStateMemory> memory)
      : TMDLState(model, base, nullptr, std::move(memory)) {}
  TMDLState(const TMDLState&);
  ~TMDLState();
  TMDLState& operator=(const TMDLState&) = delete;

  // Whether the model is in this state, every section equal.
  bool Matches(TMDL& model) const;
  // Puts the model into this state. `now` is the model's state as it is,
  // taken with this state as its base: what the two share stays as it is,
  // and frames and skins of the model equal to this state's are kept, not
  // copied. Returns the state the model is in afterwards (this one's
  // sections, at the model's new frames and skins).
  std::shared_ptr<TMDLState> RestoreTo(TMDL& model, const TMDLState& now) const;

  // Memory of the state's own lists (its sections count in the memory).
  size_t ListBytes() const;
  // How many of the state's frames and skins are shared with `other`.
  int SharedFrames(const TMDLState& other) const;
  int SharedSkins(const TMDLState& other) const;

private:
  friend class TMDLSkinState;
  template <class T>
  struct TPiece;
  template <class T>
  using TRef = std::shared_ptr<const TPiece<T>>;
  struct TObjects;
  struct TFrameEntry {
    TRef<TMDLFrame> Piece;
    const TMDLFrame* Place = nullptr;
  };
  struct TSceneEntry {
    TRef<TMDLFrameGroup> Shell;
    const TMDLFrameGroup* Place = nullptr;
    std::vector<TFrameEntry> Frames;
  };
  struct TSkinEntry {
    TRef<TMDLBitmap> Piece;
    const TMDLBitmap* Place = nullptr;
  };
  struct TSkinGroupEntry {
    TRef<TMDLBitmapGroup> Shell;
    const TMDLBitmapGroup* Place = nullptr;
    std::vector<TSkinEntry> Skins;
  };

  template <class T>
  TRef<T> Share(const T& live, const TRef<T>& before, const TRef<T>& other = nullptr) const;
  std::shared_ptr<const TObjects> ShareObjects(TMDL& model, const TMDLState* base, const TMDLState* other) const;
  bool SameFrameLayout(const TMDLState& now) const;
  bool SameSkinLayout(const TMDLState& now) const;
  void RestoreObjects(TMDL& model) const;
  void RestoreFrames(TMDL& model, const TMDLState& now, TMDLState& result) const;
  void RestoreSkins(TMDL& model, const TMDLState& now, TMDLState& result) const;
  static void RelinkPivots(TMDL& model);

  std::shared_ptr<TMDLStateMemory> Memory_;
  TRef<TMDL> Model_;
  TRef<TMDLHeaderValues> Header_;
  TRef<TMDLVertexList> Vertices_;
  TRef<TMDLTriangleList> Triangles_;
  std::shared_ptr<const TObjects> Objects_;
  TRef<TMDLFrameList> FrameList_;
  std::vector<TSceneEntry> Scenes_;
  TRef<TMDLBitmapList> SkinList_;
  std::vector<TSkinGroupEntry> SkinGroups_;
};

// One skin's state, for the steps that only paint on one skin: it costs
// that skin, whatever the size of the rest of the model.
class TMDLSkinState {
public:
  TMDLSkinState(TMDL& model, int skin, std::shared_ptr<TMDLStateMemory> memory);
  ~TMDLSkinState();
  int Skin() const { return Skin_; }
  bool Matches(TMDL& model) const;
  // Puts the skin back; false (and nothing changes) when the model has no
  // skin at that place any more.
  bool RestoreTo(TMDL& model) const;

private:
  int Skin_;
  std::shared_ptr<const TMDLState::TPiece<TMDLBitmap>> Piece_;
};
