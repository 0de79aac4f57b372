#include "app/CfgView.h"

#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QVBoxLayout>

#include "shell/Main.h"

namespace vex {

QColor ToQColor(TColor c, const QWidget* w) {
  const QPalette& p = w->palette();
  switch (c) {
    case clWindow:
      return p.color(QPalette::Base);
    case clBtnFace:
      return p.color(QPalette::Button);
    case clBtnText:
      return p.color(QPalette::ButtonText);
    case clWindowText:
      return p.color(QPalette::WindowText);
    default:
      return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                    static_cast<int>((c >> 16) & 0xFF));
  }
}

namespace {

// "Model Files (*.eem)|*.eem" -> "Model Files (*.eem)"
QString QtFilter(const std::string& f) {
  QStringList out;
  const QStringList parts = QString::fromStdString(f).split('|');
  for (int i = 0; i + 1 < parts.size(); i += 2) out << parts[i];
  return out.join(";;");
}

bool Ask(QWidget* parent, TCfgFileDialog& d, bool save) {
  QFileDialog dlg(parent, QString::fromStdString(d.Title), QString::fromStdString(d.InitialDir),
                  QtFilter(d.Filter));
  dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dlg.setDefaultSuffix(QString::fromStdString(d.DefaultExt));
  if (!d.FileName.empty()) dlg.selectFile(QString::fromStdString(d.FileName));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  d.FileName = dlg.selectedFiles().first().toStdString();
  d.InitialDir = dlg.directory().absolutePath().toStdString();
  return true;
}

}  // namespace

void SetBackground(QWidget* w, const QColor& c) {
  QPalette p = w->palette();
  if (p.color(QPalette::Base) == c && p.color(QPalette::Window) == c) return;
  p.setColor(QPalette::Base, c);
  p.setColor(QPalette::Window, c);
  w->setPalette(p);
}

bool QtCfgDialogs::OpenFile(TCfgFileDialog& d) { return Ask(parent_, d, false); }
bool QtCfgDialogs::SaveFile(TCfgFileDialog& d) { return Ask(parent_, d, true); }

void CfgView::ViewTool::DoIdle() {
  v_.e_.DoIdle();
  v_.Refresh();
}

void CfgView::ViewTool::ReadConfig() { v_.Run(v_.e_.ReadButton); }

QGroupBox* CfgView::FieldGroup(const TGroupBox& g, const std::vector<TCfgEdit*>& fields) {
  auto* box = new QGroupBox(QString::fromStdString(g.Caption), this);
  auto* form = new QFormLayout(box);
  form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
  for (TCfgEdit* f : fields) {
    auto* edit = new QLineEdit(box);
    edit->setObjectName(QString::fromStdString(f->Key));
    edit->setMinimumWidth(150);
    edit->setReadOnly(!f->Enabled);
    form->addRow(QString::fromStdString(f->Caption()), edit);
    connect(edit, &QLineEdit::textEdited, this, [f](const QString& t) { f->SetText(t.toStdString()); });
    fields_.emplace_back(f, edit);
  }
  box->setEnabled(g.Enabled);
  return box;
}

CfgView::CfgView(TVexCfg1& editor, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), e_(editor), main_(main), tool_(*this), dialogs_(this) {
  setObjectName(QString::fromStdString(e_.FormName()));
  setWindowTitle(QString::fromStdString(e_.Caption));
  e_.Dialogs = &dialogs_;
  e_.OnClose = [this] { hide(); };

  auto* left = new QVBoxLayout;
  left->addWidget(FieldGroup(e_.SystemGroup, {&e_.LabeledEdit1, &e_.LabeledEdit2, &e_.LabeledEdit3}));
  left->addWidget(FieldGroup(e_.ConfigGroup, {&e_.LabeledEdit10, &e_.LabeledEdit11, &e_.LabeledEdit12}));
  if (e_.PulseGroup.Visible)
    left->addWidget(FieldGroup(e_.PulseGroup,
                               {&e_.LabeledEdit20, &e_.LabeledEdit21, &e_.LabeledEdit22, &e_.LabeledEdit23}));
  if (e_.OptionsGroup.Visible) {
    auto* box = new QGroupBox(QString::fromStdString(e_.OptionsGroup.Caption), this);
    auto* l = new QVBoxLayout(box);
    commDiag_ = new QCheckBox(QString::fromStdString(e_.CommDiag.Caption), box);
    commDiag_->setObjectName("CheckBox1");
    dxLock_ = new QCheckBox(QString::fromStdString(e_.DxLock.Caption), box);
    dxLock_->setObjectName("CheckBox2");
    l->addWidget(commDiag_);
    l->addWidget(dxLock_);
    connect(commDiag_, &QCheckBox::clicked, this, [this](bool on) {
      main_.Guard([&] { e_.OptionsClick(true, on); });
      Refresh();
    });
    connect(dxLock_, &QCheckBox::clicked, this, [this](bool on) {
      main_.Guard([&] { e_.OptionsClick(false, on); });
      Refresh();
    });
    left->addWidget(box);
  }
  left->addStretch(1);

  auto* right = new QVBoxLayout;
  for (TControl* b :
       {&e_.ReadButton, &e_.WriteButton, &e_.EepromButton, &e_.RestartButton, &e_.StoredButton,
        &e_.BackupButton, &e_.RestoreButton, &e_.LoadModelButton, &e_.SaveModelButton, &e_.IsaButton}) {
    if (!b->Visible) continue;
    auto* btn = new QPushButton(QString::fromStdString(b->Caption), this);
    btn->setMinimumWidth(170);
    connect(btn, &QPushButton::clicked, this, [this, b] { Run(*b); });
    right->addWidget(btn);
    buttons_.emplace_back(b, btn);
  }
  right->addStretch(1);

  auto* top = new QHBoxLayout;
  top->addLayout(left, 1);
  top->addLayout(right);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(8, 8, 8, 4);
  outer->addLayout(top);
  if (!e_.Grid.empty()) {
    gridBox_ = new QGroupBox(QString::fromStdString(e_.GridGroup.Caption), this);
    auto* g = new QGridLayout(gridBox_);
    g->setHorizontalSpacing(10);
    const int perRow = 8;
    for (size_t i = 0; i < e_.Grid.size(); ++i) {
      const int row = static_cast<int>(i) / perRow, col = static_cast<int>(i) % perRow;
      auto* cell = new QWidget(gridBox_);
      auto* l = new QHBoxLayout(cell);
      l->setContentsMargins(0, 0, 0, 0);
      l->setSpacing(3);
      auto* shape = new QLabel(QString::number(i + 1), cell);
      shape->setFixedSize(22, 18);
      shape->setAlignment(Qt::AlignCenter);
      shape->setAutoFillBackground(true);
      shape->setFrameShape(QFrame::Box);
      auto* h = new QCheckBox("H", cell);
      auto* b = new QCheckBox("B", cell);
      l->addWidget(shape);
      l->addWidget(h);
      l->addWidget(b);
      g->addWidget(cell, row, col);
      const int input = static_cast<int>(i) + 1;
      connect(h, &QCheckBox::clicked, this, [this, input](bool on) {
        e_.Grid[static_cast<size_t>(input - 1)].H.State = on ? cbChecked : cbUnchecked;
        e_.GridClick(input, true);
        Refresh();
      });
      connect(b, &QCheckBox::clicked, this, [this, input](bool on) {
        e_.Grid[static_cast<size_t>(input - 1)].B.State = on ? cbChecked : cbUnchecked;
        e_.GridClick(input, false);
        Refresh();
      });
      grid_.push_back({h, b, shape});
    }
    outer->addWidget(gridBox_);
  }
  status_ = new QLabel(this);
  status_->setObjectName("StatusBar1");
  status_->setFrameShape(QFrame::StyledPanel);
  status_->setMinimumHeight(20);
  outer->addWidget(status_);
  Refresh();
  adjustSize();
}

CfgView::~CfgView() {
  e_.Dialogs = nullptr;
  e_.OnClose = nullptr;
}

void CfgView::Run(TControl& button) {
  main_.Guard([&] { button.Click(); });
  Refresh();
  if (AfterRun) AfterRun();
}

QLineEdit* CfgView::Field(const std::string& key) const {
  for (const auto& [f, w] : fields_)
    if (f->Key == key) return w;
  return nullptr;
}

QPushButton* CfgView::Button(const std::string& caption) const {
  for (const auto& [b, w] : buttons_)
    if (b->Caption == caption) return w;
  return nullptr;
}

void CfgView::Refresh() {
  if (filling_) return;
  filling_ = true;
  for (const auto& [f, w] : fields_) {
    const QString t = QString::fromStdString(f->Text());
    if (w->text() != t) w->setText(t);
    SetBackground(w, ToQColor(f->Color, this));
  }
  const bool grid = e_.GridActive(), isa = e_.ConfiguratorActive();
  if (gridBox_ && gridBox_->isEnabled() != grid) gridBox_->setEnabled(grid);
  for (const auto& [b, w] : buttons_)
    if (b == &e_.IsaButton && w->isEnabled() != isa) w->setEnabled(isa);
  for (size_t i = 0; i < grid_.size(); ++i) {
    const THornBell& g = e_.Grid[i];
    if (grid_[i].h->isChecked() != g.H.Checked()) grid_[i].h->setChecked(g.H.Checked());
    if (grid_[i].b->isChecked() != g.B.Checked()) grid_[i].b->setChecked(g.B.Checked());
    SetBackground(grid_[i].shape, ToQColor(g.Shape, this));
  }
  if (commDiag_) {
    commDiag_->setEnabled(e_.CommDiag.Enabled);
    commDiag_->setChecked(e_.CommDiag.Checked());
    dxLock_->setEnabled(e_.DxLock.Enabled);
    dxLock_->setChecked(e_.DxLock.Checked());
  }
  const QString s = QString::fromStdString(e_.StatusText);
  if (status_->text() != s) status_->setText(s);
  if (statusRed_ != e_.StatusRed) {
    statusRed_ = e_.StatusRed;
    status_->setStyleSheet(statusRed_ ? "color: #FF0000" : "");
  }
  filling_ = false;
}

void CfgView::showEvent(QShowEvent* ev) {
  e_.Show();
  QWidget::showEvent(ev);
}

void CfgView::hideEvent(QHideEvent* ev) {
  e_.Visible = false;
  QWidget::hideEvent(ev);
}

bool CfgView::event(QEvent* ev) {
  if (ev->type() == QEvent::WindowActivate) {
    e_.FormActivate();
    Refresh();
  }
  return QWidget::event(ev);
}

}  // namespace vex
