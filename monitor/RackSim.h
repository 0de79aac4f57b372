// What the two rack module screens share on top of every live panel's mechanics (SimCommon):
// the family test, the common update of "STATUS", "POWER" and the 48 input lamps, the four
// event records, the held "LAMP TEST", and the scan rules of the modules: unticking "Start
// Scan" also closes the hub's link, and closing the screen unticks it. The two screens
// (Vex748sim, Vex733sim) add their own status records and extras.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "monitor/RackPanel.h"
#include "monitor/SimCommon.h"

namespace vex {

// One row of the rack screens' table.
struct TRackMember {
  const char* Name;     // instance name
  const char* Caption;  // window caption
  const char* Model;    // model name as scripts see it
  uint8_t Fid;          // BotMod of the family
  int StaWords;         // status record at 48
  bool TestShow;        // the held "LAMP TEST" repeated with the show flag
};
extern const TRackMember cVex748Member;
extern const TRackMember cVex733Member;

class TRackSim : public TSimScreen {
 public:
  static constexpr int cInputs = 48;
  static constexpr int cEventRecords = 4;  // at 2560
  static constexpr uint16_t cEventRegs = 0xA00;

  TRackSim(const TRackMember& m, TPorts1& ports, TMain1& main, TEvent1& event);

  const TRackMember& Def;

  TFamily Family() const override;
  void AppClean() override;
  // "Start Scan": as every screen; unticking also closes the hub's link after the lamps.
  void CheckBox1Click() override;
  // The window is closed by the user: "Start Scan" is unticked (and so the link closed).
  void FormClose();
  // "Show Events": after the busy check, the event window, and scanning starts.
  void ShowEventsClick();
  // "LAMP TEST" held down and released.
  void LampTestDown();
  void LampTestUp();

  // ---- state ----
  std::vector<uint16_t> Sta;                            // the last status record, word 0 at register 48
  TRackLamp Status, Power;                              // "STATUS", "POWER"
  std::vector<TRackLamp> Inputs = LampRow(cInputs, 4);  // window / input lamps ("X"), words 4-6
  int Active = 0;                                       // lit input lamps (the bar of the I/O module)

 protected:
  // Poll entry: false when not scanning or the hub is busy; else waits for the next clock
  // tick and returns the poll's time in `t`.
  bool PollEntry(TDateTime& t);
  // Time line, blink phases, "STATUS", "POWER" and the input lamps from `Sta`.
  void CommonUpdate(TDateTime t);
  // With the event window shown: the four records at 2560, each not empty to the window.
  void FeedEvents();
  // While "LAMP TEST" is held: the test key again.
  void RepeatLampTest();
};

}  // namespace vex
