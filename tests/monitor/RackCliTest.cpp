// vexcli rack against the simulated I/O module: the same register writes as the screen's boxes,
// the number range, and the refusal of another model.
#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

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
    const uint16_t len = 5000;  // pulses of slot 2 last long enough to be seen
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

}  // namespace
}  // namespace vex
