// Transactions of the hub driven end to end over both transports against a scripted slave.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "comm/Ports.h"
#include "tests/comm/FakeSlave.h"
#include "tests/comm/LinkRig.h"

namespace vex {
namespace {

using test::Bytes;
using test::FakeSlave;
using test::Memory;
using test::Step;
using Kind = FakeSlave::Kind;
using std::chrono::milliseconds;
using test::Clock;

double MsSince(Clock::time_point t) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

class LinkBase : public ::testing::Test {
 protected:
  void Start(Kind k) {
    kind = k;
    slave = std::make_unique<FakeSlave>(k);
    ASSERT_TRUE(test::Attach(p, *slave, k));
    p.ComTmo = 5;
    p.ComBln = 80;
    mem.regs[0x10] = 0x1234;
    mem.regs[0x11] = 0x5678;
    for (int i = 0; i < 123; ++i) mem.regs[0x100 + i] = static_cast<uint16_t>(i * 0x0101);
    mem.coils[0] = mem.coils[2] = mem.coils[8] = true;
  }

  bool Tcp() const { return kind == Kind::Tcp; }
  // The reply frame for a request frame, as the transport wants it.
  ByteStr Frame(const ByteStr& req, const ByteStr& pdu) const { return test::FrameFor(kind, req, pdu); }
  // A request frame without its header or CRC.
  ByteStr Pdu(const ByteStr& frame) const { return test::PduOf(kind, frame); }
  void Serve() {
    slave->SetScript(
        [this](const ByteStr& req) { return std::vector<Step>{{Frame(req, mem.Answer(Pdu(req)))}}; });
  }
  // Answers every request with the PDU made from the request's PDU.
  void Answer(std::function<ByteStr(const ByteStr&)> f) {
    slave->SetScript([this, f](const ByteStr& req) { return std::vector<Step>{{Frame(req, f(Pdu(req)))}}; });
  }
  std::string Fails(const std::function<void()>& call) {
    try {
      call();
    } catch (const Exception& e) {
      return e.what();
    }
    return "(no failure)";
  }

  Kind kind = Kind::Serial;
  TPorts1 p;
  Memory mem;
  std::unique_ptr<FakeSlave> slave;
};

// Run on both transports.
class LinkTest : public LinkBase, public ::testing::WithParamInterface<Kind> {
 protected:
  void SetUp() override { Start(GetParam()); }
};
class SerialTest : public LinkBase {
 protected:
  void SetUp() override { Start(Kind::Serial); }
};
class TcpTest : public LinkBase {
 protected:
  void SetUp() override { Start(Kind::Tcp); }
};

INSTANTIATE_TEST_SUITE_P(Both, LinkTest, ::testing::Values(Kind::Serial, Kind::Tcp),
                         ::testing::PrintToStringParamName());

// ---- typed operations: request bytes and unpacked results ----

struct TypedCase {
  const char* name;
  std::function<void(TPorts1&, Memory&)> call;  // runs the operation and checks its result
  ByteStr request;                              // request after the node address
};

TEST_P(LinkTest, TypedOperationsSendTheirRequestAndUnpackTheReply) {
  std::vector<uint16_t> seq(123);
  for (int i = 0; i < 123; ++i) seq[i] = static_cast<uint16_t>(i * 0x0101);
  const TypedCase cases[] = {
      {"ModRead", [](TPorts1& p, Memory&) { EXPECT_EQ(p.ModRead(0x10, true), 0x1234); },
       Bytes({0x03, 0x00, 0x10, 0x00, 0x01})},
      {"ModReadLong low word first",
       [](TPorts1& p, Memory&) { EXPECT_EQ(p.ModReadLong(0x10, true), 0x56781234u); },
       Bytes({0x03, 0x00, 0x10, 0x00, 0x02})},
      {"ModReadMulti",
       [](TPorts1& p, Memory&) {
         uint16_t v[2] = {};
         p.ModReadMulti(0x10, 2, v, true);
         EXPECT_EQ(v[0], 0x1234);
         EXPECT_EQ(v[1], 0x5678);
       },
       Bytes({0x03, 0x00, 0x10, 0x00, 0x02})},
      {"ModReadMulti 123",
       [&seq](TPorts1& p, Memory&) {
         std::vector<uint16_t> v(123);
         p.ModReadMulti(0x100, 123, v.data(), false);
         EXPECT_EQ(v, seq);
       },
       Bytes({0x03, 0x01, 0x00, 0x00, 123})},
      {"ModReadMulti0x04",
       [](TPorts1& p, Memory&) {
         uint16_t v[1] = {};
         p.ModReadMulti0x04(0x11, 1, v, true);
         EXPECT_EQ(v[0], 0x5678);
       },
       Bytes({0x04, 0x00, 0x11, 0x00, 0x01})},
      {"ModReadCoils 9 bits in 2 bytes",
       [](TPorts1& p, Memory&) {
         uint8_t v[3] = {0, 0, 0xAA};
         p.ModReadCoils(0, 9, v, true);
         EXPECT_EQ(v[0], 0x05);
         EXPECT_EQ(v[1], 0x01);
         EXPECT_EQ(v[2], 0xAA);  // nothing past the two bytes
       },
       Bytes({0x01, 0x00, 0x00, 0x00, 0x09})},
      {"ModReadInputs",
       [](TPorts1& p, Memory&) {
         uint8_t v[1] = {};
         p.ModReadInputs(1, 8, v, true);
         EXPECT_EQ(v[0], 0x82);
       },
       Bytes({0x02, 0x00, 0x01, 0x00, 0x08})},
      {"ModWriteCoil on",
       [](TPorts1& p, Memory& m) {
         p.ModWriteCoil(7, true, true);
         EXPECT_TRUE(m.coils[7]);
       },
       Bytes({0x05, 0x00, 0x07, 0xFF, 0x00})},
      {"ModWriteCoil off",
       [](TPorts1& p, Memory& m) {
         p.ModWriteCoil(8, false, true);
         EXPECT_FALSE(m.coils[8]);
       },
       Bytes({0x05, 0x00, 0x08, 0x00, 0x00})},
      {"ModWriteCoil byte", [](TPorts1& p, Memory&) { p.ModWriteCoil(0x1234, uint8_t{1}, true); },
       Bytes({0x05, 0x12, 0x34, 0x01, 0x00})},
      {"ModWrite uses 0x10",
       [](TPorts1& p, Memory& m) {
         p.ModWrite(0x20, 0xBEEF, true);
         EXPECT_EQ(m.regs[0x20], 0xBEEF);
       },
       Bytes({0x10, 0x00, 0x20, 0x00, 0x01, 0x02, 0xBE, 0xEF})},
      {"ModWrite2", [](TPorts1& p, Memory&) { p.ModWrite2(0x21, 1, 0x0203, true); },
       Bytes({0x10, 0x00, 0x21, 0x00, 0x02, 0x04, 0x00, 0x01, 0x02, 0x03})},
      {"ModWrite4", [](TPorts1& p, Memory&) { p.ModWrite4(0x22, 1, 2, 3, 0xFFFF, false); },
       Bytes({0x10, 0x00, 0x22, 0x00, 0x04, 0x08, 0, 1, 0, 2, 0, 3, 0xFF, 0xFF})},
      {"ModWriteLong low word first",
       [](TPorts1& p, Memory& m) {
         p.ModWriteLong(0x30, 0x56781234, true);
         EXPECT_EQ(m.regs[0x30], 0x1234);
         EXPECT_EQ(m.regs[0x31], 0x5678);
       },
       Bytes({0x10, 0x00, 0x30, 0x00, 0x02, 0x04, 0x12, 0x34, 0x56, 0x78})},
      {"ModWriteMulti",
       [](TPorts1& p, Memory& m) {
         const uint16_t v[3] = {0x0102, 0x0304, 0x0506};
         p.ModWriteMulti(0x40, 3, v, true);
         EXPECT_EQ(m.regs[0x42], 0x0506);
       },
       Bytes({0x10, 0x00, 0x40, 0x00, 0x03, 0x06, 1, 2, 3, 4, 5, 6})},
      {"ModEcho", [](TPorts1& p, Memory&) { EXPECT_EQ(p.ModEcho(0, 0xA55A, true), 0xA55A); },
       Bytes({0x08, 0x00, 0x00, 0xA5, 0x5A})},
  };
  Serve();
  size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.call(p, mem);
    auto reqs = slave->Requests();
    ASSERT_EQ(reqs.size(), seen + 1);
    ByteStr pdu = Pdu(reqs[seen++]);
    EXPECT_EQ(static_cast<uint8_t>(pdu[0]), p.ComNod);
    EXPECT_EQ(Str255toHex(pdu.substr(1)), Str255toHex(c.request));
    EXPECT_FALSE(p.ComBsy);
  }
}

TEST_P(LinkTest, FramesCarryCrcOrHeader) {
  Serve();
  p.NetTrn = 41;
  p.ModRead(0x10, true);
  ByteStr f = slave->Requests().at(0);
  if (Tcp()) {
    EXPECT_EQ(Str255toHex(f), "00 2A 00 00 00 06 01 03 00 10 00 01");
  } else {
    EXPECT_EQ(Str255toHex(f), Str255toHex(test::WithCrc(Bytes({0xEE, 0x03, 0x00, 0x10, 0x00, 0x01}))));
  }
}

// ---- replies that fail a check ----

struct FaultCase {
  const char* name;
  std::function<ByteStr(const ByteStr&)> reply;  // reply PDU from the request PDU
  std::function<void(TPorts1&)> call;
  const char* message;
};

void Read1(TPorts1& p) { p.ModRead(0, true); }

TEST_P(LinkTest, FaultyRepliesReportTheirMessage) {
  auto exc = [](int code) {
    return [code](const ByteStr& q) { return Bytes({static_cast<uint8_t>(q[0]), 0x83, code}); };
  };
  const FaultCase cases[] = {
      {"exception 1", exc(1), Read1, "Modbus Undeclared Function"},
      {"exception 2", exc(2), Read1, "Modbus Register not Present"},
      {"exception 3", exc(3), Read1, "Modbus Count Mismatch"},
      {"exception 4", exc(4), Read1, "Modbus Device Busy"},
      {"exception 5", exc(5), Read1, "Modbus, Unknown Error=$05"},
      {"exception 0xAB", exc(0xAB), Read1, "Modbus, Unknown Error=$AB"},
      {"other node",
       [](const ByteStr&) {
         return Bytes({0x07, 0x03, 0x02, 0x00, 0x01});
       },
       Read1, "Result adress mismatch"},
      {"other function",
       [](const ByteStr& q) {
         return Bytes({static_cast<uint8_t>(q[0]), 0x04, 2, 0, 1});
       },
       Read1, "Result command mismatch"},
      {"too short", [](const ByteStr& q) { return q.substr(0, 2); }, Read1, "Result too short"},
      {"byte count",
       [](const ByteStr& q) {
         return Bytes({static_cast<uint8_t>(q[0]), 0x03, 4, 0, 1, 0, 2});
       },
       Read1, "Result count mismatch"},
      {"size",
       [](const ByteStr& q) {
         return Bytes({static_cast<uint8_t>(q[0]), 0x03, 2, 0, 1, 9});
       },
       Read1, "Result size mismatch"},
      {"coil byte count",
       [](const ByteStr& q) {
         return Bytes({static_cast<uint8_t>(q[0]), 0x01, 1, 0xFF});
       },
       [](TPorts1& p) {
         uint8_t v[2];
         p.ModReadCoils(0, 9, v, true);
       },
       "Result count mismatch"},
      {"echo size", [](const ByteStr& q) { return q + Bytes({0}); },
       [](TPorts1& p) { p.ModEcho(0, 0x1111, true); }, "Result size mismatch"},
      {"echo data",
       [](const ByteStr& q) {
         return q.substr(0, 4) + Bytes({0x22, 0x22});
       },
       [](TPorts1& p) { p.ModEcho(0, 0x1111, true); }, "Result echo mismatch"},
      {"write exception", exc(2), [](TPorts1& p) { p.ModWrite(1, 2, true); }, "Modbus Register not Present"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Answer(c.reply);
    EXPECT_EQ(Fails([&] { c.call(p); }), c.message);
    EXPECT_FALSE(p.ComBsy);
  }
}

// Raw reply frames (whole, with CRC or header) checked by one transport only.
struct RawCase {
  const char* name;
  Kind kind;
  std::function<ByteStr(const ByteStr& request)> reply;
  const char* message;
};

TEST_P(LinkTest, FramingFaultsOfEachTransport) {
  const auto good = [](const ByteStr& q) { return Bytes({static_cast<uint8_t>(q[6]), 0x03, 2, 0x12, 0x34}); };
  const RawCase cases[] = {
      {"bad CRC", Kind::Serial,
       [](const ByteStr&) {
         ByteStr f = test::WithCrc(Bytes({0xEE, 0x03, 2, 0x12, 0x34}));
         f.back() ^= 1;
         return f;
       },
       "Result CRC mismatch"},
      {"bad CRC and node: node reported first", Kind::Serial,
       [](const ByteStr&) {
         return Bytes({0xEF, 0x03, 2, 0x12, 0x34, 0, 0});
       },
       "Result adress mismatch"},
      {"CRC only", Kind::Serial,
       [](const ByteStr&) {
         return Bytes({0xEE, 0x03, 0x00, 0x00});
       },
       "Result too short"},
      {"transaction", Kind::Tcp,
       [good](const ByteStr& q) { return test::WithMbap(test::TrnOf(q) + 1, good(q)); },
       "Transaction mismatch"},
      {"protocol", Kind::Tcp,
       [good](const ByteStr& q) {
         ByteStr f = test::WithMbap(test::TrnOf(q), good(q));
         f[3] = 1;
         return f;
       },
       "Protocol mismatch"},
      {"length low", Kind::Tcp,
       [good](const ByteStr& q) {
         ByteStr f = test::WithMbap(test::TrnOf(q), good(q));
         f[5] = 4;
         return f;
       },
       "Packetsize mismatch"},
      {"length high", Kind::Tcp,
       [good](const ByteStr& q) {
         ByteStr f = test::WithMbap(test::TrnOf(q), good(q));
         f[4] = 1;
         return f;
       },
       "Packetsize mismatch"},
      {"shorter than the header", Kind::Tcp, [](const ByteStr& q) { return q.substr(0, 3); },
       "Packetsize mismatch"},
      {"header alone", Kind::Tcp, [](const ByteStr& q) { return test::WithMbap(test::TrnOf(q), ""); },
       "No Response"},
      {"unit and function only", Kind::Tcp,
       [](const ByteStr& q) {
         return test::WithMbap(test::TrnOf(q), Bytes({1, 3}));
       },
       "Result too short"},
  };
  int run = 0;
  for (const auto& c : cases) {
    if (c.kind != kind) continue;
    SCOPED_TRACE(c.name);
    slave->SetScript([&c](const ByteStr& req) { return std::vector<Step>{{c.reply(req)}}; });
    EXPECT_EQ(Fails([&] { p.ModRead(0, true); }), c.message);
    EXPECT_FALSE(p.ComBsy);
    ++run;
  }
  EXPECT_GT(run, 0);
}

// ---- counts refused before anything is sent ----

struct LimitCase {
  const char* name;
  std::function<void(TPorts1&)> call;
  const char* message;  // nullptr: accepted
  bool tcpOnly;         // refused only over TCP
};

TEST_P(LinkTest, CountLimitsAreRefusedWithoutTransmitting) {
  static uint16_t w[124];
  static uint8_t b[250];
  const LimitCase cases[] = {
      {"read 0", [](TPorts1& p) { p.ModReadMulti(0, 0, w, true); }, "Requested read count invalid", false},
      {"read 124", [](TPorts1& p) { p.ModReadMulti(0, 124, w, true); }, "Requested read count invalid",
       false},
      {"read 0x04 124", [](TPorts1& p) { p.ModReadMulti0x04(0, 124, w, true); },
       "Requested read count invalid", false},
      {"coils 0", [](TPorts1& p) { p.ModReadCoils(0, 0, b, true); }, "Requested read coil count invalid",
       false},
      {"coils 1985", [](TPorts1& p) { p.ModReadCoils(0, 1985, b, true); },
       "Requested read coil count invalid", false},
      {"inputs 1985", [](TPorts1& p) { p.ModReadInputs(0, 1985, b, true); },
       "Requested read coil count invalid", false},
      {"coils 1969", [](TPorts1& p) { p.ModReadCoils(0, 1969, b, true); },
       "Requested read coil count invalid", true},
      {"write 0", [](TPorts1& p) { p.ModWriteMulti(0, 0, w, true); }, "Requested write count invalid", false},
      {"write 124", [](TPorts1& p) { p.ModWriteMulti(0, 124, w, true); }, "Requested write count invalid",
       false},
      {"write 122", [](TPorts1& p) { p.ModWriteMulti(0, 122, w, true); }, "Requested write count invalid",
       true},
      {"booter 0", [](TPorts1& p) { p.ModWriteBooter(0, 0, b, 0, true); }, "Requested write count invalid",
       false},
      {"booter 101", [](TPorts1& p) { p.ModWriteBooter(0, 101, b, 0, true); },
       "Requested write count invalid", false},
      {"readfile 245", [](TPorts1& p) { p.ModReadFileRtu(1, 0, 245, b, true); }, "Block too big to readfile",
       false},
      {"writefile 245", [](TPorts1& p) { p.ModWriteFileRtu(1, 0, 245, b, true); },
       "Block too big to writefile", false},
      {"writefile 241", [](TPorts1& p) { p.ModWriteFileRtu(1, 0, 241, b, true); },
       "Block too big to writefile", true},
      {"log 248", [](TPorts1& p) { p.ModReadSekans(0, 248, b, true); }, "Block too big to ModReadLog", false},
      {"log 246", [](TPorts1& p) { p.ModReadSekans(0, 246, b, true); }, "Block too big to ModReadLog", true},
  };
  for (const auto& c : cases) {
    if (c.tcpOnly && !Tcp()) continue;
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Fails([&] { c.call(p); }), c.message);
    EXPECT_EQ(p.Text(TConsoleText::Transmit), "");
  }
  std::this_thread::sleep_for(milliseconds(10));
  EXPECT_TRUE(slave->Requests().empty());
}

TEST_P(LinkTest, LargestFramesOfEachTransportGoThrough) {
  Serve();
  std::vector<uint16_t> w(123, 0x4242);
  std::vector<uint8_t> b(248);
  const int regs = Tcp() ? 121 : 123, coils = Tcp() ? 1968 : 1984;
  p.ModWriteMulti(0x200, static_cast<uint16_t>(regs), w.data(), true);
  EXPECT_EQ(mem.regs[0x200 + regs - 1], 0x4242);
  p.ModReadCoils(0, static_cast<uint16_t>(coils), b.data(), true);
  EXPECT_EQ(b[0], 0x05);
  EXPECT_EQ(b[1], 0x01);
}

// ---- timing of the exchange ----

TEST_P(LinkTest, SilentDeviceGivesNoResponseAfterTheWindow) {
  p.ComBln = 60;
  auto t0 = Clock::now();
  EXPECT_EQ(Fails([&] { p.ModRead(0, true); }), "No Response");
  double ms = MsSince(t0);
  EXPECT_GE(ms, 60.0);
  EXPECT_LT(ms, 60.0 + 150.0);  // far below the 300 ms the device would go on
  EXPECT_FALSE(p.ComBsy);
}

TEST_P(LinkTest, FragmentsCloserThanTheTimeoutFormOneReply) {
  p.ComTmo = 60;
  p.ComBln = 300;
  slave->SetScript([this](const ByteStr& req) {
    ByteStr f = Frame(req, mem.Answer(Pdu(req)));
    return std::vector<Step>{{f.substr(0, 4)}, {f.substr(4), 5}};
  });
  EXPECT_EQ(p.ModReadLong(0x10, true), 0x56781234u);
}

TEST_P(LinkTest, GapLongerThanTheTimeoutEndsTheReply) {
  p.ComTmo = 3;
  p.ComBln = 150;
  ByteStr tail;
  slave->SetScript([this, &tail](const ByteStr& req) {
    ByteStr f = Frame(req, mem.Answer(Pdu(req)));
    tail = f.substr(3);
    return std::vector<Step>{{f.substr(0, 3)}, {f.substr(3), 80}};
  });
  EXPECT_EQ(Fails([&] { p.ModRead(0x10, true); }), Tcp() ? "Packetsize mismatch" : "Result too short");
  std::this_thread::sleep_for(milliseconds(120));  // the rest has arrived meanwhile
  Serve();
  // on both transports the late bytes are read away (and logged) before the next request
  p.LogLines.clear();
  EXPECT_EQ(p.ModRead(0x11, true), 0x5678);
  if (!Tcp()) {
    const std::string logged = "Discarded[" + std::to_string(tail.size()) + "]= " + Str255toHex(tail);
    EXPECT_NE(std::find(p.LogLines.begin(), p.LogLines.end(), logged), p.LogLines.end());
  }
}

TEST_P(LinkTest, StreamingReplyIsCutWhenTheWindowCloses) {
  p.ComTmo = 20;
  p.ComBln = 60;
  slave->SetScript([](const ByteStr&) {
    std::vector<Step> s;
    for (int i = 0; i < 100; ++i) s.push_back({Bytes({i}), 3});
    return s;
  });
  auto t0 = Clock::now();
  Fails([&] { p.ModRead(0, true); });
  double ms = MsSince(t0);
  EXPECT_GE(ms, 60.0);
  EXPECT_LT(ms, 60.0 + 150.0);  // far below the 300 ms the device would go on
  EXPECT_GT(p.ComBuf.size(), 5u);
  EXPECT_LT(p.ComBuf.size(), 100u);  // not the whole stream
}

TEST_P(LinkTest, ReplyIsCutAt255Bytes) {
  slave->SetScript([](const ByteStr&) {
    ByteStr big(300, '\x55');
    return std::vector<Step>{{big}};
  });
  Fails([&] { p.ModRead(0, true); });
  EXPECT_EQ(p.ComBuf.size(), 255u);
}

TEST_F(SerialTest, RequestFollowsFiveMillisecondsOfIdle) {
  Serve();
  p.ComTmo = 1;
  const auto opened = p.Comm1.LineTime;  // the opening counts as line activity
  p.ModRead(0x10, false);
  p.ModRead(0x10, false);
  auto at = slave->Arrivals();
  ASSERT_EQ(at.size(), 2u);
  EXPECT_GE(at[0] - opened, milliseconds(5));
  EXPECT_GE(at[1] - at[0], milliseconds(5));
}

TEST_F(TcpTest, TransactionCounterWrapsAndIsChecked) {
  Serve();
  p.NetTrn = 65535;
  EXPECT_EQ(p.ModRead(0x10, true), 0x1234);
  EXPECT_EQ(p.NetTrn, 0);
  EXPECT_EQ(p.ModRead(0x11, true), 0x5678);
  auto reqs = slave->Requests();
  ASSERT_EQ(reqs.size(), 2u);
  EXPECT_EQ(test::TrnOf(reqs[0]), 0u);
  EXPECT_EQ(test::TrnOf(reqs[1]), 1u);
}

TEST_P(LinkTest, NestedCallFromTheMessageHookGetsNoResponse) {
  Serve();
  std::string nested;
  int hooks = 0;
  p.ProcessMessages = [&] {
    ++hooks;
    EXPECT_TRUE(p.ComBsy);
    if (hooks > 1) return;
    try {
      p.ModRead(0x11, true);
    } catch (const Exception& e) {
      nested = e.what();
    }
  };
  EXPECT_EQ(p.ModRead(0x10, true), 0x1234);
  EXPECT_EQ(nested, "No Response");
  EXPECT_EQ(slave->Requests().size(), 1u);
  EXPECT_FALSE(p.ComBsy);
}

TEST_P(LinkTest, ClosedLinkFailsAndLeavesTheHubIdle) {
  if (Tcp()) {
    p.ClientSocket1.Close();
    EXPECT_NE(Fails([&] { p.ModRead(0, true); }).find("on Send"), std::string::npos);
  } else {
    p.Comm1.Close();
    EXPECT_EQ(Fails([&] { p.ModRead(0, true); }), "Write error [Error=9]");
  }
  EXPECT_FALSE(p.ComBsy);
}

TEST_F(TcpTest, PeerClosingDuringTheExchangeEndsItEarly) {
  bool down = false;
  p.ClientSocket1.OnDisconnect = [&] { down = true; };
  slave->SetScript([this](const ByteStr&) {
    slave->DropConnection();
    return std::vector<Step>{};
  });
  p.ComBln = 2000;
  auto t0 = Clock::now();
  EXPECT_EQ(Fails([&] { p.ModRead(0, true); }), "No Response");
  EXPECT_LT(MsSince(t0), 1000.0);
  EXPECT_TRUE(down);
  EXPECT_FALSE(p.ClientSocket1.Active());
}

TEST(SerialHangUp, DeviceSideClosingEndsTheExchangeAtOnce) {
  int m = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(m, 0);
  grantpt(m);
  unlockpt(m);
  TPorts1 p;
  p.Comm1.Device = ptsname(m);
  p.Comm1.Open();
  p.ComBln = 3000;
  std::thread device([m] {
    pollfd f{m, POLLIN, 0};
    ::poll(&f, 1, 2000);  // the request arrives, then the device side goes away
    ::close(m);
  });
  auto t0 = Clock::now();
  std::string msg;
  try {
    p.ModRead(0, true);
  } catch (const Exception& e) {
    msg = e.what();
  }
  device.join();
  EXPECT_EQ(msg, "No Response");
  EXPECT_LT(MsSince(t0), 1000.0);  // not held for the whole window
  EXPECT_FALSE(p.ComBsy);
  EXPECT_EQ(p.LogLines.back(), "Rx[0]= ");
}

// ---- extended transfers ----

struct ExtCase {
  const char* name;
  std::function<ByteStr(const ByteStr&)> reply;  // reply PDU from the request PDU
  std::function<void(TPorts1&)> call;            // runs and checks the result
  const char* message;                           // nullptr: succeeds
  ByteStr request;                               // expected request after the node (empty: not checked)
};

TEST_P(LinkTest, ExtendedTransfers) {
  auto node = [](const ByteStr& q) { return static_cast<uint8_t>(q[0]); };
  const ExtCase cases[] = {
      {"read file",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 5, 4, 5, 0xA1, 0xA2, 0xA3});
       },
       [](TPorts1& p) {
         uint8_t b[4] = {0, 0, 0, 0x77};
         EXPECT_EQ(p.ModReadFileRtu(3, 0x123456, 3, b, true), 3);
         EXPECT_EQ(b[0], 0xA1);
         EXPECT_EQ(b[2], 0xA3);
         EXPECT_EQ(b[3], 0x77);
       },
       nullptr, Bytes({0x14, 0x06, 0x05, 0x03, 0x12, 0x34, 0x56, 0x03})},
      {"read file size+2",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 6, 4, 5, 1, 2, 3});
       },
       [](TPorts1& p) {
         uint8_t b[3];
         p.ModReadFileRtu(0, 0, 3, b, true);
       },
       "Result size[+2] mismatch",
       {}},
      {"read file size+1",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 5, 3, 5, 1, 2, 3});
       },
       [](TPorts1& p) {
         uint8_t b[3];
         p.ModReadFileRtu(0, 0, 3, b, true);
       },
       "Result size[+1] mismatch",
       {}},
      {"read file subfunction",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 5, 4, 6, 1, 2, 3});
       },
       [](TPorts1& p) {
         uint8_t b[3];
         p.ModReadFileRtu(0, 0, 3, b, true);
       },
       "Result subfunction mismatch",
       {}},
      {"read file with missing data",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 5, 4, 5, 1});
       },
       [](TPorts1& p) {
         uint8_t b[3] = {9, 9, 9};
         p.ModReadFileRtu(0, 0, 3, b, true);
       },
       "Result size mismatch",
       {}},
      {"write file",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x15, 6, 5, 0, 0});
       },
       [](TPorts1& p) {
         const uint8_t b[2] = {0xDE, 0xAD};
         EXPECT_EQ(p.ModWriteFileRtu(2, 0x010203, 2, b, true), 2);
       },
       nullptr, Bytes({0x15, 8, 0x05, 0x02, 0x01, 0x02, 0x03, 0x02, 0xDE, 0xAD})},
      {"write file size",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x15, 7, 5});
       },
       [](TPorts1& p) { p.ModWriteFileRtu(2, 0, 0, nullptr, true); },
       "Result size[+1] mismatch",
       {}},
      {"write file subfunction",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x15, 6, 4});
       },
       [](TPorts1& p) { p.ModWriteFileRtu(2, 0, 0, nullptr, true); },
       "Result subfunction mismatch",
       {}},
      {"write file reply without subfunction",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x15, 6});
       },
       [](TPorts1& p) { p.ModWriteFileRtu(2, 0, 0, nullptr, true); },
       "Result subfunction mismatch",
       {}},
      {"log delivers fewer",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 4, 3, 7, 8, 9});
       },
       [](TPorts1& p) {
         uint8_t b[64] = {};
         EXPECT_EQ(p.ModReadSekans(0x01020304, 64, b, true), 3);
         EXPECT_EQ(b[2], 9);
       },
       nullptr, Bytes({0x14, 0x06, 0x05, 0x01, 0x02, 0x03, 0x04, 64})},
      {"log empty",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 1, 0});
       },
       [](TPorts1& p) {
         uint8_t b[4] = {};
         EXPECT_EQ(p.ModReadSekans(0, 4, b, true), 0);
       },
       nullptr,
       {}},
      {"log size+1",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 4, 2, 1, 2});
       },
       [](TPorts1& p) {
         uint8_t b[4];
         p.ModReadSekans(0, 4, b, true);
       },
       "Result size[+1] mismatch",
       {}},
      {"log size+0",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 3, 3, 1, 2});
       },
       [](TPorts1& p) {
         uint8_t b[4];
         p.ModReadSekans(0, 4, b, true);
       },
       "Result size[+0] mismatch",
       {}},
      {"log more than asked",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 4, 3, 1, 2, 3});
       },
       [](TPorts1& p) {
         uint8_t b[2] = {5, 5};
         p.ModReadSekans(0, 2, b, true);
         ADD_FAILURE() << "must not deliver past the buffer";
       },
       "Result size mismatch",
       {}},
      {"log without count",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x14, 0});
       },
       [](TPorts1& p) {
         uint8_t b[2];
         p.ModReadSekans(0, 2, b, true);
       },
       "Result size[+1] mismatch",
       {}},
      {"boot block", [](const ByteStr& q) { return q.substr(0, 6); },
       [](TPorts1& p) {
         const uint8_t img[4] = {0x01, 0x02, 0x03, 0x04};
         p.ModWriteBooter(0xF0 - 2, 2, img, 0x0107, false);
       },
       nullptr, Bytes({0x10, 0x00, 0xEE, 0x00, 0x03, 0x06, 0x01, 0x02, 0x03, 0x04, 0x01, 0x07})},
      {"boot block exception",
       [node](const ByteStr& q) {
         return Bytes({node(q), 0x90, 4});
       },
       [](TPorts1& p) {
         const uint8_t img[2] = {1, 2};
         p.ModWriteBooter(0xEF, 1, img, 0, false);
       },
       "Modbus Device Busy",
       {}},
  };
  size_t seen = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Answer(c.reply);
    if (c.message) {
      EXPECT_EQ(Fails([&] { c.call(p); }), c.message);
    } else {
      c.call(p);
    }
    auto reqs = slave->Requests();
    ASSERT_EQ(reqs.size(), seen + 1);
    if (!c.request.empty()) {
      EXPECT_EQ(Str255toHex(Pdu(reqs[seen]).substr(1)), Str255toHex(c.request));
    }
    ++seen;
  }
}

TEST_P(LinkTest, BootBlockOf32WordsWrites33Registers) {
  Answer([](const ByteStr& q) { return q.substr(0, 6); });
  uint8_t img[64];
  for (int i = 0; i < 64; ++i) img[i] = static_cast<uint8_t>(i + 1);
  p.ModWriteBooter(cMdaPag - 32, 32, img, 5, false);
  ByteStr q = Pdu(slave->Requests().at(0));
  ASSERT_EQ(q.size(), 7u + 66u);
  EXPECT_EQ(Str255toHex(q.substr(1, 6)), "10 00 D0 00 21 42");
  EXPECT_EQ(q.substr(7, 64), ByteStr(reinterpret_cast<char*>(img), 64));
  EXPECT_EQ(Str255toHex(q.substr(71)), "00 05");
}

}  // namespace
}  // namespace vex
