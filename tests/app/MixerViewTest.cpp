// The boot mixer dialog: its fields bound to the image store, double clicks through the file
// dialogs, "Create Mixed Hex File" closing the dialog after a mix that succeeded or failed, and
// the main window's "Boot Mixer" opening it modally with the hub's segment size and console.
#include <gtest/gtest.h>

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <filesystem>

#include "app/AppWindows.h"
#include "app/MixerView.h"
#include "tests/app/AppSupport.h"
#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using namespace testing_app;
using namespace fwtest;

void DoubleClick(QWidget* w) {
  const QPointF at(5, 5);
  QMouseEvent e(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                Qt::NoModifier);
  QCoreApplication::sendEvent(w, &e);
}

void Type(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent e(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(w, &e);
  }
}

struct FakeDialogs : IMixerDialogs {
  bool answer = true;
  std::string chosen, filter, initial, kind;
  bool OpenFile(const std::string& f, std::string& name) override { return Pick("open", f, name); }
  bool SaveFile(const std::string& f, std::string& name) override { return Pick("save", f, name); }
  bool Pick(const char* k, const std::string& f, std::string& name) {
    kind = k;
    filter = f;
    initial = name;
    if (answer) name = chosen;
    return answer;
  }
};

// An application at 0x0800 and a bootloader below it, both of one processor.
struct MixFiles {
  TempDir dir;
  std::string app = dir.Write("app.hex", Lines({";PIC18F458", Data(0x0800, Seq(48, 1)), Bank(0x30),
                                                Data(0, {0x00, 0x22, 0x0E, 0x0E}), kEof}));
  std::string boot =
      dir.Write("boot.hex", Lines({Data(0, Seq(32, 0x80)), Bank(0x30), Data(1, {0x22}), kEof, ";PIC18F458"}));
  std::string other = dir.Write("other.hex", Lines({";PIC18F452", Data(0, Seq(16, 0x80))}));
  std::string out = dir.File("Mixed.hex");
};

class MixerViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    mixer.Mesaj = [this](const std::string& m) {
      lines.push_back(m);
      link.Mesaj(m);
    };
    mixer.SegSizOf = [this] { return seg; };
  }
  RecordingLink link;
  NoDesktop desktop;
  TMain1 main{link, desktop};
  TMixer1 mixer;
  uint32_t seg = 64;
  std::vector<std::string> lines;
};

TEST_F(MixerViewTest, FieldsCaptionsAndDefaultsOnShow) {
  mixer.Edit2.SetText("mine.hex");
  MixerView v(mixer, main);
  EXPECT_EQ(v.windowTitle().toStdString(), "Create Bootable Application");
  EXPECT_EQ(v.MixButton()->text().toStdString(), "Create Mixed Hex File");
  EXPECT_EQ(v.Field(1)->text(), "");  // defaults come when the dialog is shown
  v.show();
  const struct {
    int k;
    const char* caption;
    std::string text;
  } fields[] = {
      {1, "Bootcode Hex File:", mixer.Edit1.Text()},
      {2, "Firmware Hex File:", "mine.hex"},
      {3, "Destination Hex File:", "Mixed.hex"},
  };
  for (const auto& f : fields) {
    SCOPED_TRACE(f.caption);
    EXPECT_EQ(v.FieldLabel(f.k)->text().toStdString(), f.caption);
    EXPECT_EQ(v.FieldLabel(f.k)->buddy(), v.Field(f.k));
    EXPECT_EQ(v.Field(f.k)->text().toStdString(), f.text);
    EXPECT_FALSE(f.text.empty());
  }
  EXPECT_TRUE(mixer.Edit1.Text().ends_with("Boot.hex")) << mixer.Edit1.Text();
  // typing reaches the store
  Type(v.Field(3), "x");
  EXPECT_EQ(mixer.Edit3.Text(), "Mixed.hexx");
}

TEST_F(MixerViewTest, DoubleClickChoosesTheFile) {
  MixerView v(mixer, main);
  FakeDialogs d;
  mixer.Dialogs = &d;
  v.show();
  const struct {
    int k;
    const char* kind;
    bool answer;
    std::string want;  // field text afterwards
  } cases[] = {
      {1, "open", true, "/x/boot.hex"}, {2, "open", true, "/x/app.hex"},
      {3, "save", true, "/x/out.hex"},  {3, "save", false, "/x/out.hex"},  // cancelled: unchanged
      {2, "open", false, "/x/app.hex"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.k);
    const std::string before = v.Field(c.k)->text().toStdString();
    d.answer = c.answer;
    d.chosen = c.want;
    d.kind.clear();
    DoubleClick(v.Field(c.k));
    EXPECT_EQ(d.kind, c.kind);
    EXPECT_EQ(d.filter, "(*.Hex) Hex Files|*.Hex|(*.*) All Files|*.*");
    EXPECT_EQ(d.initial, before);
    EXPECT_EQ(v.Field(c.k)->text().toStdString(), c.want);
  }
  EXPECT_EQ(mixer.Edit1.Text(), "/x/boot.hex");
  EXPECT_EQ(mixer.Edit2.Text(), "/x/app.hex");
  EXPECT_EQ(mixer.Edit3.Text(), "/x/out.hex");
}

TEST_F(MixerViewTest, CreateClosesTheDialogAfterSuccessOrFailure) {
  MixFiles files;
  const struct {
    const char* name;
    uint32_t seg;
    std::string boot;
    std::string error;  // "" succeeds
    const char* form;   // a line the written file holds
  } cases[] = {
      {"PIC18F form", 64, files.boot, "", ":020000040030CA\r\n"},
      {"PIC16F form", 32, files.boot, "", ":04400E0000220E0E"},
      {"nothing detected", 0, files.boot, "Seg Size Undetermined", nullptr},
      {"other processor", 64, files.other, "Processor Identifier mismatch Line=1", nullptr},
  };
  MixerView v(mixer, main);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(files.out);
    link.calls.clear();
    link.lastError = "Old failure";
    lines.clear();
    seg = c.seg;
    mixer.Edit1.SetText(c.boot);
    mixer.Edit2.SetText(files.app);
    mixer.Edit3.SetText(files.out);
    v.show();
    ASSERT_EQ(v.Field(1)->text().toStdString(), c.boot);
    v.MixButton()->click();
    EXPECT_FALSE(v.isVisible()) << "the dialog closes after the mix";
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "Mixing...");
    EXPECT_EQ(link.lastError, c.error);
    if (c.error.empty()) {
      EXPECT_EQ(lines.back(), "Saving " + files.out);
      EXPECT_NE(ReadText(files.out).find(c.form), std::string::npos);
      EXPECT_TRUE(link.calls.empty());
    } else {
      EXPECT_FALSE(std::filesystem::exists(files.out));
      EXPECT_EQ(link.calls, std::vector<std::string>{"disconnect"});  // the application handler ran
    }
  }
}

TEST(MixerFilter, DialogFilterForQt) {
  const struct {
    const char* in;
    const char* want;
  } cases[] = {
      {"(*.Hex) Hex Files|*.Hex|(*.*) All Files|*.*", "(*.Hex) Hex Files (*.Hex);;(*.*) All Files (*.*)"},
      {"Images|*.hex;*.mot", "Images (*.hex *.mot)"},
      {"", ""},
      {"Unpaired", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(QtFileFilter(c.in).toStdString(), c.want) << c.in;
}

class MixerProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("vexsim-mixer-" + std::to_string(::getpid()));
  MapSettingsStore store;
  NoDesktop desktop;
};

// "Boot Mixer" opens the dialog modally; it mixes with the hub's segment size, reports on the
// hub's console and closes again.
TEST_F(MixerProgramTest, BootMixerButtonOpensTheModalDialog) {
  TInstances in(TStartInfo{(dir / "vexsim").string(), true}, store, desktop, (dir / "vexsim.ini").string());
  TAppWindows w(in);
  ASSERT_EQ(w.Window("Mixer1"), &w.Mixer1());
  EXPECT_TRUE(in.Main1.Tool("Mixer1")->Available());
  MixFiles files;
  const struct {
    int segSiz;
    std::string error;
    const char* form;
  } cases[] = {
      {64, "", ":020000040030CA\r\n"},
      {32, "", ":04400E0000220E0E"},
      {0, "Seg Size Undetermined", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.segSiz);
    std::filesystem::remove(files.out);
    in.Mixer1.Edit1.SetText(files.boot);
    in.Mixer1.Edit2.SetText(files.app);
    in.Mixer1.Edit3.SetText(files.out);
    in.Ports1.SegSiz = c.segSiz;
    in.Ports1.LogLines.clear();
    bool shownModal = false;
    QTimer::singleShot(0, [&] {
      MixerView& m = w.Mixer1();
      shownModal = m.isVisible() && m.isModal();
      EXPECT_EQ(m.Field(2)->text().toStdString(), files.app);
      m.MixButton()->click();
    });
    w.Main1().Button(in.Main1.BootMixer)->click();  // returns when the dialog has closed
    EXPECT_TRUE(shownModal);
    EXPECT_FALSE(w.Mixer1().isVisible());
    ASSERT_FALSE(in.Ports1.LogLines.empty());
    EXPECT_EQ(in.Ports1.LogLines.front(), "Mixing...");
    EXPECT_EQ(in.Ports1.Text(TConsoleText::LastError), c.error);
    if (c.error.empty()) {
      EXPECT_EQ(in.Ports1.LogLines.back(), "Saving " + files.out);
      EXPECT_NE(ReadText(files.out).find(c.form), std::string::npos);
    } else {
      EXPECT_EQ(in.Ports1.LogLines.back(), "Error: " + c.error);
      EXPECT_FALSE(std::filesystem::exists(files.out));
    }
  }
}

TEST_F(MixerViewTest, RenderedDialog) {
  MixerView v(mixer, main);
  mixer.Edit1.SetText("/home/dev/Build/Vex324boot.hex");
  mixer.Edit2.SetText("/home/dev/Build/Vex324.hex");
  v.show();
  Spin(20);
  const QImage shot = v.grab().toImage();
  EXPECT_GE(shot.width(), 420);
  EXPECT_LT(shot.height(), 260);  // fields stacked with the button below, no empty space
  SaveShot(v, "mixer-dialog");
}

}  // namespace
}  // namespace vex
