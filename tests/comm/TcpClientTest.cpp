// The TCP client against loopback listeners: connect events, refusals, peer close, data.
#include "comm/TcpClient.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace vex {
namespace {

struct Listener {
  Listener() {
    fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), len), 0);
    EXPECT_EQ(::listen(fd, 2), 0);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~Listener() {
    if (conn >= 0) ::close(conn);
    ::close(fd);
  }
  void Accept() { conn = ::accept(fd, nullptr, nullptr); }
  int fd = -1, conn = -1, port = 0;
};

// A loopback port with nobody listening.
int FreePort() {
  Listener l;
  return l.port;
}

struct Events {
  std::vector<std::string> seen;
  void Attach(TClientSocket& s) {
    s.OnConnect = [this] { seen.push_back("connect"); };
    s.OnDisconnect = [this] { seen.push_back("disconnect"); };
    s.OnError = [this](const std::string& kind, int& code) {
      seen.push_back(kind + ":" + std::to_string(code));
    };
  }
};

void WaitConnected(TClientSocket& s) {
  for (int i = 0; i < 100 && s.Connecting(); ++i) s.Poll(20);
}

TEST(TcpClient, ConnectsAndExchangesData) {
  Listener l;
  TClientSocket s;
  Events ev;
  ev.Attach(s);
  s.Address = "127.0.0.1";
  s.Port = l.port;
  s.Open();
  EXPECT_FALSE(s.Active());  // the event comes through Poll
  WaitConnected(s);
  ASSERT_TRUE(s.Active());
  EXPECT_EQ(ev.seen, std::vector<std::string>{"connect"});
  l.Accept();

  EXPECT_EQ(s.SendBuf("ping", 4), 4);
  char b[8] = {};
  EXPECT_EQ(::recv(l.conn, b, sizeof b, 0), 4);
  EXPECT_EQ(std::string(b, 4), "ping");

  EXPECT_EQ(s.BytesWaiting(), 0);
  ASSERT_EQ(::send(l.conn, "pong!", 5, 0), 5);
  EXPECT_TRUE(s.WaitReadableUntil(platform::AfterMs(platform::Now(), 1000)));
  for (int i = 0; i < 100 && s.BytesWaiting() < 5; ++i) s.Poll(10);
  EXPECT_EQ(s.BytesWaiting(), 5);
  EXPECT_EQ(s.ReceiveBuf(b, 3), 3);
  EXPECT_EQ(std::string(b, 3), "pon");
  EXPECT_EQ(s.BytesWaiting(), 2);

  s.Close();
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(ev.seen, (std::vector<std::string>{"connect", "disconnect"}));
  s.Close();  // twice is harmless
  EXPECT_EQ(ev.seen.size(), 2u);
}

TEST(TcpClient, RefusedConnectRaisesTheConnectError) {
  TClientSocket s;
  Events ev;
  ev.Attach(s);
  s.Address = "127.0.0.1";
  s.Port = FreePort();
  try {
    s.Open();
    WaitConnected(s);
    FAIL() << "connected to a port nobody listens on";
  } catch (const eSocketError& e) {
    EXPECT_EQ(e.Kind(), "Connect");
    EXPECT_EQ(e.Code(), ECONNREFUSED);
    EXPECT_NE(std::string(e.what()).find("on Connect"), std::string::npos);
  }
  EXPECT_EQ(ev.seen, std::vector<std::string>{"Connect:" + std::to_string(ECONNREFUSED)});
  EXPECT_FALSE(s.Active());
  EXPECT_FALSE(s.Connecting());
}

TEST(TcpClient, HandlerMayKeepTheErrorFromBeingRaised) {
  TClientSocket s;
  std::string kind;
  s.OnError = [&](const std::string& k, int& code) {
    kind = k;
    code = 0;
  };
  s.Address = "127.0.0.1";
  s.Port = FreePort();
  EXPECT_NO_THROW({
    s.Open();
    WaitConnected(s);
  });
  EXPECT_EQ(kind, "Connect");
  EXPECT_FALSE(s.Active());
}

TEST(TcpClient, SendWithoutConnectionIsASendError) {
  TClientSocket s;
  try {
    s.SendBuf("x", 1);
    FAIL() << "sent on a closed socket";
  } catch (const eSocketError& e) {
    EXPECT_EQ(e.Kind(), "Send");
    EXPECT_EQ(e.Code(), ENOTCONN);
  }
  EXPECT_EQ(s.BytesWaiting(), 0);
}

TEST(TcpClient, PeerClosingIsReportedByPoll) {
  Listener l;
  TClientSocket s;
  Events ev;
  ev.Attach(s);
  s.Address = "127.0.0.1";
  s.Port = l.port;
  s.Open();
  WaitConnected(s);
  l.Accept();
  ::close(l.conn);
  l.conn = -1;
  for (int i = 0; i < 100 && s.Active(); ++i) s.Poll(20);
  EXPECT_FALSE(s.Active());
  EXPECT_EQ(ev.seen, (std::vector<std::string>{"connect", "disconnect"}));
}

}  // namespace
}  // namespace vex
