#include "emu/LiveBase.h"

namespace vex::emu {

void LiveBase::Bind(Device& d, size_t records) {
  d_ = &d;
  eventRecords_ = records;
  if (records) d.Own(Space::Holding, cEventRegs, static_cast<uint32_t>(records * tVexEvn::cWords), this);
  engine_.SetSink([this](uint16_t typ, uint64_t dif) { LogEvent(typ, dif); });
  powerUp_ = true;
}

void LiveBase::LogEvent(uint16_t typ, uint64_t dif) {
  const DevTime t = d_->Clock();
  const tVexEvn& e = log_.Add(typ, dif, t, engine_.Onn(), static_cast<uint16_t>(t.tim & 0x3FFF));
  Logged(e);
}

void LiveBase::OnInput(int n, bool on) {
  if (powerUp_) PowerUp();
  engine_.SetField(n, on, Now());
}

void LiveBase::PowerUp() {
  powerUp_ = false;
  clockSet_ = false;
  cfgSeen_ = d_->CfgState();
  const int64_t now = Now();
  engine_.SetConfig(BuildConfig());
  engine_.PowerUp(now);
  LogEvent(evPower, 0);
  PoweredUp(now);
  for (int n = 1; n <= engine_.Inputs(); ++n) engine_.SetField(n, d_->Input(n), now);
}

void LiveBase::OnConfig() {
  if (powerUp_) {
    PowerUp();
    return;
  }
  engine_.SetConfig(BuildConfig());
  engine_.Tick(Now());  // inputs whose state the change altered start their delay now
}

void LiveBase::OnEraseEvents() {
  log_.Erase();
  LogEvent(evEraseLog, 0);
}

void LiveBase::Tick(int64_t now) {
  if (powerUp_) PowerUp();
  // Storing the working configuration is logged once per store.
  const uint16_t cfg = d_->CfgState();
  if ((cfg & cTstSav) && !(cfgSeen_ & cTstSav)) LogEvent(evConfig, 0);
  cfgSeen_ = cfg;
  engine_.Tick(now);
}

void LiveBase::AfterWrite(Space s, uint32_t first, uint32_t count) {
  // A write of the time record (48..50) sets the device clock (done by the device itself).
  if (s == Space::Holding && d_->Info().hasTimeRecord && first <= 50 && first + count > 48) {
    clockSet_ = true;
    LogEvent(evTimeValid, 0);
  }
}

void LiveBase::BeforeRead(Space s, uint32_t first, uint32_t count) {
  const uint32_t words = static_cast<uint32_t>(eventRecords_ * tVexEvn::cWords);
  if (s != Space::Holding || !words || first >= cEventRegs + words || cEventRegs >= first + count) return;
  eventView_.clear();
  for (const tVexEvn& e : log_.Latest(eventRecords_))
    if (e.Seq > eventSent_) eventView_.push_back(e);
  eventSent_ = log_.LastSeq();
}

uint16_t LiveBase::EventWord(uint32_t k) const {
  const size_t rec = k / tVexEvn::cWords;
  if (rec >= eventView_.size()) return 0;
  uint16_t w[tVexEvn::cWords];
  eventView_[rec].ToWords(w);
  return w[k % tVexEvn::cWords];
}

}  // namespace vex::emu
