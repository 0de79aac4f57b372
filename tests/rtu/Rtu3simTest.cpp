// The RTU monitor against the simulated RTU: the fifteen-step poll, every field and its code
// tables, the poll gate, keys, held test outputs, system commands and "SetTime by PC".
#include <gtest/gtest.h>

#include "rtu/Rtu3sim.h"
#include "tests/rtu/RtuRig.h"

namespace vex {
namespace {

using namespace rtutest;

struct SimRig : Rig {
  explicit SimRig(Via via = Via::Tcp) : Rig(via) {
    sim.Dialogs = &dialogs;
    sim.CheckBox1.Checked = true;
    sim.CheckBox1.Click();  // "Start Scan": discovery
  }
  void Polls(int n) {
    for (int i = 0; i < n; ++i) sim.DoSimul();
  }
  FakeDialogs dialogs;
  TRtu3sim1 sim{ports, main};
};

TEST(Rtu3sim, FifteenPollsRefreshEveryFieldOnceAndTheSocketsAtTheEnd) {
  SimRig r;
  ASSERT_TRUE(r.sim.StartScan);
  ASSERT_EQ(r.ports.BotMod, cRtu3Fid);
  r.Control(
      "socket 2 state=102 remote=127.0.0.5 port=2404 trn=0x1A2B ident=9 operator=77 protocol=0x0104 "
      "count=123456 errors=7");
  r.Polls(14);
  EXPECT_EQ(r.sim.Seq, 14);
  EXPECT_EQ(r.sim.Field[fIpnAdr], "127.0.0.1");
  EXPECT_EQ(r.sim.Field[fGatWay], "0.0.0.0");
  EXPECT_EQ(r.sim.Field[fMskAdr], "255.0.0.0");
  EXPECT_EQ(r.sim.Field[fMacAdr], "02:00:A3:12:34:56");
  EXPECT_EQ(r.sim.Field[fSysSta], "153 - running");
  EXPECT_EQ(r.sim.Field[fCfgErr], "0 - ok");
  EXPECT_EQ(r.sim.Field[fWdtErr], "0 - ok c:0");
  EXPECT_EQ(r.sim.Field[fFilErs], "0 - ok");
  EXPECT_EQ(r.sim.Field[fIrgQlt], "0 - Best Lock");
  EXPECT_EQ(r.sim.Field[fSysTim].substr(0, 13), r.sim.Field[fIrgTim].substr(0, 13));
  EXPECT_EQ(r.sim.Field[fRtcTim].size(), 21u) << r.sim.Field[fRtcTim];  // yyyy/mm/dd - hh:nn:ss
  for (int row = 1; row <= cRtu3Sockets; ++row)
    EXPECT_EQ(r.sim.Sockets[row][1], "") << "not drawn before step 14";
  r.Polls(1);
  EXPECT_EQ(r.sim.Seq, 0);
  EXPECT_EQ(r.sim.Polls, 15);
  const std::string s2[9] = {"2 - 9", "102 - validated", "$1A2B", "$0104", "77", "127.0.0.5",
                             "2404",  "123456",          "7"};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(r.sim.Sockets[2][c], s2[c]) << c;
  EXPECT_EQ(r.sim.Sockets[1][1], "101 - connected");
  EXPECT_EQ(r.sim.Sockets[11][0], "11 - 0");
  EXPECT_EQ(r.sim.Sockets[11][1], "0 - unused");
  EXPECT_EQ(r.sim.Sockets[0][4], "Opera Id");
  // socket 1 counts a transaction per read: the second round shows more
  const std::string before = r.sim.Sockets[1][7];
  r.Polls(15);
  EXPECT_NE(r.sim.Sockets[1][7], before);
}

// Every state text through the device: a code set by the emulator's control, read by a poll.
struct CodeCase {
  uint16_t code;
  const char* text;
};
const CodeCase kStates[] = {
    {1, "undeclared function code"},
    {2, "register not present"},
    {3, "count mismatch"},
    {4, "device failure"},
    {10, "registry mapping fail"},
    {11, "registry odd located"},
    {20, "sram test fail"},
    {21, "sram inefficiently (odd) located"},
    {30, "nvram test fail"},
    {31, "nvram inefficiently (odd)located"},
    {40, "eeprom busy timeout"},
    {41, "eeprom chip range"},
    {42, "eeprom identification fail"},
    {43, "eeprom inefficiently (odd)located"},
    {50, "flash busy timeout"},
    {51, "flash chip range"},
    {52, "flash identification fail"},
    {60, "config header"},
    {61, "config security"},
    {62, "config service"},
    {63, "config hardware"},
    {64, "config pipe"},
    {65, "config group"},
    {66, "config modul"},
    {67, "config node"},
    {68, "config brix"},
    {69, "config inefficiently (odd) located"},
    {70, "file busy"},
    {71, "file header"},
    {72, "file version"},
    {73, "file checksum"},
    {74, "file identification"},
    {75, "file integrity"},
    {76, "file checksum"},
    {77, "file termination"},
    {78, "file vectors"},
    {80, "rtcc adress fail"},
    {81, "rtcc read fail"},
    {82, "rtcc write fail"},
    {83, "rtcc sign fail"},
    {84, "rtcc power fail"},
    {100, "socket invalid"},
    {101, "connected"},
    {102, "validated"},
    {103, "configuration"},
    {104, "event upload"},
    {105, "sid mismatch"},
    {106, "password fail"},
    {107, "timeout"},
    {108, "closed"},
    {109, "query size"},
    {110, "query purged"},
    {130, "file erase failed"},
    {131, "sfmem erased"},
    {132, "all files erased"},
    {133, "applic file erased"},
    {134, "config file erased"},
    {135, "encaps file erased"},
    {136, "nvram/events erased"},
    {150, "initial tests"},
    {151, "safe mode request"},
    {152, "stopped"},
    {153, "running"},
    {154, "initiating files"},
    {155, "jumping application"},
    {156, "initiating comms"},
    {157, "initiating network"},
    {158, "initiating config"},
    {159, "config upgraded"},
    {160, "application upgraded"},
    {161, "encaps upgraded"},
    {162, "watchdog occured"},
    {163, "running state display-1"},
    {164, "network restarted"},
    {200, "start of menu"},
    {201, "rtcc date/time"},
    {202, "system date/time"},
    {203, "irig-b date/time"},
    {204, "printer test"},
    {205, "led test"},
    {206, "lcd test"},
    {207, "horn output test"},
    {208, "bell output test"},
    {209, "fault output test"},
    {210, "restart device"},
    {211, "restart file system"},
    {212, "network ip"},
    {213, "network gateway"},
    {214, "network mask"},
    {215, "network mac-id"},
    {216, "end of menu"},
    {5, "Undef"},
    {99, "Undef"},
    {217, "Undef"},
    {65535, "Undef"},
};

TEST(Rtu3sim, EveryStateCodeTextInEveryStatusFieldAndSocket) {
  SimRig r;
  const struct {
    const char* word;
    TRtu3FieldId field;
  } fields[] = {{"SysSta", fSysSta}, {"CfgErr", fCfgErr}, {"SfmErr", fSfmErr},
                {"RamErr", fRamErr}, {"NvrErr", fNvrErr}, {"EepErr", fEepErr},
                {"RegErr", fRegErr}, {"RtcErr", fRtcErr}, {"PrnErr", fPrnErr}};
  for (const CodeCase& c : kStates) {
    SCOPED_TRACE(c.code);
    const std::string want = std::to_string(c.code) + " - " + c.text;
    std::string cmd = "errors";
    for (const auto& f : fields) cmd += std::string(" ") + f.word + "=" + std::to_string(c.code);
    ASSERT_EQ(r.Control(cmd + " WdtErr=" + std::to_string(c.code) + " WdtCnt=4"), "ok");
    ASSERT_EQ(r.Control("socket 11 state=" + std::to_string(c.code)), "ok");
    r.sim.Seq = 2;
    r.Polls(1);
    for (const auto& f : fields) EXPECT_EQ(r.sim.Field[f.field], want) << f.word;
    EXPECT_EQ(r.sim.Field[fWdtErr], want + " c:4");
    r.sim.Seq = 14;
    r.Polls(1);
    EXPECT_EQ(r.sim.Sockets[11][1], want);
  }
  // the erase and command status words
  r.ports.ModWrite(0x310, 0xEAF2, true);
  r.ports.ModWrite(0x311, 0xC022, true);
  r.sim.Seq = 3;
  r.Polls(1);
  EXPECT_EQ(r.sim.Field[fFilErs], "134 - config file erased");
  EXPECT_EQ(r.sim.Field[fEvnErs], "151 - safe mode request");
  // zero: the caller's text
  ASSERT_EQ(r.Control("errors clear"), "ok");
  ASSERT_EQ(r.Control("socket 11 state=0"), "ok");
  r.sim.Seq = 2;
  r.Polls(1);
  EXPECT_EQ(r.sim.Field[fCfgErr], "0 - ok");
  r.sim.Seq = 14;
  r.Polls(1);
  EXPECT_EQ(r.sim.Sockets[11][1], "0 - unused");
}

TEST(Rtu3sim, EveryIrigBQualityText) {
  SimRig r;
  const CodeCase cases[] = {
      {0, "Best Lock"},   {1, "Sync <1ns"},    {2, "Sync <10ns"},     {3, "Sync <100ns"}, {4, "Sync <1us"},
      {5, "Sync <10us"},  {6, "Sync <100us"},  {7, "Sync <1ms"},      {8, "Weak <10ms"},  {9, "Weak <100ms"},
      {10, "Weak <1sec"}, {11, "Weak <10sec"}, {12, "Undefined"},     {13, "Undefined"},  {14, "Undefined"},
      {15, "Failure"},    {16, "Comm Blind"},  {17, "Manual <Rtcc>"}, {18, "Undefined"},  {999, "Undefined"}};
  for (const CodeCase& c : cases) {
    SCOPED_TRACE(c.code);
    ASSERT_EQ(r.Control("irig " + std::to_string(c.code)), "ok");
    r.sim.Seq = 1;
    r.Polls(1);
    EXPECT_EQ(r.sim.Field[fIrgQlt], std::to_string(c.code) + " - " + c.text);
  }
}

TEST(Rtu3sim, ClockFieldsFromTheTimeBlock) {
  SimRig r;
  // 2026-03-04 05:06:07
  const uint32_t s = DateTimetoBase(EncodeDateTime(2026, 3, 4, 5, 6, 7));
  r.sim.Now = [] { return EncodeDateTime(2026, 3, 4, 5, 6, 7); };
  r.sim.SetTime.Click();
  EXPECT_TRUE(r.lines.Has("SetTime by PC: " + InttoBase(s)));
  r.sim.Seq = 1;
  r.Polls(1);
  EXPECT_EQ(r.sim.Field[fRtcTim].substr(0, 18), "2026/03/04 - 05:06");
  EXPECT_EQ(r.sim.Field[fSysTim].substr(0, 18), "2026/03/04 - 05:06");
  EXPECT_EQ(r.sim.Field[fSysTim].size(), 25u) << "milliseconds shown";
}

TEST(Rtu3sim, OutOfRangeStepRestartsAtZero) {
  SimRig r;
  r.sim.Seq = 15;
  r.Polls(1);
  EXPECT_EQ(r.sim.Seq, 0);
  r.Polls(1);
  EXPECT_EQ(r.sim.Seq, 1);
  EXPECT_EQ(r.sim.Field[fIpnAdr], "127.0.0.1");
}

TEST(Rtu3sim, KeysAndHeldTestOutputs) {
  SimRig r;
  const struct {
    TControl* key;
    uint16_t reg;
  } keys[] = {{&r.sim.Ack, 786}, {&r.sim.Reset, 787}, {&r.sim.HornOff, 788}, {&r.sim.HornOn, 789}};
  for (const auto& k : keys) {
    SCOPED_TRACE(k.key->Caption);
    k.key->Click();
    EXPECT_EQ(r.ports.ModRead(k.reg, false), 1);
  }
  // the device drops a test output 1000 ms after the last write: polls keep it on
  r.sim.TestBell.Click();
  EXPECT_TRUE(r.sim.TstOt2);
  for (int i = 0; i < 8; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    r.Polls(1);
  }
  EXPECT_EQ(r.ports.ModRead(791, false), 1000) << "still held after 1.6 s of polls";
  r.sim.TestBellUp.Click();
  EXPECT_FALSE(r.sim.TstOt2);
  EXPECT_EQ(r.ports.ModRead(791, false), 0);
  // a release writes 0 also when nothing polls
  r.sim.TestFault.Click();
  r.sim.CheckBox1.Checked = false;
  r.sim.CheckBox1.Click();  // scan off: the link closes
  EXPECT_FALSE(r.ports.ConnectPortChecked());
  EXPECT_EQ(r.sim.Field[fIpnAdr], "");
  r.sim.TestFaultUp.Click();
  EXPECT_EQ(r.ports.ModRead(792, false), 0);
}

TEST(Rtu3sim, ReleaseDuringABusyLinkIsReplayedAndStopsTheRefresh) {
  SimRig r;
  r.sim.TestHorn.Click();
  r.ports.ComBsy = true;  // a transaction of another window runs
  r.sim.TestHornUp.Click();
  EXPECT_FALSE(r.sim.TstOt1) << "no poll refreshes it any more";
  EXPECT_EQ(r.main.ComNxt, &r.sim.TestHornUp);
  r.ports.ComBsy = false;
  r.main.ApplicationEvents1Idle();
  EXPECT_EQ(r.ports.ModRead(790, false), 0);
}

TEST(Rtu3sim, SystemCommandsNeedConfirmation) {
  SimRig r;
  r.dialogs.confirm = false;
  r.sim.RestartNetwork.Click();
  EXPECT_EQ(r.ports.ModRead(0x311, false), 0) << "refused: nothing written";
  r.dialogs.confirm = true;
  const struct {
    TControl* button;
    uint16_t status;
  } cases[] = {{&r.sim.RestartNetwork, 164}, {&r.sim.SafeMode, 151}, {&r.sim.RestartPipes, 156}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button->Caption);
    c.button->Click();
    EXPECT_EQ(r.ports.ModRead(0x311, false), c.status);
  }
  EXPECT_EQ(r.dialogs.questions.size(), 4u);
  r.sim.Reboot.Click();
  std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
  EXPECT_EQ(r.Rtu().EvnErs(), 210) << "restart device";
}

TEST(Rtu3sim, PollGate) {
  SimRig r;
  int posted = 0;
  r.sim.PostPoll = [&] { ++posted; };
  r.sim.AppIdle();
  EXPECT_EQ(posted, 1);
  r.ports.SetConnectPort(false);
  r.sim.AppIdle();
  EXPECT_EQ(posted, 1);
  EXPECT_FALSE(r.sim.StartScan) << "link closed: Start Scan cleared";
  // another target identified: the screen closes
  bool hidden = false;
  r.sim.HideWindow = [&] { hidden = true; };
  r.ports.BotMod = 0x54;
  r.sim.AppIdle();
  EXPECT_TRUE(hidden);
  // a failing discovery leaves Start Scan cleared and raises
  r.ports.BotMod = 0;
  r.ports.LabeledEdit31 = "1";
  r.ports.LabeledEdit34 = "50";
  r.sim.CheckBox1.Checked = true;
  EXPECT_NE(MessageOf([&] { r.sim.CheckBox1.Click(); }), "(no error)");
  EXPECT_FALSE(r.sim.StartScan);
}

TEST(Rtu3sim, FifteenPollsOverTheSerialLine) {
  SimRig r(Via::Serial);
  r.Polls(15);
  EXPECT_EQ(r.sim.Seq, 0);
  EXPECT_EQ(r.sim.Field[fSysSta], "153 - running");
  EXPECT_EQ(r.sim.Sockets[1][1], "101 - connected");
}

}  // namespace
}  // namespace vex
