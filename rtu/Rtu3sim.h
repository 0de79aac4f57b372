// "BRIX-3000 Simulator" (TRtu3sim1): monitors the rack RTU over Modbus (system and error states,
// three clocks with the IRIG-B lock quality, network settings, network sockets), sends its panel
// keys, holds its test outputs, sets its clock from the PC and issues its system commands. One
// read per poll, cycling through fifteen steps, driven by the idle dispatcher.
#pragma once

#include <functional>
#include <string>

#include "comm/Ports.h"
#include "rtu/Rtu3type.h"
#include "shell/Main.h"

namespace vex {

// Displayed fields: caption on the screen, key in the command line's JSON, group.
struct TRtu3Field {
  const char* Caption;
  const char* Key;
  const char* Group;
};
enum TRtu3FieldId {
  fSysSta,
  fCfgErr,
  fSfmErr,
  fRamErr,
  fNvrErr,
  fEepErr,
  fRegErr,
  fRtcErr,
  fWdtErr,
  fPrnErr,
  fFilErs,
  fEvnErs,
  fSysTim,
  fRtcTim,
  fIrgTim,
  fIrgQlt,
  fIpnAdr,
  fGatWay,
  fMskAdr,
  fMacAdr,
  cRtu3FieldCount
};
extern const TRtu3Field cRtu3Fields[cRtu3FieldCount];
extern const char* const cRtu3SocketTitles[9];

// System commands to register 0x311 with the question asked first.
struct TRtu3Command {
  const char* Caption;
  uint16_t Value;
  const char* Question;
};
extern const TRtu3Command
    cRtu3Commands[4];  // "Restart Network", "Safe Mode Request", "Restart Pipes", "Reboot System"

class TRtu3sim1 {
 public:
  TRtu3sim1(TPorts1& ports, TMain1& main);
  TRtu3sim1(const TRtu3sim1&) = delete;
  TRtu3sim1& operator=(const TRtu3sim1&) = delete;

  static constexpr const char* cCaption = "BRIX-3000 Simulator";

  // ---- screen state ----
  std::string Field[cRtu3FieldCount];
  std::string Sockets[cRtu3Sockets + 1][9];  // row 0: column titles
  std::string LinkStatus;                    // status bar from the hub
  bool LinkRed = false;
  bool StartScan = false;                               // "Start Scan" ticked
  int Seq = 0;                                          // poll step 0..14
  bool TstOt1 = false, TstOt2 = false, TstFau = false;  // test outputs held
  tRtu3net Net;
  tRtu3tim Tim;
  tRtu3err Err;
  tRtu3ers Ers;
  tRtu3soc Soc[cRtu3Sockets];
  int Polls = 0;  // polls run (each one read)

  // ---- seams ----
  std::function<void()> PostPoll;    // posts WM_POLL to the screen (unset: poll at once)
  std::function<void()> HideWindow;  // closes the screen
  std::function<void()> Changed;     // the screen's state changed
  std::function<TDateTime()> Now;    // PC clock ("SetTime by PC")
  IRtuDialogs* Dialogs = nullptr;    // confirmations of the system commands

  // ---- controls (the busy check replays them) ----
  TControl Ack, Reset, HornOff, HornOn;
  TControl TestHorn, TestBell, TestFault;        // pressed
  TControl TestHornUp, TestBellUp, TestFaultUp;  // released
  TControl RestartNetwork, SafeMode, RestartPipes, Reboot;
  TControl SetTime;
  TControl CheckBox1;  // "Start Scan"

  // ---- operations ----
  void AppIdle();                  // poll gate on an idle pass
  void DoSimul();                  // one poll (WM_POLL)
  void CheckBox1Click(bool tick);  // "Start Scan" ticked or cleared
  void ClearScreen();
  void Key(uint16_t reg);            // "ACK" 786 ... "HORN ON" 789
  void TestPress(int k, bool down);  // k: 0 horn (790), 1 bell (791), 2 fault (792)
  void Command(int k);               // cRtu3Commands[k]
  void SetTimeByPc();                // "SetTime by PC"

 private:
  void Touch() {
    if (Changed) Changed();
  }
  void ShowSocket(int r);
  bool& Held(int k) { return k == 0 ? TstOt1 : k == 1 ? TstOt2 : TstFau; }

  TPorts1& ports_;
  TMain1& main_;
};

}  // namespace vex
