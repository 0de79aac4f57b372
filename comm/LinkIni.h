// INI documents as the link settings use them: one section read, one section written back
// with the rest of the document kept, the file replaced whole and atomically.
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace vex {

// Key comparison as INI documents have it: letters in either case name the same key.
struct TIniKeyLess {
  bool operator()(const std::string& a, const std::string& b) const;
};
using TIniValues = std::map<std::string, std::string, TIniKeyLess>;

// The settings file named like the executable exeName, with ".ini", in the executable's folder.
std::string IniPathOf(const std::string& exeName);
// The settings file of the running executable.
std::string OwnIniPath();

// Reads the keys of one section. Returns false (and leaves out empty) when the file does
// not exist; raises when it exists but cannot be read.
bool ReadIniSection(const std::string& path, const std::string& section, TIniValues& out);

// Sets the given keys of one section, keeping every other section and key of the file, and
// replaces the file whole (temporary file in the same folder, then rename).
void WriteIniSection(const std::string& path, const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& values);

}  // namespace vex
