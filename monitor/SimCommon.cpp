#include "monitor/SimCommon.h"

#include <time.h>

#include <cmath>

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/RegMap.h"

namespace vex {

namespace {
constexpr double cMsPerDay = 86400000.0;
constexpr double c250ms = 250.0 / cMsPerDay;
}  // namespace

// ---- clock -----------------------------------------------------------------------

TDateTime TSystemClock::Now() { return NowLocal(); }

void TSystemClock::WaitTick() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  // sleep to just past the next tick boundary of the wall clock
  constexpr long tick = cSimTickMs * 1000000L;
  const long into = static_cast<long>((ts.tv_sec % 1000) * 1000000000L + ts.tv_nsec) % tick;
  timespec d{0, tick - into + 20000};
  nanosleep(&d, nullptr);
}

TSystemClock& TSystemClock::Instance() {
  static TSystemClock c;
  return c;
}

// ---- screen ----------------------------------------------------------------------

TSimScreen::TSimScreen(std::string name, std::string caption, TPorts1& ports, TMain1& main, TEvent1& event)
    : Name(std::move(name)),
      Caption(std::move(caption)),
      CheckBox1("Start Scan", TControl::Kind::CheckBox, [this](TControl&) { CheckBox1Click(); }),
      Button5("Show Events", TControl::Kind::Button, [this](TControl&) { Button5Click(); }),
      Button99("Sync Time", TControl::Kind::Button, [this](TControl&) { Button99Click(); }),
      Button98("Erase Events", TControl::Kind::Button, [this](TControl&) { Button98Click(); }),
      Ports(ports),
      Main(main),
      Event(event) {}

TSimScreen::~TSimScreen() = default;

void TSimScreen::AppIdle() {
  const TPorts1::TStatBar sb = Ports.StatBar();
  if (sb.Text != StatusText || sb.Red != StatusRed) {
    StatusText = sb.Text;
    StatusRed = sb.Red;
    Notify();
  }
  switch (Family()) {
    case TFamily::None:
      return;
    case TFamily::Other:
      Close();
      return;
    case TFamily::Mine:
      break;
  }
  if (!Ports.ConnectPortChecked()) {
    if (CheckBox1.Checked) {
      CheckBox1.Checked = false;
      Notify();
    }
    return;
  }
  if (!CheckBox1.Checked) return;
  BeforePost();
  if (PostPoll)
    PostPoll();
  else
    Main.Guard([this] { DoSimul(); });
}

void TSimScreen::RunDiscovery() {
  try {
    Ports.Button1Click();
  } catch (...) {
    CheckBox1.Checked = false;
    Notify();
    throw;
  }
  if (AfterDiscovery) AfterDiscovery();
}

void TSimScreen::CheckBox1Click() {
  if (CheckBox1.Checked) {
    if (BeforeDiscovery) BeforeDiscovery();
    RunDiscovery();
  } else {
    AppClean();
  }
  Notify();
}

void TSimScreen::StartScan() {
  if (CheckBox1.Checked) return;
  CheckBox1.Checked = true;
  CheckBox1Click();
}

void TSimScreen::StopScan() {
  if (!CheckBox1.Checked) return;
  CheckBox1.Checked = false;
  AppClean();
  Notify();
}

void TSimScreen::Show() {
  const bool was = Visible;
  Visible = true;
  if (!was && ShowHook) ShowHook(true);
}

void TSimScreen::Close() {
  StopScan();
  if (!Visible) return;
  Visible = false;
  if (ShowHook) ShowHook(false);
  Notify();
}

// ---- shared handlers -----------------------------------------------------------

void TSimScreen::Button5Click() {
  if (IToolWindow* w = Main.Tool("Event1"))
    w->Show();
  else
    Event.Visible = true;
}

void TSimScreen::Button99Click() {
  if (Main.IsBusy(&Button99, false)) return;
  Clock->WaitTick();
  const TDateTime now = Clock->Now();
  TimElp = now;
  const double d = now - cBase2000;
  const double days = std::floor(d);
  const auto ms = static_cast<uint32_t>((d - days) * cMsPerDay);
  const uint16_t w[3] = {static_cast<uint16_t>(ms & 0xFFFF), static_cast<uint16_t>(ms >> 16),
                         static_cast<uint16_t>(days)};
  Ports.ModWriteMulti(cRegTime, 3, w, true);
  Notify();
}

void TSimScreen::Button98Click() {
  if (Main.IsBusy(&Button98, false)) return;
  if (!Prompts || !Prompts->ConfirmWarning(cEraseQuestion)) return;
  Ports.ModWrite(cRegCommand, xCmdEnb, true);
  Ports.ModWrite(cRegCommand, xCmdErs, true);
}

void TSimScreen::KeyClick(TControl& sender, uint16_t code) {
  if (Main.IsBusy(&sender, false)) return;
  Ports.ModWrite(cRegCommand, 0, true);
  Ports.ModWrite(cRegCommand, code, true);
}

void TSimScreen::TestDown(uint16_t code, bool show) {
  if (Main.IsBusy(nullptr, false)) return;
  Ports.ModWrite(cRegCommand, 0, show);
  Ports.ModWrite(cRegCommand, code, show);
  TstOnn = true;
  Notify();
}

void TSimScreen::TestUp(uint16_t code, bool show) {
  TstOnn = false;
  Notify();
  if (Main.IsBusy(nullptr, false)) return;
  Ports.ModWrite(cRegCommand, 0, show);
  Ports.ModWrite(cRegCommand, code, show);
}

void TSimScreen::RepeatTest(uint16_t code, bool show, bool single) {
  if (!TstOnn) return;
  if (!single) Ports.ModWrite(cRegCommand, 0, show);
  Ports.ModWrite(cRegCommand, code, show);
}

void TSimScreen::Blink(TDateTime t, bool restart) {
  if (restart) {
    Tim4Hz = Tim2Hz = Tim1Hz = true;
    Tim250 = t + c250ms;
  }
  if (t > Tim250) {
    Tim250 = t + c250ms;
    Tim4Hz = !Tim4Hz;
    if (Tim4Hz) {
      Tim2Hz = !Tim2Hz;
      if (Tim2Hz) Tim1Hz = !Tim1Hz;
    }
  }
}

void TSimScreen::TimeElapsed(uint16_t dat, uint32_t tim, TDateTime now) {
  const TDateTime dev = EventTime(dat, tim);
  const double diff = dev - now;
  const double mag = std::fabs(diff);
  std::string text = "Read=" + FormatDateTime("dd/mm/yy hh:nn:ss.zzz", dev) +
                     "  Elapsed=" + FormatDateTime("hh:nn:ss.zzz", now - TimElp) +
                     "  Difference=" + FormatDateTime("hh:nn:ss.zzz", mag) + "  [" +
                     (diff > 0 ? "+++" : "---") + "]";
  const double ms = mag * cMsPerDay;
  const TColor c = ms < 100 ? clTimeGood : ms < 500 ? clBtnFace : clTimeBad;
  if (text != TimeLine || c != TimeLineColor) {
    TimeLine = std::move(text);
    TimeLineColor = c;
  }
}

}  // namespace vex
