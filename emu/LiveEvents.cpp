#include "emu/LiveEvents.h"

#include <algorithm>

namespace vex::emu {

void PutLe16(ByteStr& out, uint16_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

void PutLe32(ByteStr& out, uint32_t v) {
  PutLe16(out, static_cast<uint16_t>(v & 0xFFFF));
  PutLe16(out, static_cast<uint16_t>(v >> 16));
}

const tVexEvn& EventLog::Add(uint16_t typ, uint64_t dif, DevTime t, uint64_t onn, uint16_t smp) {
  tVexEvn e;
  e.Smp = smp;
  e.Seq = next_++;
  if (next_ == 0) next_ = 1;  // 0 marks an empty record
  e.Typ = typ;
  e.Dat = t.dat;
  e.Tim = t.tim;
  e.Reg01 = static_cast<uint16_t>(onn);
  e.Reg23 = static_cast<uint16_t>(onn >> 16);
  e.Reg45 = static_cast<uint16_t>(onn >> 32);
  e.Dif01 = static_cast<uint16_t>(dif);
  e.Dif23 = static_cast<uint16_t>(dif >> 16);
  e.Dif45 = static_cast<uint16_t>(dif >> 32);
  log_.push_back(e);
  while (log_.size() > cCapacity) log_.pop_front();
  return log_.back();
}

void EventLog::Erase() { log_.clear(); }

std::vector<tVexEvn> EventLog::Latest(size_t n) const {
  const size_t k = std::min(n, log_.size());
  return std::vector<tVexEvn>(log_.end() - static_cast<std::ptrdiff_t>(k), log_.end());
}

std::vector<tVexEvn> EventLog::From(uint32_t seq, size_t max) const {
  std::vector<tVexEvn> v;
  for (const tVexEvn& e : log_) {
    if (v.size() >= max) break;
    if (e.Seq >= seq) v.push_back(e);
  }
  return v;
}

void EventLog::AppendSek(const tVexEvn& e, ByteStr& out) {
  PutLe32(out, e.Seq);
  PutLe16(out, e.Typ);
  PutLe16(out, e.Dat);
  PutLe32(out, e.Tim);
  PutLe16(out, e.Dif01);
  PutLe16(out, e.Dif23);
  PutLe16(out, e.Dif45);
}

}  // namespace vex::emu
