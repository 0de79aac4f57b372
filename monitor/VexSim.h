// The annunciator simulators "Vex216 Simulator" ... "Vex936 Simulator": one screen that mirrors
// a device's front panel live, written once and driven by the member table below. Each poll
// reads the status block, steps the blink phases, paints the fixed lamps and the window panel
// (window lamps and their eight state indicators), repeats a held TEST key and feeds the event
// window. Keys, window presses, forced inputs, "Sync Time" and "Erase Events" go to the device.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/SimCommon.h"

namespace vex {

class TSimSampling;
class TVex316desk1;

// Where a member's status block comes from.
enum class TStaSource {
  Sim215,    // 6 words at 32 (tVex215sim); lamp words computed on the PC
  ByApp216,  // by AppSof: 1 -> 14 words at 32, sequence editions -> 14 at 48, else 9 at 32
  ByApp316,  // AppSof 17 -> 14 words at 48, else 9 at 32
  Full48,    // StaWords at 48
};
// How a member forces inputs from its panel.
enum class TForcing { None, Virtual216, Dx9xx };
// Hover texts of the state indicators.
enum class THints { Letters, Rows };
// Lamps of the output group besides HORN, BELL and the third output.
enum class TExtras { None, Clock216, Sync9xx };

// One row of the member table.
struct TSimMember {
  const char* Name;     // instance name
  const char* Caption;  // window caption
  const char* Model;    // model name ("Vex324") as scripts see it
  uint16_t Family;      // BotMod of the family (BotReg on the first generation)
  bool ByBotReg;        // the family test compares BotReg instead of BotMod
  int Windows;
  std::array<int, 4> Columns;  // windows per column, 0 = no column
  int Colours;                 // 2 (red/green) or 3 (red/green/blue)
  TStaSource Source;
  int StaWords;             // words of the full status read at 48
  uint64_t FullAt48;        // ByApp216: bit e set = edition e keeps the 14-word record at 48
  const char* ThirdOutput;  // "FAULT", "Fault", "WDstat"
  const char* OutputsCaption;
  bool FirstGen;     // tVex215sim, key codes 0x11..0x55, three indicator rows
  bool EdgeRestart;  // a rising cVirMod edge restarts the blink phases; one clock reading
  bool TimeLine;     // the device time against the PC's
  int EventShow;     // the event record at 2560: -1 not read, 0 show flag false, 1 true
  bool TestShow;     // the held TEST key is shown on the console
  bool TestSingle;   // the held TEST key is repeated without the leading 0
  TExtras Extras;
  TForcing Forcing;
  THints Hints;
  bool Sampling;    // clock stamp, sample ring and oscillator block
  bool Inspector;   // drives the analog inspector
  bool Vex324Scan;  // busy check before a scan starts, "Discovery" when it stops
};

// The eight members, in the order of the main window's idle dispatcher.
const std::vector<TSimMember>& SimMembers();
const TSimMember& SimMember(const std::string& name);

// A lamp of the window panel, bound to status bits by its tag.
struct TLamp {
  uint32_t Tag = 0;
  TColor Color = clBtnFace;
  uint32_t Paints = 0;  // how often its colour was assigned (unchanged colours are not)
  void Paint(TColor c) {
    if (c == Color) return;
    Color = c;
    ++Paints;
  }
};

// One alarm window: its lamp, its number label and its state indicators.
struct TWindowLamps {
  int Number = 0;          // 1-based; also the tag of its number label
  TLamp Lamp;              // red/green/blue source words and the bit
  std::vector<TLamp> Ind;  // "I" "A" "H" "S" / "F" "M" "K" "R" (three on the first generation)
};

// The fixed lamps of "Panel Controls" and the output group.
struct TFixedLamps {
  TColor T = clBtnFace, H = clBtnFace;
  TColor Horn = clBtnFace, Bell = clBtnFace, Third = clBtnFace;
  TColor TimeValid = clBtnFace, Sync = clBtnFace, ExQ = clBtnFace, DxMode = clBtnFace;
  TColor TimeSync = clBtnFace;
};

constexpr uint16_t cVirModFlag = 0x0080;  // StaFlg: DX (display-only) mode active
constexpr const char* cIndLetters = "IAHSFMKR";
extern const char* const cIndLetterHints[8];  // "Input State" ...
extern const char* const cIndRowHints[8];     // "Actual Input indication [Off=Normal, On=Abnormal]" ...
constexpr int cStaWords = 37;                 // the largest status block

class TVexSim : public TSimScreen {
 public:
  TVexSim(const TSimMember& m, TPorts1& ports, TMain1& main, TEvent1& event);
  ~TVexSim() override;

  const TSimMember& Def;

  // ---- operations ----
  void DoSimul() override;
  void AppClean() override;
  TFamily Family() const override;
  void CheckBox1Click() override;

  void Button1Click() { KeyClick(Button1, KeyCode(0)); }   // "RESET"
  void Button2Click() { KeyClick(Button2, KeyCode(1)); }   // "HORN"
  void Button4Click() { KeyClick(Button4, KeyCode(3)); }   // "ACK"
  void Button3MouseDown() { TestDown(KeyCode(2), true); }  // "TEST" pressed ("TD")
  void Button3MouseUp() { TestUp(KeyCode(4), true); }      // "TEST" released ("TU")
  void LabelX01Click(int n);                               // window number label n: press, or forced input
  void LabelA01Click(int n);                               // "A" indicator of window n: forced activation

  // Key codes by index: RESET, HORN, TEST, ACK, TEST released.
  uint16_t KeyCode(int k) const;

  // ---- state ----
  std::array<uint16_t, cStaWords> Sta{};  // the last status block, word 0 at the first register
  uint16_t StaOld = 0;                    // StaFlg of the previous poll (cVirMod edge)
  TFixedLamps Fixed;
  std::vector<TWindowLamps> Panel;  // windows in order
  bool DxMode = false;              // "DX Mode" ticked (9xx)
  bool DxBrix = false;              // "DX Brix-3" ticked (9xx, administrator mode)
  bool VirtualDx = false;           // "Virtual DX" ticked (216/308)
  std::array<uint16_t, 3> DxRem{};  // remembered remote input words of "DX Brix-3"

  TControl Button1, Button2, Button4;  // "RESET", "HORN", "ACK"

  // Indicator hover text of letter k (0..7) on this member.
  std::string IndHint(int k) const;
  // Window lamp index r + 2g + 4b of window n (1-based) in the last block.
  int ColourIndex(int n) const;
  // Letters I A H S F M K R of window n, "." for a clear bit.
  std::string States(int n) const;

  // ---- parts ----
  std::unique_ptr<TSimSampling> Sampling;  // clock, sample ring and oscillator (216/308)
  TVex316desk1* Inspector = nullptr;       // analog inspector (316)

 private:
  void ReadStatus();
  void StepBlink(TDateTime t);
  void PaintFixed();
  void FirstGenWords();
  void PaintPanel();
  void FeedEvents();
  bool Bit(int word, int bit) const { return (Sta[static_cast<size_t>(word)] >> bit) & 1; }
  void WriteBrix(bool activation, int n);
};

}  // namespace vex
