// vexcli monitor, key, sync-time, events, erase-events: the simulator screens of the program
// on the command line.
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <iostream>
#include <thread>

#include "cli/Commands.h"
#include "cli/Monitor.h"
#include "comm/Ports.h"
#include "config/IsaMaps.h"
#include "monitor/SimSampling.h"
#include "monitor/VexSim.h"
#include "shell/Instances.h"

namespace vex::cli {

TMonitorContext::TMonitorContext(TPorts1& ports)
    : Ports(ports), Link(MakeMainLink(ports)), Main(*Link, Desktop) {}

std::vector<TPanelMaker>& PanelMakers() {
  static std::vector<TPanelMaker> makers;
  return makers;
}

std::string ColourName(TColor c) {
  if (c == clBtnFace) return "Off";
  for (int i = 0; i < 8; ++i)
    if (c == cRenk[i]) return i == 0 ? "Grey" : cRenks[i];
  if (c == clSkyBlue) return "SkyBlue";
  if (c == clOrange) return "Orange";
  return "#" + IntToHex(c & 0xFF, 2) + IntToHex(c >> 8 & 0xFF, 2) + IntToHex(c >> 16 & 0xFF, 2);
}

std::string Ansi(TColor c, const std::string& text, bool colour) {
  if (!colour || c == clBtnFace) return text;
  const unsigned r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
  const bool light = (r * 299 + g * 587 + b * 114) / 1000 > 110;
  return "\x1b[48;2;" + std::to_string(r) + ";" + std::to_string(g) + ";" + std::to_string(b) + "m" +
         (light ? "\x1b[30m" : "\x1b[97m") + text + "\x1b[0m";
}

namespace {

// Sky blue letters of the state indicators.
std::string Lit(const std::string& s, bool colour) {
  return colour ? "\x1b[38;2;166;202;240m\x1b[1m" + s + "\x1b[0m" : s;
}

// ---- the annunciators' panel ----------------------------------------------------------

class TAnnunciatorPanel : public TMonitorPanel {
 public:
  TAnnunciatorPanel(const TSimMember& m, TMonitorContext& c) : sim_(m, c.Ports, c.Main, c.Event), c_(c) {
    sim_.Prompts = &yes_;
  }
  TSimScreen& Screen() override { return sim_; }

  nlohmann::json Json() override {
    nlohmann::json j;
    j["model"] = sim_.Def.Model;
    j["flags"] = sim_.Sta[3];
    j["lamps"] = {{"T", ColourName(sim_.Fixed.T)}, {"H", ColourName(sim_.Fixed.H)}};
    const uint16_t f = sim_.Sta[3];
    nlohmann::json o = {{"HORN", (f & 0x100) != 0}, {"BELL", (f & 0x200) != 0}, {"FAULT", (f & 0x800) != 0}};
    if (sim_.Def.Extras == TExtras::Clock216) {
      o["TimeValid"] = (f & 0x20) != 0;
      o["Sync"] = (f & 0x40) != 0;
      o["ExQ"] = (f & 0x400) != 0;
      o["DXMode"] = (f & 0x80) != 0;
    } else if (sim_.Def.Extras == TExtras::Sync9xx) {
      o["TimeSync"] = (f & 0x20) != 0;
      o["DXMode"] = (f & 0x80) != 0;
    }
    j["outputs"] = o;
    if (HasClock()) {
      const TDateTime dev = EventTime(sim_.Sta[2], DeviceMs());
      j["device_time"] = FormatDateTime("dd/mm/yy hh:nn:ss.zzz", dev);
      j["difference_ms"] = static_cast<int64_t>(std::llround((dev - pcTime_) * 86400000.0));
    } else {
      j["device_time"] = nullptr;
      j["difference_ms"] = nullptr;
    }
    nlohmann::json w = nlohmann::json::array();
    for (int n = 1; n <= sim_.Def.Windows; ++n)
      w.push_back({{"n", n}, {"colour", WindowColour(n)}, {"states", sim_.States(n)}});
    j["windows"] = w;
    return j;
  }

  std::string Draw(bool colour) override {
    const TSimMember& m = sim_.Def;
    std::string s = std::string(m.Caption) + "   " + (sim_.Scanning() ? "scanning" : "stopped") + "\n\n";
    // rows of the columns side by side
    int rows = 0;
    for (int c : m.Columns) rows = std::max(rows, c);
    std::vector<int> first;
    int n = 1;
    for (int c : m.Columns) {
      first.push_back(c ? n : 0);
      n += c;
    }
    for (int r = 0; r < rows; ++r) {
      for (size_t k = 0; k < 4; ++k) {
        const int c = m.Columns[k];
        if (!c) continue;
        if (r >= c) {
          s += std::string(15, ' ');
          continue;
        }
        const int w = first[k] + r;
        const TWindowLamps& l = sim_.Panel[static_cast<size_t>(w - 1)];
        const std::string num = (w < 10 ? " 0" : " ") + std::to_string(w) + " ";
        s += Ansi(l.Lamp.Color, num, colour) + " ";
        const std::string st = sim_.States(w);
        for (size_t i = 0; i < st.size(); ++i)
          s += st[i] == '.' ? std::string(".") : Lit(std::string(1, st[i]), colour);
        s += std::string(10 - st.size(), ' ');
      }
      s += "\n";
    }
    s += "\n";
    s += "Panel:   H " + Ansi(sim_.Fixed.H, " " + ColourName(sim_.Fixed.H) + " ", colour) + "   T " +
         Ansi(sim_.Fixed.T, " " + ColourName(sim_.Fixed.T) + " ", colour) + "\n";
    s += "Outputs: " + Ansi(sim_.Fixed.Horn, " HORN ", colour) + " " +
         Ansi(sim_.Fixed.Bell, " BELL ", colour) + " " +
         Ansi(sim_.Fixed.Third, std::string(" ") + m.ThirdOutput + " ", colour);
    if (m.Extras == TExtras::Clock216)
      s += " " + Ansi(sim_.Fixed.TimeValid, " Time Valid ", colour) + " " +
           Ansi(sim_.Fixed.Sync, " Sync ", colour) + " " + Ansi(sim_.Fixed.ExQ, " ExQ ", colour) + " " +
           Ansi(sim_.Fixed.DxMode, " DX Mode ", colour);
    else if (m.Extras == TExtras::Sync9xx)
      s += " " + Ansi(sim_.Fixed.TimeSync, " Time Sync ", colour) + " " +
           Ansi(sim_.Fixed.DxMode, " DX Mode ", colour);
    s += "\n";
    if (HasClock()) {
      const TDateTime dev = EventTime(sim_.Sta[2], DeviceMs());
      const double diff = (dev - pcTime_) * 86400000.0;
      s += "Device:  " + FormatDateTime("dd/mm/yy hh:nn:ss.zzz", dev) +
           "   PC: " + FormatDateTime("dd/mm/yy hh:nn:ss.zzz", pcTime_) +
           "   Difference: " + std::to_string(static_cast<int64_t>(std::llround(diff))) + " ms\n";
    }
    s += "Indicators: I input  A alarm  H holding  S sounding  F first alarm  M momentary  K acked  R "
         "ringback\n";
    return s;
  }

  void Poll() override {
    sim_.DoSimul();
    pcTime_ = sim_.Clock->Now();
  }

  bool Key(char c) override {
    switch (c) {
      case 'r':
        sim_.Button1Click();
        return true;
      case 'h':
        sim_.Button2Click();
        return true;
      case 'a':
        sim_.Button4Click();
        return true;
      case 't':
        if (sim_.TstOnn)
          sim_.Button3MouseUp();
        else
          sim_.Button3MouseDown();
        return true;
      default:
        return false;
    }
  }
  std::string KeyHelp() const override {
    return std::string("r RESET  h HORN  a ACK  t TEST ") +
           (sim_.TstOnn ? "(held, t releases)" : "(t holds)") + "  q quit";
  }

  bool Press(const std::string& key, int n, int holdMs) override {
    if (key == "reset")
      sim_.Button1Click();
    else if (key == "horn")
      sim_.Button2Click();
    else if (key == "ack")
      sim_.Button4Click();
    else if (key == "window") {
      PlainField f(std::to_string(n), "Window");
      sim_.LabelX01Click(static_cast<int>(LbEdttoInt(f, 1, sim_.Def.Windows)));
    } else if (key == "test") {
      sim_.Button3MouseDown();
      // held: the pressed code again every poll, as the screen does
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(holdMs);
      while (std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(holdMs, 100)));
        sim_.RepeatTest(sim_.KeyCode(2), false, sim_.Def.TestSingle);
      }
      sim_.Button3MouseUp();
    } else {
      return false;
    }
    return true;
  }

  TVexSim& Sim() { return sim_; }

 private:
  bool HasClock() const {
    if (sim_.Def.Source == TStaSource::Full48) return true;
    const int sof = c_.Ports.AppSof;
    if (sim_.Def.Source == TStaSource::ByApp316) return sof == 17;
    if (sim_.Def.Source == TStaSource::ByApp216)
      return sof != 1 && sim_.Sta[0] + sim_.Sta[1] + sim_.Sta[2] != 0;
    return false;
  }
  uint32_t DeviceMs() const { return sim_.Sta[0] | static_cast<uint32_t>(sim_.Sta[1]) << 16; }
  std::string WindowColour(int n) const {
    const int i = sim_.ColourIndex(n);
    if (sim_.Def.Colours == 3) return cRenks[i];
    return (i & 1) ? "Red" : (i & 2) ? "Green" : "Off";
  }

  TVexSim sim_;
  TMonitorContext& c_;
  TFixedPrompts yes_{true};
  TDateTime pcTime_ = 0;
};

// Registers the annunciators' panel before any other.
const bool kAnnunciators = [] {
  PanelMakers().insert(PanelMakers().begin(), [](TMonitorContext& c) -> std::unique_ptr<TMonitorPanel> {
    for (const TSimMember& m : SimMembers()) {
      const int id = m.ByBotReg ? c.Ports.BotReg : c.Ports.BotMod;
      if (id == m.Family) return std::make_unique<TAnnunciatorPanel>(m, c);
    }
    return nullptr;
  });
  return true;
}();

// ---- the terminal -------------------------------------------------------------------

volatile std::sig_atomic_t gStop = 0;
void OnStop(int) { gStop = 1; }

// Raw keys without echo while the monitor runs; the old modes come back at the end.
class RawTerminal {
 public:
  RawTerminal() {
    if (!isatty(0)) return;
    if (tcgetattr(0, &old_) != 0) return;
    termios t = old_;
    t.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    on_ = tcsetattr(0, TCSANOW, &t) == 0;
  }
  ~RawTerminal() {
    if (on_) tcsetattr(0, TCSANOW, &old_);
  }
  // Waits up to ms for a key; 0 when none came.
  char Key(int ms) const {
    pollfd p{0, POLLIN, 0};
    if (::poll(&p, 1, ms) <= 0) return 0;
    char c = 0;
    return ::read(0, &c, 1) == 1 ? c : 0;
  }

 private:
  termios old_{};
  bool on_ = false;
};

struct StopSignals {
  StopSignals() {
    gStop = 0;
    std::signal(SIGINT, OnStop);
    std::signal(SIGTERM, OnStop);
  }
  ~StopSignals() {
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
  }
};

void Scan(TMonitorPanel& p) {
  TSimScreen& s = p.Screen();
  s.Show();
  s.CheckBox1.Checked = true;
  s.CheckBox1Click();  // "Discovery" again, as the screen does
}

void RunMonitor(TPorts1& ports, bool once, bool json) {
  TMonitorContext c(ports);
  std::unique_ptr<TMonitorPanel> p = MakePanel(c);
  Scan(*p);
  if (once) {
    p->Poll();
    if (json)
      std::cout << p->Json().dump() << "\n";
    else
      std::cout << p->Draw(isatty(1)) << std::flush;
    return;
  }
  StopSignals signals;
  RawTerminal term;
  const bool tty = isatty(1);
  std::string shown;
  if (tty) std::cout << "\x1b[?25l\x1b[2J" << std::flush;  // cursor hidden, screen cleared
  try {
    while (!gStop) {
      p->Poll();
      if (json) {
        std::cout << p->Json().dump() << std::endl;
      } else {
        const std::string pic = p->Draw(tty) + p->KeyHelp() + "\n";
        if (pic != shown) {
          shown = pic;
          std::cout << (tty ? "\x1b[H" : "") << pic << (tty ? "\x1b[J" : "\n") << std::flush;
        }
      }
      const char k = term.Key(json || !tty ? 200 : 20);
      if (k == 'q' || k == 3) break;
      if (k) p->Key(k);
    }
  } catch (...) {
    if (tty) std::cout << "\x1b[?25h" << std::flush;
    throw;
  }
  if (tty) std::cout << "\x1b[?25h" << std::flush;
}

}  // namespace

std::unique_ptr<TMonitorPanel> MakePanel(TMonitorContext& c) {
  c.Ports.Button1Click();  // "Discovery": connect and identify
  for (const TPanelMaker& m : PanelMakers())
    if (auto p = m(c)) return p;
  throw Exception(
      "No live panel for this device (Boot ID: " + (c.Ports.BootId.empty() ? "none" : c.Ports.BootId) + ")");
}

void AddMonitorCommands(CLI::App& app) {
  // monitor
  {
    auto once = std::make_shared<bool>(false), json = std::make_shared<bool>(false);
    CLI::App* c = LinkCommand(app, "monitor",
                              "Live front panel of the device, refreshed in place until Ctrl+C or q; "
                              "keys: r RESET, h HORN, a ACK, t TEST (hold/release)",
                              [once, json](TPorts1& p) { RunMonitor(p, *once, *json); });
    c->add_flag("--once", *once, "One poll, then print the panel (or its JSON) and end");
    c->add_flag("--json", *json, "Print one JSON object per poll (see README for the keys)");
    c->footer("Exit codes: 0 done, 1 device or link failure (message on stderr).");
  }

  // key
  {
    auto key = std::make_shared<std::string>();
    auto n = std::make_shared<std::string>();
    auto hold = std::make_shared<int>(0);
    CLI::App* c =
        LinkCommand(app, "key", "Press a key of the panel: reset, horn, ack, test [--hold MS], window N",
                    [key, n, hold](TPorts1& p) {
                      TMonitorContext c(p);
                      auto panel = MakePanel(c);
                      int w = 0;
                      if (*key == "window") {
                        PlainField f(*n, "Window");
                        if (n->empty()) throw Exception("Window number missing");
                        w = static_cast<int>(LbEdttoInt(f, 1, 48));
                      }
                      if (!panel->Press(*key, w, *hold))
                        throw Exception("Unknown key '" + *key + "' (reset, horn, ack, test, window N)");
                      std::cout << *key << (w ? " " + std::to_string(w) : "") << " pressed\n";
                    });
    c->add_option("key", *key, "reset | horn | ack | test | window")
        ->required()
        ->check(CLI::IsMember({"reset", "horn", "ack", "test", "window"}));
    c->add_option("number", *n, "Window number (window)");
    c->add_option("--hold", *hold, "TEST: hold the key this many ms (sent again every 100 ms)")
        ->check(CLI::Range(0, 600000));
    c->footer("Exit codes: 0 sent, 1 device or link failure, or a window out of range.");
  }

  // sync-time
  {
    CLI::App* c =
        LinkCommand(app, "sync-time", "Set the device clock to the PC clock (\"Sync Time\")", [](TPorts1& p) {
          TMonitorContext c(p);
          auto panel = MakePanel(c);
          TSimScreen& s = panel->Screen();
          auto* a = dynamic_cast<TAnnunciatorPanel*>(panel.get());
          if (a && !a->Sim().Def.TimeLine)
            throw Exception("Sync Time is not available on " + std::string(a->Sim().Def.Model));
          s.Button99Click();
          std::cout << "Device time set to " << FormatDateTime("dd/mm/yy hh:nn:ss.zzz", s.TimElp) << "\n";
        });
    c->footer("Exit codes: 0 set, 1 device or link failure, or a device without a settable clock.");
  }

  // events
  {
    auto follow = std::make_shared<bool>(false);
    CLI::App* c = LinkCommand(app, "events", "Print the device's new events as the event window shows them",
                              [follow](TPorts1& p) {
                                TMonitorContext c(p);
                                auto panel = MakePanel(c);
                                struct Printer : IEventView {
                                  void LineAdded(const std::string& l) override {
                                    std::cout << l << std::endl;
                                  }
                                  void FirstLineRemoved() override {}
                                  void Cleared() override {}
                                } printer;
                                c.Event.SetView(&printer);
                                c.Event.Visible = true;
                                Scan(*panel);
                                if (auto* a = dynamic_cast<TAnnunciatorPanel*>(panel.get())) {
                                  TVexSim& v = a->Sim();
                                  if (v.Def.EventShow < 0 && !v.Sampling)
                                    throw Exception(std::string("No event log on ") + v.Def.Model);
                                  if (v.Sampling) {
                                    if (!v.Sampling->SetTimeEnabled)
                                      throw Exception("This edition of the device keeps no samples");
                                    v.Sampling->SetTime = true;
                                  }
                                }
                                StopSignals signals;
                                // without --follow: until a few polls bring nothing new
                                size_t quiet = 0, lines = c.Event.Lines().size();
                                while (!gStop && (*follow || quiet < 5)) {
                                  panel->Poll();
                                  const size_t now = c.Event.Lines().size();
                                  quiet = now == lines ? quiet + 1 : 0;
                                  lines = now;
                                  if (*follow) std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                }
                                c.Event.SetView(nullptr);
                              });
    c->add_flag("--follow", *follow, "Keep printing new events until Ctrl+C");
    c->footer("Exit codes: 0 done, 1 device or link failure, or a device without an event log.");
  }

  // erase-events
  {
    auto yes = std::make_shared<bool>(false);
    CLI::App* c = LinkCommand(app, "erase-events", "Erase the event memory of the device (needs --yes)",
                              [yes](TPorts1& p) {
                                if (!*yes)
                                  throw Exception(std::string(cEraseQuestion) + " Give --yes to erase.");
                                TMonitorContext c(p);
                                auto panel = MakePanel(c);
                                TSimScreen& s = panel->Screen();
                                TFixedPrompts ok(true);
                                s.Prompts = &ok;
                                s.Button98Click();
                                s.Prompts = nullptr;
                                std::cout << "Events erased\n";
                              });
    c->add_flag("--yes", *yes, "Confirm: all non-volatile events of the device are erased");
    c->footer("Exit codes: 0 erased, 1 not confirmed, device or link failure.");
  }
}

}  // namespace vex::cli
