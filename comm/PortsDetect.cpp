// Detection and identification of the connected device: the identification registers, the
// search over ports and bit rates, "Discovery", the wait for a fresh application, boot state
// and file slots.
#include "comm/Identify.h"
#include "comm/Ports.h"

namespace vex {

namespace {

// The bit rates tried on every port, as positions of the "Baud:" list: 38400, 19200, 57600.
constexpr int cDetectRates[] = {5, 4, 6};

// Milliseconds since t.
int64_t SinceMs(platform::TimePoint t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(platform::Now() - t).count();
}

// The RTU's network record at register 256: address, gateway, mask, two name servers (32 bits
// each, low word first) and the MAC address in three words. Only the address is used here.
constexpr int cRtu3NetReg = 256;
constexpr int cRtu3NetLen = 13;

}  // namespace

void TPorts1::ClearIdentification() {
  AppId.clear();
  MfgDate.clear();
  UniqeId.clear();
  BootId.clear();
  BootStat.clear();
  ModbusId.clear();
  BotReg = 0;
  BotMod = 0;
  BotRev = 0;
  AppReg = 0;
  AppSof = 0;
  AppCrc = 0;
  BotSta = 0;
  SlvDvc = 0;
  SegSiz = 32;
}

// The edition text of the "App ID:" line, with the checksum where the model's table has one.
std::string TPorts1::EditionLine(TEdition e) {
  if (e == TEdition::Rtu3soft) RtuNetworkPrefill();
  const TEditionText t = EditionText(e, AppReg);
  std::string text = t.text;
  if (t.crc) {
    try {
      AppCrc = static_cast<uint16_t>(ModRead(3, true));
      text += " CRC=$" + IntToHex(AppCrc, 4);
    } catch (const Exception&) {
      // the checksum is optional
    }
  }
  return text;
}

// The rack RTU reports its own network address: offer it on the "Network" page when none is set.
void TPorts1::RtuNetworkPrefill() {
  if (!LabeledEdit30.empty()) return;
  try {
    uint16_t w[cRtu3NetLen];
    ModReadMulti(cRtu3NetReg, cRtu3NetLen, w, true);
    const uint32_t ip = w[0] | (static_cast<uint32_t>(w[1]) << 16);  // IpnAdr
    LabeledEdit30 = InttoIPform(ip);
    LabeledEdit31 = "502";
    LabeledEdit32 = "1";
    LabeledEdit33 = "2";
    LabeledEdit34 = "3000";
  } catch (const Exception&) {
    // optional
  }
}

void TPorts1::Button51Click() {
  if (ComBsy) return;
  ClearIdentification();
  SetConnectPort(true);
  Mesaj("Inspecting Target...");
  Error("");

  BotReg = static_cast<uint16_t>(ModRead(0, true));
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      BotReg = static_cast<uint16_t>(ModRead(cMdaBvi, true));
      break;
    } catch (const Exception&) {
      // register 0 stands in when register 2 cannot be read
    }
  }
  BotMod = BotReg & 0xFF;
  BotRev = BotReg >> 8;

  try {
    AppReg = static_cast<uint16_t>(ModRead(cMdaAvi, true));
    AppSof = AppReg >> 8;
    AppId = InttoTerso(AppReg);
  } catch (const Exception&) {
    AppReg = 0;
    AppSof = 0;
  }

  const bool firstGen = BotReg == cVex215Bot;
  const TModelInfo info = ModelOf(BotReg);
  std::string edition;
  if (firstGen) {
    AppId = InttoVexxx(AppReg) + ", App=" + Vex216soft(AppReg);
    AppSof = 0;
    BootId = InttoVexxx(BotReg) + ", Model=" + info.model;
  } else {
    BootId = InttoTerso(BotReg);
    if (info.model.empty()) {
      BootId += ", Unknown Model?";
      Mesaj("Boot ID= " + BootId);
      return;
    }
    edition = EditionLine(info.edition);
    BootId += ", Model= " + info.model + ", Boot= " + InttoZero(BotRev, 3);
  }

  SegSiz = SegSizOf(BotRev, BotMod);
  BootId += ", Segment=" + std::to_string(SegSiz);
  Mesaj("Boot ID= " + BootId);
  AppId += "  " + edition;
  Mesaj("App ID= " + AppId);

  BootState();
  Mesaj("Boot State= " + BootStat);

  try {
    const int uid = ModRead(13, true);
    UniqeId = firstGen && uid == 0 ? "n/a" : InttoZero(uid, 5);
    Mesaj("Uniqe ID= " + UniqeId);
    MfgDate = firstGen ? "n/a" : InttoBase(ModReadLong(11, true));
    Mesaj("Mfg date= " + MfgDate);
    SlvDvc = static_cast<uint16_t>(ModRead(14, true));
    ModbusId = SlaveIdText(SlvDvc);
    Mesaj("Slave ID= " + ModbusId);
  } catch (const Exception&) {
    // the remaining fields are optional
  }
}

void TPorts1::BootState() {
  BotSta = BootSign(static_cast<uint16_t>(ModRead(cMdaSta, true)));
  BootStat = std::to_string(BotSta) + ", " + BootText(BotSta);
}

void TPorts1::Button2Click() {
  if (ComBsy) return;
  auto process = [this] {
    for (int i = 0; i < 3; ++i)
      if (ProcessMessages) ProcessMessages();
  };
  ActivePage = lpComm;
  SetConnectPort(false);
  ComboBox1DropDown();
  ClearLog();
  process();
  ClearIdentification();
  TargetPage.clear();
  LabeledEdit1 = "$ee";
  const std::vector<std::string> ports = PortItems;
  for (const auto& port : ports) {
    ComboBox1 = port;
    ComboBox3 = 0;
    for (int rate : cDetectRates) {
      ComboBox2Change(rate);
      LabeledEdit1 = "$ee";
      process();
      try {
        Button51Click();
      } catch (const Exception&) {
        SetConnectPort(false);
        continue;
      }
      SetConnectPort(false);
      Mesaj("Target Found...");
      TargetPage = ModelOf(BotReg).page;
      return;
    }
  }
  throw Exception("Unable to find target");
}

void TPorts1::Button1Click() {
  if (ComBsy) return;
  const auto start = platform::Now();
  for (;;) {
    try {
      Button51Click();
      return;
    } catch (const Exception&) {
      // a link that cannot be opened is not tried again
      if (ComFai || !ConnectPortChecked() || SinceMs(start) > DiscoveryMs) throw;
    }
  }
}

void TPorts1::Button52Click() {
  const auto start = platform::Now();
  platform::SleepUntil(platform::AfterMs(start, AppWaitMs));
  for (;;) {
    try {
      BootState();
      if (BotSta == 0) return;
      throw Exception("Unable to locate application");
    } catch (const Exception&) {
      if (ComFai || !ConnectPortChecked() || SinceMs(start) > AppFindMs) throw;
    }
  }
}

std::string TPorts1::FileText(int f) {
  uint16_t w[cFilRegs];
  ModReadMulti(f * 256, cFilRegs, w, true);
  return vex::FileText(FilFromWords(w));
}

void TPorts1::InspectFiles() {
  if (!ConnectPortChecked()) Button1Click();
  for (auto& s : FileSlots) s.clear();
  for (int i = 0; i < 6; ++i) {
    try {
      FileSlots[i] = FileText(0xF1 + i);
    } catch (const Exception&) {
      return;
    }
  }
}

std::string TPorts1::VexModel() const { return vex::VexModel(BootId); }

}  // namespace vex
