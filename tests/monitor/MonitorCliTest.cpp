// vexcli monitor, key, sync-time, events and erase-events against simulated devices.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "tests/emu/EmuHelp.h"

namespace vex::simtest {
namespace {

struct CliRun {
  int rc;
  std::string out, err;
};

CliRun Vexcli(const std::string& args) {
  const std::string errFile =
      std::filesystem::temp_directory_path() / ("vexcli-err-" + std::to_string(::getpid()));
  const std::string cmd = std::string(VEX_BINARY_DIR) + "/vexcli " + args + " --ini /dev/null 2>" + errFile;
  CliRun r{-1, "", ""};
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  if (FILE* e = std::fopen(errFile.c_str(), "r")) {
    while ((n = std::fread(buf.data(), 1, buf.size(), e)) > 0) r.err.append(buf.data(), n);
    std::fclose(e);
  }
  std::filesystem::remove(errFile);
  return r;
}

class MonitorCli : public ::testing::Test {
 protected:
  void Start(const std::string& model, int edition = -1) {
    emu = emu::test::StartEmu(model, {}, edition);
    link = " --tcp 127.0.0.1:" + std::to_string(emu->TcpPort());
  }
  nlohmann::json Once() {
    const CliRun r = Vexcli("monitor --once --json" + link);
    EXPECT_EQ(r.rc, 0) << r.err;
    return nlohmann::json::parse(r.out);
  }
  std::unique_ptr<emu::EmuServer> emu;
  std::string link;
};

struct JsonCase {
  const char* model;
  const char* name;
  int windows;
  std::vector<std::string> outputs;  // keys of "outputs"
  bool clock;                        // device_time is given
};

class MonitorJson : public MonitorCli, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(MonitorJson, OnceJsonHasTheDocumentedKeys) {
  const JsonCase& c = GetParam();
  Start(c.model);
  emu->Control("set 2");
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  const nlohmann::json j = Once();
  EXPECT_EQ(j["model"], c.name);
  EXPECT_TRUE(j["flags"].is_number());
  EXPECT_TRUE(j["lamps"]["T"].is_string());
  EXPECT_TRUE(j["lamps"]["H"].is_string());
  std::vector<std::string> keys;
  for (auto& [k, v] : j["outputs"].items()) {
    keys.push_back(k);
    EXPECT_TRUE(v.is_boolean()) << k;
  }
  std::vector<std::string> want = c.outputs;
  std::sort(want.begin(), want.end());
  EXPECT_EQ(keys, want);
  EXPECT_TRUE(j["outputs"]["HORN"].get<bool>());  // window 2 in alarm sounds the horn
  ASSERT_EQ(j["windows"].size(), static_cast<size_t>(c.windows));
  EXPECT_EQ(j["windows"][1]["n"], 2);
  EXPECT_EQ(j["windows"][1]["states"], "IAHSF...");
  EXPECT_EQ(j["windows"][0]["states"], "........");
  EXPECT_EQ(j["device_time"].is_string(), c.clock);
  if (c.clock) {
    EXPECT_EQ(j["device_time"].get<std::string>().size(), 21u);
    EXPECT_LT(std::abs(j["difference_ms"].get<int64_t>()), 5000);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Models, MonitorJson,
    ::testing::Values(
        JsonCase{"vex324", "Vex324", 24, {"HORN", "BELL", "FAULT"}, true},
        JsonCase{"vex936", "Vex936", 36, {"HORN", "BELL", "FAULT", "TimeSync", "DXMode"}, true},
        JsonCase{
            "vex308", "Vex308", 8, {"HORN", "BELL", "FAULT", "TimeValid", "Sync", "ExQ", "DXMode"}, true}),
    [](const auto& i) { return std::string(i.param.model); });

TEST_F(MonitorCli, ColourTextsOfTwoAndThreeColourPanels) {
  Start("vex216");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  nlohmann::json j = Once();
  EXPECT_EQ(j["windows"][0]["colour"], "Off");  // a dark two-colour window
  emu.reset();
  Start("vex932");
  j = Once();
  EXPECT_EQ(j["windows"][0]["colour"], "Disabled");  // index 0 on a three-colour window
}

TEST_F(MonitorCli, KeysChangeWhatTheMonitorShows) {
  Start("vex324");
  emu->Control("set 4");
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  CliRun r = Vexcli("key ack" + link);
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(Once()["windows"][3]["states"], "I.H...K.");
  emu->Control("clear 4");
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  r = Vexcli("key reset" + link);
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(Once()["windows"][3]["states"], "........");
}

struct RefusalCase {
  const char* name;
  const char* model;
  const char* args;
  const char* message;
};

class MonitorRefusal : public MonitorCli, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(MonitorRefusal, FailsWithItsMessage) {
  const RefusalCase& c = GetParam();
  Start(c.model);
  const CliRun r = Vexcli(std::string(c.args) + link);
  EXPECT_EQ(r.rc, 1) << r.out;
  EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MonitorRefusal,
    ::testing::Values(RefusalCase{"EraseWithoutYes", "vex324", "erase-events", "Give --yes"},
                      RefusalCase{"WindowOutOfRange", "vex324", "key window 25", "[1 ~ 24]"},
                      RefusalCase{"SyncTimeWithoutClockRecord", "vex216", "sync-time",
                                  "not available on Vex216v2"},
                      RefusalCase{"NotAnAnnunciator", "brix3", "monitor --once", "No live panel"}),
    [](const auto& i) { return std::string(i.param.name); });

TEST_F(MonitorCli, EraseAndEventsAndSyncTime) {
  Start("vex932");
  CliRun r = Vexcli("erase-events --yes" + link);
  ASSERT_EQ(r.rc, 0) << r.err;
  r = Vexcli("events" + link);
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_NE(r.out.find(" ERASELOG"), std::string::npos) << r.out;
  r = Vexcli("sync-time" + link);
  ASSERT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Device time set to ", 0), 0u) << r.out;
  EXPECT_LT(std::abs(Once()["difference_ms"].get<int64_t>()), 1000);
}

}  // namespace
}  // namespace vex::simtest
