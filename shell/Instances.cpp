#include "shell/Instances.h"

#include <algorithm>
#include <cstdint>
#include <exception>

namespace vex {

namespace {

class TPortsMainLink : public IMainLink {
 public:
  explicit TPortsMainLink(TPorts1& p) : p_(p) {}
  bool ComBsy() const override { return p_.ComBsy; }
  bool ConnectPortChecked() const override { return p_.ConnectPortChecked(); }
  void SetConnectPort(bool on) override { p_.SetConnectPort(on); }
  void Discovery() override { p_.Button1Click(); }
  void AutoDetection() override { p_.Button2Click(); }
  void Mesaj(const std::string& m) override { p_.Mesaj(m); }
  void Error(const std::string& m) override { p_.Error(m); }
  void Log(const std::string& m) override { p_.Log(m); }
  int BotMod() const override { return p_.BotMod; }
  std::string DetectedPage() const override { return p_.TargetPage; }
  std::string StatusText() const override { return p_.StatBar().Text; }
  bool StatusFailed() const override { return p_.StatBar().Red; }
  void ProcessMessages() override {
    if (p_.ProcessMessages) p_.ProcessMessages();
  }

 private:
  TPorts1& p_;
};

}  // namespace

std::unique_ptr<IMainLink> MakeMainLink(TPorts1& ports) { return std::make_unique<TPortsMainLink>(ports); }

TInstances::TInstances(const TStartInfo& start, const ISettingsStore& store, IDesktop& desktop,
                       const std::string& portsIni)
    : mainLink_(MakeMainLink(Ports1)),
      Main1(*mainLink_, desktop),
      Vex308cfg1(Ports1, Main1, IsaMaps1),
      Vex215cfg1(Ports1, Main1, IsaMaps1),
      Vex216cfg1(Ports1, Main1, IsaMaps1),
      Vex316cfg1(Ports1, Main1, IsaMaps1),
      Vex324cfg1(Ports1, Main1, IsaMaps1),
      Vex733cfg1(Ports1, Main1, IsaMaps1),
      Vex748cfg1(Ports1, Main1, IsaMaps1),
      Vex924cfg1(Ports1, Main1, IsaMaps1),
      Vex932cfg1(Ports1, Main1, IsaMaps1),
      Vex936cfg1(Ports1, Main1, IsaMaps1) {
  // Ports1 is only referred to above; it is built before anything uses it.
  Main1.FormCreate(start, store);
  if (!portsIni.empty()) Ports1.IniPath = portsIni;
  Ports1.LoadSettings();
  Ports1.MainRecord = std::string(cMainCaption) + ", " + Main1.VersionLabel;
  Ports1.IsBusy = [this] { return Main1.IsBusy(nullptr, false); };
  Mixer1.Mesaj = [this](const std::string& m) { Ports1.Mesaj(m); };
  for (TVexCfg1* e : Editors()) e->Program = Ports1.MainRecord;
  for (TVexProd1* p : ProdWindows())
    for (TVexCfg1* e : Editors())
      if (e->FormName() == p->Row.CfgName) {
        prodEditors_.push_back(std::make_unique<TProdEditor>(*e));
        p->Editor = prodEditors_.back().get();
      }
  Mixer1.SegSizOf = [this] { return static_cast<uint32_t>(std::max(Ports1.SegSiz, 0)); };
  Vex316sim1.Inspector = &Vex316desk1;
  // the rack modules' production run sets the module clock through its screen's "Sync Time"
  Vex733prod1.SyncTime = [this] { Vex733sim1.Button99Click(); };
  Vex748prod1.SyncTime = [this] { Vex748sim1.Button99Click(); };
  for (TVexSim* s : Simulators()) Main1.SetTool(s->Name, &s->Tool());
  for (TRackSim* s : {static_cast<TRackSim*>(&Vex748sim1), static_cast<TRackSim*>(&Vex733sim1)})
    Main1.SetTool(s->Name, &s->Tool());
  // rack RTU tools
  Rtu3file1.Sim = &Rtu3sim1;
  Rtu3file1.ShowWindow = [this](const std::string& name) {
    if (IToolWindow* t = Main1.Tool(name); t && t->Available()) t->Show();
  };
  Rtu3encap1.Mesaj = Rtu3app1.Mesaj = [this](const std::string& m) { Ports1.Mesaj(m); };
  Rtu3encap1.ClearError = [this] { Ports1.Error(""); };
}

std::vector<TVexProd1*> TInstances::ProdWindows() {
  return {&Vex308prod1, &Vex215prod1, &Vex216prod1, &Vex316prod1, &Vex324prod1,
          &Vex733prod1, &Vex748prod1, &Vex924prod1, &Vex932prod1, &Vex936prod1};
}

std::vector<TVexCfg1*> TInstances::Editors() {
  return {&Vex308cfg1, &Vex215cfg1, &Vex216cfg1, &Vex316cfg1, &Vex324cfg1,
          &Vex733cfg1, &Vex748cfg1, &Vex924cfg1, &Vex932cfg1, &Vex936cfg1};
}

TVexCfg1* TInstances::Editor(TVexModel m) {
  for (TVexCfg1* e : Editors())
    if (e->Row.Model == m) return e;
  return nullptr;
}

TInstances::~TInstances() {
  try {
    Shutdown();
  } catch (...) {
    // nothing can be reported any more
  }
}

void TInstances::Shutdown() {
  if (down_) return;
  down_ = true;
  Ports1.IsBusy = nullptr;
  // the link is closed even when the settings cannot be written; the first failure is reported
  std::exception_ptr failure;
  try {
    Ports1.SaveSettings();
  } catch (...) {
    failure = std::current_exception();
  }
  try {
    Ports1.SetConnectPort(false);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vex
