// Text scroller: scrolls a text right to left through its buffer, 2 pixels a render, drawing each
// character once into a hidden margin of a wider strip that moves under the buffer.
#include <algorithm>
#include <vector>

#include "fx/fx_table.h"

namespace fx {
namespace {

constexpr int32_t MARGIN = 64;        // hidden columns right of the shown part of the strip
constexpr int32_t GLYPH_COLUMN = 32;  // where new glyphs go, counted from the margin's start
constexpr int32_t GLYPH_ROW = 12;
constexpr int32_t STRIP_WIDTH_LIMIT = UINT16_MAX;  // a Buffer's width is 16 bits

constexpr uint8_t TEXT = 0x81, FONT = 0x82;

// A glyph cell must fit the part of the margin right of where glyphs go, or it is cut off.
constexpr ParamInfo params[] = {
    {TEXT,
     "text",
     ParamKind::TEXT,
     "text to scroll",
     {.needed = {Condition::ALWAYS}, .zero_terminated = true, .drawn_with = FONT}},
    {FONT,
     "font",
     ParamKind::FONT,
     "font to draw it with",
     {.needed = {Condition::ALWAYS}, .widest_cell = MARGIN - GLYPH_COLUMN, .first_row = GLYPH_ROW}},
};

struct ScrollerFx : FxInstance {
  engine::Buffer* target = nullptr;
  const std::vector<uint8_t>* text = nullptr;  // read as zero-terminated, see text_byte
  const datafile::FontChunk* font = nullptr;
  engine::Buffer strip;   // W + 64 by H, its own pixels; in no buffer table entry
  int32_t speed = 2;      // pixels scrolled per render; nothing changes it
  int32_t countdown = 0;  // pixels still to scroll before the next character is drawn
  int32_t text_pos = 0;   // index in `text` of the next character
  int32_t last_span = 0;  // advance of the last glyph drawn + speed: the band cleared next
};

// The strip matches the target: W + 64 by H. It starts black, so that nothing but glyphs is ever
// scrolled into view.
void make_strip(ScrollerFx& fx) {
  const engine::Buffer& target = *fx.target;
  fx.strip.width = static_cast<uint16_t>(std::min(target.width + MARGIN, STRIP_WIDTH_LIMIT));
  fx.strip.height = target.height;
  fx.strip.pixels = engine::allocate_pixels(fx.strip.pixel_count());
}

// Byte i of the text. The text ends at its first zero byte or, when its bytes hold none, at its
// last byte; a text that is not set is empty. Past the end every byte reads 0, so a text_pos
// beyond the end of a new, shorter text also finds the end and starts the text over.
uint8_t text_byte(const ScrollerFx& fx, int32_t i) {
  if (fx.text == nullptr || i < 0 || static_cast<size_t>(i) >= fx.text->size()) return 0;
  return (*fx.text)[static_cast<size_t>(i)];
}

std::unique_ptr<FxInstance> create(engine::BufferEntry& entry, Random&) {
  auto fx = std::make_unique<ScrollerFx>();
  fx->target = entry.get();
  make_strip(*fx);
  return fx;
}

void render(FxInstance& instance, uint32_t) {
  auto& fx = static_cast<ScrollerFx&>(instance);
  const engine::Buffer& target = *fx.target;
  // A target re-created at another size gets a new, black strip of its size; the glyphs on the
  // way are lost, the text goes on where it was.
  if (fx.strip.height != target.height ||
      fx.strip.width != std::min(target.width + MARGIN, STRIP_WIDTH_LIMIT))
    make_strip(fx);
  engine::Buffer& strip = fx.strip;
  uint16_t* pixels = strip.pixels.get();

  // The whole block moves toward its start, so every row moves left and its first pixels go to
  // the end of the row above; the last `speed` pixels of the block keep their values.
  const size_t count = strip.pixel_count(), speed = static_cast<size_t>(fx.speed);
  if (count > speed) std::copy(pixels + speed, pixels + count, pixels);

  const size_t shown = std::min<size_t>(target.width, strip.width);
  for (size_t y = 0; y < target.height; ++y)
    std::copy_n(pixels + y * strip.width, shown, target.pixels.get() + y * target.width);

  fx.countdown -= fx.speed;
  if (fx.countdown > 0) return;
  // Without a font there is nothing to draw with: the strip scrolls on and no character is
  // taken from the text until a font is set.
  if (fx.font == nullptr) {
    fx.countdown = 0;
    return;
  }

  const size_t span = static_cast<size_t>(std::clamp<int32_t>(fx.last_span, 0, strip.width));
  for (size_t y = 0; y < strip.height; ++y) {
    uint16_t* row_end = pixels + (y + 1) * strip.width;
    std::fill(row_end - span, row_end, uint16_t{0});
  }

  // The text's end takes no space: the character after the last one is the first again.
  uint8_t c = text_byte(fx, fx.text_pos++);
  if (c == 0) {
    c = text_byte(fx, 0);
    fx.text_pos = 1;
  }
  // A text that is empty or begins with a zero byte draws that zero like any character without
  // a glyph: as a space. draw_glyph clips a cell that does not fit into the strip's margin.
  const int32_t advance =
      datafile::draw_glyph(*fx.font, strip, c, target.width + GLYPH_COLUMN, GLYPH_ROW);
  fx.countdown = fx.last_span = advance + fx.speed;
}

void set_param(FxInstance& instance, uint8_t id, const ParamValue& value) {
  auto& fx = static_cast<ScrollerFx&>(instance);
  if (id == TEXT) fx.text = &text_param(value).bytes;  // text_pos stays where it is
  if (id == FONT) fx.font = &font_param(value);
}

}  // namespace

const FxClass scroller_fx_class = {"scroller",      "text scroller", params,   create,
                                   destroy_nothing, render,          set_param};

}  // namespace fx
