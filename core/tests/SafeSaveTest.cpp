#include "core/SafeSave.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include "core/Filters.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteText(const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

mode_t Mode(const fs::path& p) {
  struct stat st {};
  ::stat(p.c_str(), &st);
  return st.st_mode & 07777;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> r;
  for (const auto& e : fs::directory_iterator(dir)) r.push_back(e.path().filename().string());
  std::sort(r.begin(), r.end());
  return r;
}

// The message of the error `save` raises; fails the test when none is.
template <class E>
std::string ErrorOf(const std::function<void()>& save) {
  try {
    save();
  } catch (const E& e) {
    return e.what();
  }
  ADD_FAILURE() << "nothing raised";
  return {};
}

class SafeSaveTest : public ::testing::Test {
protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("safesave_" + std::to_string(::getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(Dir);
    fs::create_directories(Dir);
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(Dir, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(Dir, ec);
  }
  fs::path Dir;
};

// A system refusing writes past `bytes` bytes of any file, without root:
// the file size limit, with its signal ignored so the write fails instead.
class TFileSizeLimit {
public:
  explicit TFileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &Old_);
    OldSignal_ = ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = Old_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &Old_);
    ::signal(SIGXFSZ, OldSignal_);
  }

private:
  rlimit Old_{};
  sighandler_t OldSignal_{};
};

}  // namespace

TEST_F(SafeSaveTest, ReplacesTheFileWholeAndKeepsItsPermissions) {
  const fs::path target = Dir / "model.mdl";
  WriteText(target, "old contents, longer than the new");
  ::chmod(target.c_str(), 0640);
  SafeSaveBytes(target.string(), "new");
  EXPECT_EQ(ReadAll(target), "new");
  EXPECT_EQ(Mode(target), 0640u);
  EXPECT_EQ(Entries(Dir), std::vector<std::string>{"model.mdl"});

  // A new file gets the bits any new file of this process gets.
  const mode_t oldMask = ::umask(027);
  SafeSaveBytes((Dir / "fresh.ini").string(), "x");
  ::umask(oldMask);
  EXPECT_EQ(Mode(Dir / "fresh.ini"), 0640u);
}

TEST_F(SafeSaveTest, WritesThroughSymbolicLinksAndKeepsThem) {
  fs::create_directories(Dir / "real");
  WriteText(Dir / "real" / "skin.pcx", "old");
  ::chmod((Dir / "real" / "skin.pcx").c_str(), 0600);
  fs::create_symlink("real/skin.pcx", Dir / "link1");        // relative to the link's folder
  fs::create_symlink(Dir / "link1", Dir / "link2");          // a chain, absolute
  fs::create_symlink("real/missing.pcx", Dir / "dangling");  // to a file not there yet
  SafeSaveBytes((Dir / "link2").string(), "through two links");
  EXPECT_TRUE(fs::is_symlink(Dir / "link1"));
  EXPECT_TRUE(fs::is_symlink(Dir / "link2"));
  EXPECT_EQ(ReadAll(Dir / "real" / "skin.pcx"), "through two links");
  EXPECT_EQ(Mode(Dir / "real" / "skin.pcx"), 0600u);
  SafeSaveBytes((Dir / "dangling").string(), "made");
  EXPECT_TRUE(fs::is_symlink(Dir / "dangling"));
  EXPECT_EQ(ReadAll(Dir / "real" / "missing.pcx"), "made");
  // Temporary files went beside the file written, and none is left.
  EXPECT_EQ(Entries(Dir / "real"), (std::vector<std::string>{"missing.pcx", "skin.pcx"}));
  EXPECT_EQ(Entries(Dir).size(), 4u);

  fs::create_symlink("loop2", Dir / "loop1");
  fs::create_symlink("loop1", Dir / "loop2");
  EXPECT_NE(ErrorOf<EFCreateError>([&] { SafeSaveBytes((Dir / "loop1").string(), "x"); }).find("loop1"),
            std::string::npos);
}

TEST_F(SafeSaveTest, AFailureWhileWritingLeavesTheOldFileAndNoTemporary) {
  const fs::path target = Dir / "list.frs";
  WriteText(target, "old");
  // The writer's own error passes unchanged.
  EXPECT_EQ(ErrorOf<EWriteError>([&] {
              SafeSave(target.string(), [](TStream& s) {
                s.WriteBuffer("partial", 7);
                throw EWriteError("gave up");
              });
            }),
            "gave up");
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(Entries(Dir), std::vector<std::string>{"list.frs"});
  // Neither a folder nor a nameless file can be a target.
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { SafeSaveBytes(Dir.string(), "x"); }),
            "Cannot create file \"" + Dir.string() + "\". Is a directory");
  EXPECT_THROW(SafeSaveBytes("", "x"), EFCreateError);
}

TEST_F(SafeSaveTest, ASystemRefusalNamesTheFileAndTheReasonWhateverTheLayersAbove) {
  const fs::path target = Dir / "frame.dxf";
  WriteText(target, "old");
  const std::string expected = "Cannot write to file \"" + target.string() + "\". File too large";
  const std::vector<uint8_t> big(100000, 7);
  struct {
    const char* how;
    std::function<void(TStream&)> write;
  } writers[] = {
      {"plain", [&](TStream& s) { s.WriteBuffer(big.data(), static_cast<int64_t>(big.size())); }},
      {"buffered",
       [&](TStream& s) {
         TBufferedFilter f(&s, 4096);
         f.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
         f.Flush();
       }},
      {"refusal ignored by the writer", [&](TStream& s) { s.Write(big.data(), static_cast<int64_t>(big.size())); }},
  };
  for (const auto& w : writers) {
    TFileSizeLimit limit(20000);
    EXPECT_EQ(ErrorOf<EWriteError>([&] { SafeSave(target.string(), w.write); }), expected) << w.how;
    EXPECT_EQ(ReadAll(target), "old") << w.how;
    EXPECT_EQ(Entries(Dir), std::vector<std::string>{"frame.dxf"}) << w.how;
  }
}

TEST_F(SafeSaveTest, AReadOnlyFolderIsRefusedWithTheReason) {
  const fs::path target = Dir / "ro" / "model.mdl";
  fs::create_directories(target.parent_path());
  WriteText(target, "old");
  ::chmod(target.parent_path().c_str(), 0555);
  bool mounted = false;
  if (::access(target.parent_path().c_str(), W_OK) == 0) {
    // Permission bits do not stop the super-user; a read-only mount does.
    ::chmod(target.parent_path().c_str(), 0755);
    mounted = ::mount(target.parent_path().c_str(), target.parent_path().c_str(), nullptr, MS_BIND, nullptr) == 0 &&
              ::mount(nullptr, target.parent_path().c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
    if (!mounted) {
      ::umount(target.parent_path().c_str());
      GTEST_SKIP() << "running with rights that ignore permission bits, and cannot mount a read-only folder";
    }
  }
  const std::string message = ErrorOf<EFCreateError>([&] { SafeSaveBytes(target.string(), "new"); });
  EXPECT_EQ(message.rfind("Cannot create file \"" + target.string() + "\". ", 0), 0u) << message;
  EXPECT_TRUE(message.ends_with("Permission denied") || message.ends_with("Read-only file system")) << message;
  EXPECT_EQ(ReadAll(target), "old");
  if (mounted) ::umount(target.parent_path().c_str());
  EXPECT_EQ(Entries(target.parent_path()), std::vector<std::string>{"model.mdl"});
}

TEST_F(SafeSaveTest, AFullDiskLeavesTheOldFileAndSaysSo) {
  const fs::path disk = Dir / "disk";
  fs::create_directories(disk);
  if (::mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small file system here (needs root); the file size limit test covers the "
                    "write failure";
  const fs::path target = disk / "model.mdl";
  WriteText(target, std::string(20000, 'o'));
  const std::vector<uint8_t> big(60000, 1);
  for (bool buffered : {false, true}) {
    const std::string message = ErrorOf<EWriteError>([&] {
      SafeSave(target.string(), [&](TStream& s) {
        if (!buffered) return s.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
        TBufferedFilter f(&s, 4096);
        f.WriteBuffer(big.data(), static_cast<int64_t>(big.size()));
        f.Flush();
      });
    });
    EXPECT_EQ(message, "Cannot write to file \"" + target.string() + "\". No space left on device");
    EXPECT_EQ(ReadAll(target), std::string(20000, 'o'));
    EXPECT_EQ(Entries(disk), std::vector<std::string>{"model.mdl"});
  }
  // What fits is saved.
  SafeSaveBytes(target.string(), "small");
  EXPECT_EQ(ReadAll(target), "small");
  ::umount(disk.c_str());
}
