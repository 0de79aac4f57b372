#include "app/AppWindows.h"

namespace vex {

const std::vector<std::pair<std::string, std::string>>& TAppWindows::StartOrder() {
  static const std::vector<std::pair<std::string, std::string>> order = [] {
    std::vector<std::pair<std::string, std::string>> v = {
        {"Ports1", "Port Settings & Diagnostics"},
        {"Loader1", "Upload"},
        {"Mixer1", "Create Bootable Application"},
        {"IsaMaps1", "ISA-18.1-1979 (R1992) Configurator"},
        {"Event1", "Vex Events"},
    };
    const struct {
      const char* unit;
      const char* simCaption;
    } models[] = {{"Vex308", "Vex308 Simulator"},   {"Vex215", "Vex216 Simulator"},
                  {"Vex216", "Vex216v2 Simulator"}, {"Vex316", "Vex316 Simulator"},
                  {"Vex324", "Vex324 Simulator"},   {"Vex733", "Vald-3 Simulator"},
                  {"Vex748", "Vex748 Simulator"},   {"Vex924", "Vex924 Simulator"},
                  {"Vex932", "Vex932 Simulator"},   {"Vex936", "Vex936 Simulator"}};
    for (const auto& m : models) {
      const std::string u = m.unit;
      v.emplace_back(u + "cfg1", u + " Configuration");
      v.emplace_back(u + "sim1", m.simCaption);
      v.emplace_back(u + "prod1", u + " Production");
    }
    v.emplace_back("Rtu3file1", "File Upload / Download Manager");
    v.emplace_back("Rtu3encap1", "Rtu3 Modul Firmware Encapsulator");
    v.emplace_back("Rtu3app1", "Rtu3 Application File Generator");
    v.emplace_back("Rtu3sim1", "BRIX-3000 Simulator");
    v.emplace_back("Vex316desk1", "Vex316 Inspector");
    return v;
  }();
  return order;
}

// The configuration editor of an instance name ("Vex324cfg1"), if it is one.
static TVexCfg1* EditorOf(TInstances& in, const std::string& name) {
  for (TVexCfg1* e : in.Editors())
    if (e->FormName() == name) return e;
  return nullptr;
}

TAppWindows::TAppWindows(TInstances& in) : in_(in) {
  main_ = std::make_unique<MainView>(in.Main1);
  order_.emplace_back("Main1", main_.get());
  in.Main1.SetTool("Main1", &main_->Tool());
  for (const auto& [name, caption] : StartOrder()) {
    if (name == "Ports1") {
      ports_ = std::make_unique<PortsView>(in.Ports1, in.Main1);
      order_.emplace_back(name, ports_.get());
      in.Main1.SetTool(name, &ports_->Tool());
      continue;
    }
    if (name == "Mixer1") {
      mixer_ = std::make_unique<MixerView>(in.Mixer1, in.Main1);
      order_.emplace_back(name, mixer_.get());
      in.Main1.SetTool(name, &mixer_->Tool());
      continue;
    }
    if (name == "Event1") {
      event_ = std::make_unique<EventView>(in.Event1, in.Main1);
      order_.emplace_back(name, event_.get());
      in.Main1.SetTool(name, &event_->Tool());
      continue;
    }
    if (name == "IsaMaps1") {
      isa_ = std::make_unique<IsaMapsView>(in.IsaMaps1, in.Main1);
      order_.emplace_back(name, isa_.get());
      in.Main1.SetTool(name, &isa_->Tool());
      continue;
    }
    if (TVexCfg1* e = EditorOf(in, name)) {
      editors_.push_back(std::make_unique<CfgView>(*e, in.Main1));
      editors_.back()->AfterRun = [this] {
        if (isa_ && isa_->isVisible()) isa_->Refresh();
      };
      order_.emplace_back(name, editors_.back().get());
      in.Main1.SetTool(name, &editors_.back()->Tool());
      continue;
    }
    if (name.rfind("Rtu3", 0) == 0) {  // rack RTU tools
      QWidget* w = nullptr;
      IToolWindow* t = nullptr;
      if (name == "Rtu3file1") {
        rtu3file_ = std::make_unique<Rtu3fileView>(in.Rtu3file1, in.Main1);
        w = rtu3file_.get(), t = &rtu3file_->Tool();
      } else if (name == "Rtu3encap1") {
        rtu3encap_ = std::make_unique<Rtu3encapView>(in.Rtu3encap1, in.Main1);
        w = rtu3encap_.get(), t = &rtu3encap_->Tool();
      } else if (name == "Rtu3app1") {
        rtu3app_ = std::make_unique<Rtu3appView>(in.Rtu3app1, in.Main1);
        w = rtu3app_.get(), t = &rtu3app_->Tool();
      } else if (name == "Rtu3sim1") {
        rtu3sim_ = std::make_unique<Rtu3simView>(in.Rtu3sim1, in.Main1);
        w = rtu3sim_.get(), t = &rtu3sim_->Tool();
      }
      if (w) {
        order_.emplace_back(name, w);
        in.Main1.SetTool(name, t);
        continue;
      }
    }
    placeholders_.push_back(std::make_unique<PlaceholderView>(name, caption));
    order_.emplace_back(name, placeholders_.back().get());
    in.Main1.SetTool(name, &placeholders_.back()->Tool());
  }
}

TAppWindows::~TAppWindows() {
  for (const auto& [name, w] : order_) in_.Main1.SetTool(name, nullptr);
}

QWidget* TAppWindows::Window(const std::string& name) const {
  for (const auto& [n, w] : order_)
    if (n == name) return w;
  return nullptr;
}

CfgView* TAppWindows::Editor(const std::string& name) const {
  for (const auto& e : editors_)
    if (e->Editor().FormName() == name) return e.get();
  return nullptr;
}

std::vector<std::string> TAppWindows::Order() const {
  std::vector<std::string> r;
  for (const auto& [n, w] : order_) r.push_back(n);
  return r;
}

}  // namespace vex
