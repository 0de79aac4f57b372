// The live rack modules: the 48-input module and the I/O module with three output slots.
// Inputs are detected with the module's detection and clearance times and logged as SET
// and CLEAR events; the I/O module drives its slot outputs from the output command words
// (64..66) and the pulse words (70..72). Both stream their event log through the extended
// read (file record function) addressed by the first wanted sequence number.
//
// Control commands of the I/O module (the test bench's hands on the hardware):
//   slot N TYPE          plug a card of module type TYPE (0 = none, "$83", "0x15", 38 ...) into
//                        slot 1..3; "slot" alone lists the three types
//   outfault N on|off    output N (1..48) fails: shown as a fault and no longer driven;
//                        "outfault clear" mends them all
//   irig on|off          an IRIG-B time signal is received and locked (StaFlg 0x40)
// and of both modules:
//   stream N|full        replies of the sequence stream carry at most N bytes (a module whose
//                        buffer holds less than was asked for), or all that was asked for
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "emu/LiveBase.h"

namespace vex::emu {

// Module types of the I/O module's slots.
constexpr uint16_t cModTyp = 0x15;  // "Input-16x"
constexpr uint16_t cModTyS = 0x26;  // "SSR-4x6A"
constexpr uint16_t cModTy5 = 0x4C;  // "Relay-8x5A"
constexpr uint16_t cModTy8 = 0x83;  // "Relay-8x8A"

constexpr uint16_t cTimIrg = 0x0040;  // I/O module StaFlg: IRIG-B time signal received and locked

class RackModule : public LiveBase {
 public:
  static constexpr uint16_t cCmdRegs = 64;    // output command words of slots 1..3
  static constexpr uint16_t cPulRegs = 70;    // pulse output words of slots 1..3
  static constexpr size_t cEventRecords = 4;  // records at 2560
  static constexpr size_t cSekRecords = 6;    // records per stream reply
  static constexpr uint32_t cDefaultPulseMs = 500;

  explicit RackModule(const ModelInfo& m);

  void Attach(Device& d) override;
  int Read(Space s, uint32_t a, uint16_t& v) override;
  int Write(Space s, uint32_t a, uint16_t v) override;
  int ReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out) override;
  int OnKey(uint16_t code) override;
  void Tick(int64_t now) override;
  bool Control(const std::string& cmd, const std::string& rest, std::string& reply) override;

  uint16_t StaFlg() const;
  uint16_t Outputs(int slot) const;  // outputs driven in slot 0..2
  uint16_t Faults(int slot) const;   // commanded outputs the slot cannot drive, failed outputs
  uint16_t SlotType(int slot) const { return slot_[slot]; }

 protected:
  IsaConfig BuildConfig() override;
  void PoweredUp(int64_t now) override;

 private:
  bool IoModule() const { return m_.model == Model::Vald3; }
  uint16_t StatusWord(uint16_t k) const;
  uint16_t Capable(int slot) const;
  uint32_t PulseMs(int slot) const;

  ModelInfo m_;
  uint16_t statusWords_;
  // Module types in the three slots: two relay cards and a solid-state relay card.
  std::array<uint16_t, 3> slot_{cModTy5, cModTyS, cModTy8};
  std::array<uint16_t, 3> cmd_{}, pul_{};
  // What the bench set: failed outputs per slot, IRIG-B signal present. Hardware, so a
  // restart keeps them, like the cards in the slots.
  std::array<uint16_t, 3> failed_{};
  bool irig_ = false;
  size_t streamCut_ = 255;  // most bytes a stream reply carries
  std::array<std::array<int64_t, 16>, 3> pulEnd_{};
};

}  // namespace vex::emu
