// The tools' view of a data file, from the engine's container reader, and what they say about it.
#include "tools/dat/data_file.h"

#include "base/fatal.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using datafile::PayloadProblem;
using engine::format_text;

bool breaks_the_file(ChunkFault fault) {
  return fault == ChunkFault::NEGATIVE_LENGTH || fault == ChunkFault::TRUNCATED;
}

// Whether `chunk` begins inside the PNG of the chunk before it, which ran on past its own end.
bool inside_previous_png(const Container& container, const FileChunk& chunk) {
  if (chunk.number == 0) return false;
  const FileChunk& before = container.chunks[size_t(chunk.number) - 1];
  return before.png_overrun > 0 && chunk.offset < before.offset + datafile::HEADER_BYTES +
                                                      before.payload.size() + before.png_overrun;
}

// A PNG longer than its chunk: the engine decodes all of it, and then reads the next header from
// where the chunk's length says, which lies inside the PNG.
void report_overrun(Container& container, const FileChunk& chunk) {
  const size_t end = chunk.offset + datafile::HEADER_BYTES + chunk.payload.size();
  container.diagnostics.warning(
      container.name, 0, 0,
      chunk.where() +
          format_text(": the PNG is %zu bytes longer than the chunk's length of %d; the engine "
                      "reads the whole PNG all the same, then looks for the next chunk at offset "
                      "%zu, inside it",
                      chunk.png_overrun, chunk.length, end));
}

// Follows the engine's loader to the chunk where loading ends. Problems past that point are
// reported too, as the file's own faults.
void judge(Container& container, const datafile::ContainerRead& read) {
  auto refuse = [&](const std::string& why) {
    container.refused = true;
    container.diagnostics.error(container.name, 0, 0, why + "; the engine refuses the file");
  };
  if (read.stray_bytes > 0)
    container.diagnostics.warning(
        container.name, 0, 0,
        format_text("%zu stray bytes at offset %zu, too few for a chunk header, are ignored",
                    read.stray_bytes, read.stray_offset));
  for (const FileChunk& chunk : container.chunks) {
    const size_t index = size_t(chunk.number);
    if (chunk.png_overrun > 0) report_overrun(container, chunk);
    if (chunk.fault == ChunkFault::NONE) continue;
    const std::string separator = breaks_the_file(chunk.fault) ? " " : ": ";
    const std::string problem = chunk.where() + separator + problem_text(chunk);
    if (!read.stopped_at || index > *read.stopped_at) {
      container.diagnostics.error(container.name, 0, 0, problem);
    } else if (breaks_the_file(chunk.fault)) {
      refuse(problem);
    } else if (chunk.fault == ChunkFault::ONE_TOO_MANY) {
      refuse(format_text("the file holds more than %d chunks", datafile::MAX_CHUNKS));
    } else if (chunk.fault == ChunkFault::UNKNOWN_TAG && inside_previous_png(container, chunk)) {
      // The file plays; what it loses is whatever its author put after the PNG.
      container.diagnostics.warning(container.name, 0, 0,
                                    problem + "; the engine stops loading here");
    } else {
      const bool more = index + 1 < container.chunks.size();
      container.diagnostics.error(
          container.name, 0, 0,
          problem + (more ? "; the engine stops loading here and never sees the chunks after it"
                          : "; the engine stops loading here"));
    }
  }
  if (container.refused) return;
  if (container.loaded == 0)
    refuse("the file holds no usable chunk 0");
  else if (container.chunks[0].kind != ChunkKind::SCRIPT)
    refuse(format_text("chunk 0 is %s, but a data file begins with its DEMO chunk",
                       datafile::kind_with_article(*container.chunks[0].kind)));
}

std::string png_problem(const PayloadProblem& problem) {
  switch (problem.kind) {
    case PayloadProblem::NOT_PNG:
      return "not a PNG file (no PNG signature)";
    case PayloadProblem::NO_LIBPNG:
      return "libpng could not be set up";
    case PayloadProblem::BAD_PNG:
    case PayloadProblem::BAD_FONT:
    case PayloadProblem::NONE:
      break;
  }
  return problem.text;
}

}  // namespace

const FileChunk* Container::script() const {
  if (loaded == 0 || chunks[0].kind != ChunkKind::SCRIPT) return nullptr;
  return &chunks[0];
}

const datafile::ImageChunk* image_of(const FileChunk& chunk) {
  if (!chunk.object || chunk.object->kind != ChunkKind::IMAGE) return nullptr;
  return static_cast<const datafile::ImageChunk*>(chunk.object.get());
}

const datafile::FontChunk* font_of(const FileChunk& chunk) {
  if (!chunk.object || chunk.object->kind != ChunkKind::FONT) return nullptr;
  return static_cast<const datafile::FontChunk*>(chunk.object.get());
}

std::string problem_text(const FileChunk& chunk) {
  if (chunk.fault == ChunkFault::ONE_TOO_MANY)
    return format_text("is one chunk more than the %d the engine loads", datafile::MAX_CHUNKS);
  if (chunk.fault != ChunkFault::UNUSABLE) return chunk.header_fault();
  if (chunk.problem.kind == PayloadProblem::BAD_FONT)
    return "not a font the engine can draw: " + chunk.problem.text;
  return png_problem(chunk.problem);
}

std::unique_ptr<datafile::ImageChunk> decode_png(std::span<const uint8_t> png,
                                                 std::string& problem) {
  datafile::PngRead read = datafile::read_ping(png);
  if (!read.image) problem = png_problem(read.problem);
  return std::move(read.image);
}

Container read_data_file(Bytes bytes, const std::string& name) {
  Container container;
  container.name = name;
  container.bytes = std::move(bytes);
  datafile::ContainerRead read =
      datafile::read_container(container.bytes, datafile::Walk::WHOLE_FILE);
  container.chunks = std::move(read.chunks);
  container.loaded = read.loaded;
  container.stray_bytes = read.stray_bytes;
  judge(container, read);
  return container;
}

}  // namespace tools
