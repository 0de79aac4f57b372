#include "app/MainView.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QTabBar>
#include <QVBoxLayout>
#include <algorithm>

namespace vex {

namespace {

QLabel* Label(const std::string& text, QWidget* parent, int pointDelta = 0, bool bold = false) {
  auto* l = new QLabel(QString::fromStdString(text), parent);
  if (pointDelta || bold) {
    QFont f = l->font();
    if (pointDelta) f.setPointSize(f.pointSize() + pointDelta);
    f.setBold(bold);
    l->setFont(f);
  }
  return l;
}

}  // namespace

MainView::MainView(TMain1& main, QWidget* parent) : QMainWindow(parent), main_(main), tool_(this) {
  setObjectName("Main1");
  setWindowTitle(cMainCaption);

  auto* central = new QWidget(this);
  auto* v = new QVBoxLayout(central);
  v->setContentsMargins(8, 8, 8, 4);

  tabs_ = new QTabWidget(central);
  tabs_->setObjectName("PageControl1");
  tabs_->setUsesScrollButtons(true);
  tabs_->setDocumentMode(false);
  for (auto& p : main_.Pages) tabs_->addTab(ModelPage(p), QString::fromStdString(p.Def.Caption));
  tabs_->addTab(AboutPage(), "About");
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int k) {
    if (k >= 0) main_.ActivePage = k;
  });
  v->addWidget(tabs_, 1);

  auto* row = new QHBoxLayout;
  row->addWidget(Bind(main_.DetectTarget, central));
  row->addWidget(Bind(main_.PortSettings, central));
  row->addWidget(Bind(main_.BootMixer, central));
  row->addStretch(1);
  v->addLayout(row);
  setCentralWidget(central);

  mode_ = new QLabel(this);
  mode_->setObjectName("StatusPanel0");
  mode_->setMinimumWidth(120);
  mode_->setContentsMargins(2, 0, 2, 0);
  status_ = new QLabel(this);
  status_->setObjectName("StatusPanel1");
  status_->setMinimumWidth(500);
  status_->setContentsMargins(2, 0, 2, 0);
  statusBar()->addWidget(mode_);
  statusBar()->addWidget(status_, 1);
  statusBar()->setSizeGripEnabled(false);

  Refresh();
  // wide enough for every page caption without scrolling
  resize(std::max(680, tabs_->tabBar()->sizeHint().width() + 24), 290);
}

QPushButton* MainView::Bind(TControl& c, QWidget* parent) {
  auto* b = new QPushButton(QString::fromStdString(c.Caption), parent);
  b->setMinimumWidth(110);
  connect(b, &QPushButton::clicked, this, [this, &c] {
    main_.Guard([&c] { c.Click(); });
    Refresh();
  });
  buttons_.emplace_back(b, &c);
  return b;
}

QPushButton* MainView::Button(const TControl& c) const {
  for (const auto& [b, ctl] : buttons_)
    if (ctl == &c) return b;
  return nullptr;
}

QWidget* MainView::ModelPage(TMainPage& p) {
  auto* page = new QWidget;
  page->setObjectName(QString::fromStdString("TabSheet" + p.Def.Caption));
  auto* h = new QHBoxLayout(page);
  h->setContentsMargins(10, 10, 10, 10);
  h->setSpacing(12);

  auto* panel = new QFrame(page);
  panel->setObjectName("Panel");
  panel->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* pv = new QVBoxLayout(panel);
  pv->setContentsMargins(14, 10, 14, 10);
  for (size_t i = 0; i < p.Def.Panel.size(); ++i)
    pv->addWidget(i == 0 ? Label(p.Def.Panel[i], panel, 8, true) : Label(p.Def.Panel[i], panel, 2));
  pv->addStretch(1);
  h->addWidget(panel, 1);

  auto* bv = new QVBoxLayout;
  bv->setSpacing(6);
  for (TControl* c : {&p.FwUpload, &p.Configuration, &p.Production, &p.Simulator})
    bv->addWidget(Bind(*c, page));
  bv->addStretch(1);
  h->addLayout(bv);
  return page;
}

QWidget* MainView::AboutPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetAbout");
  auto* v = new QVBoxLayout(page);
  v->addStretch(1);
  auto* title = Label(cMainCaption, page, 6, true);
  title->setAlignment(Qt::AlignCenter);
  v->addWidget(title);
  auto* what =
      Label("Configuration, test and production of annunciators, rack modules and the rack RTU", page);
  what->setAlignment(Qt::AlignCenter);
  v->addWidget(what);
  version_ = Label(main_.VersionLabel, page, 2);
  version_->setObjectName("Label1");
  version_->setAlignment(Qt::AlignCenter);
  v->addWidget(version_);
  v->addStretch(1);
  return page;
}

void MainView::Refresh() {
  const QString mode = QString::fromStdString(main_.ModeText);
  if (mode_->text() != mode) mode_->setText(mode);
  if (version_->text() != QString::fromStdString(main_.VersionLabel))
    version_->setText(QString::fromStdString(main_.VersionLabel));

  // the link status: replaced only when it changed, red while there is a last error
  const QString status = QString::fromStdString(main_.StatusText);
  if (status_->text() != status) status_->setText(status);
  if (statusRed_ != main_.StatusFailed) {
    statusRed_ = main_.StatusFailed;
    status_->setStyleSheet(statusRed_ ? "color: rgb(255, 0, 0);" : "");
  }

  // only what changed is touched: an unchanged call still lays the tabs out again, and a pass that
  // posts work would keep the idle dispatcher spinning
  for (size_t i = 0; i < main_.Pages.size(); ++i)
    if (tabs_->isTabVisible(static_cast<int>(i)) != main_.Pages[i].Visible)
      tabs_->setTabVisible(static_cast<int>(i), main_.Pages[i].Visible);
  for (const auto& [b, c] : buttons_)
    if (b->isHidden() == c->Visible) b->setVisible(c->Visible);
  if (tabs_->currentIndex() != main_.ActivePage && main_.ActivePage >= 0 && main_.ActivePage < tabs_->count())
    tabs_->setCurrentIndex(main_.ActivePage);
}

void MainView::changeEvent(QEvent* e) {
  if (e->type() == QEvent::ActivationChange && isActiveWindow())
    main_.Guard([this] { main_.FormActivate(); });
  QMainWindow::changeEvent(e);
}

void MainView::closeEvent(QCloseEvent* e) {
  QMainWindow::closeEvent(e);
  if (e->isAccepted()) emit Closed();
}

}  // namespace vex
