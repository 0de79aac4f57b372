// Non-blocking TCP client of the device link (Modbus TCP). Connecting never blocks: Open
// starts it and Poll reports the outcome through the events, as it reports a peer that
// closed the connection. Errors raise the OnError event and then an exception, unless the
// handler cleared the code.
#pragma once

#include <functional>
#include <string>

#include "comm/Platform.h"
#include "shell/Basics.h"

namespace vex {

// A socket failure: "Socket error <code> (<reason>) on <kind>".
class eSocketError : public Exception {
 public:
  eSocketError(const std::string& msg, const std::string& kind, int code)
      : Exception(msg), kind_(kind), code_(code) {}
  const std::string& Kind() const { return kind_; }
  int Code() const { return code_; }

 private:
  std::string kind_;
  int code_;
};

class TClientSocket {
 public:
  TClientSocket() = default;
  ~TClientSocket();
  TClientSocket(const TClientSocket&) = delete;
  TClientSocket& operator=(const TClientSocket&) = delete;

  std::string Address;  // numeric address or host name of the target
  int Port = 502;

  // Events. OnError gets the kind ("Send", "Receive", "Connect", "Disconnect", "Accept" or
  // "General") and the errno; setting the code to 0 keeps the exception from being raised.
  std::function<void()> OnConnect;
  std::function<void()> OnDisconnect;
  std::function<void(const std::string& kind, int& code)> OnError;

  // Starts connecting to Address:Port (closing an earlier connection first).
  void Open();
  // Closes the socket; a connected socket reports OnDisconnect.
  void Close();
  bool Active() const { return state_ == State::Connected; }
  bool Connecting() const { return state_ == State::Connecting; }
  int Handle() const { return fd_; }

  // Waits up to timeoutMs for something to happen and processes it: a finished connect
  // (OnConnect or OnError "Connect") or a peer that closed (OnDisconnect). Returns at once
  // when data is waiting. Returns true when an event fired or data is waiting.
  bool Poll(int timeoutMs);

  int BytesWaiting();                       // received bytes waiting, 0 when not connected
  int ReceiveBuf(void* buf, int count);     // takes up to count waiting bytes
  int SendBuf(const void* buf, int count);  // sends all, blocking while the send queue is full
  // Blocks until data is waiting, the connection ends or the deadline passes.
  bool WaitReadableUntil(platform::TimePoint deadline);

 private:
  enum class State { Closed, Connecting, Connected };
  void Error(const std::string& kind, int code);
  bool CheckPeerClosed();  // true (and closed) when the peer has ended the connection
  int fd_ = -1;
  State state_ = State::Closed;
};

}  // namespace vex
