// The moving point both particle effects are made of, and what they share: starting a particle
// from the random stream, keeping a particle list at a count, and rebounding from a wall.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "fx/extended.h"
#include "fx/random.h"

namespace fx {

// Positions and velocities are 16.16 fixed point (65536 = one pixel) in 32 bits. They wrap
// modulo 2^32 as two's-complement sums do, so every sum goes through wrap_add.
struct Particle {
  int32_t x = 0;        // the pixel column is the upper 16 bits, signed
  int32_t y = 0;        // the pixel row, downwards
  int32_t vx = 0;       // per render
  int32_t vy = 0;       // per render, positive downwards
  uint16_t colour = 0;  // RGB565; only the tinted particles read it
};

inline constexpr int32_t ONE_PIXEL = 65536;

// A particle list never grows past this many, whatever a script asks: more could not be drawn
// onto any picture the engine can make, and would only exhaust memory.
inline constexpr int32_t MAX_PARTICLES = 1 << 20;

// The pixel a 16.16 position falls in: its upper 16 bits read as a signed number.
inline int32_t pixel_of(int32_t position) {
  return static_cast<int16_t>(static_cast<uint32_t>(position) >> 16);
}

inline int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

// trunc(value), wrapped into 32 bits like a sum; value must lie within +-2^63.
inline int32_t wrap_trunc(real80 value) {
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

// A start position on an axis of `size` pixels, from one random number: a whole pixel in the
// 48 % band that begins 30 % in (columns 47 to 123 of 160).
int32_t start_position(uint16_t size, Random& random);

// A start velocity from two random numbers: -1.5 to +1.5 pixels in steps of 1/32.
int32_t start_velocity(Random& random);

// Keeps the first min(size, n) particles and appends `make()` for each new one, in order, so
// the new particles draw their random numbers one after the other. A negative n counts as 0.
template <typename Make>
void set_particle_count(std::vector<Particle>& particles, int32_t n, Make make) {
  const size_t wanted = static_cast<size_t>(n < 0 ? 0 : n > MAX_PARTICLES ? MAX_PARTICLES : n);
  if (wanted <= particles.size()) {
    particles.resize(wanted);
    return;
  }
  particles.reserve(wanted);
  while (particles.size() < wanted) particles.push_back(make());
}

// The walls of an axis of `size` pixels stand 5 pixels in from either end. A particle beyond
// one has its velocity turned and damped to 90 % and takes one step of the new velocity.
void rebound_from_walls(int32_t& position, int32_t& velocity, uint16_t size);

// The far wall (or floor) of an axis: (size - 5) x 65536, as a 32-bit signed number.
inline int32_t far_wall(uint16_t size) {
  return static_cast<int32_t>(static_cast<uint32_t>(size - 5) << 16);
}

}  // namespace fx
