#include "firmware/Mixer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace vex {

namespace {

constexpr uint32_t cNoBeg = 0xFFFFFFFF;  // AppBeg before any code was placed
constexpr uint32_t cFuseAdr = 0x400E;    // PIC16F configuration word 0x2007 as byte address

// Value of a hexadecimal digit, or -1.
constexpr int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The byte of the two characters at p; raises the integer conversion message.
uint8_t HexByte(const char* p) {
  const int h = HexDigit(p[0]), l = HexDigit(p[1]);
  if (h < 0 || l < 0) throw Exception("'$" + std::string(p, 2) + "' is not a valid integer value");
  return static_cast<uint8_t>(h * 16 + l);
}

// Decodes `total` bytes of record text into out (at most 256 + 5 bytes). The first byte is
// the count; `total` is computed from it by `size`. The caller checks the sum.
template <typename SizeOf>
size_t DecodeRecord(std::string_view s, uint8_t* out, SizeOf size) {
  if (s.size() < 2) throw Exception("Record too short");
  out[0] = HexByte(s.data());
  const size_t total = size(out[0]);
  if (total == 0 || s.size() < 2 * total) throw Exception("Record too short");
  for (size_t i = 1; i < total; ++i) out[i] = HexByte(s.data() + 2 * i);
  return total;
}

// Intel HEX: count, address (2), type, data, checksum; all bytes sum to 0.
size_t DecodeHex(std::string_view s, uint8_t* out) {
  const size_t total = DecodeRecord(s, out, [](uint8_t n) { return size_t{n} + 5; });
  uint8_t sum = 0;
  for (size_t i = 0; i < total; ++i) sum = static_cast<uint8_t>(sum + out[i]);
  if (sum != 0) throw Exception("Sum Failure");
  return total - 1;
}

// S-record: count n, n-1 bytes, checksum; count, bytes and checksum sum to 0xFF.
size_t DecodeMot(std::string_view s, uint8_t* out) {
  const size_t total = DecodeRecord(s, out, [](uint8_t n) { return n == 0 ? size_t{0} : size_t{n} + 1; });
  uint8_t sum = 0;
  for (size_t i = 0; i < total; ++i) sum = static_cast<uint8_t>(sum + out[i]);
  if (sum != 0xFF) throw Exception("Sum Failure");
  return total - 1;
}

std::string OsError(const std::string& f) { return f + ": " + std::strerror(errno); }

std::string ReadWholeFile(const std::string& f) {
  const int fd = ::open(f.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw Exception(OsError(f));
  std::string data;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) data.reserve(static_cast<size_t>(st.st_size));
  char buf[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const std::string msg = OsError(f);
      ::close(fd);
      throw Exception(msg);
    }
    if (n == 0) break;
    data.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return data;
}

// Replaces f by a temporary file of the same folder holding `text`.
void WriteFileAtomic(const std::string& f, const std::string& text) {
  const size_t slash = f.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : f.substr(0, slash + 1);
  std::string tmp = dir + ".vexsave.XXXXXX";
  const int fd = ::mkstemp(tmp.data());
  if (fd < 0) throw Exception(OsError(f));
  auto fail = [&](int err) {
    ::close(fd);
    ::unlink(tmp.c_str());
    errno = err;
    throw Exception(OsError(f));
  };
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (::fchmod(fd, 0644) != 0 || ::fsync(fd) != 0) fail(errno);
  if (::close(fd) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    errno = err;
    throw Exception(OsError(f));
  }
  if (::rename(tmp.c_str(), f.c_str()) != 0) {
    const int err = errno;
    ::unlink(tmp.c_str());
    errno = err;
    throw Exception(OsError(f));
  }
}

// Calls fn(line, number) for every line of text (LF or CR LF ends, numbered from 1).
template <typename Fn>
void ForLines(std::string_view text, Fn fn) {
  size_t pos = 0;
  int ln = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++ln;
    try {
      fn(line);
    } catch (const Exception& e) {
      throw Exception(std::string(e.what()) + " Line=" + std::to_string(ln));
    }
    pos = nl + 1;
  }
}

void AppendRecord(std::string& out, const uint8_t* b, size_t n) {
  static const char digits[] = "0123456789ABCDEF";
  uint8_t sum = 0;
  out += ':';
  for (size_t i = 0; i < n; ++i) {
    out += digits[b[i] >> 4];
    out += digits[b[i] & 15];
    sum = static_cast<uint8_t>(sum + b[i]);
  }
  sum = static_cast<uint8_t>(-sum);
  out += digits[sum >> 4];
  out += digits[sum & 15];
  out += "\r\n";
}

void AppendData(std::string& out, uint32_t adr, const uint8_t* d, size_t n) {
  uint8_t b[4 + 255];
  b[0] = static_cast<uint8_t>(n);
  b[1] = static_cast<uint8_t>(adr >> 8);
  b[2] = static_cast<uint8_t>(adr);
  b[3] = 0;
  std::memcpy(b + 4, d, n);
  AppendRecord(out, b, 4 + n);
}

void AppendBank(std::string& out, uint32_t bank) {
  const uint8_t b[6] = {2, 0, 0, 4, static_cast<uint8_t>(bank >> 8), static_cast<uint8_t>(bank)};
  AppendRecord(out, b, sizeof b);
}

std::string Kilo(uint64_t n) { return std::to_string((n + 1023) / 1024) + "K (" + std::to_string(n) + ")"; }

}  // namespace

// ---- record helpers ----

uint8_t GetHex(std::string& s) {
  if (s.size() < 2) throw Exception("'$" + s + "' is not a valid integer value");
  const uint8_t v = HexByte(s.data());
  s.erase(0, 2);
  return v;
}

ByteStr HexCheck(std::string_view s) {
  uint8_t b[256 + 5];
  const size_t n = DecodeHex(s, b);
  return ByteStr(reinterpret_cast<const char*>(b), n);
}

ByteStr MotCheck(std::string_view s) {
  uint8_t b[256 + 5];
  const size_t n = DecodeMot(s, b);
  return ByteStr(reinterpret_cast<const char*>(b), n);
}

std::string HexApply(const ByteStr& b) {
  std::string r;
  AppendRecord(r, reinterpret_cast<const uint8_t*>(b.data()), b.size());
  return r.substr(1, r.size() - 3);  // without ':' and the line end
}

// ---- the store ----

TMixer1::TMixer1() : map_(std::make_unique_for_overwrite<uint8_t[]>(cRomSiz)), Map(map_.get()) { ClearHex(); }

void TMixer1::Say(const std::string& m) const {
  if (Mesaj) Mesaj(m);
}

void TMixer1::ClearHex() {
  std::memset(Map, 0x3F, cRomSiz);
  std::memset(Fus, 0x3F, sizeof Fus);
  AppIdn.clear();
  AppTop = 0;
  AppBeg = cNoBeg;
  AppEnd = 0;
  AppFus = 0;
  Top = 0;
  CodeCount = 0;
}

void TMixer1::ClearMot() {
  std::memset(Map, 0x00, cRomSiz);
  std::memset(Fus, 0x00, sizeof Fus);
  AppIdn = ";Motorola-S";
  AppBeg = cNoBeg;
  AppEnd = 0;
  AppFus = 0;
  AppTop = 0;
  Top = 0;
  CodeCount = 0;
}

tIdf TMixer1::Idf() const {
  uint8_t b[8] = {};
  for (uint32_t i = 0; i < 8; ++i)
    if (AppBeg < cRomSiz && AppBeg + i < cRomSiz) b[i] = Map[AppBeg + i];
  auto w = [&](int k) { return static_cast<uint16_t>(b[2 * k] | (b[2 * k + 1] << 8)); };
  return tIdf{w(0), w(1), w(2), w(3)};
}

void TMixer1::SetIdf(const tIdf& h) {
  const uint16_t w[4] = {h.Crl, h.Crh, h.Top, h.Ver};
  for (uint32_t i = 0; i < 8; ++i)
    if (AppBeg < cRomSiz && AppBeg + i < cRomSiz)
      Map[AppBeg + i] = static_cast<uint8_t>(i % 2 ? w[i / 2] >> 8 : w[i / 2]);
}

uint16_t TMixer1::CRCcalc() const {
  const uint64_t beg = uint64_t{AppBeg} + 4, top = std::min<uint64_t>(AppTop, cRomSiz);
  if (AppBeg == cNoBeg || top <= beg) return 0xFFFF;
  return CrcofBin(Map + beg, static_cast<size_t>(top - beg), 0xFFFF);
}

void TMixer1::HexLoader(const std::string& f, bool bt, bool ss, uint32_t bsg) {
  if (bsg == 0) throw Exception("Seg Size Undetermined");
  const std::string text = ReadWholeFile(f);
  HexLoadText(text, f, bt, ss, bsg);
}

void TMixer1::MotLoader(const std::string& f, uint32_t bsg) {
  if (bsg == 0) throw Exception("Seg Size Undetermined");
  const std::string text = ReadWholeFile(f);
  MotLoadText(text, f, bsg);
}

void TMixer1::HexLoadText(std::string_view text, const std::string& f, bool bt, bool ss, uint32_t bsg) {
  if (bsg == 0) throw Exception("Seg Size Undetermined");
  if (bt && AppBeg == cNoBeg) throw Exception("No application loaded to merge the bootloader with");
  if (!bt) ClearHex();
  Say("Loading " + f);
  uint32_t bank = 0, c = 0;
  bool end = false;
  uint8_t b[256 + 5];
  ForLines(text, [&](std::string_view s) {
    if (s.empty()) return;
    if (s[0] == ';') {
      if (s.substr(0, 4) == ";PIC") {
        if (!bt)
          AppIdn = s;
        else if (s != AppIdn)
          throw Exception("Processor Identifier mismatch");
      }
      return;
    }
    if (end) throw Exception("Extra bytes in Hex file");
    if (s[0] != ':') throw Exception("Semicolon missing");
    DecodeHex(s.substr(1), b);
    const uint32_t n = b[0], a = b[1] * 256u + b[2];
    const uint8_t* d = b + 4;
    switch (b[3]) {
      case 1:
        end = true;
        return;
      case 4:
        if (n < 2) throw Exception("Record too short");
        bank = d[0] * 256u + d[1];
        return;
      case 0:
        break;
      default:
        throw Exception("Undefined process");
    }
    auto fuses = [&](uint32_t off) {
      for (uint32_t i = 0; i < n; ++i)
        if (off + i > 15)
          throw Exception("Fuse Adress outof range");
        else if (bt && Fus[off + i] != d[i])
          throw Exception("Fuse content mismatch");
      if (bt) return;
      // The fuse count covers every fuse byte loaded so far, so that configuration spread over
      // several records (one byte each, or a gap) reaches the writers whole.
      if (n > 0) AppFus = std::max(AppFus, static_cast<int>(off + n));
      std::memcpy(Fus + off, d, n);
    };
    auto unexpected = [&] { throw Exception("Unexpected Code at Adress=$" + IntToHex(a, 4)); };
    if (bank == 0 && ss && a == cFuseAdr) {
      fuses(0);
    } else if (bank == 0) {
      if (!bt) {
        if (a < 0x20) unexpected();
        AppBeg = std::min(AppBeg, a);
        AppEnd = std::max(AppEnd, a + n);
      } else if (a >= AppBeg || a + n > AppBeg) {
        unexpected();  // a bootloader byte would land on the application
      }
      std::memcpy(Map + a, d, n);
      c += n;
    } else if (bank == 1) {
      if (bt) unexpected();
      AppEnd = std::max(AppEnd, 0x10000 + a + n);
      std::memcpy(Map + 0x10000 + a, d, n);
      c += n;
    } else if (bank == 0x30) {
      fuses(a);
    } else {
      throw Exception("Undefined Memory Bank=$" + IntToHex(bank, 2));
    }
  });
  CodeCount = c;
  if (c == 0) throw Exception("No code in Hex file " + f);
  if (AppBeg == cNoBeg) throw Exception("No code below address $10000 in Hex file " + f);
  FinishHex(bsg);
  ReportHex(bsg);
}

void TMixer1::FinishHex(uint32_t bsg) {
  const uint64_t top = (uint64_t{AppEnd} - AppBeg + bsg - 1) / bsg;
  const uint64_t appTop = AppBeg + top * bsg;
  if (top > 0xFFFF) throw Exception("Image of " + std::to_string(top) + " segments too long for its header");
  if (appTop > cRomSiz) throw Exception("Image runs past the end of memory");
  Top = static_cast<uint32_t>(top);
  AppTop = static_cast<uint32_t>(appTop);
  tIdf h = Idf();
  h.Crl = h.Crh = 0xFFFF;
  h.Top = static_cast<uint16_t>(top);
  SetIdf(h);
  const uint16_t crc = CRCcalc();
  h.Crl = crc & 0xFF;
  h.Crh = crc >> 8;
  SetIdf(h);
}

void TMixer1::ReportHex(uint32_t bsg) const {
  const tIdf h = Idf();
  Say("Model=          " + InttoTerso(h.Ver));
  Say("CRC=          $" + IntToHex(h.Crh, 2) + IntToHex(h.Crl, 2));
  Say("Start=          $" + IntToHex(AppBeg, 4));
  Say("End=           $" + IntToHex(AppEnd, 4));
  Say("Code=         " + Kilo(CodeCount));
  const uint64_t img = uint64_t{Top} * bsg;
  Say("Image=        $" + IntToHex(Top, 4) + " x " + std::to_string(bsg) + "   " + Kilo(img));
  Say("Flash=         $" + IntToHex(AppTop, 5) + " ->  Estimate= " + Kilo(AppTop));
  Say("Cpu=           " + (AppIdn.empty() ? std::string() : AppIdn.substr(1)));
  std::string fuses = "Fuses=       ";
  for (int i = 0; i < AppFus / 2; ++i) fuses += " $" + IntToHex(Fus[2 * i + 1], 2) + IntToHex(Fus[2 * i], 2);
  Say(fuses);
}

void TMixer1::MotLoadText(std::string_view text, const std::string& f, uint32_t bsg) {
  if (bsg == 0) throw Exception("Seg Size Undetermined");
  ClearMot();
  Say("Loading " + f);
  bool start = false, end = false;
  uint8_t b[256 + 5];
  ForLines(text, [&](std::string_view s) {
    if (s.empty()) return;
    if (s[0] != 'S') throw Exception("Semicolon missing");
    const char type = s.size() > 1 ? s[1] : '\0';
    const size_t n = DecodeMot(s.substr(std::min<size_t>(2, s.size())), b);
    switch (type) {
      case '0':
        start = true;
        return;
      case '2': {
        if (!start) throw Exception("Start marker not found");
        if (end) throw Exception("Extra bytes in file");
        if (n < 4) throw Exception("Record too short");
        const uint32_t a = (b[1] << 16) | (b[2] << 8) | b[3];
        const uint32_t len = static_cast<uint32_t>(n - 4);
        if (len == 0) return;
        if (a + len > cRomSiz) throw Exception("Data beyond address $FFFFFF");
        std::memcpy(Map + a, b + 4, len);
        AppBeg = std::min(AppBeg, a);
        AppEnd = std::max(AppEnd, a + len - 1);
        return;
      }
      case '8':
        if (!start) throw Exception("Start marker not found");
        end = true;
        return;
      default:
        throw Exception(std::string("Undefined process found=") + type);
    }
  });
  if (AppBeg == cNoBeg) throw Exception("No data in S-record file " + f);
  const uint64_t top = (uint64_t{AppEnd} - AppBeg + bsg) / bsg;
  const uint64_t appTop = AppBeg + top * bsg;
  if (appTop > cRomSiz) throw Exception("Image runs past the end of memory");
  Top = static_cast<uint32_t>(top);
  AppTop = static_cast<uint32_t>(appTop);
  CodeCount = AppEnd - AppBeg + 1;
  ReportMot(bsg);
}

void TMixer1::ReportMot(uint32_t bsg) const {
  const tIdf h = Idf();
  Say("Model=          " + InttoTerso(h.Ver));
  Say("CRC=          $" + IntToHex(h.Crh, 4) + "/ $" + IntToHex(h.Crl, 4));
  Say("Start=          $" + IntToHex(AppBeg, 4));
  Say("End=           $" + IntToHex(AppEnd, 4));
  const uint64_t span = uint64_t{AppEnd} - AppBeg;
  Say("Code=         " + std::to_string((span + 1024) / 1024) + "K (" + std::to_string(span + 1) + ")");
  const uint64_t img = uint64_t{Top} * bsg;
  Say("Image=        " + std::to_string(Top) + " x " + std::to_string(bsg) + "   " + Kilo(img));
  Say("Cpu=           " + AppIdn.substr(1));
}

// ---- writers ----

std::string TMixer1::HexText16F() const {
  const uint32_t top = std::min(AppTop, cRomSiz);
  // Without address records the PIC16F form reaches only the first 64 KiB.
  if (top > 0x10000) throw Exception("Image too large for the PIC16F form");
  std::string out;
  out.reserve((top / 16 + 4) * 45 + AppIdn.size());
  for (uint32_t r = 0; r < (top + 15) / 16; ++r) AppendData(out, (16 * r) & 0xFFFF, Map + 16 * r, 16);
  AppendData(out, cFuseAdr, Fus, static_cast<size_t>(std::clamp(AppFus, 0, 16)));
  out += ":00000001FF\r\n";
  out += AppIdn;
  out += "\r\n";
  return out;
}

std::string TMixer1::HexText18F() const {
  const uint32_t top = std::min(AppTop, cRomSiz);
  std::string out;
  out.reserve((top / 16 + 8) * 45 + AppIdn.size());
  uint32_t last = cNoBeg;
  for (uint32_t r = 0; r < (top + 15) / 16; ++r) {
    const uint8_t* row = Map + 16 * r;
    size_t n = 16;
    while (n > 0 && row[n - 1] == 0xFF) --n;
    if (n == 0) continue;
    const uint32_t bank = (16 * r) >> 16;
    if (bank != last) AppendBank(out, bank);
    last = bank;
    AppendData(out, (16 * r) & 0xFFFF, row, n);
  }
  out += ":020000040030CA\r\n";
  AppendData(out, 0, Fus, static_cast<size_t>(std::clamp(AppFus, 0, 16)));
  out += ":00000001FF\r\n";
  out += AppIdn;
  out += "\r\n";
  return out;
}

void TMixer1::HexSaver16F(const std::string& f) {
  WriteFileAtomic(f, HexText16F());
  Say("Saving " + f);
}

void TMixer1::HexSaver18F(const std::string& f) {
  WriteFileAtomic(f, HexText18F());
  Say("Saving " + f);
}

// ---- the boot mix ----

void TMixer1::Mix(const std::string& boot, const std::string& app, const std::string& dest, uint32_t segSiz) {
  Say("Mixing...");
  if (segSiz < 32) throw Exception("Seg Size Undetermined");
  HexLoader(app, false, true, segSiz);
  HexLoader(boot, true, true, segSiz);
  if (segSiz > 32)
    HexSaver18F(dest);
  else
    HexSaver16F(dest);
}

void TMixer1::FormShow() {
  if (Edit1.Text().empty()) Edit1.SetText(ExeDir() + "/Build/Boot.hex");
  if (Edit2.Text().empty()) Edit2.SetText(ExeDir() + "/Build/App.hex");
  if (Edit3.Text().empty()) Edit3.SetText("Mixed.hex");
}

namespace {
void Choose(IMixerDialogs* d, PlainField& e, bool save) {
  if (!d) return;
  std::string name = e.Text();
  if (save ? d->SaveFile(TMixer1::cHexFilter, name) : d->OpenFile(TMixer1::cHexFilter, name)) e.SetText(name);
}
}  // namespace

void TMixer1::Edit1DblClick() { Choose(Dialogs, Edit1, false); }
void TMixer1::Edit2DblClick() { Choose(Dialogs, Edit2, false); }
void TMixer1::Edit3DblClick() { Choose(Dialogs, Edit3, true); }

void TMixer1::Button1Click() {
  CloseRequested = true;
  Mix(Edit1.Text(), Edit2.Text(), Edit3.Text(), SegSizOf ? SegSizOf() : 0);
}

}  // namespace vex
