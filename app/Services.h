// The program's side of the core seams: registry values through QSettings, other programs and
// windows through Qt, the application-wide exception handler and the idle dispatcher's driver.
#pragma once

#include <QApplication>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <functional>
#include <string>

#include "shell/Main.h"

namespace vex {

// The access-mode values in the user's configuration folder: the key "Software\Pelmora" is the
// file Pelmora.conf, its value "Products" a key of that file.
class QtSettingsStore : public ISettingsStore {
 public:
  std::optional<int64_t> ReadInt(const std::string& key, const std::string& name) const override;
};

// Windows of this program, files, and programs started detached.
class QtDesktop : public IDesktop {
 public:
  bool RaiseWindow(const std::string& caption) override;
  bool FileExists(const std::string& path) const override;
  void Open(const std::string& path) override;
};

// The application: every exception that escapes an event handler goes to the handler.
class VexApplication : public QApplication {
  Q_OBJECT
 public:
  VexApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* e) override;
  std::function<void(const std::string&)> OnException;
};

// Message number of the polling message as a Qt event type.
inline QEvent::Type PollEventType() { return static_cast<QEvent::Type>(QEvent::User + WM_POLL); }

// Runs the idle dispatcher whenever the event loop is about to wait, and keeps it alive with a
// 240 ms timer that posts the polling message to the main window (which ignores it).
class IdleDriver : public QObject {
  Q_OBJECT
 public:
  IdleDriver(TMain1& main, QObject* pollTarget, std::function<void()> afterPass, QObject* parent = nullptr);
  void Pass();  // one idle pass now
  int Passes() const { return passes_; }

 private:
  TMain1& main_;
  QObject* target_;
  std::function<void()> after_;
  QTimer timer_;
  int passes_ = 0;
};

// Ends the program in order on SIGTERM, SIGINT or SIGHUP (a terminal's Ctrl+C, a session's end):
// the signal only wakes the event loop, which then runs onSignal (quit, so that the link settings
// are saved and the link is closed as on closing the main window). The previous handlers come back
// when this object goes.
class SignalQuit : public QObject {
  Q_OBJECT
 public:
  explicit SignalQuit(std::function<void()> onSignal, QObject* parent = nullptr);
  ~SignalQuit() override;

 private:
  std::function<void()> on_;
  int fds_[2] = {-1, -1};
  QSocketNotifier* notifier_ = nullptr;
};

// Tool-tip timing of the program: shown after 100 ms, hidden after 10 s.
constexpr int cToolTipShowMs = 100;
constexpr int cToolTipHideMs = 10000;
void SetToolTipTiming(QApplication& app);

}  // namespace vex
