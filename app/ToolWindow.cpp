#include "app/ToolWindow.h"

#include <QDialog>
#include <QEventLoop>
#include <QVBoxLayout>

namespace vex {

bool QtToolWindow::Visible() const { return w_->isVisible(); }

void QtToolWindow::Show() {
  if (w_->isMinimized()) w_->showNormal();
  w_->show();
  w_->raise();
  w_->activateWindow();
}

void QtToolWindow::ShowModal() {
  if (auto* d = qobject_cast<QDialog*>(w_)) {
    d->exec();
    return;
  }
  // A plain window shown modally: block other windows until it is closed.
  w_->setWindowModality(Qt::ApplicationModal);
  Show();
  QEventLoop loop;
  QObject::connect(w_, &QObject::destroyed, &loop, &QEventLoop::quit);
  while (w_->isVisible()) loop.processEvents(QEventLoop::WaitForMoreEvents);
  w_->setWindowModality(Qt::NonModal);
}

TBounds QtToolWindow::Bounds() const {
  const QRect r = w_->frameGeometry();
  return TBounds{r.left(), r.top(), r.width(), r.height()};
}

void QtToolWindow::MoveTo(int left, int top) { w_->move(left, top); }

PlaceholderView::PlaceholderView(const std::string& name, const std::string& caption, QWidget* parent)
    : QWidget(parent, Qt::Window), name_(name), tool_(this) {
  setObjectName(QString::fromStdString(name));
  setWindowTitle(QString::fromStdString(caption));
  auto* l = new QVBoxLayout(this);
  auto* text = new QLabel(QString::fromStdString(caption + " is not available yet."), this);
  text->setAlignment(Qt::AlignCenter);
  text->setMargin(24);
  l->addWidget(text);
}

}  // namespace vex
