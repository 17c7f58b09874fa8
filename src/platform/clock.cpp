#include "platform/clock.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace qv {

TimeOfDay NowTimeOfDay() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return TimeOfDay{static_cast<int32_t>(tv.tv_sec), static_cast<int32_t>(tv.tv_usec)};
}

void SleepMicroseconds(uint32_t microseconds) {
  if (microseconds == 0) return;
  timespec left{static_cast<time_t>(microseconds / 1000000),
                static_cast<long>(microseconds % 1000000) * 1000};
  // A signal (Ctrl-C in qvlib) must not cut a pause point short.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// The kernel's wait on the word's own address, with a timeout, which
// std::atomic::wait lacks.
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
static_assert(std::atomic<uint32_t>::is_always_lock_free);

void PauseUnlessChanged(const std::atomic<uint32_t>& word, uint32_t seen, uint32_t microseconds) {
  timespec limit{static_cast<time_t>(microseconds / 1000000),
                 static_cast<long>(microseconds % 1000000) * 1000};
  syscall(SYS_futex, &word, FUTEX_WAIT_PRIVATE, seen, &limit, nullptr, 0);
}

void WakePaused(std::atomic<uint32_t>& word) {
  syscall(SYS_futex, &word, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr, nullptr, 0);
}

}  // namespace qv
