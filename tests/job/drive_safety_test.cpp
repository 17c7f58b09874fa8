// Jobs on drives that fail, fill up, crash, lose folders, are held, were
// crafted to mislead or hold damaged libraries. QV_SWEEP_FILES sets the
// drive's size (make reliability runs thousands, and every sweep in full).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

enum class Fault { kNone, kNoSpace, kIo, kShortWrite, kKill, kVanish };

// Counts the calls that change the drive (every call, for kKill) and fails
// the nth, or kills the process there. A killed process leaves the page
// cache to the kernel, so no flush needs to reach the disk.
class SweepDoor : public SystemFileDoor {
  using Door = SystemFileDoor;

 public:
  SweepDoor(Fault fault, long nth, bool every = false) : fault_(fault), nth_(nth), every_(every) {}
  std::atomic<long> calls{0};
  fs::path vanish;  // removed at the nth call, for kVanish
  bool had_copies = false;  // whether the copies were beside it then

  int Open(const char* p, int f, unsigned m) override {
    return Hit(f & (O_WRONLY | O_RDWR | O_CREAT)) ? -1 : Door::Open(p, f, m);
  }
  int64_t Read(int fd, void* b, size_t n) override { return Hit(0), Door::Read(fd, b, n); }
  int64_t Seek(int fd, int64_t o, int w) override { return Hit(0), Door::Seek(fd, o, w); }
  int64_t ReadAt(int fd, void* b, size_t n, int64_t o) override { return FileDoor::ReadAt(fd, b, n, o); }
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
    if (fault_ == Fault::kVanish) return had_copies = fs::exists(vanish.parent_path() / "QVTL.DB.bak"), fs::remove_all(vanish), false;
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
  bool GoodLibrary(bool listed = true, const std::string& root = "") const {
    ReadLibrary library;
    ReadFault fault;
    if (ReadLibraryFiles((root.empty() ? root_ : root).c_str(), kFileSystemFat, &library, &fault) != kReadOk) return false;
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
    EXPECT_EQ(std::tuple(Snapshot(outside.path()), Snapshot(top_)), std::tuple(outside_before, before));
    UnlockLibraryDrive(held);
    if (kind != "held") fs::remove_all(at);
  }
}

std::map<std::string, test::Bytes> LibraryOf(const fs::path& root) {
  std::map<std::string, test::Bytes> files;
  for (const char* name : {"QVTL.DB", "QVBL.DB", "QVDB.DB"})
    if (fs::exists(root / "QUORVEN/LIBRARY" / name)) files[name] = test::ReadFileBytes(root / "QUORVEN/LIBRARY" / name);
  return files;
}

// The library folder, the top folder or the whole drive goes at moments of a
// job: never a success without a sound library; copies made come back.
TEST_F(DriveSafetyTest, VanishingSweep) {
  const auto old = LibraryOf(drive_.path());
  long runs = 0, sound = 0;
  for (const Job& job : kSweptJobs) {
    SweepDoor counter(Fault::kNone, 0, true);
    ASSERT_EQ(RunJob(root_, job, &counter), 0);
    const long moments = thorough_ ? 10 : 3;
    for (const std::string gone : {"QUORVEN/LIBRARY", "QUORVEN", ""}) {
      for (long m = 1; m <= moments; ++m, ++runs) {
        test::TempDir copy;
        Reset(), fs::copy(drive_.path(), copy.path(), fs::copy_options::recursive);
        SweepDoor door(Fault::kVanish, counter.calls * m / (moments + 1), true);
        door.vanish = copy.path() / gone;
        const int r = RunJob(copy.str(), job, &door);
        const bool ok = r == 0 ? GoodLibrary(false, copy.str()) : !fs::exists(copy.path() / "QUORVEN/QVTL.DB.bak") &&
                                 (gone != "QUORVEN/LIBRARY" || !door.had_copies || LibraryOf(copy.path()) == old);
        EXPECT_TRUE(ok) << job.name << " without " << gone << " at " << door.calls << ": " << r;
        sound += ok, fs::create_directories(copy.path());
      }
    }
  }
  std::printf("vanishing folders: %ld runs, %ld/%ld sound\n", runs, sound, runs);
}

// A tmpfs drive with every free size up to 128 KiB: the old library byte for
// byte (no folders when there was none), or a sound new one.
TEST_F(DriveSafetyTest, FullDriveSweep) {
  const fs::path at = fs::temp_directory_path() / ("qv-full-" + std::to_string(getpid()));
  fs::create_directories(at);
  const auto mounted = [&](uint64_t bytes) { return mount("tmpfs", at.c_str(), "tmpfs", 0, ("size=" + std::to_string(bytes)).c_str()) == 0; };
  if (!mounted(64 << 20)) GTEST_SKIP() << "full drive: skipped, this machine does not allow mounting a tmpfs";
  umount(at.c_str());
  long runs = 0, sound = 0;
  for (int c = 0; c < 3; ++c) {  // a create on a drive without a library, over one, an update
    const bool bare = c == 0;
    std::error_code error;
    const auto fill = [&](uint64_t size) {
      return mounted(size) && (fs::copy(drive_.path(), at, fs::copy_options::recursive, error), !bare || fs::remove_all(at / "QUORVEN"));
    };
    ASSERT_TRUE(fill(64 << 20));
    struct statvfs v {};
    const uint64_t used = (statvfs(at.c_str(), &v), umount(at.c_str()), (v.f_blocks - v.f_bfree) * v.f_frsize);
    const auto old = bare ? decltype(LibraryOf(at)){} : LibraryOf(drive_.path());
    for (uint64_t free = 0; free <= 128 << 10; free += thorough_ ? 4 << 10 : 32 << 10, ++runs) {
      ASSERT_TRUE(fill(used + free));
      const int r = RunJob(at.string(), c == 2 ? kSweptJobs[1] : kCreate);
      const bool ok = r == 0 ? GoodLibrary(false, at.string()) : LibraryOf(at) == old && (!bare || !fs::exists(at / "QUORVEN"));
      EXPECT_TRUE(ok) << c << " with " << free << " bytes free: " << r;
      sound += ok, umount(at.c_str());
    }
  }
  fs::remove(at);
  std::printf("full drive: %ld runs, %ld/%ld sound\n", runs, sound, runs);
}

// Seeded damage to a library: bit flips, truncation, growth, bytes or whole
// files of a library one track longer, stray work files and copies. An
// update refuses it with error 3, every byte left, or leaves a sound one.
TEST_F(DriveSafetyTest, DamagedLibrarySweep) {
  test::TempDir other;
  fs::copy(drive_.path(), other.path(), fs::copy_options::recursive);
  other.Write("Music/extra.mp3", test::Id3Join({test::AudioFiller(1500)}));
  ASSERT_EQ(RunJob(other.str()), 0);
  const auto longer = LibraryOf(other.path());
  std::mt19937 rng(22);
  const char* stray[] = {"LIBRARY/QVTA.LST", "LIBRARY/QVTB.DB", "QVTL.DB.bak", "QVDB.DB.bak"};
  long runs = thorough_ ? 2000 : 120, refused = 0, updated = 0;
  for (long i = 0; i < runs; ++i) {
    Reset();
    auto library = LibraryOf(drive_.path());
    auto& [name, b] = *std::next(library.begin(), rng() % 3);
    const test::Bytes& o = longer.at(name);
    const size_t n = std::min(b.size(), o.size()), at = rng() % n, k = std::min(n - at, size_t{4} << rng() % 8);
    if (i % 6 == 0) for (int f = 0; f < 1 + i % 5; ++f) b[rng() % b.size()] ^= 1 << rng() % 8;
    if (i % 6 == 1) b.resize(rng() % b.size());
    if (i % 6 == 2) b.resize(b.size() + 1 + rng() % 64, uint8_t(rng()));
    if (i % 6 == 3) std::copy_n(o.begin() + at, k, b.begin() + at);
    if (i % 6 == 4) b = o;
    if (i % 6 == 5) drive_.Write(std::string("QUORVEN/") + stray[rng() % 4], test::Bytes(rng() % 300, 7));
    test::WriteFileBytes(top_ / "LIBRARY" / name, b);
    const int r = RunJob(root_, kSweptJobs[1]);
    const bool kept = r == 3 && LibraryOf(drive_.path()) == library, good = r == 0 && GoodLibrary(false);
    EXPECT_TRUE(kept || good) << name << " damage " << i % 6 << " in run " << i << ": " << r;
    refused += kept, updated += good;
  }
  std::printf("damaged libraries: %ld updates, %ld refused untouched, %ld updated and sound; %ld/%ld sound\n",
              runs, refused, updated, refused + updated, runs);
}

}  // namespace
}  // namespace qv
