// Whole jobs on temporary drives, with a scripted front end and, where a
// step must fail, an engine table whose chosen step fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "job/backup.h"
#include "job/file_list.h"
#include "job/job_driver.h"
#include "library/builder/library_builder.h"
#include "library/files/library_files.h"
#include "platform/directory_door.h"
#include "support/faulty_file_door.h"
#include "support/scripted_job_host.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using namespace test;

// What the scripted engine steps do and saw; reset by each test.
struct Script {
  std::function<int(const char* path, int index)> add;  // per-file result
  std::function<int()> open, flush, finish;
  std::vector<std::string> added;
  int opens = 0, flushes = 0, finishes = 0, closes = 0, loaded = 0;
  uint32_t change_flags = 0;  // update
  std::vector<std::string> pending;
  int32_t bar_at_load = -1;  // the bar's maximum while the first queued file loads
};
Script g;
using Files = std::map<std::string, std::vector<uint8_t>>;
JobDriver* g_driver = nullptr;
test::ScriptedJobHost* g_host = nullptr;

// The real create engine, each step observable and replaceable.
JobEngine ScriptedEngine() {
  JobEngine e = LibraryEngine();
  e.OpenBuild = [](const char* root, uint32_t kind) { return ++g.opens, g.open ? g.open() : OpenBuild(root, kind); };
  e.AddFileToBuild = [](const char* path, int language) {
    g.added.emplace_back(path);
    return g.add ? g.add(path, static_cast<int>(g.added.size()) - 1) : AddFileToBuild(path, language);
  };
  e.FlushBuild = [](int final_flag) { return ++g.flushes, g.flush ? g.flush() : FlushBuild(final_flag); };
  e.FinishBuild = [] { return ++g.finishes, g.finish ? g.finish() : FinishBuild(); };
  e.CloseBuild = [] { ++g.closes, CloseBuild(); };
  return e;
}

JobEngine ScriptedUpdateEngine() {
  JobEngine e = LibraryEngine();
  e.OpenLibraryForUpdate = [](const char*, uint32_t) { return 0; };
  e.MatchFoundFile = [](const char* path, const char*) { return g.added.emplace_back(path), 0; };
  e.ApplyRemovals = e.FinishUpdate = [] { return 0; };
  e.UpdateChangeFlags = [] { return g.change_flags; };
  e.PendingAdditionCount = [] { return static_cast<uint32_t>(g.pending.size()); };
  e.LoadPendingAddition = [](const char*) {
    if (g.loaded == 0) usleep(20000), g.bar_at_load = g_host->bar_maximum;  // the view stands aside
    return FileListAdd(g.pending[g.loaded++].c_str());
  };
  e.AddPendingFile = [](const char*, int, uint32_t k, uint32_t) { return g.added.emplace_back(FileListGet(int32_t(k))), 0; };
  e.FlushUpdateBuild = [](int, int) { return 0; };
  e.CloseUpdate = [] { ++g.closes; };
  e.CheckLibrary = [](const char*, uint32_t) { return 0; };
  return e;
}
void ExpectEachAddedOnce(size_t count) {
  EXPECT_EQ(std::tuple(std::set<std::string>(g.added.begin(), g.added.end()).size(), g.added.size()), std::tuple(count, count));
}

class JobFlowTest : public ::testing::Test {
 protected:
  void SetUp() override { g = Script{}, FileListInit(), ClearBackupPaths(); }
  void TearDown() override { SetDirectoryDoor(nullptr), FileListClear(); }

  // Audio-like bytes the tag reader takes as untagged MP3s.
  void AddSongs(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      std::vector<uint8_t> bytes(400, static_cast<uint8_t>(0x20 + i % 50));
      bytes[0] = 0xFF, bytes[1] = 0xFB;
      drive.Write(folder + "/song" + std::to_string(i) + ".mp3", bytes);
    }
  }
  void Run(const JobEngine& engine, bool create = true) {
    state = std::make_unique<JobState>();
    std::snprintf(state->MakePath, sizeof state->MakePath, "%s", drive.str().c_str());
    std::snprintf(state->FileSystem, sizeof state->FileSystem, "msdos");
    state->CreateMode = create;
    host = std::make_unique<test::ScriptedJobHost>(), g_host = host.get();
    host->unreadable_answers = unreadable_answers;
    JobSettings settings = JobSettings::Immediate();
    settings.kind_override = kFileSystemFat, settings.tag_readers = 1;  // files fail one by one
    JobDriver driver(*state, *host, engine, settings);
    g_driver = &driver, driver.Start(), driver.Wait();
    succeeded = driver.Succeeded(), raised = driver.RaisedError(), g_driver = nullptr;
  }
  // A first, successful create gives the drive a library to protect.
  Files MakeOldLibrary() {
    AddSongs("Old", 3), Run(LibraryEngine()), g = Script{};
    return Snapshot();
  }
  Files Snapshot() const {
    Files files;
    const fs::path top = drive.path() / "QUORVEN";
    if (!fs::exists(top)) return files;
    for (const auto& e : fs::recursive_directory_iterator(top))
      if (e.is_regular_file()) files[fs::relative(e.path(), top)] = test::ReadFileBytes(e.path());
    return files;
  }

  test::TempDir drive;
  std::unique_ptr<JobState> state;
  std::unique_ptr<test::ScriptedJobHost> host;
  std::deque<int> unreadable_answers;
  bool succeeded = false;
  int raised = 0;
};

TEST_F(JobFlowTest, NothingAddedEndsInAnEmptyLibrary) {
  for (int files : {3, 0}) {  // every file skipped, and an empty drive
    SCOPED_TRACE(files);
    g = Script{}, fs::remove_all(drive.path() / "Music"), AddSongs("Music", files);
    g.add = [](const char*, int) { return 2; };
    Run(ScriptedEngine());
    EXPECT_EQ(std::tuple(succeeded, host->alerts, Load(state->ErrorCount)), std::tuple(true, std::vector<int>(files, 2), files));
    EXPECT_EQ(host->finish_text, "0 files are processed.");
    EXPECT_EQ(std::tuple(g.flushes, g.finishes, Snapshot().size()), std::tuple(1, 1, 3));
  }
}

// Skip goes on with the next file, cancel enabled again; the library is
// built and no copy of the old one stays beside it.
TEST_F(JobFlowTest, CreateSkipsAnUnreadableFileAndBuildsTheLibrary) {
  AddSongs("Music/A", 4), AddSongs("Music/B", 3), drive.Write("notes.txt", {1, 2, 3});
  drive.Write("Music/broken.mp3", {});  // the real engine answers 2 for it
  bool cancel_enabled_after_skip = false;
  g.add = [&](const char* path, int) {
    if (g.added.size() >= 2 && g.added[g.added.size() - 2].find("broken") != std::string::npos)
      cancel_enabled_after_skip = host->cancel_enabled;
    return AddFileToBuild(path, 2);
  };
  Run(ScriptedEngine());
  EXPECT_EQ(std::tuple(succeeded, host->end_succeeded, cancel_enabled_after_skip), std::tuple(true, true, true));
  EXPECT_EQ(host->alerts, (std::vector<int>{2}));
  EXPECT_NE(host->alert_files[0].find("broken.mp3"), std::string::npos);
  EXPECT_EQ(host->finish_text, "7 files are processed.");
  EXPECT_EQ(std::tuple(g.flushes, g.finishes, g.closes, Snapshot().size(), host->bar_maximum.load(), host->last_view.percent), std::tuple(1, 1, 1, 3, 8, 100));
  EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kFileSystemFat), 0);
  ExpectEachAddedOnce(8);
}

// Abort at an unreadable file, a failing engine step or a failing backup:
// the error is raised once and the old library is back byte for byte.
TEST_F(JobFlowTest, AbortAndFailuresRestoreTheOldLibraryByteForByte) {
  struct Case { const char* name; std::function<void()> arm; int code; } const cases[] = {
      {"abort", [] { g.add = [](const char* p, int i) { return i == 2 ? 2 : AddFileToBuild(p, 2); }; }, 2},
      {"open", [] { g.open = [] { return 3; }; }, 3},
      {"add", [] { g.add = [](const char* p, int i) { return i == 2 ? 4 : AddFileToBuild(p, 2); }; }, 4},
      {"add data", [] { g.add = [](const char* p, int i) { return i == 4 ? 3 : AddFileToBuild(p, 2); }; }, 3},
      // The new library is complete on the drive when the step reports 4.
      {"finish", [] { g.finish = [] { return FinishBuild(), 4; }; }, 4},
      {"backup", [] {}, 4},
  };
  const auto before = MakeOldLibrary();
  AddSongs("New", 6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g = Script{};
    c.arm();
    const bool backup = c.name == std::string("backup");
    unreadable_answers = {kAnswerAlternate};
    FaultyFileDoor door;
    door.FailNth(FileOp::kOpen, 2, ".bak");
    {
      std::optional<ScopedFileDoor> scoped;
      if (backup) scoped.emplace(&door);
      Run(ScriptedEngine());
    }
    EXPECT_EQ(std::tuple(door.Fired(), host->end_succeeded, raised), std::tuple(backup, false, c.code));
    EXPECT_EQ(host->alerts, (std::vector<int>{c.code}));  // no further alert
    EXPECT_EQ(std::tuple(g.opens, g.closes), backup ? std::tuple(0, 0) : std::tuple(1, 1));  // no body after a failed backup
    EXPECT_EQ(Snapshot(), before);
  }
  // On a drive that had no library, the folders the job made go too; a top
  // folder that was there stays, though empty.
  for (const bool had_top : {false, true}) {
    fs::remove_all(drive.path() / "QUORVEN"), g = Script{}, g.finish = [] { return 4; };
    if (had_top) fs::create_directory(drive.path() / "QUORVEN");
    Run(ScriptedEngine());
    EXPECT_EQ(raised, 4);
    EXPECT_EQ(fs::exists(drive.path() / "QUORVEN"), had_top);
  }
}

// Cancels at the twentieth directory entry, from inside the scan.
class CancellingDirectories : public SystemDirectoryDoor {
 public:
  std::atomic<int> entries{0};
  bool Next(void* handle, DirectoryEntry* entry) override {
    if (!SystemDirectoryDoor::Next(handle, entry)) return false;
    if (++entries == 20 && g_driver != nullptr) g_driver->AskCancel(), g_driver->AnswerCancel(true);
    return true;
  }
};

TEST_F(JobFlowTest, CancelDuringTheScanRestores) {
  const auto before = MakeOldLibrary();
  AddSongs("New", 60);
  CancellingDirectories dirs;
  SetDirectoryDoor(&dirs), Run(ScriptedEngine());
  EXPECT_EQ(std::tuple(succeeded, host->alerts.size(), Load(state->FindCount) < 20), std::tuple(false, 0, true));
  EXPECT_EQ(Snapshot(), before);
}

// The cancel question answered later from another thread: "No" loses and
// repeats no file; "Yes" drops an error raised while the question was open.
TEST_F(JobFlowTest, AnswersToTheOpenCancelQuestion) {
  for (const bool yes : {false, true}) {
    SCOPED_TRACE(yes);
    g = Script{}, AddSongs("Music", 9);
    static bool answer_yes;
    answer_yes = yes;
    std::thread answer;
    g.add = [&answer](const char* path, int index) {
      if (index == 1) {
        g_driver->AskCancel();
        answer = std::thread([] { usleep(300000), g_driver->AnswerCancel(answer_yes); });
        if (answer_yes) return 4;
      }
      return AddFileToBuild(path, 2);
    };
    Run(ScriptedEngine()), answer.join();
    EXPECT_EQ(std::tuple(succeeded, host->alerts.size(), raised), std::tuple(!yes, 0, 0));
    if (!yes) ExpectEachAddedOnce(9);
  }
}

TEST_F(JobFlowTest, GoneDriveRaisesSeven) {
  // Nothing found and the drive gone by the end of the job; or an unreadable
  // file on a gone drive, which raises 7 instead of the question.
  for (const int songs : {0, 3}) {
    SCOPED_TRACE(songs);
    g = Script{}, fs::create_directories(drive.path()), AddSongs("Music", songs);
    if (songs == 0) g.open = [this] { return fs::remove_all(drive.path()), 0; };
    else g.add = [this](const char*, int) { return fs::remove_all(drive.path()), 2; };
    Run(ScriptedEngine());
    EXPECT_EQ(std::tuple(succeeded, g.added.size()), std::tuple(false, songs ? 1 : 0));
    EXPECT_EQ(host->alert_texts, std::vector<std::string>{"Selected device is removed.\nError Code : E-07"});
  }
  fs::create_directories(drive.path());  // for the temporary folder's own clean-up
}

// Four files matched; then no additions, or an add pass that refills the
// file list, restarts the count under "Added" and still ends at 100%.
TEST_F(JobFlowTest, UpdateEndsFullWithOrWithoutAnAddPass) {
  AddSongs("Music", 4);
  for (const bool adds : {false, true}) {
    SCOPED_TRACE(adds);
    g = Script{};
    if (adds) {
      g.change_flags = kChangeQueuedAdditions;
      g.pending = {drive.str() + "/Music/song1.mp3", drive.str() + "/Music/song3.mp3"};
    }
    Run(ScriptedUpdateEngine(), false);
    EXPECT_EQ(std::tuple(succeeded, host->finish_text), std::tuple(true, adds ? "2 files are processed." : "0 files are processed."));
    ASSERT_EQ(std::tuple(g.added.size(), host->last_view.percent), std::tuple(adds ? 6 : 4, 100));
    EXPECT_DOUBLE_EQ(host->last_view.bar_value, adds ? 2.0 : 4.0);
    EXPECT_STREQ(host->last_view.caption, adds ? "Added" : "Processed");
    EXPECT_EQ(std::vector<std::string>(g.added.begin() + 4, g.added.end()), g.pending);
    EXPECT_EQ(g.bar_at_load, adds ? 4 : -1);
  }
}

}  // namespace
}  // namespace qv
