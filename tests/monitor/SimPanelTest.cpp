// The simulator screens' shared mechanics against the simulated devices: blink phases at
// fixed clock times, the DX edge, the first generation's lamp test, a failing poll, another
// family, the held TEST key, "Sync Time", "Erase Events", the third output and the events.
#include <gtest/gtest.h>

#include <algorithm>

#include "comm/Event.h"
#include "config/IsaMaps.h"
#include "tests/monitor/SimRig.h"

namespace vex::simtest {
namespace {

TVexSim& Sim(SimRig& r, const std::string& name) {
  for (TVexSim* s : r.in->Simulators())
    if (s->Name == name) return *s;
  throw Exception("no " + name);
}

size_t Count(const std::deque<std::string>& lines, const std::string& part) {
  return static_cast<size_t>(std::count_if(
      lines.begin(), lines.end(), [&](const std::string& l) { return l.find(part) != std::string::npos; }));
}

// ---- blink phases ------------------------------------------------------------------

struct BlinkStep {
  int ms;  // poll time after the first poll
  bool p4, p2, p1;
};

TEST(SimBlink, PhasesStepEvery250msWhenPollsHappen) {
  // the first poll steps all three on; each later step halves down the chain
  const BlinkStep steps[] = {
      {0, true, true, true},       {100, true, true, true},    {251, false, true, true},
      {400, false, true, true},    {502, true, false, true},   {753, false, false, true},
      {1004, true, true, false},   {1255, false, true, false}, {1506, true, false, false},
      {1757, false, false, false}, {2008, true, true, true},   {5000, false, true, true}};
  MapSettingsStore store;
  NoDesktop desktop;
  TInstances in(TStartInfo{"/tmp/vexsim-blink/vexsim", false}, store, desktop, "/tmp/vexsim-blink.ini");
  TVexSim& s = in.Vex324sim1;
  const TDateTime t0 = EncodeDateTime(2026, 12, 11, 9, 0, 0, 0);
  for (const BlinkStep& b : steps) {
    SCOPED_TRACE(b.ms);
    s.Blink(t0 + b.ms / 86400000.0);
    EXPECT_EQ(s.Tim4Hz, b.p4);
    EXPECT_EQ(s.Tim2Hz, b.p2);
    EXPECT_EQ(s.Tim1Hz, b.p1);
  }
}

TEST(SimBlink, RestartPutsAllPhasesOnFor250ms) {
  MapSettingsStore store;
  NoDesktop desktop;
  TInstances in(TStartInfo{"/tmp/vexsim-blink/vexsim", false}, store, desktop, "/tmp/vexsim-blink.ini");
  TVexSim& s = in.Vex216sim1;
  const TDateTime t0 = EncodeDateTime(2026, 12, 11, 9, 0, 0, 0);
  s.Blink(t0);
  s.Blink(t0 + 300 / 86400000.0);  // 4 Hz off
  ASSERT_FALSE(s.Tim4Hz);
  s.Blink(t0 + 400 / 86400000.0, true);
  EXPECT_TRUE(s.Tim4Hz && s.Tim2Hz && s.Tim1Hz);
  s.Blink(t0 + 640 / 86400000.0);  // within the new 250 ms: unchanged
  EXPECT_TRUE(s.Tim4Hz && s.Tim2Hz && s.Tim1Hz);
  s.Blink(t0 + 651 / 86400000.0);
  EXPECT_FALSE(s.Tim4Hz);
}

// ---- time line -------------------------------------------------------------------

struct TimeLineCase {
  const char* name;
  int diffMs;  // device minus PC
  TColor colour;
  const char* sign;
};

class SimTimeLine : public ::testing::TestWithParam<TimeLineCase> {};

TEST_P(SimTimeLine, TextAndColourByTheDifference) {
  const TimeLineCase& c = GetParam();
  MapSettingsStore store;
  NoDesktop desktop;
  TInstances in(TStartInfo{"/tmp/vexsim-tl/vexsim", false}, store, desktop, "/tmp/vexsim-tl.ini");
  TVexSim& s = in.Vex932sim1;
  const TDateTime now = EncodeDateTime(2026, 12, 11, 10, 0, 0, 0);
  s.TimElp = EncodeDateTime(2026, 12, 11, 9, 58, 30, 250);
  const double dev = now + c.diffMs / 86400000.0 - cBase2000;
  const auto dat = static_cast<uint16_t>(dev);
  const auto tim = static_cast<uint32_t>(std::llround((dev - dat) * 86400000.0));
  s.TimeElapsed(dat, tim, now);
  EXPECT_EQ(s.TimeLineColor, c.colour);
  const std::string diff = FormatDateTime("hh:nn:ss.zzz", std::abs(c.diffMs) / 86400000.0);
  EXPECT_EQ(s.TimeLine, "Read=" + FormatDateTime("dd/mm/yy hh:nn:ss.zzz", cBase2000 + dev) +
                            "  Elapsed=00:01:29.750  Difference=" + diff + "  [" + c.sign + "]");
}

INSTANTIATE_TEST_SUITE_P(Differences, SimTimeLine,
                         ::testing::Values(TimeLineCase{"Ahead40ms", 40, clTimeGood, "+++"},
                                           TimeLineCase{"Behind99ms", -99, clTimeGood, "---"},
                                           TimeLineCase{"Ahead100ms", 100, clBtnFace, "+++"},
                                           TimeLineCase{"Behind499ms", -499, clBtnFace, "---"},
                                           TimeLineCase{"Ahead500ms", 500, clTimeBad, "+++"},
                                           TimeLineCase{"Behind2h", -7200000, clTimeBad, "---"}),
                         [](const auto& i) { return std::string(i.param.name); });

// ---- against the device ---------------------------------------------------------------

TEST(SimLive, RisingDxEdgeRestartsThePhasesOn216) {
  SimRig r("vex216", 20);
  TVexSim& s = r.in->Vex216sim1;
  s.Show();
  s.StartScan();
  ASSERT_EQ(r.in->Ports1.AppSof, 20);
  s.DoSimul();
  r.clock.AddMs(300);
  s.DoSimul();  // 4 Hz phase off
  ASSERT_FALSE(s.Tim4Hz);
  ASSERT_FALSE(s.Sta[3] & cVirModFlag);
  s.VirtualDx = true;
  s.LabelX01Click(3);  // forced input 3: the device enters DX mode
  r.clock.AddMs(10);
  s.DoSimul();
  EXPECT_TRUE(s.Sta[3] & cVirModFlag);
  EXPECT_TRUE(s.Tim4Hz && s.Tim2Hz && s.Tim1Hz);
  EXPECT_EQ(s.Fixed.DxMode, clOrange);
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(3)[0] == 'I'; })) << s.States(3);
  // the mode stays: no new edge, the phases step on
  r.clock.AddMs(300);
  s.DoSimul();
  EXPECT_FALSE(s.Tim4Hz);
}

TEST(SimLive, LampTestPendingLightsEveryWindowOnTheFirstGeneration) {
  SimRig r("vex215");
  TVexSim& s = r.in->Vex215sim1;
  s.Show();
  s.StartScan();
  r.Emu("set 4");
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.Sta[4] == 0x0008; }));
  s.Button3MouseDown();
  ASSERT_TRUE(r.PollUntil(s, [&] { return (s.Sta[3] & cTstPnd) != 0; }));
  for (const TWindowLamps& w : s.Panel) EXPECT_EQ(w.Lamp.Color, clRed) << "window " << w.Number;
  EXPECT_EQ(s.Panel[0].Ind.size(), 3u);  // the first generation shows I, A and H only
  s.Button3MouseUp();
  ASSERT_TRUE(r.PollUntil(s, [&] { return (s.Sta[3] & cTstPnd) == 0; }));
  EXPECT_EQ(s.Panel[0].Lamp.Color, clBtnFace);
}

TEST(SimLive, FailingPollStopsTheScanAndKeepsTheLamps) {
  SimRig r("vex324");
  TVexSim& s = r.in->Vex324sim1;
  s.Show();
  s.StartScan();
  r.Emu("set 5");
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.ColourIndex(5) != 0; }));
  const TColor lit = s.Panel[4].Lamp.Color;
  r.Emu("fault noreply");
  s.AppIdle();  // the poll fails: the application handler closes the link
  EXPECT_FALSE(r.in->Ports1.ConnectPortChecked());
  EXPECT_FALSE(r.in->Ports1.Text(TConsoleText::LastError).empty());
  s.AppIdle();  // the gate sees the closed link
  EXPECT_FALSE(s.Scanning());
  EXPECT_EQ(s.Panel[4].Lamp.Color, lit);
}

TEST(SimLive, AnotherFamilyClosesTheScreen) {
  SimRig r("vex324");
  TVexSim& mine = r.in->Vex324sim1;
  TVexSim& other = r.in->Vex936sim1;
  mine.Show();
  mine.StartScan();
  other.Show();
  other.CheckBox1.Checked = true;
  r.in->Main1.ApplicationEvents1Idle();
  EXPECT_FALSE(other.Visible);
  EXPECT_FALSE(other.Scanning());
  EXPECT_TRUE(mine.Visible);
  EXPECT_TRUE(mine.Scanning());
}

TEST(SimLive, NothingIdentifiedLeavesTheScreenIdle) {
  SimRig r("vex324");
  TVexSim& s = r.in->Vex324sim1;
  s.Show();
  s.CheckBox1.Checked = true;
  s.AppIdle();
  EXPECT_TRUE(s.Visible);
  EXPECT_EQ(s.Polls, 0u);
}

TEST(SimLive, HeldTestKeyIsSentAgainEveryPoll) {
  SimRig r("vex324");
  TVexSim& s = r.in->Vex324sim1;
  s.Show();
  s.StartScan();
  r.in->Ports1.CheckBox4 = true;  // every frame in the log
  const std::string testKey = "10 00 0F 00 01 02 00 83";
  const size_t before = Count(r.in->Ports1.LogLines, testKey);
  s.Button3MouseDown();
  for (int i = 0; i < 4; ++i) s.DoSimul();
  EXPECT_EQ(Count(r.in->Ports1.LogLines, testKey), before + 5);  // the press and four polls
  s.Button3MouseUp();
  s.DoSimul();
  EXPECT_EQ(Count(r.in->Ports1.LogLines, testKey), before + 5);
  EXPECT_EQ(Count(r.in->Ports1.LogLines, "10 00 0F 00 01 02 00 85"), 1u);
}

struct SyncCase {
  const char* model;
  const char* sim;
};

class SimSyncTime : public ::testing::TestWithParam<SyncCase> {};

TEST_P(SimSyncTime, WritesMillisecondsAndDays) {
  SimRig r(GetParam().model);
  TVexSim& s = Sim(r, GetParam().sim);
  s.Show();
  s.StartScan();
  r.clock.t = EncodeDateTime(2026, 3, 7, 13, 45, 10, 123);
  s.Button99Click();
  EXPECT_EQ(s.TimElp, r.clock.t);
  uint16_t w[3];
  r.in->Ports1.ModReadMulti(48, 3, w, true);
  const uint32_t tim = w[0] | static_cast<uint32_t>(w[1]) << 16;
  const uint32_t want = ((13 * 60 + 45) * 60 + 10) * 1000 + 124;  // after the clock tick
  EXPECT_GE(tim, want);
  EXPECT_LT(tim, want + 2000);  // the device clock runs on from the setting
  EXPECT_EQ(w[2], static_cast<uint16_t>(EncodeDateTime(2026, 3, 7) - cBase2000));
}

INSTANTIATE_TEST_SUITE_P(Models, SimSyncTime,
                         ::testing::Values(SyncCase{"vex324", "Vex324sim1"}, SyncCase{"vex924", "Vex924sim1"},
                                           SyncCase{"vex936", "Vex936sim1"}),
                         [](const auto& i) { return std::string(i.param.model); });

TEST(SimLive, EraseEventsAsksFirstAndErasesOnlyOnOk) {
  SimRig r("vex932");
  TVexSim& s = r.in->Vex932sim1;
  s.Show();
  s.StartScan();
  r.in->Event1.Visible = true;
  TFixedPrompts no(false), yes(true);
  s.Prompts = &no;
  s.Button98Click();
  ASSERT_EQ(no.Asked, std::vector<std::string>{cEraseQuestion});
  for (int i = 0; i < 5; ++i) s.DoSimul();
  EXPECT_EQ(Count(r.in->Event1.Lines(), "ERASELOG"), 0u);
  s.Prompts = &yes;
  s.Button98Click();
  EXPECT_TRUE(r.PollUntil(s, [&] { return Count(r.in->Event1.Lines(), "ERASELOG") == 1; }));
}

TEST(SimLive, EventsOfTheDeviceReachTheEventWindow) {
  SimRig r("vex936");
  TVexSim& s = r.in->Vex936sim1;
  s.Show();
  s.StartScan();
  r.in->Event1.Visible = true;
  r.Emu("set 36");
  EXPECT_TRUE(r.PollUntil(s, [&] { return Count(r.in->Event1.Lines(), "ALARM Channel=36") == 1; }));
}

TEST(SimLive, ThirdOutputAndDxModeLamps) {
  SimRig r("vex924");
  TVexSim& s = r.in->Vex924sim1;
  s.Show();
  s.StartScan();
  r.Emu("output3 on");
  r.Emu("dx on");
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.Fixed.Third == clSkyBlue && s.Fixed.DxMode == clOrange; }));
  r.Emu("output3 off");
  r.Emu("dx off");
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.Fixed.Third == clBtnFace && s.Fixed.DxMode == clBtnFace; }));
}

TEST(SimLive, WindowPressAcknowledgesOnlyThatWindow) {
  SimRig r("vex324");
  TVexSim& s = r.in->Vex324sim1;
  s.Show();
  s.StartScan();
  r.Emu("set 1");
  r.Emu("set 2");
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.States(1)[1] == 'A' && s.States(2)[1] == 'A'; }));
  s.LabelX01Click(2);
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(2)[1] == '.'; }));
  EXPECT_EQ(s.States(1)[1], 'A');
}

TEST(SimLive, DxModeCoilsForceAndActivateOn9xx) {
  SimRig r("vex932");
  TVexSim& s = r.in->Vex932sim1;
  s.Show();
  s.StartScan();
  s.DxMode = true;
  s.DoSimul();
  s.LabelX01Click(20);  // virtual state of input 20 on
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(20)[0] == 'I'; })) << s.States(20);
  EXPECT_EQ(s.Fixed.DxMode, clOrange);
  s.LabelX01Click(20);  // and off again
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(20)[0] == '.'; })) << s.States(20);
  s.LabelA01Click(7);  // activation: a momentary alarm
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(7)[1] == 'A'; })) << s.States(7);
}

TEST(SimLive, DxBrixRecordForcesTheThirdGroupOn936) {
  SimRig r("vex936");
  TVexSim& s = r.in->Vex936sim1;
  s.Show();
  s.StartScan();
  s.DxBrix = true;
  s.LabelX01Click(35);
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(35)[0] == 'I'; })) << s.States(35);
  EXPECT_EQ(s.DxRem[2], 0x0004);
}

}  // namespace
}  // namespace vex::simtest
