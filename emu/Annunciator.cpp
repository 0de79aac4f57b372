#include "emu/Annunciator.h"

#include <algorithm>

#include "emu/IsaRecord.h"

namespace vex::emu {

namespace {

bool Family216(Model m) { return m == Model::Vex216 || m == Model::Vex308; }
bool Family9xx(Model m) { return m == Model::Vex924 || m == Model::Vex932 || m == Model::Vex936; }
bool In(uint32_t a, uint32_t first, uint32_t count) { return a >= first && a - first < count; }
bool Meets(uint32_t first, uint32_t count, uint32_t at, uint32_t n) {
  return first < at + n && at < first + count;
}

int ColoursOf(const ModelInfo& m) {
  switch (m.model) {
    case Model::Vex215:
    case Model::Vex216:
    case Model::Vex308:
    case Model::Vex316:
      return 2;
    default:
      return 3;
  }
}

// A small deterministic wobble of the analog readings, changing every 250 ms.
uint16_t Wobble(int ch, int64_t now) {
  uint32_t x = static_cast<uint32_t>(now / 250) * 2654435761u + static_cast<uint32_t>(ch) * 40503u;
  x ^= x >> 15;
  return static_cast<uint16_t>(x % 16);
}

struct SetRange {
  uint16_t lo, hi;
};
constexpr SetRange kSetRange[4] = {{3900, 4200}, {0, 300}, {0, 100}, {0, 10000}};  // Fvr, Vol, Emp, Dvs

}  // namespace

Annunciator::Annunciator(const ModelInfo& m) : LiveBase(m.inputs, ColoursOf(m)), m_(m) {}

bool Annunciator::DisplayOnly() const {
  const int sof = m_.AppSof();
  return (Family216(m_.model) && (sof == 40 || sof == 42)) || (m_.model == Model::Vex324 && sof == 40);
}

void Annunciator::Attach(Device& d) {
  hasEvents_ = m_.model == Model::Vex324 || Family9xx(m_.model);
  Bind(d, hasEvents_ ? 1 : 0);
  const int sof = m_.AppSof();
  switch (m_.model) {
    case Model::Vex215:
      status_ = StatusKind::Sim215, statusAt_ = 32, statusWords_ = 6;
      break;
    case Model::Vex216:
    case Model::Vex308:
    case Model::Vex316: {
      // Every edition keeps a record at 32 whose fourth word (35) is StaFlg: the full
      // 14-word record on the first edition of the 8/16-input models, else the 9-word
      // legacy record. Sequence firmware adds the full record at 48, which its simulator
      // screen reads; editions it does not know it reads at 32.
      const bool full32 = sof == 1 && Family216(m_.model);
      const StatusKind at32 = full32 ? StatusKind::Sta216 : StatusKind::Rtu216;
      const uint16_t words32 = full32 ? 14 : 9;
      if (m_.seqBytes > 0) {
        status_ = StatusKind::Sta216, statusAt_ = 48, statusWords_ = 14;
        legacy_ = at32, legacyWords_ = words32;
      } else {
        status_ = at32, statusAt_ = cLegacyRegs, statusWords_ = words32;
      }
      break;
    }
    case Model::Vex936:
      status_ = StatusKind::Sta324, statusAt_ = 48, statusWords_ = 37;
      break;
    default:
      status_ = StatusKind::Sta324, statusAt_ = 48, statusWords_ = 26;
      break;
  }
  d.Own(Space::Holding, statusAt_, statusWords_, this);
  if (legacyWords_) d.Own(Space::Holding, cLegacyRegs, legacyWords_, this);
  hasRing_ = Family216(m_.model);
  if (hasRing_) {
    d.Own(Space::Holding, cRingRegs, 19, this);
    d.Own(Space::Holding, cExoRegs, 6, this);
    d.Own(Space::Holding, cTunRegs, 13, this);
    if (sof == 20 || sof == 22) remoteWords_ = 4;
    if (sof == 40 || sof == 42) hasCoils_ = true;
  }
  hasAnalog_ = m_.model == Model::Vex316;
  if (hasAnalog_) {
    d.Own(Space::Holding, cValRegs, 35, this);
    d.Own(Space::Holding, cSetRegs, 4, this);
  }
  if (Family9xx(m_.model)) {
    remoteWords_ = m_.model == Model::Vex936 ? 8 : 6;
    hasCoils_ = true;
  }
  if (remoteWords_) d.Own(Space::Holding, cRemoteRegs, remoteWords_, this);
  if (hasCoils_) {
    d.Own(Space::Coil, cVirCoils, static_cast<uint32_t>(m_.inputs), this);
    d.Own(Space::Coil, cActCoils, static_cast<uint32_t>(m_.inputs), this);
  }
}

IsaConfig Annunciator::BuildConfig() {
  IsaConfig c = m_.seqBytes > 0 ? ConfigFromRecord(d_->Sequence(), m_.seqBytes)
                                : FixedConfig(m_.inputs, d_->Cfg(16), d_->Cfg(17));
  // Detection and clearance times follow the horn/bell selection where the model has one.
  const uint16_t tmo = static_cast<uint16_t>(m_.cfgCount == 4 ? m_.cfgFirst + 2 : m_.cfgFirst);
  c.SetTmo = d_->Cfg(tmo);
  c.ClrTmo = d_->Cfg(static_cast<uint16_t>(tmo + 1));
  return c;
}

void Annunciator::PoweredUp(int64_t now) {
  stampBase_ = static_cast<uint16_t>(d_->Clock().tim & 0x3FFF);
  stampRef_ = now;
  timVld_ = false;
  lastStamp_ = -1;
  ring_.clear();
  ringView_.clear();
  sqq_ = 0;
  if (DisplayOnly() || (engine_.Config().TstBtn & cTstVirtual)) engine_.SetVirtualMode(true, now);
}

uint16_t Annunciator::Stamp() const {
  return static_cast<uint16_t>((stampBase_ + (Now() - stampRef_)) & 0x3FFF);
}

void Annunciator::Logged(const tVexEvn& e) {
  if (!hasRing_) return;
  const uint16_t dif = e.Dif01;
  if (!dif) return;
  int kind;
  switch (e.Typ) {
    case evSet:
    case evAlarm:
      kind = 3;
      break;
    case evAcknowledge:
      kind = 2;
      break;
    case evReset:
      kind = 1;
      break;
    case evClear:
    case evMomentary:
    case evRingback:
    case evNormal:
      kind = 0;
      break;
    default:
      return;
  }
  ring_.push_back(Sample{static_cast<uint16_t>(Stamp() | kind << 14), dif});
  ++sqq_;
  while (ring_.size() > cRingSize) ring_.pop_front();
}

uint16_t Annunciator::StaFlg() const {
  uint16_t f = d_->CfgState() & 7;
  if (engine_.Testing()) f |= cTstPnd;
  if (engine_.HornEnabled()) f |= cHrnEnb;
  if (engine_.Out1()) f |= cOt1Onn;
  if (engine_.Out2()) f |= cOt2Onn;
  if (faultOut_) f |= cOtsOnn;
  if (Family216(m_.model)) {
    if (timVld_) f |= cTimVld;
    if (lastStamp_ >= 0 && Now() - lastStamp_ <= cStampSyncMs) f |= cTimSyn2;
    if (m_.AppSof() == 22) f |= cOscExt;
    if (engine_.VirtualMode()) f |= cVirMod;
  }
  if (Family9xx(m_.model)) {
    if (ClockSet()) f |= cTimSyn;
    if (engine_.VirtualMode()) f |= cVirMod;
  }
  return f;
}

uint16_t Annunciator::StatusWord(StatusKind kind, uint16_t k) const {
  const DevTime t = d_->Clock();
  uint64_t red, grn, blu;
  engine_.Colours(Now(), red, grn, blu);
  switch (kind) {
    case StatusKind::Sim215:
    case StatusKind::Rtu216: {
      // Horn and bell selections: the registers of the models that have them, else the
      // inputs whose First Alarm drives output 1 or 2 in the sequence record.
      const bool sel = m_.cfgFirst == 16 && m_.cfgCount == 4;
      const uint16_t w[9] = {GroupWord(engine_.Onn(), 0),
                             GroupWord(engine_.Akt(), 0),
                             GroupWord(engine_.Hld(), 0),
                             StaFlg(),
                             sel ? d_->Cfg(16) : GroupWord(engine_.Config().Alm.Ro1, 0),
                             sel ? d_->Cfg(17) : GroupWord(engine_.Config().Alm.Ro2, 0),
                             0,
                             GroupWord(red, 0),
                             GroupWord(grn, 0)};
      return k < 9 ? w[k] : 0;
    }
    case StatusKind::Sta216: {
      const uint16_t w[14] = {static_cast<uint16_t>(t.tim & 0xFFFF),
                              static_cast<uint16_t>(t.tim >> 16),
                              t.dat,
                              StaFlg(),
                              GroupWord(engine_.Onn(), 0),
                              GroupWord(engine_.Akt(), 0),
                              GroupWord(engine_.Hld(), 0),
                              GroupWord(engine_.Sil(), 0),
                              GroupWord(engine_.Alm(), 0),
                              GroupWord(engine_.Mom(), 0),
                              GroupWord(engine_.Ack(), 0),
                              GroupWord(engine_.Rnb(), 0),
                              GroupWord(red, 0),
                              GroupWord(grn, 0)};
      return k < 14 ? w[k] : 0;
    }
    case StatusKind::Sta324:
      break;
  }
  switch (k) {
    case 0:
      return static_cast<uint16_t>(t.tim & 0xFFFF);
    case 1:
      return static_cast<uint16_t>(t.tim >> 16);
    case 2:
      return t.dat;
    case 3:
      return StaFlg();
    default:
      break;
  }
  const int g = (k - 4) / 11;
  const uint64_t words[11] = {engine_.Onn(),
                              engine_.Akt(),
                              engine_.Hld(),
                              engine_.Sil(),
                              engine_.Alm(),
                              engine_.Mom(),
                              engine_.Ack(),
                              engine_.Rnb(),
                              red,
                              grn,
                              blu};
  return GroupWord(words[(k - 4) % 11], g);
}

uint16_t Annunciator::RingWord(uint16_t k) const {
  switch (k) {
    case 0:
      return 0;
    case 1:
      return Stamp();
    case 2:
      return sqq_;
    default:
      break;
  }
  const size_t j = (k - 3u) / 2u;
  if (j >= ringView_.size()) return 0;
  return (k - 3u) % 2u == 0 ? ringView_[j].tim : ringView_[j].key;
}

uint16_t Annunciator::TunWord(uint16_t k) const {
  if (auto it = tunSet_.find(k); it != tunSet_.end()) return it->second;
  const int64_t lap = lastStamp_ < 0 ? 0 : std::min<int64_t>(Now() - lastStamp_, 0xFFFF);
  const bool syncing = lastStamp_ >= 0 && Now() - lastStamp_ <= cStampSyncMs;
  const int16_t w[13] = {1024,
                         oscTun_,
                         0,
                         static_cast<int16_t>(static_cast<uint16_t>(lap)),
                         static_cast<int16_t>(oscTun_ * 2),
                         oscTun_,
                         oscHist_[0],
                         oscHist_[1],
                         oscHist_[2],
                         0,
                         0,
                         0,
                         static_cast<int16_t>(syncing ? 9900 : 0)};
  return k < 13 ? static_cast<uint16_t>(w[k]) : 0;
}

uint16_t Annunciator::ExoWord(uint16_t k) const {
  if (auto it = exoSet_.find(k); it != exoSet_.end()) return it->second;
  const bool ext = m_.AppSof() == 22;
  const uint16_t w[6] = {static_cast<uint16_t>(ext ? 0x70 : 0x60),
                         static_cast<uint16_t>(ext ? 0x70 : 0x60),
                         0x00,
                         0x10,
                         static_cast<uint16_t>(ext ? 0x80 : 0x40),
                         8};
  return k < 6 ? w[k] : 0;
}

uint16_t Annunciator::ValWord(uint16_t k) const {
  if (auto it = valSet_.find(k); it != valSet_.end()) return it->second;
  const int64_t now = Now();
  const uint16_t j = Wobble(k, now);
  const uint16_t fvr = set_[0], vol = set_[1], emp = set_[2], dvs = set_[3];
  if (k < 16) return engine_.Field(k + 1) ? static_cast<uint16_t>(1800 + j) : static_cast<uint16_t>(j % 4);
  if (k < 20) return static_cast<uint16_t>(2000 + 10 * (k - 16) + j % 8);
  const uint16_t refAdc = static_cast<uint16_t>(4096u * 2048u / fvr);
  const uint16_t lthAdc = static_cast<uint16_t>(400 + emp);
  const uint16_t cecAdc = static_cast<uint16_t>(512 + j);
  switch (k) {
    case 20:
      return fvr;  // RefSet
    case 21:
      return refAdc;
    case 22:
      return static_cast<uint16_t>(fvr / 2);  // RefVal, mV
    case 23:
      return lthAdc;
    case 24:
      return static_cast<uint16_t>(lthAdc * fvr / 4096u);  // LthVal, mV
    case 25:
      return static_cast<uint16_t>(vol * 10);  // CurSet, 0.1 uA
    case 26:
      return static_cast<uint16_t>(vol * 10 + j % 3);  // CurVal
    case 27:
      return static_cast<uint16_t>(dvs / 10);  // DvsCur
    case 28:
      return static_cast<uint16_t>(emp * 10);  // PwmVal, 0.1 %
    case 29:
      return cecAdc;
    case 30:
      return static_cast<uint16_t>(cecAdc * 10 / 8);  // CecVal
    case 31:
      return 5000;  // CtrVal, 0.01 %
    case 32:
      return static_cast<uint16_t>(1250 + j);  // PwrVal, uW
    case 33:
      return static_cast<uint16_t>(3000 + j);  // SupAdc
    default:
      return static_cast<uint16_t>(24000 + j);  // SupVal, mV
  }
}

int Annunciator::Read(Space s, uint32_t a, uint16_t& v) {
  if (s == Space::Coil) {
    if (hasCoils_ && In(a, cVirCoils, static_cast<uint32_t>(m_.inputs))) {
      v = engine_.Virtual(static_cast<int>(a - cVirCoils) + 1) ? 1 : 0;
      return exNone;
    }
    if (hasCoils_ && In(a, cActCoils, static_cast<uint32_t>(m_.inputs))) {
      v = 0;
      return exNone;
    }
    return kPass;
  }
  if (s != Space::Holding) return kPass;
  if (In(a, statusAt_, statusWords_)) {
    v = StatusWord(status_, static_cast<uint16_t>(a - statusAt_));
    return exNone;
  }
  if (In(a, cLegacyRegs, legacyWords_)) {
    v = StatusWord(legacy_, static_cast<uint16_t>(a - cLegacyRegs));
    return exNone;
  }
  if (hasEvents_ && In(a, cEventRegs, tVexEvn::cWords)) {
    v = EventWord(a - cEventRegs);
    return exNone;
  }
  if (hasRing_ && In(a, cRingRegs, 19)) {
    v = RingWord(static_cast<uint16_t>(a - cRingRegs));
    return exNone;
  }
  if (hasRing_ && In(a, cExoRegs, 6)) {
    v = ExoWord(static_cast<uint16_t>(a - cExoRegs));
    return exNone;
  }
  if (hasRing_ && In(a, cTunRegs, 13)) {
    v = TunWord(static_cast<uint16_t>(a - cTunRegs));
    return exNone;
  }
  if (hasAnalog_ && In(a, cValRegs, 35)) {
    v = ValWord(static_cast<uint16_t>(a - cValRegs));
    return exNone;
  }
  if (hasAnalog_ && In(a, cSetRegs, 4)) {
    v = set_[a - cSetRegs];
    return exNone;
  }
  if (remoteWords_ && In(a, cRemoteRegs, remoteWords_)) {
    v = remote_[a - cRemoteRegs];
    return exNone;
  }
  return kPass;
}

int Annunciator::Write(Space s, uint32_t a, uint16_t v) {
  const int64_t now = Now();
  if (s == Space::Coil) {
    if (hasCoils_ && In(a, cVirCoils, static_cast<uint32_t>(m_.inputs))) {
      if (!engine_.VirtualMode()) engine_.SetVirtualMode(true, now);
      engine_.SetVirtual(static_cast<int>(a - cVirCoils) + 1, v != 0, now);
      return exNone;
    }
    if (hasCoils_ && In(a, cActCoils, static_cast<uint32_t>(m_.inputs))) {
      if (v) engine_.Activate(uint64_t{1} << (a - cActCoils), now);
      return exNone;
    }
    return kPass;
  }
  if (s != Space::Holding) return kPass;
  if (In(a, statusAt_, statusWords_)) {
    // The time record shares the first registers; the device sets its clock from it.
    if (m_.hasTimeRecord && a >= 48 && a <= 50) return kPass;
    return exAddress;
  }
  if (In(a, cLegacyRegs, legacyWords_)) return exAddress;
  if (hasRing_ && a == cRingRegs) {  // remote time setting: the 14-bit millisecond stamp
    stampBase_ = v & 0x3FFF;
    stampRef_ = now;
    timVld_ = true;
    lastStamp_ = now;
    return exNone;
  }
  if (hasRing_ && a == cTunRegs + 1) {  // OscTun, signed
    const auto t = static_cast<int16_t>(v);
    if (t < -32 || t > 31) return exValue;
    oscHist_ = {oscTun_, oscHist_[0], oscHist_[1]};
    oscTun_ = t;
    return exNone;
  }
  if (hasAnalog_ && In(a, cSetRegs, 4)) {
    const SetRange& r = kSetRange[a - cSetRegs];
    if (v < r.lo || v > r.hi) return exValue;
    set_[a - cSetRegs] = v;
    return exNone;
  }
  if (remoteWords_ && In(a, cRemoteRegs, remoteWords_)) {
    remote_[a - cRemoteRegs] = v;
    return exNone;
  }
  const bool mine = In(a, cEventRegs, hasEvents_ ? tVexEvn::cWords : 0) ||
                    (hasRing_ && (In(a, cRingRegs, 19) || In(a, cExoRegs, 6) || In(a, cTunRegs, 13))) ||
                    (hasAnalog_ && In(a, cValRegs, 35));
  return mine ? exAddress : kPass;
}

void Annunciator::BeforeRead(Space s, uint32_t first, uint32_t count) {
  LiveBase::BeforeRead(s, first, count);
  if (s != Space::Holding || !hasRing_ || !Meets(first, count, cRingRegs, 19)) return;
  // A read of the whole entry area takes the samples out of the ring; a partial read only
  // looks at them.
  ringView_.assign(ring_.begin(),
                   ring_.begin() + static_cast<std::ptrdiff_t>(std::min(ring_.size(), cRingSize)));
  if (first <= cRingRegs + 3 && first + count >= cRingRegs + 19) ring_.clear();
}

void Annunciator::AfterWrite(Space s, uint32_t first, uint32_t count) {
  LiveBase::AfterWrite(s, first, count);
  if (s == Space::Holding && remoteWords_ && Meets(first, count, cRemoteRegs, remoteWords_)) RemoteRecord();
}

void Annunciator::Force(uint64_t states, uint64_t valid) {
  const int64_t now = Now();
  if (!engine_.VirtualMode()) engine_.SetVirtualMode(true, now);
  uint64_t keep = 0;
  for (int n = 1; n <= m_.inputs; ++n)
    if (engine_.Virtual(n)) keep |= uint64_t{1} << (n - 1);
  engine_.SetVirtuals((states & valid) | (keep & ~valid), now);
}

// The remote input record carries state words and activation words, each half with its
// own check word; a half whose check fails is ignored.
void Annunciator::RemoteRecord() {
  const auto& r = remote_;
  const int64_t now = Now();
  if (remoteWords_ == 4) {  // 8/16-input models: state and copy, activation and copy
    if (r[0] == r[1]) Force(r[0], 0xFFFF);
    if (r[2] == r[3] && r[2]) engine_.Activate(r[2], now);
    return;
  }
  auto chk = [](uint16_t a, uint16_t b, uint16_t c) { return static_cast<uint16_t>(~(a ^ b ^ c)); };
  uint64_t rem = r[0] | static_cast<uint64_t>(r[2]) << 16;
  uint64_t akt = r[1] | static_cast<uint64_t>(r[3]) << 16;
  const bool remOk = r[4] == chk(r[0], r[2], remoteWords_ == 8 ? r[6] : 0);
  const bool aktOk = r[5] == chk(r[1], r[3], remoteWords_ == 8 ? r[7] : 0);
  if (remoteWords_ == 8) {
    // The third group (inputs 33-36) follows the check words; a master may also put it in
    // the check words' place and the check after it. The check relation is the same both
    // ways round, so the word carrying only the four input bits is the group.
    auto third = [](uint16_t a, uint16_t b) {
      return static_cast<uint64_t>((!(a & 0xFFF0) || (b & 0xFFF0)) ? a : b) & 0xF;
    };
    rem |= third(r[6], r[4]) << 32;
    akt |= third(r[7], r[5]) << 32;
  }
  if (remOk) Force(rem, ~uint64_t{0});
  if (aktOk && akt) engine_.Activate(akt, now);
}

int Annunciator::OnKey(uint16_t code) {
  const int64_t now = Now();
  if (code >= 1 && code <= m_.inputs) {
    engine_.Window(code, now);
    return exNone;
  }
  const bool firstGen = m_.model == Model::Vex215;
  const uint16_t base = firstGen ? 0x11 : 0x81;
  const uint16_t step = firstGen ? 0x11 : 1;
  if (code < base || (code - base) % step != 0 || (code - base) / step > 4) return exValue;
  static constexpr IsaKey kKeys[5] = {IsaKey::Reset, IsaKey::Horn, IsaKey::Test, IsaKey::Ack, IsaKey::TestUp};
  engine_.Key(kKeys[(code - base) / step], now);
  return exNone;
}

namespace {

// Names of the words of the analog values after the 16 raw channels, of the tuning block and
// of the oscillator registers, as the control commands take them.
const char* const kValNames[19] = {"NtcRaw1", "NtcRaw2", "NtcRaw3", "NtcRaw4", "RefSet", "RefAdc", "RefVal",
                                   "LthAdc",  "LthVal",  "CurSet",  "CurVal",  "DvsCur", "PwmVal", "CecAdc",
                                   "CecVal",  "CtrVal",  "PwrVal",  "SupAdc",  "SupVal"};
const char* const kTunNames[13] = {"EepSiz", "OscTun", "TimDif", "TimLap", "TimVar", "OscNxt", "OscNx1",
                                   "OscNx2", "OscNx3", "TimMnr", "OscErr", "OscOfs", "TimMea"};
const char* const kExoNames[6] = {"OscCon1", "OscCon2", "OscCon3", "OscStat", "OscEnb", "OscFrq"};

template <size_t N>
int NameIndex(const char* const (&names)[N], const std::string& s) {
  for (size_t i = 0; i < N; ++i)
    if (s == names[i]) return static_cast<int>(i);
  return -1;
}

// "NAME VALUE" or "NAME auto": the value (-1 for auto); a signed value is taken as its 16 bits.
bool ValueArg(const std::string& rest, std::string& name, int& value) {
  const size_t sp = rest.find(' ');
  if (sp == std::string::npos) return false;
  name = rest.substr(0, sp);
  const std::string v = rest.substr(sp + 1);
  if (v == "auto") {
    value = -1;
    return true;
  }
  int64_t x = 0;
  if (!TryStrToInt(v, x) || x < -32768 || x > 65535) return false;
  value = static_cast<int>(static_cast<uint16_t>(x));
  return true;
}

void SetOrClear(std::map<uint16_t, uint16_t>& m, uint16_t k, int value) {
  if (value < 0)
    m.erase(k);
  else
    m[k] = static_cast<uint16_t>(value);
}

}  // namespace

bool Annunciator::Control(const std::string& cmd, const std::string& rest, std::string& reply) {
  if (cmd == "output3") {
    if (rest != "on" && rest != "off") {
      reply = "error: output3 on|off";
    } else {
      faultOut_ = rest == "on";
      reply = "ok";
    }
    return true;
  }
  if (cmd == "dx") {
    if (rest != "on" && rest != "off") {
      reply = "error: dx on|off";
    } else {
      engine_.SetVirtualMode(rest == "on", Now());
      reply = "ok";
    }
    return true;
  }
  const bool raw = cmd == "raw", fe = cmd == "frontend", osc = cmd == "osc";
  if (!raw && !fe && !osc) return false;
  if ((raw || fe) && !hasAnalog_) {
    reply = "error: this model has no analog front end";
    return true;
  }
  if (osc && !hasRing_) {
    reply = "error: this model has no oscillator block";
    return true;
  }
  std::string name;
  int value = 0;
  if (!ValueArg(rest, name, value)) {
    reply = "error: " + cmd + " NAME VALUE|auto";
    return true;
  }
  reply = "ok";
  if (raw) {
    int64_t n = 0;
    if (name == "all") {
      for (uint16_t k = 0; k < 16; ++k) SetOrClear(valSet_, k, value);
    } else if (TryStrToInt(name, n) && n >= 1 && n <= 16) {
      SetOrClear(valSet_, static_cast<uint16_t>(n - 1), value);
    } else {
      reply = "error: channel out of range [1..16]: " + name;
    }
  } else if (fe) {
    const int i = NameIndex(kValNames, name);
    if (i < 0)
      reply = "error: unknown value " + name;
    else
      SetOrClear(valSet_, static_cast<uint16_t>(16 + i), value);
  } else if (const int t = NameIndex(kTunNames, name); t >= 0) {
    SetOrClear(tunSet_, static_cast<uint16_t>(t), value);
  } else if (const int x = NameIndex(kExoNames, name); x >= 0) {
    SetOrClear(exoSet_, static_cast<uint16_t>(x), value);
  } else {
    reply = "error: unknown oscillator value " + name;
  }
  return true;
}

void Annunciator::OnEraseEvents() {
  ring_.clear();
  LiveBase::OnEraseEvents();
}

}  // namespace vex::emu
