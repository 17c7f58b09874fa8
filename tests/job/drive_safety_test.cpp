// Create jobs on drives that fail, crash, are held or were crafted to mislead.
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
#include <random>
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
using Tree = std::map<std::string, std::string>;  // path: mode, time, bytes

enum class Fault { kNone, kNoSpace, kIo, kShortWrite, kKill };

// Counts the calls that change the drive (every call, for kKill) and fails
// the nth, or kills the process there. A killed process leaves the page
// cache to the kernel, so no flush needs to reach the disk.
class SweepDoor : public SystemFileDoor {
  using Door = SystemFileDoor;

 public:
  SweepDoor(Fault fault, long nth, bool every = false) : fault_(fault), nth_(nth), every_(every) {}
  std::atomic<long> calls{0};

  int Open(const char* p, int f, unsigned m) override {
    return Hit(f & (O_WRONLY | O_RDWR | O_CREAT)) ? -1 : Door::Open(p, f, m);
  }
  int64_t Read(int fd, void* b, size_t n) override { return Hit(0), Door::Read(fd, b, n); }
  int64_t Seek(int fd, int64_t o, int w) override { return Hit(0), Door::Seek(fd, o, w); }
  int Close(int fd) override { return Hit(0), Door::Close(fd); }
  int64_t Write(int fd, const void* b, size_t n) override {
    return !Hit(1)                        ? Door::Write(fd, b, n)
           : fault_ == Fault::kShortWrite ? Door::Write(fd, b, n / 2)
                                          : -1;
  }
  int Fchmod(int fd, unsigned m) override { return Hit(1) ? -1 : Door::Fchmod(fd, m); }
  int Fsync(int) override { return Hit(1) ? -1 : 0; }
  int Mkdir(const char* p, unsigned m) override { return Hit(1) ? -1 : Door::Mkdir(p, m); }
  int Remove(const char* p) override { return Hit(1) ? -1 : Door::Remove(p); }
  int Rename(const char* a, const char* b) override { return Hit(1) ? -1 : Door::Rename(a, b); }

 private:
  bool Hit(int changes) {
    if ((changes == 0 && !every_) || ++calls != nth_) return false;
    if (fault_ == Fault::kKill) raise(SIGKILL);
    errno = fault_ == Fault::kNoSpace ? ENOSPC : EIO;
    return true;
  }
  const Fault fault_;
  const long nth_, every_;
};

uint32_t g_record_bytes = 0;  // small, so that the batches spill

// A job kind of the sweeps; fail_last makes its last engine step fail after
// everything else was written, so that the restore runs.
struct Job { const char* name; bool create, fail_last; };
constexpr Job kCreate{"create", true, false}, kFailingCreate{"create", true, true};
constexpr Job kSweptJobs[] = {kCreate, {"update", false, false}};

// One job with small batches: 0 done, else the error raised.
int RunJob(const std::string& root, Job job = kCreate, FileDoor* door = nullptr) {
  JobEngine engine = LibraryEngine();
  engine.OpenBuild = [](const char* r, uint32_t k) {
    return test::OpenTestBuild(r, {k, g_record_bytes, {}});
  };
  if (job.fail_last) engine.FinishBuild = engine.FinishUpdate = [] { return 4; };
  FileListInit();
  ClearBackupPaths();
  auto state = std::make_unique<JobState>();
  std::snprintf(state->MakePath, sizeof state->MakePath, "%s", root.c_str());
  state->CreateMode = job.create;
  test::ScriptedJobHost host;
  JobSettings settings = JobSettings::Immediate();
  settings.kind_override = kFileSystemFat, settings.tag_readers = 1;  // one crash point per call
  settings.yield_each_file = false;
  JobDriver driver(*state, host, engine, settings);
  SetFileDoor(door);
  driver.Start();
  driver.Wait();
  SetFileDoor(nullptr);
  FileListClear();
  return driver.Succeeded() ? 0 : driver.RaisedError();
}

// Every entry below top, links not followed; times for audio files.
Tree Snapshot(const fs::path& top, bool times = false) {
  Tree tree;
  for (const auto& e : fs::recursive_directory_iterator(top)) {
    struct stat st {};
    lstat(e.path().c_str(), &st);
    std::string v = std::to_string(st.st_mode) + ":" +
                    (times && S_ISREG(st.st_mode) ? std::to_string(st.st_mtim.tv_nsec) : "");
    for (uint8_t c : S_ISREG(st.st_mode) ? test::ReadFileBytes(e.path()) : test::Bytes{}) v += c;
    tree[e.path().string()] = v;
  }
  return tree;
}

// Every call in turn, a spread on a big drive; a failing restore is killed in
// its last calls. Without QV_SWEEP_FILES, a seeded sample of them.
std::vector<long> CrashPoints(long calls, bool failing, bool thorough) {
  std::vector<long> points;
  const long step = calls <= 600 ? 1 : calls / 60;
  for (long n = failing ? std::max(1L, calls - 45) : 1; n <= calls;
       n = n < 40 || n >= calls - 45 ? n + 1 : std::min(n + step, calls - 45))
    points.push_back(n);
  if (thorough || points.size() <= 24) return points;
  std::mt19937 random(static_cast<uint32_t>(calls));
  std::shuffle(points.begin(), points.end(), random);
  points.resize(24);
  std::sort(points.begin(), points.end());
  return points;
}

class DriveSafetyTest : public ::testing::Test {
 protected:
  // A drive with an old library, then a quarter of its songs replaced.
  void SetUp() override {
    const char* size = std::getenv("QV_SWEEP_FILES");
    const int files = size != nullptr ? std::atoi(size) : 8;
    thorough_ = size != nullptr;
    std::vector<fs::path> gone;
    g_record_bytes = 930 * (files / 3 + 1);
    for (int i = 0; i < files + files / 4; ++i) {
      const std::string n = std::to_string(i), song = "Music/" + std::to_string(i % 5) + "/" + n;
      test::Id3v1Fields tag{"Song " + n, "Artist " + std::to_string(i % 7), "Album " + n};
      drive_.Write(song + ".mp3", test::Id3Join({test::AudioFiller(1500), test::Id3v1Tag(tag)}));
      if (i + 1 == files) { ASSERT_EQ(RunJob(root_), 0); }
      if (i < files / 4) gone.push_back(drive_.path() / (song + ".mp3"));
    }
    for (const fs::path& song : gone) fs::remove(song);
    fs::copy(top_, pristine_.path(), fs::copy_options::recursive);
    old_ = Snapshot(top_);
    audio_ = Snapshot(drive_.path() / "Music", true);
  }
  void TearDown() override { EXPECT_TRUE(Snapshot(drive_.path() / "Music", true) == audio_); }
  void Reset() const {
    fs::remove_all(top_), fs::copy(pristine_.path(), top_, fs::copy_options::recursive);
  }
  // The library passes the check and, if listed, lists exactly the songs on the drive.
  bool GoodLibrary(bool listed = true) const {
    ReadLibrary library;
    ReadFault fault;
    if (ReadLibraryFiles(root_.c_str(), kFileSystemFat, &library, &fault) != kReadOk) return false;
    std::set<std::string> songs, present;
    for (const ReadPage& page : library.pages)
      songs.insert(root_ + LibraryTextToUtf8(page.texts[4]));
    for (const auto& [path, v] : audio_)
      if (path.ends_with(".mp3")) present.insert(path);
    return !listed || songs == present;
  }

  test::TempDir drive_, pristine_;
  const std::string root_ = drive_.str(), slash_ = root_ + "/";
  const fs::path top_ = drive_.path() / "QUORVEN";
  bool thorough_ = false;  // every fault at every call; else one fault per call, in turn
  Tree old_, audio_;
};

// Every call that changes the drive fails: the job reports 3 or 4 and the
// drive is as before, or the job got past it and the library is good.
TEST_F(DriveSafetyTest, WriteFaultSweep) {
  for (const Job& job : kSweptJobs) {
    SweepDoor counter(Fault::kNone, 0);
    ASSERT_EQ(RunJob(root_, job, &counter), 0);
    long injected = 0, intact = 0;
    for (const Fault fault : {Fault::kNoSpace, Fault::kIo, Fault::kShortWrite}) {
      for (long n = 1; n <= counter.calls; ++n) {
        if (!thorough_ && static_cast<long>(fault) % 3 != n % 3) continue;
        Reset();
        SweepDoor door(fault, n);
        const int r = RunJob(root_, job, &door);
        const bool ok = r == 0 ? GoodLibrary() : (r == 3 || r == 4) && Snapshot(top_) == old_;
        EXPECT_TRUE(ok) << job.name << " fault " << static_cast<int>(fault) << " at " << n;
        ++injected, intact += ok;
      }
    }
    std::printf("write faults (%s): %ld injected, %ld/%ld drives left intact\n", job.name, injected,
                intact, injected);
  }
}

// A job killed at every call (a spread on a big drive), a failing one in its
// restore: the drive keeps a library that passes or the three copies, the
// lock went with the process, and the next job leaves a good library only.
TEST_F(DriveSafetyTest, CrashSweep) {
  for (const Job& job : kSweptJobs) {
    long points = 0, recovered = 0, spread = 0;
    for (const bool failing : {false, true}) {
      const Job run{job.name, job.create, failing};
      SweepDoor counter(Fault::kNone, 0, true);
      RunJob(root_, run, &counter);
      const long calls = counter.calls;
      spread += calls;
      for (const long n : CrashPoints(calls, failing, thorough_)) {
        Reset();
        const pid_t child = fork();
        if (child == 0) {
          SweepDoor door(Fault::kKill, n, true);
          _exit(RunJob(root_, run, &door));
        }
        waitpid(child, nullptr, 0);
        const int lock = LockLibraryDrive(slash_.c_str(), kFileSystemFat);
        UnlockLibraryDrive(lock);
        const bool ok = lock >= 0 &&
                        (GoodLibrary(false) || InterruptedJobBackup(slash_.c_str(), 1)) &&
                        RunJob(root_, job) == 0 && GoodLibrary() && Snapshot(top_).size() == 4;
        EXPECT_TRUE(ok) << (failing ? "failing " : "") << job.name << " crash at " << n << " of "
                        << calls;
        ++points, recovered += ok;
      }
    }
    std::printf("crash points (%s): %ld of %ld calls, %ld/%ld recoveries\n", job.name, points,
                spread, recovered, points);
  }
}

// Links at each level of the library path, FIFOs, a file of the owner's, a
// drive another job holds (even a sound job fails there): the failed job
// touches nothing outside, does not hang, and leaves the library as it was.
TEST_F(DriveSafetyTest, CraftedAndHeldDrives) {
  test::TempDir outside;
  outside.Write("QVTL.DB", {1, 2, 3});
  const char* rows[][2] = {{"QUORVEN", "link"}, {"QUORVEN/LIBRARY", "link"},
      {"QUORVEN/LIBRARY/QVTL.DB", "link"}, {"QUORVEN/LIBRARY/QVBL.DB", "fifo"},
      {"Music/0/desktop.ini", "fifo"}, {"QUORVEN/LIBRARY/mine", "file"}, {"QUORVEN", "held"}};
  for (const auto& [where, what] : rows) {
    SCOPED_TRACE(std::string(where) + " " + what);
    Reset();
    const fs::path at = drive_.path() / where;
    const std::string kind = what;
    if (kind != "held" && kind != "file") fs::remove_all(at);
    if (kind == "link")
      fs::create_symlink(outside.path() / (at.extension() == ".DB" ? "QVTL.DB" : ""), at);
    if (kind == "fifo") mkfifo(at.c_str(), 0644);
    if (kind == "file") drive_.Write(where, {4, 2});
    const int held = kind == "held" ? LockLibraryDrive(slash_.c_str(), kFileSystemFat) : -1;
    const Tree outside_before = Snapshot(outside.path()), before = Snapshot(top_);
    EXPECT_EQ(RunJob(root_, kind == "held" ? kCreate : kFailingCreate), 4);
    EXPECT_TRUE(Snapshot(outside.path()) == outside_before && Snapshot(top_) == before);
    UnlockLibraryDrive(held);
    if (kind != "held") fs::remove_all(at);
  }
}

}  // namespace
}  // namespace qv
