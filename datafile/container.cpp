// Walking a data file's chunks: every length is checked against what the file holds before a
// payload is taken, and the engine's rules for where loading ends are applied as the walk goes.
#include "datafile/container.h"

#include <cctype>
#include <cstring>

#include "base/fatal.h"

namespace datafile {
namespace {

using engine::format_text;

std::optional<ChunkKind> kind_of_tag(const std::array<uint8_t, 4>& tag) {
  for (const ChunkKindNames& row : chunk_kinds)
    if (std::memcmp(tag.data(), row.tag, tag.size()) == 0) return row.kind;
  return std::nullopt;
}

std::unique_ptr<ByteChunk> copy_bytes(std::span<const uint8_t> payload,
                                      std::unique_ptr<ByteChunk> chunk) {
  chunk->size = static_cast<int32_t>(payload.size());
  chunk->bytes.assign(payload.begin(), payload.end());
  return chunk;
}

// Makes the chunk's object from its payload, or says why it cannot. `rest` runs from the
// payload's first byte to the end of the file: the PNG reader is given all of it.
void decode(FileChunk& chunk, std::span<const uint8_t> rest) {
  switch (*chunk.kind) {
    case ChunkKind::IMAGE: {
      PngRead png = read_ping(rest);
      chunk.object = std::move(png.image);
      chunk.problem = std::move(png.problem);
      if (chunk.object && png.consumed > chunk.payload.size())
        chunk.png_overrun = png.consumed - chunk.payload.size();
      break;
    }
    case ChunkKind::TEXT:
      chunk.object = copy_bytes(chunk.payload, std::make_unique<TextChunk>());
      break;
    case ChunkKind::FONT:
      chunk.object = parse_font(chunk.payload.data(), chunk.payload.size(), chunk.problem.text);
      if (!chunk.object) chunk.problem.kind = PayloadProblem::BAD_FONT;
      break;
    case ChunkKind::SCRIPT:
      chunk.object = copy_bytes(chunk.payload, std::make_unique<ScriptChunk>());
      break;
    case ChunkKind::MUSIC:
      chunk.object = copy_bytes(chunk.payload, std::make_unique<MusicChunk>());
      break;
  }
  if (!chunk.object) chunk.fault = ChunkFault::UNUSABLE;
}

}  // namespace

std::string FileChunk::tag_text() const {
  std::string text;
  for (uint8_t byte : tag)
    text +=
        std::isprint(byte) ? std::string(1, static_cast<char>(byte)) : format_text("\\x%02X", byte);
  return text;
}

std::string FileChunk::where() const {
  return format_text("chunk %d (%s at offset %zu)", number, tag_text().c_str(), offset);
}

std::string FileChunk::header_fault() const {
  switch (fault) {
    case ChunkFault::UNKNOWN_TAG:
      return "unknown tag";
    case ChunkFault::NEGATIVE_LENGTH:
      return format_text("has a negative length (%d)", length);
    case ChunkFault::TRUNCATED:
      return format_text("is truncated: its length is %d bytes but only %zu follow", length,
                         payload.size());
    case ChunkFault::NONE:
    case ChunkFault::UNUSABLE:
    case ChunkFault::ONE_TOO_MANY:
      break;
  }
  return "";
}

ContainerRead read_container(std::span<const uint8_t> bytes, Walk walk) {
  ContainerRead read;
  size_t position = 0;
  while (position < bytes.size()) {
    const size_t left = bytes.size() - position;
    if (left < HEADER_BYTES) {
      read.stray_bytes = left;
      read.stray_offset = position;
      break;
    }
    FileChunk chunk;
    chunk.number = static_cast<int>(read.chunks.size());
    chunk.offset = position;
    std::memcpy(chunk.tag.data(), bytes.data() + position, chunk.tag.size());
    const uint8_t* field = bytes.data() + position + 4;
    chunk.length = static_cast<int32_t>(uint32_t{field[0]} << 24 | uint32_t{field[1]} << 16 |
                                        uint32_t{field[2]} << 8 | field[3]);
    chunk.kind = kind_of_tag(chunk.tag);
    const size_t payload_at = position + HEADER_BYTES, available = left - HEADER_BYTES;
    const bool length_fits = chunk.length >= 0 && static_cast<size_t>(chunk.length) <= available;
    chunk.payload = bytes.subspan(payload_at, length_fits ? size_t(chunk.length) : 0);
    // An unknown tag ends loading before its length is looked at: past a chunk the loader cannot
    // read, the length field may be any four bytes.
    if (!chunk.kind)
      chunk.fault = ChunkFault::UNKNOWN_TAG;
    else if (chunk.length < 0)
      chunk.fault = ChunkFault::NEGATIVE_LENGTH;
    else if (!length_fits)
      chunk.fault = ChunkFault::TRUNCATED, chunk.payload = bytes.subspan(payload_at);
    else
      decode(chunk, bytes.subspan(payload_at));

    const bool loading = !read.stopped_at;
    if (loading && chunk.fault == ChunkFault::NONE && read.loaded == MAX_CHUNKS)
      chunk.fault = ChunkFault::ONE_TOO_MANY;
    if (loading && chunk.fault != ChunkFault::NONE)
      read.stopped_at = read.chunks.size();
    else if (loading)
      ++read.loaded;
    read.chunks.push_back(std::move(chunk));
    if (!length_fits || (walk == Walk::AS_THE_ENGINE && read.stopped_at)) break;
    position = payload_at + size_t(read.chunks.back().length);
  }
  return read;
}

}  // namespace datafile
