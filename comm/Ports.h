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
#include "comm/Identify.h"
#include "comm/LinkIni.h"
#include "comm/PortList.h"
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
  // When set, exchanges use this link instead of the port or socket (framing still follows
  // the active page); tests put an in-memory device here.
  ILink* LinkOverride = nullptr;
  // Line idle before a serial request: never shorter than this nor than 3.5 characters,
  // counted from the last byte sent or received.
  int IdleMs = 5;
  std::chrono::nanoseconds IdleTime() const;

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
  bool CheckBox5 = true;               // "Fast reply detection": a reply ends once provably complete
  bool CheckBox6 = false;              // "Suppress echo": drop the request echoed by the adapter
  bool CheckBox7 = false;              // "RTS direction (RS-485)": the driver switches RTS
  TLinkPage ActivePage = lpComm;       // active settings page

  // "Connect Port": ticking opens the link with the current settings, clearing closes it.
  bool ConnectPortChecked() const;
  void SetConnectPort(bool on);

  // Focus of the window's edit fields, keyed by the texts above and the groups' fields.
  TFieldFocus FieldFocus;

  bool CheckBox1 = false;         // "Connect Port" ticked
  bool SettingsEnabled = true;    // the settings pages can be edited (not while the link is open)
  int ConnectWaitMs = 25000;      // longest wait for the TCP connection
  void ComboBox2Change(int pos);  // "Baud:" chosen; switches the visible timing pair
  bool HighRatePair() const { return ComboBox2 >= 5; }  // the 38400..115200 pair is shown
  std::string& TimeoutEdit() { return HighRatePair() ? LabeledEdit20 : LabeledEdit10; }
  std::string& BlindEdit() { return HighRatePair() ? LabeledEdit21 : LabeledEdit11; }

  // Settings file (section "Ports1"): read at start, written whole at program end.
  std::string IniPath = OwnIniPath();
  std::string MainRecord;  // "Main1" key: the main window's caption + ", " + its version label
  void LoadSettings();
  void SaveSettings() const;

  // "Port:" list, rebuilt each time it is opened. FixedPorts, when set, replaces the discovery.
  std::vector<std::string> PortItems;
  std::vector<std::string> FixedPorts;
  // Serial ports of a simulated device (demonstration mode), listed after the discovered ones.
  std::vector<std::string> SimulatedPorts;
  TPortRoots PortRoots;
  void ComboBox1DropDown();

  // Socket events.
  void ClientSocket1Connect();
  void ClientSocket1Disconnect();
  void ClientSocket1Error(const std::string& kind, int code);

  // Status bar: the text and whether it is drawn red (a last error is shown).
  struct TStatBar {
    std::string Text;
    bool Red = false;
  };
  TStatBar StatBar() const;
  // Device clock against the PC clock: the text and the field colour.
  struct TElapsed {
    std::string Text;
    TColor Color = clBtnFace;
  };
  static TElapsed TimeElapsed(TDateTime t, TDateTime b, TDateTime te);
  static TElapsed TimeElapsed(uint32_t dt, uint32_t dd, TDateTime b, TDateTime te);

  // Manual requests of the diagnostics pages. The inputs are the groups' fields (Group(...)
  // First/Second, the 0x10 values from its "Values:" text); "Connect Port" is restored after.
  std::function<bool()> IsBusy;  // the main window's busy check; when unset the link is opened here
  void SendQuery01();            // "Send 0x01 Query": read coils
  void SendQuery02();            // "Send 0x02 Query": read discrete inputs
  void SendQuery03();            // "Send 0x03 Query": read holding registers
  void SendQuery04();            // "Send 0x04 Query": read input registers
  void SendQuery05();            // "Send 0x05 Query": write one coil
  void SendQuery06();            // "Send 0x06 Query": write one register
  void SendQuery10();            // "Send 0x10 Query": write registers
  void SendQuery08();            // "Send 0x08 Query": echo
  std::string Quantity10Hint;    // grey hint of its quantity field when that is empty
  // 0x05 group: "Register:" and the sixteen bit buttons.
  std::string Register05;      // "Register:" text
  std::string Register05Hint;  // its grey hint
  int Default05 = -1;          // bit button that is the default (-1: none)
  void Button05Click(int n);   // button "0" .. "15"
  void OutputAddressChange();  // "Output Address:" edited

  // ======== detection and identification (PortsDetect.cpp) ========
  void Button1Click();           // "Discovery": connect and identify, retrying for 1.5 s
  void Button2Click();           // "Auto Detection": search every port and rate
  void Button51Click();          // identify the device on the current settings
  void Button52Click();          // wait for a freshly loaded application to run
  void BootState();              // register 15 into BotSta and "Boot State:"
  void InspectFiles();           // "Inspect Files": the six file slots into "File #1:" .. "File #6:"
  std::string FileText(int f);   // text of file slot f (0xF1 .. 0xF6)
  std::string VexModel() const;  // the model named by "Boot ID:"

  // Identification of the connected device (reset at the start of every identification).
  uint16_t BotReg = 0;  // boot identifier (register 2, or 0 when 2 cannot be read)
  uint8_t BotMod = 0;   // its low byte: bootloader model code
  uint8_t BotRev = 0;   // its high byte: bootloader revision
  uint16_t AppReg = 0;  // application identifier (register 1)
  uint8_t AppSof = 0;   // its high byte: application edition
  uint16_t AppCrc = 0;  // application checksum (register 3)
  int BotSta = 0;       // boot state (register 15, above 65000 negative)
  int SegSiz = 0;       // bootloader segment size in bytes (0 before any detection)
  uint16_t SlvDvc = 0;  // the device's own slave address (register 14)
  // "Model Identification" fields.
  std::string AppId;                       // "App ID:"
  std::string MfgDate;                     // "Mfg Date:"
  std::string UniqeId;                     // "Uniqe ID:"
  std::string BootId;                      // "Boot ID:"
  std::string BootStat;                    // "Boot State:"
  std::string ModbusId;                    // "Modbus ID:"
  std::string FileSlots[6];                // "File #1:" .. "File #6:"
  std::string TargetPage;                  // main-window page of the model found by "Auto Detection"
  int DiscoveryMs = 1500;                  // how long "Discovery" retries
  int AppWaitMs = 2000, AppFindMs = 7000;  // "FindAPP": first look, give up

 private:
  // ---- transactions (Ports.cpp) ----
  ByteStr Exchange(ILink& link, const ByteStr& frame, bool serial, bool shown);
  void AwaitIdleLine(ILink& link);  // discards stale input until the line was idle long enough
  void DropStale(ILink& link);      // the TCP drain: what is waiting is not this reply
  platform::TimePoint LineTime_{};  // last line activity seen by the exchange
  void ShowFrame(TConsoleText which, const char* tag, const ByteStr& s);
  template <class F>
  void InGroup(TTestGroup g, bool shown, F&& body);
  void StartGroup(TTestGroup g, bool shown, const std::string& first, const std::string& second);
  void ReadRegs(uint8_t fn, int a, int c, uint16_t* v, bool u, int hexDigits);
  void ReadBits(uint8_t fn, uint16_t a, uint16_t c, uint8_t* v, bool u);
  void WriteRegs(TTestGroup g, uint16_t a, const uint16_t* v, uint16_t c, bool u, const std::string& first,
                 const std::string& second, const std::vector<std::string>& shownValues);

  // ---- link settings (PortsLink.cpp) ----
  int EditInt(const std::string& text, const char* caption, int mn, int mx);  // LbEdttoInt of a field
  void OpenSerial();
  void OpenNetwork();
  void CloseLink();
  template <class F>
  void ManualRequest(TTestGroup g, bool reopen, F&& body);

  // ---- detection (PortsDetect.cpp) ----
  void ClearIdentification();
  std::string EditionLine(TEdition e);
  void RtuNetworkPrefill();
};

}  // namespace vex
