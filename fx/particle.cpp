// Starting and rebounding particles, shared by the bouncing and the tinted particles.
#include "fx/particle.h"

namespace fx {
namespace {

// Doubles, promoted to 80-bit extended (real80) where they are used; both lie a hair below their
// decimals, so 160 x 0.3 truncates to 47, not 48.
constexpr double START_BAND = 0.48;
constexpr double START_OFFSET = 0.3;
constexpr double WALL_DAMPING = -0.9;
constexpr real80 TWO_TO_MINUS_31 = 0x1p-31;

}  // namespace

int32_t start_position(uint16_t size, Random& random) {
  const real80 r = random.next();
  const int64_t k = static_cast<int64_t>(r * size * START_BAND * TWO_TO_MINUS_31);
  const int64_t pixel = static_cast<int64_t>(k + static_cast<real80>(size) * START_OFFSET);
  return static_cast<int32_t>(static_cast<uint32_t>(pixel) << 16);  // wraps past 32767 pixels
}

int32_t start_velocity(Random& random) {
  const int32_t half_pixels = random.below(5);   // 0 .. 4, in steps of 1/2 pixel
  const int32_t pixel_32nds = random.below(33);  // 0 .. 32, in steps of 1/32 pixel
  return half_pixels * 32768 + pixel_32nds * 2048 - 98304;
}

void rebound_from_walls(int32_t& position, int32_t& velocity, uint16_t size) {
  if (position > far_wall(size) || position < 5 * ONE_PIXEL) {
    velocity = wrap_trunc(static_cast<real80>(velocity) * WALL_DAMPING);
    position = wrap_add(position, velocity);
  }
}

}  // namespace fx
