// The file manager against the simulated RTU: uploads in 64-byte blocks with resumption from the
// device's size, downloads written whole and atomically, the size limits, the completion wait,
// the file table, the erase commands, the file dialogs and the settings file.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "rtu/Rtu3file.h"
#include "rtu/Rtu3sim.h"
#include "tests/rtu/RtuRig.h"

namespace vex {
namespace {

using namespace rtutest;

struct FileRig : Rig {
  explicit FileRig(Via via = Via::Tcp, std::vector<std::string> faults = {}) : Rig(via, std::move(faults)) {
    fm.Home = dir.path().string();
    fm.Dialogs = &dialogs;
    fm.CompletionStepMs = 50;
    fm.CompletionMs = 3000;
    fm.Sim = &sim;
    sim.Dialogs = &dialogs;
    fm.Changed = [this] { statuses.push_back(fm.StatusLine); };
  }
  std::string Put(const std::string& name, const ByteStr& data) { return dir.Write(name, data); }
  FakeDialogs dialogs;
  TRtu3sim1 sim{ports, main};
  TRtu3file1 fm{ports, main};
  std::vector<std::string> statuses;
};

TEST(Rtu3file, ThousandByteUploadGoesInSixteenBlocksAndBecomesTheFile) {
  FileRig r;
  const ByteStr file = RtuFile(1000, 0x6122);
  const std::string f = r.Put("Stn00001.rtua", file);
  r.fm.Names[0].SetText(f);
  r.fm.UploadButton[0].Click();
  EXPECT_EQ(r.fm.StatusLine, "Uploading 16 / 16 Complete.");
  EXPECT_EQ(r.fm.ProgressPos, 1000u);
  EXPECT_EQ(r.fm.ProgressMax, 1000u);
  EXPECT_FALSE(r.fm.Transfer);
  EXPECT_EQ(r.ports.ComBln, 500) << "reply window restored";
  // the status line counted 0 .. 15 blocks before each block
  int shown = 0;
  for (const auto& s : r.statuses)
    if (s.rfind("Uploading ", 0) == 0 && s.find("Complete") == std::string::npos) ++shown;
  EXPECT_GE(shown, 16);
  EXPECT_NE(std::find(r.statuses.begin(), r.statuses.end(), "Uploading 15 / 16"), r.statuses.end());
  // header report
  EXPECT_TRUE(r.lines.Has("File Uploading: " + f));
  EXPECT_TRUE(r.lines.Has("Text=          BRIX3 Aplic File       TEST"));
  EXPECT_TRUE(r.lines.Has("Version=      61.034"));
  EXPECT_TRUE(r.lines.Has("CRC=          $" + IntToHex(Get16(file, 62), 4)));
  EXPECT_TRUE(r.lines.Has("Size=           1K (1000bytes)"));
  EXPECT_TRUE(r.lines.Has("Block=         16 blocks"));
  EXPECT_TRUE(r.lines.Has("File Upload complete..."));
  // the completion wait saw the device take it; the table shows both slots
  EXPECT_EQ(r.DeviceFile(0xF1), file);
  EXPECT_EQ(r.fm.Cells[1][0], "F1- Applic File");
  EXPECT_EQ(r.fm.Cells[1][1], "61.034");
  EXPECT_EQ(r.fm.Cells[1][3], "1000");
  EXPECT_EQ(r.fm.Cells[2][3], "1000");
  EXPECT_EQ(r.fm.Cells[1][7], "0");                   // Ban
  EXPECT_EQ(r.fm.Cells[1][4], "1048576");             // Space
  EXPECT_EQ(r.fm.Cells[1][8], InttoBase(800000000));  // Age of the header
  EXPECT_EQ(r.fm.Cells[1][5], r.fm.Cells[1][6]);      // Sum = Calc
}

// Faults that lose the reply after the device stored the block, or refuse a block: the upload
// carries on from the size the device reports and the device's file is byte-exact.
struct ResumeCase {
  const char* name;
  std::vector<std::string> faults;
};

class Rtu3fileResume : public ::testing::TestWithParam<ResumeCase> {};

TEST_P(Rtu3fileResume, InterruptedUploadResumesFromTheDeviceSize) {
  FileRig r(Via::Tcp, GetParam().faults);
  r.ports.LabeledEdit34 = "100";
  const ByteStr file = RtuFile(3000, 0x6105);
  r.fm.Names[2].SetText(r.Put("m.rtum", file));
  r.fm.UploadButton[2].Click();
  EXPECT_EQ(r.fm.StatusLine, "Uploading 47 / 47 Complete.");
  ByteStr down(file.size(), '\0');
  for (size_t n = 0; n < file.size(); n += 64) {
    const auto c = static_cast<uint8_t>(std::min<size_t>(64, file.size() - n));
    r.ports.ModReadFileRtu(0xF3, static_cast<uint32_t>(n), c, reinterpret_cast<uint8_t*>(down.data() + n),
                           false);
  }
  EXPECT_EQ(down, file);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, Rtu3fileResume,
    ::testing::Values(ResumeCase{"ReplyLostAfterStore", {"noreply fn=21 nth=5", "noreply fn=21 nth=20"}},
                      ResumeCase{"BlockRefused", {"exception fn=21 code=4 nth=9"}},
                      ResumeCase{"SameBlockTwice", {"noreply fn=21 nth=7", "noreply fn=21 nth=8"}},
                      ResumeCase{"LastBlockReplyLost", {"noreply fn=21 nth=47"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rtu3file, ThirdFailureOfABlockEndsTheUpload) {
  FileRig r(Via::Tcp, {"noreply fn=21 times=3"});
  r.ports.LabeledEdit34 = "100";
  r.fm.Names[0].SetText(r.Put("a.rtua", RtuFile(1000, 0x6101)));
  const std::string m = MessageOf([&] { r.fm.UploadButton[0].Click(); });
  EXPECT_EQ(m, "No Response");
  EXPECT_EQ(r.fm.StatusLine, "Error Occured: No Response Uploading 0 / 16");
  EXPECT_FALSE(r.fm.Transfer);
  EXPECT_EQ(r.ports.ComBln, 100);
}

TEST(Rtu3file, UploadSizeLimitIsCheckedBeforeAnythingIsSent) {
  FileRig r;
  r.fm.Names[0].SetText(r.Put("big.rtua", ByteStr(cRtuMemMax + 1, 'x')));
  EXPECT_EQ(MessageOf([&] { r.fm.UploadButton[0].Click(); }), "File is too big=1048577 max=1048576");
  EXPECT_EQ(r.fm.StatusLine, "Error Occured: File is too big=1048577 max=1048576");
  EXPECT_EQ(r.ports.BotMod, 0) << "no discovery";
  EXPECT_TRUE(r.DeviceFile(0xB1).empty()) << "nothing sent";
  // exactly the buffer is taken: the transfer starts (and is cancelled after a few blocks)
  r.fm.Names[0].SetText(r.Put("full.rtua", ByteStr(cRtuMemMax, 'y')));
  int blocks = 0;
  r.ports.ProcessMessages = [&] {
    if (r.fm.Transfer && r.fm.ProgressMax == cRtuMemMax && ++blocks == 4) r.fm.Cancel();
  };
  EXPECT_EQ(MessageOf([&] { r.fm.UploadButton[0].Click(); }), "User Break");
  EXPECT_EQ(r.fm.ProgressMax, cRtuMemMax);
  EXPECT_GT(r.DeviceFile(0xB1).size(), 0u);
}

TEST(Rtu3file, RefusedUploadsAndDownloads) {
  FileRig r;
  const std::string f = r.Put("x.rtua", RtuFile(200, 0x6101));
  const struct {
    const char* what;
    std::function<void()> run;
    const char* message;
  } cases[] = {
      {"upload register", [&] { r.fm.FileUpload(0xF10, 0xB1, f); },
       "File register not in range [$B10..$BF0]"},
      {"upload number", [&] { r.fm.FileUpload(0xB10, 0xF1, f); }, "File number not in range [$B1..$BF]"},
      {"download register", [&] { r.fm.FileDownload(0xA10, 0xF1, f); },
       "File register not in range [$B10..$BF0,$F10..$FF0]"},
      {"download number", [&] { r.fm.FileDownload(0xF10, 0xA1, f); },
       "File number not in range [$B1..$BF,$F1..$FF]"},
      {"download name", [&] { r.fm.FileDownload(0xF10, 0xF1, ""); }, "File name must be specified"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(MessageOf(c.run), c.message);
  }
  EXPECT_FALSE(r.ports.ConnectPortChecked()) << "refused before the link was opened";
  // a missing file is refused with the system's message
  EXPECT_NE(MessageOf([&] { r.fm.FileUpload(0xB10, 0xB1, r.dir.File("none.rtua")); }).find("none.rtua"),
            std::string::npos);
}

TEST(Rtu3file, OtherTargetIsRefusedAndTheWindowClosesOnIdle) {
  FileRig r;
  auto other = emu::test::StartEmu("vex324");
  r.ports.LabeledEdit31 = std::to_string(other->TcpPort());
  r.fm.Names[0].SetText(r.Put("a.rtua", RtuFile(200, 0x6101)));
  EXPECT_EQ(MessageOf([&] { r.fm.UploadButton[0].Click(); }), "Target model incompatible");
  EXPECT_FALSE(r.fm.Transfer);
  bool hidden = false;
  r.fm.HideWindow = [&] { hidden = true; };
  r.fm.DoIdle();
  EXPECT_TRUE(hidden);
}

TEST(Rtu3file, DownloadRoundTripAndFailedDownloadsKeepTheOldFile) {
  FileRig r;
  const ByteStr file = RtuFile(5000, 0x6133);
  r.fm.Names[0].SetText(r.Put("up.rtua", file));
  r.fm.UploadButton[0].Click();
  const std::string out = r.dir.File("down.rtua");
  r.fm.Names[3].SetText(out);
  r.main.ActivePage = 0;
  r.fm.DownloadButton[0].Click();
  EXPECT_EQ(r.fm.StatusLine, "File Download complete...");
  EXPECT_EQ(fwtest::ReadText(out), file);
  EXPECT_EQ(r.main.ActivePage, r.main.AboutPage());
  EXPECT_TRUE(r.lines.Has("File=         241"));
  EXPECT_TRUE(r.lines.Has("Version=   61.051"));
  EXPECT_TRUE(r.lines.Has("Size=        5K (5000)"));

  // cancelled and failing downloads leave the existing file as it was, and no stray file
  const ByteStr old = "the old file";
  r.Put("down.rtua", old);
  int reads = 0;
  r.ports.ProcessMessages = [&] {
    if (r.fm.Transfer && ++reads == 20) r.fm.Cancel();
  };
  EXPECT_EQ(MessageOf([&] { r.fm.DownloadButton[0].Click(); }), "User Break");
  EXPECT_EQ(fwtest::ReadText(out), old);
  r.ports.ProcessMessages = nullptr;
  r.Control("fault noreply fn=20 times=3");
  r.ports.LabeledEdit34 = "100";
  EXPECT_EQ(MessageOf([&] { r.fm.DownloadButton[0].Click(); }), "No Response");
  EXPECT_EQ(fwtest::ReadText(out), old);
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(r.dir.path()))
    names.insert(e.path().filename().string());
  EXPECT_EQ(names, (std::set<std::string>{"down.rtua", "up.rtua"})) << "no partial or temporary file";
  // two failed attempts of a block are retried at the same offset
  r.Control("fault noreply fn=20 times=2");
  r.fm.DownloadButton[0].Click();
  EXPECT_EQ(fwtest::ReadText(out), file);
}

TEST(Rtu3file, EraseWaitsForTheDeviceThenShowsTheTable) {
  FileRig r;
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    r.Rtu().SetTimings(600, 150);
  }
  r.fm.Names[0].SetText(r.Put("a.rtua", RtuFile(300, 0x6101)));
  r.fm.UploadButton[0].Click();
  ASSERT_EQ(r.fm.Cells[1][3], "300");
  r.dialogs.confirm = false;
  r.fm.EraseButton[0].Click();
  EXPECT_EQ(r.fm.Cells[1][3], "300") << "not confirmed: nothing sent";
  r.dialogs.confirm = true;
  const auto t0 = std::chrono::steady_clock::now();
  r.fm.EraseButton[0].Click();
  const auto waited = std::chrono::steady_clock::now() - t0;
  EXPECT_GE(waited, std::chrono::milliseconds(550)) << "waited for Ban to read 0";
  EXPECT_EQ(r.fm.Cells[1][3], "0");
  EXPECT_EQ(r.fm.Cells[2][7], "0");
  uint16_t ers[2];
  r.ports.ModReadMulti(0x310, 2, ers, false);
  EXPECT_EQ(ers[0], 133);
}

TEST(Rtu3file, EraseCommandsAndTheirVisibility) {
  FileRig r;
  EXPECT_FALSE(r.fm.EraseFlashVisible());
  EXPECT_FALSE(r.fm.GeneratorsVisible());
  // the privileged erases do nothing outside administrator and service mode
  r.fm.EraseButton[4].Click();
  EXPECT_TRUE(r.dialogs.questions.empty());
  r.main.SrvMod = true;
  EXPECT_TRUE(r.fm.EraseFlashVisible());
  // each button's command as the device reports it back
  const uint16_t status[6] = {133, 134, 135, 132, 131, 136};
  for (int k = 0; k < 6; ++k) {
    SCOPED_TRACE(cRtuErases[k].Caption);
    r.fm.EraseButton[k].Click();
    EXPECT_EQ(r.ports.ModRead(0x310, false), status[k]);
  }
  EXPECT_EQ(r.dialogs.questions.size(), 6u);
  r.main.DesMod = true;
  EXPECT_TRUE(r.fm.GeneratorsVisible());
}

TEST(Rtu3file, SystemCommandsAreForwardedToTheMonitor) {
  FileRig r;
  const struct {
    TControl* button;
    uint16_t status;
  } cases[] = {{&r.fm.RestartNetwork, 164}, {&r.fm.SafeMode, 151}, {&r.fm.RestartPipes, 156}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.button->Caption);
    c.button->Click();
    EXPECT_EQ(r.ports.ModRead(0x311, false), c.status);
  }
  EXPECT_EQ(r.dialogs.questions.size(), 3u);
}

TEST(Rtu3file, SelectNameStartsWhereTheFieldPoints) {
  FileRig r;
  const std::string existing = r.Put("mine.rtuc", "x");
  const struct {
    int field;
    std::string text;
    const char* kind;
    std::string dir, name;
    const char* title;
    const char* ext;
  } cases[] = {
      {0, "", "open", r.dir.File("Brix3/Aplics"), "Stn00001.rtua", "Open BRIX Application Files", "rtua"},
      {1, existing, "open", r.dir.path().string(), "mine.rtuc", "Open BRIX Config Files", "rtuc"},
      {2, "/no/such/P.rtum", "open", r.dir.File("Brix3/Encaps"), "P.rtum",
       "Open BRIX Encapsulated Modul Files", "rtum"},
      {3, "", "save", r.dir.File("Brix3/Aplics"), "Stn00001-Down.rtua", "Save BRIX Application File", "rtua"},
      {4, "", "save", r.dir.File("Brix3/Config"), "Stn00001-Down.rtuc", "Save BRIX Config File", "rtuc"},
      {5, "", "save", r.dir.File("Brix3/Encaps"), "Stn00001-Down.rtum", "Save BRIX Encapsulated Modul File",
       "rtum"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    r.fm.Names[static_cast<size_t>(c.field)].SetText(c.text);
    r.dialogs.chosen = "/chosen/" + std::to_string(c.field);
    r.fm.SelectName(c.field);
    EXPECT_EQ(r.dialogs.kinds.back(), c.kind);
    EXPECT_EQ(r.dialogs.opened.back().InitialDir, c.dir);
    EXPECT_EQ(r.dialogs.opened.back().FileName, c.name);
    EXPECT_EQ(r.dialogs.opened.back().Title, c.title);
    EXPECT_EQ(r.dialogs.opened.back().DefaultExt, c.ext);
    EXPECT_EQ(r.fm.Names[static_cast<size_t>(c.field)].Text(), r.dialogs.chosen);
    EXPECT_TRUE(std::filesystem::is_directory(c.dir));
  }
  EXPECT_EQ(r.dialogs.opened[0].Filter, "(*.rtua) Brix Application Files|*.rtua|(*.*) All Files|*.*");
  EXPECT_EQ(r.dialogs.opened[1].Filter, "(*.rtuc) Rtu Config Files|*.rtuc|(*.*) All Files|*.*");
  EXPECT_EQ(r.dialogs.opened[2].Filter, "(*.rtum) Encap Modul Files|*.rtum|(*.*) All Files|*.*");
  // a cancelled dialog leaves the field
  r.dialogs.pick = false;
  r.fm.SelectName(0);
  EXPECT_EQ(r.fm.Names[0].Text(), "/chosen/0");
}

TEST(Rtu3file, SettingsAreKeptInTheToolsFileBesideOtherSections) {
  FileRig r;
  const std::string ini = r.dir.File("Brix3/Brix3prod.ini");
  std::filesystem::create_directories(r.dir.File("Brix3"));
  r.Put("Brix3/Brix3prod.ini", "[ModFiles]\nLabeledEdit0 = /x/lpt.hex\n");
  for (int k = 0; k < 6; ++k) r.fm.Names[static_cast<size_t>(k)].SetText("/files/" + std::to_string(k));
  r.fm.FormHide();
  const auto keys = ReadIniSection(ini, "RtuFiles");
  for (int k = 0; k < 6; ++k) EXPECT_EQ(keys.at(TRtu3file1::NameKey(k)), "/files/" + std::to_string(k));
  EXPECT_EQ(ReadIniSection(ini, "ModFiles").at("LabeledEdit0"), "/x/lpt.hex");
  TRtu3file1 again(r.ports, r.main);
  again.Home = r.fm.Home;
  again.ReadSettings();
  EXPECT_EQ(again.Names[5].Text(), "/files/5");
  // first showing reads them and fills the table once
  TRtu3file1 shown(r.ports, r.main);
  shown.Home = r.fm.Home;
  shown.FormShow();
  EXPECT_EQ(shown.Names[3].Text(), "/files/3");
  EXPECT_EQ(shown.Cells[1][4], "1048576");
  EXPECT_TRUE(shown.Shw);
}

TEST(Rtu3file, UploadAndDownloadOverTheSerialLine) {
  FileRig r(Via::Serial);
  const ByteStr file = RtuFile(700, 0x6140);
  r.fm.Names[1].SetText(r.Put("c.rtuc", file));
  r.fm.UploadButton[1].Click();
  EXPECT_EQ(r.fm.StatusLine, "Uploading 11 / 11 Complete.");
  r.fm.Names[4].SetText(r.dir.File("c-down.rtuc"));
  r.fm.DownloadButton[1].Click();
  EXPECT_EQ(fwtest::ReadText(r.dir.File("c-down.rtuc")), file);
}

}  // namespace
}  // namespace vex
