// The bootloader upload against a simulated board: the whole dialogue at both block sizes,
// boards already in their bootloader, retried blocks, cancel, spoilt images and boards left
// in programming mode, with the window's texts and the production mode's hand-back.
#include <gtest/gtest.h>

#include "tests/firmware/UploadRig.h"

namespace vex::test {
namespace {

struct GoodCase {
  const char* name;
  BoardOptions board;
  uint16_t ver;
  int codeBytes;
  int seg, top;
  bool resetSent;  // the board ran its application, so the restart commands went out
};

class LoaderUpload : public ::testing::TestWithParam<GoodCase> {};

TEST_P(LoaderUpload, SendsEveryBlockAndTheNewApplicationRuns) {
  const GoodCase& c = GetParam();
  UploadRig r(c.board);
  r.Load(AppHex(c.ver, c.codeBytes));
  ASSERT_EQ(r.Ports1.SegSiz, c.seg);
  ASSERT_EQ(r.Mixer1.Idf().Top, c.top);
  int changes = 0;
  r.Loader1.Changed = [&] { ++changes; };
  r.Loader1.Upload(r.Image(), 0x80, false);

  // every block at its place: the board's flash holds the image byte for byte
  EXPECT_EQ(r.Flash(r.Loaded().size()), r.Loaded());
  EXPECT_EQ(r.BoardState(), 0);
  EXPECT_EQ(r.Ports1.AppReg, c.ver) << "the new application identified after the upload";
  EXPECT_EQ(r.Loader1.Siz, c.top * c.seg);
  EXPECT_EQ(r.Loader1.Seg, c.seg);
  EXPECT_EQ(r.Loader1.ProgressMax, r.Loader1.Siz);
  EXPECT_EQ(r.Loader1.ProgressPos, r.Loader1.Siz);
  EXPECT_GT(changes, c.top) << "the view hears of every block";
  const std::string caption = "Upload Firmware File=80 Mark=" + InttoTerso(c.ver);
  EXPECT_EQ(r.Loader1.Caption, caption);
  EXPECT_EQ(r.Loader1.Line1.rfind(caption + " Complete... Elapsed=", 0), 0u) << r.Loader1.Line1;
  EXPECT_EQ(r.Loader1.Line1.substr(r.Loader1.Line1.size() - 5), " sec.");
  EXPECT_EQ(r.Loader1.Line2, "Application Running...");
  EXPECT_EQ(r.Loader1.Button, "Close");
  EXPECT_EQ(r.Logged("Target Resetting..."), c.resetSent ? 1 : 0);
  EXPECT_EQ(r.Logged("Uploading Application Size=" + std::to_string(c.top * c.seg) + " bytes"), 1);
  EXPECT_EQ(r.Logged("Application Running..."), 1);
}

const GoodCase kGood[] = {
    // 0x0800..0x1BE7: 80 segments of 64 bytes, blocks 0..79 of 33 registers from 0xD0
    {"Seg64", {}, 0x0654, 0x1BE8 - 0x0808, 64, 80, true},
    // 17 registers from 0xE0 on a PIC16F bootloader
    {"Seg32", {.model = "vex308", .bootRev = 20}, 0x1458, 1000, 32, 32, true},
    {"Seg64Serial", {.serial = true}, 0x0754, 3000, 64, 47, true},
    // a board already in its bootloader is not sent the restart commands
    {"BoardWithoutApplication", {.noApp = true}, 0x0654, 500, 64, 8, false},
    // a block refused twice is sent a third time (write requests: 0x1234, 0x9999, 0xFFF2,
    // then the blocks: the 6th and 7th are block 2)
    {"BlockFailingTwice",
     {.faults = {"exception code=4 fn=16 nth=6", "exception code=4 fn=16 nth=7"}},
     0x0654,
     600,
     64,
     10,
     true},
};
INSTANTIATE_TEST_SUITE_P(Boards, LoaderUpload, ::testing::ValuesIn(kGood),
                         [](const auto& i) { return std::string(i.param.name); });

TEST(Loader, CaptionShowsTheFileMarkAndTheEdition) {
  UploadRig r;
  r.Load(AppHex(0x0554, 100));
  r.Loader1.Upload(r.Image(), 0x80, false);
  EXPECT_EQ(r.Loader1.Caption, "Upload Firmware File=80 Mark=54.005");
}

// How an upload ends when something goes wrong: the message after "Error: ", the board's
// state afterwards, and (production mode) the same message raised to the caller.
struct FailCase {
  const char* name;
  BoardOptions board;
  std::function<void(UploadRig&)> arrange;  // after loading the image
  const char* message;
  int boardState;  // afterwards
};

class LoaderFailure : public ::testing::TestWithParam<FailCase> {};

TEST_P(LoaderFailure, EndsWithTheMessageInTheWindow) {
  const FailCase& c = GetParam();
  for (bool production : {false, true}) {
    SCOPED_TRACE(production ? "production mode" : "interactive");
    UploadRig r(c.board);
    r.Load(AppHex(0x0654, 1200));
    if (c.arrange) c.arrange(r);
    int closed = 0;
    r.Loader1.CloseWindow = [&] { ++closed; };
    EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, production); }), c.message);
    EXPECT_EQ(r.Loader1.Line1, std::string("Error: ") + c.message);
    EXPECT_EQ(r.Loader1.Err, production ? c.message : "");
    EXPECT_EQ(r.Loader1.Button, "Close");
    EXPECT_EQ(closed, production ? 1 : 0) << "only production mode closes the window itself";
    r.Ports1.ProcessMessages = nullptr;
    r.emu->Control("faults clear");
    EXPECT_EQ(r.BoardState(), c.boardState);
  }
}

const FailCase kFail[] = {
    {"CancelDuringTheSearch",
     {},
     [](UploadRig& r) {
       r.emu->Control("fault noreply fn=3");
       int n = 0;
       r.Ports1.ProcessMessages = [&r, n]() mutable {
         if (++n == 3) r.Loader1.Button1Click();
       };
     },
     "Unable to locate bootcode status=0",
     0},
    {"SearchTimesOut",
     {},
     [](UploadRig& r) {
       r.emu->Control("fault noreply fn=3");
       r.Loader1.SearchMs = 700;
     },
     "Unable to locate bootcode <timeout 10sec>",
     0},
    {"CancelDuringTheBlocks",
     {},
     [](UploadRig& r) {
       r.Ports1.ProcessMessages = [&r] {
         if (r.Loader1.ProgressPos >= 3 * 64) r.Loader1.Button1Click();
       };
     },
     "User-Break...",
     -5},
    {"SpoiltImage",
     {},
     [](UploadRig& r) { r.Mixer1.Map[r.Mixer1.AppBeg + 100] ^= 0x10; },
     "Unable to locate application",
     -2},
    {"UnexpectedSegmentSize",
     {},
     [](UploadRig& r) { r.Ports1.SegSiz = 48; },
     "Unexpected Segment Size=48",
     -1},
};
INSTANTIATE_TEST_SUITE_P(Ends, LoaderFailure, ::testing::ValuesIn(kFail),
                         [](const auto& i) { return std::string(i.param.name); });

// The image may not reach past the end of the memory image it lies in; nothing is sent.
TEST(Loader, ImageReachingPastTheStoreIsRefusedBeforeTheWindowOpens) {
  UploadRig r;
  r.Load(AppHex(0x0654, 100));
  r.Mixer1.AppBeg = cRomSiz - 64;
  r.Mixer1.Map[cRomSiz - 64 + 4] = 20;  // Top = 20 segments of 64 bytes
  r.Mixer1.Map[cRomSiz - 64 + 5] = 0;
  int shown = 0;
  r.Loader1.ShowModal = [&] { ++shown; };
  EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, true); }), "File size too big. Bytes=1280");
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(r.BoardState(), 0);
}

TEST(Loader, BoardLeftInProgrammingModeStopsTheNextUpload) {
  UploadRig r;
  r.Load(AppHex(0x0654, 1200));
  r.Ports1.ProcessMessages = [&r] {
    if (r.Loader1.ProgressPos >= 2 * 64) r.Loader1.Button1Click();
  };
  EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, true); }), "User-Break...");
  r.Ports1.ProcessMessages = nullptr;
  EXPECT_EQ(r.BoardState(), -5);
  EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, true); }),
            "Unable to locate bootcode status=-5");
  EXPECT_EQ(r.Logged("Target Resetting..."), 1) << "a board in its bootloader is not restarted";
}

TEST(Loader, SpoiltImageLeavesTheBoardInItsBootloaderAndTheNextUploadSucceeds) {
  UploadRig r;
  r.Load(AppHex(0x0654, 1200));
  const uint8_t good = r.Mixer1.Map[r.Mixer1.AppBeg + 100];
  r.Mixer1.Map[r.Mixer1.AppBeg + 100] ^= 0x10;
  EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, true); }), "Unable to locate application");
  EXPECT_EQ(r.BoardState(), -2);
  // the log keeps its last 500 lines only: look at each upload's own lines
  r.Ports1.LogLines.clear();
  r.Mixer1.Map[r.Mixer1.AppBeg + 100] = good;
  r.Loader1.Upload(r.Image(), 0x80, true);
  EXPECT_EQ(r.Loader1.Err, "");
  EXPECT_EQ(r.BoardState(), 0);
  EXPECT_EQ(r.Ports1.AppReg, 0x0654);
  EXPECT_EQ(r.Logged("Target Resetting..."), 0) << "a board left in its bootloader is not restarted";
}

// A tool that does not wait for the boot test to start the application looks too early.
TEST(Loader, FindApplicationMustWaitForTheStartDelay) {
  UploadRig r({.appStartMs = 600});
  r.Load(AppHex(0x0654, 600));
  r.Ports1.AppWaitMs = 100;  // looks before the board has started ...
  r.Ports1.AppFindMs = 300;  // ... and gives up before it does
  EXPECT_EQ(MessageOf([&] { r.Loader1.Upload(r.Image(), 0x80, true); }), "Unable to locate application");
}

}  // namespace
}  // namespace vex::test
