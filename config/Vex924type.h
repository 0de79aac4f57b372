// Records of the 24-input DX annunciator Vex924.
#pragma once

#include "config/RecordsCommon.h"

namespace vex {

VEX_RECORD(tVex924cfg, VEX_CFG4, 8);         // registers 51 AND 7, 14, 16, 17
VEX_RECORD(tVex924sta, VEX_TVEX324STA, 52);  // 26 registers at 48
VEX_RECORD(tVex924tim, VEX_TIMREC, 6);       // 3 registers at 48 (write)
VEX_RECORD(tVex924isa, VEX_ISA142, 142);     // sequence record at 128
VEX_RECORD(tVex924dxs, VEX_DXS2, 12);        // remote input record at 3328

// Sets SumRem and SumAkt from the state words.
void SetCheckWords(tVex924dxs& r);

}  // namespace vex

namespace vex::Vex9xx {
// status flags of the DX annunciators Vex924, Vex932, Vex936
constexpr uint16_t cTimSyn = 0x0020;  // time synchronisation active
constexpr uint16_t cVirMod = 0x0080;  // DX (display-only) mode: hardware inputs ignored
}  // namespace vex::Vex9xx
