// The annunciator's alarm sequence engine (ISA-18.1): field inputs pass inversion and
// detection/clearance delays, then drive one sequence per input through the states
// Normal -> First Alarm -> (Momentary) -> Acknowledged -> (Ring Back) -> Normal.
// The configured sequence gives every state its window colour, flash mode, buzzer and the
// two relay outputs; the option words give silence interlock, automatic reset, the
// auto-silence timers and the TEST and HORN button behaviour.
//
// The engine keeps no clock of its own: every call that can change something takes the
// current monotonic time in milliseconds, so tests drive it with chosen times.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace vex::emu {

// Event kinds of the device's event log.
enum : uint16_t {
  evSet = 1,
  evClear = 2,
  evPower = 3,
  evTimeValid = 4,
  evConfig = 5,
  evEraseLog = 9,
  evAlarm = 16,
  evMomentary = 17,
  evAcknowledge = 18,
  evRingback = 19,
  evReset = 20,
  evNormal = 21,
  evForced = 32,
  evReleased = 33,
};

// What one alarm state does to its inputs: bit n of each mask stands for input n+1.
struct IsaLook {
  uint64_t Red = 0, Grn = 0, Blu = 0;  // colour bits: index Red + 2 Grn + 4 Blu, 0 = not lit
  uint64_t Sld = 0, Bln = 0;           // flash mode Sld + 2 Bln: solid, 1/2 Hz, 1 Hz, 2 Hz
  uint64_t Buz = 0;                    // buzzer
  uint64_t Ro1 = 0, Ro2 = 0;           // output 1 (horn relay), output 2 (bell relay)
};

// Option bits of the HORN button (`HrnBtn`).
constexpr uint16_t cHrnToggle = 1;     // HORN toggles the horn on/off instead of silencing
constexpr uint16_t cHrnOut1 = 2;       // HORN silences output 1
constexpr uint16_t cHrnOut2 = 4;       // HORN silences output 2
constexpr uint16_t cHrnBuzzer = 8;     // HORN silences the buzzer (always so in push mode)
constexpr uint16_t cAlmTimOut1 = 16;   // auto alarm silence also silences output 1
constexpr uint16_t cAlmTimOut2 = 32;   // ... output 2
constexpr uint16_t cRngTimOut1 = 64;   // auto ringback silence also silences output 1
constexpr uint16_t cRngTimOut2 = 128;  // ... output 2
// Option bits of the TEST button and general options (`TstBtn`).
constexpr uint16_t cTstBuzzer = 1;    // buzzer sounds while TEST is held
constexpr uint16_t cTstOut1 = 2;      // output 1 on while TEST is held
constexpr uint16_t cTstOut2 = 4;      // output 2 on while TEST is held
constexpr uint16_t cTstVirtual = 32;  // virtual (display-only) mode at power-up
// Delay group options (`GrpOpt`).
constexpr uint16_t cGrpEchoBlue = 32;   // a delayed input shows solid blue until its delay ends
constexpr uint16_t cGrpEchoInput = 64;  // ... shows its First Alarm colour, solid

// One input delay group: inputs First..Last (1-based) use Det/Clr instead of the
// device-wide detection and clearance times.
struct IsaDelayGroup {
  int First = 0, Last = -1;
  uint32_t Det = 0, Clr = 0;  // milliseconds
};

// The whole sequence configuration in model-independent form.
struct IsaConfig {
  IsaLook Alm, Mom, Ack, Rng;  // First Alarm, Momentary, Acknowledged, Ring Back
  uint64_t SilLck = 0;         // silence interlock: ACK refused until HORN silenced the alarm
  uint64_t AutRes = 0;         // automatic reset (ignored for inputs with a lit Ring Back)
  uint64_t InpInv = 0;         // normally closed contacts
  uint16_t AlmTim = 0;         // auto alarm silence, seconds (0 = off)
  uint16_t RngTim = 0;         // auto ringback silence, seconds (0 = off)
  uint16_t TstBtn = 0;         // TEST button and general option bits
  uint16_t HrnBtn = 0;         // HORN button option bits
  uint16_t GrpOpt = 0;         // delay group options (echo)
  uint32_t SetTmo = 0;         // detection time, milliseconds
  uint32_t ClrTmo = 0;         // clearance time, milliseconds
  std::array<IsaDelayGroup, 2> Groups{};
};

enum class IsaPhase : uint8_t { Normal, Alarm, Momentary, Acked, Ringback };
enum class IsaKey : uint8_t { Reset, Horn, Test, Ack, TestUp };

class IsaEngine {
 public:
  // Receives one record per event kind and evaluation step; bit n of `dif` = input n+1.
  using EventSink = std::function<void(uint16_t typ, uint64_t dif)>;

  static constexpr int64_t cTestHoldMs = 3000;  // TEST ends when the key is not repeated
  static constexpr int cMaxInputs = 48;

  // `colours` is 2 for red/green panels, 3 for red/green/blue panels.
  IsaEngine(int inputs, int colours);

  void SetSink(EventSink s) { sink_ = std::move(s); }
  // New configuration; sequence states are kept, input targets are re-evaluated at the
  // next Tick.
  void SetConfig(const IsaConfig& c);
  const IsaConfig& Config() const { return cfg_; }
  int Inputs() const { return n_; }

  // Power-up: every sequence normal, nothing silenced, no test, no virtual mode; the field
  // contacts are kept and detected anew from the next call.
  void PowerUp(int64_t now);

  void SetField(int n, bool closed, int64_t now);  // field contact of input n (1-based)
  bool Field(int n) const;
  // Virtual inputs replace the field contacts; entering the mode starts every virtual
  // state from the detected state, so nothing changes until the master forces an input.
  void SetVirtualMode(bool on, int64_t now);
  bool VirtualMode() const { return virtualMode_; }
  void SetVirtual(int n, bool on, int64_t now);    // virtual (remote) state of input n
  void SetVirtuals(uint64_t states, int64_t now);  // every virtual state at once
  bool Virtual(int n) const;
  void Activate(uint64_t mask, int64_t now);  // remote activation: a momentary alarm

  void Key(IsaKey k, int64_t now);
  void Window(int n, int64_t now);  // press of window n: acknowledge, else reset it
  void Tick(int64_t now);

  // ---- status (bit n = input n+1) ----
  uint64_t Onn() const;  // input abnormal (after inversion and delays)
  uint64_t Akt() const;  // alarm not yet acknowledged (First Alarm or Momentary)
  uint64_t Hld() const;  // held by the sequence (any state but Normal)
  uint64_t Sil() const;  // sounding: an audible of its state is not silenced
  uint64_t Alm() const;
  uint64_t Mom() const;
  uint64_t Ack() const;  // acknowledged and still abnormal
  uint64_t Rnb() const;  // ringback, or acknowledged and back to normal (waiting for RESET)
  // Lamp drive at time `now` (flashing lamps are dark in their off half).
  void Colours(int64_t now, uint64_t& red, uint64_t& grn, uint64_t& blu) const;
  bool Buzzer() const;
  bool Out1() const;
  bool Out2() const;
  bool HornEnabled() const { return hornOn_; }
  bool Testing() const { return testing_; }
  IsaPhase Phase(int n) const;

 private:
  struct Chan {
    bool field = false, virt = false;
    bool onn = false;   // detected state
    int64_t pend = -1;  // time the target started to differ from onn, -1 none
    IsaPhase phase = IsaPhase::Normal;
    bool silBuz = false, silRo1 = false, silRo2 = false;
    bool silenced = false;  // HORN (or the auto silence) has acted on this alert
    int64_t since = 0;      // start of the alert (First Alarm/Momentary) or of Ring Back
  };

  bool Target(int i) const;
  uint32_t DelayOf(int i, bool on) const;
  int GroupOf(int i) const;
  void Detect(int i, int64_t now);
  void Changed(int i, int64_t now);
  void Enter(int i, IsaPhase p, int64_t now, bool fresh);
  void AckOne(int i, int64_t now);
  void ResetOne(int i, int64_t now);
  void SilenceOne(int i, bool buz, bool ro1, bool ro2);
  bool Lit(const IsaLook& l, int i) const;
  const IsaLook& LookOf(int i) const;
  bool Output(uint16_t tstBit, uint16_t hrnBit, uint64_t IsaLook::*sounds, bool Chan::*silenced) const;
  bool Sounding(int i) const;
  bool AutoReset(int i) const;
  void Note(uint16_t typ, int i);
  void Flush();

  int n_;
  uint64_t colourMask_;  // 2 colours: no blue
  IsaConfig cfg_;
  std::vector<Chan> ch_;
  bool virtualMode_ = false;
  bool hornOn_ = true;
  bool testing_ = false;
  int64_t testSeen_ = 0;
  int64_t flashRef_ = 0;
  EventSink sink_;
  std::vector<std::pair<uint16_t, uint64_t>> batch_;
};

}  // namespace vex::emu
