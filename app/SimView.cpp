#include "app/SimView.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "comm/Ports.h"
#include "monitor/SimSampling.h"
#include "shell/Instances.h"

namespace vex {

QColor QtColor(TColor c, const QWidget* w) {
  if (c == clBtnFace) return w->palette().color(QPalette::Button);
  if (c == clWindow) return w->palette().color(QPalette::Base);
  return QColor(static_cast<int>(c & 0xFF), static_cast<int>(c >> 8 & 0xFF),
                static_cast<int>(c >> 16 & 0xFF));
}

// ---- lamp ------------------------------------------------------------------------

LampWidget::LampWidget(const QString& text, QSize size, QWidget* parent) : QWidget(parent), text_(text) {
  setFixedSize(size);
}

void LampWidget::SetColor(TColor c) {
  if (c == color_) return;
  color_ = c;
  update();
}

void LampWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor fill = QtColor(color_, this);
  p.setPen(QPen(palette().color(QPalette::Mid), 1));
  p.setBrush(fill);
  const qreal r = height() > 20 ? 4 : 2;
  p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r, r);
  if (!text_.isEmpty()) {
    // dark text on light colours, light text on dark ones
    const bool dark = fill.lightness() > 110;
    p.setPen(dark ? Qt::black : Qt::white);
    QFont f = font();
    if (height() > 20) {
      f.setBold(true);
      f.setPointSizeF(f.pointSizeF() * 1.15);
    } else {
      f.setPointSizeF(std::max(6.0, f.pointSizeF() * 0.75));
    }
    p.setFont(f);
    p.drawText(rect(), Qt::AlignCenter, text_);
  }
}

void LampWidget::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) emit pressed();
}

void LampWidget::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  emit released();
  if (rect().contains(e->position().toPoint())) emit clicked();
}

bool QtSimPrompts::ConfirmWarning(const std::string& text) {
  return QMessageBox::warning(parent_, "Warning", QString::fromStdString(text),
                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel) == QMessageBox::Ok;
}

// ---- simulator window ---------------------------------------------------------------

void SimView::SimTool::AppIdle() { v_.sim_.AppIdle(); }
void SimView::SimTool::StartScan() {
  v_.sim_.StartScan();
  v_.Refresh();
}
void SimView::SimTool::StopScan() {
  v_.sim_.StopScan();
  v_.Refresh();
}
bool SimView::SimTool::InspectorWanted() const { return v_.inspect_ && v_.inspect_->isChecked(); }

SimView::SimView(TVexSim& sim, TInstances& in, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim), in_(in), tool_(this, *this), prompts_(this) {
  setObjectName(QString::fromStdString(sim.Name));
  setWindowTitle(sim.Def.Caption);
  sim_.Prompts = &prompts_;
  sim_.PostPoll = [this] { Post(); };
  sim_.Changed = [this] { Refresh(); };
  sim_.ShowHook = [this](bool on) {
    if (on)
      tool_.Show();
    else
      hide();
  };

  auto* top = new QHBoxLayout;
  top->addWidget(BuildPanel(), 0, Qt::AlignTop);
  top->addWidget(BuildControls(), 0, Qt::AlignTop);
  top->addStretch(1);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(6, 6, 6, 4);
  l->setSpacing(4);
  l->addLayout(top);
  if (sim.Def.Sampling) l->addWidget(BuildOscillator());
  timeLine_ = new QLineEdit(this);
  timeLine_->setObjectName("Edit1");
  timeLine_->setReadOnly(true);
  QFont mono("Monospace");
  mono.setStyleHint(QFont::TypeWriter);
  timeLine_->setFont(mono);
  timeLine_->setMinimumWidth(
      QFontMetrics(mono).horizontalAdvance("Read=00/00/00 00:00:00.000  Elapsed=00:00:00.000  "
                                           "Difference=00:00:00.000  [+++]") +
      16);
  timeLine_->setVisible(sim.Def.TimeLine || sim.Def.Sampling);
  timeLine_->setAutoFillBackground(true);
  l->addWidget(timeLine_);
  status_ = new QLabel(this);
  status_->setObjectName("StatusBar1");
  status_->setFrameShape(QFrame::StyledPanel);
  l->addWidget(status_);
  Refresh();
}

SimView::~SimView() {
  sim_.Prompts = nullptr;
  sim_.PostPoll = nullptr;
  sim_.Changed = nullptr;
  sim_.ShowHook = nullptr;
}

void SimView::Guard(const std::function<void()>& f) {
  in_.Main1.Guard(f);
  Refresh();
}

void SimView::Post() {
  if (posted_) return;  // one poll message at a time
  posted_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        posted_ = false;
        Guard([this] { sim_.DoSimul(); });
      },
      Qt::QueuedConnection);
}

QWidget* SimView::BuildPanel() {
  auto* box = new QGroupBox(this);
  box->setObjectName("Panel1");
  auto* grid = new QHBoxLayout(box);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setSpacing(10);
  const TSimMember& m = sim_.Def;
  cells_.resize(static_cast<size_t>(m.Windows));
  int n = 1;
  for (int rows : m.Columns) {
    if (rows == 0) continue;
    auto* col = new QVBoxLayout;
    col->setSpacing(3);
    for (int r = 0; r < rows && n <= m.Windows; ++r, ++n) {
      auto* cell = new QHBoxLayout;
      cell->setSpacing(3);
      Cell& c = cells_[static_cast<size_t>(n - 1)];
      c.lamp = new LampWidget(QString("%1").arg(n, 2, 10, QChar('0')), QSize(44, 30), box);
      c.lamp->setObjectName(QString("LabelX%1").arg(n, 2, 10, QChar('0')));
      c.lamp->setToolTip(QString("Window %1").arg(n));
      c.lamp->setCursor(Qt::PointingHandCursor);
      connect(c.lamp, &LampWidget::clicked, this, [this, n] { Guard([this, n] { sim_.LabelX01Click(n); }); });
      cell->addWidget(c.lamp);
      auto* ind = new QGridLayout;
      ind->setSpacing(1);
      const size_t count = sim_.Panel[static_cast<size_t>(n - 1)].Ind.size();
      for (size_t k = 0; k < count; ++k) {
        auto* lamp = new LampWidget(QString(QChar(cIndLetters[k])), QSize(14, 14), box);
        lamp->setObjectName(QString("Ind%1%2").arg(QChar(cIndLetters[k])).arg(n, 2, 10, QChar('0')));
        lamp->setToolTip(QString::fromStdString(sim_.IndHint(static_cast<int>(k))));
        if (k == 1)
          connect(lamp, &LampWidget::clicked, this,
                  [this, n] { Guard([this, n] { sim_.LabelA01Click(n); }); });
        ind->addWidget(lamp, static_cast<int>(k / 4), static_cast<int>(k % 4));
        c.ind.push_back(lamp);
      }
      cell->addLayout(ind);
      col->addLayout(cell);
    }
    col->addStretch(1);
    grid->addLayout(col);
  }
  return box;
}

QWidget* SimView::BuildControls() {
  const TSimMember& m = sim_.Def;
  auto* w = new QWidget(this);
  auto* l = new QVBoxLayout(w);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(4);

  auto legend = [&](QGridLayout* g, int row, LampWidget* lamp, const char* on, const char* off, TColor onC,
                    TColor offC) {
    g->addWidget(lamp, row, 0, 2, 1);
    auto* a = new LampWidget("", QSize(10, 10), w);
    a->SetColor(onC);
    auto* b = new LampWidget("", QSize(10, 10), w);
    b->SetColor(offC);
    g->addWidget(a, row, 1);
    g->addWidget(new QLabel(on, w), row, 2);
    g->addWidget(b, row + 1, 1);
    g->addWidget(new QLabel(off, w), row + 1, 2);
  };
  auto* panel = new QGroupBox("Panel Controls", w);
  auto* pg = new QGridLayout(panel);
  pg->setSpacing(3);
  hLamp_ = new LampWidget("H", QSize(26, 26), panel);
  hLamp_->setObjectName("LampH");
  tLamp_ = new LampWidget("T", QSize(26, 26), panel);
  tLamp_->setObjectName("LampT");
  legend(pg, 0, hLamp_, "=Horn", "=Silent", clLime, clRed);
  legend(pg, 2, tLamp_, "=Safe", "=Fail", clLime, clRed);
  fixed_.push_back({hLamp_, &TFixedLamps::H});
  fixed_.push_back({tLamp_, &TFixedLamps::T});
  auto key = [&](const char* caption, const char* name) {
    auto* b = new QPushButton(caption, panel);
    b->setObjectName(name);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
  };
  QPushButton* reset = key("RESET", "Button1");
  QPushButton* horn = key("HORN", "Button2");
  QPushButton* test = key("TEST", "Button3");
  QPushButton* ack = key("ACK", "Button4");
  connect(reset, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button1.Click(); }); });
  connect(horn, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button2.Click(); }); });
  connect(ack, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button4.Click(); }); });
  connect(test, &QPushButton::pressed, this, [this] { Guard([this] { sim_.Button3MouseDown(); }); });
  connect(test, &QPushButton::released, this, [this] { Guard([this] { sim_.Button3MouseUp(); }); });
  pg->addWidget(reset, 4, 0, 1, 3);
  pg->addWidget(horn, 5, 0, 1, 3);
  pg->addWidget(test, 6, 0, 1, 3);
  pg->addWidget(ack, 7, 0, 1, 3);
  l->addWidget(panel);

  auto* out = new QGroupBox(QString(m.OutputsCaption).replace("&&", "&&"), w);
  out->setObjectName("Outputs");
  auto* og = new QGridLayout(out);
  og->setSpacing(3);
  int row = 0;
  auto output = [&](const char* caption, TColor TFixedLamps::*colour) {
    auto* lamp = new LampWidget("", QSize(16, 16), out);
    lamp->setObjectName(QString("Out") + caption);
    og->addWidget(lamp, row, 0);
    og->addWidget(new QLabel(caption, out), row, 1);
    ++row;
    fixed_.push_back({lamp, colour});
  };
  output("HORN", &TFixedLamps::Horn);
  output("BELL", &TFixedLamps::Bell);
  output(m.ThirdOutput, &TFixedLamps::Third);
  if (m.Extras == TExtras::Clock216) {
    output("Time Valid", &TFixedLamps::TimeValid);
    output("Sync", &TFixedLamps::Sync);
    output("ExQ", &TFixedLamps::ExQ);
    output("DX Mode", &TFixedLamps::DxMode);
  } else if (m.Extras == TExtras::Sync9xx) {
    output("Time Sync", &TFixedLamps::TimeSync);
    output("DX Mode", &TFixedLamps::DxMode);
  }
  l->addWidget(out);

  scan_ = new QCheckBox("Start Scan", w);
  scan_->setObjectName("CheckBox1");
  connect(scan_, &QCheckBox::clicked, this, [this](bool on) {
    if (filling_) return;
    Guard([this, on] {
      sim_.CheckBox1.Checked = on;
      sim_.CheckBox1.Click();
    });
  });
  l->addWidget(scan_);
  auto box = [&](const char* caption, const char* name, std::function<void(bool)> f) {
    auto* b = new QCheckBox(caption, w);
    b->setObjectName(name);
    connect(b, &QCheckBox::toggled, this, [this, f](bool on) {
      if (!filling_) Guard([&] { f(on); });
    });
    l->addWidget(b);
    return b;
  };
  if (m.Sampling) {
    setTime_ = box("Set Time", "CheckBox3", [this](bool on) { sim_.Sampling->SetTime = on; });
    virtualDx_ = box("Virtual DX", "CheckBox4", [this](bool on) { sim_.VirtualDx = on; });
    osc_ = box("Oscillator", "CheckBox5", [this](bool on) { sim_.Sampling->OscBox = on; });
  }
  if (m.Forcing == TForcing::Dx9xx) {
    dxMode_ = box("DX Mode", "CheckBox2", [this](bool on) {
      sim_.DxMode = on;
      if (on) sim_.DxBrix = false;
    });
    dxBrix_ = box("DX Brix-3", "CheckBox3", [this](bool on) {
      sim_.DxBrix = on;
      if (on) sim_.DxMode = false;
    });
  }
  if (m.Inspector)
    inspect_ = box("Inspector", "CheckBox2", [this](bool on) {
      if (IToolWindow* d = in_.Main1.Tool("Vex316desk1"); d && on) {
        const TBounds b = tool_.Bounds();
        d->ShowAt(b.Left, b.Top + b.Height + 5);
      }
    });
  showEvents_ = new QPushButton(m.Sampling ? "Events" : "Show Events", w);
  showEvents_->setObjectName("Button5");
  connect(showEvents_, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button5.Click(); }); });
  l->addWidget(showEvents_);
  if (m.TimeLine) {
    auto* sync = new QPushButton("Sync Time", w);
    sync->setObjectName("Button99");
    connect(sync, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button99.Click(); }); });
    auto* erase = new QPushButton("Erase Events", w);
    erase->setObjectName("Button98");
    connect(erase, &QPushButton::clicked, this, [this] { Guard([this] { sim_.Button98.Click(); }); });
    l->addWidget(sync);
    l->addWidget(erase);
  }
  l->addStretch(1);
  return w;
}

QWidget* SimView::BuildOscillator() {
  oscBox_ = new QGroupBox("Oscillator", this);
  oscBox_->setObjectName("Oscillator");
  auto* g = new QGridLayout(oscBox_);
  g->setSpacing(3);
  static const char* const names[13] = {"EepSiz", "OscTun", "TimDif", "TimLap", "TimVar", "OscNxt", "OscNx1",
                                        "OscNx2", "OscNx3", "OscErr", "OscOfs", "TimMnr", "TimMea"};
  static const int order[13] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 9, 12};  // shown order -> field
  for (int i = 0; i < 13; ++i) {
    g->addWidget(new QLabel(names[i], oscBox_), i / 7 * 2, i % 7);
    tun_[static_cast<size_t>(order[i])] = new QLineEdit(oscBox_);
    tun_[static_cast<size_t>(order[i])]->setReadOnly(true);
    tun_[static_cast<size_t>(order[i])]->setMaximumWidth(64);
    g->addWidget(tun_[static_cast<size_t>(order[i])], i / 7 * 2 + 1, i % 7);
  }
  static const char* const pairs[3] = {"OscCon1/2", "OscCon3/Stat", "OscEnb/Frq"};
  for (int i = 0; i < 3; ++i) {
    g->addWidget(new QLabel(pairs[i], oscBox_), 4 + i, 0);
    exo_[static_cast<size_t>(i)] = new QLineEdit(oscBox_);
    exo_[static_cast<size_t>(i)]->setReadOnly(true);
    exo_[static_cast<size_t>(i)]->setMaximumWidth(80);
    g->addWidget(exo_[static_cast<size_t>(i)], 4 + i, 1);
    hint_[static_cast<size_t>(i)] = new QLabel(oscBox_);
    g->addWidget(hint_[static_cast<size_t>(i)], 4 + i, 2, 1, 5);
  }
  g->addWidget(new QLabel("OscTune", oscBox_), 7, 0);
  oscTune_ = new QLineEdit(oscBox_);
  oscTune_->setObjectName("OscTune");
  oscTune_->setMaximumWidth(64);
  g->addWidget(oscTune_, 7, 1);
  auto* up = new QToolButton(oscBox_);
  up->setArrowType(Qt::UpArrow);
  auto* down = new QToolButton(oscBox_);
  down->setArrowType(Qt::DownArrow);
  g->addWidget(up, 7, 2, Qt::AlignLeft);
  g->addWidget(down, 7, 3, Qt::AlignLeft);
  auto wheel = [this](int step, bool user) {
    Guard([&] {
      sim_.Sampling->OscTune = oscTune_->text().toStdString();
      sim_.Sampling->OscTuneChange(step, user);
    });
  };
  connect(up, &QToolButton::clicked, this, [wheel] { wheel(1, true); });
  connect(down, &QToolButton::clicked, this, [wheel] { wheel(-1, true); });
  connect(oscTune_, &QLineEdit::textEdited, this, [this, wheel] {
    if (!filling_) wheel(0, oscTune_->hasFocus());
  });
  return oscBox_;
}

void SimView::Refresh() {
  filling_ = true;
  for (size_t i = 0; i < cells_.size(); ++i) {
    const TWindowLamps& w = sim_.Panel[i];
    cells_[i].lamp->SetColor(w.Lamp.Color);
    for (size_t k = 0; k < cells_[i].ind.size(); ++k) cells_[i].ind[k]->SetColor(w.Ind[k].Color);
  }
  for (const Fixed& f : fixed_) f.lamp->SetColor(sim_.Fixed.*f.colour);
  if (scan_->isChecked() != sim_.Scanning()) scan_->setChecked(sim_.Scanning());
  if (dxMode_ && dxMode_->isChecked() != sim_.DxMode) dxMode_->setChecked(sim_.DxMode);
  if (dxBrix_) {
    if (dxBrix_->isChecked() != sim_.DxBrix) dxBrix_->setChecked(sim_.DxBrix);
    dxBrix_->setVisible(in_.Main1.AdmMod);
  }
  if (TSimSampling* s = sim_.Sampling.get()) {
    setTime_->setEnabled(s->SetTimeEnabled);
    if (setTime_->isChecked() != s->SetTime) setTime_->setChecked(s->SetTime);
    virtualDx_->setEnabled(s->VirtualDxEnabled);
    if (virtualDx_->isChecked() != sim_.VirtualDx) virtualDx_->setChecked(sim_.VirtualDx);
    showEvents_->setEnabled(s->ShowEventsEnabled);
    osc_->setEnabled(s->OscEnabled);
    osc_->setVisible(s->OscVisible);
    if (osc_->isChecked() != s->OscBox) osc_->setChecked(s->OscBox);
    oscBox_->setVisible(s->OscVisible && s->OscBox);
    for (size_t i = 0; i < tun_.size(); ++i)
      if (tun_[i]->text().toStdString() != s->TunText[i])
        tun_[i]->setText(QString::fromStdString(s->TunText[i]));
    for (size_t i = 0; i < 3; ++i) {
      if (exo_[i]->text().toStdString() != s->ExoText[i])
        exo_[i]->setText(QString::fromStdString(s->ExoText[i]));
      if (hint_[i]->text().toStdString() != s->ExoHint[i])
        hint_[i]->setText(QString::fromStdString(s->ExoHint[i]));
    }
    if (!oscTune_->hasFocus() && oscTune_->text().toStdString() != s->OscTune)
      oscTune_->setText(QString::fromStdString(s->OscTune));
  }
  const QString tl = QString::fromStdString(sim_.TimeLine);
  if (timeLine_->text() != tl) timeLine_->setText(tl);
  QPalette p = timeLine_->palette();
  const QColor want =
      sim_.TimeLineColor == clBtnFace ? palette().color(QPalette::Button) : QtColor(sim_.TimeLineColor, this);
  if (p.color(QPalette::Base) != want) {
    p.setColor(QPalette::Base, want);
    timeLine_->setPalette(p);
  }
  const QString st = QString::fromStdString(sim_.StatusText);
  if (status_->text() != st) status_->setText(st);
  const QString sheet = sim_.StatusRed ? "color: #FF0000" : "";
  if (status_->styleSheet() != sheet) status_->setStyleSheet(sheet);
  filling_ = false;
}

void SimView::showEvent(QShowEvent* e) {
  sim_.Visible = true;
  QWidget::showEvent(e);
}

void SimView::hideEvent(QHideEvent* e) {
  if (!isMinimized()) {
    sim_.Visible = false;
    sim_.StopScan();  // a closed screen does not poll
  }
  QWidget::hideEvent(e);
}

// ---- inspector ---------------------------------------------------------------------

Vex316deskView::Vex316deskView(TVex316desk1& desk, TInstances& in, QWidget* parent)
    : QWidget(parent, Qt::Window), desk_(desk), in_(in), tool_(this) {
  setObjectName("Vex316desk1");
  setWindowTitle(TVex316desk1::cCaption);
  auto grid = [this](const QStringList& heads, const std::vector<std::string>& rows, const char* name) {
    auto* t = new QTableWidget(static_cast<int>(rows.size()), 3, this);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(heads);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->verticalHeader()->setDefaultSectionSize(19);
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      t->setItem(r, 0, new QTableWidgetItem(QString::fromStdString(rows[static_cast<size_t>(r)])));
      t->setItem(r, 1, new QTableWidgetItem);
      t->setItem(r, 2, new QTableWidgetItem);
      t->item(r, 1)->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    t->setColumnWidth(0, 90);
    t->setColumnWidth(1, 90);
    t->setColumnWidth(2, 80);
    t->setFixedWidth(268);
    t->setMinimumHeight(19 * static_cast<int>(rows.size()) + t->horizontalHeader()->sizeHint().height() + 4);
    return t;
  };
  channels_ = grid({"Channel", "Adc Raw", "SnapShot"}, TVex316desk1::ChannelRows(), "Grid1");
  values_ = grid({"Description", "Values", "SnapShot"}, TVex316desk1::ValueRows(), "Grid2");
  auto* sets = new QGroupBox("Set Points", this);
  auto* sg = new QGridLayout(sets);
  for (size_t k = 0; k < 4; ++k) {
    TVex316desk1::TSetPoint& sp = desk_.Sets[k];
    sg->addWidget(new QLabel(sp.Name, sets), static_cast<int>(k), 0);
    auto* e = new QLineEdit(sets);
    e->setObjectName(sp.Name);
    e->setMaximumWidth(70);
    edits_[k] = e;
    sg->addWidget(e, static_cast<int>(k), 1);
    auto* up = new QToolButton(sets);
    up->setArrowType(Qt::UpArrow);
    auto* down = new QToolButton(sets);
    down->setArrowType(Qt::DownArrow);
    sg->addWidget(up, static_cast<int>(k), 2);
    sg->addWidget(down, static_cast<int>(k), 3);
    auto step = [this, k](int s, bool user) {
      TVex316desk1::TSetPoint& p = desk_.Sets[k];
      p.Text = edits_[k]->text().toStdString();
      desk_.ButonWheel(p, s, user);
      Refresh();
    };
    connect(up, &QToolButton::clicked, this, [step] { step(1, true); });
    connect(down, &QToolButton::clicked, this, [step] { step(-1, true); });
    connect(e, &QLineEdit::textEdited, this, [this, step, e] {
      if (!filling_) step(0, e->hasFocus());
    });
  }
  summary_ = new QLineEdit(this);
  summary_->setObjectName("Edit9");
  summary_->setReadOnly(true);
  summary_->setToolTip("Click to copy");
  summary_->installEventFilter(this);
  auto* right = new QVBoxLayout;
  right->addWidget(values_);
  right->addWidget(sets);
  right->addStretch(1);
  auto* top = new QHBoxLayout;
  top->addWidget(channels_);
  top->addLayout(right);
  auto* l = new QVBoxLayout(this);
  l->setContentsMargins(6, 6, 6, 6);
  l->addLayout(top);
  l->addWidget(summary_);
  desk_.Changed = [this] { Refresh(); };
  Refresh();
}

Vex316deskView::~Vex316deskView() { desk_.Changed = nullptr; }

void Vex316deskView::Refresh() {
  filling_ = true;
  auto put = [](QTableWidget* t, const std::vector<std::string>& v) {
    for (size_t r = 0; r < v.size(); ++r) {
      const QString s = QString::fromStdString(v[r]);
      if (t->item(static_cast<int>(r), 1)->text() != s) t->item(static_cast<int>(r), 1)->setText(s);
    }
  };
  put(channels_, desk_.ChannelValues);
  put(values_, desk_.ValueValues);
  for (size_t k = 0; k < 4; ++k)
    if (!edits_[k]->hasFocus() && edits_[k]->text().toStdString() != desk_.Sets[k].Text)
      edits_[k]->setText(QString::fromStdString(desk_.Sets[k].Text));
  const QString s = QString::fromStdString(desk_.Summary);
  if (summary_->text() != s) summary_->setText(s);
  filling_ = false;
}

bool Vex316deskView::eventFilter(QObject* o, QEvent* e) {
  if (o == summary_ && e->type() == QEvent::MouseButtonPress) {
    QApplication::clipboard()->setText(QString::fromStdString(desk_.SummaryForClipboard()));
    return true;
  }
  return QWidget::eventFilter(o, e);
}

void Vex316deskView::mousePressEvent(QMouseEvent* e) {
  // a click on the background brings the simulator and the inspector forward (hub shown)
  if (IToolWindow* p = in_.Main1.Tool("Ports1"); p && p->Visible()) {
    if (IToolWindow* s = in_.Main1.Tool("Vex316sim1")) s->Show();
    tool_.Show();
  }
  QWidget::mousePressEvent(e);
}

void Vex316deskView::showEvent(QShowEvent* e) {
  desk_.Visible = true;
  QWidget::showEvent(e);
}

void Vex316deskView::hideEvent(QHideEvent* e) {
  if (!isMinimized()) desk_.Visible = false;
  QWidget::hideEvent(e);
}

}  // namespace vex
