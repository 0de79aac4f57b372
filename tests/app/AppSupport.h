// Shared pieces of the view tests: the one application object, a recording hub and PNG output.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

#include "app/Services.h"
#include "shell/Basics.h"
#include "shell/Main.h"

namespace vex::testing_app {

// The application of the test run (offscreen platform unless a display is chosen).
inline VexApplication& App() {
  static int argc = 1;
  static char name[] = "test_app";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static VexApplication* app = new VexApplication(argc, argv);
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
