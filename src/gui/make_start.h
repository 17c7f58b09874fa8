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

#include "controller/windows.h"
#include "job/job_driver.h"
#include "job/job_engine.h"
#include "job/job_host.h"
#include "job/job_state.h"
#include "platform/volumes.h"

class QTimer;

namespace qv::gui {

// One entry of the drive list.
struct Drive {
  std::string path;            // mount path, no trailing "/"
  std::string name;            // what the list shows
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

class MakeStart : public QObject, public JobHost {
  Q_OBJECT
 public:
  explicit MakeStart(ControllerSetup setup);
  ~MakeStart() override;

  // Launch, in this order; applicationOpenFiles only when items were opened.
  void applicationWillFinishLaunching();
  void applicationOpenFiles(const QStringList& paths);
  void applicationDidFinishLaunching();

  // The main window.
  void didMount();
  void comboBoxWillDismiss(ListBox* box);
  void actChangeDevice();
  void actChangeLang();
  int32_t CheckPath(const std::string& path) const;
  int MakeCheck(const std::string& path);
  void actMakeStart();
  void alertDidEnd(int answer);
  void actClose();

  // The progress window and the alerts outside the job's own.
  void actMakeCancel();
  void alertDidEndCancel(int answer);
  void alertDidEndEnd(int answer);
  // An alert raised on the main thread outside a job (codes 1, 5, 6 of an
  // opened item): application-modal in AutomaticMode, and the application
  // quits when it is dismissed. false, as nothing is left to abort.
  bool OutputError(int code, const char* path);
  void alertDidErrorOut(AlertAnswer* answer, int reply);

  // JobHost: called by the job, from its worker threads too.
  void BeginJob(const ProgressView& view, const char* volume_name) override;
  void ShowProgress(const ProgressView& view) override;
  void SetBarMaximum(int32_t maximum) override;
  void SetCancelEnabled(bool enabled) override;
  void OpenAlert(int code, const char* text, const char* file, AlertAnswer* answer) override;
  void ShowFinish(const char* text) override;
  void EndJob(bool succeeded) override;

  const Outlets& outlets() const { return o_; }
  JobState& state() { return state_; }
  std::vector<Drive>& extra_drives() { return setup_.extra_drives; }
  int32_t RunFlag() const { return run_flag_; }
  const std::string& NowPath() const { return now_path_; }
  int32_t ComboSelectVolume() const { return combo_select_volume_; }
  int32_t ComboSelectLang() const { return combo_select_lang_; }
  // The job driver of the current or last job; null before the first.
  JobDriver* driver() { return driver_.get(); }
  std::vector<Drive> Drives() const;

 signals:
  // The application should quit.
  void terminate();

 private:
  void FillDriveList();
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
  int32_t combo_select_volume_ = -1;
  int32_t combo_select_lang_ = 2;
  std::string now_path_;
  std::string make_path_;
  std::string file_system_;  // of the last drive checked on the main thread
  std::atomic<bool> finish_open_{false};
  std::atomic<bool> closing_{false};
};

}  // namespace qv::gui
