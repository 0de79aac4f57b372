#include "rtu/Rtu3type.h"

#define SI_NO_CONVERSION   // plain UTF-8 text
#define SI_IMPLEMENTATION  // header-only use
#include <SimpleIni.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vex {

namespace {

void Put16(ByteStr& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(ByteStr& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint32_t Long(const uint16_t* w) { return w[0] | static_cast<uint32_t>(w[1]) << 16; }

std::string SysMessage(int e) { return std::strerror(e); }

}  // namespace

ByteStr PackHed(const tRtu3hed& h, bool crc) {
  ByteStr s(cRtu3HedSize, '\0');
  s[0] = static_cast<char>(h.IdfLen);
  for (size_t i = 0; i < h.Idf.size() && i < 39; ++i) s[1 + i] = h.Idf[i];
  Put32(s, 40, h.Age);
  Put32(s, 44, h.Siz);
  Put32(s, 48, h.Sum);
  Put16(s, 52, h.Ver);
  Put16(s, 54, h.Hsz);
  Put16(s, 56, h.x1);
  Put16(s, 58, h.Vrc);
  Put16(s, 60, h.Vsz);
  Put16(s, 62, crc ? CrcofBin(s.data(), 62, 0xFFFF) : h.Crc);
  return s;
}

tRtu3hed UnpackHed(const uint8_t* p, size_t n) {
  uint8_t b[cRtu3HedSize] = {};
  std::memcpy(b, p, std::min(n, cRtu3HedSize));
  tRtu3hed h;
  h.IdfLen = b[0];
  const size_t len = std::min<size_t>(b[0], 39);
  h.Idf.assign(reinterpret_cast<const char*>(b + 1), len);
  h.Age = Get32(b + 40);
  h.Siz = Get32(b + 44);
  h.Sum = Get32(b + 48);
  h.Ver = Get16(b + 52);
  h.Hsz = Get16(b + 54);
  h.x1 = Get16(b + 56);
  h.Vrc = Get16(b + 58);
  h.Vsz = Get16(b + 60);
  h.Crc = Get16(b + 62);
  return h;
}

std::string IdfField(const std::string& text) { return text + std::string(1, '\0'); }

tRtu3file FileFromWords(const uint16_t* w) {
  tRtu3file f;
  f.Spc = Long(w);
  f.Siz = Long(w + 2);
  f.Age = Long(w + 4);
  f.Sum = Long(w + 6);
  f.Ver = w[8];
  f.Sta = w[9];
  f.Ban = Long(w + 10);
  f.Cal = Long(w + 12);
  return f;
}

std::array<std::string, 8> FileCells(const tRtu3file& f) {
  return {InttoModel(f.Ver),        std::to_string(f.Sta),    std::to_string(f.Siz), std::to_string(f.Spc),
          "$" + IntToHex(f.Sum, 8), "$" + IntToHex(f.Cal, 8), std::to_string(f.Ban), InttoBase(f.Age)};
}

uint32_t CalcFile(const uint8_t* p, size_t length) {
  uint32_t sum = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; i += 4) {
    uint32_t w = 0;
    for (size_t k = 0; k < 4 && i + k < length; ++k) w |= static_cast<uint32_t>(p[i + k]) << (8 * k);
    sum -= w;
  }
  return sum;
}

uint32_t AppendTrailer(ByteStr& payload) {
  payload.resize((payload.size() + 3) / 4 * 4, '\0');
  const uint32_t sum = CalcFile(reinterpret_cast<const uint8_t*>(payload.data()), payload.size());
  const size_t at = payload.size();
  payload.resize(at + 8, '\0');
  Put32(payload, at, static_cast<uint32_t>(at));
  Put32(payload, at + 4, sum);
  return sum;
}

tRtu3net NetFromWords(const uint16_t* w) {
  tRtu3net n;
  n.IpnAdr = Long(w);
  n.GatWay = Long(w + 2);
  n.MskAdr = Long(w + 4);
  n.PriDns = Long(w + 6);
  n.SecDns = Long(w + 8);
  n.MacAd0 = w[10];
  n.MacAd1 = w[11];
  n.MacAd2 = w[12];
  return n;
}

tRtu3tim TimFromWords(const uint16_t* w) {
  tRtu3tim t;
  t.TimBas = Long(w);
  t.TimDat = w[2];
  t.XX1 = w[3];
  t.RtcSec = Long(w + 4);
  t.RtcDat = w[6];
  t.RtcCyc = w[7];
  t.IrgBas = Long(w + 8);
  t.IrgDat = w[10];
  t.IrgDif = w[11];
  t.IrgMin = w[12];
  t.IrgMax = w[13];
  t.IrgSft = w[14];
  t.IrgQlt = w[15];
  return t;
}

tRtu3err ErrFromWords(const uint16_t* w) {
  tRtu3err e;
  uint16_t* f[] = {&e.RegIni, &e.RegErr, &e.RamErr, &e.NvrErr, &e.EepErr, &e.EepSta, &e.SfmErr, &e.SfmSta,
                   &e.CfgErr, &e.RtcErr, &e.WdtErr, &e.WdtCnt, &e.PrnErr, &e.PrnSta, &e.SysSta};
  for (int i = 0; i < cRtu3ErrN; ++i) *f[i] = w[i];
  return e;
}

tRtu3ers ErsFromWords(const uint16_t* w) { return tRtu3ers{w[0], w[1]}; }

tRtu3soc SocFromWords(const uint16_t* w) {
  tRtu3soc s;
  s.SocIdf = w[0];
  s.SocSta = w[1];
  s.TrnNum = w[2];
  s.RemIdf = w[3];
  s.RemIpn = Long(w + 4);
  s.RemPor = w[6];
  s.PtcNum = w[7];
  s.TrnCnt = Long(w + 8);
  s.TrnErr = Long(w + 10);
  return s;
}

std::string States(uint16_t code, const std::string& zero) {
  static const std::map<int, const char*> texts = {
      {1, "undeclared function code"},
      {2, "register not present"},
      {3, "count mismatch"},
      {4, "device failure"},
      {10, "registry mapping fail"},
      {11, "registry odd located"},
      {20, "sram test fail"},
      {21, "sram inefficiently (odd) located"},
      {30, "nvram test fail"},
      {31, "nvram inefficiently (odd)located"},
      {40, "eeprom busy timeout"},
      {41, "eeprom chip range"},
      {42, "eeprom identification fail"},
      {43, "eeprom inefficiently (odd)located"},
      {50, "flash busy timeout"},
      {51, "flash chip range"},
      {52, "flash identification fail"},
      {60, "config header"},
      {61, "config security"},
      {62, "config service"},
      {63, "config hardware"},
      {64, "config pipe"},
      {65, "config group"},
      {66, "config modul"},
      {67, "config node"},
      {68, "config brix"},
      {69, "config inefficiently (odd) located"},
      {70, "file busy"},
      {71, "file header"},
      {72, "file version"},
      {73, "file checksum"},
      {74, "file identification"},
      {75, "file integrity"},
      {76, "file checksum"},
      {77, "file termination"},
      {78, "file vectors"},
      {80, "rtcc adress fail"},
      {81, "rtcc read fail"},
      {82, "rtcc write fail"},
      {83, "rtcc sign fail"},
      {84, "rtcc power fail"},
      {100, "socket invalid"},
      {101, "connected"},
      {102, "validated"},
      {103, "configuration"},
      {104, "event upload"},
      {105, "sid mismatch"},
      {106, "password fail"},
      {107, "timeout"},
      {108, "closed"},
      {109, "query size"},
      {110, "query purged"},
      {130, "file erase failed"},
      {131, "sfmem erased"},
      {132, "all files erased"},
      {133, "applic file erased"},
      {134, "config file erased"},
      {135, "encaps file erased"},
      {136, "nvram/events erased"},
      {150, "initial tests"},
      {151, "safe mode request"},
      {152, "stopped"},
      {153, "running"},
      {154, "initiating files"},
      {155, "jumping application"},
      {156, "initiating comms"},
      {157, "initiating network"},
      {158, "initiating config"},
      {159, "config upgraded"},
      {160, "application upgraded"},
      {161, "encaps upgraded"},
      {162, "watchdog occured"},
      {163, "running state display-1"},
      {164, "network restarted"},
      {200, "start of menu"},
      {201, "rtcc date/time"},
      {202, "system date/time"},
      {203, "irig-b date/time"},
      {204, "printer test"},
      {205, "led test"},
      {206, "lcd test"},
      {207, "horn output test"},
      {208, "bell output test"},
      {209, "fault output test"},
      {210, "restart device"},
      {211, "restart file system"},
      {212, "network ip"},
      {213, "network gateway"},
      {214, "network mask"},
      {215, "network mac-id"},
      {216, "end of menu"},
  };
  std::string text;
  if (code == 0) {
    text = zero;
  } else {
    const auto it = texts.find(code);
    text = it == texts.end() ? "Undef" : it->second;
  }
  return std::to_string(code) + " - " + text;
}

std::string IrgQuality(uint16_t code) {
  static const char* const texts[] = {"Best Lock",  "Sync <1ns",   "Sync <10ns",  "Sync <100ns",
                                      "Sync <1us",  "Sync <10us",  "Sync <100us", "Sync <1ms",
                                      "Weak <10ms", "Weak <100ms", "Weak <1sec",  "Weak <10sec"};
  std::string text = "Undefined";
  if (code < std::size(texts))
    text = texts[code];
  else if (code == 15)
    text = "Failure";
  else if (code == 16)
    text = "Comm Blind";
  else if (code == 17)
    text = "Manual <Rtcc>";
  return std::to_string(code) + " - " + text;
}

// ---- files ----

std::string ForceDirIn(const std::string& home, const std::string& s) {
  if (home.empty()) return ForceDir(s);
  if (s.empty() || s[0] != '\\') return s;
  std::string rel = s.substr(1);
  for (char& ch : rel)
    if (ch == '\\') ch = '/';
  const std::filesystem::path full = std::filesystem::path(home) / rel;
  std::error_code ec;
  std::filesystem::create_directories(full, ec);
  if (ec) throw Exception("Unable to create folder " + full.string() + ": " + ec.message());
  return full.string();
}

std::string RtuIniPath(const std::string& home) { return ForceDirIn(home, cRtuFolder) + "/" + cRtuIni; }

ByteStr ReadWholeFile(const std::string& path) {
  std::error_code ec;
  if (std::filesystem::exists(path, ec) && !std::filesystem::is_regular_file(path, ec))
    throw Exception("Not a file: " + path);
  std::ifstream f(path, std::ios::binary);
  if (!f) throw Exception("Unable to open file " + path + ": " + SysMessage(errno));
  std::ostringstream s;
  s << f.rdbuf();
  if (f.bad()) throw Exception("Unable to read file " + path);
  return s.str();
}

namespace {

// The INI document of path; false when there is no file. A file that exists but cannot be read
// whole raises.
bool LoadIni(const std::string& path, CSimpleIniA& ini) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return false;
  const ByteStr text = ReadWholeFile(path);
  if (ini.LoadData(text.data(), text.size()) < 0) throw Exception("Unable to read settings file " + path);
  return true;
}

}  // namespace

std::map<std::string, std::string> ReadIniSection(const std::string& path, const std::string& section) {
  std::map<std::string, std::string> r;
  CSimpleIniA ini;
  if (!LoadIni(path, ini)) return r;
  CSimpleIniA::TNamesDepend keys;
  ini.GetAllKeys(section.c_str(), keys);
  for (const auto& k : keys) r[k.pItem] = ini.GetValue(section.c_str(), k.pItem, "");
  return r;
}

void WriteIniKeys(const std::string& path, const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& keys) {
  CSimpleIniA ini;
  LoadIni(path, ini);
  for (const auto& [k, v] : keys) ini.SetValue(section.c_str(), k.c_str(), v.c_str());
  std::string out;
  if (ini.Save(out) < 0) throw Exception("Unable to write settings file " + path);
  WriteFileAtomic(path, out);
}

TFileDialog SelectStart(const std::string& field, const std::string& defaultDir,
                        const std::string& defaultName) {
  TFileDialog d;
  std::error_code ec;
  if (!field.empty() && std::filesystem::is_regular_file(field, ec)) {
    const std::filesystem::path p(field);
    d.InitialDir = p.parent_path().string();
    d.FileName = p.filename().string();
  } else if (!field.empty()) {
    d.InitialDir = defaultDir;
    d.FileName = std::filesystem::path(field).filename().string();
  } else {
    d.InitialDir = defaultDir;
    d.FileName = defaultName;
  }
  return d;
}

}  // namespace vex
