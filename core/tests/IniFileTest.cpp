#include "core/IniFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>


namespace fs = std::filesystem;

namespace {

class IniFileTest : public ::testing::Test {
protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    Dir_ = fs::temp_directory_path() / ("tessel_ini_" + std::to_string(::getpid()) + "_" + info->name());
    fs::remove_all(Dir_);
    fs::create_directories(Dir_);
  }
  void TearDown() override { fs::remove_all(Dir_); }

  std::string PathOf(const std::string& name) const { return (Dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(PathOf(name), std::ios::binary) << bytes;
  }
  std::string Get(const std::string& name) const {
    std::ifstream in(PathOf(name), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  // Names in the folder other than the ones a test made itself.
  std::vector<std::string> Entries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(Dir_)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path Dir_;
};

using Names = std::vector<std::string>;

// Sets environment variables for one test and puts them back afterwards.
class ScopedEnv {
public:
  void Set(const char* name, const char* value) {
    if (!Saved_.count(name)) {
      const char* old = std::getenv(name);
      Saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto& [name, value] : Saved_) {
      if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
      else
        ::unsetenv(name.c_str());
    }
  }

private:
  std::map<std::string, std::optional<std::string>> Saved_;
};

std::unique_ptr<TIniFile> Parsed(std::string_view text) {
  auto ini = std::make_unique<TIniFile>();
  ini->SetText(text);
  return ini;
}

}  // namespace

TEST_F(IniFileTest, AMissingFileGivesEveryDefaultAndIsNotCreated) {
  {
    TIniFile ini(PathOf("TESSEL.INI"));
    EXPECT_EQ(ini.ReadString("GENERAL", "ModelFile", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("GENERAL", "NavigationPanelWidth", 141), 141);
    EXPECT_TRUE(ini.ReadBool("GENERAL", "ShowHints", true));
    EXPECT_FALSE(ini.ReadBool("GENERAL", "SkinEditor", false));
    EXPECT_EQ(ini.ReadFloat("Durations", "0", 0.1), 0.1);
    EXPECT_FALSE(ini.SectionExists("GENERAL"));
    EXPECT_FALSE(ini.ValueExists("GENERAL", "ModelFile"));
    EXPECT_TRUE(ini.ReadSections().empty());
    EXPECT_TRUE(ini.ReadSection("GENERAL").empty());
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_FALSE(fs::exists(PathOf("TESSEL.INI")));
}

TEST_F(IniFileTest, NamesMatchWithoutCaseAndBlanksAreTrimmed) {
  TIniFile ini;
  ini.SetText("  [ General ]  \r\n  ModelFile =  /models/a b.mdl  \r\n\tLeft\t=\t-12\t\r\nEmpty=\r\n");
  EXPECT_EQ(ini.ReadString("GENERAL", "modelfile", "?"), "/models/a b.mdl");
  EXPECT_EQ(ini.ReadString(" general ", " MODELFILE ", "?"), "/models/a b.mdl");
  EXPECT_EQ(ini.ReadInteger("general", "LEFT", 0), -12);
  // A key that is present with no value reads as empty, not as the default.
  EXPECT_EQ(ini.ReadString("General", "Empty", "default"), "");
  EXPECT_TRUE(ini.ValueExists("GENERAL", "empty"));
  EXPECT_EQ(ini.ReadSections(), (Names{"General"}));
  EXPECT_EQ(ini.ReadSection("GENERAL"), (Names{"ModelFile", "Left", "Empty"}));

  // Writing to a differently spelt key changes the existing one in place.
  ini.WriteString("GENERAL", "MODELFILE", "  /x.mdl ");
  EXPECT_EQ(ini.ReadString("General", "ModelFile", "?"), "/x.mdl");
  EXPECT_EQ(ini.ReadSection("General"), (Names{"ModelFile", "Left", "Empty"}));
}

TEST_F(IniFileTest, UnchangedLinesSurviveAndNewKeysJoinTheirSection) {
  const std::string text =
      "; written by hand\r\n"
      "stray=line before any section\r\n"
      "[GENERAL]\r\n"
      "; window\r\n"
      "Left = 10\r\n"
      "not a key line\r\n"
      "Top=20\r\n"
      "\r\n"
      "[VIEW3D]\r\n"
      "Zoom=2\r\n";
  TIniFile ini;
  ini.SetText(text);
  EXPECT_EQ(ini.Text(), text);
  // Lines outside a section are not keys of any section.
  EXPECT_FALSE(ini.ValueExists("", "stray"));

  ini.WriteInteger("GENERAL", "Width", 640);
  ini.WriteInteger("GENERAL", "Top", 25);
  ini.WriteBool("VIEWJOINTS", "Visible", true);
  EXPECT_EQ(ini.Text(),
            "; written by hand\r\n"
            "stray=line before any section\r\n"
            "[GENERAL]\r\n"
            "; window\r\n"
            "Left = 10\r\n"
            "not a key line\r\n"
            "Top=25\r\n"
            "Width=640\r\n"
            "\r\n"
            "[VIEW3D]\r\n"
            "Zoom=2\r\n"
            "[VIEWJOINTS]\r\n"
            "Visible=1\r\n");
  EXPECT_EQ(ini.ReadSections(), (Names{"GENERAL", "VIEW3D", "VIEWJOINTS"}));

  // A section with only a comment gets its first key after the comment.
  ini.SetText("[A]\n; about A\n\n[B]\n");
  ini.WriteString("A", "k", "v");
  EXPECT_EQ(ini.Text(), "[A]\n; about A\nk=v\n\n[B]\n");
}

TEST_F(IniFileTest, LineEndsAndByteOrderMarkAreKept) {
  TIniFile lf;
  lf.SetText("[S]\na=1\n");
  lf.WriteString("S", "b", "2");
  EXPECT_EQ(lf.Text(), "[S]\na=1\nb=2\n");

  TIniFile fresh;
  fresh.WriteString("S", "a", "1");
  EXPECT_EQ(fresh.Text(), "[S]\r\na=1\r\n");

  TIniFile bom;
  bom.SetText("\xEF\xBB\xBF[S]\r\na=1");
  EXPECT_EQ(bom.ReadInteger("s", "a", 0), 1);
  EXPECT_EQ(bom.Text(), "\xEF\xBB\xBF[S]\r\na=1\r\n");
}

TEST_F(IniFileTest, IntegersAreDecimalOrHexAndAnythingElseGivesTheDefault) {
  struct Case {
    const char* text;
    int32_t expected;
  };
  const Case cases[] = {
      {"12", 12},          {"-5", -5},           {"+7", 7},           {" 42 ", 42},
      {"0x1F", 31},        {"0XfF", 255},        {"-0x10", -16},      {"0xFFFFFFFF", -1},
      {"2147483647", INT_MAX}, {"-2147483648", INT_MIN}, {"007", 7},
      // Not integers: the default (99).
      {"", 99},            {"12abc", 99},        {"1.5", 99},         {"1e3", 99},
      {"--5", 99},         {"+-5", 99},          {"-+5", 99},         {"0x", 99},
      {"0x-1", 99},        {"0x100000000", 99},  {"2147483648", 99},  {"-2147483649", 99},
      {"99999999999999999999999", 99},           {"1 2", 99},         {"yes", 99},
  };
  for (const Case& c : cases) {
    auto ini = Parsed(std::string("[S]\nv=") + c.text + "\n");
    EXPECT_EQ(ini->ReadInteger("S", "v", 99), c.expected) << "value \"" << c.text << "\"";
  }
  TIniFile ini;
  ini.WriteInteger("S", "min", INT_MIN);
  ini.WriteInteger("S", "max", INT_MAX);
  EXPECT_EQ(ini.ReadString("S", "min", ""), "-2147483648");
  EXPECT_EQ(ini.ReadInteger("S", "min", 0), INT_MIN);
  EXPECT_EQ(ini.ReadInteger("S", "max", 0), INT_MAX);
}

TEST_F(IniFileTest, BooleansAreWrittenAsOneAndZeroAndReadAsAnyInteger) {
  TIniFile ini;
  ini.WriteBool("GENERAL", "FrameEditor", true);
  ini.WriteBool("GENERAL", "SkinEditor", false);
  EXPECT_EQ(ini.ReadString("GENERAL", "FrameEditor", ""), "1");
  EXPECT_EQ(ini.ReadString("GENERAL", "SkinEditor", ""), "0");
  EXPECT_TRUE(ini.ReadBool("GENERAL", "FrameEditor", false));
  EXPECT_FALSE(ini.ReadBool("GENERAL", "SkinEditor", true));

  ini.SetText("[B]\ntwo=2\nminus=-1\nhexzero=0x0\nword=true\nempty=\n");
  EXPECT_TRUE(ini.ReadBool("B", "two", false));
  EXPECT_TRUE(ini.ReadBool("B", "minus", false));
  EXPECT_FALSE(ini.ReadBool("B", "hexzero", true));
  // Text that is no integer keeps the default, whichever it is.
  EXPECT_TRUE(ini.ReadBool("B", "word", true));
  EXPECT_FALSE(ini.ReadBool("B", "word", false));
  EXPECT_TRUE(ini.ReadBool("B", "empty", true));
}

TEST_F(IniFileTest, DoublesUseAPointAndReadBackExactly) {
  TIniFile ini;
  for (double v : {0.1, 1.0 / 3.0, -2.5, 1e-300, 12345678.875, 0.0}) {
    ini.WriteFloat("D", "v", v);
    EXPECT_EQ(ini.ReadFloat("D", "v", -1.0), v) << ini.ReadString("D", "v", "");
    EXPECT_EQ(ini.ReadString("D", "v", "").find(','), std::string::npos);
  }
  ini.WriteFloat("D", "v", 0.25);
  EXPECT_EQ(ini.ReadString("D", "v", ""), "0.25");

  ini.SetText("[D]\na= 0.30 \nb=+1.5\nc=1e-3\nd=1,5\ne=nan\nf=inf\ng=1e999\nh=.5\ni=0x10\nj=-\n");
  EXPECT_EQ(ini.ReadFloat("D", "a", 9), 0.3);
  EXPECT_EQ(ini.ReadFloat("D", "b", 9), 1.5);
  EXPECT_EQ(ini.ReadFloat("D", "c", 9), 0.001);
  EXPECT_EQ(ini.ReadFloat("D", "h", 9), 0.5);
  for (const char* bad : {"d", "e", "f", "g", "i", "j"}) EXPECT_EQ(ini.ReadFloat("D", bad, 9), 9) << bad;

  EXPECT_THROW(ini.WriteFloat("D", "v", std::nan("")), EIniFileError);
  EXPECT_THROW(ini.WriteFloat("D", "v", INFINITY), EIniFileError);
}

TEST_F(IniFileTest, SectionsKeysAndTheirRemoval) {
  TIniFile ini;
  ini.SetText(
      "[Scenes]\ncount=2\n0=walk\n1=run\n0=shadowed\n"
      "[walk]\ncount=1\n0=walk0.DXF\n"
      "[Empty]\n"
      "[SCENES]\ncount=7\nextra=1\n");
  // The first of two equal sections or keys counts; each name is listed once.
  EXPECT_EQ(ini.ReadInteger("scenes", "count", 0), 2);
  EXPECT_EQ(ini.ReadString("scenes", "0", ""), "walk");
  EXPECT_FALSE(ini.ValueExists("scenes", "extra"));
  EXPECT_EQ(ini.ReadSections(), (Names{"Scenes", "walk", "Empty"}));
  EXPECT_EQ(ini.ReadSection("Scenes"), (Names{"count", "0", "1"}));
  EXPECT_TRUE(ini.SectionExists("empty"));
  EXPECT_FALSE(ini.SectionExists("run"));

  ini.DeleteKey("Scenes", "0");
  EXPECT_FALSE(ini.ValueExists("Scenes", "0")) << "every copy of the key goes";
  EXPECT_EQ(ini.ReadSection("Scenes"), (Names{"count", "1"}));
  ini.DeleteKey("NoSuchSection", "count");
  ini.DeleteKey("Scenes", "NoSuchKey");

  ini.EraseSection("SCENES");
  EXPECT_FALSE(ini.SectionExists("Scenes")) << "both copies of the section go";
  EXPECT_EQ(ini.ReadSections(), (Names{"walk", "Empty"}));
  EXPECT_EQ(ini.Text(), "[walk]\ncount=1\n0=walk0.DXF\n[Empty]\n");
}

TEST_F(IniFileTest, NamesAndValuesThatCannotBeStoredAreRefused) {
  TIniFile ini;
  ini.SetText("[S]\r\nk=v\r\n");
  const std::string before = ini.Text();
  EXPECT_THROW(ini.WriteString("S", "a=b", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", "  ", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", ";k", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", "[k", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", "a\nb", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S\n[T]", "k", "v"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", "k", "/tmp/odd\nname.mdl"), EIniFileError);
  EXPECT_THROW(ini.WriteString("S", "k", "cr\ronly"), EIniFileError);
  EXPECT_EQ(ini.Text(), before);

  // What can be stored reads back: "=" in values, "]" in section names.
  ini.WriteString("scene ] one]", "0", "a=b=c");
  auto again = Parsed(ini.Text());
  EXPECT_EQ(again->ReadString("scene ] one]", "0", ""), "a=b=c");
  EXPECT_EQ(again->ReadSections(), (Names{"S", "scene ] one]"}));
}

TEST_F(IniFileTest, SavesToDiskCreatingTheFolder) {
  const std::string file = PathOf("config/tessel/TESSEL.INI");
  {
    TIniFile ini(file);
    ini.WriteInteger("GENERAL", "Left", 5);
    ini.WriteString("GENERAL", "ModelFile", "/m/player.mdl");
    EXPECT_TRUE(ini.Modified());
    ini.UpdateFile();
    EXPECT_FALSE(ini.Modified());
  }
  EXPECT_EQ(Get("config/tessel/TESSEL.INI"), "[GENERAL]\r\nLeft=5\r\nModelFile=/m/player.mdl\r\n");
  // No temporary file is left behind.
  EXPECT_EQ(Entries(), (Names{"config"}));
  EXPECT_EQ(fs::directory_iterator(Dir_ / "config/tessel")->path().filename(), "TESSEL.INI");

  TIniFile back(file);
  EXPECT_EQ(back.ReadInteger("general", "left", 0), 5);
  EXPECT_THROW(TIniFile().UpdateFile(), EIniFileError);
}

TEST_F(IniFileTest, TheDestructorSavesWhatWasNotSaved) {
  { TIniFile(PathOf("a.ini")).WriteBool("VIEW2D", "Grid", true); }
  EXPECT_EQ(Get("a.ini"), "[VIEW2D]\r\nGrid=1\r\n");
}

TEST_F(IniFileTest, TwoObjectsOnOneFileKeepEachOthersChanges) {
  Put("TESSEL.INI", "[GENERAL]\nLeft=1\nTop=2\n[VIEW3D]\nZoom=1\n");
  TIniFile main(PathOf("TESSEL.INI"));
  TIniFile view(PathOf("TESSEL.INI"));
  view.WriteInteger("VIEW3D", "Zoom", 3);
  view.UpdateFile();
  // The main window still holds the file as it was; its save must only
  // change what it changed.
  main.WriteInteger("GENERAL", "Left", 100);
  main.DeleteKey("GENERAL", "Top");
  main.UpdateFile();
  EXPECT_EQ(Get("TESSEL.INI"), "[GENERAL]\nLeft=100\n[VIEW3D]\nZoom=3\n");
  EXPECT_EQ(main.ReadInteger("VIEW3D", "Zoom", 0), 3);
}

TEST_F(IniFileTest, SavingKeepsPermissionsAndWritesThroughLinks) {
  Put("real.ini", "[S]\na=1\n");
  ::chmod(PathOf("real.ini").c_str(), 0640);
  fs::create_symlink(PathOf("real.ini"), PathOf("link.ini"));
  {
    TIniFile ini(PathOf("link.ini"));
    ini.WriteInteger("S", "a", 2);
    ini.UpdateFile();
  }
  EXPECT_TRUE(fs::is_symlink(PathOf("link.ini")));
  EXPECT_EQ(Get("real.ini"), "[S]\na=2\n");
  struct stat st;
  ASSERT_EQ(::stat(PathOf("real.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, AFailedSaveLeavesTheOldFileAlone) {
  const std::string old = "[GENERAL]\nLeft=1\n";
  Put("TESSEL.INI", old);
  // Run the save in a child whose file size limit is too small for the new
  // text, so the write itself fails part way.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1024, 1024};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    int code = 1;
    try {
      TIniFile ini(PathOf("TESSEL.INI"));
      ini.WriteString("GENERAL", "ModelFile", std::string(4096, 'm'));
      ini.UpdateFile();
    } catch (const EWriteError&) {
      code = 0;
    } catch (...) {
      code = 2;
    }
    std::_Exit(code);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should have raised EWriteError";
  EXPECT_EQ(Get("TESSEL.INI"), old);
  EXPECT_EQ(Entries(), (Names{"TESSEL.INI"}));

  // A target that turned into a folder meanwhile fails with a stream error
  // and leaves nothing behind.
  TIniFile ini(PathOf("gone.ini"));
  ini.WriteString("S", "k", "v");
  fs::create_directory(PathOf("gone.ini"));
  EXPECT_THROW(ini.UpdateFile(), EStreamError);
  EXPECT_TRUE(ini.Modified());
  EXPECT_TRUE(fs::is_directory(PathOf("gone.ini")));
  EXPECT_EQ(Entries(), (Names{"TESSEL.INI", "gone.ini"}));
  fs::remove(PathOf("gone.ini"));
}

TEST_F(IniFileTest, HostileFilesLoadWithoutTrouble) {
  // Binary bytes, NULs, no line end at all.
  std::string binary;
  for (int i = 0; i < 4096; ++i) binary.push_back(static_cast<char>((i * 7919) & 0xFF));
  Put("binary.ini", binary);
  TIniFile b(PathOf("binary.ini"));
  b.ReadSections();
  EXPECT_EQ(b.ReadString("GENERAL", "Left", "d"), "d");

  // One huge line, and a huge run of tiny sections and keys.
  Put("long.ini", "[S]\nk=" + std::string(2000000, 'v'));
  TIniFile l(PathOf("long.ini"));
  EXPECT_EQ(l.ReadString("S", "k", "").size(), 2000000u);

  std::string many;
  for (int i = 0; i < 100000; ++i) many += "[]\nk=" + std::to_string(i) + "\n=\n[\n";
  TIniFile m;
  m.SetText(many);
  EXPECT_EQ(m.ReadSections(), (Names{""}));
  EXPECT_EQ(m.ReadInteger("", "k", -1), 0);

  // A name that is a folder cannot be read: a clear stream error.
  EXPECT_THROW(TIniFile(Dir_.string()), EStreamError);
}

TEST(SettingsLocation, EnvironmentChoosesTheFolder) {
  ScopedEnv env;
  env.Set("TESSEL_CONFIG_DIR", "/tmp/tessel-test-config");
  EXPECT_EQ(SettingsFolder(), "/tmp/tessel-test-config/");
  EXPECT_EQ(SettingsFileName(), "/tmp/tessel-test-config/TESSEL.INI");

  env.Set("TESSEL_CONFIG_DIR", nullptr);
  env.Set("XDG_CONFIG_HOME", "/home/u/cfg/");
  env.Set("HOME", "/home/u");
  EXPECT_EQ(SettingsFolder(), "/home/u/cfg/tessel/");
  // A relative XDG folder is ignored, as is an empty one.
  env.Set("XDG_CONFIG_HOME", "relative/cfg");
  EXPECT_EQ(SettingsFolder(), "/home/u/.config/tessel/");
  env.Set("XDG_CONFIG_HOME", "");
  EXPECT_EQ(SettingsFileName(), "/home/u/.config/tessel/TESSEL.INI");
}
