// The data file as a container of chunks, read from bytes in memory: every header, its payload,
// what the engine's loader makes of it and where loading ends. The engine's loader and every tool
// read data files through here, so they cannot disagree about one; nothing here prints.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "datafile/chunk.h"

namespace datafile {

inline constexpr size_t HEADER_BYTES = 8;  // a 4-byte tag and a big-endian 32-bit length

enum class ChunkFault : uint8_t {
  NONE,
  UNKNOWN_TAG,      // loading ends before this chunk, whatever its length field says
  NEGATIVE_LENGTH,  // a known tag with a negative length: the engine refuses the file
  TRUNCATED,        // a known tag whose payload runs past the end of the file: refused too
  UNUSABLE,         // a PING or FONT payload the engine cannot decode: loading ends here
  ONE_TOO_MANY,     // a usable chunk after the 127 the chunk table holds: refused
};

struct FileChunk {
  int number = 0;
  size_t offset = 0;  // of the header
  std::array<uint8_t, 4> tag{};
  std::optional<ChunkKind> kind;     // none for an unknown tag
  int32_t length = 0;                // as the header says it
  std::span<const uint8_t> payload;  // the payload bytes the file holds, at most `length`
  ChunkFault fault = ChunkFault::NONE;
  std::unique_ptr<Chunk> object;  // what the loader makes of the payload, when it can
  PayloadProblem problem;         // why it cannot, for UNUSABLE
  // A PNG is read from its chunk's first payload byte on until it is complete, wherever its
  // chunk ends: the bytes it took past the end of the chunk, into whatever followed.
  size_t png_overrun = 0;

  std::string tag_text() const;  // printable: other bytes as \xNN
  std::string where() const;     // "chunk 3 (PING at offset 120)"
  // What is wrong with the header, after where(): "unknown tag", "has a negative length (-5)",
  // "is truncated: ...". Empty for other faults, which the payload's reader describes.
  std::string header_fault() const;
};

enum class Walk {
  AS_THE_ENGINE,  // stop where loading stops; nothing past it is decoded
  WHOLE_FILE,     // go on through every header that can be found, as the tools list them
};

struct ContainerRead {
  std::vector<FileChunk> chunks;  // in file order; the walk's last may be one that ended it
  size_t loaded = 0;              // the chunk table holds chunks 0 to loaded - 1
  // The chunk at which loading ended, or none when it ran to the end of the file.
  std::optional<size_t> stopped_at;
  size_t stray_bytes = 0;  // after the last chunk, too few for a header
  size_t stray_offset = 0;

  const FileChunk* stopper() const { return stopped_at ? &chunks[*stopped_at] : nullptr; }
};

// `bytes` must outlive the result: payloads point into them.
ContainerRead read_container(std::span<const uint8_t> bytes, Walk walk);

}  // namespace datafile
