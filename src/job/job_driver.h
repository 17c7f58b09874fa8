// One create or update job: the scan thread fills the FileList, the job
// thread backs up the library, runs the body against the engine and restores
// or discards the backup, the progress thread refreshes the display. They
// share only the JobState; a thread that must wait blocks on its event
// counts until another raises them. There are no locks.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "job/job_engine.h"
#include "job/job_host.h"
#include "job/job_state.h"
#include "job/progress_model.h"
#include "job/tag_reader_pool.h"

namespace qv {

// Waits that only pace a window (so that a short job is still seen) are
// settings; a command-line run goes without them. They run on the job's own
// threads, never on the caller's.
struct JobSettings {
  uint32_t start_pause_us = 100000;           // after the progress display appears
  uint32_t body_pause_us = 1000000;           // before the backup and the body
  uint32_t scan_end_pause_us = 1000000;       // between the end of the walk and FindFin
  uint32_t finish_pause_us = 1000000;         // twice, before the finish alert
  uint32_t alert_pause_us = 1000000;          // before an error alert opens
  uint32_t cancel_answer_pause_us = 1000000;  // after "Yes" to the cancel question
  // Before an update's queued files replace the found ones in the FileList,
  // so that the display shows the end of the main pass.
  uint32_t hand_over_pause_us = 100000;
  // Threads reading tags ahead of a create's inserts (and opening found files
  // ahead of an update's matching), the same for every front end; 1 reads
  // each file on the job thread as it is inserted or matched.
  int tag_readers = kDefaultTagReaders;
  // FileSystemKind of a drive that is a plain folder (a staging copy); 0 asks
  // the mounted volume.
  uint32_t kind_override = 0;

  static JobSettings Immediate() {
    JobSettings s;
    s.start_pause_us = s.body_pause_us = s.scan_end_pause_us = 0;
    s.finish_pause_us = s.alert_pause_us = s.cancel_answer_pause_us = s.hand_over_pause_us = 0;
    return s;
  }
};

class JobDriver : public AlertAnswer {
 public:
  JobDriver(JobState& state, JobHost& host, const JobEngine& engine, const JobSettings& settings);
  ~JobDriver() override;
  JobDriver(const JobDriver&) = delete;
  JobDriver& operator=(const JobDriver&) = delete;

  // The job start: resets the state (MakePath, VolumeName, CreateMode and
  // ComboSelectLang must be set), empties the FileList, shows the progress
  // display and starts the job thread, which starts the other two after the
  // start pause. Returns at once.
  void Start();
  // Returns when all three threads have ended.
  void Wait();
  // True once the job thread has ended.
  bool Finished() const { return Load(finished_); }

  // The Cancel button: pauses every worker; then AnswerCancel with the reply.
  void AskCancel();
  void AnswerCancel(bool yes);
  // The answer to an open error alert.
  void Answer(int answer) override;

  bool Succeeded() const { return Load(succeeded_); }
  // The last error code shown to the user, 0 when none.
  int RaisedError() const { return raised_.load(std::memory_order_acquire); }
  // Whether the user confirmed the cancel question.
  bool UserCancelled() const { return Load(user_cancelled_); }
  // Whether the job was refused because another job holds the drive.
  bool DriveBusy() const { return Load(drive_busy_); }

  // Thread bodies and the steps they share, open for tests.
  void FileSearch();
  void JobThread();
  void DBMakeThread();
  bool DBMake();
  bool DBUpdate();
  void ViewThread();
  bool OutputError(int code, const char* path);
  bool CannotOpenError(const char* root);
  int DriveCheck(const char* path);

 private:
  bool PausePoint();
  void EnableCancel(bool enabled);
  bool RemovedDriveCheck();
  bool SameDrive();
  bool LibraryStaysOnDrive(const char* root, uint32_t kind);
  template <typename PerFile, typename CleanUp>
  bool MainPass(PerFile per_file, CleanUp clean_up, const char* root);
  bool ReadAheadPass(const char* root, int language);
  bool SizeAheadPass(const char* root);
  template <typename Use, typename CleanUp>
  bool PooledPass(const TagSource& source, Use use, CleanUp clean_up, const char* root);
  TagSource ReadAheadSource(const char* root, int language, const std::atomic<int32_t>* ready,
                            char (&drive_root)[1100]) const;
  bool AddPass(const char* root, uint32_t kind);
  ProgressInputs ReadProgress(bool add_pass);

  JobState& s_;
  JobHost& host_;
  JobEngine engine_;
  JobSettings settings_;
  ProgressModel model_;
  std::thread scan_thread_, job_thread_, view_thread_;
  const char* current_file_ = "";
  std::atomic<bool> succeeded_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> user_cancelled_{false};
  std::atomic<bool> view_ended_{false};
  std::atomic<bool> drive_busy_{false};
  std::atomic<int> raised_{0};
  // The drive's device at the job start: a drive that comes back as another
  // file system is not the one the job wrote to.
  uint64_t drive_device_ = 0;
  bool drive_gone_ = false;
  // The library an update found sound before it began, and its files then.
  bool checked_ = false;
  uint64_t checked_stamps_[3][4] = {};
};

}  // namespace qv
