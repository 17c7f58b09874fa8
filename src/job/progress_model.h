// What the progress display shows during a job, computed the same way for
// every front end: handled and total of the current pass, the percentage
// (95 at most while files are handled), elapsed and remaining time, and the
// file being handled. The clock is passed in, so the numbers can be checked
// without waiting.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/clock.h"

namespace qv {

struct ProgressView {
  char message[16];  // "Creating.." or "Updating.."
  char caption[16];  // "Processed", "Added" in the add pass of an update
  int32_t handled;
  int32_t total;
  int32_t percent;     // shown in the title with the drive name
  double bar_value;    // of a bar whose maximum is the number of files to handle
  char elapsed[16];    // "%02d:%02d"
  char remaining[16];  // "%02d:%02d", "--:--" until the first estimate and while an answer is
                       // awaited
  char file[2080];     // the file being handled; empty when none
};

// The inputs of one refresh, read from the job state.
struct ProgressInputs {
  int32_t handled;
  int32_t total;
  bool scan_ended;         // FindFin
  bool flush_in_progress;  // the engine is writing out a full batch
  const char* file;        // entry `handled` of the FileList when handled < total, else null
  // An alert or question waits for the person: nothing moves, so the remaining
  // time is unknown, and the wait is no sample of the job's speed.
  bool answer_awaited = false;
};

class ProgressModel {
 public:
  // The display at the job start; start is the job's StartTime.
  void Begin(bool create_mode, TimeOfDay start);
  // One refresh, about forty times a second.
  void Refresh(const ProgressInputs& in, TimeOfDay now);
  // The add pass of an update begins: the clock and the estimate start again.
  void BeginAddPass(TimeOfDay now);
  // The job body succeeded: a full bar and 100%.
  void Finish();

  const ProgressView& view() const { return view_; }
  TimeOfDay start_time() const { return start_time_; }
  bool add_pass_seen() const { return add_pass_seen_; }

 private:
  void UpdateEstimate(double fraction, bool flush_in_progress);
  void ResetEstimate();

  ProgressView view_{};
  TimeOfDay start_time_{};
  TimeOfDay old_time_{};
  double ring_[16] = {};
  int32_t samples_ = 0;
  double previous_fraction_ = 0.0;
  int32_t remaining_ = 0;
  bool add_pass_seen_ = false;
  double last_total_ = 0.0;
};

// "%02d:%02d" of a number of seconds; the minutes may take more digits.
void FormatMinutesSeconds(int32_t seconds, char* out, size_t out_size);

}  // namespace qv
