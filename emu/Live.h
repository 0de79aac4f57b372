// Live behaviour of the simulated models: the annunciators' alarm sequences and status
// blocks (emu/Annunciator.h) and the rack modules (emu/LiveRack.h).
#pragma once

#include <memory>

#include "emu/Device.h"

namespace vex::emu {

// Creates the live part of a device's model, or nullptr for a model without one.
std::unique_ptr<LivePart> MakeLivePart(Device& d);

}  // namespace vex::emu
