#include "comm/ReplyEnd.h"

namespace vex {

namespace {
unsigned Byte(const ByteStr& s, size_t i) { return static_cast<uint8_t>(s[i]); }
}  // namespace

int RtuReplyLength(const ByteStr& b) {
  if (b.size() < 2) return 0;
  const unsigned fn = Byte(b, 1);
  if (fn & 0x80) return 5;  // node, function, exception code, CRC
  switch (fn) {
    case 0x01:
    case 0x02:
    case 0x03:
    case 0x04:
    case 0x14:
    case 0x15:
      return b.size() < 3 ? 0 : 5 + static_cast<int>(Byte(b, 2));
    case 0x05:
    case 0x06:
    case 0x08:
    case 0x0F:
    case 0x10:
      return 8;
    default:
      return -1;
  }
}

bool RtuReplyComplete(const ByteStr& b) {
  const int n = RtuReplyLength(b);
  if (n <= 0 || b.size() != static_cast<size_t>(n)) return false;
  const unsigned crc = Byte(b, b.size() - 2) | (Byte(b, b.size() - 1) << 8);
  return CrcofStr(b.substr(0, b.size() - 2)) == crc;
}

bool TcpReplyComplete(const ByteStr& b) {
  if (b.size() < 6) return false;
  const size_t len = (Byte(b, 4) << 8) | Byte(b, 5);
  return b.size() == 6 + len;
}

}  // namespace vex
