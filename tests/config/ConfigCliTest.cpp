// vexcli config: a preset written as a model file reads back in ISA-18.1 terms.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/CliRun.h"

namespace {

namespace fs = std::filesystem;

using vex::testing_cli::CliRun;
using vex::testing_cli::Vexcli;

class ConfigCli : public ::testing::Test {
 protected:
  fs::path dir = fs::temp_directory_path() / ("configcli-" + std::to_string(::getpid()));
  void SetUp() override {
    if (!fs::exists(fs::path(VEX_BINARY_DIR) / "vexcli")) GTEST_SKIP() << "vexcli is not built";
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(ConfigCli, PresetThenShow) {
  const std::string file = (dir / "t.eem").string();
  CliRun r = Vexcli("config preset T --model vex324 --app 8 --id 7 -o " + file);
  ASSERT_EQ(r.rc, 0) << r.out;
  r = Vexcli("config show " + file + " --model vex324 --app 8");
  ASSERT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(r.out.find("Modbus ID <1~31>: 7\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Detection <3~250mS>: 5\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n01 = R-10 = R2A1N.R1A1.R½SNM.RSSN\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n24 = R-10 = "), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("\n25 "), std::string::npos) << r.out;
}

// Every model with alarm sequences and every preset: the model file shows one channel line per
// input of the model, in the preset's sequence.
TEST_F(ConfigCli, EveryModelAndPreset) {
  struct Model {
    const char* name;
    int inputs;
  } models[] = {{"vex215", 16}, {"vex216", 16}, {"vex308", 8},  {"vex316", 16},
                {"vex324", 24}, {"vex924", 24}, {"vex932", 32}, {"vex936", 36}};
  struct Preset {
    const char* name;
    const char* line;  // after the input number
  } presets[] = {{"T", " = R-10 = R2A1N.R1A1.R½SNM.RSSN"},
                 {"A", " = R-10 = R2A1N.R1A1.R½S1M.RSSN"},
                 {"N", " = R-10 = R2A1N.R1A1.R½SNM.RSSN"}};
  for (const Model& m : models) {
    for (const Preset& p : presets) {
      const std::string file = (dir / (std::string(m.name) + p.name + ".eem")).string();
      CliRun r = Vexcli(std::string("config preset ") + p.name + " --model " + m.name + " -o " + file);
      ASSERT_EQ(r.rc, 0) << r.out;
      r = Vexcli("config show " + file + " --model " + m.name);
      ASSERT_EQ(r.rc, 0) << r.out;
      auto line = [](int n) { return (n < 10 ? "\n0" : "\n") + std::to_string(n); };
      EXPECT_NE(r.out.find("\n01" + std::string(p.line) + "\n"), std::string::npos) << m.name << p.name;
      EXPECT_NE(r.out.find(line(m.inputs) + p.line), std::string::npos) << m.name << p.name << "\n" << r.out;
      EXPECT_EQ(r.out.find(line(m.inputs + 1) + " "), std::string::npos) << m.name;
    }
  }
}

TEST_F(ConfigCli, RefusalsExitWithAMessage) {
  const std::string file = (dir / "t.eem").string();
  ASSERT_EQ(Vexcli("config preset A --model vex936 -o " + file).rc, 0);
  struct Case {
    std::string args, message;
    int rc;  // 1: refused by the command, 105: by the command line parser
  } cases[] = {
      {"config show " + file + " --model vex324", "holds no Vex324cfg1 section", 1},
      {"config preset T --model vex748 -o " + file, "Tord48 has no alarm sequences", 1},
      {"config preset T --model vex324 --id 0 -o " + file, "--id Range Check, Valid Range:  [1 ~ 31].", 1},
      {"config preset T --model vex999 -o " + file, "Unknown model \"vex999\"", 1},
      {"config preset T --model vex324 --app 256 -o " + file, "--app: Value 256 not in range", 105},
      {"config show " + file + " --model vex936 --app -1", "--app: Value -1 not in range", 105},
  };
  for (const Case& c : cases) {
    const CliRun r = Vexcli(c.args);
    EXPECT_EQ(r.rc, c.rc) << c.args;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
}

}  // namespace
