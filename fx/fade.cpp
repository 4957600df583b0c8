// Image fade: copies an image through a level that falls from near-white to black over 31
// renders, raising darker pixels to it (fade in) or lowering brighter ones to it (fade out).
#include <algorithm>

#include "fx/fx_table.h"
#include "fx/image_pixels.h"

namespace fx {
namespace {

// Red 31, green 61, blue 31 rather than white: green steps by 2 and red and blue by 1, so all
// three channels reach 0 together, 31 steps on.
constexpr uint16_t FIRST_LEVEL = 0xFFBF;

enum Mode : int32_t { FADE_IN = 0, FADE_OUT = 1 };  // any other mode freezes the picture

constexpr uint8_t MODE = 0x80, SOURCE = 0x81;

constexpr ParamInfo params[] = {
    {MODE, "mode", ParamKind::NUMBER, "0 fade in, 1 fade out, other: freeze; restarts both fades"},
    {SOURCE,
     "source",
     ParamKind::IMAGE,
     "image to fade",
     {.needed = {Condition::ONE_OF, MODE, FADE_IN, {FADE_IN, FADE_OUT}}}},
};

struct FadeFx : FxInstance {
  engine::Buffer* target = nullptr;
  int32_t mode = FADE_IN;
  ImagePixels source;  // none set: the image reads black
  uint16_t fade_in_level = FIRST_LEVEL;
  uint16_t fade_out_level = FIRST_LEVEL;
};

// Levels and pixels are RGB565 and are compared as whole numbers, so a pixel's place in the fade
// is decided mostly by its red channel. The level itself steps down channel by channel.
uint16_t next_level(uint16_t level) {
  unsigned red = level >> 11, green = level >> 5 & 0x3F, blue = level & 0x1F;
  red = red > 0 ? red - 1 : 0;
  green = green >= 2 ? green - 2 : 0;
  blue = blue > 0 ? blue - 1 : 0;
  return static_cast<uint16_t>(red << 11 | green << 5 | blue);
}

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<FadeFx>();
  fx->target = entry.get();
  return fx;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<FadeFx&>(instance);
  if (fx.mode != FADE_IN && fx.mode != FADE_OUT) return;
  uint16_t* out = fx.target->pixels.get();
  const size_t count = fx.target->pixel_count();
  // Pixel p of the image goes to pixel p of the target. Where the image has no pixels (it is
  // smaller than the target, or none was set) it reads black, and black stays black.
  const size_t covered = std::min(count, fx.source.count);
  const uint16_t* in = fx.source.pixels.get();
  if (fx.mode == FADE_IN) {
    const uint16_t level = fx.fade_in_level;
    for (size_t p = 0; p < covered; ++p) out[p] = in[p] != 0 && in[p] < level ? level : in[p];
    fx.fade_in_level = next_level(level);
  } else {
    const uint16_t level = fx.fade_out_level;
    for (size_t p = 0; p < covered; ++p) out[p] = in[p] != 0 && in[p] > level ? level : in[p];
    fx.fade_out_level = next_level(level);
  }
  std::fill(out + covered, out + count, uint16_t{0});
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<FadeFx&>(instance);
  if (id == MODE) {
    // Setting a mode, even the running one, restarts both fades.
    fx.mode = value.number;
    fx.fade_in_level = fx.fade_out_level = FIRST_LEVEL;
  } else if (id == SOURCE) {
    fx.source = ImagePixels(image_param(value));
  }
}

}  // namespace

const FxClass fade_fx_class = {"fade",          "image fade", params,   create,
                               destroy_nothing, render,       set_param};

}  // namespace fx
