// The rack modules through their registers: inputs and SET/CLEAR events, the four event
// records, the sequence stream of the extended read, slot outputs and pulses, and the bench's
// control commands (slot types, failed outputs, IRIG-B).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "comm/Event.h"
#include "emu/Device.h"
#include "emu/IsaEngine.h"
#include "emu/LiveBase.h"
#include "emu/LiveRack.h"
#include "emu/Slave.h"
#include "tests/emu/DeviceRig.h"

namespace vex::emu {
namespace {

struct Rig : DeviceRig {
  using DeviceRig::DeviceRig;
  void Toggle(int n) {  // one input on and off again: a SET and a CLEAR event
    d->SetInput(n, true);
    Pass(20);
    d->SetInput(n, false);
    Pass(20);
  }
  std::vector<tVexEvn> Events() {
    const auto w = Read(2560, 52);
    std::vector<tVexEvn> v;
    for (size_t k = 0; k < 4; ++k) v.push_back(tVexEvn::FromWords(w.data() + 13 * k));
    return v;
  }
};

struct ModuleCase {
  const char* model;
  uint16_t words;
};

void PrintTo(const ModuleCase& m, std::ostream* os) { *os << m.model; }

class LiveModule : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(LiveModule, InputsAndTheLastFourEvents) {
  const ModuleCase& m = GetParam();
  Rig r(m.model);
  int ex = 0;
  r.Read(48, m.words, &ex);
  EXPECT_EQ(ex, 0);
  r.Read(48, static_cast<uint16_t>(m.words + 1), &ex);
  EXPECT_NE(ex, 0);

  auto ev = r.Events();
  EXPECT_EQ(ev[0].Seq, 1u);
  EXPECT_EQ(ev[0].Typ, evPower);
  EXPECT_EQ(ev[1].Seq, 0u) << "unused records read empty";

  r.d->SetInput(40, true);
  r.d->SetInput(17, true);
  r.Pass(20);
  const auto s = r.Read(48, 7);
  EXPECT_EQ(s[4], 0);
  EXPECT_EQ(s[5], 0x0001);
  EXPECT_EQ(s[6], 0x0080);
  r.d->SetInput(40, false);
  r.d->SetInput(17, false);
  r.Pass(20);
  r.Toggle(1);
  ev = r.Events();
  for (size_t k = 0; k < 4; ++k) EXPECT_EQ(ev[k].Seq, k + 2) << "oldest first";
  EXPECT_EQ(ev[0].Typ, evSet);
  EXPECT_EQ(ev[0].Dif23, 0x0001);
  EXPECT_EQ(ev[0].Dif45, 0x0080);
  EXPECT_EQ(ev[0].Reg45, 0x0080);
  EXPECT_EQ(ev[1].Typ, evClear);
  EXPECT_EQ(ev[3].Typ, evClear);
  EXPECT_EQ(ev[3].Dif01, 0x0001);
  EXPECT_NE(r.Write(2560, {0}), 0) << "the event records are read only";
}

TEST_P(LiveModule, LampTestAndClockFlags) {
  Rig r(GetParam().model);
  EXPECT_EQ(r.Reg(51) & (cTstPnd | cTimSyn), 0);
  r.Write(15, {0});
  r.Write(15, {0x83});
  EXPECT_TRUE(r.Reg(51) & cTstPnd);
  r.Write(15, {0});
  r.Write(15, {0x85});
  EXPECT_FALSE(r.Reg(51) & cTstPnd);
  ASSERT_EQ(r.Write(48, {0, 0, 8000}), 0);
  EXPECT_TRUE(r.Reg(51) & cTimSyn);
  EXPECT_EQ(r.Events()[1].Typ, evTimeValid);
}

INSTANTIATE_TEST_SUITE_P(Modules, LiveModule,
                         ::testing::Values(ModuleCase{"tord48", 7}, ModuleCase{"vald3", 25}),
                         [](const auto& i) { return std::string(i.param.model); });

struct StreamCase {
  const char* name;
  uint32_t from;
  uint8_t count;
  size_t bytes;
  std::vector<uint32_t> seqs;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

const StreamCase kStream[] = {
    {"FromTheStart", 0, 124, 16 + 6 * 18, {1, 2, 3, 4, 5, 6}},
    {"FromTheThird", 3, 124, 16 + 6 * 18, {3, 4, 5, 6, 7, 8}},
    {"TheLastThree", 8, 124, 16 + 3 * 18, {8, 9, 10}},
    {"NothingNew", 11, 124, 16, {}},
    {"HighAddressByte", 0x01000000, 124, 16, {}},
    {"ShortRequest", 1, 40, 40, {1}},
    {"StatusCut", 1, 10, 10, {}},
};

class LiveStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(LiveStream, StatusPartThenRecordsFromTheAskedNumber) {
  const StreamCase& c = GetParam();
  Rig r("tord48");
  for (int k = 0; k < 4; ++k) r.Toggle(k + 1);  // events 2..9
  r.d->SetInput(33, true);                      // event 10
  r.Pass(20);
  ByteStr out;
  ASSERT_EQ(r.d->ReadFile(static_cast<uint8_t>(c.from >> 24), c.from & 0xFFFFFF, c.count, out), 0);
  ASSERT_EQ(out.size(), c.bytes);
  auto le16 = [&](size_t i) {
    return static_cast<uint16_t>(static_cast<uint8_t>(out[i]) | static_cast<uint8_t>(out[i + 1]) << 8);
  };
  if (out.size() >= 16) {
    EXPECT_EQ(le16(0), r.Reg(13)) << "unique ID";
    EXPECT_EQ(le16(6), r.Reg(50)) << "date";
    EXPECT_EQ(le16(14), 0x0001) << "input 33";
  }
  std::vector<uint32_t> seqs;
  for (size_t at = 16; at + tVexSek::cBytes <= out.size(); at += tVexSek::cBytes) {
    const tVexSek s = tVexSek::FromBytes(reinterpret_cast<const uint8_t*>(out.data() + at));
    seqs.push_back(s.Seq);
    if (s.Seq >= 2 && s.Seq <= 9) {
      EXPECT_EQ(s.Typ, (s.Seq % 2 == 0) ? evSet : evClear);
      EXPECT_EQ(s.Dif01, 1u << ((s.Seq - 2) / 2));
    }
  }
  EXPECT_EQ(seqs, c.seqs);
}

INSTANTIATE_TEST_SUITE_P(Requests, LiveStream, ::testing::ValuesIn(kStream),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(LiveRack, StreamThroughTheExtendedReadFunction) {
  Rig r("tord48");
  r.Toggle(5);
  const ByteStr reply = ProcessPdu(*r.d, ByteStr{0x14, 0x06, 0x05, 0x00, 0x00, 0x00, 0x02, 124});
  ASSERT_EQ(reply.size(), 3u + 16 + 2 * 18);
  EXPECT_EQ(static_cast<uint8_t>(reply[1]), 16 + 2 * 18 + 1);
  EXPECT_EQ(static_cast<uint8_t>(reply[2]), 16 + 2 * 18);
  const tVexSek first = tVexSek::FromBytes(reinterpret_cast<const uint8_t*>(reply.data() + 3 + 16));
  EXPECT_EQ(first.Seq, 2u);
  EXPECT_EQ(first.Dif01, 0x0010);
}

TEST(LiveRack, StreamRepliesCutByTheBench) {
  Rig r("tord48");
  for (int k = 0; k < 3; ++k) r.Toggle(k + 1);  // events 2..7: a full reply is 124 bytes
  const std::pair<const char*, size_t> cuts[] = {{"0", 0}, {"10", 10}, {"16", 16}, {"51", 51}, {"full", 124}};
  for (const auto& [arg, bytes] : cuts) {
    std::string reply;
    ASSERT_TRUE(r.d->Control("stream", arg, reply));
    EXPECT_EQ(reply, "ok");
    ByteStr out;
    ASSERT_EQ(r.d->ReadFile(0, 1, 124, out), 0);
    EXPECT_EQ(out.size(), bytes) << arg;
  }
  std::string reply;
  ASSERT_TRUE(r.d->Control("stream", "256", reply));
  EXPECT_EQ(reply, "error: Stream reply size out of range [0..255]: 256");
  Rig io("vald3");
  ASSERT_TRUE(io.d->Control("stream", "20", reply));
  EXPECT_EQ(reply, "ok") << "both modules stream";
}

struct SlotCase {
  const char* name;
  int slot;
  uint16_t cmd, out, fault;
};

void PrintTo(const SlotCase& c, std::ostream* os) { *os << c.name; }

// The module's slots: 1 "Relay-8x5A", 2 "SSR-4x6A", 3 "Relay-8x8A".
const SlotCase kSlots[] = {
    {"EightRelays", 0, 0x00FF, 0x00FF, 0},
    {"BeyondEightRelays", 0, 0x0101, 0x0001, 0x0100},
    {"FourSolidStateRelays", 1, 0x00FF, 0x000F, 0x00F0},
    {"SecondRelayCard", 2, 0x0081, 0x0081, 0},
    {"Off", 2, 0, 0, 0},
};

class LiveSlot : public ::testing::TestWithParam<SlotCase> {};

TEST_P(LiveSlot, CommandWordDrivesWhatTheSlotHas) {
  const SlotCase& c = GetParam();
  Rig r("vald3");
  const auto s = static_cast<uint16_t>(c.slot);
  ASSERT_EQ(r.Write(static_cast<uint16_t>(64 + s), {c.cmd}), 0);
  EXPECT_EQ(r.Reg(static_cast<uint16_t>(64 + s)), c.cmd);
  const auto st = r.Read(48, 25);
  EXPECT_EQ(st[7 + s], c.out);
  EXPECT_EQ(st[10 + s], c.fault);
  EXPECT_EQ(st[16 + s], c.cmd);
  const uint16_t types[3] = {cModTy5, cModTyS, cModTy8};
  EXPECT_EQ(st[19 + s], types[s]);
  for (int o = 0; o < 3; ++o)
    if (o != c.slot) {
      EXPECT_EQ(st[7 + o], 0) << "slot " << o + 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, LiveSlot, ::testing::ValuesIn(kSlots),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(LiveRack, PulseLastsItsSlotTimer) {
  Rig r("vald3");
  r.Unlock();
  ASSERT_EQ(r.Write(21, {300, 0}), 0);  // PulTi1 300 ms, PulTi2 falls back to PulTim
  ASSERT_EQ(r.Write(20, {700}), 0);     // PulTim
  ASSERT_EQ(r.Write(70, {0x0003}), 0);
  ASSERT_EQ(r.Write(71, {0x0001}), 0);
  auto st = r.Read(48, 25);
  EXPECT_EQ(st[22], 0x0003);
  EXPECT_EQ(st[7], 0x0003) << "a pulsed output is on";
  r.Pass(290);
  EXPECT_EQ(r.Reg(70), 0x0003);
  r.Pass(10);
  EXPECT_EQ(r.Reg(70), 0);
  EXPECT_EQ(r.Read(48, 25)[7], 0);
  EXPECT_EQ(r.Reg(71), 0x0001);
  r.Pass(400);
  EXPECT_EQ(r.Reg(71), 0);
}

// Writes to one pulse word as a screen sends them: only the clicked box's bit, or 0 when a
// box is cleared. A pulse runs to its end; no write of another bit or of 0 cuts it short.
struct PulseCase {
  const char* name;
  std::vector<uint16_t> writes;  // to register 70, 100 ms apart
  uint16_t at300;                // register 70 at 300 ms after the first write
  uint16_t at550;                // ... at 550 ms (each pulse lasts 500 ms from its own start)
};

void PrintTo(const PulseCase& c, std::ostream* os) { *os << c.name; }

const PulseCase kPulses[] = {
    {"OneBit", {0x0001}, 0x0001, 0},
    {"SecondBitKeepsTheFirst", {0x0001, 0x0004}, 0x0005, 0x0004},
    {"ClearedBoxKeepsTheOthers", {0x0001, 0x0004, 0x0000}, 0x0005, 0x0004},
    {"RunningBitKeepsItsEnd", {0x0001, 0x0001}, 0x0001, 0},
    {"TwoBitsAtOnce", {0x0003}, 0x0003, 0},
    {"NothingSet", {0x0000}, 0, 0},
};

class LivePulse : public ::testing::TestWithParam<PulseCase> {};

TEST_P(LivePulse, OneBitDoesNotCancelTheOthers) {
  const PulseCase& c = GetParam();
  Rig r("vald3");
  r.Unlock();
  ASSERT_EQ(r.Write(21, {500}), 0);  // PulTi1: the pulse length of slot 1
  int64_t passed = 0;
  for (uint16_t w : c.writes) {
    ASSERT_EQ(r.Write(70, {w}), 0);
    r.Pass(100);
    passed += 100;
  }
  r.Pass(300 - passed);
  EXPECT_EQ(r.Reg(70), c.at300);
  EXPECT_EQ(r.Read(48, 25)[7], c.at300) << "pulsed outputs are on";
  r.Pass(250);
  EXPECT_EQ(r.Reg(70), c.at550);
}

INSTANTIATE_TEST_SUITE_P(Writes, LivePulse, ::testing::ValuesIn(kPulses),
                         [](const auto& i) { return std::string(i.param.name); });

// The bench's control commands of the I/O module and what the status record shows after them.
struct ControlCase {
  const char* name;
  std::vector<std::string> lines;                    // "cmd rest"
  std::string reply;                                 // of the last line
  std::vector<std::pair<uint16_t, uint16_t>> words;  // status word index -> value after
};

void PrintTo(const ControlCase& c, std::ostream* os) { *os << c.name; }

const ControlCase kControls[] = {
    {"SlotTypes", {"slot"}, "ok $4C $26 $83", {{19, cModTy5}, {20, cModTyS}, {21, cModTy8}}},
    {"EmptySlot", {"slot 1 0"}, "ok", {{19, 0}}},
    {"InputCard", {"slot 2 $15"}, "ok", {{20, cModTyp}}},
    {"UnlistedType", {"slot 3 0x99", "slot"}, "ok $4C $26 $99", {{21, 0x99}}},
    {"SlotOutOfRange", {"slot 4 0"}, "error: Slot out of range [1..3]: 4", {{19, cModTy5}}},
    {"TypeMissing", {"slot 1"}, "error: slot N TYPE", {}},
    {"TypeNotANumber", {"slot 1 relay"}, "error: Module type out of range [0..65535]: relay", {}},
    {"EmptySlotCannotDrive", {"slot 1 0", "out 1"}, "ok", {{7, 0}, {10, 0x0001}}},
    {"FailedOutput", {"outfault 2 on"}, "ok", {{10, 0x0002}}},
    {"FailedOutputOfSlot3", {"outfault 48 on"}, "ok", {{12, 0x8000}}},
    {"FailedOutputNotDriven", {"outfault 1 on", "out 1"}, "ok", {{7, 0}, {10, 0x0001}}},
    {"FailureMended", {"outfault 1 on", "out 1", "outfault 1 off"}, "ok", {{7, 1}, {10, 0}}},
    {"AllMended", {"outfault 3 on", "outfault 20 on", "outfault clear"}, "ok", {{10, 0}, {11, 0}}},
    {"OutputOutOfRange", {"outfault 49 on"}, "error: Output out of range [1..48]: 49", {}},
    {"OnOrOff", {"outfault 1 maybe"}, "error: on|off expected: maybe", {{10, 0}}},
    {"IrigB", {"irig on"}, "ok", {{3, 0x0041}}},
    {"IrigBGone", {"irig on", "irig off"}, "ok", {{3, 0x0001}}},
    {"TooMany", {"irig on now"}, "error: irig on|off", {}},
};

class LiveControl : public ::testing::TestWithParam<ControlCase> {};

TEST_P(LiveControl, StatusRecordShowsTheBench) {
  const ControlCase& c = GetParam();
  Rig r("vald3");
  std::string reply;
  for (const std::string& l : c.lines) {
    const auto sp = l.find(' ');
    const std::string cmd = l.substr(0, sp), rest = sp == std::string::npos ? "" : l.substr(sp + 1);
    if (cmd == "out") {  // the output command word of slot 1, as a screen writes it
      ASSERT_EQ(r.Write(64, {static_cast<uint16_t>(1u << (std::stoi(rest) - 1))}), 0);
      continue;
    }
    ASSERT_TRUE(r.d->Control(cmd, rest, reply)) << l;
  }
  EXPECT_EQ(reply, c.reply);
  const auto st = r.Read(48, 25);
  for (const auto& [k, v] : c.words) EXPECT_EQ(st[k], v) << "status word " << k;
}

INSTANTIATE_TEST_SUITE_P(Commands, LiveControl, ::testing::ValuesIn(kControls),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(LiveRack, BenchSurvivesARestartAndTheInputModuleRefusesIt) {
  Rig r("vald3");
  std::string reply;
  ASSERT_TRUE(r.d->Control("slot", "1 $15", reply));
  ASSERT_TRUE(r.d->Control("outfault", "5 on", reply));
  ASSERT_TRUE(r.d->Control("irig", "on", reply));
  ASSERT_EQ(r.Write(64, {0x0010}), 0);
  r.d->Restart();
  r.Pass(50);
  const auto st = r.Read(48, 25);
  EXPECT_EQ(st[19], cModTyp) << "the card stays in its slot";
  EXPECT_EQ(st[10], 0x0010) << "the failed output stays failed";
  EXPECT_EQ(st[16], 0) << "commands start cleared";
  EXPECT_TRUE(st[3] & cTimIrg);
  EXPECT_FALSE(r.d->Control("unknown", "", reply)) << "not the module's command";

  Rig t("tord48");
  ASSERT_TRUE(t.d->Control("irig", "on", reply));
  EXPECT_EQ(reply, "error: \"irig\": the 48-input module has no output slots");
  EXPECT_FALSE(t.Reg(51) & cTimIrg);
}

TEST(LiveRack, InputModuleHasNoOutputRegisters) {
  Rig r("tord48");
  int ex = 0;
  r.Read(64, 1, &ex);
  EXPECT_NE(ex, 0);
  EXPECT_NE(r.Write(70, {1}), 0);
}

}  // namespace
}  // namespace vex::emu
