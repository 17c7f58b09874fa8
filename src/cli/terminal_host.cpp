#include "cli/terminal_host.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include "cli/escape.h"
#include "job/drive_scan.h"
#include "job/error_codes.h"

namespace qv::cli {
namespace {

int TerminalWidth(FILE* f) {
  winsize ws{};
  if (ioctl(fileno(f), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 20) return ws.ws_col;
  return 80;
}

}  // namespace

std::string FileFailureLine(const FileFailure& failure) {
  std::string line = EscapeControls(failure.path);
  if (failure.error_number != 0) return line + ": " + std::strerror(failure.error_number);
  if (failure.offset >= 0) line += ", byte " + std::to_string(failure.offset);
  return line + ": " + (failure.reason[0] != 0 ? failure.reason : "cannot be written");
}

TerminalHost::TerminalHost(FILE* out, FILE* err, int in_fd, bool err_is_terminal,
                           UnreadableAnswer unreadable)
    : out_(out), err_(err), in_fd_(in_fd), terminal_(err_is_terminal), unreadable_(unreadable) {}

void TerminalHost::ClearLine() {
  if (terminal_ && line_shown_) std::fputs("\r\033[K", err_);
  line_shown_ = false;
}

void TerminalHost::BeginJob(const ProgressView& view, const char* volume_name) {
  std::lock_guard<std::mutex> lock(output_);
  volume_ = EscapeControls(volume_name);
  std::fprintf(err_, "%s %s\n", view.message, volume_.c_str());
  std::fflush(err_);
}

void TerminalHost::ShowProgress(const ProgressView& view) {
  if (question_open_.load(std::memory_order_acquire)) return;
  std::lock_guard<std::mutex> lock(output_);
  if (ended_) return;
  char line[4096];
  std::snprintf(line, sizeof line, "%d%% %s  %s %d/%d  %s  left %s  %s", view.percent,
                volume_.c_str(), view.caption, view.handled, view.total, view.elapsed,
                view.remaining, EscapeControls(view.file).c_str());
  if (terminal_) {
    // One line that rewrites itself, cut to the terminal's width.
    const size_t width = static_cast<size_t>(TerminalWidth(err_)) - 1;
    if (std::strlen(line) > width) line[width] = 0;
    std::fprintf(err_, "\r\033[K%s", line);
    line_shown_ = true;
  } else {
    // Without a terminal, one line whenever the elapsed time moves on, and
    // the final 100%.
    if (std::strcmp(last_elapsed_, view.elapsed) == 0 && view.percent != 100) return;
    std::snprintf(last_elapsed_, sizeof last_elapsed_, "%s", view.elapsed);
    std::fprintf(err_, "%s\n", line);
  }
  std::fflush(err_);
}

void TerminalHost::SetBarMaximum(int32_t maximum) {
  bar_maximum_.store(maximum, std::memory_order_release);
}

void TerminalHost::PauseWhenCancelEnabled(const std::atomic<int>* pending, JobDriver* driver) {
  pending_interrupts_ = pending;
  driver_ = driver;
}

void TerminalHost::SetCancelEnabled(bool enabled) {
  cancel_enabled_.store(enabled, std::memory_order_release);
  if (enabled && driver_ != nullptr && pending_interrupts_ != nullptr &&
      pending_interrupts_->load(std::memory_order_acquire) > 0 &&
      !host_paused_.load(std::memory_order_acquire)) {
    host_paused_.store(true, std::memory_order_release);
    driver_->AskCancel();  // disables Cancel again and pauses the workers
  }
}

void TerminalHost::PrintQuestion(const char* text, const char* choices) {
  std::lock_guard<std::mutex> lock(output_);
  ClearLine();
  std::fprintf(err_, "\n%s\n%s\n%s ", kAlertTitle, text, choices);
  std::fflush(err_);
}

void TerminalHost::PrintNote(const char* text) {
  std::lock_guard<std::mutex> lock(output_);
  ClearLine();
  std::fprintf(err_, "%s\n", text);
  std::fflush(err_);
}

bool TerminalHost::ReadAnswer(std::string* line, bool (*give_up)(void*), void* context) {
  line->clear();
  for (;;) {
    if (give_up != nullptr && give_up(context)) return false;
    const int wake = wake_read_fd_.load(std::memory_order_acquire);
    pollfd p[2] = {{in_fd_, POLLIN, 0}, {wake, POLLIN, 0}};
    // No timeout: a key, a signal or the end of the job ends the wait.
    if (poll(p, wake >= 0 ? 2 : 1, -1) < 0) continue;  // a signal; give_up decides
    if (wake >= 0 && (p[1].revents & POLLIN) != 0) {
      char drain[64];
      while (read(wake, drain, sizeof drain) > 0) {
      }
    }
    if ((p[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
    char c;
    const ssize_t n = read(in_fd_, &c, 1);
    if (n <= 0) return false;
    if (c == '\n') return true;
    line->push_back(c);
  }
}

void TerminalHost::OpenAlert(int code, const char* text, const char* raw_file,
                             AlertAnswer* answer) {
  question_open_.store(true, std::memory_order_release);
  const std::string shown = EscapeControls(raw_file);
  const char* file = shown.c_str();
  int reply = kAnswerDefault;
  if (code == kErrorCannotOpen) {
    UnreadableAnswer how = unreadable_;
    if (how == UnreadableAnswer::kAsk) {
      PrintQuestion(text, file[0] != 0 ? file : "");
      {
        std::lock_guard<std::mutex> lock(output_);
        std::fputs("\nSkip or Abort? [S/a] ", err_);
        std::fflush(err_);
      }
      std::string line;
      how = UnreadableAnswer::kSkip;
      auto stopping = [](void* stop) {
        return stop != nullptr && static_cast<const std::atomic<int>*>(stop)->load() != 0;
      };
      const bool answered = ReadAnswer(&line, stopping, const_cast<std::atomic<int>*>(stop_));
      if ((answered && !line.empty() && std::tolower(static_cast<unsigned char>(line[0])) == 'a') ||
          stopping(const_cast<std::atomic<int>*>(stop_))) {
        how = UnreadableAnswer::kAbort;
      }
    } else {
      std::lock_guard<std::mutex> lock(output_);
      ClearLine();
      std::fprintf(err_, "%s\n%s\n%s: %s\n", kAlertTitle, text,
                   how == UnreadableAnswer::kSkip ? "Skip" : "Abort", file);
      std::fflush(err_);
    }
    if (how == UnreadableAnswer::kSkip) skipped_.emplace_back(file);
    reply = how == UnreadableAnswer::kAbort ? kAnswerAlternate : kAnswerDefault;
  } else {
    std::lock_guard<std::mutex> lock(output_);
    ClearLine();
    std::fprintf(err_, "%s\n%s\n", kAlertTitle, text);
    FileFailure failure;
    if ((code == kErrorCreatingData || code == kErrorWritingFile) && LastFileFailure(&failure))
      std::fprintf(err_, "%s\n", FileFailureLine(failure).c_str());
    std::fflush(err_);
  }
  question_open_.store(false, std::memory_order_release);
  answer->Answer(reply);
}

void TerminalHost::ShowFinish(const char* text) {
  std::lock_guard<std::mutex> lock(output_);
  ClearLine();
  ended_ = true;
  PrintSkipped();
  std::fflush(err_);
  std::fprintf(out_, "%s\n", text);
  std::fflush(out_);
}

void TerminalHost::PrintSkipped() {
  for (const std::string& file : skipped_) std::fprintf(err_, "skipped: %s\n", file.c_str());
}

void TerminalHost::PrintSkippedFolders() {
  std::lock_guard<std::mutex> lock(output_);
  for (const SkippedFolder& folder : SkippedFolders()) {
    std::fprintf(
        err_, "skipped folder: %s: %s\n", EscapeControls(folder.path).c_str(),
        folder.error_number != 0 ? std::strerror(folder.error_number) : "cannot be opened");
  }
  if (SkippedFolderCount() > SkippedFolders().size()) {
    std::fprintf(err_, "skipped folders: %zu more\n",
                 SkippedFolderCount() - SkippedFolders().size());
  }
  if (LeftOutFileCount() > 0) {
    std::fprintf(err_, "left out: %zu audio files past the %d a library holds\n",
                 LeftOutFileCount(), kScanFileLimit);
  }
  std::fflush(err_);
}

void TerminalHost::EndJob(bool succeeded) {
  {
    std::lock_guard<std::mutex> lock(output_);
    ClearLine();
    if (!succeeded) PrintSkipped();
    std::fflush(err_);
  }
  // A cancel question still open is over.
  job_ended_.store(true, std::memory_order_release);
  const int wake = wake_write_fd_.load(std::memory_order_acquire);
  if (wake >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(wake, &byte, 1);
  }
}

}  // namespace qv::cli
