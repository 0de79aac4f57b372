// The Tord48's records are declared in the header; its layout rules live in RegMap.
#include "config/Vex748type.h"
