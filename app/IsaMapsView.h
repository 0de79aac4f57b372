// The window "ISA-18.1-1979 (R1992) Configurator" over TIsaMaps1: the channel list, the state
// boxes laid out as the state diagram with its arrows painted between them, the option groups,
// the presets and the sequence descriptions. Every change goes to the core object, which
// decides what the window shows.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <vector>

#include "app/ToolWindow.h"
#include "config/IsaMaps.h"

namespace vex {

class TMain1;

// The surface of the state boxes on which the diagram's arrows are painted.
class IsaDiagram : public QWidget {
  Q_OBJECT
 public:
  IsaDiagram(TIsaMaps1& isa, QWidget* parent);
  std::array<QGroupBox*, 5> Boxes{};  // by TIsaState
  QSize sizeHint() const override { return {650, 420}; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  TIsaMaps1& isa_;
};

class IsaMapsView : public QWidget {
  Q_OBJECT
 public:
  IsaMapsView(TIsaMaps1& isa, TMain1& main, QWidget* parent = nullptr);
  IToolWindow& Tool() { return tool_; }
  void Refresh();  // everything from the core object
  QListWidget* Channels() const { return channels_; }
  QComboBox* List(TIsaState s, TIsaProp p) const;
  QCheckBox* Box(TOptBox b) const { return boxes_[b]; }
  IsaDiagram* Diagram() const { return diagram_; }

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  class ViewTool : public QtToolWindow {
   public:
    ViewTool(IsaMapsView& v) : QtToolWindow(&v), v_(v) {}
    void Show() override {
      v_.Refresh();
      QtToolWindow::Show();
    }
    // Beside the editor, but never past the right or bottom edge of the screen.
    void MoveTo(int left, int top) override;

   private:
    IsaMapsView& v_;
  };
  void Act(const std::function<void()>& f);
  QWidget* EditRow(TIsaEdit e, bool arrows, QWidget* parent);

  TIsaMaps1& isa_;
  TMain1& main_;
  ViewTool tool_;
  QListWidget* channels_;
  IsaDiagram* diagram_;
  QComboBox* lists_[4][4] = {};
  QComboBox *lock_ = nullptr, *reset_ = nullptr;
  std::array<QLabel*, 4> swatch_{};
  std::array<QCheckBox*, obCount> boxes_{};
  QCheckBox* inpInv_ = nullptr;
  std::array<QLineEdit*, edCount> edits_{};
  std::array<QWidget*, edCount> editRows_{};
  std::array<QComboBox*, dlCount> delays_{};
  std::array<QGroupBox*, grCount> groups_{};
  std::array<QCheckBox*, cDescCount> desc_{};
  bool filling_ = false;
};

}  // namespace vex
