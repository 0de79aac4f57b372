// The main window "Announciator System Configuration Utility": the launcher with one page per
// device model, and three mechanisms every window relies on: the access modes, the busy check with
// the deferred replay of a refused click, and the idle dispatcher that drives all periodic polling.
//
// The window's state and operations live here without any widgets. The hub, the tool windows, the
// registry values and the desktop (other programs, files) are reached through the small interfaces
// below, which the Qt program implements and tests fake.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vex {

constexpr int WM_POLL = 0x0401;  // the polling message of the program
constexpr const char* cMainCaption = "Announciator System Configuration Utility";
constexpr const char* cVersionLabel = "Rev 2.078.r34";
constexpr int64_t cModeKey = 40713;  // value of "Products" / "Service" that switches a mode on

// ---- seams ------------------------------------------------------------------

// The per-user registry values of the access modes ("Software\Pelmora" "Products",
// "Software\Zentaro" "Service").
class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  // The integer value `name` under the user's key `key`; nullopt when missing or not an integer.
  virtual std::optional<int64_t> ReadInt(const std::string& key, const std::string& name) const = 0;
};

// A store held in memory ("key\name" -> value); command line and tests.
class MapSettingsStore : public ISettingsStore {
 public:
  std::map<std::string, int64_t> Values;  // "Software\Pelmora\Products" -> 40713
  std::optional<int64_t> ReadInt(const std::string& key, const std::string& name) const override;
};

// What the main window needs of the communication hub.
class IMainLink {
 public:
  virtual ~IMainLink() = default;
  virtual bool ComBsy() const = 0;               // a transaction is running
  virtual bool ConnectPortChecked() const = 0;   // "Connect Port" ticked: the link is open
  virtual void SetConnectPort(bool on) = 0;      // tick/clear "Connect Port" (opens/closes the link)
  virtual void Discovery() = 0;                  // "Discovery": connect and identify
  virtual void AutoDetection() = 0;              // "Auto Detection": search every port and rate
  virtual void Mesaj(const std::string& m) = 0;  // status line and log
  virtual void Error(const std::string& m) = 0;  // "Last Error:" (red, logged)
  virtual void Log(const std::string& m) = 0;
  virtual int BotMod() const = 0;                // detected bootloader model byte
  virtual std::string DetectedPage() const = 0;  // main-window page of the detected model ("" none)
  virtual std::string StatusText() const = 0;    // the status bar text (status + last error)
  virtual bool StatusFailed() const = 0;         // a last error is shown (status bar in red)
  virtual void ProcessMessages() = 0;            // let the GUI handle pending events
};

// Position and size of a window on the screen.
struct TBounds {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// A window of the program as the main window sees it. Every tool window implements what it has;
// a tool not built yet is a placeholder (Available() false) that can only be shown.
class IToolWindow {
 public:
  virtual ~IToolWindow() = default;
  virtual bool Available() const { return true; }
  virtual bool Visible() const = 0;
  virtual void Show() = 0;  // show, restore and bring to the front
  virtual void ShowModal() { Show(); }
  virtual TBounds Bounds() const { return {}; }
  virtual void MoveTo(int /*left*/, int /*top*/) {}
  void ShowAt(int left, int top) {
    MoveTo(left, top);
    Show();
  }
  virtual void DoIdle() {}      // configuration windows: periodic turn while visible
  virtual void AppIdle() {}     // simulators and the hub: periodic turn
  virtual void StartScan() {}   // tick the simulator's "Start Scan" (cyclic polling)
  virtual void StopScan() {}    // clear "Start Scan"
  virtual void ReadConfig() {}  // click the editor's "Read Config"
  virtual void UploadFirm() {}  // production window: firmware upload
  virtual void DoProduct() {}   // production window: production run
  virtual bool InspectorWanted() const { return false; }  // Vex316 simulator: second check box ticked
};

// Other programs and files on the desktop.
class IDesktop {
 public:
  virtual ~IDesktop() = default;
  // Restores and brings forward a top-level window titled exactly `caption`; false when none.
  virtual bool RaiseWindow(const std::string& caption) = 0;
  virtual bool FileExists(const std::string& path) const = 0;  // relative to the current folder
  virtual void Open(const std::string& path) = 0;              // start a program; may throw
};

// Where and how the program was started.
struct TStartInfo {
  std::string ExePath;           // full path of the executable
  bool DeveloperSwitch = false;  // developer mode switched on
  // The running process: VEXSIM_DEVELOPER=1 or a file "developer.mode" beside the executable.
  static TStartInfo FromProcess();
};

// True for a demonstration installation, which never runs in administrator mode.
bool IsDemoInstallation(const std::string& exePath);
// The developer switch: environment value "1" or a marker file "developer.mode" in the folder.
bool DeveloperSwitchOn(const char* envValue, const std::string& exeDir);

// ---- controls ------------------------------------------------------------------

// A clickable control as the busy check sees it: what it is and the handler a click runs. Tools keep
// one per device button and hand it to IsBusy as the sender.
class TControl {
 public:
  enum class Kind { Button, Label, CheckBox, Other };
  TControl(std::string caption, Kind kind, std::function<void(TControl& sender)> onClick = {})
      : Caption(std::move(caption)), kind(kind), OnClick(std::move(onClick)) {}
  TControl(const TControl&) = delete;
  TControl& operator=(const TControl&) = delete;

  // Runs the click handler with the control itself as sender (a check box is not toggled here).
  void Click() {
    if (OnClick) OnClick(*this);
  }

  std::string Caption;
  Kind kind;
  std::function<void(TControl& sender)> OnClick;
  bool Visible = true;
  bool Checked = false;  // check boxes
};

// ---- the model pages ---------------------------------------------------------------

enum class TCfgAction { ShowRead, BelowRead, External };
enum class TSimAction { Show, RightBelowScan, RightBelowScanFront, RightTopScan, Vex316 };

struct TModelPage {
  std::string Caption;             // tab caption
  std::string Unit;                // internal unit ("Vex215" on the page "Vex216")
  std::vector<std::string> Panel;  // panel caption and description lines
  bool DeveloperOnly = false;      // the page exists in developer mode only
  std::string FwTool;              // window of "Fw Upload" ("" no button)
  bool FwShows = false;            // "Fw Upload" shows FwTool instead of starting its upload
  std::string CfgTool;             // window of "Configuration"
  std::string ProdTool;            // window of "Production" ("" no button)
  std::string SimTool;             // window of "Simulator"
  TCfgAction Cfg = TCfgAction::ShowRead;
  TSimAction Sim = TSimAction::Show;
};

class TMain1;

// One page of the main window with its buttons.
struct TMainPage {
  TMainPage(const TModelPage& d, TMain1& m);
  TModelPage Def;
  bool Visible = true;
  TControl FwUpload, Configuration, Production, Simulator;
};

// ---- the main window ------------------------------------------------------------------

class TMain1 {
 public:
  TMain1(IMainLink& link, IDesktop& desktop);
  TMain1(const TMain1&) = delete;
  TMain1& operator=(const TMain1&) = delete;

  // Creation: version label, access modes, visible buttons, mode letters, "About" selected.
  void FormCreate(const TStartInfo& start, const ISettingsStore& store);

  // Window registry (instance name -> window); absent windows count as hidden and unavailable.
  void SetTool(const std::string& name, IToolWindow* w);
  IToolWindow* Tool(const std::string& name) const;

  // The busy check every user-triggered device operation calls first: true = abandon the click
  // (it is replayed at the next idle pass when a transaction was running).
  bool IsBusy(TControl* Sender, bool d);
  // One idle pass of the application.
  void ApplicationEvents1Idle();
  // Every exception no caller handled: last error of the hub, link closed, no dialog.
  void ApplicationEvents1Exception(const std::string& message);
  // Runs f; an exception escaping it goes to ApplicationEvents1Exception.
  void Guard(const std::function<void()>& f);
  // The main window became active: all annunciator and rack-module simulators stop polling.
  void FormActivate();

  // Buttons outside the pages.
  void DetectTargetClick();  // "Detect Target"
  void PortSettingsClick();  // "Port Settings"
  void BootMixerClick();     // "Boot Mixer"
  void RunConfigProgram();   // "Configuration" of the "Brix3" page
  // Selects the page of the model the hub's "Auto Detection" found (when that page is shown).
  void SelectDetectedPage();

  // Fields of the window.
  TControl* ComNxt = nullptr;  // the refused click to replay
  bool AdmMod = false;         // administrator: production visible, detection at start
  bool DesMod = false;         // developer: "Boot Mixer" and the "Vex316" page
  bool SrvMod = false;         // service functions of other windows
  bool PreRun = false;         // the one-time start action of administrator mode has run

  std::string VersionLabel;   // "Rev 2.078.r34"
  std::string ModeText;       // first status panel: version label + "A" "D" "S"
  std::string StatusText;     // second status panel: the link status
  bool StatusFailed = false;  // ... drawn in red
  std::string ExeDirPath;     // folder of the executable (INI files)
  int ActivePage = 0;         // index into Pages (Pages.size() = the "About" page)

  std::deque<TMainPage> Pages;  // every model page in tab order (hidden ones included)
  TControl DetectTarget, PortSettings, BootMixer;

  int PageIndex(const std::string& caption) const;  // -1 when unknown; "About" = Pages.size()
  int AboutPage() const { return static_cast<int>(Pages.size()); }

  static const std::vector<TModelPage>& ModelPages();
  // Windows polled on idle passes, in their order.
  static const std::vector<std::string>& ConfigWindows();     // DoIdle
  static const std::vector<std::string>& SimulatorWindows();  // AppIdle
  static const std::vector<std::string>& ScanWindows();       // polling stopped on activation

 private:
  friend struct TMainPage;
  void FwUploadClick(const TModelPage& p);
  void ConfigurationClick(const TModelPage& p);
  void ProductionClick(const TModelPage& p);
  void SimulatorClick(const TModelPage& p);
  IToolWindow* Need(const std::string& name, const std::string& what);
  TBounds MainBounds() const;

  IMainLink& link_;
  IDesktop& desktop_;
  std::map<std::string, IToolWindow*> tools_;
  bool inIdle_ = false;
};

}  // namespace vex
