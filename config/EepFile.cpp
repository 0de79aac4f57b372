#include "config/EepFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace vex {

namespace fs = std::filesystem;

void WriteFileAtomic(const std::string& file, const std::string& data) {
  const fs::path target(file);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::string tmpl = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = mkstemp(tmpl.data());
  if (fd < 0) throw Exception("Cannot write " + file + ": " + std::strerror(errno));
  size_t done = 0;
  bool ok = true;
  while (ok && done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<size_t>(n);
  }
  const int err = errno;
  ok = ok && ::fchmod(fd, 0644) == 0 && ::fsync(fd) == 0;
  ::close(fd);
  if (!ok || ::rename(tmpl.c_str(), file.c_str()) != 0) {
    const int e = ok ? errno : err;
    ::unlink(tmpl.c_str());
    throw Exception("Cannot write " + file + ": " + std::strerror(e));
  }
}

void TEepFile::Open(const std::string& file, CSimpleIniA& doc) const {
  std::error_code ec;
  if (!fs::exists(file, ec)) return;  // a new file
  if (fs::is_directory(file, ec)) throw Exception("Cannot read " + file + ": it is a folder");
  if (doc.LoadFile(file.c_str()) < 0) throw Exception("Cannot read " + file);
}

void TEepFile::Store(const std::string& file, CSimpleIniA& doc) {
  std::string text;
  doc.SetSpaces(false);  // key=value
  if (doc.Save(text) < 0) throw Exception("Cannot write " + file);
  WriteFileAtomic(file, text);
}

// A value on one line: a line break in a field's text would otherwise start new keys or
// sections in the file.
static std::string OneLine(std::string v) {
  for (char& c : v)
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  return v;
}

void TEepFile::Write(CSimpleIniA& doc, const std::string& section, TDateTime now, const TEepHeader& h,
                     const TEepKeys& fields, TIsaMaps1* isa) const {
  CSimpleIniA fresh;  // the section is built apart so that a refused configurator leaves doc alone
  const char* s = section.c_str();
  fresh.SetValue(s, "SaveDateTime", FormatDateTime(cSaveDateFormat, now).c_str());
  fresh.SetValue(s, "ModelID", OneLine(h.ModelID).c_str());
  fresh.SetValue(s, "BootID", OneLine(h.BootID).c_str());
  fresh.SetValue(s, "Program", OneLine(h.Program).c_str());
  for (const auto& [k, v] : fields) fresh.SetValue(s, k.c_str(), OneLine(v).c_str());
  if (isa) isa->SaveIni(section, fresh);
  doc.Delete(s, nullptr);
  CSimpleIniA::TNamesDepend keys;
  fresh.GetAllKeys(s, keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  for (const auto& k : keys) doc.SetValue(s, k.pItem, fresh.GetValue(s, k.pItem, ""));
}

void TEepFile::SaveConfig(const std::string& file, const TEepHeader& h, const TEepKeys& fields,
                          TIsaMaps1* isa) {
  const TDateTime now = Now();
  CSimpleIniA doc;
  Open(file, doc);
  Write(doc, form_ + "." + FormatDateTime(cStampFormat, now), now, h, fields, isa);
  Write(doc, form_, now, h, fields, isa);
  Store(file, doc);
}

void TEepFile::SaveConfig2(const std::string& file, const std::string& suffix, const TEepHeader& h,
                           const TEepKeys& fields, TIsaMaps1* isa) {
  CSimpleIniA doc;
  Open(file, doc);
  Write(doc, form_ + suffix, Now(), h, fields, isa);
  Store(file, doc);
}

std::vector<std::string> TEepFile::Sections(const std::string& file) {
  CSimpleIniA doc;
  TEepFile("").Open(file, doc);
  CSimpleIniA::TNamesDepend names;
  doc.GetAllSections(names);
  names.sort(CSimpleIniA::Entry::LoadOrder());
  std::vector<std::string> r;
  for (const auto& n : names) r.push_back(n.pItem);
  return r;
}

std::vector<std::string> TEepFile::LoadConfig(const std::string& file, const std::vector<std::string>& keys,
                                              TIsaMaps1* isa) {
  std::error_code ec;
  if (!fs::is_regular_file(file, ec)) throw Exception("Model File not Found, " + file);
  CSimpleIniA doc;
  Open(file, doc);
  std::vector<std::string> values;
  for (const std::string& k : keys) values.push_back(doc.GetValue(form_.c_str(), k.c_str(), ""));
  if (isa) isa->LoadIni(form_, doc);
  return values;
}

}  // namespace vex
