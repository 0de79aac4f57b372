// The rack RTU: file uploads into the back slots, completion into the file slots,
// downloads, erase commands, and its monitor registers.
#include <gtest/gtest.h>

#include "emu/Rtu.h"
#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

void Le32(ByteStr& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}
void Le16(ByteStr& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}

// An RTU file: 64-byte header, payload, trailer (payload length, checksum).
ByteStr RtuFile(size_t payload, uint16_t ver, bool spoilSum = false) {
  ByteStr body(payload, '\0');
  for (size_t i = 0; i < payload; ++i) body[i] = static_cast<char>((i * 7 + 3) & 0xFF);
  uint32_t sum = 0xFFFFFFFFu;
  for (size_t i = 0; i < payload; i += 4) {
    uint32_t w = 0;
    for (size_t k = 0; k < 4 && i + k < payload; ++k)
      w |= static_cast<uint32_t>(static_cast<uint8_t>(body[i + k])) << (8 * k);
    sum -= w;
  }
  ByteStr f(64, '\0');
  const std::string idf = "BRIX3 Aplic File       TEST";
  f[0] = 39;
  std::copy(idf.begin(), idf.end(), f.begin() + 1);
  Le32(f, 40, 800000000);
  Le32(f, 44, static_cast<uint32_t>(payload + 8));
  Le32(f, 48, spoilSum ? sum + 1 : sum);
  Le16(f, 52, ver);
  Le16(f, 54, 64);
  Le16(f, 60, 16);
  Le16(f, 62, CrcofBin(f.data(), 62, 0xFFFF));
  ByteStr t(8, '\0');
  Le32(t, 0, static_cast<uint32_t>(payload));
  Le32(t, 4, sum);
  return f + body + t;
}

ByteStr WriteFileReq(uint8_t fn, uint32_t a, const ByteStr& data) {
  return B({0x15, static_cast<int>(data.size() + 6), 0x05, fn, static_cast<int>(a >> 16 & 0xFF),
            static_cast<int>(a >> 8 & 0xFF), static_cast<int>(a & 0xFF), static_cast<int>(data.size())}) +
         data;
}
ByteStr ReadFileReq(uint8_t fn, uint32_t a, uint8_t c) {
  return B({0x14, 0x06, 0x05, fn, static_cast<int>(a >> 16 & 0xFF), static_cast<int>(a >> 8 & 0xFF),
            static_cast<int>(a & 0xFF), c});
}

class RtuFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dev = MakeDevice(ModelFor("brix3"));
    rtu = static_cast<Rtu3Device*>(dev.get());
    rtu->SetTimings(40, 80);
    m = std::make_unique<DirectMaster>(*dev);
  }
  uint32_t Long(uint16_t a) {
    return m->Reg(a) | static_cast<uint32_t>(m->Reg(static_cast<uint16_t>(a + 1))) << 16;
  }
  void Upload(uint8_t fn, const ByteStr& file) {
    for (size_t n = 0; n < file.size(); n += 64) {
      const ByteStr r = m->Pdu(WriteFileReq(fn, static_cast<uint32_t>(n), file.substr(n, 64)));
      ASSERT_EQ(r.substr(0, 3), B({0x15, 0x06, 0x05})) << "block at " << n;
      EXPECT_EQ(Long(static_cast<uint16_t>(fn * 16 + 2)), std::min(file.size(), n + 64));  // Siz grows
    }
  }
  // Polls the slot's Ban until it reads 0 (the file manager's completion wait).
  bool WaitBan(uint16_t block, int ms = 2000) {
    const int64_t end = Ms() + ms;
    while (Ms() < end) {
      if (Long(static_cast<uint16_t>(block + 10)) == 0) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
  ByteStr Download(uint8_t fn, size_t size) {
    ByteStr got;
    for (size_t n = 0; n < size; n += 64) {
      const auto c = static_cast<uint8_t>(std::min<size_t>(64, size - n));
      const ByteStr r = m->Pdu(ReadFileReq(fn, static_cast<uint32_t>(n), c));
      if (r.size() != 4u + c || r[0] != 0x14 || r[1] != c + 2 || r[2] != c + 1 || r[3] != 5) return {};
      got += r.substr(4);
    }
    return got;
  }
  std::unique_ptr<Device> dev;
  Rtu3Device* rtu = nullptr;
  std::unique_ptr<DirectMaster> m;
};

TEST(EmuRtuChecksum, CalcFileSubtractsLittleEndianWords) {
  const uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(CalcFile(one, 4), 0xFFFFFFFEu);
  const uint8_t odd[5] = {0, 0, 0, 0, 2};  // the last word is zero-padded
  EXPECT_EQ(CalcFile(odd, 5), 0xFFFFFFFDu);
  EXPECT_EQ(CalcFile(nullptr, 0), 0xFFFFFFFFu);
}

struct UploadCase {
  const char* what;
  uint8_t fn;
  size_t payload;
};
const UploadCase kUploads[] = {
    {"application, 1000-byte file in 16 blocks", 0xB1, 1000 - 72},
    {"module package", 0xB3, 4096},
    {"one block", 0xB2, 24},
};

TEST_F(RtuFixture, UploadBecomesTheFileAndDownloadsUnchanged) {
  for (const UploadCase& c : kUploads) {
    SCOPED_TRACE(c.what);
    const ByteStr file = RtuFile(c.payload, 0x6122);
    const uint16_t back = static_cast<uint16_t>(c.fn * 16), front = static_cast<uint16_t>((c.fn + 0x40) * 16);
    Upload(c.fn, file);
    EXPECT_NE(Long(static_cast<uint16_t>(back + 10)), 0u);  // Ban: the device works on it
    ASSERT_TRUE(WaitBan(back));
    EXPECT_EQ(m->Reg(static_cast<uint16_t>(back + 9)), 0);  // Sta
    EXPECT_EQ(Long(front + 2), file.size());
    EXPECT_EQ(m->Reg(static_cast<uint16_t>(front + 8)), 0x6122);
    EXPECT_EQ(Long(static_cast<uint16_t>(front + 6)), Long(static_cast<uint16_t>(front + 12)));  // Sum = Calc
    EXPECT_EQ(Long(front), Rtu3Device::kSpace);
    EXPECT_EQ(Long(static_cast<uint16_t>(front + 4)), 800000000u);  // Age from the header
    EXPECT_EQ(Download(static_cast<uint8_t>(c.fn + 0x40), file.size()), file);
    EXPECT_EQ(Download(c.fn, file.size()), file);  // the back copy stays
  }
}

TEST_F(RtuFixture, FileWithBadChecksumDoesNotReplaceTheFile) {
  Upload(0xB1, RtuFile(256, 0x6101));
  ASSERT_TRUE(WaitBan(0xB10));
  Upload(0xB1, RtuFile(512, 0x6102, true));
  ASSERT_TRUE(WaitBan(0xB10));
  EXPECT_EQ(m->Reg(0xB19), 73);      // "file checksum"
  EXPECT_EQ(m->Reg(0xF18), 0x6101);  // the previous application stays
  EXPECT_EQ(Long(0xF12), 256u + 72);
}

TEST_F(RtuFixture, FileWithoutHeaderIsTakenAfterThePauseAndCutFilesAreRefused) {
  const ByteStr cfg(300, 'c');
  Upload(0xB2, cfg);
  ASSERT_TRUE(WaitBan(0xB20));
  EXPECT_EQ(Download(0xF2, cfg.size()), cfg);
  // An application cut short (user break) fails with "file termination".
  const ByteStr app = RtuFile(1000, 0x6103);
  Upload(0xB1, app.substr(0, 640));
  ASSERT_TRUE(WaitBan(0xB10));
  EXPECT_EQ(m->Reg(0xB19), 77);
  EXPECT_EQ(Long(0xF12), 0u);
}

TEST_F(RtuFixture, ResumedUploadContinuesFromTheReportedSize) {
  const ByteStr file = RtuFile(600, 0x6104);
  for (size_t n = 0; n < 320; n += 64)
    ASSERT_EQ(m->Pdu(WriteFileReq(0xB1, static_cast<uint32_t>(n), file.substr(n, 64)))[0], 0x15);
  // a block past the received size leaves a gap and is refused
  EXPECT_EQ(m->Pdu(WriteFileReq(0xB1, 384, file.substr(384, 64))), B({0x95, exValue}));
  const uint32_t siz = Long(0xB12);
  ASSERT_EQ(siz, 320u);
  for (size_t n = siz; n < file.size(); n += 64)
    m->Pdu(WriteFileReq(0xB1, static_cast<uint32_t>(n), file.substr(n, 64)));
  ASSERT_TRUE(WaitBan(0xB10));
  EXPECT_EQ(Download(0xF1, file.size()), file);
}

// The master's blocks may pause longer than the device waits for a file without a header
// (a loaded line, retries): the device then takes what it has, and a block that carries on
// at the received size opens the file again instead of failing the upload.
TEST_F(RtuFixture, UploadPausedPastTheIdleTimeCarriesOn) {
  const ByteStr cfg(500, 'k');
  Upload(0xB2, cfg.substr(0, 256));
  ASSERT_TRUE(WaitBan(0xB20));
  EXPECT_EQ(Long(0xF22), 256u) << "taken after the pause";
  for (size_t n = 256; n < cfg.size(); n += 64)
    ASSERT_EQ(m->Pdu(WriteFileReq(0xB2, static_cast<uint32_t>(n), cfg.substr(n, 64)))[0], 0x15) << n;
  EXPECT_NE(Long(0xB2A), 0u) << "Ban: busy again";
  ASSERT_TRUE(WaitBan(0xB20));
  EXPECT_EQ(Download(0xF2, cfg.size()), cfg);
  // a block that does not continue the taken file is still refused
  EXPECT_EQ(m->Pdu(WriteFileReq(0xB2, 64, cfg.substr(64, 64))), B({0x95, exFailure}));
}

TEST_F(RtuFixture, BadFileRequestsGetExceptions) {
  EXPECT_EQ(m->Pdu(WriteFileReq(0xF1, 0, "abc")), B({0x95, exAddress}));  // uploads go to B slots
  EXPECT_EQ(m->Pdu(WriteFileReq(0xA1, 0, "abc")), B({0x95, exAddress}));
  EXPECT_EQ(m->Pdu(ReadFileReq(0xF1, 0, 4)), B({0x94, exAddress}));  // nothing there yet
  EXPECT_EQ(m->Pdu(ReadFileReq(0xF1, 0, 245)), B({0x94, exValue}));
  ByteStr bad = WriteFileReq(0xB1, 0, "abcd");
  bad[1] = 9;  // byte count disagrees with c
  EXPECT_EQ(m->Pdu(bad), B({0x95, exValue}));
}

struct EraseCase {
  uint16_t cmd;
  uint16_t status;  // FilErs afterwards
  std::vector<uint8_t> gone, kept;
};

TEST_F(RtuFixture, EraseCommandsClearTheirSlots) {
  const EraseCase cases[] = {
      {0xEAF1, 133, {0xF1, 0xB1}, {0xF2, 0xF3}}, {0xEAF2, 134, {0xF2}, {0xF1, 0xF3}},
      {0xEAF3, 135, {0xF3}, {0xF1, 0xF2}},       {0xEAE0, 132, {0xF1, 0xF2, 0xF3}, {}},
      {0xEAEF, 131, {0xF1, 0xF2, 0xF3}, {}},     {0xEBB0, 136, {}, {0xF1, 0xF2, 0xF3}},
  };
  for (const EraseCase& c : cases) {
    SCOPED_TRACE(c.cmd);
    SetUp();
    for (uint8_t k = 1; k <= 3; ++k) Upload(static_cast<uint8_t>(0xB0 + k), RtuFile(64, 0x6100));
    for (uint16_t b : {0xB10, 0xB20, 0xB30}) ASSERT_TRUE(WaitBan(b));
    ASSERT_EQ(m->Write(0x310, {c.cmd}), 0);
    EXPECT_EQ(m->Reg(0x310), c.status);
    EXPECT_TRUE(WaitBan(0xB10));
    for (uint8_t fn : c.gone) EXPECT_EQ(Long(static_cast<uint16_t>(fn * 16 + 2)), 0u) << int(fn);
    for (uint8_t fn : c.kept) EXPECT_EQ(Long(static_cast<uint16_t>(fn * 16 + 2)), 64u + 72) << int(fn);
  }
  EXPECT_EQ(m->Write(0x310, {0x1234}), exValue);
}

TEST_F(RtuFixture, InspectFileSlotsDescribeTheFiles) {
  const ByteStr file = RtuFile(200, 0x6105);
  Upload(0xB1, file);
  ASSERT_TRUE(WaitBan(0xB10));
  int ex = -1;
  const auto slot = m->Read(0xF100, 6, &ex);
  ASSERT_EQ(ex, 0);
  EXPECT_EQ(slot[0], 0x6105);                                       // Mdl
  EXPECT_EQ(slot[1], file.size());                                  // Siz
  EXPECT_EQ(slot[2], CrcofStr(file));                               // Crc
  EXPECT_EQ(slot[3], 0);                                            // Sta
  EXPECT_EQ(slot[4], (file.size() + 63) / 64);                      // Rom: blocks
  EXPECT_EQ(m->Read(0xF600, 6, &ex), std::vector<uint16_t>(6, 0));  // empty slot 6
}

TEST_F(RtuFixture, MonitorRegistersAndCommands) {
  int ex = -1;
  const auto net = m->Read(256, 13, &ex);
  ASSERT_EQ(ex, 0);
  // reachable on this machine only; a server tells the device its listening address
  EXPECT_EQ(InttoIPform(net[0] | static_cast<uint32_t>(net[1]) << 16), "127.0.0.1");
  EXPECT_EQ(InttoIPform(net[4] | static_cast<uint32_t>(net[5]) << 16), "255.0.0.0");
  EXPECT_EQ(InttoMacform(net[10]) + ":" + InttoMacform(net[11]) + ":" + InttoMacform(net[12]),
            "02:00:A3:12:34:56");
  EXPECT_EQ(m->Read(0xD00, 15, &ex).back(), 153);  // "running"
  // socket 1 in use, socket 11 at 1184 unused; the gap between sockets is no register
  EXPECT_EQ(m->Read(1024, 12, &ex)[1], 101);
  EXPECT_EQ(m->Read(1184, 12, &ex)[1], 0);
  m->Read(1036, 1, &ex);
  EXPECT_EQ(ex, exAddress);
  // "SetTime by PC": seconds of the day (low, high) and days since 2000
  ASSERT_EQ(m->Write(0x220, {static_cast<uint16_t>(45296), 0, 9500}), 0);  // 12:34:56
  const auto tim = m->Read(512, 16, &ex);
  ASSERT_EQ(ex, 0);
  EXPECT_EQ(tim[2], 9500);
  EXPECT_EQ(InttoTick(tim[0] | static_cast<uint32_t>(tim[1]) << 16).substr(0, 8), "12:34:56");
  EXPECT_EQ(tim[6], 9500);  // RTC date
  // system commands report their state
  const std::pair<uint16_t, uint16_t> cmds[] = {{0xC011, 164}, {0xC022, 151}, {0xC033, 156}};
  for (auto [cmd, st] : cmds) {
    ASSERT_EQ(m->Write(0x311, {cmd}), 0);
    EXPECT_EQ(m->Reg(0x311), st);
  }
  EXPECT_EQ(m->Write(0x311, {0x1111}), exValue);
  // test outputs hold for the written milliseconds
  ASSERT_EQ(m->Write(790, {30}), 0);
  EXPECT_EQ(m->Reg(790), 30);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(m->Reg(790), 0);
}

// Control commands set every word the monitor shows, so each state text can be reached.
struct ControlCase {
  const char* command;
  uint16_t reg;
  uint16_t want;
};

TEST_F(RtuFixture, ControlCommandsSetTheMonitorWords) {
  const ControlCase cases[] = {
      {"errors CfgErr=60", 0xD08, 60},
      {"errors wdterr=162 WdtCnt=3", 0xD0B, 3},
      {"errors RegIni=1 SfmErr=52", 0xD06, 52},
      {"system 151", 0xD0E, 151},
      {"irig 16", 512 + 15, 16},
      {"socket 11 state=108 trn=4660", 1184 + 2, 4660},
      {"socket 11 state=108", 1184 + 1, 108},
      {"socket 3 remote=127.0.0.9 port=1502", 1024 + 32 + 5, 0x0900},
      {"socket 3 ident=3 operator=44 protocol=0x0502 count=70000 errors=5", 1024 + 32 + 9, 1},
      {"address 127.0.0.2", 257, 0x0200},
      {"address 0.0.0.0", 256, 0x007F},  // listening on every address: reachable on loopback
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.command);
    std::string cmd = c.command, rest;
    const size_t sp = cmd.find(' ');
    rest = cmd.substr(sp + 1), cmd.resize(sp);
    std::string reply;
    ASSERT_TRUE(dev->Control(cmd, rest, reply));
    EXPECT_EQ(reply, "ok");
    EXPECT_EQ(m->Reg(c.reg), c.want);
  }
  EXPECT_EQ(m->Reg(0xD0A), 162);  // the other words of a command stay as set
  EXPECT_EQ(m->Reg(0xD0E), 151);
  std::string reply;
  ASSERT_TRUE(dev->Control("errors", "clear", reply));
  EXPECT_EQ(m->Reg(0xD08), 0);
  EXPECT_EQ(m->Reg(0xD0E), 151) << "the system state is not an error";
  const char* const refused[][2] = {{"errors", "Nope=1"}, {"socket", "12 state=1"}, {"socket", "0"},
                                    {"irig", "x"},        {"address", "1.2.3"},     {"socket", "1 colour=3"}};
  for (const auto& r : refused) {
    SCOPED_TRACE(std::string(r[0]) + " " + r[1]);
    EXPECT_THROW(dev->Control(r[0], r[1], reply), Exception);
  }
}

// A server reports the address it listens on.
TEST(EmuRtuAddress, ServerTellsTheDeviceWhereItIsReachable) {
  ServerOptions o;
  o.tcpPort = 0;
  o.bindAddr = "127.0.0.3";
  auto emu = StartEmu("brix3", o);
  uint16_t net[2] = {};
  {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    ASSERT_EQ(emu->Dev().ReadRegs(Space::Holding, 256, 2, net), 0);
  }
  EXPECT_EQ(InttoIPform(net[0] | static_cast<uint32_t>(net[1]) << 16), "127.0.0.3");
}

}  // namespace
}  // namespace vex::emu::test
