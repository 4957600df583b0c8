// Melting relief (class 11).
#include <gtest/gtest.h>

#include "fx/melt.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::MeltFx;
using support::FxUnderTest;
using support::make_image;

constexpr uint8_t MELT = 11;
constexpr uint8_t SOURCE = 0x80, GRAVITY = 0x81, FLOWING = 0x82;

struct Melt {
  Melt(uint16_t width, uint16_t height) : fx(MELT, width, height) {}
  MeltFx& record() { return fx.record<MeltFx>(); }
  float& mass(int x, int y) { return record().mass[size_t(y) * fx.buffer().width + x]; }
  uint8_t relief(int x, int y) { return record().relief[size_t(y) * fx.buffer().width + x]; }
  FxUnderTest fx;
};

TEST(MeltingRelief, TheLightMapIsAWhiteCoreInAnOrangeGlow) {
  Melt melt(8, 8);
  auto entry = [&](int i, int j) { return melt.record().light_map.at(i + 256 * j); };
  EXPECT_EQ(entry(128, 128), 0xFFFF);
  EXPECT_EQ(entry(129, 128), 0xFFFE);
  EXPECT_EQ(entry(131, 128), 0xFFF3);
  EXPECT_EQ(entry(133, 128), 0xDD82);
  EXPECT_EQ(entry(134, 128), 0xC4E0);
  EXPECT_EQ(entry(178, 128), 0xAC60);
  EXPECT_EQ(entry(228, 128), 0x6AA0);
  EXPECT_EQ(entry(255, 128), 0x3980);
  EXPECT_EQ(entry(128, 0), 0x3960);
  EXPECT_EQ(entry(0, 0), 0x0000);
  EXPECT_EQ(entry(127, 128), 0xFFFE);  // round
  EXPECT_EQ(entry(128, 129), 0xFFFE);
}

TEST(MeltingRelief, TheMassIsTheImagesBrightnessOver189) {
  Melt melt(4, 2);
  const uint16_t colours[] = {0xFFFF, 0x0000, 0xF800, 0x07E0, 0x001F, 0x0841, 0x8410, 0xFFFF};
  auto image = make_image(4, 2, [&](int x, int y) { return colours[y * 4 + x]; });
  melt.record().mass.back() = 0.5f;  // a catch cell, emptied by the load
  melt.fx.set(SOURCE, *image);
  EXPECT_EQ(melt.mass(0, 0), 187.0f / 189);
  EXPECT_EQ(melt.mass(1, 0), 0.0f);
  EXPECT_EQ(melt.mass(2, 0), 62.0f / 189);
  EXPECT_EQ(melt.mass(3, 0), 63.0f / 189);
  EXPECT_EQ(melt.mass(0, 1), 62.0f / 189);
  EXPECT_EQ(melt.mass(1, 1), 6.0f / 189);
  EXPECT_EQ(melt.mass(2, 1), 96.0f / 189);
  EXPECT_EQ(melt.record().mass.back(), 0.0f);
  EXPECT_EQ(melt.relief(1, 1), 0);  // the relief waits for the next flow step
}

TEST(MeltingRelief, SidewaysPairsLevelAboveAboutOnePointZeroEight) {
  Melt melt(4, 2);
  for (int x = 0; x < 4; ++x) melt.mass(x, 1) = 0.6f;
  fx::sideways_pass(melt.record());
  // s = 1.2, c = 0.4 x 1.728 = 0.691 > 0.5: each pair becomes 0.6 and 0.6.
  EXPECT_EQ(melt.mass(0, 1), 0.6f);
  EXPECT_EQ(melt.mass(1, 1), 0.6f);
  EXPECT_EQ(melt.mass(2, 1), 0.6f);
  EXPECT_LT(melt.mass(3, 1), 0.6f);  // the last pixel's neighbour is the first catch cell
  EXPECT_GT(melt.record().mass[8], 0.0f);
  EXPECT_EQ(melt.mass(0, 0), 0.0f);  // row 0 never changes
}

TEST(MeltingRelief, SidewaysPairsBelowExchangeCTimesTheirDifference) {
  // a = 0.3, b = 0.1: c = 0.4 x 0.4^3 = 0.0256, d = 0.00512.
  Melt left(4, 2), right(4, 2);
  left.mass(0, 1) = 0.3f;
  left.mass(1, 1) = 0.1f;
  right.mass(0, 1) = 0.1f;  // the same pair the other way round: d turns negative
  right.mass(1, 1) = 0.3f;
  fx::sideways_pass(left.record());
  fx::sideways_pass(right.record());
  EXPECT_NEAR(left.mass(0, 1), 0.29488, 1e-6);
  EXPECT_NEAR(right.mass(0, 1), 0.10512, 1e-6);
  EXPECT_EQ(left.mass(0, 1) + right.mass(0, 1), 0.4f);
}

TEST(MeltingRelief, DownwardMovesFollowGravityAndLimitTheUpperPixel) {
  Melt melt(1, 3);  // cells 0 to 2, catch cells 3 and 4
  melt.mass(0, 1) = 0.5f;
  melt.mass(0, 2) = 0.5f;
  fx::downward_pass(melt.record());  // no gravity map: blue 0, the full pull
  // k = 1: g = 0 + 1, c = 10 x 0.51 x 1 -> 0.5, q = 0.5: 0 and 1.0.
  // k = 2: a = 1, b = 0, g = 2, c -> 0.5, q = 1: 0 and the catch cell 1.0.
  EXPECT_EQ(melt.mass(0, 1), 0.0f);
  EXPECT_EQ(melt.mass(0, 2), 0.0f);
  EXPECT_EQ(melt.record().mass[3], 1.0f);
  EXPECT_EQ(melt.mass(0, 0), 0.0f);

  auto blue = make_image(1, 3, 0x001F);  // gravity 1/32
  Melt slow(1, 3);
  slow.mass(0, 1) = 0.0f;
  slow.mass(0, 2) = 1.0f;
  slow.record().mass[3] = 1.0f;
  slow.record().gravity_map = fx::ImagePixels(*blue);
  fx::downward_pass(slow.record());
  // k = 1: g = -1 + 1/32 (uphill), c = 0.51 -> 0.5: q = -0.484375 moves mass up.
  EXPECT_EQ(slow.mass(0, 1), 0.484375f);
  // k = 2: a = 0.515625 below b = 1 in the catch cell, g = -0.453125: q = -0.2265625.
  EXPECT_EQ(slow.mass(0, 2), 0.7421875f);
  EXPECT_EQ(slow.record().mass[3], 0.7734375f);

  Melt full(1, 2);  // cells 0 and 1, catch cells 2 and 3
  full.mass(0, 1) = 1.0f;
  full.record().mass[2] = 1.0f;
  fx::downward_pass(full.record());
  EXPECT_EQ(full.mass(0, 1), 0.5f);
  EXPECT_EQ(full.record().mass[2], 1.5f);  // catch cells are never limited

  Melt over(1, 2), under(1, 2);
  over.mass(0, 1) = 0.9f;  // uphill from 2.0: g = -1.1 + 1/32, q = -0.534375
  over.record().mass[2] = 2.0f;
  over.record().gravity_map = fx::ImagePixels(*blue);
  fx::downward_pass(over.record());
  EXPECT_EQ(over.mass(0, 1), 1.0f);  // 1.434375, limited
  EXPECT_EQ(over.record().mass[2], 1.465625f);
  under.mass(0, 1) = 0.5f;  // downhill: g = 1.5, c -> 0.5, q = 0.75
  fx::downward_pass(under.record());
  EXPECT_EQ(under.mass(0, 1), 0.0f);  // -0.25, limited
  EXPECT_EQ(under.record().mass[2], 0.75f);
}

TEST(MeltingRelief, TheReliefIsTheSmoothedMassTimes256) {
  Melt melt(6, 4);
  std::fill(melt.record().mass.begin(), melt.record().mass.end(), 0.5f);
  fx::rebuild_relief(melt.record());
  EXPECT_EQ(melt.relief(0, 0), 0);       // row 0 is never written
  EXPECT_EQ(melt.relief(0, 1), 16 * 2);  // S(W - 2) and S(W - 1) count as 0
  EXPECT_EQ(melt.relief(1, 1), 32 * 2 + 16 * 2);
  EXPECT_EQ(melt.relief(2, 1), 128);
  EXPECT_EQ(melt.relief(0, 2), 128);  // the run goes on across the row's edge
  EXPECT_EQ(melt.relief(5, 3), 128);
  std::fill(melt.record().mass.begin(), melt.record().mass.end(), 1.0f);
  fx::rebuild_relief(melt.record());
  EXPECT_EQ(melt.relief(3, 2), 0);  // 256: its low 8 bits are 0, so it is not drawn
  melt.mass(4, 2) = 0.75f;          // the centre weighs 4 / 16
  fx::rebuild_relief(melt.record());
  EXPECT_EQ(melt.relief(4, 2), 256 - 16);
  EXPECT_EQ(melt.relief(3, 2), 256 - 8);
}

TEST(MeltingRelief, AFreshInstanceDrawsNothingEvenAfterAFlowStep) {
  Melt melt(40, 30);
  std::fill_n(melt.fx.buffer().pixels.get(), 40 * 30, 0x5555);
  melt.fx.render(10);
  EXPECT_EQ(melt.fx.pixel(20, 15), 0x5555);
  auto gravity = make_image(40, 30, 0x001F);
  melt.fx.set(GRAVITY, *gravity);  // one flow step over no mass
  melt.fx.set(FLOWING, 1);
  melt.fx.render(11);
  for (uint8_t byte : melt.record().relief) ASSERT_EQ(byte, 0);
  EXPECT_EQ(melt.fx.pixel(0, 0), 0x5555);
  EXPECT_EQ(melt.fx.pixel(39, 29), 0x5555);
}

// On a flat relief the picture is the light map itself, magnified 2 times and shifted to the
// light's place: its white core lies at column 160 - 2 (lx - 128), row 100 - 2 (ly - 128).
TEST(MeltingRelief, AFlatReliefShowsTheLightMapAtTheLightsPlace) {
  Melt melt(320, 200);
  std::fill_n(melt.record().relief.begin(), 320 * 200, 100);
  melt.fx.render(0);  // lx = 128, ly = trunc(cos 0 x 20 + 128) = 148
  EXPECT_EQ(melt.fx.pixel(160, 60), 0xFFFF);
  EXPECT_EQ(melt.fx.pixel(161, 60), 0xFFFF);  // (161 - 160) / 2 rounds toward zero
  EXPECT_EQ(melt.fx.pixel(159, 60), 0xFFFF);
  EXPECT_EQ(melt.fx.pixel(162, 60), 0xFFFE);
  EXPECT_EQ(melt.fx.pixel(158, 60), 0xFFFE);
  EXPECT_EQ(melt.fx.pixel(160, 100), melt.record().light_map[128 + 256 * 148]);
  EXPECT_EQ(melt.fx.pixel(0, 0), melt.record().light_map[48 + 256 * 98]);
  // Frame 70, t = 1: lx = trunc(sin 7 x 50 + 128) = 160, ly = trunc(cos 2.3 x 20 + 128) = 114.
  melt.fx.render(70);
  EXPECT_EQ(melt.fx.pixel(96, 128), 0xFFFF);
  EXPECT_EQ(melt.fx.pixel(160, 60), melt.record().light_map[160 + 256 * 94]);
  // The bottom row's partners 320 on lie in the zeros past the map: a slope of 100.
  EXPECT_EQ(melt.fx.pixel(10, 199),
            melt.record().light_map[(160 - 75) + 256 * ((114 + 49 + 100) & 0xFF)]);
}

TEST(MeltingRelief, WhenFrozenOnlyTheLightMoves) {
  Melt melt(64, 40);
  auto image = make_image(64, 40, [](int x, int y) { return x > 10 && y > 5 ? 0xFFFF : 0; });
  auto gravity = make_image(64, 40, 0x0010);
  melt.fx.set(SOURCE, *image);
  melt.fx.set(GRAVITY, *gravity);
  melt.fx.set(FLOWING, 1);
  for (uint32_t n = 0; n < 5; ++n) melt.fx.render(n);
  melt.fx.set(FLOWING, 0);
  const std::vector<float> mass = melt.record().mass;
  const std::vector<uint8_t> relief = melt.record().relief;
  melt.fx.render(5);
  const std::vector<uint16_t> first(melt.fx.buffer().pixels.get(),
                                    melt.fx.buffer().pixels.get() + 64 * 40);
  melt.fx.render(5);
  EXPECT_EQ(
      std::vector<uint16_t>(melt.fx.buffer().pixels.get(), melt.fx.buffer().pixels.get() + 64 * 40),
      first);
  melt.fx.render(40);
  EXPECT_EQ(melt.record().mass, mass);
  EXPECT_EQ(melt.record().relief, relief);
  EXPECT_NE(
      std::vector<uint16_t>(melt.fx.buffer().pixels.get(), melt.fx.buffer().pixels.get() + 64 * 40),
      first);
}

// Images are trusted to cover the target, the gravity map to be set before the flow starts,
// and the target to keep its size; none of these need hold.
TEST(MeltingRelief, ImagesSmallerThanTheTargetReadBlackPastTheirEnd) {
  Melt melt(40, 30);
  auto small = make_image(10, 10, 0xFFFF);  // 100 pixels: rows 0 and 1, 20 pixels of row 2
  melt.fx.set(SOURCE, *small);
  EXPECT_EQ(melt.mass(19, 2), 187.0f / 189);
  EXPECT_EQ(melt.mass(20, 2), 0.0f);
  auto tiny_gravity = make_image(2, 2, 0x001F);
  melt.fx.set(GRAVITY, *tiny_gravity);
  melt.fx.set(FLOWING, 1);
  for (uint32_t n = 0; n < 20; ++n) melt.fx.render(n);
  EXPECT_EQ(melt.record().mass.size(), 40u * 30 + 41);
}

TEST(MeltingRelief, FlowingWithoutAGravityMapPullsFully) {
  Melt melt(16, 8);
  auto image = make_image(16, 8, 0xFFFF);
  melt.fx.set(SOURCE, *image);
  melt.fx.set(FLOWING, 1);
  melt.fx.render(0);
  Melt reference(16, 8);
  auto black = make_image(16, 8, 0x0000);
  reference.fx.set(SOURCE, *image);
  reference.fx.set(GRAVITY, *black);  // blue 0 everywhere; this runs the one step
  EXPECT_EQ(melt.record().mass, reference.record().mass);
}

TEST(MeltingRelief, TheBottomRowsReachIntoTheCatchCellsAndTheReliefMargin) {
  Melt melt(20, 10);
  auto white = make_image(20, 10, 0xFFFF);
  melt.fx.set(SOURCE, *white);
  melt.fx.set(GRAVITY, *white);
  melt.fx.set(FLOWING, 1);
  for (uint32_t n = 0; n < 50; ++n) melt.fx.render(n);
  float caught = 0;
  for (size_t k = 200; k < melt.record().mass.size(); ++k) caught += melt.record().mass[k];
  EXPECT_GT(caught, 0.0f);
  EXPECT_NE(melt.relief(19, 9), 0);
  for (size_t k = 200; k < melt.record().relief.size(); ++k) ASSERT_EQ(melt.record().relief[k], 0);
}

TEST(MeltingRelief, ATargetRecreatedAtAnotherSizeGetsNewMapsAndItsMassAgain) {
  Melt melt(20, 10);
  auto image = make_image(64, 64, 0xFFFF);
  melt.fx.set(SOURCE, *image);
  melt.fx.buffer() = *support::make_entry(64, 48);
  melt.fx.render(0);
  EXPECT_EQ(melt.record().mass.size(), 64u * 48 + 65);
  EXPECT_EQ(melt.mass(63, 47), 187.0f / 189);
  auto gravity = make_image(64, 64, 0x001F);
  melt.fx.set(GRAVITY, *gravity);
  melt.fx.set(FLOWING, 1);
  melt.fx.render(1);
  EXPECT_NE(melt.fx.pixel(30, 30), 0);
  melt.fx.buffer() = *support::make_entry(8, 2);
  melt.fx.render(2);
  melt.fx.buffer() = *support::make_entry(0, 0);
  melt.fx.render(3);
}

TEST(MeltingRelief, ScriptMeltsABlockUnderTheWanderingLight) {
  using support::Rgb;
  auto block = [](int x, int y) {
    return x >= 40 && x < 120 && y >= 10 && y < 40 ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
  };
  const support::Bytes block_png = support::make_png(160, 50, block);
  const support::Bytes blue_png = support::make_png(160, 50, Rgb{0, 0, 255});
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, MELT, 0)
                                         .setchunk(0, SOURCE, 1)
                                         .setchunk(0, GRAVITY, 2)
                                         .setint(0, FLOWING, 1)
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .image(block_png)
                             .image(blue_png)
                             .bytes);
  run.start();
  Melt replay(160, 50);
  auto block_image =
      make_image(160, 50, [&](int x, int y) { return support::rgb565(block(x, y)); });
  auto blue_image = make_image(160, 50, 0x001F);
  replay.fx.set(SOURCE, *block_image);
  replay.fx.set(GRAVITY, *blue_image);
  replay.fx.set(FLOWING, 1);
  for (uint32_t n = 0; n < 12; ++n) {
    run.frame();
    replay.fx.render(n);
  }
  EXPECT_EQ(run.picture().at(20, 25), 0);  // no mass came this far left
  EXPECT_EQ(run.picture().at(80, 5), 0);   // nor this far up
  EXPECT_NE(run.picture().at(80, 25), 0);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x) ASSERT_EQ(run.picture().at(x, y), replay.fx.pixel(x, y));
}

}  // namespace
