#include "config/VexLink.h"

namespace vex {

std::array<TSeqRequest, 3> SequenceRequests(int size) {
  if (size < 6 || size % 2 != 0 || size > 2 * 3 * 123)
    throw Exception("Sequence record size " + std::to_string(size) + " cannot be transferred");
  const int n = size / 6, w = size / 2;
  return {TSeqRequest{cRegSequence, static_cast<uint16_t>(n), 0},
          TSeqRequest{static_cast<uint16_t>(cRegSequence + n), static_cast<uint16_t>(n),
                      static_cast<uint16_t>(n)},
          TSeqRequest{static_cast<uint16_t>(cRegSequence + 2 * n), static_cast<uint16_t>(w - 2 * n),
                      static_cast<uint16_t>(2 * n)}};
}

template void ReadSequence<TPorts1>(TPorts1&, int, uint16_t*, bool);
template void WriteSequence<TPorts1>(TPorts1&, int, const uint16_t*, bool);
template void SendCommand<TPorts1>(TPorts1&, uint16_t, bool);
template void StoreEeprom<TPorts1>(TPorts1&, bool);
template void RestartDevice<TPorts1>(TPorts1&, bool);
template void EraseEvents<TPorts1>(TPorts1&, bool);

}  // namespace vex
