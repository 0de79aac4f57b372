// Demonstration mode against the real simulated device program.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <filesystem>

#include "app/Demo.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;

class DemoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    if (!std::filesystem::exists(emulator)) GTEST_SKIP() << "vexemu is not built in " << VEX_BINARY_DIR;
    std::filesystem::create_directories(dir);
    in = std::make_unique<TInstances>(TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                                      (dir / "vexsim.ini").string());
    in->Ports1.ProcessMessages = [] { QCoreApplication::processEvents(); };
  }
  void TearDown() override {
    in.reset();
    std::filesystem::remove_all(dir);
  }
  std::string emulator = std::string(VEX_BINARY_DIR) + "/vexemu";
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vexsim-demo-" + std::to_string(::getpid()));
  MapSettingsStore store;
  NoDesktop desktop;
  std::unique_ptr<TInstances> in;
};

TEST_F(DemoTest, PointsTheHubAtTheSimulatedDeviceAndEndsIt) {
  qint64 pid = 0;
  {
    DemoDevice demo(*in, QString::fromStdString(emulator));
    const struct {
      const char* model;
      const char* page;
      int botMod;
    } cases[] = {{"vex324", "Vex324", 0x54}, {"vex936", "Vex936", 0x8A}};
    for (const auto& c : cases) {
      demo.Start(c.model);
      ASSERT_TRUE(demo.Running());
      EXPECT_GT(demo.Port(), 0);
      EXPECT_EQ(in->Ports1.ActivePage, lpNetwork);
      EXPECT_EQ(in->Ports1.LabeledEdit30, "127.0.0.1");
      EXPECT_EQ(in->Ports1.LabeledEdit31, std::to_string(demo.Port()));
      EXPECT_EQ(in->Main1.ActivePage, in->Main1.PageIndex(c.page));
      EXPECT_NE(in->Ports1.Text(TConsoleText::Status).find(std::string("Demonstration device ") + c.model),
                std::string::npos);

      // the link reaches the simulated device and identifies it
      in->Ports1.SetConnectPort(true);
      ASSERT_TRUE(in->Ports1.NetOpn) << in->Ports1.Text(TConsoleText::LastError);
      in->Ports1.Button51Click();
      EXPECT_EQ(in->Ports1.BotMod, c.botMod) << c.model;
      EXPECT_TRUE(in->Ports1.ConnectPortChecked());
    }
    pid = demo.ProcessId();
    ASSERT_GT(pid, 0);
  }
  EXPECT_NE(::kill(static_cast<pid_t>(pid), 0), 0) << "the simulated device ended with the demonstration";
  // the settings file keeps the link settings from before the demonstration
  EXPECT_EQ(in->Ports1.ActivePage, lpComm);
  EXPECT_EQ(in->Ports1.LabeledEdit30, "");
  EXPECT_EQ(in->Ports1.LabeledEdit31, "502");
}

TEST_F(DemoTest, RefusesUnknownModelsAndMissingPrograms) {
  DemoDevice demo(*in, QString::fromStdString(emulator));
  try {
    demo.Start("vex999");
    FAIL() << "an unknown model starts nothing";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Unknown demonstration model 'vex999'"), std::string::npos);
  }
  EXPECT_FALSE(demo.Running());
  EXPECT_EQ(in->Ports1.ActivePage, lpComm);

  DemoDevice missing(*in, QString::fromStdString((dir / "no-such-vexemu").string()));
  try {
    missing.Start("vex324");
    FAIL() << "a missing program is reported";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Unable to start the simulated device"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(in->Ports1.LabeledEdit31, "502");
}

TEST_F(DemoTest, RenderedDemoWindow) {
  DemoDevice demo(*in, QString::fromStdString(emulator));
  demo.Start("tord48");
  DemoView v(demo, in->Main1);
  EXPECT_EQ(v.ModelBox()->currentText(), "tord48");
  EXPECT_NE(v.Info()->text().indexOf(QString::number(demo.Port())), -1);
  v.ModelBox()->setCurrentText("vald3");
  v.StartButton()->click();
  EXPECT_EQ(demo.Model(), "vald3");
  EXPECT_EQ(in->Main1.ActivePage, in->Main1.PageIndex("Vald3"));
  v.show();
  Spin(20);
  SaveShot(v, "demo-window");
}

}  // namespace
}  // namespace vex
