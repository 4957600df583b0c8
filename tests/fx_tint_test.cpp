// Tinted particles (class 3).
#include <gtest/gtest.h>

#include <algorithm>

#include "fx/tint.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::Particle;
using fx::TintFx;
using support::FxUnderTest;

struct Tint : FxUnderTest {
  explicit Tint(uint16_t width = 160, uint16_t height = 50) : FxUnderTest(3, width, height) {}
  std::vector<Particle>& particles() { return record<TintFx>().particles; }
  Particle& place(int32_t x, int32_t y, int32_t vx, int32_t vy, uint16_t colour) {
    particles().assign(1, Particle{x, y, vx, vy, colour});
    return particles()[0];
  }
};

TEST(TintStart, TheFirstParticlesComeExactlyFromTheUnseededStream) {
  Tint tint;
  tint.set(0x80, 3);
  // Six draws each: column, row, two for vx, two for vy.
  const Particle expected[] = {{111 * 65536, 23 * 65536, 53248, 45056, 0x8410},
                               {72 * 65536, 32 * 65536, -28672, 8192, 0x8410},
                               {75 * 65536, 26 * 65536, 94208, 47104, 0x8410}};
  ASSERT_EQ(tint.particles().size(), 3u);
  for (int i = 0; i < 3; ++i) {
    const Particle& p = tint.particles()[i];
    EXPECT_EQ(p.x, expected[i].x) << i;
    EXPECT_EQ(p.y, expected[i].y) << i;
    EXPECT_EQ(p.vx, expected[i].vx) << i;
    EXPECT_EQ(p.vy, expected[i].vy) << i;
    EXPECT_EQ(p.colour, expected[i].colour) << i;
  }
}

TEST(TintStart, ParticlesStartInTheMiddleWithGreysTakenFromTheirHorizontalVelocity) {
  Tint tint;
  tint.set(0x80, 3000);
  int32_t top = 1000, bottom = -1000, left = 1000, right = -1000;
  for (const Particle& p : tint.particles()) {
    top = std::min(top, p.y >> 16);
    bottom = std::max(bottom, p.y >> 16);
    left = std::min(left, p.x >> 16);
    right = std::max(right, p.x >> 16);
    const uint16_t grey = uint16_t(((uint32_t(p.vx) >> 8) & 31) * 0x0841);
    ASSERT_EQ(p.colour, grey);
    ASSERT_TRUE(grey == 0 || grey == 0x4208 || grey == 0x8410 || grey == 0xC618) << grey;
  }
  EXPECT_EQ(top, 14);
  EXPECT_EQ(bottom, 37);
  EXPECT_EQ(left, 47);
  EXPECT_EQ(right, 123);
}

TEST(TintRender, WithoutAPictureTheTargetStaysBlackAndNothingMoves) {
  Tint tint;
  tint.set(0x80, 50);
  std::fill_n(tint.buffer().pixels.get(), 8000, 0x5555);
  const int32_t x = tint.particles()[0].x;
  tint.render();
  EXPECT_EQ(std::count(tint.buffer().pixels.get(), tint.buffer().pixels.get() + 8000, 0), 8000);
  EXPECT_EQ(tint.particles()[0].x, x);
}

TEST(TintRender, GreyOverBlackFadesToBlackInThreeRendersAtFullSpeed) {
  Tint tint;
  auto black = support::make_image(160, 50, 0);
  tint.set(0x81, *black);
  Particle& p = tint.place(20 * 65536, 20 * 65536, 65536, 0, 0xC618);
  const uint16_t fades[] = {0x3186, 0x0861, 0x0000};
  for (int i = 0; i < 3; ++i) {
    tint.render();
    EXPECT_EQ(tint.pixel(20 + i, 20), fades[i]) << i;
    EXPECT_EQ(p.colour, fades[i]);
    EXPECT_EQ(p.x, (21 + i) * 65536);  // a whole pixel each render
  }
}

TEST(TintRender, BlackOverWhiteApproachesButNeverReachesWhiteAtAQuarterOfTheSpeed) {
  Tint tint;
  auto white = support::make_image(160, 50, 0xFFFF);
  tint.set(0x81, *white);
  Particle& p = tint.place(20 * 65536, 20 * 65536, 65536, -65536, 0x0000);
  tint.render();
  EXPECT_EQ(tint.pixel(20, 20), 0xBDF7);
  EXPECT_EQ(p.x, 20 * 65536 + 16384);
  EXPECT_EQ(p.y, 20 * 65536 - 16384);
  tint.render();
  EXPECT_EQ(p.colour, 0xEF7D);
  for (int i = 0; i < 5; ++i) {
    tint.render();
    EXPECT_EQ(p.colour, 0xF7DE);  // red 30, green 62, blue 30
  }
  EXPECT_EQ(p.x, 20 * 65536 + 7 * 16384);
}

TEST(TintRender, AQuarterStepTruncatesTowardZeroOfTheWholeSum) {
  Tint tint;
  auto white = support::make_image(160, 50, 0xFFFF);
  tint.set(0x81, *white);
  Particle& p = tint.place(20 * 65536, 20 * 65536, -3, 3, 0);
  tint.render();
  EXPECT_EQ(p.x, 20 * 65536 - 1);  // trunc(1310720 - 0.75)
  EXPECT_EQ(p.y, 20 * 65536);      // trunc(1310720 + 0.75)
}

TEST(TintRender, TheWallStandsBetween327679And327680) {
  Tint tint;
  auto black = support::make_image(160, 50, 0);
  tint.set(0x81, *black);
  Particle& p = tint.place(327680 + 1000, 20 * 65536, -1000, 0, 0);
  tint.render();
  EXPECT_EQ(p.x, 327680);  // on the wall: not turned
  EXPECT_EQ(p.vx, -1000);
  tint.render();
  EXPECT_EQ(p.vx, 900);  // at 326680: turned
  EXPECT_EQ(p.x, 326680 + 900);
  Particle& q = tint.place(20 * 65536, 327679 + 1000, 0, -1000, 0);
  tint.render();
  EXPECT_EQ(q.vy, 900);
  EXPECT_EQ(q.y, 327679 + 900);
}

TEST(TintRender, ShrinkingTheCountKeepsPositionsVelocitiesAndColours) {
  Tint tint;
  auto picture = support::make_image(160, 50, [](int x, int) { return uint16_t(x < 80 ? 0 : x); });
  tint.set(0x81, *picture);
  tint.set(0x80, 8);
  for (int i = 0; i < 30; ++i) tint.render();
  const std::vector<Particle> before = tint.particles();
  tint.set(0x80, 4);
  ASSERT_EQ(tint.particles().size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tint.particles()[i].x, before[i].x);
    EXPECT_EQ(tint.particles()[i].vy, before[i].vy);
    EXPECT_EQ(tint.particles()[i].colour, before[i].colour);
  }
}

TEST(TintSafety, ANegativeCountLeavesNoParticles) {
  Tint tint;
  tint.set(0x80, 5);
  tint.set(0x80, INT32_MIN);
  EXPECT_TRUE(tint.particles().empty());
}

TEST(TintSafety, APictureSmallerThanTheTargetReadsAsBlackBeyondItsEnd) {
  Tint tint;
  auto small = support::make_image(10, 10, 0xFFFF);  // elements 0 to 99
  tint.set(0x81, *small);
  Particle& p = tint.place(20 * 65536, 20 * 65536, 65536, 0, 0xC618);
  tint.render();
  EXPECT_EQ(tint.pixel(20, 20), 0x3186);  // faded as over black
  EXPECT_EQ(p.x, 21 * 65536);             // at full speed
}

TEST(TintSafety, AParticleOutsideATinyTargetSamplesNothingAndMovesAtFullSpeed) {
  Tint tint(6, 6);
  auto white = support::make_image(6, 6, 0xFFFF);
  tint.set(0x81, *white);
  Particle& p = tint.place(-2 * 65536, 2 * 65536, 65536, 0, 0x1234);
  tint.render();
  EXPECT_EQ(p.colour, 0x1234);
  // Full step to -1.0, then the left wall: vx = -58982, one step of it.
  EXPECT_EQ(p.vx, -58982);
  EXPECT_EQ(p.x, -65536 - 58982);
  EXPECT_EQ(std::count(tint.buffer().pixels.get(), tint.buffer().pixels.get() + 36, 0), 36);
}

TEST(TintSafety, ATargetReCreatedInAnotherSizeIsDrawnInItsNewSize) {
  Tint tint;
  auto white = support::make_image(160, 50, 0xFFFF);
  tint.set(0x81, *white);
  tint.set(0x80, 100);
  tint.render();
  // Each new block has pixels to spare past the target's: they must stay untouched, and every
  // pixel of the target is cleared, then shows at most one particle each.
  engine::Buffer& target = tint.buffer();
  for (auto [width, height] : {std::pair{40, 12}, std::pair{320, 200}}) {
    const size_t count = size_t(width) * height;
    target.width = uint16_t(width);
    target.height = uint16_t(height);
    target.pixels = engine::allocate_pixels(count + 16);
    std::fill_n(target.pixels.get(), count + 16, 0x5555);
    for (int i = 0; i < 50; ++i) tint.render();
    const auto lit = std::count_if(target.pixels.get(), target.pixels.get() + count,
                                   [](uint16_t p) { return p != 0; });
    EXPECT_LE(lit, 100) << width;
    if (width > 160) {
      EXPECT_GT(lit, 0);  // the particles, all inside the old size, are inside
    }
    EXPECT_EQ(std::count(target.pixels.get(), target.pixels.get() + count, 0x5555), 0) << width;
    EXPECT_EQ(std::count(target.pixels.get() + count, target.pixels.get() + count + 16, 0x5555), 16)
        << width;
  }
}

TEST(TintScript, ParticlesTakeOnThePictureInsideTheBox) {
  using support::Rgb;
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, 3, 0)
                                         .setchunk(0, 0x81, 1)
                                         .setint(0, 0x80, 200)
                                         .start(0)
                                         .waitfor(200)
                                         .end())
                             .image(support::make_png(160, 50, Rgb{255, 255, 255}))
                             .bytes);
  run.start();
  run.frame();
  // The first particle: grey 0x8410 over white at column 111, row 23.
  EXPECT_EQ(run.picture().at(111, 23), 0xDEFB);
  run.frames(40);
  int lit = 0;
  for (int y = 0; y < 50; ++y) {
    for (int x = 0; x < 160; ++x) {
      if (run.picture().at(x, y) == 0) continue;
      ++lit;
      EXPECT_EQ(run.picture().at(x, y), 0xF7DE) << x << "," << y;  // settled on white
      EXPECT_TRUE(x >= 4 && x <= 155 && y >= 4 && y <= 45) << x << "," << y;
    }
  }
  EXPECT_GT(lit, 100);
}

}  // namespace
