// Static noise: ten frames of three-level static made at creation, shown in turn through a
// mask into which an image is revealed from the four edges inwards.
#include "fx/noise.h"

#include <algorithm>

#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr uint16_t WHITE = 0xFFFF;
constexpr uint16_t GREY = 0x7BEF;  // red 15, green 31, blue 15
constexpr uint16_t BLACK = 0x0000;

// Modes below STATIC show static through the mask as well; those above MASKED show nothing.
enum Mode : int32_t { STATIC = 0, REVEAL = 1, MASKED = 2 };

constexpr uint8_t MODE = 0x80, SOURCE = 0x81;

constexpr ParamInfo params[] = {
    {MODE, "mode", ParamKind::NUMBER,
     "0 static, 1 static and reveal, 2 static or-ed with the mask"},
    {SOURCE,
     "source",
     ParamKind::IMAGE,
     "image revealed into the mask",
     {.needed = {Condition::ONE_OF, MODE, STATIC, {REVEAL, REVEAL}}}},
};

// A quarter white, a quarter grey, half black, from one random number each.
uint16_t static_pixel(int r) {
  if (r <= 0x1FFFFFFE) return WHITE;
  if (r > 0x3FFFFFFE) return BLACK;
  return GREY;
}

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random& random) {
  auto fx = std::make_unique<NoiseFx>();
  fx->target = entry.get();
  const size_t count = fx->target->pixel_count();
  fx->mask.assign(count, WHITE);
  // Every random number the effect needs is drawn here, frame after frame in memory order.
  for (std::vector<uint16_t>& frame : fx->noise) {
    frame.resize(count);
    for (uint16_t& pixel : frame) pixel = static_pixel(random.next());
  }
  return fx;
}

// Mask pixel (x, y) takes image pixel (x, y). Both are addressed with the target's current
// width as row length: a column beyond the row is left out rather than spilling into the next
// row, and a pixel past the mask's size at creation, or past the image's end, is not taken.
void reveal_pixel(NoiseFx& fx, int32_t x, int32_t y) {
  const engine::Buffer& target = *fx.target;
  if (x < 0 || x >= target.width || y < 0 || y >= target.height) return;
  const size_t i = size_t(y) * target.width + size_t(x);
  if (i < fx.mask.size()) fx.mask[i] = fx.source.at(i);
}

// Copies the two rows and the two columns `step` in from the edges, then moves one further in
// until the middle row is reached.
void reveal(NoiseFx& fx) {
  // Without an image there is nothing to reveal; the reveal starts once one is set.
  if (fx.source.empty()) return;
  const int32_t width = fx.target->width, height = fx.target->height, k = fx.step;
  for (int32_t x = 0; x < width; ++x) {
    reveal_pixel(fx, x, k);
    reveal_pixel(fx, x, height - 1 - k);
  }
  for (int32_t y = 0; y < height; ++y) {
    reveal_pixel(fx, k, y);
    reveal_pixel(fx, width - 1 - k, y);
  }
  if (k < height / 2) ++fx.step;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<NoiseFx&>(instance);
  // The count is kept unsigned so that it cycles through the frames even after 2^31 renders.
  const uint16_t* frame = fx.noise[static_cast<uint32_t>(fx.frame_index) % NOISE_FRAMES].data();
  const uint16_t* mask = fx.mask.data();
  uint16_t* out = fx.target->pixels.get();
  // The frames and the mask keep the target's size at creation: a target re-created larger
  // gets only that many pixels, in memory order; the rest keep what they held.
  const size_t count = std::min(fx.target->pixel_count(), fx.mask.size());
  if (fx.mode <= REVEAL) {
    for (size_t p = 0; p < count; ++p) out[p] = mask[p] != 0 ? frame[p] : BLACK;
  } else if (fx.mode == MASKED) {
    for (size_t p = 0; p < count; ++p) out[p] = mask[p] != 0 ? frame[p] | mask[p] : BLACK;
  }
  fx.frame_index = static_cast<int32_t>(static_cast<uint32_t>(fx.frame_index) + 1);
  if (fx.mode == REVEAL) reveal(fx);  // after drawing: a render shows the mask as it was before
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<NoiseFx&>(instance);
  if (id == MODE) fx.mode = value.number;
  if (id == SOURCE) fx.source = ImagePixels(image_param(value));
}

}  // namespace

const FxClass noise_fx_class = {"noise",         "static noise", params,   create,
                                destroy_nothing, render,         set_param};

}  // namespace fx
