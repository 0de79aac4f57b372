// The rack RTU's registers and file system.
#include "emu/Rtu.h"

#include <algorithm>
#include <cstring>

namespace vex::emu {

namespace {

constexpr uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  return a | b << 8 | c << 16 | d << 24;
}
uint16_t Lo(uint32_t v) { return static_cast<uint16_t>(v & 0xFFFF); }
uint16_t Hi(uint32_t v) { return static_cast<uint16_t>(v >> 16); }
uint32_t Le32(const ByteStr& s, size_t i) {
  return static_cast<uint8_t>(s[i]) | static_cast<uint8_t>(s[i + 1]) << 8 |
         static_cast<uint8_t>(s[i + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(s[i + 3])) << 24;
}
uint16_t Le16(const ByteStr& s, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[i]) | static_cast<uint8_t>(s[i + 1]) << 8);
}

// Network block (256): IpnAdr, GatWay, MskAdr, PriDns, SecDns, MacAd0..2.
const uint32_t kNet[5] = {Ip(192, 168, 1, 100), Ip(192, 168, 1, 1), Ip(255, 255, 255, 0), Ip(192, 168, 1, 1),
                          Ip(8, 8, 8, 8)};
const uint16_t kMac[3] = {0x0400, 0x12A3, 0x5634};  // 00:04:A3:12:34:56

bool IsB(uint8_t fn) { return fn >= 0xB1 && fn <= 0xBF; }
bool IsF(uint8_t fn) { return fn >= 0xF1; }

}  // namespace

uint32_t CalcFile(const uint8_t* p, size_t n) {
  uint32_t sum = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; i += 4) {
    uint32_t w = 0;
    for (size_t k = 0; k < 4 && i + k < n; ++k) w |= static_cast<uint32_t>(p[i + k]) << (8 * k);
    sum -= w;
  }
  return sum;
}

Rtu3Device::Rtu3Device(const ModelInfo& info) : Device(info) {}

const Rtu3Device::File* Rtu3Device::FileAt(uint8_t fn) const {
  auto it = files_.find(fn);
  return it == files_.end() ? nullptr : &it->second;
}

// Header fields when the file starts with a sound 64-byte header, else checksum of all.
void Rtu3Device::Describe(File& f) const {
  const ByteStr& d = f.data;
  const bool hed = d.size() >= 64 && Le16(d, 54) == 64 && CrcofBin(d.data(), 62, 0xFFFF) == Le16(d, 62);
  if (!hed) {
    f.ver = 0;
    f.cal = f.sum = CalcFile(reinterpret_cast<const uint8_t*>(d.data()), d.size());
    f.sta = 0;
    return;
  }
  f.age = Le32(d, 40);
  f.sum = Le32(d, 48);
  f.ver = Le16(d, 52);
  const uint32_t siz = Le32(d, 44);
  if (siz < 8 || d.size() != 64 + static_cast<size_t>(siz)) {
    f.cal = 0;
    f.sta = 77;  // file termination
    return;
  }
  const size_t len = siz - 8;
  f.cal = CalcFile(reinterpret_cast<const uint8_t*>(d.data()) + 64, len);
  const uint32_t tLen = Le32(d, 64 + len), tSum = Le32(d, 64 + len + 4);
  if (tLen != len || tSum != f.cal || f.sum != f.cal)
    f.sta = 73;  // file checksum
  else
    f.sta = 0;
}

void Rtu3Device::Finish(uint8_t fn, File& f) {
  f.doneAt = 0;
  f.ban = 0;
  if (!f.uploading) return;  // an erase just ends
  f.uploading = false;
  Describe(f);
  if (f.sta == 0 && IsB(fn)) {
    File& g = files_[static_cast<uint8_t>(fn + 0x40)];
    g = f;
    g.ban = 0;
  }
}

void Rtu3Device::Erase(std::initializer_list<uint8_t> kinds) {
  const int64_t now = MonoMs();
  for (uint8_t k : kinds) {
    files_.erase(static_cast<uint8_t>(0xF0 + k));
    File& b = files_[static_cast<uint8_t>(0xB0 + k)];
    b = File{};
    b.ban = 1;
    b.doneAt = now + processMs_;
  }
}

void Rtu3Device::ModelTick(int64_t nowMs) {
  for (auto& [fn, f] : files_) {
    if (f.uploading && f.doneAt == 0 && nowMs - f.lastWrite >= idleMs_) f.doneAt = nowMs;
    if (f.doneAt != 0 && nowMs >= f.doneAt) Finish(fn, f);
  }
  for (int i = 0; i < 3; ++i)
    if (testUntil_[i] != 0 && nowMs >= testUntil_[i]) testUntil_[i] = 0, keys_[4 + i] = 0;
}

int Rtu3Device::StatusWord(uint8_t fn, int k, uint16_t& v) const {
  const File* f = FileAt(fn);
  const File e{};
  if (!f) f = &e;
  const uint32_t w[] = {kSpace, static_cast<uint32_t>(f->data.size()), f->age, f->sum};
  if (k < 8) {
    v = k % 2 ? Hi(w[k / 2]) : Lo(w[k / 2]);
  } else if (k == 8) {
    v = f->ver;
  } else if (k == 9) {
    v = f->sta;
  } else if (k < 12) {
    v = k == 10 ? Lo(f->ban) : Hi(f->ban);
  } else {
    v = k == 12 ? Lo(f->cal) : Hi(f->cal);
  }
  return exNone;
}

// Inspect-files slot f*256: Mdl, Siz, Crc, Sta, Rom, Cal.
int Rtu3Device::SlotWord(uint8_t fn, int k, uint16_t& v) const {
  const File* f = FileAt(fn);
  if (!f) {
    v = 0;
    return exNone;
  }
  switch (k) {
    case 0:
      v = f->ver;
      break;
    case 1:
      v = static_cast<uint16_t>(std::min<size_t>(f->data.size(), 0xFFFF));
      break;
    case 2:
      v = CrcofStr(f->data);
      break;
    case 3:
      v = f->sta;
      break;
    case 4:
      v = static_cast<uint16_t>((f->data.size() + 63) / 64);
      break;
    default:
      v = Lo(f->cal);
      break;
  }
  return exNone;
}

int Rtu3Device::ModelRead(Space s, uint16_t a, uint16_t& v) {
  if (s != Space::Holding && s != Space::Input) return kPass;
  if (a >= 256 && a < 269) {
    const int k = a - 256;
    v = k < 10 ? (k % 2 ? Hi(kNet[k / 2]) : Lo(kNet[k / 2])) : kMac[k - 10];
    return exNone;
  }
  if (a >= 512 && a < 528) {
    const DevTime t = Clock();
    const uint32_t sec = t.tim / 1000;
    const uint16_t w[16] = {Lo(t.tim), Hi(t.tim), t.dat, 0, Lo(sec), Hi(sec), t.dat, 0,
                            Lo(t.tim), Hi(t.tim), t.dat, 0, 0,       0,       0,     0};  // IRIG-B: best lock
    v = w[a - 512];
    return exNone;
  }
  if (a >= 0xD00 && a < 0xD0F) {
    v = a == 0xD0E ? 153 : 0;  // SysSta "running", no errors
    return exNone;
  }
  if (a == 0x310 || a == 0x311) {
    v = a == 0x310 ? filErs_ : evnErs_;
    return exNone;
  }
  if (a >= 0x220 && a <= 0x222) {
    v = setTime_[a - 0x220];
    return exNone;
  }
  if (a >= 786 && a <= 792) {
    v = keys_[a - 786];
    return exNone;
  }
  if (a >= 1024 && a < 1196) {
    const int off = a - 1024, n = off / 16, k = off % 16;
    if (k >= 12) return exAddress;
    if (n != 0) {
      v = 0;  // unused socket
      return exNone;
    }
    if (k == 0) ++transactions_;
    const uint32_t rem = Ip(192, 168, 1, 10);
    const uint16_t w[12] = {1,
                            101,
                            static_cast<uint16_t>(transactions_),
                            7,
                            Lo(rem),
                            Hi(rem),
                            50123,
                            0x0502,
                            Lo(transactions_),
                            Hi(transactions_),
                            0,
                            0};
    v = w[k];
    return exNone;
  }
  const uint8_t fn = static_cast<uint8_t>(a >> 4);
  if (a >= 0xB10 && a < 0x1000 && (IsB(fn) || IsF(fn)) && (a & 15) < 14) return StatusWord(fn, a & 15, v);
  if (a >= 0xF100 && a < 0xF700 && (a & 0xFF) < 6) return SlotWord(static_cast<uint8_t>(a >> 8), a & 0xFF, v);
  return kPass;
}

int Rtu3Device::ModelWrite(Space s, uint16_t a, uint16_t v) {
  if (s != Space::Holding) return kPass;
  if (a == 0x310) {
    switch (v) {
      case 0xEAF1:
        Erase({1}), filErs_ = 133;
        break;
      case 0xEAF2:
        Erase({2}), filErs_ = 134;
        break;
      case 0xEAF3:
        Erase({3}), filErs_ = 135;
        break;
      case 0xEAE0:
        Erase({1, 2, 3}), filErs_ = 132;
        break;
      case 0xEAEF:
        files_.clear(), Erase({1, 2, 3}), filErs_ = 131;
        break;
      case 0xEBB0:
        filErs_ = 136;
        break;
      default:
        return exValue;
    }
    return exNone;
  }
  if (a == 0x311) {
    switch (v) {
      case 0xC011:
        evnErs_ = 164;
        break;  // network restarted
      case 0xC022:
        evnErs_ = 151;
        break;  // safe mode request
      case 0xC033:
        evnErs_ = 156;
        break;  // initiating comms (pipes restarted)
      case 0xC10F:
        evnErs_ = 210;
        Restart();
        break;
      default:
        return exValue;
    }
    return exNone;
  }
  if (a >= 0x220 && a <= 0x222) {
    setTime_[a - 0x220] = v;
    return exNone;
  }
  if (a >= 786 && a <= 792) {
    keys_[a - 786] = v;
    if (a >= 790) testUntil_[a - 790] = v ? MonoMs() + v : 0;
    return exNone;
  }
  return kPass;
}

void Rtu3Device::ModelAfterWrite(uint16_t first, uint16_t count) {
  // The PC sets the clock with three registers: seconds of the day (low, high) and days.
  if (first <= 0x222 && first + count > 0x220) {
    const uint32_t sec = setTime_[0] | static_cast<uint32_t>(setTime_[1]) << 16;
    if (sec < 86400) SetClock(DevTime{sec * 1000, setTime_[2]});
  }
}

int Rtu3Device::ModelReadFile(uint8_t fn, uint32_t addr, uint8_t count, ByteStr& out) {
  if (!IsB(fn) && !IsF(fn)) return exAddress;
  const File* f = FileAt(fn);
  const size_t size = f ? f->data.size() : 0;
  if (addr > size || count > size - addr) return exAddress;
  out.append(f ? f->data.substr(addr, count) : ByteStr());
  return exNone;
}

int Rtu3Device::ModelWriteFile(uint8_t fn, uint32_t addr, const ByteStr& data) {
  if (!IsB(fn)) return exAddress;  // uploads go to the back slots only
  File& f = files_[fn];
  if (addr == 0) {
    f = File{};
    f.uploading = true;
    f.age = static_cast<uint32_t>(static_cast<int64_t>(Clock().dat) * 86400 + Clock().tim / 1000);
  }
  if (!f.uploading) {
    // A transfer that paused long enough for the device to take the file carries on where
    // the device's size says it stopped: the file is open again.
    if (addr == 0 || addr != f.data.size()) return exFailure;
    f.uploading = true;
    f.doneAt = 0;
  }
  if (addr > f.data.size() || addr + data.size() > kSpace) return exValue;
  if (f.data.size() < addr + data.size()) f.data.resize(addr + data.size());
  std::memcpy(f.data.data() + addr, data.data(), data.size());
  f.ban = 1;
  f.lastWrite = MonoMs();
  // A file with a header is complete as soon as its announced size has arrived.
  const ByteStr& d = f.data;
  if (d.size() >= 64 && Le16(d, 54) == 64 && CrcofBin(d.data(), 62, 0xFFFF) == Le16(d, 62) &&
      d.size() >= 64 + static_cast<size_t>(Le32(d, 44)))
    f.doneAt = f.lastWrite + processMs_;
  return exNone;
}

}  // namespace vex::emu
