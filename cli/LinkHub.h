// The connection options of every vexcli command that talks to a device, and the hub they set up:
// the program's settings file for defaults, the options on top.
#pragma once

#include <netdb.h>
#include <sys/socket.h>

#include <CLI/CLI.hpp>
#include <iostream>
#include <string>

#include "comm/LinkIni.h"
#include "comm/Ports.h"

namespace vex::cli {

// Connection options shared by every command that talks to a device.
struct LinkOptions {
  std::string ini;
  std::string port, baud, parity, node, timeout, blind;
  std::string tcp, unit;
  bool log = false;
};

// Prints the hub's log as it grows (frames, status messages, errors).
class LogPrinter : public IConsole {
 public:
  void LogAppended(const std::string& line) override { std::cerr << line << "\n"; }
};

inline void AddLinkOptions(CLI::App* c, LinkOptions& o) {
  c->add_option("--ini", o.ini, "Settings file (default: vexsim.ini beside the program)");
  c->add_option("--port", o.port, "Serial port, e.g. /dev/ttyUSB0 (selects the serial link)");
  c->add_option("--baud", o.baud, "Bit rate: 1200 2400 4800 9600 19200 38400 57600 115200");
  c->add_option("--parity", o.parity, "Parity and stop bits: 8n1 8e1 8o1 8n2 8e2 8o2");
  c->add_option("--node", o.node, "Serial node address (0..255, $hex or 0xhex)");
  c->add_option("--timeout", o.timeout, "End-of-reply silence in ms");
  c->add_option("--blind", o.blind, "Reply window in ms");
  c->add_option("--tcp", o.tcp, "Modbus TCP target HOST[:PORT] (selects the network link)");
  c->add_option("--unit", o.unit, "Modbus TCP unit identifier (1..31)");
  c->add_flag("--log", o.log, "Echo every frame and message as the console log does (on stderr)");
}

inline int Position(const std::string& value, const char* const* texts, int count, const char* what) {
  for (int i = 0; i < count; ++i)
    if (value == texts[i]) return i;
  std::string all;
  for (int i = 0; i < count; ++i) all += std::string(i ? ", " : "") + texts[i];
  throw Exception(std::string(what) + " '" + value + "' is not one of " + all);
}

// HOST as a dotted address: numbers stay as typed (the hub normalises them), names are resolved.
inline std::string HostAddress(const std::string& host) {
  if (!host.empty() && host.find_first_not_of("0123456789.") == std::string::npos) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || !res)
    throw Exception("Unknown host '" + host + "'");
  char buf[64] = {};
  getnameinfo(res->ai_addr, res->ai_addrlen, buf, sizeof buf, nullptr, 0, NI_NUMERICHOST);
  freeaddrinfo(res);
  return buf;
}

// The hub with the settings of the file, overridden by the options.
struct Hub {
  explicit Hub(const LinkOptions& o) {
    p.IniPath = o.ini.empty() ? IniPathOf("vexsim") : o.ini;
    p.LoadSettings();
    if (o.log) p.SetConsole(&printer);
    if (!o.port.empty()) {
      p.ActivePage = lpComm;
      p.ComboBox1 = o.port;
    }
    if (!o.tcp.empty()) {
      p.ActivePage = lpNetwork;
      std::string host = o.tcp;
      const size_t colon = host.rfind(':');
      if (colon != std::string::npos) {
        p.LabeledEdit31 = host.substr(colon + 1);
        host.resize(colon);
      }
      p.LabeledEdit30 = HostAddress(host);
    }
    if (!o.baud.empty())
      p.ComboBox2Change(Position(o.baud, cBaudText, static_cast<int>(std::size(cBaudText)), "Baud"));
    if (!o.parity.empty())
      p.ComboBox3 = Position(o.parity, cParityText, static_cast<int>(std::size(cParityText)), "Parity");
    if (!o.node.empty()) p.LabeledEdit1 = o.node;
    if (!o.unit.empty()) p.LabeledEdit32 = o.unit;
    const bool net = p.NetworkActive();
    if (!o.timeout.empty()) (net ? p.LabeledEdit33 : p.TimeoutEdit()) = o.timeout;
    if (!o.blind.empty()) (net ? p.LabeledEdit34 : p.BlindEdit()) = o.blind;
  }
  LogPrinter printer;  // outlives the hub, which may still log while closing
  TPorts1 p;
};

}  // namespace vex::cli
