// The hub attached to a scripted slave on either transport, and the frames of that transport.
#pragma once

#include "comm/Ports.h"
#include "tests/comm/FakeSlave.h"

namespace vex::test {

// Connects the hub to the slave: the serial line at 115200 baud (node $EE) or TCP (unit 1).
// False when the TCP connection does not come up.
inline bool Attach(TPorts1& p, FakeSlave& s, FakeSlave::Kind k) {
  if (k == FakeSlave::Kind::Tcp) {
    p.ActivePage = lpNetwork;
    p.ClientSocket1.Address = "127.0.0.1";
    p.ClientSocket1.Port = s.Port();
    p.ClientSocket1.Open();
    for (int i = 0; i < 100 && !p.ClientSocket1.Active(); ++i) p.ClientSocket1.Poll(20);
    p.ComNod = 1;
    return p.ClientSocket1.Active();
  }
  p.Comm1.Device = s.Path();
  p.Comm1.Baudrate = br115200;
  p.Comm1.Open();
  p.ComNod = 0xEE;
  return true;
}

// The reply frame for a request frame, as the transport wants it.
inline ByteStr FrameFor(FakeSlave::Kind k, const ByteStr& req, const ByteStr& pdu) {
  return k == FakeSlave::Kind::Tcp ? WithMbap(TrnOf(req), pdu) : WithCrc(pdu);
}
// A request frame without its header or CRC.
inline ByteStr PduOf(FakeSlave::Kind k, const ByteStr& frame) {
  return k == FakeSlave::Kind::Tcp ? frame.substr(6) : frame.substr(0, frame.size() - 2);
}

}  // namespace vex::test
