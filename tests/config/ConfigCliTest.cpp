// vexcli config: a preset written as a model file reads back in ISA-18.1 terms.
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "emu/Device.h"
#include "emu/Server.h"

namespace {

namespace fs = std::filesystem;

struct CliRun {
  int rc;
  std::string out;
};

CliRun Vexcli(const std::string& args) {
  const std::string cmd = std::string(VEX_BINARY_DIR) + "/vexcli " + args + " 2>&1";
  CliRun r{-1, ""};
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

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

// The editor's operations from the command line against a simulated device.
class ConfigCliDevice : public ConfigCli {
 protected:
  void SetUp() override {
    ConfigCli::SetUp();
    if (IsSkipped()) return;
    auto dev = vex::emu::MakeDevice(vex::emu::ModelFor("vex324"));
    dev->SetBootWait(50);
    vex::emu::ServerOptions o;
    o.tcpPort = 0;
    emu = std::make_unique<vex::emu::EmuServer>(std::move(dev), o);
    emu->Start();
    std::ofstream((dir / "link.ini").string()) << "[Ports1]\nLabeledEdit34=400\n";
    link = " --ini " + (dir / "link.ini").string() + " --tcp 127.0.0.1:" + std::to_string(emu->TcpPort());
  }
  uint16_t Reg(uint16_t a) {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    return emu->Dev().Cfg(a);
  }
  std::unique_ptr<vex::emu::EmuServer> emu;
  std::string link;
};

TEST_F(ConfigCliDevice, ReadChangeWriteStoreAndReadBack) {
  const std::string a = (dir / "a.eep").string(), b = (dir / "b.eep").string();
  CliRun r = Vexcli("config read" + link + " -o " + a);
  ASSERT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(r.out.find("Eprom State: $01, Good\nModbus ID <1~31>: 1\nDetection <3~250mS>: 20\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("\n24 = "), std::string::npos) << r.out;
  // the same configuration with another detection time, made by the preset of another site
  r = Vexcli("config preset A --model vex324 --id 3 -o " + b);
  ASSERT_EQ(r.rc, 0) << r.out;
  r = Vexcli("config diff " + a + " " + b);
  EXPECT_EQ(r.rc, 1) << r.out;
  EXPECT_NE(r.out.find("Modbus ID <1~31>: 1 -> 3\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Detection <3~250mS>: 20 -> 5\n"), std::string::npos) << r.out;
  r = Vexcli("config write " + b + link + " --store --restart");
  ASSERT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(r.out.find("Write Config Complete\nWrite Eeprom Complete\nReset Complete\n"), std::string::npos);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(Reg(16), 5);
  const std::string c = (dir / "c.eep").string();
  r = Vexcli("config read" + link + " -o " + c);
  ASSERT_EQ(r.rc, 0) << r.out;
  r = Vexcli("config diff " + b + " " + c);
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_EQ(r.out, "No differences\n");
}

TEST_F(ConfigCliDevice, RefusalsSendNothing) {
  const std::string bad = (dir / "bad.eem").string(), other = (dir / "other.eem").string();
  ASSERT_EQ(Vexcli("config preset T --model vex324 -o " + bad).rc, 0);
  {
    std::ifstream in(bad);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (size_t at; (at = text.find("LabeledEdit11=5")) != std::string::npos;)
      text.replace(at, 15, "LabeledEdit11=251");
    std::ofstream(bad) << text;
  }
  ASSERT_EQ(Vexcli("config preset T --model vex936 -o " + other).rc, 0);
  const struct {
    std::string args, message;
    int rc;
  } cases[] = {
      {"config write " + bad + link, "Detection <3~250mS>: Range Check, Valid Range:  [3 ~ 250].", 1},
      {"config write " + other + link, "holds no Vex324cfg1 section", 1},
      {"config diff " + bad + " " + other, "holds no Vex324cfg1 section", 2},
      {"config restore" + link + " --dir " + (dir / "none").string(), "Model File not Found", 1},
  };
  for (const auto& c : cases) {
    const CliRun r = Vexcli(c.args);
    EXPECT_EQ(r.rc, c.rc) << c.args << "\n" << r.out;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
  EXPECT_EQ(Reg(16), 20);
  std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
  EXPECT_EQ(emu->Dev().CfgState(), vex::emu::cTstGod) << "nothing was written";
}

// "show" finds the editor's section in any letter case, as loading does.
TEST_F(ConfigCli, ShowFindsTheSectionInAnyCase) {
  const std::string file = (dir / "case.eem").string();
  std::ofstream(file) << "[vex324CFG1]\nLabeledEdit10=9\n";
  const CliRun r = Vexcli("config show " + file + " --model vex324");
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(r.out.find("Modbus ID <1~31>: 9\n"), std::string::npos) << r.out;
}

}  // namespace
