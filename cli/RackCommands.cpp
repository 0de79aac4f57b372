// vexcli rack: the output and pulse commands of the Vald-3 I/O module, sent as its screen's
// "Out" and "T" boxes send them; and the rack modules' panels of vexcli monitor.
#include <chrono>
#include <cmath>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>

#include "cli/Commands.h"
#include "cli/Monitor.h"
#include "comm/Ports.h"
#include "config/RegMap.h"
#include "monitor/Vex733sim.h"
#include "monitor/Vex748sim.h"

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

// ---- the rack modules' panels of vexcli monitor ----

// The 48 bits of three words of the status record, input (or output) 1 first.
nlohmann::json Bits48(const std::vector<uint16_t>& sta, int first) {
  nlohmann::json v = nlohmann::json::array();
  for (int i = 0; i < 48; ++i) v.push_back(TagSet(RackTag(first + i / 16, i % 16), sta));
  return v;
}

template <class TScreen>
class TRackPanel : public TMonitorPanel {
 public:
  explicit TRackPanel(TMonitorContext& c) : sim_(c.Ports, c.Main, c.Event) { sim_.Prompts = &yes_; }
  TSimScreen& Screen() override { return sim_; }
  void Poll() override {
    sim_.DoSimul();
    pcTime_ = sim_.Clock->Now();
  }

  nlohmann::json Json() override {
    const auto& st = sim_.Sta;
    nlohmann::json j;
    j["model"] = sim_.Def.Model;
    j["flags"] = st[3];
    j["lamps"] = {{"STATUS", ColourName(sim_.Status.Color)}, {"POWER", ColourName(sim_.Power.Color)}};
    const TDateTime dev = EventTime(st[2], DeviceMs());
    j["device_time"] = FormatDateTime("dd/mm/yy hh:nn:ss.zzz", dev);
    j["difference_ms"] = static_cast<int64_t>(std::llround((dev - pcTime_) * 86400000.0));
    nlohmann::json w = nlohmann::json::array();
    for (size_t i = 0; i < sim_.Inputs.size(); ++i)
      w.push_back({{"n", i + 1}, {"colour", ColourName(sim_.Inputs[i].Color)}});
    j["windows"] = w;
    j["inputs"] = Bits48(st, 4);
    j["active"] = sim_.Active;
    if constexpr (std::is_same_v<TScreen, TVex733sim1>) {
      j["lamps"]["IrigB Sync"] = ColourName(sim_.IrigSync.Color);
      j["lamps"]["Irig-B Lock"] = ColourName(sim_.IrigLock.Color);
      j["outputs"] = Bits48(st, Vex733Words::cOutputs);
      j["faults"] = Bits48(st, Vex733Words::cFaults);
      j["commands"] = Bits48(st, Vex733Words::cCmd);
      j["pulses"] = Bits48(st, Vex733Words::cPulses);
      j["slots"] = sim_.Slots;
    }
    return j;
  }

  std::string Draw(bool colour) override {
    std::string s =
        std::string(sim_.Def.Caption) + "   " + (sim_.Scanning() ? "scanning" : "stopped") + "\n\n";
    s += Row("Inputs ", sim_.Inputs, colour);
    if constexpr (std::is_same_v<TScreen, TVex733sim1>) {
      s += Row("Outputs", sim_.Outputs, colour);
      s += Row("Faults ", sim_.Faults, colour);
      s += "Slots:   " + sim_.Slots[0] + "  |  " + sim_.Slots[1] + "  |  " + sim_.Slots[2] + "\n";
      std::string out, pul;
      for (const auto& b : sim_.Boxes.Out) out += b.Checked ? 'X' : '.';
      for (const auto& b : sim_.Boxes.Pul) pul += b.Checked ? 'X' : '.';
      s += "Out:     " + out.substr(0, 8) + " " + out.substr(8, 8) + " " + out.substr(16) +
           "   (outputs 1-8, 17-24, 33-40)\n";
      s += "T:       " + pul.substr(0, 8) + " " + pul.substr(8, 8) + " " + pul.substr(16) + "\n";
      s += "Active inputs: " + std::to_string(sim_.Active) + "   " +
           Ansi(sim_.IrigSync.Color, " IrigB Sync ", colour) + " " +
           Ansi(sim_.IrigLock.Color, " Irig-B Lock ", colour) + "\n";
    }
    s += "\nLamps:   " + Ansi(sim_.Status.Color, " STATUS ", colour) + " " +
         Ansi(sim_.Power.Color, " POWER ", colour) + "\n";
    s += sim_.TimeLine + "\n";
    return s;
  }

  bool Key(char c) override {
    if (c != 't') return false;
    if (sim_.TstOnn)
      sim_.LampTestUp();
    else
      sim_.LampTestDown();
    return true;
  }
  std::string KeyHelp() const override {
    return std::string("t LAMP TEST ") + (sim_.TstOnn ? "(held, t releases)" : "(t holds)") + "  q quit";
  }

  bool Press(const std::string& key, int, int holdMs) override {
    if (key != "test") return false;
    sim_.LampTestDown();
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
    while (std::chrono::steady_clock::now() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::min(holdMs, 100)));
      sim_.RepeatTest(cKeyTst, sim_.Def.TestShow, false);
    }
    sim_.LampTestUp();
    return true;
  }

 private:
  // A named lamp: on its colour in a terminal, else the name and the colour's name.
  static std::string Lamp(const std::string& name, TColor c, bool colour) {
    return colour ? Ansi(c, " " + name + " ", true) : name + "=" + ColourName(c);
  }
  static std::string Row(const char* caption, const std::vector<TRackLamp>& lamps, bool colour) {
    std::string s;
    for (int r = 0; r < 3; ++r) {
      s += r == 0 ? std::string(caption) + "  " : std::string(9, ' ');
      for (int k = 0; k < 16; ++k) {
        const int n = 16 * r + k + 1;
        const TColor c = lamps[static_cast<size_t>(n - 1)].Color;
        const std::string num = (n < 10 ? "0" : "") + std::to_string(n);
        s += Ansi(c, colour || c == clLampOff ? num : "##", colour) + " ";
      }
      s += "\n";
    }
    return s;
  }
  uint32_t DeviceMs() const { return sim_.Sta[0] | static_cast<uint32_t>(sim_.Sta[1]) << 16; }

  TScreen sim_;
  TFixedPrompts yes_{true};
  TDateTime pcTime_ = 0;
};

const bool kRackPanels = [] {
  PanelMakers().push_back([](TMonitorContext& c) -> std::unique_ptr<TMonitorPanel> {
    if (c.Ports.BotMod == cVex748Fid) return std::make_unique<TRackPanel<TVex748sim1>>(c);
    if (c.Ports.BotMod == cVex733Fid) return std::make_unique<TRackPanel<TVex733sim1>>(c);
    return nullptr;
  });
  return true;
}();

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
