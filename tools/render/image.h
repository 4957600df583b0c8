// 8-bit pictures the renderer writes: grey or RGB, row-major, and their PNG files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "display/picture.h"
#include "tools/render/output_file.h"

namespace tools::render {

struct Image {
  Image() = default;
  Image(int width, int height, int channels, uint8_t fill = 0)
      : width(width),
        height(height),
        channels(channels),
        bytes(size_t(width) * size_t(height) * size_t(channels), fill) {}

  uint8_t* at(int x, int y) { return bytes.data() + (size_t(y) * width + x) * channels; }
  const uint8_t* at(int x, int y) const {
    return bytes.data() + (size_t(y) * width + x) * channels;
  }

  int width = 0;
  int height = 0;
  int channels = 1;  // 1 grey, 3 RGB
  std::vector<uint8_t> bytes;
};

struct Rgb {
  uint8_t r, g, b;
};

// An RGB565 pixel with each channel stretched to 8 bits by repeating its top bits below it, so
// that 0 stays 0 and the largest value becomes 255 (31 -> 255, 63 -> 255, 16 -> 132).
inline Rgb rgb_of(uint16_t pixel) {
  const unsigned red = pixel >> 11, green = pixel >> 5 & 0x3F, blue = pixel & 0x1F;
  return {static_cast<uint8_t>(red << 3 | red >> 2), static_cast<uint8_t>(green << 2 | green >> 4),
          static_cast<uint8_t>(blue << 3 | blue >> 2)};
}

// The colour picture, each pixel a block of scale_x x scale_y.
Image colour_image(const display::Picture& picture, int scale_x, int scale_y);

// Each block of factor x factor pixels becomes its average, rounded down; the image's width and
// height must be multiples of factor.
Image shrink(const Image& image, int factor);

// Copies `source` into `target` with its top-left corner at (x, y); both have the same channels
// and the source lies inside the target. A grey source is spread to RGB when the target is RGB.
void paste(Image& target, const Image& source, int x, int y);

// Writes `image` to `file` through libpng; returns an error text, empty on success.
std::string write_png(const Image& image, OutputFile& file);

}  // namespace tools::render
