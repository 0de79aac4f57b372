// vexcli rtu: the rack RTU's file manager, module firmware encapsulator, application file generator
// and monitor on the command line, driving the same core classes as the program's windows.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <iomanip>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Commands.h"
#include "cli/LinkHub.h"
#include "rtu/Rtu3app.h"
#include "rtu/Rtu3encap.h"
#include "rtu/Rtu3file.h"
#include "rtu/Rtu3sim.h"
#include "shell/Instances.h"
#include "shell/Main.h"

namespace vex::cli {

namespace {

using json = nlohmann::ordered_json;

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

// The hub, the main window's busy check in front of it and the two RTU windows that talk.
struct RtuSession {
  explicit RtuSession(const LinkOptions& o) : hub(o) {}
  Hub hub;
  std::unique_ptr<IMainLink> link = MakeMainLink(hub.p);
  NoDesktop desktop;
  TMain1 main{*link, desktop};
  TRtu3sim1 sim{hub.p, main};
  TRtu3file1 fm{hub.p, main};
};

// Kinds by name and by file extension.
int KindOf(const std::string& name) {
  const std::map<std::string, int> kinds = {{"app", 0}, {"config", 1}, {"encaps", 2}};
  const auto it = kinds.find(name);
  if (it == kinds.end()) throw Exception("Kind '" + name + "' is not one of app, config, encaps");
  return it->second;
}

int KindOfFile(const std::string& file) {
  const size_t dot = file.rfind('.');
  const std::string ext = dot == std::string::npos ? "" : file.substr(dot + 1);
  for (int k = 0; k < 3; ++k)
    if (ext == cRtuKinds[k].Ext) return k;
  throw Exception("Cannot tell the kind of '" + file +
                  "' from its extension (.rtua, .rtuc, .rtum): give --kind");
}

// Progress of a transfer on stderr: a bar on a terminal, a line per tenth when piped.
class Progress {
 public:
  explicit Progress(const TRtu3file1& fm) : fm_(fm), tty_(isatty(STDERR_FILENO) == 1) {}
  void Update() {
    if (!fm_.Transfer || fm_.ProgressMax == 0) return;
    const auto pct = static_cast<int>(100.0 * fm_.ProgressPos / fm_.ProgressMax);
    if (tty_) {
      const auto now = std::chrono::steady_clock::now();
      if (pct == last_ && now - drawn_ < std::chrono::milliseconds(100)) return;
      drawn_ = now;
      const int w = 40, fill = pct * w / 100;
      std::cerr << "\r[" << std::string(static_cast<size_t>(fill), '#')
                << std::string(static_cast<size_t>(w - fill), '.') << "] " << std::setw(3) << pct << "% "
                << fm_.StatusLine << "   " << std::flush;
      bar_ = true;
    } else if (pct / 10 != last_ / 10) {
      std::cerr << pct << "% " << fm_.StatusLine << "\n";
    }
    last_ = pct;
  }
  void End() {
    if (bar_) std::cerr << "\n";
    bar_ = false;
  }

 private:
  const TRtu3file1& fm_;
  bool tty_;
  bool bar_ = false;
  int last_ = -1;
  std::chrono::steady_clock::time_point drawn_{};
};

// Runs a transfer with progress; prints the result.
void Transfer(RtuSession& s, bool json, const std::string& file, int kind, bool upload) {
  Progress bar(s.fm);
  s.fm.Changed = [&] { bar.Update(); };
  const auto t0 = std::chrono::steady_clock::now();
  try {
    if (upload)
      s.fm.FileUpload(cRtuKinds[kind].UploadReg, cRtuKinds[kind].UploadFile, file);
    else
      s.fm.FileDownload(cRtuKinds[kind].DownloadReg, cRtuKinds[kind].DownloadFile, file);
  } catch (...) {
    bar.End();
    std::cerr << s.fm.StatusLine << "\n";
    throw;
  }
  bar.End();
  const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  if (json) {
    const tRtu3file& f = s.fm.Files[upload ? 2 * kind + 1 : 2 * kind];
    std::cout << json::object({{"file", file},
                               {"kind", std::string(cRtuKinds[kind].Name)},
                               {"bytes", s.fm.ProgressMax},
                               {"blocks", (s.fm.ProgressMax + 63) / 64},
                               {"seconds", secs},
                               {"status", s.fm.StatusLine},
                               {"device_size", f.Siz},
                               {"device_status", f.Sta}})
                     .dump(2)
              << "\n";
  } else {
    std::cout << s.fm.StatusLine << "\n";
  }
}

json FileJson(const std::string& slot, const std::string& name, const tRtu3file& f) {
  return json::object({{"slot", slot},
                       {"name", name},
                       {"version", InttoModel(f.Ver)},
                       {"status", f.Sta},
                       {"size", f.Siz},
                       {"space", f.Spc},
                       {"sum", "$" + IntToHex(f.Sum, 8)},
                       {"calc", "$" + IntToHex(f.Cal, 8)},
                       {"ban", f.Ban},
                       {"age", InttoBase(f.Age)},
                       {"age_seconds", f.Age}});
}

void PrintFiles(const TRtu3file1& fm, bool asJson) {
  if (asJson) {
    json rows = json::array();
    for (int r = 1; r <= 6; ++r) {
      const std::string title = fm.Cells[r][0];  // "F1- Applic File"
      rows.push_back(FileJson(title.substr(0, 2), title.substr(4), fm.Files[r - 1]));
    }
    std::cout << json::object({{"files", rows}}).dump(2) << "\n";
    return;
  }
  const int widths[9] = {16, 8, 7, 8, 8, 10, 10, 5, 19};
  for (int r = 0; r <= 6; ++r) {
    std::string line;
    for (int c = 0; c < 9; ++c) {
      std::string cell = fm.Cells[r][c];
      if (c < 8) cell.resize(std::max<size_t>(cell.size() + 1, static_cast<size_t>(widths[c])), ' ');
      line += cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << "\n";
  }
}

json MonitorJson(const TRtu3sim1& sim) {
  json j = json::object();
  for (int i = 0; i < cRtu3FieldCount; ++i) j[cRtu3Fields[i].Key] = sim.Field[i];
  static const char* const keys[9] = {"socket",    "status",      "transaction",  "protocol", "operator",
                                      "remote_ip", "remote_port", "transactions", "errors"};
  json rows = json::array();
  for (int r = 1; r <= cRtu3Sockets; ++r) {
    json row = json::object();
    for (int c = 0; c < 9; ++c) row[keys[c]] = sim.Sockets[r][c];
    rows.push_back(row);
  }
  j["sockets"] = rows;
  return j;
}

void PrintMonitor(const TRtu3sim1& sim) {
  const char* group = "";
  for (int i = 0; i < cRtu3FieldCount; ++i) {
    if (std::string(group) != cRtu3Fields[i].Group) {
      group = cRtu3Fields[i].Group;
      std::cout << group << "\n";
    }
    std::cout << "  " << std::left << std::setw(20) << cRtu3Fields[i].Caption << sim.Field[i] << "\n";
  }
  std::cout << "Network Sockets\n";
  const int widths[9] = {9, 20, 12, 9, 9, 16, 9, 12, 11};
  for (int r = 0; r <= cRtu3Sockets; ++r) {
    std::string line = "  ";
    for (int c = 0; c < 9; ++c) {
      std::string cell = sim.Sockets[r][c];
      cell.resize(std::max<size_t>(cell.size() + 1, static_cast<size_t>(widths[c])), ' ');
      line += cell;
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::cout << line << "\n";
  }
  std::cout << std::flush;
}

volatile std::sig_atomic_t gStop = 0;
void OnStop(int) { gStop = 1; }

CLI::App* RtuCommand(CLI::App* rtu, const char* name, const char* help, std::shared_ptr<LinkOptions>& o) {
  o = std::make_shared<LinkOptions>();
  CLI::App* c = rtu->add_subcommand(name, help);
  AddLinkOptions(c, *o);
  return c;
}

const char* const kExit =
    "Exit codes: 0 success; 1 the operation failed (the system's message on stderr); "
    "2 an unexpected failure; above 100 a command-line error (unknown option, missing argument).";

}  // namespace

void AddRtuCommands(CLI::App& app) {
  CLI::App* rtu = app.add_subcommand("rtu", "Rack RTU: files, module packages, application files, monitor");
  rtu->require_subcommand(1);
  rtu->footer(kExit);

  // files
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = RtuCommand(rtu, "files", "Show the device's file table (\"Check Files\")", o);
    auto asJson = std::make_shared<bool>(false);
    c->add_flag(
        "--json", *asJson,
        "One JSON object: files[] with slot, name, version, status, size, space, sum, calc, ban, age, "
        "age_seconds");
    c->footer(kExit);
    c->callback([o, asJson] {
      RtuSession s(*o);
      s.fm.CheckFiles();
      PrintFiles(s.fm, *asJson);
    });
  }

  // upload
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = RtuCommand(rtu, "upload",
                             "Upload a file into its back slot (B1 application, B2 configuration, B3 module "
                             "package), resuming from the device's size after a failed block",
                             o);
    auto file = std::make_shared<std::string>();
    auto kind = std::make_shared<std::string>();
    auto asJson = std::make_shared<bool>(false);
    c->add_option("file", *file, "File to upload (at most 1048576 bytes)")->required();
    c->add_option("--kind", *kind, "app, config or encaps (default: from the extension .rtua, .rtuc, .rtum)");
    c->add_flag("--json", *asJson,
                "One JSON object: file, kind, bytes, blocks, seconds, status, device_size, device_status");
    c->footer(kExit);
    c->callback([o, file, kind, asJson] {
      const int k = kind->empty() ? KindOfFile(*file) : KindOf(*kind);
      RtuSession s(*o);
      Transfer(s, *asJson, *file, k, true);
    });
  }

  // download
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c =
        RtuCommand(rtu, "download",
                   "Download a device file (F1 application, F2 configuration, F3 module package); the "
                   "PC file is written whole after the last block, an existing one is kept on failure",
                   o);
    auto kind = std::make_shared<std::string>();
    auto file = std::make_shared<std::string>();
    auto asJson = std::make_shared<bool>(false);
    c->add_option("kind", *kind, "app, config or encaps")->required();
    c->add_option("file", *file, "File to write")->required();
    c->add_flag("--json", *asJson,
                "One JSON object: file, kind, bytes, blocks, seconds, status, device_size, "
                "device_status");
    c->footer(kExit);
    c->callback([o, kind, file, asJson] {
      const int k = KindOf(*kind);
      RtuSession s(*o);
      Transfer(s, *asJson, *file, k, false);
    });
  }

  // erase
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c = RtuCommand(rtu, "erase",
                             "Erase device files (app, config, encaps, all), the whole flash (flash) or the "
                             "events and NvRam (events), then wait for the device and show the file table",
                             o);
    auto what = std::make_shared<std::string>();
    auto yes = std::make_shared<bool>(false);
    c->add_option("what", *what, "app, config, encaps, all, flash or events")->required();
    c->add_flag("--yes", *yes, "Confirm: the erased data is lost");
    c->footer(kExit);
    c->callback([o, what, yes] {
      const std::map<std::string, int> names = {{"app", 0}, {"config", 1}, {"encaps", 2},
                                                {"all", 3}, {"flash", 4},  {"events", 5}};
      const auto it = names.find(*what);
      if (it == names.end())
        throw Exception("'" + *what + "' is not one of app, config, encaps, all, flash, events");
      if (!*yes) throw Exception(std::string(cRtuErases[it->second].Caption) + ": give --yes to confirm");
      RtuSession s(*o);
      s.main.SrvMod = true;  // confirmed on the command line
      s.fm.EraseClick(it->second);
      PrintFiles(s.fm, false);
    });
  }

  // encap
  {
    CLI::App* c =
        rtu->add_subcommand("encap", "Build a module package (.rtum) from module firmware HEX files");
    auto slots = std::make_shared<std::vector<std::string>>();
    auto out = std::make_shared<std::string>();
    std::string help = "Module image as SLOT=FILE.hex (repeatable); slots:";
    for (const auto& r : cEncapRows) help += " " + std::to_string(r.Slot) + " " + r.Caption;
    c->add_option("--slot", *slots, help)->required();
    c->add_option("-o,--output", *out, "Module package file to write")->required();
    c->footer(kExit);
    c->callback([slots, out] {
      TMixer1 mixer;
      TRtu3encap1 enc(mixer);
      enc.Mesaj = mixer.Mesaj = [](const std::string& m) { std::cerr << m << "\n"; };
      for (const std::string& s : *slots) {
        const size_t eq = s.find('=');
        int64_t n = -1;
        if (eq == std::string::npos || !TryStrToInt(s.substr(0, eq), n))
          throw Exception("--slot takes SLOT=FILE: " + s);
        int row = -1;
        for (size_t i = 0; i < cEncapRows.size(); ++i)
          if (cEncapRows[i].Slot == n) row = static_cast<int>(i);
        if (row < 0) throw Exception("No module slot " + std::to_string(n) + " (0-6, 12, 13)");
        enc.Files[static_cast<size_t>(row)].SetText(s.substr(eq + 1));
        enc.Ticks[static_cast<size_t>(row)] = true;
      }
      enc.Output.SetText(*out);
      enc.ProcessFiles();
      std::cout << "Complete: " << *out << "\n";
    });
  }

  // app
  {
    CLI::App* c = rtu->add_subcommand("app", "Build an RTU application file (.rtua) from its S-record image");
    auto mot = std::make_shared<std::string>();
    auto out = std::make_shared<std::string>();
    c->add_option("file", *mot, "S-record image (.mot)")->required();
    c->add_option("-o,--output", *out, "Application file to write")->required();
    c->footer(kExit);
    c->callback([mot, out] {
      TMixer1 mixer;
      TRtu3app1 gen(mixer);
      gen.Mesaj = mixer.Mesaj = [](const std::string& m) { std::cerr << m << "\n"; };
      gen.Firmware.SetText(*mot);
      gen.Output.SetText(*out);
      gen.ProcessFiles();
      std::cout << "Complete: " << *out << "\n";
    });
  }

  // monitor
  {
    std::shared_ptr<LinkOptions> o;
    CLI::App* c =
        RtuCommand(rtu, "monitor",
                   "The \"BRIX-3000 Simulator\" screen: status, clocks, network and sockets, refreshed "
                   "every fifteen polls until interrupted",
                   o);
    auto once = std::make_shared<bool>(false);
    auto asJson = std::make_shared<bool>(false);
    std::string keys;
    for (const auto& f : cRtu3Fields) keys += std::string(keys.empty() ? "" : ", ") + f.Key;
    c->add_flag("--once", *once, "One round of fifteen polls, then print and end");
    c->add_flag(
        "--json", *asJson,
        "One JSON object per round: " + keys +
            ", sockets[] with socket, status, transaction, protocol, operator, remote_ip, remote_port, "
            "transactions, errors");
    c->footer(kExit);
    c->callback([o, once, asJson] {
      RtuSession s(*o);
      s.sim.CheckBox1.Checked = true;
      s.sim.CheckBox1.Click();
      if (s.hub.p.BotMod != cRtu3Fid) throw Exception("Target model incompatible");
      gStop = 0;
      auto old = std::signal(SIGINT, OnStop);
      std::signal(SIGTERM, OnStop);
      do {
        for (int i = 0; i < 15 && !gStop; ++i) s.sim.DoSimul();
        if (gStop) break;
        if (*asJson)
          std::cout << MonitorJson(s.sim).dump(*once ? 2 : -1) << std::endl;
        else
          PrintMonitor(s.sim);
      } while (!*once && !gStop);
      std::signal(SIGINT, old);
      std::signal(SIGTERM, SIG_DFL);
    });
  }
}

}  // namespace vex::cli
