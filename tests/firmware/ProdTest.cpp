// The production run against simulated boards: a new board numbered and dated, a board
// produced again (Yes and Cancel), "User ID:", a board that keeps its firmware, the firmware
// compatibility rules of every member with their messages, the run's model and boot revision
// checks, the production log and "Next ID:" after runs that succeed and fail, and "Fw Upload".
#include <gtest/gtest.h>

#include "config/VexCfg.h"
#include "firmware/ProdEditor.h"
#include "tests/firmware/ProdRig.h"

namespace vex::test {
namespace {

std::string LogValue(const std::string& file, const char* section, const std::string& key) {
  CSimpleIniA doc;
  if (doc.LoadFile(file.c_str()) < 0) return "<no file>";
  return doc.GetValue(section, key.c_str(), "<none>");
}

BoardOptions NewBoard(BoardOptions b = {}) {
  b.bootWaitMs = 100;
  return b;
}

// A board without production number and date.
void Unnumbered(ProdRig& r) {
  std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
  r.emu->Dev().SetIdentity(0, 0, 0);
}

// A new board, the model file, a firmware file of `ver` and "Next ID:".
void NewBoardPlan(ProdRig& r, uint16_t ver, const std::string& next) {
  Unnumbered(r);
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(ver));
  r.Prod.NextId.SetText(next);
}

TEST(Production, NewBoardTakesTheNextNumberAndIsLogged) {
  ProdRig r("Vex324", NewBoard());
  Unnumbered(r);
  r.Prod.FormShow();
  EXPECT_EQ(r.Prod.NextId.Text(), "65500") << "the Vex324's first number";
  r.Prod.NextId.SetText("00012");
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(0x0754));
  r.Prod.Button1Click();
  EXPECT_FALSE(r.Ports1.ConnectPortChecked()) << "the run ends with the link closed";

  EXPECT_EQ(r.Reg(13), 12);
  EXPECT_EQ(r.Ports1.AppReg, 0x0754) << "flashed: the board ran edition 8";
  EXPECT_EQ(r.Prod.ProdId.Text(), "00012");
  EXPECT_EQ(r.Prod.ProdDate.Text(), InttoBase(DateTimetoBase(EncodeDateTime(2026, 3, 4, 5, 6, 7))));
  EXPECT_EQ(r.Prod.NextId.Text(), "00013");
  EXPECT_EQ(r.Prod.Status.Text(), "Production complete...");
  EXPECT_EQ(r.Prod.Status.Color, clProdDone);
  EXPECT_TRUE(r.Prod.ButtonEnabled);
  EXPECT_TRUE(r.Prod.PlanGroup.Enabled);
  EXPECT_EQ(r.Editor.calls, (std::vector<std::string>{"read", "setup", "load", "write", "eeprom", "restart",
                                                      "read", "backup"}));
  EXPECT_TRUE(std::filesystem::exists(r.dir / "Config" / "SN00012.eep"));
  const std::string log = (r.dir / "Vex324" / "Vex324prod.ini").string();
  EXPECT_EQ(LogValue(log, "Products", "5400012"),
            r.Prod.ProdDate.Text() + ";54.102,54.007," + r.Ports1.VexModel() + ",Model.eem,App0754.hex");
  EXPECT_EQ(LogValue(log, "Factory", "NextID"), "00013");
  EXPECT_EQ(LogValue(log, "Factory", "Modelfile"), r.modelFile);
  EXPECT_EQ(LogValue(log, "Factory", "Firmware"), r.Prod.FirmwareFile.Text());
  EXPECT_EQ(r.Logged("Production complete..."), 1);

  // a fresh window reads its plan back from the log
  TVexProd1 again(ProdMember("Vex324"), r.Ports1, r.Main1, r.Mixer1, r.Loader1);
  again.DataDir = r.Prod.DataDir;
  again.FormShow();
  EXPECT_EQ(again.NextId.Text(), "00013");
  EXPECT_EQ(again.ModelFile.Text(), r.modelFile);
}

// The run with the model's own configuration editor and a model file that editor saved.
TEST(Production, RunsTheModelsOwnConfigurationEditor) {
  ProdRig r("Vex324", NewBoard());
  TIsaMaps1 isa;
  TVexCfg1 editor(CfgMember(TVexModel::Vex324), r.Ports1, r.Main1, isa);
  editor.DataDir = r.dir.string();
  TProdEditor ed(editor);
  ASSERT_TRUE(editor.Button1Click());
  editor.LabeledEdit11.SetText("33");  // detection time of the model
  editor.SaveConfig(r.modelFile);
  r.Ports1.SetConnectPort(false);
  r.Prod.Editor = &ed;
  NewBoardPlan(r, 0x0754, "00012");
  r.Prod.Button1Click();
  EXPECT_EQ(r.Reg(13), 12);
  EXPECT_EQ(r.Reg(16), 33) << "the model file's configuration, stored before the restart";
  EXPECT_EQ(r.Prod.ProdId.Text(), "00012");
  EXPECT_EQ(r.Prod.NextId.Text(), "00013");
  EXPECT_TRUE(std::filesystem::exists(r.dir / "Vex324" / "Config" / "SN00012.eep"));
  EXPECT_NE(LogValue((r.dir / "Vex324" / "Vex324prod.ini").string(), "Products", "5400012"), "<none>");
}

// The rack modules leave out "Setup Cfg" and synchronise the module's clock before reading back.
TEST(Production, RackModuleRunSkipsSetupAndSynchronisesTheClock) {
  ProdRig r("Vex733", NewBoard({.model = "vald3"}));
  int synced = 0;
  r.Prod.SyncTime = [&] { ++synced; };
  NewBoardPlan(r, 0x0A63, "00001");
  r.Prod.Button1Click();
  EXPECT_EQ(synced, 1);
  EXPECT_EQ(r.Editor.calls,
            (std::vector<std::string>{"read", "load", "write", "eeprom", "restart", "read", "backup"}));
  EXPECT_EQ(r.Reg(13), 1);
  EXPECT_NE(LogValue((r.dir / "Vex733" / "Vex733prod.ini").string(), "Products", "6300001"), "<none>");
  EXPECT_EQ(r.Prod.NextId.Text(), "00002");
}

TEST(Production, ProducedBoardAsksAndKeepsItsAddressAndNumber) {
  ProdRig r("Vex324", NewBoard());
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    r.emu->Dev().SetIdentity(12, 0x2E0A3C00, 5);
  }
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(0x0854));
  r.Prod.NextId.SetText("00013");
  const std::string log = (r.dir / "Vex324" / "Vex324prod.ini").string();

  // Cancel: nothing changes
  r.Answers1.yes = false;
  EXPECT_EQ(MessageOf([&] { r.Prod.Button1Click(); }), "Target Already Produced");
  EXPECT_EQ(r.Answers1.asked, std::vector<std::string>{"Already Produced, Update Configuration?"});
  EXPECT_EQ(r.Prod.Status.Text(), "Error: Target Already Produced");
  EXPECT_EQ(r.Prod.Status.Color, clProdError);
  EXPECT_TRUE(r.Prod.ButtonEnabled);
  EXPECT_FALSE(std::filesystem::exists(log)) << "a failed run writes no log";
  EXPECT_EQ(r.Prod.NextId.Text(), "00013");

  // Yes: the configuration is written again, address and number kept, "Next ID:" stays
  r.Answers1.yes = true;
  r.Prod.Button1Click();
  EXPECT_EQ(r.Reg(13), 12);
  EXPECT_EQ(r.Reg(14), 5);
  EXPECT_EQ(r.Ports1.MfgDate, InttoBase(0x2E0A3C00)) << "the production date is kept";
  EXPECT_EQ(r.Prod.ProdId.Text(), "00012");
  EXPECT_EQ(r.Prod.NextId.Text(), "00013");
  EXPECT_EQ(LogValue(log, "Factory", "NextID"), "00013");
  EXPECT_NE(LogValue(log, "Products", "5400012"), "<none>");
  EXPECT_EQ(r.Logged("Target Resetting..."), 0) << "the board runs the file's Ver: not flashed";
}

TEST(Production, ProducedBoardWithTheNextNumberAdvancesItAndAnAddressOutOfRangeBecomesOne) {
  ProdRig r("Vex308", NewBoard({.model = "vex308"}));
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    r.emu->Dev().SetIdentity(44, 0x2E0A3C00, 40);
  }
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(0x0E58));
  r.Prod.NextId.SetText("00044");
  r.Answers1.yes = true;
  r.Prod.Button1Click();
  EXPECT_EQ(r.Reg(14), 1);
  EXPECT_EQ(r.Prod.NextId.Text(), "00045");
  EXPECT_NE(LogValue((r.dir / "Vex308" / "Vex308prod.ini").string(), "Products", "5800044"), "<none>");
}

TEST(Production, UserIdIsWrittenAndNextIdStays) {
  ProdRig r("Vex324", NewBoard());
  NewBoardPlan(r, 0x0854, "00012");
  r.Prod.UserIdBox.State = cbChecked;
  r.Prod.UserId.SetText("77");
  r.Prod.Button1Click();
  EXPECT_EQ(r.Prod.UserId.Text(), "00077");
  EXPECT_EQ(r.Reg(13), 77);
  EXPECT_EQ(r.Prod.ProdId.Text(), "00077");
  EXPECT_EQ(r.Prod.NextId.Text(), "00012");
  EXPECT_FALSE(r.Prod.UserIdBox.Checked());
  EXPECT_NE(LogValue((r.dir / "Vex324" / "Vex324prod.ini").string(), "Products", "5400077"), "<none>");
}

// Every member against a board of its own and one of another model: the model check and the
// boot revision rule of the run come before the files are looked at.
struct ModelCase {
  const char* unit;
  BoardOptions board;
  const char* message;
};
const ModelCase kModels[] = {
    {"Vex308", {.model = "vex308"}, "Model file missing"},
    {"Vex308", {.model = "vex324"}, "Target model incompatible"},
    {"Vex215", {.model = "vex215"}, "Model file missing"},
    {"Vex215", {.model = "vex216"}, "Target model incompatible"},
    {"Vex216", {.model = "vex216"}, "Model file missing"},
    {"Vex216", {.model = "vex215"}, "Target model incompatible"},
    {"Vex316", {.model = "vex316"}, "Model file missing"},
    {"Vex316", {.model = "vex216"}, "Target model incompatible"},
    {"Vex324", {.model = "vex324"}, "Model file missing"},
    {"Vex324", {.model = "vex924"}, "Target model incompatible"},
    {"Vex733", {.model = "vald3"}, "Model file missing"},
    {"Vex733", {.model = "vald3", .bootRev = 0x66}, "Boot version incompatible"},
    {"Vex733", {.model = "tord48"}, "Target model incompatible"},
    {"Vex748", {.model = "tord48"}, "Model file missing"},
    {"Vex748", {.model = "tord48", .bootRev = 0x64}, "Boot version incompatible"},
    {"Vex924", {.model = "vex924"}, "Model file missing"},
    {"Vex924", {.model = "vex924", .bootRev = 120}, "Boot version incompatible"},
    {"Vex924", {.model = "vex932"}, "Target model incompatible"},
    {"Vex932", {.model = "vex932", .bootRev = 119}, "Model file missing"},
    {"Vex932", {.model = "vex932", .bootRev = 99}, "Boot version incompatible"},
    {"Vex936", {.model = "vex936", .bootRev = 100}, "Model file missing"},
    {"Vex936", {.model = "vex924"}, "Target model incompatible"},
};

TEST(Production, EveryMembersModelAndBootRevisionCheck) {
  for (const ModelCase& c : kModels) {
    SCOPED_TRACE(std::string(c.unit) + " on " + c.board.model + " rev " + std::to_string(c.board.bootRev));
    ProdRig r(c.unit, c.board);
    EXPECT_EQ(MessageOf([&] { r.Prod.Button1Click(); }), c.message);
    EXPECT_EQ(r.Prod.Status.Text(), std::string("Error: ") + c.message);
  }
}

TEST(Production, FirmwareFileMissing) {
  ProdRig r("Vex324", {});
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText((r.dir / "none.hex").string());
  EXPECT_EQ(MessageOf([&] { r.Prod.Button1Click(); }), "Firmware file missing");
}

TEST(Production, RefusedEditionStopsTheRunWithTheLongMessage) {
  ProdRig r("Vex324", NewBoard());
  NewBoardPlan(r, 0x0554, "00012");
  EXPECT_EQ(MessageOf([&] { r.Prod.Button1Click(); }),
            "Firmware version not supported. Boot=54.102 File=54.005");
  EXPECT_EQ(r.Reg(13), 0) << "nothing written";
  EXPECT_EQ(r.Prod.NextId.Text(), "00012");
  EXPECT_FALSE(std::filesystem::exists(r.dir / "Vex324" / "Vex324prod.ini"));
}

// The compatibility rules by member, boot word and image Ver, for the run and for "Fw Upload".
struct CompatCase {
  const char* unit;
  uint16_t botReg, ver;
  bool run;
  const char* message;  // "" accepted
};
const CompatCase kCompat[] = {
    {"Vex324", 0x6654, 0x0654, true, ""},
    {"Vex324", 0x6654, 0x0854, false, ""},
    {"Vex324", 0x6654, 0x0554, true, "Firmware version not supported. Boot=54.102 File=54.005"},
    {"Vex324", 0x6554, 0x0554, true, ""},
    {"Vex324", 0x6554, 0x0558, false, "Firmware model mismatch. Boot=54.101 File=58.005"},
    {"Vex324", 0x6558, 0x0554, true, "Model mismatch. Boot=58.101 File=54.005"},
    {"Vex324", 0x7854, 0x1454, true, ""},
    {"Vex324", 0x8C54, 0x2854, true, ""},
    {"Vex324", 0x6954, 0x0A54, true, "Boot version not supported. Boot=54.105 File=54.010"},
    {"Vex308", 0x0158, 0x2858, true, ""},
    {"Vex308", 0x6658, 0x2A58, false, ""},
    {"Vex308", 0x6658, 0x0A58, true, "Firmware version not supported"},
    {"Vex308", 0x6654, 0x0954, true, "Target model incompatible"},
    {"Vex308", 0x6658, 0x0954, true, "Model mismatch"},
    {"Vex308", 0x7058, 0x0958, true, "Boot version not supported"},
    {"Vex216", 0x9146, 0x2D46, true, ""},
    {"Vex216", 0x6646, 0x0B46, true, "Firmware version not supported"},
    {"Vex216", 0x6646, 0x0958, true, "Firmware model mismatch"},
    {"Vex216", 0x6658, 0x0946, true, "Model mismatch"},
    {"Vex216", 0x8F46, 0x2A46, false, "Boot version not supported"},
    {"Vex316", 0x6951, 0x1151, true, ""},
    {"Vex316", 0x6951, 0x1051, true, "Firmware version not supported"},
    {"Vex316", 0x6851, 0x1151, false, "Boot version not supported"},
    {"Vex316", 0x6954, 0x1151, false, "Target model incompatible"},
    {"Vex316", 0x6954, 0x1151, true, "Model mismatch"},
    {"Vex316", 0x6951, 0x1154, true, "Firmware model mismatch"},
    {"Vex215", 0x4316, 0x4116, true, ""},
    {"Vex215", 0x4316, 0x4110, true, "Firmware model mismatch"},
    {"Vex215", 0x4316, 0x4110, false, "Model mismatch"},
    {"Vex733", 0x6563, 0x0A63, true, ""},
    {"Vex733", 0x6563, 0x0A6E, true, "Firmware model mismatch"},
    {"Vex733", 0x656E, 0x0A63, false, "Model mismatch"},
    {"Vex748", 0x656E, 0x056E, false, ""},
    {"Vex748", 0x656E, 0x0563, true, "Firmware model mismatch"},
    {"Vex924", 0x6E84, 0x0884, true, ""},
    {"Vex924", 0x6E84, 0x0883, true, "Firmware model mismatch"},
    {"Vex932", 0x6E83, 0x0884, false, "Model mismatch"},
    {"Vex936", 0x6E8A, 0x088A, false, ""},
};

// The objects a production window works with, without a board.
struct Offline {
  TPorts1 ports;
  TMixer1 mixer;
  TLoader1 loader{ports};
  std::unique_ptr<IMainLink> link = MakeMainLink(ports);
  NoDesktop desktop;
  TMain1 main{*link, desktop};
};

TEST(Production, CompatibilityRulesOfEveryMember) {
  Offline o;
  TPorts1& ports = o.ports;
  TMixer1& mixer = o.mixer;
  for (const CompatCase& c : kCompat) {
    SCOPED_TRACE(std::string(c.unit) + " " + IntToHex(c.botReg, 4) + " " + IntToHex(c.ver, 4) +
                 (c.run ? " run" : " Fw Upload"));
    TVexProd1 prod(ProdMember(c.unit), ports, o.main, mixer, o.loader);
    ports.BotReg = c.botReg;
    ports.BotMod = c.botReg & 0xFF;
    ports.BotRev = c.botReg >> 8;
    mixer.AppBeg = 0x800;
    mixer.SetIdf(tIdf{0, 0, 1, c.ver});
    EXPECT_EQ(MessageOf([&] { prod.CheckCompatible(c.run); }), c.message);
  }
}

TEST(Production, FailedLogWriteLeavesNextIdAsItWas) {
  ProdRig r("Vex324", NewBoard());
  NewBoardPlan(r, 0x0854, "00012");
  const auto log = r.dir / "Vex324" / "Vex324prod.ini";
  std::filesystem::create_directories(log);  // a folder where the log should be: it cannot be read
  EXPECT_NE(MessageOf([&] { r.Prod.Button1Click(); }), "");
  EXPECT_EQ(r.Prod.NextId.Text(), "00012");
  EXPECT_EQ(r.Prod.Status.Color, clProdError);
}

TEST(Production, FwUploadFlashesTheChosenFile) {
  ProdRig r("Vex324", NewBoard());
  r.Ports1.Button1Click();
  r.Answers1.file = r.Firmware(0x0654);
  r.Prod.UploadFirm();
  ASSERT_EQ(r.Answers1.dialogs.size(), 1u);
  EXPECT_EQ(r.Answers1.dialogs[0].Title, "Select Application File");
  EXPECT_EQ(r.Answers1.dialogs[0].InitialDir, (r.dir / "Vex324" / "Firmware").string());
  EXPECT_EQ(r.Ports1.AppReg, 0x0654);
  EXPECT_EQ(r.Loader1.Caption, "Upload Firmware File=80 Mark=54.006");
  // a refused edition never reaches the board
  r.Answers1.file = r.Firmware(0x0554);
  EXPECT_EQ(MessageOf([&] { r.Prod.UploadFirm(); }),
            "Firmware version not supported. Boot=54.102 File=54.005");
}

TEST(Production, DoProductOnlyWhenIdleMembers) {
  for (const char* unit : {"Vex324", "Vex308"}) {
    SCOPED_TRACE(unit);
    Offline o;
    TVexProd1 prod(ProdMember(unit), o.ports, o.main, o.mixer, o.loader);
    prod.DataDir = (std::filesystem::temp_directory_path() / "vex_prod_show").string();
    int shown = 0;
    prod.OnShow = [&] { ++shown; };
    prod.ButtonEnabled = false;  // a run under way
    prod.DoProduct();
    EXPECT_EQ(shown, prod.Row.OnlyWhenIdle ? 0 : 1);
    prod.ButtonEnabled = true;
    prod.DoProduct();
    EXPECT_EQ(shown, prod.Row.OnlyWhenIdle ? 1 : 2);
  }
}

}  // namespace
}  // namespace vex::test
