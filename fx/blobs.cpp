// Bouncing blobs: soft round sprites added into an 8-bit intensity map with saturation, drifting
// in straight lines and turning back near the edges; the map is shown one grey level per pixel.
#include "fx/blobs.h"

#include <algorithm>
#include <cmath>

#include "fx/extended.h"
#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr int SPRITE_CENTRE = 32;
constexpr int EDGE = 10;  // a blob turns once its centre is this close to an edge, or past it
// More blobs than this are not kept: each costs 4096 additions a render, and a corrupt count
// must not ask for gigabytes.
constexpr int32_t MAX_BLOBS = 65535;

constexpr uint8_t COUNT = 0x80;

constexpr ParamInfo params[] = {
    {COUNT, "count", ParamKind::NUMBER, "number of blobs", {.count = true}},
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random& random) {
  auto fx = std::make_unique<BlobFx>();
  fx->target = entry.get();
  fx->random = &random;
  // The value falls by 2 per pixel of distance from the centre: 63 there, 0 from 31.5 on.
  for (int r = 0; r < SPRITE_SIZE; ++r) {
    for (int c = 0; c < SPRITE_SIZE; ++c) {
      const int dr = r - SPRITE_CENTRE, dc = c - SPRITE_CENTRE;
      const int v = static_cast<int>(2 * std::sqrt(static_cast<double>(dr * dr + dc * dc)));
      fx->sprite[r * SPRITE_SIZE + c] = static_cast<uint8_t>(v <= 63 ? 63 - v : 0);
    }
  }
  return fx;
}

// Adds the sprite with its top-left corner at map offset `p`, rows W apart: the part past the
// right edge goes on at the left edge one row lower. Bytes before the map's start (above the
// top row) and from its end on (below the bottom row, never shown) are left out.
void add_sprite(BlobFx& fx, int64_t p, int64_t width) {
  const int64_t count = static_cast<int64_t>(fx.intensity.size());
  for (int r = 0; r < SPRITE_SIZE; ++r) {
    const int64_t row = p + r * width;
    const int64_t first = std::max<int64_t>(0, -row);
    const int64_t last = std::min<int64_t>(SPRITE_SIZE, count - row);
    // A row wholly above or below the map adds nothing; leaving it before the pointers are
    // formed also keeps them off an empty map, whose data() may be null.
    if (last <= first) continue;
    // A plain loop over two byte arrays, which the compiler turns into saturating vector adds.
    uint8_t* map = fx.intensity.data() + (row + first);
    const uint8_t* sprite = fx.sprite.data() + r * SPRITE_SIZE + first;
    for (int64_t c = 0; c < last - first; ++c) {
      const unsigned sum = map[c] + sprite[c];
      map[c] = static_cast<uint8_t>(sum < 255 ? sum : 255);
    }
  }
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<BlobFx&>(instance);
  engine::Buffer& target = *fx.target;
  const int width = target.width, height = target.height;
  // The map is sized from the target at every render, so a target re-created at another size
  // is drawn whole; the blobs keep their places and turn back in when they are outside.
  fx.intensity.assign(target.pixel_count(), 0);

  for (Blob& blob : fx.blobs) {
    // Corner truncated toward zero, from the exact difference.
    const int64_t ox = static_cast<int64_t>(static_cast<real80>(blob.x) - SPRITE_CENTRE);
    const int64_t oy = static_cast<int64_t>(static_cast<real80>(blob.y) - SPRITE_CENTRE);
    add_sprite(fx, oy * width + ox, width);

    // The tests are strict and the position is not clamped: a blob may pass a limit by up to a
    // step, and it turns again in every render in which it is still outside.
    blob.x = blob.x + blob.dx;
    if (blob.x > width - EDGE || blob.x < EDGE) blob.dx = -blob.dx;
    blob.y = blob.y + blob.dy;
    if (blob.y > height - EDGE || blob.y < EDGE) blob.dy = -blob.dy;
  }

  std::copy(fx.intensity.begin(), fx.intensity.end(), target.pixels.get());  // 0x0000 to 0x00FF
}

// New blobs start in the middle 40 % of the target along each axis, with one of the hundred
// speeds -1.25, -1.225, ..., +1.225 along each; the four draws are taken in this order.
Blob random_blob(int64_t width, int64_t height, Random& random) {
  // Worked in extended precision from the double constants 0.4, 0.3 and 0.025 (each a little
  // off its decimal value) and rounded once into the float fields.
  using real = real80;
  const real w = static_cast<real>(width), h = static_cast<real>(height);
  const real x_draw = random.next();
  const real y_draw = random.next();
  const int64_t dx_step = random.below(100);
  const int64_t dy_step = random.below(100);
  Blob blob;
  blob.x = static_cast<float>(trunc(x_draw * w * real{0.4} / real{0x1p31}) + real{0.3} * w);
  blob.y = static_cast<float>(trunc(y_draw * h * real{0.4} / real{0x1p31}) + real{0.3} * h);
  blob.dx = static_cast<float>(static_cast<real>(dx_step - 50) * real{0.025});
  blob.dy = static_cast<float>(static_cast<real>(dy_step - 50) * real{0.025});
  return blob;
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  if (id != COUNT) return;
  auto& fx = static_cast<BlobFx&>(instance);
  // A negative count means no blobs; lowering the count drops the last blobs, raising it adds
  // fresh random ones after those kept.
  const size_t count = static_cast<size_t>(std::clamp(value.number, 0, MAX_BLOBS));
  const size_t kept = std::min(count, fx.blobs.size());
  fx.blobs.resize(kept);
  while (fx.blobs.size() < count)
    fx.blobs.push_back(random_blob(fx.target->width, fx.target->height, *fx.random));
}

}  // namespace

const FxClass blobs_fx_class = {"blobs",         "bouncing blobs", params,   create,
                                destroy_nothing, render,           set_param};

}  // namespace fx
