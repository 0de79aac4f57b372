// The rack module screens "Vex748 Simulator" and "Vald-3 Simulator": controls and lamps bound
// to TVex748sim1 / TVex733sim1. The 48-input module shows its 48 window lamps; the I/O module
// shows per slot its field, input, output and fault lamps, the "Out" and "T" boxes and the
// override box, and the bar of active inputs. Posted polls run from the event loop.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "app/SimView.h"
#include "app/ToolWindow.h"
#include "monitor/Vex733sim.h"
#include "monitor/Vex748sim.h"

namespace vex {

class TMain1;

class RackSimView : public QWidget {
  Q_OBJECT
 public:
  // `io`: the I/O module's screen when `sim` is one (its extras are laid out).
  RackSimView(TRackSim& sim, TVex733sim1* io, TMain1& main, QWidget* parent = nullptr);
  ~RackSimView() override;

  IToolWindow& Tool() { return tool_; }
  // Every widget from the screen's state (only what changed is set).
  void Refresh();

  QCheckBox* StartScan() const { return scan_; }
  QPushButton* LampTest() const { return test_; }
  LampWidget* InputLamp(int i) const { return inputs_[static_cast<size_t>(i)]; }
  QCheckBox* OutBox(int i) const { return out_[static_cast<size_t>(i)]; }
  QCheckBox* PulseBox(int i) const { return pul_[static_cast<size_t>(i)]; }
  QCheckBox* OverrideBox(int g) const { return override_[static_cast<size_t>(g)]; }
  QLineEdit* SlotField(int s) const { return slots_[static_cast<size_t>(s)]; }
  QProgressBar* ActiveBar() const { return bar_; }
  QLineEdit* TimeLine() const { return timeLine_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  // The window as the main window sees it, with the screen's idle turn and scan box.
  class RackTool : public QtToolWindow {
   public:
    RackTool(QWidget* w, RackSimView& v) : QtToolWindow(w), v_(v) {}
    void AppIdle() override { v_.sim_.AppIdle(); }
    void StartScan() override;
    void StopScan() override;

   private:
    RackSimView& v_;
  };
  void Post();  // the screen's poll message (one at a time)
  QWidget* BuildControls();
  QWidget* BuildWindows();  // 48-input module: three rows of 16 window lamps
  QWidget* BuildSlots();    // I/O module: three slot groups
  void Guard(const std::function<void()>& f);

  TRackSim& sim_;
  TVex733sim1* io_;
  TMain1& main_;
  RackTool tool_;
  QtSimPrompts prompts_;
  bool posted_ = false;
  QCheckBox* scan_ = nullptr;
  QPushButton* test_ = nullptr;
  LampWidget* status_ = nullptr;
  LampWidget* power_ = nullptr;
  LampWidget* irigSync_ = nullptr;
  LampWidget* irigLock_ = nullptr;
  std::vector<LampWidget*> inputs_, outputs_, faults_;
  std::vector<QCheckBox*> out_, pul_;
  std::array<QCheckBox*, 3> override_{};
  std::array<QLineEdit*, 3> slots_{};
  QProgressBar* bar_ = nullptr;
  QLineEdit* timeLine_ = nullptr;
  QLabel* statusBar_ = nullptr;
};

}  // namespace vex
