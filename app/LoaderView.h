// The upload window "Upload": two text lines, the progress bar and "Cancel"/"Close", bound to
// TLoader1. It is modal, stays on top and has no close box; the upload starts from a message
// the window posts to itself before its modal loop, so it is painted first, and the hub's
// message processing during the transfer keeps Cancel and the progress bar alive.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/ToolWindow.h"
#include "firmware/Loader.h"

namespace vex {

class TMain1;

class LoaderView : public QDialog {
  Q_OBJECT
 public:
  LoaderView(TLoader1& loader, TMain1& main, QWidget* parent = nullptr);
  ~LoaderView() override;
  IToolWindow& Tool() { return tool_; }

  QLabel* Upper() const { return line1_; }
  QLabel* Lower() const { return line2_; }
  QProgressBar* Progress() const { return bar_; }
  QPushButton* Button() const { return button_; }

 public slots:
  void reject() override;  // Escape: the button's action, never a silent close

 protected:
  bool event(QEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  void Refresh();

  TLoader1& loader_;
  TMain1& main_;
  QtToolWindow tool_;
  QLabel* line1_;
  QLabel* line2_;
  QProgressBar* bar_;
  QPushButton* button_;
};

}  // namespace vex
