#include "app/RackSimView.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMetaObject>
#include <QVBoxLayout>

#include "shell/Main.h"

namespace vex {

namespace {

QString Two(int n) { return QString("%1").arg(n, 2, 10, QChar('0')); }

}  // namespace

// ---- view ----

RackSimView::RackSimView(TRackSim& sim, TVex733sim1* io, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim), io_(io), main_(main), tool_(this, *this), prompts_(this) {
  setObjectName(QString::fromStdString(sim.Name));
  setWindowTitle(QString::fromStdString(sim.Caption));
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(6, 6, 6, 6);
  l->addWidget(BuildControls());
  l->addWidget(io ? BuildSlots() : BuildWindows(), 1);
  timeLine_ = new QLineEdit(this);
  timeLine_->setObjectName("Edit1");
  timeLine_->setReadOnly(true);
  timeLine_->setAutoFillBackground(true);
  l->addWidget(timeLine_);
  statusBar_ = new QLabel(this);
  statusBar_->setObjectName("StatusBar1");
  statusBar_->setFrameShape(QFrame::StyledPanel);
  l->addWidget(statusBar_);

  sim_.Prompts = &prompts_;
  sim_.Changed = [this] { Refresh(); };
  sim_.ShowHook = [this](bool on) {
    if (on) {
      show();
      raise();
      activateWindow();
    } else {
      hide();
    }
  };
  sim_.PostPoll = [this] { Post(); };
  Refresh();
}

RackSimView::~RackSimView() {
  sim_.Changed = nullptr;
  sim_.ShowHook = nullptr;
  sim_.PostPoll = nullptr;
  sim_.Prompts = nullptr;
}

void RackSimView::Post() {
  if (posted_) return;  // one poll message at a time
  posted_ = true;
  // The message is chosen when it is posted: the 48-input module's by its edition.
  auto* vex748 = dynamic_cast<TVex748sim1*>(&sim_);
  const int msg = vex748 ? vex748->PollMessage() : WM_POLL;
  QMetaObject::invokeMethod(
      this,
      [this, vex748, msg] {
        posted_ = false;
        Guard([&] {
          if (vex748)
            vex748->Dispatch(msg);
          else
            sim_.DoSimul();
        });
      },
      Qt::QueuedConnection);
}

void RackSimView::RackTool::StartScan() {
  v_.sim_.StartScan();
  v_.Refresh();
}

void RackSimView::RackTool::StopScan() {
  v_.sim_.StopScan();
  v_.Refresh();
}

void RackSimView::Guard(const std::function<void()>& f) {
  main_.Guard(f);
  Refresh();
}

QWidget* RackSimView::BuildControls() {
  auto* w = new QWidget(this);
  auto* l = new QHBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  scan_ = new QCheckBox("Start Scan", w);
  scan_->setObjectName("CheckBox1");
  connect(scan_, &QCheckBox::clicked, this, [this](bool on) {
    sim_.CheckBox1.Checked = on;
    Guard([this] { sim_.CheckBox1Click(); });
  });
  l->addWidget(scan_);
  auto button = [&](const char* caption, const char* name, std::function<void()> f) {
    auto* b = new QPushButton(caption, w);
    b->setObjectName(name);
    connect(b, &QPushButton::clicked, this, [this, f] { Guard(f); });
    l->addWidget(b);
    return b;
  };
  button("Show Events", "Button5", [this] { sim_.ShowEventsClick(); });
  test_ = new QPushButton("LAMP TEST", w);
  test_->setObjectName("Button3");
  connect(test_, &QPushButton::pressed, this, [this] { Guard([this] { sim_.LampTestDown(); }); });
  connect(test_, &QPushButton::released, this, [this] { Guard([this] { sim_.LampTestUp(); }); });
  l->addWidget(test_);
  button("Sync Time", "Button99", [this] { sim_.Button99Click(); });
  button("Erase Events", "Button98", [this] { sim_.Button98Click(); });
  l->addSpacing(12);
  auto lamp = [&](const char* caption) {
    auto* lw = new LampWidget(QString(), QSize(18, 18), w);
    l->addWidget(lw);
    l->addWidget(new QLabel(caption, w));
    return lw;
  };
  status_ = lamp("STATUS");
  power_ = lamp("POWER");
  if (io_) {
    irigSync_ = lamp("IrigB Sync");
    irigLock_ = lamp("Irig-B Lock");
  }
  l->addStretch(1);
  return w;
}

QWidget* RackSimView::BuildWindows() {
  auto* g = new QGroupBox("Inputs", this);
  auto* grid = new QGridLayout(g);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  for (int i = 0; i < TRackSim::cInputs; ++i) {
    const int row = i / 16, col = i % 16;
    auto* lw = new LampWidget(Two(i + 1), QSize(40, 32), g);
    lw->setObjectName(QString("Shape%1").arg(i + 1));
    grid->addWidget(lw, row, col, Qt::AlignHCenter);
    inputs_.push_back(lw);
  }
  return g;
}

QWidget* RackSimView::BuildSlots() {
  auto* w = new QWidget(this);
  auto* outer = new QVBoxLayout(w);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  outer->addLayout(row, 1);
  inputs_.resize(48);
  outputs_.resize(48);
  faults_.resize(48);
  out_.resize(TVex733Boxes::cBoxes);
  pul_.resize(TVex733Boxes::cBoxes);
  for (int s = 0; s < TVex733sim1::cSlots; ++s) {
    auto* g = new QGroupBox(QString("Slot %1").arg(s + 1), w);
    auto* grid = new QGridLayout(g);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(1);
    slots_[static_cast<size_t>(s)] = new QLineEdit(g);
    slots_[static_cast<size_t>(s)]->setReadOnly(true);
    slots_[static_cast<size_t>(s)]->setObjectName(QString("Slot%1").arg(s + 1));
    grid->addWidget(slots_[static_cast<size_t>(s)], 0, 0, 1, 6);
    const char* heads[] = {"", "X", "O", "F", "Out", "T"};
    for (int c = 0; c < 6; ++c) grid->addWidget(new QLabel(heads[c], g), 1, c, Qt::AlignHCenter);
    for (int k = 0; k < 16; ++k) {
      const int n = 16 * s + k;  // channel 0..47
      grid->addWidget(new QLabel(Two(n + 1), g), 2 + k, 0, Qt::AlignRight);
      auto lamp = [&](std::vector<LampWidget*>& v, int col) {
        auto* lw = new LampWidget(QString(), QSize(16, 16), g);
        v[static_cast<size_t>(n)] = lw;
        grid->addWidget(lw, 2 + k, col, Qt::AlignHCenter);
      };
      lamp(inputs_, 1);
      lamp(outputs_, 2);
      lamp(faults_, 3);
      if (k < TVex733Boxes::cPerGroup) {
        const int b = s * TVex733Boxes::cPerGroup + k;
        auto* ob = new QCheckBox(g);
        ob->setObjectName(QString("Out%1").arg(n + 1));
        connect(ob, &QCheckBox::clicked, this, [this, b](bool on) { Guard([&] { io_->OutClick(b, on); }); });
        auto* tb = new QCheckBox(g);
        tb->setObjectName(QString("T%1").arg(n + 1));
        connect(tb, &QCheckBox::clicked, this,
                [this, b](bool on) { Guard([&] { io_->PulseClick(b, on); }); });
        grid->addWidget(ob, 2 + k, 4, Qt::AlignHCenter);
        grid->addWidget(tb, 2 + k, 5, Qt::AlignHCenter);
        out_[static_cast<size_t>(b)] = ob;
        pul_[static_cast<size_t>(b)] = tb;
      }
    }
    auto* ov = new QCheckBox(TVex733Boxes::OverrideCaption(s), g);
    ov->setObjectName(QString("Override%1").arg(s + 1));
    ov->setTristate(true);
    connect(ov, &QCheckBox::clicked, this, [this, s, ov] {
      const Qt::CheckState st = ov->checkState();
      const auto tri = st == Qt::Checked     ? TVex733Boxes::TTri::Checked
                       : st == Qt::Unchecked ? TVex733Boxes::TTri::Unchecked
                                             : TVex733Boxes::TTri::Grayed;
      Guard([&] { io_->OverrideClick(s, tri); });
    });
    grid->addWidget(ov, 2 + TVex733Boxes::cPerGroup, 4, 1, 2);
    override_[static_cast<size_t>(s)] = ov;
    grid->setRowStretch(18, 1);
    row->addWidget(g);
  }
  auto* barRow = new QHBoxLayout;
  barRow->addWidget(new QLabel("Active Inputs", w));
  bar_ = new QProgressBar(w);
  bar_->setObjectName("ProgressBar1");
  bar_->setRange(0, TRackSim::cInputs);
  bar_->setFormat("%v");
  barRow->addWidget(bar_, 1);
  outer->addLayout(barRow);
  return w;
}

void RackSimView::Refresh() {
  if (scan_->isChecked() != sim_.CheckBox1.Checked) scan_->setChecked(sim_.CheckBox1.Checked);
  status_->SetColor(sim_.Status.Color);
  power_->SetColor(sim_.Power.Color);
  for (size_t i = 0; i < inputs_.size(); ++i) inputs_[i]->SetColor(sim_.Inputs[i].Color);
  const QString tl = QString::fromStdString(sim_.TimeLine);
  if (timeLine_->text() != tl) timeLine_->setText(tl);
  const QColor bg = QtColor(sim_.TimeLineColor, this);
  if (timeLine_->palette().color(QPalette::Base) != bg) {
    QPalette p = timeLine_->palette();
    p.setColor(QPalette::Base, bg);
    timeLine_->setPalette(p);
  }
  const QString sb = QString::fromStdString(sim_.StatusText);
  if (statusBar_->text() != sb) statusBar_->setText(sb);
  const QString sbStyle = sim_.StatusRed ? "color: rgb(255,0,0);" : "";
  if (statusBar_->styleSheet() != sbStyle) statusBar_->setStyleSheet(sbStyle);
  if (!io_) return;
  irigSync_->SetColor(io_->IrigSync.Color);
  irigLock_->SetColor(io_->IrigLock.Color);
  for (size_t i = 0; i < outputs_.size(); ++i) {
    outputs_[i]->SetColor(io_->Outputs[i].Color);
    faults_[i]->SetColor(io_->Faults[i].Color);
  }
  for (size_t b = 0; b < out_.size(); ++b) {
    if (out_[b]->isChecked() != io_->Boxes.Out[b].Checked) out_[b]->setChecked(io_->Boxes.Out[b].Checked);
    if (pul_[b]->isChecked() != io_->Boxes.Pul[b].Checked) pul_[b]->setChecked(io_->Boxes.Pul[b].Checked);
  }
  for (size_t g = 0; g < override_.size(); ++g) {
    const auto t = io_->Boxes.Override[g];
    const Qt::CheckState st = t == TVex733Boxes::TTri::Checked     ? Qt::Checked
                              : t == TVex733Boxes::TTri::Unchecked ? Qt::Unchecked
                                                                   : Qt::PartiallyChecked;
    if (override_[g]->checkState() != st) override_[g]->setCheckState(st);
  }
  for (size_t s = 0; s < slots_.size(); ++s) {
    const QString t = QString::fromStdString(io_->Slots[s]);
    if (slots_[s]->text() != t) slots_[s]->setText(t);
  }
  if (bar_->value() != sim_.Active) bar_->setValue(sim_.Active);
}

void RackSimView::showEvent(QShowEvent* e) {
  sim_.Visible = true;
  QWidget::showEvent(e);
}

void RackSimView::closeEvent(QCloseEvent* e) {
  Guard([this] { sim_.FormClose(); });
  QWidget::closeEvent(e);
}

}  // namespace vex
