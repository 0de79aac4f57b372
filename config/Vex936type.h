// Records of the 36-input DX annunciator.
#pragma once

#include "config/Vex924type.h"

namespace vex {

VEX_RECORD(tVex936cfg, VEX_CFG4, 8);  // registers 51 AND 7, 14, 16, 17

// 37 registers at 48: as tVex324sta, then the words of inputs 33-36.
#define VEX_TVEX936STA(F, A) VEX_TVEX324STA(F, A) VEX_STA_GROUP(F, Gi3)
VEX_RECORD(tVex936sta, VEX_TVEX936STA, 74);
VEX_RECORD(tVex936tim, VEX_TIMREC, 6);

// Sequence record: three input groups, then the timers and button options (210 bytes).
// clang-format off
#define VEX_ISA210(F, A) \
  VEX_ISA_GROUP1(F) VEX_ISA_GROUP2(F) VEX_ISA_GROUP3(F) F(uint16_t, AlmTim) F(uint16_t, RngTim) \
  F(uint8_t, TstBtn) F(uint8_t, HrnBtn)
// clang-format on
VEX_RECORD(tVex936isa, VEX_ISA210, 210);
static_assert(offsetof(tVex936isa, Al3Red) == 136 && offsetof(tVex936isa, Rn3Res) == 202);
static_assert(offsetof(tVex936isa, AlmTim) == 204 && offsetof(tVex936isa, TstBtn) == 208);

#define VEX_DXS3(F, A) VEX_DXS2(F, A) F(uint16_t, Gi3Rem) F(uint16_t, Gi3Akt)
VEX_RECORD(tVex936dxs, VEX_DXS3, 16);

void SetCheckWords(tVex936dxs& r);

}  // namespace vex
