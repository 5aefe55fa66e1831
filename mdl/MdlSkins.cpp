#include "mdl/MdlSkins.h"

#include <algorithm>
#include <cstring>

#include "mdl/Mdl.h"
#include "raster/ColorTables.h"

// ---- TSkinImage ------------------------------------------------------------------

bool operator==(const TSkinImage& a, const TSkinImage& b) {
  if (&a == &b) return true;
  static_assert(sizeof(TBitmapInfoHeader) == kBitmapInfoHeaderSize, "the header is compared as bytes");
  if (std::memcmp(&a.Header(), &b.Header(), sizeof(TBitmapInfoHeader)) != 0) return false;
  if (std::memcmp(a.ColorTable(), b.ColorTable(), kColorTableSize) != 0) return false;
  const size_t bytes = static_cast<size_t>(std::max(a.Stride(), 0)) * static_cast<size_t>(std::max(a.GetHeight(), 0));
  if (bytes > 0 && std::memcmp(a.Bits(), b.Bits(), bytes) != 0) return false;
  // Palette objects never change: the same object, or the same colours.
  const TPaletteHandle& pa = a.GetPalette();
  const TPaletteHandle& pb = b.GetPalette();
  if (pa == pb) return true;
  if (!pa || !pb || pa->Count() != pb->Count()) return false;
  for (int i = 0; i < pa->Count(); ++i)
    if (!(pa->Entry(i) == pb->Entry(i))) return false;
  return true;
}

// ---- TMDLBitmap -----------------------------------------------------------------

TMDLBitmap::TMDLBitmap(TMDL* model) : TMDLSection(model) { Image.SetPalette(GamePalette().NewHandle()); }

TMDLBitmap::~TMDLBitmap() = default;

void TMDLBitmap::SetSize(int width, int height) {
  // A new size gives a new, cleared picture; only one of the same size
  // still holds the old pixels.
  const bool sameSize = width == Image.GetWidth() && height == Image.GetHeight();
  Image.SetSize(width, height);  // refuses absurd sizes before anything changes
  Width = width;
  Height = height;
  const int stride = Image.Stride();
  if (sameSize && height > 0 && stride > 0) std::memset(Image.Bits(), 0, static_cast<size_t>(stride) * static_cast<size_t>(height));
  ColorCount_.fill(0);
  ColorCount_[0] = width * height;
  ColorCountValid_ = true;
  ColorMapValid = false;
}

void TMDLBitmap::SetGamma(uint8_t v) {
  Gamma = v;
  ColorMapValid = false;
}

void TMDLBitmap::SetTopColor(uint8_t v) {
  TopColor = v;
  ColorMapValid = false;
}

void TMDLBitmap::SetBottomColor(uint8_t v) {
  BottomColor = v;
  ColorMapValid = false;
}

const std::array<int32_t, 256>& TMDLBitmap::ColorCount() const {
  if (!ColorCountValid_) CountColors();
  return ColorCount_;
}

void TMDLBitmap::CountColors() const {
  // Four sets of counters taking turns: a run of one colour does not make
  // every increment wait for the one before.
  std::array<std::array<int32_t, 256>, 4> counts{};
  for (int y = 0; y < Height; ++y) {
    const uint8_t* row = Image.ScanLine(y);
    int x = 0;
    // Skins have large areas of one colour: eight equal pixels count at once.
    for (; x + 8 <= Width; x += 8) {
      uint64_t eight;
      std::memcpy(&eight, row + x, 8);
      if (eight == (eight & 0xFF) * 0x0101010101010101ull) {
        counts[static_cast<size_t>(x >> 3) & 3][row[x]] += 8;
        continue;
      }
      ++counts[0][row[x]];
      ++counts[1][row[x + 1]];
      ++counts[2][row[x + 2]];
      ++counts[3][row[x + 3]];
      ++counts[0][row[x + 4]];
      ++counts[1][row[x + 5]];
      ++counts[2][row[x + 6]];
      ++counts[3][row[x + 7]];
    }
    for (; x + 4 <= Width; x += 4) {
      ++counts[0][row[x]];
      ++counts[1][row[x + 1]];
      ++counts[2][row[x + 2]];
      ++counts[3][row[x + 3]];
    }
    for (; x < Width; ++x) ++counts[0][row[x]];
  }
  for (int c = 0; c < 256; ++c)
    ColorCount_[static_cast<size_t>(c)] = counts[0][static_cast<size_t>(c)] + counts[1][static_cast<size_t>(c)] +
                                         counts[2][static_cast<size_t>(c)] + counts[3][static_cast<size_t>(c)];
}

void TMDLBitmap::UpdateDisplayColors() {
  if (!ShadeTable_) ShadeTable_ = std::make_unique<TColormap>();
  // Player colours: rows of 16 copied into 16-31 and 96-111, reversed for
  // the rows that run from light to dark.
  TWinGPaletteMap map;
  map.CopyRange(16, TopColor * 16, TopColor > 7, 16);
  map.CopyRange(96, BottomColor * 16, BottomColor > 7, 16);
  map.TranslateColormap(DisplayColormap(), *ShadeTable_);
  // The editor's gamma runs from -31 (darker) to 32 (lighter); the byte
  // holds it in two's complement.
  map.ApplyLightLevel(GameColormap(), 32 - static_cast<int8_t>(Gamma));
  TWinGPalette palette;
  palette.Assign(&GamePalette());
  map.TranslatePalette(GamePalette(), palette);
  Image.SetPalette(palette.NewHandle());
  ColorMapValid = true;
}

TWinGBitmap& TMDLBitmap::DisplayImage() {
  if (!ColorMapValid || !ShadeTable_) UpdateDisplayColors();
  return Image;
}

const TColormap& TMDLBitmap::ShadeTable() {
  DisplayImage();
  return *ShadeTable_;
}

// ---- TMDLBitmapGroup --------------------------------------------------------------

namespace {
const char* const kNewSkinName = "new skin";
}

void TMDLBitmapGroup::SetCount(int n) {
  n = std::max(n, 0);
  if (n < Count()) {
    Bitmaps_.resize(static_cast<size_t>(n));
    return;
  }
  Intervals.Reserve(n);
  while (Count() < n) {
    auto b = std::make_unique<TMDLBitmap>(Model);
    b->Name = kNewSkinName;
    if (!Bitmaps_.empty()) {
      b->Gamma = Bitmaps_[0]->Gamma;
      b->TopColor = Bitmaps_[0]->TopColor;
      b->BottomColor = Bitmaps_[0]->BottomColor;
      // A member without pixels would be saved as a skin of no size.
      if (Bitmaps_[0]->Width > 0 && Bitmaps_[0]->Height > 0) b->SetSize(Bitmaps_[0]->Width, Bitmaps_[0]->Height);
    }
    Bitmaps_.push_back(std::move(b));
  }
  Intervals.Repair(Count());
}

void TMDLBitmapGroup::Delete(int i) { Bitmaps_.erase(Bitmaps_.begin() + i); }

std::unique_ptr<TMDLBitmap> TMDLBitmapGroup::Remove(int i) {
  auto b = std::move(Bitmaps_[static_cast<size_t>(i)]);
  Bitmaps_.erase(Bitmaps_.begin() + i);
  return b;
}

void TMDLBitmapGroup::Insert(int i, std::unique_ptr<TMDLBitmap> bitmap) {
  i = std::clamp(i, 0, Count());
  Bitmaps_.insert(Bitmaps_.begin() + i, std::move(bitmap));
  // The new member's interval would otherwise be 0, which the game refuses.
  Intervals.Repair(Count());
}

void TMDLBitmapGroup::SetGamma(uint8_t v) {
  for (auto& b : Bitmaps_) b->SetGamma(v);
}

void TMDLBitmapGroup::SetTopColor(uint8_t v) {
  for (auto& b : Bitmaps_) b->SetTopColor(v);
}

void TMDLBitmapGroup::SetBottomColor(uint8_t v) {
  for (auto& b : Bitmaps_) b->SetBottomColor(v);
}

// ---- TMDLBitmapList ---------------------------------------------------------------

TMDLBitmap& TMDLBitmapList::Skin(int k) {
  const TFlatEntry& e = Index_[static_cast<size_t>(k)];
  return Group(e.Group).Bitmap(e.Member);
}

void TMDLBitmapList::RebuildIndex() {
  Index_.clear();
  for (int g = 0; g < GroupCount(); ++g)
    for (int i = 0; i < Groups_[static_cast<size_t>(g)]->Count(); ++i)
      Index_.push_back(TFlatEntry{g, i});
}

std::unique_ptr<TMDLBitmap> TMDLBitmapList::NewSkin() {
  auto b = std::make_unique<TMDLBitmap>(Model);
  if (Count() > 0) {
    TMDLBitmap& first = Skin(0);
    b->Gamma = first.Gamma;
    b->TopColor = first.TopColor;
    b->BottomColor = first.BottomColor;
  }
  return b;
}

std::unique_ptr<TMDLBitmapGroup> TMDLBitmapList::NewGroup() {
  auto g = std::make_unique<TMDLBitmapGroup>(Model);
  g->Bitmaps_.push_back(NewSkin());
  return g;
}

void TMDLBitmapList::SetGroupCount(int n) {
  n = std::max(n, 0);
  if (n < GroupCount()) Groups_.resize(static_cast<size_t>(n));
  Groups_.reserve(static_cast<size_t>(n));
  while (GroupCount() < n) Groups_.push_back(NewGroup());
  RebuildIndex();
}

void TMDLBitmapList::InsertSkin(int k) {
  TMDLBitmap* made = nullptr;
  if (Count() == 0) {
    Groups_.push_back(NewGroup());
    made = &Groups_.back()->Bitmap(0);
  } else {
    const TFlatEntry e = Index_[static_cast<size_t>(std::clamp(k, 0, Count() - 1))];
    TMDLBitmapGroup& g = Group(e.Group);
    if (k < Count() && g.GroupType != 0) {
      auto b = NewSkin();
      b->Name = kNewSkinName;
      made = b.get();
      g.Insert(e.Member, std::move(b));
    } else {
      auto ng = NewGroup();
      made = &ng->Bitmap(0);
      Groups_.insert(Groups_.begin() + (k < Count() ? e.Group : GroupCount()), std::move(ng));
    }
  }
  RebuildIndex();
  made->SetSize(Model->Header->SkinWidth, Model->Header->SkinHeight);
}

void TMDLBitmapList::DeleteSkin(int k) {
  const TFlatEntry e = Index_[static_cast<size_t>(k)];
  TMDLBitmapGroup& g = Group(e.Group);
  if (g.GroupType != 0 && g.Count() > 1)
    g.Delete(e.Member);
  else
    Groups_.erase(Groups_.begin() + e.Group);
  RebuildIndex();
}

void TMDLBitmapList::DuplicateSkin(int k, int at) {
  TMDLBitmap& src = Skin(k);
  auto b = std::make_unique<TMDLBitmap>(Model);
  b->Name = src.Name;
  b->Gamma = src.Gamma;
  b->TopColor = src.TopColor;
  b->BottomColor = src.BottomColor;
  b->SetSize(src.Width, src.Height);
  for (int y = 0; y < src.Height; ++y) std::memcpy(b->Row(y), src.Row(y), static_cast<size_t>(src.Width));
  b->RecountColors();
  PutSkin(at, std::move(b));
}

void TMDLBitmapList::PutSkin(int at, std::unique_ptr<TMDLBitmap> skin) {
  if (at >= 0 && at < Count()) {
    const TFlatEntry e = Index_[static_cast<size_t>(at)];
    TMDLBitmapGroup& g = Group(e.Group);
    if (g.GroupType != 0) {
      g.Insert(e.Member, std::move(skin));
    } else {
      auto ng = std::make_unique<TMDLBitmapGroup>(Model);
      ng->Bitmaps_.push_back(std::move(skin));
      Groups_.insert(Groups_.begin() + e.Group, std::move(ng));
    }
  } else {
    auto ng = std::make_unique<TMDLBitmapGroup>(Model);
    ng->Bitmaps_.push_back(std::move(skin));
    Groups_.push_back(std::move(ng));
  }
  RebuildIndex();
}

void TMDLBitmapList::MoveSkin(int from, int to) {
  if (from == to) return;
  const TFlatEntry src = Index_[static_cast<size_t>(from)];
  TMDLBitmapGroup* source = &Group(src.Group);
  if (to > from) {
    // Where `to` lies is decided as if the skin were still in place; then
    // the skin goes there and leaves its old place.
    TMDLBitmapGroup* into = nullptr;  // a timed group to insert into
    int member = 0;
    TMDLBitmapGroup* before = nullptr;  // else a new group before this one (none: at the end)
    if (to < Count()) {
      const TFlatEntry dst = Index_[static_cast<size_t>(to)];
      TMDLBitmapGroup& g = Group(dst.Group);
      if (g.GroupType != 0) {
        into = &g;
        member = dst.Member;
      } else {
        before = &g;
      }
    }
    std::unique_ptr<TMDLBitmap> skin = source->Remove(src.Member);
    if (into) {
      if (into == source && member > src.Member) --member;
      into->Insert(member, std::move(skin));
    } else {
      auto ng = std::make_unique<TMDLBitmapGroup>(Model);
      ng->Bitmaps_.push_back(std::move(skin));
      auto pos = Groups_.end();
      for (auto it = Groups_.begin(); it != Groups_.end(); ++it)
        if (it->get() == before) pos = it;
      Groups_.insert(pos, std::move(ng));
    }
    if (source->Count() == 0) std::erase_if(Groups_, [source](const auto& g) { return g.get() == source; });
    RebuildIndex();
  } else {
    std::unique_ptr<TMDLBitmap> skin = source->Remove(src.Member);
    if (source->Count() == 0) Groups_.erase(Groups_.begin() + src.Group);
    RebuildIndex();
    PutSkin(to, std::move(skin));
  }
}

void TMDLBitmapList::EnsureSkin() {
  if (Count() == 0) InsertSkin(0);
}
