#include "config/Vex924type.h"

namespace vex {

void SetCheckWords(tVex924dxs& r) {
  r.SumRem = static_cast<uint16_t>(~(r.GirRem ^ r.Gi2Rem));
  r.SumAkt = static_cast<uint16_t>(~(r.GirAkt ^ r.Gi2Akt));
}

}  // namespace vex
