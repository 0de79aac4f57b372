// The clock stamp, the sample ring and the oscillator block of the 16- and 8-input simulators,
// and the analog inspector of the 16-input analog model, against the simulated devices.
#include <gtest/gtest.h>

#include <algorithm>

#include "comm/Event.h"
#include "monitor/SimSampling.h"
#include "tests/monitor/SimRig.h"

namespace vex::simtest {
namespace {

size_t Count(const std::deque<std::string>& lines, const std::string& part) {
  size_t n = 0;
  for (const auto& l : lines) n += l.find(part) != std::string::npos;
  return n;
}

struct SamplingRig : SimRig {
  explicit SamplingRig(int edition = 20, const char* model = "vex216") : SimRig(model, edition) {
    s.Show();
    s.StartScan();
    s.Sampling->SetTime = true;
    in->Event1.Visible = true;
  }
  TVexSim& s = std::string(emu->Dev().Info().key) == "vex308" ? in->Vex308sim1 : in->Vex216sim1;
};

TEST(SimSampling, SamplesBecomeOneEventPerBitAcrossTheStampWrap) {
  SamplingRig r;
  ASSERT_TRUE(r.s.Sampling->SetTimeEnabled);
  // a PC time 4 ms before the 14-bit stamp wraps (36012028 ms of day = 2197 * 16384 + 16380)
  r.clock.t = EncodeDateTime(2026, 12, 11, 10, 0, 12, 26);  // the poll and the stamp wait a tick each
  r.s.DoSimul();                                            // the stamp (after the clock tick)
  ASSERT_EQ(r.s.Sampling->TimEss, 16380);
  r.Emu("set 1");
  r.Emu("set 2");
  std::this_thread::sleep_for(std::chrono::milliseconds(80));  // detected, sampled after the wrap
  r.clock.AddMs(250);
  r.s.DoSimul();  // the ring
  const auto& lines = r.in->Event1.Lines();
  ASSERT_EQ(Count(lines, "SET Channel="), 2u) << r.in->Event1.Text();
  EXPECT_EQ(Count(lines, " Seq=1 SET Channel=1"), 1u) << r.in->Event1.Text();
  EXPECT_EQ(Count(lines, " Seq=2 SET Channel=2"), 1u) << r.in->Event1.Text();
  // the samples' times lie just after the stamp, not a wrap (16.384 s) away
  for (const auto& l : lines) EXPECT_EQ(l.rfind("11/12/26 10:00:12.", 0), 0u) << l;
  // the time line compares the stamp's time with the device's estimated time
  EXPECT_EQ(r.s.TimeLine.rfind("Read=11/12/26 10:00:12.028", 0), 0u) << r.s.TimeLine;
}

TEST(SimSampling, StampOfZeroIsSkippedAndTriedAgain) {
  SamplingRig r;
  r.clock.t = EncodeDateTime(2026, 12, 11, 10, 0, 12, 30);  // + two ticks = 36012032 ms = 2198 * 16384
  r.s.DoSimul();
  EXPECT_EQ(r.s.Sampling->TimEss, 0);
  EXPECT_EQ(r.s.Sampling->TimEtm, 0);
  r.s.DoSimul();                       // still due: written now
  EXPECT_EQ(r.s.Sampling->TimEss, 2);  // two ticks later
}

TEST(SimSampling, FailedRingReadIsAnEventNotAnError) {
  SamplingRig r;
  r.s.DoSimul();  // stamp
  r.Emu("fault noreply fn=3 times=1");
  r.clock.AddMs(250);
  r.s.DoSimul();
  EXPECT_EQ(Count(r.in->Event1.Lines(), " Seq=1 QUERY FAIL"), 1u) << r.in->Event1.Text();
  EXPECT_TRUE(r.s.Scanning());
}

TEST(SimSampling, DeviceClockOffByMoreThanASecondIsReported) {
  SamplingRig r;
  r.s.DoSimul();  // stamp
  r.clock.AddMs(250);
  r.s.DoSimul();  // ring: in step
  EXPECT_LT(std::abs(r.s.Sampling->DriftMs), 500);
  EXPECT_TRUE(r.s.Sampling->DriftReport.empty());
  r.clock.AddMs(5000);  // the PC clock moves on 5 s the device did not see
  r.s.DoSimul();
  EXPECT_GT(r.s.Sampling->DriftMs, 4500);
  EXPECT_EQ(r.s.Sampling->DriftReport.rfind("Time Shift Occured Shift=5.", 0), 0u)
      << r.s.Sampling->DriftReport;
  EXPECT_NE(r.in->Ports1.Text(TConsoleText::Status).find("Time Shift Occured"), std::string::npos);
}

TEST(SimSampling, WithoutSetTimeThePollsAlternateWithTheOscillator) {
  SamplingRig r(22);
  r.s.Sampling->SetTime = false;
  r.s.Sampling->OscBox = true;
  r.Emu("osc OscCon1 0x70");
  r.Emu("osc OscStat 0x19");
  r.Emu("osc OscFrq 6");
  r.Emu("set 3");
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  r.s.DoSimul();
  EXPECT_TRUE(r.s.Sampling->Xxx1);
  EXPECT_EQ(r.s.Sampling->ExoText[0], "$70 $70");
  EXPECT_EQ(r.s.Sampling->ExoHint[0], "OSCCON1=[EXTOSC, 1:1].   OSCCON2=[EXTOSC, 1:1].");
  EXPECT_EQ(r.s.Sampling->ExoHint[1], "OSCCON3=[].    OSCSTAT=[0.PLLR,3.NOSCR,4.ORDY].");
  EXPECT_EQ(r.s.States(3)[0], '.');  // no status read yet
  r.s.DoSimul();
  EXPECT_FALSE(r.s.Sampling->Xxx1);
  EXPECT_EQ(r.s.States(3)[0], 'I');
  // the trim value steps within -32..31 and reaches the device
  r.s.Sampling->OscTuneChange(+1, true);
  r.s.DoSimul();
  EXPECT_EQ(r.s.Sampling->TunText[1], "1");
  r.s.Sampling->OscTune = "40";
  r.s.Sampling->OscTuneChange(0, true);
  EXPECT_EQ(r.s.Sampling->OscTune, "31");
}

struct HintCase {
  uint16_t a, b;
  int which;
  const char* text;
};

class OscHints : public ::testing::TestWithParam<HintCase> {};

TEST_P(OscHints, DecodedFromTheRegisterPair) {
  const HintCase& c = GetParam();
  const std::string s = c.which == 1   ? OscHint1(c.a, c.b)
                        : c.which == 2 ? OscHint2(c.a, c.b)
                                       : OscHint3(c.a, c.b);
  EXPECT_EQ(s, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Registers, OscHints,
    ::testing::Values(HintCase{0x20, 0x60, 1, "OSCCON1=[ExO+4xPll, 1:1].   OSCCON2=[HFINT, 1:1]."},
                      HintCase{0x42, 0x80, 1, "OSCCON1=[SOSC, 1:4].   OSCCON2=[Undef, 1:1]."},
                      HintCase{0x50, 0x0F, 1, "OSCCON1=[LFINT, 1:1].   OSCCON2=[Undef, Undef]."},
                      HintCase{0xD8, 0x79, 2,
                               "OSCCON3=[3.NOSCR,4.ORDY,6.SOSCPWR,7.CSWHOLD].    "
                               "OSCSTAT=[0.PLLR,3.NOSCR,4.ORDY,5.SOSCPWR,6.CSWHOLD]."},
                      HintCase{
                          0xFC, 8, 3,
                          "OSCEN=[2.ADOEN,3.SOSCEN,4.LFOEN,5.MFOEN,6.HFOEN,7.EXTOENB].    OSCFRQ=[64mhz]."},
                      HintCase{0x40, 9, 3, "OSCEN=[6.HFOEN].    OSCFRQ=[Undefmhz]."}));

// ---- analog inspector -----------------------------------------------------------------

struct InspectorRig : SimRig {
  InspectorRig() : SimRig("vex316", 17) {
    s.Show();
    s.StartScan();
    in->Vex316desk1.Visible = true;
  }
  TVexSim& s = in->Vex316sim1;
  TVex316desk1& d = in->Vex316desk1;
};

struct StatsCase {
  const char* name;
  std::vector<std::pair<int, int>> raw;  // channel, value (others 0)
  const char *mean, *max, *min;
  const char* tail;  // end of the summary
};

class InspectorStats : public ::testing::TestWithParam<StatsCase> {};

TEST_P(InspectorStats, ChannelsAbove5MakeTheStatistics) {
  const StatsCase& c = GetParam();
  InspectorRig r;
  r.Emu("raw all 5");
  for (auto [ch, v] : c.raw) r.Emu("raw " + std::to_string(ch) + " " + std::to_string(v));
  r.Emu("frontend LthVal 1234");
  r.Emu("frontend CtrVal 5000");
  r.Emu("frontend CecAdc 512");
  r.s.DoSimul();
  EXPECT_EQ(r.d.ChannelValues[16], c.mean);
  EXPECT_EQ(r.d.ChannelValues[17], c.max);
  EXPECT_EQ(r.d.ChannelValues[18], c.min);
  EXPECT_EQ(r.d.ChannelValues[15],
            c.raw.empty() || c.raw.back().first != 16 ? "5" : std::to_string(c.raw.back().second));
  EXPECT_EQ(r.d.ValueValues[4], "1.234");
  EXPECT_EQ(r.d.ValueValues[11], "50.00");
  EXPECT_EQ(r.d.Summary, std::string("1.234,50.00,512,") + c.tail);
  std::string tabs = c.tail;
  std::replace(tabs.begin(), tabs.end(), ',', '\t');
  EXPECT_EQ(r.d.SummaryForClipboard(), "1.234\t50.00\t512\t" + tabs);
}

INSTANTIATE_TEST_SUITE_P(
    Channels, InspectorStats,
    ::testing::Values(
        StatsCase{"AllAtFiveOrBelow", {}, "", "", "", "0,0,0"},
        StatsCase{"TwoChannels", {{1, 1000}, {16, 2000}}, "1500", "2000 %33", "1000 %-33", "1500,2000,1000"},
        StatsCase{"OneChannelAtSix", {{7, 6}}, "6", "6 %0", "6 %0", "6,6,6"}),
    [](const auto& i) { return std::string(i.param.name); });

TEST(Inspector, DefaultsShownOnceAndWrittenOnlyAfterAUserChange) {
  InspectorRig r;
  r.in->Ports1.CheckBox4 = true;  // every frame in the log
  r.s.DoSimul();
  EXPECT_EQ(r.d.Set("VolSet").Text, "5");
  EXPECT_EQ(r.d.Set("FvrSet").Text, "4096");
  EXPECT_EQ(Count(r.in->Ports1.LogLines, "10 06 01 00 01 02"), 0u);  // no write of 1537
  r.d.ButonWheel(r.d.Set("VolSet"), +1, true);
  EXPECT_EQ(r.d.Set("VolSet").Text, "6");
  r.s.DoSimul();
  EXPECT_EQ(Count(r.in->Ports1.LogLines, "10 06 01 00 01 02 00 06"), 1u);
  EXPECT_EQ(r.d.ValueValues[5], "6.0");  // CurSet follows the set point
  // a typed value outside the range is clamped, a change by the program is not written
  r.d.Set("FvrSet").Text = "5000";
  r.d.ButonWheel(r.d.Set("FvrSet"), 0, false);
  EXPECT_EQ(r.d.Set("FvrSet").Text, "4200");
  EXPECT_FALSE(r.d.Set("FvrSet").Flag);
  r.d.Set("EmpSet").Text = "x";
  r.d.ButonWheel(r.d.Set("EmpSet"), -1, true);
  EXPECT_EQ(r.d.Set("EmpSet").Text, "0");
  // scan stopped: the inspector is cleared and takes its defaults again on the next start
  r.s.StopScan();
  EXPECT_EQ(r.d.ChannelValues[0], "");
  EXPECT_FALSE(r.d.RunOnce);
  EXPECT_EQ(r.d.Set("VolSet").Value, 0);
}

}  // namespace
}  // namespace vex::simtest
