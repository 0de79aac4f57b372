// The first generation's records are declared in the header; its layout rules live in RegMap.
#include "config/Vex215type.h"
