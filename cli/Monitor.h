// vexcli monitor: the live panel of a device in the terminal. Each kind of device has a panel
// (the annunciators' here, others add theirs to PanelMakers()); the command identifies the
// device and takes the first panel that serves it.
#pragma once

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "comm/Event.h"
#include "monitor/SimCommon.h"
#include "shell/Main.h"

namespace vex::cli {

// What a screen of the program needs besides the hub: the main window (busy check, error
// handler) and the event window. Made once per command on the command's hub.
struct TMonitorContext {
  explicit TMonitorContext(TPorts1& ports);
  TPorts1& Ports;
  std::unique_ptr<IMainLink> Link;
  struct NoDesktop : IDesktop {
    bool RaiseWindow(const std::string&) override { return false; }
    bool FileExists(const std::string&) const override { return false; }
    void Open(const std::string&) override {}
  } Desktop;
  TMain1 Main;
  TEvent1 Event;
};

class TMonitorPanel {
 public:
  virtual ~TMonitorPanel() = default;
  virtual TSimScreen& Screen() = 0;
  virtual void Poll() { Screen().DoSimul(); }
  // One JSON object for scripts (the keys are documented in the README).
  virtual nlohmann::json Json() = 0;
  // The terminal picture, lines ending in '\n'; `colour`: ANSI colours.
  virtual std::string Draw(bool colour) = 0;
  // A key typed in the terminal; false when it is not one of the panel's.
  virtual bool Key(char c) = 0;
  // Keys shown under the picture.
  virtual std::string KeyHelp() const = 0;
  // Remote keys by name ("reset", "horn", "ack", "test"); "window" presses window n. False when
  // the panel has no such key.
  virtual bool Press(const std::string& key, int n, int holdMs) = 0;
};

// Tried in order on the identified device; a maker returns nullptr for a device it does not serve.
using TPanelMaker = std::function<std::unique_ptr<TMonitorPanel>(TMonitorContext&)>;
std::vector<TPanelMaker>& PanelMakers();

// Identifies the device on the hub and makes its panel; throws when no panel serves it.
std::unique_ptr<TMonitorPanel> MakePanel(TMonitorContext& c);

// Text and ANSI colour of a lamp colour, as the terminal shows them.
std::string ColourName(TColor c);                                  // "Off", "Red", "Green", "SkyBlue", ...
std::string Ansi(TColor c, const std::string& text, bool colour);  // text on the lamp's colour

}  // namespace vex::cli
