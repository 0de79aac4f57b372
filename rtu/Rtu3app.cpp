#include "rtu/Rtu3app.h"

#include <cstring>

namespace vex {

namespace {
std::string Kb(uint64_t n) { return std::to_string(n) + "/" + std::to_string((n + 1023) / 1024) + "K "; }
uint16_t Le16(const ByteStr& s, size_t i) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[i]) | static_cast<uint8_t>(s[i + 1]) << 8);
}
}  // namespace

TRtu3app1::TRtu3app1(TMixer1& mixer) : mixer_(mixer) {}

void TRtu3app1::Capsulate(const std::string& e, uint8_t v) {
  if (e.empty()) throw Exception("Rtu3 Firmware: no S-record file given");
  mixer_.MotLoader(e, cRtuSeg);
  const uint16_t ver = mixer_.Idf().Ver;
  if ((ver & 0xFF) != v) throw Exception("Firmware model mismatch: " + InttoTerso(ver));
  const uint32_t d = mixer_.AppTop - mixer_.AppBeg;
  const uint64_t total = Buf.size() + 64 + 8 + static_cast<uint64_t>(d);
  Say("File: " + Kb(d) + "  " + "Encapsulation: " + Kb(total));
  if (total > cAppFileMax)
    throw Exception("Encapfile Size Exceeded: " + std::to_string(total) + " > " +
                    std::to_string(cAppFileMax));
  Buf.append(reinterpret_cast<const char*>(mixer_.Map + mixer_.AppBeg), d);
  Buf.resize((Buf.size() + 3) / 4 * 4, '\0');
}

ByteStr TRtu3app1::Build() {
  Rtm = tRtu3hed{};
  Buf.clear();
  Rtm.Vsz = cEncMax;
  Capsulate(Firmware.Text(), cRtu3App);
  if (Buf.size() < 4 || Le16(Buf, 0) != 0x00CD) throw Exception("Application CrcLo mismatch");
  if (Le16(Buf, 2) != 0x2002) throw Exception("Application CrcHi mismatch");
  const uint16_t ver = mixer_.Idf().Ver;
  Rtm.IdfLen = 39;
  Rtm.Idf = IdfField(cIdf);
  Rtm.Age = DateTimetoBase(Now ? Now() : NowLocal());
  Rtm.Sum = AppendTrailer(Buf);
  Rtm.Siz = static_cast<uint32_t>(Buf.size());
  Rtm.Ver = static_cast<uint16_t>((ver << 8) | (ver >> 8));  // the image keeps it high byte first
  Rtm.Hsz = 64;
  Rtm.x1 = 0;
  Rtm.Vrc = 0;
  const ByteStr hed = PackHed(Rtm);
  Rtm.Crc = static_cast<uint16_t>(static_cast<uint8_t>(hed[62]) | static_cast<uint8_t>(hed[63]) << 8);
  return hed + Buf;
}

void TRtu3app1::ProcessFiles() {
  const std::string out = Output.Text();
  if (out.empty()) throw Exception("Rtu3 Application File must be specified");
  const ByteStr file = Build();
  WriteFileAtomic(out, file);
  Say("Complete: " + out);
}

void TRtu3app1::FormShow() {
  const auto keys = ReadIniSection(RtuIniPath(Home), "AppFiles");
  const auto a = keys.find("LabeledEdit1"), b = keys.find("LabeledEdit50");
  Firmware.SetText(a == keys.end() ? "" : a->second);
  Output.SetText(b == keys.end() ? "" : b->second);
}

void TRtu3app1::FormHide() {
  WriteIniKeys(RtuIniPath(Home), "AppFiles",
               {{"LabeledEdit1", Firmware.Text()}, {"LabeledEdit50", Output.Text()}});
}

void TRtu3app1::FirmwareDblClick() {
  if (!Dialogs) return;
  const std::string dir = FirmwareDir.empty() ? ForceDirIn(Home, "\\Brix3") : FirmwareDir;
  TFileDialog d = SelectStart(Firmware.Text(), dir, "Rtu3boot.mot");
  d.Title = "Select Rtu3 Firmware File";
  d.Filter = "(*.mot) Rtu3 Firmware Files|*.mot|(*.*) All files|*.*";
  d.DefaultExt = "mot";
  std::string name = d.InitialDir + "/" + d.FileName;
  if (Dialogs->OpenFile(d, name)) Firmware.SetText(name);
}

void TRtu3app1::OutputDblClick() {
  if (!Dialogs) return;
  TFileDialog d = SelectStart(Output.Text(), ForceDirIn(Home, "\\Brix3\\Aplics"), "Rtu3app-61034.rtua");
  d.Title = "Save BRIX Encapsulated Modul File";
  d.Filter = "(*.rtua) Rtu3 Application Files|*.rtua|(*.*) All Files|*.*";
  d.DefaultExt = "rtua";
  std::string name = d.InitialDir + "/" + d.FileName;
  if (Dialogs->SaveFile(d, name)) Output.SetText(name);
}

}  // namespace vex
