#include "rtu/Rtu3file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <thread>

#include "rtu/Rtu3sim.h"

namespace vex {

const TRtuKind cRtuKinds[3] = {
    {"Applic", "rtua", 0xB10, 0xB1, 0xF10, 0xF1, "\\Brix3\\Aplics", "Open BRIX Application Files",
     "Save BRIX Application File", "(*.rtua) Brix Application Files|*.rtua|(*.*) All Files|*.*"},
    {"Config", "rtuc", 0xB20, 0xB2, 0xF20, 0xF2, "\\Brix3\\Config", "Open BRIX Config Files",
     "Save BRIX Config File", "(*.rtuc) Rtu Config Files|*.rtuc|(*.*) All Files|*.*"},
    {"Encaps", "rtum", 0xB30, 0xB3, 0xF30, 0xF3, "\\Brix3\\Encaps", "Open BRIX Encapsulated Modul Files",
     "Save BRIX Encapsulated Modul File", "(*.rtum) Encap Modul Files|*.rtum|(*.*) All Files|*.*"},
};

// Each erase waits on the slot it empties; the whole-flash and event erases on B1.
const TRtuErase cRtuErases[6] = {
    {"Erase Applic File", 0xEAF1, 0xB10, false}, {"Erase Config File", 0xEAF2, 0xB20, false},
    {"Erase Encaps File", 0xEAF3, 0xB30, false}, {"Erase All Files", 0xEAE0, 0xB10, false},
    {"Erase All Flash", 0xEAEF, 0xB10, true},    {"Erase Events/NvRam", 0xEBB0, 0xB10, true},
};

namespace {

const char* const kNameCaptions[6] = {
    "Applic File:",          "Config File:",          "Encaps File:",
    "Download Applic File:", "Download Config File:", "Download Encaps File:"};
const char* const kRowTitles[7] = {"",
                                   "F1- Applic File",
                                   "B1- Applic Back",
                                   "F2- Config File",
                                   "B2- Config Back",
                                   "F3- Encaps File",
                                   "B3- Encaps Back"};
const char* const kColTitles[9] = {"", "Version", "Status", "Size", "Space", "Sum", "Calc", "Ban", "Age"};

std::string Blocks(uint32_t n) { return std::to_string((n + 63) / 64); }

}  // namespace

const char* TRtu3file1::NameKey(int k) {
  static const char* const keys[6] = {"LabeledEdit31", "LabeledEdit32", "LabeledEdit33",
                                      "LabeledEdit34", "LabeledEdit35", "LabeledEdit36"};
  return keys[k];
}

TRtu3file1::TRtu3file1(TPorts1& ports, TMain1& main)
    : Names{PlainField("", kNameCaptions[0]), PlainField("", kNameCaptions[1]),
            PlainField("", kNameCaptions[2]), PlainField("", kNameCaptions[3]),
            PlainField("", kNameCaptions[4]), PlainField("", kNameCaptions[5])},
      MemArr(new uint8_t[cRtuMemMax]),
      UploadButton{TControl("Upload File", TControl::Kind::Button, [this](TControl&) { Upload(0); }),
                   TControl("Upload File", TControl::Kind::Button, [this](TControl&) { Upload(1); }),
                   TControl("Upload File", TControl::Kind::Button, [this](TControl&) { Upload(2); })},
      DownloadButton{TControl("Download File", TControl::Kind::Button, [this](TControl&) { Download(0); }),
                     TControl("Download File", TControl::Kind::Button, [this](TControl&) { Download(1); }),
                     TControl("Download File", TControl::Kind::Button, [this](TControl&) { Download(2); })},
      CheckFilesButton("Check Files", TControl::Kind::Button, [this](TControl&) { CheckFiles(); }),
      EraseButton{
          TControl(cRtuErases[0].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(0); }),
          TControl(cRtuErases[1].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(1); }),
          TControl(cRtuErases[2].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(2); }),
          TControl(cRtuErases[3].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(3); }),
          TControl(cRtuErases[4].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(4); }),
          TControl(cRtuErases[5].Caption, TControl::Kind::Button, [this](TControl&) { EraseClick(5); })},
      SafeMode("Safe Mode Request", TControl::Kind::Button, [this](TControl&) { Forward(0); }),
      Reboot("Reboot System", TControl::Kind::Button, [this](TControl&) { Forward(1); }),
      RestartPipes("Restart Pipes", TControl::Kind::Button, [this](TControl&) { Forward(2); }),
      RestartNetwork("Restart Network", TControl::Kind::Button, [this](TControl&) { Forward(3); }),
      ports_(ports),
      main_(main) {
  for (int r = 0; r < 7; ++r)
    for (int c = 0; c < 9; ++c) Cells[r][c] = r == 0 ? kColTitles[c] : c == 0 ? kRowTitles[r] : "";
}

// ---- button handlers ----

void TRtu3file1::Upload(int k) {
  if (main_.IsBusy(&UploadButton[k], false)) return;
  FileUpload(cRtuKinds[k].UploadReg, cRtuKinds[k].UploadFile, Names[static_cast<size_t>(k)].Text());
}

void TRtu3file1::Download(int k) {
  if (main_.IsBusy(&DownloadButton[k], false)) return;
  FileDownload(cRtuKinds[k].DownloadReg, cRtuKinds[k].DownloadFile, Names[static_cast<size_t>(k + 3)].Text());
}

void TRtu3file1::Forward(int k) {
  if (!Sim) {
    ports_.Mesaj("BRIX-3000 Simulator is not available");
    return;
  }
  TControl* c[] = {&Sim->SafeMode, &Sim->Reboot, &Sim->RestartPipes, &Sim->RestartNetwork};
  c[k]->Click();
}

void TRtu3file1::EncapClick() {
  if (ShowWindow) ShowWindow("Rtu3encap1");
}

void TRtu3file1::AppClick() {
  if (ShowWindow) ShowWindow("Rtu3app1");
}

// ---- transfers ----

void TRtu3file1::Pause(int ms) {
  if (WaitMs)
    WaitMs(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void TRtu3file1::Begin() {
  Transfer = true;
  Brk = false;
  Status("Discovering Target");
  ports_.Button1Click();
  if (ports_.BotMod != cRtu3Fid) throw Exception("Target model incompatible");
}

// Runs a transfer body with the reply window shortened to 50 ms, then, whatever happened, restores
// it, enables the buttons, passes the status line to the console and waits for the device. A
// failure is shown in the status line and goes on to the caller.
template <class F>
void TRtu3file1::Run(int fr, F&& body) {
  const int bln = ports_.ComBln;
  bool saved = false;
  std::exception_ptr failure;
  try {
    Begin();
    ports_.ComBln = 50;
    saved = true;  // from here on the device may hold part of a transfer
    body();
  } catch (const std::exception& e) {
    failure = std::current_exception();
    StatusLine = std::string("Error Occured: ") + e.what() + " " + StatusLine;
  }
  if (saved) ports_.ComBln = bln;
  Transfer = false;
  Brk = false;
  ports_.Mesaj(StatusLine);
  Touch();
  try {
    // nothing went to a device that was not found or is not the RTU: no completion to wait for
    if (saved) CheckComplet(fr);
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) std::rethrow_exception(failure);
}

void TRtu3file1::FileUpload(int fr, int fn, const std::string& file) {
  // Everything that can be refused without the device is refused before anything is sent.
  MemSiz = 0;
  try {
    if (fr < 0xB10 || fr > 0xBF0) throw Exception("File register not in range [$B10..$BF0]");
    if (fn < 0xB1 || fn > 0xBF) throw Exception("File number not in range [$B1..$BF]");
    if (file.empty()) throw Exception("File name must be specified");
    const ByteStr data = ReadWholeFile(file);
    if (data.size() > cRtuMemMax)
      throw Exception("File is too big=" + std::to_string(data.size()) +
                      " max=" + std::to_string(cRtuMemMax));
    std::memcpy(MemArr.get(), data.data(), data.size());
    MemSiz = static_cast<uint32_t>(data.size());
  } catch (const std::exception& e) {
    Status(std::string("Error Occured: ") + e.what());
    throw;
  }
  Run(fr, [&] {
    ports_.Mesaj("File Uploading: " + file);
    const tRtu3hed h = UnpackHed(MemArr.get(), MemSiz);
    ports_.Mesaj("Text=          " + h.Idf.substr(0, h.Idf.find('\0')));
    ports_.Mesaj("Version=      " + InttoModel(h.Ver));
    ports_.Mesaj("CRC=          $" + IntToHex(h.Crc, 4));
    ports_.Mesaj("Size=           " + std::to_string((MemSiz + 1023) / 1024) + "K (" +
                 std::to_string(MemSiz) + "bytes)");
    ports_.Mesaj("Block=         " + Blocks(MemSiz) + " blocks");
    ProgressMax = MemSiz;
    ProgressPos = 0;
    const std::string total = Blocks(MemSiz);
    uint32_t n = 0;
    while (n < MemSiz) {
      if (Brk) throw Exception("User Break");
      Status("Uploading " + Blocks(n) + " / " + total);
      auto send = [&] {
        const auto c = static_cast<uint8_t>(std::min<uint32_t>(64, MemSiz - n));
        ports_.ModWriteFileRtu(static_cast<uint8_t>(fn), n, c, MemArr.get() + n, false);
        n += c;
      };
      try {
        send();
      } catch (const Exception&) {
        // The device may have stored part of what was sent: carry on from the size it reports.
        for (int attempt = 2;; ++attempt) {
          try {
            const uint32_t siz = ports_.ModReadLong(fr + 2, false);
            if (siz > MemSiz)
              throw Exception("Device reports more than the file holds: " + std::to_string(siz));
            n = siz;
            if (n < MemSiz) send();
            break;
          } catch (const Exception&) {
            if (attempt >= 3) throw;
          }
        }
      }
      ProgressPos = n;
      Touch();
    }
    Status("Uploading " + total + " / " + total + " Complete.");
    ports_.Mesaj("File Upload complete...");
  });
}

void TRtu3file1::FileDownload(int fr, int fn, const std::string& file) {
  MemSiz = 0;
  try {
    if (file.empty()) throw Exception("File name must be specified");
    if ((fr < 0xF10 || fr > 0xFF0) && (fr < 0xB10 || fr > 0xBF0))
      throw Exception("File register not in range [$B10..$BF0,$F10..$FF0]");
    if ((fn < 0xB1 || fn > 0xBF) && (fn < 0xF1 || fn > 0xFF))
      throw Exception("File number not in range [$B1..$BF,$F1..$FF]");
  } catch (const std::exception& e) {
    Status(std::string("Error Occured: ") + e.what());
    throw;
  }
  Run(fr, [&] {
    ports_.Mesaj("File Downloading: " + file);
    main_.ActivePage = main_.AboutPage();
    const int v = ports_.ModRead(fr + 8, false);
    const uint32_t s = ports_.ModReadLong(fr + 2, false);
    ports_.Mesaj("File=         " + std::to_string(fn));
    ports_.Mesaj("Version=   " + InttoModel(static_cast<uint32_t>(v)));
    ports_.Mesaj("Size=        " + std::to_string((static_cast<uint64_t>(s) + 1023) / 1024) + "K (" +
                 std::to_string(s) + ")");
    if (s > cRtuMemMax)
      throw Exception("Device file is too big=" + std::to_string(s) + " max=" + std::to_string(cRtuMemMax));
    ProgressMax = s;
    ProgressPos = 0;
    const std::string total = Blocks(s);
    uint32_t n = 0;
    while (n < s) {
      if (Brk) throw Exception("User Break");
      Status("Downloading " + Blocks(n) + " / " + total);
      const auto c = static_cast<uint8_t>(std::min<uint32_t>(64, s - n));
      for (int attempt = 1;; ++attempt) {
        try {
          ports_.ModReadFileRtu(static_cast<uint8_t>(fn), n, c, MemArr.get() + n, true);
          break;
        } catch (const Exception&) {
          if (attempt >= 3) throw;
        }
      }
      n += c;
      ProgressPos = n;
      Touch();
    }
    Status("Downloading " + total + " / " + total + " Complete.");
    // the PC file is replaced only now, whole
    WriteFileAtomic(file, ByteStr(reinterpret_cast<const char*>(MemArr.get()), s));
    MemSiz = s;
    Status("File Download complete...");
  });
}

void TRtu3file1::CheckComplet(int fr) {
  if (fr == 0) fr = 0xB10;
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(CompletionMs);
  while (std::chrono::steady_clock::now() < end) {
    Pause(CompletionStepMs);
    try {
      uint16_t w[cRtu3FileRegs];
      ports_.ModReadMulti(fr, cRtu3FileRegs, w, false);
      if (FileFromWords(w).Ban == 0) break;
    } catch (const Exception&) {
      // the device may be busy with the file: look again
    }
  }
  CheckFiles();
}

void TRtu3file1::CheckFiles() {
  if (main_.IsBusy(&CheckFilesButton, false)) return;
  for (int r = 1; r <= 6; ++r)
    for (int c = 1; c <= 8; ++c) Cells[r][c].clear();
  Touch();
  ports_.SetConnectPort(true);
  for (int r = 1; r <= 6; ++r) {
    uint16_t w[cRtu3FileRegs];
    ports_.ModReadMulti(cRowSlot[r - 1], cRtu3FileRegs, w, false);
    Files[r - 1] = FileFromWords(w);
    const auto cells = FileCells(Files[r - 1]);
    for (int c = 1; c <= 8; ++c) Cells[r][c] = cells[static_cast<size_t>(c - 1)];
    Touch();
  }
}

void TRtu3file1::EraseClick(int k) {
  const TRtuErase& e = cRtuErases[k];
  if (e.Privileged && !EraseFlashVisible()) return;
  if (Dialogs && !Dialogs->Confirm(std::string(e.Caption) + ": the device's data is lost. Continue?")) return;
  if (main_.IsBusy(&EraseButton[k], false)) return;
  ports_.ModWrite(cRtu3ErsAt, e.Value, true);
  ports_.Mesaj(std::string(e.Caption) + " sent");
  CheckComplet(e.Slot);
}

// ---- idle, settings, file names ----

void TRtu3file1::DoIdle() {
  const auto sb = ports_.StatBar();
  if (sb.Text != LinkStatus || sb.Red != LinkRed) {
    LinkStatus = sb.Text;
    LinkRed = sb.Red;
    Touch();
  }
  if (ports_.BotMod != 0 && ports_.BotMod != cRtu3Fid && HideWindow) HideWindow();
}

void TRtu3file1::FormShow() {
  if (Shw) return;
  Shw = true;
  ReadSettings();
  Touch();
  CheckFiles();
}

void TRtu3file1::FormHide() { WriteSettings(); }

void TRtu3file1::ReadSettings() {
  const auto keys = ReadIniSection(RtuIniPath(Home), "RtuFiles");
  for (int k = 0; k < 6; ++k) {
    const auto it = keys.find(NameKey(k));
    Names[static_cast<size_t>(k)].SetText(it == keys.end() ? "" : it->second);
  }
}

void TRtu3file1::WriteSettings() {
  std::vector<std::pair<std::string, std::string>> keys;
  for (int k = 0; k < 6; ++k) keys.emplace_back(NameKey(k), Names[static_cast<size_t>(k)].Text());
  WriteIniKeys(RtuIniPath(Home), "RtuFiles", keys);
}

void TRtu3file1::SelectName(int k) {
  if (!Dialogs) return;
  const TRtuKind& kind = cRtuKinds[k % 3];
  const bool save = k >= 3;
  const std::string def = std::string("Stn00001") + (save ? "-Down." : ".") + kind.Ext;
  TFileDialog d = SelectStart(Names[static_cast<size_t>(k)].Text(), ForceDirIn(Home, kind.Folder), def);
  d.Title = save ? kind.SaveTitle : kind.OpenTitle;
  d.Filter = kind.Filter;
  d.DefaultExt = kind.Ext;
  std::string name = d.InitialDir.empty() ? d.FileName : d.InitialDir + "/" + d.FileName;
  if (save ? Dialogs->SaveFile(d, name) : Dialogs->OpenFile(d, name)) {
    Names[static_cast<size_t>(k)].SetText(name);
    Touch();
  }
}

}  // namespace vex
