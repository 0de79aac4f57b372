// Kept apart: the kernel's termios2 header clashes with <termios.h>.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

#include "comm/Platform.h"

namespace vex::platform {

int SetFreeBaud(int fd, unsigned rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  t.c_cflag &= ~CBAUD;
  t.c_cflag |= BOTHER;
  t.c_ispeed = rate;
  t.c_ospeed = rate;
  if (ioctl(fd, TCSETS2, &t) != 0) return errno;
  return 0;
}

int GetFreeBaud(int fd, unsigned& rate) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return errno;
  rate = t.c_ospeed;
  return 0;
}

}  // namespace vex::platform
