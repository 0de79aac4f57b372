// Load time of the firmware image store: a 128 KiB PIC18F application HEX file and a 256 KiB
// S-record file, generated into a temporary folder, against srec_cat converting the same files
// (the whole process timed, as a user would run it).
//
//   bench_image_load [loads]
#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "firmware/Mixer.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::string Rec(const std::vector<uint8_t>& b, bool intel) {
  static const char d[] = "0123456789ABCDEF";
  unsigned sum = 0;
  std::string s;
  for (uint8_t x : b) {
    s += d[x >> 4];
    s += d[x & 15];
    sum += x;
  }
  const unsigned ck = intel ? (0x100 - (sum & 0xFF)) & 0xFF : ~sum & 0xFF;
  s += d[ck >> 4];
  s += d[ck & 15];
  return s;
}

// Code 0x0020 ... 0x1FFFF (128 KiB less the reserved first 32 bytes) in 16-byte records.
std::string MakeHex() {
  std::string t = ";PIC18F46K22\r\n";
  uint32_t seed = 1;
  for (uint32_t a = 0x20; a < 0x20000; a += 16) {
    if (a == 0x20 || (a & 0xFFFF) == 0) t += ":" + Rec({2, 0, 0, 4, 0, uint8_t(a >> 16)}, true) + "\r\n";
    std::vector<uint8_t> r = {16, uint8_t(a >> 8), uint8_t(a), 0};
    for (int i = 0; i < 16; ++i) r.push_back(uint8_t((seed = seed * 1103515245 + 12345) >> 16));
    t += ":" + Rec(r, true) + "\r\n";
  }
  t += ":020000040030CA\r\n";
  t += ":" +
       Rec({14, 0, 0, 0, 0x00, 0x22, 0x0E, 0x0E, 0x00, 0x81, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40},
           true) +
       "\r\n";
  t += ":00000001FF\r\n";
  return t;
}

// 256 KiB at 0x040000 in 32-byte S2 records.
std::string MakeMot() {
  std::string t = "S0" + Rec({6, 0, 0, 'b', 'n', 'c'}, false) + "\n";
  uint32_t seed = 7;
  for (uint32_t a = 0x40000; a < 0x80000; a += 32) {
    std::vector<uint8_t> r = {36, uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a)};
    for (int i = 0; i < 32; ++i) r.push_back(uint8_t((seed = seed * 1103515245 + 12345) >> 16));
    t += "S2" + Rec(r, false) + "\n";
  }
  t += "S8" + Rec({4, 0x04, 0, 0}, false) + "\n";
  return t;
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Runs srec_cat with args; returns the wall time in ms, or -1 when it is missing or fails.
double RunSrecCat(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::string prog = "srec_cat";
  argv.push_back(prog.data());
  std::vector<std::string> copy = args;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);  // its warnings
  const auto t0 = Clock::now();
  pid_t pid;
  const int rc = posix_spawnp(&pid, "srec_cat", &fa, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  if (rc != 0) return -1;
  int st = 0;
  if (waitpid(pid, &st, 0) < 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) return -1;
  return Ms(Clock::now() - t0);
}

}  // namespace

int main(int argc, char** argv) {
  const int loads = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  std::string dir = (std::filesystem::temp_directory_path() / "vexbench.XXXXXX").string();
  if (!::mkdtemp(dir.data())) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string hex = dir + "/app18f.hex", mot = dir + "/app.s19";
  std::ofstream(hex, std::ios::binary) << MakeHex();
  std::ofstream(mot, std::ios::binary) << MakeMot();

  vex::TMixer1 m;  // allocated once, reused by every load
  struct Job {
    const char* name;
    std::string file;
    bool isMot;
    const char* format;
  } jobs[] = {{"PIC18F HEX, 128 KiB", hex, false, "-Intel"}, {"S-record, 256 KiB", mot, true, "-Motorola"}};

  int status = 0;
  for (const auto& j : jobs) {
    const auto size = std::filesystem::file_size(j.file);
    double best = 1e30, total = 0;
    for (int i = 0; i < loads; ++i) {
      const auto t0 = Clock::now();
      if (j.isMot)
        m.MotLoader(j.file, 64);
      else
        m.HexLoader(j.file, false, true, 64);
      const double t = Ms(Clock::now() - t0);
      best = std::min(best, t);
      total += t;
    }
    double sbest = 1e30, stotal = 0;
    int sruns = 0;
    for (int i = 0; i < std::max(3, loads / 4); ++i) {
      const double t = RunSrecCat({j.file, j.format, "-o", dir + "/out", j.format});
      if (t < 0) break;
      sbest = std::min(sbest, t);
      stotal += t;
      ++sruns;
    }
    std::printf("%-22s file %7ju bytes  store: %7.2f ms/load (best %6.2f, %d loads, code %u bytes)\n", j.name,
                static_cast<uintmax_t>(size), total / loads, best, loads, m.CodeCount);
    if (sruns) {
      std::printf("%-22s %19s  srec_cat: %7.2f ms/run  (best %6.2f, %d runs)  -> store %.1fx faster\n", "",
                  "", stotal / sruns, sbest, sruns, (stotal / sruns) / (total / loads));
      if (total / loads >= stotal / sruns) status = 2;
    } else {
      std::printf("%-22s %19s  srec_cat: not available\n", "", "");
    }
  }
  std::filesystem::remove_all(dir);
  return status;
}
