// A simulator screen of the program against a simulated device served over TCP: the real
// hub, the real instances, a clock the test sets.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "emu/IsaRecord.h"
#include "emu/Server.h"
#include "shell/Instances.h"
#include "tests/emu/EmuHelp.h"

namespace vex::simtest {

// A clock that stands still unless the test moves it; a wait for the next tick moves it by 1 ms.
class FakeClock : public ISimClock {
 public:
  TDateTime Now() override { return t; }
  void WaitTick() override { t += 1.0 / 86400000.0; }
  void AddMs(double ms) { t += ms / 86400000.0; }
  TDateTime t = EncodeDateTime(2026, 12, 11, 10, 0, 0, 0);
};

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

struct SimRig {
  explicit SimRig(const std::string& model, int edition = -1) {
    namespace fs = std::filesystem;
    dir = fs::temp_directory_path() / ("vexsim-sim-" + std::to_string(::getpid()) + "-" + model);
    fs::create_directories(dir);
    emu = emu::test::StartEmu(model, {}, edition);
    in = std::make_unique<TInstances>(TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                                      (dir / "vexsim.ini").string());
    TPorts1& p = in->Ports1;
    p.ActivePage = lpNetwork;
    p.LabeledEdit30 = "127.0.0.1";
    p.LabeledEdit31 = std::to_string(emu->TcpPort());
    p.LabeledEdit32 = "1";
    p.LabeledEdit33 = "5";
    p.LabeledEdit34 = "500";
    for (TVexSim* s : in->Simulators()) s->Clock = &clock;
  }
  ~SimRig() {
    in.reset();
    emu.reset();
    std::filesystem::remove_all(dir);
  }
  // Emulator control command; its reply must start with "ok".
  std::string Emu(const std::string& line) {
    const std::string r = emu->Control(line);
    EXPECT_EQ(r.rfind("ok", 0), 0u) << line << " -> " << r;
    return r;
  }
  // Writes a sequence configuration into the device's working registers.
  void Configure(const emu::IsaConfig& c) {
    const int bytes = emu->Dev().Info().seqBytes;
    std::vector<uint16_t> w = emu::RecordFromConfig(c, bytes);
    TPorts1& p = in->Ports1;
    p.ModWrite(15, 0, true);
    p.ModWrite(15, 0x1234, true);
    const int n = bytes / 6, words = bytes / 2;
    p.ModWriteMulti(128, static_cast<uint16_t>(n), w.data(), true);
    p.ModWriteMulti(static_cast<uint16_t>(128 + n), static_cast<uint16_t>(n), w.data() + n, true);
    p.ModWriteMulti(static_cast<uint16_t>(128 + 2 * n), static_cast<uint16_t>(words - 2 * n),
                    w.data() + 2 * n, true);
  }
  // Polls until `ok` holds (the device runs on its own clock), at most ~3 s of polls.
  bool PollUntil(TVexSim& s, const std::function<bool()>& ok) {
    for (int i = 0; i < 300; ++i) {
      s.DoSimul();
      if (ok()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

  std::filesystem::path dir;
  FakeClock clock;
  MapSettingsStore store;
  NoDesktop desktop;
  std::unique_ptr<emu::EmuServer> emu;
  std::unique_ptr<TInstances> in;
};

}  // namespace vex::simtest
