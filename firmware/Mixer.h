// The firmware image store and the boot mixer.
//
// One flat 16 MiB memory image with 16 fuse bytes. Loads read Intel HEX files of PIC16F
// and PIC18F targets (applications, or a bootloader merged below an application) and
// Motorola S-record files; the application's identification header (length in segments
// and CRC) is finished after every HEX load and a few statistics lines go to the message
// console. Writers produce Intel HEX in the PIC16F and the PIC18F form. The boot mix
// ("Create Mixed Hex File") merges a bootloader and an application into one HEX file.
//
// The store is GUI-free: the boot mixer dialog, production and the RTU generators all
// call it directly. Everything is owned by one TMixer1 instance; two instances are
// independent.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "shell/Basics.h"

namespace vex {

constexpr uint32_t cRomSiz = 0x1000000;  // bytes of the memory image

// Identification header at the first address of every application image: four 16-bit
// little-endian words as they lie in program memory.
struct tIdf {
  uint16_t Crl;  // low byte of the image CRC (bits 8-15 zero)
  uint16_t Crh;  // high byte of the image CRC (bits 8-15 zero)
  uint16_t Top;  // image length in segments
  uint16_t Ver;  // bits 0-7 model identifier, bits 8-15 firmware edition
};

// ---- record helpers ----
// Takes the first two characters of s as a hexadecimal byte and removes them.
// Raises "'$xx' is not a valid integer value" when they are not two hex digits.
uint8_t GetHex(std::string& s);
// Decodes the text of one Intel HEX record after its ':' into count, address (2),
// type and data bytes; the checksum is verified and not returned.
ByteStr HexCheck(std::string_view s);
// Decodes the text of one S-record after its "S<type>" into count and the following
// count-1 bytes (address and data); the checksum is verified and not returned.
ByteStr MotCheck(std::string_view s);
// HEX record text (without ':') of the bytes b followed by their checksum.
std::string HexApply(const ByteStr& b);

// File dialogs of the boot mixer. Each returns false when cancelled; on true `name`
// holds the chosen file. `name` comes in as the initial file name.
class IMixerDialogs {
 public:
  virtual ~IMixerDialogs() = default;
  virtual bool OpenFile(const std::string& filter, std::string& name) = 0;
  virtual bool SaveFile(const std::string& filter, std::string& name) = 0;
};

class TMixer1 {
 public:
  using Sink = std::function<void(const std::string&)>;

  TMixer1();
  TMixer1(const TMixer1&) = delete;
  TMixer1& operator=(const TMixer1&) = delete;

  // ---- the store ----
 private:
  std::unique_ptr<uint8_t[]> map_;

 public:
  uint8_t* const Map;  // the memory image, cRomSiz bytes, indexed by byte address
  uint8_t Fus[16];     // configuration ("fuse") bytes
  uint32_t AppBeg;     // lowest application byte address loaded
  uint32_t AppEnd;     // HEX: one past the highest application byte; S-record: the highest
  uint32_t AppTop;     // end of the segment-rounded image: AppBeg + Top x segment size
  uint32_t Top;        // image length in segments of the last load
  std::string AppIdn;  // processor identification line (";PIC...", ";Motorola-S")
  int AppFus;          // fuse bytes loaded: one past the highest fuse offset written
  uint32_t CodeCount;  // code bytes read by the last load

  // Console lines ("Loading ...", statistics, "Saving ...", "Mixing..."); the program
  // wires it to the hub's message console.
  Sink Mesaj;

  // The identification header at AppBeg (valid after a successful load).
  tIdf Idf() const;
  void SetIdf(const tIdf& h);
  // CRC-16/MODBUS over Map[AppBeg + 4 ... AppTop - 1]; 0xFFFF when that range is empty.
  uint16_t CRCcalc() const;

  // Intel HEX load. bt: merge a bootloader into the loaded application (no clearing);
  // ss: the PIC16F small-system rule (record at 0x400E holds the fuses); bsg: segment size.
  void HexLoader(const std::string& f, bool bt, bool ss, uint32_t bsg);
  // Motorola S-record load; always clears the store first.
  void MotLoader(const std::string& f, uint32_t bsg);
  // The same loads from text already in memory; f only names the source in messages.
  void HexLoadText(std::string_view text, const std::string& f, bool bt, bool ss, uint32_t bsg);
  void MotLoadText(std::string_view text, const std::string& f, uint32_t bsg);

  // Intel HEX writers (the file is replaced atomically) and the text they write.
  void HexSaver16F(const std::string& f);
  void HexSaver18F(const std::string& f);
  std::string HexText16F() const;
  std::string HexText18F() const;

  // The boot mix: application and bootloader merged into dest (PIC18F form above
  // segment size 32, else PIC16F form).
  void Mix(const std::string& boot, const std::string& app, const std::string& dest, uint32_t segSiz);

  // ---- the "Boot Mixer" dialog ("Create Bootable Application") ----
  static constexpr const char* cHexFilter = "(*.Hex) Hex Files|*.Hex|(*.*) All Files|*.*";
  PlainField Edit1{"", "Bootcode Hex File:"};
  PlainField Edit2{"", "Firmware Hex File:"};
  PlainField Edit3{"", "Destination Hex File:"};
  IMixerDialogs* Dialogs = nullptr;    // file dialogs; none: double clicks do nothing
  std::function<uint32_t()> SegSizOf;  // segment size of the last target detection
  bool CloseRequested = false;         // the dialog closes when the mix handler ends

  void FormShow();       // empty fields get their defaults
  void Edit1DblClick();  // choose the bootloader file
  void Edit2DblClick();  // choose the application file
  void Edit3DblClick();  // choose the destination file
  void Button1Click();   // "Create Mixed Hex File"

 private:
  void Say(const std::string& m) const;
  void ClearHex();
  void ClearMot();
  void FinishHex(uint32_t bsg);
  void ReportHex(uint32_t bsg) const;
  void ReportMot(uint32_t bsg) const;
};

}  // namespace vex
