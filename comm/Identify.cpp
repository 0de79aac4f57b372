#include "comm/Identify.h"

#include <map>

#include "shell/Basics.h"

namespace vex {

namespace {

using TextTable = std::map<int, std::string>;

std::string Lookup(const TextTable& t, int key, const std::string& other) {
  const auto it = t.find(key);
  return it == t.end() ? other : it->second;
}

// "-DX" for boot revisions 140..149, "-EX" for 120..129, else "-MX".
std::string Vex9XXmodel(const std::string& base, uint8_t BotRev) {
  if (BotRev >= 140 && BotRev <= 149) return base + "-DX";
  if (BotRev >= 120 && BotRev <= 129) return base + "-EX";
  return base + "-MX";
}

const TextTable& AplicTable(TBoard b) {
  static const TextTable vex324 = {
      {1, "ISA prototype-1"},
      {2, "ISA prototype-2"},
      {3, "ISA Production <45K22>"},
      {4, "ISA Trans-MiniCfg <45K22>"},
      {5, "ISA TransCfg+InversIO+Dimmer <45K22>"},
      {6, "ISA TransCfg+InversIO <46K22>"},
      {7, "ISA TransCfg+InversIO+MiniCfg <46K22>"},
      {8, "ISA TransCfg+InvIO+Dimmer+Delay <46K22>"},
      {9, "ISA TransCfg+InvIO+Dimmer <45K40>"},
      {10, "ISA TransCfg+InvIO+Dimmer <45K42>"},
      {20, "BRIX3 Compatible <45K22>"},
      {40, "DX Display Only, NO-INPUTS <45K22>"},
  };
  static const TextTable vex308 = {
      {1, "ISA prototype-1"},
      {2, "ISA prototype-2"},
      {3, "ISA Production"},
      {4, "ISA Production w/Crc"},
      {5, "ISA MiniConfig"},
      {6, "ISA Trans-MiniCfg/Precise"},
      {7, "ISA DX mode Function"},
      {8, "ISA InverseIO Function"},
      {9, "ISA SX model 5q10"},
      {10, "ISA HF model 5q10"},
      {11, "ISA SX InverseIO 5q10"},
      {14, "ISA SX InverseIO 5q43"},
      {16, "ISA SX InverseIO 6k40"},
      {20, "BRIX3 EX-Only f886"},
      {22, "BRIX3 EX-Only 5q10"},
      {40, "DX Display <no INPUT>"},
      {42, "DX Display <no INPUT> 5q10"},
  };
  static const TextTable vex216 = {
      {1, "ISA prototype-1"},
      {2, "ISA prototype-2"},
      {3, "ISA Production"},
      {4, "ISA Production w/Crc"},
      {5, "ISA MiniConfig"},
      {6, "ISA Trans-MiniCfg/Precise"},
      {7, "ISA DX mode Function"},
      {8, "ISA InverseIO Function"},
      {9, "ISA MX model <25q10>"},
      {10, "ISA HF model <25q10>"},
      {12, "ISA MX-ST <26q10>"},
      {15, "ISA MX-ST <25q43>\""},
      {20, "BRIX3 EX-Only f886"},
      {22, "BRIX3 EX-Only 5q10"},
      {40, "DX Display, NO-INPUT <886>"},
      {42, "DX Display, NO-INPUT <25q10>"},
      {43, "DX Display, NO-INPUT <25q43>"},
  };
  switch (b) {
    case TBoard::Vex324:
      return vex324;
    case TBoard::Vex308:
      return vex308;
    case TBoard::Vex216:
      break;
  }
  return vex216;
}

}  // namespace

TModelInfo ModelOf(uint16_t BotReg) {
  if (BotReg == cVex215Bot) return {"Vex216", TEdition::Vex216soft, "Vex216"};
  const uint8_t mod = BotReg & 0xFF;
  const uint8_t rev = BotReg >> 8;
  switch (mod) {
    case cBotVex216:
      return {ModelText(TBoard::Vex216, rev), TEdition::Aplic216, "Vex216v2"};
    case cBotVex316:
      return {rev == 0x69 ? "Vex316-SX R5.N104.5Q43" : "Vex316-SX <generic>", TEdition::Vex316soft, "Vex316"};
    case cBotVex324:
      return {ModelText(TBoard::Vex324, rev), TEdition::Aplic324, "Vex324"};
    case cBotVex308:
      return {ModelText(TBoard::Vex308, rev), TEdition::Aplic308, "Vex308"};
    case cBotRtu3:
      return {"Brix3000", TEdition::Rtu3soft, "Brix3"};
    case cBotVex733:
      return {"Vald33", TEdition::Vex733soft, "Vald3"};
    case cBotVex748:
      return {"Tord48", TEdition::Vex748soft, "Tord48"};
    case cBotVex932:
      return {Vex9XXmodel("Vex932", rev), TEdition::Vex9XXsoft, "Vex932"};
    case cBotVex924:
      return {Vex9XXmodel("Vex924", rev), TEdition::Vex9XXsoft, "Vex924"};
    case cBotVex936:
      return {Vex9XXmodel("Vex936", rev), TEdition::Vex9XXsoft, "Vex936"};
    default:
      return {"", TEdition::None, "About"};
  }
}

std::string ModelText(TBoard b, uint8_t BotRev) {
  static const TextTable vex324 = {
      {101, "Vex324-SX R3.E723.5K22"}, {102, "Vex324-SX R4.E723.6K22"}, {103, "Vex324-SX R5.E723.5K40"},
      {104, "Vex324-SX R6.E723.5K42"}, {120, "Vex324-EX R3 Brix3"},     {140, "Vex324-DX R3 NO-INPUT"},
  };
  static const TextTable vex308 = {
      {20, "Vex8-EX  R2.D411.886 EX-only"},  {40, "Vex8-DX  R2.D411.886 DX-only"},
      {101, "Vex8-SX  R3.D411.5Q10"},        {102, "Vex8-SX  R4.D411.5Q10"},
      {103, "Vex8-HF  R5.M519.5Q10 Hususi"}, {104, "Vex8-SX  R6.D411.5Q43"},
      {105, "Vex8-SX  R7.D411.6K40"},
  };
  static const TextTable vex216 = {
      {1, "Vex216v2-MX R1234.B311.886"},
      {20, "Vex216v2-EX"},
      {40, "Vex216v2-DX"},
      {101, "Vex216v2-MX R4.B311.5Q10"},
      {102, "Vex216v2-MX-ST R5.M426.5Q10"},
      {103, "Vex216v2-MX-HF R5.M426.5Q10"},
      {104, "Vex216v2-MX-ST R6.M426.6Q10"},
      {105, "Vex216v2-MX-ST R7.M426.5Q43"},
      {142, "Vex216v2-DX R5.B311.5Q10"},
      {145, "Vex216v2-DX R7.M426.5Q43"},
  };
  switch (b) {
    case TBoard::Vex324:
      return Lookup(vex324, BotRev, "Vex324 <unknown>");
    case TBoard::Vex308:
      return Lookup(vex308, BotRev, "Vex8-SX <generic>");
    case TBoard::Vex216:
      break;
  }
  return Lookup(vex216, BotRev, "Vex216v2-MX <generic>");
}

std::string AplicText(TBoard b, uint16_t AppReg) {
  if (AppReg == 0) return b == TBoard::Vex308 ? "<empty>" : " <empty>";
  return Lookup(AplicTable(b), AppReg >> 8, "<unknown>");
}

std::string Vex216soft(uint16_t AppReg) {
  static const TextTable t = {
      {0x4001, "MX Prototype-1"},      {0x4002, "MX Prototype-2"},
      {0x4003, "MX Prototype-3"},      {0x4104, "MX FirstProduction"},
      {0x4105, "MX NibbSwap 9to16"},   {0x4106, "MX VexPlay Compatible \"Reset Event Corrected\""},
      {0x4107, "MX ACin Prototype"},   {0x4108, "MX Original"},
      {0x4109, "SX Spec2 *Replaced*"}, {0x4110, "SX Spec2 Production"},
      {0x4111, "MXv2 with Fault"},     {0x4112, "PXv2 VexPlay Only"},
      {0x4113, "MXv2 Classic"},        {0x4114, "SXv2 Scada Only"},
  };
  const auto it = t.find(AppReg);
  if (it != t.end()) return it->second;
  switch (AppReg >> 8) {
    case 0x40:
      return "MX Prototype Unknown";
    case 0x41:
      return "Unexpected Application";
    default:
      return "";
  }
}

std::string Vex316soft(uint8_t AppSof) { return AppSof == 17 ? "ISA SX \"25q43\"" : "<unknown>"; }

std::string Vex9XXsoft(uint8_t AppSof) {
  static const TextTable t = {
      {1, "ISA prototype-1"},        {2, "ISA prototype-2"},     {3, "ISA prototype-3"},
      {4, "ISA Mini-Config"},        {5, "ISA MiniCfg/Precise"}, {6, "ISA Trans-MiniCfg/Precise"},
      {7, "ISA DX Mode Enabled"},    {8, "ISA DX Mode Config"},  {20, "BRIX3 Compatible"},
      {40, "DX Display <no INPUT>"},
  };
  return Lookup(t, AppSof, "<unknown>");
}

std::string Vex748soft(uint8_t AppSof) {
  static const TextTable t = {
      {1, "Prototype-1"}, {2, "Prototype-2, BRIX3 compatible "},
      {3, "Production"},  {4, "Production RxTx"},
      {5, "Sekans Mode"}, {6, "Precise Timer"},
  };
  return Lookup(t, AppSof, "<unknown>");
}

std::string Vex733soft(uint8_t AppSof) {
  static const TextTable t = {
      {1, "Prototype-1"},    {2, "Prototype-2"},     {3, "Production"},    {4, "Production RxTx"},
      {5, "Sekans Mode"},    {6, "Precise Timer"},   {7, "Pulse Enabled"}, {8, "Pulse Enabled"},
      {9, "Irig-B Enabled"}, {10, "Coil Functions"},
  };
  return Lookup(t, AppSof, "<unknown>");
}

std::string Rtu3soft(uint8_t AppSof) {
  static const TextTable t = {
      // demonstration editions
      {4, "Demonstration Edition-4"},
      {5, "Demonstration Edition-5"},
      {6, "Demonstration Edition-6"},
      {7, "Demonstration Edition-7"},
      {8, "Route Corrections"},
      {9, "Route Corrections"},
      {10, "Route Corrections"},
      {11, "Route Corrections"},
      {12, "Tord Sekans Applied"},
      {14, "Demonstration Edition-14"},
      {15, "Network Multi Socket"},
      {16, "Tcp State Machine Revised"},
      {17, "Pipe 1mS Noise Cancelled"},
      {18, "Pipe Revised for Tord48/Vald33"},
      {19, "Power Led, 11-tcpsock"},
      {20, "BRIX3-E303 Mainboard w/o Backup"},
      {21, "BRIX3-E303 Mainboard w/o Backup"},
      {22, "Irigb-Time Corrected"},
      {23, "Vex9xx Rfu Implemeted"},
      {24, "Lpt1 rfu, Lpt Events, Irigb Led"},
      {25, "Rtcc setting reenabled"},
      // conformity-test editions
      {26, "Conformity Test"},
      {27, "Conformity Test"},
      {28, "Conformity Test, Frequent Display Init"},
      {29, "Conformity Test, Printer Mod-1"},
      {30, "Conformity Test, Printer Mod-2"},
      {31, "Conformity Test, Printer Mod-3"},
      {32, "Conformity Test, Printer Mod-4"},
      {33, "Irig-B +1 day differance corrected"},
      {34, "2023 Renovations"},
  };
  return Lookup(t, AppSof, "<unknown>");
}

TEditionText EditionText(TEdition e, uint16_t AppReg) {
  const uint8_t sof = AppReg >> 8;
  switch (e) {
    case TEdition::None:
    case TEdition::Vex216soft:
      return {"", false};
    case TEdition::Aplic216:
      return {AplicText(TBoard::Vex216, AppReg), true};
    case TEdition::Aplic324:
      return {AplicText(TBoard::Vex324, AppReg), true};
    case TEdition::Aplic308:
      return {AplicText(TBoard::Vex308, AppReg), true};
    case TEdition::Rtu3soft:
      return {AppReg == 0 ? " <empty>" : Rtu3soft(sof), false};
    case TEdition::Vex316soft:
      if (AppReg == 0) return {" <empty>", true};
      return {Vex316soft(sof), sof == 17};
    case TEdition::Vex733soft:
      return {AppReg == 0 ? " <empty>" : Vex733soft(sof), true};
    case TEdition::Vex748soft:
      return {AppReg == 0 ? " <empty>" : Vex748soft(sof), true};
    case TEdition::Vex9XXsoft:
      return {AppReg == 0 ? " <empty>" : Vex9XXsoft(sof), true};
  }
  return {"", false};
}

int BootSign(uint16_t reg) { return reg > 65000 ? static_cast<int>(reg) - 65536 : reg; }

std::string BootText(int BotSta) {
  switch (BotSta) {
    case 0:
      return "Application Running";
    case -1:
      return "Bootloader ready";
    case -2:
      return "Application Crc Mismatch";
    case -3:
      return "Invalid Command State";
    case -4:
      return "Segment Range Failure";
    case -5:
      return "Boot Programming Mode";
    case -6:
      return "Erasure Mode";
    case -12:
      return "Erasure Entry";
    case -13:
      return "Restart Boot Test";
    case -14:
      return "Slave Program Entry";
    case -15:
      return "Reset Cpu";
    default:
      return "Undefined Result";
  }
}

int SegSizOf(uint8_t BotRev, uint8_t BotMod) { return (BotRev / 100 == 1 || BotMod == cBotRtu3) ? 64 : 32; }

std::string SlaveIdText(uint16_t SlvDvc) {
  return SlvDvc < 32 ? std::to_string(SlvDvc) : "$" + IntToHex(SlvDvc, 2);
}

std::string VexModel(const std::string& bootId) {
  const size_t p = bootId.find("Vex");
  if (p == std::string::npos) return "";
  const size_t e = bootId.find(',', p);
  return bootId.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

tFil FilFromWords(const uint16_t* w) { return {w[0], w[1], w[2], w[3], w[4], w[5]}; }

std::string FileText(const tFil& f) {
  return "Mdl=" + InttoTerso(f.Mdl) + ", Siz=" + std::to_string(f.Siz) + ", Blk=" + std::to_string(f.Rom) +
         ", Crc=" + IntToHex(f.Crc, 4) + ", Cal=" + IntToHex(f.Cal, 4) + ", Sta=" + std::to_string(f.Sta);
}

}  // namespace vex
