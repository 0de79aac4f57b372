// The simulator on its transports: Modbus TCP, the serial line on a pseudo-terminal with
// its line settings, injected faults and the control interface.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

ServerOptions Tcp() {
  ServerOptions o;
  o.tcpPort = 0;
  return o;
}
ServerOptions Serial(int baud = 57600, char parity = 'N') {
  ServerOptions o;
  o.serial = true;
  o.baud = baud;
  o.parity = parity;
  return o;
}

TEST(EmuTcp, IdentifiesAndEchoesTheTransaction) {
  auto s = StartEmu("vex324", Tcp());
  ASSERT_GT(s->TcpPort(), 0);
  TcpMaster m(s->TcpPort());
  m.trn_ = 0xFFFE;  // the identifier wraps
  for (int i = 0; i < 3; ++i) {
    const ByteStr r = m.Raw(ReadReq(0x03, 0, 3));
    ASSERT_EQ(r.size(), 6u + 1 + 2 + 6);
    EXPECT_EQ(Get16(r, 0), m.trn_);
    EXPECT_EQ(Get16(r, 2), 0);
    EXPECT_EQ(Get16(r, 4), 9);
    EXPECT_EQ(r[6], 1);
    EXPECT_EQ(Get16(r, 9), 0x6654);
  }
}

TEST(EmuTcp, TwoRequestsInOneSegmentGetTwoReplies) {
  auto s = StartEmu("vex324", Tcp());
  TcpMaster m(s->TcpPort());
  ByteStr two;
  for (uint16_t t : {7, 8}) {
    Put16(two, t);
    Put16(two, 0);
    Put16(two, 6);
    two.push_back(1);
    two += ReadReq(0x03, 2, 1);
  }
  ASSERT_EQ(write(m.fd_, two.data(), two.size()), static_cast<ssize_t>(two.size()));
  const ByteStr r = Collect(m.fd_, 1000, 50);
  ASSERT_EQ(r.size(), 22u);
  EXPECT_EQ(Get16(r, 0), 7);
  EXPECT_EQ(Get16(r, 11), 8);
}

TEST(EmuTcp, AnswersOnlyTheGivenUnits) {
  ServerOptions o = Tcp();
  o.units = {5, 0xEE};
  auto s = StartEmu("vex932", o);
  TcpMaster one(s->TcpPort(), 1), five(s->TcpPort(), 5);
  EXPECT_TRUE(one.Raw(ReadReq(0x03, 0, 1), 150).empty());
  EXPECT_EQ(five.Reg(2), 0x6E83);
}

TEST(EmuSerial, IdentifiesOnNodeEEAndItsOwnAddressOnly) {
  auto s = StartEmu("brix3", Serial());
  ASSERT_FALSE(s->PtyPath().empty());
  PtyMaster ee(s->PtyPath(), 57600);
  EXPECT_EQ(ee.Reg(2), 0x0160);
  EXPECT_EQ(ee.Reg(1), 0x2260);
  PtyMaster own(s->PtyPath(), 57600, 'N', 1);
  EXPECT_EQ(own.Reg(14), 1);
  PtyMaster other(s->PtyPath(), 57600, 'N', 2);
  EXPECT_TRUE(other.RawFrame(PtyMaster::WithCrc(B({2, 3, 0, 0, 0, 1})), 150).empty());
  // a frame with a wrong CRC gets no answer
  ByteStr bad = PtyMaster::WithCrc(B({0xEE, 3, 0, 0, 0, 1}));
  bad.back() = static_cast<char>(bad.back() ^ 1);
  EXPECT_TRUE(ee.RawFrame(bad, 150).empty());
  // a broadcast is carried out without a reply
  EXPECT_TRUE(ee.RawFrame(PtyMaster::WithCrc(B({0, 0x10, 0, 0x0F, 0, 1, 2, 0x12, 0x34})), 150).empty());
}

struct LineCase {
  int devBaud;
  char devParity;
  int masterBaud;
  char masterParity;
  bool answered;
};
// The pseudo-terminal carries rate, stop bits and the odd-parity bit (even parity reads as
// none there, so that pair cannot be told apart).
const LineCase kLines[] = {
    {57600, 'N', 57600, 'N', true},  {57600, 'N', 19200, 'N', false}, {19200, 'E', 19200, 'E', true},
    {38400, 'O', 38400, 'O', true},  {38400, 'O', 38400, 'E', false}, {57600, 'N', 57600, 'O', false},
    {38400, 'N', 57600, 'N', false}, {9600, 'E', 19200, 'E', false},
};

TEST(EmuSerial, MasterWithOtherLineSettingsGetsNoAnswer) {
  for (const LineCase& c : kLines) {
    SCOPED_TRACE(std::to_string(c.devBaud) + c.devParity + " vs " + std::to_string(c.masterBaud) +
                 c.masterParity);
    auto s = StartEmu("vex324", Serial(c.devBaud, c.devParity));
    PtyMaster m(s->PtyPath(), c.masterBaud, c.masterParity);
    m.windowMs_ = 150;
    int ex = -1;
    const auto v = m.Read(0, 1, &ex);
    EXPECT_EQ(ex == 0, c.answered);
    if (c.answered) {
      EXPECT_EQ(v.at(0), 0x6654);
    }
  }
  for (int stop : {1, 2}) {
    ServerOptions o = Serial(19200);
    o.stopBits = 2;
    auto s = StartEmu("vex324", o);
    PtyMaster m(s->PtyPath(), 19200, 'N', 0xEE, stop);
    m.windowMs_ = 150;
    int ex = -1;
    m.Read(0, 1, &ex);
    EXPECT_EQ(ex == 0, stop == 2) << stop;
  }
}

TEST(EmuSerial, PacedRepliesTakeTheirLineTime) {
  ServerOptions o = Serial(9600);
  o.pace = true;
  auto s = StartEmu("vex324", o);
  PtyMaster m(s->PtyPath(), 9600);
  const int64_t t0 = Ms();
  const ByteStr r = m.RawFrame(PtyMaster::WithCrc(B({0xEE, 3, 0, 0, 0, 16})), 1000, 30);
  const int64_t took = Ms() - t0;
  ASSERT_EQ(r.size(), 37u);
  EXPECT_GE(took, 37 * 11 * 1000 / 9600 - 2);  // 37 bytes of 11 bits at 9600 bit/s
}

// ---- faults ----

struct FaultCase {
  const char* text;
  bool serial;
  // what the first three identical reads of register 2 see: 'o' fine, '-' nothing,
  // 'g' garbage after the reply, 'c' bad CRC, 'x' exception, 'd' connection dropped
  const char* expect;
};
const FaultCase kFaults[] = {
    {"noreply fn=3 nth=2", true, "o-o"},
    {"noreply fn=16", true, "ooo"},
    {"noreply every=2", false, "o-o"},
    {"noreply times=1", false, "-oo"},
    {"garbage bytes=3", true, "ggg"},
    {"badcrc nth=3", true, "ooc"},
    {"exception code=6 nth=1", true, "xoo"},
    {"exception code=2 fn=3", false, "xxx"},
    {"drop nth=2", false, "od"},
};

TEST(EmuFaults, InjectedFaultsHitTheChosenRequests) {
  for (const FaultCase& c : kFaults) {
    SCOPED_TRACE(c.text);
    ServerOptions o = c.serial ? Serial() : Tcp();
    o.faults = {c.text};
    auto s = StartEmu("vex324", o);
    std::unique_ptr<PtyMaster> pty;
    std::unique_ptr<TcpMaster> tcp;
    if (c.serial)
      pty = std::make_unique<PtyMaster>(s->PtyPath(), 57600);
    else
      tcp = std::make_unique<TcpMaster>(s->TcpPort());
    for (const char* e = c.expect; *e; ++e) {
      SCOPED_TRACE(e - c.expect);
      const ByteStr req = ReadReq(0x03, 2, 1);
      ByteStr raw;
      if (pty)
        raw = pty->RawFrame(PtyMaster::WithCrc(static_cast<char>(0xEE) + req), 150);
      else
        raw = tcp->Raw(req, 150);
      const ByteStr ok = pty ? PtyMaster::WithCrc(B({0xEE, 3, 2, 0x66, 0x54})) : ByteStr();
      switch (*e) {
        case 'o':
          EXPECT_EQ(pty ? raw : raw.substr(std::min<size_t>(7, raw.size())),
                    pty ? ok : B({3, 2, 0x66, 0x54}));
          break;
        case '-':
          EXPECT_TRUE(raw.empty());
          break;
        case 'g':
          EXPECT_EQ(raw.substr(0, ok.size()), ok);
          EXPECT_EQ(raw.size(), ok.size() + 3);
          break;
        case 'c':
          EXPECT_EQ(raw.substr(0, 5), ok.substr(0, 5));
          EXPECT_NE(raw, ok);
          break;
        case 'x': {
          const ByteStr pdu = pty ? raw.substr(1, 2) : raw.substr(7);
          EXPECT_EQ(static_cast<uint8_t>(pdu.at(0)), 0x83);
          EXPECT_EQ(pdu.at(1), std::string(c.text).find("code=6") != std::string::npos ? 6 : 2);
          break;
        }
        case 'd': {
          EXPECT_TRUE(raw.empty());
          char b;
          EXPECT_EQ(read(tcp->fd_, &b, 1), 0);  // closed by the device
          break;
        }
      }
    }
  }
}

TEST(EmuFaults, DelayedAndSplitRepliesKeepTheirTiming) {
  ServerOptions o = Serial();
  o.faults = {"delay ms=120 nth=1", "split ms=80 at=3 nth=2"};
  auto s = StartEmu("vex324", o);
  PtyMaster m(s->PtyPath(), 57600);
  const ByteStr frame = PtyMaster::WithCrc(B({0xEE, 3, 0, 2, 0, 1}));
  const ByteStr ok = PtyMaster::WithCrc(B({0xEE, 3, 2, 0x66, 0x54}));
  int64_t t0 = Ms();
  EXPECT_EQ(m.RawFrame(frame, 1000, 20), ok);
  EXPECT_GE(Ms() - t0, 115);
  // the split reply: the first 3 bytes, a gap, the rest
  const ByteStr first = m.RawFrame(frame, 1000, 30);
  EXPECT_EQ(first, ok.substr(0, 3));
  EXPECT_EQ(Collect(m.fd_, 500, 30), ok.substr(3));
}

TEST(EmuFaults, BadFaultTextIsRefusedWithTheReason) {
  const char* bad[] = {"", "explode", "delay ms", "delay ms=x", "delay ms=70000", "noreply color=3"};
  for (const char* b : bad) {
    SCOPED_TRACE(b);
    EXPECT_THROW(ParseFault(b), Exception);
  }
  EXPECT_EQ(FaultText(ParseFault("split ms=20 at=4 fn=3 nth=2")), "split fn=3 nth=2 ms=20 at=4");
}

// ---- control ----

TEST(EmuControl, CommandsChangeInputsFaultsAndState) {
  auto s = StartEmu("vex324", Tcp());
  struct Step {
    const char* cmd;
    const char* reply;  // expected reply prefix
  };
  const Step steps[] = {
      {"set 3", "ok"},
      {"set 24", "ok"},
      {"inputs", "ok 3 24"},
      {"toggle 3", "ok"},
      {"inputs", "ok 24"},
      {"clear all", "ok"},
      {"inputs", "ok"},
      {"set 25", "error: Input out of range"},
      {"set x", "error"},
      {"bogus", "error: Unknown command"},
      {"fault noreply fn=3", "ok"},
      {"faults", "ok [noreply fn=3]"},
      {"fault clear", "ok"},
      {"faults", "ok"},
      {"state", "ok model=vex324 boot=0 app=$0854 config=Good slave=1"},
      {"demo maybe", "error"},
      {"wait 10", "error"},
      {"run /nonexistent/scenario", "error: Cannot open scenario"},
  };
  for (const Step& st : steps) {
    SCOPED_TRACE(st.cmd);
    const std::string r = s->Control(st.cmd);
    EXPECT_EQ(r.substr(0, std::string(st.reply).size()), st.reply) << r;
  }
  // a fault set from the control interface hits the next request
  TcpMaster m(s->TcpPort());
  EXPECT_EQ(s->Control("fault exception code=4 fn=3 nth=1"), "ok");
  int ex = 0;
  m.Read(0, 1, &ex);
  EXPECT_EQ(ex, exFailure);
  m.Read(0, 1, &ex);
  EXPECT_EQ(ex, 0);
}

TEST(EmuControl, ScenarioFileRunsWithItsWaits) {
  auto s = StartEmu("vex936", Tcp());
  const std::string path = std::string(VEX_BINARY_DIR) + "/emu_scenario.txt";
  {
    std::ofstream f(path);
    f << "# a short burst\nset 1\nwait 40\nset 36\nclear 1\n";
  }
  EXPECT_EQ(s->Control("run " + path), "ok");
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(s->Control("inputs"), "ok 1");
  const int64_t end = Ms() + 2000;
  while (s->ScenarioRunning() && Ms() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(s->Control("inputs"), "ok 36");
  std::remove(path.c_str());
}

TEST(EmuControl, ControlSocketAnswersLines) {
  ServerOptions o = Tcp();
  o.controlPort = 0;
  auto s = StartEmu("tord48", o);
  ASSERT_GT(s->ControlPort(), 0);
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(s->ControlPort()));
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
  const std::string cmds = "set 48\ninputs\n";
  ASSERT_EQ(write(fd, cmds.data(), cmds.size()), static_cast<ssize_t>(cmds.size()));
  ByteStr got;
  const int64_t end = Ms() + 1000;
  while (std::count(got.begin(), got.end(), '\n') < 2 && Ms() < end) got += Collect(fd, 200, 20);
  EXPECT_EQ(got, "ok\nok 48\n");
  close(fd);
  std::lock_guard<std::mutex> lock(s->Dev().Mutex());
  EXPECT_TRUE(s->Dev().Input(48));
}

TEST(EmuServerLife, StartStopAndRestartOnFreshPorts) {
  for (int i = 0; i < 3; ++i) {
    ServerOptions o = Tcp();
    o.serial = true;
    auto s = StartEmu("vex216", o);
    TcpMaster t(s->TcpPort());
    EXPECT_EQ(t.Reg(2), 0x6546);
    PtyMaster p(s->PtyPath(), 57600);
    EXPECT_EQ(p.Reg(2), 0x6546);
    s->Stop();
  }
  ServerOptions bad;
  bad.serial = true;
  bad.baud = 12345;
  EXPECT_THROW(EmuServer(MakeDevice(ModelFor("vex324")), bad), Exception);
  bad.baud = 9600;
  bad.parity = 'X';
  EXPECT_THROW(EmuServer(MakeDevice(ModelFor("vex324")), bad), Exception);
}

}  // namespace
}  // namespace vex::emu::test

namespace vex::emu::test {
namespace {

TEST(EmuControl, DemoChangesFieldInputsByItself) {
  ServerOptions o;
  o.tcpPort = 0;
  o.demo = true;
  o.seed = 3;
  auto s = StartEmu("vex308", o);
  std::string seen = "ok";
  const int64_t end = Ms() + 3000;
  while (seen == "ok" && Ms() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    seen = s->Control("inputs");
  }
  EXPECT_NE(seen, "ok");  // some input went on
  EXPECT_EQ(s->Control("demo off"), "ok");
}

}  // namespace
}  // namespace vex::emu::test

#include <sys/resource.h>

namespace vex::emu::test {
namespace {

int64_t CpuUs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000000LL + u.ru_utime.tv_usec + u.ru_stime.tv_usec;
}

// A delayed reply with a second one queued behind it, and a paced slow line: the server
// waits in poll for its deadlines instead of spinning.
TEST(EmuServerLife, WaitsWithoutSpinning) {
  ServerOptions o;
  o.tcpPort = 0;
  o.serial = true;
  o.baud = 1200;
  o.pace = true;
  o.faults = {"delay ms=300 nth=1 fn=3"};
  auto s = StartEmu("vex324", o);
  TcpMaster m(s->TcpPort());
  PtyMaster p(s->PtyPath(), 1200);
  ByteStr two;
  for (uint16_t t : {1, 2}) {
    Put16(two, t);
    Put16(two, 0);
    Put16(two, 6);
    two.push_back(1);
    two += ReadReq(0x03, 2, 1);
  }
  const int64_t cpu0 = CpuUs(), t0 = Ms();
  ASSERT_EQ(write(m.fd_, two.data(), two.size()), static_cast<ssize_t>(two.size()));
  // 16 registers at 1200 bit/s: 37 bytes of 9.2 ms each
  const ByteStr paced = p.RawFrame(PtyMaster::WithCrc(B({0xEE, 3, 0, 0, 0, 16})), 1500, 60);
  const ByteStr r = Collect(m.fd_, 1000, 50);
  const int64_t wall = Ms() - t0, cpu = CpuUs() - cpu0;
  ASSERT_EQ(r.size(), 22u);
  EXPECT_EQ(Get16(r, 0), 1);  // in order, the delayed one first
  EXPECT_EQ(paced.size(), 37u);
  EXPECT_GE(wall, 300);
  EXPECT_LT(cpu, wall * 1000 / 4) << "cpu " << cpu << " us in " << wall << " ms";
}

}  // namespace
}  // namespace vex::emu::test
