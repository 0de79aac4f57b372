// Records of the 32-input DX annunciator Vex932.
#pragma once

#include "config/Vex924type.h"

namespace vex {

VEX_RECORD(tVex932cfg, VEX_CFG4, 8);         // registers 51 AND 7, 14, 16, 17
VEX_RECORD(tVex932sta, VEX_TVEX324STA, 52);  // 26 registers at 48
VEX_RECORD(tVex932tim, VEX_TIMREC, 6);       // 3 registers at 48 (write)
VEX_RECORD(tVex932isa, VEX_ISA142, 142);     // sequence record at 128
VEX_RECORD(tVex932dxs, VEX_DXS2, 12);        // remote input record at 3328

// Sets SumRem and SumAkt from the state words.
void SetCheckWords(tVex932dxs& r);

}  // namespace vex
