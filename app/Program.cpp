#include "app/Program.h"

#include <QCoreApplication>
#include <exception>

namespace vex {

TProgram::TProgram(VexApplication& app, const TStartInfo& start, const ISettingsStore& store,
                   IDesktop& desktop, const std::string& portsIni)
    : app_(app) {
  in_ = std::make_unique<TInstances>(start, store, desktop, portsIni);
  in_->Ports1.ProcessMessages = [] { QCoreApplication::processEvents(); };
  windows_ = std::make_unique<TAppWindows>(*in_);
  MainView& mainView = windows_->Main1();
  app_.OnException = [this](const std::string& m) {
    in_->Main1.ApplicationEvents1Exception(m);
    windows_->Main1().Refresh();
  };
  idle_ = std::make_unique<IdleDriver>(in_->Main1, &mainView, [this] { windows_->Main1().Refresh(); });
}

TProgram::~TProgram() {
  try {
    End();
  } catch (...) {
    // nothing can be reported any more
  }
}

void TProgram::StartDemo(const std::string& model, const QString& emulator) {
  if (!demo_) demo_ = std::make_unique<DemoDevice>(*in_, emulator);
  demo_->Start(model);
  if (!demoView_) demoView_ = std::make_unique<DemoView>(*demo_, in_->Main1);
  demoView_->Refresh();
}

void TProgram::Show() {
  MainView& mainView = windows_->Main1();
  mainView.Refresh();
  mainView.show();
  if (demoView_) {
    const QRect r = mainView.frameGeometry();
    demoView_->move(r.left(), r.bottom() + 5);
    demoView_->show();
  }
}

std::string TProgram::End() {
  if (ended_) return "";
  ended_ = true;
  if (app_.OnException) app_.OnException = nullptr;
  idle_.reset();
  demoView_.reset();
  demo_.reset();  // the child ends; the link settings are those from before the demonstration
  std::string failure;
  try {
    in_->Shutdown();
  } catch (const std::exception& e) {
    failure = e.what();
  }
  return failure;
}

}  // namespace vex
