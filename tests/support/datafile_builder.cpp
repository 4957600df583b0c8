// Data files built in tests.
#include "support/datafile_builder.h"

#include <png.h>

#include <map>
#include <stdexcept>

namespace support {
namespace {

void put16(Bytes& bytes, uint32_t value) {
  bytes.push_back(static_cast<uint8_t>(value >> 8));
  bytes.push_back(static_cast<uint8_t>(value));
}

void put32(Bytes& bytes, uint32_t value) {
  put16(bytes, value >> 16);
  put16(bytes, value & 0xFFFF);
}

void write_to_bytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void flush_nothing(png_structp) {}

}  // namespace

ScriptBuilder& ScriptBuilder::newbuf(uint8_t buffer, uint16_t x, uint16_t y, uint16_t width,
                                     uint16_t height) {
  bytes.push_back(0x01);
  bytes.push_back(buffer);
  put16(bytes, x);
  put16(bytes, y);
  put16(bytes, width);
  put16(bytes, height);
  return *this;
}

ScriptBuilder& ScriptBuilder::waitat(uint16_t frame) {
  bytes.push_back(0x02);
  put16(bytes, frame);
  return *this;
}

ScriptBuilder& ScriptBuilder::newfx(uint8_t slot, uint8_t class_id, uint8_t buffer) {
  bytes.insert(bytes.end(), {0x03, slot, class_id, buffer});
  return *this;
}

ScriptBuilder& ScriptBuilder::skip(uint8_t ignored) {
  bytes.insert(bytes.end(), {0x04, ignored});
  return *this;
}

ScriptBuilder& ScriptBuilder::setint(uint8_t slot, uint8_t id, int32_t value) {
  bytes.insert(bytes.end(), {0x05, slot, id});
  put32(bytes, static_cast<uint32_t>(value));
  return *this;
}

ScriptBuilder& ScriptBuilder::viewbuf(uint8_t buffer, uint16_t x, uint16_t y, uint8_t source) {
  bytes.push_back(0x06);
  bytes.push_back(buffer);
  put16(bytes, x);
  put16(bytes, y);
  bytes.push_back(source);
  return *this;
}

ScriptBuilder& ScriptBuilder::setchunk(uint8_t slot, uint8_t id, uint8_t chunk) {
  bytes.insert(bytes.end(), {0x07, slot, id, chunk});
  return *this;
}

ScriptBuilder& ScriptBuilder::fxstate(uint8_t slot, uint8_t state) {
  bytes.insert(bytes.end(), {0x08, slot, state});
  return *this;
}

ScriptBuilder& ScriptBuilder::waitfor(uint16_t frames) {
  bytes.push_back(0x09);
  put16(bytes, frames);
  return *this;
}

ScriptBuilder& ScriptBuilder::end() {
  bytes.push_back(0xFF);
  return *this;
}

ScriptBuilder& ScriptBuilder::raw(std::initializer_list<uint8_t> more) {
  bytes.insert(bytes.end(), more);
  return *this;
}

DataFileBuilder& DataFileBuilder::header(const char* tag, int32_t length) {
  bytes.insert(bytes.end(), tag, tag + 4);
  put32(bytes, static_cast<uint32_t>(length));
  return *this;
}

DataFileBuilder& DataFileBuilder::chunk(const char* tag, const Bytes& payload) {
  header(tag, static_cast<int32_t>(payload.size()));
  bytes.insert(bytes.end(), payload.begin(), payload.end());
  return *this;
}

DataFileBuilder& DataFileBuilder::text(const std::string& text, bool zero_terminated) {
  Bytes payload(text.begin(), text.end());
  if (zero_terminated) payload.push_back(0);
  return chunk("TEXT", payload);
}

Bytes make_png(int width, int height, const std::function<Rgb(int x, int y)>& colour, PngKind kind,
               bool interlaced) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("make_png: libpng failed");
  }
  png_set_write_fn(png, &out, write_to_bytes, flush_nothing);

  int colour_type = PNG_COLOR_TYPE_RGB, bit_depth = 8, channels = 3;
  switch (kind) {
    case PngKind::RGB8:
      break;
    case PngKind::PALETTE:
    case PngKind::PALETTE_TRNS:
      colour_type = PNG_COLOR_TYPE_PALETTE, channels = 1;
      break;
    case PngKind::GREY:
      colour_type = PNG_COLOR_TYPE_GRAY, channels = 1;
      break;
    case PngKind::RGBA:
      colour_type = PNG_COLOR_TYPE_RGBA, channels = 4;
      break;
    case PngKind::RGB16:
      bit_depth = 16, channels = 6;
      break;
  }
  png_set_IHDR(png, info, width, height, bit_depth, colour_type,
               interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);

  std::vector<png_color> palette;
  std::map<uint32_t, uint8_t> index_of;
  Bytes image(size_t(width) * height * channels);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      Rgb c = colour(x, y);
      uint8_t* p = image.data() + (size_t(y) * width + x) * channels;
      switch (kind) {
        case PngKind::RGB8:
          p[0] = c.r, p[1] = c.g, p[2] = c.b;
          break;
        case PngKind::RGBA:
          p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = 255;
          break;
        case PngKind::GREY:
          p[0] = c.g;
          break;
        case PngKind::RGB16:
          p[0] = p[1] = c.r, p[2] = p[3] = c.g, p[4] = p[5] = c.b;
          break;
        case PngKind::PALETTE:
        case PngKind::PALETTE_TRNS: {
          uint32_t key = uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b;
          auto [it, added] = index_of.emplace(key, static_cast<uint8_t>(palette.size()));
          if (added) palette.push_back(png_color{c.r, c.g, c.b});
          p[0] = it->second;
          break;
        }
      }
    }
  }
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    if (palette.empty()) palette.push_back(png_color{0, 0, 0});
    png_set_PLTE(png, info, palette.data(), static_cast<int>(palette.size()));
    if (kind == PngKind::PALETTE_TRNS) {
      png_byte alpha = 128;
      png_set_tRNS(png, info, &alpha, 1, nullptr);
    }
  }
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y) rows[y] = image.data() + size_t(y) * width * channels;
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

Bytes make_png(int width, int height, Rgb colour, PngKind kind) {
  return make_png(
      width, height, [colour](int, int) { return colour; }, kind);
}

Bytes still_show(const Bytes& png, uint16_t frames) {
  return DataFileBuilder()
      .script(ScriptBuilder()
                  .newbuf(0, 0, 0, 160, 50)
                  .newfx(0, 2, 0)
                  .setchunk(0, 0x80, 1)
                  .start(0)
                  .waitfor(frames)
                  .end())
      .image(png)
      .bytes;
}

Bytes make_font_raw(uint8_t count, const std::vector<uint16_t>& ends, uint16_t width,
                    uint16_t height, const std::function<bool(int column, int row)>& lit) {
  Bytes payload{count};
  for (uint16_t end : ends) payload.insert(payload.end(), {uint8_t(end), uint8_t(end >> 8)});
  payload.insert(payload.end(), {uint8_t(width), uint8_t(width >> 8)});
  payload.insert(payload.end(), {uint8_t(height), uint8_t(height >> 8)});
  for (int row = 0; row < height; ++row)
    for (int column = 0; column < width; ++column)
      payload.insert(payload.end(), {0, 0, 0, static_cast<uint8_t>(lit(column, row) ? 0xFF : 0)});
  return payload;
}

Bytes make_font(const std::vector<std::vector<std::string>>& glyphs, int extra_columns) {
  std::vector<uint16_t> ends;
  std::vector<int> starts;
  int column = 0;
  for (const auto& glyph : glyphs) {
    starts.push_back(column);
    column += static_cast<int>(glyph.empty() ? 0 : glyph[0].size());
    ends.push_back(static_cast<uint16_t>(column));
  }
  int height = glyphs.empty() ? 0 : static_cast<int>(glyphs[0].size());
  int width = column + extra_columns;
  return make_font_raw(static_cast<uint8_t>(glyphs.size()), ends, static_cast<uint16_t>(width),
                       static_cast<uint16_t>(height), [&](int x, int y) {
                         for (size_t g = 0; g < glyphs.size(); ++g) {
                           int w = static_cast<int>(glyphs[g][0].size());
                           if (x >= starts[g] && x < starts[g] + w)
                             return glyphs[g][y][x - starts[g]] == '#';
                         }
                         return false;
                       });
}

}  // namespace support
