#include "monitor/Vex316desk.h"

#include <algorithm>

#include "comm/Ports.h"
#include "config/RegMap.h"
#include "monitor/SimSampling.h"

namespace vex {

const std::vector<std::string>& TVex316desk1::ChannelRows() {
  static const std::vector<std::string> r = [] {
    std::vector<std::string> v;
    for (int i = 1; i <= 16; ++i) v.push_back(std::to_string(i));
    for (const char* s : {"* Mean *", "* Max *", "* Min *", "1.Opto", "2.Down", "3.Fix", "4.Top"})
      v.push_back(s);
    return v;
  }();
  return r;
}

const std::vector<std::string>& TVex316desk1::ValueRows() {
  static const std::vector<std::string> r = {"RefSet b",  "RefAdc b",  "RefVal mV", "LthAdc b", "LthVal mV",
                                             "CurSet uA", "CurVal uA", "DvsCur uA", "PwmVal %", "CecAdc b",
                                             "CecVal uA", "CtrVal %",  "PwrVal mW", "SupAdc b", "SupVal mV"};
  return r;
}

TVex316desk1::TSetPoint& TVex316desk1::Set(const std::string& name) {
  for (auto& s : Sets)
    if (name == s.Name) return s;
  throw Exception("Unknown set point " + name);
}

void TVex316desk1::ButonWheel(TSetPoint& sp, int step, bool user) {
  if (!vex::ButonWheel(sp.Text, step, sp.Lo, sp.Hi, sp.Value)) return;
  if (user) sp.Flag = true;
}

void TVex316desk1::DoSimul() {
  if (!RunOnce) {
    RunOnce = true;
    for (auto& s : Sets) {
      s.Text = s.Default;
      ButonWheel(s, 0, false);
    }
  }
  for (auto& s : Sets) {
    if (!s.Flag) continue;
    s.Flag = false;
    ports_.ModWrite(static_cast<uint16_t>(s.Reg), static_cast<uint16_t>(s.Value), true);
  }
  ports_.ModReadMulti(cRegAnalog, 35, Val.data(), true);
  int count = 0, sum = 0, mx = 0, mn = 0;
  for (int i = 0; i < 16; ++i) {
    const int v = Val[static_cast<size_t>(i)];
    ChannelValues[static_cast<size_t>(i)] = std::to_string(v);
    if (v <= 5) continue;
    mx = count ? std::max(mx, v) : v;
    mn = count ? std::min(mn, v) : v;
    sum += v;
    ++count;
  }
  Mean = Max = Min = 0;
  if (count == 0) {
    ChannelValues[16] = ChannelValues[17] = ChannelValues[18] = "";
  } else {
    Mean = sum / count, Max = mx, Min = mn;
    ChannelValues[16] = std::to_string(Mean);
    ChannelValues[17] = std::to_string(Max) + " %" + std::to_string((Max - Mean) * 100 / Mean);
    ChannelValues[18] = std::to_string(Min) + " %" + std::to_string((Min - Mean) * 100 / Mean);
  }
  for (int i = 0; i < 4; ++i)
    ChannelValues[static_cast<size_t>(19 + i)] = std::to_string(Val[static_cast<size_t>(16 + i)]);
  // decimals of each value row: RefSet RefAdc RefVal LthAdc LthVal CurSet CurVal DvsCur PwmVal
  // CecAdc CecVal CtrVal PwrVal SupAdc SupVal
  static constexpr int kDecimals[15] = {0, 0, 3, 0, 3, 1, 1, 1, 1, 0, 1, 2, 3, 0, 3};
  for (size_t i = 0; i < 15; ++i) ValueValues[i] = InttoDot(Val[20 + i], kDecimals[i]);
  Summary = ValueValues[4] + "," + ValueValues[11] + "," + ValueValues[9] + "," + std::to_string(Mean) + "," +
            std::to_string(Max) + "," + std::to_string(Min);
  if (Changed) Changed();
}

void TVex316desk1::Clear() {
  std::fill(ChannelValues.begin(), ChannelValues.end(), "");
  std::fill(ValueValues.begin(), ValueValues.end(), "");
  for (auto& s : Sets) {
    s.Value = 0;
    s.Flag = false;
  }
  RunOnce = false;
  if (Changed) Changed();
}

std::string TVex316desk1::SummaryForClipboard() const {
  std::string s = Summary;
  std::replace(s.begin(), s.end(), ',', '\t');
  return s;
}

}  // namespace vex
