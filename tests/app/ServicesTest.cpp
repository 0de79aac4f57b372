// The access-mode values as the program reads them from the user's configuration folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QHelpEvent>
#include <QSettings>
#include <QStyle>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "app/Services.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

TEST(QtSettingsStore, ReadsTheValuesOfTheUsersFolder) {
  testing_app::App();
  const auto dir = std::filesystem::temp_directory_path() / ("vexsim-settings-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromStdString(dir.string()));
  std::ofstream(dir / "Pelmora.conf") << "[General]\nProducts=40713\nOther=abc\n";
  std::ofstream(dir / "Zentaro.conf") << "[General]\nService= 12 \n";

  QtSettingsStore store;
  const struct {
    const char* key;
    const char* name;
    std::optional<int64_t> want;
  } cases[] = {{"Software\\Pelmora", "Products", 40713},
               {"Software\\Zentaro", "Service", 12},
               {"Software\\Pelmora", "Service", std::nullopt},
               {"Software\\Pelmora", "Other", std::nullopt},
               {"Software\\Nobody", "Products", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(store.ReadInt(c.key, c.name), c.want) << c.key << " " << c.name;

  // the same values switch the modes on
  testing_app::RecordingLink link;
  testing_app::NoDesktop desktop;
  TMain1 main(link, desktop);
  main.FormCreate(TStartInfo{"/opt/tools/vexsim", false}, store);
  EXPECT_TRUE(main.AdmMod);
  EXPECT_FALSE(main.SrvMod);
  std::filesystem::remove_all(dir);
}

TEST(SignalQuit, EndingSignalsWakeTheLoopAndRunTheQuit) {
  testing_app::App();
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
    struct sigaction ignore = {}, original = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(sig, &ignore, &original);
    int quits = 0;
    {
      SignalQuit watch([&] { ++quits; });
      EXPECT_THROW(SignalQuit second([] {}), Exception) << "one watcher at a time";
      ASSERT_EQ(std::raise(sig), 0);
      EXPECT_EQ(quits, 0) << "nothing runs inside the signal handler";
      testing_app::Spin(50);
      EXPECT_EQ(quits, 1) << sig;
    }
    struct sigaction now = {};
    ::sigaction(sig, &original, &now);
    EXPECT_EQ(now.sa_handler, SIG_IGN) << "the previous handler is back: " << sig;
  }
}

TEST(ToolTipTiming, ShownAfter100msHiddenAfter10s) {
  SetToolTipTiming(testing_app::App());
  EXPECT_EQ(QApplication::style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay), 100);
  const struct {
    int own;   // duration the widget sets itself (-1 none)
    int want;  // duration when its tip is asked for
  } cases[] = {{-1, 10000}, {3000, 3000}};
  for (const auto& c : cases) {
    QWidget w;
    w.setToolTip(QString(300, 'x'));  // long enough for the toolkit to keep it up longer
    w.setToolTipDuration(c.own);
    w.resize(50, 20);
    QHelpEvent e(QEvent::ToolTip, QPoint(5, 5), QPoint(5, 5));
    QApplication::sendEvent(&w, &e);
    EXPECT_EQ(w.toolTipDuration(), c.want) << c.own;
  }
}

}  // namespace
}  // namespace vex
