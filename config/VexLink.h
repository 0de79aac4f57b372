// Moving the annunciators' records over the Modbus link: the three-request sequence record
// transfer, the command register sequences, coils of the remote inputs, the remote input
// record and the device clock.
//
// The operations are templates over the port so that they run against the hub (TPorts1,
// instantiated in VexLink.cpp) or a recording fake in tests. A port offers
//   ModWrite(uint16_t a, uint16_t d, bool u), ModReadMulti(int a, int c, uint16_t* v, bool u),
//   ModWriteMulti(uint16_t a, uint16_t c, const uint16_t* v, bool u), ModWriteCoil(uint16_t a, bool d, bool
//   u).
// `u` echoes every transaction to the diagnostics console (set in the configuration screens).
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "comm/Ports.h"
#include "config/Records.h"
#include "config/RegMap.h"
#include "config/Vex924type.h"
#include "config/Vex932type.h"
#include "config/Vex936type.h"

namespace vex {

// One request of the sequence record transfer: `count` registers from `reg`, record words from `word`.
struct TSeqRequest {
  uint16_t reg;
  uint16_t count;
  uint16_t word;
};

// The three requests for a record of `size` bytes: n = size div 6 registers from 128, n from 128+n,
// and the rest (size div 2 - 2n) from 128+2n.
std::array<TSeqRequest, 3> SequenceRequests(int size);

template <class Port>
void ReadSequence(Port& p, int size, uint16_t* words, bool u) {
  for (const TSeqRequest& r : SequenceRequests(size)) p.ModReadMulti(r.reg, r.count, words + r.word, u);
}

template <class Port>
std::vector<uint16_t> ReadSequence(Port& p, int size, bool u) {
  std::vector<uint16_t> w(static_cast<size_t>(size / 2), 0);
  ReadSequence(p, size, w.data(), u);
  return w;
}

template <class Port>
void WriteSequence(Port& p, int size, const uint16_t* words, bool u) {
  for (const TSeqRequest& r : SequenceRequests(size)) p.ModWriteMulti(r.reg, r.count, words + r.word, u);
}

template <class Port>
void WriteSequence(Port& p, const std::vector<uint16_t>& words, bool u) {
  WriteSequence(p, static_cast<int>(words.size() * 2), words.data(), u);
}

// ---- command register ----

// 0, then the command word (keys, a window number).
template <class Port>
void SendCommand(Port& p, uint16_t cmd, bool u) {
  p.ModWrite(cRegCommand, 0, u);
  p.ModWrite(cRegCommand, cmd, u);
}

// 0, $1234: unlock before a configuration write sequence.
template <class Port>
void UnlockConfig(Port& p, bool u) {
  SendCommand(p, static_cast<uint16_t>(xCmdEnb), u);
}

// 0, $1234, $8888: store the working configuration in EEPROM.
template <class Port>
void StoreEeprom(Port& p, bool u) {
  UnlockConfig(p, u);
  p.ModWrite(cRegCommand, static_cast<uint16_t>(xCmdEep), u);
}

// 0, $1234, $9999: restart the device.
template <class Port>
void RestartDevice(Port& p, bool u) {
  UnlockConfig(p, u);
  p.ModWrite(cRegCommand, static_cast<uint16_t>(xCmdRes), u);
}

// $1234, $F417 with no leading 0: erase the event memory.
template <class Port>
void EraseEvents(Port& p, bool u) {
  p.ModWrite(cRegCommand, static_cast<uint16_t>(xCmdEnb), u);
  p.ModWrite(cRegCommand, static_cast<uint16_t>(xCmdErs), u);
}

// The channel command for window n (1..inputs).
template <class Port>
void PressWindow(Port& p, int n, int inputs, bool u) {
  if (n < 1 || n > inputs)
    throw Exception("Window " + std::to_string(n) + " out of range [1~" + std::to_string(inputs) + "]");
  SendCommand(p, static_cast<uint16_t>(n), u);
}

// ---- remote inputs ("DX" models) ----

template <class Port>
void SetVirtualInput(Port& p, int n, bool on, bool u) {
  p.ModWriteCoil(VirtualCoil(n), on, u);
}

template <class Port>
void RequestActivation(Port& p, int n, bool u) {
  p.ModWriteCoil(ActivateCoil(n), true, u);
}

// Sets the check words and writes the remote input record to 3328.
template <class Port, class R>
void WriteRemoteInputs(Port& p, R& r, bool u) {
  SetCheckWords(r);
  const std::vector<uint16_t> w = ToWords(r);
  p.ModWriteMulti(cRegRemote, static_cast<uint16_t>(w.size()), w.data(), u);
}

// ---- records ----

template <class R, class Port>
R ReadRecord(Port& p, uint16_t base, bool u) {
  std::vector<uint16_t> w(RegCount<R>());
  p.ModReadMulti(base, RegCount<R>(), w.data(), u);
  return FromWords<R>(w);
}

template <class Port, class R>
void WriteRecord(Port& p, uint16_t base, const R& r, bool u) {
  const std::vector<uint16_t> w = ToWords(r);
  p.ModWriteMulti(base, static_cast<uint16_t>(w.size()), w.data(), u);
}

// Writes the time record (registers 48..50): sets the device clock.
template <class Port>
void SetDeviceClock(Port& p, TDateTime now, bool u) {
  const TDevTime t = EncodeDevTime(now);
  const uint16_t w[3] = {static_cast<uint16_t>(t.Tim & 0xFFFF), static_cast<uint16_t>(t.Tim >> 16), t.Dat};
  p.ModWriteMulti(cRegTime, 3, w, u);
}

// The hub's instantiations (VexLink.cpp).
extern template void ReadSequence<TPorts1>(TPorts1&, int, uint16_t*, bool);
extern template void WriteSequence<TPorts1>(TPorts1&, int, const uint16_t*, bool);
extern template void SendCommand<TPorts1>(TPorts1&, uint16_t, bool);
extern template void StoreEeprom<TPorts1>(TPorts1&, bool);
extern template void RestartDevice<TPorts1>(TPorts1&, bool);
extern template void EraseEvents<TPorts1>(TPorts1&, bool);

}  // namespace vex
