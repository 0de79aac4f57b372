// The rack module screens against the simulated modules: the 48-input module polled for its
// status or served by its sequence stream, the I/O module's lamps, slot fields, boxes, ramps and
// commands, the held lamp test, and the scan and closing rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <chrono>
#include <functional>
#include <ostream>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "monitor/Vex733sim.h"
#include "monitor/Vex748sim.h"
#include "tests/monitor/SimRig.h"

namespace vex::simtest {
namespace {

// Idle passes of the screen until `ok` holds (the device runs on its own clock); about 3 s at most.
bool PassUntil(TRackSim& s, const std::function<bool()>& ok) {
  for (int i = 0; i < 300; ++i) {
    s.AppIdle();
    if (ok()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

void Passes(TRackSim& s, int n) {
  for (int i = 0; i < n; ++i) {
    s.AppIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

// A rig with the screen scanning the module.
struct RackRig : SimRig {
  RackRig(const std::string& model, int edition, TRackSim& (*pick)(TInstances&)) : SimRig(model, edition) {
    sim = &pick(*in);
    sim->Clock = &clock;
    sim->Show();
    sim->StartScan();
    EXPECT_TRUE(sim->Scanning());
  }
  // Waits until the module itself reports input n on (its detection time has passed).
  void InputSeen(int n) {
    const int reg = 52 + (n - 1) / 16;
    bool seen = false;
    for (int i = 0; i < 300 && !seen; ++i) {
      seen = in->Ports1.ModRead(reg, false) >> ((n - 1) % 16) & 1;
      if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_TRUE(seen) << "input " << n;
  }
  std::vector<int> LitInputs() const {
    std::vector<int> v;
    for (size_t i = 0; i < sim->Inputs.size(); ++i)
      if (sim->Inputs[i].Color == clLampRed) v.push_back(static_cast<int>(i) + 1);
    return v;
  }
  // The sequence numbers of the event window's lines, in order.
  std::vector<int> EventSeqs() const {
    std::vector<int> v;
    static const std::regex seq(" Seq=(\\d+) ");
    for (const std::string& l : in->Event1.Lines()) {
      std::smatch m;
      if (std::regex_search(l, m, seq)) v.push_back(std::stoi(m[1]));
    }
    return v;
  }
  TRackSim* sim = nullptr;
};

TRackSim& Pick748(TInstances& in) { return in.Vex748sim1; }
TRackSim& Pick733(TInstances& in) { return in.Vex733sim1; }

TVex748sim1& S748(RackRig& r) { return static_cast<TVex748sim1&>(*r.sim); }
TVex733sim1& S733(RackRig& r) { return static_cast<TVex733sim1&>(*r.sim); }

// ---- the 48-input module ----

TEST(Vex748Sim, StatusPollOfEarlyEditionsShowsInputsAndEvents) {
  RackRig r("tord48", 3, Pick748);
  EXPECT_EQ(S748(r).PollMessage(), WM_POLL);
  r.Emu("fault exception code=4 fn=20");  // the stream is not used by this edition
  r.in->Event1.Visible = true;
  for (int n : {1, 17, 48}) r.Emu("set " + std::to_string(n));
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.LitInputs() == std::vector<int>{1, 17, 48}; }));
  EXPECT_EQ(r.sim->Status.Color, clLampGreen) << "configuration good";
  EXPECT_TRUE(r.sim->Scanning());
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.in->Event1.Lines().size() >= 4; }));
  const auto& lines = r.in->Event1.Lines();
  EXPECT_NE(lines[0].find(" Seq=1 POWER"), std::string::npos) << lines[0];
  std::string all;
  for (const auto& l : lines) all += l + "\n";
  for (const char* ch : {"SET Channel=1\n", "SET Channel=17\n", "SET Channel=48\n"})
    EXPECT_NE(all.find(ch), std::string::npos) << ch << " in\n" << all;
  EXPECT_EQ(r.sim->TimeLine.rfind("Read=", 0), 0u) << r.sim->TimeLine;
  EXPECT_NE(r.sim->TimeLine.find("  Elapsed=00:00:"), std::string::npos) << "counted from the scan's start";
}

TEST(Vex748Sim, SekansEditionIsNeverStatusPolled) {
  RackRig r("tord48", 5, Pick748);
  EXPECT_EQ(S748(r).PollMessage(), WM_SEKANS);
  r.in->Event1.Visible = true;
  r.Emu("set 5");
  r.InputSeen(5);
  r.Emu("fault noreply fn=3");  // a status poll, or any other register read, would fail now
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.LitInputs() == std::vector<int>{5}; }));
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.EventSeqs() == std::vector<int>{1, 2}; }));
  EXPECT_EQ(S748(r).Seq, 2u);
  Passes(*r.sim, 10);
  EXPECT_EQ(r.EventSeqs(), (std::vector<int>{1, 2})) << "each record once";
  EXPECT_TRUE(r.sim->Scanning());
  EXPECT_TRUE(r.in->Ports1.Text(TConsoleText::LastError).empty())
      << r.in->Ports1.Text(TConsoleText::LastError);
  EXPECT_EQ(r.sim->TimeLine.rfind("Read=", 0), 0u);
}

struct CutCase {
  const char* name;
  const char* cut;  // bytes a stream reply carries at most
  bool status;      // the status part reaches the lamps and the time line
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

const CutCase kCuts[] = {
    {"NoBytes", "0", false},
    {"HalfTheStatus", "10", false},
    {"OneByteShortOfTheStatus", "15", false},
    {"StatusPartOnly", "16", true},
    {"StatusAndAShortRecord", "33", true},
};

class Vex748Cut : public ::testing::TestWithParam<CutCase> {};

TEST_P(Vex748Cut, ShortRepliesShowNoRecord) {
  const CutCase& c = GetParam();
  RackRig r("tord48", 5, Pick748);
  r.Emu(std::string("stream ") + c.cut);
  r.in->Event1.Visible = true;
  r.Emu("set 7");
  r.InputSeen(7);
  Passes(*r.sim, 10);
  EXPECT_EQ(r.LitInputs(), c.status ? std::vector<int>{7} : std::vector<int>{});
  EXPECT_EQ(r.sim->TimeLine.empty(), !c.status);
  EXPECT_TRUE(r.in->Event1.Lines().empty()) << "no whole record";
  EXPECT_EQ(S748(r).Seq, 0u);
  EXPECT_TRUE(r.sim->Scanning());
  EXPECT_GE(r.sim->Polls, 10u);
}

INSTANTIATE_TEST_SUITE_P(Replies, Vex748Cut, ::testing::ValuesIn(kCuts),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Vex748Sim, ShortRecordEndsTheWalkAndComesNextTime) {
  RackRig r("tord48", 5, Pick748);
  r.Emu("stream 51");  // the status part, one record and 17 bytes of the next
  r.in->Event1.Visible = true;
  for (int n = 1; n <= 3; ++n) {
    r.Emu("set " + std::to_string(n));
    r.InputSeen(n);
  }
  // power-up and three SET events: one record per poll, each shown once, in order
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.EventSeqs().size() >= 4; }));
  Passes(*r.sim, 5);
  EXPECT_EQ(r.EventSeqs(), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(S748(r).Seq, 4u);
}

TEST(Vex748Sim, RecordsWaitWhileTheEventWindowIsHidden) {
  RackRig r("tord48", 5, Pick748);
  r.Emu("set 2");
  r.InputSeen(2);
  Passes(*r.sim, 5);
  EXPECT_EQ(S748(r).Seq, 0u) << "records are walked only for the event window";
  EXPECT_EQ(r.LitInputs(), std::vector<int>{2});
  r.in->Event1.Visible = true;
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.EventSeqs() == std::vector<int>{1, 2}; }));
}

// ---- the I/O module ----

struct SlotCase {
  const char* name;
  std::vector<std::string> bench;
  std::array<const char*, 3> texts;
};

void PrintTo(const SlotCase& c, std::ostream* os) { *os << c.name; }

const SlotCase kSlotCases[] = {
    {"AsDelivered", {}, {"$4C, Relay-8x5A", "$26, SSR-4x6A", "$83, Relay-8x8A"}},
    {"EmptyAndInputCard", {"slot 1 0", "slot 2 $15"}, {"$00, Empty", "$15, Input-16x", "$83, Relay-8x8A"}},
    {"Unlisted", {"slot 3 $99", "slot 1 $83"}, {"$83, Relay-8x8A", "$26, SSR-4x6A", "$99, Undef"}},
};

class Vex733Slots : public ::testing::TestWithParam<SlotCase> {};

TEST_P(Vex733Slots, SlotFieldsShowTypeAndName) {
  const SlotCase& c = GetParam();
  RackRig r("vald3", -1, Pick733);
  for (const std::string& b : c.bench) r.Emu(b);
  TVex733sim1& s = S733(r);
  ASSERT_TRUE(PassUntil(s, [&] { return s.Slots[0] == c.texts[0] && s.Slots[2] == c.texts[2]; }))
      << s.Slots[0] << " | " << s.Slots[1] << " | " << s.Slots[2];
  for (int k = 0; k < 3; ++k) EXPECT_EQ(s.Slots[static_cast<size_t>(k)], c.texts[static_cast<size_t>(k)]);
}

INSTANTIATE_TEST_SUITE_P(Bench, Vex733Slots, ::testing::ValuesIn(kSlotCases),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Vex733Sim, LampsBarAndIrigB) {
  RackRig r("vald3", -1, Pick733);
  TVex733sim1& s = S733(r);
  r.Emu("irig on");
  r.Emu("outfault 2 on");
  r.Emu("set 1");
  r.Emu("set 40");
  ASSERT_TRUE(r.in->Ports1.ModRead(64, false) == 0);
  r.in->Ports1.ModWrite(64, 0x0001, false);  // output 1 commanded elsewhere
  ASSERT_TRUE(PassUntil(s, [&] { return r.LitInputs() == std::vector<int>{1, 40}; }));
  EXPECT_EQ(s.Active, 2);
  EXPECT_EQ(s.IrigSync.Color, clLampYellow);
  EXPECT_EQ(s.IrigLock.Color, clLampYellow);
  EXPECT_EQ(s.Outputs[0].Color, clLampRed);
  EXPECT_EQ(s.Outputs[1].Color, clLampOff);
  EXPECT_EQ(s.Faults[1].Color, clLampRed) << "the failed output";
  EXPECT_EQ(s.Faults[0].Color, clLampOff);
  EXPECT_TRUE(s.Boxes.Out[0].Checked) << "the box follows the command word";
  EXPECT_FALSE(s.Boxes.CmdFlg) << "and that is no click";
  r.Emu("irig off");
  ASSERT_TRUE(PassUntil(s, [&] { return s.IrigSync.Color == clLampOff; }));
  EXPECT_EQ(s.IrigLock.Color, clLampOff);
}

TEST(Vex733Sim, TwoClicksBetweenPollsSendOnlyTheSecond) {
  RackRig r("vald3", -1, Pick733);
  TVex733sim1& s = S733(r);
  s.AppIdle();
  s.OutClick(0, true);
  s.OutClick(3, true);
  EXPECT_EQ(s.Boxes.Override[0], TVex733Boxes::TTri::Grayed);
  s.AppIdle();
  EXPECT_EQ(r.in->Ports1.ModRead(64, false), 0x0008);
  s.AppIdle();
  EXPECT_FALSE(s.Boxes.Out[0].Checked) << "the first click was not sent: its box follows the device";
  EXPECT_TRUE(s.Boxes.Out[3].Checked);
  ASSERT_TRUE(PassUntil(s, [&] { return s.Outputs[3].Color == clLampRed; }));

  s.OutClick(3, false);  // read-modify-write keeps the other bits
  r.in->Ports1.ModWrite(64, 0x0018, false);
  s.AppIdle();
  EXPECT_EQ(r.in->Ports1.ModRead(64, false), 0x0010);
  s.OutClick(8 + 2, true);  // output 19: second slot, bit 2
  s.AppIdle();
  EXPECT_EQ(r.in->Ports1.ModRead(65, false), 0x0004);
}

TEST(Vex733Sim, PulseBoxesWriteOnlyTheirBit) {
  RackRig r("vald3", -1, Pick733);
  TVex733sim1& s = S733(r);
  r.in->Ports1.ModWrite(15, 0, false);  // unlocked for the configuration write
  r.in->Ports1.ModWrite(15, 0x1234, false);
  r.in->Ports1.ModWrite(21, 5000, false);  // slot 1 pulses last 5 s
  s.PulseClick(0, true);
  s.AppIdle();
  s.PulseClick(1, true);
  s.AppIdle();
  EXPECT_EQ(r.in->Ports1.ModRead(70, false), 0x0003) << "the first pulse still runs";
  s.PulseClick(0, false);  // writes 0: the pulses run on
  s.AppIdle();
  EXPECT_EQ(r.in->Ports1.ModRead(70, false), 0x0003);
  s.AppIdle();
  EXPECT_TRUE(s.Boxes.Pul[0].Checked) << "the box follows the running pulse";
  EXPECT_TRUE(s.Boxes.Pul[1].Checked);
  EXPECT_EQ(s.Outputs[0].Color, clLampRed);
}

TEST(Vex733Sim, OverrideRampTicksOneBoxPerPass) {
  RackRig r("vald3", -1, Pick733);
  TVex733sim1& s = S733(r);
  s.AppIdle();
  s.OverrideClick(0, TVex733Boxes::TTri::Checked);
  auto bits = [&] { return std::popcount(static_cast<unsigned>(s.Sta[Vex733Words::cCmd] & 0xFF)); };
  int before = bits();
  int passes = 0;
  while (bits() < 8 && passes < 100) {
    s.AppIdle();
    ++passes;
    const int now = bits();
    EXPECT_LE(now - before, 1) << "pass " << passes;
    before = now;
  }
  EXPECT_EQ(r.in->Ports1.ModRead(64, false), 0x00FF);
  EXPECT_EQ(s.Sta[Vex733Words::cCmd + 1], 0) << "the other groups' overrides stay grey";
  s.OverrideClick(0, TVex733Boxes::TTri::Unchecked);
  ASSERT_TRUE(PassUntil(s, [&] { return s.Sta[Vex733Words::cCmd] == 0; }));
  s.OverrideClick(0, TVex733Boxes::TTri::Checked);
  s.AppIdle();
  s.OutClick(5, false);  // entering a box of the group stops its ramp
  Passes(s, 10);
  EXPECT_EQ(s.Boxes.Override[0], TVex733Boxes::TTri::Grayed);
  EXPECT_LE(std::popcount(static_cast<unsigned>(r.in->Ports1.ModRead(64, false))), 2);
}

TEST(Vex733Sim, HeldLampTestLightsEveryInput) {
  RackRig r("vald3", -1, Pick733);
  TVex733sim1& s = S733(r);
  s.LampTestDown();
  ASSERT_TRUE(PassUntil(s, [&] { return (s.Sta[3] & cTstPnd) && s.Active == 48; }));
  EXPECT_EQ(r.LitInputs().size(), 48u);
  s.LampTestUp();
  ASSERT_TRUE(PassUntil(s, [&] { return !(s.Sta[3] & cTstPnd) && s.Active == 0; }));
}

// ---- scanning and closing ----

TEST(RackSim, UntickingClosesTheLink) {
  for (TRackSim& (*pick)(TInstances&) : {Pick748, Pick733}) {
    RackRig r(pick == Pick748 ? "tord48" : "vald3", -1, pick);
    ASSERT_TRUE(PassUntil(
        *r.sim, [&] { return r.sim->Power.Color != clLampOff || r.sim->Status.Color != clLampOff; }));
    r.sim->CheckBox1.Checked = false;
    r.sim->CheckBox1Click();
    EXPECT_FALSE(r.in->Ports1.ConnectPortChecked()) << r.sim->Name;
    EXPECT_EQ(r.sim->Status.Color, clLampOff);
    EXPECT_EQ(r.sim->Power.Color, clLampOff);
    EXPECT_TRUE(r.sim->Visible);
  }
}

TEST(RackSim, ClosingUnticksAndClosesTheLink) {
  RackRig r("vald3", -1, Pick733);
  r.Emu("set 3");
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.LitInputs() == std::vector<int>{3}; }));
  r.sim->FormClose();
  EXPECT_FALSE(r.sim->Scanning());
  EXPECT_FALSE(r.sim->Visible);
  EXPECT_FALSE(r.in->Ports1.ConnectPortChecked());
  EXPECT_TRUE(r.LitInputs().empty()) << "the lamps are cleared";
}

TEST(RackSim, AnotherFamilyClosesTheScreen) {
  SimRig r("tord48", 3);
  TVex733sim1& s = r.in->Vex733sim1;
  s.Clock = &r.clock;
  s.Show();
  s.AppIdle();
  EXPECT_TRUE(s.Visible) << "nothing identified yet: the screen waits";
  r.in->Ports1.Button1Click();  // "Discovery" finds the 48-input module
  s.AppIdle();
  EXPECT_FALSE(s.Visible);
  TVex748sim1& m = r.in->Vex748sim1;
  m.Clock = &r.clock;
  m.Show();
  m.AppIdle();
  EXPECT_TRUE(m.Visible);
}

TEST(RackSim, FailedPollStopsScanningAndKeepsTheLamps) {
  RackRig r("vald3", -1, Pick733);
  r.Emu("set 9");
  ASSERT_TRUE(PassUntil(*r.sim, [&] { return r.LitInputs() == std::vector<int>{9}; }));
  r.Emu("fault noreply fn=3");
  r.sim->AppIdle();  // the poll fails: the application's handler closes the link
  EXPECT_FALSE(r.in->Ports1.ConnectPortChecked());
  EXPECT_FALSE(r.in->Ports1.Text(TConsoleText::LastError).empty());
  r.sim->AppIdle();  // the gate sees the closed link
  EXPECT_FALSE(r.sim->Scanning());
  EXPECT_EQ(r.LitInputs(), std::vector<int>{9});
}

TEST(RackSim, ShowEventsStartsTheScan) {
  SimRig r("vald3");
  TVex733sim1& s = r.in->Vex733sim1;
  s.Clock = &r.clock;
  s.Show();
  s.Button5.Click();
  EXPECT_TRUE(r.in->Event1.Visible);
  EXPECT_TRUE(s.Scanning());
  EXPECT_TRUE(r.in->Ports1.ConnectPortChecked());
  EXPECT_EQ(r.in->Ports1.BotMod, 0x63);
}

}  // namespace
}  // namespace vex::simtest
