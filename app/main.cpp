// vexsim: the annunciator configuration, test and production utility.
#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/AppWindows.h"
#include "app/Services.h"
#include "shell/Instances.h"

int main(int argc, char** argv) {
  using namespace vex;
  VexApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  SetToolTipTiming(app);

  QtSettingsStore store;
  QtDesktop desktop;
  TInstances in(TStartInfo::FromProcess(), store, desktop);
  in.Ports1.ProcessMessages = [] { QCoreApplication::processEvents(); };
  TAppWindows windows(in);
  MainView& mainView = windows.Main1();
  app.OnException = [&](const std::string& m) {
    in.Main1.ApplicationEvents1Exception(m);
    mainView.Refresh();
  };
  IdleDriver idle(in.Main1, &mainView, [&] { mainView.Refresh(); });
  QObject::connect(&mainView, &MainView::Closed, &app, &QCoreApplication::quit);

  mainView.show();
  const int rc = app.exec();
  try {
    in.Shutdown();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  return rc;
}
