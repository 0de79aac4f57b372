// The extension of the second-generation 16- and 8-input simulators: the 14-bit millisecond
// stamp written every 9.9 s that keeps the device clock with the PC, the ring of recent input
// samples fetched every 200 ms and turned into events, and the oscillator block with its trim
// value "OscTune". On a poll at most one of them runs, in place of the status read.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "shell/Basics.h"

namespace vex {

class TVexSim;

// The stepping rule of the numeric edits with up and down buttons: the text read as a decimal
// integer (0 when it is not one) plus the step, clamped to the range. Returns true when the
// stored value changed; the edit then shows it.
bool ButonWheel(std::string& text, int step, int lo, int hi, int& stored);

// Hints decoded from the oscillator register pairs.
std::string OscHint1(uint16_t con1, uint16_t con2);  // "OSCCON1=[..].   OSCCON2=[..]."
std::string OscHint2(uint16_t con3, uint16_t stat);  // "OSCCON3=[..].    OSCSTAT=[..]."
std::string OscHint3(uint16_t en, uint16_t frq);     // "OSCEN=[..].    OSCFRQ=[..mhz]."

class TSimSampling {
 public:
  explicit TSimSampling(TVexSim& s) : s_(s) {}

  static constexpr double cStampEvery = 9.9 / 86400.0;  // days
  static constexpr double cRingEvery = 0.2 / 86400.0;   // days
  static constexpr int cDriftReportMs = 1000;           // device clock this far off is reported

  // One poll at PC time t; true when the poll was spent here (no status read).
  bool Poll(TDateTime t);
  // After "Discovery": controls enabled by the application edition.
  void Enable();
  // "OscTune" edit changed (`step` 0) or its up/down button (+1/-1); `user`: a user change.
  void OscTuneChange(int step, bool user);

  // ---- controls ----
  bool SetTime = false;  // "Set Time"
  bool OscBox = false;   // oscillator box
  bool SetTimeEnabled = false, VirtualDxEnabled = false, ShowEventsEnabled = false;
  bool OscEnabled = false, OscVisible = false;
  std::string OscTune = "0";  // the trim edit (-32..31)
  int OscTuneValue = 0;

  // ---- state ----
  TDateTime TimSyn = 0;  // next clock stamp due
  TDateTime TimBas = 0;  // first stamp time of this run (0 = none yet)
  TDateTime TimEtm = 0;  // PC time the last stamp was written
  uint16_t TimEss = 0;   // the last stamp written
  TDateTime TimElp = 0;  // next sample ring due
  uint32_t Seq = 0;      // running number of the events made here
  bool Xxx1 = false;     // the previous poll read the oscillator block
  std::array<int16_t, 13>
      Tun{};  // EepSiz, OscTun, TimDif, TimLap, TimVar, OscNxt, OscNx1..3, TimMnr, OscErr, OscOfs, TimMea
  std::array<uint16_t, 6> Exo{};        // OscCon1, OscCon2, OscCon3, OscStat, OscEnb, OscFrq
  std::array<std::string, 13> TunText;  // the tuning fields in decimal (TimLap unsigned)
  std::array<std::string, 3> ExoText;   // "$60 $60" pairs
  std::array<std::string, 3> ExoHint;   // decoded pairs
  int DriftMs = 0;                      // PC time minus the device time estimated at the last ring read
  std::string DriftReport;              // the last "Time Shift Occured ..." text

 private:
  void Stamp(TDateTime t);
  void Ring(TDateTime t);
  void Oscillator();
  TVexSim& s_;
  bool driftShown_ = false;
};

}  // namespace vex
