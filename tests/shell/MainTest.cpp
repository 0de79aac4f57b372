// The main window's logic: access modes, busy check and replay, idle dispatcher, exception handler,
// activation, page buttons and the external configuration program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "shell/Basics.h"
#include "shell/Main.h"

namespace vex {
namespace {

using Lines = std::vector<std::string>;

struct FakeLink : IMainLink {
  Lines& log;
  explicit FakeLink(Lines& l) : log(l) {}
  bool busy = false, open = false;
  int botMod = 0;
  int detectFailures = 0;  // Auto Detection fails this many times before it succeeds
  bool discoveryFails = false, closeFails = false;
  std::string page, lastError, status = "COM Closed";

  bool ComBsy() const override { return busy; }
  bool ConnectPortChecked() const override { return open; }
  void SetConnectPort(bool on) override {
    log.push_back(on ? "connect" : "disconnect");
    if (!on && closeFails) throw Exception("close failed");
    open = on;
  }
  void Discovery() override {
    log.push_back("discovery");
    if (discoveryFails) throw Exception("Error COM9 : no such port");
    open = true;
  }
  void AutoDetection() override {
    log.push_back("autodetect");
    if (detectFailures > 0) {
      --detectFailures;
      throw Exception("Unable to find target");
    }
  }
  void Mesaj(const std::string& m) override { log.push_back("mesaj:" + m); }
  void Error(const std::string& m) override {
    lastError = m;
    log.push_back("error:" + m);
  }
  void Log(const std::string& m) override { log.push_back("log:" + m); }
  int BotMod() const override { return botMod; }
  std::string DetectedPage() const override { return page; }
  std::string StatusText() const override { return lastError.empty() ? status : status + ", " + lastError; }
  bool StatusFailed() const override { return !lastError.empty(); }
  void ProcessMessages() override { log.push_back("process"); }
};

struct FakeWindow : IToolWindow {
  std::string name;
  Lines& log;
  bool visible = false, available = true, inspector = false;
  TBounds b;
  FakeWindow(std::string n, Lines& l) : name(std::move(n)), log(l) {}
  bool Available() const override { return available; }
  bool Visible() const override { return visible; }
  void Show() override {
    visible = true;
    log.push_back(name + ".Show");
  }
  void ShowModal() override { log.push_back(name + ".ShowModal"); }
  TBounds Bounds() const override { return b; }
  void MoveTo(int l, int t) override {
    b.Left = l;
    b.Top = t;
    log.push_back(name + ".MoveTo " + std::to_string(l) + "," + std::to_string(t));
  }
  void DoIdle() override { log.push_back(name + ".DoIdle"); }
  void AppIdle() override { log.push_back(name + ".AppIdle"); }
  void StartScan() override { log.push_back(name + ".StartScan"); }
  void StopScan() override { log.push_back(name + ".StopScan"); }
  void ReadConfig() override { log.push_back(name + ".ReadConfig"); }
  void UploadFirm() override { log.push_back(name + ".UploadFirm"); }
  void DoProduct() override { log.push_back(name + ".DoProduct"); }
  bool InspectorWanted() const override { return inspector; }
};

struct FakeDesktop : IDesktop {
  Lines& log;
  explicit FakeDesktop(Lines& l) : log(l) {}
  std::set<std::string> windows, files;
  bool openFails = false;
  bool RaiseWindow(const std::string& c) override {
    if (!windows.count(c)) return false;
    log.push_back("raise:" + c);
    return true;
  }
  bool FileExists(const std::string& p) const override { return files.count(p) > 0; }
  void Open(const std::string& p) override {
    log.push_back("open:" + p);
    if (openFails) throw Exception("cannot start");
  }
};

class MainTest : public ::testing::Test {
 protected:
  Lines log;
  FakeLink link{log};
  FakeDesktop desktop{log};
  TMain1 main{link, desktop};
  std::vector<std::unique_ptr<FakeWindow>> windows;

  FakeWindow& Add(const std::string& name) {
    windows.push_back(std::make_unique<FakeWindow>(name, log));
    main.SetTool(name, windows.back().get());
    return *windows.back();
  }
  void Create(bool admin, bool developer = false, const std::string& exe = "/opt/tools/vexsim") {
    MapSettingsStore store;
    if (admin) store.Values["Software\\Pelmora\\Products"] = cModeKey;
    main.FormCreate(TStartInfo{exe, developer}, store);
  }
  TMainPage& Page(const std::string& caption) {
    const int k = main.PageIndex(caption);
    EXPECT_GE(k, 0) << caption;
    return main.Pages[static_cast<size_t>(k)];
  }
  // Lines of the log that start with a prefix, in order.
  Lines With(const std::string& prefix) const {
    Lines r;
    for (const auto& l : log)
      if (l.rfind(prefix, 0) == 0) r.push_back(l);
    return r;
  }
};

// ---- access modes ---------------------------------------------------------------

struct ModeCase {
  const char* name;
  const char* exe;
  std::optional<int64_t> products, service;
  bool developer;
  bool adm, des, srv;
  const char* modeText;
};

void PrintTo(const ModeCase& c, std::ostream* os) { *os << c.name; }

class AccessModeTest : public MainTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(AccessModeTest, ModesFromStoreAndPath) {
  const ModeCase& c = GetParam();
  MapSettingsStore store;
  if (c.products) store.Values["Software\\Pelmora\\Products"] = *c.products;
  if (c.service) store.Values["Software\\Zentaro\\Service"] = *c.service;
  main.FormCreate(TStartInfo{c.exe, c.developer}, store);
  EXPECT_EQ(main.AdmMod, c.adm);
  EXPECT_EQ(main.DesMod, c.des);
  EXPECT_EQ(main.SrvMod, c.srv);
  EXPECT_EQ(main.ModeText, c.modeText);
  EXPECT_EQ(main.VersionLabel, "Rev 2.078.r34");
  EXPECT_EQ(main.ActivePage, main.AboutPage());
  int production = 0;
  for (const auto& p : main.Pages) production += p.Production.Visible;
  EXPECT_EQ(production, c.adm ? 10 : 0);
  EXPECT_EQ(main.BootMixer.Visible, c.des);
  EXPECT_EQ(Page("Vex316").Visible, c.des);
  EXPECT_TRUE(Page("Vex324").Visible);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, AccessModeTest,
    ::testing::Values(
        ModeCase{"NoValues", "/opt/tools/vexsim", {}, {}, false, false, false, false, "Rev 2.078.r34"},
        ModeCase{
            "Administrator", "/opt/tools/vexsim", 40713, {}, false, true, false, false, "Rev 2.078.r34A"},
        ModeCase{"WrongValue", "/opt/tools/vexsim", 40712, 0, false, false, false, false, "Rev 2.078.r34"},
        ModeCase{"DemoFolderWindows",
                 "C:\\VEXSIM\\VexSim.exe",
                 40713,
                 {},
                 false,
                 false,
                 false,
                 false,
                 "Rev 2.078.r34"},
        ModeCase{"DemoFolderLowerCase",
                 "c:\\vexdemo\\bin\\VexSim.exe",
                 40713,
                 {},
                 false,
                 false,
                 false,
                 false,
                 "Rev 2.078.r34"},
        ModeCase{
            "DemoFolderAtTheRoot", "/VexSim/vexsim", 40713, {}, false, false, false, false, "Rev 2.078.r34"},
        ModeCase{"DemoFolderAtTheRootDeeper",
                 "/vexdemo/bin/vexsim",
                 40713,
                 {},
                 false,
                 false,
                 false,
                 false,
                 "Rev 2.078.r34"},
        ModeCase{"FolderNamedLikeTheProgramElsewhere",
                 "/home/ann/vexsim/build/vexsim",
                 40713,
                 {},
                 false,
                 true,
                 false,
                 false,
                 "Rev 2.078.r34A"},
        ModeCase{"InstalledInOpt",
                 "/opt/vexsim/bin/vexsim",
                 40713,
                 {},
                 false,
                 true,
                 false,
                 false,
                 "Rev 2.078.r34A"},
        ModeCase{"WindowsFolderNotAtTheTop",
                 "C:\\Tools\\VEXSIM\\VexSim.exe",
                 40713,
                 {},
                 false,
                 true,
                 false,
                 false,
                 "Rev 2.078.r34A"},
        ModeCase{"ExecutableNameIsNotAFolder",
                 "/usr/bin/vexsim",
                 40713,
                 {},
                 false,
                 true,
                 false,
                 false,
                 "Rev 2.078.r34A"},
        ModeCase{"Service", "/opt/tools/vexsim", {}, 40713, false, false, false, true, "Rev 2.078.r34S"},
        ModeCase{"ServiceKeyIsSeparate", "/opt/tools/vexsim", 0, 40714, false, false, false, false,
                 "Rev 2.078.r34"},
        ModeCase{"Developer", "/opt/tools/vexsim", {}, {}, true, false, true, false, "Rev 2.078.r34D"},
        ModeCase{"AllModes", "/opt/tools/vexsim", 40713, 40713, true, true, true, true, "Rev 2.078.r34ADS"},
        ModeCase{"DemoKeepsServiceAndDeveloper", "C:\\VEXDEMO\\x.exe", 40713, 40713, true, false, true, true,
                 "Rev 2.078.r34DS"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DeveloperSwitch, EnvironmentOrMarkerFile) {
  const auto dir = std::filesystem::temp_directory_path() / ("vexsim-main-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  EXPECT_TRUE(DeveloperSwitchOn("1", dir.string()));
  EXPECT_FALSE(DeveloperSwitchOn("0", dir.string()));
  EXPECT_FALSE(DeveloperSwitchOn("", dir.string()));
  EXPECT_FALSE(DeveloperSwitchOn(nullptr, dir.string()));
  std::ofstream(dir / "developer.mode") << "\n";
  EXPECT_TRUE(DeveloperSwitchOn(nullptr, dir.string()));
  EXPECT_TRUE(DeveloperSwitchOn("0", dir.string()));
  std::filesystem::remove_all(dir);
}

// ---- busy check and replay ------------------------------------------------------------

TEST_F(MainTest, IsBusyRecordsTheSenderWhileATransactionRuns) {
  int clicks = 0;
  TControl b("Read Config", TControl::Kind::Button, [&](TControl&) { ++clicks; });
  link.busy = true;
  EXPECT_TRUE(main.IsBusy(&b, true));
  EXPECT_EQ(main.ComNxt, &b);
  EXPECT_TRUE(log.empty()) << "no link operation while busy";
  EXPECT_EQ(clicks, 0);
}

TEST_F(MainTest, IsBusyWithoutASenderKeepsTheDeferredClick) {
  TControl b("Read Config", TControl::Kind::Button);
  link.busy = true;
  EXPECT_TRUE(main.IsBusy(&b, true));
  EXPECT_TRUE(main.IsBusy(nullptr, false));
  EXPECT_EQ(main.ComNxt, &b);
}

TEST_F(MainTest, IsBusyOpensAClosedLink) {
  const struct {
    bool open, d;
    Lines want;
  } cases[] = {
      {false, true, {"discovery"}}, {false, false, {"connect"}}, {true, true, {}}, {true, false, {}}};
  for (const auto& c : cases) {
    log.clear();
    link.open = c.open;
    EXPECT_FALSE(main.IsBusy(nullptr, c.d));
    EXPECT_EQ(log, c.want) << "open=" << c.open << " d=" << c.d;
    EXPECT_TRUE(link.open);
    EXPECT_EQ(main.ComNxt, nullptr);
  }
}

TEST_F(MainTest, IsBusyPassesOpeningErrorsOn) {
  link.discoveryFails = true;
  EXPECT_THROW(main.IsBusy(nullptr, true), Exception);
}

TEST_F(MainTest, ReplaysOnlyTheLaterOfTwoRefusedClicksOnce) {
  Add("Vex324cfg1").visible = true;
  Lines clicks;
  TControl read("Read Config", TControl::Kind::Button,
                [&](TControl& s) { clicks.push_back("read:" + s.Caption); });
  TControl scan("Start Scan", TControl::Kind::CheckBox,
                [&](TControl& s) { clicks.push_back("scan:" + s.Caption); });
  scan.Checked = true;
  link.busy = true;
  EXPECT_TRUE(main.IsBusy(&read, true));
  EXPECT_TRUE(main.IsBusy(&scan, true));
  link.busy = false;
  link.open = true;

  main.ApplicationEvents1Idle();
  EXPECT_EQ(clicks, Lines{"scan:Start Scan"});
  EXPECT_TRUE(scan.Checked) << "a replayed check box is not toggled";
  EXPECT_EQ(main.ComNxt, nullptr);
  EXPECT_TRUE(With("Vex324cfg1.DoIdle").empty()) << "the replay ends the pass";

  main.ApplicationEvents1Idle();
  EXPECT_EQ(clicks, Lines{"scan:Start Scan"}) << "replayed once only";
  EXPECT_EQ(With("Vex324cfg1.DoIdle"), Lines{"Vex324cfg1.DoIdle"});
}

TEST_F(MainTest, ReplayOfEveryControlKind) {
  const struct {
    TControl::Kind kind;
    bool replayed;
  } cases[] = {{TControl::Kind::Button, true},
               {TControl::Kind::Label, true},
               {TControl::Kind::CheckBox, true},
               {TControl::Kind::Other, false}};
  for (const auto& c : cases) {
    int clicks = 0;
    TControl ctl("x", c.kind, [&](TControl& s) {
      EXPECT_EQ(&s, &ctl);
      ++clicks;
    });
    main.ComNxt = &ctl;
    main.ApplicationEvents1Idle();
    EXPECT_EQ(clicks, c.replayed ? 1 : 0) << static_cast<int>(c.kind);
    EXPECT_EQ(main.ComNxt, nullptr);
  }
}

TEST_F(MainTest, ReplayedClickRefusedAgainIsKeptForTheNextPass) {
  int clicks = 0;
  TControl read("Read Config", TControl::Kind::Button, [&](TControl& s) {
    ++clicks;
    main.IsBusy(&s, true);
  });
  link.busy = true;
  main.IsBusy(&read, true);
  main.ApplicationEvents1Idle();  // still busy: refused once more and kept
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(main.ComNxt, &read);
  link.busy = false;
  main.ApplicationEvents1Idle();
  EXPECT_EQ(clicks, 2);
  EXPECT_EQ(main.ComNxt, nullptr);
}

// ---- idle dispatcher ---------------------------------------------------------------

TEST_F(MainTest, IdleGivesVisibleWindowsTheirTurnInOrder) {
  for (const auto& n : TMain1::ConfigWindows()) Add(n);
  for (const auto& n : TMain1::SimulatorWindows()) Add(n);
  Add("Ports1");
  const std::set<std::string> shown = {"Vex215cfg1", "Vex936cfg1", "Rtu3file1", "Vex324sim1",
                                       "Rtu3sim1",   "Vex733sim1", "Vex733cfg1"};
  for (auto& w : windows) w->visible = shown.count(w->name) > 0;
  link.status = "127.0.0.1:1502, Id=1, Online";
  link.lastError = "No Response";

  main.ApplicationEvents1Idle();
  const Lines want = {"Vex215cfg1.DoIdle",  "Vex936cfg1.DoIdle",  "Vex733cfg1.DoIdle", "Rtu3file1.DoIdle",
                      "Vex324sim1.AppIdle", "Vex733sim1.AppIdle", "Rtu3sim1.AppIdle",  "Ports1.AppIdle"};
  EXPECT_EQ(log, want);
  EXPECT_EQ(main.StatusText, "127.0.0.1:1502, Id=1, Online, No Response");
  EXPECT_TRUE(main.StatusFailed);
  EXPECT_FALSE(main.PreRun) << "no detection without administrator mode";
}

TEST_F(MainTest, IdleSkipsPlaceholders) {
  FakeWindow& cfg = Add("Vex324cfg1");
  cfg.visible = true;
  cfg.available = false;
  main.ApplicationEvents1Idle();
  EXPECT_TRUE(log.empty());
}

TEST_F(MainTest, AdministratorDetectsOnceAtTheFirstIdlePass) {
  Create(true);
  FakeWindow& ports = Add("Ports1");
  FakeWindow& sim = Add("Vex316sim1");
  Add("Main1").b = TBounds{10, 20, 400, 300};
  link.botMod = 0x51;
  link.page = "Vex316";
  main.ApplicationEvents1Idle();
  EXPECT_TRUE(main.PreRun);
  EXPECT_TRUE(ports.visible);
  EXPECT_EQ(With("autodetect").size(), 1u);
  EXPECT_TRUE(sim.visible) << "the Vex316 simulator opens for boot model 81";
  EXPECT_EQ(With("Vex316sim1."), (Lines{"Vex316sim1.MoveTo 605,80", "Vex316sim1.Show", "Vex316sim1.StartScan",
                                        "Vex316sim1.AppIdle"}));
  log.clear();
  sim.visible = false;
  main.ApplicationEvents1Idle();
  EXPECT_TRUE(With("autodetect").empty()) << "once per run";
}

TEST_F(MainTest, NoStartDetectionWhileTheVex316SimulatorIsShown) {
  Create(true);
  Add("Vex316sim1").visible = true;
  main.ApplicationEvents1Idle();
  EXPECT_FALSE(main.PreRun);
  EXPECT_TRUE(With("autodetect").empty());
}

TEST_F(MainTest, StartDetectionFailureDoesNotRepeat) {
  Create(true);
  link.detectFailures = 5;
  EXPECT_THROW(main.ApplicationEvents1Idle(), Exception);
  EXPECT_TRUE(main.PreRun);
  log.clear();
  main.ApplicationEvents1Idle();  // a pass after a failed one runs normally
  EXPECT_TRUE(With("autodetect").empty());
}

TEST_F(MainTest, NestedIdlePassIsIgnored) {
  FakeWindow& cfg = Add("Vex324cfg1");
  cfg.visible = true;
  int nested = 0;
  TControl modal("Read Config", TControl::Kind::Button, [&](TControl&) {
    ++nested;
    main.ApplicationEvents1Idle();  // a modal loop inside the replay
  });
  main.ComNxt = &modal;
  main.ApplicationEvents1Idle();
  EXPECT_EQ(nested, 1);
  EXPECT_TRUE(With("Vex324cfg1.DoIdle").empty());
  main.ApplicationEvents1Idle();
  EXPECT_EQ(With("Vex324cfg1.DoIdle").size(), 1u);
}

// ---- detection, exceptions, activation ---------------------------------------------------

TEST_F(MainTest, DetectTargetTriesThreeTimes) {
  const struct {
    int failures;
    size_t attempts;
    bool throws;
  } cases[] = {{0, 1, false}, {1, 2, false}, {2, 3, false}, {3, 3, true}, {9, 3, true}};
  for (const auto& c : cases) {
    log.clear();
    link.detectFailures = c.failures;
    if (c.throws)
      EXPECT_THROW(main.DetectTarget.Click(), Exception) << c.failures;
    else
      EXPECT_NO_THROW(main.DetectTarget.Click()) << c.failures;
    EXPECT_EQ(With("autodetect").size(), c.attempts) << c.failures;
  }
}

TEST_F(MainTest, DetectTargetShowsTheHubAndSelectsThePage) {
  FakeWindow& m = Add("Main1");
  m.b = TBounds{400, 300, 500, 320};
  FakeWindow& ports = Add("Ports1");
  link.page = "Vex924";
  main.DetectTargetClick();
  EXPECT_EQ(log, (Lines{"Main1.MoveTo 200,50", "Ports1.Show", "autodetect"}));
  EXPECT_EQ(main.ActivePage, main.PageIndex("Vex924"));

  log.clear();
  link.page = "Vex316";  // a page of developer mode only is not selected otherwise
  main.DetectTargetClick();
  EXPECT_EQ(log, Lines{"autodetect"}) << "a shown hub stays where it is";
  EXPECT_EQ(main.ActivePage, main.PageIndex("Vex924"));
  EXPECT_TRUE(ports.visible);
}

TEST_F(MainTest, ExceptionHandlerShowsTheErrorAndClosesTheLink) {
  link.open = true;
  main.Guard([] { throw Exception("Timeout Occured"); });
  EXPECT_EQ(log, (Lines{"disconnect", "error:Timeout Occured"}))
      << "closed first: closing may write a status";
  EXPECT_FALSE(link.open);
  EXPECT_TRUE(main.StatusFailed);
  EXPECT_EQ(main.StatusText, "COM Closed, Timeout Occured");

  log.clear();
  link.closeFails = true;
  EXPECT_NO_THROW(main.ApplicationEvents1Exception("No Response"));
  EXPECT_EQ(log, (Lines{"disconnect", "log:Error: close failed", "error:No Response"}));
  EXPECT_EQ(link.lastError, "No Response");

  log.clear();
  link.closeFails = false;
  main.Guard([] { throw 42; });
  EXPECT_EQ(log, (Lines{"disconnect", "error:Unknown failure"}));

  log.clear();
  main.Guard([] {});
  EXPECT_TRUE(log.empty());
}

TEST_F(MainTest, ActivationStopsAnnunciatorAndRackSimulatorsOnly) {
  for (const auto& n : TMain1::SimulatorWindows()) Add(n).visible = true;
  main.FormActivate();
  Lines want;
  for (const auto& n : TMain1::ScanWindows()) want.push_back(n + ".StopScan");
  EXPECT_EQ(log, want);
  EXPECT_TRUE(With("Rtu3sim1").empty());
  EXPECT_EQ(want.size(), TMain1::SimulatorWindows().size() - 1);
}

// ---- page buttons ---------------------------------------------------------------------

TEST_F(MainTest, PagesAndTheirPanels) {
  const struct {
    const char* page;
    std::vector<std::string> panel;
    bool fw, prod;
  } cases[] = {
      {"Vex216", {"  Vex216", "16in/2out+Watch", "Announciator"}, false, true},
      {"Vex216v2", {"  Vex216v2", "16in/2out+Fault", "Announciator"}, true, true},
      {"Vex308", {"  Vex308", "8in/2out+Fault", "Announciator"}, true, true},
      {"Vex316", {"  Vex316", "16in/2out+Fault", "Announciator"}, true, true},
      {"Vex324", {"  Vex324", "24in/2out+Fault", "Announciator"}, true, true},
      {"Vex924", {"  Vex924", "24in/2out+Fault", "Announciator"}, true, true},
      {"Vex932", {"  Vex932", "32in/2out+Fault", "Announciator"}, true, true},
      {"Vex936", {"  Vex936", "36in/2out+Fault", "Announciator"}, true, true},
      {"Tord48", {"  TORD-48", "19\" Rack Module", "48input"}, true, true},
      {"Vald3", {"  VALD-3", "19\" Rack Module", "48input/24output/12ssr"}, true, true},
      {"Brix3", {"  BRIX-3000", "5000io", "19\" Rack RTU"}, true, false},
  };
  Create(true, true);
  ASSERT_EQ(main.Pages.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& p = main.Pages[i];
    EXPECT_EQ(p.Def.Caption, cases[i].page);
    EXPECT_EQ(p.Def.Panel, cases[i].panel) << cases[i].page;
    EXPECT_EQ(p.FwUpload.Visible, cases[i].fw) << cases[i].page;
    EXPECT_EQ(p.Production.Visible, cases[i].prod) << cases[i].page;
    EXPECT_TRUE(p.Configuration.Visible && p.Simulator.Visible);
  }
}

TEST_F(MainTest, ButtonsOfToolsNotBuiltSaySo) {
  Add("Vex324cfg1").available = false;
  Page("Vex324").Configuration.Click();
  Page("Vex324").Simulator.Click();
  main.BootMixer.Click();
  EXPECT_EQ(log,
            (Lines{"mesaj:Vex324 Configuration is not available yet",
                   "mesaj:Vex324 Simulator is not available yet", "mesaj:Boot Mixer is not available yet"}));
}

TEST_F(MainTest, PageButtonsReachTheirTools) {
  FakeWindow& m = Add("Main1");
  m.b = TBounds{100, 50, 600, 400};
  for (const char* n :
       {"Vex215cfg1", "Vex215sim1", "Vex215prod1", "Vex216cfg1", "Vex216sim1", "Vex216prod1", "Vex308sim1",
        "Vex324sim1", "Vex748cfg1", "Rtu3file1", "Rtu3sim1", "Mixer1", "Ports1"})
    Add(n);
  struct Case {
    std::string page;
    TControl TMainPage::*button;
    Lines want;
  };
  const std::vector<Case> cases = {
      {"Vex216", &TMainPage::Configuration, {"Vex215cfg1.Show", "Vex215cfg1.ReadConfig"}},
      {"Vex216", &TMainPage::Production, {"Vex215prod1.DoProduct"}},
      {"Vex216", &TMainPage::Simulator, {"Vex215sim1.Show"}},
      {"Vex216v2", &TMainPage::FwUpload, {"Vex216prod1.UploadFirm"}},
      {"Vex216v2",
       &TMainPage::Configuration,
       {"Vex216cfg1.MoveTo 100,455", "Vex216cfg1.Show", "Vex216cfg1.ReadConfig"}},
      {"Vex216v2", &TMainPage::Configuration, {"Vex216cfg1.ReadConfig"}},  // already shown: stays
      {"Vex216v2",
       &TMainPage::Simulator,
       {"Vex216sim1.MoveTo 705,455", "Vex216sim1.Show", "Vex216sim1.StartScan"}},
      {"Vex216v2", &TMainPage::Simulator, {}},
      {"Vex308",
       &TMainPage::Simulator,
       {"Vex308sim1.MoveTo 705,455", "Vex308sim1.Show", "Vex308sim1.StartScan", "Vex308sim1.Show"}},
      {"Vex308", &TMainPage::Simulator, {"Vex308sim1.Show"}},
      {"Vex324",
       &TMainPage::Simulator,
       {"Vex324sim1.MoveTo 705,80", "Vex324sim1.Show", "Vex324sim1.StartScan"}},
      {"Tord48", &TMainPage::Configuration, {"Vex748cfg1.Show", "Vex748cfg1.ReadConfig"}},
      {"Brix3", &TMainPage::FwUpload, {"Rtu3file1.Show"}},
      {"Brix3", &TMainPage::Simulator, {"Rtu3sim1.Show"}},
  };
  for (const auto& c : cases) {
    log.clear();
    (Page(c.page).*c.button).Click();
    EXPECT_EQ(log, c.want) << c.page << " " << (Page(c.page).*c.button).Caption;
  }
  log.clear();
  main.BootMixer.Click();
  main.PortSettings.Click();
  EXPECT_EQ(log, (Lines{"Mixer1.ShowModal", "Ports1.Show"}));
}

TEST_F(MainTest, Vex316SimulatorOpensTheInspectorBelowIt) {
  Add("Main1").b = TBounds{100, 50, 600, 400};
  FakeWindow& sim = Add("Vex316sim1");
  FakeWindow& desk = Add("Vex316desk1");
  sim.b = TBounds{0, 0, 500, 250};
  sim.inspector = true;
  Page("Vex316").Simulator.Click();
  EXPECT_EQ(log, (Lines{"Vex316sim1.MoveTo 705,80", "Vex316sim1.Show", "Vex316sim1.StartScan", "process",
                        "Vex316desk1.MoveTo 700,335", "Vex316desk1.Show"}));
  EXPECT_TRUE(desk.visible);

  log.clear();
  sim.inspector = false;
  Page("Vex316").Simulator.Click();
  EXPECT_EQ(log, Lines{"process"});
}

// ---- external configuration program -------------------------------------------------------

class ConfigProgramTest : public MainTest {
 protected:
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vexsim-cfgprog-" + std::to_string(::getpid()));
  void SetUp() override {
    std::filesystem::create_directories(dir);
    Create(false, false, (dir / "vexsim").string());
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  void Ini(const std::string& text) { std::ofstream(dir / "VexConfg.Ini") << text; }
  void Click() { Page("Brix3").Configuration.Click(); }
};

TEST_F(ConfigProgramTest, BringsARunningWindowForward) {
  Ini("[Config1]\nCaption=Brix Config\nExecute=/opt/brix/vexconfg\n");
  desktop.windows = {"Brix Config"};
  Click();
  EXPECT_EQ(log, Lines{"raise:Brix Config"});
}

TEST_F(ConfigProgramTest, StartsTheProgram) {
  const struct {
    const char* ini;
    std::set<std::string> files;
    const char* opened;
  } cases[] = {
      {"[Config1]\nCaption=Brix Config\nExecute=/opt/brix/vexconfg\n",
       {"/opt/brix/vexconfg"},
       "open:/opt/brix/vexconfg"},
      {"[Config1]\nExecute=tools/vexconfg\n", {}, "open:../Rtu3ws/VexEvent/vexconfg"},
      {"[Config1]\nExecute=C:\\Brix\\VexConfg.Exe\n", {}, "open:../Rtu3ws/VexEvent/VexConfg.Exe"},
      {"", {"VexConfg.Exe"}, "open:VexConfg.Exe"},
      {nullptr, {}, "open:../Rtu3ws/VexEvent/VexConfg.Exe"},  // no INI file at all
  };
  for (const auto& c : cases) {
    std::filesystem::remove(dir / "VexConfg.Ini");
    if (c.ini) Ini(c.ini);
    log.clear();
    desktop.files = c.files;
    Click();
    EXPECT_EQ(log, Lines{c.opened}) << (c.ini ? c.ini : "(no file)");
  }
}

TEST_F(ConfigProgramTest, StartFailureIsIgnored) {
  desktop.openFails = true;
  EXPECT_NO_THROW(Click());
  EXPECT_EQ(log, Lines{"open:../Rtu3ws/VexEvent/VexConfg.Exe"});
}

}  // namespace
}  // namespace vex
