// The communication hub: every exchange with a device passes through the one TPorts1
// instance. It owns the serial port and the TCP client, frames and checks every Modbus
// exchange, keeps the link settings, the console state (status, last error, log) and the
// identification of the connected device that every tool reads.
//
// The class is split over several units, each with its own section below:
//   Ports.cpp        transactions (Konus, ModTxRx, typed and extended operations)
//   PortsConsole.cpp console state (Mesaj, Error, Log, ComText ...)
//   PortsLink.cpp    link settings, opening and closing ("Connect Port"), manual requests
//   PortsDetect.cpp  detection and identification
// Keep edits inside your own section.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "comm/Comms.h"
#include "comm/Console.h"
#include "comm/TcpClient.h"
#include "shell/Basics.h"

namespace vex {

class ILink;

// Registers and commands of the device dialogue (command words go to register 15 with
// ModWrite; states are read back from the same register).
inline constexpr int cMdaAvi = 1;       // application identifier register
inline constexpr int cMdaBvi = 2;       // boot identifier register
inline constexpr int cMdaSta = 15;      // state register (read)
inline constexpr int cMdaCmd = 15;      // command register (write)
inline constexpr int cMdaPag = 0xF0;    // segment number register of a boot block write
inline constexpr int eBotIni = -1;      // state "Bootloader ready"
inline constexpr int eBotCrc = -2;      // state "Application Crc Mismatch"
inline constexpr int eBotPrg = -5;      // state "Boot Programming Mode"
inline constexpr int eCmdPrg = 0xFFF2;  // enter programming (reads back as -14)
inline constexpr int eCmdTst = 0xFFF3;  // restart the boot test (reads back as -13)
inline constexpr int xCmdEnb = 0x1234;  // enable, written just before a protected command
inline constexpr int xCmdRes = 0x9999;  // reset the device
inline constexpr int xCmdEep = 0x8888;  // store the working configuration to EEPROM
inline constexpr int xCmdErs = 0xF417;  // erase

// Serial choices of the settings page by drop-down position.
inline constexpr TBaudrate cBaud[8] = {br1200, br2400, br4800, br9600, br19200, br38400, br57600, br115200};
inline constexpr const char* cBaudText[8] = {"1200",  "2400",  "4800",  "9600",
                                             "19200", "38400", "57600", "115200"};
inline constexpr TParity cParity[6] = {paNone, paEven, paOdd, paNone, paEven, paOdd};
inline constexpr TDatabits cData[6] = {da8, da8, da8, da8, da8, da8};
inline constexpr TStopbits cStop[6] = {sb10, sb10, sb10, sb20, sb20, sb20};
inline constexpr const char* cParityText[6] = {"8n1", "8e1", "8o1", "8n2", "8e2", "8o2"};

// Pages of the link settings; the active one chooses the transport of every transaction.
enum TLinkPage { lpComm, lpNetwork };  // "Comm/Usb", "Network"

class TPorts1 {
 public:
  TPorts1();
  ~TPorts1();
  TPorts1(const TPorts1&) = delete;
  TPorts1& operator=(const TPorts1&) = delete;

  // ======== transactions (Ports.cpp) ========
  // Every operation raises vex::Exception with the system's message on failure. u: echo the
  // exchange on the console (it is echoed anyway while "Log Simulation Flow" is ticked).
  // 32-bit values travel as two registers, low word first.
  ByteStr Konus(const ByteStr& s, bool u);    // one raw exchange on the active transport
  ByteStr Konus5(const ByteStr& s, bool u);   // the TCP exchange (adds and checks the header)
  ByteStr ModTxRx(const ByteStr& q, bool u);  // framed request, checked reply (CRC removed)
  int ModRead(int a, bool u);
  uint32_t ModReadLong(int a, bool u);
  void ModReadMulti(int a, int c, uint16_t* v, bool u);  // c words (1..123) into v
  void ModReadMulti0x04(int a, int c, uint16_t* v, bool u);
  void ModReadCoils(uint16_t a, uint16_t c, uint8_t* v, bool u);  // (c+7)/8 bytes into v
  void ModReadInputs(uint16_t a, uint16_t c, uint8_t* v, bool u);
  void ModWriteCoil(uint16_t a, uint8_t v, bool u);
  void ModWriteCoil(uint16_t a, bool d, bool u);  // 0xFF00 when d, else 0x0000
  void ModWrite(uint16_t a, uint16_t d, bool u);  // function 0x10 with one register
  void ModWrite2(uint16_t a, uint16_t d1, uint16_t d2, bool u);
  void ModWrite4(uint16_t a, uint16_t d1, uint16_t d2, uint16_t d3, uint16_t d4, bool u);
  void ModWriteLong(uint32_t a, uint32_t d, bool u);
  void ModWriteMulti(uint16_t a, uint16_t c, const uint16_t* v, bool u);  // 1..123 (121 over TCP)
  uint16_t ModEcho(uint16_t a, uint16_t d, bool u);                       // returns the echo
  // Extended transfers (PortsExt.cpp): file records, the event sequence log, boot blocks.
  uint8_t ModReadFileRtu(uint8_t f, uint32_t a, uint8_t c, uint8_t* b, bool u);
  uint8_t ModWriteFileRtu(uint8_t f, uint32_t a, uint8_t c, const uint8_t* b, bool u);
  uint8_t ModReadSekans(uint32_t a, uint8_t c, uint8_t* b, bool u);  // returns bytes delivered
  void ModWriteBooter(uint16_t a, uint16_t c, const uint8_t* v, uint16_t p, bool u);

  int ComNod = 0xEE;            // node address (serial 0..255, TCP unit 1..31)
  int ComTmo = 10;              // ms of silence that end a reply
  int ComBln = 200;             // ms from transmission that a reply is waited for
  ByteStr ComBuf;               // raw reply of the running exchange, at most 255 bytes
  bool ComBsy = false;          // an exchange is running
  bool ComFai = false;          // a serial opening started and has not succeeded
  uint16_t NetTrn = 0;          // Modbus TCP transaction counter
  bool NetOpn = false;          // the TCP connection is established
  std::string DevNam;           // name of the open link, used in error texts
  TComms1 Comm1;                // the serial port
  TClientSocket ClientSocket1;  // the TCP client
  // Called once at the end of every exchange, still busy: the GUI processes its events.
  std::function<void()> ProcessMessages;
  bool NetworkActive() const { return ActivePage == lpNetwork; }
  bool Shown(bool u) const { return u || CheckBox4; }

  // ======== console state (PortsConsole.cpp) ========
  void Mesaj(const std::string& m);  // status message (and log line); clears the last error
  void Error(const std::string& m);  // last error (logged as "Error: " + m); empty clears it
  void Log(const std::string& m);    // log line; past 510 lines the log is cut back to 500
  void ClearLog();                   // the log page's "Clear"
  std::string ComText() const;       // description of the link
  std::string ComText2() const;      // status, then the last error when there is one
  void SetConsole(IConsole* c) { Console = c; }
  // Console fields as the diagnostics window shows them.
  void SetText(TConsoleText which, const std::string& text);
  const std::string& Text(TConsoleText which) const { return ConTexts[static_cast<int>(which)]; }
  struct TGroupState {
    std::string First, Second;        // the group's two edit fields
    std::vector<std::string> Values;  // "Values:" lines
    std::string Query, Result;        // "Query:", "Result:"
  };
  TGroupState& Group(TTestGroup g) { return Groups[static_cast<int>(g)]; }
  const TGroupState& Group(TTestGroup g) const { return Groups[static_cast<int>(g)]; }
  void SetGroupField(TTestGroup g, TGroupField f, const std::string& text);
  void AddGroupValues(TTestGroup g, const std::string& line);

  IConsole* Console = nullptr;       // optional observer
  std::deque<std::string> LogLines;  // the log page
  std::string ConTexts[4];           // "Transmit:", "Receive:", "Status:", "Last Error:"
  TGroupState Groups[kTestGroups];   // test groups of the manual request pages

  // ======== link settings, opening and closing (PortsLink.cpp) ========
  // Settings pages; the names are the INI keys.
  std::string ComboBox1;               // serial port name
  int ComboBox2 = 4;                   // baud position in cBaud (4 = 19200)
  int ComboBox3 = 0;                   // parity position in cParity (0 = 8n1)
  std::string LabeledEdit1 = "$EE";    // serial node ID
  std::string LabeledEdit10 = "10";    // serial timeout, rates up to 19200
  std::string LabeledEdit11 = "200";   // serial blind time, rates up to 19200
  std::string LabeledEdit20 = "5";     // serial timeout, rates from 38400
  std::string LabeledEdit21 = "200";   // serial blind time, rates from 38400
  std::string LabeledEdit30;           // target IP
  std::string LabeledEdit31 = "502";   // target port
  std::string LabeledEdit32 = "1";     // network node ID
  std::string LabeledEdit33 = "1";     // network timeout
  std::string LabeledEdit34 = "2000";  // network blind time
  bool CheckBox4 = false;              // "Log Simulation Flow"
  TLinkPage ActivePage = lpComm;       // active settings page

  // "Connect Port": ticking opens the link with the current settings, clearing closes it.
  bool ConnectPortChecked() const;
  void SetConnectPort(bool on);

  // ======== detection and identification (PortsDetect.cpp) ========
  void Button1Click();   // "Discovery": connect and identify, retrying for 1.5 s
  void Button2Click();   // "Auto Detection": search every port and rate
  void Button51Click();  // identify the device on the current settings
  void Button52Click();  // wait for a freshly loaded application to run

 private:
  // ---- transactions (Ports.cpp) ----
  ByteStr Exchange(ILink& link, const ByteStr& frame, bool shown, bool serial);
  void ShowFrame(TConsoleText which, const char* tag, const ByteStr& s);
  template <class F>
  void InGroup(TTestGroup g, bool shown, F&& body);
  void StartGroup(TTestGroup g, bool shown, const std::string& first, const std::string& second);
  void ReadRegs(uint8_t fn, int a, int c, uint16_t* v, bool u, int hexDigits);
  void ReadBits(uint8_t fn, uint16_t a, uint16_t c, uint8_t* v, bool u);
  void WriteRegs(TTestGroup g, uint16_t a, const uint16_t* v, uint16_t c, bool u, const std::string& first,
                 const std::string& second, const std::vector<std::string>& shownValues);
};

}  // namespace vex
