// The spark column's instance record, shared with the tests.
#pragma once

#include <cstdint>
#include <vector>

#include "fx/fx_class.h"

namespace fx {

struct Spark {
  uint16_t x;  // column
  uint16_t y;  // row: 10 times the spark's index, fixed when the spark is added
};

struct SparkFx : FxInstance {
  engine::Buffer* target = nullptr;
  // The two working pictures, RGB565, of the target's size (map_width x map_height). Sparks are
  // plotted into `front`, its average goes to `back`, then the two change places.
  std::vector<uint16_t> front;
  std::vector<uint16_t> back;
  uint16_t map_width = 0;
  uint16_t map_height = 0;
  std::vector<Spark> sparks;  // the spark count is their number
  Random* random = nullptr;   // the show's stream, which gives the sparks' columns
};

}  // namespace fx
