// The program's windows with the real instances: start-up order, reachability by name,
// placeholders, the hub's status in the main window, and the settings written at the end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/AppWindows.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;

class AppWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vexsim-app-" + std::to_string(::getpid()));
  MapSettingsStore store;
  NoDesktop desktop;
  std::string Ini() const { return (dir / "vexsim.ini").string(); }
};

TEST_F(AppWindowsTest, EveryWindowInStartUpOrder) {
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
  TAppWindows w(in);
  const std::vector<std::string> order = w.Order();
  ASSERT_EQ(order.size(), 41u);
  const std::vector<std::string> head = {"Main1",  "Ports1",     "Loader1",    "Mixer1",      "IsaMaps1",
                                         "Event1", "Vex308cfg1", "Vex308sim1", "Vex308prod1", "Vex215cfg1"};
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 10), head);
  const std::vector<std::string> tail = {"Vex936prod1", "Rtu3file1", "Rtu3encap1",
                                         "Rtu3app1",    "Rtu3sim1",  "Vex316desk1"};
  EXPECT_EQ(std::vector<std::string>(order.end() - 6, order.end()), tail);

  const struct {
    const char* name;
    const char* caption;
  } captions[] = {{"Main1", "Announciator System Configuration Utility"},
                  {"Ports1", "Port Settings & Diagnostics"},
                  {"IsaMaps1", "ISA-18.1-1979 (R1992) Configurator"},
                  {"Event1", "Vex Events"},
                  {"Rtu3file1", "File Upload / Download Manager"},
                  {"Rtu3encap1", "Rtu3 Modul Firmware Encapsulator"},
                  {"Rtu3app1", "Rtu3 Application File Generator"},
                  {"Rtu3sim1", "BRIX-3000 Simulator"},
                  {"Vex316desk1", "Vex316 Inspector"},
                  {"Vex215sim1", "Vex216 Simulator"},
                  {"Vex936sim1", "Vex936 Simulator"},
                  {"Vex748sim1", "Vex748 Simulator"},
                  {"Vex733sim1", "Vald-3 Simulator"}};
  for (const auto& c : captions) {
    QWidget* win = w.Window(c.name);
    ASSERT_NE(win, nullptr) << c.name;
    EXPECT_EQ(win->windowTitle().toStdString(), c.caption);
    EXPECT_NE(in.Main1.Tool(c.name), nullptr) << c.name;
    EXPECT_FALSE(win->isVisible()) << "windows are hidden until shown: " << c.name;
  }
  EXPECT_EQ(w.Window("Nobody1"), nullptr);
  EXPECT_TRUE(in.Main1.Tool("Event1")->Available());
  EXPECT_TRUE(in.Main1.Tool("Vex324sim1")->Available());
  EXPECT_TRUE(in.Main1.Tool("Vex316desk1")->Available());
}

TEST_F(AppWindowsTest, TwoSetsLiveSideBySide) {
  TInstances a(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
  TInstances b(TStartInfo{(dir / "vexsim").string(), true}, store, desktop, Ini());
  a.Event1.AddEvent(cBase2000, "only in a");
  a.Ports1.Mesaj("hello a");
  EXPECT_TRUE(b.Event1.Lines().empty());
  EXPECT_EQ(b.Ports1.Text(TConsoleText::Status), "");
  EXPECT_FALSE(a.Main1.DesMod);
  EXPECT_TRUE(b.Main1.DesMod);
  a.Main1.ApplicationEvents1Idle();
  EXPECT_NE(a.Main1.StatusText.find("hello a"), std::string::npos);
  b.Main1.ApplicationEvents1Idle();
  EXPECT_EQ(b.Main1.StatusText.find("hello a"), std::string::npos);
}

TEST_F(AppWindowsTest, EveryToolOfTheStartOrderIsBuilt) {
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
  TAppWindows w(in);
  for (const auto& [name, caption] : TAppWindows::StartOrder()) {
    ASSERT_NE(w.Window(name), nullptr) << name;
    EXPECT_EQ(dynamic_cast<PlaceholderView*>(w.Window(name)), nullptr) << name << " is still a placeholder";
  }
  MainView& v = w.Main1();
  v.show();
  v.Button(in.Main1.PortSettings)->click();
  EXPECT_TRUE(w.Window("Ports1")->isVisible());
}

TEST_F(AppWindowsTest, ExceptionHandlerClosesTheRealLink) {
  TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
  in.Main1.Guard([] { throw Exception("Timeout Occured"); });
  EXPECT_EQ(in.Ports1.Text(TConsoleText::LastError), "Timeout Occured");
  EXPECT_FALSE(in.Ports1.ConnectPortChecked());
  ASSERT_FALSE(in.Ports1.LogLines.empty());
  EXPECT_EQ(in.Ports1.LogLines.back(), "Error: Timeout Occured");
  in.Main1.ApplicationEvents1Idle();
  EXPECT_TRUE(in.Main1.StatusFailed);
}

TEST_F(AppWindowsTest, SettingsAreWrittenAtTheEnd) {
  {
    TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
    in.Ports1.LabeledEdit30 = "127.0.0.1";
    in.Ports1.LabeledEdit31 = "1502";
  }
  std::ifstream f(Ini());
  std::stringstream text;
  text << f.rdbuf();
  EXPECT_NE(text.str().find("1502"), std::string::npos) << text.str();
  EXPECT_NE(text.str().find("Announciator System Configuration Utility, Rev 2.078.r34"), std::string::npos);
  TInstances again(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
  EXPECT_EQ(again.Ports1.LabeledEdit31, "1502");
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

using namespace testing_app;

// The program left alone with its windows on the screen: the idle passes come from the 240 ms
// polling message and the odd window event only; a pass that itself posts work would spin.
TEST(AppWindowsIdle, ShownWindowsDoNotKeepTheLoopBusy) {
  App();
  const auto dir = std::filesystem::temp_directory_path() / ("vexsim-idle-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const struct {
    const char* name;
    bool ports, event, linkError;
  } cases[] = {{"main window only", false, false, false},
               {"with the hub's window", true, false, false},
               {"with every built window", true, true, false},
               {"with a last error shown", true, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MapSettingsStore store;
    NoDesktop desktop;
    TInstances in(TStartInfo{(dir / "vexsim").string(), true}, store, desktop, (dir / "vexsim.ini").string());
    TAppWindows w(in);
    MainView& mainView = w.Main1();
    IdleDriver idle(in.Main1, &mainView, [&] { mainView.Refresh(); });
    mainView.show();
    if (c.ports) w.Ports1().show();
    if (c.event) w.Event1().show();
    if (c.linkError) in.Main1.ApplicationEvents1Exception("No Response");
    Spin(300);  // settle: first layouts and paints
    const int before = idle.Passes();
    Spin(1000);
    EXPECT_LE(idle.Passes() - before, 40) << "passes in one second";
    EXPECT_GE(idle.Passes() - before, 2) << "the polling message keeps the passes coming";
    w.Event1().hide();
    w.Ports1().hide();
    mainView.hide();
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vex
