// The serial port on a pseudo-terminal: opening, line settings, failures and byte I/O.
#include "comm/Comms.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>

namespace vex {
namespace {

// A pseudo-terminal pair: the port opens the terminal side, the test plays the device on
// the other side.
struct Pty {
  Pty() {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    EXPECT_GE(master, 0);
    grantpt(master);
    unlockpt(master);
    path = ptsname(master);
  }
  ~Pty() { ::close(master); }
  void Send(const std::string& s) {
    EXPECT_EQ(::write(master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  std::string Take() {
    char b[256];
    ssize_t n = ::read(master, b, sizeof b);
    return n > 0 ? std::string(b, static_cast<size_t>(n)) : std::string();
  }
  int master = -1;
  std::string path;
};

std::string Fails(const std::function<void()>& f, int* code = nullptr) {
  try {
    f();
  } catch (const eCommError& e) {
    if (code) *code = e.Code();
    return e.what();
  }
  return "(no failure)";
}

TEST(Comms, DevicePaths) {
  struct Case {
    const char* given;
    const char* path;
  } cases[] = {
      {"/dev/pts/7", "/dev/pts/7"},
      {"ttyUSB0", "/dev/ttyUSB0"},
      {"\\\\.\\ttyUSB12", "/dev/ttyUSB12"},
      {"\\\\.\\/dev/ttyACM0", "/dev/ttyACM0"},
      {"COM3", "/dev/COM3"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::SerialDevicePath(c.given), c.path) << c.given;
}

TEST(Comms, Defaults) {
  TComms1 c;
  EXPECT_FALSE(c.Enabled());
  EXPECT_EQ(c.Device, "COM2");
  EXPECT_EQ(c.FHandle, -1);
  EXPECT_EQ(c.Baudrate, br9600);
  EXPECT_EQ(c.Parity, paNone);
  EXPECT_EQ(c.Stopbits, sb10);
  EXPECT_EQ(c.Databits, da8);
  EXPECT_EQ(c.Flw, fcNone);
  EXPECT_TRUE(c.Opt.empty());
  EXPECT_EQ(c.XonChar, 17);
  EXPECT_EQ(c.XoffChar, 19);
  EXPECT_EQ(c.InQue(), -1);
  EXPECT_EQ(c.OutQue(), -1);
}

struct FailCase {
  const char* name;
  std::function<void(TComms1&, Pty&)> run;
  const char* message;
  int code;
};

TEST(Comms, EveryFailureCarriesItsMessageAndCode) {
  const std::string file = std::filesystem::temp_directory_path() / ("vex_comms_" + std::to_string(getpid()));
  std::FILE* f = std::fopen(file.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  const FailCase cases[] = {
      {"open twice",
       [](TComms1& c, Pty& t) {
         c.Device = t.path;
         c.Open();
         c.Open();
       },
       "Port already assigned (open)", -1},
      {"no such device",
       [](TComms1& c, Pty&) {
         c.Device = "/dev/vex-no-such-port";
         c.Open();
       },
       "Error accessing specified device", ENOENT},
      {"held by another port",
       [](TComms1& c, Pty& t) {
         static TComms1 other;
         other.Close();
         other.Device = t.path;
         other.Open();
         c.Device = t.path;
         try {
           c.Open();
         } catch (...) {
           other.Close();
           throw;
         }
       },
       "Error accessing specified device", EWOULDBLOCK},
      {"not a character device",
       [&file](TComms1& c, Pty&) {
         c.Device = file;
         c.Open();
       },
       "Invalid device handle, access denied", -1},
      {"not a terminal",
       [](TComms1& c, Pty&) {
         c.Device = "/dev/null";
         c.Open();
       },
       "Error updating CommTimeouts", ENOTTY},
      {"four data bits",
       [](TComms1& c, Pty& t) {
         c.Device = t.path;
         c.Databits = da4;
         c.Open();
       },
       "Error updating DataControlBlock", EINVAL},
      {"DSR/DTR handshake",
       [](TComms1& c, Pty& t) {
         c.Device = t.path;
         c.Flw = fcDTR;
         c.Open();
       },
       "Error updating DataControlBlock", EINVAL},
      {"escape on a closed port", [](TComms1& c, Pty&) { c.RTS(true); },
       "Port not open, unable to complete operation", -1},
      {"modem line the device lacks",
       [](TComms1& c, Pty& t) {
         c.Device = t.path;
         c.Open();
         c.DTR(true);
       },
       "EscapeCommFunction failure", ENOTTY},
      {"unknown escape",
       [](TComms1& c, Pty& t) {
         c.Device = t.path;
         c.Open();
         c.EscFunc(7);
       },
       "EscapeCommFunction failure", EINVAL},
      {"read on a closed port",
       [](TComms1& c, Pty&) {
         char b[4];
         c.Read(b, 4);
       },
       "Read error", EBADF},
      {"write on a closed port", [](TComms1& c, Pty&) { c.Write("x", 1); }, "Write error", EBADF},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Pty t;
    TComms1 c;
    int code = 0;
    EXPECT_EQ(Fails([&] { k.run(c, t); }, &code),
              std::string(k.message) + " [Error=" + std::to_string(k.code) + "]");
    EXPECT_EQ(code, k.code);
  }
  std::filesystem::remove(file);
}

TEST(Comms, FailedOpensLeaveTheStateTheCallerCloses) {
  Pty t;
  TComms1 c;
  c.Device = t.path;
  c.Open();
  EXPECT_THROW(c.Open(), eCommError);
  EXPECT_TRUE(c.Enabled());  // still open after "already assigned"
  EXPECT_GE(c.InQue(), 0);

  TComms1 d;
  d.Device = "/proc/self/status";
  EXPECT_THROW(d.Open(), eCommError);
  EXPECT_TRUE(d.Enabled());  // flagged open until closed
  EXPECT_EQ(d.FHandle, -1);
  EXPECT_EQ(Fails([&] { d.Open(); }), "Port already assigned (open) [Error=-1]");
  d.Close();
  d.Close();  // twice is harmless
  EXPECT_FALSE(d.Enabled());
  d.Device = t.path + "-gone";
  EXPECT_THROW(d.Open(), eCommError);
  EXPECT_FALSE(d.Enabled());
}

// Whether the terminal is marked for exclusive use: 1 or 0 (-1 when it cannot be told).
int ExclusiveMark(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return errno == EBUSY ? 1 : -1;  // refused by the mark (unprivileged)
  int v = -1;
  if (::ioctl(fd, TIOCGEXCL, &v) != 0) v = -1;
  ::close(fd);
  return v;
}

struct ExclCase {
  const char* name;
  std::function<void(TComms1&)> setup;  // settings before the opening
  bool opens;                           // the opening succeeds
  bool destroy;                         // closed by the destructor instead of Close
};

TEST(Comms, ClosingGivesUpExclusiveUse) {
  const ExclCase cases[] = {
      {"opened and closed", [](TComms1&) {}, true, false},
      {"refused settings, then closed", [](TComms1& c) { c.Databits = da4; }, false, false},
      {"destroyed while open", [](TComms1&) {}, true, true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Pty t;  // the other end stays open, so the terminal outlives every opening
    auto c = std::make_unique<TComms1>();
    c->Device = t.path;
    k.setup(*c);
    if (k.opens)
      c->Open();
    else
      EXPECT_THROW(c->Open(), eCommError);
    EXPECT_EQ(ExclusiveMark(t.path), 1);
    if (k.destroy)
      c.reset();
    else
      c->Close();
    EXPECT_EQ(ExclusiveMark(t.path), 0);
    TComms1 again;
    again.Device = t.path;
    EXPECT_NO_THROW(again.Open());
  }
}

TEST(Comms, RefusedSecondOpeningLeavesTheHoldersMark) {
  Pty t;
  TComms1 holder, other;
  holder.Device = other.Device = t.path;
  holder.Open();
  EXPECT_THROW(other.Open(), eCommError);
  other.Close();
  EXPECT_EQ(ExclusiveMark(t.path), 1);
  EXPECT_TRUE(holder.Enabled());
  holder.Close();
  EXPECT_EQ(ExclusiveMark(t.path), 0);
}

struct LineCase {
  TBaudrate rate;
  TParity parity;
  TStopbits stop;
  TDatabits data;
  unsigned bps;
  tcflag_t parityBits;  // PARENB/PARODD/CMSPAR expected
  bool twoStops;
  tcflag_t size;
};

TEST(Comms, LineSettingsReachTheTerminal) {
  const LineCase cases[] = {
      {br9600, paNone, sb10, da8, 9600, 0, false, CS8},
      {br19200, paEven, sb10, da8, 19200, PARENB, false, CS8},
      {br38400, paOdd, sb20, da7, 38400, PARENB | PARODD, true, CS7},
      {br115200, paMark, sb20, da6, 115200, PARENB | PARODD | CMSPAR, true, CS6},
      {br1200, paSpace, sb15, da5, 1200, PARENB | CMSPAR, true, CS5},
      {br14400, paNone, sb10, da8, 14400, 0, false, CS8},
      {br56000, paNone, sb10, da8, 56000, 0, false, CS8},
      {br256000, paEven, sb10, da8, 256000, PARENB, false, CS8},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.bps);
    Pty t;
    TComms1 c;
    c.Device = t.path;
    c.Baudrate = k.rate;
    c.Parity = k.parity;
    c.Stopbits = k.stop;
    c.Databits = k.data;
    c.Open();
    // a pseudo-terminal keeps 8 bits without parity, so the settings are checked as built
    termios tio{};
    ASSERT_EQ(tcgetattr(c.FHandle, &tio), 0);
    ASSERT_EQ(TermiosFromDcb(c.DCB, tio), 0);
    unsigned bps = 0;
    ASSERT_EQ(platform::GetFreeBaud(c.FHandle, bps), 0);
    EXPECT_EQ(bps, k.bps);
    EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), k.parityBits);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, k.twoStops);
    EXPECT_EQ(tio.c_cflag & CSIZE, k.size);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);  // raw
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
    EXPECT_EQ(c.DCB.BaudRate, k.bps);
    EXPECT_EQ(c.DCB.Parity, CommParity[k.parity]);
    EXPECT_EQ(c.DCB.StopBits, CommStopBits[k.stop]);
    EXPECT_EQ(c.DCB.ByteSize, CommDataBits[k.data]);
    EXPECT_EQ(c.DCB.XonLim, 1024);
    EXPECT_EQ(c.DCB.XoffLim, 1024);
  }
}

struct FlowCase {
  const char* name;
  TFlowControl flw;
  TCommOptions opt;
  uint32_t flags;  // expected control block flags
  bool rtscts, xon, xoff, inpck;
};

TEST(Comms, FlowControlAndOptions) {
  const FlowCase cases[] = {
      {"none", fcNone, {}, fBinary, false, false, false, false},
      {"CTS", fcCTS, {}, fBinary | fOutxCtsFlow | fRtsControlHandshake, true, false, false, false},
      {"software", fcSoftware, {}, fBinary | fOutX | fInX, false, true, true, false},
      {"parity check", fcNone, {coParityCheck}, fBinary | fParity, false, false, false, true},
      {"all options",
       fcNone,
       {coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip},
       fBinary | fParity | fDsrSensitivity | fTXContinueOnXoff | fErrorChar | fNull,
       false,
       false,
       false,
       true},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Pty t;
    TComms1 c;
    c.Device = t.path;
    c.Flw = k.flw;
    c.Opt = k.opt;
    c.XonChar = 0x11;
    c.XoffChar = 0x13;
    c.Open();
    EXPECT_EQ(c.DCB.Flags, k.flags);
    termios tio{};
    ASSERT_EQ(tcgetattr(c.FHandle, &tio), 0);
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, k.rtscts);
    EXPECT_EQ((tio.c_iflag & IXON) != 0, k.xon);
    EXPECT_EQ((tio.c_iflag & IXOFF) != 0, k.xoff);
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, k.inpck);
    EXPECT_EQ(tio.c_cc[VSTART], 0x11);
    EXPECT_EQ(tio.c_cc[VSTOP], 0x13);
  }
}

TEST(Comms, DefaultFlowKeepsTheDevicesOwnSetting) {
  Pty t;
  {
    TComms1 c;
    c.Device = t.path;
    c.Flw = fcCTS;
    c.Open();
  }
  TComms1 c;
  c.Device = t.path;
  c.Flw = fcDefault;
  c.Open();
  EXPECT_EQ(c.DCB.Flags & (fOutxCtsFlow | fRtsControlHandshake), fOutxCtsFlow | fRtsControlHandshake);
}

TEST(Comms, BytesWaitingReadWriteAndPurge) {
  Pty t;
  TComms1 c;
  c.Device = t.path;
  c.Open();
  char b[16];
  EXPECT_EQ(c.InQue(), 0);
  EXPECT_EQ(c.Read(b, sizeof b), 0);  // nothing waiting: returns at once

  auto t0 = std::chrono::steady_clock::now();
  EXPECT_FALSE(c.WaitReadable(30));
  EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));

  t.Send("hello");
  EXPECT_TRUE(c.WaitReadable(1000));
  for (int i = 0; i < 100 && c.InQue() < 5; ++i) c.WaitReadable(10);
  EXPECT_EQ(c.InQue(), 5);
  EXPECT_EQ(c.Read(b, 3), 3);
  EXPECT_EQ(std::string(b, 3), "hel");
  EXPECT_EQ(c.InQue(), 2);
  c.PurgeIn();
  EXPECT_EQ(c.InQue(), 0);

  EXPECT_EQ(c.Write("\x01\x02\x03", 3), 3);
  EXPECT_EQ(c.OutQue(), 0);  // the terminal hands bytes over at once
  std::string got;
  for (int i = 0; i < 100 && got.size() < 3; ++i) {
    got += t.Take();
    if (got.size() < 3) usleep(1000);
  }
  EXPECT_EQ(got, "\x01\x02\x03");

  // escapes the terminal supports
  EXPECT_NO_THROW(c.BRK(true));
  EXPECT_NO_THROW(c.BRK(false));
  EXPECT_NO_THROW(c.XON(false));
  EXPECT_NO_THROW(c.XON(true));
  c.Close();
  EXPECT_EQ(c.InQue(), -1);
  EXPECT_FALSE(c.WaitReadable(0));
}

}  // namespace
}  // namespace vex
