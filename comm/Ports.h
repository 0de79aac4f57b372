// The communication hub: every exchange with a device passes through the one TPorts1
// instance. It owns the serial port and the TCP client, frames and checks every Modbus
// exchange, keeps the link settings, the console state (status, last error, log) and the
// identification of the connected device that every tool reads.
//
// The class is split over several units, each with its own section below:
//   Ports.cpp        transactions (Konus, ModTxRx, typed and extended operations)
//   PortsConsole.cpp console state (Mesaj, Error, Log, ComText ...)
//   PortsLink.cpp    link settings, opening and closing ("Connect Port"), manual requests
//   PortsDetect.cpp  detection and identification
// Keep edits inside your own section.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "shell/Basics.h"

namespace vex {

class TPorts1 {
 public:
  TPorts1();
  ~TPorts1();
  TPorts1(const TPorts1&) = delete;
  TPorts1& operator=(const TPorts1&) = delete;

  // ======== transactions (Ports.cpp) ========

  // ======== console state (PortsConsole.cpp) ========

  // ======== link settings, opening and closing (PortsLink.cpp) ========
  // "Connect Port": ticking opens the link with the current settings, clearing closes it.
  bool ConnectPortChecked() const;
  void SetConnectPort(bool on);

  // ======== detection and identification (PortsDetect.cpp) ========
  void Button1Click();   // "Discovery": connect and identify, retrying for 1.5 s
  void Button2Click();   // "Auto Detection": search every port and rate
  void Button51Click();  // identify the device on the current settings
  void Button52Click();  // wait for a freshly loaded application to run
};

}  // namespace vex
