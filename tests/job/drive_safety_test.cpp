// Whole jobs on drives that fail, crash, are shared or were crafted to
// mislead. The drive must end with its old library byte for byte or a new one
// that passes the reader's check, and nothing outside it may change.
// QV_SWEEP_FILES sets the drive's size (make reliability runs thousands).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <map>
#include <set>

#include "job/backup.h"
#include "job/drive_lock.h"
#include "job/file_list.h"
#include "job/job_driver.h"
#include "library/files/library_reader.h"
#include "platform/file_door.h"
#include "support/id3_writer.h"
#include "support/library_fixture.h"
#include "support/scripted_job_host.h"
#include "support/temp_dir.h"

namespace qv {
namespace {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;  // path: mode, bytes (and time)

enum class Fault { kNone, kNoSpace, kIo, kShortWrite, kKill };

// Counts the calls that change the drive (every call, when asked) and fails
// the nth of them, or kills the process there.
class SweepDoor : public SystemFileDoor {
 public:
  SweepDoor(Fault fault, long nth, bool every_call = false) : fault_(fault), nth_(nth), every_(every_call) {}
  std::atomic<long> calls{0};
  std::string failed_path;

  int Open(const char* p, int f, unsigned m) override {
    return Hit((f & (O_WRONLY | O_RDWR | O_CREAT)) != 0, p) ? -1 : SystemFileDoor::Open(p, f, m);
  }
  int64_t Read(int fd, void* b, size_t n) override { return Hit(false) ? -1 : SystemFileDoor::Read(fd, b, n); }
  int64_t Write(int fd, const void* b, size_t n) override {
    if (!Hit(true)) return SystemFileDoor::Write(fd, b, n);
    return fault_ == Fault::kShortWrite && n > 1 ? SystemFileDoor::Write(fd, b, n / 2) : -1;
  }
  int64_t Seek(int fd, int64_t o, int w) override { return Hit(false) ? -1 : SystemFileDoor::Seek(fd, o, w); }
  int Close(int fd) override {
    const bool fail = Hit(false);
    return SystemFileDoor::Close(fd) != 0 || fail ? -1 : 0;
  }
  int Fchmod(int fd, unsigned m) override { return Hit(true) ? -1 : SystemFileDoor::Fchmod(fd, m); }
  // A killed process leaves the page cache to the kernel, so these sweeps
  // need no real flush; the count and the fault are what they test.
  int Fsync(int) override { return Hit(true) ? -1 : 0; }
  int Mkdir(const char* p, unsigned m) override { return Hit(true, p) ? -1 : SystemFileDoor::Mkdir(p, m); }
  int Remove(const char* p) override { return Hit(true, p) ? -1 : SystemFileDoor::Remove(p); }
  int Rename(const char* a, const char* b) override { return Hit(true, a) ? -1 : SystemFileDoor::Rename(a, b); }

 private:
  bool Hit(bool changes, const char* path = "") {
    if (!changes && !every_) return false;
    if (++calls != nth_) return false;
    if (fault_ == Fault::kKill) raise(SIGKILL);
    failed_path = path;
    errno = fault_ == Fault::kNoSpace ? ENOSPC : EIO;
    return true;
  }
  Fault fault_;
  long nth_;
  bool every_;
};

uint32_t g_record_bytes = 0;  // small, so that a few hundred tracks spill

// The library engine with small batches; fail_finish makes the last step
// fail, so that the job's restore runs after its spills.
JobEngine SweepEngine(bool fail_finish = false) {
  JobEngine e = LibraryEngine();
  e.OpenBuild = [](const char* root, uint32_t kind) { return test::OpenTestBuild(root, {kind, g_record_bytes, {}}); };
  if (fail_finish) e.FinishBuild = [] { return 4; };
  return e;
}

// One create job through a door: 0 done, else the error raised (-1 none).
int RunJob(const std::string& root, const JobEngine& engine, FileDoor* door = nullptr) {
  FileListInit();
  ClearBackupPaths();
  auto state = std::make_unique<JobState>();
  std::snprintf(state->MakePath, sizeof state->MakePath, "%s", root.c_str());
  std::snprintf(state->FileSystem, sizeof state->FileSystem, "msdos");
  test::ScriptedJobHost host;
  JobSettings settings = JobSettings::Immediate();
  settings.kind_override = kFileSystemFat;
  settings.yield_each_file = false;
  JobDriver driver(*state, host, engine, settings);
  SweepDoor plain(Fault::kNone, 0);
  SetFileDoor(door != nullptr ? door : &plain);
  driver.Start();
  driver.Wait();
  SetFileDoor(nullptr);
  FileListClear();
  return driver.Succeeded() ? 0 : driver.RaisedError() != 0 ? driver.RaisedError() : -1;
}

// Every entry below top, links not followed: mode, bytes, and for audio the
// modification time.
Tree Snapshot(const fs::path& top, bool with_time = false) {
  Tree tree;
  if (!fs::exists(fs::symlink_status(top))) return tree;
  for (const auto& e : fs::recursive_directory_iterator(top)) {
    struct stat st {};
    lstat(e.path().c_str(), &st);
    std::string v = std::to_string(st.st_mode) + ":";
    if (with_time) v += std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec);
    if (S_ISREG(st.st_mode)) for (uint8_t c : test::ReadFileBytes(e.path())) v.push_back(static_cast<char>(c));
    tree[e.path().string()] = v;
  }
  return tree;
}

class DriveSafetyTest : public ::testing::Test {
 protected:
  // A drive with an old library, then a quarter of its songs replaced.
  void SetUp() override {
    const char* size = std::getenv("QV_SWEEP_FILES");
    files_ = size != nullptr ? std::atoi(size) : 8;
    thorough_ = size != nullptr;
    g_record_bytes = 930 * (files_ / 3 + 1);
    for (int i = 0; i < files_; ++i) AddSong(i);
    ASSERT_EQ(RunJob(Root(), SweepEngine()), 0);
    for (int i = 0; i < files_ / 4; ++i) fs::remove(drive_.path() / Song(i)), AddSong(files_ + i);
    old_ = Snapshot(Top());
    audio_ = Snapshot(drive_.path() / "Music", true);
    fs::copy(Top(), pristine_.path(), fs::copy_options::recursive);
  }
  // The old library, as it was before any job of the test.
  void Reset() const {
    fs::remove_all(Top());
    fs::copy(pristine_.path(), Top(), fs::copy_options::recursive);
  }
  static std::string Song(int i) { return "Music/" + std::to_string(i % 5) + "/" + std::to_string(i) + ".mp3"; }
  void AddSong(int i) {
    test::Id3v1Fields f{"Song " + std::to_string(i), "Artist " + std::to_string(i % 7), "Album " + std::to_string(i % 3)};
    drive_.Write(Song(i), test::Id3Join({test::AudioFiller(1500), test::Id3v1Tag(f)}));
  }
  std::string Root() const { return drive_.str(); }
  fs::path Top() const { return drive_.path() / "QUORVEN"; }
  int BakCount() const { int n = 0; for (auto& [p, v] : Snapshot(Top())) n += p.ends_with(".bak"); return n; }
  // The library passes the check and lists exactly the songs on the drive.
  bool GoodLibrary() const {
    ReadLibrary lib;
    ReadFault fault;
    if (ReadLibraryFiles(Root().c_str(), kFileSystemFat, &lib, &fault) != kReadOk) return false;
    std::set<std::string> listed, present;
    for (const ReadPage& page : lib.pages) listed.insert(Root() + LibraryTextToUtf8(page.texts[4]));
    for (const auto& e : fs::recursive_directory_iterator(drive_.path() / "Music"))
      if (e.is_regular_file()) present.insert(e.path().string());
    return listed == present;
  }
  // What the next job finds: a library that passes, or the copies of the old one.
  bool Recoverable() const {
    Tree now = Snapshot(Top());
    ReadLibrary lib;
    ReadFault fault;
    if (ReadLibraryFiles(Root().c_str(), kFileSystemFat, &lib, &fault) == kReadOk) return true;
    for (const char* name : {"QVDB.DB", "QVTL.DB", "QVBL.DB"}) {
      const std::string lib_path = (Top() / "LIBRARY" / name).string(), bak = (Top() / name).string() + ".bak";
      if (now[bak] != old_.at(lib_path)) return false;
    }
    return true;
  }

  test::TempDir drive_, pristine_;
  int files_ = 0;
  bool thorough_ = false;  // every fault at every call; else one fault each, in turn
  Tree old_, audio_;
};

// Every call that changes the drive fails once, each way: the job reports 3
// or 4 and the drive is as before, or the job got past it and the new library
// is good. Only a failed removal of a copy may leave that copy.
TEST_F(DriveSafetyTest, WriteFaultSweepLeavesTheOldOrAGoodNewLibrary) {
  struct Row { const char* job; bool create; };
  for (const Row row : {Row{"create", true}}) {
    SweepDoor counter(Fault::kNone, 0);
    ASSERT_EQ(RunJob(Root(), SweepEngine(), &counter), 0);
    const long calls = counter.calls;
    long injected = 0, intact = 0;
    for (const Fault fault : {Fault::kNoSpace, Fault::kIo, Fault::kShortWrite}) {
      for (long n = 1; n <= calls; ++n) {
        if (!thorough_ && static_cast<long>(fault) % 3 != n % 3) continue;
        Reset();
        SweepDoor door(fault, n);
        const int r = RunJob(Root(), SweepEngine(), &door);
        const bool ok = r == 0 ? GoodLibrary() && (BakCount() == 0 || door.failed_path.ends_with(".bak"))
                               : (r == 3 || r == 4) && Snapshot(Top()) == old_;
        EXPECT_TRUE(ok) << row.job << " fault " << static_cast<int>(fault) << " at " << n << " of " << calls << ": " << r;
        ++injected, intact += ok;
      }
    }
    std::printf("write faults (%s): %ld injected, %ld/%ld drives left intact\n", row.job, injected, intact, injected);
  }
  EXPECT_EQ(Snapshot(drive_.path() / "Music", true), audio_);
}

// A job killed at every call (a spread of them on a big drive), and a failing
// job killed in its restore: the next job ends with a good library, no copy
// left, and the lock went with the process.
TEST_F(DriveSafetyTest, CrashSweepRecoversOnTheNextJob) {
  for (const bool failing : {false, true}) {
    SweepDoor counter(Fault::kNone, 0, true);
    RunJob(Root(), SweepEngine(failing), &counter);
    const long calls = counter.calls, step = calls <= 600 ? 1 : calls / 60;
    long points = 0, recovered = 0;
    for (long n = failing ? calls - 45 : 1; n <= calls; n += n < 40 || n > calls - 45 ? 1 : step) {
      Reset();
      const pid_t child = fork();
      if (child == 0) {
        SweepDoor door(Fault::kKill, n, true);
        RunJob(Root(), SweepEngine(failing), &door);
        _exit(0);
      }
      int status = 0;
      waitpid(child, &status, 0);
      const int lock = LockLibraryDrive((Root() + "/").c_str(), kFileSystemFat);
      UnlockLibraryDrive(lock);
      const bool ok = lock >= 0 && Recoverable() && RunJob(Root(), SweepEngine()) == 0 && GoodLibrary() && BakCount() == 0;
      EXPECT_TRUE(ok) << (failing ? "failing " : "") << "crash at " << n << " of " << calls;
      ++points, recovered += ok;
    }
    std::printf("crash points (%s): %ld, %ld/%ld recoveries\n", failing ? "failing create" : "create", points, recovered, points);
  }
  EXPECT_EQ(Snapshot(drive_.path() / "Music", true), audio_);
}

// A second job on a held drive changes nothing; a finished one frees it.
TEST_F(DriveSafetyTest, OneJobPerDrive) {
  const int held = LockLibraryDrive((Root() + "/").c_str(), kFileSystemFat);
  ASSERT_GE(held, 0);
  EXPECT_EQ(RunJob(Root(), SweepEngine()), 4);
  EXPECT_EQ(Snapshot(Top()), old_);
  UnlockLibraryDrive(held);
  for (const bool failing : {true, false}) {
    RunJob(Root(), SweepEngine(failing));
    const int lock = LockLibraryDrive((Root() + "/").c_str(), kFileSystemFat);
    EXPECT_GE(lock, 0);
    UnlockLibraryDrive(lock);
  }
}

// Links at each level of the library path, FIFOs where files belong and a
// file of the owner's: nothing outside the drive changes, nothing hangs, the
// owner's file survives a failed job.
TEST_F(DriveSafetyTest, CraftedDrivesCannotReachOutsideOrHang) {
  test::TempDir outside;
  outside.Write("kept.txt", {1, 2, 3});
  mkfifo((drive_.path() / "fifo.mp3").c_str(), 0644);
  TrackTagsStorage tags;
  EXPECT_NE(ReadTrackTags((drive_.path() / "fifo.mp3").c_str(), &tags.tags, "CP1252"), 1);
  struct Row { const char* at; const char* what; int result; };
  const Row rows[] = {
      {"QUORVEN", "link", 4}, {"QUORVEN/LIBRARY", "link", 4}, {"QUORVEN/LIBRARY/QVTL.DB", "link", 4},
      {"QUORVEN/LIBRARY/QVBL.DB", "fifo", 4}, {"Music/0/desktop.ini", "fifo", 0},
      {"QUORVEN/LIBRARY/notes.txt", "owner", 4},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.at);
    fs::remove_all(Top());
    const fs::path at = drive_.path() / row.at, target = outside.path() / (at.filename() == "QVTL.DB" ? "kept.txt" : "");
    fs::create_directories(at.parent_path());
    if (row.what == std::string("link")) fs::create_symlink(target, at);
    if (row.what == std::string("fifo")) mkfifo(at.c_str(), 0644);
    if (row.what == std::string("owner")) drive_.Write(row.at, {4, 2});
    const Tree before = Snapshot(outside.path());
    EXPECT_EQ(RunJob(Root(), SweepEngine(row.result != 0)), row.result);
    EXPECT_EQ(Snapshot(outside.path()), before);
    EXPECT_EQ(fs::exists(fs::symlink_status(at)), true);
    fs::remove(at);
  }
}

}  // namespace
}  // namespace qv
