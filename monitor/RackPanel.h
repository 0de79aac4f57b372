// What the two rack module screens ("Vex748 Simulator", "Vald-3 Simulator") make of the words
// they read, without widgets: lamps bound to status bits by tags, the status and power lamps, the
// split of a sequence stream reply, the I/O module's slot fields, and its "Out"/"T" boxes with
// the pending output command and the override ramps.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "comm/Event.h"
#include "shell/Basics.h"

namespace vex {

// Lamp colours of the rack panels.
constexpr TColor clLampOff = clBtnFace;              // a dark lamp
constexpr TColor clLampRed = RGB(0xFF, 0, 0);        // input, output and fault lamps
constexpr TColor clLampGreen = RGB(0, 0xFF, 0);      // "STATUS", "POWER"
constexpr TColor clLampYellow = RGB(0xFF, 0xFF, 0);  // "IrigB Sync", "Irig-B Lock"

// A lamp or box tag: bits 0-4 the bit number, bits 8-15 the word index.
constexpr uint32_t RackTag(int word, int bit) {
  return static_cast<uint32_t>(word) << 8 | static_cast<uint32_t>(bit);
}
constexpr int TagWord(uint32_t tag) { return static_cast<int>((tag >> 8) & 0xFF); }
constexpr int TagBit(uint32_t tag) { return static_cast<int>(tag & 31); }
// The bit a tag names in a block of words (false beyond the block).
bool TagSet(uint32_t tag, const std::vector<uint16_t>& words, int base = 0);

// A lamp of a rack panel and its colour. A colour is assigned only when it differs, so the view
// repaints only the lamps that changed.
struct TRackLamp {
  uint32_t Tag = 0;
  TColor Color = clLampOff;
  bool Set(TColor c) {  // true when the colour changed
    if (Color == c) return false;
    Color = c;
    return true;
  }
};

// A row of lamps over consecutive words of a status record: lamp i is bit i % 16 of word
// first + i / 16 (input 1 first).
std::vector<TRackLamp> LampRow(int count, int firstWord);

// "STATUS": configuration good, or flashing (4 Hz phase) while not edited, else dark.
TColor RackStatusLamp(uint16_t staFlg, bool tim4Hz);
// "POWER": clock synchronised steady, else flashing with the 4 Hz phase.
TColor RackPowerLamp(uint16_t staFlg, bool tim4Hz);

// A reply of the 48-input module's sequence stream, split. A reply of n data bytes carries the
// status part when n >= 16 (unique ID, clock, flags, inputs), then a record for every further
// 18 bytes; a shorter tail is not a record and ends the walk.
struct TSekansReply {
  bool HasStatus = false;
  uint16_t UnqIdf = 0;           // read, not shown
  std::vector<uint16_t> Status;  // the status record's 7 words (tVex748sta order)
  std::vector<tVexSek> Records;  // complete records, in order (at most six)
};
TSekansReply SplitSekans(const uint8_t* b, int n);

// The text of a slot field: "$" + the type as two hex digits + ", " + its name.
std::string SlotText(uint16_t typId);

// Word indexes of the I/O module's status record (25 words at 48).
namespace Vex733Words {
constexpr int cInputs = 4;   // GirOnn.. inputs on
constexpr int cOutputs = 7;  // OutOnn.. outputs on
constexpr int cFaults = 10;  // FaiOnn.. output faults
constexpr int cCmd = 16;     // CmdOnn.. output commands (registers 64..66)
constexpr int cTypes = 19;   // TypId1..TypId3
constexpr int cPulses = 22;  // PulOt1..PulOt3 (registers 70..72)
constexpr int cCount = 25;
}  // namespace Vex733Words

// The I/O module's "Out" boxes (outputs 1-8, 17-24, 33-40: tags word 0..2 relative to CmdOnn)
// and "T" boxes (the same outputs' pulses: words 6..8 relative to CmdOnn), the pending output
// command of the last box ticked or cleared, and the three override boxes.
class TVex733Boxes {
 public:
  static constexpr int cGroups = 3;
  static constexpr int cPerGroup = 8;
  static constexpr int cBoxes = cGroups * cPerGroup;
  static constexpr uint32_t cPulseTag = 1500;  // tags from here on are "T" boxes
  static constexpr uint16_t cCmdReg = 64;      // register of word 0 relative to CmdOnn

  enum class TTri { Unchecked, Checked, Grayed };  // an override box; Grayed: no ramp
  struct TBox {
    uint32_t Tag = 0;
    bool Checked = false;
  };

  TVex733Boxes();

  std::array<TBox, cBoxes> Out;  // "Out": output commands
  std::array<TBox, cBoxes> Pul;  // "T": pulse commands
  std::array<TTri, cGroups> Override{TTri::Grayed, TTri::Grayed, TTri::Grayed};
  static const char* OverrideCaption(int group);  // "09-16 override", "25-32 override", "41-48 override"

  // The pending command: the tag of the box, its new state, whether one is pending.
  uint32_t CmdTag = 0;
  bool CmdChk = false;
  bool CmdFlg = false;
  // Set while the screen itself sets the boxes from a poll: those changes are no clicks.
  bool CmdSkp = false;

  // A box changes its state (user click, ramp or poll). Like a check box's click handler, a
  // change records the command unless the screen is updating the boxes itself.
  void SetChecked(TBox& box, bool on);
  // The user enters an "Out" box of a group: its override box goes grey (stops its ramp).
  void Enter(int outIndex);
  void SetOverride(int group, TTri state) { Override[static_cast<size_t>(group)] = state; }
  // Records a command as a box of output n (1..48) would: its "Out" box set to `on`, or its
  // "T" box ticked (`pulse`). Outputs without a box on the panel take the same command form.
  void Command(int n, bool pulse, bool on);
  // Every box to its bit of the status record (`sta`, 25 words), not taken as clicks.
  void FromStatus(const std::vector<uint16_t>& sta);
  // One idle pass of the ramps: per group at most one "Out" box ticked (override ticked) or
  // cleared (override clear). True when a box changed.
  bool Ramp();

  // The write the pending command needs: its register (64..66 or 70..72) and whether the word
  // is read first (an "Out" box changes one bit of the command word; a "T" box writes only its
  // own bit).
  uint16_t CmdReg() const { return static_cast<uint16_t>(cCmdReg + TagWord(CmdTag)); }
  bool CmdReadsFirst() const { return CmdTag < cPulseTag; }
  // `word` with the command's bit set or cleared.
  uint16_t CmdWord(uint16_t word) const;
  TBox* Find(uint32_t tag);
};

}  // namespace vex
