// Effects outside the engine.
#include "support/fx_harness.h"

namespace support {

engine::BufferEntry make_entry(uint16_t width, uint16_t height) {
  auto buffer = std::make_unique<engine::Buffer>();
  buffer->width = width;
  buffer->height = height;
  buffer->pixels = engine::allocate_pixels(size_t{width} * height);
  return buffer;
}

std::unique_ptr<datafile::ImageChunk> make_image(
    int width, int height, const std::function<uint16_t(int x, int y)>& pixel) {
  auto image = std::make_unique<datafile::ImageChunk>();
  image->width = width;
  image->height = height;
  image->pixels = engine::allocate_pixels(image->pixel_count());
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->pixels[size_t(y) * width + x] = pixel(x, y);
  return image;
}

std::unique_ptr<datafile::ImageChunk> make_image(int width, int height, uint16_t pixel) {
  return make_image(width, height, [pixel](int, int) { return pixel; });
}

std::unique_ptr<datafile::TextChunk> make_text(const std::string& bytes) {
  auto text = std::make_unique<datafile::TextChunk>();
  text->bytes.assign(bytes.begin(), bytes.end());
  text->size = static_cast<int32_t>(bytes.size());
  return text;
}

FxUnderTest::FxUnderTest(uint8_t class_id, uint16_t width, uint16_t height)
    : row(*fx::fx_classes.at(class_id)),
      entry(make_entry(width, height)),
      instance(row.create(entry, random)) {}

}  // namespace support
