// "Vex316 Inspector": the raw converter value of every input channel of the analog 16-input
// model with channel statistics, the front end's reference, threshold, current-source and
// supply measurements, and four set points the user trims. It polls nothing itself: the
// model's simulator updates it at the end of every poll while it is visible.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace vex {

class TPorts1;

class TVex316desk1 {
 public:
  static constexpr const char* cCaption = "Vex316 Inspector";
  explicit TVex316desk1(TPorts1& ports) : ports_(ports) {}

  // One set point: its edit, range, register and whether the user changed it.
  struct TSetPoint {
    const char* Name;
    int Lo, Hi;
    int Reg;
    const char* Default;
    std::string Text;
    int Value = 0;
    bool Flag = false;
  };
  // In the order the changes are written: FvrSet, VolSet, EmpSet, DvsSet.
  std::array<TSetPoint, 4> Sets{{{"FvrSet", 3900, 4200, 1536, "4096", "", 0, false},
                                 {"VolSet", 0, 300, 1537, "5", "", 0, false},
                                 {"EmpSet", 0, 100, 1538, "15", "", 0, false},
                                 {"DvsSet", 0, 10000, 1539, "0", "", 0, false}}};
  TSetPoint& Set(const std::string& name);

  // The stepping rule of a set point edit: `step` +1/-1 for its buttons, 0 after typing;
  // `user`: a button, or the edit has the keyboard focus.
  void ButonWheel(TSetPoint& sp, int step, bool user);

  // Update by the simulator's poll (only while visible).
  void UpdateIfVisible() {
    if (Visible) DoSimul();
  }
  void DoSimul();
  void Clear();  // scan stopped: both value columns empty, set points 0
  // Clicking the summary field: its text with every comma a tab, for the clipboard.
  std::string SummaryForClipboard() const;

  // ---- grids ----
  static const std::vector<std::string>& ChannelRows();  // "1" .. "16", "* Mean *", ..., "4.Top"
  static const std::vector<std::string>& ValueRows();    // "RefSet b" .. "SupVal mV"
  std::vector<std::string> ChannelValues = std::vector<std::string>(23);
  std::vector<std::string> ValueValues = std::vector<std::string>(15);
  std::string Summary;
  int Mean = 0, Max = 0, Min = 0;

  bool Visible = false;
  bool RunOnce = false;
  std::function<void()> Changed;
  std::array<uint16_t, 35> Val{};  // tVex316val as read

 private:
  TPorts1& ports_;
};

}  // namespace vex
