// A data file as the tools see it: every chunk the engine's own container reader can find in it,
// decoded as the engine decodes them, with a note of how far the engine's loader gets and what
// is wrong with the file as a container. Any bytes are accepted; nothing is trusted.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "datafile/container.h"
#include "tools/dat/diagnostics.h"

namespace tools {

using Bytes = std::vector<uint8_t>;
using datafile::ChunkFault;
using datafile::FileChunk;

struct Container {
  std::string name;  // the file's name in messages
  Bytes bytes;       // the file itself; the chunks' payloads point into it
  std::vector<FileChunk> chunks;
  size_t loaded = 0;        // the engine's chunk table holds chunks 0 to loaded - 1
  bool refused = false;     // the engine would not play this file at all
  size_t stray_bytes = 0;   // bytes after the last chunk too few to be a header
  Diagnostics diagnostics;  // what is wrong with the file as a container

  // Moved, not copied: the bytes' block moves with them, so the payloads stay valid.
  const FileChunk* loaded_chunk(uint32_t number) const {
    return number < loaded ? &chunks[number] : nullptr;
  }
  const FileChunk* script() const;  // chunk 0 when it is a loaded DEMO chunk
};

Container read_data_file(Bytes bytes, const std::string& name);

// The decoded image or font of a chunk, or null.
const datafile::ImageChunk* image_of(const FileChunk& chunk);
const datafile::FontChunk* font_of(const FileChunk& chunk);

// What is wrong with a chunk, in the tools' words: "unknown tag", "is truncated: ...".
std::string problem_text(const FileChunk& chunk);

// An image decoded from the bytes of a PNG file by the engine's reader, or null with `problem`.
std::unique_ptr<datafile::ImageChunk> decode_png(std::span<const uint8_t> png,
                                                 std::string& problem);

}  // namespace tools
