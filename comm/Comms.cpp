#include "comm/Comms.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace vex {

namespace {

struct SpeedCode {
  unsigned rate;
  speed_t code;
};
constexpr SpeedCode kSpeeds[] = {{110, B110},       {300, B300},      {600, B600},       {1200, B1200},
                                 {2400, B2400},     {4800, B4800},    {9600, B9600},     {19200, B19200},
                                 {38400, B38400},   {57600, B57600},  {115200, B115200}, {230400, B230400},
                                 {460800, B460800}, {921600, B921600}};

bool SpeedOf(unsigned rate, speed_t& code) {
  for (auto s : kSpeeds)
    if (s.rate == rate) {
      code = s.code;
      return true;
    }
  return false;
}

unsigned RateOf(speed_t code) {
  for (auto s : kSpeeds)
    if (s.code == code) return s.rate;
  return 0;
}

}  // namespace

// Device control block as the terminal settings show it.
TDCB DcbFromTermios(const termios& t, int fd) {
  TDCB d;
  d.BaudRate = RateOf(cfgetospeed(&t));
  if (d.BaudRate == 0) {
    unsigned r = 0;
    if (platform::GetFreeBaud(fd, r) == 0) d.BaudRate = r;
  }
  d.Flags = fBinary;
  if (t.c_cflag & CRTSCTS) d.Flags |= fOutxCtsFlow | fRtsControlHandshake;
  if (t.c_iflag & IXON) d.Flags |= fOutX;
  if (t.c_iflag & IXOFF) d.Flags |= fInX;
  if (t.c_iflag & INPCK) d.Flags |= fParity;
  switch (t.c_cflag & CSIZE) {
    case CS5:
      d.ByteSize = 5;
      break;
    case CS6:
      d.ByteSize = 6;
      break;
    case CS7:
      d.ByteSize = 7;
      break;
    default:
      d.ByteSize = 8;
      break;
  }
  if (!(t.c_cflag & PARENB))
    d.Parity = 0;
  else if (t.c_cflag & CMSPAR)
    d.Parity = (t.c_cflag & PARODD) ? 3 : 4;
  else
    d.Parity = (t.c_cflag & PARODD) ? 1 : 2;
  d.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
  d.XonChar = t.c_cc[VSTART];
  d.XoffChar = t.c_cc[VSTOP];
  return d;
}

// Terminal settings for a device control block; EINVAL for what this platform cannot do
// (4 data bits, DSR/DTR handshaking).
int TermiosFromDcb(const TDCB& d, termios& t) {
  if (d.Flags & (fOutxDsrFlow | fDtrControlHandshake)) return EINVAL;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  switch (d.ByteSize) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    case 8:
      t.c_cflag |= CS8;
      break;
    default:
      return EINVAL;
  }
  switch (d.Parity) {
    case 0:
      break;
    case 1:
      t.c_cflag |= PARENB | PARODD;
      break;
    case 2:
      t.c_cflag |= PARENB;
      break;
    case 3:
      t.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case 4:
      t.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      return EINVAL;
  }
  if (d.StopBits != 0) t.c_cflag |= CSTOPB;  // 1.5 stop bits is what the UART makes of it with 5 bits
  if (d.Flags & (fOutxCtsFlow | fRtsControlHandshake)) t.c_cflag |= CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (d.Flags & fOutX) t.c_iflag |= IXON;
  if (d.Flags & fInX) t.c_iflag |= IXOFF;
  if (d.Flags & fParity) t.c_iflag |= INPCK;
  t.c_cc[VSTART] = d.XonChar;
  t.c_cc[VSTOP] = d.XoffChar;
  t.c_cc[VMIN] = 0;  // reads return what has arrived
  t.c_cc[VTIME] = 0;
  return 0;
}

eCommError::eCommError(const std::string& msg, int code) : Exception(msg), code_(code) {}

void TComms1::Fail(const char* msg, int code) {
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, " [Error=%d]", code);
  throw eCommError(std::string(msg) + suffix, code);
}

TComms1::~TComms1() { Close(); }

void TComms1::Open() {
  if (Enb) Fail(cPortAlreadyOpen, -1);

  // exclusive, no controlling terminal, reads and writes never wait
  const std::string path = platform::SerialDevicePath(Device);
  FHandle = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  Enb = FHandle != kInvalidHandle;
  if (!Enb) Fail(cOpenError, errno);
  if (::flock(FHandle, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    Close();
    Fail(cOpenError, e);
  }
  // keep others from opening the terminal; not every device takes it
  excl_ = ::ioctl(FHandle, TIOCEXCL) == 0;

  struct stat st {};
  if (::fstat(FHandle, &st) != 0 || !S_ISCHR(st.st_mode)) {
    ::close(FHandle);
    FHandle = kInvalidHandle;  // Enb stays set until Close
    excl_ = false;
    Fail(cInvalidHandle, -1);
  }

  // time-outs: reads return at once with what has arrived
  termios t{};
  if (::tcgetattr(FHandle, &t) != 0) Fail(cCommTimeoutsErr, errno);
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::tcsetattr(FHandle, TCSANOW, &t) != 0) Fail(cCommTimeoutsErr, errno);

  if (::tcgetattr(FHandle, &t) != 0) Fail(cUpdateDCBErr, errno);
  TDCB d = DcbFromTermios(t, FHandle);
  d.BaudRate = CommBaudRates[Baudrate];
  d.Parity = CommParity[Parity];
  d.StopBits = CommStopBits[Stopbits];
  d.ByteSize = CommDataBits[Databits];
  d.XonChar = XonChar;
  d.XoffChar = XoffChar;
  d.ErrorChar = ErrorChar;
  d.EofChar = EofChar;
  d.EvtChar = EvtChar;
  d.XonLim = 1024;
  d.XoffLim = 1024;
  if (Flw != fcDefault) d.Flags = fBinary;
  switch (Flw) {
    case fcCTS:
      d.Flags |= fOutxCtsFlow | fRtsControlHandshake;
      break;
    case fcDTR:
      d.Flags |= fOutxDsrFlow | fDtrControlHandshake;
      break;
    case fcSoftware:
      d.Flags |= fOutX | fInX;
      break;
    case fcNone:
    case fcDefault:
      break;
  }
  for (int i = coParityCheck; i <= coNullStrip; ++i) {
    if (Opt.count(static_cast<TCommOption>(i)))
      d.Flags |= CommOptions[i];
    else
      d.Flags &= ~CommOptions[i];
  }

  int e = TermiosFromDcb(d, t);
  speed_t code = B38400;
  const bool standard = SpeedOf(d.BaudRate, code);
  if (e == 0 && (::cfsetispeed(&t, code) != 0 || ::cfsetospeed(&t, code) != 0)) e = errno;
  if (e == 0 && ::tcsetattr(FHandle, TCSANOW, &t) != 0) e = errno;
  if (e == 0 && !standard) e = platform::SetFreeBaud(FHandle, d.BaudRate);
  if (e != 0) Fail(cUpdateDCBErr, e);
  DCB = d;

  // the driver's queues must answer, the exchange relies on them
  int n = 0;
  if (::ioctl(FHandle, FIONREAD, &n) != 0) Fail(cSetupCommErr, errno);

  // without handshaking DTR and RTS are not driven: both low (a port without modem lines,
  // such as a pseudo-terminal, refuses and is left as it is)
  if (Flw == fcNone) {
    int bits = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(FHandle, TIOCMBIC, &bits);
  }
  Rs485Active = false;
  if (Rs485Rts) {
    serial_rs485 rs{};
    if (::ioctl(FHandle, TIOCGRS485, &rs) == 0) {
      rs.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
      rs.flags &= ~static_cast<__u32>(SER_RS485_RTS_AFTER_SEND);
      Rs485Active = ::ioctl(FHandle, TIOCSRS485, &rs) == 0;
    }
  }
  LineTime = platform::Now();
}

std::chrono::nanoseconds TComms1::CharTime() const {
  const unsigned rate = CommBaudRates[Baudrate];
  // bit times in halves: start, data, parity, one, one and a half or two stop bits
  const unsigned halves =
      2 * (1 + CommDataBits[Databits] + (Parity == paNone ? 0 : 1)) + (Stopbits == sb10   ? 2
                                                                       : Stopbits == sb15 ? 3
                                                                                          : 4);
  return std::chrono::nanoseconds(500000000LL * halves / rate);
}

void TComms1::Close() {
  if (HandleValid()) {
    // a terminal that outlives this opening (a pseudo-terminal whose other end stays open)
    // keeps the exclusive mark, and every later opening would be refused
    if (excl_) ::ioctl(FHandle, TIOCNXCL);
    excl_ = false;
    ::close(FHandle);
    FHandle = kInvalidHandle;
  }
  Enb = false;
}

int TComms1::Write(const void* buf, int count) {
  auto p = static_cast<const char*>(buf);
  int done = 0;
  const platform::TimePoint start = platform::Now();
  while (done < count) {
    ssize_t r = ::write(FHandle, p + done, static_cast<size_t>(count - done));
    if (r > 0) {
      done += static_cast<int>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 || errno == EAGAIN) {  // output queue full: block until it drains
      platform::WaitFd(FHandle, POLLOUT, platform::AfterMs(platform::Now(), 1000));
      continue;
    }
    Fail(cWriteError, errno);
  }
  // the last byte leaves the line a character time after the one before it
  if (done > 0) LineTime = std::max(start, LineTime) + done * CharTime();
  return done;
}

int TComms1::Read(void* buf, int count) {
  if (count <= 0) count = 0;
  for (;;) {
    ssize_t r = ::read(FHandle, buf, static_cast<size_t>(count));
    if (r > 0) LineTime = std::max(LineTime, platform::Now());
    if (r >= 0) return static_cast<int>(r);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    Fail(cReadError, errno);
  }
}

int TComms1::InQue() {
  if (!HandleValid()) return -1;
  int n = 0;
  if (::ioctl(FHandle, FIONREAD, &n) != 0) return -1;
  return n;
}

int TComms1::OutQue() {
  if (!HandleValid()) return -1;
  int n = 0;
  if (::ioctl(FHandle, TIOCOUTQ, &n) != 0) return -1;
  return n;
}

void TComms1::Purge(int mask) {
  if (!HandleValid()) return;
  const bool in = (mask & cPurgeRead) != 0, out = (mask & cPurgeWrite) != 0;
  if (in && out)
    ::tcflush(FHandle, TCIOFLUSH);
  else if (in)
    ::tcflush(FHandle, TCIFLUSH);
  else if (out)
    ::tcflush(FHandle, TCOFLUSH);
}

void TComms1::PurgeIn() { Purge(cPurgeRead); }
void TComms1::PurgeOut() { Purge(cPurgeWrite); }

void TComms1::EscFunc(int f) {
  if (!Enb || !HandleValid()) Fail(cPortNotOpen, -1);
  int r = -1;
  int bits = 0;
  switch (f) {
    case SETXOFF:
      r = ::tcflow(FHandle, TCOOFF);
      break;
    case SETXON:
      r = ::tcflow(FHandle, TCOON);
      break;
    case SETRTS:
      bits = TIOCM_RTS, r = ::ioctl(FHandle, TIOCMBIS, &bits);
      break;
    case CLRRTS:
      bits = TIOCM_RTS, r = ::ioctl(FHandle, TIOCMBIC, &bits);
      break;
    case SETDTR:
      bits = TIOCM_DTR, r = ::ioctl(FHandle, TIOCMBIS, &bits);
      break;
    case CLRDTR:
      bits = TIOCM_DTR, r = ::ioctl(FHandle, TIOCMBIC, &bits);
      break;
    case SETBREAK:
      r = ::ioctl(FHandle, TIOCSBRK);
      break;
    case CLRBREAK:
      r = ::ioctl(FHandle, TIOCCBRK);
      break;
    default:
      errno = EINVAL;
      break;
  }
  if (r != 0) Fail(cEscFuncError, errno);
}

void TComms1::BRK(bool v) {
  EscFunc(v ? SETBREAK : CLRBREAK);
  Purge(cPurgeRWall);
}

bool TComms1::WaitReadable(int timeoutMs) {
  return WaitReadableUntil(platform::AfterMs(platform::Now(), timeoutMs));
}

bool TComms1::WaitReadableUntil(platform::TimePoint deadline) { return WaitEventsUntil(deadline) != 0; }

short TComms1::WaitEventsUntil(platform::TimePoint deadline) {
  if (!HandleValid()) return 0;
  return platform::WaitFd(FHandle, POLLIN, deadline);
}

}  // namespace vex
