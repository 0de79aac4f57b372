// Console state of the hub (status, last error, log, link description) and the echo of the
// transactions into the console and the test groups.
#include <gtest/gtest.h>

#include <memory>

#include "comm/Ports.h"
#include "tests/comm/FakeSlave.h"

namespace vex {
namespace {

using test::Bytes;
using test::FakeSlave;
using test::Memory;
using test::Step;

struct Recorder : IConsole {
  std::vector<std::string> events;
  void TextChanged(TConsoleText t, const std::string& s) override {
    events.push_back("text" + std::to_string(static_cast<int>(t)) + "=" + s);
  }
  void LogAppended(const std::string& s) override { events.push_back("log=" + s); }
  void LogTrimmed(int n) override { events.push_back("trim=" + std::to_string(n)); }
  void LogCleared() override { events.push_back("cleared"); }
  void GroupFieldChanged(TTestGroup g, TGroupField f, const std::string& s) override {
    events.push_back("group" + std::to_string(static_cast<int>(g)) + "." +
                     std::to_string(static_cast<int>(f)) + "=" + s);
  }
};

TEST(PortsConsole, MessagesErrorsAndTheLog) {
  TPorts1 p;
  Recorder rec;
  p.SetConsole(&rec);
  p.ComboBox1 = "ttyUSB0";
  p.Error("Port gone");
  EXPECT_EQ(p.Text(TConsoleText::LastError), "Port gone");
  EXPECT_EQ(p.LogLines.back(), "Error: Port gone");
  p.Mesaj("Read Config Complete");
  EXPECT_EQ(p.Text(TConsoleText::Status), "ttyUSB0, 19200, 8n1, Id=$EE Closed, Read Config Complete");
  EXPECT_EQ(p.Text(TConsoleText::LastError), "");  // a message clears the last error
  EXPECT_EQ(p.LogLines.back(), "Read Config Complete");
  p.Error("No Response");
  EXPECT_EQ(p.ComText2(), "ttyUSB0, 19200, 8n1, Id=$EE Closed, Read Config Complete, No Response");
  p.Mesaj("");
  EXPECT_EQ(p.Text(TConsoleText::Status), "");
  EXPECT_EQ(p.Text(TConsoleText::LastError), "");
  EXPECT_EQ(p.ComText2(), "");
  const size_t lines = p.LogLines.size();
  p.Log("");
  p.Error("");
  EXPECT_EQ(p.LogLines.size(), lines);  // empty texts log nothing
  EXPECT_EQ(rec.events.front(), "text3=Port gone");
  EXPECT_EQ(rec.events[1], "log=Error: Port gone");
  p.ClearLog();
  EXPECT_TRUE(p.LogLines.empty());
  EXPECT_EQ(rec.events.back(), "cleared");
}

TEST(PortsConsole, LogIsCutBackTo500PastItsLimit) {
  TPorts1 p;
  Recorder rec;
  p.SetConsole(&rec);
  for (int i = 1; i <= 510; ++i) p.Log("line " + std::to_string(i));
  EXPECT_EQ(p.LogLines.size(), 510u);
  p.Log("line 511");
  EXPECT_EQ(p.LogLines.size(), 500u);
  EXPECT_EQ(p.LogLines.front(), "line 12");
  EXPECT_EQ(p.LogLines.back(), "line 511");
  EXPECT_EQ(rec.events.back(), "trim=11");
  for (int i = 512; i <= 1200; ++i) p.Log("line " + std::to_string(i));
  EXPECT_LE(p.LogLines.size(), 510u);
  EXPECT_EQ(p.LogLines.back(), "line 1200");
}

struct ComTextCase {
  const char* name;
  std::function<void(TPorts1&)> set;
  const char* text;
};

TEST(PortsConsole, LinkDescription) {
  const ComTextCase cases[] = {
      {"no port", [](TPorts1&) {}, "COM Closed"},
      {"port",
       [](TPorts1& p) {
         p.ComboBox1 = "/dev/ttyUSB1";
         p.ComboBox2 = 6;
         p.ComboBox3 = 4;
         p.LabeledEdit1 = "7";
       },
       "/dev/ttyUSB1, 57600, 8e2, Id=7 Closed"},
      {"network offline",
       [](TPorts1& p) {
         p.ActivePage = lpNetwork;
         p.LabeledEdit30 = "192.168.1.10";
       },
       "192.168.1.10:502, Id=1, Offline"},
      {"network without address",
       [](TPorts1& p) {
         p.ActivePage = lpNetwork;
         p.LabeledEdit31 = "";
         p.LabeledEdit32 = "";
       },
       ":, Id=, Offline"},
  };
  for (const auto& c : cases) {
    TPorts1 p;
    c.set(p);
    EXPECT_EQ(p.ComText(), c.text) << c.name;
  }
}

TEST(PortsConsole, LinkDescriptionFollowsThePortState) {
  int m = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(m, 0);
  grantpt(m);
  unlockpt(m);
  TPorts1 p;
  p.ComboBox1 = ptsname(m);
  p.Comm1.Device = p.ComboBox1;
  p.Comm1.Open();
  EXPECT_EQ(p.ComText(), p.ComboBox1 + ", 19200, 8n1, Id=$EE Open");
  p.Comm1.Close();
  ::close(m);
}

TEST(PortsConsole, SettingsStartWithTheirDefaults) {
  TPorts1 p;
  EXPECT_EQ(p.ComboBox1, "");
  EXPECT_EQ(cBaudText[p.ComboBox2], std::string("19200"));
  EXPECT_EQ(cParityText[p.ComboBox3], std::string("8n1"));
  EXPECT_EQ(p.LabeledEdit1, "$EE");
  EXPECT_EQ(p.LabeledEdit10 + "/" + p.LabeledEdit11, "10/200");
  EXPECT_EQ(p.LabeledEdit20 + "/" + p.LabeledEdit21, "5/200");
  EXPECT_EQ(p.LabeledEdit31 + "/" + p.LabeledEdit32 + "/" + p.LabeledEdit33 + "/" + p.LabeledEdit34,
            "502/1/1/2000");
  EXPECT_FALSE(p.CheckBox4);
  EXPECT_EQ(p.ActivePage, lpComm);
  // the serial tables by position
  EXPECT_EQ(cBaud[3], br9600);
  EXPECT_EQ(cBaud[7], br115200);
  EXPECT_EQ(cParity[2], paOdd);
  EXPECT_EQ(cStop[3], sb20);
  EXPECT_EQ(cData[5], da8);
}

// ---- echo of the transactions ----

class EchoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.Comm1.Device = slave.Path();
    p.Comm1.Open();
    p.ComTmo = 5;
    p.ComBln = 80;
    p.SetConsole(&rec);
    mem.regs[0x10] = 0x1234;
    mem.regs[0x11] = 0x5678;
    mem.coils[0] = mem.coils[2] = mem.coils[8] = true;
    slave.SetScript([this](const ByteStr& req) {
      ByteStr q = req.substr(0, req.size() - 2);
      if (failNext) return std::vector<Step>{{test::WithCrc(Bytes({0xEE, q[1] | 0x80, 2}))}};
      return std::vector<Step>{{test::WithCrc(mem.Answer(q))}};
    });
  }
  FakeSlave slave{FakeSlave::Kind::Serial};
  Memory mem;
  TPorts1 p;
  Recorder rec;
  bool failNext = false;
};

TEST_F(EchoTest, ShownExchangeFillsTransmitReceiveAndTheLog) {
  p.ModRead(0x10, true);
  const std::string tx = Str255toHex(test::WithCrc(Bytes({0xEE, 0x03, 0x00, 0x10, 0x00, 0x01})));
  const std::string rx = Str255toHex(test::WithCrc(Bytes({0xEE, 0x03, 0x02, 0x12, 0x34})));
  EXPECT_EQ(p.Text(TConsoleText::Transmit), tx);
  EXPECT_EQ(p.Text(TConsoleText::Receive), rx);
  ASSERT_GE(p.LogLines.size(), 2u);
  EXPECT_EQ(p.LogLines[p.LogLines.size() - 2], "Tx[8]= " + tx);
  EXPECT_EQ(p.LogLines.back(), "Rx[7]= " + rx);
  // the console was cleared before the exchange
  std::vector<std::string> texts;
  for (const auto& e : rec.events)
    if (e.rfind("text", 0) == 0) texts.push_back(e);
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "text0=");
  EXPECT_EQ(texts[1], "text1=");
  EXPECT_EQ(texts[2], "text3=");
  EXPECT_EQ(texts[3], "text0=" + tx);
  EXPECT_EQ(texts[4], "text1=" + rx);
}

TEST_F(EchoTest, QuietExchangeEchoesOnlyWithLogSimulationFlow) {
  p.ModRead(0x10, false);
  EXPECT_TRUE(p.LogLines.empty());
  EXPECT_TRUE(rec.events.empty());
  p.CheckBox4 = true;
  p.ModRead(0x10, false);
  EXPECT_EQ(p.LogLines.size(), 2u);
  EXPECT_EQ(p.Group(TTestGroup::Registers).Values, std::vector<std::string>{"0x1234"});
}

TEST_F(EchoTest, FailedExchangeStillShowsWhatWasReceived) {
  failNext = true;
  EXPECT_THROW(p.ModRead(0x10, true), Exception);
  const std::string rx = Str255toHex(test::WithCrc(Bytes({0xEE, 0x83, 0x02})));
  EXPECT_EQ(p.Text(TConsoleText::Receive), rx);
  EXPECT_EQ(p.Group(TTestGroup::Registers).Result, rx);
  EXPECT_EQ(p.Group(TTestGroup::Registers).Query, p.Text(TConsoleText::Transmit));
  EXPECT_TRUE(p.Group(TTestGroup::Registers).Values.empty());
  p.ComBln = 20;
  slave.SetScript(nullptr);
  EXPECT_THROW(p.ModRead(0x10, true), Exception);
  EXPECT_EQ(p.Text(TConsoleText::Receive), "");
  EXPECT_EQ(p.LogLines.back(), "Rx[0]= ");
}

struct GroupCase {
  const char* name;
  std::function<void(TPorts1&)> call;
  TTestGroup group;
  const char* first;
  const char* second;
  std::vector<std::string> values;
};

TEST_F(EchoTest, OperationsFillTheirTestGroup) {
  const GroupCase cases[] = {
      {"ModRead",
       [](TPorts1& p) { p.ModRead(0x10, true); },
       TTestGroup::Registers,
       "0x0010",
       "1",
       {"0x1234"}},
      {"ModReadLong",
       [](TPorts1& p) { p.ModReadLong(0x10, true); },
       TTestGroup::Registers,
       "0x0010",
       "2",
       {"0x56781234"}},
      {"ModReadMulti",
       [](TPorts1& p) {
         uint16_t v[2];
         p.ModReadMulti(0x10, 2, v, true);
       },
       TTestGroup::Registers,
       "0x0010",
       "2",
       {"0x1234 0x5678"}},
      {"ModReadCoils",
       [](TPorts1& p) {
         uint8_t v[2];
         p.ModReadCoils(0, 9, v, true);
       },
       TTestGroup::Coils,
       "0x0000",
       "9",
       {"0x05=00000101 0x01=00000001"}},
      {"ModReadInputs",
       [](TPorts1& p) {
         uint8_t v[1];
         p.ModReadInputs(0xABCD, 3, v, true);
       },
       TTestGroup::Coils,
       "0xABCD",
       "3",
       {"0x00=00000000"}},
      {"ModWriteCoil",
       [](TPorts1& p) { p.ModWriteCoil(7, true, true); },
       TTestGroup::WriteCoil,
       "0x0007",
       "255",
       {}},
      {"ModWrite",
       [](TPorts1& p) { p.ModWrite(0x20, 0xBEEF, true); },
       TTestGroup::WriteReg,
       "0x0020",
       "0xBEEF",
       {}},
      {"ModWrite2",
       [](TPorts1& p) { p.ModWrite2(0x20, 1, 2, true); },
       TTestGroup::WriteMulti,
       "0x0020",
       "2",
       {"0x0001 0x0002"}},
      {"ModWriteLong",
       [](TPorts1& p) { p.ModWriteLong(0x30, 0x56781234, true); },
       TTestGroup::WriteMulti,
       "0x0030",
       "2",
       {"0x56781234"}},
      {"ModWriteMulti",
       [](TPorts1& p) {
         const uint16_t v[3] = {1, 0x20, 0x300};
         p.ModWriteMulti(0x40, 3, v, true);
       },
       TTestGroup::WriteMulti,
       "0x0040",
       "3",
       {"0x0001 0x0020 0x0300"}},
      {"ModEcho", [](TPorts1& p) { p.ModEcho(0, 0xA55A, true); }, TTestGroup::Echo, "", "0xA55A", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    c.call(p);
    const auto& g = p.Group(c.group);
    EXPECT_EQ(g.First, c.first);
    EXPECT_EQ(g.Second, c.second);
    EXPECT_EQ(g.Values, c.values);
    EXPECT_EQ(g.Query, p.Text(TConsoleText::Transmit));
    EXPECT_EQ(g.Result, p.Text(TConsoleText::Receive));
    EXPECT_FALSE(g.Result.empty());
  }
}

TEST_F(EchoTest, ExtendedTransfersLogFramesButFillNoGroup) {
  slave.SetScript([](const ByteStr&) {
    return std::vector<Step>{{test::WithCrc(Bytes({0xEE, 0x14, 2, 1, 5}))}};
  });
  uint8_t b[1];
  p.ModReadFileRtu(1, 0, 0, b, true);
  EXPECT_EQ(p.LogLines.size(), 2u);
  for (const auto& e : rec.events) EXPECT_EQ(e.rfind("group", 0), std::string::npos) << e;
}

}  // namespace
}  // namespace vex
