// The transport seam under the Modbus exchange: what one request/reply exchange needs of a
// link, the same for the serial port and the TCP client (and for in-memory fakes in tests).
#pragma once

#include "comm/Comms.h"
#include "comm/Platform.h"
#include "comm/TcpClient.h"
#include "shell/Basics.h"

namespace vex {

class ILink {
 public:
  virtual ~ILink() = default;
  virtual void Send(const ByteStr& s) = 0;        // the whole frame, or raise
  virtual int Waiting() = 0;                      // bytes ready to read (<= 0: none)
  virtual int Receive(void* buf, int count) = 0;  // up to count bytes, 0 when none
  // Blocks until input may be read or the deadline passes. False at the deadline.
  virtual bool WaitReadable(platform::TimePoint deadline) = 0;
  // False once the link can deliver nothing more (closed, peer gone).
  virtual bool Alive() = 0;
};

class SerialLink : public ILink {
 public:
  explicit SerialLink(TComms1& c) : c_(c) {}
  void Send(const ByteStr& s) override { c_.Write(s.data(), static_cast<int>(s.size())); }
  int Waiting() override { return c_.InQue(); }
  int Receive(void* buf, int count) override {
    const int n = c_.Read(buf, count);
    if (n == 0 && hangUp_) gone_ = true;  // hung up and drained: nothing more will come
    return n;
  }
  bool WaitReadable(platform::TimePoint deadline) override {
    const short ev = c_.WaitEventsUntil(deadline);
    if (ev & (POLLHUP | POLLERR | POLLNVAL)) hangUp_ = true;
    return ev != 0;
  }
  bool Alive() override { return c_.FHandle != TComms1::kInvalidHandle && !gone_; }

 private:
  TComms1& c_;
  bool hangUp_ = false, gone_ = false;
};

class TcpLink : public ILink {
 public:
  explicit TcpLink(TClientSocket& s) : s_(s) {}
  void Send(const ByteStr& s) override { s_.SendBuf(s.data(), static_cast<int>(s.size())); }
  int Waiting() override { return s_.BytesWaiting(); }
  int Receive(void* buf, int count) override { return s_.ReceiveBuf(buf, count); }
  bool WaitReadable(platform::TimePoint deadline) override { return s_.WaitReadableUntil(deadline); }
  bool Alive() override { return s_.Active(); }

 private:
  TClientSocket& s_;
};

}  // namespace vex
