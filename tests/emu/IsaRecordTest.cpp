// The device's reading of its sequence record words in the three layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <vector>

#include "emu/IsaRecord.h"

namespace vex::emu {
namespace {

using Get = uint64_t (*)(const IsaConfig&);

struct WordCase {
  const char* name;
  int bytes;
  size_t word;
  uint16_t value;
  Get get;
  uint64_t expected;
};

void PrintTo(const WordCase& c, std::ostream* os) { *os << c.name; }

const WordCase kWords[] = {
    // one group, no blue: Alm, Ack, Rng, Mom blocks of Red, Grn, Sld, Bln, Buz, Ro1, Ro2
    {"OneAlmRed", 66, 0, 0x8001, [](const IsaConfig& c) { return c.Alm.Red; }, 0x8001},
    {"OneAckBuz", 66, 11, 0x0003, [](const IsaConfig& c) { return c.Ack.Buz; }, 0x3},
    {"OneRngGrn", 66, 15, 0x0100, [](const IsaConfig& c) { return c.Rng.Grn; }, 0x100},
    {"OneMomSld", 66, 23, 0x0002, [](const IsaConfig& c) { return c.Mom.Sld; }, 0x2},
    {"OneMomRo2", 64, 27, 0x0040, [](const IsaConfig& c) { return c.Mom.Ro2; }, 0x40},
    {"OneAckSil", 66, 28, 0x00F0, [](const IsaConfig& c) { return c.SilLck; }, 0xF0},
    {"OneRnbRes", 66, 29, 0x000F, [](const IsaConfig& c) { return c.AutRes; }, 0xF},
    {"OneAlmTimLowByte", 66, 30, 0x0A05, [](const IsaConfig& c) { return uint64_t{c.AlmTim}; }, 5},
    {"OneRngTimHighByte", 66, 30, 0x0A05, [](const IsaConfig& c) { return uint64_t{c.RngTim}; }, 10},
    {"OneTstBtnLowByte", 64, 31, 0x0921, [](const IsaConfig& c) { return uint64_t{c.TstBtn}; }, 0x21},
    {"OneHrnBtnHighByte", 64, 31, 0x0921, [](const IsaConfig& c) { return uint64_t{c.HrnBtn}; }, 9},
    {"OneInpInv", 66, 32, 0x0005, [](const IsaConfig& c) { return c.InpInv; }, 5},
    {"ShortRecordHasNoInpInv", 64, 32, 0x0005, [](const IsaConfig& c) { return c.InpInv; }, 0},
    // two groups with blue: Alm, Mom, Ack+AckSil, Rng+RnbRes per group of 34 words
    {"WideAlmBlu", 142, 2, 0x0001, [](const IsaConfig& c) { return c.Alm.Blu; }, 1},
    {"WideMomRed", 142, 8, 0x0001, [](const IsaConfig& c) { return c.Mom.Red; }, 1},
    {"WideAckSil", 142, 24, 0x0010, [](const IsaConfig& c) { return c.SilLck; }, 0x10},
    {"WideRngGrn", 142, 26, 0x0001, [](const IsaConfig& c) { return c.Rng.Grn; }, 1},
    {"WideRnbRes", 160, 33, 0x0002, [](const IsaConfig& c) { return c.AutRes; }, 2},
    {"WideInput17", 142, 34, 0x0001, [](const IsaConfig& c) { return c.Alm.Red; }, uint64_t{1} << 16},
    {"WideAc2Sil", 148, 58, 0x8000, [](const IsaConfig& c) { return c.SilLck; }, uint64_t{1} << 31},
    {"WideAlmTim", 142, 68, 30, [](const IsaConfig& c) { return uint64_t{c.AlmTim}; }, 30},
    {"WideRngTim", 142, 69, 7, [](const IsaConfig& c) { return uint64_t{c.RngTim}; }, 7},
    {"WideHrnBtn", 142, 70, 0x0307, [](const IsaConfig& c) { return uint64_t{c.HrnBtn}; }, 3},
    {"Wide142HasNoInpInv", 142, 71, 0xFFFF, [](const IsaConfig& c) { return c.InpInv; }, 0},
    {"WideInpInv", 148, 71, 0x8001, [](const IsaConfig& c) { return c.InpInv; }, 0x8001},
    {"WideIn2InvLowByteOnly", 148, 72, 0x3C81, [](const IsaConfig& c) { return c.InpInv; },
     uint64_t{0x81} << 16},
    // three groups: the third for inputs 33-36, low nibble only
    {"ThirdGroupNibble", 210, 68, 0xFFFF, [](const IsaConfig& c) { return c.Alm.Red; }, uint64_t{0xF} << 32},
    {"ThirdAc3Sil", 210, 92, 0x0008, [](const IsaConfig& c) { return c.SilLck; }, uint64_t{0x8} << 32},
    {"ThirdAlmTim", 210, 102, 12, [](const IsaConfig& c) { return uint64_t{c.AlmTim}; }, 12},
    {"ThirdTstBtn", 210, 104, 0x0201, [](const IsaConfig& c) { return uint64_t{c.TstBtn}; }, 1},
    {"UnknownSizeReadsNothing", 100, 0, 0xFFFF, [](const IsaConfig& c) { return c.Alm.Red; }, 0},
};

class IsaRecordWord : public ::testing::TestWithParam<WordCase> {};

TEST_P(IsaRecordWord, EachWordLandsInItsField) {
  const WordCase& c = GetParam();
  std::vector<uint16_t> w(std::max<size_t>(static_cast<size_t>(c.bytes / 2), c.word + 1), 0);
  w[c.word] = c.value;
  EXPECT_EQ(c.get(ConfigFromRecord(w, c.bytes)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, IsaRecordWord, ::testing::ValuesIn(kWords),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(IsaRecord, DelayGroupsOfTheLongRecord) {
  std::vector<uint16_t> w(80, 0);
  w[74] = 0x83;   // group A: 3 inputs, option "Panel Config"
  w[75] = 2000;   // detection
  w[76] = 1;      // clearance below the shortest delay
  w[77] = 0x0F;   // group B: 15 inputs
  w[78] = 65000;  // beyond the longest delay
  w[79] = 20;
  const IsaConfig c = ConfigFromRecord(w, 160);
  EXPECT_EQ(c.GrpOpt, 0x80);
  EXPECT_EQ(c.Groups[0].First, 10);
  EXPECT_EQ(c.Groups[0].Last, 12);
  EXPECT_EQ(c.Groups[0].Det, 2000u);
  EXPECT_EQ(c.Groups[0].Clr, 3u);
  EXPECT_EQ(c.Groups[1].First, 10);
  EXPECT_EQ(c.Groups[1].Last, 24);
  EXPECT_EQ(c.Groups[1].Det, 60000u);
  EXPECT_EQ(c.Groups[1].Clr, 20u);

  w[74] = 0x80;  // no delayed inputs
  EXPECT_LT(ConfigFromRecord(w, 160).Groups[0].Last, ConfigFromRecord(w, 160).Groups[0].First);
  EXPECT_LT(ConfigFromRecord(w, 148).Groups[1].Last, 1) << "the shorter record has no delay groups";
}

// Every bitmap differently patterned, so a swapped field shows.
IsaConfig Patterned() {
  IsaConfig c;
  uint64_t p = 0x0123456789ABCDEFull;
  auto next = [&p] { return p = p * 6364136223846793005ull + 1442695040888963407ull; };
  for (IsaLook* l : {&c.Alm, &c.Mom, &c.Ack, &c.Rng})
    for (uint64_t IsaLook::*f : {&IsaLook::Red, &IsaLook::Grn, &IsaLook::Blu, &IsaLook::Sld, &IsaLook::Bln,
                                 &IsaLook::Buz, &IsaLook::Ro1, &IsaLook::Ro2})
      l->*f = next();
  c.SilLck = next();
  c.AutRes = next();
  c.InpInv = next();
  c.AlmTim = 17;
  c.RngTim = 250;
  c.TstBtn = 0xA5;
  c.HrnBtn = 0x5A;
  c.GrpOpt = 0x80;
  c.Groups[0] = {5, 12, 1500, 700};
  c.Groups[1] = {23, 24, 10000, 60000};
  return c;
}

struct TripCase {
  int bytes;
  uint64_t inputs;  // inputs the layout carries
  bool blue;
  uint64_t inverted;
  bool groups;
};

void PrintTo(const TripCase& t, std::ostream* os) { *os << t.bytes << " bytes"; }

class IsaRecordTrip : public ::testing::TestWithParam<TripCase> {};

TEST_P(IsaRecordTrip, RecordKeepsWhatItsLayoutCarries) {
  const TripCase& t = GetParam();
  const IsaConfig in = Patterned();
  const std::vector<uint16_t> w = RecordFromConfig(in, t.bytes);
  ASSERT_EQ(w.size(), static_cast<size_t>(t.bytes / 2));
  const IsaConfig out = ConfigFromRecord(w, t.bytes);
  const std::pair<const IsaLook*, const IsaLook*> looks[] = {
      {&in.Alm, &out.Alm}, {&in.Mom, &out.Mom}, {&in.Ack, &out.Ack}, {&in.Rng, &out.Rng}};
  for (const auto& [a, b] : looks) {
    EXPECT_EQ(b->Red, a->Red & t.inputs);
    EXPECT_EQ(b->Grn, a->Grn & t.inputs);
    EXPECT_EQ(b->Blu, t.blue ? a->Blu & t.inputs : 0);
    EXPECT_EQ(b->Sld, a->Sld & t.inputs);
    EXPECT_EQ(b->Bln, a->Bln & t.inputs);
    EXPECT_EQ(b->Buz, a->Buz & t.inputs);
    EXPECT_EQ(b->Ro1, a->Ro1 & t.inputs);
    EXPECT_EQ(b->Ro2, a->Ro2 & t.inputs);
  }
  EXPECT_EQ(out.SilLck, in.SilLck & t.inputs);
  EXPECT_EQ(out.AutRes, in.AutRes & t.inputs);
  EXPECT_EQ(out.InpInv, in.InpInv & t.inverted);
  EXPECT_EQ(out.AlmTim, in.AlmTim);
  EXPECT_EQ(out.RngTim, in.RngTim);
  EXPECT_EQ(out.TstBtn, in.TstBtn);
  EXPECT_EQ(out.HrnBtn, in.HrnBtn);
  if (t.groups) {
    EXPECT_EQ(out.GrpOpt, in.GrpOpt);
    for (size_t g = 0; g < 2; ++g) {
      EXPECT_EQ(out.Groups[g].First, in.Groups[g].First);
      EXPECT_EQ(out.Groups[g].Last, in.Groups[g].Last);
      EXPECT_EQ(out.Groups[g].Det, in.Groups[g].Det);
      EXPECT_EQ(out.Groups[g].Clr, in.Groups[g].Clr);
    }
  } else {
    EXPECT_LT(out.Groups[0].Last, out.Groups[0].First);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, IsaRecordTrip,
                         ::testing::Values(TripCase{64, 0xFFFF, false, 0, false},
                                           TripCase{66, 0xFFFF, false, 0xFFFF, false},
                                           TripCase{142, 0xFFFFFFFF, true, 0, false},
                                           TripCase{148, 0xFFFFFFFF, true, 0xFFFFFF, false},
                                           TripCase{160, 0xFFFFFFFF, true, 0xFFFFFF, true},
                                           TripCase{210, 0xFFFFFFFFF, true, 0, false}),
                         [](const auto& i) { return "Bytes" + std::to_string(i.param.bytes); });

TEST(IsaRecord, FixedSequenceFollowsHornAndBellSelection) {
  const IsaConfig c = FixedConfig(16, 0x0003, 0x0104);
  EXPECT_EQ(c.Alm.Red, 0xFFFFu);
  EXPECT_EQ(c.Alm.Ro1, 0x0003u);
  EXPECT_EQ(c.Alm.Ro2, 0x0104u);
  EXPECT_EQ(c.Mom.Ro1, 0x0003u);
  EXPECT_EQ(c.Ack.Grn, 0xFFFFu);
  EXPECT_EQ(c.Rng.Red | c.Rng.Grn | c.Rng.Blu, 0u) << "acknowledged inputs wait for RESET";
  EXPECT_EQ(c.AutRes, 0u);
  EXPECT_EQ(FixedConfig(8, 0xFFFF, 0).Alm.Ro1, 0xFFu) << "selection bits beyond the inputs are dropped";
}

}  // namespace
}  // namespace vex::emu
