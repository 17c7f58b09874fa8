#include "job/progress_model.h"

#include <cstdio>
#include <cstring>

namespace qv {

void FormatMinutesSeconds(int32_t seconds, char* out, size_t out_size) {
  std::snprintf(out, out_size, "%02d:%02d", seconds / 60, seconds % 60);
}

void ProgressModel::ResetEstimate() {
  for (double& slot : ring_) slot = 0.0;
  samples_ = 0;
  previous_fraction_ = 0.0;
}

void ProgressModel::Begin(bool create_mode, TimeOfDay start) {
  view_ = ProgressView{};
  std::snprintf(view_.message, sizeof view_.message, "%s",
                create_mode ? "Creating.." : "Updating..");
  std::snprintf(view_.caption, sizeof view_.caption, "Processed");
  std::snprintf(view_.elapsed, sizeof view_.elapsed, "00:00");
  std::snprintf(view_.remaining, sizeof view_.remaining, "--:--");
  start_time_ = start;
  old_time_ = start;
  ResetEstimate();
  remaining_ = 0;
  add_pass_seen_ = false;
  last_total_ = 0.0;
}

void ProgressModel::BeginAddPass(TimeOfDay now) {
  start_time_ = now;
  ResetEstimate();
  add_pass_seen_ = true;
  std::snprintf(view_.caption, sizeof view_.caption, "Added");
}

// Each sample is one second's gain of the handled fraction; the estimate is
// what is left divided by the average gain over the last sixteen seconds.
void ProgressModel::UpdateEstimate(double fraction, bool flush_in_progress) {
  if (previous_fraction_ == 0.0) {
    previous_fraction_ = fraction;
    return;
  }
  // A batch being written out takes far longer than a file; counting it as
  // slow progress would swing the estimate.
  if (!flush_in_progress) {
    ring_[samples_ % 16] = fraction - previous_fraction_;
    ++samples_;
    double sum = 0.0;
    for (double slot : ring_) sum += slot;
    const double average = samples_ < 16 ? sum / samples_ : sum * 0.0625;
    if (average > 0) remaining_ = static_cast<int32_t>((1.0 - fraction) / average);
  }
  FormatMinutesSeconds(remaining_, view_.remaining, sizeof view_.remaining);
  previous_fraction_ = fraction;
}

void ProgressModel::Refresh(const ProgressInputs& in, TimeOfDay now) {
  const double fraction =
      in.total > 0 ? static_cast<double>(in.handled) / static_cast<double>(in.total) : 0.0;
  if (in.answer_awaited) {
    // The estimate starts again from a new baseline once the job moves on.
    std::snprintf(view_.remaining, sizeof view_.remaining, "--:--");
    previous_fraction_ = 0.0;
  }
  if (now.seconds != old_time_.seconds) {
    FormatMinutesSeconds(now.seconds - start_time_.seconds, view_.elapsed, sizeof view_.elapsed);
    // A refresh more than a second after the last one followed a pause (the
    // cancel question): its gain spans the pause and is no one-second sample.
    if (now.seconds - old_time_.seconds > 1) previous_fraction_ = 0.0;
    old_time_ = now;
    if (in.scan_ended && !in.answer_awaited) UpdateEstimate(fraction, in.flush_in_progress);
  }
  // Until the scan has ended the total is still growing: the bar, the title
  // and the estimate wait for it.
  if (in.scan_ended) {
    view_.bar_value = in.handled * 0.95;
    view_.percent = static_cast<int32_t>(fraction * 95);
  }
  view_.total = in.total;
  if (in.handled < in.total && in.file != nullptr) {
    std::snprintf(view_.file, sizeof view_.file, "%s", in.file);
  }
  view_.handled = in.handled;
  last_total_ = in.total;
}

void ProgressModel::Finish() {
  view_.bar_value = last_total_;
  view_.percent = 100;
}

}  // namespace qv
