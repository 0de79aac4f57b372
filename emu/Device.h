// A simulated device: identification, command register, configuration store, clock,
// bootloader, and the address ranges that live parts of a model own.
//
// How a live part plugs in (annunciator sequence engine, status blocks, event log, ...):
//
//  1. Implement `LivePart` (below). Put your factory in emu/Live.cpp and create emu/Live.h
//     (it may just include this header). Models.cpp calls
//         std::unique_ptr<LivePart> MakeLivePart(Device& d);
//     whenever emu/Live.h exists (checked with __has_include), once per device, after the
//     device's own registers are set up, and the device calls it again when a flashed
//     application of another edition changes the layout (the old part is dropped first).
//     Return nullptr for a model you do not serve.
//  2. In `Attach(Device& d)` claim your ranges with `d.Own(space, first, count, this)`:
//     e.g. `d.Own(Space::Holding, 48, 26, this)` for the status record of a 24-input
//     model, `d.Own(Space::Holding, 2560, 13, this)` for the event record,
//     `d.Own(Space::Coil, 0xB000, 36, this)`, `d.Own(Space::File, 0, 256, this)` for the
//     rack module's sequence stream (file number = top address byte).
//     Requests for an owned address go to your `Read`/`Write` first; return `kPass` to let
//     the device handle the address itself (for example writes of the time record at
//     48..50 inside a status block you own for reading: the device sets its clock).
//  3. The device calls you with its mutex held (every request, tick and control command is
//     serialised), so your state needs no locking of its own. Never block.
//  4. What the device gives you:
//       d.Info()              model, inputs, firmware id, application edition (AppSof)
//       d.Input(n)            field input n (1-based) as set by the control interface
//       d.CfgState()          the StaFlg configuration bits: cTstGod/cTstSav/cTstCfg
//       d.Cfg(reg)            working configuration register (14, 16..23, 128.. sequence)
//       d.Sequence()          the working sequence record words (register 128 onwards)
//       d.Clock()             device clock (Tim ms of day, Dat days since 2000-01-01)
//       d.NowMs()             monotonic milliseconds of the current request/tick
//     and tells you, through `LivePart`: input changes, keys and window presses written to
//     register 15, configuration changes (edit, store, restart), restarts, "erase events",
//     and the passing of time (`Tick`).
//
// The result of every register/coil/file operation is a Modbus exception code: 0 for
// success, 1 illegal function, 2 illegal address, 3 illegal value, 4 device failure.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "shell/Basics.h"

namespace vex::emu {

constexpr int kPass = -1;  // "not mine": let the device handle the address itself
enum : int { exNone = 0, exFunction = 1, exAddress = 2, exValue = 3, exFailure = 4 };

// Address spaces of a Modbus slave; File is the extended file record space (0x14/0x15),
// addressed by file number and a 24-bit byte address.
enum class Space { Holding, Input, Coil, Discrete, File };

// Configuration state bits of StaFlg.
constexpr uint16_t cTstGod = 0x0001;  // "Good": working configuration equals the stored one
constexpr uint16_t cTstSav = 0x0002;  // "Saved": just stored, not yet restarted
constexpr uint16_t cTstCfg = 0x0004;  // "Edited": working configuration differs from the stored one

// The models the simulator knows.
enum class Model { Vex215, Vex216, Vex308, Vex316, Vex324, Vex924, Vex932, Vex936, Vald3, Tord48, Brix3 };

struct ModelInfo {
  Model model;
  std::string key;     // command-line name, e.g. "vex324"
  uint16_t bootId;     // register 2: low byte firmware id, high byte boot revision (0x4316 first gen.)
  uint16_t appId;      // register 1 while the application runs: high byte AppSof
  int inputs;          // field inputs (windows)
  int segSize;         // bootloader block size in bytes (32 or 64)
  int seqBytes;        // sequence record size at 128 for this edition, 0 = none
  bool hasTimeRecord;  // 48..50 sets the clock
  uint16_t cfgFirst;   // first configuration register after 14 (16 or 18), 0 = none
  uint16_t cfgCount;   // number of configuration registers from cfgFirst
  uint16_t stateReg;   // register carrying StaFlg (35 or 51), 0 = none
  bool sekans;         // file record reads are the rack module's sequence stream
  uint8_t AppSof() const { return static_cast<uint8_t>(appId >> 8); }
  uint8_t Fid() const { return static_cast<uint8_t>(bootId & 0xFF); }
};

// Device clock value as the status and time records carry it.
struct DevTime {
  uint32_t tim;  // milliseconds since midnight
  uint16_t dat;  // days since 2000-01-01
};

class Device;

// An owner of address ranges. Word values for Holding/Input, 0/1 for Coil/Discrete.
class RangeOwner {
 public:
  virtual ~RangeOwner() = default;
  virtual int Read(Space s, uint32_t addr, uint16_t& value) = 0;
  virtual int Write(Space s, uint32_t addr, uint16_t value) {
    (void)s, (void)addr, (void)value;
    return exAddress;
  }
  // Called once before a multi-address read or after a multi-address write touching your
  // range, with the request's whole span (use it to latch a consistent snapshot, or to act
  // on a record written as a whole).
  virtual void BeforeRead(Space s, uint32_t first, uint32_t count) { (void)s, (void)first, (void)count; }
  virtual void AfterWrite(Space s, uint32_t first, uint32_t count) { (void)s, (void)first, (void)count; }
  // File records (0x14/0x15). `file` is the request's file byte, `addr` the 24-bit address.
  // A read appends at most `count` bytes to `out` (fewer is allowed: the reply carries
  // what was delivered).
  virtual int ReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out) {
    (void)file, (void)addr, (void)count, (void)out;
    return exAddress;
  }
  virtual int WriteFile(uint8_t file, uint32_t addr, const ByteStr& data) {
    (void)file, (void)addr, (void)data;
    return exAddress;
  }
};

// The live behaviour of a model (alarm sequences, status words, events ...).
class LivePart : public RangeOwner {
 public:
  virtual void Attach(Device& d) = 0;                          // claim ranges with d.Own(...)
  virtual void OnInput(int n, bool on) { (void)n, (void)on; }  // field input changed
  // A key or window code written to register 15 (0x81..0x85, 0x11..0x55 on the first
  // generation, or a window number 1..inputs). Return an exception code.
  virtual int OnKey(uint16_t code) {
    (void)code;
    return exNone;
  }
  virtual void OnConfig() {}                         // working configuration changed
  virtual void OnRestart() {}                        // the application restarted (state back to power-up)
  virtual void OnEraseEvents() {}                    // $1234, $F417 on register 15
  virtual void Tick(int64_t nowMs) { (void)nowMs; }  // called at least every 10 ms
  // A control command of the emulator's control interface ("set", "key" ... are the
  // server's own). Return true when the command is this part's, with the reply in `reply`
  // ("ok ..." or "error: ..."); the device mutex is held.
  virtual bool Control(const std::string& cmd, const std::string& rest, std::string& reply) {
    (void)cmd, (void)rest, (void)reply;
    return false;
  }
};

// Defined by the live part (emu/Live.cpp); see the top of this file.
std::unique_ptr<LivePart> MakeLivePart(Device& d);

// Monotonic milliseconds.
int64_t MonoMs();

class Device {
 public:
  explicit Device(const ModelInfo& info);
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  // ---- for live parts ----
  void Own(Space s, uint32_t first, uint32_t count, RangeOwner* owner);
  const ModelInfo& Info() const { return info_; }
  bool Input(int n) const;  // field input n (1-based)
  uint16_t CfgState() const { return cfgState_; }
  uint16_t Cfg(uint16_t reg) const;  // working configuration register (0 when none)
  const std::vector<uint16_t>& Sequence() const { return seq_; }
  DevTime Clock() const;
  int64_t NowMs() const { return now_; }
  std::mutex& Mutex() { return mtx_; }

  // ---- control (call with Mutex() held) ----
  // A control command the server does not know itself: offered to the model, then to the
  // live part. False when neither takes it.
  bool Control(const std::string& cmd, const std::string& rest, std::string& reply);
  void SetInput(int n, bool on);
  void SetClock(DevTime t);
  void Tick(int64_t nowMs);
  void Restart();  // power cycle / restart command

  // ---- Modbus access (call with Mutex() held); return an exception code ----
  int ReadRegs(Space s, uint16_t first, uint16_t count, uint16_t* out);
  int WriteRegs(Space s, uint16_t first, uint16_t count, const uint16_t* in);
  int ReadBits(Space s, uint16_t first, uint16_t count, std::vector<bool>& out);
  int WriteBits(Space s, uint16_t first, const std::vector<bool>& in);
  int ReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out);
  int WriteFile(uint8_t file, uint32_t addr, const ByteStr& data);
  // Node addresses this device answers on a serial line (0xEE and its slave id).
  bool AnswersNode(uint8_t node) const;

  // ---- state visible to tests and the control interface ----
  int BootState() const { return bootState_; }  // 0 running, -1, -2, -5 ...
  uint16_t AppId() const;                       // register 1 as currently reported
  void SetIdentity(uint16_t uniqueId, uint32_t mfgDate, uint8_t slaveId);
  bool InBootloader() const { return bootState_ != 0; }

 public:
  struct Range {
    Space space;
    uint32_t first, count;
    RangeOwner* owner;
  };

 protected:
  // Model-specific registers handled by the device itself (RTU, ...). Return kPass when
  // the address is not the model's.
  virtual int ModelRead(Space s, uint16_t a, uint16_t& v);
  virtual int ModelWrite(Space s, uint16_t a, uint16_t v);
  virtual void ModelAfterWrite(uint16_t first, uint16_t count) { (void)first, (void)count; }
  virtual int ModelReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out);
  virtual int ModelWriteFile(uint8_t file, uint32_t addr, const ByteStr& data);
  virtual void ModelTick(int64_t nowMs) { (void)nowMs; }
  virtual void ModelRestart() {}
  // Control commands of the model itself (RTU ...): as LivePart::Control.
  virtual bool ModelControl(const std::string& cmd, const std::string& rest, std::string& reply) {
    (void)cmd, (void)rest, (void)reply;
    return false;
  }

  RangeOwner* OwnerOf(Space s, uint32_t a) const;
  int ReadOne(Space s, uint16_t a, uint16_t& v);
  int WriteOne(Space s, uint16_t a, uint16_t v);
  int Command(uint16_t v);
  int FrameworkRead(uint16_t a, uint16_t& v);
  int FrameworkWrite(uint16_t a, uint16_t v);
  void Edited();
  void LoadStored();
  void FactoryConfig();
  bool NewEdition(uint16_t ver);
  bool IsCfgReg(uint16_t a) const;

  ModelInfo info_;
  std::mutex mtx_;
  std::vector<Range> ranges_;
  std::unique_ptr<LivePart> live_;
  std::vector<bool> inputs_;
  int64_t now_ = 0;

  // identification (factory registers, kept over restarts)
  uint16_t uniqueId_ = 1;
  uint32_t mfgDate_ = 0;

  // configuration: working and stored (EEPROM) copies of register 14, the configuration
  // registers from cfgFirst and the sequence record from 128
  std::map<uint16_t, uint16_t> work_, stored_;
  std::vector<uint16_t> seq_, seqStored_;
  uint16_t cfgState_ = cTstGod;
  uint16_t lastCmd_ = 0;  // previous word written to register 15
  bool cfgOpen_ = false;  // 0, $1234 written last: configuration registers take writes
  bool strictUnlock_ = true;
  bool cfgTouched_ = false;

  // clock: milliseconds since 2000-01-01 at monotonic time clockRef_
  int64_t clockBase_ = 0, clockRef_ = 0;
  uint16_t timPending_[3] = {0, 0, 0};

  // bootloader
  int bootState_ = 0;
  int64_t bootUntil_ = 0;  // end of the boot window after a restart (0 = none)
  int bootWaitMs_ = 1500;
  bool appValid_ = true;
  uint16_t appId_;
  uint16_t appCrc_ = 0;
  std::vector<uint8_t> flash_;  // received image, block 0 first
  std::vector<bool> blockSeen_;
  int BootCommand(uint16_t v, uint16_t prev);
  int BootBlock(uint16_t first, uint16_t count, const uint16_t* in);
  void BootTest();
  void StartApplication();

 public:
  static constexpr size_t kFlashBytes = 0x40000;  // largest image the bootloader takes
  void SetBootWait(int ms) { bootWaitMs_ = ms; }
  // Strict (the default): registers 14, 16.. and the sequence record refuse writes (exception 4)
  // unless 0 and $1234 were the last words on register 15, as on the device.
  void SetStrictUnlock(bool on) { strictUnlock_ = on; }
  bool ConfigOpen() const { return cfgOpen_; }
  uint16_t AppCrc() const { return appCrc_; }
  const std::vector<uint8_t>& Flash() const { return flash_; }
  uint16_t StoredCfg(uint16_t reg) const;
  std::vector<uint16_t> StoredSequence() const { return seqStored_; }
  LivePart* Live() const { return live_.get(); }
  void AttachLive(std::unique_ptr<LivePart> live);
};

// The model of a command-line name with its default boot revision and application edition,
// or the given ones (-1 = default); throws vex::Exception for an unknown name or a value
// out of range. The register layout follows the edition.
ModelInfo ModelFor(const std::string& key, int bootRev = -1, int edition = -1);
std::vector<std::string> ModelKeys();
// Creates the device for a model, attaches its live part when one exists.
std::unique_ptr<Device> MakeDevice(const ModelInfo& info);

}  // namespace vex::emu
