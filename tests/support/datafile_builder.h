// Building data files in tests: scripts instruction by instruction, chunks with their headers,
// PNGs written by libpng, fonts from glyph drawings.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "datafile/chunk.h"

namespace support {

using Bytes = std::vector<uint8_t>;

// A DEMO payload, one instruction per call, operands big-endian as the engine reads them.
struct ScriptBuilder {
  Bytes bytes;

  ScriptBuilder& newbuf(uint8_t buffer, uint16_t x, uint16_t y, uint16_t width, uint16_t height);
  ScriptBuilder& waitat(uint16_t frame);
  ScriptBuilder& newfx(uint8_t slot, uint8_t class_id, uint8_t buffer);
  ScriptBuilder& skip(uint8_t ignored);
  ScriptBuilder& setint(uint8_t slot, uint8_t id, int32_t value);
  ScriptBuilder& viewbuf(uint8_t buffer, uint16_t x, uint16_t y, uint8_t source);
  ScriptBuilder& setchunk(uint8_t slot, uint8_t id, uint8_t chunk);
  ScriptBuilder& fxstate(uint8_t slot, uint8_t state);
  ScriptBuilder& start(uint8_t slot) { return fxstate(slot, 1); }
  ScriptBuilder& stop(uint8_t slot) { return fxstate(slot, 2); }
  ScriptBuilder& waitfor(uint16_t frames);
  ScriptBuilder& end();
  ScriptBuilder& raw(std::initializer_list<uint8_t> more);
};

// A whole data file, chunk after chunk; chunk numbers follow the order of the calls.
struct DataFileBuilder {
  Bytes bytes;

  DataFileBuilder& chunk(const char* tag, const Bytes& payload);
  // A header whose length field says `length`, whatever follows.
  DataFileBuilder& header(const char* tag, int32_t length);
  DataFileBuilder& script(const ScriptBuilder& script) { return chunk("DEMO", script.bytes); }
  DataFileBuilder& text(const std::string& text, bool zero_terminated = true);
  DataFileBuilder& image(const Bytes& png) { return chunk("PING", png); }
  DataFileBuilder& font(const Bytes& payload) { return chunk("FONT", payload); }
  // A TUNE chunk holding a tracker module's bytes; shows put it last.
  DataFileBuilder& music(const Bytes& module) { return chunk("TUNE", module); }
};

struct Rgb {
  uint8_t r, g, b;
};

enum class PngKind { RGB8, PALETTE, GREY, RGBA, RGB16, PALETTE_TRNS };

// A PNG of width x height whose pixel (x, y) has colour(x, y). Palette kinds use one palette
// entry per distinct colour (at most 256); RGB16 repeats each byte.
Bytes make_png(int width, int height, const std::function<Rgb(int x, int y)>& colour,
               PngKind kind = PngKind::RGB8, bool interlaced = false);

// A PNG of one colour.
Bytes make_png(int width, int height, Rgb colour, PngKind kind = PngKind::RGB8);

// A data file that shows `png`, a 160 x 50 picture, with the still effect for `frames` frames.
Bytes still_show(const Bytes& png, uint16_t frames);

// A FONT payload. `glyphs` holds each glyph as text rows of equal length, '#' lit and '.' not;
// glyph g's advance is its width, so its cell spans its own columns and the next glyph's first.
// All glyphs have the same number of rows. The strip gets `extra_columns` blank columns after
// the last glyph so that every glyph's end column lies inside it.
Bytes make_font(const std::vector<std::vector<std::string>>& glyphs, int extra_columns = 1);

// A FONT payload from raw ends, width and height; strip pixels lit where lit(column, row).
Bytes make_font_raw(uint8_t count, const std::vector<uint16_t>& ends, uint16_t width,
                    uint16_t height, const std::function<bool(int column, int row)>& lit);

// RGB565 as the PNG reader converts 8-bit channels.
inline uint16_t rgb565(Rgb c) {
  return static_cast<uint16_t>((c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
}

}  // namespace support
