// The configuration editors of every model ("Vex324 - Configuration", ...): read a device's
// configuration into the screen and the ISA-18.1 configurator, write it back, store it,
// restart the device, and save and load configuration image files (".eep" backups named by
// serial number, ".eem" model files).
//
// One implementation serves the whole family. What a member does differently is data: its row
// of the member table (CfgMember) names the model, the captions and the parts it has (horn/bell
// grid, "Options" group, pulse timers, configurator placement, ...); the registers and record
// sizes of each application variant come from the register map (LayoutOf). The class names of
// the family (TVex324cfg1, ...) are that implementation bound to a row.
//
// The editor holds only what its window shows; a Qt view binds controls to it and forwards
// clicks. File dialogs reach it through ICfgDialogs, so every operation runs without a display.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/Ports.h"
#include "config/IsaMaps.h"
#include "config/RegMap.h"
#include "shell/FileDialog.h"
#include "shell/Main.h"

namespace vex {

// Where "ISA 18.1 Configurator" shows the configurator.
enum class TIsaPlace {
  None,    // no configurator button
  Beside,  // right of the editor, 5 pixels apart, tops aligned (when hidden)
  AsIs     // where it is
};

// One row of the member table.
struct TCfgMember {
  TVexModel Model;
  const char* Caption;   // "Vex324 - Configuration"
  bool WholeBootWord;    // the firmware check of DoIdle compares the boot identifier word
  bool Sequences;        // the files carry the configurator's keys (Setup Cfg applies)
  TIsaPlace Place;       // the configurator button
  bool ScratchReadIsa;   // Read Config ends by validating the configurator once
  bool Grid;             // horn/bell grid for the legacy layouts
  int IdDigits;          // "Uniqe ID" of a model file: 5 or 6 digits
  bool Options;          // group "Options" ("Comm Diagnostic", "DX Mode Locked")
  bool Pulse;            // group "Pulse Configuration" (LabeledEdit20..23)
  bool TimeCaptions;     // "Detection Time ...", "Write Eeprom", "Save as Model"
  bool LoadFileCaption;  // "Load Stored" reads "Load File"
  const char* ScanTool;  // simulator whose scan stops before Set Eeprom/Restart ("" none)
};

const std::vector<TCfgMember>& CfgMembers();  // in the program's start-up order
const TCfgMember& CfgMember(TVexModel m);

// A file dialog of an editor (title, filter, extension, first folder, file name).
using TCfgFileDialog = TFileDialog;

class ICfgDialogs {
 public:
  virtual ~ICfgDialogs() = default;
  virtual bool OpenFile(TCfgFileDialog& d) = 0;  // false: cancelled
  virtual bool SaveFile(TCfgFileDialog& d) = 0;
};

// A labelled edit field of the editor.
class TCfgEdit : public TEdit {
 public:
  TCfgEdit(std::string key, std::string caption) : TEdit(std::move(caption)), Key(std::move(key)) {}
  std::string Key;  // field name, also the key in the image files ("LabeledEdit10")
};

// One input of the horn/bell grid.
struct THornBell {
  TCheckBox H, B;
  TColor Shape = clBtnFace;
};

class TVexCfg1 {
 public:
  TVexCfg1(const TCfgMember& row, TPorts1& ports, TMain1& main, TIsaMaps1& isa);
  TVexCfg1(const TVexCfg1&) = delete;
  TVexCfg1& operator=(const TVexCfg1&) = delete;
  virtual ~TVexCfg1() = default;

  // ---- operations (the buttons call them; production calls them directly) ----
  // Each button operation asks the main window's busy check first and returns false when the
  // click was refused (it is replayed later); errors are exceptions.
  bool Button1Click();   // "Read Config"
  bool Button2Click();   // "Write Config"
  bool Button3Click();   // "Set Eeprom" / "Write Eeprom"
  bool Button4Click();   // "Restart"
  bool Button6Click();   // "Backup"
  bool Button7Click();   // "Restore"
  bool Button8Click();   // "Load Model"
  bool Button9Click();   // "Save Model" / "Save as Model"
  bool Button5Click();   // "Load Stored" / "Load File"
  bool Button10Click();  // "ISA 18.1 Configurator"
  void Button99Click();  // "Setup Cfg": the configurator for this model and variant
  void SaveConfig(const std::string& file);
  void SaveConfig2(const std::string& file, const std::string& suffix);
  void LoadConfig(const std::string& file);
  void WriteIsa(const std::vector<uint16_t>& record);  // the variant's sequence record -> configurator
  std::vector<uint16_t> ReadIsa();                     // configurator -> record (validates)
  void Cleanup();
  void DoIdle();

  // ---- user actions on the window's own parts ----
  void GridClick(int input, bool horn);           // 1-based; the box was toggled by the click
  void OptionsClick(bool commDiag, bool ticked);  // "Comm Diagnostic" / "DX Mode Locked"
  void FormActivate();                            // the editor became active
  void ShowState(int state);                      // "Eprom State" text and colour
  void Show() { Visible = true; }
  void Close();

  // ---- the member and its variant ----
  const TCfgMember& Row;
  const TVexModelInfo& Info;
  std::string FormName() const { return Info.form; }
  int AppSof() const { return ports_.AppSof; }
  TLayout Layout() const { return LayoutOf(Row.Model, ports_.AppSof); }
  bool GridActive() const;                              // the grid is in use for the connected variant
  bool ConfiguratorActive() const;                      // the configurator button is enabled
  std::string BackupFolder() const;                     // "<data>/Vex324/Config"
  std::string ModelFolder() const;                      // "<data>/Vex324"
  std::string BackupFile(const std::string& id) const;  // "<BackupFolder>/SN" + id + ".eep"

  // ---- window state ----
  std::string Caption;
  TCfgEdit LabeledEdit1, LabeledEdit2, LabeledEdit3;  // "Uniqe ID:", "Mfg Date:", "Eprom State:"
  TCfgEdit LabeledEdit10, LabeledEdit11, LabeledEdit12;
  TCfgEdit LabeledEdit20, LabeledEdit21, LabeledEdit22, LabeledEdit23;  // pulse timers
  std::vector<THornBell> Grid;                                          // one per input; empty: no grid
  TCheckBox CommDiag, DxLock;                                           // group "Options"
  TGroupBox SystemGroup, ConfigGroup, OptionsGroup, PulseGroup, GridGroup;
  TControl ReadButton, WriteButton, EepromButton, RestartButton, StoredButton, BackupButton, RestoreButton,
      LoadModelButton, SaveModelButton, IsaButton, SetupButton;
  std::string StatusText;  // status bar (StatBar of the hub)
  bool StatusRed = false;
  bool Visible = false;
  std::function<void()> OnClose;  // the view hides the window

  // ---- seams ----
  ICfgDialogs* Dialogs = nullptr;  // none: the file dialogs count as cancelled
  std::string DataDir;             // folder below which the data folders live ("" the program's)
  std::string Program;             // "Program" key of the files: caption and version
  TCfgFileDialog ModelDialog;      // keeps its folder between uses
  TCfgFileDialog StoredDialog;

  std::vector<TCfgEdit*> Fields();      // every labelled edit field
  std::vector<TCfgEdit*> FileFields();  // the fields loaded from a file

 private:
  bool Busy(TControl& button);
  std::string Folder(const std::string& rel) const;
  void EnsureSetup();
  void WriteOld(uint16_t hrn, uint16_t bel);
  void ReadOld(uint16_t& hrn, uint16_t& bel) const;
  void Recolor(THornBell& g);
  void OptionsFromIsa();
  void StopScan();

  TPorts1& ports_;
  TMain1& main_;
  TIsaMaps1& isa_;
};

// The family's class names: the editor bound to its member row.
template <TVexModel M>
class TVexCfgOf : public TVexCfg1 {
 public:
  TVexCfgOf(TPorts1& ports, TMain1& main, TIsaMaps1& isa) : TVexCfg1(CfgMember(M), ports, main, isa) {}
};
using TVex215cfg1 = TVexCfgOf<TVexModel::Vex215>;
using TVex216cfg1 = TVexCfgOf<TVexModel::Vex216>;
using TVex308cfg1 = TVexCfgOf<TVexModel::Vex308>;
using TVex316cfg1 = TVexCfgOf<TVexModel::Vex316>;
using TVex324cfg1 = TVexCfgOf<TVexModel::Vex324>;
using TVex924cfg1 = TVexCfgOf<TVexModel::Vex924>;
using TVex932cfg1 = TVexCfgOf<TVexModel::Vex932>;
using TVex936cfg1 = TVexCfgOf<TVexModel::Vex936>;
using TVex733cfg1 = TVexCfgOf<TVexModel::Vex733>;
using TVex748cfg1 = TVexCfgOf<TVexModel::Vex748>;

}  // namespace vex
