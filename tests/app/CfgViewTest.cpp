// The configuration editors' windows and the ISA-18.1 configurator window over the real core
// against a simulated device: "Read Config" fills the fields, a mixed selection shows blank
// lists and grey boxes, and every window is drawn to PNG beside the configurator as a screen of
// 1366x768 and 1600x1000 would show them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <memory>

#include "app/AppWindows.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "shell/Instances.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;
namespace fs = std::filesystem;

class CfgViewTest : public ::testing::Test {
 protected:
  void Start(const std::string& key) {
    App();
    fs::create_directories(dir);
    auto dev = emu::MakeDevice(emu::ModelFor(key));
    dev->SetBootWait(50);
    emu::ServerOptions o;
    o.tcpPort = 0;
    emu = std::make_unique<emu::EmuServer>(std::move(dev), o);
    emu->Start();
    in = std::make_unique<TInstances>(TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                                      (dir / "vexsim.ini").string());
    in->Ports1.ActivePage = lpNetwork;
    in->Ports1.LabeledEdit30 = "127.0.0.1";
    in->Ports1.LabeledEdit31 = std::to_string(emu->TcpPort());
    in->Ports1.LabeledEdit34 = "300";
    windows = std::make_unique<TAppWindows>(*in);
  }
  void TearDown() override {
    windows.reset();
    in.reset();
    emu.reset();
    fs::remove_all(dir);
  }
  // The screen as the editor's "ISA 18.1 Configurator" leaves it: the editor at the top left, the
  // configurator beside it (or where it is), both clipped by the screen.
  void Screen(CfgView& v, const std::string& name, int w, int h) {
    QImage screen(w, h, QImage::Format_RGB32);
    screen.fill(QColor(40, 60, 90));
    QPainter p(&screen);
    v.move(0, 0);
    p.drawPixmap(0, 0, v.grab());
    QWidget& isa = windows->IsaMaps1();
    if (isa.isVisible()) p.drawPixmap(isa.pos(), isa.grab());
    p.end();
    const QString dirName = QString(VEX_BINARY_DIR) + "/shots";
    QDir().mkpath(dirName);
    screen.save(dirName + "/" + QString::fromStdString(name) + "-" + QString::number(w) + "x" +
                QString::number(h) + ".png");
  }

  fs::path dir = fs::temp_directory_path() / ("vexsim-cfgview-" + std::to_string(::getpid()));
  MapSettingsStore store;
  NoDesktop desktop;
  std::unique_ptr<emu::EmuServer> emu;
  std::unique_ptr<TInstances> in;
  std::unique_ptr<TAppWindows> windows;
};

TEST_F(CfgViewTest, ReadConfigFillsTheFields) {
  Start("vex324");
  CfgView* v = windows->Editor("Vex324cfg1");
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->windowTitle(), "Vex324 - Configuration");
  v->show();
  ASSERT_NE(v->Button("Read Config"), nullptr);
  v->Button("ISA 18.1 Configurator")->click();  // open while the device is read: it follows
  v->Button("Read Config")->click();
  EXPECT_EQ(v->Field("LabeledEdit1")->text(), "00001");
  EXPECT_EQ(v->Field("LabeledEdit3")->text(), "$01, Good");
  EXPECT_EQ(v->Field("LabeledEdit10")->text(), "1");
  EXPECT_EQ(v->Field("LabeledEdit11")->text(), "20");
  EXPECT_EQ(windows->IsaMaps1().Channels()->count(), 24);
  // a typed field reaches the editor; Write Config sends it
  v->Field("LabeledEdit11")->setText("42");
  emit v->Field("LabeledEdit11")->textEdited("42");
  v->Button("Write Config")->click();
  std::lock_guard<std::mutex> lock(emu->Dev().Mutex());
  EXPECT_EQ(emu->Dev().Cfg(16), 42);
}

TEST_F(CfgViewTest, MixedSelectionShowsBlankListsAndGreyBoxes) {
  Start("vex324");
  CfgView* v = windows->Editor("Vex324cfg1");
  v->show();
  v->Button("Read Config")->click();
  v->Button("ISA 18.1 Configurator")->click();
  IsaMapsView& isa = windows->IsaMaps1();
  EXPECT_TRUE(isa.isVisible());
  // input 2 gets another First Alarm colour and its own HORN toggle
  isa.Channels()->clearSelection();
  isa.Channels()->item(1)->setSelected(true);
  isa.List(isAlm, ipColor)->setCurrentIndex(2);
  emit isa.List(isAlm, ipColor)->activated(2);
  // both selected: the colour list is blank, the flash list (equal) is not
  isa.Channels()->item(0)->setSelected(true);
  EXPECT_EQ(isa.List(isAlm, ipColor)->currentIndex(), -1);
  EXPECT_EQ(isa.List(isAlm, ipColor)->currentText(), "");
  EXPECT_GE(isa.List(isAlm, ipFlash)->currentIndex(), 0);
  in->IsaMaps1.SelectChannels({2});
  in->IsaMaps1.InpInvClick(cbChecked);
  in->IsaMaps1.SelectChannels({1, 2});
  isa.Refresh();
  EXPECT_EQ(in->IsaMaps1.InpInvBox.State, cbGrayed);
  Screen(*v, "isamaps-mixed", 1600, 1000);
}

// Every editor's window and the configurator beside it, as pictures to look at.
TEST_F(CfgViewTest, EveryEditorOnTheScreen) {
  Start("vex324");
  for (TVexCfg1* e : in->Editors()) {
    CfgView* v = windows->Editor(e->FormName());
    ASSERT_NE(v, nullptr) << e->FormName();
    v->show();
    v->Refresh();
    SaveShot(*v, e->FormName() + "-window");
    if (e->Row.Place != TIsaPlace::None) {
      windows->IsaMaps1().hide();
      in->IsaMaps1.Hide();
      in->Main1.Guard([&] { e->Button10Click(); });
    }
    for (auto [w, h] : {std::pair{1366, 768}, std::pair{1600, 1000}}) Screen(*v, e->FormName(), w, h);
    EXPECT_LE(v->frameGeometry().width(), 1366) << e->FormName();
    EXPECT_LE(v->frameGeometry().height(), 768) << e->FormName();
    v->hide();
  }
  QWidget& isa = windows->IsaMaps1();
  isa.show();
  SaveShot(isa, "isamaps");
  EXPECT_LE(isa.width(), 1366);
  EXPECT_LE(isa.height(), 768);
  EXPECT_GE(isa.sizeHint().width(), isa.minimumSizeHint().width());
}

}  // namespace
}  // namespace vex
