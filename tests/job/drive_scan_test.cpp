#include "job/drive_scan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "job/file_list.h"
#include "platform/directory_door.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

constexpr char kMarker[] = "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}";

std::vector<uint8_t> Text(const std::string& s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

// Paths found, relative to the drive root, in any order.
std::set<std::string> Found(const TempDir& drive) {
  std::set<std::string> out;
  const std::string root = drive.str();
  for (int32_t i = 0; i < FileListCount(); ++i) out.insert(FileListGet(i) + root.size());
  return out;
}

// A directory door that passes everything to the system but can refuse one
// folder and run a hook after a chosen number of entries.
class ScriptedDirectories : public SystemDirectoryDoor {
 public:
  std::string refuse;  // folder path ending that cannot be opened
  int hook_after = -1;
  std::function<void()> hook;
  int entries = 0;
  void* Open(const char* path) override {
    const std::string p = path;
    if (!refuse.empty() && p.size() >= refuse.size() &&
        p.compare(p.size() - refuse.size(), refuse.size(), refuse) == 0) {
      return nullptr;
    }
    return SystemDirectoryDoor::Open(path);
  }
  bool Next(void* handle, DirectoryEntry* entry) override {
    if (!SystemDirectoryDoor::Next(handle, entry)) return false;
    if (++entries == hook_after && hook) hook();
    return true;
  }
};

class DriveScanTest : public ::testing::Test {
 protected:
  void SetUp() override { FileListClear(); }
  void TearDown() override {
    SetDirectoryDoor(nullptr);
    FileListClear();
  }
  ScanResult Scan() { return searchDirectorySub(state, drive.str().c_str(), 1); }
  void Touch(const std::string& relative) { drive.Write(relative, {}); }

  TempDir drive;
  JobState state;
};

TEST(AudioSuffix, UpperCasedEndOfTheNameDecides) {
  for (const char* name : {"Track01.Mp3", "song.AIFF", "song.aif", "xMP3", "mp3", "a.m4a", "b.AAC",
                           "c.mp4", "d.wav", "e.Aiff"}) {
    EXPECT_TRUE(MatchesAudioExtension(name)) << name;
  }
  for (const char* name : {"song.mp3.txt", "song.flac", "p3", "", "song.aiff ", "songAIF.x"}) {
    EXPECT_FALSE(MatchesAudioExtension(name)) << name;
  }
  // Bytes past ASCII are left as they are rather than folded.
  EXPECT_FALSE(MatchesAudioExtension("song.m\xC3\xA4"));
  char text[] = "ab\xE9z";
  EXPECT_STREQ(ToUpperInPlace(text), "AB\xE9Z");
}

TEST_F(DriveScanTest, FindsAudioFilesAndSkipsHiddenEntries) {
  for (const char* name : {"Track01.Mp3", "song.AIFF", "song.aif", "xMP3", "mp3", "song.mp3.txt",
                           "song.flac", ".song.mp3", ".hidden/in.mp3", "Music/a/b.wav"}) {
    Touch(name);
  }
  EXPECT_EQ(Scan(), kScanCarryOn);
  EXPECT_EQ(Found(drive), (std::set<std::string>{"/Track01.Mp3", "/song.AIFF", "/song.aif", "/xMP3",
                                                 "/mp3", "/Music/a/b.wav"}));
  EXPECT_EQ(Load(state.FindCount), 6);
}

TEST_F(DriveScanTest, RecycleBinMarkerMustMatchExactly) {
  Touch("bin/gone.mp3");
  drive.Write("bin/desktop.ini", Text(std::string(kMarker) + "\r\nmore"));
  Touch("upper/kept1.mp3");
  std::string upper = kMarker;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  drive.Write("upper/desktop.ini", Text(upper));
  Touch("lf/kept2.mp3");
  std::string lf = kMarker;
  lf.erase(lf.find('\r'), 1);
  drive.Write("lf/desktop.ini", Text(lf + "X"));
  Touch("short/kept3.mp3");
  drive.Write("short/desktop.ini", Text(std::string(kMarker).substr(0, 62)));
  Scan();
  EXPECT_EQ(Found(drive),
            (std::set<std::string>{"/upper/kept1.mp3", "/lf/kept2.mp3", "/short/kept3.mp3"}));
  // The root itself is never tested.
  FileListClear();
  Store(state.FindCount, 0);
  EXPECT_EQ(searchDirectorySub(state, (drive.str() + "/bin").c_str(), 1), kScanCarryOn);
  EXPECT_EQ(FileListCount(), 1);
}

TEST_F(DriveScanTest, SevenFoldersDeepIsTheLimit) {
  Touch("1/2/3/4/5/6/7/deepest.mp3");
  Touch("1/2/3/4/5/6/7/8/too-deep.mp3");
  Scan();
  EXPECT_EQ(Found(drive), (std::set<std::string>{"/1/2/3/4/5/6/7/deepest.mp3"}));
}

TEST_F(DriveScanTest, SymbolicLinksAreNotFollowed) {
  Touch("real/a.mp3");
  Touch("real/b.mp3");
  fs::create_directory_symlink(drive.path() / "real", drive.path() / "link");
  fs::create_symlink(drive.path() / "real/a.mp3", drive.path() / "alias.mp3");
  Scan();
  EXPECT_EQ(Found(drive), (std::set<std::string>{"/real/a.mp3", "/real/b.mp3"}));
}

TEST_F(DriveScanTest, UnreadableFolderIsPassedOverAndTheScanGoesOn) {
  Touch("a/locked/inside.mp3");
  Touch("a/before-or-after.mp3");
  Touch("b/c/later.mp3");
  Touch("z.mp3");
  ScriptedDirectories dirs;
  dirs.refuse = "/locked";
  SetDirectoryDoor(&dirs);
  EXPECT_EQ(Scan(), kScanCarryOn);
  EXPECT_EQ(Found(drive),
            (std::set<std::string>{"/a/before-or-after.mp3", "/b/c/later.mp3", "/z.mp3"}));
}

TEST_F(DriveScanTest, PathsTooLongForTheScanBuffersAreSkipped) {
  // A drive mounted deep down, and folders of 250-byte names below it, bring
  // a file's path to the 2,079 bytes the scan can hold, and one byte past.
  const std::string name(250, 'n');
  std::string mount = "m";
  for (int i = 0; i < 4; ++i) mount += "/" + name;
  std::string below;
  for (int i = 0; i < 4; ++i) below += name + "/";
  const std::string root = drive.str() + "/" + mount;
  const size_t room = 2079 - root.size() - 1 - below.size();
  ASSERT_LT(room, 250u);
  Touch(mount + "/" + below + std::string(room - 4, 'f') + ".mp3");  // exactly 2,079
  Touch(mount + "/" + below + std::string(room - 3, 'g') + ".mp3");  // one byte more
  Touch(mount + "/short.mp3");
  EXPECT_EQ(searchDirectorySub(state, root.c_str(), 1), kScanCarryOn);
  ASSERT_EQ(FileListCount(), 2);
  for (int32_t i = 0; i < FileListCount(); ++i) EXPECT_LE(std::strlen(FileListGet(i)), 2079u);
  EXPECT_EQ(std::strlen(FileListGet(0)) + std::strlen(FileListGet(1)),
            2079u + root.size() + std::strlen("/short.mp3"));
}

TEST_F(DriveScanTest, CancelStopsTheWalkAtTheNextEntry) {
  for (int i = 0; i < 40; ++i) Touch("f" + std::to_string(i) + ".mp3");
  ScriptedDirectories dirs;
  dirs.hook_after = 12;
  dirs.hook = [this] {
    Store(state.Canceling, true);
    Store(state.CancelFlag, true);
  };
  SetDirectoryDoor(&dirs);
  EXPECT_EQ(Scan(), kScanStop);
  // The entry read when the cancel came is not handled, and none after it.
  EXPECT_EQ(dirs.entries, 12);
  EXPECT_LE(Load(state.FindCount), 11);
}

TEST_F(DriveScanTest, PausedScanWaitsAndCarriesOnWhenNotCancelled) {
  for (int i = 0; i < 5; ++i) Touch("f" + std::to_string(i) + ".mp3");
  ScriptedDirectories dirs;
  dirs.hook_after = 3;
  std::thread answer;
  dirs.hook = [this, &answer] {
    Store(state.Canceling, true);
    answer = std::thread([this] {
      usleep(250000);
      Store(state.Canceling, false);
    });
  };
  SetDirectoryDoor(&dirs);
  EXPECT_EQ(Scan(), kScanCarryOn);
  answer.join();
  EXPECT_EQ(Load(state.FindCount), 5);
}

TEST(DriveScanLimit, StopsAtOneHundredFiftyThousandFiles) {
  // Empty files in a few folders are enough: the scan looks at names only.
  // They go to memory when it can hold them.
  if (access("/dev/shm", W_OK) == 0) setenv("TMPDIR", "/dev/shm", 1);
  TempDir drive;
  JobState state;
  FileListClear();
  for (int folder = 0; folder < 4; ++folder) {
    const fs::path dir = drive.path() / ("d" + std::to_string(folder));
    fs::create_directory(dir);
    const int count = folder < 3 ? 37500 : 37501;
    for (int i = 0; i < count; ++i) {
      const std::string path = (dir / (std::to_string(i) + ".mp3")).string();
      const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
      ASSERT_GE(fd, 0);
      ::close(fd);
    }
  }
  EXPECT_EQ(searchDirectorySub(state, drive.str().c_str(), 1), kScanCarryOn);
  EXPECT_EQ(Load(state.FindCount), kScanFileLimit);
  EXPECT_EQ(FileListCount(), kFileListCapacity);
  // The table itself refuses to grow past its slots.
  EXPECT_EQ(FileListAdd("/one/more.mp3"), -1);
  EXPECT_EQ(FileListCount(), kFileListCapacity);
  FileListClear();
}

}  // namespace
}  // namespace qv
