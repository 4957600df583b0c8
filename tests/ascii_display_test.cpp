// The ASCII-art display: where blits land in AA-lib's image, and the flash schedule.
#include <gtest/gtest.h>

#include <aalib.h>

#include <memory>
#include <vector>

#include "display/ascii_display.h"
#include "support/fx_harness.h"

namespace {

constexpr unsigned char UNTOUCHED = 0xA5;

// An AA-lib context of AA-lib's memory driver with a screen of `columns` x `rows` characters;
// its image is twice as large on both axes. The image starts filled with UNTOUCHED.
struct MemoryScreen {
  MemoryScreen(int columns, int rows) {
    aa_hardware_params params = aa_defparams;
    params.width = columns;
    params.height = rows;
    context = aa_init(&mem_d, &params, nullptr);
    std::fill_n(aa_image(context), size_t(width()) * height(), UNTOUCHED);
  }
  ~MemoryScreen() { aa_close(context); }
  int width() const { return aa_imgwidth(context); }
  int height() const { return aa_imgheight(context); }
  unsigned char at(int column, int row) const { return aa_image(context)[row * width() + column]; }
  void blit(const engine::Buffer& buffer) {
    display::blit_to_image(aa_image(context), width(), height(), 160, 50, buffer);
  }
  int written() const {
    return static_cast<int>(std::count_if(aa_image(context), aa_image(context) + width() * height(),
                                          [](unsigned char p) { return p != UNTOUCHED; }));
  }
  aa_context* context;
};

// A buffer placed at (x, y) whose pixel (column c, row r) holds r * 256 + c: its low byte
// names the column, so where a pixel lands tells which one it was.
engine::Buffer numbered_buffer(uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
  engine::Buffer buffer{engine::allocate_pixels(size_t{width} * height), width, height, x, y};
  for (int r = 0; r < height; ++r)
    for (int c = 0; c < width; ++c)
      buffer.pixels[r * width + c] = static_cast<uint16_t>(r << 8 | c);
  return buffer;
}

TEST(AsciiBlit, AnEightyByTwentyFiveScreenTakesThePictureOneToOne) {
  MemoryScreen screen(80, 25);
  ASSERT_EQ(screen.width(), 160);
  ASSERT_EQ(screen.height(), 50);
  screen.blit(numbered_buffer(0, 0, 160, 50));
  EXPECT_EQ(screen.written(), 8000);
  EXPECT_EQ(screen.at(0, 0), 0);
  EXPECT_EQ(screen.at(159, 49), 159);
  EXPECT_EQ(screen.at(37, 20), 37);
}

TEST(AsciiBlit, TheGreyIsThePixelsLowEightBits) {
  MemoryScreen screen(80, 25);
  const uint16_t pixels[] = {0xFFFF, 0xF800, 0x001F, 0x07E0};
  const unsigned char greys[] = {255, 0, 31, 0xE0};
  engine::Buffer buffer{engine::allocate_pixels(4 * 50), 4, 50, 0, 0};
  for (int g = 0; g < 32; ++g) buffer.pixels[4 * (g + 1)] = static_cast<uint16_t>(g * 0x841);
  std::copy(std::begin(pixels), std::end(pixels), buffer.pixels.get());
  screen.blit(buffer);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(screen.at(i, 0), greys[i]);
  // A 5-bit grey g written as g x 0x841 shows as (g mod 4) x 64 + g.
  for (int g = 0; g < 32; ++g) EXPECT_EQ(screen.at(0, g + 1), (g % 4) * 64 + g) << "grey " << g;
}

TEST(AsciiBlit, LargerImagesGetOnePixelPerBlockAtWholeScaleFactors) {
  MemoryScreen tall(80, 50);  // 160 x 100: only even rows are written
  tall.blit(numbered_buffer(0, 0, 160, 50));
  EXPECT_EQ(tall.written(), 8000);
  EXPECT_EQ(tall.at(5, 2 * 7), 5);
  EXPECT_EQ(tall.at(5, 2 * 7 + 1), UNTOUCHED);
  MemoryScreen large(160, 50);  // 320 x 100: every other pixel of every other row
  large.blit(numbered_buffer(10, 0, 20, 50));
  EXPECT_EQ(large.written(), 1000);
  EXPECT_EQ(large.at(2 * (10 + 3), 2 * 4), 3);
  EXPECT_EQ(large.at(2 * (10 + 3) + 1, 2 * 4), UNTOUCHED);
}

TEST(AsciiBlit, ASmallerScreenTakesThePictureProportionallyInsteadOfPilingItUp) {
  MemoryScreen short_screen(80, 24);  // 160 x 48, the common 80 x 24 terminal
  ASSERT_EQ(short_screen.height(), 48);
  short_screen.blit(numbered_buffer(0, 0, 160, 50));
  // Every image row is reached; picture row r lands on image row r * 48 / 50.
  for (int row = 0; row < 48; ++row) EXPECT_NE(short_screen.at(80, row), UNTOUCHED) << row;
  EXPECT_EQ(short_screen.at(80, 47), 80);
  MemoryScreen narrow(50, 25);  // 100 x 50: columns proportional, rows one to one
  narrow.blit(numbered_buffer(0, 0, 160, 50));
  EXPECT_EQ(narrow.at(99, 49), 159);  // column 159 lands on 159 * 100 / 160 = 99
  EXPECT_EQ(narrow.at(50, 10), 81);   // columns 80 and 81 both land on 50; the later one stays
}

TEST(AsciiBlit, NothingOutsideTheImageOrTheBufferIsTouched) {
  MemoryScreen screen(80, 25);
  screen.blit(numbered_buffer(150, 0, 30, 50));  // x + width > 160: the right part is cut off
  EXPECT_EQ(screen.written(), 10 * 50);
  EXPECT_EQ(screen.at(159, 3), 9);
  screen.blit(numbered_buffer(0, 45, 20, 10));  // rows past the picture's bottom are cut off
  EXPECT_EQ(screen.at(19, 49), 19);
  MemoryScreen fresh(80, 25);
  fresh.blit(numbered_buffer(0, 0, 160, 3));  // three rows only: nothing is read past them
  EXPECT_EQ(fresh.written(), 160 * 3);
}

TEST(Flash, StartsAfterFramesDivisibleBy200AboveFiveHundredAndDecays) {
  aa_renderparams params = display::render_params_at(0);
  EXPECT_EQ(params.bright, 10);
  EXPECT_EQ(params.contrast, 94);
  EXPECT_FLOAT_EQ(params.gamma, 0.9f);
  EXPECT_EQ(params.dither, AA_FLOYD_S);
  EXPECT_EQ(params.inversion, 0);
  EXPECT_EQ(params.randomval, 0);

  auto at = [](uint32_t frame) {
    aa_renderparams in_frame = display::render_params_at(frame);
    return std::make_pair(in_frame.bright, in_frame.randomval);
  };
  for (uint32_t frame : {0u, 500u, 501u, 600u, 700u, 701u, 800u, 631u, 4000000000u})
    EXPECT_EQ(at(frame), std::make_pair(10, 0)) << "frame " << frame;
  // The frames after 600 are rendered 1, 2, ... frames into the flash.
  const std::pair<int, int> into_the_flash[] = {{90, 145}, {80, 140}, {70, 135}, {60, 130},
                                                {50, 125}, {40, 120}, {30, 115}, {20, 110},
                                                {10, 105}, {10, 100}};
  for (int k = 1; k <= 10; ++k) {
    EXPECT_EQ(at(600 + k), into_the_flash[k - 1]) << "frame " << 600 + k;
    EXPECT_EQ(at(800 + k), at(600 + k));
    EXPECT_EQ(at(4000000000u + k), at(600 + k));  // a multiple of 200 as well
  }
  EXPECT_EQ(at(629), std::make_pair(10, 5));
  EXPECT_EQ(at(630), std::make_pair(10, 0));
}

}  // namespace
