// Time of day, and the pauses that pace what a person sees of a job; the
// job's threads themselves wait on each other through atomic counters.
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

// Sleeps for the given microseconds; a pause of 0 is none.
void SleepMicroseconds(uint32_t microseconds);

// A pause another thread can cut short: it ends after the given microseconds,
// or as soon as *word no longer holds `seen` and its changer called
// WakePaused(word). A signal may end it early too.
void PauseUnlessChanged(const std::atomic<uint32_t>& word, uint32_t seen, uint32_t microseconds);
void WakePaused(std::atomic<uint32_t>& word);

}  // namespace qv
