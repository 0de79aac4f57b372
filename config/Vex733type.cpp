#include "config/Vex733type.h"

namespace vex {

tVexSek SekEntry(const tVex733sek& r, int k) {
  if (k < 0 || k > 5) throw Exception("Sequence entry " + std::to_string(k) + " out of range [0~5]");
  return tVexSek::FromBytes(r.Sek + k * tVexSek::cBytes);
}

std::string ModTypText(uint16_t t) {
  switch (t) {
    case 0:
      return "Empty";
    case cModTyp:
      return "Input-16x";
    case cModTyS:
      return "SSR-4x6A";
    case cModTy5:
      return "Relay-8x5A";
    case cModTy8:
      return "Relay-8x8A";
    default:
      return "Undef";
  }
}

}  // namespace vex
