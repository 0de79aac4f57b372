#include "comm/PortList.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>

namespace vex {

namespace fs = std::filesystem;

namespace {

// Natural order: the digit runs compare as numbers (ttyUSB2 < ttyUSB10).
bool NaturalLess(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) && std::isdigit(static_cast<unsigned char>(b[j]))) {
      size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      const size_t za = na.find_first_not_of('0'), zb = nb.find_first_not_of('0');
      const std::string ta = za == std::string::npos ? "" : na.substr(za);
      const std::string tb = zb == std::string::npos ? "" : nb.substr(zb);
      if (ta.size() != tb.size()) return ta.size() < tb.size();
      if (ta != tb) return ta < tb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

// True when the resolved path has a component starting with "usb" (usb1, usb-serial ...).
bool BelowUsb(const fs::path& p) {
  for (const auto& part : p) {
    const std::string s = part.string();
    if (s.rfind("usb", 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> ListUsbSerialPorts(const TPortRoots& roots) {
  std::error_code ec;
  std::set<std::string> names;  // tty names (ttyUSB0)
  bool sysReadable = false;

  const fs::path cls = fs::path(roots.sys) / "class" / "tty";
  if (fs::is_directory(cls, ec)) {
    sysReadable = true;
    for (fs::directory_iterator it(cls, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path dev = it->path() / "device";
      std::error_code e2;
      if (!fs::exists(dev, e2)) continue;  // virtual terminals have no device
      const fs::path real = fs::canonical(dev, e2);
      if (e2) continue;
      if (BelowUsb(real)) names.insert(it->path().filename().string());
    }
  }

  // udev's by-id links: USB adapters are named "usb-..."; without sysfs every link counts.
  const fs::path byId = fs::path(roots.dev) / "serial" / "by-id";
  if (fs::is_directory(byId, ec)) {
    for (fs::directory_iterator it(byId, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code e2;
      const fs::path target = fs::weakly_canonical(it->path(), e2);
      if (e2) continue;
      const std::string link = it->path().filename().string();
      if (!sysReadable || link.rfind("usb-", 0) == 0) names.insert(target.filename().string());
    }
  }

  std::vector<std::string> r;
  for (const auto& n : names) {
    std::error_code e2;
    const fs::path node = fs::path(roots.dev) / n;
    if (fs::exists(node, e2)) r.push_back(node.string());
  }
  std::sort(r.begin(), r.end(), NaturalLess);
  return r;
}

std::vector<std::string> FallbackPorts(const TPortRoots& roots) {
  std::vector<std::string> r;
  for (int i = 0; i < 16; ++i) r.push_back((fs::path(roots.dev) / ("ttyS" + std::to_string(i))).string());
  return r;
}

}  // namespace vex

namespace vex {

namespace {

// The tty name behind a device path (links such as serial/by-id are followed).
std::string TtyName(const std::string& devicePath) {
  std::error_code ec;
  const fs::path real = fs::canonical(devicePath, ec);
  return (ec ? fs::path(devicePath) : real).filename().string();
}

fs::path LatencyFile(const std::string& devicePath, const TPortRoots& roots) {
  return fs::path(roots.sys) / "bus" / "usb-serial" / "devices" / TtyName(devicePath) / "latency_timer";
}

}  // namespace

int UsbLatencyTimer(const std::string& devicePath, const TPortRoots& roots) {
  if (TtyName(devicePath).empty()) return -1;
  FILE* f = std::fopen(LatencyFile(devicePath, roots).c_str(), "r");
  if (!f) return -1;
  int ms = -1;
  if (std::fscanf(f, "%d", &ms) != 1) ms = -1;
  std::fclose(f);
  return ms;
}

std::string LatencyNote(const std::string& devicePath, int ms, const TPortRoots& roots) {
  return "USB latency timer of " + TtyName(devicePath) + " is " + std::to_string(ms) +
         " ms, every reply waits for it; lower it with: echo 1 | sudo tee " +
         LatencyFile(devicePath, roots).string();
}

}  // namespace vex
