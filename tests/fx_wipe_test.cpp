// Colour wipe (class 12).
#include <gtest/gtest.h>

#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using support::FxUnderTest;

constexpr uint8_t WIPE = 12;
constexpr uint8_t IMAGE = 0x80, DIRECTION = 0x81, LEFT = 0x82, RIGHT = 0x83, TOP = 0x84,
                  BOTTOM = 0x85, INCREMENT = 0x86, COLOUR = 0x87;

struct Wipe {
  // The rectangle of columns 10 to 19 and rows 5 to 14 of a 40 x 20 target.
  Wipe() : fx(WIPE, 40, 20) {
    fx.set(LEFT, 10);
    fx.set(RIGHT, 20);
    fx.set(TOP, 5);
    fx.set(BOTTOM, 15);
    fx.set(INCREMENT, 3);
    fx.set(COLOUR, 0xF800);
  }
  // The painted part as columns x0 to x1 - 1 of rows y0 to y1 - 1, checked against every pixel;
  // nothing painted is {0, 0, 0, 0}.
  struct Box {
    int x0, x1, y0, y1;
    bool operator==(const Box&) const = default;
  };
  Box painted(uint16_t colour = 0xF800) {
    Box box{40, 0, 20, 0};
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x)
        if (fx.pixel(x, y) == colour)
          box = {std::min(box.x0, x), std::max(box.x1, x + 1), std::min(box.y0, y),
                 std::max(box.y1, y + 1)};
    if (box.x1 == 0) return {0, 0, 0, 0};
    int count = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 40; ++x) count += fx.pixel(x, y) == colour;
    EXPECT_EQ(count, (box.x1 - box.x0) * (box.y1 - box.y0)) << "not one rectangle";
    return box;
  }
  FxUnderTest fx;
};

std::ostream& operator<<(std::ostream& out, const Wipe::Box& box) {
  return out << "columns " << box.x0 << ".." << box.x1 - 1 << ", rows " << box.y0 << ".."
             << box.y1 - 1;
}

TEST(ColourWipe, LeftToRightGrowsByTheIncrementUpToTheRectangle) {
  Wipe wipe;
  wipe.fx.set(DIRECTION, 1);
  const Wipe::Box expected[] = {
      {0, 0, 0, 0}, {10, 13, 5, 15}, {10, 16, 5, 15}, {10, 19, 5, 15}, {10, 20, 5, 15}};
  for (const Wipe::Box& box : expected) {
    wipe.fx.render();
    EXPECT_EQ(wipe.painted(), box);
  }
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(), (Wipe::Box{10, 20, 5, 15}));
}

TEST(ColourWipe, TopToBottomGrowsByRows) {
  Wipe wipe;
  wipe.fx.set(DIRECTION, 2);
  const Wipe::Box expected[] = {
      {0, 0, 0, 0}, {10, 20, 5, 8}, {10, 20, 5, 11}, {10, 20, 5, 14}, {10, 20, 5, 15}};
  for (const Wipe::Box& box : expected) {
    wipe.fx.render();
    EXPECT_EQ(wipe.painted(), box);
  }
}

TEST(ColourWipe, ZeroIncrementNeverPaints) {
  Wipe wipe;
  wipe.fx.set(INCREMENT, 0);
  wipe.fx.set(DIRECTION, 1);
  for (int i = 0; i < 5; ++i) wipe.fx.render();
  EXPECT_EQ(wipe.painted(), (Wipe::Box{0, 0, 0, 0}));
}

TEST(ColourWipe, NegativeIncrementsShrinkThePaintedPart) {
  Wipe wipe;
  wipe.fx.set(DIRECTION, 1);
  for (int i = 0; i < 3; ++i) wipe.fx.render();  // progress 9
  wipe.fx.set(INCREMENT, -3);
  for (uint16_t colour : {0x0001, 0x0002, 0x0003, 0x0004, 0x0005}) {
    wipe.fx.set(COLOUR, colour);
    wipe.fx.render();  // 9, 6, 3, 0, then -3: nothing
  }
  EXPECT_EQ(wipe.painted(1), (Wipe::Box{16, 19, 5, 15}));
  EXPECT_EQ(wipe.painted(2), (Wipe::Box{13, 16, 5, 15}));
  EXPECT_EQ(wipe.painted(3), (Wipe::Box{10, 13, 5, 15}));
  EXPECT_EQ(wipe.painted(4), (Wipe::Box{0, 0, 0, 0}));
  EXPECT_EQ(wipe.painted(5), (Wipe::Box{0, 0, 0, 0}));
}

TEST(ColourWipe, RestartingKeepsThePaintedPixels) {
  Wipe wipe;
  wipe.fx.set(DIRECTION, 1);
  for (int i = 0; i < 6; ++i) wipe.fx.render();
  wipe.fx.set(COLOUR, 0x07E0);
  wipe.fx.set(DIRECTION, 1);  // the direction it has: a restart from nothing
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(0xF800), (Wipe::Box{10, 20, 5, 15}));
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(0x07E0), (Wipe::Box{10, 13, 5, 15}));
}

TEST(ColourWipe, TheDefaultColourIs00FFAndOnlyTheLow16BitsCount) {
  FxUnderTest fx(WIPE, 4, 4);
  fx.set(RIGHT, 4);
  fx.set(BOTTOM, 4);
  fx.set(INCREMENT, 4);
  fx.set(DIRECTION, 2);
  fx.render();
  fx.render();
  EXPECT_EQ(fx.pixel(3, 3), 0x00FF);
  fx.set(COLOUR, 0x7F0FEDC);
  fx.render();
  EXPECT_EQ(fx.pixel(0, 0), 0xFEDC);
}

TEST(ColourWipe, OtherDirectionsIdle) {
  for (int32_t direction : {0, 3, -1}) {
    Wipe wipe;
    wipe.fx.set(DIRECTION, direction);
    for (int i = 0; i < 6; ++i) wipe.fx.render();
    EXPECT_EQ(wipe.painted(), (Wipe::Box{0, 0, 0, 0}));
    wipe.fx.set(DIRECTION, 1);
    wipe.fx.render();
    wipe.fx.render();
    EXPECT_EQ(wipe.painted(), (Wipe::Box{10, 13, 5, 15})) << direction;
  }
}

// The rectangle is trusted to lie inside the target whenever it is painted; it need not.
TEST(ColourWipe, RectanglesReachingOutsideTheTargetAreClipped) {
  Wipe wipe;
  wipe.fx.set(LEFT, -5);
  wipe.fx.set(RIGHT, 100);
  wipe.fx.set(TOP, 12);
  wipe.fx.set(BOTTOM, 400);
  wipe.fx.set(INCREMENT, 30);
  wipe.fx.set(DIRECTION, 1);
  wipe.fx.render();
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(), (Wipe::Box{0, 25, 12, 20}));
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(), (Wipe::Box{0, 40, 12, 20}));
  wipe.fx.set(TOP, -50);
  wipe.fx.set(BOTTOM, -10);
  wipe.fx.set(COLOUR, 0x1234);
  wipe.fx.render();
  EXPECT_EQ(wipe.painted(0x1234), (Wipe::Box{0, 0, 0, 0}));
}

TEST(ColourWipe, ExtremeValuesSaturateInsteadOfOverflowing) {
  Wipe wipe;
  wipe.fx.set(LEFT, -10);
  wipe.fx.set(RIGHT, INT32_MAX);  // a width of 2^31 + 9, more than 32 bits hold
  wipe.fx.set(INCREMENT, INT32_MAX);
  wipe.fx.set(DIRECTION, 1);
  for (int i = 0; i < 4; ++i) wipe.fx.render();
  EXPECT_EQ(wipe.painted(), (Wipe::Box{0, 40, 5, 15}));
  wipe.fx.set(TOP, INT32_MIN);
  wipe.fx.set(BOTTOM, INT32_MAX);
  wipe.fx.set(INCREMENT, INT32_MIN);
  wipe.fx.set(DIRECTION, 2);
  wipe.fx.set(COLOUR, 0x0001);
  for (int i = 0; i < 4; ++i) wipe.fx.render();  // progress falls to INT32_MIN and stays
  EXPECT_EQ(wipe.painted(0x0001), (Wipe::Box{0, 0, 0, 0}));
  wipe.fx.set(LEFT, INT32_MAX);
  wipe.fx.set(RIGHT, INT32_MIN);
  wipe.fx.set(INCREMENT, 1);
  wipe.fx.set(DIRECTION, 1);
  for (int i = 0; i < 4; ++i) wipe.fx.render();
  EXPECT_EQ(wipe.painted(0x0001), (Wipe::Box{0, 0, 0, 0}));
}

TEST(ColourWipe, ImageParameterPaintsIntoTheImagesPixels) {
  auto image = support::make_image(40, 20, 0x0000);
  Wipe wipe;
  wipe.fx.set(IMAGE, *image);
  EXPECT_EQ(wipe.fx.buffer().pixels.get(), image->pixels.get());
  EXPECT_EQ(wipe.fx.buffer().width, 40);
  wipe.fx.set(DIRECTION, 1);
  wipe.fx.render();
  wipe.fx.render();
  EXPECT_EQ(image->pixels[5 * 40 + 12], 0xF800);

  // A smaller image cannot take the wipe's writes: the buffer paints into a copy of it.
  auto small = support::make_image(8, 8, 0x5555);
  wipe.fx.set(IMAGE, *small);
  EXPECT_NE(wipe.fx.buffer().pixels.get(), small->pixels.get());
  EXPECT_EQ(wipe.fx.pixel(7, 1), 0x5555);   // pixel 47 of the copy
  EXPECT_EQ(wipe.fx.pixel(23, 1), 0x5555);  // pixel 63, the image's last
  EXPECT_EQ(wipe.fx.pixel(24, 1), 0);
  for (int i = 0; i < 5; ++i) wipe.fx.render();
  EXPECT_EQ(wipe.fx.pixel(19, 14), 0xF800);
  EXPECT_EQ(small->pixels[63], 0x5555);
}

TEST(ColourWipe, ScriptWipesTwoRectanglesOneIntoAnImage) {
  using support::Rgb;
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, WIPE, 0)
                                         .setint(0, RIGHT, 160)
                                         .setint(0, BOTTOM, 50)
                                         .setint(0, INCREMENT, 40)
                                         .setint(0, DIRECTION, 1)
                                         .start(0)
                                         .newbuf(1, 0, 0, 160, 50)
                                         .newfx(1, WIPE, 1)
                                         .setchunk(1, IMAGE, 1)
                                         .setint(1, LEFT, 100)
                                         .setint(1, RIGHT, 110)
                                         .setint(1, TOP, 10)
                                         .setint(1, BOTTOM, 20)
                                         .setint(1, INCREMENT, 4)
                                         .setint(1, COLOUR, 0xF800)
                                         .setint(1, DIRECTION, 2)
                                         .waitfor(3)
                                         .start(1)
                                         .waitfor(100)
                                         .end())
                             .image(support::make_png(160, 50, Rgb{0, 255, 0}))
                             .bytes);
  run.start();
  run.frames(2);
  EXPECT_EQ(run.picture().at(39, 49), 0x00FF);
  EXPECT_EQ(run.picture().at(40, 0), 0);
  run.frames(4);  // slot 1 starts in frame 3 and covers slot 0 with the image
  EXPECT_EQ(run.buffer(0).pixels[49 * 160 + 159], 0x00FF);
  EXPECT_EQ(run.picture().at(159, 49), 0x07E0);
  EXPECT_EQ(run.picture().at(105, 10), 0xF800);  // rows 10 to 17 after its third render
  EXPECT_EQ(run.picture().at(109, 17), 0xF800);
  EXPECT_EQ(run.picture().at(105, 18), 0x07E0);
  EXPECT_EQ(run.picture().at(99, 12), 0x07E0);
  const auto& image = static_cast<const datafile::ImageChunk&>(*run.engine->chunks[1]);
  EXPECT_EQ(image.pixels[13 * 160 + 105], 0xF800);
}

}  // namespace
