// FONT chunks: a strip of glyphs cut into equal cells, and the glyph drawing the scroller uses.
#include <algorithm>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "datafile/chunk.h"

namespace datafile {
namespace {

// A glyph table of more entries than this is refused: no buffer could show such glyphs.
inline constexpr size_t MAX_TABLE_ENTRIES = size_t{1} << 24;

uint32_t little_endian16(const uint8_t* bytes) {
  return bytes[0] | uint32_t{bytes[1]} << 8;
}

}  // namespace

const std::array<uint8_t, MAX_GLYPHS> glyph_characters = {
    'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n',
    'o', 'p', 'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '0', '1',
    '2', '3', '4', '5', '6', '7', '8', '9', ',', '.', '-', '!', '?', '"',
};

std::unique_ptr<FontChunk> parse_font(const uint8_t* data, size_t size, std::string& error) {
  using engine::format_text;
  if (size < 1) return error = "the payload is empty", nullptr;
  uint32_t count = data[0];
  if (count > MAX_GLYPHS)
    return error = format_text("%u glyphs; the character map has %d", count, MAX_GLYPHS), nullptr;
  size_t header = 1 + 2 * size_t{count} + 4;
  if (size < header)
    return error = format_text("the payload of %zu bytes ends inside the header", size), nullptr;

  std::vector<uint32_t> ends(count + 1, 0);  // ends[0] = 0: glyph g spans ends[g] to ends[g+1]
  for (uint32_t g = 1; g <= count; ++g) ends[g] = little_endian16(data + 1 + 2 * (g - 1));
  uint32_t strip_width = little_endian16(data + 1 + 2 * count);
  uint32_t height = little_endian16(data + 3 + 2 * count);
  size_t strip_bytes = size_t{strip_width} * height * 4;
  if (size - header < strip_bytes)
    return error = format_text("the strip of %u x %u pixels needs %zu bytes, but only %zu follow",
                               strip_width, height, strip_bytes, size - header),
           nullptr;

  auto font = std::make_unique<FontChunk>();
  int32_t widest = 0;
  for (uint32_t g = 0; g < count; ++g) {
    // A cell holds columns ends[g] to ends[g+1] inclusive; all of them must lie in the strip.
    if (ends[g + 1] < ends[g])
      return error = format_text("glyph %u ends at column %u, before it starts at %u", g,
                                 ends[g + 1], ends[g]),
             nullptr;
    if (ends[g + 1] >= strip_width)
      return error = format_text("glyph %u ends at column %u, outside the strip of width %u", g,
                                 ends[g + 1], strip_width),
             nullptr;
    font->advances[g] = static_cast<int32_t>(ends[g + 1] - ends[g]);
    widest = std::max(widest, font->advances[g]);
  }
  // The smallest multiple of 32 above the widest advance: 0..31 gives 32, and 32 gives 64.
  font->cell_width = widest - widest % 32 + 32;
  font->glyph_height = static_cast<int32_t>(height);
  font->table_rows = static_cast<int32_t>(count * height);
  font->glyph_stride = font->glyph_height * font->cell_width;
  font->glyph_count = static_cast<int32_t>(count);
  font->space_advance = font->cell_width / 4;
  size_t entries = size_t(font->table_rows) * size_t(font->cell_width);
  if (entries > MAX_TABLE_ENTRIES)
    return error = format_text("its glyph table of %zu cells is too large", entries), nullptr;

  const uint8_t* strip = data + header;
  font->glyphs.assign(entries, 0);
  for (uint32_t t = 0; t < count * height; ++t) {
    uint32_t g = t / height, r = t % height;
    for (int32_t i = 0; i < font->cell_width; ++i) {
      uint32_t column = ends[g] + i;
      if (column > ends[g + 1]) break;  // the rest of the cell stays 0
      const uint8_t* pixel = strip + (size_t{r} * strip_width + column) * 4;
      if (pixel[0] | pixel[1] | pixel[2] | pixel[3])
        font->glyphs[size_t{t} * font->cell_width + i] = 0xFFFF;
    }
  }
  std::copy(glyph_characters.begin(), glyph_characters.end(), font->char_map.begin());
  return font;
}

int32_t draw_glyph(const FontChunk& font, engine::Buffer& buffer, uint8_t c, int32_t x, int32_t y) {
  const int32_t count = std::min(font.glyph_count, MAX_GLYPHS);
  int32_t glyph = 0;
  while (glyph < count && font.char_map[glyph] != c) ++glyph;
  if (glyph == count) return font.space_advance;

  // The cell is copied opaque, clipped to the buffer: a cell that does not fit loses its outside.
  const int64_t width = buffer.width, height = buffer.height;
  const uint32_t* cell = font.glyphs.data() + size_t(glyph) * size_t(font.glyph_stride);
  for (int64_t r = 0; r < font.glyph_height; ++r) {
    int64_t row = int64_t{y} + r;
    if (row < 0 || row >= height) continue;
    for (int64_t i = 0; i < font.cell_width; ++i) {
      int64_t column = int64_t{x} + i;
      if (column < 0 || column >= width) continue;
      buffer.pixels[row * width + column] = static_cast<uint16_t>(cell[r * font.cell_width + i]);
    }
  }
  return font.advances[glyph];
}

}  // namespace datafile
