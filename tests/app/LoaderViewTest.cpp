// The upload window against a simulated board: modal, on top, without a close box, painted
// before the first exchange, the progress bar moving and Cancel answering during the transfer
// through the hub's message processing, and "Close" after an upload that succeeded.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include "app/LoaderView.h"
#include "tests/app/AppSupport.h"
#include "tests/firmware/UploadRig.h"

namespace vex {
namespace {

using namespace testing_app;
using test::AppHex;
using test::MessageOf;
using test::UploadRig;

void SaveScreen(const std::string& name) {
  if (QGuiApplication::platformName() != "xcb" || !QGuiApplication::primaryScreen()) return;
  const QString dir = QString(VEX_BINARY_DIR) + "/shots";
  QGuiApplication::primaryScreen()->grabWindow(0).save(dir + "/" + QString::fromStdString(name) + ".png");
}

class LoaderViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    rig.Ports1.ProcessMessages = [this] {
      QCoreApplication::processEvents();
      if (during) during();
    };
  }
  UploadRig rig;
  RecordingLink link;
  NoDesktop desktop;
  TMain1 main{link, desktop};
  std::function<void()> during;  // runs on every message pass of the hub
};

TEST_F(LoaderViewTest, CancelAndProgressAnswerDuringTheTransfer) {
  LoaderView view(rig.Loader1, main);
  rig.Load(AppHex(0x0654, 6000));
  bool firstPassSeen = false, shot = false;
  struct {
    bool visible = false, modal = false, onTop = false, closeBox = true;
    std::string title, upper;
  } first;
  struct {
    int value = 0, max = 0;
    bool enabled = false;
    std::string button, lower;
  } mid;
  during = [&] {
    if (!firstPassSeen) {
      firstPassSeen = true;
      first.visible = view.isVisible();
      first.modal = view.isModal();
      first.onTop = view.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
      first.closeBox = view.windowFlags().testFlag(Qt::WindowCloseButtonHint);
      first.title = view.windowTitle().toStdString();
      first.upper = view.Upper()->text().toStdString();
    }
    if (!shot && rig.Loader1.ProgressPos >= rig.Loader1.Siz / 2) {
      shot = true;
      mid.value = view.Progress()->value();
      mid.max = view.Progress()->maximum();
      mid.enabled = view.Button()->isEnabled();
      mid.button = view.Button()->text().toStdString();
      mid.lower = view.Lower()->text().toStdString();
      SaveShot(view, "loader-transfer");
      SaveScreen("loader-transfer-screen");
      view.Button()->click();  // "Cancel"
    }
  };
  EXPECT_EQ(MessageOf([&] { rig.Loader1.Upload(rig.Image(), 0x80, true); }), "User-Break...");
  EXPECT_TRUE(first.visible) << "on screen before the first exchange";
  EXPECT_TRUE(first.modal);
  EXPECT_TRUE(first.onTop);
  EXPECT_FALSE(first.closeBox);
  EXPECT_EQ(first.title, "Upload Firmware File=80 Mark=54.006");
  EXPECT_EQ(first.upper, first.title);
  ASSERT_TRUE(shot);
  EXPECT_EQ(mid.max, rig.Loader1.Siz);
  EXPECT_GE(mid.value, rig.Loader1.Siz / 2);
  EXPECT_LT(mid.value, rig.Loader1.Siz);
  EXPECT_TRUE(mid.enabled);
  EXPECT_EQ(mid.button, "Cancel");
  EXPECT_EQ(mid.lower.rfind("Process= ", 0), 0u) << mid.lower;
  EXPECT_FALSE(view.isVisible()) << "production mode closes the window";
  EXPECT_EQ(view.Upper()->text().toStdString(), "Error: User-Break...");
  EXPECT_EQ(rig.BoardState(), -5) << "cancelled after the block under way";
}

TEST_F(LoaderViewTest, InteractiveUploadWaitsWithCloseAfterSuccess) {
  LoaderView view(rig.Loader1, main);
  rig.Load(AppHex(0x0654, 2000));
  bool closed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (closed || view.Button()->text() != "Close" || !view.isVisible()) return;
    closed = true;
    SaveShot(view, "loader-complete");
    view.Button()->click();
  });
  poll.start(50);
  rig.Loader1.Upload(rig.Image(), 0x80, false);
  EXPECT_TRUE(closed) << "the window waited with Close";
  EXPECT_FALSE(view.isVisible());
  EXPECT_EQ(
      view.Upper()->text().toStdString().rfind("Upload Firmware File=80 Mark=54.006 Complete... Elapsed=", 0),
      0u);
  EXPECT_EQ(view.Lower()->text().toStdString(), "Application Running...");
  EXPECT_EQ(view.Progress()->value(), view.Progress()->maximum());
  EXPECT_EQ(rig.BoardState(), 0);
  EXPECT_TRUE(link.lastError.empty()) << link.lastError;
}

TEST_F(LoaderViewTest, InteractiveFailureReachesTheErrorReportAndTheWindowStays) {
  LoaderView view(rig.Loader1, main);
  rig.Load(AppHex(0x0654, 800));
  rig.Ports1.SegSiz = 48;
  bool closed = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (closed || view.Button()->text() != "Close" || !view.isVisible()) return;
    closed = true;
    SaveShot(view, "loader-error");
    view.Button()->click();
  });
  poll.start(50);
  rig.Loader1.Upload(rig.Image(), 0x80, false);
  EXPECT_TRUE(closed);
  EXPECT_EQ(link.lastError, "Unexpected Segment Size=48");
  EXPECT_EQ(view.Upper()->text().toStdString(), "Error: Unexpected Segment Size=48");
}

}  // namespace
}  // namespace vex
