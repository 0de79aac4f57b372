#include "app/IsaMapsView.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <map>

#include "app/CfgView.h"
#include "shell/Main.h"

namespace vex {

namespace {

Qt::CheckState QtCheck(TCheck c) {
  return c == cbChecked ? Qt::Checked : c == cbGrayed ? Qt::PartiallyChecked : Qt::Unchecked;
}

void SetItems(QComboBox* c, const std::vector<std::string>& items) {
  QStringList l;
  for (const auto& i : items) l << QString::fromStdString(i);
  QStringList now;
  for (int k = 0; k < c->count(); ++k) now << c->itemText(k);
  if (now == l) return;
  c->clear();
  c->addItems(l);
}

}  // namespace

// ---- the diagram -------------------------------------------------------------------------

IsaDiagram::IsaDiagram(TIsaMaps1& isa, QWidget* parent) : QWidget(parent), isa_(isa) {}

void IsaDiagram::resizeEvent(QResizeEvent* e) {
  // Normal on the left between the rows; First Alarm and Acknowledged above, Momentary and
  // Ring Back below them.
  const int w = width(), h = height();
  const int gap = 44, bw = (w - 20 - 2 * gap) / 3, bh = (h - 50 - 36) / 2;
  const int x0 = 10, x1 = x0 + bw + gap, x2 = x1 + bw + gap, y0 = 36, y1 = y0 + bh + 30;
  auto place = [&](TIsaState s, int x, int y, int height) {
    if (Boxes[s]) Boxes[s]->setGeometry(x, y, bw, height);
  };
  place(isAlm, x1, y0, bh);
  place(isAck, x2, y0, bh);
  place(isMom, x1, y1, bh);
  place(isRng, x2, y1, bh);
  place(isNormal, x0, y0 + bh / 2 + 10, 60);
  QWidget::resizeEvent(e);
}

void IsaDiagram::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  auto r = [this](TIsaState s) { return Boxes[s] ? Boxes[s]->geometry() : QRect(); };
  const QRect nor = r(isNormal), alm = r(isAlm), ack = r(isAck), mom = r(isMom), rng = r(isRng);
  // the route of each transition, from the box it leaves to the box it enters
  std::map<std::pair<int, int>, std::vector<QPointF>> routes;
  routes[{isNormal, isAlm}] = {QPointF(nor.center().x(), nor.top()),
                               QPointF(nor.center().x(), alm.top() + 20),
                               QPointF(alm.left(), alm.top() + 20)};
  routes[{isAlm, isAck}] = {QPointF(alm.right(), alm.center().y()), QPointF(ack.left(), alm.center().y())};
  routes[{isAck, isRng}] = {QPointF(ack.center().x(), ack.bottom()), QPointF(ack.center().x(), rng.top())};
  routes[{isRng, isNormal}] = {
      QPointF(rng.center().x(), rng.bottom()), QPointF(rng.center().x(), rng.bottom() + 14),
      QPointF(nor.center().x() - 20, rng.bottom() + 14), QPointF(nor.center().x() - 20, nor.bottom())};
  routes[{isAck, isNormal}] = {QPointF(ack.center().x() + 30, ack.top()), QPointF(ack.center().x() + 30, 20),
                               QPointF(nor.left() + 12, 20), QPointF(nor.left() + 12, nor.top())};
  routes[{isAlm, isMom}] = {QPointF(alm.center().x(), alm.bottom()), QPointF(alm.center().x(), mom.top())};
  routes[{isMom, isNormal}] = {QPointF(mom.left(), mom.center().y()),
                               QPointF(nor.center().x() + 20, mom.center().y()),
                               QPointF(nor.center().x() + 20, nor.bottom())};
  QFont f = font();
  f.setPointSizeF(f.pointSizeF() * 0.9);
  p.setFont(f);
  for (const TArrow& a : isa_.Arrows()) {
    const auto it = routes.find({a.from, a.to});
    if (it == routes.end()) continue;
    const std::vector<QPointF>& pts = it->second;
    const QColor c = ToQColor(a.color, this);
    p.setPen(QPen(c, 3, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    for (size_t k = 1; k < pts.size(); ++k) p.drawLine(pts[k - 1], pts[k]);
    // the head at the box entered
    const QPointF tip = pts.back(), from = pts[pts.size() - 2];
    const double ang = std::atan2(tip.y() - from.y(), tip.x() - from.x());
    QPainterPath head;
    head.moveTo(tip);
    head.lineTo(tip - QPointF(std::cos(ang - 0.45) * 12, std::sin(ang - 0.45) * 12));
    head.lineTo(tip - QPointF(std::cos(ang + 0.45) * 12, std::sin(ang + 0.45) * 12));
    head.closeSubpath();
    p.fillPath(head, c);
    // the label beside the longest segment
    size_t best = 1;
    double len = 0;
    for (size_t k = 1; k < pts.size(); ++k) {
      const double l = std::hypot(pts[k].x() - pts[k - 1].x(), pts[k].y() - pts[k - 1].y());
      if (l > len) len = l, best = k;
    }
    const QPointF mid = (pts[best] + pts[best - 1]) / 2;
    const bool vertical = std::abs(pts[best].x() - pts[best - 1].x()) < 1;
    const QString label = QString::fromUtf8(a.label);
    const int tw = p.fontMetrics().horizontalAdvance(label);
    const QPointF at = vertical ? mid + QPointF(6, 4) : mid + QPointF(-tw / 2.0, -6);
    p.setPen(c);
    p.drawText(at, label);
  }
}

void IsaMapsView::ViewTool::MoveTo(int left, int top) {
  if (const QScreen* sc = v_.screen()) {
    const QRect a = sc->availableGeometry();
    const QSize f = v_.frameGeometry().size();
    left = std::max(a.left(), std::min(left, a.right() + 1 - f.width()));
    top = std::max(a.top(), std::min(top, a.bottom() + 1 - f.height()));
  }
  QtToolWindow::MoveTo(left, top);
}

// ---- the window ------------------------------------------------------------------------------

static const char* const cPropCaption[4] = {"Color:", "Flash:", "Sound:", "Relay:"};

IsaMapsView::IsaMapsView(TIsaMaps1& isa, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), isa_(isa), main_(main), tool_(*this) {
  setObjectName("IsaMaps1");
  setWindowTitle(TIsaMaps1::cCaption);

  // channel list and presets
  auto* left = new QVBoxLayout;
  left->addWidget(new QLabel("Device Input Channels:", this));
  channels_ = new QListWidget(this);
  channels_->setObjectName("ListBox1");
  channels_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  channels_->setFont(QFont("Monospace"));
  channels_->setMinimumWidth(210);
  left->addWidget(channels_, 1);
  connect(channels_, &QListWidget::itemSelectionChanged, this, [this] {
    if (filling_) return;
    std::vector<int> sel;
    for (int k = 0; k < channels_->count(); ++k)
      if (channels_->item(k)->isSelected()) sel.push_back(k + 1);
    if (sel.empty()) return;
    Act([&] { isa_.SelectChannels(sel); });
  });
  for (const char* preset : {"Default - T", "Default - A", "Default - N"}) {
    auto* b = new QPushButton(preset, this);
    const std::string name = preset;
    connect(b, &QPushButton::clicked, this, [this, name] {
      Act([&] {
        if (name == "Default - T") isa_.DefaultT();
        if (name == "Default - A") isa_.DefaultA();
        if (name == "Default - N") isa_.DefaultN();
      });
    });
    left->addWidget(b);
  }

  // state boxes on the diagram
  diagram_ = new IsaDiagram(isa_, this);
  for (int s = isAlm; s <= isNormal; ++s) {
    auto* box = new QGroupBox(cStateCaption[s], diagram_);
    diagram_->Boxes[static_cast<size_t>(s)] = box;
    if (s == isNormal) continue;
    auto* form = new QFormLayout(box);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(2);
    for (int pr = ipColor; pr <= ipRelay; ++pr) {
      auto* c = new QComboBox(box);
      lists_[s][pr] = c;
      if (pr == ipColor) {
        auto* row = new QHBoxLayout;
        swatch_[static_cast<size_t>(s)] = new QLabel(box);
        swatch_[static_cast<size_t>(s)]->setFixedSize(18, 18);
        swatch_[static_cast<size_t>(s)]->setAutoFillBackground(true);
        swatch_[static_cast<size_t>(s)]->setFrameShape(QFrame::Box);
        row->addWidget(c, 1);
        row->addWidget(swatch_[static_cast<size_t>(s)]);
        form->addRow(cPropCaption[pr], row);
      } else {
        form->addRow(cPropCaption[pr], c);
      }
      connect(c, QOverload<int>::of(&QComboBox::activated), this,
              [this, s, pr](int i) { Act([&] { isa_.ListChange(TIsaState(s), TIsaProp(pr), i); }); });
    }
    if (s == isAlm || s == isAck) {
      auto* c = new QComboBox(box);
      const TIsaProp pr = s == isAlm ? ipLock : ipReset;
      (s == isAlm ? lock_ : reset_) = c;
      form->addRow(s == isAlm ? "Lock:" : "Reset:", c);
      connect(c, QOverload<int>::of(&QComboBox::activated), this,
              [this, s, pr](int i) { Act([&] { isa_.ListChange(TIsaState(s), pr, i); }); });
    }
  }
  auto* descBox = new QGroupBox("Isa-18.1 Sequence Descriptions", this);
  auto* descGrid = new QGridLayout(descBox);
  descGrid->setVerticalSpacing(0);
  for (int d = 0; d < cDescCount; ++d) {
    desc_[static_cast<size_t>(d)] =
        new QCheckBox(QString::fromStdString(isa_.Desc[static_cast<size_t>(d)].Caption), descBox);
    desc_[static_cast<size_t>(d)]->setEnabled(false);
    descGrid->addWidget(desc_[static_cast<size_t>(d)], d % 7, d / 7);
  }
  auto* middle = new QVBoxLayout;
  middle->addWidget(diagram_, 1);
  middle->addWidget(descBox);

  // option groups
  std::map<std::string, QVBoxLayout*> groupLayout;
  std::map<std::string, QGroupBox*> groupBox;
  auto group = [&](const std::string& caption) {
    if (!groupBox.count(caption)) {
      groupBox[caption] = new QGroupBox(QString::fromStdString(caption), this);
      groupLayout[caption] = new QVBoxLayout(groupBox[caption]);
      groupLayout[caption]->setSpacing(1);
      groupLayout[caption]->setContentsMargins(6, 2, 6, 4);
    }
    return groupLayout[caption];
  };
  QVBoxLayout* horn = group("HORN Button");
  horn->addWidget(EditRow(edAlmTim, false, groupBox["HORN Button"]));
  horn->addWidget(EditRow(edRngTim, false, groupBox["HORN Button"]));
  QVBoxLayout* dim = group("Brightness / Dimmer Options");
  dim->addWidget(EditRow(edDimBrg, true, groupBox["Brightness / Dimmer Options"]));
  dim->addWidget(EditRow(edDimLev, true, groupBox["Brightness / Dimmer Options"]));
  dim->addWidget(EditRow(edDimTim, false, groupBox["Brightness / Dimmer Options"]));
  QVBoxLayout* dly = group("Input Delay Options");
  for (int gi = 0; gi < 2; ++gi) {
    dly->addWidget(EditRow(gi == 0 ? edGraChn : edGrbChn, true, groupBox["Input Delay Options"]));
    for (int k = 0; k < 2; ++k) {
      const int d = gi * 2 + k;
      auto* row = new QWidget(groupBox["Input Delay Options"]);
      auto* l = new QHBoxLayout(row);
      l->setContentsMargins(0, 0, 0, 0);
      l->addWidget(new QLabel(QString::fromStdString(isa_.Delays[static_cast<size_t>(d)].Caption()), row), 1);
      auto* c = new QComboBox(row);
      c->setEditable(true);
      c->setMinimumWidth(90);
      delays_[static_cast<size_t>(d)] = c;
      l->addWidget(c);
      connect(c, &QComboBox::editTextChanged, this, [this, d](const QString& t) {
        if (!filling_) Act([&] { isa_.DelayChange(TIsaDelay(d), t.toStdString()); });
      });
      dly->addWidget(row);
    }
  }
  for (int b = 0; b < obCount; ++b) {
    const TCheckBox& cb = isa_.Boxes[static_cast<size_t>(b)];
    QVBoxLayout* l = group(cOptDefs[b].group);
    auto* w = new QCheckBox(QString::fromStdString(cb.Caption), groupBox[cOptDefs[b].group]);
    w->setToolTip(QString::fromStdString(cb.Hint));
    boxes_[static_cast<size_t>(b)] = w;
    l->addWidget(w);
    connect(w, &QCheckBox::clicked, this,
            [this, b](bool on) { Act([&] { isa_.OptionClick(TOptBox(b), on); }); });
    if (b == obInvOt2) {  // "Inverse Input Logic" follows the inverse outputs
      inpInv_ = new QCheckBox(QString::fromStdString(isa_.InpInvBox.Caption.empty() ? "Inverse Input Logic"
                                                                                    : isa_.InpInvBox.Caption),
                              this);
      connect(inpInv_, &QCheckBox::clicked, this,
              [this](bool on) { Act([&] { isa_.InpInvClick(on ? cbChecked : cbUnchecked); }); });
    }
  }
  // the boxes under the two silence timers sit in the HORN group
  for (const char* sub : {"Auto Alarm Silence", "Auto Ringback Silence"}) {
    QGroupBox* g = groupBox[sub];
    g->setFlat(true);
    horn->addWidget(g);
  }
  groups_[grDimmer] = groupBox["Brightness / Dimmer Options"];
  groups_[grDelay] = groupBox["Input Delay Options"];
  groups_[grInvOut] = groupBox["Inverse Outputs"];
  groupLayout["Inverse Outputs"]->addWidget(inpInv_);

  auto* col3 = new QVBoxLayout;
  for (const char* g : {"HORN Button", "TEST Button", "Options", "Inverse Outputs"})
    col3->addWidget(groupBox[g]);
  col3->addStretch(1);
  auto* col4 = new QVBoxLayout;
  col4->addWidget(groupBox["Brightness / Dimmer Options"]);
  col4->addWidget(groupBox["Input Delay Options"]);
  col4->addStretch(1);

  auto* top = new QHBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->addLayout(left);
  top->addLayout(middle, 1);
  top->addLayout(col3);
  top->addLayout(col4);
  Refresh();
  resize(minimumSizeHint().expandedTo(QSize(1200, 690)));
}

QWidget* IsaMapsView::EditRow(TIsaEdit e, bool arrows, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* l = new QHBoxLayout(row);
  l->setContentsMargins(0, 0, 0, 0);
  l->setSpacing(2);
  l->addWidget(new QLabel(QString::fromStdString(isa_.Edits[static_cast<size_t>(e)].Caption()), row), 1);
  auto* edit = new QLineEdit(row);
  edit->setFixedWidth(48);
  edits_[static_cast<size_t>(e)] = edit;
  editRows_[static_cast<size_t>(e)] = row;
  l->addWidget(edit);
  connect(edit, &QLineEdit::textEdited, this,
          [this, e](const QString& t) { Act([&] { isa_.EditChange(e, t.toStdString()); }); });
  if (arrows) {
    for (int dir : {+1, -1}) {
      auto* b = new QPushButton(dir > 0 ? QString::fromUtf8("▲") : QString::fromUtf8("▼"), row);
      b->setFixedSize(24, 22);
      connect(b, &QPushButton::clicked, this, [this, e, dir] { Act([&] { isa_.StepClick(e, dir); }); });
      l->addWidget(b);
    }
  }
  return row;
}

void IsaMapsView::Act(const std::function<void()>& f) {
  if (filling_) return;
  main_.Guard(f);
  Refresh();
}

QComboBox* IsaMapsView::List(TIsaState s, TIsaProp p) const {
  if (p == ipLock) return lock_;
  if (p == ipReset) return reset_;
  return lists_[s][p];
}

void IsaMapsView::Refresh() {
  filling_ = true;
  // channel lines and their selection
  QStringList lines;
  for (const auto& l : isa_.ChnLines) lines << QString::fromStdString(l);
  if (channels_->count() != lines.size()) {
    channels_->clear();
    channels_->addItems(lines);
  } else {
    for (int k = 0; k < lines.size(); ++k)
      if (channels_->item(k)->text() != lines[k]) channels_->item(k)->setText(lines[k]);
  }
  for (int k = 0; k < channels_->count() && k < static_cast<int>(isa_.ChnSel.size()); ++k)
    if (channels_->item(k)->isSelected() != isa_.ChnSel[static_cast<size_t>(k)])
      channels_->item(k)->setSelected(isa_.ChnSel[static_cast<size_t>(k)]);
  auto showList = [](QComboBox* c, const TComboList& l) {
    SetItems(c, l.Items);
    if (c->currentIndex() != l.ItemIndex) c->setCurrentIndex(l.ItemIndex);
    c->setEnabled(l.Enabled);
  };
  for (int s = isAlm; s <= isMom; ++s) {
    for (int p = ipColor; p <= ipRelay; ++p) showList(lists_[s][p], isa_.List(TIsaState(s), TIsaProp(p)));
    SetBackground(swatch_[static_cast<size_t>(s)], ToQColor(isa_.Swatch[static_cast<size_t>(s)], this));
  }
  // colour entries in their colours
  for (int s = isAlm; s <= isMom; ++s)
    for (int k = 0; k < lists_[s][ipColor]->count() && k < static_cast<int>(isa_.Rnk.size()); ++k)
      lists_[s][ipColor]->setItemData(k, ToQColor(isa_.Rnk[static_cast<size_t>(k)], this),
                                      Qt::DecorationRole);
  showList(lock_, isa_.List(isAlm, ipLock));
  showList(reset_, isa_.List(isAck, ipReset));
  for (int b = 0; b < obCount; ++b) {
    const TCheckBox& cb = isa_.Boxes[static_cast<size_t>(b)];
    QCheckBox* w = boxes_[static_cast<size_t>(b)];
    w->setTristate(cb.State == cbGrayed);
    w->setCheckState(QtCheck(cb.State));
    w->setEnabled(cb.Enabled);
    w->setVisible(cb.Visible);
  }
  inpInv_->setTristate(isa_.InpInvBox.State == cbGrayed);
  inpInv_->setCheckState(QtCheck(isa_.InpInvBox.State));
  inpInv_->setEnabled(isa_.InpInvBox.Enabled);
  for (int e = 0; e < edCount; ++e) {
    const TEdit& t = isa_.Edits[static_cast<size_t>(e)];
    QLineEdit* w = edits_[static_cast<size_t>(e)];
    if (w->text().toStdString() != t.Text()) w->setText(QString::fromStdString(t.Text()));
    SetBackground(w, ToQColor(t.Color, this));
    editRows_[static_cast<size_t>(e)]->setEnabled(t.Enabled);
  }
  for (int d = 0; d < dlCount; ++d) {
    const TEdit& t = isa_.Delays[static_cast<size_t>(d)];
    QComboBox* w = delays_[static_cast<size_t>(d)];
    SetItems(w, t.Items);
    if (w->currentText().toStdString() != t.Text()) w->setEditText(QString::fromStdString(t.Text()));
    SetBackground(w, ToQColor(t.Color, this));
    w->setEnabled(t.Enabled);
  }
  for (int g = 0; g < grCount; ++g) {
    groups_[static_cast<size_t>(g)]->setEnabled(isa_.Groups[static_cast<size_t>(g)].Enabled);
    groups_[static_cast<size_t>(g)]->setVisible(isa_.Groups[static_cast<size_t>(g)].Visible);
  }
  for (int d = 0; d < cDescCount; ++d) {
    desc_[static_cast<size_t>(d)]->setTristate(isa_.Desc[static_cast<size_t>(d)].State == cbGrayed);
    desc_[static_cast<size_t>(d)]->setCheckState(QtCheck(isa_.Desc[static_cast<size_t>(d)].State));
  }
  diagram_->update();
  filling_ = false;
}

void IsaMapsView::showEvent(QShowEvent* e) {
  isa_.Show();
  Refresh();
  QWidget::showEvent(e);
}

void IsaMapsView::hideEvent(QHideEvent* e) {
  isa_.Hide();
  QWidget::hideEvent(e);
}

}  // namespace vex
