// The "Port Settings & Diagnostics" window over the real hub: settings edited in the window reach
// the hub and its file and come back, manual requests against a simulated device fill their
// group, the rate switches the timing pair, failures show as the red last error, the log and the
// 0x05 bit buttons follow the hub, and the window places itself beside the main window.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QScreen>
#include <QTextBlock>
#include <filesystem>
#include <memory>

#include "app/AppWindows.h"
#include "app/PortsView.h"
#include "emu/Device.h"
#include "emu/Server.h"
#include "shell/Instances.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;
namespace fs = std::filesystem;

// Pixels of a picture that are pure-looking red.
int RedPixels(const QImage& img) {
  int n = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      const QColor c = img.pixelColor(x, y);
      if (c.red() > 200 && c.green() < 80 && c.blue() < 80) ++n;
    }
  return n;
}

class PortsViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    fs::create_directories(dir);
    in = std::make_unique<TInstances>(TStartInfo{(dir / "vexsim").string(), false}, store, desktop, Ini());
    view = std::make_unique<PortsView>(in->Ports1, in->Main1);
    in->Main1.SetTool("Ports1", &view->Tool());
  }
  void TearDown() override {
    in->Main1.SetTool("Ports1", nullptr);
    view.reset();
    in.reset();
    fs::remove_all(dir);
  }
  std::string Ini() const { return (dir / "vexsim.ini").string(); }
  template <class W>
  W* Child(const char* name) const {
    W* w = view->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* Edit(const char* name) const { return Child<QLineEdit>(name); }
  TPorts1& Ports() { return in->Ports1; }

  fs::path dir = fs::temp_directory_path() / ("vexsim-ports-" + std::to_string(::getpid()));
  MapSettingsStore store;
  NoDesktop desktop;
  std::unique_ptr<TInstances> in;
  std::unique_ptr<PortsView> view;
};

TEST_F(PortsViewTest, FirstStartShowsTheDefaults) {
  EXPECT_EQ(view->windowTitle(), "Port Settings & Diagnostics");
  const struct {
    const char* name;
    const char* text;
  } fields[] = {{"LabeledEdit1", "$EE"},   {"LabeledEdit10", "10"},  {"LabeledEdit11", "200"},
                {"LabeledEdit20", "5"},    {"LabeledEdit21", "200"}, {"LabeledEdit30", ""},
                {"LabeledEdit31", "502"},  {"LabeledEdit32", "1"},   {"LabeledEdit33", "1"},
                {"LabeledEdit34", "2000"}, {"LabeledEdit301", ""}};
  for (const auto& f : fields) EXPECT_EQ(Edit(f.name)->text().toStdString(), f.text) << f.name;
  EXPECT_EQ(Child<QComboBox>("ComboBox2")->currentText(), "19200");
  EXPECT_EQ(Child<QComboBox>("ComboBox3")->currentText(), "8n1");
  EXPECT_EQ(view->SettingsPages()->currentIndex(), 0);
  EXPECT_FALSE(view->ConnectBox()->isChecked());

  // every page of the right side but the hidden "Files" page can be chosen
  const char* pages[] = {
      "Details", "Files", "Log", "Coil Functions", "Register Functions", "Diagnostic Functions"};
  QTabWidget* t = view->ConsolePages();
  ASSERT_EQ(t->count(), 6);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(t->tabText(i).toStdString(), pages[i]);
    EXPECT_EQ(t->isTabVisible(i), i != 1) << pages[i];
  }
  for (const char* caption : {"Send 0x01 Query", "Send 0x02 Query", "Send 0x03 Query", "Send 0x04 Query",
                              "Send 0x05 Query", "Send 0x06 Query", "Send 0x10 Query", "Send 0x08 Query",
                              "Auto Detection", "Discovery", "Clear", "Inspect Files"})
    EXPECT_NE(view->ButtonNamed(caption), nullptr) << caption;
}

TEST_F(PortsViewTest, SettingsEditedInTheWindowSurviveTheFile) {
  const struct {
    const char* name;
    const char* text;
    std::string TPorts1::*field;  // where the hub keeps it (null: a test group field)
  } edits[] = {
      {"LabeledEdit1", "$12", &TPorts1::LabeledEdit1},
      {"LabeledEdit10", "12", &TPorts1::LabeledEdit10},
      {"LabeledEdit11", "250", &TPorts1::LabeledEdit11},
      {"LabeledEdit20", "7", &TPorts1::LabeledEdit20},
      {"LabeledEdit21", "150", &TPorts1::LabeledEdit21},
      {"LabeledEdit30", "10.0.0.9", &TPorts1::LabeledEdit30},
      {"LabeledEdit31", "1502", &TPorts1::LabeledEdit31},
      {"LabeledEdit32", "3", &TPorts1::LabeledEdit32},
      {"LabeledEdit33", "20", &TPorts1::LabeledEdit33},
      {"LabeledEdit34", "900", &TPorts1::LabeledEdit34},
      {"LabeledEdit101", "0x20", nullptr},
      {"LabeledEdit102", "3", nullptr},
      {"LabeledEdit201", "16", nullptr},
      {"LabeledEdit202", "24", nullptr},
      {"LabeledEdit301", "$30", nullptr},
      {"LabeledEdit302", "10", nullptr},
      {"LabeledEdit501", "0x0021", nullptr},
      {"LabeledEdit502", "1", nullptr},
      {"LabeledEdit601", "17", nullptr},
      {"LabeledEdit602", "4660", nullptr},
      {"LabeledEdit801", "0xBEEF", nullptr},
  };
  for (const auto& e : edits) {
    Edit(e.name)->setText(e.text);
    if (e.field) {
      EXPECT_EQ(Ports().*e.field, e.text) << e.name;
    }
  }
  EXPECT_EQ(Ports().Group(TTestGroup::Registers).First, "$30");
  EXPECT_EQ(Ports().Group(TTestGroup::WriteCoil).First, "0x0021");
  view->PortBox()->setEditText("/dev/ttyUSB7");
  Child<QComboBox>("ComboBox2")->setCurrentIndex(6);
  Child<QComboBox>("ComboBox3")->setCurrentIndex(2);
  Child<QCheckBox>("CheckBox4")->setChecked(true);
  // "Fast reply detection" is on both settings pages; the two boxes are one setting
  EXPECT_TRUE(Child<QCheckBox>("CheckBox5")->isChecked());
  Child<QCheckBox>("CheckBox5Net")->setChecked(false);
  EXPECT_FALSE(Ports().CheckBox5);
  view->Refresh();
  EXPECT_FALSE(Child<QCheckBox>("CheckBox5")->isChecked());
  Child<QCheckBox>("CheckBox6")->setChecked(true);
  Child<QCheckBox>("CheckBox7")->setChecked(true);
  EXPECT_EQ(Ports().ComboBox1, "/dev/ttyUSB7");
  EXPECT_EQ(Ports().ComboBox2, 6);
  EXPECT_EQ(Ports().ComboBox3, 2);
  EXPECT_TRUE(Ports().CheckBox4);

  Ports().SaveSettings();
  TPorts1 again;
  again.IniPath = Ini();
  again.LoadSettings();
  PortsView shown(again, in->Main1);
  auto edit = [&](const char* n) { return shown.findChild<QLineEdit*>(n)->text().toStdString(); };
  for (const auto& e : edits) EXPECT_EQ(edit(e.name), e.text) << e.name;
  EXPECT_EQ(shown.PortBox()->currentText(), "/dev/ttyUSB7");
  EXPECT_EQ(shown.findChild<QComboBox*>("ComboBox2")->currentText(), "57600");
  EXPECT_EQ(shown.findChild<QComboBox*>("ComboBox3")->currentText(), "8o1");
  EXPECT_TRUE(shown.findChild<QCheckBox*>("CheckBox4")->isChecked());
  EXPECT_FALSE(shown.findChild<QCheckBox*>("CheckBox5")->isChecked());
  EXPECT_FALSE(shown.findChild<QCheckBox*>("CheckBox5Net")->isChecked());
  EXPECT_TRUE(shown.findChild<QCheckBox*>("CheckBox6")->isChecked());
  EXPECT_TRUE(shown.findChild<QCheckBox*>("CheckBox7")->isChecked());
}

TEST_F(PortsViewTest, RateChoosesTheVisibleTimingPair) {
  view->show();
  const struct {
    int pos;
    const char* baud;
    bool high;
  } rates[] = {{0, "1200", false}, {3, "9600", false},  {4, "19200", false}, {5, "38400", true},
               {6, "57600", true}, {7, "115200", true}, {2, "4800", false}};
  QComboBox* baud = Child<QComboBox>("ComboBox2");
  for (const auto& r : rates) {
    SCOPED_TRACE(r.baud);
    baud->setCurrentIndex(r.pos);
    EXPECT_EQ(baud->currentText(), r.baud);
    EXPECT_EQ(Ports().ComboBox2, r.pos);
    EXPECT_EQ(Edit("LabeledEdit10")->isVisible(), !r.high);
    EXPECT_EQ(Edit("LabeledEdit11")->isVisible(), !r.high);
    EXPECT_EQ(Edit("LabeledEdit20")->isVisible(), r.high);
    EXPECT_EQ(Edit("LabeledEdit21")->isVisible(), r.high);
    // what is typed into the visible pair is what the link will use
    QLineEdit* timeout = Edit(r.high ? "LabeledEdit20" : "LabeledEdit10");
    QLineEdit* blind = Edit(r.high ? "LabeledEdit21" : "LabeledEdit11");
    timeout->setText(QString::number(r.pos + 2));
    blind->setText(QString::number(100 + r.pos));
    EXPECT_EQ(Ports().TimeoutEdit(), std::to_string(r.pos + 2));
    EXPECT_EQ(Ports().BlindEdit(), std::to_string(100 + r.pos));
  }
  // a rate chosen by the hub (detection) switches the pair as well
  Ports().ComboBox2Change(5);
  view->Refresh();
  EXPECT_EQ(baud->currentText(), "38400");
  EXPECT_TRUE(Edit("LabeledEdit20")->isVisible());
  EXPECT_FALSE(Edit("LabeledEdit10")->isVisible());
}

TEST_F(PortsViewTest, LastErrorIsWhiteOnRedAndInTheStatusBar) {
  view->show();
  QLineEdit* err = view->ConsoleField(TConsoleText::LastError);
  Ports().Mesaj("Socket Connected.");
  Spin(10);
  EXPECT_EQ(err->text(), "");
  EXPECT_EQ(RedPixels(err->grab().toImage()), 0);
  EXPECT_FALSE(view->StatBarPanel()->Red());
  EXPECT_EQ(RedPixels(view->StatBarPanel()->grab().toImage()), 0);

  Ports().Error("No Response");
  Spin(10);
  EXPECT_EQ(err->text(), "No Response");
  const QImage red = err->grab().toImage();
  EXPECT_GT(RedPixels(red), red.width() * red.height() / 2);  // the field's background
  EXPECT_TRUE(view->StatBarPanel()->Red());
  EXPECT_EQ(view->StatBarPanel()->Text().toStdString(), Ports().ComText2());
  EXPECT_TRUE(view->StatBarPanel()->Text().endsWith(", No Response"));
  EXPECT_GT(RedPixels(view->StatBarPanel()->grab().toImage()), 0);  // the text is drawn red
  EXPECT_EQ(view->LogArea()->toPlainText().split('\n').last(), "Error: No Response");
  SaveShot(*view, "ports-last-error");

  // a status message clears it back to normal colours
  Ports().Mesaj("Target Found...");
  Spin(10);
  EXPECT_EQ(err->text(), "");
  EXPECT_EQ(RedPixels(err->grab().toImage()), 0);
  EXPECT_FALSE(view->StatBarPanel()->Red());
  EXPECT_EQ(view->ConsoleField(TConsoleText::Status)->text().toStdString(), "COM Closed, Target Found...");
}

TEST_F(PortsViewTest, FailuresOfClicksGoToTheApplicationHandler) {
  // a port that cannot be opened: the box is cleared again and the failure is the last error
  view->PortBox()->setEditText(QString::fromStdString((dir / "noport").string()));
  view->ConnectBox()->click();
  EXPECT_FALSE(view->ConnectBox()->isChecked());
  EXPECT_FALSE(Ports().ConnectPortChecked());
  EXPECT_TRUE(view->SettingsPages()->isEnabled());
  const std::string err = view->ConsoleField(TConsoleText::LastError)->text().toStdString();
  EXPECT_EQ(err.rfind("Error " + (dir / "noport").string() + " : ", 0), 0u) << err;
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);  // no dialog

  // a manual request first opens the link, which fails the same way; nothing is sent
  Edit("LabeledEdit301")->setText("0");
  Edit("LabeledEdit302")->setText("1");
  Ports().Mesaj("");
  view->ButtonNamed("Send 0x03 Query")->click();
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text().toStdString(), err);
  EXPECT_EQ(view->GroupWidgets(TTestGroup::Registers).Query->text().toStdString(), "");
  EXPECT_FALSE(view->ConnectBox()->isChecked());
}

class PortsViewDeviceTest : public PortsViewTest {
 protected:
  void SetUp() override {
    PortsViewTest::SetUp();
    emu::ServerOptions o;
    o.tcpPort = 0;
    auto dev = emu::MakeDevice(emu::ModelFor("vex324"));
    dev->SetStrictUnlock(false);  // the manual requests write configuration registers as they are
    server = std::make_unique<emu::EmuServer>(std::move(dev), o);
    server->Start();
    view->SettingsPages()->setCurrentIndex(1);  // "Network"
    Edit("LabeledEdit30")->setText("127.0.0.1");
    Edit("LabeledEdit31")->setText(QString::number(server->TcpPort()));
    Edit("LabeledEdit34")->setText("300");
  }
  void TearDown() override {
    Ports().SetConnectPort(false);
    server->Stop();
    PortsViewTest::TearDown();
  }
  uint16_t Reg(uint16_t a) {
    std::lock_guard<std::mutex> lock(server->Dev().Mutex());
    uint16_t v = 0;
    EXPECT_EQ(server->Dev().ReadRegs(emu::Space::Holding, a, 1, &v), 0);
    return v;
  }  // 0, $1234 on register 15 through the window: the configuration registers take writes, as
  // the device needs before the program writes them
  void Unlock() {
    Edit("LabeledEdit601")->setText("15");
    for (const char* w : {"0", "$1234"}) {
      Edit("LabeledEdit602")->setText(w);
      view->ButtonNamed("Send 0x06 Query")->click();
    }
  }

  std::unique_ptr<emu::EmuServer> server;
};

TEST_F(PortsViewDeviceTest, ReadHoldingRegistersFillsItsGroup) {
  EXPECT_TRUE(Ports().NetworkActive());
  Edit("LabeledEdit301")->setText("0");
  Edit("LabeledEdit302")->setText("4");
  view->ButtonNamed("Send 0x03 Query")->click();
  const auto& g = view->GroupWidgets(TTestGroup::Registers);
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text(), "");
  // transaction 1, unit 1, function 3, address 0, four registers
  EXPECT_EQ(g.Query->text(), "00 01 00 00 00 06 01 03 00 00 00 04");
  EXPECT_TRUE(g.Result->text().startsWith("00 01 00 00 00 0B 01 03 08 ")) << g.Result->text().toStdString();
  EXPECT_EQ(g.Result->text().split(' ').size(), 6 + 3 + 8);
  EXPECT_EQ(g.Query->text(), view->ConsoleField(TConsoleText::Transmit)->text());
  EXPECT_EQ(g.Result->text(), view->ConsoleField(TConsoleText::Receive)->text());
  const std::string values = "0x" + IntToHex(Reg(0), 4) + " 0x" + IntToHex(Reg(1), 4) + " 0x" +
                             IntToHex(Reg(2), 4) + " 0x" + IntToHex(Reg(3), 4);
  EXPECT_EQ(g.Values->toPlainText().toStdString(), values);
  EXPECT_EQ(g.First->text(), "0x0000");  // the request as sent
  EXPECT_EQ(g.Second->text(), "4");
  EXPECT_FALSE(view->ConnectBox()->isChecked());  // the link opened for the request is closed again
  EXPECT_TRUE(view->SettingsPages()->isEnabled());
  EXPECT_TRUE(view->LogArea()->toPlainText().contains("Tx[12]= 00 01 00 00 00 06 01 03 00 00 00 04"));
  ASSERT_TRUE(view->ConsolePages()->isTabVisible(4));
  view->ConsolePages()->setCurrentIndex(4);
  view->show();
  Spin(20);
  SaveShot(*view, "ports-register-functions");
}

TEST_F(PortsViewDeviceTest, BadInputsOfRequestsAreRefusedWithTheirMessage) {
  const struct {
    const char* first;
    const char* second;
    const char* button;
    TTestGroup group;
    const char* message;
  } cases[] = {
      {"70000", "1", "Send 0x03 Query", TTestGroup::Registers,
       "Starting Address: Range Check, Valid Range:  [0 ~ 65535]."},
      {"0", "124", "Send 0x04 Query", TTestGroup::Registers,
       "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123]."},
      {"0", "0", "Send 0x03 Query", TTestGroup::Registers, "Requested read count invalid"},
      {"0", "513", "Send 0x01 Query", TTestGroup::Coils,
       "Quantity of Inputs: Range Check, Valid Range:  [1 ~ 512]."},
      {"16", "x", "Send 0x06 Query", TTestGroup::WriteReg,
       "Register Value: 'x' is not a valid integer value, Valid Range:  [0 ~ 65535]."},
  };
  const uint16_t before = Reg(16);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    const auto& g = view->GroupWidgets(c.group);
    g.First->setText(c.first);
    g.Second->setText(c.second);
    view->ButtonNamed(c.button)->click();
    EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text().toStdString(), c.message);
    EXPECT_FALSE(view->ConnectBox()->isChecked());  // the link opened for the request is closed again
    EXPECT_TRUE(view->SettingsPages()->isEnabled());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
  EXPECT_EQ(Reg(16), before);  // nothing written
}

// A refused value moves the keyboard focus to its field (from the box or button clicked), on the
// settings pages and in the request groups alike.
TEST_F(PortsViewDeviceTest, RangeErrorMovesTheFocusToTheField) {
  view->show();
  const struct {
    int settingsPage;  // 0 "Comm/Usb", 1 "Network"
    int consolePage;   // page of the request groups shown
    const char* field;
    const char* text;
    const char* clicked;  // "" the "Connect Port" box, else a button
    const char* message;
  } cases[] = {
      {1, 0, "LabeledEdit32", "32", "", "Node ID: Range Check, Valid Range:  [1 ~ 31]."},
      {1, 0, "LabeledEdit33", "0", "", "Timeout (ms): Range Check, Valid Range:  [1 ~ 500]."},
      {1, 0, "LabeledEdit30", "127.0.0", "", "Target IP: '127.0.0' is not a valid IP address"},
      {0, 0, "LabeledEdit10", "99", "",
       "Error /dev/vex-no-port : Timeout (ms): Range Check, Valid Range:  [1 ~ 50]."},
      {0, 0, "LabeledEdit1", "$100", "",
       "Error /dev/vex-no-port : Node ID: Range Check, Valid Range:  [0 ~ 255]."},
      {1, 4, "LabeledEdit302", "124", "Send 0x03 Query",
       "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123]."},
      {1, 3, "LabeledEdit502", "256", "Send 0x05 Query",
       "Output Value: Range Check, Valid Range:  [0 ~ 255]."},
      {1, 3, "LabeledEdit503", "4096", "5", "Register: Range Check, Valid Range:  [0 ~ 4095]."},
      {1, 5, "LabeledEdit801", "-1", "Send 0x08 Query",
       "Requested Value: Range Check, Valid Range:  [0 ~ 65535]."},
  };
  Edit("LabeledEdit301")->setText("0");
  Edit("LabeledEdit501")->setText("16");
  Edit("LabeledEdit502")->setText("1");
  view->PortBox()->setEditText("/dev/vex-no-port");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    view->SettingsPages()->setCurrentIndex(c.settingsPage);
    view->ConsolePages()->setCurrentIndex(c.consolePage);
    Spin(5);
    QLineEdit* field = Edit(c.field);
    const QString was = field->text();
    field->setText(c.text);
    QAbstractButton* clicked = *c.clicked ? static_cast<QAbstractButton*>(view->ButtonNamed(c.clicked))
                                          : static_cast<QAbstractButton*>(view->ConnectBox());
    ASSERT_NE(clicked, nullptr);
    clicked->setFocus();  // a click gives the focus to what was clicked
    clicked->click();
    EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text().toStdString(), c.message);
    EXPECT_EQ(view->focusWidget(), field)
        << "focus on "
        << (view->focusWidget() ? view->focusWidget()->objectName().toStdString() : std::string("nothing"));
    EXPECT_FALSE(view->ConnectBox()->isChecked());
    field->setText(was);
  }
  // a field of a page not shown cannot take the focus: it stays where it was
  view->ConsolePages()->setCurrentIndex(0);
  Edit("LabeledEdit302")->setText("124");
  view->ConnectBox()->setFocus();
  view->ButtonNamed("Send 0x03 Query")->click();
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text().toStdString(),
            "Quantity of Registers: Range Check, Valid Range:  [0 ~ 123].");
  EXPECT_EQ(view->focusWidget(), view->ConnectBox());
  view->hide();
}

TEST_F(PortsViewDeviceTest, WritesAndEchoReachTheDeviceThroughTheWindow) {
  view->ConnectBox()->click();
  ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);
  EXPECT_FALSE(view->SettingsPages()->isEnabled());  // no settings change while the link is open

  Unlock();
  Edit("LabeledEdit601")->setText("0x10");
  Edit("LabeledEdit602")->setText("$1234");
  view->ButtonNamed("Send 0x06 Query")->click();
  EXPECT_EQ(Reg(16), 0x1234);

  const auto& m = view->GroupWidgets(TTestGroup::WriteMulti);
  m.First->setText("16");
  m.Second->setText("");
  m.Values->setPlainText("5\n0x21");
  view->ButtonNamed("Send 0x10 Query")->click();
  EXPECT_EQ(Reg(16), 5);
  EXPECT_EQ(Reg(17), 0x21);
  EXPECT_EQ(m.Second->placeholderText().toStdString(), "2");  // number of values taken, as a grey hint
  EXPECT_EQ(m.Values->toPlainText().toStdString(), "0x0005 0x0021");
  // with a quantity that many values are taken
  m.Values->setPlainText("9 8 7");
  m.Second->setText("1");
  view->ButtonNamed("Send 0x10 Query")->click();
  EXPECT_EQ(Reg(16), 9);
  EXPECT_EQ(Reg(17), 0x21);
  EXPECT_EQ(m.Second->placeholderText().toStdString(), "");

  Edit("LabeledEdit801")->setText("0xBEEF");
  view->ButtonNamed("Send 0x08 Query")->click();
  EXPECT_EQ(Edit("LabeledEdit802")->text(), "0xBEEF");
  EXPECT_FALSE(view->GroupWidgets(TTestGroup::Echo).Result->text().isEmpty());
  EXPECT_TRUE(view->ConnectBox()->isChecked());  // an open link stays open
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text(), "");
  view->ConsolePages()->setCurrentIndex(5);
  view->show();
  Spin(20);
  SaveShot(*view, "ports-diagnostic-functions");
}

TEST_F(PortsViewDeviceTest, DiscoveryFillsTheModelIdentification) {
  view->ButtonNamed("Discovery")->click();
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text(), "");
  const struct {
    const char* name;
    const std::string* field;
  } ids[] = {{"LabeledEdit51", &Ports().BootId},   {"LabeledEdit52", &Ports().AppId},
             {"LabeledEdit53", &Ports().MfgDate},  {"LabeledEdit54", &Ports().UniqeId},
             {"LabeledEdit55", &Ports().BootStat}, {"LabeledEdit56", &Ports().ModbusId}};
  for (const auto& i : ids) {
    EXPECT_FALSE(i.field->empty()) << i.name;
    EXPECT_EQ(Edit(i.name)->text().toStdString(), *i.field) << i.name;
  }
  EXPECT_TRUE(Edit("LabeledEdit51")->text().contains("Vex324"));
  view->show();
  Spin(20);
  SaveShot(*view, "ports-details");
  // the hidden page, rendered for the record
  view->ConsolePages()->setTabVisible(1, true);
  view->ButtonNamed("Inspect Files")->click();
  view->ConsolePages()->setCurrentIndex(1);
  Spin(20);
  SaveShot(*view, "ports-files");
}

TEST_F(PortsViewTest, LogFollowsTheHub) {
  for (int i = 0; i < 511; ++i) Ports().Log("line " + std::to_string(i));
  ASSERT_EQ(Ports().LogLines.size(), 500u);
  QPlainTextEdit* log = view->LogArea();
  EXPECT_EQ(log->document()->blockCount(), 500);
  EXPECT_EQ(log->document()->firstBlock().text(), "line 11");
  EXPECT_EQ(log->document()->lastBlock().text(), "line 510");
  EXPECT_EQ(log->textCursor().position(), log->document()->characterCount() - 1);  // caret at the end
  Ports().Mesaj("");  // an empty message logs nothing
  EXPECT_EQ(log->document()->blockCount(), 500);
  view->ButtonNamed("Clear")->click();
  EXPECT_TRUE(Ports().LogLines.empty());
  EXPECT_EQ(log->toPlainText(), "");
  Ports().Log("after");
  EXPECT_EQ(log->toPlainText(), "after");
}

TEST_F(PortsViewTest, BitButtonsChooseTheOutputAddress) {
  const struct {
    const char* reg;   // "Register:"
    const char* addr;  // "Output Address:" before the click
    int button;
    const char* address;  // afterwards
    const char* hint;     // "Register:" hint
  } cases[] = {
      {"", "", 3, "0x0003", "0x000"},        {"2", "", 5, "0x0025", "0x002"},
      {"", "0x0123", 15, "0x012F", "0x012"}, {"$FFF", "7", 0, "0xFFF0", "0xFFF"},
      {"", "junk", 1, "0x0001", "0x000"},
  };
  QLineEdit* reg = Edit("LabeledEdit503");
  QLineEdit* out = Edit("LabeledEdit501");
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.reg) + "/" + c.addr);
    reg->setText(c.reg);
    out->setText(c.addr);
    view->BitButton(c.button)->click();
    EXPECT_EQ(out->text(), c.address);
    EXPECT_EQ(reg->placeholderText(), c.hint);
    for (int n = 0; n < 16; ++n) EXPECT_EQ(view->BitButton(n)->isDefault(), n == c.button) << n;
  }
  // typing an address moves the hint and the default button; an unreadable one removes both
  reg->setText("");
  out->setText("0x0047");
  EXPECT_EQ(reg->placeholderText(), "0x004");
  EXPECT_TRUE(view->BitButton(7)->isDefault());
  out->setText("zz");
  EXPECT_EQ(reg->placeholderText(), "");
  for (int n = 0; n < 16; ++n) EXPECT_FALSE(view->BitButton(n)->isDefault()) << n;
  // a "Register:" out of range is refused with its message
  reg->setText("4096");
  view->BitButton(1)->click();
  EXPECT_EQ(out->text(), "zz");
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text(),
            "Register: Range Check, Valid Range:  [0 ~ 4095].");
}

// The window is no dialog, yet Return presses the 0x05 group's default bit button, as the button
// drawn as default promises: while the group is shown and an address is readable.
TEST_F(PortsViewTest, ReturnPressesTheDefaultBitButton) {
  view->show();
  const struct {
    const char* name;
    int page;  // console page shown
    const char* focus;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    const char* reg;      // "Register:"
    const char* address;  // "Output Address:" typed
    const char* after;    // "Output Address:" after the key
  } cases[] = {
      {"Return in the address", 3, "LabeledEdit501", Qt::Key_Return, Qt::NoModifier, "2", "5", "0x0025"},
      {"Enter of the keypad", 3, "LabeledEdit501", Qt::Key_Enter, Qt::KeypadModifier, "", "19", "0x0013"},
      {"Return in Register:", 3, "LabeledEdit503", Qt::Key_Return, Qt::NoModifier, "3", "0x0021", "0x0031"},
      {"Return in Output Value:", 3, "LabeledEdit502", Qt::Key_Return, Qt::NoModifier, "", "255", "0x00FF"},
      {"another page shown", 0, "LabeledEdit4", Qt::Key_Return, Qt::NoModifier, "2", "5", "5"},
      {"unreadable address: no default", 3, "LabeledEdit501", Qt::Key_Return, Qt::NoModifier, "2", "zz",
       "zz"},
      {"Shift+Return", 3, "LabeledEdit501", Qt::Key_Return, Qt::ShiftModifier, "2", "5", "5"},
  };
  QLineEdit* address = Edit("LabeledEdit501");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view->ConsolePages()->setCurrentIndex(c.page);
    Edit("LabeledEdit503")->setText(c.reg);
    address->setText(c.address);
    Spin(5);
    QLineEdit* focus = Edit(c.focus);
    focus->setFocus();
    QKeyEvent press(QEvent::KeyPress, c.key, c.modifiers);
    QApplication::sendEvent(focus, &press);
    EXPECT_EQ(address->text().toStdString(), c.after);
    EXPECT_EQ(Ports().Group(TTestGroup::WriteCoil).First, c.after);
  }
  view->hide();
}

TEST_F(PortsViewTest, PortListIsRebuiltWhenOpened) {
  Ports().FixedPorts = {"/dev/ttyUSB3", "/dev/ttyACM0"};
  view->PortBox()->setEditText("/dev/ttyUSB9");
  view->show();
  view->PortBox()->showPopup();
  view->PortBox()->hidePopup();
  ASSERT_EQ(view->PortBox()->count(), 2);
  EXPECT_EQ(view->PortBox()->itemText(0), "/dev/ttyUSB3");
  EXPECT_EQ(view->PortBox()->itemText(1), "/dev/ttyACM0");
  EXPECT_EQ(view->PortBox()->currentText(), "/dev/ttyUSB9");  // the typed name stays
  EXPECT_EQ(Ports().ComboBox1, "/dev/ttyUSB9");

  // nothing found: the fallback list and the message
  Ports().FixedPorts.clear();
  fs::create_directories(dir / "dev");
  fs::create_directories(dir / "sys");
  Ports().PortRoots = {(dir / "dev").string(), (dir / "sys").string()};
  view->PortBox()->showPopup();
  view->PortBox()->hidePopup();
  EXPECT_EQ(view->PortBox()->count(), 16);
  EXPECT_EQ(view->ConsoleField(TConsoleText::LastError)->text(), cNoPortsMsg);
  view->PortBox()->setCurrentIndex(1);
  EXPECT_EQ(Ports().ComboBox1, view->PortBox()->itemText(1).toStdString());
}

// Shown, the window goes beside the main window where it fits wholly; otherwise it is moved just
// enough to lie wholly on the screen that holds the main window (the test screens: 1920 x 1080
// with 1366 x 768 on its right).
TEST_F(PortsViewTest, PlacesItselfBesideTheMainWindowOnItsScreen) {
  const QList<QScreen*> screens = QGuiApplication::screens();
  if (screens.size() != 2 || screens[1]->geometry() != QRect(1920, 0, 1366, 768))
    GTEST_SKIP() << "the cases are laid out for the test screens of the offscreen platform";
  QWidget mainWin(nullptr, Qt::Window);
  mainWin.setObjectName("Main1");
  QtToolWindow mainTool(&mainWin);
  in->Main1.SetTool("Main1", &mainTool);
  const struct {
    const char* name;
    QPoint main;  // the main window, 400 x 300
    bool movedLeft, movedUp;
  } cases[] = {{"fits beside", {120, 60}, false, false},
               {"fits beside again after a move", {30, 40}, false, false},
               {"past the right edge", {1000, 60}, true, false},
               {"on the second screen", {1950, 60}, true, false},
               {"low on the second screen", {1950, 500}, true, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    view->hide();
    view->move(10, 400);
    mainWin.setGeometry(QRect(c.main, QSize(400, 300)));
    mainWin.show();
    Spin(10);
    in->Main1.PortSettingsClick();  // "Port Settings"
    Spin(10);
    ASSERT_TRUE(view->isVisible());
    const QRect m = mainWin.frameGeometry();
    const QRect p = view->frameGeometry();
    QScreen* screen = QGuiApplication::screenAt(m.center());
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->availableGeometry();
    EXPECT_TRUE(area.contains(p)) << "wholly on the main window's screen";
    EXPECT_EQ(p.left(), c.movedLeft ? area.right() + 1 - p.width() : m.left() + m.width() + 5);
    EXPECT_EQ(p.top(), c.movedUp ? area.bottom() + 1 - p.height() : m.top());
  }
  view->hide();
  in->Main1.SetTool("Main1", nullptr);
}

TEST_F(PortsViewTest, IdlePassesShowTheLinkStatus) {
  Ports().Mesaj("Socket Closed");
  in->Main1.ApplicationEvents1Idle();  // hidden: only the status bar follows
  EXPECT_EQ(view->StatBarPanel()->Text().toStdString(), "COM Closed, Socket Closed");
  Ports().LabeledEdit30 = "192.168.1.10";  // changed by the hub (detection of an RTU)
  Ports().ActivePage = lpNetwork;
  view->show();
  in->Main1.ApplicationEvents1Idle();
  EXPECT_EQ(Edit("LabeledEdit30")->text(), "192.168.1.10");
  EXPECT_EQ(view->SettingsPages()->currentIndex(), 1);
}

TEST_F(PortsViewTest, RenderedPages) {
  Ports().Mesaj("Socket Connected.");
  for (int i = 0; i < 8; ++i) Ports().Log("Tx[8]= EE 03 00 00 00 10 5A 0C");
  Ports().Group(TTestGroup::Coils).First = "0";
  Ports().Group(TTestGroup::Coils).Second = "16";
  Ports().AddGroupValues(TTestGroup::Coils, "0x05=00000101 0x80=10000000");
  Ports().Group(TTestGroup::WriteCoil).First = "0x0025";
  Ports().OutputAddressChange();
  view->show();
  const char* names[] = {
      "details", "files", "log", "coil-functions", "register-functions", "diagnostic-functions"};
  view->ConsolePages()->setTabVisible(1, true);
  for (int i = 0; i < view->ConsolePages()->count(); ++i) {
    view->ConsolePages()->setCurrentIndex(i);
    Spin(10);
    const QImage img = view->grab().toImage();
    EXPECT_GE(img.width(), 800);
    SaveShot(*view, std::string("ports-") + names[i]);
  }
  view->SettingsPages()->setCurrentIndex(1);
  Spin(10);
  SaveShot(*view, "ports-network");
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

using namespace testing_app;

TEST(PortsViewInProgram, TheProgramsPortSettingsWindow) {
  App();
  const fs::path dir = fs::temp_directory_path() / ("vexsim-ports-app-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  {
    MapSettingsStore store;
    NoDesktop desktop;
    TInstances in(TStartInfo{(dir / "vexsim").string(), false}, store, desktop,
                  (dir / "vexsim.ini").string());
    TAppWindows w(in);
    EXPECT_EQ(w.Window("Ports1"), &w.Ports1());
    ASSERT_NE(in.Main1.Tool("Ports1"), nullptr);
    EXPECT_TRUE(in.Main1.Tool("Ports1")->Available());
    EXPECT_EQ(in.Ports1.Console, &w.Ports1());

    MainView& mainView = w.Main1();
    mainView.move(40, 30);
    mainView.show();
    Spin(10);
    mainView.Button(in.Main1.PortSettings)->click();
    Spin(10);
    PortsView& ports = w.Ports1();
    ASSERT_TRUE(ports.isVisible());
    const QRect m = mainView.frameGeometry();
    EXPECT_EQ(ports.frameGeometry().topLeft(), QPoint(m.left() + m.width() + 5, m.top()));
    EXPECT_TRUE(QGuiApplication::screenAt(m.center())->availableGeometry().contains(ports.frameGeometry()));

    // an unhandled failure: red in the window and, after an idle pass, in both status bars
    in.Main1.ApplicationEvents1Exception("Result CRC mismatch");
    in.Main1.ApplicationEvents1Idle();
    mainView.Refresh();
    EXPECT_EQ(ports.ConsoleField(TConsoleText::LastError)->text(), "Result CRC mismatch");
    EXPECT_TRUE(ports.StatBarPanel()->Red());
    EXPECT_EQ(ports.StatBarPanel()->Text(), mainView.StatusPanel()->text());
    EXPECT_TRUE(in.Main1.StatusFailed);
    ports.hide();
    mainView.hide();
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

// A request clicked while a transaction runs is refused, kept by the main window and sent once at
// the next idle pass; a later refused click takes its place.
TEST_F(PortsViewDeviceTest, RequestClickedWhileBusyIsReplayedOnce) {
  view->ConnectBox()->click();
  ASSERT_TRUE(Ports().ConnectPortChecked()) << Ports().Text(TConsoleText::LastError);
  const struct {
    const char* first;  // clicked first, then replaced by the second click
    const char* second;
    uint16_t wantReg17;
  } cases[] = {{"Send 0x08 Query", "Send 0x06 Query", 0x4321}, {"Send 0x06 Query", "Send 0x08 Query", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + " then " + c.second);
    Unlock();
    Edit("LabeledEdit601")->setText("17");
    Edit("LabeledEdit602")->setText("0");
    view->ButtonNamed("Send 0x06 Query")->click();
    ASSERT_EQ(Reg(17), 0);
    Edit("LabeledEdit602")->setText("0x4321");
    Edit("LabeledEdit801")->setText("0x1234");
    Edit("LabeledEdit802")->setText("");

    Ports().ComBsy = true;  // a transaction of another window is running
    view->ButtonNamed(c.first)->click();
    view->ButtonNamed(c.second)->click();
    ASSERT_NE(in->Main1.ComNxt, nullptr);
    EXPECT_EQ(in->Main1.ComNxt->Caption, c.second);
    EXPECT_EQ(Reg(17), 0) << "nothing is sent while busy";
    EXPECT_EQ(Edit("LabeledEdit802")->text(), "");
    Ports().ComBsy = false;

    in->Main1.ApplicationEvents1Idle();
    EXPECT_EQ(in->Main1.ComNxt, nullptr);
    EXPECT_EQ(Reg(17), c.wantReg17);
    EXPECT_EQ(Edit("LabeledEdit802")->text(), c.wantReg17 ? "" : "0x1234");
    in->Main1.ApplicationEvents1Idle();  // replayed once only
    EXPECT_EQ(Ports().Text(TConsoleText::LastError), "");
  }
}

}  // namespace
}  // namespace vex
