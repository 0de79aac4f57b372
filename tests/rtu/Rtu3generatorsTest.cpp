// The module firmware encapsulator and the application file generator: file layouts checked
// byte by byte with independent arithmetic, every refusal leaving the output untouched, and the
// settings file. A generated application file is then uploaded to the simulated RTU, which must
// take it as sound.
#include <gtest/gtest.h>

#include "rtu/Rtu3app.h"
#include "rtu/Rtu3encap.h"
#include "rtu/Rtu3file.h"
#include "tests/rtu/RtuRig.h"

namespace vex {
namespace {

using namespace rtutest;
using fwtest::Bytes;

// An application image in Intel HEX: the 8-byte header (Ver in word 3) and `bytes` in all, from
// `start`, in 16-byte records (bank records where the image passes 64 KiB).
std::string HexImage(uint16_t ver, size_t bytes, unsigned start = 0x800) {
  std::vector<std::string> lines = {";PIC18F4620"};
  Bytes all(bytes);
  for (size_t i = 0; i < bytes; ++i) all[i] = static_cast<uint8_t>(i * 7 + 1);
  for (int i = 0; i < 6; ++i) all[static_cast<size_t>(i)] = 0;
  all[6] = static_cast<uint8_t>(ver & 0xFF);
  all[7] = static_cast<uint8_t>(ver >> 8);
  unsigned bank = 0;
  for (size_t i = 0; i < bytes; i += 16) {
    const unsigned a = start + static_cast<unsigned>(i);
    if ((a >> 16) != bank) lines.push_back(fwtest::Bank(bank = a >> 16));
    lines.push_back(fwtest::Data(
        a & 0xFFFF,
        Bytes(all.begin() + static_cast<long>(i), all.begin() + static_cast<long>(std::min(bytes, i + 16)))));
  }
  lines.push_back(fwtest::kEof);
  return fwtest::Lines(lines);
}

// An RTU application image in S-records: signature words, Ver bytes as given, `bytes` in all.
std::string MotImage(size_t bytes, Bytes head = {0xCD, 0x00, 0x02, 0x20, 0x00, 0x00, 0x61, 0x22},
                     unsigned start = 0x2000) {
  std::vector<std::string> lines = {fwtest::SRec('0', 0, {'h', 'd', 'r'})};
  Bytes all(bytes);
  for (size_t i = 0; i < bytes; ++i) all[i] = static_cast<uint8_t>(i * 5 + 3);
  std::copy(head.begin(), head.end(), all.begin());
  for (size_t i = 0; i < bytes; i += 32)
    lines.push_back(fwtest::SRec(
        '2', start + static_cast<unsigned>(i),
        Bytes(all.begin() + static_cast<long>(i), all.begin() + static_cast<long>(std::min(bytes, i + 32)))));
  lines.push_back(fwtest::SRec('8', start, {}));
  return fwtest::Lines(lines);
}

uint32_t Sum(const ByteStr& s, size_t from, size_t n) {
  uint32_t sum = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; i += 4) sum -= Get32(s, from + i);
  return sum;
}

// Header fields every RTU file shares.
void CheckHeader(const ByteStr& f, const std::string& idf, uint16_t ver, uint16_t vrc) {
  ASSERT_GE(f.size(), 64u);
  EXPECT_EQ(static_cast<uint8_t>(f[0]), 39);
  EXPECT_EQ(f.substr(1, 38), idf);
  EXPECT_EQ(f[39], '\0');
  EXPECT_EQ(Get32(f, 44), f.size() - 64) << "Siz: everything after the header";
  const size_t len = f.size() - 72;
  EXPECT_EQ(Get32(f, 64 + len), len) << "trailer length";
  EXPECT_EQ(Get32(f, 64 + len + 4), Sum(f, 64, len)) << "trailer checksum";
  EXPECT_EQ(Get32(f, 48), Sum(f, 64, len)) << "Sum";
  EXPECT_EQ(Get16(f, 52), ver);
  EXPECT_EQ(Get16(f, 54), 64);
  EXPECT_EQ(Get16(f, 56), 0);
  EXPECT_EQ(Get16(f, 58), vrc);
  EXPECT_EQ(Get16(f, 60), 16);
  EXPECT_EQ(Get16(f, 62), fwtest::BitCrc(reinterpret_cast<const uint8_t*>(f.data()), 62));
}

struct EncapRig {
  EncapRig() {
    enc.Home = dir.path().string();
    enc.Mesaj = [this](const std::string& m) { lines.push_back(m); };
    enc.Now = [] { return EncodeDateTime(2026, 12, 11, 10, 0, 0); };
    enc.Output.SetText(dir.File("out.rtum"));
  }
  int Row(int slot) const {
    for (size_t i = 0; i < cEncapRows.size(); ++i)
      if (cEncapRows[i].Slot == slot) return static_cast<int>(i);
    return -1;
  }
  void Put(int slot, const std::string& name, const std::string& text) {
    const auto k = static_cast<size_t>(Row(slot));
    enc.Files[k].SetText(dir.Write(name, text));
    enc.Ticks[k] = true;
  }
  ByteStr Out() const { return fwtest::ReadText(dir.File("out.rtum")); }
  fwtest::TempDir dir;
  TMixer1 mixer;
  TRtu3encap1 enc{mixer};
  std::vector<std::string> lines;
};

TEST(Rtu3encap, NothingTickedGivesTheTwoHundredByteFile) {
  EncapRig r;
  r.enc.ProcessFiles();
  const ByteStr f = r.Out();
  ASSERT_EQ(f.size(), 200u);
  CheckHeader(f, TRtu3encap1::cIdf, 0x6301,
              fwtest::BitCrc(reinterpret_cast<const uint8_t*>(ByteStr(128, '\0').data()), 128));
  EXPECT_EQ(Get32(f, 44), 136u);
  EXPECT_EQ(f.substr(64, 128), ByteStr(128, '\0'));
  EXPECT_EQ(Get32(f, 192), 128u);
  EXPECT_EQ(Get32(f, 196), 0xFFFFFFFFu);
  EXPECT_EQ(Get32(f, 40), DateTimetoBase(EncodeDateTime(2026, 12, 11, 10, 0, 0)));
  EXPECT_EQ(r.lines.back(), "Complete: " + r.dir.File("out.rtum"));
}

TEST(Rtu3encap, ImagesGoToTheirSlotsInProcessingOrder) {
  EncapRig r;
  r.Put(nMdl308, "v308.hex", HexImage(0x1458, 1270));  // 40 segments of 32 bytes
  r.Put(nMdl216, "v216.hex", HexImage(0x1446, 1280));
  r.Put(nMdl748, "t48.hex", HexImage(0x056E, 100));  // Tord48 after Vex936: last
  r.enc.ProcessFiles();
  const ByteStr f = r.Out();
  const struct {
    int slot;
    uint16_t ver, siz;
    uint32_t ofs;
  } want[] = {{nMdl216, 0x1446, 1280, 128}, {nMdl308, 0x1458, 1280, 1408}, {nMdl748, 0x056E, 128, 2688}};
  for (const auto& w : want) {
    SCOPED_TRACE(w.slot);
    EXPECT_EQ(Get16(f, 64 + 8 * w.slot), w.ver);
    EXPECT_EQ(Get16(f, 64 + 8 * w.slot + 2), w.siz);
    EXPECT_EQ(Get32(f, 64 + 8 * w.slot + 4), w.ofs);
    EXPECT_EQ(Get16(f, 64 + w.ofs + 4), w.siz / (w.slot == nMdl748 ? 64 : 32)) << "Top in segments";
    EXPECT_EQ(Get16(f, 64 + w.ofs + 6), w.ver);
  }
  EXPECT_EQ(f.size(), 64u + 2816 + 8);
  CheckHeader(f, TRtu3encap1::cIdf, 0x6301,
              fwtest::BitCrc(reinterpret_cast<const uint8_t*>(f.data()) + 64, 128));
  // the image bytes after the header words are the file's
  EXPECT_EQ(static_cast<uint8_t>(f[64 + 1408 + 8]), static_cast<uint8_t>(8 * 7 + 1));
  EXPECT_EQ(std::count(r.lines.begin(), r.lines.end(), "File: 1280/2K   Encapsulation: 1480/2K "), 1);
}

TEST(Rtu3encap, RefusedRowsLeaveTheOutputUntouched) {
  EncapRig r;
  const std::string v308 = HexImage(0x1458, 640);
  struct Case {
    const char* what;
    std::function<void()> setup;
    std::string message;
  };
  const Case cases[] = {
      {"edition 20 in the ExO row", [&] { r.Put(nMdlX308, "a.hex", v308); },
       "Firmware Version mismatch: 58.020"},
      {"another module's image", [&] { r.Put(nMdl308, "b.hex", HexImage(0x1446, 640)); },
       "Firmware Model mismatch: 46.020"},
      {"edition 22 in the classic row", [&] { r.Put(nMdl216, "c.hex", HexImage(0x1646, 640)); },
       "Firmware Version mismatch: 46.022"},
      {"three images past 128 KiB",
       [&] {
         r.Put(nMdlLpt, "l.hex", HexImage(0x0103, 45000));
         r.Put(nMdl924, "n24.hex", HexImage(0x0184, 45000));
         r.Put(nMdl932, "n32.hex", HexImage(0x0183, 45000));
       },
       "Encapfile Size Exceeded: 135368 > 131072"},
      {"an image longer than a vector can say", [&] { r.Put(nMdl936, "n36.hex", HexImage(0x018A, 70000)); },
       "Modul image too big for its vector: 70016 > 65535"},
      {"a malformed file", [&] { r.Put(nMdl924, "bad.hex", ":00000001FE\r\n"); }, "Sum Failure Line=1"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (size_t i = 0; i < r.enc.Ticks.size(); ++i) r.enc.Ticks[i] = false;
    r.dir.Write("out.rtum", "previous");
    c.setup();
    EXPECT_EQ(MessageOf([&] { r.enc.ProcessFiles(); }), c.message);
    EXPECT_EQ(r.Out(), "previous");
  }
  // the ExO row takes edition 22 with 64-byte segments
  for (size_t i = 0; i < r.enc.Ticks.size(); ++i) r.enc.Ticks[i] = false;
  r.Put(nMdlX308, "x.hex", HexImage(0x1658, 100));
  r.enc.ProcessFiles();
  EXPECT_EQ(Get16(r.Out(), 64 + 8 * nMdlX308 + 2), 128);
  // a slot outside the table
  EXPECT_EQ(MessageOf([&] { r.enc.Capsulate(r.dir.File("x.hex"), 0x58, 16, 64, {}); }),
            "Encapfile Vector Range: 16/16");
}

TEST(Rtu3encap, TickedRowWithoutFileIsSkipped) {
  EncapRig r;
  r.enc.Ticks[0] = true;
  r.enc.ProcessFiles();
  EXPECT_EQ(r.Out().size(), 200u);
}

TEST(Rtu3encap, CalcFileOfOneWord) {
  const uint8_t one[4] = {1, 0, 0, 0};
  EXPECT_EQ(CalcFile(one, 4), 0xFFFFFFFEu);
  ByteStr p("\x01\x00\x00\x00", 4);
  EXPECT_EQ(AppendTrailer(p), 0xFFFFFFFEu);
  EXPECT_EQ(p, ByteStr("\x01\x00\x00\x00\x04\x00\x00\x00\xFE\xFF\xFF\xFF", 12));
  ByteStr odd("\x01\x02\x03\x04\x05", 5);  // zero-padded to whole words
  AppendTrailer(odd);
  EXPECT_EQ(Get32(odd, 8), 8u);
  EXPECT_EQ(Get32(odd, 12), 0xFFFFFFFFu - 0x04030201u - 0x05u);
}

TEST(Rtu3encap, SettingsRoundTrip) {
  EncapRig r;
  for (size_t i = 0; i < 9; ++i) {
    r.enc.Files[i].SetText("/m/" + std::to_string(i) + ".hex");
    r.enc.Ticks[i] = i % 2 == 1;
  }
  r.enc.Width = 900;
  r.enc.FormHide();
  const auto keys = ReadIniSection(r.dir.File("Brix3/Brix3prod.ini"), "ModFiles");
  EXPECT_EQ(keys.at("LabeledEdit6"), "/m/6.hex") << "Tord48 is the seventh field";
  EXPECT_EQ(keys.at("CheckBox1"), "1");
  EXPECT_EQ(keys.at("CheckBox2"), "0");
  EXPECT_EQ(keys.at("Rtu3encap1"), "900");
  TMixer1 m2;
  TRtu3encap1 again(m2);
  again.Home = r.enc.Home;
  again.FormShow();
  for (size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(again.Files[i].Text(), r.enc.Files[i].Text());
    EXPECT_EQ(again.Ticks[i], r.enc.Ticks[i]);
  }
  EXPECT_EQ(again.Output.Text(), r.enc.Output.Text());
  EXPECT_EQ(again.Width, 900);
}

TEST(Rtu3encap, FieldDialogsStartInTheFileFolderOrTheSlotFolder) {
  EncapRig r;
  FakeDialogs d;
  r.enc.Dialogs = &d;
  d.chosen = "/picked.hex";
  const auto k = static_cast<size_t>(r.Row(nMdl748));
  r.enc.Files[k].SetText("/no/such/folder/t.hex");
  r.enc.FileDblClick(static_cast<int>(k));
  EXPECT_EQ(d.opened.back().InitialDir, r.dir.File("Vex748/Firmware"));
  EXPECT_EQ(d.opened.back().FileName, "t.hex");
  EXPECT_EQ(d.opened.back().Title, "Select Modul Firmware File");
  EXPECT_EQ(d.opened.back().Filter, "(*.hex) Modul Firmware Files|*.hex|(*.*) All files|*.*");
  EXPECT_EQ(r.enc.Files[k].Text(), "/picked.hex");
  r.enc.Files[k].SetText(r.dir.File("here.hex"));
  r.enc.FileDblClick(static_cast<int>(k));
  EXPECT_EQ(d.opened.back().InitialDir, r.dir.path().string());
  r.enc.Output.SetText("");
  r.enc.OutputDblClick();
  EXPECT_EQ(d.kinds.back(), "save");
  EXPECT_EQ(d.opened.back().InitialDir, r.dir.File("Brix3/Encaps"));
  EXPECT_EQ(d.opened.back().Title, "Save BRIX Encapsulated Modul File");
  EXPECT_EQ(d.opened.back().DefaultExt, "rtum");
}

struct AppRig {
  AppRig() {
    app.Home = dir.path().string();
    app.Mesaj = [this](const std::string& m) { lines.push_back(m); };
    mixer.Mesaj = app.Mesaj;
    app.Now = [] { return EncodeDateTime(2026, 12, 11, 10, 0, 0); };
    app.Output.SetText(dir.File("app.rtua"));
  }
  ByteStr Out() const { return fwtest::ReadText(dir.File("app.rtua")); }
  bool Said(const std::string& s) const { return std::find(lines.begin(), lines.end(), s) != lines.end(); }
  fwtest::TempDir dir;
  TMixer1 mixer;
  TRtu3app1 app{mixer};
  std::vector<std::string> lines;
};

TEST(Rtu3app, FiveThousandByteImage) {
  AppRig r;
  r.app.Firmware.SetText(r.dir.Write("Rtu3boot.mot", MotImage(5000)));
  r.app.ProcessFiles();
  const ByteStr f = r.Out();
  ASSERT_EQ(f.size(), 5128u);
  EXPECT_EQ(Get32(f, 44), 5064u);
  CheckHeader(f, TRtu3app1::cIdf, 0x6122, 0);
  EXPECT_EQ(InttoModel(Get16(f, 52)), "61.034");
  EXPECT_TRUE(r.Said("Model=          61.034"));
  EXPECT_TRUE(r.Said("File: 5056/5K   Encapsulation: 5128/6K "));
  EXPECT_EQ(f.substr(64, 4), ByteStr("\xCD\x00\x02\x20", 4));
  EXPECT_EQ(f.substr(64 + 5000, 56), ByteStr(56, '\0')) << "segment padding of the S-record store";
}

TEST(Rtu3app, RefusalsWriteNothing) {
  AppRig r;
  struct Case {
    const char* what;
    std::string mot;
    std::string message;
    bool sizeLine;
  };
  const Case cases[] = {
      {"first signature word", MotImage(300, {0xCE, 0x00, 0x02, 0x20, 0, 0, 0x61, 0x22}),
       "Application CrcLo mismatch", true},
      {"second signature word", MotImage(300, {0xCD, 0x00, 0x02, 0x21, 0, 0, 0x61, 0x22}),
       "Application CrcHi mismatch", true},
      {"another model", MotImage(300, {0xCD, 0x00, 0x02, 0x20, 0, 0, 0x60, 0x22}),
       "Firmware model mismatch: 60.034", false},
      {"past 256 KiB", MotImage(262100), "Encapfile Size Exceeded: 262216 > 262144", true},
      {"data before the start marker", fwtest::Lines({fwtest::SRec('2', 0, {1, 2})}),
       "Start marker not found Line=1", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    r.lines.clear();
    r.dir.Write("app.rtua", "previous");
    r.app.Firmware.SetText(r.dir.Write("x.mot", c.mot));
    EXPECT_EQ(MessageOf([&] { r.app.ProcessFiles(); }), c.message);
    EXPECT_EQ(r.Out(), "previous");
    bool size = false;
    for (const auto& l : r.lines) size = size || l.rfind("File: ", 0) == 0;
    EXPECT_EQ(size, c.sizeLine);
  }
  r.app.Firmware.SetText("");
  EXPECT_EQ(MessageOf([&] { r.app.ProcessFiles(); }), "Rtu3 Firmware: no S-record file given");
  EXPECT_EQ(r.Out(), "previous");
  // the largest image that fits
  r.app.Firmware.SetText(r.dir.Write("max.mot", MotImage(262016)));
  r.app.ProcessFiles();
  EXPECT_EQ(r.Out().size(), 262088u);
}

TEST(Rtu3app, SettingsReadOnShowWrittenOnHide) {
  AppRig r;
  r.app.Firmware.SetText("/src/Rtu3boot.mot");
  r.app.FormHide();
  const auto keys = ReadIniSection(r.dir.File("Brix3/Brix3prod.ini"), "AppFiles");
  EXPECT_EQ(keys.at("LabeledEdit1"), "/src/Rtu3boot.mot");
  EXPECT_EQ(keys.at("LabeledEdit50"), r.dir.File("app.rtua"));
  TMixer1 m2;
  TRtu3app1 again(m2);
  again.Home = r.app.Home;
  again.FormShow();
  EXPECT_EQ(again.Firmware.Text(), "/src/Rtu3boot.mot");
  // a settings file that cannot be read is refused and never rewritten
  const std::string ini = r.dir.File("Brix3/Brix3prod.ini");
  std::filesystem::remove(ini);
  std::filesystem::create_directory(ini);
  EXPECT_NE(MessageOf([&] { r.app.FormHide(); }), "(no error)");
  EXPECT_TRUE(std::filesystem::is_directory(ini));
}

TEST(Rtu3app, GeneratedFileIsTakenByTheDevice) {
  AppRig a;
  a.app.Firmware.SetText(a.dir.Write("Rtu3boot.mot", MotImage(2000)));
  a.app.ProcessFiles();
  Rig r;
  TRtu3file1 fm(r.ports, r.main);
  fm.Home = r.dir.path().string();
  fm.CompletionStepMs = 50;
  fm.Names[0].SetText(a.dir.File("app.rtua"));
  fm.UploadButton[0].Click();
  EXPECT_EQ(fm.Cells[1][1], "61.034");
  EXPECT_EQ(fm.Cells[1][2], "0") << "status: the device found the file sound";
  EXPECT_EQ(fm.Cells[1][3], std::to_string(a.Out().size()));
  EXPECT_EQ(r.DeviceFile(0xF1), a.Out());
}

}  // namespace
}  // namespace vex
