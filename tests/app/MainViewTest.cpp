// The main window's view: pages and buttons as the core says, clicks reach the core, the status
// bar follows the hub, activation stops the simulators, and the idle passes run from the loop.
#include <gtest/gtest.h>

#include <QAbstractEventDispatcher>
#include <QPushButton>
#include <QTabBar>
#include <memory>

#include "app/MainView.h"
#include "app/ToolWindow.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;

class MainViewTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  RecordingLink link;
  NoDesktop desktop;
  TMain1 main{link, desktop};

  void Create(bool admin, bool developer) {
    MapSettingsStore store;
    if (admin) store.Values["Software\\Pelmora\\Products"] = cModeKey;
    main.FormCreate(TStartInfo{"/opt/tools/vexsim", developer}, store);
  }
};

TEST_F(MainViewTest, PagesAndButtonsFollowTheModes) {
  const struct {
    bool admin, developer;
  } cases[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (const auto& c : cases) {
    TMain1 m(link, desktop);
    MapSettingsStore store;
    if (c.admin) store.Values["Software\\Pelmora\\Products"] = cModeKey;
    m.FormCreate(TStartInfo{"/opt/tools/vexsim", c.developer}, store);
    MainView v(m);
    EXPECT_EQ(v.windowTitle(), "Announciator System Configuration Utility");
    ASSERT_EQ(v.PageControl()->count(), static_cast<int>(m.Pages.size()) + 1);
    EXPECT_EQ(v.PageControl()->tabText(v.PageControl()->count() - 1), "About");
    EXPECT_EQ(v.PageControl()->currentIndex(), m.AboutPage());
    EXPECT_EQ(v.PageControl()->isTabVisible(m.PageIndex("Vex316")), c.developer);
    EXPECT_TRUE(v.PageControl()->isTabVisible(m.PageIndex("Brix3")));
    for (const auto& p : m.Pages) {
      EXPECT_EQ(v.Button(p.Production)->isHidden(), !(c.admin && p.Def.Caption != "Brix3")) << p.Def.Caption;
      EXPECT_EQ(v.Button(p.FwUpload)->isHidden(), p.Def.Caption == "Vex216") << p.Def.Caption;
    }
    EXPECT_EQ(v.Button(m.BootMixer)->isHidden(), !c.developer);
    EXPECT_EQ(v.VersionLabel()->text(), "Rev 2.078.r34");
    EXPECT_TRUE(v.ModePanel()->text().startsWith("Rev 2.078.r34"));
  }
}

TEST_F(MainViewTest, ClicksReachTheCoreAndErrorsEndInTheStatusBar) {
  Create(false, false);
  MainView v(main);
  PlaceholderView ports("Ports1", "Port Settings & Diagnostics");
  main.SetTool("Ports1", &ports.Tool());
  main.SetTool("Main1", &v.Tool());
  v.show();

  link.detectFailures = 3;
  v.Button(main.DetectTarget)->click();
  EXPECT_EQ(link.calls, (std::vector<std::string>{"autodetect", "autodetect", "autodetect", "disconnect"}));
  EXPECT_TRUE(ports.isVisible()) << "detection shows the hub";
  EXPECT_EQ(v.StatusPanel()->text(), "COM Closed, Unable to find target");
  EXPECT_NE(v.StatusPanel()->styleSheet().indexOf("255, 0, 0"), -1) << "drawn red with a last error";

  // a tool not built yet says so in the status line, which clears the error colour
  v.Button(main.Pages[static_cast<size_t>(main.PageIndex("Vex324"))].Simulator)->click();
  EXPECT_EQ(v.StatusPanel()->text(), "COM Closed, Unable to find target") << "the status bar follows on idle";
  main.ApplicationEvents1Idle();
  v.Refresh();
  EXPECT_EQ(v.StatusPanel()->text(), "COM Closed, Vex324 Simulator is not available yet");
  EXPECT_EQ(v.StatusPanel()->styleSheet(), "");

  // the detected model's page is selected
  link.page = "Vex932";
  v.Button(main.DetectTarget)->click();
  EXPECT_EQ(v.PageControl()->tabText(v.PageControl()->currentIndex()), "Vex932");
  v.PageControl()->setCurrentIndex(main.PageIndex("Tord48"));
  EXPECT_EQ(main.ActivePage, main.PageIndex("Tord48"));
  main.SetTool("Ports1", nullptr);
  main.SetTool("Main1", nullptr);
}

// A simulator window stub that counts its turns.
struct CountingTool : QtToolWindow {
  using QtToolWindow::QtToolWindow;
  int idle = 0, stops = 0;
  void AppIdle() override { ++idle; }
  void StopScan() override { ++stops; }
};

TEST_F(MainViewTest, ActivationStopsThePolling) {
  Create(false, false);
  MainView v(main);
  QWidget simWidget;
  CountingTool sim(&simWidget);
  main.SetTool("Vex324sim1", &sim);
  simWidget.show();
  v.show();
  QApplication::setActiveWindow(&v);
  QCoreApplication::processEvents();
  ASSERT_TRUE(v.isActiveWindow());
  EXPECT_GE(sim.stops, 1);
  const int stops = sim.stops;
  QApplication::setActiveWindow(&simWidget);  // another window active: polling goes on
  QCoreApplication::processEvents();
  EXPECT_EQ(sim.stops, stops);
  main.SetTool("Vex324sim1", nullptr);
}

TEST_F(MainViewTest, IdlePassesRunWhenTheLoopWaitsAndNotOtherwise) {
  Create(false, false);
  MainView v(main);
  QWidget simWidget;
  CountingTool sim(&simWidget);
  main.SetTool("Vex324sim1", &sim);
  simWidget.show();
  link.status = "127.0.0.1:1502, Id=1, Online";
  IdleDriver idle(main, &v, [&] { v.Refresh(); });
  Spin(1000);
  // Nothing is posted: the loop wakes for the 240 ms polling message (and a few window events),
  // so the passes are few; a spinning loop would run thousands.
  EXPECT_GE(sim.idle, 2);
  EXPECT_LE(idle.Passes(), 40);
  EXPECT_EQ(sim.idle, idle.Passes());
  EXPECT_EQ(v.StatusPanel()->text(), "127.0.0.1:1502, Id=1, Online");
  main.SetTool("Vex324sim1", nullptr);
}

TEST_F(MainViewTest, IdleFollowsPostedWork) {
  // A simulator that posts its poll on every idle turn gets a pass after every poll.
  Create(false, false);
  MainView v(main);
  struct PostingTool : QtToolWindow {
    using QtToolWindow::QtToolWindow;
    int idle = 0;
    void AppIdle() override {
      ++idle;
      QCoreApplication::postEvent(Widget(), new QEvent(PollEventType()));
    }
  };
  QWidget simWidget;
  PostingTool sim(&simWidget);
  main.SetTool("Vex324sim1", &sim);
  simWidget.show();
  IdleDriver idle(main, &v, nullptr);
  Spin(300);
  EXPECT_GT(sim.idle, 50) << "posted polls keep the passes coming";
  main.SetTool("Vex324sim1", nullptr);
}

TEST_F(MainViewTest, ExceptionsOfEventHandlersReachTheHandler) {
  Create(false, false);
  std::string seen;
  App().OnException = [&](const std::string& m) { main.ApplicationEvents1Exception(m); };
  struct Throwing : QObject {
    bool event(QEvent*) override { throw Exception("No Response"); }
  } target;
  QEvent e(PollEventType());
  EXPECT_FALSE(QCoreApplication::sendEvent(&target, &e));
  App().OnException = nullptr;
  EXPECT_EQ(link.lastError, "No Response");
  EXPECT_EQ(link.calls, std::vector<std::string>{"disconnect"});
}

TEST_F(MainViewTest, RenderedMainWindow) {
  const struct {
    const char* file;
    bool admin, developer;
    const char* page;
  } cases[] = {{"main-about", false, false, "About"},
               {"main-vex324-admin", true, false, "Vex324"},
               {"main-brix3-developer", true, true, "Brix3"}};
  for (const auto& c : cases) {
    TMain1 m(link, desktop);
    MapSettingsStore store;
    if (c.admin) store.Values["Software\\Pelmora\\Products"] = cModeKey;
    m.FormCreate(TStartInfo{"/opt/tools/vexsim", c.developer}, store);
    m.ActivePage = m.PageIndex(c.page);
    m.StatusText = "COM1, 19200, 8n1, Id=$EE Closed";
    MainView v(m);
    v.show();
    Spin(20);
    const QImage shot = v.grab().toImage();
    EXPECT_GE(shot.width(), 600);
    EXPECT_GE(shot.height(), 250);
    // every tab caption is readable without scrolling
    const QTabBar* bar = v.PageControl()->tabBar();
    EXPECT_LE(bar->sizeHint().width(), v.PageControl()->width()) << "tabs fit the window";
    SaveShot(v, c.file);
  }
}

}  // namespace
}  // namespace vex
