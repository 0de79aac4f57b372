// The annunciator simulators against the simulated devices' live engine: lamps and state
// indicators through alarm, acknowledge, return and reset; keys; the shared handlers.
#include <gtest/gtest.h>

#include "config/IsaMaps.h"
#include "tests/monitor/SimRig.h"

namespace vex::simtest {
namespace {

using emu::IsaConfig;

constexpr uint64_t Bit(int n) { return uint64_t{1} << (n - 1); }

// Sequences of one panel: First Alarm red solid with buzzer and horn, Acknowledged yellow
// solid, Ring Back (R inputs only) green solid; A inputs reset themselves.
IsaConfig Sequences(uint64_t a, uint64_t m, uint64_t r) {
  IsaConfig c;
  const uint64_t all = a | m | r;
  c.Alm.Red = all, c.Alm.Buz = all, c.Alm.Ro1 = all;
  c.Ack.Red = all, c.Ack.Grn = all;
  c.Rng.Grn = r;
  c.AutRes = a;
  c.HrnBtn = 7;
  c.TstBtn = 7;
  return c;
}

struct Step {
  std::string act;     // emulator command, or a key of the screen: "ACK", "RESET"
  const char* colour;  // cRenks text of the window lamp
  const char* states;  // I A H S F M K R
};

struct SequenceCase {
  std::string name;
  const char* model;
  const char* sim;
  char sequence;  // 'A', 'M', 'R'
  int window;
  std::vector<Step> steps;
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.name; }

std::vector<Step> StepsOf(char seq, int n) {
  const std::string set = "set " + std::to_string(n), clr = "clear " + std::to_string(n);
  switch (seq) {
    case 'A':
      return {{set, "Red", "IAHSF..."}, {"ACK", "Yellow", "I.H...K."}, {clr, "Disabled", "........"}};
    case 'M':
      return {{set, "Red", "IAHSF..."},
              {"ACK", "Yellow", "I.H...K."},
              {clr, "Yellow", "..H....R"},  // acknowledged and back to normal: waiting for RESET
              {"RESET", "Disabled", "........"}};
    default:
      return {{set, "Red", "IAHSF..."},
              {"ACK", "Yellow", "I.H...K."},
              {clr, "Green", "..H....R"},
              {"RESET", "Disabled", "........"}};
  }
}

std::vector<SequenceCase> SequenceCases() {
  // window of each sequence per panel; the Vex936's are in its third group (33-36)
  const struct {
    const char *model, *sim;
    int a, m, r;
  } panels[] = {{"vex324", "Vex324sim1", 1, 2, 17}, {"vex936", "Vex936sim1", 34, 35, 36}};
  std::vector<SequenceCase> v;
  for (char s : {'A', 'M', 'R'})
    for (const auto& p : panels) {
      const int n = s == 'A' ? p.a : s == 'M' ? p.m : p.r;
      v.push_back({std::string(p.model) + "_" + s + "_window" + std::to_string(n), p.model, p.sim, s, n,
                   StepsOf(s, n)});
    }
  return v;
}

TVexSim& Sim(SimRig& r, const std::string& name) {
  for (TVexSim* s : r.in->Simulators())
    if (s->Name == name) return *s;
  throw Exception("no " + name);
}

class SequenceTest : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTest, LampsAndIndicatorsFollowTheDevice) {
  const SequenceCase& c = GetParam();
  SimRig r(c.model);
  TVexSim& s = Sim(r, c.sim);
  s.Show();
  s.StartScan();
  ASSERT_TRUE(s.Scanning());
  const uint64_t w = Bit(c.window);
  r.Configure(Sequences(c.sequence == 'A' ? w : 0, c.sequence == 'M' ? w : 0, c.sequence == 'R' ? w : 0));
  for (const Step& st : c.steps) {
    SCOPED_TRACE(st.act);
    if (st.act == "ACK")
      s.Button4Click();
    else if (st.act == "RESET")
      s.Button1Click();
    else
      r.Emu(st.act);
    const bool ok = r.PollUntil(s, [&] {
      return cRenks[s.ColourIndex(c.window)] == std::string(st.colour) && s.States(c.window) == st.states;
    });
    EXPECT_TRUE(ok) << "colour " << cRenks[s.ColourIndex(c.window)] << " states " << s.States(c.window);
    const TLamp& lamp = s.Panel[static_cast<size_t>(c.window - 1)].Lamp;
    EXPECT_EQ(lamp.Color, cRenk[s.ColourIndex(c.window)]);
    for (int k = 0; k < 8; ++k)
      EXPECT_EQ(s.Panel[static_cast<size_t>(c.window - 1)].Ind[static_cast<size_t>(k)].Color,
                st.states[k] == '.' ? clBtnFace : clSkyBlue)
          << cIndLetters[k];
  }
}

INSTANTIATE_TEST_SUITE_P(Panels, SequenceTest, ::testing::ValuesIn(SequenceCases()),
                         [](const auto& i) { return i.param.name; });

}  // namespace
}  // namespace vex::simtest
