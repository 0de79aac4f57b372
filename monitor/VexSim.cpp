#include "monitor/VexSim.h"

#include <algorithm>

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/IsaMaps.h"
#include "config/RegMap.h"
#include "monitor/SimSampling.h"
#include "monitor/Vex316desk.h"

namespace vex {

const char* const cIndLetterHints[8] = {"Input State",       "Alarm Interlock", "Holding Interlock",
                                        "Silence Interlock", "First Alarm",     "Momentary",
                                        "Acknowledged",      "Ringback"};
const char* const cIndRowHints[8] = {"Actual Input indication [Off=Normal, On=Abnormal]",
                                     "Active Alarm Indication, [On=Alarm, Off=Acknowledged]",
                                     "Holding Indication [On=Holding, Off=Managed]",
                                     "Silence indication [On=Sounding, Off=Silenced]",
                                     "Alarm Indication, [On=Armed Abnormal]",
                                     "Momentary Indication, [On=Armed Normal]",
                                     "Acknowledge indication, [On=Acked Abnormal]",
                                     "Ringback Indication, [On=Acked Normal]"};

namespace {
constexpr uint64_t Editions(std::initializer_list<int> e) {
  uint64_t m = 0;
  for (int x : e) m |= uint64_t{1} << x;
  return m;
}
// The sequence editions of the 16- and 8-input models, which keep the full record at 48.
constexpr uint64_t k216At48 = Editions({2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 15, 40, 42});
constexpr uint64_t k308At48 = Editions({2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 16, 40, 42});
}  // namespace

const std::vector<TSimMember>& SimMembers() {
  using S = TStaSource;
  using E = TExtras;
  using F = TForcing;
  using H = THints;
  // clang-format off
  static const std::vector<TSimMember> m = {
    // name, caption, model, family, by BotReg, windows, columns, colours, source, words, editions at 48, third output,
    // outputs caption,
    // first gen, edge restart, time line, events, test shown, test single, extras, forcing, hints, sampling, inspector, 324 scan
    {"Vex215sim1", "Vex216 Simulator", "Vex216", cVex215Fid, true, 16, {8, 8, 0, 0}, 2, S::Sim215, 6, 0, "WDstat", "Outputs",
     true, true, false, -1, false, false, E::None, F::None, H::Letters, false, false, false},
    {"Vex216sim1", "Vex216v2 Simulator", "Vex216v2", cVex216Fid, false, 16, {8, 8, 0, 0}, 2, S::ByApp216, 14, k216At48, "FAULT",
     "Outputs && States", false, true, false, -1, false, true, E::Clock216, F::Virtual216, H::Letters, true, false, false},
    {"Vex308sim1", "Vex308 Simulator", "Vex308", cVex308Fid, false, 8, {8, 0, 0, 0}, 2, S::ByApp216, 14, k308At48, "FAULT",
     "Outputs", false, true, false, -1, false, true, E::Clock216, F::Virtual216, H::Letters, true, false, false},
    {"Vex316sim1", "Vex316 Simulator", "Vex316", cVex316Fid, false, 16, {8, 8, 0, 0}, 2, S::ByApp316, 14, 0, "FAULT",
     "Outputs", false, true, false, -1, false, false, E::None, F::None, H::Letters, false, true, false},
    {"Vex324sim1", "Vex324 Simulator", "Vex324", cVex324Fid, false, 24, {12, 12, 0, 0}, 3, S::Full48, 26, 0, "FAULT",
     "Outputs", false, false, true, 1, true, false, E::None, F::None, H::Letters, false, false, true},
    {"Vex924sim1", "Vex924 Simulator", "Vex924", cVex924Fid, false, 24, {6, 6, 6, 6}, 3, S::Full48, 26, 0, "WDstat",
     "Outputs", false, false, true, 0, false, false, E::Sync9xx, F::Dx9xx, H::Rows, false, false, false},
    {"Vex932sim1", "Vex932 Simulator", "Vex932", cVex932Fid, false, 32, {8, 8, 8, 8}, 3, S::Full48, 26, 0, "Fault",
     "Outputs", false, false, true, 0, false, false, E::Sync9xx, F::Dx9xx, H::Rows, false, false, false},
    {"Vex936sim1", "Vex936 Simulator", "Vex936", cVex936Fid, false, 36, {10, 10, 8, 8}, 3, S::Full48, 37, 0, "WDstat",
     "Outputs", false, false, true, 0, false, false, E::Sync9xx, F::Dx9xx, H::Rows, false, false, false},
  };
  // clang-format on
  return m;
}

const TSimMember& SimMember(const std::string& name) {
  for (const auto& m : SimMembers())
    if (name == m.Name) return m;
  throw Exception("Unknown simulator " + name);
}

namespace {
constexpr int cGroupBase[3] = {4, 15, 26};
}  // namespace

TVexSim::TVexSim(const TSimMember& m, TPorts1& ports, TMain1& main, TEvent1& event)
    : TSimScreen(m.Name, m.Caption, ports, main, event),
      Def(m),
      Button1("RESET", TControl::Kind::Button, [this](TControl&) { Button1Click(); }),
      Button2("HORN", TControl::Kind::Button, [this](TControl&) { Button2Click(); }),
      Button4("ACK", TControl::Kind::Button, [this](TControl&) { Button4Click(); }) {
  for (int n = 1; n <= m.Windows; ++n) {
    TWindowLamps w;
    w.Number = n;
    const int g = (n - 1) / 16, b = (n - 1) % 16, base = cGroupBase[g];
    w.Lamp.Tag = static_cast<uint32_t>(b) | static_cast<uint32_t>(base + 8) << 8 |
                 static_cast<uint32_t>(base + 9) << 16 | static_cast<uint32_t>(base + 10) << 24;
    const int rows = m.FirstGen ? 3 : 8;
    for (int k = 0; k < rows; ++k) {
      TLamp l;
      l.Tag = static_cast<uint32_t>(b) | static_cast<uint32_t>(base + k) << 8;
      w.Ind.push_back(l);
    }
    Panel.push_back(std::move(w));
  }
  if (m.Sampling) Sampling = std::make_unique<TSimSampling>(*this);
}

TVexSim::~TVexSim() = default;

uint16_t TVexSim::KeyCode(int k) const {
  static constexpr uint16_t codes[5] = {cKeyRes, cKeyHrn, cKeyTst, cKeyAck, cKeyTsx};
  static constexpr uint16_t first[5] = {0x11, 0x22, 0x33, 0x44, 0x55};
  return Def.FirstGen ? first[k] : codes[k];
}

std::string TVexSim::IndHint(int k) const {
  return Def.Hints == THints::Rows ? cIndRowHints[k] : cIndLetterHints[k];
}

TFamily TVexSim::Family() const {
  const int id = Def.ByBotReg ? Ports.BotReg : Ports.BotMod;
  if (id == 0) return TFamily::None;
  return id == Def.Family ? TFamily::Mine : TFamily::Other;
}

void TVexSim::CheckBox1Click() {
  if (CheckBox1.Checked && Def.Vex324Scan) {
    if (Main.IsBusy(&CheckBox1, false)) {
      CheckBox1.Checked = false;
      Notify();
      return;
    }
    TimElp = Clock->Now();
  }
  if (CheckBox1.Checked) {
    RunDiscovery();
  } else {
    AppClean();
    if (Def.Vex324Scan) RunDiscovery();
  }
  if (Sampling) Sampling->Enable();
  Notify();
}

// ---- the poll ------------------------------------------------------------------

void TVexSim::DoSimul() {
  if (!CheckBox1.Checked || Ports.ComBsy) return;
  // every member waits for the clock tick: t lies just after it, and polls are paced by it
  Clock->WaitTick();
  const TDateTime t = Clock->Now();
  if (Sampling && Sampling->Poll(t)) {
    ++Polls;
    Notify();
    return;
  }
  ReadStatus();
  if (Def.TimeLine) {
    const uint32_t tim = Sta[0] | static_cast<uint32_t>(Sta[1]) << 16;
    TimeElapsed(Sta[2], tim, Clock->Now());
  }
  StepBlink(t);
  PaintFixed();
  if (Def.FirstGen) FirstGenWords();
  PaintPanel();
  if (Def.TestSingle)
    RepeatTest(KeyCode(2), false, true);
  else
    RepeatTest(KeyCode(2), Def.TestShow, false);
  FeedEvents();
  if (Inspector) Inspector->UpdateIfVisible();
  ++Polls;
  Notify();
}

void TVexSim::ReadStatus() {
  std::array<uint16_t, cStaWords> w{};
  auto legacy = [&] {
    uint16_t r[9];
    Ports.ModReadMulti(cRegOldSta, 9, r, false);
    w[4] = r[0], w[5] = r[1], w[6] = r[2], w[3] = r[3], w[12] = r[7], w[13] = r[8];
  };
  const int sof = Ports.AppSof;
  switch (Def.Source) {
    case TStaSource::Sim215: {
      uint16_t r[6];
      Ports.ModReadMulti(cRegOldSta, 6, r, false);
      // GirOnn, GirAkt, GirHld, StaFlg, SelHrn, SelBel; the selections wait in the red and
      // green words until the lamp words are computed
      w[4] = r[0], w[5] = r[1], w[6] = r[2], w[3] = r[3], w[12] = r[4], w[13] = r[5];
      break;
    }
    case TStaSource::ByApp216:
      if (sof == 1)
        Ports.ModReadMulti(cRegOldSta, 14, w.data(), false);
      else if (sof < 64 && (Def.FullAt48 >> sof & 1))
        Ports.ModReadMulti(cRegStatus, 14, w.data(), false);
      else
        legacy();
      break;
    case TStaSource::ByApp316:
      if (sof == 17)
        Ports.ModReadMulti(cRegStatus, 14, w.data(), false);
      else
        legacy();
      break;
    case TStaSource::Full48:
      Ports.ModReadMulti(cRegStatus, Def.StaWords, w.data(), false);
      break;
  }
  Sta = w;
}

void TVexSim::StepBlink(TDateTime t) {
  const uint16_t flg = Sta[3];
  bool restart = false;
  if (Def.EdgeRestart) {
    restart = (flg & cVirModFlag) && !(StaOld & cVirModFlag);
    StaOld = flg;
  }
  Blink(t, restart);
}

void TVexSim::PaintFixed() {
  const uint16_t f = Sta[3];
  const bool nine = Def.Extras == TExtras::Sync9xx;
  const TColor green = nine && (f & cVirModFlag) ? clSkyBlue : clLime;
  TFixedLamps x;
  if (f & cTstGod)
    x.T = green;
  else if (f & cTstSav)
    x.T = clRed;
  else if (!Tim2Hz)
    x.T = clBtnFace;
  else if (f & cTstCfg)
    x.T = green;
  else
    x.T = clRed;
  if ((Sta[5] != 0 && !Tim2Hz) || (f & cTstCfg))
    x.H = clBtnFace;
  else if (f & cHrnEnb)
    x.H = clLime;
  else
    x.H = clRed;
  x.Horn = (f & cOt1Onn) ? clRed : clBtnFace;
  x.Bell = (f & cOt2Onn) ? clLime : clBtnFace;
  x.Third = (f & cOtsOnn) ? clSkyBlue : clBtnFace;
  if (Def.Extras == TExtras::Clock216) {
    x.TimeValid = (f & 0x20) ? clLime : clBtnFace;
    x.Sync = (f & 0x40) ? clLime : clBtnFace;
    x.ExQ = (f & 0x400) ? clLime : clBtnFace;
    x.DxMode = (f & cVirModFlag) ? clOrange : clBtnFace;
  } else if (nine) {
    x.TimeSync = (f & 0x20) ? clLime : clBtnFace;
    x.DxMode = (f & cVirModFlag) ? clOrange : clBtnFace;
  }
  Fixed = x;
}

void TVexSim::FirstGenWords() {
  const uint16_t on = Sta[4], akt = Sta[5], hld = Sta[6];
  const uint16_t selHrn = Sta[12], selBel = Sta[13];
  const uint16_t a = hld & ~akt;
  uint16_t q = a & ~on;
  if (Tim1Hz) q = a;
  if (Tim2Hz) q |= akt & ~on;
  if (Tim4Hz) q |= akt & on;
  if (Sta[3] & cTstPnd) q = 0xFFFF;
  const uint16_t flg = Sta[3];
  Sta.fill(0);
  Sta[3] = flg, Sta[4] = on, Sta[5] = akt, Sta[6] = hld;
  Sta[12] = q & selHrn;
  Sta[13] = q & selBel;
}

int TVexSim::ColourIndex(int n) const {
  const uint32_t tag = Panel[static_cast<size_t>(n - 1)].Lamp.Tag;
  const int b = static_cast<int>(tag & 31);
  const int r = Bit(static_cast<int>(tag >> 8 & 255), b);
  const int g = Bit(static_cast<int>(tag >> 16 & 255), b);
  const int bl = Def.Colours == 3 ? Bit(static_cast<int>(tag >> 24 & 255), b) : 0;
  return r + 2 * g + 4 * bl;
}

std::string TVexSim::States(int n) const {
  std::string s;
  for (const TLamp& l : Panel[static_cast<size_t>(n - 1)].Ind)
    s += Bit(static_cast<int>(l.Tag >> 8 & 255), static_cast<int>(l.Tag & 31)) ? cIndLetters[s.size()] : '.';
  return s;
}

void TVexSim::PaintPanel() {
  for (TWindowLamps& w : Panel) {
    for (TLamp& l : w.Ind)
      l.Paint(Bit(static_cast<int>(l.Tag >> 8 & 255), static_cast<int>(l.Tag & 31)) ? clSkyBlue : clBtnFace);
    const int i = ColourIndex(w.Number);
    if (Def.Colours == 3)
      w.Lamp.Paint(cRenk[i]);
    else
      w.Lamp.Paint((i & 1) ? clRed : (i & 2) ? clLime : clBtnFace);
  }
}

void TVexSim::FeedEvents() {
  if (Def.EventShow < 0 || !Event.Visible) return;
  uint16_t w[tVexEvn::cWords];
  Ports.ModReadMulti(cRegEvents, tVexEvn::cWords, w, Def.EventShow == 1);
  Event.ShowEvent(tVexEvn::FromWords(w));
}

void TVexSim::AppClean() {
  for (TWindowLamps& w : Panel) {
    w.Lamp.Paint(clBtnFace);
    for (TLamp& l : w.Ind) l.Paint(clBtnFace);
  }
  if (Inspector) Inspector->Clear();
  Notify();
}

// ---- window press and forced inputs ----------------------------------------------------

void TVexSim::LabelX01Click(int n) {
  if (n < 1 || n > Def.Windows) return;
  if (Main.IsBusy(nullptr, false)) return;
  const int sof = Ports.AppSof;
  const uint16_t bit = static_cast<uint16_t>(1u << ((n - 1) % 16));
  if (Def.Forcing == TForcing::Virtual216 && (sof == 20 || sof == 22) && VirtualDx) {
    const uint16_t v = Sta[4] ^ bit;
    Ports.ModWrite4(cRegRemote, v, v, 0, 0, true);
    Sta[4] = v;
  } else if (Def.Forcing == TForcing::Virtual216 && (sof == 40 || sof == 42)) {
    Ports.ModWriteCoil(static_cast<uint16_t>(cCoilVirtual + n - 1), !Bit(4, n - 1), true);
  } else if (Def.Forcing == TForcing::Dx9xx && DxMode) {
    const int g = (n - 1) / 16;
    Ports.ModWriteCoil(static_cast<uint16_t>(cCoilVirtual + n - 1), !Bit(cGroupBase[g], (n - 1) % 16), true);
  } else if (Def.Forcing == TForcing::Dx9xx && DxBrix) {
    WriteBrix(false, n);
  } else {
    Ports.ModWrite(cRegCommand, 0, true);
    Ports.ModWrite(cRegCommand, static_cast<uint16_t>(n), true);
  }
  Notify();
}

void TVexSim::LabelA01Click(int n) {
  if (n < 1 || n > Def.Windows) return;
  const int sof = Ports.AppSof;
  const bool v216 = Def.Forcing == TForcing::Virtual216;
  const bool any = (v216 && (((sof == 20 || sof == 22) && VirtualDx) || sof == 40 || sof == 42)) ||
                   (Def.Forcing == TForcing::Dx9xx && (DxMode || DxBrix));
  if (!any) return;
  if (Main.IsBusy(nullptr, false)) return;
  const uint16_t bit = static_cast<uint16_t>(1u << ((n - 1) % 16));
  if (v216 && (sof == 20 || sof == 22)) {
    Ports.ModWrite4(cRegRemote, 0, 0x000F, bit, bit, true);
  } else if (v216 || DxMode) {
    Ports.ModWriteCoil(static_cast<uint16_t>(cCoilActivate + n - 1), true, true);
  } else {
    WriteBrix(true, n);
  }
}

void TVexSim::WriteBrix(bool activation, int n) {
  const int g = (n - 1) / 16;
  const uint16_t bit = static_cast<uint16_t>(1u << ((n - 1) % 16));
  const bool three = Def.Windows > 32;
  std::array<uint16_t, 3> a{};
  if (activation) {
    a[static_cast<size_t>(g)] = bit;
  } else {
    DxRem[static_cast<size_t>(g)] ^= bit;
    if (!CheckBox1.Checked) {  // no poll will bring the new state: show it at once
      Sta[static_cast<size_t>(cGroupBase[g])] = DxRem[static_cast<size_t>(g)];
    }
    a = DxRem;
  }
  uint16_t w[8] = {};
  if (!three) {
    const auto chk = static_cast<uint16_t>(~(a[0] ^ a[1]));
    if (activation) {
      const uint16_t v[6] = {0, a[0], 0, a[1], 0, chk};
      std::copy(v, v + 6, w);
    } else {
      const uint16_t v[6] = {a[0], 0, a[1], 0, chk, 0};
      std::copy(v, v + 6, w);
    }
  } else {
    const auto chk = static_cast<uint16_t>(~(a[0] ^ a[1] ^ a[2]));
    if (activation) {
      const uint16_t v[8] = {0, a[0], 0, a[1], 0, a[2], 0, chk};
      std::copy(v, v + 8, w);
    } else {
      const uint16_t v[8] = {a[0], 0, a[1], 0, a[2], 0, chk, 0};
      std::copy(v, v + 8, w);
    }
  }
  Ports.ModWriteMulti(cRegRemote, three ? 8 : 6, w, true);
}

}  // namespace vex
