#include "shell/Basics.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>

namespace vex {

const int cDayOfMon[2][12] = {{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
                              {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31}};

// ---- calendar ---------------------------------------------------------------

// Days from 0001-01-01 (proleptic Gregorian) to the given date.
static int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;  // days since 1970-01-01
}

static void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t cUnixToDelphi = 25569;  // 1970-01-01 as a day count since 1899-12-30

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int msec) {
  const int64_t days = DaysFromCivil(year, month, day) + cUnixToDelphi;
  return static_cast<double>(days) +
         (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + msec) / 86400000.0;
}

DateTimeParts DecodeDateTime(TDateTime t) {
  int64_t ms = std::llround(t * 86400000.0);
  int64_t days = ms / 86400000;
  int64_t rem = ms % 86400000;
  if (rem < 0) {
    rem += 86400000;
    --days;
  }
  DateTimeParts p{};
  CivilFromDays(days - cUnixToDelphi, p.year, p.month, p.day);
  p.hour = static_cast<int>(rem / 3600000);
  p.minute = static_cast<int>(rem / 60000 % 60);
  p.second = static_cast<int>(rem / 1000 % 60);
  p.msec = static_cast<int>(rem % 1000);
  return p;
}

TDateTime NowLocal() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm lt{};
  localtime_r(&ts.tv_sec, &lt);
  return EncodeDateTime(lt.tm_year + 1900, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min, lt.tm_sec,
                        static_cast<int>(ts.tv_nsec / 1000000));
}

std::string FormatDateTime(std::string_view f, TDateTime t) {
  const DateTimeParts p = DecodeDateTime(t);
  std::string r;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < f.size() && (f[i + n] | 0x20) == c) ++n;
    return n;
  };
  while (i < f.size()) {
    const char c = static_cast<char>(f[i] | 0x20);
    size_t n = (c >= 'a' && c <= 'z') ? run(c) : 0;
    switch (n ? c : '\0') {
      case 'd':
        r += n >= 2 ? InttoZero(p.day, 2) : std::to_string(p.day);
        break;
      case 'm':
        r += n >= 2 ? InttoZero(p.month, 2) : std::to_string(p.month);
        break;
      case 'y':
        r += n >= 3 ? InttoZero(p.year, 4) : InttoZero(p.year % 100, 2);
        break;
      case 'h':
        r += n >= 2 ? InttoZero(p.hour, 2) : std::to_string(p.hour);
        break;
      case 'n':
        r += n >= 2 ? InttoZero(p.minute, 2) : std::to_string(p.minute);
        break;
      case 's':
        r += n >= 2 ? InttoZero(p.second, 2) : std::to_string(p.second);
        break;
      case 'z':
        r += n >= 3 ? InttoZero(p.msec, 3) : std::to_string(p.msec);
        break;
      default:
        r += f[i];
        n = 1;
    }
    i += n;
  }
  return r;
}

// ---- text forms -------------------------------------------------------------

std::string IntToHex(uint64_t v, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*llX", digits, static_cast<unsigned long long>(v));
  return buf;
}

std::string InttoZero(int64_t v, int d) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < d) s.insert(0, static_cast<size_t>(d) - s.size(), '0');
  return s;
}

std::string InttoDot(int64_t v, int p) {
  const bool neg = v < 0;
  std::string s = std::to_string(neg ? -static_cast<uint64_t>(v) : static_cast<uint64_t>(v));
  if (p > 0) {
    if (static_cast<int>(s.size()) <= p) s.insert(0, static_cast<size_t>(p) - s.size() + 1, '0');
    s.insert(s.size() - static_cast<size_t>(p), 1, '.');
  }
  return neg ? "-" + s : s;
}

std::string InttoBin(uint32_t v, int p) {
  std::string s;
  for (int i = p - 1; i >= 0; --i) s += (i < 32 && ((v >> i) & 1u)) ? '1' : '0';
  return s;
}

std::string BitstoStr(uint32_t v, const std::vector<std::string>& a) {
  std::string s;
  for (size_t i = 0; i < a.size() && i < 32; ++i) {
    if ((v >> i) & 1u) {
      if (!s.empty()) s += ',';
      s += a[i];
    }
  }
  return s;
}

std::string Str255toHex(std::string_view s) {
  std::string r;
  for (unsigned char c : s) {
    r += IntToHex(c, 2);
    r += ' ';
    if (r.size() > 254) break;
  }
  if (!r.empty() && r.back() == ' ') r.pop_back();
  return r;
}

std::string InttoDate(uint32_t v) {
  uint32_t year = 4 * (v / 1461);
  v %= 1461;
  bool leap = true;
  if (v >= 366) {  // past the leap year that opens every four years
    v -= 366;
    ++year;
    leap = false;
    // the common years after it; day 365 of the leap year itself is still 31 December
    for (int k = 0; k < 2; ++k) {
      if (v >= 365) {
        v -= 365;
        ++year;
      }
    }
  }
  int month = 0;
  while (month < 11 && static_cast<uint32_t>(cDayOfMon[leap ? 1 : 0][month]) <= v) {
    v -= static_cast<uint32_t>(cDayOfMon[leap ? 1 : 0][month]);
    ++month;
  }
  return InttoZero(2000 + year, 4) + "/" + InttoZero(month + 1, 2) + "/" + InttoZero(v + 1, 2);
}

std::string InttoTime(uint32_t v) {
  return InttoZero(v / 3600, 2) + ":" + InttoZero(v / 60 % 60, 2) + ":" + InttoZero(v % 60, 2);
}

std::string InttoTick(uint32_t v) {
  return InttoZero(v / 3600000, 2) + ":" + InttoZero(v / 60000 % 60, 2) + ":" + InttoZero(v / 1000 % 60, 2) +
         "." + InttoZero(v % 1000, 3);
}

std::string InttoBase(uint32_t v) {
  if (v == 0) return "-";
  return InttoDate(v / 86400) + " " + InttoTime(v % 86400);
}

uint32_t DateTimetoBase(TDateTime t) {
  const double secs = std::nearbyint((t - cBase2000) * 86400.0);
  if (secs <= 0) return 0;
  if (secs >= 4294967295.0) return 0xFFFFFFFFu;
  return static_cast<uint32_t>(secs);
}

std::string InttoModel(uint32_t v) { return IntToHex((v >> 8) & 0xFF, 2) + "." + InttoZero(v & 0xFF, 3); }
std::string InttoTerso(uint32_t v) { return IntToHex(v & 0xFF, 2) + "." + InttoZero((v >> 8) & 0xFF, 3); }
std::string InttoVexxx(uint32_t v) { return IntToHex(v & 0xFFFF, 4); }

std::string InttoIPform(uint32_t v) {
  return std::to_string(v & 0xFF) + "." + std::to_string((v >> 8) & 0xFF) + "." +
         std::to_string((v >> 16) & 0xFF) + "." + std::to_string(v >> 24);
}

std::string InttoMacform(uint32_t v) { return IntToHex(v & 0xFF, 2) + ":" + IntToHex((v >> 8) & 0xFF, 2); }

std::string DelaytoStr(double x) {
  // nearbyint rounds halves to the even neighbour in the default rounding mode
  if (x < 1.0) return std::to_string(static_cast<int64_t>(std::nearbyint(x * 1000.0))) + " mS";
  return std::to_string(static_cast<int64_t>(std::nearbyint(x))) + " S";
}

// ---- parsing ----------------------------------------------------------------

// Integer text as the desktop's StrToInt reads it: optional blanks and sign, decimal, or
// hexadecimal after "$" or "0x". Decimal values are signed and hexadecimal may use every bit of
// the width (32 or 64).
static bool ParseInt(const std::string& s, int64_t& v, int bits) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  const uint64_t all = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
  uint64_t r = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    uint64_t d;
    if (c >= '0' && c <= '9')
      d = static_cast<uint64_t>(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = static_cast<uint64_t>(c - 'a' + 10);
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = static_cast<uint64_t>(c - 'A' + 10);
    else
      return false;
    const auto b = static_cast<uint64_t>(base);
    if (r > (all - d) / b) return false;
    r = r * b + d;
  }
  const uint64_t maxPos = all >> 1;
  if (base == 10 && r > (neg ? maxPos + 1 : maxPos)) return false;
  v = neg ? static_cast<int64_t>(0 - r) : static_cast<int64_t>(r);
  return true;
}

bool TryStrToInt(const std::string& s, int64_t& v) { return ParseInt(s, v, 32); }
bool TryStrToInt64(const std::string& s, int64_t& v) { return ParseInt(s, v, 64); }

int64_t StrToInt(const std::string& s) {
  int64_t v;
  if (!TryStrToInt(s, v)) throw Exception("'" + s + "' is not a valid integer value");
  return v;
}

int64_t StrToInt64(const std::string& s) {
  int64_t v;
  if (!TryStrToInt64(s, v)) throw Exception("'" + s + "' is not a valid integer value");
  return v;
}

double StrtoDelay(const std::string& s) {
  size_t i = 0;
  while (i + 1 < s.size() && s[i] == ' ') ++i;
  std::string num;
  size_t j = i;
  if (j < s.size()) num += s[j++];
  while (j < s.size() && ((s[j] >= '0' && s[j] <= '9') || s[j] == '.' || s[j] == '-')) num += s[j++];
  if (num == " ") num.clear();
  double v = 0;
  if (!num.empty()) {
    // The number's characters admit only "." as decimal mark, so it is read the same under every
    // locale (a decimal-comma locale would otherwise refuse "0.5").
    const char* first = num.data();
    const char* last = num.data() + num.size();
    if (*first == '+') ++first;  // a leading "+" is a sign, as the desktop conversion takes it
    const auto [end, ec] = std::from_chars(first, last, v, std::chars_format::fixed);
    if (ec != std::errc() || end != last || !std::isfinite(v))
      throw Exception("'" + num + "' is not a valid floating point value");
  }
  const std::string rest = s.substr(j);
  if (rest.find_first_of("mM") != std::string::npos) v /= 1000.0;
  return v;
}

std::string GetStr(std::string& s) {
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  size_t j = i;
  while (j < s.size() && s[j] != ' ') ++j;
  std::string w = s.substr(i, j - i);
  s.erase(0, std::min(s.size(), j + 1));
  return w;
}

int64_t GetInt(std::string& s, int64_t v) {
  std::string w = GetStr(s);
  if (w.size() >= 2 && w[0] == '0' && (w[1] == 'x' || w[1] == 'X'))
    w = "$" + w.substr(2);
  else if (!w.empty() && (w.back() == 'h' || w.back() == 'H'))
    w = "$" + w.substr(0, w.size() - 1);
  int64_t r;
  if (w.empty() || w.find(' ') != std::string::npos || !TryStrToInt(w, r)) return v;
  return r;
}

std::string GetStrc(std::string& s, char c) {
  const size_t p = s.find(c);
  if (p == std::string::npos) {
    std::string r = s;
    s.clear();
    return r;
  }
  std::string r = s.substr(0, p);
  s.erase(0, p + 1);
  return r;
}

[[noreturn]] static void RangeFail(ILabeledField& e, const std::string& caption, const std::string& msg,
                                   const std::string& mn, const std::string& mx) {
  if (e.CanFocus()) e.SetFocus();
  throw Exception(caption + " " + msg + ", Valid Range: " + " [" + mn + " ~ " + mx + "].");
}

int64_t LbEdttoInt(ILabeledField& e, int64_t mn, int64_t mx) {
  std::string t = e.Text();
  const size_t comma = t.find(',');
  if (comma != std::string::npos) t.resize(comma);
  int64_t v = 0;
  std::string msg;
  if (!TryStrToInt(t, v))
    msg = "'" + t + "' is not a valid integer value";
  else if (v < mn || v > mx)
    msg = "Range Check";
  if (!msg.empty()) RangeFail(e, e.Caption(), msg, std::to_string(mn), std::to_string(mx));
  return v;
}

double LbEdttoDelay(ILabeledField& e, const std::string& eeCaption, double mn, double mx) {
  std::string msg;
  double v = 0;
  try {
    v = StrtoDelay(e.Text());
    if (v < mn || v > mx) msg = "Range Check";
  } catch (const Exception& x) {
    msg = x.what();
  }
  if (msg.empty()) {
    e.SetColor(clWindow);
    return v;
  }
  e.SetColor(clLightRed);
  RangeFail(e, eeCaption, msg, DelaytoStr(mn), DelaytoStr(mx));
}

uint32_t LbEdttoIpform(ILabeledField& e) {
  std::string t = e.Text();
  uint32_t r = 0;
  for (int k = 0; k < 4; ++k) {
    std::string part = GetStrc(t, '.');
    while (!part.empty() && part.front() == ' ') part.erase(0, 1);
    while (!part.empty() && part.back() == ' ') part.pop_back();
    // leading zeros are decimal here ("192.168.001.010")
    bool digits =
        !part.empty() && part.size() <= 3 && part.find_first_not_of("0123456789") == std::string::npos;
    const int64_t n = digits ? std::stoll(part) : -1;
    if (n < 0 || n > 255 || (k == 3 && !t.empty())) {
      if (e.CanFocus()) e.SetFocus();
      throw Exception(e.Caption() + " '" + e.Text() + "' is not a valid IP address");
    }
    r |= static_cast<uint32_t>(n) << (8 * k);
  }
  return r;
}

// ---- checksums ----------------------------------------------------------------

uint16_t CrcofBin(const void* b, size_t s, uint16_t c) {
  // table-driven CRC-16/MODBUS (reflected 0xA001)
  static const auto table = [] {
    struct T {
      uint16_t v[256];
    } t{};
    for (unsigned i = 0; i < 256; ++i) {
      uint16_t crc = static_cast<uint16_t>(i);
      for (int k = 0; k < 8; ++k)
        crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
      t.v[i] = crc;
    }
    return t;
  }();
  const auto* p = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < s; ++i) c = static_cast<uint16_t>((c >> 8) ^ table.v[(c ^ p[i]) & 0xFF]);
  return c;
}

// ---- folders ----------------------------------------------------------------

std::string ExeDir() {
  std::error_code ec;
  const auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path().string();
  return p.parent_path().string();
}

std::string ForceDir(const std::string& s) {
  if (s.empty() || s[0] != '\\') return s;
  std::string rel = s.substr(1);
  for (char& ch : rel)
    if (ch == '\\') ch = static_cast<char>(std::filesystem::path::preferred_separator);
  const std::filesystem::path full = std::filesystem::path(ExeDir()) / rel;
  std::error_code ec;
  std::filesystem::create_directories(full, ec);
  if (ec) throw Exception("Unable to create folder " + full.string() + ": " + ec.message());
  return full.string();
}

}  // namespace vex
