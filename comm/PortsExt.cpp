// Extended transfers of the hub: file records of the rack RTU (0x14/0x15, reference type 5),
// the event sequence log, and boot blocks carrying their segment number.
#include <cstring>

#include "comm/Ports.h"

namespace vex {

namespace {

void PutByte(ByteStr& s, unsigned b) { s += static_cast<char>(b & 0xFF); }
void PutWord(ByteStr& s, unsigned w) {
  PutByte(s, w >> 8);
  PutByte(s, w);
}
// Reply byte n (counted from 1 at the node address); -1 past the end of the reply.
int At(const ByteStr& r, size_t n) { return n >= 1 && n <= r.size() ? static_cast<uint8_t>(r[n - 1]) : -1; }

}  // namespace

uint8_t TPorts1::ModReadFileRtu(uint8_t f, uint32_t a, uint8_t c, uint8_t* b, bool u) {
  if (c > 244) throw Exception("Block too big to readfile");
  ByteStr q;
  PutByte(q, ComNod);
  PutByte(q, 0x14);
  PutByte(q, 0x06);
  PutByte(q, 0x05);
  PutByte(q, f);
  PutByte(q, a >> 16);
  PutWord(q, a);
  PutByte(q, c);
  ByteStr r = ModTxRx(q, u);
  if (At(r, 3) != c + 2) throw Exception("Result size[+2] mismatch");
  if (At(r, 4) != c + 1) throw Exception("Result size[+1] mismatch");
  if (At(r, 5) != 5) throw Exception("Result subfunction mismatch");
  if (r.size() < 5u + c) throw Exception("Result size mismatch");  // fewer data bytes than announced
  if (c) std::memcpy(b, r.data() + 5, c);
  return c;
}

uint8_t TPorts1::ModWriteFileRtu(uint8_t f, uint32_t a, uint8_t c, const uint8_t* b, bool u) {
  // over TCP the header leaves room for 240 data bytes in one request
  if (c > 244 || (NetworkActive() && c > 240)) throw Exception("Block too big to writefile");
  ByteStr q;
  PutByte(q, ComNod);
  PutByte(q, 0x15);
  PutByte(q, c + 6u);
  PutByte(q, 0x05);
  PutByte(q, f);
  PutByte(q, a >> 16);
  PutWord(q, a);
  PutByte(q, c);
  if (c) q.append(reinterpret_cast<const char*>(b), c);
  ByteStr r = ModTxRx(q, u);
  if (At(r, 3) != 6) throw Exception("Result size[+1] mismatch");
  if (At(r, 4) != 5) throw Exception("Result subfunction mismatch");
  return c;
}

uint8_t TPorts1::ModReadSekans(uint32_t a, uint8_t c, uint8_t* b, bool u) {
  // over TCP the header leaves room for 245 data bytes in one reply
  if (c > 247 || (NetworkActive() && c > 245)) throw Exception("Block too big to ModReadLog");
  ByteStr q;
  PutByte(q, ComNod);
  PutByte(q, 0x14);
  PutByte(q, 0x06);
  PutByte(q, 0x05);
  PutWord(q, a >> 16);
  PutWord(q, a);
  PutByte(q, c);
  ByteStr r = ModTxRx(q, u);
  if (r.size() < 4) throw Exception("Result size[+1] mismatch");
  const int d = static_cast<int>(r.size()) - 4;
  if (At(r, 3) != d + 1) throw Exception("Result size[+1] mismatch");
  if (At(r, 4) != d) throw Exception("Result size[+0] mismatch");
  if (d > c) throw Exception("Result size mismatch");  // more than the caller's buffer holds
  if (d) std::memcpy(b, r.data() + 4, static_cast<size_t>(d));
  return static_cast<uint8_t>(d);
}

void TPorts1::ModWriteBooter(uint16_t a, uint16_t c, const uint8_t* v, uint16_t p, bool u) {
  if (c < 1 || c > 100) throw Exception("Requested write count invalid");
  ByteStr q;
  PutByte(q, ComNod);
  PutByte(q, 0x10);
  PutWord(q, a);
  PutWord(q, c + 1u);
  PutByte(q, 2u * c + 2);
  q.append(reinterpret_cast<const char*>(v), 2u * c);  // image bytes in their own order
  PutWord(q, p);
  ModTxRx(q, u);
}

}  // namespace vex
