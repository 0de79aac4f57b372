// The rack RTU: network, clock, error and socket registers, panel keys, system commands
// and its file system (file records on the B and F slots, status blocks, erase commands).
#pragma once

#include <map>

#include "emu/Device.h"

namespace vex::emu {

// File checksum: the payload as little-endian 32-bit words (zero-padded), subtracted one
// by one from 0xFFFFFFFF.
uint32_t CalcFile(const uint8_t* p, size_t n);

class Rtu3Device : public Device {
 public:
  explicit Rtu3Device(const ModelInfo& info);

  static constexpr uint32_t kSpace = 0x100000;  // bytes per file slot
  // Time the device takes to check a file or to erase, and the pause after which an upload
  // without a header is taken as ended.
  void SetTimings(int processMs, int idleMs) { processMs_ = processMs, idleMs_ = idleMs; }

  struct File {
    ByteStr data;
    uint32_t age = 0;  // seconds since 2000-01-01
    uint32_t sum = 0, cal = 0;
    uint16_t ver = 0, sta = 0;
    uint32_t ban = 0;  // non-zero while the device works on the slot
    bool uploading = false;
    int64_t lastWrite = 0, doneAt = 0;
  };
  const File* FileAt(uint8_t fn) const;

  // A network socket as the monitor reads it (12 registers).
  struct Socket {
    uint16_t idf = 0, sta = 0, trn = 0, rem = 0;
    uint32_t ip = 0;
    uint16_t port = 0, protocol = 0;
    uint32_t count = 0, errors = 0;
    bool counting = false;  // every read of the socket counts as a transaction
  };
  const Socket& SocketAt(int n) const { return sockets_[n - 1]; }  // 1..11
  uint16_t ErrorWord(int k) const { return err_[k]; }              // 0xD00 + k
  uint32_t Address() const { return net_[0]; }
  uint16_t FilErs() const { return filErs_; }
  uint16_t EvnErs() const { return evnErs_; }

 protected:
  int ModelRead(Space s, uint16_t a, uint16_t& v) override;
  int ModelWrite(Space s, uint16_t a, uint16_t v) override;
  void ModelAfterWrite(uint16_t first, uint16_t count) override;
  int ModelReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out) override;
  int ModelWriteFile(uint8_t file, uint32_t addr, const ByteStr& data) override;
  void ModelTick(int64_t nowMs) override;
  // "address A.B.C.D", "errors NAME=V ...|clear", "system N", "irig N",
  // "socket N [state=] [remote=A.B.C.D] [trn=] [port=] [ident=] [operator=] [protocol=] [count=] [errors=]".
  bool ModelControl(const std::string& cmd, const std::string& rest, std::string& reply) override;

 private:
  void Finish(uint8_t fn, File& f);
  void Erase(std::initializer_list<uint8_t> kinds);
  void Describe(File& f) const;
  int StatusWord(uint8_t fn, int k, uint16_t& v) const;
  int SlotWord(uint8_t fn, int k, uint16_t& v) const;

  int processMs_ = 300, idleMs_ = 1000;
  std::map<uint8_t, File> files_;
  uint16_t filErs_ = 0, evnErs_ = 0;
  uint16_t keys_[7] = {0, 0, 0, 0, 0, 0, 0};  // 786..792
  int64_t testUntil_[3] = {0, 0, 0};
  uint16_t setTime_[3] = {0, 0, 0};  // 0x220..0x222 as written
  uint32_t net_[5];                  // IpnAdr, GatWay, MskAdr, PriDns, SecDns
  uint16_t err_[15] = {};            // error block at 0xD00 (SysSta last)
  uint16_t irgQlt_ = 0;              // IRIG-B lock quality
  Socket sockets_[11];
};

}  // namespace vex::emu
