// The bootloader upload of a 64 KiB application (1024 blocks of 64 bytes) into a simulated
// Vex324 board: over a pseudo-terminal with the board's replies at line speed (--pace) at
// 115200 and 38400 baud, and over Modbus TCP on the loopback. Prints the whole upload, the
// block phase, blocks per second and the ratio of the block phase to its physical floor.
//   bench_upload [kilobytes]
//
// Floor per block on the serial line: the request (node, 0x10, address, count, byte count,
// 66 data bytes, CRC = 75 bytes) and the reply (8 bytes) at 11 bits a byte, plus the hub's
// fixed waits of every exchange: 5 ms of idle line before the request and the end-of-reply
// silence ComTmo (5 ms from 38400 baud). The pseudo-terminal itself carries the request at once
// and the simulated board paces only its replies, so a second figure compares the block phase
// with what is paced (reply bytes and the fixed waits). Over TCP there is no line time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "comm/Ports.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Intel HEX text of an application of `bytes` bytes at 0x0800, the header first.
std::string AppHex(uint16_t ver, size_t bytes) {
  std::vector<uint8_t> code(bytes, 0);
  code[6] = static_cast<uint8_t>(ver & 0xFF);
  code[7] = static_cast<uint8_t>(ver >> 8);
  for (size_t i = 8; i < code.size(); ++i) code[i] = static_cast<uint8_t>(i * 37 + 11);
  std::string text = ";PIC18F46K22\r\n";
  uint32_t bank = 0;
  for (size_t off = 0; off < code.size(); off += 16) {
    const uint32_t a = 0x0800 + static_cast<uint32_t>(off);
    if ((a >> 16) != bank) {
      bank = a >> 16;
      text += ":" +
              vex::HexApply({2, 0, 0, 4, static_cast<char>(bank >> 8), static_cast<char>(bank & 0xFF)}) +
              "\r\n";
    }
    const size_t n = std::min<size_t>(16, code.size() - off);
    vex::ByteStr rec{static_cast<char>(n), static_cast<char>((a >> 8) & 0xFF), static_cast<char>(a & 0xFF),
                     0};
    rec.append(reinterpret_cast<const char*>(code.data() + off), n);
    text += ":" + vex::HexApply(rec) + "\r\n";
  }
  return text + ":00000001FF\r\n";
}

struct Run {
  const char* name;
  bool serial;
  int baudPos;  // position in the "Baud:" list
  int baud;
};

void Measure(const Run& r, const std::string& hex, bool fast) {
  auto dev = vex::emu::MakeDevice(vex::emu::ModelFor("vex324"));
  dev->SetBootWait(100);
  dev->SetAppStart(100);
  vex::emu::ServerOptions o;
  if (r.serial) {
    o.serial = true;
    o.baud = r.baud;
    o.pace = true;
  } else {
    o.tcpPort = 0;
  }
  vex::emu::EmuServer emu(std::move(dev), o);
  emu.Start();
  vex::TPorts1 p;
  if (r.serial) {
    p.ActivePage = vex::lpComm;
    p.ComboBox1 = emu.PtyPath();
    p.ComboBox2Change(r.baudPos);
  } else {
    p.ActivePage = vex::lpNetwork;
    p.LabeledEdit30 = "127.0.0.1";
    p.LabeledEdit31 = std::to_string(emu.TcpPort());
  }
  p.CheckBox5 = fast;  // "Fast reply detection"
  p.AppWaitMs = 300;
  p.Button1Click();
  vex::TMixer1 mixer;
  mixer.HexLoadText(hex, "bench.hex", false, true, static_cast<uint32_t>(p.SegSiz));
  vex::TLoader1 loader(p);
  Clock::time_point blocksFrom{}, blocksTo{};
  loader.Changed = [&] {
    if (loader.ProgressMax > 0 && loader.ProgressPos == 0 && blocksFrom == Clock::time_point{})
      blocksFrom = Clock::now();
    if (loader.ProgressMax > 0 && loader.ProgressPos == loader.ProgressMax && blocksTo == Clock::time_point{})
      blocksTo = Clock::now();
  };
  const auto t0 = Clock::now();
  loader.Upload({mixer.Map + mixer.AppBeg, vex::cRomSiz - mixer.AppBeg}, 0x80, true);
  const double whole = Since(t0);
  const double blocks = std::chrono::duration<double>(blocksTo - blocksFrom).count();
  const int64_t n = loader.Siz / loader.Seg;
  std::printf("%-22s %-4s %7.2f s whole  %7.2f s blocks  %7.1f blocks/s", r.name, fast ? "fast" : "slow",
              whole, blocks, static_cast<double>(n) / blocks);
  if (r.serial) {
    const int words = loader.Seg / 2;
    const int request = 1 + 1 + 2 + 2 + 1 + 2 * (words + 1) + 2, reply = 8;
    const double perBlock = (request + reply) * 11.0 / r.baud + 0.005 + p.ComTmo / 1000.0;
    const double floor = perBlock * static_cast<double>(n);
    // the pseudo-terminal carries the request at once; only the replies go at line speed
    const double paced = (reply * 11.0 / r.baud + 0.005 + p.ComTmo / 1000.0) * static_cast<double>(n);
    std::printf("  floor %6.2f s (%.2f ms/block)  ratio %.2f  | paced part %5.2f s  ratio %.2f", floor,
                perBlock * 1000.0, blocks / floor, paced, blocks / paced);
  }
  std::printf("\n");
  p.SetConnectPort(false);
  emu.Stop();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t kib = argc > 1 ? static_cast<size_t>(std::atoi(argv[1])) : 64;
  const std::string hex = AppHex(0x0654, kib * 1024);
  std::printf("upload of %zu KiB (%zu blocks of 64 bytes) into a simulated Vex324\n", kib, kib * 1024 / 64);
  const Run runs[] = {
      {"pty 115200 (paced)", true, 7, 115200},
      {"pty 38400 (paced)", true, 5, 38400},
      {"tcp loopback", false, 0, 0},
  };
  try {
    for (const Run& r : runs)
      for (bool fast : {true, false}) Measure(r, hex, fast);  // fast reply detection on, off
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
