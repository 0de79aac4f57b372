// Records of the first-generation 16-input annunciator (shown to the user as "Vex216").
#pragma once

#include "config/RecordsCommon.h"

namespace vex {

// Configuration as the editor keeps it (fields from registers 35 AND 7, 14, 16..19).
// clang-format off
#define VEX_TVEX215CFG(F, A) \
  F(uint16_t, EepSta) /* configuration state */ \
  F(uint16_t, ModIdf) /* Modbus slave ID */ \
  F(uint16_t, HrnSel) /* inputs driving the HORN output */ \
  F(uint16_t, BelSel) /* inputs driving the BELL output */ \
  F(uint16_t, SetTmo) /* detection time, ms */ \
  F(uint16_t, ClrTmo) /* clearance time, ms */
// clang-format on
VEX_RECORD(tVex215cfg, VEX_TVEX215CFG, 12);

// Live state, 6 registers at 32.
// clang-format off
#define VEX_TVEX215SIM(F, A) \
  F(uint16_t, GirOnn) /* inputs on */ \
  F(uint16_t, GirAkt) /* inputs active */ \
  F(uint16_t, GirHld) /* held */ \
  F(uint16_t, StaFlg) /* status flags */ \
  F(uint16_t, SelHrn) /* horn selection */ \
  F(uint16_t, SelBel) /* bell selection */
// clang-format on
VEX_RECORD(tVex215sim, VEX_TVEX215SIM, 12);

// Panel state filled by the first-generation panel view from tVex215sim (never read as such).
VEX_RECORD(tVex215sta, VEX_TVEX216STA, 28);

namespace Vex215 {
// key words of the first generation
constexpr uint16_t cKeyRes = 0x11;
constexpr uint16_t cKeyHrn = 0x22;
constexpr uint16_t cKeyTst = 0x33;
constexpr uint16_t cKeyAck = 0x44;
constexpr uint16_t cKeyTsx = 0x55;
}  // namespace Vex215

}  // namespace vex
