// The Tord48's records are declared in the header; its layout rules live in RegMap.
#include "config/Vex748type.h"

namespace vex {

tVexSek SekEntry(const tVex748sek& r, int k) {
  if (k < 0 || k > 5) throw Exception("Sequence entry " + std::to_string(k) + " out of range [0~5]");
  return tVexSek::FromBytes(r.Sek + k * tVexSek::cBytes);
}

}  // namespace vex
