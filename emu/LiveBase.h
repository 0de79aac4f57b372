// What every live model part shares: the input engine, the event log, power-up, the
// configuration store and clock setting events, and the event records at register 2560.
#pragma once

#include <cstdint>
#include <vector>

#include "emu/Device.h"
#include "emu/IsaEngine.h"
#include "emu/LiveEvents.h"

namespace vex::emu {

constexpr uint16_t cEventRegs = 2560;  // latest event record(s)

// Output and state bits of StaFlg besides the configuration state.
constexpr uint16_t cTstPnd = 0x0008;   // lamp test active
constexpr uint16_t cHrnEnb = 0x0010;   // horn enabled
constexpr uint16_t cTimVld = 0x0020;   // 8/16-input models: remote time established
constexpr uint16_t cTimSyn = 0x0020;   // 9xx and rack modules: clock set since power-up
constexpr uint16_t cTimSyn2 = 0x0040;  // 8/16-input models: time stamps keep arriving
constexpr uint16_t cVirMod = 0x0080;   // virtual (display-only) mode: field inputs ignored
constexpr uint16_t cOt1Onn = 0x0100;   // output 1, horn relay
constexpr uint16_t cOt2Onn = 0x0200;   // output 2, bell relay
constexpr uint16_t cOscExt = 0x0400;   // external quartz oscillator
constexpr uint16_t cOtsOnn = 0x0800;   // fault output

class LiveBase : public LivePart {
 public:
  LiveBase(int inputs, int colours) : engine_(inputs, colours) {}

  void OnInput(int n, bool on) override;
  void OnConfig() override;
  void OnRestart() override { powerUp_ = true; }
  void OnEraseEvents() override;
  void Tick(int64_t now) override;
  void AfterWrite(Space s, uint32_t first, uint32_t count) override;
  // A read of the event records takes the latest records not read before (see EventWord).
  void BeforeRead(Space s, uint32_t first, uint32_t count) override;

  const IsaEngine& Engine() const { return engine_; }
  const EventLog& Log() const { return log_; }

 protected:
  // The configuration the engine runs with, from the device's working registers.
  virtual IsaConfig BuildConfig() = 0;
  // After power-up, with the new configuration in place.
  virtual void PoweredUp(int64_t now) { (void)now; }
  // Every record added to the log.
  virtual void Logged(const tVexEvn& e) { (void)e; }

  // `records`: how many event records lie at 2560 (0 = none).
  void Bind(Device& d, size_t records);
  void LogEvent(uint16_t typ, uint64_t dif);
  // Word k of the event records at 2560 as the current read shows them: the latest records
  // that no earlier read delivered, oldest first, then empty records (Seq 0). Every record
  // is thus delivered once, and the screens that poll the block show each event once.
  uint16_t EventWord(uint32_t k) const;
  bool ClockSet() const { return clockSet_; }
  int64_t Now() const { return d_->NowMs(); }

  Device* d_ = nullptr;
  IsaEngine engine_;
  EventLog log_;

 private:
  void PowerUp();
  size_t eventRecords_ = 0;
  std::vector<tVexEvn> eventView_;  // what the current read of 2560 shows
  uint32_t eventSent_ = 0;          // sequence number of the last record delivered
  bool powerUp_ = true;
  bool clockSet_ = false;
  uint16_t cfgSeen_ = 0;
};

// Word k of a 16-bit group of a bitmap.
inline uint16_t GroupWord(uint64_t bits, int group) { return static_cast<uint16_t>(bits >> (16 * group)); }

}  // namespace vex::emu
