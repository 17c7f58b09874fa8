// Whole jobs on temporary drives, with a scripted front end and, where a
// step must fail, an engine table whose chosen step fails.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "job/backup.h"
#include "job/file_list.h"
#include "job/job_driver.h"
#include "library/build/library_builder.h"
#include "library/files/library_files.h"
#include "platform/directory_door.h"
#include "support/faulty_file_door.h"
#include "support/scripted_job_host.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using test::FaultyFileDoor;
using test::FileOp;
using test::ReadFileBytes;
using test::ScopedFileDoor;
using test::ScriptedJobHost;
using test::TempDir;

// What the scripted engine steps do and saw; reset by each test.
struct Script {
  std::function<int(const char* path, int index)> add;  // per-file result
  std::function<int()> open, flush, finish;
  std::vector<std::string> added;
  int opens = 0, flushes = 0, finishes = 0, closes = 0;
  // Update.
  uint32_t change_flags = 0;
  std::vector<std::string> pending;
  int loaded = 0;
};
Script g;
JobDriver* g_driver = nullptr;

int ScriptOpen(const char* root, uint32_t kind) {
  ++g.opens;
  return g.open ? g.open() : OpenBuild(root, kind);
}
int ScriptAdd(const char* path, int language) {
  const int index = static_cast<int>(g.added.size());
  g.added.emplace_back(path);
  return g.add ? g.add(path, index) : AddFileToBuild(path, language);
}
int ScriptFlush(int final_flag) {
  ++g.flushes;
  return g.flush ? g.flush() : FlushBuild(final_flag);
}
int ScriptFinish() {
  ++g.finishes;
  return g.finish ? g.finish() : FinishBuild();
}
void ScriptClose() {
  ++g.closes;
  CloseBuild();
}
int ScriptOpenUpdate(const char*, uint32_t) {
  return 0;
}
int ScriptMatch(const char* path, const char*) {
  g.added.emplace_back(path);
  return 0;
}
int ScriptZero() {
  return 0;
}
uint32_t ScriptFlags() {
  return g.change_flags;
}
uint32_t ScriptPendingCount() {
  return static_cast<uint32_t>(g.pending.size());
}
int ScriptLoadPending(const char*) {
  return FileListAdd(g.pending[g.loaded++].c_str());
}
int ScriptAddPending(const char*, int, uint32_t index, uint32_t) {
  g.added.emplace_back(FileListGet(static_cast<int32_t>(index)));
  return 0;
}
int ScriptFlushUpdate(int, int) {
  return 0;
}
void ScriptCloseUpdate() {
  ++g.closes;
}

// The real create engine, each step observable and replaceable.
JobEngine ScriptedEngine() {
  JobEngine e = LibraryEngine();
  e.OpenBuild = ScriptOpen;
  e.AddFileToBuild = ScriptAdd;
  e.FlushBuild = ScriptFlush;
  e.FinishBuild = ScriptFinish;
  e.CloseBuild = ScriptClose;
  return e;
}

JobEngine ScriptedUpdateEngine() {
  JobEngine e = LibraryEngine();
  e.OpenLibraryForUpdate = ScriptOpenUpdate;
  e.MatchFoundFile = ScriptMatch;
  e.ApplyRemovals = ScriptZero;
  e.UpdateChangeFlags = ScriptFlags;
  e.PendingAdditionCount = ScriptPendingCount;
  e.LoadPendingAddition = ScriptLoadPending;
  e.AddPendingFile = ScriptAddPending;
  e.FlushUpdateBuild = ScriptFlushUpdate;
  e.FinishUpdate = ScriptZero;
  e.CloseUpdate = ScriptCloseUpdate;
  return e;
}

// Audio-like bytes the tag reader takes as an untagged MP3.
std::vector<uint8_t> Mp3Bytes(int seed) {
  std::vector<uint8_t> bytes(400, static_cast<uint8_t>(0x20 + seed % 50));
  bytes[0] = 0xFF;
  bytes[1] = 0xFB;
  return bytes;
}

class JobFlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g = Script{};
    FileListInit();
    ClearBackupPaths();
  }
  void TearDown() override {
    SetDirectoryDoor(nullptr);
    g_driver = nullptr;
    FileListClear();
  }

  void AddSongs(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      drive.Write(folder + "/song" + std::to_string(i) + ".mp3", Mp3Bytes(i));
    }
  }
  void Run(const JobEngine& engine, bool create = true) {
    state = std::make_unique<JobState>();
    std::snprintf(state->MakePath, sizeof state->MakePath, "%s", drive.str().c_str());
    std::snprintf(state->VolumeName, sizeof state->VolumeName, "TESTDRIVE");
    std::snprintf(state->FileSystem, sizeof state->FileSystem, "msdos");
    state->CreateMode = create;
    host = std::make_unique<ScriptedJobHost>();
    host->on_alert = on_alert;
    host->unreadable_answers = unreadable_answers;
    JobSettings settings = JobSettings::Immediate();
    settings.kind_override = kFileSystemFat;
    JobDriver driver(*state, *host, engine, settings);
    g_driver = &driver;
    driver.Start();
    driver.Wait();
    succeeded = driver.Succeeded();
    raised = driver.RaisedError();
    g_driver = nullptr;
  }
  // A first, successful create gives the drive a library to protect.
  std::map<std::string, std::vector<uint8_t>> MakeOldLibrary() {
    AddSongs("Old", 3);
    Run(LibraryEngine());
    EXPECT_TRUE(succeeded);
    g = Script{};
    return Snapshot();
  }
  std::map<std::string, std::vector<uint8_t>> Snapshot() const {
    std::map<std::string, std::vector<uint8_t>> files;
    const fs::path top = drive.path() / "QUORVEN";
    if (!fs::exists(top)) return files;
    for (const auto& e : fs::recursive_directory_iterator(top)) {
      if (e.is_regular_file())
        files[fs::relative(e.path(), top).string()] = ReadFileBytes(e.path());
    }
    return files;
  }

  TempDir drive;
  std::unique_ptr<JobState> state;
  std::unique_ptr<ScriptedJobHost> host;
  std::function<void(int)> on_alert;
  std::deque<int> unreadable_answers;
  bool succeeded = false;
  int raised = 0;
};

TEST_F(JobFlowTest, CreateBuildsTheLibraryAndCountsTheFiles) {
  AddSongs("Music/A", 4);
  AddSongs("Music/B", 3);
  drive.Write("notes.txt", {1, 2, 3});
  Run(ScriptedEngine());
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->finish_text, "7 files are processed.");
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_EQ(Load(state->MakeCount), 7);
  EXPECT_EQ(Load(state->ErrorCount), 0);
  EXPECT_EQ(g.added.size(), 7u);
  EXPECT_EQ(g.flushes, 1);
  EXPECT_EQ(g.finishes, 1);
  EXPECT_EQ(g.closes, 1);
  EXPECT_TRUE(Load(state->MakeFin));
  EXPECT_TRUE(host->end_succeeded);
  EXPECT_EQ(host->bar_maximum, 7);
  EXPECT_EQ(host->last_view.percent, 100);
  EXPECT_DOUBLE_EQ(host->last_view.bar_value, 7.0);
  EXPECT_EQ(host->volume, "TESTDRIVE");
  EXPECT_EQ(CheckExistingLibrary(drive.str(true).c_str(), kFileSystemFat), 0);
  EXPECT_EQ(Snapshot().size(), 3u);  // the library, and no .bak beside it
}

TEST_F(JobFlowTest, EverySkippedFileStillEndsInSuccessWithNothingWritten) {
  AddSongs("Music", 3);
  g.add = [](const char*, int) { return 2; };
  Run(ScriptedEngine());
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{2, 2, 2}));
  EXPECT_EQ(host->finish_text, "0 files are processed.");
  EXPECT_EQ(Load(state->ErrorCount), 3);
  EXPECT_EQ(g.flushes, 0);
  EXPECT_EQ(g.finishes, 0);
  EXPECT_EQ(g.closes, 1);
  EXPECT_NE(host->alert_texts[0].find("Skip the file or abort creating the library?"),
            std::string::npos);
}

TEST_F(JobFlowTest, SkipGoesOnWithTheNextFile) {
  AddSongs("Music", 5);
  // Empty files cannot be read: the real engine answers 2 for them.
  drive.Write("Music/broken.mp3", {});
  std::vector<bool> cancel_enabled_after_skip;
  g.add = [&](const char* path, int) {
    if (!g.added.empty() && g.added.size() >= 2 &&
        g.added[g.added.size() - 2].find("broken") != std::string::npos) {
      cancel_enabled_after_skip.push_back(host->cancel_enabled);
    }
    return AddFileToBuild(path, 2);
  };
  Run(ScriptedEngine());
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{2}));
  ASSERT_EQ(host->alert_files.size(), 1u);
  EXPECT_NE(host->alert_files[0].find("broken.mp3"), std::string::npos);
  EXPECT_EQ(Load(state->MakeCount), 5);
  EXPECT_EQ(Load(state->ErrorCount), 1);
  EXPECT_EQ(host->finish_text, "5 files are processed.");
  // Each file handed to the engine once.
  std::vector<std::string> sorted = g.added;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(sorted.size(), 6u);
  for (bool enabled : cancel_enabled_after_skip) EXPECT_TRUE(enabled);
}

TEST_F(JobFlowTest, AbortRestoresTheOldLibrary) {
  const auto before = MakeOldLibrary();
  AddSongs("New", 4);
  drive.Write("New/zz-broken.mp3", {});
  unreadable_answers = {kAnswerAlternate};
  Run(ScriptedEngine());
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{2}));  // no further alert
  EXPECT_EQ(raised, 2);
  EXPECT_EQ(g.closes, 1);
  EXPECT_TRUE(host->finish_text.empty());
  EXPECT_FALSE(host->end_succeeded);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(JobFlowTest, FailingEngineStepsRestoreTheOldLibraryByteForByte) {
  struct Case {
    const char* name;
    std::function<void()> arm;
    int code;
  };
  const std::vector<Case> cases = {
      {"open", [] { g.open = [] { return 3; }; }, 3},
      {"add",
       [] { g.add = [](const char* p, int i) { return i == 2 ? 4 : AddFileToBuild(p, 2); }; }, 4},
      {"add data",
       [] { g.add = [](const char* p, int i) { return i == 4 ? 3 : AddFileToBuild(p, 2); }; }, 3},
      {"flush",
       [] {
         g.flush = [] {
           FlushBuild(1);
           return 3;
         };
       },
       3},
      // The new library is complete on the drive when the step reports 4.
      {"finish",
       [] {
         g.finish = [] {
           FinishBuild();
           return 4;
         };
       },
       4},
  };
  const auto before = MakeOldLibrary();
  AddSongs("New", 6);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g = Script{};
    c.arm();
    Run(ScriptedEngine());
    EXPECT_FALSE(succeeded);
    EXPECT_EQ(host->alerts, (std::vector<int>{c.code}));
    EXPECT_EQ(raised, c.code);
    EXPECT_EQ(g.closes, 1);
    EXPECT_EQ(Snapshot(), before);
  }
}

TEST_F(JobFlowTest, FailedBackupRaisesFourAndRunsNoBody) {
  const auto before = MakeOldLibrary();
  AddSongs("New", 2);
  FaultyFileDoor door;
  door.FailNth(FileOp::kOpen, 2, ".bak");
  {
    ScopedFileDoor scoped(&door);
    Run(ScriptedEngine());
  }
  EXPECT_TRUE(door.Fired());
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{4}));
  EXPECT_EQ(g.opens, 0);
  EXPECT_EQ(Snapshot(), before);
}

// Cancels at the twentieth directory entry, from inside the scan.
class CancellingDirectories : public SystemDirectoryDoor {
 public:
  std::atomic<int> entries{0};
  bool Next(void* handle, DirectoryEntry* entry) override {
    if (!SystemDirectoryDoor::Next(handle, entry)) return false;
    if (++entries == 20 && g_driver != nullptr) {
      g_driver->AskCancel();
      g_driver->AnswerCancel(true);
    }
    return true;
  }
};

TEST_F(JobFlowTest, CancelDuringTheScanStopsItAndRestores) {
  const auto before = MakeOldLibrary();
  AddSongs("New", 60);
  CancellingDirectories dirs;
  SetDirectoryDoor(&dirs);
  Run(ScriptedEngine());
  SetDirectoryDoor(nullptr);
  EXPECT_FALSE(succeeded);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_LT(Load(state->FindCount), 20);
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(JobFlowTest, CancelDuringTheMainPassStopsAtTheNextFile) {
  const auto before = MakeOldLibrary();
  AddSongs("New", 8);
  g.add = [](const char* path, int index) {
    if (index == 3) {
      g_driver->AskCancel();
      g_driver->AnswerCancel(true);
    }
    return AddFileToBuild(path, 2);
  };
  Run(ScriptedEngine());
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(g.added.size(), 4u);
  EXPECT_EQ(g.closes, 1);
  EXPECT_EQ(g.flushes, 0);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(JobFlowTest, NoToTheCancelQuestionLosesAndRepeatsNoFile) {
  AddSongs("Music", 9);
  std::thread answer;
  g.add = [&answer](const char* path, int index) {
    if (index == 3) {
      g_driver->AskCancel();
      answer = std::thread([] {
        usleep(300000);
        g_driver->AnswerCancel(false);
      });
    }
    return AddFileToBuild(path, 2);
  };
  Run(ScriptedEngine());
  answer.join();
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->finish_text, "9 files are processed.");
  std::vector<std::string> sorted = g.added;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end());
  EXPECT_EQ(sorted.size(), 9u);
}

TEST_F(JobFlowTest, ErrorRaisedWhileTheCancelQuestionIsOpenIsDroppedOnYes) {
  AddSongs("Music", 4);
  std::thread answer;
  g.add = [&answer](const char* path, int index) {
    if (index == 1) {
      g_driver->AskCancel();
      answer = std::thread([] {
        usleep(200000);
        g_driver->AnswerCancel(true);
      });
      return 4;
    }
    return AddFileToBuild(path, 2);
  };
  Run(ScriptedEngine());
  answer.join();
  EXPECT_FALSE(succeeded);
  EXPECT_TRUE(host->alerts.empty());
  EXPECT_EQ(raised, 0);
}

TEST_F(JobFlowTest, RemovedDriveRaisesSeven) {
  // Nothing found, and the drive gone by the end of the job.
  g.open = [this] {
    fs::remove_all(drive.path());
    return 0;
  };
  Run(ScriptedEngine());
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{7}));
  EXPECT_EQ(host->alert_texts[0], "Selected device is removed.\nError Code : E-07");
  fs::create_directories(drive.path());  // for the temporary folder's own clean-up
}

TEST_F(JobFlowTest, UnreadableFileOnAGoneDriveRaisesSevenInsteadOfTheQuestion) {
  AddSongs("Music", 3);
  g.add = [this](const char*, int) {
    fs::remove_all(drive.path());
    return 2;
  };
  Run(ScriptedEngine());
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{7}));
  EXPECT_EQ(g.added.size(), 1u);
  fs::create_directories(drive.path());
}

TEST_F(JobFlowTest, EmptyDriveSucceedsWithoutWritingALibrary) {
  Run(ScriptedEngine());
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->finish_text, "0 files are processed.");
  EXPECT_EQ(g.flushes, 0);
  EXPECT_EQ(g.finishes, 0);
}

TEST_F(JobFlowTest, UpdateWithoutAdditionsEndsFull) {
  AddSongs("Music", 5);
  Run(ScriptedUpdateEngine(), false);
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->finish_text, "0 files are processed.");
  EXPECT_EQ(g.added.size(), 5u);
  EXPECT_EQ(host->last_view.percent, 100);
  EXPECT_DOUBLE_EQ(host->last_view.bar_value, 5.0);
  EXPECT_STREQ(host->last_view.caption, "Processed");
  EXPECT_STREQ(host->first_view.message, "Updating..");
}

TEST_F(JobFlowTest, UpdateAddPassRefillsTheFileList) {
  AddSongs("Music", 4);
  g.change_flags = kChangeQueuedAdditions;
  g.pending = {drive.str() + "/Music/song1.mp3", drive.str() + "/Music/song3.mp3"};
  Run(ScriptedUpdateEngine(), false);
  EXPECT_TRUE(succeeded);
  EXPECT_EQ(host->finish_text, "2 files are processed.");
  ASSERT_EQ(g.added.size(), 6u);  // four matched, two added
  EXPECT_EQ(g.added[4], g.pending[0]);
  EXPECT_EQ(g.added[5], g.pending[1]);
  EXPECT_EQ(Load(state->AddFlag), kAddPassRunning);
  EXPECT_STREQ(host->last_view.caption, "Added");
  EXPECT_EQ(host->last_view.total, 2);
  EXPECT_EQ(host->last_view.percent, 100);
  EXPECT_EQ(host->bar_maximum, 2);
}

TEST_F(JobFlowTest, UpdateFailsCleanlyUntilTheUpdateFlowExists) {
  const auto before = MakeOldLibrary();
  Run(LibraryEngine(), false);
  EXPECT_FALSE(succeeded);
  EXPECT_EQ(host->alerts, (std::vector<int>{3}));
  EXPECT_EQ(Snapshot(), before);
}

}  // namespace
}  // namespace qv
