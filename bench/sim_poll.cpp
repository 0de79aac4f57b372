// Cost of a simulator screen scanning continuously: the Vex324 simulator driven by the main
// window's idle dispatcher against a simulated device over TCP loopback and over a
// pseudo-terminal. Prints polls per second, the CPU of the polling thread in % of one core
// (the device runs on threads of its own) and the longest poll (a click waits at most that).
//   bench_sim_poll [seconds per link]
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "emu/Server.h"
#include "shell/Instances.h"

namespace {

using Clock = std::chrono::steady_clock;

double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct NoDesktop : vex::IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

void Run(bool tcp, double seconds) {
  using namespace vex;
  emu::ServerOptions o;
  if (tcp) {
    o.tcpPort = 0;
  } else {
    o.serial = true;
    o.baud = 115200;
  }
  auto dev = emu::MakeDevice(emu::ModelFor("vex324"));
  dev->SetBootWait(0);
  emu::EmuServer server(std::move(dev), o);
  server.Start();
  server.Control("demo on");  // field activity: lamps change while scanning

  const std::string dir = std::filesystem::temp_directory_path() / ("bench-sim-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  MapSettingsStore store;
  NoDesktop desktop;
  TInstances in(TStartInfo{dir + "/vexsim", false}, store, desktop, dir + "/vexsim.ini");
  TPorts1& p = in.Ports1;
  if (tcp) {
    p.ActivePage = lpNetwork;
    p.LabeledEdit30 = "127.0.0.1";
    p.LabeledEdit31 = std::to_string(server.TcpPort());
  } else {
    p.ActivePage = lpComm;
    p.ComboBox1 = server.PtyPath();
    p.ComboBox2Change(7);  // 115200
  }
  TVexSim& s = in.Vex324sim1;
  s.Show();
  s.StartScan();
  in.Event1.Visible = true;  // the event record is read on every poll too

  const uint64_t polls0 = s.Polls;
  const double cpu0 = ThreadCpu();
  const auto t0 = Clock::now();
  double longest = 0;
  while (std::chrono::duration<double>(Clock::now() - t0).count() < seconds && s.Scanning()) {
    const auto a = Clock::now();
    in.Main1.ApplicationEvents1Idle();
    longest = std::max(longest, std::chrono::duration<double, std::milli>(Clock::now() - a).count());
  }
  const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
  const double cpu = ThreadCpu() - cpu0;
  const auto polls = static_cast<double>(s.Polls - polls0);
  std::printf("%-16s polls/s %7.1f   CPU %5.2f %% of one core (target < 5 %%)   longest poll %6.2f ms%s\n",
              tcp ? "TCP loopback" : "pseudo-terminal", polls / wall, 100.0 * cpu / wall, longest,
              s.Scanning() ? "" : "   (scan stopped: link failed)");
  std::filesystem::remove_all(dir);
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
  std::printf("Vex324 simulator scanning continuously, %.1f s per link, clock tick %d ms\n", seconds,
              vex::cSimTickMs);
  Run(true, seconds);
  Run(false, seconds);
  return 0;
}
