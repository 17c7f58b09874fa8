#include "cli/job_command.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "cli/command.h"
#include "cli/escape.h"
#include "cli/library_drive.h"
#include "cli/terminal_host.h"
#include "job/backup.h"
#include "job/drive_check.h"
#include "job/drive_lock.h"
#include "job/error_codes.h"
#include "job/file_list.h"
#include "job/job_driver.h"
#include "job/tag_reader_pool.h"
#include "library/files/library_files.h"
#include "platform/clock.h"
#include "platform/file_failure.h"
#include "platform/volumes.h"
#include "tags/default_tag_language.h"

namespace qv::cli {
namespace {

// The names the start question gives the nine tag languages and the
// automatic choice.
const char* const kLanguageNames[10] = {"Japanese", "Chinese", "English", "French",  "German",
                                        "Italian",  "Spanish", "Dutch",   "Russian", "Automatic"};

constexpr const char* kCancelQuestion =
    "Are you sure you want to Stop creating the library?\nThe Library being created will be "
    "discarded!";

// Ctrl-C presses not yet answered.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);
// A logout, a closed terminal or a kill: the signal to stop with, 0 none.
std::atomic<int> g_terminate{0};
// What a signal wakes: the job's control count, which the front end waits
// on, and the pipe a question reading the terminal also watches. Both wakes
// are single system calls, safe in a handler.
std::atomic<std::atomic<uint32_t>*> g_control{nullptr};
int g_wake_fd = -1;

void WakeFrontEnd() {
  if (std::atomic<uint32_t>* control = g_control.load(std::memory_order_acquire)) Raise(*control);
  if (g_wake_fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(g_wake_fd, &byte, 1);
  }
}

void OnInterrupt(int) {
  const int saved = errno;
  g_interrupts.fetch_add(1, std::memory_order_acq_rel);
  WakeFrontEnd();
  errno = saved;
}

void OnTerminate(int signal) {
  const int saved = errno;
  g_terminate.store(signal, std::memory_order_release);
  WakeFrontEnd();
  errno = saved;
}

// The cancel question is over without an answer: a second Ctrl-C or a
// termination (yes), or the job ended meanwhile (it could not be paused in
// its last steps).
bool GiveUpQuestion(void* host) {
  return g_interrupts.load(std::memory_order_acquire) > 0 ||
         g_terminate.load(std::memory_order_acquire) != 0 ||
         static_cast<TerminalHost*>(host)->JobEnded();
}

void PrintAlert(int code, const char* path) {
  char text[1600];
  ErrorText(code, path, text, sizeof text);
  std::fprintf(stderr, "%s\n%s\n", kAlertTitle, text);
}

bool StartsWithYes(const std::string& line, const char* word) {
  size_t i = 0;
  while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
  return i < line.size() && std::tolower(static_cast<unsigned char>(line[i])) == word[0];
}

// The start question: true to go on. Without a terminal only --yes answers it.
bool AskStartQuestion(const char* question, bool yes, int* refusal) {
  if (yes) return true;
  if (!isatty(STDIN_FILENO)) {
    std::fprintf(stderr,
                 "qvlib: the start question needs a terminal to answer it; pass --yes to "
                 "answer OK\n%s\n",
                 question);
    *refusal = kExitUsage;
    return false;
  }
  std::fprintf(stderr, "%s\n%s\n[OK/Cancel] ", kAlertTitle, question);
  std::fflush(stderr);
  char line[64] = {};
  if (std::fgets(line, sizeof line, stdin) == nullptr || !StartsWithYes(line, "o")) {
    *refusal = kExitCancelled;
    return false;
  }
  return true;
}

UnreadableAnswer ParseUnreadable(const std::string& choice) {
  if (choice == "ask") return UnreadableAnswer::kAsk;
  if (choice == "abort") return UnreadableAnswer::kAbort;
  if (choice == "skip") return UnreadableAnswer::kSkip;
  // Without a terminal nobody could answer.
  return isatty(STDIN_FILENO) ? UnreadableAnswer::kAsk : UnreadableAnswer::kSkip;
}

// Runs the job, asking the cancel question on Ctrl-C, until it has ended.
// SIGTERM and SIGHUP cancel it as a confirmed Ctrl-C does, so the old
// library is back before the process goes.
void RunWithCancelQuestion(JobDriver& driver, JobState& state, TerminalHost& host) {
  int wake[2] = {-1, -1};
  if (pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
    g_wake_fd = wake[1];
    host.WakeQuestionsWith(wake[0], wake[1]);
  }
  g_control.store(&state.Control, std::memory_order_release);
  struct sigaction action {
  }, previous{}, stop{}, previous_term{}, previous_hup{};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, &previous);
  stop.sa_handler = OnTerminate;
  sigemptyset(&stop.sa_mask);
  sigaction(SIGTERM, &stop, &previous_term);
  sigaction(SIGHUP, &stop, &previous_hup);
  g_interrupts.store(0);
  const bool can_ask = isatty(STDIN_FILENO);
  bool noted = false;
  bool stopped = false;
  host.PauseWhenCancelEnabled(&g_interrupts, &driver);
  host.GiveUpQuestionsOn(&g_terminate);
  driver.Start();
  // Every item looked at here is announced on the control count after it
  // changed, by the job or by a signal handler.
  for (;;) {
    const uint32_t seen = state.Control.load(std::memory_order_acquire);
    if (driver.Finished()) break;
    if (g_terminate.load() != 0 && !stopped && host.CancelEnabled() &&
        !Load(state.ErrorOutputing)) {
      // In the finishing steps Cancel is not offered: the job ends by itself.
      driver.AskCancel();
      driver.AnswerCancel(true);
      stopped = true;
    }
    const bool pending = g_interrupts.load() > 0 && !stopped;
    const bool host_paused = pending && !Load(state.ErrorOutputing) && host.TakeHostPause();
    if (pending && (host_paused || (host.CancelEnabled() && !Load(state.ErrorOutputing)))) {
      g_interrupts.store(0);
      if (!host_paused) driver.AskCancel();
      bool yes = true;  // with nobody to ask, the interrupt is the answer
      if (can_ask) {
        host.PrintQuestion(kCancelQuestion, "[y/N]");
        std::string line;
        const bool answered = host.ReadAnswer(&line, GiveUpQuestion, &host);
        yes = answered ? StartsWithYes(line, "y") : g_interrupts.load() > 0;
      }
      driver.AnswerCancel(yes);
      continue;
    }
    if (pending && !noted && !host.CancelEnabled() && !Load(state.Canceling) &&
        Load(state.FindFin) &&
        Load(state.MakeCount) + Load(state.ErrorCount) == Load(state.FindCount)) {
      // The finishing steps cannot be cancelled; the question waits for them.
      host.PrintNote("qvlib: the library files are being written; Ctrl-C waits for that");
      noted = true;
    }
    state.Control.wait(seen, std::memory_order_acquire);
  }
  driver.Wait();
  sigaction(SIGINT, &previous, nullptr);
  sigaction(SIGTERM, &previous_term, nullptr);
  sigaction(SIGHUP, &previous_hup, nullptr);
  g_control.store(nullptr, std::memory_order_release);
  g_wake_fd = -1;
  host.WakeQuestionsWith(-1, -1);
  for (int fd : wake) {
    if (fd >= 0) close(fd);
  }
}

// What became of the library after a job that did not succeed: back as it
// was, or left in the .bak copies that the next job puts back.
void ReportLibraryAfterFailure(const char* command, const std::string& name, bool cancelled) {
  if (BackupDir()[0] != 0) {
    std::string cause;
    FileFailure failure;
    if (LastFileFailure(&failure)) cause = " (" + FileFailureLine(failure) + ")";
    std::fprintf(stderr,
                 "qvlib %s: the library could not be put back%s; its copies QVDB.DB.bak, "
                 "QVTL.DB.bak and QVBL.DB.bak stay in %s, and the next job on this drive puts "
                 "them back first\n",
                 command, cause.c_str(), EscapeControls(BackupDir()).c_str());
  } else if (cancelled) {
    std::fprintf(stderr, "qvlib %s: cancelled; the library on %s is as it was before the job\n",
                 command, EscapeControls(name).c_str());
  }
}

}  // namespace

void AddJobOptions(CLI::App* sub, JobOptions* options) {
  sub->add_option("DRIVE", options->drive, "Mount path of the drive (or, with --fs, a folder)")
      ->required();
  sub->add_option("--lang", options->lang,
                  "Tag language of 8-bit tag text: ja zh en fr de it es nl ru, or auto for the "
                  "code page each file's texts were most likely written in (default: from "
                  "the locale)")
      ->check(CLI::IsMember({"ja", "zh", "en", "fr", "de", "it", "es", "nl", "ru", "auto"}));
  sub->add_flag("--yes", options->yes, "Answer the start question with OK");
  sub->add_option("--fs", options->fs,
                  "File-system kind of a folder that is not a mounted FAT or HFS volume")
      ->check(CLI::IsMember({"fat", "hfs"}));
  sub->add_option("--on-unreadable", options->on_unreadable,
                  "Answer to a file that cannot be read: ask, skip or abort (default: ask on "
                  "a terminal, else skip; skipped files are listed at the end)")
      ->check(CLI::IsMember({"ask", "skip", "abort"}));
  sub->add_option("--readers", options->readers,
                  "Files whose tags are read at once, ahead of the library build (default " +
                      std::to_string(kDefaultTagReaders) +
                      "); 1 reads one file at a time, as each is added")
      ->check(CLI::Range(1, kMaxTagReaders));
  sub->footer(
      "The start question comes first; without a terminal only --yes answers it. While the\n"
      "job runs, standard error shows its progress. Ctrl-C asks whether to stop: y stops, and\n"
      "a second Ctrl-C counts as yes. A job that fails or is stopped leaves the drive's\n"
      "library files as they were. The last line, on standard output, is\n"
      "\"N files are processed.\"");
}

int RunJobCommand(const JobOptions& options, bool create) {
  const uint32_t kind_override = options.fs == "fat"   ? kFileSystemFat
                                 : options.fs == "hfs" ? kFileSystemHfs
                                                       : 0;
  const char* command = create ? "create" : "update";
  char real[PATH_MAX];
  int problem = realpath(options.drive.c_str(), real) != nullptr ? 0 : errno;
  struct stat st {};
  if (problem == 0 && stat(real, &st) == 0 && !S_ISDIR(st.st_mode)) problem = ENOTDIR;
  if (problem != 0 || options.drive.empty()) {
    // Not a drive at all: a usage error, not the alert of a wrong folder.
    std::fprintf(stderr, "qvlib %s: cannot use \"%s\" as the drive: %s\n", command,
                 EscapeControls(options.drive).c_str(),
                 options.drive.empty() ? "the path is empty" : std::strerror(problem));
    return kExitUsage;
  }
  std::string drive = real;
  if (kind_override == 0 && CheckPath(drive.c_str()) < 0) {
    PrintAlert(kErrorNotRoot, "");
    return kErrorNotRoot;
  }
  const DriveCheckResult check = MakeCheck(drive.c_str(), kind_override, CheckExistingLibrary);
  MountedVolume volume;
  volume.mount_path = drive;
  std::string name = kind_override != 0 || !VolumeOfPath(drive, &volume)
                         ? LastPathComponent(drive)
                         : VolumeDisplayName(volume);
  if (check.check == kDriveNotUsable) {
    PrintAlert(kErrorUnsupportedDevice, EscapeControls(name).c_str());
    std::fprintf(stderr, "%s: %s\n", EscapeControls(drive).c_str(), DriveCheckReason(check));
    return kErrorUnsupportedDevice;
  }
  const std::string root = drive + "/";
  const uint32_t kind = CheckFileSystem(check.file_system);
  const char* busy = "qvlib: another job is running on %s; nothing was changed\n";
  // A job that holds the drive may be making its library right now.
  if (LibraryDriveBusy(root.c_str(), kind)) {
    std::fprintf(stderr, busy, EscapeControls(drive).c_str());
    return kErrorWritingFile;
  }
  // The copies an interrupted job left are a library the job puts back.
  if (!create && check.check != kDriveHasLibrary && !InterruptedJobBackup(root.c_str(), kind)) {
    std::fprintf(stderr, "qvlib update: %s holds no complete library; run qvlib create\n",
                 EscapeControls(drive).c_str());
    return kExitUsage;
  }
  const int language =
      options.lang.empty() ? DefaultTagLanguage() : TagLanguageFromCode(options.lang.c_str());
  const char* format =
      !create ? "Are you sure you would like to update the library using these settings?\n\n"
                "\tSelected Drive : %s\n\tID Tag Language : %s"
      : check.check != kDriveHasLibrary
          ? "Are you sure you would like to create the library using these settings?\n\n"
            "\tSelected Drive : %s\n\tID Tag Language : %s"
          : "A previous Library has been located on the selected drive!\nAre you sure you want "
            "to overwrite this?\n\n\tSelected Drive : %s\n\tID Tag Language : %s";
  char question[512];
  std::snprintf(question, sizeof question, format, EscapeControls(name).c_str(),
                kLanguageNames[language >= 0 && language < 10 ? language : 2]);
  int refusal = kExitOk;
  if (!AskStartQuestion(question, options.yes, &refusal)) return refusal;

  auto state = std::make_unique<JobState>();
  std::snprintf(state->MakePath, sizeof state->MakePath, "%s", drive.c_str());
  std::snprintf(state->VolumeName, sizeof state->VolumeName, "%s", name.c_str());
  std::snprintf(state->FileSystem, sizeof state->FileSystem, "%s", check.file_system);
  state->CreateMode = create;
  state->ComboSelectLang = language;
  FileListInit();
  ClearBackupPaths();

  JobSettings settings = JobSettings::Immediate();
  settings.kind_override = kind_override;
  if (options.readers > 0) settings.tag_readers = options.readers;
  TerminalHost host(stdout, stderr, STDIN_FILENO, isatty(STDERR_FILENO) != 0,
                    ParseUnreadable(options.on_unreadable));
  JobDriver driver(*state, host, LibraryEngine(), settings);
  g_terminate.store(0);
  RunWithCancelQuestion(driver, *state, host);
  host.PrintSkippedFolders();
  FileListClear();
  if (driver.DriveBusy()) std::fprintf(stderr, busy, EscapeControls(drive).c_str());
  if (driver.Succeeded()) return kExitOk;
  ReportLibraryAfterFailure(command, name, driver.UserCancelled() || g_terminate.load() != 0);
  if (g_terminate.load() != 0) return 128 + g_terminate.load();
  if (driver.UserCancelled()) return kExitCancelled;
  return driver.RaisedError() != 0 ? driver.RaisedError() : kExitFailed;
}

}  // namespace qv::cli
