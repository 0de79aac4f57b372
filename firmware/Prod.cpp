#include "firmware/Prod.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "comm/Ports.h"
#include "config/EepFile.h"

namespace vex {

namespace fs = std::filesystem;

namespace {

using C = TProdCheck;

constexpr TBoard kBoard324 = TBoard::Vex324, kBoard308 = TBoard::Vex308, kBoard216 = TBoard::Vex216;

std::vector<int> Span(int lo, int hi) {
  std::vector<int> v;
  for (int i = lo; i <= hi; ++i) v.push_back(i);
  return v;
}
std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<TEditionRow> kEditions324 = {{0x65, Span(1, 5)}, {0x66, Span(6, 8)}, {0x67, {9}},
                                               {0x68, {10}},       {0x78, {20}},       {0x8C, {40}}};
const std::vector<TEditionRow> kEditions308 = {{0x69, {16}}, {0x68, {14}},
                                               {0x67, {10}}, {0x66, {9, 11, 22, 42}},
                                               {0x65, {9}},  {0x01, Join(Span(1, 8), {20, 40})},
                                               {0x14, {20}}, {0x28, {40}}};
const std::vector<TEditionRow> kEditions216 = {
    {0x67, {10}}, {0x66, {9, 22, 42}}, {0x68, {12}}, {0x69, {15}}, {0x01, Join(Span(1, 8), {20, 40})},
    {0x65, {9}},  {0x28, {40}},        {0x8E, {42}}, {0x91, {45}}};
const std::vector<TEditionRow> kEditions316 = {{0x69, {17}}};

constexpr TIdBounds kIds324{65530, 65530, 65530, 65529};
constexpr TIdBounds kIdsOther{99999, 99999, 64999, 99999};

// The production log, when there is one. Anything that is not a plain readable file (a folder
// in its place, a file the reader refuses) stops the run before it writes anything.
void LoadLog(CSimpleIniA& doc, const std::string& file) {
  std::error_code ec;
  const auto st = fs::status(file, ec);
  if (!fs::exists(st)) return;
  if (!fs::is_regular_file(st) || doc.LoadFile(file.c_str()) < 0) throw Exception("Cannot read " + file);
}

}  // namespace

// Rows in the program's start-up order (Vex308 first).
const std::vector<TProdMember>& ProdMembers() {
  // Columns: unit, caption, button, editor, model identifier, firmware model byte, identifier
  // bounds, "Modbus ID" bound, shown only when idle, default "Next ID:", boot revision rule of the
  // run, checks of the run, checks of "Fw Upload", editions by boot revision, long messages,
  // "Setup Cfg", "Sync Time", developer firmware folder, board texts.
  //
  // The first generation is told by its whole boot word 0x4316: model byte 0x16, boot revision
  // 0x43. Its run checks the two bytes apart (model, then revision), which accepts exactly the
  // boards of that word, and takes firmware images whose model byte is 0x16.
  // clang-format off
  static const std::vector<TProdMember> rows = {
      {"Vex308", "Vex308 Production", "Produce Vex308", "Vex308cfg1", 0x58, 0x58, kIdsOther, 254, false, "00001",
       -1, -1, {C::BoardModel, C::SameModel, C::Editions}, {C::BoardModel, C::SameModel, C::Editions},
       kEditions308, false, true, false, true, &kBoard308},
      {"Vex215", "Vex216 Production", "Produce Vex216", "Vex215cfg1", 0x4316, 0x16, kIdsOther, 255, false, "00001",
       0x43, 0x43, {C::FileModel}, {C::SameModel}, {}, false, true, false, false, nullptr},
      {"Vex216", "Vex216v2 Production", "Produce Vex216", "Vex216cfg1", 0x46, 0x46, kIdsOther, 255, false, "00001",
       -1, -1, {C::FileModel, C::SameModel, C::Editions}, {C::FileModel, C::SameModel, C::Editions},
       kEditions216, false, true, false, true, &kBoard216},
      {"Vex316", "Vex316 Production", "Produce Vex316", "Vex316cfg1", 0x51, 0x51, kIdsOther, 255, false, "00001",
       -1, -1, {C::FileModel, C::SameModel, C::Editions}, {C::BoardModel, C::SameModel, C::Editions},
       kEditions316, false, true, false, false, nullptr},
      {"Vex324", "Vex324 Production", "Produce Vex324", "Vex324cfg1", 0x54, 0x54, kIds324, 255, true, "65500",
       -1, -1, {C::FileModel, C::SameModel, C::Editions}, {C::FileModel, C::SameModel, C::Editions},
       kEditions324, true, true, false, false, &kBoard324},
      {"Vex733", "Vex733 Production", "Produce Vald3", "Vex733cfg1", 0x63, 0x63, kIdsOther, 255, false, "00001",
       0x65, 0x65, {C::FileModel}, {C::SameModel}, {}, false, false, true, false, nullptr},
      {"Vex748", "Vex748 Production", "Produce Tord48", "Vex748cfg1", 0x6E, 0x6E, kIdsOther, 255, false, "00001",
       0x65, 0x65, {C::FileModel}, {C::SameModel}, {}, false, false, true, false, nullptr},
      {"Vex924", "Vex924 Production", "Produce Vex924", "Vex924cfg1", 0x84, 0x84, kIdsOther, 255, true, "00001",
       100, 119, {C::FileModel}, {C::SameModel}, {}, false, true, false, false, nullptr},
      {"Vex932", "Vex932 Production", "Produce Vex932", "Vex932cfg1", 0x83, 0x83, kIdsOther, 255, true, "00001",
       100, 119, {C::FileModel}, {C::SameModel}, {}, false, true, false, false, nullptr},
      {"Vex936", "Vex936 Production", "Produce Vex936", "Vex936cfg1", 0x8A, 0x8A, kIdsOther, 255, true, "00001",
       100, 119, {C::FileModel}, {C::SameModel}, {}, false, true, false, false, nullptr},
  };
  // clang-format on
  return rows;
}

const TProdMember& ProdMember(const std::string& unit) {
  for (const TProdMember& m : ProdMembers()) {
    std::string a = m.Unit, b = unit;
    std::transform(a.begin(), a.end(), a.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::transform(b.begin(), b.end(), b.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (a == b) return m;
  }
  throw Exception("Unknown model \"" + unit + "\"");
}

TVexProd1::TVexProd1(const TProdMember& row, TPorts1& ports, TMain1& main, TMixer1& mixer, TLoader1& loader)
    : Row(row),
      Caption(row.Caption),
      ProduceButton(row.ButtonCaption, TControl::Kind::Button, [this](TControl&) { Button1Click(); }),
      ports_(ports),
      main_(main),
      mixer_(mixer),
      loader_(loader) {
  for (TEdit* e : {&ProdDate, &ProdId, &NextId, &Status}) e->Enabled = false;
  ModelDialog = {"Load Model", "Model Files (*.eem)|*.eem|All Files (*.*)|*.*", "eem", "", ""};
  FirmwareDialog = {"Select Application File", "(*.hex) Application Files|*.hex|(*.*) All files|*.*", "hex",
                    "", ""};
}

// ---- folders and files ----

std::string TVexProd1::Folder(const std::string& rel) const {
  const fs::path full = fs::path(DataDir.empty() ? ExeDir() : DataDir) / rel;
  std::error_code ec;
  fs::create_directories(full, ec);
  if (ec) throw Exception("Unable to create folder " + full.string() + ": " + ec.message());
  return full.string();
}

std::string TVexProd1::DataFolder() const { return Folder(Row.Unit); }

std::string TVexProd1::FirmwareFolder() const {
  // the developer's build folder of HEX files: "firmware-build/<model>" beside the data folders
  if (Row.DevFirmware && main_.DesMod) return Folder(std::string("firmware-build/") + Row.Unit);
  return Folder(std::string(Row.Unit) + "/Firmware");
}

std::string TVexProd1::LogFile() const { return DataFolder() + "/" + Row.Unit + "prod.ini"; }

std::string TVexProd1::ProductKey() const { return IntToHex(Row.Fid, 2) + ProdId.Text(); }

// ---- texts of the detected board ----

std::string TVexProd1::AplicText() const {
  return Row.Board ? vex::AplicText(*Row.Board, ports_.AppReg) : "";
}
std::string TVexProd1::ModelText() const {
  return Row.Board ? vex::ModelText(*Row.Board, ports_.BotRev) : "";
}

// ---- the window ----

void TVexProd1::DoProduct() {
  if (Row.OnlyWhenIdle && !ButtonEnabled) return;
  Visible = true;
  if (OnShow) OnShow();
  FormShow();
}

void TVexProd1::FormShow() {
  if (!NextId.Text().empty()) return;
  CSimpleIniA doc;
  const std::string file = LogFile();
  LoadLog(doc, file);
  NextId.SetText(doc.GetValue("Factory", "NextID", Row.NextIdDefault));
  ModelFile.SetText(doc.GetValue("Factory", "Modelfile", ""));
  FirmwareFile.SetText(doc.GetValue("Factory", "Firmware", ""));
}

void TVexProd1::Edit5DblClick() {
  if (ModelDialog.InitialDir.empty()) ModelDialog.InitialDir = DataFolder();
  ModelDialog.FileName = ModelFile.Text();
  if (Dialogs && Dialogs->OpenFile(ModelDialog)) ModelFile.SetText(ModelDialog.FileName);
}

void TVexProd1::Edit6DblClick() {
  if (FirmwareDialog.InitialDir.empty()) FirmwareDialog.InitialDir = FirmwareFolder();
  FirmwareDialog.FileName = FirmwareFile.Text();
  if (Dialogs && Dialogs->OpenFile(FirmwareDialog)) FirmwareFile.SetText(FirmwareDialog.FileName);
}

void TVexProd1::Say(const std::string& status) {
  Status.SetText(status);
  if (Changed) Changed();
}

IProdEditor& TVexProd1::Ed() {
  if (!Editor) throw Exception(std::string(Row.CfgName) + " is not available");
  return *Editor;
}

// ---- checks ----

void TVexProd1::Check(const std::vector<TProdCheck>& steps, uint16_t ver) const {
  const uint8_t m = ver & 0xFF;
  const int e = ver >> 8;
  auto fail = [&](const std::string& msg) {
    if (Row.LongMessages)
      throw Exception(msg + ". Boot=" + InttoTerso(ports_.BotReg) + " File=" + InttoTerso(ver));
    throw Exception(msg);
  };
  for (TProdCheck s : steps) {
    switch (s) {
      case TProdCheck::FileModel:
        if (m != Row.ModelByte) fail("Firmware model mismatch");
        break;
      case TProdCheck::BoardModel:
        if (ports_.BotMod != Row.ModelByte) fail("Target model incompatible");
        break;
      case TProdCheck::SameModel:
        if (ports_.BotMod != m) fail("Model mismatch");
        break;
      case TProdCheck::Editions: {
        const auto row = std::find_if(Row.EditionTable.begin(), Row.EditionTable.end(),
                                      [&](const TEditionRow& r) { return r.BotRev == ports_.BotRev; });
        if (row == Row.EditionTable.end()) fail("Boot version not supported");
        if (std::find(row->Editions.begin(), row->Editions.end(), e) == row->Editions.end())
          fail("Firmware version not supported");
        break;
      }
    }
  }
}

void TVexProd1::CheckCompatible(bool run) { Check(run ? Row.RunChecks : Row.FwChecks, mixer_.Idf().Ver); }

// The checks of the run right after "Discovery": the model, then the boot revision.
void TVexProd1::RunChecks() {
  if (ports_.BotMod != Row.ModelByte) throw Exception("Target model incompatible");
  if (Row.BootRevMin >= 0 && (ports_.BotRev < Row.BootRevMin || ports_.BotRev > Row.BootRevMax))
    throw Exception("Boot version incompatible");
}

// ---- the run ----

void TVexProd1::Button1Click() {
  if (main_.IsBusy(&ProduceButton, true)) return;
  ButtonEnabled = false;
  PlanGroup.Enabled = false;
  Status.Color = clWindow;
  if (Changed) Changed();
  struct Enable {
    TVexProd1& p;
    ~Enable() {
      p.PlanGroup.Enabled = true;
      p.ButtonEnabled = true;
      if (p.Changed) p.Changed();
    }
  } enable{*this};
  try {
    Sekans();
  } catch (const Exception& e) {
    Status.Color = clProdError;
    Say(std::string("Error: ") + e.what());
    throw;
  }
}

void TVexProd1::Sekans() {
  const TIdBounds& ids = Row.Ids;
  Say("");
  ports_.SetConnectPort(false);
  Say("Discovering Target");
  ports_.Button1Click();
  RunChecks();

  std::error_code ec;
  if (ModelFile.Text().empty() || !fs::is_regular_file(ModelFile.Text(), ec))
    throw Exception("Model file missing");
  if (FirmwareFile.Text().empty() || !fs::is_regular_file(FirmwareFile.Text(), ec))
    throw Exception("Firmware file missing");

  Say("Processing Firmware");
  mixer_.HexLoader(FirmwareFile.Text(), false, true, static_cast<uint32_t>(std::max(ports_.SegSiz, 0)));
  CheckCompatible(true);
  if (mixer_.Idf().Ver != ports_.AppReg) {
    loader_.Upload({mixer_.Map + mixer_.AppBeg, static_cast<size_t>(cRomSiz - mixer_.AppBeg)}, 0x80, true);
    ports_.Button1Click();
  }
  ports_.Button52Click();

  Say("Processing Configuration");
  IProdEditor& ed = Ed();
  ed.ReadConfig();
  ProdId.SetText(ed.UniqeId());
  ProdDate.SetText(ed.MfgDate());
  const int64_t n = LbEdttoInt(ProdId, 0, ids.ReadMax);
  if (n > 0 && !(Dialogs && Dialogs->AskYes("Already Produced, Update Configuration?")))
    throw Exception("Target Already Produced");

  if (Row.SetupCfg) ed.SetupCfg();
  ed.LoadConfig(ModelFile.Text());

  int64_t adr = 1;
  if (n > 0) {
    adr = LbEdttoInt(ed.ModbusId(), 0, Row.ModbusMax);
  } else {
    // the number is checked before anything is written
    int64_t number = 0;
    if (UserIdBox.Checked()) {
      UserId.SetText(InttoZero(LbEdttoInt(UserId, 1, ids.UserMax), 5));
      number = LbEdttoInt(UserId, 1, ids.RegMax);
    } else {
      number = LbEdttoInt(NextId, 1, ids.RegMax);
    }
    ports_.ModWrite(cMdaCmd, 0, true);
    ports_.ModWrite(cMdaCmd, xCmdEnb, true);
    ports_.ModWriteLong(11, DateTimetoBase(Now()), true);
    ports_.ModWrite(13, static_cast<uint16_t>(number), true);
  }
  if (adr < 1 || adr > 31) adr = 1;
  ed.ModbusId().SetText(std::to_string(adr));

  ed.WriteConfig();
  ed.SetEeprom();
  ports_.Button52Click();
  ed.Restart();
  ports_.Button52Click();
  if (Row.SyncTime && SyncTime) SyncTime();
  ed.ReadConfig();
  ProdId.SetText(ed.UniqeId());
  ProdDate.SetText(ed.MfgDate());
  if (Changed) Changed();

  if (n == 0 && NextId.Text() != ProdId.Text()) {
    if (!UserIdBox.Checked() || UserId.Text() != ProdId.Text()) throw Exception("ID mismatch");
  }
  ed.Backup();

  // "Next ID:" moves on only when the log that records it has been written
  std::string next = NextId.Text();
  if ((n == 0 && !UserIdBox.Checked()) || NextId.Text() == ProdId.Text())
    next = InttoZero(LbEdttoInt(NextId, 1, ids.AdvanceMax) + 1, 5);
  WriteLog(next);
  NextId.SetText(next);
  UserIdBox.State = cbUnchecked;

  Status.Color = clProdDone;
  Say("Production complete...");
  ports_.SetConnectPort(false);
  ports_.Mesaj(Status.Text());
}

void TVexProd1::WriteLog(const std::string& nextId) {
  const std::string file = LogFile();
  CSimpleIniA doc;
  LoadLog(doc, file);
  const std::string line = ProdDate.Text() + ";" + InttoTerso(ports_.BotReg) + "," +
                           InttoTerso(ports_.AppReg) + "," + ports_.VexModel() + "," +
                           fs::path(ModelFile.Text()).filename().string() + "," +
                           fs::path(FirmwareFile.Text()).filename().string();
  doc.SetValue("Products", ProductKey().c_str(), line.c_str());
  doc.SetValue("Factory", "NextID", nextId.c_str());
  doc.SetValue("Factory", "Modelfile", ModelFile.Text().c_str());
  doc.SetValue("Factory", "Firmware", FirmwareFile.Text().c_str());
  std::string text;
  if (doc.Save(text) < 0) throw Exception("Cannot write " + file);
  WriteFileAtomic(file, text);
}

// ---- "Fw Upload" ----

void TVexProd1::UploadFirm() {
  if (FirmwareDialog.InitialDir.empty()) FirmwareDialog.InitialDir = FirmwareFolder();
  if (!Dialogs || !Dialogs->OpenFile(FirmwareDialog)) return;
  mixer_.HexLoader(FirmwareDialog.FileName, false, true, static_cast<uint32_t>(std::max(ports_.SegSiz, 0)));
  ports_.Button1Click();
  CheckCompatible(false);
  loader_.Upload({mixer_.Map + mixer_.AppBeg, static_cast<size_t>(cRomSiz - mixer_.AppBeg)}, 0x80, false);
}

}  // namespace vex
