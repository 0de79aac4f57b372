// The alarm sequence engine driven with chosen times: sequences, keys, silence, timers,
// delays, inversion, TEST, flashing and virtual inputs.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "emu/IsaEngine.h"
#include "shell/Basics.h"

namespace vex::emu {
namespace {

using Events = std::vector<std::pair<uint16_t, uint64_t>>;

constexpr uint64_t kAll = 0xF;  // four inputs

// A plain sequence on four inputs: First Alarm red 2 Hz with buzzer and horn relay,
// Momentary red 1 Hz with buzzer, Acknowledged red steady.
IsaConfig Base() {
  IsaConfig c;
  c.Alm.Red = c.Alm.Sld = c.Alm.Bln = c.Alm.Buz = c.Alm.Ro1 = kAll;
  c.Mom.Red = c.Mom.Bln = c.Mom.Buz = kAll;
  c.Ack.Red = kAll;
  c.HrnBtn = cHrnOut1 | cHrnOut2 | cHrnBuzzer;
  return c;
}

enum class Kind { AutoReset, ManualReset, Ringback, SilenceInterlock, NoLockin };

IsaConfig ConfigFor(Kind k) {
  IsaConfig c = Base();
  switch (k) {
    case Kind::AutoReset:
      c.AutRes = kAll;
      break;
    case Kind::ManualReset:
      break;
    case Kind::Ringback:
      c.Rng.Grn = c.Rng.Sld = c.Rng.Buz = kAll;  // green 1/2 Hz with buzzer
      c.AutRes = kAll;                           // a lit Ring Back takes precedence
      break;
    case Kind::SilenceInterlock:
      c.SilLck = kAll;
      break;
    case Kind::NoLockin:
      c.Ack = {};  // acknowledged alarms are dark
      break;
  }
  return c;
}

struct Rig {
  IsaEngine e{4, 3};
  Events ev;
  int64_t t = 100000;
  explicit Rig(const IsaConfig& c) {
    e.SetConfig(c);
    e.SetSink([this](uint16_t typ, uint64_t dif) { ev.emplace_back(typ, dif); });
    e.PowerUp(t);
    e.Tick(t);
  }
  Events Take() { return std::exchange(ev, {}); }
};

enum class Act { On, Off, Ack, Reset, Horn };

struct Step {
  Act act;
  int input;  // for On/Off
  uint64_t alm, mom, ack, rnb, onn, sil;
  Events events;
};

struct Scenario {
  const char* name;
  Kind kind;
  std::vector<Step> steps;
};

const Scenario kScenarios[] = {
    {"AutoReset",
     Kind::AutoReset,
     {
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},
         {Act::Ack, 0, 0, 0, 1, 0, 1, 0, {{evAcknowledge, 1}}},
         {Act::Off, 1, 0, 0, 0, 0, 0, 0, {{evNormal, 1}}},
         // momentary: back to normal before ACK, then ACK ends it
         {Act::On, 2, 2, 0, 0, 0, 2, 2, {{evAlarm, 2}}},
         {Act::Off, 2, 0, 2, 0, 0, 0, 2, {{evMomentary, 2}}},
         {Act::Ack, 0, 0, 0, 0, 0, 0, 0, {{evAcknowledge, 2}}},
     }},
    {"ManualReset",
     Kind::ManualReset,
     {
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},
         {Act::Ack, 0, 0, 0, 1, 0, 1, 0, {{evAcknowledge, 1}}},
         {Act::Reset, 0, 0, 0, 1, 0, 1, 0, {}},  // RESET cannot clear an abnormal input
         // acknowledged and back to normal shows as ringback until RESET
         {Act::Off, 1, 0, 0, 0, 1, 0, 0, {{evClear, 1}}},
         {Act::Reset, 0, 0, 0, 0, 0, 0, 0, {{evReset, 1}}},
         {Act::On, 3, 4, 0, 0, 0, 4, 4, {{evAlarm, 4}}},
         {Act::Off, 3, 0, 4, 0, 0, 0, 4, {{evMomentary, 4}}},
         {Act::Ack, 0, 0, 0, 0, 4, 0, 0, {{evAcknowledge, 4}}},  // held until RESET
         {Act::Reset, 0, 0, 0, 0, 0, 0, 0, {{evReset, 4}}},
     }},
    {"Ringback",
     Kind::Ringback,
     {
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},
         {Act::On, 2, 3, 0, 0, 0, 3, 3, {{evAlarm, 2}}},
         {Act::Ack, 0, 0, 0, 3, 0, 3, 0, {{evAcknowledge, 3}}},
         {Act::Off, 1, 0, 0, 2, 1, 2, 1, {{evRingback, 1}}},
         {Act::Ack, 0, 0, 0, 2, 1, 2, 0, {}},             // ACK silences the ringback audible
         {Act::On, 1, 1, 0, 2, 0, 3, 1, {{evAlarm, 1}}},  // back to abnormal: a new alarm
         {Act::Ack, 0, 0, 0, 3, 0, 3, 0, {{evAcknowledge, 1}}},
         {Act::Off, 1, 0, 0, 2, 1, 2, 1, {{evRingback, 1}}},
         {Act::Reset, 0, 0, 0, 2, 0, 2, 0, {{evReset, 1}}},
         {Act::Off, 2, 0, 0, 0, 2, 0, 2, {{evRingback, 2}}},
         {Act::Reset, 0, 0, 0, 0, 0, 0, 0, {{evReset, 2}}},
         // momentary alarm acknowledged goes to ringback
         {Act::On, 4, 8, 0, 0, 0, 8, 8, {{evAlarm, 8}}},
         {Act::Off, 4, 0, 8, 0, 0, 0, 8, {{evMomentary, 8}}},
         {Act::Ack, 0, 0, 0, 0, 8, 0, 8, {{evAcknowledge, 8}}},
     }},
    {"SilenceInterlock",
     Kind::SilenceInterlock,
     {
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},
         {Act::Ack, 0, 1, 0, 0, 0, 1, 1, {}},  // still sounding: ACK refused
         {Act::Horn, 0, 1, 0, 0, 0, 1, 0, {}},
         {Act::Ack, 0, 0, 0, 1, 0, 1, 0, {{evAcknowledge, 1}}},
     }},
    {"NoLockin",
     Kind::NoLockin,
     {
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},
         {Act::Ack, 0, 0, 0, 1, 0, 1, 0, {{evAcknowledge, 1}}},
         {Act::Off, 1, 0, 0, 0, 0, 0, 0, {{evNormal, 1}}},  // not locked in, dark
         {Act::On, 1, 1, 0, 0, 0, 1, 1, {{evAlarm, 1}}},    // the next alarm flashes and sounds
         {Act::On, 2, 3, 0, 0, 0, 3, 3, {{evAlarm, 2}}},
         {Act::Off, 2, 1, 0, 0, 0, 1, 1, {{evNormal, 2}}},  // an unacknowledged one goes with its cause
         {Act::Ack, 0, 0, 0, 1, 0, 1, 0, {{evAcknowledge, 1}}},
         {Act::On, 2, 2, 0, 1, 0, 3, 2, {{evAlarm, 2}}},
     }},
};

void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class IsaSequence : public ::testing::TestWithParam<Scenario> {};

TEST_P(IsaSequence, StatusAndEventsFollowEachStep) {
  const Scenario& s = GetParam();
  Rig r(ConfigFor(s.kind));
  r.Take();
  int n = 0;
  for (const Step& st : s.steps) {
    SCOPED_TRACE("step " + std::to_string(++n));
    r.t += 1000;
    switch (st.act) {
      case Act::On:
        r.e.SetField(st.input, true, r.t);
        break;
      case Act::Off:
        r.e.SetField(st.input, false, r.t);
        break;
      case Act::Ack:
        r.e.Key(IsaKey::Ack, r.t);
        break;
      case Act::Reset:
        r.e.Key(IsaKey::Reset, r.t);
        break;
      case Act::Horn:
        r.e.Key(IsaKey::Horn, r.t);
        break;
    }
    r.e.Tick(r.t);
    EXPECT_EQ(r.e.Alm(), st.alm);
    EXPECT_EQ(r.e.Mom(), st.mom);
    EXPECT_EQ(r.e.Ack(), st.ack);
    EXPECT_EQ(r.e.Rnb(), st.rnb);
    EXPECT_EQ(r.e.Onn(), st.onn);
    EXPECT_EQ(r.e.Sil(), st.sil);
    EXPECT_EQ(r.e.Akt(), st.alm | st.mom);
    EXPECT_EQ(r.e.Hld(), st.alm | st.mom | st.ack | st.rnb);
    EXPECT_EQ(r.e.Buzzer(), st.sil != 0);
    EXPECT_EQ(r.Take(), st.events);
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, IsaSequence, ::testing::ValuesIn(kScenarios),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(IsaEngine, SilenceInterlockAcceptsAckOnceHornWasPressed) {
  IsaConfig c = ConfigFor(Kind::SilenceInterlock);
  c.HrnBtn = cHrnBuzzer;  // HORN leaves output 1 sounding
  Rig r(c);
  r.e.SetField(1, true, r.t);
  r.e.Key(IsaKey::Ack, r.t + 10);
  EXPECT_EQ(r.e.Alm(), 1u) << "ACK before HORN is refused";
  r.e.Key(IsaKey::Horn, r.t + 20);
  EXPECT_FALSE(r.e.Buzzer());
  EXPECT_TRUE(r.e.Out1());
  r.e.Key(IsaKey::Ack, r.t + 30);
  EXPECT_EQ(r.e.Alm(), 0u);
  EXPECT_EQ(r.e.Ack(), 1u);
  // a new alert needs HORN again
  r.e.SetField(2, true, r.t + 40);
  r.e.Key(IsaKey::Ack, r.t + 50);
  EXPECT_EQ(r.e.Alm(), 2u);
}

TEST(IsaEngine, InvertedInputAlarmsWhenTheContactOpens) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.InpInv = 0x2;  // input 2 normally closed
  Rig r(c);
  // Power-up with every contact open: the inverted input is abnormal at once.
  EXPECT_EQ(r.e.Onn(), 0x2u);
  EXPECT_EQ(r.e.Alm(), 0x2u);
  r.e.SetField(2, true, r.t + 10);  // contact closes: normal again, the alarm is held
  EXPECT_EQ(r.e.Onn(), 0u);
  EXPECT_EQ(r.e.Mom(), 0x2u);
  r.e.SetField(1, true, r.t + 20);  // a plain input still alarms on a closed contact
  EXPECT_EQ(r.e.Alm(), 0x1u);
}

struct DelayCase {
  const char* name;
  std::vector<std::pair<int64_t, bool>> changes;  // offset, contact
  int64_t at;                                     // offset of the check
  bool onn;
};

const DelayCase kDelays[] = {
    {"NotBeforeDetection", {{0, true}}, 49, false},
    {"AtDetection", {{0, true}}, 50, true},
    {"GlitchShorterThanDetection", {{0, true}, {30, false}}, 200, false},
    {"RestartsAfterGlitch", {{0, true}, {30, false}, {40, true}}, 89, false},
    {"RestartedDetectionEnds", {{0, true}, {30, false}, {40, true}}, 90, true},
    {"HeldBeforeClearance", {{0, true}, {100, false}}, 199, true},
    {"Cleared", {{0, true}, {100, false}}, 200, false},
    {"ShortDropKeepsInput", {{0, true}, {100, false}, {150, true}}, 400, true},
};

void PrintTo(const DelayCase& d, std::ostream* os) { *os << d.name; }

class IsaDelay : public ::testing::TestWithParam<DelayCase> {};

TEST_P(IsaDelay, DetectionAndClearanceTimes) {
  const DelayCase& d = GetParam();
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.SetTmo = 50;
  c.ClrTmo = 100;
  Rig r(c);
  const int64_t t0 = r.t;
  for (int64_t t = t0; t <= t0 + d.at; t += 1) {
    for (const auto& [off, on] : d.changes)
      if (t0 + off == t) r.e.SetField(1, on, t);
    r.e.Tick(t);
  }
  EXPECT_EQ(r.e.Onn() & 1, d.onn ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Times, IsaDelay, ::testing::ValuesIn(kDelays),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(IsaEngine, DelayGroupOverridesTheDeviceTimes) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.SetTmo = 5;
  c.ClrTmo = 5;
  c.Groups[0] = {3, 4, 1000, 500};  // inputs 3 and 4
  c.GrpOpt = cGrpEchoBlue;
  Rig r(c);
  r.e.SetField(2, true, r.t);
  r.e.SetField(3, true, r.t);
  r.e.Tick(r.t + 5);
  EXPECT_EQ(r.e.Onn(), 0x2u);
  // Within its delay the grouped input echoes in solid blue.
  uint64_t red, grn, blu;
  r.e.Colours(r.t + 5, red, grn, blu);
  EXPECT_EQ(blu, 0x4u);
  r.e.Tick(r.t + 999);
  EXPECT_EQ(r.e.Onn(), 0x2u);
  r.e.Tick(r.t + 1000);
  EXPECT_EQ(r.e.Onn(), 0x6u);
  r.e.Colours(r.t + 1000, red, grn, blu);
  EXPECT_EQ(blu, 0u);
}

struct FlashCase {
  const char* name;
  uint64_t sld, bln;
  std::vector<std::pair<int64_t, bool>> lit;  // offset from power-up, lamp lit
};

const FlashCase kFlashes[] = {
    {"Solid", 0, 0, {{0, true}, {250, true}, {1000, true}}},
    {"HalfHertz", 1, 0, {{0, true}, {999, true}, {1000, false}, {1999, false}, {2000, true}}},
    {"OneHertz", 0, 1, {{0, true}, {499, true}, {500, false}, {1000, true}}},
    {"TwoHertz", 1, 1, {{0, true}, {249, true}, {250, false}, {500, true}, {750, false}}},
};

void PrintTo(const FlashCase& f, std::ostream* os) { *os << f.name; }

class IsaFlash : public ::testing::TestWithParam<FlashCase> {};

TEST_P(IsaFlash, LampDriveFollowsTheFlashMode) {
  const FlashCase& f = GetParam();
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.Alm.Sld = f.sld;
  c.Alm.Bln = f.bln;
  c.Alm.Red = 0;
  c.Alm.Grn = c.Alm.Blu = 1;  // turquoise
  Rig r(c);
  r.e.SetField(1, true, r.t);
  for (const auto& [off, lit] : f.lit) {
    uint64_t red, grn, blu;
    r.e.Colours(r.t + off, red, grn, blu);
    SCOPED_TRACE(off);
    EXPECT_EQ(red, 0u);
    EXPECT_EQ(grn, lit ? 1u : 0u);
    EXPECT_EQ(blu, lit ? 1u : 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, IsaFlash, ::testing::ValuesIn(kFlashes),
                         [](const auto& i) { return std::string(i.param.name); });

struct TestButtonCase {
  uint16_t tstBtn;
  bool buz, out1, out2;
};

void PrintTo(const TestButtonCase& t, std::ostream* os) { *os << "TstBtn=" << t.tstBtn; }

class IsaTestButton : public ::testing::TestWithParam<TestButtonCase> {};

TEST_P(IsaTestButton, LampTestLightsEveryWindowAndTheChosenOutputs) {
  const TestButtonCase& tc = GetParam();
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.TstBtn = tc.tstBtn;
  Rig r(c);
  r.e.Key(IsaKey::Test, r.t);
  EXPECT_TRUE(r.e.Testing());
  uint64_t red, grn, blu;
  r.e.Colours(r.t + 250, red, grn, blu);
  EXPECT_EQ(red & grn & blu, kAll);  // white in every window
  EXPECT_EQ(r.e.Buzzer(), tc.buz);
  EXPECT_EQ(r.e.Out1(), tc.out1);
  EXPECT_EQ(r.e.Out2(), tc.out2);
  // Repeated while held; released by its own key.
  r.e.Tick(r.t + 2000);
  r.e.Key(IsaKey::Test, r.t + 2000);
  r.e.Tick(r.t + 4000);
  EXPECT_TRUE(r.e.Testing());
  r.e.Key(IsaKey::TestUp, r.t + 4100);
  EXPECT_FALSE(r.e.Testing());
  r.e.Colours(r.t + 4100, red, grn, blu);
  EXPECT_EQ(red | grn | blu, 0u);
  EXPECT_FALSE(r.e.Buzzer() || r.e.Out1() || r.e.Out2());
  EXPECT_TRUE(r.Take().empty()) << "a lamp test is not an alarm";
}

INSTANTIATE_TEST_SUITE_P(Options, IsaTestButton,
                         ::testing::Values(TestButtonCase{0, false, false, false},
                                           TestButtonCase{cTstBuzzer, true, false, false},
                                           TestButtonCase{cTstOut1, false, true, false},
                                           TestButtonCase{cTstOut1 | cTstOut2, false, true, true}),
                         [](const auto& i) { return "TstBtn" + std::to_string(i.param.tstBtn); });

TEST(IsaEngine, LampTestEndsWhenTheKeyIsNoLongerRepeated) {
  Rig r(ConfigFor(Kind::ManualReset));
  r.e.Key(IsaKey::Test, r.t);
  r.e.Tick(r.t + IsaEngine::cTestHoldMs);
  EXPECT_TRUE(r.e.Testing());
  r.e.Tick(r.t + IsaEngine::cTestHoldMs + 1);
  EXPECT_FALSE(r.e.Testing());
}

TEST(IsaEngine, TwoColourPanelsTestInRedAndGreen) {
  IsaEngine e(16, 2);
  IsaConfig c;
  c.Alm.Blu = 0xFFFF;  // a blue bit has no lamp on these panels
  e.SetConfig(c);
  e.PowerUp(0);
  e.Key(IsaKey::Test, 0);
  uint64_t red, grn, blu;
  e.Colours(0, red, grn, blu);
  EXPECT_EQ(red, 0xFFFFu);
  EXPECT_EQ(grn, 0xFFFFu);
  EXPECT_EQ(blu, 0u);
}

struct HornCase {
  const char* name;
  uint16_t hrnBtn;
  bool buzAfter, out1After;
};

void PrintTo(const HornCase& h, std::ostream* os) { *os << h.name; }

class IsaHorn : public ::testing::TestWithParam<HornCase> {};

TEST_P(IsaHorn, PushSilenceSilencesTheChosenOutputs) {
  const HornCase& h = GetParam();
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.HrnBtn = h.hrnBtn;
  Rig r(c);
  r.e.SetField(1, true, r.t);
  ASSERT_TRUE(r.e.Buzzer());
  ASSERT_TRUE(r.e.Out1());
  r.e.Key(IsaKey::Horn, r.t + 10);
  EXPECT_EQ(r.e.Buzzer(), h.buzAfter);
  EXPECT_EQ(r.e.Out1(), h.out1After);
  EXPECT_EQ(r.e.Alm(), 1u) << "silencing does not acknowledge";
  // A new alarm sounds again.
  r.e.SetField(2, true, r.t + 20);
  EXPECT_TRUE(r.e.Buzzer());
  EXPECT_TRUE(r.e.Out1());
}

INSTANTIATE_TEST_SUITE_P(Options, IsaHorn,
                         ::testing::Values(HornCase{"BuzzerOnly", 0, false, true},
                                           HornCase{"BuzzerAndHorn", cHrnOut1, false, false}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(IsaEngine, ToggleSilenceMutesUntilPressedAgain) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.HrnBtn = cHrnToggle | cHrnBuzzer;
  Rig r(c);
  EXPECT_TRUE(r.e.HornEnabled());
  r.e.Key(IsaKey::Horn, r.t);
  EXPECT_FALSE(r.e.HornEnabled());
  r.e.SetField(1, true, r.t + 10);
  EXPECT_FALSE(r.e.Buzzer());
  EXPECT_TRUE(r.e.Out1()) << "the horn relay is not among the muted outputs";
  EXPECT_EQ(r.e.Sil(), 1u);
  r.e.Key(IsaKey::Horn, r.t + 20);
  EXPECT_TRUE(r.e.HornEnabled());
  EXPECT_TRUE(r.e.Buzzer());
}

struct TimerCase {
  const char* name;
  bool ringback;
  uint16_t hrnBtn;
  bool out1Silenced;
};

void PrintTo(const TimerCase& t, std::ostream* os) { *os << t.name; }

class IsaAutoSilence : public ::testing::TestWithParam<TimerCase> {};

TEST_P(IsaAutoSilence, TimerSilencesAfterItsSeconds) {
  const TimerCase& tc = GetParam();
  IsaConfig c = ConfigFor(Kind::Ringback);
  c.Rng.Ro1 = kAll;
  c.AlmTim = 3;
  c.RngTim = 2;
  c.HrnBtn = tc.hrnBtn;
  Rig r(c);
  int64_t t = r.t;
  r.e.SetField(1, true, t);
  int64_t secs = 3;
  if (tc.ringback) {
    r.e.Key(IsaKey::Ack, t + 100);
    t += 200;
    r.e.SetField(1, false, t);
    ASSERT_EQ(r.e.Rnb(), 1u);
    secs = 2;
  }
  r.e.Tick(t + secs * 1000 - 1);
  EXPECT_TRUE(r.e.Buzzer());
  EXPECT_TRUE(r.e.Out1());
  r.e.Tick(t + secs * 1000);
  EXPECT_FALSE(r.e.Buzzer());
  EXPECT_EQ(r.e.Out1(), !tc.out1Silenced);
}

INSTANTIATE_TEST_SUITE_P(Timers, IsaAutoSilence,
                         ::testing::Values(TimerCase{"AlarmBuzzerOnly", false, 0, false},
                                           TimerCase{"AlarmWithHorn", false, cAlmTimOut1, true},
                                           TimerCase{"AlarmOptionDoesNotTouchRingback", true, cAlmTimOut1,
                                                     false},
                                           TimerCase{"RingbackWithHorn", true, cRngTimOut1, true}),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(IsaEngine, WithoutAcknowledgedLookAnAlarmGoesWithItsCause) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.Ack = {};  // no lock-in
  Rig r(c);
  r.Take();
  r.e.SetField(1, true, r.t);
  r.e.SetField(1, false, r.t + 10);
  EXPECT_EQ(r.e.Hld(), 0u);
  EXPECT_EQ(r.Take(), (Events{{evAlarm, 1}, {evNormal, 1}}));
}

TEST(IsaEngine, InputWithoutFirstAlarmOnlyLogsItsChanges) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.Alm.Red = 0xE;  // input 1 has no sequence
  Rig r(c);
  r.Take();
  r.e.SetField(1, true, r.t);
  EXPECT_EQ(r.e.Onn(), 1u);
  EXPECT_EQ(r.e.Hld(), 0u);
  EXPECT_FALSE(r.e.Buzzer());
  r.e.SetField(1, false, r.t + 10);
  EXPECT_EQ(r.Take(), (Events{{evSet, 1}, {evClear, 1}}));
}

TEST(IsaEngine, MomentaryWithoutItsOwnLookKeepsTheFirstAlarmLook) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.Mom = {};
  Rig r(c);
  r.e.SetField(1, true, r.t);
  r.e.SetField(1, false, r.t + 10);
  EXPECT_EQ(r.e.Mom(), 1u);
  uint64_t red, grn, blu;
  r.e.Colours(r.t, red, grn, blu);  // in the lit half of every flash mode
  EXPECT_EQ(red, 1u);
  EXPECT_TRUE(r.e.Out1());
}

TEST(IsaEngine, WindowPressAcknowledgesOrResetsOnlyItsInput) {
  Rig r(ConfigFor(Kind::ManualReset));
  r.e.SetField(1, true, r.t);
  r.e.SetField(2, true, r.t);
  r.e.Window(2, r.t + 10);
  EXPECT_EQ(r.e.Alm(), 1u);
  EXPECT_EQ(r.e.Ack(), 2u);
  r.e.SetField(2, false, r.t + 20);
  r.e.Window(2, r.t + 30);
  EXPECT_EQ(r.e.Hld(), 1u);
  r.e.Window(0, r.t + 40);  // out of range: nothing
  r.e.Window(5, r.t + 40);
  EXPECT_EQ(r.e.Hld(), 1u);
}

TEST(IsaEngine, VirtualInputsReplaceTheFieldContacts) {
  IsaConfig c = ConfigFor(Kind::ManualReset);
  c.InpInv = 0x4;  // inversion is a property of the contact, not of a remote state
  Rig r(c);
  r.e.SetField(1, true, r.t);
  ASSERT_EQ(r.e.Onn(), 0x5u);
  r.e.SetVirtualMode(true, r.t + 10);
  EXPECT_EQ(r.e.Onn(), 0x5u) << "entering the mode changes no input";
  r.Take();
  r.e.SetVirtuals(0x2, r.t + 20);
  EXPECT_EQ(r.e.Onn(), 0x2u);
  r.e.SetField(4, true, r.t + 30);
  EXPECT_EQ(r.e.Onn(), 0x2u) << "field contacts are ignored";
  using E = std::pair<uint16_t, uint64_t>;
  EXPECT_THAT(r.Take(), ::testing::UnorderedElementsAre(E{evForced, 0x2}, E{evAlarm, 0x2}, E{evReleased, 0x5},
                                                        E{evMomentary, 0x5}));
}

TEST(IsaEngine, ActivationRaisesAMomentaryAlarm) {
  Rig r(ConfigFor(Kind::ManualReset));
  r.Take();
  r.e.Activate(0x8, r.t);
  EXPECT_EQ(r.e.Alm(), 0x8u);
  r.e.Tick(r.t + 10);
  EXPECT_EQ(r.e.Mom(), 0x8u);
  EXPECT_EQ(r.Take(), (Events{{evAlarm, 8}, {evMomentary, 8}}));
  r.e.Activate(0x8, r.t + 20);  // an alarm in progress is not raised twice
  EXPECT_TRUE(r.Take().empty());
}

TEST(IsaEngine, PowerUpForgetsSequencesButKeepsContacts) {
  Rig r(ConfigFor(Kind::ManualReset));
  r.e.SetField(1, true, r.t);
  r.e.Key(IsaKey::Ack, r.t + 10);
  r.e.Key(IsaKey::Test, r.t + 10);
  r.e.PowerUp(r.t + 20);
  EXPECT_EQ(r.e.Hld(), 0u);
  EXPECT_FALSE(r.e.Testing());
  r.e.Tick(r.t + 20);
  EXPECT_EQ(r.e.Alm(), 1u) << "the input still on raises a fresh alarm";
}

TEST(IsaEngine, RefusesImpossibleInputCounts) {
  EXPECT_THROW(IsaEngine(0, 3), Exception);
  EXPECT_THROW(IsaEngine(49, 3), Exception);
}

}  // namespace
}  // namespace vex::emu
