// Transactions of the hub: the raw exchange on either transport, Modbus framing and reply
// checks, and the typed register and coil operations with their console echo.
#include "comm/Ports.h"

#include <algorithm>

#include "comm/Link.h"
#include "comm/ReplyEnd.h"

namespace vex {

namespace {

constexpr size_t kFrameMax = 255;  // frames are at most 255 bytes
constexpr int kReadChunk = 250;    // bytes taken from the input per pass

void PutByte(ByteStr& s, unsigned b) { s += static_cast<char>(b & 0xFF); }
void PutWord(ByteStr& s, unsigned w) {
  PutByte(s, w >> 8);
  PutByte(s, w);
}
unsigned Byte(const ByteStr& s, size_t i) { return static_cast<uint8_t>(s[i]); }
unsigned Word(const ByteStr& s, size_t i) { return (Byte(s, i) << 8) | Byte(s, i + 1); }
void Cut(ByteStr& s) {
  if (s.size() > kFrameMax) s.resize(kFrameMax);
}
std::string Hex4(unsigned v) { return "0x" + IntToHex(v & 0xFFFF, 4); }

}  // namespace

TPorts1::TPorts1() = default;

TPorts1::~TPorts1() {
  // the owner is going away: no more events into it
  ClientSocket1.OnConnect = nullptr;
  ClientSocket1.OnDisconnect = nullptr;
  ClientSocket1.OnError = nullptr;
  ClientSocket1.Close();
  Comm1.Close();
}

void TPorts1::ShowFrame(TConsoleText which, const char* tag, const ByteStr& s) {
  const std::string hex = Str255toHex(s);
  SetText(which, hex);
  Log(std::string(tag) + "[" + std::to_string(s.size()) + "]= " + hex);
}

std::chrono::nanoseconds TPorts1::IdleTime() const {
  return std::max<std::chrono::nanoseconds>(std::chrono::milliseconds(IdleMs), Comm1.CharTime() * 7 / 2);
}

// Bytes waiting before a serial request belong to no reply of ours (a late end of an earlier
// one, line noise): they are read away and logged, and the request waits until the line has
// been quiet for the idle time, counted from the last byte sent or received. A line that
// keeps chattering is given up on after the reply window, and the request goes anyway.
void TPorts1::AwaitIdleLine(ILink& link) {
  using namespace platform;
  const TimePoint start = Now();
  const TimePoint giveUp = AfterMs(start, ComBln);
  if (!LinkOverride) LineTime_ = std::max(LineTime_, Comm1.LineTime);
  ByteStr stale;
  uint8_t buf[kFrameMax];
  for (;;) {
    int got = 0;
    for (int n; link.Alive() && (n = link.Waiting()) > 0;) {
      const int r = link.Receive(buf, std::min<int>(n, static_cast<int>(kFrameMax)));
      if (r <= 0) break;
      got += r;
      if (stale.size() < kFrameMax) stale.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(r));
    }
    const TimePoint now = Now();
    if (got > 0) LineTime_ = std::max(LineTime_, now);
    const TimePoint quiet = LineTime_ + std::chrono::duration_cast<Clock::duration>(IdleTime());
    const bool chatter = !stale.empty();  // a chattering line is waited on no longer than the window
    if (now >= quiet || (chatter && now > giveUp) || !link.Alive()) break;
    const TimePoint until = chatter ? std::min(quiet, giveUp) : quiet;
    if (link.WaitReadable(until) && link.Waiting() <= 0) SleepUntil(until);  // woken without data (hang-up)
  }
  if (!stale.empty()) {
    Cut(stale);
    Log("Discarded[" + std::to_string(stale.size()) + "]= " + Str255toHex(stale));
  }
}

void TPorts1::DropStale(ILink& link) {
  ByteStr stale;
  uint8_t buf[kFrameMax];
  for (int n; (n = link.Waiting()) > 0;) {
    const int r = link.Receive(buf, std::min<int>(n, static_cast<int>(kFrameMax)));
    if (r <= 0) break;
    if (stale.size() < kFrameMax) stale.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(r));
  }
  if (!stale.empty()) {
    Cut(stale);
    Log("Discarded[" + std::to_string(stale.size()) + "]= " + Str255toHex(stale));
  }
}

// Sends one frame and collects the reply into ComBuf: the reply is complete after ComTmo ms
// without a byte once something arrived, and is given up ComBln ms after transmission. With
// "Fast reply detection" a reply that is provably complete (its length as the function code
// and byte count, or the TCP header, fix it, and on the serial line its CRC checks) ends the
// exchange at once; anything else still waits for the silence. With "Suppress echo" the
// request bytes an RS-485 adapter echoes ahead of the reply are dropped.
// Blocks in poll() until the next byte or the nearest deadline.
ByteStr TPorts1::Exchange(ILink& link, const ByteStr& frame, bool serial, bool shown) {
  using namespace platform;
  ComBuf.clear();
  uint8_t buf[kFrameMax];
  TimePoint w;
  const bool fast = CheckBox5;
  bool echo = serial && CheckBox6 && !frame.empty();  // the request's echo is still expected
  if (serial) {
    AwaitIdleLine(link);
    w = AfterMs(Now(), ComBln);
    link.Send(frame);
    if (LinkOverride) LineTime_ = Now() + static_cast<int64_t>(frame.size()) * Comm1.CharTime();
    if (frame.empty()) return ComBuf;
  } else {
    DropStale(link);  // late bytes of an earlier reply are not this reply
    link.Send(frame);
    w = AfterMs(Now(), ComBln);
  }
  TimePoint s{};
  bool look = false;       // input may be waiting: a wait reported it, or the last read filled its chunk
  bool signalled = false;  // the last wait ended because the link reported something
  for (;;) {
    const TimePoint now = Now();
    int got = 0;
    // at most 250 of the waiting bytes; after a wake-up without data an error or hang-up shows here
    if (look && link.Alive()) got = link.Receive(buf, kReadChunk);
    if (got > 0) {
      if (serial) LineTime_ = std::max(LineTime_, now);
      ComBuf.append(reinterpret_cast<const char*>(buf), static_cast<size_t>(got));
      if (echo) {
        const size_t k = std::min(ComBuf.size(), frame.size());
        if (ComBuf.compare(0, k, frame, 0, k) != 0) {
          echo = false;  // not the request: the reply itself
        } else if (ComBuf.size() >= frame.size()) {
          if (shown) Log("Echo[" + std::to_string(frame.size()) + "]= " + Str255toHex(frame));
          ComBuf.erase(0, frame.size());
          echo = false;
        }
      }
      Cut(ComBuf);
      if (!echo && !ComBuf.empty()) s = AfterMs(now, ComTmo);
      if (fast && !echo && (serial ? RtuReplyComplete(ComBuf) : TcpReplyComplete(ComBuf))) break;
    }
    const bool reply = !echo && !ComBuf.empty();  // reply bytes (not a part of the echo) arrived
    if (reply && now > s) break;                  // silence after the reply
    if (now > w) break;                           // reply window closed
    if (!link.Alive()) break;                     // nothing more can come
    if (got == kReadChunk) {                      // more may be waiting already: read on before waiting
      signalled = false;
      continue;
    }
    TimePoint next = (reply && s < w) ? s : w;
    next += std::chrono::microseconds(1);
    if (fast && serial && reply) {
      // the rest of a reply of known length needs its time on the wire: sleep through it
      // rather than wake for every byte (the silence and window deadlines still bound it)
      const int n = RtuReplyLength(ComBuf);
      if (n > static_cast<int>(ComBuf.size()) + 1) {
        const TimePoint due = now + (n - static_cast<int>(ComBuf.size()) - 1) * Comm1.CharTime();
        if (due > now + std::chrono::microseconds(500)) {
          SleepUntil(std::min(due, next));
          signalled = false;
          look = true;
          continue;
        }
      }
    }
    if (signalled && got <= 0) {
      SleepUntil(next);  // the link keeps reporting without data: hung up, wait out the time
      signalled = false;
      look = true;
      continue;
    }
    signalled = link.WaitReadable(next);
    look = signalled;
  }
  return ComBuf;
}

ByteStr TPorts1::Konus(const ByteStr& s, bool u) {
  if (ComBsy) return {};  // a nested call never touches the transport
  ComBsy = true;
  struct BusyReset {
    bool& b;
    ~BusyReset() { b = false; }
  } reset{ComBsy};
  ComBuf.clear();
  const bool shown = Shown(u);
  ByteStr r;
  try {
    if (shown) {
      SetText(TConsoleText::Transmit, "");
      SetText(TConsoleText::Receive, "");
      Error("");
    }
    if (NetworkActive()) {
      r = Konus5(s, u);
    } else {
      if (shown) ShowFrame(TConsoleText::Transmit, "Tx", s);
      SerialLink serial(Comm1);
      ILink& link = LinkOverride ? *LinkOverride : serial;
      try {
        Exchange(link, s, true, shown);
      } catch (...) {
        if (shown) ShowFrame(TConsoleText::Receive, "Rx", ComBuf);
        throw;
      }
      r = ComBuf;
      if (shown) ShowFrame(TConsoleText::Receive, "Rx", r);
    }
  } catch (...) {
    if (ProcessMessages) ProcessMessages();
    throw;
  }
  if (ProcessMessages) ProcessMessages();
  return r;
}

ByteStr TPorts1::Konus5(const ByteStr& s, bool u) {
  const bool shown = Shown(u);
  ++NetTrn;  // wraps to 0 after 65535
  ByteStr f;
  PutWord(f, NetTrn);
  PutWord(f, 0);
  PutByte(f, 0);
  PutByte(f, static_cast<unsigned>(s.size()));
  f += s;
  Cut(f);
  if (shown) ShowFrame(TConsoleText::Transmit, "Tx", f);
  TcpLink tcp(ClientSocket1);
  ILink& link = LinkOverride ? *LinkOverride : tcp;
  try {
    Exchange(link, f, false, shown);
  } catch (...) {
    if (shown) ShowFrame(TConsoleText::Receive, "Rx", ComBuf);
    throw;
  }
  const ByteStr& b = ComBuf;
  const char* err = nullptr;
  if (!b.empty()) {
    if (b.size() < 6)
      err = "Packetsize mismatch";  // not even a whole header
    else if (Word(b, 0) != NetTrn)
      err = "Transaction mismatch";
    else if (Word(b, 2) != 0)
      err = "Protocol mismatch";
    else if (Byte(b, 4) != 0 || Byte(b, 5) != ((b.size() - 6) & 0xFF))
      err = "Packetsize mismatch";
  }
  ByteStr r = b.size() > 6 ? b.substr(6) : ByteStr();
  if (shown) ShowFrame(TConsoleText::Receive, "Rx", b);
  if (err) throw Exception(err);
  return r;
}

ByteStr TPorts1::ModTxRx(const ByteStr& q, bool u) {
  const bool serial = !NetworkActive();
  ByteStr f = q;
  if (serial) {
    const uint16_t c = CrcofStr(q);
    PutByte(f, c);
    PutByte(f, c >> 8);
    Cut(f);
  }
  ByteStr r = Konus(f, u);
  if (r.empty()) throw Exception("No Response");
  if (r.size() < (serial ? 5u : 3u)) throw Exception("Result too short");
  unsigned crc = 0;
  if (serial) {
    crc = Byte(r, r.size() - 2) + 256 * Byte(r, r.size() - 1);
    r.resize(r.size() - 2);
  }
  if (q.empty() || r[0] != q[0]) throw Exception("Result adress mismatch");
  if (Byte(r, 1) & 0x80) {
    switch (const unsigned code = Byte(r, 2)) {
      case 1:
        throw Exception("Modbus Undeclared Function");
      case 2:
        throw Exception("Modbus Register not Present");
      case 3:
        throw Exception("Modbus Count Mismatch");
      case 4:
        throw Exception("Modbus Device Busy");
      default:
        throw Exception("Modbus, Unknown Error=$" + IntToHex(code, 2));
    }
  }
  if (q.size() < 2 || r[1] != q[1]) throw Exception("Result command mismatch");
  if (serial && CrcofStr(r) != crc) throw Exception("Result CRC mismatch");
  return r;
}

// ---- console echo of the typed operations ----

void TPorts1::StartGroup(TTestGroup g, bool shown, const std::string& first, const std::string& second) {
  if (!shown) return;
  Group(g).Values.clear();
  SetGroupField(g, TGroupField::Values, "");
  SetGroupField(g, TGroupField::First, first);
  SetGroupField(g, TGroupField::Second, second);
}

template <class F>
void TPorts1::InGroup(TTestGroup g, bool shown, F&& body) {
  auto copy = [&] {
    if (!shown) return;
    SetGroupField(g, TGroupField::Query, Text(TConsoleText::Transmit));
    SetGroupField(g, TGroupField::Result, Text(TConsoleText::Receive));
  };
  try {
    body();
  } catch (...) {
    copy();
    throw;
  }
  copy();
}

// ---- reads ----

void TPorts1::ReadRegs(uint8_t fn, int a, int c, uint16_t* v, bool u, int hexDigits) {
  if (c < 1 || c > 123) throw Exception("Requested read count invalid");
  const bool shown = Shown(u);
  StartGroup(TTestGroup::Registers, shown, Hex4(a), std::to_string(c));
  InGroup(TTestGroup::Registers, shown, [&] {
    ByteStr q;
    PutByte(q, ComNod);
    PutByte(q, fn);
    PutWord(q, a);
    PutWord(q, c);
    ByteStr r = ModTxRx(q, u);
    if (Byte(r, 2) != 2u * c) throw Exception("Result count mismatch");
    if (r.size() != 2u * c + 3) throw Exception("Result size mismatch");
    for (int i = 0; i < c; ++i) v[i] = static_cast<uint16_t>(Word(r, 3 + 2 * i));
    if (!shown) return;
    std::string line;
    if (hexDigits == 8) {
      line = "0x" + IntToHex(v[0] | (uint32_t{v[1]} << 16), 8);
    } else {
      for (int i = 0; i < c; ++i) line += (i ? " " : "") + Hex4(v[i]);
    }
    AddGroupValues(TTestGroup::Registers, line);
  });
}

int TPorts1::ModRead(int a, bool u) {
  uint16_t v = 0;
  ReadRegs(0x03, a, 1, &v, u, 4);
  return v;
}

uint32_t TPorts1::ModReadLong(int a, bool u) {
  uint16_t v[2] = {0, 0};
  ReadRegs(0x03, a, 2, v, u, 8);
  return v[0] | (uint32_t{v[1]} << 16);  // low word in the first register
}

void TPorts1::ModReadMulti(int a, int c, uint16_t* v, bool u) { ReadRegs(0x03, a, c, v, u, 4); }
void TPorts1::ModReadMulti0x04(int a, int c, uint16_t* v, bool u) { ReadRegs(0x04, a, c, v, u, 4); }

void TPorts1::ReadBits(uint8_t fn, uint16_t a, uint16_t c, uint8_t* v, bool u) {
  // over TCP the header leaves room for 1968 bits in one reply
  if (c < 1 || c > 1984 || (NetworkActive() && c > 1968))
    throw Exception("Requested read coil count invalid");
  const bool shown = Shown(u);
  const unsigned bytes = (c + 7u) / 8;
  StartGroup(TTestGroup::Coils, shown, Hex4(a), std::to_string(c));
  InGroup(TTestGroup::Coils, shown, [&] {
    ByteStr q;
    PutByte(q, ComNod);
    PutByte(q, fn);
    PutWord(q, a);
    PutWord(q, c);
    ByteStr r = ModTxRx(q, u);
    if (Byte(r, 2) != bytes) throw Exception("Result count mismatch");
    if (r.size() != bytes + 3) throw Exception("Result size mismatch");
    std::string line;
    for (unsigned i = 0; i < bytes; ++i) {
      v[i] = static_cast<uint8_t>(Byte(r, 3 + i));
      line += (i ? " 0x" : "0x") + IntToHex(v[i], 2) + "=" + InttoBin(v[i], 8);
    }
    if (shown) AddGroupValues(TTestGroup::Coils, line);
  });
}

void TPorts1::ModReadCoils(uint16_t a, uint16_t c, uint8_t* v, bool u) { ReadBits(0x01, a, c, v, u); }
void TPorts1::ModReadInputs(uint16_t a, uint16_t c, uint8_t* v, bool u) { ReadBits(0x02, a, c, v, u); }

// ---- writes ----

void TPorts1::ModWriteCoil(uint16_t a, uint8_t v, bool u) {
  const bool shown = Shown(u);
  StartGroup(TTestGroup::WriteCoil, shown, Hex4(a), std::to_string(v));
  InGroup(TTestGroup::WriteCoil, shown, [&] {
    ByteStr q;
    PutByte(q, ComNod);
    PutByte(q, 0x05);
    PutWord(q, a);
    PutByte(q, v);
    PutByte(q, 0);
    ModTxRx(q, u);
  });
}

void TPorts1::ModWriteCoil(uint16_t a, bool d, bool u) {
  ModWriteCoil(a, static_cast<uint8_t>(d ? 255 : 0), u);
}

void TPorts1::WriteRegs(TTestGroup g, uint16_t a, const uint16_t* v, uint16_t c, bool u,
                        const std::string& first, const std::string& second,
                        const std::vector<std::string>& shownValues) {
  const bool shown = Shown(u);
  StartGroup(g, shown, first, second);
  if (shown && !shownValues.empty()) {
    std::string line;
    for (size_t i = 0; i < shownValues.size(); ++i) line += (i ? " " : "") + shownValues[i];
    AddGroupValues(g, line);
  }
  InGroup(g, shown, [&] {
    ByteStr q;
    PutByte(q, ComNod);
    PutByte(q, 0x10);
    PutWord(q, a);
    PutWord(q, c);
    PutByte(q, 2u * c);
    for (unsigned i = 0; i < c; ++i) PutWord(q, v[i]);
    ModTxRx(q, u);
  });
}

void TPorts1::ModWrite(uint16_t a, uint16_t d, bool u) {
  WriteRegs(TTestGroup::WriteReg, a, &d, 1, u, Hex4(a), Hex4(d), {});
}

void TPorts1::ModWrite2(uint16_t a, uint16_t d1, uint16_t d2, bool u) {
  const uint16_t v[2] = {d1, d2};
  WriteRegs(TTestGroup::WriteMulti, a, v, 2, u, Hex4(a), "2", {Hex4(d1), Hex4(d2)});
}

void TPorts1::ModWrite4(uint16_t a, uint16_t d1, uint16_t d2, uint16_t d3, uint16_t d4, bool u) {
  const uint16_t v[4] = {d1, d2, d3, d4};
  WriteRegs(TTestGroup::WriteMulti, a, v, 4, u, Hex4(a), "4", {Hex4(d1), Hex4(d2), Hex4(d3), Hex4(d4)});
}

void TPorts1::ModWriteLong(uint32_t a, uint32_t d, bool u) {
  const uint16_t v[2] = {static_cast<uint16_t>(d & 0xFFFF), static_cast<uint16_t>(d >> 16)};
  WriteRegs(TTestGroup::WriteMulti, static_cast<uint16_t>(a), v, 2, u, Hex4(a), "2", {"0x" + IntToHex(d, 8)});
}

void TPorts1::ModWriteMulti(uint16_t a, uint16_t c, const uint16_t* v, bool u) {
  // over TCP the header leaves room for 121 registers in one request
  if (c < 1 || c > 123 || (NetworkActive() && c > 121)) throw Exception("Requested write count invalid");
  std::vector<std::string> shown;
  if (Shown(u))
    for (unsigned i = 0; i < c; ++i) shown.push_back(Hex4(v[i]));
  WriteRegs(TTestGroup::WriteMulti, a, v, c, u, Hex4(a), std::to_string(c), shown);
}

uint16_t TPorts1::ModEcho(uint16_t a, uint16_t d, bool u) {
  const bool shown = Shown(u);
  uint16_t e = 0;
  InGroup(TTestGroup::Echo, shown, [&] {
    ByteStr q;
    PutByte(q, ComNod);
    PutByte(q, 0x08);
    PutWord(q, a);
    PutWord(q, d);
    ByteStr r = ModTxRx(q, u);
    if (r.size() != 6) throw Exception("Result size mismatch");
    e = static_cast<uint16_t>(Word(r, 4));
    if (e != d) throw Exception("Result echo mismatch");
    if (shown) SetGroupField(TTestGroup::Echo, TGroupField::Second, Hex4(e));
  });
  return e;
}

}  // namespace vex
