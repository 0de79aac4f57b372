#include "firmware/Loader.h"

#include <chrono>
#include <cstring>

#include "comm/Platform.h"
#include "comm/Ports.h"

namespace vex {

namespace {

int64_t MonoMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(platform::Now().time_since_epoch()).count();
}

// Runs f up to three times; the third failure goes on.
template <class F>
void ThreeAttempts(F&& f) {
  for (int attempt = 1;; ++attempt) {
    try {
      f();
      return;
    } catch (const Exception&) {
      if (attempt >= 3) throw;
    }
  }
}

}  // namespace

TLoader1::TLoader1(TPorts1& ports) : map_(new uint8_t[cRomSiz]), Map(map_.get()), ports_(ports) {}

void TLoader1::Notify() const {
  if (Changed) Changed();
}

void TLoader1::Mesaj1(const std::string& s) {
  Line1 = s;
  Notify();
  if (!s.empty()) ports_.Mesaj(s);
}

void TLoader1::Mesaj2(const std::string& s) {
  Line2 = s;
  Notify();
  if (!s.empty()) ports_.Mesaj(s);
}

void TLoader1::Button1Click() {
  ModalResult = true;
  if (!Running && CloseWindow) CloseWindow();
}

void TLoader1::Upload(std::span<const uint8_t> m, int f, bool c) {
  Fid = f;
  Poc = c;
  Err.clear();
  if (m.size() < sizeof(tIdf)) throw Exception("File size too big. Bytes=" + std::to_string(sizeof(tIdf)));
  std::memcpy(&Idf, m.data(), sizeof(tIdf));
  Siz = static_cast<int64_t>(Idf.Top) * ports_.SegSiz;
  // the image may not reach past the memory image it was loaded into
  if (Siz > static_cast<int64_t>(cRomSiz) || Siz > static_cast<int64_t>(m.size()) || Siz < 0)
    throw Exception("File size too big. Bytes=" + std::to_string(Siz));
  std::memcpy(Map, m.data(), static_cast<size_t>(Siz));
  ModalResult = false;
  if (ShowModal)
    ShowModal();
  else
    DoUpload();
  if (Poc && !Err.empty()) throw Exception(Err);
}

void TLoader1::Line2Progress(int64_t q) {
  const int64_t blocks = Seg ? Siz / Seg : 0;
  Line2 = "Process= " + std::to_string(Seg ? q / Seg : 0) + "/" + std::to_string(blocks) +
          " Size=" + std::to_string(q) + " bytes";
  ProgressPos = q;
  Notify();
}

void TLoader1::SearchBootloader() {
  const int64_t start = MonoMs();
  for (;;) {
    const int64_t pass = MonoMs();
    bool failed = false;
    try {
      ports_.BootState();
      if (ports_.BotSta != 0) return;
      Mesaj2("Target Resetting...");
      ports_.ModWrite(cMdaCmd, xCmdEnb, true);
      ports_.ModWrite(cMdaCmd, xCmdRes, true);
    } catch (const Exception&) {
      failed = true;  // the device is restarting
    }
    if (ModalResult) return;
    if (MonoMs() - start > SearchMs) throw Exception("Unable to locate bootcode <timeout 10sec>");
    // a link that fails at once is not hammered: the next pass waits for the device a little
    if (failed && MonoMs() - pass < 20) platform::SleepUntil(platform::AfterMs(platform::Now(), 20));
  }
}

void TLoader1::Steps() {
  Button = "Cancel";
  Caption = "Upload Firmware File=" + IntToHex(static_cast<uint64_t>(Fid) & 0xFF, 2) +
            " Mark=" + InttoTerso(Idf.Ver);
  Mesaj1(Caption);
  Mesaj2("");
  ProgressPos = 0;
  Notify();
  Mesaj2(ports_.ComText());
  ports_.SetConnectPort(true);

  SearchBootloader();
  if (ports_.BotSta != eBotIni && ports_.BotSta != eBotCrc)
    throw Exception("Unable to locate bootcode status=" + std::to_string(ports_.BotSta));

  Seg = ports_.SegSiz;
  if (Seg != 32 && Seg != 64) throw Exception("Unexpected Segment Size=" + std::to_string(Seg));

  Mesaj2("Initiating Upload...");
  ThreeAttempts([&] { ports_.ModWrite(cMdaCmd, eCmdPrg, true); });
  ThreeAttempts([&] { ports_.BootState(); });
  if (ports_.BotSta != eBotPrg) throw Exception("Unable to start programming mode");

  const int64_t blocks = Siz / Seg;
  Line1 = "Starting Upload... Blocks=" + std::to_string(blocks);
  ProgressMax = Siz;
  Line2Progress(0);
  Mesaj2("Uploading Application Size=" + std::to_string(Siz) + " bytes");

  const auto words = static_cast<uint16_t>(Seg / 2);
  const auto first = static_cast<uint16_t>(cMdaPag - words);
  for (int64_t q = 0; q < Siz;) {
    const auto block = static_cast<uint16_t>(q / Seg);
    ThreeAttempts([&] { ports_.ModWriteBooter(first, words, Map + q, block, false); });
    q += Seg;
    Line2Progress(q);
    if (ModalResult) throw Exception("User-Break...");
  }

  Mesaj2("Uploading Application...");
  Mesaj2("Searching Application...");
  ThreeAttempts([&] { ports_.ModWrite(cMdaCmd, eCmdTst, true); });
  ports_.Button52Click();
  ports_.Button1Click();
  Mesaj2("Application Running...");
}

void TLoader1::DoUpload() {
  const int64_t start = MonoMs();
  Running = true;
  Err.clear();
  try {
    Steps();
    Mesaj1(Caption + " Complete... Elapsed=" + InttoDot(MonoMs() - start, 3) + " sec.");
  } catch (const Exception& e) {
    Running = false;
    Mesaj1(std::string("Error: ") + e.what());
    Button = "Close";
    ModalResult = false;
    Notify();
    if (Poc) {
      Err = e.what();
      if (CloseWindow) CloseWindow();
      return;
    }
    throw;
  }
  Running = false;
  Button = "Close";
  ModalResult = false;
  Notify();
  if (Poc && CloseWindow) CloseWindow();
}

}  // namespace vex
