#include "mdl/MdlState.h"

#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "mdl/Mdl.h"

namespace {

// What a section costs in memory, roughly: its object and what it owns.
size_t BytesOf(const TMDL& m) { return sizeof m + m.FileName.capacity(); }
size_t BytesOf(const TMDLHeaderValues& h) { return sizeof h; }
size_t BytesOf(const TMDLVertexList& v) {
  return sizeof v + static_cast<size_t>(v.Capacity()) * (sizeof(TSkinVertex) + sizeof(uint16_t));
}
size_t BytesOf(const TMDLTriangleList& t) { return sizeof t + static_cast<size_t>(t.Capacity()) * sizeof(TTriangle); }
size_t BytesOf(const TMDLFrame& f) {
  // Packed positions are the loaded file's, shared with the model.
  return sizeof f + (f.Packed() ? 0 : static_cast<size_t>(f.Capacity()) * sizeof(TFrameVertex)) +
         static_cast<size_t>(f.PivotCount()) * (sizeof(TPivot) + sizeof(void*));
}
size_t BytesOf(const TMDLFrameGroup& g) {
  return sizeof g + static_cast<size_t>(g.Intervals.Size()) * sizeof(float);
}
size_t BytesOf(const TMDLFrameList& l) { return sizeof l + static_cast<size_t>(l.Count()) * sizeof(TFlatEntry); }
size_t BytesOf(const TMDLBitmap& b) {
  return sizeof b + b.Name.capacity() + sizeof(TPaletteObject) +
         static_cast<size_t>(std::max(b.Image.Stride(), 0)) * static_cast<size_t>(std::max(b.Image.GetHeight(), 0));
}
size_t BytesOf(const TMDLBitmapGroup& g) {
  return sizeof g + static_cast<size_t>(g.Intervals.Size()) * sizeof(float);
}
size_t BytesOf(const TMDLBitmapList& l) { return sizeof l + static_cast<size_t>(l.Count()) * sizeof(TFlatEntry); }
size_t BytesOf(const TMDLObject& o) {
  size_t n = sizeof o + o.Name.capacity() + o.Children.capacity() * sizeof(void*) +
             (o.TriangleIndices.capacity() + o.VertexIndices.capacity()) * sizeof(int32_t);
  for (const std::string& s : o.JointNames) n += s.capacity();
  return n;
}

// The plain vector inside a list its owner's copies leave alone.
template <class T>
std::vector<std::unique_ptr<T>>& Items(TNotCopied<std::vector<std::unique_ptr<T>>>& list) {
  return list;
}

}  // namespace

// ---- sections ---------------------------------------------------------------------

template <class T>
struct TMDLState::TPiece {
  TPiece(const T& live, std::shared_ptr<TMDLStateMemory> memory) : Value(live), Memory(std::move(memory)) {
    Bytes = BytesOf(Value);
    Memory->Bytes += Bytes;
  }
  ~TPiece() { Memory->Bytes -= Bytes; }
  TPiece(const TPiece&) = delete;
  TPiece& operator=(const TPiece&) = delete;

  const T Value;
  std::shared_ptr<TMDLStateMemory> Memory;
  size_t Bytes = 0;
};

// The objects in one piece: their tree links point at the objects they were
// copied from (Places), which is also what lets a model whose objects are
// still those compare equal.
struct TMDLState::TObjects {
  TObjects(const TMDLObjectList& list, std::shared_ptr<TMDLStateMemory> memory)
      : Shell(list), Memory(std::move(memory)) {
    Items.reserve(list.Items_.size());
    Places.reserve(list.Items_.size());
    Bytes = sizeof *this;
    for (const auto& o : list.Items_) {
      Items.push_back(std::unique_ptr<TMDLObject>(new TMDLObject(*o)));
      Places.push_back(o.get());
      Bytes += BytesOf(*o) + 2 * sizeof(void*);
    }
    Memory->Bytes += Bytes;
  }
  ~TObjects() {
    Memory->Bytes -= Bytes;
    // Copied links point outside; nothing here owns them.
    for (auto& o : Items) o->Children.clear();
  }
  TObjects(const TObjects&) = delete;
  TObjects& operator=(const TObjects&) = delete;

  // Whether the list's objects equal these, their links going to the
  // objects at the same places.
  bool Equals(const TMDLObjectList& list) const {
    if (!(Shell == list) || Items.size() != list.Items_.size()) return false;
    std::unordered_map<const TMDLObject*, TMDLObject*> places;
    bool same = true;
    for (size_t i = 0; i < Items.size(); ++i) {
      places.emplace(list.Items_[i].get(), const_cast<TMDLObject*>(Places[i]));
      same = same && list.Items_[i].get() == Places[i];
    }
    if (same) {
      // The very objects these were copied from: compared as they are.
      for (size_t i = 0; i < Items.size(); ++i)
        if (!(*Items[i] == *list.Items_[i])) return false;
      return true;
    }
    // Objects made again since (by a restore): their links are put in
    // these objects' terms first.
    const auto place = [&places](TMDLObject* o) -> TMDLObject* {
      if (!o) return nullptr;
      const auto it = places.find(o);
      return it != places.end() ? it->second : o;
    };
    for (size_t i = 0; i < Items.size(); ++i) {
      TMDLObject live(*list.Items_[i]);
      live.Parent = place(live.Parent);
      for (TMDLObject*& c : live.Children) c = place(c);
      const bool equal = *Items[i] == live;
      live.Children.clear();
      if (!equal) return false;
    }
    return true;
  }

  const TMDLObjectList Shell;
  std::vector<std::unique_ptr<TMDLObject>> Items;
  std::vector<const TMDLObject*> Places;
  std::shared_ptr<TMDLStateMemory> Memory;
  size_t Bytes = 0;
};

template <class T>
TMDLState::TRef<T> TMDLState::Share(const T& live, const TRef<T>& before, const TRef<T>& other) const {
  if (before && before->Value == live) return before;
  if (other && other != before && other->Value == live) return other;
  return std::make_shared<const TPiece<T>>(live, Memory_);
}

std::shared_ptr<const TMDLState::TObjects> TMDLState::ShareObjects(TMDL& model, const TMDLState* base,
                                                                   const TMDLState* other) const {
  for (const TMDLState* s : {base, other})
    if (s && s->Objects_ && s->Objects_->Equals(*model.Objects)) return s->Objects_;
  return std::make_shared<const TObjects>(*model.Objects, Memory_);
}

// ---- taking a state -----------------------------------------------------------------

namespace {

// The entries of one or two earlier states by where their sections were in
// the model: one that moved is still found, and one freed and made again
// at the same address is caught by the comparison. The first state's
// entries come first.
template <class Place, class Entry>
struct TPlaces {
  std::unordered_map<const Place*, const Entry*> First, Second;
  const Entry* Find(const Place* p, bool second) const {
    const auto& map = second ? Second : First;
    const auto it = map.find(p);
    return it != map.end() ? it->second : nullptr;
  }
};

}  // namespace

TMDLState::TMDLState(TMDL& model, const TMDLState* base, const TMDLState* other,
                     std::shared_ptr<TMDLStateMemory> memory)
    : Memory_(std::move(memory)) {
  const auto pick = [&](auto member) {
    using R = std::remove_cvref_t<decltype(base->*member)>;
    return std::pair<R, R>(base ? base->*member : nullptr, other ? other->*member : nullptr);
  };
  {
    const auto [b, o] = pick(&TMDLState::Model_);
    Model_ = Share(model, b, o);
  }
  {
    const auto [b, o] = pick(&TMDLState::Header_);
    Header_ = Share<TMDLHeaderValues>(*model.Header, b, o);
  }
  {
    const auto [b, o] = pick(&TMDLState::Vertices_);
    Vertices_ = Share(*model.Vertices, b, o);
  }
  {
    const auto [b, o] = pick(&TMDLState::Triangles_);
    Triangles_ = Share(*model.Triangles, b, o);
  }
  Objects_ = ShareObjects(model, base, other);

  TPlaces<TMDLFrame, TFrameEntry> frames;
  TPlaces<TMDLFrameGroup, TSceneEntry> scenes;
  for (const TMDLState* s : {base, other}) {
    if (!s) continue;
    const bool second = s == other;
    for (const TSceneEntry& e : s->Scenes_) {
      (second ? scenes.Second : scenes.First).emplace(e.Place, &e);
      for (const TFrameEntry& f : e.Frames) (second ? frames.Second : frames.First).emplace(f.Place, &f);
    }
  }
  TMDLFrameList& list = *model.Frames;
  {
    const auto [b, o] = pick(&TMDLState::FrameList_);
    FrameList_ = Share(list, b, o);
  }
  Scenes_.reserve(list.Scenes_.size());
  for (const auto& group : list.Scenes_) {
    TSceneEntry entry;
    entry.Place = group.get();
    const TSceneEntry* s1 = scenes.Find(group.get(), false);
    const TSceneEntry* s2 = scenes.Find(group.get(), true);
    entry.Shell = Share(*group, s1 ? s1->Shell : nullptr, s2 ? s2->Shell : nullptr);
    entry.Frames.reserve(group->Frames_.size());
    for (const auto& frame : group->Frames_) {
      if (frame->PivotCount() > 0) frame->Pivot(0);
      const TFrameEntry* f1 = frames.Find(frame.get(), false);
      const TFrameEntry* f2 = frames.Find(frame.get(), true);
      entry.Frames.push_back({Share(*frame, f1 ? f1->Piece : nullptr, f2 ? f2->Piece : nullptr), frame.get()});
    }
    Scenes_.push_back(std::move(entry));
  }

  TPlaces<TMDLBitmap, TSkinEntry> skins;
  TPlaces<TMDLBitmapGroup, TSkinGroupEntry> groups;
  for (const TMDLState* s : {base, other}) {
    if (!s) continue;
    const bool second = s == other;
    for (const TSkinGroupEntry& e : s->SkinGroups_) {
      (second ? groups.Second : groups.First).emplace(e.Place, &e);
      for (const TSkinEntry& k : e.Skins) (second ? skins.Second : skins.First).emplace(k.Place, &k);
    }
  }
  TMDLBitmapList& skinList = *model.Skins;
  {
    const auto [b, o] = pick(&TMDLState::SkinList_);
    SkinList_ = Share(skinList, b, o);
  }
  SkinGroups_.reserve(skinList.Groups_.size());
  for (const auto& group : skinList.Groups_) {
    TSkinGroupEntry entry;
    entry.Place = group.get();
    const TSkinGroupEntry* g1 = groups.Find(group.get(), false);
    const TSkinGroupEntry* g2 = groups.Find(group.get(), true);
    entry.Shell = Share(*group, g1 ? g1->Shell : nullptr, g2 ? g2->Shell : nullptr);
    entry.Skins.reserve(group->Bitmaps_.size());
    for (const auto& skin : group->Bitmaps_) {
      const TSkinEntry* k1 = skins.Find(skin.get(), false);
      const TSkinEntry* k2 = skins.Find(skin.get(), true);
      entry.Skins.push_back({Share(*skin, k1 ? k1->Piece : nullptr, k2 ? k2->Piece : nullptr), skin.get()});
    }
    SkinGroups_.push_back(std::move(entry));
  }
}

TMDLState::TMDLState(const TMDLState&) = default;
TMDLState::~TMDLState() = default;

size_t TMDLState::ListBytes() const {
  size_t n = sizeof *this + Scenes_.capacity() * sizeof(TSceneEntry) + SkinGroups_.capacity() * sizeof(TSkinGroupEntry);
  for (const TSceneEntry& s : Scenes_) n += s.Frames.capacity() * sizeof(TFrameEntry);
  for (const TSkinGroupEntry& g : SkinGroups_) n += g.Skins.capacity() * sizeof(TSkinEntry);
  return n;
}

int TMDLState::SharedFrames(const TMDLState& other) const {
  std::unordered_map<const void*, int> mine;
  for (const TSceneEntry& s : Scenes_)
    for (const TFrameEntry& f : s.Frames) ++mine[f.Piece.get()];
  int n = 0;
  for (const TSceneEntry& s : other.Scenes_)
    for (const TFrameEntry& f : s.Frames) n += mine.count(f.Piece.get()) ? 1 : 0;
  return n;
}

int TMDLState::SharedSkins(const TMDLState& other) const {
  std::unordered_map<const void*, int> mine;
  for (const TSkinGroupEntry& g : SkinGroups_)
    for (const TSkinEntry& k : g.Skins) ++mine[k.Piece.get()];
  int n = 0;
  for (const TSkinGroupEntry& g : other.SkinGroups_)
    for (const TSkinEntry& k : g.Skins) n += mine.count(k.Piece.get()) ? 1 : 0;
  return n;
}

// ---- comparing ------------------------------------------------------------------------

bool TMDLState::Matches(TMDL& model) const {
  if (!(Model_->Value == model) || !(Header_->Value == static_cast<const TMDLHeaderValues&>(*model.Header)) ||
      !(Vertices_->Value == *model.Vertices) || !(Triangles_->Value == *model.Triangles) ||
      !Objects_->Equals(*model.Objects))
    return false;
  const TMDLFrameList& list = *model.Frames;
  if (!(FrameList_->Value == list) || list.Scenes_.size() != Scenes_.size()) return false;
  for (size_t s = 0; s < Scenes_.size(); ++s) {
    const TMDLFrameGroup& group = *list.Scenes_[s];
    const TSceneEntry& entry = Scenes_[s];
    if (!(entry.Shell->Value == group) || group.Frames_.size() != entry.Frames.size()) return false;
    for (size_t i = 0; i < entry.Frames.size(); ++i)
      if (!(entry.Frames[i].Piece->Value == *group.Frames_[i])) return false;
  }
  const TMDLBitmapList& skins = *model.Skins;
  if (!(SkinList_->Value == skins) || skins.Groups_.size() != SkinGroups_.size()) return false;
  for (size_t g = 0; g < SkinGroups_.size(); ++g) {
    const TMDLBitmapGroup& group = *skins.Groups_[g];
    const TSkinGroupEntry& entry = SkinGroups_[g];
    if (!(entry.Shell->Value == group) || group.Bitmaps_.size() != entry.Skins.size()) return false;
    for (size_t i = 0; i < entry.Skins.size(); ++i)
      if (!(entry.Skins[i].Piece->Value == *group.Bitmaps_[i])) return false;
  }
  return true;
}

// ---- restoring --------------------------------------------------------------------------

bool TMDLState::SameFrameLayout(const TMDLState& now) const {
  if (Scenes_.size() != now.Scenes_.size()) return false;
  for (size_t s = 0; s < Scenes_.size(); ++s) {
    const auto& a = Scenes_[s].Frames;
    const auto& b = now.Scenes_[s].Frames;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i].Piece != b[i].Piece) return false;
  }
  return true;
}

bool TMDLState::SameSkinLayout(const TMDLState& now) const {
  if (SkinGroups_.size() != now.SkinGroups_.size()) return false;
  for (size_t g = 0; g < SkinGroups_.size(); ++g) {
    const auto& a = SkinGroups_[g].Skins;
    const auto& b = now.SkinGroups_[g].Skins;
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
      if (a[i].Piece != b[i].Piece) return false;
  }
  return true;
}

std::shared_ptr<TMDLState> TMDLState::RestoreTo(TMDL& model, const TMDLState& now) const {
  auto result = std::make_shared<TMDLState>(*this);
  if (now.Model_ != Model_) {
    // The file the model belongs to is not part of its state.
    std::string fileName = std::move(model.FileName);
    model = Model_->Value;
    model.FileName = std::move(fileName);
  }
  if (now.Header_ != Header_) static_cast<TMDLHeaderValues&>(*model.Header) = Header_->Value;
  if (now.Vertices_ != Vertices_) *model.Vertices = Vertices_->Value;
  if (now.Triangles_ != Triangles_) *model.Triangles = Triangles_->Value;
  const bool objects = now.Objects_ != Objects_;
  if (objects) RestoreObjects(model);

  const bool frames = !SameFrameLayout(now);
  if (frames) {
    RestoreFrames(model, now, *result);
  } else {
    // The same frames: only scenes whose own values changed are set.
    for (size_t s = 0; s < Scenes_.size(); ++s)
      if (Scenes_[s].Shell != now.Scenes_[s].Shell) *model.Frames->Scenes_[s] = Scenes_[s].Shell->Value;
  }
  if (now.FrameList_ != FrameList_) *model.Frames = FrameList_->Value;

  if (!SameSkinLayout(now)) {
    RestoreSkins(model, now, *result);
  } else {
    for (size_t g = 0; g < SkinGroups_.size(); ++g)
      if (SkinGroups_[g].Shell != now.SkinGroups_[g].Shell) *model.Skins->Groups_[g] = SkinGroups_[g].Shell->Value;
  }
  if (now.SkinList_ != SkinList_) *model.Skins = SkinList_->Value;

  if (objects || frames) RelinkPivots(model);
  return result;
}

void TMDLState::RestoreObjects(TMDL& model) const {
  TMDLObjectList& list = *model.Objects;
  const TObjects& piece = *Objects_;
  std::vector<std::unique_ptr<TMDLObject>> items;
  items.reserve(piece.Items.size());
  std::unordered_map<const TMDLObject*, TMDLObject*> copies;
  for (size_t i = 0; i < piece.Items.size(); ++i) {
    items.push_back(std::unique_ptr<TMDLObject>(new TMDLObject(*piece.Items[i])));
    copies.emplace(piece.Places[i], items.back().get());
  }
  // The copies' links point at the objects they were copied from; they
  // point at each other now.
  for (auto& o : items) {
    const auto p = copies.find(o->Parent);
    o->Parent = p != copies.end() ? p->second : nullptr;
    TObjectList children;
    for (TMDLObject* c : o->Children)
      if (const auto k = copies.find(c); k != copies.end()) children.push_back(k->second);
    o->Children = std::move(children);
  }
  {
    std::vector<std::unique_ptr<TMDLObject>> old = std::move(Items(list.Items_));
    Items(list.Items_).clear();
    for (auto& o : old) o->Children.clear();
  }
  list = piece.Shell;
  Items(list.Items_) = std::move(items);
}

void TMDLState::RestoreFrames(TMDL& model, const TMDLState& now, TMDLState& result) const {
  TMDLFrameList& list = *model.Frames;
  std::vector<std::unique_ptr<TMDLFrameGroup>> old = std::move(Items(list.Scenes_));
  Items(list.Scenes_).clear();
  // The model's frames by the section they equal (`now` was taken of them,
  // in this order); those this state holds are kept rather than copied.
  std::unordered_map<const void*, std::vector<std::unique_ptr<TMDLFrame>>> spare;
  if (old.size() == now.Scenes_.size())
    for (size_t s = 0; s < old.size(); ++s) {
      auto& frames = Items(old[s]->Frames_);
      const auto& entries = now.Scenes_[s].Frames;
      if (frames.size() != entries.size()) continue;
      for (size_t i = 0; i < frames.size(); ++i) spare[entries[i].Piece.get()].push_back(std::move(frames[i]));
    }
  std::vector<std::unique_ptr<TMDLFrameGroup>> scenes;
  scenes.reserve(Scenes_.size());
  for (size_t s = 0; s < Scenes_.size(); ++s) {
    const TSceneEntry& entry = Scenes_[s];
    auto group = std::unique_ptr<TMDLFrameGroup>(new TMDLFrameGroup(entry.Shell->Value));
    auto& frames = Items(group->Frames_);
    frames.reserve(entry.Frames.size());
    for (size_t i = 0; i < entry.Frames.size(); ++i) {
      std::unique_ptr<TMDLFrame> frame;
      const auto k = spare.find(entry.Frames[i].Piece.get());
      if (k != spare.end() && !k->second.empty()) {
        frame = std::move(k->second.back());
        k->second.pop_back();
      } else {
        frame = std::make_unique<TMDLFrame>(entry.Frames[i].Piece->Value);
      }
      result.Scenes_[s].Frames[i].Place = frame.get();
      frames.push_back(std::move(frame));
    }
    result.Scenes_[s].Place = group.get();
    scenes.push_back(std::move(group));
  }
  Items(list.Scenes_) = std::move(scenes);
}

void TMDLState::RestoreSkins(TMDL& model, const TMDLState& now, TMDLState& result) const {
  TMDLBitmapList& list = *model.Skins;
  std::vector<std::unique_ptr<TMDLBitmapGroup>> old = std::move(Items(list.Groups_));
  Items(list.Groups_).clear();
  std::unordered_map<const void*, std::vector<std::unique_ptr<TMDLBitmap>>> spare;
  if (old.size() == now.SkinGroups_.size())
    for (size_t g = 0; g < old.size(); ++g) {
      auto& skins = Items(old[g]->Bitmaps_);
      const auto& entries = now.SkinGroups_[g].Skins;
      if (skins.size() != entries.size()) continue;
      for (size_t i = 0; i < skins.size(); ++i) spare[entries[i].Piece.get()].push_back(std::move(skins[i]));
    }
  std::vector<std::unique_ptr<TMDLBitmapGroup>> groups;
  groups.reserve(SkinGroups_.size());
  for (size_t g = 0; g < SkinGroups_.size(); ++g) {
    const TSkinGroupEntry& entry = SkinGroups_[g];
    auto group = std::unique_ptr<TMDLBitmapGroup>(new TMDLBitmapGroup(entry.Shell->Value));
    auto& skins = Items(group->Bitmaps_);
    skins.reserve(entry.Skins.size());
    for (size_t i = 0; i < entry.Skins.size(); ++i) {
      std::unique_ptr<TMDLBitmap> skin;
      const auto k = spare.find(entry.Skins[i].Piece.get());
      if (k != spare.end() && !k->second.empty()) {
        skin = std::move(k->second.back());
        k->second.pop_back();
      } else {
        skin = std::make_unique<TMDLBitmap>(entry.Skins[i].Piece->Value);
      }
      result.SkinGroups_[g].Skins[i].Place = skin.get();
      skins.push_back(std::move(skin));
    }
    result.SkinGroups_[g].Place = group.get();
    groups.push_back(std::move(group));
  }
  Items(list.Groups_) = std::move(groups);
}

void TMDLState::RelinkPivots(TMDL& model) {
  // A pivot tells the object of its own index when it changes; copies of
  // pivots still name the objects they were copied with.
  TMDLObjectList& objects = *model.Objects;
  const auto relink = [&objects](TMDLFrame& frame) {
    for (int o = 0; o < frame.PivotCount(); ++o) {
      TPivot& p = frame.Pivot(o);
      if (!p.OnChange) continue;
      if (o < objects.Count()) {
        TMDLObject* object = &objects.Object(o);
        p.OnChange = [object](TPivot& changed) { object->PivotChanged(changed); };
      } else {
        p.OnChange = nullptr;
      }
    }
  };
  TMDLFrameList& frames = *model.Frames;
  for (const auto& group : frames.Scenes_)
    for (const auto& frame : group->Frames_) relink(*frame);
  if (frames.CopiedFrame) relink(*frames.CopiedFrame);
}

// ---- one skin ----------------------------------------------------------------------------

TMDLSkinState::TMDLSkinState(TMDL& model, int skin, std::shared_ptr<TMDLStateMemory> memory)
    : Skin_(skin),
      Piece_(std::make_shared<const TMDLState::TPiece<TMDLBitmap>>(model.Skins->Skin(skin), std::move(memory))) {}

TMDLSkinState::~TMDLSkinState() = default;

bool TMDLSkinState::Matches(TMDL& model) const {
  return Skin_ >= 0 && Skin_ < model.Skins->Count() && Piece_->Value == model.Skins->Skin(Skin_);
}

bool TMDLSkinState::RestoreTo(TMDL& model) const {
  if (Skin_ < 0 || Skin_ >= model.Skins->Count()) return false;
  model.Skins->Skin(Skin_) = Piece_->Value;
  return true;
}
