// The rack panels' own rules without a device: the split of a sequence stream reply, slot
// texts, the status and power lamps, and the I/O module's boxes (commands, ramps).
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "monitor/RackPanel.h"

namespace vex {
namespace {

// A stream reply of `n` bytes: the status part (unique ID 0x1234, time 0x00050006, day 7,
// flags 0x21, inputs 0x0101 0x0202 0x0303), then records numbered 100, 101, ... with kind 1.
std::vector<uint8_t> StreamBytes(int n) {
  std::vector<uint8_t> b;
  auto le16 = [&](uint16_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
  };
  for (uint16_t w : {0x1234, 0x0006, 0x0005, 7, 0x21, 0x0101, 0x0202, 0x0303}) le16(w);
  for (uint32_t s = 100; b.size() < static_cast<size_t>(n); ++s) {
    le16(static_cast<uint16_t>(s));
    le16(static_cast<uint16_t>(s >> 16));
    for (uint16_t w : {1, 9, 0, 0, 0x0001, 0, 0}) le16(w);  // Typ Dat Tim(2) Dif01 Dif23 Dif45
  }
  b.resize(static_cast<size_t>(n));
  return b;
}

struct SplitCase {
  const char* name;
  int bytes;
  bool status;
  std::vector<uint32_t> seqs;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.name; }

const SplitCase kSplits[] = {
    {"Empty", 0, false, {}},
    {"PartOfTheStatus", 10, false, {}},
    {"OneByteShortOfTheStatus", 15, false, {}},
    {"StatusOnly", 16, true, {}},
    {"RecordOneByteShort", 16 + 17, true, {}},
    {"OneRecord", 16 + 18, true, {100}},
    {"TwoRecordsAndAShortTail", 16 + 2 * 18 + 5, true, {100, 101}},
    {"SixRecords", 124, true, {100, 101, 102, 103, 104, 105}},
    {"NoSeventhRecord", 124 + 18, true, {100, 101, 102, 103, 104, 105}},
};

class SplitSekansTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitSekansTest, StatusPartThenWholeRecords) {
  const SplitCase& c = GetParam();
  const auto b = StreamBytes(c.bytes);
  const TSekansReply r = SplitSekans(b.data(), c.bytes);
  EXPECT_EQ(r.HasStatus, c.status);
  if (c.status) {
    EXPECT_EQ(r.UnqIdf, 0x1234);
    EXPECT_EQ(r.Status, (std::vector<uint16_t>{0x0006, 0x0005, 7, 0x21, 0x0101, 0x0202, 0x0303}));
  } else {
    EXPECT_TRUE(r.Status.empty());
  }
  std::vector<uint32_t> seqs;
  for (const tVexSek& s : r.Records) {
    seqs.push_back(s.Seq);
    EXPECT_EQ(s.Typ, 1);
    EXPECT_EQ(s.Dat, 9);
    EXPECT_EQ(s.Dif01, 1);
  }
  EXPECT_EQ(seqs, c.seqs);
}

INSTANTIATE_TEST_SUITE_P(Replies, SplitSekansTest, ::testing::ValuesIn(kSplits),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(RackPanel, SlotTexts) {
  const std::pair<uint16_t, const char*> cases[] = {
      {0x00, "$00, Empty"},      {0x15, "$15, Input-16x"}, {0x26, "$26, SSR-4x6A"}, {0x4C, "$4C, Relay-8x5A"},
      {0x83, "$83, Relay-8x8A"}, {0x99, "$99, Undef"},     {0x01, "$01, Undef"},
  };
  for (const auto& [t, text] : cases) EXPECT_EQ(SlotText(t), text) << t;
}

TEST(RackPanel, StatusAndPowerLamps) {
  struct Case {
    uint16_t sta;
    bool tim4Hz;
    TColor status, power;
  } const cases[] = {
      {0x0001, false, clLampGreen, clLampOff},  // configuration good, clock not set
      {0x0001, true, clLampGreen, clLampGreen},
      {0x0004, true, clLampOff, clLampGreen},    // edited: dark, even on the phase
      {0x0005, false, clLampGreen, clLampOff},   // good wins over edited
      {0x0002, true, clLampGreen, clLampGreen},  // saved: flashing
      {0x0002, false, clLampOff, clLampOff},
      {0x0020, false, clLampOff, clLampGreen},  // clock synchronised: steady
      {0x0024, false, clLampOff, clLampGreen},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RackStatusLamp(c.sta, c.tim4Hz), c.status) << std::hex << c.sta << " " << c.tim4Hz;
    EXPECT_EQ(RackPowerLamp(c.sta, c.tim4Hz), c.power) << std::hex << c.sta << " " << c.tim4Hz;
  }
}

TEST(RackPanel, LampRowTagsInputOneFirst) {
  const auto row = LampRow(48, 4);
  ASSERT_EQ(row.size(), 48u);
  std::vector<uint16_t> sta(25, 0);
  sta[4] = 0x0001;  // input 1
  sta[5] = 0x8000;  // input 32
  sta[6] = 0x0004;  // input 35
  std::vector<int> lit;
  for (size_t i = 0; i < row.size(); ++i)
    if (TagSet(row[i].Tag, sta)) lit.push_back(static_cast<int>(i) + 1);
  EXPECT_EQ(lit, (std::vector<int>{1, 32, 35}));
  EXPECT_FALSE(TagSet(RackTag(30, 0), sta)) << "beyond the record";
}

// ---- boxes ----

std::vector<uint16_t> Status(uint16_t cmd0, uint16_t cmd1 = 0, uint16_t pul0 = 0) {
  std::vector<uint16_t> s(Vex733Words::cCount, 0);
  s[Vex733Words::cCmd] = cmd0;
  s[Vex733Words::cCmd + 1] = cmd1;
  s[Vex733Words::cPulses] = pul0;
  return s;
}

TEST(RackBoxes, PollSetsTheBoxesWithoutACommand) {
  TVex733Boxes b;
  b.FromStatus(Status(0x0081, 0x0002, 0x0004));
  EXPECT_FALSE(b.CmdFlg);
  EXPECT_TRUE(b.Out[0].Checked);
  EXPECT_TRUE(b.Out[7].Checked);
  EXPECT_FALSE(b.Out[1].Checked);
  EXPECT_TRUE(b.Out[9].Checked) << "output 18: bit 1 of the second command word";
  EXPECT_TRUE(b.Pul[2].Checked);
  EXPECT_FALSE(b.CmdSkp);
  b.FromStatus(Status(0));
  EXPECT_FALSE(b.Out[0].Checked);
  EXPECT_FALSE(b.CmdFlg);
}

struct CommandCase {
  const char* name;
  std::vector<std::pair<char, int>> clicks;  // 'O' out box / 'T' pulse box, index 0..23
  uint16_t reg;
  bool readsFirst;
  uint16_t from, to;  // the command word before and after
};

void PrintTo(const CommandCase& c, std::ostream* os) { *os << c.name; }

const CommandCase kCommands[] = {
    {"OutputOne", {{'O', 0}}, 64, true, 0x0100, 0x0101},
    {"OutputTwentyFourOfSlotTwo", {{'O', 15}}, 65, true, 0x0000, 0x0080},
    {"SlotThree", {{'O', 16}}, 66, true, 0xFFFF, 0xFFFF},
    {"OnlyTheLastOfTwoClicks", {{'O', 0}, {'O', 3}}, 64, true, 0x0000, 0x0008},
    {"PulseWritesItsOwnBit", {{'T', 2}}, 70, false, 0x0000, 0x0004},
    {"PulseOfSlotThree", {{'T', 23}}, 72, false, 0x0000, 0x0080},
    {"OutThenPulse", {{'O', 1}, {'T', 9}}, 71, false, 0x0000, 0x0002},
};

class RackCommand : public ::testing::TestWithParam<CommandCase> {};

TEST_P(RackCommand, LastClickIsThePendingCommand) {
  const CommandCase& c = GetParam();
  TVex733Boxes b;
  for (const auto& [kind, i] : c.clicks) {
    auto& box = kind == 'O' ? b.Out[static_cast<size_t>(i)] : b.Pul[static_cast<size_t>(i)];
    b.SetChecked(box, true);
  }
  ASSERT_TRUE(b.CmdFlg);
  EXPECT_TRUE(b.CmdChk);
  EXPECT_EQ(b.CmdReg(), c.reg);
  EXPECT_EQ(b.CmdReadsFirst(), c.readsFirst);
  EXPECT_EQ(b.CmdWord(c.from), c.to);
}

INSTANTIATE_TEST_SUITE_P(Clicks, RackCommand, ::testing::ValuesIn(kCommands),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(RackBoxes, ClearingABoxClearsItsBit) {
  TVex733Boxes b;
  b.FromStatus(Status(0x00FF));
  b.SetChecked(b.Out[4], false);
  ASSERT_TRUE(b.CmdFlg);
  EXPECT_FALSE(b.CmdChk);
  EXPECT_EQ(b.CmdWord(0x00FF), 0x00EF);
  EXPECT_EQ(b.Find(b.Out[4].Tag), &b.Out[4]);
  EXPECT_EQ(b.Find(b.Pul[4].Tag), &b.Pul[4]);
  EXPECT_EQ(b.Find(RackTag(3, 0)), nullptr);
}

TEST(RackBoxes, RampsTickOneBoxPerPassAndGreyStops) {
  TVex733Boxes b;
  EXPECT_FALSE(b.Ramp()) << "the override boxes start grey: nothing moves";
  b.SetOverride(0, TVex733Boxes::TTri::Checked);
  b.SetOverride(2, TVex733Boxes::TTri::Unchecked);
  b.Out[16 + 5].Checked = true;
  for (int pass = 1; pass <= 8; ++pass) {
    ASSERT_TRUE(b.Ramp());
    int ticked = 0;
    for (int k = 0; k < 8; ++k) ticked += b.Out[static_cast<size_t>(k)].Checked;
    EXPECT_EQ(ticked, pass);
    // Of two groups moving in one pass, the later one's box is the command (the last click).
    const size_t last = pass == 1 ? 21 : static_cast<size_t>(pass - 1);
    EXPECT_EQ(b.CmdTag, b.Out[last].Tag) << "the command of the box changed last";
  }
  EXPECT_FALSE(b.Out[21].Checked) << "the clear override cleared the ticked box of its group";
  EXPECT_FALSE(b.Ramp()) << "all there";
  EXPECT_FALSE(b.Out[8].Checked) << "the grey group untouched";

  b.SetOverride(0, TVex733Boxes::TTri::Unchecked);
  ASSERT_TRUE(b.Ramp());
  EXPECT_FALSE(b.Out[0].Checked);
  EXPECT_TRUE(b.Out[1].Checked);
  b.Enter(3);
  EXPECT_EQ(b.Override[0], TVex733Boxes::TTri::Grayed) << "entering a box of the group";
  EXPECT_FALSE(b.Ramp());
  EXPECT_STREQ(TVex733Boxes::OverrideCaption(1), "25-32 override");
}

}  // namespace
}  // namespace vex
