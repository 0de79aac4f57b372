#include "app/RackSimView.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QMetaObject>
#include <QPainter>
#include <QVBoxLayout>

#include "shell/Main.h"

namespace vex {

namespace {

QColor ToQColor(TColor c, const QPalette& p) {
  if (c == clBtnFace) return p.color(QPalette::Button);
  if (c == clWindow) return p.color(QPalette::Base);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                static_cast<int>(c >> 16 & 0xFF));
}

QString Two(int n) { return QString("%1").arg(n, 2, 10, QChar('0')); }

// The erase question as a warning box with OK and Cancel.
class QtRackPrompts : public ISimPrompts {
 public:
  explicit QtRackPrompts(QWidget* parent) : parent_(parent) {}
  bool ConfirmWarning(const std::string& text) override {
    return QMessageBox::warning(parent_, "Warning", QString::fromStdString(text),
                                QMessageBox::Ok | QMessageBox::Cancel,
                                QMessageBox::Cancel) == QMessageBox::Ok;
  }

 private:
  QWidget* parent_;
};

}  // namespace

// ---- lamp ----

RackLampWidget::RackLampWidget(int size, QWidget* parent) : QWidget(parent), size_(size) {
  setFixedSize(size, size);
}

void RackLampWidget::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  update();
}

void RackLampWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(palette().color(QPalette::Dark), 1));
  p.setBrush(ToQColor(color_, palette()));
  p.drawEllipse(QRectF(1.5, 1.5, width() - 3.0, height() - 3.0));
}

// ---- view ----

RackSimView::RackSimView(TRackSim& sim, TVex733sim1* io, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim), io_(io), main_(main) {
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

  auto* prompts = new QtRackPrompts(this);
  sim_.Prompts = prompts;
  prompts_.reset(prompts);
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
  auto* vex748 = dynamic_cast<TVex748sim1*>(&sim_);
  sim_.PostPoll = [this, vex748] {
    const int msg = vex748 ? vex748->PollMessage() : WM_POLL;
    QMetaObject::invokeMethod(
        this,
        [this, vex748, msg] {
          Guard([&] {
            if (vex748)
              vex748->Dispatch(msg);
            else
              sim_.DoSimul();
          });
        },
        Qt::QueuedConnection);
  };
  Refresh();
}

RackSimView::~RackSimView() {
  sim_.Changed = nullptr;
  sim_.ShowHook = nullptr;
  sim_.PostPoll = nullptr;
  sim_.Prompts = nullptr;
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
    auto* lw = new RackLampWidget(18, w);
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
    auto* lw = new RackLampWidget(30, g);
    lw->setObjectName(QString("Shape%1").arg(i + 1));
    auto* num = new QLabel(Two(i + 1), g);
    num->setAlignment(Qt::AlignHCenter);
    grid->addWidget(lw, 2 * row, col, Qt::AlignHCenter);
    grid->addWidget(num, 2 * row + 1, col, Qt::AlignHCenter);
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
      auto lamp = [&](std::vector<RackLampWidget*>& v, int col) {
        auto* lw = new RackLampWidget(16, g);
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
  const QColor bg = ToQColor(sim_.TimeLineColor == clBtnFace ? clWindow : sim_.TimeLineColor, palette());
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

void RackSimView::closeEvent(QCloseEvent* e) {
  Guard([this] { sim_.FormClose(); });
  QWidget::closeEvent(e);
}

}  // namespace vex
