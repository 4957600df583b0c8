// The bouncing particles' instance record, open to tests that place particles by hand.
#pragma once

#include <vector>

#include "fx/fx_class.h"
#include "fx/image_pixels.h"
#include "fx/particle.h"

namespace fx {

struct BounceFx : FxInstance {
  engine::Buffer* target = nullptr;  // its size is read whenever it is needed
  ImagePixels source;                // what the particles show; black until parameter 0x81
  ImagePixels background;            // copied under the particles; nothing moves until it is set
  std::vector<Particle> particles;   // moved and drawn in this order
  uint8_t drop = 0;                  // nonzero: no floor
  Random* random = nullptr;          // the show's stream: new particles, bounces and gravity
};

// Parameter 0x80: keeps the first n particles and starts new ones on the top row.
void set_particle_count(BounceFx& fx, int32_t n);

}  // namespace fx
