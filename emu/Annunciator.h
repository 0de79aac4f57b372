// The live annunciator: status record, event log, keys, forced (virtual) inputs, and the
// model blocks of the 8/16-input models (time-stamped sample ring, oscillator registers)
// and of the analog 16-input model (analog values and set points).
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "emu/LiveBase.h"

namespace vex::emu {

class Annunciator : public LiveBase {
 public:
  // Status record layouts.
  enum class StatusKind {
    Sim215,  // 6 words at 32: Onn, Akt, Hld, StaFlg, SelHrn, SelBel
    Rtu216,  // 9 words at 32: Onn, Akt, Hld, StaFlg, SelHrn, SelBel, SelBlu, Red, Grn
    Sta216,  // 14 words: Tim, Dat, StaFlg, Onn, Akt, Hld, Sil, Alm, Mom, Ack, Rnb, Red, Grn
    Sta324,  // 26 or 37 words: Tim, Dat, StaFlg, then 11 words per group of 16 inputs
  };
  static constexpr uint16_t cLegacyRegs = 32;     // status record of the 8/16-input family
  static constexpr uint16_t cRingRegs = 0x900;    // sample ring / time stamp
  static constexpr uint16_t cExoRegs = 96;        // oscillator registers
  static constexpr uint16_t cTunRegs = 112;       // oscillator tuning block
  static constexpr uint16_t cValRegs = 1280;      // analog values
  static constexpr uint16_t cSetRegs = 1536;      // analog set points
  static constexpr uint16_t cRemoteRegs = 0xD00;  // remote input record
  static constexpr uint16_t cVirCoils = 0xB000;   // virtual input states
  static constexpr uint16_t cActCoils = 0xB100;   // activation requests
  static constexpr size_t cRingSize = 8;
  static constexpr int64_t cStampSyncMs = 20000;  // stamps this far apart still count as syncing

  explicit Annunciator(const ModelInfo& m);

  void Attach(Device& d) override;
  int Read(Space s, uint32_t a, uint16_t& v) override;
  int Write(Space s, uint32_t a, uint16_t v) override;
  void BeforeRead(Space s, uint32_t first, uint32_t count) override;
  void AfterWrite(Space s, uint32_t first, uint32_t count) override;
  int OnKey(uint16_t code) override;
  void OnEraseEvents() override;
  // Control commands of the panel: "output3 on|off", "dx on|off", "raw N|all V|auto",
  // "frontend NAME V|auto", "osc NAME V|auto" (see the help text in Control).
  bool Control(const std::string& cmd, const std::string& rest, std::string& reply) override;

  StatusKind Status() const { return status_; }
  uint16_t StatusAt() const { return statusAt_; }
  uint16_t StatusWords() const { return statusWords_; }
  // The record at 32 that the 8/16-input family keeps beside its full record at 48 (0 words
  // when there is none besides the main record).
  StatusKind Legacy() const { return legacy_; }
  uint16_t LegacyWords() const { return legacyWords_; }
  uint16_t StaFlg() const;
  uint16_t Stamp() const;  // the 14-bit millisecond stamp

 protected:
  IsaConfig BuildConfig() override;
  void PoweredUp(int64_t now) override;
  void Logged(const tVexEvn& e) override;

 private:
  bool DisplayOnly() const;
  uint16_t StatusWord(StatusKind kind, uint16_t k) const;
  uint16_t RingWord(uint16_t k) const;
  uint16_t TunWord(uint16_t k) const;
  uint16_t ExoWord(uint16_t k) const;
  uint16_t ValWord(uint16_t k) const;
  void RemoteRecord();
  void Force(uint64_t states, uint64_t valid);

  ModelInfo m_;
  StatusKind status_ = StatusKind::Sta324;
  uint16_t statusAt_ = 48, statusWords_ = 26;
  StatusKind legacy_ = StatusKind::Rtu216;
  uint16_t legacyWords_ = 0;
  bool hasEvents_ = false, hasRing_ = false, hasAnalog_ = false;
  bool hasCoils_ = false;
  uint16_t remoteWords_ = 0;  // 0 = no remote input record

  // sample ring and time stamp of the 8/16-input models
  struct Sample {
    uint16_t tim, key;
  };
  std::deque<Sample> ring_;
  std::vector<Sample> ringView_;  // what the current read shows
  uint16_t sqq_ = 0;              // samples taken since power-up
  uint16_t stampBase_ = 0;
  int64_t stampRef_ = 0;
  bool timVld_ = false;
  int64_t lastStamp_ = -1;
  int16_t oscTun_ = 0;
  std::array<int16_t, 3> oscHist_{};

  // analog set points: FvrSet, VolSet, EmpSet, DvsSet
  std::array<uint16_t, 4> set_{4096, 5, 15, 0};

  std::array<uint16_t, 8> remote_{};

  // values set through the control interface
  bool faultOut_ = false;                // the third output (FAULT / WDstat)
  std::map<uint16_t, uint16_t> valSet_;  // word of tVex316val -> value
  std::map<uint16_t, uint16_t> tunSet_;  // word of the tuning block -> value
  std::map<uint16_t, uint16_t> exoSet_;  // oscillator register -> value
};

}  // namespace vex::emu
