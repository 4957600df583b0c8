// Buffers that show an image's own pixels.
#include "fx/image_pixels.h"

#include <algorithm>

namespace fx {

void show_image_pixels(engine::Buffer& buffer, const datafile::ImageChunk& image) {
  if (image.pixel_count() >= buffer.pixel_count()) {
    buffer.pixels = image.pixels;  // shared: what is drawn into the buffer changes the image
    return;
  }
  // An image smaller than the buffer cannot be shared without effects writing past its end:
  // the buffer gets a copy of it instead, black where the image has no pixels.
  engine::PixelBlock copy = engine::allocate_pixels(buffer.pixel_count());
  std::copy_n(image.pixels.get(), image.pixel_count(), copy.get());
  buffer.pixels = std::move(copy);
}

}  // namespace fx
