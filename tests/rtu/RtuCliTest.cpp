// vexcli rtu as a user runs it, against the simulated RTU: the file table, uploads and downloads,
// erases that need --yes, the two generators and the monitor, with their JSON output and exit codes.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include "tests/rtu/RtuRig.h"

namespace vex {
namespace {

using rtutest::Rig;
using rtutest::RtuFile;

struct Result {
  int rc;
  std::string out, err;
};

struct CliRig : Rig {
  Result Run(const std::string& args) {
    const std::string o = dir.File("out.txt"), e = dir.File("err.txt");
    const std::string cmd = std::string(VEX_BINARY_DIR) + "/vexcli " + args + " --ini " +
                            dir.File("none.ini") + " --tcp 127.0.0.1:" + std::to_string(emu->TcpPort()) +
                            " >" + o + " 2>" + e;
    const int st = std::system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, fwtest::ReadText(o), fwtest::ReadText(e)};
  }
  // Commands without a link.
  Result Local(const std::string& args) {
    const std::string o = dir.File("out.txt"), e = dir.File("err.txt");
    const std::string cmd = std::string(VEX_BINARY_DIR) + "/vexcli " + args + " >" + o + " 2>" + e;
    const int st = std::system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, fwtest::ReadText(o), fwtest::ReadText(e)};
  }
};

TEST(RtuCli, UploadDownloadAndTheFileTable) {
  CliRig r;
  const ByteStr file = RtuFile(3000, 0x6122);
  const std::string up = r.dir.Write("Stn1.rtua", file);
  Result u = r.Run("rtu upload " + up + " --json");
  ASSERT_EQ(u.rc, 0) << u.err;
  const auto j = nlohmann::json::parse(u.out);
  EXPECT_EQ(j["kind"], "Applic");
  EXPECT_EQ(j["bytes"], 3000);
  EXPECT_EQ(j["blocks"], 47);
  EXPECT_EQ(j["status"], "Uploading 47 / 47 Complete.");
  EXPECT_EQ(j["device_size"], 3000);
  EXPECT_EQ(j["device_status"], 0);
  EXPECT_NE(u.err.find("100% Uploading"), std::string::npos) << "plain progress lines when piped: " << u.err;

  Result f = r.Run("rtu files --json");
  ASSERT_EQ(f.rc, 0) << f.err;
  const auto t = nlohmann::json::parse(f.out)["files"];
  ASSERT_EQ(t.size(), 6u);
  EXPECT_EQ(t[0]["slot"], "F1");
  EXPECT_EQ(t[0]["name"], "Applic File");
  EXPECT_EQ(t[0]["version"], "61.034");
  EXPECT_EQ(t[0]["size"], 3000);
  EXPECT_EQ(t[0]["ban"], 0);
  EXPECT_EQ(t[1]["slot"], "B1");
  EXPECT_EQ(t[2]["size"], 0);
  Result plain = r.Run("rtu files");
  EXPECT_NE(plain.out.find("F1- Applic File 61.034"), std::string::npos) << plain.out;

  const std::string down = r.dir.File("d.rtua");
  Result d = r.Run("rtu download app " + down);
  ASSERT_EQ(d.rc, 0) << d.err;
  EXPECT_EQ(d.out, "File Download complete...\n");
  EXPECT_EQ(fwtest::ReadText(down), file);

  // an explicit kind overrides the extension; an unknown extension needs one
  const std::string odd = r.dir.Write("cfg.bin", "configuration text");
  EXPECT_EQ(r.Run("rtu upload " + odd).rc, 1);
  Result k = r.Run("rtu upload " + odd + " --kind config");
  EXPECT_EQ(k.rc, 0) << k.err;
}

TEST(RtuCli, RefusalsAndErases) {
  CliRig r;
  const std::string big = r.dir.Write("big.rtua", ByteStr(cRtuMemMax + 1, 'b'));
  Result b = r.Run("rtu upload " + big);
  EXPECT_EQ(b.rc, 1);
  EXPECT_NE(b.err.find("File is too big=1048577 max=1048576"), std::string::npos) << b.err;
  Result no = r.Run("rtu erase app");
  EXPECT_EQ(no.rc, 1);
  EXPECT_NE(no.err.find("Erase Applic File: give --yes to confirm"), std::string::npos) << no.err;
  Result bad = r.Run("rtu erase nothing --yes");
  EXPECT_EQ(bad.rc, 1);
  EXPECT_EQ(r.Run("rtu upload " + r.dir.Write("a.rtua", RtuFile(500, 0x6101))).rc, 0);
  Result e = r.Run("rtu erase app --yes");
  ASSERT_EQ(e.rc, 0) << e.err;
  EXPECT_NE(e.out.find("F1- Applic File 00.000  0      0 "), std::string::npos) << e.out;
  Result ev = r.Run("rtu erase events --yes");
  EXPECT_EQ(ev.rc, 0) << ev.err;
  uint16_t ers = 0;
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    ers = r.Rtu().FilErs();
  }
  EXPECT_EQ(ers, 136);
}

TEST(RtuCli, MonitorOnceAsJson) {
  CliRig r;
  r.Control("errors NvrErr=30");
  r.Control("irig 9");
  Result m = r.Run("rtu monitor --once --json");
  ASSERT_EQ(m.rc, 0) << m.err;
  const auto j = nlohmann::json::parse(m.out);
  EXPECT_EQ(j["system_status"], "153 - running");
  EXPECT_EQ(j["nvram_error"], "30 - nvram test fail");
  EXPECT_EQ(j["irigb_quality"], "9 - Weak <100ms");
  EXPECT_EQ(j["ip_address"], "127.0.0.1");
  EXPECT_EQ(j["mac_address"], "02:00:A3:12:34:56");
  ASSERT_EQ(j["sockets"].size(), 11u);
  EXPECT_EQ(j["sockets"][0]["status"], "101 - connected");
  EXPECT_EQ(j["sockets"][10]["socket"], "11 - 0");
  for (const auto& f : cRtu3Fields) EXPECT_TRUE(j.contains(f.Key)) << f.Key;
  Result text = r.Run("rtu monitor --once");
  ASSERT_EQ(text.rc, 0);
  EXPECT_NE(text.out.find("  NvRam Error:        30 - nvram test fail"), std::string::npos) << text.out;
  EXPECT_NE(text.out.find("Network Sockets"), std::string::npos);
}

TEST(RtuCli, GeneratorsWriteTheirFiles) {
  CliRig r;
  const std::string hex = r.dir.Write(
      "v308.hex",
      fwtest::Lines({fwtest::Data(0x800, {0, 0, 0, 0, 0, 0, 0x58, 20, 1, 2, 3, 4}), fwtest::kEof}));
  Result e = r.Local("rtu encap --slot 3=" + hex + " -o " + r.dir.File("m.rtum"));
  ASSERT_EQ(e.rc, 0) << e.err;
  const ByteStr m = fwtest::ReadText(r.dir.File("m.rtum"));
  EXPECT_EQ(m.size(), 64u + 128 + 32 + 8);
  EXPECT_EQ(rtutest::Get16(m, 64 + 8 * 3), 0x1458);
  Result wrong = r.Local("rtu encap --slot 13=" + hex + " -o " + r.dir.File("n.rtum"));
  EXPECT_EQ(wrong.rc, 1);
  EXPECT_NE(wrong.err.find("Firmware Version mismatch: 58.020"), std::string::npos) << wrong.err;
  EXPECT_EQ(r.Local("rtu encap --slot 7=" + hex + " -o " + r.dir.File("n.rtum")).rc, 1);

  const std::string mot = r.dir.Write(
      "a.mot", fwtest::Lines({fwtest::SRec('0', 0, {}),
                              fwtest::SRec('2', 0x1000, {0xCD, 0x00, 0x02, 0x20, 0, 0, 0x61, 0x22, 9, 9}),
                              fwtest::SRec('8', 0x1000, {})}));
  Result a = r.Local("rtu app " + mot + " -o " + r.dir.File("a.rtua"));
  ASSERT_EQ(a.rc, 0) << a.err;
  EXPECT_EQ(fwtest::ReadText(r.dir.File("a.rtua")).size(), 64u + 64 + 8);
  EXPECT_NE(a.err.find("Model=          61.034"), std::string::npos);
  // documented in --help
  Result h = r.Local("rtu --help");
  for (const char* c : {"files", "upload", "download", "erase", "encap", "app", "monitor"})
    EXPECT_NE(h.out.find(c), std::string::npos) << c;
  EXPECT_NE(r.Local("rtu monitor --help").out.find("system_status"), std::string::npos);
}

}  // namespace
}  // namespace vex
