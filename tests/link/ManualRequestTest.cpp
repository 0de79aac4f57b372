// Manual requests of the diagnostics pages and the command line, against a simulated device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

#include "comm/Ports.h"
#include "emu/Device.h"
#include "emu/Server.h"

namespace vex {
namespace {

class ManualRequest : public ::testing::Test {
 protected:
  void SetUp() override {
    emu::ServerOptions o;
    o.tcpPort = 0;
    s_ = std::make_unique<emu::EmuServer>(emu::MakeDevice(emu::ModelFor("vex324")), o);
    s_->Start();
    p_.ActivePage = lpNetwork;
    p_.LabeledEdit30 = "127.0.0.1";
    p_.LabeledEdit31 = std::to_string(s_->TcpPort());
    p_.LabeledEdit34 = "300";
  }
  uint16_t Reg(uint16_t a) {
    std::lock_guard<std::mutex> lock(s_->Dev().Mutex());
    uint16_t v = 0;
    EXPECT_EQ(s_->Dev().ReadRegs(emu::Space::Holding, a, 1, &v), 0);
    return v;
  }
  // Registers a and a+1 set to v on the device side.
  void ModWriteSetup(uint16_t a, uint16_t v) {
    std::lock_guard<std::mutex> lock(s_->Dev().Mutex());
    const uint16_t unlock[2] = {0, 0x1234}, w[2] = {v, v};
    for (uint16_t u : unlock) ASSERT_EQ(s_->Dev().WriteRegs(emu::Space::Holding, 15, 1, &u), 0);
    ASSERT_EQ(s_->Dev().WriteRegs(emu::Space::Holding, a, 2, w), 0);
  }
  std::unique_ptr<emu::EmuServer> s_;
  TPorts1 p_;
};

TEST_F(ManualRequest, ReadsShowTheirValuesAndCloseALinkOpenedForThem) {
  auto& g = p_.Group(TTestGroup::Registers);
  g.First = "0";
  g.Second = "4";
  p_.SendQuery03();
  ASSERT_EQ(g.Values.size(), 1u);
  EXPECT_EQ(g.Values[0], "0x" + IntToHex(Reg(0), 4) + " 0x" + IntToHex(Reg(1), 4) + " 0x" +
                             IntToHex(Reg(2), 4) + " 0x" + IntToHex(Reg(3), 4));
  EXPECT_FALSE(g.Query.empty());
  EXPECT_FALSE(g.Result.empty());
  EXPECT_FALSE(p_.ConnectPortChecked());  // opened for the request, closed again

  p_.SetConnectPort(true);
  p_.SendQuery03();
  EXPECT_TRUE(p_.ConnectPortChecked());  // an open link stays open
}

TEST_F(ManualRequest, InputRangesAreChecked) {
  const struct {
    TTestGroup g;
    const char* first;
    const char* second;
    void (TPorts1::*send)();
    const char* message;
  } cases[] = {
      {TTestGroup::Registers, "65536", "1", &TPorts1::SendQuery03,
       "Starting Address: Range Check, Valid Range:  [0 ~ 65535]."},
      {TTestGroup::Registers, "0", "124", &TPorts1::SendQuery04,
       "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123]."},
      {TTestGroup::Registers, "0", "0", &TPorts1::SendQuery03, "Requested read count invalid"},
      {TTestGroup::Coils, "0", "513", &TPorts1::SendQuery01,
       "Quantity of Inputs: Range Check, Valid Range:  [1 ~ 512]."},
      {TTestGroup::Coils, "x", "8", &TPorts1::SendQuery02,
       "Starting Address: 'x' is not a valid integer value, "
       "Valid Range:  [0 ~ 65535]."},
      {TTestGroup::WriteCoil, "0", "256", &TPorts1::SendQuery05,
       "Output Value: Range Check, Valid Range:  [0 ~ 255]."},
      {TTestGroup::WriteReg, "16", "65536", &TPorts1::SendQuery06,
       "Register Value: Range Check, Valid Range:  [0 ~ 65535]."},
      {TTestGroup::Echo, "-1", "", &TPorts1::SendQuery08,
       "Requested Value: Range Check, Valid Range:  [0 ~ 65535]."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    p_.Group(c.g).First = c.first;
    p_.Group(c.g).Second = c.second;
    try {
      (p_.*c.send)();
      FAIL() << "sent";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_FALSE(p_.ConnectPortChecked());  // the link opened for the request is closed again
  }
}

TEST_F(ManualRequest, WritesReachTheDevice) {
  auto& w = p_.Group(TTestGroup::WriteReg);
  // the configuration registers take writes after 0, $1234 on register 15
  w.First = "15";
  for (const char* word : {"0", "$1234"}) {
    w.Second = word;
    p_.SendQuery06();
  }
  w.First = "0x10";
  w.Second = "$1234";
  p_.SendQuery06();
  EXPECT_EQ(Reg(16), 0x1234);

  auto& m = p_.Group(TTestGroup::WriteMulti);
  m.First = "16";
  m.Second = "";
  m.Values = {"7", "21h"};  // several lines of the box
  p_.SendQuery10();
  EXPECT_EQ(p_.Quantity10Hint, "2");
  EXPECT_EQ(Reg(16), 7);
  EXPECT_EQ(Reg(17), 0x21);
  // the box now lists what was written; a quantity takes that many values (missing ones 0)
  m.Values = {"5 6 8"};
  m.Second = "2";
  p_.SendQuery10();
  EXPECT_EQ(p_.Quantity10Hint, "");
  EXPECT_EQ(Reg(16), 5);
  EXPECT_EQ(Reg(17), 6);
  EXPECT_EQ(m.Values, (std::vector<std::string>{"0x0005 0x0006"}));
}

TEST_F(ManualRequest, RegisterValuesOutsideSixteenBitsAreRefused) {
  auto& m = p_.Group(TTestGroup::WriteMulti);
  const struct {
    const char* quantity;
    const char* values;
  } cases[] = {
      {"", "1 70000"},   // would go out as 4464
      {"", "65536"},     // would go out as 0
      {"2", "3 -1"},     // would go out as 65535
      {"1", "0x10000"},  // the first value taken is checked
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.values);
    ModWriteSetup(16, 0x5A5A);
    m.First = "16";
    m.Second = c.quantity;
    m.Values = {c.values};
    try {
      p_.SendQuery10();
      FAIL() << "sent";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Values: Range Check, Valid Range:  [0 ~ 65535].");
    }
    EXPECT_EQ(Reg(16), 0x5A5A);
    EXPECT_EQ(Reg(17), 0x5A5A);
    EXPECT_FALSE(p_.ConnectPortChecked());
  }
  // the largest value and words that are no number (taken as 0) still go out
  m.Second = "";
  m.Values = {"65535 xyz"};
  p_.SendQuery10();
  EXPECT_EQ(Reg(16), 0xFFFF);
  EXPECT_EQ(Reg(17), 0);
  // more values than one request holds are refused by the write, not wrapped round
  std::string many;
  for (int i = 0; i < 65537; ++i) many += "1 ";
  m.Second = "";  // the write above filled in its quantity
  m.Values = {many};
  ModWriteSetup(16, 0x5A5A);
  try {
    p_.SendQuery10();
    FAIL() << "sent";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Requested write count invalid");
  }
  EXPECT_EQ(p_.Quantity10Hint, "65537");
  EXPECT_EQ(Reg(16), 0x5A5A);
}

// The 0x05 value goes out as the high byte of the coil word; 1 stands for ON (255).
TEST(ManualCoilRequest, OutputValueByteOnTheWire) {
  emu::ServerOptions o;
  o.tcpPort = 0;
  emu::EmuServer s(emu::MakeDevice(emu::ModelFor("vex924")), o);
  s.Start();
  TPorts1 p;
  p.ActivePage = lpNetwork;
  p.LabeledEdit30 = "127.0.0.1";
  p.LabeledEdit31 = std::to_string(s.TcpPort());
  p.LabeledEdit34 = "300";
  auto& g = p.Group(TTestGroup::WriteCoil);
  const struct {
    const char* value;
    const char* pdu;  // end of the transmitted frame
    int coil;         // coil state afterwards; -1: the device refuses the value
  } cases[] = {
      {"1", "05 B0 03 FF 00", 1},   {"0", "05 B0 03 00 00", 0},  {"255", "05 B0 03 FF 00", 1},
      {"$FF", "05 B0 03 FF 00", 1}, {"2", "05 B0 03 02 00", -1}, {"0x80", "05 B0 03 80 00", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    g.First = "0xB003";
    g.Second = c.value;
    if (c.coil < 0) {
      EXPECT_THROW(p.SendQuery05(), Exception);
    } else {
      p.SendQuery05();
    }
    const std::string tx = p.Text(TConsoleText::Transmit);
    ASSERT_GE(tx.size(), std::strlen(c.pdu));
    EXPECT_EQ(tx.substr(tx.size() - std::strlen(c.pdu)), c.pdu);
    if (c.coil < 0) continue;
    std::vector<bool> bits;
    {
      std::lock_guard<std::mutex> lock(s.Dev().Mutex());
      ASSERT_EQ(s.Dev().ReadBits(emu::Space::Coil, 0xB003, 1, bits), 0);
    }
    EXPECT_EQ(bits.at(0), c.coil == 1);
  }
}

TEST_F(ManualRequest, EchoShowsTheReturnedValue) {
  auto& e = p_.Group(TTestGroup::Echo);
  e.First = "0xBEEF";
  p_.SendQuery08();
  EXPECT_EQ(e.Second, "0xBEEF");
}

TEST_F(ManualRequest, ALinkLostDuringTheRequestIsReopened) {
  p_.SetConnectPort(true);
  // the main window's busy check runs first; here it drops the link as a failure would
  p_.IsBusy = [this] {
    p_.SetConnectPort(false);
    p_.SetConnectPort(true);  // the busy check opens a closed link
    return false;
  };
  auto& g = p_.Group(TTestGroup::Registers);
  g.First = "0";
  g.Second = "1";
  p_.SendQuery03();
  EXPECT_TRUE(p_.ConnectPortChecked());

  // a busy hub defers the click: nothing is sent
  p_.IsBusy = [] { return true; };
  g.Values.clear();
  p_.SendQuery03();
  EXPECT_TRUE(g.Values.empty());
}

// ---- command line ----

struct CliRun {
  int rc;
  std::string out;
};

CliRun RunCli(const std::string& args) {
  const std::string exe = std::string(VEX_BINARY_DIR) + "/vexcli";
  const std::string cmd = exe + " " + args + " 2>&1";
  CliRun r{-1, ""};
  FILE* f = ::popen(cmd.c_str(), "r");
  if (!f) return r;
  char buf[512];
  while (size_t n = std::fread(buf, 1, sizeof buf, f)) r.out.append(buf, n);
  const int st = ::pclose(f);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

TEST_F(ManualRequest, CommandLine) {
  if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexcli")) GTEST_SKIP() << "vexcli not built";
  const std::string ini = (std::filesystem::temp_directory_path() / "vex_cli_test.ini").string();
  std::ofstream(ini) << "[Ports1]\nLabeledEdit34=400\n";
  const std::string tcp = " --ini " + ini + " --tcp 127.0.0.1:" + std::to_string(s_->TcpPort());
  const struct {
    std::string args;
    int rc;
    std::string out;  // expected start of the output
  } cases[] = {
      {"identify" + tcp, 0, "Boot ID: 54.101, Model= Vex324-SX R3.E723.5K22, Boot= 101, Segment=64\n"},
      {"write" + tcp + " 15 0", 0, ""},
      {"write" + tcp + " 15 0x1234", 0, ""},
      {"write" + tcp + " 16 0x0102 3", 0, ""},
      {"read" + tcp + " 16 2", 0, "0x0102 0x0003\n"},
      {"echo" + tcp + " 4660", 0, "0x1234\n"},
      {"boot-state" + tcp, 0, "Boot State: 0, Application Running\n"},
      {"read" + tcp + " 0 124", 1, "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123].\n"},
      {"read" + tcp + " 16 --log", 0, "Socket Connecting\n"},
      {"read --ini " + ini + " --port /dev/vex-none 0", 1,
       "Error /dev/vex-none : Error accessing specified device"},
      {"read" + tcp + " --baud 1234 0", 1, "Baud '1234' is not one of"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun r = RunCli(c.args);
    EXPECT_EQ(r.rc, c.rc) << r.out;
    EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
  }
  EXPECT_EQ(Reg(16), 0x0102);
  std::filesystem::remove(ini);
}

// "detect" searches the ports it is given: one with --port, several with --ports.
TEST(CommandLineDetect, SearchesTheGivenPorts) {
  if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexcli")) GTEST_SKIP() << "vexcli not built";
  emu::ServerOptions o;
  o.serial = true;
  o.baud = 19200;
  emu::EmuServer s(emu::MakeDevice(emu::ModelFor("tord48")), o);
  s.Start();
  const int silent = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(silent, 0);
  ::grantpt(silent);
  ::unlockpt(silent);
  const std::string quiet = ::ptsname(silent);
  const std::string ini = (std::filesystem::temp_directory_path() / "vex_cli_detect.ini").string();
  std::ofstream(ini) << "[Ports1]\nLabeledEdit11=60\nLabeledEdit21=60\n";
  const std::string found = "Target Found...\nPort: " + s.PtyPath() + "\nBaud: 19200 8n1\nBoot ID: 6E.";
  const struct {
    std::string args;
    int rc;
    std::string out;  // expected start of the output
  } cases[] = {
      {"detect --ini " + ini + " --port " + s.PtyPath(), 0, found},
      {"detect --ini " + ini + " --ports " + quiet + "," + s.PtyPath(), 0, found},
      {"detect --ini " + ini + " --port " + quiet, 1, "Unable to find target"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun r = RunCli(c.args);
    EXPECT_EQ(r.rc, c.rc) << r.out;
    EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
    if (c.rc == 0) {
      EXPECT_NE(r.out.find("\nPage: Tord48\n"), std::string::npos) << r.out;
    }
  }
  ::close(silent);
  std::filesystem::remove(ini);
}

}  // namespace
}  // namespace vex
