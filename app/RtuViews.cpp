#include "app/RtuViews.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QScrollBar>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/MixerView.h"  // QtFileFilter
#include "app/Services.h"   // PollEventType
#include "shell/Main.h"

namespace vex {

// ---- shared pieces ----

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

bool Pick(QWidget* parent, const TFileDialog& d, std::string& name, bool save) {
  QFileDialog dlg(parent, Q(d.Title), Q(d.InitialDir), QtFileFilter(d.Filter));
  dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dlg.setDefaultSuffix(Q(d.DefaultExt));
  dlg.selectFile(Q(d.FileName));
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return false;
  name = dlg.selectedFiles().first().toStdString();
  return true;
}

QTableWidget* Grid(int rows, int cols, QWidget* parent) {
  auto* t = new QTableWidget(rows, cols, parent);
  t->horizontalHeader()->hide();
  t->verticalHeader()->hide();
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setSelectionMode(QAbstractItemView::NoSelection);
  t->verticalHeader()->setDefaultSectionSize(21);
  t->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  t->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  return t;
}

// Fits a grid's height to its rows.
void FitRows(QTableWidget* t) {
  int h = 2 * t->frameWidth();
  for (int r = 0; r < t->rowCount(); ++r) h += t->rowHeight(r);
  if (t->horizontalScrollBar()->isVisible()) h += t->horizontalScrollBar()->height();
  t->setFixedHeight(h + 2);
}

// Column widths of at least the given ones and of their contents; the grid as wide as its columns.
void FitColumns(QTableWidget* t, std::initializer_list<int> widths) {
  t->resizeColumnsToContents();
  int c = 0, w = 2 * t->frameWidth() + 2;
  for (int min : widths) {
    t->setColumnWidth(c, std::max(min, t->columnWidth(c) + 6));
    w += t->columnWidth(c++);
  }
  t->setMinimumWidth(w);
}

void TitleRow(QTableWidget* t, int r) {
  for (int c = 0; c < t->columnCount(); ++c)
    if (auto* i = t->item(r, c)) {
      QFont f = i->font();
      f.setBold(true);
      i->setFont(f);
      i->setBackground(t->palette().button());
    }
}

}  // namespace

bool QtRtuDialogs::OpenFile(const TFileDialog& d, std::string& name) { return Pick(parent_, d, name, false); }
bool QtRtuDialogs::SaveFile(const TFileDialog& d, std::string& name) { return Pick(parent_, d, name, true); }
bool QtRtuDialogs::Confirm(const std::string& question) {
  return QMessageBox::question(parent_, parent_ ? parent_->windowTitle() : QString(), Q(question)) ==
         QMessageBox::Yes;
}

void SetTextIf(QLabel* l, const std::string& t) {
  const QString s = Q(t);
  if (l->text() != s) l->setText(s);
}
void SetTextIf(QLineEdit* e, const std::string& t) {
  const QString s = Q(t);
  if (e->text() != s) e->setText(s);
}
void SetCellIf(QTableWidget* t, int r, int c, const std::string& s) {
  QTableWidgetItem* i = t->item(r, c);
  if (!i) {
    t->setItem(r, c, new QTableWidgetItem(Q(s)));
    return;
  }
  if (i->text() != Q(s)) i->setText(Q(s));
}

// Waits in the event loop, so the window stays responsive and nothing spins.
static void WaitInLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// ---- what the windows share ----

RtuWindow::RtuWindow(TMain1& main, const char* name, const char* caption, QWidget* parent)
    : QWidget(parent, Qt::Window), main_(main), dialogs_(this) {
  setObjectName(name);
  setWindowTitle(caption);
}

RtuWindow::~RtuWindow() {
  for (auto& [w, f] : clicks_) w->removeEventFilter(this);
}

QLineEdit* RtuWindow::BoundEdit(PlainField& f, const char* name, QWidget* parent, std::function<void()> dbl) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  connect(edit, &QLineEdit::textEdited, this, [&f](const QString& t) { f.SetText(t.toStdString()); });
  if (dbl) {
    edit->setToolTip("Double click to choose the file");
    edit->installEventFilter(this);
    clicks_.emplace_back(edit, std::move(dbl));
  }
  return edit;
}

void RtuWindow::Guarded(const std::function<void()>& f) {
  main_.Guard(f);
  Refresh();
}

void RtuWindow::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  Shown();
}

void RtuWindow::hideEvent(QHideEvent* e) {
  Hidden();
  QWidget::hideEvent(e);
}

bool RtuWindow::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::MouseButtonDblClick)
    for (auto& [w, f] : clicks_)
      if (w == watched) {
        Guarded(f);
        return true;
      }
  return QWidget::eventFilter(watched, e);
}

// ---- "File Upload / Download Manager" ----

Rtu3fileView::Rtu3fileView(TRtu3file1& fm, TMain1& main, QWidget* parent)
    : RtuWindow(main, "Rtu3file1", TRtu3file1::cCaption, parent), fm_(fm), tool_(this) {
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(8, 8, 8, 0);
  v->setSpacing(6);

  auto files = [&](const char* title, int first, TControl* buttons) {
    auto* g = new QGroupBox(title, this);
    auto* grid = new QGridLayout(g);
    grid->setColumnStretch(1, 1);
    for (int k = first; k < first + 3; ++k) {
      PlainField& f = fm_.Names[static_cast<size_t>(k)];
      auto* label = new QLabel(Q(f.Caption()), g);
      auto* edit = BoundEdit(f, TRtu3file1::NameKey(k), g, [this, k] { fm_.SelectName(k); });
      edit->setMinimumWidth(360);
      label->setBuddy(edit);
      names_.push_back(edit);
      grid->addWidget(label, k - first, 0);
      grid->addWidget(edit, k - first, 1);
      grid->addWidget(Bind(buttons[k - first]), k - first, 2);
    }
    v->addWidget(g);
  };
  files("Upload (PC to device)", 0, fm_.UploadButton);
  files("Download (device to PC)", 3, fm_.DownloadButton);

  table_ = Grid(7, 9, this);
  table_->setObjectName("StringGrid1");
  table_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  v->addWidget(table_);

  auto* row = new QHBoxLayout;
  row->addWidget(Bind(fm_.CheckFilesButton));
  cancel_ = new QPushButton("Cancel", this);
  cancel_->setObjectName("Cancel");
  connect(cancel_, &QPushButton::clicked, this, [this] { fm_.Cancel(); });
  row->addWidget(cancel_);
  progress_ = new QProgressBar(this);
  progress_->setTextVisible(true);
  row->addWidget(progress_, 1);
  v->addLayout(row);

  auto* erase = new QGroupBox("Device", this);
  auto* eg = new QGridLayout(erase);
  for (int k = 0; k < 6; ++k) eg->addWidget(Bind(fm_.EraseButton[k]), k / 3, k % 3);
  TControl* sys[] = {&fm_.SafeMode, &fm_.Reboot, &fm_.RestartPipes, &fm_.RestartNetwork};
  for (int k = 0; k < 4; ++k) eg->addWidget(Bind(*sys[k]), 2 + k / 3, k % 3);
  encap_ = new QPushButton("Encap Modul Files", erase);
  app_ = new QPushButton("Rtu Application File", erase);
  connect(encap_, &QPushButton::clicked, this, [this] { Guarded([this] { fm_.EncapClick(); }); });
  connect(app_, &QPushButton::clicked, this, [this] { Guarded([this] { fm_.AppClick(); }); });
  eg->addWidget(encap_, 3, 1);
  eg->addWidget(app_, 3, 2);
  v->addWidget(erase);

  status_ = new QLabel(this);
  status_->setObjectName("StatusLine");
  v->addWidget(status_);
  auto* bar = new QStatusBar(this);
  link_ = new QLabel(bar);
  bar->addWidget(link_, 1);
  v->addWidget(bar);

  if (!fm_.Dialogs) fm_.Dialogs = &dialogs_;
  fm_.WaitMs = WaitInLoop;
  fm_.Changed = [this] { Refresh(); };
  fm_.HideWindow = [this] { hide(); };
  Refresh();
  // the file table's widths (100, 55 ... 80, 80, 55, 130), widened where this font needs more
  for (int c = 1; c <= 8; ++c)
    table_->setItem(1, c, new QTableWidgetItem(c == 8 ? "2099/12/31 23:59:59" : "$FFFFFFFF"));
  FitColumns(table_, {100, 55, 55, 55, 55, 80, 80, 55, 130});
  for (int c = 1; c <= 8; ++c) table_->item(1, c)->setText("");
  FitRows(table_);
}

Rtu3fileView::~Rtu3fileView() {
  if (fm_.Dialogs == &dialogs_) fm_.Dialogs = nullptr;
  fm_.Changed = nullptr;
  fm_.HideWindow = nullptr;
  fm_.WaitMs = nullptr;
}

QPushButton* Rtu3fileView::Bind(TControl& c) {
  auto* b = new QPushButton(Q(c.Caption), this);
  b->setObjectName(Q(c.Caption));
  b->setAutoDefault(false);
  connect(b, &QPushButton::clicked, this, [this, &c] { Guarded([&c] { c.Click(); }); });
  buttons_.emplace_back(&c, b);
  return b;
}

QPushButton* Rtu3fileView::Button(const TControl& c) const {
  for (const auto& [ctl, b] : buttons_)
    if (ctl == &c) return b;
  return nullptr;
}

void Rtu3fileView::Refresh() {
  for (int k = 0; k < 6; ++k)
    SetTextIf(names_[static_cast<size_t>(k)], fm_.Names[static_cast<size_t>(k)].Text());
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 9; ++c) SetCellIf(table_, r, c, fm_.Cells[r][c]);
  TitleRow(table_, 0);
  for (const auto& [ctl, b] : buttons_) {
    b->setEnabled(fm_.ButtonsEnabled());
    bool visible = true;
    for (int k = 0; k < 6; ++k)
      if (ctl == &fm_.EraseButton[k] && cRtuErases[k].Privileged) visible = fm_.EraseFlashVisible();
    if (b->isVisibleTo(this) != visible) b->setVisible(visible);
  }
  cancel_->setEnabled(fm_.CancelEnabled());
  if (encap_->isVisibleTo(this) != fm_.GeneratorsVisible()) {
    encap_->setVisible(fm_.GeneratorsVisible());
    app_->setVisible(fm_.GeneratorsVisible());
  }
  const int max = static_cast<int>(std::max<uint32_t>(fm_.ProgressMax, 1));
  if (progress_->maximum() != max) progress_->setMaximum(max);
  if (progress_->value() != static_cast<int>(fm_.ProgressPos))
    progress_->setValue(static_cast<int>(fm_.ProgressPos));
  SetTextIf(status_, fm_.StatusLine);
  SetTextIf(link_, fm_.LinkStatus);
  const QString style = fm_.LinkRed ? "color: #c00000;" : "";
  if (link_->styleSheet() != style) link_->setStyleSheet(style);
}

void Rtu3fileView::Shown() {
  // the first showing reads the settings and the file table; a device that does not answer is
  // reported like every other failure
  QTimer::singleShot(0, this, [this] { Guarded([this] { fm_.FormShow(); }); });
}

void Rtu3fileView::Hidden() {
  main_.Guard([this] { fm_.FormHide(); });
}

void Rtu3fileView::Tool_::DoIdle() {
  v_->fm_.DoIdle();
  if (v_->isVisible()) v_->Refresh();
}

void Rtu3fileView::Tool_::Show() {
  // to the right of the main window: 8 pixels beside its right edge, 65 below its top
  if (!v_->isVisible())
    if (IToolWindow* m = v_->main_.Tool("Main1")) {
      const TBounds b = m->Bounds();
      MoveTo(b.Left + b.Width + 8, b.Top + 65);  // kept wholly on the main window's screen
    }
  QtToolWindow::Show();
}

// ---- "Rtu3 Modul Firmware Encapsulator" ----

Rtu3encapView::Rtu3encapView(TRtu3encap1& enc, TMain1& main, QWidget* parent)
    : RtuWindow(main, "Rtu3encap1", TRtu3encap1::cCaption, parent), enc_(enc), tool_(this) {
  auto* v = new QVBoxLayout(this);
  auto* g = new QGroupBox("Modul Firmware Files", this);
  auto* grid = new QGridLayout(g);
  grid->setColumnStretch(2, 1);
  files_.resize(9);
  ticks_.resize(9);
  for (int row = 0; row < 9; ++row) {
    const auto k = static_cast<size_t>(cEncapShown[static_cast<size_t>(row)]);  // processing index
    auto* tick = new QCheckBox(g);
    tick->setObjectName(QString("CheckBox%1").arg(k));
    auto* label = new QLabel(Q(cEncapRows[k].Caption), g);
    const std::string key = "LabeledEdit" + std::to_string(k);
    auto* edit =
        BoundEdit(enc_.Files[k], key.c_str(), g, [this, k] { enc_.FileDblClick(static_cast<int>(k)); });
    connect(tick, &QCheckBox::toggled, this, [this, k](bool on) { enc_.Ticks[k] = on; });
    files_[k] = edit;
    ticks_[k] = tick;
    grid->addWidget(tick, row, 0);
    grid->addWidget(label, row, 1);
    grid->addWidget(edit, row, 2);
  }
  v->addWidget(g);
  auto* og = new QGroupBox("Output", this);
  auto* ol = new QVBoxLayout(og);
  ol->addWidget(new QLabel(Q(enc_.Output.Caption()), og));
  output_ = BoundEdit(enc_.Output, "LabeledEdit50", og, [this] { enc_.OutputDblClick(); });
  ol->addWidget(output_);
  v->addWidget(og);
  v->addStretch(1);
  process_ = new QPushButton("Process Files", this);
  process_->setObjectName("Button1");
  connect(process_, &QPushButton::clicked, this, [this] { Guarded([this] { enc_.ProcessFiles(); }); });
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(process_);
  v->addLayout(row);
  if (!enc_.Dialogs) enc_.Dialogs = &dialogs_;
  setMinimumWidth(711);
  setFixedHeight(585);
  resize(std::max(711, enc_.Width), 585);
  Refresh();
}

Rtu3encapView::~Rtu3encapView() {
  if (enc_.Dialogs == &dialogs_) enc_.Dialogs = nullptr;
}

void Rtu3encapView::Refresh() {
  for (size_t k = 0; k < 9; ++k) {
    SetTextIf(files_[k], enc_.Files[k].Text());
    if (ticks_[k]->isChecked() != enc_.Ticks[k]) ticks_[k]->setChecked(enc_.Ticks[k]);
  }
  SetTextIf(output_, enc_.Output.Text());
}

void Rtu3encapView::Shown() {
  main_.Guard([this] { enc_.FormShow(); });
  resize(std::max(711, enc_.Width), 585);
  if (IToolWindow* m = main_.Tool("Main1")) {  // placed at its size, wholly on the main window's screen
    const TBounds b = m->Bounds();
    QtToolWindow(this).MoveTo(b.Left, b.Top + 65);
  }
  Refresh();
}

void Rtu3encapView::Hidden() {
  enc_.Width = width();
  main_.Guard([this] { enc_.FormHide(); });
}

// ---- "Rtu3 Application File Generator" ----

Rtu3appView::Rtu3appView(TRtu3app1& app, TMain1& main, QWidget* parent)
    : RtuWindow(main, "Rtu3app1", TRtu3app1::cCaption, parent), app_(app), tool_(this) {
  auto* v = new QVBoxLayout(this);
  auto* g = new QGroupBox("File Locations", this);
  auto* gl = new QVBoxLayout(g);
  auto field = [&](PlainField& f, const char* name, std::function<void()> dbl) {
    gl->addWidget(new QLabel(Q(f.Caption()), g));
    QLineEdit* edit = BoundEdit(f, name, g, std::move(dbl));
    edit->setMinimumWidth(520);
    gl->addWidget(edit);
    return edit;
  };
  firmware_ = field(app_.Firmware, "LabeledEdit1", [this] { app_.FirmwareDblClick(); });
  output_ = field(app_.Output, "LabeledEdit50", [this] { app_.OutputDblClick(); });
  v->addWidget(g);
  process_ = new QPushButton("Process Files", this);
  process_->setObjectName("Button1");
  connect(process_, &QPushButton::clicked, this, [this] { Guarded([this] { app_.ProcessFiles(); }); });
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(process_);
  v->addLayout(row);
  if (!app_.Dialogs) app_.Dialogs = &dialogs_;
  Refresh();
}

Rtu3appView::~Rtu3appView() {
  if (app_.Dialogs == &dialogs_) app_.Dialogs = nullptr;
}

void Rtu3appView::Refresh() {
  SetTextIf(firmware_, app_.Firmware.Text());
  SetTextIf(output_, app_.Output.Text());
}

void Rtu3appView::Shown() {
  main_.Guard([this] { app_.FormShow(); });
  Refresh();
}

void Rtu3appView::Hidden() {
  main_.Guard([this] { app_.FormHide(); });
}

// ---- "BRIX-3000 Simulator" ----

Rtu3simView::Rtu3simView(TRtu3sim1& sim, TMain1& main, QWidget* parent)
    : RtuWindow(main, "Rtu3sim1", TRtu3sim1::cCaption, parent), sim_(sim), tool_(this) {
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(8, 8, 8, 0);
  auto* top = new QHBoxLayout;
  fields_.resize(cRtu3FieldCount);
  QGroupBox* group = nullptr;
  QGridLayout* grid = nullptr;
  QVBoxLayout* right = nullptr;
  int row = 0;
  // three columns: status | timing and network | keys and commands
  for (int i = 0; i < cRtu3FieldCount; ++i) {
    if (!group || group->title() != cRtu3Fields[i].Group) {
      if (grid) grid->setRowStretch(row, 1);
      group = new QGroupBox(cRtu3Fields[i].Group, this);
      grid = new QGridLayout(group);
      grid->setVerticalSpacing(3);
      grid->setColumnStretch(1, 1);
      row = 0;
      if (i == 0) {
        top->addWidget(group, 1);
      } else {
        if (!right) {
          right = new QVBoxLayout;
          top->addLayout(right, 1);
        }
        right->addWidget(group);
      }
    }
    auto* e = new QLineEdit(group);
    e->setReadOnly(true);
    e->setObjectName(cRtu3Fields[i].Key);
    e->setMinimumWidth(230);
    fields_[static_cast<size_t>(i)] = e;
    grid->addWidget(new QLabel(cRtu3Fields[i].Caption, group), row, 0);
    grid->addWidget(e, row++, 1);
  }
  grid->setRowStretch(row, 1);
  // keys, test outputs and commands
  auto* keys = new QGroupBox("Keys and Commands", this);
  auto* kg = new QGridLayout(keys);
  kg->setVerticalSpacing(4);
  TControl* k1[] = {&sim_.Ack, &sim_.Reset, &sim_.HornOff, &sim_.HornOn};
  for (int k = 0; k < 4; ++k) kg->addWidget(Bind(*k1[k], keys), k / 2, k % 2);
  kg->addWidget(BindHeld(sim_.TestHorn, sim_.TestHornUp, keys), 2, 0);
  kg->addWidget(BindHeld(sim_.TestBell, sim_.TestBellUp, keys), 2, 1);
  kg->addWidget(BindHeld(sim_.TestFault, sim_.TestFaultUp, keys), 3, 0);
  kg->addWidget(Bind(sim_.SetTime, keys), 3, 1);
  TControl* k3[] = {&sim_.RestartNetwork, &sim_.SafeMode, &sim_.RestartPipes, &sim_.Reboot};
  for (int k = 0; k < 4; ++k) kg->addWidget(Bind(*k3[k], keys), 4 + k / 2, k % 2);
  kg->setRowStretch(7, 1);
  scan_ = new QCheckBox("Start Scan", keys);
  scan_->setObjectName("CheckBox1");
  connect(scan_, &QCheckBox::clicked, this, [this](bool on) {
    sim_.CheckBox1.Checked = on;
    main_.Guard([this] { sim_.CheckBox1.Click(); });
    Refresh();
  });
  kg->addWidget(scan_, 6, 0);
  top->addWidget(keys);
  v->addLayout(top);

  auto* sg = new QGroupBox("Network Sockets", this);
  auto* sl = new QVBoxLayout(sg);
  sockets_ = Grid(cRtu3Sockets + 1, 9, sg);
  sockets_->setObjectName("StringGrid1");
  sockets_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  sl->addWidget(sockets_);
  v->addWidget(sg);
  auto* bar = new QStatusBar(this);
  link_ = new QLabel(bar);
  bar->addWidget(link_, 1);
  v->addWidget(bar);

  if (!sim_.Dialogs) sim_.Dialogs = &dialogs_;
  sim_.PostPoll = [this] {
    if (polled_) return;  // one poll at a time
    polled_ = true;
    QCoreApplication::postEvent(this, new QEvent(PollEventType()));
  };
  sim_.HideWindow = [this] { hide(); };
  sim_.Changed = [this] { Refresh(); };
  Refresh();
  FitColumns(sockets_, {70, 170, 85, 70, 70, 110, 70, 90, 90});
  FitRows(sockets_);
}

Rtu3simView::~Rtu3simView() {
  if (sim_.Dialogs == &dialogs_) sim_.Dialogs = nullptr;
  sim_.PostPoll = nullptr;
  sim_.HideWindow = nullptr;
  sim_.Changed = nullptr;
}

QPushButton* Rtu3simView::Bind(TControl& c, QWidget* parent) {
  auto* b = new QPushButton(Q(c.Caption), parent);
  b->setObjectName(Q(c.Caption));
  b->setAutoDefault(false);
  connect(b, &QPushButton::clicked, this, [this, &c] { Guarded([&c] { c.Click(); }); });
  buttons_.emplace_back(&c, b);
  return b;
}

QPushButton* Rtu3simView::BindHeld(TControl& down, TControl& up, QWidget* parent) {
  auto* b = new QPushButton(Q(down.Caption), parent);
  b->setObjectName(Q(down.Caption));
  b->setAutoDefault(false);
  connect(b, &QPushButton::pressed, this, [this, &down] { main_.Guard([&down] { down.Click(); }); });
  connect(b, &QPushButton::released, this, [this, &up] { main_.Guard([&up] { up.Click(); }); });
  buttons_.emplace_back(&down, b);
  return b;
}

QPushButton* Rtu3simView::Button(const TControl& c) const {
  for (const auto& [ctl, b] : buttons_)
    if (ctl == &c) return b;
  return nullptr;
}

void Rtu3simView::Refresh() {
  for (int i = 0; i < cRtu3FieldCount; ++i) SetTextIf(fields_[static_cast<size_t>(i)], sim_.Field[i]);
  for (int r = 0; r <= cRtu3Sockets; ++r)
    for (int c = 0; c < 9; ++c) SetCellIf(sockets_, r, c, sim_.Sockets[r][c]);
  TitleRow(sockets_, 0);
  if (scan_->isChecked() != sim_.StartScan) scan_->setChecked(sim_.StartScan);
  SetTextIf(link_, sim_.LinkStatus);
  const QString style = sim_.LinkRed ? "color: #c00000;" : "";
  if (link_->styleSheet() != style) link_->setStyleSheet(style);
}

bool Rtu3simView::event(QEvent* e) {
  if (e->type() == PollEventType()) {
    polled_ = false;
    main_.Guard([this] { sim_.DoSimul(); });
    Refresh();
    return true;
  }
  return QWidget::event(e);
}

void Rtu3simView::Tool_::AppIdle() { v_->sim_.AppIdle(); }
void Rtu3simView::Tool_::Show() {
  // under the main window
  if (!v_->isVisible())
    if (IToolWindow* m = v_->main_.Tool("Main1")) {
      const TBounds b = m->Bounds();
      MoveTo(b.Left, b.Top + b.Height + 5);  // kept wholly on the main window's screen
    }
  QtToolWindow::Show();
}
void Rtu3simView::Tool_::StartScan() {
  if (v_->sim_.StartScan) return;
  v_->sim_.CheckBox1.Checked = true;
  v_->main_.Guard([this] { v_->sim_.CheckBox1.Click(); });
  v_->Refresh();
}
void Rtu3simView::Tool_::StopScan() {
  if (!v_->sim_.StartScan) return;
  v_->sim_.CheckBox1.Checked = false;
  v_->main_.Guard([this] { v_->sim_.CheckBox1.Click(); });
  v_->Refresh();
}

}  // namespace vex
