// The job's front end on a terminal: one progress line on stderr that
// rewrites itself (plain lines, once a second, when stderr is not a
// terminal), error alerts printed with their title, the Skip or Abort
// question answered by the user or by --on-unreadable, and the finish line.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "job/job_driver.h"
#include "job/job_host.h"
#include "platform/file_failure.h"

namespace qv::cli {

enum class UnreadableAnswer { kAsk, kSkip, kAbort };

// The line after an error alert that says which file failed and why: the
// path and the system's error text, or for a damaged file the path, the byte
// and what is wrong, as qvlib check names a fault.
std::string FileFailureLine(const FileFailure& failure);

class TerminalHost : public JobHost {
 public:
  // err is where progress and alerts go, out takes the finish line; answers
  // to questions are read from the descriptor in_fd.
  TerminalHost(FILE* out, FILE* err, int in_fd, bool err_is_terminal, UnreadableAnswer unreadable);

  void BeginJob(const ProgressView& view, const char* volume_name) override;
  void ShowProgress(const ProgressView& view) override;
  void SetBarMaximum(int32_t maximum) override;
  void SetCancelEnabled(bool enabled) override;
  void OpenAlert(int code, const char* text, const char* file, AlertAnswer* answer) override;
  void ShowFinish(const char* text) override;
  void EndJob(bool succeeded) override;

  bool CancelEnabled() const { return cancel_enabled_.load(std::memory_order_acquire); }
  // A Ctrl-C that came while Cancel was disabled (an alert open) pauses the
  // job the moment Cancel is enabled again, before the next file, as a user
  // waiting on the Cancel button would. pending counts such presses.
  void PauseWhenCancelEnabled(const std::atomic<int>* pending, JobDriver* driver);
  // True once after the host paused the job that way; the question is then
  // the front end's to ask.
  bool TakeHostPause() { return host_paused_.exchange(false, std::memory_order_acq_rel); }
  // The Skip or Abort question is answered Abort once stop is not 0 (the
  // process was told to end).
  void GiveUpQuestionsOn(const std::atomic<int>* stop) { stop_ = stop; }
  // Prints a question and clears the progress line first.
  void PrintQuestion(const char* text, const char* choices);
  // One line of information, on a line of its own.
  void PrintNote(const char* text);
  // Reads one answer line from in_fd; give_up (a second Ctrl-C, the end of
  // the job) is asked again whenever the wake pipe is written to: the line,
  // or false when give_up fired or the input ended.
  bool ReadAnswer(std::string* line, bool (*give_up)(void*), void* context);
  // The pipe whose write end signal handlers and the end of the job write a
  // byte to; -1 for none.
  void WakeQuestionsWith(int read_fd, int write_fd) {
    wake_read_fd_.store(read_fd, std::memory_order_release);
    wake_write_fd_.store(write_fd, std::memory_order_release);
  }
  // Whether the job has ended its display (EndJob).
  bool JobEnded() const { return job_ended_.load(std::memory_order_acquire); }
  const std::vector<std::string>& skipped() const { return skipped_; }
  // The folders the scan could not open; only once the scan has ended.
  void PrintSkippedFolders();

 private:
  void ClearLine();
  void PrintSkipped();

  FILE* out_;
  FILE* err_;
  int in_fd_;
  bool terminal_;
  UnreadableAnswer unreadable_;
  std::mutex output_;  // one writer at a time on the terminal
  std::string volume_;
  std::atomic<bool> cancel_enabled_{false};
  std::atomic<int32_t> bar_maximum_{0};
  std::atomic<bool> question_open_{false};
  const std::atomic<int>* pending_interrupts_ = nullptr;
  JobDriver* driver_ = nullptr;
  const std::atomic<int>* stop_ = nullptr;
  std::atomic<bool> host_paused_{false};
  std::atomic<int> wake_read_fd_{-1}, wake_write_fd_{-1};
  std::atomic<bool> job_ended_{false};
  bool line_shown_ = false;
  bool ended_ = false;  // the finish line is out; the display is done
  char last_elapsed_[16] = {};
  std::vector<std::string> skipped_;  // job thread only, read after the job
};

}  // namespace qv::cli
