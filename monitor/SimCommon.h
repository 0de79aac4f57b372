// What every live panel screen shares (the annunciator simulators and the rack module
// simulators): the poll gate driven by the main window's idle dispatcher, the posted poll
// with its busy guard, the three blink phases, the remote keys with the held TEST key, the
// time line, "Sync Time", "Erase Events" with its confirmation, "Show Events", starting and
// stopping the scan and the closing rules.
//
// A screen is a GUI-free object. Its view (Qt, terminal, test) reads the public state and
// forwards clicks; the seams below stand for the clock, the confirmation box and the posted
// poll message.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "shell/Basics.h"
#include "shell/Main.h"

namespace vex {

class TPorts1;
class TEvent1;

// Colours of the panels (0x00BBGGRR).
constexpr TColor clSkyBlue = RGB(0xA6, 0xCA, 0xF0);
constexpr TColor clOrange = RGB(0xFF, 0x87, 0x0F);
constexpr TColor clLime = RGB(0x00, 0xFF, 0x00);
constexpr TColor clYellow = RGB(0xFF, 0xFF, 0x00);
constexpr TColor clTimeGood = RGB(0x80, 0xFF, 0x80);  // time line: device within 100 ms
constexpr TColor clTimeBad = RGB(0x80, 0x80, 0xFF);   // time line: 500 ms or more off

constexpr const char* cEraseQuestion =
    "All Non-Volatile Events will be Erased on Target Device, Are you sure?";

// "Now" of the screens and the wait for the next tick of the PC clock.
class ISimClock {
 public:
  virtual ~ISimClock() = default;
  virtual TDateTime Now() = 0;
  // Returns just after the next tick of the clock (cSimTickMs on the wall clock).
  virtual void WaitTick() = 0;
};

// The tick of the PC clock that the screens wait for before a poll: the poll's time stamp then
// lies just after a tick, and polls come at most once per tick.
constexpr int cSimTickMs = 16;

// The local wall clock; the wait sleeps (never spins) to the next tick boundary.
class TSystemClock : public ISimClock {
 public:
  TDateTime Now() override;
  void WaitTick() override;
  static TSystemClock& Instance();
};

// Warning boxes of the screens (OK/Cancel).
class ISimPrompts {
 public:
  virtual ~ISimPrompts() = default;
  virtual bool ConfirmWarning(const std::string& text) = 0;  // true = OK
};

// Answers every question the same way and remembers what was asked (command line, tests).
class TFixedPrompts : public ISimPrompts {
 public:
  explicit TFixedPrompts(bool answer) : Answer(answer) {}
  bool ConfirmWarning(const std::string& text) override {
    Asked.push_back(text);
    return Answer;
  }
  bool Answer;
  std::vector<std::string> Asked;
};

// Which family the hub has identified, as a screen sees it.
enum class TFamily { None, Mine, Other };

class TSimScreen {
 public:
  TSimScreen(std::string name, std::string caption, TPorts1& ports, TMain1& main, TEvent1& event);
  virtual ~TSimScreen();
  TSimScreen(const TSimScreen&) = delete;
  TSimScreen& operator=(const TSimScreen&) = delete;

  const std::string Name;     // instance name ("Vex324sim1")
  const std::string Caption;  // window caption ("Vex324 Simulator")

  // ---- the gate and the poll ----
  // Idle turn while the screen is visible: status bar, then by the identified family post
  // the poll (link open, scanning), untick "Start Scan" (link closed) or close the screen.
  void AppIdle();
  // The screen's poll message: one poll. Posted by AppIdle through PostPoll; without a
  // poster it runs at once, its failures going to the application's handler.
  virtual void DoSimul() = 0;
  // Every lamp back to the off colour (scan stopped).
  virtual void AppClean() = 0;
  virtual TFamily Family() const = 0;
  // The idle pass goes on to post the poll (scanning, link open): a screen's own step first.
  virtual void BeforePost() {}

  // ---- scanning ----
  bool Scanning() const { return CheckBox1.Checked; }
  // "Start Scan" clicked by the user (the box already shows its new state).
  virtual void CheckBox1Click();
  void StartScan();  // tick the box and start (the main window's page buttons)
  // Untick without any traffic: the lamps are cleaned (main window activation, editors
  // about to store or restart the device).
  void StopScan();
  void Show();   // the window is shown
  void Close();  // the window is closed: scanning stops

  // ---- shared handlers ----
  void Button5Click();   // "Show Events": the event window
  void Button99Click();  // "Sync Time"
  void Button98Click();  // "Erase Events", after the confirmation
  // A key: 0 then the code to register 15 (after the busy check).
  void KeyClick(TControl& sender, uint16_t code);
  void TestDown(uint16_t code, bool show);  // TEST pressed: held from now on
  void TestUp(uint16_t code, bool show);    // TEST released
  // While TEST is held, once per poll: the pressed code again (`single`: without the 0).
  void RepeatTest(uint16_t code, bool show, bool single);

  // Blink phases at poll time t; `restart` puts all three on and the next step 250 ms away.
  void Blink(TDateTime t, bool restart = false);
  // Time line from a device stamp (days since 2000, ms of day) against now.
  void TimeElapsed(uint16_t dat, uint32_t tim, TDateTime now);

  // ---- state ----
  bool Visible = false;
  std::string StatusText;  // status bar (from the hub)
  bool StatusRed = false;  // ... drawn red
  TDateTime Tim250 = 0;    // next step of the blink phases
  bool Tim4Hz = false, Tim2Hz = false, Tim1Hz = false;
  bool TstOnn = false;   // TEST held
  TDateTime TimElp = 0;  // reference of the time line's "Elapsed"
  std::string TimeLine;  // "Read=..  Elapsed=..  Difference=..  [+++]"
  TColor TimeLineColor = clBtnFace;
  uint64_t Polls = 0;  // polls run (benchmarks, terminal view)

  TControl CheckBox1;  // "Start Scan"
  TControl Button5;    // "Show Events"
  TControl Button99;   // "Sync Time"
  TControl Button98;   // "Erase Events"

  // ---- seams ----
  ISimClock* Clock = &TSystemClock::Instance();
  ISimPrompts* Prompts = nullptr;      // no prompts: erasing is refused
  std::function<void()> PostPoll;      // posts the poll message (the view); unset: run at once
  std::function<void()> Changed;       // something shown changed (the view repaints)
  std::function<void(bool)> ShowHook;  // the screen shows (true) or closes (false) itself
  // Before a scan starts: the screen's own preparation (for example the clock reference).
  std::function<void()> BeforeDiscovery;
  // After each "Discovery" of a scan start or stop (the extension controls follow AppSof).
  std::function<void()> AfterDiscovery;

  TPorts1& Ports;
  TMain1& Main;
  TEvent1& Event;

  // The screen as the main window sees it (visible, show, idle turn, start/stop scan).
  IToolWindow& Tool() { return tool_; }

 protected:
  void Notify() {
    if (Changed) Changed();
  }
  // "Discovery" of the hub; a failure unticks "Start Scan" and propagates.
  void RunDiscovery();

 private:
  class TTool : public IToolWindow {
   public:
    explicit TTool(TSimScreen& s) : s_(s) {}
    bool Visible() const override { return s_.Visible; }
    void Show() override { s_.Show(); }
    void AppIdle() override { s_.AppIdle(); }
    void StartScan() override { s_.StartScan(); }
    void StopScan() override { s_.StopScan(); }

   private:
    TSimScreen& s_;
  };
  TTool tool_{*this};
};

}  // namespace vex
