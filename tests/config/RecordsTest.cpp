// Device records as registers: word layout, variant layouts, bitmap addressing, time encoding.
#include <gtest/gtest.h>

#include <random>

#include "config/Vex215type.h"
#include "config/Vex216type.h"
#include "config/Vex308type.h"
#include "config/Vex316type.h"
#include "config/Vex324type.h"
#include "config/Vex733type.h"
#include "config/Vex748type.h"
#include "config/Vex924type.h"
#include "config/Vex932type.h"
#include "config/Vex936type.h"

namespace vex {
namespace {

// ---- word conversion ---------------------------------------------------------------

TEST(RecordWords, BytePairSharesOneRegisterLowByteFirst) {
  tVex324is4 r = Zeroed<tVex324is4>();
  r.TstBtn = 0x07;
  r.HrnBtn = 0x09;
  const auto w = ToWords(r);
  ASSERT_EQ(w.size(), 71u);
  EXPECT_EQ(w[70], 0x0907);  // TstBtn is the low byte of register 128+70
}

TEST(RecordWords, OddOffsetByteIsHighByte) {
  tVex324isa r = Zeroed<tVex324isa>();
  r.In2Inv = 0xAB;  // offset 144
  r.DimTim = 0xCD;  // offset 145
  r.DimBrg = 0x17;  // 146
  r.DimLev = 0x1E;  // 147
  const auto w = ToWords(r);
  EXPECT_EQ(w[72], 0xCDAB);
  EXPECT_EQ(w[73], 0x1E17);
}

TEST(RecordWords, ThirtyTwoBitFieldLowWordFirst) {
  std::vector<uint16_t> w(26, 0);
  w[0] = 0x5678;   // register 48
  w[1] = 0x0012;   // register 49
  w[2] = 8800;     // Dat
  w[3] = 0x0801;   // StaFlg
  w[4] = 0x0001;   // GirOnn
  w[15] = 0x0001;  // Gi2Onn: input 17
  const auto s = FromWords<tVex324sta>(w);
  EXPECT_EQ(uint32_t{s.Tim}, 0x5678u + 65536u * 0x12u);
  EXPECT_EQ(s.Dat, 8800);
  EXPECT_EQ(s.StaFlg & cOtsOnn, cOtsOnn);
  EXPECT_EQ(s.GirOnn, 1);
  EXPECT_EQ(s.Gi2Onn, 1);
  EXPECT_EQ(ToWords(s), w);
}

TEST(RecordWords, HeldAfterAByteARecordStaysOnARegisterBoundary) {
  struct Holder {
    bool flag;
    tVex324isa isa;
    uint8_t pad;
    tVex216tun tun;
  };
  std::vector<Holder> v(3);
  for (const Holder& h : v) {
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&h.isa.GraDet) % 2, 0u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&h.tun.OscErr) % 2, 0u);
  }
}

TEST(RecordWords, SignedTuningFieldsKeepTheirSign) {
  tVex216tun t = Zeroed<tVex216tun>();
  t.OscErr = -5;
  t.TimLap = 65535;
  const auto w = ToWords(t);
  EXPECT_EQ(w[10], 0xFFFB);
  const auto back = FromWords<tVex216tun>(w);
  EXPECT_EQ(back.OscErr, -5);
  EXPECT_EQ(back.TimLap, 65535);
}

TEST(RecordWords, WrongRegisterCountIsRefused) {
  std::vector<uint16_t> w(25, 0);
  EXPECT_THROW(FromWords<tVex324sta>(w), Exception);
  w.resize(27);
  EXPECT_THROW(FromWords<tVex324sta>(w), Exception);
}

TEST(RecordWords, SampleEntriesAreWordPairs) {
  std::vector<uint16_t> w(19, 0);
  w[1] = 0x1234;   // current tick
  w[3] = 0x8005;   // first entry: kind 2, tick 5
  w[4] = 0x0003;   // inputs 1 and 2
  w[17] = 0x0007;  // last entry's tick
  w[18] = 0x8000;  // input 16
  const auto s = FromWords<tVex216smp>(w);
  EXPECT_EQ(s.Tim, 0x1234);
  EXPECT_EQ(s.Dat[0].Tim, 0x8005);
  EXPECT_EQ(s.Dat[0].Key, 3);
  EXPECT_EQ(s.Dat[7].Tim, 7);
  EXPECT_EQ(s.Dat[7].Key, 0x8000);
}

// Random words survive a trip through every record type unchanged.
template <class R>
class RecordRoundTrip : public ::testing::Test {};
using AllRecords = ::testing::Types<tVex215cfg, tVex215sim, tVex215sta, tVex216cfg, tVex216rtu, tVex216sta,
                                    tVex216isa, tVex216is7, tVex216smp, tVex216tun, tVex216exo, tVex316val,
                                    tVex316set, tVex324cfg, tVex324sta, tVex324tim, tVex324is4, tVex324is7,
                                    tVex324isa, tVex924isa, tVex924dxs, tVex932sta, tVex936sta, tVex936isa,
                                    tVex936dxs, tVex733cfg, tVex733sta, tVex733sek, tVex748sta, tVex748sek>;
TYPED_TEST_SUITE(RecordRoundTrip, AllRecords);

TYPED_TEST(RecordRoundTrip, WordsBackToWords) {
  std::mt19937 rng(1234);
  std::vector<uint16_t> w(RegCount<TypeParam>());
  for (auto& x : w) x = static_cast<uint16_t>(rng());
  const TypeParam r = FromWords<TypeParam>(w);
  EXPECT_EQ(ToWords(r), w);
}

TEST(RecordDump, NamesFieldsInOrder) {
  tVex324cfg c = Zeroed<tVex324cfg>();
  c.ModIdf = 7;
  c.SetTmo = 25;
  const auto d = DumpRecord(c);
  ASSERT_EQ(d.size(), 4u);
  EXPECT_EQ(d[1], "ModIdf=7");
  EXPECT_EQ(d[2], "SetTmo=25");
}

// ---- layouts by application variant ------------------------------------------------

struct LayoutCase {
  TVexModel model;
  int appSof;
  bool sequence;
  int isaSize;
  bool hornBell;
  int tmoReg, stateReg, statusReg, statusCount;
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << VexModelInfo(c.model).name << "Edition" << c.appSof;
}

class LayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(LayoutTest, ChoosesRecordsAndAddresses) {
  const LayoutCase& c = GetParam();
  const TLayout l = LayoutOf(c.model, c.appSof);
  EXPECT_EQ(l.sequence, c.sequence);
  EXPECT_EQ(l.isaSize, c.isaSize);
  EXPECT_EQ(l.hornBell, c.hornBell);
  EXPECT_EQ(l.tmoReg, c.tmoReg);
  EXPECT_EQ(l.stateReg, c.stateReg);
  EXPECT_EQ(l.statusReg, c.statusReg);
  EXPECT_EQ(l.statusCount, c.statusCount);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, LayoutTest,
    ::testing::Values(LayoutCase{TVexModel::Vex324, 8, true, 160, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 7, true, 148, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 5, true, 148, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 10, true, 148, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 4, true, 142, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 1, true, 142, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 0, true, 160, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 11, true, 160, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex324, 20, true, 160, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex924, 3, true, 142, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex932, 9, true, 142, false, 16, 51, 48, 26},
                      LayoutCase{TVexModel::Vex936, 0, true, 210, false, 16, 51, 48, 37},
                      LayoutCase{TVexModel::Vex216, 1, false, 0, true, 18, 35, 32, 14},
                      LayoutCase{TVexModel::Vex216, 11, false, 0, true, 18, 35, 32, 9},
                      LayoutCase{TVexModel::Vex216, 0, false, 0, true, 18, 35, 32, 9},
                      LayoutCase{TVexModel::Vex216, 2, true, 64, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex216, 8, true, 66, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex216, 9, true, 66, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex216, 42, true, 64, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex308, 1, true, 64, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex308, 11, true, 66, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex308, 16, true, 66, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex308, 12, false, 0, true, 18, 35, 32, 9},
                      LayoutCase{TVexModel::Vex316, 17, true, 66, false, 18, 35, 48, 14},
                      LayoutCase{TVexModel::Vex316, 8, false, 0, true, 18, 35, 32, 9},
                      LayoutCase{TVexModel::Vex215, 0, false, 0, true, 18, 35, 32, 6},
                      LayoutCase{TVexModel::Vex733, 0, false, 0, false, 18, 51, 48, 25},
                      LayoutCase{TVexModel::Vex748, 0, false, 0, false, 18, 51, 48, 7}),
    ::testing::PrintToStringParamName());

TEST(Models, ByNameAndFirmwareId) {
  EXPECT_EQ(ModelByName("vex324"), TVexModel::Vex324);
  EXPECT_EQ(ModelByName("VEX936"), TVexModel::Vex936);
  EXPECT_EQ(VexModelInfo(TVexModel::Vex936).fid, 0x8A);
  EXPECT_STREQ(VexModelInfo(TVexModel::Vex216).shown, "Vex216v2");
  EXPECT_STREQ(VexModelInfo(TVexModel::Vex748).form, "Vex748cfg1");
  EXPECT_THROW(ModelByName("vex999"), Exception);
  for (const TVexModelInfo& i : VexModels()) EXPECT_EQ(&VexModelInfo(i.model), &i);
}

// ---- bitmaps and coils ---------------------------------------------------------------

TEST(InputBitmaps, InputNumberToWordAndBit) {
  struct Case {
    int n, word;
    uint16_t mask;
  } cases[] = {{1, 0, 0x0001},  {16, 0, 0x8000}, {17, 1, 0x0001},
               {24, 1, 0x0080}, {33, 2, 0x0001}, {36, 2, 0x0008}};
  for (const Case& c : cases) {
    EXPECT_EQ(InputWord(c.n), c.word) << c.n;
    EXPECT_EQ(InputMask(c.n), c.mask) << c.n;
  }
  EXPECT_THROW(InputWord(0), Exception);
  EXPECT_THROW(InputMask(65), Exception);
}

TEST(InputBitmaps, StatusWordsOfLaterGroups) {
  tVex936sta s = Zeroed<tVex936sta>();
  uint16_t onn[3] = {0, 0, 0};
  SetInputBit(onn, 3, 17, true);
  SetInputBit(onn, 3, 33, true);
  s.GirOnn = onn[0];
  s.Gi2Onn = onn[1];
  s.Gi3Onn = onn[2];
  EXPECT_EQ(s.Gi2Onn, 1);
  EXPECT_EQ(s.Gi3Onn, 1);
  EXPECT_TRUE(InputBit(onn, 3, 33));
  EXPECT_FALSE(InputBit(onn, 3, 34));
  EXPECT_FALSE(InputBit(onn, 2, 33));  // not in a two-word bitmap
  SetInputBit(onn, 3, 17, false);
  EXPECT_EQ(onn[1], 0);
  EXPECT_THROW(SetInputBit(onn, 2, 33, true), Exception);
}

TEST(InputBitmaps, CoilAddresses) {
  EXPECT_EQ(VirtualCoil(1), 0xB000);
  EXPECT_EQ(VirtualCoil(36), 0xB023);
  EXPECT_EQ(ActivateCoil(1), 0xB100);
  EXPECT_EQ(ActivateCoil(24), 0xB117);
  EXPECT_THROW(ActivateCoil(0), Exception);
}

// ---- device time -----------------------------------------------------------------------

TEST(DeviceTime, EncodesDaysAndMilliseconds) {
  struct Case {
    TDateTime t;
    uint16_t dat;
    uint32_t tim;
  } cases[] = {
      {EncodeDateTime(2000, 1, 1), 0, 0},
      {EncodeDateTime(2000, 1, 1, 23, 59, 59, 999), 0, 86399999},
      {EncodeDateTime(2000, 3, 1), 60, 0},
      {EncodeDateTime(2024, 2, 29, 12, 34, 56, 789), 8825, 45296789},
      {EncodeDateTime(2031, 7, 15, 0, 0, 0, 1), 11518, 1},
      {EncodeDateTime(1999, 12, 31, 12), 0, 0},  // before the device's epoch
  };
  for (const Case& c : cases) {
    const TDevTime d = EncodeDevTime(c.t);
    EXPECT_EQ(d.Dat, c.dat) << FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", c.t);
    EXPECT_EQ(d.Tim, c.tim) << FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", c.t);
  }
  const auto rec = EncodeTimeRecord<tVex324tim>(EncodeDateTime(2024, 2, 29, 12, 34, 56, 789));
  const auto w = ToWords(rec);
  EXPECT_EQ(w[0] + 65536u * w[1], 45296789u);
  EXPECT_EQ(w[2], 8825);
}

TEST(DeviceTime, RemoteTickKeepsFourteenBits) {
  EXPECT_EQ(RemoteTick(EncodeDateTime(2020, 5, 5, 0, 0, 16, 385)), (16385 & 0x3FFF));
  EXPECT_EQ(RemoteTick(EncodeDateTime(2020, 5, 5, 1, 0, 0, 0)), 3600000 & 0x3FFF);
}

// ---- remote input check words -------------------------------------------------------------

TEST(RemoteInputs, CheckWordsCoverEveryGroup) {
  tVex924dxs a = Zeroed<tVex924dxs>();
  a.GirRem = 0x00F0;
  a.Gi2Rem = 0x0F00;
  a.GirAkt = 0x0001;
  SetCheckWords(a);
  EXPECT_EQ(a.SumRem, static_cast<uint16_t>(~(0x00F0 ^ 0x0F00)));
  EXPECT_EQ(a.SumAkt, 0xFFFE);

  tVex936dxs b = Zeroed<tVex936dxs>();
  b.GirRem = 0x00F0;
  b.Gi2Rem = 0x0F00;
  b.Gi3Rem = 0x0008;
  SetCheckWords(b);
  EXPECT_EQ(b.SumRem, static_cast<uint16_t>(~(0x00F0 ^ 0x0F00 ^ 0x0008)));
  EXPECT_EQ(b.SumAkt, 0xFFFF);
  // the record goes out as 8 registers in field order with the Gi3 words last
  const auto w = ToWords(b);
  ASSERT_EQ(w.size(), 8u);
  EXPECT_EQ(w[4], b.SumRem);
  EXPECT_EQ(w[6], 0x0008);
}

// ---- legacy status and module types ---------------------------------------------------

TEST(LegacyStatus, FillsTheFullRecordFromTheLegacyOne) {
  tVex216rtu r = FromWords<tVex216rtu>(std::vector<uint16_t>{1, 2, 3, 4, 5, 6, 7, 8, 9});
  const tVex216sta s = StaFromRtu(r);
  EXPECT_EQ(s.GirOnn, 1);
  EXPECT_EQ(s.GirAkt, 2);
  EXPECT_EQ(s.GirHld, 3);
  EXPECT_EQ(s.StaFlg, 4);
  EXPECT_EQ(s.GirRed, 8);
  EXPECT_EQ(s.GirGrn, 9);
  EXPECT_EQ(uint32_t{s.Tim}, 0u);
  EXPECT_EQ(s.GirSil | s.GirAlm | s.GirMom | s.GirAck | s.GirRnb | s.Dat, 0);
}

TEST(ModuleTypes, Texts) {
  struct Case {
    uint16_t t;
    const char* text;
  } cases[] = {{0, "Empty"},         {0x15, "Input-16x"},  {0x26, "SSR-4x6A"},
               {0x4C, "Relay-8x5A"}, {0x83, "Relay-8x8A"}, {0x16, "Undef"}};
  for (const Case& c : cases) EXPECT_EQ(ModTypText(c.t), c.text);
}

TEST(ConfigState, TextAndColour) {
  EXPECT_EQ(StateText(1), ", Good");
  EXPECT_EQ(StateText(2), ", Saved");
  EXPECT_EQ(StateText(4), ", Edited");
  EXPECT_EQ(StateText(3), ", Undefined");
  EXPECT_EQ(StateColor(3), RGB(0xFF, 0x80, 0x80));
  EXPECT_EQ(StateColor(4), RGB(0, 0xFF, 0));
  EXPECT_EQ(StateColor(1), clWindow);
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

TEST(EventSequence, EntriesFollowTheHeader) {
  std::vector<uint16_t> w(62, 0);
  w[0] = 42;                  // UnqIdf
  w[1] = 0x5678, w[2] = 1;    // Tim, low word first
  w[8] = 0x0001, w[9] = 0;    // entry 0: Seq = 1
  w[10] = 16;                 // Typ
  w[8 + 9 * 5] = 0x0006;      // entry 5: Seq = 6
  w[8 + 9 * 5 + 8] = 0x8000;  // entry 5: Dif45, input 48
  const auto r = FromWords<tVex748sek>(w);
  EXPECT_EQ(r.UnqIdf, 42);
  EXPECT_EQ(uint32_t{r.Tim}, 0x15678u);  // a copy: the packed field is not aligned
  EXPECT_EQ(SekEntry(r, 0).Seq, 1u);
  EXPECT_EQ(SekEntry(r, 0).Typ, 16);
  EXPECT_EQ(SekEntry(r, 5).Seq, 6u);
  EXPECT_EQ(SekEntry(r, 5).Dif45, 0x8000);
  EXPECT_THROW(SekEntry(r, 6), Exception);
  const auto v = FromWords<tVex733sek>(w);
  EXPECT_EQ(SekEntry(v, 5).Dif45, 0x8000);
}

}  // namespace
}  // namespace vex
