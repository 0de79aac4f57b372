// "Vald-3 Simulator": the rack I/O module's panel. Besides the 48 input lamps it shows the
// outputs and their faults, the module types of the three slots, the IRIG-B lamps, the "Out"
// and "T" boxes that command outputs and pulses, and three override boxes that ramp the
// outputs of a slot on or off one box per idle pass.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "monitor/RackSim.h"

namespace vex {

// Sends the pending command of `b` as the screen does at the end of a poll: an "Out" box reads
// its command word (64..66) and writes it back with its bit changed; a "T" box writes only its
// own bit to 70..72. Returns the word written.
uint16_t SendBoxCommand(TPorts1& ports, const TVex733Boxes& b);

class TVex733sim1 : public TRackSim {
 public:
  static constexpr int cSlots = 3;

  TVex733sim1(TPorts1& ports, TMain1& main, TEvent1& event) : TRackSim(cVex733Member, ports, main, event) {}

  void DoSimul() override;  // WM_POLL
  void AppClean() override;
  // Idle pass while scanning, before the poll is posted: the override ramps.
  void BeforePost() override;

  // A box clicked by the user (it shows its new state); `Enter` first when it is an "Out" box.
  void OutClick(int index, bool checked);
  void PulseClick(int index, bool checked);
  // An override box set by the user.
  void OverrideClick(int group, TVex733Boxes::TTri state);

  // ---- state ----
  TRackLamp IrigSync, IrigLock;                                         // "IrigB Sync", "Irig-B Lock"
  std::vector<TRackLamp> Outputs = LampRow(48, Vex733Words::cOutputs);  // "O"
  std::vector<TRackLamp> Faults = LampRow(48, Vex733Words::cFaults);    // "F"
  std::array<std::string, cSlots> Slots;                                // slot fields
  TVex733Boxes Boxes;

 private:
  void SendCommand();
};

}  // namespace vex
