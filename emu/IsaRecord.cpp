#include "emu/IsaRecord.h"

#include <algorithm>

namespace vex::emu {

namespace {

// Word offsets of the state blocks within a group.
struct GroupLayout {
  int alm, mom, ack, rng, ackSil, rnbRes;
  bool blue;
};
constexpr GroupLayout kOne{0, 21, 7, 14, 28, 29, false};  // Alm, Ack, Rng, Mom; no blue
constexpr GroupLayout kWide{0, 8, 16, 25, 24, 33, true};  // Alm, Mom, Ack+Sil, Rng+Res
constexpr int kGroupWords = 34;

uint16_t At(const std::vector<uint16_t>& w, size_t i) { return i < w.size() ? w[i] : 0; }

// The look's bitmaps in record order.
std::vector<uint64_t IsaLook::*> Fields(bool blue) {
  if (blue)
    return {&IsaLook::Red, &IsaLook::Grn, &IsaLook::Blu, &IsaLook::Sld,
            &IsaLook::Bln, &IsaLook::Buz, &IsaLook::Ro1, &IsaLook::Ro2};
  return {&IsaLook::Red, &IsaLook::Grn, &IsaLook::Sld, &IsaLook::Bln,
          &IsaLook::Buz, &IsaLook::Ro1, &IsaLook::Ro2};
}

int Groups(SeqLayout l) { return l == SeqLayout::ThreeGroups ? 3 : l == SeqLayout::TwoGroups ? 2 : 1; }

uint16_t GroupMask(int g) { return g == 2 ? 0x000F : 0xFFFF; }  // the third group has inputs 33-36

void ReadGroup(const std::vector<uint16_t>& w, int base, int g, const GroupLayout& gl, IsaConfig& c) {
  const int shift = 16 * g;
  const uint16_t mask = GroupMask(g);
  auto take = [&](int at) {
    return static_cast<uint64_t>(At(w, static_cast<size_t>(base + at)) & mask) << shift;
  };
  const auto fields = Fields(gl.blue);
  const std::pair<int, IsaLook*> looks[] = {
      {gl.alm, &c.Alm}, {gl.mom, &c.Mom}, {gl.ack, &c.Ack}, {gl.rng, &c.Rng}};
  for (const auto& [off, look] : looks)
    for (size_t f = 0; f < fields.size(); ++f) look->*fields[f] |= take(off + static_cast<int>(f));
  c.SilLck |= take(gl.ackSil);
  c.AutRes |= take(gl.rnbRes);
}

void WriteGroup(std::vector<uint16_t>& w, int base, int g, const GroupLayout& gl, const IsaConfig& c) {
  const int shift = 16 * g;
  const uint16_t mask = GroupMask(g);
  auto put = [&](int at, uint64_t v) {
    w[static_cast<size_t>(base + at)] = static_cast<uint16_t>((v >> shift) & mask);
  };
  const auto fields = Fields(gl.blue);
  const std::pair<int, const IsaLook*> looks[] = {
      {gl.alm, &c.Alm}, {gl.mom, &c.Mom}, {gl.ack, &c.Ack}, {gl.rng, &c.Rng}};
  for (const auto& [off, look] : looks)
    for (size_t f = 0; f < fields.size(); ++f) put(off + static_cast<int>(f), look->*fields[f]);
  put(gl.ackSil, c.SilLck);
  put(gl.rnbRes, c.AutRes);
}

uint32_t DelayMs(uint16_t v) { return std::clamp<uint32_t>(v, 3, 60000); }

}  // namespace

SeqLayout LayoutOfSequence(int bytes) {
  switch (bytes) {
    case 64:
    case 66:
      return SeqLayout::OneGroup;
    case 142:
    case 148:
    case 160:
      return SeqLayout::TwoGroups;
    case 210:
      return SeqLayout::ThreeGroups;
    default:
      return SeqLayout::None;
  }
}

IsaConfig ConfigFromRecord(const std::vector<uint16_t>& w, int bytes) {
  IsaConfig c;
  const SeqLayout l = LayoutOfSequence(bytes);
  if (l == SeqLayout::None) return c;
  if (l == SeqLayout::OneGroup) {
    ReadGroup(w, 0, 0, kOne, c);
    c.AlmTim = At(w, 30) & 0xFF;
    c.RngTim = At(w, 30) >> 8;
    c.TstBtn = At(w, 31) & 0xFF;
    c.HrnBtn = At(w, 31) >> 8;
    if (bytes == 66) c.InpInv = At(w, 32);
    return c;
  }
  const int groups = Groups(l);
  for (int g = 0; g < groups; ++g) ReadGroup(w, kGroupWords * g, g, kWide, c);
  const size_t o = static_cast<size_t>(kGroupWords * groups);
  c.AlmTim = At(w, o);
  c.RngTim = At(w, o + 1);
  c.TstBtn = At(w, o + 2) & 0xFF;
  c.HrnBtn = At(w, o + 2) >> 8;
  if (l != SeqLayout::TwoGroups) return c;
  if (bytes >= 148) c.InpInv = At(w, 71) | static_cast<uint64_t>(At(w, 72) & 0xFF) << 16;
  if (bytes >= 160) {
    const int graChn = std::min(At(w, 74) & 0x0F, cGroupALast);
    const int grbChn = std::min(At(w, 77) & 0x0F, cGroupBLast);
    c.GrpOpt = At(w, 74) & 0xF0;
    if (graChn > 0)
      c.Groups[0] = {cGroupALast - graChn + 1, cGroupALast, DelayMs(At(w, 75)), DelayMs(At(w, 76))};
    if (grbChn > 0)
      c.Groups[1] = {cGroupBLast - grbChn + 1, cGroupBLast, DelayMs(At(w, 78)), DelayMs(At(w, 79))};
  }
  return c;
}

std::vector<uint16_t> RecordFromConfig(const IsaConfig& c, int bytes) {
  const SeqLayout l = LayoutOfSequence(bytes);
  std::vector<uint16_t> w(l == SeqLayout::None ? 0 : static_cast<size_t>(bytes / 2), 0);
  if (l == SeqLayout::None) return w;
  if (l == SeqLayout::OneGroup) {
    WriteGroup(w, 0, 0, kOne, c);
    w[30] = static_cast<uint16_t>((c.AlmTim & 0xFF) | (c.RngTim & 0xFF) << 8);
    w[31] = static_cast<uint16_t>((c.TstBtn & 0xFF) | (c.HrnBtn & 0xFF) << 8);
    if (bytes == 66) w[32] = static_cast<uint16_t>(c.InpInv);
    return w;
  }
  const int groups = Groups(l);
  for (int g = 0; g < groups; ++g) WriteGroup(w, kGroupWords * g, g, kWide, c);
  const size_t o = static_cast<size_t>(kGroupWords * groups);
  w[o] = c.AlmTim;
  w[o + 1] = c.RngTim;
  w[o + 2] = static_cast<uint16_t>((c.TstBtn & 0xFF) | (c.HrnBtn & 0xFF) << 8);
  if (l != SeqLayout::TwoGroups) return w;
  if (bytes >= 148) {
    w[71] = static_cast<uint16_t>(c.InpInv);
    w[72] = static_cast<uint16_t>((c.InpInv >> 16) & 0xFF);
  }
  if (bytes >= 160) {
    const IsaDelayGroup& a = c.Groups[0];
    const IsaDelayGroup& b = c.Groups[1];
    const int graChn = a.Last == cGroupALast ? std::max(0, a.Last - a.First + 1) : 0;
    const int grbChn = b.Last == cGroupBLast ? std::max(0, b.Last - b.First + 1) : 0;
    w[74] = static_cast<uint16_t>((graChn & 0x0F) | (c.GrpOpt & 0xF0));
    w[75] = static_cast<uint16_t>(a.Det);
    w[76] = static_cast<uint16_t>(a.Clr);
    w[77] = static_cast<uint16_t>(grbChn & 0x0F);
    w[78] = static_cast<uint16_t>(b.Det);
    w[79] = static_cast<uint16_t>(b.Clr);
  }
  return w;
}

IsaConfig FixedConfig(int inputs, uint16_t hrnSel, uint16_t belSel) {
  IsaConfig c;
  const uint64_t all = inputs >= 64 ? ~uint64_t{0} : (uint64_t{1} << inputs) - 1;
  c.Alm.Red = c.Mom.Red = all;
  c.Alm.Sld = c.Alm.Bln = all;  // 2 Hz
  c.Mom.Bln = all;              // 1 Hz
  c.Alm.Buz = c.Mom.Buz = all;
  c.Alm.Ro1 = c.Mom.Ro1 = hrnSel & all;
  c.Alm.Ro2 = c.Mom.Ro2 = belSel & all;
  c.Ack.Grn = all;
  c.HrnBtn = cHrnOut1 | cHrnOut2 | cHrnBuzzer;
  return c;
}

}  // namespace vex::emu
