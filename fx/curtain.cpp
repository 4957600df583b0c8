// Page curtain: shows a tall image one target-high page at a time, unrolling each page from
// the top down, holding it, wiping it from the top down and pausing before the next.
#include <algorithm>

#include "fx/fx_table.h"
#include "fx/image_pixels.h"

namespace fx {
namespace {

enum Phase : int32_t { WAIT = 0, REVEAL = 1, HOLD = 2, WIPE = 3, FINISHED = 4 };

constexpr int32_t LAST_PAGE_START = 623;  // pages start at most at this image row

constexpr uint8_t SOURCE = 0x80, HOLD_LENGTH = 0x81, PHASE = 0x82, PAGE_OFFSET = 0x83;

constexpr ParamInfo params[] = {
    {SOURCE, "source", ParamKind::IMAGE, "tall image of pages", {.image = ImageUse::PAGES}},
    {HOLD_LENGTH, "hold", ParamKind::NUMBER, "renders each finished page and each pause lasts"},
    {PHASE, "phase", ParamKind::NUMBER, "0 wait, 1 reveal, 2 hold, 3 wipe, 4 finished"},
    {PAGE_OFFSET, "page_offset", ParamKind::NUMBER, "image row of the current page"},
};

struct CurtainFx : FxInstance {
  engine::Buffer* target = nullptr;  // its size and pixels are read at every render
  ImagePixels source;                // the pages, rows as long as the target's; idle while null
  int32_t phase = WAIT;              // any value but 0 to 3 behaves as FINISHED
  int32_t page_offset = 0;           // image row of the current page's first row
  int32_t counter = 48;              // WAIT, HOLD: renders left; REVEAL, WIPE: the edge row
  int32_t hold = 48;                 // loaded into `counter` after every reveal and every wipe
};

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<CurtainFx>();
  fx->target = entry.get();
  return fx;
}

// The image is addressed with the target's width as its row length. Rows or parts of rows it
// does not have are drawn black, and target rows outside the target are left out.
void copy_row(const CurtainFx& fx, int64_t target_row, int64_t page_row) {
  engine::Buffer& target = *fx.target;
  const int64_t width = target.width;
  const int64_t image_row = fx.page_offset + page_row;
  fx.source.copy(image_row * width, size_t(width), target.pixels.get() + target_row * width);
}

// Target rows first to last - 1 show the page's rows of the same numbers.
void copy_page(const CurtainFx& fx, int64_t first, int64_t last) {
  last = std::min<int64_t>(last, fx.target->height);
  for (int64_t row = std::max<int64_t>(first, 0); row < last; ++row) copy_row(fx, row, row);
}

// Target rows first to last - 1 all show page row `page_row`.
void repeat_row(const CurtainFx& fx, int64_t first, int64_t last, int64_t page_row) {
  last = std::min<int64_t>(last, fx.target->height);
  for (int64_t row = std::max<int64_t>(first, 0); row < last; ++row) copy_row(fx, row, page_row);
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<CurtainFx&>(instance);
  if (fx.source.empty()) return;
  const int64_t height = fx.target->height;
  // `counter` is only moved one step at a time, in 64 bits: a `hold` or forced phase at the
  // ends of the 32-bit range cannot overflow it.
  const int64_t next = int64_t{fx.counter} + 1, previous = int64_t{fx.counter} - 1;
  switch (fx.phase) {
    case WAIT:
    case HOLD:
      if (previous > 0) {
        fx.counter = static_cast<int32_t>(previous);
      } else {
        fx.counter = 0;
        fx.phase = fx.phase == WAIT ? REVEAL : WIPE;
      }
      return;
    case REVEAL:
    case WIPE:
      break;
    default:
      return;
  }
  // The edge row c is reached through script parameters with any value; rows outside the
  // target are clipped, and image rows outside the image are black.
  const int64_t c = fx.counter;
  if (fx.phase == REVEAL) {
    copy_page(fx, 0, c);
    repeat_row(fx, c, height, c);
  } else {
    repeat_row(fx, 0, c, c);
    copy_page(fx, c, height);
  }
  if (next < height) {
    fx.counter = static_cast<int32_t>(next);
    return;
  }
  fx.counter = fx.hold;
  if (fx.phase == REVEAL) {
    fx.phase = HOLD;
    return;
  }
  fx.phase = WAIT;
  fx.page_offset = static_cast<int32_t>(static_cast<uint32_t>(fx.page_offset) + uint32_t(height));
  if (fx.page_offset > LAST_PAGE_START) {
    fx.page_offset = 0;
    fx.phase = FINISHED;
  }
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<CurtainFx&>(instance);
  switch (id) {
    case SOURCE:
      fx.source = ImagePixels(image_param(value));
      break;
    case HOLD_LENGTH:
      fx.hold = value.number;
      break;
    case PHASE:
      fx.phase = value.number;
      break;
    case PAGE_OFFSET:
      fx.page_offset = value.number;
      break;
  }
}

}  // namespace

const FxClass curtain_fx_class = {"curtain",       "page curtain", params,   create,
                                  destroy_nothing, render,         set_param};

}  // namespace fx
