// What a job asks of its front end: show the progress, open alerts and wait
// for their answers, enable or disable Cancel, end the job's display. The job
// calls it from its worker threads; a front end whose toolkit wants the main
// thread forwards the calls there.
#pragma once

#include <cstdint>

#include "job/progress_model.h"

namespace qv {

// Alert answers: the default button ("OK", "Skip", "Yes") and the other one
// ("Abort", "No").
inline constexpr int kAnswerDefault = 1;
inline constexpr int kAnswerAlternate = 0;

// Where an alert's answer goes; may be called from any thread, also before
// OpenAlert returns.
class AlertAnswer {
 public:
  virtual ~AlertAnswer() = default;
  virtual void Answer(int answer) = 0;
};

class JobHost {
 public:
  virtual ~JobHost() = default;
  // The progress display at the job start, before any worker runs.
  virtual void BeginJob(const ProgressView& view, const char* volume_name) = 0;
  virtual void ShowProgress(const ProgressView& view) = 0;
  virtual void SetBarMaximum(int32_t maximum) = 0;
  virtual void SetCancelEnabled(bool enabled) = 0;
  // An error alert titled kAlertTitle: code 2 offers "Skip" and "Abort",
  // every other code "OK". The answer comes through answer->Answer. file is
  // the file being handled for code 2, otherwise empty.
  virtual void OpenAlert(int code, const char* text, const char* file, AlertAnswer* answer) = 0;
  // The job succeeded: the finish text with its "Finish" button; returns when
  // it was dismissed.
  virtual void ShowFinish(const char* text) = 0;
  // The job is over, after the finish alert or after a failure or a cancel
  // and the restore of the library.
  virtual void EndJob(bool succeeded) = 0;
};

}  // namespace qv
