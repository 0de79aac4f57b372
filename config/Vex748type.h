// Records of the rack 48-input module "Tord48".
#pragma once

#include "comm/Event.h"
#include "config/RecordsCommon.h"

namespace vex {

VEX_RECORD(tVex748cfg, VEX_CFG4, 8);  // registers 51 AND 7, 14, 18, 19

// Status, 7 registers at 48.
// clang-format off
#define VEX_TVEX748STA(F, A) \
  F(uint32_t, Tim) F(uint16_t, Dat) F(uint16_t, StaFlg) F(uint16_t, GirOnn) F(uint16_t, GirOn2) \
  F(uint16_t, GirOn3) /* inputs on, 1-16, 17-32, 33-48 */
// clang-format on
VEX_RECORD(tVex748sta, VEX_TVEX748STA, 14);
VEX_RECORD(tVex748tim, VEX_TIMREC, 6);
VEX_RECORD(tVex748sek, VEX_SEKREC, 124);
// Entry k (0..5) of the event sequence record.
tVexSek SekEntry(const tVex748sek& r, int k);

namespace Vex748 {
constexpr uint16_t cTimSyn = 0x0020;  // time synchronisation active
}  // namespace Vex748

}  // namespace vex
