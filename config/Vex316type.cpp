#include "config/Vex316type.h"

namespace vex {

bool Vex316Sequence(int appSof) { return LayoutOf(TVexModel::Vex316, appSof).sequence; }

}  // namespace vex
