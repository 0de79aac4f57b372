// Every window's core instance, owned by one object and created in the program's start-up order.
// Members carry the instance names (Main1, Ports1, ...) so tools reach each other through them.
// Nothing here is static: two sets can live side by side (tests).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "comm/Event.h"
#include "comm/Ports.h"
#include "config/IsaMaps.h"
#include "config/VexCfg.h"
#include "firmware/Loader.h"
#include "firmware/Mixer.h"
#include "firmware/Prod.h"
#include "firmware/ProdEditor.h"
#include "monitor/Vex316desk.h"
#include "monitor/Vex733sim.h"
#include "monitor/Vex748sim.h"
#include "monitor/VexSim.h"
#include "rtu/Rtu3app.h"
#include "rtu/Rtu3encap.h"
#include "rtu/Rtu3file.h"
#include "rtu/Rtu3sim.h"
#include "shell/Main.h"

namespace vex {

class TInstances {
 public:
  // portsIni: the link settings file ("" = the file named like the executable, beside it).
  TInstances(const TStartInfo& start, const ISettingsStore& store, IDesktop& desktop,
             const std::string& portsIni = "");
  ~TInstances();
  TInstances(const TInstances&) = delete;
  TInstances& operator=(const TInstances&) = delete;

  // Program end: the hub saves the link settings and closes the link (once).
  void Shutdown();

 private:
  std::unique_ptr<IMainLink> mainLink_;  // the main window's view of Ports1

 public:
  // ---- in start-up order ----
  TMain1 Main1;
  TPorts1 Ports1;            // "Port Settings & Diagnostics"
  TLoader1 Loader1{Ports1};  // "Upload": the bootloader upload
  TMixer1 Mixer1;            // boot mixer: the firmware image store
  TIsaMaps1 IsaMaps1;        // "ISA-18.1-1979 (R1992) Configurator"
  TEvent1 Event1;            // "Vex Events"
  // configuration editors, each before its model's simulator and production window
  TVex308cfg1 Vex308cfg1;
  TVexSim Vex308sim1{SimMember("Vex308sim1"), Ports1, Main1, Event1};
  TVex215cfg1 Vex215cfg1;
  TVexSim Vex215sim1{SimMember("Vex215sim1"), Ports1, Main1, Event1};
  TVex216cfg1 Vex216cfg1;
  TVexSim Vex216sim1{SimMember("Vex216sim1"), Ports1, Main1, Event1};
  TVex316cfg1 Vex316cfg1;
  TVexSim Vex316sim1{SimMember("Vex316sim1"), Ports1, Main1, Event1};
  TVex324cfg1 Vex324cfg1;
  TVexSim Vex324sim1{SimMember("Vex324sim1"), Ports1, Main1, Event1};
  TVex733cfg1 Vex733cfg1;
  TVex733sim1 Vex733sim1{Ports1, Main1, Event1};  // "Vald-3 Simulator"
  TVex748cfg1 Vex748cfg1;
  TVex748sim1 Vex748sim1{Ports1, Main1, Event1};  // "Vex748 Simulator"
  TVex924cfg1 Vex924cfg1;
  TVexSim Vex924sim1{SimMember("Vex924sim1"), Ports1, Main1, Event1};
  TVex932cfg1 Vex932cfg1;
  TVexSim Vex932sim1{SimMember("Vex932sim1"), Ports1, Main1, Event1};
  TVex936cfg1 Vex936cfg1;
  TVexSim Vex936sim1{SimMember("Vex936sim1"), Ports1, Main1, Event1};
  // production windows
  TVex308prod1 Vex308prod1{Ports1, Main1, Mixer1, Loader1};
  TVex215prod1 Vex215prod1{Ports1, Main1, Mixer1, Loader1};
  TVex216prod1 Vex216prod1{Ports1, Main1, Mixer1, Loader1};
  TVex316prod1 Vex316prod1{Ports1, Main1, Mixer1, Loader1};
  TVex324prod1 Vex324prod1{Ports1, Main1, Mixer1, Loader1};
  TVex733prod1 Vex733prod1{Ports1, Main1, Mixer1, Loader1};
  TVex748prod1 Vex748prod1{Ports1, Main1, Mixer1, Loader1};
  TVex924prod1 Vex924prod1{Ports1, Main1, Mixer1, Loader1};
  TVex932prod1 Vex932prod1{Ports1, Main1, Mixer1, Loader1};
  TVex936prod1 Vex936prod1{Ports1, Main1, Mixer1, Loader1};
  TRtu3file1 Rtu3file1{Ports1, Main1};  // "File Upload / Download Manager"
  TRtu3encap1 Rtu3encap1{Mixer1};       // "Rtu3 Modul Firmware Encapsulator"
  TRtu3app1 Rtu3app1{Mixer1};           // "Rtu3 Application File Generator"
  TRtu3sim1 Rtu3sim1{Ports1, Main1};    // "BRIX-3000 Simulator"
  TVex316desk1 Vex316desk1{Ports1};     // "Vex316 Inspector"
  // The eight simulators in the idle dispatcher's order.
  std::vector<TVexSim*> Simulators() {
    return {&Vex215sim1, &Vex216sim1, &Vex308sim1, &Vex316sim1,
            &Vex324sim1, &Vex924sim1, &Vex932sim1, &Vex936sim1};
  }

  // The configuration editors in start-up order; the one of a model (nullptr: none).
  std::vector<TVexCfg1*> Editors();
  TVexCfg1* Editor(TVexModel m);
  // The production windows in start-up order.
  std::vector<TVexProd1*> ProdWindows();

 private:
  std::vector<std::unique_ptr<TProdEditor>> prodEditors_;  // each production window's editor
  bool down_ = false;
};

// The hub as the main window sees it.
std::unique_ptr<IMainLink> MakeMainLink(TPorts1& ports);

}  // namespace vex
