// The state of one create or update job, shared by the scan thread, the job
// thread, the progress thread and the front end. Every shared item has one
// writer; counters are published with release stores and read with acquire
// loads, so whatever a writer stored before raising a counter (a FileList
// entry) is visible to a reader that sees it. A thread that waits for another
// blocks on one of two event counts until a writer raises it:
//   Events  every change a worker may wait for: a file found or read, a flag
//           of the job, an alert answered;
//   Control the changes a front end waits for (flags, answers, the end of
//           the job), which also raise Events.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/clock.h"

namespace qv {

inline constexpr uint8_t kAddMainPass = 0;
inline constexpr uint8_t kAddStandAsideAsked = 1;
inline constexpr uint8_t kAddStoodAside = 2;
inline constexpr uint8_t kAddPassRunning = 3;

struct JobState {
  char FileSystem[256] = {};
  char MakePath[1024] = {};    // mount path of the job's drive, no trailing "/"
  char VolumeName[1024] = {};  // display name, shown in the progress title
  TimeOfDay StartTime = {};    // written by the job start, then by the progress thread only
  TimeOfDay OldTime = {};
  int32_t ComboSelectLang = 2;  // TagLanguage index
  bool CreateMode = true;       // the Create/Update choice

  std::atomic<int32_t> FindCount{0};
  std::atomic<int32_t> MakeCount{0};
  std::atomic<int32_t> ErrorCount{0};
  std::atomic<int32_t> AddFindCount{0};
  std::atomic<int32_t> AddMakeCount{0};
  std::atomic<int32_t> AddErrorCount{0};
  std::atomic<uint8_t> AddFlag{0};
  std::atomic<bool> FindFin{false};
  std::atomic<bool> MakeFin{false};
  std::atomic<bool> CancelFlag{false};
  std::atomic<bool> Canceling{false};
  std::atomic<bool> ErrorOutputing{false};
  std::atomic<bool> AbortFlag{false};

  std::atomic<uint32_t> Events{0};
  std::atomic<uint32_t> Control{0};
  // Raised when the job needs the progress thread at once, between two of
  // its paced refreshes: to stand aside, or for its final display.
  std::atomic<uint32_t> ViewWake{0};
};

// Shorthands for the one ordering every shared item uses.
inline int32_t Load(const std::atomic<int32_t>& a) {
  return a.load(std::memory_order_acquire);
}
inline bool Load(const std::atomic<bool>& a) {
  return a.load(std::memory_order_acquire);
}
inline uint8_t Load(const std::atomic<uint8_t>& a) {
  return a.load(std::memory_order_acquire);
}
inline void Store(std::atomic<int32_t>& a, int32_t v) {
  a.store(v, std::memory_order_release);
}
inline void Store(std::atomic<bool>& a, bool v) {
  a.store(v, std::memory_order_release);
}
inline void Store(std::atomic<uint8_t>& a, uint8_t v) {
  a.store(v, std::memory_order_release);
}
// Only the counter's one writer adds, so a load and a store would do; the
// read-modify-write keeps the release order in one step.
inline void AddOne(std::atomic<int32_t>& a) {
  a.fetch_add(1, std::memory_order_acq_rel);
}

// Wakes every thread waiting on an event count after the change it waits for
// was stored. Only the kernel's wake call is made, so a signal handler may
// raise a count too.
inline void Raise(std::atomic<uint32_t>& count) {
  count.fetch_add(1, std::memory_order_acq_rel);
  count.notify_all();
}
// A worker's change: data (a file found, tags read) or progress.
inline void RaiseEvents(JobState& s) {
  Raise(s.Events);
}
// A change of the job's flags: every waiter looks again.
inline void RaiseControl(JobState& s) {
  Raise(s.Control);
  Raise(s.Events);
}
// Ends the progress thread's pause between refreshes early.
inline void RaiseView(JobState& s) {
  s.ViewWake.fetch_add(1, std::memory_order_acq_rel);
  WakePaused(s.ViewWake);
}
// Blocks until `done` holds, looking again each time count is raised. done
// must read only items whose writers raise count after storing them.
template <typename Done>
void WaitUntil(const std::atomic<uint32_t>& count, Done done) {
  for (;;) {
    const uint32_t seen = count.load(std::memory_order_acquire);
    if (done()) return;
    count.wait(seen, std::memory_order_acquire);
  }
}

}  // namespace qv
