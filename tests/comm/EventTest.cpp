// Event records and the event window's lines.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "comm/Event.h"

namespace vex {
namespace {

// Records what the window tells its view.
struct RecordingView : IEventView {
  std::vector<std::string> calls;
  void LineAdded(const std::string& l) override { calls.push_back("+" + l); }
  void FirstLineRemoved() override { calls.push_back("-"); }
  void Cleared() override { calls.push_back("clear"); }
};

tVexEvn Evn(uint32_t seq, uint16_t typ, uint16_t dif01 = 0, uint16_t dif23 = 0, uint16_t dif45 = 0) {
  tVexEvn e;
  e.Seq = seq;
  e.Typ = typ;
  e.Dat = 8766;      // 2024-01-01
  e.Tim = 45296789;  // 12:34:56.789
  e.Dif01 = dif01;
  e.Dif23 = dif23;
  e.Dif45 = dif45;
  return e;
}

const std::string kStamp = "01/01/24 12:34:56.789 - ";

struct ShowCase {
  const char* name;
  tVexEvn ev;
  std::vector<std::string> lines;
};

void PrintTo(const ShowCase& c, std::ostream* os) { *os << c.name; }

class ShowEventTest : public ::testing::TestWithParam<ShowCase> {};

TEST_P(ShowEventTest, AddsTheExpectedLines) {
  TEvent1 w;
  w.ShowEvent(GetParam().ev);
  std::vector<std::string> got(w.Lines().begin(), w.Lines().end());
  EXPECT_EQ(got, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ShowEventTest,
    ::testing::Values(ShowCase{"EmptyRecord", Evn(0, 1, 0xFFFF), {}},
                      ShowCase{"SetThreeInputs",
                               Evn(1204, 1, 0x0005, 0, 0x8000),
                               {kStamp + " Seq=1204 SET Channel=1", kStamp + " Seq=1204 SET Channel=3",
                                kStamp + " Seq=1204 SET Channel=48"}},
                      ShowCase{"SecondGroupNumbersFrom17",
                               Evn(7, 16, 0, 0x0001 | 0x0100),
                               {kStamp + " Seq=7 ALARM Channel=17", kStamp + " Seq=7 ALARM Channel=25"}},
                      ShowCase{"PowerIsOneLine", Evn(9, 3, 0x00FF), {kStamp + " Seq=9 POWER"}},
                      ShowCase{"Kind13IsSystem", Evn(9, 13, 0x0001), {kStamp + " Seq=9 QUERY FAIL"}},
                      ShowCase{"Kind14IsSystemUndef", Evn(10, 14, 0x0003), {kStamp + " Seq=10 UNDEF"}},
                      ShowCase{"Kind15IsSystemUndef", Evn(11, 15), {kStamp + " Seq=11 UNDEF"}},
                      ShowCase{
                          "Kind0IsChannelUndef", Evn(12, 0, 0x0002), {kStamp + " Seq=12 UNDEF Channel=2"}},
                      ShowCase{"Kind22IsChannelUndef",
                               Evn(13, 22, 0, 0x8000, 0x0001),
                               {kStamp + " Seq=13 UNDEF Channel=32", kStamp + " Seq=13 UNDEF Channel=33"}},
                      ShowCase{"ChannelEventWithoutInputs", Evn(14, 1), {}},
                      ShowCase{"LargeSequenceNumber",
                               Evn(4000000000u, 33, 0x4000),
                               {kStamp + " Seq=4000000000 RELEASED Channel=15"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(EventKindText, EveryKindOfTheTable) {
  const struct {
    unsigned typ;
    const char* text;
  } cases[] = {{1, "SET"},         {2, "CLEAR"},        {3, "POWER"},        {4, "TIME VALID"},
               {5, "CONFIG"},      {6, "USER"},         {7, "HUGETEST"},     {8, "HUGEFIN"},
               {9, "ERASELOG"},    {10, "TIME SHIFT"},  {11, "IRIG-B SYNC"}, {12, "IRIG-B FAIL"},
               {13, "QUERY FAIL"}, {14, "UNDEF"},       {15, "UNDEF"},       {16, "ALARM"},
               {17, "MOMENTARY"},  {18, "ACKNOWLEDGE"}, {19, "RINGBACK"},    {20, "RESET"},
               {21, "NORMAL"},     {22, "UNDEF"},       {31, "UNDEF"},       {32, "FORCED"},
               {33, "RELEASED"},   {34, "UNDEF"},       {0, "UNDEF"},        {65535, "UNDEF"}};
  for (const auto& c : cases) EXPECT_EQ(EventKindText(c.typ), c.text) << "kind " << c.typ;
}

TEST(EventStamp, DeviceTimeBase) {
  const struct {
    uint16_t dat;
    uint32_t tim;
    const char* stamp;
  } cases[] = {
      {0, 0, "01/01/00 00:00:00.000"},           {0, 1, "01/01/00 00:00:00.001"},
      {59, 0, "29/02/00 00:00:00.000"},           // leap day of 2000
      {8766, 86399999, "01/01/24 23:59:59.999"},  // last millisecond of a day
      {8766, 86400000, "02/01/24 00:00:00.000"},  // a full day of milliseconds rolls over
      {36525, 3600000, "01/01/00 01:00:00.000"},  // 2100-01-01: two-digit year
  };
  for (const auto& c : cases) {
    TEvent1 w;
    tVexEvn e;
    e.Seq = 1;
    e.Typ = 3;
    e.Dat = c.dat;
    e.Tim = c.tim;
    w.ShowEvent(e);
    ASSERT_EQ(w.Lines().size(), 1u);
    EXPECT_EQ(w.Lines()[0], std::string(c.stamp) + " -  Seq=1 POWER") << c.dat << "/" << c.tim;
  }
}

TEST(EventRecords, RegisterWordsLowWordFirst) {
  const uint16_t w[tVexEvn::cWords] = {0x1111, 0x5678, 0x1234, 0x0010, 0x2000, 0xBCDE, 0x009A,
                                       0x0101, 0x0202, 0x0303, 0x0404, 0x0505, 0x0606};
  const tVexEvn e = tVexEvn::FromWords(w);
  EXPECT_EQ(e.Smp, 0x1111);
  EXPECT_EQ(e.Seq, 0x12345678u);
  EXPECT_EQ(e.Typ, 0x0010);
  EXPECT_EQ(e.Dat, 0x2000);
  EXPECT_EQ(e.Tim, 0x009ABCDEu);
  EXPECT_EQ(e.Reg01, 0x0101);
  EXPECT_EQ(e.Reg23, 0x0202);
  EXPECT_EQ(e.Reg45, 0x0303);
  EXPECT_EQ(e.Dif01, 0x0404);
  EXPECT_EQ(e.Dif23, 0x0505);
  EXPECT_EQ(e.Dif45, 0x0606);
  uint16_t back[tVexEvn::cWords] = {};
  e.ToWords(back);
  EXPECT_TRUE(std::equal(std::begin(w), std::end(w), std::begin(back)));

  const uint16_t s[tVexSek::cWords] = {0x0002, 0x0001, 0x0014, 0x1F00, 0x4567,
                                       0x0123, 0x8001, 0x0002, 0x4000};
  const tVexSek k = tVexSek::FromWords(s);
  EXPECT_EQ(k.Seq, 0x00010002u);
  EXPECT_EQ(k.Typ, 0x0014);
  EXPECT_EQ(k.Dat, 0x1F00);
  EXPECT_EQ(k.Tim, 0x01234567u);
  EXPECT_EQ(k.Dif01, 0x8001);
  EXPECT_EQ(k.Dif23, 0x0002);
  EXPECT_EQ(k.Dif45, 0x4000);
  uint16_t sback[tVexSek::cWords] = {};
  k.ToWords(sback);
  EXPECT_TRUE(std::equal(std::begin(s), std::end(s), std::begin(sback)));
}

TEST(EventRecords, ByteImageIsLittleEndian) {
  // Seq 0x00000102, Typ 1, Dat 0x0203, Tim 0x04030201, Dif01 0x0010, Dif23 0, Dif45 0x8000
  const uint8_t b[tVexSek::cBytes] = {0x02, 0x01, 0x00, 0x00, 0x01, 0x00, 0x03, 0x02, 0x01,
                                      0x02, 0x03, 0x04, 0x10, 0x00, 0x00, 0x00, 0x00, 0x80};
  const tVexSek k = tVexSek::FromBytes(b);
  EXPECT_EQ(k.Seq, 0x0102u);
  EXPECT_EQ(k.Typ, 1);
  EXPECT_EQ(k.Dat, 0x0203);
  EXPECT_EQ(k.Tim, 0x04030201u);
  EXPECT_EQ(k.Dif01, 0x0010);
  EXPECT_EQ(k.Dif45, 0x8000);

  uint8_t eb[tVexEvn::cBytes] = {};
  eb[2] = 0x05;   // Seq low byte
  eb[5] = 0x01;   // Seq top byte
  eb[6] = 18;     // Typ
  eb[24] = 0x01;  // Dif45 low byte
  const tVexEvn e = tVexEvn::FromBytes(eb);
  EXPECT_EQ(e.Seq, 0x01000005u);
  EXPECT_EQ(e.Typ, 18);
  EXPECT_EQ(e.Dif45, 1);
}

TEST(EventWindow, ShowSekansShowsLikeTheLongRecord) {
  tVexSek k;
  k.Seq = 77;
  k.Typ = 18;
  k.Dat = 8766;
  k.Tim = 45296789;
  k.Dif01 = 0x0001;
  k.Dif23 = 0x0002;
  k.Dif45 = 0x0004;
  TEvent1 w;
  w.ShowSekans(k);
  const std::vector<std::string> want = {kStamp + " Seq=77 ACKNOWLEDGE Channel=1",
                                         kStamp + " Seq=77 ACKNOWLEDGE Channel=18",
                                         kStamp + " Seq=77 ACKNOWLEDGE Channel=35"};
  EXPECT_EQ(std::vector<std::string>(w.Lines().begin(), w.Lines().end()), want);

  TEvent1 empty;
  k.Seq = 0;
  empty.ShowSekans(k);
  EXPECT_TRUE(empty.Lines().empty());
}

TEST(EventWindow, KeepsAtMost301Lines) {
  TEvent1 w;
  RecordingView view;
  w.SetView(&view);
  for (int i = 1; i <= 301; ++i) w.AddEvent(cBase2000, "line " + std::to_string(i));
  ASSERT_EQ(w.Lines().size(), 301u);
  EXPECT_EQ(w.Lines().front(), "01/01/00 00:00:00.000 - line 1");
  EXPECT_EQ(std::count(view.calls.begin(), view.calls.end(), "-"), 0);

  w.AddEvent(cBase2000, "line 302");  // pushes the oldest out
  ASSERT_EQ(w.Lines().size(), 301u);
  EXPECT_EQ(w.Lines().front(), "01/01/00 00:00:00.000 - line 2");
  EXPECT_EQ(w.Lines().back(), "01/01/00 00:00:00.000 - line 302");
  ASSERT_GE(view.calls.size(), 2u);
  EXPECT_EQ(view.calls[view.calls.size() - 2], "-");
  EXPECT_EQ(view.calls.back(), "+01/01/00 00:00:00.000 - line 302");

  w.Clear();
  EXPECT_TRUE(w.Lines().empty());
  EXPECT_EQ(w.Text(), "");
  EXPECT_EQ(view.calls.back(), "clear");
}

TEST(EventWindow, TextJoinsLines) {
  TEvent1 w;
  w.AddEvent(cBase2000, "a");
  w.AddEvent(cBase2000 + 0.5, "b");
  EXPECT_EQ(w.Text(), "01/01/00 00:00:00.000 - a\n01/01/00 12:00:00.000 - b");
}

}  // namespace
}  // namespace vex
