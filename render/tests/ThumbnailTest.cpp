#include "render/Thumbnail.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "mdl/tests/ModelBuilders.h"

namespace fs = std::filesystem;

namespace {

uint8_t Alpha(const std::vector<uint8_t>& rgba, int size, int x, int y) {
  return rgba[(size_t(y) * size_t(size) + size_t(x)) * 4 + 3];
}

class ThumbnailTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("tessel_thumb_" + std::to_string(::getpid()));
    fs::create_directories(Dir);
  }
  void TearDown() override { fs::remove_all(Dir); }
  std::string Boxes() {
    TMDL m;
    testmodel::MakeTwoBoxes(m, 2);
    const std::string file = (Dir / "boxes.mdl").string();
    m.SaveToFile(file, true);
    return file;
  }
  fs::path Dir;
};

}  // namespace

TEST_F(ThumbnailTest, TheModelFillsTheSquareOnATransparentGround) {
  struct TCase {
    std::string Model;
    int Size;
  };
  std::vector<TCase> cases;
  for (int size : {16, 64, 128, 256, 600}) cases.push_back({Boxes(), size});
  const fs::path knight = fs::path(TESSEL_DATA_DIR) / "quake" / "models" / "sg_knight.mdl";
  if (fs::exists(knight)) cases.push_back({knight.string(), 256});
  for (const TCase& c : cases) {
    SCOPED_TRACE(fs::path(c.Model).filename().string() + " at " + std::to_string(c.Size));
    TMDLEditor editor;
    editor.LoadFromFile(c.Model);
    const std::vector<uint8_t> rgba = RenderThumbnail(editor, c.Size);
    ASSERT_EQ(rgba.size(), size_t(c.Size) * size_t(c.Size) * 4);
    const int last = c.Size - 1;
    EXPECT_EQ(Alpha(rgba, c.Size, 0, 0), 0);
    EXPECT_EQ(Alpha(rgba, c.Size, last, 0), 0);
    EXPECT_EQ(Alpha(rgba, c.Size, 0, last), 0);
    EXPECT_EQ(Alpha(rgba, c.Size, last, last), 0);
    // The drawing reaches two opposite edges and is solid inside.
    bool left = false, right = false, top = false, bottom = false;
    int opaque = 0;
    for (int i = 0; i < c.Size; ++i) {
      left = left || Alpha(rgba, c.Size, 0, i) > 0;
      right = right || Alpha(rgba, c.Size, last, i) > 0;
      top = top || Alpha(rgba, c.Size, i, 0) > 0;
      bottom = bottom || Alpha(rgba, c.Size, i, last) > 0;
      for (int j = 0; j < c.Size; ++j) opaque += Alpha(rgba, c.Size, i, j) == 255;
    }
    EXPECT_TRUE((left && right) || (top && bottom)) << left << right << top << bottom;
    EXPECT_GT(opaque, c.Size * c.Size / 8);
    // Transparent pixels carry no colour; drawn ones are not all black.
    bool coloured = false;
    for (size_t p = 0; p < rgba.size(); p += 4) {
      if (rgba[p + 3] == 0) {
        ASSERT_EQ(rgba[p] | rgba[p + 1] | rgba[p + 2], 0);
      }
      coloured = coloured || (rgba[p + 3] && (rgba[p] | rgba[p + 1] | rgba[p + 2]));
    }
    EXPECT_TRUE(coloured);
  }
}

TEST_F(ThumbnailTest, RefusesSizesOutOfRangeAndModelsItCannotDraw) {
  TMDLEditor editor;
  editor.LoadFromFile(Boxes());
  EXPECT_THROW(RenderThumbnail(editor, 0), EThumbnailError);
  EXPECT_THROW(RenderThumbnail(editor, kMaxThumbnailSize + 1), EThumbnailError);
  EXPECT_EQ(RenderThumbnail(editor, 1).size(), 4u);

  TMDL bare;
  testmodel::MakeTwoBoxes(bare, 1);
  bare.Skins->DeleteSkin(0);
  const std::string file = (Dir / "bare.mdl").string();
  bare.SaveToFile(file, true);
  TMDLEditor none;
  none.LoadFromFile(file);
  EXPECT_THROW(RenderThumbnail(none, 32), EThumbnailError);
}
