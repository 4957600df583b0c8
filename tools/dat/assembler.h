// The show compiler: a show source, its includes and the files it declares become one data
// file, the DEMO chunk first and the declared chunks after it in the order of declaration.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/opcodes.h"
#include "tools/dat/data_file.h"
#include "tools/dat/diagnostics.h"

namespace tools {

// Where the bytes of one statement came from, so that checks on them can point at the source.
struct SourceSpan {
  uint32_t byte = 0;  // script offset of the statement's first byte
  std::string file;
  int line = 0;
  int column = 0;                                           // of the statement's first word
  std::array<int, engine::MAX_OPERANDS> operand_columns{};  // 0 where an operand is implied
  std::string text;  // the statement as written, without its comment
};

// A chunk as the source declares it, for messages that name it as its author does.
struct ChunkSource {
  std::string name;   // "logo"
  std::string where;  // "show.tds:3"
  std::string text;   // the declaration as written: image logo "logo.png"
};

struct SourceMap {
  std::vector<SourceSpan> spans;    // in script order
  std::vector<ChunkSource> chunks;  // by chunk number; the script's, chunk 0's, is empty
  // The music statement, its column at the module's file name; none without music.
  std::optional<SourceSpan> music;
  std::string music_file;  // the module's file as the statement names it

  // The statement whose bytes hold script offset `byte`, or null.
  const SourceSpan* find(uint32_t byte) const;
};

struct CompiledShow {
  Bytes data_file;  // empty when there are errors
  SourceMap source_map;
  Diagnostics diagnostics;
  // Every file the show reads or tried to read (the source, its includes, pictures, texts,
  // fonts), as named from the working directory, in the order they are first named; files that
  // could not be read are listed too, since they are what a fix will bring.
  std::vector<std::string> files;
};

// Compiles the show at `path`. Paths in it are relative to the file that names them.
CompiledShow compile_show(const std::string& path);

// One instruction's bytes: the opcode, then each operand at its width, big-endian.
Bytes encode_instruction(const engine::OpcodeInfo& info,
                         const std::array<uint32_t, engine::MAX_OPERANDS>& operands);

// A chunk as it stands in a data file: tag, big-endian length, payload.
void append_chunk(Bytes& file, const char* tag, const Bytes& payload);

}  // namespace tools
