// Shared pieces of the view tests: the one application object, a recording hub and PNG output.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "app/Services.h"
#include "shell/Basics.h"
#include "shell/Main.h"

namespace vex::testing_app {

// Screens of the offscreen platform: a 1920 x 1080 monitor with a 1366 x 768 one on its right.
inline constexpr const char* kOffscreenScreens = R"({
  "windowFrameMargins": true,
  "screens": [
    {"name": "left", "x": 0, "y": 0, "width": 1920, "height": 1080, "logicalDpi": 96, "dpr": 1},
    {"name": "right", "x": 1920, "y": 0, "width": 1366, "height": 768, "logicalDpi": 96, "dpr": 1}
  ]
})";

// The application of the test run (offscreen platform with the screens above unless a display
// is chosen).
inline VexApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  static VexApplication* app = [] {
    QString file;  // read by the platform when the application starts
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") || qgetenv("QT_QPA_PLATFORM") == "offscreen") {
      file = QDir::tempPath() + "/vexsim-screens-" + QString::number(QCoreApplication::applicationPid()) +
             ".json";
      QFile f(file);
      if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(kOffscreenScreens);
      f.close();
      qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + file).toLocal8Bit());
    }
    auto* a = new VexApplication(argc, argv);
    if (!file.isEmpty()) QFile::remove(file);
    return a;
  }();
  return *app;
}

// Runs the event loop for ms milliseconds.
inline void Spin(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Saves a window's picture below the build folder and returns the file name.
inline std::string SaveShot(QWidget& w, const std::string& name) {
  const QString dir = QString(VEX_BINARY_DIR) + "/shots";
  QDir().mkpath(dir);
  const QString file = dir + "/" + QString::fromStdString(name) + ".png";
  w.grab().save(file);
  return file.toStdString();
}

struct RecordingLink : IMainLink {
  std::vector<std::string> calls;
  bool busy = false, open = false;
  int detectFailures = 0;
  std::string lastError, status = "COM Closed", page;
  bool ComBsy() const override { return busy; }
  bool ConnectPortChecked() const override { return open; }
  void SetConnectPort(bool on) override {
    calls.push_back(on ? "connect" : "disconnect");
    open = on;
  }
  void Discovery() override { calls.push_back("discovery"); }
  void AutoDetection() override {
    calls.push_back("autodetect");
    if (detectFailures > 0) {
      --detectFailures;
      throw Exception("Unable to find target");
    }
  }
  void Mesaj(const std::string& m) override {
    lastError.clear();
    status = "COM Closed, " + m;
  }
  void Error(const std::string& m) override { lastError = m; }
  void Log(const std::string& m) override { calls.push_back("log:" + m); }
  int BotMod() const override { return 0; }
  std::string DetectedPage() const override { return page; }
  std::string StatusText() const override { return lastError.empty() ? status : status + ", " + lastError; }
  bool StatusFailed() const override { return !lastError.empty(); }
  void ProcessMessages() override { QCoreApplication::processEvents(); }
};

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

}  // namespace vex::testing_app
