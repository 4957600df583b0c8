// PING chunks: a complete PNG file decoded with libpng into an RGB565 image.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "datafile/chunk.h"

namespace datafile {
namespace {

inline constexpr uint32_t MAX_ROWS = 2048;
inline constexpr size_t MAX_PIXELS = size_t{1} << 24;

// Everything libpng's error jump must find intact lives here, in the caller's frame: the decode
// function below holds no object with a destructor while libpng may jump out of it.
struct PngDecode {
  std::span<const uint8_t> bytes;
  size_t position = 0;  // how far libpng has read
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_infop end_info = nullptr;
  std::vector<uint8_t> rgb;  // 4 bytes a pixel: filler 0, R, G, B
  std::vector<png_bytep> rows;
  std::string problem;

  ~PngDecode() {
    if (png != nullptr) png_destroy_read_struct(&png, &info, &end_info);
  }
};

// libpng asks for exactly the bytes it needs next; a PNG that goes on past the end of the bytes
// is cut short, and says so as libpng's own reader of files does.
void on_png_read(png_structp png, png_bytep out, size_t length) {
  auto* read = static_cast<PngDecode*>(png_get_io_ptr(png));
  if (length > read->bytes.size() - read->position) png_error(png, "Read Error");
  std::memcpy(out, read->bytes.data() + read->position, length);
  read->position += length;
}

void on_png_error(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngDecode*>(png_get_error_ptr(png));
  read->problem = std::string("corrupt PNG: ") + message;
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

// The kinds the RGB565 conversion handles: 8-bit RGB, or a palette without transparency.
std::string unsupported_kind(png_structp png, png_infop info, uint32_t width, uint32_t height,
                             int bit_depth, int colour_type) {
  if (colour_type == PNG_COLOR_TYPE_PALETTE) {
    if (png_get_valid(png, info, PNG_INFO_tRNS)) return "a palette PNG with transparency";
  } else if (colour_type != PNG_COLOR_TYPE_RGB) {
    return colour_type == PNG_COLOR_TYPE_GRAY         ? "a grey PNG"
           : colour_type == PNG_COLOR_TYPE_GRAY_ALPHA ? "a grey PNG with alpha"
                                                      : "a PNG with an alpha channel";
  } else if (bit_depth != 8) {
    return engine::format_text("a %d-bit RGB PNG", bit_depth);
  }
  if (height > MAX_ROWS)
    return engine::format_text("a PNG of %u rows (at most %u)", height, MAX_ROWS);
  if (size_t{width} * height > MAX_PIXELS)
    return engine::format_text("a PNG of %u x %u pixels (at most %zu pixels)", width, height,
                               MAX_PIXELS);
  return {};
}

bool decode(PngDecode& read, ImageChunk& image) {
  if (setjmp(png_jmpbuf(read.png))) return false;
  png_set_read_fn(read.png, &read, on_png_read);
  png_read_info(read.png, read.info);
  png_uint_32 width = 0, height = 0;
  int bit_depth = 0, colour_type = 0, interlace = 0, compression = 0, filter = 0;
  png_get_IHDR(read.png, read.info, &width, &height, &bit_depth, &colour_type, &interlace,
               &compression, &filter);
  read.problem = unsupported_kind(read.png, read.info, width, height, bit_depth, colour_type);
  if (!read.problem.empty()) {
    read.problem = "unsupported image: " + read.problem +
                   "; only 8-bit RGB or palette PNGs without transparency can be shown";
    return false;
  }
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(read.png);
  png_set_filler(read.png, 0, PNG_FILLER_BEFORE);
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(read.png);
  png_read_update_info(read.png, read.info);

  read.rgb.resize(size_t{width} * height * 4);
  read.rows.resize(height);
  for (png_uint_32 r = 0; r < height; ++r) read.rows[r] = read.rgb.data() + size_t{r} * width * 4;
  png_read_image(read.png, read.rows.data());
  png_read_end(read.png, read.end_info);

  image.width = static_cast<int32_t>(width);
  image.height = static_cast<int32_t>(height);
  return true;
}

}  // namespace

PngRead read_ping(std::span<const uint8_t> bytes) {
  PngRead result;
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    result.problem.kind = PayloadProblem::NOT_PNG;
    return result;
  }
  PngDecode read;
  read.bytes = bytes;  // libpng reads the signature again
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, on_png_error, on_png_warning);
  if (read.png != nullptr) {
    read.info = png_create_info_struct(read.png);
    read.end_info = png_create_info_struct(read.png);
  }
  if (read.info == nullptr || read.end_info == nullptr) {
    result.problem.kind = PayloadProblem::NO_LIBPNG;
    return result;
  }

  auto image = std::make_unique<ImageChunk>();
  bool decoded = decode(read, *image);
  result.consumed = read.position;
  if (!decoded) {
    result.problem = {PayloadProblem::BAD_PNG, read.problem};
    return result;
  }

  // The top 5, 6 and 5 bits of red, green and blue; the low bits are dropped, not rounded.
  image->pixels = engine::allocate_pixels(image->pixel_count());
  const uint8_t* rgb = read.rgb.data();
  for (size_t i = 0; i < image->pixel_count(); ++i, rgb += 4)
    image->pixels[i] =
        static_cast<uint16_t>((rgb[1] >> 3) << 11 | (rgb[2] >> 2) << 5 | rgb[3] >> 3);
  result.image = std::move(image);
  return result;
}

}  // namespace datafile
