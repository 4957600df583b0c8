// PING chunks for the browser build: the PNG's chunks walked and checked here, its pixels decoded
// by stb_image (Debian's libstb-dev) into the RGB565 image the native reader's libpng gives.
//
// libpng jumps out of its errors with longjmp, which WebAssembly cannot do without help from
// JavaScript; stb_image returns instead. What libpng refuses and stb_image would take anyway -
// a critical chunk whose CRC is wrong, a PNG cut short - is refused here before stb_image sees it,
// and the kinds the engine cannot show are refused from the IHDR, as the native reader does.
#include <array>
#include <cstring>
#include <string>

#include "base/fatal.h"
#include "datafile/chunk.h"

#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#define STBI_NO_LINEAR
#define STBI_NO_HDR
#define STBI_ASSERT(x)
#define STB_IMAGE_IMPLEMENTATION
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#pragma clang diagnostic ignored "-Wmissing-field-initializers"
#pragma clang diagnostic ignored "-Wsign-compare"
#include <stb_image.h>
#pragma clang diagnostic pop

namespace datafile {
namespace {

inline constexpr uint8_t SIGNATURE[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// PNG's colour types.
inline constexpr int GREY = 0, RGB = 2, PALETTE = 3, GREY_ALPHA = 4;

uint32_t big_endian(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

// PNG's CRC-32 (the polynomial 0xEDB88320, reflected), a table worked out once.
uint32_t crc_of(const uint8_t* bytes, size_t length) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> entries{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      entries[n] = c;
    }
    return entries;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) c = table[(c ^ bytes[i]) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

// What the walk over the PNG's chunks found: its header and where IEND ends, or a problem.
struct PngLayout {
  uint32_t width = 0, height = 0;
  int bit_depth = 0, colour_type = 0;
  bool transparency = false;  // a tRNS chunk
  size_t end = 0;             // the byte after IEND's CRC
  std::string problem;
};

PngLayout walk(std::span<const uint8_t> bytes) {
  PngLayout png;
  size_t at = sizeof SIGNATURE;
  bool header = false;
  for (;;) {
    if (bytes.size() - at < 8) {
      png.problem = "corrupt PNG: Read Error";
      return png;
    }
    const uint32_t length = big_endian(&bytes[at]);
    const uint8_t* type = &bytes[at + 4];
    const std::string name(reinterpret_cast<const char*>(type), 4);
    if (length > 0x7FFFFFFFu) {
      png.problem = "corrupt PNG: PNG unsigned integer out of range";
      return png;
    }
    if (bytes.size() - at - 8 < size_t{length} + 4) {
      png.problem = "corrupt PNG: Read Error";
      return png;
    }
    const uint8_t* data = type + 4;
    // Ancillary chunks (a lower-case first letter) with a bad CRC are skipped by libpng.
    const bool critical = (type[0] & 0x20) == 0;
    if (critical && crc_of(type, size_t{length} + 4) != big_endian(data + length)) {
      png.problem = "corrupt PNG: " + name + ": CRC error";
      return png;
    }
    at += size_t{length} + 12;
    if (!header) {
      if (name != "IHDR" || length != 13) {
        png.problem = "corrupt PNG: Missing IHDR before " + name;
        return png;
      }
      png.width = big_endian(data);
      png.height = big_endian(data + 4);
      png.bit_depth = data[8];
      png.colour_type = data[9];
      header = true;
    } else if (name == "tRNS" && crc_of(type, size_t{length} + 4) == big_endian(data + length)) {
      png.transparency = true;
    } else if (name == "IEND") {
      png.end = at;
      return png;
    }
  }
}

// The kinds the RGB565 conversion handles, in the native reader's words.
std::string unsupported_kind(const PngLayout& png) {
  if (png.colour_type == PALETTE) {
    if (png.transparency) return "a palette PNG with transparency";
  } else if (png.colour_type != RGB) {
    return png.colour_type == GREY         ? "a grey PNG"
           : png.colour_type == GREY_ALPHA ? "a grey PNG with alpha"
                                           : "a PNG with an alpha channel";
  } else if (png.bit_depth != 8) {
    return engine::format_text("a %d-bit RGB PNG", png.bit_depth);
  }
  if (png.height > PNG_MAX_ROWS)
    return engine::format_text("a PNG of %u rows (at most %u)", png.height, PNG_MAX_ROWS);
  if (size_t{png.width} * png.height > PNG_MAX_PIXELS)
    return engine::format_text("a PNG of %u x %u pixels (at most %zu pixels)", png.width,
                               png.height, PNG_MAX_PIXELS);
  return {};
}

}  // namespace

PngRead read_ping(std::span<const uint8_t> bytes) {
  PngRead result;
  if (bytes.size() < sizeof SIGNATURE || std::memcmp(bytes.data(), SIGNATURE, 8) != 0) {
    result.problem.kind = PayloadProblem::NOT_PNG;
    return result;
  }
  PngLayout png = walk(bytes);
  if (png.problem.empty()) {
    const std::string kind = unsupported_kind(png);
    if (!kind.empty())
      png.problem = "unsupported image: " + kind +
                    "; only 8-bit RGB or palette PNGs without transparency can be shown";
  }
  int width = 0, height = 0, channels = 0;
  stbi_uc* rgb = nullptr;
  if (png.problem.empty()) {
    rgb = stbi_load_from_memory(bytes.data(), static_cast<int>(png.end), &width, &height, &channels,
                                3);
    if (rgb == nullptr)
      png.problem = std::string("corrupt PNG: ") + stbi_failure_reason();
    else if (uint32_t(width) != png.width || uint32_t(height) != png.height)
      png.problem = "corrupt PNG: the decoded size is not the header's";
  }
  result.consumed = png.end;
  if (!png.problem.empty()) {
    stbi_image_free(rgb);
    result.problem = {PayloadProblem::BAD_PNG, png.problem};
    return result;
  }

  auto image = std::make_unique<ImageChunk>();
  image->width = width;
  image->height = height;
  // The top 5, 6 and 5 bits of red, green and blue; the low bits are dropped, not rounded.
  image->pixels = engine::allocate_pixels(image->pixel_count());
  const stbi_uc* pixel = rgb;
  for (size_t i = 0; i < image->pixel_count(); ++i, pixel += 3)
    image->pixels[i] =
        static_cast<uint16_t>((pixel[0] >> 3) << 11 | (pixel[1] >> 2) << 5 | pixel[2] >> 3);
  stbi_image_free(rgb);
  result.image = std::move(image);
  return result;
}

}  // namespace datafile
