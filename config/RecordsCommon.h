// Field lists shared by several models' records (status, time, configuration and the
// sequence record's per-group block). Each model unit declares its own record types from them.
#pragma once

#include "config/Records.h"
#include "config/RegMap.h"

namespace vex {

// Status record of the 16-input family (28 bytes).
// clang-format off
#define VEX_TVEX216STA(F, A) \
  F(uint32_t, Tim) /* device clock, ms since midnight */ \
  F(uint16_t, Dat) /* device date, days since 2000-01-01 */ \
  F(uint16_t, StaFlg) /* status flags */ \
  F(uint16_t, GirOnn) /* inputs on */ \
  F(uint16_t, GirAkt) /* inputs active */ \
  F(uint16_t, GirHld) /* held */ \
  F(uint16_t, GirSil) /* silenced */ \
  F(uint16_t, GirAlm) /* alarm */ \
  F(uint16_t, GirMom) /* momentary */ \
  F(uint16_t, GirAck) /* acknowledged */ \
  F(uint16_t, GirRnb) /* ringback */ \
  F(uint16_t, GirRed) /* red colour bit of the window */ \
  F(uint16_t, GirGrn) /* green colour bit */
// clang-format on

// The eleven per-input words of one group of 16 inputs (prefix Gir, Gi2, Gi3).
// clang-format off
#define VEX_STA_GROUP(F, P) \
  F(uint16_t, P##Onn) F(uint16_t, P##Akt) F(uint16_t, P##Hld) F(uint16_t, P##Sil) \
  F(uint16_t, P##Alm) F(uint16_t, P##Mom) F(uint16_t, P##Ack) F(uint16_t, P##Rnb) \
  F(uint16_t, P##Red) F(uint16_t, P##Grn) F(uint16_t, P##Blu)
// clang-format on

// Status record of the 24- and 32-input models (52 bytes).
// clang-format off
#define VEX_TVEX324STA(F, A) \
  F(uint32_t, Tim) F(uint16_t, Dat) F(uint16_t, StaFlg) VEX_STA_GROUP(F, Gir) \
  VEX_STA_GROUP(F, Gi2)
// clang-format on

// Time record: writing it sets the device clock (6 bytes).
// clang-format off
#define VEX_TIMREC(F, A) \
  F(uint32_t, Tim) /* ms since midnight, truncated */ \
  F(uint16_t, Dat) /* whole days since 2000-01-01 */
// clang-format on

// Configuration record of the models with registers 51 AND 7, 14, SetTmo, ClrTmo (8 bytes).
// clang-format off
#define VEX_CFG4(F, A) \
  F(uint16_t, EepSta) /* configuration state */ \
  F(uint16_t, ModIdf) /* Modbus slave ID */ \
  F(uint16_t, SetTmo) /* input detection time, ms */ \
  F(uint16_t, ClrTmo) /* input clearance time, ms */
// clang-format on

// Eight property bitmaps of one alarm state: colour bits, flash bits, buzzer, output 1, output 2.
// clang-format off
#define VEX_ISA_STATE(F, P) \
  F(uint16_t, P##Red) F(uint16_t, P##Grn) F(uint16_t, P##Blu) F(uint16_t, P##Sld) \
  F(uint16_t, P##Bln) F(uint16_t, P##Buz) F(uint16_t, P##Ro1) F(uint16_t, P##Ro2)
// clang-format on

// The 34 words of one group of 16 inputs in the sequence record: first alarm, momentary,
// acknowledged and its silence interlock, ringback and its automatic reset.
// clang-format off
#define VEX_ISA_GROUP(F, AL, MO, AC, RN, SIL, RES) \
  VEX_ISA_STATE(F, AL) VEX_ISA_STATE(F, MO) VEX_ISA_STATE(F, AC) F(uint16_t, SIL) \
  VEX_ISA_STATE(F, RN) F(uint16_t, RES)
// clang-format on

#define VEX_ISA_GROUP1(F) VEX_ISA_GROUP(F, Alm, Mom, Ack, Rng, AckSil, RnbRes)
#define VEX_ISA_GROUP2(F) VEX_ISA_GROUP(F, Al2, Mo2, Ac2, Rn2, Ac2Sil, Rn2Res)
#define VEX_ISA_GROUP3(F) VEX_ISA_GROUP(F, Al3, Mo3, Ac3, Rn3, Ac3Sil, Rn3Res)
constexpr int cIsaGroupWords = 34;

// Sequence record of the 24/32-input models up to the button options (142 bytes).
// clang-format off
#define VEX_ISA142(F, A) \
  VEX_ISA_GROUP1(F) VEX_ISA_GROUP2(F) \
  F(uint16_t, AlmTim) /* auto alarm silence, s */ \
  F(uint16_t, RngTim) /* auto ringback silence, s */ \
  F(uint8_t, TstBtn) /* TEST button and general option bits */ \
  F(uint8_t, HrnBtn) /* HORN button option bits */
// clang-format on

// Remote input record of the 24/32-input DX models (12 bytes).
// clang-format off
#define VEX_DXS2(F, A) \
  F(uint16_t, GirRem) /* remote input states 1-16 */ \
  F(uint16_t, GirAkt) /* remote activation requests 1-16 */ \
  F(uint16_t, Gi2Rem) F(uint16_t, Gi2Akt) \
  F(uint16_t, SumRem) /* NOT (GirRem XOR Gi2Rem [XOR Gi3Rem]) */ \
  F(uint16_t, SumAkt) /* NOT (GirAkt XOR Gi2Akt [XOR Gi3Akt]) */
// clang-format on

// Event sequence record of the rack modules (124 bytes).
// clang-format off
#define VEX_SEKREC(F, A) \
  F(uint16_t, UnqIdf) /* unique ID */ \
  F(uint32_t, Tim) F(uint16_t, Dat) F(uint16_t, StaFlg) F(uint16_t, GirOnn) F(uint16_t, GirOn2) \
  F(uint16_t, GirOn3) \
  A(uint8_t, Sek, 108) /* six 18-byte event sequence entries (the event unit decodes them) */
// clang-format on

}  // namespace vex
