// The 16-input analog annunciator: Vex216 records plus its analog front end.
#pragma once

#include "config/Vex216type.h"

namespace vex {

// Analog values, 35 registers at 1280.
// clang-format off
#define VEX_TVEX316VAL(F, A) \
  A(uint16_t, GirRaw, 16) /* raw reading per input */ \
  A(uint16_t, NtcRaw, 4) /* thermistor readings */ \
  F(uint16_t, RefSet) F(uint16_t, RefAdc) F(uint16_t, RefVal) F(uint16_t, LthAdc) \
  F(uint16_t, LthVal) F(uint16_t, CurSet) F(uint16_t, CurVal) F(uint16_t, DvsCur) \
  F(uint16_t, PwmVal) F(uint16_t, CecAdc) F(uint16_t, CecVal) F(uint16_t, CtrVal) \
  F(uint16_t, PwrVal) F(uint16_t, SupAdc) F(uint16_t, SupVal)
// clang-format on
VEX_RECORD(tVex316val, VEX_TVEX316VAL, 70);

// Set points at 1536..1539, written one register at a time.
#define VEX_TVEX316SET(F, A) F(uint16_t, FvrSet) F(uint16_t, VolSet) F(uint16_t, EmpSet) F(uint16_t, DvsSet)
VEX_RECORD(tVex316set, VEX_TVEX316SET, 8);

// True for the sequence firmware variant of the Vex316.
bool Vex316Sequence(int appSof);

}  // namespace vex
