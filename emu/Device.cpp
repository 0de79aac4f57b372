// The simulated device: identification registers, command register, configuration with its
// stored copy, clock, bootloader, and the dispatch of every address to its owner.
#include "emu/Device.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace vex::emu {

int64_t MonoMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

namespace {

constexpr uint16_t kSeqBase = 128;
constexpr uint16_t kPage = 0xF0;  // page register: block number of a bootloader block write
constexpr int64_t kDayMs = 86400000;

uint16_t GroupMask(int inputs, int g) {
  const int n = std::clamp(inputs - 16 * g, 0, 16);
  return static_cast<uint16_t>(n >= 16 ? 0xFFFF : (1u << n) - 1);
}

// A plain factory sequence: alarm and momentary red flashing at 1 Hz with horn and buzzer,
// acknowledged red flashing at 1/2 Hz, ringback green flashing at 1 Hz with bell.
std::vector<uint16_t> DefaultSequence(const ModelInfo& m) {
  std::vector<uint16_t> w(m.seqBytes / 2, 0);
  if (m.seqBytes == 64 || m.seqBytes == 66) {
    const uint16_t k = GroupMask(m.inputs, 0);
    // Alm Red,Grn,Sld,Bln,Buz,Ro1,Ro2 | Ack .. | Rng .. | Mom .. | AckSil, RnbRes | bytes
    w[0] = k, w[3] = k, w[4] = k, w[5] = k;
    w[7] = k, w[9] = k;
    w[15] = k, w[17] = k, w[20] = k;
    w[21] = k, w[24] = k, w[25] = k, w[26] = k;
    return w;
  }
  if (m.seqBytes == 0) return w;
  const int groups = m.seqBytes == 210 ? 3 : 2;
  for (int g = 0; g < groups; ++g) {
    const uint16_t k = GroupMask(m.inputs, g);
    const int b = 34 * g;
    // Alm Red,Grn,Blu,Sld,Bln,Buz,Ro1,Ro2 | Mom .. | Ack .., AckSil | Rng .., RnbRes
    w[b + 0] = k, w[b + 4] = k, w[b + 5] = k, w[b + 6] = k;
    w[b + 8] = k, w[b + 12] = k, w[b + 13] = k, w[b + 14] = k;
    w[b + 16] = k, w[b + 19] = k;
    w[b + 26] = k, w[b + 29] = k, w[b + 32] = k;
  }
  // the 24-input records that carry them: dimmer (timer 120 s, brightness 7, level 8) and the
  // input delay groups (5 ms detection, 20 ms clearance), values the configurator accepts
  if (m.seqBytes >= 148 && m.seqBytes < 210) {
    w[72] = 120 << 8;
    w[73] = 7 | 8 << 8;
  }
  if (m.seqBytes == 160) w[75] = 5, w[76] = 20, w[78] = 5, w[79] = 20;
  return w;
}

int64_t WallMsSince2000() {
  return static_cast<int64_t>(std::floor((NowLocal() - cBase2000) * static_cast<double>(kDayMs)));
}

}  // namespace

Device::Device(const ModelInfo& info)
    : info_(info), inputs_(static_cast<size_t>(std::max(info.inputs, 0)) + 1, false), appId_(info.appId) {
  // The factory application's checksum is a fixed value derived from its identity.
  const std::string idn = info_.key + ":" + std::to_string(info_.appId);
  appCrc_ = CrcofStr(idn);
  uniqueId_ = 1;
  mfgDate_ = info_.model == Model::Vex215 ? 0 : 0x2E0A3C00;  // a fixed production date
  stored_[14] = 1;
  FactoryConfig();
  now_ = MonoMs();
  clockRef_ = now_;
  clockBase_ = WallMsSince2000();
  LoadStored();
}

// The factory configuration of the current layout; the slave address (14) is kept.
void Device::FactoryConfig() {
  const uint16_t slave = stored_.count(14) ? stored_[14] : 1;
  stored_.clear();
  stored_[14] = slave;
  for (uint16_t i = 0; i < info_.cfgCount; ++i) {
    const uint16_t a = static_cast<uint16_t>(info_.cfgFirst + i);
    uint16_t v = 0;
    if (info_.cfgFirst == 16 && info_.cfgCount == 4) {
      v = i == 0 ? GroupMask(info_.inputs, 0) : i == 1 ? 0 : 20;  // HrnSel, BelSel, SetTmo, ClrTmo
    } else if (i < 2) {
      v = 20;  // SetTmo, ClrTmo
    } else {
      v = 1000;  // PulTim, PulTi1..PulTi3
    }
    stored_[a] = v;
  }
  seqStored_ = DefaultSequence(info_);
}

// An application of another edition has just been flashed: its registers are laid out as
// that edition's, with the panel behaviour that goes with it. The stored configuration
// stays where the layout is the same, else the new firmware starts from its factory one.
bool Device::NewEdition(uint16_t ver) {
  const int sof = ver >> 8;
  if (info_.model == Model::Vex215 || sof == info_.AppSof()) return false;  // one layout only
  const ModelInfo m = ModelFor(info_.key, info_.bootId >> 8, sof);
  const bool same =
      m.seqBytes == info_.seqBytes && m.cfgFirst == info_.cfgFirst && m.cfgCount == info_.cfgCount;
  const bool sameRegs = m.cfgFirst == info_.cfgFirst && m.cfgCount == info_.cfgCount;
  info_ = m;
  if (!same) {
    // registers 16.. laid out as before keep their stored values; the sequence record is the
    // new firmware's factory one
    const auto kept = stored_;
    FactoryConfig();
    if (sameRegs) stored_ = kept;
  }
  return true;
}

Device::~Device() = default;

void Device::AttachLive(std::unique_ptr<LivePart> live) {
  live_ = std::move(live);
  if (live_) {
    live_->Attach(*this);
    live_->OnConfig();
  }
}

void Device::Own(Space s, uint32_t first, uint32_t count, RangeOwner* owner) {
  ranges_.push_back(Range{s, first, count, owner});
}

RangeOwner* Device::OwnerOf(Space s, uint32_t a) const {
  for (const Range& r : ranges_)
    if (r.space == s && a >= r.first && a - r.first < r.count) return r.owner;
  return nullptr;
}

bool Device::Input(int n) const { return n >= 1 && n < static_cast<int>(inputs_.size()) && inputs_[n]; }

bool Device::Control(const std::string& cmd, const std::string& rest, std::string& reply) {
  if (ModelControl(cmd, rest, reply)) return true;
  return live_ && live_->Control(cmd, rest, reply);
}

void Device::SetInput(int n, bool on) {
  if (n < 1 || n >= static_cast<int>(inputs_.size()))
    throw Exception("Input out of range [1.." + std::to_string(info_.inputs) + "]: " + std::to_string(n));
  if (inputs_[n] == on) return;
  inputs_[n] = on;
  if (live_ && bootState_ == 0) live_->OnInput(n, on);
}

uint16_t Device::Cfg(uint16_t reg) const {
  if (reg >= kSeqBase && reg < kSeqBase + seq_.size()) return seq_[reg - kSeqBase];
  auto it = work_.find(reg);
  return it == work_.end() ? 0 : it->second;
}

uint16_t Device::StoredCfg(uint16_t reg) const {
  if (reg >= kSeqBase && reg < kSeqBase + seqStored_.size()) return seqStored_[reg - kSeqBase];
  auto it = stored_.find(reg);
  return it == stored_.end() ? 0 : it->second;
}

DevTime Device::Clock() const {
  int64_t ms = clockBase_ + (MonoMs() - clockRef_);
  if (ms < 0) ms = 0;
  return DevTime{static_cast<uint32_t>(ms % kDayMs), static_cast<uint16_t>(ms / kDayMs)};
}

void Device::SetClock(DevTime t) {
  clockRef_ = MonoMs();
  clockBase_ = static_cast<int64_t>(t.dat) * kDayMs + t.tim % kDayMs;
}

void Device::SetIdentity(uint16_t uniqueId, uint32_t mfgDate, uint8_t slaveId) {
  uniqueId_ = uniqueId;
  mfgDate_ = mfgDate;
  if (slaveId != 0) stored_[14] = work_[14] = slaveId;
}

bool Device::AnswersNode(uint8_t node) const { return node == 0xEE || node == Cfg(14); }

uint16_t Device::AppId() const {
  if (bootState_ == 0) return appId_;
  return appValid_ ? appId_ : 0;
}

void Device::LoadStored() {
  work_ = stored_;
  seq_ = seqStored_;
  cfgState_ = cTstGod;
}

bool Device::IsCfgReg(uint16_t a) const {
  if (a == 14) return true;
  if (info_.cfgCount && a >= info_.cfgFirst && a < info_.cfgFirst + info_.cfgCount) return true;
  return a >= kSeqBase && a < kSeqBase + seq_.size();
}

void Device::Edited() {
  cfgState_ = cTstCfg;
  cfgTouched_ = true;
}

// ---- time ----

void Device::Tick(int64_t nowMs) {
  now_ = nowMs;
  if (bootUntil_ != 0 && nowMs >= bootUntil_) {
    bootUntil_ = 0;
    if (bootState_ == -1 && appValid_) StartApplication();
  }
  if (bootState_ == 0) {
    ModelTick(nowMs);
    if (live_) live_->Tick(nowMs);
  }
}

void Device::Restart() {
  // The device resets into its bootloader, which starts the application after its boot
  // window when the application is sound.
  bootState_ = appValid_ ? -1 : -2;
  bootUntil_ = appValid_ ? MonoMs() + bootWaitMs_ : 0;
  if (appValid_ && bootWaitMs_ <= 0) StartApplication();
}

void Device::StartApplication() {
  bootState_ = 0;
  bootUntil_ = 0;
  lastCmd_ = 0;
  cfgOpen_ = false;
  LoadStored();
  ModelRestart();
  if (live_) {
    live_->OnRestart();
    live_->OnConfig();
  }
}

// ---- register 15 ----

int Device::Command(uint16_t v) {
  const uint16_t prev = lastCmd_;
  lastCmd_ = v;
  // 0 then $1234 opens the configuration registers; any other command word closes them
  cfgOpen_ = v == 0x1234 && prev == 0;
  if (bootState_ != 0) return BootCommand(v, prev);
  const bool enabled = prev == 0x1234;
  switch (v) {
    case 0:
    case 0x1234:
      return exNone;
    case 0x8888:  // store the working configuration
      if (!enabled) return exNone;
      stored_ = work_;
      seqStored_ = seq_;
      cfgState_ = cTstSav;
      return exNone;
    case 0x9999:  // restart
      if (enabled) Restart();
      return exNone;
    case 0xF417:  // erase events
      if (enabled && live_) live_->OnEraseEvents();
      return exNone;
    default:
      break;
  }
  const bool firstGen = info_.model == Model::Vex215;
  const bool key = firstGen ? (v >= 0x11 && v <= 0x55 && v % 0x11 == 0) : (v >= 0x81 && v <= 0x85);
  const bool window = v >= 1 && v <= info_.inputs;
  if ((key || window) && live_) return live_->OnKey(v);
  return exNone;  // an unknown word changes nothing
}

// ---- bootloader ----

int Device::BootCommand(uint16_t v, uint16_t prev) {
  switch (v) {
    case 0xFFF2:  // programming entry
      bootState_ = -5;
      bootUntil_ = 0;
      appValid_ = false;
      flash_.assign(0, 0);
      blockSeen_.clear();
      return exNone;
    case 0xFFF3:  // boot test
      BootTest();
      return exNone;
    case 0x9999:
      if (prev == 0x1234) Restart();
      return exNone;
    default:
      return exNone;
  }
}

int Device::BootBlock(uint16_t first, uint16_t count, const uint16_t* in) {
  if (bootState_ != -5) return exFailure;
  const int words = info_.segSize / 2;
  if (count != words + 1 || first + count - 1 != kPage) return exValue;
  const size_t block = in[count - 1];
  const size_t off = block * static_cast<size_t>(info_.segSize);
  if (off + info_.segSize > kFlashBytes) {
    bootState_ = -4;  // segment range failure
    return exValue;
  }
  if (flash_.size() < off + info_.segSize) flash_.resize(off + info_.segSize, 0xFF);
  if (blockSeen_.size() <= block) blockSeen_.resize(block + 1, false);
  for (int i = 0; i < words; ++i) {
    flash_[off + 2 * i] = static_cast<uint8_t>(in[i] >> 8);
    flash_[off + 2 * i + 1] = static_cast<uint8_t>(in[i] & 0xFF);
  }
  blockSeen_[block] = true;
  return exNone;
}

void Device::BootTest() {
  // The image starts with its header: Crl, Crh, Top, Ver as little-endian words. The CRC
  // covers the whole segment-rounded image after the two CRC words.
  auto word = [&](size_t i) { return static_cast<uint16_t>(flash_[2 * i] | flash_[2 * i + 1] << 8); };
  bool ok = flash_.size() >= 8;
  if (ok) {
    const uint16_t crl = word(0), crh = word(1), top = word(2);
    const size_t size = static_cast<size_t>(top) * info_.segSize;
    ok = top > 0 && size >= 8 && size <= flash_.size() && (crl >> 8) == 0 && (crh >> 8) == 0;
    for (size_t b = 0; ok && b < top; ++b) ok = b < blockSeen_.size() && blockSeen_[b];
    if (ok) {
      const uint16_t crc = CrcofBin(flash_.data() + 4, size - 4, 0xFFFF);
      ok = crc == static_cast<uint16_t>(crh << 8 | crl);
      if (ok) {
        appId_ = word(3);
        appCrc_ = crc;
      }
    }
  }
  appValid_ = ok;
  if (ok) {
    const bool relaid = NewEdition(appId_);
    if (relaid) {
      ranges_.clear();
      live_.reset();
    }
    StartApplication();
    if (relaid) AttachLive(MakeLivePart(*this));
  } else {
    bootState_ = -2;
    bootUntil_ = 0;
  }
}

// ---- register access ----

int Device::FrameworkRead(uint16_t a, uint16_t& v) {
  switch (a) {
    case 0:
    case 2:
      v = info_.bootId;
      return exNone;
    case 1:
      v = AppId();
      return exNone;
    case 3:
      v = appCrc_;
      return exNone;
    case 11:
      v = static_cast<uint16_t>(mfgDate_ & 0xFFFF);
      return exNone;
    case 12:
      v = static_cast<uint16_t>(mfgDate_ >> 16);
      return exNone;
    case 13:
      v = uniqueId_;
      return exNone;
    case 14:
      v = Cfg(14);
      return exNone;
    case 15:
      v = static_cast<uint16_t>(bootState_);
      return exNone;
    default:
      break;
  }
  if (a < 16) {
    v = 0;
    return exNone;
  }
  if (bootState_ != 0) return exAddress;
  if (IsCfgReg(a)) {
    v = Cfg(a);
    return exNone;
  }
  if (info_.stateReg && a == info_.stateReg) {
    v = cfgState_;
    return exNone;
  }
  if (info_.hasTimeRecord && a >= 48 && a <= 50) {
    const DevTime t = Clock();
    v = a == 48   ? static_cast<uint16_t>(t.tim & 0xFFFF)
        : a == 49 ? static_cast<uint16_t>(t.tim >> 16)
                  : t.dat;
    return exNone;
  }
  return exAddress;
}

int Device::FrameworkWrite(uint16_t a, uint16_t v) {
  if (a == 15) return Command(v);
  if (bootState_ != 0) return exAddress;
  if (a >= 11 && a <= 13) {
    // factory registers: only after the enable word
    if (lastCmd_ != 0x1234) return exFailure;
    if (a == 11) mfgDate_ = (mfgDate_ & 0xFFFF0000u) | v;
    if (a == 12) mfgDate_ = (mfgDate_ & 0xFFFFu) | static_cast<uint32_t>(v) << 16;
    if (a == 13) {
      if (v < 1 || v > 65530) return exValue;
      uniqueId_ = v;
    }
    return exNone;
  }
  if (a == 14 && (v < 1 || v > 247)) return exValue;
  if (IsCfgReg(a)) {
    if (a >= kSeqBase)
      seq_[a - kSeqBase] = v;
    else
      work_[a] = v;
    Edited();
    return exNone;
  }
  if (info_.hasTimeRecord && a >= 48 && a <= 50) {
    timPending_[a - 48] = v;
    return exNone;
  }
  return exAddress;
}

int Device::ModelRead(Space, uint16_t, uint16_t&) { return kPass; }
int Device::ModelWrite(Space, uint16_t, uint16_t) { return kPass; }
int Device::ModelReadFile(uint8_t, uint32_t, uint8_t, ByteStr&) { return exAddress; }
int Device::ModelWriteFile(uint8_t, uint32_t, const ByteStr&) { return exAddress; }

int Device::ReadOne(Space s, uint16_t a, uint16_t& v) {
  if (bootState_ == 0) {
    if (RangeOwner* o = OwnerOf(s, a)) {
      const int r = o->Read(s, a, v);
      if (r != kPass) return r;
    }
    const int r = ModelRead(s, a, v);
    if (r != kPass) return r;
  }
  if (s == Space::Holding || s == Space::Input) return FrameworkRead(a, v);
  return exAddress;
}

int Device::WriteOne(Space s, uint16_t a, uint16_t v) {
  if (bootState_ == 0 && a != 15) {
    if (RangeOwner* o = OwnerOf(s, a)) {
      const int r = o->Write(s, a, v);
      if (r != kPass) return r;
    }
    const int r = ModelWrite(s, a, v);
    if (r != kPass) return r;
  }
  if (s == Space::Holding) return FrameworkWrite(a, v);
  return exAddress;
}

namespace {
// Owners whose range meets [first, first+count).
std::vector<RangeOwner*> OwnersIn(const std::vector<Device::Range>& ranges, Space s, uint32_t first,
                                  uint32_t count) {
  std::vector<RangeOwner*> v;
  for (const auto& r : ranges)
    if (r.space == s && first < r.first + r.count && r.first < first + count &&
        std::find(v.begin(), v.end(), r.owner) == v.end())
      v.push_back(r.owner);
  return v;
}
}  // namespace

int Device::ReadRegs(Space s, uint16_t first, uint16_t count, uint16_t* out) {
  if (count == 0 || first + count > 0x10000) return exAddress;
  if (bootState_ == 0)
    for (RangeOwner* o : OwnersIn(ranges_, s, first, count)) o->BeforeRead(s, first, count);
  for (uint16_t i = 0; i < count; ++i) {
    const int r = ReadOne(s, static_cast<uint16_t>(first + i), out[i]);
    if (r != exNone) return r;
  }
  return exNone;
}

int Device::WriteRegs(Space s, uint16_t first, uint16_t count, const uint16_t* in) {
  if (count == 0 || first + count > 0x10000) return exAddress;
  if (s == Space::Holding && bootState_ != 0 && first + count - 1 == kPage && count > 1)
    return BootBlock(first, count, in);
  const bool clock =
      s == Space::Holding && bootState_ == 0 && info_.hasTimeRecord && first <= 50 && first + count > 48;
  if (clock) {
    const DevTime t = Clock();
    timPending_[0] = static_cast<uint16_t>(t.tim & 0xFFFF);
    timPending_[1] = static_cast<uint16_t>(t.tim >> 16);
    timPending_[2] = t.dat;
  }
  if (s == Space::Holding && bootState_ == 0 && strictUnlock_ && !cfgOpen_)
    for (uint32_t a = first; a < static_cast<uint32_t>(first) + count; ++a)
      if (IsCfgReg(static_cast<uint16_t>(a))) return exFailure;  // configuration locked
  cfgTouched_ = false;
  // A refused write leaves the device's own registers as they were (live parts keep what
  // they took).
  const auto work = work_;
  const auto seq = seq_;
  const uint16_t state = cfgState_, unique = uniqueId_;
  const uint32_t mfg = mfgDate_;
  int result = exNone;
  for (uint16_t i = 0; i < count && result == exNone; ++i)
    result = WriteOne(s, static_cast<uint16_t>(first + i), in[i]);
  if (result != exNone && bootState_ == 0) {
    work_ = work, seq_ = seq, cfgState_ = state, uniqueId_ = unique, mfgDate_ = mfg;
    cfgTouched_ = false;
  }
  if (bootState_ == 0) {
    if (clock && result == exNone) {
      const uint32_t tim = timPending_[0] | static_cast<uint32_t>(timPending_[1]) << 16;
      if (tim < kDayMs) SetClock(DevTime{tim, timPending_[2]});
    }
    for (RangeOwner* o : OwnersIn(ranges_, s, first, count)) o->AfterWrite(s, first, count);
    if (s == Space::Holding) ModelAfterWrite(first, count);
    if (cfgTouched_ && live_) live_->OnConfig();
  }
  return result;
}

int Device::ReadBits(Space s, uint16_t first, uint16_t count, std::vector<bool>& out) {
  out.assign(count, false);
  if (count == 0 || first + count > 0x10000) return exAddress;
  if (bootState_ != 0) return exAddress;
  for (RangeOwner* o : OwnersIn(ranges_, s, first, count)) o->BeforeRead(s, first, count);
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t v = 0;
    const int r = ReadOne(s, static_cast<uint16_t>(first + i), v);
    if (r != exNone) return r;
    out[i] = v != 0;
  }
  return exNone;
}

int Device::WriteBits(Space s, uint16_t first, const std::vector<bool>& in) {
  const auto count = static_cast<uint32_t>(in.size());
  if (count == 0 || first + count > 0x10000) return exAddress;
  if (bootState_ != 0) return exAddress;
  for (uint32_t i = 0; i < count; ++i) {
    const int r = WriteOne(s, static_cast<uint16_t>(first + i), in[i] ? 1 : 0);
    if (r != exNone) return r;
  }
  for (RangeOwner* o : OwnersIn(ranges_, s, first, count)) o->AfterWrite(s, first, count);
  return exNone;
}

int Device::ReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out) {
  if (bootState_ != 0) return exAddress;
  if (RangeOwner* o = OwnerOf(Space::File, file)) return o->ReadFile(file, addr, count, out);
  return ModelReadFile(file, addr, count, out);
}

int Device::WriteFile(uint8_t file, uint32_t addr, const ByteStr& data) {
  if (bootState_ != 0) return exAddress;
  if (RangeOwner* o = OwnerOf(Space::File, file)) return o->WriteFile(file, addr, data);
  return ModelWriteFile(file, addr, data);
}

}  // namespace vex::emu
