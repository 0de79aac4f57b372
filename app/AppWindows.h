// Every window of the program, created once at start-up in the fixed order and reachable by its
// instance name. Windows of tools not built yet are placeholders in their place in the order.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/CfgView.h"
#include "app/EventView.h"
#include "app/IsaMapsView.h"
#include "app/MainView.h"
#include "app/MixerView.h"
#include "app/PortsView.h"
#include "app/RtuViews.h"
#include "app/ToolWindow.h"
#include "shell/Instances.h"

namespace vex {

class TAppWindows {
 public:
  explicit TAppWindows(TInstances& in);
  ~TAppWindows();
  TAppWindows(const TAppWindows&) = delete;
  TAppWindows& operator=(const TAppWindows&) = delete;

  QWidget* Window(const std::string& name) const;  // nullptr for an unknown name
  MainView& Main1() { return *main_; }
  PortsView& Ports1() { return *ports_; }
  EventView& Event1() { return *event_; }
  MixerView& Mixer1() { return *mixer_; }
  IsaMapsView& IsaMaps1() { return *isa_; }
  CfgView* Editor(const std::string& name) const;  // "Vex324cfg1"; nullptr for another name
  // Instance names in creation order.
  std::vector<std::string> Order() const;

  // Instance names and captions of the start-up order after the main window.
  static const std::vector<std::pair<std::string, std::string>>& StartOrder();

 private:
  TInstances& in_;
  std::unique_ptr<MainView> main_;
  std::unique_ptr<PortsView> ports_;
  std::unique_ptr<EventView> event_;
  std::unique_ptr<MixerView> mixer_;
  std::unique_ptr<IsaMapsView> isa_;
  std::vector<std::unique_ptr<CfgView>> editors_;
  std::unique_ptr<Rtu3fileView> rtu3file_;  // rack RTU tools
  std::unique_ptr<Rtu3encapView> rtu3encap_;
  std::unique_ptr<Rtu3appView> rtu3app_;
  std::unique_ptr<Rtu3simView> rtu3sim_;
  std::vector<std::unique_ptr<PlaceholderView>> placeholders_;
  std::vector<std::pair<std::string, QWidget*>> order_;
};

}  // namespace vex
