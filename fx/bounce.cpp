// Bouncing particles: points showing a second picture fall over a background picture under a
// random gravity, bouncing off two walls and a floor, until the script lets them drop through.
#include "fx/bounce.h"

#include "fx/fx_table.h"

namespace fx {
namespace {

// Doubles, promoted to 80-bit extended (real80) where they are used.
constexpr double FLOOR_DAMPING = -0.8;  // a bounce keeps 0.8 + k / 1000 of the speed, k < height
constexpr double DROP_NUDGE = 0.07;     // truncated away, except that it lifts a rising vy by 1

constexpr uint8_t COUNT = 0x80, SOURCE = 0x81, BACKGROUND = 0x82, DROP = 0x83;

constexpr ParamInfo params[] = {
    {COUNT, "count", ParamKind::NUMBER, "number of particles", {.count = true}},
    {SOURCE, "source", ParamKind::IMAGE, "picture the particles show"},
    {BACKGROUND, "background", ParamKind::IMAGE,
     "picture drawn under the particles; starts the motion"},
    {DROP, "drop", ParamKind::NUMBER, "nonzero: particles fall through the floor (low 8 bits)"},
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random& random) {
  auto fx = std::make_unique<BounceFx>();
  fx->target = entry.get();
  fx->random = &random;
  // Until parameter 0x81 the particles show this block: black.
  const size_t count = fx->target->pixel_count();
  fx->source = ImagePixels(engine::allocate_pixels(count), count);
  return fx;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<BounceFx&>(instance);
  if (fx.background.empty()) return;  // no motion and no random number before the background
  engine::Buffer& target = *fx.target;
  const int32_t width = target.width, height = target.height;
  uint16_t* pixels = target.pixels.get();
  // Pictures smaller than the target read as black where they have no pixels; that covers the
  // source block made at creation, too, when the target has been re-created larger since.
  fx.background.copy(0, target.pixel_count(), pixels);
  const int32_t floor = far_wall(target.height);
  for (Particle& particle : fx.particles) {
    // Drawn where the previous render left it.
    const int32_t column = pixel_of(particle.x), row = pixel_of(particle.y);
    if (column >= 0 && column < width && row >= 0 && row < height) {
      const size_t i = size_t(row) * size_t(width) + size_t(column);
      pixels[i] = fx.source.at(i);
    }
    particle.x = wrap_add(particle.x, particle.vx);
    particle.y = wrap_add(particle.y, particle.vy);
    rebound_from_walls(particle.x, particle.vx, target.width);
    if (fx.drop != 0) {
      particle.vy = wrap_trunc(particle.vy + static_cast<real80>(DROP_NUDGE));
    } else if (particle.y > floor) {
      // The floor's random number comes before gravity's: both come from the show's stream.
      const int32_t k = fx.random->below(height);
      const real80 keep = FLOOR_DAMPING - static_cast<real80>(k) / 1000;
      particle.vy = wrap_trunc(particle.vy * keep);
      particle.y = wrap_add(particle.y, particle.vy);
    }
    particle.vy = wrap_add(particle.vy, 436 + 2 * fx.random->below(400));  // 436 .. 1234
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<BounceFx&>(instance);
  switch (id) {
    case COUNT:
      set_particle_count(fx, value.number);
      break;
    case SOURCE:
      fx.source = ImagePixels(image_param(value));
      break;
    case BACKGROUND:
      fx.background = ImagePixels(image_param(value));
      break;
    case DROP:
      fx.drop = static_cast<uint8_t>(value.number);
      break;
  }
}

}  // namespace

void set_particle_count(BounceFx& fx, int32_t n) {
  const uint16_t width = fx.target->width;
  Random& random = *fx.random;
  set_particle_count(fx.particles, n, [width, &random] {
    Particle particle;
    particle.x = start_position(width, random);
    particle.vx = start_velocity(random);
    return particle;
  });
}

const FxClass bounce_fx_class = {
    "bounce", "bouncing particles", params, create, destroy_nothing, render, set_param};

}  // namespace fx
