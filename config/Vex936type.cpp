#include "config/Vex936type.h"

namespace vex {

void SetCheckWords(tVex936dxs& r) {
  r.SumRem = static_cast<uint16_t>(~(r.GirRem ^ r.Gi2Rem ^ r.Gi3Rem));
  r.SumAkt = static_cast<uint16_t>(~(r.GirAkt ^ r.Gi2Akt ^ r.Gi3Akt));
}

}  // namespace vex
