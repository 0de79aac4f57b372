// A production window of one member against a simulated board: the hub, the image store, the
// upload window's core, a main window for the busy check, an editor standing in for the
// model's configuration editor (the register operations of its buttons), answered questions
// and a scratch data folder.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>

#include <unistd.h>

#include "firmware/Prod.h"
#include "shell/Instances.h"
#include "tests/firmware/UploadRig.h"

namespace vex::test {

// The editor operations as the configuration editor performs them on the device.
class RigEditor : public IProdEditor {
 public:
  RigEditor(TPorts1& p, std::string backupDir) : p_(p), dir_(std::move(backupDir)) {}
  void ReadConfig() override {
    calls.push_back("read");
    p_.Button1Click();
    uid_ = p_.UniqeId;
    mfg_ = p_.MfgDate;
    modbus_.SetText(std::to_string(p_.ModRead(14, true)));
  }
  void SetupCfg() override { calls.push_back("setup"); }
  void LoadConfig(const std::string& file) override {
    calls.push_back("load");
    if (!std::filesystem::exists(file)) throw Exception("Model File not Found, " + file);
    uid_ = "00000";
  }
  void WriteConfig() override {
    calls.push_back("write");
    const auto adr = static_cast<uint16_t>(LbEdttoInt(modbus_, 1, 31));
    for (uint16_t w : {0, xCmdEnb}) p_.ModWrite(15, w, true);
    p_.ModWrite(14, adr, true);
  }
  void SetEeprom() override {
    calls.push_back("eeprom");
    for (uint16_t w : {0, xCmdEnb, xCmdEep}) p_.ModWrite(15, w, true);
  }
  void Restart() override {
    calls.push_back("restart");
    for (uint16_t w : {0, xCmdEnb, xCmdRes}) p_.ModWrite(15, w, true);
  }
  void Backup() override {
    calls.push_back("backup");
    std::filesystem::create_directories(dir_);
    std::ofstream(dir_ + "/SN" + uid_ + ".eep") << "[Backup]\nLabeledEdit1=" << uid_ << "\n";
  }
  std::string UniqeId() const override { return uid_; }
  std::string MfgDate() const override { return mfg_; }
  IEditField& ModbusId() override { return modbus_; }

  std::vector<std::string> calls;

 private:
  TPorts1& p_;
  std::string dir_;
  std::string uid_, mfg_;
  TEdit modbus_{"Modbus ID <1~31>:"};
};

struct Answers : IProdDialogs {
  bool yes = false;
  std::string file;  // chosen by every file dialog ("" cancelled)
  std::vector<std::string> asked;
  std::vector<TProdDialog> dialogs;
  bool OpenFile(TProdDialog& d) override {
    dialogs.push_back(d);
    if (file.empty()) return false;
    d.FileName = file;
    return true;
  }
  bool AskYes(const std::string& q) override {
    asked.push_back(q);
    return yes;
  }
};

struct NoDesktop : IDesktop {
  bool RaiseWindow(const std::string&) override { return false; }
  bool FileExists(const std::string&) const override { return false; }
  void Open(const std::string&) override {}
};

class ProdRig : public UploadRig {
 public:
  ProdRig(const std::string& unit, const BoardOptions& b)
      : UploadRig(b), Prod(ProdMember(unit), Ports1, Main1, Mixer1, Loader1) {
    Prod.DataDir = dir.string();
    Prod.Editor = &Editor;
    Prod.Dialogs = &Answers1;
    Prod.Now = [] { return EncodeDateTime(2026, 3, 4, 5, 6, 7); };
    modelFile = (dir / "Model.eem").string();
    std::ofstream(modelFile) << "[" << unit << "cfg1]\nLabeledEdit10=1\n";
  }
  ~ProdRig() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
  std::string Firmware(uint16_t ver, int codeBytes = 1500) {
    const std::string f = (dir / ("App" + IntToHex(ver, 4) + ".hex")).string();
    std::ofstream(f) << AppHex(ver, codeBytes);
    return f;
  }
  uint16_t Reg(int a) {
    Ports1.SetConnectPort(true);  // the run closes the link at its end
    return static_cast<uint16_t>(Ports1.ModRead(a, true));
  }

  static std::filesystem::path NewDir() {
    auto d = std::filesystem::temp_directory_path() /
             ("vex_prod_" + std::to_string(::getpid()) + "_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(d);
    return d;
  }
  std::filesystem::path dir = NewDir();
  std::string modelFile;
  std::unique_ptr<IMainLink> link = MakeMainLink(Ports1);
  NoDesktop desktop;
  TMain1 Main1{*link, desktop};
  RigEditor Editor{Ports1, (dir / "Config").string()};
  Answers Answers1;
  TVexProd1 Prod;
};

}  // namespace vex::test
