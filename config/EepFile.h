// Configuration image files (".eep" device backups, ".eem" model files): INI text with one
// history section "<form name>.yyyymmddhhnnss" per save and the current section "<form name>".
// The file is read whole, changed in memory and written back whole and atomically. Sections
// other than the ones a save writes are carried through as the original text (order, comments,
// duplicate keys, line ends), and the saved sections use the file's line ends. Loading reads
// only the current section.
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
  std::string Block(const std::string& section, TDateTime now, const TEepHeader& h, const TEepKeys& fields,
                    TIsaMaps1* isa, const std::string& eol) const;
  void Save(const std::string& file, const std::vector<std::string>& sections, TDateTime now,
            const TEepHeader& h, const TEepKeys& fields, TIsaMaps1* isa) const;

 public:
  // The whole text of a file (false when it does not exist). A file that cannot be read whole
  // (a NUL byte, text that is not UTF-8, a line that is neither a section, a key=value pair nor
  // a comment) is refused with a message naming it and the line.
  static bool ReadText(const std::string& file, std::string& text);
  // `text` with every block of `section` (case-insensitive, as the reader matches) taken out
  // and `block` appended; all other text stays byte for byte.
  static std::string Splice(const std::string& text, const std::string& section, const std::string& block,
                            const std::string& eol);
};

// Writes `data` to `file` through a temporary file in the same folder and a rename.
void WriteFileAtomic(const std::string& file, const std::string& data);

}  // namespace vex
