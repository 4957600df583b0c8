// PNG files in memory decoded with libpng, for the engine's pictures and for the tools that
// convert pictures into them. The reader owns everything libpng's error jump must leave intact;
// the caller says which kinds it takes and how the rows are to come out.
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "datafile/chunk.h"

namespace datafile {

// The IHDR, and whether a tRNS chunk came before the pixels.
struct PngHeader {
  uint32_t width = 0, height = 0;
  int bit_depth = 0;
  int colour_type = 0;  // PNG_COLOR_TYPE_...
  bool transparency = false;
};

struct PngReaderOptions {
  // Given the header, either sets `refusal` or asks libpng for the transforms that make every
  // row come out as 4 bytes a pixel. Interlaced files are always handled.
  void (*prepare)(png_structp png, const PngHeader& header, std::string& refusal) = nullptr;
  // libpng's error when the bytes end before the PNG does.
  const char* cut_short = "Read Error";
};

struct PngPixels {
  enum Outcome : uint8_t {
    DECODED,
    NOT_PNG,       // no PNG signature
    NO_LIBPNG,     // libpng's structures could not be made
    LIBPNG_ERROR,  // `problem` is libpng's message
    REFUSED,       // `problem` is the prepare function's refusal
    TOO_LARGE,     // beyond PNG_MAX_ROWS or PNG_MAX_PIXELS; width and height say by how much
  } outcome = NOT_PNG;
  std::vector<uint8_t> bytes;  // DECODED: width x 4 bytes a row, rows top to bottom
  uint32_t width = 0, height = 0;
  std::string problem;
  size_t consumed = 0;  // bytes libpng read: the whole PNG when decoded, where it stopped if not
};

// Decodes the PNG at the start of `bytes`, reading on until the PNG is complete or the bytes end.
PngPixels read_png(std::span<const uint8_t> bytes, const PngReaderOptions& options);

}  // namespace datafile
