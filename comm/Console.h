// Observer of the hub's diagnostics console: the diagnostics window shows what it is told
// here, the command line's --log prints it, tests record it. Every call is optional.
#pragma once

#include <string>

namespace vex {

// The "Communication Data and Status" fields.
enum class TConsoleText { Transmit, Receive, Status, LastError };

// The test groups of the "Coil Functions", "Register Functions" and "Diagnostic Functions"
// pages, one per Modbus function group.
enum class TTestGroup {
  Coils,       // 0x01/0x02: "Starting Address:", "Quantity of Inputs:", "Values:"
  Registers,   // 0x03/0x04: "Starting Address:", "Quantity of Registers:", "Values:"
  WriteMulti,  // 0x10: "Starting Address:", "Quantity of Registers:", "Values:"
  WriteCoil,   // 0x05: "Output Address:", "Output Value:"
  WriteReg,    // 0x06: "Register Address:", "Register Value:"
  Echo,        // 0x08: "Requested Value:", "Returned Value:"
};
inline constexpr int kTestGroups = 6;

// Fields of a test group: the group's two edit fields (address/quantity, or the pairs named
// above), the "Values:" box (lines joined by '\n'), "Query:" and "Result:".
enum class TGroupField { First, Second, Values, Query, Result };

class IConsole {
 public:
  virtual ~IConsole() = default;
  // A status field changed; for LastError a non-empty text is shown white on red, an empty
  // one clears the field back to its normal colours.
  virtual void TextChanged(TConsoleText, const std::string&) {}
  virtual void LogAppended(const std::string&) {}
  virtual void LogTrimmed(int /*removedFromTop*/) {}  // then the caret goes to the end
  virtual void LogCleared() {}
  virtual void GroupFieldChanged(TTestGroup, TGroupField, const std::string&) {}
};

}  // namespace vex
