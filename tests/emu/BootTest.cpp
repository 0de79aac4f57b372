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

INSTANTIATE_TEST_SUITE_P(Segments, EmuBootTest, ::testing::ValuesIn(kBoot));

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
  EXPECT_EQ(State(m), 0);
  EXPECT_EQ(m.Reg(1), 0x0854);
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
