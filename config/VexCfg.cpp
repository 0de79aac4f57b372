#include "config/VexCfg.h"

#include <filesystem>

#include "config/EepFile.h"
#include "config/VexLink.h"

namespace vex {

namespace fs = std::filesystem;

// ---- the member table ------------------------------------------------------------------

const std::vector<TCfgMember>& CfgMembers() {
  using M = TVexModel;
  using P = TIsaPlace;
  // clang-format off
  static const std::vector<TCfgMember> rows = {
    // model    caption                     word  seq    place      scratch grid  id opts   pulse  time   file   scan
    {M::Vex308, "Vex308 - Configuration",   false, true,  P::Beside, false, true,  6, false, false, false, false, ""},
    {M::Vex215, "Vex216 - Configuration",   true,  true,  P::None,   false, true,  6, false, false, false, false, ""},
    {M::Vex216, "Vex216v2 - Configuration", false, true,  P::Beside, false, true,  6, false, false, false, true,  "Vex216sim1"},
    {M::Vex316, "Vex316 - Configuration",   false, true,  P::Beside, false, true,  6, false, false, false, false, "Vex316sim1"},
    {M::Vex324, "Vex324 - Configuration",   false, true,  P::Beside, true,  false, 5, false, false, false, false, ""},
    {M::Vex733, "Vald-3 - Configuration",   false, false, P::None,   false, false, 5, false, true,  true,  false, ""},
    {M::Vex748, "Tord48 - Configuration",   false, false, P::None,   false, false, 5, false, false, true,  false, ""},
    {M::Vex924, "Vex924 - Configuration",   false, true,  P::AsIs,   false, false, 5, true,  false, true,  false, ""},
    {M::Vex932, "Vex932 - Configuration",   false, true,  P::AsIs,   false, false, 5, true,  false, true,  false, ""},
    {M::Vex936, "Vex936 - Configuration",   false, true,  P::AsIs,   false, false, 5, true,  false, true,  false, ""},
  };
  // clang-format on
  return rows;
}

const TCfgMember& CfgMember(TVexModel m) {
  for (const TCfgMember& r : CfgMembers())
    if (r.Model == m) return r;
  throw Exception("No configuration editor for this model");
}

// ---- construction ----------------------------------------------------------------------

TVexCfg1::TVexCfg1(const TCfgMember& row, TPorts1& ports, TMain1& main, TIsaMaps1& isa)
    : Row(row),
      Info(VexModelInfo(row.Model)),
      Caption(row.Caption),
      LabeledEdit1("LabeledEdit1", "Uniqe ID:"),
      LabeledEdit2("LabeledEdit2", "Mfg Date:"),
      LabeledEdit3("LabeledEdit3", "Eprom State:"),
      LabeledEdit10("LabeledEdit10", "Modbus ID <1~31>:"),
      LabeledEdit11("LabeledEdit11", row.TimeCaptions ? "Detection Time <3~250mS>:" : "Detection <3~250mS>:"),
      LabeledEdit12("LabeledEdit12", row.TimeCaptions ? "Clearance Time <3~250ms>:" : "Clearance <3~250ms>:"),
      LabeledEdit20("LabeledEdit20", "Pulse Timer <0~65000mS>:"),
      LabeledEdit21("LabeledEdit21", "Block-1 Timer <0~65000mS>:"),
      LabeledEdit22("LabeledEdit22", "Block-2 Timer <0~65000mS>:"),
      LabeledEdit23("LabeledEdit23", "Block-3 Timer <0~65000mS>:"),
      ReadButton("Read Config", TControl::Kind::Button, [this](TControl&) { Button1Click(); }),
      WriteButton("Write Config", TControl::Kind::Button, [this](TControl&) { Button2Click(); }),
      EepromButton(row.TimeCaptions ? "Write Eeprom" : "Set Eeprom", TControl::Kind::Button,
                   [this](TControl&) { Button3Click(); }),
      RestartButton("Restart", TControl::Kind::Button, [this](TControl&) { Button4Click(); }),
      StoredButton(row.LoadFileCaption ? "Load File" : "Load Stored", TControl::Kind::Button,
                   [this](TControl&) { Button5Click(); }),
      BackupButton("Backup", TControl::Kind::Button, [this](TControl&) { Button6Click(); }),
      RestoreButton("Restore", TControl::Kind::Button, [this](TControl&) { Button7Click(); }),
      LoadModelButton("Load Model", TControl::Kind::Button, [this](TControl&) { Button8Click(); }),
      SaveModelButton(row.TimeCaptions ? "Save as Model" : "Save Model", TControl::Kind::Button,
                      [this](TControl&) { Button9Click(); }),
      IsaButton("ISA 18.1 Configurator", TControl::Kind::Button, [this](TControl&) { Button10Click(); }),
      SetupButton("Setup Cfg", TControl::Kind::Button, [this](TControl&) { Button99Click(); }),
      ports_(ports),
      main_(main),
      isa_(isa) {
  SystemGroup = {"System Constants", false, true};
  ConfigGroup = {row.Pulse ? "Basic Configuration" : "Configuration", true, true};
  OptionsGroup = {"Options", true, row.Options};
  PulseGroup = {"Pulse Configuration", true, row.Pulse};
  GridGroup = {"Horn / Bell", true, row.Grid};
  for (TCfgEdit* f : {&LabeledEdit1, &LabeledEdit2, &LabeledEdit3}) f->Enabled = false;
  for (TCfgEdit* f : {&LabeledEdit20, &LabeledEdit21, &LabeledEdit22, &LabeledEdit23}) f->Visible = row.Pulse;
  CommDiag.Caption = "Comm Diagnostic";
  DxLock.Caption = "DX Mode Locked";
  CommDiag.Visible = DxLock.Visible = row.Options;
  SetupButton.Visible = false;
  IsaButton.Visible = row.Place != TIsaPlace::None;
  if (row.Grid) Grid.resize(static_cast<size_t>(Info.inputs));
  for (size_t i = 0; i < Grid.size(); ++i) {
    Grid[i].H.Caption = "H";
    Grid[i].B.Caption = "B";
  }
  ModelDialog = {"Model File", "Model Files (*.eem)|*.eem", "eem", "", ""};
  StoredDialog = {"Stored Configuration", "Configuration Files (*.eep)|*.eep", "eep", "", ""};
}

std::vector<TCfgEdit*> TVexCfg1::Fields() {
  return {&LabeledEdit1,  &LabeledEdit2,  &LabeledEdit3,  &LabeledEdit10, &LabeledEdit11,
          &LabeledEdit12, &LabeledEdit20, &LabeledEdit21, &LabeledEdit22, &LabeledEdit23};
}

std::vector<TCfgEdit*> TVexCfg1::FileFields() {
  std::vector<TCfgEdit*> f = {&LabeledEdit10, &LabeledEdit11, &LabeledEdit12};
  if (Row.Pulse) f.insert(f.end(), {&LabeledEdit20, &LabeledEdit21, &LabeledEdit22, &LabeledEdit23});
  return f;
}

// ---- helpers -----------------------------------------------------------------------------

bool TVexCfg1::Busy(TControl& button) { return main_.IsBusy(&button, true); }

bool TVexCfg1::GridActive() const { return Row.Grid && Layout().hornBell; }

bool TVexCfg1::ConfiguratorActive() const { return Row.Place != TIsaPlace::None && Layout().sequence; }

std::string TVexCfg1::Folder(const std::string& rel) const {
  if (DataDir.empty()) return ForceDir("\\" + rel);
  fs::path p = fs::path(DataDir) / rel;
  std::error_code ec;
  fs::create_directories(p, ec);
  if (ec) throw Exception("Unable to create folder " + p.string() + ": " + ec.message());
  return p.string();
}

std::string TVexCfg1::ModelFolder() const { return Folder(Info.name); }

std::string TVexCfg1::BackupFolder() const { return Folder(std::string(Info.name) + "/Config"); }

std::string TVexCfg1::BackupFile(const std::string& id) const {
  // A unit without a unique ID would get a backup that every other such unit overwrites.
  bool digits = !id.empty();
  for (char c : id) digits = digits && c >= '0' && c <= '9';
  if (!digits)
    throw Exception("This unit has no unique ID (Uniqe ID \"" + id + "\"): it cannot have a backup file");
  return (fs::path(BackupFolder()) / ("SN" + id + ".eep")).string();
}

// The configurator serves every editor: when another one prepared it last, this editor
// prepares it for its own model before handing it a map.
void TVexCfg1::EnsureSetup() {
  if (Row.Sequences && isa_.Le1 != &LabeledEdit11) Button99Click();
}

void TVexCfg1::ShowState(int state) {
  LabeledEdit3.SetText("$" + IntToHex(static_cast<uint64_t>(state), 2) + StateText(state));
  LabeledEdit3.Color = StateColor(state);
}

void TVexCfg1::Recolor(THornBell& g) {
  g.Shape = g.H.Checked() ? RGB(0xFF, 0, 0) : g.B.Checked() ? RGB(0, 0xFF, 0) : clBtnFace;
}

void TVexCfg1::WriteOld(uint16_t hrn, uint16_t bel) {
  for (size_t i = 0; i < Grid.size(); ++i) {
    const uint16_t bit = static_cast<uint16_t>(1u << i);
    Grid[i].H.State = (hrn & bit) ? cbChecked : cbUnchecked;
    Grid[i].B.State = (bel & bit) ? cbChecked : cbUnchecked;
    Recolor(Grid[i]);
  }
}

void TVexCfg1::ReadOld(uint16_t& hrn, uint16_t& bel) const {
  hrn = bel = 0;
  for (size_t i = 0; i < Grid.size(); ++i) {
    const uint16_t bit = static_cast<uint16_t>(1u << i);
    if (Grid[i].H.Checked()) hrn |= bit;
    if (Grid[i].B.Checked()) bel |= bit;
  }
}

void TVexCfg1::OptionsFromIsa() {
  if (!Row.Options) return;
  CommDiag.State = isa_.Boxes[obComDia].State == cbChecked ? cbChecked : cbUnchecked;
  DxLock.State = isa_.Boxes[obVirLck].State == cbChecked ? cbChecked : cbUnchecked;
}

void TVexCfg1::StopScan() {
  if (!*Row.ScanTool) return;
  if (IToolWindow* sim = main_.Tool(Row.ScanTool)) sim->StopScan();
}

// ---- operations ----------------------------------------------------------------------------

void TVexCfg1::Button99Click() {
  if (!Row.Sequences) return;
  SetupForModel(isa_, Row.Model, ports_.AppSof, &LabeledEdit11, &LabeledEdit12);
  if (Row.Options) {
    CommDiag.Enabled = ports_.AppSof >= 6 && ports_.AppSof <= 19;
    DxLock.Enabled = ports_.AppSof >= 8 && ports_.AppSof <= 19;
    OptionsFromIsa();
  }
}

bool TVexCfg1::Button1Click() {
  if (Busy(ReadButton)) return false;
  Button99Click();
  ports_.Button1Click();  // "Discovery"
  Button99Click();        // again for the variant just identified
  LabeledEdit3.Color = clWindow;
  Cleanup();
  isa_.Clear();
  LabeledEdit1.SetText(ports_.UniqeId);
  LabeledEdit2.SetText(ports_.MfgDate);
  const TLayout l = Layout();
  const int state = ports_.ModRead(l.stateReg, true) & 7;
  uint16_t id = 0;
  ports_.ModReadMulti(cRegModIdf, 1, &id, true);
  LabeledEdit10.SetText(std::to_string(id));
  if (l.hornBell) {
    uint16_t w[4] = {};
    ports_.ModReadMulti(cRegHrnSel, 4, w, true);
    WriteOld(w[0], w[1]);
    LabeledEdit11.SetText(std::to_string(w[2]));
    LabeledEdit12.SetText(std::to_string(w[3]));
  } else {
    const int n = Row.Pulse ? 6 : 2;
    uint16_t w[6] = {};
    ports_.ModReadMulti(l.tmoReg, n, w, true);
    LabeledEdit11.SetText(std::to_string(w[0]));
    LabeledEdit12.SetText(std::to_string(w[1]));
    if (Row.Pulse) {
      TCfgEdit* p[4] = {&LabeledEdit20, &LabeledEdit21, &LabeledEdit22, &LabeledEdit23};
      for (int k = 0; k < 4; ++k) p[k]->SetText(std::to_string(w[2 + k]));
    }
  }
  if (Row.Sequences && l.sequence) WriteIsa(ReadSequence(ports_, l.isaSize, true));
  if (Row.Sequences) {
    isa_.WriteOpt();
    isa_.Reload();
  }
  ShowState(state);
  if (Row.ScratchReadIsa && l.sequence) ReadIsa();
  ports_.Mesaj("Read Config Complete");
  return true;
}

bool TVexCfg1::Button2Click() {
  if (Busy(WriteButton)) return false;
  const TLayout l = Layout();
  // everything is validated before the first register is written
  const auto modIdf = static_cast<uint16_t>(LbEdttoInt(LabeledEdit10, 1, 31));
  std::vector<uint16_t> regs;
  uint16_t first = l.tmoReg;
  if (l.hornBell) {
    uint16_t hrn = 0, bel = 0;
    ReadOld(hrn, bel);
    regs = {hrn, bel};
    first = cRegHrnSel;
  }
  regs.push_back(static_cast<uint16_t>(LbEdttoInt(LabeledEdit11, 3, 250)));
  regs.push_back(static_cast<uint16_t>(LbEdttoInt(LabeledEdit12, 3, 250)));
  if (Row.Pulse)
    for (TCfgEdit* p : {&LabeledEdit20, &LabeledEdit21, &LabeledEdit22, &LabeledEdit23})
      regs.push_back(static_cast<uint16_t>(LbEdttoInt(*p, 0, 65000)));
  std::vector<uint16_t> record;
  if (Row.Sequences && l.sequence) record = ReadIsa();

  UnlockConfig(ports_, true);
  ports_.ModWrite(cRegModIdf, modIdf, true);
  ports_.ModWriteMulti(first, static_cast<uint16_t>(regs.size()), regs.data(), true);
  if (!record.empty()) WriteSequence(ports_, record, true);
  ports_.Mesaj("Write Config Complete");
  return true;
}

bool TVexCfg1::Button3Click() {
  if (Busy(EepromButton)) return false;
  StopScan();
  StoreEeprom(ports_, true);
  ports_.Mesaj("Write Eeprom Complete");
  return true;
}

bool TVexCfg1::Button4Click() {
  if (Busy(RestartButton)) return false;
  StopScan();
  RestartDevice(ports_, true);
  ports_.Mesaj("Reset Complete");
  return true;
}

bool TVexCfg1::Button6Click() {
  if (Busy(BackupButton)) return false;
  SaveConfig(BackupFile(LabeledEdit1.Text()));
  return true;
}

bool TVexCfg1::Button7Click() {
  if (Busy(RestoreButton)) return false;
  ports_.Button1Click();  // identification reads the unit's unique ID as Read Config shows it
  LoadConfig(BackupFile(ports_.UniqeId));
  return true;
}

bool TVexCfg1::Button8Click() {
  if (Busy(LoadModelButton)) return false;
  if (ModelDialog.InitialDir.empty()) ModelDialog.InitialDir = ModelFolder();
  const bool picked = Dialogs && Dialogs->OpenFile(ModelDialog);
  // the screen no longer shows one unit's configuration, whatever happens below
  LabeledEdit1.SetText(std::string(static_cast<size_t>(Row.IdDigits), '0'));
  if (picked) {
    LoadConfig(ModelDialog.FileName);
    LabeledEdit1.SetText(std::string(static_cast<size_t>(Row.IdDigits), '0'));
  }
  return true;
}

bool TVexCfg1::Button9Click() {
  if (Busy(SaveModelButton)) return false;
  const int64_t top = Row.IdDigits == 6 ? 999999 : 99999;
  LabeledEdit1.SetText(InttoZero(LbEdttoInt(LabeledEdit1, 0, top), Row.IdDigits));
  if (ModelDialog.InitialDir.empty()) ModelDialog.InitialDir = ModelFolder();
  if (Dialogs && Dialogs->SaveFile(ModelDialog)) SaveConfig(ModelDialog.FileName);
  return true;
}

bool TVexCfg1::Button5Click() {
  if (Busy(StoredButton)) return false;
  if (StoredDialog.InitialDir.empty()) StoredDialog.InitialDir = ModelFolder();
  if (Dialogs && Dialogs->OpenFile(StoredDialog)) LoadConfig(StoredDialog.FileName);
  return true;
}

bool TVexCfg1::Button10Click() {
  if (Row.Place == TIsaPlace::None) return false;
  Button99Click();
  IToolWindow* w = main_.Tool("IsaMaps1");
  const bool shown = isa_.Visible || (w && w->Visible());
  if (!shown) {
    if (Row.Place == TIsaPlace::Beside && w) {
      const IToolWindow* me = main_.Tool(FormName());
      const TBounds b = me ? me->Bounds() : TBounds{};
      w->ShowAt(b.Left + b.Width + 5, b.Top);
    } else if (w) {
      w->Show();
    }
  } else if (w && Row.Place == TIsaPlace::AsIs) {
    w->Show();
  }
  isa_.Show();
  return true;
}

void TVexCfg1::SaveConfig(const std::string& file) {
  SaveConfig2(file, "." + FormatDateTime(TEepFile::cStampFormat, NowLocal()));
  SaveConfig2(file, "");
}

void TVexCfg1::SaveConfig2(const std::string& file, const std::string& suffix) {
  TEepKeys keys = {{"LabeledEdit1", LabeledEdit1.Text()}, {"LabeledEdit2", LabeledEdit2.Text()}};
  for (TCfgEdit* f : FileFields()) keys.emplace_back(f->Key, f->Text());
  const TEepHeader h{ports_.AppId, ports_.BootId, Program};
  if (Row.Sequences) EnsureSetup();
  TEepFile(FormName()).SaveConfig2(file, suffix, h, keys, Row.Sequences ? &isa_ : nullptr);
}

void TVexCfg1::LoadConfig(const std::string& file) {
  Cleanup();
  if (Row.Sequences) Button99Click();
  std::vector<std::string> keys;
  const std::vector<TCfgEdit*> fields = FileFields();
  for (TCfgEdit* f : fields) keys.push_back(f->Key);
  const std::vector<std::string> v =
      TEepFile(FormName()).LoadConfig(file, keys, Row.Sequences ? &isa_ : nullptr);
  for (size_t k = 0; k < fields.size(); ++k) fields[k]->SetText(v[k]);
  OptionsFromIsa();
}

void TVexCfg1::WriteIsa(const std::vector<uint16_t>& record) {
  EnsureSetup();
  WriteIsaWords(isa_, Row.Model, ports_.AppSof, record);
  OptionsFromIsa();
}

std::vector<uint16_t> TVexCfg1::ReadIsa() {
  EnsureSetup();
  return ReadIsaWords(isa_, Row.Model, ports_.AppSof);
}

void TVexCfg1::Cleanup() {
  for (TCfgEdit* f : Fields()) f->SetText("");
  for (THornBell& g : Grid) Recolor(g);
}

void TVexCfg1::DoIdle() {
  const TPorts1::TStatBar s = ports_.StatBar();
  StatusText = s.Text;
  StatusRed = s.Red;
  const bool other = Row.WholeBootWord ? (ports_.BotReg != 0 && ports_.BotReg != Info.fid)
                                       : (ports_.BotMod != 0 && ports_.BotMod != Info.fid);
  if (other) Close();
}

void TVexCfg1::Close() {
  Visible = false;
  if (OnClose) OnClose();
}

void TVexCfg1::GridClick(int input, bool horn) {
  if (input < 1 || input > static_cast<int>(Grid.size())) return;
  THornBell& g = Grid[static_cast<size_t>(input - 1)];
  TCheckBox& mine = horn ? g.H : g.B;
  TCheckBox& other = horn ? g.B : g.H;
  if (mine.Checked() && other.Checked()) other.State = cbUnchecked;
  Recolor(g);
}

void TVexCfg1::OptionsClick(bool commDiag, bool ticked) {
  if (!Row.Options) return;
  TCheckBox& box = commDiag ? CommDiag : DxLock;
  if (!box.Enabled) return;
  box.State = ticked ? cbChecked : cbUnchecked;
  EnsureSetup();
  isa_.OptionClick(commDiag ? obComDia : obVirLck, ticked);
}

void TVexCfg1::FormActivate() { OptionsFromIsa(); }

}  // namespace vex
