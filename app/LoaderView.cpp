#include "app/LoaderView.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <algorithm>

#include "shell/Main.h"

namespace vex {

namespace {
// The posted message that starts the upload once the window is on screen.
const QEvent::Type kUpBoot = static_cast<QEvent::Type>(QEvent::User + (WM_UPBOOT - 0x0400));
}  // namespace

LoaderView::LoaderView(TLoader1& loader, TMain1& main, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      loader_(loader),
      main_(main),
      tool_(this) {
  setObjectName("Loader1");
  setModal(true);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(12, 10, 12, 12);
  v->setSpacing(6);
  line1_ = new QLabel(this);
  line1_->setObjectName("Label1");
  line2_ = new QLabel(this);
  line2_->setObjectName("Label2");
  for (QLabel* l : {line1_, line2_}) {
    l->setMinimumWidth(460);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
  }
  bar_ = new QProgressBar(this);
  bar_->setObjectName("ProgressBar1");
  bar_->setTextVisible(true);
  button_ = new QPushButton(this);
  button_->setObjectName("Button1");
  button_->setAutoDefault(false);
  connect(button_, &QPushButton::clicked, this, [this] { loader_.Button1Click(); });
  v->addWidget(line1_);
  v->addWidget(line2_);
  v->addWidget(bar_);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(button_);
  row->addStretch(1);
  v->addLayout(row);
  setFixedSize(sizeHint().expandedTo(QSize(500, 0)));

  loader_.ShowModal = [this] {
    Refresh();
    QCoreApplication::postEvent(this, new QEvent(kUpBoot));
    exec();
  };
  loader_.CloseWindow = [this] { done(QDialog::Rejected); };
  loader_.Changed = [this] { Refresh(); };
  Refresh();
}

LoaderView::~LoaderView() {
  loader_.ShowModal = nullptr;
  loader_.CloseWindow = nullptr;
  loader_.Changed = nullptr;
}

void LoaderView::Refresh() {
  const QString caption = QString::fromStdString(loader_.Caption);
  if (windowTitle() != caption) setWindowTitle(caption);
  const QString t1 = QString::fromStdString(loader_.Line1), t2 = QString::fromStdString(loader_.Line2);
  if (line1_->text() != t1) line1_->setText(t1);
  if (line2_->text() != t2) line2_->setText(t2);
  // the bar counts bytes; the largest image fits an int
  const int max = static_cast<int>(std::max<int64_t>(loader_.ProgressMax, 1));
  if (bar_->maximum() != max) bar_->setRange(0, max);
  const int pos = static_cast<int>(std::clamp<int64_t>(loader_.ProgressPos, 0, max));
  if (bar_->value() != pos) bar_->setValue(pos);
  const QString b = QString::fromStdString(loader_.Button);
  if (button_->text() != b) button_->setText(b);
}

bool LoaderView::event(QEvent* e) {
  if (e->type() == kUpBoot) {
    repaint();  // the window shows itself before the first exchange
    main_.Guard([this] { loader_.DoUpload(); });
    Refresh();
    return true;
  }
  return QDialog::event(e);
}

void LoaderView::reject() { loader_.Button1Click(); }

void LoaderView::closeEvent(QCloseEvent* e) {
  // no close box; a request from the desktop acts like the button
  e->ignore();
  loader_.Button1Click();
}

}  // namespace vex
