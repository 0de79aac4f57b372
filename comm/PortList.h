// Serial port discovery on Linux: the USB serial adapters present, named by their device path
// (/dev/ttyUSB0, /dev/ttyACM0 ...). The roots of /dev and /sys can be replaced for tests.
#pragma once

#include <string>
#include <vector>

namespace vex {

struct TPortRoots {
  std::string dev = "/dev";  // holds serial/by-id and the device nodes
  std::string sys = "/sys";  // holds class/tty/<name>/device
};

// Device paths of the USB-attached serial ports, sorted by name (ttyUSB2 before ttyUSB10).
// A port counts as USB-attached when its sysfs device lies below a USB interface, or, when
// sysfs cannot be read, when udev lists it under serial/by-id. Never fails; may be empty.
std::vector<std::string> ListUsbSerialPorts(const TPortRoots& roots = {});

// The list offered when no adapter was found: the on-board ports /dev/ttyS0 .. /dev/ttyS15
// (what the first sixteen COM ports are called here).
std::vector<std::string> FallbackPorts(const TPortRoots& roots = {});

// The latency timer of the USB serial adapter behind a device path, in ms (the driver holds
// input back for up to this long): /sys/bus/usb-serial/devices/<tty>/latency_timer, -1 when
// the port has none.
int UsbLatencyTimer(const std::string& devicePath, const TPortRoots& roots = {});
// The note shown when that timer is above 1 ms: the value and how to lower it.
std::string LatencyNote(const std::string& devicePath, int ms, const TPortRoots& roots = {});

// RTS direction was asked for on a port whose driver cannot switch it.
inline constexpr const char* cNoRs485Msg = "RTS direction (RS-485) is not supported by this port";

// Message of a discovery that found nothing.
inline constexpr const char* cNoPortsMsg = "Unable to detect suitable COM ports, Try Manually";

}  // namespace vex
