// The shared placement rule of the windows: the wanted place where the window fits wholly,
// otherwise moved just enough to lie on the screen that holds the main window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/Placement.h"

namespace vex {
namespace {

using Areas = std::vector<TBounds>;

// Two monitors side by side: 1600 x 1000 on the left, a 1920 x 1080 one on its right.
const Areas kTwoScreens = {{0, 0, 1600, 1000}, {1600, 0, 1920, 1080}};

struct PlaceCase {
  const char* name;
  Areas areas;     // available areas of the screens
  TBounds anchor;  // the main window
  TBounds wanted;  // the place the window's own rule gives, with its frame size
  int left, top;   // where it goes
};

void PrintTo(const PlaceCase& c, std::ostream* os) { *os << c.name; }

class PlaceTest : public ::testing::TestWithParam<PlaceCase> {};

TEST_P(PlaceTest, KeepsTheWantedPlaceOrMovesJustEnough) {
  const PlaceCase& c = GetParam();
  const TBounds b = PlaceOnScreen(c.wanted, c.anchor, c.areas);
  EXPECT_EQ(b.Left, c.left);
  EXPECT_EQ(b.Top, c.top);
  EXPECT_EQ(b.Width, c.wanted.Width) << "the size is kept";
  EXPECT_EQ(b.Height, c.wanted.Height);
}

// The port window is 1053 px wide beside a 680 px main window moved to 200, 50.
INSTANTIATE_TEST_SUITE_P(
    Screens, PlaceTest,
    ::testing::Values(
        PlaceCase{"MainWindowFitsAtItsPlace", {{0, 0, 1366, 768}}, {}, {200, 50, 690, 330}, 200, 50},
        PlaceCase{"BesideTheMainWindowOn1366",
                  {{0, 0, 1366, 768}},
                  {200, 50, 690, 330},
                  {895, 50, 1053, 620},
                  313,
                  50},
        PlaceCase{"BesideTheMainWindowOn1600",
                  {{0, 0, 1600, 1000}},
                  {200, 50, 690, 330},
                  {1038, 50, 1053, 620},
                  547,
                  50},
        PlaceCase{"BesideTheMainWindowOn1920",
                  {{0, 0, 1920, 1080}},
                  {200, 50, 690, 330},
                  {895, 50, 1053, 620},
                  867,
                  50},
        PlaceCase{"FitsExactlyAtTheRightEdge", {{0, 0, 1600, 1000}}, {}, {547, 50, 1053, 620}, 547, 50},
        PlaceCase{"OnePixelTooFarRight", {{0, 0, 1600, 1000}}, {}, {548, 50, 1053, 620}, 547, 50},
        PlaceCase{"BelowTheMainWindowPastAPanel",
                  {{0, 0, 1366, 740}},
                  {200, 50, 690, 330},
                  {200, 385, 360, 400},
                  200,
                  340},
        PlaceCase{"TopPanelKeepsTheTitleBarReachable", {{0, 28, 1600, 972}}, {}, {100, 0, 400, 300}, 100, 28},
        PlaceCase{"LeftOfTheScreen", {{0, 0, 1366, 768}}, {}, {-50, 20, 400, 300}, 0, 20},
        PlaceCase{"WiderAndTallerThanTheScreen", {{0, 0, 1024, 768}}, {}, {300, 200, 1100, 800}, 0, 0},
        PlaceCase{"WiderOnlyKeepsItsTop", {{0, 0, 1024, 768}}, {}, {300, 200, 1100, 300}, 0, 200},
        PlaceCase{"StaysOnTheMainWindowsScreenInsteadOfSpanningTwo",
                  kTwoScreens,
                  {200, 50, 690, 330},
                  {895, 50, 1053, 620},
                  547,
                  50},
        PlaceCase{"FitsOnTheSecondScreenWithTheMainWindow",
                  kTwoScreens,
                  {1700, 50, 690, 330},
                  {2395, 50, 1053, 620},
                  2395,
                  50},
        PlaceCase{"PastTheRightOfTheSecondScreen",
                  kTwoScreens,
                  {2800, 50, 690, 330},
                  {3495, 50, 1053, 620},
                  2467,
                  50},
        PlaceCase{"SecondScreenIsTallerThanTheFirst",
                  kTwoScreens,
                  {1700, 600, 690, 330},
                  {1700, 935, 360, 100},
                  1700,
                  935},
        PlaceCase{"NoMainWindowUsesTheScreenOfThePlace", kTwoScreens, {}, {3300, 1000, 400, 300}, 3120, 780},
        PlaceCase{"ScreenLeftOfThePrimary",
                  {{-1280, 0, 1280, 1024}, {0, 0, 1600, 1000}},
                  {-1200, 100, 690, 330},
                  {-505, 100, 1053, 620},
                  -1053,
                  100},
        PlaceCase{"NoScreenKeepsThePlace", {}, {200, 50, 690, 330}, {1038, 50, 1053, 620}, 1038, 50}),
    [](const auto& i) { return std::string(i.param.name); });

struct ScreenCase {
  const char* name;
  Areas areas;
  TBounds window;
  int screen;
};

void PrintTo(const ScreenCase& c, std::ostream* os) { *os << c.name; }

class ScreenOfTest : public ::testing::TestWithParam<ScreenCase> {};

TEST_P(ScreenOfTest, TheScreenThatHoldsTheWindow) {
  EXPECT_EQ(ScreenOf(GetParam().window, GetParam().areas), GetParam().screen);
}

INSTANTIATE_TEST_SUITE_P(
    Windows, ScreenOfTest,
    ::testing::Values(ScreenCase{"WhollyOnTheFirst", kTwoScreens, {100, 100, 400, 300}, 0},
                      ScreenCase{"WhollyOnTheSecond", kTwoScreens, {2000, 100, 400, 300}, 1},
                      ScreenCase{"MostlyOnTheSecond", kTwoScreens, {1500, 100, 400, 300}, 1},
                      ScreenCase{"MostlyOnTheFirst", kTwoScreens, {1300, 100, 400, 300}, 0},
                      ScreenCase{"BelowBothNearestTheSecond", kTwoScreens, {2000, 1200, 400, 300}, 1},
                      ScreenCase{"EmptyWindowInsideTheSecond", kTwoScreens, {2000, 100, 0, 0}, 1},
                      ScreenCase{"NoScreens", {}, {0, 0, 400, 300}, -1}),
    [](const auto& i) { return std::string(i.param.name); });

}  // namespace
}  // namespace vex
