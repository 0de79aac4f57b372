#include "shell/Main.h"

#define SI_NO_CONVERSION   // plain UTF-8 text
#define SI_IMPLEMENTATION  // header-only use, no extra library
#include <SimpleIni.h>

#include <cctype>
#include <cstdlib>
#include <exception>
#include <filesystem>

#include "shell/Basics.h"

namespace vex {

namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool StartsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

// Last component of a path written with either separator.
std::string FileNameOf(const std::string& path) {
  const size_t k = path.find_last_of("/\\");
  return k == std::string::npos ? path : path.substr(k + 1);
}

std::string FolderOf(const std::string& path) {
  const size_t k = path.find_last_of('/');
  return k == std::string::npos ? std::string() : path.substr(0, k);
}

// Clears a flag when a pass ends, also by an exception.
struct FlagReset {
  bool& flag;
  ~FlagReset() { flag = false; }
};

}  // namespace

// ---- seams ------------------------------------------------------------------

std::optional<int64_t> MapSettingsStore::ReadInt(const std::string& key, const std::string& name) const {
  const auto it = Values.find(key + "\\" + name);
  if (it == Values.end()) return std::nullopt;
  return it->second;
}

bool IsDemoInstallation(const std::string& exePath) {
  // The demonstration folders at the top of the drive, or at the root of a POSIX file system.
  // Only the beginning of the path counts: a folder of that name elsewhere (a working copy in
  // ~/vexsim, an installation in /opt/vexsim) is an ordinary installation.
  const std::string up = Upper(exePath);
  for (const char* prefix : {"C:\\VEXDEMO", "C:\\VEXSIM", "/VEXDEMO", "/VEXSIM"})
    if (StartsWith(up, prefix)) return true;
  return false;
}

bool DeveloperSwitchOn(const char* envValue, const std::string& exeDir) {
  if (envValue && std::string(envValue) == "1") return true;
  std::error_code ec;
  return std::filesystem::exists(std::filesystem::path(exeDir) / "developer.mode", ec);
}

TStartInfo TStartInfo::FromProcess() {
  TStartInfo s;
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  s.ExePath = ec ? (std::filesystem::current_path(ec) / "vexsim").string() : exe.string();
  s.DeveloperSwitch = DeveloperSwitchOn(std::getenv("VEXSIM_DEVELOPER"), FolderOf(s.ExePath));
  return s;
}

// ---- the model pages ------------------------------------------------------------

const std::vector<TModelPage>& TMain1::ModelPages() {
  using C = TCfgAction;
  using S = TSimAction;
  auto annunciator = [](const char* page, const char* unit, const char* io, C cfg, S sim, bool fw = true,
                        bool dev = false) {
    const std::string u = unit;
    TModelPage p;
    p.Caption = page;
    p.Unit = u;
    p.Panel = {std::string("  ") + page, io, "Announciator"};
    p.DeveloperOnly = dev;
    p.FwTool = fw ? u + "prod1" : "";
    p.CfgTool = u + "cfg1";
    p.ProdTool = u + "prod1";
    p.SimTool = u + "sim1";
    p.Cfg = cfg;
    p.Sim = sim;
    return p;
  };
  auto rack = [](const char* page, const char* unit, std::vector<std::string> panel) {
    const std::string u = unit;
    TModelPage p;
    p.Caption = page;
    p.Unit = u;
    p.Panel = std::move(panel);
    p.FwTool = u + "prod1";
    p.CfgTool = u + "cfg1";
    p.ProdTool = u + "prod1";
    p.SimTool = u + "sim1";
    return p;
  };
  static const std::vector<TModelPage> pages = [&] {
    std::vector<TModelPage> v;
    v.push_back(annunciator("Vex216", "Vex215", "16in/2out+Watch", C::ShowRead, S::Show, false));
    v.push_back(annunciator("Vex216v2", "Vex216", "16in/2out+Fault", C::BelowRead, S::RightBelowScan));
    v.push_back(annunciator("Vex308", "Vex308", "8in/2out+Fault", C::BelowRead, S::RightBelowScanFront));
    v.push_back(annunciator("Vex316", "Vex316", "16in/2out+Fault", C::BelowRead, S::Vex316, true, true));
    v.push_back(annunciator("Vex324", "Vex324", "24in/2out+Fault", C::BelowRead, S::RightTopScan));
    v.push_back(annunciator("Vex924", "Vex924", "24in/2out+Fault", C::ShowRead, S::Show));
    v.push_back(annunciator("Vex932", "Vex932", "32in/2out+Fault", C::ShowRead, S::Show));
    v.push_back(annunciator("Vex936", "Vex936", "36in/2out+Fault", C::ShowRead, S::Show));
    v.push_back(rack("Tord48", "Vex748", {"  TORD-48", "19\" Rack Module", "48input"}));
    v.push_back(rack("Vald3", "Vex733", {"  VALD-3", "19\" Rack Module", "48input/24output/12ssr"}));
    TModelPage brix;
    brix.Caption = "Brix3";
    brix.Unit = "Rtu3";
    brix.Panel = {"  BRIX-3000", "5000io", "19\" Rack RTU"};
    brix.FwTool = "Rtu3file1";
    brix.FwShows = true;
    brix.CfgTool = "";
    brix.Cfg = C::External;
    brix.SimTool = "Rtu3sim1";
    v.push_back(brix);
    return v;
  }();
  return pages;
}

const std::vector<std::string>& TMain1::ConfigWindows() {
  static const std::vector<std::string> v = {"Vex215cfg1", "Vex216cfg1", "Vex308cfg1", "Vex316cfg1",
                                             "Vex324cfg1", "Vex924cfg1", "Vex932cfg1", "Vex936cfg1",
                                             "Vex748cfg1", "Vex733cfg1", "Rtu3file1"};
  return v;
}

const std::vector<std::string>& TMain1::SimulatorWindows() {
  static const std::vector<std::string> v = {"Vex215sim1", "Vex216sim1", "Vex308sim1", "Vex316sim1",
                                             "Vex324sim1", "Vex924sim1", "Vex932sim1", "Vex936sim1",
                                             "Vex748sim1", "Vex733sim1", "Rtu3sim1"};
  return v;
}

const std::vector<std::string>& TMain1::ScanWindows() {
  static const std::vector<std::string> v = {"Vex215sim1", "Vex216sim1", "Vex308sim1", "Vex316sim1",
                                             "Vex324sim1", "Vex748sim1", "Vex733sim1", "Vex924sim1",
                                             "Vex932sim1", "Vex936sim1"};
  return v;
}

TMainPage::TMainPage(const TModelPage& d, TMain1& m)
    : Def(d),
      FwUpload("Fw Upload", TControl::Kind::Button, [this, &m](TControl&) { m.FwUploadClick(Def); }),
      Configuration("Configuration", TControl::Kind::Button,
                    [this, &m](TControl&) { m.ConfigurationClick(Def); }),
      Production("Production", TControl::Kind::Button, [this, &m](TControl&) { m.ProductionClick(Def); }),
      Simulator("Simulator", TControl::Kind::Button, [this, &m](TControl&) { m.SimulatorClick(Def); }) {
  Visible = !Def.DeveloperOnly;
  FwUpload.Visible = !Def.FwTool.empty();
  Production.Visible = false;  // administrator mode only
}

// ---- the main window ------------------------------------------------------------

TMain1::TMain1(IMainLink& link, IDesktop& desktop)
    : DetectTarget("Detect Target", TControl::Kind::Button, [this](TControl&) { DetectTargetClick(); }),
      PortSettings("Port Settings", TControl::Kind::Button, [this](TControl&) { PortSettingsClick(); }),
      BootMixer("Boot Mixer", TControl::Kind::Button, [this](TControl&) { BootMixerClick(); }),
      link_(link),
      desktop_(desktop) {
  for (const auto& p : ModelPages()) Pages.emplace_back(p, *this);
  BootMixer.Visible = false;
  ActivePage = AboutPage();
}

void TMain1::FormCreate(const TStartInfo& start, const ISettingsStore& store) {
  VersionLabel = cVersionLabel;
  ExeDirPath = FolderOf(start.ExePath);
  DesMod = start.DeveloperSwitch;
  AdmMod = store.ReadInt("Software\\Pelmora", "Products").value_or(0) == cModeKey &&
           !IsDemoInstallation(start.ExePath);
  SrvMod = store.ReadInt("Software\\Zentaro", "Service").value_or(0) == cModeKey;

  BootMixer.Visible = DesMod;
  for (auto& p : Pages) {
    p.Visible = !p.Def.DeveloperOnly || DesMod;
    p.Production.Visible = AdmMod && !p.Def.ProdTool.empty();
  }
  ModeText = VersionLabel + (AdmMod ? "A" : "") + (DesMod ? "D" : "") + (SrvMod ? "S" : "");
  ActivePage = AboutPage();
}

void TMain1::SetTool(const std::string& name, IToolWindow* w) {
  if (w)
    tools_[name] = w;
  else
    tools_.erase(name);
}

IToolWindow* TMain1::Tool(const std::string& name) const {
  const auto it = tools_.find(name);
  return it == tools_.end() ? nullptr : it->second;
}

int TMain1::PageIndex(const std::string& caption) const {
  if (caption == "About") return AboutPage();
  for (size_t i = 0; i < Pages.size(); ++i)
    if (Pages[i].Def.Caption == caption) return static_cast<int>(i);
  return -1;
}

bool TMain1::IsBusy(TControl* Sender, bool d) {
  if (link_.ComBsy()) {
    // a caller without a control has nothing to replay and leaves a deferred click in place
    if (Sender) ComNxt = Sender;
  } else if (!link_.ConnectPortChecked()) {
    if (d)
      link_.Discovery();
    else
      link_.SetConnectPort(true);
  }
  return link_.ComBsy();
}

void TMain1::ApplicationEvents1Idle() {
  // A modal loop opened from within a pass must not start a second pass.
  if (inIdle_) return;
  inIdle_ = true;
  FlagReset reset{inIdle_};

  if (!PreRun && AdmMod) {
    IToolWindow* sim = Tool("Vex316sim1");
    if (!(sim && sim->Visible())) {
      PreRun = true;
      DetectTarget.Click();
      if (link_.BotMod() == 0x51) Pages[static_cast<size_t>(PageIndex("Vex316"))].Simulator.Click();
    }
  }

  StatusText = link_.StatusText();
  StatusFailed = link_.StatusFailed();

  if (ComNxt) {
    TControl* c = ComNxt;
    ComNxt = nullptr;
    if (c->kind != TControl::Kind::Other) c->Click();
    return;
  }

  for (const auto& name : ConfigWindows())
    if (IToolWindow* t = Tool(name); t && t->Available() && t->Visible()) t->DoIdle();
  for (const auto& name : SimulatorWindows())
    if (IToolWindow* t = Tool(name); t && t->Available() && t->Visible()) t->AppIdle();
  if (IToolWindow* p = Tool("Ports1"); p && p->Available()) p->AppIdle();
}

void TMain1::ApplicationEvents1Exception(const std::string& message) {
  // The link is closed first: closing a socket writes its own status line, which would clear a
  // last error shown before it.
  try {
    link_.SetConnectPort(false);
  } catch (const std::exception& e) {
    try {
      link_.Log(std::string("Error: ") + e.what());
    } catch (...) {
    }
  } catch (...) {
  }
  try {
    link_.Error(message);
  } catch (...) {
  }
  StatusText = link_.StatusText();
  StatusFailed = link_.StatusFailed();
}

void TMain1::Guard(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    ApplicationEvents1Exception(e.what());
  } catch (...) {
    ApplicationEvents1Exception("Unknown failure");
  }
}

void TMain1::FormActivate() {
  for (const auto& name : ScanWindows())
    if (IToolWindow* t = Tool(name); t && t->Available()) t->StopScan();
}

TBounds TMain1::MainBounds() const {
  const IToolWindow* m = Tool("Main1");
  return m ? m->Bounds() : TBounds{};
}

IToolWindow* TMain1::Need(const std::string& name, const std::string& what) {
  IToolWindow* t = name.empty() ? nullptr : Tool(name);
  if (t && t->Available()) return t;
  link_.Mesaj(what + " is not available yet");
  return nullptr;
}

void TMain1::SelectDetectedPage() {
  const int k = PageIndex(link_.DetectedPage());
  if (k >= 0 && (k == AboutPage() || Pages[static_cast<size_t>(k)].Visible)) ActivePage = k;
}

void TMain1::DetectTargetClick() {
  if (IToolWindow* p = Tool("Ports1"); p && !p->Visible()) {
    if (IToolWindow* m = Tool("Main1")) m->MoveTo(200, 50);
    p->Show();  // it places itself to the right of the main window
  }
  for (int attempt = 1;; ++attempt) {
    try {
      link_.AutoDetection();
      break;
    } catch (const std::exception&) {
      if (attempt >= 3) throw;
    }
  }
  SelectDetectedPage();
}

void TMain1::PortSettingsClick() {
  if (IToolWindow* p = Tool("Ports1"))
    p->Show();
  else
    link_.Mesaj("Port Settings is not available yet");
}

void TMain1::BootMixerClick() {
  if (IToolWindow* m = Need("Mixer1", "Boot Mixer")) m->ShowModal();
}

void TMain1::FwUploadClick(const TModelPage& p) {
  IToolWindow* t = Need(p.FwTool, p.Caption + " Fw Upload");
  if (!t) return;
  if (p.FwShows)
    t->Show();
  else
    t->UploadFirm();
}

void TMain1::ConfigurationClick(const TModelPage& p) {
  if (p.Cfg == TCfgAction::External) {
    RunConfigProgram();
    return;
  }
  IToolWindow* t = Need(p.CfgTool, p.Caption + " Configuration");
  if (!t) return;
  if (p.Cfg == TCfgAction::BelowRead) {
    if (!t->Visible()) {
      const TBounds b = MainBounds();
      t->ShowAt(b.Left, b.Top + b.Height + 5);
    }
  } else {
    t->Show();
  }
  t->ReadConfig();
}

void TMain1::ProductionClick(const TModelPage& p) {
  if (IToolWindow* t = Need(p.ProdTool, p.Caption + " Production")) t->DoProduct();
}

void TMain1::SimulatorClick(const TModelPage& p) {
  IToolWindow* t = Need(p.SimTool, p.Caption + " Simulator");
  if (!t) return;
  const TBounds b = MainBounds();
  switch (p.Sim) {
    case TSimAction::Show:
      t->Show();
      break;
    case TSimAction::RightBelowScan:
    case TSimAction::RightBelowScanFront:
      if (!t->Visible()) {
        t->ShowAt(b.Left + b.Width + 5, b.Top + b.Height + 5);
        t->StartScan();
      }
      if (p.Sim == TSimAction::RightBelowScanFront) t->Show();
      break;
    case TSimAction::RightTopScan:
      if (!t->Visible()) {
        t->ShowAt(b.Left + b.Width + 5, b.Top + 30);
        t->StartScan();
      }
      break;
    case TSimAction::Vex316:
      if (!t->Visible()) {
        t->ShowAt(b.Left + b.Width + 5, b.Top + 30);
        t->StartScan();
      }
      link_.ProcessMessages();
      if (t->InspectorWanted()) {
        if (IToolWindow* d = Need("Vex316desk1", "Vex316 Inspector")) {
          const TBounds s = t->Bounds();
          d->ShowAt(b.Left + b.Width, s.Top + s.Height + 5);
        }
      }
      break;
  }
}

void TMain1::RunConfigProgram() {
  std::string caption;
  std::string execute = "VexConfg.Exe";
  CSimpleIniA ini;
  const std::string file = (ExeDirPath.empty() ? std::string(".") : ExeDirPath) + "/VexConfg.Ini";
  if (ini.LoadFile(file.c_str()) >= 0) {
    caption = ini.GetValue("Config1", "Caption", "");
    execute = ini.GetValue("Config1", "Execute", "VexConfg.Exe");
  }
  if (!caption.empty() && desktop_.RaiseWindow(caption)) return;
  const std::string target =
      desktop_.FileExists(execute) ? execute : "../Rtu3ws/VexEvent/" + FileNameOf(execute);
  try {
    desktop_.Open(target);
  } catch (...) {
    // a program that cannot be started is not an error of this program
  }
}

}  // namespace vex
