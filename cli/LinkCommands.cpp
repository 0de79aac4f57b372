// vexcli link commands: port list, detection, identification and single Modbus requests,
// on the same hub as the program and with its settings file for defaults.
#include <netdb.h>
#include <sys/socket.h>

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "comm/LinkIni.h"
#include "comm/Ports.h"

namespace vex::cli {

namespace {

// Connection options shared by every command that talks to a device.
struct LinkOptions {
  std::string ini;
  std::string port, baud, parity, node, timeout, blind;
  std::string tcp, unit;
  bool log = false;
  bool noFast = false, echo = false, rs485 = false;
  bool everyRate = false;  // --timeout and --blind go into both timing pairs (detect)
};

// Prints the hub's log as it grows (frames, status messages, errors).
class LogPrinter : public IConsole {
 public:
  void LogAppended(const std::string& line) override { std::cerr << line << "\n"; }
};

void AddLinkOptions(CLI::App* c, LinkOptions& o) {
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
  c->add_flag("--no-fast", o.noFast,
              "Turn \"Fast reply detection\" off: every reply waits for the end-of-reply silence");
  c->add_flag("--echo", o.echo, "\"Suppress echo\": drop the request echoed by a half-duplex RS-485 adapter");
  c->add_flag("--rs485", o.rs485, "Let the port's driver switch RTS around each request (RS-485 direction)");
}

int Position(const std::string& value, const char* const* texts, int count, const char* what) {
  for (int i = 0; i < count; ++i)
    if (value == texts[i]) return i;
  std::string all;
  for (int i = 0; i < count; ++i) all += std::string(i ? ", " : "") + texts[i];
  throw Exception(std::string(what) + " '" + value + "' is not one of " + all);
}

// HOST as a dotted address: numbers stay as typed (the hub normalises them), names are resolved.
std::string HostAddress(const std::string& host) {
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
    if (o.everyRate) {  // a search tries several rates: both timing pairs take the values
      if (!o.timeout.empty()) p.LabeledEdit10 = p.LabeledEdit20 = o.timeout;
      if (!o.blind.empty()) p.LabeledEdit11 = p.LabeledEdit21 = o.blind;
    }
    if (o.noFast) p.CheckBox5 = false;
    if (o.echo) p.CheckBox6 = true;
    if (o.rs485) p.CheckBox7 = true;
  }
  LogPrinter printer;  // outlives the hub, which may still log while closing
  TPorts1 p;
};

void PrintIdentification(const TPorts1& p) {
  std::cout << "Boot ID: " << p.BootId << "\n";
  std::cout << "App ID: " << p.AppId << "\n";
  std::cout << "Boot State: " << p.BootStat << "\n";
  std::cout << "Uniqe ID: " << p.UniqeId << "\n";
  std::cout << "Mfg Date: " << p.MfgDate << "\n";
  std::cout << "Modbus ID: " << p.ModbusId << "\n";
}

void PrintValues(const TPorts1& p, TTestGroup g) {
  for (const auto& line : p.Group(g).Values) std::cout << line << "\n";
}

// A command with the connection options whose action runs on a fresh hub.
CLI::App* Command(CLI::App& app, const char* name, const char* help, std::shared_ptr<LinkOptions>& o) {
  o = std::make_shared<LinkOptions>();
  CLI::App* c = app.add_subcommand(name, help);
  AddLinkOptions(c, *o);
  return c;
}

}  // namespace

void AddLinkCommands(CLI::App& app) {
  // ports
  {
    auto o = std::make_shared<LinkOptions>();
    CLI::App* c = app.add_subcommand("ports", "List the USB serial ports present");
    c->add_flag("--log", o->log, "Echo the console log (on stderr)");
    c->callback([o] {
      Hub h(*o);
      try {
        h.p.ComboBox1DropDown();
      } catch (const Exception&) {
        for (const auto& port : h.p.PortItems) std::cout << port << "\n";
        throw;
      }
      for (const auto& port : h.p.PortItems) {
        const int ms = UsbLatencyTimer(port, h.p.PortRoots);
        std::cout << port;
        if (ms >= 0) std::cout << "  latency timer " << ms << " ms" << (ms > 1 ? " (1 ms is fastest)" : "");
        std::cout << "\n";
      }
    });
  }

  // detect
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c =
        Command(app, "detect", "Search every serial port at 38400, 19200 and 57600 baud and identify", o);
    o->everyRate = true;
    auto ports = std::make_shared<std::vector<std::string>>();
    c->add_option("--ports", *ports, "Ports to search instead of the discovered ones (comma separated)")
        ->delimiter(',');
    c->callback([o, ports] {
      Hub h(*o);
      // a single --port narrows the search to that port
      h.p.FixedPorts = *ports;
      if (h.p.FixedPorts.empty() && !o->port.empty()) h.p.FixedPorts = {o->port};
      h.p.Button2Click();
      std::cout << "Target Found...\n";
      std::cout << "Port: " << h.p.ComboBox1 << "\n";
      std::cout << "Baud: " << cBaudText[h.p.ComboBox2] << " " << cParityText[h.p.ComboBox3] << "\n";
      PrintIdentification(h.p);
      std::cout << "Page: " << h.p.TargetPage << "\n";
    });
  }

  // identify
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, "identify", "Identify the device on the given link", o);
    c->callback([o] {
      Hub h(*o);
      h.p.Button51Click();
      PrintIdentification(h.p);
    });
  }

  // read / read-input
  for (const bool input : {false, true}) {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c =
        Command(app, input ? "read-input" : "read",
                input ? "Read input registers (function 0x04)" : "Read holding registers (function 0x03)", o);
    auto addr = std::make_shared<std::string>();
    auto count = std::make_shared<std::string>("1");
    c->add_option("address", *addr, "Starting address (0..65535, $hex or 0xhex)")->required();
    c->add_option("count", *count, "Quantity of registers (1..123, default 1)");
    c->callback([o, addr, count, input] {
      Hub h(*o);
      auto& g = h.p.Group(TTestGroup::Registers);
      g.First = *addr;
      g.Second = *count;
      if (input)
        h.p.SendQuery04();
      else
        h.p.SendQuery03();
      PrintValues(h.p, TTestGroup::Registers);
    });
  }

  // coils / inputs
  for (const bool inputs : {false, true}) {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, inputs ? "inputs" : "coils",
                          inputs ? "Read discrete inputs (function 0x02)" : "Read coils (function 0x01)", o);
    auto addr = std::make_shared<std::string>();
    auto count = std::make_shared<std::string>();
    c->add_option("address", *addr, "Starting address (0..65535)")->required();
    c->add_option("count", *count, "Quantity (1..512)")->required();
    c->callback([o, addr, count, inputs] {
      Hub h(*o);
      auto& g = h.p.Group(TTestGroup::Coils);
      g.First = *addr;
      g.Second = *count;
      if (inputs)
        h.p.SendQuery02();
      else
        h.p.SendQuery01();
      PrintValues(h.p, TTestGroup::Coils);
    });
  }

  // write
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(
        app, "write", "Write registers (function 0x10; one value as a single register, more as a block)", o);
    auto addr = std::make_shared<std::string>();
    auto values = std::make_shared<std::vector<std::string>>();
    c->add_option("address", *addr, "Starting address (0..65535)")->required();
    c->add_option("values", *values, "Values (0..65535: decimal, $hex or 0xhex)")->required();
    c->callback([o, addr, values] {
      Hub h(*o);
      if (values->size() == 1) {
        auto& g = h.p.Group(TTestGroup::WriteReg);
        g.First = *addr;
        g.Second = values->front();
        h.p.SendQuery06();
        return;
      }
      auto& g = h.p.Group(TTestGroup::WriteMulti);
      g.First = *addr;
      g.Second.clear();
      std::string all;
      for (const auto& v : *values) all += v + " ";
      g.Values = {all};
      h.p.SendQuery10();
    });
  }

  // write-coil
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, "write-coil", "Write one coil (function 0x05)", o);
    auto addr = std::make_shared<std::string>();
    auto value = std::make_shared<std::string>();
    c->add_option("address", *addr, "Output address (0..65535)")->required();
    c->add_option("value", *value, "on, off, or the value byte (1 is sent as ON)")->required();
    c->callback([o, addr, value] {
      Hub h(*o);
      auto& g = h.p.Group(TTestGroup::WriteCoil);
      g.First = *addr;
      g.Second = *value == "on" ? "1" : *value == "off" ? "0" : *value;
      h.p.SendQuery05();
    });
  }

  // echo
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, "echo", "Diagnostic echo (function 0x08, sub-function 0)", o);
    auto value = std::make_shared<std::string>();
    c->add_option("value", *value, "Requested value (0..65535)")->required();
    c->callback([o, value] {
      Hub h(*o);
      h.p.Group(TTestGroup::Echo).First = *value;
      h.p.SendQuery08();
      std::cout << h.p.Group(TTestGroup::Echo).Second << "\n";
    });
  }

  // boot-state
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, "boot-state", "Read the boot state (register 15)", o);
    c->callback([o] {
      Hub h(*o);
      h.p.SetConnectPort(true);
      h.p.BootState();
      std::cout << "Boot State: " << h.p.BootStat << "\n";
    });
  }

  // files
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = Command(app, "files", "Show the device's six file slots", o);
    c->callback([o] {
      Hub h(*o);
      h.p.InspectFiles();
      for (int i = 0; i < 6; ++i) std::cout << "File #" << i + 1 << ": " << h.p.FileSlots[i] << "\n";
    });
  }
}

}  // namespace vex::cli
