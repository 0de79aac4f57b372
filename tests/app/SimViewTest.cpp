// The annunciator simulator windows over the real screens against a simulated device: a panel
// in alarm shows its lamps in the member's layout, clicks reach the device, and the pictures
// are saved for a look.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <filesystem>
#include <set>

#include "app/AppWindows.h"
#include "config/IsaMaps.h"
#include "tests/app/AppSupport.h"
#include "tests/monitor/SimRig.h"

namespace vex {
namespace {

using namespace testing_app;

struct PanelCase {
  const char* model;
  const char* sim;
  std::vector<int> alarms;  // windows set abnormal
  int columns;
};

class SimViewTest : public ::testing::TestWithParam<PanelCase> {};

QColor PixelOf(QWidget& top, QWidget& w) {
  const QImage img = top.grab().toImage();
  const QPoint c = w.mapTo(&top, QPoint(3, w.height() / 2));
  return img.pixelColor(c);
}

TEST_P(SimViewTest, PanelInAlarmShowsItsLampsInColumns) {
  App();
  const PanelCase& c = GetParam();
  simtest::SimRig r(c.model);
  TAppWindows windows(*r.in);
  SimView* v = windows.Sim(c.sim);
  ASSERT_NE(v, nullptr);
  TVexSim& s = v->Sim();
  v->Tool().Show();
  v->Tool().StartScan();
  ASSERT_TRUE(v->ScanBox()->isChecked());
  for (int n : c.alarms) r.Emu("set " + std::to_string(n));
  ASSERT_TRUE(r.PollUntil(s, [&] {
    for (int n : c.alarms)
      if (s.States(n)[0] != 'I') return false;
    return true;
  }));
  // the first alarm acknowledged: a steady window beside the flashing ones
  s.LabelX01Click(c.alarms.front());
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.States(c.alarms.front())[1] == '.'; }));
  v->Refresh();
  QApplication::processEvents();
  // columns of the member: distinct left edges of the window lamps
  std::set<int> lefts;
  for (int n = 1; n <= s.Def.Windows; ++n) lefts.insert(v->WindowLamp(n)->mapTo(v, QPoint(0, 0)).x());
  EXPECT_EQ(static_cast<int>(lefts.size()), c.columns);
  EXPECT_EQ(v->WindowLamp(1)->Text(), "01");
  EXPECT_EQ(v->WindowLamp(s.Def.Windows)->Text(), QString("%1").arg(s.Def.Windows, 2, 10, QChar('0')));
  // lamps carry the screen's colours
  for (int n = 1; n <= s.Def.Windows; ++n) {
    EXPECT_EQ(v->WindowLamp(n)->Color(), s.Panel[static_cast<size_t>(n - 1)].Lamp.Color) << n;
    EXPECT_EQ(v->Indicator(n, 0)->Color(), s.Panel[static_cast<size_t>(n - 1)].Ind[0].Color) << n;
  }
  EXPECT_EQ(v->Indicator(1, 6)->toolTip().toStdString(), s.IndHint(6));
  // what is drawn: each window in its colour, an indicator that is on in sky blue
  for (int n : c.alarms) {
    const QColor px = PixelOf(*v, *v->WindowLamp(n));
    const TColor want = v->WindowLamp(n)->Color();
    if (want == clBtnFace) continue;
    EXPECT_EQ(px, QtColor(want, v)) << "window " << n;
  }
  EXPECT_EQ(PixelOf(*v, *v->Indicator(c.alarms.back(), 0)), QColor(0xA6, 0xCA, 0xF0));
  // the window fits the smaller screen
  const QSize hint = v->sizeHint();
  EXPECT_LE(hint.width(), 1366);
  EXPECT_LE(hint.height(), 740);
  SaveShot(*v, std::string(c.sim) + "-alarm");
  // on a real screen (Xvfb): the whole window on the screen, and the screen's picture
  if (QGuiApplication::platformName() == "xcb" && QGuiApplication::primaryScreen()) {
    v->move(0, 0);
    Spin(300);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_TRUE(screen.contains(v->frameGeometry())) << "window off the screen";
    const QString name = QString("%1-screen-%2x%3").arg(c.sim).arg(screen.width()).arg(screen.height());
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString(VEX_BINARY_DIR) + "/shots/" + name + ".png");
  }
}

INSTANTIATE_TEST_SUITE_P(Members, SimViewTest,
                         ::testing::Values(PanelCase{"vex324", "Vex324sim1", {1, 5, 13, 24}, 2},
                                           PanelCase{"vex936", "Vex936sim1", {2, 11, 21, 33, 36}, 4},
                                           PanelCase{"vex308", "Vex308sim1", {3, 8}, 1}),
                         [](const auto& i) { return std::string(i.param.model); });

TEST(SimViewKeys, ButtonsReachTheDeviceAndScanStopsOnHide) {
  App();
  simtest::SimRig r("vex324");
  TAppWindows windows(*r.in);
  SimView* v = windows.Sim("Vex324sim1");
  TVexSim& s = v->Sim();
  v->Tool().Show();
  v->Tool().StartScan();
  r.Emu("set 2");
  ASSERT_TRUE(r.PollUntil(s, [&] { return s.States(2)[1] == 'A'; }));
  v->findChild<QPushButton*>("Button4")->click();  // ACK
  EXPECT_TRUE(r.PollUntil(s, [&] { return s.States(2)[1] == '.'; }));
  v->hide();
  EXPECT_FALSE(s.Scanning());
  EXPECT_FALSE(v->ScanBox()->isChecked());
}

}  // namespace
}  // namespace vex
