// The main window "Announciator System Configuration Utility": one page per model with its
// buttons, "Detect Target", "Port Settings", "Boot Mixer", the About page and the status bar.
// Every state it shows lives in TMain1; clicks go to the core's controls.
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QTabWidget>
#include <utility>
#include <vector>

#include "app/ToolWindow.h"
#include "shell/Main.h"

namespace vex {

class MainView : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainView(TMain1& main, QWidget* parent = nullptr);
  IToolWindow& Tool() { return tool_; }
  // Shows the core's state: status panels, visible pages and buttons, the selected page.
  void Refresh();

  QTabWidget* PageControl() const { return tabs_; }
  QPushButton* Button(const TControl& c) const;  // the button bound to a control
  QLabel* ModePanel() const { return mode_; }
  QLabel* StatusPanel() const { return status_; }
  QLabel* VersionLabel() const { return version_; }

 signals:
  void Closed();

 protected:
  void changeEvent(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QPushButton* Bind(TControl& c, QWidget* parent);
  QWidget* ModelPage(TMainPage& p);
  QWidget* AboutPage();

  TMain1& main_;
  QtToolWindow tool_;
  QTabWidget* tabs_ = nullptr;
  QLabel* mode_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* version_ = nullptr;
  std::vector<std::pair<QPushButton*, TControl*>> buttons_;
  bool statusRed_ = false;
};

}  // namespace vex
