// The rack RTU's four windows against the simulated RTU: clicks run the core operations, the
// windows show the results, everything fits a 1366x768 screen, and pictures go to build/shots/.
#include <gtest/gtest.h>

#include <QApplication>
#include <QScreen>

#include "app/AppWindows.h"
#include "app/RtuViews.h"
#include "tests/app/AppSupport.h"
#include "tests/rtu/RtuRig.h"

namespace vex {
namespace {

using namespace testing_app;
using rtutest::FakeDialogs;
using rtutest::Rig;
using rtutest::RtuFile;

struct ViewRig : Rig {
  ViewRig() {
    App();
    ports.ProcessMessages = [] { QCoreApplication::processEvents(); };
    fm.Home = dir.path().string();
    fm.Sim = &sim;
    fm.CompletionStepMs = 50;
    main.DesMod = true;
    main.SrvMod = true;
  }
  TRtu3sim1 sim{ports, main};
  TRtu3file1 fm{ports, main};
  TMixer1 mixer;
  TRtu3encap1 enc{mixer};
  TRtu3app1 gen{mixer};
};

// The window fits the smaller screen with room for its frame.
void ExpectFits(QWidget& w) {
  w.adjustSize();
  const QSize s = w.frameSize().expandedTo(w.size());
  EXPECT_LE(s.width(), 1366) << w.objectName().toStdString();
  EXPECT_LE(s.height(), 740) << w.objectName().toStdString();
}

TEST(RtuViews, FileManagerUploadsThroughItsButtonsAndShowsTheTable) {
  ViewRig r;
  FakeDialogs d;
  r.fm.Dialogs = &d;
  Rtu3fileView v(r.fm, r.main);
  v.show();
  Spin(200);  // the first showing reads the table
  EXPECT_EQ(v.Table()->item(1, 0)->text().toStdString(), "F1- Applic File");
  EXPECT_EQ(v.Table()->item(0, 8)->text().toStdString(), "Age");
  EXPECT_EQ(v.Table()->item(1, 4)->text().toStdString(), "1048576");
  EXPECT_GE(v.Table()->columnWidth(0), 100);
  EXPECT_GE(v.Table()->columnWidth(8), 130);
  const ByteStr file = RtuFile(1000, 0x6122);
  v.NameEdit(0)->setText(QString::fromStdString(r.dir.Write("a.rtua", file)));
  r.fm.Names[0].SetText(v.NameEdit(0)->text().toStdString());
  bool cancelSeen = false;
  r.fm.Changed = [&] {
    v.Refresh();
    cancelSeen =
        cancelSeen || (v.CancelButton()->isEnabled() && !v.Button(r.fm.CheckFilesButton)->isEnabled());
  };
  v.Button(r.fm.UploadButton[0])->click();
  EXPECT_TRUE(cancelSeen) << "only Cancel enabled during the transfer";
  EXPECT_EQ(v.StatusLine()->text().toStdString(), "Uploading 16 / 16 Complete.");
  EXPECT_EQ(v.Table()->item(1, 1)->text().toStdString(), "61.034");
  EXPECT_FALSE(v.CancelButton()->isEnabled());
  EXPECT_TRUE(v.Button(r.fm.EraseButton[4])->isVisibleTo(&v)) << "service mode";
  ExpectFits(v);
  SaveShot(v, "rtu3file1");
  v.hide();
}

TEST(RtuViews, MonitorPollsFromTheIdleGateAndShowsEveryGroup) {
  ViewRig r;
  Rtu3simView v(r.sim, r.main);
  v.show();
  r.Control("errors CfgErr=61 WdtErr=162 WdtCnt=2");
  r.Control("socket 4 state=104 remote=127.0.0.8 port=20000 trn=0x00FF count=12");
  v.ScanBox()->click();
  ASSERT_TRUE(r.sim.StartScan);
  for (int i = 0; i < 15; ++i) {
    v.Tool().AppIdle();
    Spin(5);
  }
  EXPECT_EQ(r.sim.Seq, 0);
  EXPECT_EQ(v.FieldEdit(fCfgErr)->text().toStdString(), "61 - config security");
  EXPECT_EQ(v.FieldEdit(fWdtErr)->text().toStdString(), "162 - watchdog occured c:2");
  EXPECT_EQ(v.FieldEdit(fIpnAdr)->text().toStdString(), "127.0.0.1");
  EXPECT_EQ(v.Sockets()->item(4, 1)->text().toStdString(), "104 - event upload");
  EXPECT_EQ(v.Sockets()->item(0, 8)->text().toStdString(), "Error Count");
  // a held test output: pressed writes 1000, released 0
  QPushButton* horn = v.Button(r.sim.TestHorn);
  ASSERT_NE(horn, nullptr);
  horn->pressed();
  EXPECT_TRUE(r.sim.TstOt1);
  horn->released();
  EXPECT_FALSE(r.sim.TstOt1);
  EXPECT_EQ(r.ports.ModRead(790, false), 0);
  ExpectFits(v);
  SaveShot(v, "rtu3sim1");
  v.ScanBox()->click();
  EXPECT_FALSE(r.ports.ConnectPortChecked());
  EXPECT_EQ(v.FieldEdit(fIpnAdr)->text().toStdString(), "");
}

TEST(RtuViews, GeneratorWindows) {
  ViewRig r;
  r.enc.Home = r.gen.Home = r.dir.path().string();
  Rtu3encapView e(r.enc, r.main);
  Rtu3appView a(r.gen, r.main);
  e.show();
  a.show();
  EXPECT_EQ(e.height(), 585);
  EXPECT_GE(e.width(), 711);
  EXPECT_EQ(e.windowTitle().toStdString(), "Rtu3 Modul Firmware Encapsulator");
  EXPECT_EQ(a.windowTitle().toStdString(), "Rtu3 Application File Generator");
  // ticking and typing reach the core; "Process Files" writes the empty package
  e.Tick(6)->click();  // Tord48
  EXPECT_TRUE(r.enc.Ticks[6]);
  e.OutputEdit()->setText(QString::fromStdString(r.dir.File("e.rtum")));
  r.enc.Output.SetText(e.OutputEdit()->text().toStdString());
  e.ProcessButton()->click();
  EXPECT_EQ(fwtest::ReadText(r.dir.File("e.rtum")).size(), 200u);
  ExpectFits(e);
  ExpectFits(a);
  SaveShot(e, "rtu3encap1");
  SaveShot(a, "rtu3app1");
  e.hide();  // settings written
  EXPECT_EQ(ReadIniSection(r.dir.File("Brix3/Brix3prod.ini"), "ModFiles").at("CheckBox6"), "1");
}

// The main window's "Brix3" page opens the file manager ("Fw Upload") and the monitor
// ("Simulator"); the file manager's developer buttons open the two generators.
TEST(RtuViews, Brix3PageOpensTheRtuWindows) {
  App();
  fwtest::TempDir dir;
  MapSettingsStore store;
  NoDesktop desktop;
  TInstances in(TStartInfo{dir.File("vexsim"), true}, store, desktop, dir.File("vexsim.ini"));
  in.Rtu3file1.Home = in.Rtu3encap1.Home = in.Rtu3app1.Home = dir.path().string();
  TAppWindows w(in);
  TMainPage& brix = in.Main1.Pages[static_cast<size_t>(in.Main1.PageIndex("Brix3"))];
  brix.FwUpload.Click();
  EXPECT_TRUE(w.Window("Rtu3file1")->isVisible());
  brix.Simulator.Click();
  EXPECT_TRUE(w.Window("Rtu3sim1")->isVisible());
  in.Rtu3file1.EncapClick();
  in.Rtu3file1.AppClick();
  EXPECT_TRUE(w.Window("Rtu3encap1")->isVisible());
  EXPECT_TRUE(w.Window("Rtu3app1")->isVisible());
  EXPECT_EQ(w.Window("Rtu3encap1")->windowTitle().toStdString(), "Rtu3 Modul Firmware Encapsulator");
  for (const char* n : {"Rtu3file1", "Rtu3sim1", "Rtu3encap1", "Rtu3app1"}) w.Window(n)->hide();
  EXPECT_TRUE(std::filesystem::exists(dir.File("Brix3/Brix3prod.ini"))) << "settings written on hide";
}

// Under a display (xvfb-run with QT_QPA_PLATFORM=xcb) each window is shown on the screen at its
// place and the whole screen is saved, so it can be looked at on a 1366x768 and a 1600x1000 screen.
TEST(RtuViews, EachWindowOnTheScreen) {
  ViewRig r;
  r.enc.Home = r.gen.Home = r.dir.path().string();
  Rtu3fileView f(r.fm, r.main);
  Rtu3encapView e(r.enc, r.main);
  Rtu3appView a(r.gen, r.main);
  Rtu3simView s(r.sim, r.main);
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_NE(screen, nullptr);
  const QRect avail = screen->availableGeometry();
  if (avail.width() < 1366 || avail.height() < 700)
    GTEST_SKIP() << "needs a screen of 1366x768 or more (xvfb-run)";
  const std::string size = std::to_string(avail.width()) + "x" + std::to_string(avail.height());
  const std::pair<QWidget*, const char*> windows[] = {
      {&f, "rtu3file1"}, {&e, "rtu3encap1"}, {&a, "rtu3app1"}, {&s, "rtu3sim1"}};
  for (const auto& [w, name] : windows) {
    SCOPED_TRACE(name);
    w->move(avail.topLeft() + QPoint(10, 10));
    w->show();
    Spin(150);
    const QRect g = w->frameGeometry();
    EXPECT_TRUE(avail.contains(g)) << name << " " << g.width() << "x" << g.height();
    if (QGuiApplication::platformName() == "xcb") {
      const QString dir = QString(VEX_BINARY_DIR) + "/shots";
      screen->grabWindow(0).save(dir + "/" + name + "-screen-" + QString::fromStdString(size) + ".png");
    }
    w->hide();
  }
}

}  // namespace
}  // namespace vex
