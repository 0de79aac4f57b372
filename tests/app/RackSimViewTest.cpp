// The rack module screens' windows with the real instances against the simulated modules:
// "Start Scan" and the posted polls through the event loop, lamps and boxes as the core sets
// them, a clicked "Out" box reaching the module, and closing the window closing the link.
// Pictures of both panels go to build/shots/ (under xvfb-run with QT_QPA_PLATFORM=xcb also the
// whole screen).
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <functional>
#include <memory>
#include <string>

#include "app/AppWindows.h"
#include "tests/app/AppSupport.h"
#include "tests/monitor/SimRig.h"

namespace vex {
namespace {

using namespace testing_app;

struct RackViewCase {
  const char* model;
  const char* window;
  const char* shot;
};

void PrintTo(const RackViewCase& c, std::ostream* os) { *os << c.model; }

class RackSimViewTest : public ::testing::TestWithParam<RackViewCase> {
 protected:
  void SetUp() override {
    App();
    rig = std::make_unique<simtest::SimRig>(GetParam().model);
    in = rig->in.get();
    windows = std::make_unique<TAppWindows>(*in);
  }
  void TearDown() override {
    windows.reset();
    rig.reset();
  }
  RackSimView& View() { return *static_cast<RackSimView*>(windows->Window(GetParam().window)); }
  TRackSim& Sim() {
    return std::string(GetParam().window) == "Vex733sim1" ? static_cast<TRackSim&>(in->Vex733sim1)
                                                          : in->Vex748sim1;
  }
  // Idle passes through the main window's dispatcher, the posted polls run by the event loop.
  bool PassUntil(const std::function<bool()>& ok) {
    for (int i = 0; i < 200; ++i) {
      in->Main1.ApplicationEvents1Idle();
      Spin(10);
      if (ok()) return true;
    }
    return false;
  }
  void Emu(const std::string& line) { rig->Emu(line); }

  std::unique_ptr<simtest::SimRig> rig;  // the simulated module and the instances
  TInstances* in = nullptr;
  std::unique_ptr<TAppWindows> windows;
};

TEST_P(RackSimViewTest, ScanLampsBoxesAndClose) {
  const bool io = std::string(GetParam().window) == "Vex733sim1";
  in->Main1.Tool(GetParam().window)->Show();
  RackSimView& v = View();
  ASSERT_TRUE(v.isVisible());
  EXPECT_EQ(v.windowTitle().toStdString(), io ? "Vald-3 Simulator" : "Vex748 Simulator");
  v.StartScan()->click();
  ASSERT_TRUE(Sim().Scanning());
  EXPECT_TRUE(v.StartScan()->isChecked());
  for (int n : {1, 2, 18, 33, 47}) Emu("set " + std::to_string(n));
  if (io) {
    Emu("slot 2 $99");
    Emu("outfault 20 on");
    Emu("irig on");
    in->Ports1.ModWrite(64, 0x0005, false);
    in->Ports1.ModWrite(66, 0x0081, false);
  }
  ASSERT_TRUE(PassUntil([&] { return Sim().Active == 5; }));
  for (int i = 0; i < 48; ++i)
    EXPECT_EQ(v.InputLamp(i)->Color(), Sim().Inputs[static_cast<size_t>(i)].Color) << i;
  EXPECT_EQ(v.InputLamp(0)->Color(), clLampRed);
  EXPECT_EQ(v.InputLamp(2)->Color(), clLampOff);
  EXPECT_FALSE(v.TimeLine()->text().isEmpty());
  if (io) {
    EXPECT_EQ(v.SlotField(1)->text().toStdString(), "$99, Undef");
    EXPECT_EQ(v.ActiveBar()->value(), 5);
    EXPECT_TRUE(v.OutBox(0)->isChecked());
    EXPECT_TRUE(v.OutBox(2)->isChecked());
    EXPECT_TRUE(v.OutBox(16 + 7)->isChecked()) << "output 40";
    EXPECT_FALSE(v.OutBox(1)->isChecked());
    EXPECT_FALSE(in->Vex733sim1.Boxes.CmdFlg) << "boxes set by the poll are no clicks";
    EXPECT_EQ(v.OverrideBox(0)->checkState(), Qt::PartiallyChecked);
    v.OutBox(1)->click();  // output 2 on: read-modify-write of register 64
    ASSERT_TRUE(PassUntil([&] { return in->Vex733sim1.Outputs[1].Color == clLampRed; }));
    EXPECT_EQ(in->Ports1.ModRead(64, false), 0x0007);
  }
  SaveShot(v, GetParam().shot);
  if (QGuiApplication::platformName() == "xcb" && QGuiApplication::primaryScreen()) {
    const QSize s = QGuiApplication::primaryScreen()->size();
    EXPECT_LE(v.frameGeometry().width(), s.width());
    EXPECT_LE(v.frameGeometry().height(), s.height());
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString(VEX_BINARY_DIR) + "/shots/" + GetParam().shot +
        QString("-screen-%1x%2.png").arg(s.width()).arg(s.height()));
  }
  EXPECT_LE(v.sizeHint().width(), 1366);
  EXPECT_LE(v.sizeHint().height(), 720);

  v.close();
  EXPECT_FALSE(Sim().Scanning());
  EXPECT_FALSE(Sim().Visible);
  EXPECT_FALSE(in->Ports1.ConnectPortChecked()) << "closing unticks Start Scan, which closes the link";
}

INSTANTIATE_TEST_SUITE_P(Modules, RackSimViewTest,
                         ::testing::Values(RackViewCase{"tord48", "Vex748sim1", "rack-vex748sim"},
                                           RackViewCase{"vald3", "Vex733sim1", "rack-vex733sim"}),
                         [](const auto& i) { return std::string(i.param.model); });

}  // namespace
}  // namespace vex
