// What a data file holds, one line a chunk, and the whole file taken apart into files.
#pragma once

#include <string>

#include "tools/dat/data_file.h"
#include "tools/dat/diagnostics.h"

namespace tools {

// "  2  TEXT      130  text    \"hello world ...\" (zero-terminated)", one line a chunk.
std::string list_chunks(const Container& container);

struct Extraction {
  std::vector<std::string> written;  // paths, in the order written
  Diagnostics diagnostics;
};

// Writes every chunk as a file into `directory` (made if missing) and `show.tds` beside them.
Extraction extract_chunks(const Container& container, const std::string& directory);

}  // namespace tools
