// vexcli firmware upload through the device's bootloader and the production run, on the same
// core objects as the program's "Fw Upload" and "Production" windows.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/Commands.h"
#include "cli/LinkHub.h"
#include "config/VexCfg.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"
#include "firmware/Prod.h"
#include "firmware/ProdEditor.h"
#include "shell/Instances.h"

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
constexpr int kExitRefused = 2;  // a check of the run refused the board or the files
constexpr int kExitDevice = 3;   // the device, the link or a file failed

// Messages of the run's checks: the board and its files were refused before anything was sent.
bool RefusedByCheck(const std::string& m) {
  static const char* const checks[] = {
      "Target model incompatible",  "Boot version incompatible",      "Model file missing",
      "Firmware file missing",      "Firmware model mismatch",        "Model mismatch",
      "Boot version not supported", "Firmware version not supported", "Target Already Produced"};
  for (const char* c : checks)
    if (m.rfind(c, 0) == 0) return true;
  return m.find("Range Check") != std::string::npos;  // a production number out of the model's bounds
}

// The question of the run answered by --yes; there are no file dialogs on the command line.
struct CliAnswers : IProdDialogs {
  bool yes = false;
  bool OpenFile(TProdDialog&) override { return false; }
  bool AskYes(const std::string& q) override {
    std::cerr << q << (yes ? " Yes (--yes)" : " Cancel (no --yes)") << "\n";
    return yes;
  }
};

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

// Upload progress of the loader on stderr; Ctrl+C cancels after the block under way.
void Watch(TLoader1& loader, TPorts1& ports, Progress& progress, InterruptGuard& interrupt,
           std::string& line1, std::string& line2) {
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
  ports.ProcessMessages = [&] {
    if (interrupt.Requested() && loader.Running && !loader.ModalResult) loader.Button1Click();
  };
}

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
      Watch(loader, h.p, progress, interrupt, line1, line2);
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

  // produce
  {
    struct Opts {
      LinkOptions link;
      std::string model, modelFile, firmware, logDir;
      int userId = -1;
      bool yes = false;
    };
    auto o = std::make_shared<Opts>();
    CLI::App* c = app.add_subcommand(
        "produce",
        "The production run of a board (\"Production\"): identify it, flash the firmware when it runs\n"
        "another, write the model file's configuration, give a new board the next production number\n"
        "and today's date, restart it, read it back, save its backup and log it.\n"
        "Exit codes: 0 produced; 2 refused by a check (board model, boot revision, files, firmware\n"
        "compatibility, already produced without --yes, number out of range): nothing written;\n"
        "3 the device, the link or a file failed; 130 cancelled with Ctrl+C during the upload.");
    AddLinkOptions(c, o->link);
    c->add_option("--model", o->model,
                  "Model: vex215 vex216 vex308 vex316 vex324 vex733 vex748 vex924 vex932 vex936")
        ->required();
    c->add_option("--model-file", o->modelFile, "Configuration model file (.eem)")->required();
    c->add_option("--firmware", o->firmware, "Application file (Intel HEX)")->required();
    c->add_option("--user-id", o->userId, "Production number to give a new board instead of the next one");
    c->add_flag("--yes", o->yes, "Answer Yes to \"Already Produced, Update Configuration?\"");
    c->add_option("--log-dir", o->logDir,
                  "Folder below which <Model>/<Model>prod.ini and <Model>/Config/SN*.eep are kept "
                  "(default: the program's folder)");
    c->callback([o] {
      const TVexModel model = ModelByName(o->model);
      const TVexModelInfo& info = VexModelInfo(model);
      TPorts1 ports;
      LogPrinter printer;
      ApplyLinkOptions(ports, o->link, &printer);
      auto link = MakeMainLink(ports);
      NoDesktop desktop;
      TMain1 main(*link, desktop);
      TMixer1 mixer;
      if (o->link.log) mixer.Mesaj = [&ports](const std::string& m) { ports.Mesaj(m); };
      TLoader1 loader(ports);
      TIsaMaps1 isa;
      TVexCfg1 editor(CfgMember(model), ports, main, isa);
      editor.DataDir = o->logDir;
      TProdEditor ed(editor);
      TVexProd1 prod(ProdMember(info.name), ports, main, mixer, loader);
      CliAnswers answers;
      answers.yes = o->yes;
      prod.DataDir = o->logDir;
      prod.Editor = &ed;
      prod.Dialogs = &answers;
      Progress progress;
      InterruptGuard interrupt;
      std::string line1, line2, status;
      Watch(loader, ports, progress, interrupt, line1, line2);
      prod.Changed = [&] {
        if (prod.Status.Text() == status) return;
        status = prod.Status.Text();
        if (!status.empty() && status.rfind("Error: ", 0) != 0) progress.Line(status);
      };
      prod.FormShow();
      // the log keeps full paths, as the window's file dialogs give them
      std::error_code ec;
      prod.ModelFile.SetText(std::filesystem::absolute(o->modelFile, ec).string());
      prod.FirmwareFile.SetText(std::filesystem::absolute(o->firmware, ec).string());
      if (o->userId >= 0) {
        prod.UserIdBox.State = cbChecked;
        prod.UserId.SetText(std::to_string(o->userId));
      }
      try {
        prod.Button1Click();
      } catch (const Exception& e) {
        progress.End();
        std::cerr << e.what() << "\n";
        throw CLI::RuntimeError(interrupt.Requested()      ? kExitCancelled
                                : RefusedByCheck(e.what()) ? kExitRefused
                                                           : kExitDevice);
      }
      progress.End();
      std::cout << "Prod ID: " << prod.ProdId.Text() << "\n";
      std::cout << "Prod Date: " << prod.ProdDate.Text() << "\n";
      std::cout << "Next ID: " << prod.NextId.Text() << "\n";
      std::cout << "Log: " << prod.LogFile() << " [Products] " << prod.ProductKey() << "\n";
      std::cout << "Status: " << prod.Status.Text() << "\n";
    });
  }
}

}  // namespace vex::cli
