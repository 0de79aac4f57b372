// The whole program as vexsim runs it: the core instances, every window in start-up order, the
// application-wide exception handler, the idle dispatcher's driver and, in demonstration mode, the
// simulated device with its small window. vexsim's main() and the end-to-end tests build this.
#pragma once

#include <QString>
#include <memory>
#include <string>

#include "app/AppWindows.h"
#include "app/Demo.h"
#include "app/Services.h"
#include "shell/Instances.h"

namespace vex {

class TProgram {
 public:
  // portsIni: the link settings file ("" = the file named like the executable, beside it).
  TProgram(VexApplication& app, const TStartInfo& start, const ISettingsStore& store, IDesktop& desktop,
           const std::string& portsIni = "");
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  // Demonstration mode: starts the simulated device `model` and points the hub at it. Throws.
  void StartDemo(const std::string& model, const QString& emulator = DemoDevice::DefaultEmulator());
  // Shows the main window (and the demonstration window below it).
  void Show();
  // Program end: the simulated device ends, the hub saves the link settings (those from before a
  // demonstration) and closes the link. Returns the failure to report, "" when none. Runs once.
  std::string End();

  TInstances& In() { return *in_; }
  TAppWindows& Windows() { return *windows_; }
  MainView& Main1() { return windows_->Main1(); }
  IdleDriver& Idle() { return *idle_; }
  DemoDevice* Demo() { return demo_.get(); }
  DemoView* DemoWindow() { return demoView_.get(); }

 private:
  VexApplication& app_;
  std::unique_ptr<TInstances> in_;
  std::unique_ptr<TAppWindows> windows_;
  std::unique_ptr<IdleDriver> idle_;
  std::unique_ptr<DemoDevice> demo_;
  std::unique_ptr<DemoView> demoView_;
  bool ended_ = false;
};

}  // namespace vex
