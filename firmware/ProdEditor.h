// The configuration editor of a model as its production window drives it.
#pragma once

#include "config/VexCfg.h"
#include "firmware/Prod.h"

namespace vex {

class TProdEditor : public IProdEditor {
 public:
  explicit TProdEditor(TVexCfg1& e) : e_(e) {}
  void ReadConfig() override { Done(e_.Button1Click(), "Read Config"); }
  void SetupCfg() override { e_.Button99Click(); }
  void LoadConfig(const std::string& file) override { e_.LoadConfig(file); }
  void WriteConfig() override { Done(e_.Button2Click(), "Write Config"); }
  void SetEeprom() override { Done(e_.Button3Click(), "Set Eeprom"); }
  void Restart() override { Done(e_.Button4Click(), "Restart"); }
  void Backup() override { Done(e_.Button6Click(), "Backup"); }
  std::string UniqeId() const override { return e_.LabeledEdit1.Text(); }
  std::string MfgDate() const override { return e_.LabeledEdit2.Text(); }
  IEditField& ModbusId() override { return e_.LabeledEdit10; }
  TVexCfg1& Editor() { return e_; }

 private:
  // An operation the busy check refused cannot be left for later inside a run.
  static void Done(bool ran, const char* what) {
    if (!ran) throw Exception(std::string(what) + " refused: a transaction is running");
  }
  TVexCfg1& e_;
};

}  // namespace vex
