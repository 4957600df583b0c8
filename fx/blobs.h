// The bouncing blobs' instance record, shared with the tests.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "fx/fx_class.h"

namespace fx {

inline constexpr int SPRITE_SIZE = 64;

// Positions and speeds are pixels (per render) held in 32-bit floats.
struct Blob {
  float x;   // column of the centre
  float y;   // row of the centre
  float dx;  // change of x per render
  float dy;  // change of y per render
};

struct BlobFx : FxInstance {
  engine::Buffer* target = nullptr;
  std::vector<uint8_t> intensity;  // one byte per target pixel, rebuilt from black every render
  std::vector<Blob> blobs;         // the blob count is their number
  std::array<uint8_t, SPRITE_SIZE * SPRITE_SIZE> sprite{};  // radial falloff, 63 at (32, 32)
  Random* random = nullptr;  // the show's stream, which new blobs start from
};

}  // namespace fx
