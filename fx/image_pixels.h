// How effects take an image's pixels: reading them by element with a bound, so that a picture
// smaller than the effect expects reads as black past its end, or making a buffer show them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/buffer.h"
#include "datafile/chunk.h"

namespace fx {

struct ImagePixels {
  engine::PixelBlock pixels;  // null until a parameter sets it
  size_t count = 0;           // elements the block holds

  ImagePixels() = default;
  ImagePixels(engine::PixelBlock block, size_t size) : pixels(std::move(block)), count(size) {}
  explicit ImagePixels(const datafile::ImageChunk& image)
      : pixels(image.pixels), count(image.pixel_count()) {}

  bool empty() const { return pixels == nullptr; }

  // Element i, black where the picture has none.
  uint16_t at(size_t i) const { return i < count ? pixels[i] : 0; }

  // Elements first to first + n - 1 into `out`, black where the picture has none; `first` may
  // lie before the picture's start. The part that exists is one block copy.
  void copy(int64_t first, size_t n, uint16_t* out) const {
    const int64_t last = first + static_cast<int64_t>(n);
    const int64_t from = std::max<int64_t>(first, 0);
    const int64_t to = std::min<int64_t>(last, static_cast<int64_t>(count));
    if (pixels == nullptr || from >= to) {
      std::fill_n(out, n, uint16_t{0});
      return;
    }
    std::fill(out, out + (from - first), uint16_t{0});
    std::copy(pixels.get() + from, pixels.get() + to, out + (from - first));
    std::fill(out + (to - first), out + n, uint16_t{0});
  }
};

// Makes `buffer` show `image`'s own pixels, so that what is drawn into the buffer changes the
// image; width, height and place stay the buffer's. An image smaller than the buffer is copied
// instead, black past its end, so that no effect can write outside it.
void show_image_pixels(engine::Buffer& buffer, const datafile::ImageChunk& image);

}  // namespace fx
