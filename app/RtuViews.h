// The rack RTU's four windows: "File Upload / Download Manager" (TRtu3file1), "Rtu3 Modul Firmware
// Encapsulator" (TRtu3encap1), "Rtu3 Application File Generator" (TRtu3app1) and "BRIX-3000
// Simulator" (TRtu3sim1). Each binds its controls to the core object, forwards clicks and shows
// the core's state in Refresh(); the rules live in the core.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <functional>
#include <vector>

#include "app/ToolWindow.h"
#include "rtu/Rtu3app.h"
#include "rtu/Rtu3encap.h"
#include "rtu/Rtu3file.h"
#include "rtu/Rtu3sim.h"

namespace vex {

// File dialogs and confirmations of the RTU windows through Qt's dialogs.
class QtRtuDialogs : public IRtuDialogs {
 public:
  explicit QtRtuDialogs(QWidget* parent) : parent_(parent) {}
  bool OpenFile(const TFileDialog& d, std::string& name) override;
  bool SaveFile(const TFileDialog& d, std::string& name) override;
  bool Confirm(const std::string& question) override;

 private:
  QWidget* parent_;
};

// A text set only when it changed (an unchanged text is not repainted).
void SetTextIf(QLabel* l, const std::string& t);
void SetTextIf(QLineEdit* e, const std::string& t);
void SetCellIf(QTableWidget* t, int r, int c, const std::string& s);

// What the four windows share: the main window that reports failures, the dialogs, fields bound
// to the core's fields with their double clicks, and the show and hide turns.
class RtuWindow : public QWidget {
  Q_OBJECT
 public:
  RtuWindow(TMain1& main, const char* name, const char* caption, QWidget* parent);
  ~RtuWindow() override;
  virtual void Refresh() = 0;

 protected:
  // An edit whose typing goes to f; a double click runs dbl (when given), then Refresh().
  QLineEdit* BoundEdit(PlainField& f, const char* name, QWidget* parent, std::function<void()> dbl = {});
  // Runs f with failures going to the application's handler, then Refresh().
  void Guarded(const std::function<void()>& f);
  virtual void Shown() {}
  virtual void Hidden() {}
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

  TMain1& main_;
  QtRtuDialogs dialogs_;

 private:
  std::vector<std::pair<QObject*, std::function<void()>>> clicks_;
};

class Rtu3fileView : public RtuWindow {
  Q_OBJECT
 public:
  Rtu3fileView(TRtu3file1& fm, TMain1& main, QWidget* parent = nullptr);
  ~Rtu3fileView() override;
  IToolWindow& Tool() { return tool_; }

  QLineEdit* NameEdit(int k) const { return names_[static_cast<size_t>(k)]; }
  QPushButton* Button(const TControl& c) const;
  QPushButton* CancelButton() const { return cancel_; }
  QTableWidget* Table() const { return table_; }
  QLabel* StatusLine() const { return status_; }
  void Refresh() override;

 protected:
  void Shown() override;
  void Hidden() override;

 private:
  class Tool_ : public QtToolWindow {
   public:
    Tool_(Rtu3fileView* v) : QtToolWindow(v), v_(v) {}
    void DoIdle() override;
    void Show() override;

   private:
    Rtu3fileView* v_;
  };
  QPushButton* Bind(TControl& c);

  TRtu3file1& fm_;
  Tool_ tool_;
  std::vector<QLineEdit*> names_;
  std::vector<std::pair<TControl*, QPushButton*>> buttons_;
  QPushButton *cancel_ = nullptr, *encap_ = nullptr, *app_ = nullptr;
  QTableWidget* table_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel *status_ = nullptr, *link_ = nullptr;
};

class Rtu3encapView : public RtuWindow {
  Q_OBJECT
 public:
  Rtu3encapView(TRtu3encap1& enc, TMain1& main, QWidget* parent = nullptr);
  ~Rtu3encapView() override;
  IToolWindow& Tool() { return tool_; }
  void Refresh() override;
  QLineEdit* FileEdit(int k) const { return files_[static_cast<size_t>(k)]; }  // processing order
  QCheckBox* Tick(int k) const { return ticks_[static_cast<size_t>(k)]; }
  QLineEdit* OutputEdit() const { return output_; }
  QPushButton* ProcessButton() const { return process_; }

 protected:
  void Shown() override;
  void Hidden() override;

 private:
  TRtu3encap1& enc_;
  QtToolWindow tool_;
  std::vector<QLineEdit*> files_;
  std::vector<QCheckBox*> ticks_;
  QLineEdit* output_ = nullptr;
  QPushButton* process_ = nullptr;
};

class Rtu3appView : public RtuWindow {
  Q_OBJECT
 public:
  Rtu3appView(TRtu3app1& app, TMain1& main, QWidget* parent = nullptr);
  ~Rtu3appView() override;
  IToolWindow& Tool() { return tool_; }
  void Refresh() override;
  QLineEdit* FirmwareEdit() const { return firmware_; }
  QLineEdit* OutputEdit() const { return output_; }
  QPushButton* ProcessButton() const { return process_; }

 protected:
  void Shown() override;
  void Hidden() override;

 private:
  TRtu3app1& app_;
  QtToolWindow tool_;
  QLineEdit *firmware_ = nullptr, *output_ = nullptr;
  QPushButton* process_ = nullptr;
};

class Rtu3simView : public RtuWindow {
  Q_OBJECT
 public:
  Rtu3simView(TRtu3sim1& sim, TMain1& main, QWidget* parent = nullptr);
  ~Rtu3simView() override;
  IToolWindow& Tool() { return tool_; }
  void Refresh() override;
  QLineEdit* FieldEdit(int k) const { return fields_[static_cast<size_t>(k)]; }
  QTableWidget* Sockets() const { return sockets_; }
  QCheckBox* ScanBox() const { return scan_; }
  QPushButton* Button(const TControl& c) const;

 protected:
  bool event(QEvent* e) override;

 private:
  class Tool_ : public QtToolWindow {
   public:
    Tool_(Rtu3simView* v) : QtToolWindow(v), v_(v) {}
    void AppIdle() override;
    void Show() override;
    void StartScan() override;
    void StopScan() override;

   private:
    Rtu3simView* v_;
  };
  QPushButton* Bind(TControl& c, QWidget* parent);
  QPushButton* BindHeld(TControl& down, TControl& up, QWidget* parent);

  TRtu3sim1& sim_;
  Tool_ tool_;
  std::vector<QLineEdit*> fields_;
  std::vector<std::pair<const TControl*, QPushButton*>> buttons_;
  QTableWidget* sockets_ = nullptr;
  QCheckBox* scan_ = nullptr;
  QLabel* link_ = nullptr;
  bool polled_ = false;  // a poll is posted and not yet run
};

}  // namespace vex
