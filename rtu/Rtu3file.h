// "File Upload / Download Manager" (TRtu3file1): moves the rack RTU's application, configuration
// and module package files between the PC and the device's file slots, shows the device's file
// table, sends its erase commands, opens the two file generators and forwards four system
// commands to the RTU monitor. The window's state and operations, without widgets.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>

#include "comm/Ports.h"
#include "rtu/Rtu3type.h"
#include "shell/Main.h"

namespace vex {

class TRtu3sim1;

// One kind of RTU file: its fields, slots and dialog texts.
struct TRtuKind {
  const char* Name;  // "Applic", "Config", "Encaps"
  const char* Ext;   // "rtua"
  int UploadReg, UploadFile;
  int DownloadReg, DownloadFile;
  const char* Folder;                 // default folder "\Brix3\Aplics"
  const char *OpenTitle, *SaveTitle;  // dialog titles
  const char* Filter;                 // dialog filter
};
extern const TRtuKind cRtuKinds[3];

// Erase commands to register 0x310.
struct TRtuErase {
  const char* Caption;  // "Erase Applic File"
  uint16_t Value;       // 0xEAF1
  int Slot;             // status block whose Ban the completion wait watches
  bool Privileged;      // visible in administrator or service mode only
};
extern const TRtuErase cRtuErases[6];

class TRtu3file1 {
 public:
  TRtu3file1(TPorts1& ports, TMain1& main);
  TRtu3file1(const TRtu3file1&) = delete;
  TRtu3file1& operator=(const TRtu3file1&) = delete;

  static constexpr const char* cCaption = "File Upload / Download Manager";

  // ---- window state ----
  // File name fields: 0..2 "Applic File:", "Config File:", "Encaps File:" (LabeledEdit31..33),
  // 3..5 "Download Applic File:" ... (LabeledEdit34..36).
  std::array<PlainField, 6> Names;
  static const char* NameKey(int k);  // "LabeledEdit31" ...
  std::string Cells[7][9];            // the file table, row 0 and column 0 titles
  tRtu3file Files[6];                 // the records behind rows 1..6
  std::string StatusLine;             // the window's own status line
  std::string LinkStatus;             // the hub's status bar
  bool LinkRed = false;
  uint32_t ProgressMax = 0, ProgressPos = 0;
  bool Transfer = false;  // a transfer runs: every button but "Cancel" disabled
  bool CancelEnabled() const { return Transfer; }
  bool ButtonsEnabled() const { return !Transfer; }
  bool EraseFlashVisible() const { return main_.AdmMod || main_.SrvMod; }  // "Erase All Flash", ".../NvRam"
  bool GeneratorsVisible() const { return main_.DesMod; }                  // "Encap Modul Files", ...
  bool Shw = false;                                                        // shown before
  bool Brk = false;                                                        // "Cancel" pressed
  std::unique_ptr<uint8_t[]> MemArr;  // transfer buffer, cRtuMemMax bytes
  uint32_t MemSiz = 0;

  // ---- seams ----
  IRtuDialogs* Dialogs = nullptr;                      // file dialogs and confirmations
  TRtu3sim1* Sim = nullptr;                            // the monitor that runs the four system commands
  std::function<void(int ms)> WaitMs;                  // waits keeping the interface responsive
  std::function<void()> Changed;                       // the state changed during a long operation
  std::function<void()> HideWindow;                    // closes the window
  std::function<void(const std::string&)> ShowWindow;  // shows another window by instance name
  std::string Home;                                    // program folder ("" = the executable's)
  int CompletionMs = 20000, CompletionStepMs = 500;

  // ---- controls (the busy check replays them) ----
  TControl UploadButton[3], DownloadButton[3], CheckFilesButton;
  TControl EraseButton[6];
  TControl SafeMode, Reboot, RestartPipes, RestartNetwork;

  // ---- operations ----
  void FormShow();  // first showing: settings read, "Check Files"
  void FormHide();  // settings written
  void DoIdle();    // idle pass: status bar, closes when another target was detected
  void FileUpload(int fr, int fn, const std::string& file);
  void FileDownload(int fr, int fn, const std::string& file);
  void CheckComplet(int fr);
  void CheckFiles();
  void Cancel() { Brk = true; }
  void EraseClick(int k);  // cRtuErases[k]
  void SelectName(int k);  // double click on name field k
  void EncapClick();       // "Encap Modul Files"
  void AppClick();         // "Rtu Application File"
  void ReadSettings();
  void WriteSettings();
  // The six status records in table order (rows 1..6).
  static constexpr int cRowSlot[6] = {0xF10, 0xB10, 0xF20, 0xB20, 0xF30, 0xB30};

 private:
  void Touch() {
    if (Changed) Changed();
  }
  void Status(const std::string& s) {
    StatusLine = s;
    Touch();
  }
  void Begin();
  void Upload(int k);    // "Upload File" of kind k
  void Download(int k);  // "Download File" of kind k
  void Forward(int k);   // the monitor's system command k
  template <class F>
  void Run(int fr, F&& body);
  void Pause(int ms);

  TPorts1& ports_;
  TMain1& main_;
};

}  // namespace vex
