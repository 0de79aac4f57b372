// The ISA-18.1 sequence configurator driven as its window would drive it.
#include "config/IsaMaps.h"
#include "tests/CaseName.h"

#include <gtest/gtest.h>

#include <random>

namespace vex {
namespace {

class IsaMapsTest : public ::testing::Test {
 protected:
  TIsaMaps1 isa;
  TEdit det{"Detection <3~250mS>:"}, clr{"Clearance <3~250ms>:"};
  void SetUpModel(TVexModel m, int appSof) { SetupForModel(isa, m, appSof, &det, &clr); }
  std::string Key(const CSimpleIniA& doc, const char* key) const {
    const char* v = doc.GetValue("S", key, nullptr);
    return v ? v : "<missing>";
  }
};

// ---- presets and channel lines ---------------------------------------------------------

TEST_F(IsaMapsTest, DefaultTReadsRingbackOnEveryInput) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  EXPECT_EQ(isa.ChnLines.at(0), "01 = R-10 = R2A1N.R1A1.R½SNM.RSSN");
  ASSERT_EQ(isa.ChnLines.size(), 24u);
  for (int n = 1; n <= 24; ++n)
    EXPECT_EQ(isa.ChnLines[n - 1].substr(2), " = R-10 = R2A1N.R1A1.R½SNM.RSSN") << n;
  EXPECT_EQ(det.Text(), "5");
  EXPECT_EQ(clr.Text(), "20");
  EXPECT_EQ(isa.Eep.TstBtn, 7);
  EXPECT_EQ(isa.Eep.HrnBtn, 7);
  EXPECT_EQ(isa.Eep.GraDet, 5);
  EXPECT_EQ(isa.Eep.GrbClr, 20);
  EXPECT_EQ(isa.Eep.AlmRed, 0xFFFFFFFFFFFFull);
  EXPECT_EQ(isa.Eep.AlmGrn, 0u);
  EXPECT_EQ(isa.Edits[edDimBrg].Text(), "1");
  EXPECT_EQ(isa.Delays[dlGraDet].Text(), "5 mS");
  EXPECT_EQ(isa.Delays[dlGraClr].Text(), "20 mS");
  EXPECT_TRUE(isa.Boxes[obHrnTog].Checked());
  EXPECT_FALSE(isa.Boxes[obHrnBuz].Checked());
}

TEST_F(IsaMapsTest, DefaultAAndNBuildOnT) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultA();
  EXPECT_EQ(isa.Eep.AckRo1, 0xFFFFFFFFFFFFull);
  EXPECT_EQ(isa.Eep.TstBtn, 1);
  EXPECT_EQ(isa.Eep.HrnBtn, 9);
  EXPECT_EQ(isa.ChnLines[0], "01 = R-10 = R2A1N.R1A1.R½S1M.RSSN");
  EXPECT_TRUE(isa.Boxes[obHrnBuz].Enabled);  // Toggle Silence ticked

  isa.DefaultN();
  EXPECT_EQ(isa.Eep.AckRo1, 0u);
  EXPECT_EQ(isa.Eep.GraDet, 10000);
  EXPECT_EQ(isa.Eep.GraClr, 1000);
  EXPECT_EQ(isa.Eep.GrbChn, 6);
  EXPECT_EQ(isa.Eep.GrbDet, 10000);
  EXPECT_EQ(isa.Eep.GrbClr, 1000);
  EXPECT_EQ(isa.Delays[dlGraDet].Text(), "10 S");
  EXPECT_EQ(isa.Delays[dlGraClr].Text(), "1 S");
  // variant 8 has delays, dimmer and inversion: their panel boxes are ticked
  EXPECT_TRUE(isa.Boxes[obDlyPnl].Checked());
  EXPECT_TRUE(isa.Boxes[obDimPnl].Checked());
  EXPECT_TRUE(isa.Boxes[obInvMin].Checked());
  // group B covers inputs 19..24
  EXPECT_EQ(isa.ChnLines[18].substr(isa.ChnLines[18].size() - 3), ".DB");
  EXPECT_EQ(isa.ChnLines[17].find(".D"), std::string::npos);
  isa.ReadOpt();
  EXPECT_EQ(isa.Eep.GrpOpt, 0x80);
  EXPECT_EQ(isa.Eep.DimOpt, 0x80);
  EXPECT_EQ(isa.Eep.TstBtn & 8, 8);
}

TEST_F(IsaMapsTest, DefaultNWithoutOptionalGroupsTicksNothing) {
  SetUpModel(TVexModel::Vex924, 0);
  isa.DefaultN();
  EXPECT_FALSE(isa.Boxes[obDlyPnl].Checked());
  EXPECT_FALSE(isa.Boxes[obDimPnl].Checked());
  EXPECT_FALSE(isa.Boxes[obInvMin].Checked());
}

struct LineCase {
  const char* what;
  void (*build)(tIsa18&);
  std::string line;  // of input 01
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << testing_names::CaseName(c.what); }

class ChannelLineTest : public IsaMapsTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ChannelLineTest, DescribesTheSequence) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  GetParam().build(isa.Eep);
  isa.WriteOpt();
  isa.Reload();
  EXPECT_EQ(isa.ChnLines[0], GetParam().line);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ChannelLineTest,
    ::testing::Values(LineCase{"unlit", [](tIsa18&) {}, "01 ---"},
                      LineCase{"automatic reset",
                               [](tIsa18& e) {
                                 e.AlmRed = e.AlmBln = e.AlmBuz = e.AckRed = e.AutRes = 1;
                                 e.HrnBtn = 1;  // toggle silence
                               },
                               "01 = A = R1ANN.DSSN.RSSNA.DSSN"},
                      LineCase{"manual reset, silence interlock, inverted, delay group A",
                               [](tIsa18& e) {
                                 e.AlmGrn = e.AlmSld = e.AlmRo2 = e.AckGrn = e.AckRo1 = e.AckRo2 = e.SilLck =
                                     e.InpInv = 1;
                                 e.HrnBtn = 1;
                                 e.MomBlu = 1;   // momentary in blue, no flash
                                 e.GraChn = 12;  // Vex324 group A ends at input 12: inputs 1..12
                               },
                               "01 = M-06 = G½S2S.BSSN.GSSBM.DSSN.NC.DA"},
                      LineCase{"only the momentary state lit is custom",
                               [](tIsa18& e) {
                                 e.MomRed = e.MomGrn = e.MomBlu = 1;
                                 e.HrnBtn = 1;
                               },
                               "01 = Custom-04 = DSSNN.WSSN.DSSNM.DSSN"},
                      LineCase{"no toggle: options 01 and 02, alarm and ringback sound, same flash",
                               [](tIsa18& e) {
                                 e.AlmRed = e.AlmBln = e.AlmBuz = e.AckRed = e.RngRed = e.RngBln = e.RngBuz =
                                     e.SilLck = 1;
                                 e.HrnBtn = 0;
                               },
                               "01 = R-01-02-08-11 = R1ANS.DSSN.RSSNM.R1AN"}),
    ::testing::PrintToStringParamName());

TEST_F(IsaMapsTest, DerivedOptionsFollowTheFields) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  isa.EditChange(edAlmTim, "30");
  EXPECT_EQ(isa.Eep.AlmTim, 30);
  EXPECT_NE(isa.ChnLines[0].find("-07"), std::string::npos);
  EXPECT_TRUE(isa.Boxes[obAasOt1].Enabled);
  isa.EditChange(edAlmTim, "abc");  // not a number: option 07 off, field red, map keeps 30
  EXPECT_EQ(isa.ChnLines[0].find("-07"), std::string::npos);
  EXPECT_EQ(isa.Edits[edAlmTim].Color, RGB(0xFF, 0xA0, 0xA0));
  EXPECT_EQ(isa.Eep.AlmTim, 30);
  EXPECT_FALSE(isa.Boxes[obAasOt1].Enabled);
  isa.OptionClick(obDimAlm, true);
  EXPECT_NE(isa.ChnLines[0].find("-13"), std::string::npos);
  isa.EditChange(edRngTim, "5");
  EXPECT_NE(isa.ChnLines[0].find("-09"), std::string::npos);
}

// ---- selection editing ---------------------------------------------------------------------

TEST_F(IsaMapsTest, DifferingInputsShowNoSelectionAndAChoiceWritesOnlyTheSelection) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.AlmGrn = 0b001;  // input 1 green
  isa.Eep.AlmBlu = 0b110;  // inputs 2 and 3 blue
  isa.Reload();
  isa.SelectChannels({1, 2});
  EXPECT_EQ(isa.List(isAlm, ipColor).ItemIndex, -1);
  EXPECT_EQ(isa.Swatch[isAlm], clBtnFace);
  isa.ListChange(isAlm, ipColor, lcRed);
  EXPECT_EQ(isa.Eep.AlmRed, 0b011u);
  EXPECT_EQ(isa.Eep.AlmGrn, 0u);
  EXPECT_EQ(isa.Eep.AlmBlu, 0b100u);  // input 3 untouched
  EXPECT_EQ(isa.List(isAlm, ipColor).ItemIndex, lcRed);
  EXPECT_EQ(isa.Swatch[isAlm], RGB(0xFF, 0, 0));
}

TEST_F(IsaMapsTest, OnlyTheChangedListWrites) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.AckSld = 0b01;
  isa.Eep.AckBln = 0b10;
  isa.Eep.AckRed = 0b11;
  isa.Eep.AlmRed = 0b11;
  isa.Reload();
  isa.SelectChannels({1, 2});
  EXPECT_EQ(isa.List(isAck, ipFlash).ItemIndex, -1);
  isa.ListChange(isAck, ipRelay, 3);  // both outputs
  EXPECT_EQ(isa.Eep.AckRo1, 0b11u);
  EXPECT_EQ(isa.Eep.AckRo2, 0b11u);
  EXPECT_EQ(isa.Eep.AckSld, 0b01u);  // flash list kept per input
  EXPECT_EQ(isa.Eep.AckBln, 0b10u);
  isa.ListChange(isAlm, ipLock, 1);
  EXPECT_EQ(isa.Eep.SilLck, 0b11u);
}

TEST_F(IsaMapsTest, RingbackColourClearsAutoResetAtReload) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.AlmRed = isa.Eep.AckRed = 1;
  isa.Eep.AutRes = 1;
  isa.Reload();
  EXPECT_EQ(isa.Eep.IsaAA1, 1u);
  isa.SelectChannels({1});
  isa.ListChange(isRng, ipColor, lcGreen);
  EXPECT_EQ(isa.Eep.AutRes, 1u);  // not before the next Reload
  isa.Reload();
  EXPECT_EQ(isa.Eep.AutRes, 0u);
  EXPECT_EQ(isa.Eep.IsaRR1, 1u);
}

TEST_F(IsaMapsTest, InverseInputTickUntickAndGrey) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.InpInv = 0b01;
  isa.Reload();
  isa.SelectChannels({1, 2});
  EXPECT_EQ(isa.InpInvBox.State, cbGrayed);
  isa.InpInvClick(cbGrayed);  // toggles each
  EXPECT_EQ(isa.Eep.InpInv, 0b10u);
  isa.InpInvClick(cbChecked);
  EXPECT_EQ(isa.Eep.InpInv, 0b11u);
  EXPECT_EQ(isa.InpInvBox.State, cbChecked);
  isa.InpInvClick(cbUnchecked);
  EXPECT_EQ(isa.Eep.InpInv, 0u);
}

TEST_F(IsaMapsTest, DescriptionBoxesGreyWhenInputsDiffer) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.AlmRed = isa.Eep.AckRed = 0b11;
  isa.Eep.AutRes = 0b01;
  isa.Reload();
  isa.SelectChannels({1, 2});
  EXPECT_EQ(isa.Desc[0].State, cbGrayed);     // A
  EXPECT_EQ(isa.Desc[1].State, cbGrayed);     // M
  EXPECT_EQ(isa.Desc[2].State, cbUnchecked);  // R
  isa.SelectChannels({2});
  EXPECT_EQ(isa.Desc[1].State, cbChecked);
}

TEST_F(IsaMapsTest, SelectingAnInputOutsideTheListIsRefused) {
  SetUpModel(TVexModel::Vex308, 8);
  EXPECT_THROW(isa.SelectChannels({9}), Exception);
  EXPECT_THROW(isa.SelectChannels({0}), Exception);
  EXPECT_THROW(isa.ListChange(isAlm, ipColor, 3), Exception);  // red and green only
}

// ---- enabling rules --------------------------------------------------------------------

struct EnableCase {
  const char* what;
  int alm, ack, rng, mom;  // colour of input 1 in each state
  bool toggle;
  // expected enabled: alm flash, ack colour, ack flash, lock, rng colour, rng flash, mom colour, mom flash,
  // reset
  bool e[9];
};

void PrintTo(const EnableCase& c, std::ostream* os) { *os << testing_names::CaseName(c.what); }

class EnablingTest : public IsaMapsTest, public ::testing::WithParamInterface<EnableCase> {};

TEST_P(EnablingTest, ListsFollowTheColours) {
  const EnableCase& c = GetParam();
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.AlmRed = c.alm & 1, isa.Eep.AlmGrn = (c.alm >> 1) & 1;
  isa.Eep.AckRed = c.ack & 1, isa.Eep.AckGrn = (c.ack >> 1) & 1;
  isa.Eep.RngRed = c.rng & 1, isa.Eep.RngGrn = (c.rng >> 1) & 1;
  isa.Eep.MomRed = c.mom & 1, isa.Eep.MomGrn = (c.mom >> 1) & 1;
  isa.Eep.HrnBtn = c.toggle ? 1 : 0;
  isa.WriteOpt();
  isa.Reload();
  const bool got[9] = {
      isa.List(isAlm, ipFlash).Enabled, isa.List(isAck, ipColor).Enabled, isa.List(isAck, ipFlash).Enabled,
      isa.List(isAlm, ipLock).Enabled,  isa.List(isRng, ipColor).Enabled, isa.List(isRng, ipFlash).Enabled,
      isa.List(isMom, ipColor).Enabled, isa.List(isMom, ipFlash).Enabled, isa.List(isAck, ipReset).Enabled};
  for (int k = 0; k < 9; ++k) EXPECT_EQ(got[k], c.e[k]) << c.what << " rule " << k;
  // arrows into a state follow its flash list
  for (const TArrow& a : isa.Arrows())
    if (a.to == isRng) {
      EXPECT_EQ(a.color, c.e[5] ? clBlack : clSilver) << c.what;
    }
  EXPECT_EQ(isa.Swatch[isAlm], c.e[0] ? isa.Rnk[c.alm] : isa.Rnk[0]) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Rules, EnablingTest,
    ::testing::Values(
        EnableCase{"nothing lit",
                   0,
                   0,
                   0,
                   0,
                   false,
                   {false, false, false, false, false, false, false, false, false}},
        EnableCase{
            "alarm only", 1, 0, 0, 0, false, {true, true, false, false, false, false, false, false, false}},
        EnableCase{
            "alarm and ack", 1, 2, 0, 0, false, {true, true, true, true, true, false, true, false, true}},
        EnableCase{"toggle locks out the lock list",
                   1,
                   2,
                   0,
                   0,
                   true,
                   {true, true, true, false, true, false, true, false, true}},
        EnableCase{"ringback lit hides reset",
                   1,
                   2,
                   3,
                   0,
                   false,
                   {true, true, true, true, true, true, true, false, false}},
        EnableCase{
            "momentary lit", 1, 2, 0, 1, false, {true, true, true, true, true, false, true, true, true}}),
    ::testing::PrintToStringParamName());

TEST_F(IsaMapsTest, HornBuzzerFollowsToggleSilence) {
  SetUpModel(TVexModel::Vex924, 0);
  isa.Clear();
  isa.Reload();
  EXPECT_FALSE(isa.Boxes[obHrnBuz].Enabled);
  EXPECT_TRUE(isa.Boxes[obHrnBuz].Checked());
  isa.ReadOpt();
  EXPECT_EQ(isa.Eep.HrnBtn & 8, 0);  // a disabled box stores no bit
  isa.OptionClick(obHrnTog, true);
  EXPECT_TRUE(isa.Boxes[obHrnBuz].Enabled);
  isa.OptionClick(obHrnBuz, true);
  EXPECT_EQ(isa.Eep.HrnBtn & 9, 9);
}

// ---- field validation ---------------------------------------------------------------------

struct OptCase {
  TIsaEdit field;
  const char* text;
  const char* message;
};

void PrintTo(const OptCase& c, std::ostream* os) {
  const char* const fields[] = {"AlmTim", "RngTim", "DimBrg", "DimLev", "DimTim", "GraChn", "GrbChn"};
  *os << (c.field >= 0 && c.field < edCount ? fields[c.field] : "Field") << testing_names::CaseName(c.text);
}

class ReadOptTest : public IsaMapsTest, public ::testing::WithParamInterface<OptCase> {};

TEST_P(ReadOptTest, RefusesWithTheFieldsMessage) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  isa.Show();
  isa.Edits[GetParam().field].SetText(GetParam().text);
  try {
    isa.ReadOpt();
    FAIL() << "accepted " << GetParam().text;
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), GetParam().message);
  }
  EXPECT_EQ(isa.Edits[GetParam().field].Color, RGB(0xFF, 0xA0, 0xA0));
  EXPECT_EQ(isa.FocusField(), &isa.Edits[GetParam().field]);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ReadOptTest,
    ::testing::Values(OptCase{edAlmTim, "251", "Auto Alarm Silence Range Exceed [0~250]"},
                      OptCase{edAlmTim, "-1", "Auto Alarm Silence Range Exceed [0~250]"},
                      OptCase{edAlmTim, "x", "'x' is not a valid integer value"},
                      OptCase{edRngTim, "300", "Auto Ringback Silence Range Exceed [0~250]"},
                      OptCase{edDimBrg, "0", "Brightness Range Exceed [1~7]"},
                      OptCase{edDimBrg, "8", "Brightness Range Exceed [1~7]"},
                      OptCase{edDimLev, "7", "Dimmer Level Range Exceed [8~30]"},
                      OptCase{edDimLev, "31", "Dimmer Level Range Exceed [8~30]"},
                      OptCase{edDimTim, "251", "Dimmer Timer Range Exceed [0~250]"},
                      OptCase{edGraChn, "9", "Group-A: Range Check, Valid Range:  [0 ~ 8]."},
                      OptCase{edGrbChn, "",
                              "Group-B: '' is not a valid integer value, Valid Range:  [0 ~ 8]."}),
    ::testing::PrintToStringParamName());

TEST_F(IsaMapsTest, BadDelayIsNamedByItsLabel) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  isa.DelayChange(dlGraClr, "61 s");
  EXPECT_EQ(isa.Delays[dlGraClr].Color, RGB(0xFF, 0xA0, 0xA0));
  EXPECT_EQ(isa.Eep.GraClr, 20);  // nothing else happens yet
  try {
    isa.ReadOpt();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "Clearance-A: Range Check, Valid Range:  [3 mS ~ 60 S].");
  }
  isa.DelayChange(dlGraClr, "2 ms");
  EXPECT_EQ(isa.Delays[dlGraClr].Color, RGB(0xFF, 0xA0, 0xA0));
  isa.DelayChange(dlGraClr, "abc");
  EXPECT_EQ(isa.Delays[dlGraClr].Color, RGB(0xFF, 0xA0, 0xA0));
  isa.DelayChange(dlGraClr, "60 s");
  EXPECT_EQ(isa.Delays[dlGraClr].Color, clWindow);
}

TEST_F(IsaMapsTest, DelayRoundTrips) {
  struct Case {
    const char* typed;
    int32_t stored;
    const char* shown;
  } cases[] = {{"9 ms", 9, "9 mS"},
               {"1 s", 1000, "1 S"},
               {"150 mS", 150, "150 mS"},
               {"0.5", 500, "500 mS"},
               {"20m", 20, "20 mS"},
               {"60 s", 60000, "60 S"},
               {"3 ms", 3, "3 mS"},
               {"2.5 s", 2500, "2500 mS"},
               {"1.5 s", 1500, "1500 mS"},
               {"1234 ms", 1234, "1234 mS"},
               {"59.999 s", 59999, "59999 mS"},
               {"999 ms", 999, "999 mS"}};
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  for (const Case& c : cases) {
    isa.DelayChange(dlGrbDet, c.typed);
    isa.ReadOpt();
    EXPECT_EQ(isa.Eep.GrbDet, c.stored) << c.typed;
    isa.WriteOpt();
    EXPECT_EQ(isa.Delays[dlGrbDet].Text(), c.shown) << c.typed;
  }
}

// Delays that are no whole seconds come back from the device or a file unchanged: shown in
// whole seconds they would be read back rounded at the next save or write.
TEST_F(IsaMapsTest, ShownDelaysReadBackToTheStoredValue) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  const int32_t values[] = {3, 9, 999, 1000, 1499, 1500, 2500, 10000, 12345, 59999, 60000};
  for (int32_t v : values) {
    isa.Eep.GraDet = v;
    isa.Eep.GrbClr = v;
    isa.WriteOpt();
    isa.Eep.GraDet = isa.Eep.GrbClr = 0;
    isa.ReadOpt();
    EXPECT_EQ(isa.Eep.GraDet, v) << isa.Delays[dlGraDet].Text();
    EXPECT_EQ(isa.Eep.GrbClr, v) << isa.Delays[dlGrbClr].Text();
  }
  // a value outside the delay range is shown at the nearest limit
  isa.Eep.GraDet = 0;
  isa.Eep.GraClr = 65000;
  isa.WriteOpt();
  EXPECT_EQ(isa.Delays[dlGraDet].Text(), "3 mS");
  EXPECT_EQ(isa.Delays[dlGraClr].Text(), "60 S");
}

TEST_F(IsaMapsTest, DelayConversionsAreLimited) {
  EXPECT_DOUBLE_EQ(TIsaMaps1::InttoDelay(9), 0.009);
  EXPECT_DOUBLE_EQ(TIsaMaps1::InttoDelay(0), 0.003);
  EXPECT_DOUBLE_EQ(TIsaMaps1::InttoDelay(100000), 60.0);
  EXPECT_EQ(TIsaMaps1::DelaytoInt(0.0094), 9);
  EXPECT_EQ(TIsaMaps1::DelaytoInt(0.0), 3);
  EXPECT_EQ(TIsaMaps1::DelaytoInt(75.0), 60000);
}

TEST_F(IsaMapsTest, DisabledDimmerStoresZerosAndSavesNoDimmerKeys) {
  SetUpModel(TVexModel::Vex324, 6);  // inversion, no dimmer, no delays
  isa.DefaultT();
  isa.ReadOpt();
  EXPECT_EQ(isa.Eep.DimBrg, 0);
  EXPECT_EQ(isa.Eep.DimLev, 0);
  EXPECT_EQ(isa.Eep.DimTim, 0);
  CSimpleIniA doc;
  isa.SaveIni("S", doc);
  for (const char* k : {"DimBrg", "DimLev", "DimTim", "DimOpt", "GraChn", "GrpOpt"})
    EXPECT_EQ(Key(doc, k), "<missing>") << k;
  EXPECT_EQ(Key(doc, "InpInv"), "$000000");
}

TEST_F(IsaMapsTest, StepButtonsStayInRange) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  struct Case {
    TIsaEdit field;
    const char* start;
    int dir;
    const char* result;
  } cases[] = {{edDimBrg, "1", +1, "2"},  {edDimBrg, "7", +1, "7"},   {edDimBrg, "1", -1, "1"},
               {edDimLev, "8", +1, "11"}, {edDimLev, "29", +1, "30"}, {edDimLev, "10", -1, "8"},
               {edGraChn, "x", +1, "1"},  {edGraChn, "8", +1, "8"},   {edGrbChn, "0", -1, "0"}};
  for (const Case& c : cases) {
    isa.Edits[c.field].SetText(c.start);
    isa.StepClick(c.field, c.dir);
    EXPECT_EQ(isa.Edits[c.field].Text(), c.result) << c.start << " " << c.dir;
  }
  EXPECT_EQ(isa.Eep.GrbChn, 0);
  EXPECT_THROW(isa.StepClick(edAlmTim, 1), Exception);
}

// ---- image file keys ----------------------------------------------------------------------

TEST_F(IsaMapsTest, SaveIniBitmapWidthFollowsTheInputs) {
  struct Case {
    TVexModel model;
    int app;
    uint64_t almRed;
    const char* text;
  } cases[] = {{TVexModel::Vex324, 8, 0xFFFFFF, "$FFFFFF"},
               {TVexModel::Vex936, 0, 0xFFFFFFFFF, "$FFFFFFFFF"},
               {TVexModel::Vex308, 8, 0x5, "$05"},
               {TVexModel::Vex216, 8, 0x1, "$0001"}};
  for (const Case& c : cases) {
    SetUpModel(c.model, c.app);
    isa.DefaultT();
    isa.Eep.AlmRed = c.almRed;
    isa.WriteOpt();
    CSimpleIniA doc;
    isa.SaveIni("S", doc);
    EXPECT_EQ(Key(doc, "AlmRed"), c.text);
    EXPECT_EQ(Key(doc, "AlmTim"), "$0000");
  }
}

TEST_F(IsaMapsTest, SaveIniAfterPresetKeepsWideValues) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  CSimpleIniA doc;
  isa.SaveIni("S", doc);
  EXPECT_EQ(Key(doc, "AlmRed"), "$FFFFFFFFFFFF");
  EXPECT_EQ(Key(doc, "AlmGrn"), "$000000");
  EXPECT_EQ(Key(doc, "TstBtn"), "$0007");
  EXPECT_EQ(Key(doc, "GraDet"), "$00000005");
  EXPECT_EQ(Key(doc, "GrbClr"), "$00000014");
  EXPECT_EQ(Key(doc, "DimLev"), "$0008");
  // keys in the order written
  CSimpleIniA::TNamesDepend keys;
  doc.GetAllKeys("S", keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> order;
  for (const auto& k : keys) order.push_back(k.pItem);
  ASSERT_EQ(order.size(), 32u + 2 + 4 + 1 + 4 + 9);
  EXPECT_EQ(order[0], "AlmRed");
  EXPECT_EQ(order[8], "MomRed");
  EXPECT_EQ(order[31], "RngRo2");
  EXPECT_EQ(order[32], "SilLck");
  EXPECT_EQ(order[38], "InpInv");
  EXPECT_EQ(order[39], "DimBrg");
  EXPECT_EQ(order.back(), "GrpOpt");
}

TEST_F(IsaMapsTest, SaveIniStopsOnABadField) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.DefaultT();
  isa.Edits[edDimLev].SetText("99");
  CSimpleIniA doc;
  EXPECT_THROW(isa.SaveIni("S", doc), Exception);
  EXPECT_EQ(Key(doc, "AlmRed"), "<missing>");
}

TEST_F(IsaMapsTest, LoadIniDefaultsAndRoundTrip) {
  SetUpModel(TVexModel::Vex324, 8);
  CSimpleIniA empty;
  isa.LoadIni("S", empty);
  EXPECT_EQ(isa.Eep.TstBtn, 7);
  EXPECT_EQ(isa.Eep.HrnBtn, 7);
  EXPECT_EQ(isa.Eep.DimBrg, 1);
  EXPECT_EQ(isa.Eep.DimLev, 8);
  EXPECT_EQ(isa.Eep.DimTim, 120);
  EXPECT_EQ(isa.Eep.GraDet, 5);
  EXPECT_EQ(isa.Eep.GraClr, 20);
  EXPECT_EQ(isa.Eep.GrbDet, 5);
  EXPECT_EQ(isa.Eep.GrbClr, 20);
  EXPECT_EQ(isa.Eep.AlmRed, 0u);
  EXPECT_EQ(isa.Edits[edDimTim].Text(), "120");

  isa.DefaultA();
  isa.SelectChannels({3});
  isa.ListChange(isAck, ipColor, lcBlue);
  isa.EditChange(edAlmTim, "12");
  CSimpleIniA doc;
  isa.SaveIni("S", doc);
  const tIsa18 saved = isa.Eep;
  isa.Clear();
  isa.LoadIni("S", doc);
  EXPECT_EQ(isa.Eep.AckBlu, saved.AckBlu);
  EXPECT_EQ(isa.Eep.AckRed, saved.AckRed);
  EXPECT_EQ(isa.Eep.AlmTim, 12);
  EXPECT_EQ(isa.Eep.HrnBtn, saved.HrnBtn);
  EXPECT_EQ(isa.Eep.AckRo1, 0xFFFFFFFFFFFFull);
  EXPECT_EQ(isa.ChnLines[2], "03 = R-07-10 = R2A1N.R1A1.B½S1M.RSSN");
}

TEST_F(IsaMapsTest, LoadIniStopsAtANonNumberKeepingWhatWasRead) {
  SetUpModel(TVexModel::Vex324, 8);
  CSimpleIniA doc;
  doc.SetValue("S", "AlmRed", "$FF");
  doc.SetValue("S", "AlmGrn", "12");
  doc.SetValue("S", "AlmBlu", "zz");
  doc.SetValue("S", "AlmSld", "$1");
  isa.Clear();
  try {
    isa.LoadIni("S", doc);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()), "'zz' is not a valid integer value");
  }
  EXPECT_EQ(isa.Eep.AlmRed, 0xFFu);
  EXPECT_EQ(isa.Eep.AlmGrn, 12u);
  EXPECT_EQ(isa.Eep.AlmSld, 0u);
}

TEST(StrToInt64, DecimalAndHexadecimal) {
  struct Case {
    const char* text;
    int64_t value;
  } cases[] = {{"0", 0},
               {"123", 123},
               {"-5", -5},
               {"$FFFFFFFFFFFF", 0xFFFFFFFFFFFF},
               {"0x10", 16},
               {"$FFFFFFFFFFFFFFFF", -1},
               {"9223372036854775807", INT64_MAX}};
  for (const Case& c : cases) EXPECT_EQ(StrToInt64(c.text), c.value) << c.text;
  for (const char* bad : {"", "$", "12a", "$1G", "$10000000000000000", "9223372036854775808", "1 2"})
    EXPECT_THROW(StrToInt64(bad), Exception) << bad;
}

// ---- records <-> map ------------------------------------------------------------------------

TEST_F(IsaMapsTest, Vex936ThirdGroupHoldsInputs33To36) {
  SetUpModel(TVexModel::Vex936, 0);
  isa.Clear();
  isa.Eep.AlmRed = (1ull << 35) | (1ull << 36) | (1ull << 63) | (1ull << 16) | 1;
  isa.WriteOpt();
  tVex936isa r;
  isa.ReadIsa(r);
  EXPECT_EQ(r.Al3Red, 0x0008);
  EXPECT_EQ(r.Al2Red, 0x0001);
  EXPECT_EQ(r.AlmRed, 0x0001);
  isa.Clear();
  isa.WriteIsa(r);
  EXPECT_EQ(isa.Eep.AlmRed, (1ull << 35) | (1ull << 16) | 1);
}

TEST_F(IsaMapsTest, Vex324OptionBytesPackNibbles) {
  SetUpModel(TVexModel::Vex324, 8);
  isa.Clear();
  isa.Eep.DimBrg = 5;
  isa.Eep.DimLev = 20;
  isa.Eep.DimTim = 100;
  isa.Eep.DimOpt = 0x40 | 0x80;
  isa.Eep.GraChn = 3;
  isa.Eep.GrpOpt = 0x80;
  isa.Eep.GraDet = 1000;
  isa.Eep.GraClr = 20;
  isa.Eep.GrbChn = 2;
  isa.Eep.GrbDet = 5;
  isa.Eep.GrbClr = 60000;
  isa.Eep.InpInv = 0xABCDEF;
  isa.Eep.TstBtn = 0x07;
  isa.Eep.HrnBtn = 0x01;
  isa.WriteOpt();
  tVex324isa r;
  isa.ReadIsa(r);
  EXPECT_EQ(r.DimBrg, 0xC5);
  EXPECT_EQ(r.GraChn, 0x83);
  EXPECT_EQ(r.InpInv, 0xCDEF);
  EXPECT_EQ(r.In2Inv, 0xAB);
  EXPECT_EQ(r.GrbClr, 60000);
  EXPECT_EQ(r.GraFun, 0);
  const auto w = ToWords(r);
  EXPECT_EQ(w[70], 0x0107);            // TstBtn low byte, HrnBtn high byte
  EXPECT_EQ(w[73], (20 << 8) | 0xC5);  // DimBrg low, DimLev high

  // a 142-byte variant leaves the later options of the map alone
  isa.Clear();
  isa.Eep.DimTim = 77;
  isa.WriteIsa(r, 142);
  EXPECT_EQ(isa.Eep.DimTim, 77);
  EXPECT_EQ(isa.Eep.InpInv, 0u);
  isa.WriteIsa(r, 160);
  EXPECT_EQ(isa.Eep.DimTim, 100);
  EXPECT_EQ(isa.Eep.DimOpt, 0xC0);
  EXPECT_EQ(isa.Eep.GrpOpt, 0x80);
  EXPECT_EQ(isa.Eep.InpInv, 0xABCDEFu);
  EXPECT_THROW(isa.WriteIsa(r, 150), Exception);
}

TEST_F(IsaMapsTest, ReadIsaStopsOnValidation) {
  SetUpModel(TVexModel::Vex924, 8);
  isa.DefaultT();
  isa.Edits[edRngTim].SetText("251");
  tVex924isa r;
  EXPECT_THROW(isa.ReadIsa(r), Exception);
  EXPECT_THROW(ReadIsaWords(isa, TVexModel::Vex924, 8), Exception);
}

TEST_F(IsaMapsTest, ModelsWithoutSequencesAreRefused) {
  EXPECT_THROW(SetUpModel(TVexModel::Vex733, 0), Exception);
  SetUpModel(TVexModel::Vex216, 11);  // legacy variant
  EXPECT_THROW(ReadIsaWords(isa, TVexModel::Vex216, 11), Exception);
  SetUpModel(TVexModel::Vex324, 8);
  EXPECT_THROW(WriteIsaWords(isa, TVexModel::Vex324, 8, std::vector<uint16_t>(74)), Exception);
}

// A random map through the model's record keeps exactly the bits the record can hold.
struct TripCase {
  TVexModel model;
  int app;
  int bits;          // inputs the record holds
  bool blue;         // colour blue held
  uint64_t invMask;  // InpInv bits held
  bool dimmer;       // dimmer fields held and enabled
  int delays;        // 0 none, 1 held but group disabled, 2 held and enabled
  uint16_t tstMask;  // TstBtn bits whose boxes are enabled
};

void PrintTo(const TripCase& c, std::ostream* os) { *os << VexModelInfo(c.model).name << "_app" << c.app; }

class RecordTrip : public IsaMapsTest, public ::testing::WithParamInterface<TripCase> {};

TEST_P(RecordTrip, KeepsWhatTheRecordHolds) {
  const TripCase& c = GetParam();
  std::mt19937_64 rng(static_cast<uint64_t>(c.app) * 977 + static_cast<uint64_t>(c.model));
  auto pick = [&rng](int lo, int hi) {
    return static_cast<int>(lo + rng() % static_cast<uint64_t>(hi - lo + 1));
  };
  auto delay = [&]() { return pick(3, 60000); };
  for (int round = 0; round < 40; ++round) {
    SetUpModel(c.model, c.app);
    tIsa18& e = isa.Eep;
    isa.Clear();
    uint64_t* maps[] = {&e.AlmRed, &e.AlmGrn, &e.AlmBlu, &e.AlmSld, &e.AlmBln, &e.AlmBuz, &e.AlmRo1,
                        &e.AlmRo2, &e.MomRed, &e.MomGrn, &e.MomBlu, &e.MomSld, &e.MomBln, &e.MomBuz,
                        &e.MomRo1, &e.MomRo2, &e.AckRed, &e.AckGrn, &e.AckBlu, &e.AckSld, &e.AckBln,
                        &e.AckBuz, &e.AckRo1, &e.AckRo2, &e.RngRed, &e.RngGrn, &e.RngBlu, &e.RngSld,
                        &e.RngBln, &e.RngBuz, &e.RngRo1, &e.RngRo2, &e.SilLck, &e.AutRes, &e.InpInv};
    for (uint64_t* m : maps) *m = rng();
    e.AlmTim = static_cast<uint16_t>(pick(0, 250));
    e.RngTim = static_cast<uint16_t>(pick(0, 250));
    e.TstBtn = static_cast<uint16_t>(rng());
    e.HrnBtn = static_cast<uint16_t>(rng());
    e.DimBrg = static_cast<uint16_t>(pick(1, 7));
    e.DimLev = static_cast<uint16_t>(pick(8, 30));
    e.DimTim = static_cast<uint16_t>(pick(0, 250));
    e.DimOpt = static_cast<uint16_t>(rng());
    e.GraChn = static_cast<uint16_t>(c.delays == 2 ? pick(0, 8) : pick(0, 15));
    e.GrbChn = static_cast<uint16_t>(c.delays == 2 ? pick(0, 8) : pick(0, 255));
    e.GraFun = e.GrbFun = static_cast<uint16_t>(pick(0, 3));
    e.GraDet = delay(), e.GraClr = delay(), e.GrbDet = delay(), e.GrbClr = delay();
    e.GrpOpt = static_cast<uint16_t>(rng());
    isa.WriteOpt();
    isa.Reload();  // as after every change of the map: enabling and automatic reset follow it
    const tIsa18 before = e;

    const std::vector<uint16_t> words = ReadIsaWords(isa, c.model, c.app);
    ASSERT_EQ(words.size() * 2, static_cast<size_t>(LayoutOf(c.model, c.app).isaSize));
    isa.Clear();
    WriteIsaWords(isa, c.model, c.app, words);

    const uint64_t held = c.bits == 64 ? ~0ull : (1ull << c.bits) - 1;
    const uint64_t beforeMaps[] = {before.AlmRed, before.AlmGrn, before.AlmBlu, before.AlmSld, before.AlmBln,
                                   before.AlmBuz, before.AlmRo1, before.AlmRo2, before.MomRed, before.MomGrn,
                                   before.MomBlu, before.MomSld, before.MomBln, before.MomBuz, before.MomRo1,
                                   before.MomRo2, before.AckRed, before.AckGrn, before.AckBlu, before.AckSld,
                                   before.AckBln, before.AckBuz, before.AckRo1, before.AckRo2, before.RngRed,
                                   before.RngGrn, before.RngBlu, before.RngSld, before.RngBln, before.RngBuz,
                                   before.RngRo1, before.RngRo2};
    for (size_t k = 0; k < 32; ++k) {
      const bool isBlue = k % 8 == 2;
      EXPECT_EQ(*maps[k], (isBlue && !c.blue) ? 0 : beforeMaps[k] & held) << "state bitmap " << k;
    }
    EXPECT_EQ(e.SilLck, before.SilLck & held);
    EXPECT_EQ(e.AutRes, before.AutRes & held);
    EXPECT_EQ(e.InpInv, before.InpInv & c.invMask);
    EXPECT_EQ(e.AlmTim, before.AlmTim);
    EXPECT_EQ(e.RngTim, before.RngTim);
    EXPECT_EQ(e.TstBtn, before.TstBtn & c.tstMask);
    const uint16_t hrnMask = 1 | 2 | 4 | ((before.HrnBtn & 1) ? 8 : 0) | (before.AlmTim > 0 ? 48 : 0) |
                             (before.RngTim > 0 ? 192 : 0);
    EXPECT_EQ(e.HrnBtn, before.HrnBtn & hrnMask);
    EXPECT_EQ(e.DimBrg, c.dimmer ? before.DimBrg : 0);
    EXPECT_EQ(e.DimLev, c.dimmer ? before.DimLev : 0);
    EXPECT_EQ(e.DimTim, c.dimmer ? before.DimTim : 0);
    EXPECT_EQ(e.DimOpt, c.dimmer ? before.DimOpt & 0xF0 : 0);
    EXPECT_EQ(e.GraChn, c.delays ? before.GraChn : 0);
    EXPECT_EQ(e.GrbChn, c.delays ? before.GrbChn : 0);
    EXPECT_EQ(e.GraFun, 0);
    EXPECT_EQ(e.GrbFun, 0);
    EXPECT_EQ(e.GraDet, c.delays ? before.GraDet : 0);
    EXPECT_EQ(e.GrbClr, c.delays ? before.GrbClr : 0);
    // bit 16 has no box and travels in the record's high nibble; 32 and 64 ("Echo") are always disabled
    EXPECT_EQ(e.GrpOpt, before.GrpOpt & (c.delays == 2 ? 0x90 : c.delays == 1 ? 0x10 : 0));
    if (HasFailure()) break;
  }
}

INSTANTIATE_TEST_SUITE_P(Models, RecordTrip,
                         ::testing::Values(TripCase{TVexModel::Vex324, 8, 32, true, 0xFFFFFF, true, 2, 0xDF},
                                           TripCase{TVexModel::Vex324, 6, 32, true, 0xFFFFFF, false, 0, 0xDF},
                                           TripCase{TVexModel::Vex324, 7, 32, true, 0xFFFFFF, true, 0, 0xDF},
                                           TripCase{TVexModel::Vex324, 4, 32, true, 0, false, 0, 0x17},
                                           TripCase{TVexModel::Vex324, 0, 32, true, 0xFFFFFF, false, 1, 0x07},
                                           TripCase{TVexModel::Vex924, 8, 32, true, 0, false, 0, 0x37},
                                           TripCase{TVexModel::Vex932, 5, 32, true, 0, false, 0, 0x07},
                                           TripCase{TVexModel::Vex936, 10, 36, true, 0, false, 0, 0x37},
                                           TripCase{TVexModel::Vex216, 8, 16, false, 0xFFFF, false, 0, 0xDF},
                                           TripCase{TVexModel::Vex216, 2, 16, false, 0, false, 0, 0x07},
                                           TripCase{TVexModel::Vex308, 11, 16, false, 0xFFFF, false, 0, 0xDF},
                                           TripCase{TVexModel::Vex308, 1, 16, false, 0, false, 0, 0x07},
                                           TripCase{TVexModel::Vex316, 17, 16, false, 0xFFFF, false, 0,
                                                    0xDF}),
                         ::testing::PrintToStringParamName());

}  // namespace
}  // namespace vex

namespace vex {
namespace {

// What each editor's "Setup Cfg" enables in the configurator.
struct SetupCase {
  TVexModel model;
  int app;
  int inputs, colours;
  bool comDia, virLck, inversion, dimmer, delays;
};

void PrintTo(const SetupCase& c, std::ostream* os) { *os << VexModelInfo(c.model).name << "_app" << c.app; }

class SetupTest : public ::testing::TestWithParam<SetupCase> {};

TEST_P(SetupTest, EnablesWhatTheVariantHas) {
  const SetupCase& c = GetParam();
  TIsaMaps1 isa;
  SetupForModel(isa, c.model, c.app, nullptr, nullptr);
  EXPECT_EQ(isa.Siz, c.inputs);
  EXPECT_EQ(isa.ChnLines.size(), static_cast<size_t>(c.inputs));
  EXPECT_EQ(isa.List(isAlm, ipColor).Items.size(), static_cast<size_t>(c.colours));
  EXPECT_EQ(isa.Rnk.size(), static_cast<size_t>(c.colours));
  EXPECT_EQ(isa.List(isMom, ipFlash).Items[1], "0.5 Hz blink");
  EXPECT_EQ(isa.List(isAck, ipFlash).Items[1], "½ Hz blink");
  EXPECT_TRUE(isa.ChnSel.at(0));
  EXPECT_EQ(isa.Boxes[obComDia].Enabled, c.comDia);
  EXPECT_EQ(isa.Boxes[obVirLck].Enabled, c.virLck);
  EXPECT_EQ(isa.InpInvBox.Enabled, c.inversion);
  EXPECT_EQ(isa.Boxes[obInvMin].Enabled, c.inversion);
  EXPECT_EQ(isa.Groups[grInvOut].Enabled, c.inversion);
  EXPECT_EQ(isa.Groups[grDimmer].Enabled, c.dimmer);
  EXPECT_EQ(isa.Groups[grDimmer].Visible, c.dimmer);
  EXPECT_EQ(isa.Edits[edDimLev].Enabled, c.dimmer);
  EXPECT_EQ(isa.Groups[grDelay].Enabled, c.delays);
  EXPECT_EQ(isa.Edits[edGrbChn].Enabled, c.delays);
  EXPECT_EQ(isa.Delays[dlGrbClr].Enabled, c.delays);
  EXPECT_EQ(isa.Boxes[obDlyPnl].Enabled, c.delays);
  EXPECT_FALSE(isa.Boxes[obEchBlu].Enabled);
  EXPECT_FALSE(isa.Boxes[obEchInp].Enabled);
  EXPECT_EQ(isa.Dly1, c.delays ? 8 : 0);
  EXPECT_EQ(isa.Dbs1, c.model == TVexModel::Vex324 ? 12 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Editors, SetupTest,
    ::testing::Values(SetupCase{TVexModel::Vex324, 8, 24, 8, true, false, true, true, true},
                      SetupCase{TVexModel::Vex324, 7, 24, 8, true, false, true, true, false},
                      SetupCase{TVexModel::Vex324, 6, 24, 8, true, false, true, false, false},
                      SetupCase{TVexModel::Vex324, 4, 24, 8, true, false, false, false, false},
                      SetupCase{TVexModel::Vex324, 3, 24, 8, false, false, false, false, false},
                      SetupCase{TVexModel::Vex924, 7, 24, 8, true, false, false, false, false},
                      SetupCase{TVexModel::Vex932, 19, 32, 8, true, true, false, false, false},
                      SetupCase{TVexModel::Vex936, 20, 36, 8, false, false, false, false, false},
                      SetupCase{TVexModel::Vex216, 9, 16, 3, true, false, true, false, false},
                      SetupCase{TVexModel::Vex216, 5, 16, 3, false, false, false, false, false},
                      SetupCase{TVexModel::Vex308, 40, 8, 3, true, false, false, false, false},
                      SetupCase{TVexModel::Vex316, 17, 16, 3, true, false, true, false, false},
                      SetupCase{TVexModel::Vex215, 0, 16, 3, false, false, false, false, false}),
    ::testing::PrintToStringParamName());

TEST(IsaFocus, HiddenWindowKeepsTheFocusWhereItWas) {
  TIsaMaps1 isa;
  SetupForModel(isa, TVexModel::Vex924, 8, nullptr, nullptr);
  isa.Edits[edAlmTim].SetText("999");
  EXPECT_THROW(isa.ReadOpt(), Exception);
  EXPECT_EQ(isa.FocusField(), nullptr);  // not shown: no focus moves
  EXPECT_EQ(isa.Edits[edAlmTim].Color, RGB(0xFF, 0xA0, 0xA0));
  isa.Show();
  isa.Edits[edAlmTim].SetText("100");
  isa.Edits[edRngTim].SetText("-3");
  EXPECT_THROW(isa.ReadOpt(), Exception);
  EXPECT_EQ(isa.Edits[edAlmTim].Color, clWindow);
  EXPECT_EQ(isa.FocusField(), &isa.Edits[edRngTim]);
  EXPECT_TRUE(isa.Edits[edRngTim].Focused);
  EXPECT_EQ(isa.Eep.AlmTim, 100);
}

}  // namespace
}  // namespace vex
