// Frame import and export, multiple-frames lists and scene durations: the
// list text as written, what a list brings back, the events the views get,
// failures part-way, hostile lists, and durations under a comma locale.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "editor/MDLEdit.h"
#include "editor/tests/EditorFixtures.h"
#include "exchange/TriangleFiler.h"

using namespace edtest;
namespace fs = std::filesystem;

namespace {

std::string ReadFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& name, const std::string& text) {
  std::ofstream out(name, std::ios::binary);
  out << text;
}

// Positions of the vertices that triangles use (the only ones a geometry
// file carries) agree within `tolerance`.
::testing::AssertionResult SamePositions(TMDL& m, TMDLFrame& a, TMDLFrame& b, float tolerance = 1e-5f) {
  if (a.Count() != b.Count()) return ::testing::AssertionFailure() << a.Count() << " vs " << b.Count() << " positions";
  for (int t = 0; t < m.Triangles->Count(); ++t)
    for (int c = 0; c < 3; ++c) {
      const int v = m.Triangles->Get(t).Vertex[c];
      const TFrameVertex p = a.Get(v), q = b.Get(v);
      if (std::fabs(p.X - q.X) > tolerance || std::fabs(p.Y - q.Y) > tolerance || std::fabs(p.Z - q.Z) > tolerance)
        return ::testing::AssertionFailure() << "vertex " << v << ": (" << p.X << ", " << p.Y << ", " << p.Z
                                             << ") vs (" << q.X << ", " << q.Y << ", " << q.Z << ")";
    }
  return ::testing::AssertionSuccess();
}

std::vector<std::string> FrameNames(TMDLFrameGroup& scene) {
  std::vector<std::string> names;
  for (int i = 0; i < scene.Count(); ++i) names.push_back(scene.Frame(i).Name());
  return names;
}

// Switches the numeric locale to one with a decimal comma for as long as it
// lives, when the system has one.
class TCommaLocale {
public:
  TCommaLocale() {
    Old_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8", "fr_FR.utf8"})
      if (std::setlocale(LC_ALL, name)) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.1f", 0.5);
        if (std::string(buf) == "0,5") {
          Active_ = true;
          return;
        }
      }
    std::setlocale(LC_ALL, Old_.c_str());
  }
  ~TCommaLocale() { std::setlocale(LC_ALL, Old_.c_str()); }
  bool Active() const { return Active_; }

private:
  std::string Old_;
  bool Active_ = false;
};

class SceneListTest : public EditorTest {
protected:
  TMDL& M() { return *Editor->Model; }
  TMDLFrameList& Frames() { return *Editor->Model->Frames; }
  // A geometry file holding flat frame k's positions.
  std::string FrameFile(int k, const std::string& name) {
    const std::string file = Path(name);
    Frames().Frame(k).ExportFrame(file);
    return file;
  }
};

}  // namespace

// ---- writing a list ------------------------------------------------------------------

TEST_F(SceneListTest, CurrentSceneOnlyListsThatSceneWithAbsoluteFrameNumbers) {
  Open();
  Editor->SetCurrentScene(1);
  Editor->SaveScenes(Path("walk.frs"), false, ".DXF");
  EXPECT_EQ(ReadFile(Path("walk.frs")),
            "[Scenes]\r\ncount=1\r\n0=walk\r\n"
            "[walk]\r\ncount=3\r\n0=walk1.DXF\r\n1=walk2.DXF\r\n2=walk3.DXF\r\n");
  for (int k = 1; k <= 3; ++k) EXPECT_TRUE(fs::exists(Dir / ("walk" + std::to_string(k) + ".DXF"))) << k;
  EXPECT_FALSE(fs::exists(Dir / "walk0.DXF"));
}

TEST_F(SceneListTest, AllScenesAreListedInOrderAndTheModelIsLeftAlone) {
  Open();
  Editor->GotoSceneFrame(2, 1);
  Record();
  Editor->SaveScenes(Path("all.frs"), true, ".CAD");
  EXPECT_EQ(ReadFile(Path("all.frs")),
            "[Scenes]\r\ncount=3\r\n0=stand\r\n1=walk\r\n2=run\r\n"
            "[stand]\r\ncount=1\r\n0=all0.CAD\r\n"
            "[walk]\r\ncount=3\r\n0=all1.CAD\r\n1=all2.CAD\r\n2=all3.CAD\r\n"
            "[run]\r\ncount=2\r\n0=all4.CAD\r\n1=all5.CAD\r\n");
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(Editor->Modified);
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->CurrentFrame, 1);
  EXPECT_EQ(Frames().Count(), 6);
}

TEST_F(SceneListTest, FrameFilesGoBesideTheListNotIntoTheCurrentFolder) {
  Open();
  const fs::path elsewhere = Dir / "elsewhere";
  fs::create_directories(elsewhere);
  fs::create_directories(Dir / "lists");
  const fs::path old = fs::current_path();
  fs::current_path(elsewhere);
  Editor->SaveScenes((Dir / "lists" / "walk.v2.frs").string(), true, ".DXF");
  fs::current_path(old);
  EXPECT_TRUE(fs::is_empty(elsewhere));
  // The base name is cut at the first ".".
  EXPECT_TRUE(fs::exists(Dir / "lists" / "walk0.DXF"));
  EXPECT_TRUE(fs::exists(Dir / "lists" / "walk5.DXF"));
  EXPECT_FALSE(fs::exists(Dir / "lists" / "walk.v20.DXF"));
}

TEST_F(SceneListTest, AnExistingListIsReplacedWhole) {
  Open();
  WriteFile(Path("old.frs"), "[Scenes]\r\ncount=9\r\n8=ghost\r\n[ghost]\r\ncount=1\r\n0=x.dxf\r\n[extra]\r\nkey=1\r\n");
  Editor->SetCurrentScene(0);
  Editor->SaveScenes(Path("old.frs"), false, ".DXF");
  EXPECT_EQ(ReadFile(Path("old.frs")), "[Scenes]\r\ncount=1\r\n0=stand\r\n[stand]\r\ncount=1\r\n0=old0.DXF\r\n");
}

TEST_F(SceneListTest, SceneNamesThatWouldShareASectionAreMadeDistinctAndAllComeBack) {
  Open();
  // Scenes "stand", "Stand", "scenes": one profile section each only when
  // their names differ without regard to case.
  Frames().RenameScene(1, "Stand");
  Frames().RenameScene(2, "scenes");
  Editor->SaveScenes(Path("dup.frs"), true, ".DXF");
  const std::string text = ReadFile(Path("dup.frs"));
  EXPECT_NE(text.find("0=stand\r\n1=Stand_b\r\n2=scenes_b\r\n"), std::string::npos) << text;

  Editor->LoadScenes(Path("dup.frs"));
  ASSERT_EQ(Frames().SceneCount(), 6);
  EXPECT_EQ(Frames().SceneFrameCount(4), 3);
  EXPECT_EQ(Frames().SceneFrameCount(5), 2);
  EXPECT_EQ(FrameNames(Frames().Scene(4)), (std::vector<std::string>{"stand_b1", "stand_b2", "stand_b3"}));
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(SamePositions(M(), Frames().Frame(6 + k), Frames().Frame(k))) << k;
  EXPECT_TRUE(Consistent(M()));
}

TEST_F(SceneListTest, ExportFailureLeavesNoListButKeepsTheFilesWritten) {
  Open();
  // A folder where a frame file must go: the second frame cannot be written.
  fs::create_directories(Dir / "x1.DXF");
  EXPECT_THROW(Editor->SaveScenes(Path("x.frs"), true, ".DXF"), Exception);
  EXPECT_TRUE(fs::exists(Dir / "x0.DXF"));
  EXPECT_FALSE(fs::exists(Dir / "x.frs"));
}

// ---- reading a list -----------------------------------------------------------------

TEST_F(SceneListTest, ListedScenesComeBackAsNewScenesWithTheirPositions) {
  Open();
  Editor->SetCurrentScene(1);
  Editor->SetCurrentFrame(2);
  Editor->SaveScenes(Path("set.frs"), true, ".DXF");
  Editor->SetModified(false);
  Record();
  Editor->LoadScenes(Path("set.frs"));
  EXPECT_EQ(Log, (Events{"Modified(1)", "SceneCount"}));
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_TRUE(Editor->Modified);
  ASSERT_EQ(Frames().SceneCount(), 6);
  ASSERT_EQ(Frames().Count(), 12);
  EXPECT_TRUE(Consistent(M()));
  EXPECT_EQ(FrameNames(Frames().Scene(3)), (std::vector<std::string>{"stand1"}));
  EXPECT_EQ(FrameNames(Frames().Scene(4)), (std::vector<std::string>{"walk1", "walk2", "walk3"}));
  EXPECT_EQ(FrameNames(Frames().Scene(5)), (std::vector<std::string>{"run1", "run2"}));
  for (int k = 0; k < 6; ++k) EXPECT_TRUE(SamePositions(M(), Frames().Frame(6 + k), Frames().Frame(k))) << k;
  // The current scene and frame are where they were.
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->CurrentFrame, 2);
  EXPECT_EQ(Editor->SceneFirstFrame, 1);
}

TEST_F(SceneListTest, NamesAreReadWithoutCaseAndFramesNamedInLowerCase) {
  Open();
  FrameFile(4, "a.dxf");
  WriteFile(Path("case.frs"), "[SCENES]\nCOUNT=1\n0=Jump\n[jump]\nCount=2\n0=a.dxf\n1=a.dxf\n");
  Editor->LoadScenes(Path("case.frs"));
  ASSERT_EQ(Frames().SceneCount(), 4);
  EXPECT_EQ(FrameNames(Frames().Scene(3)), (std::vector<std::string>{"jump1", "jump2"}));
  EXPECT_TRUE(SamePositions(M(), Frames().Scene(3).Frame(1), Frames().Frame(4)));
  // A huge count costs nothing beyond the keys that are there.
  WriteFile(Path("huge.frs"), "[Scenes]\ncount=2147483647\n2000000000=big\n[big]\ncount=2147483647\n1999999999=a.dxf\n");
  Editor->LoadScenes(Path("huge.frs"));
  ASSERT_EQ(Frames().SceneCount(), 5);
  EXPECT_EQ(FrameNames(Frames().Scene(4)), (std::vector<std::string>{"big2000000000"}));
}

TEST_F(SceneListTest, EmptyEntriesAndScenesWithoutFramesAreSkipped) {
  Open();
  FrameFile(5, "b.dxf");
  WriteFile(Path("skip.frs"),
            "[Scenes]\r\ncount=5\r\n0=none\r\n1=\r\n2=hop\r\n3=blank\r\n4=nosection\r\n"
            "[none]\r\ncount=0\r\n0=b.dxf\r\n"
            "[hop]\r\ncount=3\r\n0=\r\n2=b.dxf\r\n"
            "[blank]\r\ncount=2\r\n");
  Record();
  Editor->LoadScenes(Path("skip.frs"));
  EXPECT_EQ(Log, (Events{"Modified(1)", "SceneCount"}));
  // Only "hop" has a frame; it is named after its place in the list.
  ASSERT_EQ(Frames().SceneCount(), 4);
  EXPECT_EQ(FrameNames(Frames().Scene(3)), (std::vector<std::string>{"hop3"}));
  EXPECT_TRUE(Consistent(M()));
}

TEST_F(SceneListTest, AListWithoutCountImportsNothingButMarksTheModelModified) {
  Open();
  FrameFile(0, "a.dxf");
  WriteFile(Path("nocount.frs"), "[Scenes]\r\n0=walk\r\n[walk]\r\ncount=1\r\n0=a.dxf\r\n");
  Record();
  Editor->LoadScenes(Path("nocount.frs"));
  EXPECT_EQ(Frames().SceneCount(), 3);
  EXPECT_TRUE(Editor->Modified);
  EXPECT_EQ(Log, (Events{"Modified(1)", "SceneCount"}));
}

TEST_F(SceneListTest, AFailingFrameStopsAfterTheCompleteScenes) {
  Open();
  FrameFile(1, "a.dxf");
  WriteFile(Path("broken.dxf"), "0\r\nSECTION\r\n2\r\nENTITIES\r\nnot a group code\r\n");
  WriteFile(Path("fail.frs"),
            "[Scenes]\r\ncount=3\r\n0=one\r\n1=two\r\n2=three\r\n"
            "[one]\r\ncount=2\r\n0=a.dxf\r\n1=a.dxf\r\n"
            "[two]\r\ncount=2\r\n0=a.dxf\r\n1=broken.dxf\r\n"
            "[three]\r\ncount=1\r\n0=a.dxf\r\n");
  Editor->SetCurrentScene(2);
  Editor->SetModified(false);
  Record();
  EXPECT_THROW(Editor->LoadScenes(Path("fail.frs")), Exception);
  // Scene "one" stays, "two" goes, "three" is never read; the views hear
  // of the change only through Modified.
  EXPECT_EQ(Log, (Events{"Modified(1)"}));
  EXPECT_FALSE(Editor->Blocked);
  ASSERT_EQ(Frames().SceneCount(), 4);
  EXPECT_EQ(FrameNames(Frames().Scene(3)), (std::vector<std::string>{"one1", "one2"}));
  EXPECT_TRUE(Consistent(M()));
  EXPECT_EQ(Editor->CurrentScene, 2);
  EXPECT_EQ(Editor->SceneFirstFrame, 4);
  // Blocked is off again: the views can navigate.
  EXPECT_NO_THROW(Editor->GotoSceneFrame(3, 1));
  EXPECT_EQ(Editor->AbsoluteFrame(), 7);
}

TEST_F(SceneListTest, ListedNamesCannotReachOutsideTheListsFolder) {
  Open();
  fs::create_directories(Dir / "inner");
  FrameFile(0, "a.dxf");
  const std::string inner = (Dir / "inner" / "evil.frs").string();
  for (const std::string& name :
       std::vector<std::string>{"../a.dxf", (Dir / "a.dxf").string(), "sub\\a.dxf", ".."}) {
    SCOPED_TRACE(name);
    WriteFile(inner, "[Scenes]\r\ncount=1\r\n0=evil\r\n[evil]\r\ncount=1\r\n0=" + name + "\r\n");
    try {
      Editor->LoadScenes(inner);
      ADD_FAILURE() << "accepted";
    } catch (const EMDLError& e) {
      EXPECT_NE(std::string(e.what()).find("not a plain file name"), std::string::npos) << e.what();
    }
    EXPECT_EQ(Frames().SceneCount(), 3);
    EXPECT_FALSE(Editor->Blocked);
  }
}

TEST_F(SceneListTest, AMissingListIsAnError) {
  Open();
  Record();
  EXPECT_THROW(Editor->LoadScenes(Path("absent.frs")), EFOpenError);
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(Editor->Modified);
  EXPECT_FALSE(Editor->Blocked);
}

TEST_F(SceneListTest, AListNamingOneFileOverAndOverIsRefusedBeforeMemoryRunsOut) {
  Open();
  FrameFile(0, "a.dxf");
  // With 16 vertices the limit lets half a million frames in, so the mesh
  // is grown to the most vertices a model holds: then a few hundred frames
  // are the limit.
  std::string text = "[Scenes]\ncount=1\n0=many\n[many]\ncount=100000\n";
  for (int j = 0; j < 400; ++j) text += std::to_string(j) + "=a.dxf\n";
  WriteFile(Path("many.frs"), text);
  // Grow the mesh with loose vertices so that one frame is large.
  const int loose = 40000 - M().Vertices->Count();
  for (int i = 0; i < loose; ++i) M().Vertices->Add(TSkinVertex{}, 0);
  for (int k = 0; k < Frames().Count(); ++k) Frames().Frame(k).SetCount(M().Vertices->Count());
  try {
    Editor->LoadScenes(Path("many.frs"));
    ADD_FAILURE() << "accepted";
  } catch (const EMDLError& e) {
    EXPECT_NE(std::string(e.what()).find("Too many frames"), std::string::npos) << e.what();
  }
  EXPECT_EQ(Frames().SceneCount(), 3);
  EXPECT_FALSE(Editor->Blocked);
}

// ---- importing frames -------------------------------------------------------------

TEST_F(SceneListTest, ImportedFramesGoInFrontOfTheCurrentSceneInListOrder) {
  Open();
  const std::vector<std::string> files{FrameFile(0, "a.dxf"), FrameFile(3, "B.dxf"), FrameFile(5, "c.dxf")};
  Editor->SetCurrentScene(1);
  Editor->SetCurrentFrame(2);
  Record();
  Editor->ImportFrames(files);
  EXPECT_EQ(Log, (Events{"Modified(1)", "SceneCount"}));
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_EQ(FrameNames(Frames().Scene(1)), (std::vector<std::string>{"a", "b", "c", "walk1", "walk2", "walk3"}));
  EXPECT_TRUE(SamePositions(M(), Frames().Frame(1), Frames().Frame(0)));
  EXPECT_TRUE(SamePositions(M(), Frames().Frame(2), Frames().Frame(6)));
  EXPECT_TRUE(SamePositions(M(), Frames().Frame(3), Frames().Frame(8)));
  // The cached scene figures follow the longer scene; the frame index stays.
  EXPECT_EQ(Editor->CurrentScene, 1);
  EXPECT_EQ(Editor->SceneFrameCount, 6);
  EXPECT_EQ(Editor->SceneFirstFrame, 1);
  EXPECT_EQ(Editor->CurrentFrame, 2);
  EXPECT_TRUE(Consistent(M()));
}

TEST_F(SceneListTest, AFrameIsNamedAfterItsFileUpToTheFirstDot) {
  Open();
  Editor->SetCurrentScene(2);
  Editor->ImportFrame(FrameFile(1, "Run.Old.dxf"));
  EXPECT_EQ(Frames().Scene(2).Frame(0).Name(), "run");
}

TEST_F(SceneListTest, AFileNamedBaseDoesNotRebuildTheMesh) {
  Open();
  // A vertex no triangle uses: rebuilding the mesh from a file would drop it.
  M().Vertices->Add(TSkinVertex{0, 3, 3}, 1);
  for (int k = 0; k < Frames().Count(); ++k) Frames().Frame(k).Add(TFrameVertex{5, 5, 5, 0});
  const int vertices = M().Vertices->Count(), triangles = M().Triangles->Count();
  const std::vector<TTriangle> before = M().Triangles->Items();
  std::vector<TSkinVertex> skin;
  for (int v = 0; v < vertices; ++v) skin.push_back(M().Vertices->Get(v));
  Editor->ImportFrame(FrameFile(2, "base.dxf"));
  EXPECT_EQ(Frames().Frame(0).Name(), "base");
  EXPECT_EQ(M().Vertices->Count(), vertices);
  EXPECT_EQ(M().Triangles->Count(), triangles);
  EXPECT_EQ(M().Triangles->Items(), before);
  for (int v = 0; v < vertices; ++v) EXPECT_EQ(M().Vertices->Get(v), skin[static_cast<size_t>(v)]) << v;
  EXPECT_TRUE(SamePositions(M(), Frames().Frame(0), Frames().Frame(3)));
  EXPECT_TRUE(Consistent(M()));
}

TEST_F(SceneListTest, AFailingFileKeepsTheFramesAlreadyImported) {
  Open();
  const std::vector<std::string> files{FrameFile(0, "a.dxf"), Path("nosuch.dxf"), FrameFile(4, "c.dxf")};
  Editor->SetCurrentScene(2);
  Record();
  EXPECT_THROW(Editor->ImportFrames(files), EStreamError);
  // Backwards through the list: c went in, then the missing file stopped it.
  EXPECT_EQ(FrameNames(Frames().Scene(2)), (std::vector<std::string>{"c", "run1", "run2"}));
  EXPECT_EQ(Log, (Events{"Modified(1)", "SceneCount"}));
  EXPECT_FALSE(Editor->Blocked);
  EXPECT_EQ(Editor->SceneFrameCount, 3);
  EXPECT_TRUE(Consistent(M()));

  Log.clear();
  EXPECT_THROW(Editor->ImportFrame(Path("nosuch.dxf")), EStreamError);
  EXPECT_TRUE(Log.empty());
  EXPECT_FALSE(Editor->Blocked);
}

TEST_F(SceneListTest, FramesOfAnotherTriangleCountAreCountedAndNoticedOncePerBatch) {
  const std::string mismatch =
      "Number of triangles in imported frame does not match the number of triangles in the model";
  Open();
  const std::string before = FrameFile(0, "before.dxf");
  M().Triangles->Add(M().Triangles->Get(0));  // the model now has one triangle more than that file
  const std::string after = FrameFile(1, "after.dxf");

  TFrameImportCount got = Editor->ImportFrames({before, after, before});
  EXPECT_EQ(got.Frames, 3);
  EXPECT_EQ(got.Mismatched, 2);
  EXPECT_EQ(Prompts.Notices, std::vector<std::string>{"2 of 3 frames: " + mismatch});

  WriteFile(Path("mix.frs"), "[Scenes]\ncount=2\n0=odd\n1=even\n[odd]\ncount=2\n0=before.dxf\n1=after.dxf\n"
                             "[even]\ncount=1\n0=before.dxf\n");
  Prompts.Notices.clear();
  got = Editor->LoadScenes(Path("mix.frs"));
  EXPECT_EQ(got.Frames, 3);
  EXPECT_EQ(got.Mismatched, 2);
  EXPECT_EQ(Prompts.Notices, std::vector<std::string>{"2 of 3 frames: " + mismatch});

  // One frame alone gets the notice as it always read; matching frames none.
  Prompts.Notices.clear();
  Editor->ImportFrame(before);
  EXPECT_EQ(Prompts.Notices, std::vector<std::string>{mismatch});
  Prompts.Notices.clear();
  got = Editor->ImportFrames({after, after});
  EXPECT_EQ(got.Frames, 2);
  EXPECT_EQ(got.Mismatched, 0);
  EXPECT_TRUE(Prompts.Notices.empty());
}

TEST_F(SceneListTest, ExportFrameWritesTheAbsoluteCurrentFrame) {
  Open();
  Editor->GotoSceneFrame(2, 1);
  Editor->ExportFrame(Path("cur.dxf"));
  TTriangleFiler& filer = TTriangleFiler::Instance();
  filer.ImportFromFile(Path("cur.dxf"));
  ASSERT_EQ(filer.Count(), M().Triangles->Count());
  const TTriangle t = M().Triangles->Get(7);
  const TFrameVertex v = Frames().Frame(5).Get(t.Vertex[1]);
  EXPECT_NEAR(filer.Triangle(7)->C[1][0], v.X, 1e-5);
  EXPECT_NEAR(filer.Triangle(7)->C[1][1], v.Y, 1e-5);
  EXPECT_NEAR(filer.Triangle(7)->C[1][2], v.Z, 1e-5);
}

// ---- durations ----------------------------------------------------------------------

TEST_F(SceneListTest, DurationsAreFixedPointWithADotWhateverTheLocale) {
  Open();
  Editor->SetCurrentScene(1);
  Frames().Scene(1).SetInterval(0, 0.1f);
  Frames().Scene(1).SetInterval(1, 0.3f);
  Frames().Scene(1).SetInterval(2, 0.6f);
  const std::vector<std::string> expected{"    0.10", "    0.20", "    0.30"};
  EXPECT_EQ(Editor->GetSceneDurations(), expected);
  EXPECT_EQ(Editor->DurationList, expected);
  TCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma on this system";
  EXPECT_EQ(Editor->GetSceneDurations(), expected);
}

TEST_F(SceneListTest, DurationsKeepTheirWidthAndSign) {
  Open();
  Editor->SetCurrentScene(1);
  Frames().Scene(1).SetInterval(0, 12345.678f);
  Frames().Scene(1).SetInterval(1, 12345.178f);
  Frames().Scene(1).SetInterval(2, 1000000.0f);
  EXPECT_EQ(Editor->GetSceneDurations(), (std::vector<std::string>{"12345.68", "   -0.50", "987654.81"}));
}

TEST_F(SceneListTest, SetDurationsReadsDotsEvenUnderACommaLocale) {
  Open();
  Editor->SetCurrentScene(1);
  TCommaLocale comma;
  Record();
  Editor->SetSceneDurations({"    0.25", "0.5", "+1e-1"});
  EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(0), 0.25f);
  EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(1), 0.75f);
  EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(2), 0.85f);
  EXPECT_FALSE(Editor->Modified);
  EXPECT_TRUE(Log.empty());
  EXPECT_EQ(Editor->GetSceneDurations(), (std::vector<std::string>{"    0.25", "    0.50", "    0.10"}));
}

TEST_F(SceneListTest, ABadDurationChangesNothingAndNamesItsLine) {
  Open();
  Editor->SetCurrentScene(1);
  Editor->SetSceneDurations({"0.1", "0.2", "0.3"});
  const std::string forty = "1234567890123456789012345678901234567890";
  const std::string sum = "The durations up to line 2 add up to more time than a frame can hold";
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"0.5", "0,5", "1"}, "\"0,5\" on line 2 is not a valid duration"},
      {{"0.5", "1", "abc"}, "\"abc\" on line 3 is not a valid duration"},
      {{"0.5", "", "1"}, "\"\" on line 2 is not a valid duration"},
      {{"0.5", "1", "inf"}, "\"inf\" on line 3 is not a valid duration"},
      {{"nan", "1", "1"}, "\"nan\" on line 1 is not a valid duration"},
      {{"0.5", forty, "1"}, "\"" + forty + "\" on line 2 is not a valid duration"},
      {{"0.5", "1", "-" + forty}, "\"-" + forty + "\" on line 3 is not a valid duration"},
      {{"1e39", "1", "1"}, "\"1e39\" on line 1 is not a valid duration"},
      {{"1", "-1e39", "1"}, "\"-1e39\" on line 2 is not a valid duration"},
      {{"1e300", "1", "1"}, "\"1e300\" on line 1 is not a valid duration"},
      {{"+-1", "1", "1"}, "\"+-1\" on line 1 is not a valid duration"},
      {{"3e38", "3e38", "1"}, sum},
      {{"-3e38", "-3.3e38", "1"}, sum},
      {{"0.5", "1"}, "2 durations given for the 3 frames of scene 'walk'"},
  };
  for (const auto& [lines, message] : cases) {
    SCOPED_TRACE(message);
    try {
      Editor->SetSceneDurations(lines);
      ADD_FAILURE() << "accepted";
    } catch (const EMDLError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(0), 0.1f);
    EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(2), 0.6f);
  }
  // Huge durations that cancel out stay finite times.
  Editor->SetSceneDurations({"3e38", "-3e38", "1 \r"});
  EXPECT_FLOAT_EQ(Frames().Scene(1).Interval(2), 1.0f);
}

// ---- the game's models ------------------------------------------------------------

TEST_F(SceneListTest, GameModelsComeBackFromAnExportedFrameSet) {
  const std::string folder = std::string(TESSEL_DATA_DIR) + "/quake/models/";
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.path().extension() == ".mdl") files.push_back(e.path().string());
  std::sort(files.begin(), files.end());
  if (files.empty()) GTEST_SKIP() << "no game models in " << folder;
  for (const std::string& file : files) {
    SCOPED_TRACE(fs::path(file).filename().string());
    Editor->LoadFromFile(file);
    TMDL& m = M();
    ASSERT_TRUE(Editor->IsValid());
    const int scenes = Frames().SceneCount(), frames = Frames().Count();
    const fs::path set = Dir / "set";
    fs::remove_all(set);
    fs::create_directories(set);
    Editor->SaveScenes((set / "model.frs").string(), true, ".DXF");
    EXPECT_EQ(std::distance(fs::directory_iterator(set), fs::directory_iterator()), frames + 1);

    Editor->LoadScenes((set / "model.frs").string());
    ASSERT_TRUE(Consistent(m));
    EXPECT_FALSE(Editor->Blocked);
    ASSERT_EQ(Frames().SceneCount(), 2 * scenes);
    ASSERT_EQ(Frames().Count(), 2 * frames);
    for (int s = 0; s < scenes; ++s) ASSERT_EQ(Frames().SceneFrameCount(scenes + s), Frames().SceneFrameCount(s));
    for (int k = 0; k < frames; ++k) ASSERT_TRUE(SamePositions(m, Frames().Frame(frames + k), Frames().Frame(k))) << k;

    const std::string saved = Path("reloaded.mdl");
    Editor->SaveToFile(saved, true);
    TMDL reloaded;
    reloaded.LoadFromFile(saved);
    ASSERT_TRUE(Consistent(reloaded));
    ASSERT_EQ(reloaded.Frames->Count(), 2 * frames);
    EXPECT_EQ(reloaded.Vertices->Count(), m.Vertices->Count());
    EXPECT_EQ(reloaded.Triangles->Count(), m.Triangles->Count());
    for (int k = 0; k < frames; ++k)
      ASSERT_TRUE(SamePositions(reloaded, reloaded.Frames->Frame(frames + k), reloaded.Frames->Frame(k))) << k;
  }
}
