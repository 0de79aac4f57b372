// The production windows ("Vex324 Production", ...): turn a freshly assembled board into a
// finished product in one run (identify it, flash the application when it does not run it
// already, write the model's configuration through the model's configuration editor, give it
// the next production number and the production date, restart it, read everything back, save
// a backup and log the product), and the model's "Fw Upload".
//
// One implementation serves the whole family; what a member does differently is its row of
// the member table (TProdMember): captions, folders, identifier bounds, the checks of the run
// and of "Fw Upload" as lists of check steps, the edition table of its boot revisions, and the
// steps it adds or leaves out. The class names of the family (TVex324prod1, ...) are that
// implementation bound to a row.
//
// The window's state and operations live here without widgets; the configuration editor, the
// file dialogs and the question reach it through the small interfaces below.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/Identify.h"
#include "config/IsaMaps.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"
#include "shell/FileDialog.h"
#include "shell/Main.h"

namespace vex {

class TPorts1;

// What the production run drives of the model's configuration editor.
class IProdEditor {
 public:
  virtual ~IProdEditor() = default;
  virtual void ReadConfig() = 0;                         // "Read Config"
  virtual void SetupCfg() = 0;                           // the hidden "Setup Cfg"
  virtual void LoadConfig(const std::string& file) = 0;  // the model file into the editor
  virtual void WriteConfig() = 0;                        // "Write Config"
  virtual void SetEeprom() = 0;                          // "Set Eeprom" / "Write Eeprom"
  virtual void Restart() = 0;                            // "Restart"
  virtual void Backup() = 0;                             // "Backup": "<Config>/SN<Uniqe ID>.eep"
  virtual std::string UniqeId() const = 0;               // "Uniqe ID:"
  virtual std::string MfgDate() const = 0;               // "Mfg Date:"
  virtual IEditField& ModbusId() = 0;                    // "Modbus ID <1~31>:"
};

// A file dialog of a production window; it keeps its folder between uses.
using TProdDialog = TFileDialog;

class IProdDialogs {
 public:
  virtual ~IProdDialogs() = default;
  virtual bool OpenFile(TProdDialog& d) = 0;             // false: cancelled
  virtual bool AskYes(const std::string& question) = 0;  // warning with Yes and Cancel
};

// One step of a firmware compatibility check, with m the model byte and e the edition of the
// loaded image's Ver word.
enum class TProdCheck {
  FileModel,   // m = the member's model byte, else "Firmware model mismatch"
  BoardModel,  // BotMod = the member's model byte, else "Target model incompatible"
  SameModel,   // m = BotMod, else "Model mismatch"
  Editions,    // e in the edition list of BotRev, else "Boot version not supported" /
               // "Firmware version not supported"
};

// Editions a boot revision accepts.
struct TEditionRow {
  uint8_t BotRev;
  std::vector<int> Editions;
};

// The ranges of a production number: as read back, as typed in "User ID:", as written to
// register 13, and where "Next ID:" may advance from.
struct TIdBounds {
  int64_t ReadMax, UserMax, RegMax, AdvanceMax;
};

// One row of the member table.
struct TProdMember {
  const char* Unit;           // "Vex324": folders and file names
  const char* Caption;        // "Vex324 Production"
  const char* ButtonCaption;  // "Produce Vex324"
  const char* CfgName;        // the model's configuration editor ("Vex324cfg1")
  uint16_t Fid;               // model identifier: the boot model byte (0x4316: the whole boot word)
  uint8_t ModelByte;          // the model byte of the firmware images
  TIdBounds Ids;
  int64_t ModbusMax;           // read bound of the editor's "Modbus ID"
  bool OnlyWhenIdle;           // DoProduct shows the window only while no run is under way
  const char* NextIdDefault;   // "Next ID:" when the log has none
  int BootRevMin, BootRevMax;  // the run's boot revision rule ("Boot version incompatible"); -1 none
  std::vector<TProdCheck> RunChecks, FwChecks;
  std::vector<TEditionRow> EditionTable;
  bool LongMessages;    // compatibility messages end in ". Boot=" + BotReg + " File=" + Ver
  bool SetupCfg;        // "Setup Cfg" before the model file is loaded
  bool SyncTime;        // the rack module screen's "Sync Time" before the last "Read Config"
  bool DevFirmware;     // the firmware folder is the developer's build folder in developer mode
  const TBoard* Board;  // the board whose edition and hardware texts this window provides
};

const std::vector<TProdMember>& ProdMembers();  // in the program's start-up order
const TProdMember& ProdMember(const std::string& unit);

// Colours of "Status:".
constexpr TColor clProdError = RGB(255, 128, 128);
constexpr TColor clProdDone = RGB(0, 255, 0);

class TVexProd1 {
 public:
  TVexProd1(const TProdMember& row, TPorts1& ports, TMain1& main, TMixer1& mixer, TLoader1& loader);
  TVexProd1(const TVexProd1&) = delete;
  TVexProd1& operator=(const TVexProd1&) = delete;
  virtual ~TVexProd1() = default;

  // ---- operations ----
  void Button1Click();  // "Produce <model>": the run under the main window's busy check
  void Sekans();        // the production run
  void UploadFirm();    // "Fw Upload" of the main window
  // The firmware compatibility rule for the image loaded in the store: of the run (after the
  // firmware is loaded) or of "Fw Upload".
  void CheckCompatible(bool run = false);
  void DoProduct();      // "Production" of the main window: shows the window
  void FormShow();       // the window is shown: the log's Factory keys fill an empty "Next ID:"
  void Edit5DblClick();  // "Model File:": choose the model file
  void Edit6DblClick();  // "Firmware File:": choose the application file
  // Edition and hardware texts of the detected board (Vex324, Vex308 and Vex216 windows).
  std::string AplicText() const;
  std::string ModelText() const;

  // ---- the member ----
  const TProdMember& Row;
  std::string DataFolder() const;      // "<data>/Vex324"
  std::string FirmwareFolder() const;  // "<data>/Vex324/Firmware" (or the developer's build folder)
  std::string LogFile() const;         // "<data>/Vex324/Vex324prod.ini"
  std::string ProductKey() const;      // "54" + "Prod ID:" text

  // ---- window state ----
  std::string Caption;
  TEdit ProdDate{"Prod Date:"}, ProdId{"Prod ID:"}, NextId{"Next ID:"}, Status{"Status:"};
  TEdit ModelFile{"Model File:"}, FirmwareFile{"Firmware File:"}, UserId{"User ID:"};
  TCheckBox UserIdBox;  // the tick box beside "User ID:" (no caption)
  TGroupBox StatusGroup{"Production Status", false, true}, PlanGroup{"Production Plan", true, true};
  TControl ProduceButton;
  bool ButtonEnabled = true;
  bool Visible = false;
  TProdDialog ModelDialog, FirmwareDialog;

  // ---- seams ----
  IProdEditor* Editor = nullptr;    // the model's configuration editor
  IProdDialogs* Dialogs = nullptr;  // none: dialogs count as cancelled, questions as not answered Yes
  std::function<void()> SyncTime;   // the rack module screen's "Sync Time" (none: skipped)
  std::function<void()> OnShow;     // the view shows the window
  std::function<void()> Changed;    // a field changed during the run (the view repaints)
  std::string DataDir;              // folder below which the data folders live ("" the program's)
  std::function<TDateTime()> Now = NowLocal;

 private:
  void Say(const std::string& status);
  void RunChecks();
  void Check(const std::vector<TProdCheck>& steps, uint16_t ver) const;
  void WriteLog(const std::string& nextId);
  IProdEditor& Ed();
  std::string Folder(const std::string& rel) const;

  TPorts1& ports_;
  TMain1& main_;
  TMixer1& mixer_;
  TLoader1& loader_;
};

// The family's class names: the production window bound to its member row.
template <int N>
class TVexProdOf : public TVexProd1 {
 public:
  TVexProdOf(TPorts1& ports, TMain1& main, TMixer1& mixer, TLoader1& loader)
      : TVexProd1(ProdMembers()[N], ports, main, mixer, loader) {}
};
using TVex308prod1 = TVexProdOf<0>;
using TVex215prod1 = TVexProdOf<1>;
using TVex216prod1 = TVexProdOf<2>;
using TVex316prod1 = TVexProdOf<3>;
using TVex324prod1 = TVexProdOf<4>;
using TVex733prod1 = TVexProdOf<5>;
using TVex748prod1 = TVexProdOf<6>;
using TVex924prod1 = TVexProdOf<7>;
using TVex932prod1 = TVexProdOf<8>;
using TVex936prod1 = TVexProdOf<9>;

}  // namespace vex
