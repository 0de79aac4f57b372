// The configuration editor of a model ("Vex324 - Configuration", ...): one window laid out from
// the editor's member row (the groups and buttons it has), bound to the GUI-free TVexCfg1.
#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/ToolWindow.h"
#include "config/VexCfg.h"

namespace vex {

// The editors' file dialogs through Qt's file dialogs.
class QtCfgDialogs : public ICfgDialogs {
 public:
  explicit QtCfgDialogs(QWidget* parent) : parent_(parent) {}
  bool OpenFile(TCfgFileDialog& d) override;
  bool SaveFile(TCfgFileDialog& d) override;

 private:
  QWidget* parent_;
};

// A system colour or 0x00BBGGRR as Qt shows it in `w`.
QColor ToQColor(TColor c, const QWidget* w);
// Fills an edit's or a label's background with c (nothing when it has it already).
void SetBackground(QWidget* w, const QColor& c);

class CfgView : public QWidget {
  Q_OBJECT
 public:
  CfgView(TVexCfg1& editor, TMain1& main, QWidget* parent = nullptr);
  ~CfgView() override;
  IToolWindow& Tool() { return tool_; }
  TVexCfg1& Editor() { return e_; }
  // Everything the window shows, from the editor.
  void Refresh();
  QLineEdit* Field(const std::string& key) const;
  QPushButton* Button(const std::string& caption) const;
  std::function<void()> AfterRun;  // after every operation (the configurator's window follows)

 protected:
  void showEvent(QShowEvent* ev) override;
  void hideEvent(QHideEvent* ev) override;
  bool event(QEvent* ev) override;

 private:
  class ViewTool : public QtToolWindow {
   public:
    ViewTool(CfgView& v) : QtToolWindow(&v), v_(v) {}
    void DoIdle() override;
    void ReadConfig() override;

   private:
    CfgView& v_;
  };
  void Run(TControl& button);
  QGroupBox* FieldGroup(const TGroupBox& g, const std::vector<TCfgEdit*>& fields);

  TVexCfg1& e_;
  TMain1& main_;
  ViewTool tool_;
  QtCfgDialogs dialogs_;
  std::vector<std::pair<TCfgEdit*, QLineEdit*>> fields_;
  std::vector<std::pair<TControl*, QPushButton*>> buttons_;
  struct GridRow {
    QCheckBox *h, *b;
    QLabel* shape;
  };
  std::vector<GridRow> grid_;
  QGroupBox* gridBox_ = nullptr;
  QCheckBox *commDiag_ = nullptr, *dxLock_ = nullptr;
  QLabel* status_;
  bool filling_ = false, statusRed_ = false;
};

}  // namespace vex
