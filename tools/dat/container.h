// A data file read as the tools see it: every chunk header in the file, whatever the engine
// would make of it, with the images and fonts decoded by the engine's own readers and a note of
// how far the engine's loader would get. Any bytes are accepted; nothing is trusted.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "datafile/chunk.h"
#include "tools/dat/diagnostics.h"

namespace tools {

using Bytes = std::vector<uint8_t>;

enum class ChunkProblem : uint8_t {
  NONE,
  UNKNOWN_TAG,      // loading stops before this chunk
  UNDECODABLE,      // a PING or FONT payload the engine cannot use: loading stops here too
  NEGATIVE_LENGTH,  // the engine refuses the whole file
  TRUNCATED,        // the payload runs past the end of the file: refused as well
};

struct ChunkRecord {
  int number = 0;
  std::array<uint8_t, 4> tag{};
  std::string tag_text;                     // printable: other bytes as \xNN
  size_t offset = 0;                        // of the header
  int64_t length = 0;                       // as the header says it, a signed 32-bit number
  Bytes payload;                            // the bytes that follow, at most `length` of them
  std::optional<datafile::ChunkKind> kind;  // from the tag; none for an unknown tag
  ChunkProblem problem = ChunkProblem::NONE;
  std::string problem_text;
  std::unique_ptr<datafile::ImageChunk> image;  // a decoded PING
  std::unique_ptr<datafile::FontChunk> font;    // a decoded FONT

  std::string where() const;  // "chunk 3 (PING at offset 120)"
};

struct Container {
  std::string name;  // the file's name in messages
  std::vector<ChunkRecord> chunks;
  size_t loaded = 0;        // the engine's chunk table holds chunks 0 to loaded - 1
  bool refused = false;     // the engine would not play this file at all
  size_t stray_bytes = 0;   // bytes after the last chunk too few to be a header
  Diagnostics diagnostics;  // what is wrong with the file as a container

  const ChunkRecord* loaded_chunk(uint32_t number) const {
    return number < loaded ? &chunks[number] : nullptr;
  }
  const Bytes* script() const;  // chunk 0's payload when it is a loaded DEMO chunk
};

Container read_container(const Bytes& bytes, const std::string& name);

// The tag of each chunk kind: "PING", "TEXT", "FONT", "DEMO".
const char* tag_of(datafile::ChunkKind kind);

// An image decoded from PNG bytes by the engine's reader, or null with `problem` set.
std::unique_ptr<datafile::ImageChunk> decode_png(const Bytes& png, std::string& problem);

}  // namespace tools
