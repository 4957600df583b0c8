// Rotozoomer (class 4).
#include <gtest/gtest.h>

#include "fx/rotozoom.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using fx::RotozoomFx;
using support::FxUnderTest;

struct Rotozoom : FxUnderTest {
  explicit Rotozoom(uint16_t width = 160, uint16_t height = 50) : FxUnderTest(4, width, height) {}
  RotozoomFx& fx() { return record<RotozoomFx>(); }
};

// Texel (u, v) holds its own element number, v x 256 + u.
std::unique_ptr<datafile::ImageChunk> numbered_texture(int width = 256, int height = 256) {
  return support::make_image(width, height,
                             [width](int x, int y) { return uint16_t(y * width + x); });
}

// Where pixel (i, j) samples in the first render of a fresh instance: S 6, K 255, N -255,
// pan_u 65535, pan_v 4, in 8.8 coordinates that wrap at 65536.
uint16_t first_render_texel(int i, int j) {
  const uint32_t u = (65535u * 256 + uint32_t(i * -255) + uint32_t((j - 1) * 6)) & 0xFFFF;
  const uint32_t v = (4u * 256 + uint32_t(i * 6) + uint32_t((j - 1) * 255)) & 0xFFFF;
  return uint16_t((v >> 8) * 256 + (u >> 8));
}

TEST(RotozoomSine, TheTableIsBuiltFrom314NotPi) {
  Rotozoom rotozoom;
  EXPECT_FLOAT_EQ(rotozoom.fx().sine[64], 0.99999970f);
  EXPECT_FLOAT_EQ(rotozoom.fx().sine[128], 0.0015926529f);
  EXPECT_EQ(rotozoom.fx().sine[0], 0.0f);
}

TEST(RotozoomRender, TheFirstRenderOfAFreshInstance) {
  Rotozoom rotozoom;
  auto texture = numbered_texture();
  rotozoom.set(0x80, *texture);
  rotozoom.render();
  EXPECT_EQ(rotozoom.pixel(0, 0), 1022);  // texel column 254, row 3
  EXPECT_EQ(rotozoom.pixel(0, 1), 1279);  // column 255, row 4: the point (pan_u, pan_v)
  for (int j : {0, 1, 2, 25, 49})
    for (int i : {0, 1, 2, 80, 159}) EXPECT_EQ(rotozoom.pixel(i, j), first_render_texel(i, j));
  EXPECT_EQ(rotozoom.fx().angle, 1);
  EXPECT_EQ(rotozoom.fx().pan_u, 65535);
  EXPECT_EQ(rotozoom.fx().pan_v, 4);
}

TEST(RotozoomRender, CoordinatesWrapSoTheTextureTiles) {
  Rotozoom rotozoom(640, 400);
  auto texture = numbered_texture();
  rotozoom.set(0x80, *texture);
  rotozoom.render();
  // Across 640 columns the row coordinate passes 65535 more than once.
  for (int i : {256, 300, 511, 639}) EXPECT_EQ(rotozoom.pixel(i, 399), first_render_texel(i, 399));
}

TEST(RotozoomRender, NothingAdvancesWithoutATexture) {
  Rotozoom rotozoom;
  std::fill_n(rotozoom.buffer().pixels.get(), 8000, 0x5555);
  for (int i = 0; i < 5; ++i) rotozoom.render();
  EXPECT_EQ(rotozoom.pixel(0, 0), 0x5555);
  EXPECT_EQ(rotozoom.fx().angle, 0);
  auto texture = numbered_texture();
  rotozoom.set(0x80, *texture);
  rotozoom.render();
  EXPECT_EQ(rotozoom.pixel(0, 0), 1022);  // still the first frame of the animation
}

TEST(RotozoomRender, AnEmptyTargetStillAdvancesTheAnimation) {
  for (auto [width, height] : {std::pair{0, 50}, std::pair{160, 0}}) {
    Rotozoom rotozoom{uint16_t(width), uint16_t(height)};
    auto texture = numbered_texture();
    rotozoom.set(0x80, *texture);
    rotozoom.render();
    rotozoom.render();
    EXPECT_EQ(rotozoom.fx().angle, 2);
    EXPECT_EQ(rotozoom.fx().pan_u, 65534);
    EXPECT_EQ(rotozoom.fx().pan_v, 3);
  }
}

TEST(RotozoomSafety, ATextureOfFewerThan65536PixelsReadsAsBlackBeyondItsEnd) {
  Rotozoom rotozoom;
  auto small = numbered_texture(64, 64);  // elements 0 to 4095: texel rows 0 to 15
  rotozoom.set(0x80, *small);
  rotozoom.render();
  EXPECT_EQ(rotozoom.pixel(0, 0), 1022);  // texel row 3: inside the image
  // Pixel (0, 49) samples texel row (1024 + 48 x 255) >> 8 = 51: past the image's end.
  EXPECT_EQ(first_render_texel(0, 49) >> 8, 51);
  EXPECT_EQ(rotozoom.pixel(0, 49), 0);
}

TEST(RotozoomSafety, ALargeImageNot256WideIsReadAsRowsOf256) {
  Rotozoom rotozoom;
  auto wide = numbered_texture(300, 300);
  rotozoom.set(0x80, *wide);
  rotozoom.render();
  EXPECT_EQ(rotozoom.pixel(0, 0), 1022);
  EXPECT_EQ(rotozoom.pixel(0, 1), 1279);
}

TEST(RotozoomSafety, ATargetReCreatedInAnotherSizeIsFilledInItsNewSize) {
  Rotozoom rotozoom(16, 16);
  auto texture = numbered_texture();
  rotozoom.set(0x80, *texture);
  rotozoom.render();
  engine::Buffer& target = rotozoom.buffer();
  target.width = 160;
  target.height = 50;
  target.pixels = engine::allocate_pixels(8000);
  rotozoom.render();
  EXPECT_NE(rotozoom.pixel(159, 49), 0);  // the numbered texture's only 0 is texel (0, 0)
}

TEST(RotozoomScript, TheFirstFrameShowsTheExpectedTexels) {
  using support::Rgb;
  // Red carries the texel column, green the row, in the bits RGB565 keeps.
  auto colour = [](int x, int y) { return Rgb{uint8_t(x), uint8_t(y), 0}; };
  support::EngineRun run(support::DataFileBuilder()
                             .script(support::ScriptBuilder()
                                         .newbuf(0, 0, 0, 160, 50)
                                         .newfx(0, 4, 0)
                                         .setchunk(0, 0x80, 1)
                                         .start(0)
                                         .waitfor(100)
                                         .end())
                             .image(support::make_png(256, 256, colour))
                             .bytes);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(0, 0), support::rgb565(colour(254, 3)));
  EXPECT_EQ(run.picture().at(0, 1), support::rgb565(colour(255, 4)));
  const uint16_t far = first_render_texel(159, 49);
  EXPECT_EQ(run.picture().at(159, 49), support::rgb565(colour(far % 256, far / 256)));
  run.frame();
  EXPECT_NE(run.picture().at(0, 1), support::rgb565(colour(255, 4)));  // it moves on
}

}  // namespace
