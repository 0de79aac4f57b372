#include "emu/Live.h"

#include "emu/Annunciator.h"
#include "emu/LiveRack.h"

namespace vex::emu {

std::unique_ptr<LivePart> MakeLivePart(Device& d) {
  const ModelInfo& m = d.Info();
  switch (m.model) {
    case Model::Vald3:
    case Model::Tord48:
      return std::make_unique<RackModule>(m);
    case Model::Brix3:
      return nullptr;
    default:
      return std::make_unique<Annunciator>(m);
  }
}

}  // namespace vex::emu
