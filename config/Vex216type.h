// Records of the second-generation 16-input annunciator ("Vex216v2"); the 8-input Vex308 and
// the analog Vex316 use the same records.
#pragma once

#include "config/RecordsCommon.h"
#include "config/Vex215type.h"

namespace vex {

// Configuration (registers 35 AND 7, 14, 16..19; sequence variants only 18..19).
VEX_RECORD(tVex216cfg, VEX_TVEX215CFG, 12);

// Legacy status record, 9 registers at 32.
// clang-format off
#define VEX_TVEX216RTU(F, A) \
  F(uint16_t, GirOnn) F(uint16_t, GirAkt) F(uint16_t, GirHld) F(uint16_t, StaFlg) \
  F(uint16_t, SelHrn) /* horn selection */ \
  F(uint16_t, SelBel) /* bell selection */ \
  F(uint16_t, SelBlu) /* blue selection */ \
  F(uint16_t, GirRed) F(uint16_t, GirGrn)
// clang-format on
VEX_RECORD(tVex216rtu, VEX_TVEX216RTU, 18);

// Status record, 14 registers (at 48 in the sequence variants, at 32 in variant 1).
VEX_RECORD(tVex216sta, VEX_TVEX216STA, 28);

// Seven property bitmaps of one alarm state (no blue).
// clang-format off
#define VEX_ISA216_STATE(F, P) \
  F(uint16_t, P##Red) F(uint16_t, P##Grn) F(uint16_t, P##Sld) F(uint16_t, P##Bln) \
  F(uint16_t, P##Buz) F(uint16_t, P##Ro1) F(uint16_t, P##Ro2)
// clang-format on

// clang-format off
#define VEX_TVEX216IS7(F, A) \
  VEX_ISA216_STATE(F, Alm) VEX_ISA216_STATE(F, Ack) VEX_ISA216_STATE(F, Rng) \
  VEX_ISA216_STATE(F, Mom) \
  F(uint16_t, AckSil) /* silence interlock */ \
  F(uint16_t, RnbRes) /* automatic reset */ \
  F(uint8_t, AlmTim) /* auto alarm silence, s */ \
  F(uint8_t, RngTim) /* auto ringback silence, s */ \
  F(uint8_t, TstBtn) /* TEST button option bits */ \
  F(uint8_t, HrnBtn) /* HORN button option bits */
// clang-format on
#define VEX_TVEX216ISA(F, A) VEX_TVEX216IS7(F, A) F(uint16_t, InpInv) /* inverted inputs */

VEX_RECORD(tVex216is7, VEX_TVEX216IS7, 64);
VEX_RECORD(tVex216isa, VEX_TVEX216ISA, 66);
static_assert(offsetof(tVex216isa, AckRed) == 14 && offsetof(tVex216isa, MomRed) == 42);
static_assert(offsetof(tVex216isa, AckSil) == 56 && offsetof(tVex216isa, AlmTim) == 60);
static_assert(offsetof(tVex216isa, InpInv) == 64);
constexpr int cIsa216StateWords = 28;  // words before AckSil

// One time-stamped sample: low 14 bits of Tim the ms tick, top two bits the kind; Key the inputs.
struct tVex216smpDat {
  uint16_t Tim;
  uint16_t Key;
};

// Time-stamped input samples, 19 registers at 2304.
// clang-format off
#define VEX_TVEX216SMP(F, A) \
  F(uint16_t, xxx) /* not interpreted */ \
  F(uint16_t, Tim) /* the device's current 14-bit tick */ \
  F(uint16_t, Sqq) A(tVex216smpDat, Dat, 8)
// clang-format on
VEX_RECORD(tVex216smp, VEX_TVEX216SMP, 38);

// Tuning block, 13 registers at 112.
// clang-format off
#define VEX_TVEX216TUN(F, A) \
  F(int16_t, EepSiz) /* EEPROM size */ \
  F(int16_t, OscTun) /* oscillator trim (writable at 113) */ \
  F(int16_t, TimDif) F(uint16_t, TimLap) F(int16_t, TimVar) F(int16_t, OscNxt) F(int16_t, OscNx1) \
  F(int16_t, OscNx2) F(int16_t, OscNx3) F(int16_t, TimMnr) F(int16_t, OscErr) F(int16_t, OscOfs) \
  F(int16_t, TimMea)
// clang-format on
VEX_RECORD(tVex216tun, VEX_TVEX216TUN, 26);

// Oscillator control registers, 6 registers at 96.
// clang-format off
#define VEX_TVEX216EXO(F, A) \
  F(uint16_t, OscCon1) F(uint16_t, OscCon2) F(uint16_t, OscCon3) F(uint16_t, OscStat) \
  F(uint16_t, OscEnb) F(uint16_t, OscFrq)
// clang-format on
VEX_RECORD(tVex216exo, VEX_TVEX216EXO, 12);

namespace Vex216 {
// status flags of the Vex216 and Vex308
constexpr uint16_t cTimVld = 0x0020;  // remote time setting established ("Time Valid")
constexpr uint16_t cTimSyn = 0x0040;  // time synchronisation active ("Sync")
constexpr uint16_t cVirMod = 0x0080;  // DX (display-only) mode
constexpr uint16_t cOscExt = 0x0400;  // external quartz oscillator ("ExQ")
}  // namespace Vex216

// A status view that receives the legacy record: the words it has are copied, the others are 0.
tVex216sta StaFromRtu(const tVex216rtu& r);

}  // namespace vex
