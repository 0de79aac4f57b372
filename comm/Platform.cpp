#include "comm/Platform.h"

#include <time.h>

#include <cerrno>

namespace vex::platform {

std::string SerialDevicePath(const std::string& device) {
  std::string s = device;
  static const std::string kPrefix = "\\\\.\\";
  if (s.compare(0, kPrefix.size(), kPrefix) == 0) s.erase(0, kPrefix.size());
  if (s.empty() || s[0] == '/') return s;
  return "/dev/" + s;
}

short WaitFd(int fd, short events, TimePoint deadline) {
  for (;;) {
    auto left = deadline - Now();
    if (left < Clock::duration::zero()) left = Clock::duration::zero();
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
    pollfd p{fd, events, 0};
    int r = ppoll(&p, 1, &ts, nullptr);
    if (r > 0) return p.revents;
    if (r == 0) {
      if (Now() >= deadline) return 0;
      continue;  // woke a little early: wait out the rest
    }
    if (errno != EINTR) return POLLERR;
  }
}

void SleepUntil(TimePoint t) {
  auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
  timespec ts{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
  // steady_clock is CLOCK_MONOTONIC on this platform
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

}  // namespace vex::platform
