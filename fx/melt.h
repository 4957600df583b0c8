// The melting relief's instance record and its flow step, shared with the tests.
#pragma once

#include <cstdint>
#include <vector>

#include "fx/fx_class.h"
#include "fx/image_pixels.h"

namespace fx {

// The slope look-up reads the relief byte 320 places on (the pixel below, on a 320-wide
// picture), so the relief map carries that many bytes of 0 past its end.
inline constexpr size_t RELIEF_MARGIN = 320;

struct MeltFx : FxInstance {
  engine::Buffer* target = nullptr;
  // Per pixel of the target, row-major with its width (map_width x map_height):
  // `mass` from 0 to 1, then one row and one cell (W + 1) of catch cells below the last row,
  // which the flow may fill and drain but which are never limited or drawn;
  // `relief`, 256 times the smoothed mass, low 8 bits; 0 is not drawn; then RELIEF_MARGIN 0s.
  std::vector<float> mass;
  std::vector<uint8_t> relief;
  std::vector<uint16_t> light_map;  // 256 x 256 RGB565 light colours, entry u + 256 v
  ImagePixels source;               // whose brightness is loaded as the mass
  ImagePixels gravity_map;          // blue field: 0 the mass falls freely, 31 it barely sinks
  int32_t flowing = 0;              // nonzero: every render runs a flow step first
  uint16_t map_width = 0;
  uint16_t map_height = 0;
};

// Loads the mass from `source`: red and blue doubled to 6 bits plus green, over 189.
void load_mass(MeltFx& fx);

// A flow step is the three passes in this order, each over rows 1 to H - 1 as one linear run
// and in place. Row 0 of the mass is never changed.
void sideways_pass(MeltFx& fx);   // mass moves between a pixel and the next
void downward_pass(MeltFx& fx);   // and between a pixel and the one below, under gravity
void rebuild_relief(MeltFx& fx);  // the relief becomes the 3 x 3 binomial average of the mass
void flow_step(MeltFx& fx);

}  // namespace fx
