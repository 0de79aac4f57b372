#include "monitor/RackPanel.h"

#include "config/Vex733type.h"

namespace vex {

bool TagSet(uint32_t tag, const std::vector<uint16_t>& words, int base) {
  const size_t w = static_cast<size_t>(base + TagWord(tag));
  return w < words.size() && (words[w] >> TagBit(tag) & 1);
}

std::vector<TRackLamp> LampRow(int count, int firstWord) {
  std::vector<TRackLamp> v(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) v[static_cast<size_t>(i)].Tag = RackTag(firstWord + i / 16, i % 16);
  return v;
}

TColor RackStatusLamp(uint16_t staFlg, bool tim4Hz) {
  if (staFlg & 0x01) return clLampGreen;
  if (staFlg & 0x04) return clLampOff;
  return tim4Hz ? clLampGreen : clLampOff;
}

TColor RackPowerLamp(uint16_t staFlg, bool tim4Hz) {
  return (staFlg & 0x20) || tim4Hz ? clLampGreen : clLampOff;
}

TSekansReply SplitSekans(const uint8_t* b, int n) {
  TSekansReply r;
  auto le16 = [&](int at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); };
  constexpr int cStatusBytes = 16;
  if (n < cStatusBytes) return r;
  r.HasStatus = true;
  r.UnqIdf = le16(0);
  for (int k = 1; k < 8; ++k) r.Status.push_back(le16(2 * k));
  n -= cStatusBytes;
  const uint8_t* p = b + cStatusBytes;
  constexpr int cRecords = 6;
  for (int k = 0; k < cRecords && n >= static_cast<int>(tVexSek::cBytes); ++k) {
    r.Records.push_back(tVexSek::FromBytes(p));
    p += tVexSek::cBytes;
    n -= static_cast<int>(tVexSek::cBytes);
  }
  return r;
}

std::string SlotText(uint16_t typId) { return "$" + IntToHex(typId, 2) + ", " + ModTypText(typId); }

// ---- the I/O module's boxes ----

TVex733Boxes::TVex733Boxes() {
  for (int i = 0; i < cBoxes; ++i) {
    Out[static_cast<size_t>(i)].Tag = RackTag(i / cPerGroup, i % cPerGroup);
    Pul[static_cast<size_t>(i)].Tag = RackTag(6 + i / cPerGroup, i % cPerGroup);
  }
}

const char* TVex733Boxes::OverrideCaption(int group) {
  static const char* const c[cGroups] = {"09-16 override", "25-32 override", "41-48 override"};
  return c[group];
}

void TVex733Boxes::SetChecked(TBox& box, bool on) {
  if (box.Checked == on) return;
  box.Checked = on;
  if (CmdSkp) return;
  CmdTag = box.Tag;
  CmdChk = on;
  CmdFlg = true;
}

void TVex733Boxes::Enter(int outIndex) { Override[static_cast<size_t>(outIndex / cPerGroup)] = TTri::Grayed; }

void TVex733Boxes::FromStatus(const std::vector<uint16_t>& sta) {
  CmdSkp = true;
  for (TBox& b : Out) SetChecked(b, TagSet(b.Tag, sta, Vex733Words::cCmd));
  for (TBox& b : Pul) SetChecked(b, TagSet(b.Tag, sta, Vex733Words::cCmd));
  CmdSkp = false;
}

bool TVex733Boxes::Ramp() {
  bool changed = false;
  for (int g = 0; g < cGroups; ++g) {
    const TTri o = Override[static_cast<size_t>(g)];
    if (o == TTri::Grayed) continue;
    const bool want = o == TTri::Checked;
    for (int k = 0; k < cPerGroup; ++k) {
      TBox& b = Out[static_cast<size_t>(g * cPerGroup + k)];
      if (b.Checked != want) {
        SetChecked(b, want);
        changed = true;
        break;
      }
    }
  }
  return changed;
}

void TVex733Boxes::Command(int n, bool pulse, bool on) {
  const int w = (n - 1) / 16;
  CmdTag = RackTag(pulse ? 6 + w : w, (n - 1) % 16);
  CmdChk = on;
  CmdFlg = true;
}

uint16_t TVex733Boxes::CmdWord(uint16_t word) const {
  const auto m = static_cast<uint16_t>(1u << TagBit(CmdTag));
  return static_cast<uint16_t>(CmdChk ? word | m : word & ~m);
}

TVex733Boxes::TBox* TVex733Boxes::Find(uint32_t tag) {
  for (TBox& b : Out)
    if (b.Tag == tag) return &b;
  for (TBox& b : Pul)
    if (b.Tag == tag) return &b;
  return nullptr;
}

}  // namespace vex
