// vexcli hex / mot, run as a user would (skipped when vexcli has not been built).
#include <sys/wait.h>

#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using namespace fwtest;

const std::string kCli = std::string(VEX_BINARY_DIR) + "/vexcli";

struct CliRun {
  int rc;
  std::string out, err;
};

CliRun Cli(const TempDir& dir, const std::string& args) {
  const std::string out = dir.File("stdout.txt"), err = dir.File("stderr.txt");
  const int st = std::system((kCli + " " + args + " >'" + out + "' 2>'" + err + "'").c_str());
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, ReadText(out), ReadText(err)};
}

TEST(FirmwareCommands, HexAndMot) {
  if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "vexcli not built";
  TempDir dir;
  const std::string app = dir.Write("app.hex", Lines({";PIC18F458", Data(0x0800, Seq(32, 1)), kEof}));
  const std::string boot = dir.Write("boot.hex", Lines({Data(0, Seq(16, 0x40)), ";PIC18F458"}));
  const std::string mot = dir.Write("a.s19", Lines({SRec('0', 0, {}), SRec('2', 0x10000, Seq(70, 0))}, "\n"));
  const std::string mixed = dir.File("Mixed.hex");
  struct Case {
    std::string args;
    int rc;
    std::string outHas, err;
  } cases[] = {
      {"hex info '" + app + "' --seg 64", 0, "Image=        $0001 x 64   1K (64)\nFlash=", ""},
      {"hex info '" + app + "' --seg 32", 0, "Image=        $0001 x 32   1K (32)\n", ""},
      {"hex info '" + app + "' --seg 0", 1, "", "Seg Size Undetermined\n"},
      {"hex info '" + app + "' --seg 70000", 1, "", "--seg Range Check, Valid Range:  [0 ~ 65536].\n"},
      {"hex info '" + dir.File("none.hex") + "' --seg 64", 1, "",
       dir.File("none.hex") + ": No such file or directory\n"},
      {"hex info '" + mot + "' --seg 64", 1, "Loading", "Semicolon missing Line=1\n"},
      {"mot info '" + mot + "'", 0, "Image=        2 x 64   1K (128)\nCpu=           Motorola-S\n", ""},
      {"mot info '" + app + "'", 1, "", "Semicolon missing Line=1\n"},
      {"hex mix --boot '" + boot + "' --app '" + app + "' --seg 64 -o '" + mixed + "'", 0,
       "Saving " + mixed + "\n", ""},
      {"hex mix --boot '" + boot + "' --app '" + app + "' --seg 16 -o '" + mixed + "'", 1, "Mixing...\n",
       "Seg Size Undetermined\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun r = Cli(dir, c.args);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    EXPECT_EQ(r.err, c.err);
  }
  // the mixed file holds the bootloader and the application
  const auto bytes = HexBytes(ReadText(mixed));
  EXPECT_EQ(bytes.at(0x0000), 0x40);
  EXPECT_EQ(bytes.at(0x081F), 32);
}

// The same commands on firmware files built by real tool chains.
TEST(FirmwareCommands, RealFiles) {
  const std::string d = std::string(VEX_SOURCE_DIR) + "/../shared/testdata/firmware/";
  if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "vexcli not built";
  if (!std::filesystem::exists(d + "pic16f1454-blink.hex")) GTEST_SKIP() << "no firmware test files at " << d;
  TempDir dir;
  const std::string mixed = dir.File("Mixed.hex");
  struct Case {
    std::string args;
    int rc;
    std::string outHas, err;
  } cases[] = {
      {"hex info '" + d + "pic16f1454-blink.hex' --seg 64", 0,
       "Start=          $0400\nEnd=           $05A6\nCode=         1K (422)\nImage=        $0007 x 64   1K "
       "(448)\n",
       ""},
      {"hex info '" + d + "pic18f458-ccs.hex' --seg 64", 1, "Loading",
       "Unexpected Code at Adress=$0000 Line=1\n"},
      {"hex mix --boot '" + d + "pic16f1454-bootloader.hex' --app '" + d +
           "pic16f1454-blink.hex' --seg 32 -o '" + mixed + "'",
       1, "Mixing...\n", "Unexpected Code at Adress=$000E Line=67\n"},
      {"mot info '" + d + "mc9s12-ucos.s19'", 1, "Loading", "Start marker not found Line=1\n"},
      {"mot info '" + d + "rl78-project.mot'", 1, "Loading", "Undefined process found=1 Line=2\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun r = Cli(dir, c.args);
    EXPECT_EQ(r.rc, c.rc);
    EXPECT_NE(r.out.find(c.outHas), std::string::npos) << r.out;
    EXPECT_EQ(r.err, c.err);
  }
  EXPECT_FALSE(std::filesystem::exists(mixed));
}

}  // namespace
}  // namespace vex
