// Link settings of the hub without a device: the settings file, the timing pairs, opening
// errors, the TCP connection and its events, status bar and clock texts, the 0x05 buttons.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "comm/LinkIni.h"
#include "comm/Ports.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

class LinkSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("vex_link_" + std::to_string(::getpid()) + "_" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ini_ = (dir_ / "vexsim.ini").string();
    p_.IniPath = ini_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path dir_;
  std::string ini_;
  TPorts1 p_;
};

TEST_F(LinkSettings, FirstStartWithoutFileGivesTheDefaults) {
  p_.LoadSettings();
  EXPECT_EQ(p_.ComboBox1, "");
  EXPECT_EQ(p_.ComboBox2, 4);
  EXPECT_EQ(cBaudText[p_.ComboBox2], std::string("19200"));
  EXPECT_EQ(p_.ComboBox3, 0);
  EXPECT_EQ(cParityText[p_.ComboBox3], std::string("8n1"));
  EXPECT_EQ(p_.LabeledEdit1, "$EE");
  EXPECT_FALSE(p_.HighRatePair());
  EXPECT_EQ(p_.TimeoutEdit(), "10");
  EXPECT_EQ(p_.BlindEdit(), "200");
  EXPECT_EQ(p_.LabeledEdit20, "5");
  EXPECT_EQ(p_.LabeledEdit21, "200");
  EXPECT_EQ(p_.LabeledEdit30, "");
  EXPECT_EQ(p_.LabeledEdit31, "502");
  EXPECT_EQ(p_.LabeledEdit32, "1");
  EXPECT_EQ(p_.LabeledEdit33, "1");
  EXPECT_EQ(p_.LabeledEdit34, "2000");
  EXPECT_FALSE(p_.CheckBox4);
  EXPECT_TRUE(p_.CheckBox5);   // "Fast reply detection" on
  EXPECT_FALSE(p_.CheckBox6);  // "Suppress echo" off
  EXPECT_FALSE(p_.CheckBox7);  // RTS direction off
  EXPECT_FALSE(fs::exists(ini_));
}

TEST_F(LinkSettings, RoundTripThroughTheFile) {
  std::ofstream(ini_) << "[Main]\nOther=kept\n";
  p_.ComboBox1 = "/dev/ttyUSB3";
  p_.ComboBox2Change(6);
  p_.ComboBox3 = 4;
  p_.LabeledEdit1 = "$21";
  p_.LabeledEdit10 = "12";
  p_.LabeledEdit11 = "300";
  p_.LabeledEdit20 = "7";
  p_.LabeledEdit21 = "250";
  p_.LabeledEdit30 = "192.168.1.10";
  p_.LabeledEdit31 = "1502";
  p_.LabeledEdit32 = "3";
  p_.LabeledEdit33 = "4";
  p_.LabeledEdit34 = "4000";
  p_.CheckBox4 = true;
  p_.CheckBox5 = false;
  p_.CheckBox6 = true;
  p_.CheckBox7 = true;
  const TTestGroup groups[] = {TTestGroup::WriteMulti, TTestGroup::Coils,    TTestGroup::Registers,
                               TTestGroup::WriteCoil,  TTestGroup::WriteReg, TTestGroup::Echo};
  int k = 0;
  for (auto g : groups) {
    p_.Group(g).First = "0x" + std::to_string(10 + k++);
    p_.Group(g).Second = std::to_string(k);
  }
  p_.MainRecord = "Utility, Rev 1";
  p_.SaveSettings();

  TPorts1 q;
  q.IniPath = ini_;
  q.LoadSettings();
  EXPECT_EQ(q.ComboBox1, "/dev/ttyUSB3");
  EXPECT_EQ(q.ComboBox2, 6);
  EXPECT_TRUE(q.HighRatePair());
  EXPECT_EQ(q.TimeoutEdit(), "7");
  EXPECT_EQ(q.BlindEdit(), "250");
  EXPECT_EQ(q.ComboBox3, 4);
  EXPECT_EQ(q.LabeledEdit1, "$21");
  EXPECT_EQ(q.LabeledEdit10, "12");
  EXPECT_EQ(q.LabeledEdit11, "300");
  EXPECT_EQ(q.LabeledEdit30, "192.168.1.10");
  EXPECT_EQ(q.LabeledEdit31, "1502");
  EXPECT_EQ(q.LabeledEdit32, "3");
  EXPECT_EQ(q.LabeledEdit33, "4");
  EXPECT_EQ(q.LabeledEdit34, "4000");
  EXPECT_TRUE(q.CheckBox4);
  EXPECT_FALSE(q.CheckBox5);
  EXPECT_TRUE(q.CheckBox6);
  EXPECT_TRUE(q.CheckBox7);
  for (auto g : groups) {
    EXPECT_EQ(q.Group(g).First, p_.Group(g).First);
    EXPECT_EQ(q.Group(g).Second, p_.Group(g).Second);
  }
  TIniValues main, ports;
  ASSERT_TRUE(ReadIniSection(ini_, "Main", main));
  ASSERT_TRUE(ReadIniSection(ini_, "Ports1", ports));
  EXPECT_EQ(main["Other"], "kept");
  EXPECT_EQ(ports["Main1"], "Utility, Rev 1");
  EXPECT_EQ(ports["LabeledEdit601"], p_.Group(TTestGroup::WriteReg).First);
}

TEST_F(LinkSettings, PositionsOutsideTheListsFallBackToDefaults) {
  const struct {
    const char* baud;
    const char* parity;
    int wantBaud, wantParity;
  } cases[] = {{"8", "6", 4, 0}, {"-1", "-1", 4, 0}, {"x", "", 4, 0}, {"7", "5", 7, 5}, {"0", "3", 0, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.baud);
    std::ofstream(ini_) << "[Ports1]\nComboBox2=" << c.baud << "\nComboBox3=" << c.parity << "\n";
    TPorts1 q;
    q.IniPath = ini_;
    q.LoadSettings();
    EXPECT_EQ(q.ComboBox2, c.wantBaud);
    EXPECT_EQ(q.ComboBox3, c.wantParity);
  }
}

TEST_F(LinkSettings, KeysAreReadInEitherCase) {
  std::ofstream(ini_) << "[ports1]\ncombobox1=/dev/ttyUSB1\nCOMBOBOX2=6\nlabelededit1=$21\n"
                         "LABELEDEDIT301=0x20\ncheckbox4=1\n";
  p_.LoadSettings();
  EXPECT_EQ(p_.ComboBox1, "/dev/ttyUSB1");
  EXPECT_EQ(p_.ComboBox2, 6);
  EXPECT_EQ(p_.LabeledEdit1, "$21");
  EXPECT_EQ(p_.Group(TTestGroup::Registers).First, "0x20");
  EXPECT_TRUE(p_.CheckBox4);
  // writing back updates those keys instead of adding a second copy
  p_.ComboBox2Change(3);
  p_.SaveSettings();
  TIniValues v;
  ASSERT_TRUE(ReadIniSection(ini_, "Ports1", v));
  EXPECT_EQ(v["ComboBox2"], "3");
  std::ifstream f(ini_);
  std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  size_t n = 0;
  for (size_t at = 0; (at = text.find("=", at)) != std::string::npos; ++at) ++n;
  EXPECT_EQ(n, v.size()) << text;
}

// Opening a line takes node, timeout and blind time from the pair shown for its rate.
TEST_F(LinkSettings, OpeningUsesTheTimingPairOfTheRate) {
  const int pty = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(pty, 0);
  ::grantpt(pty);
  ::unlockpt(pty);
  p_.ComboBox1 = ::ptsname(pty);
  p_.LabeledEdit1 = "$21";
  p_.LabeledEdit10 = "12";
  p_.LabeledEdit11 = "300";
  p_.LabeledEdit20 = "7";
  p_.LabeledEdit21 = "250";
  const struct {
    int rate;
    int tmo, bln;
  } cases[] = {{0, 12, 300}, {4, 12, 300}, {5, 7, 250}, {7, 7, 250}};
  for (const auto& c : cases) {
    SCOPED_TRACE(cBaudText[c.rate]);
    p_.ComboBox2Change(c.rate);
    p_.SetConnectPort(true);
    EXPECT_TRUE(p_.Comm1.Enabled());
    EXPECT_EQ(p_.Comm1.Baudrate, cBaud[c.rate]);
    EXPECT_EQ(p_.ComNod, 0x21);
    EXPECT_EQ(p_.ComTmo, c.tmo);
    EXPECT_EQ(p_.ComBln, c.bln);
    EXPECT_FALSE(p_.SettingsEnabled);
    EXPECT_FALSE(p_.ComFai);
    p_.SetConnectPort(false);
    EXPECT_FALSE(p_.Comm1.Enabled());
  }
  ::close(pty);
}

// Notes of a serial opening: a USB adapter's latency timer above 1 ms is named in the status
// line once per opening with how to lower it; RTS direction on a port that cannot do it is
// logged. A pseudo-terminal stands for the adapter, a scratch tree for sysfs.
TEST_F(LinkSettings, OpeningNotesSlowAdaptersAndMissingRtsDirection) {
  const int pty = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(pty, 0);
  ::grantpt(pty);
  ::unlockpt(pty);
  const std::string path = ::ptsname(pty);
  const std::string tty = fs::path(path).filename().string();
  p_.ComboBox1 = path;
  p_.PortRoots.sys = (dir_ / "sys").string();
  const fs::path timer = dir_ / "sys" / "bus" / "usb-serial" / "devices" / tty / "latency_timer";
  const struct {
    const char* name;
    const char* timer;  // file contents, nullptr: no such file
    bool rts;
    bool latencyNote, rtsNote;
  } cases[] = {
      {"16 ms adapter", "16\n", false, true, false},
      {"1 ms adapter", "1\n", false, false, false},
      {"not a USB adapter", nullptr, false, false, false},
      {"RTS direction asked of a terminal", nullptr, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_ / "sys");
    if (c.timer) {
      fs::create_directories(timer.parent_path());
      std::ofstream(timer) << c.timer;
    }
    p_.CheckBox7 = c.rts;
    p_.LogLines.clear();
    p_.SetConnectPort(true);
    ASSERT_TRUE(p_.Comm1.Enabled());
    const std::string note = "USB latency timer of " + tty +
                             " is 16 ms, every reply waits for it; lower it with: " + "echo 1 | sudo tee " +
                             timer.string();
    int notes = 0, rts = 0;
    for (const auto& l : p_.LogLines) {
      notes += l == note;
      rts += l == cNoRs485Msg;
    }
    EXPECT_EQ(notes, c.latencyNote ? 1 : 0);
    EXPECT_EQ(rts, c.rtsNote ? 1 : 0);
    if (c.latencyNote) {
      EXPECT_NE(p_.Text(TConsoleText::Status).find(note), std::string::npos);
    }
    p_.SetConnectPort(false);
  }
  ::close(pty);
}

TEST_F(LinkSettings, RateChoosesTheTimingPair) {
  for (int pos = 0; pos < 8; ++pos) {
    p_.ComboBox2Change(pos);
    EXPECT_EQ(p_.HighRatePair(), pos >= 5) << cBaudText[pos];
    EXPECT_EQ(&p_.TimeoutEdit(), pos >= 5 ? &p_.LabeledEdit20 : &p_.LabeledEdit10);
    EXPECT_EQ(&p_.BlindEdit(), pos >= 5 ? &p_.LabeledEdit21 : &p_.LabeledEdit11);
  }
  EXPECT_THROW(p_.ComboBox2Change(8), Exception);
  EXPECT_EQ(p_.ComboBox2, 7);
}

// Opening the serial link: every failure names the port, the box is cleared again.
TEST_F(LinkSettings, SerialOpeningFailuresAreWrapped) {
  const struct {
    const char* port;
    const char* node;
    int baud;
    const char* timeout;
    const char* blind;
    const char* device;   // Comm1.Device given to the port
    bool tried;           // the port itself was opened (ComFai stays set)
    const char* message;  // start of the message
  } cases[] = {
      {"/dev/vex-none", "$EE", 4, "10", "200", "\\\\.\\/dev/vex-none", true,
       "Error /dev/vex-none : Error accessing specified device [Error=2]"},
      {"COM12", "$EE", 4, "10", "200", "\\\\.\\COM12", true,
       "Error COM12 : Error accessing specified device"},
      {"COM9", "$EE", 4, "10", "200", "COM9", true, "Error COM9 : Error accessing specified device"},
      {"COM9", "256", 4, "10", "200", "COM9", false,
       "Error COM9 : Node ID: Range Check, Valid Range:  [0 ~ 255]."},
      {"COM9", "$EE", 4, "51", "200", "COM9", false,
       "Error COM9 : Timeout (ms): Range Check, Valid Range:  [1 ~ 50]."},
      {"COM9", "$EE", 4, "10", "501", "COM9", false,
       "Error COM9 : Blind (ms): Range Check, Valid Range:  [1 ~ 500]."},
      // at 38400 the second pair is read
      {"COM9", "$EE", 5, "10", "200", "COM9", false,
       "Error COM9 : Timeout (ms): '' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    TPorts1 q;
    q.ComboBox1 = c.port;
    q.LabeledEdit1 = c.node;
    q.ComboBox2Change(c.baud);
    q.TimeoutEdit() = c.timeout;
    q.BlindEdit() = c.blind;
    if (c.baud == 5) q.LabeledEdit20.clear();
    q.Comm1.Device = "";
    try {
      q.SetConnectPort(true);
      FAIL() << "opened";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << e.what();
    }
    EXPECT_FALSE(q.ConnectPortChecked());
    EXPECT_FALSE(q.Comm1.Enabled());
    EXPECT_TRUE(q.SettingsEnabled);
    EXPECT_EQ(q.DevNam, c.port);
    EXPECT_EQ(q.Comm1.Device, c.device);
    EXPECT_EQ(q.ComFai, c.tried);
  }
}

// A loopback listener the hub can connect to.
class Listener {
 public:
  explicit Listener(int backlog = 4) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, backlog);
    socklen_t n = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &n);
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Accept() { return ::accept(fd_, nullptr, nullptr); }
  int Port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST_F(LinkSettings, NetworkConnectsWithNormalisedAddress) {
  Listener l;
  p_.ActivePage = lpNetwork;
  p_.LabeledEdit30 = "127.000.000.001";
  p_.LabeledEdit31 = std::to_string(l.Port());
  p_.SetConnectPort(true);
  EXPECT_TRUE(p_.ConnectPortChecked());
  EXPECT_TRUE(p_.NetOpn);
  EXPECT_FALSE(p_.SettingsEnabled);
  EXPECT_EQ(p_.LabeledEdit30, "127.0.0.1");
  EXPECT_EQ(p_.DevNam, "127.0.0.1:" + std::to_string(l.Port()));
  EXPECT_EQ(p_.ComNod, 1);
  EXPECT_EQ(p_.ComTmo, 1);
  EXPECT_EQ(p_.ComBln, 2000);
  EXPECT_NE(p_.Text(TConsoleText::Status).find("Socket Connected."), std::string::npos)
      << p_.Text(TConsoleText::Status);
  p_.SetConnectPort(false);
  EXPECT_FALSE(p_.NetOpn);
  EXPECT_TRUE(p_.SettingsEnabled);
  // the status describes the closed link, never "Online"
  EXPECT_FALSE(p_.ClientSocket1.Active());
  EXPECT_EQ(p_.Text(TConsoleText::Status),
            "127.0.0.1:" + std::to_string(l.Port()) + ", Id=1, Offline, Socket Closed");
  EXPECT_EQ(p_.LogLines.back(), "Socket Closed");
}

TEST_F(LinkSettings, NetworkRangeErrorsKeepTheLinkClosed) {
  const struct {
    const char* ip;
    const char* port;
    const char* node;
    const char* timeout;
    const char* blind;
    const char* message;
  } cases[] = {
      {"127.0.0.1", "0", "1", "1", "2000", "Target Port: Range Check, Valid Range:  [1 ~ 65535]."},
      {"127.0.0.1", "502", "32", "1", "2000", "Node ID: Range Check, Valid Range:  [1 ~ 31]."},
      {"127.0.0.1", "502", "0", "1", "2000", "Node ID: Range Check, Valid Range:  [1 ~ 31]."},
      {"127.0.0.1", "502", "1", "501", "2000", "Timeout (ms): Range Check, Valid Range:  [1 ~ 500]."},
      {"127.0.0.1", "502", "1", "1", "5001", "Blind (ms): Range Check, Valid Range:  [1 ~ 5000]."},
      {"127.0.0.256", "502", "1", "1", "2000", "Target IP: '127.0.0.256' is not a valid IP address"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    TPorts1 q;
    q.ActivePage = lpNetwork;
    q.LabeledEdit30 = c.ip;
    q.LabeledEdit31 = c.port;
    q.LabeledEdit32 = c.node;
    q.LabeledEdit33 = c.timeout;
    q.LabeledEdit34 = c.blind;
    try {
      q.SetConnectPort(true);
      FAIL() << "connected";
    } catch (const Exception& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_FALSE(q.ConnectPortChecked());
    EXPECT_TRUE(q.SettingsEnabled);
  }
}

TEST_F(LinkSettings, RefusedConnectionReportsTheSocketError) {
  int port = 0;
  {
    Listener l;
    port = l.Port();
  }  // nobody listens there now
  p_.ActivePage = lpNetwork;
  p_.LabeledEdit30 = "127.0.0.1";
  p_.LabeledEdit31 = std::to_string(port);
  EXPECT_THROW(p_.SetConnectPort(true), Exception);
  EXPECT_FALSE(p_.ConnectPortChecked());
  EXPECT_FALSE(p_.NetOpn);
  EXPECT_TRUE(p_.SettingsEnabled);
  EXPECT_NE(p_.Text(TConsoleText::Status).find("Error:(Connect) " + std::to_string(ECONNREFUSED)),
            std::string::npos)
      << p_.Text(TConsoleText::Status);
}

TEST_F(LinkSettings, ConnectionThatNeverCompletesTimesOut) {
  // a listener whose queue is full lets further connections hang
  Listener l(0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int f = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(l.Port()));
    ::connect(f, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(f);
  }
  ::usleep(50000);
  p_.ActivePage = lpNetwork;
  p_.LabeledEdit30 = "127.0.0.1";
  p_.LabeledEdit31 = std::to_string(l.Port());
  p_.ConnectWaitMs = 300;
  int pumped = 0;
  p_.ProcessMessages = [&] { ++pumped; };
  const auto t0 = platform::Now();
  try {
    p_.SetConnectPort(true);
    FAIL() << "connected";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Timeout Occured");
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(platform::Now() - t0).count();
  EXPECT_GE(ms, 300);
  EXPECT_LT(ms, 1000);
  EXPECT_GT(pumped, 2);   // messages were processed while waiting
  EXPECT_LT(pumped, 40);  // but without spinning
  EXPECT_FALSE(p_.ConnectPortChecked());
  for (int f : fillers) ::close(f);
}

TEST_F(LinkSettings, DroppedConnectionClearsTheBox) {
  Listener l;
  p_.ActivePage = lpNetwork;
  p_.LabeledEdit30 = "127.0.0.1";
  p_.LabeledEdit31 = std::to_string(l.Port());
  p_.SetConnectPort(true);
  const int peer = l.Accept();
  ASSERT_GE(peer, 0);
  ::close(peer);
  for (int i = 0; i < 20 && p_.ConnectPortChecked(); ++i) p_.ClientSocket1.Poll(50);
  EXPECT_FALSE(p_.ConnectPortChecked());
  EXPECT_FALSE(p_.NetOpn);
  EXPECT_NE(p_.Text(TConsoleText::Status).find("Socket Disconnected."), std::string::npos);
}

TEST_F(LinkSettings, StatusBarIsRedWhileThereIsALastError) {
  p_.Mesaj("Ready");
  TPorts1::TStatBar s = p_.StatBar();
  EXPECT_EQ(s.Text, p_.ComText() + ", Ready");
  EXPECT_FALSE(s.Red);
  p_.Error("No Response");
  s = p_.StatBar();
  EXPECT_EQ(s.Text, p_.ComText() + ", Ready, No Response");
  EXPECT_TRUE(s.Red);
}

TEST(TimeElapsed, TextAndColourByDifference) {
  const TDateTime b = EncodeDateTime(2024, 3, 5, 10, 20, 30, 118);
  const TDateTime te = b - (3723004.0 / 86400000.0);
  const struct {
    int diffMs;
    const char* text;
    TColor color;
  } cases[] = {
      {5, "Read=05/03/24 10:20:30.123 Elapsed=01:02:03.004 Difference=00:00:00.005 [+++]",
       RGB(208, 255, 208)},
      {-5, "Read=05/03/24 10:20:30.113 Elapsed=01:02:03.004 Difference=00:00:00.005 [---]",
       RGB(208, 255, 208)},
      {50, "Read=05/03/24 10:20:30.168 Elapsed=01:02:03.004 Difference=00:00:00.050 [+++]", clBtnFace},
      {-500, "Read=05/03/24 10:20:29.618 Elapsed=01:02:03.004 Difference=00:00:00.500 [---]",
       RGB(255, 208, 208)},
  };
  for (const auto& c : cases) {
    const auto r = TPorts1::TimeElapsed(b + c.diffMs / 86400000.0, b, te);
    EXPECT_EQ(r.Text, c.text);
    EXPECT_EQ(r.Color, c.color) << c.diffMs;
  }
  // device time as milliseconds of the day and days since 2000-01-01
  const uint32_t dd = 8830;  // 2024-03-05
  const auto r = TPorts1::TimeElapsed(37230123u, dd, b, te);
  EXPECT_EQ(r.Text, cases[0].text);
}

TEST(OutputGroup, BitButtonsAndRegisterHint) {
  TPorts1 p;
  auto& g = p.Group(TTestGroup::WriteCoil);
  const struct {
    const char* address;  // "Output Address:" before the click
    const char* reg;      // "Register:"
    int button;
    const char* wantAddr;  // after
    const char* wantHint;
    int wantDefault;
  } cases[] = {
      {"", "", 3, "0x0003", "0x000", 3},        {"0x0123", "", 15, "0x012F", "0x012", 15},
      {"0x0123", "2", 0, "0x0020", "0x002", 0}, {"0x0123", "$FFF", 7, "0xFFF7", "0xFFF", 7},
      {"junk", "", 1, "0x0001", "0x000", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.wantAddr);
    g.First = c.address;
    p.Register05 = c.reg;
    p.Button05Click(c.button);
    EXPECT_EQ(g.First, c.wantAddr);
    EXPECT_EQ(p.Register05Hint, c.wantHint);
    EXPECT_EQ(p.Default05, c.wantDefault);
  }
  g.First = "0x0123";
  p.Register05 = "4096";
  EXPECT_THROW(p.Button05Click(1), Exception);
  EXPECT_EQ(g.First, "0x0123");
  g.First = "nonsense";
  p.OutputAddressChange();
  EXPECT_EQ(p.Register05Hint, "");
  EXPECT_EQ(p.Default05, -1);
}

TEST(PortList, EmptyDiscoveryFallsBackAndFails) {
  TPorts1 p;
  const fs::path none = fs::temp_directory_path() / "vex-no-such-root";
  p.PortRoots = {(none / "dev").string(), (none / "sys").string()};
  try {
    p.ComboBox1DropDown();
    FAIL() << "found ports";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Unable to detect suitable COM ports, Try Manually");
  }
  ASSERT_EQ(p.PortItems.size(), 16u);
  EXPECT_EQ(p.PortItems[0], (none / "dev" / "ttyS0").string());
  EXPECT_NE(p.LogLines.front().find("Searcing COM ports"), std::string::npos);
  p.FixedPorts = {"/dev/pts/7", "/dev/pts/9"};
  p.ComboBox1DropDown();
  EXPECT_EQ(p.PortItems, p.FixedPorts);
}

}  // namespace
}  // namespace vex
