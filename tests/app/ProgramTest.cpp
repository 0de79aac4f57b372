// The whole program as vexsim assembles it, end to end against simulated devices: demonstration
// mode, "Discovery" and a manual read through the windows, an idle program that does not spin with
// the link open, a lost device ending in the red last error of both status bars, and the hub
// window's own "Auto Detection" selecting the model's page of the main window.
#include <gtest/gtest.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "app/Program.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;
namespace fs = std::filesystem;

double CpuSeconds() {
  timespec t{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// Under a real display (xvfb-run with QT_QPA_PLATFORM=xcb) the whole screen is saved as well.
void SaveScreen(const std::string& name) {
  if (QGuiApplication::platformName() != "xcb" || !QGuiApplication::primaryScreen()) return;
  const QString dir = QString(VEX_BINARY_DIR) + "/shots";
  QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + QString::fromStdString(name) + ".png");
}

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    fs::create_directories(dir);
    program = std::make_unique<TProgram>(App(), TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                                         (dir / "vexsim.ini").string());
  }
  void TearDown() override {
    program.reset();
    fs::remove_all(dir);
  }
  TPorts1& Ports() { return program->In().Ports1; }
  TMain1& Main() { return program->In().Main1; }
  PortsView& PortsWin() { return program->Windows().Ports1(); }
  MainView& MainWin() { return program->Main1(); }
  // One idle pass as the event loop runs it, then the main window shows the result.
  void IdlePass() {
    program->Idle().Pass();
    Spin(10);
  }

  fs::path dir = fs::temp_directory_path() / ("vexsim-program-" + std::to_string(::getpid()));
  std::string emulator = std::string(VEX_BINARY_DIR) + "/vexemu";
  MapSettingsStore store;
  NoDesktop desktop;
  std::unique_ptr<TProgram> program;
};

TEST_F(ProgramTest, DemoDeviceIsIdentifiedAndReadThroughTheWindows) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  program->StartDemo("vex324", QString::fromStdString(emulator));
  program->Show();
  Spin(50);
  ASSERT_NE(program->DemoWindow(), nullptr);
  EXPECT_TRUE(program->DemoWindow()->isVisible());
  EXPECT_EQ(MainWin().PageControl()->tabText(MainWin().PageControl()->currentIndex()), "Vex324");

  MainWin().Button(Main().PortSettings)->click();
  Spin(20);
  ASSERT_TRUE(PortsWin().isVisible());
  EXPECT_EQ(PortsWin().SettingsPages()->currentIndex(), 1) << "the demonstration runs over the network page";

  // "Discovery" opens the link with the stored settings and identifies the device
  PortsWin().ButtonNamed("Discovery")->click();
  Spin(20);
  EXPECT_EQ(PortsWin().ConsoleField(TConsoleText::LastError)->text(), "");
  EXPECT_EQ(Ports().BotMod, 0x54);
  EXPECT_TRUE(PortsWin().findChild<QLineEdit*>("LabeledEdit51")->text().contains("Vex324"));
  EXPECT_FALSE(PortsWin().findChild<QLineEdit*>("LabeledEdit52")->text().isEmpty());
  PortsWin().ConsolePages()->setCurrentIndex(0);
  Spin(20);
  SaveShot(PortsWin(), "program-discovery");

  // a manual read of the identification registers shows them in the window
  const auto& g = PortsWin().GroupWidgets(TTestGroup::Registers);
  g.First->setText("0");
  g.Second->setText("16");
  PortsWin().ButtonNamed("Send 0x03 Query")->click();
  Spin(20);
  EXPECT_EQ(PortsWin().ConsoleField(TConsoleText::LastError)->text(), "");
  const QStringList values = g.Values->toPlainText().simplified().split(' ');
  ASSERT_EQ(values.size(), 16) << g.Values->toPlainText().toStdString();
  EXPECT_EQ(values[2].toStdString(), "0x" + IntToHex(Ports().BotReg, 4)) << "register 2: boot identifier";
  EXPECT_EQ(values[1].toStdString(), "0x" + IntToHex(Ports().AppReg, 4)) << "register 1: application";
  EXPECT_EQ(g.Query->text(), PortsWin().ConsoleField(TConsoleText::Transmit)->text());
  PortsWin().ConsolePages()->setCurrentIndex(4);
  IdlePass();
  EXPECT_EQ(MainWin().StatusPanel()->text().toStdString(), Ports().ComText2());
  SaveShot(PortsWin(), "program-manual-read");
  SaveShot(MainWin(), "program-main");
  SaveScreen("program-screen");
}

// Demonstration mode end to end: the simulated device also serves a serial line, listed among the
// discovered ports while the demonstration runs, so "Detect Target" of the main window and "Auto
// Detection" of the hub's window find it as on a USB adapter; the demonstration window sits below
// the main window; the settings file keeps the link settings from before the demonstration.
TEST_F(ProgramTest, DemonstrationDeviceIsDetectedOnItsSerialLine) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  Ports().PortRoots = {(dir / "dev").string(), (dir / "sys").string()};  // no USB adapter here
  Ports().ComboBox1 = "/dev/ttyUSB7";
  program->StartDemo("vex324", QString::fromStdString(emulator));
  program->Show();
  Spin(50);
  ASSERT_NE(program->DemoWindow(), nullptr);
  ASSERT_TRUE(program->DemoWindow()->isVisible());
  const QRect m = MainWin().frameGeometry();
  EXPECT_EQ(program->DemoWindow()->frameGeometry().topLeft(), QPoint(m.left(), m.top() + m.height() + 5));
  EXPECT_TRUE(
      program->DemoWindow()->Info()->text().contains(QString::fromStdString(program->Demo()->PtyPath())));

  const struct {
    const char* model;  // "" the device as started
    bool mainButton;    // "Detect Target" of the main window, else "Auto Detection"
    const char* page;
    int botMod;
  } cases[] = {
      {"", true, "Vex324", 0x54}, {"tord48", false, "Tord48", 0x6E}, {"vex215", true, "Vex216", 0x16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(*c.model ? c.model : "vex324");
    if (*c.model) {
      program->StartDemo(c.model, QString::fromStdString(emulator));
      Spin(20);
    }
    const std::string pty = program->Demo()->PtyPath();
    ASSERT_FALSE(pty.empty());
    MainWin().PageControl()->setCurrentIndex(Main().AboutPage());
    if (c.mainButton)
      MainWin().Button(Main().DetectTarget)->click();
    else
      PortsWin().ButtonNamed("Auto Detection")->click();
    IdlePass();
    EXPECT_EQ(Ports().Text(TConsoleText::LastError), "");
    EXPECT_TRUE(PortsWin().isVisible());
    EXPECT_EQ(Ports().ComboBox1, pty) << "found on the demonstration's serial line";
    EXPECT_EQ(Ports().BotMod, c.botMod);
    EXPECT_NE(std::find(Ports().PortItems.begin(), Ports().PortItems.end(), pty), Ports().PortItems.end());
    EXPECT_EQ(PortsWin().PortBox()->findText(QString::fromStdString(pty)), 0)
        << "listed as a discovered port";
    EXPECT_NE(std::find(Ports().LogLines.begin(), Ports().LogLines.end(), "Target Found..."),
              Ports().LogLines.end());
    EXPECT_EQ(MainWin().PageControl()->tabText(MainWin().PageControl()->currentIndex()).toStdString(),
              c.page);
  }
  SaveShot(PortsWin(), "program-demo-detected");

  // without the demonstration the port is gone from the list, and the settings are those from before
  EXPECT_EQ(program->End(), "");
  EXPECT_TRUE(Ports().SimulatedPorts.empty());
  TPorts1 saved;
  saved.IniPath = (dir / "vexsim.ini").string();
  saved.LoadSettings();
  EXPECT_EQ(saved.ComboBox1, "/dev/ttyUSB7");
  EXPECT_EQ(saved.ComboBox2, 4);
  EXPECT_EQ(saved.LabeledEdit1, "$EE");
}

// The demonstration as its user sees it: the main window, the demonstration window below it and,
// after "Detect Target", "Port Settings & Diagnostics"; every window wholly on the screen. Under a
// real display (scripts/render-windows.sh) the whole screen is saved per screen size.
TEST_F(ProgramTest, DemonstrationWindowsStayWhollyOnTheScreen) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  Ports().PortRoots = {(dir / "dev").string(), (dir / "sys").string()};
  program->StartDemo("vex324", QString::fromStdString(emulator));
  program->Show();
  Spin(300);  // the window manager places the main window, then the demonstration window follows
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect area = screen->availableGeometry();
  const std::string size =
      std::to_string(screen->size().width()) + "x" + std::to_string(screen->size().height());
  auto onScreen = [&](QWidget& w, const char* what) {
    EXPECT_TRUE(w.isVisible()) << what;
    EXPECT_TRUE(area.contains(w.frameGeometry()))
        << what << " at " << w.frameGeometry().x() << "," << w.frameGeometry().y() << " "
        << w.frameGeometry().width() << "x" << w.frameGeometry().height() << " on " << size;
  };
  onScreen(MainWin(), "main window");
  onScreen(*program->DemoWindow(), "demonstration window");
  SaveScreen("screen-" + size + "-demo");

  MainWin().Button(Main().DetectTarget)->click();
  IdlePass();
  Spin(300);
  EXPECT_EQ(Ports().Text(TConsoleText::LastError), "");
  EXPECT_EQ(Ports().ComboBox1, program->Demo()->PtyPath());
  onScreen(MainWin(), "main window");
  onScreen(PortsWin(), "Port Settings & Diagnostics");
  onScreen(*program->DemoWindow(), "demonstration window");
  SaveScreen("screen-" + size + "-detected");
  SaveShot(PortsWin(), "program-ports-detected");
  SaveShot(MainWin(), "program-main-detected");
  PortsWin().hide();
}

TEST_F(ProgramTest, IdleProgramWithAnOpenEchoedLinkStaysQuiet) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  program->StartDemo("vex936", QString::fromStdString(emulator));
  program->Show();
  MainWin().Button(Main().PortSettings)->click();
  PortsWin().findChild<QCheckBox*>("CheckBox4")->click();  // "Log Simulation Flow"
  ASSERT_TRUE(Ports().CheckBox4);
  PortsWin().ConnectBox()->click();
  ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);
  program->Windows().Event1().show();
  Spin(300);

  const int passes = program->Idle().Passes();
  const double cpu = CpuSeconds();
  Spin(2000);
  EXPECT_LE(program->Idle().Passes() - passes, 80) << "idle passes in two seconds";
  EXPECT_GE(program->Idle().Passes() - passes, 4) << "the polling message keeps the passes coming";
  EXPECT_LT(CpuSeconds() - cpu, 0.5) << "CPU seconds used in two idle seconds";
  EXPECT_TRUE(Ports().ConnectPortChecked());
}

TEST_F(ProgramTest, LostDeviceEndsInTheLastErrorOfBothStatusBars) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  program->StartDemo("vex324", QString::fromStdString(emulator));
  program->Show();
  MainWin().Button(Main().PortSettings)->click();
  Ports().LabeledEdit33 = "50";  // a short answer timeout keeps the test quick
  PortsWin().ConnectBox()->click();
  ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);
  program->Demo()->Stop();
  Spin(50);

  const auto& g = PortsWin().GroupWidgets(TTestGroup::Registers);
  g.First->setText("0");
  g.Second->setText("4");
  PortsWin().ButtonNamed("Send 0x03 Query")->click();
  Spin(20);
  const QString error = PortsWin().ConsoleField(TConsoleText::LastError)->text();
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(PortsWin().ConnectBox()->isChecked()) << "the application handler closes the link";
  EXPECT_TRUE(PortsWin().StatBarPanel()->Red());
  IdlePass();
  EXPECT_TRUE(MainWin().StatusPanel()->text().endsWith(", " + error))
      << MainWin().StatusPanel()->text().toStdString();
  EXPECT_NE(MainWin().StatusPanel()->styleSheet().indexOf("255, 0, 0"), -1);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "no dialog";
}

TEST_F(ProgramTest, HubAutoDetectionSelectsTheMainWindowPage) {
  const struct {
    const char* model;
    const char* page;
  } cases[] = {{"vex932", "Vex932"}, {"tord48", "Tord48"}};
  program->Show();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.model);
    emu::ServerOptions o;
    o.serial = true;
    o.baud = 19200;
    emu::EmuServer server(emu::MakeDevice(emu::ModelFor(c.model)), o);
    server.Start();
    Ports().FixedPorts = {server.PtyPath()};
    MainWin().PageControl()->setCurrentIndex(Main().AboutPage());
    PortsWin().ButtonNamed("Auto Detection")->click();
    EXPECT_EQ(PortsWin().ConsoleField(TConsoleText::LastError)->text(), "");
    IdlePass();
    EXPECT_EQ(MainWin().PageControl()->tabText(MainWin().PageControl()->currentIndex()).toStdString(),
              c.page);
    server.Stop();
  }
}

TEST_F(ProgramTest, EndKeepsTheSettingsFromBeforeTheDemonstration) {
  if (!fs::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
  Ports().LabeledEdit30 = "10.1.2.3";
  Ports().LabeledEdit32 = "7";
  program->StartDemo("vex308", QString::fromStdString(emulator));
  program->Show();
  MainWin().Button(Main().PortSettings)->click();
  PortsWin().ConnectBox()->click();
  ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);
  const qint64 pid = program->Demo()->ProcessId();
  ASSERT_GT(pid, 0);

  EXPECT_EQ(program->End(), "");
  EXPECT_FALSE(Ports().ConnectPortChecked()) << "the link is closed at the end";
  EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0) << "the simulated device ended";
  TPorts1 saved;
  saved.IniPath = (dir / "vexsim.ini").string();
  saved.LoadSettings();
  EXPECT_EQ(saved.ActivePage, lpComm);
  EXPECT_EQ(saved.LabeledEdit30, "10.1.2.3");
  EXPECT_EQ(saved.LabeledEdit31, "502");
  EXPECT_EQ(saved.LabeledEdit32, "7") << "settings edited before the demonstration are kept";
  EXPECT_EQ(program->End(), "") << "runs once";
}

// An unhandled failure while the link is open: the link is closed and the failure stays the last
// error, whichever page the link runs on (closing a socket writes its own status line).
TEST_F(ProgramTest, UnhandledFailureWithAnOpenLinkStaysTheLastError) {
  emu::ServerOptions o;
  o.serial = true;
  o.tcpPort = 0;
  emu::EmuServer server(emu::MakeDevice(emu::ModelFor("vex324")), o);
  server.Start();
  program->Show();
  const struct {
    const char* name;
    TLinkPage page;
  } cases[] = {{"network", lpNetwork}, {"serial", lpComm}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Ports().ActivePage = c.page;
    Ports().LabeledEdit30 = "127.0.0.1";
    Ports().LabeledEdit31 = std::to_string(server.TcpPort());
    Ports().ComboBox1 = server.PtyPath();
    Ports().ComboBox2Change(6);  // 57600, the device's rate
    PortsWin().Refresh();
    PortsWin().ConnectBox()->click();
    ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);

    const auto& g = PortsWin().GroupWidgets(TTestGroup::Registers);
    g.First->setText("70000");
    g.Second->setText("1");
    PortsWin().ButtonNamed("Send 0x03 Query")->click();
    const std::string message = "Starting Address: Range Check, Valid Range:  [0 ~ 65535].";
    EXPECT_EQ(Ports().Text(TConsoleText::LastError), message);
    EXPECT_EQ(PortsWin().ConsoleField(TConsoleText::LastError)->text().toStdString(), message);
    EXPECT_FALSE(Ports().ConnectPortChecked()) << "the handler closes the link";
    EXPECT_TRUE(PortsWin().StatBarPanel()->Red());
    IdlePass();
    EXPECT_TRUE(MainWin().StatusPanel()->text().toStdString().ends_with(", " + message))
        << MainWin().StatusPanel()->text().toStdString();
    ASSERT_FALSE(Ports().LogLines.empty());
    EXPECT_EQ(Ports().LogLines.back(), "Error: " + message);
  }
  server.Stop();
}

// Administrator mode detects the target at the first idle pass of the running event loop: the hub's
// window opens beside the main window (moved to 200, 50) and the found model's page is selected.
TEST(ProgramStart, AdministratorDetectsAtTheFirstIdlePass) {
  App();
  const fs::path dir = fs::temp_directory_path() / ("vexsim-admin-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  emu::ServerOptions o;
  o.serial = true;
  o.baud = 38400;
  emu::EmuServer server(emu::MakeDevice(emu::ModelFor("vex936")), o);
  server.Start();
  const struct {
    bool admin;
    const char* page;  // selected after the first passes
  } cases[] = {{false, "About"}, {true, "Vex936"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.admin ? "administrator" : "no modes");
    MapSettingsStore store;
    if (c.admin) store.Values["Software\\Pelmora\\Products"] = cModeKey;
    NoDesktop desktop;
    TProgram program(App(), TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                     (dir / "vexsim.ini").string());
    program.In().Ports1.FixedPorts = {server.PtyPath()};
    program.Show();
    Spin(200);
    MainView& mainView = program.Main1();
    EXPECT_EQ(program.In().Main1.PreRun, c.admin);
    EXPECT_EQ(program.Windows().Ports1().isVisible(), c.admin);
    EXPECT_EQ(mainView.PageControl()->tabText(mainView.PageControl()->currentIndex()).toStdString(), c.page);
    EXPECT_EQ(program.In().Ports1.Text(TConsoleText::LastError), "");
    if (c.admin) {
      EXPECT_EQ(mainView.frameGeometry().topLeft(), QPoint(200, 50));
      EXPECT_FALSE(mainView.Button(program.In().Main1.Pages[0].Production)->isHidden());
    }
    program.Windows().Ports1().hide();
  }
  server.Stop();
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vex
