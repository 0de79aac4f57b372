#include "monitor/SimSampling.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/RegMap.h"
#include "monitor/VexSim.h"

namespace vex {

namespace {
constexpr double cMsPerDay = 86400000.0;

uint32_t MsOfDay(TDateTime t) {
  const double f = t - std::floor(t);
  return static_cast<uint32_t>(f * cMsPerDay + 0.5) % 86400000u;
}

// Event stamp (days since 2000, ms of day) of a calendar time.
void DeviceStamp(TDateTime t, uint16_t& dat, uint32_t& tim) {
  const double d = t - cBase2000;
  const double days = std::floor(d);
  dat = static_cast<uint16_t>(days);
  tim = static_cast<uint32_t>(std::llround((d - days) * cMsPerDay));
  if (tim >= 86400000u) tim = 86399999u;
}

std::string Hex2(uint16_t v) { return "$" + IntToHex(v & 0xFF, 2); }

std::string OscSource(uint16_t v) {
  if (v > 127) return "Undef";
  switch ((v >> 4) & 7) {
    case 2:
      return "ExO+4xPll";
    case 4:
      return "SOSC";
    case 5:
      return "LFINT";
    case 6:
      return "HFINT";
    case 7:
      return "EXTOSC";
    default:
      return "Undef";
  }
}
std::string OscDivider(uint16_t v) {
  const unsigned d = v & 0x0F;
  return d <= 9 ? "1:" + std::to_string(1u << d) : "Undef";
}
}  // namespace

bool ButonWheel(std::string& text, int step, int lo, int hi, int& stored) {
  int64_t v = 0;
  if (!TryStrToInt(text, v) || text.empty() || text[0] == '$' || text.find('x') != std::string::npos) v = 0;
  v += step;
  if (v < lo) v = lo;
  if (v > hi) v = hi;
  if (v == stored) return false;
  stored = static_cast<int>(v);
  text = std::to_string(stored);
  return true;
}

std::string OscHint1(uint16_t con1, uint16_t con2) {
  return "OSCCON1=[" + OscSource(con1) + ", " + OscDivider(con1) + "].   OSCCON2=[" + OscSource(con2) + ", " +
         OscDivider(con2) + "].";
}

std::string OscHint2(uint16_t con3, uint16_t stat) {
  const std::vector<std::string> c3 = {"", "", "", "3.NOSCR", "4.ORDY", "", "6.SOSCPWR", "7.CSWHOLD"};
  const std::vector<std::string> st = {"0.PLLR", "", "", "3.NOSCR", "4.ORDY", "5.SOSCPWR", "6.CSWHOLD"};
  return "OSCCON3=[" + BitstoStr(con3 & 0xD8, c3) + "].    OSCSTAT=[" + BitstoStr(stat & 0x79, st) + "].";
}

std::string OscHint3(uint16_t en, uint16_t frq) {
  const std::vector<std::string> e = {"",        "",        "2.ADOEN", "3.SOSCEN",
                                      "4.LFOEN", "5.MFOEN", "6.HFOEN", "7.EXTOENB"};
  static const char* const f[9] = {"1", "2", "4", "8", "12", "16", "32", "48", "64"};
  return "OSCEN=[" + BitstoStr(en & 0xFC, e) + "].    OSCFRQ=[" + (frq <= 8 ? f[frq] : "Undef") + "mhz].";
}

void TSimSampling::Enable() {
  const int sof = s_.Ports.AppSof;
  SetTimeEnabled = VirtualDxEnabled = ShowEventsEnabled = sof == 20 || sof == 22;
  OscEnabled = sof == 22;
  OscVisible = s_.Main.AdmMod && s_.Main.DesMod;
  if (!SetTimeEnabled) SetTime = false;
  if (!VirtualDxEnabled) s_.VirtualDx = false;
  if (!OscEnabled || !OscVisible) OscBox = false;
  TimBas = 0;
}

bool TSimSampling::Poll(TDateTime t) {
  if (SetTime && t >= TimSyn) {
    Stamp(t);
    return true;
  }
  if (SetTime && t >= TimElp) {
    Ring(t);
    return true;
  }
  if (!Xxx1 && OscBox) {
    Oscillator();
    return true;
  }
  Xxx1 = false;
  return false;
}

void TSimSampling::Stamp(TDateTime t) {
  s_.Clock->WaitTick();
  t = s_.Clock->Now();
  if (TimBas == 0) TimBas = TimSyn = t;
  const auto stamp = static_cast<uint16_t>(MsOfDay(t) & 0x3FFF);
  if (stamp == 0) return;  // a tick of 0 is not written: the next poll tries again
  s_.Ports.ModWrite(cRegSamples, stamp, false);
  TimEtm = t;
  TimEss = stamp;
  TimSyn = t + cStampEvery;
  driftShown_ = false;
}

void TSimSampling::Ring(TDateTime t) {
  s_.Clock->WaitTick();
  t = s_.Clock->Now();
  TimElp = t + cRingEvery;
  uint16_t w[19];
  try {
    s_.Ports.ModReadMulti(cRegSamples, 19, w, false);
  } catch (const std::exception&) {
    tVexSek e;
    e.Seq = ++Seq;
    e.Typ = 13;  // QUERY FAIL
    DeviceStamp(t, e.Dat, e.Tim);
    s_.Event.ShowSekans(e);
    return;
  }
  const uint16_t ringTim = w[1];
  const double elapsed = ((ringTim - TimEss) & 0x3FFF) / cMsPerDay;
  const TDateTime estimate = TimEtm + elapsed;
  const TPorts1::TElapsed te = TPorts1::TimeElapsed(TimEtm, t, estimate);
  s_.TimeLine = te.Text;
  s_.TimeLineColor = te.Color;
  // The device clock against the PC's: the stamps keep them within a few milliseconds, so a
  // larger gap means the device lost time (or the PC clock was set) since the last stamp.
  DriftMs = static_cast<int>(std::llround((t - estimate) * cMsPerDay));
  if (std::abs(DriftMs) >= cDriftReportMs && TimEtm != 0 && !driftShown_) {
    driftShown_ = true;
    DriftReport = "Time Shift Occured Shift=" + InttoDot(DriftMs, 3) + "sec.";
    s_.Ports.Mesaj(DriftReport);
  }
  if (!s_.Event.Visible) return;
  static constexpr uint16_t kCode[4] = {2, 20, 18, 1};  // CLEAR, RESET, ACKNOWLEDGE, SET
  for (int j = 0; j < 8; ++j) {
    const uint16_t et = w[3 + 2 * j], key = w[4 + 2 * j];
    if (!key) continue;
    const double age = ((ringTim - (et & 0x3FFF)) & 0x3FFF) / cMsPerDay;
    tVexSek e;
    e.Typ = kCode[et >> 14];
    DeviceStamp(estimate - age, e.Dat, e.Tim);
    for (int b = 0; b < 16; ++b) {
      if (!(key >> b & 1)) continue;
      e.Seq = ++Seq;
      e.Dif01 = static_cast<uint16_t>(1u << b);
      s_.Event.ShowSekans(e);
    }
  }
}

void TSimSampling::Oscillator() {
  uint16_t tun[13], exo[6];
  s_.Ports.ModReadMulti(cRegTun, 13, tun, false);
  s_.Ports.ModReadMulti(cRegExo, 6, exo, false);
  for (size_t i = 0; i < 13; ++i) {
    Tun[i] = static_cast<int16_t>(tun[i]);
    TunText[i] = i == 3 ? std::to_string(tun[i]) : std::to_string(Tun[i]);
  }
  std::array<uint16_t, 6> x;
  std::copy(exo, exo + 6, x.begin());
  const bool changed = x != Exo || ExoText[0].empty();
  Exo = x;
  for (size_t i = 0; i < 3; ++i) ExoText[i] = Hex2(Exo[2 * i]) + " " + Hex2(Exo[2 * i + 1]);
  if (changed) {
    ExoHint[0] = OscHint1(Exo[0], Exo[1]);
    ExoHint[1] = OscHint2(Exo[2], Exo[3]);
    ExoHint[2] = OscHint3(Exo[4], Exo[5]);
  }
  Xxx1 = true;
}

void TSimSampling::OscTuneChange(int step, bool user) {
  if (!ButonWheel(OscTune, step, -32, 31, OscTuneValue)) return;
  if (!user) return;
  if (s_.Main.IsBusy(nullptr, false)) return;
  s_.Ports.ModWrite(cRegOscTun, static_cast<uint16_t>(static_cast<int16_t>(OscTuneValue)), true);
}

}  // namespace vex
