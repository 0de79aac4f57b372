// Records of the rack RTU: the 64-byte header of its files, the device's file status record, the
// module vector table, the monitor's register blocks, the file checksum and the text tables of the
// state and IRIG-B quality codes. Also the settings file of the RTU tools and the file dialogs.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "config/EepFile.h"  // WriteFileAtomic
#include "shell/Basics.h"

namespace vex {

constexpr uint8_t cRtu3Fid = 0x60;         // boot model identifier of the RTU
constexpr uint8_t cRtu3App = 0x61;         // model identifier of an RTU application image
constexpr uint16_t cEncVer = 0x6301;       // version word of a module package
constexpr int cEncMax = 16;                // entries of the module vector table
constexpr uint32_t cRtuSeg = 64;           // segment size of RTU application images
constexpr uint32_t cRtuMemMax = 1048576;   // transfer buffer of the file manager
constexpr uint32_t cEncFileMax = 0x20000;  // largest module package file
constexpr uint32_t cAppFileMax = 0x40000;  // largest application file
constexpr const char* cRtuIni = "Brix3prod.ini";
constexpr const char* cRtuFolder = "\\Brix3";

// ---- tRtu3hed: header at the start of every RTU file (64 bytes, little-endian) ----
struct tRtu3hed {
  std::string Idf;     // identification text (length byte + up to 39 bytes)
  uint8_t IdfLen = 0;  // declared length byte
  uint32_t Age = 0;    // creation time, seconds since 2000-01-01
  uint32_t Siz = 0;    // bytes following the header
  uint32_t Sum = 0;    // file checksum (the trailer's)
  uint16_t Ver = 0;    // version word of the content
  uint16_t Hsz = 64;   // header size
  uint16_t x1 = 0;
  uint16_t Vrc = 0;  // CRC of the vector table (module files), else 0
  uint16_t Vsz = 0;  // number of vectors
  uint16_t Crc = 0;  // CRC-16/MODBUS of bytes 0..61
};
constexpr size_t cRtu3HedSize = 64;
// The 64 bytes of h; the CRC is computed over bytes 0..61 when `crc` is true (h.Crc otherwise).
ByteStr PackHed(const tRtu3hed& h, bool crc = true);
// The header from the first 64 bytes of p (shorter data is read as zero-filled).
tRtu3hed UnpackHed(const uint8_t* p, size_t n);
// Identification field: length byte 39, the text (38 characters) and a zero byte.
std::string IdfField(const std::string& text);

// ---- tRtu3file: the device's file status record (14 registers at file number x 16) ----
struct tRtu3file {
  uint32_t Spc = 0;  // "Space"
  uint32_t Siz = 0;  // "Size": bytes received during an upload
  uint32_t Age = 0;  // "Age": seconds since 2000-01-01
  uint32_t Sum = 0;  // "Sum"
  uint16_t Ver = 0;  // "Version"
  uint16_t Sta = 0;  // "Status"
  uint32_t Ban = 0;  // "Ban": non-zero while the device works on the slot
  uint32_t Cal = 0;  // "Calc"
};
constexpr int cRtu3FileRegs = 14;
tRtu3file FileFromWords(const uint16_t* w);
// Table cells in column order "Version", "Status", "Size", "Space", "Sum", "Calc", "Ban", "Age".
std::array<std::string, 8> FileCells(const tRtu3file& f);

// ---- tRtu3enc: one entry of the module vector table (8 bytes) ----
struct tRtu3enc {
  uint16_t Ver = 0;  // the image's Ver word
  uint16_t Siz = 0;  // image length in bytes
  uint32_t Ofs = 0;  // offset of the image from the start of the payload
};

// File checksum: 0xFFFFFFFF minus each little-endian 32-bit word of the (length + 3) div 4 words
// (a short last word is zero-padded), modulo 2^32.
uint32_t CalcFile(const uint8_t* p, size_t length);
// Appends the trailer (aligned length, checksum) to a payload padded to a multiple of 4 and
// returns the checksum.
uint32_t AppendTrailer(ByteStr& payload);

// ---- monitor records ----
struct tRtu3net {  // 13 registers at 256
  uint32_t IpnAdr = 0, GatWay = 0, MskAdr = 0, PriDns = 0, SecDns = 0;
  uint16_t MacAd0 = 0, MacAd1 = 0, MacAd2 = 0;
};
struct tRtu3tim {       // 16 registers at 512
  uint32_t TimBas = 0;  // system time of day, ms
  uint16_t TimDat = 0, XX1 = 0;
  uint32_t RtcSec = 0;  // RTC time of day, s
  uint16_t RtcDat = 0, RtcCyc = 0;
  uint32_t IrgBas = 0;  // IRIG-B time of day, ms
  uint16_t IrgDat = 0, IrgDif = 0, IrgMin = 0, IrgMax = 0, IrgSft = 0;
  uint16_t IrgQlt = 0;  // lock quality code
};
struct tRtu3err {  // 15 registers at 0xD00
  uint16_t RegIni = 0, RegErr = 0, RamErr = 0, NvrErr = 0, EepErr = 0, EepSta = 0, SfmErr = 0, SfmSta = 0,
           CfgErr = 0, RtcErr = 0, WdtErr = 0, WdtCnt = 0, PrnErr = 0, PrnSta = 0, SysSta = 0;
};
struct tRtu3ers {       // 2 registers at 0x310
  uint16_t FilErs = 0;  // file erase status
  uint16_t EvnErs = 0;  // command status
};
struct tRtu3soc {  // 12 registers per socket
  uint16_t SocIdf = 0, SocSta = 0, TrnNum = 0, RemIdf = 0;
  uint32_t RemIpn = 0;
  uint16_t RemPor = 0, PtcNum = 0;
  uint32_t TrnCnt = 0, TrnErr = 0;
};
constexpr int cRtu3NetAt = 256, cRtu3NetN = 13;
constexpr int cRtu3TimAt = 512, cRtu3TimN = 16;
constexpr int cRtu3ErrAt = 0xD00, cRtu3ErrN = 15;
constexpr int cRtu3ErsAt = 0x310, cRtu3ErsN = 2;
constexpr int cRtu3SocN = 12, cRtu3Sockets = 11;
// Register of socket n (1..11).
constexpr int SocketAt(int n) { return n == 11 ? 1184 : 1024 + 16 * (n - 1); }
tRtu3net NetFromWords(const uint16_t* w);
tRtu3tim TimFromWords(const uint16_t* w);
tRtu3err ErrFromWords(const uint16_t* w);
tRtu3ers ErsFromWords(const uint16_t* w);
tRtu3soc SocFromWords(const uint16_t* w);

// Value + " - " + the text of a state code; 0 shows `zero` ("ok", "unused"), unknown codes "Undef".
std::string States(uint16_t code, const std::string& zero);
// Value + " - " + the text of an IRIG-B quality code ("Undefined" for unknown codes).
std::string IrgQuality(uint16_t code);

// ---- settings file "\Brix3\Brix3prod.ini" ----
// The folder `s` as ForceDir makes it, below `home` instead of the executable's folder when home
// is not empty.
std::string ForceDirIn(const std::string& home, const std::string& s);
// The tools' settings file below home (the folder is created).
std::string RtuIniPath(const std::string& home);
// The keys of one section ("" for a missing file or section). A file that exists but cannot be
// read whole raises.
std::map<std::string, std::string> ReadIniSection(const std::string& path, const std::string& section);
// Replaces the given keys of one section and keeps everything else of the file; written whole and
// atomically. A file that exists but cannot be read is refused, never rewritten.
void WriteIniKeys(const std::string& path, const std::string& section,
                  const std::vector<std::pair<std::string, std::string>>& keys);
// Reads a whole file; a missing or unreadable file raises with the system's message.
ByteStr ReadWholeFile(const std::string& path);

// ---- file dialogs and confirmations of the RTU windows ----
struct TFileDialog {
  std::string Title, Filter, DefaultExt;
  std::string InitialDir, FileName;  // where the dialog starts
};
class IRtuDialogs {
 public:
  virtual ~IRtuDialogs() = default;
  // true and the chosen full name in `name` when a file was chosen.
  virtual bool OpenFile(const TFileDialog& d, std::string& name) = 0;
  virtual bool SaveFile(const TFileDialog& d, std::string& name) = 0;
  // Asks the operator; true = go ahead.
  virtual bool Confirm(const std::string& question) = 0;
};

// `SelectName` of the file manager: a field naming an existing file starts in its folder with its
// name; a name of a file that does not exist starts with that name in the default folder; an empty
// field starts with the default name in the default folder.
TFileDialog SelectStart(const std::string& field, const std::string& defaultDir,
                        const std::string& defaultName);

}  // namespace vex
