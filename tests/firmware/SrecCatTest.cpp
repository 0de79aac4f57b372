// Cross-checks against srec_cat: for random images the bytes the store holds are the bytes
// srec_cat reads from the same file, and srec_cat reads back what the writers produce.
#include <sys/wait.h>

#include <random>

#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using namespace fwtest;

bool HaveSrecCat() { return std::system("srec_cat --version >/dev/null 2>&1") == 0; }

class SrecCat : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat not installed";
  }

  // srec_cat's reading of [from, to) of file (format "-Intel" or "-Motorola"), holes filled.
  Bytes Read(const std::string& file, const char* format, uint32_t from, uint32_t to, uint8_t fill) {
    const std::string out = dir.File("out.bin"), err = dir.File("err.txt");
    char range[160];
    std::snprintf(range, sizeof range, "-crop 0x%X 0x%X -offset -0x%X -fill 0x%02X 0 0x%X", from, to, from,
                  fill, to - from);
    const std::string cmd =
        "srec_cat '" + file + "' " + format + " " + range + " -o '" + out + "' -Binary 2>'" + err + "'";
    const int rc = std::system(cmd.c_str());
    EXPECT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << cmd << "\n" << ReadText(err);
    const std::string bin = ReadText(out);
    return Bytes(bin.begin(), bin.end());
  }

  TempDir dir;
  Store s;
};

// Random, non-overlapping records of lengths 1..32 in [from, to).
std::vector<std::pair<uint32_t, Bytes>> RandomRecords(std::mt19937& rng, uint32_t from, uint32_t to,
                                                      int count, uint32_t maxGap = 48) {
  std::vector<std::pair<uint32_t, Bytes>> recs;
  uint32_t a = from;
  for (int i = 0; i < count && a < to; ++i) {
    a += rng() % maxGap;  // holes between records
    uint32_t n = 1 + rng() % 32;
    if (a + n > to) break;
    Bytes d(n);
    for (auto& b : d) b = static_cast<uint8_t>(rng());
    recs.emplace_back(a, d);
    a += n;
  }
  std::shuffle(recs.begin(), recs.end(), rng);  // records need not be in order
  return recs;
}

TEST_F(SrecCat, Pic18FImagesReadAlikeAndWriterOutputIsAccepted) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::vector<std::string> lines = {";PIC18F46K22"};
    uint32_t bank = 0;
    for (auto& [a, d] : RandomRecords(rng, 0x20 + rng() % 0x800, 0x1F000, 150 + rng() % 100, 1200)) {
      // a record never crosses a 64 KiB bank
      if ((a >> 16) != ((a + d.size() - 1) >> 16)) continue;
      if ((a >> 16) != bank || lines.size() == 1) lines.push_back(Bank(bank = a >> 16));
      lines.push_back(Data(a & 0xFFFF, d));
    }
    Bytes fus(1 + rng() % 16);
    for (auto& b : fus) b = static_cast<uint8_t>(rng());
    lines.push_back(Bank(0x30));
    lines.push_back(Data(0, fus));
    lines.push_back(kEof);
    const std::string in = dir.Write("in.hex", Lines(lines, seed % 2 ? "\r\n" : "\n"));
    s.m.HexLoader(in, false, true, 64);
    ASSERT_GT(s.m.AppEnd, 0x10000u);  // code in both banks

    // the input as srec_cat reads it; the header's CRC and Top words are the store's own
    Bytes ref = Read(in, "-Intel", 0, 0x20000, 0x3F);
    ASSERT_EQ(ref.size(), 0x20000u);
    for (uint32_t i = 0; i < 6; ++i) ref[s.m.AppBeg + i] = s.m.Map[s.m.AppBeg + i];
    ASSERT_EQ(Bytes(s.m.Map, s.m.Map + 0x20000), ref);
    EXPECT_EQ(Bytes(s.m.Fus, s.m.Fus + fus.size()),
              Read(in, "-Intel", 0x300000, 0x300000 + fus.size(), 0x3F));

    // the written file: rows up to AppTop, 0xFF left out
    const std::string out = dir.File("w18.hex");
    s.m.HexSaver18F(out);
    const uint32_t end = (s.m.AppTop + 15) / 16 * 16;
    ASSERT_EQ(Read(out, "-Intel", 0, end, 0xFF), Bytes(s.m.Map, s.m.Map + end));
    EXPECT_EQ(Read(out, "-Intel", 0x300000, 0x300000 + fus.size(), 0x3F), fus);
  }
}

TEST_F(SrecCat, Pic16FImagesReadAlikeAndWriterOutputIsAccepted) {
  for (unsigned seed = 100; seed < 112; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    if (seed % 3 == 0) lines.push_back(Bank(0));
    for (auto& [a, d] : RandomRecords(rng, 0x20 + rng() % 0x400, 0x3F00, 100 + rng() % 100))
      lines.push_back(Data(a, d));
    const Bytes fus = seed % 2 ? Bytes{0xE4, 0x20} : Bytes{0xCC, 0x23, 0xFF, 0x3E};
    lines.push_back(Data(0x400E, fus));
    lines.push_back(kEof);
    lines.push_back(";PIC16F886");
    const std::string in = dir.Write("in.hex", Lines(lines));
    s.m.HexLoader(in, false, true, 32);

    Bytes ref = Read(in, "-Intel", 0, 0x4000, 0x3F);
    for (uint32_t i = 0; i < 6; ++i) ref[s.m.AppBeg + i] = s.m.Map[s.m.AppBeg + i];
    ASSERT_EQ(Bytes(s.m.Map, s.m.Map + 0x4000), ref);
    EXPECT_EQ(Bytes(s.m.Fus, s.m.Fus + fus.size()), Read(in, "-Intel", 0x400E, 0x400E + fus.size(), 0));

    const std::string out = dir.File("w16.hex");
    s.m.HexSaver16F(out);
    ASSERT_LE(s.m.AppTop, 0x4000u);
    const uint32_t end = (s.m.AppTop + 15) / 16 * 16;
    ASSERT_EQ(Read(out, "-Intel", 0, end, 0), Bytes(s.m.Map, s.m.Map + end));
    EXPECT_EQ(Read(out, "-Intel", 0x400E, 0x400E + fus.size(), 0), fus);
  }
}

TEST_F(SrecCat, SRecordImagesReadAlike) {
  for (unsigned seed = 200; seed < 212; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    const uint32_t base = (rng() % 0xF00) << 12;
    std::vector<std::string> lines = {SRec('0', 0, {'i', 'm', 'g'})};
    for (auto& [a, d] : RandomRecords(rng, base, base + 0x8000, 200 + rng() % 200))
      lines.push_back(SRec('2', a, d));
    lines.push_back(SRec('8', base, {}));
    const std::string in = dir.Write("in.s19", Lines(lines, "\n"));
    s.m.MotLoader(in, 64);
    ASSERT_EQ(Read(in, "-Motorola", s.m.AppBeg, s.m.AppEnd + 1, 0),
              Bytes(s.m.Map + s.m.AppBeg, s.m.Map + s.m.AppEnd + 1));
    EXPECT_EQ(s.m.Map[s.m.AppBeg - 1], 0);
    EXPECT_EQ(s.m.Map[s.m.AppEnd + 1], 0);
  }
}

}  // namespace
}  // namespace vex
