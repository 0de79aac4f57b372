// vexsim: the annunciator configuration, test and production utility.
//   vexsim                          the program
//   vexsim --demo [--model vex324]  the same against a simulated device started beside it
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <memory>
#include <string>

#include "app/AppWindows.h"
#include "app/Demo.h"
#include "app/Services.h"
#include "shell/Instances.h"

namespace {

int Run(int argc, char** argv) {
  using namespace vex;
  VexApplication app(argc, argv);
  app.setApplicationName("vexsim");
  app.setQuitOnLastWindowClosed(false);
  SetToolTipTiming(app);

  QCommandLineParser args;
  args.setApplicationDescription(cMainCaption);
  args.addHelpOption();
  const QCommandLineOption demoOpt("demo", "Run against a simulated device started as a child process.");
  const QCommandLineOption modelOpt("model", "Model of the simulated device (vex324, vex215, ..., brix3).",
                                    "model", "vex324");
  args.addOption(demoOpt);
  args.addOption(modelOpt);
  args.process(app);
  if (args.isSet(modelOpt) && !args.isSet(demoOpt)) {
    std::fprintf(stderr, "--model chooses the simulated device of --demo\n");
    return 1;
  }

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

  std::unique_ptr<DemoDevice> demo;
  std::unique_ptr<DemoView> demoView;
  if (args.isSet(demoOpt)) {
    demo = std::make_unique<DemoDevice>(in, DemoDevice::DefaultEmulator());
    try {
      demo->Start(args.value(modelOpt).toStdString());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
    demoView = std::make_unique<DemoView>(*demo, in.Main1);
  }

  mainView.Refresh();
  mainView.show();
  if (demoView) {
    const QRect r = mainView.frameGeometry();
    demoView->move(r.left(), r.bottom() + 5);
    demoView->show();
  }
  const int rc = app.exec();
  app.OnException = nullptr;
  demoView.reset();
  demo.reset();  // the child ends; the link settings are those from before the demonstration
  try {
    in.Shutdown();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
  }
  return rc;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& e) {  // a failure before the message loop runs
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
