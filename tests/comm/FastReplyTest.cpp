// Replies ended as soon as they are complete, against a scripted slave on both transports:
// every function the hub sends, delivered whole, split, with trailing garbage, with a bad CRC,
// as an exception, too short or late, gives the same value or message with "Fast reply
// detection" on and off. Also the request echo of RS-485 adapters, the line idle time before
// a serial request, and stale input discarded before a request.
#include <gtest/gtest.h>

#include <memory>

#include "comm/Ports.h"
#include "tests/comm/FakeSlave.h"
#include "tests/comm/LinkRig.h"

namespace vex {
namespace {

using namespace test;
using Kind = FakeSlave::Kind;
using std::chrono::milliseconds;

double MsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

ByteStr Word(unsigned w) { return Bytes({static_cast<int>(w >> 8), static_cast<int>(w)}); }

// One operation of the hub: the reply PDU its device gives (from the request PDU, node
// address first, no CRC or header) and the call, whose result is given as text.
struct FnCase {
  const char* name;
  std::function<ByteStr(const ByteStr& q)> reply;
  std::function<std::string(TPorts1&)> call;
  std::string good;  // the call's text when the reply is sound
};

std::string Hex(const uint8_t* b, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += IntToHex(b[i], 2);
  return s;
}

ByteStr Registers(const ByteStr& q, int count) {
  ByteStr r = q.substr(0, 2) + Bytes({2 * count});
  for (int i = 0; i < count; ++i) r += Word(0x1100 + i);
  return r;
}

const FnCase kFunctions[] = {
    {"Read03", [](const ByteStr& q) { return Registers(q, 1); },
     [](TPorts1& p) { return std::to_string(p.ModRead(0x10, true)); }, std::to_string(0x1100)},
    {"Read03Long", [](const ByteStr& q) { return Registers(q, 2); },
     [](TPorts1& p) { return std::to_string(p.ModReadLong(0x10, true)); }, std::to_string(0x11011100)},
    {"Read03Block123", [](const ByteStr& q) { return Registers(q, 123); },
     [](TPorts1& p) {
       uint16_t v[123];
       p.ModReadMulti(0, 123, v, true);
       return std::to_string(v[0]) + "," + std::to_string(v[122]);
     },
     std::to_string(0x1100) + "," + std::to_string(0x1100 + 122)},
    {"Read04", [](const ByteStr& q) { return Registers(q, 3); },
     [](TPorts1& p) {
       uint16_t v[3];
       p.ModReadMulti0x04(0, 3, v, true);
       return std::to_string(v[2]);
     },
     std::to_string(0x1102)},
    {"Coils01",
     [](const ByteStr& q) {
       return q.substr(0, 2) + Bytes({2, 0x05, 0x01});
     },
     [](TPorts1& p) {
       uint8_t v[2];
       p.ModReadCoils(0, 9, v, true);
       return Hex(v, 2);
     },
     "0501"},
    {"Inputs02",
     [](const ByteStr& q) {
       return q.substr(0, 2) + Bytes({1, 0x81});
     },
     [](TPorts1& p) {
       uint8_t v[1];
       p.ModReadInputs(0, 8, v, true);
       return Hex(v, 1);
     },
     "81"},
    {"Coil05", [](const ByteStr& q) { return q; },
     [](TPorts1& p) {
       p.ModWriteCoil(3, true, true);
       return std::string("ok");
     },
     "ok"},
    {"Register06", [](const ByteStr& q) { return q; },
     [](TPorts1& p) {
       return Str255toHex(p.ModTxRx(Bytes({p.ComNod, 0x06, 0, 7, 0x12, 0x34}), true));
     },
     "?"},  // filled in below: the reply without CRC
    {"Echo08", [](const ByteStr& q) { return q; },
     [](TPorts1& p) { return std::to_string(p.ModEcho(0, 0xA55A, true)); }, std::to_string(0xA55A)},
    {"Coils0F", [](const ByteStr& q) { return q.substr(0, 6); },
     [](TPorts1& p) {
       return Str255toHex(p.ModTxRx(Bytes({p.ComNod, 0x0F, 0, 0, 0, 9, 2, 0xFF, 0x01}), true));
     },
     "?"},
    {"Write10", [](const ByteStr& q) { return q.substr(0, 6); },
     [](TPorts1& p) {
       p.ModWrite4(0x20, 1, 2, 3, 4, true);
       return std::string("ok");
     },
     "ok"},
    {"Booter10", [](const ByteStr& q) { return q.substr(0, 6); },
     [](TPorts1& p) {
       uint8_t b[64] = {};
       p.ModWriteBooter(0xF0 - 32, 32, b, 5, true);
       return std::string("ok");
     },
     "ok"},
    {"ReadFile14",
     [](const ByteStr& q) {
       const int c = static_cast<uint8_t>(q[8]);
       ByteStr r = q.substr(0, 2) + Bytes({c + 2, c + 1, 5});
       for (int i = 0; i < c; ++i) r += static_cast<char>(i);
       return r;
     },
     [](TPorts1& p) {
       uint8_t b[64];
       p.ModReadFileRtu(0xF1, 0x100, 64, b, true);
       return Hex(b, 2) + Hex(b + 62, 2);
     },
     "00013E3F"},
    {"WriteFile15", [](const ByteStr& q) { return q.substr(0, 2) + Bytes({6}) + q.substr(3, 6); },
     [](TPorts1& p) {
       const uint8_t b[16] = {1, 2, 3};
       return std::to_string(p.ModWriteFileRtu(0xF1, 0x100, 16, b, true));
     },
     "16"},
    {"EventLog14",
     [](const ByteStr& q) {
       return q.substr(0, 2) + Bytes({4, 3, 0xA1, 0xA2, 0xA3});
     },
     [](TPorts1& p) {
       uint8_t b[124];
       const int n = p.ModReadSekans(0x12345678, 124, b, true);
       return std::to_string(n) + ":" + Hex(b, static_cast<size_t>(n));
     },
     "3:A1A2A3"},
};

// How the slave delivers the reply frame.
enum class Delivery { Whole, Fragments, Garbage, BadCrc, Exception, TooShort, Late };
struct DeliveryCase {
  const char* name;
  Delivery d;
  const char* message;  // nullptr: the operation's own result
  bool serialOnly;
};
const DeliveryCase kDeliveries[] = {
    {"whole", Delivery::Whole, nullptr, false},
    {"two fragments", Delivery::Fragments, nullptr, false},
    {"trailing garbage", Delivery::Garbage, "Result CRC mismatch", true},
    {"bad CRC", Delivery::BadCrc, "Result CRC mismatch", true},
    {"exception", Delivery::Exception, "Modbus Register not Present", false},
    {"too short", Delivery::TooShort, "Result too short", false},
    {"late", Delivery::Late, "No Response", false},  // last: its reply arrives after the window
};

class FastBase : public ::testing::Test {
 protected:
  void Start(Kind k) {
    kind = k;
    slave = std::make_unique<FakeSlave>(k);
    ASSERT_TRUE(test::Attach(p, *slave, k));
    p.ComTmo = 60;  // far longer than the gap between fragments, even on a loaded machine
    p.ComBln = 150;
  }
  bool Tcp() const { return kind == Kind::Tcp; }
  ByteStr Frame(const ByteStr& req, const ByteStr& pdu) const { return test::FrameFor(kind, req, pdu); }
  ByteStr Pdu(const ByteStr& frame) const { return test::PduOf(kind, frame); }
  std::string Outcome(const std::function<std::string(TPorts1&)>& call) {
    try {
      return call(p);
    } catch (const Exception& e) {
      return e.what();
    }
  }
  bool Logged(const std::string& start) const {
    for (const auto& l : p.LogLines)
      if (l.rfind(start, 0) == 0) return true;
    return false;
  }

  Kind kind = Kind::Serial;
  TPorts1 p;
  std::unique_ptr<FakeSlave> slave;
};

struct FnParam {
  const FnCase* fn;
  Kind kind;
};

class EveryFunction : public FastBase, public ::testing::WithParamInterface<FnParam> {
 protected:
  void SetUp() override { Start(GetParam().kind); }

  std::vector<Step> Deliver(Delivery d, const ByteStr& req) {
    const FnCase& f = *GetParam().fn;
    const ByteStr pdu = f.reply(Pdu(req));
    const ByteStr frame = Frame(req, pdu);
    switch (d) {
      case Delivery::Whole:
        return {{frame}};
      case Delivery::Fragments:
        return {{frame.substr(0, 3)}, {frame.substr(3), 4}};
      case Delivery::Garbage:
        return {{frame + Bytes({0x55, 0xAA, 0x13})}};
      case Delivery::BadCrc: {
        ByteStr b = frame;
        b[b.size() - 2] ^= 0x40;
        return {{b}};
      }
      case Delivery::Exception:
        return {{Frame(req, Bytes({static_cast<uint8_t>(pdu[0]), static_cast<uint8_t>(pdu[1]) | 0x80, 2}))}};
      case Delivery::TooShort:
        return {{Tcp() ? test::WithMbap(test::TrnOf(req), pdu.substr(0, 2)) : frame.substr(0, 3)}};
      case Delivery::Late:
        return {{frame, p.ComBln + 60}};
    }
    return {};
  }
  std::string Good() {
    const FnCase& f = *GetParam().fn;
    if (f.good != "?") return f.good;
    // raw requests: the reply itself, as the slave builds it from the request sent
    const auto reqs = slave->Requests();
    return reqs.empty() ? "?" : Str255toHex(f.reply(Pdu(reqs.back())));
  }
};

TEST_P(EveryFunction, SameOutcomeWithFastDetectionOnAndOff) {
  const FnCase& f = *GetParam().fn;
  for (const DeliveryCase& dc : kDeliveries) {
    if (dc.serialOnly && Tcp()) continue;
    std::string outcome[2];
    for (const bool fast : {true, false}) {
      SCOPED_TRACE(std::string(dc.name) + (fast ? ", fast" : ", silence"));
      p.CheckBox5 = fast;
      slave->SetScript([this, d = dc.d](const ByteStr& req) { return Deliver(d, req); });
      outcome[fast] = Outcome(f.call);
      EXPECT_EQ(outcome[fast], dc.message ? std::string(dc.message) : Good());
      EXPECT_FALSE(p.ComBsy);
      if (dc.d == Delivery::Late) {
        // the late reply arrives meanwhile; the next request reads it away and logs it
        std::this_thread::sleep_for(milliseconds(100));
        slave->SetScript([this](const ByteStr& req) { return Deliver(Delivery::Whole, req); });
        p.LogLines.clear();
        const std::string next = Outcome(f.call);
        EXPECT_EQ(next, Good());
        EXPECT_TRUE(Logged("Discarded["));
      }
    }
    EXPECT_EQ(outcome[true], outcome[false]) << dc.name;
  }
}

TEST_P(EveryFunction, FastDetectionEndsTheReplyLongBeforeTheSilence) {
  const FnCase& f = *GetParam().fn;
  p.ComTmo = 400;
  p.ComBln = 2000;
  slave->SetScript([this](const ByteStr& req) { return Deliver(Delivery::Whole, req); });
  const auto t0 = Clock::now();
  const std::string got = Outcome(f.call);
  const double ms = MsBetween(t0, Clock::now());
  EXPECT_EQ(got, Good());
  // the silence rule would take 400 ms after the last byte; this is a fraction of it
  EXPECT_LT(ms, 200.0);
}

std::vector<FnParam> AllFunctions() {
  std::vector<FnParam> v;
  for (const Kind k : {Kind::Serial, Kind::Tcp})
    for (const FnCase& f : kFunctions) v.push_back({&f, k});
  return v;
}

INSTANTIATE_TEST_SUITE_P(Link, EveryFunction, ::testing::ValuesIn(AllFunctions()), [](const auto& i) {
  return std::string(i.param.fn->name) + (i.param.kind == Kind::Tcp ? "Tcp" : "Serial");
});

// ---- the request echo of half-duplex RS-485 adapters ----

class SerialLine : public FastBase {
 protected:
  void SetUp() override { Start(Kind::Serial); }
};

struct EchoCase {
  const char* name;
  bool slaveEchoes;
  bool suppress;
  const char* outcome;  // nullptr: the register value
};

TEST_F(SerialLine, EchoOfTheRequestIsDroppedWhenAsked) {
  const EchoCase cases[] = {
      {"echoing adapter, suppressed", true, true, nullptr},
      {"plain adapter, suppression on", false, true, nullptr},
      {"plain adapter", false, false, nullptr},
      {"echoing adapter, not suppressed", true, false, "Result count mismatch"},
  };
  p.ComTmo = 5;  // the device answers after a longer pause than this behind the echo
  for (const auto& c : cases) {
    for (const bool fast : {true, false}) {
      SCOPED_TRACE(std::string(c.name) + (fast ? ", fast" : ", silence"));
      p.CheckBox5 = fast;
      p.CheckBox6 = c.suppress;
      slave->SetScript([this, echoes = c.slaveEchoes](const ByteStr& req) {
        std::vector<Step> s;
        if (echoes) s.push_back({req});
        s.push_back({Frame(req, Registers(Pdu(req), 1)), echoes ? 20 : 0});
        return s;
      });
      const std::string got = Outcome([](TPorts1& q) { return std::to_string(q.ModRead(0x10, true)); });
      EXPECT_EQ(got, c.outcome ? std::string(c.outcome) : std::to_string(0x1100));
      std::this_thread::sleep_for(milliseconds(40));  // whatever came late is read away next time
    }
  }
}

// ---- line idle time before a serial request ----

TEST_F(SerialLine, IdleTimeIsCountedFromTheLastByteOnTheLine) {
  p.IdleMs = 200;  // long, so that what is waited and what is not cannot be confused
  Clock::time_point replied{};
  std::mutex m;
  slave->SetScript([&](const ByteStr& req) {
    {
      std::lock_guard<std::mutex> l(m);
      replied = Clock::now();
    }
    return std::vector<Step>{{Frame(req, Registers(Pdu(req), 1))}};
  });
  auto read = [&] { return p.ModRead(0x10, false); };
  read();
  Clock::time_point firstReply;
  {
    std::lock_guard<std::mutex> l(m);
    firstReply = replied;
  }
  // back to back: the request waits the idle time after the reply's last byte
  read();
  auto at = slave->Arrivals();
  ASSERT_EQ(at.size(), 2u);
  EXPECT_GE(at[1] - firstReply, milliseconds(200));
  // after a quiet pause of that length the request goes at once
  std::this_thread::sleep_for(milliseconds(250));
  const auto t0 = Clock::now();
  read();
  at = slave->Arrivals();
  ASSERT_EQ(at.size(), 3u);
  EXPECT_LT(MsBetween(t0, at[2]), 100.0);  // not the 200 ms of a fixed pause
}

TEST_F(SerialLine, StaleByteBeforeARequestIsDiscardedAndLogged) {
  slave->SetScript(
      [this](const ByteStr& req) { return std::vector<Step>{{Frame(req, Registers(Pdu(req), 1))}}; });
  slave->Inject(Bytes({0x55}));
  std::this_thread::sleep_for(milliseconds(30));
  for (const bool fast : {true, false}) {
    p.CheckBox5 = fast;
    EXPECT_EQ(p.ModRead(0x10, true), 0x1100);
    slave->Inject(Bytes({0x55}));
    std::this_thread::sleep_for(milliseconds(30));
  }
  int discarded = 0;
  for (const auto& l : p.LogLines) discarded += l == "Discarded[1]= 55";
  EXPECT_EQ(discarded, 2);
}

// Idle time: at least 5 ms, and never shorter than 3.5 characters at the chosen line settings.
struct IdleCase {
  TBaudrate rate;
  TParity parity;
  TStopbits stop;
  double ms;
};

TEST(IdleTime, FiveMillisecondsOrThreeAndAHalfCharacters) {
  const IdleCase cases[] = {
      {br115200, paNone, sb10, 5.0},
      {br19200, paEven, sb20, 5.0},
      {br9600, paNone, sb10, 5.0},
      {br4800, paNone, sb10, 3.5 * 10 / 4.8},
      {br1200, paNone, sb10, 3.5 * 10 / 1.2},
      {br1200, paEven, sb20, 3.5 * 12 / 1.2},
  };
  for (const auto& c : cases) {
    TPorts1 p;
    p.Comm1.Baudrate = c.rate;
    p.Comm1.Parity = c.parity;
    p.Comm1.Stopbits = c.stop;
    SCOPED_TRACE(CommBaudRates[c.rate]);
    const double ms = std::chrono::duration<double, std::milli>(p.IdleTime()).count();
    EXPECT_NEAR(ms, c.ms, 0.01);
  }
}

}  // namespace
}  // namespace vex
