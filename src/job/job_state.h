// The state of one create or update job, shared by the scan thread, the job
// thread, the progress thread and the front end. Every shared item has one
// writer and is polled by the others; counters are published with release
// stores and read with acquire loads, so whatever a writer stored before
// raising a counter (a FileList entry) is visible to a reader that sees it.
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

}  // namespace qv
