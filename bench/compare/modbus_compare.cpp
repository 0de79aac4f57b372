// This hub against libmodbus, side by side in one run and against the same simulated device:
// the same number of reads of 16 and of 123 holding registers over Modbus TCP (vexemu's TCP
// port) and over Modbus RTU (vexemu --serial --pace at 115200 baud on a pseudo-terminal, the
// replies sent at line speed). Prints transactions per second, microseconds per transaction,
// the master's CPU time per 1000 transactions and the ratio; for the serial line also the
// physical floor (request and reply bytes x 11 bits / baud, plus the line idle time).
//   bench_modbus_compare [reads over TCP] [reads over the serial line] [path of vexemu]
#include <modbus.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "comm/Ports.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBaud = 115200;
constexpr int kFirst = 0x4000;  // the simulated device's plain register block

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct Figures {
  double perSecond = 0, usEach = 0, cpuMsPer1000 = 0, cpuPercent = 0;
  int failures = 0;
};

// Runs `read` count times (after a short warm-up); read returns false on a failed transaction.
Figures Measure(int count, const std::function<bool()>& read) {
  Figures f;
  for (int i = 0; i < 5; ++i) read();
  const double cpu0 = CpuSeconds();
  const auto t0 = Clock::now();
  for (int i = 0; i < count; ++i)
    if (!read()) ++f.failures;
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = CpuSeconds() - cpu0;
  f.perSecond = count / wall;
  f.usEach = wall * 1e6 / count;
  f.cpuMsPer1000 = cpu * 1e6 / count;
  f.cpuPercent = 100.0 * cpu / wall;
  return f;
}

void Row(const char* who, const Figures& f) {
  std::printf("  %-26s %10.0f %12.1f %14.2f %8.2f%%%s\n", who, f.perSecond, f.usEach, f.cpuMsPer1000,
              f.cpuPercent, f.failures ? ("  (" + std::to_string(f.failures) + " failed)").c_str() : "");
}

void Header(const char* title, int count, int regs) {
  std::printf("\n%s: %d reads of %d registers\n", title, count, regs);
  std::printf("  %-26s %10s %12s %14s %9s\n", "", "tx/s", "us/tx", "CPU ms/1000", "CPU");
}

// The simulated device, started as a child process; its first lines name its ports.
class Emulator {
 public:
  explicit Emulator(const std::string& exe) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      const std::string baud = std::to_string(kBaud), scratch = std::to_string(kFirst) + ":123";
      execl(exe.c_str(), exe.c_str(), "--tcp", "0", "--serial", "--pace", "--baud", baud.c_str(), "--scratch",
            scratch.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    FILE* f = fdopen(out[0], "r");
    char line[512];
    while ((tcpPort < 0 || pty.empty()) && f && fgets(line, sizeof line, f)) {
      char path[256];
      int port = 0;
      if (std::sscanf(line, "tcp %*[^:]:%d", &port) == 1) tcpPort = port;
      if (std::sscanf(line, "serial %255s", path) == 1) pty = path;
    }
    out_ = f;
  }
  ~Emulator() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (out_) fclose(out_);
  }
  int tcpPort = -1;
  std::string pty;

 private:
  pid_t pid_ = -1;
  FILE* out_ = nullptr;
};

std::string gLastError;  // the hub's last failure, shown beside the failure count

bool HubRead(vex::TPorts1& p, int regs, uint16_t* v) {
  try {
    p.ModReadMulti(kFirst, regs, v, false);
    return v[regs - 1] == kFirst + regs - 1;
  } catch (const std::exception& e) {
    gLastError = e.what();
    return false;
  }
}

void OverTcp(int port, int count) {
  vex::TPorts1 p;
  p.ActivePage = vex::lpNetwork;
  p.ClientSocket1.Address = "127.0.0.1";
  p.ClientSocket1.Port = port;
  p.ClientSocket1.Open();
  for (int i = 0; i < 100 && !p.ClientSocket1.Active(); ++i) p.ClientSocket1.Poll(20);
  p.ComNod = 1;
  p.ComTmo = 1;  // the settings' default for the network page
  p.ComBln = 2000;
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port);
  modbus_set_slave(ctx, 1);
  if (!p.ClientSocket1.Active() || modbus_connect(ctx) != 0) {
    std::printf("TCP: no connection to the simulated device\n");
    modbus_free(ctx);
    return;
  }
  uint16_t v[125];
  for (const int regs : {16, 123}) {
    Header("Modbus TCP (loopback, vexemu)", count, regs);
    p.CheckBox5 = true;
    const Figures fast = Measure(count, [&] { return HubRead(p, regs, v); });
    p.CheckBox5 = false;
    const Figures slow = Measure(count / 10, [&] { return HubRead(p, regs, v); });
    const Figures lib = Measure(count, [&] {
      return modbus_read_registers(ctx, kFirst, regs, v) == regs && v[regs - 1] == kFirst + regs - 1;
    });
    Row("hub, fast reply detection", fast);
    Row("hub, silence rule", slow);
    Row("libmodbus", lib);
    std::printf("  rate hub/libmodbus %.2f (target at least 1.00); silence rule/libmodbus %.3f\n",
                fast.perSecond / lib.perSecond, slow.perSecond / lib.perSecond);
  }
  modbus_close(ctx);
  modbus_free(ctx);
}

void OverSerial(const std::string& pty, int count) {
  vex::TPorts1 p;
  p.Comm1.Device = pty;
  p.Comm1.Baudrate = vex::br115200;
  p.ComNod = 0xEE;
  p.ComTmo = 5;  // the settings' default for 38400 baud and above
  p.ComBln = 200;
  try {
    p.Comm1.Open();
  } catch (const std::exception& e) {
    std::printf("serial: %s\n", e.what());
    return;
  }
  const double idleUs = std::chrono::duration<double, std::micro>(p.IdleTime()).count();
  uint16_t v[125];
  for (const int regs : {16, 123}) {
    const int n = regs == 16 ? count : count / 3;  // the long replies take 22 ms each on the wire
    Header("Modbus RTU (pseudo-terminal, vexemu --serial --pace, 115200 baud)", n, regs);
    p.CheckBox5 = true;
    const Figures fast = Measure(n, [&] { return HubRead(p, regs, v); });
    p.CheckBox5 = false;
    const Figures slow = Measure(n / 3, [&] { return HubRead(p, regs, v); });
    p.Comm1.Close();  // libmodbus opens the same terminal
    modbus_t* ctx = modbus_new_rtu(pty.c_str(), kBaud, 'N', 8, 1);
    modbus_set_slave(ctx, 0xEE);
    Figures lib;
    if (modbus_connect(ctx) == 0) {
      lib = Measure(n, [&] {
        return modbus_read_registers(ctx, kFirst, regs, v) == regs && v[regs - 1] == kFirst + regs - 1;
      });
      modbus_close(ctx);
    }
    modbus_free(ctx);
    p.Comm1.Open();
    const int bytes = 8 + 5 + 2 * regs;
    const double floorUs = bytes * 11.0 * 1e6 / kBaud + idleUs;
    Row("hub, fast reply detection", fast);
    Row("hub, silence rule", slow);
    Row("libmodbus", lib);
    std::printf("  physical floor %.1f us (%d bytes on the wire + %.1f ms idle)\n", floorUs, bytes,
                idleUs / 1000);
    std::printf("  hub/floor %.3f (target within 1.20); rate hub/libmodbus %.2f\n", fast.usEach / floorUs,
                lib.perSecond > 0 ? fast.perSecond / lib.perSecond : 0.0);
  }
  p.Comm1.Close();
}

}  // namespace

int main(int argc, char** argv) {
  const int tcp = argc > 1 ? atoi(argv[1]) : 3000;
  const int serial = argc > 2 ? atoi(argv[2]) : 150;
  std::string exe = argc > 3 ? argv[3] : "";
  if (exe.empty()) {
    std::error_code ec;
    exe = (std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "vexemu").string();
  }
  signal(SIGPIPE, SIG_IGN);
  Emulator emu(exe);
  if (emu.tcpPort < 0 || emu.pty.empty()) {
    std::printf("could not start the simulated device %s\n", exe.c_str());
    return 1;
  }
  std::printf("libmodbus %s against vexemu (tcp port %d, serial %s)\n", LIBMODBUS_VERSION_STRING, emu.tcpPort,
              emu.pty.c_str());
  OverTcp(emu.tcpPort, tcp);
  OverSerial(emu.pty, serial);
  return 0;
}
