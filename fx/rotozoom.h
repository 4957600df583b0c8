// The rotozoomer's instance record, open to tests that read its sine table and animation.
#pragma once

#include <array>

#include "fx/fx_class.h"
#include "fx/image_pixels.h"

namespace fx {

inline constexpr int TEXTURE_SIZE = 256;  // texels per row and rows
inline constexpr size_t TEXTURE_TEXELS = size_t{TEXTURE_SIZE} * TEXTURE_SIZE;

struct RotozoomFx : FxInstance {
  engine::Buffer* target = nullptr;  // its size and pixels are read at every render
  ImagePixels texture;               // texel (u, v) at element v x 256 + u; at least 65536 texels
  std::array<float, 320> sine{};     // sin(i x 3.14 / 128): 3.14, not pi, so 256 entries fall
                                     // just short of a full turn
  uint8_t angle = 0;                 // one step a render
  uint16_t pan_u = 0;                // scroll in texels and the zoom's phase
  uint16_t pan_v = 5;                // scroll in texels
};

}  // namespace fx
