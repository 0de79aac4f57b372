// libFuzzer target: the HEX and S-record readers of the image store on arbitrary text.
// The first byte picks the reader and the segment size; the rest is the file's text.
// After a successful load the header, the statistics and both writers run as well.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "firmware/Mixer.h"

namespace {

vex::TMixer1& Store() {
  static vex::TMixer1 m;  // one 16 MiB store for the whole run, as in the program
  return m;
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// An application the merge runs build on: code 0x0800 ... 0x083F, fuses at bank 0x30.
constexpr std::string_view kApp =
    ";PIC18F458\n"
    ":10080000000102030405060708090A0B0C0D0E0F70\n"
    ":10081000101112131415161718191A1B1C1D1E1F60\n"
    ":020000040030CA\n"
    ":0400000000220E0EBE\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t sel = data[0];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  static const uint32_t segs[] = {1, 7, 32, 64, 256, 4096};
  const uint32_t bsg = segs[(sel >> 2) % 6];
  vex::TMixer1& m = Store();
  m.Mesaj = nullptr;
  try {
    switch (sel & 3) {
      case 0:
        m.HexLoadText(text, "fuzz.hex", false, true, bsg);
        break;
      case 1:
        m.HexLoadText(kApp, "app.hex", false, true, 64);
        m.HexLoadText(text, "fuzz.hex", true, true, bsg);
        break;
      case 2:
        m.HexLoadText(text, "fuzz.hex", false, false, bsg);
        break;
      default:
        m.MotLoadText(text, "fuzz.mot", bsg);
        break;
    }
  } catch (const vex::Exception&) {
    return 0;
  }
  // a successful load leaves a consistent store
  Check(m.AppBeg < m.AppTop || (m.AppBeg == m.AppTop && m.Top == 0));
  Check(m.AppTop <= vex::cRomSiz);
  Check(m.AppFus >= 0 && m.AppFus <= 16);
  if ((sel & 3) != 3) Check(m.Idf().Top == m.Top);
  std::string lines;
  m.Mesaj = [&](const std::string& s) { lines += s; };
  (void)m.CRCcalc();
  try {
    lines += m.HexText16F();
  } catch (const vex::Exception&) {
    Check(m.AppTop > 0x10000);
  }
  lines += m.HexText18F();
  return 0;
}
