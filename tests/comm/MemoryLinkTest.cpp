// The exchange over an in-memory link: the device answers the moment a frame is sent, so
// the reading rules can be checked without a real transport.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "comm/Link.h"
#include "comm/Ports.h"
#include "tests/comm/FakeSlave.h"

namespace vex {
namespace {

using test::Bytes;

class MemoryLink : public ILink {
 public:
  std::function<ByteStr(const ByteStr&)> device;  // reply to a frame
  std::vector<ByteStr> sent;
  std::vector<int> reads;  // sizes asked for by each read
  int emptyReads = 0, counts = 0, waits = 0;
  ByteStr pending;

  void Send(const ByteStr& s) override {
    sent.push_back(s);
    if (device) pending += device(s);
  }
  int Waiting() override {
    ++counts;
    return static_cast<int>(pending.size());
  }
  int Receive(void* buf, int count) override {
    reads.push_back(count);
    const int n = std::min(count, static_cast<int>(pending.size()));
    if (n == 0) ++emptyReads;
    std::memcpy(buf, pending.data(), static_cast<size_t>(n));
    pending.erase(0, static_cast<size_t>(n));
    return n;
  }
  bool WaitReadable(platform::TimePoint deadline) override {
    ++waits;
    if (!pending.empty()) return true;
    platform::SleepUntil(deadline);
    return false;
  }
  bool Alive() override { return true; }
};

class MemoryLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.LinkOverride = &link;
    p.ComTmo = 2;
    p.ComBln = 100;
  }
  MemoryLink link;
  TPorts1 p;
};

TEST_F(MemoryLinkTest, ReadsAtMost250BytesAPassAndKeeps255) {
  link.device = [](const ByteStr&) { return ByteStr(300, '\x11'); };
  ByteStr r = p.Konus(Bytes({1, 2, 3}), false);
  EXPECT_EQ(r.size(), 255u);
  EXPECT_TRUE(link.pending.empty());  // the rest was read and dropped
  ASSERT_FALSE(link.reads.empty());
  EXPECT_EQ(*std::max_element(link.reads.begin(), link.reads.end()), 250);
}

// Every call into the link while a reply is collected either waits or moves bytes: a reply
// of 255 bytes costs one wait for it, two reads (250 + 5) and one wait for the silence. A
// reply of exactly one chunk needs one read that comes back empty, then a wait for input.
// A reply whose length is known (the TCP header tells it) ends with its last byte: no wait
// for the silence, and no read after it.
TEST_F(MemoryLinkTest, CollectingAReplyMakesNoIdleCalls) {
  struct Case {
    const char* name;
    TLinkPage page;
    size_t size;  // reply size, header included
    bool fast;
    size_t reads;
    int emptyReads, waits;
  } cases[] = {
      {"serial 255", lpComm, 255, true, 2, 0, 2},
      {"serial 250", lpComm, 250, true, 2, 1, 2},
      {"network 255, silence rule", lpNetwork, 255, false, 2, 0, 2},
      {"network 250, silence rule", lpNetwork, 250, false, 2, 1, 2},
      {"network 255, fast", lpNetwork, 255, true, 2, 0, 1},
      {"network 250, fast", lpNetwork, 250, true, 1, 0, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TPorts1 q;  // a line that has been quiet: no idle wait before the request
    q.LinkOverride = &link;
    q.ComTmo = 2;
    q.ComBln = 100;
    q.ActivePage = c.page;
    q.CheckBox5 = c.fast;
    link = MemoryLink();
    link.device = [&c](const ByteStr& f) {
      return c.page == lpNetwork ? test::WithMbap(test::TrnOf(f), ByteStr(c.size - 6, '\x11'))
                                 : ByteStr(c.size, '\x11');
    };
    EXPECT_EQ(q.Konus(Bytes({1, 2, 3}), false).size(), c.page == lpNetwork ? c.size - 6 : c.size);
    EXPECT_EQ(link.reads.size(), c.reads);
    EXPECT_EQ(link.emptyReads, c.emptyReads);
    EXPECT_EQ(link.waits, c.waits);
    // both transports read away what came late before they send; nothing is counted afterwards
    EXPECT_EQ(link.counts, 1);
  }
}

TEST_F(MemoryLinkTest, EmptySerialRequestDoesNotWaitForAReply) {
  link.device = [](const ByteStr&) { return Bytes({1}); };
  auto t0 = platform::Now();
  EXPECT_EQ(p.Konus("", true), "");
  EXPECT_LT(platform::Now() - t0, std::chrono::milliseconds(50));
  EXPECT_EQ(p.LogLines.back(), "Rx[0]= ");
}

struct OrderCase {
  const char* name;
  ByteStr reply;  // whole serial reply, CRC included
  const char* message;
};

TEST_F(MemoryLinkTest, SerialChecksRunInOrderWithTheCrcLast) {
  const ByteStr bad = Bytes({0, 0});
  const OrderCase cases[] = {
      {"exception with a broken CRC", Bytes({0xEE, 0x83, 0x02}) + bad, "Modbus Register not Present"},
      {"other function with a broken CRC", Bytes({0xEE, 0x04, 0x02, 0, 0}) + bad, "Result command mismatch"},
      {"other node with a broken CRC", Bytes({0xEF, 0x03, 0x02, 0, 0}) + bad, "Result adress mismatch"},
      {"broken CRC", Bytes({0xEE, 0x03, 0x02, 0, 0}) + bad, "Result CRC mismatch"},
      {"intact", test::WithCrc(Bytes({0xEE, 0x03, 0x02, 0xAB, 0xCD})), nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    link.device = [&c](const ByteStr&) { return c.reply; };
    try {
      EXPECT_EQ(p.ModRead(0, false), 0xABCD);
      EXPECT_EQ(c.message, nullptr);
    } catch (const Exception& e) {
      ASSERT_NE(c.message, nullptr) << e.what();
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST_F(MemoryLinkTest, TcpFramingFollowsTheActivePage) {
  p.ActivePage = lpNetwork;
  p.ComNod = 1;
  link.device = [](const ByteStr& f) {
    return test::WithMbap(test::TrnOf(f), Bytes({1, 0x03, 2, 0x12, 0x34}));
  };
  EXPECT_EQ(p.ModRead(5, false), 0x1234);
  ASSERT_EQ(link.sent.size(), 1u);
  EXPECT_EQ(Str255toHex(link.sent[0]), "00 01 00 00 00 06 01 03 00 05 00 01");
}

}  // namespace
}  // namespace vex
