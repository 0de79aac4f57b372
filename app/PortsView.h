// The window "Port Settings & Diagnostics": the link settings pages on the left, the console
// (identification, transmit/receive, status, last error, log) and the manual request pages on
// the right, and the link status in an owner-drawn status bar panel.
//
// The view adds no rules of its own: every field and tick lives in TPorts1, edits are written
// straight into it, clicks call its operations, and Refresh() shows its state. The console
// fields follow the hub as it changes them (IConsole). Failures of a forwarded operation go to
// the main window's application-wide handler.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWidget>
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "app/ToolWindow.h"
#include "comm/Ports.h"
#include "shell/Main.h"

namespace vex {

// A status bar panel that draws its own text: red while failed, otherwise the palette's button
// text colour, starting 2 pixels from its left edge; at least 500 pixels wide.
class StatusPanel : public QWidget {
  Q_OBJECT
 public:
  explicit StatusPanel(QWidget* parent = nullptr);
  // Replaces the text only when it changed; repaints when text or colour changed.
  void Show(const std::string& text, bool red);
  const QString& Text() const { return text_; }
  bool Red() const { return red_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  QString text_;
  bool red_ = false;
};

// The "Port:" drop-down: its list is rebuilt by the hub's port discovery each time it opens.
class PortComboBox : public QComboBox {
  Q_OBJECT
 public:
  explicit PortComboBox(QWidget* parent = nullptr) : QComboBox(parent) {}
  std::function<void()> OnDropDown;  // runs before the list is shown
  void showPopup() override;
};

class PortsView : public QWidget, public IConsole {
  Q_OBJECT
 public:
  PortsView(TPorts1& ports, TMain1& main, QWidget* parent = nullptr);
  ~PortsView() override;
  PortsView(const PortsView&) = delete;
  PortsView& operator=(const PortsView&) = delete;

  IToolWindow& Tool() { return tool_; }
  // Shows the hub's state in every widget (only what differs is touched).
  void Refresh();
  // Idle turn: the link status in the status bar, and the window's fields while it is shown.
  void AppIdle();

  QTabWidget* SettingsPages() const { return settings_; }  // "Comm/Usb", "Network"
  QTabWidget* ConsolePages() const { return pages_; }      // "Details" ... "Diagnostic Functions"
  StatusPanel* StatBarPanel() const { return statPanel_; }
  PortComboBox* PortBox() const { return port_; }
  QCheckBox* ConnectBox() const { return connect_; }
  QLineEdit* ConsoleField(TConsoleText which) const { return console_[static_cast<int>(which)]; }
  QPlainTextEdit* LogArea() const { return log_; }
  // The widgets of a test group (Values is null for the groups without a "Values:" box).
  struct TGroupWidgets {
    QLineEdit* First = nullptr;
    QLineEdit* Second = nullptr;
    QPlainTextEdit* Values = nullptr;
    QLineEdit* Query = nullptr;
    QLineEdit* Result = nullptr;
  };
  const TGroupWidgets& GroupWidgets(TTestGroup g) const { return groups_[static_cast<size_t>(g)]; }
  QPushButton* BitButton(int n) const { return bits_[static_cast<size_t>(n)]; }  // "0" .. "15"
  QPushButton* ButtonNamed(const QString& caption) const;  // any push button by its caption

  // IConsole
  void TextChanged(TConsoleText which, const std::string& text) override;
  void LogAppended(const std::string& line) override;
  void LogTrimmed(int removedFromTop) override;
  void LogCleared() override;
  void GroupFieldChanged(TTestGroup g, TGroupField f, const std::string& text) override;

 protected:
  void showEvent(QShowEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 private:
  class PortsTool : public QtToolWindow {
   public:
    PortsTool(PortsView* v) : QtToolWindow(v), view_(v) {}
    void AppIdle() override { view_->AppIdle(); }

   private:
    PortsView* view_;
  };

  // Runs a hub operation for a click: failures go to the application-wide handler.
  void Forward(const std::function<void()>& f);
  // Widgets bound to a text field of the hub: edits are written into it.
  QLineEdit* BindEdit(std::string& field, const char* name, QWidget* parent);
  QCheckBox* BindCheck(bool& field, const char* name, const char* caption, QWidget* parent);
  QLineEdit* ReadOnlyField(const char* name, QWidget* parent, bool fixedFont = false);
  QPushButton* Button(const QString& caption, const char* name, QWidget* parent,
                      const std::function<void()>& click);
  QWidget* CommPage();
  QWidget* NetworkPage();
  QWidget* DetailsPage();
  QWidget* FilesPage();
  QWidget* LogPage();
  QWidget* CoilPage();
  QWidget* RegisterPage();
  QWidget* DiagnosticPage();
  // A test group box: its two fields, the optional "Values:" box, "Query:", "Result:" and its
  // send buttons; `extra` adds rows between the fields and "Values:".
  QGroupBox* TestGroup(TTestGroup g, const QString& title, const char* firstKey, const QString& firstCaption,
                       const char* secondKey, const QString& secondCaption, bool values, bool valuesEditable,
                       const std::vector<std::pair<QString, std::function<void()>>>& sends,
                       const std::function<void(QGridLayout*, int&)>& extra = {});
  void SetText(QLineEdit* e, const std::string& text);
  void SetText(QPlainTextEdit* e, const std::string& text);
  void ShowLastError(const std::string& text);
  void Place();

  TPorts1& ports_;
  TMain1& main_;
  PortsTool tool_;
  std::function<void()> prevProcess_;
  int sync_ = 0;  // >0 while the view itself writes into its widgets

  QTabWidget* settings_ = nullptr;
  QTabWidget* pages_ = nullptr;
  PortComboBox* port_ = nullptr;
  QComboBox* baud_ = nullptr;
  QComboBox* parity_ = nullptr;
  QLineEdit* lowPair_[2] = {};   // "Timeout (ms):", "Blind (ms):" of the rates 1200..19200
  QLineEdit* highPair_[2] = {};  // ... of the rates 38400..115200 (same place)
  QCheckBox* connect_ = nullptr;
  QCheckBox* simFlow_ = nullptr;
  QLineEdit* console_[4] = {};
  bool lastErrorRed_ = false;
  QPlainTextEdit* log_ = nullptr;
  std::array<TGroupWidgets, kTestGroups> groups_{};
  QLineEdit* register05_ = nullptr;
  std::array<QPushButton*, 16> bits_{};
  QLineEdit* quantity10_ = nullptr;
  QWidget* filesPage_ = nullptr;
  QLineEdit* files_[6] = {};
  StatusPanel* statPanel_ = nullptr;
  std::deque<TControl> requests_;  // the "Send 0x.. Query" buttons as the busy check sees them
  // settings fields and identification fields shown from the hub
  std::vector<std::pair<QLineEdit*, std::string*>> bound_;
  std::vector<std::pair<QCheckBox*, bool*>> boundChecks_;
  std::vector<std::pair<QLineEdit*, const std::string*>> shown_;
};

}  // namespace vex
