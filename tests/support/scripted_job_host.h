// A job front end for tests: records what the user would have seen and
// answers the Skip/Abort question from a script (Skip once it runs out).
#pragma once

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "job/job_host.h"

namespace qv::test {

class ScriptedJobHost : public JobHost {
 public:
  std::deque<int> unreadable_answers;

  void BeginJob(const ProgressView&, const char*) override {}
  void ShowProgress(const ProgressView& view) override {
    std::lock_guard<std::mutex> lock(mutex_);
    last_view = view;
  }
  void SetBarMaximum(int32_t maximum) override { bar_maximum = maximum; }
  void SetCancelEnabled(bool enabled) override { cancel_enabled = enabled; }
  void OpenAlert(int code, const char* text, const char* file, AlertAnswer* answer) override {
    int reply = kAnswerDefault;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      alerts.push_back(code), alert_texts.emplace_back(text), alert_files.emplace_back(file);
      if (code == 2 && !unreadable_answers.empty()) reply = unreadable_answers.front(), unreadable_answers.pop_front();
    }
    answer->Answer(reply);
  }
  void ShowFinish(const char* text) override { finish_text = text; }
  void EndJob(bool succeeded) override { end_succeeded = succeeded; }

  // Read after the job has ended.
  ProgressView last_view{};
  std::atomic<int32_t> bar_maximum{-1};
  std::atomic<bool> cancel_enabled{false};
  std::vector<int> alerts;
  std::vector<std::string> alert_texts, alert_files;
  std::string finish_text;
  bool end_succeeded = false;

 private:
  std::mutex mutex_;
};

}  // namespace qv::test
