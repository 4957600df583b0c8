// Colour cycle fill (class 0) and still image (class 2).
#include <gtest/gtest.h>

#include "fx/fx_table.h"
#include "support/fx_harness.h"
#include "support/show_harness.h"

namespace {

using support::DataFileBuilder;
using support::EngineRun;
using support::Rgb;
using support::ScriptBuilder;

struct Cycle {
  explicit Cycle(uint16_t width = 160, uint16_t height = 50)
      : entry(support::make_entry(width, height)), instance(row.create(entry, random)) {
    std::fill_n(entry->pixels.get(), entry->pixel_count(), 0x5555);
  }
  void render(uint32_t frame) { row.render(*instance, frame); }
  void set(uint8_t id, int32_t value) { row.set_param(*instance, id, {value, nullptr}); }
  uint16_t pixel(size_t i) const { return entry->pixels[i]; }
  const fx::FxClass& row = *fx::fx_classes[0];
  engine::BufferEntry entry;
  fx::Random random;
  std::unique_ptr<fx::FxInstance> instance;
};

TEST(CycleFill, FillsOnePixelLessForEveryFrameThatHasPassed) {
  Cycle cycle;
  cycle.render(1000);
  EXPECT_EQ(cycle.pixel(0), 0xF000);
  EXPECT_EQ(cycle.pixel(6998), 0xF000);
  EXPECT_EQ(cycle.pixel(6999), 0x5555);
  EXPECT_EQ(cycle.pixel(7999), 0x5555);
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(7998), 0xE001);
  EXPECT_EQ(cycle.pixel(7999), 0x5555);  // never written
}

TEST(CycleFill, TheColourRotatesEveryRenderEvenWhenNothingIsWritten) {
  const uint16_t sequence[] = {0xF000, 0xE001, 0xC003, 0x8007, 0x000F, 0x001E,
                               0x003C, 0x0078, 0x00F0, 0x01E0, 0x03C0, 0x0780,
                               0x0F00, 0x1E00, 0x3C00, 0x7800, 0xF000};
  Cycle cycle(2, 1);
  for (uint16_t colour : sequence) {
    cycle.render(0);
    EXPECT_EQ(cycle.pixel(0), colour);
  }
  cycle.render(1);  // counter at N - 1: nothing written, the colour still turns
  EXPECT_EQ(cycle.pixel(0), 0xF000);
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(0), 0xC003);
}

TEST(CycleFill, AnEmptyBufferIsNeverWritten) {
  Cycle cycle(0, 50);
  // The block behind a buffer of no pixels holds a few all the same: none may be written.
  cycle.entry->pixels = engine::allocate_pixels(8);
  std::fill_n(cycle.entry->pixels.get(), 8, 0x5555);
  cycle.render(0);
  cycle.render(0);
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(cycle.pixel(i), 0x5555) << i;
  // One pixel, then two: the colour has turned at every render, written or not.
  cycle.entry->width = 1;
  cycle.entry->height = 1;
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(0), 0x5555);  // the last pixel of a buffer is never written
  cycle.entry->width = 2;
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(0), 0x8007);  // F000, E001 and C003 were drawn into no pixel
  EXPECT_EQ(cycle.pixel(1), 0x5555);
}

TEST(CycleFill, ColourParameterKeepsTheLowSixteenBits) {
  Cycle cycle;
  cycle.set(0x80, 0x1F81F);
  cycle.set(0x81, 0x1234);  // ignored
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(0), 0xF81F);
  cycle.render(0);
  EXPECT_EQ(cycle.pixel(0), 0xF03F);
}

TEST(StillImage, AFreshBufferShowsBlackAndParameterZeroSharesTheImagePixels) {
  const Rgb red{255, 0, 0}, blue{0, 0, 255};
  EngineRun run(DataFileBuilder()
                    .script(ScriptBuilder()
                                .newbuf(0, 0, 0, 160, 50)
                                .newfx(0, 2, 0)
                                .start(0)
                                .waitfor(1)
                                .setchunk(0, 0x80, 1)
                                .waitfor(1)
                                .setchunk(0, 0x80, 2)
                                .setint(0, 0x81, 5)  // ignored
                                .waitfor(10)
                                .end())
                    .image(support::make_png(160, 50, red))
                    .image(support::make_png(160, 50, blue))
                    .bytes);
  run.start();
  run.frame();
  EXPECT_EQ(run.picture().at(10, 10), 0);
  run.frame();
  const auto& first = static_cast<const datafile::ImageChunk&>(*run.engine->chunks[1]);
  EXPECT_EQ(run.buffer(0).pixels.get(), first.pixels.get());
  EXPECT_EQ(run.picture().at(159, 49), 0xF800);
  run.frame();
  EXPECT_EQ(run.picture().at(0, 0), 0x001F);
  EXPECT_EQ(first.pixels[0], 0xF800);  // left as it was
}

TEST(StillImage, EffectsDrawingIntoTheBufferDrawIntoTheImage) {
  EngineRun run(DataFileBuilder()
                    .script(ScriptBuilder()
                                .newbuf(0, 0, 0, 160, 50)
                                .newfx(0, 2, 0)
                                .setchunk(0, 0x80, 1)
                                .newfx(1, 0, 0)
                                .setint(1, 0x80, 0x1234)
                                .start(1)
                                .waitfor(10)
                                .end())
                    .image(support::make_png(160, 50, Rgb{0, 255, 0}))
                    .bytes);
  run.start();
  run.frame();
  const auto& image = static_cast<const datafile::ImageChunk&>(*run.engine->chunks[1]);
  EXPECT_EQ(image.pixels[0], 0x1234);
  EXPECT_EQ(image.pixels[7999], 0x07E0);
}

TEST(StillImage, AnImageSmallerThanTheBufferIsCopiedAndPaddedWithBlack) {
  EngineRun run(DataFileBuilder()
                    .script(ScriptBuilder()
                                .newbuf(0, 0, 0, 160, 50)
                                .newfx(0, 2, 0)
                                .setchunk(0, 0x80, 1)
                                .newfx(1, 0, 0)
                                .setint(1, 0x80, 0x1234)
                                .start(0)
                                .start(1)
                                .waitfor(10)
                                .end())
                    .image(support::make_png(10, 10, Rgb{255, 255, 255}))
                    .bytes);
  run.start();
  const auto& image = static_cast<const datafile::ImageChunk&>(*run.engine->chunks[1]);
  EXPECT_NE(run.buffer(0).pixels.get(), image.pixels.get());
  EXPECT_EQ(run.buffer(0).pixels[99], 0xFFFF);
  EXPECT_EQ(run.buffer(0).pixels[100], 0);
  run.frame();  // the cycle fill writes 7999 pixels: into the copy, not past the image
  EXPECT_EQ(image.pixels[0], 0xFFFF);
}

}  // namespace
