// Image fade (class 7).
#include <gtest/gtest.h>

#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using support::FxUnderTest;
using support::make_image;

constexpr uint8_t FADE = 7;
constexpr uint8_t MODE = 0x80, SOURCE = 0x81;

// Level k of a fade: 0xFFBF stepping by -0x0841 (red 1, green 2, blue 1) until 0x0821, then 0.
uint16_t level(int k) {
  return k <= 30 ? static_cast<uint16_t>(0xFFBF - k * 0x0841) : 0;
}

TEST(ImageFade, LevelsFallFromFFBFToZeroOverThirtyOneRenders) {
  FxUnderTest fade(FADE, 4, 1);
  auto white = make_image(4, 1, 0xFFFF);
  fade.set(SOURCE, *white);
  fade.set(MODE, 1);  // fade out of white shows the level itself
  const uint16_t start[] = {0xFFBF, 0xF77E, 0xEF3D, 0xE6FC};
  for (int k = 0; k < 40; ++k) {
    fade.render();
    if (k < 4) {
      EXPECT_EQ(fade.pixel(0, 0), start[k]) << "render " << k + 1;
    }
    EXPECT_EQ(fade.pixel(3, 0), level(k)) << "render " << k + 1;
  }
  EXPECT_EQ(level(30), 0x0821);  // the 31st render
}

struct FadeOfSamples : ::testing::Test {
  // 0, dark red, a middle colour, the first level, just above it, white.
  const uint16_t samples[6] = {0x0000, 0x0800, 0x1234, 0xFFBF, 0xFFC0, 0xFFFF};
  std::unique_ptr<datafile::ImageChunk> image =
      make_image(6, 1, [this](int x, int) { return samples[x]; });
  FxUnderTest fade{FADE, 6, 1};
  void SetUp() override { fade.set(SOURCE, *image); }
  std::vector<uint16_t> row() {
    std::vector<uint16_t> out;
    for (int x = 0; x < 6; ++x) out.push_back(fade.pixel(x, 0));
    return out;
  }
};

TEST_F(FadeOfSamples, FadeInRaisesEveryNonBlackPixelToTheLevel) {
  fade.set(MODE, 0);
  fade.render();
  EXPECT_EQ(row(), (std::vector<uint16_t>{0, 0xFFBF, 0xFFBF, 0xFFBF, 0xFFC0, 0xFFFF}));
  for (int k = 2; k <= 31; ++k) fade.render();
  // 31st: dark red 0x0800 still shows as the level 0x0821.
  EXPECT_EQ(row(), (std::vector<uint16_t>{0, 0x0821, 0x1234, 0xFFBF, 0xFFC0, 0xFFFF}));
  fade.render();  // 32nd: level 0 changes nothing
  EXPECT_EQ(row(), (std::vector<uint16_t>(samples, samples + 6)));
  fade.render();
  EXPECT_EQ(row(), (std::vector<uint16_t>(samples, samples + 6)));
}

TEST_F(FadeOfSamples, FadeOutLowersEveryPixelAboveTheLevel) {
  fade.set(MODE, 1);
  fade.render();
  EXPECT_EQ(row(), (std::vector<uint16_t>{0, 0x0800, 0x1234, 0xFFBF, 0xFFBF, 0xFFBF}));
  for (int k = 2; k <= 31; ++k) fade.render();
  EXPECT_EQ(row(), (std::vector<uint16_t>{0, 0x0800, 0x0821, 0x0821, 0x0821, 0x0821}));
  fade.render();
  EXPECT_EQ(row(), (std::vector<uint16_t>(6, 0)));
}

TEST_F(FadeOfSamples, OtherModesFreezeTheLastPicture) {
  fade.set(MODE, 0);
  for (int k = 0; k < 3; ++k) fade.render();
  const std::vector<uint16_t> third = row();
  for (int32_t mode : {2, -1, INT32_MIN}) {
    fade.set(MODE, mode);
    fade.render();
    fade.render();
    EXPECT_EQ(row(), third) << "mode " << mode;
  }
}

TEST_F(FadeOfSamples, SettingAModeRestartsBothFadesAtFFBF) {
  fade.set(MODE, 0);
  for (int k = 0; k < 10; ++k) fade.render();
  fade.set(MODE, 1);  // part-way: the fade out starts from the top, not the fade-in level
  fade.render();
  EXPECT_EQ(fade.pixel(5, 0), 0xFFBF);
  fade.render();
  EXPECT_EQ(fade.pixel(5, 0), 0xF77E);
  fade.set(MODE, 1);  // the running mode again: restarts too
  fade.render();
  EXPECT_EQ(fade.pixel(5, 0), 0xFFBF);
  fade.set(MODE, 0);
  fade.render();
  EXPECT_EQ(fade.pixel(2, 0), 0xFFBF);
}

// Images are trusted to cover the target; where one does not, or none is set, it reads black.
TEST(ImageFade, WhereTheImageHasNoPixelsItReadsBlack) {
  auto small = make_image(5, 5, 0x1234);  // 25 pixels: the first row and 5 of the second
  for (int32_t mode : {0, 1}) {
    FxUnderTest without(FADE, 20, 10), smaller(FADE, 20, 10);
    std::fill_n(without.buffer().pixels.get(), 200, 0x5555);
    std::fill_n(smaller.buffer().pixels.get(), 200, 0x5555);
    smaller.set(SOURCE, *small);
    for (FxUnderTest* fade : {&without, &smaller}) {
      fade->set(MODE, mode);
      fade->render();
    }
    EXPECT_EQ(without.pixel(0, 0), 0);
    EXPECT_EQ(without.pixel(19, 9), 0);
    EXPECT_EQ(smaller.pixel(4, 1), mode == 0 ? 0xFFBF : 0x1234);
    EXPECT_EQ(smaller.pixel(5, 1), 0);
    EXPECT_EQ(smaller.pixel(19, 9), 0);
  }
}

TEST(ImageFade, ScriptFadesAnImageInAndOutAgain) {
  using support::Rgb;
  const Rgb grey{128, 128, 128}, white{255, 255, 255};
  const uint16_t grey565 = support::rgb565(grey);  // 0x8410
  support::EngineRun run(
      support::DataFileBuilder()
          .script(support::ScriptBuilder()
                      .newbuf(0, 0, 0, 160, 50)
                      .newfx(0, FADE, 0)
                      .setchunk(0, SOURCE, 1)
                      .setint(0, MODE, 0)
                      .start(0)
                      .waitat(40)
                      .setint(0, MODE, 1)
                      .waitat(100)
                      .end())
          .image(support::make_png(160, 50, [&](int x, int) { return x < 80 ? grey : white; }))
          .bytes);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(10, 10), 0xFFBF);
  EXPECT_EQ(run.picture().at(150, 40), 0xFFFF);
  run.frames(14);  // 15th render: level 0xFFBF - 14 x 0x0841 = 0x8C31, still above grey
  EXPECT_EQ(run.picture().at(10, 10), 0x8C31);
  run.frame();  // 16th: 0x83F0 is below grey, which shows as itself
  EXPECT_EQ(run.picture().at(10, 10), grey565);
  run.frames(24);  // frame 40 switches to the fade out
  run.frame();
  EXPECT_EQ(run.picture().at(10, 10), grey565);
  EXPECT_EQ(run.picture().at(150, 40), 0xFFBF);
  run.frames(31);
  EXPECT_EQ(run.picture().at(10, 10), 0);
  EXPECT_EQ(run.picture().at(150, 40), 0);
}

}  // namespace
