// Data files back into the show language: the script as statements, each chunk as a
// declaration of a file named after its number, so that building the result with those files
// gives the same bytes again.
#pragma once

#include <string>
#include <vector>

#include "tools/dat/data_file.h"
#include "tools/dat/diagnostics.h"

namespace tools {

// A chunk as a file beside the show.
struct ChunkFile {
  int number = 0;
  std::string name;  // "image1", "text2", "font3": the chunk's name in the show
  std::string file;  // "image1.png", "text2.txt", "font3.txt", "font3.font"
  Bytes contents;
  std::string declaration;  // `image image1 "image1.png"`
};

struct Disassembly {
  std::string show;  // the show source, declarations first
  std::vector<ChunkFile> files;
  Diagnostics diagnostics;  // what of the file the show cannot say, and the file's own faults
};

Disassembly disassemble(const Container& container);

// The script alone, one statement a line; `names` gives the show name of chunk i, where known.
std::string disassemble_script(const Bytes& script, const std::vector<std::string>& names);

}  // namespace tools
