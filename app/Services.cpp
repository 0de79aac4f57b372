#include "app/Services.h"

#include <QAbstractEventDispatcher>
#include <QFileInfo>
#include <QProcess>
#include <QProxyStyle>
#include <QSettings>
#include <QWidget>

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
