#include "config/Vex216type.h"

namespace vex {

tVex216sta StaFromRtu(const tVex216rtu& r) {
  tVex216sta s = Zeroed<tVex216sta>();
  s.GirOnn = r.GirOnn;
  s.GirAkt = r.GirAkt;
  s.GirHld = r.GirHld;
  s.StaFlg = r.StaFlg;
  s.GirRed = r.GirRed;
  s.GirGrn = r.GirGrn;
  return s;
}

}  // namespace vex
