// When a reply is provably complete: its length as the function code and byte count fix it
// (Modbus RTU, CRC included) or as the MBAP header gives it (Modbus TCP). A reply that is not
// provably complete is ended by the silence rule of the exchange.
#pragma once

#include <cstddef>

#include "shell/Basics.h"

namespace vex {

// Length of the whole serial reply frame (node address to CRC) that begins with the bytes of
// b: 0 while the bytes so far cannot tell yet, -1 for a function whose length is not known.
// Known: exception replies, 0x01-0x04, 0x14 and 0x15 (byte count in the third byte), 0x05,
// 0x06, 0x08, 0x0F and 0x10 (eight bytes).
int RtuReplyLength(const ByteStr& b);

// b is exactly one serial reply frame of the length its function fixes, with a valid CRC.
bool RtuReplyComplete(const ByteStr& b);

// b is exactly one Modbus TCP frame of the length its header announces.
bool TcpReplyComplete(const ByteStr& b);

}  // namespace vex
