// Records of the rack I/O module "Vald-3" (48 inputs, outputs in three module slots).
#pragma once

#include <string>

#include "comm/Event.h"
#include "config/RecordsCommon.h"

namespace vex {

// Configuration: registers 51 AND 7, 14, 18..23.
// clang-format off
#define VEX_TVEX733CFG(F, A) \
  VEX_CFG4(F, A) \
  F(uint16_t, PulTim) /* pulse timer, ms */ \
  F(uint16_t, PulTi1) /* timer of module block 1, ms */ \
  F(uint16_t, PulTi2) F(uint16_t, PulTi3)
// clang-format on
VEX_RECORD(tVex733cfg, VEX_TVEX733CFG, 16);

// Status, 25 registers at 48; each name has one word per slot of 16 channels.
// clang-format off
#define VEX_TVEX733STA(F, A) \
  F(uint32_t, Tim) F(uint16_t, Dat) F(uint16_t, StaFlg) F(uint16_t, GirOnn) F(uint16_t, GirOn2) \
  F(uint16_t, GirOn3) /* inputs on */ \
  F(uint16_t, OutOnn) F(uint16_t, OutOn2) \
  F(uint16_t, OutOn3) /* outputs on */ \
  F(uint16_t, FaiOnn) F(uint16_t, FaiOn2) \
  F(uint16_t, FaiOn3) /* failures */ \
  F(uint16_t, XxxOnn) F(uint16_t, XxxOn2) \
  F(uint16_t, XxxOn3) /* not interpreted */ \
  F(uint16_t, CmdOnn) F(uint16_t, CmdOn2) \
  F(uint16_t, CmdOn3) /* output commands */ \
  F(uint16_t, TypId1) F(uint16_t, TypId2) \
  F(uint16_t, TypId3) /* module type per slot */ \
  F(uint16_t, PulOt1) F(uint16_t, PulOt2) \
  F(uint16_t, PulOt3) /* pulse outputs */
// clang-format on
VEX_RECORD(tVex733sta, VEX_TVEX733STA, 50);
VEX_RECORD(tVex733tim, VEX_TIMREC, 6);
VEX_RECORD(tVex733sek, VEX_SEKREC, 124);
// Entry k (0..5) of the event sequence record.
tVexSek SekEntry(const tVex733sek& r, int k);
static_assert(offsetof(tVex733sek, Tim) == 2 && offsetof(tVex733sek, Sek) == 16);

// module types plugged into the slots
constexpr uint16_t cModTyp = 0x15;  // "Input-16x"
constexpr uint16_t cModTyS = 0x26;  // "SSR-4x6A"
constexpr uint16_t cModTy5 = 0x4C;  // "Relay-8x5A"
constexpr uint16_t cModTy8 = 0x83;  // "Relay-8x8A"
// "Empty" for 0, the type's name, or "Undef".
std::string ModTypText(uint16_t t);

namespace Vex733 {
constexpr uint16_t cTimSyn = 0x0020;  // time synchronisation active
constexpr uint16_t cTimIrg = 0x0040;  // IRIG-B synchronisation ("IrigB Sync")
constexpr uint16_t cTimLck = 0x0040;  // the same bit as IRIG-B lock ("Irig-B Lock")
}  // namespace Vex733

}  // namespace vex
