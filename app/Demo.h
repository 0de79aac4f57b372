// Demonstration mode: a simulated device (the vexemu program beside this one) runs as a child
// process on a free local port and on a pseudo-terminal, and the hub's "Network" page points at
// it. The pseudo-terminal is listed among the discovered serial ports while the demonstration
// runs, so "Detect Target" and "Auto Detection" find the device as they would find it on a USB
// adapter. The operator picks the simulated model in the small "Demonstration Device" window.
// The child ends with the program; the link settings of the settings file are left as they were
// before the demonstration.
#pragma once

#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QWidget>
#include <string>
#include <utility>
#include <vector>

#include "shell/Instances.h"

namespace vex {

class DemoDevice {
 public:
  DemoDevice(TInstances& in, QString emulator);
  ~DemoDevice();
  DemoDevice(const DemoDevice&) = delete;
  DemoDevice& operator=(const DemoDevice&) = delete;

  // Starts (or restarts) the simulated device; closes an open link first. Throws on failure.
  void Start(const std::string& model);
  void Stop();
  bool Running() const { return proc_.state() != QProcess::NotRunning; }
  int Port() const { return port_; }
  const std::string& PtyPath() const { return pty_; }  // its serial line
  const std::string& Model() const { return model_; }
  qint64 ProcessId() const { return proc_.processId(); }

  // Model keys of the simulated device with the main-window page of each.
  static const std::vector<std::pair<std::string, std::string>>& Models();
  static QString DefaultEmulator();   // vexemu in this program's folder
  static constexpr int cBaudPos = 5;  // the serial line's rate: 38400, the first that detection tries

 private:
  void RestoreSettings();

  TInstances& in_;
  QString emulator_;
  QProcess proc_;
  int port_ = -1;
  std::string pty_;
  std::string model_;
  // the hub's link settings before the demonstration (detection changes the serial ones)
  TLinkPage page_;
  std::string ip_, port_text_;
  std::string serialPort_, serialNode_;
  int baud_ = 4, parity_ = 0;
  bool saved_ = false;
};

class DemoView : public QWidget {
  Q_OBJECT
 public:
  DemoView(DemoDevice& demo, TMain1& main, QWidget* parent = nullptr);
  QComboBox* ModelBox() const { return models_; }
  QPushButton* StartButton() const { return start_; }
  QLabel* Info() const { return info_; }
  void Refresh();

 private:
  DemoDevice& demo_;
  QComboBox* models_;
  QPushButton* start_;
  QLabel* info_;
};

}  // namespace vex
