#include "app/PortsView.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QShowEvent>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

namespace vex {

namespace {

// Widths of the label columns of the test groups, so that the groups of a page line up.
constexpr const char* cFirstCaptions[] = {"Starting Address:",
                                          "Output Address:",
                                          "Register Address:",
                                          "Requested Value:",
                                          "Register:",
                                          "Values:",
                                          "Query:",
                                          "Result:"};
constexpr const char* cSecondCaptions[] = {
    "Quantity of Inputs:", "Quantity of Registers:", "Output Value:", "Register Value:", "Returned Value:"};
constexpr int cFieldWidth = 96;     // numeric edit fields
constexpr int cSettingWidth = 150;  // fields of the settings pages

int CaptionWidth(const QFontMetrics& fm, const auto& captions) {
  int w = 0;
  for (const char* c : captions) w = std::max(w, fm.horizontalAdvance(QString::fromLatin1(c)));
  return w + 8;
}

QLabel* Caption(const QString& text, QWidget* buddy, QWidget* parent, int minWidth = 0) {
  auto* l = new QLabel(text, parent);
  l->setBuddy(buddy);
  if (minWidth) l->setMinimumWidth(minWidth);
  return l;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string s;
  for (size_t i = 0; i < lines.size(); ++i) s += (i ? "\n" : "") + lines[i];
  return s;
}

// Suffix of a test group in widget names ("Query03"), after its function code.
const char* GroupCode(TTestGroup g) {
  switch (g) {
    case TTestGroup::Coils:
      return "01";
    case TTestGroup::Registers:
      return "03";
    case TTestGroup::WriteMulti:
      return "10";
    case TTestGroup::WriteCoil:
      return "05";
    case TTestGroup::WriteReg:
      return "06";
    case TTestGroup::Echo:
      return "08";
  }
  return "";
}

// Marks the view's own writes into its widgets, which are not edits to pass on.
class SyncScope {
 public:
  explicit SyncScope(int& n) : n_(n) { ++n_; }
  ~SyncScope() { --n_; }
  SyncScope(const SyncScope&) = delete;
  SyncScope& operator=(const SyncScope&) = delete;

 private:
  int& n_;
};

}  // namespace

// ---- status bar panel --------------------------------------------------------------

StatusPanel::StatusPanel(QWidget* parent) : QWidget(parent) {
  setMinimumWidth(500);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void StatusPanel::Show(const std::string& text, bool red) {
  const QString t = QString::fromStdString(text);
  if (t == text_ && red == red_) return;
  text_ = t;
  red_ = red;
  setToolTip(text_);
  update();
}

QSize StatusPanel::sizeHint() const {
  const QFontMetrics fm = fontMetrics();
  return {std::max(500, fm.horizontalAdvance(text_) + 4), fm.height() + 4};
}

void StatusPanel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(red_ ? QColor(255, 0, 0) : palette().color(QPalette::ButtonText));
  p.drawText(rect().adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

// ---- "Port:" ------------------------------------------------------------------------

void PortComboBox::showPopup() {
  if (OnDropDown) OnDropDown();
  QComboBox::showPopup();
}

// ---- the window ----------------------------------------------------------------------

PortsView::PortsView(TPorts1& ports, TMain1& main, QWidget* parent)
    : QWidget(parent, Qt::Window), ports_(ports), main_(main), tool_(this) {
  setObjectName("Ports1");
  setWindowTitle("Port Settings & Diagnostics");

  // left: settings pages, link boxes, detection
  auto* left = new QVBoxLayout;
  left->setSpacing(6);
  settings_ = new QTabWidget(this);
  settings_->setObjectName("PageControl1");
  settings_->addTab(CommPage(), "Comm/Usb");
  settings_->addTab(NetworkPage(), "Network");
  settings_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  connect(settings_, &QTabWidget::currentChanged, this, [this](int k) {
    if (sync_) return;
    ports_.ActivePage = k == 1 ? lpNetwork : lpComm;
    Refresh();
  });
  left->addWidget(settings_);

  connect_ = new QCheckBox("Connect Port", this);
  connect_->setObjectName("CheckBox1");
  connect(connect_, &QCheckBox::clicked, this,
          [this](bool on) { Forward([this, on] { ports_.SetConnectPort(on); }); });
  simFlow_ = new QCheckBox("Log Simulation Flow", this);
  simFlow_->setObjectName("CheckBox4");
  connect(simFlow_, &QCheckBox::toggled, this, [this](bool on) {
    if (!sync_) ports_.CheckBox4 = on;
  });
  left->addWidget(connect_);
  left->addWidget(simFlow_);
  auto* detect = new QHBoxLayout;
  detect->addWidget(Button("Auto Detection", "Button2", this, [this] {
    ports_.Button2Click();
    main_.SelectDetectedPage();
  }));
  detect->addWidget(Button("Discovery", "Button1", this, [this] { ports_.Button1Click(); }));
  left->addLayout(detect);
  left->addStretch(1);

  // right: console and manual request pages
  pages_ = new QTabWidget(this);
  pages_->setObjectName("PageControl2");
  pages_->addTab(DetailsPage(), "Details");
  filesPage_ = FilesPage();
  pages_->addTab(filesPage_, "Files");
  pages_->setTabVisible(1, false);  // hidden page
  pages_->addTab(LogPage(), "Log");
  pages_->addTab(CoilPage(), "Coil Functions");
  pages_->addTab(RegisterPage(), "Register Functions");
  pages_->addTab(DiagnosticPage(), "Diagnostic Functions");

  auto* body = new QHBoxLayout;
  body->setSpacing(8);
  body->addLayout(left, 0);
  body->addWidget(pages_, 1);

  auto* bar = new QStatusBar(this);
  bar->setObjectName("StatusBar1");
  bar->setSizeGripEnabled(false);
  statPanel_ = new StatusPanel(bar);
  statPanel_->setObjectName("StatusPanel");
  bar->addWidget(statPanel_, 1);

  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(6, 6, 6, 0);
  v->setSpacing(4);
  v->addLayout(body, 1);
  v->addWidget(bar);

  // the log as the hub holds it, then it follows the hub
  for (const auto& line : ports_.LogLines) log_->appendPlainText(QString::fromStdString(line));
  ports_.SetConsole(this);
  // the fields follow the hub also while a long operation lets the GUI run
  prevProcess_ = ports_.ProcessMessages;
  ports_.ProcessMessages = [this] {
    if (isVisible()) Refresh();
    if (prevProcess_) prevProcess_();
  };
  Refresh();
  resize(sizeHint());  // the size its pages ask for
}

PortsView::~PortsView() {
  for (const auto& [e, field] : bound_) ports_.FieldFocus.Remove(field);
  for (TControl& c : requests_)
    if (main_.ComNxt == &c) main_.ComNxt = nullptr;
  if (ports_.Console == this) ports_.SetConsole(nullptr);
  ports_.ProcessMessages = prevProcess_;
}

void PortsView::Forward(const std::function<void()>& f) {
  main_.Guard(f);
  Refresh();
}

QPushButton* PortsView::Button(const QString& caption, const char* name, QWidget* parent,
                               const std::function<void()>& click) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(name);
  b->setAutoDefault(false);
  connect(b, &QPushButton::clicked, this, [this, click] { Forward(click); });
  return b;
}

QPushButton* PortsView::ButtonNamed(const QString& caption) const {
  for (QPushButton* b : findChildren<QPushButton*>())
    if (b->text() == caption) return b;
  return nullptr;
}

QLineEdit* PortsView::BindEdit(std::string& field, const char* name, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  connect(e, &QLineEdit::textChanged, this, [this, &field](const QString& t) {
    if (!sync_) field = t.toStdString();
  });
  bound_.emplace_back(e, &field);
  // a value refused by a range check moves the focus here
  ports_.FieldFocus.Set(&field,
                        {[e] { return e->isVisible() && e->isEnabled() && e->focusPolicy() != Qt::NoFocus; },
                         [e] { e->setFocus(Qt::OtherFocusReason); }});
  return e;
}

QCheckBox* PortsView::BindCheck(bool& field, const char* name, const char* caption, QWidget* parent) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(name);
  connect(c, &QCheckBox::toggled, this, [this, &field](bool on) {
    if (!sync_) field = on;
  });
  boundChecks_.emplace_back(c, &field);
  return c;
}

QLineEdit* PortsView::ReadOnlyField(const char* name, QWidget* parent, bool fixedFont) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setReadOnly(true);
  if (fixedFont) e->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return e;
}

// ---- settings pages ---------------------------------------------------------------

QWidget* PortsView::CommPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet1");
  auto* g = new QGridLayout(page);
  g->setContentsMargins(8, 8, 8, 8);
  g->setVerticalSpacing(5);

  port_ = new PortComboBox(page);
  port_->setObjectName("ComboBox1");
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  port_->OnDropDown = [this] {
    main_.Guard([this] { ports_.ComboBox1DropDown(); });
    Refresh();  // the list as discovery left it (also the fallback list after a failure)
  };
  connect(port_, &QComboBox::currentTextChanged, this, [this](const QString& t) {
    if (!sync_) ports_.ComboBox1 = t.toStdString();
  });
  baud_ = new QComboBox(page);
  baud_->setObjectName("ComboBox2");
  for (const char* b : cBaudText) baud_->addItem(b);
  connect(baud_, &QComboBox::currentIndexChanged, this, [this](int k) {
    if (!sync_ && k >= 0) Forward([this, k] { ports_.ComboBox2Change(k); });
  });
  parity_ = new QComboBox(page);
  parity_->setObjectName("ComboBox3");
  for (const char* p : cParityText) parity_->addItem(p);
  connect(parity_, &QComboBox::currentIndexChanged, this, [this](int k) {
    if (!sync_ && k >= 0) ports_.ComboBox3 = k;
  });
  QLineEdit* node = BindEdit(ports_.LabeledEdit1, "LabeledEdit1", page);
  lowPair_[0] = BindEdit(ports_.LabeledEdit10, "LabeledEdit10", page);
  lowPair_[1] = BindEdit(ports_.LabeledEdit11, "LabeledEdit11", page);
  highPair_[0] = BindEdit(ports_.LabeledEdit20, "LabeledEdit20", page);
  highPair_[1] = BindEdit(ports_.LabeledEdit21, "LabeledEdit21", page);

  QWidget* fields[] = {port_, baud_, parity_, node};
  const char* captions[] = {"Port:", "Baud:", "Parity:", "Node ID:"};
  for (int r = 0; r < 4; ++r) {
    fields[r]->setFixedWidth(cSettingWidth);
    g->addWidget(Caption(captions[r], fields[r], page), r, 0);
    g->addWidget(fields[r], r, 1);
  }
  // the two timing pairs share one place; the rate chooses the visible one
  for (int i = 0; i < 2; ++i) {
    lowPair_[i]->setFixedWidth(cSettingWidth);
    highPair_[i]->setFixedWidth(cSettingWidth);
    g->addWidget(Caption(i == 0 ? "Timeout (ms):" : "Blind (ms):", lowPair_[i], page), 4 + i, 0);
    g->addWidget(lowPair_[i], 4 + i, 1);
    g->addWidget(highPair_[i], 4 + i, 1);
  }
  g->addWidget(BindCheck(ports_.CheckBox5, "CheckBox5", "Fast reply detection", page), 6, 0, 1, 3);
  g->addWidget(BindCheck(ports_.CheckBox6, "CheckBox6", "Suppress echo", page), 7, 0, 1, 3);
  g->addWidget(BindCheck(ports_.CheckBox7, "CheckBox7", "RTS direction (RS-485)", page), 8, 0, 1, 3);
  g->setColumnStretch(2, 1);
  return page;
}

QWidget* PortsView::NetworkPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheet2");
  auto* g = new QGridLayout(page);
  g->setContentsMargins(8, 8, 8, 8);
  g->setVerticalSpacing(5);
  const struct {
    std::string* field;
    const char* name;
    const char* caption;
  } rows[] = {{&ports_.LabeledEdit30, "LabeledEdit30", "Target IP:"},
              {&ports_.LabeledEdit31, "LabeledEdit31", "Target Port:"},
              {&ports_.LabeledEdit32, "LabeledEdit32", "Node ID:"},
              {&ports_.LabeledEdit33, "LabeledEdit33", "Timeout (ms):"},
              {&ports_.LabeledEdit34, "LabeledEdit34", "Blind (ms):"}};
  int r = 0;
  for (const auto& row : rows) {
    QLineEdit* e = BindEdit(*row.field, row.name, page);
    e->setFixedWidth(cSettingWidth);
    g->addWidget(Caption(row.caption, e, page), r, 0);
    g->addWidget(e, r++, 1);
  }
  // the same setting as on the serial page
  g->addWidget(BindCheck(ports_.CheckBox5, "CheckBox5Net", "Fast reply detection", page), r++, 0, 1, 3);
  g->setRowStretch(r, 1);
  g->setColumnStretch(2, 1);
  return page;
}

// ---- console pages ------------------------------------------------------------------

QWidget* PortsView::DetailsPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetDetails");
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(8, 8, 8, 8);
  v->setSpacing(8);
  const int capWidth = CaptionWidth(fontMetrics(), std::array{"Boot State:", "Modbus ID:", "Last Error:"});

  auto* ident = new QGroupBox("Model Identification", page);
  ident->setObjectName("GroupBox1");
  auto* ig = new QGridLayout(ident);
  ig->setVerticalSpacing(5);
  const struct {
    const std::string* field;
    const char* name;
    const char* caption;
  } idRows[] = {
      {&ports_.BootId, "LabeledEdit51", "Boot ID:"},      {&ports_.AppId, "LabeledEdit52", "App ID:"},
      {&ports_.BootStat, "LabeledEdit55", "Boot State:"}, {&ports_.MfgDate, "LabeledEdit53", "Mfg Date:"},
      {&ports_.UniqeId, "LabeledEdit54", "Uniqe ID:"},    {&ports_.ModbusId, "LabeledEdit56", "Modbus ID:"}};
  int r = 0;
  for (const auto& row : idRows) {
    QLineEdit* e = ReadOnlyField(row.name, ident);
    shown_.emplace_back(e, row.field);
    ig->addWidget(Caption(row.caption, e, ident, capWidth), r, 0);
    ig->addWidget(e, r++, 1);
  }
  v->addWidget(ident);

  auto* data = new QGroupBox("Communication Data and Status", page);
  data->setObjectName("GroupBox2");
  auto* dg = new QGridLayout(data);
  dg->setVerticalSpacing(5);
  const struct {
    TConsoleText which;
    const char* name;
    const char* caption;
  } conRows[] = {{TConsoleText::Transmit, "LabeledEdit2", "Transmit:"},
                 {TConsoleText::Receive, "LabeledEdit3", "Receive:"},
                 {TConsoleText::Status, "LabeledEdit4", "Status:"},
                 {TConsoleText::LastError, "LabeledEdit5", "Last Error:"}};
  r = 0;
  for (const auto& row : conRows) {
    const bool hex = row.which == TConsoleText::Transmit || row.which == TConsoleText::Receive;
    QLineEdit* e = ReadOnlyField(row.name, data, hex);
    console_[static_cast<int>(row.which)] = e;
    dg->addWidget(Caption(row.caption, e, data, capWidth), r, 0);
    dg->addWidget(e, r++, 1);
  }
  v->addWidget(data);

  // the hidden identification buttons of the detection
  for (auto [caption, name, op] : {std::tuple{"Detector#b51", "Button51", &TPorts1::Button51Click},
                                   std::tuple{"FindAPP#b52", "Button52", &TPorts1::Button52Click}}) {
    QPushButton* b = Button(caption, name, page, [this, op] { (ports_.*op)(); });
    b->hide();
  }
  v->addStretch(1);
  return page;
}

QWidget* PortsView::FilesPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetFiles");
  auto* g = new QGridLayout(page);
  g->setContentsMargins(8, 8, 8, 8);
  g->setVerticalSpacing(5);
  auto* inspect = Button("Inspect Files", "Button53", page, [this] { ports_.InspectFiles(); });
  g->addWidget(inspect, 0, 0, 1, 2, Qt::AlignLeft);
  for (int i = 0; i < 6; ++i) {
    const std::string name = "LabeledEdit6" + std::to_string(i + 1);
    files_[i] = ReadOnlyField(name.c_str(), page, true);
    shown_.emplace_back(files_[i], &ports_.FileSlots[i]);
    g->addWidget(Caption(QString("File #%1:").arg(i + 1), files_[i], page), i + 1, 0);
    g->addWidget(files_[i], i + 1, 1);
  }
  g->setRowStretch(7, 1);
  return page;
}

QWidget* PortsView::LogPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetLog");
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(8, 8, 8, 8);
  log_ = new QPlainTextEdit(page);
  log_->setObjectName("Memo1");
  log_->setReadOnly(true);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);
  log_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  v->addWidget(log_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(Button("Clear", "Button3", page, [this] { ports_.ClearLog(); }));
  v->addLayout(row);
  return page;
}

QGroupBox* PortsView::TestGroup(TTestGroup g, const QString& title, const char* firstKey,
                                const QString& firstCaption, const char* secondKey,
                                const QString& secondCaption, bool values, bool valuesEditable,
                                const std::vector<std::pair<QString, std::function<void()>>>& sends,
                                const std::function<void(QGridLayout*, int&)>& extra) {
  const std::string code = GroupCode(g);
  auto* box = new QGroupBox(title);
  box->setObjectName(QString::fromStdString("GroupBox" + code));
  auto* grid = new QGridLayout(box);
  grid->setVerticalSpacing(5);
  grid->setHorizontalSpacing(6);
  const int w1 = CaptionWidth(fontMetrics(), cFirstCaptions);
  const int w2 = CaptionWidth(fontMetrics(), cSecondCaptions);
  TGroupWidgets& w = groups_[static_cast<size_t>(g)];
  TPorts1::TGroupState& state = ports_.Group(g);

  w.First = BindEdit(state.First, firstKey, box);
  w.Second = BindEdit(state.Second, secondKey, box);
  w.First->setFixedWidth(cFieldWidth);
  w.Second->setFixedWidth(cFieldWidth);
  grid->addWidget(Caption(firstCaption, w.First, box, w1), 0, 0);
  grid->addWidget(w.First, 0, 1);
  grid->addItem(new QSpacerItem(16, 1), 0, 2);
  grid->addWidget(Caption(secondCaption, w.Second, box, w2), 0, 3);
  grid->addWidget(w.Second, 0, 4);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(6);
  buttons->addStretch(1);
  int k = 0;
  for (const auto& [caption, op] : sends) {
    const std::string name = "Button" + code + std::to_string(k++);
    // A request clicked while a transaction runs (a long operation lets the GUI run) is refused
    // and handed to the main window, which replays it at the next idle pass.
    TControl& ctl = requests_.emplace_back(caption.toStdString(), TControl::Kind::Button);
    ctl.OnClick = [this, op](TControl& self) {
      if (ports_.ComBsy) {
        main_.IsBusy(&self, false);
        return;
      }
      Forward(op);
    };
    QPushButton* b = Button(caption, name.c_str(), box, [&ctl] { ctl.Click(); });
    b->setMinimumWidth(116);
    buttons->addWidget(b);
  }
  grid->addLayout(buttons, 0, 5);
  grid->setColumnStretch(5, 1);

  int row = 1;
  if (extra) extra(grid, row);
  if (values) {
    w.Values = new QPlainTextEdit(box);
    w.Values->setObjectName(QString::fromStdString("Memo" + code));
    w.Values->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    w.Values->setReadOnly(!valuesEditable);
    w.Values->setFixedHeight(w.Values->fontMetrics().lineSpacing() * 3 + 12);
    if (valuesEditable) {
      connect(w.Values, &QPlainTextEdit::textChanged, this, [this, g, vals = w.Values] {
        if (sync_) return;
        std::vector<std::string> lines;
        const QStringList parts = vals->toPlainText().split('\n');
        for (const QString& p : parts) lines.push_back(p.toStdString());
        if (lines.size() == 1 && lines[0].empty()) lines.clear();
        ports_.Group(g).Values = lines;
      });
    }
    grid->addWidget(Caption("Values:", w.Values, box, w1), row, 0, Qt::AlignTop);
    grid->addWidget(w.Values, row++, 1, 1, 5);
  }
  w.Query = ReadOnlyField(("Query" + code).c_str(), box, true);
  w.Result = ReadOnlyField(("Result" + code).c_str(), box, true);
  grid->addWidget(Caption("Query:", w.Query, box, w1), row, 0);
  grid->addWidget(w.Query, row++, 1, 1, 5);
  grid->addWidget(Caption("Result:", w.Result, box, w1), row, 0);
  grid->addWidget(w.Result, row++, 1, 1, 5);
  return box;
}

QWidget* PortsView::CoilPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetCoils");
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(8, 8, 8, 8);
  v->setSpacing(8);
  v->addWidget(TestGroup(TTestGroup::Coils, "0x01/0x02 Read Coils / Discrete Inputs", "LabeledEdit201",
                         "Starting Address:", "LabeledEdit202", "Quantity of Inputs:", true, false,
                         {{"Send 0x01 Query", [this] { ports_.SendQuery01(); }},
                          {"Send 0x02 Query", [this] { ports_.SendQuery02(); }}}));

  auto bitRow = [this](QGridLayout* grid, int& row) {
    QWidget* box = grid->parentWidget();
    register05_ = BindEdit(ports_.Register05, "LabeledEdit503", box);
    register05_->setFixedWidth(cFieldWidth);
    grid->addWidget(Caption("Register:", register05_, box, CaptionWidth(fontMetrics(), cFirstCaptions)), row,
                    0);
    grid->addWidget(register05_, row, 1);
    auto* bits = new QHBoxLayout;
    bits->setSpacing(2);
    for (int n = 0; n < 16; ++n) {
      const std::string name = "BitButton" + std::to_string(n);
      bits_[static_cast<size_t>(n)] =
          Button(QString::number(n), name.c_str(), box, [this, n] { ports_.Button05Click(n); });
      bits_[static_cast<size_t>(n)]->setFixedWidth(28);
      bits->addWidget(bits_[static_cast<size_t>(n)]);
    }
    bits->addStretch(1);
    grid->addLayout(bits, row++, 3, 1, 3);
  };
  v->addWidget(TestGroup(TTestGroup::WriteCoil, "0x05 Write Single Coil", "LabeledEdit501",
                         "Output Address:", "LabeledEdit502", "Output Value:", false, false,
                         {{"Send 0x05 Query", [this] { ports_.SendQuery05(); }}}, bitRow));
  // a changed address moves the "Register:" hint and the default bit button
  connect(groups_[static_cast<size_t>(TTestGroup::WriteCoil)].First, &QLineEdit::textChanged, this, [this] {
    if (sync_) return;
    ports_.OutputAddressChange();
    Refresh();
  });
  v->addStretch(1);
  return page;
}

QWidget* PortsView::RegisterPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetRegisters");
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(8, 8, 8, 8);
  v->setSpacing(8);
  v->addWidget(TestGroup(TTestGroup::Registers, "0x03/0x04 Read Holding / Input Registers", "LabeledEdit301",
                         "Starting Address:", "LabeledEdit302", "Quantity of Registers:", true, false,
                         {{"Send 0x03 Query", [this] { ports_.SendQuery03(); }},
                          {"Send 0x04 Query", [this] { ports_.SendQuery04(); }}}));
  v->addWidget(TestGroup(TTestGroup::WriteReg, "0x06 Write Single Register", "LabeledEdit601",
                         "Register Address:", "LabeledEdit602", "Register Value:", false, false,
                         {{"Send 0x06 Query", [this] { ports_.SendQuery06(); }}}));
  v->addWidget(TestGroup(TTestGroup::WriteMulti, "0x10 Write Multiple Registers", "LabeledEdit101",
                         "Starting Address:", "LabeledEdit102", "Quantity of Registers:", true, true,
                         {{"Send 0x10 Query", [this] { ports_.SendQuery10(); }}}));
  quantity10_ = groups_[static_cast<size_t>(TTestGroup::WriteMulti)].Second;
  v->addStretch(1);
  return page;
}

QWidget* PortsView::DiagnosticPage() {
  auto* page = new QWidget;
  page->setObjectName("TabSheetDiagnostics");
  auto* v = new QVBoxLayout(page);
  v->setContentsMargins(8, 8, 8, 8);
  v->addWidget(TestGroup(TTestGroup::Echo, "0x08 Diagnostics (Return Query Data)", "LabeledEdit801",
                         "Requested Value:", "LabeledEdit802", "Returned Value:", false, false,
                         {{"Send 0x08 Query", [this] { ports_.SendQuery08(); }}}));
  groups_[static_cast<size_t>(TTestGroup::Echo)].Second->setReadOnly(true);  // the device's answer
  v->addStretch(1);
  return page;
}

// ---- showing the hub's state ----------------------------------------------------------

void PortsView::SetText(QLineEdit* e, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (e->text() == t) return;
  SyncScope s(sync_);
  e->setText(t);
  if (e->isReadOnly()) e->setCursorPosition(0);  // long texts show their beginning
}

void PortsView::SetText(QPlainTextEdit* e, const std::string& text) {
  const QString t = QString::fromStdString(text);
  if (e->toPlainText() == t) return;
  SyncScope s(sync_);
  e->setPlainText(t);
}

void PortsView::ShowLastError(const std::string& text) {
  QLineEdit* e = console_[static_cast<int>(TConsoleText::LastError)];
  SetText(e, text);
  const bool red = !text.empty();
  if (red == lastErrorRed_) return;
  lastErrorRed_ = red;
  e->setStyleSheet(red ? "QLineEdit { background-color: rgb(255, 0, 0); color: rgb(255, 255, 255); }" : "");
}

void PortsView::Refresh() {
  SyncScope s(sync_);
  // settings
  QStringList items;
  for (const auto& p : ports_.PortItems) items << QString::fromStdString(p);
  QStringList shownItems;
  for (int i = 0; i < port_->count(); ++i) shownItems << port_->itemText(i);
  if (items != shownItems) {
    port_->clear();
    port_->addItems(items);
  }
  const QString portName = QString::fromStdString(ports_.ComboBox1);
  if (port_->currentText() != portName) port_->setEditText(portName);
  if (baud_->currentIndex() != ports_.ComboBox2) baud_->setCurrentIndex(ports_.ComboBox2);
  if (parity_->currentIndex() != ports_.ComboBox3) parity_->setCurrentIndex(ports_.ComboBox3);
  const bool high = ports_.HighRatePair();
  for (int i = 0; i < 2; ++i) {
    lowPair_[i]->setVisible(!high);
    highPair_[i]->setVisible(high);
  }
  for (const auto& [e, field] : bound_) SetText(e, *field);
  for (const auto& [c, field] : boundChecks_)
    if (c->isChecked() != *field) c->setChecked(*field);
  const int page = ports_.NetworkActive() ? 1 : 0;
  if (settings_->currentIndex() != page) settings_->setCurrentIndex(page);
  settings_->setEnabled(ports_.SettingsEnabled);
  connect_->setChecked(ports_.ConnectPortChecked());
  simFlow_->setChecked(ports_.CheckBox4);

  // console
  for (const auto& [e, field] : shown_) SetText(e, *field);
  for (TConsoleText t : {TConsoleText::Transmit, TConsoleText::Receive, TConsoleText::Status})
    SetText(console_[static_cast<int>(t)], ports_.Text(t));
  ShowLastError(ports_.Text(TConsoleText::LastError));
  for (int k = 0; k < kTestGroups; ++k) {
    const TGroupWidgets& w = groups_[static_cast<size_t>(k)];
    const TPorts1::TGroupState& st = ports_.Group(static_cast<TTestGroup>(k));
    if (w.Values) SetText(w.Values, Joined(st.Values));
    SetText(w.Query, st.Query);
    SetText(w.Result, st.Result);
  }
  register05_->setPlaceholderText(QString::fromStdString(ports_.Register05Hint));
  quantity10_->setPlaceholderText(QString::fromStdString(ports_.Quantity10Hint));
  for (int n = 0; n < 16; ++n) bits_[static_cast<size_t>(n)]->setDefault(n == ports_.Default05);

  const TPorts1::TStatBar sb = ports_.StatBar();
  statPanel_->Show(sb.Text, sb.Red);
}

void PortsView::AppIdle() {
  if (isVisible()) {
    Refresh();
  } else {
    const TPorts1::TStatBar sb = ports_.StatBar();
    statPanel_->Show(sb.Text, sb.Red);
  }
}

// ---- console observer -------------------------------------------------------------------

void PortsView::TextChanged(TConsoleText which, const std::string& text) {
  if (which == TConsoleText::LastError)
    ShowLastError(text);
  else
    SetText(console_[static_cast<int>(which)], text);
  const TPorts1::TStatBar sb = ports_.StatBar();
  statPanel_->Show(sb.Text, sb.Red);
}

void PortsView::LogAppended(const std::string& line) { log_->appendPlainText(QString::fromStdString(line)); }

void PortsView::LogTrimmed(int removedFromTop) {
  QTextCursor c(log_->document()->firstBlock());
  for (int i = 0; i < removedFromTop; ++i)
    if (!c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor)) {
      c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
      break;
    }
  c.removeSelectedText();
  log_->moveCursor(QTextCursor::End);
}

void PortsView::LogCleared() { log_->clear(); }

void PortsView::GroupFieldChanged(TTestGroup g, TGroupField f, const std::string& text) {
  const TGroupWidgets& w = groups_[static_cast<size_t>(g)];
  switch (f) {
    case TGroupField::First:
      SetText(w.First, text);
      break;
    case TGroupField::Second:
      SetText(w.Second, text);
      break;
    case TGroupField::Values:
      if (w.Values) SetText(w.Values, text);
      break;
    case TGroupField::Query:
      SetText(w.Query, text);
      break;
    case TGroupField::Result:
      SetText(w.Result, text);
      break;
  }
}

// ---- placement --------------------------------------------------------------------------

void PortsView::Place() {
  IToolWindow* m = main_.Tool("Main1");
  if (!m) return;
  const TBounds b = m->Bounds();
  tool_.MoveTo(b.Left + b.Width + 5, b.Top);
}

// The window is no dialog, so Return presses the default bit button of the 0x05 group here, as
// a dialog presses its default button: while that button is on the page shown.
void PortsView::keyPressEvent(QKeyEvent* e) {
  if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) &&
      (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && ports_.Default05 >= 0 &&
      ports_.Default05 < 16) {
    QPushButton* b = bits_[static_cast<size_t>(ports_.Default05)];
    if (b->isVisible()) {
      if (b->isEnabled()) b->click();
      e->accept();
      return;
    }
  }
  QWidget::keyPressEvent(e);
}

void PortsView::showEvent(QShowEvent* e) {
  if (!e->spontaneous()) {
    Place();
    Refresh();
  }
  QWidget::showEvent(e);
}

}  // namespace vex
