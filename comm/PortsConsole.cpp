// Console state of the hub: status line, last error, the log, the link description and the
// fields of the manual request groups, each change passed on to the console observer.
#include "comm/Ports.h"

namespace vex {

void TPorts1::SetText(TConsoleText which, const std::string& text) {
  ConTexts[static_cast<int>(which)] = text;
  if (Console) Console->TextChanged(which, text);
}

void TPorts1::Mesaj(const std::string& m) {
  if (!m.empty()) {
    Log(m);
    SetText(TConsoleText::Status, ComText() + ", " + m);
  } else {
    SetText(TConsoleText::Status, "");
  }
  Error("");
}

void TPorts1::Error(const std::string& m) {
  SetText(TConsoleText::LastError, m);
  if (!m.empty()) Log("Error: " + m);
}

void TPorts1::Log(const std::string& m) {
  if (m.empty()) return;
  LogLines.push_back(m);
  if (Console) Console->LogAppended(m);
  if (LogLines.size() > 510) {
    const int removed = static_cast<int>(LogLines.size()) - 500;
    LogLines.erase(LogLines.begin(), LogLines.begin() + removed);
    if (Console) Console->LogTrimmed(removed);
  }
}

void TPorts1::ClearLog() {
  LogLines.clear();
  if (Console) Console->LogCleared();
}

std::string TPorts1::ComText() const {
  std::string s;
  if (NetworkActive()) {
    s = LabeledEdit30 + ":" + LabeledEdit31 + ", Id=" + LabeledEdit32 +
        (ClientSocket1.Active() ? ", Online" : ", Offline");
  } else {
    if (ComboBox1.empty()) {
      s = "COM";
    } else {
      const char* baud = ComboBox2 >= 0 && ComboBox2 < 8 ? cBaudText[ComboBox2] : "";
      const char* parity = ComboBox3 >= 0 && ComboBox3 < 6 ? cParityText[ComboBox3] : "";
      s = ComboBox1 + ", " + baud + ", " + parity + ", Id=" + LabeledEdit1;
    }
    s += Comm1.Enabled() ? " Open" : " Closed";
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == ',')) s.pop_back();
  return s;
}

std::string TPorts1::ComText2() const {
  const std::string& err = Text(TConsoleText::LastError);
  return Text(TConsoleText::Status) + (err.empty() ? "" : ", " + err);
}

void TPorts1::SetGroupField(TTestGroup g, TGroupField f, const std::string& text) {
  TGroupState& s = Group(g);
  std::string shown = text;
  switch (f) {
    case TGroupField::First:
      s.First = text;
      break;
    case TGroupField::Second:
      s.Second = text;
      break;
    case TGroupField::Query:
      s.Query = text;
      break;
    case TGroupField::Result:
      s.Result = text;
      break;
    case TGroupField::Values:
      s.Values.clear();
      if (!text.empty()) s.Values.push_back(text);
      break;
  }
  if (Console) Console->GroupFieldChanged(g, f, shown);
}

void TPorts1::AddGroupValues(TTestGroup g, const std::string& line) {
  TGroupState& s = Group(g);
  s.Values.push_back(line);
  std::string all;
  for (size_t i = 0; i < s.Values.size(); ++i) all += (i ? "\n" : "") + s.Values[i];
  if (Console) Console->GroupFieldChanged(g, TGroupField::Values, all);
}

}  // namespace vex
