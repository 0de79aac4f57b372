// "Rtu3 Modul Firmware Encapsulator" (TRtu3encap1): packages up to nine module firmware images
// (Intel HEX) into one module package file (.rtum) for the RTU: header, 16-entry vector table,
// the images 4-byte aligned, and the checksum trailer. The images are loaded with the image store
// of the boot mixer; the output is written only when every row succeeded.
#pragma once

#include <array>
#include <functional>
#include <set>
#include <string>

#include "firmware/Mixer.h"
#include "rtu/Rtu3type.h"

namespace vex {

// Module kinds (slot index of the vector table).
enum tMdlDvc {
  nMdlLpt = 0,
  nMdl216 = 1,
  nMdl748 = 2,
  nMdl308 = 3,
  nMdl924 = 4,
  nMdl932 = 5,
  nMdl936 = 6,
  nMdlV216 = 7,
  nMdlV308 = 8,
  nMdlV924 = 9,
  nMdlV932 = 10,
  nMdlV936 = 11,
  nMdlX216 = 12,
  nMdlX308 = 13
};

// One row of the encapsulator, in processing order.
struct TEncapRow {
  int Slot;                // tMdlDvc
  const char* Caption;     // "Lpt1 Firmware:"
  uint8_t Model;           // model identifier required
  std::set<int> Editions;  // editions accepted (empty: any)
  uint32_t Seg;            // segment size
  const char* Folder;      // default folder
};
extern const std::array<TEncapRow, 9> cEncapRows;  // slots 0, 1, 3, 4, 5, 6, 2, 12, 13
// Rows in the order the window shows them (slot order).
extern const std::array<int, 9> cEncapShown;

class TRtu3encap1 {
 public:
  explicit TRtu3encap1(TMixer1& mixer);
  static constexpr const char* cCaption = "Rtu3 Modul Firmware Encapsulator";
  static constexpr const char* cIdf = "BRIX3 EncapModulFile   ORVANTESK.LIMRA";
  static constexpr const char* cModFilter = "(*.hex) Modul Firmware Files|*.hex|(*.*) All files|*.*";
  static constexpr const char* cOutFilter = "(*.rtum) Modul Files|*.rtum|(*.*) All Files|*.*";

  // ---- window state (index = processing order, keys LabeledEdit0..8 / CheckBox0..8) ----
  std::array<PlainField, 9> Files;
  std::array<bool, 9> Ticks{};
  PlainField Output{"", "Rtu Modul Fw Encapsulator File:"};  // LabeledEdit50
  int Width = 711;
  tRtu3hed Rtm;           // header of the last build
  tRtu3enc Vec[cEncMax];  // vector table of the last build
  ByteStr Buf;            // payload of the last build (vector table, images, trailer)

  // ---- seams ----
  IRtuDialogs* Dialogs = nullptr;
  std::function<void(const std::string&)> Mesaj;  // console line
  std::function<void()> ClearError;               // clears the console's error indicator
  std::function<TDateTime()> Now;                 // creation time
  std::string Home;                               // program folder ("" = the executable's)

  // ---- operations ----
  void FormShow();      // settings read
  void FormHide();      // settings written
  void ProcessFiles();  // "Process Files": builds and writes the output file
  // Builds the file in memory (header + payload) without writing it.
  ByteStr Build();
  void Capsulate(const std::string& e, uint8_t v, int f, uint32_t bsg, const std::set<int>& a);
  void FileDblClick(int k);  // module field k (processing order)
  void OutputDblClick();

 private:
  void Say(const std::string& m) const {
    if (Mesaj) Mesaj(m);
  }
  TMixer1& mixer_;
};

}  // namespace vex
