// vexemu: a simulated device of the family as a Modbus slave over TCP and/or a serial line
// on a pseudo-terminal.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "emu/Server.h"

namespace {

vex::emu::EmuServer* gServer = nullptr;
void OnSignal(int) {
  if (gServer) gServer->RequestStop();
}

// "YYYY-MM-DD" or "YYYY-MM-DD HH:MM:SS", or seconds since 2000-01-01.
uint32_t ParseMfgDate(const std::string& s) {
  int64_t v = 0;
  if (vex::TryStrToInt(s, v)) {
    if (v < 0 || v > 0xFFFFFFFFLL) throw vex::Exception("Manufacturing date out of range: " + s);
    return static_cast<uint32_t>(v);
  }
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  const int n = std::sscanf(s.c_str(), "%d-%d-%d %d:%d:%d", &y, &mo, &d, &h, &mi, &se);
  if ((n != 3 && n != 6) || y < 2000 || y > 2135 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 ||
      mi > 59 || se > 59)
    throw vex::Exception("Manufacturing date must be YYYY-MM-DD[ HH:MM:SS] or seconds since 2000: " + s);
  return vex::DateTimetoBase(vex::EncodeDateTime(y, mo, d, h, mi, se));
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Simulated annunciators, rack modules and rack RTU as Modbus slaves"};
  std::string model = "vex324";
  int bootRev = -1, edition = -1, uniqueId = 1, slave = 0, bootWait = 1500;
  std::string mfgDate, scenario;
  vex::emu::ServerOptions opt;
  std::string parity = "N";
  bool verbose = false;

  std::string models;
  for (const std::string& k : vex::emu::ModelKeys()) models += (models.empty() ? "" : ", ") + k;
  app.add_option("--model", model, "Model: " + models)->capture_default_str();
  app.add_option("--tcp", opt.tcpPort,
                 "Serve Modbus TCP on this port (0 = any free port; default 1502 when "
                 "no --serial is given)");
  app.add_option("--bind", opt.bindAddr, "TCP listening address")->capture_default_str();
  app.add_option("--unit", opt.units, "TCP unit identifier to answer (repeatable; default every unit)");
  app.add_flag("--serial", opt.serial, "Serve Modbus RTU on a pseudo-terminal and print its path");
  app.add_option("--baud", opt.baud, "Bit rate of the serial line")->capture_default_str();
  app.add_option("--parity", parity, "Parity of the serial line: N, E or O")->capture_default_str();
  app.add_option("--data-bits", opt.dataBits, "Data bits (7 or 8)")->capture_default_str();
  app.add_option("--stop-bits", opt.stopBits, "Stop bits (1 or 2)")->capture_default_str();
  app.add_flag("--pace", opt.pace, "Send serial replies at line speed (11 bit times per byte)");
  app.add_option("--boot-rev", bootRev, "Boot revision (high byte of the boot identifier)");
  app.add_option("--edition", edition, "Application edition (high byte of the application identifier)");
  app.add_option("--unique-id", uniqueId,
                 "Unique ID (register 13), 1..65530; 0 is a new board that production has not "
                 "numbered yet")
      ->capture_default_str();
  app.add_option("--mfg-date", mfgDate,
                 "Manufacturing date: YYYY-MM-DD[ HH:MM:SS] or seconds since 2000 (default: none "
                 "on a new board, else a fixed date)");
  app.add_option("--slave", slave, "Own Modbus slave address (register 14), 1..247");
  app.add_option("--boot-wait", bootWait,
                 "Milliseconds the bootloader waits after a restart before it starts "
                 "the application")
      ->capture_default_str();
  app.add_option("--fault", opt.faults, "Inject a fault, e.g. \"noreply fn=3 nth=2\" (repeatable)");
  app.add_option("--control", opt.controlPort,
                 "Line-based control interface on this loopback port (0 = any)");
  app.add_flag("--stdin", opt.controlStdin, "Read control commands from standard input");
  app.add_flag("--demo", opt.demo, "Random field activity");
  bool lax = false;
  app.add_flag("--lax", lax, "Take configuration writes without the 0, $1234 unlock on register 15");
  app.add_option("--seed", opt.seed, "Random seed of the demo")->capture_default_str();
  app.add_option("--scenario", scenario, "Run a scenario file of control commands at start");
  app.add_flag("-v,--verbose", verbose, "Print diagnostics to standard error");
  CLI11_PARSE(app, argc, argv);

  try {
    if (parity.size() != 1) throw vex::Exception("Parity must be N, E or O: " + parity);
    opt.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])));
    if (opt.tcpPort < 0 && !opt.serial) opt.tcpPort = 1502;
    if (uniqueId < 0 || uniqueId > 65530) throw vex::Exception("Unique ID out of range [0..65530]");
    if (slave < 0 || slave > 247) throw vex::Exception("Slave address out of range [1..247]");
    for (int u : opt.units)
      if (u < 0 || u > 255) throw vex::Exception("Unit identifier out of range [0..255]");
    if (verbose) opt.log = [](const std::string& s) { std::cerr << "vexemu: " << s << std::endl; };

    const vex::emu::ModelInfo info = vex::emu::ModelFor(model, bootRev, edition);
    auto dev = vex::emu::MakeDevice(info);
    const uint32_t date = !mfgDate.empty() ? ParseMfgDate(mfgDate) : uniqueId == 0 ? 0 : 0x2E0A3C00;
    dev->SetIdentity(static_cast<uint16_t>(uniqueId), date, static_cast<uint8_t>(slave));
    dev->SetBootWait(bootWait);
    dev->SetStrictUnlock(!lax);
    vex::emu::EmuServer server(std::move(dev), opt);
    gServer = &server;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    server.Open();
    std::cout << "vexemu: " << info.key << " boot=$" << vex::IntToHex(info.bootId, 4) << " app=$"
              << vex::IntToHex(info.appId, 4) << " segment=" << info.segSize << "\n";
    if (server.TcpPort() >= 0) std::cout << "tcp " << opt.bindAddr << ":" << server.TcpPort() << "\n";
    if (!server.PtyPath().empty())
      std::cout << "serial " << server.PtyPath() << " " << opt.baud << " " << opt.dataBits << opt.parity
                << opt.stopBits << "\n";
    if (server.ControlPort() >= 0) std::cout << "control 127.0.0.1:" << server.ControlPort() << "\n";
    std::cout << std::flush;
    if (!scenario.empty()) {
      const std::string r = server.Control("run " + scenario);
      if (r != "ok") throw vex::Exception(r);
    }
    server.Run();  // until a signal or "quit"
    server.Stop();
    gServer = nullptr;
  } catch (const std::exception& e) {
    std::cerr << e.what() << std::endl;
    return 1;
  }
  return 0;
}
