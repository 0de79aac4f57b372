#include "monitor/RackSim.h"

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/RegMap.h"

namespace vex {

const TRackMember cVex748Member{
    "Vex748sim1", "Vex748 Simulator", "Vex748", static_cast<uint8_t>(cVex748Fid), 7, true};
const TRackMember cVex733Member{
    "Vex733sim1", "Vald-3 Simulator", "Vex733", static_cast<uint8_t>(cVex733Fid), 25, false};

TRackSim::TRackSim(const TRackMember& m, TPorts1& ports, TMain1& main, TEvent1& event)
    : TSimScreen(m.Name, m.Caption, ports, main, event), Def(m), Sta(static_cast<size_t>(m.StaWords), 0) {
  Button5.OnClick = [this](TControl&) { ShowEventsClick(); };
  // The time line's "Elapsed" counts from the start of the scan until "Sync Time" sets it anew.
  BeforeDiscovery = [this] { TimElp = Clock->Now(); };
}

TFamily TRackSim::Family() const {
  if (Ports.BotMod == 0) return TFamily::None;
  return Ports.BotMod == Def.Fid ? TFamily::Mine : TFamily::Other;
}

void TRackSim::AppClean() {
  Status.Set(clLampOff);
  Power.Set(clLampOff);
  for (TRackLamp& l : Inputs) l.Set(clLampOff);
  Active = 0;
  Notify();
}

void TRackSim::CheckBox1Click() {
  TSimScreen::CheckBox1Click();
  if (!CheckBox1.Checked && Ports.ConnectPortChecked()) Ports.SetConnectPort(false);
}

void TRackSim::FormClose() {
  if (CheckBox1.Checked) {
    CheckBox1.Checked = false;
    CheckBox1Click();
  }
  Close();
}

void TRackSim::ShowEventsClick() {
  if (Main.IsBusy(&Button5, false)) return;
  Button5Click();
  StartScan();
}

void TRackSim::LampTestDown() { TestDown(cKeyTst, true); }
void TRackSim::LampTestUp() { TestUp(cKeyTsx, true); }
void TRackSim::RepeatLampTest() { RepeatTest(cKeyTst, Def.TestShow, false); }

bool TRackSim::PollEntry(TDateTime& t) {
  if (!CheckBox1.Checked || Ports.ComBsy) return false;
  Clock->WaitTick();
  t = Clock->Now();
  ++Polls;
  return true;
}

void TRackSim::CommonUpdate(TDateTime t) {
  const uint32_t tim = static_cast<uint32_t>(Sta[0]) | static_cast<uint32_t>(Sta[1]) << 16;
  TimeElapsed(Sta[2], tim, t);
  Blink(t);
  const uint16_t sta = Sta[3];
  Status.Set(RackStatusLamp(sta, Tim4Hz));
  Power.Set(RackPowerLamp(sta, Tim4Hz));
  Active = 0;
  for (TRackLamp& l : Inputs) {
    const bool lit = TstOnn || TagSet(l.Tag, Sta);
    l.Set(lit ? clLampRed : clLampOff);
    Active += lit;
  }
}

void TRackSim::FeedEvents() {
  if (!Event.Visible) return;
  uint16_t w[cEventRecords * tVexEvn::cWords];
  Ports.ModReadMulti(cEventRegs, cEventRecords * tVexEvn::cWords, w, false);
  for (int k = 0; k < cEventRecords; ++k) {
    const tVexEvn e = tVexEvn::FromWords(w + k * tVexEvn::cWords);
    if (e.Seq != 0) Event.ShowEvent(e);
  }
}

}  // namespace vex
