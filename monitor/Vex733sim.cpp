#include "monitor/Vex733sim.h"

#include "comm/Ports.h"
#include "config/RegMap.h"
#include "config/Vex733type.h"

namespace vex {

void TVex733sim1::BeforePost() {
  if (Boxes.Ramp()) Notify();
}

void TVex733sim1::DoSimul() {
  TDateTime t;
  if (!PollEntry(t)) return;
  Ports.ModReadMulti(cRegStatus, Def.StaWords, Sta.data(), false);
  CommonUpdate(t);
  const TColor irig = Sta[3] & Vex733::cTimIrg ? clLampYellow : clLampOff;
  IrigSync.Set(irig);
  IrigLock.Set(irig);
  for (int s = 0; s < cSlots; ++s)
    Slots[static_cast<size_t>(s)] = SlotText(Sta[static_cast<size_t>(Vex733Words::cTypes + s)]);
  for (TRackLamp& l : Outputs) l.Set(TagSet(l.Tag, Sta) ? clLampRed : clLampOff);
  for (TRackLamp& l : Faults) l.Set(TagSet(l.Tag, Sta) ? clLampRed : clLampOff);
  Boxes.FromStatus(Sta);
  FeedEvents();
  RepeatLampTest();
  SendCommand();
  Notify();
}

void TVex733sim1::SendCommand() {
  if (!Boxes.CmdFlg) return;
  const uint16_t reg = Boxes.CmdReg();
  uint16_t word = 0;
  if (Boxes.CmdReadsFirst()) word = static_cast<uint16_t>(Ports.ModRead(reg, false));
  Ports.ModWrite(reg, Boxes.CmdWord(word), true);
  Boxes.CmdFlg = false;
}

void TVex733sim1::AppClean() {
  IrigSync.Set(clLampOff);
  IrigLock.Set(clLampOff);
  for (TRackLamp& l : Outputs) l.Set(clLampOff);
  for (TRackLamp& l : Faults) l.Set(clLampOff);
  TRackSim::AppClean();
}

void TVex733sim1::OutClick(int index, bool checked) {
  Boxes.Enter(index);
  Boxes.SetChecked(Boxes.Out[static_cast<size_t>(index)], checked);
  Notify();
}

void TVex733sim1::PulseClick(int index, bool checked) {
  Boxes.SetChecked(Boxes.Pul[static_cast<size_t>(index)], checked);
  Notify();
}

void TVex733sim1::OverrideClick(int group, TVex733Boxes::TTri state) {
  Boxes.SetOverride(group, state);
  Notify();
}

}  // namespace vex
