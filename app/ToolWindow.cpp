#include "app/ToolWindow.h"

#include <QApplication>
#include <QDialog>
#include <QEventLoop>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <vector>

#include "shell/Placement.h"

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

namespace {

TBounds BoundsOf(const QRect& r) { return TBounds{r.left(), r.top(), r.width(), r.height()}; }

// The program's main window, which every placement keeps its screen.
QWidget* MainWindow() {
  QWidget* hidden = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (t->objectName() == "Main1") {
      if (t->isVisible()) return t;
      hidden = t;
    }
  return hidden;
}

// The size a window has on the screen, frame included. A window not shown yet has no frame:
// it is taken to get one like the main window's.
QSize FrameSize(QWidget* w, QWidget* main) {
  if (w->isVisible()) return w->frameGeometry().size();
  QSize s = w->testAttribute(Qt::WA_Resized) ? w->size() : w->sizeHint();
  if (w->layout()) s = s.expandedTo(w->layout()->totalMinimumSize());
  s = s.expandedTo(w->minimumSize());
  if (main && main != w && main->isVisible()) s += main->frameGeometry().size() - main->size();
  return s;
}

// Places a window once more when it is first on the screen with the frame the window manager gave
// it: before that its frame is an estimate, and window managers differ in how they read the place
// of a window they have not framed yet. A move the window manager makes just after it maps the
// window is corrected too; later moves are the user's.
class PlaceAgain : public QObject {
 public:
  PlaceAgain(QWidget* w, int left, int top) : QObject(w), w_(w), left_(left), top_(top) {
    setObjectName("PlaceAgain");
    if (QWindow* h = w->windowHandle())
      h->installEventFilter(this);
    else
      w->installEventFilter(this);
  }
  void Set(int left, int top) {
    left_ = left;
    top_ = top;
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == w_ && e->type() == QEvent::Show && w_->windowHandle() && !exposed_) {
      w_->removeEventFilter(this);
      w_->windowHandle()->installEventFilter(this);
    } else if (o == w_->windowHandle() && e->type() == QEvent::Expose && w_->windowHandle()->isExposed() &&
               !exposed_) {
      exposed_ = true;
      w_->windowHandle()->removeEventFilter(this);
      w_->installEventFilter(this);
      // after the expose has been handled, when the frame is known
      QTimer::singleShot(0, this, [this] { Place(); });
      QTimer::singleShot(cSettleMs, this, [this] { deleteLater(); });
    } else if (o == w_ && e->type() == QEvent::Move && exposed_) {
      QTimer::singleShot(0, this, [this] { Place(); });
    }
    return false;
  }

 private:
  static constexpr int cSettleMs = 500;  // how long the window manager's own moves are corrected
  void Place() { QtToolWindow(w_).MoveTo(left_, top_); }
  QWidget* w_;
  int left_, top_;
  bool exposed_ = false;
};

}  // namespace

void QtToolWindow::MoveTo(int left, int top) {
  QWidget* main = MainWindow();
  const QSize size = FrameSize(w_, main);
  std::vector<TBounds> areas;
  for (QScreen* s : QGuiApplication::screens()) areas.push_back(BoundsOf(s->availableGeometry()));
  const TBounds anchor = main ? BoundsOf(main->frameGeometry()) : TBounds{};
  const TBounds b = PlaceOnScreen(TBounds{left, top, size.width(), size.height()}, anchor, areas);
  w_->move(b.Left, b.Top);
  auto* again = w_->findChild<PlaceAgain*>("PlaceAgain", Qt::FindDirectChildrenOnly);
  if (again)
    again->Set(left, top);
  else if (!(w_->isVisible() && w_->windowHandle() && w_->windowHandle()->isExposed()))
    new PlaceAgain(w_, left, top);
}

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
