// "Rtu3 Application File Generator" (TRtu3app1): turns the RTU's S-record application image into
// an application file (.rtua): header, the image 4-byte aligned, and the checksum trailer. The
// image is loaded with the image store of the boot mixer; nothing is written unless every check
// passed.
#pragma once

#include <functional>
#include <string>

#include "firmware/Mixer.h"
#include "rtu/Rtu3type.h"

namespace vex {

class TRtu3app1 {
 public:
  explicit TRtu3app1(TMixer1& mixer);
  static constexpr const char* cCaption = "Rtu3 Application File Generator";
  static constexpr const char* cIdf = "BRIX3 Aplic File       ORVANTESK.LIMRA";

  PlainField Firmware{"", "Rtu3 Firmware:"};        // LabeledEdit1
  PlainField Output{"", "Rtu3 Application File:"};  // LabeledEdit50
  tRtu3hed Rtm;                                     // header of the last build
  ByteStr Buf;                                      // image and trailer of the last build

  IRtuDialogs* Dialogs = nullptr;
  std::function<void(const std::string&)> Mesaj;
  std::function<TDateTime()> Now;
  std::string Home;
  std::string FirmwareDir;  // default folder of the S-record dialog ("" = the program folder)

  void FormShow();
  void FormHide();
  void ProcessFiles();
  ByteStr Build();
  void Capsulate(const std::string& e, uint8_t v);
  void FirmwareDblClick();
  void OutputDblClick();

 private:
  void Say(const std::string& m) const {
    if (Mesaj) Mesaj(m);
  }
  TMixer1& mixer_;
};

}  // namespace vex
