// Record helpers: GetHex, HexCheck, MotCheck, HexApply.
#include "tests/firmware/FwTestUtil.h"

namespace vex {
namespace {

using fwtest::Bytes;

ByteStr B(const Bytes& b) { return ByteStr(b.begin(), b.end()); }

TEST(Records, GetHexTakesTwoDigits) {
  struct Case {
    std::string in;
    int want;          // -1: fails
    std::string rest;  // what remains, or the message
  } cases[] = {
      {"3Fab", 0x3F, "ab"},
      {"ff", 0xFF, ""},
      {"0a1", 0x0A, "1"},
      {"G0", -1, "'$G0' is not a valid integer value"},
      {"-1", -1, "'$-1' is not a valid integer value"},
      {" 1", -1, "'$ 1' is not a valid integer value"},
      {"A", -1, "'$A' is not a valid integer value"},
      {"", -1, "'$' is not a valid integer value"},
  };
  for (auto& c : cases) {
    std::string s = c.in;
    SCOPED_TRACE(c.in);
    if (c.want < 0) {
      try {
        GetHex(s);
        ADD_FAILURE() << "no error";
      } catch (const Exception& e) {
        EXPECT_EQ(e.what(), c.rest);
      }
      EXPECT_EQ(s, c.in);
    } else {
      EXPECT_EQ(GetHex(s), c.want);
      EXPECT_EQ(s, c.rest);
    }
  }
}

TEST(Records, HexCheckDecodes) {
  struct Case {
    std::string text;  // after the colon
    Bytes want;        // empty: fails
    std::string error;
  } cases[] = {
      {"00000001FF", {0, 0, 0, 1}, ""},
      {"020000040030CA", {2, 0, 0, 4, 0x00, 0x30}, ""},
      {"04400E00CC23FF3E82", {4, 0x40, 0x0E, 0, 0xCC, 0x23, 0xFF, 0x3E}, ""},
      {"04400e00cc23ff3e82", {4, 0x40, 0x0E, 0, 0xCC, 0x23, 0xFF, 0x3E}, ""},  // lower case
      {"00000001FF trailing text", {0, 0, 0, 1}, ""},                          // ignored after the sum
      {"00000001FE", {}, "Sum Failure"},
      {"04400E00CC23FF3E83", {}, "Sum Failure"},
      {"0000000", {}, "Record too short"},   // checksum cut in half
      {"10000000", {}, "Record too short"},  // count promises 16 bytes
      {"FF000000", {}, "Record too short"},
      {"0", {}, "Record too short"},
      {"", {}, "Record too short"},
      {"0X000001FF", {}, "'$0X' is not a valid integer value"},
      {"000000G1FF", {}, "'$G1' is not a valid integer value"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(HexCheck(c.text), B(c.want));
      EXPECT_TRUE(c.error.empty());
    } catch (const Exception& e) {
      EXPECT_EQ(e.what(), c.error);
    }
  }
}

TEST(Records, MotCheckDecodes) {
  struct Case {
    std::string text;  // after "S<type>"
    Bytes want;
    std::string error;
  } cases[] = {
      {"030000FC", {3, 0, 0}, ""},  // S9 end record
      {"0E000070726F6A656374206D6F748A",
       {0x0E, 0, 0, 'p', 'r', 'o', 'j', 'e', 'c', 't', ' ', 'm', 'o', 't'},
       ""},
      {"0400000AF1", {4, 0, 0, 0x0A}, ""},
      {"0400000AF0", {}, "Sum Failure"},
      {"0400000A", {}, "Record too short"},
      {"00FF", {}, "Record too short"},  // a count of 0 holds not even the checksum
      {"", {}, "Record too short"},
      {"04000Z0AF1", {}, "'$0Z' is not a valid integer value"},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.text);
    try {
      EXPECT_EQ(MotCheck(c.text), B(c.want));
      EXPECT_TRUE(c.error.empty());
    } catch (const Exception& e) {
      EXPECT_EQ(e.what(), c.error);
    }
  }
}

TEST(Records, HexApplyAddsChecksum) {
  struct Case {
    Bytes in;
    std::string want;
  } cases[] = {
      {{0, 0, 0, 1}, "00000001FF"},
      {{2, 0, 0, 4, 0x00, 0x30}, "020000040030CA"},
      {{2, 0, 0, 4, 0x00, 0x00}, "020000040000FA"},
      {{4, 0x40, 0x0E, 0, 0xCC, 0x23, 0xFF, 0x3E}, "04400E00CC23FF3E82"},
      {{0, 0x40, 0x0E, 0}, "00400E00B2"},
      {{}, "00"},
  };
  for (auto& c : cases) EXPECT_EQ(HexApply(B(c.in)), c.want);
}

TEST(Records, HexApplyRoundTripsThroughHexCheck) {
  for (unsigned n = 0; n <= 255; n += 17) {
    Bytes rec = {uint8_t(n), uint8_t(n * 7), uint8_t(n * 13), 0};
    const Bytes d = fwtest::Seq(n, uint8_t(n), 3);
    rec.insert(rec.end(), d.begin(), d.end());
    EXPECT_EQ(HexCheck(HexApply(B(rec))), B(rec)) << n;
  }
}

}  // namespace
}  // namespace vex
