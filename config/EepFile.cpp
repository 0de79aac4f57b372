#include "config/EepFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string_view>

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

namespace {

// Lines of a text with their ends: [begin, end) without the line break, next = after it.
struct TLine {
  size_t begin, end, next;
};

std::vector<TLine> SplitLines(const std::string& t) {
  std::vector<TLine> r;
  size_t pos = 0;
  while (pos < t.size()) {
    size_t nl = t.find('\n', pos);
    const size_t next = nl == std::string::npos ? t.size() : nl + 1;
    size_t end = nl == std::string::npos ? t.size() : nl;
    if (end > pos && t[end - 1] == '\r') --end;
    r.push_back({pos, end, next});
    pos = next;
  }
  return r;
}

std::string_view Trim(std::string_view v) {
  while (!v.empty() && (v.front() == ' ' || v.front() == '\t')) v.remove_prefix(1);
  while (!v.empty() && (v.back() == ' ' || v.back() == '\t')) v.remove_suffix(1);
  return v;
}

bool ValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const size_t n = c < 0x80                ? 0
                     : c >= 0xC2 && c < 0xE0 ? 1
                     : (c & 0xF0) == 0xE0    ? 2
                     : c >= 0xF0 && c < 0xF5 ? 3
                                             : 9;
    if (n == 9 || i + n >= s.size() + (n == 0)) return false;
    for (size_t k = 1; k <= n; ++k)
      if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
    i += n + 1;
  }
  return true;
}

// A value on one line: a line break in a field's text would otherwise start new keys or
// sections in the file.
std::string OneLine(std::string v) {
  for (char& c : v)
    if (c == '\n' || c == '\r' || c == '\0') c = ' ';
  return v;
}

// The name of a "[section]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view t = Trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const size_t close = t.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(t.substr(1, close - 1));
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool CommentOrBlank(std::string_view line) {
  const std::string_view t = Trim(line);
  return t.empty() || t.front() == ';' || t.front() == '#';
}

}  // namespace

bool TEepFile::ReadText(const std::string& file, std::string& text) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return false;  // a new file
  if (fs::is_directory(file, ec)) throw Exception("Cannot read " + file + ": it is a folder");
  std::ifstream in(file, std::ios::binary);
  std::ostringstream all;
  if (in) all << in.rdbuf();
  if (!in || in.bad()) throw Exception("Cannot read " + file + ": " + std::strerror(errno));
  text = all.str();
  // Only a file understood line by line is used: anything the reader would drop would be lost
  // from the file at the next save.
  size_t n = 0;
  const size_t bom = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (const TLine& l : SplitLines(text)) {
    ++n;
    const size_t b = n == 1 ? l.begin + bom : l.begin;
    const std::string_view line(text.data() + b, l.end - b);
    std::string why;
    if (line.find('\0') != std::string_view::npos)
      why = "holds a NUL byte";
    else if (!ValidUtf8(line))
      why = "is not UTF-8 text";
    else if (line.find('\r') != std::string_view::npos)
      why = "holds a lone carriage return";
    else if (!CommentOrBlank(line) && !SectionName(line) && line.find('=') == std::string_view::npos)
      why = "is neither a [section] nor a key=value line";
    if (!why.empty())
      throw Exception("Cannot read " + file + ": line " + std::to_string(n) + " " + why +
                      "; the file is left unchanged");
  }
  return true;
}

void TEepFile::Open(const std::string& file, CSimpleIniA& doc) const {
  std::string text;
  if (!ReadText(file, text)) return;
  if (doc.LoadData(text) < 0) throw Exception("Cannot read " + file);
}

std::string TEepFile::Splice(const std::string& text, const std::string& section, const std::string& block,
                             const std::string& eol) {
  std::string out;
  const std::vector<TLine> lines = SplitLines(text);
  for (size_t i = 0; i < lines.size();) {
    const TLine& l = lines[i];
    const std::string_view line(text.data() + l.begin, l.end - l.begin);
    const auto name = SectionName(line);
    if (!name || !SameName(*name, section)) {
      out.append(text, l.begin, l.next - l.begin);
      ++i;
      continue;
    }
    // the section's block runs to the next section; comments and blank lines after its last
    // key belong to what follows and stay
    size_t j = i + 1, last = i;
    for (; j < lines.size(); ++j) {
      const std::string_view v(text.data() + lines[j].begin, lines[j].end - lines[j].begin);
      if (SectionName(v)) break;
      if (!CommentOrBlank(v)) last = j;
    }
    for (size_t k = last + 1; k < j; ++k) out.append(text, lines[k].begin, lines[k].next - lines[k].begin);
    i = j;
  }
  if (!out.empty() && out.back() != '\n') out += eol;
  if (!out.empty()) {  // a blank line between sections
    const TLine last = SplitLines(out).back();
    if (last.end > last.begin) out += eol;
  }
  return out + block;
}

std::string TEepFile::Block(const std::string& section, TDateTime now, const TEepHeader& h,
                            const TEepKeys& fields, TIsaMaps1* isa, const std::string& eol) const {
  CSimpleIniA fresh;
  const char* s = section.c_str();
  fresh.SetValue(s, "SaveDateTime", FormatDateTime(cSaveDateFormat, now).c_str());
  fresh.SetValue(s, "ModelID", OneLine(h.ModelID).c_str());
  fresh.SetValue(s, "BootID", OneLine(h.BootID).c_str());
  fresh.SetValue(s, "Program", OneLine(h.Program).c_str());
  for (const auto& [k, v] : fields) fresh.SetValue(s, k.c_str(), OneLine(v).c_str());
  if (isa) isa->SaveIni(section, fresh);
  CSimpleIniA::TNamesDepend keys;
  fresh.GetAllKeys(s, keys);
  keys.sort(CSimpleIniA::Entry::LoadOrder());
  std::string b = "[" + section + "]" + eol;
  for (const auto& k : keys) b += std::string(k.pItem) + "=" + fresh.GetValue(s, k.pItem, "") + eol;
  return b;
}

void TEepFile::Save(const std::string& file, const std::vector<std::string>& sections, TDateTime now,
                    const TEepHeader& h, const TEepKeys& fields, TIsaMaps1* isa) const {
  std::string text;
  ReadText(file, text);
  const std::string eol = text.find("\r\n") != std::string::npos ? "\r\n" : "\n";
  std::vector<std::string> blocks;  // built first: a refused configurator leaves the file alone
  for (const std::string& s : sections) blocks.push_back(Block(s, now, h, fields, isa, eol));
  for (size_t k = 0; k < sections.size(); ++k) text = Splice(text, sections[k], blocks[k], eol);
  WriteFileAtomic(file, text);
}

void TEepFile::SaveConfig(const std::string& file, const TEepHeader& h, const TEepKeys& fields,
                          TIsaMaps1* isa) {
  const TDateTime now = Now();
  Save(file, {form_ + "." + FormatDateTime(cStampFormat, now), form_}, now, h, fields, isa);
}

void TEepFile::SaveConfig2(const std::string& file, const std::string& suffix, const TEepHeader& h,
                           const TEepKeys& fields, TIsaMaps1* isa) {
  Save(file, {form_ + suffix}, Now(), h, fields, isa);
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
