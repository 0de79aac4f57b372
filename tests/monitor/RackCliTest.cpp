// vexcli rack against the simulated I/O module: the same register writes as the screen's boxes,
// the number range, and the refusal of another model.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/emu/EmuHelp.h"
#include "tests/support/CliRun.h"

namespace vex {
namespace {

using testing_cli::Vexcli;

struct RackCliCase {
  const char* name;
  std::vector<std::string> commands;  // "rack ..." in order
  int rc;                             // of the last one
  std::string said;                   // in the last one's output
  std::vector<uint16_t> words;        // registers 64..66 and 70..72 after
};

void PrintTo(const RackCliCase& c, std::ostream* os) { *os << c.name; }

const RackCliCase kRackCli[] = {
    {"OutputOn", {"out 5 on"}, 0, "Register 64 = 0x0010", {0x0010, 0, 0, 0, 0, 0}},
    {"ReadModifyWrite",
     {"out 5 on", "out 2 on", "out 5 off"},
     0,
     "Register 64 = 0x0002",
     {0x0002, 0, 0, 0, 0, 0}},
    {"ThirdSlot", {"out 0x28 on"}, 0, "Register 66 = 0x0080", {0, 0, 0x0080, 0, 0, 0}},
    {"PulsesKeepEachOther", {"pulse 17", "pulse 18"}, 0, "Register 71 = 0x0002", {0, 0, 0, 0, 0x0003, 0}},
    {"OutOfRange", {"out 49 on"}, 1, "Output Range Check, Valid Range:  [1 ~ 48].", {0, 0, 0, 0, 0, 0}},
    {"NotANumber", {"pulse x"}, 1, "'x' is not a valid integer value", {0, 0, 0, 0, 0, 0}},
    {"OnOrOff", {"out 1 maybe"}, 105, "state: maybe not in {on,off}", {0, 0, 0, 0, 0, 0}},
};

class RackCli : public ::testing::TestWithParam<RackCliCase> {};

TEST_P(RackCli, SendsTheBoxCommands) {
  if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexcli"))
    GTEST_SKIP() << "vexcli is not built";
  const RackCliCase& c = GetParam();
  auto emu = emu::test::StartEmu("vald3");
  {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    const uint16_t len = 5000, zero = 0, unlock = 0x1234;  // pulses of slot 2 last long enough to be seen
    emu->Dev().WriteRegs(emu::Space::Holding, 15, 1, &zero);
    emu->Dev().WriteRegs(emu::Space::Holding, 15, 1, &unlock);
    emu->Dev().WriteRegs(emu::Space::Holding, 22, 1, &len);
  }
  const std::string link = " --ini /dev/null --tcp 127.0.0.1:" + std::to_string(emu->TcpPort());
  testing_cli::CliRun r;
  for (const std::string& cmd : c.commands) r = Vexcli("rack " + cmd + link);
  EXPECT_EQ(r.rc, c.rc) << r.out;
  EXPECT_NE(r.out.find(c.said), std::string::npos) << r.out;
  std::vector<uint16_t> regs(3), pul(3);
  {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    emu->Dev().ReadRegs(emu::Space::Holding, 64, 3, regs.data());
    emu->Dev().ReadRegs(emu::Space::Holding, 70, 3, pul.data());
  }
  regs.insert(regs.end(), pul.begin(), pul.end());
  EXPECT_EQ(regs, c.words);
}

INSTANTIATE_TEST_SUITE_P(Commands, RackCli, ::testing::ValuesIn(kRackCli),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(RackCliModel, OtherModelsAreRefused) {
  if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexcli"))
    GTEST_SKIP() << "vexcli is not built";
  auto emu = emu::test::StartEmu("tord48");
  const auto r = Vexcli("rack out 1 on --ini /dev/null --tcp 127.0.0.1:" + std::to_string(emu->TcpPort()));
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.out.find("Not a Vald-3 I/O module: Boot ID "), std::string::npos) << r.out;
  uint16_t v = 1;
  std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
  EXPECT_NE(emu->Dev().ReadRegs(emu::Space::Holding, 64, 1, &v), 0) << "nothing there to write";
}

// vexcli monitor --once --json on both modules: the annunciators' keys and the modules' own.
TEST(RackCliMonitor, OnceJsonOfBothModules) {
  if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexcli"))
    GTEST_SKIP() << "vexcli is not built";
  for (const char* model : {"tord48", "vald3"}) {
    SCOPED_TRACE(model);
    const bool io = std::string(model) == "vald3";
    auto emu = emu::test::StartEmu(model);
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    emu->Dev().SetInput(1, true);
    emu->Dev().SetInput(48, true);
    std::string reply;
    if (io) {
      ASSERT_TRUE(emu->Dev().Control("slot", "3 $99", reply));
      ASSERT_TRUE(emu->Dev().Control("outfault", "2 on", reply));
      ASSERT_TRUE(emu->Dev().Control("irig", "on", reply));
      const uint16_t cmd = 0x0005, pul = 0x0001, len = 5000, zero = 0, unlock = 0x1234;
      emu->Dev().WriteRegs(emu::Space::Holding, 15, 1, &zero);  // configuration writes after 0, $1234
      emu->Dev().WriteRegs(emu::Space::Holding, 15, 1, &unlock);
      emu->Dev().WriteRegs(emu::Space::Holding, 23, 1, &len);
      emu->Dev().WriteRegs(emu::Space::Holding, 64, 1, &cmd);
      emu->Dev().WriteRegs(emu::Space::Holding, 72, 1, &pul);
    }
    emu->Dev().Tick(emu->Dev().NowMs() + 1000);  // past the detection time
    emu->Dev().Mutex().unlock();
    const auto r = Vexcli(
        "monitor --once --json --ini /dev/null --tcp 127.0.0.1:" + std::to_string(emu->TcpPort()), false);
    emu->Dev().Mutex().lock();
    ASSERT_EQ(r.rc, 0) << r.out;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["model"], io ? "Vex733" : "Vex748");
    for (const char* k : {"flags", "lamps", "device_time", "difference_ms", "windows", "inputs"})
      EXPECT_TRUE(j.contains(k)) << k;
    ASSERT_EQ(j["inputs"].size(), 48u);
    std::vector<int> on;
    for (size_t i = 0; i < 48; ++i)
      if (j["inputs"][i]) on.push_back(static_cast<int>(i) + 1);
    EXPECT_EQ(on, (std::vector<int>{1, 48}));
    EXPECT_EQ(j["windows"][0]["colour"], "Red");
    EXPECT_EQ(j["windows"][1]["colour"], "Off");
    // the pulse length written above edits the I/O module's configuration: "STATUS" goes dark
    EXPECT_EQ(j["lamps"]["STATUS"], io ? "Off" : "Green") << r.out;
    EXPECT_EQ(j.contains("slots"), io);
    if (!io) continue;
    EXPECT_EQ(j["slots"], nlohmann::json({"$4C, Relay-8x5A", "$26, SSR-4x6A", "$99, Undef"}));
    EXPECT_EQ(j["lamps"]["IrigB Sync"], "Yellow");
    auto bits = [&](const char* k) {
      std::vector<int> v;
      EXPECT_EQ(j[k].size(), 48u) << k;
      for (size_t i = 0; i < j[k].size(); ++i)
        if (j[k][i]) v.push_back(static_cast<int>(i) + 1);
      return v;
    };
    EXPECT_EQ(bits("commands"), (std::vector<int>{1, 3}));
    EXPECT_EQ(bits("outputs"), (std::vector<int>{1, 3}));
    EXPECT_EQ(bits("faults"), (std::vector<int>{2, 33}))
        << "the failed output; the pulse of an undefined card";
    EXPECT_EQ(bits("pulses"), (std::vector<int>{33}));
  }
}

}  // namespace
}  // namespace vex
