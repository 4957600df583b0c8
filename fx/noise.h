// The static noise's instance record, open to tests that follow its reveal and frame count.
#pragma once

#include <array>
#include <vector>

#include "fx/fx_class.h"
#include "fx/image_pixels.h"

namespace fx {

inline constexpr int NOISE_FRAMES = 10;

struct NoiseFx : FxInstance {
  engine::Buffer* target = nullptr;
  std::vector<uint16_t> mask;  // the target's size at creation; static shows where it is not 0
  int32_t step = 0;            // distance from the edges of the rows and columns revealed next
  std::array<std::vector<uint16_t>, NOISE_FRAMES> noise;  // the target's size at creation
  int32_t frame_index = 0;                                // renders so far
  int32_t mode = 0;    // 1 or less: static through the mask (1 also reveals), 2: or-ed, else none
  ImagePixels source;  // the image mode 1 reveals into the mask
};

}  // namespace fx
