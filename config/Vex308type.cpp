#include "config/Vex308type.h"

namespace vex {

bool Vex308Sequence(int appSof) { return LayoutOf(TVexModel::Vex308, appSof).sequence; }

}  // namespace vex
