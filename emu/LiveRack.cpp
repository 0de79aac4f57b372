#include "emu/LiveRack.h"

#include <algorithm>
#include <sstream>

namespace vex::emu {

namespace {
bool In(uint32_t a, uint32_t first, uint32_t count) { return a >= first && a - first < count; }

int64_t Number(const std::string& s, int64_t lo, int64_t hi, const char* what) {
  int64_t n = 0;
  if (!TryStrToInt(s, n) || n < lo || n > hi)
    throw Exception(std::string(what) + " out of range [" + std::to_string(lo) + ".." + std::to_string(hi) +
                    "]: " + s);
  return n;
}

bool OnOff(const std::string& s) {
  if (s != "on" && s != "off") throw Exception("on|off expected: " + s);
  return s == "on";
}
}  // namespace

RackModule::RackModule(const ModelInfo& m)
    : LiveBase(m.inputs, 3), m_(m), statusWords_(m.model == Model::Vald3 ? 25 : 7) {}

void RackModule::Attach(Device& d) {
  Bind(d, cEventRecords);
  d.Own(Space::Holding, 48, statusWords_, this);
  // The I/O module's command words (64..66) and pulse words (70..72) lie inside its status
  // record, which owns them.
  d.Own(Space::File, 0, 256, this);  // the stream's address is a 32-bit sequence number
}

IsaConfig RackModule::BuildConfig() {
  IsaConfig c;  // no alarm sequence: every input change is a SET or CLEAR event
  c.SetTmo = d_->Cfg(18);
  c.ClrTmo = d_->Cfg(19);
  return c;
}

void RackModule::PoweredUp(int64_t) {
  cmd_ = {};
  pul_ = {};
  pulEnd_ = {};
}

uint16_t RackModule::Capable(int slot) const {
  switch (slot_[slot]) {
    case cModTy5:
    case cModTy8:
      return 0x00FF;
    case cModTyS:
      return 0x000F;
    default:
      return 0;
  }
}

uint32_t RackModule::PulseMs(int slot) const {
  uint32_t t = d_->Cfg(static_cast<uint16_t>(21 + slot));  // PulTi1..PulTi3
  if (!t) t = d_->Cfg(20);                                 // PulTim
  return t ? t : cDefaultPulseMs;
}

uint16_t RackModule::Outputs(int slot) const {
  return static_cast<uint16_t>((cmd_[slot] | pul_[slot]) & Capable(slot) & ~failed_[slot]);
}
uint16_t RackModule::Faults(int slot) const {
  return static_cast<uint16_t>(((cmd_[slot] | pul_[slot]) & ~Capable(slot)) | failed_[slot]);
}

uint16_t RackModule::StaFlg() const {
  uint16_t f = d_->CfgState() & 7;
  if (engine_.Testing()) f |= cTstPnd;
  if (ClockSet()) f |= cTimSyn;
  if (irig_) f |= cTimIrg;
  return f;
}

uint16_t RackModule::StatusWord(uint16_t k) const {
  const DevTime t = d_->Clock();
  const uint64_t onn = engine_.Onn();
  if (k < 6) {
    const uint16_t w[6] = {static_cast<uint16_t>(t.tim & 0xFFFF),
                           static_cast<uint16_t>(t.tim >> 16),
                           t.dat,
                           StaFlg(),
                           GroupWord(onn, 0),
                           GroupWord(onn, 1)};
    return w[k];
  }
  if (k == 6) return GroupWord(onn, 2);
  // I/O module: outputs, faults, (unused), commands, slot types, pulses; three words each
  const int g = (k - 7) / 3, s = (k - 7) % 3;
  switch (g) {
    case 0:
      return Outputs(s);
    case 1:
      return Faults(s);
    case 2:
      return 0;
    case 3:
      return cmd_[s];
    case 4:
      return slot_[s];
    default:
      return pul_[s];
  }
}

int RackModule::Read(Space s, uint32_t a, uint16_t& v) {
  if (s != Space::Holding) return kPass;
  if (In(a, 48, statusWords_)) {
    v = StatusWord(static_cast<uint16_t>(a - 48));
    return exNone;
  }
  if (In(a, cEventRegs, cEventRecords * tVexEvn::cWords)) {
    v = EventWord(a - cEventRegs);
    return exNone;
  }
  if (IoModule() && In(a, cCmdRegs, 3)) {
    v = cmd_[a - cCmdRegs];
    return exNone;
  }
  if (IoModule() && In(a, cPulRegs, 3)) {
    v = pul_[a - cPulRegs];
    return exNone;
  }
  return kPass;
}

int RackModule::Write(Space s, uint32_t a, uint16_t v) {
  if (s != Space::Holding) return kPass;
  if (In(a, cEventRegs, cEventRecords * tVexEvn::cWords)) return exAddress;
  if (IoModule() && In(a, cCmdRegs, 3)) {
    cmd_[a - cCmdRegs] = v;
    return exNone;
  }
  if (IoModule() && In(a, cPulRegs, 3)) {
    // Every set bit starts a pulse of its slot's length (a running one keeps its end). A clear
    // bit leaves its pulse running: a screen writes only the bit of the clicked box, so the
    // other pulses of the slot must not end by it. A pulse ends only by its timer.
    const int slot = static_cast<int>(a - cPulRegs);
    const int64_t now = Now();
    for (int b = 0; b < 16; ++b) {
      const uint16_t m = static_cast<uint16_t>(1u << b);
      if ((v & m) && !(pul_[slot] & m)) pulEnd_[slot][b] = now + PulseMs(slot);
    }
    pul_[slot] = static_cast<uint16_t>(pul_[slot] | v);
    return exNone;
  }
  // The rest of the status record is read only, but for the time record at 48..50.
  if (In(a, 48, statusWords_)) return a <= 50 ? kPass : exAddress;
  return kPass;
}

int RackModule::ReadFile(uint8_t file, uint32_t addr, uint8_t count, ByteStr& out) {
  // Status part (unique id, clock, flags, inputs), then the records from the asked number on.
  const uint32_t seq = static_cast<uint32_t>(file) << 24 | (addr & 0xFFFFFF);
  uint16_t unq = 0;
  d_->ReadRegs(Space::Holding, 13, 1, &unq);
  const DevTime t = d_->Clock();
  const uint64_t onn = engine_.Onn();
  ByteStr b;
  PutLe16(b, unq);
  PutLe32(b, t.tim);
  PutLe16(b, t.dat);
  PutLe16(b, StaFlg());
  for (int g = 0; g < 3; ++g) PutLe16(b, GroupWord(onn, g));
  for (const tVexEvn& e : log_.From(seq, cSekRecords)) EventLog::AppendSek(e, b);
  out.append(b, 0, std::min<size_t>({b.size(), count, streamCut_}));
  return exNone;
}

int RackModule::OnKey(uint16_t code) {
  const int64_t now = Now();
  if (code == 0x83) engine_.Key(IsaKey::Test, now);
  if (code == 0x85) engine_.Key(IsaKey::TestUp, now);
  return exNone;  // the modules have no alarm keys; other keys and window codes change nothing
}

void RackModule::Tick(int64_t now) {
  LiveBase::Tick(now);
  for (int s = 0; s < 3; ++s)
    for (int b = 0; b < 16; ++b)
      if ((pul_[s] & (1u << b)) && now >= pulEnd_[s][b])
        pul_[s] = static_cast<uint16_t>(pul_[s] & ~(1u << b));
}

bool RackModule::Control(const std::string& cmd, const std::string& rest, std::string& reply) {
  if (cmd != "slot" && cmd != "outfault" && cmd != "irig" && cmd != "stream") return false;
  try {
    std::istringstream in(rest);
    std::string a, b, more;
    in >> a >> b >> more;
    if (!more.empty()) throw Exception("Too many arguments: " + rest);
    if (cmd == "stream") {
      if (!b.empty() || a.empty()) throw Exception("stream N|full");
      streamCut_ = a == "full" ? 255 : static_cast<size_t>(Number(a, 0, 255, "Stream reply size"));
      reply = "ok";
      return true;
    }
    if (!IoModule()) throw Exception("\"" + cmd + "\": the 48-input module has no output slots");
    if (cmd == "slot") {
      if (a.empty()) {
        reply = "ok";
        for (uint16_t t : slot_) reply += " $" + IntToHex(t, 2);
        return true;
      }
      if (b.empty()) throw Exception("slot N TYPE");
      const auto n = Number(a, 1, 3, "Slot");
      slot_[n - 1] = static_cast<uint16_t>(Number(b, 0, 0xFFFF, "Module type"));
    } else if (cmd == "outfault") {
      if (a == "clear" && b.empty()) {
        failed_ = {};
      } else {
        const auto n = Number(a, 1, 48, "Output") - 1;
        const auto m = static_cast<uint16_t>(1u << (n % 16));
        uint16_t& w = failed_[n / 16];
        w = static_cast<uint16_t>(OnOff(b) ? w | m : w & ~m);
      }
    } else {
      if (!b.empty()) throw Exception("irig on|off");
      irig_ = OnOff(a);
    }
    reply = "ok";
  } catch (const std::exception& e) {
    reply = std::string("error: ") + e.what();
  }
  return true;
}

}  // namespace vex::emu
