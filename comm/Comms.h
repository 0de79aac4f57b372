// The serial port of the device link: one communication device opened exclusively with the
// line settings held in the fields, byte-level read and write without waiting, the count of
// waiting input bytes, purges and the modem-control escapes. Synchronous, no thread; the
// caller polls (or blocks in WaitReadable until input arrives).
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "comm/Platform.h"
#include "shell/Basics.h"

struct termios;  // <termios.h>, kept out of this header for its many macros

namespace vex {

// A failure of the serial port: the message ends in " [Error=<code>]"; the code is the
// system's errno, or -1 for the port's own checks.
class eCommError : public Exception {
 public:
  eCommError(const std::string& msg, int code);
  int Code() const { return code_; }

 private:
  int code_;
};

enum TBaudrate {
  br110,
  br300,
  br600,
  br1200,
  br2400,
  br4800,
  br9600,
  br14400,
  br19200,
  br38400,
  br56000,
  br57600,
  br115200,
  br128000,
  br256000
};
enum TParity { paNone, paOdd, paEven, paMark, paSpace };
enum TStopbits { sb10, sb15, sb20 };
enum TDatabits { da4, da5, da6, da7, da8 };
enum TFlowControl { fcNone, fcCTS, fcDTR, fcSoftware, fcDefault };
enum TCommOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coNullStrip };
using TCommOptions = std::set<TCommOption>;

// Values the enumerations stand for.
inline constexpr unsigned CommBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                             19200, 38400, 56000, 57600, 115200, 128000, 256000};
inline constexpr uint8_t CommParity[] = {0, 1, 2, 3, 4};    // none, odd, even, mark, space
inline constexpr uint8_t CommStopBits[] = {0, 1, 2};        // one, one and a half, two
inline constexpr uint8_t CommDataBits[] = {4, 5, 6, 7, 8};  // bits per character
inline constexpr uint32_t CommOptions[] = {0x0002, 0x0040, 0x0080, 0x0400, 0x0800};

// Flag bits of the device control block.
inline constexpr uint32_t fBinary = 0x0001;
inline constexpr uint32_t fParity = 0x0002;
inline constexpr uint32_t fOutxCtsFlow = 0x0004;
inline constexpr uint32_t fOutxDsrFlow = 0x0008;
inline constexpr uint32_t fDtrControlHandshake = 0x0020;
inline constexpr uint32_t fDsrSensitivity = 0x0040;
inline constexpr uint32_t fTXContinueOnXoff = 0x0080;
inline constexpr uint32_t fOutX = 0x0100;
inline constexpr uint32_t fInX = 0x0200;
inline constexpr uint32_t fErrorChar = 0x0400;
inline constexpr uint32_t fNull = 0x0800;
inline constexpr uint32_t fRtsControlHandshake = 0x2000;

inline constexpr int cReadBuf = 4096;
inline constexpr int cWriteBuf = 4096;
inline constexpr int cPurgeRead = 0x0A;   // abort and clear input
inline constexpr int cPurgeWrite = 0x05;  // abort and clear output
inline constexpr int cPurgeRWall = 0x0F;

// Modem-control escapes of EscFunc.
inline constexpr int SETXOFF = 1;
inline constexpr int SETXON = 2;
inline constexpr int SETRTS = 3;
inline constexpr int CLRRTS = 4;
inline constexpr int SETDTR = 5;
inline constexpr int CLRDTR = 6;
inline constexpr int SETBREAK = 8;
inline constexpr int CLRBREAK = 9;

// Messages (the port appends " [Error=<code>]").
inline constexpr const char* cPortAlreadyOpen = "Port already assigned (open)";
inline constexpr const char* cOpenError = "Error accessing specified device";
inline constexpr const char* cInvalidHandle = "Invalid device handle, access denied";
inline constexpr const char* cCommTimeoutsErr = "Error updating CommTimeouts";
inline constexpr const char* cUpdateDCBErr = "Error updating DataControlBlock";
inline constexpr const char* cSetupCommErr = "Error initializing Read/Write Buffers";
inline constexpr const char* cPortNotOpen = "Port not open, unable to complete operation";
inline constexpr const char* cEscFuncError = "EscapeCommFunction failure";
inline constexpr const char* cReadError = "Read error";
inline constexpr const char* cWriteError = "Write error";

// Device control block: the line settings as last read from and written to the device.
struct TDCB {
  uint32_t BaudRate = 0;
  uint32_t Flags = 0;  // f* bits above
  uint16_t XonLim = 0, XoffLim = 0;
  uint8_t ByteSize = 0, Parity = 0, StopBits = 0;
  uint8_t XonChar = 0, XoffChar = 0, ErrorChar = 0, EofChar = 0, EvtChar = 0;
};

// The control block as terminal settings show it, and the terminal settings (raw, reads
// return at once) for a control block: 0, or EINVAL for what the platform cannot do
// (4 data bits, DSR/DTR handshaking). The bit rate is set apart.
TDCB DcbFromTermios(const ::termios& t, int fd);
int TermiosFromDcb(const TDCB& d, ::termios& t);

class TComms1 {
 public:
  static constexpr int kInvalidHandle = -1;

  TComms1() = default;
  ~TComms1();
  TComms1(const TComms1&) = delete;
  TComms1& operator=(const TComms1&) = delete;

  bool Enb = false;              // the device is open
  TDCB DCB;                      // line settings as last read and written
  std::string Device = "COM2";   // port name as given ("COM3", "\\.\COM12", "/dev/ttyUSB0")
  int FHandle = kInvalidHandle;  // open descriptor, -1 when closed
  TCommOptions Opt;              // optional flags to set; others are cleared
  TFlowControl Flw = fcNone;
  TBaudrate Baudrate = br9600;
  TParity Parity = paNone;
  TStopbits Stopbits = sb10;
  TDatabits Databits = da8;
  uint8_t XonChar = 17, XoffChar = 19, ErrorChar = 0, EofChar = 0, EvtChar = 0;
  // RS-485: let the driver raise RTS while a request is sent (where the port supports it).
  bool Rs485Rts = false;
  bool Rs485Active = false;  // the last opening handed RTS to the driver

  // The moment the line was last busy: the opening, the end of the last byte written (its
  // time on the wire counted), the last read that brought bytes.
  platform::TimePoint LineTime{};
  // Time of one character on the wire at the chosen settings (start, data, parity, stop).
  std::chrono::nanoseconds CharTime() const;

  void Open();
  void Close();
  bool Enabled() const { return Enb; }
  int Write(const void* buf, int count);
  int Read(void* buf, int count);
  int InQue();   // waiting input bytes, -1 when not open
  int OutQue();  // bytes not yet sent, -1 when not open
  void PurgeIn();
  void PurgeOut();
  void EscFunc(int f);
  void DTR(bool v) { EscFunc(v ? SETDTR : CLRDTR); }
  void RTS(bool v) { EscFunc(v ? SETRTS : CLRRTS); }
  void BRK(bool v);
  void XON(bool v) { EscFunc(v ? SETXON : SETXOFF); }

  // Blocks until input is waiting (or the device reports an error or hang-up) or the time
  // passes; true when the device has something to report.
  bool WaitReadable(int timeoutMs);
  bool WaitReadableUntil(platform::TimePoint deadline);
  // As WaitReadableUntil, returning the poll events (POLLIN, POLLHUP ...; 0 at the deadline).
  short WaitEventsUntil(platform::TimePoint deadline);

 private:
  [[noreturn]] static void Fail(const char* msg, int code);
  void Purge(int mask);
  bool HandleValid() const { return FHandle != kInvalidHandle; }
  bool excl_ = false;  // this port marked the terminal for exclusive use
};

}  // namespace vex
