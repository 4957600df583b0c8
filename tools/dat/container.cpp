// Reading a data file's chunks without trusting a single length.
#include "tools/dat/container.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/fatal.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using engine::format_text;

std::optional<ChunkKind> kind_of_tag(const std::array<uint8_t, 4>& tag) {
  for (ChunkKind kind : {ChunkKind::IMAGE, ChunkKind::TEXT, ChunkKind::FONT, ChunkKind::SCRIPT})
    if (std::memcmp(tag.data(), tag_of(kind), 4) == 0) return kind;
  return std::nullopt;
}

std::string printable(const std::array<uint8_t, 4>& tag) {
  std::string text;
  for (uint8_t byte : tag)
    text +=
        std::isprint(byte) ? std::string(1, static_cast<char>(byte)) : format_text("\\x%02X", byte);
  return text;
}

// What the engine's loader would make of the payload: the decoded image or font, or why not.
void decode(ChunkRecord& chunk) {
  std::string problem;
  if (chunk.kind == ChunkKind::IMAGE) {
    chunk.image = decode_png(chunk.payload, problem);
  } else if (chunk.kind == ChunkKind::FONT) {
    chunk.font = datafile::parse_font(chunk.payload.data(), chunk.payload.size(), problem);
    if (!chunk.font) problem = "not a font the engine can draw: " + problem;
  }
  if (!problem.empty()) {
    chunk.problem = ChunkProblem::UNDECODABLE;
    chunk.problem_text = problem;
  }
}

// Follows the engine's loader: lengths are checked first, then the tag, then the payload.
// Problems past the point where loading stops are reported too, as the file's own faults.
void find_loaded(Container& container) {
  auto refuse = [&](const std::string& why) {
    container.refused = true;
    container.diagnostics.error(container.name, 0, 0, why + "; the engine refuses the file");
  };
  bool stopped = false;
  for (const ChunkRecord& chunk : container.chunks) {
    bool length_problem =
        chunk.problem == ChunkProblem::NEGATIVE_LENGTH || chunk.problem == ChunkProblem::TRUNCATED;
    if (stopped) {
      if (chunk.problem != ChunkProblem::NONE)
        container.diagnostics.error(
            container.name, 0, 0,
            chunk.where() + (length_problem ? " " : ": ") + chunk.problem_text);
    } else if (length_problem) {
      refuse(chunk.where() + " " + chunk.problem_text);
      stopped = true;
    } else if (chunk.problem != ChunkProblem::NONE) {
      bool more = chunk.number + 1 < static_cast<int>(container.chunks.size());
      container.diagnostics.error(
          container.name, 0, 0,
          chunk.where() + ": " + chunk.problem_text +
              (more ? "; the engine stops loading here and never sees the chunks after it"
                    : "; the engine stops loading here"));
      stopped = true;
    } else if (container.loaded == datafile::MAX_CHUNKS) {
      refuse(format_text("the file holds more than %d chunks", datafile::MAX_CHUNKS));
      stopped = true;
    } else {
      ++container.loaded;
    }
  }
  if (container.refused) return;
  if (container.loaded == 0)
    refuse("the file holds no usable chunk 0");
  else if (container.chunks[0].kind != ChunkKind::SCRIPT)
    refuse(format_text("chunk 0 is %s, but a data file begins with its DEMO chunk",
                       datafile::kind_with_article(*container.chunks[0].kind)));
}

}  // namespace

std::string ChunkRecord::where() const {
  return format_text("chunk %d (%s at offset %zu)", number, tag_text.c_str(), offset);
}

const Bytes* Container::script() const {
  if (loaded == 0 || chunks[0].kind != ChunkKind::SCRIPT) return nullptr;
  return &chunks[0].payload;
}

const char* tag_of(ChunkKind kind) {
  switch (kind) {
    case ChunkKind::IMAGE:
      return "PING";
    case ChunkKind::TEXT:
      return "TEXT";
    case ChunkKind::FONT:
      return "FONT";
    case ChunkKind::SCRIPT:
      return "DEMO";
  }
  return "????";
}

std::unique_ptr<datafile::ImageChunk> decode_png(const Bytes& png, std::string& problem) {
  if (png.empty()) {
    problem = "the PNG payload is empty";
    return nullptr;
  }
  // The engine's reader takes a stream; a memory stream over the payload keeps it to the
  // payload's bytes, and what it would say on standard error becomes the problem.
  FILE* file = fmemopen(const_cast<uint8_t*>(png.data()), png.size(), "rb");
  char* said = nullptr;
  size_t said_size = 0;
  FILE* err = open_memstream(&said, &said_size);
  if (file == nullptr || err == nullptr) {
    if (file != nullptr) std::fclose(file);
    if (err != nullptr) std::fclose(err);
    std::free(said);
    problem = "out of memory while decoding a PNG";
    return nullptr;
  }
  std::unique_ptr<datafile::ImageChunk> image = datafile::read_ping(file, "png", err);
  std::fclose(file);
  std::fclose(err);
  std::string message(said != nullptr ? said : "", said_size);
  std::free(said);
  if (!image) {
    while (!message.empty() && message.back() == '\n') message.pop_back();
    if (message.starts_with("ping: png: "))
      problem = message.substr(11);
    else if (message == "ping: invalid data format")
      problem = "not a PNG file (no PNG signature)";
    else
      problem = message.empty() ? "libpng could not be set up" : message;
  }
  return image;
}

Container read_container(const Bytes& bytes, const std::string& name) {
  Container container;
  container.name = name;
  size_t position = 0;
  while (position < bytes.size()) {
    size_t left = bytes.size() - position;
    if (left < 8) {
      container.stray_bytes = left;
      container.diagnostics.warning(
          name, 0, 0,
          format_text("%zu stray bytes at offset %zu, too few for a chunk header, are ignored",
                      left, position));
      break;
    }
    ChunkRecord chunk;
    chunk.number = static_cast<int>(container.chunks.size());
    chunk.offset = position;
    std::memcpy(chunk.tag.data(), bytes.data() + position, 4);
    chunk.tag_text = printable(chunk.tag);
    const uint8_t* field = bytes.data() + position + 4;
    chunk.length = static_cast<int32_t>(uint32_t{field[0]} << 24 | uint32_t{field[1]} << 16 |
                                        uint32_t{field[2]} << 8 | field[3]);
    chunk.kind = kind_of_tag(chunk.tag);
    size_t available = left - 8;
    size_t taken = 0;
    if (chunk.length < 0) {
      chunk.problem = ChunkProblem::NEGATIVE_LENGTH;
      chunk.problem_text =
          format_text("has a negative length (%lld)", static_cast<long long>(chunk.length));
    } else if (static_cast<uint64_t>(chunk.length) > available) {
      chunk.problem = ChunkProblem::TRUNCATED;
      chunk.problem_text = format_text("is truncated: its length is %lld bytes but only %zu follow",
                                       static_cast<long long>(chunk.length), available);
      taken = available;
    } else {
      taken = static_cast<size_t>(chunk.length);
    }
    chunk.payload.assign(bytes.begin() + static_cast<ptrdiff_t>(position + 8),
                         bytes.begin() + static_cast<ptrdiff_t>(position + 8 + taken));
    if (chunk.problem == ChunkProblem::NONE) {
      if (!chunk.kind) {
        chunk.problem = ChunkProblem::UNKNOWN_TAG;
        chunk.problem_text = "unknown tag";
      } else {
        decode(chunk);
      }
    }
    bool stop =
        chunk.problem == ChunkProblem::NEGATIVE_LENGTH || chunk.problem == ChunkProblem::TRUNCATED;
    container.chunks.push_back(std::move(chunk));
    if (stop) break;
    position += 8 + taken;
  }
  find_loaded(container);
  return container;
}

}  // namespace tools
