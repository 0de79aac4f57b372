// Detection and identification against simulated devices (in-process, over TCP and over
// pseudo-terminals).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "comm/Ports.h"
#include "emu/Device.h"
#include "emu/Server.h"

namespace vex {
namespace {

using emu::EmuServer;
using emu::ServerOptions;

int64_t MsSince(platform::TimePoint t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(platform::Now() - t).count();
}

// A pseudo-terminal nobody answers on.
class SilentPty {
 public:
  SilentPty() {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(fd_);
    ::unlockpt(fd_);
    path_ = ::ptsname(fd_);
  }
  ~SilentPty() { ::close(fd_); }
  const std::string& Path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// Answers one holding register with scripted values; the rest stays the device's.
class RegOwner : public emu::RangeOwner {
 public:
  explicit RegOwner(uint16_t v) : value(v) {}
  int Read(emu::Space, uint32_t, uint16_t& v) override {
    ++reads;
    v = value;
    return emu::exNone;
  }
  uint16_t value;
  int reads = 0;
};

std::unique_ptr<EmuServer> Start(std::unique_ptr<emu::Device> d, ServerOptions o) {
  auto s = std::make_unique<EmuServer>(std::move(d), std::move(o));
  s->Start();
  return s;
}

std::unique_ptr<EmuServer> StartTcp(const emu::ModelInfo& m) {
  ServerOptions o;
  o.tcpPort = 0;
  return Start(emu::MakeDevice(m), o);
}

std::unique_ptr<EmuServer> StartPty(const emu::ModelInfo& m, int baud) {
  ServerOptions o;
  o.serial = true;
  o.baud = baud;
  return Start(emu::MakeDevice(m), o);
}

void UseTcp(TPorts1& p, const EmuServer& s) {
  p.ActivePage = lpNetwork;
  p.LabeledEdit30 = "127.0.0.1";
  p.LabeledEdit31 = std::to_string(s.TcpPort());
  p.LabeledEdit34 = "500";
}

// Logged requests for register a (function 3, one register, node `node`), serial or TCP.
int RequestsFor(const TPorts1& p, int node, int a) {
  const std::string pdu =
      IntToHex(node, 2) + " 03 " + IntToHex(a >> 8, 2) + " " + IntToHex(a & 0xFF, 2) + " 00 01";
  return static_cast<int>(std::count_if(p.LogLines.begin(), p.LogLines.end(), [&](const std::string& l) {
    if (l.rfind("Tx[", 0) != 0) return false;
    const size_t at = l.find("]= ");
    // serial: the frame starts with the node; TCP: after the six header bytes
    return l.compare(at + 3, pdu.size(), pdu) == 0 || l.compare(at + 3 + 18, pdu.size(), pdu) == 0;
  }));
}

struct ModelCase {
  const char* key;
  int bootRev, edition;  // -1: the simulator's default
  const char* bootId;
  const char* appId;  // before the checksum
  bool crc;           // " CRC=$xxxx" follows
  const char* page;
  int segSiz;
};

TEST(Identification, EveryModelOverTcp) {
  const ModelCase cases[] = {
      {"vex215", -1, -1, "4316, Model=Vex216, Segment=32", "4110, App=SX Spec2 Production  ", false, "Vex216",
       32},
      {"vex216", 101, 9, "46.101, Model= Vex216v2-MX R4.B311.5Q10, Boot= 101, Segment=64",
       "46.009  ISA MX model <25q10>", true, "Vex216v2", 64},
      {"vex216", 20, 20, "46.020, Model= Vex216v2-EX, Boot= 020, Segment=32", "46.020  BRIX3 EX-Only f886",
       true, "Vex216v2", 32},
      {"vex308", 104, 14, "58.104, Model= Vex8-SX  R6.D411.5Q43, Boot= 104, Segment=64",
       "58.014  ISA SX InverseIO 5q43", true, "Vex308", 64},
      {"vex316", 0x69, 17, "51.105, Model= Vex316-SX R5.N104.5Q43, Boot= 105, Segment=64",
       "51.017  ISA SX \"25q43\"", true, "Vex316", 64},
      {"vex316", 0x68, 16, "51.104, Model= Vex316-SX <generic>, Boot= 104, Segment=64", "51.016  <unknown>",
       false, "Vex316", 64},
      {"vex324", 101, 8, "54.101, Model= Vex324-SX R3.E723.5K22, Boot= 101, Segment=64",
       "54.008  ISA TransCfg+InvIO+Dimmer+Delay <46K22>", true, "Vex324", 64},
      {"vex924", 110, 8, "84.110, Model= Vex924-MX, Boot= 110, Segment=64", "84.008  ISA DX Mode Config",
       true, "Vex924", 64},
      {"vex932", 145, 7, "83.145, Model= Vex932-DX, Boot= 145, Segment=64", "83.007  ISA DX Mode Enabled",
       true, "Vex932", 64},
      {"vex936", 125, 20, "8A.125, Model= Vex936-EX, Boot= 125, Segment=64", "8A.020  BRIX3 Compatible", true,
       "Vex936", 64},
      {"vald3", 0x65, 10, "63.101, Model= Vald33, Boot= 101, Segment=64", "63.010  Coil Functions", true,
       "Vald3", 64},
      {"tord48", 0x65, 5, "6E.101, Model= Tord48, Boot= 101, Segment=64", "6E.005  Sekans Mode", true,
       "Tord48", 64},
      {"brix3", 1, 34, "60.001, Model= Brix3000, Boot= 001, Segment=64", "60.034  2023 Renovations", false,
       "Brix3", 64},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " " + c.bootId);
    auto s = StartTcp(emu::ModelFor(c.key, c.bootRev, c.edition));
    TPorts1 p;
    UseTcp(p, *s);
    p.Button51Click();
    EXPECT_EQ(p.BootId, c.bootId);
    std::string app = c.appId;
    if (c.crc) app += " CRC=$" + IntToHex(s->Dev().AppCrc(), 4);
    EXPECT_EQ(p.AppId, app);
    EXPECT_EQ(p.SegSiz, c.segSiz);
    EXPECT_EQ(p.BootStat, "0, Application Running");
    EXPECT_EQ(p.BotSta, 0);
    EXPECT_EQ(ModelOf(p.BotReg).page, c.page);
    const bool first = std::string(c.key) == "vex215";
    EXPECT_EQ(p.MfgDate, first ? "n/a" : InttoBase(0x2E0A3C00));
    EXPECT_EQ(p.UniqeId, "00001");
    EXPECT_EQ(p.SlvDvc, s->Dev().Cfg(14));
    EXPECT_FALSE(p.ModbusId.empty());
    EXPECT_TRUE(p.ConnectPortChecked());  // identification leaves the link open
  }
}

TEST(Identification, FirstGenerationWithoutSerialNumberShowsNa) {
  auto s = StartTcp(emu::ModelFor("vex215"));
  s->Dev().SetIdentity(0, 0, 1);
  TPorts1 p;
  UseTcp(p, *s);
  p.Button51Click();
  EXPECT_EQ(p.UniqeId, "n/a");
  EXPECT_EQ(p.MfgDate, "n/a");
  EXPECT_EQ(p.AppSof, 0);
}

TEST(Identification, UnknownBootModelStopsAfterTheBootId) {
  emu::ModelInfo m = emu::ModelFor("vex324");
  m.bootId = 0x0199;
  auto s = StartTcp(m);
  TPorts1 p;
  UseTcp(p, *s);
  p.Button51Click();
  EXPECT_EQ(p.BootId, "99.001, Unknown Model?");
  EXPECT_EQ(p.AppId, InttoTerso(s->Dev().AppId()));
  EXPECT_EQ(p.BootStat, "");
  EXPECT_EQ(p.UniqeId, "");
  EXPECT_EQ(p.MfgDate, "");
  EXPECT_EQ(p.ModbusId, "");
  EXPECT_EQ(p.SegSiz, 32);
  EXPECT_EQ(p.LogLines.back().find("Boot ID= 99.001, Unknown Model?") != std::string::npos, true)
      << p.LogLines.back();
}

// Register 2 answers another boot word than register 0; faults make its reads fail.
TEST(Identification, RegisterTwoFallsBackToRegisterZeroAfterTwoFailures) {
  const struct {
    std::vector<std::string> faults;
    uint16_t want;  // BotReg
    int reg2Requests;
  } cases[] = {
      {{}, 0x6854, 1},
      {{"exception fn=3 nth=2 code=2"}, 0x6854, 2},
      {{"exception fn=3 nth=2 code=2", "noreply fn=3 nth=3"}, 0x6554, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.faults.size());
    auto dev = emu::MakeDevice(emu::ModelFor("vex324", 101));
    RegOwner reg2(0x6854);
    dev->Own(emu::Space::Holding, 2, 1, &reg2);
    auto s = Start(std::move(dev), [] {
      ServerOptions o;
      o.tcpPort = 0;
      return o;
    }());
    for (const auto& f : c.faults) ASSERT_EQ(s->Control("fault " + f), "ok");
    TPorts1 p;
    UseTcp(p, *s);
    p.LabeledEdit34 = "200";
    p.Button51Click();
    EXPECT_EQ(p.BotReg, c.want);
    EXPECT_EQ(RequestsFor(p, 1, 2), c.reg2Requests);
    EXPECT_EQ(p.BootStat, "0, Application Running");  // the identification went on
    s->Stop();
  }
}

TEST(Identification, RegisterZeroFailureEndsTheIdentification) {
  auto s = StartTcp(emu::ModelFor("vex324"));
  ASSERT_EQ(s->Control("fault exception fn=3 nth=1 code=2"), "ok");
  TPorts1 p;
  UseTcp(p, *s);
  try {
    p.Button51Click();
    FAIL() << "identified";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Modbus Register not Present");
  }
  EXPECT_EQ(p.BootId, "");
  EXPECT_EQ(p.BotReg, 0);
}

TEST(Identification, BootStateSignRule) {
  const struct {
    uint16_t reg;
    const char* text;
    int sta;
  } cases[] = {{65535, "-1, Bootloader ready", -1},
               {65001, "-535, Undefined Result", -535},
               {65000, "65000, Undefined Result", 65000},
               {65531, "-5, Boot Programming Mode", -5}};
  for (const auto& c : cases) {
    auto dev = emu::MakeDevice(emu::ModelFor("vex324"));
    RegOwner reg15(c.reg);
    dev->Own(emu::Space::Holding, 15, 1, &reg15);
    ServerOptions o;
    o.tcpPort = 0;
    auto s = Start(std::move(dev), o);
    TPorts1 p;
    UseTcp(p, *s);
    p.SetConnectPort(true);
    p.BootState();
    EXPECT_EQ(p.BootStat, c.text);
    EXPECT_EQ(p.BotSta, c.sta);
    s->Stop();
  }
}

TEST(Identification, RtuOnSerialOffersItsNetworkAddress) {
  auto s = StartPty(emu::ModelFor("brix3"), 19200);
  uint16_t w[2];
  {
    std::lock_guard<std::mutex> lock(s->Dev().Mutex());
    ASSERT_EQ(s->Dev().ReadRegs(emu::Space::Holding, 256, 2, w), 0);
  }
  TPorts1 p;
  p.ComboBox1 = s->PtyPath();
  p.Button51Click();
  EXPECT_EQ(p.BootId, "60.001, Model= Brix3000, Boot= 001, Segment=64");
  EXPECT_EQ(p.LabeledEdit30, InttoIPform(w[0] | static_cast<uint32_t>(w[1]) << 16));
  EXPECT_EQ(p.LabeledEdit30, "127.0.0.1");  // where the simulated RTU is reachable, low word first
  EXPECT_EQ(p.LabeledEdit31, "502");
  EXPECT_EQ(p.LabeledEdit32, "1");
  EXPECT_EQ(p.LabeledEdit33, "2");
  EXPECT_EQ(p.LabeledEdit34, "3000");
  // a set address is kept
  p.SetConnectPort(false);
  p.LabeledEdit30 = "10.0.0.9";
  p.Button51Click();
  EXPECT_EQ(p.LabeledEdit30, "10.0.0.9");
}

TEST(Detection, FindsTheDeviceAt57600OnTheSecondOfThreePorts) {
  SilentPty a, c;
  auto s = StartPty(emu::ModelFor("vex324"), 57600);
  TPorts1 p;
  p.FixedPorts = {a.Path(), s->PtyPath(), c.Path()};
  int pumped = 0;
  p.ProcessMessages = [&] { ++pumped; };
  p.Button2Click();
  EXPECT_EQ(p.TargetPage, "Vex324");
  EXPECT_EQ(p.ComboBox1, s->PtyPath());
  EXPECT_EQ(p.ComboBox2, 6);  // 57600
  EXPECT_EQ(p.ComboBox3, 0);  // 8n1
  EXPECT_EQ(p.LabeledEdit1, "$ee");
  EXPECT_FALSE(p.ConnectPortChecked());  // the next operation reopens with these settings
  EXPECT_EQ(p.BootId, "54.101, Model= Vex324-SX R3.E723.5K22, Boot= 101, Segment=64");
  EXPECT_EQ(p.VexModel(), "Vex324-SX R3.E723.5K22");
  // five failed identifications before the one that found it
  EXPECT_EQ(RequestsFor(p, 0xEE, 0), 6);
  EXPECT_NE(p.Text(TConsoleText::Status).find("Target Found..."), std::string::npos);
  EXPECT_GT(pumped, 0);
}

TEST(Detection, NoDeviceAnywhere) {
  SilentPty a;
  TPorts1 p;
  p.FixedPorts = {a.Path()};
  p.LabeledEdit11 = p.LabeledEdit21 = "50";
  try {
    p.Button2Click();
    FAIL() << "found";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to find target");
  }
  EXPECT_EQ(RequestsFor(p, 0xEE, 0), 3);
  EXPECT_EQ(p.TargetPage, "");
  EXPECT_FALSE(p.ConnectPortChecked());
}

TEST(Discovery, FailsAtOnceWhenThePortCannotBeOpened) {
  TPorts1 p;
  p.ComboBox1 = "/dev/vex-no-port";
  const auto t0 = platform::Now();
  try {
    p.Button1Click();
    FAIL() << "connected";
  } catch (const Exception& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Error /dev/vex-no-port : Error accessing specified device", 0),
              0u);
  }
  EXPECT_LT(MsSince(t0), 100);
  EXPECT_TRUE(p.ComFai);
}

// A link that cannot be opened is not retried: no port, settings out of range, a refused
// connection. Retrying those for 1.5 s would only spin.
TEST(Discovery, FailsAtOnceWhenTheLinkCannotBeOpened) {
  int refused = 0;
  {
    auto s = StartTcp(emu::ModelFor("vex324"));
    refused = s->TcpPort();
    s->Stop();
  }
  SilentPty pty;
  const struct {
    TLinkPage page;
    std::string port;  // serial port or TCP port
    const char* node;
    std::string message;  // start of the message
  } cases[] = {
      {lpComm, "/dev/vex-no-port", "$EE", "Error /dev/vex-no-port : Error accessing specified device"},
      {lpComm, pty.Path(), "256", "Error " + pty.Path() + " : Node ID: Range Check"},
      {lpNetwork, "502", "0", "Node ID: Range Check, Valid Range:  [1 ~ 31]."},
      {lpNetwork, std::to_string(refused), "1", "Socket error"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.node);
    TPorts1 p;
    p.ActivePage = c.page;
    if (c.page == lpComm) {
      p.ComboBox1 = c.port;
      p.LabeledEdit1 = c.node;
    } else {
      p.LabeledEdit30 = "127.0.0.1";
      p.LabeledEdit31 = c.port;
      p.LabeledEdit32 = c.node;
    }
    const auto t0 = platform::Now();
    try {
      p.Button1Click();
      FAIL() << "connected";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
    EXPECT_LT(MsSince(t0), 200);
    EXPECT_FALSE(p.ConnectPortChecked());
    EXPECT_EQ(p.BootId, "");
  }
}

TEST(Discovery, RetriesForOneAndAHalfSeconds) {
  SilentPty a;
  TPorts1 p;
  p.ComboBox1 = a.Path();
  p.LabeledEdit11 = "100";
  const auto t0 = platform::Now();
  try {
    p.Button1Click();
    FAIL() << "identified";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "No Response");
  }
  const auto ms = MsSince(t0);
  EXPECT_GE(ms, 1500);
  EXPECT_LT(ms, 1900);
  const int tries = RequestsFor(p, 0xEE, 0);
  EXPECT_GE(tries, 12);
  EXPECT_LE(tries, 16);
}

TEST(Discovery, SucceedsOnALaterAttempt) {
  auto s = StartTcp(emu::ModelFor("vex308"));
  ASSERT_EQ(s->Control("fault noreply fn=3 nth=1"), "ok");
  TPorts1 p;
  UseTcp(p, *s);
  p.LabeledEdit34 = "100";
  p.Button1Click();
  EXPECT_EQ(RequestsFor(p, 1, 0), 2);
  EXPECT_EQ(ModelOf(p.BotReg).page, "Vex308");
}

TEST(FindApplication, WaitsForTheRestartedApplication) {
  auto dev = emu::MakeDevice(emu::ModelFor("vex324"));
  dev->SetBootWait(400);
  ServerOptions o;
  o.tcpPort = 0;
  auto s = Start(std::move(dev), o);
  TPorts1 p;
  UseTcp(p, *s);
  p.SetConnectPort(true);
  p.ModWrite(cMdaCmd, 0, true);
  p.ModWrite(cMdaCmd, xCmdEnb, true);
  p.ModWrite(cMdaCmd, xCmdRes, true);
  p.BootState();
  EXPECT_NE(p.BotSta, 0);
  p.AppWaitMs = 50;
  const auto t0 = platform::Now();
  p.Button52Click();
  EXPECT_EQ(p.BotSta, 0);
  EXPECT_GE(MsSince(t0), 250);
  EXPECT_EQ(p.BootStat, "0, Application Running");
}

TEST(FindApplication, GivesUpWhenTheApplicationNeverRuns) {
  auto dev = emu::MakeDevice(emu::ModelFor("vex324"));
  RegOwner reg15(65534);  // application checksum mismatch
  dev->Own(emu::Space::Holding, 15, 1, &reg15);
  ServerOptions o;
  o.tcpPort = 0;
  auto s = Start(std::move(dev), o);
  TPorts1 p;
  UseTcp(p, *s);
  p.SetConnectPort(true);
  p.AppWaitMs = 100;
  p.AppFindMs = 400;
  const auto t0 = platform::Now();
  try {
    p.Button52Click();
    FAIL() << "found";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to locate application");
  }
  const auto ms = MsSince(t0);
  EXPECT_GE(ms, 400);
  EXPECT_LT(ms, 900);
  EXPECT_GT(reg15.reads, 1);  // retried
  EXPECT_EQ(p.BootStat, "-2, Application Crc Mismatch");
  s->Stop();
}

TEST(FindApplication, FailsAtOnceWhenTheLinkIsClosed) {
  auto s = StartTcp(emu::ModelFor("vex324"));
  TPorts1 p;
  UseTcp(p, *s);
  p.AppWaitMs = 10;
  const auto t0 = platform::Now();
  EXPECT_THROW(p.Button52Click(), Exception);
  EXPECT_LT(MsSince(t0), 500);
}

TEST(InspectFiles, ShowsTheSlotsAndStopsAtTheFirstUnreadable) {
  auto s = StartTcp(emu::ModelFor("brix3"));
  std::vector<std::string> want;
  {
    std::lock_guard<std::mutex> lock(s->Dev().Mutex());
    for (int f = 0xF1; f <= 0xF6; ++f) {
      uint16_t w[cFilRegs];
      if (s->Dev().ReadRegs(emu::Space::Holding, static_cast<uint16_t>(f * 256), cFilRegs, w) != 0) break;
      want.push_back(FileText(FilFromWords(w)));
    }
  }
  ASSERT_FALSE(want.empty());
  TPorts1 p;
  UseTcp(p, *s);
  p.InspectFiles();  // connects through "Discovery"
  EXPECT_TRUE(p.ConnectPortChecked());
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(p.FileSlots[i], i < want.size() ? want[i] : "") << i;

  // a device without file slots leaves every line empty and raises nothing
  auto t = StartTcp(emu::ModelFor("vex324"));
  TPorts1 q;
  UseTcp(q, *t);
  q.FileSlots[2] = "old";
  q.InspectFiles();
  for (const auto& line : q.FileSlots) EXPECT_EQ(line, "");
}

}  // namespace
}  // namespace vex
