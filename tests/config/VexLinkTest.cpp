// Record transfers and command sequences as they reach the port.
#include "config/VexLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/Vex324type.h"

namespace vex {
namespace {

// Records every request; reads answer from a register image; can fail at a given request.
struct FakePort {
  struct Call {
    std::string fn;
    int a, c;
    std::vector<uint16_t> v;
    bool u;
  };
  std::vector<Call> calls;
  std::vector<uint16_t> regs = std::vector<uint16_t>(4096, 0);
  int failAt = -1;

  void Check() {
    if (static_cast<int>(calls.size()) == failAt + 1) throw Exception("Response Timeout");
  }
  void ModWrite(uint16_t a, uint16_t d, bool u) {
    calls.push_back({"W", a, 1, {d}, u});
    Check();
    regs[a] = d;
  }
  void ModReadMulti(int a, int c, uint16_t* v, bool u) {
    calls.push_back({"R", a, c, {}, u});
    Check();
    for (int k = 0; k < c; ++k) v[k] = regs[static_cast<size_t>(a + k)];
  }
  void ModWriteMulti(uint16_t a, uint16_t c, const uint16_t* v, bool u) {
    calls.push_back({"M", a, c, std::vector<uint16_t>(v, v + c), u});
    Check();
    for (int k = 0; k < c; ++k) regs[static_cast<size_t>(a + k)] = v[k];
  }
  void ModWriteCoil(uint16_t a, bool d, bool u) {
    calls.push_back({"C", a, 1, {static_cast<uint16_t>(d)}, u});
    Check();
  }
};

TEST(SequenceTransfer, ThreeRequestsPerRecordSize) {
  struct Case {
    int size;
    int counts[3];
  } cases[] = {{64, {10, 10, 12}},  {66, {11, 11, 11}},  {142, {23, 23, 25}},
               {148, {24, 24, 26}}, {160, {26, 26, 28}}, {210, {35, 35, 35}}};
  for (const Case& c : cases) {
    FakePort p;
    for (int k = 0; k < c.size / 2; ++k)
      p.regs[static_cast<size_t>(128 + k)] = static_cast<uint16_t>(k * 7 + 1);
    const std::vector<uint16_t> w = ReadSequence(p, c.size, true);
    ASSERT_EQ(p.calls.size(), 3u) << c.size;
    int reg = 128;
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(p.calls[k].fn, "R");
      EXPECT_EQ(p.calls[k].a, reg) << c.size << " request " << k;
      EXPECT_EQ(p.calls[k].c, c.counts[k]) << c.size << " request " << k;
      EXPECT_TRUE(p.calls[k].u);
      reg += c.counts[k];
    }
    ASSERT_EQ(w.size(), static_cast<size_t>(c.size / 2));
    for (int k = 0; k < c.size / 2; ++k) EXPECT_EQ(w[k], k * 7 + 1) << c.size << " word " << k;

    FakePort q;
    WriteSequence(q, w, false);
    ASSERT_EQ(q.calls.size(), 3u);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(q.calls[k].fn, "M");
      EXPECT_EQ(q.calls[k].c, c.counts[k]);
      EXPECT_FALSE(q.calls[k].u);
    }
    EXPECT_TRUE(std::equal(w.begin(), w.end(), q.regs.begin() + 128));
    EXPECT_EQ(q.regs[static_cast<size_t>(128 + c.size / 2)], 0);  // nothing past the record
  }
}

TEST(SequenceTransfer, Vex324VariantsReadTheirSize) {
  struct Case {
    int appSof;
    int regs[3];
  } cases[] = {{8, {128, 154, 180}}, {6, {128, 152, 176}}, {4, {128, 151, 174}}, {0, {128, 154, 180}}};
  for (const Case& c : cases) {
    FakePort p;
    ReadSequence(p, Vex324IsaSize(c.appSof), true);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(p.calls[k].a, c.regs[k]) << c.appSof;
  }
}

TEST(SequenceTransfer, FailureStopsTheTransferWhereItOccurs) {
  FakePort p;
  p.failAt = 1;
  std::vector<uint16_t> w(80, 0x5555);
  EXPECT_THROW(WriteSequence(p, w, true), Exception);
  EXPECT_EQ(p.calls.size(), 2u);
  EXPECT_EQ(p.regs[128], 0x5555);  // the first chunk stays written
  EXPECT_THROW(SequenceRequests(7), Exception);
  EXPECT_THROW(SequenceRequests(0), Exception);
}

TEST(CommandRegister, Sequences) {
  struct Case {
    const char* what;
    void (*run)(FakePort&);
    std::vector<uint16_t> words;
  } cases[] = {
      {"key", [](FakePort& p) { SendCommand(p, cKeyAck, true); }, {0, 0x84}},
      {"store", [](FakePort& p) { StoreEeprom(p, true); }, {0, 0x1234, 0x8888}},
      {"restart", [](FakePort& p) { RestartDevice(p, true); }, {0, 0x1234, 0x9999}},
      {"unlock", [](FakePort& p) { UnlockConfig(p, true); }, {0, 0x1234}},
      {"erase events", [](FakePort& p) { EraseEvents(p, true); }, {0x1234, 0xF417}},
      {"window 24", [](FakePort& p) { PressWindow(p, 24, 24, true); }, {0, 24}},
  };
  for (const Case& c : cases) {
    FakePort p;
    c.run(p);
    std::vector<uint16_t> got;
    for (const auto& call : p.calls) {
      EXPECT_EQ(call.fn, "W") << c.what;
      EXPECT_EQ(call.a, 15) << c.what;
      got.push_back(call.v[0]);
    }
    EXPECT_EQ(got, c.words) << c.what;
  }
  FakePort p;
  EXPECT_THROW(PressWindow(p, 25, 24, true), Exception);
  EXPECT_THROW(PressWindow(p, 0, 24, true), Exception);
  EXPECT_TRUE(p.calls.empty());
}

TEST(RemoteInputs, CoilsAndRecord) {
  FakePort p;
  SetVirtualInput(p, 17, true, false);
  SetVirtualInput(p, 1, false, false);
  RequestActivation(p, 36, false);
  ASSERT_EQ(p.calls.size(), 3u);
  EXPECT_EQ(p.calls[0].a, 0xB010);
  EXPECT_EQ(p.calls[0].v[0], 1);
  EXPECT_EQ(p.calls[1].a, 0xB000);
  EXPECT_EQ(p.calls[1].v[0], 0);
  EXPECT_EQ(p.calls[2].a, 0xB123);
  EXPECT_EQ(p.calls[2].v[0], 1);

  tVex936dxs r = Zeroed<tVex936dxs>();
  r.GirRem = 0x0003;
  r.Gi3Rem = 0x0008;
  FakePort q;
  WriteRemoteInputs(q, r, true);
  ASSERT_EQ(q.calls.size(), 1u);
  EXPECT_EQ(q.calls[0].a, 3328);
  EXPECT_EQ(q.calls[0].c, 8);
  EXPECT_EQ(q.calls[0].v[4], static_cast<uint16_t>(~(0x0003 ^ 0x0008)));
  EXPECT_EQ(q.calls[0].v[6], 0x0008);
}

TEST(Records, ReadAndWriteThroughThePort) {
  FakePort p;
  p.regs[48] = 0x1234;
  p.regs[49] = 0x0001;
  p.regs[50] = 9000;
  p.regs[51] = 0x0004;
  const auto s = ReadRecord<tVex324sta>(p, cRegStatus, false);
  EXPECT_EQ(p.calls[0].c, 26);
  EXPECT_EQ(uint32_t{s.Tim}, 0x11234u);
  EXPECT_EQ(s.Dat, 9000);
  EXPECT_EQ(s.StaFlg & 7, cTstCfg);

  FakePort q;
  SetDeviceClock(q, EncodeDateTime(2024, 2, 29, 12, 34, 56, 789), true);
  ASSERT_EQ(q.calls.size(), 1u);
  EXPECT_EQ(q.calls[0].a, 48);
  EXPECT_EQ(q.calls[0].v, (std::vector<uint16_t>{45296789 & 0xFFFF, 45296789 >> 16, 8825}));
}

}  // namespace
}  // namespace vex
