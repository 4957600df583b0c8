// Composing buffers into the 160 x 50 picture.
#include "display/picture.h"

#include <algorithm>

namespace display {

void Picture::blit(const engine::Buffer& buffer) {
  using engine::PICTURE_HEIGHT, engine::PICTURE_WIDTH;
  const int rows =
      std::min<int>(buffer.height, PICTURE_HEIGHT - std::min<int>(buffer.y, PICTURE_HEIGHT));
  const int columns =
      std::min<int>(buffer.width, PICTURE_WIDTH - std::min<int>(buffer.x, PICTURE_WIDTH));
  for (int i = 0; i < rows; ++i)
    std::copy_n(buffer.pixels.get() + size_t(i) * buffer.width, columns,
                pixels.data() + (buffer.y + i) * PICTURE_WIDTH + buffer.x);
}

}  // namespace display
