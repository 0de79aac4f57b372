#include "config/RegMap.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <initializer_list>

namespace vex {

const std::vector<TVexModelInfo>& VexModels() {
  static const std::vector<TVexModelInfo> models = {
      {TVexModel::Vex215, "Vex215", "Vex216", cVex215Fid, 16, "Vex215cfg1"},
      {TVexModel::Vex216, "Vex216", "Vex216v2", cVex216Fid, 16, "Vex216cfg1"},
      {TVexModel::Vex308, "Vex308", "Vex308", cVex308Fid, 8, "Vex308cfg1"},
      {TVexModel::Vex316, "Vex316", "Vex316", cVex316Fid, 16, "Vex316cfg1"},
      {TVexModel::Vex324, "Vex324", "Vex324", cVex324Fid, 24, "Vex324cfg1"},
      {TVexModel::Vex924, "Vex924", "Vex924", cVex924Fid, 24, "Vex924cfg1"},
      {TVexModel::Vex932, "Vex932", "Vex932", cVex932Fid, 32, "Vex932cfg1"},
      {TVexModel::Vex936, "Vex936", "Vex936", cVex936Fid, 36, "Vex936cfg1"},
      {TVexModel::Vex733, "Vex733", "Vald-3", cVex733Fid, 48, "Vex733cfg1"},
      {TVexModel::Vex748, "Vex748", "Tord48", cVex748Fid, 48, "Vex748cfg1"},
  };
  return models;
}

const TVexModelInfo& VexModelInfo(TVexModel m) { return VexModels()[static_cast<size_t>(m)]; }

static std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

TVexModel ModelByName(const std::string& name) {
  std::string known;
  for (const TVexModelInfo& i : VexModels()) {
    if (Lower(i.name) == Lower(name)) return i.model;
    known += (known.empty() ? "" : ", ") + Lower(i.name);
  }
  throw Exception("Unknown model \"" + name + "\" (known: " + known + ")");
}

static bool In(int v, std::initializer_list<int> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}
static bool Between(int v, int lo, int hi) { return v >= lo && v <= hi; }

TLayout LayoutOf(TVexModel m, int appSof) {
  TLayout l;
  // the first generation and the legacy variants of the 16/8-input family
  auto legacy = [&l](bool fullStatus) {
    l.hornBell = true;
    l.tmoReg = cRegTmo18;
    l.stateReg = cRegOldStaFlg;
    l.statusReg = cRegOldSta;
    l.statusCount = fullStatus ? 14 : 9;
  };
  auto sequence = [&l](int size) {
    l.sequence = true;
    l.isaSize = size;
    l.tmoReg = cRegTmo18;
    l.stateReg = cRegOldStaFlg;
    l.statusReg = cRegStatus;
    l.statusCount = 14;
  };
  auto modern = [&l](int size, int statusCount) {
    l.sequence = size > 0;
    l.isaSize = size;
    l.tmoReg = cRegTmo16;
    l.stateReg = cRegStaFlg;
    l.statusReg = cRegStatus;
    l.statusCount = statusCount;
  };
  switch (m) {
    case TVexModel::Vex215:
      legacy(false);
      l.statusCount = 6;  // tVex215sim
      break;
    case TVexModel::Vex216:
      if (Between(appSof, 2, 10) || In(appSof, {12, 15, 40, 42}))
        sequence(In(appSof, {8, 9}) ? 66 : 64);
      else
        legacy(appSof == 1);
      break;
    case TVexModel::Vex308:
      if (Between(appSof, 1, 11) || In(appSof, {14, 16, 40, 42}))
        sequence(In(appSof, {8, 11, 14, 16}) ? 66 : 64);
      else
        legacy(false);
      break;
    case TVexModel::Vex316:
      if (appSof == 17)
        sequence(66);
      else
        legacy(false);
      break;
    case TVexModel::Vex324:
      modern(Between(appSof, 1, 4) ? 142 : (Between(appSof, 5, 7) || In(appSof, {9, 10})) ? 148 : 160, 26);
      break;
    case TVexModel::Vex924:
    case TVexModel::Vex932:
      modern(142, 26);
      break;
    case TVexModel::Vex936:
      modern(210, 37);
      break;
    case TVexModel::Vex733:
      modern(0, 25);
      l.tmoReg = cRegTmo18;
      break;
    case TVexModel::Vex748:
      modern(0, 7);
      l.tmoReg = cRegTmo18;
      break;
  }
  return l;
}

static void CheckInput(int n) {
  if (n < 1 || n > 64) throw Exception("Input number " + std::to_string(n) + " out of range [1~64]");
}

int InputWord(int n) {
  CheckInput(n);
  return (n - 1) / 16;
}

uint16_t InputMask(int n) {
  CheckInput(n);
  return static_cast<uint16_t>(1u << ((n - 1) % 16));
}

bool InputBit(const uint16_t* words, int nWords, int n) {
  const int w = InputWord(n);
  return w < nWords && (words[w] & InputMask(n)) != 0;
}

void SetInputBit(uint16_t* words, int nWords, int n, bool on) {
  const int w = InputWord(n);
  if (w >= nWords) throw Exception("Input " + std::to_string(n) + " is not in this bitmap");
  if (on)
    words[w] = static_cast<uint16_t>(words[w] | InputMask(n));
  else
    words[w] = static_cast<uint16_t>(words[w] & ~InputMask(n));
}

uint16_t VirtualCoil(int n) {
  CheckInput(n);
  return static_cast<uint16_t>(cCoilVirtual + n - 1);
}

uint16_t ActivateCoil(int n) {
  CheckInput(n);
  return static_cast<uint16_t>(cCoilActivate + n - 1);
}

TDevTime EncodeDevTime(TDateTime now) {
  const double d = now - cBase2000;
  if (!(d > 0)) return {0, 0};  // the device cannot hold times before 2000
  // A day count cannot hold every millisecond exactly; the allowance of 10 microseconds keeps a
  // whole millisecond from being truncated to the one before.
  const double total = std::floor(d * 86400000.0 + 0.01);
  const auto days = static_cast<uint64_t>(total / 86400000.0);
  if (days > 65535) return {86399999u, 65535};
  const auto ms = static_cast<uint64_t>(total - static_cast<double>(days) * 86400000.0);
  return {static_cast<uint32_t>(ms), static_cast<uint16_t>(days)};
}

TDateTime DecodeDevTime(uint32_t tim, uint16_t dat) { return cBase2000 + dat + tim / 86400000.0; }

uint16_t RemoteTick(TDateTime now) { return static_cast<uint16_t>(EncodeDevTime(now).Tim & 0x3FFF); }

std::string StateText(int state) {
  switch (state) {
    case 1:
      return ", Good";
    case 2:
      return ", Saved";
    case 4:
      return ", Edited";
    default:
      return ", Undefined";
  }
}

TColor StateColor(int state) {
  switch (state) {
    case 1:
    case 2:
      return clWindow;
    case 4:
      return RGB(0x00, 0xFF, 0x00);
    default:
      return RGB(0xFF, 0x80, 0x80);
  }
}

}  // namespace vex
