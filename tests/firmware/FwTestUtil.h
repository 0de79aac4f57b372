// Helpers of the firmware tests: record builders with their own checksum arithmetic,
// a temporary folder, a console recorder and an independent CRC.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "firmware/Mixer.h"

namespace vex::fwtest {

using Bytes = std::vector<uint8_t>;

inline std::string Hex2(unsigned v) {
  char b[3];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

// One Intel HEX record line (no line end).
inline std::string HexRec(unsigned type, unsigned adr, const Bytes& d) {
  unsigned sum = static_cast<unsigned>(d.size()) + (adr >> 8) + (adr & 0xFF) + type;
  std::string s = ":" + Hex2(static_cast<unsigned>(d.size())) + Hex2(adr >> 8) + Hex2(adr) + Hex2(type);
  for (uint8_t b : d) {
    s += Hex2(b);
    sum += b;
  }
  return s + Hex2(0x100 - (sum & 0xFF));
}
inline std::string Data(unsigned adr, const Bytes& d) { return HexRec(0, adr, d); }
inline std::string Bank(unsigned bank) { return HexRec(4, 0, {uint8_t(bank >> 8), uint8_t(bank)}); }
inline const std::string kEof = ":00000001FF";

// One S-record line with a 24-bit address (types 1-3 and 7-9 take 2, 3 or 4 address bytes).
inline std::string SRec(char type, unsigned adr, const Bytes& d) {
  const int alen = (type == '1' || type == '9' || type == '0') ? 2 : (type == '3' || type == '7') ? 4 : 3;
  Bytes all;
  for (int i = alen - 1; i >= 0; --i) all.push_back(static_cast<uint8_t>(adr >> (8 * i)));
  all.insert(all.end(), d.begin(), d.end());
  unsigned sum = static_cast<unsigned>(all.size() + 1);
  std::string s = std::string("S") + type + Hex2(static_cast<unsigned>(all.size() + 1));
  for (uint8_t b : all) {
    s += Hex2(b);
    sum += b;
  }
  return s + Hex2(~sum & 0xFF);
}

inline std::string Lines(const std::vector<std::string>& v, const char* eol = "\r\n") {
  std::string s;
  for (const auto& l : v) s += l + eol;
  return s;
}

inline Bytes Seq(size_t n, uint8_t first, uint8_t step = 1) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + step * i);
  return b;
}

// Bitwise CRC-16/MODBUS, written out here so the store's table version is checked against it.
inline uint16_t BitCrc(const uint8_t* p, size_t n) {
  uint16_t c = 0xFFFF;
  for (size_t i = 0; i < n; ++i) {
    c ^= p[i];
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
  }
  return c;
}

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir() {
    std::string t = (std::filesystem::temp_directory_path() / "vexfw.XXXXXX").string();
    if (!::mkdtemp(t.data())) throw std::runtime_error("mkdtemp failed");
    path_ = t;
  }
  ~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const std::string& name, const std::string& text) const {
    std::ofstream(File(name), std::ios::binary) << text;
    return File(name);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadText(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

// A store with its console lines recorded.
struct Store {
  TMixer1 m;
  std::vector<std::string> lines;
  Store() {
    m.Mesaj = [this](const std::string& s) { lines.push_back(s); };
  }
  std::string Error(const std::function<void()>& fn) {
    try {
      fn();
    } catch (const Exception& e) {
      return e.what();
    }
    return "<no error>";
  }
};

// Data bytes of an Intel HEX text by absolute address (type 04 banks honoured), read with
// the store's record decoder.
inline std::map<uint32_t, uint8_t> HexBytes(const std::string& text) {
  std::map<uint32_t, uint8_t> out;
  std::istringstream in(text);
  std::string line;
  uint32_t bank = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] != ':') continue;
    const ByteStr r = HexCheck(std::string_view(line).substr(1));
    const auto* b = reinterpret_cast<const uint8_t*>(r.data());
    if (b[3] == 4) bank = b[4] * 256u + b[5];
    if (b[3] != 0) continue;
    const uint32_t a = (bank << 16) + b[1] * 256u + b[2];
    for (uint32_t i = 0; i < b[0]; ++i) out[a + i] = b[4 + i];
  }
  return out;
}

}  // namespace vex::fwtest
