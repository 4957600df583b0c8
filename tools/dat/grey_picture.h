// Ordinary pictures made into the display's greys. The ASCII display reads a pixel's low 8 bits
// (blue's five and green's three low ones) as its grey, so a plain grey, R = G = B, comes out
// banded: RGB565 0x8410, a mid grey, shows as 16, nearly black. A picture declared `grey` is
// converted at build time into pixels whose low byte is its brightness.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "tools/dat/data_file.h"

namespace tools {

// The brightness of an 8-bit colour over black, 0 to 255: luma with ITU-R BT.601 weights
// (0.299, 0.587, 0.114), scaled by alpha, rounded to the nearest whole number.
uint8_t brightness(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha = 255);

// The RGB565 pixel the display shows as grey `level`: the level in the low byte, and again in
// the high byte, so that effects comparing whole pixels (the fade) order them as the display
// orders its greys.
inline constexpr uint16_t display_grey(uint8_t level) {
  return static_cast<uint16_t>(level << 8 | level);
}

// A PNG of any kind libpng reads (grey, palette, RGB, with or without alpha or transparency, 8
// or 16 bits) converted into an 8-bit RGB PNG that the engine decodes to display_grey() of each
// pixel's brightness. Nothing, and `problem` set, when the PNG cannot be read or is larger than
// the engine takes (more than 2,048 rows or 2^24 pixels).
std::optional<Bytes> grey_picture(std::span<const uint8_t> png, std::string& problem);

// Whether `pixel` is an ordinary grey the display shows out of order: red, green and blue at the
// same level (green's extra bit aside), neither black nor white.
inline constexpr bool is_banded_grey(uint16_t pixel) {
  const int red = pixel >> 11, green = (pixel >> 5) & 63, blue = pixel & 31;
  return red == blue && green >> 1 == red && pixel != 0 && pixel != 0xFFFF;
}

}  // namespace tools
