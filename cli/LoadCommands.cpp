// vexcli firmware upload through the device's bootloader and the production run, on the same
// core objects as the program's "Fw Upload" and "Production" windows.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/LinkHub.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"

namespace vex::cli {

namespace {

// Ctrl+C asks the running operation to stop after its current step; a second one ends the
// program at once.
std::atomic<int> gInterrupts{0};
void OnInterrupt(int) {
  if (gInterrupts.fetch_add(1) >= 1) _exit(130);
}
struct InterruptGuard {
  struct sigaction old {};
  InterruptGuard() {
    gInterrupts = 0;
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &old);
  }
  ~InterruptGuard() { sigaction(SIGINT, &old, nullptr); }
  bool Requested() const { return gInterrupts.load() > 0; }
};

// Progress of a transfer on stderr: a bar on a terminal, a line per tenth otherwise.
class Progress {
 public:
  Progress() : tty_(isatty(STDERR_FILENO) != 0) {}
  void Show(int64_t pos, int64_t max, const std::string& text) {
    if (max <= 0) return;
    const int pct = static_cast<int>(pos * 100 / max);
    if (tty_) {
      const int filled = pct * 30 / 100;
      std::fprintf(stderr, "\r[%s%s] %3d%%  %s\033[K", std::string(static_cast<size_t>(filled), '#').c_str(),
                   std::string(static_cast<size_t>(30 - filled), ' ').c_str(), pct, text.c_str());
      open_ = true;
    } else if (pct / 10 != last_ / 10 || pct == 100) {
      if (pct != last_) std::fprintf(stderr, "upload %d%%\n", pct);
    }
    last_ = pct;
    std::fflush(stderr);
  }
  void Line(const std::string& s) {
    End();
    std::fprintf(stderr, "%s\n", s.c_str());
  }
  void End() {
    if (open_) std::fputc('\n', stderr);
    open_ = false;
  }

 private:
  bool tty_;
  bool open_ = false;
  int last_ = -1;
};

constexpr int kExitCancelled = 130;

}  // namespace

void AddLoadCommands(CLI::App& app) {
  // upload
  {
    auto o = std::make_shared<LinkOptions>();
    auto file = std::make_shared<std::string>();
    auto seg = std::make_shared<std::string>("auto");
    CLI::App* c = app.add_subcommand(
        "upload",
        "Upload an application HEX file through the device's bootloader (\"Fw Upload\").\n"
        "Exit codes: 0 the new application runs; 1 the upload failed (the message on stderr);\n"
        "130 cancelled with Ctrl+C (after the block under way; the board stays in its bootloader).");
    AddLinkOptions(c, *o);
    c->add_option("file", *file, "Application file (Intel HEX)")->required()->check(CLI::ExistingFile);
    c->add_option("--seg", *seg, "Segment size: auto (from the identification), 32 or 64")
        ->check(CLI::IsMember({"auto", "32", "64"}))
        ->capture_default_str();
    c->callback([o, file, seg] {
      Hub h(*o);
      TMixer1 mixer;
      if (o->log) mixer.Mesaj = [&h](const std::string& m) { h.p.Mesaj(m); };
      TLoader1 loader(h.p);
      Progress progress;
      InterruptGuard interrupt;
      std::string line1, line2;
      loader.Changed = [&] {
        if (loader.Line1 != line1) {
          line1 = loader.Line1;
          if (!line1.empty() && line1.rfind("Error: ", 0) != 0 &&
              line1.find(" Complete... ") == std::string::npos)
            progress.Line(line1);
        }
        if (loader.Line2 != line2) {
          line2 = loader.Line2;
          if (line2.rfind("Process= ", 0) == 0)
            progress.Show(loader.ProgressPos, loader.ProgressMax, line2);
          else if (!line2.empty())
            progress.Line(line2);
        }
      };
      h.p.ProcessMessages = [&] {
        if (interrupt.Requested() && !loader.ModalResult) loader.Button1Click();
      };
      h.p.Button1Click();  // "Discovery": the segment size of the board
      if (*seg != "auto") h.p.SegSiz = std::stoi(*seg);
      mixer.HexLoader(*file, false, true, static_cast<uint32_t>(std::max(h.p.SegSiz, 0)));
      try {
        loader.Upload({mixer.Map + mixer.AppBeg, static_cast<size_t>(cRomSiz - mixer.AppBeg)}, 0x80, true);
      } catch (const Exception& e) {
        progress.End();
        if (interrupt.Requested()) {
          std::cerr << e.what() << "\n";
          throw CLI::RuntimeError(kExitCancelled);
        }
        throw;
      }
      progress.End();
      std::cout << loader.Line1 << "\n";
      std::cout << "App ID: " << h.p.AppId << "\n";
    });
  }
}

}  // namespace vex::cli
