// One libpng decode over bytes in memory: the plumbing that the engine's decoder and the tools'
// converters would otherwise each keep a copy of.
#include "datafile/png_reader.h"

#include <csetjmp>
#include <cstring>

namespace datafile {
namespace {

// Everything libpng's error jump must find intact lives here, in read_png's frame: decode()
// below, and the caller's prepare function, hold no object with a destructor while libpng may
// jump out of them.
struct PngDecode {
  std::span<const uint8_t> bytes;
  const PngReaderOptions& options;
  PngPixels& out;  // out.consumed is how far libpng has read
  png_structp png = nullptr;
  png_infop info = nullptr;
  png_infop end_info = nullptr;
  std::vector<png_bytep> rows;

  PngDecode(std::span<const uint8_t> bytes, const PngReaderOptions& options, PngPixels& out)
      : bytes(bytes), options(options), out(out) {}
  ~PngDecode() {
    if (png != nullptr) png_destroy_read_struct(&png, &info, &end_info);
  }
};

// libpng asks for exactly the bytes it needs next; a PNG that goes on past the end of the bytes
// is cut short.
void on_png_read(png_structp png, png_bytep out, size_t length) {
  auto* read = static_cast<PngDecode*>(png_get_io_ptr(png));
  if (length > read->bytes.size() - read->out.consumed) png_error(png, read->options.cut_short);
  std::memcpy(out, read->bytes.data() + read->out.consumed, length);
  read->out.consumed += length;
}

void on_png_error(png_structp png, png_const_charp message) {
  auto* read = static_cast<PngDecode*>(png_get_error_ptr(png));
  read->out.problem = message;
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

void decode(PngDecode& read) {
  if (setjmp(png_jmpbuf(read.png))) {
    read.out.outcome = PngPixels::LIBPNG_ERROR;
    return;
  }
  png_set_read_fn(read.png, &read, on_png_read);
  png_read_info(read.png, read.info);
  PngHeader header;
  header.width = png_get_image_width(read.png, read.info);
  header.height = png_get_image_height(read.png, read.info);
  header.bit_depth = png_get_bit_depth(read.png, read.info);
  header.colour_type = png_get_color_type(read.png, read.info);
  header.transparency = png_get_valid(read.png, read.info, PNG_INFO_tRNS) != 0;
  read.out.width = header.width;
  read.out.height = header.height;

  read.options.prepare(read.png, header, read.out.problem);
  if (!read.out.problem.empty()) {
    read.out.outcome = PngPixels::REFUSED;
    return;
  }
  // The header's word alone decides what is allocated, so it is bounded before anything is.
  if (header.height > PNG_MAX_ROWS || size_t{header.width} * header.height > PNG_MAX_PIXELS) {
    read.out.outcome = PngPixels::TOO_LARGE;
    return;
  }
  png_set_interlace_handling(read.png);
  png_read_update_info(read.png, read.info);
  // A prepare function that left a kind of row unconverted would have libpng write past the rows.
  const size_t row_bytes = size_t{header.width} * 4;
  if (png_get_rowbytes(read.png, read.info) != row_bytes)
    png_error(read.png, "the rows do not come out as 4 bytes a pixel");

  read.out.bytes.resize(row_bytes * header.height);
  read.rows.resize(header.height);
  for (uint32_t r = 0; r < header.height; ++r) read.rows[r] = read.out.bytes.data() + r * row_bytes;
  png_read_image(read.png, read.rows.data());
  png_read_end(read.png, read.end_info);
  read.out.outcome = PngPixels::DECODED;
}

}  // namespace

PngPixels read_png(std::span<const uint8_t> bytes, const PngReaderOptions& options) {
  PngPixels out;
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    out.outcome = PngPixels::NOT_PNG;
    return out;
  }
  PngDecode read(bytes, options, out);  // libpng reads the signature again
  read.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &read, on_png_error, on_png_warning);
  if (read.png != nullptr) {
    read.info = png_create_info_struct(read.png);
    read.end_info = png_create_info_struct(read.png);
  }
  if (read.info == nullptr || read.end_info == nullptr) {
    out.outcome = PngPixels::NO_LIBPNG;
    return out;
  }
  decode(read);
  return out;
}

}  // namespace datafile
