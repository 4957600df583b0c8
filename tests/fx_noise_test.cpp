// Static noise (class 6).
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "fx/noise.h"
#include "fx/random.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::NoiseFx;
using support::FxUnderTest;

constexpr uint16_t WHITE = 0xFFFF, GREY = 0x7BEF, BLACK = 0;

// The ten frames an instance of `count` pixels created from a fresh stream must hold.
std::array<std::vector<uint16_t>, 10> expected_frames(size_t count) {
  fx::Random random;
  std::array<std::vector<uint16_t>, 10> frames;
  for (auto& frame : frames)
    for (size_t p = 0; p < count; ++p) {
      const int r = random.next();
      frame.push_back(r <= 536870910 ? WHITE : r > 1073741822 ? BLACK : GREY);
    }
  return frames;
}

struct Noise : FxUnderTest {
  // Created from a fresh stream, so its frames are expected_frames(width x height).
  explicit Noise(uint16_t width = 160, uint16_t height = 50) : FxUnderTest(6, width, height) {}
  NoiseFx& fx() { return record<NoiseFx>(); }
  std::vector<uint16_t> picture() {
    return {buffer().pixels.get(), buffer().pixels.get() + buffer().pixel_count()};
  }
};

// Black on the left half (x < 80), a colour elsewhere.
std::unique_ptr<datafile::ImageChunk> half_black(int width = 160, int height = 50) {
  return support::make_image(width, height,
                             [](int x, int) { return uint16_t(x < 80 ? 0 : 0x0841); });
}

TEST(NoiseFrames, RenderKShowsFrameKMinusOneOfTheStaticMadeAtCreation) {
  const auto frames = expected_frames(8000);
  Noise noise;
  // The stream's first six numbers: black, grey, black, black, black, white.
  const uint16_t first[] = {BLACK, GREY, BLACK, BLACK, BLACK, WHITE};
  for (int p = 0; p < 6; ++p) EXPECT_EQ(frames[0][p], first[p]);
  for (int k = 1; k <= 12; ++k) {
    noise.render();
    ASSERT_EQ(noise.picture(), frames[(k - 1) % 10]) << k;
  }
  EXPECT_EQ(noise.fx().frame_index, 12);
}

TEST(NoiseReveal, Mode1RevealsTheImageFromTheEdgesInTwentyFiveRenders) {
  const auto frames = expected_frames(8000);
  Noise noise;
  auto image = half_black();
  noise.set(0x81, *image);
  noise.set(0x80, 1);
  noise.render();  // draws through the untouched mask, then reveals rows 0, 49, columns 0, 159
  EXPECT_EQ(noise.picture(), frames[0]);
  EXPECT_EQ(noise.fx().step, 1);
  noise.render();
  EXPECT_EQ(noise.pixel(0, 0), BLACK);             // revealed black
  EXPECT_EQ(noise.pixel(1, 1), frames[1][161]);    // not yet
  EXPECT_EQ(noise.pixel(100, 0), frames[1][100]);  // revealed, not black: static
  for (int i = 2; i < 25; ++i) noise.render();
  EXPECT_EQ(noise.fx().step, 25);
  for (int y = 0; y < 50; ++y) EXPECT_EQ(noise.fx().mask[y * 160 + 79], 0) << y;
  noise.render();  // the 26th: the whole image is in the mask
  EXPECT_EQ(noise.fx().step, 25);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x)
      ASSERT_EQ(noise.pixel(x, y), x < 80 ? BLACK : frames[25 % 10][y * 160 + x]) << x << "," << y;
  noise.render();
  EXPECT_EQ(noise.fx().step, 25);  // stays
}

TEST(NoiseModes, Mode2ShowsWhiteBeforeTheRevealAndTheImageOrStaticAfterIt) {
  const auto frames = expected_frames(8000);
  Noise noise;
  noise.set(0x80, 2);
  noise.render();
  for (uint16_t p : noise.picture()) ASSERT_EQ(p, WHITE);
  auto image = half_black();
  noise.set(0x81, *image);
  noise.set(0x80, 1);
  for (int i = 0; i < 25; ++i) noise.render();
  noise.set(0x80, 2);
  noise.render();  // the 27th render: frame 6
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 160; ++x)
      ASSERT_EQ(noise.pixel(x, y), x < 80 ? BLACK : (0x0841 | frames[6][y * 160 + x]));
}

TEST(NoiseModes, ModesAbove2FreezeThePictureWhileTheFramesMoveOn) {
  const auto frames = expected_frames(8000);
  Noise noise;
  noise.render();
  noise.set(0x80, 3);
  noise.render();
  noise.set(0x80, 1000);
  noise.render();
  EXPECT_EQ(noise.picture(), frames[0]);
  EXPECT_EQ(noise.fx().frame_index, 3);
  noise.set(0x80, 0);
  noise.render();
  EXPECT_EQ(noise.picture(), frames[3]);
}

TEST(NoiseModes, ANegativeModeDrawsLikeMode0AndRevealsNothing) {
  const auto frames = expected_frames(8000);
  Noise noise;
  auto image = half_black();
  noise.set(0x81, *image);
  noise.set(0x80, -5);
  noise.render();
  noise.render();
  EXPECT_EQ(noise.picture(), frames[1]);
  EXPECT_EQ(noise.fx().step, 0);
}

TEST(NoiseModes, Mode0AfterARevealDrawsThroughTheMaskWithoutAdvancingIt) {
  const auto frames = expected_frames(8000);
  Noise noise;
  auto image = half_black();
  noise.set(0x81, *image);
  noise.set(0x80, 1);
  noise.render();
  noise.set(0x80, 0);
  noise.render();
  EXPECT_EQ(noise.pixel(0, 0), BLACK);
  EXPECT_EQ(noise.pixel(1, 1), frames[1][161]);
  EXPECT_EQ(noise.fx().step, 1);
}

TEST(NoiseSafety, Mode1WithoutAnImageRevealsNothingUntilOneIsSet) {
  const auto frames = expected_frames(8000);
  Noise noise;
  noise.set(0x80, 1);
  for (int i = 0; i < 5; ++i) noise.render();
  EXPECT_EQ(noise.picture(), frames[4]);
  EXPECT_EQ(noise.fx().step, 0);
  auto image = half_black();
  noise.set(0x81, *image);
  noise.render();
  noise.render();
  EXPECT_EQ(noise.pixel(0, 0), BLACK);  // the reveal starts at the edges
  EXPECT_EQ(noise.fx().step, 2);
}

TEST(NoiseSafety, AnImageSmallerThanTheTargetRevealsBlackBeyondItsEnd) {
  Noise noise;
  auto image = support::make_image(100, 10, 0x0841);  // 1000 pixels: rows 0 to 6 and a bit
  noise.set(0x81, *image);
  noise.set(0x80, 2);
  noise.render();
  noise.set(0x80, 1);
  noise.render();  // reveals rows 0 and 49, columns 0 and 159
  noise.set(0x80, 2);
  noise.render();
  EXPECT_NE(noise.pixel(5, 0), BLACK);   // element 5: in the image
  EXPECT_EQ(noise.pixel(5, 49), BLACK);  // element 7845: past its end
  EXPECT_EQ(noise.pixel(159, 20), BLACK);
}

TEST(NoiseSafety, ATargetNarrowerThanHalfItsHeightRevealsNoColumnBeyondItsRows) {
  Noise noise(6, 50);
  auto image = support::make_image(6, 50, 0x0841);
  noise.set(0x81, *image);
  noise.set(0x80, 1);
  for (int i = 0; i < 30; ++i) noise.render();
  EXPECT_EQ(noise.fx().step, 25);
  noise.set(0x80, 2);
  noise.render();
  for (uint16_t p : noise.picture()) ASSERT_NE(p, BLACK);  // every mask pixel holds the image
}

TEST(NoiseSafety, ATargetReCreatedInAnotherSizeGetsOnlyThePixelsTheFramesHave) {
  const auto frames = expected_frames(800);
  Noise noise(40, 20);
  auto image = half_black();
  noise.set(0x81, *image);
  noise.set(0x80, 1);
  noise.render();
  engine::Buffer& target = noise.buffer();
  target.width = 160;
  target.height = 50;
  target.pixels = engine::allocate_pixels(8000);
  std::fill_n(target.pixels.get(), 8000, 0x5555);
  noise.set(0x80, 0);
  noise.render();
  EXPECT_EQ(noise.pixel(10, 2), frames[1][330]);  // element 330 of the frame
  EXPECT_EQ(noise.pixel(159, 4), frames[1][799]);
  EXPECT_EQ(noise.pixel(0, 5), 0x5555);  // element 800: beyond the frames, left alone
  noise.set(0x80, 1);
  for (int i = 0; i < 40; ++i) noise.render();  // reveals in the new size, clipped to the mask
  // Smaller: a block with 8 pixels to spare past the target's 40, which must stay untouched.
  target.width = 10;
  target.height = 4;
  target.pixels = engine::allocate_pixels(48);
  std::fill_n(target.pixels.get(), 48, 0x5555);
  noise.set(0x80, 2);
  for (int i = 0; i < 5; ++i) noise.render();
  for (int i = 0; i < 40; ++i) EXPECT_NE(target.pixels[i], 0x5555) << i;
  for (int i = 40; i < 48; ++i) EXPECT_EQ(target.pixels[i], 0x5555) << i;
}

TEST(NoiseSafety, TheFrameCountWrapsAndStillPicksOneOfTheTenFrames) {
  const auto frames = expected_frames(16);
  Noise noise(8, 2);
  noise.fx().frame_index = INT32_MAX;
  noise.render();
  EXPECT_EQ(noise.picture(), frames[7]);  // 2147483647 renders so far: 7 past a whole ten
  EXPECT_EQ(noise.fx().frame_index, INT32_MIN);
  noise.render();
  EXPECT_EQ(noise.picture(), frames[8]);  // counted on as 2147483648, not as a negative number
}

TEST(NoiseScript, TheImageAppearsOutOfTheStatic) {
  using support::Rgb;
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, 6, 0)
                                         .setchunk(0, 0x81, 1)
                                         .start(0)
                                         .waitfor(3)
                                         .setint(0, 0x80, 1)
                                         .waitfor(100)
                                         .end())
                             .image(support::make_png(160, 50,
                                                      [](int x, int) {
                                                        return x < 80 ? Rgb{} : Rgb{8, 8, 8};
                                                      }))
                             .bytes);
  run.start();
  const auto frames = expected_frames(8000);
  run.frame();
  EXPECT_EQ(run.picture().at(1, 0), GREY);   // the stream's second number
  EXPECT_EQ(run.picture().at(5, 0), WHITE);  // its sixth
  run.frames(2 + 26);                        // 25 renders of the reveal, then one more
  for (int x : {0, 40, 79})
    for (int y : {0, 25, 49}) EXPECT_EQ(run.picture().at(x, y), BLACK);
  for (int x : {80, 120, 159})
    for (int y : {0, 25, 49})
      EXPECT_EQ(run.picture().at(x, y), frames[28 % 10][y * 160 + x]) << x << "," << y;
}

}  // namespace
