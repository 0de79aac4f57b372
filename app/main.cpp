// vexsim: the annunciator configuration, test and production utility.
//   vexsim                          the program
//   vexsim --demo [--model vex324]  the same against a simulated device started beside it
#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>
#include <string>

#include "app/Program.h"

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
  TProgram program(app, TStartInfo::FromProcess(), store, desktop);
  QObject::connect(&program.Main1(), &MainView::Closed, &app, &QCoreApplication::quit);
  if (args.isSet(demoOpt)) {
    try {
      program.StartDemo(args.value(modelOpt).toStdString());
    } catch (const std::exception& e) {
      std::fprintf(stderr, "%s\n", e.what());
      return 1;
    }
  }
  program.Show();
  const SignalQuit endSignals([] { QCoreApplication::quit(); });
  const int rc = app.exec();
  const std::string failure = program.End();
  if (!failure.empty()) std::fprintf(stderr, "%s\n", failure.c_str());
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
