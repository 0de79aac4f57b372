// The models the simulator offers, their identification words and register layouts by
// application edition.
#include <algorithm>
#include <initializer_list>

#include "emu/Device.h"
#include "emu/Rtu.h"
#if __has_include("emu/Live.h")
#include "emu/Live.h"
#define VEX_EMU_HAS_LIVE 1
#endif

namespace vex::emu {

namespace {

struct Default {
  const char* key;
  Model model;
  uint8_t fid;      // firmware id (low byte of the boot word)
  uint8_t bootRev;  // default boot revision (high byte)
  uint8_t edition;  // default application edition (AppSof)
  int inputs;
};

// The first-generation model answers the whole boot word 0x4316 (fid 0x16, revision 0x43);
// its application word is a whole identifier (0x4110 "SX Spec2 Production").
const Default kModels[] = {
    {"vex215", Model::Vex215, 0x16, 0x43, 0x41, 16}, {"vex216", Model::Vex216, 0x46, 101, 9, 16},
    {"vex308", Model::Vex308, 0x58, 104, 14, 8},     {"vex316", Model::Vex316, 0x51, 0x69, 17, 16},
    {"vex324", Model::Vex324, 0x54, 102, 8, 24},     {"vex924", Model::Vex924, 0x84, 110, 8, 24},
    {"vex932", Model::Vex932, 0x83, 110, 8, 32},     {"vex936", Model::Vex936, 0x8A, 110, 8, 36},
    {"vald3", Model::Vald3, 0x63, 0x65, 10, 48},     {"tord48", Model::Tord48, 0x6E, 0x65, 5, 48},
    {"brix3", Model::Brix3, 0x60, 1, 34, 0},
};

bool In(int v, std::initializer_list<int> set) { return std::find(set.begin(), set.end(), v) != set.end(); }
bool InRange(int v, int lo, int hi) { return v >= lo && v <= hi; }

void Layout(ModelInfo& m) {
  const int sof = m.AppSof();
  const int rev = m.bootId >> 8;
  m.segSize = (rev / 100 == 1 || m.Fid() == 0x60) ? 64 : 32;
  m.seqBytes = 0;
  m.hasTimeRecord = false;
  m.cfgFirst = 0;
  m.cfgCount = 0;
  m.stateReg = 0;
  m.sekans = false;
  switch (m.model) {
    case Model::Vex215:
      m.cfgFirst = 16, m.cfgCount = 4, m.stateReg = 35;
      break;
    case Model::Vex216:
    case Model::Vex308:
    case Model::Vex316: {
      bool seq, big;
      if (m.model == Model::Vex216) {
        seq = InRange(sof, 2, 10) || In(sof, {12, 15, 40, 42});
        big = In(sof, {8, 9});
      } else if (m.model == Model::Vex308) {
        seq = InRange(sof, 1, 11) || In(sof, {14, 16, 40, 42});
        big = In(sof, {8, 11, 14, 16});
      } else {
        seq = big = sof == 17;
      }
      m.stateReg = 35;
      if (seq) {
        m.cfgFirst = 18, m.cfgCount = 2;
        m.seqBytes = big ? 66 : 64;
      } else {
        m.cfgFirst = 16, m.cfgCount = 4;
      }
      break;
    }
    case Model::Vex324:
      m.seqBytes = InRange(sof, 1, 4) ? 142 : (InRange(sof, 5, 7) || In(sof, {9, 10})) ? 148 : 160;
      m.cfgFirst = 16, m.cfgCount = 2, m.stateReg = 51, m.hasTimeRecord = true;
      break;
    case Model::Vex924:
    case Model::Vex932:
      m.seqBytes = 142;
      m.cfgFirst = 16, m.cfgCount = 2, m.stateReg = 51, m.hasTimeRecord = true;
      break;
    case Model::Vex936:
      m.seqBytes = 210;
      m.cfgFirst = 16, m.cfgCount = 2, m.stateReg = 51, m.hasTimeRecord = true;
      break;
    case Model::Vald3:
      m.cfgFirst = 18, m.cfgCount = 6, m.stateReg = 51, m.hasTimeRecord = true, m.sekans = true;
      break;
    case Model::Tord48:
      m.cfgFirst = 18, m.cfgCount = 2, m.stateReg = 51, m.hasTimeRecord = true, m.sekans = true;
      break;
    case Model::Brix3:
      break;
  }
}

}  // namespace

ModelInfo ModelFor(const std::string& key, int bootRev, int edition) {
  std::string k = key;
  std::transform(k.begin(), k.end(), k.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (k == "vex733") k = "vald3";
  if (k == "vex748") k = "tord48";
  for (const Default& d : kModels) {
    if (k != d.key) continue;
    if (bootRev < -1 || bootRev > 255)
      throw Exception("Boot revision out of range [0..255]: " + std::to_string(bootRev));
    if (edition < -1 || edition > 255)
      throw Exception("Application edition out of range [0..255]: " + std::to_string(edition));
    ModelInfo m{};
    m.model = d.model;
    m.key = d.key;
    m.inputs = d.inputs;
    const int rev = bootRev < 0 ? d.bootRev : bootRev;
    m.bootId = static_cast<uint16_t>(rev << 8 | d.fid);
    if (d.model == Model::Vex215) {
      // The first generation is recognised by its whole boot word; its application word
      // is one identifier of the 0x40/0x41 families.
      m.bootId = 0x4316;
      m.appId = static_cast<uint16_t>(d.edition << 8 | (edition < 0 ? 0x10 : edition));
    } else {
      m.appId = static_cast<uint16_t>((edition < 0 ? d.edition : edition) << 8 | d.fid);
    }
    Layout(m);
    return m;
  }
  std::string all;
  for (const Default& d : kModels) all += std::string(all.empty() ? "" : ", ") + d.key;
  throw Exception("Unknown model \"" + key + "\" (one of: " + all + ")");
}

std::vector<std::string> ModelKeys() {
  std::vector<std::string> v;
  for (const Default& d : kModels) v.push_back(d.key);
  return v;
}

std::unique_ptr<Device> MakeDevice(const ModelInfo& info) {
  std::unique_ptr<Device> d;
  if (info.model == Model::Brix3) {
    d = std::make_unique<Rtu3Device>(info);
  } else {
    d = std::make_unique<Device>(info);
  }
#ifdef VEX_EMU_HAS_LIVE
  d->AttachLive(MakeLivePart(*d));
#endif
  return d;
}

}  // namespace vex::emu
