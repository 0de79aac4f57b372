#include "comm/TcpClient.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vex {

TClientSocket::~TClientSocket() {
  // no events while the owner is going away
  OnDisconnect = nullptr;
  Close();
}

void TClientSocket::Error(const std::string& kind, int code) {
  if (OnError) OnError(kind, code);
  if (code == 0) return;
  std::string reason = code > 0 ? std::generic_category().message(code) : gai_strerror(code);
  throw eSocketError("Socket error " + std::to_string(code) + " (" + reason + ") on " + kind, kind, code);
}

void TClientSocket::Open() {
  Close();
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  const std::string port = std::to_string(Port);
  int g = getaddrinfo(Address.c_str(), port.c_str(), &hints, &res);
  if (g != 0) return Error("Connect", g == EAI_SYSTEM ? errno : g);
  fd_ = ::socket(res->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    int e = errno;
    freeaddrinfo(res);
    return Error("General", e);
  }
  int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  int r = ::connect(fd_, res->ai_addr, res->ai_addrlen);
  int e = errno;
  freeaddrinfo(res);
  if (r != 0 && e != EINPROGRESS) {
    ::close(fd_);
    fd_ = -1;
    return Error("Connect", e);
  }
  state_ = State::Connecting;  // completion is reported by Poll
}

void TClientSocket::Close() {
  if (fd_ < 0) return;
  const bool was = state_ == State::Connected;
  ::close(fd_);
  fd_ = -1;
  state_ = State::Closed;
  if (was && OnDisconnect) OnDisconnect();
}

bool TClientSocket::CheckPeerClosed() {
  char c;
  ssize_t r = ::recv(fd_, &c, 1, MSG_PEEK | MSG_DONTWAIT);
  if (r > 0 || (r < 0 && (errno == EAGAIN || errno == EINTR))) return false;
  int e = r < 0 ? errno : 0;
  Close();
  if (e != 0 && e != ECONNRESET) Error("Receive", e);
  return true;
}

bool TClientSocket::Poll(int timeoutMs) {
  if (fd_ < 0) return false;
  const short want = state_ == State::Connecting ? POLLOUT : POLLIN;
  short ev = platform::WaitFd(fd_, want, platform::AfterMs(platform::Now(), timeoutMs));
  if (ev == 0) return false;
  if (state_ == State::Connecting) {
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
    if (err != 0) {
      ::close(fd_);
      fd_ = -1;
      state_ = State::Closed;
      Error("Connect", err);
      return true;
    }
    state_ = State::Connected;
    if (OnConnect) OnConnect();
    return true;
  }
  if (BytesWaiting() > 0) return true;
  CheckPeerClosed();
  return true;
}

int TClientSocket::BytesWaiting() {
  if (fd_ < 0 || state_ != State::Connected) return 0;
  int n = 0;
  if (::ioctl(fd_, FIONREAD, &n) != 0) return 0;
  return n;
}

int TClientSocket::ReceiveBuf(void* buf, int count) {
  if (fd_ < 0 || count <= 0) return 0;
  for (;;) {
    ssize_t r = ::recv(fd_, buf, static_cast<size_t>(count), MSG_DONTWAIT);
    if (r > 0) return static_cast<int>(r);
    if (r == 0) {  // the peer closed
      Close();
      return 0;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    int e = errno;
    Close();
    Error("Receive", e);
    return 0;
  }
}

int TClientSocket::SendBuf(const void* buf, int count) {
  if (fd_ < 0 || state_ != State::Connected) {
    Error("Send", ENOTCONN);
    return 0;
  }
  auto p = static_cast<const char*>(buf);
  int done = 0;
  while (done < count) {
    ssize_t r = ::send(fd_, p + done, static_cast<size_t>(count - done), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (r > 0) {
      done += static_cast<int>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno == EAGAIN) {
      platform::WaitFd(fd_, POLLOUT, platform::AfterMs(platform::Now(), 1000));
      continue;
    }
    int e = r < 0 ? errno : EPIPE;
    Close();
    Error("Send", e);
    return done;
  }
  return done;
}

bool TClientSocket::WaitReadableUntil(platform::TimePoint deadline) {
  if (fd_ < 0 || state_ != State::Connected) return false;
  short ev = platform::WaitFd(fd_, POLLIN | POLLRDHUP, deadline);
  if (ev == 0) return false;
  if (ev & (POLLRDHUP | POLLHUP | POLLERR)) CheckPeerClosed();  // data still waiting is kept
  return true;
}

}  // namespace vex
