// The tinted particles' instance record, open to tests that place particles by hand.
#pragma once

#include <vector>

#include "fx/fx_class.h"
#include "fx/image_pixels.h"
#include "fx/particle.h"

namespace fx {

struct TintFx : FxInstance {
  engine::Buffer* target = nullptr;  // its size is read whenever it is needed
  ImagePixels source;                // the hidden picture; nothing moves until it is set
  std::vector<Particle> particles;   // moved and drawn in this order
  Random* random = nullptr;          // the show's stream, which new particles start from
};

// Parameter 0x80: keeps the first n particles and starts new ones in the middle of the target.
void set_particle_count(TintFx& fx, int32_t n);

}  // namespace fx
