// The image store: HEX and S-record loads, their messages and statistics, the two HEX
// writers and the boot mix.
#include <sys/stat.h>

#include <cstring>

#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using namespace fwtest;

class MixerTest : public ::testing::Test {
 protected:
  TempDir dir;
  Store s;

  // Loads an application from the given lines (segment size bsg).
  void App(const std::vector<std::string>& lines, uint32_t bsg = 64) {
    s.m.HexLoader(dir.Write("app.hex", Lines(lines)), false, true, bsg);
  }
  std::string AppError(const std::vector<std::string>& lines, uint32_t bsg = 64) {
    return s.Error([&] { App(lines, bsg); });
  }
};

// ---- messages of the HEX reader ----

struct HexFault {
  const char* name;
  std::vector<std::string> app;   // application loaded first (empty: none)
  std::vector<std::string> file;  // the file under test
  bool merge;
  std::string want;
};

TEST_F(MixerTest, HexReaderMessages) {
  const std::vector<std::string> app = {";PIC18F458", Data(0x0800, Seq(16, 1)), Bank(0x30),
                                        Data(0, {0x11, 0x22, 0x33})};
  const std::vector<std::string> app16 = {";PIC16F887", Data(0x0800, Seq(16, 1)), Data(0x400E, {0xCC, 0x23})};
  const HexFault cases[] = {
      {"identifier differs",
       app,
       {Data(0x10, {1}), ";PIC18F452"},
       true,
       "Processor Identifier mismatch Line=2"},
      {"identifier missing in the application",
       {Data(0x0800, {1})},
       {";PIC18F452"},
       true,
       "Processor Identifier mismatch Line=1"},
      {"record after end",
       {},
       {Data(0x40, {1}), kEof, Data(0x50, {2})},
       false,
       "Extra bytes in Hex file Line=3"},
      {"text after end", {}, {Data(0x40, {1}), kEof, "", "junk"}, false, "Extra bytes in Hex file Line=4"},
      {"no colon", {}, {Data(0x40, {1}), Data(0x50, {2}).substr(1)}, false, "Semicolon missing Line=2"},
      {"leading blank", {}, {" " + Data(0x40, {1})}, false, "Semicolon missing Line=1"},
      {"bad checksum", {}, {":0400400001020304B0"}, false, "Sum Failure Line=1"},
      {"count past the line", {}, {Data(0x40, {1}), ":10004000010203"}, false, "Record too short Line=2"},
      {"bad digit", {}, {":04004000010Z0304B0"}, false, "'$0Z' is not a valid integer value Line=1"},
      {"type 2", {}, {HexRec(2, 0, {0x10, 0})}, false, "Undefined process Line=1"},
      {"type 3", {}, {HexRec(3, 0, {0, 0, 0, 0})}, false, "Undefined process Line=1"},
      {"type 5", {}, {HexRec(5, 0, {0, 0, 0, 0})}, false, "Undefined process Line=1"},
      {"short address record", {}, {HexRec(4, 0, {0})}, false, "Record too short Line=1"},
      {"application below 0x20",
       {},
       {Data(0x40, {1}), Data(0x001E, {1, 2})},
       false,
       "Unexpected Code at Adress=$001E Line=2"},
      {"bootloader at the application start",
       app,
       {Data(0x0100, {1}), Data(0x0800, {1})},
       true,
       "Unexpected Code at Adress=$0800 Line=2"},
      {"bootloader above the application",
       app,
       {Data(0x0900, {1})},
       true,
       "Unexpected Code at Adress=$0900 Line=1"},
      {"bootloader running into the application",
       app,
       {Data(0x07F8, Seq(16, 0))},
       true,
       "Unexpected Code at Adress=$07F8 Line=1"},
      {"bootloader in bank 1",
       app,
       {Bank(1), Data(0x0010, {1})},
       true,
       "Unexpected Code at Adress=$0010 Line=2"},
      {"bank 0x20",
       {},
       {Data(0x40, {1}), Bank(0x20), Data(0, {0xFF})},
       false,
       "Undefined Memory Bank=$20 Line=3"},
      {"bank 2", {}, {Bank(2), Data(0, {1})}, false, "Undefined Memory Bank=$02 Line=2"},
      {"bank 0x1234", {}, {Bank(0x1234), Data(0, {1})}, false, "Undefined Memory Bank=$1234 Line=2"},
      {"fuse offset 16",
       {},
       {Data(0x40, {1}), Bank(0x30), Data(0x0E, {1, 2, 3})},
       false,
       "Fuse Adress outof range Line=3"},
      {"17 small-system fuses", {}, {Data(0x400E, Seq(17, 0))}, false, "Fuse Adress outof range Line=1"},
      {"bootloader fuse differs",
       app,
       {Bank(0x30), Data(1, {0x22, 0x34})},
       true,
       "Fuse content mismatch Line=2"},
      {"bootloader small-system fuse differs",
       app16,
       {";PIC16F887", Data(0x400E, {0xCC, 0x24})},
       true,
       "Fuse content mismatch Line=2"},
      {"bootloader fuse beyond 16",
       app,
       {Bank(0x30), Data(0x0F, {0x3F, 0x3F})},
       true,
       "Fuse Adress outof range Line=2"},
      {"no code at all", {}, {Bank(0x30), Data(0, {1}), kEof}, false, "No code in Hex file "},
      {"only bank 1 code", {}, {Bank(1), Data(0, {1})}, false, "No code below address $10000 in Hex file "},
      {"bootloader without code", app, {";PIC18F458", kEof}, true, "No code in Hex file "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Store st;
    if (!c.app.empty()) st.m.HexLoader(dir.Write("a.hex", Lines(c.app)), false, true, 64);
    const std::string f = dir.Write("t.hex", Lines(c.file));
    std::string want = c.want;
    if (want.starts_with("No code")) want += f;
    EXPECT_EQ(st.Error([&] { st.m.HexLoader(f, c.merge, true, 64); }), want);
  }
}

TEST_F(MixerTest, FailedLoadKeepsWhatWasPlaced) {
  EXPECT_EQ(AppError({Data(0x0800, {1, 2, 3}), ":02080000AABBCC"}), "Sum Failure Line=2");
  EXPECT_EQ(s.m.Map[0x0800], 1);
  EXPECT_EQ(s.m.Map[0x0802], 3);
  EXPECT_EQ(s.m.Map[0x0803], 0x3F);
  EXPECT_EQ(s.m.AppBeg, 0x0800u);
}

TEST_F(MixerTest, SegmentSizeZeroFailsBeforeReading) {
  App({";PIC18F458", Data(0x0800, Seq(32, 1))});
  const uint8_t before = s.m.Map[0x0810];
  s.lines.clear();
  // the file does not even exist: the size is refused first
  EXPECT_EQ(s.Error([&] { s.m.HexLoader(dir.File("missing.hex"), false, true, 0); }),
            "Seg Size Undetermined");
  EXPECT_EQ(s.Error([&] { s.m.MotLoader(dir.File("missing.mot"), 0); }), "Seg Size Undetermined");
  EXPECT_TRUE(s.lines.empty());
  EXPECT_EQ(s.m.Map[0x0810], before);
  EXPECT_EQ(s.m.AppIdn, ";PIC18F458");
}

TEST_F(MixerTest, FileErrorsNameTheFileAndChangeNothing) {
  App({";PIC18F458", Data(0x0800, Seq(32, 1))});
  const tIdf before = s.m.Idf();
  const std::string f = dir.File("nope.hex");
  EXPECT_EQ(s.Error([&] { s.m.HexLoader(f, false, true, 64); }), f + ": No such file or directory");
  EXPECT_EQ(s.Error([&] { s.m.MotLoader(dir.path().string(), 64); }),
            dir.path().string() + ": Is a directory");
  EXPECT_EQ(s.m.AppBeg, 0x0800u);
  EXPECT_EQ(s.m.Idf().Top, before.Top);
  EXPECT_EQ(s.m.AppIdn, ";PIC18F458");
  // a file that cannot be written is not reported as saved
  for (const bool pic18 : {false, true}) {
    s.lines.clear();
    const std::string bad = dir.File("no/such/dir/x.hex");
    EXPECT_EQ(s.Error([&] { pic18 ? s.m.HexSaver18F(bad) : s.m.HexSaver16F(bad); }),
              bad + ": No such file or directory");
    EXPECT_TRUE(s.lines.empty()) << s.lines.front();
  }
}

// ---- the worked application case ----

TEST_F(MixerTest, ApplicationHeaderCrcAndStatistics) {
  // code 0x0800 ... 0x1BE7 at segment size 64, the header's Ver word = model 0x54, edition 5
  Bytes code = Seq(0x1BE8 - 0x0800, 0x21, 7);
  code[6] = 0x54;
  code[7] = 0x05;
  std::vector<std::string> lines = {";PIC18F458"};
  for (size_t o = 0; o < code.size(); o += 16)
    lines.push_back(Data(0x0800 + o, Bytes(code.begin() + o, code.begin() + std::min(o + 16, code.size()))));
  lines.push_back(Bank(0x30));
  lines.push_back(
      Data(0, {0x00, 0x22, 0x0E, 0x0E, 0x00, 0x81, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}));
  lines.push_back(kEof);
  App(lines);

  EXPECT_EQ(s.m.AppBeg, 0x0800u);
  EXPECT_EQ(s.m.AppEnd, 0x1BE8u);
  EXPECT_EQ(s.m.AppTop, 0x1C00u);
  EXPECT_EQ(s.m.Top, 0x50u);
  // the image as it must lie: header, code, 0x3F padding up to 0x1C00
  Bytes img = code;
  img.resize(0x1C00 - 0x0800, 0x3F);
  img[4] = 0x50;
  img[5] = 0x00;
  const uint16_t crc = BitCrc(img.data() + 4, img.size() - 4);
  img[0] = crc & 0xFF;
  img[1] = 0;
  img[2] = crc >> 8;
  img[3] = 0;
  EXPECT_EQ(Bytes(s.m.Map + 0x0800, s.m.Map + 0x1C00), img);
  EXPECT_EQ(s.m.Map[0x1C00], 0x3F);
  EXPECT_EQ(s.m.Map[0x07FF], 0x3F);
  const tIdf h = s.m.Idf();
  EXPECT_EQ(h.Crl, crc & 0xFF);
  EXPECT_EQ(h.Crh, crc >> 8);
  EXPECT_EQ(h.Top, 0x50);
  EXPECT_EQ(h.Ver, 0x0554);
  EXPECT_EQ(s.m.CRCcalc(), crc);

  const std::vector<std::string> want = {
      "Loading " + dir.File("app.hex"),
      "Model=          54.005",
      "CRC=          $" + Hex2(crc >> 8) + Hex2(crc),
      "Start=          $0800",
      "End=           $1BE8",
      "Code=         5K (5096)",
      "Image=        $0050 x 64   5K (5120)",
      "Flash=         $01C00 ->  Estimate= 7K (7168)",
      "Cpu=           PIC18F458",
      "Fuses=        $2200 $0E0E $8100 $0085 $C00F $E00F $400F",
  };
  EXPECT_EQ(s.lines, want);
}

TEST_F(MixerTest, ImageBoundsAcrossSegmentSizes) {
  struct Case {
    std::vector<std::string> lines;
    uint32_t bsg;
    uint32_t beg, end, top, appTop;
  } cases[] = {
      {{Data(0x0800, Seq(8, 0))}, 32, 0x0800, 0x0808, 1, 0x0820},
      {{Data(0x0800, Seq(32, 0))}, 32, 0x0800, 0x0820, 1, 0x0820},
      {{Data(0x0800, Seq(33, 0))}, 32, 0x0800, 0x0821, 2, 0x0840},
      {{Data(0x0900, Seq(4, 0)), Data(0x0840, Seq(4, 0))}, 64, 0x0840, 0x0904, 4, 0x0940},
      {{Data(0x0020, Seq(16, 0)), Bank(1), Data(0xFFF0, Seq(16, 0))}, 64, 0x0020, 0x20000, 0x800, 0x20020},
      {{Data(0x0801, Seq(8, 0))}, 64, 0x0801, 0x0809, 1, 0x0841},  // unaligned start
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.lines));
    App(c.lines, c.bsg);
    EXPECT_EQ(s.m.AppBeg, c.beg);
    EXPECT_EQ(s.m.AppEnd, c.end);
    EXPECT_EQ(s.m.Idf().Top, c.top);
    EXPECT_EQ(s.m.AppTop, c.appTop);
    EXPECT_EQ(s.m.CRCcalc(), BitCrc(s.m.Map + c.beg + 4, c.appTop - c.beg - 4));
  }
}

TEST_F(MixerTest, HeaderThatDoesNotFitIsRefused) {
  EXPECT_EQ(AppError({Data(0x0800, Seq(16, 0))}, 0x2000000), "Image runs past the end of memory");
  EXPECT_EQ(AppError({Data(0x0020, Seq(16, 0)), Bank(1), Data(0xFFF0, Seq(16, 0))}, 1),
            "Image of 131040 segments too long for its header");
}

TEST_F(MixerTest, FuseDisplay) {
  struct Case {
    Bytes fuses;
    std::string want;
  } cases[] = {
      {Seq(14, 0x10), "Fuses=        $1110 $1312 $1514 $1716 $1918 $1B1A $1D1C"},
      {{0xCC, 0x23, 0x7F}, "Fuses=        $23CC"},
      {{0x01}, "Fuses=       "},
      {{}, "Fuses=       "},
  };
  for (const auto& c : cases) {
    App({Data(0x0800, Seq(8, 0)), Data(0x400E, c.fuses)});
    EXPECT_EQ(s.m.AppFus, static_cast<int>(c.fuses.size()));
    EXPECT_EQ(s.lines.back(), c.want);
  }
}

// Configuration bytes written by several records (one byte each, a gap, an odd start) all
// reach the fuse count, the "Fuses=" line and both writers.
TEST_F(MixerTest, FusesSpreadOverSeveralRecordsAreKept) {
  struct Case {
    const char* name;
    std::vector<std::string> fuseLines;
    int appFus;
    std::string shown;
  } cases[] = {
      {"one record", {Bank(0x30), Data(0, {0x00, 0x22, 0x0E, 0x0E})}, 4, "Fuses=        $2200 $0E0E"},
      {"one byte per record",
       {Bank(0x30), Data(0, {0x00}), Data(1, {0x22}), Data(2, {0x0E}), Data(3, {0x0E})},
       4,
       "Fuses=        $2200 $0E0E"},
      {"gap and a later short record",
       {Bank(0x30), Data(0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}), Data(9, {0xA0})},
       10,
       "Fuses=        $2211 $4433 $6655 $8877 $A03F"},
      {"record at an odd offset", {Bank(0x30), Data(1, {0x22, 0x0E, 0x0E})}, 4, "Fuses=        $223F $0E0E"},
      {"shorter record after a longer one",
       {Bank(0x30), Data(0, {1, 2, 3, 4, 5, 6}), Data(2, {0x33})},
       6,
       "Fuses=        $0201 $0433 $0605"},
      {"empty record beyond the others",
       {Bank(0x30), Data(0, {1, 2}), Data(9, {})},
       2,
       "Fuses=        $0201"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> lines = {";PIC18F2550", Data(0x0800, Seq(16, 1))};
    lines.insert(lines.end(), c.fuseLines.begin(), c.fuseLines.end());
    App(lines);
    EXPECT_EQ(s.m.AppFus, c.appFus);
    EXPECT_EQ(s.lines.back(), c.shown);
    // every fuse byte the file set is in the PIC18F form, unset ones in between as 0x3F
    const auto bytes = HexBytes(s.m.HexText18F());
    std::map<uint32_t, uint8_t> set;
    for (const auto& [a, b] : HexBytes(Lines(c.fuseLines)))
      if (a >= 0x300000) set[a] = b;
    for (const auto& [a, b] : set) EXPECT_EQ(bytes.at(a), b) << a;
    for (uint32_t i = 0; i < static_cast<uint32_t>(c.appFus); ++i) {
      if (!set.count(0x300000 + i)) {
        EXPECT_EQ(bytes.at(0x300000 + i), 0x3F) << i;
      }
    }
    EXPECT_FALSE(bytes.count(0x300000 + c.appFus));
  }
}

TEST_F(MixerTest, SmallSystemRuleOnlyAtExactAddress) {
  // at 0x400E the record holds fuses; at 0x4010 it is code; with the rule off it is code too
  App({Data(0x0800, {1}), Data(0x400E, {0xE4, 0x20}), Data(0x4010, {0x00, 0x07})}, 32);
  EXPECT_EQ(s.m.AppFus, 2);
  EXPECT_EQ(s.m.Fus[0], 0xE4);
  EXPECT_EQ(s.m.Map[0x400E], 0x3F);
  EXPECT_EQ(s.m.Map[0x4011], 0x07);
  EXPECT_EQ(s.m.AppEnd, 0x4012u);
  s.m.HexLoader(dir.File("app.hex"), false, false, 32);
  EXPECT_EQ(s.m.AppFus, 0);
  EXPECT_EQ(s.m.Map[0x400E], 0xE4);
  EXPECT_EQ(s.m.AppEnd, 0x4012u);
}

TEST_F(MixerTest, FileWithoutEndRecordAndCommentsAnywhere) {
  App({";note", Data(0x0800, {1, 2}), ";PIC16F887", Data(0x0802, {3}), "", ";CRC=1735"}, 32);
  EXPECT_EQ(s.m.AppEnd, 0x0803u);
  EXPECT_EQ(s.m.AppIdn, ";PIC16F887");
  EXPECT_EQ(s.lines[8], "Cpu=           PIC16F887");
  App({Data(0x0800, {1}), kEof, ";PIC18F458", ";CRC=5C44"}, 64);
  EXPECT_EQ(s.m.AppIdn, ";PIC18F458");
  App({Data(0x0800, {1})}, 64);  // no identification line at all
  EXPECT_EQ(s.m.AppIdn, "");
  EXPECT_EQ(s.lines[s.lines.size() - 2], "Cpu=           ");
}

TEST_F(MixerTest, LfAndCrLfLineEnds) {
  for (const char* eol : {"\n", "\r\n"}) {
    const std::string f = dir.Write("e.hex", Lines({";PIC18F458", Data(0x0800, Seq(8, 9)), kEof}, eol) + "S");
    EXPECT_EQ(s.Error([&] { s.m.HexLoader(f, false, true, 64); }), "Extra bytes in Hex file Line=4");
    s.m.HexLoader(dir.Write("e.hex", Lines({";PIC18F458", Data(0x0800, Seq(8, 9)), kEof}, eol)), false, true,
                  64);
    EXPECT_EQ(s.m.AppIdn, ";PIC18F458");
    EXPECT_EQ(s.m.Map[0x0807], 16);
  }
}

// ---- merge mode ----

TEST_F(MixerTest, IdentificationLineRulesInMergeMode) {
  struct Case {
    const char* app;   // identification line of the application, or ""
    const char* boot;  // of the bootloader, or ""
    bool ok;
  } cases[] = {
      {";PIC18F458", ";PIC18F458", true},
      {";PIC18F458", ";PIC18F452", false},
      {";PIC18F458", ";PIC18F458 ", false},
      {"", ";PIC18F458", false},
      {"", "", true},
      {";PIC18F458", "", true},
      {";PIC18F458", ";PICTURE", false},
      {"", ";PI", true},  // not an identification line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.app) + "|" + c.boot);
    std::vector<std::string> app = {Data(0x0800, {1})}, boot = {Data(0x0000, {2}), ";comment"};
    if (*c.app) app.push_back(c.app);
    if (*c.boot) boot.push_back(c.boot);
    App(app);
    const std::string e = s.Error([&] { s.m.HexLoader(dir.Write("b.hex", Lines(boot)), true, true, 64); });
    EXPECT_EQ(e, c.ok ? "<no error>" : "Processor Identifier mismatch Line=3");
    EXPECT_EQ(s.m.AppIdn, c.app);  // merge never changes it
  }
}

TEST_F(MixerTest, MergeKeepsApplicationHeaderAndCountsBootCode) {
  App({";PIC18F458", Data(0x0800, Seq(40, 3)), Bank(0x30), Data(0, {1, 2, 3, 4})});
  const tIdf h = s.m.Idf();
  const std::vector<std::string> appLines = s.lines;
  s.lines.clear();
  s.m.HexLoader(dir.Write("b.hex", Lines({Data(0, Seq(16, 0x80)), Data(0x07F0, Seq(16, 0x90)), Bank(0x30),
                                          Data(2, {3}), ";PIC18F458"})),
                true, true, 64);
  EXPECT_EQ(s.m.Idf().Crl, h.Crl);
  EXPECT_EQ(s.m.Idf().Crh, h.Crh);
  EXPECT_EQ(s.m.Idf().Top, h.Top);
  EXPECT_EQ(s.m.AppFus, 4);
  EXPECT_EQ(s.m.Map[0x07FF], 0x9F);
  EXPECT_EQ(s.m.Map[0x0000], 0x80);
  ASSERT_EQ(s.lines.size(), appLines.size());
  for (size_t i = 1; i < s.lines.size(); ++i)
    if (i != 5) {
      EXPECT_EQ(s.lines[i], appLines[i]);
    }
  EXPECT_EQ(s.lines[5], "Code=         1K (32)");
  EXPECT_EQ(appLines[5], "Code=         1K (40)");
}

TEST_F(MixerTest, MergeIntoEmptyStoreIsRefused) {
  EXPECT_EQ(s.Error([&] { s.m.HexLoader(dir.Write("b.hex", Lines({Data(0, {1})})), true, true, 64); }),
            "No application loaded to merge the bootloader with");
  EXPECT_EQ(s.m.Map[0], 0x3F);
}

// ---- S-records ----

TEST_F(MixerTest, SRecordMessages) {
  const std::string s0 = SRec('0', 0, {'h', 'd', 'r'});
  struct Case {
    std::vector<std::string> lines;
    std::string want;
  } cases[] = {
      {{SRec('2', 0x100, {1})}, "Start marker not found Line=1"},
      {{SRec('8', 0x100, {})}, "Start marker not found Line=1"},
      {{s0, SRec('2', 0x100, {1}), SRec('8', 0, {}), SRec('2', 0x101, {2})}, "Extra bytes in file Line=4"},
      {{s0, SRec('1', 0x100, {1})}, "Undefined process found=1 Line=2"},
      {{s0, SRec('3', 0x100, {1})}, "Undefined process found=3 Line=2"},
      {{s0, SRec('5', 0x1, {})}, "Undefined process found=5 Line=2"},
      {{s0, SRec('2', 0x100, {1}), SRec('7', 0, {})}, "Undefined process found=7 Line=3"},
      {{s0, SRec('2', 0x100, {1}), SRec('9', 0, {})}, "Undefined process found=9 Line=3"},
      {{s0, ":0400200001020304D2"}, "Semicolon missing Line=2"},
      {{s0, "s20500010001F8"}, "Semicolon missing Line=2"},
      {{s0, "S20500010001F9"}, "Sum Failure Line=2"},
      {{s0, "S2050001"}, "Record too short Line=2"},
      {{s0, "S"}, "Record too short Line=2"},
      {{s0, "S20300FC"}, "Record too short Line=2"},  // two address bytes only
      {{s0, SRec('2', 0xFFFFF0, Seq(17, 0))}, "Data beyond address $FFFFFF Line=2"},
      {{s0, SRec('8', 0, {})}, "No data in S-record file "},
      {{s0, SRec('2', 0xFFFFF0, Seq(16, 0))}, "Image runs past the end of memory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want);
    const std::string f = dir.Write("t.mot", Lines(c.lines, "\n"));
    std::string want = c.want;
    if (want.starts_with("No data")) want += f;
    EXPECT_EQ(s.Error([&] { s.m.MotLoader(f, 64); }), want);
  }
}

TEST_F(MixerTest, SRecordLoadAndStatistics) {
  // header words from the file: Crl 0x1234, Crh 0x0056, Top 0x0002, Ver 0x0760
  Bytes img = {0x34, 0x12, 0x56, 0x00, 0x02, 0x00, 0x60, 0x07};
  const Bytes code = Seq(100, 0x40);
  img.insert(img.end(), code.begin(), code.end());
  const std::string f = dir.Write(
      "a.mot", Lines({SRec('0', 0, {'x'}), SRec('2', 0x020000 + 8, code),
                      SRec('2', 0x020000, Bytes(img.begin(), img.begin() + 8)), "", SRec('8', 0x020000, {})},
                     "\n"));
  s.m.MotLoader(f, 64);
  EXPECT_EQ(s.m.AppBeg, 0x020000u);
  EXPECT_EQ(s.m.AppEnd, 0x02006Bu);
  EXPECT_EQ(s.m.Top, 2u);
  EXPECT_EQ(s.m.AppTop, 0x020080u);
  EXPECT_EQ(s.m.AppIdn, ";Motorola-S");
  EXPECT_EQ(Bytes(s.m.Map + 0x020000, s.m.Map + 0x02006C), img);
  EXPECT_EQ(s.m.Map[0x02006C], 0);
  const std::vector<std::string> want = {
      "Loading " + f,
      "Model=          60.007",
      "CRC=          $0056/ $1234",
      "Start=          $20000",
      "End=           $2006B",
      "Code=         1K (108)",
      "Image=        2 x 64   1K (128)",
      "Cpu=           Motorola-S",
  };
  EXPECT_EQ(s.lines, want);
}

TEST_F(MixerTest, SRecordWithoutEndAndAtTopOfMemory) {
  const std::string s0 = SRec('0', 0, {});
  s.m.MotLoader(dir.Write("a.mot", Lines({s0, SRec('2', 0xFFFFC0, Seq(64, 1))})), 64);
  EXPECT_EQ(s.m.AppTop, cRomSiz);
  EXPECT_EQ(s.m.Map[cRomSiz - 1], 64);
  // a single byte at the very top: the header reads as far as memory goes
  s.m.MotLoader(dir.Write("a.mot", Lines({s0, SRec('2', 0xFFFFFF, {0xAB})})), 1);
  EXPECT_EQ(s.m.AppTop, cRomSiz);
  EXPECT_EQ(s.m.Idf().Crl, 0x00AB);
}

TEST_F(MixerTest, SRecordLoadWipesEarlierHexLoad) {
  App({";PIC18F458", Data(0x0800, Seq(64, 1)), Bank(0x30), Data(0, {1, 2})});
  s.m.MotLoader(dir.Write("a.mot", Lines({SRec('0', 0, {}), SRec('2', 0x4000, {9})})), 64);
  EXPECT_EQ(s.m.Map[0x0800], 0);
  EXPECT_EQ(s.m.Map[0x0000], 0);
  EXPECT_EQ(s.m.Fus[0], 0);
  EXPECT_EQ(s.m.AppFus, 0);
  EXPECT_EQ(s.m.AppIdn, ";Motorola-S");
  // and a HEX load after it fills with 0x3F again
  App({Data(0x0800, {1})});
  EXPECT_EQ(s.m.Map[0x4000], 0x3F);
  EXPECT_EQ(s.m.Fus[1], 0x3F);
}

TEST_F(MixerTest, TwoStoresAreIndependent) {
  Store other;
  App({Data(0x0800, {0x11})});
  other.m.HexLoader(dir.Write("o.hex", Lines({Data(0x1000, {0x22})})), false, true, 32);
  EXPECT_EQ(s.m.Map[0x1000], 0x3F);
  EXPECT_EQ(other.m.Map[0x0800], 0x3F);
  EXPECT_NE(s.m.Map, other.m.Map);
  EXPECT_EQ(s.m.AppBeg, 0x0800u);
  EXPECT_EQ(other.m.AppBeg, 0x1000u);
}

// ---- writers ----

TEST_F(MixerTest, Pic16FWriter) {
  App({";PIC16F886", Data(0x0040, {1, 2, 3, 4, 5, 6, 0x20, 0x07, 0xAA}),
       Data(0x400E, {0xE4, 0x20, 0x00, 0x07})},
      32);
  ASSERT_EQ(s.m.AppTop, 0x60u);
  const std::string f = dir.File("out16.hex");
  s.m.HexSaver16F(f);
  EXPECT_EQ(s.lines.back(), "Saving " + f);
  std::vector<std::string> want;
  const Bytes fill(16, 0x3F);
  for (unsigned a = 0; a < 0x40; a += 16) want.push_back(Data(a, fill));
  Bytes row = Bytes(s.m.Map + 0x40, s.m.Map + 0x50);
  EXPECT_EQ(row[6], 0x20);
  EXPECT_EQ(row[8], 0xAA);
  EXPECT_EQ(row[9], 0x3F);
  want.push_back(Data(0x40, row));
  want.push_back(Data(0x50, fill));
  want.push_back(Data(0x400E, {0xE4, 0x20, 0x00, 0x07}));
  want.push_back(kEof);
  want.push_back(";PIC16F886");
  EXPECT_EQ(ReadText(f), Lines(want));
  // empty fuse record and no identification line
  App({Data(0x0040, {1})}, 32);
  EXPECT_EQ(s.m.HexText16F().substr(6 * 45), ":00400E00B2\r\n:00000001FF\r\n\r\n");
}

TEST_F(MixerTest, Pic16FWriterRefusesImagesAbove64K) {
  App({Data(0x0040, {1}), Bank(1), Data(0x0000, {2})}, 32);
  EXPECT_EQ(s.Error([&] { s.m.HexSaver16F(dir.File("x.hex")); }), "Image too large for the PIC16F form");
  EXPECT_FALSE(std::filesystem::exists(dir.File("x.hex")));
}

TEST_F(MixerTest, Pic18FWriter) {
  Bytes first = Seq(16, 1);
  first[14] = first[15] = 0xFF;  // trailing 0xFF bytes are dropped
  App({";PIC18F46K22", Data(0x0800, first), Data(0x0810, Bytes(16, 0xFF)), Data(0x0820, {0xFF, 0x05}),
       Bank(1), Data(0x0000, {7, 8}), Bank(0x30), Data(0, {0x00, 0x22, 0x0E})});
  ASSERT_EQ(s.m.AppTop, 0x10040u);
  const std::string f = dir.File("out18.hex");
  s.m.HexSaver18F(f);
  std::vector<std::string> want = {Bank(0)};
  const Bytes fill(16, 0x3F);
  for (unsigned a = 0; a < 0x800; a += 16) want.push_back(Data(a, fill));
  Bytes head(s.m.Map + 0x800, s.m.Map + 0x80E);
  want.push_back(Data(0x800, head));
  want.push_back(Data(0x820, {0xFF, 0x05, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
                              0x3F, 0x3F, 0x3F}));
  for (unsigned a = 0x830; a < 0x10000; a += 16) want.push_back(Data(a, fill));
  want.push_back(Bank(1));
  want.push_back(
      Data(0, {7, 8, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F}));
  for (unsigned a = 0x10; a < 0x40; a += 16) want.push_back(Data(a, fill));
  want.push_back(":020000040030CA");
  want.push_back(Data(0, {0x00, 0x22, 0x0E}));
  want.push_back(kEof);
  want.push_back(";PIC18F46K22");
  EXPECT_EQ(ReadText(f), Lines(want));
  // empty fuse record after the bank 0x30 record
  App({Data(0x0800, Bytes(16, 0xFF))});
  EXPECT_EQ(s.m.HexText18F().substr(s.m.HexText18F().find(":020000040030CA")),
            ":020000040030CA\r\n:0000000000\r\n:00000001FF\r\n\r\n");
}

TEST_F(MixerTest, WritersCoverUnalignedImageEnd) {
  // image 0x0808 ... 0x0848 at segment 64: the last row 0x0840 holds code and is written
  App({Data(0x0808, Seq(64, 1))}, 64);
  ASSERT_EQ(s.m.AppTop, 0x0848u);
  const auto b16 = HexBytes(s.m.HexText16F());
  const auto b18 = HexBytes(s.m.HexText18F());
  for (uint32_t a = 0x0808; a < 0x0848; ++a) {
    ASSERT_EQ(b16.at(a), s.m.Map[a]) << a;
    ASSERT_EQ(b18.at(a), s.m.Map[a]) << a;
  }
}

TEST_F(MixerTest, SaveReplacesFileAtomically) {
  App({Data(0x0040, {1})}, 32);
  const std::string f = dir.Write("out.hex", "old content");
  s.m.HexSaver16F(f);
  EXPECT_EQ(ReadText(f), s.m.HexText16F());
  size_t n = 0;
  for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++n;
  EXPECT_EQ(n, 2u);  // app.hex and out.hex, no temporary left behind
  struct stat st {};
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// ---- the boot mix ----

struct MixCase {
  uint32_t seg;
  const char* idn;
  std::vector<std::string> fuseApp, fuseBoot;
};

TEST_F(MixerTest, MixOutputHoldsBootApplicationHeaderAndFuses) {
  const MixCase cases[] = {
      {64, ";PIC18F458", {Bank(0x30), Data(0, {0x00, 0x22, 0x0E, 0x0E})}, {Bank(0x30), Data(1, {0x22})}},
      {32, ";PIC16F887", {Data(0x400E, {0xCC, 0x23, 0xFF, 0x3E})}, {Data(0x400E, {0xCC, 0x23, 0xFF, 0x3E})}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.seg);
    std::vector<std::string> app = {c.idn, Bank(0)},
                             boot = {Data(0, Seq(0x20, 0x80)), Data(0x02F0, Seq(16, 1))};
    Bytes code = Seq(0x123, 5, 3);
    code[6] = 0x54;
    code[7] = 0x02;
    for (size_t o = 0; o < code.size(); o += 32)
      app.push_back(Data(0x0300 + o, Bytes(code.begin() + o, code.begin() + std::min(o + 32, code.size()))));
    app.insert(app.end(), c.fuseApp.begin(), c.fuseApp.end());
    app.push_back(kEof);
    boot.insert(boot.end(), c.fuseBoot.begin(), c.fuseBoot.end());
    boot.push_back(kEof);
    boot.push_back(c.idn);
    const std::string fa = dir.Write("a.hex", Lines(app)), fb = dir.Write("b.hex", Lines(boot));
    const std::string out = dir.File("Mixed.hex");
    s.lines.clear();
    s.m.Mix(fb, fa, out, c.seg);
    EXPECT_EQ(s.lines.front(), "Mixing...");
    EXPECT_EQ(s.lines.back(), "Saving " + out);

    // a store of its own loads the application alone: same header and CRC
    Store ref;
    ref.m.HexLoader(fa, false, true, c.seg);
    EXPECT_EQ(s.m.Idf().Crl, ref.m.Idf().Crl);
    EXPECT_EQ(s.m.Idf().Crh, ref.m.Idf().Crh);
    EXPECT_EQ(s.m.Idf().Top, ref.m.Idf().Top);
    EXPECT_EQ(s.m.Idf().Ver, 0x0254);

    // the written file holds exactly the store up to AppTop, the fuses and the identification
    const std::string text = ReadText(out);
    const auto bytes = HexBytes(text);
    for (uint32_t a = 0; a < s.m.AppTop; ++a) {
      if (s.m.Map[a] == 0xFF && c.seg > 32) continue;  // may be left out in the PIC18F form
      ASSERT_TRUE(bytes.count(a)) << a;
      ASSERT_EQ(bytes.at(a), s.m.Map[a]) << a;
    }
    EXPECT_EQ(bytes.at(0x0300), ref.m.Map[0x0300]);
    EXPECT_EQ(bytes.at(0x0000), 0x80);
    const uint32_t fuseAt = c.seg > 32 ? 0x300000 : 0x400E;
    for (int i = 0; i < s.m.AppFus; ++i) EXPECT_EQ(bytes.at(fuseAt + i), s.m.Fus[i]);
    EXPECT_EQ(text.substr(text.size() - std::string(c.idn).size() - 2), std::string(c.idn) + "\r\n");

    // the mixed file merges cleanly back onto the application
    Store back;
    back.m.HexLoader(fa, false, true, c.seg);
    EXPECT_EQ(back.Error([&] { back.m.HexLoader(fb, true, true, c.seg); }), "<no error>");
    EXPECT_EQ(0, std::memcmp(back.m.Map, s.m.Map, s.m.AppTop));
  }
}

TEST_F(MixerTest, MixFaults) {
  const std::string fa = dir.Write("a.hex", Lines({";PIC18F458", Data(0x0800, Seq(16, 0))}));
  const std::string fb = dir.Write("b.hex", Lines({";PIC18F452", Data(0, Seq(16, 0))}));
  const std::string out = dir.File("Mixed.hex");
  struct Case {
    uint32_t seg;
    std::string boot, want;
  } cases[] = {
      {0, fb, "Seg Size Undetermined"},
      {31, fb, "Seg Size Undetermined"},
      {64, fb, "Processor Identifier mismatch Line=1"},
      {64, dir.File("missing.hex"), dir.File("missing.hex") + ": No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.want);
    s.lines.clear();
    EXPECT_EQ(s.Error([&] { s.m.Mix(c.boot, fa, out, c.seg); }), c.want);
    EXPECT_EQ(s.lines.front(), "Mixing...");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
}

// ---- the dialog ----

struct FakeDialogs : IMixerDialogs {
  bool answer = true;
  std::string chosen, seenFilter, seenName;
  int opens = 0, saves = 0;
  bool OpenFile(const std::string& filter, std::string& name) override {
    ++opens;
    return Pick(filter, name);
  }
  bool SaveFile(const std::string& filter, std::string& name) override {
    ++saves;
    return Pick(filter, name);
  }
  bool Pick(const std::string& filter, std::string& name) {
    seenFilter = filter;
    seenName = name;
    if (answer) name = chosen;
    return answer;
  }
};

TEST_F(MixerTest, DialogFieldsAndDoubleClicks) {
  s.m.Edit2.SetText("mine.hex");
  s.m.FormShow();
  EXPECT_EQ(s.m.Edit3.Text(), "Mixed.hex");
  EXPECT_EQ(s.m.Edit2.Text(), "mine.hex");
  EXPECT_FALSE(s.m.Edit1.Text().empty());
  EXPECT_EQ(s.m.Edit1.Caption(), "Bootcode Hex File:");
  EXPECT_EQ(s.m.Edit2.Caption(), "Firmware Hex File:");
  EXPECT_EQ(s.m.Edit3.Caption(), "Destination Hex File:");

  FakeDialogs d;
  s.m.Dialogs = &d;
  d.chosen = "/x/boot.hex";
  s.m.Edit1DblClick();
  EXPECT_EQ(d.opens, 1);
  EXPECT_EQ(d.seenFilter, "(*.Hex) Hex Files|*.Hex|(*.*) All Files|*.*");
  EXPECT_EQ(s.m.Edit1.Text(), "/x/boot.hex");
  d.chosen = "/x/out.hex";
  s.m.Edit3DblClick();
  EXPECT_EQ(d.saves, 1);
  EXPECT_EQ(d.seenName, "Mixed.hex");
  EXPECT_EQ(s.m.Edit3.Text(), "/x/out.hex");
  d.answer = false;
  s.m.Edit2DblClick();
  EXPECT_EQ(d.seenName, "mine.hex");
  EXPECT_EQ(s.m.Edit2.Text(), "mine.hex");
}

TEST_F(MixerTest, CreateMixedHexFileUsesDetectedSegmentSize) {
  s.m.Edit1.SetText(dir.Write("b.hex", Lines({Data(0, Seq(16, 0))})));
  s.m.Edit2.SetText(dir.Write("a.hex", Lines({Data(0x0800, Seq(16, 0))})));
  s.m.Edit3.SetText(dir.File("m.hex"));
  EXPECT_EQ(s.Error([&] { s.m.Button1Click(); }), "Seg Size Undetermined");  // nothing detected
  EXPECT_TRUE(s.m.CloseRequested);
  uint32_t seg = 32;
  s.m.SegSizOf = [&] { return seg; };
  s.m.Button1Click();
  EXPECT_NE(ReadText(dir.File("m.hex")).find(":00400E00B2\r\n"), std::string::npos);  // PIC16F form
  seg = 64;
  s.m.Button1Click();
  EXPECT_NE(ReadText(dir.File("m.hex")).find(":020000040030CA\r\n"), std::string::npos);  // PIC18F form
}

}  // namespace
}  // namespace vex
