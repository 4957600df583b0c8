// Listing and extracting chunks.
#include "tools/dat/listing.h"

#include <algorithm>
#include <filesystem>

#include "base/fatal.h"
#include "sound/music.h"
#include "tools/dat/checker.h"
#include "tools/dat/disassembler.h"
#include "tools/dat/files.h"
#include "tools/dat/timecode.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using engine::format_text;

inline constexpr size_t TEXT_PREVIEW = 40;

std::string text_summary(std::span<const uint8_t> text) {
  auto zero = std::find(text.begin(), text.end(), 0);
  std::string preview;
  for (auto it = text.begin(); it != zero && preview.size() < TEXT_PREVIEW; ++it)
    preview += *it >= 0x20 && *it < 0x7F && *it != '"' ? static_cast<char>(*it) : '.';
  bool cut = zero - text.begin() > static_cast<ptrdiff_t>(TEXT_PREVIEW);
  std::string ending = zero == text.end()       ? "no zero byte"
                       : zero == text.end() - 1 ? "zero-terminated"
                                                : "zero byte inside";
  return "\"" + preview + (cut ? "...\"" : "\"") + " (" + ending + ")";
}

std::string summary(const Container& container, const FileChunk& chunk,
                    const ScriptSummary& script) {
  if (chunk.fault != ChunkFault::NONE) return problem_text(chunk);
  switch (*chunk.kind) {
    case ChunkKind::IMAGE:
      return format_text("%d x %d", image_of(chunk)->width, image_of(chunk)->height);
    case ChunkKind::TEXT:
      return text_summary(chunk.payload);
    case ChunkKind::FONT: {
      const datafile::FontChunk& font = *font_of(chunk);
      return format_text("%d glyph%s, %d rows high, cells %d wide", font.glyph_count,
                         font.glyph_count == 1 ? "" : "s", font.glyph_height, font.cell_width);
    }
    case ChunkKind::SCRIPT:
      if (chunk.number != 0) return "never run: only chunk 0 is the script";
      if (container.script() == nullptr) return "not run: the engine refuses the file";
      if (!script.ends) return format_text("%d instructions, no END", script.instructions);
      return format_text("%d instructions, %lld frames (%s)", script.instructions,
                         static_cast<long long>(script.end_frame),
                         format_time(script.end_frame).c_str());
    case ChunkKind::MUSIC: {
      sound::OpenedMusic opened = sound::open_music(chunk.payload);
      if (!opened.music) return "cannot be played: " + opened.error;
      const int32_t lasts = opened.music->duration_frames();
      return format_text("module \"%s\", %d frames (%s)", opened.music->title().c_str(), lasts,
                         format_seconds(lasts).c_str());
    }
  }
  return "";
}

}  // namespace

std::string list_chunks(const Container& container) {
  ScriptSummary script = check_show(container).summary;
  std::string text;
  for (const FileChunk& chunk : container.chunks) {
    const char* kind = chunk.kind ? datafile::kind_name(*chunk.kind) : "-";
    std::string line = format_text("%3d  %-4s %9lld  %-6s  %s", chunk.number,
                                   chunk.tag_text().c_str(), static_cast<long long>(chunk.length),
                                   kind, summary(container, chunk, script).c_str());
    if (static_cast<size_t>(chunk.number) >= container.loaded && !container.refused &&
        chunk.fault == ChunkFault::NONE)
      line += " (not loaded)";
    text += line + "\n";
  }
  return text;
}

Extraction extract_chunks(const Container& container, const std::string& directory) {
  Extraction out;
  Disassembly disassembly = disassemble(container);
  out.diagnostics = disassembly.diagnostics;
  std::error_code code;
  std::filesystem::create_directories(directory, code);
  if (code) {
    out.diagnostics.error(directory, 0, 0, "cannot make the directory: " + code.message());
    return out;
  }
  auto write = [&](const std::string& name, const Bytes& bytes) {
    std::string path = (std::filesystem::path(directory) / name).string();
    std::string error;
    if (write_file(path, bytes, error))
      out.written.push_back(path);
    else
      out.diagnostics.error(path, 0, 0, "cannot write: " + error);
  };
  for (const ChunkFile& file : disassembly.files) write(file.file, file.contents);
  write("show.tds", Bytes(disassembly.show.begin(), disassembly.show.end()));
  return out;
}

}  // namespace tools
