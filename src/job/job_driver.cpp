#include "job/job_driver.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "job/backup.h"
#include "job/drive_check.h"
#include "job/drive_lock.h"
#include "job/drive_scan.h"
#include "job/error_codes.h"
#include "job/file_list.h"
#include "job/tag_reader_pool.h"
#include "library/files/library_reader.h"
#include "platform/file_door.h"
#include "platform/file_failure.h"
#include "platform/file_ops.h"

namespace qv {
namespace {

constexpr uint32_t kRefreshUs = 25000;  // between progress refreshes

// What tells the library files apart without reading them: a file written,
// replaced or removed since has another stamp.
void StampLibrary(const char* root, uint32_t kind, uint64_t (&stamps)[3][4]) {
  static const char* const kNames[3] = {"QVTL.DB", "QVBL.DB", "QVDB.DB"};
  for (int i = 0; i < 3; ++i) {
    struct stat st {};
    const std::string path = TopDir(root, kind) + "LIBRARY/" + kNames[i];
    if (lstat(path.c_str(), &st) != 0) st = {};
    const uint64_t stamp[4] = {static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
                               static_cast<uint64_t>(st.st_mtim.tv_sec),
                               static_cast<uint64_t>(st.st_mtim.tv_nsec)};
    std::copy(stamp, stamp + 4, stamps[i]);
  }
}

}  // namespace

JobDriver::JobDriver(JobState& state, JobHost& host, const JobEngine& engine,
                     const JobSettings& settings)
    : s_(state), host_(host), engine_(engine), settings_(settings) {}

JobDriver::~JobDriver() {
  Wait();
}

void JobDriver::Start() {
  Wait();  // a driver runs one job at a time
  Store(s_.ErrorOutputing, false);
  for (auto* counter : {&s_.FindCount, &s_.MakeCount, &s_.ErrorCount, &s_.AddFindCount,
                        &s_.AddMakeCount, &s_.AddErrorCount}) {
    Store(*counter, 0);
  }
  Store(s_.Canceling, false);
  Store(s_.AddFlag, kAddMainPass);
  Store(s_.FindFin, false);
  Store(s_.MakeFin, false);
  Store(s_.CancelFlag, false);
  Store(succeeded_, false);
  Store(finished_, false);
  Store(user_cancelled_, false);
  Store(view_ended_, false);
  Store(drive_busy_, false);
  raised_.store(0, std::memory_order_release);
  drive_gone_ = false;
  checked_ = false;
  engine_.SetFlushInProgress(0);
  FileListClear();
  ClearSkippedFolders();
  ClearFileFailure();

  model_.Begin(s_.CreateMode, NowTimeOfDay());
  host_.SetCancelEnabled(true);
  host_.BeginJob(model_.view(), s_.VolumeName);
  job_thread_ = std::thread([this] { JobThread(); });
}

// The job thread starts the other two once the progress display has been
// seen; Wait joins it first, so their handles are set by then.
void JobDriver::JobThread() {
  SleepMicroseconds(settings_.start_pause_us);
  s_.StartTime = NowTimeOfDay();
  s_.OldTime = s_.StartTime;
  model_.Begin(s_.CreateMode, s_.StartTime);
  scan_thread_ = std::thread([this] { FileSearch(); });
  view_thread_ = std::thread([this] {
    ViewThread();
    Store(view_ended_, true);
    RaiseControl(s_);
  });
  DBMakeThread();
}

void JobDriver::Wait() {
  for (std::thread* t : {&job_thread_, &scan_thread_, &view_thread_}) {
    if (t->joinable()) t->join();
  }
}

// A pause point of the job and progress threads: true when the job must stop.
// A set CancelFlag stops even when a late "No" has cleared Canceling, so that
// a cancel question answered as the job ends cannot keep a thread waiting.
bool JobDriver::PausePoint() {
  bool stop = false;
  WaitUntil(s_.Control, [&] {
    stop = Load(s_.CancelFlag);
    return stop || !Load(s_.Canceling);
  });
  return stop;
}

// A front end waiting for Cancel to be offered again hears of it.
void JobDriver::EnableCancel(bool enabled) {
  host_.SetCancelEnabled(enabled);
  RaiseControl(s_);
}

void JobDriver::AskCancel() {
  host_.SetCancelEnabled(false);
  Store(s_.Canceling, true);
  RaiseControl(s_);
}

// The pause after "Yes" is the job thread's, before it restores the library.
void JobDriver::AnswerCancel(bool yes) {
  if (yes) {
    Store(user_cancelled_, true);
    Store(s_.CancelFlag, true);
    RaiseControl(s_);
    return;
  }
  // The job may have ended meanwhile and set both flags to stop its threads;
  // those stay.
  if (Load(s_.CancelFlag)) return;
  host_.SetCancelEnabled(true);
  Store(s_.Canceling, false);
  RaiseControl(s_);
}

void JobDriver::Answer(int answer) {
  if (answer == kAnswerAlternate) Store(s_.AbortFlag, true);
  Store(s_.ErrorOutputing, false);
  RaiseControl(s_);
}

int JobDriver::DriveCheck(const char* path) {
  const DriveCheckResult r = MakeCheck(path, settings_.kind_override, engine_.CheckExistingLibrary);
  std::snprintf(s_.FileSystem, sizeof s_.FileSystem, "%s", r.file_system);
  return r.check;
}

void JobDriver::FileSearch() {
  searchDirectorySub(s_, s_.MakePath, 1);
  host_.SetBarMaximum(Load(s_.FindCount));
  SleepMicroseconds(settings_.scan_end_pause_us);
  Store(s_.FindFin, true);
  RaiseControl(s_);
}

bool JobDriver::OutputError(int code, const char* path) {
  EnableCancel(false);
  Store(s_.AbortFlag, false);
  char text[1600];
  if (!ErrorText(code, path, text, sizeof text)) return false;
  // An error met while the cancel question is open waits for its answer;
  // after "Yes" it is dropped and counts as Skip.
  if (PausePoint()) return false;
  SleepMicroseconds(settings_.alert_pause_us);
  raised_.store(code, std::memory_order_release);
  Store(s_.ErrorOutputing, true);
  RaiseControl(s_);
  host_.OpenAlert(code, text, code == kErrorCannotOpen ? current_file_ : "", this);
  WaitUntil(s_.Control, [this] { return !Load(s_.ErrorOutputing); });
  return Load(s_.AbortFlag);
}

bool JobDriver::CannotOpenError(const char* root) {
  if (DriveCheck(root) == kDriveNotUsable) {
    OutputError(kErrorDeviceRemoved, "");
    return true;
  }
  return OutputError(kErrorCannotOpen, "");
}

bool JobDriver::RemovedDriveCheck() {
  if (Load(s_.FindCount) == 0 && DriveCheck(s_.MakePath) == kDriveNotUsable) {
    OutputError(kErrorDeviceRemoved, "");
    return false;
  }
  return true;
}

// The main pass over the FileList, shared by both bodies. The scan may still
// be appending; entries below FindCount are ready. per_file (index, path)
// returns an engine result. false: the job failed or was cancelled, and
// clean_up has run.
template <typename PerFile, typename CleanUp>
bool JobDriver::MainPass(PerFile per_file, CleanUp clean_up, const char* root) {
  int32_t i = Load(s_.MakeCount) + Load(s_.ErrorCount);
  for (;;) {
    // Read before anything it could announce: a change after this read
    // ends the wait below at once.
    const uint32_t seen = s_.Events.load(std::memory_order_acquire);
    // FindFin is read before FindCount: a scan that ends between the two
    // reads cannot hide its last file.
    const bool scan_ended = Load(s_.FindFin);
    if (i >= Load(s_.FindCount) && scan_ended) break;
    if (PausePoint()) {
      clean_up();
      return false;
    }
    if (i >= Load(s_.FindCount)) {
      s_.Events.wait(seen, std::memory_order_acquire);  // for the scan
      continue;
    }
    current_file_ = FileListGet(i);
    const int r = per_file(i, current_file_);
    if (r == 0) {
      AddOne(s_.MakeCount);
    } else if (r == 2) {
      if (CannotOpenError(root)) {
        clean_up();
        return false;
      }
      EnableCancel(true);
      AddOne(s_.ErrorCount);
    } else {
      OutputError(r, "");
      clean_up();
      return false;
    }
    i = Load(s_.MakeCount) + Load(s_.ErrorCount);
  }
  return true;
}

bool JobDriver::DBMake() {
  const uint32_t kind = CheckFileSystem(s_.FileSystem);
  char root[1024];
  std::snprintf(root, sizeof root, "%s", s_.MakePath);
  const int language = s_.ComboSelectLang;
  int r = engine_.OpenBuild(root, kind);
  if (r != 0) {
    OutputError(r, "");
    engine_.CloseBuild();
    return false;
  }
  auto close = [this] { engine_.CloseBuild(); };
  if (settings_.tag_readers <= 1) {
    auto add = [this, language](int32_t, const char* path) {
      return engine_.AddFileToBuild(path, language);
    };
    if (!MainPass(add, close, root)) return false;
  } else if (!ReadAheadPass(root, language)) {
    return false;
  }
  EnableCancel(false);
  // A drive without audio files gets an empty library, not the old one
  // listing files that are gone; a drive that went away gets nothing.
  if (Load(s_.MakeCount) == 0 && !RemovedDriveCheck()) {
    engine_.CloseBuild();
    return false;
  }
  r = engine_.FlushBuild(1);
  if (r == 0) r = engine_.FinishBuild();
  if (r != 0) {
    OutputError(r, "");
    engine_.CloseBuild();
    return false;
  }
  engine_.CloseBuild();
  if (!RemovedDriveCheck()) return false;
  Store(s_.MakeFin, true);
  RaiseView(s_);
  return true;
}

// Where a pool of readers finds the files of a pass: the first `ready`
// FileList entries, read with the drive path as the engine keeps it, so
// that stored paths are the same as from a one-file-at-a-time job.
TagSource JobDriver::ReadAheadSource(const char* root, int language,
                                     const std::atomic<int32_t>* ready,
                                     char (&drive_root)[1100]) const {
  const size_t n = std::strlen(root);
  std::snprintf(drive_root, sizeof drive_root, "%s%s", root,
                n > 0 && root[n - 1] == '/' ? "" : "/");
  TagSource source;
  source.ready = ready;
  source.path_of = FileListGet;
  source.read = engine_.ReadTags;
  source.language = language;
  source.drive_root = drive_root;
  source.hold = &s_.Canceling;
  source.events = &s_.Events;
  return source;
}

// A main pass whose files a pool of readers handles ahead: use (index, path,
// what the reader made of it) still runs one by one in FileList order.
template <typename Use, typename CleanUp>
bool JobDriver::PooledPass(const TagSource& source, Use use, CleanUp clean_up, const char* root) {
  TagReaderPool pool(source, settings_.tag_readers, Load(s_.MakeCount) + Load(s_.ErrorCount));
  auto per_file = [&pool, &use](int32_t index, const char* path) {
    const TrackTags* tags = nullptr;
    int r = pool.TakeWhenRead(index, &tags);
    if (r == 0) r = use(path, tags);
    pool.Done(index);
    return r;
  };
  auto close = [&pool, &clean_up] {
    pool.Stop();
    clean_up();
  };
  return MainPass(per_file, close, root);
}

// The main pass of a create with the tags read ahead by a pool of readers;
// the records still go in one by one in FileList order. The FileList holds
// no more files than a library takes, so no file meets a full library.
bool JobDriver::ReadAheadPass(const char* root, int language) {
  char drive_root[1100];
  const TagSource source = ReadAheadSource(root, language, &s_.FindCount, drive_root);
  auto add = [this](const char*, const TrackTags* tags) { return engine_.AddTagsToBuild(tags); };
  return PooledPass(
      source, add, [this] { engine_.CloseBuild(); }, root);
}

// The main pass of an update with the found files opened and sized ahead by
// a pool of readers; the matching itself stays in FileList order, so the
// files that cannot be opened are asked about in the same order.
bool JobDriver::SizeAheadPass(const char* root) {
  char drive_root[1100];
  TagSource source = ReadAheadSource(root, 0, &s_.FindCount, drive_root);
  source.read = engine_.SizeFoundFile;
  auto match = [this](const char* path, const TrackTags* tags) {
    return engine_.MatchSizedFile(path, tags->FileSize);
  };
  return PooledPass(
      source, match, [this] { engine_.CloseUpdate(); }, root);
}

// The add pass of an update: the queued files replace the found ones in the
// FileList and are added like the files of a create job.
bool JobDriver::AddPass(const char* root, uint32_t kind) {
  const int32_t queued = static_cast<int32_t>(engine_.PendingAdditionCount());
  Store(s_.AddFindCount, queued);
  Store(s_.AddMakeCount, 0);
  Store(s_.AddErrorCount, 0);
  // The progress thread stands aside before the FileList is emptied.
  SleepMicroseconds(settings_.hand_over_pause_us);
  Store(s_.AddFlag, kAddStandAsideAsked);
  RaiseControl(s_);
  RaiseView(s_);
  for (bool asked = true; asked;) {
    if (PausePoint()) return false;
    WaitUntil(s_.Control, [&] {
      asked = Load(s_.AddFlag) == kAddStandAsideAsked;
      return !asked || Load(s_.Canceling) || Load(s_.CancelFlag);
    });
  }
  FileListClear();
  for (int32_t k = 0; k < queued; ++k) {
    if (PausePoint()) return false;
    const int r = engine_.LoadPendingAddition(root);
    if (r != 0) {
      OutputError(r, "");
      return false;
    }
  }
  EnableCancel(true);
  Store(s_.AddFlag, kAddPassRunning);
  RaiseControl(s_);
  const int language = s_.ComboSelectLang;
  // The queued files are read ahead like the files of a create.
  char drive_root[1100];
  std::optional<TagReaderPool> pool;
  if (settings_.tag_readers > 1)
    pool.emplace(ReadAheadSource(root, language, &s_.AddFindCount, drive_root),
                 settings_.tag_readers, 0);
  bool added = false;
  for (int32_t k = 0; k < queued; ++k) {
    if (PausePoint()) return false;
    current_file_ = FileListGet(k);
    int r = 0;
    if (!pool) {
      r = engine_.AddPendingFile(root, language, static_cast<uint32_t>(k), kind);
    } else {
      const TrackTags* tags = nullptr;
      r = pool->TakeWhenRead(k, &tags);
      if (r == 0) r = engine_.AddTagsToBuild(tags);
      pool->Done(k);
    }
    if (r == 0) {
      AddOne(s_.AddMakeCount);
      added = true;
    } else if (r == 2) {
      if (CannotOpenError(root)) return false;
      EnableCancel(true);
      AddOne(s_.AddErrorCount);
    } else {
      OutputError(r, "");
      return false;
    }
  }
  if (pool) pool->Stop();
  EnableCancel(false);
  if (PausePoint()) return false;
  const int r = engine_.FlushUpdateBuild(added ? 1 : 0, 1);
  if (r != 0) {
    OutputError(r, "");
    return false;
  }
  return true;
}

bool JobDriver::DBUpdate() {
  char root[1024];
  std::snprintf(root, sizeof root, "%s", s_.MakePath);
  const uint32_t kind = CheckFileSystem(s_.FileSystem);
  int r = engine_.OpenLibraryForUpdate(root, kind);
  if (r != 0) {
    OutputError(r, "");
    engine_.CloseUpdate();
    return false;
  }
  if (settings_.tag_readers <= 1) {
    auto close = [this] { engine_.CloseUpdate(); };
    auto match = [this, &root](int32_t, const char* path) {
      return engine_.MatchFoundFile(path, root);
    };
    if (!MainPass(match, close, root)) return false;
  } else if (!SizeAheadPass(root)) {
    return false;
  }
  EnableCancel(false);
  if (PausePoint()) {
    engine_.CloseUpdate();
    return false;
  }
  r = engine_.ApplyRemovals();
  if (r == 0 && (engine_.UpdateChangeFlags() & kChangeQueuedAdditions) != 0) {
    if (!AddPass(root, kind)) {
      engine_.CloseUpdate();
      return false;
    }
  }
  if (r == 0) r = engine_.FinishUpdate();
  if (r != 0) {
    OutputError(r, "");
    engine_.CloseUpdate();
    return false;
  }
  engine_.CloseUpdate();
  if (!RemovedDriveCheck()) return false;
  Store(s_.MakeFin, true);
  RaiseView(s_);
  return true;
}

// Whether the drive's root is still the folder the job started on, on the
// same file system; once it is not, drive_gone_ stays set.
bool JobDriver::SameDrive() {
  struct stat st {};
  if (stat(s_.MakePath, &st) != 0 || !S_ISDIR(st.st_mode) ||
      static_cast<uint64_t>(st.st_dev) != drive_device_) {
    drive_gone_ = true;
  }
  return !drive_gone_;
}

// A job must not discard its copies unless the library it leaves is on the
// drive it started on and holds together. A drive that went or came back as
// another file system raises 7, a library that went raises 4, one that does
// not pass the check 3.
bool JobDriver::LibraryStaysOnDrive(const char* root, uint32_t kind) {
  if (!SameDrive()) {
    OutputError(kErrorDeviceRemoved, "");
    return false;
  }
  // An update that changed nothing leaves the library it checked first.
  uint64_t now[3][4] = {};
  StampLibrary(root, kind, now);
  if (checked_ && std::equal(&now[0][0], &now[0][0] + 12, &checked_stamps_[0][0])) return true;
  const int r = engine_.CheckLibrary(root, kind);
  if (r == 0) return true;
  OutputError(r == kReadUnavailable ? kErrorWritingFile : kErrorCreatingData, "");
  return false;
}

void JobDriver::DBMakeThread() {
  SleepMicroseconds(settings_.body_pause_us);
  const uint32_t kind = CheckFileSystem(s_.FileSystem);
  char root[1100];
  std::snprintf(root, sizeof root, "%s/", s_.MakePath);
  struct stat st {};
  drive_device_ = stat(s_.MakePath, &st) == 0 ? static_cast<uint64_t>(st.st_dev) : 0;
  // Folders the job makes on a drive that had none go again when it fails.
  const std::string top = TopDir(root, kind), library = top + "LIBRARY";
  const bool had_top = lstat(top.c_str(), &st) == 0;
  const bool had_library = had_top && lstat(library.c_str(), &st) == 0;
  bool ok = false, restore = false;
  const int lock = LockLibraryDrive(root, kind);
  if (lock < 0) {
    // Another job owns the drive (or its top directory is not a real one):
    // nothing here may touch its files, not even a restore.
    const int error = errno;
    Store(drive_busy_, error == EWOULDBLOCK);
    OutputError(kErrorWritingFile, "");
  } else if (!RecoverInterruptedJob(root, kind)) {
    // The copies of an interrupted job could not come back: they stay.
    OutputError(kErrorWritingFile, "");
  } else if (!s_.CreateMode && !(checked_ = engine_.CheckLibrary(root, kind) == 0)) {
    // A damaged library is left as it is, for a create to rebuild.
    OutputError(kErrorCreatingData, "");
  } else if (StampLibrary(root, kind, checked_stamps_),
             !BackupLibrary(root, kind, engine_.CheckExistingLibrary)) {
    OutputError(kErrorWritingFile, "");
  } else {
    ok = s_.CreateMode ? DBMake() : DBUpdate();
    ok = ok && LibraryStaysOnDrive(root, kind);
    // The new library counts only once it is on the drive for good.
    if (ok && DiscardBackup() != 1) {
      OutputError(kErrorWritingFile, "");
      ok = false;
    }
    // Nothing of the job's is on a drive that went or was replaced.
    restore = !ok && SameDrive();
  }
  Store(s_.Canceling, true);
  Store(s_.CancelFlag, true);
  RaiseControl(s_);
  if (!ok && Load(user_cancelled_)) SleepMicroseconds(settings_.cancel_answer_pause_us);
  if (restore) RestoreLibrary();
  if (!ok && lock >= 0 && !drive_gone_) {
    // Only what the job made, and only when empty: no link was there.
    if (!had_library && IsDirectoryNoFollow(library.c_str())) Files().Remove(library.c_str());
    if (!had_top && IsDirectoryNoFollow(top.c_str())) Files().Remove(top.c_str());
  }
  // The library is final: another job may have the drive while the person
  // reads the finish text.
  UnlockLibraryDrive(lock);
  if (ok) {
    SleepMicroseconds(settings_.finish_pause_us);
    char text[64];
    std::snprintf(text, sizeof text, "%d files are processed.",
                  s_.CreateMode ? Load(s_.MakeCount) : Load(s_.AddMakeCount));
    SleepMicroseconds(settings_.finish_pause_us);
    // The finish alert comes after the display has shown 100%.
    WaitUntil(s_.Control, [this] { return Load(view_ended_); });
    Store(succeeded_, true);
    host_.ShowFinish(text);
  }
  host_.EndJob(ok);
  Store(finished_, true);
  RaiseControl(s_);
}

ProgressInputs JobDriver::ReadProgress(bool add_pass) {
  ProgressInputs in{};
  if (add_pass) {
    in.handled = Load(s_.AddMakeCount) + Load(s_.AddErrorCount);
    in.total = Load(s_.AddFindCount);
  } else {
    in.handled = Load(s_.MakeCount) + Load(s_.ErrorCount);
    in.total = Load(s_.FindCount);
  }
  in.scan_ended = Load(s_.FindFin);
  in.flush_in_progress = engine_.IsFlushInProgress() == 1;
  // While a person is asked, the time left depends on them, not on the job.
  in.answer_awaited = Load(s_.ErrorOutputing) || Load(s_.Canceling);
  in.file = in.handled < in.total ? FileListGet(in.handled) : nullptr;
  return in;
}

void JobDriver::ViewThread() {
  for (;;) {
    // Taken before the flags are read: a request made after this cuts the
    // pause below short.
    const uint32_t wake = s_.ViewWake.load(std::memory_order_acquire);
    if (Load(s_.MakeFin)) break;
    // The job sets MakeFin before it stops the threads: a success seen only
    // now still gets its final display.
    if (PausePoint()) {
      if (Load(s_.MakeFin)) break;
      return;
    }
    const uint8_t flag = Load(s_.AddFlag);
    if (flag != kAddMainPass) {
      if (flag != kAddPassRunning) {
        // Acknowledge without overwriting a 3 the job may have written.
        uint8_t asked = kAddStandAsideAsked;
        s_.AddFlag.compare_exchange_strong(asked, kAddStoodAside, std::memory_order_acq_rel);
        RaiseControl(s_);
        bool stop = false;
        WaitUntil(s_.Control, [&] {
          stop = Load(s_.CancelFlag);
          return stop || Load(s_.AddFlag) == kAddPassRunning;
        });
        // A job that ran its whole add pass while this thread waited to be
        // woken has still earned its final display.
        if (stop && !Load(s_.MakeFin)) return;
      }
      if (!model_.add_pass_seen()) {
        s_.StartTime = NowTimeOfDay();
        model_.BeginAddPass(s_.StartTime);
        host_.SetBarMaximum(Load(s_.AddFindCount));
      }
    }
    model_.Refresh(ReadProgress(flag != kAddMainPass), NowTimeOfDay());
    host_.ShowProgress(model_.view());
    // Nothing moves while an error alert is open.
    WaitUntil(s_.Control, [this] { return !Load(s_.ErrorOutputing) || Load(s_.CancelFlag); });
    PauseUnlessChanged(s_.ViewWake, wake, kRefreshUs);
  }
  // The body has ended and nothing changes any more: the counters are read
  // once more so the final display shows what was done.
  model_.Refresh(ReadProgress(model_.add_pass_seen()), NowTimeOfDay());
  model_.Finish();
  host_.ShowProgress(model_.view());
}

}  // namespace qv
