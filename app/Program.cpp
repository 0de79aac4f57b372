#include "app/Program.h"

#include <QCoreApplication>
#include <QTimer>
#include <QWindow>
#include <exception>
#include <functional>
#include <utility>

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

namespace {

// Runs once when a window is first on the screen, placed by the window manager (its first expose).
class FirstExpose : public QObject {
 public:
  FirstExpose(QWindow* w, std::function<void()> f) : QObject(w), f_(std::move(f)) {
    w->installEventFilter(this);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::Expose && static_cast<QWindow*>(o)->isExposed() && f_) {
      // after the expose has been handled: the frame the window manager gave is known then
      QTimer::singleShot(0, o, std::exchange(f_, nullptr));
      deleteLater();
    }
    return false;
  }

 private:
  std::function<void()> f_;
};

}  // namespace

void TProgram::Show() {
  MainView& mainView = windows_->Main1();
  mainView.Refresh();
  mainView.show();
  if (!demoView_ || demoView_->isVisible()) return;
  // below the main window where the window manager put it
  auto place = [this] {
    if (!demoView_ || !windows_) return;
    const TBounds b = windows_->Main1().Tool().Bounds();
    QtToolWindow(demoView_.get()).MoveTo(b.Left, b.Top + b.Height + 5);
    demoView_->show();  // the main window keeps the focus
  };
  QWindow* w = mainView.windowHandle();
  if (w && !w->isExposed())
    new FirstExpose(w, place);
  else
    place();
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
