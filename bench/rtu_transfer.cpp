// Upload and download of an RTU file through the file manager against the simulated RTU: on a
// pseudo-terminal at 115200 baud with the device answering at line speed, and over Modbus TCP.
// Prints seconds, bytes per second and, on the serial line, the ratio to the wire time: request
// and reply bytes x 11 bits / baud plus the waits of every block (the 5 ms idle line before each
// request and the end-of-reply silence).
//   bench_rtu_transfer [bytes (default 262144)] [serial|tcp|both]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "emu/Rtu.h"
#include "emu/Server.h"
#include "rtu/Rtu3file.h"
#include "shell/Instances.h"

namespace {

using Clock = std::chrono::steady_clock;

// End-of-reply silence on the serial line. The device's paced replies come from a thread that
// shares a loaded machine; 10 ms keeps a late byte from ending a reply.
constexpr int kSilenceMs = 10;

struct NoDesktop : vex::IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

struct Figures {
  double up = 0, down = 0;  // seconds of the block transfers
  bool same = false;
};

// Seconds from the first block to the last of one transfer, taken from the window's status line.
struct Stopwatch {
  Clock::time_point first{}, last{};
  void Status(const std::string& s) {
    const bool block = s.rfind("Uploading ", 0) == 0 || s.rfind("Downloading ", 0) == 0;
    if (!block) return;
    if (s.find("Complete.") != std::string::npos)
      last = Clock::now();
    else if (first == Clock::time_point{})
      first = Clock::now();
  }
  double Seconds() const { return std::chrono::duration<double>(last - first).count(); }
};

Figures Run(bool serial, size_t bytes, const std::string& dir) {
  vex::emu::ServerOptions o;
  if (serial) {
    o.serial = true;
    o.baud = 115200;
    o.pace = true;
  } else {
    o.tcpPort = 0;
  }
  auto dev = vex::emu::MakeDevice(vex::emu::ModelFor("brix3"));
  static_cast<vex::emu::Rtu3Device&>(*dev).SetTimings(50, 1000);
  vex::emu::EmuServer emu(std::move(dev), o);
  emu.Start();

  vex::TPorts1 ports;
  if (serial) {
    ports.ActivePage = vex::lpComm;
    ports.ComboBox1 = emu.PtyPath();
    ports.ComboBox2Change(7);  // 115200
    ports.LabeledEdit20 = std::to_string(kSilenceMs);
  } else {
    ports.ActivePage = vex::lpNetwork;
    ports.LabeledEdit30 = "127.0.0.1";
    ports.LabeledEdit31 = std::to_string(emu.TcpPort());
  }
  ports.IniPath = dir + "/bench.ini";
  auto link = vex::MakeMainLink(ports);
  NoDesktop desktop;
  vex::TMain1 main(*link, desktop);
  vex::TRtu3file1 fm(ports, main);
  fm.Home = dir;

  // a file with a header, so the device takes it as soon as its size has arrived
  vex::ByteStr body(bytes - 72, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 31 + 7) & 0xFF);
  vex::ByteStr payload = body;
  vex::tRtu3hed h;
  h.IdfLen = 39;
  h.Idf = vex::IdfField("BRIX3 Aplic File       BENCH");
  h.Sum = vex::AppendTrailer(payload);
  h.Siz = static_cast<uint32_t>(payload.size());
  h.Ver = 0x6101;
  h.Vsz = 16;
  const vex::ByteStr file = vex::PackHed(h) + payload;
  const std::string up = dir + "/bench-up.rtua", down = dir + "/bench-down.rtua";
  vex::WriteFileAtomic(up, file);

  Figures f;
  Stopwatch su, sd;
  try {
    fm.Changed = [&] { su.Status(fm.StatusLine); };
    fm.FileUpload(0xB10, 0xB1, up);
    f.up = su.Seconds();
    fm.Changed = [&] { sd.Status(fm.StatusLine); };
    fm.FileDownload(0xF10, 0xF1, down);
    f.down = sd.Seconds();
  } catch (const std::exception&) {
    std::printf("%s: %s\n", serial ? "serial" : "tcp", fm.StatusLine.c_str());
    throw;
  }
  f.same = vex::ReadWholeFile(down) == file;
  emu.Stop();
  return f;
}

void Print(const char* what, const char* dir, size_t bytes, double secs, double wire) {
  std::printf("%-8s %-9s %9zu bytes %8.2f s %9.0f bytes/s", what, dir, bytes, secs, bytes / secs);
  if (wire > 0)
    std::printf("   wire %7.2f s   ratio %.2f\n", wire, secs / wire);
  else
    std::printf("   (no line rate)\n");
}

}  // namespace

int main(int argc, char** argv) {
  size_t bytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 262144;
  if (bytes < 128 || bytes > vex::cRtuMemMax) bytes = 262144;
  const std::string which = argc > 2 ? argv[2] : "both";
  char tmpl[] = "/tmp/vexbench.XXXXXX";
  const std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
  const size_t blocks = (bytes + 63) / 64;
  // Serial frames per 64-byte block: upload request 1+8+64+2 = 75 bytes, reply 1+8+2 = 11;
  // download request 1+8+2 = 11, reply 1+4+64+2 = 71. Per block the hub keeps the line idle 5 ms
  // before the request and waits for the end-of-reply silence (ComTmo) after the reply.
  const double bit = 11.0 / 115200, waits = 0.005 + kSilenceMs / 1000.0;
  const double wireUp = blocks * ((75 + 11) * bit + waits), wireDown = blocks * ((11 + 71) * bit + waits);
  std::printf("RTU file transfer of %zu bytes (%zu blocks of 64); serial: 115200 baud, silence %d ms\n",
              bytes, blocks, kSilenceMs);
  std::fflush(stdout);
  int rc = 0;
  try {
    if (which != "tcp") {
      const Figures s = Run(true, bytes, dir);
      Print("serial", "upload", bytes, s.up, wireUp);
      Print("serial", "download", bytes, s.down, wireDown);
      if (!s.same) std::printf("serial: downloaded file differs!\n"), rc = 1;
    }
    if (which != "serial") {
      const Figures t = Run(false, bytes, dir);
      Print("tcp", "upload", bytes, t.up, 0);
      Print("tcp", "download", bytes, t.down, 0);
      if (!t.same) std::printf("tcp: downloaded file differs!\n"), rc = 1;
    }
  } catch (const std::exception& e) {
    std::printf("failed: %s\n", e.what());
    rc = 1;
  }
  std::string cmd = "rm -rf '" + dir + "'";
  if (dir != "/tmp") [[maybe_unused]]
    int r = std::system(cmd.c_str());
  return rc;
}
