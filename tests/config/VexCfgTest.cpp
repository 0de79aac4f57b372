// The configuration editors of every model against the simulated device: what Read Config asks
// for, a whole round trip through the device and its EEPROM, validation that keeps the device
// untouched, the image files (backup and restore, model files), the configurator's placement
// and the idle check that closes an editor facing another model.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "config/EepFile.h"
#include "config/VexCfg.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "shell/Instances.h"

namespace vex {
namespace {

namespace fs = std::filesystem;

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

// A window of the registry that records what the editors do with it.
struct FakeWindow : IToolWindow {
  bool shown = false;
  TBounds bounds;
  int stops = 0, moves = 0;
  bool Visible() const override { return shown; }
  void Show() override { shown = true; }
  TBounds Bounds() const override { return bounds; }
  void MoveTo(int left, int top) override {
    bounds.Left = left;
    bounds.Top = top;
    ++moves;
  }
  void StopScan() override { ++stops; }
};

// Dialogs answered from a script: the file to pick, or cancel.
struct ScriptDialogs : ICfgDialogs {
  std::string pick;  // "" cancels
  std::vector<TCfgFileDialog> seen;
  bool OpenFile(TCfgFileDialog& d) override { return Answer(d); }
  bool SaveFile(TCfgFileDialog& d) override { return Answer(d); }
  bool Answer(TCfgFileDialog& d) {
    seen.push_back(d);
    if (pick.empty()) return false;
    d.FileName = pick;
    return true;
  }
};

std::string ReadAll(const std::string& f) {
  std::ifstream in(f, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The file without its "SaveDateTime" lines and with its history section names cut to the
// form name: what must be equal between two saves of the same configuration.
std::string Comparable(const std::string& f) {
  std::istringstream in(ReadAll(f));
  std::string line, out;
  while (std::getline(in, line)) {
    if (line.rfind("SaveDateTime=", 0) == 0) continue;
    out += line + "\n";
  }
  return out;
}

// One function 0x03 request as the hub's log shows it (TCP frames: 7 header bytes first).
struct TRead {
  int reg, count;
  bool operator==(const TRead&) const = default;
};

std::vector<uint8_t> TxBytes(const std::string& line) {
  std::vector<uint8_t> b;
  const size_t eq = line.find("]= ");
  if (line.rfind("Tx[", 0) != 0 || eq == std::string::npos) return b;
  std::istringstream hex(line.substr(eq + 3));
  std::string byte;
  while (hex >> byte) b.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
  return b;
}

class CfgRig;
bool Said(const CfgRig& rig, const std::string& message);

class CfgRig {
 public:
  explicit CfgRig(const std::string& key, int edition = -1, uint16_t uniqueId = 1) {
    fs::create_directories(dir);
    auto dev = emu::MakeDevice(emu::ModelFor(key, -1, edition));
    dev->SetBootWait(50);
    dev->SetIdentity(uniqueId, uniqueId ? 0x2E0A3C00 : 0, 1);
    emu::ServerOptions o;
    o.tcpPort = 0;
    emu = std::make_unique<emu::EmuServer>(std::move(dev), o);
    emu->Start();
    in = std::make_unique<TInstances>(TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                                      (dir / "vexsim.ini").string());
    TPorts1& p = in->Ports1;
    p.ActivePage = lpNetwork;
    p.LabeledEdit30 = "127.0.0.1";
    p.LabeledEdit31 = std::to_string(emu->TcpPort());
    p.LabeledEdit32 = "1";
    p.LabeledEdit33 = "5";
    p.LabeledEdit34 = "300";
    for (TVexCfg1* e : in->Editors()) {
      e->DataDir = dir.string();
      e->Dialogs = &dialogs;
    }
  }
  ~CfgRig() {
    in.reset();
    emu.reset();
    fs::remove_all(dir);
  }
  TVexCfg1& Editor(TVexModel m) { return *in->Editor(m); }
  // Function 0x03 and 0x10 requests the hub sent since the log was last cleared.
  std::vector<TRead> Requests(uint8_t fn) const {
    std::vector<TRead> r;
    for (const std::string& line : in->Ports1.LogLines) {
      const std::vector<uint8_t> b = TxBytes(line);
      if (b.size() >= 12 && b[7] == fn) r.push_back({b[8] << 8 | b[9], b[10] << 8 | b[11]});
    }
    return r;
  }
  uint16_t Reg(uint16_t a) {
    std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
    return emu->Dev().Cfg(a);
  }
  // After a restart the device sits in its bootloader for a moment.
  void WaitRunning() {
    for (int i = 0; i < 100; ++i) {
      {
        std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
        if (emu->Dev().BootState() == 0) return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    FAIL() << "the device did not restart";
  }

  fs::path dir =
      fs::temp_directory_path() / ("vexcfg-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
  std::unique_ptr<emu::EmuServer> emu;
  MapSettingsStore store;
  NoDesktop desktop;
  ScriptDialogs dialogs;
  std::unique_ptr<TInstances> in;
  static inline int counter = 0;
};

// The hub's status line ends with the operation's completion message.
bool Said(const CfgRig& rig, const std::string& message) {
  const std::string& s = rig.in->Ports1.Text(TConsoleText::Status);
  return s.size() >= message.size() && s.compare(s.size() - message.size(), message.size(), message) == 0;
}

// ---- Read Config asks for the variant's record in three requests ----

struct SizeCase {
  const char* name;
  const char* key;
  int edition;
  TVexModel model;
  std::vector<TRead> sequence;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class ReadSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ReadSizes, SequenceRequests) {
  const SizeCase& c = GetParam();
  CfgRig rig(c.key, c.edition);
  TVexCfg1& e = rig.Editor(c.model);
  rig.in->Ports1.ClearLog();
  ASSERT_TRUE(e.Button1Click());
  std::vector<TRead> seq;
  for (const TRead& r : rig.Requests(0x03))
    if (r.reg >= 128) seq.push_back(r);
  EXPECT_EQ(seq, c.sequence);
  EXPECT_TRUE(Said(rig, "Read Config Complete"));
}

INSTANTIATE_TEST_SUITE_P(
    Variants, ReadSizes,
    ::testing::Values(
        SizeCase{"Vex324App8", "vex324", 8, TVexModel::Vex324, {{128, 26}, {154, 26}, {180, 28}}},
        SizeCase{"Vex324App6", "vex324", 6, TVexModel::Vex324, {{128, 24}, {152, 24}, {176, 26}}},
        SizeCase{"Vex324App4", "vex324", 4, TVexModel::Vex324, {{128, 23}, {151, 23}, {174, 25}}},
        SizeCase{"Vex924", "vex924", -1, TVexModel::Vex924, {{128, 23}, {151, 23}, {174, 25}}},
        SizeCase{"Vex936", "vex936", -1, TVexModel::Vex936, {{128, 35}, {163, 35}, {198, 35}}},
        SizeCase{"Vex216App9", "vex216", 9, TVexModel::Vex216, {{128, 11}, {139, 11}, {150, 11}}},
        SizeCase{"Vex216Legacy", "vex216", 11, TVexModel::Vex216, {}},
        SizeCase{"Vald3", "vald3", -1, TVexModel::Vex733, {}}),
    [](const auto& i) { return std::string(i.param.name); });

// ---- a whole round trip for every member ----

struct TripCase {
  const char* name;
  const char* key;
  int edition;
  TVexModel model;
};

void PrintTo(const TripCase& c, std::ostream* os) { *os << c.name; }

class RoundTrip : public ::testing::TestWithParam<TripCase> {};

TEST_P(RoundTrip, WriteStoreRestartReadBack) {
  const TripCase& c = GetParam();
  CfgRig rig(c.key, c.edition);
  TVexCfg1& e = rig.Editor(c.model);
  TIsaMaps1& isa = rig.in->IsaMaps1;
  ASSERT_TRUE(e.Button1Click());
  EXPECT_EQ(e.LabeledEdit1.Text(), "00001");
  EXPECT_EQ(e.LabeledEdit3.Text(), "$01, Good");

  // change the fields, the sequences, the grid and the pulse timers
  e.LabeledEdit10.SetText("7");
  e.LabeledEdit11.SetText("44");
  e.LabeledEdit12.SetText("55");
  if (e.Row.Pulse) {
    e.LabeledEdit20.SetText("1500");
    e.LabeledEdit23.SetText("65000");
  }
  const bool seq = e.Row.Sequences && e.Layout().sequence;
  if (seq) {
    isa.SelectChannels({2});
    isa.ListChange(isAlm, ipColor, 2);
    isa.ListChange(isRng, ipColor, 0);
    isa.EditChange(edRngTim, "30");
  }
  if (e.GridActive()) {
    e.Grid[2].B.State = cbChecked;
    e.GridClick(3, false);
    e.Grid[0].H.State = cbUnchecked;
    e.GridClick(1, true);
  }
  const fs::path before = rig.dir / "before.eep", after = rig.dir / "after.eep";
  e.SaveConfig2(before.string(), "");
  const std::vector<std::string> lines = isa.ChnLines;

  ASSERT_TRUE(e.Button2Click());
  EXPECT_TRUE(Said(rig, "Write Config Complete"));
  ASSERT_TRUE(e.Button3Click());
  EXPECT_TRUE(Said(rig, "Write Eeprom Complete"));
  ASSERT_TRUE(e.Button4Click());
  EXPECT_TRUE(Said(rig, "Reset Complete"));
  rig.WaitRunning();

  // a clean screen and map first, so that what comes back is the device's
  e.Cleanup();
  isa.Clear();
  ASSERT_TRUE(e.Button1Click());
  EXPECT_EQ(e.LabeledEdit10.Text(), "7");
  EXPECT_EQ(e.LabeledEdit11.Text(), "44");
  EXPECT_EQ(e.LabeledEdit12.Text(), "55");
  EXPECT_EQ(e.LabeledEdit3.Text(), "$01, Good");
  if (e.Row.Pulse) {
    EXPECT_EQ(e.LabeledEdit20.Text(), "1500");
    EXPECT_EQ(e.LabeledEdit23.Text(), "65000");
  }
  if (seq) {
    EXPECT_EQ(isa.ChnLines, lines);
    EXPECT_EQ(isa.Eep.RngTim, 30);
  }
  if (e.GridActive()) {
    EXPECT_FALSE(e.Grid[0].H.Checked());
    EXPECT_TRUE(e.Grid[2].B.Checked());
    EXPECT_EQ(e.Grid[2].Shape, RGB(0, 0xFF, 0));
  }
  e.SaveConfig2(after.string(), "");
  EXPECT_EQ(Comparable(after.string()), Comparable(before.string()));
  EXPECT_NE(ReadAll(after.string()).find("LabeledEdit11=44"), std::string::npos);
  EXPECT_EQ(ReadAll(after.string()).find("AlmRed=") != std::string::npos, e.Row.Sequences);
  EXPECT_EQ(ReadAll(after.string()).find("LabeledEdit20=") != std::string::npos, e.Row.Pulse);
}

INSTANTIATE_TEST_SUITE_P(Members, RoundTrip,
                         ::testing::Values(TripCase{"Vex215", "vex215", -1, TVexModel::Vex215},
                                           TripCase{"Vex216", "vex216", -1, TVexModel::Vex216},
                                           TripCase{"Vex216Legacy", "vex216", 11, TVexModel::Vex216},
                                           TripCase{"Vex308", "vex308", -1, TVexModel::Vex308},
                                           TripCase{"Vex316", "vex316", -1, TVexModel::Vex316},
                                           TripCase{"Vex324", "vex324", -1, TVexModel::Vex324},
                                           TripCase{"Vex324App4", "vex324", 4, TVexModel::Vex324},
                                           TripCase{"Vex924", "vex924", -1, TVexModel::Vex924},
                                           TripCase{"Vex932", "vex932", -1, TVexModel::Vex932},
                                           TripCase{"Vex936", "vex936", -1, TVexModel::Vex936},
                                           TripCase{"Vald3", "vald3", -1, TVexModel::Vex733},
                                           TripCase{"Tord48", "tord48", -1, TVexModel::Vex748}),
                         [](const auto& i) { return std::string(i.param.name); });

// ---- validation: nothing reaches the device ----

struct RefuseCase {
  const char* name;
  const char* field;  // "10", "11", "12", "20" or "isa"
  const char* text;
  const char* message;  // part of the error
};

void PrintTo(const RefuseCase& c, std::ostream* os) { *os << c.name; }

class WriteRefused : public ::testing::TestWithParam<RefuseCase> {};

TEST_P(WriteRefused, NothingIsSent) {
  const RefuseCase& c = GetParam();
  CfgRig rig(std::string(c.field) == "20" ? "vald3" : "vex324");
  TVexCfg1& e = rig.Editor(std::string(c.field) == "20" ? TVexModel::Vex733 : TVexModel::Vex324);
  ASSERT_TRUE(e.Button1Click());
  const uint16_t detection = rig.Reg(e.Layout().tmoReg);
  const std::string f = c.field;
  if (f == "10") e.LabeledEdit10.SetText(c.text);
  if (f == "11") e.LabeledEdit11.SetText(c.text);
  if (f == "12") e.LabeledEdit12.SetText(c.text);
  if (f == "20") e.LabeledEdit20.SetText(c.text);
  if (f == "isa") rig.in->IsaMaps1.EditChange(edAlmTim, c.text);
  rig.in->Ports1.ClearLog();
  try {
    e.Button2Click();
    ADD_FAILURE() << "Write Config took " << c.text;
  } catch (const Exception& x) {
    EXPECT_NE(std::string(x.what()).find(c.message), std::string::npos) << x.what();
  }
  EXPECT_TRUE(rig.Requests(0x10).empty());
  EXPECT_EQ(rig.Reg(e.Layout().tmoReg), detection);
}

INSTANTIATE_TEST_SUITE_P(Fields, WriteRefused,
                         ::testing::Values(RefuseCase{"ModbusId0", "10", "0", "Modbus ID"},
                                           RefuseCase{"ModbusId32", "10", "32", "Modbus ID"},
                                           RefuseCase{"ModbusIdEmpty", "10", "", "Modbus ID"},
                                           RefuseCase{"Detection2", "11", "2", "Detection"},
                                           RefuseCase{"Detection251", "11", "251", "Detection"},
                                           RefuseCase{"Clearance251", "12", "251", "Clearance"},
                                           RefuseCase{"PulseTimer65001", "20", "65001", "Pulse Timer"},
                                           RefuseCase{"AutoAlarmSilence251", "isa", "251",
                                                      "Auto Alarm Silence Range Exceed [0~250]"}),
                         [](const auto& i) { return std::string(i.param.name); });

// ---- "Eprom State" ----

TEST(EpromState, TextAndColourOfEveryState) {
  const struct {
    int state;
    const char* text;
    TColor color;
  } cases[] = {{0, "$00, Undefined", RGB(0xFF, 0x80, 0x80)},
               {1, "$01, Good", clWindow},
               {2, "$02, Saved", clWindow},
               {3, "$03, Undefined", RGB(0xFF, 0x80, 0x80)},
               {4, "$04, Edited", RGB(0, 0xFF, 0)},
               {7, "$07, Undefined", RGB(0xFF, 0x80, 0x80)}};
  MapSettingsStore store;
  NoDesktop desktop;
  const fs::path dir = fs::temp_directory_path() / ("vexcfg-state-" + std::to_string(::getpid()));
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, (dir / "vexsim.ini").string());
  for (const auto& c : cases) {
    in.Vex324cfg1.ShowState(c.state);
    EXPECT_EQ(in.Vex324cfg1.LabeledEdit3.Text(), c.text);
    EXPECT_EQ(in.Vex324cfg1.LabeledEdit3.Color, c.color) << c.text;
  }
}

// A write leaves the device "Edited", which Read Config shows in lime.
TEST(EpromState, EditedAfterWrite) {
  CfgRig rig("vex936");
  TVexCfg1& e = rig.in->Vex936cfg1;
  ASSERT_TRUE(e.Button1Click());
  ASSERT_TRUE(e.Button2Click());
  ASSERT_TRUE(e.Button1Click());
  EXPECT_EQ(e.LabeledEdit3.Text(), "$04, Edited");
  EXPECT_EQ(e.LabeledEdit3.Color, RGB(0, 0xFF, 0));
}

// ---- image files ----

TEST(CfgFiles, AnotherModelsFileFillsNothing) {
  CfgRig rig("vex324");
  ASSERT_TRUE(rig.in->Vex324cfg1.Button1Click());
  const std::string file = (rig.dir / "m.eem").string();
  rig.in->Vex324cfg1.SaveConfig(file);
  TVexCfg1& other = rig.in->Vex936cfg1;
  other.LabeledEdit10.SetText("9");
  other.LoadConfig(file);
  for (TCfgEdit* f : other.Fields()) EXPECT_EQ(f->Text(), "") << f->Key;
  EXPECT_EQ(rig.in->IsaMaps1.Eep.AlmRed, 0u);
}

TEST(CfgFiles, SavingTwiceKeepsTwoHistorySectionsAndLoadsTheCurrent) {
  CfgRig rig("vex324");
  TVexCfg1& e = rig.in->Vex324cfg1;
  ASSERT_TRUE(e.Button1Click());
  const std::string file = (rig.dir / "twice.eep").string();
  e.SaveConfig(file);
  std::this_thread::sleep_for(std::chrono::milliseconds(1100));  // the history name has whole seconds
  e.LabeledEdit11.SetText("99");
  e.SaveConfig(file);
  const std::vector<std::string> s = TEepFile::Sections(file);
  ASSERT_EQ(s.size(), 3u);
  EXPECT_EQ(std::count(s.begin(), s.end(), "Vex324cfg1"), 1);
  e.LabeledEdit11.SetText("");
  e.LoadConfig(file);
  EXPECT_EQ(e.LabeledEdit11.Text(), "99");
  EXPECT_NE(ReadAll(file).find("Program=Announciator System Configuration Utility, Rev "), std::string::npos);
}

TEST(CfgFiles, MissingFileIsNamed) {
  CfgRig rig("vex324");
  TVexCfg1& e = rig.in->Vex324cfg1;
  e.LabeledEdit10.SetText("5");
  const std::string file = (rig.dir / "nothing.eem").string();
  try {
    e.LoadConfig(file);
    ADD_FAILURE();
  } catch (const Exception& x) {
    EXPECT_EQ(std::string(x.what()), "Model File not Found, " + file);
  }
  EXPECT_EQ(e.LabeledEdit10.Text(), "");
}

TEST(CfgFiles, BackupThenRestoreOnTheSameDevice) {
  CfgRig rig("vex324", -1, 4711);
  TVexCfg1& e = rig.in->Vex324cfg1;
  ASSERT_TRUE(e.Button1Click());
  e.LabeledEdit11.SetText("33");
  ASSERT_TRUE(e.Button6Click());
  const fs::path file = rig.dir / "Vex324" / "Config" / "SN04711.eep";
  EXPECT_TRUE(fs::exists(file));
  e.Cleanup();
  ASSERT_TRUE(e.Button7Click());
  EXPECT_EQ(e.LabeledEdit11.Text(), "33");
  EXPECT_EQ(e.LabeledEdit10.Text(), "1");
  EXPECT_TRUE(rig.Requests(0x10).empty()) << "restore only loads the screen";
}

TEST(CfgFiles, UnitWithoutUniqueIdHasNoBackup) {
  CfgRig rig("vex215", -1, 0);
  TVexCfg1& e = rig.in->Vex215cfg1;
  ASSERT_TRUE(e.Button1Click());
  EXPECT_EQ(e.LabeledEdit1.Text(), "n/a");
  for (auto op : {&TVexCfg1::Button6Click, &TVexCfg1::Button7Click}) {
    try {
      (e.*op)();
      ADD_FAILURE() << "a file name was made without a unique ID";
    } catch (const Exception& x) {
      EXPECT_NE(std::string(x.what()).find("no unique ID"), std::string::npos) << x.what();
    }
  }
  const fs::path folder = rig.dir / "Vex215" / "Config";
  EXPECT_TRUE(!fs::exists(folder) || fs::is_empty(folder));
}

struct ModelIdCase {
  TVexModel model;
  const char* key;
  const char* zero;
};

TEST(CfgFiles, LoadModelZeroesTheUniqueIdEvenWhenCancelled) {
  const ModelIdCase cases[] = {{TVexModel::Vex324, "vex324", "00000"},
                               {TVexModel::Vex216, "vex216", "000000"},
                               {TVexModel::Vex733, "vald3", "00000"}};
  for (const ModelIdCase& c : cases) {
    CfgRig rig(c.key);
    TVexCfg1& e = rig.Editor(c.model);
    ASSERT_TRUE(e.Button1Click());
    ASSERT_EQ(e.LabeledEdit1.Text(), "00001");
    rig.dialogs.pick = "";
    ASSERT_TRUE(e.Button8Click());
    EXPECT_EQ(e.LabeledEdit1.Text(), c.zero) << c.key;
    EXPECT_EQ(e.LabeledEdit10.Text(), "1") << "a cancelled dialog loads nothing";
    ASSERT_EQ(rig.dialogs.seen.size(), 1u);
    EXPECT_EQ(rig.dialogs.seen[0].InitialDir, (rig.dir / e.Info.name).string());
    EXPECT_EQ(rig.dialogs.seen[0].DefaultExt, "eem");
  }
}

TEST(CfgFiles, SaveModelNeedsANumericUniqueId) {
  CfgRig rig("vex324");
  TVexCfg1& e = rig.in->Vex324cfg1;
  ASSERT_TRUE(e.Button1Click());
  const std::string file = (rig.dir / "model.eem").string();
  rig.dialogs.pick = file;
  e.LabeledEdit1.SetText("");
  EXPECT_THROW(e.Button9Click(), Exception);
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(rig.dialogs.seen.empty());
  e.LabeledEdit1.SetText("42");
  ASSERT_TRUE(e.Button9Click());
  EXPECT_EQ(e.LabeledEdit1.Text(), "00042");
  EXPECT_NE(ReadAll(file).find("LabeledEdit1=00042"), std::string::npos);
  // loading it back as a model
  e.LabeledEdit11.SetText("");
  ASSERT_TRUE(e.Button8Click());
  EXPECT_EQ(e.LabeledEdit11.Text(), "20");
  EXPECT_EQ(e.LabeledEdit1.Text(), "00000");
}

// ---- the window's parts ----

TEST(CfgWindow, MembersCaptionsAndParts) {
  MapSettingsStore store;
  NoDesktop desktop;
  const fs::path dir = fs::temp_directory_path() / ("vexcfg-rows-" + std::to_string(::getpid()));
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, (dir / "vexsim.ini").string());
  const struct {
    TVexCfg1* e;
    const char* caption;
    const char* form;
    const char* eeprom;
    const char* stored;
    const char* saveModel;
    const char* detection;
    size_t grid;
  } rows[] = {
      {&in.Vex215cfg1, "Vex216 - Configuration", "Vex215cfg1", "Set Eeprom", "Load Stored", "Save Model",
       "Detection <3~250mS>:", 16},
      {&in.Vex216cfg1, "Vex216v2 - Configuration", "Vex216cfg1", "Set Eeprom", "Load File", "Save Model",
       "Detection <3~250mS>:", 16},
      {&in.Vex308cfg1, "Vex308 - Configuration", "Vex308cfg1", "Set Eeprom", "Load Stored", "Save Model",
       "Detection <3~250mS>:", 8},
      {&in.Vex324cfg1, "Vex324 - Configuration", "Vex324cfg1", "Set Eeprom", "Load Stored", "Save Model",
       "Detection <3~250mS>:", 0},
      {&in.Vex936cfg1, "Vex936 - Configuration", "Vex936cfg1", "Write Eeprom", "Load Stored", "Save as Model",
       "Detection Time <3~250mS>:", 0},
      {&in.Vex733cfg1, "Vald-3 - Configuration", "Vex733cfg1", "Write Eeprom", "Load Stored", "Save as Model",
       "Detection Time <3~250mS>:", 0},
      {&in.Vex748cfg1, "Tord48 - Configuration", "Vex748cfg1", "Write Eeprom", "Load Stored", "Save as Model",
       "Detection Time <3~250mS>:", 0},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.e->Caption, r.caption);
    EXPECT_EQ(r.e->FormName(), r.form);
    EXPECT_EQ(r.e->EepromButton.Caption, r.eeprom);
    EXPECT_EQ(r.e->StoredButton.Caption, r.stored);
    EXPECT_EQ(r.e->SaveModelButton.Caption, r.saveModel);
    EXPECT_EQ(r.e->LabeledEdit11.Caption(), r.detection);
    EXPECT_EQ(r.e->Grid.size(), r.grid);
  }
  EXPECT_FALSE(in.Vex215cfg1.IsaButton.Visible);
  EXPECT_TRUE(in.Vex733cfg1.PulseGroup.Visible);
  EXPECT_EQ(in.Vex733cfg1.LabeledEdit21.Caption(), "Block-1 Timer <0~65000mS>:");
  EXPECT_TRUE(in.Vex932cfg1.OptionsGroup.Visible);
  EXPECT_FALSE(in.Vex324cfg1.OptionsGroup.Visible);
}

TEST(CfgWindow, HornBellPairStaysExclusive) {
  MapSettingsStore store;
  NoDesktop desktop;
  const fs::path dir = fs::temp_directory_path() / ("vexcfg-grid-" + std::to_string(::getpid()));
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, (dir / "vexsim.ini").string());
  TVexCfg1& e = in.Vex215cfg1;
  THornBell& g = e.Grid[4];
  const struct {
    bool horn;  // the box clicked (its tick toggles first)
    bool h, b;  // afterwards
    TColor shape;
  } clicks[] = {{true, true, false, RGB(0xFF, 0, 0)},
                {false, false, true, RGB(0, 0xFF, 0)},
                {true, true, false, RGB(0xFF, 0, 0)},
                {true, false, false, clBtnFace}};
  for (const auto& c : clicks) {
    TCheckBox& box = c.horn ? g.H : g.B;
    box.State = box.Checked() ? cbUnchecked : cbChecked;
    e.GridClick(5, c.horn);
    EXPECT_EQ(g.H.Checked(), c.h);
    EXPECT_EQ(g.B.Checked(), c.b);
    EXPECT_EQ(g.Shape, c.shape);
  }
}

TEST(CfgWindow, ConfiguratorBesideTheEditorOnceShown) {
  CfgRig rig("vex324");
  FakeWindow editor, isa;
  editor.bounds = {100, 50, 400, 300};
  rig.in->Main1.SetTool("Vex324cfg1", &editor);
  rig.in->Main1.SetTool("IsaMaps1", &isa);
  ASSERT_TRUE(rig.in->Vex324cfg1.Button10Click());
  EXPECT_TRUE(isa.shown);
  EXPECT_EQ(isa.bounds.Left, 505);
  EXPECT_EQ(isa.bounds.Top, 50);
  editor.bounds.Left = 0;
  ASSERT_TRUE(rig.in->Vex324cfg1.Button10Click());
  EXPECT_EQ(isa.moves, 1) << "a visible configurator stays where it is";
  // the 9xx editors show it where it is
  FakeWindow isa2;
  rig.in->IsaMaps1.Hide();
  rig.in->Main1.SetTool("IsaMaps1", &isa2);
  ASSERT_TRUE(rig.in->Vex924cfg1.Button10Click());
  EXPECT_TRUE(isa2.shown);
  EXPECT_EQ(isa2.moves, 0);
  rig.in->Main1.SetTool("Vex324cfg1", nullptr);
  rig.in->Main1.SetTool("IsaMaps1", nullptr);
}

TEST(CfgWindow, StoreAndRestartStopTheSimulatorsScan) {
  const struct {
    const char* key;
    TVexModel model;
    const char* sim;
    int stops;
  } cases[] = {{"vex216", TVexModel::Vex216, "Vex216sim1", 2},
               {"vex316", TVexModel::Vex316, "Vex316sim1", 2},
               {"vex324", TVexModel::Vex324, "Vex324sim1", 0}};
  for (const auto& c : cases) {
    CfgRig rig(c.key);
    FakeWindow sim;
    rig.in->Main1.SetTool(c.sim, &sim);
    TVexCfg1& e = rig.Editor(c.model);
    ASSERT_TRUE(e.Button3Click());
    ASSERT_TRUE(e.Button4Click());
    EXPECT_EQ(sim.stops, c.stops) << c.key;
    rig.in->Main1.SetTool(c.sim, nullptr);
  }
}

TEST(CfgWindow, OptionsFollowTheConfigurator) {
  CfgRig rig("vex932");
  TVexCfg1& e = rig.in->Vex932cfg1;
  ASSERT_TRUE(e.Button1Click());
  EXPECT_TRUE(e.CommDiag.Enabled);
  EXPECT_TRUE(e.DxLock.Enabled);
  e.OptionsClick(true, true);
  EXPECT_TRUE(rig.in->IsaMaps1.Boxes[obComDia].Checked());
  ASSERT_TRUE(e.Button2Click());
  rig.in->IsaMaps1.OptionClick(obComDia, false);
  e.FormActivate();
  EXPECT_FALSE(e.CommDiag.Checked());
  ASSERT_TRUE(e.Button1Click());
  EXPECT_TRUE(e.CommDiag.Checked()) << "the device kept the option";
}

TEST(CfgWindow, IdleClosesTheEditorOfAnotherModel) {
  CfgRig rig("vex936");
  TVexCfg1& mine = rig.in->Vex936cfg1;
  TVexCfg1& other = rig.in->Vex324cfg1;
  TVexCfg1& first = rig.in->Vex215cfg1;
  for (TVexCfg1* e : {&mine, &other, &first}) {
    e->Show();
    e->DoIdle();
    EXPECT_TRUE(e->Visible) << "nothing identified yet";
  }
  rig.in->Ports1.Button1Click();
  for (TVexCfg1* e : {&mine, &other, &first}) e->DoIdle();
  EXPECT_TRUE(mine.Visible);
  EXPECT_FALSE(other.Visible);
  EXPECT_FALSE(first.Visible);
  EXPECT_FALSE(mine.StatusText.empty());
}

TEST(CfgWindow, BusyLinkDefersTheClick) {
  CfgRig rig("vex324");
  rig.in->Ports1.SetConnectPort(true);
  rig.in->Ports1.ComBsy = true;
  EXPECT_FALSE(rig.in->Vex324cfg1.Button2Click());
  EXPECT_EQ(rig.in->Main1.ComNxt, &rig.in->Vex324cfg1.WriteButton);
  rig.in->Ports1.ComBsy = false;
}

}  // namespace
}  // namespace vex
