// Colour wipe: paints a rectangle with one colour, growing from its left edge by columns or from
// its top edge by rows, until the whole rectangle is painted in every render.
#include <algorithm>
#include <limits>

#include "fx/fx_table.h"
#include "fx/image_pixels.h"

namespace fx {
namespace {

enum Direction : int32_t { LEFT_TO_RIGHT = 1, TOP_TO_BOTTOM = 2 };  // any other value idles

constexpr uint8_t IMAGE = 0x80, DIRECTION = 0x81, LEFT = 0x82, RIGHT = 0x83, TOP = 0x84,
                  BOTTOM = 0x85, INCREMENT = 0x86, COLOUR = 0x87;

constexpr ParamInfo params[] = {
    {IMAGE,
     "image",
     ParamKind::IMAGE,
     "the buffer paints into this image's pixels",
     {.painted_into = true}},
    {DIRECTION, "direction", ParamKind::NUMBER,
     "1 left to right, 2 top to bottom; restarts the wipe"},
    {LEFT, "left", ParamKind::NUMBER, "first column of the rectangle"},
    {RIGHT, "right", ParamKind::NUMBER, "column just past the rectangle"},
    {TOP, "top", ParamKind::NUMBER, "first row of the rectangle"},
    {BOTTOM, "bottom", ParamKind::NUMBER, "row just past the rectangle"},
    {INCREMENT, "increment", ParamKind::NUMBER, "columns or rows added per render"},
    {COLOUR, "colour", ParamKind::NUMBER, "RGB565 fill colour (low 16 bits)"},
};

// The rectangle is columns left to right - 1 and rows top to bottom - 1.
struct WipeFx : FxInstance {
  engine::Buffer* target = nullptr;
  engine::BufferEntry* entry = nullptr;  // looked up again by parameter 0x80
  int32_t progress = 0;                  // columns or rows painted so far
  int32_t direction = 0;
  int32_t left = 0;
  int32_t right = 0;
  int32_t top = 0;
  int32_t bottom = 0;
  int32_t increment = 0;  // growth of `progress` per render
  int32_t colour = 255;   // low 16 bits: the RGB565 colour, 0x00FF by default
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<WipeFx>();
  fx->target = entry.get();
  fx->entry = &entry;
  return fx;
}

// Paints columns x0 to x1 - 1 of rows y0 to y1 - 1. The rectangle is trusted to lie inside the
// target; what lies outside is left out.
void paint(const WipeFx& fx, int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
  engine::Buffer& target = *fx.target;
  x0 = std::max<int64_t>(x0, 0);
  y0 = std::max<int64_t>(y0, 0);
  x1 = std::min<int64_t>(x1, target.width);
  y1 = std::min<int64_t>(y1, target.height);
  const auto colour = static_cast<uint16_t>(fx.colour);
  for (int64_t y = y0; y < y1; ++y) {
    uint16_t* row = target.pixels.get() + y * target.width;
    if (x0 < x1) std::fill(row + x0, row + x1, colour);
  }
}

// progress + increment, but no more than the rectangle's size. The sums are taken in 64 bits:
// with values far outside any target they would overflow 32, and the result saturates instead.
int32_t grow(int32_t progress, int32_t increment, int64_t size) {
  const int64_t next = std::min(int64_t{progress} + increment, size);
  return static_cast<int32_t>(std::clamp<int64_t>(next, std::numeric_limits<int32_t>::min(),
                                                  std::numeric_limits<int32_t>::max()));
}

// The paint uses the progress from before the growth: the first render after a restart paints
// nothing.
void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<WipeFx&>(instance);
  if (fx.direction == LEFT_TO_RIGHT) {
    paint(fx, fx.left, int64_t{fx.left} + fx.progress, fx.top, fx.bottom);
    fx.progress = grow(fx.progress, fx.increment, int64_t{fx.right} - fx.left);
  } else if (fx.direction == TOP_TO_BOTTOM) {
    paint(fx, fx.left, fx.right, fx.top, int64_t{fx.top} + fx.progress);
    fx.progress = grow(fx.progress, fx.increment, int64_t{fx.bottom} - fx.top);
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<WipeFx&>(instance);
  const int32_t number = value.number;
  switch (id) {
    case IMAGE:
      // From now on the wipe paints into the image itself, through the buffer of the entry.
      show_image_pixels(**fx.entry, image_param(value));
      break;
    case DIRECTION:  // the only parameter that restarts the wipe
      fx.direction = number;
      fx.progress = 0;
      break;
    case LEFT:
      fx.left = number;
      break;
    case RIGHT:
      fx.right = number;
      break;
    case TOP:
      fx.top = number;
      break;
    case BOTTOM:
      fx.bottom = number;
      break;
    case INCREMENT:
      fx.increment = number;
      break;
    case COLOUR:
      fx.colour = number;
      break;
  }
}

}  // namespace

const FxClass wipe_fx_class = {
    "wipe",
    "colour wipe",
    params,
    create,
    destroy_nothing,
    render,
    set_param,
    {LEFT, RIGHT, TOP, BOTTOM, {Condition::ONE_OF, DIRECTION, 0, {LEFT_TO_RIGHT, TOP_TO_BOTTOM}}}};

}  // namespace fx
