// The annunciator simulator windows ("Vex324 Simulator" and the others) over TVexSim: the
// window panel in the member's columns (each window lamp with its two-digit number and its
// eight state indicators), "Panel Controls" with the horn and test lamps and the keys, the
// output group, the member's check boxes, the time line and the status bar. One view for the
// whole family, laid out from the member's row. Also "Vex316 Inspector" over TVex316desk1.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <vector>

#include "app/ToolWindow.h"
#include "monitor/SimCommon.h"
#include "monitor/Vex316desk.h"
#include "monitor/VexSim.h"

namespace vex {

class TInstances;

// Qt colour of a panel colour (system colours by the widget's palette).
QColor QtColor(TColor c, const QWidget* w);

// A lamp: a coloured rounded shape with an optional text, clickable.
class LampWidget : public QWidget {
  Q_OBJECT
 public:
  LampWidget(const QString& text, QSize size, QWidget* parent = nullptr);
  void SetColor(TColor c);  // repaints only when the colour changes
  TColor Color() const { return color_; }
  const QString& Text() const { return text_; }

 signals:
  void clicked();
  void pressed();
  void released();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  QString text_;
  TColor color_ = clBtnFace;
};

// Warning boxes through Qt's message boxes.
class QtSimPrompts : public ISimPrompts {
 public:
  explicit QtSimPrompts(QWidget* parent) : parent_(parent) {}
  bool ConfirmWarning(const std::string& text) override;

 private:
  QWidget* parent_;
};

class Vex316deskView;

class SimView : public QWidget {
  Q_OBJECT
 public:
  SimView(TVexSim& sim, TInstances& in, QWidget* parent = nullptr);
  ~SimView() override;
  IToolWindow& Tool() { return tool_; }
  TVexSim& Sim() { return sim_; }

  void Refresh();  // the screen's state into the widgets (only what changed)

  LampWidget* WindowLamp(int n) const { return cells_[static_cast<size_t>(n - 1)].lamp; }
  LampWidget* Indicator(int n, int k) const {
    return cells_[static_cast<size_t>(n - 1)].ind[static_cast<size_t>(k)];
  }
  LampWidget* HLamp() const { return hLamp_; }
  LampWidget* TLamp() const { return tLamp_; }
  QCheckBox* ScanBox() const { return scan_; }
  QLineEdit* TimeLine() const { return timeLine_; }
  void SetInspector(Vex316deskView* v) { desk_ = v; }

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  class SimTool : public QtToolWindow {
   public:
    SimTool(QWidget* w, SimView& v) : QtToolWindow(w), v_(v) {}
    void AppIdle() override;
    void StartScan() override;
    void StopScan() override;
    bool InspectorWanted() const override;

   private:
    SimView& v_;
  };
  struct Cell {
    LampWidget* lamp = nullptr;
    std::vector<LampWidget*> ind;
  };
  struct Fixed {
    LampWidget* lamp;
    TColor TFixedLamps::*colour;
  };
  QWidget* BuildPanel();
  QWidget* BuildControls();
  QWidget* BuildOscillator();
  void Guard(const std::function<void()>& f);
  void Post();

  TVexSim& sim_;
  TInstances& in_;
  SimTool tool_;
  QtSimPrompts prompts_;
  std::vector<Cell> cells_;
  std::vector<Fixed> fixed_;
  LampWidget *hLamp_ = nullptr, *tLamp_ = nullptr;
  QCheckBox *scan_ = nullptr, *setTime_ = nullptr, *virtualDx_ = nullptr, *osc_ = nullptr;
  QCheckBox *dxMode_ = nullptr, *dxBrix_ = nullptr, *inspect_ = nullptr;
  QPushButton* showEvents_ = nullptr;
  QLineEdit* timeLine_ = nullptr;
  QLabel* status_ = nullptr;
  QGroupBox* oscBox_ = nullptr;
  std::array<QLineEdit*, 13> tun_{};
  std::array<QLineEdit*, 3> exo_{};
  std::array<QLabel*, 3> hint_{};
  QLineEdit* oscTune_ = nullptr;
  Vex316deskView* desk_ = nullptr;
  bool posted_ = false;
  bool filling_ = false;
};

class Vex316deskView : public QWidget {
  Q_OBJECT
 public:
  Vex316deskView(TVex316desk1& desk, TInstances& in, QWidget* parent = nullptr);
  ~Vex316deskView() override;
  IToolWindow& Tool() { return tool_; }
  void Refresh();
  QTableWidget* Channels() const { return channels_; }
  QTableWidget* Values() const { return values_; }
  QLineEdit* SetEdit(int k) const { return edits_[static_cast<size_t>(k)]; }
  QLineEdit* Summary() const { return summary_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;

 private:
  TVex316desk1& desk_;
  TInstances& in_;
  QtToolWindow tool_;
  QTableWidget *channels_ = nullptr, *values_ = nullptr;
  std::array<QLineEdit*, 4> edits_{};
  QLineEdit* summary_ = nullptr;
  bool filling_ = false;
};

}  // namespace vex
