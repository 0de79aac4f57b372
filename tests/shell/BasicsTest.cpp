#include "shell/Basics.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdint>
#include <filesystem>

namespace vex {
namespace {

TEST(Basics, TextForms) {
  struct Case {
    std::string got, want;
  } cases[] = {
      {InttoZero(7, 3), "007"},
      {InttoZero(1234, 3), "1234"},
      {InttoDot(1234, 2), "12.34"},
      {InttoDot(5, 2), "0.05"},
      {InttoDot(-5, 1), "-0.5"},
      {InttoDot(42, 0), "42"},
      {InttoBin(5, 4), "0101"},
      {BitstoStr(5, {"A", "B", "C"}), "A,C"},
      {BitstoStr(0, {"A", "B", "C"}), ""},
      {Str255toHex(std::string("\x01\xAB", 2)), "01 AB"},
      {InttoDate(0), "2000/01/01"},
      {InttoDate(60), "2000/03/01"},
      {InttoDate(366), "2001/01/01"},
      {InttoDate(1461), "2004/01/01"},
      {InttoDate(1461 + 366 + 58), "2005/02/28"},
      {InttoDate(59), "2000/02/29"},
      {InttoDate(365), "2000/12/31"},
      {InttoDate(1460), "2003/12/31"},
      {InttoDate(366 + 59), "2001/03/01"},
      {InttoDate(1461 + 365), "2004/12/31"},
      {InttoDate(1461 + 366), "2005/01/01"},
      {InttoBase(365 * 86400 + 3600), "2000/12/31 01:00:00"},
      {InttoTime(3723), "01:02:03"},
      {InttoTime(100 * 3600), "100:00:00"},
      {InttoTick(3723004), "01:02:03.004"},
      {InttoBase(0), "-"},
      {InttoBase(86399), "2000/01/01 23:59:59"},
      {InttoBase(86400), "2000/01/02 00:00:00"},
      {InttoModel(0x1805), "18.005"},
      {InttoTerso(0x0518), "18.005"},
      {InttoVexxx(0x4316), "4316"},
      {InttoIPform(0x0A01A8C0), "192.168.1.10"},
      {InttoMacform(0x12AB), "AB:12"},
      {DelaytoStr(0.25), "250 mS"},
      {DelaytoStr(1), "1 S"},
      {DelaytoStr(2.5), "2 S"},
      {DelaytoStr(3.5), "4 S"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

// Every day from 2000 to 2099 against the calendar of the date-time values.
TEST(Basics, InttoDateFollowsTheCalendarThroughTheCentury) {
  int wrong = 0;
  for (uint32_t v = 0; v < 36525 && wrong < 5; ++v) {
    const std::string want = FormatDateTime("yyyy/mm/dd", cBase2000 + v);
    if (InttoDate(v) != want) {
      ADD_FAILURE() << "day " << v << ": " << InttoDate(v) << " instead of " << want;
      ++wrong;
    }
  }
}

// A calendar time turned into device seconds and back into text gives the same time.
TEST(Basics, DeviceSecondsRoundTrip) {
  int wrong = 0;
  for (int64_t t = 1; t < 36525LL * 86400 && wrong < 5; t += 86400LL * 13 + 3607) {
    const TDateTime dt = cBase2000 + static_cast<double>(t) / 86400.0;
    const uint32_t base = DateTimetoBase(dt);
    const std::string want = FormatDateTime("yyyy/mm/dd hh:nn:ss", dt);
    if (base != t || InttoBase(base) != want) {
      ADD_FAILURE() << t << ": " << base << " " << InttoBase(base) << " instead of " << want;
      ++wrong;
    }
  }
}

TEST(Basics, Str255toHexShowsAtMost85Bytes) {
  const std::string s = Str255toHex(std::string(100, '\x5A'));
  EXPECT_EQ(s.size(), 85u * 3 - 1);
}

TEST(Basics, DelayTexts) {
  struct Case {
    const char* text;
    double seconds;
  } cases[] = {
      {"  150mS", 0.15}, {"5 ms", 0.005}, {"1.5 S", 1.5}, {" ", 0}, {"   ", 0}, {"7", 7}, {"250 mS ", 0.25},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(StrtoDelay(c.text), c.seconds) << c.text;
  for (const char* bad : {"-", "x", "1-2 S", "..5"}) {
    try {
      StrtoDelay(bad);
      ADD_FAILURE() << bad << " was taken";
    } catch (const Exception& e) {
      EXPECT_NE(std::string(e.what()).find("is not a valid floating point value"), std::string::npos) << bad;
    }
  }
}

TEST(Basics, Delays) {
  EXPECT_DOUBLE_EQ(StrtoDelay("150 mS"), 0.15);
  EXPECT_DOUBLE_EQ(StrtoDelay("2 S"), 2);
  EXPECT_DOUBLE_EQ(StrtoDelay("0.5"), 0.5);
  EXPECT_DOUBLE_EQ(StrtoDelay("20m"), 0.02);
  EXPECT_DOUBLE_EQ(StrtoDelay(""), 0);
  EXPECT_THROW(StrtoDelay("abc"), Exception);
}

TEST(Basics, Words) {
  std::string s = "0x1F more words";
  EXPECT_EQ(GetInt(s, 0), 31);
  EXPECT_EQ(s, "more words");
  s = "1Fh";
  EXPECT_EQ(GetInt(s, 0), 31);
  s = "xyz";
  EXPECT_EQ(GetInt(s, 7), 7);
  s = "a;b";
  EXPECT_EQ(GetStrc(s, ';'), "a");
  EXPECT_EQ(s, "b");
  EXPECT_EQ(GetStrc(s, ';'), "b");
  EXPECT_EQ(s, "");
}

TEST(Basics, GetStrTakesOneWordAndOneSeparator) {
  struct Case {
    const char* text;
    const char* word;
    const char* rest;
  } cases[] = {
      {"  abc def", "abc", "def"},
      {"abc", "abc", ""},
      {"abc  def", "abc", " def"},
      {"", "", ""},
      {"   ", "", ""},
  };
  for (const auto& c : cases) {
    std::string s = c.text;
    EXPECT_EQ(GetStr(s), c.word) << c.text;
    EXPECT_EQ(s, c.rest) << c.text;
  }
}

TEST(Basics, LbEdttoIntMessages) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"abc", "Node ID: 'abc' is not a valid integer value, Valid Range:  [0 ~ 255]."},
      {"", "Node ID: '' is not a valid integer value, Valid Range:  [0 ~ 255]."},
      {"-1", "Node ID: Range Check, Valid Range:  [0 ~ 255]."},
      {"$100", "Node ID: Range Check, Valid Range:  [0 ~ 255]."},
      {"256,1", "Node ID: Range Check, Valid Range:  [0 ~ 255]."},
  };
  for (const auto& c : cases) {
    PlainField f(c.text, "Node ID:");
    try {
      LbEdttoInt(f, 0, 255);
      ADD_FAILURE() << c.text << " was taken";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_FALSE(f.focused());  // a field that cannot take the focus keeps it where it is
  }
}

TEST(Basics, LbEdttoInt) {
  PlainField f("12,5", "Node ID:");
  EXPECT_EQ(LbEdttoInt(f, 0, 100), 12);
  f.SetText("$EE");
  EXPECT_EQ(LbEdttoInt(f, 0, 255), 0xEE);
  f.SetText("0x10");
  EXPECT_EQ(LbEdttoInt(f, 0, 255), 16);
  f.SetText("300");
  f.setFocusable(true);
  try {
    LbEdttoInt(f, 0, 255);
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Node ID: Range Check, Valid Range:  [0 ~ 255].");
  }
  EXPECT_TRUE(f.focused());
  f.SetText("xyz");
  EXPECT_THROW(LbEdttoInt(f, 0, 255), Exception);
}

TEST(Basics, LbEdttoDelayColoursTheField) {
  PlainField f("2 S", "");
  EXPECT_THROW(LbEdttoDelay(f, "Delay:", 0.001, 1), Exception);
  EXPECT_EQ(f.color(), clLightRed);
  try {
    LbEdttoDelay(f, "Delay:", 0.001, 1);
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Delay: Range Check, Valid Range:  [1 mS ~ 1 S].");
  }
  f.SetText("150 mS");
  EXPECT_DOUBLE_EQ(LbEdttoDelay(f, "Delay:", 0.001, 1), 0.15);
  EXPECT_EQ(f.color(), clWindow);
}

TEST(Basics, IpForm) {
  PlainField f("192.168.001.010", "Target IP:");
  EXPECT_EQ(InttoIPform(LbEdttoIpform(f)), "192.168.1.10");
  for (const char* bad : {"1.2.3", "1.2.3.256", "a.b.c.d", "1.2.3.4.5", ""}) {
    f.SetText(bad);
    EXPECT_THROW(LbEdttoIpform(f), Exception) << bad;
  }
}

TEST(Basics, Crc) {
  EXPECT_EQ(CrcofStr("abc"), 0x5749);
  EXPECT_EQ(CrcofStr("123456789"), 0x4B37);  // the published check value of CRC-16/MODBUS
  EXPECT_EQ(CrcofStr(""), 0xFFFF);
  EXPECT_EQ(CrcofBin("bc", 2, CrcofBin("a", 1, 0xFFFF)), 0x5749);
}

TEST(Basics, DateTime) {
  EXPECT_DOUBLE_EQ(EncodeDateTime(2000, 1, 1), cBase2000);
  EXPECT_EQ(DateTimetoBase(EncodeDateTime(2000, 1, 2, 0, 0, 1)), 86401u);
  EXPECT_EQ(DateTimetoBase(EncodeDateTime(1999, 12, 31)), 0u);
  EXPECT_EQ(FormatDateTime("dd/mm/yy hh:nn:ss.zzz", EncodeDateTime(2024, 2, 29, 13, 5, 9, 7)),
            "29/02/24 13:05:09.007");
}

TEST(Basics, ForceDirCreatesBelowTheExecutable) {
  const std::string p = ForceDir("\\ForceDirTest\\Sub");
  EXPECT_EQ(p, (std::filesystem::path(ExeDir()) / "ForceDirTest" / "Sub").string());
  EXPECT_TRUE(std::filesystem::is_directory(p));
  std::filesystem::remove_all(std::filesystem::path(ExeDir()) / "ForceDirTest");
  EXPECT_EQ(ForceDir("relative/x"), "relative/x");
}

}  // namespace
}  // namespace vex

namespace vex {
namespace {

TEST(Basics, IntegerWidths) {
  const struct {
    const char* text;
    bool ok32, ok64;
    int64_t value;
  } cases[] = {
      {"2147483647", true, true, 2147483647},
      {"2147483648", false, true, 2147483648LL},
      {"-2147483648", true, true, -2147483648LL},
      {"$FFFFFFFF", true, true, 0xFFFFFFFFLL},
      {"$100000000", false, true, 0x100000000LL},
      {"$FFFFFFFFFFFF", false, true, 0xFFFFFFFFFFFFLL},
      {"9223372036854775807", false, true, INT64_MAX},
      {"9223372036854775808", false, false, 0},
      {"$1FFFFFFFFFFFFFFFF", false, false, 0},
      {"12x", false, false, 0},
      {"", false, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int64_t v32 = -1, v64 = -1;
    EXPECT_EQ(TryStrToInt(c.text, v32), c.ok32);
    EXPECT_EQ(TryStrToInt64(c.text, v64), c.ok64);
    if (c.ok32) {
      EXPECT_EQ(v32, c.value);
    }
    if (c.ok64) {
      EXPECT_EQ(v64, c.value);
    } else {
      EXPECT_THROW(StrToInt64(c.text), Exception);
    }
  }
}

TEST(Basics, DelaysReadTheSameUnderADecimalCommaLocale) {
  // the program may run with the user's locale; typed delays use "." whatever it is
  const char* old = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = old ? old : "C";
  const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
  EXPECT_DOUBLE_EQ(StrtoDelay("0.5"), 0.5);
  EXPECT_DOUBLE_EQ(StrtoDelay("2.5 mS"), 0.0025);
  EXPECT_DOUBLE_EQ(StrtoDelay("1e3"), 1);  // the number ends at the first letter
  EXPECT_THROW(StrtoDelay("x1"), Exception);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!comma) GTEST_SKIP() << "no decimal-comma locale installed; checked under the current one";
}

}  // namespace
}  // namespace vex
