// The ISA-18.1 sequence configurator ("ISA-18.1-1979 (R1992) Configurator").
//
// TIsaMaps1 holds the alarm sequence of every input as one map of per-input bitmaps (Eep),
// derives which ISA-18.1 sequence and options each input has, saves and loads the map in the
// configuration image files and converts it to and from every model's sequence record. It also
// holds everything its window shows (field texts, ticks, colours, list items and indexes,
// enabled flags, the channel lines) so that a view only binds controls to it and forwards the
// user's changes through the *Change/*Click operations; tests drive it the same way.
// It never talks to a device.
#pragma once

#ifndef SI_NO_CONVERSION
#define SI_NO_CONVERSION  // plain UTF-8 text
#endif
#ifndef SI_IMPLEMENTATION
#define SI_IMPLEMENTATION  // header-only use
#endif
#include <SimpleIni.h>

#include <array>
#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/RegMap.h"
#include "config/Vex216type.h"
#include "config/Vex324type.h"
#include "config/Vex924type.h"
#include "config/Vex932type.h"
#include "config/Vex936type.h"
#include "shell/Basics.h"

namespace vex {

// The sequence map: bit n of a bitmap stands for input n+1.
struct tIsa18 {
  // derived, display only (recomputed by Reload, never saved or sent)
  uint64_t IsaAA1, IsaMM1, IsaRR1;          // sequence A (automatic reset), M (manual reset), R (ringback)
  uint64_t IsaFF1, IsaFF2, IsaFF3;          // first-out variants (never set)
  uint64_t IsaS01, IsaS02, IsaS03, IsaS04;  // ISA options 1..13
  uint64_t IsaS05, IsaS06, IsaS07, IsaS08, IsaS09, IsaS10, IsaS11, IsaS12, IsaS13;
  // per state: colour bits, flash bits, buzzer, output 1 (horn), output 2 (bell)
  uint64_t AlmRed, AlmGrn, AlmBlu, AlmSld, AlmBln, AlmBuz, AlmRo1, AlmRo2;  // First Alarm
  uint64_t MomRed, MomGrn, MomBlu, MomSld, MomBln, MomBuz, MomRo1, MomRo2;  // Momentary
  uint64_t AckRed, AckGrn, AckBlu, AckSld, AckBln, AckBuz, AckRo1, AckRo2;  // Acknowledged
  uint64_t RngRed, RngGrn, RngBlu, RngSld, RngBln, RngBuz, RngRo1, RngRo2;  // Ring Back
  uint64_t SilLck;                                                          // First Alarm "Silence Interlock"
  uint64_t AutRes;                                                          // Acknowledged "Auto Reset"
  uint64_t InpInv;                                                          // "Inverse Input Logic"
  uint16_t AlmTim;                                                          // auto alarm silence, s (0 = off)
  uint16_t RngTim;                                                          // auto ringback silence, s
  uint16_t TstBtn;         // TEST button and general option bits
  uint16_t HrnBtn;         // HORN button option bits
  uint16_t DimBrg;         // brightness 1..7
  uint16_t DimLev;         // dim level 8..30
  uint16_t DimOpt;         // dimmer option bits
  uint16_t DimTim;         // dim timer, s
  uint16_t GraChn;         // delayed inputs of group A
  uint16_t GraFun;         // group A function (always 0)
  int32_t GraDet, GraClr;  // group A detection and clearance delay, ms
  uint16_t GrbChn, GrbFun;
  int32_t GrbDet, GrbClr;
  uint16_t GrpOpt;  // delay option bits
};

// ---- value lists -------------------------------------------------------------------

enum TRenk { lcBlack, lcRed, lcGreen, lcYellow, lcBlue, lcPurple, lcTurkuaz, lcWhite };
using TRenkSet = std::bitset<8>;  // allowed colours, indexed by TRenk
extern const char* const cRenks[8];
extern const TColor cRenk[8];
extern const char* const cBlink[4];
extern const char* const cBlink2[4];  // the flash list of Ring Back and Momentary
extern const char* const cSound[2];
extern const char* const cRelay[4];
extern const char* const cLock[2];
extern const char* const cReset[2];
constexpr TColor clSilver = RGB(0xC0, 0xC0, 0xC0);

// ---- window elements ------------------------------------------------------------------

// An edit field whose text a caller can set (the configurator's fields, the editors' fields).
class IEditField : public ILabeledField {
 public:
  virtual void SetText(const std::string& t) = 0;
};

// An edit field or an editable drop-down list of the window.
class TEdit : public IEditField {
 public:
  TEdit() = default;
  explicit TEdit(std::string caption) : caption_(std::move(caption)) {}
  std::string Text() const override { return text_; }
  std::string Caption() const override { return caption_; }
  void SetText(const std::string& t) override { text_ = t; }
  void SetColor(TColor c) override { Color = c; }
  bool CanFocus() const override { return Enabled && Visible && (!OwnerVisible || *OwnerVisible); }
  void SetFocus() override;

  TColor Color = clWindow;
  bool Enabled = true;
  bool Visible = true;
  bool Focused = false;
  std::vector<std::string> Items;       // entries of a drop-down list
  const bool* OwnerVisible = nullptr;   // the window's visibility
  std::function<void(TEdit*)> OnFocus;  // the window moves its focus here

 private:
  std::string caption_, text_;
};

enum TCheck { cbUnchecked, cbChecked, cbGrayed };

struct TCheckBox {
  std::string Caption, Hint;
  TCheck State = cbUnchecked;
  bool Enabled = true;
  bool Visible = true;
  bool Checked() const { return State == cbChecked; }
};

struct TComboList {
  std::vector<std::string> Items;
  int ItemIndex = -1;  // -1: no selection
  bool Enabled = true;
};

struct TGroupBox {
  std::string Caption;
  bool Enabled = true;
  bool Visible = true;
};

// The state boxes in screen order; "Normal" only anchors the diagram.
enum TIsaState { isAlm, isAck, isRng, isMom, isNormal };
extern const char* const
    cStateCaption[5];  // "First Alarm", "Acknowledged", "Ring Back", "Momentary", "Normal"
// The lists of a state box: the lock list belongs to First Alarm, the reset list to Acknowledged.
enum TIsaProp { ipColor, ipFlash, ipSound, ipRelay, ipLock, ipReset };

// Option boxes, each one bit of an option word of the map.
enum TOptBox {
  obHrnTog,
  obHrnOt1,
  obHrnOt2,
  obHrnBuz,
  obAasOt1,
  obAasOt2,
  obArsOt1,
  obArsOt2,  // HrnBtn 1..128
  obTstBuz,
  obTstOt1,
  obTstOt2,
  obInvMin,
  obComDia,
  obVirLck,
  obInvOt1,
  obInvOt2,  // TstBtn 1..128
  obDimNor,
  obDimAct,
  obDimAlm,
  obDimPnl,  // DimOpt 16..128
  obEchBlu,
  obEchInp,
  obDlyPnl,  // GrpOpt 32..128
  obCount
};
struct TOptDef {
  const char* caption;
  const char* group;
  const char* hint;
  uint16_t tIsa18::*word;
  uint16_t bit;
};
extern const TOptDef cOptDefs[obCount];

// Numeric fields and delay lists.
enum TIsaEdit { edAlmTim, edRngTim, edDimBrg, edDimLev, edDimTim, edGraChn, edGrbChn, edCount };
enum TIsaDelay { dlGraDet, dlGraClr, dlGrbDet, dlGrbClr, dlCount };

// Group boxes whose enabled/visible state the setup decides.
enum TIsaGroup { grDimmer, grDelay, grInvOut, grCount };

// Sequence description boxes: A, M, R, F1..F3, options 01..13.
constexpr int cDescCount = 19;
extern const char* const cDescCaption[cDescCount];

// A labelled arrow of the state diagram.
struct TArrow {
  TIsaState from, to;
  const char* label;
  TColor color;
};

class TIsaMaps1 {
 public:
  TIsaMaps1();
  TIsaMaps1(const TIsaMaps1&) = delete;
  TIsaMaps1& operator=(const TIsaMaps1&) = delete;

  static constexpr const char* cCaption = "ISA-18.1-1979 (R1992) Configurator";

  // ---- operations ----
  // Prepares the window for a model: s inputs, e1 "Comm Diagnostic", e2 "Virtual Mode Lock",
  // e3 inversion ("Inverse Outputs", "Inverse Input Logic", "InvIO Mini Config"), e4 dimmer,
  // c the colours offered, L1/L2 the editor's detection and clearance fields (may be null).
  void Setup(int s, bool e1, bool e2, bool e3, bool e4, TRenkSet c, IEditField* L1, IEditField* L2, bool e6);
  void SetDelays(int d1, int b1, int d2, int b2, int d3, int b3, int d4, int b4);
  void ReadOpt();   // screen -> Eep; raises the field's message
  void WriteOpt();  // Eep -> screen
  void Reload();    // derived bitmaps, channel lines, selection
  void SaveIni(const std::string& section, CSimpleIniA& doc);
  void LoadIni(const std::string& section, CSimpleIniA& doc);
  static double InttoDelay(int64_t ms);
  static int64_t DelaytoInt(double seconds);
  // What a delay list shows for a stored delay: DelaytoStr(InttoDelay(ms)), or the milliseconds
  // when that text would read back as another value (2500 is shown "2500 mS", not "2 S").
  static std::string DelayText(int64_t ms);
  void Clear();  // every field of Eep to zero (an editor's Read Config)

  // presets "Default - T", "Default - A", "Default - N"
  void DefaultT();
  void DefaultA();
  void DefaultN();

  // ---- record <-> map (the editors' WriteIsa / ReadIsa) ----
  // Vex324: `size` is the record size of the variant (142, 148 or 160); only the bytes present are used.
  void WriteIsa(const tVex324isa& r, int size);
  void ReadIsa(tVex324isa& r);
  void WriteIsa(const tVex924isa& r);
  void ReadIsa(tVex924isa& r);
  void WriteIsa(const tVex932isa& r);
  void ReadIsa(tVex932isa& r);
  void WriteIsa(const tVex936isa& r);
  void ReadIsa(tVex936isa& r);
  void WriteIsa(const tVex216isa& r);  // 66 bytes, with InpInv
  void ReadIsa(tVex216isa& r);
  void WriteIsa(const tVex216is7& r);  // 64 bytes
  void ReadIsa(tVex216is7& r);

  // ---- user actions (what the view forwards) ----
  void SelectChannels(const std::vector<int>& inputs);  // 1-based; replaces the selection
  void ListChange(TIsaState s, TIsaProp p, int index);
  void InpInvClick(TCheck state);
  void OptionClick(TOptBox b, bool ticked);
  void EditChange(TIsaEdit e, const std::string& text);
  void DelayChange(TIsaDelay d, const std::string& text);
  void StepClick(TIsaEdit e, int direction);  // ▲ = +1, ▼ = -1
  void Show() { Visible = true; }
  void Hide() { Visible = false; }

  // ---- queries ----
  std::string ChannelLine(int n) const;  // 1-based
  TComboList& List(TIsaState s, TIsaProp p);
  const TComboList& List(TIsaState s, TIsaProp p) const;
  std::vector<TArrow> Arrows() const;
  TEdit* FocusField() const { return focus_; }
  uint64_t AllInputs() const;  // bits of inputs 1..Siz

  // ---- state ----
  tIsa18 Eep{};
  int Siz = 0;
  bool Bsy = false;
  bool B90 = false;
  bool Visible = false;
  IEditField* Le1 = nullptr;
  IEditField* Le2 = nullptr;
  int Dly1 = 0, Dly2 = 0, Dly3 = 0, Dly4 = 0;
  int Dbs1 = 0, Dbs2 = 0, Dbs3 = 0, Dbs4 = 0;
  std::vector<TColor> Rnk;     // display colour of each entry of the colour lists
  std::vector<int> RnkColour;  // colour index (TRenk) of each entry of the colour lists

  std::vector<std::string> ChnLines;  // "Device Input Channels:"
  std::vector<bool> ChnSel;
  std::array<TColor, 4> Swatch{};
  std::array<TCheckBox, obCount> Boxes;
  TCheckBox InpInvBox;  // "Inverse Input Logic"
  std::array<TEdit, edCount> Edits;
  std::array<TEdit, dlCount> Delays;
  std::array<TGroupBox, grCount> Groups;
  std::array<TCheckBox, cDescCount> Desc;

 private:
  TComboList lists_[4][4];
  TComboList lock_, reset_;
  TEdit* focus_ = nullptr;

  int IndexOf(TIsaState s, TIsaProp p, int input) const;  // the list index input `input` (0-based) shows
  void WriteIndex(TIsaState s, TIsaProp p, int index, int input);
  void ShowSelection();
  void ApplyEnabling();
  void RedrawList();
  void ReadRange(TIsaEdit e, int lo, int hi, const std::string& name, uint16_t& out);
  void PresetT();
  void AfterPreset();
  bool FieldAboveZero(TIsaEdit e) const;
  uint64_t Lit(TIsaState s) const;
  template <class R>
  void WriteGroups(const R& r, int groups);
  template <class R>
  void ReadGroups(R& r, int groups);
  void Write216(const std::vector<uint16_t>& w, uint8_t almTim, uint8_t rngTim, uint8_t tst, uint8_t hrn);
  std::vector<uint16_t> Read216();
};

// Prepares the configurator as the model's editor does ("Setup Cfg") for an application variant.
// Raises an error for the rack modules, which have no alarm sequences.
void SetupForModel(TIsaMaps1& isa, TVexModel m, int appSof, IEditField* L1, IEditField* L2);

// The model's sequence record (the variant's size) from the map, and the map from it; the
// words are those moved to and from register 128.
std::vector<uint16_t> ReadIsaWords(TIsaMaps1& isa, TVexModel m, int appSof);
void WriteIsaWords(TIsaMaps1& isa, TVexModel m, int appSof, const std::vector<uint16_t>& words);

}  // namespace vex
