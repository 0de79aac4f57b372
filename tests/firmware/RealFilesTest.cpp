// Firmware files built by real tool chains, read in place (skipped when the folder is absent).
#include <sys/wait.h>

#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using namespace fwtest;

const std::string kDir = std::string(VEX_SOURCE_DIR) + "/../shared/testdata/firmware/";

bool Have(const std::string& name) { return std::filesystem::exists(kDir + name); }

class RealFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::is_directory(kDir)) GTEST_SKIP() << "no firmware test files at " << kDir;
  }
  TempDir dir;
  Store s;
};

TEST_F(RealFiles, LoadAsApplicationOrFailWithTheRightMessage) {
  struct Case {
    const char* file;
    bool mot;
    std::string want;  // "" loads
  } cases[] = {
      {"pic16f1454-blink.hex", false, ""},
      {"pic16f1454-bootloader.hex", false, "Unexpected Code at Adress=$0000 Line=2"},
      {"pic16f883-ccs.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic16f886-sdcc.hex", false, "Unexpected Code at Adress=$0000 Line=2"},
      {"pic16f887-ccs.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic18f2550-loader.hex", false, "Unexpected Code at Adress=$0000 Line=2"},
      {"pic18f458-ccs.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic18f45k22-lab4.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic18f46k22-blink2.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic18f46k22-xc8.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"pic18f57q43-xc8.hex", false, "Unexpected Code at Adress=$0000 Line=1"},
      {"rl78-project.mot", true, "Undefined process found=1 Line=2"},  // 16-bit S1 records
      {"mc9s12-ucos.s19", true, "Start marker not found Line=1"},      // no S0 header
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    if (!Have(c.file)) continue;
    const std::string f = kDir + c.file;
    const std::string e = s.Error([&] { c.mot ? s.m.MotLoader(f, 64) : s.m.HexLoader(f, false, true, 32); });
    EXPECT_EQ(e, c.want.empty() ? "<no error>" : c.want);
  }
}

TEST_F(RealFiles, BlinkApplicationStatistics) {
  if (!Have("pic16f1454-blink.hex")) GTEST_SKIP();
  s.m.HexLoader(kDir + "pic16f1454-blink.hex", false, true, 32);
  EXPECT_EQ(s.m.AppBeg, 0x0400u);
  EXPECT_EQ(s.m.AppEnd, 0x05A6u);
  EXPECT_EQ(s.m.AppTop, 0x05C0u);
  EXPECT_EQ(s.m.AppFus, 0);
  EXPECT_EQ(s.lines[4], "End=           $05A6");
  EXPECT_EQ(s.lines[5], "Code=         1K (422)");
  EXPECT_EQ(s.lines[6], "Image=        $000E x 32   1K (448)");
  EXPECT_EQ(s.lines[7], "Flash=         $005C0 ->  Estimate= 2K (1472)");
  EXPECT_EQ(s.m.CRCcalc(), BitCrc(s.m.Map + 0x0404, 0x05C0 - 0x0404));
}

TEST_F(RealFiles, BootMixOfTheUsbBootloaderRefusesItsBank1Fuses) {
  if (!Have("pic16f1454-blink.hex") || !Have("pic16f1454-bootloader.hex")) GTEST_SKIP();
  EXPECT_EQ(s.Error([&] {
    s.m.Mix(kDir + "pic16f1454-bootloader.hex", kDir + "pic16f1454-blink.hex", dir.File("Mixed.hex"), 32);
  }),
            "Unexpected Code at Adress=$000E Line=67");
  EXPECT_FALSE(std::filesystem::exists(dir.File("Mixed.hex")));
}

// Each PIC file merged as a bootloader below an application at 0xF000 whose fuses and
// identification line are those of the file: every record of the file is read, and the
// bytes below the application are the bytes srec_cat reads.
TEST_F(RealFiles, MergedAsBootloader) {
  struct Case {
    const char* file;
    std::string want;
  } cases[] = {
      {"pic16f1454-blink.hex", ""},
      {"pic16f1454-bootloader.hex", "Unexpected Code at Adress=$000E Line=67"},
      {"pic16f883-ccs.hex", ""},
      {"pic16f886-sdcc.hex", ""},
      {"pic16f887-ccs.hex", ""},
      {"pic18f2550-loader.hex", ""},
      {"pic18f458-ccs.hex", ""},
      {"pic18f45k22-lab4.hex", ""},
      {"pic18f46k22-blink2.hex", ""},
      {"pic18f46k22-xc8.hex", "Undefined Memory Bank=$20 Line=552"},
      {"pic18f57q43-xc8.hex", "Unexpected Code at Adress=$FFFC Line=271"},
  };
  const bool srec = std::system("srec_cat --version >/dev/null 2>&1") == 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    if (!Have(c.file)) continue;
    const std::string f = kDir + c.file;
    // the application: the file's identification and fuse records, code at 0xF000
    std::vector<std::string> app = {Data(0xF000, Seq(64, 1))}, fuses;
    std::istringstream in(ReadText(f));
    std::string line;
    bool bank30 = false;
    size_t small = 0;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.starts_with(";PIC")) app.push_back(line);
      if (line.size() < 11 || line[0] != ':') continue;
      if (line.starts_with(":02000004"))
        bank30 = line == ":020000040030CA";
      else if (bank30 && line.substr(7, 2) == "00")
        fuses.push_back(line);
      else if (!bank30 && line.substr(3, 6) == "400E00") {
        app.push_back(line);
        small = std::stoul(line.substr(1, 2), nullptr, 16);
      }
    }
    app.push_back(":020000040030CA");
    app.insert(app.end(), fuses.begin(), fuses.end());
    s.m.HexLoader(dir.Write("app.hex", Lines(app)), false, true, 64);
    const std::string e = s.Error([&] { s.m.HexLoader(f, true, true, 64); });
    EXPECT_EQ(e, c.want.empty() ? "<no error>" : c.want);
    if (!c.want.empty()) continue;
    // the mixed file in the form of the file's family carries every byte of the file,
    // configuration included (the PIC18F form may leave out 0xFF bytes)
    const auto out = HexBytes(small ? s.m.HexText16F() : s.m.HexText18F());
    for (const auto& [a, b] : HexBytes(ReadText(f))) {
      const auto it = out.find(a);
      if (it == out.end())
        EXPECT_TRUE(!small && b == 0xFF) << std::hex << a;
      else
        EXPECT_EQ(it->second, b) << std::hex << a;
    }
    if (!srec) continue;
    const std::string bin = dir.File("ref.bin");
    const std::string cmd =
        "srec_cat '" + f + "' -Intel -crop 0 0xF000 -fill 0x3F 0 0xF000 -o '" + bin + "' -Binary 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(rc) && WEXITSTATUS(rc) == 0) << cmd;
    std::string ref = ReadText(bin);
    ASSERT_EQ(ref.size(), 0xF000u);
    for (size_t i = 0; i < small; ++i) ref[0x400E + i] = 0x3F;  // fuses, not code
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.m.Map), 0xF000), ref);
  }
}

}  // namespace
}  // namespace vex
