// The device's non-volatile event log: numbered, time-stamped records of every alarm
// transition, key, power-up, clock setting and configuration store, in the layouts the
// master reads (13-register event record, 18-byte short sequence record).
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "comm/Event.h"
#include "emu/Device.h"

namespace vex::emu {

class EventLog {
 public:
  static constexpr size_t cCapacity = 1024;  // the oldest records go first

  // Appends a record with the next sequence number; `onn` fills the channel words.
  const tVexEvn& Add(uint16_t typ, uint64_t dif, DevTime t, uint64_t onn, uint16_t smp);
  // Forgets every record; numbering carries on, so a reader that remembers the last
  // number it saw still gets every later record.
  void Erase();
  uint32_t LastSeq() const { return next_ - 1; }
  size_t Size() const { return log_.size(); }
  // The last `n` records, oldest first.
  std::vector<tVexEvn> Latest(size_t n) const;
  // Up to `max` records numbered `seq` or later, oldest first.
  std::vector<tVexEvn> From(uint32_t seq, size_t max) const;

  // 18-byte short record, little-endian, as the extended read delivers it.
  static void AppendSek(const tVexEvn& e, ByteStr& out);

 private:
  std::deque<tVexEvn> log_;
  uint32_t next_ = 1;
};

// Little-endian byte image helpers of the extended reads.
void PutLe16(ByteStr& out, uint16_t v);
void PutLe32(ByteStr& out, uint32_t v);

}  // namespace vex::emu
