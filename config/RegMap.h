// Register map shared by the whole annunciator family: models and their firmware ids,
// register addresses, status flags, key codes, the layout each application variant uses,
// input bitmap and coil addressing and the device time encoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "shell/Basics.h"

namespace vex {

// ---- models -------------------------------------------------------------------

enum class TVexModel { Vex215, Vex216, Vex308, Vex316, Vex324, Vex924, Vex932, Vex936, Vex733, Vex748 };

struct TVexModelInfo {
  TVexModel model;
  const char* name;   // internal name, also the data folder: "Vex324"
  const char* shown;  // name shown to the user: "Vex216v2"
  uint16_t fid;       // firmware id (Vex215: the whole boot identifier word)
  int inputs;
  const char* form;  // configuration editor's form name, the image file section: "Vex324cfg1"
};

const std::vector<TVexModelInfo>& VexModels();
const TVexModelInfo& VexModelInfo(TVexModel m);
// By internal name, case-insensitive ("vex324", "Vex936"); unknown names raise an error listing the models.
TVexModel ModelByName(const std::string& name);

// Firmware ids (low byte of the boot identifier, register 2).
constexpr uint16_t cVex215Fid = 0x4316;  // whole boot identifier word of the first generation
constexpr uint16_t cVex216Fid = 0x46;
constexpr uint16_t cVex308Fid = 0x58;
constexpr uint16_t cVex316Fid = 0x51;
constexpr uint16_t cVex324Fid = 0x54;
constexpr uint16_t cVex924Fid = 0x84;
constexpr uint16_t cVex932Fid = 0x83;
constexpr uint16_t cVex936Fid = 0x8A;
constexpr uint16_t cVex733Fid = 0x63;
constexpr uint16_t cVex748Fid = 0x6E;
constexpr uint16_t cVex733Bot = 0x65;  // bootloader family of the rack modules
constexpr uint16_t cVex748Bot = 0x65;

// ---- register addresses -----------------------------------------------------------

constexpr uint16_t cRegBotIdf = 0;   // boot identifier, first reading during identification
constexpr uint16_t cRegAppIdf = 1;   // application identifier; high byte is AppSof
constexpr uint16_t cRegBotFid = 2;   // boot identifier: low byte firmware id, high byte boot revision
constexpr uint16_t cRegAppCrc = 3;   // application checksum
constexpr uint16_t cRegMfgDat = 11;  // manufacturing date, 32-bit, low word first
constexpr uint16_t cRegUnqIdf = 13;  // unique ID (serial number)
constexpr uint16_t cRegModIdf = 14;  // Modbus slave ID
constexpr uint16_t cRegCommand = 15;
constexpr uint16_t cRegHrnSel = 16;         // horn/bell selection (first generation, legacy variants)
constexpr uint16_t cRegTmo16 = 16;          // SetTmo, ClrTmo of Vex324 and Vex9XX
constexpr uint16_t cRegTmo18 = 18;          // SetTmo, ClrTmo of the Vex216 family, Vex733, Vex748
constexpr uint16_t cRegOldSta = 32;         // legacy status record
constexpr uint16_t cRegOldStaFlg = 35;      // StaFlg of the record at 32
constexpr uint16_t cRegStatus = 48;         // status record
constexpr uint16_t cRegTime = 48;           // time record (write sets the device clock)
constexpr uint16_t cRegStaFlg = 51;         // StaFlg of the status record
constexpr uint16_t cRegSlotCmd = 64;        // Vex733 output command word of slot 1 (64..66)
constexpr uint16_t cRegExo = 96;            // oscillator registers
constexpr uint16_t cRegTun = 112;           // tuning block
constexpr uint16_t cRegOscTun = 113;        // writable oscillator trim
constexpr uint16_t cRegSequence = 128;      // sequence record
constexpr uint16_t cRegAnalog = 1280;       // Vex316 analog values
constexpr uint16_t cRegSetPoint = 1536;     // Vex316 set points, one register per write
constexpr uint16_t cRegSamples = 2304;      // time-stamped samples; also the remote time setting
constexpr uint16_t cRegEvents = 2560;       // event records
constexpr uint16_t cRegRemote = 3328;       // remote input record ("DX Brix-3")
constexpr uint16_t cCoilVirtual = 0xB000;   // virtual state of input n at +(n-1) ("DX Mode")
constexpr uint16_t cCoilActivate = 0xB100;  // activation request of input n at +(n-1)

// ---- status flags (StaFlg) ----------------------------------------------------

constexpr uint16_t cTstGod = 0x0001;  // configuration "Good"
constexpr uint16_t cTstSav = 0x0002;  // configuration "Saved"
constexpr uint16_t cTstCfg = 0x0004;  // configuration "Edited"
constexpr uint16_t cTstPnd = 0x0008;  // lamp test pending
constexpr uint16_t cHrnEnb = 0x0010;  // horn enabled
constexpr uint16_t cOt1Onn = 0x0100;  // output 1 (HORN relay) on
constexpr uint16_t cOt2Onn = 0x0200;  // output 2 (BELL relay) on
constexpr uint16_t cOtsOnn = 0x0800;  // FAULT output on

// ---- key codes (command register) ------------------------------------------------

constexpr uint16_t cKeyRes = 0x81;  // RESET
constexpr uint16_t cKeyHrn = 0x82;  // HORN
constexpr uint16_t cKeyTst = 0x83;  // TEST (repeated while held; "TD")
constexpr uint16_t cKeyAck = 0x84;  // ACK
constexpr uint16_t cKeyTsx = 0x85;  // test release ("TU")

// ---- application variants -----------------------------------------------------------

// Where a model in a given application variant keeps its records.
struct TLayout {
  bool sequence = false;  // sequence firmware: sequence record at 128
  int isaSize = 0;        // bytes of the sequence record, 0 = none
  bool hornBell = false;  // HrnSel, BelSel at 16-17
  uint16_t tmoReg = 0;    // SetTmo (ClrTmo at the next register)
  uint16_t stateReg = 0;  // register whose low three bits are the configuration state
  uint16_t statusReg = 0;
  int statusCount = 0;  // registers of the status record
};

TLayout LayoutOf(TVexModel m, int appSof);

// ---- input bitmaps and coils --------------------------------------------------------

// Input n (1-based) is bit (n-1) mod 16 of word (n-1) div 16 of its group.
int InputWord(int n);
uint16_t InputMask(int n);
// Bit of input n over a group's words (Gir, Gi2, Gi3).
bool InputBit(const uint16_t* words, int nWords, int n);
void SetInputBit(uint16_t* words, int nWords, int n, bool on);
uint16_t VirtualCoil(int n);   // $B000 + n-1
uint16_t ActivateCoil(int n);  // $B100 + n-1

// ---- device time --------------------------------------------------------------------

struct TDevTime {
  uint32_t Tim;  // milliseconds since midnight, truncated
  uint16_t Dat;  // whole days since 2000-01-01
};
TDevTime EncodeDevTime(TDateTime now);
TDateTime DecodeDevTime(uint32_t tim, uint16_t dat);
// Remote time setting of the Vex216 family: milliseconds since midnight AND $3FFF (0: do not write).
uint16_t RemoteTick(TDateTime now);

template <class T>
T EncodeTimeRecord(TDateTime now) {
  const TDevTime t = EncodeDevTime(now);
  T r{};
  r.Tim = t.Tim;
  r.Dat = t.Dat;
  return r;
}

// Configuration state word: ", Good", ", Saved", ", Edited" or ", Undefined".
std::string StateText(int state);
TColor StateColor(int state);

}  // namespace vex
