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
  EXPECT_EQ(v.at(1), 0x6554);
  EXPECT_EQ(v.at(2), 0x0854);
  EXPECT_EQ(v.at(3), 0x6554);
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

// The program itself: `vexemu --model vex324 --tcp <port>` and `--serial`, then mbpoll.
TEST(EmuMbpoll, ProgramServesTcpAndSerial) {
  const std::string mb = Mbpoll();
  const std::string exe = std::string(VEX_BINARY_DIR) + "/vexemu";
  if (mb.empty()) GTEST_SKIP() << "mbpoll is not installed";
  if (!std::filesystem::exists(exe)) GTEST_SKIP() << "vexemu is not built";
  const std::string out = std::string(VEX_BINARY_DIR) + "/emu_mbpoll_" + std::to_string(getpid()) + ".txt";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (!freopen(out.c_str(), "w", stdout)) _exit(2);
    execl(exe.c_str(), exe.c_str(), "--model", "vex936", "--tcp", "0", "--serial", "--baud", "38400",
          nullptr);
    _exit(127);
  }
  std::string text;
  const int64_t end = Ms() + 3000;
  while (text.find("serial ") == std::string::npos && Ms() < end) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::ifstream f(out);
    text.assign(std::istreambuf_iterator<char>(f), {});
  }
  std::smatch m1, m2;
  const bool tcp = std::regex_search(text, m1, std::regex(R"(tcp 127\.0\.0\.1:(\d+))"));
  const bool pty = std::regex_search(text, m2, std::regex(R"(serial (\S+) 38400)"));
  std::map<int, int> a, b;
  if (tcp) a = Values(Shell(mb + " -m tcp -p " + m1[1].str() + " -a 1 -r 3 -c 1 -1 127.0.0.1"));
  if (pty) b = Values(Shell(mb + " -m rtu -b 38400 -P none -o 0.5 -a 238 -r 1 -c 2 -1 " + m2[1].str()));
  kill(pid, SIGTERM);
  int status = 0;
  waitpid(pid, &status, 0);
  std::remove(out.c_str());
  ASSERT_TRUE(tcp) << text;
  ASSERT_TRUE(pty) << text;
  EXPECT_EQ(a[3], 0x6E8A);
  EXPECT_EQ(b[1], 0x6E8A);
  EXPECT_EQ(b[2], 0x088A);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;  // a clean stop on SIGTERM
}

}  // namespace
}  // namespace vex::emu::test
