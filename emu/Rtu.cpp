// The rack RTU's registers and file system.
#include "emu/Rtu.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <sstream>

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

// Network block (256): IpnAdr, GatWay, MskAdr, PriDns, SecDns, MacAd0..2. The device reports the
// address it can be reached at on this machine (the server tells it its listening address); no
// gateway or name servers. The MAC is a locally administered one.
const uint16_t kMac[3] = {0x0002, 0x12A3, 0x5634};  // 02:00:A3:12:34:56

// Error block names (0xD00 + index), as the monitor's record has them.
const char* const kErrNames[15] = {"RegIni", "RegErr", "RamErr", "NvrErr", "EepErr",
                                   "EepSta", "SfmErr", "SfmSta", "CfgErr", "RtcErr",
                                   "WdtErr", "WdtCnt", "PrnErr", "PrnSta", "SysSta"};

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// "a.b.c.d" as the device's 32-bit address (first number in the low byte).
bool ParseIp(const std::string& s, uint32_t& v) {
  unsigned a, b, c, d;
  char tail;
  if (std::sscanf(s.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 || c > 255 ||
      d > 255)
    return false;
  v = Ip(a, b, c, d);
  return true;
}

uint32_t Number(const std::string& key, const std::string& s, uint32_t max) {
  int64_t v = 0;
  if (!TryStrToInt(s, v) || v < 0 || v > static_cast<int64_t>(max))
    throw Exception(key + " out of range [0.." + std::to_string(max) + "]: " + s);
  return static_cast<uint32_t>(v);
}

// "key=value" words of a control command.
std::vector<std::pair<std::string, std::string>> Pairs(const std::string& rest) {
  std::vector<std::pair<std::string, std::string>> r;
  std::istringstream in(rest);
  for (std::string w; in >> w;) {
    const size_t eq = w.find('=');
    if (eq == std::string::npos || eq == 0) throw Exception("Expected key=value: " + w);
    r.emplace_back(Lower(w.substr(0, eq)), w.substr(eq + 1));
  }
  return r;
}

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

Rtu3Device::Rtu3Device(const ModelInfo& info)
    : Device(info), net_{Ip(127, 0, 0, 1), 0, Ip(255, 0, 0, 0), 0, 0} {
  err_[14] = 153;  // SysSta "running"
  Socket& s = sockets_[0];
  s.idf = 1, s.sta = 101, s.rem = 7, s.ip = Ip(127, 0, 0, 1), s.port = 50123, s.protocol = 0x0502;
  s.counting = true;
}

bool Rtu3Device::ModelControl(const std::string& cmd, const std::string& rest, std::string& reply) {
  if (cmd == "address") {
    uint32_t ip = 0;
    if (!ParseIp(rest, ip)) throw Exception("address A.B.C.D: " + rest);
    if (ip == 0) ip = Ip(127, 0, 0, 1);  // listening on every address: reachable on loopback
    net_[0] = ip;
    net_[2] = (ip & 0xFF) == 127 ? Ip(255, 0, 0, 0) : Ip(255, 255, 255, 0);
    reply = "ok";
    return true;
  }
  if (cmd == "errors") {
    if (rest == "clear") {
      for (int k = 0; k < 14; ++k) err_[k] = 0;
      reply = "ok";
      return true;
    }
    for (const auto& [k, v] : Pairs(rest)) {
      int at = -1;
      for (int i = 0; i < 15; ++i)
        if (Lower(kErrNames[i]) == k) at = i;
      if (at < 0) throw Exception("Unknown error word \"" + k + "\" (RegIni .. SysSta)");
      err_[at] = static_cast<uint16_t>(Number(k, v, 0xFFFF));
    }
    reply = "ok";
    return true;
  }
  if (cmd == "system") {
    err_[14] = static_cast<uint16_t>(Number("system", rest, 0xFFFF));
    reply = "ok";
    return true;
  }
  if (cmd == "irig") {
    irgQlt_ = static_cast<uint16_t>(Number("irig", rest, 0xFFFF));
    reply = "ok";
    return true;
  }
  if (cmd == "socket") {
    std::istringstream in(rest);
    std::string no;
    in >> no;
    const auto n = static_cast<int>(Number("socket", no, 11));
    if (n < 1) throw Exception("socket out of range [1..11]: " + no);
    std::string more;
    std::getline(in, more);
    Socket s = sockets_[n - 1];
    for (const auto& [k, v] : Pairs(more)) {
      if (k == "state")
        s.sta = static_cast<uint16_t>(Number(k, v, 0xFFFF));
      else if (k == "remote") {
        if (!ParseIp(v, s.ip)) throw Exception("remote=A.B.C.D: " + v);
      } else if (k == "trn")
        s.trn = static_cast<uint16_t>(Number(k, v, 0xFFFF)), s.counting = false;
      else if (k == "port")
        s.port = static_cast<uint16_t>(Number(k, v, 0xFFFF));
      else if (k == "ident")
        s.idf = static_cast<uint16_t>(Number(k, v, 0xFFFF));
      else if (k == "operator")
        s.rem = static_cast<uint16_t>(Number(k, v, 0xFFFF));
      else if (k == "protocol")
        s.protocol = static_cast<uint16_t>(Number(k, v, 0xFFFF));
      else if (k == "count")
        s.count = Number(k, v, 0xFFFFFFFF), s.counting = false;
      else if (k == "errors")
        s.errors = Number(k, v, 0xFFFFFFFF);
      else
        throw Exception("Unknown socket field \"" + k + "\"");
    }
    sockets_[n - 1] = s;
    reply = "ok";
    return true;
  }
  return false;
}

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
    v = k < 10 ? (k % 2 ? Hi(net_[k / 2]) : Lo(net_[k / 2])) : kMac[k - 10];
    return exNone;
  }
  if (a >= 512 && a < 528) {
    const DevTime t = Clock();
    const uint32_t sec = t.tim / 1000;
    const uint16_t w[16] = {Lo(t.tim), Hi(t.tim), t.dat, 0, Lo(sec), Hi(sec), t.dat, 0,
                            Lo(t.tim), Hi(t.tim), t.dat, 0, 0,       0,       0,     irgQlt_};
    v = w[a - 512];
    return exNone;
  }
  if (a >= 0xD00 && a < 0xD0F) {
    v = err_[a - 0xD00];
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
    Socket& so = sockets_[n];
    if (so.counting && k == 0) ++so.count, so.trn = static_cast<uint16_t>(so.count);
    const uint16_t w[12] = {so.idf,  so.sta,      so.trn,       so.rem,       Lo(so.ip),     Hi(so.ip),
                            so.port, so.protocol, Lo(so.count), Hi(so.count), Lo(so.errors), Hi(so.errors)};
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
