// The device's own reading of its sequence record (registers 128 onwards) into the
// engine's configuration, and the reverse for building records.
//
// Three layouts, told apart by the record size in bytes:
//   64, 66        one input group, no blue: Alm, Ack, Rng, Mom blocks of seven words
//                 (Red, Grn, Sld, Bln, Buz, Ro1, Ro2), AckSil, RnbRes, AlmTim|RngTim<<8,
//                 TstBtn|HrnBtn<<8, and InpInv in the 66-byte record;
//   142, 148, 160 two groups of 34 words (Alm, Mom, Ack blocks of eight words with blue,
//                 AckSil, Rng block, RnbRes), AlmTim, RngTim, TstBtn|HrnBtn<<8, then
//                 InpInv, In2Inv|DimTim<<8, DimBrg|DimLev<<8 (148 and 160) and the two
//                 input delay groups (160);
//   210           three groups of 34 words (the third for inputs 33-36, low nibble),
//                 AlmTim, RngTim, TstBtn|HrnBtn<<8.
#pragma once

#include <cstdint>
#include <vector>

#include "emu/IsaEngine.h"

namespace vex::emu {

enum class SeqLayout { None, OneGroup, TwoGroups, ThreeGroups };

SeqLayout LayoutOfSequence(int bytes);

// Inputs of the two delay groups of the 160-byte record: group A ends at input 12, group B
// at input 24; each holds the number of inputs given by its count's low nibble.
constexpr int cGroupALast = 12;
constexpr int cGroupBLast = 24;

// Reads a sequence record of `bytes` bytes (missing words read as 0). Detection and
// clearance times are not part of the record; the caller sets SetTmo and ClrTmo.
IsaConfig ConfigFromRecord(const std::vector<uint16_t>& words, int bytes);

// Builds the record of `bytes` bytes for a configuration (bits beyond the layout are dropped).
std::vector<uint16_t> RecordFromConfig(const IsaConfig& c, int bytes);

// The fixed sequence of the models without a sequence record: inputs selected for the horn
// or the bell alarm in red flashing fast with that relay, become red flashing slowly while
// momentary, green steady when acknowledged, and need RESET after returning to normal.
IsaConfig FixedConfig(int inputs, uint16_t hrnSel, uint16_t belSel);

}  // namespace vex::emu
