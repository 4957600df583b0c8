// Disassembly: one statement for each instruction the opcode table decodes, raw bytes for
// whatever it cannot.
#include "tools/dat/disassembler.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string_view>

#include "base/fatal.h"
#include "engine/opcodes.h"
#include "fx/fx_info.h"
#include "tools/dat/checker.h"
#include "tools/dat/font_art.h"
#include "tools/dat/timecode.h"

namespace tools {
namespace {

using datafile::ChunkKind;
using engine::format_text;

inline constexpr size_t BYTES_PER_LINE = 16;

// The file name ending a module's format goes by, from the marks each format puts in its
// header; the compiler and libxmp go by the bytes, so a wrong guess only misnames the file.
const char* module_extension(std::span<const uint8_t> module) {
  auto holds = [&](size_t at, std::string_view mark) {
    return module.size() >= at + mark.size() &&
           std::equal(mark.begin(), mark.end(), module.begin() + static_cast<ptrdiff_t>(at));
  };
  if (holds(0, "Extended Module: ")) return "xm";
  if (holds(0, "IMPM")) return "it";
  if (holds(44, "SCRM")) return "s3m";
  return "mod";  // ProTracker's mark at byte 1080 takes many forms, and older modules have none
}

// The file and declaration of one chunk, or why the show language cannot declare it.
std::optional<ChunkFile> plan_chunk(const FileChunk& chunk, std::string& why_not) {
  if (chunk.fault == ChunkFault::UNKNOWN_TAG) {
    why_not = "its tag is unknown";
    return std::nullopt;
  }
  if (chunk.fault == ChunkFault::TRUNCATED || chunk.fault == ChunkFault::NEGATIVE_LENGTH) {
    why_not = "it " + problem_text(chunk);
    return std::nullopt;
  }
  if (chunk.kind == ChunkKind::SCRIPT) {
    why_not = "it is a second DEMO chunk, which a show cannot declare";
    return std::nullopt;
  }
  ChunkFile file;
  file.number = chunk.number;
  file.name = std::string(datafile::kind_name(*chunk.kind)) + std::to_string(chunk.number);
  file.contents.assign(chunk.payload.begin(), chunk.payload.end());
  std::string suffix;
  switch (*chunk.kind) {
    case ChunkKind::IMAGE:
      file.file = file.name + ".png";
      break;
    case ChunkKind::TEXT:
      file.file = file.name + ".txt";
      // The compiler adds the zero byte back, unless the declaration says raw.
      if (!file.contents.empty() && file.contents.back() == 0)
        file.contents.pop_back();
      else
        suffix = " raw";
      break;
    case ChunkKind::FONT: {
      std::string why_raw;
      if (std::optional<std::string> art = font_to_art(file.contents, why_raw)) {
        file.file = file.name + ".txt";
        file.contents.assign(art->begin(), art->end());
      } else {
        file.file = file.name + ".font";
        suffix = " raw  # as art it would not rebuild: " + why_raw;
      }
      break;
    }
    case ChunkKind::MUSIC:
      file.file = file.name + "." + module_extension(file.contents);
      file.declaration = "music \"" + file.file + "\"";
      return file;
    case ChunkKind::SCRIPT:
      break;
  }
  file.declaration = format_text("%-5s %-8s \"%s\"%s", datafile::kind_name(*chunk.kind),
                                 file.name.c_str(), file.file.c_str(), suffix.c_str());
  return file;
}

class ScriptWriter {
 public:
  explicit ScriptWriter(const std::vector<std::string>& names) : names_(names) {}

  std::string run(const Bytes& script) {
    uint32_t position = 0;
    while (position < script.size()) {
      engine::Instruction instruction;
      if (engine::decode_instruction(script.data(), script.size(), position, instruction) !=
          engine::Decode::OK) {
        raw(script, position);
        break;
      }
      line(statement(instruction));
      position += static_cast<uint32_t>(instruction.info->length);
    }
    return text_;
  }

 private:
  const std::vector<std::string>& names_;
  std::array<std::optional<uint32_t>, 256> classes_{};
  std::string text_;

  void line(const std::string& statement) { text_ += statement + "\n"; }

  // What no statement can say: an undefined opcode, or an instruction cut short by the end.
  void raw(const Bytes& script, uint32_t position) {
    line(format_text("# byte %u on: no instruction the engine knows", position));
    for (size_t i = position; i < script.size(); i += BYTES_PER_LINE) {
      std::string bytes = "bytes";
      for (size_t j = i; j < std::min(script.size(), i + BYTES_PER_LINE); ++j)
        bytes += format_text(" 0x%02X", script[j]);
      line(bytes);
    }
  }

  std::string chunk_name(uint32_t number) const {
    if (number < names_.size() && !names_[number].empty()) return names_[number];
    return format_text("chunk %u", number);
  }

  // The parameter's name when the show's compiler will find the same id under it.
  std::string param(uint32_t slot, uint32_t id) const {
    if (classes_[slot] && *classes_[slot] < fx::FX_CLASS_COUNT)
      if (const fx::ParamInfo* info =
              fx::find_param(static_cast<uint8_t>(*classes_[slot]), static_cast<uint8_t>(id)))
        return std::string(info->name);
    return format_text("0x%02X", id);
  }

  std::string statement(const engine::Instruction& instruction) {
    const auto& op = instruction.operands;
    switch (instruction.info->code) {
      case engine::NEWBUF:
        return format_text("buffer %u at %u,%u size %ux%u", op[0], op[1], op[2], op[3], op[4]);
      case engine::VIEWBUF:
        return format_text("view %u at %u,%u of %u", op[0], op[1], op[2], op[3]);
      case engine::NEWFX:
        classes_[op[0]] = op[1];
        return format_text("fx %u %s on %u", op[0],
                           op[1] < fx::FX_CLASS_COUNT
                               ? std::string(fx::fx_classes[op[1]]->name).c_str()
                               : std::to_string(op[1]).c_str(),
                           op[2]);
      case engine::SETINT: {
        std::string name = param(op[0], op[1]);
        std::string value = name.find("colour") != std::string::npos
                                ? format_text(op[2] <= 0xFFFF ? "0x%04X" : "0x%08X", op[2])
                                : std::to_string(static_cast<int32_t>(op[2]));
        return format_text("set %u %s = %s", op[0], name.c_str(), value.c_str());
      }
      case engine::SETCHUNK:
        return format_text("set %u %s = %s", op[0], param(op[0], op[1]).c_str(),
                           chunk_name(op[2]).c_str());
      case engine::FXSTATE:
        if (op[1] == 1) return format_text("start %u", op[0]);
        if (op[1] == 2) return format_text("stop %u", op[0]);
        return format_text("state %u %u", op[0], op[1]);
      case engine::SKIP:
        return op[0] == 0 ? "skip" : format_text("skip %u", op[0]);
      case engine::WAITAT:
        return format_text("at %u  # %s", op[0], format_time(op[0]).c_str());
      case engine::WAITFOR:
        return format_text("wait %u  # %s", op[0], format_seconds(op[0]).c_str());
      case engine::END:
        return "end";
    }
    return "# ?";
  }
};

}  // namespace

std::string disassemble_script(const Bytes& script, const std::vector<std::string>& names) {
  return ScriptWriter(names).run(script);
}

Disassembly disassemble(const Container& container) {
  Disassembly out;
  out.diagnostics.append(container.diagnostics);
  auto cannot = [&](const std::string& what) {
    out.diagnostics.error(container.name, 0, 0, what + "; the show below does not rebuild it");
  };

  std::vector<std::string> names(container.chunks.size());
  std::string declarations;
  bool music = false;
  for (const FileChunk& chunk : container.chunks) {
    if (chunk.number == 0) continue;
    std::string why_not;
    std::optional<ChunkFile> file;
    if (chunk.kind == ChunkKind::MUSIC && music)
      why_not = "it is a second music chunk, and a show has one music statement";
    else
      file = plan_chunk(chunk, why_not);
    if (file && chunk.kind == ChunkKind::MUSIC) {
      music = true;
      if (static_cast<size_t>(chunk.number) + 1 != container.chunks.size())
        cannot(chunk.where() +
               " is declared, but the compiler writes the music after every "
               "other chunk");
    }
    if (!file) {
      cannot(chunk.where() + " is left out: " + why_not);
      declarations += "# " + chunk.where() + " is left out: " + why_not + "\n";
      continue;
    }
    if (chunk.fault == ChunkFault::UNUSABLE)
      cannot(chunk.where() + " is declared, but the compiler refuses it: " + problem_text(chunk));
    // The music statement names nothing: the script reaches that chunk by its number.
    if (chunk.kind != ChunkKind::MUSIC) names[chunk.number] = file->name;
    declarations += file->declaration + "\n";
    out.files.push_back(std::move(*file));
  }
  if (container.stray_bytes > 0)
    cannot(format_text("the %zu stray bytes at the end", container.stray_bytes));

  CheckResult check = check_show(container);
  out.show = "# Show disassembled from " + container.name + ".\n";
  const bool has_script = !container.chunks.empty() &&
                          container.chunks[0].kind == ChunkKind::SCRIPT &&
                          container.chunks[0].fault == ChunkFault::NONE;
  if (has_script && check.summary.ends)
    out.show +=
        format_text("# %d instructions; END runs in frame %lld (%s).\n", check.summary.instructions,
                    static_cast<long long>(check.summary.end_frame),
                    format_time(check.summary.end_frame).c_str());
  out.show += "\n" + declarations + "\n";
  if (has_script)
    out.show += disassemble_script(
        Bytes(container.chunks[0].payload.begin(), container.chunks[0].payload.end()), names);
  else
    cannot(container.chunks.empty() ? std::string("the file holds no chunk")
           : container.chunks[0].kind != ChunkKind::SCRIPT
               ? container.chunks[0].where() + " is not a DEMO chunk"
               : container.chunks[0].where() + " " + problem_text(container.chunks[0]));
  return out;
}

}  // namespace tools
