#include "job/drive_scan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "job/file_list.h"
#include "platform/directory_door.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Paths = std::set<std::string>;

constexpr char kMarker[] = "[.ShellClassInfo]\r\nCLSID={645FF040-5081-101B-9F08-00AA002F954E}";

// A directory door that passes everything to the system but can refuse one
// folder and run a hook after a chosen number of entries.
class ScriptedDirectories : public SystemDirectoryDoor {
 public:
  std::string refuse;  // folder path ending that cannot be opened
  int hook_after = -1, entries = 0;
  std::function<void()> hook;
  void* Open(const char* path) override {
    if (!refuse.empty() && std::string_view(path).ends_with(refuse)) return errno = EACCES, nullptr;
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
  void SetUp() override { FileListClear(), ClearSkippedFolders(); }
  void TearDown() override { SetDirectoryDoor(nullptr), FileListClear(); }
  ScanResult Scan() { return searchDirectorySub(state, drive.str().c_str(), 1); }
  void Touch(const std::string& relative, const std::string& s = "") { drive.Write(relative, {s.begin(), s.end()}); }
  Paths Found() const {
    Paths out;
    for (int32_t i = 0; i < FileListCount(); ++i) out.insert(FileListGet(i) + drive.str().size());
    return out;
  }

  test::TempDir drive;
  JobState state;
  ScriptedDirectories dirs;
};

// The upper-cased end of the name decides (bytes past ASCII are not
// folded); hidden entries, seven folders deep as the limit, symbolic
// links, a recycle bin by its exact marker ignored and an unreadable folder
// passed over, in one walk.
TEST_F(DriveScanTest, FindsAudioFilesOnlyWhereTheWalkMayGo) {
  for (const char* name :
       {"Track01.Mp3", "song.AIFF", "song.aif", "xMP3", "mp3", "a.m4a", "b.AAC", "c.mp4", "e.Aiff",
        "song.mp3.txt", "song.flac", "p3", "song.aiff ", "songAIF.x", "song.m\xC3\xA4",
        ".song.mp3", ".hidden/in.mp3", "1/2/3/4/5/6/7/deepest.mp3", "1/2/3/4/5/6/7/8/too-deep.mp3",
        "real/a.wav", "a/locked/inside.mp3", "a/before-or-after.mp3", "z/c/later.mp3"})
    Touch(name);
  fs::create_directory_symlink(drive.path() / "real", drive.path() / "link");
  fs::create_symlink(drive.path() / "real/a.wav", drive.path() / "alias.mp3");
  std::string upper = kMarker, lf = kMarker;
  std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
  lf.erase(lf.find('\r'), 1);
  const std::pair<const char*, std::string> bins[] = {
      {"bin", std::string(kMarker) + "\r\nmore"},  // the marker, then anything
      {"upper", upper}, {"lf", lf + "X"}, {"short", std::string(kMarker).substr(0, 62)}};
  for (const auto& [folder, text] : bins)
    Touch(std::string(folder) + "/a.mp3"), Touch(std::string(folder) + "/desktop.ini", text);
  dirs.refuse = "/locked";
  SetDirectoryDoor(&dirs);
  EXPECT_EQ(Scan(), kScanCarryOn);
  const Paths expected = {"/Track01.Mp3", "/song.AIFF", "/song.aif", "/xMP3", "/mp3", "/a.m4a", "/b.AAC", "/c.mp4",
                          "/e.Aiff", "/1/2/3/4/5/6/7/deepest.mp3", "/real/a.wav", "/a/before-or-after.mp3",
                          "/z/c/later.mp3", "/upper/a.mp3", "/lf/a.mp3", "/short/a.mp3"};
  EXPECT_EQ(Found(), expected);
  EXPECT_EQ(Load(state.FindCount), static_cast<int32_t>(expected.size()));
  ASSERT_EQ(SkippedFolderCount(), 1u);  // for the user to hear of at the end
  EXPECT_EQ(std::tuple(SkippedFolders().at(0).path, SkippedFolders().at(0).error_number), std::tuple(drive.str() + "/a/locked", EACCES));
  // The root itself is never tested for the marker.
  FileListClear();
  EXPECT_EQ((std::tuple{searchDirectorySub(state, (drive.str() + "/bin").c_str(), 1), FileListCount()}), std::tuple(kScanCarryOn, 1));
}

TEST_F(DriveScanTest, PathsTooLongForTheScanBuffersAreSkipped) {
  // A drive mounted deep down, and folders of 250-byte names below it, bring
  // a file's path to the 2,079 bytes the scan can hold, and one byte past.
  const std::string name(250, 'n');
  std::string mount = "m", below;
  for (int i = 0; i < 4; ++i) mount += "/" + name, below += name + "/";
  const std::string root = drive.str() + "/" + mount;
  const size_t room = 2079 - root.size() - 1 - below.size();
  ASSERT_LT(room, 250u);
  Touch(mount + "/" + below + std::string(room - 4, 'f') + ".mp3");  // exactly 2,079
  Touch(mount + "/" + below + std::string(room - 3, 'g') + ".mp3");  // one byte more
  Touch(mount + "/short.mp3");
  EXPECT_EQ(searchDirectorySub(state, root.c_str(), 1), kScanCarryOn);
  ASSERT_EQ(FileListCount(), 2);
  EXPECT_EQ((std::set{std::strlen(FileListGet(0)), std::strlen(FileListGet(1))}),
            (std::set{size_t{2079}, root.size() + std::strlen("/short.mp3")}));
}

// A cancel stops the walk at the entry read when it came; a lifted pause
// lets the walk carry on.
TEST_F(DriveScanTest, CancelStopsTheWalkAndALiftedPauseCarriesOn) {
  for (int i = 0; i < 40; ++i) Touch(std::to_string(i) + ".mp3");
  dirs.hook_after = 12;
  dirs.hook = [this] { Store(state.Canceling, true), Store(state.CancelFlag, true); };
  SetDirectoryDoor(&dirs);
  EXPECT_EQ((std::tuple{Scan(), dirs.entries, Load(state.FindCount) <= 11}), std::tuple(kScanStop, 12, true));
  FileListClear(), Store(state.CancelFlag, false), Store(state.Canceling, false), Store(state.FindCount, 0);
  dirs.entries = 0;
  std::thread answer;
  dirs.hook = [this, &answer] {
    Store(state.Canceling, true);
    answer = std::thread([this] { usleep(250000), Store(state.Canceling, false), RaiseControl(state); });
  };
  EXPECT_EQ(Scan(), kScanCarryOn);
  answer.join(); EXPECT_EQ(Load(state.FindCount), 40);
}

// A folder of many files, made up by the door: the scan looks at names only.
class ManyFiles : public SystemDirectoryDoor {
 public:
  void* Open(const char*) override { return this; }
  bool Next(void*, DirectoryEntry* entry) override {
    std::snprintf(name_, sizeof name_, "%d.mp3", count_);
    return *entry = {name_, EntryType::kRegular}, count_++ < 150001;
  }
  void Close(void*) override {}
  int count_ = 0;
  char name_[16];
};

TEST_F(DriveScanTest, StopsAtOneHundredFiftyThousandFiles) {
  ManyFiles many;
  SetDirectoryDoor(&many);
  EXPECT_EQ((std::tuple{Scan(), Load(state.FindCount), FileListCount()}), std::tuple(kScanCarryOn, kScanFileLimit, kFileListCapacity));
  EXPECT_EQ(LeftOutFileCount(), 1u);  // and the one left out is counted
  EXPECT_EQ(FileListAdd("/one/more.mp3"), -1);  // the table refuses to grow past its slots
}

}  // namespace
}  // namespace qv
