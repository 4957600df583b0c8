// How effects take an image's pixels: reading them as a picture of the target's size, or making a
// buffer show them.
#pragma once

#include <cstddef>
#include <cstdint>

#include "datafile/chunk.h"
#include "engine/buffer.h"

namespace fx {

// An image as an effect reads it: pixel p of the image for pixel p of the target, whatever the
// two sizes. Effects trust no image to be as large as their target: past the image's last pixel,
// and before any image is set, the picture reads black.
struct ImagePixels {
  engine::PixelBlock pixels;  // shared with the image chunk
  size_t count = 0;

  ImagePixels() = default;
  explicit ImagePixels(const datafile::ImageChunk& image)
      : pixels(image.pixels), count(image.pixel_count()) {}
  uint16_t at(size_t p) const { return p < count ? pixels[p] : 0; }
};

// Makes `buffer` show `image`'s own pixels, so that what is drawn into the buffer changes the
// image; width, height and place stay the buffer's.
void show_image_pixels(engine::Buffer& buffer, const datafile::ImageChunk& image);

}  // namespace fx
