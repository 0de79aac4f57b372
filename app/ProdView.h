// The production window of a model ("Vex324 Production", ...), one view for the whole family,
// bound to TVexProd1: the group "Production Status" (read-only), the group "Production Plan"
// with the model and firmware files (double click chooses), "User ID:" with its tick box and the
// produce button. The main window's "Production" shows it, its "Fw Upload" starts the upload.
#pragma once

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/ToolWindow.h"
#include "firmware/Prod.h"

namespace vex {

// File dialogs and the question of a production window through Qt's dialogs.
class QtProdDialogs : public IProdDialogs {
 public:
  explicit QtProdDialogs(QWidget* parent) : parent_(parent) {}
  bool OpenFile(TProdDialog& d) override;
  bool AskYes(const std::string& question) override;

 private:
  QWidget* parent_;
};

class ProdView : public QWidget {
  Q_OBJECT
 public:
  ProdView(TVexProd1& prod, TMain1& main, QWidget* parent = nullptr);
  ~ProdView() override;
  IToolWindow& Tool() { return tool_; }

  QLineEdit* Field(const TEdit& e) const;  // the edit of a core field
  QCheckBox* UserIdBox() const { return userBox_; }
  QPushButton* ProduceButton() const { return button_; }
  QGroupBox* PlanGroup() const { return plan_; }
  void Refresh();  // the core's state into the widgets

 protected:
  void showEvent(QShowEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  class Tool_ : public QtToolWindow {
   public:
    Tool_(ProdView* v) : QtToolWindow(v), v_(v) {}
    void UploadFirm() override;
    void DoProduct() override;

   private:
    ProdView* v_;
  };
  QLineEdit* AddField(QWidget* box, QFormLayout* form, TEdit& e);

  TVexProd1& prod_;
  TMain1& main_;
  Tool_ tool_;
  QtProdDialogs dialogs_;
  std::vector<std::pair<TEdit*, QLineEdit*>> fields_;
  QCheckBox* userBox_ = nullptr;
  QPushButton* button_ = nullptr;
  QGroupBox* status_ = nullptr;
  QGroupBox* plan_ = nullptr;
};

}  // namespace vex
