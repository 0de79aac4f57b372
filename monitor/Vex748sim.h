// "Vex748 Simulator": the 48-input rack module's panel. Editions up to 4 are polled for their
// status record (WM_POLL); later editions stream their sequence records instead (WM_SEKANS):
// each reply carries the status part and the records after the highest sequence number seen.
#pragma once

#include <cstdint>

#include "monitor/RackSim.h"

namespace vex {

constexpr int WM_SEKANS = 0x0402;  // the 48-input module's sequence stream message
constexpr int cSekansBlock = 124;  // bytes asked for per stream read

class TVex748sim1 : public TRackSim {
 public:
  TVex748sim1(TPorts1& ports, TMain1& main, TEvent1& event) : TRackSim(cVex748Member, ports, main, event) {}

  // The message the gate posts: WM_POLL for editions up to 4, else WM_SEKANS.
  int PollMessage() const;
  // A posted message: WM_POLL polls the status record, WM_SEKANS reads the stream.
  void Dispatch(int msg);
  void DoSimul() override { Dispatch(PollMessage()); }
  void PollStatus();  // WM_POLL
  void PollSekans();  // WM_SEKANS

  uint32_t Seq = 0;  // highest sequence number seen
};

}  // namespace vex
