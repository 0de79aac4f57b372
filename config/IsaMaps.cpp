#include "config/IsaMaps.h"

#include <algorithm>
#include <cmath>

namespace vex {

// ---- value lists ------------------------------------------------------------------------

const char* const cRenks[8] = {"Disabled", "Red", "Green", "Yellow", "Blue", "Purple", "Turkuaz", "White"};
const TColor cRenk[8] = {RGB(0x80, 0x80, 0x80), RGB(0xFF, 0x00, 0x00), RGB(0x00, 0xFF, 0x00),
                         RGB(0xFF, 0xFF, 0x00), RGB(0x00, 0xA0, 0xFF), RGB(0x80, 0x00, 0x80),
                         RGB(0x00, 0xFF, 0xFF), RGB(0xFF, 0xFF, 0xFF)};
const char* const cBlink[4] = {"Solid Light", "½ Hz blink", "1 Hz blink", "2 Hz blink"};
const char* const cBlink2[4] = {"Solid Light", "0.5 Hz blink", "1 Hz blink", "2 Hz blink"};
const char* const cSound[2] = {"Silent", "Audible Buzzer"};
const char* const cRelay[4] = {"No Output", "1.Out / Horn", "2.Out / Bell", "Both Outputs"};
const char* const cLock[2] = {"No Locking", "Silence Interlock"};
const char* const cReset[2] = {"Manual Reset", "Auto Reset"};
const char* const cStateCaption[5] = {"First Alarm", "Acknowledged", "Ring Back", "Momentary", "Normal"};

const TOptDef cOptDefs[obCount] = {
    {"Toggle Silence", "HORN Button", "the HORN button toggles instead of acting as a push button",
     &tIsa18::HrnBtn, 1},
    {"1.Out - Horn", "HORN Button", "HORN button deactivates HORN, output 1", &tIsa18::HrnBtn, 2},
    {"2.Out - Bell", "HORN Button", "HORN button deactivates BELL, output 2", &tIsa18::HrnBtn, 4},
    {"Buzzer", "HORN Button", "HORN button silences the buzzer", &tIsa18::HrnBtn, 8},
    {"1.Out - Horn", "Auto Alarm Silence", "auto alarm silence timer also deactivates HORN", &tIsa18::HrnBtn,
     16},
    {"2.Out - Bell", "Auto Alarm Silence", "auto alarm silence timer also deactivates BELL", &tIsa18::HrnBtn,
     32},
    {"1.Out - Horn", "Auto Ringback Silence", "auto ringback silence timer also deactivates HORN",
     &tIsa18::HrnBtn, 64},
    {"2.Out - Bell", "Auto Ringback Silence", "auto ringback silence timer also deactivates BELL",
     &tIsa18::HrnBtn, 128},
    {"Buzzer Sounder", "TEST Button", "buzzer sounds while TEST is pushed", &tIsa18::TstBtn, 1},
    {"1.Out - Horn", "TEST Button", "output 1 activates while TEST is pushed", &tIsa18::TstBtn, 2},
    {"2.Out - Bell", "TEST Button", "output 2 activates while TEST is pushed", &tIsa18::TstBtn, 4},
    {"InvIO Mini Config", "Options", "inverted inputs selectable by panel configuration", &tIsa18::TstBtn, 8},
    {"Comm Diagnostic", "Options", "TEST lamp blinks with every transmission", &tIsa18::TstBtn, 16},
    {"Virtual Mode Lock", "Options", "virtual mode enabled initially at power-up", &tIsa18::TstBtn, 32},
    {"1.Out - Horn Inverse", "Inverse Outputs", "output 1 open while active", &tIsa18::TstBtn, 64},
    {"2.Out - Bell Inverse", "Inverse Outputs", "output 2 open while active", &tIsa18::TstBtn, 128},
    {"Dim Normal", "Brightness / Dimmer Options", "dim lamps while all inputs and states are normal",
     &tIsa18::DimOpt, 16},
    {"Dim Active", "Brightness / Dimmer Options",
     "dim lamps while momentary, acknowledged or ringback is pending", &tIsa18::DimOpt, 32},
    {"Dim Alarms", "Brightness / Dimmer Options", "dim lamps while any alarm is pending", &tIsa18::DimOpt,
     64},
    {"Panel Config", "Brightness / Dimmer Options",
     "brightness and dim levels adjustable by user configuration", &tIsa18::DimOpt, 128},
    {"Echo Blue", "Input Delay Options", "input shown in solid blue before its delay ends", &tIsa18::GrpOpt,
     32},
    {"Echo Inputs", "Input Delay Options", "input shown in its channel colour before its delay ends",
     &tIsa18::GrpOpt, 64},
    {"Panel Config", "Input Delay Options", "delay parameters adjustable from the panel", &tIsa18::GrpOpt,
     128},
};

const char* const cDescCaption[cDescCount] = {"A- Automatic Reset",
                                              "M- Manual Reset",
                                              "R- Ringback",
                                              "F1- No Subsequent Alarm",
                                              "F2- No Sub Alarm Flashing",
                                              "F3- First Alarm Flashing and Reset",
                                              "01- Silence Button",
                                              "02- Silence Interlock",
                                              "03- Firstout Interlock",
                                              "04- No-Lockin",
                                              "05- No-Flashing",
                                              "06- No-Audible",
                                              "07- Auto Alarm Silence",
                                              "08- Common Ringback Audible",
                                              "09- Auto Ringback Silence",
                                              "10- No Ringback Audible",
                                              "11- Common Ringback Visual",
                                              "12- Auto Momentary Ringback",
                                              "13- Dim Lamp Monitor"};

namespace {

using Bits = uint64_t tIsa18::*;

// property bitmaps of each state box (TIsaState order): Red, Grn, Blu, Sld, Bln, Buz, Ro1, Ro2
const Bits cStateBits[4][8] = {
    {&tIsa18::AlmRed, &tIsa18::AlmGrn, &tIsa18::AlmBlu, &tIsa18::AlmSld, &tIsa18::AlmBln, &tIsa18::AlmBuz,
     &tIsa18::AlmRo1, &tIsa18::AlmRo2},
    {&tIsa18::AckRed, &tIsa18::AckGrn, &tIsa18::AckBlu, &tIsa18::AckSld, &tIsa18::AckBln, &tIsa18::AckBuz,
     &tIsa18::AckRo1, &tIsa18::AckRo2},
    {&tIsa18::RngRed, &tIsa18::RngGrn, &tIsa18::RngBlu, &tIsa18::RngSld, &tIsa18::RngBln, &tIsa18::RngBuz,
     &tIsa18::RngRo1, &tIsa18::RngRo2},
    {&tIsa18::MomRed, &tIsa18::MomGrn, &tIsa18::MomBlu, &tIsa18::MomSld, &tIsa18::MomBln, &tIsa18::MomBuz,
     &tIsa18::MomRo1, &tIsa18::MomRo2},
};
enum { kRed, kGrn, kBlu, kSld, kBln, kBuz, kRo1, kRo2 };

// the bitmaps a list writes: bit 0 of its index into the first, bit 1 into the second, bit 2 into the third
std::vector<Bits> ListBits(TIsaState s, TIsaProp p) {
  const Bits* b = cStateBits[s];
  switch (p) {
    case ipColor:
      return {b[kRed], b[kGrn], b[kBlu]};
    case ipFlash:
      return {b[kSld], b[kBln]};
    case ipSound:
      return {b[kBuz]};
    case ipRelay:
      return {b[kRo1], b[kRo2]};
    case ipLock:
      return {&tIsa18::SilLck};
    case ipReset:
      return {&tIsa18::AutRes};
  }
  return {};
}

// the 34 words of one input group of the 24/32/36-input sequence records, in record order
const Bits cGroupMap[cIsaGroupWords] = {
    &tIsa18::AlmRed, &tIsa18::AlmGrn, &tIsa18::AlmBlu, &tIsa18::AlmSld, &tIsa18::AlmBln, &tIsa18::AlmBuz,
    &tIsa18::AlmRo1, &tIsa18::AlmRo2, &tIsa18::MomRed, &tIsa18::MomGrn, &tIsa18::MomBlu, &tIsa18::MomSld,
    &tIsa18::MomBln, &tIsa18::MomBuz, &tIsa18::MomRo1, &tIsa18::MomRo2, &tIsa18::AckRed, &tIsa18::AckGrn,
    &tIsa18::AckBlu, &tIsa18::AckSld, &tIsa18::AckBln, &tIsa18::AckBuz, &tIsa18::AckRo1, &tIsa18::AckRo2,
    &tIsa18::SilLck, &tIsa18::RngRed, &tIsa18::RngGrn, &tIsa18::RngBlu, &tIsa18::RngSld, &tIsa18::RngBln,
    &tIsa18::RngBuz, &tIsa18::RngRo1, &tIsa18::RngRo2, &tIsa18::AutRes};

// the 30 bitmap words of the 16/8-input sequence records, in record order (no blue)
const Bits cMap216[cIsa216StateWords + 2] = {
    &tIsa18::AlmRed, &tIsa18::AlmGrn, &tIsa18::AlmSld, &tIsa18::AlmBln, &tIsa18::AlmBuz, &tIsa18::AlmRo1,
    &tIsa18::AlmRo2, &tIsa18::AckRed, &tIsa18::AckGrn, &tIsa18::AckSld, &tIsa18::AckBln, &tIsa18::AckBuz,
    &tIsa18::AckRo1, &tIsa18::AckRo2, &tIsa18::RngRed, &tIsa18::RngGrn, &tIsa18::RngSld, &tIsa18::RngBln,
    &tIsa18::RngBuz, &tIsa18::RngRo1, &tIsa18::RngRo2, &tIsa18::MomRed, &tIsa18::MomGrn, &tIsa18::MomSld,
    &tIsa18::MomBln, &tIsa18::MomBuz, &tIsa18::MomRo1, &tIsa18::MomRo2, &tIsa18::SilLck, &tIsa18::AutRes};

// keys of the image file, in the order written
const char* const cStateKeys[32] = {"AlmRed", "AlmGrn", "AlmBlu", "AlmSld", "AlmBln", "AlmBuz", "AlmRo1",
                                    "AlmRo2", "MomRed", "MomGrn", "MomBlu", "MomSld", "MomBln", "MomBuz",
                                    "MomRo1", "MomRo2", "AckRed", "AckGrn", "AckBlu", "AckSld", "AckBln",
                                    "AckBuz", "AckRo1", "AckRo2", "RngRed", "RngGrn", "RngBlu", "RngSld",
                                    "RngBln", "RngBuz", "RngRo1", "RngRo2"};
const Bits cStateKeyBits[32] = {
    &tIsa18::AlmRed, &tIsa18::AlmGrn, &tIsa18::AlmBlu, &tIsa18::AlmSld, &tIsa18::AlmBln, &tIsa18::AlmBuz,
    &tIsa18::AlmRo1, &tIsa18::AlmRo2, &tIsa18::MomRed, &tIsa18::MomGrn, &tIsa18::MomBlu, &tIsa18::MomSld,
    &tIsa18::MomBln, &tIsa18::MomBuz, &tIsa18::MomRo1, &tIsa18::MomRo2, &tIsa18::AckRed, &tIsa18::AckGrn,
    &tIsa18::AckBlu, &tIsa18::AckSld, &tIsa18::AckBln, &tIsa18::AckBuz, &tIsa18::AckRo1, &tIsa18::AckRo2,
    &tIsa18::RngRed, &tIsa18::RngGrn, &tIsa18::RngBlu, &tIsa18::RngSld, &tIsa18::RngBln, &tIsa18::RngBuz,
    &tIsa18::RngRo1, &tIsa18::RngRo2};

constexpr uint64_t cPresetAll = 0xFFFFFFFFFFFFull;  // inputs 1..48
const TColor clFieldError = RGB(0xFF, 0xA0, 0xA0);

bool Bit(uint64_t v, int i) { return (v >> i) & 1u; }

// The first character of a text (one UTF-8 sequence).
std::string FirstChar(const char* s) {
  std::string r;
  if (!*s) return r;
  r += *s++;
  while ((static_cast<unsigned char>(*s) & 0xC0) == 0x80) r += *s++;
  return r;
}

}  // namespace

// ---- TEdit -----------------------------------------------------------------------------

void TEdit::SetFocus() {
  Focused = true;
  if (OnFocus) OnFocus(this);
}

// ---- construction and setup ---------------------------------------------------------------

TIsaMaps1::TIsaMaps1() {
  for (int s = 0; s < 4; ++s) {
    lists_[s][ipFlash].Items.assign(s == isRng || s == isMom ? cBlink2 : cBlink,
                                    (s == isRng || s == isMom ? cBlink2 : cBlink) + 4);
    lists_[s][ipSound].Items.assign(cSound, cSound + 2);
    lists_[s][ipRelay].Items.assign(cRelay, cRelay + 4);
  }
  lock_.Items.assign(cLock, cLock + 2);
  reset_.Items.assign(cReset, cReset + 2);
  for (int b = 0; b < obCount; ++b) {
    Boxes[b].Caption = cOptDefs[b].caption;
    Boxes[b].Hint = cOptDefs[b].hint;
  }
  Boxes[obEchBlu].Enabled = Boxes[obEchInp].Enabled = false;
  InpInvBox.Caption = "Inverse Input Logic";
  const char* edCaptions[edCount] = {"Auto Alarm Silence:",
                                     "Auto Ringback Silence:",
                                     "Brightness:",
                                     "Dim Level:",
                                     "Dim Timer:",
                                     "Group-A:",
                                     "Group-B:"};
  const char* dlCaptions[dlCount] = {"Detection-A:", "Clearance-A:", "Detection-B:", "Clearance-B:"};
  std::vector<std::string> delays;
  for (int v = 3; v <= 9; ++v) delays.push_back(std::to_string(v) + " ms");
  for (int v = 10; v <= 90; v += 10) delays.push_back(std::to_string(v) + " ms");
  for (int v = 100; v <= 900; v += 100) delays.push_back(std::to_string(v) + " ms");
  for (int v = 1; v <= 20; ++v) delays.push_back(std::to_string(v) + " s");
  for (int v = 30; v <= 60; v += 10) delays.push_back(std::to_string(v) + " s");
  auto focus = [this](TEdit* e) {
    for (TEdit& x : Edits) x.Focused = &x == e;
    for (TEdit& x : Delays) x.Focused = &x == e;
    focus_ = e;
  };
  for (int e = 0; e < edCount; ++e) {
    Edits[e] = TEdit(edCaptions[e]);
    Edits[e].OwnerVisible = &Visible;
    Edits[e].OnFocus = focus;
  }
  for (int d = 0; d < dlCount; ++d) {
    Delays[d] = TEdit(dlCaptions[d]);
    Delays[d].Items = delays;
    Delays[d].OwnerVisible = &Visible;
    Delays[d].OnFocus = focus;
  }
  Groups[grDimmer].Caption = "Brightness / Dimmer Options";
  Groups[grDelay].Caption = "Input Delay Options";
  Groups[grInvOut].Caption = "Inverse Outputs";
  for (int i = 0; i < cDescCount; ++i) {
    Desc[i].Caption = cDescCaption[i];
    Desc[i].Enabled = false;  // display only
  }
  Setup(0, false, false, false, false, TRenkSet().set(lcRed).set(lcGreen), nullptr, nullptr, false);
}

void TIsaMaps1::Setup(int s, bool e1, bool e2, bool e3, bool e4, TRenkSet c, IEditField* L1, IEditField* L2,
                      bool /*e6 has no effect*/) {
  if (s < 0 || s > 64) throw Exception("Number of inputs out of range [0~64]");
  Bsy = false;
  SetDelays(0, 0, 0, 0, 0, 0, 0, 0);
  Siz = s;
  ChnSel.assign(static_cast<size_t>(s), false);
  Le1 = L1;
  Le2 = L2;
  Rnk.clear();
  RnkColour.clear();
  for (int st = 0; st < 4; ++st) lists_[st][ipColor].Items.clear();
  for (int j = 0; j < 8; ++j) {
    if (j != 0 && !c.test(static_cast<size_t>(j))) continue;
    for (int st = 0; st < 4; ++st) lists_[st][ipColor].Items.push_back(cRenks[j]);
    Rnk.push_back(cRenk[j]);
    RnkColour.push_back(j);
  }
  RedrawList();
  if (s > 0) ChnSel[0] = true;
  ShowSelection();
  Boxes[obComDia].Enabled = e1;
  Boxes[obVirLck].Enabled = e2;
  Groups[grInvOut].Enabled = e3;
  Boxes[obInvOt1].Enabled = Boxes[obInvOt2].Enabled = e3;
  InpInvBox.Enabled = e3;
  Boxes[obInvMin].Enabled = e3;
  Groups[grDimmer].Enabled = Groups[grDimmer].Visible = e4;
  for (TIsaEdit e : {edDimBrg, edDimLev, edDimTim}) Edits[e].Enabled = Edits[e].Visible = e4;
  for (TOptBox b : {obDimNor, obDimAct, obDimAlm, obDimPnl}) Boxes[b].Enabled = Boxes[b].Visible = e4;
  WriteOpt();
}

void TIsaMaps1::SetDelays(int d1, int b1, int d2, int b2, int d3, int b3, int d4, int b4) {
  Dly1 = d1, Dly2 = d2, Dly3 = d3, Dly4 = d4;
  Dbs1 = b1, Dbs2 = b2, Dbs3 = b3, Dbs4 = b4;
  const bool a = d1 > 0, b = d1 > 0 && d2 > 0;
  Groups[grDelay].Enabled = Groups[grDelay].Visible = a;
  Edits[edGraChn].Enabled = Delays[dlGraDet].Enabled = Delays[dlGraClr].Enabled = a;
  Boxes[obDlyPnl].Enabled = a;
  Edits[edGrbChn].Enabled = Delays[dlGrbDet].Enabled = Delays[dlGrbClr].Enabled = b;
  Boxes[obEchBlu].Enabled = Boxes[obEchInp].Enabled = false;
}

void TIsaMaps1::Clear() { Eep = tIsa18{}; }

uint64_t TIsaMaps1::AllInputs() const { return Siz >= 64 ? ~0ull : ((1ull << Siz) - 1); }

// ---- lists ------------------------------------------------------------------------------

TComboList& TIsaMaps1::List(TIsaState s, TIsaProp p) {
  return const_cast<TComboList&>(static_cast<const TIsaMaps1*>(this)->List(s, p));
}

const TComboList& TIsaMaps1::List(TIsaState s, TIsaProp p) const {
  if (p == ipLock) {
    if (s != isAlm) throw Exception("Only First Alarm has a lock list");
    return lock_;
  }
  if (p == ipReset) {
    if (s != isAck) throw Exception("Only Acknowledged has a reset list");
    return reset_;
  }
  if (s < isAlm || s > isMom) throw Exception("Normal has no lists");
  return lists_[s][p];
}

int TIsaMaps1::IndexOf(TIsaState s, TIsaProp p, int i) const {
  const std::vector<Bits> bits = ListBits(s, p);
  int v = 0;
  for (size_t k = 0; k < bits.size(); ++k) v |= Bit(Eep.*bits[k], i) << k;
  if (p != ipColor) return v;
  const auto it = std::find(RnkColour.begin(), RnkColour.end(), v);
  return it == RnkColour.end() ? -1 : static_cast<int>(it - RnkColour.begin());
}

void TIsaMaps1::WriteIndex(TIsaState s, TIsaProp p, int index, int i) {
  const int v = p == ipColor ? RnkColour[static_cast<size_t>(index)] : index;
  const std::vector<Bits> bits = ListBits(s, p);
  for (size_t k = 0; k < bits.size(); ++k) {
    if ((v >> k) & 1)
      Eep.*bits[k] |= 1ull << i;
    else
      Eep.*bits[k] &= ~(1ull << i);
  }
}

// ---- showing ------------------------------------------------------------------------------

void TIsaMaps1::RedrawList() {
  ChnLines.resize(static_cast<size_t>(Siz));
  for (int n = 1; n <= Siz; ++n) ChnLines[static_cast<size_t>(n - 1)] = ChannelLine(n);
}

void TIsaMaps1::ShowSelection() {
  const bool wasBsy = Bsy;
  Bsy = true;
  std::vector<int> sel;
  for (int i = 0; i < Siz; ++i)
    if (ChnSel[static_cast<size_t>(i)]) sel.push_back(i);

  auto show = [&](TIsaState s, TIsaProp p) {
    TComboList& l = List(s, p);
    l.ItemIndex = -1;
    for (size_t k = 0; k < sel.size(); ++k) {
      const int idx = IndexOf(s, p, sel[k]);
      if (k == 0)
        l.ItemIndex = idx;
      else if (idx != l.ItemIndex)
        l.ItemIndex = -1;
    }
  };
  auto tri = [&](uint64_t bits, TCheckBox& box) {
    box.State = cbUnchecked;
    for (size_t k = 0; k < sel.size(); ++k) {
      const TCheck st = Bit(bits, sel[k]) ? cbChecked : cbUnchecked;
      if (k == 0)
        box.State = st;
      else if (st != box.State)
        box.State = cbGrayed;
    }
  };
  for (TIsaState s : {isAlm, isAck, isRng, isMom})
    for (TIsaProp p : {ipColor, ipFlash, ipSound, ipRelay}) show(s, p);
  show(isAlm, ipLock);
  show(isAck, ipReset);
  tri(Eep.InpInv, InpInvBox);
  ApplyEnabling();
  // second pass: swatches and descriptions
  for (TIsaState s : {isAlm, isAck, isRng, isMom}) {
    const TComboList& l = List(s, ipColor);
    Swatch[s] = l.Enabled && l.ItemIndex >= 0 && l.ItemIndex < static_cast<int>(Rnk.size())
                    ? Rnk[static_cast<size_t>(l.ItemIndex)]
                    : clBtnFace;
  }
  const uint64_t desc[cDescCount] = {Eep.IsaAA1, Eep.IsaMM1, Eep.IsaRR1, Eep.IsaFF1, Eep.IsaFF2,
                                     Eep.IsaFF3, Eep.IsaS01, Eep.IsaS02, Eep.IsaS03, Eep.IsaS04,
                                     Eep.IsaS05, Eep.IsaS06, Eep.IsaS07, Eep.IsaS08, Eep.IsaS09,
                                     Eep.IsaS10, Eep.IsaS11, Eep.IsaS12, Eep.IsaS13};
  for (int d = 0; d < cDescCount; ++d) tri(desc[d], Desc[d]);
  Bsy = wasBsy;
}

bool TIsaMaps1::FieldAboveZero(TIsaEdit e) const {
  int64_t v = 0;
  return TryStrToInt(Edits[e].Text(), v) && v > 0;
}

void TIsaMaps1::ApplyEnabling() {
  auto set = [](const TComboList& l) { return l.ItemIndex != 0; };  // not "Disabled"
  const bool toggle = Boxes[obHrnTog].Checked();
  TComboList& almCol = List(isAlm, ipColor);
  TComboList& ackCol = List(isAck, ipColor);
  TComboList& rngCol = List(isRng, ipColor);
  TComboList& momCol = List(isMom, ipColor);
  almCol.Enabled = true;
  const bool almSet = set(almCol);
  for (TIsaProp p : {ipFlash, ipSound, ipRelay}) List(isAlm, p).Enabled = almSet;
  ackCol.Enabled = almSet;
  const bool ackSet = ackCol.Enabled && set(ackCol);
  for (TIsaProp p : {ipFlash, ipSound, ipRelay}) List(isAck, p).Enabled = ackSet;
  lock_.Enabled = !toggle && almSet && List(isAck, ipFlash).Enabled;
  rngCol.Enabled = almSet && set(ackCol);
  for (TIsaProp p : {ipFlash, ipSound, ipRelay}) List(isRng, p).Enabled = rngCol.Enabled && set(rngCol);
  momCol.Enabled = List(isAck, ipFlash).Enabled;
  for (TIsaProp p : {ipFlash, ipSound, ipRelay}) List(isMom, p).Enabled = momCol.Enabled && set(momCol);
  reset_.Enabled = !List(isRng, ipFlash).Enabled && ackSet;
  Boxes[obHrnBuz].Enabled = toggle;
  if (!toggle) Boxes[obHrnBuz].State = cbChecked;
  Boxes[obAasOt1].Enabled = Boxes[obAasOt2].Enabled = FieldAboveZero(edAlmTim);
  Boxes[obArsOt1].Enabled = Boxes[obArsOt2].Enabled = FieldAboveZero(edRngTim);
}

std::vector<TArrow> TIsaMaps1::Arrows() const {
  auto colour = [this](TIsaState to) {
    if (to == isNormal) return clBlack;
    return List(to, ipFlash).Enabled ? clBlack : clSilver;
  };
  const std::pair<std::pair<TIsaState, TIsaState>, const char*> arrows[] = {
      {{isNormal, isAlm}, "Abnormal"},
      {{isAlm, isAck}, "Ack"},
      {{isAck, isRng}, "Normal"},
      {{isRng, isNormal}, "Reset"},
      {{isAck, isNormal}, "Reset while Normal"},
      {{isAlm, isMom}, "Normal"},
      {{isMom, isNormal}, "Ack"}};
  std::vector<TArrow> r;
  for (const auto& a : arrows) r.push_back({a.first.first, a.first.second, a.second, colour(a.first.second)});
  return r;
}

// ---- channel lines and derived bitmaps -------------------------------------------------------

uint64_t TIsaMaps1::Lit(TIsaState s) const {
  const Bits* b = cStateBits[s];
  return (Eep.*b[kRed] | Eep.*b[kGrn] | Eep.*b[kBlu]) & AllInputs();
}

std::string TIsaMaps1::ChannelLine(int n) const {
  if (n < 1 || n > Siz)
    throw Exception("Input " + std::to_string(n) + " out of range [1~" + std::to_string(Siz) + "]");
  const int i = n - 1;
  const std::string nn = InttoZero(n, 2);
  if (!Bit(Lit(isAlm) | Lit(isAck) | Lit(isRng) | Lit(isMom), i)) return nn + " ---";
  std::string letters;
  if (Bit(Eep.IsaFF1, i)) letters += "F1";
  if (Bit(Eep.IsaFF2, i)) letters += "F2";
  if (Bit(Eep.IsaFF3, i)) letters += "F3";
  if (Bit(Eep.IsaAA1, i)) letters += "A";
  if (Bit(Eep.IsaMM1, i)) letters += "M";
  if (Bit(Eep.IsaRR1, i)) letters += "R";
  std::string line = nn + " = " + (letters.empty() ? "Custom" : letters);
  const uint64_t opts[13] = {Eep.IsaS01, Eep.IsaS02, Eep.IsaS03, Eep.IsaS04, Eep.IsaS05,
                             Eep.IsaS06, Eep.IsaS07, Eep.IsaS08, Eep.IsaS09, Eep.IsaS10,
                             Eep.IsaS11, Eep.IsaS12, Eep.IsaS13};
  for (int k = 0; k < 13; ++k)
    if (Bit(opts[k], i)) line += "-" + InttoZero(k + 1, 2);
  auto code = [&](TIsaState s) {
    const Bits* b = cStateBits[s];
    const int colour = Bit(Eep.*b[kRed], i) + 2 * Bit(Eep.*b[kGrn], i) + 4 * Bit(Eep.*b[kBlu], i);
    const int flash = Bit(Eep.*b[kSld], i) + 2 * Bit(Eep.*b[kBln], i);
    const int relay = Bit(Eep.*b[kRo1], i) + 2 * Bit(Eep.*b[kRo2], i);
    return FirstChar(cRenks[colour]) + FirstChar(cBlink[flash]) + FirstChar(cSound[Bit(Eep.*b[kBuz], i)]) +
           FirstChar(cRelay[relay]);
  };
  line += " = " + code(isAlm) + FirstChar(cLock[Bit(Eep.SilLck, i)]) + "." + code(isMom) + "." + code(isAck) +
          FirstChar(cReset[Bit(Eep.AutRes, i)]) + "." + code(isRng);
  if (Bit(Eep.InpInv, i)) line += ".NC";
  const bool inA = n >= Dbs1 - Eep.GraChn + 1 && n <= Dbs1;
  const bool inB = n >= Dbs2 - Eep.GrbChn + 1 && n <= Dbs2;
  if (inA)
    line += ".DA";
  else if (inB)
    line += ".DB";
  return line;
}

void TIsaMaps1::Reload() {
  const uint64_t all = AllInputs();
  const uint64_t ALM = Lit(isAlm), ACK = Lit(isAck), RNG = Lit(isRng), MOM = Lit(isMom);
  tIsa18& e = Eep;
  e.AutRes &= ~RNG;  // automatic reset only without ringback
  e.IsaAA1 = ALM & e.AutRes & ACK & ~RNG;
  e.IsaMM1 = ALM & ~e.AutRes & ACK & ~RNG;
  e.IsaRR1 = ALM & ~e.AutRes & ACK & RNG;
  e.IsaFF1 = e.IsaFF2 = e.IsaFF3 = 0;
  const bool toggle = Boxes[obHrnTog].Checked();
  e.IsaS01 = toggle ? 0 : all;
  e.IsaS02 = toggle ? 0 : (ACK & e.SilLck & all);
  e.IsaS03 = 0;
  e.IsaS04 = ~ACK & all;
  e.IsaS05 = ALM & ACK & ~(e.AlmSld | e.AlmBln) & ~(e.AckSld | e.AckBln);
  e.IsaS06 = ALM & ~e.AlmBuz & (~e.AckBuz | ~ACK) & (~e.RngBuz | ~RNG) & (~e.MomBuz | ~MOM);
  e.IsaS07 = FieldAboveZero(edAlmTim) ? all : 0;
  e.IsaS08 = ALM & e.AlmBuz & RNG & e.RngBuz;
  e.IsaS09 = FieldAboveZero(edRngTim) ? all : 0;
  e.IsaS10 = RNG & ~e.RngBuz;
  e.IsaS11 = ALM & RNG & ~(e.RngSld ^ e.AlmSld) & ~(e.RngBln ^ e.AlmBln);
  e.IsaS12 = 0;
  e.IsaS13 = Boxes[obDimAlm].Checked() || Boxes[obDimAct].Checked() || Boxes[obDimNor].Checked() ? all : 0;
  RedrawList();
  ShowSelection();
}

// ---- options: screen <-> map --------------------------------------------------------------------

void TIsaMaps1::ReadRange(TIsaEdit e, int lo, int hi, const std::string& name, uint16_t& out) {
  TEdit& f = Edits[e];
  try {
    const int64_t v = StrToInt(f.Text());
    if (v < lo || v > hi)
      throw Exception(name + " Range Exceed [" + std::to_string(lo) + "~" + std::to_string(hi) + "]");
    f.SetColor(clWindow);
    out = static_cast<uint16_t>(v);
  } catch (const Exception&) {
    if (f.CanFocus()) f.SetFocus();
    f.SetColor(clFieldError);
    throw;
  }
}

void TIsaMaps1::ReadOpt() {
  tIsa18& e = Eep;
  ReadRange(edAlmTim, 0, 250, "Auto Alarm Silence", e.AlmTim);
  ReadRange(edRngTim, 0, 250, "Auto Ringback Silence", e.RngTim);
  if (Groups[grDimmer].Enabled) {
    ReadRange(edDimBrg, 1, 7, "Brightness", e.DimBrg);
    ReadRange(edDimLev, 8, 30, "Dimmer Level", e.DimLev);
    ReadRange(edDimTim, 0, 250, "Dimmer Timer", e.DimTim);
  } else {
    e.DimBrg = e.DimLev = e.DimTim = 0;
  }
  if (Groups[grDelay].Enabled) {
    auto count = [this](TIsaEdit id, int mx) {
      TEdit& f = Edits[id];
      try {
        const auto v = static_cast<uint16_t>(LbEdttoInt(f, 0, mx));
        f.SetColor(clWindow);
        return v;
      } catch (const Exception&) {
        f.SetColor(clFieldError);
        throw;
      }
    };
    auto delay = [this](TIsaDelay id) {
      return static_cast<int32_t>(DelaytoInt(LbEdttoDelay(Delays[id], Delays[id].Caption(), 0.003, 60)));
    };
    e.GraChn = count(edGraChn, Dly1);
    e.GraDet = delay(dlGraDet);
    e.GraClr = delay(dlGraClr);
    e.GrbChn = count(edGrbChn, Dly2);
    e.GrbDet = delay(dlGrbDet);
    e.GrbClr = delay(dlGrbClr);
  }
  e.GraFun = 0;
  e.GrbFun = 0;
  for (int b = 0; b < obCount; ++b) {
    uint16_t& w = e.*cOptDefs[b].word;
    if (Boxes[b].Enabled && Boxes[b].Checked())
      w = static_cast<uint16_t>(w | cOptDefs[b].bit);
    else
      w = static_cast<uint16_t>(w & ~cOptDefs[b].bit);
  }
}

void TIsaMaps1::WriteOpt() {
  B90 = true;
  const tIsa18& e = Eep;
  const int values[edCount] = {e.AlmTim, e.RngTim, e.DimBrg, e.DimLev, e.DimTim, e.GraChn, e.GrbChn};
  for (int k = 0; k < edCount; ++k) Edits[k].SetText(std::to_string(values[k]));
  const int32_t delays[dlCount] = {e.GraDet, e.GraClr, e.GrbDet, e.GrbClr};
  for (int k = 0; k < dlCount; ++k) Delays[k].SetText(DelayText(delays[k]));
  for (int b = 0; b < obCount; ++b)
    Boxes[b].State = (e.*cOptDefs[b].word & cOptDefs[b].bit) ? cbChecked : cbUnchecked;
  B90 = false;
}

std::string TIsaMaps1::DelayText(int64_t ms) {
  const double seconds = InttoDelay(ms);
  const std::string t = DelaytoStr(seconds);
  // Above one second the text holds whole seconds only; a value in between is shown in
  // milliseconds so that the next ReadOpt stores the same value instead of a rounded one.
  const int64_t v = DelaytoInt(seconds);
  return DelaytoInt(StrtoDelay(t)) == v ? t : std::to_string(v) + " mS";
}

double TIsaMaps1::InttoDelay(int64_t ms) { return std::clamp(static_cast<double>(ms) * 0.001, 0.003, 60.0); }

int64_t TIsaMaps1::DelaytoInt(double seconds) {
  if (!std::isfinite(seconds)) return seconds > 0 ? 60000 : 3;
  return std::clamp<int64_t>(std::llround(std::clamp(seconds, -1e9, 1e9) * 1000.0), 3, 60000);
}

// ---- image file keys ------------------------------------------------------------------------

void TIsaMaps1::SaveIni(const std::string& section, CSimpleIniA& doc) {
  ReadOpt();
  Reload();
  const tIsa18& e = Eep;
  const int digits = (Siz + 3) / 4;
  auto put = [&](const char* key, const std::string& v) { doc.SetValue(section.c_str(), key, v.c_str()); };
  auto bits = [&](const char* key, uint64_t v) { put(key, "$" + IntToHex(v, digits)); };
  auto w4 = [&](const char* key, uint64_t v) { put(key, "$" + IntToHex(v, 4)); };
  auto w8 = [&](const char* key, int32_t v) { put(key, "$" + IntToHex(static_cast<uint32_t>(v), 8)); };
  for (int k = 0; k < 32; ++k) bits(cStateKeys[k], e.*cStateKeyBits[k]);
  bits("SilLck", e.SilLck);
  bits("AutRes", e.AutRes);
  w4("AlmTim", e.AlmTim);
  w4("RngTim", e.RngTim);
  w4("TstBtn", e.TstBtn);
  w4("HrnBtn", e.HrnBtn);
  if (InpInvBox.Enabled) bits("InpInv", e.InpInv);
  if (Groups[grDimmer].Enabled) {
    w4("DimBrg", e.DimBrg);
    w4("DimLev", e.DimLev);
    w4("DimTim", e.DimTim);
    w4("DimOpt", e.DimOpt);
  }
  if (Groups[grDelay].Enabled) {
    w4("GraChn", e.GraChn);
    w4("GraFun", e.GraFun);
    w8("GraDet", e.GraDet);
    w8("GraClr", e.GraClr);
    w4("GrbChn", e.GrbChn);
    w4("GrbFun", e.GrbFun);
    w8("GrbDet", e.GrbDet);
    w8("GrbClr", e.GrbClr);
    w4("GrpOpt", e.GrpOpt);
  }
}

void TIsaMaps1::LoadIni(const std::string& section, CSimpleIniA& doc) {
  tIsa18& e = Eep;
  auto get = [&](const char* key, int64_t def) {
    const char* v = doc.GetValue(section.c_str(), key, nullptr);
    return v ? StrToInt64(v) : def;
  };
  for (int k = 0; k < 32; ++k) e.*cStateKeyBits[k] = static_cast<uint64_t>(get(cStateKeys[k], 0));
  e.SilLck = static_cast<uint64_t>(get("SilLck", 0));
  e.AutRes = static_cast<uint64_t>(get("AutRes", 0));
  e.AlmTim = static_cast<uint16_t>(get("AlmTim", 0));
  e.RngTim = static_cast<uint16_t>(get("RngTim", 0));
  e.TstBtn = static_cast<uint16_t>(get("TstBtn", 7));
  e.HrnBtn = static_cast<uint16_t>(get("HrnBtn", 7));
  e.InpInv = static_cast<uint64_t>(get("InpInv", 0));
  e.DimBrg = static_cast<uint16_t>(get("DimBrg", 1));
  e.DimLev = static_cast<uint16_t>(get("DimLev", 8));
  e.DimTim = static_cast<uint16_t>(get("DimTim", 120));
  e.DimOpt = static_cast<uint16_t>(get("DimOpt", 0));
  e.GraChn = static_cast<uint16_t>(get("GraChn", 0));
  e.GraFun = static_cast<uint16_t>(get("GraFun", 0));
  e.GraDet = static_cast<int32_t>(get("GraDet", 5));
  e.GraClr = static_cast<int32_t>(get("GraClr", 20));
  e.GrbChn = static_cast<uint16_t>(get("GrbChn", 0));
  e.GrbFun = static_cast<uint16_t>(get("GrbFun", 0));
  e.GrbDet = static_cast<int32_t>(get("GrbDet", 5));
  e.GrbClr = static_cast<int32_t>(get("GrbClr", 20));
  e.GrpOpt = static_cast<uint16_t>(get("GrpOpt", 0));
  WriteOpt();
  Reload();
}

// ---- presets ---------------------------------------------------------------------------------

void TIsaMaps1::PresetT() {
  tIsa18& e = Eep;
  for (const Bits* state : cStateBits)
    for (int k = 0; k < 8; ++k) e.*state[k] = 0;
  e.AlmRed = e.AlmSld = e.AlmBln = e.AlmBuz = e.AlmRo1 = cPresetAll;
  e.MomRed = e.MomBln = e.MomBuz = e.MomRo1 = cPresetAll;
  e.AckRed = e.AckSld = cPresetAll;
  e.RngRed = cPresetAll;
  e.SilLck = e.AutRes = e.InpInv = 0;
  e.AlmTim = e.RngTim = 0;
  e.TstBtn = 7;
  e.HrnBtn = 7;
  e.DimBrg = 1;
  e.DimLev = 8;
  e.DimOpt = 0;
  e.DimTim = 0;
  e.GraChn = e.GraFun = e.GrbChn = e.GrbFun = e.GrpOpt = 0;
  e.GraDet = e.GrbDet = 5;
  e.GraClr = e.GrbClr = 20;
  if (Le1) Le1->SetText("5");
  if (Le2) Le2->SetText("20");
}

void TIsaMaps1::AfterPreset() {
  WriteOpt();
  Reload();
}

void TIsaMaps1::DefaultT() {
  PresetT();
  AfterPreset();
}

void TIsaMaps1::DefaultA() {
  PresetT();
  Eep.AckRo1 = cPresetAll;
  Eep.TstBtn = 1;
  Eep.HrnBtn = 9;
  AfterPreset();
}

void TIsaMaps1::DefaultN() {
  PresetT();
  Eep.GraDet = 10000;
  Eep.GraClr = 1000;
  Eep.GrbChn = 6;
  Eep.GrbDet = 10000;
  Eep.GrbClr = 1000;
  Eep.GrpOpt = 0;
  WriteOpt();
  if (Groups[grDelay].Enabled) Boxes[obDlyPnl].State = cbChecked;
  if (Groups[grDimmer].Enabled) Boxes[obDimPnl].State = cbChecked;
  if (InpInvBox.Enabled) Boxes[obInvMin].State = cbChecked;
  Reload();
}

// ---- user actions ---------------------------------------------------------------------------

void TIsaMaps1::SelectChannels(const std::vector<int>& inputs) {
  for (int n : inputs)
    if (n < 1 || n > Siz)
      throw Exception("Input " + std::to_string(n) + " out of range [1~" + std::to_string(Siz) + "]");
  ChnSel.assign(static_cast<size_t>(Siz), false);
  for (int n : inputs) ChnSel[static_cast<size_t>(n - 1)] = true;
  ShowSelection();
}

void TIsaMaps1::ListChange(TIsaState s, TIsaProp p, int index) {
  TComboList& l = List(s, p);
  if (index < -1 || index >= static_cast<int>(l.Items.size()))
    throw Exception("List index " + std::to_string(index) + " out of range");
  l.ItemIndex = index;
  if (Bsy || B90 || index < 0) return;
  for (int i = 0; i < Siz; ++i)
    if (ChnSel[static_cast<size_t>(i)]) WriteIndex(s, p, index, i);
  ShowSelection();
}

void TIsaMaps1::InpInvClick(TCheck state) {
  InpInvBox.State = state;
  if (Bsy || B90) return;
  for (int i = 0; i < Siz; ++i) {
    if (!ChnSel[static_cast<size_t>(i)]) continue;
    const uint64_t bit = 1ull << i;
    if (state == cbChecked)
      Eep.InpInv |= bit;
    else if (state == cbUnchecked)
      Eep.InpInv &= ~bit;
    else
      Eep.InpInv ^= bit;
  }
  try {
    ReadOpt();
  } catch (const Exception&) {  // while editing a bad field only turns light red
  }
  Reload();
}

void TIsaMaps1::OptionClick(TOptBox b, bool ticked) {
  Boxes[b].State = ticked ? cbChecked : cbUnchecked;
  if (Bsy || B90) return;
  try {
    ReadOpt();
  } catch (const Exception&) {
  }
  Reload();
}

void TIsaMaps1::EditChange(TIsaEdit e, const std::string& text) {
  Edits[e].SetText(text);
  if (Bsy || B90) return;
  try {
    ReadOpt();
  } catch (const Exception&) {
  }
  Reload();
}

void TIsaMaps1::DelayChange(TIsaDelay d, const std::string& text) {
  TEdit& f = Delays[d];
  f.SetText(text);
  if (Bsy || B90) return;
  bool ok = false;
  try {
    const double v = StrtoDelay(text);
    ok = v >= 0.003 && v <= 60;
  } catch (const Exception&) {
  }
  f.SetColor(ok ? clWindow : clFieldError);
}

void TIsaMaps1::StepClick(TIsaEdit e, int direction) {
  int step, lo, hi;
  switch (e) {
    case edDimBrg:
      step = 1, lo = 1, hi = 7;
      break;
    case edDimLev:
      step = 3, lo = 8, hi = 30;
      break;
    case edGraChn:
      step = 1, lo = 0, hi = Dly1;
      break;
    case edGrbChn:
      step = 1, lo = 0, hi = Dly2;
      break;
    default:
      throw Exception(Edits[e].Caption() + " has no step buttons");
  }
  if (!Edits[e].Enabled) return;
  int64_t v = 0;
  if (!TryStrToInt(Edits[e].Text(), v)) v = 0;
  v = std::clamp<int64_t>(v + (direction >= 0 ? step : -step), lo, hi);
  EditChange(e, std::to_string(v));
}

// ---- records <-> map -------------------------------------------------------------------------

template <class R>
void TIsaMaps1::WriteGroups(const R& r, int groups) {
  const std::vector<uint16_t> w = ToWords(r);
  for (int k = 0; k < cIsaGroupWords; ++k) {
    uint64_t v = 0;
    for (int g = 0; g < groups; ++g) {
      uint64_t x = w[static_cast<size_t>(g * cIsaGroupWords + k)];
      if (g == 2) x &= 0xF;  // inputs 33..36
      v |= x << (16 * g);
    }
    Eep.*cGroupMap[k] = v;
  }
  Eep.AlmTim = r.AlmTim;
  Eep.RngTim = r.RngTim;
  Eep.TstBtn = r.TstBtn;
  Eep.HrnBtn = r.HrnBtn;
}

template <class R>
void TIsaMaps1::ReadGroups(R& r, int groups) {
  ReadOpt();
  Reload();
  std::vector<uint16_t> w(sizeof(R) / 2, 0);
  for (int k = 0; k < cIsaGroupWords; ++k)
    for (int g = 0; g < groups; ++g)
      w[static_cast<size_t>(g * cIsaGroupWords + k)] =
          static_cast<uint16_t>((Eep.*cGroupMap[k] >> (16 * g)) & (g == 2 ? 0xF : 0xFFFF));
  r = FromWords<R>(w);
  r.AlmTim = Eep.AlmTim;
  r.RngTim = Eep.RngTim;
  r.TstBtn = static_cast<uint8_t>(Eep.TstBtn);
  r.HrnBtn = static_cast<uint8_t>(Eep.HrnBtn);
}

void TIsaMaps1::WriteIsa(const tVex324isa& r, int size) {
  if (size != 142 && size != 148 && size != 160)
    throw Exception("Sequence record size " + std::to_string(size) + " is not 142, 148 or 160");
  WriteGroups(r, 2);
  if (size >= 148) {
    Eep.InpInv = r.InpInv + r.In2Inv * 65536ull;
    Eep.DimTim = r.DimTim;
    Eep.DimLev = r.DimLev;
    Eep.DimBrg = r.DimBrg & 0x0F;
    Eep.DimOpt = r.DimBrg & 0xF0;
  }
  if (size >= 160) {
    Eep.GraChn = r.GraChn & 0x0F;
    Eep.GrpOpt = r.GraChn & 0xF0;
    Eep.GraFun = r.GraFun;
    Eep.GraDet = r.GraDet;
    Eep.GraClr = r.GraClr;
    Eep.GrbChn = r.GrbChn;
    Eep.GrbFun = r.GrbFun;
    Eep.GrbDet = r.GrbDet;
    Eep.GrbClr = r.GrbClr;
  }
  WriteOpt();
  Reload();
}

void TIsaMaps1::ReadIsa(tVex324isa& r) {
  ReadGroups(r, 2);
  r.InpInv = static_cast<uint16_t>(Eep.InpInv & 0xFFFF);
  r.In2Inv = static_cast<uint8_t>((Eep.InpInv >> 16) & 0xFF);
  r.DimTim = static_cast<uint8_t>(Eep.DimTim);
  r.DimBrg = static_cast<uint8_t>((Eep.DimBrg & 0x0F) | (Eep.DimOpt & 0xF0));
  r.DimLev = static_cast<uint8_t>(Eep.DimLev);
  r.GraChn = static_cast<uint8_t>((Eep.GraChn & 0x0F) | (Eep.GrpOpt & 0xF0));
  r.GraFun = static_cast<uint8_t>(Eep.GraFun);
  r.GraDet = static_cast<uint16_t>(Eep.GraDet);
  r.GraClr = static_cast<uint16_t>(Eep.GraClr);
  r.GrbChn = static_cast<uint8_t>(Eep.GrbChn);
  r.GrbFun = static_cast<uint8_t>(Eep.GrbFun);
  r.GrbDet = static_cast<uint16_t>(Eep.GrbDet);
  r.GrbClr = static_cast<uint16_t>(Eep.GrbClr);
}

void TIsaMaps1::WriteIsa(const tVex924isa& r) {
  WriteGroups(r, 2);
  WriteOpt();
  Reload();
}
void TIsaMaps1::ReadIsa(tVex924isa& r) { ReadGroups(r, 2); }

void TIsaMaps1::WriteIsa(const tVex932isa& r) {
  WriteGroups(r, 2);
  WriteOpt();
  Reload();
}
void TIsaMaps1::ReadIsa(tVex932isa& r) { ReadGroups(r, 2); }

void TIsaMaps1::WriteIsa(const tVex936isa& r) {
  WriteGroups(r, 3);
  WriteOpt();
  Reload();
}
void TIsaMaps1::ReadIsa(tVex936isa& r) { ReadGroups(r, 3); }

void TIsaMaps1::Write216(const std::vector<uint16_t>& w, uint8_t almTim, uint8_t rngTim, uint8_t tst,
                         uint8_t hrn) {
  for (int k = 0; k < cIsa216StateWords + 2; ++k) Eep.*cMap216[k] = w[static_cast<size_t>(k)];
  for (const Bits* state : cStateBits) Eep.*state[kBlu] = 0;
  Eep.AlmTim = almTim;
  Eep.RngTim = rngTim;
  Eep.TstBtn = tst;
  Eep.HrnBtn = hrn;
}

std::vector<uint16_t> TIsaMaps1::Read216() {
  ReadOpt();
  Reload();
  std::vector<uint16_t> w(cIsa216StateWords + 2);
  for (int k = 0; k < cIsa216StateWords + 2; ++k)
    w[static_cast<size_t>(k)] = static_cast<uint16_t>(Eep.*cMap216[k]);
  return w;
}

void TIsaMaps1::WriteIsa(const tVex216isa& r) {
  Write216(ToWords(r), r.AlmTim, r.RngTim, r.TstBtn, r.HrnBtn);
  Eep.InpInv = r.InpInv;
  WriteOpt();
  Reload();
}

void TIsaMaps1::WriteIsa(const tVex216is7& r) {
  Write216(ToWords(r), r.AlmTim, r.RngTim, r.TstBtn, r.HrnBtn);
  WriteOpt();
  Reload();
}

void TIsaMaps1::ReadIsa(tVex216isa& r) {
  std::vector<uint16_t> w = Read216();
  w.resize(RegCount<tVex216isa>(), 0);
  r = FromWords<tVex216isa>(w);
  r.AlmTim = static_cast<uint8_t>(Eep.AlmTim);
  r.RngTim = static_cast<uint8_t>(Eep.RngTim);
  r.TstBtn = static_cast<uint8_t>(Eep.TstBtn);
  r.HrnBtn = static_cast<uint8_t>(Eep.HrnBtn);
  r.InpInv = static_cast<uint16_t>(Eep.InpInv);
}

void TIsaMaps1::ReadIsa(tVex216is7& r) {
  std::vector<uint16_t> w = Read216();
  w.resize(RegCount<tVex216is7>(), 0);
  r = FromWords<tVex216is7>(w);
  r.AlmTim = static_cast<uint8_t>(Eep.AlmTim);
  r.RngTim = static_cast<uint8_t>(Eep.RngTim);
  r.TstBtn = static_cast<uint8_t>(Eep.TstBtn);
  r.HrnBtn = static_cast<uint8_t>(Eep.HrnBtn);
}

// ---- per model ---------------------------------------------------------------------------------

void SetupForModel(TIsaMaps1& isa, TVexModel m, int a, IEditField* L1, IEditField* L2) {
  auto in = [a](std::initializer_list<int> set) { return std::find(set.begin(), set.end(), a) != set.end(); };
  auto between = [a](int lo, int hi) { return a >= lo && a <= hi; };
  const TRenkSet redGreen = TRenkSet().set(lcRed).set(lcGreen);
  const TRenkSet all = TRenkSet().set().reset(lcBlack);
  switch (m) {
    case TVexModel::Vex215:
      isa.Setup(16, false, false, false, false, redGreen, L1, L2, false);
      break;
    case TVexModel::Vex216:
      isa.Setup(16, between(6, 10) || in({12, 15, 42}), false, in({8, 9}), false, redGreen, L1, L2, false);
      break;
    case TVexModel::Vex308:
      isa.Setup(8, between(6, 11) || in({14, 16, 40, 42}), false, in({8, 11, 14, 16}), false, redGreen, L1,
                L2, false);
      break;
    case TVexModel::Vex316:
      isa.Setup(16, a == 17, false, a == 17, false, redGreen, L1, L2, false);
      break;
    case TVexModel::Vex324:
      isa.Setup(24, between(4, 10), false, between(5, 10), in({5, 7, 8, 9, 10}), all, L1, L2, false);
      isa.SetDelays(a == 8 ? 8 : 0, 12, a == 8 ? 8 : 0, 24, 0, 0, 0, 0);
      break;
    case TVexModel::Vex924:
    case TVexModel::Vex932:
    case TVexModel::Vex936:
      isa.Setup(VexModelInfo(m).inputs, between(6, 19), between(8, 19), false, false, all, L1, L2, false);
      break;
    case TVexModel::Vex733:
    case TVexModel::Vex748:
      throw Exception(std::string(VexModelInfo(m).shown) + " has no alarm sequences");
  }
}

static int IsaSizeOf(TVexModel m, int appSof) {
  const TLayout l = LayoutOf(m, appSof);
  if (!l.sequence || l.isaSize == 0)
    throw Exception(std::string(VexModelInfo(m).shown) + " variant " + std::to_string(appSof) +
                    " has no sequence record");
  return l.isaSize;
}

// The configurator's map as the register words of one record type.
template <class R>
static std::vector<uint16_t> IsaWordsOf(TIsaMaps1& isa) {
  R r;
  isa.ReadIsa(r);
  return ToWords(r);
}

std::vector<uint16_t> ReadIsaWords(TIsaMaps1& isa, TVexModel m, int appSof) {
  const int size = IsaSizeOf(m, appSof);
  std::vector<uint16_t> w;
  switch (m) {
    case TVexModel::Vex324:
      w = IsaWordsOf<tVex324isa>(isa);
      break;
    case TVexModel::Vex924:
      w = IsaWordsOf<tVex924isa>(isa);
      break;
    case TVexModel::Vex932:
      w = IsaWordsOf<tVex932isa>(isa);
      break;
    case TVexModel::Vex936:
      w = IsaWordsOf<tVex936isa>(isa);
      break;
    default:
      w = size == 66 ? IsaWordsOf<tVex216isa>(isa) : IsaWordsOf<tVex216is7>(isa);
  }
  w.resize(static_cast<size_t>(size / 2));
  return w;
}

void WriteIsaWords(TIsaMaps1& isa, TVexModel m, int appSof, const std::vector<uint16_t>& words) {
  const int size = IsaSizeOf(m, appSof);
  if (words.size() != static_cast<size_t>(size / 2))
    throw Exception("Sequence record needs " + std::to_string(size / 2) + " registers, got " +
                    std::to_string(words.size()));
  switch (m) {
    case TVexModel::Vex324: {
      std::vector<uint16_t> w = words;
      w.resize(RegCount<tVex324isa>(), 0);
      isa.WriteIsa(FromWords<tVex324isa>(w), size);
      break;
    }
    case TVexModel::Vex924:
      isa.WriteIsa(FromWords<tVex924isa>(words));
      break;
    case TVexModel::Vex932:
      isa.WriteIsa(FromWords<tVex932isa>(words));
      break;
    case TVexModel::Vex936:
      isa.WriteIsa(FromWords<tVex936isa>(words));
      break;
    default:
      if (size == 66)
        isa.WriteIsa(FromWords<tVex216isa>(words));
      else
        isa.WriteIsa(FromWords<tVex216is7>(words));
  }
}

}  // namespace vex
