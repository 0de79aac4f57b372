// The bootloader dialogue: restart into the bootloader, programming entry, block writes
// ending at the page register, boot test of the received image.
#include <gtest/gtest.h>

#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

// An application image: header (Crl, Crh, Top, Ver as little-endian words), code, padding
// to whole segments; the CRC covers everything after the two CRC words.
std::vector<uint8_t> Image(int seg, int top, uint16_t ver, unsigned seed) {
  std::vector<uint8_t> img(static_cast<size_t>(seg) * top, 0x3F);
  for (size_t i = 8; i < img.size() - seg / 2; ++i) img[i] = static_cast<uint8_t>((i * 131 + seed) & 0xFF);
  img[4] = static_cast<uint8_t>(top & 0xFF), img[5] = static_cast<uint8_t>(top >> 8);
  img[6] = static_cast<uint8_t>(ver & 0xFF), img[7] = static_cast<uint8_t>(ver >> 8);
  const uint16_t crc = CrcofBin(img.data() + 4, img.size() - 4, 0xFFFF);
  img[0] = static_cast<uint8_t>(crc & 0xFF), img[1] = 0;
  img[2] = static_cast<uint8_t>(crc >> 8), img[3] = 0;
  return img;
}

int16_t State(Master& m) { return static_cast<int16_t>(m.Reg(15)); }

// Restart into the bootloader, enter programming, send every block.
void Upload(Master& m, const std::vector<uint8_t>& img, int seg) {
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Cmd(0x9999), 0);
  const int16_t st = State(m);
  ASSERT_TRUE(st == -1 || st == -2) << st;
  ASSERT_EQ(m.Cmd(0xFFF2), 0);
  ASSERT_EQ(State(m), -5);
  const int words = seg / 2;
  for (size_t q = 0; q < img.size(); q += seg) {
    std::vector<uint16_t> v;
    for (int i = 0; i < words; ++i)
      v.push_back(static_cast<uint16_t>(img[q + 2 * i] << 8 | img[q + 2 * i + 1]));
    v.push_back(static_cast<uint16_t>(q / seg));
    ASSERT_EQ(m.Write(static_cast<uint16_t>(0xF0 - words), v), 0) << "block " << q / seg;
  }
}

struct BootCase {
  const char* key;
  int bootRev;
  int seg;
  uint16_t ver;
};

void PrintTo(const BootCase& c, std::ostream* os) {
  *os << c.key;
  if (c.bootRev >= 0) *os << "Boot" << c.bootRev;
  *os << "Segment" << c.seg;
}
const BootCase kBoot[] = {
    {"vex324", -1, 64, 0x0554},
    {"vex308", 20, 32, 0x1458},
    {"vex215", -1, 32, 0x4113},
    {"brix3", -1, 64, 0x2160},
};

class EmuBootTest : public ::testing::TestWithParam<BootCase> {};

TEST_P(EmuBootTest, UploadStartsTheNewApplication) {
  const BootCase& c = GetParam();
  auto d = MakeDevice(ModelFor(c.key, c.bootRev));
  d->SetAppStart(0);
  ASSERT_EQ(d->Info().segSize, c.seg);
  DirectMaster m(*d);
  const auto img = Image(c.seg, 80, c.ver, 7);
  Upload(m, img, c.seg);
  ASSERT_EQ(m.Cmd(0xFFF3), 0);
  EXPECT_EQ(State(m), 0);
  EXPECT_EQ(m.Reg(1), c.ver);
  EXPECT_EQ(m.Reg(3), img[2] << 8 | img[0]);
  EXPECT_EQ(std::vector<uint8_t>(d->Flash().begin(), d->Flash().begin() + img.size()), img);
}

TEST_P(EmuBootTest, CorruptedImageEndsInCrcMismatchAndStaysInTheBootloader) {
  const BootCase& c = GetParam();
  auto d = MakeDevice(ModelFor(c.key, c.bootRev));
  d->SetAppStart(0);
  DirectMaster m(*d);
  auto img = Image(c.seg, 20, c.ver, 3);
  img[img.size() - 1] ^= 0x01;  // padding byte inside the CRC
  Upload(m, img, c.seg);
  ASSERT_EQ(m.Cmd(0xFFF3), 0);
  EXPECT_EQ(State(m), -2);
  EXPECT_EQ(m.Reg(1), 0);  // no application
  int ex = 0;
  m.Read(16, 1, &ex);
  EXPECT_EQ(ex, exAddress);  // the bootloader has no application registers
  // A restart comes back into the bootloader with the same verdict.
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Cmd(0x9999), 0);
  EXPECT_EQ(State(m), -2);
  // A sound image afterwards is taken.
  const auto good = Image(c.seg, 20, c.ver, 4);
  Upload(m, good, c.seg);
  ASSERT_EQ(m.Cmd(0xFFF3), 0);
  EXPECT_EQ(State(m), 0);
  EXPECT_EQ(m.Reg(1), c.ver);
}

INSTANTIATE_TEST_SUITE_P(Segments, EmuBootTest, ::testing::ValuesIn(kBoot),
                         ::testing::PrintToStringParamName());

// "Fw Upload" may bring another edition; the screens then choose their registers by the
// new application identifier, so the device answers in the new edition's layout.
struct EditionCase {
  const char* key;
  int bootRev;
  int edition;        // of the flashed image
  int seqBytes;       // sequence record afterwards (0 = none)
  uint16_t cfgFirst;  // first configuration register after 14
  uint16_t cfgCount;
  bool keepsConfig;  // registers 16.. keep their stored values (laid out as before)
};
const EditionCase kEditions[] = {
    {"vex216", -1, 11, 0, 16, 4, false},  // sequence firmware to a legacy edition
    {"vex216", -1, 8, 66, 18, 2, true},   // another edition with the same record
    {"vex308", -1, 7, 64, 18, 2, true},   // 66-byte record to 64 bytes, the timers stay
    {"vex324", -1, 4, 142, 16, 2, true}, {"vex324", -1, 10, 148, 16, 2, true},
    {"vex324", -1, 8, 160, 16, 2, true},  // the same edition again
    {"tord48", -1, 4, 0, 18, 2, true},
};

TEST(EmuBoot, AnotherEditionBringsItsOwnLayout) {
  for (const EditionCase& c : kEditions) {
    SCOPED_TRACE(std::string(c.key) + " to edition " + std::to_string(c.edition));
    auto d = MakeDevice(ModelFor(c.key, c.bootRev));
    d->SetAppStart(0);
    DirectMaster m(*d);
    const uint16_t reg = d->Info().cfgFirst;  // detection time (horn selection on legacy)
    for (uint16_t w : {0, 0x1234}) ASSERT_EQ(m.Cmd(w), 0);
    ASSERT_EQ(m.Write(reg, {77}), 0);
    for (uint16_t w : {0, 0x1234, 0x8888}) ASSERT_EQ(m.Cmd(w), 0);
    for (uint16_t w : {0, 0x1234}) ASSERT_EQ(m.Cmd(w), 0);
    ASSERT_EQ(m.Write(14, {9}), 0);
    for (uint16_t w : {0, 0x1234, 0x8888}) ASSERT_EQ(m.Cmd(w), 0);

    const int seg = d->Info().segSize;
    const uint16_t ver = static_cast<uint16_t>(c.edition << 8 | d->Info().Fid());
    Upload(m, Image(seg, 8, ver, 5), seg);
    ASSERT_EQ(m.Cmd(0xFFF3), 0);
    ASSERT_EQ(State(m), 0);
    EXPECT_EQ(m.Reg(1), ver);
    EXPECT_EQ(d->Info().AppSof(), c.edition);
    EXPECT_EQ(m.Reg(14), 9) << "the slave address is kept";

    int ex = -1;
    m.Read(c.cfgFirst, c.cfgCount, &ex);
    EXPECT_EQ(ex, 0) << "configuration registers";
    m.Read(static_cast<uint16_t>(c.cfgFirst + c.cfgCount), 1, &ex);
    EXPECT_NE(ex, 0) << "past the configuration registers";
    EXPECT_EQ(m.Reg(c.cfgFirst) == 77, c.keepsConfig && c.cfgFirst == reg);
    m.Read(128, 1, &ex);
    EXPECT_EQ(ex == 0, c.seqBytes > 0) << "sequence record";
    if (c.seqBytes) {
      m.Read(static_cast<uint16_t>(128 + c.seqBytes / 2 - 1), 1, &ex);
      EXPECT_EQ(ex, 0);
      m.Read(static_cast<uint16_t>(128 + c.seqBytes / 2), 1, &ex);
      EXPECT_NE(ex, 0) << "one register past the record";
    }
    // the panel follows the new layout: an input shows in the status record
    {
      std::lock_guard<std::mutex> lock(d->Mutex());
      d->SetInput(1, true);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(120));
    {
      std::lock_guard<std::mutex> lock(d->Mutex());
      d->Tick(MonoMs());
    }
    const bool legacy = c.cfgFirst == 16 && c.cfgCount == 4;
    EXPECT_EQ(m.Reg(legacy ? 32 : 52), 1) << "input 1 in the status record";
  }
}

struct BadImage {
  const char* what;
  int top;       // Top written into the header
  int blocks;    // blocks actually sent
  bool highCrc;  // bits 8..15 of Crl set
};
const BadImage kBad[] = {
    {"Top of zero", 0, 4, false},
    {"a block missing", 4, 3, false},
    {"Crl with high bits", 4, 4, true},
};

TEST(EmuBoot, HeaderFaultsEndInCrcMismatch) {
  for (const BadImage& b : kBad) {
    SCOPED_TRACE(b.what);
    auto d = MakeDevice(ModelFor("vex324"));
    DirectMaster m(*d);
    auto img = Image(64, 4, 0x0554, 1);
    img[4] = static_cast<uint8_t>(b.top);
    const uint16_t crc = CrcofBin(img.data() + 4, img.size() - 4, 0xFFFF);
    img[0] = static_cast<uint8_t>(crc & 0xFF), img[2] = static_cast<uint8_t>(crc >> 8);
    if (b.highCrc) img[1] = 1;
    img.resize(static_cast<size_t>(b.blocks) * 64);
    Upload(m, img, 64);
    ASSERT_EQ(m.Cmd(0xFFF3), 0);
    EXPECT_EQ(State(m), -2);
  }
}

TEST(EmuBoot, RestartShowsTheBootloaderUntilTheBootWindowEnds) {
  auto d = MakeDevice(ModelFor("vex324"));
  d->SetBootWait(60);
  DirectMaster m(*d);
  ASSERT_EQ(m.Cmd(0), 0);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Cmd(0x9999), 0);
  EXPECT_EQ(State(m), -1);
  std::this_thread::sleep_for(std::chrono::milliseconds(80));
  {
    std::lock_guard<std::mutex> lock(d->Mutex());
    d->Tick(MonoMs());
  }
  EXPECT_EQ(State(m), 0);
  EXPECT_EQ(m.Reg(1), 0x0854);
}

// Advances the device's time to `ms` from now.
void TickAfter(Device& d, int ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  std::lock_guard<std::mutex> lock(d.Mutex());
  d.Tick(MonoMs());
}

// After a passed boot test the application comes up only after the start delay; until then
// the state reads "Restart Boot Test" and register 1 the new identifier is not yet running.
TEST(EmuBoot, NewApplicationStartsAfterTheStartDelay) {
  auto d = MakeDevice(ModelFor("vex324"));
  d->SetAppStart(60);
  DirectMaster m(*d);
  Upload(m, Image(64, 6, 0x0654, 2), 64);
  ASSERT_EQ(m.Cmd(0xFFF3), 0);
  EXPECT_EQ(State(m), -13);
  int ex = 0;
  m.Read(16, 1, &ex);
  EXPECT_EQ(ex, exAddress) << "no application registers yet";
  TickAfter(*d, 80);
  EXPECT_EQ(State(m), 0);
  EXPECT_EQ(m.Reg(1), 0x0654);
}

// What the bootloader does with the resident application when no block is written, and a
// board assembled without a sound application.
struct ResidentCase {
  const char* what;
  bool noApp;         // the board starts without a sound application
  int blocks;         // blocks written after programming entry
  int16_t afterTest;  // state once the start delay has passed
  uint16_t appReg;    // register 1 then
};
const ResidentCase kResident[] = {
    {"programming entry and boot test without a block keep the application", false, 0, 0, 0x0854},
    {"a board without application stays in its bootloader", true, 0, -2, 0},
    {"one block erases the application", false, 1, -2, 0},
};

TEST(EmuBoot, BootTestWithoutBlocksChecksTheResidentApplication) {
  for (const ResidentCase& c : kResident) {
    SCOPED_TRACE(c.what);
    auto d = MakeDevice(ModelFor("vex324"));
    d->SetAppStart(30);
    if (c.noApp) d->SetNoApplication();
    DirectMaster m(*d);
    if (c.noApp) {
      EXPECT_EQ(State(m), -2);
      EXPECT_EQ(m.Reg(1), 0);
    } else {
      ASSERT_EQ(m.Cmd(0x1234), 0);
      ASSERT_EQ(m.Cmd(0x9999), 0);
    }
    ASSERT_EQ(m.Cmd(0xFFF2), 0);
    ASSERT_EQ(State(m), -5);
    const auto img = Image(64, 4, 0x0654, 9);
    for (int b = 0; b < c.blocks; ++b) {
      std::vector<uint16_t> v;
      for (int i = 0; i < 32; ++i)
        v.push_back(static_cast<uint16_t>(img[64 * b + 2 * i] << 8 | img[64 * b + 2 * i + 1]));
      v.push_back(static_cast<uint16_t>(b));
      ASSERT_EQ(m.Write(0xD0, v), 0);
    }
    ASSERT_EQ(m.Cmd(0xFFF3), 0);
    TickAfter(*d, 50);
    EXPECT_EQ(State(m), c.afterTest);
    EXPECT_EQ(m.Reg(1), c.appReg);
  }
}

TEST(EmuBoot, BlocksOutsideProgrammingModeOrOfTheWrongSizeAreRefused) {
  auto d = MakeDevice(ModelFor("vex324"));
  DirectMaster m(*d);
  ASSERT_EQ(m.Cmd(0x1234), 0);
  ASSERT_EQ(m.Cmd(0x9999), 0);
  std::vector<uint16_t> block(33, 0);
  EXPECT_EQ(m.Write(0xD0, block), exFailure);  // not yet in programming mode
  ASSERT_EQ(m.Cmd(0xFFF2), 0);
  std::vector<uint16_t> small(17, 0);
  EXPECT_EQ(m.Write(0xE0, small), exValue);  // 32-byte block on a 64-byte bootloader
  block.back() = 0x2000;                     // block number past the flash
  EXPECT_EQ(m.Write(0xD0, block), exValue);
  EXPECT_EQ(State(m), -4);
}

}  // namespace
}  // namespace vex::emu::test
