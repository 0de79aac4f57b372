// Platform seam of the device link: serial device names, the monotonic clock and the
// blocking waits the transports use (poll on a descriptor until data or a deadline).
#pragma once

#include <poll.h>

#include <chrono>
#include <string>

namespace vex::platform {

// The monotonic clock every exchange is timed with (CLOCK_MONOTONIC).
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

inline TimePoint Now() { return Clock::now(); }
inline TimePoint AfterMs(TimePoint t, int ms) { return t + std::chrono::milliseconds(ms); }

// Maps a port name as the operator gives it to the device path opened: the Windows style
// prefix "\\.\" is dropped, an absolute path stays as it is, a bare name is taken from /dev.
std::string SerialDevicePath(const std::string& device);

// Blocks in poll() until `fd` reports one of `events` (or an error or hang-up) or the
// deadline passes. Returns the reported events, 0 at the deadline. Interrupted waits resume.
short WaitFd(int fd, short events, TimePoint deadline);

// Sleeps until the given moment of the monotonic clock.
void SleepUntil(TimePoint t);

// Bit rates without a termios constant (14400, 56000, 128000, 256000 ...): set or read the
// rate through the kernel's free-rate interface. Both return 0 or the errno of the failure.
int SetFreeBaud(int fd, unsigned rate);
int GetFreeBaud(int fd, unsigned& rate);

}  // namespace vex::platform
