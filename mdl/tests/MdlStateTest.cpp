// Model states: sections shared while equal (to the bit), restored exactly,
// their memory counted, and objects and pivots linked again afterwards.

#include "mdl/MdlState.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "mdl/Mdl.h"
#include "mdl/tests/ModelBuilders.h"

using namespace testmodel;

namespace {

std::vector<uint8_t> Saved(TMDL& m) {
  TMemoryStream s;
  m.SaveToStream(s, true);
  return s.Bytes();
}

// Two boxes in three frames, one 8 x 8 skin and a second one.
void MakeModel(TMDL& m) {
  MakeTwoBoxes(m, 3);
  m.Skins->InsertSkin(1);
  m.Skins->Skin(1).FloodFill(0, 0, 40);
}

}  // namespace

TEST(MdlState, ChangedSectionsAloneAreCopied) {
  TMDL m;
  MakeModel(m);
  auto memory = std::make_shared<TMDLStateMemory>();
  const TMDLState first(m, nullptr, memory);
  const size_t whole = memory->Bytes;
  EXPECT_GT(whole, 0u);
  EXPECT_TRUE(first.Matches(m));

  struct TCase {
    const char* What;
    std::function<void()> Change;
    int SharedFrames;
    int SharedSkins;
  };
  const int frames = m.Frames->Count(), skins = m.Skins->Count();
  const TCase cases[] = {
      {"nothing", [] {}, frames, skins},
      {"a position", [&] { m.Frames->Frame(1).Item(3).Y += 0.5f; }, frames - 1, skins},
      // -0 is not 0 in a file.
      {"a sign of zero", [&] { m.Frames->Frame(2).Item(0).Z = -m.Frames->Frame(2).Item(0).Z; }, frames - 1, skins},
      {"a pivot", [&] { m.Frames->Frame(0).Pivot(1).SetChannel(5, 30); }, frames - 1, skins},
      {"a frame name", [&] { m.Frames->Frame(0).SetName("other"); }, frames - 1, skins},
      {"a pixel", [&] { m.Skins->Skin(0).SetPixel(2, 2, 7); }, frames, skins - 1},
      {"a skin name", [&] { m.Skins->SetSkinName(1, "back"); }, frames, skins - 1},
      {"the header", [&] { m.Header->Flags = 4; }, frames, skins},
      {"an object name", [&] { m.Objects->SetName(1, "lid"); }, frames, skins},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    TMDL& model = m;
    model.Frames->Frame(2).Item(0).Z = 0;  // a plain zero to start from
    // Saving works out the normals and boxes: done before the state is taken.
    const std::vector<uint8_t> bytes = Saved(model);
    const TMDLState before(model, nullptr, memory);
    const size_t used = memory->Bytes;
    c.Change();
    const TMDLState after(model, &before, memory);
    EXPECT_EQ(after.SharedFrames(before), c.SharedFrames);
    EXPECT_EQ(after.SharedSkins(before), c.SharedSkins);
    EXPECT_LT(memory->Bytes - used, whole / 2);
    EXPECT_EQ(before.Matches(model), std::string(c.What) == "nothing");
    EXPECT_TRUE(after.Matches(model));
    // Back, and forward again.
    const TMDLState now(model, &before, memory);
    before.RestoreTo(model, now);
    EXPECT_TRUE(before.Matches(model));
    EXPECT_EQ(Saved(model), bytes);
    const TMDLState back(model, &after, memory);
    after.RestoreTo(model, back);
    EXPECT_TRUE(after.Matches(model));
  }
}

TEST(MdlState, MemoryIsCountedWhileStatesHoldIt) {
  auto memory = std::make_shared<TMDLStateMemory>();
  {
    TMDL m;
    MakeModel(m);
    auto a = std::make_unique<TMDLState>(m, nullptr, memory);
    const size_t one = memory->Bytes;
    m.Skins->Skin(1).SetPixel(0, 0, 1);
    auto b = std::make_unique<TMDLState>(m, a.get(), memory);
    EXPECT_GT(memory->Bytes, one);
    a.reset();
    EXPECT_LT(memory->Bytes, one + 4096);  // b holds the model once
    TMDLSkinState skin(m, 1, memory);
    EXPECT_GE(memory->Bytes, one + 64);
  }
  EXPECT_EQ(memory->Bytes, 0u);
}

TEST(MdlState, ObjectsComeBackLinkedAndTheirPivotsMoveThem) {
  TMDL m;
  MakeModel(m);
  m.Frames->CopyFrame(1);
  auto memory = std::make_shared<TMDLStateMemory>();
  const TMDLState before(m, nullptr, memory);
  m.Objects->SetName(2, "lid");
  m.Objects->Object(2).IsJoint[0] = true;
  const TMDLState now(m, &before, memory);
  before.RestoreTo(m, now);  // the objects are new ones
  ASSERT_EQ(m.Objects->Count(), 3);
  EXPECT_NE(m.Objects->Object(2).Name, "lid");
  EXPECT_FALSE(m.Objects->Object(2).IsJoint[0]);
  for (int o = 1; o < 3; ++o) {
    TMDLObject& obj = m.Objects->Object(o);
    ASSERT_EQ(obj.Parent, m.Objects->Root());
    EXPECT_NE(std::find(obj.Parent->Children.begin(), obj.Parent->Children.end(), &obj), obj.Parent->Children.end());
  }
  // A pivot change moves the object's vertices, in the frames and in a
  // frame pasted from the clipboard.
  TMDLObject& lid = m.Objects->Object(2);
  ASSERT_GT(lid.CollectVertices(), 0);
  const int v = lid.VertexIndices.front();
  const TFrameVertex copied = m.Frames->CopiedFrame->Get(v);
  const float x = m.Frames->Frame(1).Get(v).X;
  TPivot& p = lid.Pivot(1);
  p.SetChannelsNotify(p.Channel(0) + 3, p.Channel(1), p.Channel(2), p.Channel(3), p.Channel(4), p.Channel(5),
                      p.Channel(6), p.Channel(7), p.Channel(8));
  EXPECT_NEAR(m.Frames->Frame(1).Get(v).X, x + 3, 1e-4);
  m.Frames->PasteFrame(0);
  TPivot& pasted = m.Frames->Frame(0).Pivot(2);
  pasted.SetChannelsNotify(pasted.Channel(0), pasted.Channel(1) - 2, pasted.Channel(2), pasted.Channel(3),
                           pasted.Channel(4), pasted.Channel(5), pasted.Channel(6), pasted.Channel(7), pasted.Channel(8));
  EXPECT_NEAR(m.Frames->Frame(0).Get(v).Y, copied.Y - 2, 1e-4);
}

TEST(MdlState, OneSkinGoesBackWithoutTheRest) {
  TMDL m;
  MakeModel(m);
  auto memory = std::make_shared<TMDLStateMemory>();
  const TMDLSkinState skin(m, 1, memory);
  const std::vector<uint8_t> bytes = Saved(m);
  m.Skins->Skin(1).FloodFill(0, 0, 90);
  m.Frames->Frame(0).Item(0).X = 100;  // not the skin state's business
  EXPECT_FALSE(skin.Matches(m));
  ASSERT_TRUE(skin.RestoreTo(m));
  EXPECT_TRUE(skin.Matches(m));
  EXPECT_EQ(m.Skins->Skin(1).Pixel(3, 3), 40);
  EXPECT_EQ(m.Frames->Frame(0).Get(0).X, 100);
  m.Skins->DeleteSkin(1);
  EXPECT_FALSE(skin.RestoreTo(m));
  EXPECT_NE(Saved(m), bytes);
}
