#include "app/Services.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractEventDispatcher>
#include <QFileInfo>
#include <QProcess>
#include <QProxyStyle>
#include <QSettings>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>

#include "shell/Basics.h"

namespace vex {

std::optional<int64_t> QtSettingsStore::ReadInt(const std::string& key, const std::string& name) const {
  const size_t k = key.find_last_of('\\');
  const QString org = QString::fromStdString(k == std::string::npos ? key : key.substr(k + 1));
  const QSettings s(QSettings::NativeFormat, QSettings::UserScope, org);
  const QVariant v = s.value(QString::fromStdString(name));
  if (!v.isValid()) return std::nullopt;
  bool ok = false;
  const qlonglong n = v.toString().trimmed().toLongLong(&ok);
  if (!ok) return std::nullopt;
  return n;
}

bool QtDesktop::RaiseWindow(const std::string& caption) {
  const QString title = QString::fromStdString(caption);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->windowTitle() != title) continue;
    w->showNormal();
    w->raise();
    w->activateWindow();
    return true;
  }
  return false;  // windows of other programs cannot be reached here
}

bool QtDesktop::FileExists(const std::string& path) const {
  return QFileInfo::exists(QString::fromStdString(path));
}

void QtDesktop::Open(const std::string& path) {
  if (!QProcess::startDetached(QString::fromStdString(path), {})) throw Exception("Unable to start " + path);
}

VexApplication::VexApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VexApplication::notify(QObject* receiver, QEvent* e) {
  try {
    return QApplication::notify(receiver, e);
  } catch (const std::exception& x) {
    if (OnException) OnException(x.what());
  } catch (...) {
    if (OnException) OnException("Unknown failure");
  }
  return false;
}

IdleDriver::IdleDriver(TMain1& main, QObject* pollTarget, std::function<void()> afterPass, QObject* parent)
    : QObject(parent), main_(main), target_(pollTarget), after_(std::move(afterPass)) {
  connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
          &IdleDriver::Pass);
  timer_.setInterval(240);
  connect(&timer_, &QTimer::timeout, this, [this] {
    if (target_) QCoreApplication::postEvent(target_, new QEvent(PollEventType()));
  });
  timer_.start();
}

void IdleDriver::Pass() {
  ++passes_;
  main_.Guard([this] { main_.ApplicationEvents1Idle(); });
  if (after_) after_();
}

namespace {

int gSignalFd = -1;  // write end of the pipe of the one SignalQuit
constexpr int cQuitSignals[] = {SIGTERM, SIGINT, SIGHUP};
struct sigaction gOldActions[std::size(cQuitSignals)];

void OnQuitSignal(int sig) {
  const int saved = errno;
  const unsigned char b = static_cast<unsigned char>(sig);
  if (gSignalFd >= 0) {
    [[maybe_unused]] const ssize_t n = ::write(gSignalFd, &b, 1);  // a full pipe wakes the loop anyway
  }
  errno = saved;
}

}  // namespace

SignalQuit::SignalQuit(std::function<void()> onSignal, QObject* parent)
    : QObject(parent), on_(std::move(onSignal)) {
  if (gSignalFd >= 0) throw Exception("Signals are already taken by another handler");
  if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) throw Exception("Unable to watch the program's signals");
  gSignalFd = fds_[1];
  notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char b[16];
    while (::read(fds_[0], b, sizeof b) > 0) {
    }
    if (on_) on_();
  });
  struct sigaction sa = {};
  sa.sa_handler = OnQuitSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (size_t i = 0; i < std::size(cQuitSignals); ++i) ::sigaction(cQuitSignals[i], &sa, &gOldActions[i]);
}

SignalQuit::~SignalQuit() {
  for (size_t i = 0; i < std::size(cQuitSignals); ++i) ::sigaction(cQuitSignals[i], &gOldActions[i], nullptr);
  gSignalFd = -1;
  delete notifier_;
  ::close(fds_[0]);
  ::close(fds_[1]);
}

namespace {

class ToolTipStyle : public QProxyStyle {
 public:
  using QProxyStyle::QProxyStyle;
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* ret) const override {
    if (hint == SH_ToolTip_WakeUpDelay) return cToolTipShowMs;
    return QProxyStyle::styleHint(hint, option, widget, ret);
  }
};

// Gives every widget without a duration of its own the program's: the toolkit would keep long
// texts up longer than 10 s.
class ToolTipDuration : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* o, QEvent* e) override {
    if (e->type() == QEvent::ToolTip && o->isWidgetType()) {
      auto* w = static_cast<QWidget*>(o);
      if (w->toolTipDuration() < 0) w->setToolTipDuration(cToolTipHideMs);
    }
    return false;
  }
};

}  // namespace

void SetToolTipTiming(QApplication& app) {
  app.setStyle(new ToolTipStyle(app.style()->name()));
  app.installEventFilter(new ToolTipDuration(&app));
}

}  // namespace vex
