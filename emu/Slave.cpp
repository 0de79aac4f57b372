// Modbus request handling of the simulated devices.
#include "emu/Slave.h"

#include <algorithm>
#include <sstream>

namespace vex::emu {

namespace {

uint16_t Be16(const ByteStr& s, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[i]) << 8 | static_cast<uint8_t>(s[i + 1]));
}
void Put16(ByteStr& s, uint16_t v) {
  s.push_back(static_cast<char>(v >> 8));
  s.push_back(static_cast<char>(v & 0xFF));
}
ByteStr Ex(uint8_t fn, int code) { return ByteStr{static_cast<char>(fn | 0x80), static_cast<char>(code)}; }

ByteStr ReadRegs(Device& d, Space s, const ByteStr& p) {
  const auto fn = static_cast<uint8_t>(p[0]);
  if (p.size() != 5) return Ex(fn, exValue);
  const uint16_t a = Be16(p, 1), c = Be16(p, 3);
  if (c < 1 || c > 125) return Ex(fn, exValue);
  std::vector<uint16_t> v(c);
  if (int r = d.ReadRegs(s, a, c, v.data())) return Ex(fn, r);
  ByteStr out{static_cast<char>(fn), static_cast<char>(2 * c)};
  for (uint16_t w : v) Put16(out, w);
  return out;
}

ByteStr ReadBits(Device& d, Space s, const ByteStr& p) {
  const auto fn = static_cast<uint8_t>(p[0]);
  if (p.size() != 5) return Ex(fn, exValue);
  const uint16_t a = Be16(p, 1), c = Be16(p, 3);
  if (c < 1 || c > 2000) return Ex(fn, exValue);
  std::vector<bool> v;
  if (int r = d.ReadBits(s, a, c, v)) return Ex(fn, r);
  ByteStr out{static_cast<char>(fn), static_cast<char>((c + 7) / 8)};
  out.append((c + 7) / 8, '\0');
  for (uint16_t i = 0; i < c; ++i)
    if (v[i]) out[2 + i / 8] = static_cast<char>(out[2 + i / 8] | (1 << (i % 8)));
  return out;
}

ByteStr WriteCoil(Device& d, const ByteStr& p) {
  if (p.size() != 5) return Ex(0x05, exValue);
  const uint16_t a = Be16(p, 1), v = Be16(p, 3);
  if (v != 0xFF00 && v != 0x0000) return Ex(0x05, exValue);
  if (int r = d.WriteBits(Space::Coil, a, {v == 0xFF00})) return Ex(0x05, r);
  return p;
}

ByteStr WriteReg(Device& d, const ByteStr& p) {
  if (p.size() != 5) return Ex(0x06, exValue);
  const uint16_t a = Be16(p, 1), v = Be16(p, 3);
  if (int r = d.WriteRegs(Space::Holding, a, 1, &v)) return Ex(0x06, r);
  return p;
}

ByteStr WriteCoils(Device& d, const ByteStr& p) {
  if (p.size() < 6) return Ex(0x0F, exValue);
  const uint16_t a = Be16(p, 1), c = Be16(p, 3);
  const auto n = static_cast<uint8_t>(p[5]);
  if (c < 1 || c > 1968 || n != (c + 7) / 8 || p.size() != 6u + n) return Ex(0x0F, exValue);
  std::vector<bool> v(c);
  for (uint16_t i = 0; i < c; ++i) v[i] = (static_cast<uint8_t>(p[6 + i / 8]) >> (i % 8)) & 1;
  if (int r = d.WriteBits(Space::Coil, a, v)) return Ex(0x0F, r);
  return p.substr(0, 5);
}

ByteStr WriteRegs(Device& d, const ByteStr& p) {
  if (p.size() < 6) return Ex(0x10, exValue);
  const uint16_t a = Be16(p, 1), c = Be16(p, 3);
  const auto n = static_cast<uint8_t>(p[5]);
  if (c < 1 || c > 123 || n != 2 * c || p.size() != 6u + n) return Ex(0x10, exValue);
  std::vector<uint16_t> v(c);
  for (uint16_t i = 0; i < c; ++i) v[i] = Be16(p, 6 + 2 * i);
  if (int r = d.WriteRegs(Space::Holding, a, c, v.data())) return Ex(0x10, r);
  return p.substr(0, 5);
}

ByteStr Echo(const ByteStr& p) {
  if (p.size() != 5) return Ex(0x08, exValue);
  if (Be16(p, 1) != 0) return Ex(0x08, exFunction);  // only "return query data"
  return p;
}

// 0x14: 0x14, 0x06, 0x05, f, a23..16, a15..8, a7..0, c. The RTU file reply carries
// 0x14, c+2, c+1, 0x05, data; the rack modules' sequence stream 0x14, d+1, d, data.
ByteStr ReadFileRec(Device& d, const ByteStr& p) {
  if (p.size() != 8 || p[1] != 0x06 || p[2] != 0x05) return Ex(0x14, exValue);
  const auto f = static_cast<uint8_t>(p[3]);
  const uint32_t a = static_cast<uint32_t>(static_cast<uint8_t>(p[4])) << 16 |
                     static_cast<uint32_t>(static_cast<uint8_t>(p[5])) << 8 | static_cast<uint8_t>(p[6]);
  const auto c = static_cast<uint8_t>(p[7]);
  const bool sekans = d.Info().sekans;
  if (c > (sekans ? 247 : 244)) return Ex(0x14, exValue);
  ByteStr data;
  if (int r = d.ReadFile(f, a, c, data)) return Ex(0x14, r);
  if (data.size() > c) data.resize(c);
  const auto n = static_cast<uint8_t>(data.size());
  if (sekans) return ByteStr{0x14, static_cast<char>(n + 1), static_cast<char>(n)} + data;
  if (n != c) return Ex(0x14, exAddress);
  return ByteStr{0x14, static_cast<char>(n + 2), static_cast<char>(n + 1), 0x05} + data;
}

// 0x15: 0x15, c+6, 0x05, f, a (3 bytes), c, data; reply 0x15, 0x06, 0x05, f, a, c.
ByteStr WriteFileRec(Device& d, const ByteStr& p) {
  if (p.size() < 8 || p[2] != 0x05) return Ex(0x15, exValue);
  const auto c = static_cast<uint8_t>(p[7]);
  if (static_cast<uint8_t>(p[1]) != c + 6 || p.size() != 8u + c || c > 244) return Ex(0x15, exValue);
  const auto f = static_cast<uint8_t>(p[3]);
  const uint32_t a = static_cast<uint32_t>(static_cast<uint8_t>(p[4])) << 16 |
                     static_cast<uint32_t>(static_cast<uint8_t>(p[5])) << 8 | static_cast<uint8_t>(p[6]);
  if (int r = d.WriteFile(f, a, p.substr(8))) return Ex(0x15, r);
  return ByteStr{0x15, 0x06} + p.substr(2, 6);
}

}  // namespace

ByteStr ProcessPdu(Device& d, const ByteStr& pdu) {
  if (pdu.empty()) return {};
  d.Tick(MonoMs());
  const auto fn = static_cast<uint8_t>(pdu[0]);
  switch (fn) {
    case 0x01:
      return ReadBits(d, Space::Coil, pdu);
    case 0x02:
      return ReadBits(d, Space::Discrete, pdu);
    case 0x03:
      return ReadRegs(d, Space::Holding, pdu);
    case 0x04:
      return ReadRegs(d, Space::Input, pdu);
    case 0x05:
      return WriteCoil(d, pdu);
    case 0x06:
      return WriteReg(d, pdu);
    case 0x08:
      return Echo(pdu);
    case 0x0F:
      return WriteCoils(d, pdu);
    case 0x10:
      return WriteRegs(d, pdu);
    case 0x14:
      return ReadFileRec(d, pdu);
    case 0x15:
      return WriteFileRec(d, pdu);
    default:
      return Ex(fn, exFunction);
  }
}

// ---- faults ----

Fault ParseFault(const std::string& text) {
  std::istringstream in(text);
  std::string word;
  if (!(in >> word))
    throw Exception("Fault kind missing (noreply, delay, split, garbage, badcrc, exception, drop)");
  Fault f;
  static const std::pair<const char*, Fault::Kind> kinds[] = {
      {"noreply", Fault::NoReply}, {"delay", Fault::Delay},   {"split", Fault::Split},
      {"garbage", Fault::Garbage}, {"badcrc", Fault::BadCrc}, {"exception", Fault::Exception},
      {"drop", Fault::Drop}};
  bool known = false;
  for (const auto& [name, k] : kinds)
    if (word == name) f.kind = k, known = true;
  if (!known) throw Exception("Unknown fault \"" + word + "\"");
  while (in >> word) {
    const auto eq = word.find('=');
    int64_t v = 0;
    if (eq == std::string::npos || !TryStrToInt(word.substr(eq + 1), v))
      throw Exception("Fault option must be name=number: \"" + word + "\"");
    const std::string key = word.substr(0, eq);
    auto bound = [&](int64_t lo, int64_t hi) {
      if (v < lo || v > hi)
        throw Exception("Fault option " + key + " out of range [" + std::to_string(lo) + ".." +
                        std::to_string(hi) + "]");
      return static_cast<int>(v);
    };
    if (key == "fn")
      f.fn = bound(0, 255);
    else if (key == "nth")
      f.nth = bound(1, 1000000);
    else if (key == "every")
      f.every = bound(1, 1000000);
    else if (key == "times")
      f.times = bound(0, 1000000);
    else if (key == "ms")
      f.ms = bound(0, 60000);
    else if (key == "at")
      f.at = bound(0, 255);
    else if (key == "code")
      f.code = bound(1, 255);
    else if (key == "bytes")
      f.bytes = bound(1, 255);
    else
      throw Exception("Unknown fault option \"" + key + "\"");
  }
  return f;
}

std::string FaultText(const Fault& f) {
  static const char* names[] = {"noreply", "delay", "split", "garbage", "badcrc", "exception", "drop"};
  std::string s = names[f.kind];
  if (f.fn >= 0) s += " fn=" + std::to_string(f.fn);
  if (f.nth) s += " nth=" + std::to_string(f.nth);
  if (f.every) s += " every=" + std::to_string(f.every);
  if (f.times >= 0) s += " times=" + std::to_string(f.times);
  if (f.kind == Fault::Delay || f.kind == Fault::Split) s += " ms=" + std::to_string(f.ms);
  if (f.kind == Fault::Split && f.at >= 0) s += " at=" + std::to_string(f.at);
  if (f.kind == Fault::Exception) s += " code=" + std::to_string(f.code);
  if (f.kind == Fault::Garbage) s += " bytes=" + std::to_string(f.bytes);
  return s;
}

std::vector<Fault> FaultPlan::Match(uint8_t fn) {
  std::vector<Fault> out;
  for (Fault& f : faults_) {
    if (f.fn >= 0 && f.fn != fn) continue;
    ++f.seen;
    if (f.times >= 0 && f.fired >= f.times) continue;
    if (f.nth && f.seen != f.nth) continue;
    if (f.every && f.seen % f.every != 0) continue;
    ++f.fired;
    out.push_back(f);
  }
  return out;
}

namespace {

bool Has(const std::vector<Fault>& v, Fault::Kind k) {
  return std::any_of(v.begin(), v.end(), [k](const Fault& f) { return f.kind == k; });
}
const Fault* Get(const std::vector<Fault>& v, Fault::Kind k) {
  for (const Fault& f : v)
    if (f.kind == k) return &f;
  return nullptr;
}

ByteStr Reply(Device& d, const std::vector<Fault>& fired, const ByteStr& pdu) {
  std::lock_guard<std::mutex> lock(d.Mutex());
  ByteStr r = ProcessPdu(d, pdu);  // the request takes effect even when its reply is faulted
  if (const Fault* e = Get(fired, Fault::Exception)) r = Ex(static_cast<uint8_t>(pdu[0]), e->code);
  return r;
}

ReplyPlan Shape(ByteStr adu, const std::vector<Fault>& fired) {
  ReplyPlan plan;
  if (const Fault* g = Get(fired, Fault::Garbage))
    for (int i = 0; i < g->bytes; ++i) adu.push_back(static_cast<char>(0xA5 ^ (i * 0x3D)));
  int pause = 0;
  for (const Fault& f : fired)
    if (f.kind == Fault::Delay) pause += f.ms;
  if (const Fault* s = Get(fired, Fault::Split)) {
    const size_t at = s->at >= 0 ? std::min<size_t>(s->at, adu.size()) : adu.size() / 2;
    plan.pieces.push_back(Piece{adu.substr(0, at), pause});
    plan.pieces.push_back(Piece{adu.substr(at), s->ms});
  } else {
    plan.pieces.push_back(Piece{adu, pause});
  }
  return plan;
}

}  // namespace

ReplyPlan HandleRtuFrame(Device& d, FaultPlan& faults, const ByteStr& frame) {
  if (frame.size() < 4) return {};
  const uint16_t crc = static_cast<uint16_t>(static_cast<uint8_t>(frame[frame.size() - 2]) |
                                             static_cast<uint8_t>(frame[frame.size() - 1]) << 8);
  const ByteStr body = frame.substr(0, frame.size() - 2);
  if (CrcofStr(body) != crc) return {};
  const auto node = static_cast<uint8_t>(body[0]);
  std::vector<Fault> fired;
  {
    std::lock_guard<std::mutex> lock(d.Mutex());
    if (node != 0 && !d.AnswersNode(node)) return {};
    fired = faults.Match(static_cast<uint8_t>(body[1]));
  }
  const ByteStr r = Reply(d, fired, body.substr(1));
  if (node == 0 || r.empty() || Has(fired, Fault::NoReply) || Has(fired, Fault::Drop)) return {};
  ByteStr adu = static_cast<char>(node) + r;
  uint16_t c = CrcofStr(adu);
  if (Has(fired, Fault::BadCrc)) c = static_cast<uint16_t>(c ^ 0x5A5A);
  adu.push_back(static_cast<char>(c & 0xFF));
  adu.push_back(static_cast<char>(c >> 8));
  return Shape(adu, fired);
}

ReplyPlan HandleTcpFrame(Device& d, FaultPlan& faults, const ByteStr& frame, const std::vector<int>& units) {
  if (frame.size() < 8 || Be16(frame, 2) != 0) return {};
  const auto unit = static_cast<uint8_t>(frame[6]);
  if (!units.empty() && std::find(units.begin(), units.end(), unit) == units.end()) return {};
  std::vector<Fault> fired;
  {
    std::lock_guard<std::mutex> lock(d.Mutex());
    fired = faults.Match(static_cast<uint8_t>(frame[7]));
  }
  const ByteStr r = Reply(d, fired, frame.substr(7));
  ReplyPlan plan;
  if (Has(fired, Fault::Drop)) {
    plan.dropConnection = true;
    return plan;
  }
  if (r.empty() || Has(fired, Fault::NoReply)) return plan;
  ByteStr adu = frame.substr(0, 4);
  Put16(adu, static_cast<uint16_t>(r.size() + 1));
  adu.push_back(static_cast<char>(unit));
  adu += r;
  if (Has(fired, Fault::BadCrc) && adu.size() > 8) adu[adu.size() - 1] = static_cast<char>(adu.back() ^ 0x5A);
  return Shape(adu, fired);
}

}  // namespace vex::emu
