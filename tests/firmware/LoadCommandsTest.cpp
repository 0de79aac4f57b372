// vexcli upload and produce against a simulated board, run as a production line script would:
// the exit codes and what they print.
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "tests/firmware/ProdRig.h"

namespace vex::test {
namespace {

const std::string kCli = std::string(VEX_BINARY_DIR) + "/vexcli";

struct CliRun {
  int rc;
  std::string out, err;
};

std::string Slurp(const std::string& f) {
  std::ifstream in(f);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

CliRun Cli(const std::filesystem::path& dir, const std::string& args) {
  const std::string out = (dir / "stdout.txt").string(), err = (dir / "stderr.txt").string();
  const int st = std::system((kCli + " " + args + " >'" + out + "' 2>'" + err + "' </dev/null").c_str());
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, Slurp(out), Slurp(err)};
}

TEST(LoadCommands, UploadAndProduceExitCodes) {
  if (!std::filesystem::exists(kCli)) GTEST_SKIP() << "vexcli not built";
  ProdRig r("Vex324", {.bootWaitMs = 100, .appStartMs = 300});
  {
    std::lock_guard<std::mutex> lock(r.emu->Dev().Mutex());
    r.emu->Dev().SetIdentity(0, 0, 0);
  }
  // a model file as the Vex324 editor reads it
  std::ofstream(r.modelFile) << "[Vex324cfg1]\nLabeledEdit10=1\nLabeledEdit11=25\nLabeledEdit12=30\n";
  const std::string ini = (r.dir / "cli.ini").string();
  std::ofstream(ini) << "[Ports1]\nLabeledEdit34=400\n";
  const std::string link = " --ini '" + ini + "' --tcp 127.0.0.1:" + std::to_string(r.emu->TcpPort());
  const std::string app7 = r.Firmware(0x0754, 3000), app6 = r.Firmware(0x0654, 3000),
                    app5 = r.Firmware(0x0554);
  const std::string plan = " --model-file '" + r.modelFile + "' --log-dir '" + r.dir.string() + "'";
  const struct {
    std::string args;
    int rc;
    std::string outHas, errHas;
  } cases[] = {
      {"upload '" + app6 + "'" + link, 0,
       "Upload Firmware File=80 Mark=54.006 Complete... Elapsed=", "upload 100%"},
      {"upload '" + app6 + "' --seg 64" + link, 0, "App ID: 54.006", "Uploading Application Size=3008 bytes"},
      {"upload '" + r.dir.string() + "/none.hex'" + link, 105, "", "File does not exist"},
      {"produce --model vex324 --firmware '" + app7 + "'" + plan + link, 0, "Prod ID: 65500\n",
       "Production complete..."},
      {"produce --model vex324 --firmware '" + app7 + "'" + plan + link, 2, "", "Target Already Produced"},
      {"produce --model vex324 --yes --firmware '" + app7 + "'" + plan + link, 0, "Next ID: 65501\n", ""},
      {"produce --model vex324 --yes --firmware '" + app5 + "'" + plan + link, 2, "",
       "Firmware version not supported. Boot=54.102 File=54.005"},
      {"produce --model vex308 --firmware '" + app7 + "'" + plan + link, 2, "", "Target model incompatible"},
      {"produce --model vex324 --firmware '" + app7 + "'" + plan + " --ini '" + ini + "' --tcp 127.0.0.1:1",
       3, "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const CliRun run = Cli(r.dir, c.args);
    EXPECT_EQ(run.rc, c.rc) << run.err;
    EXPECT_NE(run.out.find(c.outHas), std::string::npos) << run.out;
    EXPECT_NE(run.err.find(c.errHas), std::string::npos) << run.err;
  }
  EXPECT_TRUE(std::filesystem::exists(r.dir / "Vex324" / "Config" / "SN65500.eep"));
  EXPECT_EQ(r.Reg(13), 65500);
}

}  // namespace
}  // namespace vex::test
