// Reading any PNG with libpng's transforms, and writing the converted one.
#include "tools/dat/grey_picture.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "base/fatal.h"

namespace tools {
namespace {

// The engine's own limits on the pictures it decodes.
constexpr uint32_t MAX_ROWS = 2048;
constexpr size_t MAX_PIXELS = size_t{1} << 24;

struct Reading {
  std::span<const uint8_t> bytes;
  size_t position = 0;
  std::string problem;
};

void read_bytes(png_structp png, png_bytep out, png_size_t count) {
  auto* reading = static_cast<Reading*>(png_get_io_ptr(png));
  if (count > reading->bytes.size() - reading->position) png_error(png, "the file ends early");
  std::memcpy(out, reading->bytes.data() + reading->position, count);
  reading->position += count;
}

void on_read_error(png_structp png, png_const_charp message) {
  static_cast<Reading*>(png_get_error_ptr(png))->problem = message;
  png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

// RGBA, 8 bits a channel, whatever the file holds; false with `problem` set when it cannot.
bool read_rgba(Reading& reading, std::vector<uint8_t>& rgba, uint32_t& width, uint32_t& height) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, &reading, on_read_error, on_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    reading.problem = "libpng could not be set up";
    return false;
  }
  // Declared before the jump point and only assigned after it, so the jump leaves them valid.
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_read_fn(png, &reading, read_bytes);
  png_read_info(png, info);
  width = png_get_image_width(png, info);
  height = png_get_image_height(png, info);
  if (height > MAX_ROWS || size_t{width} * height > MAX_PIXELS) {
    reading.problem = engine::format_text(
        "a PNG of %u x %u pixels: the engine takes at most %u "
        "rows and %zu pixels",
        width, height, MAX_ROWS, MAX_PIXELS);
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_set_expand(png);  // palettes, low-bit greys and tRNS become plain channels and alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where the file has no alpha
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  rgba.assign(size_t{width} * height * 4, 0);
  rows.resize(height);
  for (uint32_t row = 0; row < height; ++row) rows[row] = rgba.data() + size_t{row} * width * 4;
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

void write_bytes(png_structp png, png_bytep data, png_size_t count) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + count);
}

void flush_nothing(png_structp) {}

void on_write_error(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// An 8-bit channel whose top bits are `value` (of `bits` bits), the top bits repeated below
// them as usual; the engine keeps only the top bits, so they come back exactly.
uint8_t widen(int value, int bits) {
  return static_cast<uint8_t>(value << (8 - bits) | value >> (2 * bits - 8));
}

bool write_rgb(const std::vector<uint8_t>& rgb, uint32_t width, uint32_t height, Bytes& out) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_write_error, on_warning);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_bytep> rows(height);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &out, write_bytes, flush_nothing);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  for (uint32_t row = 0; row < height; ++row)
    rows[row] = const_cast<png_bytep>(rgb.data() + size_t{row} * width * 3);
  png_set_rows(png, info, rows.data());
  png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

uint8_t brightness(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
  // Weights in thousandths, so the sum of a white pixel is 255 x 1000 exactly; alpha scales it
  // by alpha / 255, and the rounding happens once, at the end.
  const uint64_t luma = 299u * red + 587u * green + 114u * blue;
  const uint64_t scale = 1000u * 255u;
  return static_cast<uint8_t>((luma * alpha + scale / 2) / scale);
}

std::optional<Bytes> grey_picture(std::span<const uint8_t> png, std::string& problem) {
  if (png.size() < 8 || png_sig_cmp(png.data(), 0, 8) != 0) {
    problem = "not a PNG file";
    return std::nullopt;
  }
  Reading reading;
  reading.bytes = png;
  std::vector<uint8_t> rgba;
  uint32_t width = 0, height = 0;
  if (!read_rgba(reading, rgba, width, height)) {
    problem = reading.problem;
    return std::nullopt;
  }
  std::vector<uint8_t> rgb(size_t{width} * height * 3);
  for (size_t i = 0; i < size_t{width} * height; ++i) {
    const uint8_t* in = &rgba[i * 4];
    const uint16_t pixel = display_grey(brightness(in[0], in[1], in[2], in[3]));
    uint8_t* out = &rgb[i * 3];
    out[0] = widen(pixel >> 11, 5);
    out[1] = widen((pixel >> 5) & 63, 6);
    out[2] = widen(pixel & 31, 5);
  }
  Bytes converted;
  if (!write_rgb(rgb, width, height, converted)) {
    problem = "the converted picture could not be written";
    return std::nullopt;
  }
  return converted;
}

}  // namespace tools
