#include "monitor/Vex748sim.h"

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/RegMap.h"

namespace vex {

int TVex748sim1::PollMessage() const { return Ports.AppSof <= 4 ? WM_POLL : WM_SEKANS; }

void TVex748sim1::Dispatch(int msg) {
  if (msg == WM_SEKANS)
    PollSekans();
  else
    PollStatus();
}

void TVex748sim1::PollStatus() {
  TDateTime t;
  if (!PollEntry(t)) return;
  Ports.ModReadMulti(cRegStatus, Def.StaWords, Sta.data(), false);
  CommonUpdate(t);
  RepeatLampTest();
  FeedEvents();
  Notify();
}

void TVex748sim1::PollSekans() {
  TDateTime t;
  if (!PollEntry(t)) return;
  uint8_t b[cSekansBlock];
  const int n = Ports.ModReadSekans(Seq + 1, cSekansBlock, b, false);
  const TSekansReply r = SplitSekans(b, n);
  if (r.HasStatus) {
    Sta = r.Status;
    CommonUpdate(t);
    RepeatLampTest();
  }
  if (Event.Visible)
    for (const tVexSek& s : r.Records) {
      Event.ShowSekans(s);
      if (s.Seq > Seq) Seq = s.Seq;
    }
  Notify();
}

}  // namespace vex
