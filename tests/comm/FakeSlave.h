// A scripted Modbus slave for the link tests: the far end of a pseudo-terminal pair or a
// loopback TCP listener, run by a thread. Each request (a burst of bytes followed by 3 ms
// of silence) is recorded and handed to the script, whose steps are played back: wait, then
// write bytes.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "shell/Basics.h"

namespace vex::test {

using Clock = std::chrono::steady_clock;

struct Step {
  ByteStr bytes;
  int delayMs = 0;  // pause before the bytes are written
};
using Script = std::function<std::vector<Step>(const ByteStr& request)>;

inline ByteStr Bytes(std::initializer_list<int> b) {
  ByteStr s;
  for (int x : b) s += static_cast<char>(x & 0xFF);
  return s;
}
inline ByteStr WithCrc(ByteStr s) {
  uint16_t c = CrcofStr(s);
  s += static_cast<char>(c & 0xFF);
  s += static_cast<char>(c >> 8);
  return s;
}
inline ByteStr WithMbap(unsigned trn, const ByteStr& pdu) {
  ByteStr h =
      Bytes({static_cast<int>(trn >> 8), static_cast<int>(trn), 0, 0, 0, static_cast<int>(pdu.size())});
  return h + pdu;
}
inline unsigned TrnOf(const ByteStr& frame) {
  return frame.size() >= 2 ? (static_cast<uint8_t>(frame[0]) << 8) | static_cast<uint8_t>(frame[1]) : 0;
}

class FakeSlave {
 public:
  enum class Kind { Serial, Tcp };
  friend void PrintTo(Kind k, std::ostream* os) { *os << (k == Kind::Tcp ? "Tcp" : "Serial"); }

  explicit FakeSlave(Kind k) : kind_(k) {
    if (k == Kind::Serial) {
      fd_ = posix_openpt(O_RDWR | O_NOCTTY);
      if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) throw std::runtime_error("no pseudo-terminal");
      path_ = ptsname(fd_);
      keep_ = ::open(path_.c_str(), O_RDWR | O_NOCTTY);  // keeps the pair alive between opens
    } else {
      listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in a{};
      a.sin_family = AF_INET;
      a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      socklen_t len = sizeof a;
      if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), len) != 0 || ::listen(listen_, 4) != 0)
        throw std::runtime_error("no listener");
      ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
      port_ = ntohs(a.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~FakeSlave() {
    stop_ = true;
    thread_.join();
    for (int f : {fd_, keep_, listen_})
      if (f >= 0) ::close(f);
  }

  const std::string& Path() const { return path_; }
  int Port() const { return port_; }
  void SetScript(Script s) {
    std::lock_guard<std::mutex> l(m_);
    script_ = std::move(s);
  }
  std::vector<ByteStr> Requests() {
    std::lock_guard<std::mutex> l(m_);
    return requests_;
  }
  std::vector<Clock::time_point> Arrivals() {
    std::lock_guard<std::mutex> l(m_);
    return arrivals_;
  }
  // Closes the accepted connection (TCP): the client sees the peer go away.
  void DropConnection() { drop_ = true; }
  // Writes bytes at once, outside any request (unsolicited data).
  void Inject(const ByteStr& b) {
    std::lock_guard<std::mutex> l(m_);
    inject_ += b;
  }

 private:
  int Conn() const { return kind_ == Kind::Serial ? fd_ : conn_; }

  void WriteAll(const ByteStr& b) {
    size_t done = 0;
    while (done < b.size() && !stop_) {
      ssize_t r = ::write(Conn(), b.data() + done, b.size() - done);
      if (r > 0)
        done += static_cast<size_t>(r);
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

  void Run() {
    ByteStr req;
    Clock::time_point first{};
    while (!stop_) {
      if (kind_ == Kind::Tcp && drop_ && conn_ >= 0) {
        ::close(conn_);
        conn_ = -1;
        drop_ = false;
      }
      {
        std::string inj;
        {
          std::lock_guard<std::mutex> l(m_);
          inj.swap(inject_);
        }
        if (!inj.empty() && Conn() >= 0) WriteAll(inj);
      }
      pollfd p{};
      if (kind_ == Kind::Tcp && conn_ < 0) {
        p = {listen_, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) conn_ = ::accept(listen_, nullptr, nullptr);
        continue;
      }
      p = {Conn(), POLLIN, 0};
      int r = ::poll(&p, 1, req.empty() ? 10 : 3);
      if (r > 0 && (p.revents & POLLIN)) {
        char buf[512];
        ssize_t n = ::read(Conn(), buf, sizeof buf);
        if (n > 0) {
          if (req.empty()) first = Clock::now();
          req.append(buf, static_cast<size_t>(n));
          continue;
        }
        if (kind_ == Kind::Tcp) {  // the client went away
          ::close(conn_);
          conn_ = -1;
          req.clear();
        }
        continue;
      }
      if (r > 0 && kind_ == Kind::Tcp && (p.revents & (POLLHUP | POLLERR))) {
        ::close(conn_);
        conn_ = -1;
        req.clear();
        continue;
      }
      if (r == 0 && !req.empty()) {  // silence: the request is complete
        Script s;
        {
          std::lock_guard<std::mutex> l(m_);
          requests_.push_back(req);
          arrivals_.push_back(first);
          s = script_;
        }
        std::vector<Step> steps = s ? s(req) : std::vector<Step>{};
        req.clear();
        for (const Step& st : steps) {
          if (st.delayMs) std::this_thread::sleep_for(std::chrono::milliseconds(st.delayMs));
          if (stop_) break;
          WriteAll(st.bytes);
        }
      }
      if (r > 0 && kind_ == Kind::Serial && !(p.revents & POLLIN))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // hang-up while nobody has the port open
    }
  }

  Kind kind_;
  int fd_ = -1, keep_ = -1, listen_ = -1, conn_ = -1, port_ = 0;
  std::string path_;
  std::thread thread_;
  std::atomic<bool> stop_{false}, drop_{false};
  std::mutex m_;
  Script script_;
  std::vector<ByteStr> requests_;
  std::vector<Clock::time_point> arrivals_;
  std::string inject_;
};

// A small register and coil memory answering the standard functions (PDU from the node
// address on, without CRC or header).
struct Memory {
  std::map<int, uint16_t> regs;
  std::map<int, bool> coils;

  static unsigned W(const ByteStr& s, size_t i) {
    return (static_cast<uint8_t>(s[i]) << 8) | static_cast<uint8_t>(s[i + 1]);
  }
  ByteStr Answer(const ByteStr& q) {
    const int fn = static_cast<uint8_t>(q[1]);
    ByteStr r = q.substr(0, 2);
    switch (fn) {
      case 0x03:
      case 0x04: {
        unsigned a = W(q, 2), c = W(q, 4);
        r += static_cast<char>(2 * c);
        for (unsigned i = 0; i < c; ++i) {
          uint16_t v = regs[static_cast<int>(a + i)];
          r += static_cast<char>(v >> 8);
          r += static_cast<char>(v & 0xFF);
        }
        return r;
      }
      case 0x01:
      case 0x02: {
        unsigned a = W(q, 2), c = W(q, 4), n = (c + 7) / 8;
        r += static_cast<char>(n);
        for (unsigned b = 0; b < n; ++b) {
          int byte = 0;
          for (unsigned k = 0; k < 8 && b * 8 + k < c; ++k)
            if (coils[static_cast<int>(a + b * 8 + k)]) byte |= 1 << k;
          r += static_cast<char>(byte);
        }
        return r;
      }
      case 0x05:
        coils[static_cast<int>(W(q, 2))] = static_cast<uint8_t>(q[4]) == 0xFF;
        return q;
      case 0x10: {
        unsigned a = W(q, 2), c = W(q, 4);
        for (unsigned i = 0; i < c; ++i)
          regs[static_cast<int>(a + i)] = static_cast<uint16_t>(W(q, 7 + 2 * i));
        return q.substr(0, 6);
      }
      case 0x08:
        return q;
      default:
        return Bytes({static_cast<uint8_t>(q[0]), fn | 0x80, 1});
    }
  }
};

}  // namespace vex::test
