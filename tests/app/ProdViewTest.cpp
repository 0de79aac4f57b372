// The production window against a simulated board: the button runs the production through
// the busy check, the fields show the result, "Status:" turns green after a run that succeeded
// and light red after one that failed, and the error reaches the application's report.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "app/ProdView.h"
#include "tests/app/AppSupport.h"
#include "tests/firmware/ProdRig.h"

namespace vex {
namespace {

using namespace testing_app;
using test::ProdRig;

void SaveScreen(const std::string& name) {
  if (QGuiApplication::platformName() != "xcb" || !QGuiApplication::primaryScreen()) return;
  const QString dir = QString(VEX_BINARY_DIR) + "/shots";
  QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + QString::fromStdString(name) + ".png");
}

QColor StatusColour(ProdView& v, ProdRig& r) {
  return v.Field(r.Prod.Status)->grab().toImage().pixelColor(4, 4);
}

TEST(ProdViewTest, ProduceShowsTheResultInGreen) {
  App();
  ProdRig r("Vex324", {});
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    r.emu->Dev().SetIdentity(0, 0, 0);
  }
  ProdView view(r.Prod, r.Main1);
  r.Prod.DoProduct();
  EXPECT_TRUE(view.isVisible());
  EXPECT_EQ(view.windowTitle().toStdString(), "Vex324 Production");
  EXPECT_EQ(view.ProduceButton()->text().toStdString(), "Produce Vex324");
  EXPECT_EQ(view.Field(r.Prod.NextId)->text().toStdString(), "65500") << "read from the (missing) log";
  r.Prod.NextId.SetText("00012");
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(0x0754));
  view.Refresh();
  bool disabledDuring = false;
  r.Ports1.ProcessMessages = [&] {
    QCoreApplication::processEvents();
    disabledDuring = disabledDuring || !view.ProduceButton()->isEnabled();
  };
  view.ProduceButton()->click();
  EXPECT_TRUE(disabledDuring) << "the button is disabled while the run is under way";
  EXPECT_TRUE(view.ProduceButton()->isEnabled());
  EXPECT_EQ(view.Field(r.Prod.Status)->text().toStdString(), "Production complete...");
  EXPECT_EQ(view.Field(r.Prod.ProdId)->text().toStdString(), "00012");
  EXPECT_EQ(view.Field(r.Prod.NextId)->text().toStdString(), "00013");
  EXPECT_EQ(StatusColour(view, r), QColor(0, 255, 0));
  SaveShot(view, "prod-success");
  Spin(150);  // the window system maps and paints the window
  SaveScreen("prod-success-screen");
}

TEST(ProdViewTest, FailedRunShowsTheErrorInLightRed) {
  App();
  ProdRig r("Vex324", {});
  ProdView view(r.Prod, r.Main1);
  r.Prod.DoProduct();
  r.Prod.ModelFile.SetText(r.modelFile);
  r.Prod.FirmwareFile.SetText(r.Firmware(0x0554));
  view.Refresh();
  view.ProduceButton()->click();
  EXPECT_EQ(view.Field(r.Prod.Status)->text().toStdString(),
            "Error: Firmware version not supported. Boot=54.102 File=54.005");
  EXPECT_EQ(StatusColour(view, r), QColor(255, 128, 128));
  EXPECT_EQ(r.Ports1.Text(TConsoleText::LastError), "Firmware version not supported. Boot=54.102 File=54.005")
      << "the application's error report";
  EXPECT_TRUE(view.PlanGroup()->isEnabled());
  SaveShot(view, "prod-failure");
  Spin(150);
  SaveScreen("prod-failure-screen");
}

}  // namespace
}  // namespace vex
