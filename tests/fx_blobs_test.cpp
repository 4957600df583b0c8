// Bouncing blobs (class 9).
#include <gtest/gtest.h>

#include "fx/blobs.h"
#include "fx/random.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::Blob;
using fx::BlobFx;
using support::FxUnderTest;

constexpr uint8_t BLOBS = 9;
constexpr uint8_t COUNT = 0x80;

struct Blobs {
  explicit Blobs(uint16_t width = 160, uint16_t height = 100) : fx(BLOBS, width, height) {}
  BlobFx& record() { return fx.record<BlobFx>(); }
  void place(std::vector<Blob> blobs) { record().blobs = std::move(blobs); }
  FxUnderTest fx;
};

TEST(BouncingBlobs, TheSpriteFallsByTwoPerPixelFromSixtyThreeAtItsCentre) {
  Blobs blobs;
  const auto& sprite = blobs.record().sprite;
  auto at = [&](int r, int c) { return sprite[r * 64 + c]; };
  EXPECT_EQ(at(32, 32), 63);
  EXPECT_EQ(at(32, 33), 61);
  EXPECT_EQ(at(32, 42), 43);
  EXPECT_EQ(at(32, 63), 1);
  EXPECT_EQ(at(32, 0), 0);
  EXPECT_EQ(at(42, 32), 43);
  int nonzero = 0;
  for (uint8_t byte : sprite) nonzero += byte != 0;
  EXPECT_EQ(nonzero, 3125);
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(at(0, i), 0);
    EXPECT_EQ(at(i, 0), 0);
  }
}

TEST(BouncingBlobs, OneBlobIsTheSpriteAroundItsCentre) {
  Blobs blobs;
  std::fill_n(blobs.fx.buffer().pixels.get(), 160 * 100, 0x5555);
  blobs.fx.render();  // no blobs yet: every pixel is written 0
  EXPECT_EQ(blobs.fx.pixel(0, 0), 0);
  EXPECT_EQ(blobs.fx.pixel(159, 99), 0);
  blobs.place({{80, 50, 0, 0}});
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(80, 50), 0x003F);
  EXPECT_EQ(blobs.fx.pixel(90, 50), 43);
  EXPECT_EQ(blobs.fx.pixel(111, 50), 1);
  EXPECT_EQ(blobs.fx.pixel(112, 50), 0);
  EXPECT_EQ(blobs.fx.pixel(80, 82), 0);
  EXPECT_EQ(blobs.fx.pixel(80, 19), 1);  // sprite row 1 is map row 19: the corner is (48, 18)
}

TEST(BouncingBlobs, OverlappingBlobsAddUpToAtMost255) {
  Blobs blobs;
  blobs.place(std::vector<Blob>(5, Blob{80, 50, 0, 0}));
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(80, 50), 255);     // 5 x 63, saturated
  EXPECT_EQ(blobs.fx.pixel(90, 50), 5 * 43);  // 215
  EXPECT_EQ(blobs.fx.pixel(111, 50), 5);
}

TEST(BouncingBlobs, BlobsMoveAfterBeingDrawnAndTurnPastTheEdgeLimits) {
  Blobs blobs;  // 160 wide: the limits are 10 and 150
  blobs.place({{149.9f, 50, 0.5f, 0}, {149.5f, 50, 0.5f, 0}, {151, 89.75f, 0.5f, 0.5f}});
  blobs.fx.render();
  const auto& moved = blobs.record().blobs;
  EXPECT_EQ(blobs.fx.pixel(149, 50), 2 * 63);  // both drawn at their places before the move
  EXPECT_FLOAT_EQ(moved[0].x, 150.4f);
  EXPECT_EQ(moved[0].dx, -0.5f);  // 150.4 > 150
  EXPECT_EQ(moved[1].x, 150.0f);
  EXPECT_EQ(moved[1].dx, 0.5f);  // exactly on the limit: no turn
  EXPECT_EQ(moved[2].dx, -0.5f);
  EXPECT_EQ(moved[2].y, 90.25f);  // past 90
  EXPECT_EQ(moved[2].dy, -0.5f);
  blobs.fx.render();  // 151.0 and 89.75: x still outside, so it turns back out again
  EXPECT_EQ(moved[2].x, 151.0f);
  EXPECT_EQ(moved[2].dx, 0.5f);
  EXPECT_EQ(moved[2].dy, -0.5f);
  blobs.place({{10.2f, 9.9f, -0.25f, 0}});
  blobs.fx.render();
  EXPECT_EQ(blobs.record().blobs[0].dx, 0.25f);  // 9.95 < 10
  EXPECT_EQ(blobs.record().blobs[0].dy, 0.0f);   // below 10 from the start; -0 is 0
}

TEST(BouncingBlobs, NewBlobsTakeFourRandomNumbersInOrder) {
  Blobs blobs(160, 50);
  blobs.fx.set(COUNT, 1);
  const Blob& blob = blobs.record().blobs.at(0);
  // x = trunc(1804289383 x 160 x 0.4 / 2^31) + 0.3 x 160 = 53 + 48, y = 7 + 15 (from just
  // below 22), dx = (78 - 50) x 0.025, dy = (79 - 50) x 0.025.
  EXPECT_EQ(blob.x, 101.0f);
  EXPECT_EQ(blob.y, 22.0f);
  EXPECT_EQ(blob.dx, 0.7f);
  EXPECT_EQ(blob.dy, 0.725f);
}

TEST(BouncingBlobs, ChangingTheCountKeepsTheFirstBlobs) {
  Blobs blobs;
  blobs.fx.set(COUNT, 5);
  const std::vector<Blob> five = blobs.record().blobs;
  blobs.fx.set(COUNT, 5);  // the same count: nothing changes, nothing is drawn
  blobs.fx.set(COUNT, 3);
  ASSERT_EQ(blobs.record().blobs.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(blobs.record().blobs[i].x, five[i].x);
  blobs.fx.set(COUNT, 5);  // fresh blobs, not the dropped ones back
  const auto& again = blobs.record().blobs;
  ASSERT_EQ(again.size(), 5u);
  EXPECT_EQ(again[2].dy, five[2].dy);
  EXPECT_FALSE(again[3].x == five[3].x && again[3].y == five[3].y && again[3].dx == five[3].dx &&
               again[3].dy == five[3].dy);
}

TEST(BouncingBlobs, ASpritePastTheRightEdgeGoesOnAtTheLeftOneRowLower) {
  Blobs blobs;
  blobs.place({{150, 50, 0, 0}});  // corner at column 118: sprite columns 42 on wrap
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(0, 51), 43);  // sprite row 32, column 42
  EXPECT_EQ(blobs.fx.pixel(10, 51), 23);
  EXPECT_EQ(blobs.fx.pixel(159, 50), 45);  // sprite row 32, column 41
}

// The blob count and the sprite's reach are trusted to stay inside the map; they need not.
TEST(BouncingBlobs, NegativeCountsMeanNoBlobsAndHugeOnesAreLimited) {
  Blobs blobs;
  blobs.fx.set(COUNT, 2);
  blobs.fx.set(COUNT, -4);
  EXPECT_TRUE(blobs.record().blobs.empty());
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(80, 50), 0);
  EXPECT_EQ(blobs.fx.random.next(), 596516649);  // the 9th result: only the two blobs drew
  blobs.fx.set(COUNT, INT32_MAX);
  EXPECT_EQ(blobs.record().blobs.size(), 65535u);
}

TEST(BouncingBlobs, SpriteBytesAboveTheTopAndBelowTheBottomAreLeftOut) {
  const Blob inside[] = {
      {80, 5, 0, 0}, {5, 5, 0, 0}, {0, 0, 0, 0}, {150, 98, 0, 0}, {159, 99, 0, 0}};
  for (const Blob& blob : inside) {
    Blobs blobs;
    blobs.place({blob});
    blobs.fx.render();
    EXPECT_EQ(blobs.fx.pixel(int(blob.x), int(blob.y)), 63) << blob.x << ", " << blob.y;
  }
  // A blob in the top-left corner: what lies left of column 0 shows at the right edge one row
  // up, except on the top row, which has no row above.
  Blobs corner;
  corner.place({{0, 0, 0, 0}});
  corner.fx.render();
  EXPECT_EQ(corner.fx.pixel(159, 0), 61);  // sprite row 33, column 31
  EXPECT_EQ(corner.fx.pixel(1, 0), 61);
  // Wholly outside: nothing to show.
  for (const Blob& blob : {Blob{-40, -40, 0, 0}, Blob{400, 300, 0, 0}, Blob{80, -100, 0, 0}}) {
    Blobs blobs;
    blobs.place({blob});
    blobs.fx.render();
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 160; ++x) ASSERT_EQ(blobs.fx.pixel(x, y), 0) << x << ", " << y;
  }
}

TEST(BouncingBlobs, ATargetRecreatedAtAnotherSizeIsDrawnWhole) {
  Blobs blobs(64, 64);
  blobs.place({{200, 150, 0, 0}});
  blobs.fx.buffer() = *support::make_entry(320, 200);
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(200, 150), 63);
  blobs.fx.buffer() = *support::make_entry(20, 10);
  blobs.fx.render();
  EXPECT_EQ(blobs.fx.pixel(19, 9), 0);
}

TEST(BouncingBlobs, ScriptDrawsThreeRandomBlobs) {
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, BLOBS, 0)
                                         .setint(0, COUNT, 3)
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .bytes);
  run.start();
  run.frame();
  // Blobs at (101, 22), (106, 18) and (65, 26), drawn before their first move.
  EXPECT_EQ(run.picture().at(65, 26), 63);
  EXPECT_EQ(run.picture().at(65, 0), 11);  // 26 above blob 2's centre
  EXPECT_EQ(run.picture().at(0, 0), 0);
  EXPECT_GT(run.picture().at(103, 20), 63);  // where blobs 0 and 1 overlap
  run.frames(20);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x) ASSERT_LE(run.picture().at(x, y), 0xFF);
  EXPECT_NE(run.picture().at(65, 26), 63);  // blob 2 moved on: (-0.525, +0.675) per render
}

}  // namespace
