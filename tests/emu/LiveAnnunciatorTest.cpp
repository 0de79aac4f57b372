// The live annunciator seen through its registers: status records of every model, events
// at 2560, keys on register 15, forced inputs, the sample ring and the analog blocks.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "comm/Event.h"
#include "emu/Annunciator.h"
#include "emu/Device.h"
#include "emu/IsaEngine.h"
#include "emu/IsaRecord.h"
#include "emu/LiveBase.h"
#include "tests/emu/DeviceRig.h"

namespace vex::emu {
namespace {

// A device driven straight through its register map, with the panel's keys and inputs.
struct Rig : DeviceRig {
  using DeviceRig::DeviceRig;
  int Cmd(uint16_t w) {  // as the master sends a command: 0, then the word
    Write(15, {0});
    return Write(15, {w});
  }
  int Coil(uint16_t a, bool v) { return d->WriteBits(Space::Coil, a, {v}); }
  void Input(int n, bool on) { d->SetInput(n, on); }
  tVexEvn Event() { return tVexEvn::FromWords(Read(2560, 13).data()); }
};

// Word k of input group g in the status records from 48 (Tim, Dat, StaFlg, then eleven
// words per group: Onn, Akt, Hld, Sil, Alm, Mom, Ack, Rnb, Red, Grn, Blu).
enum Word { Onn, Akt, Hld, Sil, Alm, Mom, Ack, Rnb, Red, Grn, Blu };

struct ModelCase {
  const char* model;
  int edition;
  int input;
  uint16_t statusAt, words;
  bool ringback;  // the factory sequence has a ring back state
};

void PrintTo(const ModelCase& m, std::ostream* os) { *os << m.model << "/" << m.edition; }

const ModelCase kModels[] = {
    {"vex324", 8, 24, 48, 26, true},  {"vex324", 4, 1, 48, 26, true},   {"vex924", -1, 17, 48, 26, true},
    {"vex932", -1, 32, 48, 26, true}, {"vex936", -1, 33, 48, 37, true}, {"vex936", -1, 36, 48, 37, true},
    {"vex216", 9, 16, 48, 14, true},  {"vex308", 14, 8, 48, 14, true},  {"vex316", 17, 3, 48, 14, true},
    {"vex216", 1, 2, 32, 14, false},
};

class LiveModel : public ::testing::TestWithParam<ModelCase> {};

// Alarm, acknowledge, return to normal (ring back or held), reset, on the status words.
TEST_P(LiveModel, AlarmAcknowledgeRingbackResetInTheStatusRecord) {
  const ModelCase& m = GetParam();
  Rig r(m.model, m.edition);
  const int g = (m.input - 1) / 16;
  const uint16_t bit = static_cast<uint16_t>(1u << ((m.input - 1) % 16));
  auto word = [&](const std::vector<uint16_t>& s, Word w) {
    return s[static_cast<size_t>(3 + 1 + 11 * g + w)];
  };
  int ex = 0;
  r.Read(m.statusAt, m.words, &ex);
  EXPECT_EQ(ex, 0);
  r.Read(m.statusAt, static_cast<uint16_t>(m.words + 1), &ex);
  EXPECT_NE(ex, 0) << "the record ends after " << m.words << " words";

  r.Input(m.input, true);
  r.Pass(10);
  EXPECT_EQ(word(r.Read(m.statusAt, m.words), Onn), 0) << "within the detection time";
  r.Pass(10);
  auto s = r.Read(m.statusAt, m.words);
  EXPECT_EQ(word(s, Onn), bit);
  EXPECT_EQ(word(s, Akt), bit);
  EXPECT_EQ(word(s, Hld), bit);
  EXPECT_EQ(word(s, Sil), bit);
  EXPECT_EQ(word(s, Alm), bit);
  EXPECT_EQ(word(s, Red), bit) << "lit in the first half of its flash period";
  EXPECT_TRUE(s[3] & cOt1Onn);
  EXPECT_TRUE(s[3] & cHrnEnb);

  EXPECT_EQ(r.Cmd(0x84), 0);  // ACK
  s = r.Read(m.statusAt, m.words);
  EXPECT_EQ(word(s, Alm), 0);
  EXPECT_EQ(word(s, Akt), 0);
  EXPECT_EQ(word(s, Ack), bit);
  EXPECT_EQ(word(s, Sil), 0);
  EXPECT_FALSE(s[3] & cOt1Onn);

  r.Input(m.input, false);
  r.Pass(20);
  s = r.Read(m.statusAt, m.words);
  EXPECT_EQ(word(s, Onn), 0);
  // back to normal: ringback, or acknowledged and waiting for RESET; both read "Acked Normal"
  EXPECT_EQ(word(s, Rnb), bit);
  EXPECT_EQ(word(s, Ack), 0);
  EXPECT_EQ(word(s, Hld), bit);

  EXPECT_EQ(r.Cmd(0x81), 0);  // RESET
  s = r.Read(m.statusAt, m.words);
  for (int w = Onn; w <= Blu && 4 + 11 * g + w < m.words; ++w) EXPECT_EQ(word(s, Word(w)), 0) << "word " << w;
}

INSTANTIATE_TEST_SUITE_P(Models, LiveModel, ::testing::ValuesIn(kModels), [](const auto& i) {
  const ModelCase& m = i.param;
  return std::string(m.model) + (m.edition >= 0 ? "Edition" + std::to_string(m.edition) : "") + "Input" +
         std::to_string(m.input);
});

TEST(LiveAnnunciator, EventsAreNumberedAndCarryTheDeviceClock) {
  Rig r("vex324");
  tVexEvn e = r.Event();
  EXPECT_EQ(e.Seq, 1u);
  EXPECT_EQ(e.Typ, evPower);
  r.Input(3, true);
  r.Input(4, true);
  r.Pass(20);
  e = r.Event();
  EXPECT_EQ(e.Seq, 2u) << "inputs detected together make one event";
  EXPECT_EQ(e.Typ, evAlarm);
  EXPECT_EQ(e.Dif01, 0x000C);
  EXPECT_EQ(e.Reg01, 0x000C);
  EXPECT_EQ(e.Dat, r.d->Clock().dat);
  r.Cmd(0x84);
  e = r.Event();
  EXPECT_EQ(e.Seq, 3u);
  EXPECT_EQ(e.Typ, evAcknowledge);
  r.Input(4, false);
  r.Pass(20);
  e = r.Event();
  EXPECT_EQ(e.Seq, 4u);
  EXPECT_EQ(e.Typ, evRingback);
  EXPECT_EQ(e.Dif01, 0x0008);
  r.Cmd(0x81);
  e = r.Event();
  EXPECT_EQ(e.Seq, 5u);
  EXPECT_EQ(e.Typ, evReset);

  // Erase: the log empties, the numbering carries on.
  r.Write(15, {0x1234});
  r.Write(15, {0xF417});
  e = r.Event();
  EXPECT_EQ(e.Typ, 9);
  EXPECT_EQ(e.Seq, 6u);
}

// The simulator screens read the event block on every poll and show every record whose
// Seq is not 0, so a read delivers the latest records no earlier read delivered, oldest
// first, and empty records after them.
struct DeliveryCase {
  const char* model;
  size_t records;             // records at 2560
  int clockWrites;            // each logs a TIME VALID event after the POWER event (Seq 1)
  std::vector<uint32_t> seq;  // Seq of the records the first read shows
};

const DeliveryCase kDelivery[] = {
    {"vex324", 1, 0, {1}},         {"vex324", 1, 2, {3}},       {"vex936", 1, 1, {2}},
    {"tord48", 4, 0, {1}},         {"tord48", 4, 2, {1, 2, 3}}, {"tord48", 4, 5, {3, 4, 5, 6}},
    {"vald3", 4, 3, {1, 2, 3, 4}},
};

TEST(LiveEvents, EachRecordIsDeliveredOnce) {
  for (const DeliveryCase& c : kDelivery) {
    SCOPED_TRACE(std::string(c.model) + " after " + std::to_string(c.clockWrites) + " clock writes");
    Rig r(c.model);
    const auto words = static_cast<uint16_t>(13 * c.records);
    auto seqs = [&] {
      const auto w = r.Read(2560, words);
      std::vector<uint32_t> v;
      for (size_t k = 0; k < c.records; ++k) v.push_back(tVexEvn::FromWords(w.data() + 13 * k).Seq);
      return v;
    };
    for (int i = 0; i < c.clockWrites; ++i)
      ASSERT_EQ(r.Write(48, {0, 0, static_cast<uint16_t>(9000 + i)}), 0);
    std::vector<uint32_t> want = c.seq;
    want.resize(c.records, 0);
    EXPECT_EQ(seqs(), want);
    EXPECT_EQ(seqs(), std::vector<uint32_t>(c.records, 0)) << "nothing new: empty records";
    ASSERT_EQ(r.Write(48, {0, 0, 9100}), 0);
    const auto w = r.Read(2560, words);
    const tVexEvn e = tVexEvn::FromWords(w.data());
    EXPECT_EQ(e.Seq, static_cast<uint32_t>(c.clockWrites + 2));
    EXPECT_EQ(e.Typ, evTimeValid);
    EXPECT_EQ(e.Dat, 9100);
  }
}

TEST(LiveAnnunciator, KeysOfTheFirstGenerationAndItsStatusRecord) {
  Rig r("vex215");
  r.Input(1, true);
  r.Pass(20);
  auto s = r.Read(32, 6);
  EXPECT_EQ(s[0], 0x0001);    // Onn
  EXPECT_EQ(s[1], 0x0001);    // Akt
  EXPECT_EQ(s[2], 0x0001);    // Hld
  EXPECT_EQ(s[4], 0xFFFF);    // SelHrn: the factory horn selection
  EXPECT_EQ(r.Cmd(0x44), 0);  // ACK
  s = r.Read(32, 6);
  EXPECT_EQ(s[1], 0);
  EXPECT_EQ(s[2], 0x0001);
  EXPECT_EQ(r.Cmd(0x33), 0);  // TEST: every window lit on the panel view
  EXPECT_TRUE(r.Reg(35) & cTstPnd);
  EXPECT_EQ(r.Cmd(0x55), 0);
  EXPECT_FALSE(r.Reg(35) & cTstPnd);
}

TEST(LiveAnnunciator, LegacyStatusRecordCarriesColoursAndSelections) {
  Rig r("vex216", 11);
  r.Unlock();
  r.Write(16, {0x0001, 0x0002});  // HrnSel, BelSel
  r.Input(2, true);
  r.Pass(20);
  auto s = r.Read(32, 9);
  EXPECT_EQ(s[0], 0x0002);
  EXPECT_EQ(s[4], 0x0001);
  EXPECT_EQ(s[5], 0x0002);
  EXPECT_EQ(s[7], 0x0002) << "red while alarmed";
  EXPECT_TRUE(s[3] & cOt2Onn) << "input 2 is selected for the bell";
  EXPECT_FALSE(s[3] & cOt1Onn);
  r.Cmd(0x84);
  s = r.Read(32, 9);
  EXPECT_EQ(s[7], 0);
  EXPECT_EQ(s[8], 0x0002) << "green when acknowledged";
}

// The simulator screen of the 8/16-input family picks its record by the edition it knows
// (1: 14 words at 32; 2..10, 12, 15, 40, 42: 14 words at 48; else 9 words at 32) and the
// configuration editor reads the state at 35 on every edition, so each edition serves the
// records such a screen may read, all showing the same input.
struct FamilyCase {
  const char* model;
  int edition;
  uint16_t at32;  // words of the record at 32
  uint16_t at48;  // words of the record at 48 (0 = none)
  int input;
};

void PrintTo(const FamilyCase& c, std::ostream* os) { *os << c.model << "/" << c.edition; }

const FamilyCase kFamily[] = {
    {"vex216", 9, 9, 14, 5},  {"vex216", 1, 14, 0, 5},  {"vex216", 11, 9, 0, 16}, {"vex308", 14, 9, 14, 8},
    {"vex308", 1, 14, 14, 1}, {"vex308", 16, 9, 14, 3}, {"vex316", 17, 9, 14, 2}, {"vex316", 3, 9, 0, 12},
};

class LiveFamily : public ::testing::TestWithParam<FamilyCase> {};

TEST_P(LiveFamily, RecordsAt32And48ShowTheSameInput) {
  const FamilyCase& c = GetParam();
  Rig r(c.model, c.edition);
  const uint16_t bit = static_cast<uint16_t>(1u << (c.input - 1));
  r.Input(c.input, true);
  r.Pass(20);
  // Onn is word 0 of the 9-word record and word 3 of the 14-word one; StaFlg always at 35.
  const size_t onn32 = c.at32 == 9 ? 0 : 4;
  int ex = 0;
  const auto s32 = r.Read(32, c.at32, &ex);
  ASSERT_EQ(ex, 0);
  EXPECT_EQ(s32[onn32], bit);
  EXPECT_EQ(s32[3] & 7, cTstGod);
  EXPECT_TRUE(s32[3] & cOt1Onn) << "the factory sequence sounds the horn";
  r.Read(32, static_cast<uint16_t>(c.at32 + 1), &ex);
  EXPECT_NE(ex, 0) << "the record at 32 ends after " << c.at32 << " words";
  r.Read(48, 14, &ex);
  if (!c.at48) {
    EXPECT_NE(ex, 0);
    return;
  }
  ASSERT_EQ(ex, 0);
  const auto s48 = r.Read(48, c.at48);
  EXPECT_EQ(s48[4], bit);
  EXPECT_EQ(s48[3], s32[3]);
  EXPECT_NE(r.Write(33, {0}), 0) << "the status records are read only";
}

INSTANTIATE_TEST_SUITE_P(Editions, LiveFamily, ::testing::ValuesIn(kFamily), [](const auto& i) {
  return std::string(i.param.model) + "Edition" + std::to_string(i.param.edition);
});

// On sequence firmware the legacy record's horn and bell selections come from the First
// Alarm outputs of the sequence record.
TEST(LiveAnnunciator, LegacyRecordOfSequenceFirmwareShowsTheOutputSelections) {
  Rig r("vex308", 14);
  IsaConfig c = ConfigFromRecord(r.d->Sequence(), 66);
  c.Alm.Ro1 = 0x05;
  c.Alm.Ro2 = 0x82;
  r.Unlock();
  ASSERT_EQ(r.Write(128, RecordFromConfig(c, 66)), 0);
  r.Pass(10);
  const auto s = r.Read(32, 9);
  EXPECT_EQ(s[4], 0x05);
  EXPECT_EQ(s[5], 0x82);
}

TEST(LiveAnnunciator, TestKeyLightsEveryWindowWhileRepeated) {
  Rig r("vex936");
  EXPECT_EQ(r.Cmd(0x83), 0);
  auto s = r.Read(48, 37);
  EXPECT_TRUE(s[3] & cTstPnd);
  for (int g = 0; g < 3; ++g) {
    const uint16_t all = g < 2 ? 0xFFFF : 0x000F;
    EXPECT_EQ(s[4 + 11 * g + Red], all);
    EXPECT_EQ(s[4 + 11 * g + Grn], all);
    EXPECT_EQ(s[4 + 11 * g + Blu], all);
  }
  r.Pass(IsaEngine::cTestHoldMs + 20);  // the master stopped repeating it
  EXPECT_FALSE(r.Reg(51) & cTstPnd);
  r.Cmd(0x83);
  r.Cmd(0x85);
  EXPECT_FALSE(r.Reg(51) & cTstPnd);
}

TEST(LiveAnnunciator, WindowPressAndUnknownKeys) {
  Rig r("vex324");
  r.Input(2, true);
  r.Input(7, true);
  r.Pass(20);
  EXPECT_EQ(r.Cmd(7), 0);
  auto s = r.Read(48, 26);
  EXPECT_EQ(s[4 + Ack], 0x0040);
  EXPECT_EQ(s[4 + Alm], 0x0002);
}

TEST(LiveAnnunciator, SequenceRecordEditsTakeEffect) {
  Rig r("vex324", 8);
  // Invert input 1 (normally closed contact): with its contact open it is abnormal.
  IsaConfig c = ConfigFromRecord(r.d->Sequence(), 160);
  c.InpInv = 0x1;
  c.AlmTim = 1;
  c.HrnBtn |= cAlmTimOut1;  // the timer also silences the horn relay
  const std::vector<uint16_t> w = RecordFromConfig(c, 160);
  r.Unlock();
  ASSERT_EQ(r.Write(128, w), 0);
  r.Pass(20);
  auto s = r.Read(48, 26);
  EXPECT_EQ(s[4 + Alm], 0x0001);
  EXPECT_EQ(s[3] & 7, cTstCfg) << "the edit is not stored yet";
  r.Pass(1000);
  EXPECT_EQ(r.Read(48, 26)[4 + Sil], 0) << "auto alarm silence after one second";
  r.Input(1, true);
  r.Pass(20);
  EXPECT_EQ(r.Read(48, 26)[4 + Mom], 0x0001);
  // Storing the configuration is an event.
  r.Write(15, {0});
  r.Write(15, {0x1234});
  r.Write(15, {0x8888});
  r.Pass(10);
  EXPECT_EQ(r.Event().Typ, evConfig);
}

TEST(LiveAnnunciator, DetectionTimeComesFromItsRegister) {
  Rig r("vex932");
  r.Unlock();
  ASSERT_EQ(r.Write(16, {100, 40}), 0);  // SetTmo, ClrTmo
  r.Input(20, true);
  r.Pass(90);
  EXPECT_EQ(r.Reg(48 + 15), 0);  // Gi2Onn
  r.Pass(10);
  EXPECT_EQ(r.Reg(48 + 15), 0x0008);
  r.Input(20, false);
  r.Pass(30);
  EXPECT_EQ(r.Reg(48 + 15), 0x0008);
  r.Pass(10);
  EXPECT_EQ(r.Reg(48 + 15), 0);
}

TEST(LiveAnnunciator, ClockSettingIsLoggedAndShown) {
  Rig r("vex924");
  EXPECT_FALSE(r.Reg(51) & cTimSyn);
  ASSERT_EQ(r.Write(48, {0x5678, 0x0012, 9000}), 0);
  EXPECT_TRUE(r.Reg(51) & cTimSyn);
  const tVexEvn e = r.Event();
  EXPECT_EQ(e.Typ, evTimeValid);
  EXPECT_EQ(e.Dat, 9000);
  EXPECT_GE(e.Tim, 0x125678u);
  EXPECT_EQ(r.Reg(50), 9000);
}

TEST(LiveAnnunciator, RestartIsAPowerUp) {
  Rig r("vex324");
  r.Input(1, true);
  r.Pass(20);
  r.Cmd(0x84);
  const uint32_t seq = r.Event().Seq;
  r.Write(15, {0});
  r.Write(15, {0x1234});
  r.Write(15, {0x9999});
  r.Pass(20);
  const tVexEvn e = r.Event();
  EXPECT_EQ(e.Seq, seq + 2) << "power-up, then the input still on alarms afresh";
  EXPECT_EQ(e.Typ, evAlarm);
  EXPECT_EQ(r.Read(48, 26)[4 + Alm], 0x0001);
}

// ---- forced inputs ----

TEST(LiveAnnunciator, CoilsForceInputsAndRequestActivation) {
  Rig r("vex924");
  r.Input(1, true);
  r.Pass(20);
  EXPECT_EQ(r.Coil(0xB000 + 4, true), 0);  // input 5 on
  EXPECT_TRUE(r.Reg(51) & cVirMod);
  r.Pass(20);
  auto s = r.Read(48, 26);
  EXPECT_EQ(s[4 + Onn], 0x0011) << "input 1 keeps its state, input 5 forced on";
  r.Input(1, false);  // field contacts no longer count
  r.Input(9, true);
  r.Pass(20);
  EXPECT_EQ(r.Read(48, 26)[4 + Onn], 0x0011);
  std::vector<bool> coils;
  ASSERT_EQ(r.d->ReadBits(Space::Coil, 0xB000, 6, coils), 0);
  EXPECT_EQ(coils, (std::vector<bool>{true, false, false, false, true, false}));

  EXPECT_EQ(r.Coil(0xB100 + 23, true), 0);  // activation request of input 24
  EXPECT_EQ(r.Read(48, 26)[15 + Alm], 0x0080);
  r.Pass(10);
  s = r.Read(48, 26);
  EXPECT_EQ(s[15 + Mom], 0x0080) << "a momentary alarm";
  EXPECT_EQ(s[15 + Onn], 0);
  EXPECT_NE(r.Coil(0xB000 + 24, true), 0) << "no input 25";
}

struct RemoteCase {
  const char* name;
  const char* model;
  std::vector<uint16_t> record;
  uint64_t onn;  // detected inputs afterwards
  uint64_t alm;  // alarms raised
};

void PrintTo(const RemoteCase& c, std::ostream* os) { *os << c.name; }

uint16_t Chk(uint16_t a, uint16_t b, uint16_t c = 0) { return static_cast<uint16_t>(~(a ^ b ^ c)); }

const RemoteCase kRemote[] = {
    {"States", "vex932", {0x0005, 0, 0x8000, 0, Chk(0x0005, 0x8000), 0}, 0x80000005, 0x80000005},
    {"StatesWithBadCheck", "vex932", {0x0005, 0, 0x8000, 0, 0x1234, 0}, 0, 0},
    {"Activation", "vex924", {0, 0x0002, 0, 0x0001, 0, Chk(0x0002, 0x0001)}, 0, 0x00010002},
    {"ActivationWithBadCheck", "vex924", {0, 0x0002, 0, 0x0001, 0, 0}, 0, 0},
    {"ThirdGroupAfterChecks",
     "vex936",
     {0x0001, 0, 0, 0, Chk(1, 0, 0x8), 0, 0x0008, 0},
     0x800000001,
     0x800000001},
    {"ThirdGroupBeforeChecks",
     "vex936",
     {0x0001, 0, 0, 0, 0x0008, 0, Chk(1, 0, 0x8), 0},
     0x800000001,
     0x800000001},
};

class LiveRemote : public ::testing::TestWithParam<RemoteCase> {};

TEST_P(LiveRemote, RecordHalvesApplyWhenTheirCheckWordFits) {
  const RemoteCase& c = GetParam();
  Rig r(c.model);
  ASSERT_EQ(r.Write(0xD00, c.record), 0);
  r.Pass(20);
  const uint16_t words = c.record.size() == 8 ? 37 : 26;
  auto s = r.Read(48, words);
  uint64_t onn = 0, hld = 0;
  for (int g = 0; g * 11 + 4 < words; ++g) {
    onn |= static_cast<uint64_t>(s[4 + 11 * g + Onn]) << (16 * g);
    hld |= static_cast<uint64_t>(s[4 + 11 * g + Hld]) << (16 * g);
  }
  EXPECT_EQ(onn, c.onn);
  EXPECT_EQ(hld, c.alm);
}

INSTANTIATE_TEST_SUITE_P(Records, LiveRemote, ::testing::ValuesIn(kRemote),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(LiveAnnunciator, DisplayOnlyFirmwareIgnoresFieldInputs) {
  Rig r("vex308", 40);
  EXPECT_TRUE(r.Reg(51) & cVirMod);
  r.Input(1, true);
  r.Pass(20);
  EXPECT_EQ(r.Reg(48 + 4), 0);
  EXPECT_EQ(r.Coil(0xB000 + 2, true), 0);
  r.Pass(20);
  EXPECT_EQ(r.Reg(48 + 4), 0x0004);
}

TEST(LiveAnnunciator, RemoteRecordOfTheSixteenInputModel) {
  Rig r("vex216", 20);
  ASSERT_EQ(r.Write(0xD00, {0x0009, 0x0009, 0, 0}), 0);  // states and their copy
  r.Pass(20);
  EXPECT_EQ(r.Reg(32), 0x0009);
  EXPECT_TRUE(r.Reg(35) & cVirMod);
  ASSERT_EQ(r.Write(0xD00, {0, 0x000F, 0x0100, 0x0100}), 0);  // activation of input 9 only
  EXPECT_EQ(r.Reg(32), 0x0009);
  EXPECT_EQ(r.Reg(33), 0x0109);
}

// ---- sample ring, time stamp and oscillator of the 8/16-input models ----

TEST(LiveAnnunciator, SampleRingDeliversEachSampleOnce) {
  Rig r("vex216", 9);
  r.Input(3, true);
  r.Pass(20);
  r.Cmd(0x84);
  auto ring = r.Read(0x900, 19);
  EXPECT_EQ(ring[2], 2) << "samples taken";
  EXPECT_EQ(ring[3] >> 14, 3) << "SET";
  EXPECT_EQ(ring[4], 0x0004);
  EXPECT_EQ(ring[5] >> 14, 2) << "ACKNOWLEDGE";
  EXPECT_EQ(ring[6], 0x0004);
  EXPECT_EQ(ring[7], 0);
  EXPECT_EQ(ring[8], 0);
  EXPECT_EQ(static_cast<uint16_t>((ring[1] - (ring[5] & 0x3FFF)) & 0x3FFF), 0) << "stamped now";
  ring = r.Read(0x900, 19);
  EXPECT_EQ(ring[4], 0) << "already delivered";

  r.Input(3, false);
  r.Pass(20);
  r.Cmd(0x81);
  EXPECT_EQ(r.Read(0x900, 5)[4], 0x0004) << "a partial read only looks";
  ring = r.Read(0x900, 19);
  EXPECT_EQ(ring[3] >> 14, 0) << "CLEAR (ring back)";
  EXPECT_EQ(ring[5] >> 14, 1) << "RESET";
}

TEST(LiveAnnunciator, SampleRingKeepsTheNewestEight) {
  Rig r("vex308", 14);
  for (int i = 0; i < 5; ++i) {
    r.Input(1, true);
    r.Pass(20);
    r.Input(1, false);
    r.Pass(20);
  }
  const auto ring = r.Read(0x900, 19);
  EXPECT_EQ(ring[2], 10);
  for (int j = 0; j < 8; ++j) EXPECT_EQ(ring[4 + 2 * j], 0x0001) << j;
  EXPECT_EQ(ring[3] >> 14, 3) << "the oldest two are gone: the ring starts with a SET";
}

TEST(LiveAnnunciator, TimeStampSetsTheFourteenBitClock) {
  Rig r("vex216", 9);
  EXPECT_FALSE(r.Reg(51) & cTimVld);
  ASSERT_EQ(r.Write(0x900, {16380}), 0);
  auto s = r.Read(48, 14);
  EXPECT_TRUE(s[3] & cTimVld);
  EXPECT_TRUE(s[3] & cTimSyn2);
  r.Pass(10);
  EXPECT_EQ(r.Read(0x900, 2)[1], 6) << "wraps at 16384";
  r.Pass(Annunciator::cStampSyncMs);
  EXPECT_TRUE(r.Reg(51) & cTimVld);
  EXPECT_FALSE(r.Reg(51) & cTimSyn2) << "no stamp for too long";
  int ex = 0;
  r.Read(0x901, 1, &ex);
  EXPECT_EQ(ex, 0);
  EXPECT_NE(r.Write(0x901, {1}), 0);
}

TEST(LiveAnnunciator, OscillatorTrimWithinItsRange) {
  Rig r("vex216", 22);
  EXPECT_EQ(r.Write(113, {static_cast<uint16_t>(-5)}), 0);
  auto tun = r.Read(112, 13);
  EXPECT_EQ(static_cast<int16_t>(tun[1]), -5);
  EXPECT_NE(r.Write(113, {32}), 0);
  EXPECT_NE(r.Write(113, {static_cast<uint16_t>(-33)}), 0);
  EXPECT_EQ(static_cast<int16_t>(r.Reg(113)), -5);
  const auto exo = r.Read(96, 6);
  EXPECT_EQ((exo[0] >> 4) & 7, 7) << "external oscillator on this edition";
  EXPECT_TRUE(r.Reg(35) & cOscExt);
}

// ---- analog front end ----

struct SetCase {
  uint16_t reg, value;
  bool ok;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << "Register" << c.reg << "Value" << c.value; }

class LiveSetPoint : public ::testing::TestWithParam<SetCase> {};

TEST_P(LiveSetPoint, WritesWithinTheRangeOnly) {
  const SetCase& c = GetParam();
  Rig r("vex316", 17);
  const uint16_t before = r.Reg(c.reg);
  const int ex = r.Write(c.reg, {c.value});
  EXPECT_EQ(ex == 0, c.ok);
  EXPECT_EQ(r.Reg(c.reg), c.ok ? c.value : before);
}

INSTANTIATE_TEST_SUITE_P(Ranges, LiveSetPoint,
                         ::testing::Values(SetCase{1536, 3900, true}, SetCase{1536, 4200, true},
                                           SetCase{1536, 3899, false}, SetCase{1536, 4201, false},
                                           SetCase{1537, 300, true}, SetCase{1537, 301, false},
                                           SetCase{1538, 100, true}, SetCase{1538, 101, false},
                                           SetCase{1539, 10000, true}, SetCase{1539, 10001, false}),
                         ::testing::PrintToStringParamName());

TEST(LiveAnnunciator, AnalogValuesFollowInputsAndSetPoints) {
  Rig r("vex316", 17);
  r.Input(4, true);
  auto v = r.Read(1280, 35);
  EXPECT_GT(v[3], 5) << "a closed contact reads high";
  for (int ch : {0, 1, 2, 5, 15}) EXPECT_LE(v[static_cast<size_t>(ch)], 5) << ch;
  EXPECT_EQ(v[20], 4096) << "RefSet follows FvrSet";
  ASSERT_EQ(r.Write(1536, {4000}), 0);
  ASSERT_EQ(r.Write(1537, {20}), 0);
  v = r.Read(1280, 35);
  EXPECT_EQ(v[20], 4000);
  EXPECT_EQ(v[25], 200) << "CurSet in tenths";
  int ex = 0;
  r.Read(1280, 36, &ex);
  EXPECT_NE(ex, 0);
}

}  // namespace
}  // namespace vex::emu
