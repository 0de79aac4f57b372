#include "comm/Event.h"

namespace vex {

namespace {

uint32_t Long(const uint16_t* w) { return static_cast<uint32_t>(w[0]) | (static_cast<uint32_t>(w[1]) << 16); }
uint16_t Word(const uint8_t* b) { return static_cast<uint16_t>(b[0] | (b[1] << 8)); }
void PutLong(uint16_t* w, uint32_t v) {
  w[0] = static_cast<uint16_t>(v & 0xFFFF);
  w[1] = static_cast<uint16_t>(v >> 16);
}

// Byte image -> register words (each register holds the little-endian byte pair).
template <size_t N>
void BytesToWords(const uint8_t* b, uint16_t (&w)[N]) {
  for (size_t i = 0; i < N; ++i) w[i] = Word(b + 2 * i);
}

}  // namespace

tVexEvn tVexEvn::FromWords(const uint16_t* w) {
  tVexEvn v;
  v.Smp = w[0];
  v.Seq = Long(w + 1);
  v.Typ = w[3];
  v.Dat = w[4];
  v.Tim = Long(w + 5);
  v.Reg01 = w[7];
  v.Reg23 = w[8];
  v.Reg45 = w[9];
  v.Dif01 = w[10];
  v.Dif23 = w[11];
  v.Dif45 = w[12];
  return v;
}

void tVexEvn::ToWords(uint16_t* w) const {
  w[0] = Smp;
  PutLong(w + 1, Seq);
  w[3] = Typ;
  w[4] = Dat;
  PutLong(w + 5, Tim);
  w[7] = Reg01;
  w[8] = Reg23;
  w[9] = Reg45;
  w[10] = Dif01;
  w[11] = Dif23;
  w[12] = Dif45;
}

tVexEvn tVexEvn::FromBytes(const uint8_t* b) {
  uint16_t w[cWords];
  BytesToWords(b, w);
  return FromWords(w);
}

tVexSek tVexSek::FromWords(const uint16_t* w) {
  tVexSek v;
  v.Seq = Long(w);
  v.Typ = w[2];
  v.Dat = w[3];
  v.Tim = Long(w + 4);
  v.Dif01 = w[6];
  v.Dif23 = w[7];
  v.Dif45 = w[8];
  return v;
}

void tVexSek::ToWords(uint16_t* w) const {
  PutLong(w, Seq);
  w[2] = Typ;
  w[3] = Dat;
  PutLong(w + 4, Tim);
  w[6] = Dif01;
  w[7] = Dif23;
  w[8] = Dif45;
}

tVexSek tVexSek::FromBytes(const uint8_t* b) {
  uint16_t w[cWords];
  BytesToWords(b, w);
  return FromWords(w);
}

std::string EventKindText(unsigned typ) {
  switch (typ) {
    case 1:
      return "SET";
    case 2:
      return "CLEAR";
    case 3:
      return "POWER";
    case 4:
      return "TIME VALID";
    case 5:
      return "CONFIG";
    case 6:
      return "USER";
    case 7:
      return "HUGETEST";
    case 8:
      return "HUGEFIN";
    case 9:
      return "ERASELOG";
    case 10:
      return "TIME SHIFT";
    case 11:
      return "IRIG-B SYNC";
    case 12:
      return "IRIG-B FAIL";
    case 13:
      return "QUERY FAIL";
    case 16:
      return "ALARM";
    case 17:
      return "MOMENTARY";
    case 18:
      return "ACKNOWLEDGE";
    case 19:
      return "RINGBACK";
    case 20:
      return "RESET";
    case 21:
      return "NORMAL";
    case 32:
      return "FORCED";
    case 33:
      return "RELEASED";
    default:
      return "UNDEF";
  }
}

TDateTime EventTime(uint16_t dat, uint32_t tim) { return cBase2000 + dat + tim / 86400000.0; }

void TEvent1::ShowEvent(const tVexEvn& v) {
  if (v.Seq == 0) return;
  const TDateTime t = EventTime(v.Dat, v.Tim);
  std::string text = " Seq=" + std::to_string(v.Seq) + " " + EventKindText(v.Typ);
  if (IsSystemEvent(v.Typ)) {
    AddEvent(t, text);
    return;
  }
  text += " Channel=";
  const uint16_t dif[3] = {v.Dif01, v.Dif23, v.Dif45};
  for (int g = 0; g < 3; ++g)
    for (int i = 0; i < 16; ++i)
      if ((dif[g] >> i) & 1u) AddEvent(t, text + std::to_string(g * 16 + i + 1));
}

void TEvent1::ShowSekans(const tVexSek& v) {
  tVexEvn e;
  e.Seq = v.Seq;
  e.Typ = v.Typ;
  e.Dat = v.Dat;
  e.Tim = v.Tim;
  e.Dif01 = v.Dif01;
  e.Dif23 = v.Dif23;
  e.Dif45 = v.Dif45;
  ShowEvent(e);
}

void TEvent1::AddEvent(TDateTime t, const std::string& s) {
  while (lines_.size() > cMaxLines) {
    lines_.pop_front();
    if (view_) view_->FirstLineRemoved();
  }
  lines_.push_back(FormatDateTime("dd/mm/yy hh:nn:ss.zzz", t) + " - " + s);
  if (view_) view_->LineAdded(lines_.back());
}

void TEvent1::Clear() {
  lines_.clear();
  if (view_) view_->Cleared();
}

std::string TEvent1::Text() const {
  std::string r;
  for (const auto& l : lines_) {
    if (!r.empty()) r += '\n';
    r += l;
  }
  return r;
}

}  // namespace vex
