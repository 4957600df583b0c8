// PING chunks: a complete PNG file decoded with libpng into an RGB565 image.
#include <string>

#include "base/fatal.h"
#include "datafile/chunk.h"
#include "datafile/png_reader.h"

namespace datafile {
namespace {

// The kinds the RGB565 conversion handles, 8-bit RGB or a palette without transparency, read as
// 4 bytes a pixel: filler 0, R, G, B.
void prepare_xrgb(png_structp png, const PngHeader& header, std::string& refusal) {
  if (header.colour_type == PNG_COLOR_TYPE_PALETTE) {
    if (header.transparency) refusal = "a palette PNG with transparency";
  } else if (header.colour_type != PNG_COLOR_TYPE_RGB) {
    refusal = header.colour_type == PNG_COLOR_TYPE_GRAY         ? "a grey PNG"
              : header.colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? "a grey PNG with alpha"
                                                                : "a PNG with an alpha channel";
  } else if (header.bit_depth != 8) {
    refusal = engine::format_text("a %d-bit RGB PNG", header.bit_depth);
  }
  if (!refusal.empty()) return;
  if (header.colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  png_set_filler(png, 0, PNG_FILLER_BEFORE);
}

std::string unsupported(const std::string& why) {
  return "unsupported image: " + why +
         "; only 8-bit RGB or palette PNGs without transparency can be shown";
}

}  // namespace

PngRead read_ping(std::span<const uint8_t> bytes) {
  PngRead result;
  PngPixels png = read_png(bytes, {.prepare = prepare_xrgb, .cut_short = "Read Error"});
  result.consumed = png.consumed;
  switch (png.outcome) {
    case PngPixels::DECODED:
      break;
    case PngPixels::NOT_PNG:
      result.problem.kind = PayloadProblem::NOT_PNG;
      return result;
    case PngPixels::NO_LIBPNG:
      result.problem.kind = PayloadProblem::NO_LIBPNG;
      return result;
    case PngPixels::LIBPNG_ERROR:
      result.problem = {PayloadProblem::BAD_PNG, "corrupt PNG: " + png.problem};
      return result;
    case PngPixels::REFUSED:
      result.problem = {PayloadProblem::BAD_PNG, unsupported(png.problem)};
      return result;
    case PngPixels::TOO_LARGE:
      result.problem = {
          PayloadProblem::BAD_PNG,
          unsupported(
              png.height > PNG_MAX_ROWS
                  ? engine::format_text("a PNG of %u rows (at most %u)", png.height, PNG_MAX_ROWS)
                  : engine::format_text("a PNG of %u x %u pixels (at most %zu pixels)", png.width,
                                        png.height, PNG_MAX_PIXELS))};
      return result;
  }

  // The top 5, 6 and 5 bits of red, green and blue; the low bits are dropped, not rounded.
  auto image = std::make_unique<ImageChunk>();
  image->width = static_cast<int32_t>(png.width);
  image->height = static_cast<int32_t>(png.height);
  image->pixels = engine::allocate_pixels(image->pixel_count());
  const uint8_t* xrgb = png.bytes.data();
  for (size_t i = 0; i < image->pixel_count(); ++i, xrgb += 4)
    image->pixels[i] =
        static_cast<uint16_t>((xrgb[1] >> 3) << 11 | (xrgb[2] >> 2) << 5 | xrgb[3] >> 3);
  result.image = std::move(image);
  return result;
}

}  // namespace datafile
