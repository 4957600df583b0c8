// Page curtain (class 5).
#include <gtest/gtest.h>

#include <string>

#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using support::FxUnderTest;

constexpr uint16_t UNTOUCHED = 0x5555;

// Every pixel of image row r holds r + 1, so no image row is black.
std::unique_ptr<datafile::ImageChunk> numbered_rows(int width = 160, int height = 650) {
  return support::make_image(width, height, [](int, int y) { return uint16_t(y + 1); });
}

struct Curtain : FxUnderTest {
  explicit Curtain(uint16_t width = 160, uint16_t height = 50) : FxUnderTest(5, width, height) {
    std::fill_n(buffer().pixels.get(), buffer().pixel_count(), UNTOUCHED);
  }
  void renders(int count) {
    for (int i = 0; i < count; ++i) render();
  }
  // What target row `row` shows: the number of the image row it copies, "black", "mixed" when it
  // is not one image row, or "." when untouched.
  std::string shown(int row) {
    const uint16_t first = pixel(0, row), last = pixel(buffer().width - 1, row);
    if (first != last) return "mixed";
    if (first == UNTOUCHED) return ".";
    return first == 0 ? "black" : std::to_string(first - 1);
  }
  // What every target row shows, separated by spaces.
  std::string rows() {
    std::string text;
    for (int y = 0; y < buffer().height; ++y) text += (y ? " " : "") + shown(y);
    return text;
  }
};

// Rows first .. first + count - 1, ascending, as text.
std::string ascending(int first, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " " : "") + std::to_string(first + i);
  return text;
}
std::string repeated(const std::string& row, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += (i ? " " : "") + row;
  return text;
}
std::string repeated(int row, int count) {
  return repeated(std::to_string(row), count);
}

TEST(CurtainTimeline, TheFirstPageOnA160By50Target) {
  Curtain curtain;
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.renders(48);
  EXPECT_EQ(curtain.rows(), repeated(".", 50));  // renders 1 to 48 draw nothing
  curtain.render();                              // 49: the first row everywhere
  EXPECT_EQ(curtain.rows(), repeated(0, 50));
  curtain.render();  // 50: row 0, then row 1 repeated below
  EXPECT_EQ(curtain.rows(), "0 " + repeated(1, 49));
  curtain.renders(47);  // 97
  EXPECT_EQ(curtain.rows(), ascending(0, 48) + " 48 48");
  curtain.render();  // 98: the whole page
  EXPECT_EQ(curtain.rows(), ascending(0, 50));
  std::fill_n(curtain.buffer().pixels.get(), 8000, UNTOUCHED);
  curtain.renders(48);  // 99 to 146 draw nothing
  EXPECT_EQ(curtain.rows(), repeated(".", 50));
  curtain.render();  // 147: the whole page again
  EXPECT_EQ(curtain.rows(), ascending(0, 50));
  curtain.render();  // 148: the wipe's edge moves down
  EXPECT_EQ(curtain.rows(), "1 " + ascending(1, 49));
  curtain.renders(48);  // 196: the page's last row everywhere
  EXPECT_EQ(curtain.rows(), repeated(49, 50));
  curtain.renders(48);  // the next wait: nothing drawn
  EXPECT_EQ(curtain.rows(), repeated(49, 50));
  curtain.render();  // the next page starts from its first row, image row 50
  EXPECT_EQ(curtain.rows(), repeated(50, 50));
}

TEST(CurtainTimeline, NothingCountsDownBeforeAnImageIsSet) {
  Curtain curtain;
  curtain.renders(100);
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.renders(48);
  EXPECT_EQ(curtain.rows(), repeated(".", 50));
  curtain.render();
  EXPECT_EQ(curtain.rows(), repeated(0, 50));
}

TEST(CurtainTimeline, AHoldOfZeroOrLessLastsOneRender) {
  for (int hold : {0, -7, INT32_MIN}) {
    Curtain curtain(4, 4);
    auto image = numbered_rows(4, 650);
    curtain.set(0x80, *image);
    curtain.set(0x81, hold);
    curtain.renders(48 + 4);  // the first wait keeps its 48; the reveal
    EXPECT_EQ(curtain.rows(), "0 1 2 3") << hold;
    curtain.render();  // hold: one render
    curtain.render();  // the wipe begins
    EXPECT_EQ(curtain.rows(), "0 1 2 3");
    curtain.renders(3);
    EXPECT_EQ(curtain.rows(), "3 3 3 3");
    curtain.render();  // wait: one render
    curtain.render();  // the next page
    EXPECT_EQ(curtain.rows(), "4 4 4 4") << hold;
  }
}

TEST(CurtainTimeline, ThirteenPagesThenFinishedOnImageRow649AndAReplayFromPhase0) {
  Curtain curtain;
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.set(0x81, 1);
  // First page: 48 + 50 + 1 + 50; each later one: 1 + 50 + 1 + 50.
  curtain.renders(149 + 12 * 102);
  EXPECT_EQ(curtain.rows(), repeated(649, 50));
  curtain.renders(200);  // finished: nothing more
  EXPECT_EQ(curtain.rows(), repeated(649, 50));
  curtain.set(0x82, 0);
  curtain.render();  // a wait of max(hold, 1)
  EXPECT_EQ(curtain.rows(), repeated(649, 50));
  curtain.render();
  EXPECT_EQ(curtain.rows(), repeated(0, 50));  // the first page again
}

TEST(CurtainTimeline, APageStartingAtRow623IsStillShown) {
  Curtain curtain(4, 50);
  auto image = numbered_rows(4, 700);
  curtain.set(0x80, *image);
  curtain.set(0x81, 1);
  curtain.set(0x83, 573);
  curtain.renders(48 + 50 + 1 + 50 + 1 + 1);  // that page, then the first reveal of the next
  EXPECT_EQ(curtain.rows(), repeated(623, 50));
  curtain.renders(49 + 1 + 50 + 200);
  EXPECT_EQ(curtain.rows(), repeated(672, 50));  // then finished
}

TEST(CurtainPhase, FourOrAnyOtherValueDrawsNothing) {
  for (int phase : {4, 5, -1, 1000}) {
    Curtain curtain;
    auto image = numbered_rows();
    curtain.set(0x80, *image);
    curtain.set(0x82, phase);
    curtain.renders(300);
    EXPECT_EQ(curtain.rows(), repeated(".", 50)) << phase;
  }
}

TEST(CurtainPhase, AForcedRevealWithTheInitialCounterBeyondATargetOf20RowsIsClipped) {
  Curtain curtain(160, 20);
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.set(0x82, 1);  // counter is still 48
  curtain.render();
  EXPECT_EQ(curtain.rows(), ascending(0, 20));  // rows 0 to 47 would be the page: 20 of them
  curtain.renders(48);                          // the reveal ended at once: hold 48
  curtain.render();                             // wipe from 0
  EXPECT_EQ(curtain.rows(), ascending(0, 20));
}

TEST(CurtainPhase, AForcedWipeBeyondTheTargetRepeatsTheEdgeRowOverEveryRow) {
  Curtain curtain(160, 20);
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.set(0x82, 3);  // counter 48
  curtain.render();
  EXPECT_EQ(curtain.rows(), repeated(48, 20));
}

TEST(CurtainPhase, ANegativeEdgeRowShowsBlackForRowsBeforeTheImage) {
  Curtain curtain(160, 10);
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.set(0x81, -3);
  curtain.set(0x82, 1);
  curtain.renders(1);  // counter 48 >= 10: the reveal ends with counter = hold = -3
  curtain.set(0x82, 1);
  curtain.render();  // edge -3: image row -3 over every row
  EXPECT_EQ(curtain.rows(), repeated("black", 10));
  curtain.set(0x83, 10);
  curtain.render();  // edge -2 of the page at 10: image row 8
  EXPECT_EQ(curtain.rows(), repeated(8, 10));
  curtain.set(0x82, 3);
  curtain.render();  // wipe at -1: the page from row 0
  EXPECT_EQ(curtain.rows(), ascending(10, 10));
}

TEST(CurtainSafety, AnImageNarrowerOrShorterThanThePagesReadsAsBlackWhereItEnds) {
  Curtain curtain(8, 4);
  // 6 pixels wide, 5 rows: 30 pixels, read as rows of 8.
  auto image = support::make_image(6, 5, [](int x, int y) { return uint16_t(y * 6 + x + 1); });
  curtain.set(0x80, *image);
  curtain.set(0x83, 2);
  curtain.set(0x82, 1);
  curtain.set(0x81, 1);
  curtain.render();                    // rows 0 to 3 of the page at row 2: image rows 2 to 5
  EXPECT_EQ(curtain.pixel(0, 0), 17);  // element 16
  EXPECT_EQ(curtain.pixel(5, 1), 30);  // element 29, the last
  EXPECT_EQ(curtain.pixel(6, 1), 0);
  EXPECT_EQ(curtain.pixel(0, 3), 0);
  curtain.set(0x83, INT32_MAX);  // far past the image; the page advance wraps
  curtain.set(0x82, 3);
  curtain.renders(8);
  EXPECT_EQ(curtain.pixel(0, 0), 0);
}

TEST(CurtainSafety, ATargetReCreatedInAnotherSizeIsDrawnInItsNewSize) {
  Curtain curtain;
  auto image = numbered_rows();
  curtain.set(0x80, *image);
  curtain.renders(60);  // in the reveal, edge at 11
  engine::Buffer& target = curtain.buffer();
  target.width = 160;
  target.height = 5;
  target.pixels = engine::allocate_pixels(800);
  curtain.render();  // the edge is beyond the new height: the page's rows 0 to 4
  EXPECT_EQ(curtain.rows(), ascending(0, 5));
  // Larger: a block with 100 pixels to spare past the target's, which must stay untouched.
  target.width = 200;
  target.height = 100;
  target.pixels = engine::allocate_pixels(20100);
  std::fill_n(target.pixels.get(), 20100, UNTOUCHED);
  curtain.renders(100);  // the hold, then the wipe, which redraws every row
  // Rows as long as the new width: target row 99 is elements 19800 to 19999 of the page, on
  // image rows 123 (from column 120) and 124.
  EXPECT_EQ(curtain.pixel(0, 99), 124);
  EXPECT_EQ(curtain.pixel(199, 99), 125);
  for (size_t i = 20000; i < 20100; ++i) ASSERT_EQ(target.pixels[i], UNTOUCHED) << i;
}

TEST(CurtainScript, PagesUnrollOnThePicture) {
  using support::Rgb;
  // Image row r: red carries r mod 32, green r / 32, in the bits RGB565 keeps.
  auto colour = [](int, int y) { return Rgb{uint8_t((y % 32) << 3), uint8_t((y / 32) << 2), 0}; };
  auto row_colour = [&](int r) { return support::rgb565(colour(0, r)); };
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, 5, 0)
                                         .setchunk(0, 0x80, 1)
                                         .setint(0, 0x81, 2)
                                         .start(0)
                                         .waitfor(400)
                                         .end())
                             .image(support::make_png(160, 650, colour))
                             .bytes);
  run.start();
  run.frames(49);
  EXPECT_EQ(run.picture().at(10, 0), row_colour(0));
  EXPECT_EQ(run.picture().at(10, 49), row_colour(0));
  run.frames(49);
  EXPECT_EQ(run.picture().at(10, 0), row_colour(0));
  EXPECT_EQ(run.picture().at(159, 49), row_colour(49));
  run.frames(2 + 50 + 2 + 1);  // hold, wipe, wait, first reveal of page 2
  EXPECT_EQ(run.picture().at(80, 25), row_colour(50));
}

}  // namespace
