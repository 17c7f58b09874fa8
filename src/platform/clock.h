// Time of day and sleeping for the job's worker threads, which coordinate by
// polling rather than by waiting on each other.
#pragma once

#include <atomic>
#include <cstdint>

namespace qv {

// Seconds and microseconds since the epoch, as the progress display counts
// them: elapsed time is the difference of the seconds alone.
struct TimeOfDay {
  int32_t seconds;
  int32_t microseconds;
};

TimeOfDay NowTimeOfDay();

// Sleeps for the given microseconds; 0 only yields the processor.
void SleepMicroseconds(uint32_t microseconds);

// A pause another thread can cut short: it ends after the given microseconds,
// or as soon as *word no longer holds `seen` and its changer called
// WakePaused(word). A signal may end it early too.
void PauseUnlessChanged(const std::atomic<uint32_t>& word, uint32_t seen, uint32_t microseconds);
void WakePaused(std::atomic<uint32_t>& word);

}  // namespace qv
