// Reading any PNG with libpng's transforms, and writing the converted one.
#include "tools/dat/grey_picture.h"

#include <png.h>

#include <csetjmp>
#include <vector>

#include "base/fatal.h"
#include "datafile/png_reader.h"

namespace tools {
namespace {

// Any kind of PNG as RGBA, 8 bits a channel.
void prepare_rgba(png_structp png, const datafile::PngHeader&, std::string&) {
  png_set_expand(png);  // palettes, low-bit greys and tRNS become plain channels and alpha
  png_set_strip_16(png);
  png_set_gray_to_rgb(png);
  png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);  // only where the file has no alpha
}

void on_warning(png_structp, png_const_charp) {}

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
  datafile::PngPixels rgba =
      datafile::read_png(png, {.prepare = prepare_rgba, .cut_short = "the file ends early"});
  switch (rgba.outcome) {
    case datafile::PngPixels::DECODED:
      break;
    case datafile::PngPixels::NOT_PNG:
      problem = "not a PNG file";
      return std::nullopt;
    case datafile::PngPixels::NO_LIBPNG:
      problem = "libpng could not be set up";
      return std::nullopt;
    case datafile::PngPixels::LIBPNG_ERROR:
    case datafile::PngPixels::REFUSED:
      problem = rgba.problem;
      return std::nullopt;
    case datafile::PngPixels::TOO_LARGE:
      problem = engine::format_text(
          "a PNG of %u x %u pixels: the engine takes at most %u rows and %zu pixels", rgba.width,
          rgba.height, datafile::PNG_MAX_ROWS, datafile::PNG_MAX_PIXELS);
      return std::nullopt;
  }
  const uint32_t width = rgba.width, height = rgba.height;
  std::vector<uint8_t> rgb(size_t{width} * height * 3);
  for (size_t i = 0; i < size_t{width} * height; ++i) {
    const uint8_t* in = &rgba.bytes[i * 4];
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
