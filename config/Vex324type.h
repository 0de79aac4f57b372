// Records of the 24-input annunciator.
#pragma once

#include "config/RecordsCommon.h"

namespace vex {

VEX_RECORD(tVex324cfg, VEX_CFG4, 8);         // registers 51 AND 7, 14, 16, 17
VEX_RECORD(tVex324sta, VEX_TVEX324STA, 52);  // 26 registers at 48
VEX_RECORD(tVex324tim, VEX_TIMREC, 6);       // 3 registers at 48 (write)

// Sequence record of variants 1..4 (142 bytes).
VEX_RECORD(tVex324is4, VEX_ISA142, 142);

// Variants 5..7, 9, 10 add input inversion and the dimmer (148 bytes).
// clang-format off
#define VEX_ISA148(F, A) \
  VEX_ISA142(F, A) \
  F(uint16_t, InpInv) /* inverted inputs 1-16 */ \
  F(uint8_t, In2Inv) /* inverted inputs 17-24 */ \
  F(uint8_t, DimTim) /* dim timer, s */ \
  F(uint8_t, DimBrg) /* brightness (low nibble), dimmer options (high nibble) */ \
  F(uint8_t, DimLev) /* dim level */
// clang-format on
VEX_RECORD(tVex324is7, VEX_ISA148, 148);

// The other variants add the input delay groups (160 bytes).
// clang-format off
#define VEX_ISA160(F, A) \
  VEX_ISA148(F, A) \
  F(uint8_t, GraChn) /* delayed inputs of group A (low nibble), delay options (high nibble) */ \
  F(uint8_t, GraFun) /* group A function, written 0 */ \
  F(uint16_t, GraDet) /* group A detection delay, ms */ \
  F(uint16_t, GraClr) /* group A clearance delay, ms */ \
  F(uint8_t, GrbChn) /* delayed inputs of group B */ \
  F(uint8_t, GrbFun) F(uint16_t, GrbDet) F(uint16_t, GrbClr)
// clang-format on
VEX_RECORD(tVex324isa, VEX_ISA160, 160);
static_assert(offsetof(tVex324isa, Al2Red) == 68 && offsetof(tVex324isa, AlmTim) == 136);
static_assert(offsetof(tVex324isa, TstBtn) == 140 && offsetof(tVex324isa, InpInv) == 142);
static_assert(offsetof(tVex324isa, GraChn) == 148 && offsetof(tVex324isa, GrbClr) == 158);

// Bytes of the Vex324 sequence record in an application variant: 142, 148 or 160.
int Vex324IsaSize(int appSof);

}  // namespace vex
