// Identification, configuration store/restart, command register and clock of the
// simulated devices, driven with Modbus PDUs straight into the device.
#include <gtest/gtest.h>

#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

struct IdCase {
  const char* key;
  uint16_t boot;  // registers 0 and 2
  uint16_t app;   // register 1
  int segSize;
  int seqBytes;
  uint16_t stateReg;
};

// Boot words and application words as the detection tables name them, e.g. Vex324 boot
// revision 102 "Vex324-SX R4.E723.6K22", edition 8 "ISA TransCfg+InvIO+Dimmer+Delay".
const IdCase kIds[] = {
    {"vex215", 0x4316, 0x4110, 32, 0, 35},   {"vex216", 0x6546, 0x0946, 64, 66, 35},
    {"vex308", 0x6858, 0x0E58, 64, 66, 35},  {"vex316", 0x6951, 0x1151, 64, 66, 35},
    {"vex324", 0x6654, 0x0854, 64, 160, 51}, {"vex924", 0x6E84, 0x0884, 64, 142, 51},
    {"vex932", 0x6E83, 0x0883, 64, 142, 51}, {"vex936", 0x6E8A, 0x088A, 64, 210, 51},
    {"vald3", 0x6563, 0x0A63, 64, 0, 51},    {"tord48", 0x656E, 0x056E, 64, 0, 51},
    {"brix3", 0x0160, 0x2260, 64, 0, 0},
};

TEST(EmuIdentification, EveryModelAnswersItsIdentificationRegisters) {
  for (const IdCase& c : kIds) {
    SCOPED_TRACE(c.key);
    auto d = MakeDevice(ModelFor(c.key));
    d->SetIdentity(4711, 0x12345678, 7);
    DirectMaster m(*d);
    int ex = -1;
    const auto r = m.Read(0, 16, &ex);
    ASSERT_EQ(ex, 0);
    EXPECT_EQ(r[0], c.boot);
    EXPECT_EQ(r[2], c.boot);
    EXPECT_EQ(r[1], c.app);
    EXPECT_EQ(r[11], 0x5678);  // manufacturing date, low word first
    EXPECT_EQ(r[12], 0x1234);
    EXPECT_EQ(r[13], 4711);
    EXPECT_EQ(r[14], 7);
    EXPECT_EQ(r[15], 0);  // application running
    EXPECT_EQ(d->Info().segSize, c.segSize);
    EXPECT_EQ(d->Info().seqBytes, c.seqBytes);
    EXPECT_EQ(d->Info().stateReg, c.stateReg);
    if (c.stateReg) {
      EXPECT_EQ(m.Reg(c.stateReg) & 7, cTstGod);
    }
    EXPECT_TRUE(d->AnswersNode(0xEE));
    EXPECT_TRUE(d->AnswersNode(7));
    EXPECT_FALSE(d->AnswersNode(8));
  }
}

struct RevCase {
  const char* key;
  int bootRev, edition;
  uint16_t boot, app;
  int segSize, seqBytes;
  uint16_t cfgFirst, cfgCount;
};

// Boot revisions pick the segment size (64 for revisions 100..199 and the RTU); editions
// pick the register layout.
const RevCase kRevs[] = {
    {"vex932", 145, 8, 0x9183, 0x0883, 64, 142, 16, 2},  // "-DX"
    {"vex932", 125, 8, 0x7D83, 0x0883, 64, 142, 16, 2},  // "-EX"
    {"vex932", 210, 8, 0xD283, 0x0883, 32, 142, 16, 2},
    {"vex308", 20, 14, 0x1458, 0x0E58, 32, 66, 18, 2},
    {"vex308", 104, 7, 0x6858, 0x0758, 64, 64, 18, 2},
    {"vex308", 104, 12, 0x6858, 0x0C58, 64, 0, 16, 4},  // legacy layout
    {"vex324", -1, 7, 0x6654, 0x0754, 64, 148, 16, 2},
    {"vex324", -1, 4, 0x6654, 0x0454, 64, 142, 16, 2},
    {"vex324", -1, 0, 0x6654, 0x0054, 64, 160, 16, 2},
    {"vex324", -1, 20, 0x6654, 0x1454, 64, 160, 16, 2},
    {"vex216", -1, 1, 0x6546, 0x0146, 64, 0, 16, 4},
    {"vex216", -1, 11, 0x6546, 0x0B46, 64, 0, 16, 4},
    {"vex216", -1, 7, 0x6546, 0x0746, 64, 64, 18, 2},
    {"vex316", -1, 3, 0x6951, 0x0351, 64, 0, 16, 4},
    {"brix3", 0, -1, 0x0060, 0x2260, 64, 0, 0, 0},
};

TEST(EmuIdentification, BootRevisionAndEditionChooseSegmentAndLayout) {
  for (const RevCase& c : kRevs) {
    SCOPED_TRACE(std::string(c.key) + " rev " + std::to_string(c.bootRev) + " ed " +
                 std::to_string(c.edition));
    auto d = MakeDevice(ModelFor(c.key, c.bootRev, c.edition));
    DirectMaster m(*d);
    EXPECT_EQ(m.Reg(2), c.boot);
    EXPECT_EQ(m.Reg(1), c.app);
    EXPECT_EQ(d->Info().segSize, c.segSize);
    EXPECT_EQ(d->Info().seqBytes, c.seqBytes);
    EXPECT_EQ(d->Info().cfgFirst, c.cfgFirst);
    EXPECT_EQ(d->Info().cfgCount, c.cfgCount);
  }
}

TEST(EmuIdentification, UnknownModelAndBadValuesAreRefused) {
  EXPECT_THROW(ModelFor("vex999"), Exception);
  EXPECT_THROW(ModelFor("vex324", 256), Exception);
  EXPECT_THROW(ModelFor("vex324", -1, 300), Exception);
  EXPECT_EQ(ModelFor("VEX733").model, Model::Vald3);
  EXPECT_EQ(ModelFor("vex748").model, Model::Tord48);
}

// The sequence record is moved in three requests of n, n and W-2n registers (n = S/6).
TEST(EmuConfiguration, SequenceRecordHasTheEditionsSize) {
  for (const RevCase& c : kRevs) {
    if (!c.seqBytes) continue;
    SCOPED_TRACE(std::string(c.key) + " ed " + std::to_string(c.edition));
    auto d = MakeDevice(ModelFor(c.key, c.bootRev, c.edition));
    DirectMaster m(*d);
    const int n = c.seqBytes / 6, w = c.seqBytes / 2;
    int ex = -1;
    m.Read(128, static_cast<uint16_t>(n), &ex);
    EXPECT_EQ(ex, 0);
    m.Read(static_cast<uint16_t>(128 + n), static_cast<uint16_t>(n), &ex);
    EXPECT_EQ(ex, 0);
    m.Read(static_cast<uint16_t>(128 + 2 * n), static_cast<uint16_t>(w - 2 * n), &ex);
    EXPECT_EQ(ex, 0);
    m.Read(static_cast<uint16_t>(128 + w - 1), 2, &ex);
    EXPECT_EQ(ex, exAddress);  // one register past the record
  }
}

struct CfgCase {
  const char* key;
  int edition;
  uint16_t reg;  // a configuration register to change
  uint16_t value;
};

void PrintTo(const CfgCase& c, std::ostream* os) {
  *os << c.key;
  if (c.edition >= 0) *os << "Edition" << c.edition;
  *os << "Register" << c.reg;
}

const CfgCase kCfgs[] = {
    {"vex324", -1, 16, 77},
    {"vex324", -1, 128 + 79, 0x0F0F},
    {"vex936", -1, 128 + 104, 0x0303},
    {"vex215", -1, 17, 0xAA},
    {"vex216", 8, 18, 33},
    {"vex216", 8, 128 + 32, 0x8001},
    {"vald3", -1, 23, 6500},
    {"tord48", -1, 19, 99},
    {"vex316", -1, 14, 9},
};

class EmuConfigTest : public ::testing::TestWithParam<CfgCase> {};

TEST_P(EmuConfigTest, EditStoreRestartReadBack) {
  const CfgCase& c = GetParam();
  auto d = MakeDevice(ModelFor(c.key, -1, c.edition));
  d->SetBootWait(0);
  DirectMaster m(*d);
  const uint16_t sta = d->Info().stateReg;
  const uint16_t old = m.Reg(c.reg);
  ASSERT_NE(old, c.value);

  // An edit shows "Edited"; a restart without store brings the stored value back.
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Write(c.reg, {c.value}), 0);
  EXPECT_EQ(m.Reg(c.reg), c.value);
  EXPECT_EQ(m.Reg(sta) & 7, cTstCfg);
  for (uint16_t w : {0, 0x1234, 0x9999}) ASSERT_EQ(m.Cmd(w), 0);
  EXPECT_EQ(d->BootState(), 0);
  EXPECT_EQ(m.Reg(c.reg), old);
  EXPECT_EQ(m.Reg(sta) & 7, cTstGod);

  // Edit, store ("Saved"), restart: the value survives and the state is "Good" again.
  EXPECT_EQ(m.Write(c.reg, {c.value}), exFailure) << "the restart locked the configuration";
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Write(c.reg, {c.value}), 0);
  for (uint16_t w : {0, 0x1234, 0x8888}) ASSERT_EQ(m.Cmd(w), 0);
  EXPECT_EQ(m.Reg(sta) & 7, cTstSav);
  for (uint16_t w : {0, 0x1234, 0x9999}) ASSERT_EQ(m.Cmd(w), 0);
  EXPECT_EQ(m.Reg(c.reg), c.value);
  EXPECT_EQ(m.Reg(sta) & 7, cTstGod);
}

INSTANTIATE_TEST_SUITE_P(Models, EmuConfigTest, ::testing::ValuesIn(kCfgs),
                         ::testing::PrintToStringParamName());

TEST(EmuConfiguration, ProtectedCommandsNeedTheEnableWordJustBefore) {
  auto d = MakeDevice(ModelFor("vex324"));
  d->SetBootWait(0);
  DirectMaster m(*d);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Write(16, {55}), 0);
  ASSERT_EQ(m.Cmd(0), 0);
  // store without enable, and enable followed by another word, store nothing
  ASSERT_EQ(m.Cmd(0x8888), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x8888), 0);
  EXPECT_EQ(m.Reg(51) & 7, cTstCfg);
  EXPECT_EQ(d->StoredCfg(16), 20);
  // restart without enable does nothing
  ASSERT_EQ(m.Cmd(0x9999), 0);
  EXPECT_EQ(m.Reg(16), 55);
}

// A tool that forgets the unlock (0, then $1234 on register 15) must fail as on the device:
// every configuration register refuses the write and keeps its value.
struct LockCase {
  const char* name;
  const char* key;
  int edition;
  uint16_t reg;
  std::vector<uint16_t> before;  // words written to register 15 first
};
const LockCase kLocks[] = {
    {"SlaveIdWithoutUnlock", "vex324", -1, 14, {}},
    {"TimersWithoutUnlock", "vex324", -1, 16, {}},
    {"SequenceWithoutUnlock", "vex936", -1, 128 + 3, {}},
    {"EnableWordAfterAKey", "vex324", -1, 16, {0x81, 0x1234}},
    {"KeyAfterUnlock", "vex324", -1, 16, {0, 0x1234, 0, 0x81}},
    {"StoreClosesIt", "vex216", 8, 18, {0, 0x1234, 0x8888}},
    {"HornBellLegacy", "vex215", -1, 16, {}},
    {"PulseTimers", "vald3", -1, 23, {}},
    {"RackTimersEnableTwice", "tord48", -1, 19, {0, 0x1234, 0x1234}},
};

class EmuLockTest : public ::testing::TestWithParam<LockCase> {};

TEST_P(EmuLockTest, ConfigurationWriteIsRefused) {
  const LockCase& c = GetParam();
  auto d = MakeDevice(ModelFor(c.key, -1, c.edition));
  d->SetBootWait(0);
  DirectMaster m(*d);
  const uint16_t old = m.Reg(c.reg);
  const auto value = static_cast<uint16_t>(old ^ 2);
  for (uint16_t w : c.before) ASSERT_EQ(m.Cmd(w), 0);
  const uint16_t state = m.Reg(d->Info().stateReg) & 7;
  EXPECT_EQ(m.Write(c.reg, {value}), exFailure);
  EXPECT_EQ(m.Reg(c.reg), old);
  EXPECT_EQ(m.Reg(d->Info().stateReg) & 7, state) << "not edited";
  // the relaxed device of manual experiments takes it
  d->SetStrictUnlock(false);
  EXPECT_EQ(m.Write(c.reg, {value}), 0);
  EXPECT_EQ(m.Reg(c.reg), value);
}

INSTANTIATE_TEST_SUITE_P(Writes, EmuLockTest, ::testing::ValuesIn(kLocks),
                         [](const auto& i) { return std::string(i.param.name); });

// After the unlock a whole configuration goes in several requests; the next command word
// closes it again.
TEST(EmuConfiguration, UnlockLastsUntilTheNextCommand) {
  auto d = MakeDevice(ModelFor("vex324"));
  d->SetBootWait(0);
  DirectMaster m(*d);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  EXPECT_EQ(m.Write(14, {7}), 0);
  EXPECT_EQ(m.Write(16, {30, 40}), 0);
  EXPECT_EQ(m.Write(128, {1, 2, 3}), 0);
  EXPECT_EQ(m.Read(0, 16).size(), 16u);  // reads do not close it
  EXPECT_EQ(m.Write(130, {9}), 0);
  ASSERT_EQ(m.Cmd(0), 0);
  EXPECT_EQ(m.Write(16, {50}), exFailure);
  EXPECT_EQ(m.Reg(16), 30);
}

TEST(EmuConfiguration, FactoryRegistersNeedEnableAndRangeChecks) {
  auto d = MakeDevice(ModelFor("vex324"));
  DirectMaster m(*d);
  EXPECT_EQ(m.Write(13, {12}), exFailure);
  EXPECT_EQ(m.Reg(13), 1);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  EXPECT_EQ(m.Write(11, {0xBEEF, 0x2E0A}), 0);
  EXPECT_EQ(m.Write(13, {12}), 0);
  EXPECT_EQ(m.Write(13, {65531}), exValue);
  EXPECT_EQ(m.Reg(11), 0xBEEF);
  EXPECT_EQ(m.Reg(12), 0x2E0A);
  EXPECT_EQ(m.Reg(13), 12);
  EXPECT_EQ(m.Write(14, {0}), exValue);  // slave address 0 is refused
  EXPECT_EQ(m.Reg(14), 1);
}

TEST(EmuConfiguration, UnknownRegistersAndFunctionsGetExceptions) {
  auto d = MakeDevice(ModelFor("vex324"));
  DirectMaster m(*d);
  int ex = 0;
  m.Read(9000, 1, &ex);
  EXPECT_EQ(ex, exAddress);
  m.Read(0, 126, &ex);
  EXPECT_EQ(ex, exValue);
  EXPECT_EQ(m.Pdu(B({0x2B, 0x0E, 0x01, 0x00})), B({0xAB, 0x01}));
  // echo of sub-function 0 returns the request
  EXPECT_EQ(m.Pdu(B({0x08, 0x00, 0x00, 0x12, 0x34})), B({0x08, 0x00, 0x00, 0x12, 0x34}));
  EXPECT_EQ(m.Pdu(B({0x08, 0x00, 0x01, 0x12, 0x34})), B({0x88, 0x01}));
  // write with a byte count that does not match its register count
  EXPECT_EQ(m.Pdu(B({0x10, 0x00, 0x10, 0x00, 0x01, 0x04, 0x00, 0x01})), B({0x90, 0x03}));
  // function 0x06 works too, although the program always uses 0x10
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  EXPECT_EQ(m.Pdu(B({0x06, 0x00, 0x10, 0x00, 0x2A})), B({0x06, 0x00, 0x10, 0x00, 0x2A}));
  EXPECT_EQ(m.Reg(16), 42);
}

TEST(EmuConfiguration, RefusedWriteChangesNothing) {
  auto d = MakeDevice(ModelFor("vex324"));
  DirectMaster m(*d);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  EXPECT_EQ(m.Write(16, {33, 44, 55}), exAddress);  // 18 is no register of this model
  EXPECT_EQ(m.Reg(16), 20);
  EXPECT_EQ(m.Reg(17), 20);
  EXPECT_EQ(m.Reg(51) & 7, cTstGod);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  EXPECT_EQ(m.Write(12, {0x1111, 0}), exValue);  // production number 0 is refused
  EXPECT_EQ(m.Reg(12), 0x2E0A);
}

TEST(EmuClock, WritingTheTimeRecordSetsTheRunningClock) {
  auto d = MakeDevice(ModelFor("vex324"));
  DirectMaster m(*d);
  const uint32_t tim = 3600000;  // 01:00:00.000
  ASSERT_EQ(m.Write(48, {static_cast<uint16_t>(tim & 0xFFFF), static_cast<uint16_t>(tim >> 16), 9000}), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const DevTime t = d->Clock();
  EXPECT_EQ(t.dat, 9000);
  EXPECT_GE(t.tim, tim + 25);
  EXPECT_LT(t.tim, tim + 2000);
  // A time of day past midnight is not taken.
  ASSERT_EQ(m.Write(48, {0x5C00, 0x0526, 100}), 0);  // 86400000 ms
  EXPECT_EQ(d->Clock().dat, 9000);
}

TEST(EmuInputs, ControlChangesInputsInRange) {
  auto d = MakeDevice(ModelFor("vex936"));
  std::lock_guard<std::mutex> lock(d->Mutex());
  d->SetInput(36, true);
  EXPECT_TRUE(d->Input(36));
  EXPECT_FALSE(d->Input(35));
  EXPECT_THROW(d->SetInput(37, true), Exception);
  EXPECT_THROW(d->SetInput(0, true), Exception);
}

}  // namespace
}  // namespace vex::emu::test
