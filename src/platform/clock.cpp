#include "platform/clock.h"

#include <sched.h>
#include <sys/time.h>
#include <time.h>

#include <cerrno>

namespace qv {

TimeOfDay NowTimeOfDay() {
  timeval tv{};
  gettimeofday(&tv, nullptr);
  return TimeOfDay{static_cast<int32_t>(tv.tv_sec), static_cast<int32_t>(tv.tv_usec)};
}

void SleepMicroseconds(uint32_t microseconds) {
  if (microseconds == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(microseconds / 1000000),
                static_cast<long>(microseconds % 1000000) * 1000};
  // A signal (Ctrl-C in qvlib) must not cut a pause point short.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace qv
