// The configurator's map written to a simulated annunciator through the hub and read back.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "comm/Ports.h"
#include "config/IsaMaps.h"
#include "config/VexLink.h"
#include "emu/Device.h"
#include "emu/Server.h"

namespace vex {
namespace {

struct Bench {
  std::unique_ptr<emu::EmuServer> emu;
  TPorts1 hub;
  emu::ModelInfo info;
};

void Start(Bench& b, const std::string& key, int edition) {
  b.info = emu::ModelFor(key, -1, edition);
  auto dev = emu::MakeDevice(b.info);
  dev->SetBootWait(100);
  emu::ServerOptions o;
  o.tcpPort = 0;
  b.emu = std::make_unique<emu::EmuServer>(std::move(dev), o);
  b.emu->Start();
  b.hub.ActivePage = lpNetwork;
  b.hub.LabeledEdit30 = "127.0.0.1";
  b.hub.LabeledEdit31 = std::to_string(b.emu->TcpPort());
  b.hub.LabeledEdit32 = "1";
  b.hub.LabeledEdit33 = "5";
  b.hub.LabeledEdit34 = "300";
  b.hub.SetConnectPort(true);
}

struct Case {
  const char* key;
  TVexModel model;
  int edition;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.key << "_app" << c.edition; }

class SequenceLink : public ::testing::TestWithParam<Case> {};

TEST_P(SequenceLink, WriteStoreAndReadBack) {
  const Case& c = GetParam();
  Bench b;
  Start(b, c.key, c.edition);
  const int app = b.info.AppSof();
  ASSERT_EQ(app, c.edition);
  // the simulated device and the program agree on the record size of the variant
  ASSERT_EQ(b.info.seqBytes, LayoutOf(c.model, app).isaSize);

  TIsaMaps1 isa;
  SetupForModel(isa, c.model, app, nullptr, nullptr);
  isa.DefaultA();
  isa.SelectChannels({2});
  isa.ListChange(isAlm, ipColor, lcGreen);
  isa.ListChange(isRng, ipColor, 0);
  isa.EditChange(edRngTim, "30");
  const std::vector<uint16_t> words = ReadIsaWords(isa, c.model, app);

  UnlockConfig(b.hub, true);
  WriteSequence(b.hub, words, true);
  StoreEeprom(b.hub, true);
  EXPECT_EQ(b.hub.ModRead(b.info.stateReg, true) & 7, cTstSav);
  RestartDevice(b.hub, true);  // the stored record comes back after the restart
  std::this_thread::sleep_for(std::chrono::milliseconds(150));

  const std::vector<uint16_t> back = ReadSequence(b.hub, LayoutOf(c.model, app).isaSize, true);
  EXPECT_EQ(back, words);
  TIsaMaps1 other;
  SetupForModel(other, c.model, app, nullptr, nullptr);
  WriteIsaWords(other, c.model, app, back);
  EXPECT_EQ(other.ChnLines, isa.ChnLines);
  EXPECT_EQ(other.ChnLines[1].substr(0, 5), "02 = ");
  EXPECT_EQ(other.Eep.RngTim, 30);
}

INSTANTIATE_TEST_SUITE_P(Models, SequenceLink,
                         ::testing::Values(Case{"vex324", TVexModel::Vex324, 8},
                                           Case{"vex324", TVexModel::Vex324, 4},
                                           Case{"vex936", TVexModel::Vex936, 8},
                                           Case{"vex216", TVexModel::Vex216, 8}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace vex
