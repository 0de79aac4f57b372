// An independent Modbus master (mbpoll) reads the identification registers of the
// simulator program over TCP and over the pseudo-terminal. Skipped when mbpoll is missing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>

#include "tests/emu/EmuHelp.h"

namespace vex::emu::test {
namespace {

std::string Mbpoll() {
  for (const char* d : {"/usr/bin/mbpoll", "/usr/local/bin/mbpoll"})
    if (access(d, X_OK) == 0) return d;
  return {};
}

// Runs a command, returns its standard output.
std::string Shell(const std::string& cmd) {
  std::string out;
  FILE* f = popen((cmd + " 2>&1").c_str(), "r");
  if (!f) return out;
  char b[512];
  size_t n;
  while ((n = fread(b, 1, sizeof b, f)) > 0) out.append(b, n);
  pclose(f);
  return out;
}

// "[1]: \t25940" lines of mbpoll's output: register number (1-based) -> value.
std::map<int, int> Values(const std::string& out) {
  std::map<int, int> v;
  const std::regex line(R"(\[(\d+)\]:\s+(-?\d+))");
  for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
    v[std::stoi((*it)[1])] = std::stoi((*it)[2]);
  return v;
}

TEST(EmuMbpoll, ReadsIdentificationOverTcpInProcess) {
  const std::string mb = Mbpoll();
  if (mb.empty()) GTEST_SKIP() << "mbpoll is not installed";
  auto s = StartEmu("vex324", {});
  const auto v =
      Values(Shell(mb + " -m tcp -p " + std::to_string(s->TcpPort()) + " -a 1 -r 1 -c 16 -1 127.0.0.1"));
  ASSERT_EQ(v.size(), 16u);
  EXPECT_EQ(v.at(1), 0x6654);
  EXPECT_EQ(v.at(2), 0x0854);
  EXPECT_EQ(v.at(3), 0x6654);
  EXPECT_EQ(v.at(14), 1);
  EXPECT_EQ(v.at(16), 0);
}

TEST(EmuMbpoll, ReadsIdentificationOverThePseudoTerminal) {
  const std::string mb = Mbpoll();
  if (mb.empty()) GTEST_SKIP() << "mbpoll is not installed";
  ServerOptions o;
  o.serial = true;
  o.baud = 57600;
  auto s = StartEmu("brix3", o);
  const std::string base = mb + " -m rtu -b 57600 -P none -o 0.5 -a 238 -r 1 -c 4 -1 " + s->PtyPath();
  const auto v = Values(Shell(base));
  ASSERT_EQ(v.size(), 4u);
  EXPECT_EQ(v.at(1), 0x0160);
  EXPECT_EQ(v.at(2), 0x2260);
  // another bit rate than the device's gets no answer
  const auto none = Values(Shell(mb + " -m rtu -b 19200 -P none -o 0.3 -a 238 -r 1 -c 4 -1 " + s->PtyPath()));
  EXPECT_TRUE(none.empty());
}

// The vexemu program started with its arguments; its first lines of output are read until
// `until` shows up (or 3 s passed). The destructor stops it with SIGTERM.
struct Program {
  pid_t pid = -1;
  std::string out, text;
  int status = -1;

  Program(const std::vector<std::string>& args, const std::string& until) {
    const std::string exe = std::string(VEX_BINARY_DIR) + "/vexemu";
    out = std::string(VEX_BINARY_DIR) + "/emu_mbpoll_" + std::to_string(getpid()) + ".txt";
    std::vector<std::string> argv{exe};
    argv.insert(argv.end(), args.begin(), args.end());
    pid = fork();
    if (pid == 0) {
      if (!freopen(out.c_str(), "w", stdout)) _exit(2);
      dup2(fileno(stdout), 2);  // the reasons of a refusal too
      std::vector<char*> a;
      for (std::string& s : argv) a.push_back(s.data());
      a.push_back(nullptr);
      execv(exe.c_str(), a.data());
      _exit(127);
    }
    const int64_t end = Ms() + 3000;
    while (pid > 0 && text.find(until) == std::string::npos && Ms() < end) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      std::ifstream f(out);
      text.assign(std::istreambuf_iterator<char>(f), {});
    }
  }
  int Stop() {
    if (pid > 0) {
      kill(pid, SIGTERM);
      waitpid(pid, &status, 0);
      pid = -1;
      std::remove(out.c_str());
    }
    return status;
  }
  ~Program() { Stop(); }
  std::string Tcp() const {
    std::smatch m;
    return std::regex_search(text, m, std::regex(R"(tcp 127\.0\.0\.1:(\d+))")) ? m[1].str() : "";
  }
};

bool CanRunProgram(std::string& why) {
  if (Mbpoll().empty())
    why = "mbpoll is not installed";
  else if (!std::filesystem::exists(std::string(VEX_BINARY_DIR) + "/vexemu"))
    why = "vexemu is not built";
  return why.empty();
}

// The program itself: `vexemu --model vex324 --tcp <port>` and `--serial`, then mbpoll.
TEST(EmuMbpoll, ProgramServesTcpAndSerial) {
  std::string why;
  if (!CanRunProgram(why)) GTEST_SKIP() << why;
  const std::string mb = Mbpoll();
  Program p({"--model", "vex936", "--tcp", "0", "--serial", "--baud", "38400"}, "serial ");
  ASSERT_GT(p.pid, 0);
  std::smatch m2;
  const std::string port = p.Tcp();
  const bool pty = std::regex_search(p.text, m2, std::regex(R"(serial (\S+) 38400)"));
  std::map<int, int> a, b;
  if (!port.empty()) a = Values(Shell(mb + " -m tcp -p " + port + " -a 1 -r 3 -c 1 -1 127.0.0.1"));
  if (pty) b = Values(Shell(mb + " -m rtu -b 38400 -P none -o 0.5 -a 238 -r 1 -c 2 -1 " + m2[1].str()));
  const int status = p.Stop();
  ASSERT_FALSE(port.empty()) << p.text;
  ASSERT_TRUE(pty) << p.text;
  EXPECT_EQ(a[3], 0x6E8A);
  EXPECT_EQ(b[1], 0x6E8A);
  EXPECT_EQ(b[2], 0x088A);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;  // a clean stop on SIGTERM
}

// The factory registers 11..14 as the identification options set them; a new board (unique
// ID 0, no date) is what the production run numbers and dates.
struct IdentityCase {
  std::vector<std::string> args;
  int reg11, reg12, reg13, reg14;
};
const IdentityCase kIdentities[] = {
    {{}, 0x3C00, 0x2E0A, 1, 1},
    {{"--unique-id", "0"}, 0, 0, 0, 1},
    {{"--unique-id", "0", "--mfg-date", "600000000"}, 0x4600, 0x23C3, 0, 1},
    {{"--unique-id", "65530", "--slave", "31"}, 0x3C00, 0x2E0A, 65530, 31},
};

TEST(EmuMbpoll, ProgramIdentityOptions) {
  std::string why;
  if (!CanRunProgram(why)) GTEST_SKIP() << why;
  for (const IdentityCase& c : kIdentities) {
    std::vector<std::string> args{"--model", "vex324", "--tcp", "0"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    SCOPED_TRACE(c.args.empty() ? "defaults" : c.args[0] + " " + c.args[1]);
    Program p(args, "tcp ");
    ASSERT_FALSE(p.Tcp().empty()) << p.text;
    auto v = Values(Shell(Mbpoll() + " -m tcp -p " + p.Tcp() + " -a 1 -r 12 -c 4 -1 127.0.0.1"));
    ASSERT_EQ(v.size(), 4u);
    EXPECT_EQ(v.at(12) & 0xFFFF, c.reg11);
    EXPECT_EQ(v.at(13) & 0xFFFF, c.reg12);
    EXPECT_EQ(v.at(14) & 0xFFFF, c.reg13);
    EXPECT_EQ(v.at(15), c.reg14);
  }
  // out of range: refused with its reason
  Program bad({"--model", "vex324", "--tcp", "0", "--unique-id", "65531"}, "range");
  EXPECT_NE(bad.text.find("Unique ID out of range [0..65530]"), std::string::npos) << bad.text;
}

}  // namespace
}  // namespace vex::emu::test
