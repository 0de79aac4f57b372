// Small Modbus masters for the simulator tests: request PDUs straight into a device, over
// a TCP connection, or over the pseudo-terminal.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "emu/Device.h"
#include "emu/Server.h"
#include "emu/Slave.h"

namespace vex::emu::test {

inline ByteStr B(std::initializer_list<int> v) {
  ByteStr s;
  for (int b : v) s.push_back(static_cast<char>(b));
  return s;
}
inline void Put16(ByteStr& s, uint16_t v) {
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v & 0xFF));
}
inline uint16_t Get16(const ByteStr& s, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
}

inline ByteStr ReadReq(uint8_t fn, uint16_t a, uint16_t c) {
  ByteStr p{static_cast<char>(fn)};
  Put16(p, a);
  Put16(p, c);
  return p;
}
inline ByteStr WriteReq(uint16_t a, const std::vector<uint16_t>& v) {
  ByteStr p{0x10};
  Put16(p, a);
  Put16(p, static_cast<uint16_t>(v.size()));
  p.push_back(static_cast<char>(2 * v.size()));
  for (uint16_t w : v) Put16(p, w);
  return p;
}

// Sends PDUs somewhere and returns the reply PDU (empty when none came).
class Master {
 public:
  virtual ~Master() = default;
  virtual ByteStr Pdu(const ByteStr& pdu) = 0;

  // Registers, or the exception code in `ex` (0 = fine, -1 = no reply / malformed).
  std::vector<uint16_t> Read(uint16_t a, uint16_t c, int* ex = nullptr, uint8_t fn = 0x03) {
    const ByteStr r = Pdu(ReadReq(fn, a, c));
    int e = -1;
    std::vector<uint16_t> v;
    if (r.size() == 2 && static_cast<uint8_t>(r[0]) == (fn | 0x80)) {
      e = static_cast<uint8_t>(r[1]);
    } else if (r.size() == 2u + 2 * c && static_cast<uint8_t>(r[0]) == fn &&
               static_cast<uint8_t>(r[1]) == 2 * c) {
      e = 0;
      for (uint16_t i = 0; i < c; ++i) v.push_back(Get16(r, 2 + 2 * i));
    }
    if (ex) *ex = e;
    return v;
  }
  uint16_t Reg(uint16_t a) {
    int ex = 0;
    auto v = Read(a, 1, &ex);
    if (ex != 0) throw std::runtime_error("read of " + std::to_string(a) + " failed: " + std::to_string(ex));
    return v[0];
  }
  // 0 = written, else the exception code (-1 = no reply).
  int Write(uint16_t a, const std::vector<uint16_t>& v) {
    const ByteStr r = Pdu(WriteReq(a, v));
    if (r.size() == 2 && static_cast<uint8_t>(r[0]) == 0x90) return static_cast<uint8_t>(r[1]);
    return r.size() == 5 && r[0] == 0x10 ? 0 : -1;
  }
  int Cmd(uint16_t w) { return Write(15, {w}); }
};

// Straight into the device (no transport).
class DirectMaster : public Master {
 public:
  explicit DirectMaster(Device& d) : d_(d) {}
  ByteStr Pdu(const ByteStr& pdu) override {
    std::lock_guard<std::mutex> lock(d_.Mutex());
    return ProcessPdu(d_, pdu);
  }

 private:
  Device& d_;
};

inline int64_t Ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads what arrives until `quietMs` of silence after the first byte or `windowMs` in all.
inline ByteStr Collect(int fd, int windowMs, int quietMs) {
  ByteStr got;
  const int64_t end = Ms() + windowMs;
  for (;;) {
    const int64_t now = Ms();
    int wait = static_cast<int>(end - now);
    if (!got.empty()) wait = std::min(wait, quietMs);
    if (wait <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, wait) <= 0) break;
    char b[512];
    const ssize_t n = read(fd, b, sizeof b);
    if (n <= 0) break;
    got.append(b, static_cast<size_t>(n));
  }
  return got;
}

class TcpMaster : public Master {
 public:
  explicit TcpMaster(int port, uint8_t unit = 1) : unit_(unit) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(static_cast<uint16_t>(port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0) throw std::runtime_error("connect");
    const int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  ~TcpMaster() override { close(fd_); }
  // Whole reply frame (MBAP included) of one request.
  ByteStr Raw(const ByteStr& pdu, int windowMs = 1000, int quietMs = 30) {
    ByteStr f;
    Put16(f, ++trn_);
    Put16(f, 0);
    Put16(f, static_cast<uint16_t>(pdu.size() + 1));
    f.push_back(static_cast<char>(unit_));
    f += pdu;
    if (write(fd_, f.data(), f.size()) != static_cast<ssize_t>(f.size())) return {};
    return Collect(fd_, windowMs, quietMs);
  }
  ByteStr Pdu(const ByteStr& pdu) override {
    const ByteStr r = Raw(pdu);
    if (r.size() < 8 || Get16(r, 0) != trn_) return {};
    return r.substr(7);
  }
  uint16_t trn_ = 0;
  uint8_t unit_;
  int fd_;
};

inline speed_t Speed(int baud) {
  switch (baud) {
    case 1200:
      return B1200;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    default:
      return B115200;
  }
}

class PtyMaster : public Master {
 public:
  PtyMaster(const std::string& path, int baud, char parity = 'N', uint8_t node = 0xEE, int stopBits = 1)
      : node_(node) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error("open " + path);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CSTOPB);
    t.c_cflag |= CLOCAL | CREAD;
    if (parity != 'N') t.c_cflag |= PARENB;
    if (parity == 'O') t.c_cflag |= PARODD;
    if (stopBits == 2) t.c_cflag |= CSTOPB;
    cfsetispeed(&t, Speed(baud));
    cfsetospeed(&t, Speed(baud));
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIOFLUSH);
  }
  ~PtyMaster() override { close(fd_); }
  ByteStr RawFrame(const ByteStr& frame, int windowMs = 500, int quietMs = 20) {
    if (write(fd_, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size())) return {};
    return Collect(fd_, windowMs, quietMs);
  }
  static ByteStr WithCrc(ByteStr f) {
    const uint16_t c = CrcofStr(f);
    f.push_back(static_cast<char>(c & 0xFF));
    f.push_back(static_cast<char>(c >> 8));
    return f;
  }
  ByteStr Pdu(const ByteStr& pdu) override {
    const ByteStr r = RawFrame(WithCrc(static_cast<char>(node_) + pdu), windowMs_);
    if (r.size() < 4 || CrcofStr(r.substr(0, r.size() - 2)) !=
                            static_cast<uint16_t>(static_cast<uint8_t>(r[r.size() - 2]) |
                                                  static_cast<uint8_t>(r[r.size() - 1]) << 8))
      return {};
    return r.substr(1, r.size() - 3);
  }
  uint8_t node_;
  int windowMs_ = 500;  // reply window of Pdu()
  int fd_;
};

// A running simulator on a free TCP port and/or a pseudo-terminal.
inline std::unique_ptr<EmuServer> StartEmu(const std::string& model, ServerOptions o = {}, int edition = -1,
                                           int bootRev = -1) {
  if (o.tcpPort < 0 && !o.serial) o.tcpPort = 0;
  auto dev = MakeDevice(ModelFor(model, bootRev, edition));
  dev->SetBootWait(100);
  dev->SetAppStart(100);
  auto s = std::make_unique<EmuServer>(std::move(dev), o);
  s->Start();
  return s;
}

}  // namespace vex::emu::test
