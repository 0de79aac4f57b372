// Configuration image files (".eep" device backups, ".eem" model files): INI text with one
// history section "<form name>.yyyymmddhhnnss" per save and the current section "<form name>".
// The file is read whole, changed in memory and written back whole and atomically, so the
// sections already in it survive a save. Loading reads only the current section.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "config/IsaMaps.h"
#include "shell/Basics.h"

namespace vex {

// Key/value pairs of an editor's fields in the order written ("LabeledEdit1", ...).
using TEepKeys = std::vector<std::pair<std::string, std::string>>;

// What a save records about the program and the device; written, never read back.
struct TEepHeader {
  std::string ModelID;  // application identifier text of the connected device
  std::string BootID;   // boot identifier text
  std::string Program;  // the program's caption and version
};

class TEepFile {
 public:
  using Clock = std::function<TDateTime()>;
  explicit TEepFile(std::string formName, Clock now = NowLocal)
      : Now(std::move(now)), form_(std::move(formName)) {}

  const std::string& FormName() const { return form_; }

  // History section and current section with the same content. `isa` may be null (models
  // without alarm sequences). A configurator validation error stops the save before the file
  // is touched.
  void SaveConfig(const std::string& file, const TEepHeader& h, const TEepKeys& fields, TIsaMaps1* isa);
  // One section named form name + suffix.
  void SaveConfig2(const std::string& file, const std::string& suffix, const TEepHeader& h,
                   const TEepKeys& fields, TIsaMaps1* isa);
  // The current section: the values of `keys` (missing keys give empty text), then the
  // configurator's keys. Raises "Model File not Found, <file>" for a missing file.
  std::vector<std::string> LoadConfig(const std::string& file, const std::vector<std::string>& keys,
                                      TIsaMaps1* isa);

  // Section names of a file in their order (a missing file has none).
  static std::vector<std::string> Sections(const std::string& file);

  Clock Now;

  static constexpr const char* cStampFormat = "yyyymmddhhnnss";
  static constexpr const char* cSaveDateFormat = "yyyy-mm-dd hh:nn:ss";

 private:
  std::string form_;
  void Open(const std::string& file, CSimpleIniA& doc) const;
  void Write(CSimpleIniA& doc, const std::string& section, TDateTime now, const TEepHeader& h,
             const TEepKeys& fields, TIsaMaps1* isa) const;
  static void Store(const std::string& file, CSimpleIniA& doc);
};

// Writes `data` to `file` through a temporary file in the same folder and a rename.
void WriteFileAtomic(const std::string& file, const std::string& data);

}  // namespace vex
