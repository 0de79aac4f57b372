// The Modbus slave side of a simulated device: request data units in, replies out, and the
// faults a test can inject into the replies.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emu/Device.h"

namespace vex::emu {

// Executes one request PDU (function code and data) on the device and returns the reply
// PDU (an exception reply when the device refuses). Call with the device's mutex held.
ByteStr ProcessPdu(Device& d, const ByteStr& pdu);

// One injected fault. Text form: "<kind> [fn=<code>] [nth=<n>] [every=<n>] [times=<n>]
// [ms=<n>] [at=<n>] [code=<n>] [bytes=<n>]", kinds: noreply, delay, split, garbage, badcrc,
// exception, drop.
struct Fault {
  enum Kind { NoReply, Delay, Split, Garbage, BadCrc, Exception, Drop };
  Kind kind = NoReply;
  int fn = -1;     // only requests with this function code (-1 = every function)
  int nth = 0;     // only the n-th matching request (counted from when the fault was set)
  int every = 0;   // every n-th matching request
  int times = -1;  // at most this many times (-1 = no limit)
  int ms = 0;      // delay before the reply, or gap of a split reply
  int at = -1;     // split position in bytes (-1 = the middle)
  int code = 4;    // exception code (1..255)
  int bytes = 3;   // garbage bytes appended
  int seen = 0, fired = 0;
};
Fault ParseFault(const std::string& text);  // throws vex::Exception with the reason
std::string FaultText(const Fault& f);

class FaultPlan {
 public:
  void Add(const Fault& f) { faults_.push_back(f); }
  void Clear() { faults_.clear(); }
  const std::vector<Fault>& List() const { return faults_; }
  // The faults that fire for a request with function code fn (each counts the request).
  std::vector<Fault> Match(uint8_t fn);

 private:
  std::vector<Fault> faults_;
};

// A reply as it goes on the wire: pieces written after the given pause.
struct Piece {
  ByteStr bytes;
  int pauseMs = 0;  // pause before this piece
};
struct ReplyPlan {
  std::vector<Piece> pieces;  // empty = no reply
  bool dropConnection = false;
};

// Serial line: handles one received frame (node, PDU, CRC). Frames with a bad CRC, for
// another node, or broadcasts get no reply.
ReplyPlan HandleRtuFrame(Device& d, FaultPlan& faults, const ByteStr& frame);
// TCP: handles one MBAP frame (header, unit, PDU). `units` empty = answer every unit.
ReplyPlan HandleTcpFrame(Device& d, FaultPlan& faults, const ByteStr& frame, const std::vector<int>& units);

}  // namespace vex::emu
