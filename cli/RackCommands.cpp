// vexcli rack: the output and pulse commands of the Vald-3 I/O module, sent as its screen's
// "Out" and "T" boxes send them.
#include <iostream>
#include <memory>
#include <string>

#include "cli/Commands.h"
#include "comm/Ports.h"
#include "config/RegMap.h"
#include "monitor/Vex733sim.h"

namespace vex::cli {

namespace {

// Identifies the device and refuses anything but the I/O module.
void RequireVald3(TPorts1& p) {
  p.Button51Click();
  if (p.BotMod != cVex733Fid)
    throw Exception("Not a Vald-3 I/O module: Boot ID " +
                    (p.BootId.empty() ? std::string("none") : p.BootId));
}

int OutputNumber(const std::string& text) {
  PlainField f(text, "Output");
  return static_cast<int>(LbEdttoInt(f, 1, 48));
}

void Send(TPorts1& p, int n, bool pulse, bool on) {
  RequireVald3(p);
  TVex733Boxes b;
  b.Command(n, pulse, on);
  const uint16_t word = SendBoxCommand(p, b);
  std::cout << "Register " << b.CmdReg() << " = 0x" << IntToHex(word, 4) << "\n";
}

}  // namespace

void AddRackCommands(CLI::App& app) {
  CLI::App* rack = app.add_subcommand("rack", "Output commands of the Vald-3 I/O module");
  rack->require_subcommand(1);

  auto n = std::make_shared<std::string>();
  auto state = std::make_shared<std::string>();
  CLI::App* out =
      LinkCommand(*rack, "out",
                  "Switch output N (1..48) on or off: its command word (registers 64..66) is read and "
                  "written back with that bit changed, as the screen's \"Out\" box does",
                  [n, state](TPorts1& p) { Send(p, OutputNumber(*n), false, *state == "on"); });
  out->add_option("N", *n, "Output number 1..48 (decimal, $hex or 0xhex)")->required();
  out->add_option("state", *state, "on or off")->required()->check(CLI::IsMember({"on", "off"}));
  out->footer("Exit codes: 0 done, 1 the device refused or did not answer (message on stderr).");

  auto pn = std::make_shared<std::string>();
  CLI::App* pulse =
      LinkCommand(*rack, "pulse",
                  "Pulse output N (1..48): only its bit is written to its pulse word (registers "
                  "70..72), as the screen's \"T\" box does; other running pulses go on",
                  [pn](TPorts1& p) { Send(p, OutputNumber(*pn), true, true); });
  pulse->add_option("N", *pn, "Output number 1..48 (decimal, $hex or 0xhex)")->required();
  pulse->footer("Exit codes: 0 done, 1 the device refused or did not answer (message on stderr).");
}

}  // namespace vex::cli
