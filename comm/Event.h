// Event records of the annunciators and the event window "Vex Events": every record becomes
// one or more time-stamped text lines (one per participating input for channel events).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "shell/Basics.h"

namespace vex {

// Event record as the device keeps it in its event log (13 registers).
struct tVexEvn {
  uint16_t Smp = 0;    // not used by the display
  uint32_t Seq = 0;    // event sequence number; 0 marks an empty record
  uint16_t Typ = 0;    // event kind (EventKindText)
  uint16_t Dat = 0;    // day number, days since 2000-01-01
  uint32_t Tim = 0;    // time of day in milliseconds
  uint16_t Reg01 = 0;  // channel word of inputs 1-16 (not shown)
  uint16_t Reg23 = 0;  // channel word of inputs 17-32 (not shown)
  uint16_t Reg45 = 0;  // channel word of inputs 33-48 (not shown)
  uint16_t Dif01 = 0;  // bit i: input i+1 took part in the event
  uint16_t Dif23 = 0;  // bit i: input i+17 took part
  uint16_t Dif45 = 0;  // bit i: input i+33 took part

  static constexpr size_t cBytes = 26;
  static constexpr size_t cWords = 13;
  // Register words as read from the device; 32-bit fields low word first.
  static tVexEvn FromWords(const uint16_t* w);
  void ToWords(uint16_t* w) const;
  // The record's byte image (little-endian, as delivered by the extended reads).
  static tVexEvn FromBytes(const uint8_t* b);
};

// Short sequence record of the 8- and 16-input models and of the rack modules' stream (9 registers).
struct tVexSek {
  uint32_t Seq = 0;    // event sequence number; 0 marks an empty record
  uint16_t Typ = 0;    // event kind
  uint16_t Dat = 0;    // day number, days since 2000-01-01
  uint32_t Tim = 0;    // time of day in milliseconds
  uint16_t Dif01 = 0;  // participating inputs 1-16
  uint16_t Dif23 = 0;  // participating inputs 17-32
  uint16_t Dif45 = 0;  // participating inputs 33-48

  static constexpr size_t cBytes = 18;
  static constexpr size_t cWords = 9;
  static tVexSek FromWords(const uint16_t* w);
  void ToWords(uint16_t* w) const;
  static tVexSek FromBytes(const uint8_t* b);
};

// Text of an event kind; kinds without a text read "UNDEF".
std::string EventKindText(unsigned typ);
// Kinds 3..15 are system events (one line, no channel); every other kind is a channel event.
inline bool IsSystemEvent(unsigned typ) { return typ >= 3 && typ <= 15; }

// Receives the changes of the event window's text (the Qt view appends instead of redrawing).
class IEventView {
 public:
  virtual ~IEventView() = default;
  virtual void LineAdded(const std::string& line) = 0;
  virtual void FirstLineRemoved() = 0;
  virtual void Cleared() = 0;
};

// The event window "Vex Events": a read-only list of at most cMaxLines + 1 lines and "Clear".
class TEvent1 {
 public:
  static constexpr const char* cCaption = "Vex Events";
  static constexpr size_t cMaxLines = 300;  // more than this: the oldest line goes before an append

  TEvent1() = default;
  TEvent1(const TEvent1&) = delete;
  TEvent1& operator=(const TEvent1&) = delete;

  void ShowEvent(const tVexEvn& v);
  void ShowSekans(const tVexSek& v);
  // Appends "dd/mm/yy hh:nn:ss.zzz - " + s.
  void AddEvent(TDateTime t, const std::string& s);
  void Clear();  // "Clear"

  const std::deque<std::string>& Lines() const { return lines_; }
  std::string Text() const;  // the lines joined by '\n'

  void SetView(IEventView* v) { view_ = v; }
  // Whether the window is shown; the simulators feed it only then.
  bool Visible = false;

 private:
  std::deque<std::string> lines_;
  IEventView* view_ = nullptr;
};

// Calendar time of a device stamp: 2000-01-01 + dat days + tim milliseconds.
TDateTime EventTime(uint16_t dat, uint32_t tim);

}  // namespace vex
