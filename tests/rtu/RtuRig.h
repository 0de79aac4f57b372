// Shared pieces of the RTU tool tests: the simulated RTU with the program's own hub and main
// window in front of it, answering dialogs, and RTU files built independently of the tools.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "comm/Ports.h"
#include "emu/Rtu.h"
#include "rtu/Rtu3type.h"
#include "shell/Instances.h"
#include "tests/emu/EmuHelp.h"
#include "tests/firmware/FwTestUtil.h"

namespace vex::rtutest {

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

// Records every dialog and answers with what the test put in.
struct FakeDialogs : IRtuDialogs {
  bool confirm = true, pick = true;
  std::string chosen;
  std::vector<std::string> questions;
  std::vector<TFileDialog> opened;
  std::vector<std::string> kinds;
  bool OpenFile(const TFileDialog& d, std::string& name) override { return Pick("open", d, name); }
  bool SaveFile(const TFileDialog& d, std::string& name) override { return Pick("save", d, name); }
  bool Confirm(const std::string& q) override {
    questions.push_back(q);
    return confirm;
  }
  bool Pick(const char* k, const TFileDialog& d, std::string& name) {
    kinds.push_back(k);
    opened.push_back(d);
    if (pick) name = chosen;
    return pick;
  }
};

// Console lines of the hub.
struct Lines : IConsole {
  std::vector<std::string> log;
  void LogAppended(const std::string& line) override { log.push_back(line); }
  bool Has(const std::string& s) const {
    for (const auto& l : log)
      if (l.find(s) != std::string::npos) return true;
    return false;
  }
};

enum class Via { Tcp, Serial };

// The simulated RTU, the hub pointed at it and the main window's busy check.
struct Rig {
  explicit Rig(Via via = Via::Tcp, std::vector<std::string> faults = {}) {
    emu::ServerOptions o;
    o.faults = std::move(faults);
    if (via == Via::Tcp) {
      o.tcpPort = 0;
    } else {
      o.serial = true;
      o.baud = 115200;
    }
    emu = emu::test::StartEmu("brix3", o);
    {
      std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
      Rtu().SetTimings(40, 150);
    }
    if (via == Via::Tcp) {
      ports.ActivePage = lpNetwork;
      ports.LabeledEdit30 = "127.0.0.1";
      ports.LabeledEdit31 = std::to_string(emu->TcpPort());
      ports.LabeledEdit32 = "1";
      ports.LabeledEdit33 = "5";
      ports.LabeledEdit34 = "500";
    } else {
      ports.ActivePage = lpComm;
      ports.ComboBox1 = emu->PtyPath();
      ports.ComboBox2Change(7);  // 115200
      ports.LabeledEdit20 = "5";
      ports.LabeledEdit21 = "200";
    }
    ports.IniPath = dir.File("vexsim.ini");
    ports.SetConsole(&lines);
    main.FormCreate(TStartInfo{dir.File("vexsim"), false}, store);
  }
  emu::Rtu3Device& Rtu() { return static_cast<emu::Rtu3Device&>(emu->Dev()); }
  std::string Control(const std::string& line) { return emu->Control(line); }
  // Bytes of device file fn (empty when none).
  ByteStr DeviceFile(uint8_t fn) {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    const auto* f = Rtu().FileAt(fn);
    return f ? f->data : ByteStr();
  }

  fwtest::TempDir dir;
  std::unique_ptr<emu::EmuServer> emu;
  Lines lines;
  TPorts1 ports;
  std::unique_ptr<IMainLink> link = MakeMainLink(ports);
  NoDesktop desktop;
  MapSettingsStore store;
  TMain1 main{*link, desktop};
};

inline void Le32(ByteStr& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
inline void Le16(ByteStr& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline uint32_t Get32(const ByteStr& s, size_t at) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>(s[at + i])) << (8 * i);
  return v;
}
inline uint16_t Get16(const ByteStr& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8);
}

// An RTU file of `total` bytes: header, payload, trailer, with its own checksum arithmetic.
inline ByteStr RtuFile(size_t total, uint16_t ver) {
  const size_t payload = total - 72;
  ByteStr body(payload, '\0');
  for (size_t i = 0; i < payload; ++i) body[i] = static_cast<char>((i * 13 + 5) & 0xFF);
  uint32_t sum = 0xFFFFFFFFu;
  for (size_t i = 0; i < payload; i += 4) {
    uint32_t w = 0;
    for (size_t k = 0; k < 4 && i + k < payload; ++k)
      w |= static_cast<uint32_t>(static_cast<uint8_t>(body[i + k])) << (8 * k);
    sum -= w;
  }
  ByteStr f(64, '\0');
  const std::string idf = "BRIX3 Aplic File       TEST";
  f[0] = 39;
  std::copy(idf.begin(), idf.end(), f.begin() + 1);
  Le32(f, 40, 800000000);
  Le32(f, 44, static_cast<uint32_t>(payload + 8));
  Le32(f, 48, sum);
  Le16(f, 52, ver);
  Le16(f, 54, 64);
  Le16(f, 60, 16);
  Le16(f, 62, CrcofBin(f.data(), 62, 0xFFFF));
  ByteStr t(8, '\0');
  Le32(t, 0, static_cast<uint32_t>(payload));
  Le32(t, 4, sum);
  return f + body + t;
}

inline std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

}  // namespace vex::rtutest
