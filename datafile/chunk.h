// The data file's chunk objects and the table the loader fills: images, texts, the font, the
// script and the music.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/buffer.h"
#include "base/console.h"

namespace datafile {

enum class ChunkKind : uint8_t { IMAGE = 1, TEXT = 2, FONT = 3, SCRIPT = 4, MUSIC = 5 };

struct Chunk {
  explicit Chunk(ChunkKind kind) : kind(kind) {}
  virtual ~Chunk() = default;
  ChunkKind kind;
};

// The largest pictures the engine decodes, whichever decoder it is built with. No PNG beyond them
// gets a byte of pixel memory, whatever its header claims.
inline constexpr uint32_t PNG_MAX_ROWS = 2048;
inline constexpr size_t PNG_MAX_PIXELS = size_t{1} << 24;

// A PING chunk decoded to RGB565. The pixels are shared with buffers that show the image.
struct ImageChunk : Chunk {
  ImageChunk() : Chunk(ChunkKind::IMAGE) {}
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 16;         // bits per pixel of `pixels`
  engine::PixelBlock pixels;  // width x height, row-major

  size_t pixel_count() const { return size_t(width) * size_t(height); }
};

// TEXT and DEMO payloads, copied byte for byte; no terminator is added.
struct ByteChunk : Chunk {
  using Chunk::Chunk;
  int32_t size = 0;
  std::vector<uint8_t> bytes;
};
struct TextChunk : ByteChunk {
  TextChunk() : ByteChunk(ChunkKind::TEXT) {}
};
struct ScriptChunk : ByteChunk {
  ScriptChunk() : ByteChunk(ChunkKind::SCRIPT) {}
};
// A TUNE chunk: one tracker module (MOD, XM, S3M, IT) kept as its bytes. Decoding it is the sound
// library's business, not the data file's, so the engine core does not depend on it. It is
// written after every other chunk: a reader that stops at a tag it does not know still has the
// whole show, and plays it silent.
struct MusicChunk : ByteChunk {
  MusicChunk() : ByteChunk(ChunkKind::MUSIC) {}
};

inline constexpr int MAX_GLYPHS = 42;  // the character map has 42 entries
inline constexpr int FONT_SLOTS = 128;

// The bitmap font, pre-cut into cells of `cell_width` (a multiple of 32) by `glyph_height`.
struct FontChunk : Chunk {
  FontChunk() : Chunk(ChunkKind::FONT) {}
  std::vector<uint32_t> glyphs;  // table_rows x cell_width entries, 0xFFFF lit or 0
  int32_t cell_width = 32;
  int32_t table_rows = 0;
  int32_t glyph_height = 0;
  int32_t space_advance = 8;  // advance of a character without a glyph: cell_width / 4
  int32_t glyph_stride = 0;   // entries from one glyph's cell to the next
  int32_t glyph_count = 0;
  std::array<int32_t, FONT_SLOTS> advances{};
  std::array<uint8_t, FONT_SLOTS> char_map{};
};

inline constexpr int CHUNK_TABLE_SIZE = 128;  // at most 127 chunks and the end marker
inline constexpr int MAX_CHUNKS = CHUNK_TABLE_SIZE - 1;

// Chunks in file order; chunk number = index. The vector's end is the table's end marker.
using ChunkTable = std::vector<std::unique_ptr<Chunk>>;

// What each chunk kind is called, in the file and in messages: one row a kind, in ChunkKind's
// order, so that the loader, the engine's messages and the tools cannot name a kind apart.
struct ChunkKindNames {
  ChunkKind kind;
  const char* tag;           // in the file: "PING"
  const char* name;          // in a show's source and the tools' listings: "image"
  const char* with_article;  // in messages: "an image chunk"
};

inline constexpr std::array<ChunkKindNames, 5> chunk_kinds = {{
    {ChunkKind::IMAGE, "PING", "image", "an image chunk"},
    {ChunkKind::TEXT, "TEXT", "text", "a text chunk"},
    {ChunkKind::FONT, "FONT", "font", "a font chunk"},
    {ChunkKind::SCRIPT, "DEMO", "script", "a script chunk"},
    {ChunkKind::MUSIC, "TUNE", "music", "a music chunk"},
}};
static_assert(static_cast<size_t>(chunk_kinds.back().kind) == chunk_kinds.size());

// The row of `kind`; a value outside the enumeration (a corrupt byte) gets a row of its own.
inline const ChunkKindNames& names_of(ChunkKind kind) {
  static constexpr ChunkKindNames UNKNOWN{ChunkKind{}, "????", "unknown", "an unknown chunk"};
  const size_t row = static_cast<size_t>(kind) - 1;  // the enumeration begins at 1
  return row < chunk_kinds.size() ? chunk_kinds[row] : UNKNOWN;
}

inline const char* tag_of(ChunkKind kind) {
  return names_of(kind).tag;
}  // "PING", ...
inline const char* kind_name(ChunkKind kind) {
  return names_of(kind).name;
}  // "image", ...
inline const char* kind_with_article(ChunkKind kind) {
  return names_of(kind).with_article;
}

// Loads the whole data file. Prints "loader  : loading <path>" on the console's `out`.
// Files that cannot be opened, negative or truncated lengths, more than 127 chunks: fatal.
// An unknown tag, or a chunk that cannot be decoded, ends loading with a message on `err`.
ChunkTable load_data_file(const char* path, const engine::Console& console);

// The same from the file's bytes; `name` is what messages call it.
ChunkTable load_chunks(std::span<const uint8_t> bytes, const char* name,
                       const engine::Console& console);

// Why a payload reader cannot use a payload.
struct PayloadProblem {
  enum Kind : uint8_t { NONE, NOT_PNG, NO_LIBPNG, BAD_PNG, BAD_FONT } kind = NONE;
  std::string text;  // BAD_PNG: "corrupt PNG: ..." or "unsupported image: ..."; BAD_FONT: why
};

struct PngRead {
  std::unique_ptr<ImageChunk> image;  // null when the PNG cannot be shown
  PayloadProblem problem;
  size_t consumed = 0;  // bytes libpng read: the whole PNG, when it could be decoded
};

// Decodes the PNG at the start of `bytes`. It is not told where its chunk ends: it reads on,
// past the chunk if the PNG is longer, until the PNG is complete or `bytes` end.
PngRead read_ping(std::span<const uint8_t> bytes);

// The font decoder proper, on payload bytes in memory; returns null and sets `error` if the font
// is not one the engine can draw from.
std::unique_ptr<FontChunk> parse_font(const uint8_t* data, size_t size, std::string& error);

// The character of each glyph number: a-z, 0-9, then , . - ! ? and the double quote.
extern const std::array<uint8_t, MAX_GLYPHS> glyph_characters;

// Draws the glyph cell of `c` (opaque: unlit entries are drawn black) with its top-left corner at
// column x, row y of `buffer`, and returns the advance. Parts of the cell outside the buffer are
// not drawn. A character without a glyph draws nothing and returns `space_advance`.
int32_t draw_glyph(const FontChunk& font, engine::Buffer& buffer, uint8_t c, int32_t x, int32_t y);

}  // namespace datafile
