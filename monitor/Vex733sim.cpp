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

uint16_t SendBoxCommand(TPorts1& ports, const TVex733Boxes& b) {
  const uint16_t reg = b.CmdReg();
  uint16_t word = 0;
  if (b.CmdReadsFirst()) word = static_cast<uint16_t>(ports.ModRead(reg, false));
  word = b.CmdWord(word);
  ports.ModWrite(reg, word, true);
  return word;
}

void TVex733sim1::SendCommand() {
  if (!Boxes.CmdFlg) return;
  SendBoxCommand(Ports, Boxes);
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
