// Identification tables of the connected device: which model a boot identifier names, the
// texts of the firmware editions, of the boot states and of the file slots. Pure functions of
// the register values; the hub (PortsDetect.cpp) reads the registers and the production
// windows use the same texts for the model they build.
#pragma once

#include <cstdint>
#include <string>

namespace vex {

// The first-generation 16-input model answers this fixed boot identifier (no BotMod table).
constexpr uint16_t cVex215Bot = 0x4316;

// Boot model codes (BotMod, low byte of the boot identifier).
constexpr uint8_t cBotVex216 = 0x46;  // "F"
constexpr uint8_t cBotVex316 = 0x51;  // "Q"
constexpr uint8_t cBotVex324 = 0x54;  // "T"
constexpr uint8_t cBotVex308 = 0x58;  // "X"
constexpr uint8_t cBotRtu3 = 0x60;    // "`", the rack RTU
constexpr uint8_t cBotVex733 = 0x63;  // "c", the I/O rack module
constexpr uint8_t cBotVex748 = 0x6E;  // "n", the 48-input rack module
constexpr uint8_t cBotVex932 = 0x83;
constexpr uint8_t cBotVex924 = 0x84;
constexpr uint8_t cBotVex936 = 0x8A;

// The three boards whose hardware and edition texts belong to their production windows.
enum class TBoard { Vex324, Vex308, Vex216 };

// Which edition table describes a model's application.
enum class TEdition {
  None,        // unknown model
  Vex216soft,  // first generation: by the whole AppReg, writes "App ID:" itself
  Aplic216,    // AplicText of the Vex216
  Aplic324,    // AplicText of the Vex324
  Aplic308,    // AplicText of the Vex308
  Vex316soft,
  Rtu3soft,
  Vex733soft,
  Vex748soft,
  Vex9XXsoft,
};

// What a boot identifier says about the device.
struct TModelInfo {
  std::string model;  // model text of the "Boot ID:" line; empty for an unknown model
  TEdition edition = TEdition::None;
  std::string page;  // main-window page selected after "Auto Detection"
};

// Model, edition table and main-window page of a boot identifier (BotReg).
TModelInfo ModelOf(uint16_t BotReg);

// Hardware description of a board by its boot revision.
std::string ModelText(TBoard b, uint8_t BotRev);
// Edition text of a board's application, without the checksum: AppReg 0 gives " <empty>"
// ("<empty>" on the Vex308), an edition not listed "<unknown>".
std::string AplicText(TBoard b, uint16_t AppReg);

// Edition tables by AppSof (the checksum is appended by the caller where the table has one).
std::string Vex216soft(uint16_t AppReg);  // by the whole AppReg; empty for a foreign value
std::string Vex316soft(uint8_t AppSof);
std::string Vex9XXsoft(uint8_t AppSof);
std::string Vex748soft(uint8_t AppSof);
std::string Vex733soft(uint8_t AppSof);
std::string Rtu3soft(uint8_t AppSof);

// The edition text as the "App ID:" line shows it (before the checksum) and whether the
// checksum register follows it. Not used for TEdition::Vex216soft (see Vex216soft).
struct TEditionText {
  std::string text;
  bool crc = false;  // read register 3 and append " CRC=$" + four hex digits
};
TEditionText EditionText(TEdition e, uint16_t AppReg);

// Boot state: the register value, values above 65000 taken as negative.
int BootSign(uint16_t reg);
std::string BootText(int BotSta);

// Flash segment size of the bootloader: 64 bytes on PIC18F targets (boot revisions 100..199)
// and on the RTU, else 32.
int SegSizOf(uint8_t BotRev, uint8_t BotMod);

// "Modbus ID:" text of the device's own slave address.
std::string SlaveIdText(uint16_t SlvDvc);

// The model named by a "Boot ID:" text: from the first "Vex" up to the next ",".
std::string VexModel(const std::string& bootId);

// File slot descriptor (registers f*256 .. f*256+5, f = 0xF1..0xF6).
struct tFil {
  uint16_t Mdl;  // model/file identifier
  uint16_t Siz;  // size
  uint16_t Crc;  // checksum
  uint16_t Sta;  // state
  uint16_t Rom;  // blocks
  uint16_t Cal;  // calculated checksum
};
constexpr int cFilRegs = 6;
tFil FilFromWords(const uint16_t* w);
std::string FileText(const tFil& f);

}  // namespace vex
