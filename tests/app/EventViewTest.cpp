// The event window's view follows the core's lines, "Clear" empties both, visibility is known.
#include <gtest/gtest.h>

#include "app/EventView.h"
#include "tests/app/AppSupport.h"

namespace vex {
namespace {

using namespace testing_app;

class EventViewTest : public ::testing::Test {
 protected:
  void SetUp() override { App(); }
  RecordingLink link;
  NoDesktop desktop;
  TMain1 main{link, desktop};
  TEvent1 event;
};

TEST_F(EventViewTest, TextAreaFollowsTheLines) {
  event.AddEvent(cBase2000, "before the view");
  EventView v(event, main);
  EXPECT_EQ(v.windowTitle(), "Vex Events");
  EXPECT_TRUE(v.TextArea()->isReadOnly());
  EXPECT_EQ(v.TextArea()->toPlainText().toStdString(), event.Text());

  tVexEvn e;
  e.Seq = 1204;
  e.Typ = 1;
  e.Dif01 = 0x0005;
  e.Dif45 = 0x8000;
  event.ShowEvent(e);
  EXPECT_EQ(v.TextArea()->toPlainText().toStdString(), event.Text());
  EXPECT_EQ(v.TextArea()->document()->blockCount(), 4);

  // past the limit the oldest lines leave the text area too
  for (int i = 0; i < 400; ++i) event.AddEvent(cBase2000 + i / 86400.0, "line " + std::to_string(i));
  EXPECT_EQ(v.TextArea()->document()->blockCount(), static_cast<int>(TEvent1::cMaxLines) + 1);
  EXPECT_EQ(v.TextArea()->toPlainText().toStdString(), event.Text());

  v.ClearButton()->click();
  EXPECT_TRUE(event.Lines().empty());
  EXPECT_EQ(v.TextArea()->toPlainText(), "");
  event.AddEvent(cBase2000, "after clear");
  EXPECT_EQ(v.TextArea()->toPlainText().toStdString(), "01/01/00 00:00:00.000 - after clear");
}

TEST_F(EventViewTest, VisibilityReachesTheCore) {
  EventView v(event, main);
  EXPECT_FALSE(event.Visible);
  v.Tool().Show();
  EXPECT_TRUE(event.Visible);
  EXPECT_TRUE(v.Tool().Visible());
  v.hide();
  EXPECT_FALSE(event.Visible);
}

TEST_F(EventViewTest, RenderedEventWindow) {
  EventView v(event, main);
  const uint16_t kinds[] = {3, 16, 18, 20, 21, 1, 2, 4, 10, 32, 33};
  for (uint16_t i = 0; i < std::size(kinds); ++i) {
    tVexEvn e;
    e.Seq = 1200u + i;
    e.Typ = kinds[i];
    e.Dat = 9200;
    e.Tim = 36000000u + i * 1234u;
    e.Dif01 = static_cast<uint16_t>(1u << i);
    event.ShowEvent(e);
  }
  v.show();
  Spin(20);
  EXPECT_GE(v.grab().width(), 500);
  SaveShot(v, "event-window");
}

}  // namespace
}  // namespace vex
