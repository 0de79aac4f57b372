#include "emu/IsaEngine.h"

#include "shell/Basics.h"

namespace vex::emu {

namespace {

constexpr uint64_t Bit(int i) { return uint64_t{1} << i; }
const IsaLook kDark{};

// Flash periods by flash mode: solid, 1/2 Hz, 1 Hz, 2 Hz.
constexpr int64_t kPeriod[4] = {0, 2000, 1000, 500};

bool OnPhase(int64_t now, int64_t ref, int flash) {
  if (flash == 0) return true;
  const int64_t p = kPeriod[flash];
  const int64_t t = ((now - ref) % p + p) % p;
  return t < p / 2;
}

}  // namespace

IsaEngine::IsaEngine(int inputs, int colours) : n_(inputs), colourMask_(colours >= 3 ? 7 : 3) {
  if (inputs < 1 || inputs > cMaxInputs) {
    throw Exception("Input count out of range [1~48]: " + std::to_string(inputs));
  }
  ch_.resize(static_cast<size_t>(n_));
}

void IsaEngine::SetConfig(const IsaConfig& c) {
  cfg_ = c;
  if (colourMask_ == 3) {  // red/green panels have no blue lamps
    cfg_.Alm.Blu = cfg_.Mom.Blu = cfg_.Ack.Blu = cfg_.Rng.Blu = 0;
  }
}

void IsaEngine::PowerUp(int64_t now) {
  for (Chan& c : ch_) {
    const bool field = c.field;
    c = Chan{};
    c.field = field;
  }
  virtualMode_ = false;
  hornOn_ = true;
  testing_ = false;
  flashRef_ = now;
  batch_.clear();
}

bool IsaEngine::Field(int n) const { return n >= 1 && n <= n_ && ch_[n - 1].field; }
bool IsaEngine::Virtual(int n) const { return n >= 1 && n <= n_ && ch_[n - 1].virt; }

void IsaEngine::SetField(int n, bool closed, int64_t now) {
  if (n < 1 || n > n_) return;
  ch_[n - 1].field = closed;
  Detect(n - 1, now);
  Flush();
}

void IsaEngine::SetVirtualMode(bool on, int64_t now) {
  if (on && !virtualMode_)
    for (Chan& c : ch_) c.virt = c.onn;
  virtualMode_ = on;
  for (int i = 0; i < n_; ++i) Detect(i, now);
  Flush();
}

void IsaEngine::SetVirtual(int n, bool on, int64_t now) {
  if (n < 1 || n > n_) return;
  Chan& c = ch_[n - 1];
  if (c.virt != on) {
    c.virt = on;
    Note(on ? evForced : evReleased, n - 1);
  }
  Detect(n - 1, now);
  Flush();
}

void IsaEngine::SetVirtuals(uint64_t states, int64_t now) {
  for (int i = 0; i < n_; ++i) {
    Chan& c = ch_[i];
    const bool on = (states & Bit(i)) != 0;
    if (c.virt != on) {
      c.virt = on;
      Note(on ? evForced : evReleased, i);
    }
    Detect(i, now);
  }
  Flush();
}

void IsaEngine::Activate(uint64_t mask, int64_t now) {
  for (int i = 0; i < n_; ++i) {
    if (!(mask & Bit(i)) || !Lit(cfg_.Alm, i)) continue;
    const IsaPhase p = ch_[i].phase;
    if (p == IsaPhase::Normal || p == IsaPhase::Ringback) {
      Enter(i, IsaPhase::Alarm, now, true);
      Note(evAlarm, i);
    }
  }
  Flush();
}

bool IsaEngine::Target(int i) const {
  const Chan& c = ch_[i];
  if (virtualMode_) return c.virt;  // a remote state is already the logical state
  return c.field != ((cfg_.InpInv & Bit(i)) != 0);
}

int IsaEngine::GroupOf(int i) const {
  for (size_t g = 0; g < cfg_.Groups.size(); ++g) {
    const IsaDelayGroup& d = cfg_.Groups[g];
    if (i + 1 >= d.First && i + 1 <= d.Last) return static_cast<int>(g);
  }
  return -1;
}

uint32_t IsaEngine::DelayOf(int i, bool on) const {
  const int g = GroupOf(i);
  if (g >= 0) return on ? cfg_.Groups[g].Det : cfg_.Groups[g].Clr;
  return on ? cfg_.SetTmo : cfg_.ClrTmo;
}

void IsaEngine::Detect(int i, int64_t now) {
  Chan& c = ch_[i];
  const bool t = Target(i);
  if (t == c.onn) {
    c.pend = -1;
    return;
  }
  if (c.pend < 0) c.pend = now;
  if (now - c.pend >= static_cast<int64_t>(DelayOf(i, t))) {
    c.onn = t;
    c.pend = -1;
    Changed(i, now);
  }
}

bool IsaEngine::Lit(const IsaLook& l, int i) const { return ((l.Red | l.Grn | l.Blu) & Bit(i)) != 0; }

bool IsaEngine::AutoReset(int i) const { return (cfg_.AutRes & Bit(i)) && !Lit(cfg_.Rng, i); }

void IsaEngine::Enter(int i, IsaPhase p, int64_t now, bool fresh) {
  Chan& c = ch_[i];
  c.phase = p;
  if (fresh) {
    c.silBuz = c.silRo1 = c.silRo2 = c.silenced = false;
    c.since = now;
  }
}

// A change of the detected input state drives the sequence; a change that moves no
// sequence is logged as SET or CLEAR, so every change is logged exactly once.
void IsaEngine::Changed(int i, int64_t now) {
  const bool on = ch_[i].onn;
  if (!Lit(cfg_.Alm, i)) {  // input without a sequence
    Note(on ? evSet : evClear, i);
    return;
  }
  switch (ch_[i].phase) {
    case IsaPhase::Normal:
      if (on) {
        Enter(i, IsaPhase::Alarm, now, true);
        Note(evAlarm, i);
      } else {
        Note(evClear, i);
      }
      break;
    case IsaPhase::Alarm:
      if (on) {
        Note(evSet, i);
      } else if (!Lit(cfg_.Ack, i)) {  // no lock-in: the alarm goes with its cause
        Enter(i, IsaPhase::Normal, now, true);
        Note(evNormal, i);
      } else {  // the same unacknowledged alarm: silence and timers carry on
        Enter(i, IsaPhase::Momentary, now, false);
        Note(evMomentary, i);
      }
      break;
    case IsaPhase::Momentary:
      if (on) {
        Enter(i, IsaPhase::Alarm, now, false);
        Note(evAlarm, i);
      } else {
        Note(evClear, i);
      }
      break;
    case IsaPhase::Acked:
      if (on) {
        Note(evSet, i);
      } else if (Lit(cfg_.Rng, i)) {
        Enter(i, IsaPhase::Ringback, now, true);
        Note(evRingback, i);
      } else if (AutoReset(i) || !Lit(cfg_.Ack, i)) {  // no lock-in: nothing left to show
        Enter(i, IsaPhase::Normal, now, true);
        Note(evNormal, i);
      } else {  // manual reset: held until RESET
        Note(evClear, i);
      }
      break;
    case IsaPhase::Ringback:
      if (on) {
        Enter(i, IsaPhase::Alarm, now, true);
        Note(evAlarm, i);
      } else {
        Note(evClear, i);
      }
      break;
  }
}

void IsaEngine::AckOne(int i, int64_t now) {
  Chan& c = ch_[i];
  switch (c.phase) {
    case IsaPhase::Alarm:
    case IsaPhase::Momentary: {
      const bool pushSilence = !(cfg_.HrnBtn & cHrnToggle);
      // silence first: once HORN has acted, outputs it does not silence keep sounding
      if ((cfg_.SilLck & Bit(i)) && pushSilence && Sounding(i) && !c.silenced) return;
      if (c.phase == IsaPhase::Alarm) {
        Enter(i, IsaPhase::Acked, now, true);
      } else if (Lit(cfg_.Rng, i)) {
        Enter(i, IsaPhase::Ringback, now, true);
      } else if (AutoReset(i) || !Lit(cfg_.Ack, i)) {
        Enter(i, IsaPhase::Normal, now, true);
      } else {
        Enter(i, IsaPhase::Acked, now, true);  // acknowledged, waiting for RESET
      }
      Note(evAcknowledge, i);
      break;
    }
    case IsaPhase::Ringback:
      SilenceOne(i, true, true, true);
      break;
    default:
      break;
  }
}

void IsaEngine::ResetOne(int i, int64_t now) {
  Chan& c = ch_[i];
  if (c.phase == IsaPhase::Ringback || (c.phase == IsaPhase::Acked && !c.onn)) {
    Enter(i, IsaPhase::Normal, now, true);
    Note(evReset, i);
  }
}

void IsaEngine::SilenceOne(int i, bool buz, bool ro1, bool ro2) {
  Chan& c = ch_[i];
  c.silBuz = c.silBuz || buz;
  c.silRo1 = c.silRo1 || ro1;
  c.silRo2 = c.silRo2 || ro2;
  c.silenced = true;
}

void IsaEngine::Key(IsaKey k, int64_t now) {
  switch (k) {
    case IsaKey::Reset:
      for (int i = 0; i < n_; ++i) ResetOne(i, now);
      break;
    case IsaKey::Ack:
      for (int i = 0; i < n_; ++i) AckOne(i, now);
      break;
    case IsaKey::Horn:
      if (cfg_.HrnBtn & cHrnToggle) {
        hornOn_ = !hornOn_;
      } else {
        for (int i = 0; i < n_; ++i) {
          if (ch_[i].phase != IsaPhase::Normal) {
            SilenceOne(i, true, cfg_.HrnBtn & cHrnOut1, cfg_.HrnBtn & cHrnOut2);
          }
        }
      }
      break;
    case IsaKey::Test:
      testing_ = true;
      testSeen_ = now;
      break;
    case IsaKey::TestUp:
      testing_ = false;
      break;
  }
  Flush();
}

void IsaEngine::Window(int n, int64_t now) {
  if (n < 1 || n > n_) return;
  const IsaPhase p = ch_[n - 1].phase;
  if (p == IsaPhase::Alarm || p == IsaPhase::Momentary) {
    AckOne(n - 1, now);
  } else {
    ResetOne(n - 1, now);
  }
  Flush();
}

void IsaEngine::Tick(int64_t now) {
  if (testing_ && now - testSeen_ > cTestHoldMs) testing_ = false;
  for (int i = 0; i < n_; ++i) {
    Detect(i, now);
    Chan& c = ch_[i];
    // An alarm raised remotely while the input is normal becomes momentary at once.
    if (c.phase == IsaPhase::Alarm && !c.onn && c.pend < 0) Changed(i, now);
    if ((c.phase == IsaPhase::Alarm || c.phase == IsaPhase::Momentary) && cfg_.AlmTim &&
        now - c.since >= int64_t{cfg_.AlmTim} * 1000) {
      SilenceOne(i, true, cfg_.HrnBtn & cAlmTimOut1, cfg_.HrnBtn & cAlmTimOut2);
    }
    if (c.phase == IsaPhase::Ringback && cfg_.RngTim && now - c.since >= int64_t{cfg_.RngTim} * 1000) {
      SilenceOne(i, true, cfg_.HrnBtn & cRngTimOut1, cfg_.HrnBtn & cRngTimOut2);
    }
  }
  Flush();
}

const IsaLook& IsaEngine::LookOf(int i) const {
  switch (ch_[i].phase) {
    case IsaPhase::Alarm:
      return cfg_.Alm;
    case IsaPhase::Momentary:  // without a look of its own it keeps the First Alarm look
      return Lit(cfg_.Mom, i) ? cfg_.Mom : cfg_.Alm;
    case IsaPhase::Acked:
      return cfg_.Ack;
    case IsaPhase::Ringback:
      return cfg_.Rng;
    default:
      return kDark;
  }
}

bool IsaEngine::Sounding(int i) const {
  const IsaLook& l = LookOf(i);
  const Chan& c = ch_[i];
  const uint64_t b = Bit(i);
  const bool muted = (cfg_.HrnBtn & cHrnToggle) && !hornOn_;
  const bool buz = (l.Buz & b) && !c.silBuz && !(muted && (cfg_.HrnBtn & cHrnBuzzer));
  const bool ro1 = (l.Ro1 & b) && !c.silRo1 && !(muted && (cfg_.HrnBtn & cHrnOut1));
  const bool ro2 = (l.Ro2 & b) && !c.silRo2 && !(muted && (cfg_.HrnBtn & cHrnOut2));
  return buz || ro1 || ro2;
}

namespace {
template <class F>
uint64_t Mask(int n, F f) {
  uint64_t m = 0;
  for (int i = 0; i < n; ++i)
    if (f(i)) m |= Bit(i);
  return m;
}
}  // namespace

uint64_t IsaEngine::Onn() const {
  return Mask(n_, [&](int i) { return ch_[i].onn; });
}
uint64_t IsaEngine::Akt() const {
  return Mask(n_,
              [&](int i) { return ch_[i].phase == IsaPhase::Alarm || ch_[i].phase == IsaPhase::Momentary; });
}
uint64_t IsaEngine::Hld() const {
  return Mask(n_, [&](int i) { return ch_[i].phase != IsaPhase::Normal; });
}
uint64_t IsaEngine::Sil() const {
  return Mask(n_, [&](int i) { return Sounding(i); });
}
uint64_t IsaEngine::Alm() const {
  return Mask(n_, [&](int i) { return ch_[i].phase == IsaPhase::Alarm; });
}
uint64_t IsaEngine::Mom() const {
  return Mask(n_, [&](int i) { return ch_[i].phase == IsaPhase::Momentary; });
}
uint64_t IsaEngine::Ack() const {
  return Mask(n_, [&](int i) { return ch_[i].phase == IsaPhase::Acked && ch_[i].onn; });
}
uint64_t IsaEngine::Rnb() const {
  return Mask(n_, [&](int i) {
    return ch_[i].phase == IsaPhase::Ringback || (ch_[i].phase == IsaPhase::Acked && !ch_[i].onn);
  });
}

IsaPhase IsaEngine::Phase(int n) const { return n >= 1 && n <= n_ ? ch_[n - 1].phase : IsaPhase::Normal; }

void IsaEngine::Colours(int64_t now, uint64_t& red, uint64_t& grn, uint64_t& blu) const {
  red = grn = blu = 0;
  for (int i = 0; i < n_; ++i) {
    const uint64_t b = Bit(i);
    unsigned colour = 0;
    if (testing_) {
      colour = static_cast<unsigned>(colourMask_);
    } else {
      const Chan& c = ch_[i];
      const IsaLook& l = LookOf(i);
      colour = ((l.Red & b) ? 1u : 0u) | ((l.Grn & b) ? 2u : 0u) | ((l.Blu & b) ? 4u : 0u);
      const int flash = ((l.Sld & b) ? 1 : 0) | ((l.Bln & b) ? 2 : 0);
      if (!OnPhase(now, flashRef_, flash)) colour = 0;
      // Echo of an input still within its delay, before it raises the alarm.
      if (c.phase == IsaPhase::Normal && c.pend >= 0 && !c.onn && GroupOf(i) >= 0) {
        if ((cfg_.GrpOpt & cGrpEchoBlue) && colourMask_ == 7) {
          colour = 4;
        } else if (cfg_.GrpOpt & cGrpEchoInput) {
          colour = ((cfg_.Alm.Red & b) ? 1u : 0u) | ((cfg_.Alm.Grn & b) ? 2u : 0u) |
                   ((cfg_.Alm.Blu & b) ? 4u : 0u);
        }
      }
    }
    if (colour & 1) red |= b;
    if (colour & 2) grn |= b;
    if (colour & 4) blu |= b;
  }
}

// One sounding output: on while TEST is held with its test option, off while the toggling
// HORN has it muted, otherwise on while any input's state sounds it and it is not silenced.
bool IsaEngine::Output(uint16_t tstBit, uint16_t hrnBit, uint64_t IsaLook::*sounds,
                       bool Chan::*silenced) const {
  if (testing_ && (cfg_.TstBtn & tstBit)) return true;
  const bool muted = (cfg_.HrnBtn & cHrnToggle) && !hornOn_ && (cfg_.HrnBtn & hrnBit);
  if (muted) return false;
  for (int i = 0; i < n_; ++i)
    if ((LookOf(i).*sounds & Bit(i)) && !(ch_[i].*silenced)) return true;
  return false;
}

bool IsaEngine::Buzzer() const { return Output(cTstBuzzer, cHrnBuzzer, &IsaLook::Buz, &Chan::silBuz); }
bool IsaEngine::Out1() const { return Output(cTstOut1, cHrnOut1, &IsaLook::Ro1, &Chan::silRo1); }
bool IsaEngine::Out2() const { return Output(cTstOut2, cHrnOut2, &IsaLook::Ro2, &Chan::silRo2); }

void IsaEngine::Note(uint16_t typ, int i) {
  for (auto& [t, m] : batch_) {
    if (t == typ) {
      m |= Bit(i);
      return;
    }
  }
  batch_.emplace_back(typ, Bit(i));
}

void IsaEngine::Flush() {
  auto b = std::move(batch_);
  batch_.clear();
  if (!sink_) return;
  for (const auto& [t, m] : b) sink_(t, m);
}

}  // namespace vex::emu
