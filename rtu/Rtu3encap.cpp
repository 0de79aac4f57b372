#include "rtu/Rtu3encap.h"

#include <cstring>
#include <filesystem>

namespace vex {

const std::array<TEncapRow, 9> cEncapRows = {{
    {nMdlLpt, "Lpt1 Firmware:", 3, {}, 64, "\\Brix3\\Lpt1firm"},
    {nMdl216, "Vex216v2 Firmware:", 0x46, {20}, 32, "\\Vex216\\Firmware"},
    {nMdl308, "Vex308 Firmware:", 0x58, {20}, 32, "\\Vex308\\Firmware"},
    {nMdl924, "Vex924 Firmware:", 0x84, {}, 64, "\\Vex924\\Firmware"},
    {nMdl932, "Vex932 Firmware:", 0x83, {}, 64, "\\Vex932\\Firmware"},
    {nMdl936, "Vex936 Firmware:", 0x8A, {}, 64, "\\Vex936\\Firmware"},
    {nMdl748, "Tord48 Firmware:", 0x6E, {}, 64, "\\Vex748\\Firmware"},
    {nMdlX216, "Vex216v2 ExO (2023 and further) Firmware:", 0x46, {22}, 64, "\\Vex216\\Firmware"},
    {nMdlX308, "Vex308 ExO (2023 and further) Firmware:", 0x58, {22}, 64, "\\Vex308\\Firmware"},
}};

// Slot order of the window: 0, 1, 2, 3, 4, 5, 6, 12, 13 (Tord48 is processed after Vex936).
const std::array<int, 9> cEncapShown = {0, 1, 6, 2, 3, 4, 5, 7, 8};

namespace {

constexpr uint32_t kModMax = 65535;  // a vector's 16-bit size

std::string Kb(uint64_t n) { return std::to_string(n) + "/" + std::to_string((n + 1023) / 1024) + "K "; }

void Put16(ByteStr& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(ByteStr& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string BoolText(bool b) { return b ? "1" : "0"; }
bool TextBool(const std::string& s) { return s == "1" || s == "true" || s == "True" || s == "-1"; }

}  // namespace

TRtu3encap1::TRtu3encap1(TMixer1& mixer)
    : Files{PlainField("", cEncapRows[0].Caption), PlainField("", cEncapRows[1].Caption),
            PlainField("", cEncapRows[2].Caption), PlainField("", cEncapRows[3].Caption),
            PlainField("", cEncapRows[4].Caption), PlainField("", cEncapRows[5].Caption),
            PlainField("", cEncapRows[6].Caption), PlainField("", cEncapRows[7].Caption),
            PlainField("", cEncapRows[8].Caption)},
      mixer_(mixer) {}

void TRtu3encap1::Capsulate(const std::string& e, uint8_t v, int f, uint32_t bsg, const std::set<int>& a) {
  if (e.empty()) return;
  mixer_.HexLoader(e, false, true, bsg);
  const uint16_t ver = mixer_.Idf().Ver;
  if ((ver & 0xFF) != v) throw Exception("Firmware Model mismatch: " + InttoTerso(ver));
  if (!a.empty() && !a.count(ver >> 8)) throw Exception("Firmware Version mismatch: " + InttoTerso(ver));
  const uint32_t d = mixer_.AppTop - mixer_.AppBeg;
  const uint64_t total = Buf.size() + 64 + 8 + static_cast<uint64_t>(d);
  Say("File: " + Kb(d) + "  " + "Encapsulation: " + Kb(total));
  if (total > cEncFileMax)
    throw Exception("Encapfile Size Exceeded: " + std::to_string(total) + " > " +
                    std::to_string(cEncFileMax));
  if (d > kModMax)
    throw Exception("Modul image too big for its vector: " + std::to_string(d) + " > " +
                    std::to_string(kModMax));
  if (f < 0 || f >= cEncMax)
    throw Exception("Encapfile Vector Range: " + std::to_string(f) + "/" + std::to_string(cEncMax));
  Vec[f].Ofs = static_cast<uint32_t>(Buf.size());
  Vec[f].Ver = ver;
  Vec[f].Siz = static_cast<uint16_t>(d);
  Buf.append(reinterpret_cast<const char*>(mixer_.Map + mixer_.AppBeg), d);
  Buf.resize((Buf.size() + 3) / 4 * 4, '\0');
}

ByteStr TRtu3encap1::Build() {
  if (ClearError) ClearError();
  Rtm = tRtu3hed{};
  for (auto& v : Vec) v = tRtu3enc{};
  Buf.assign(cEncMax * 8, '\0');
  Rtm.Vsz = cEncMax;
  for (size_t i = 0; i < cEncapRows.size(); ++i) {
    const TEncapRow& r = cEncapRows[i];
    if (Ticks[i]) Capsulate(Files[i].Text(), r.Model, r.Slot, r.Seg, r.Editions);
  }
  ByteStr table(cEncMax * 8, '\0');
  for (int k = 0; k < cEncMax; ++k) {
    Put16(table, 8 * k, Vec[k].Ver);
    Put16(table, 8 * k + 2, Vec[k].Siz);
    Put32(table, 8 * k + 4, Vec[k].Ofs);
  }
  Rtm.Vrc = CrcofStr(table);
  std::memcpy(Buf.data(), table.data(), table.size());
  Rtm.IdfLen = 39;
  Rtm.Idf = IdfField(cIdf);
  Rtm.Age = DateTimetoBase(Now ? Now() : NowLocal());
  Rtm.Sum = AppendTrailer(Buf);
  Rtm.Siz = static_cast<uint32_t>(Buf.size());
  Rtm.Ver = cEncVer;
  Rtm.Hsz = 64;
  Rtm.x1 = 0;
  const ByteStr hed = PackHed(Rtm);
  Rtm.Crc = static_cast<uint16_t>(static_cast<uint8_t>(hed[62]) | static_cast<uint8_t>(hed[63]) << 8);
  return hed + Buf;
}

void TRtu3encap1::ProcessFiles() {
  const std::string out = Output.Text();
  if (out.empty()) throw Exception("Rtu Modul Fw Encapsulator File must be specified");
  const ByteStr file = Build();
  WriteFileAtomic(out, file);
  Say("Complete: " + out);
}

void TRtu3encap1::FormShow() {
  const auto keys = ReadIniSection(RtuIniPath(Home), "ModFiles");
  auto get = [&](const std::string& k) {
    const auto it = keys.find(k);
    return it == keys.end() ? std::string() : it->second;
  };
  for (size_t i = 0; i < Files.size(); ++i) {
    Files[i].SetText(get("LabeledEdit" + std::to_string(i)));
    Ticks[i] = TextBool(get("CheckBox" + std::to_string(i)));
  }
  Output.SetText(get("LabeledEdit50"));
  int64_t w = 0;
  if (TryStrToInt(get("Rtu3encap1"), w) && w >= 711 && w <= 4000) Width = static_cast<int>(w);
}

void TRtu3encap1::FormHide() {
  std::vector<std::pair<std::string, std::string>> keys;
  for (size_t i = 0; i < Files.size(); ++i)
    keys.emplace_back("LabeledEdit" + std::to_string(i), Files[i].Text());
  for (size_t i = 0; i < Files.size(); ++i)
    keys.emplace_back("CheckBox" + std::to_string(i), BoolText(Ticks[i]));
  keys.emplace_back("LabeledEdit50", Output.Text());
  keys.emplace_back("Rtu3encap1", std::to_string(Width));
  WriteIniKeys(RtuIniPath(Home), "ModFiles", keys);
}

void TRtu3encap1::FileDblClick(int k) {
  if (!Dialogs) return;
  TFileDialog d;
  d.Title = "Select Modul Firmware File";
  d.Filter = cModFilter;
  d.DefaultExt = "hex";
  const std::filesystem::path p(Files[static_cast<size_t>(k)].Text());
  std::error_code ec;
  const bool inFolder = !p.parent_path().empty() && std::filesystem::is_directory(p.parent_path(), ec);
  d.InitialDir =
      inFolder ? p.parent_path().string() : ForceDirIn(Home, cEncapRows[static_cast<size_t>(k)].Folder);
  d.FileName = p.filename().string();
  std::string name = d.FileName.empty() ? d.InitialDir + "/" : d.InitialDir + "/" + d.FileName;
  if (Dialogs->OpenFile(d, name)) Files[static_cast<size_t>(k)].SetText(name);
}

void TRtu3encap1::OutputDblClick() {
  if (!Dialogs) return;
  TFileDialog d = SelectStart(Output.Text(), ForceDirIn(Home, "\\Brix3\\Encaps"), "");
  d.Title = "Save BRIX Encapsulated Modul File";
  d.Filter = cOutFilter;
  d.DefaultExt = "rtum";
  std::string name = d.InitialDir + "/" + d.FileName;
  if (Dialogs->SaveFile(d, name)) Output.SetText(name);
}

}  // namespace vex
