// The program's own Modbus master (the communication hub) against the simulated devices,
// over TCP and over the pseudo-terminal.
#include <gtest/gtest.h>

#include "comm/Ports.h"
#include "emu/Rtu.h"
#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

enum class Via { Tcp, Serial };
void PrintTo(Via v, std::ostream* os) { *os << (v == Via::Tcp ? "Tcp" : "Serial"); }

struct Link {
  std::unique_ptr<EmuServer> emu;
  std::unique_ptr<TPorts1> hub = std::make_unique<TPorts1>();
};

Link Connect(const std::string& model, Via via, std::vector<std::string> faults = {}, int bootRev = -1) {
  Link l;
  ServerOptions o;
  o.faults = std::move(faults);
  if (via == Via::Tcp) {
    o.tcpPort = 0;
  } else {
    o.serial = true;
    o.baud = 57600;
  }
  l.emu = StartEmu(model, o, -1, bootRev);
  TPorts1& p = *l.hub;
  if (via == Via::Tcp) {
    p.ActivePage = lpNetwork;
    p.LabeledEdit30 = "127.0.0.1";
    p.LabeledEdit31 = std::to_string(l.emu->TcpPort());
    p.LabeledEdit32 = "1";
    p.LabeledEdit33 = "5";
    p.LabeledEdit34 = "300";
  } else {
    p.ActivePage = lpComm;
    p.ComboBox1 = l.emu->PtyPath();
    p.ComboBox2Change(6);  // 57600
    p.LabeledEdit20 = "5";
    p.LabeledEdit21 = "200";
  }
  p.SetConnectPort(true);
  return l;
}

std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no error)";
}

class HubTest : public ::testing::TestWithParam<Via> {};

TEST_P(HubTest, ConfigurationEditStoreRestartThroughTheHub) {
  Link l = Connect("vex324", GetParam());
  TPorts1& p = *l.hub;
  uint16_t id[16];
  p.ModReadMulti(0, 16, id, true);
  EXPECT_EQ(id[2], 0x6654);
  EXPECT_EQ(p.ModReadLong(11, true), 0x2E0A3C00u);
  // "Write Config": 0, $1234, slave ID, detection and clearance times
  p.ModWrite(15, 0, true);
  p.ModWrite(15, 0x1234, true);
  p.ModWrite(14, 9, true);
  const uint16_t tmo[2] = {40, 60};
  p.ModWriteMulti(16, 2, tmo, true);
  EXPECT_EQ(p.ModRead(51, true) & 7, 4);  // Edited
  // the 160-byte sequence record in requests of 26, 26 and 28 registers
  uint16_t seq[80], back[80] = {};
  for (int i = 0; i < 80; ++i) seq[i] = static_cast<uint16_t>(i * 0x0101 ^ 0x5A5A);
  p.ModWriteMulti(128, 26, seq, true);
  p.ModWriteMulti(128 + 26, 26, seq + 26, true);
  p.ModWriteMulti(128 + 52, 28, seq + 52, true);
  // "Set Eeprom", then "Restart"
  for (uint16_t w : {0, 0x1234, 0x8888}) p.ModWrite(15, w, true);
  EXPECT_EQ(p.ModRead(51, true) & 7, 2);  // Saved
  for (uint16_t w : {0, 0x1234, 0x9999}) p.ModWrite(15, w, true);
  EXPECT_EQ(p.ModRead(15, true), 0xFFFF);  // bootloader ready during the boot window
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_EQ(p.ModRead(15, true), 0);
  EXPECT_EQ(p.ModRead(51, true) & 7, 1);  // Good
  EXPECT_EQ(p.ModRead(14, true), 9);
  uint16_t t2[2];
  p.ModReadMulti(16, 2, t2, true);
  EXPECT_EQ(t2[0], 40);
  EXPECT_EQ(t2[1], 60);
  p.ModReadMulti(128, 26, back, true);
  p.ModReadMulti(128 + 26, 26, back + 26, true);
  p.ModReadMulti(128 + 52, 28, back + 52, true);
  EXPECT_TRUE(std::equal(seq, seq + 80, back));
  EXPECT_EQ(p.ModEcho(0, 0xA55A, true), 0xA55A);
}

// An application image of `top` segments with its header and CRC.
std::vector<uint8_t> Image(int seg, int top, uint16_t ver, bool spoil) {
  std::vector<uint8_t> img(static_cast<size_t>(seg) * top, 0x3F);
  for (size_t i = 8; i < img.size(); ++i) img[i] = static_cast<uint8_t>(i * 29 + 1);
  img[4] = static_cast<uint8_t>(top), img[5] = 0;
  img[6] = static_cast<uint8_t>(ver & 0xFF), img[7] = static_cast<uint8_t>(ver >> 8);
  const uint16_t crc = CrcofBin(img.data() + 4, img.size() - 4, 0xFFFF);
  img[0] = static_cast<uint8_t>(crc & 0xFF), img[1] = 0, img[2] = static_cast<uint8_t>(crc >> 8), img[3] = 0;
  if (spoil) img[img.size() / 2] ^= 0x80;
  return img;
}

struct UploadCase {
  const char* model;
  int bootRev;
  int seg;
  bool spoil;
  int16_t endState;
};
const UploadCase kUploads[] = {
    {"vex324", -1, 64, false, 0},
    {"vex308", 20, 32, false, 0},
    {"vex324", -1, 64, true, -2},
    {"vex216", 20, 32, true, -2},
};

TEST_P(HubTest, BootloaderUploadWithBlockWrites) {
  for (const UploadCase& c : kUploads) {
    SCOPED_TRACE(std::string(c.model) + " seg " + std::to_string(c.seg) + (c.spoil ? " spoiled" : ""));
    Link l = Connect(c.model, GetParam(), {}, c.bootRev);
    TPorts1& p = *l.hub;
    ASSERT_EQ(l.emu->Dev().Info().segSize, c.seg);
    const uint16_t ver = static_cast<uint16_t>(0x0700 | l.emu->Dev().Info().Fid());
    const auto img = Image(c.seg, 12, ver, c.spoil);
    p.ModWrite(15, 0x1234, true);
    p.ModWrite(15, 0x9999, true);
    EXPECT_EQ(static_cast<int16_t>(p.ModRead(15, true)), -1);
    p.ModWrite(15, 0xFFF2, true);
    EXPECT_EQ(static_cast<int16_t>(p.ModRead(15, true)), -5);
    const uint16_t words = static_cast<uint16_t>(c.seg / 2);
    for (size_t q = 0; q < img.size(); q += c.seg)
      p.ModWriteBooter(static_cast<uint16_t>(0xF0 - words), words, img.data() + q,
                       static_cast<uint16_t>(q / c.seg), false);
    p.ModWrite(15, 0xFFF3, true);
    // a passed boot test reads "Restart Boot Test" until the application has come up
    int16_t st = 0;
    const int64_t end = Ms() + 2000;
    do st = static_cast<int16_t>(p.ModRead(15, true));
    while (st == -13 && Ms() < end);
    EXPECT_EQ(st, c.endState);
    EXPECT_EQ(p.ModRead(1, true), c.endState == 0 ? ver : 0);
  }
}

TEST_P(HubTest, RtuFileUploadAndDownloadRoundTrip) {
  Link l = Connect("brix3", GetParam());
  {
    std::lock_guard<std::mutex> lock(l.emu->Dev().Mutex());
    static_cast<Rtu3Device&>(l.emu->Dev()).SetTimings(30, 60);
  }
  TPorts1& p = *l.hub;
  ByteStr file(700, '\0');  // a configuration file (no header): taken after the pause
  for (size_t i = 0; i < file.size(); ++i) file[i] = static_cast<char>(i * 13);
  for (size_t n = 0; n < file.size(); n += 64) {
    const auto c = static_cast<uint8_t>(std::min<size_t>(64, file.size() - n));
    EXPECT_EQ(p.ModWriteFileRtu(0xB2, static_cast<uint32_t>(n), c,
                                reinterpret_cast<const uint8_t*>(file.data() + n), false),
              c);
    EXPECT_EQ(p.ModReadLong(0xB22, false), n + c);  // Siz grows with the upload
  }
  uint16_t st[14] = {};
  const int64_t end = Ms() + 2000;
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    p.ModReadMulti(0xB20, 14, st, false);
  } while ((st[10] | st[11]) != 0 && Ms() < end);
  ASSERT_EQ(st[10] | st[11], 0);  // Ban
  EXPECT_EQ(p.ModReadLong(0xF22, true), file.size());
  std::string got(file.size(), '\0');
  for (size_t n = 0; n < file.size(); n += 64) {
    const auto c = static_cast<uint8_t>(std::min<size_t>(64, file.size() - n));
    EXPECT_EQ(
        p.ModReadFileRtu(0xF2, static_cast<uint32_t>(n), c, reinterpret_cast<uint8_t*>(got.data() + n), true),
        c);
  }
  EXPECT_EQ(got, file);
  uint8_t b[4];
  EXPECT_EQ(MessageOf([&] { p.ModReadFileRtu(0xF2, 698, 4, b, true); }), "Modbus Register not Present");
}

// What a production run sends a new board after its firmware, in its order: the factory
// registers after 0 and $1234, the configuration, "Set Eeprom", find-application,
// "Restart", find-application (with the device's own boot window), and the identification
// that reads the production number and date back. Each table row is one board.
struct ProductionCase {
  const char* model;
  int edition;
  uint16_t cfgFirst, cfgCount;  // configuration registers written after the slave ID
  uint16_t stateReg;
  uint16_t number;  // production number written to register 13
  int bootWaitMs;   // the device's boot window after a restart
  int appWaitMs;    // how long find-application waits before its first look
};
const ProductionCase kProduction[] = {
    {"vex324", 5, 16, 2, 51, 12, 1500, 2000},  // vexemu's and the program's own timing
    {"vex308", 14, 18, 2, 35, 64999, 100, 300},
    {"vald3", -1, 18, 6, 51, 7, 100, 300},
};

TEST_P(HubTest, ProductionRunNumbersAndDatesANewBoard) {
  for (const ProductionCase& c : kProduction) {
    SCOPED_TRACE(c.model);
    ServerOptions o;
    if (GetParam() == Via::Tcp) {
      o.tcpPort = 0;
    } else {
      o.serial = true;
      o.baud = 57600;
    }
    Link l;
    l.emu = StartEmu(c.model, o, c.edition);
    {
      std::lock_guard<std::mutex> lock(l.emu->Dev().Mutex());
      l.emu->Dev().SetBootWait(c.bootWaitMs);
      l.emu->Dev().SetIdentity(0, 0, 0);  // a new board: no production number, no date
    }
    TPorts1& p = *l.hub;
    p.AppWaitMs = c.appWaitMs;
    if (GetParam() == Via::Tcp) {
      p.ActivePage = lpNetwork;
      p.LabeledEdit30 = "127.0.0.1";
      p.LabeledEdit31 = std::to_string(l.emu->TcpPort());
      p.LabeledEdit33 = "5";
      p.LabeledEdit34 = "300";
    } else {
      p.ActivePage = lpComm;
      p.ComboBox1 = l.emu->PtyPath();
      p.ComboBox2Change(6);  // 57600
    }
    p.Button1Click();  // "Discovery"
    ASSERT_EQ(p.UniqeId, "00000");
    ASSERT_EQ(p.ModReadLong(11, true), 0u);
    const uint32_t date = DateTimetoBase(NowLocal());
    p.ModWrite(15, 0, true);
    p.ModWrite(15, 0x1234, true);
    p.ModWriteLong(11, date, true);
    p.ModWrite(13, c.number, true);
    // "Write Config", "Set Eeprom"
    p.ModWrite(15, 0, true);
    p.ModWrite(15, 0x1234, true);
    p.ModWrite(14, 1, true);
    std::vector<uint16_t> cfg(c.cfgCount, 0);
    p.ModReadMulti(c.cfgFirst, c.cfgCount, cfg.data(), true);
    cfg[0] = 25;
    p.ModWriteMulti(c.cfgFirst, c.cfgCount, cfg.data(), true);
    EXPECT_EQ(p.ModRead(c.stateReg, true) & 7, 4);  // Edited
    for (uint16_t w : {0, 0x1234, 0x8888}) p.ModWrite(15, w, true);
    EXPECT_EQ(p.ModRead(15, true), 0) << "storing keeps the application running";
    for (uint16_t w : {0, 0x1234, 0x9999}) p.ModWrite(15, w, true);
    EXPECT_NE(p.ModRead(15, true), 0) << "restarting through the bootloader";
    p.Button52Click();  // fails with "Unable to locate application" when the board stays away
    p.Button1Click();
    EXPECT_EQ(p.UniqeId, InttoZero(c.number, 5));
    EXPECT_EQ(p.MfgDate, InttoBase(date));
    EXPECT_EQ(p.SlvDvc, 1);
    EXPECT_EQ(p.ModRead(c.cfgFirst, true), 25) << "stored before the restart";
    EXPECT_EQ(p.ModRead(c.stateReg, true) & 7, 1);  // Good
  }
}

INSTANTIATE_TEST_SUITE_P(Transports, HubTest, ::testing::Values(Via::Tcp, Via::Serial),
                         ::testing::PrintToStringParamName());

struct HubFault {
  const char* fault;
  Via via;
  const char* message;
};
const HubFault kHubFaults[] = {
    {"noreply fn=3", Via::Serial, "No Response"},
    {"noreply fn=3", Via::Tcp, "No Response"},
    {"delay ms=400 fn=3", Via::Serial, "No Response"},
    {"badcrc fn=3", Via::Serial, "Result CRC mismatch"},
    {"exception code=2 fn=3", Via::Serial, "Modbus Register not Present"},
    {"exception code=2 fn=3", Via::Tcp, "Modbus Register not Present"},
    {"exception code=4 fn=3", Via::Tcp, "Modbus Device Busy"},
    {"exception code=5 fn=3", Via::Serial, "Modbus, Unknown Error=$05"},
    {"split ms=60 at=3 fn=3", Via::Serial, "Result too short"},
    {"garbage bytes=2 fn=3", Via::Tcp, "Packetsize mismatch"},
};

TEST(HubFaults, InjectedFaultsReachTheHubAsItsMessages) {
  for (const HubFault& c : kHubFaults) {
    SCOPED_TRACE(std::string(c.fault) + (c.via == Via::Tcp ? " tcp" : " serial"));
    Link l = Connect("vex932", c.via, {c.fault});
    TPorts1& p = *l.hub;
    EXPECT_EQ(MessageOf([&] { p.ModRead(2, true); }), c.message);
    // late bytes of a delayed or split reply arrive before the line is cleared
    if (c.via == Via::Serial)
      std::this_thread::sleep_for(std::chrono::milliseconds(c.fault[0] == 'd' ? 300 : 100));
    l.emu->Control("faults clear");
    if (c.via == Via::Serial) l.hub->Comm1.PurgeIn();
    EXPECT_EQ(p.ModRead(0, true), 0x6E83);  // the link works again once the fault is gone
  }
}

}  // namespace
}  // namespace vex::emu::test
