// Runs the built vexcli as a user would and collects its exit code and output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace vex::testing_cli {

struct CliRun {
  int rc = -1;
  std::string out;  // stdout, or stdout and stderr together
};

// `args` go to the shell as written; `withErrors`: stderr joins stdout.
inline CliRun Vexcli(const std::string& args, bool withErrors = true) {
  const std::string cmd =
      std::string(VEX_BINARY_DIR) + "/vexcli " + args + (withErrors ? " 2>&1" : " 2>/dev/null");
  CliRun r;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.out.append(buf.data(), n);
  const int st = ::pclose(p);
  r.rc = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace vex::testing_cli
