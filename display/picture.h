// The 160 x 50 picture as the engine composes it, whole 16-bit pixels, for drivers that keep it.
#pragma once

#include <array>
#include <cstdint>

#include "base/buffer.h"
#include "engine/display_driver.h"

namespace display {

struct Picture {
  // Starts black and is never cleared: pixels no blit reaches keep their value from before.
  std::array<uint16_t, engine::PICTURE_WIDTH * engine::PICTURE_HEIGHT> pixels{};

  // Copies `buffer` where an 80 x 25 AA-lib screen would put it: buffer row i, column j at
  // picture row y + i, column x + j. Rows and columns outside the picture are left out.
  void blit(const engine::Buffer& buffer);

  uint16_t at(int column, int row) const { return pixels[row * engine::PICTURE_WIDTH + column]; }
};

}  // namespace display
