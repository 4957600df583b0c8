// Bouncing particles (class 1).
#include <gtest/gtest.h>

#include <algorithm>

#include "fx/bounce.h"
#include "fx/random.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::BounceFx;
using fx::Particle;
using support::FxUnderTest;

// The first two numbers of a show's stream (glibc's first two unseeded rand() results).
constexpr int FIRST_RAND = 1804289383, SECOND_RAND = 846930886;

struct Bounce : FxUnderTest {
  explicit Bounce(uint16_t width = 160, uint16_t height = 50) : FxUnderTest(1, width, height) {}
  BounceFx& fx() { return record<BounceFx>(); }
  std::vector<Particle>& particles() { return fx().particles; }
  // One particle, placed by hand, with the floor far below it unless y says otherwise.
  Particle& place(int32_t x, int32_t y, int32_t vx, int32_t vy) {
    particles().assign(1, Particle{x, y, vx, vy, 0});
    return particles()[0];
  }
};

constexpr uint16_t BACKGROUND = 0x1111, SOURCE = 0xF800;

TEST(BounceStart, TheFirstParticlesComeExactlyFromTheUnseededStream) {
  Bounce bounce;
  bounce.set(0x80, 3);
  ASSERT_EQ(bounce.particles().size(), 3u);
  // Three draws each: the start column, then the two parts of vx.
  const int32_t x[] = {111 * 65536, 108 * 65536, 72 * 65536};
  const int32_t vx[] = {-14336, 45056, 18432};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bounce.particles()[i].x, x[i]) << i;
    EXPECT_EQ(bounce.particles()[i].vx, vx[i]) << i;
    EXPECT_EQ(bounce.particles()[i].y, 0);
    EXPECT_EQ(bounce.particles()[i].vy, 0);
  }
}

TEST(BounceStart, ColumnsSpanFortySevenToOneHundredTwentyThreeOnAWidthOf160) {
  Bounce bounce;
  bounce.set(0x80, 3000);
  int32_t lowest = 1000, highest = -1000;
  for (const Particle& p : bounce.particles()) {
    ASSERT_EQ(p.x % 65536, 0);
    lowest = std::min(lowest, p.x >> 16);
    highest = std::max(highest, p.x >> 16);
    ASSERT_GE(p.vx, -98304);
    ASSERT_LE(p.vx, 98304);
    ASSERT_EQ(p.vx % 2048, 0);
  }
  EXPECT_EQ(lowest, 47);  // 160 x 0.3 truncates to 47: 0.3 is held just below 0.3
  EXPECT_EQ(highest, 123);
}

TEST(BounceCount, ShrinkingKeepsTheFirstParticlesAndGrowingAddsNewOnesBehind) {
  Bounce bounce;
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  bounce.set(0x80, 5);
  for (int i = 0; i < 20; ++i) bounce.render();
  const std::vector<Particle> before = bounce.particles();
  bounce.set(0x80, 3);
  ASSERT_EQ(bounce.particles().size(), 3u);
  bounce.set(0x80, 6);
  ASSERT_EQ(bounce.particles().size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(bounce.particles()[i].x, before[i].x);
    EXPECT_EQ(bounce.particles()[i].y, before[i].y);
    EXPECT_EQ(bounce.particles()[i].vy, before[i].vy);
  }
  EXPECT_GT(before[0].y, 0);  // the old ones have fallen; the new ones start on the top row
  for (int i = 3; i < 6; ++i) {
    EXPECT_EQ(bounce.particles()[i].y, 0);
    EXPECT_EQ(bounce.particles()[i].vy, 0);
  }
}

TEST(BounceRender, NothingMovesIsDrawnOrDrawnFromTheStreamBeforeTheBackground) {
  Bounce bounce;
  bounce.set(0x80, 4);
  const int expected_next = bounce.random.next();
  bounce.random.reset();
  bounce.set(0x80, 0);
  bounce.set(0x80, 4);  // the same four particles again
  std::fill_n(bounce.buffer().pixels.get(), 8000, 0x5555);
  const std::vector<Particle> before = bounce.particles();
  for (int i = 0; i < 5; ++i) bounce.render();
  EXPECT_EQ(bounce.pixel(0, 0), 0x5555);
  EXPECT_EQ(bounce.pixel(before[0].x >> 16, 0), 0x5555);
  EXPECT_EQ(bounce.particles()[0].x, before[0].x);
  EXPECT_EQ(bounce.particles()[3].vy, before[3].vy);
  EXPECT_EQ(bounce.random.next(), expected_next);
}

TEST(BounceRender, ANewParticleIsDrawnOnTheTopRowAtItsStartColumnThenFalls) {
  Bounce bounce;
  auto source = support::make_image(160, 50, SOURCE);
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x81, *source);
  bounce.set(0x82, *background);
  bounce.set(0x80, 1);  // column 111
  bounce.render();
  EXPECT_EQ(bounce.pixel(111, 0), SOURCE);
  EXPECT_EQ(bounce.pixel(110, 0), BACKGROUND);
  EXPECT_EQ(bounce.pixel(111, 1), BACKGROUND);
  EXPECT_GT(bounce.particles()[0].vy, 0);
  for (int i = 0; i < 200; ++i) bounce.render();
  EXPECT_GT(bounce.particles()[0].y, 20 * 65536);
}

TEST(BounceRender, WithNoParticlesRenderOnlyCopiesTheBackground) {
  Bounce bounce;
  auto background = support::make_image(160, 50, [](int x, int y) { return uint16_t(x + y); });
  bounce.set(0x82, *background);
  bounce.render();
  EXPECT_EQ(bounce.pixel(0, 0), 0);
  EXPECT_EQ(bounce.pixel(159, 49), 208);
}

TEST(BounceRender, ALeftWallTurnsAndDampsTheVelocityAndTakesOneStepOfIt) {
  Bounce bounce;
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  Particle& p = bounce.place(262144, 10 * 65536, -65536, 0);  // 4.0 pixels, moving left
  bounce.render();
  EXPECT_EQ(p.vx, 58982);  // trunc(-65536 x -0.9)
  EXPECT_EQ(p.x, 255590);  // 196608 + 58982
}

TEST(BounceRender, TheFloorDrawsItsRandomNumberBeforeGravity) {
  Bounce bounce;
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  Particle& p = bounce.place(80 * 65536, 45 * 65536, 0, 65536);  // lands below row 45
  bounce.random.reset();
  bounce.render();
  // Floor: k = trunc(1804289383 x 50 / 2^31) = 42, vy = trunc(65536 x -0.842) = -55181.
  // Gravity: 436 + 2 x trunc(846930886 x 400 / 2^31) = 750. The other order gives -52565.
  EXPECT_EQ(p.vy, -54431);
  EXPECT_EQ(p.y, 46 * 65536 - 55181);
}

TEST(BounceRender, DropReleasesTheParticlesAndClearingItReArmsTheFloor) {
  Bounce bounce;
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  Particle& p = bounce.place(80 * 65536, 45 * 65536, 0, 32768);
  bounce.set(0x83, 0x100);  // only the low 8 bits count: still the floor
  bounce.random.reset();
  bounce.render();
  EXPECT_LT(p.vy, 0);  // bounced
  bounce.set(0x83, 1);
  p.y = 46 * 65536;
  p.vy = 65536;
  bounce.random.reset();
  bounce.render();
  EXPECT_EQ(p.y, 47 * 65536);  // through the floor
  EXPECT_EQ(p.vy, 65536 + 436 + 2 * int32_t((int64_t(FIRST_RAND) * 400) >> 31));
  p.vy = -10;
  bounce.render();
  EXPECT_EQ(p.vy, -9 + 436 + 2 * int32_t((int64_t(SECOND_RAND) * 400) >> 31));  // 0.07 lifts -10
  for (int i = 0; i < 100; ++i) bounce.render();
  EXPECT_GT(p.y >> 16, 50);  // gone below the picture, no longer drawn
  EXPECT_EQ(bounce.pixel(80, 49), BACKGROUND);
  bounce.set(0x83, 0);
  bounce.render();
  EXPECT_LT(p.vy, 0);  // the floor holds again, also for a particle far below it
}

TEST(BounceRender, ATargetNarrowerThanTenPixelsTurnsEveryParticleEveryRender) {
  Bounce bounce(8, 50);
  auto background = support::make_image(8, 50, BACKGROUND);
  bounce.set(0x82, *background);
  Particle& p = bounce.place(4 * 65536, 10 * 65536, 1000, 0);
  bounce.render();
  EXPECT_EQ(p.vx, -900);
  bounce.render();
  EXPECT_EQ(p.vx, 810);
}

// Inputs a script may give that the effect must survive without reading or writing outside an
// allocation; the sanitizer build checks the "without".

TEST(BounceSafety, ANegativeCountLeavesNoParticles) {
  Bounce bounce;
  bounce.set(0x80, 5);
  bounce.set(0x80, -3);
  EXPECT_TRUE(bounce.particles().empty());
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  bounce.render();
  EXPECT_EQ(bounce.pixel(111, 0), BACKGROUND);
}

TEST(BounceSafety, AHugeCountIsLimited) {
  Bounce bounce(16, 16);
  bounce.set(0x80, 0x7FFFFFFF);
  EXPECT_EQ(bounce.particles().size(), size_t(fx::MAX_PARTICLES));
}

TEST(BounceSafety, PicturesSmallerThanTheTargetReadAsBlackBeyondTheirEnd) {
  Bounce bounce;
  auto source = support::make_image(10, 10, SOURCE);         // 100 pixels
  auto background = support::make_image(20, 5, BACKGROUND);  // 100 pixels
  bounce.set(0x81, *source);
  bounce.set(0x82, *background);
  bounce.set(0x80, 1);  // column 111: element 111 of the source, which has none
  std::fill_n(bounce.buffer().pixels.get(), 8000, 0x5555);
  bounce.render();
  EXPECT_EQ(bounce.pixel(99, 0), BACKGROUND);
  EXPECT_EQ(bounce.pixel(100, 0), 0);
  EXPECT_EQ(bounce.pixel(111, 0), 0);
  EXPECT_EQ(bounce.pixel(159, 49), 0);
}

TEST(BounceSafety, ATargetReCreatedLargerReadsItsOwnStartPictureAsBlackBeyondItsSize) {
  Bounce bounce(20, 10);  // the particles' picture made at creation: 200 black pixels
  auto background = support::make_image(160, 50, BACKGROUND);
  bounce.set(0x82, *background);
  engine::Buffer& target = bounce.buffer();
  target.width = 160;
  target.height = 50;
  target.pixels = engine::allocate_pixels(8000);
  bounce.set(0x80, 50);
  for (int i = 0; i < 100; ++i) bounce.render();
  EXPECT_EQ(bounce.pixel(0, 0), BACKGROUND);
  target.width = 4;  // and smaller again
  target.height = 4;
  target.pixels = engine::allocate_pixels(16);
  for (int i = 0; i < 10; ++i) bounce.render();
  EXPECT_EQ(bounce.pixel(3, 3), BACKGROUND);
}

TEST(BounceSafety, FarPositionsWrapInsteadOfOverflowing) {
  Bounce bounce(4, 4);
  auto background = support::make_image(4, 4, BACKGROUND);
  bounce.set(0x82, *background);
  Particle& p = bounce.place(0x7FFFFFFF, 0x7FFFFFF0, 0x7FFFFFFF, 0x7FFFFFFF);
  bounce.set(0x83, 1);
  bounce.render();
  // x: 0x7FFFFFFF twice wraps to -2, left of the near wall, so vx turns to trunc(vx x -0.9)
  // and x takes that step: -2 - 1932735282.
  EXPECT_EQ(p.vx, -1932735282);
  EXPECT_EQ(p.x, -1932735284);
  // y: 0x7FFFFFF0 + 0x7FFFFFFF wraps to -17. vy: the drop's 0.07 is truncated away, then
  // gravity adds 436 + 2 x 336 (the first draw), wrapping past INT32_MAX.
  EXPECT_EQ(p.y, -17);
  EXPECT_EQ(p.vy, INT32_MIN + 1107);
  // The floor: INT32_MIN wraps y to INT32_MAX - 16, below the floor; the bounce keeps
  // 0.8 + 1 / 1000 of the speed (the second draw gives k = 1), then gravity adds 436 + 2 x 313.
  p.vy = INT32_MIN;
  bounce.set(0x83, 0);
  bounce.render();
  EXPECT_EQ(p.vy, 1720134402 + 1062);
  EXPECT_EQ(p.y, -427349263);  // INT32_MAX - 16 + 1720134402, wrapped
  // x wrapped to 429496730, right of the far wall: turned and damped again.
  EXPECT_EQ(p.vx, 1739461753);
  EXPECT_EQ(p.x, -2126008813);  // 429496730 + 1739461753, wrapped
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(bounce.pixel(x, y), BACKGROUND);  // drawn nowhere
}

TEST(BounceScript, ParticlesShowTheSourceOnTheTopRowOverTheBackground) {
  using support::Rgb;
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, 1, 0)
                                         .setint(0, 0x80, 20)
                                         .setchunk(0, 0x81, 1)
                                         .setchunk(0, 0x82, 2)
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .image(support::make_png(160, 50, Rgb{255, 255, 255}))
                             .image(support::make_png(160, 50, Rgb{0, 0, 255}))
                             .bytes);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(111, 0), 0xFFFF);  // the first particle's column
  EXPECT_EQ(run.picture().at(108, 0), 0xFFFF);  // the second's
  EXPECT_EQ(run.picture().at(0, 0), 0x001F);
  EXPECT_EQ(run.picture().at(111, 1), 0x001F);
  int shown = 0;
  for (int x = 0; x < 160; ++x) {
    if (run.picture().at(x, 0) == 0xFFFF) {
      ++shown;
      EXPECT_GE(x, 47);
      EXPECT_LE(x, 123);
    }
  }
  EXPECT_GT(shown, 10);
  EXPECT_LE(shown, 20);
  run.frames(60);  // they have fallen from the top row
  for (int x = 0; x < 160; ++x) EXPECT_EQ(run.picture().at(x, 0), 0x001F) << x;
}

}  // namespace
