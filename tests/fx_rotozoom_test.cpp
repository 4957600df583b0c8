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

// The texel (u, v) that pixel (column, row) shows in the first render of a fresh instance. The
// render starts at (pan_u, pan_v) = (65535, 4) less a step; a column steps 255/256 texel back in
// u and 6/256 on in v, a row 6/256 on in u and 255/256 on in v, in 8.8 coordinates that wrap at
// 256 texels: pixel (1, 2) is at u = 255 - 1 x 255/256 + 1 x 6/256, v = 4 + 6/256 + 255/256.
struct Sample {
  int column, row, u, v;
};
constexpr Sample FIRST_RENDER[] = {
    {0, 0, 254, 3},   {1, 0, 253, 3},   {2, 0, 252, 3},   {80, 0, 175, 4},   {159, 0, 96, 6},
    {0, 1, 255, 4},   {1, 1, 254, 4},   {2, 1, 253, 4},   {80, 1, 175, 5},   {159, 1, 96, 7},
    {0, 2, 255, 4},   {1, 2, 254, 5},   {2, 2, 253, 5},   {80, 2, 175, 6},   {159, 2, 96, 8},
    {0, 25, 255, 27}, {1, 25, 254, 27}, {2, 25, 253, 27}, {80, 25, 175, 29}, {159, 25, 97, 31},
    {0, 49, 0, 51},   {1, 49, 255, 51}, {2, 49, 254, 51}, {80, 49, 176, 53}, {159, 49, 97, 55},
};
// On a 640 x 400 target, across row 399: u passes 65535 more than once.
constexpr Sample FIRST_RENDER_WIDE[] = {
    {256, 399, 9, 150}, {300, 399, 221, 151}, {511, 399, 11, 156}, {639, 399, 139, 159}};

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
  for (const Sample& at : FIRST_RENDER)
    EXPECT_EQ(rotozoom.pixel(at.column, at.row), at.v * 256 + at.u) << at.column << ", " << at.row;
  EXPECT_EQ(rotozoom.fx().angle, 1);
  EXPECT_EQ(rotozoom.fx().pan_u, 65535);
  EXPECT_EQ(rotozoom.fx().pan_v, 4);
}

TEST(RotozoomRender, CoordinatesWrapSoTheTextureTiles) {
  Rotozoom rotozoom(640, 400);
  auto texture = numbered_texture();
  rotozoom.set(0x80, *texture);
  rotozoom.render();
  for (const Sample& at : FIRST_RENDER_WIDE)
    EXPECT_EQ(rotozoom.pixel(at.column, at.row), at.v * 256 + at.u) << at.column;
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
  EXPECT_EQ(rotozoom.pixel(0, 49), 0);    // texel (0, 51): past the image's end
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
  EXPECT_EQ(run.picture().at(159, 49), support::rgb565(colour(97, 55)));
  run.frame();
  EXPECT_NE(run.picture().at(0, 1), support::rgb565(colour(255, 4)));  // it moves on
}

}  // namespace
