#include "comm/LinkIni.h"

#define SI_NO_CONVERSION   // the settings are plain UTF-8 text
#define SI_IMPLEMENTATION  // header-only use, no extra library
#include <SimpleIni.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "shell/Basics.h"

namespace vex {

namespace fs = std::filesystem;

bool TIniKeyLess::operator()(const std::string& a, const std::string& b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}

std::string IniPathOf(const std::string& exeName) {
  return (fs::path(ExeDir()) / (fs::path(exeName).stem().string() + ".ini")).string();
}

std::string OwnIniPath() {
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return IniPathOf(ec ? std::string("vexsim") : exe.filename().string());
}

namespace {

// Whole file into a string; false when it does not exist.
bool Slurp(const std::string& path, std::string& data) {
  std::error_code ec;
  if (!fs::exists(path, ec)) return false;
  std::ifstream f(path, std::ios::binary);
  if (!f) throw Exception("Unable to read settings file " + path);
  std::ostringstream ss;
  ss << f.rdbuf();
  if (f.bad()) throw Exception("Unable to read settings file " + path);
  data = ss.str();
  return true;
}

void Load(CSimpleIniA& ini, const std::string& data, const std::string& path) {
  if (ini.LoadData(data) < 0) throw Exception("Unable to read settings file " + path);
}

}  // namespace

bool ReadIniSection(const std::string& path, const std::string& section, TIniValues& out) {
  std::string data;
  if (!Slurp(path, data)) return false;
  CSimpleIniA ini;
  Load(ini, data, path);
  CSimpleIniA::TNamesDepend keys;
  ini.GetAllKeys(section.c_str(), keys);
  for (const auto& k : keys) {
    const char* v = ini.GetValue(section.c_str(), k.pItem, "");
    out[k.pItem] = v ? v : "";
  }
  return true;
}

void WriteIniSection(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& values) {
  CSimpleIniA ini;
  std::string data;
  if (Slurp(path, data)) Load(ini, data, path);
  for (const auto& [k, v] : values) ini.SetValue(section.c_str(), k.c_str(), v.c_str());
  std::string text;
  if (ini.Save(text) < 0) throw Exception("Unable to write settings file " + path);

  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(tmpl.data());
  if (fd < 0) throw Exception("Unable to write settings file " + path + ": " + std::strerror(errno));
  const char* p = text.data();
  size_t left = text.size();
  bool ok = true;
  while (ok && left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else {
      p += n;
      left -= static_cast<size_t>(n);
    }
  }
  ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  const int err = errno;
  ::close(fd);
  if (!ok || ::rename(tmpl.c_str(), path.c_str()) != 0) {
    const int e = ok ? errno : err;
    ::unlink(tmpl.c_str());
    throw Exception("Unable to write settings file " + path + ": " + std::strerror(e));
  }
}

}  // namespace vex
