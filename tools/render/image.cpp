// Converting, scaling and writing the renderer's pictures.
#include "tools/render/image.h"

#include <png.h>

#include <algorithm>
#include <cstdio>

namespace tools::render {

Image colour_image(const display::Picture& picture, int scale_x, int scale_y) {
  using engine::PICTURE_HEIGHT, engine::PICTURE_WIDTH;
  Image image(PICTURE_WIDTH * scale_x, PICTURE_HEIGHT * scale_y, 3);
  for (int row = 0; row < PICTURE_HEIGHT; ++row) {
    uint8_t* line = image.at(0, row * scale_y);
    for (int column = 0; column < PICTURE_WIDTH; ++column) {
      Rgb rgb = rgb_of(picture.at(column, row));
      for (int i = 0; i < scale_x; ++i, line += 3) {
        line[0] = rgb.r;
        line[1] = rgb.g;
        line[2] = rgb.b;
      }
    }
    const size_t row_bytes = size_t(image.width) * 3;
    for (int copy = 1; copy < scale_y; ++copy)
      std::copy_n(image.at(0, row * scale_y), row_bytes, image.at(0, row * scale_y + copy));
  }
  return image;
}

Image shrink(const Image& image, int factor) {
  Image small(image.width / factor, image.height / factor, image.channels);
  const int area = factor * factor;
  for (int y = 0; y < small.height; ++y)
    for (int x = 0; x < small.width; ++x)
      for (int channel = 0; channel < image.channels; ++channel) {
        int sum = 0;
        for (int dy = 0; dy < factor; ++dy)
          for (int dx = 0; dx < factor; ++dx)
            sum += image.at(x * factor + dx, y * factor + dy)[channel];
        small.at(x, y)[channel] = static_cast<uint8_t>(sum / area);
      }
  return small;
}

void paste(Image& target, const Image& source, int x, int y) {
  for (int row = 0; row < source.height; ++row)
    for (int column = 0; column < source.width; ++column) {
      const uint8_t* from = source.at(column, row);
      uint8_t* to = target.at(x + column, y + row);
      for (int channel = 0; channel < target.channels; ++channel)
        to[channel] = from[source.channels == 1 ? 0 : channel];
    }
}

// libpng's simplified interface reports errors in the image record instead of jumping out. Its
// own file writer removes the file it was given when a write fails, which may be what the user
// named: it writes to our stream instead, which never removes anything.
std::string write_png(const Image& image, OutputFile& file) {
  png_image record{};
  record.version = PNG_IMAGE_VERSION;
  record.width = static_cast<png_uint_32>(image.width);
  record.height = static_cast<png_uint_32>(image.height);
  record.format = image.channels == 1 ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
  if (png_image_write_to_stdio(&record, file.stream(), 0, image.bytes.data(), 0, nullptr))
    return {};
  std::string error = "cannot write " + file.name() + ": " + record.message;
  png_image_free(&record);
  return file.fail(error);
}

}  // namespace tools::render
