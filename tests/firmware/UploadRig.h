// A simulated board on a local TCP port (or a pseudo-terminal) with the program's hub, the
// image store and the upload window's core pointed at it; images are built as HEX text and
// loaded the way "Fw Upload" loads them.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "comm/Ports.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"

namespace vex::test {

// Intel HEX text of an application from byte address `start`: the header words (CRC and Top
// are finished by the loader) with `ver`, then `codeBytes` bytes of code.
inline std::string AppHex(uint16_t ver, int codeBytes, uint32_t start = 0x0800, unsigned seed = 1) {
  std::vector<uint8_t> code(static_cast<size_t>(codeBytes) + 8, 0);
  code[6] = static_cast<uint8_t>(ver & 0xFF);
  code[7] = static_cast<uint8_t>(ver >> 8);
  for (size_t i = 8; i < code.size(); ++i) code[i] = static_cast<uint8_t>((i * 37 + seed) & 0xFF);
  std::string text = ";PIC18F46K22\r\n";
  uint32_t bank = 0;
  for (size_t off = 0; off < code.size(); off += 16) {
    const uint32_t a = start + static_cast<uint32_t>(off);
    if ((a >> 16) != bank) {
      bank = a >> 16;
      ByteStr ext{2, 0, 0, 4, static_cast<char>(bank >> 8), static_cast<char>(bank & 0xFF)};
      text += ":" + HexApply(ext) + "\r\n";
    }
    const size_t n = std::min<size_t>(16, code.size() - off);
    ByteStr rec{static_cast<char>(n), static_cast<char>((a >> 8) & 0xFF), static_cast<char>(a & 0xFF), 0};
    rec.append(reinterpret_cast<const char*>(code.data() + off), n);
    text += ":" + HexApply(rec) + "\r\n";
  }
  return text + ":00000001FF\r\n";
}

// The message of what f raises ("" when nothing).
inline std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

struct BoardOptions {
  std::string model = "vex324";
  int bootRev = -1, edition = -1;
  bool noApp = false;
  bool serial = false;  // pseudo-terminal at 115200 instead of TCP
  std::vector<std::string> faults{};
  int bootWaitMs = 100;  // the board's boot window after a restart
  int appStartMs = 200;  // from the passed boot test to the running application
};

class UploadRig {
 public:
  explicit UploadRig(const BoardOptions& b = {}) {
    auto dev = emu::MakeDevice(emu::ModelFor(b.model, b.bootRev, b.edition));
    dev->SetBootWait(b.bootWaitMs);
    dev->SetAppStart(b.appStartMs);
    if (b.noApp) dev->SetNoApplication();
    emu::ServerOptions o;
    o.faults = b.faults;
    if (b.serial) {
      o.serial = true;
      o.baud = 115200;
    } else {
      o.tcpPort = 0;
    }
    emu = std::make_unique<emu::EmuServer>(std::move(dev), o);
    emu->Start();
    if (b.serial) {
      Ports1.ActivePage = lpComm;
      Ports1.ComboBox1 = emu->PtyPath();
      Ports1.ComboBox2Change(7);  // 115200
    } else {
      Ports1.ActivePage = lpNetwork;
      Ports1.LabeledEdit30 = "127.0.0.1";
      Ports1.LabeledEdit31 = std::to_string(emu->TcpPort());
      Ports1.LabeledEdit33 = "5";
      Ports1.LabeledEdit34 = "300";
    }
    // the program's own waits, shortened: the first look for the application still comes
    // after the board's start delay
    Ports1.AppWaitMs = b.appStartMs + 200;
    Ports1.AppFindMs = b.appStartMs + 1200;
    Mixer1.Mesaj = [this](const std::string& m) { Ports1.Mesaj(m); };
  }
  ~UploadRig() {
    Ports1.SetConnectPort(false);
    emu->Stop();
  }

  // "Fw Upload" up to the upload: detection, then the HEX text loaded with its segment size.
  void Load(const std::string& hex) {
    Ports1.Button1Click();
    Mixer1.HexLoadText(hex, "app.hex", false, true, static_cast<uint32_t>(Ports1.SegSiz));
  }
  std::span<const uint8_t> Image() const {
    return {Mixer1.Map + Mixer1.AppBeg, static_cast<size_t>(cRomSiz - Mixer1.AppBeg)};
  }
  std::vector<uint8_t> Loaded() const { return {Mixer1.Map + Mixer1.AppBeg, Mixer1.Map + Mixer1.AppTop}; }

  int BoardState() {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    return emu->Dev().BootState();
  }
  std::vector<uint8_t> Flash(size_t n) {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    const auto& f = emu->Dev().Flash();
    return {f.begin(), f.begin() + static_cast<std::ptrdiff_t>(std::min(n, f.size()))};
  }
  // Log lines holding `text`.
  int Logged(const std::string& text) const {
    int n = 0;
    for (const auto& l : Ports1.LogLines) n += l.find(text) != std::string::npos;
    return n;
  }

  std::unique_ptr<emu::EmuServer> emu;
  TPorts1 Ports1;
  TMixer1 Mixer1;
  TLoader1 Loader1{Ports1};
};

}  // namespace vex::test
