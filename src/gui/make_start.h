// The application's controller: the delegate of the launch, the owner of both
// windows and of the JobState, the handler of every action and alert answer,
// and the job's front end (a JobHost). Everything here runs on the main
// thread; the job's calls from its worker threads are forwarded to it.
#pragma once

#include <QObject>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/windows.h"
#include "job/drive_check.h"
#include "job/job_driver.h"
#include "job/job_engine.h"
#include "job/job_host.h"
#include "job/job_state.h"
#include "platform/volumes.h"

class QTimer;

namespace qv::gui {

// One entry of the drive list, known by its mount path.
struct Drive {
  std::string path;            // mount path, no trailing "/"
  std::string name;            // the volume's display name
  uint32_t kind_override = 0;  // FileSystemKind of a folder given as a volume; 0 asks the volume
  bool operator==(const Drive&) const = default;
};

struct ControllerSetup {
  // The machine's mounted volumes; null lists only the extra drives.
  std::vector<MountedVolume> (*mounted_volumes)() = MountedLocalVolumes;
  // Folders treated as mounted volumes of a given kind, listed after them.
  std::vector<Drive> extra_drives;
  JobEngine engine = LibraryEngine();
  JobSettings settings;
  // How often the mount table is compared with the list; 0 never.
  int mount_poll_ms = 1000;
};

// RunFlag.
inline constexpr int32_t kLaunching = 0;
inline constexpr int32_t kAutomaticMode = 1;
inline constexpr int32_t kInteractive = 2;

// Exit statuses besides 0 and the error codes 1..7 of a refused or failed
// job in AutomaticMode (and 128 + a signal), as qvlib gives them.
inline constexpr int kExitFailed = 1;
inline constexpr int kExitCancelled = 130;

// A text of the controller in the person's language.
QString UiText(const char* text);

// Why a drive can or cannot take a library, as qvlib drives tells it.
QString DriveCheckText(const DriveCheckResult& r);

class MakeStart : public QObject, public JobHost {
  Q_OBJECT
 public:
  explicit MakeStart(ControllerSetup setup);
  ~MakeStart() override;

  // Launch, in this order; applicationOpenFiles only when items were opened.
  void applicationWillFinishLaunching();
  void applicationOpenFiles(const QStringList& paths);
  void applicationDidFinishLaunching();

  int32_t CheckPath(const std::string& path) const;
  int MakeCheck(const std::string& path);
  // An alert raised on the main thread outside a job (codes 1, 5, 6 of an
  // opened item): application-modal in AutomaticMode, and the application
  // quits when it is dismissed. false, as nothing is left to abort.
  bool OutputError(int code, const char* path);

  // A signal asked the application to end: a running job is cancelled as by
  // a confirmed Cancel and its drive restored, then the application quits
  // with 128 + signal.
  void Terminate(int signal);

  // JobHost: called by the job, from its worker threads too.
  void BeginJob(const ProgressView& view, const char* volume_name) override;
  void ShowProgress(const ProgressView& view) override;
  void SetBarMaximum(int32_t maximum) override;
  void SetCancelEnabled(bool enabled) override;
  void OpenAlert(int code, const char* text, const char* file, AlertAnswer* answer) override;
  void ShowFinish(const char* text) override;
  void EndJob(bool succeeded) override;

  // Whether a job's threads are still at work.
  bool JobRunning() const;

  const Outlets& outlets() const { return o_; }
  JobState& state() { return state_; }
  std::vector<Drive>& extra_drives() { return setup_.extra_drives; }
  int32_t RunFlag() const { return run_flag_; }
  const std::string& NowPath() const { return now_path_; }
  int32_t ComboSelectVolume() const;
  int32_t ComboSelectLang() const { return combo_select_lang_; }
  // The job driver of the current or last job; null before the first.
  JobDriver* driver() { return driver_.get(); }
  std::vector<Drive> Drives() const;

 signals:
  // The application should quit with this exit status.
  void terminate(int status);

 private slots:
  // The main window.
  void didMount();
  void comboBoxWillDismiss(ListBox* box);
  void actChangeDevice();
  void actChangeLang();
  void actMakeStart();
  void actClose();
  // The progress window.
  void actMakeCancel();
  // The answers.
  void alertDidEnd(int answer);
  void alertDidEndCancel(int answer);
  void alertDidEndEnd(int answer);

 private:
  void alertDidErrorOut(AlertAnswer* answer, int reply);
  void FillDriveList();
  void ShowDriveProblem(int check, const DriveCheckResult& result);
  void Quit(int status);
  void SetChoice(bool enabled, bool create, bool update);
  void ClearSelection();
  void StartJob();
  void ShowView(const ProgressView& view);
  void JobEnded(bool succeeded);
  template <typename F>
  void OnMainThread(F f);

  ControllerSetup setup_;
  Outlets o_;
  JobState state_;
  std::unique_ptr<JobDriver> driver_;
  QTimer* mount_timer_ = nullptr;
  std::vector<Drive> listed_;  // the drives as the list was last filled
  int32_t run_flag_ = kLaunching;
  int32_t combo_select_lang_ = 2;
  int alerts_open_ = 0;                 // job alerts and the cancel question waiting for an answer
  AlertAnswer* open_answer_ = nullptr;  // where the open job alert's answer goes
  int quit_status_ = -1;                // the status to quit with once the job has ended; -1 none
  bool quit_if_cancelled_ = false;      // the cancel question was asked to quit
  bool job_running_ = false;
  DriveCheckResult last_check_{};  // of the last drive checked on the main thread
  std::string now_path_;
  std::string make_path_;
  std::atomic<bool> finish_open_{false};  // waited on by the job thread
  std::atomic<bool> closing_{false};      // no finish alert waits any more
};

}  // namespace qv::gui
