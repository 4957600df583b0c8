// Tinted particles: points drift in a box over black, taking on the colours of a hidden picture
// and slowing to a quarter of their speed over its non-black parts, so that the picture forms.
#include "fx/tint.h"

#include <algorithm>

#include "fx/fx_table.h"

namespace fx {
namespace {

// Three quarters of the picture's colour and one quarter of the particle's, channel by
// channel in RGB565 (red 15-11, green 10-5, blue 4-0).
uint16_t blend(uint16_t picture, uint16_t particle) {
  const uint32_t red = (3 * (picture >> 11) + (particle >> 11)) >> 2;
  const uint32_t green = (3 * (picture >> 5 & 63) + (particle >> 5 & 63)) >> 2;
  const uint32_t blue = (3 * (picture & 31) + (particle & 31)) >> 2;
  return static_cast<uint16_t>(red << 11 | green << 5 | blue);
}

// trunc(position + velocity x f), f = 0.25 over the picture and 1 elsewhere, wrapped to 32 bits.
// position + velocity / 4 has at most two fractional bits and fits a 64-bit integer four times
// over, so whole-number arithmetic gives exactly what the extended-precision sum truncates to:
// integer division truncates toward zero too. (Three times faster than the long double sum.)
int32_t move(int32_t position, int32_t velocity, bool slowed) {
  const int64_t moved =
      slowed ? (4 * int64_t{position} + velocity) / 4 : int64_t{position} + velocity;
  return static_cast<int32_t>(static_cast<uint32_t>(moved));
}

constexpr uint8_t COUNT = 0x80, SOURCE = 0x81;

constexpr ParamInfo params[] = {
    {COUNT, "count", ParamKind::NUMBER, "number of particles", {.count = true}},
    {SOURCE, "source", ParamKind::IMAGE, "hidden picture that tints and slows the particles"},
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random& random) {
  auto fx = std::make_unique<TintFx>();
  fx->target = entry.get();
  fx->random = &random;
  return fx;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<TintFx&>(instance);
  engine::Buffer& target = *fx.target;
  uint16_t* pixels = target.pixels.get();
  std::fill_n(pixels, target.pixel_count(), uint16_t{0});
  if (fx.source.empty()) return;
  const int32_t width = target.width, height = target.height;
  for (Particle& particle : fx.particles) {
    const int32_t column = pixel_of(particle.x), row = pixel_of(particle.y);
    // A particle outside the target (only possible when it is under 10 pixels wide or high)
    // samples nothing and moves at full speed, as over black. A picture smaller than the
    // target reads as black where it has no pixels.
    uint16_t sample = 0;
    if (column >= 0 && column < width && row >= 0 && row < height) {
      const size_t i = size_t(row) * size_t(width) + size_t(column);
      sample = fx.source.at(i);
      particle.colour = blend(sample, particle.colour);
      pixels[i] = particle.colour;
    }
    const bool slowed = sample != 0;
    particle.x = move(particle.x, particle.vx, slowed);
    particle.y = move(particle.y, particle.vy, slowed);
    // The walls turn with the whole new velocity, not the slowed one.
    rebound_from_walls(particle.x, particle.vx, target.width);
    rebound_from_walls(particle.y, particle.vy, target.height);
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<TintFx&>(instance);
  if (id == COUNT) set_particle_count(fx, value.number);
  if (id == SOURCE) fx.source = ImagePixels(image_param(value));
}

}  // namespace

void set_particle_count(TintFx& fx, int32_t n) {
  const uint16_t width = fx.target->width, height = fx.target->height;
  Random& random = *fx.random;
  set_particle_count(fx.particles, n, [width, height, &random] {
    Particle particle;
    particle.x = start_position(width, random);
    particle.y = start_position(height, random);
    particle.vx = start_velocity(random);
    particle.vy = start_velocity(random);
    // A grey from bits 8 to 12 of vx: 0, 8, 16 or 24, as vx is a multiple of 2048.
    const uint32_t grey = static_cast<uint32_t>(particle.vx) >> 8 & 31;
    particle.colour = static_cast<uint16_t>(grey * 0x0841);
    return particle;
  });
}

const FxClass tint_fx_class = {"tint", "tinted particles", params, create, destroy_nothing,
                               render, set_param};

}  // namespace fx
