// Throughput and CPU cost of back-to-back ModReadMulti(0, 123) exchanges with ComTmo = 1 ms,
// over TCP loopback and over a pseudo-terminal, each against a fast slave thread in this
// process. Prints the figures; the link must not spin while it waits.
//   bench_modbus_link [transactions over TCP] [transactions over the pseudo-terminal]
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "comm/Ports.h"

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds(clockid_t id) {
  timespec t{};
  clock_gettime(id, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Answers every read request at once: 123 registers holding their own address.
class FastSlave {
 public:
  FastSlave(int fd, bool tcp) : fd_(fd), tcp_(tcp) {
    thread_ = std::thread([this] { Run(); });
  }
  ~FastSlave() {
    stop_ = true;
    thread_.join();
  }
  double AnswerMs() const { return answers_ ? answerNs_ / 1e6 / answers_ : 0.0; }

 private:
  void Run() {
    std::string in;
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char b[512];
      ssize_t n = read(fd_, b, sizeof b);
      if (n <= 0) continue;
      in.append(b, static_cast<size_t>(n));
      const size_t need = tcp_ ? 12 : 8;  // one read request
      while (in.size() >= need) {
        auto t0 = Clock::now();
        std::string q = in.substr(0, need);
        in.erase(0, need);
        const std::string pdu = tcp_ ? q.substr(6) : q.substr(0, 6);
        const unsigned a = (static_cast<uint8_t>(pdu[2]) << 8) | static_cast<uint8_t>(pdu[3]);
        const unsigned c = (static_cast<uint8_t>(pdu[4]) << 8) | static_cast<uint8_t>(pdu[5]);
        std::string r = pdu.substr(0, 2);
        r += static_cast<char>(2 * c);
        for (unsigned i = 0; i < c; ++i) {
          r += static_cast<char>((a + i) >> 8);
          r += static_cast<char>((a + i) & 0xFF);
        }
        if (tcp_) {
          std::string h = q.substr(0, 4);
          h += '\0';
          h += static_cast<char>(r.size());
          r = h + r;
        } else {
          const uint16_t crc = vex::CrcofStr(r);
          r += static_cast<char>(crc & 0xFF);
          r += static_cast<char>(crc >> 8);
        }
        size_t done = 0;
        while (done < r.size()) {
          ssize_t w = write(fd_, r.data() + done, r.size() - done);
          if (w > 0) done += static_cast<size_t>(w);
        }
        answerNs_ += static_cast<double>(
            std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - t0).count());
        ++answers_;
      }
    }
  }
  int fd_;
  bool tcp_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  double answerNs_ = 0;
  int answers_ = 0;
};

void Measure(const char* name, vex::TPorts1& p, int count, double specifiedWaitMs, const FastSlave& slave) {
  if (count <= 0) return;
  uint16_t v[123];
  for (int i = 0; i < 10; ++i) p.ModReadMulti(0, 123, v, false);  // warm up
  const double cpu0 = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID), thr0 = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto t0 = Clock::now();
  for (int i = 0; i < count; ++i) {
    p.ModReadMulti(0, 123, v, false);
    if (v[122] != 122) std::printf("  wrong data in transaction %d\n", i);
  }
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0,
               thr = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - thr0;
  const double perTx = wall * 1000.0 / count;
  const double expected = specifiedWaitMs + slave.AnswerMs();
  std::printf("%s: %d transactions of ModReadMulti(0,123), ComTmo=%d ms\n", name, count, p.ComTmo);
  std::printf("  transactions per second       %8.1f\n", count / wall);
  std::printf("  wall time per transaction     %8.3f ms\n", perTx);
  std::printf("  specified waits + slave time  %8.3f ms (waits %.3f ms, slave %.3f ms)\n", expected,
              specifiedWaitMs, slave.AnswerMs());
  std::printf("  excess over that              %8.3f ms (target below 1.5 ms)\n", perTx - expected);
  std::printf("  process CPU per 1000 tx       %8.4f s (%.2f%% of wall, target below 5%%)\n",
              cpu * 1000.0 / count, 100.0 * cpu / wall);
  std::printf("  master thread CPU per 1000 tx %8.4f s (%.2f%% of wall)\n", thr * 1000.0 / count,
              100.0 * thr / wall);
}

void OverTcp(int count) {
  int l = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (bind(l, reinterpret_cast<sockaddr*>(&a), len) != 0 || listen(l, 1) != 0) {
    std::printf("TCP loopback: no listener\n");
    return;
  }
  getsockname(l, reinterpret_cast<sockaddr*>(&a), &len);
  vex::TPorts1 p;
  p.ActivePage = vex::lpNetwork;
  p.ClientSocket1.Address = "127.0.0.1";
  p.ClientSocket1.Port = ntohs(a.sin_port);
  p.ClientSocket1.Open();
  int conn = accept(l, nullptr, nullptr);
  int one = 1;
  setsockopt(conn, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  while (!p.ClientSocket1.Active()) p.ClientSocket1.Poll(100);
  p.ComNod = 1;
  p.ComTmo = 1;
  p.ComBln = 2000;
  {
    FastSlave s(conn, true);
    Measure("TCP loopback", p, count, p.ComTmo, s);
  }
  p.ClientSocket1.Close();
  close(conn);
  close(l);
}

void OverPty(int count) {
  int m = posix_openpt(O_RDWR | O_NOCTTY);
  if (m < 0 || grantpt(m) != 0 || unlockpt(m) != 0) {
    std::printf("pseudo-terminal: none available\n");
    return;
  }
  vex::TPorts1 p;
  p.Comm1.Device = ptsname(m);
  p.Comm1.Baudrate = vex::br115200;
  p.Comm1.Open();
  p.ComNod = 0xEE;
  p.ComTmo = 1;
  p.ComBln = 500;
  {
    FastSlave s(m, false);
    Measure("pseudo-terminal", p, count, 5.0 + p.ComTmo, s);
  }
  p.Comm1.Close();
  close(m);
}

}  // namespace

int main(int argc, char** argv) {
  const int tcp = argc > 1 ? atoi(argv[1]) : 1000;
  const int pty = argc > 2 ? atoi(argv[2]) : 300;
  try {
    OverTcp(tcp);
    OverPty(pty);
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
