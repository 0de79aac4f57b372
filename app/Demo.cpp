#include "app/Demo.h"

#include <sys/prctl.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGridLayout>
#include <csignal>

namespace vex {

const std::vector<std::pair<std::string, std::string>>& DemoDevice::Models() {
  static const std::vector<std::pair<std::string, std::string>> v = {
      {"vex215", "Vex216"}, {"vex216", "Vex216v2"}, {"vex308", "Vex308"}, {"vex316", "Vex316"},
      {"vex324", "Vex324"}, {"vex924", "Vex924"},   {"vex932", "Vex932"}, {"vex936", "Vex936"},
      {"tord48", "Tord48"}, {"vald3", "Vald3"},     {"brix3", "Brix3"}};
  return v;
}

QString DemoDevice::DefaultEmulator() { return QCoreApplication::applicationDirPath() + "/vexemu"; }

DemoDevice::DemoDevice(TInstances& in, QString emulator) : in_(in), emulator_(std::move(emulator)) {
  // the child goes when this program goes, also when it ends abnormally
  proc_.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
  // output after the start line is read and dropped so that the child never blocks on it
  QObject::connect(&proc_, &QProcess::readyReadStandardOutput, [this] {
    if (port_ >= 0) proc_.readAllStandardOutput();
  });
  QObject::connect(&proc_, &QProcess::readyReadStandardError, [this] {
    if (port_ >= 0) proc_.readAllStandardError();
  });
}

DemoDevice::~DemoDevice() {
  Stop();
  RestoreSettings();
}

void DemoDevice::Stop() {
  in_.Ports1.SimulatedPorts.clear();
  pty_.clear();
  port_ = -1;
  if (proc_.state() == QProcess::NotRunning) return;
  proc_.terminate();
  if (!proc_.waitForFinished(2000)) {
    proc_.kill();
    proc_.waitForFinished(2000);
  }
}

void DemoDevice::RestoreSettings() {
  if (!saved_) return;
  in_.Ports1.ActivePage = page_;
  in_.Ports1.LabeledEdit30 = ip_;
  in_.Ports1.LabeledEdit31 = port_text_;
  in_.Ports1.ComboBox1 = serialPort_;
  in_.Ports1.ComboBox2 = baud_;
  in_.Ports1.ComboBox3 = parity_;
  in_.Ports1.LabeledEdit1 = serialNode_;
  saved_ = false;
}

void DemoDevice::Start(const std::string& model) {
  bool known = false;
  std::string page;
  for (const auto& [key, p] : Models())
    if (key == model) {
      known = true;
      page = p;
    }
  if (!known) {
    std::string keys;
    for (const auto& m : Models()) keys += (keys.empty() ? "" : ", ") + m.first;
    throw Exception("Unknown demonstration model '" + model + "' (one of " + keys + ")");
  }

  if (in_.Ports1.ConnectPortChecked()) in_.Ports1.SetConnectPort(false);
  Stop();
  port_ = -1;
  proc_.start(emulator_, {"--model", QString::fromStdString(model), "--tcp", "0", "--bind", "127.0.0.1",
                          "--serial", "--baud", cBaudText[cBaudPos], "--demo"});
  if (!proc_.waitForStarted(5000))
    throw Exception("Unable to start the simulated device " + emulator_.toStdString() + ": " +
                    proc_.errorString().toStdString());

  // the device names its port on a line "tcp 127.0.0.1:<port>" and its serial line on a line
  // "serial <pseudo-terminal> <rate> 8N1"
  const QDeadlineTimer deadline(5000);
  int port = -1;
  std::string pty;
  while (port < 0 || pty.empty()) {
    while ((port < 0 || pty.empty()) && proc_.canReadLine()) {
      const QString line = QString::fromLocal8Bit(proc_.readLine()).trimmed();
      if (line.startsWith("tcp ")) {
        bool ok = false;
        port = line.section(':', -1).toInt(&ok);
        if (!ok || port <= 0 || port > 65535) port = -1;
      } else if (line.startsWith("serial ")) {
        pty = line.section(' ', 1, 1).toStdString();
      }
    }
    if (port >= 0 && !pty.empty()) break;
    if (proc_.state() == QProcess::NotRunning || deadline.hasExpired() ||
        !proc_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      const std::string why = QString::fromLocal8Bit(proc_.readAllStandardError()).trimmed().toStdString();
      Stop();
      throw Exception("The simulated device did not start" + (why.empty() ? std::string() : ": " + why));
    }
  }
  port_ = port;
  pty_ = pty;
  model_ = model;
  proc_.readAllStandardOutput();
  proc_.readAllStandardError();

  if (!saved_) {
    page_ = in_.Ports1.ActivePage;
    ip_ = in_.Ports1.LabeledEdit30;
    port_text_ = in_.Ports1.LabeledEdit31;
    serialPort_ = in_.Ports1.ComboBox1;
    baud_ = in_.Ports1.ComboBox2;
    parity_ = in_.Ports1.ComboBox3;
    serialNode_ = in_.Ports1.LabeledEdit1;
    saved_ = true;
  }
  // detection finds the device on its serial line as on a USB adapter
  in_.Ports1.SimulatedPorts = {pty};
  in_.Ports1.ActivePage = lpNetwork;
  in_.Ports1.LabeledEdit30 = "127.0.0.1";
  in_.Ports1.LabeledEdit31 = std::to_string(port);
  const int k = in_.Main1.PageIndex(page);
  if (k >= 0 && in_.Main1.Pages[static_cast<size_t>(k)].Visible) in_.Main1.ActivePage = k;
  in_.Ports1.Mesaj("Demonstration device " + model + " on 127.0.0.1:" + std::to_string(port) + " and " + pty);
}

DemoView::DemoView(DemoDevice& demo, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), demo_(demo) {
  setObjectName("Demo1");
  setWindowTitle("Demonstration Device");
  models_ = new QComboBox(this);
  for (const auto& m : DemoDevice::Models()) models_->addItem(QString::fromStdString(m.first));
  start_ = new QPushButton("Restart Device", this);
  info_ = new QLabel(this);
  auto* g = new QGridLayout(this);
  g->addWidget(new QLabel("Model:", this), 0, 0);
  g->addWidget(models_, 0, 1);
  g->addWidget(start_, 0, 2);
  g->addWidget(info_, 1, 0, 1, 3);
  g->setColumnStretch(1, 1);
  connect(start_, &QPushButton::clicked, this, [this, &main] {
    main.Guard([this] { demo_.Start(models_->currentText().toStdString()); });
    Refresh();
  });
  Refresh();
  resize(360, sizeHint().height());
}

void DemoView::Refresh() {
  const int k = models_->findText(QString::fromStdString(demo_.Model()));
  if (k >= 0) models_->setCurrentIndex(k);
  info_->setText(demo_.Running() ? QString("Simulated %1 on 127.0.0.1:%2, node 1,\nand on %3 at %4 baud 8n1")
                                       .arg(QString::fromStdString(demo_.Model()))
                                       .arg(demo_.Port())
                                       .arg(QString::fromStdString(demo_.PtyPath()))
                                       .arg(cBaudText[DemoDevice::cBaudPos])
                                 : QString("No simulated device is running"));
}

}  // namespace vex
