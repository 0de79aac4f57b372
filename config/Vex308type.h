// The 8-input annunciator uses the records of the Vex216 (config/Vex216type.h); this unit
// holds what is its own.
#pragma once

#include "config/Vex216type.h"

namespace vex {

// True for the sequence firmware variants of the Vex308.
bool Vex308Sequence(int appSof);

}  // namespace vex
