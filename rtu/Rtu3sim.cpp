#include "rtu/Rtu3sim.h"

namespace vex {

const TRtu3Field cRtu3Fields[cRtu3FieldCount] = {
    {"System Status:", "system_status", "Status Indications"},
    {"Config Error:", "config_error", "Status Indications"},
    {"SFmem Error:", "sfmem_error", "Status Indications"},
    {"ExRam Error:", "exram_error", "Status Indications"},
    {"NvRam Error:", "nvram_error", "Status Indications"},
    {"EEprom Error:", "eeprom_error", "Status Indications"},
    {"Registry Error:", "registry_error", "Status Indications"},
    {"Rtcc Error:", "rtcc_error", "Status Indications"},
    {"Watchdog Error:", "watchdog_error", "Status Indications"},
    {"Printer Error:", "printer_error", "Status Indications"},
    {"File Erase Status:", "file_erase_status", "Status Indications"},
    {"Command Status:", "command_status", "Status Indications"},
    {"System Time:", "system_time", "Timing Indications"},
    {"Rtcc Time:", "rtcc_time", "Timing Indications"},
    {"Irig-B Time:", "irigb_time", "Timing Indications"},
    {"Irig-B Quality:", "irigb_quality", "Timing Indications"},
    {"Ip-Adress:", "ip_address", "Network Indications"},
    {"Gateway:", "gateway", "Network Indications"},
    {"Subnet Mask:", "subnet_mask", "Network Indications"},
    {"Mac Adress:", "mac_address", "Network Indications"},
};

const char* const cRtu3SocketTitles[9] = {"Socket", "Status",   "Transaction", "Protocol",   "Opera Id",
                                          "Rem.Ip", "Rem.Port", "Trans Count", "Error Count"};

const TRtu3Command cRtu3Commands[4] = {
    {"Restart Network", 0xC011, "Restart Network: the RTU's network connections are dropped. Continue?"},
    {"Safe Mode Request", 0xC022, "Safe Mode Request: the RTU stops its application. Continue?"},
    {"Restart Pipes", 0xC033, "Restart Pipes: the RTU restarts its communication pipes. Continue?"},
    {"Reboot System", 0xC10F, "Reboot System: the RTU restarts. Continue?"},
};

namespace {
constexpr uint16_t kKeyAck = 786, kTestReg = 790, kTestOn = 1000, kSetTimeReg = 0x220;
}

TRtu3sim1::TRtu3sim1(TPorts1& ports, TMain1& main)
    : Ack("ACK", TControl::Kind::Button, [this](TControl&) { Key(kKeyAck); }),
      Reset("RESET", TControl::Kind::Button, [this](TControl&) { Key(kKeyAck + 1); }),
      HornOff("HORN OFF", TControl::Kind::Button, [this](TControl&) { Key(kKeyAck + 2); }),
      HornOn("HORN ON", TControl::Kind::Button, [this](TControl&) { Key(kKeyAck + 3); }),
      TestHorn("TEST HORN", TControl::Kind::Button, [this](TControl&) { TestPress(0, true); }),
      TestBell("TEST BELL", TControl::Kind::Button, [this](TControl&) { TestPress(1, true); }),
      TestFault("TEST FAULT", TControl::Kind::Button, [this](TControl&) { TestPress(2, true); }),
      TestHornUp("TEST HORN", TControl::Kind::Button, [this](TControl&) { TestPress(0, false); }),
      TestBellUp("TEST BELL", TControl::Kind::Button, [this](TControl&) { TestPress(1, false); }),
      TestFaultUp("TEST FAULT", TControl::Kind::Button, [this](TControl&) { TestPress(2, false); }),
      RestartNetwork(cRtu3Commands[0].Caption, TControl::Kind::Button, [this](TControl&) { Command(0); }),
      SafeMode(cRtu3Commands[1].Caption, TControl::Kind::Button, [this](TControl&) { Command(1); }),
      RestartPipes(cRtu3Commands[2].Caption, TControl::Kind::Button, [this](TControl&) { Command(2); }),
      Reboot(cRtu3Commands[3].Caption, TControl::Kind::Button, [this](TControl&) { Command(3); }),
      SetTime("SetTime by PC", TControl::Kind::Button, [this](TControl&) { SetTimeByPc(); }),
      CheckBox1("Start Scan", TControl::Kind::CheckBox, [this](TControl& c) { CheckBox1Click(c.Checked); }),
      ports_(ports),
      main_(main) {
  for (int c = 0; c < 9; ++c) Sockets[0][c] = cRtu3SocketTitles[c];
}

void TRtu3sim1::AppIdle() {
  const auto sb = ports_.StatBar();
  if (sb.Text != LinkStatus || sb.Red != LinkRed) {
    LinkStatus = sb.Text;
    LinkRed = sb.Red;
    Touch();
  }
  const uint8_t fid = ports_.BotMod;
  if (fid == 0) return;
  if (fid != cRtu3Fid) {
    if (HideWindow) HideWindow();
    return;
  }
  if (!ports_.ConnectPortChecked()) {
    if (StartScan) {
      StartScan = CheckBox1.Checked = false;
      Touch();
    }
    return;
  }
  if (!StartScan) return;
  if (PostPoll)
    PostPoll();
  else
    DoSimul();
}

void TRtu3sim1::DoSimul() {
  if (!StartScan || ports_.ComBsy || !ports_.ConnectPortChecked()) return;
  uint16_t w[cRtu3TimN];
  const int step = Seq;
  ++Polls;
  switch (step) {
    case 0:
      ports_.ModReadMulti(cRtu3NetAt, cRtu3NetN, w, false);
      Net = NetFromWords(w);
      Field[fIpnAdr] = InttoIPform(Net.IpnAdr);
      Field[fGatWay] = InttoIPform(Net.GatWay);
      Field[fMskAdr] = InttoIPform(Net.MskAdr);
      Field[fMacAdr] =
          InttoMacform(Net.MacAd0) + ":" + InttoMacform(Net.MacAd1) + ":" + InttoMacform(Net.MacAd2);
      Seq = step + 1;
      break;
    case 1:
      ports_.ModReadMulti(cRtu3TimAt, cRtu3TimN, w, false);
      Tim = TimFromWords(w);
      Field[fSysTim] = InttoDate(Tim.TimDat) + " - " + InttoTick(Tim.TimBas);
      Field[fRtcTim] = InttoDate(Tim.RtcDat) + " - " + InttoTime(Tim.RtcSec);
      Field[fIrgTim] = InttoDate(Tim.IrgDat) + " - " + InttoTick(Tim.IrgBas);
      Field[fIrgQlt] = IrgQuality(Tim.IrgQlt);
      Seq = step + 1;
      break;
    case 2:
      ports_.ModReadMulti(cRtu3ErrAt, cRtu3ErrN, w, false);
      Err = ErrFromWords(w);
      Field[fSysSta] = States(Err.SysSta, "ok");
      Field[fCfgErr] = States(Err.CfgErr, "ok");
      Field[fSfmErr] = States(Err.SfmErr, "ok");
      Field[fRamErr] = States(Err.RamErr, "ok");
      Field[fNvrErr] = States(Err.NvrErr, "ok");
      Field[fEepErr] = States(Err.EepErr, "ok");
      Field[fRegErr] = States(Err.RegErr, "ok");
      Field[fRtcErr] = States(Err.RtcErr, "ok");
      Field[fWdtErr] = States(Err.WdtErr, "ok") + " c:" + std::to_string(Err.WdtCnt);
      Field[fPrnErr] = States(Err.PrnErr, "ok");
      Seq = step + 1;
      break;
    case 3:
      ports_.ModReadMulti(cRtu3ErsAt, cRtu3ErsN, w, false);
      Ers = ErsFromWords(w);
      Field[fFilErs] = States(Ers.FilErs, "ok");
      Field[fEvnErs] = States(Ers.EvnErs, "ok");
      Seq = step + 1;
      break;
    default:
      if (step >= 4 && step <= 14) {
        const int n = step - 3;  // socket 1..11
        ports_.ModReadMulti(SocketAt(n), cRtu3SocN, w, false);
        Soc[n - 1] = SocFromWords(w);
        if (step == 14) {
          for (int r = 1; r <= cRtu3Sockets; ++r) ShowSocket(r);
          Seq = 0;
        } else {
          Seq = step + 1;
        }
      } else {
        Seq = 0;
      }
      break;
  }
  // held test outputs are refreshed after every step
  for (int k = 0; k < 3; ++k)
    if (Held(k)) ports_.ModWrite(static_cast<uint16_t>(kTestReg + k), kTestOn, true);
  Touch();
}

void TRtu3sim1::ShowSocket(int r) {
  const tRtu3soc& s = Soc[r - 1];
  std::string* row = Sockets[r];
  row[0] = std::to_string(r) + " - " + std::to_string(s.SocIdf);
  row[1] = States(s.SocSta, "unused");
  row[2] = "$" + IntToHex(s.TrnNum, 4);
  row[3] = "$" + IntToHex(s.PtcNum, 4);
  row[4] = std::to_string(s.RemIdf);
  row[5] = InttoIPform(s.RemIpn);
  row[6] = std::to_string(s.RemPor);
  row[7] = std::to_string(s.TrnCnt);
  row[8] = std::to_string(s.TrnErr);
}

void TRtu3sim1::CheckBox1Click(bool tick) {
  StartScan = CheckBox1.Checked = tick;
  if (tick) {
    try {
      if (main_.IsBusy(&CheckBox1, false)) return;
      ports_.Button1Click();
    } catch (...) {
      StartScan = CheckBox1.Checked = false;
      Touch();
      throw;
    }
    Seq = 0;
  } else {
    if (main_.IsBusy(&CheckBox1, false)) return;
    ports_.SetConnectPort(false);
    ClearScreen();
  }
  Touch();
}

void TRtu3sim1::ClearScreen() {
  for (auto& f : Field) f.clear();
  for (int r = 1; r <= cRtu3Sockets; ++r)
    for (auto& c : Sockets[r]) c.clear();
  Touch();
}

void TRtu3sim1::Key(uint16_t reg) {
  TControl* c[] = {&Ack, &Reset, &HornOff, &HornOn};
  if (main_.IsBusy(c[reg - kKeyAck], false)) return;
  ports_.ModWrite(reg, 1, true);
}

void TRtu3sim1::TestPress(int k, bool down) {
  TControl* press[] = {&TestHorn, &TestBell, &TestFault};
  TControl* release[] = {&TestHornUp, &TestBellUp, &TestFaultUp};
  const auto reg = static_cast<uint16_t>(kTestReg + k);
  if (down) {
    if (main_.IsBusy(press[k], false)) return;
    ports_.ModWrite(reg, kTestOn, true);
    Held(k) = true;
  } else {
    Held(k) = false;  // no poll refreshes it any more, even when the write below is deferred
    if (main_.IsBusy(release[k], false)) return;
    ports_.ModWrite(reg, 0, true);
  }
  Touch();
}

void TRtu3sim1::Command(int k) {
  const TRtu3Command& c = cRtu3Commands[k];
  TControl* ctl[] = {&RestartNetwork, &SafeMode, &RestartPipes, &Reboot};
  if (Dialogs && !Dialogs->Confirm(c.Question)) return;
  if (main_.IsBusy(ctl[k], false)) return;
  ports_.ModWrite(cRtu3ErsAt + 1, c.Value, true);
  ports_.Mesaj(std::string(c.Caption) + " sent");
}

void TRtu3sim1::SetTimeByPc() {
  if (main_.IsBusy(&SetTime, false)) return;
  const uint32_t s = DateTimetoBase(Now ? Now() : NowLocal());
  const uint32_t tod = s % 86400;
  const uint16_t w[3] = {static_cast<uint16_t>(tod & 0xFFFF), static_cast<uint16_t>(tod >> 16),
                         static_cast<uint16_t>(s / 86400)};
  ports_.ModWriteMulti(kSetTimeReg, 3, w, true);
  ports_.Mesaj("SetTime by PC: " + InttoBase(s));
}

}  // namespace vex
