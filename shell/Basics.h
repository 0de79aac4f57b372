// Common value conversions: text forms of device values, range-limited operator input,
// the Modbus CRC and data folders. Free functions without state.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vex {

// Every failure of the system is an exception with a plain English message.
class Exception : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A byte string as exchanged with a device (frames are at most 255 bytes).
using ByteStr = std::string;

// Calendar date-time as a day count since 1899-12-30 with the time as fraction
// (the common desktop convention; 2000-01-01 00:00 is 36526.0).
using TDateTime = double;
constexpr TDateTime cBase2000 = 36526.0;
TDateTime EncodeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                         int msec = 0);
struct DateTimeParts {
  int year, month, day, hour, minute, second, msec;
};
DateTimeParts DecodeDateTime(TDateTime t);  // rounded to the millisecond
TDateTime NowLocal();                       // local wall-clock time
// Formats with d, dd, m, mm, yy, yyyy, h, hh, n, nn, s, ss, z, zzz (the desktop style).
std::string FormatDateTime(std::string_view fmt, TDateTime t);

// Colours: 0x00BBGGRR, plus a few system colours that a view maps to its palette.
using TColor = uint32_t;
constexpr TColor RGB(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
constexpr TColor clWindow = 0xFF000005;   // normal edit background
constexpr TColor clBtnFace = 0xFF00000F;  // normal button face
constexpr TColor clBtnText = 0xFF000012;  // normal button text
constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clRed = RGB(255, 0, 0);
constexpr TColor clWhite = RGB(255, 255, 255);
constexpr TColor clBlack = RGB(0, 0, 0);
constexpr TColor clLightRed = RGB(255, 160, 160);  // a refused delay field

// A labelled input field as the conversions see it; Qt edits and plain
// command-line values implement it.
class ILabeledField {
 public:
  virtual ~ILabeledField() = default;
  virtual std::string Text() const = 0;
  virtual std::string Caption() const = 0;  // caption of the field's label
  virtual void SetColor(TColor) {}
  virtual bool CanFocus() const { return false; }  // can take the focus and its window is visible
  virtual void SetFocus() {}
};

// A field that is only a value and a caption (command line, tests).
class PlainField : public ILabeledField {
 public:
  PlainField(std::string text, std::string caption) : text_(std::move(text)), caption_(std::move(caption)) {}
  std::string Text() const override { return text_; }
  std::string Caption() const override { return caption_; }
  void SetColor(TColor c) override { color_ = c; }
  bool CanFocus() const override { return focusable_; }
  void SetFocus() override { focused_ = true; }
  void SetText(std::string t) { text_ = std::move(t); }
  TColor color() const { return color_; }
  bool focused() const { return focused_; }
  void setFocusable(bool f) { focusable_ = f; }

 private:
  std::string text_, caption_;
  TColor color_ = clWindow;
  bool focusable_ = false, focused_ = false;
};

// The focus of a window's edit fields, for windows whose fields are texts of a core object: the
// view hooks each text to its edit, so that a field refused by a range check takes the focus.
// Without hooks (command line, tests without a window) no field can take it.
class TFieldFocus {
 public:
  struct Hook {
    std::function<bool()> CanFocus;  // the edit can take the focus and its window is visible
    std::function<void()> SetFocus;
  };
  void Set(const std::string* field, Hook h) { hooks_[field] = std::move(h); }
  void Remove(const std::string* field) { hooks_.erase(field); }
  void Clear() { hooks_.clear(); }
  bool CanFocus(const std::string* field) const {
    const auto it = hooks_.find(field);
    return it != hooks_.end() && it->second.CanFocus && it->second.CanFocus();
  }
  void SetFocus(const std::string* field) const {
    const auto it = hooks_.find(field);
    if (it != hooks_.end() && it->second.SetFocus) it->second.SetFocus();
  }

 private:
  std::map<const std::string*, Hook> hooks_;
};

// A text of a core object read as a labelled field, with the focus of its window's edit.
class TextField : public ILabeledField {
 public:
  TextField(const std::string& text, std::string caption, const TFieldFocus* focus = nullptr)
      : text_(text), caption_(std::move(caption)), focus_(focus) {}
  std::string Text() const override { return text_; }
  std::string Caption() const override { return caption_; }
  bool CanFocus() const override { return focus_ && focus_->CanFocus(&text_); }
  void SetFocus() override {
    if (focus_) focus_->SetFocus(&text_);
  }

 private:
  const std::string& text_;
  std::string caption_;
  const TFieldFocus* focus_;
};

constexpr bool TT = true;
constexpr bool FF = false;
extern const int cDayOfMon[2][12];

// ---- text forms ----
std::string InttoZero(int64_t v, int d);
std::string InttoDot(int64_t v, int p);
std::string InttoBin(uint32_t v, int p);
std::string BitstoStr(uint32_t v, const std::vector<std::string>& a);
std::string Str255toHex(std::string_view s);
std::string InttoDate(uint32_t v);
std::string InttoTime(uint32_t v);
std::string InttoTick(uint32_t v);
std::string InttoBase(uint32_t v);
uint32_t DateTimetoBase(TDateTime t);
std::string InttoModel(uint32_t v);
std::string InttoTerso(uint32_t v);
std::string InttoVexxx(uint32_t v);
std::string InttoIPform(uint32_t v);
std::string InttoMacform(uint32_t v);
std::string DelaytoStr(double x);
std::string IntToHex(uint64_t v, int digits);  // upper-case, zero-padded

// ---- parsing ----
double StrtoDelay(const std::string& s);
std::string GetStr(std::string& s);
int64_t GetInt(std::string& s, int64_t v);
std::string GetStrc(std::string& s, char c);
inline int64_t QQ(bool b, int64_t x, int64_t y) { return b ? x : y; }
// Integer as the desktop's StrToInt reads it: decimal, "$" or "0x" hex, optional sign.
// Raises "'<s>' is not a valid integer value".
int64_t StrToInt(const std::string& s);
bool TryStrToInt(const std::string& s, int64_t& v);
// The same for 64-bit values (bitmaps of up to 64 inputs in configuration files).
int64_t StrToInt64(const std::string& s);
bool TryStrToInt64(const std::string& s, int64_t& v);
int64_t LbEdttoInt(ILabeledField& e, int64_t mn, int64_t mx);
double LbEdttoDelay(ILabeledField& e, const std::string& eeCaption, double mn, double mx);
uint32_t LbEdttoIpform(ILabeledField& e);

// ---- checksums ----
uint16_t CrcofBin(const void* b, size_t s, uint16_t c);
inline uint16_t CrcofStr(std::string_view s) { return CrcofBin(s.data(), s.size(), 0xFFFF); }

// ---- folders ----
std::string ExeDir();  // folder of the running executable, without a trailing separator
std::string ForceDir(const std::string& s);

}  // namespace vex
