// vexcli link commands: port list, detection, identification and single Modbus requests,
// on the same hub as the program and with its settings file for defaults.
#include <netdb.h>
#include <sys/socket.h>

#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/LinkHub.h"
#include "comm/LinkIni.h"
#include "comm/Ports.h"

namespace vex::cli {

namespace {

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

std::function<TPorts1&()> AddHubOptions(CLI::App* c) {
  auto o = std::make_shared<LinkOptions>();
  AddLinkOptions(c, *o);
  auto hub = std::make_shared<std::unique_ptr<Hub>>();
  return [o, hub]() -> TPorts1& {
    if (!*hub) *hub = std::make_unique<Hub>(*o);
    return (*hub)->p;
  };
}

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
      for (const auto& port : h.p.PortItems) std::cout << port << "\n";
    });
  }

  // detect
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c =
        Command(app, "detect", "Search every serial port at 38400, 19200 and 57600 baud and identify", o);
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
