#include "config/Vex324type.h"

namespace vex {

int Vex324IsaSize(int appSof) { return LayoutOf(TVexModel::Vex324, appSof).isaSize; }

}  // namespace vex
