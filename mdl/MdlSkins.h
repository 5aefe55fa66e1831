#pragma once
// Skins: 8-bit images in game palette indices, held in skin groups (a
// single skin, or a timed group of skins), with a flat index over all of
// them. Each skin keeps the display colours it is shown with: the
// player-colour rows and a brightness level turned into a colour map.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "mdl/MdlCopy.h"
#include "mdl/MdlTypes.h"
#include "raster/WinGBitmap.h"
#include "raster/WinGPalette.h"

class TMDLFiler;
class TMDLState;
class TStream;
class TWinGCanvas;

// A skin's picture. It copies with its pixels, colour table and palette,
// and two pictures are equal when all of those are.
class TSkinImage : public TWinGBitmap {
public:
  TSkinImage() = default;
  TSkinImage(const TSkinImage& other) : TWinGBitmap() { Assign(other); }
  TSkinImage& operator=(const TSkinImage& other) {
    Assign(other);
    return *this;
  }
  friend bool operator==(const TSkinImage& a, const TSkinImage& b);
};

class TMDLBitmap : public TMDLSection {
public:
  explicit TMDLBitmap(TMDL* model);
  virtual ~TMDLBitmap();
  // Everything the skin holds but its colour map, which a copy makes again
  // when it is shown.
  TMDLBitmap(const TMDLBitmap&) = default;
  TMDLBitmap& operator=(const TMDLBitmap&) = default;
  bool operator==(const TMDLBitmap&) const = default;

  // Sets Width and Height and clears every pixel to index 0.
  virtual void SetSize(int width, int height);
  void SetGamma(uint8_t v);
  void SetTopColor(uint8_t v);
  void SetBottomColor(uint8_t v);
  // The image with its colours brought up to date.
  TWinGBitmap& DisplayImage();
  uint8_t Pixel(int x, int y) const { return Image.ScanLine(y)[x]; }
  // Row y of the picture, row 0 at the top, Width bytes.
  uint8_t* Row(int y) { return Image.ScanLine(y); }
  const uint8_t* Row(int y) const { return Image.ScanLine(y); }
  // The pixels of each palette index. Counted when first asked for after
  // a change that does not keep them (a load, a block copy): most skins
  // are loaded and saved without anyone looking at their colours.
  const std::array<int32_t, 256>& ColorCount() const;
  // Makes the counts follow the pixels again after they were written
  // through Row() or Image (counted on the next ColorCount()).
  void RecountColors() { ColorCountValid_ = false; }
  // The display colour map of this skin, made by DisplayImage.
  const TColormap& ShadeTable();

  // Painting, copying and resizing (mdl/SkinImage.cpp). Painting is clipped
  // to the image and keeps ColorCount right pixel by pixel.
  // Paints the pen square at (x, y).
  void SetPixel(int x, int y, uint8_t color);
  void MoveTo(int x, int y);
  void LineTo(int x, int y);
  void FloodFill(int x, int y, uint8_t color);
  void ReplaceColor(uint8_t oldColor, uint8_t newColor);
  // Moves every pixel to the nearest game colour outside `excluded`.
  void RestrictColors(const TColorSet& excluded);
  void SaveImageToStream(TStream& stream);
  // Reads a picture from the stream's start and stretches it over the skin.
  void LoadScaled(TStream& stream);
  // Stretches a picture in game palette indices over the whole skin.
  void StretchFrom(const TWinGBitmap& image);
  // The picture stretched to the new size (the width rounded up to a
  // multiple of 4).
  void Resize(int width, int height);
  void Assign(const TMDLBitmap& skin);
  void ImportPicture(const std::string& fileName);
  void ExportPicture(const std::string& fileName);
  void Draw(TWinGCanvas& canvas, const TRect& rect);
  // Widens this skin by `other`, front halves together and back halves
  // together: [this front | other front | this back | other back].
  void AppendSkin(const TMDLBitmap& other);

  bool ColorMapValid = false;
  uint8_t Gamma = 0;
  int32_t Height = 0;
  TSkinImage Image;
  std::string Name;
  uint8_t BottomColor = 6;
  uint8_t PenColor = 0;
  int32_t PenReach = 0;
  int32_t PenSize = 6;
  int32_t PenX = 0;
  int32_t PenY = 0;
  uint8_t TopColor = 1;
  int32_t Width = 0;

private:
  void UpdateDisplayColors();
  void CountColors() const;
  // Painting adjusts the counts as it goes while they are valid.
  void AdjustCount(uint8_t color, int32_t delta) {
    if (ColorCountValid_) ColorCount_[color] += delta;
  }

  mutable std::array<int32_t, 256> ColorCount_{};
  mutable bool ColorCountValid_ = true;
  // Made on first use: most skins are never shown.
  TNotCopied<std::unique_ptr<TColormap>> ShadeTable_;
};

// Brings a picture into game palette indices: each colour to the nearest
// game colour, unless the picture already has the game's colour table.
void RemapToGamePalette(TWinGBitmap& image);

class TMDLBitmapGroup : public TMDLSection {
public:
  explicit TMDLBitmapGroup(TMDL* model) : TMDLSection(model) {}

  int Count() const { return static_cast<int>(Bitmaps_.size()); }
  TMDLBitmap& Bitmap(int i) { return *Bitmaps_[static_cast<size_t>(i)]; }
  // New members, named "new skin", take the display settings and the size
  // of the first member.
  void SetCount(int n);
  void Delete(int i);
  std::unique_ptr<TMDLBitmap> Remove(int i);
  void Insert(int i, std::unique_ptr<TMDLBitmap> bitmap);
  void SetGamma(uint8_t v);
  void SetTopColor(uint8_t v);
  void SetBottomColor(uint8_t v);
  float Interval(int i) const { return Intervals.Get(i); }
  void SetInterval(int i, float v) { Intervals.Set(i, v); }

  TIntervals Intervals;
  int32_t GroupType = 0;

private:
  friend class TMDLBitmapList;
  // A copy is the group's own values without its skins (TMDLState keeps
  // those apart).
  friend class TMDLState;
  TMDLBitmapGroup(const TMDLBitmapGroup&) = default;
  TMDLBitmapGroup& operator=(const TMDLBitmapGroup&) = default;
  bool operator==(const TMDLBitmapGroup&) const = default;

  TNotCopied<std::vector<std::unique_ptr<TMDLBitmap>>> Bitmaps_;
};

class TMDLBitmapList : public TMDLSection {
public:
  explicit TMDLBitmapList(TMDL* model) : TMDLSection(model) {}

  int GroupCount() const { return static_cast<int>(Groups_.size()); }
  TMDLBitmapGroup& Group(int g) { return *Groups_[static_cast<size_t>(g)]; }
  void SetGroupCount(int n);

  int Count() const { return static_cast<int>(Index_.size()); }
  TMDLBitmap& Skin(int k);
  const TFlatEntry& IndexEntry(int k) const { return Index_[static_cast<size_t>(k)]; }
  std::string SkinName(int k) { return Skin(k).Name; }
  void SetSkinName(int k, const std::string& name) { Skin(k).Name = name; }
  void RebuildIndex();

  std::unique_ptr<TMDLBitmapGroup> NewGroup();
  void InsertSkin(int k);
  void DeleteSkin(int k);
  void DuplicateSkin(int k, int at);
  void PutSkin(int at, std::unique_ptr<TMDLBitmap> skin);
  void MoveSkin(int from, int to);
  void EnsureSkin();
  // Scales the skin vertices and resizes every skin (mdl/SkinImage.cpp).
  void Resize(int width, int height);
  // Draws the triangle outlines into flat skin k.
  void PaintTriangles(int k);
  // Gives every connected piece of the mesh its own block of the skin.
  void RearrangeObjectSkins();

  void Load(TMDLFiler& filer);
  void Save(TMDLFiler& filer);
  void LoadNames(TMDLFiler& filer);
  void SaveNames(TMDLFiler& filer);

private:
  // A copy is the list's own values without its groups.
  friend class TMDLState;
  TMDLBitmapList(const TMDLBitmapList&) = default;
  TMDLBitmapList& operator=(const TMDLBitmapList&) = default;
  bool operator==(const TMDLBitmapList&) const = default;

  std::unique_ptr<TMDLBitmap> NewSkin();
  TNotCopied<std::vector<std::unique_ptr<TMDLBitmapGroup>>> Groups_;
  std::vector<TFlatEntry> Index_;
};
